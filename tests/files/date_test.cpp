#include "files/date.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>

#include "tests/support/config_table.h"

namespace {

DateRec mk(int y, int mo, int d, int h = -9999, int mi = -9999, int s = 0) {
  return DateRec{y, mo, d, -9999, -9999, h, mi, s};
}

class DateTest : public ::testing::Test {
 protected:
  void SetUp() override { DATE_set_TZ(nullptr); }
  void TearDown() override { DATE_set_TZ(nullptr); }
  static std::string label(DateRec d) {
    char buf[DATE_LABEL_LEN];
    EXPECT_EQ(DATE_make_label(&d, buf), 0);
    return buf;
  }
};

// The package's second count must agree with the C library for every hour that a signed
// 32-bit count can hold (the every-fourth-year rule is exact from 1901 to 2099).
TEST_F(DateTest, NumSecAndGmdateAgreeWithCLibraryForEveryHourOf32BitRange) {
  long long checked = 0;
  for (long long t = (static_cast<long long>(INT32_MIN) / 3600) * 3600; t <= INT32_MAX; t += 3600) {
    // Exact hours and, within each hour, a moving minute and second.
    for (long long v : {t, t + (t / 3600 * 677) % 3600}) {
      if (v > INT32_MAX || v < INT32_MIN) continue;
      time_t tt = static_cast<time_t>(v);
      struct tm g {};
      ASSERT_NE(gmtime_r(&tt, &g), nullptr);
      DateRec d = mk(g.tm_year + 1900, g.tm_mon + 1, g.tm_mday, g.tm_hour, g.tm_min, g.tm_sec);
      ASSERT_EQ(DATE_num_sec(&d), v) << g.tm_year + 1900 << "-" << g.tm_mon + 1 << "-" << g.tm_mday;
      ASSERT_EQ(DATE_num_sec_tm(&g), v);
      const int s32 = static_cast<int>(v);
      DateRec b;
      ASSERT_EQ(DATE_get_gmdate(&s32, &b), 1);
      ASSERT_EQ((std::array{b.year, b.month, b.day, b.julian, b.wday, b.hour, b.minute, b.second}),
                (std::array{g.tm_year + 1900, g.tm_mon + 1, g.tm_mday, g.tm_yday + 1, g.tm_wday, g.tm_hour,
                            g.tm_min, g.tm_sec}));
      ++checked;
    }
  }
  EXPECT_GT(checked, 2 * 1193000LL - 10);
}

// Known values are those of the every-hour comparison above.
TEST_F(DateTest, NumSecNormalisation) {
  for (auto [in, out] : {std::pair{98, 1998}, {49, 2049}, {50, 1950}, {5, 2005}, {105, 2005}, {-3, 1980}}) {
    DateRec d = mk(in, 6, 1, 0, 0);
    DATE_num_sec(&d);
    EXPECT_EQ(d.year, out) << in;
  }
  DateRec d{1999, 13, 32, -9999, -9999, 24, 60, 60};
  EXPECT_EQ(DATE_num_sec(&d), DATE_num_sec(DATE_to_struct(1999, 1, 1, 0, 0)));
  EXPECT_EQ(d.month * 100 + d.day, 101);
  // A date without hour is its 00 UTC, not a day more than a year off.
  DateRec nohour = mk(1998, 1, 5);
  EXPECT_EQ(DATE_num_sec(&nohour), 883612800 + 4 * 86400);
}

TEST_F(DateTest, DayNumbersRoundTrip) {
  EXPECT_EQ(DATE_date_days(1970, 1, 1), 1);
  for (int n = DATE_date_days(1901, 1, 1); n <= DATE_date_days(2099, 12, 31); ++n) {
    int y, m, d, j, m2, d2;
    ASSERT_EQ(DATE_days_date(n, &y, &m, &d), 1);
    ASSERT_EQ(DATE_date_days(y, m, d), n) << y << "-" << m << "-" << d;
    ASSERT_EQ(DATE_monday_julian(y, m, d, &j), 1);
    ASSERT_EQ(DATE_julian_monday(y, j, &m2, &d2), 1);
    ASSERT_EQ(m2 * 100 + d2, m * 100 + d);
  }
  int m, d;
  EXPECT_EQ(DATE_julian_monday(1999, 366, &m, &d), 0);  // no day 366 in a common year
  EXPECT_EQ(DATE_is_leap(2000) * 100 + DATE_is_leap(1900) * 10 + DATE_is_leap(2024), 101);
}

TEST_F(DateTest, MonthWords) {
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(DATE_decode_month(DATE_month(m)), m) << m;
  EXPECT_EQ(std::string(DATE_month(2)) + DATE_month_lower(12) + DATE_month_long(9) + DATE_month(13), "FEBdecSeptember");
  for (const char* bad : {"Jan", "J", "", "12"}) EXPECT_EQ(DATE_decode_month(bad), 0) << bad;
  EXPECT_EQ(DATE_decode_month("dec") * 100 + DATE_decode_month(nullptr), 1200);
}

TEST_F(DateTest, SequenceText) {
  char seq[DATE_SEQ_LEN], bad_seq[DATE_SEQ_LEN];
  DateRec d = mk(1998, 1, 5, 12, 30), bad{-1, 0, 40, -9999, -9999, 25, 77, 0}, back;
  DATE_make_seq(&d, seq);
  DATE_make_seq(&bad, bad_seq);
  EXPECT_EQ(std::string(seq) + " " + bad_seq, "199801051230 198001010000");
  EXPECT_EQ(DATE_decode_seq(seq, &back), 5);
  EXPECT_EQ(DATE_num_sec(&back), DATE_num_sec(&d));
  EXPECT_EQ(DATE_decode_seq("19980105", &back), 3);
  EXPECT_EQ(back.hour, -9999);
}

// Both clocks and zones as set from zavtz: the zone text, the date and the label.
TEST_F(DateTest, Labels) {
  for (const TableRow& row : read_table("files/date.tsv", "labels")) {
    ASSERT_EQ(DATE_set_TZ(row[0].c_str()), 1) << row.where;
    EXPECT_EQ(label(mk(row.num(1), row.num(2), row.num(3), row.num(4), row.num(5))), row[6]) << row.where;
  }
}

// Malformed zones are refused and leave the zone as it was.
TEST_F(DateTest, TimeZoneText) {
  EXPECT_EQ(DATE_set_TZ("-EST:-5"), 1);
  for (const char* bad : {"TOOLONG:-5", "EST:abc", "EST:99", "+"}) EXPECT_EQ(DATE_set_TZ(bad), 0) << bad;
  EXPECT_EQ(std::pair(std::string(DATE_get_tz_str()), DATE_get_tz_off()), std::pair(std::string(" EST"), -18000));
  DATE_set_TZ(nullptr);
  EXPECT_STREQ(DATE_get_tz_str(), "Z");
}

TEST_F(DateTest, ForecastHourTexts) {
  for (const TableRow& row : read_table("files/date.tsv", "fhour")) {
    char buf[DATE_LABEL_LEN] = "junk";
    DATE_fhour_label(buf, row.num(0), row.num(1));
    EXPECT_EQ(buf, row[2]) << row.where;
  }
}

// Forecast, grid-file and valid-time labels. Base date 1998-01-05 (a Monday).
TEST_F(DateTest, ForecastLabels) {
  const DateRec h00 = mk(1998, 1, 5, 0), h12 = mk(1998, 1, 5, 12), nohour = mk(1998, 1, 5);
  const int base = 883612800 + 4 * 86400;
  for (const TableRow& row : read_table("files/date.tsv", "forecast")) {
    DATE_set_TZ(row[0].c_str());
    const DateRec* date = row[4] == "h00" ? &h00 : row[4] == "h12" ? &h12 : row[4] == "nohour" ? &nohour : nullptr;
    char buf[DATE_LABEL_LEN];
    const int rc = row[1] == "m"   ? DATE_make_label_for_time_mod(row.num(2), row.text(3), date, buf)
                   : row[1] == "f" ? DATE_make_label_for(row.num(2), -9999, date ? &base : nullptr, buf)
                                   : DATE_make_label_valid_time(row.num(2), date, buf);
    EXPECT_EQ(rc, date ? 0 : -1) << row.where;
    EXPECT_EQ(buf, row[5]) << row.where;
  }
  // Model names come from the registered lookup; a number it does not name gives none,
  // and so does every number without a lookup.
  char buf[DATE_LABEL_LEN];
  DATE_set_model_lookup([](int model) { return model == 1 ? "Objective analysis" : ""; });
  DATE_make_label_for_time(12, 1, &h00, buf);
  EXPECT_STREQ(buf, "12 hour Objective analysis valid 12Z MON  5 JAN 98");
  DATE_make_label_for_time(12, 31999, &h00, buf);
  EXPECT_STREQ(buf, "12 hour valid 12Z MON  5 JAN 98");
  DATE_set_model_lookup(nullptr);
  DATE_make_label_for_time(12, 1, &h00, buf);
  EXPECT_STREQ(buf, "12 hour valid 12Z MON  5 JAN 98");
  EXPECT_EQ(DATE_make_label(nullptr, buf), -1);
}

// Labels for a field of limited width leave out what loses least: the model's name, then
// the weekday, and are cut only after that.
TEST_F(DateTest, LabelsFitTheirField) {
  DATE_set_model_lookup([](int model) { return model == 1 ? "Objective analysis" : ""; });
  const DateRec h12 = mk(2026, 3, 14, 12);
  for (const TableRow& row : read_table("files/date.tsv", "fit")) {
    char buf[DATE_LABEL_LEN];
    DATE_make_label_for_time_len(row.num(0), 1, &h12, buf, row.num(1));
    EXPECT_EQ(buf, row[2]) << row.where;
  }
  DATE_set_model_lookup(nullptr);
}

TEST_F(DateTest, FormatLabel) {
  char buf[DATE_LABEL_LEN];
  DateRec d = mk(1998, 1, 5, 12, 30), nohour = mk(1998, 1, 5);
  DATE_format_label(buf, "%y%m%d/%h%n %M %F (%f) %x %q 100%", 36, "SFC", &d);
  EXPECT_STREQ(buf, "980105/1230 JAN 36 hour (36) SFC q 100");
  DATE_format_label(buf, "[%h%n] %F", 36, nullptr, &nohour);
  EXPECT_STREQ(buf, "[] 1.5 day");
  const std::string big(1000, 'x');  // cut, never overrun
  DATE_format_label(buf, big.c_str(), 0, nullptr, &d);
  EXPECT_EQ(std::string(buf), big.substr(0, DATE_LABEL_LEN - 1));
}

TEST_F(DateTest, DecodeLabel) {
  for (const TableRow& row : read_table("files/date.tsv", "decode")) {
    DateRec d;
    EXPECT_GT(DATE_decode_label(row[0].c_str(), &d), 0) << row.where;
    EXPECT_EQ((std::array{d.year, d.month, d.day, d.hour, d.minute, d.second}),
              (std::array{row.num(1), row.num(2), row.num(3), row.num(4), row.num(5), row.num(6)})) << row.where;
  }
  DateRec d;
  for (const char* bad : {"1230Z  5 Jan 98", "", "garbage"}) EXPECT_EQ(DATE_decode_label(bad, &d), 0) << bad;
  EXPECT_EQ(d.year, -9999);
  // Labels made by this module decode back to the same date.
  DateRec in = mk(2010, 7, 4, 18, 45);
  char buf[DATE_LABEL_LEN];
  DATE_make_label(&in, buf);
  ASSERT_GT(DATE_decode_label(buf, &d), 0);
  EXPECT_EQ(DATE_num_sec(&d), DATE_num_sec(&in));
  EXPECT_EQ(d.wday * 1000 + d.julian, 185);
}

TEST_F(DateTest, CurrentTimeTextsAndDecodingWindow) {
  char buf[64];
  EXPECT_EQ(std::string(DATE_get_current_str(buf)).size(), 20u);  // "YY MON DD  HH:MM:SSZ"
  DateRec cur;
  DATE_get_current_gmdate(&cur);
  EXPECT_NEAR(DATE_num_sec(&cur), DATE_get_time(nullptr), 5);

  DateRec want = mk(1998, 1, 5, 0, 0);
  DATE_set_range_date(&want);
  DATE_set_range(-15, 10);
  // Ten and fifteen minutes before midnight belong to the wanted (next) day.
  for (auto [hhmm, ok] : {std::pair{2350, 1}, {2345, 1}, {2344, 0}, {10, 1}, {11, 0}, {1200, 0}})
    EXPECT_EQ(DATE_chk_range(hhmm), ok) << hhmm;
}

}  // namespace
