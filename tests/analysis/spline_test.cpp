// Natural cubic splines and the chord-length curve through plane points.
#include "analysis/spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "config/missing.h"

namespace {

// Through (0,0), (1,1), (2,0) the natural spline has y'' = -3 in the middle and is
// 0.6875 half way along the first interval; beyond the ends the end cubics go on.
TEST(Spline, NaturalSplineThroughThreePoints) {
  const float t[] = {0, 1, 2}, v[] = {0, 1, 0};
  const std::vector<float> y2 = SPLINE_create(3, t, v);
  ASSERT_EQ(y2.size(), 3u);
  EXPECT_FLOAT_EQ(y2[0], 0.0f);
  EXPECT_FLOAT_EQ(y2[1], -3.0f);
  EXPECT_FLOAT_EQ(y2[2], 0.0f);
  const struct { float u, want; } cases[] = {{0, 0}, {0.5f, 0.6875f}, {1, 1}, {1.5f, 0.6875f}, {2, 0},
                                             {-1, -1}, {3, -1}};
  for (const auto& c : cases) EXPECT_NEAR(SPLINE_interp(3, y2, t, v, c.u), c.want, 1e-5f) << c.u;
}

// Straight data stay straight; a cubic's inner points come out close to it; degenerate
// inputs give what they can and never divide by zero.
TEST(Spline, StraightCubicAndDegenerateInput) {
  const float t[] = {0, 0.5f, 2, 3, 4.5f}, lin[] = {1, 2, 5, 7, 10};
  const std::vector<float> y2 = SPLINE_create(5, t, lin);
  for (const float u : {0.0f, 0.25f, 1.0f, 2.7f, 4.5f, 5.0f}) EXPECT_NEAR(SPLINE_interp(5, y2, t, lin, u), 1 + 2 * u, 1e-5f) << u;
  EXPECT_TRUE(SPLINE_create(0, t, lin).empty());
  EXPECT_EQ(SPLINE_interp(0, y2, t, lin, 1.0f), MISSING);
  const std::vector<float> one = SPLINE_create(1, t, lin);
  EXPECT_EQ(SPLINE_interp(1, one, t, lin, 3.0f), 1.0f);
  const float same[] = {0, 1, 1, 2}, val[] = {0, 1, 5, 2};
  for (const float y : SPLINE_create(4, same, val)) EXPECT_TRUE(std::isfinite(y));
}

// Chord lengths along a right angle, and the curve passing through its points.
TEST(Spline, CurveByChordLength) {
  const float x[] = {0, 3, 3, 0}, y[] = {0, 4, 8, 12};
  float s[4];
  std::vector<float> y2x, y2y;
  ASSERT_EQ(SPLINE_create2(4, x, y, s, &y2x, &y2y), 1);
  EXPECT_FLOAT_EQ(s[0], 0.0f);
  EXPECT_FLOAT_EQ(s[1], 5.0f);
  EXPECT_FLOAT_EQ(s[2], 9.0f);
  EXPECT_FLOAT_EQ(s[3], 14.0f);
  for (int i = 0; i < 4; ++i) {
    float px = 0, py = 0;
    ASSERT_EQ(SPLINE_interp2(4, y2x, y2y, x, y, s, &px, &py, s[i]), 1);
    EXPECT_NEAR(px, x[i], 1e-5f);
    EXPECT_NEAR(py, y[i], 1e-5f);
  }
  float px = 0, py = 0;
  SPLINE_interp2(4, y2x, y2y, x, y, s, &px, &py, 7.0f);
  EXPECT_GT(px, 3.0f);  // the smooth curve bulges past the corner
  EXPECT_EQ(SPLINE_create2(0, x, y, s, &y2x, &y2y), 0);
}

}  // namespace
