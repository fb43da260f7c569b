// Projection module: agreement with an independent projection library, round trips,
// limits, grid and domain transforms, offsets, wind rotation and station thinning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "plot/maptran.h"
#include "plot/region.h"
#include "tests/support/plot_table.h"

namespace {

constexpr float MISS = -9999.0f;
using XY = std::pair<float, float>;

DomainRec make(int proj, float plat, float plon, float p3 = MISS, float p4 = MISS, float clat = 40.0f,
               float clon = -100.0f, int nx = 25, int ny = 17, float dx = 1.2f, int ext = 0) {
  DomainRec d;
  DOM_init(&d);
  d.proj = proj, d.plat = plat, d.plon = plon, d.p3 = p3, d.p4 = p4, d.clat = clat, d.clon = clon;
  d.nx = nx, d.ny = ny, d.dx = d.dy = dx, d.ext = ext;
  return d;
}

// Forward and inverse transforms of the current domain as pairs.
XY tran(float lat, float lon) { XY p; MAP_tran(&p.first, &p.second, lat, lon); return p; }
XY untran(XY p) { XY q; MAP_untran(&q.first, &q.second, p.first, p.second); return q; }
#define EXPECT_XY_NEAR(a, b, tol) EXPECT_LT(std::hypot((a).first - (b).first, (a).second - (b).second), tol)

struct ProjRow { double lat, lon, x, y; };

struct ProjCase {
  std::string name;
  DomainRec domain;
  std::vector<ProjRow> rows;
  // Visible range for the round trip: latitude band and greatest angular distance from
  // (ref_lat, ref_lon).
  double lat_lo, lat_hi, ref_lat, ref_lon, max_c;
};

double angular(double lat0, double lon0, double lat, double lon) {
  const double r = M_PI / 180.0;
  const double c = std::sin(lat0 * r) * std::sin(lat * r) + std::cos(lat0 * r) * std::cos(lat * r) * std::cos((lon - lon0) * r);
  return std::acos(std::clamp(c, -1.0, 1.0)) / r;
}

// The cases and their expected points (from an independent projection library) in
// tests/data/plot/projections.tsv.
std::vector<ProjCase> cases() {
  const std::vector<TableRow> table = plot_table("projections.tsv");
  std::vector<ProjCase> out;
  for (const TableRow& r : plot_table_rows(table, "case")) {
    auto f = [&](int i) { return std::stof(r[static_cast<std::size_t>(i)]); };
    auto n = [&](int i) { return std::stoi(r[static_cast<std::size_t>(i)]); };
    ProjCase c{r[0], make(n(1), f(2), f(3), f(4), f(5), f(6), f(7), n(8), n(9), f(10), n(11)), {},
               f(13), f(14), f(15), f(16), f(17)};
    for (const TableRow& p : plot_table_rows(table, r[12]))
      c.rows.push_back({std::stod(p[0]), std::stod(p[1]), std::stod(p[2]), std::stod(p[3])});
    out.push_back(c);
  }
  return out;
}

class ProjTest : public ::testing::TestWithParam<ProjCase> {};

TEST_P(ProjTest, ForwardAgreesWithReferenceLibrary) {
  const ProjCase& c = GetParam();
  ASSERT_EQ(MAP_domain(&c.domain), 1);
  for (const ProjRow& r : c.rows) {
    float x = 0, y = 0;
    ASSERT_EQ(MAP_tran(&x, &y, static_cast<float>(r.lat), static_cast<float>(r.lon)), 1) << r.lat << "," << r.lon;
    EXPECT_NEAR(x, r.x, 1e-4) << r.lat << "," << r.lon;
    EXPECT_NEAR(y, r.y, 1e-4) << r.lat << "," << r.lon;
  }
}

TEST_P(ProjTest, InverseReturnsTheInputOverTheVisibleRange) {
  const ProjCase& c = GetParam();
  ASSERT_EQ(MAP_domain(&c.domain), 1);
  double max_err = 0.0;
  int n = 0;
  for (double lat = -89.9; lat <= 89.9; lat += 1.7) {
    for (double lon = -179.3; lon <= 180.0; lon += 3.3) {
      if (lat < c.lat_lo || lat > c.lat_hi || angular(c.ref_lat, c.ref_lon, lat, lon) > c.max_c) continue;
      SCOPED_TRACE(::testing::Message() << lat << "," << lon);
      float x = 0, y = 0, la = 0, lo = 0;
      ASSERT_EQ(MAP_tran(&x, &y, static_cast<float>(lat), static_cast<float>(lon)), 1);
      ASSERT_EQ(MAP_untran(&la, &lo, x, y), 1);
      // Longitude errors count as the arc they make on the parallel: near a pole a
      // float's worth of position is many hundredths of a degree of longitude.
      const double dlon = std::fabs(std::remainder(lo - lon, 360.0)) * std::cos(lat * M_PI / 180.0);
      EXPECT_LT(std::fabs(la - lat), 1e-4);
      EXPECT_LT(dlon, 1e-4);
      max_err = std::max({max_err, std::fabs(la - lat), dlon});
      ++n;
    }
  }
  EXPECT_GT(n, 1000);
  std::printf("%-18s %5d points, max round-trip error %.2e degrees\n", c.name.c_str(), n, max_err);
}

INSTANTIATE_TEST_SUITE_P(Projections, ProjTest, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

TEST(MapTran, NoDomainCopiesInputs) {
  EXPECT_EQ(MAP_domain(nullptr), -1);
  EXPECT_EQ(MAP_get_proj(), -9999);
  EXPECT_EQ(tran(12.5f, -7.0f), XY(12.5f, -7.0f));
  EXPECT_EQ(untran({3.0f, 4.0f}), XY(3.0f, 4.0f));
  EXPECT_EQ(MAP_in_domain(1e6f, 1e6f), 1);
}

TEST(MapTran, EdgeCasesOfTheProjections) {
  DomainRec ps = make(1, 60, -100);  // a point at 80S on a northern domain lies on the 75S circle
  MAP_domain(&ps);
  EXPECT_EQ(tran(-80, -40), tran(-75, -40));
  DomainRec m = make(3, 0, 0);  // Mercator: latitudes beyond 89.9 are drawn at 89.9
  MAP_domain(&m);
  EXPECT_EQ(tran(89.999f, 10), tran(89.9f, 10));
  EXPECT_EQ(tran(-90, 10), tran(-89.9f, 10));
  EXPECT_NEAR(tran(10, 370).first, tran(10, 10).first, 1e-4);  // longitudes brought into range
  float x, y;
  EXPECT_EQ(MAP_tran(&x, &y, 10, 1e30f), 1);
  // Missing, impossible and hidden inputs: result 0 and missing outputs.
  const struct { DomainRec d; bool forward; float a, b; } hidden[] = {
      {m, true, MISS, 10}, {m, true, NAN, 10}, {m, true, 95, 10}, {m, false, INFINITY, 0},
      {make(5, 40, -100), true, -40, 80},                   // ortho: the far side
      {make(5, 40, -100), false, 70, 0},                    // ortho: outside the disc
      {make(8, 0, 0, MISS, MISS, 0, 0), true, 0, 180},      // lambaz: the antipode
      {make(7, 0, 0, MISS, MISS, 0, 0), false, 0, 64},      // moll: beyond the ellipse
      {make(7, 0, 0, MISS, MISS, 0, 0), false, 130, 0},
      {make(9, 0, -75, MISS, MISS, 0, -75), true, 0, 10},   // sat: beyond the horizon
      {make(9, 0, -75, MISS, MISS, 0, -75), false, 80, 0}};  // sat: the ray misses
  for (const auto& h : hidden) {
    MAP_domain(&h.d);
    x = y = 0;
    EXPECT_EQ(h.forward ? MAP_tran(&x, &y, h.a, h.b) : MAP_untran(&x, &y, h.a, h.b), 0) << h.d.proj << " " << h.a;
    EXPECT_EQ(XY(x, y), XY(MISS, MISS)) << h.d.proj << " " << h.a;
  }
  DomainRec ll = make(2, 0, 0, MISS, MISS, 0, 0, 361, 181, 1);  // latlon: degrees from plon
  MAP_domain(&ll);
  EXPECT_EQ(tran(45, -170), XY(-170, 45));
  float lim[4];
  MAP_get_limits(lim);
  EXPECT_EQ(std::vector<float>(lim, lim + 4), (std::vector<float>{-180, 180, -90, 90}));
}

TEST(MapTran, CentredDomainLimitsAndGrid) {
  DomainRec d = make(1, MISS, MISS, MISS, MISS, 39, -97, 25, 17, 1.2f), cur;
  MAP_domain(&d);
  MAP_get_domain(&cur);  // an unset reference point takes the centre
  EXPECT_EQ(XY(cur.plat, cur.plon), XY(39, -97));
  float lim[4], x, y, c, r, xc, yc;
  MAP_get_limits(lim);
  ASSERT_EQ(MAP_tran_center(&xc, &yc), 1);
  EXPECT_NEAR(xc, 0.0f, 1e-5);  // on the central meridian
  const float want[4] = {xc - 12 * 1.2f, xc + 12 * 1.2f, yc - 8 * 1.2f, yc + 8 * 1.2f};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(lim[i], want[i], 1e-4) << i;
  MAP_grid_tran(&x, &y, 0, 0);
  EXPECT_EQ(XY(x, y), XY(lim[0], lim[3]));
  MAP_grid_tran(&x, &y, 24, 16);
  EXPECT_XY_NEAR(XY(x, y), XY(lim[1], lim[2]), 1e-4);
  MAP_grid_untran(&c, &r, xc, yc);  // the centre is the middle grid point
  EXPECT_XY_NEAR(XY(c, r), XY(12, 8), 1e-4);
  EXPECT_EQ(MAP_grid_tran(&x, &y, MISS, 3) + MAP_grid_untran(&c, &r, MISS, 0), -2);
  EXPECT_EQ(XY(x, r), XY(MISS, MISS));
  EXPECT_TRUE(MAP_in_domain(lim[0], lim[3]));
  EXPECT_FALSE(MAP_in_domain(lim[0] - 0.01f, lim[3]));
  EXPECT_TRUE(MAP_in_grid_domain(lim[0] - 3.5f, lim[3] + 3.5f));  // three spacings wider
  EXPECT_FALSE(MAP_in_grid_domain(lim[0] - 3.7f, lim[3]));
  EXPECT_FALSE(MAP_in_grid_domain(MISS, MISS));
}

TEST(MapTran, DomainToDomainKeepsTheCurrentDomain) {
  DomainRec a = make(1, MISS, MISS, MISS, MISS, 39, -97);
  DomainRec b = make(4, 40, -95, MISS, MISS, 40, -95, 50, 40, 0.8f);
  DomainRec zoomed = make(3, 0, 0, MISS, MISS, 0, 0);
  float x, y, lim[4];
  EXPECT_EQ(MAP_domain_tran(&a, &a, &x, &y, 1234.5f, -77.0f), 1);  // equal domains: a plain copy
  EXPECT_EQ(x, 1234.5f);
  MAP_domain(&a);
  const XY p = tran(45, -80);
  MAP_domain(&zoomed);
  MAP_set_view(-5, 5, -2, 2);
  ASSERT_EQ(MAP_domain_tran(&a, &b, &x, &y, p.first, p.second), 1);
  MAP_get_limits(lim);
  EXPECT_EQ(MAP_get_proj(), 3);
  EXPECT_EQ(XY(lim[0], lim[3]), XY(-5, 2));
  MAP_domain(&b);
  EXPECT_XY_NEAR(untran({x, y}), XY(45, -80), 1e-4);
}

TEST(MapTran, OffsetAndFactor) {
  DomainRec d = make(1, MISS, MISS, MISS, MISS, 39, -97);
  MAP_domain(&d);
  const XY p = tran(40, -100);
  float x, y;
  for (const float dir : {0.0f, 90.0f}) {
    ASSERT_EQ(MAP_offset(&x, &y, p.first, p.second, dir, 111.195f), 1);
    const XY q = untran({x, y});
    EXPECT_NEAR(q.first, dir == 0 ? 41 : 40, 1e-4);
    EXPECT_NEAR(q.second, dir == 0 ? -100 : -100 + 1 / std::cos(40 * M_PI / 180), 1e-4);
  }
  EXPECT_EQ(MAP_offset(&x, &y, MISS, 0, 0, 10), 0);
  EXPECT_FLOAT_EQ(MAP_factor(90), 0.933f);
  EXPECT_FLOAT_EQ(MAP_factor(60), static_cast<float>(1.866 / (1 + std::sin(60 * M_PI / 180))));
  DomainRec l = make(4, 40, -95);
  l.p5 = 1.25f;
  MAP_domain(&l);
  EXPECT_EQ(MAP_factor(10), 1.25f);
}

TEST(MapTran, WindDirectionRotation) {
  const DomainRec n = make(1, 60, -100), s = make(1, -60, 30, MISS, MISS, -50, 30), m = make(3, 0, 0);
  const DomainRec l = make(4, 25, -95, 25, 25), v = make(9, 0, -75, MISS, MISS, 0, -75);
  // map_dir: what MAP_dir_adj gives; rotation: what MAP_uvdir_adj gives
  const struct { const DomainRec* d; float lat, lon, dir, map_dir, rotation; } t[] = {
      // 60 degrees east of the reference meridian a true south wind blows toward 120 on the map.
      {&n, 50, -40, 180, 120, -60},
      {&n, 90, 0, 10, 110, 100},  // at the pole: d - plon
      {&s, -50, 60, 0, 30, 30},
      {&l, 40, -75, 90, 90 - 20 * std::sin(25 * M_PI / 180), 0},  // n times the longitude difference
      {&v, 0, -75, 0, 0, 0},  // satellite: along the projected meridian
      {&v, 0, -75, 90, 90, 0},
      {&m, 30, 20, 275, 275, 0},
  };
  for (const auto& e : t) {
    SCOPED_TRACE(::testing::Message() << e.d->proj << " " << e.lat << "," << e.lon << " " << e.dir);
    MAP_domain(e.d);
    const auto [x, y] = tran(e.lat, e.lon);
    EXPECT_NEAR(MAP_dir_adj(e.dir, x, y), e.map_dir, 1e-2);
    EXPECT_NEAR(MAP_undir_adj(e.map_dir, x, y), e.dir, 1e-2);
    EXPECT_NEAR(MAP_uvdir_adj(0, 0, x, y), e.rotation, 1e-3);
  }
  MAP_domain(&n);
  const XY a = tran(50, -40), b = tran(51, -40);  // a segment along a meridian points north
  EXPECT_NEAR(std::remainder(MAP_dir(a.first, a.second, b.first, b.second), 360.0), 0, 1e-2);
  EXPECT_EQ(MAP_dir_adj(MISS, a.first, a.second), MISS);
}

TEST(MapTran, StationThinning) {
  DomainRec d = make(2, 0, 0, MISS, MISS, 0, 0, 11, 11, 1);
  MAP_domain(&d);  // limits -5..5 in both directions, 1 degree cells
  const struct { int limit; std::vector<std::vector<float>> points; /* x, y, expected */ } t[] = {
      {0, {{0.1f, 0.1f, 1}, {0.1f, 0.1f, 1}}},
      {1, {{0.1f, 0.1f, 1}, {0.4f, 0.3f, 0}, {1.1f, 0.3f, 1}, {6, 0, 0}}},
      {2, {{0.1f, 0.1f, 1}, {0.4f, 0.1f, 0}, {0.6f, 0.1f, 1}}},   // half-spacing cells
      {-2, {{0.1f, 0.1f, 1}, {0.6f, 0.1f, 0}, {1.1f, 0.1f, 1}}},  // double-spacing cells
      {-1, {{0.1f, 0.1f, 1}, {0.1f, 0.1f, 1}, {-7, 0.1f, 0}}}};
  for (const auto& e : t) {
    MAP_set_plot_limit(e.limit);
    MAP_plot_grid_init();
    for (const auto& p : e.points) EXPECT_EQ(MAP_plot_grid(p[0], p[1]), p[2]) << e.limit << " " << p[0];
  }
  MAP_reset_tran_state();
}

TEST(MapTran, ProjectionNames) {
  const std::pair<const char*, int> t[] = {
      {"ll", 2},     {"LATLON", 2}, {"polar", 1}, {"ps", 1},       {"sat", 9},       {"lamb", 4}, {"lc", 4},
      {"lambaz", 4}, {"la", 8},     {"laea", 8},  {"gnom", 6},     {"ortho", 5},     {"moll", 7}, {"merc", 3},
      {"pixel", 99}, {"skewt", 40}, {"xp", 25},   {"xpx", -1},     {"zoom", 50},     {"size", 51},
      {"miss", -9999}, {"missing", -1}, {"", -1}, {"bogus", -1}};
  for (const auto& [name, code] : t) EXPECT_EQ(MAP_proj_str(name), code) << name;
  EXPECT_EQ(MAP_proj_str(nullptr), -1);
}

}  // namespace
