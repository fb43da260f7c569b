#include "config/flag.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Flag, RangeWidthBatchAndHelp) {
  FLAG_reset(-9999);
  EXPECT_TRUE(FLAG_get(29) == -9999 && !FLAG_batch() && !FLAG_help());
  EXPECT_EQ(FLAG_set(29, 7), 1);
  EXPECT_EQ(FLAG_get(30) + FLAG_getl(30) + FLAG_get(-1), 0);  // out of range: reads give 0,
  EXPECT_EQ(FLAG_set(30, 1) + FLAG_setl(-1, 1), -2);          // writes are refused
  EXPECT_EQ(FLAG_get(29), 7);
  FLAG_setl(3, (std::int64_t{1} << 40) + 5);
  EXPECT_EQ(FLAG_getl(3), (std::int64_t{1} << 40) + 5);
  EXPECT_EQ(FLAG_get(3), INT32_MAX);  // the int view saturates
  FLAG_set_batch(1);
  EXPECT_TRUE(FLAG_batch() && FLAG_get(19) == 1);
  FLAG_set_batch(0);
  FLAG_set(20, 1);
  EXPECT_TRUE(!FLAG_batch() && FLAG_help());
}

TEST(Flag, PlotComponentSums) {
  const std::pair<std::vector<std::pair<int, int>>, std::vector<int>> cases[] = {  // sets after a reset to 1
      {{{3, 0}}, {5, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 15}},
      {{{12, 0}, {8, 1}}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},
      {{{0, 0}}, {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 5}},  // entry 0 switches the six texts
      {{{12, 0}, {0, 1}}, {6, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 12}}};
  for (const auto& [sets, expect] : cases) {
    FLAG_resetplot(1);
    for (auto [i, v] : sets) EXPECT_EQ(FLAG_setplot(i, v), 1);
    std::vector<int> got;
    for (int i = 0; i < FLAG_NUM_PLOT; ++i) got.push_back(FLAG_getplot(i));
    EXPECT_EQ(got, expect) << testing::PrintToString(sets);
  }
  FLAG_resetplot(1);
  EXPECT_EQ(FLAG_setplot(13, 0) + FLAG_setplot(-1, 0), -2);
  EXPECT_TRUE(FLAG_getplot(13) == 0 && FLAG_getplot(12) == 1);
}
