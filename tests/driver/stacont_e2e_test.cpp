// End-to-end runs of the program: grid files in every output format checked against an
// analysis worked out here from the analysis formula; the table of grid runs besides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "plot/maptran.h"
#include "tests/support/barnes.h"
#include "tests/support/driver_runs.h"
#include "tests/support/e2e.h"

namespace {

const std::string kHourFile = "2026031412.sfc";

// Four Colorado stations with temperatures of our choosing, on a latitude-longitude grid
// of 11 x 7 points one degree apart centred at 39 N 106 W. The positions are those of the
// station database (data/sao.cty); the report lines are the sample's with the temperature
// (tenths of a degree Fahrenheit) replaced (tests/data/driver/colorado.sfc).
const char* const kStationsDomain = "ll,39,-106,11,7,1";
constexpr int kNx = 11, kNy = 7;

// The analysis the program makes of them with its defaults.
std::vector<float> expected_analysis() {
  return default_analysis({{38.8058, -104.7010, 45.0}, {39.8617, -104.6730, 40.0}, {39.1267, -108.5294, 60.0},
                           {38.2891, -104.4970, 50.0}},
                          kNx, kNy, 39.0, -106.0);
}

class StacontE2E : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    write_file(dir_ + "/" + kHourFile, data_file("colorado.sfc"));
  }
  // The temperature analysis of the four stations; every station kept (-pr 9).
  RunResult run(const std::string& of, const std::string& grid_path, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-ba", "-me", "mess", "-fp", kData, "-pd", kStationsDomain, "-pr", "9",
                                     "-va", "temp", "-of", of, "-gp", grid_path};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(dir_ + "/" + kHourFile);
    return run_stacont(args, "", env_, dir_, 60);
  }
  static inline const std::vector<float> reference_ = expected_analysis();
};

void expect_close(const std::vector<double>& got_values, const std::vector<float>& want, double rel) {
  const std::vector<float> got(got_values.begin(), got_values.end());
  ASSERT_EQ(got.size(), want.size());
  int bad = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const bool ok = want[i] == -9999.0f ? got[i] == -9999.0f
                                        : std::fabs(got[i] - want[i]) <= rel * std::max(1.0f, std::fabs(want[i]));
    if (!ok && ++bad <= 10) ADD_FAILURE() << "value " << i << ": " << got[i] << " want " << want[i];
  }
  EXPECT_EQ(bad, 0);
}

// The date labels follow the time zone given in zavtz.
TEST_F(StacontE2E, NetcdfGridHasTheLayoutAndTheAnalysedValues) {
  env_["zavtz"] = "-EST:-5";
  const RunResult r = run("cdf", dir_ + "/grids");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string file = dir_ + "/grids/2026031412_temp.nc";
  EXPECT_NE(r.out.find("Fitting to grid...\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Creating grid file: " + file + "\n"), std::string::npos) << r.out;

  const RunResult h = run_program("/usr/bin/ncdump", {"-h", file});
  ASSERT_EQ(h.status, 0) << h.err;
  // The skeleton (dimensions, declarations in order, global attributes) is fixed: the
  // file's header as ncdump -h prints it, less the attributes of each variable.
  std::string skeleton;
  std::istringstream lines(h.out);
  for (std::string l; std::getline(lines, l);)
    if (l.rfind("\t\t", 0) != 0 || l[2] == ':') skeleton += l + "\n";
  EXPECT_EQ(skeleton, data_file("temp_grid_header.cdl"));
  // (The attributes of each variable are the grid writer's own tests'.)
  expect_close(ncdump_values(file, "values"), reference_, 1e-5);
  expect_close(ncdump_values(file, "lat1"), {39.0f}, 1e-6);
  expect_close(ncdump_values(file, "lon1"), {-106.0f}, 1e-6);
  const RunResult dump = run_program("/usr/bin/ncdump", {"-v", "datim", file});
  EXPECT_NE(dump.out.find("\"Analysis for 7 AM EST [12Z] 14 MAR 26\""), std::string::npos) << dump.out;
}

// Package grid files with text and with binary values read back to the same grid.
TEST_F(StacontE2E, PackageGridFilesReadBackEqual) {
  for (const char* of : {"zav", "zavb"}) {
    const std::string out = dir_ + "/" + of;
    const RunResult r = run(of, out);
    ASSERT_EQ(r.status, 0) << of << r.err;
    const std::string file = out + "/2026031412_temp.grd";
    const std::string bytes = read_file(file);
    ASSERT_EQ(bytes.rfind("ZAVGRID\n", 0), 0u) << of;
    const bool binary = std::strcmp(of, "zavb") == 0;
    EXPECT_NE(bytes.find(binary ? "\n3-" : "\n2-"), std::string::npos);
    int type = 0, pos = 0;
    const int fd = GRD_open(file.c_str(), 0, &type);
    ASSERT_GE(fd, 0) << of;
    EXPECT_EQ(type, 2);
    GridRec g{};
    ASSERT_EQ(GRD_read(fd, &g, 0, &pos), 0) << of;
    GRD_close(fd);
    EXPECT_TRUE(g.domain.proj == PROJ_LL && g.domain.clat == 39.0f && g.domain.clon == -106.0f && g.domain.nx == kNx &&
                g.domain.ny == kNy && g.domain.dx == 1.0f)
        << of;
    ASSERT_NE(g.values, nullptr);
    // Both forms hold the analysis (the program's single-precision distances allow for
    // a few units in the sixth digit).
    expect_close(std::vector<double>(g.values, g.values + g.domain.nx * g.domain.ny), reference_, 1e-5);
    GRD_free(&g);
  }
}

// Where grids go and what becomes of grid files already there, slips in a batch job and
// the installed program: the table tests/data/driver/grids.runs.
STACONT_RUNS_TABLE(Grids, "grids.runs");

}  // namespace
