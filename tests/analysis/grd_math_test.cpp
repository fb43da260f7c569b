// Grid math: derivative operators against analytic fields on latitude-longitude, polar
// stereographic and Lambert grids (exactness on linear fields, rigid rotation and radial
// outflow on the sphere, second-order convergence), the treatment of edges and missing
// values, and the point functions through GRD_math.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "surface/unittool.h"
#include "plot/maptran.h"
#include "surface/var_tool.h"
#include "tests/support/analysis_table.h"

namespace {

constexpr float kMiss = -9999.0f;
constexpr double kRad = 0.017453292519943295;
constexpr double kA = 63.7122;  // earth radius, 100 km
using Floats = std::vector<float>;
using Vec = std::array<double, 3>;

DomainRec domain_of(int proj, float plat, float plon, float p3, float p4, float clat, float clon, int n, float d) {
  return {proj, plat, plon, p3, p4, kMiss, kMiss, kMiss, clat, clon, d, d, n, n, 0};
}

struct Grid {
  GridRec g;
  explicit Grid(const DomainRec& d) {
    GRD_init(&g);
    g.domain = d;
    EXPECT_EQ(GRD_alloc(&g), 1);
  }
  ~Grid() { GRD_free(&g); }
  Grid(const Grid&) = delete;
  Grid& operator=(const Grid&) = delete;
  float& at(int i, int j) { return g.values[j * g.domain.nx + i]; }
};

Vec unit(double lat, double lon) {
  return {std::cos(lat * kRad) * std::cos(lon * kRad), std::cos(lat * kRad) * std::sin(lon * kRad),
          std::sin(lat * kRad)};
}
double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Where every grid point lies, found through the map transforms alone: latitude,
// longitude, the map scale measured along the meridian, and the angle of north on the map.
struct Point {
  double lat, lon, scale, north;
};

std::vector<Point> grid_points(const DomainRec& d) {
  std::vector<Point> pts;
  MAP_domain(&d);
  float xc = 0, yc = 0;
  MAP_tran(&xc, &yc, d.clat, d.clon);
  for (int j = 0; j < d.ny; ++j) {
    for (int i = 0; i < d.nx; ++i) {
      const float x = xc + (i - (d.nx - 1) / 2) * d.dx, y = yc + ((d.ny - 1) / 2 - j) * d.dy;
      float lat = 0, lon = 0;
      MAP_untran(&lat, &lon, x, y);
      if (d.proj == PROJ_LL) {
        pts.push_back({lat, lon, 1.0, 0.0});
        continue;
      }
      float x1, y1, x2, y2;
      MAP_tran(&x1, &y1, lat - 0.5f, lon);
      MAP_tran(&x2, &y2, lat + 0.5f, lon);
      const double len = std::hypot(x2 - x1, y2 - y1);
      pts.push_back({lat, lon, len / (kA * 1.0 * kRad), std::atan2(x2 - x1, y2 - y1)});
    }
  }
  return pts;
}

// Fills u, v with the grid-relative components of the velocity field vel (earth-centred
// vector at a unit position vector).
void fill_wind(Grid& u, Grid& v, const std::vector<Point>& pts, const std::function<Vec(const Vec&)>& vel) {
  for (std::size_t k = 0; k < pts.size(); ++k) {
    const Point& p = pts[k];
    const Vec r = unit(p.lat, p.lon), V = vel(r);
    const Vec east = {-std::sin(p.lon * kRad), std::cos(p.lon * kRad), 0.0};
    const Vec north = cross(r, east);
    const double ue = dot(V, east), vn = dot(V, north);
    u.g.values[k] = static_cast<float>(ue * std::cos(p.north) + vn * std::sin(p.north));
    v.g.values[k] = static_cast<float>(-ue * std::sin(p.north) + vn * std::cos(p.north));
  }
}

struct DomainCase {
  const char* name;
  DomainRec coarse;  // refined twice by halving the spacing
};

const DomainCase kDomains[] = {
    {"latlon", domain_of(PROJ_LL, kMiss, kMiss, kMiss, kMiss, 40, -100, 11, 4.0f)},
    {"pstereo", domain_of(PROJ_PS, 90, -105, 60, kMiss, 45, -100, 11, 4.8f)},
    {"lamb", domain_of(PROJ_LAMB, 40, -100, 30, 60, 40, -95, 11, 4.8f)},
};

DomainRec refined(const DomainRec& d, int level) {
  DomainRec r = d;
  for (int l = 0; l < level; ++l) {
    r.nx = 2 * (r.nx - 1) + 1;
    r.ny = r.nx;
    r.dx /= 2;
    r.dy /= 2;
  }
  return r;
}

class Operators : public testing::TestWithParam<DomainCase> {
 protected:
  void TearDown() override { MAP_domain(nullptr); }
};

TEST_P(Operators, LinearFieldDerivativesAreExactToTheEdges) {
  const DomainRec d = GetParam().coarse;
  const auto pts = grid_points(d);
  Grid f(d), fx(d), fy(d);
  for (int j = 0; j < d.ny; ++j)
    for (int i = 0; i < d.nx; ++i) f.at(i, j) = 3.0f * i + 2.0f * (d.ny - 1 - j);
  ASSERT_EQ(GRD_dx(&f.g, &fx.g), 0);
  ASSERT_EQ(GRD_dy(&f.g, &fy.g), 0);
  const bool ll = d.proj == PROJ_LL;
  for (std::size_t k = 0; k < pts.size(); ++k) {
    // Plane spacing in 100 km over the true length of a plane unit.
    const double hx = ll ? d.dx * 1.11195 * std::cos(pts[k].lat * kRad) : d.dx / pts[k].scale;
    const double hy = ll ? d.dy * 1.11195 : d.dy / pts[k].scale;
    ASSERT_NEAR(fx.g.values[k], 3.0 / hx, 2e-4 * 3.0 / hx) << k;
    ASSERT_NEAR(fy.g.values[k], 2.0 / hy, 2e-4 * 2.0 / hy) << k;
  }
}

// Rigid rotation about the vertical at the grid's centre and outflow from it, on the
// sphere: vorticity 2w cos(theta) and divergence 2c cos(theta), theta the angular distance
// from the centre; each has none of the other. The worst error on the coarse grid's inner
// points must fall fourfold with each halving of the spacing.
TEST_P(Operators, RotationAndOutflowConvergeAtSecondOrder) {
  const double w = 1.5, c = 0.8;  // 1e-5 /s
  double err[3][4];
  for (int level = 0; level < 3; ++level) {
    const DomainRec d = refined(GetParam().coarse, level);
    const auto pts = grid_points(d);
    const Vec axis = unit(d.clat, d.clon);
    Grid u(d), v(d), out(d), u2(d), v2(d);
    fill_wind(u, v, pts, [&](const Vec& r) {
      const Vec x = cross(axis, r);
      return Vec{w * kA * x[0], w * kA * x[1], w * kA * x[2]};
    });
    fill_wind(u2, v2, pts, [&](const Vec& r) {
      const double a = dot(axis, r);
      return Vec{-c * kA * (axis[0] - a * r[0]), -c * kA * (axis[1] - a * r[1]), -c * kA * (axis[2] - a * r[2])};
    });
    for (double& e : err[level]) e = 0.0;
    const int step = 1 << level;
    const int n0 = GetParam().coarse.nx;
    auto track = [&](int slot, double expected) {
      for (int j = 1; j < n0 - 1; ++j) {
        for (int i = 1; i < n0 - 1; ++i) {
          const int k = j * step * d.nx + i * step;
          const Vec r = unit(pts[k].lat, pts[k].lon);
          const double e = std::fabs(out.g.values[k] - expected * dot(axis, r));
          err[level][slot] = std::max(err[level][slot], e);
        }
      }
    };
    ASSERT_EQ(GRD_vorticity(&u.g, &v.g, &out.g), 0);
    if (level == 2) {
      EXPECT_NEAR(out.at(d.nx / 2, d.ny / 2), 2 * w, 1e-3) << "vorticity at the centre";
    }
    track(0, 2 * w);
    ASSERT_EQ(GRD_converge(&u.g, &v.g, &out.g, nullptr), 0);
    track(1, 0.0);
    ASSERT_EQ(GRD_converge(&u2.g, &v2.g, &out.g, nullptr), 0);
    if (level == 2) {
      EXPECT_NEAR(-out.at(d.nx / 2, d.ny / 2), 2 * c, 1e-3) << "divergence at the centre";
    }
    track(2, -2 * c);
    ASSERT_EQ(GRD_vorticity(&u2.g, &v2.g, &out.g), 0);
    track(3, 0.0);
  }
  static const char* const what[] = {"rotation vorticity", "rotation divergence", "outflow divergence",
                                     "outflow vorticity"};
  for (int s = 0; s < 4; ++s) {
    std::printf("%-8s %-20s max error %.3g %.3g %.3g  ratios %.2f %.2f\n", GetParam().name, what[s], err[0][s],
                err[1][s], err[2][s], err[0][s] / err[1][s], err[1][s] / err[2][s]);
    // Errors are a fraction of a percent of 2w = 3 even at 480 km.
    EXPECT_LT(err[0][s], 1.2e-2) << what[s];
    EXPECT_LT(err[2][s], 8e-4) << what[s];
    // Within a few times the float noise of the positions (some 5e-5) a ratio means nothing.
    if (err[1][s] > 1.5e-4) {
      EXPECT_GT(err[0][s] / err[1][s], 3.5) << what[s];
    }
    if (err[2][s] > 1.5e-4) {
      EXPECT_GT(err[1][s] / err[2][s], 3.5) << what[s];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Domains, Operators, testing::ValuesIn(kDomains),
                         [](const testing::TestParamInfo<DomainCase>& p) { return std::string(p.param.name); });

// A plain plane: f = 2 * column with spacing 1.2 gives 2/1.2 in every column, the edges by
// one-sided differences; a grid scale factor p5 lengthens the spacing.
TEST(Derivatives, PlaneGridAndScaleFactor) {
  for (const float p5 : {kMiss, 2.0f}) {
    DomainRec d = domain_of(PROJ_XY, kMiss, kMiss, kMiss, kMiss, 0, 0, 5, 1.2f);
    d.ny = 3;
    d.p5 = p5;
    Grid f(d), fx(d);
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 5; ++i) f.at(i, j) = 2.0f * i;
    ASSERT_EQ(GRD_dx(&f.g, &fx.g), 0);
    for (int k = 0; k < 15; ++k) ASSERT_FLOAT_EQ(fx.g.values[k], 2.0f / (1.2f * (p5 == kMiss ? 1.0f : p5))) << k;
  }
}

// Missing points: the point itself gives -9999, a neighbour is never taken as a number
// (one-sided differences instead, 0 with both neighbours gone), the row on the pole of a
// latitude-longitude grid has no x derivative, and the Laplacian reaches past a gap.
TEST(Derivatives, MissingValuesAndPoleRow) {
  DomainRec d = domain_of(PROJ_XY, kMiss, kMiss, kMiss, kMiss, 0, 0, 5, 1.0f);
  d.ny = 1;
  Grid f(d), out(d);
  const Floats row = {1, 4, kMiss, 16, 25};
  std::copy(row.begin(), row.end(), f.g.values);
  ASSERT_EQ(GRD_dx(&f.g, &out.g), 0);
  EXPECT_EQ(Floats(out.g.values, out.g.values + 5), Floats({3, 3, kMiss, 9, 9}));
  f.at(4, 0) = kMiss;
  ASSERT_EQ(GRD_dx(&f.g, &out.g), 0);
  EXPECT_EQ(out.at(3, 0), 0.0f);  // both neighbours missing

  DomainRec w = domain_of(PROJ_XY, kMiss, kMiss, kMiss, kMiss, 0, 0, 6, 1.0f);
  w.ny = 3;
  Grid q(w), lap(w);
  const Floats sq = {0, 1, kMiss, 9, 16, 25};  // x^2 but for the gap, the same in every row
  for (int j = 0; j < 3; ++j) std::copy(sq.begin(), sq.end(), q.g.values + 6 * j);
  ASSERT_EQ(GRD_laplacian(&q.g, &lap.g), 0);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(Floats(lap.g.values + 6 * j, lap.g.values + 6 * j + 6), Floats({kMiss, kMiss, kMiss, 2, 2, 2})) << j;
  }
  w.ny = 1;  // a single row has no second difference across it
  Grid row1(w), lap1(w);
  std::copy(sq.begin(), sq.end(), row1.g.values);
  ASSERT_EQ(GRD_laplacian(&row1.g, &lap1.g), 0);
  EXPECT_EQ(Floats(lap1.g.values, lap1.g.values + 6), Floats(6, kMiss));

  // Rows at 80, 85 and 90 N.
  DomainRec ll = domain_of(PROJ_LL, kMiss, kMiss, kMiss, kMiss, 85, 0, 3, 5.0f);
  Grid g(ll), gx(ll), gy(ll);
  for (int k = 0; k < 9; ++k) g.g.values[k] = static_cast<float>(k % 3 + 10 * (2 - k / 3));
  ASSERT_EQ(GRD_dx(&g.g, &gx.g), 0);
  ASSERT_EQ(GRD_dy(&g.g, &gy.g), 0);
  EXPECT_EQ(Floats(gx.g.values, gx.g.values + 3), Floats(3, kMiss));
  EXPECT_NEAR(gx.at(1, 2), 1.0 / (5 * 1.11195 * std::cos(80 * kRad)), 1e-5);
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(gy.g.values[k], 10.0 / (5 * 1.11195), 1e-5) << k;
}

// Advection, deformation, Coriolis: signs and sizes on a plane of known winds.
TEST(Derivatives, AdvectionDeformationCoriolis) {
  DomainRec d = domain_of(PROJ_XY, kMiss, kMiss, kMiss, kMiss, 0, 0, 3, 1.0f);
  Grid u(d), v(d), t(d), out(d);
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) {
      const float y = static_cast<float>(2 - j);
      u.at(i, j) = 2.0f * i + 1.0f * y;  // du/dx 2, du/dy 1
      v.at(i, j) = 5.0f * i - 3.0f * y;  // dv/dx 5, dv/dy -3
      t.at(i, j) = -4.0f * i;            // colder to the east
    }
  }
  ASSERT_EQ(GRD_advection(&u.g, &v.g, &t.g, &out.g), 0);
  EXPECT_FLOAT_EQ(out.at(1, 1), 4.0f * u.at(1, 1));  // a west wind with colder air east: warming
  ASSERT_EQ(GRD_deformation1(&u.g, &v.g, &out.g), 0);
  EXPECT_FLOAT_EQ(out.at(0, 0), 5.0f);
  ASSERT_EQ(GRD_deformation2(&u.g, &v.g, &out.g), 0);
  EXPECT_FLOAT_EQ(out.at(2, 2), -6.0f);
  ASSERT_EQ(GRD_vorticity(&u.g, &v.g, &out.g), 0);
  EXPECT_FLOAT_EQ(out.at(1, 0), 4.0f);
  u.at(1, 1) = kMiss;
  ASSERT_EQ(GRD_advection(&u.g, &v.g, &t.g, &out.g), 0);
  EXPECT_EQ(out.at(1, 1), kMiss);

  DomainRec ll = domain_of(PROJ_LL, kMiss, kMiss, kMiss, kMiss, 0, 0, 3, 30.0f);
  const struct { const char* op; Floats expected; } ops[] = {
      {"add", {1 + 7.292f, 1, 1 - 7.292f}}, {"sub-", {7.292f - 1, -1, -7.292f - 1}},
      {"div", {1 / 7.292f, kMiss, -1 / 7.292f}}, {"mul", {7.292f, 0, -7.292f}}};
  for (const auto& o : ops) {
    Grid g(ll);
    for (int k = 0; k < 9; ++k) g.g.values[k] = 1.0f;
    g.at(2, 0) = kMiss;
    ASSERT_EQ(GRD_coriolis(&g.g, o.op), 0) << o.op;
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(g.at(0, j), o.expected[j], 1e-3) << o.op << " row " << j;
    EXPECT_EQ(g.at(2, 0), kMiss);
  }
  Grid g(ll);
  EXPECT_EQ(GRD_coriolis(&g.g, "pow"), -1);
}

