// Variable requests as a forecaster types them: misspelt names and the labels of period
// variables.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = STACONT_DATA_DIR;

class Request : public ProgramTest {
 protected:
  // The 12 UTC sample over the United States into dir_/grids; args add to that.
  RunResult run(std::vector<std::string> args, const std::string& input = "") {
    const std::vector<std::string> common = {"-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us",
                                             "-of", "cdf", "-gp", dir_ + "/grids"};
    args.insert(args.end(), common.begin(), common.end());
    return run_stacont(args, input, env_, dir_, 60);
  }
  int grids() const {
    return fs::exists(dir_ + "/grids") ? static_cast<int>(std::distance(fs::directory_iterator(dir_ + "/grids"), {}))
                                       : 0;
  }
};

// A misspelt variable writes nothing: in batch mode the run fails, at the prompt the
// forecaster is asked again.
TEST_F(Request, UnknownVariableWritesNothing) {
  RunResult r = run({"-ba", "-va", "tmep"});
  EXPECT_EQ(r.status, 20);
  EXPECT_EQ(r.err, "Unknown variable: tmep\n");
  EXPECT_EQ(grids(), 0);
  r = run({"-de", "p," + dir_ + "/plot.ps"}, "foo\ntemp\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.rfind("Unknown variable: foo\n", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find("Unknown variable", 1), std::string::npos) << r.err;
  EXPECT_EQ(grids(), 1);
  EXPECT_TRUE(fs::exists(dir_ + "/grids/2026031412_temp.nc"));
  EXPECT_FALSE(fs::exists(dir_ + "/grids/2026031412_foo.nc"));
}

// A number past the end of the variable menu names no variable of the list: it is refused
// like a misspelt name instead of drawing an empty grid labelled with the missing value.
TEST_F(Request, ANumberTheListLacksIsNoVariable) {
  RunResult r = run({"-de", "p," + dir_ + "/plot.ps"}, "99\ntemp\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Unknown variable: 99\n");
  EXPECT_EQ(r.out.find("-9999"), std::string::npos) << r.out;
  EXPECT_EQ(grids(), 1);
  EXPECT_TRUE(fs::exists(dir_ + "/grids/2026031412_temp.nc"));
  r = run({"-ba", "-va", "99"});
  EXPECT_EQ(r.status, 20);
  EXPECT_EQ(r.err, "Unknown variable: 99\n");
}

// The status of an interactive session tells how it ended: a misspelt name that was asked
// again and then answered, or left with "0", is no failure of the session. A run whose
// variable comes from the command line has no second chance.
TEST_F(Request, AVariableAskedAgainLeavesNoFailureStatus) {
  const std::string ps = "p," + dir_ + "/plot.ps";
  const struct { std::vector<std::string> args; const char* input; int status; } cases[] = {
      {{"-de", ps, "-in", "5", "-pl", "ln"}, "temp\nxyzzy\n0\n", 0},
      {{"-de", ps, "-in", "5", "-pl", "ln"}, "xyzzy\n0\n", 0},
      {{"-de", ps, "-in", "5", "-pl", "ln"}, "xyzzy\ntemp\n0\n", 0},
      {{"-de", ps, "-in", "5", "-pl", "ln", "-va", "xyzzy"}, "", 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const RunResult r = run(c.args, c.input);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_EQ(r.err, "Unknown variable: xyzzy\n");
  }
}

// The 24-hour extremes of observations are valid at the observation time, and their label
// fits the grid's label field.
TEST_F(Request, PeriodLabelsEndAtTheObservation) {
  for (const char* name : {"maxt", "mint"}) {
    const RunResult r = run({"-ba", "-va", name});
    ASSERT_EQ(r.status, 0) << r.err;
    const RunResult dump =
        run_program("/usr/bin/env", {"ncdump", "-v", "datim", dir_ + "/grids/2026031412_" + name + ".nc"});
    EXPECT_NE(dump.out.find("\"24 hour Analysis valid 12Z 14 MAR 26\""), std::string::npos) << dump.out;
    // The period's end hour in "time", its whole code (the maximum or minimum of 24 hours
    // ending there) in "time_code".
    const RunResult times =
        run_program("/usr/bin/env", {"ncdump", "-v", "time,time_code", dir_ + "/grids/2026031412_" + name + ".nc"});
    const std::string code = std::string(name) == "maxt" ? "6024024" : "7024024";
    EXPECT_NE(times.out.find(" time = 24 ;\n\n time_code = " + code + " ;"), std::string::npos) << times.out;
  }
}

}  // namespace
