// Hostile number formats and contour intervals given to the real program: each run ends at
// once with status 0 and one message naming what was refused, and the page is drawn with
// the default format or the automatic interval.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/plot/cont_texts.h"
#include "tests/support/program.h"

namespace {

const std::string kData = STACONT_DATA_DIR;

class HostileFormat : public ProgramTest {
 protected:
  RunResult run(const std::vector<std::string>& extra, const std::string& ps) {
    std::vector<std::string> args = {"-ba", "-fp", kData, "-if",  "sfc_sample", "-cu",    "#2026031415",
                                     "-pd", "us",  "-of", "none", "-de",        "p," + ps};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_stacont(args, "", env_, dir_, 60);
  }
  static std::vector<std::string> texts(const std::string& ps) {
    std::vector<std::string> out;
    for (const PsText& t : ps_texts(ps)) out.push_back(t.s);
    return out;
  }
};

std::string cont_format(const std::string& item, const std::string& format) {
  return "CONT_format_decode_type: Bad number format \"" + item + "\" in \"" + format +
         "\": one floating-point conversion such as %.1f expected, default format used\n";
}

// Contour labels and printed grid values, and a station plot's value: the page is the one
// drawn without the format.
TEST_F(HostileFormat, RefusedFormatsDrawAsTheDefault) {
  using Args = std::vector<std::string>;
  const struct {
    Args plain, hostile;
    std::string message;
  } cases[] = {
      {{"-va", "temp", "-fm", "ln"}, {"-va", "temp", "-fm", "ln:%n%n%n"}, cont_format("%n%n%n", "ln:%n%n%n")},
      {{"-va", "temp", "-fm", "ln"}, {"-va", "temp", "-fm", "ln:%n"}, cont_format("%n", "ln:%n")},
      {{"-va", "temp", "-fm", "value"}, {"-va", "temp", "-fm", "value:%s%s%s"}, cont_format("%s%s%s", "value:%s%s%s")},
      {{"-va", "temp", "-fm", "value"}, {"-va", "temp", "-fm", "value:%*d"}, cont_format("%*d", "value:%*d")},
      {{"-va", "temp", "-fm", "value"},
       {"-va", "temp", "-fm", "value:%999999999f"},
       cont_format("%999999999f", "value:%999999999f")},
      // A station plot takes its format from the variable.
      {{"-va", "temp[F:value]"},
       {"-va", "temp[F:value:%n%n%n]"},
       "RAW_parse_format: Bad field: %n%n%n: one number conversion such as %.1f or %d expected\n"},
  };
  for (const auto& c : cases) {
    const std::string what = c.hostile[1] + " " + c.hostile.back();
    const std::string plain = dir_ + "/plain.ps", ps = dir_ + "/bad.ps";
    const RunResult p = run(c.plain, plain);
    ASSERT_EQ(p.status, 0) << p.err;
    const auto start = std::chrono::steady_clock::now();
    const RunResult r = run(c.hostile, ps);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, 0) << what;
    EXPECT_EQ(r.err, c.message) << what;
    EXPECT_LT(seconds, 20.0) << what;
    const std::vector<std::string> got = texts(ps);
    EXPECT_GT(got.size(), 20U) << what;
    EXPECT_EQ(got, texts(plain)) << what;
  }
}

// An interval of more than 1000 levels over the field gives way to the automatic one: the
// lines and the interval label of the page without an interval.
TEST_F(HostileFormat, IntervalOfTooManyLevelsGivesWayToTheAutomaticOne) {
  const std::string plain = dir_ + "/plain.ps", ps = dir_ + "/tiny.ps";
  const RunResult p = run({"-va", "temp", "-fm", "ln"}, plain);
  ASSERT_EQ(p.status, 0) << p.err;
  const RunResult r = run({"-va", "temp", "-fm", "ln:in=1e-30"}, ps);
  EXPECT_EQ(r.status, 0);
  const std::string head = "CONT_set_cont_ext: Contour interval 1e-30 gives more than 1000 levels from ",
                    tail = ": automatic interval used\n";
  ASSERT_GT(r.err.size(), head.size() + tail.size()) << r.err;
  EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
  EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  const std::vector<std::string> got = texts(ps);
  EXPECT_EQ(got, texts(plain));
  const auto interval =
      std::find_if(got.begin(), got.end(), [](const std::string& s) { return s.rfind("INTERVAL: ", 0) == 0; });
  ASSERT_NE(interval, got.end());
  EXPECT_NE(*interval, "INTERVAL: 0.0");
}

// A grid value format that would spin on its width: the grid is written in the default
// format, at once.
TEST_F(HostileFormat, GridValueFormatRefused) {
  const std::string grid = dir_ + "/t.grd";
  const auto start = std::chrono::steady_clock::now();
  const RunResult r =
      run_stacont({"-ba", "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031415", "-pd", "us", "-va", "temp", "-pp",
                   "grdfmt=%999999999f", "-of", "zav:@" + grid, "-de", "p," + dir_ + "/g.ps"},
                  "", env_, dir_, 60);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "GRD_set_format: Invalid grid value format: %999999999f\n");
  std::istringstream in(read_file(grid));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GT(lines.size(), 100U);
  EXPECT_TRUE(std::regex_match(lines.back(), std::regex(" *-?[0-9][.][0-9]{8}e[+-][0-9]{2}"))) << lines.back();
}

}  // namespace
