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
  const std::string big(100 * 1024, 'x');  // one argument may hold at most 128 KiB on Linux
  const std::string half(60 * 1024, 'x');
  std::string draw, defaults;
  for (int i = 0; i < 5000; ++i) draw += i % 2 ? "+map," : "-text_ul,";
  for (int i = 0; i < 3000; ++i) defaults += "+t" + std::to_string(i) + ":/nonexistent" + std::to_string(i) + ":";
  Args positional, unknown;
  for (int i = 0; i < 10000; ++i) positional.push_back("file" + std::to_string(i));
  for (int i = 0; i < 5000; ++i) unknown.push_back("-opt" + std::to_string(i) + "=" + std::to_string(i));
  const std::vector<std::pair<const char*, Args>> t = {
      {"dashes and equals", {"-", "--", "=", "-=", "--=x", "---", "-0"}},
      {"big name", {"-" + big}},
      {"big name and value", {"-" + half + "=" + half}},
      {"big texts", {"-va=" + big, "-la", big, "-ti", big, "-fm", big}},
      {"big hour", {"-ho", big}},
      {"huge hour number", {"-ho", std::string(50000, '9')}},
      {"long hour date", {"-ho", "#" + std::string(5000, '1')}},
      {"big draw", {"-dr", big}},
      {"many draw words", {"-dr", draw}},
      {"big plot type and device", {"-pl", big, "-de", "p," + big}},
      {"big file parameter", {"-pf", big}},
      {"big defaults list", {"-df", big}},
      {"many defaults entries", {"-df", defaults}},
      {"big loop window", {"-df", "#" + big}},
      {"big program name", {"-na", big}},
      {"big negative number", {"-sc", "-" + big}},
      {"many positional", positional},
      {"many unknown options", unknown},
  };
  for (const auto& [label, hostile] : t) {
    Args args = hostile;
    args.insert(args.end(), {"-if", "front"});
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << label << ": " << r.err.substr(0, 500);
    EXPECT_EQ(r.out, banner) << label;
    args.push_back("-h");
    r = run(args);
    EXPECT_EQ(r.status, 0) << label << ": " << r.err.substr(0, 500);
    EXPECT_EQ(r.out, help_listing) << label;
  }
}

}  // namespace