// GRD_math: point functions with grids and constants, the missing-value rules of max, min,
// sum and avg, domain errors, suffixed names and the messages.
TEST(GridMath, PointFunctions) {
  DomainRec d = domain_of(PROJ_XY, kMiss, kMiss, kMiss, kMiss, 0, 0, 3, 1.0f);
  d.ny = 1;
  Grid a(d), b(d), out(d), out2(d);
  const Floats av = {4, -1, kMiss}, bv = {2, 0, 5};
  std::copy(av.begin(), av.end(), a.g.values);
  std::copy(bv.begin(), bv.end(), b.g.values);
  for (const TableRow& c : read_table("analysis/grid_point_functions", 6)) {
    const int nargs = table_int(c[1]);
    const float c2 = c[2].empty() ? kMiss : table_float(c[2]);
    GridRec* args[4] = {&a.g, c2 != kMiss && nargs == 2 ? nullptr : &b.g, nullptr, nullptr};
    float consts[21];
    std::fill(consts, consts + 21, kMiss);
    if (c2 != kMiss) consts[nargs - 1] = c2;
    if (nargs == 1) args[1] = nullptr;
    GridRec* outs[2] = {&out.g, nullptr};
    ASSERT_EQ(GRD_find_num_data(args, consts), nargs) << c[0];
    ASSERT_NE(GRD_math(c[0].c_str(), outs, args, consts), 0) << c[0];
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(out.g.values[k], table_float(c[3 + k]), 1e-4) << c[0] << " " << k;
  }
  // Vector difference fills both outputs.
  GridRec* args4[5] = {&a.g, &b.g, &b.g, &a.g, nullptr};
  GridRec* outs[2] = {&out.g, &out2.g};
  ASSERT_NE(GRD_math("vdiff", outs, args4, nullptr), 0);
  EXPECT_EQ(Floats(out.g.values, out.g.values + 3), Floats({2, -1, kMiss}));
  EXPECT_EQ(Floats(out2.g.values, out2.g.values + 3), Floats({-2, 1, kMiss}));
  EXPECT_STREQ(out.g.datatype, "Vector Diff");

  // Messages: an unknown name, a grid without values, too few arguments.
  GridRec empty;
  GRD_init(&empty);
  empty.domain = d;
  GridRec* bad[2] = {&empty, nullptr};
  GridRec* one[2] = {&a.g, nullptr};
  GridRec* out1[2] = {&out.g, nullptr};
  DomainRec wide = d;
  wide.nx = 4;
  Grid other(wide);
  GridRec* mixed[3] = {&a.g, &other.g, nullptr};
  const struct { const char* name; GridRec** args; const char* message; } errors[] = {
      {"frob", one, "GRD_math: Math function not available: frob\n"},
      {"add", bad, "GRD_math: Invalid grids\n"},
      {"add", one, "GRD_math: Invalid grids\n"},
      {"add", mixed, "GRD_math: Invalid grids\n"}};  // grids of two sizes
  for (const auto& e : errors) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_math(e.name, out1, e.args, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), e.message) << e.name;
  }
}

