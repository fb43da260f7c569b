// Wind barbs and arrows by the segments they draw, the direction and speed conversions,
// and the vector layer's cuts and skips, on the recording device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_line.h"
#include "graphics/gks_tool.h"
#include "plot/maptran.h"
#include "plot/cont.h"
#include "plot/vect_plt.h"
#include "graphics/colors.h"
#include "config/string.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/support/near.h"

namespace {

class Vect : public GksTest {
 protected:
  void SetUp() override {
    GksTest::SetUp();
    FLAG_resetplot(1);
    MAP_domain(nullptr);
    MESS_set(0, 0);
    open(WS_META);
    const float unit[4] = {0.0F, 1.0F, 0.0F, 1.0F};
    GPH_view(2, unit);
    calibrate(unit);
  }
  // Makes win the window; the device keeps device coordinates: learn their scale from a
  // diagonal.
  void calibrate(const float win[4]) {
    GPH_win(2, win);
    GPH_trans(2);
    gdev_clear_calls();
    const float diag[4] = {win[0], win[2], win[1], win[3]};
    gpolyline(2, diag);
    const std::vector<float> d = gdev_calls().back().values;
    ASSERT_EQ(d.size(), 4U);
    std::copy(win, win + 4, win_);
    x0_ = d[0], y0_ = d[1], sx_ = (d[2] - d[0]) / (win[1] - win[0]), sy_ = (d[3] - d[1]) / (win[3] - win[2]);
    gdev_clear_calls();
  }
  void TearDown() override {
    GRD_free(&u_);
    GRD_free(&v_);
    GksTest::TearDown();
  }
  // The kept calls with one code, their points back in the window's coordinates.
  std::vector<GksCall> calls(int code) const {
    std::vector<GksCall> out;
    for (GksCall c : gdev_calls())
      if (c.code == code) {
        for (std::size_t i = 0; i + 1 < c.values.size(); i += 2)
          c.values[i] = win_[0] + (c.values[i] - x0_) / sx_, c.values[i + 1] = win_[2] + (c.values[i + 1] - y0_) / sy_;
        out.push_back(c);
      }
    return out;
  }
  // Wind components on an nx by ny grid without a map, freed by the fixture.
  void alloc_uv(int nx, int ny) {
    for (GridRec* g : {&u_, &v_}) {
      GRD_init(g);
      DOM_init(&g->domain);
      g->domain.nx = nx, g->domain.ny = ny;
      ASSERT_EQ(GRD_alloc(g), 1);
    }
  }
  // Draws the grids as plot type over the window, keeping only what the drawing sends.
  void draw_over(const float win[4], int type, const char* format) {
    calibrate(win);
    FLAG_set(FLAG_BATCH, 1);
    VECT_set_format(type, format);
    ASSERT_EQ(VECT_plot_setup(0, 0, &u_, &v_, nullptr, nullptr), 0);
    gdev_clear_calls();
  }
  float x0_ = 0, y0_ = 0, sx_ = 1, sy_ = 1, win_[4] = {0, 1, 0, 1};
  GridRec u_{}, v_{};
};

struct BarbCase {
  float knots;
  int pennants;
  std::vector<float> full;  // where each full barb leaves the shaft (fraction of the size)
  std::vector<float> half;
};

class Barb : public Vect, public ::testing::WithParamInterface<BarbCase> {};

// A north wind at the origin with size 1: the shaft runs up the y axis and the barbs go
// out to +x, so a segment's start y is its place on the shaft and its end x its kind.
TEST_P(Barb, SegmentsByKind) {
  const BarbCase& c = GetParam();
  const int res = WIND_barb(0.0F, 0.0F, 0.0F, c.knots, 1.0F, 0.0F);
  const auto lines = calls(GOBJ_LINE);
  if (c.knots == 0.0F) {
    EXPECT_EQ(res, -1);
    EXPECT_TRUE(lines.empty());
    return;
  }
  ASSERT_EQ(res, 0);
  ASSERT_FALSE(lines.empty());
  expect_all_near(lines[0].values, {0, 0, 0, 1}, 1e-5);  // the shaft
  std::vector<float> full, half;
  int outlines = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto& v = lines[i].values;
    if (v.size() == 8) {
      ++outlines;
      continue;
    }
    ASSERT_EQ(v.size(), 4U);
    EXPECT_NEAR(v[0], 0.0F, 1e-5);
    if (std::fabs(v[2] - 0.5F) < 1e-4) {
      full.push_back(v[1]);
      EXPECT_NEAR(v[3] - v[1], 0.12F, 1e-4);
    } else {
      EXPECT_NEAR(v[2], 0.25F, 1e-4);
      EXPECT_NEAR(v[3] - v[1], 0.06F, 1e-4);
      half.push_back(v[1]);
    }
  }
  const auto fills = calls(GOBJ_FILL);
  EXPECT_EQ(static_cast<int>(fills.size()), c.pennants);
  EXPECT_EQ(outlines, c.pennants);
  for (std::size_t i = 0; i < fills.size(); ++i) {
    ASSERT_EQ(fills[i].values.size(), 6U);
    EXPECT_NEAR(fills[i].values[1], 1.0F - 0.12F * static_cast<float>(i), 1e-4);
    EXPECT_NEAR(fills[i].values[2], 0.5F, 1e-4);
    EXPECT_NEAR(fills[i].values[5], 0.88F - 0.12F * static_cast<float>(i), 1e-4);
  }
  expect_all_near(full, c.full, 1e-4);
  expect_all_near(half, c.half, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Knots, Barb,
                         ::testing::Values(BarbCase{0, 0, {}, {}},
                                           // a lone half barb set back from the tip
                                           BarbCase{5, 0, {}, {0.88F}},
                                           // one full barb leaning out from the tip
                                           BarbCase{10, 0, {1.0F}, {}},
                                           // 48 + 2 reaches a pennant
                                           BarbCase{48, 1, {}, {}}, BarbCase{50, 1, {}, {}},
                                           BarbCase{65, 1, {0.76F}, {0.64F}},
                                           BarbCase{100, 2, {}, {}},
                                           BarbCase{145, 2, {0.64F, 0.52F, 0.40F, 0.28F}, {0.16F}}));

// A westerly's shaft points west and its barbs lean to the north side.
TEST_F(Vect, WesterlyBarbAndSoutherlyArrow) {
  ASSERT_EQ(WIND_barb(0.5F, 0.5F, 270.0F, 10.0F, 0.2F, 0.0F), 0);
  auto lines = calls(GOBJ_LINE);
  ASSERT_EQ(lines.size(), 2U);
  expect_all_near(lines[0].values, {0.5, 0.5, 0.3, 0.5}, 1e-5);
  EXPECT_NEAR(lines[1].values[3], 0.6F, 1e-5);
  // A south wind of 2 blows north as an arrow: the tip 2 × 0.1 above the start.
  gdev_clear_calls();
  ASSERT_EQ(WIND_vect(0.5F, 0.5F, 180.0F, 2.0F, 0.1F, 1.0F), 0);
  lines = calls(GOBJ_LINE);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_NEAR(lines[0].values[2], 0.5F, 1e-5);
  EXPECT_NEAR(lines[0].values[3], 0.7F, 1e-5);
  // h = 0.1, u = 0, v = 2: the head strokes end 0.04 back and 0.04 to either side.
  EXPECT_NEAR(lines[1].values[3], 0.66F, 1e-5);
  EXPECT_NEAR(std::fabs(lines[1].values[2] - 0.5F), 0.04F, 1e-5);
  EXPECT_NEAR(lines[1].values[2] + lines[2].values[2], 1.0F, 1e-5);
  gdev_clear_calls();
  EXPECT_EQ(WIND_vect(0.5F, 0.5F, 90.0F, 0.0F, 1.0F, 1.0F), -1);
  EXPECT_EQ(WIND_vect(0.5F, 0.5F, MISSING, 3.0F, 1.0F, 1.0F), -1);
  EXPECT_EQ(WIND_barb(0.5F, 0.5F, 90.0F, MISSING, 1.0F, 0.0F), -1);
  EXPECT_TRUE(calls(GOBJ_LINE).empty());
}

// A 5 × 4 field without a map: every point a westerly of 10 but one of 30.
class Layer : public Vect {
 protected:
  void SetUp() override {
    Vect::SetUp();
    alloc_uv(5, 4);
    for (int k = 0; k < 20; ++k) u_.values[k] = 10.0F, v_.values[k] = 0.0F;
    u_.values[7] = 30.0F;
    const float win[4] = {-1.0F, 5.0F, -1.0F, 4.0F};
    draw_over(win, PLOT_VECT, "vect");
  }
  // Arrows drawn (three strokes each).
  int arrows() { return static_cast<int>(calls(GOBJ_LINE).size()) / 3; }
};

TEST_F(Layer, ArrowsScaledToTheStrongestThenCutsAndSkips) {
  ASSERT_EQ(VECT_draw(&u_, &v_), 0);
  EXPECT_EQ(arrows(), 20);
  // The strongest arrow is one grid spacing long, the others a third of it.
  std::vector<float> lengths;
  const auto lines = calls(GOBJ_LINE);
  for (std::size_t i = 0; i < lines.size(); i += 3)
    lengths.push_back(std::fabs(lines[i].values[2] - lines[i].values[0]));
  const float longest = *std::max_element(lengths.begin(), lengths.end());
  const float shortest = *std::min_element(lengths.begin(), lengths.end());
  EXPECT_NEAR(shortest / longest, 1.0F / 3.0F, 1e-4);
  // Cuts and skips.
  gdev_clear_calls();
  VECT_set_cuts(MISSING, 30.0F);
  ASSERT_EQ(VECT_draw(&u_, &v_), 0);
  EXPECT_EQ(arrows(), 19);  // at the maximum cut is skipped
  gdev_clear_calls();
  VECT_set_cuts(10.0F, MISSING);
  ASSERT_EQ(VECT_draw(&u_, &v_), 0);
  EXPECT_EQ(arrows(), 1);  // at the minimum cut is skipped too
  gdev_clear_calls();
  VECT_set_cuts(MISSING, MISSING);
  VECT_param_decode("wv_skip2:3");
  ASSERT_EQ(VECT_draw(&u_, &v_), 0);
  EXPECT_EQ(arrows(), 3 * 2);
}

// With an interval the arrows take the colour of their speed's band above the base from
// the fill colour list, going round the list as the contour bands do; below the map the
// layer asks for "INTERVAL" and "MAX" with the units, and "nolr" switches the lower-right
// label off.
TEST_F(Vect, SpeedsTakeTheirBandColourRoundTheList) {
  alloc_uv(8, 1);
  // Westerlies of 1, 6, 11, ..., 36: bands 0 to 7 of 5 from 0.
  for (int k = 0; k < 8; ++k) u_.values[k] = 1.0F + 5.0F * static_cast<float>(k), v_.values[k] = 0.0F;
  copy_bounded(u_.units, sizeof u_.units, "knt");
  RES_put("color_fill", "red,green,blue");
  CONT_set_fill_colors(nullptr, 0);
  const float win[4] = {-1.0F, 8.0F, -4.0F, 4.0F};
  FLAG_setplot(DRAW_TEXT_LR, 1);
  draw_over(win, PLOT_VECT, "vect:in=5:cb=0");
  EXPECT_STREQ(VECT_get_frame_label(3), "INTERVAL:   5.0 knt");
  EXPECT_STREQ(VECT_get_frame_label(5), "MAX:  36.0 knt");
  EXPECT_STREQ(VECT_get_frame_label(4), "");
  ASSERT_EQ(VECT_draw(&u_, &v_), 0);
  const int want[3] = {CLR_get_ind("red"), CLR_get_ind("green"), CLR_get_ind("blue")};
  int colour = -1;
  std::vector<std::pair<float, int>> arrows;  // start x and colour of each shaft
  const auto all = gdev_calls();
  int lines = 0;
  for (const GksCall& c : all) {
    if (c.code == GOBJ_LCOLR) colour = c.arg;
    if (c.code == GOBJ_LINE && lines++ % 3 == 0) arrows.emplace_back(c.values[0], colour);
  }
  ASSERT_EQ(arrows.size(), 8u);
  std::sort(arrows.begin(), arrows.end());
  for (int k = 0; k < 8; ++k) EXPECT_EQ(arrows[static_cast<std::size_t>(k)].second, want[k % 3]) << k;
  // Without an interval no band: one colour, and no interval label.
  draw_over(win, PLOT_VECT, "vect:nolr");
  EXPECT_STREQ(VECT_get_frame_label(3), "");
  EXPECT_EQ(FLAG_getplot(DRAW_TEXT_LR), 0);
  FLAG_setplot(DRAW_TEXT_LR, 1);
  RES_put("color_fill", "");
}

// Streamlines of analytic fields on a 21 × 21 grid without a map.
class Stream : public Vect {
 protected:
  void make(float (*fu)(float, float), float (*fv)(float, float)) {
    alloc_uv(21, 21);
    for (int r = 0; r < 21; ++r)
      for (int i = 0; i < 21; ++i) {
        const float y = static_cast<float>(20 - r), x = static_cast<float>(i);
        u_.values[r * 21 + i] = fu(x, y), v_.values[r * 21 + i] = fv(x, y);
      }
    const float win[4] = {-1.0F, 21.0F, -1.0F, 21.0F};
    draw_over(win, PLOT_STRM, "strm");
    ASSERT_EQ(VECT_draw(&u_, &v_), 0);
    for (const GksCall& c : calls(GOBJ_LINE)) segments_.push_back(c.values);
  }
  std::vector<std::vector<float>> segments_;
};

TEST_F(Stream, UniformFlowGivesStraightEvenlySpacedLines) {
  make([](float, float) { return 10.0F; }, [](float, float) { return 0.0F; });
  std::vector<float> rows;
  int shafts = 0;
  for (const auto& p : segments_) {
    ASSERT_EQ(p.size(), 4U);
    if (p[2] - p[0] < 0.2F) continue;  // head strokes run back from the tip
    EXPECT_NEAR(p[1], p[3], 1e-4);
    ++shafts;
    if (std::find_if(rows.begin(), rows.end(), [&](float y) { return std::fabs(y - p[1]) < 1e-3; }) == rows.end())
      rows.push_back(p[1]);
  }
  // One line a row, from the west edge to the east edge in quarter steps: no two share a row.
  std::sort(rows.begin(), rows.end());
  ASSERT_EQ(rows.size(), 21U);
  for (std::size_t k = 1; k < rows.size(); ++k) EXPECT_NEAR(rows[k] - rows[k - 1], 1.0F, 1e-3);
  // 80 quarter steps a line, the last drawn again with the closing head.
  EXPECT_EQ(shafts, 21 * 81);
}

TEST_F(Stream, RotatingFlowGivesClosedLoopsRoundTheCentre) {
  make([](float, float y) { return -(y - 10.0F); }, [](float x, float) { return x - 10.0F; });
  ASSERT_FALSE(segments_.empty());
  // Every band of radius is gone round the whole way: 36 sectors of 10 degrees each met.
  for (float band : {3.0F, 5.0F, 7.0F}) {
    std::vector<bool> met(36, false);
    for (const auto& p : segments_) {
      const float x0 = p[0] - 10.0F, y0 = p[1] - 10.0F, x1 = p[2] - 10.0F, y1 = p[3] - 10.0F;
      const float r0 = std::hypot(x0, y0), r1 = std::hypot(x1, y1);
      if (std::fabs(std::hypot(x1 - x0, y1 - y0) - 0.25F) < 0.01F) {  // shafts, not heads
        EXPECT_LT(std::fabs(r1 - r0), 0.05F) << r0;
      }
      if (r0 < band || r0 >= band + 1.0F) continue;
      const double a = std::atan2(y0, x0) * 57.29577951308232 + 180.0;
      met[static_cast<std::size_t>(std::min(35, static_cast<int>(a / 10.0)))] = true;
    }
    EXPECT_EQ(std::count(met.begin(), met.end(), true), 36) << band;
  }
}

}  // namespace
