// Projection module: agreement with an independent projection library and round trips
// over each projection's visible range (limits, grid and domain transforms, offsets, wind
// rotation and station thinning are calls of tests/data/plot/calls.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "plot/maptran.h"
#include "plot/region.h"
#include "tests/support/plot_table.h"

namespace {

constexpr float MISS = -9999.0f;

DomainRec make(int proj, float plat, float plon, float p3 = MISS, float p4 = MISS, float clat = 40.0f,
               float clon = -100.0f, int nx = 25, int ny = 17, float dx = 1.2f, int ext = 0) {
  DomainRec d;
  DOM_init(&d);
  d.proj = proj, d.plat = plat, d.plon = plon, d.p3 = p3, d.p4 = p4, d.clat = clat, d.clon = clon;
  d.nx = nx, d.ny = ny, d.dx = d.dy = dx, d.ext = ext;
  return d;
}


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

}  // namespace
