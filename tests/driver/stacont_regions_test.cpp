// End-to-end runs over the bundled regions with the sample's 18 UTC observations: the
// stations a region keeps by default cover it nearly as well as all of them; ships and
// buoys kept and a sparse analysis saying how to keep more stations are rows of a table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/driver_runs.h"
#include "tests/support/run.h"

namespace {

const std::string kData = STACONT_DATA_DIR;
const std::string kSparse = "% of the grid has no analysis: this domain uses only stations of priority ";

// Every region of the shipped region file (the built-in regions are the same as its
// entries of the same names; "var" is asked for its centre).
std::vector<std::string> regions() {
  std::vector<std::string> names;
  std::istringstream in(read_file(kData + "/zav.reg"));
  for (std::string line, name; std::getline(in, line);)
    if (!line.empty() && line[0] != '#' && std::istringstream(line) >> name) names.push_back(name);
  return names;
}

// The regions a batch run can draw: "var" asks for its centre at a prompt, which batch
// mode refuses (stacont_hostile_input_test).
std::vector<std::string> batch_regions() {
  std::vector<std::string> names = regions();
  names.erase(std::remove(names.begin(), names.end(), "var"), names.end());
  return names;
}

struct Analysis {
  RunResult run;
  int points = 0;   // grid points
  int missing = 0;  // of them without a value
  double missing_pct() const { return points > 0 ? 100.0 * missing / points : 100.0; }
};

// The program in batch mode on the sample, and the grid it wrote as ncdump shows it.
Analysis analyse(const std::string& region, const std::string& var, const std::vector<std::string>& more = {}) {
  const std::string dir = make_temp_dir("regions");
  std::vector<std::string> args = sample_args("2026031418", region, {"-va", var, "-of", "cdf", "-gp", dir});
  args.insert(args.end(), more.begin(), more.end());
  Analysis a;
  a.run = run_stacont(args, "", clean_env(dir + "/no-resource-files"), dir, 60);
  const std::string file = dir + "/2026031418_" + var + ".nc";
  for (const double v : ncdump_values(file, "values")) {
    ++a.points;
    a.missing += v == -9999.0 ? 1 : 0;
  }
  return a;
}

class RegionCoverage : public ::testing::TestWithParam<std::string> {};

// At most 3 percentage points more of the grid missing than with every station (-pr 9).
TEST_P(RegionCoverage, DefaultStationsCoverAlmostAsWellAsAll) {
  const Analysis def = analyse(GetParam(), "temp");
  const Analysis all = analyse(GetParam(), "temp", {"-pr", "9"});
  ASSERT_EQ(def.run.status, 0) << def.run.err;
  ASSERT_EQ(all.run.status, 0) << all.run.err;
  ASSERT_GT(def.points, 0) << def.run.err;
  ASSERT_EQ(def.points, all.points);
  std::printf("%-6s missing: default %5.1f%%, -pr 9 %5.1f%%, difference %4.1f\n", GetParam().c_str(),
              def.missing_pct(), all.missing_pct(), def.missing_pct() - all.missing_pct());
  EXPECT_LE(def.missing_pct() - all.missing_pct(), 3.0) << GetParam();
  // With every station kept there is nothing more to keep, so nothing to say.
  EXPECT_EQ(all.run.err.find(kSparse), std::string::npos) << all.run.err;
}

INSTANTIATE_TEST_SUITE_P(Sample18Utc, RegionCoverage, ::testing::ValuesIn(batch_regions()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

TEST(RegionList, HoldsTheRegionsOfTheMenuAndTheNamedOnes) {
  const std::vector<std::string> names = regions();
  EXPECT_EQ(names.size(), 23u);
  for (const char* name : {"us", "ne", "at", "se", "mw", "sp", "nw", "sw", "conus", "can", "gulf", "var"})
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}

STACONT_RUNS_TABLE(RegionRuns, "regions.runs");

}  // namespace
