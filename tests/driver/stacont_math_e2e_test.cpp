// End-to-end runs of the derived surface fields of the variable file on the sample
// cyclone at 18 UTC (low near 42.4 N 87.0 W, warm front running east of it, cold front
// south-west): the grids written in the CF form are read back with ncdump and the values
// checked where a forecaster knows their sign.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/driver_runs.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;

struct Field {
  std::vector<double> lat, lon, v;
  // The value at the grid point nearest to (la, lo).
  double at(double la, double lo) const {
    std::size_t best = 0;
    double d = std::numeric_limits<double>::max();
    for (std::size_t k = 0; k < lat.size(); ++k) {
      const double dx = (lon[k] - lo) * std::cos(la * M_PI / 180.0), dy = lat[k] - la;
      if (dx * dx + dy * dy < d) d = dx * dx + dy * dy, best = k;
    }
    return v[best];
  }
};

Field read_field(const std::string& path, const std::string& name) {
  return {ncdump_values(path, "lat"), ncdump_values(path, "lon"), ncdump_values(path, name)};
}

class DerivedFields : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = make_temp_dir("stacont_math");
    const auto env = clean_env(dir_ + "/no-resource-files");
    for (const auto& [v, spec] : std::map<std::string, std::string>{{"vort", "vort"},
                                                                   {"div", "div"},
                                                                   {"mconv", "mconv"},
                                                                   {"tadv", "tadv"},
                                                                   {"fgen", "fgen"},
                                                                   {"uvspd", "uvspd"},
                                                                   {"grad", "grad(temp)"}}) {
      const std::string out = dir_ + "/" + v;
      fs::create_directories(out);
      const RunResult r = run_stacont(
          sample_args("2026031418", "us", {"-va", spec, "-of", "cf", "-gp", out, "-de", "m," + out + "/plot.meta", "-dr=-map"}),
          "", env, dir_, 180);
      status_[v] = r.status;
      err_[v] = r.err;
    }
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  Field field(const std::string& var, const std::string& grid) {
    EXPECT_EQ(status_[var], 0) << var << ": " << err_[var];
    return read_field(dir_ + "/" + var + "/2026031418_" + grid + ".nc", grid);
  }
  static std::string dir_;
  static std::map<std::string, int> status_;
  static std::map<std::string, std::string> err_;
};
std::string DerivedFields::dir_;
std::map<std::string, int> DerivedFields::status_;
std::map<std::string, std::string> DerivedFields::err_;

constexpr double kLowLat = 42.4, kLowLon = -87.0;

// Cyclonic vorticity (1e-5 /s) peaks at the low, where the surface air converges and
// moisture piles up; the moisture flux converges along the warm front too.
TEST_F(DerivedFields, VorticityConvergenceAtTheLow) {
  const Field vort = field("vort", "rvort");
  ASSERT_EQ(vort.v.size(), 425u);
  double peak = -1e9, peak_lat = 0, peak_lon = 0;
  for (std::size_t k = 0; k < vort.v.size(); ++k)
    if (vort.v[k] != -9999.0 && vort.v[k] > peak) peak = vort.v[k], peak_lat = vort.lat[k], peak_lon = vort.lon[k];
  EXPECT_GT(peak, 5.0);
  EXPECT_NEAR(peak_lat, kLowLat, 2.5);
  EXPECT_NEAR(peak_lon, kLowLon, 3.5);
  EXPECT_LT(field("div", "diverg").at(kLowLat, kLowLon), -2.0);
  const Field mconv = field("mconv", "vconv");
  EXPECT_GT(mconv.at(kLowLat, kLowLon), 10.0);
  EXPECT_GT(mconv.at(42.9, -82.1), 5.0);
}

// Warm advection ahead of the warm front, cold advection behind the cold front (C/h);
// frontogenesis (K/100 km/3 h) at the low where the fronts meet.
TEST_F(DerivedFields, TemperatureAdvectionAndFrontogenesisAroundTheFronts) {
  const Field tadv = field("tadv", "mul");
  EXPECT_GT(tadv.at(42.9, -82.1), 0.3);   // Lake Huron, north of the warm front
  EXPECT_LT(tadv.at(39.6, -92.0), -0.5);  // Missouri, behind the cold front
  const Field fgen = field("fgen", "mul");
  EXPECT_GT(fgen.at(kLowLat, kLowLon), 0.5);
  EXPECT_GT(fgen.at(39.6, -92.0), 0.2);
}

// A scaled field is labelled, above the map and in its grid file, with the units its
// definition scales to rather than the operator's own.
TEST_F(DerivedFields, ScaledFieldsNameTheirOwnUnits) {
  for (const auto& [var, label, units] : {std::tuple{"tadv", "Temperature advection (C/h)", "C/h"},
                                          std::tuple{"fgen", "Frontogenesis (K/100km/3h)", "K/100km/3h"}}) {
    const std::string meta = read_file(dir_ + "/" + var + "/plot.meta");
    EXPECT_NE(meta.find(std::string(" ") + label + "\n"), std::string::npos) << var;
    EXPECT_EQ(meta.find("(/s)"), std::string::npos) << var;
    const RunResult r = run_program("/usr/bin/ncdump", {"-h", dir_ + "/" + var + "/2026031418_mul.nc"});
    EXPECT_NE(r.out.find(std::string("mul:units = \"") + units + "\""), std::string::npos) << r.out;
  }
}

// Both components of a gradient are written, each a grid of its own as the wind's are:
// the temperature falls towards the north over the plains.
TEST_F(DerivedFields, GradientWritesBothComponents) {
  const Field u = field("grad", "ugrad"), v = field("grad", "vgrad");
  ASSERT_EQ(u.v.size(), 425u);
  ASSERT_EQ(v.v.size(), 425u);
  EXPECT_NE(u.v, v.v);
  EXPECT_LT(v.at(37.0, -97.0), -0.5);
  EXPECT_FALSE(fs::exists(dir_ + "/grad/2026031418_grad.nc"));
}

// The analysed wind speed is the length of the analysed components, in knots; a point
// without either component has none.
TEST_F(DerivedFields, WindSpeedOfAnalysedComponents) {
  const Field s = field("uvspd", "wspd"), u = field("uvspd", "uwnd"), v = field("uvspd", "vwnd");
  ASSERT_EQ(s.v.size(), u.v.size());
  int valid = 0;
  for (std::size_t k = 0; k < s.v.size(); ++k) {
    if (u.v[k] == -9999.0 || v.v[k] == -9999.0) {
      EXPECT_EQ(s.v[k], -9999.0) << k;
      continue;
    }
    ++valid;
    EXPECT_NEAR(s.v[k], std::hypot(u.v[k], v.v[k]) * 3600.0 / 1852.0, 2e-3 * (1 + s.v[k])) << k;
  }
  EXPECT_GT(valid, 400);
}

}  // namespace
