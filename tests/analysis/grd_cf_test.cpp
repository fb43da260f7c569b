#include "analysis/grd_cf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "config/flag.h"
#include "config/resrc.h"
#include "tests/support/run.h"

namespace {

constexpr float M = -9999.0f;
constexpr double kPi = 3.14159265358979323846;

// A grid record that frees its values: v(i, j) = 10 * row + column, top row first, and
// one missing point.
struct Grid : GridRec {
  explicit Grid(const DomainRec& d)
      : GridRec{2, 1, 1, "12Z 14 MAR 26", "Dew point (F)", {2026, 3, 14, 73, 6, 12, 0, 0}, 1, 1, 0, 0, 17, "F", d,
                nullptr} {
    EXPECT_EQ(GRD_alloc(this), 1);
    for (int j = 0; j < d.ny; ++j)
      for (int i = 0; i < d.nx; ++i) values[j * d.nx + i] = static_cast<float>(10 * j + i);
    values[1] = M;
  }
  Grid() { GRD_init(this); }
  Grid(const Grid&) = delete;
  ~Grid() { GRD_free(this); }
};

GridInfo info_for(const GridRec& g, const char* name) {
  GridInfo info{"12Z 14 MAR 26", g.domain.nx, g.domain.ny, 0, {2026, 3, 14, 73, 6, 12, 0, 0}, ""};
  std::snprintf(info.name, sizeof info.name, "%s", name);
  return info;
}

RunResult ncdump(const std::vector<std::string>& args) { return run_program("/usr/bin/ncdump", args); }

class CfFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    FLAG_set(15, 1);  // always overwrite
    FLAG_set_batch(1);
  }
  void TearDown() override {
    FLAG_set(15, 0);
    std::filesystem::remove_all(dir_);
  }
  int save(const std::string& path, GridRec& g, const char* name) {
    GridInfo info = info_for(g, name);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int r = GRD_save_file(path.c_str(), &g, &info, GRD_FILE_CF);
    testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
    return r;
  }
  std::string dir_ = make_temp_dir("grd_cf");
  std::string err_;
};

}  // namespace

TEST(CfUnits, PackageUnitsInTheirUdunitsSpelling) {
  const std::pair<const char*, const char*> cases[] = {{"F", "degF"},     {"c", "degC"},     {"K", "K"},
                                                       {"mb", "hPa"},     {"kts", "knot"},   {"knt", "knot"},
                                                       {"m/s", "m/s"},    {"in_Hg", "inch_Hg"}, {"%", "percent"},
                                                       {"okta", "okta"}, {"", ""}};
  for (const auto& [from, to] : cases) EXPECT_STREQ(GRD_cf_units(from), to) << from;
}

// A grid saved in the CF form reads back as the same grid: the exact domain, header and
// values, rows top first again after being stored from the south.
TEST_F(CfFiles, SavedGridReadsBackTheSame) {
  const DomainRec d{PROJ_LAMB, 25.0f, -95.0f, 25.0f, 45.0f, M, M, M, 35.0f, -95.0f, 1.5f, 1.25f, 5, 4, 0};
  Grid g(d);
  const std::string path = dir_ + "/g.nc";
  ASSERT_EQ(save(path, g, "dewp"), 1) << err_;
  EXPECT_EQ(err_, "");

  // In the file, the southern row comes first and the fill value marks the missing point.
  const RunResult v = ncdump({"-v", "dewp", path});
  EXPECT_NE(v.out.find("dewp =\n  30, 31, 32, 33, 34,\n  20, 21, 22, 23, 24,\n  10, 11, 12, 13, 14,\n  0, _, 2, 3, 4 ;"),
            std::string::npos)
      << v.out;

  Grid slot;
  GridInfo info{};
  int type = 0;
  FLAG_set(15, 3);  // use the existing file
  ASSERT_EQ(GRD_read_check(path.c_str(), &slot, &info, &type, &d), 1);
  EXPECT_EQ(type, GRD_FILE_CDF);
  EXPECT_EQ(DOM_comp(&slot.domain, &d), 1);
  EXPECT_EQ(std::memcmp(&slot.domain, &d, sizeof d), 0);
  EXPECT_EQ(std::vector<float>(slot.values, slot.values + 20), std::vector<float>(g.values, g.values + 20));
  EXPECT_EQ(std::string(slot.label) + "|" + slot.datatype + "|" + slot.units + "|" + info.label,
            "12Z 14 MAR 26|Dew point (F)|F|12Z 14 MAR 26");
  EXPECT_EQ(std::vector<int>({slot.source, slot.var, slot.ltype, slot.date.hour, info.nx, info.ny}),
            std::vector<int>({1, 17, 1, 12, 5, 4}));
}

