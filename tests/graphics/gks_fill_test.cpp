#include "graphics/gks_fill.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"

namespace {

using Fill = GksTest;

// The 20 patterns: every name of each, and its rows from the top.
TEST_F(Fill, PatternsByNameAndRows) {
  const struct { std::vector<const char*> names; std::vector<unsigned char> rows; } t[GKS_NUM_PATTERNS] = {
      {{"sol", "SOL"}, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}},
      {{"st"}, {0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55}},
      {{"ost"}, {0x55, 0x00, 0x55, 0x00, 0x55, 0x00, 0x55, 0x00}},
      {{"rst"}, {0x24, 0x11, 0x82, 0x48, 0x42, 0x11, 0x28, 0x84}},
      {{"lst"}, {0x33, 0x33, 0x00, 0x00, 0xcc, 0xcc, 0x00, 0x00}},
      {{"vln", "||"}, {0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33}},
      {{"dlr", "\\\\"}, {0x03, 0x06, 0x0c, 0x18, 0x30, 0x60, 0xc0, 0x81}},
      {{"drl", "//"}, {0x81, 0xc0, 0x60, 0x30, 0x18, 0x0c, 0x06, 0x03}},
      {{"hln", "--"}, {0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0x00, 0x00}},
      {{"hat", "XX", "xx"}, {0xc3, 0x66, 0x3c, 0x18, 0x3c, 0x66, 0xc3, 0x81}},
      {{"clr", "0%"}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {{"1%"}, {0x40, 0x10, 0x20, 0x01, 0x00, 0x04, 0x08, 0x02}},
      {{"2%"}, {0x08, 0xa0, 0x44, 0x11, 0x22, 0x10, 0x81, 0x44}},
      {{"3%"}, {0x45, 0x28, 0x94, 0x43, 0x50, 0x09, 0x52, 0xa8}},
      {{"4%"}, {0x19, 0xca, 0x34, 0x1a, 0xe1, 0x32, 0xa5, 0xcc}},
      {{"5%"}, {0x55, 0xdc, 0x3b, 0xe2, 0x97, 0xaa, 0x65, 0x3e}},
      {{"6%"}, {0x7a, 0xe5, 0x5f, 0xab, 0xf5, 0xeb, 0x5e, 0xb5}},
      {{"7%"}, {0xfe, 0xbb, 0xf5, 0x6f, 0xfe, 0xd7, 0xbd, 0xeb}},
      {{"8%"}, {0xfd, 0xff, 0xef, 0x7f, 0xdf, 0xfe, 0xf7, 0xaf}},
      {{"9%", "19"}, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}},
  };
  for (int i = 0; i < GKS_NUM_PATTERNS; ++i) {
    for (const char* name : t[i].names) EXPECT_EQ(ATTR_parse_fill_pat(name), i) << name;
    const unsigned char* rows = gget_fill_pattern(i);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(rows, rows + 8), t[i].rows) << i;
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
