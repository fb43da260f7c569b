// Contour tracing on analytic fields: vertices on their levels, closed lines, band
// polygons inside their bands that tile the valid cells exactly, and the rules for levels
// through grid points, flat sides and saddles.
#include "plot/cont.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "plot/maptran.h"

namespace {

struct Piece {
  int kind;
  std::vector<float> pts;
  float lo, hi;
};
std::vector<Piece> pieces;
void hook(int kind, int n, const float* p, float lo, float hi) {
  pieces.push_back({kind, std::vector<float>(p, p + 2 * n), lo, hi});
}

class ContTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    MAP_domain(nullptr);
    RES_clear();
    CONT_init();
    std::vector<AttribRec> list(16);
    for (int i = 0; i < 16; ++i) ATTRIB_init(&list[i]), list[i].color = i + 1, list[i].fill = 0;
    list[15].color = -2;
    CONT_set_fill_attribs(list.data());
    CONT_set_max_line_fact(0.0F);
    CONT_set_trace_hook(hook);
    pieces.clear();
    GRD_init(&grid_);
  }
  void TearDown() override {
    CONT_reset_state();
    GRD_free(&grid_);
  }
  // Values of f(column, row from the bottom) on an nx by ny grid.
  void make(int nx, int ny, const std::function<float(float, float)>& f) {
    DOM_init(&grid_.domain);
    grid_.domain.nx = nx, grid_.domain.ny = ny;
    ASSERT_EQ(GRD_alloc(&grid_), 1);
    for (int r = 0; r < ny; ++r)
      for (int i = 0; i < nx; ++i)
        grid_.values[r * nx + i] = f(static_cast<float>(i), static_cast<float>(ny - 1 - r));
  }
  float at(int i, int j) const { return grid_.values[(grid_.domain.ny - 1 - j) * grid_.domain.nx + i]; }
  void trace(int type, float interval, float base = MISSING) {
    CONT_set_type(type);
    CONT_set_intrvl(interval);
    CONT_set_base(base);
    ASSERT_EQ(CONT_set_cont_ext(&grid_), 0);
    ASSERT_EQ(CONT_draw_contour(&grid_), 0);
  }
  // The value at a point on a grid side, interpolated linearly along that side; the
  // distance from the side in grid lengths when the point is on none.
  float side_value(float x, float y, float* off) const {
    const float xi = std::round(x), yj = std::round(y);
    *off = std::min(std::fabs(x - xi), std::fabs(y - yj));
    if (std::fabs(x - xi) <= std::fabs(y - yj)) {
      const int i = static_cast<int>(xi), j = std::min(static_cast<int>(std::floor(y)), grid_.domain.ny - 2);
      const float t = y - static_cast<float>(j);
      return at(i, j) + t * (at(i, j + 1) - at(i, j));
    }
    const int j = static_cast<int>(yj), i = std::min(static_cast<int>(std::floor(x)), grid_.domain.nx - 2);
    const float t = x - static_cast<float>(i);
    return at(i, j) + t * (at(i + 1, j) - at(i, j));
  }
  // Largest distance of a line vertex from its level along the side it lies on, in grid
  // lengths (the difference of the side's end values is one grid length's change).
  double max_line_error() const {
    double worst = 0;
    for (const Piece& p : pieces) {
      if (p.kind != PLOT_LCONT) continue;
      for (std::size_t k = 0; k < p.pts.size(); k += 2) {
        float off;
        const float v = side_value(p.pts[k], p.pts[k + 1], &off);
        worst = std::max(worst, static_cast<double>(off));
        const float grad = slope(p.pts[k], p.pts[k + 1]);
        if (grad > 0) worst = std::max(worst, std::fabs(static_cast<double>(v - p.lo)) / grad);
      }
    }
    return worst;
  }
  float slope(float x, float y) const {
    const float xi = std::round(x), yj = std::round(y);
    if (std::fabs(x - xi) <= std::fabs(y - yj)) {
      const int i = static_cast<int>(xi), j = std::min(static_cast<int>(std::floor(y)), grid_.domain.ny - 2);
      return std::fabs(at(i, j + 1) - at(i, j));
    }
    const int j = static_cast<int>(yj), i = std::min(static_cast<int>(std::floor(x)), grid_.domain.nx - 2);
    return std::fabs(at(i + 1, j) - at(i, j));
  }
  double valid_area() const {
    double a = 0;
    for (int j = 0; j + 1 < grid_.domain.ny; ++j)
      for (int i = 0; i + 1 < grid_.domain.nx; ++i)
        if (at(i, j) != MISSING && at(i + 1, j) != MISSING && at(i, j + 1) != MISSING && at(i + 1, j + 1) != MISSING)
          a += 1;
    return a;
  }
  GridRec grid_{};
};

double area(const std::vector<float>& p) {
  double a = 0;
  const std::size_t n = p.size() / 2;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    a += static_cast<double>(p[2 * i]) * p[2 * j + 1] - static_cast<double>(p[2 * j]) * p[2 * i + 1];
  }
  return a / 2;
}