// The Lambert plane starts at the cone's apex; in the file y counts from the origin
// latitude, as CF says: 0 at 25 N on the central meridian, and the corners where the
// cone formulas put them.
TEST_F(CfFiles, LambertCoordinatesCountFromTheOriginLatitude) {
  const DomainRec d{PROJ_LAMB, 25.0f, -95.0f, 25.0f, 45.0f, M, M, M, 35.0f, -95.0f, 2.0f, 2.0f, 3, 3, 0};
  Grid g(d);
  const std::string path = dir_ + "/l.nc";
  ASSERT_EQ(save(path, g, "dewp"), 1) << err_;
  // Spherical Lambert conformal conic, standard parallels 25 and 45 (plane units, R = 63.7122).
  const double R = 63.7122, f1 = 25 * kPi / 180, f2 = 45 * kPi / 180;
  const double n = std::log(std::cos(f1) / std::cos(f2)) / std::log(std::tan(kPi / 4 + f2 / 2) / std::tan(kPi / 4 + f1 / 2));
  const double F = std::cos(f1) * std::pow(std::tan(kPi / 4 + f1 / 2), n) / n;
  auto rho = [&](double lat) { return R * F / std::pow(std::tan(kPi / 4 + lat * kPi / 360), n); };
  const double yc = rho(25) - rho(35);  // the centre, 35 N on the central meridian
  const RunResult out = ncdump({"-p", "9,15", "-v", "x,y", path});
  double y[3] = {};
  const std::size_t at = out.out.find(" y = ");
  ASSERT_NE(at, std::string::npos) << out.out;
  ASSERT_EQ(std::sscanf(out.out.c_str() + at, " y = %lf, %lf, %lf ;", &y[0], &y[1], &y[2]), 3) << out.out;
  // Within a metre: the program's plane coordinates are single precision.
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(y[k], (yc + 2 * (k - 1)) * 1e5, 1.0) << k;
  EXPECT_NE(out.out.find(" x = -200000, 0, 200000 ;"), std::string::npos) << out.out;
  const RunResult h = ncdump({"-h", path});
  EXPECT_NE(h.out.find("\t\tcrs:grid_mapping_name = \"lambert_conformal_conic\" ;\n\t\tcrs:standard_parallel = 25., 45. ;\n"
                       "\t\tcrs:longitude_of_central_meridian = -95. ;\n\t\tcrs:latitude_of_projection_origin = 25. ;\n"),
            std::string::npos)
      << h.out;
}

// Names of the values: the variable's, made a valid netCDF name, never one the layout uses.
TEST_F(CfFiles, ValuesAreNamedAfterTheVariable) {
  const DomainRec d{PROJ_PS, M, -100.0f, M, M, M, M, M, 40.0f, -100.0f, 1.0f, 1.0f, 2, 2, 0};
  Grid g(d);
  const std::pair<const char*, const char*> cases[] = {
      {"temp", "float temp(time, y, x)"}, {"12hr-6acc", "float v12hr_6acc(time, y, x)"},
      {"lat", "float lat_values(time, y, x)"}, {"values", "float values_values(time, y, x)"},
      {"", "float grid_values(time, y, x)"},
      {"-", "float grid_values(time, y, x)"}};
  for (const auto& [name, declared] : cases) {
    const std::string path = dir_ + "/n.nc";
    ASSERT_EQ(save(path, g, name), 1) << name << err_;
    EXPECT_NE(ncdump({"-h", path}).out.find(declared), std::string::npos) << name;
    Grid back;
    GridInfo info{};
    int type = 0;
    FLAG_set(15, 3);
    EXPECT_EQ(GRD_read_check(path.c_str(), &back, &info, &type, &d), 1) << name;
    FLAG_set(15, 1);
  }
}

// What the CF form cannot take is refused and leaves no file: a domain without a map
// projection, an append, a header that does not describe the values.
TEST_F(CfFiles, RefusalsLeaveNoFile) {
  const DomainRec xy{PROJ_XY, M, M, M, M, M, M, M, 0.0f, 0.0f, 1.0f, 1.0f, 3, 3, 0};
  Grid g(xy);
  const std::string path = dir_ + "/xy.nc";
  EXPECT_EQ(save(path, g, "temp"), 0);
  EXPECT_EQ(err_, "GRD_write: A CF grid file needs a map projection, not projection 20\n"
                  "GRD_save_file: Unable to create grid file: " + path + "\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir_));

  int type = GRD_FILE_CF;
  EXPECT_EQ(GRD_open(path.c_str(), 2, &type), -1);

  // A grid record that promises more points than the values hold.
  const DomainRec d{PROJ_PS, M, -100.0f, M, M, M, M, M, 40.0f, -100.0f, 1.0f, 1.0f, 3, 3, 0};
  Grid ok(d);
  ASSERT_EQ(save(path, ok, "temp"), 1);
  const RunResult cdl = ncdump({path});
  std::string text = cdl.out;
  const std::size_t at = text.find("grid_record:nx = 3 ;");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 20, "grid_record:nx = 9 ;");
  write_file(dir_ + "/bad.cdl", text);
  ASSERT_EQ(run_program("/usr/bin/ncgen", {"-o", dir_ + "/bad.nc", dir_ + "/bad.cdl"}).status, 0);
  Grid back;
  type = 0;
  testing::internal::CaptureStderr();
  const int h = GRD_open((dir_ + "/bad.nc").c_str(), 0, &type);
  ASSERT_GE(h, 0);
  EXPECT_EQ(GRD_read(h, &back, 0, nullptr), -1);
  GRD_close(h);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_read: CF grid file does not hold the grid its header describes\n");
  EXPECT_EQ(back.values, nullptr);
}
