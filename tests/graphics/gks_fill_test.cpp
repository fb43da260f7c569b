#include "graphics/gks_fill.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/graphics_cases.h"

namespace {

using Fill = GksTest;

// The 20 patterns: every name of each, and its rows from the top.
TEST_F(Fill, PatternsByNameAndRows) {
  const std::vector<std::string> t = graphics_cases("fill_patterns.txt").front().all("pattern");
  ASSERT_EQ(t.size(), static_cast<std::size_t>(GKS_NUM_PATTERNS));
  for (int i = 0; i < GKS_NUM_PATTERNS; ++i) {
    std::istringstream in(t[i]);
    int index = -1;
    in >> index;
    EXPECT_EQ(index, i);
    for (std::string name; in >> name && name != "|";) EXPECT_EQ(ATTR_parse_fill_pat(name.c_str()), i) << name;
    std::vector<unsigned char> want;
    for (std::string row; in >> row;) want.push_back(static_cast<unsigned char>(std::stoi(row, nullptr, 16)));
    const unsigned char* rows = gget_fill_pattern(i);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(rows, rows + 8), want) << i;
  }
  for (const char* bad : {"", "hatch", "-3", "1e3x"}) EXPECT_EQ(ATTR_parse_fill_pat(bad), -1) << bad;
  EXPECT_EQ(ATTR_parse_fill_pat("25"), 25);  // a number; the setter refuses it
  EXPECT_EQ(gget_fill_pattern(20), nullptr);
}

// Pixels of a pattern: the lowest bit is the leftmost pixel, and the pattern repeats.
TEST_F(Fill, PixelTest) {
  const struct { int pattern, x, y, set; } t[] = {
      {7, 0, 0, 1}, {7, 7, 0, 1}, {7, 1, 0, 0}, {7, 6, 1, 1},  // "//" rises to the right
      {6, 0, 0, 1}, {6, 1, 0, 1}, {6, 7, 0, 0},
      {7, 8, 8, 1}, {7, -1, -8, 1}, {7, 14, 9, 1},          // repeats every 8 pixels
      {10, 3, 3, 0}, {0, 5, 5, 1}, {25, 0, 0, 0},
  };
  for (const auto& c : t) EXPECT_EQ(gfill_test(c.pattern, c.x, c.y), c.set) << c.pattern << " " << c.x << "," << c.y;
}

TEST_F(Fill, SettersAndAreas) {
  open(WS_PS);
  CaptureStderr();
  EXPECT_EQ(gset_fill_style_ind(20) + gset_fill_style_ind(-1) + gset_fill_int_style(3) + gset_fill_colr_ind(-2), -4);
  EXPECT_EQ(GetCapturedStderr(),
            "gset_fill_style_ind: invalid style index: 20\n"
            "gset_fill_style_ind: invalid style index: -1\n"
            "gset_fill_int_style: invalid interior style: 3\n"
            "gset_fill_colr_ind: invalid color index: -2\n");
  EXPECT_EQ(gset_fill_style_ind(19) + gset_fill_style_ind(19) + gset_fill_int_style(2) + gset_fill_colr_ind(-1) +
                gset_fill_print_solid(5),
            0);
  EXPECT_EQ(calls(GOBJ_FINDEX).size(), 1U);
  EXPECT_EQ((std::vector{gget_fill_style_ind(), gget_fill_int_style(), gget_fill_colr(), gget_fill_print_solid()}),
            (std::vector{19, 2, -1, 1}));
  const float tri[6] = {0.1F, 0.1F, 0.9F, 0.1F, 0.5F, 0.7F}, away[6] = {2, 2, 3, 2, 3, 3};
  EXPECT_EQ(gfill_area(3, tri) + gfill_area(3, away) + gfill_area(0, nullptr), 0);
  ASSERT_EQ(calls(GOBJ_FILL).size(), 1U);
  EXPECT_NEAR(calls(GOBJ_FILL)[0].values[2], xW_ps(0.9F), 1e-3);
}

}  // namespace
