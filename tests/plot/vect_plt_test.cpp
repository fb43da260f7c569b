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
#include "plot/vect_plt.h"

namespace {

class Vect : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    FLAG_reset(MISSING_INT);
    FLAG_resetplot(1);
    MAP_domain(nullptr);
    MESS_set(0, 0);
    gopen_gks(nullptr, 0);
    gdev_register(WS_META, gdev_recorder());
    ASSERT_EQ(gopen_ws(1, "", WS_META), 0);
    const float unit[4] = {0.0F, 1.0F, 0.0F, 1.0F};
    GPH_win(2, unit);
    GPH_view(2, unit);
    GPH_trans(2);
    // The device keeps device coordinates: learn their scale from a diagonal.
    gdev_clear_calls();
    const float diag[4] = {0.0F, 0.0F, 1.0F, 1.0F};
    gpolyline(2, diag);
    const auto& d = gdev_calls().back().values;
    ASSERT_EQ(d.size(), 4U);
    x0_ = d[0], y0_ = d[1], sx_ = d[2] - d[0], sy_ = d[3] - d[1];
    gdev_clear_calls();
  }
  void TearDown() override {
    gclose_ws(1);
    gclose_gks();
    gdev_register(WS_META, nullptr);
  }
  // The kept calls with one code, their points back in unit coordinates.
  std::vector<GksCall> calls(int code) const {
    std::vector<GksCall> out;
    for (GksCall c : gdev_calls())
      if (c.code == code) {
        for (std::size_t i = 0; i + 1 < c.values.size(); i += 2)
          c.values[i] = (c.values[i] - x0_) / sx_, c.values[i + 1] = (c.values[i + 1] - y0_) / sy_;
        out.push_back(c);
      }
    return out;
  }
  float x0_ = 0, y0_ = 0, sx_ = 1, sy_ = 1;
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
  const auto& shaft = lines[0].values;
  ASSERT_EQ(shaft.size(), 4U);
  EXPECT_NEAR(shaft[0], 0.0F, 1e-5);
  EXPECT_NEAR(shaft[1], 0.0F, 1e-5);
  EXPECT_NEAR(shaft[2], 0.0F, 1e-5);
  EXPECT_NEAR(shaft[3], 1.0F, 1e-5);
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
  ASSERT_EQ(full.size(), c.full.size());
  for (std::size_t i = 0; i < full.size(); ++i) EXPECT_NEAR(full[i], c.full[i], 1e-4) << i;
  ASSERT_EQ(half.size(), c.half.size());
  for (std::size_t i = 0; i < half.size(); ++i) EXPECT_NEAR(half[i], c.half[i], 1e-4) << i;
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
TEST_F(Vect, WesterlyBarbPointsWestWithBarbsNorth) {
  ASSERT_EQ(WIND_barb(0.5F, 0.5F, 270.0F, 10.0F, 0.2F, 0.0F), 0);
  const auto lines = calls(GOBJ_LINE);
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_NEAR(lines[0].values[2], 0.3F, 1e-5);
  EXPECT_NEAR(lines[0].values[3], 0.5F, 1e-5);
  EXPECT_NEAR(lines[1].values[3], 0.6F, 1e-5);
}

TEST_F(Vect, ArrowRunsAlongTheFlowWithAHead) {
  // A south wind of 2 blows north: the tip 2 × 0.1 above the start.
  ASSERT_EQ(WIND_vect(0.5F, 0.5F, 180.0F, 2.0F, 0.1F, 1.0F), 0);
  const auto lines = calls(GOBJ_LINE);
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

TEST(VectConvert, DirectionAndSpeed) {
  struct Case {
    float u, v, dir, spd;
  };
  for (const Case& c : {Case{0, 0, 0, 0}, Case{0, -10, 0, 10}, Case{-10, 0, 90, 10}, Case{10, 0, 270, 10},
                        Case{0, 10, 180, 10}, Case{3, 4, 216.8699F, 5}}) {
    float d, s;
    ASSERT_EQ(vect2wind(c.u, c.v, &d, &s), 0);
    EXPECT_NEAR(d, c.dir, 1e-3) << c.u << "," << c.v;
    EXPECT_NEAR(s, c.spd, 1e-4);
    if (c.spd > 0) {
      float u, v;
      ASSERT_EQ(wind2vect(d, s, &u, &v), 0);
      EXPECT_NEAR(u, c.u, 1e-4);
      EXPECT_NEAR(v, c.v, 1e-4);
    }
  }
  float d = 1, s = 1, u = 1, v = 1;
  EXPECT_EQ(vect2wind(MISSING, 3.0F, &d, &s), -1);
  EXPECT_EQ(d, MISSING);
  EXPECT_EQ(s, MISSING);
  EXPECT_EQ(wind2vect(90.0F, MISSING, &u, &v), -1);
  EXPECT_EQ(u, MISSING);
  EXPECT_EQ(v, MISSING);
}

// A 5 × 4 field without a map: every point a westerly of 10 but one of 30.
class Layer : public Vect {
 protected:
  void SetUp() override {
    Vect::SetUp();
    GRD_init(&u_);
    GRD_init(&v_);
    for (GridRec* g : {&u_, &v_}) {
      DOM_init(&g->domain);
      g->domain.nx = 5, g->domain.ny = 4;
      ASSERT_EQ(GRD_alloc(g), 1);
    }
    for (int k = 0; k < 20; ++k) u_.values[k] = 10.0F, v_.values[k] = 0.0F;
    u_.values[7] = 30.0F;
    const float win[4] = {-1.0F, 5.0F, -1.0F, 4.0F};
    GPH_win(2, win);
    GPH_trans(2);
    FLAG_set(FLAG_BATCH, 1);
    VECT_set_format(PLOT_VECT, "vect");
    ASSERT_EQ(VECT_plot_setup(0, 0, &u_, &v_, nullptr, nullptr), 0);
    gdev_clear_calls();
  }
  void TearDown() override {
    GRD_free(&u_);
    GRD_free(&v_);
    Vect::TearDown();
  }
  // Arrows drawn (three strokes each).
  int arrows() { return static_cast<int>(calls(GOBJ_LINE).size()) / 3; }
  GridRec u_, v_;
};

TEST_F(Layer, EveryPointAnArrowScaledToTheStrongest) {
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
}

TEST_F(Layer, CutsAndSkips) {
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

TEST_F(Layer, InvalidGrids) {
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  MESS_reset();
  EXPECT_EQ(VECT_draw(nullptr, &v_), -1);
  v_.domain.nx = 4;
  EXPECT_EQ(VECT_draw(&u_, &v_), -1);
  v_.domain.nx = 5;
  const std::string out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("VECT_draw: Invalid grids\n"), std::string::npos);
  EXPECT_NE(out.find("VECT_draw: Invalid grid arrays\n"), std::string::npos);
}

}  // namespace
