// Report files read into observations and one report kept per station and hour: the
// kinds of file, the rules of choosing, and the summary line a user reads.
#include "surface/obs_read.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/missing.h"
#include "tests/support/run.h"

namespace {

struct Read {
  std::vector<ObsRec> obs;
  ObsStats stats;
};

Read read(const std::string& text) {
  Read r;
  OBS_read_reports(text, &r.obs, &r.stats);
  return r;
}

DateRec hour(int year, int month, int day, int h) {
  DateRec d;
  DATE_init(&d);
  d.year = year, d.month = month, d.day = day, d.hour = h, d.minute = 0;
  return d;
}

std::vector<std::string> ids(const std::vector<sfc_report>& reports) {
  std::vector<std::string> out;
  for (const sfc_report& r : reports) out.emplace_back(r.id);
  return out;
}

// A collection as a feed sends it (tests/surface/data/obs_collection.txt): SOH/ETX framing, sequence numbers, headings with their
// indicators, blank lines between lines, CR CR LF ends, continuation lines with and
// without their indent, a report running into the next, other bulletins and SA lines.
const std::string kCollection = read_file(std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/obs_collection.txt");

TEST(ObsRead, CollectionGivesEveryReportWithItsKindAndBulletin) {
  const Read r = read(kCollection);
  ASSERT_EQ(r.obs.size(), 6u);
  EXPECT_EQ(ids({r.obs[0].r, r.obs[1].r, r.obs[2].r, r.obs[3].r, r.obs[4].r, r.obs[5].r}),
            (std::vector<std::string>{"KAAA", "KBBB", "KCCC", "KDDD", "KEEE", "KBBB"}));
  EXPECT_NEAR(r.obs[1].r.temp, 71.96, 0.01);  // the continuation's T-group: 22.2 C
  EXPECT_EQ(r.obs[3].r.ncld, 1);              // KEEE's layer is KEEE's
  EXPECT_NEAR(r.obs[4].r.wspd, 10, 1e-6);
  EXPECT_EQ(r.obs[5].corrected, 1);  // from a corrected bulletin
  EXPECT_EQ(r.obs[0].corrected, 0);
  EXPECT_EQ(r.stats.nil, 1);
  EXPECT_EQ(r.stats.stations, 5);
  // The TAF bulletin and the SA line (heading lines included) are other text.
  EXPECT_GE(r.stats.skipped, 2);
}

// The hourly files of a feed: a date line before each report, which dates it.
TEST(ObsRead, HourlyFileDatesItsReports) {
  const Read r = read("2019/07/01 11:56\nKAAA 011156Z 00000KT 10SM CLR 21/20 A3005\n\n"
                      "2019/06/30 23:55\nKBBB 302355Z 00000KT 10SM CLR 21/20 A3005\n");
  ASSERT_EQ(r.obs.size(), 2u);
  DateRec d = hour(2019, 7, 1, 11);
  d.minute = 56;
  EXPECT_EQ(r.obs[0].secs, DATE_num_sec(&d));
  DateRec june = hour(2019, 6, 30, 23);
  june.minute = 55;
  EXPECT_EQ(r.obs[1].secs, DATE_num_sec(&june));
}

// The routine report nearest the hour, within the hour before it and ten minutes after;
// a special one only where no routine one exists; a correction in place of the report it
// corrects; identical repeats once.
TEST(ObsRead, OneReportPerStationAndHour) {
  const Read r = read(
      "KAAA 011055Z 10001KT 10SM CLR 20/10 A3000\n"   // 65 minutes before: too early
      "KAAA 011151Z 10002KT 10SM CLR 20/10 A3000\n"   // 9 minutes before
      "KAAA 011210Z 10003KT 10SM CLR 20/10 A3000\n"   // 10 minutes after: no nearer
      "KBBB 011211Z 10004KT 10SM CLR 20/10 A3000\n"   // 11 minutes after: too late
      "SPECI KBBB 011205Z 10005KT 10SM CLR 20/10 A3000\n"
      "KCCC 011153Z 10006KT 10SM CLR 20/10 A3000\n"
      "SPECI KCCC 011200Z 10007KT 10SM CLR 20/10 A3000\n"  // a routine report exists
      "KDDD 011153Z 10008KT 10SM CLR 20/10 A3000\n"
      "KDDD 011153Z COR 10009KT 10SM CLR 20/10 A3000\n"
      "KDDD 011153Z 10008KT 10SM CLR 20/10 A3000\n"      // the uncorrected one again
      "KEEE 011153Z 10010KT 10SM CLR 20/10 A3000\n"
      "KEEE 011153Z 10010KT   10SM CLR 20/10 A3000=\n");  // an identical repeat
  ObsStats stats = r.stats;
  const std::vector<sfc_report> kept = OBS_choose(r.obs, hour(2019, 7, 1, 12), &stats);
  ASSERT_EQ(ids(kept), (std::vector<std::string>{"KAAA", "KBBB", "KCCC", "KDDD", "KEEE"}));
  const float want[] = {2, 5, 6, 9, 10};
  for (std::size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(kept[k].wspd, want[k]) << kept[k].id;
  EXPECT_EQ(stats.specials, 1);
  EXPECT_EQ(stats.corrections, 1);
  EXPECT_EQ(stats.duplicates, 2);
  EXPECT_EQ(stats.chosen, 5);
}

// Reports that carry only their day are dated in the month of the hour asked for, or the
// one before for the last days: 30 June 23:55 counts for 1 July 00 UTC.
TEST(ObsRead, DayOfTheMonthBeforeCountsForTheFirst) {
  const Read r = read("KAAA 302355Z 00000KT 10SM CLR 21/20 A3005\nKBBB 010000Z 00000KT 10SM CLR 21/20 A3005\n");
  EXPECT_EQ(OBS_choose(r.obs, hour(2019, 7, 1, 0), nullptr).size(), 2u);
  DateRec found;
  ASSERT_EQ(OBS_file_hour(r.obs, 2019, 7, &found), 1);
  EXPECT_EQ(found.month, 7);
  EXPECT_EQ(found.day, 1);
  EXPECT_EQ(found.hour, 0);
}

// Without a date from elsewhere, a file is for its latest well-reported hour: the stray
// reports of a later hour do not make it that hour's.
TEST(ObsRead, FileHourIsTheLatestWellReportedHour) {
  std::string text;
  for (int k = 0; k < 6; ++k) text += "K" + std::string(3, static_cast<char>('A' + k)) + " 011053Z 00000KT 10SM CLR 21/20 A3005\n";
  for (int k = 0; k < 4; ++k) text += "K" + std::string(3, static_cast<char>('A' + k)) + " 011153Z 00000KT 10SM CLR 21/20 A3005\n";
  text += "KAAA 011253Z 00000KT 10SM CLR 21/20 A3005\n";
  DateRec found;
  ASSERT_EQ(OBS_file_hour(read(text).obs, MISSING_INT, MISSING_INT, &found), 1);
  EXPECT_EQ(found.day, 1);
  EXPECT_EQ(found.hour, 12);  // 4 reports: at least half the 6 of 11 UTC; 13 UTC has one
  EXPECT_EQ(found.year, MISSING_INT);
}

// The summary a forecaster reads, one line a file.
TEST(ObsRead, SummaryLine) {
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
