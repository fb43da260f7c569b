// Grid records: bilinear lookup, extremes, life cycle, grid factor, units, point
// coordinates against the map transform, and derived variables through the slot table.
#include "analysis/grd_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

#include "analysis/grd_read.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "plot/maptran.h"
#include "surface/unittool.h"
#include "surface/var_tool.h"
#include "tests/support/analysis_table.h"

namespace {

constexpr float kMiss = -9999.0f;
using Floats = std::vector<float>;

DomainRec make_domain(int proj, float clat, float clon, int nx, int ny, float d) {
  return {proj, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, clat, clon, d, d, nx, ny, 0};
}

// A record that owns its values for the test's lifetime.
struct TestGrid {
  GridRec g;
  TestGrid(int nx, int ny, const Floats& values, const DomainRec* domain = nullptr) {
    GRD_init(&g);
    g.domain = domain ? *domain : make_domain(2, 40, -100, nx, ny, 1);
    EXPECT_EQ(GRD_alloc(&g), 1);
    std::copy(values.begin(), values.end(), g.values);
  }
  ~TestGrid() { GRD_free(&g); }
  Floats vals() const { return {g.values, g.values + g.domain.nx * g.domain.ny}; }
};

TEST(GridValues, BilinearMaxMinAndMissingValues) {
  for (const TableRow& c : read_table("analysis/grid_bilinear", 4)) {
    Floats v = {0, 1, 2, 10, 11, 12, 20, 21, 22};
    if (table_int(c[3]) >= 0) v[table_int(c[3])] = kMiss;
    TestGrid t(3, 3, v);
    EXPECT_FLOAT_EQ(GRD_get_value(&t.g, table_float(c[0]), table_float(c[1])), table_float(c[2]))
        << c[0] << "," << c[1] << " " << c[3];
  }

  const struct { Floats v; float hi, lo; } extremes[] = {{{kMiss, kMiss, 5, 3, 7, kMiss}, 7, 3},
                                                         {{kMiss, -2, kMiss, -8, kMiss, kMiss}, -2, -8},
                                                         {Floats(6, kMiss), kMiss, kMiss}};
  for (const auto& c : extremes) {
    TestGrid t(3, 2, c.v);
    float hi = 0, lo = 0;
    EXPECT_EQ(Floats({static_cast<float>(GRD_maxmin(&t.g, &hi, &lo)), hi, lo}), Floats({0, c.hi, c.lo}));
  }
  // Without values (or without a sane size): failure results, and nothing touches the record.
  GridRec g;
  GRD_init(&g);
  float hi = 1, lo = 1, m = 0;
  EXPECT_EQ(Floats({static_cast<float>(GRD_maxmin(&g, &hi, &lo)), hi, lo}), Floats({-1, kMiss, kMiss}));
  EXPECT_EQ(Floats({GRD_get_value(&g, 1, 1), static_cast<float>(GRD_units(&g, "C")), GRD_UVmax(&g, &g, &m)}),
            Floats({kMiss, -1, -1}));
  for (const auto& s : {std::pair{0, 5}, {-3, 4}, {100000, 100000}}) {
    g.domain = make_domain(2, 0, 0, s.first, s.second, 1);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(GRD_alloc(&g) == 0 && g.values == nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_alloc: No memory for grid field\n");
  }
}

TEST(GridValues, EditScaleOffsetAndUVmax) {
  TestGrid t(3, 2, Floats(6, 0.0f));
  const float edits[][3] = {{1.4f, 0.6f, 1}, {2.49f, 1.49f, 1}, {2.5f, 0, 0}, {-0.1f, 0, 0}, {0, 1.5f, 0}};
  for (const auto& e : edits) EXPECT_EQ(GRD_edit_value(&t.g, e[0], e[1], 9), e[2]) << e[0] << "," << e[1];
  EXPECT_EQ(t.vals(), Floats({0, 0, 0, 0, 9, 9}));

  TestGrid s(2, 2, {1, kMiss, -3, 4});
  GRD_scale(&s.g, 2);
  GRD_offset(&s.g, 1);
  EXPECT_EQ(s.vals(), Floats({3, kMiss, -5, 9}));

  TestGrid u(2, 2, {0, 3, kMiss, 1}), v(2, 2, {100, 4, 50, 1}), z(2, 2, {0, 0, kMiss, 0});
  float m = 0;
  EXPECT_EQ(Floats({GRD_UVmax(&u.g, &v.g, &m), m}), Floats({5, 5}));  // u = 0 is no wind
  EXPECT_EQ(Floats({GRD_UVmax(&z.g, &v.g, &m), m}), Floats({kMiss, kMiss}));
}

TEST(GridLifeCycle, CopyInfoMoveAndFree) {
  const DomainRec dom = make_domain(4, 35, -95, 4, 3, 2.5f);
  TestGrid src(4, 3, Floats(12, 1.5f), &dom);
  src.g.source = 1;
  std::strcpy(src.g.units, "F");
  GridRec dst;
  GRD_init(&dst);
  std::strcpy(dst.datatype, "mine");
  GRD_copy_info(&dst, &src.g);
  EXPECT_TRUE(dst.values == nullptr && dst.source == 1 && DOM_comp(&dst.domain, &dom) == 1);
  EXPECT_EQ(std::string(dst.units) + "|" + dst.datatype, "F|mine");  // the description is left as it was
  GRD_move(&dst, &src.g);
  ASSERT_TRUE(src.g.values == nullptr && dst.values != nullptr);
  EXPECT_EQ(dst.values[11], 1.5f);
  GRD_free(&dst);
  EXPECT_EQ(std::vector<long>({dst.values != nullptr, dst.source, dst.domain.nx}), std::vector<long>({0, 0, -9999}));
}

TEST(GridSlots, TableHeaderAndGridFactor) {
  GridRec* table = GRD_get_grids();
  EXPECT_TRUE(table + 59 == GRD_get_grid(59) && table[7].var == -9999);
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_get_grid(60), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_get_grid: Invalid grid slot: 60\n");

  const DomainRec dom = make_domain(1, 45, -100, 25, 17, 1.2f);
  table[3].source = table[3].version = 1;
  for (int f : {2, 0, -4}) GRD_set_grid_factor(f);  // below 1 is ignored
  EXPECT_EQ(GRD_get_grid_factor(), 2);
  GRD_set_grid_domain(3, &dom);
  GRD_set_grid_factor(1);
  const DomainRec& d3 = table[3].domain;
  EXPECT_EQ(Floats({1.0f * table[3].source, 1.0f * table[3].version, 1.0f * d3.nx, 1.0f * d3.ny, d3.dx, d3.dy}),
            Floats({0, 0, 49, 33, 0.6f, 0.6f}));
  GRD_set_grid_domain(3, &dom);
  EXPECT_EQ(d3.nx, 25);

  GRD_set_grid_info(3, "A very long description that does not fit into the seventy byte data type field");
  EXPECT_EQ(std::strlen(GRD_get_grid_info(3)), 69u);

  const DateRec date{2026, 12, 5, 339, 6, 18, 0, 0};
  GridInfo info;
  std::memset(&info, 0x55, sizeof info);
  GRD_set_info(&info, &date, &dom);
  char label[DATE_LABEL_LEN];
  DATE_make_label(&date, label);
  EXPECT_EQ(std::string(info.label), std::string(label).substr(0, 39));
  EXPECT_EQ(std::vector<int>({info.nx, info.ny, info.grid_type, info.date.day}), std::vector<int>({25, 17, 0, 5}));
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
            "Grid:   0.50,  0.00 =   1.50\nGrid:   0.00,  1.00\nGrid:   1.00,  0.00 =   2.00,  6.00\n"
            "Grid:   0.00,  1.00 =   3.00\nGrid:   0.00,  1.00 = ,  3.00\n");
}

TEST(GridUnits, FahrenheitToCelsiusRewritesLabel) {
  RES_put("file_path", STACONT_DATA_DIR);
  UNIT_reset();
  TestGrid t(2, 2, {32, 212, kMiss, 50});
  std::strcpy(t.g.units, "F");
  std::strcpy(t.g.datatype, "Temperature (F)");
  EXPECT_EQ(GRD_units(&t.g, "C") + GRD_units(&t.g, ""), 0);  // no target: nothing changes
  for (int k : {0, 1, 3}) EXPECT_NEAR(t.g.values[k], Floats({0, 100, 0, 10})[k], 1e-4);
  EXPECT_EQ(t.g.values[2], kMiss);
  EXPECT_EQ(std::string(t.g.units) + "|" + t.g.datatype, "C|Temperature (C)");
}

class GridMapTest : public testing::Test {
 protected:
  // A Lambert grid over the central United States looked at from a polar-stereographic map.
  DomainRec dom = make_domain(4, 38, -97, 9, 7, 1.5f);
  DomainRec map = make_domain(1, 60, -150, 5, 5, 2);
  void SetUp() override {
    dom.p3 = dom.p4 = 25;
    dom.plon = -95;
    MAP_domain(&map);
    MAP_get_domain(&map);
  }
  void TearDown() override {
    DomainRec now;
    MAP_get_domain(&now);
    EXPECT_EQ(DOM_comp(&now, &map), 1) << "current domain not restored";
  }
  // Position of grid point k in the grid's own plane and its latitude and longitude.
  void point(int k, float* xy, float* ll) {
    MAP_domain(&dom);
    MAP_grid_tran(&xy[0], &xy[1], static_cast<float>(k % 9), static_cast<float>(k / 9));
    EXPECT_EQ(MAP_untran(&ll[0], &ll[1], xy[0], xy[1]), 1);
    MAP_domain(&map);
  }
};

TEST_F(GridMapTest, CoordinatesAndValuesMatchTheMapTransforms) {
  Floats v(63);
  std::iota(v.begin(), v.end(), 0.0f);
  v[10] = kMiss;
  TestGrid t(9, 7, v, &dom);
  float *X = nullptr, *Y = nullptr, xy[2], ll[2], x, y;
  for (const DomainRec* target : {&dom, &map}) {  // the earlier arrays are released
    ASSERT_EQ(GRD_proj_XY(&t.g, target, &X, &Y), 0);
    for (int k = 0; k < 63; ++k) {
      point(k, xy, ll);
      ASSERT_EQ(MAP_domain_tran(&dom, target, &x, &y, xy[0], xy[1]), 1);
      EXPECT_LT(std::hypot(X[k] - x, Y[k] - y), 2e-3) << k;
    }
  }
  std::free(X);
  std::free(Y);
  point(2 + 3 * 9, xy, ll);
  MAP_domain_tran(&dom, &map, &x, &y, xy[0], xy[1]);
  EXPECT_NEAR(GRD_get_value_domain(&t.g, nullptr, &x, &y), 29.0f, 2e-3);  // at a position of the current map
  EXPECT_LT(std::hypot(x - 2, y - 3), 1e-3);  // in the grid's own coordinates

  const char* const cases[][3] = {{"lat", "Latitude (deg)", "deg"}, {"lon", "Longitude (deg)", "deg"},
                                  {"projx", "Projection X", ""}, {"projy", "Projection Y", ""}};
  for (int w = 0; w < 4; ++w) {  // each call replaces the values; missing points stay missing
    ASSERT_EQ(GRD_point_locate(&t.g, cases[w][0]), 0);
    EXPECT_EQ(std::string(t.g.datatype) + "|" + t.g.units + "|" + std::to_string(t.g.var),
              std::string(cases[w][1]) + "|" + cases[w][2] + "|0");
    for (int k = 0; k < 63; ++k) {
      point(k, xy, ll);
      EXPECT_NEAR(t.g.values[k], k == 10 ? kMiss : w < 2 ? ll[w] : xy[w - 2], 1e-3) << cases[w][0] << " " << k;
    }
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_point_locate(GRD_get_grid(0), "height"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_point_locate: Unknown coordinate: height\n");
}

TEST(GridMath, FunctionClasses) {
  const struct { const char* name; int math, plot, vect; } cases[] = {
      {"add-temp", 10, 0, 0}, {"ADD", 10, 0, 0}, {"wchill2", 10, 0, 0}, {"wind", 20, 1, 0}, {"vect-1", 21, 1, 0},
      {"strm", 23, 1, 0}, {"vdiff-x", 0, 0, 1}, {"smooth", 0, 0, 0}, {"-add", 0, 0, 0}, {"addx", 0, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(std::vector<int>({GRD_is_math_func(c.name), GRD_is_plot_func(c.name), GRD_is_vect_func(c.name)}),
              std::vector<int>({c.math, c.plot, c.vect})) << c.name;
  }
  EXPECT_EQ(GRD_is_math_func(nullptr), 0);
}

TEST(GridCalc, ArgumentWalk) {
  ASSERT_EQ(VAR_setup(nullptr, "mul(temp,#2.5)"), 1);
  GridRec* list[8];
  Floats consts(8, kMiss);
  EXPECT_EQ(GRD_find_param_grids(1, -1, 1, list, consts.data()), 3);  // the end of the list
  EXPECT_EQ(std::vector<GridRec*>(list, list + 3), std::vector<GridRec*>({GRD_get_grid(1), nullptr, nullptr}));
  EXPECT_EQ(Floats(consts.begin() + 1, consts.begin() + 3), Floats({2.5f, kMiss}));
  EXPECT_EQ(GRD_find_param_grids(1, 1, 1, list, consts.data()), 1);  // with a count: the last one taken
  EXPECT_EQ(list[1], nullptr);

  // Vector components take the vector's number; the walk ends at the next top-level item.
  ASSERT_EQ(VAR_setup(nullptr, "wnd<u,v>,temp"), 1);
  GRD_get_grid(0)->var = 77;
  GRD_get_grid(2)->var = 2;
  EXPECT_EQ(GRD_find_param_grids(0, 2, 0, list, nullptr), 2);
  EXPECT_EQ(std::vector<GridRec*>(list, list + 3), std::vector<GridRec*>({GRD_get_grid(1), GRD_get_grid(2), nullptr}));
  EXPECT_EQ(std::vector<int>({GRD_get_grid(1)->var, GRD_get_grid(2)->var}), std::vector<int>({77, 2}));
  EXPECT_EQ(GRD_find_param_grids(1, -1, 0, list, nullptr), 4);
}

// A derived variable is computed from its argument slots; without argument values its
// slot stays empty.
TEST(GridCalc, DerivedVariableFromArgumentSlots) {
  ASSERT_EQ(VAR_setup(nullptr, "add(temp,dewp)"), 1);
  const DomainRec dom = make_domain(1, 45, -100, 3, 3, 2);
  const std::pair<bool, const char*> cases[] = {{true, ""}, {false, "GRD_math: Invalid grids\n"}};
  for (const auto& [with_values, message] : cases) {
    for (int s = 0; s < 3; ++s) {
      GRD_free(GRD_get_grid(s));
      GRD_set_grid_domain(s, &dom);
      GRD_set_var(s);
      GRD_get_grid(s)->source = s > 0 ? 1 : 0;
      if (s > 0 && with_values) {
        ASSERT_EQ(GRD_alloc_grid(s), 1);
        for (int k = 0; k < 9; ++k) GRD_get_grid(s)->values[k] = static_cast<float>(s * 10 + k);
      }
    }
    if (with_values) GRD_get_grid(2)->values[4] = kMiss;
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_calc_var(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
    const GridRec* out = GRD_get_grid(0);
    EXPECT_EQ(std::vector<long>({out->values != nullptr, out->source, GRD_get_grid(1)->values != nullptr}),
              std::vector<long>({with_values, with_values, with_values}));
    if (with_values) {
      EXPECT_EQ(Floats(out->values, out->values + 5), Floats({30, 32, 34, 36, kMiss}));
    }
  }
  for (int s = 0; s < 3; ++s) GRD_free(GRD_get_grid(s));
}

}  // namespace