// Smoothing keeps missing points missing and spreads a spike 1-2-1; winds from speed and
// direction.
TEST(GridMath, SmoothAndWindComponents) {
  DomainRec d = domain_of(PROJ_XY, kMiss, kMiss, kMiss, kMiss, 0, 0, 3, 1.0f);
  Grid f(d), out(d);
  for (int k = 0; k < 9; ++k) f.g.values[k] = k == 4 ? 16.0f : 0.0f;
  f.g.values[8] = kMiss;
  GridRec* args[2] = {&f.g, nullptr};
  GridRec* outs[2] = {&out.g, nullptr};
  ASSERT_NE(GRD_math("smooth", outs, args, nullptr), 0);
  EXPECT_FLOAT_EQ(out.at(1, 1), 16.0f * 4 / 15);  // the missing corner carries no weight
  EXPECT_FLOAT_EQ(out.at(0, 0), 16.0f / 9);
  EXPECT_EQ(out.at(2, 2), kMiss);

  Grid spd(d), dir(d);
  for (int k = 0; k < 9; ++k) spd.g.values[k] = 10.0f, dir.g.values[k] = 270.0f;  // from the west
  GridRec* sd[3] = {&spd.g, &dir.g, nullptr};
  ASSERT_NE(GRD_math("uwnd", outs, sd, nullptr), 0);
  EXPECT_FLOAT_EQ(out.at(1, 1), 10.0f);
  ASSERT_NE(GRD_math("vwnd", outs, sd, nullptr), 0);
  EXPECT_NEAR(out.at(1, 1), 0.0f, 1e-5);
}

