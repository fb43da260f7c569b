// Hostile number formats and contour intervals given to the real program: each run ends at
// once with status 0 and one message naming what was refused, and the page is drawn with
// the default format or the automatic interval.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/plot/cont_texts.h"
#include "tests/support/driver_runs.h"
#include "tests/support/program.h"

namespace {


class HostileFormat : public ProgramTest {
 protected:
  RunResult run(std::vector<std::string> extra, const std::string& ps) {
    extra.insert(extra.begin(), {"-of", "none", "-de", "p," + ps});
    return run_stacont(sample_args("2026031415", "us", extra), "", env_, dir_, 60);
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
    const RunResult p = run(words(c.at("plain")), plain);
    ASSERT_EQ(p.status, 0) << p.err;
    const auto start = std::chrono::steady_clock::now();
    const RunResult r = run(words(c.at("hostile")), ps);
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

STACONT_RUNS_TABLE(HostileFormatRuns, "hostile_format.runs");

}  // namespace
