// Report files read into observations and one report kept per station and hour: the
// kinds of file, the rules of choosing, and the summary line a user reads. The files and
// checks are scripts of tests/surface/data/obs_read_cases.txt, one block a test.
#include "surface/obs_read.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/run.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_report.h"

namespace {

using surface_cases::num;
using surface_cases::Row;
using S = std::string;

DateRec hour(int year, int month, int day, int h) {
  DateRec d;
  DATE_init(&d);
  d.year = year, d.month = month, d.day = day, d.hour = h, d.minute = 0;
  return d;
}

S date(const DateRec& d) {
  return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day) + " " +
         std::to_string(d.hour) + ":" + std::to_string(d.minute);
}

class ObsRead : public ::testing::TestWithParam<S> {
 protected:
  std::map<S, surface_cases::Command> commands() {
    return {
        // A file's text, or "@name" of the case folder: the number of observations read.
        {"read", [this](const Row& r) {
           obs_ = ObsList{}, stats_ = ObsStats{};
           OBS_read_reports(r[1][0] == '@' ? read_file(S(STACONT_SOURCE_DIR) + "/tests/surface/data/" + r[1].substr(1)) : r[1],
                            &obs_, &stats_);
           return std::to_string(obs_.size());
         }},
        {"ids", [this](const Row&) {
           S s;
           for (const sfc_report& o : obs_.reports) s += o.id + S(" ");
           return s;
         }},
        // A value of observation k: a number field of its report, or ncld, corrected, time.
        {"obs", [this](const Row& r) {
           const ObsRec& o = obs_.at(static_cast<std::size_t>(num(r[1])));
           if (const float* v = surface_report::value(o.r, r[2])) return surface_report::num(*v);
           if (r[2] == "time") {
             DateRec d;
             DATE_get_gmdate(&o.secs, &d);
             return date(d);
           }
           return std::to_string(r[2] == "ncld" ? o.r.ncld : o.corrected);
         }},
        {"stats", [this](const Row&) {
           return "nil " + std::to_string(stats_.nil) + ", stations " + std::to_string(stats_.stations) + ", skipped " +
                  std::to_string(stats_.skipped) + ", specials " + std::to_string(stats_.specials) + ", corrections " +
                  std::to_string(stats_.corrections) + ", duplicates " + std::to_string(stats_.duplicates) +
                  ", chosen " + std::to_string(stats_.chosen);
         }},
        // The reports kept for an hour, as id:wind speed.
        {"choose", [this](const Row& r) {
           S s;
           for (const sfc_report& k : OBS_choose(obs_, hour(num(r[1]), num(r[2]), num(r[3]), num(r[4])), &stats_))
             s += k.id + (":" + surface_report::num(k.wspd)) + " ";
           return s;
         }},
        {"file_hour", [this](const Row& r) {
           DateRec found;
           return OBS_file_hour(obs_, num(r[1]), num(r[2]), &found) == 1 ? date(found) : "none";
         }},
        // A file of that name and text read as the plot loop reads it (form, as SFC_open
        // tells): the hour it is for and the number of reports kept.
        {"read_file", [](const Row& r) {
           static const S dir = make_temp_dir("obs_read");
           write_file(dir + "/" + r[1], r[2]);
           std::vector<sfc_report> kept;
           DateRec d;
           testing::internal::CaptureStdout();
           const bool ok = OBS_read_file(r[1].c_str(), (dir + "/" + r[1]).c_str(), num(r[3]), &kept, &d);
           testing::internal::GetCapturedStdout();
           return (ok ? date(d) : "refused") + (", kept " + std::to_string(kept.size()));
         }}};
  }
  ObsList obs_;
  ObsStats stats_;
};

TEST_P(ObsRead, Script) { surface_cases::run_script("obs_read_cases.txt", GetParam(), commands()); }

INSTANTIATE_TEST_SUITE_P(Blocks, ObsRead, ::testing::Values("collection", "hourly", "choosing", "month_before", "file_hour"),
                         [](const auto& info) { return info.param; });

// The summary a forecaster reads, one line a file.
TEST(ObsSummary, Line) {
  ObsStats s;
  s.lines = 18462, s.stations = 5183, s.chosen = 1987, s.specials = 3, s.duplicates = 412, s.corrections = 9;
  s.nil = 558, s.skipped = 20, s.not_in_db = 23, s.bad_groups = 37;
  s.bad_names = {{"RFnn.n/nnn.n", 20}, {"Mnn/Mnn", 2}, {"TCU", 9}, {"E", 6}};
  EXPECT_EQ(OBS_summary("metar_20190701_1200.txt", hour(2019, 7, 1, 12), s),
            "metar_20190701_1200.txt: 18462 report lines, 5183 stations, 1987 reports for 12 UTC (3 special); "
            "412 duplicates, 9 corrections, 558 NIL, 20 lines of other text skipped; 23 not in the database; "
            "groups not understood: 37 (most common: RFnn.n/nnn.n x20, TCU x9, E x6)");
}

}  // namespace
