// Station values drawn by their formats, on the recording device: places, cuts, calm
// winds, markers and the room each station model takes.
#include "surface/raw_plt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "config/flag.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "graphics/colors.h"
#include "graphics/gks_text.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_tran.h"
#include "plot/cont.h"
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
  // A model the frame would cut is left out, wherever there is room.
  EXPECT_EQ(RAW_plot_inside(1, 20), 0);
  EXPECT_EQ(RAW_plot_inside(99, 20), 0);
  EXPECT_EQ(RAW_plot_inside(30, 99.5F), 0);
  EXPECT_EQ(RAW_plot_inside(30, 20), 1);
}

// A station model's barb never crosses its numbers: for winds from every direction and of
// every kind of feather, no stroke of the barb enters the box of any number's strokes, no
// pennant is filled over one, and the barb is still drawn (its shaft mostly visible).
TEST_F(RawPlt, BarbsKeepOffTheNumbers) {
  struct Item {
    int kind;
    float v1;
    const char* text;
    const char* format;
  } const model[] = {
      {PLOT_VALUE, 38.0F, "", "%1.0f:ul"}, {PLOT_VALUE, 21.0F, "", "%1.0f:ll"}, {PLOT_TEXT, MISSING, "238", "ur"},
      {PLOT_VALUE, -2.1F, "", "%+.1f:cr"}, {PLOT_DATA, MISSING, "10", "xy=-4+0"},
  };
  for (const float speed : {5.0F, 25.0F, 65.0F}) {
    for (int dir = 0; dir < 360; dir += 10) {
      gdev_clear_calls();
      RAW_station_begin();
      RawDataRec w = value(PLOT_CBARB, static_cast<float>(dir), speed, "");
      ASSERT_EQ(RAW_plot_data(&w), 0);
      for (const Item& it : model) {
        RawDataRec d = value(it.kind, it.v1, MISSING, it.format);
        std::strcpy(d.text, it.text);
        ASSERT_EQ(RAW_plot_data(&d), 0) << it.format;
      }
      RAW_station_end();
      // The boxes of the texts' strokes (device units), one per text.
      std::vector<std::vector<float>> boxes;
      for (const GksCall& c : gdev_calls()) {
        if (c.code == GOBJ_TEXT) boxes.push_back({1e9F, 1e9F, -1e9F, -1e9F});
        if (c.code != GDEV_TEXT_STROKE || boxes.empty()) continue;
        std::vector<float>& b = boxes.back();
        for (std::size_t i = 0; i + 1 < c.values.size(); i += 2) {
          b[0] = std::min(b[0], c.values[i]), b[1] = std::min(b[1], c.values[i + 1]);
          b[2] = std::max(b[2], c.values[i]), b[3] = std::max(b[3], c.values[i + 1]);
        }
      }
      ASSERT_EQ(boxes.size(), 5u);
      // A point strictly inside a box, by a hair.
      auto inside = [&](float x, float y) {
        for (const auto& b : boxes)
          if (x > b[0] + 0.01F && x < b[2] - 0.01F && y > b[1] + 0.01F && y < b[3] - 0.01F) return true;
        return false;
      };
      float drawn = 0.0F;
      int lines = 0;
      for (const GksCall& c : gdev_calls()) {
        if (c.code == GOBJ_FILL) {
          for (std::size_t i = 0; i + 1 < c.values.size(); i += 2)
            EXPECT_FALSE(inside(c.values[i], c.values[i + 1])) << dir << " " << speed;
        }
        if (c.code != GOBJ_LINE) continue;
        ++lines;
        for (std::size_t i = 0; i + 3 < c.values.size(); i += 2) {
          const float x0 = c.values[i], y0 = c.values[i + 1], x1 = c.values[i + 2], y1 = c.values[i + 3];
          drawn += std::hypot(x1 - x0, y1 - y0);
          for (int k = 0; k <= 50; ++k) {
            const float t = static_cast<float>(k) / 50.0F;
            EXPECT_FALSE(inside(x0 + t * (x1 - x0), y0 + t * (y1 - y0))) << dir << " " << speed;
          }
        }
      }
      EXPECT_GT(lines, 0) << dir << " " << speed;
      // The shaft alone is 0.04 of the map's height; at least half of it shows.
      const float shaft = std::fabs(yW_dev(54.0F) - yW_dev(50.0F));
      EXPECT_GT(drawn, 0.5F * shaft) << dir << " " << speed;
    }
  }
}

// With an interval the values take the colours of their contour bands, round the list.
TEST_F(RawPlt, ValuesTakeTheirBandColours) {
  RES_put("con_interval", "10");
  RES_put("con_base", "0");
  RES_put("color_fill", "blue,green,red");
  CONT_set_fill_colors(nullptr, 0);
  RAW_plot_init(nullptr, 1.0F);
  const int want[] = {CLR_get_ind("blue"), CLR_get_ind("green"), CLR_get_ind("red"), CLR_get_ind("blue")};
  const float values[] = {5.0F, 15.0F, 29.0F, 30.0F};
  for (int k = 0; k < 4; ++k) {
    gdev_clear_calls();
    RawDataRec d = value(PLOT_VALUE, values[k], MISSING, "");
    ASSERT_EQ(RAW_plot_data(&d), 0);
    int colour = -1;
    for (const GksCall& c : gdev_calls())
      if (c.code == GOBJ_TCOLR) colour = c.arg;
    EXPECT_EQ(colour, want[k]) << values[k];
  }
  RES_put("con_interval", "");
  RES_put("con_base", "");
  RES_put("color_fill", "");
  RAW_plot_init(nullptr, 1.0F);
}

}  // namespace
