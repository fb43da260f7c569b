#include "graphics/gks_colr.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"

namespace {

using Colr = GksTest;

std::array<float, 3> rgb(int i) {
  std::array<float, 3> c{-1, -1, -1};
  gget_color_rgb(i, &c[0], &c[1], &c[2]);
  return c;
}

TEST_F(Colr, ValidIndicesAndPrintColours) {
  const struct { int index, valid; } t[] = {{-2, 0},  {-1, 1},  {0, 1},   {255, 1}, {256, 1},
                                            {257, 0}, {499, 0}, {500, 1}, {508, 1}, {509, 0}};
  for (const auto& c : t) EXPECT_EQ(gis_valid_colr(c.index), c.valid) << c.index;
  EXPECT_EQ(rgb(501), (std::array<float, 3>{0, 0, 0}));
  EXPECT_EQ(rgb(504), (std::array<float, 3>{1, 1, 1}));
  EXPECT_EQ(rgb(507), (std::array<float, 3>{0.7F, 0.7F, 0.7F}));
  int r = 0, g = 0, b = 0;
  EXPECT_EQ(gget_color_rgb256(508, &r, &g, &b), 0);
  EXPECT_EQ((std::vector{r, g, b}), (std::vector{179, 179, 179}));
  EXPECT_EQ(gget_color_rgb(600, nullptr, nullptr, nullptr), -1);
}

TEST_F(Colr, ColoursReachTheDeviceClamped) {
  const float c[3] = {1.5F, -0.5F, 0.25F}, nan[3] = {0, NAN, 0};
  EXPECT_EQ(gset_colr_rep(1, 7, c), -1);  // no device yet: kept for when it opens
  EXPECT_EQ(rgb(7), (std::array<float, 3>{1, 0, 0.25F}));
  EXPECT_EQ(gget_color_ind(7), -1);
  open(WS_PS);
  EXPECT_EQ(gset_colr_rep(1, 7, c), 0);
  EXPECT_EQ(gget_color_ind(7), 7);
  ASSERT_EQ(calls(GOBJ_COLR).size(), 1U);
  EXPECT_EQ(calls(GOBJ_COLR)[0].values, (std::vector<float>{1, 0, 0.25F}));
  CaptureStderr();
  EXPECT_EQ(gset_colr_rep(1, 257, c) + gset_colr_rep(1, 3, nan), -2);
  EXPECT_EQ(GetCapturedStderr(), "gset_colr_rep: invalid color index: 257\ngset_colr_rep: invalid color for index 3\n");
}

// The background: a table name, an RGB text or the default (black, white inverse); an
// unknown name is reported and gets the default.
TEST_F(Colr, Background) {
  open(WS_X11);
  const struct { const char* name; int inverse; std::array<float, 3> color; const char* err; } t[] = {
      {"", 0, {0, 0, 0}, ""},
      {"none", 1, {1, 1, 1}, ""},
      {"LGray", 0, {0.75F, 0.75F, 0.75F}, ""},
      {"#102030", 0, {16 / 255.0F, 32 / 255.0F, 48 / 255.0F}, ""},
      {"pwht", 0, {1, 1, 1}, ""},
      {"nosuch\x01", 1, {1, 1, 1}, "ginit_background: Unknown background colour: nosuch?\n"},
      {"400", 0, {0, 0, 0}, "ginit_background: Unknown background colour: 400\n"},
  };
  for (const auto& c : t) {
    RES_put("background", c.name);
    gset_inverse(c.inverse);
    gdev_clear_calls();
    CaptureStderr();
    EXPECT_EQ(ginit_background(), 0) << c.name;
    EXPECT_EQ(GetCapturedStderr(), c.err) << c.name;
    EXPECT_EQ(rgb(-1), c.color) << c.name;
    EXPECT_EQ(rgb(256), c.color) << c.name;
    // An RGB text also becomes a table colour; the background is defined last.
    ASSERT_FALSE(calls(GOBJ_COLR).empty());
    EXPECT_EQ(calls(GOBJ_COLR).back().arg, -1);
  }
  gset_inverse(0);
  gset_background("red");
  ginit_background();
  EXPECT_EQ(rgb(-1), (std::array<float, 3>{1, 0, 0}));
  gcolr_reset_state();
}

}  // namespace
