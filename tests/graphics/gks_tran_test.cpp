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

}  // namespace
