#include "config/flag.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Flag, ResetSetAndRange) {
  FLAG_reset(-9999);
  EXPECT_EQ(FLAG_get(0), -9999);
  EXPECT_EQ(FLAG_get(29), -9999);
  EXPECT_EQ(FLAG_set(29, 7), 1);
  EXPECT_EQ(FLAG_get(29), 7);
  // Out of range: reads give 0, writes are refused.
  EXPECT_EQ(FLAG_get(30), 0);
  EXPECT_EQ(FLAG_getl(30), 0);
  EXPECT_EQ(FLAG_get(-1), 0);
  EXPECT_EQ(FLAG_set(30, 1), -1);
  EXPECT_EQ(FLAG_setl(-1, 1), -1);
  EXPECT_EQ(FLAG_get(29), 7);
  // 64-bit values; the int view saturates.
  const std::int64_t big = (std::int64_t{1} << 40) + 5;
  FLAG_setl(3, big);
  EXPECT_EQ(FLAG_getl(3), big);
  EXPECT_EQ(FLAG_get(3), INT32_MAX);
}

TEST(Flag, BatchAndHelp) {
  FLAG_reset(-9999);
  EXPECT_FALSE(FLAG_batch());
  EXPECT_FALSE(FLAG_help());
  FLAG_set_batch(1);
  EXPECT_TRUE(FLAG_batch());
  EXPECT_EQ(FLAG_get(19), 1);
  FLAG_set_batch(0);
  EXPECT_FALSE(FLAG_batch());
  FLAG_set(20, 1);
  EXPECT_TRUE(FLAG_help());
}

struct PlotCase {
  std::vector<std::pair<int, int>> sets;  // (index, value) applied in order after reset to 1
  std::vector<int> expect;                // all 13 entries
};

class PlotComponents : public ::testing::TestWithParam<PlotCase> {};

TEST_P(PlotComponents, SumsFollowEntries) {
  FLAG_resetplot(1);
  for (auto [i, v] : GetParam().sets) EXPECT_EQ(FLAG_setplot(i, v), 1);
  std::vector<int> got;
  for (int i = 0; i < FLAG_NUM_PLOT; ++i) got.push_back(FLAG_getplot(i));
  EXPECT_EQ(got, GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(
    Flag, PlotComponents,
    ::testing::Values(
        // One text position off: six-minus-one texts, sum over 0-11.
        PlotCase{{{3, 0}}, {5, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 15}},
        // Everything off, then the map on.
        PlotCase{{{12, 0}, {8, 1}}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},
        // Entry 0 switches all six text positions.
        PlotCase{{{0, 0}}, {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 5}},
        PlotCase{{{12, 0}, {0, 1}}, {6, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 12}},
        PlotCase{{{12, 1}}, {6, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 17}}));

TEST(Flag, PlotOutOfRangeAndReset) {
  FLAG_resetplot(1);
  EXPECT_EQ(FLAG_setplot(13, 0), -1);
  EXPECT_EQ(FLAG_setplot(-1, 0), -1);
  EXPECT_EQ(FLAG_getplot(13), 0);
  for (int i = 0; i < FLAG_NUM_PLOT; ++i) EXPECT_EQ(FLAG_getplot(i), 1);
  FLAG_resetplot(0);
  EXPECT_EQ(FLAG_getplot(12), 0);
}
