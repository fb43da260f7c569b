#include "graphics/gks_tran.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"

namespace {

// The workstation window as GPH_reset sets it: the device's NDC extent.
void page() {
  float x = 1.0F, y = 1.0F;
  ginq_maxview(&x, &y);
  const float r[4] = {0.0F, x, 0.0F, y};
  gset_ws_win(1, r);
}

// Windows of every kind a plot uses (unit square, projection plane, degrees, a flipped
// window, a tiny offset one, a huge one) and viewports inside the page.
const float kWindows[GKS_NUM_TRANS][4] = {{0, 1, 0, 1},           {-2500, 2500, -1800, 1800}, {-130, -60, 20, 55},
                                          {10, -10, 5, -5},       {1000, 1000.01F, -3, -2.99F}, {-1e5F, 1e5F, -5e4F, 5e4F}};
const float kViews[GKS_NUM_TRANS][4] = {{0, 1, 0, 0.76F},     {0.05F, 0.95F, 0.05F, 0.7F}, {0.5F, 1, 0.38F, 0.76F},
                                        {0.1F, 0.3F, 0.1F, 0.6F}, {0, 0.01F, 0, 0.01F},       {0.2F, 0.8F, 0.2F, 0.5F}};

class RoundTrip : public GksTest, public testing::WithParamInterface<std::tuple<int, int>> {};

// World -> NDC -> device and back, for every workstation type and transformation, within
// 1e-4 of the window's size; points inside the window land inside the viewport's clip.
TEST_P(RoundTrip, WorldNdcDevice) {
  const auto [type, n] = GetParam();
  open(type, type == WS_XDRAW ? ",1:640x512:0" : "");
  page();
  for (int t = 0; t < GKS_NUM_TRANS; ++t) ASSERT_EQ(gset_win(t, kWindows[t]) + gset_vp(t, kViews[t]), 0);
  ASSERT_EQ(gsel_norm_tran(n == 0 ? 1 : 0) + gsel_norm_tran(n), 0);
  const float* w = kWindows[n];
  const float tol_x = 1e-4F * std::fabs(w[1] - w[0]), tol_y = 1e-4F * std::fabs(w[3] - w[2]);
  int clip[4];
  const bool clipped = gget_gviewport(clip) == 0;
  for (int i = 0; i <= 6; ++i) {
    for (int j = 0; j <= 6; ++j) {
      const float x = w[0] + (w[1] - w[0]) * i / 6.0F, y = w[2] + (w[3] - w[2]) * j / 6.0F;
      EXPECT_NEAR(xNDC_W(xW_NDC(x)), x, tol_x);
      EXPECT_NEAR(yNDC_W(yW_NDC(y)), y, tol_y);
      const float dx = xW_dev(x), dy = yW_dev(y);
      EXPECT_NEAR(xdev_W(dx), x, tol_x) << i << "," << j;
      EXPECT_NEAR(ydev_W(dy), y, tol_y) << i << "," << j;
      if (!clipped) continue;
      // Window types give the top-left corner of the clip, print types the lower-left.
      EXPECT_GE(dx, clip[0] - 0.5F);
      EXPECT_LE(dx, clip[0] + clip[2] - 0.5F);
      EXPECT_GE(dy, clip[1] - 0.5F);
      EXPECT_LE(dy, clip[1] + clip[3] - 0.5F);
    }
  }
  // Far outside the window the device sees its own limits and no more.
  const float limit = gtype_is_WIN_PIX() ? GKS_PIXEL_LIMIT : GKS_PRINT_LIMIT;
  const float far = 1e7F * (w[1] - w[0]);
  EXPECT_EQ(std::fabs(xW_dev(w[0] + far)), limit);
  EXPECT_EQ(std::fabs(xW_dev(w[0] - far)), limit);
  EXPECT_EQ(std::fabs(yW_dev(w[2] + 1e7F * (w[3] - w[2]))), limit);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, RoundTrip,
                         testing::Combine(testing::ValuesIn(kTypes), testing::Range(0, GKS_NUM_TRANS)),
                         [](const auto& info) {
                           return "type" + std::to_string(std::get<0>(info.param)) + "_tran" +
                                  std::to_string(std::get<1>(info.param));
                         });

using Tran = GksTest;

TEST_F(Tran, DisplaySpaceGivesTheNdcExtent) {
  const struct { float w, h, xvp, yvp; } t[] = {
      {640, 512, 1.0F, 511.0F / 639.0F},  // the default window
      {512, 640, 511.0F / 639.0F, 1.0F},  // taller than wide
      {757, 577, 1.0F, 576.0F / 756.0F},  // letter paper in points
      {1, 1, 1.0F, 1.0F},                 // nothing to scale: the unit square
  };
  for (const auto& c : t) {
    gset_win_size(c.w, c.h);
    float x = 0, y = 0;
    ginq_maxview(&x, &y);
    EXPECT_FLOAT_EQ(x, c.xvp) << c.w << "x" << c.h;
    EXPECT_FLOAT_EQ(y, c.yvp) << c.w << "x" << c.h;
  }
}

// The plot rectangle keeps the workstation window's aspect at the lower-left: a wide
// window leaves room at the top (pixel rows from 0, print units from the bottom), a tall one
// on the right.
TEST_F(Tran, PlotRectangleIsAnchoredAtTheLowerLeft) {
  open(WS_X11);
  const float wide[4] = {0, 1, 0, 0.5F}, tall[4] = {0, 0.5F, 0, 1};
  gset_ws_win(1, wide);
  EXPECT_FLOAT_EQ(yNDC_p(0.5F), 511.0F - 319.5F);  // rows above it stay empty
  EXPECT_FLOAT_EQ(yNDC_p(0.0F), 511.0F);
  EXPECT_FLOAT_EQ(xNDC_p(1.0F), 639.0F);
  gset_ws_win(1, tall);
  EXPECT_FLOAT_EQ(xNDC_p(0.5F), 255.5F);
  EXPECT_FLOAT_EQ(yNDC_p(1.0F), 0.0F);
  gclose_ws(1);
  open(WS_PS);
  gset_ws_win(1, wide);
  float plt[6];
  gget_plot_rect(plt);
  EXPECT_EQ(std::vector<float>(plt, plt + 6), (std::vector<float>{0, 0, 756, 378, 756, 378}));
  EXPECT_FLOAT_EQ(yNDC_ps(0.5F), 378.0F);
  // HPGL adds its offset of 10 plotter units.
  gclose_ws(1);
  open(WS_HPGL);
  EXPECT_FLOAT_EQ(xNDC_ps(0.0F), 10.0F);
  EXPECT_FLOAT_EQ(yNDC_ps(0.0F), 10.0F);
}

TEST_F(Tran, ViewportClipsOnEveryDevice) {
  const float v[4] = {0.1F, 0.9F, 0.1F, 0.7F};
  open(WS_X11);
  page();
  gset_vp(1, v);
  gsel_norm_tran(1);
  short xv[4];
  gget_xviewport(xv);
  EXPECT_EQ(std::vector<short>(xv, xv + 4), (std::vector<short>{64, 64, 512, 384}));
  const std::vector<GksCall> clips = calls(GDEV_CLIP);
  ASSERT_FALSE(clips.empty());
  const std::vector<float> expect = {63.9F, 63.7F, 575.1F, 447.1F};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(clips.back().values[k], expect[k], 1e-3) << k;
  gclose_ws(1);
  open(WS_PS);
  page();
  gset_vp(1, v);
  gsel_norm_tran(1);
  int gv[4];
  ASSERT_EQ(gget_gviewport(gv), 0);
  EXPECT_EQ(std::vector<int>(gv, gv + 4), (std::vector<int>{76, 76, 605, 454}));
  gclose_ws(1);
  open(WS_META);
  EXPECT_EQ(gget_gviewport(gv), -1);  // a metafile clips in its own units
}

TEST_F(Tran, TransformationNumbersOutsideZeroToFiveAreRefused) {
  open(WS_META);
  const float r[4] = {0, 2, 0, 2};
  gsel_norm_tran(2);
  CaptureStderr();
  EXPECT_EQ(gsel_norm_tran(6), -1);
  EXPECT_EQ(gsel_norm_tran(-1), -1);
  EXPECT_EQ(gset_win(6, r), -1);
  EXPECT_EQ(GetCapturedStderr(),
            "gsel_norm_tran: invalid transformation number: 6\n"
            "gsel_norm_tran: invalid transformation number: -1\n"
            "gset_win: invalid transformation number: 6\n");
  EXPECT_EQ(gget_norm_tran(), 2);
  // Rectangles without extent would divide by zero; they are refused and the old one kept.
  const float flat[4] = {0, 0, 0, 1}, nan[4] = {0, NAN, 0, 1};
  CaptureStderr();
  EXPECT_EQ(gset_win(2, flat) + gset_vp(2, nan) + gset_ws_win(1, flat), -3);
  EXPECT_NE(GetCapturedStderr().find("gset_win: invalid rectangle: 0 0 0 1\n"), std::string::npos);
  float t[8];
  int error = 0;
  EXPECT_EQ(ginq_norm_tran(2, &error, t), 0);
  EXPECT_EQ(std::vector<float>(t, t + 4), (std::vector<float>{0, 1, 0, 1}));
  EXPECT_EQ(ginq_norm_tran(6, &error, t), -1);
  EXPECT_EQ(error, 1);
}

// Selecting the current transformation writes nothing and records nothing.
TEST_F(Tran, SelectingTheCurrentTransformationDoesNothing) {
  open(WS_META);
  gset_redraw(1);
  gsel_norm_tran(3);
  gsel_norm_tran(3);
  EXPECT_EQ(calls(GOBJ_TRAN).size(), 1U);
  EXPECT_EQ(gobj_list().size(), 1U);
  EXPECT_EQ(calls(GOBJ_TRAN)[0].arg, 3);
}

TEST_F(Tran, PointsAgainstTheWindowAndBetweenTransformations) {
  const float w[4] = {-10, 10, -5, 5};
  gset_win(4, w);
  gsel_norm_tran(4);
  const struct { std::vector<float> pts; int in; } t[] = {
      {{0, 0}, 1},
      {{-20, 0, 20, 0}, 1},  // no point inside, but the box crosses the window
      {{10, 5, 30, 30}, 1},  // touching the corner
      {{-30, 0, -10.01F, 4}, 0},
      {{0, 5.5F, 3, 9}, 0},
      {{}, 0},
  };
  for (const auto& c : t)
    EXPECT_EQ(gpts_in_win(static_cast<int>(c.pts.size() / 2), c.pts.data()), c.in) << c.pts.size();
  const float w2[4] = {0, 100, 0, 50}, v2[4] = {0.5F, 1, 0.5F, 0.75F};
  gset_win(2, w2), gset_vp(2, v2);
  EXPECT_FLOAT_EQ(xW_trans(2, 1, 50), 0.75F);
  EXPECT_FLOAT_EQ(yW_trans(2, 1, 50), 0.75F);
  EXPECT_FLOAT_EQ(xW_trans(1, 2, 0.75F), 50);
  EXPECT_EQ(xW_trans(2, 6, 1), -9999.0F);
}

}  // namespace
