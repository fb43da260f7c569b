#include "graphics/gks_mark.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "graphics/gks_text.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"

namespace {

using Mark = GksTest;
using Strokes = std::vector<std::vector<float>>;

Strokes shapes(int code = GDEV_MARK_SHAPE) {
  Strokes s;
  for (const GksCall& c : GksTest::calls(code)) s.push_back(c.values);
  return s;
}

// The nine shapes on the window, size 1 (10 pixels across, h = 5) at pixel (100, 200).
TEST_F(Mark, ShapesOnTheWindow) {
  const struct { int type; std::vector<const char*> names; Strokes strokes; } t[] = {
      {1, {"pnt", "."}, {{100, 200, 101, 200, 101, 201, 100, 201, 100, 200}}},
      {2, {"plus", "+"}, {{95, 200, 105, 200}, {100, 195, 100, 205}}},
      {3, {"star", "*"}, {{95, 195, 105, 205}, {105, 195, 95, 205}, {95, 200, 105, 200}, {100, 195, 100, 205}}},
      {4, {"crcl", "circle", "o"}, {}},
      {5, {"x", "X"}, {{95, 195, 105, 205}, {105, 195, 95, 205}}},
      {6, {"sqr", "square", "#"}, {{95, 205, 105, 205, 105, 195, 95, 195, 95, 205}}},
      {7, {"tri", "^"}, {{95, 205, 105, 205, 100, 195, 95, 205}}},  // points up on the screen
      {8, {"dot"}, {{100, 200}}},
      {9, {"itri", "v"}, {{95, 195, 105, 195, 100, 205, 95, 195}}},
  };
  open(WS_X11);
  const float pt[2] = {xp_W(100.2F), yp_W(199.8F)};  // rounded to the pixel
  for (const auto& c : t) {
    for (const char* name : c.names) EXPECT_EQ(ATTR_parse_marker(name), c.type) << name;
    gdev_clear_calls();
    gset_marker_type(c.type);
    ASSERT_EQ(gpolymarker(1, pt), 0);
    if (c.type != 4) {
      EXPECT_EQ(shapes(), c.strokes) << c.type;
      continue;
    }
    const Strokes s = shapes();
    ASSERT_EQ(s.size(), 1U);
    ASSERT_EQ(s[0].size(), 26U);  // twelve sides, closed
    EXPECT_EQ(std::vector<float>(s[0].begin(), s[0].begin() + 4), (std::vector<float>{95, 200, 100 - 4.33F, 197.5F}));
    EXPECT_EQ(std::vector<float>(s[0].end() - 2, s[0].end()), (std::vector<float>{95, 200}));
  }
  for (const char* bad : {"", "ring", "-1"}) EXPECT_EQ(ATTR_parse_marker(bad), -1) << bad;
  EXPECT_EQ(ATTR_parse_marker("7"), 7);
}

// On PostScript a marker of size 1 is 7.2 points across (h = 3), and y grows upwards, so
// the triangle is mirrored to point up on paper too.
TEST_F(Mark, SizesAndOrientationOnPaper) {
  open(WS_PS);
  EXPECT_EQ(gget_marker_half(), 3);
  gset_marker_type(7);
  const float pt[2] = {0.5F, 0.5F};
  gpolymarker(1, pt);
  const float x = xW_ps(0.5F), y = yW_ps(0.5F);
  EXPECT_EQ(shapes(), (Strokes{{x - 3, y - 3, x + 3, y - 3, x, y + 3, x - 3, y - 3}}));
  gset_marker_size(2.5F);
  EXPECT_EQ(gget_marker_half(), 9);
  gclose_ws(1);
  open(WS_HPGL);
  EXPECT_EQ(gget_marker_half(), 50);
  CaptureStderr();
  EXPECT_EQ(gset_marker_type(0) + gset_marker_type(10) + gset_marker_size(-1) + gset_marker_width(NAN) +
                gpolymarker(0, pt),
            -5);
  EXPECT_EQ(GetCapturedStderr(),
            "gset_marker_type: invalid marker type: 0\n"
            "gset_marker_type: invalid marker type: 10\n"
            "gset_marker_size: invalid marker size: -1.000000\n"
            "gset_marker_width: invalid marker width: nan\n"
            "gpolymarker: invalid number of points: 0\n");
}

// With a shadow of depth 2 every marker is drawn twice in black, one pixel apart, and then
// once in its colour; files get no shadows.
TEST_F(Mark, DropShadow) {
  open(WS_X11);
  gset_marker_type(2);
  gset_font_drop(2);
  std::vector<float> pts;
  for (int i = 0; i < 10; ++i) pts.push_back(0.05F + 0.09F * i), pts.push_back(0.5F);
  gpolymarker(10, pts.data());
  EXPECT_EQ(calls(GDEV_MARK_BEGIN).size(), 1U);
  EXPECT_EQ(shapes().size(), 20U);  // ten plus signs of two strokes
  const Strokes shadow = shapes(GDEV_MARK_SHADOW);
  ASSERT_EQ(shadow.size(), 40U);
  const Strokes own = shapes();
  EXPECT_EQ(shadow[2][0], own[0][0] + 1);  // second copy one pixel right and down
  EXPECT_EQ(shadow[2][1], own[0][1] + 1);
  gclose_ws(1);
  open(WS_PS);
  gset_marker_type(2);
  gpolymarker(10, pts.data());
  EXPECT_TRUE(shapes(GDEV_MARK_SHADOW).empty());
  gset_font_drop(0);
}

}  // namespace
