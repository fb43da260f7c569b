// Grid records: bilinear lookup, extremes, life cycle, grid factor, units, point
// coordinates against the map transform, and derived variables through the slot table.
#include "analysis/grd_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "files/date.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/unittool.h"
#include "surface/var_tool.h"

namespace {

constexpr float kMiss = -9999.0f;

DomainRec make_domain(int proj, float clat, float clon, int nx, int ny, float dx, float dy) {
  DomainRec d;
  DOM_init(&d);
  d.proj = proj;
  d.clat = clat;
  d.clon = clon;
  d.nx = nx;
  d.ny = ny;
  d.dx = dx;
  d.dy = dy;
  return d;
}

// A record that owns its values for the test's lifetime.
struct TestGrid {
  GridRec g;
  TestGrid(int nx, int ny, std::vector<float> values, const DomainRec* domain = nullptr) {
    std::memset(&g, 0, sizeof g);
    GRD_init(&g);
    g.domain = domain ? *domain : make_domain(2, 40, -100, nx, ny, 1, 1);
    g.domain.nx = nx;
    g.domain.ny = ny;
    EXPECT_EQ(GRD_alloc(&g), 1);
    for (std::size_t k = 0; k < values.size(); ++k) g.values[k] = values[k];
  }
  ~TestGrid() { GRD_free(&g); }
};

// 3 x 3 grid with value 10*row + column.
std::vector<float> ramp() { return {0, 1, 2, 10, 11, 12, 20, 21, 22}; }

struct ValueCase {
  float x, y, expected;
  int missing_index;  // -1: none
};

class BilinearTest : public testing::TestWithParam<ValueCase> {};

TEST_P(BilinearTest, ExactValue) {
  const ValueCase& c = GetParam();
  std::vector<float> v = ramp();
  if (c.missing_index >= 0) v[c.missing_index] = kMiss;
  TestGrid t(3, 3, v);
  EXPECT_FLOAT_EQ(GRD_get_value(&t.g, c.x, c.y), c.expected) << c.x << "," << c.y;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BilinearTest,
    testing::Values(ValueCase{0, 0, 0, -1}, ValueCase{1.5f, 0.5f, 6.5f, -1}, ValueCase{0.25f, 1.75f, 17.75f, -1},
                    // Last column exactly: right-hand neighbours fall back to the point itself.
                    ValueCase{2, 1, 12, -1}, ValueCase{2, 0.5f, 7, -1}, ValueCase{2.0f - 1e-7f, 0, 2, -1},
                    // Just beyond the last column / row, and before the first.
                    ValueCase{2.01f, 0, kMiss, -1}, ValueCase{0, 2.01f, kMiss, -1}, ValueCase{-0.001f, 0, kMiss, -1},
                    ValueCase{0, -0.001f, kMiss, -1}, ValueCase{NAN, 0, kMiss, -1},
                    // Last row interpolates along x only.
                    ValueCase{0.5f, 2, 20.5f, -1}, ValueCase{2, 2, 22, -1},
                    // A missing corner spoils the value even with weight 0.
                    ValueCase{0, 0, kMiss, 4}, ValueCase{1, 1, kMiss, 5}, ValueCase{0.5f, 2, kMiss, 7},
                    ValueCase{2, 0, kMiss, 5}, ValueCase{2, 0, 2, 4}));

TEST(GridValues, NoValuesOrNoGridIsMissing) {
  GridRec g;
  GRD_init(&g);
  g.domain = make_domain(2, 40, -100, 3, 3, 1, 1);
  EXPECT_EQ(GRD_get_value(&g, 1, 1), kMiss);
  EXPECT_EQ(GRD_get_value(nullptr, 1, 1), kMiss);
  float hi = 1, lo = 1;
  EXPECT_EQ(GRD_maxmin(&g, &hi, &lo), -1);
  EXPECT_EQ(hi, kMiss);
  EXPECT_EQ(lo, kMiss);
  EXPECT_EQ(GRD_units(&g, "C"), -1);
  float m = 0;
  EXPECT_EQ(GRD_UVmax(&g, &g, &m), -1.0f);
}

TEST(GridValues, MaxMinSeedsFromFirstValidValue) {
  const struct {
    std::vector<float> v;
    float hi, lo;
  } cases[] = {
      {{kMiss, kMiss, 5, 3, 7, kMiss}, 7, 3},
      {{kMiss, -2, kMiss, -8, kMiss, kMiss}, -2, -8},
      {{kMiss, kMiss, kMiss, kMiss, kMiss, kMiss}, kMiss, kMiss},
      {{4, 4, 4, 4, 4, 4}, 4, 4},
  };
  for (const auto& c : cases) {
    TestGrid t(3, 2, c.v);
    float hi = 0, lo = 0;
    EXPECT_EQ(GRD_maxmin(&t.g, &hi, &lo), 0);
    EXPECT_EQ(hi, c.hi);
    EXPECT_EQ(lo, c.lo);
  }
}

TEST(GridValues, EditNearestPoint) {
  TestGrid t(3, 2, std::vector<float>(6, 0.0f));
  const struct {
    float x, y;
    int set, index;
  } cases[] = {{0, 0, 1, 0}, {1.4f, 0.6f, 1, 4}, {2.49f, 1.49f, 1, 5}, {2.5f, 0, 0, -1}, {0, 1.5f, 0, -1}, {-0.1f, 0, 0, -1}};
  for (const auto& c : cases) {
    std::fill(t.g.values, t.g.values + 6, 0.0f);
    EXPECT_EQ(GRD_edit_value(&t.g, c.x, c.y, 9), c.set) << c.x << "," << c.y;
    for (int k = 0; k < 6; ++k) EXPECT_EQ(t.g.values[k], k == c.index ? 9 : 0);
  }
}

TEST(GridValues, ScaleOffsetAndUVmaxSkipMissingAndZero) {
  TestGrid t(2, 2, {1, kMiss, -3, 4});
  GRD_scale(&t.g, 2);
  GRD_offset(&t.g, 1);
  EXPECT_EQ(t.g.values[0], 3);
  EXPECT_EQ(t.g.values[1], kMiss);
  EXPECT_EQ(t.g.values[2], -5);
  EXPECT_EQ(t.g.values[3], 9);

  TestGrid u(2, 2, {0, 3, kMiss, 1}), v(2, 2, {100, 4, 50, 1});
  float m = 0;
  EXPECT_FLOAT_EQ(GRD_UVmax(&u.g, &v.g, &m), 5);  // u = 0 with v = 100 does not count
  EXPECT_FLOAT_EQ(m, 5);
  TestGrid z(2, 2, {0, 0, kMiss, 0});
  EXPECT_EQ(GRD_UVmax(&z.g, &v.g, &m), kMiss);
  EXPECT_EQ(m, kMiss);
}

TEST(GridLifeCycle, AllocRejectsBadSizes) {
  const int sizes[][2] = {{0, 5}, {5, 0}, {-3, 4}, {-9999, 2}, {100000, 100000}};
  for (const auto& s : sizes) {
    GridRec g;
    GRD_init(&g);
    g.domain = make_domain(2, 0, 0, s[0], s[1], 1, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_alloc(&g), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_alloc: No memory for grid field\n");
    EXPECT_EQ(g.values, nullptr);
  }
}

TEST(GridLifeCycle, CopyInfoMoveAndFree) {
  const DomainRec dom = make_domain(4, 35, -95, 4, 3, 2.5f, 2.5f);
  TestGrid src(4, 3, std::vector<float>(12, 1.5f), &dom);
  src.g.type = 2;
  src.g.source = 1;
  src.g.version = 1;
  src.g.model = 1;
  src.g.time = 6;
  std::strcpy(src.g.label, "18Z SAT  5 DEC 26");
  std::strcpy(src.g.units, "F");
  std::strcpy(src.g.datatype, "Temperature (F)");

  GridRec dst;
  GRD_init(&dst);
  dst.time = 12;
  dst.var = 11;
  std::strcpy(dst.datatype, "mine");
  GRD_copy_info(&dst, &src.g);
  EXPECT_EQ(dst.values, nullptr);
  EXPECT_STREQ(dst.label, src.g.label);
  EXPECT_STREQ(dst.units, "F");
  EXPECT_EQ(dst.type, 2);
  EXPECT_EQ(dst.source, 1);
  EXPECT_EQ(dst.version, 1);
  EXPECT_EQ(dst.model, 1);
  EXPECT_EQ(DOM_comp(&dst.domain, &dom), 1);
  EXPECT_EQ(dst.time, 12);  // left as it was
  EXPECT_EQ(dst.var, 11);
  EXPECT_EQ(dst.ltype, -9999);
  EXPECT_STREQ(dst.datatype, "mine");

  GridRec moved;
  GRD_init(&moved);
  GRD_move(&moved, &src.g);
  EXPECT_EQ(src.g.values, nullptr);
  EXPECT_EQ(src.g.source, 0);
  ASSERT_NE(moved.values, nullptr);
  EXPECT_EQ(moved.values[11], 1.5f);
  GRD_free(&moved);
  EXPECT_EQ(moved.values, nullptr);
  EXPECT_EQ(moved.source, 0);
  EXPECT_EQ(moved.domain.proj, -9999);
  EXPECT_EQ(moved.domain.nx, -9999);
}

TEST(GridSlots, LazyTableAndGridFactor) {
  GridRec* table = GRD_get_grids();
  EXPECT_EQ(table, GRD_get_grid(0));
  EXPECT_EQ(table + 59, GRD_get_grid(59));
  EXPECT_EQ(table[7].var, -9999);
  EXPECT_EQ(table[7].source, 0);
  EXPECT_EQ(table[7].values, nullptr);
  // A field without a grid type in slot 0 does not look like an unused table.
  GridRec odd;
  std::memset(&odd, 0, sizeof odd);
  GRD_init(&odd);
  odd.type = -9999;
  odd.source = 7;
  table[5].source = 3;
  GRD_set_grid(0, &odd);
  EXPECT_EQ(GRD_get_grid(0)->type, -9999);
  EXPECT_EQ(GRD_get_grid(0)->source, 7);
  EXPECT_EQ(GRD_get_grid(5)->source, 3);
  GRD_set_grid(0, nullptr);
  table[5].source = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_get_grid(60), nullptr);
  EXPECT_EQ(GRD_get_grid(-1), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "GRD_get_grid: Invalid grid slot: 60\nGRD_get_grid: Invalid grid slot: -1\n");

  const DomainRec dom = make_domain(1, 45, -100, 25, 17, 1.2f, 1.2f);
  table[3].source = 1;
  table[3].version = 1;
  GRD_set_grid_factor(0);  // ignored
  GRD_set_grid_factor(2);
  GRD_set_grid_factor(-4);  // ignored
  EXPECT_EQ(GRD_get_grid_factor(), 2);
  GRD_set_grid_domain(3, &dom);
  GRD_set_grid_factor(1);
  EXPECT_EQ(table[3].source, 0);
  EXPECT_EQ(table[3].version, 0);
  EXPECT_EQ(table[3].domain.nx, 49);
  EXPECT_EQ(table[3].domain.ny, 33);
  EXPECT_FLOAT_EQ(table[3].domain.dx, 0.6f);
  EXPECT_FLOAT_EQ(table[3].domain.dy, 0.6f);
  EXPECT_FLOAT_EQ(table[3].domain.clat, 45);
  GRD_set_grid_domain(3, &dom);
  EXPECT_EQ(table[3].domain.nx, 25);

  GRD_set_grid_info(3, "A very long description that does not fit into the seventy byte data type field");
  EXPECT_EQ(std::strlen(GRD_get_grid_info(3)), 69u);
  DateRec date{2026, 12, 5, 339, 6, 18, 0, 0};
  GRD_set_grid_date(3, &date, "18Z SAT  5 DEC 26");
  EXPECT_EQ(table[3].date.hour, 18);
  EXPECT_STREQ(table[3].label, "18Z SAT  5 DEC 26");
}

TEST(GridInfoRecord, DateSizeAndLabel) {
  DateRec date{2026, 12, 5, 339, 6, 18, 0, 0};
  const DomainRec dom = make_domain(1, 45, -100, 25, 17, 1.2f, 1.2f);
  GridInfo info;
  std::memset(&info, 0x55, sizeof info);
  GRD_set_info(&info, &date, &dom);
  char expected[DATE_LABEL_LEN];
  DATE_make_label(&date, expected);
  expected[39] = '\0';
  EXPECT_STREQ(info.label, expected);
  EXPECT_GT(std::strlen(info.label), 0u);
  EXPECT_EQ(info.nx, 25);
  EXPECT_EQ(info.ny, 17);
  EXPECT_EQ(info.grid_type, 0);
  EXPECT_EQ(info.date.day, 5);
}

TEST(GridPrint, ValueTexts) {
  TestGrid u(2, 2, {1, 2, 3, 4}), v(2, 2, {5, 6, kMiss, 8});
  MESS_reset();
  testing::internal::CaptureStdout();
  GRD_print_value(&u.g, 0.5f, 0);
  GRD_print_value(&v.g, 0, 1);
  GRD_print_value2(&u.g, &v.g, 1, 0);
  GRD_print_value2(&u.g, &v.g, 0, 1);
  GRD_print_value2(&v.g, &u.g, 0, 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Grid:   0.50,  0.00 =   1.50\n"
            "Grid:   0.00,  1.00\n"
            "Grid:   1.00,  0.00 =   2.00,  6.00\n"
            "Grid:   0.00,  1.00 =   3.00\n"
            "Grid:   0.00,  1.00 = ,  3.00\n");
}

TEST(GridUnits, FahrenheitToCelsiusRewritesLabel) {
  RES_put("file_path", STACONT_DATA_DIR);
  UNIT_reset();
  TestGrid t(2, 2, {32, 212, kMiss, 50});
  std::strcpy(t.g.units, "F");
  std::strcpy(t.g.datatype, "Temperature (F)");
  EXPECT_EQ(GRD_units(&t.g, "C"), 0);
  EXPECT_NEAR(t.g.values[0], 0, 1e-4);
  EXPECT_NEAR(t.g.values[1], 100, 1e-4);
  EXPECT_EQ(t.g.values[2], kMiss);
  EXPECT_NEAR(t.g.values[3], 10, 1e-4);
  EXPECT_STREQ(t.g.units, "C");
  EXPECT_STREQ(t.g.datatype, "Temperature (C)");
  // Empty target: values and units stay.
  EXPECT_EQ(GRD_units(&t.g, ""), 0);
  EXPECT_NEAR(t.g.values[3], 10, 1e-4);
  EXPECT_STREQ(t.g.units, "C");
}

class GridMapTest : public testing::Test {
 protected:
  // A Lambert grid over the central United States, odd sizes so the centre is a point.
  DomainRec dom = make_domain(4, 38, -97, 9, 7, 1.5f, 1.5f);
  DomainRec saved;
  void SetUp() override {
    dom.p3 = 25;
    dom.p4 = 25;
    dom.plon = -95;
    DomainRec other = make_domain(1, 60, -150, 5, 5, 2, 2);
    MAP_domain(&other);
    MAP_get_domain(&saved);
  }
  void TearDown() override {
    DomainRec now;
    MAP_get_domain(&now);
    EXPECT_EQ(DOM_comp(&now, &saved), 1) << "current domain not restored";
  }
  // Map position of grid point (i, j) under the grid's domain, then back to the test's.
  void point(int i, int j, float* x, float* y) {
    MAP_domain(&dom);
    MAP_grid_tran(x, y, static_cast<float>(i), static_cast<float>(j));
    MAP_domain(&saved);
  }
};

TEST_F(GridMapTest, PointLocateMatchesInverseTransform) {
  for (const char* what : {"lat", "lon", "projx", "projy"}) {
    std::vector<float> v(63, 1.0f);
    v[10] = kMiss;
    TestGrid t(9, 7, v, &dom);
    ASSERT_EQ(GRD_point_locate(&t.g, what), 0);
    EXPECT_EQ(t.g.values[10], kMiss);
    EXPECT_EQ(t.g.var, 0);
    const bool geo = what[0] == 'l';
    EXPECT_STREQ(t.g.units, geo ? "deg" : "");
    EXPECT_STREQ(t.g.datatype, !std::strcmp(what, "lat")   ? "Latitude (deg)"
                               : !std::strcmp(what, "lon") ? "Longitude (deg)"
                               : !std::strcmp(what, "projx") ? "Projection X"
                                                             : "Projection Y");
    for (int j = 0; j < 7; ++j) {
      for (int i = 0; i < 9; ++i) {
        if (j * 9 + i == 10) continue;
        float x, y, lat, lon;
        point(i, j, &x, &y);
        MAP_domain(&dom);
        ASSERT_EQ(MAP_untran(&lat, &lon, x, y), 1);
        MAP_domain(&saved);
        const float expected = what[0] == 'p' ? (what[4] == 'x' ? x : y) : (what[1] == 'a' ? lat : lon);
        EXPECT_NEAR(t.g.values[j * 9 + i], expected, 1e-3) << what << " " << i << "," << j;
      }
    }
  }
  // The centre point is the domain's centre.
  TestGrid c(9, 7, std::vector<float>(63, 0.0f), &dom);
  GRD_point_locate(&c.g, "lat");
  EXPECT_NEAR(c.g.values[3 * 9 + 4], 38, 1e-4);
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_point_locate(&c.g, "height"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_point_locate: Unknown coordinate: height\n");
}

TEST_F(GridMapTest, ProjXYOwnAndOtherDomain) {
  TestGrid t(9, 7, std::vector<float>(63, 0.0f), &dom);
  float* X = nullptr;
  float* Y = nullptr;
  ASSERT_EQ(GRD_proj_XY(&t.g, &dom, &X, &Y), 0);
  ASSERT_EQ(GRD_proj_XY(&t.g, &dom, &X, &Y), 0);  // earlier arrays are released
  for (int j = 0; j < 7; ++j) {
    for (int i = 0; i < 9; ++i) {
      float x, y;
      point(i, j, &x, &y);
      EXPECT_NEAR(X[j * 9 + i], x, 2e-3) << i << "," << j;
      EXPECT_NEAR(Y[j * 9 + i], y, 2e-3) << i << "," << j;
    }
  }
  // Into another projection: each point carried through latitude and longitude.
  ASSERT_EQ(GRD_proj_XY(&t.g, &saved, &X, &Y), 0);
  for (int j = 0; j < 7; ++j) {
    for (int i = 0; i < 9; ++i) {
      float gx, gy, x, y;
      point(i, j, &gx, &gy);
      ASSERT_EQ(MAP_domain_tran(&dom, &saved, &x, &y, gx, gy), 1);
      EXPECT_NEAR(X[j * 9 + i], x, 2e-3) << i << "," << j;
      EXPECT_NEAR(Y[j * 9 + i], y, 2e-3) << i << "," << j;
    }
  }
  std::free(X);
  std::free(Y);
}

TEST_F(GridMapTest, ValueAtMapPositionOfAnotherDomain) {
  std::vector<float> v(63);
  for (int k = 0; k < 63; ++k) v[k] = static_cast<float>(k);
  TestGrid t(9, 7, v, &dom);
  // Map position of grid point (2, 3) in the current (polar) domain.
  float gx, gy, x, y;
  point(2, 3, &gx, &gy);
  MAP_domain_tran(&dom, &saved, &x, &y, gx, gy);
  EXPECT_NEAR(GRD_get_value_domain(&t.g, nullptr, &x, &y), 29.0f, 2e-3);
  EXPECT_NEAR(x, 2, 1e-4);
  EXPECT_NEAR(y, 3, 1e-4);
  // The grid's own domain given explicitly.
  x = gx;
  y = gy;
  EXPECT_NEAR(GRD_get_value_domain(&t.g, &dom, &x, &y), 29.0f, 2e-3);
}

TEST(GridMath, FunctionClasses) {
  const struct {
    const char* name;
    int math, plot, vect;
  } cases[] = {
      {"add", 10, 0, 0},   {"add-temp", 10, 0, 0}, {"ADD", 10, 0, 0},    {"adv", 10, 0, 0},
      {"log10", 10, 0, 0}, {"wchill2", 10, 0, 0},  {"wind", 20, 1, 0},   {"vect-1", 21, 1, 0},
      {"stream", 23, 1, 0}, {"strm", 23, 1, 0},    {"grad", 0, 0, 1},    {"vdiff-x", 0, 0, 1},
      {"smooth", 0, 0, 0}, {"temp", 0, 0, 0},      {"-add", 0, 0, 0},    {"", 0, 0, 0},
      {"addx", 0, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GRD_is_math_func(c.name), c.math) << c.name;
    EXPECT_EQ(GRD_is_plot_func(c.name), c.plot) << c.name;
    EXPECT_EQ(GRD_is_vect_func(c.name), c.vect) << c.name;
  }
  EXPECT_EQ(GRD_is_math_func(nullptr), 0);
}

// Slots 1 and 2 hold analysed fields of the two arguments.
void fill_argument_slots(bool with_values) {
  const DomainRec dom = make_domain(1, 45, -100, 3, 3, 2, 2);
  for (int s = 0; s < 3; ++s) {
    GRD_free(GRD_get_grid(s));
    GRD_set_grid_domain(s, &dom);
  }
  for (int s = 1; s <= 2; ++s) {
    GridRec* g = GRD_get_grid(s);
    GRD_set_var(s);
    g->source = 1;
    g->version = 1;
    if (with_values) {
      ASSERT_EQ(GRD_alloc_grid(s), 1);
      for (int k = 0; k < 9; ++k) g->values[k] = static_cast<float>(s * 10 + k);
    }
  }
}

TEST(GridCalc, ArgumentsAndConstantsOfAFunction) {
  ASSERT_EQ(VAR_setup(nullptr, "mul(temp,#2.5)"), 1);
  ASSERT_EQ(VAR_get_num(), 3);
  GridRec* list[8];
  float consts[8];
  for (float& c : consts) c = kMiss;
  EXPECT_EQ(GRD_find_param_grids(1, -1, 1, list, consts), 3);  // end of the list
  EXPECT_EQ(list[0], GRD_get_grid(1));
  EXPECT_EQ(list[1], nullptr);
  EXPECT_FLOAT_EQ(consts[1], 2.5f);
  EXPECT_EQ(list[2], nullptr);
  EXPECT_EQ(consts[2], kMiss);
  // With a count, the result is the last argument taken.
  EXPECT_EQ(GRD_find_param_grids(1, 1, 1, list, consts), 1);
  EXPECT_EQ(list[0], GRD_get_grid(1));
  EXPECT_EQ(list[1], nullptr);
  // Without a constant list a constant is a grid like any other.
  EXPECT_EQ(GRD_find_param_grids(1, 2, 1, list, nullptr), 2);
  EXPECT_EQ(list[1], GRD_get_grid(2));
  EXPECT_EQ(list[2], nullptr);
}

TEST(GridCalc, VectorComponentsTakeTheVectorsNumber) {
  ASSERT_EQ(VAR_setup(nullptr, "wnd<u,v>,temp"), 1);
  ASSERT_EQ(VAR_get_num(), 4);
  GRD_get_grid(0)->var = 77;
  GRD_get_grid(1)->var = 1;
  GRD_get_grid(2)->var = 2;
  GridRec* list[4];
  EXPECT_EQ(GRD_find_param_grids(0, 2, 0, list, nullptr), 2);
  EXPECT_EQ(list[0], GRD_get_grid(1));
  EXPECT_EQ(list[1], GRD_get_grid(2));
  EXPECT_EQ(list[2], nullptr);
  EXPECT_EQ(GRD_get_grid(1)->var, 77);
  EXPECT_EQ(GRD_get_grid(2)->var, 2);
  // All arguments: the walk ends at the next top-level variable.
  EXPECT_EQ(GRD_find_param_grids(1, -1, 0, list, nullptr), 4);
}

TEST(GridCalc, UnavailableFunctionLeavesSlotEmpty) {
  ASSERT_EQ(VAR_setup(nullptr, "add(temp,dewp)"), 1);
  fill_argument_slots(true);
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_calc_var(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_math: Math function not available: add\n");
  EXPECT_EQ(GRD_get_grid(0)->values, nullptr);
  EXPECT_EQ(GRD_get_grid(0)->source, 0);
  EXPECT_NE(GRD_get_grid(1)->values, nullptr);  // arguments untouched

  fill_argument_slots(false);
  testing::internal::CaptureStderr();
  GRD_calc_var();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_math: Invalid grids\n");
  EXPECT_EQ(GRD_get_grid(0)->values, nullptr);
  for (int s = 0; s < 3; ++s) GRD_free(GRD_get_grid(s));
}

}  // namespace
