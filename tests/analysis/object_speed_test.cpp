// The analysis's weights and its search for the points a station reaches, at their edges.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "analysis/grd_tool.h"
#include "analysis/object.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "plot/maptran.h"

namespace {

constexpr float MISS = -9999.0f;

// Unit-spaced latitude-longitude grid: column c at x = c - (nx-1)/2, row r at y = (ny-1)/2 - r.
struct Grid {
  DomainRec dom;
  std::vector<float> x, y;
  std::vector<std::vector<float>> data, values;
  std::vector<GridRec> grids = std::vector<GridRec>(GRD_MAX_SLOTS);

  Grid(int nx, int ny, int nfield)
      : dom{2, 0, 0, MISS, MISS, MISS, MISS, MISS, 0, 0, 1, 1, nx, ny, 0}, data(nfield), values(nfield) {
    for (int k = 0; k < nfield; ++k) {
      values[k].assign(static_cast<std::size_t>(nx) * ny, 0.0f);
      grids[k].domain = dom;
      grids[k].values = values[k].data();
    }
  }
  void add(float col, float row, std::vector<float> v) {
    x.push_back(col - (dom.nx - 1) / 2.0f);
    y.push_back((dom.ny - 1) / 2.0f - row);
    for (std::size_t k = 0; k < data.size(); ++k) data[k].push_back(v[k]);
  }
  // Fresh copies of the inputs each time, so that two runs see the same.
  std::vector<std::vector<float>> run(bool fast, float filter, float radius, int passes, float subst) {
    std::vector<float> xs = x, ys = y;
    std::vector<std::vector<float>> d = data;
    std::vector<float*> ptrs(GRD_MAX_SLOTS, nullptr);
    for (std::size_t k = 0; k < d.size(); ++k) ptrs[k] = d[k].data();
    OBJ_initialize();
    OBJ_set_buddy(0.0f, 4);
    OBJ_set_miss_val(subst);
    char text[64];
    std::snprintf(text, sizeof text, "%.9g,%.9g,%d,0.3,1", filter, radius, passes);
    RES_put("object_param", text);
    EXPECT_EQ((fast ? OBJ_analyze : OBJ_analyze_direct)(xs.data(), ys.data(), ptrs.data(), static_cast<int>(xs.size()),
                                                         static_cast<int>(d.size()), grids.data()),
              0);
    RES_put("object_param", nullptr);
    return values;
  }
};

class ObjSpeedTest : public testing::Test {
 protected:
  void SetUp() override {
    MESS_reset();
    MESS_set(0, MESS_PRINT);
    MAP_domain(nullptr);
  }
  void TearDown() override {
    RES_put("object_param", nullptr);
    MESS_reset();
  }
};

// Two stations on a row of the grid, values 0 at distance 3 and 1 at distance b, weigh in at
// the point between them as w_b / (w_3 + w_b), w = exp(-d^2 / filter) rounded to float;
// b is chosen so that the exponents differ by 0.5, which keeps the ratio sensitive to
// either weight. The filters take the exponent from 0.5 into the float denormals; beyond 104
// the weights are 0 and the point has no value.
TEST_F(ObjSpeedTest, WeightIsTheExponential) {
  const float filters[] = {18.0f, 4.0f, 1.0f, 0.5f, 0.2f, 0.12f, 0.1035f, 9.0f / 95.0f, 9.0f / 102.0f, 9.0f / 110.0f};
  for (const float filter : filters) {
    const float b = std::sqrt(9.0f - 0.5f * filter);
    Grid g(13, 3, 1);
    g.add(9.0f, 1.0f, {0.0f});
    g.add(6.0f - b, 1.0f, {1.0f});
    const float got = g.run(true, filter, 4.0f, 1, MISS)[0][1 * 13 + 6];
    const float d2a = 9.0f, d2b = b * b;
    const double wa = static_cast<float>(std::exp(-static_cast<double>(d2a / filter)));
    const double wb = static_cast<float>(std::exp(-static_cast<double>(d2b / filter)));
    if (wa + wb == 0.0) {
      EXPECT_EQ(got, MISS) << filter;
      continue;
    }
    const double want = wb / (wa + wb);
    EXPECT_NEAR(got, want, 2e-7 * want) << filter;
    EXPECT_GT(want, 0.3) << filter;
  }
}

// Fast and plain loops agree bit for bit where the search is at its edges: stations on
// lattice points at exactly the radius, on rows at exactly the radius, a radius wider than
// the grid, stations without a position or far off the grid, missing values substituted.
TEST_F(ObjSpeedTest, EdgesOfTheSearchBitForBit) {
  const struct { int nx, ny; float radius, filter; int passes; float subst; bool lattice; } rows[] = {
      {21, 17, 3.0f, 1.0f, 3, MISS, true},   {21, 17, 2.0f, 0.5f, 2, 0.0f, true},
      {40, 9, 5.0f, 3.0f, 3, -1.0f, true},   {15, 11, 50.0f, 20.0f, 2, MISS, false},
      {33, 27, 1.0f, 0.3f, 3, 5.0f, false},  {160, 130, 3.0f, 1.0f, 3, MISS, false},
      {64, 3, 7.5f, 2.0f, 1, MISS, false}};
  std::mt19937 gen(35);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const auto& r : rows) {
    Grid g(r.nx, r.ny, 2);
    for (int s = 0; s < 3 * r.nx * r.ny / 4; ++s) {
      float col = unit(gen) * (r.nx + 8) - 4, row = unit(gen) * (r.ny + 8) - 4;
      if (r.lattice) {
        col = std::round(col);
        row = std::round(row);
      }
      if (s % 53 == 0) col = nan;
      if (s % 61 == 0) row = 1e30f;
      const float v0 = s % 7 == 0 ? MISS : 10.0f + std::sin(0.3f * col) * row;
      const float v1 = s % 5 == 0 ? MISS : -3.0f + 0.01f * col;
      g.add(col, row, {v0, v1});
    }
    const auto fast = g.run(true, r.filter, r.radius, r.passes, r.subst);
    const auto direct = g.run(false, r.filter, r.radius, r.passes, r.subst);
    EXPECT_TRUE(fast == direct) << r.nx << "x" << r.ny << " radius " << r.radius;
    long filled = 0;
    for (float v : fast[0]) filled += v != MISS;
    EXPECT_GT(filled, 0) << r.nx << "x" << r.ny;
  }
}

}  // namespace
