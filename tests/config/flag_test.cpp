#include "config/flag.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Flag, RangeWidthBatchAndHelp) {
  FLAG_reset(-9999);
  EXPECT_EQ(FLAG_get(29), -9999);
  EXPECT_FALSE(FLAG_batch() || FLAG_help());
  EXPECT_EQ(FLAG_set(29, 7), 1);
  // Out of range: reads give 0, writes are refused.
  EXPECT_EQ(FLAG_get(30) + FLAG_getl(30) + FLAG_get(-1), 0);
  EXPECT_EQ(FLAG_set(30, 1), -1);
  EXPECT_EQ(FLAG_setl(-1, 1), -1);
  EXPECT_EQ(FLAG_get(29), 7);
  const std::int64_t big = (std::int64_t{1} << 40) + 5;
  FLAG_setl(3, big);
  EXPECT_EQ(FLAG_getl(3), big);
  EXPECT_EQ(FLAG_get(3), INT32_MAX);  // the int view saturates
  FLAG_set_batch(1);
  EXPECT_TRUE(FLAG_batch());
  EXPECT_EQ(FLAG_get(19), 1);
  FLAG_set_batch(0);
  EXPECT_FALSE(FLAG_batch());
  FLAG_set(20, 1);
  EXPECT_TRUE(FLAG_help());
}

TEST(Flag, PlotComponentSums) {
  struct Case {
    std::vector<std::pair<int, int>> sets;  // applied in order after a reset to 1
    std::vector<int> expect;                // all 13 entries
  };
  const Case cases[] = {
      {{{3, 0}}, {5, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 15}},
      {{{12, 0}, {8, 1}}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},
      {{{0, 0}}, {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 5}},  // entry 0 switches the six texts
      {{{12, 0}, {0, 1}}, {6, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 12}},
  };
  for (const Case& c : cases) {
    FLAG_resetplot(1);
    for (auto [i, v] : c.sets) EXPECT_EQ(FLAG_setplot(i, v), 1);
    std::vector<int> got;
    for (int i = 0; i < FLAG_NUM_PLOT; ++i) got.push_back(FLAG_getplot(i));
    EXPECT_EQ(got, c.expect) << testing::PrintToString(c.sets);
  }
  FLAG_resetplot(1);
  EXPECT_EQ(FLAG_setplot(13, 0), -1);
  EXPECT_EQ(FLAG_setplot(-1, 0), -1);
  EXPECT_EQ(FLAG_getplot(13), 0);
  EXPECT_EQ(FLAG_getplot(12), 1);
}
