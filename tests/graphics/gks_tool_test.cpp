#include "graphics/gks_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"

namespace {

using Tool = GksTest;


TEST_F(Tool, DeviceSpecifications) {
  const struct { const char* spec; int type; const char* rest; } t[] = {
      {"p,plot.ps", WS_PS, "plot.ps"}, {"h", WS_HPGL, ""},         {"Q,plot.hp,pcl", WS_HPGL, "plot.hp,pcl"},
      {"m,a.meta,cgm", WS_META, "a.meta,cgm"}, {"w,,1:640x512:0", WS_XDRAW, ",1:640x512:0"},
      {"D", WS_X11, ""},             {"", WS_X11, ""},             {",x", WS_X11, "x"},
  };
  for (const auto& c : t) {
    char rest[64] = "?";
    EXPECT_EQ(gdevice_setup(c.spec, rest, sizeof rest), c.type) << c.spec;
    EXPECT_STREQ(rest, c.rest) << c.spec;
  }
}

// Set-up, a batch run without a display, the window title and the error stream are kernel
// scripts (tests/data/graphics/kernel.txt).

TEST_F(Tool, ShapesAndTextReachTheDevice) {
  open(WS_PS);
  const float r[4] = {0, 10, 0, 10};
  gset_win(1, r);
  gsel_norm_tran(1);
  GPH_rect(1, 2, 3, 4);
  GPH_frect(1, 2, 3, 4);
  GPH_circle(5, 5, 2);
  GPH_mark(5, 5);
  GPH_printf(1, 2, "%s %03d", "Temp", 7);
  const float pos[2] = {3, 4};
  GPH_pprintf(pos, "%.1f", 2.25);
  const std::vector<GksCall> lines = calls(GOBJ_LINE);
  ASSERT_EQ(lines.size(), 2U);
  ASSERT_EQ(lines[0].arg, 5);
  const float ox = xW_ps(0), k = xW_ps(1) - ox;
  const std::vector<float> corners = {1, 2, 3, 2, 3, 4, 1, 4, 1, 2};
  for (int i = 0; i < 10; i += 2) {
    EXPECT_NEAR(lines[0].values[i], xW_ps(corners[i]), 1e-3);
    EXPECT_NEAR(lines[0].values[i + 1], yW_ps(corners[i + 1]), 1e-3);
  }
  EXPECT_EQ(lines[1].arg, 37);  // every 10 degrees, closed
  for (int i = 0; i < 37; ++i)
    EXPECT_NEAR(std::hypot(lines[1].values[2 * i] - xW_ps(5), lines[1].values[2 * i + 1] - yW_ps(5)), 2 * k, 1e-2);
  EXPECT_EQ(calls(GOBJ_FILL).size(), 1U);
  EXPECT_EQ(calls(GDEV_MARK_BEGIN).size(), 1U);
  const std::vector<GksCall> texts = calls(GOBJ_TEXT);
  ASSERT_EQ(texts.size(), 2U);
  EXPECT_EQ(texts[0].text, "Temp 007");
  EXPECT_EQ(texts[1].text, "2.2");
  EXPECT_EQ(texts[1].values, (std::vector<float>{3, 4}));
  gclear_region(r);
  gmessage(0, "Labels");
  EXPECT_EQ(calls(GOBJ_CLEAR).size(), 1U);
  ASSERT_EQ(calls(GOBJ_MESSAGE).size(), 1U);
  EXPECT_EQ(calls(GOBJ_MESSAGE)[0].text, "Labels");
}

}  // namespace