bool inside(const std::vector<float>& p, double x, double y) {
  bool in = false;
  const std::size_t n = p.size() / 2;
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const double xi = p[2 * i], yi = p[2 * i + 1], xj = p[2 * j], yj = p[2 * j + 1];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
  }
  return in;
}

// Ends of the segments of each level, counted per point: 2 everywhere on closed lines.
std::map<std::tuple<float, long, long>, int> ends(const std::vector<Piece>& pieces) {
  std::map<std::tuple<float, long, long>, int> m;
  for (const Piece& p : pieces)
    if (p.kind == PLOT_LCONT)
      for (std::size_t k = 0; k < 4; k += 2)
        ++m[{p.lo, std::lround(p.pts[k] * 1e4), std::lround(p.pts[k + 1] * 1e4)}];
  return m;
}

struct Field {
  const char* name;
  std::function<float(float, float)> f;
  float interval;
  bool closed;  // every line closes inside the grid
};

class ContFields : public ContTrace, public ::testing::WithParamInterface<Field> {};

TEST_P(ContFields, LinesOnLevelsAndBandsTileTheValidArea) {
  const Field& fld = GetParam();
  make(41, 33, fld.f);
  trace(PLOT_BCONT, fld.interval);
  ASSERT_FALSE(pieces.empty());
  EXPECT_LT(max_line_error(), 1e-4) << fld.name;
  if (fld.closed) {
    for (const auto& [key, n] : ends(pieces)) ASSERT_EQ(n % 2, 0) << fld.name << " level " << std::get<0>(key);
  }
  double sum = 0;
  for (const Piece& p : pieces) {
    if (p.kind != PLOT_FCONT) continue;
    ASSERT_GE(p.pts.size(), 6U);
    sum += std::fabs(area(p.pts));
    for (std::size_t k = 0; k < p.pts.size(); k += 2) {
      float off;
      const float v = side_value(p.pts[k], p.pts[k + 1], &off);
      if (off > 1e-5F) continue;  // a corner of a merged run lies on the grid anyway
      ASSERT_GE(v, p.lo - 1e-3F * fld.interval) << fld.name;
      ASSERT_LE(v, p.hi + 1e-3F * fld.interval) << fld.name;
    }
  }
  EXPECT_NEAR(sum / valid_area(), 1.0, 1e-6) << fld.name;
  // No point of the valid area is covered twice or left out.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> ux(0.0, 40.0), uy(0.0, 32.0);
  for (int s = 0; s < 300; ++s) {
    const double x = ux(rng), y = uy(rng);
    const int i = static_cast<int>(x), j = static_cast<int>(y);
    const bool valid = at(i, j) != MISSING && at(i + 1, j) != MISSING && at(i, j + 1) != MISSING &&
                       at(i + 1, j + 1) != MISSING;
    int hits = 0;
    for (const Piece& p : pieces)
      if (p.kind == PLOT_FCONT && inside(p.pts, x, y)) ++hits;
    ASSERT_EQ(hits, valid ? 1 : 0) << fld.name << " at " << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Analytic, ContFields,
    ::testing::Values(
        Field{"plane", [](float x, float y) { return 0.37F * x + 0.21F * y - 3.1F; }, 1.0F, false},
        Field{"cone", [](float x, float y) { return std::hypot(x - 20.3F, y - 15.8F); }, 2.0F, false},
        Field{"saddle", [](float x, float y) { return (x - 20.0F) * (x - 20.0F) - (y - 16.0F) * (y - 16.0F); }, 25.0F,
              false},
        Field{"hill", [](float x, float y) { return 50.0F * std::exp(-((x - 20) * (x - 20) + (y - 16) * (y - 16)) / 60.0F); },
              5.0F, true},
        Field{"holes",
              [](float x, float y) {
                if ((x > 5 && x < 10 && y > 5 && y < 12) || (x == 30 && y == 20)) return MISSING;
                return std::hypot(x - 20.3F, y - 15.8F);
              },
              2.0F, false},
        Field{"plateaus", [](float x, float y) { return 5.0F * std::floor(x / 4.0F) + (y > 20 ? 5.0F : 0.0F); }, 5.0F,
              false},
        Field{"waves", [](float x, float y) { return std::sin(x / 3.0F) + std::cos(y / 2.5F); }, 0.25F, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContTrace, SaddleCellCutsOffTheCornersByItsMeasure) {
  // z0 = 0, z1 = 10 below; z2 = 10, z3 = 0 above.
  make(2, 2, [](float x, float y) { return (x == 0) == (y == 0) ? 0.0F : 10.0F; });
  CONT_reset_fill_set();
  CONT_set_values(1, std::vector<float>{5.0F}.data());
  trace(PLOT_LCONT, MISSING);
  ASSERT_EQ(pieces.size(), 2U);
  // Sides 3-0 and 2-1: (1, 0.5)-(0.5, 0) and (0.5, 1)-(0, 0.5).
  EXPECT_EQ(pieces[0].pts, (std::vector<float>{0.5F, 0.0F, 1.0F, 0.5F}));
  EXPECT_EQ(pieces[1].pts, (std::vector<float>{0.0F, 0.5F, 0.5F, 1.0F}));
}

TEST_F(ContTrace, LevelThroughGridPointsIsOneUnbrokenLine) {
  // Column 2 holds exactly the level 20: one line along it, drawn once, ends at the edges.
  make(5, 4, [](float x, float) { return 10.0F * x; });
  CONT_reset_fill_set();
  CONT_set_values(1, std::vector<float>{20.0F}.data());
  trace(PLOT_LCONT, MISSING);
  ASSERT_EQ(pieces.size(), 3U);
  for (const Piece& p : pieces) {
    EXPECT_EQ(p.pts[0], 2.0F);
    EXPECT_EQ(p.pts[2], 2.0F);
  }
  const auto e = ends(pieces);
  EXPECT_EQ(e.size(), 4U);  // rows 0..3 of column 2, the inner ones shared by two segments
}

TEST_F(ContTrace, FlatCellsAtTheLevelDrawNothingButTheirEdgeToLowerGround) {
  make(4, 3, [](float x, float) { return x < 2 ? 5.0F : 0.0F; });
  CONT_reset_fill_set();
  CONT_set_values(1, std::vector<float>{5.0F}.data());
  trace(PLOT_LCONT, MISSING);
  // Nothing inside the plateau; its edge is the line between columns 1 and 2.
  for (const Piece& p : pieces) {
    EXPECT_GE(p.pts[0], 1.0F);
    EXPECT_LE(p.pts[0], 2.0F);
  }
  EXPECT_FALSE(pieces.empty());
}

// A valley floor exactly at a level (the square of columns and rows 2 to 4 at 10, the
// ground rising round it) is outlined at that level: its eight unit sides, each once, and
// nothing inside it or on the grid's edge; the same floor in a fill-with-lines plot too.
TEST_F(ContTrace, FlatValleyFloorAtALevelIsOutlined) {
  make(7, 7, [](float x, float y) {
    return 10.0F + 4.0F * (std::max(0.0F, std::fabs(x - 3.0F) - 1.0F) + std::max(0.0F, std::fabs(y - 3.0F) - 1.0F));
  });
  for (const int type : {PLOT_LCONT, PLOT_BCONT}) {
    pieces.clear();
    trace(type, 5.0F, 0.0F);
    std::set<std::vector<float>> sides;
    int count = 0;
    for (const Piece& p : pieces) {
      if (p.kind != PLOT_LCONT || p.lo != 10.0F) continue;
      ++count;
      ASSERT_EQ(p.pts.size(), 4U);
      std::vector<float> seg = p.pts;
      if (std::make_pair(seg[0], seg[1]) > std::make_pair(seg[2], seg[3])) seg = {seg[2], seg[3], seg[0], seg[1]};
      // On the square's boundary, a unit long.
      EXPECT_TRUE((seg[0] == seg[2] && (seg[0] == 2.0F || seg[0] == 4.0F)) ||
                  (seg[1] == seg[3] && (seg[1] == 2.0F || seg[1] == 4.0F)))
          << seg[0] << "," << seg[1] << " " << seg[2] << "," << seg[3];
      EXPECT_EQ(std::hypot(seg[2] - seg[0], seg[3] - seg[1]), 1.0F);
      sides.insert(seg);
    }
    EXPECT_EQ(count, 8) << type;
    EXPECT_EQ(sides.size(), 8U) << type;
  }
}

TEST_F(ContTrace, CellWithMissingCornerStaysBlank) {
  make(3, 3, [](float x, float y) { return x == 2 && y == 2 ? MISSING : x + y; });
  for (int type : {PLOT_LCONT, PLOT_FCONT}) {
    pieces.clear();
    trace(type, 0.5F);
    for (const Piece& p : pieces)
      for (std::size_t k = 0; k < p.pts.size(); k += 2)
        EXPECT_FALSE(p.pts[k] > 1.0F && p.pts[k + 1] > 1.0F) << type;
  }
}

TEST_F(ContTrace, CutoffsBoundTheBandsAndLines) {
  make(11, 3, [](float x, float) { return 10.0F * x; });
  CONT_set_cutoff(72.0F, 15.0F);
  trace(PLOT_BCONT, 10.0F);
  for (const Piece& p : pieces)
    for (std::size_t k = 0; k < p.pts.size(); k += 2) {
      EXPECT_GE(p.pts[k], 1.5F - 1e-5F);
      EXPECT_LE(p.pts[k], 7.2F + 1e-5F);
    }
}

TEST_F(ContTrace, StepCellsBeyondTheLevelLimitAreSkipped) {
  make(3, 2, [](float x, float) { return x == 2 ? 1000.0F : x; });
  CONT_set_max_line_fact(5.0F);
  trace(PLOT_LCONT, 1.0F);
  for (const Piece& p : pieces) EXPECT_LE(std::max(p.pts[0], p.pts[2]), 1.0F);
}

}  // namespace
