// The program's command line end to end: help, banner and missing inputs as a table of
// runs, and hostile command lines that must neither crash nor hang.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/driver_runs.h"
#include "tests/support/run.h"

namespace {

const std::string banner = "      SURFACE DATA CONTOURING (Ver 5.60-LINUX-X11)\n\n";

class Stacont : public ::testing::TestWithParam<RunCase> {};
TEST_P(Stacont, EndsAsTheTableSays) { check_run(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Runs, Stacont, ::testing::ValuesIn(read_runs("stacont.runs")), run_case_name);

// Runs the program with no zav* variables of the caller and no resource files.
RunResult run(const std::vector<std::string>& args) {
  const std::string dir = make_temp_dir("stacont");
  return run_stacont(args, "", clean_env(dir), dir, 120);
}

using Args = std::vector<std::string>;

// Hostile command lines neither crash nor hang, and with help the listing comes out
// unchanged.
TEST(StacontCommandLine, HostileCommandLines) {
  const std::string help_listing = read_file(driver_data("help.txt"));
  for (const auto& row : read_tsv("command_lines.tsv")) {
    SCOPED_TRACE(row.at("label"));
    Args args = table_words(row.at("args"), "");
    args.insert(args.end(), {"-if", "front"});
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 500);
    EXPECT_EQ(r.out, banner);
    args.push_back("-h");
    r = run(args);
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 500);
    EXPECT_EQ(r.out, help_listing);
  }
}

}  // namespace
