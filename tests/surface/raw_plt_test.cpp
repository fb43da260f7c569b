// Station values drawn by their formats, on the recording device: places, cuts, calm
// winds, markers and the room each station model takes.
#include "surface/raw_plt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "config/flag.h"
#include "config/missing.h"
#include "graphics/gks_text.h"
#include "tests/graphics/gks_fixture.h"

namespace {

class RawPlt : public GksTest {
 protected:
  void SetUp() override {
    GksTest::SetUp();
    open(WS_META);
    // A map 100 units high: offsets and sizes read directly as hundredths.
    const float win[4] = {0, 100, 0, 100}, vp[4] = {0, 0.74F, 0, 0.74F};
    gset_win(2, win);
    gset_vp(2, vp);
    gsel_norm_tran(2);
    FLAG_setplot(DRAW_ALL, 1);
    FLAG_set(FLAG_PLOT_TYPE, PLOT_CONT);
    RAW_plot_init(nullptr, 1.0F);
    gdev_clear_calls();
  }
  static RawDataRec value(int kind, float v1, float v2, const char* format) {
    RawDataRec d;
    RAW_data_init(&d);
    d.x = 50, d.y = 50, d.kind = kind, d.val1 = v1, d.val2 = v2;
    std::strcpy(d.format, format);
    return d;
  }
};

TEST_F(RawPlt, ValueUpperRightLeftAligned) {
  RawDataRec d = value(PLOT_DATA, 12.34F, MISSING, "value:%.1f:ur");
  ASSERT_EQ(RAW_plot_data(&d), 0);
  EXPECT_EQ(d.kind, PLOT_VALUE);
  const std::vector<GksCall> t = calls(GOBJ_TEXT);
  ASSERT_EQ(t.size(), 1U);
  EXPECT_EQ(t[0].text, "12.3");
  EXPECT_NEAR(t[0].values[0], 51.2F, 0.01F);  // world coordinates
  EXPECT_NEAR(t[0].values[1], 52.0F, 0.01F);
  int h = 0, v = 0;
  ginq_text_align(&h, &v);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(v, 3);
}

TEST_F(RawPlt, CutsSkipsAndMissing) {
  RawDataRec d = value(PLOT_VALUE, 60.0F, MISSING, "mx=50");
  EXPECT_EQ(RAW_plot_data(&d), -1);
  d = value(PLOT_VALUE, 40.0F, MISSING, "mn=45");
  EXPECT_EQ(RAW_plot_data(&d), -1);
  d = value(PLOT_VALUE, MISSING, MISSING, "");
  EXPECT_EQ(RAW_plot_data(&d), -1);
  EXPECT_TRUE(gdev_calls().empty() || calls(GOBJ_TEXT).empty());
  // Every second station of "sk=2".
  int drawn = 0;
  for (int i = 0; i < 6; ++i) {
    d = value(PLOT_VALUE, 1.0F, MISSING, "sk=2");
    drawn += RAW_plot_data(&d) == 0;
  }
  EXPECT_EQ(drawn, 3);
  // Nothing at all when data plotting is off.
  FLAG_setplot(DRAW_DATA, 0);
  d = value(PLOT_VALUE, 1.0F, MISSING, "");
  EXPECT_EQ(RAW_plot_data(&d), -1);
}

// A calm wind draws the calm circle, a wind a barb of five lines or so; a fixed text wins.
TEST_F(RawPlt, CalmCircleNotABarb) {
  RawDataRec d = value(PLOT_CBARB, 270.0F, 0.0F, "");
  ASSERT_EQ(RAW_plot_data(&d), 0);
  const std::vector<GksCall> calm = calls(GOBJ_LINE);
  ASSERT_EQ(calm.size(), 1U);
  EXPECT_GT(calm[0].values.size(), 40U);  // a circle of many points
  gdev_clear_calls();
  d = value(PLOT_CBARB, 270.0F, 25.0F, "");
  ASSERT_EQ(RAW_plot_data(&d), 0);
  for (const GksCall& c : calls(GOBJ_LINE)) EXPECT_LE(c.values.size(), 8U);
  EXPECT_GE(calls(GOBJ_LINE).size() + calls(GOBJ_FILL).size(), 3U);
  gdev_clear_calls();
  d = value(PLOT_CBARB, 270.0F, 25.0F, "tx=CALM?");
  ASSERT_EQ(RAW_plot_data(&d), 0);
  ASSERT_EQ(calls(GOBJ_TEXT).size(), 1U);
  EXPECT_EQ(calls(GOBJ_TEXT)[0].text, "CALM?");
  EXPECT_TRUE(calls(GOBJ_LINE).empty());
}

// A station model's footprint keeps the next station off it.
TEST_F(RawPlt, RoomOnTheMap) {
  RAW_footprint_begin();
  EXPECT_EQ(RAW_plot_room(50, 50), 1);  // no footprint: everything fits
  RAW_footprint_begin();
  RAW_footprint_add("value:ul", PLOT_VALUE);
  RAW_footprint_add("ur", PLOT_VALUE);
  EXPECT_EQ(RAW_plot_room(50, 50), 1);
  EXPECT_EQ(RAW_plot_room(55, 50), 0);  // the texts would meet
  EXPECT_EQ(RAW_plot_room(50, 51), 0);
  EXPECT_EQ(RAW_plot_room(50, 60), 1);  // a row higher
  EXPECT_EQ(RAW_plot_room(62, 50), 1);  // beside it
}

}  // namespace
