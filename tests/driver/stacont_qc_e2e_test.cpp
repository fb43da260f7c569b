// End-to-end checks of the reports on reading: a temperature beyond the gross limits and a
// station reported twice in the hour leave the analysis as if only the good reports had
// come, say so in one line each, and the limits switched off by a resource let the bad
// value through again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "tests/support/barnes.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

const std::string kData = STACONT_DATA_DIR;
const std::string kHourFile = "2026031412.sfc";

// Four Colorado stations (positions of data/sao.cty) on an 11 x 7 latitude-longitude grid,
// one degree apart, centred at 39 N 106 W. KDEN reports 150.0 F (65.6 C, beyond 60 C);
// KCOS reports twice: 90.0 F at 11:20 and 45.0 F at 11:53, the report nearer 12 UTC.
const char* const kFile =
    "ZAVSFC\n12Z 14 MAR 26\n"
    "KCOS 900 -163 0107 955 128 10.0 -99C - @1120 $\n"
    "KDEN 1500 -154 0207 958 -99 10.0 69F,250S - @1153 $\n"
    "KGJT 600 -98 0507 972 151 5.0 -99C H @1153 $\n"
    "KCOS 450 -163 0107 955 128 10.0 -99C - @1153 $\n"
    "KPUB 500 -93 -999 962 129 10.0 -99C - @1153 $\n";
constexpr int kNx = 11, kNy = 7;

// The program's default analysis of the given stations.
std::vector<float> analysis(const std::vector<TestStation>& stations) {
  return default_analysis(stations, kNx, kNy, 39.0, -106.0);
}

const TestStation kCos{38.8058, -104.7010, 45.0}, kDen{39.8617, -104.6730, 150.0}, kGjt{39.1267, -108.5294, 60.0},
    kPub{38.2891, -104.4970, 50.0};

// The values of a package grid file.
std::vector<float> grid_values(const std::string& file) {
  int type = 0, pos = 0;
  const int fd = GRD_open(file.c_str(), 0, &type);
  if (fd < 0) return {};
  GridRec g{};
  std::vector<float> values;
  if (GRD_read(fd, &g, 0, &pos) == 0 && g.values != nullptr)
    values.assign(g.values, g.values + g.domain.nx * g.domain.ny);
  GRD_close(fd);
  GRD_free(&g);
  return values;
}

class StacontQc : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    write_file(dir_ + "/" + kHourFile, kFile);
    std::filesystem::create_directories(dir_ + "/res");
    env_ = clean_env(dir_ + "/res");
  }
  RunResult run() {
    return run_stacont({"-ba", "-me", "mess", "-fp", kData, "-pd", "ll,39,-106,11,7,1", "-pr", "9", "-va", "temp",
                        "-of", "zav", "-gp", dir_ + "/grids", dir_ + "/" + kHourFile},
                       "", env_, dir_, 60);
  }
  void expect_grid(const std::vector<float>& want) {
    const std::vector<float> got = grid_values(dir_ + "/grids/2026031412_temp.grd");
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
      EXPECT_NEAR(got[i], want[i], 1e-3 * std::max(1.0f, std::fabs(want[i]))) << "value " << i;
  }
};

TEST_F(StacontQc, BadTemperatureAndSecondReportLeaveTheAnalysis) {
  const RunResult r = run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  // 150 F = 65.5556 C; the limit as the table writes it.
  EXPECT_EQ(count_of(r.out, "Gross limit: KDEN temp 65.5556 C above 60 C\n"), 1) << r.out;
  EXPECT_EQ(count_of(r.out, "Gross limits: 1 value dropped: temp 1\n"), 1) << r.out;
  EXPECT_EQ(count_of(r.out, "Duplicate: KCOS report of 1120 set aside for the one of 1153\n"), 1) << r.out;
  EXPECT_EQ(count_of(r.out, "Duplicates: 2 reports of 1 station resolved by time, 1 set aside\n"), 1) << r.out;
  expect_grid(analysis({kCos, kGjt, kPub}));
}

TEST_F(StacontQc, LimitsSwitchedOffByTheResource) {
  write_file(dir_ + "/res/zav.cfg", "*.limit_file none\n");
  const RunResult r = run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("Gross limit"), std::string::npos) << r.out;
  // Duplicates are resolved whatever the limits.
  EXPECT_EQ(count_of(r.out, "Duplicates: 2 reports of 1 station resolved by time, 1 set aside\n"), 1) << r.out;
  expect_grid(analysis({kCos, kDen, kGjt, kPub}));
}

// A table of one's own, in units of its own: an upper limit of 55 F drops KGJT (60 F), KDEN
// and KCOS's first report, and the listing speaks in the table's units.
TEST_F(StacontQc, OwnTableInItsOwnUnits) {
  write_file(dir_ + "/own.lim", "temp - 55 F   # our own\n");
  write_file(dir_ + "/res/zav.cfg", "*.limit_file " + dir_ + "/own.lim\n");
  const RunResult r = run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(count_of(r.out, "Gross limit: KDEN temp 150 F above 55 F\n"), 1) << r.out;
  EXPECT_EQ(count_of(r.out, "Gross limit: KGJT temp 60 F above 55 F\n"), 1) << r.out;
  // The second KCOS report (90 F) is checked too, though the report nearer the hour replaces it.
  EXPECT_EQ(count_of(r.out, "Gross limit: KCOS temp 90 F above 55 F\n"), 1) << r.out;
  EXPECT_EQ(count_of(r.out, "Gross limits: 3 values dropped: temp 3\n"), 1) << r.out;
  expect_grid(analysis({kCos, kPub}));
}

}  // namespace
