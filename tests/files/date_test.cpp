// The second counts and day numbers against the C library over their whole range; the
// other cases of the module are scripts of tests/data/files/calls.txt.
#include "files/date.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <ctime>

namespace {

DateRec mk(int y, int mo, int d, int h = -9999, int mi = -9999, int s = 0) {
  return DateRec{y, mo, d, -9999, -9999, h, mi, s};
}

class DateTest : public ::testing::Test {
 protected:
  void SetUp() override { DATE_set_TZ(nullptr); }
  void TearDown() override { DATE_set_TZ(nullptr); }
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

TEST_F(DateTest, DayNumbersRoundTrip) {
  for (int n = DATE_date_days(1901, 1, 1); n <= DATE_date_days(2099, 12, 31); ++n) {
    int y, m, d, j, m2, d2;
    ASSERT_EQ(DATE_days_date(n, &y, &m, &d), 1);
    ASSERT_EQ(DATE_date_days(y, m, d), n) << y << "-" << m << "-" << d;
    ASSERT_EQ(DATE_monday_julian(y, m, d, &j), 1);
    ASSERT_EQ(DATE_julian_monday(y, j, &m2, &d2), 1);
    ASSERT_EQ(m2 * 100 + d2, m * 100 + d);
  }
}

}  // namespace
