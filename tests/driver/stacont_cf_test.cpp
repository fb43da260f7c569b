// End-to-end runs of the CF netCDF output (-of cf): the main job's grid opened with a
// standard reader (the netCDF4 and pyproj modules of the system's Python) and its
// latitudes and longitudes compared with the polar stereographic formulas worked out
// here; every projection CF describes checked by the reader's own projection library
// against the positions in the file; the values, the layout and the read-back.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/driver_runs.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;
constexpr double kPi = 3.14159265358979323846;

using Lines = std::map<std::string, std::vector<std::string>>;

// The reader's lines for each file, by their first word. (One interpreter for all files:
// starting it takes longer than reading them.)
std::map<std::string, Lines> read_with_python(const std::vector<std::string>& files, std::string* err) {
  const RunResult r = run_script("cf_read.py", files);
  *err = r.err;
  std::map<std::string, Lines> all;
  Lines* lines = nullptr;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const std::size_t blank = line.find(' ');
    const std::string word = line.substr(0, blank), rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (word == "file")
      lines = &all[rest];
    else if (lines != nullptr)
      (*lines)[word].push_back(rest);
  }
  return all;
}

Lines read_with_python(const std::string& file, std::string* err) { return read_with_python(std::vector{file}, err)[file]; }

struct LatLon {
  double lat, lon;
};

// Latitude and longitude of grid point (column i, row j from the south) of the region
// "us": polar stereographic, true at 60 N, centred on 39 N 97 W, 25 x 17 points 2.3 units
// (230 km) apart, plane units of 1:10,000,000 on an earth of radius 6371.22 km.
LatLon us_point(int i, int j) {
  const double R = 63.7122, k = R * (1.0 + std::sin(60.0 * kPi / 180.0)), d = static_cast<double>(2.3f);
  const double yc = -k * std::tan((45.0 - 39.0 / 2.0) * kPi / 180.0);  // the centre lies on the -97 meridian
  const double x = (i - 12) * d, y = yc + (j - 8) * d;
  return {90.0 - 2.0 * std::atan(std::hypot(x, y) / k) * 180.0 / kPi, -97.0 + std::atan2(x, -y) * 180.0 / kPi};
}

class StacontCf : public ProgramTest {
 protected:
  void TearDown() override { fs::remove_all(dir_); }
  RunResult run(const std::string& domain, const std::string& out, std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), {"-me", "mess", "-va", "temp", "-of", "cf", "-gp", out});
    return run_stacont(sample_args("2026031412", domain, extra), "", env_, dir_, 120);
  }
};

// The main job with the CF form: every hour's file opens in the standard reader, with
// the corners and the centre where the projection puts them (its mapping is checked with
// the other projections').
TEST_F(StacontCf, MainJobFileHasTheProjectionsLatitudesAndLongitudes) {
  const std::string out = dir_ + "/grids";
  const RunResult r = run("us", out, {"-nh", "6"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 7);
  std::string err;
  auto got = read_with_python(out + "/2026031412_temp.nc", &err);
  ASSERT_EQ(got["point"].size(), 5u) << err;
  double worst = 0.0;
  for (const std::string& line : got["point"]) {
    std::istringstream in(line);
    int j = 0, i = 0;
    double lat = 0, lon = 0;
    in >> j >> i >> lat >> lon;
    const LatLon want = us_point(i, j);
    EXPECT_NEAR(lat, want.lat, 1e-4) << line;
    EXPECT_NEAR(lon, want.lon, 1e-4) << line;
    worst = std::max({worst, std::fabs(lat - want.lat), std::fabs(lon - want.lon)});
  }
  EXPECT_EQ(got["units"], std::vector<std::string>{"degF"});
  RecordProperty("worst_corner_error_deg", std::to_string(worst));

  // The header a CF reader relies on.
  const std::string h = run_program("/usr/bin/ncdump", {"-h", out + "/2026031418_temp.nc"}).out;
  for (const auto& row : read_tsv("cf_header.tsv"))
    EXPECT_NE(h.find(row.at("fragment")), std::string::npos) << row.at("fragment") << "\n" << h;
  // 18 UTC of 14 March 2026 in hours since 1970.
  const std::string t = run_program("/usr/bin/ncdump", {"-v", "time", out + "/2026031418_temp.nc"}).out;
  EXPECT_NE(t.find(" time = " + std::to_string((20526 * 24) + 18) + " ;"), std::string::npos) << t;
}

// Every projection CF describes: the reader's projection library, given the file's x, y
// and grid mapping, finds the latitudes and longitudes the file holds, and the middle
// point is the domain's centre. Views CF has no mapping for still carry positions.
TEST_F(StacontCf, EveryProjectionMapsOntoTheFilesPositions) {
  const auto cases = read_tsv("cf_projections.tsv");
  std::vector<std::string> files;
  for (const auto& c : cases) {
    const std::string out = dir_ + "/p" + std::to_string(files.size());
    const RunResult r = run(c.at("domain"), out);
    ASSERT_EQ(r.status, 0) << c.at("domain") << r.err;
    files.push_back(out + "/2026031412_temp.nc");
  }
  std::string err;
  auto all = read_with_python(files, &err);
  for (std::size_t k = 0; k < files.size(); ++k) {
    const auto& c = cases[k];
    SCOPED_TRACE(c.at("domain"));
    Lines& got = all[files[k]];
    ASSERT_EQ(got["point"].size(), 5u) << err;
    // The centre: the middle point of the grid, within single precision.
    std::istringstream centre(got["point"][4]), want(c.at("centre"));
    int j = 0, i = 0, wj = 0, wi = 0;
    double lat = 0, lon = 0, wlat = 0, wlon = 0;
    centre >> j >> i >> lat >> lon;
    want >> wj >> wi >> wlat >> wlon;
    EXPECT_TRUE(j == wj && i == wi && std::fabs(lat - wlat) < 1e-5 && std::fabs(lon - wlon) < 1e-5) << got["point"][4];
    EXPECT_EQ(got["mapping"], std::vector<std::string>{c.at("mapping")});
    if (c.at("mapping") == "none") continue;
    ASSERT_EQ(got["pyproj"].size(), 1u) << err;
    std::istringstream diffs(got["pyproj"][0]);
    double dlat = 1, dlon = 1;
    diffs >> dlat >> dlon;
    EXPECT_LT(std::max(dlat, dlon), 1e-4) << got["pyproj"][0];
  }
}

// The values are the analysis: the package's netCDF layout holds the same grid, rows top
// first.
TEST_F(StacontCf, ValuesMatchThePackageLayout) {
  const std::string cf = dir_ + "/cf", pkg = dir_ + "/pkg";
  ASSERT_EQ(run("us", cf).status, 0);
  const RunResult p =
      run_stacont(sample_args("2026031412", "us", {"-va", "temp", "-of", "cdf", "-gp", pkg}), "", env_, dir_, 120);
  ASSERT_EQ(p.status, 0) << p.err;
  const RunResult same = run_script("cf_compare.py", {pkg + "/2026031412_temp.nc", cf + "/2026031412_temp.nc"});
  EXPECT_EQ(same.out.substr(0, 5), "True ") << same.out << same.err;
  EXPECT_NE(same.out, "True 0\n");

}

STACONT_RUNS_TABLE(CfRuns, "cf.runs");

}  // namespace
