// Station values drawn by their formats, on the recording device: places, cuts, calm
// winds, markers and the room each station model takes.
#include "surface/raw_plt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
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
#include "tests/support/surface_cases.h"

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

using S = std::string;
using surface_cases::Row;

class RawPltScript : public RawPlt, public ::testing::WithParamInterface<S> {
 protected:
  std::map<S, surface_cases::Command> commands() {
    static const std::map<S, int> kinds = {{"data", PLOT_DATA}, {"value", PLOT_VALUE}, {"cbarb", PLOT_CBARB}};
    auto f = [](const S& v) { return std::stof(v); };
    return {
        // A value drawn at 50 50 by kind, values and format: the result, and the kind it became.
        {"plot", [f](const Row& r) {
           RawDataRec d = value(kinds.at(r[1]), f(r[2]), f(r[3]), r.size() > 4 ? r[4].c_str() : "");
           const int got = RAW_plot_data(&d);
           return std::to_string(got) + (d.kind != kinds.at(r[1]) ? " as " + std::to_string(d.kind) : "");
         }},
        {"clear", [](const Row&) { return gdev_clear_calls(), S(); }},
        {"data_off", [](const Row&) { return FLAG_setplot(DRAW_DATA, 0), S(); }},
        // The texts drawn, each at its place in world coordinates, then the alignment.
        {"texts", [](const Row&) {
           S s;
           char b[64];
           for (const GksCall& c : calls(GOBJ_TEXT))
             s += c.text + (std::snprintf(b, sizeof b, "@%.2f,%.2f ", c.values[0], c.values[1]), b);
           return s;
         }},
        {"align", [](const Row&) {
           int h = 0, v = 0;
           ginq_text_align(&h, &v);
           return std::to_string(h) + " " + std::to_string(v);
         }},
        // The lines drawn: how many, and whether the longest is a circle (over 40 numbers) or
        // every one a stroke (at most 8); the fills; fewer than three pieces in all named.
        {"lines", [](const Row&) {
           std::size_t longest = 0;
           for (const GksCall& c : calls(GOBJ_LINE)) longest = std::max(longest, c.values.size());
           const std::size_t lines = calls(GOBJ_LINE).size(), fills = calls(GOBJ_FILL).size();
           return std::to_string(lines) + (longest > 40 ? " circle" : longest <= 8 ? " strokes" : " other") + ", fills " +
                  std::to_string(fills) + (lines + fills < 3 ? ", under 3 pieces" : "");
         }},
        {"footprint_begin", [](const Row&) { return RAW_footprint_begin(), S(); }},
        {"footprint_add", [](const Row& r) { return RAW_footprint_add(r[1].c_str(), PLOT_VALUE), S(); }},
        {"room", [f](const Row& r) { return std::to_string(RAW_plot_room(f(r[1]), f(r[2]))); }},
        {"inside", [f](const Row& r) { return std::to_string(RAW_plot_inside(f(r[1]), f(r[2]))); }},
        {"res", [](const Row& r) { return RES_put(r[1].c_str(), r[2].c_str()), S(); }},
        {"init", [](const Row&) { return CONT_set_fill_colors(nullptr, 0), RAW_plot_init(nullptr, 1.0F), S(); }},
        // A value drawn: the name of its text's colour.
        {"colour", [f](const Row& r) {
           gdev_clear_calls();
           RawDataRec d = value(PLOT_VALUE, f(r[1]), MISSING, "");
           RAW_plot_data(&d);
           int colour = -1;
           for (const GksCall& c : gdev_calls())
             if (c.code == GOBJ_TCOLR) colour = c.arg;
           return colour >= 0 ? S(CLR_get_name(colour)) : "none";
         }}};
  }
};

TEST_P(RawPltScript, Script) { surface_cases::run_script("raw_plt_cases.txt", GetParam(), commands()); }

INSTANTIATE_TEST_SUITE_P(Blocks, RawPltScript, ::testing::Values("values", "cuts", "calm", "room", "colours"),
                         [](const auto& info) { return info.param; });

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

}  // namespace
