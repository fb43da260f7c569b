// End-to-end checks of the reports on reading: a temperature beyond the gross limits and a
// station reported twice in the hour leave the analysis as if only the good reports had
// come, say so in one line each, and the limits switched off by a resource let the bad
// value through again. A report the buddy check rejects is crossed out on the station plot
// drawn over its analysis.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "tests/support/barnes.h"
#include "tests/support/e2e.h"

namespace {

const std::string kHourFile = "2026031412.sfc";

// Four Colorado stations (positions of data/sao.cty) on an 11 x 7 latitude-longitude grid,
// one degree apart, centred at 39 N 106 W. KDEN reports 150.0 F (65.6 C, beyond 60 C);
// KCOS reports twice: 90.0 F at 11:20 and 45.0 F at 11:53, the report nearer 12 UTC
// (tests/data/driver/colorado_qc.sfc).
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
    write_file(dir_ + "/" + kHourFile, data_file("colorado_qc.sfc"));
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

// Eighteen Kansas stations (positions of data/sao.cty) with the smooth field
// T = 60 + 3 (lon + 97.5) - 2 (lat - 39) F in tenths, and KSLN 54 F (30 C) too warm: 114.0 F
// where its neighbours give about 60. Drawn on the 9 x 5 latitude-longitude domain one degree
// apart centred at 39 N 97.5 W, on an 800 x 600 PNG: 8 by 4 degrees fill the width at 100
// pixels a degree, the map's 400 rows centred, so a station sits at column
// 100 (lon + 101.5) and row 100 + 100 (41 - lat): KSLN (38.79 N, 97.65 W) at (385, 321).
// The reports are in tests/data/driver/kansas.sfc.
constexpr int kWidth = 800, kHeight = 600;
constexpr int kSlnColumn = 385, kSlnRow = 321;

struct Pixel {
  int column, row;
};

// The red pixels of a PNG (the cross; values are green and contours black, and the map
// outlines, red too, are not drawn).
std::vector<Pixel> red_pixels(const std::string& png) {
  const RunResult r = run_program("/usr/bin/env", {"convert", png, "-depth", "8", "rgb:-"});
  std::vector<Pixel> red;
  if (r.status != 0 || r.out.size() != 3u * kWidth * kHeight) return red;
  for (std::size_t i = 0; i < r.out.size(); i += 3) {
    const auto c = [&](std::size_t k) { return static_cast<unsigned char>(r.out[i + k]); };
    if (c(0) > 180 && c(1) < 90 && c(2) < 90)
      red.push_back({static_cast<int>(i / 3 % kWidth), static_cast<int>(i / 3 / kWidth)});
  }
  return red;
}

class StacontQcPlot : public ProgramTest {
 protected:
  RunResult run(const std::string& buddy, const std::string& png) {
    write_file(dir_ + "/" + kHourFile, data_file("kansas.sfc"));
    return run_stacont({"-ba", "-me", "mess", "-fp", kData, "-pd", "ll,39,-97.5,9,5,1", "-pr", "9", "-va",
                        "temp[:ln],temp[:value]", "-bc", buddy, "-dr", "data", "-of", "none", "-de",
                        "png," + png + ",800x600,inv", dir_ + "/" + kHourFile},
                       "", env_, dir_, 60);
  }
};

TEST_F(StacontQcPlot, RejectedReportCrossedOutOnTheStationPlot) {
  const std::string png = dir_ + "/qc.png";
  const RunResult r = run("4", png);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(count_of(r.out, "Buddy check Temperature (F): KSLN 114 rejected"), 1) << r.out;
  EXPECT_EQ(count_of(r.out, "Buddy check Temperature (F): 1 of 18 reports rejected"), 1) << r.out;
  const std::vector<Pixel> red = red_pixels(png);
  // Two strokes 0.032 of the map's 400 rows long (about 13 pixels each), nothing red elsewhere:
  // the nearest other station (KHUT, KCNK) is 70 pixels away.
  EXPECT_GE(red.size(), 15u);
  for (const Pixel& p : red) {
    EXPECT_LE(std::abs(p.column - kSlnColumn), 8) << p.column << "," << p.row;
    EXPECT_LE(std::abs(p.row - kSlnRow), 8) << p.column << "," << p.row;
  }
  // Crossed at both diagonals: red up-left and down-right of the station as well as up-right.
  const auto near = [&](int dc, int dr) {
    return std::any_of(red.begin(), red.end(), [&](const Pixel& p) {
      return std::abs(p.column - (kSlnColumn + dc)) <= 1 && std::abs(p.row - (kSlnRow + dr)) <= 1;
    });
  };
  EXPECT_TRUE(near(-5, -5) && near(5, 5) && near(5, -5) && near(-5, 5));

  // With the check off nothing is rejected and nothing is crossed out.
  const std::string plain = dir_ + "/plain.png";
  const RunResult off = run("off", plain);
  ASSERT_EQ(off.status, 0) << off.out << off.err;
  EXPECT_EQ(off.out.find("Buddy check"), std::string::npos) << off.out;
  EXPECT_TRUE(red_pixels(plain).empty());
  EXPECT_TRUE(std::filesystem::exists(plain));
}

}  // namespace
