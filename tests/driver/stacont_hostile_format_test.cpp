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
#include "tests/support/driver_runs.h"
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

// Contour labels and printed grid values, and a station plot's value: the page is the one
// drawn without the format.
TEST_F(HostileFormat, RefusedFormatsDrawAsTheDefault) {
  for (const auto& c : read_tsv("hostile_format.tsv")) {
    const std::string what = c.at("hostile");
    const std::string plain = dir_ + "/plain.ps", ps = dir_ + "/bad.ps";
    const RunResult p = run(split_words(c.at("plain")), plain);
    ASSERT_EQ(p.status, 0) << p.err;
    const auto start = std::chrono::steady_clock::now();
    const RunResult r = run(split_words(c.at("hostile")), ps);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, 0) << what;
    EXPECT_EQ(r.err, c.at("message")) << what;
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
