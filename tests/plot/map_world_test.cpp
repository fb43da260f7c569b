// The bundled map files drawn on world and regional maps: no stray lines over any
// projection, closed continents, coastlines where the projection puts them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/plot/map_fixture.h"
#include "config/missing.h"

namespace {

class MapWorld : public MapTest {};

struct WorldCase {
  const char* name;
  DomainRec dom;
};

std::vector<WorldCase> world_cases() {
  return {
      {"latlon", MapTest::domain(PROJ_LL, 0.0f, 0.0f, 361, 181, 1.0f)},
      {"latlon-pacific", MapTest::domain(PROJ_LL, 0.0f, -150.0f, 361, 181, 1.0f)},
      {"mollweide", MapTest::domain(PROJ_MOLL, 0.0f, 0.0f, 129, 65, 2.0f)},
      {"mollweide-pacific", MapTest::domain(PROJ_MOLL, 0.0f, 160.0f, 129, 65, 2.0f)},
      {"mercator", MapTest::domain(PROJ_MERC, 0.0f, 0.0f, 101, 51, 4.0f)},
      {"mercator-america", MapTest::domain(PROJ_MERC, 0.0f, -90.0f, 101, 51, 4.0f)},
      {"orthographic", MapTest::domain(PROJ_ORTHO, 40.0f, -100.0f, 65, 65, 2.0f)},
      {"orthographic-pole", MapTest::domain(PROJ_ORTHO, 70.0f, 170.0f, 65, 65, 2.0f)},
  };
}

TEST_F(MapWorld, NoStrayLinesOnWorldMaps) {
  for (const WorldCase& c : world_cases()) {
    SCOPED_TRACE(c.name);
    setup(c.dom);
    MAP_file("cont.map,country.map");
    testing::internal::CaptureStdout();
    MAP_draw(7);
    testing::internal::GetCapturedStdout();
    const float width = MAP_get_hor();
    const auto lines = drawn();
    ASSERT_GT(lines.size(), 500u);
    int long_ones = 0;
    for (const Drawn& d : lines)
      for (std::size_t i = 0; i + 1 < d.pts.size(); ++i)
        if (d.length(i) > 0.02 * width && long_ones++ < 5)
          ADD_FAILURE() << "segment of " << d.length(i) << " from " << d.pts[i].first << "," << d.pts[i].second << " to "
                        << d.pts[i + 1].first << "," << d.pts[i + 1].second;
    EXPECT_EQ(long_ones, 0);
  }
}

// The closed ring of a continent: a drawn polyline that ends where it starts and passes
// within tol plane units of the projection of (lat, lon).
bool closed_ring_through(const std::vector<Drawn>& lines, float lat, float lon, double tol) {
  float x = 0, y = 0;
  if (!MAP_tran(&x, &y, lat, lon)) return false;
  for (const Drawn& d : lines) {
    if (d.pts.size() < 10) continue;
    const bool closed = std::hypot(d.pts.front().first - d.pts.back().first, d.pts.front().second - d.pts.back().second) < 1e-3;
    if (!closed) continue;
    for (const auto& [px, py] : d.pts)
      if (std::hypot(px - x, py - y) < tol) return true;
  }
  return false;
}

// Australia, and the Americas (one ring from Alaska to Cape Horn), come out as closed rings
// on every world projection that shows them whole.
TEST_F(MapWorld, ContinentsAreClosedRings) {
  const struct { const char* name; DomainRec dom; bool americas; } t[] = {
      {"latlon", domain(PROJ_LL, 0.0f, 0.0f, 361, 181, 1.0f), true},
      {"mollweide", domain(PROJ_MOLL, 0.0f, 0.0f, 129, 65, 2.0f), true},
      {"mercator", domain(PROJ_MERC, 0.0f, 0.0f, 101, 71, 4.0f), false},  // cut at 73N/S
      {"orthographic", domain(PROJ_ORTHO, -25.0f, 135.0f, 65, 65, 2.0f), false},
  };
  for (const auto& c : t) {
    SCOPED_TRACE(c.name);
    setup(c.dom);
    MAP_file("cont.map");
    testing::internal::CaptureStdout();
    MAP_draw(7);
    testing::internal::GetCapturedStdout();
    const auto lines = drawn();
    const double tol = 0.002 * MAP_get_hor();
    // Cape York and Steep Point.
    EXPECT_TRUE(closed_ring_through(lines, -10.69f, 142.53f, tol + 0.5));
    EXPECT_TRUE(closed_ring_through(lines, -26.15f, 113.16f, tol + 0.5));
    if (c.americas) {
      EXPECT_TRUE(closed_ring_through(lines, -55.98f, -67.27f, tol + 1.0));  // Cape Horn region
      EXPECT_TRUE(closed_ring_through(lines, 65.6f, -168.1f, tol + 1.0));    // Cape Prince of Wales
    }
  }
}

struct KnownPoint {
  const char* name;
  double lat, lon;
};

// The nearest drawn vertex to where the projection puts a known coastal point, and the
// spacing of the drawn points there (the longer of the segments at that vertex).
void nearest_vertex(const std::vector<Drawn>& lines, double x, double y, double* dist, double* spacing) {
  *dist = 1e9;
  *spacing = 0.0;
  for (const Drawn& d : lines)
    for (std::size_t i = 0; i < d.pts.size(); ++i) {
      const double r = std::hypot(d.pts[i].first - x, d.pts[i].second - y);
      if (r < *dist) {
        *dist = r;
        *spacing = std::max(i > 0 ? d.length(i - 1) : 0.0, i + 1 < d.pts.size() ? d.length(i) : 0.0);
      }
    }
}

// Drawn coastlines lie where the projection (written out here) puts them: for capes and
// tips the nearest drawn vertex is within one point spacing of the true position. The US
// map draws the North American file; the tip of Baja California (south of the us map) and
// Gibraltar are seen on small polar stereographic maps centred on them, the North American
// and the world files.
TEST_F(MapWorld, CoastlinesWhereTheProjectionPutsThem) {
  const struct { KnownPoint p; float clat, clon, dx; } t[] = {
      {{"Cape Sable, Florida", 25.12, -81.09}, 39.0f, -97.0f, 2.3f},
      {{"Race Point, Cape Cod", 42.06, -70.24}, 39.0f, -97.0f, 2.3f},
      {{"Cape Hatteras", 35.23, -75.53}, 39.0f, -97.0f, 2.3f},
      {{"Point Conception", 34.45, -120.47}, 39.0f, -97.0f, 2.3f},
      {{"Cabo San Lucas, Baja California", 22.88, -109.90}, 22.88f, -110.0f, 0.3f},
      {{"Europa Point, Gibraltar", 36.11, -5.35}, 36.11f, -5.0f, 0.3f},
  };
  for (const auto& c : t) {
    setup(domain(PROJ_PS, c.clat, c.clon, 25, 17, c.dx, MISSING, c.clon));
    testing::internal::CaptureStdout();
    MAP_draw(5);
    testing::internal::GetCapturedStdout();
    const auto xy = ps_north(c.p.lat, c.p.lon, c.clon);
    double d = 0, sp = 0;
    nearest_vertex(drawn(), xy.first, xy.second, &d, &sp);
    const double km_per_unit = 100.0 * (1.0 + std::sin(c.p.lat * kD)) / (1.0 + std::sin(60.0 * kD));
    std::printf("%-34s nearest vertex %5.1f km, spacing %5.1f km\n", c.p.name, d * km_per_unit, sp * km_per_unit);
    EXPECT_LE(d, sp) << c.p.name;
    EXPECT_LT(d * km_per_unit, 15.0) << c.p.name;
  }
}

}  // namespace