// Meteorological quantities take their arguments in the grids' units.
TEST(GridMath, MeteorologicalUnits) {
  RES_put("file_path", STACONT_DATA_DIR);
  UNIT_reset();
  DomainRec d = domain_of(PROJ_XY, kMiss, kMiss, kMiss, kMiss, 0, 0, 1, 1.0f);
  Grid t(d), td(d), p(d), out(d);
  t.g.values[0] = 20.0f;
  std::snprintf(t.g.units, sizeof t.g.units, "C");
  td.g.values[0] = 50.0f;
  std::snprintf(td.g.units, sizeof td.g.units, "F");
  p.g.values[0] = 1000.0f;
  std::snprintf(p.g.units, sizeof p.g.units, "mb");
  GridRec* args[4] = {&t.g, &td.g, &p.g, nullptr};
  GridRec* outs[2] = {&out.g, nullptr};
  ASSERT_NE(GRD_math("rhum", outs, args, nullptr), 0);
  EXPECT_NEAR(out.g.values[0], 52.5, 1.0);  // 20 C over a 10 C dew point
  EXPECT_STREQ(out.g.units, "%");
  GridRec* tp[3] = {&t.g, &p.g, nullptr};
  ASSERT_NE(GRD_math("theta", outs, tp, nullptr), 0);
  EXPECT_NEAR(out.g.values[0], 293.15, 0.01);
  EXPECT_STREQ(out.g.units, "K");
}

}  // namespace
