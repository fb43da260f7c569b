// Map background: map files in both forms and damaged ones, the map list (prefixes and
// masks, regions, size conditions, list files, overlays, attributes), seam crossing,
// filled maps, latitude-longitude lines with their labels, circles.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/resrc.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "tests/plot/map_fixture.h"

namespace {

constexpr float PEN = -9999.0f;

// The world on the latitude-longitude projection, one degree a grid step: plane x is the
// longitude, y the latitude, the window -180..180 by -90..90.
DomainRec globe(float clon = 0.0f) { return MapTest::domain(PROJ_LL, 0.0f, clon, 361, 181, 1.0f); }

// Draws with a mask, returning what was printed: standard output, then standard error.
std::string draw(int mask = 7) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  MAP_draw(mask);
  const std::string err = testing::internal::GetCapturedStderr();
  return testing::internal::GetCapturedStdout() + err;
}

bool near(double a, double b, double tol = 1e-3) { return std::fabs(a - b) <= tol; }

// Lines made of short steps (under the one-degree division of long segments), so that
// drawn points are exactly the file's points.
MapPoints steps(float lat, float lon0, float lon1, float step = 0.5f) {
  MapPoints p;
  const int n = static_cast<int>(std::lround(std::fabs(lon1 - lon0) / step));
  for (int i = 0; i <= n; ++i) p.push_back({lat, lon0 + (lon1 > lon0 ? 1.0f : -1.0f) * step * static_cast<float>(i)});
  return p;
}

// A small closed square around (lat, lon).
MapPoints square(float lat, float lon, float h = 0.5f) {
  return {{lat - h, lon - h}, {lat - h, lon + h}, {lat + h, lon + h}, {lat + h, lon - h}, {lat - h, lon - h}};
}

// ---------------------------------------------------------------- map files

TEST_F(MapTest, TextAndBinaryFormsDrawTheSameLines) {
  MapPoints r1 = {{10.0f, 10.0f}, {10.0f, 10.5f}, {10.5f, 10.5f}, {PEN, PEN}, {30.0f, 30.0f}, {30.0f, 30.5f}};
  MapPoints r2 = {{-40.0f, -40.0f}, {-40.5f, -40.5f}};
  write("b.map", binary({r1, r2}));
  write("t.map", text({r1, r2}));
  std::vector<std::vector<Drawn>> results;
  for (const char* name : {"b.map", "t.map"}) {
    setup(globe());
    MAP_file(name);
    EXPECT_EQ(draw(), std::string("Map: ") + name + "\n");
    results.push_back(drawn());
  }
  const std::vector<std::vector<std::pair<double, double>>> want = {
      {{10, 10}, {10.5, 10}, {10.5, 10.5}}, {{30, 30}, {30.5, 30}}, {{-40, -40}, {-40.5, -40.5}}};
  for (const auto& r : results) {
    ASSERT_EQ(r.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      ASSERT_EQ(r[i].pts.size(), want[i].size()) << i;
      for (std::size_t k = 0; k < want[i].size(); ++k)
        EXPECT_TRUE(near(r[i].pts[k].first, want[i][k].first, 0.01) &&
                    near(r[i].pts[k].second, want[i][k].second, 0.01))
            << i << " " << k;
    }
  }
}

// A record of count 0 ends the file; a lone point between pen-ups draws nothing, and a line
// is never joined over a pen-up or from one record to the next.
TEST_F(MapTest, EndRecordPenUpsAndRecordsEndLines) {
  std::string bytes = binary({{{0, 0}, {0, 0.5f}, {PEN, PEN}, {5, 5}, {PEN, PEN}, {1, 1}, {1, 1.5f}}, {{2, 2}, {2, 2.5f}}});
  bytes += binary({{{50, 50}, {50, 50.5f}}});  // after the end record: never read
  map_only("e.map", bytes, globe());
  EXPECT_EQ(draw(), "Map: e.map\n");
  const auto lines = drawn();
  ASSERT_EQ(lines.size(), 3u);
  for (const Drawn& d : lines) EXPECT_EQ(d.pts.size(), 2u);
  EXPECT_TRUE(near(lines[1].pts[0].second, 1.0, 0.01));
  EXPECT_TRUE(near(lines[2].pts[0].second, 2.0, 0.01));
}

// Segments longer than a degree follow their parallel or meridian on every projection.
TEST_F(MapTest, LongSegmentsFollowTheirParallel) {
  map_only("p.map", binary({{{49.0f, -123.0f}, {49.0f, -95.0f}}}), us());
  draw();
  const auto lines = drawn();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_GE(lines[0].pts.size(), 29u);
  // Every point on the 49N circle about the pole, the origin of this plane.
  const auto c = ps_north(49.0, -100.0, -97.0);
  const double r49 = std::hypot(c.first, c.second);
  for (const auto& [x, y] : lines[0].pts) EXPECT_NEAR(std::hypot(x, y), r49, 0.02) << x << "," << y;
}

struct Damage {
  const char* what;
  std::string bytes;
  const char* message;  // expected in the report; null: any report
  int lines;              // lines of the damaged file drawn; -1: any number
};

std::vector<Damage> damages() {
  const MapPoints good = {{-10.0f, -10.0f}, {-10.0f, -9.5f}};
  // 32767 points announced, two given.
  const std::string huge = std::string("\x7f\xff", 2) + std::string(20, '\0') + std::string(16, '\x01');
  std::string negative = std::string("\x80\x01", 2) + std::string(20, '\0') + std::string(16, '\0');
  std::string text_huge = "99999999 0 0 0 0 1\n1 1\n2 2\n";
  const std::string nan_point = MapTest::binary({good, {{std::nanf(""), 1.0f}, {2.0f, 2.0f}}});
  const std::string second_bad = "2 0 0 0 0 1\n-10 -10\n-10 -9.5\n3 0 0 0 0 1\n1 1\n2 2\n";
  std::string big_points;
  {
    // 90,000 points 45 degrees apart: each segment is divided into 45, too many points.
    // They lie east of the map of the test, so the records kept cost no drawing.
    std::vector<MapPoints> recs;
    for (int r = 0; r < 3; ++r) {
      MapPoints p;
      for (int i = 0; i < 30000; ++i) p.push_back({i % 2 == 0 ? 0.0f : 45.0f, 100.0f});
      recs.push_back(p);
    }
    big_points = MapTest::binary(recs);
  }
  std::string garbage;
  unsigned s = 12345;
  for (int i = 0; i < 5000; ++i) {
    s = s * 1103515245u + 12345u;
    garbage += static_cast<char>((s >> 16) & 0xFF);
  }
  return {
      {"huge count", huge, "record 1 ends after 2 of 32767 points", 0},
      {"negative count", negative, "record 1 has a point count of -32767", 0},
      {"cut header", std::string("\x00\x05\x00", 3), "record 1 is cut off in its header", 0},
      {"text huge count", text_huge, "record 1 has a point count of 99999999", 0},
      {"text truncated", "5 0 0 0 0 1\n1 1\n2 2\n", "record 1 ends after 2 of 5 points", 0},
      {"text garbage", "hello world\nthis is no map\n", "it is text, but not map records", 0},
      {"not a number", nan_point, "point 1 of record 2 is not a latitude and longitude", 1},
      {"latitude 95", MapTest::text({{{95.0f, 0.0f}, {1.0f, 1.0f}}}), "point 1 of record 1 is not a latitude", 0},
      {"second record bad", second_bad, "record 2 ends after 2 of 3 points; drawing its first 1 records", 1},
      {"empty", "", "the file is empty", 0},
      {"too many points", big_points, "it holds more than 4000000 points; drawing its first 2 records", 0},
      {"random bytes", garbage, nullptr, -1},
  };
}

// A damaged file is reported once with what is wrong and its whole records before the
// damage are drawn; the next item of the list draws as usual.
TEST_F(MapTest, DamagedFilesAreReportedAndTheListGoesOn) {
  write("good.map", binary({steps(20.0f, 20.0f, 22.0f)}));
  for (const Damage& d : damages()) {
    SCOPED_TRACE(d.what);
    MAP_clear_cache();
    write("bad.map", d.bytes);
    // Latitude-longitude, 30W to 60E and 45S to 45N.
    setup(domain(PROJ_LL, 0.0f, 15.0f, 91, 91, 1.0f));
    MAP_file("bad.map,good.map");
    const std::string out = draw();
    EXPECT_NE(out.find("MAP_map: Damaged map file " + path("bad.map") + ": "), std::string::npos) << out;
    if (d.message != nullptr) {
      EXPECT_NE(out.find(d.message), std::string::npos) << out;
    }
    const auto lines = drawn();
    ASSERT_FALSE(lines.empty());
    // good.map: the last line, along 20N from 20E to 22E (x is the longitude from 15E).
    EXPECT_TRUE(near(lines.back().pts.front().second, 20.0, 0.01));
    EXPECT_TRUE(near(lines.back().pts.back().first, 7.0, 0.01));
    if (d.lines >= 0) {
      EXPECT_EQ(lines.size(), static_cast<std::size_t>(d.lines) + 1);
    }
    // Read once a run: drawing again says nothing more.
    const std::size_t n = lines.size();
    gdev_clear_calls();
    EXPECT_EQ(draw(), "Map: bad.map\nMap: good.map\n");
    EXPECT_EQ(drawn().size(), n);
  }
}

TEST_F(MapTest, MissingFileIsReportedOnceAndTheListGoesOn) {
  write("good.map", binary({steps(20.0f, 20.0f, 22.0f)}));
  setup(globe());
  MAP_file("nosuch.map,good.map");
  EXPECT_EQ(draw(), "Map: nosuch.map\nMap: good.map\nMAP_process: Map file not found: nosuch.map\n");
  EXPECT_EQ(drawn().size(), 1u);
  EXPECT_EQ(draw(), "Map: nosuch.map\nMap: good.map\n");
  EXPECT_EQ(MAP_process("nosuch.map"), -1);
}

// A file is read once; a file that changes on disk is read again.
TEST_F(MapTest, FilesAreReadOnceAndAgainWhenChanged) {
  const std::string a = binary({steps(10.0f, 0.0f, 1.0f)});
  const std::string b = binary({steps(11.0f, 0.0f, 1.0f)});
  ASSERT_EQ(a.size(), b.size());
  map_only("c.map", a, globe());
  draw();
  EXPECT_TRUE(near(drawn()[0].pts[0].second, 10.0));
  // Same size and time stamp: the cached lines.
  struct stat st {};
  ASSERT_EQ(stat(path("c.map").c_str(), &st), 0);
  write("c.map", b);
  const struct timespec same[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path("c.map").c_str(), same, 0), 0);
  gdev_clear_calls();
  draw();
  EXPECT_TRUE(near(drawn()[0].pts[0].second, 10.0));
  // A new time stamp: read again.
  struct timespec later[2] = {st.st_atim, st.st_mtim};
  later[1].tv_sec += 10;
  ASSERT_EQ(utimensat(AT_FDCWD, path("c.map").c_str(), later, 0), 0);
  gdev_clear_calls();
  draw();
  EXPECT_TRUE(near(drawn()[0].pts[0].second, 11.0));
}

TEST_F(MapTest, OpenStreamDraws) {
  write("s.map", text({steps(5.0f, 5.0f, 6.0f)}));
  setup(globe());
  std::FILE* f = std::fopen(path("s.map").c_str(), "r");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(MAP_map(f), 1);
  std::fclose(f);
  EXPECT_EQ(drawn().size(), 1u);
  EXPECT_EQ(MAP_map(nullptr), -1);
}

// ---------------------------------------------------------------- the map list

// Three files, each a line at its own latitude; which were drawn.
std::vector<int> drawn_latitudes() {
  std::vector<int> out;
  for (const Drawn& d : MapTest::drawn()) out.push_back(static_cast<int>(std::lround(d.pts[0].second)));
  return out;
}

TEST_F(MapTest, PrefixesAgainstTheMask) {
  write("a.map", binary({steps(10.0f, 0.0f, 1.0f)}));
  write("b.map", binary({steps(20.0f, 0.0f, 1.0f)}));
  write("c.map", binary({steps(30.0f, 0.0f, 1.0f)}));
  const struct { int mask; std::vector<int> lats; } t[] = {
      {1, {10}}, {2, {20}}, {4, {30}}, {5, {10, 30}}, {6, {20, 30}}, {7, {10, 20, 30}}, {0, {}},
  };
  for (const auto& c : t) {
    SCOPED_TRACE(c.mask);
    setup(globe());
    MAP_file("-a.map,+b.map,c.map");
    draw(c.mask);
    EXPECT_EQ(drawn_latitudes(), c.lats);
  }
}

TEST_F(MapTest, MapComponentOffDrawsNothing) {
  map_only("a.map", binary({steps(10.0f, 0.0f, 1.0f)}), globe());
  MAP_latlon(0, 0, 30.0f, 30.0f);
  FLAG_setplot(DRAW_MAP, 0);
  EXPECT_EQ(draw(), "");
  EXPECT_TRUE(calls(GOBJ_LINE).empty());
  EXPECT_TRUE(labels().empty());
  FLAG_setplot(DRAW_MAP, 1);
}

// A region from 20N to 60N and 130W to 60W with one file, then the whole globe with another:
// a domain over the United States draws the first only, one over Europe the second only.
TEST_F(MapTest, RegionsChooseTheirItems) {
  const std::vector<MapPoints> both = {steps(40.0f, -100.0f, -99.0f), steps(50.0f, 10.0f, 11.0f)};
  write("first.map", binary(both));
  write("second.map", binary(both));
  const std::string list = "[20,60,-130,-60,1000],first.map,[-90,90,-180,180],second.map";
  setup(domain(PROJ_PS, 40.0f, -100.0f, 25, 17, 1.2f));
  MAP_file(list.c_str());
  EXPECT_EQ(draw(), "Map: first.map\n");
  EXPECT_EQ(drawn().size(), 1u);
  setup(domain(PROJ_PS, 50.0f, 10.0f, 25, 17, 1.2f));
  EXPECT_EQ(draw(), "Map: second.map\n");
  EXPECT_EQ(drawn().size(), 1u);
  // Items before any region always draw; a region too small for the map does not match;
  // pairs in either order; a region with fewer than four values matches everything.
  MAP_file("second.map,[60,20,-60,-130,10],first.map,[],first.map");
  setup(domain(PROJ_PS, 40.0f, -100.0f, 25, 17, 1.2f));
  EXPECT_EQ(draw(), "Map: second.map\nMap: first.map\n");
  MAP_file("[60,20,-60,-130,30],first.map");
  EXPECT_EQ(draw(), "Map: first.map\n");
}

TEST_F(MapTest, SizeConditions) {
  write("f.map", binary({steps(40.0f, -100.0f, -99.0f)}));
  const struct { const char* cond; float height; bool drawn; } t[] = {
      {"s-50:", 40, true},       {"s-50:", 60, false},      {"s+50:", 40, false},     {"s+50:", 60, true},
      {">30:", 40, true},        {">30:", 20, false},       {">30<50:", 40, true},    {">30<50:", 60, false},
      {">30<50:", 20, false},    {"<50:", 40, true},        {"<50:", 60, false},      {"<50>30:", 40, true},
      {"<50>30:", 20, false},    {"<50>30:", 60, false},    {"s+30:s-50:", 40, true}, {"s+30:s-50:", 60, false},
      {"s-50:>45:", 48, true},   {"s-50:>45:", 40, false},  {"", 1000, true},
  };
  for (const auto& c : t) {
    SCOPED_TRACE(std::string(c.cond) + " at " + std::to_string(c.height));
    setup(of_height(c.height));
    EXPECT_NEAR(MAP_get_vert(), c.height, 1e-3);
    const std::string item = std::string(c.cond) + "f.map";
    MAP_file(item.c_str());
    draw();
    EXPECT_EQ(drawn().size(), c.drawn ? 1u : 0u);
  }
}

// A file name that merely looks like a condition is a file name.
TEST_F(MapTest, NamesThatLookLikeConditions) {
  map_only("s-5.map", binary({steps(40.0f, -100.0f, -99.0f)}), of_height(40.0f));
  EXPECT_EQ(draw(), "Map: s-5.map\n");
  EXPECT_EQ(drawn().size(), 1u);
}

TEST_F(MapTest, ListFiles) {
  write("a.map", binary({steps(10.0f, 0.0f, 1.0f)}));
  write("b.map", binary({steps(20.0f, 0.0f, 1.0f)}));
  write("c.map", binary({steps(30.0f, 0.0f, 1.0f)}));
  write("list", "a.map\n  -b.map\tc.map:red\n");
  setup(globe());
  MAP_file("fi:list");
  EXPECT_EQ(draw(5), "Map: a.map\nMap: b.map\nMap: c.map\n");
  EXPECT_EQ(drawn_latitudes(), (std::vector<int>{10, 20, 30}));
  MAP_file("fi:nolist,c.map");
  EXPECT_EQ(draw(), "Map: c.map\nMAP_draw: Unable to open map list file: nolist\n");
  // A list that names itself ends.
  write("loop", "a.map fi:loop\n");
  MAP_file("fi:loop");
  const std::string out = draw();
  EXPECT_NE(out.find("MAP_draw: Map list files nested too deeply"), std::string::npos);
}

TEST_F(MapTest, DefaultListsAndTheResource) {
  setup(us());
  EXPECT_EQ(draw(4), "Map: zav.map\n");
  // The same centre on a map 80 units high: the world files.
  setup(domain(PROJ_PS, 39.0f, -97.0f, 25, 17, 5.0f));
  EXPECT_EQ(draw(4), "Map: cont.map\nMap: country.map\n");
  setup(globe());
  EXPECT_EQ(draw(4), "Map: cont.map\nMap: country.map\n");
  MAP_file("states.map");
  EXPECT_EQ(draw(4), "Map: states.map\n");
  RES_put("map_file", "cont_c.map,country_c.map");
  EXPECT_EQ(draw(4), "Map: cont_c.map\nMap: country_c.map\n");
}

TEST_F(MapTest, AttributesOfMapFiles) {
  write("a.map", binary({steps(10.0f, 0.0f, 1.0f)}));
  auto colour_of_line = [] {
    int c = -1;
    for (const GksCall& k : gdev_calls()) {
      if (k.code == GOBJ_LCOLR) c = k.arg;
      if (k.code == GOBJ_LINE) return c;
    }
    return -2;
  };
  // The list item's colour, then the format's, then black under filled continents, then
  // the resource.
  const struct { const char* item; const char* format; int fill; const char* res; const char* colour; } t[] = {
      {"a.map", nullptr, 0, nullptr, "red"},   {"a.map:blue:wi=2", nullptr, 0, nullptr, "blue"},
      {"a.map", "green", 0, nullptr, "green"}, {"a.map", nullptr, 1, nullptr, "black"},
      {"a.map", nullptr, 0, "blue", "blue"},
  };
  for (const auto& c : t) {
    SCOPED_TRACE(c.item);
    setup(globe());
    MAP_file(c.item);
    MAP_set_format(c.format);
    MAP_fill_cont(c.fill);
    if (c.res != nullptr) RES_put("color_map", c.res);
    draw();
    EXPECT_EQ(colour_of_line(), CLR_get_ind(c.colour));
  }
  MAP_set_format(nullptr);
  MAP_fill_cont(0);
  // No colour: nothing drawn, but the file is still looked for.
  MAP_file("a.map:none,nosuch.map:none");
  gdev_clear_calls();
  const std::string out = draw();
  EXPECT_TRUE(calls(GOBJ_LINE).empty());
  EXPECT_NE(out.find("Map file not found: nosuch.map"), std::string::npos);
}

std::string seen;  // what the overlay callback was given, one line a call
int fake_overlay(const char* file, const char* colour, int x, int y) {
  seen += std::string(file) + "|" + colour + "|" + std::to_string(x) + "|" + std::to_string(y) + "\n";
  return 0;
}

TEST_F(MapTest, Overlays) {
  write("a.map", binary({steps(10.0f, 0.0f, 1.0f)}));
  setup(globe());
  MAP_file("im:sat.png:white:10:20,rf:obs.raw,if:logo.png::5:6,a.map");
  std::string out = draw();
  EXPECT_EQ(out,
            "Map-image: sat.png:white:10:20\n"
            "Map-rawfile: obs.raw\n"
            "Map-image: logo.png::5:6\n"
            "Map: a.map\n"
            "IMG_read: Unable to open image file: sat.png\n"
            "MAP_process: Station-value overlays are not available in this version: obs.raw\n"
            "IMG_read: Unable to open image file: logo.png\n");
  EXPECT_EQ(drawn().size(), 1u);
  MAP_set_overlay_func("im", fake_overlay);
  MAP_set_overlay_func("if", fake_overlay);
  for (const char* item : {"im:sat.png:white:10:20", "if:logo.png::5:6", "im:plain.png"}) {
    MAP_file(item);
    draw();
  }
  EXPECT_EQ(seen, "sat.png|white|10|20\nlogo.png||5|6\nplain.png||0|0\n");
  MAP_set_overlay_func("im", nullptr);
  MAP_set_overlay_func("if", nullptr);
  // A metafile is replayed through the kernel, onto the map's transformation.
  write("m.meta", "ZAVMETA\n#Title: x\nPL 2 10.000000,20.000000 30.000000,40.000000 \n");
  MAP_file("mf:m.meta");
  gdev_clear_calls();
  EXPECT_EQ(draw(), "Map-metafile: m.meta\n");
  const auto lines = drawn();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(near(lines[0].pts[0].first, 10.0, 0.01));
  EXPECT_TRUE(near(lines[0].pts[1].second, 40.0, 0.01));
}

// ---------------------------------------------------------------- seams and hidden points

// A coastline over the date line on the latitude-longitude map: two pieces, one ending at
// the right edge, one starting at the left edge; no segment across the map.
TEST_F(MapTest, DateLineOnTheLatLonMap) {
  map_only("d.map", binary({{{10.0f, 179.0f}, {10.0f, 179.6f}, {10.0f, -179.6f}, {10.0f, -179.0f}}}), globe());
  draw();
  const auto lines = drawn();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(near(lines[0].pts.front().first, 179.0, 0.01));
  EXPECT_GE(lines[0].pts.back().first, 180.0);
  EXPECT_TRUE(near(lines[0].pts.back().first, 180.4, 0.01));
  EXPECT_LE(lines[1].pts.front().first, -180.0);
  EXPECT_TRUE(near(lines[1].pts.back().first, -179.0, 0.01));
  for (const Drawn& d : lines)
    for (std::size_t i = 0; i + 1 < d.pts.size(); ++i) {
      EXPECT_LT(d.length(i), 1.0);
      EXPECT_TRUE(near(d.pts[i].second, 10.0, 1e-3));
    }
}

// The same over the seam of other projections: the seam lies opposite the centre.
TEST_F(MapTest, SeamOnOtherProjections) {
  write("d.map", binary({{{20.0f, 29.0f}, {20.0f, 29.6f}, {20.0f, 30.4f}, {20.0f, 31.0f}}}));
  const struct { const char* name; DomainRec dom; } t[] = {
      {"latlon centred at 150W", globe(-150.0f)},
      {"mercator", domain(PROJ_MERC, 0.0f, -150.0f, 101, 51, 4.0f)},
      {"mollweide", domain(PROJ_MOLL, 0.0f, -150.0f, 129, 65, 2.0f)},
  };
  for (const auto& c : t) {
    SCOPED_TRACE(c.name);
    setup(c.dom);
    MAP_file("d.map");
    draw();
    const auto lines = drawn();
    ASSERT_EQ(lines.size(), 2u);
    const float hor = MAP_get_hor();
    EXPECT_GT(lines[0].pts.back().first, 0.0);
    EXPECT_LT(lines[1].pts.front().first, 0.0);
    for (const Drawn& d : lines)
      for (std::size_t i = 0; i + 1 < d.pts.size(); ++i) EXPECT_LT(d.length(i), 0.01 * hor);
    if (c.dom.proj == PROJ_MOLL) {
      // Both pieces reach the rim of the ellipse at 20N, where the formula puts 30E.
      const double rim = mollweide(20.0, 29.9999, -150.0).first;
      EXPECT_GE(lines[0].pts.back().first, rim - 1e-3);
      EXPECT_LE(lines[1].pts.front().first, -rim + 1e-3);
      EXPECT_NEAR(lines[0].pts.back().second, mollweide(20.0, 0.0, 0.0).second, 1e-3);
    }
  }
}

// Points on the far side of the globe break the line; it is never joined across the gap.
TEST_F(MapTest, HiddenPointsBreakLines) {
  // Along the equator all the way round, seen from above 40N 100W.
  map_only("e.map", binary({steps(0.0f, -180.0f, 179.5f)}), domain(PROJ_ORTHO, 40.0f, -100.0f, 65, 65, 2.0f));
  draw();
  // The near side from 180 to 10W, and again from 170E on; the far side is not joined.
  const auto lines = drawn();
  ASSERT_EQ(lines.size(), 2u);
  for (const Drawn& l : lines) {
    for (std::size_t i = 0; i + 1 < l.pts.size(); ++i) EXPECT_LT(l.length(i), 0.6);
    for (const auto& [x, y] : l.pts) {
      float lat = 0, lon = 0;
      if (!MAP_untran(&lat, &lon, static_cast<float>(x), static_cast<float>(y))) {
        EXPECT_NEAR(std::hypot(x, y), kR, 1e-3);  // on the rim, beyond float's reach back
        continue;
      }
      bool seen = false;
      const auto p = orthographic(0.0, lon, 40.0, -100.0, &seen);
      EXPECT_TRUE(seen) << lon;
      EXPECT_NEAR(p.first, x, 1e-3);
      EXPECT_NEAR(p.second, y, 1e-3);
    }
  }
}

// Lines far outside the domain are not even projected; a line through the domain is drawn
// up to its edges.
TEST_F(MapTest, CullingOutsideTheDomain) {
  write("asia.map", binary({steps(30.0f, 80.0f, 120.0f)}));
  write("across.map", binary({steps(40.0f, -140.0f, -60.0f)}));
  setup(us());
  MAP_get_counts(nullptr, nullptr);
  MAP_file("asia.map");
  draw();
  long lines = 0, points = 0;
  MAP_get_counts(&lines, &points);
  EXPECT_EQ(lines, 0);
  EXPECT_EQ(points, 0);
  MAP_file("across.map");
  draw();
  const auto d = drawn();
  ASSERT_EQ(d.size(), 1u);
  float win[4];
  MAP_get_window(win);
  const float mx = 0.01f * (win[1] - win[0]);
  EXPECT_NEAR(d[0].pts.front().first, win[0] - mx, 1e-3);
  EXPECT_NEAR(d[0].pts.back().first, win[1] + mx, 1e-3);
}

TEST_F(MapTest, WindowIsTheDomain) {
  setup(us());
  float w[4];
  MAP_get_window(w);
  const auto c = ps_north(39.0, -97.0, -97.0);
  EXPECT_NEAR(w[0], c.first - 12 * 2.3, 1e-3);
  EXPECT_NEAR(w[1], c.first + 12 * 2.3, 1e-3);
  EXPECT_NEAR(w[2], c.second - 8 * 2.3, 1e-3);
  EXPECT_NEAR(w[3], c.second + 8 * 2.3, 1e-3);
  EXPECT_NEAR(MAP_get_vert(), 16 * 2.3, 1e-4);
  EXPECT_NEAR(MAP_get_hor(), 24 * 2.3, 1e-4);
  int err = 0, n = 0;
  ginq_cur_norm_tran_num(&err, &n);
  EXPECT_EQ(n, 2);
}

// ---------------------------------------------------------------- filled maps

TEST_F(MapTest, FilledAreas) {
  // Land square, a lake inside it (kind 2), a ring over the date line, and a ring round the
  // south pole at 70S.
  std::string bytes = binary({square(10.0f, 10.0f, 2.0f)});
  MapPoints lake = square(10.0f, 10.0f, 0.5f);
  std::string lake_rec = binary({lake}, false);
  lake_rec[21] = 2;  // the record's integer: a lake
  MapPoints dateline = {{-5, 178}, {-5, -178}, {5, -178}, {5, 178}, {-5, 178}};
  MapPoints polar = steps(-70.0f, -180.0f, 180.0f);
  bytes = binary({square(10.0f, 10.0f, 2.0f)}, false) + lake_rec + binary({dateline, polar});
  write("land.map", bytes);
  setup(globe());
  MAP_file("land.map:green:fi=0");
  draw();
  const auto fills = drawn(GOBJ_FILL);
  ASSERT_EQ(fills.size(), 5u);  // square, lake, date line ring in two, polar ring
  auto box = [](const Drawn& d) {
    std::vector<double> b = {1e9, -1e9, 1e9, -1e9};
    for (const auto& [x, y] : d.pts) b[0] = std::min(b[0], x), b[1] = std::max(b[1], x), b[2] = std::min(b[2], y), b[3] = std::max(b[3], y);
    return b;
  };
  const auto sq = box(fills[0]);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(sq[i], (std::vector<double>{8, 12, 8, 12})[i], 1e-3);
  // The lake is filled with the background, the land around it in its own colour.
  std::vector<int> fill_colours;
  for (const GksCall& c : gdev_calls())
    if (c.code == GOBJ_FCOLR) fill_colours.push_back(c.arg);
  ASSERT_GE(fill_colours.size(), 3u);
  EXPECT_EQ(fill_colours[0], CLR_get_ind("green"));
  EXPECT_EQ(fill_colours[1], GKS_BACKGROUND);
  EXPECT_EQ(fill_colours[2], CLR_get_ind("green"));
  // The ring over the date line: one piece at each edge, none across the map.
  const auto a = box(fills[2]), b = box(fills[3]);
  EXPECT_NEAR(std::max(a[1], b[1]), 180.0, 0.01);
  EXPECT_NEAR(std::min(a[0], b[0]), -180.0, 0.01);
  EXPECT_LT(a[1] - a[0], 3.0);
  EXPECT_LT(b[1] - b[0], 3.0);
  // The polar ring is closed over the pole: it reaches the bottom of the map.
  const auto p = box(fills[4]);
  EXPECT_NEAR(p[2], -90.0, 0.01);
  EXPECT_NEAR(p[3], -70.0, 0.01);
  EXPECT_NEAR(p[1] - p[0], 360.0, 0.01);
}

// ---------------------------------------------------------------- latitude-longitude lines

TEST_F(MapTest, LatLonLabels) {
  map_only("none.map", binary({}), globe(-150.0f));
  MAP_latlon(0, 0, 30.0f, 90.0f);
  draw();
  std::vector<std::string> l = labels();
  std::sort(l.begin(), l.end());
  EXPECT_EQ(l, (std::vector<std::string>{"30N", "30S", "60N", "60S", "90E", "90W", "DL", "EQ", "PM"}));
  // Latitudes at the left edge, one hundredth of the width in; longitudes at the bottom.
  const std::map<std::string, std::pair<double, double>> want = {
      {"EQ", {-180.0 + 3.6, 0.0}}, {"PM", {150.0, -90.0 + 3.6}}, {"90W", {60.0, -90.0 + 3.6}},
      {"DL", {-30.0, -90.0 + 3.6}}};
  for (const auto& [t, pos] : placed_labels()) {
    const auto w = want.find(t);
    if (w == want.end()) continue;
    EXPECT_NEAR(pos.first, w->second.first, 1e-3) << t;
    EXPECT_NEAR(pos.second, w->second.second, 1e-3) << t;
  }
  // The line colour: magenta, dash-dotted.
  bool magenta = false, style4 = false;
  for (const GksCall& c : gdev_calls()) {
    if (c.code == GOBJ_LCOLR && c.arg == CLR_get_ind("magenta")) magenta = true;
    if (c.code == GOBJ_LTYPE && c.arg == 4) style4 = true;
  }
  EXPECT_TRUE(magenta);
  EXPECT_TRUE(style4);
  // Lines are drawn with the map itself only: not over the data.
  gdev_clear_calls();
  draw(2);
  EXPECT_TRUE(labels().empty());
  EXPECT_TRUE(calls(GOBJ_LINE).empty());
}

TEST_F(MapTest, ExtraLabelsAndCrossMarks) {
  map_only("none.map", binary({}), globe());
  MAP_latlon(0, 30, 30.0f, 90.0f);
  draw();
  // On each latitude line: longitudes -135, -105, ... 165 (half a line spacing off the
  // meridians, every 30 degrees).
  std::vector<double> eq;
  for (const auto& [t, pos] : placed_labels())
    if (t == "EQ" && pos.first > -170.0) eq.push_back(pos.first);
  std::sort(eq.begin(), eq.end());
  std::vector<double> want;
  for (int lon = -135; lon <= 165; lon += 30) want.push_back(lon);
  ASSERT_EQ(eq.size(), want.size());
  for (std::size_t i = 0; i < eq.size(); ++i) EXPECT_NEAR(eq[i], want[i], 1e-3);
  // On each longitude line: latitudes -75, -45, ... 75.
  std::vector<double> pm;
  for (const auto& [t, pos] : placed_labels())
    if (t == "PM" && pos.second > -85.0) pm.push_back(pos.second);
  std::sort(pm.begin(), pm.end());
  EXPECT_EQ(pm, (std::vector<double>{-75, -45, -15, 15, 45, 75}));

  // Cross marks every 30 degrees: latitudes -60 to 60, longitudes -150 to 180; a tick is
  // 0.2 degrees long; the horizontal ones at 180 would run over the seam and are left out.
  setup(globe());
  MAP_latlon(30, 0, 30.0f, 90.0f);
  draw();
  int ticks = 0;
  for (const Drawn& d : drawn())
    if (d.pts.size() == 2 && near(d.length(0), 0.2, 1e-3)) ++ticks;
  EXPECT_EQ(ticks, 5 * 11 + 5 * 12);
}

TEST_F(MapTest, LaloItems) {
  setup(globe());
  MAP_file("lalo:20:45:blue");
  EXPECT_EQ(draw(), "Map-lalo: 20.0,45.0\n");
  std::vector<std::string> l = labels();
  EXPECT_NE(std::find(l.begin(), l.end(), "20N"), l.end());
  EXPECT_NE(std::find(l.begin(), l.end(), "45E"), l.end());
  EXPECT_EQ(std::find(l.begin(), l.end(), "30N"), l.end());
  bool blue = false;
  for (const GksCall& c : gdev_calls())
    if (c.code == GOBJ_LCOLR && c.arg == CLR_get_ind("blue")) blue = true;
  EXPECT_TRUE(blue);
  MAP_file("lalo");
  EXPECT_EQ(draw(), "Map-lalo: 5.0,5.0\n");
  MAP_file("lalo:10");
  EXPECT_EQ(draw(), "Map-lalo: 10.0,10.0\n");
  MAP_file("lalo:15:none");
  gdev_clear_calls();
  EXPECT_EQ(draw(), "Map-lalo: 15.0,15.0\n");
  EXPECT_TRUE(labels().empty());
}

// Work that has no bound in what the user writes is bounded: lines closer than the map can
// show are drawn at the map's own spacing, a list draws its first items, and a file that
// never ends is not read.
TEST_F(MapTest, UnboundedWorkIsBounded) {
  map_only("none.map", binary({}), globe());
  MAP_latlon(0, 0, 0.01f, 0.01f);
  EXPECT_EQ(draw(),
            "Map: none.map\n"
            "MAP_lines: Lines every 0.01 by 0.01 degrees would be 54000 lines, more than 720: drawn every 30 degrees\n");
  // Five latitudes and at most twelve meridians are labelled, 30 degrees apart.
  const std::vector<std::string> l = labels();
  EXPECT_LE(l.size(), 17u);
  for (const char* t : {"EQ", "30N", "60S", "120E", "150W"}) EXPECT_NE(std::find(l.begin(), l.end(), t), l.end()) << t;
  // Said once for the same spacing; 180 / 0.25 = 720 latitudes alone are drawn as asked.
  EXPECT_EQ(draw(), "Map: none.map\n");
  MAP_latlon(0, 0, 0.25f, 0.0f);
  EXPECT_EQ(draw(), "Map: none.map\n");
  MAP_latlon(0, 0, 0.0f, 0.0f);

  std::string list = "lalo:60";
  for (int i = 1; i < 1000; ++i) list += ",lalo:60";
  MAP_file(list.c_str());
  const std::string out = draw();
  EXPECT_EQ(count_of(out, "Map-lalo: 60.0,60.0\n"), MAP_MAX_ITEMS);
  EXPECT_NE(out.find("MAP_draw: More than 64 map items: 936 left out: lalo:60,lalo:60,"), std::string::npos) << out;
  EXPECT_LT(out.size(), 64 * 20 + 400u);
  // Items of other masks, and region items that select none, take no room.
  MAP_file(("+a.map," + list.substr(0, 8 * 64 - 1)).c_str());
  EXPECT_EQ(count_of(draw(5), "MAP_draw: More than"), 0);

  MAP_file("mf:/dev/zero");
  EXPECT_EQ(draw(), "Map-metafile: /dev/zero\nMAP_process: /dev/zero is not a regular file: left out\n");
}

TEST_F(MapTest, MissingSpacing) {
  setup(globe());
  EXPECT_EQ(MAP_lines(MISSING, 10.0f), -1);
  EXPECT_EQ(MAP_lines(10.0f, MISSING), -1);
  EXPECT_TRUE(calls(GOBJ_LINE).empty());
}

// On the Lambert cone the meridians stop short of the apex, at the last line below 89N.
TEST_F(MapTest, LambertMeridiansStopShortOfThePole) {
  DomainRec d = domain(PROJ_LAMB, 70.0f, -100.0f, 41, 41, 2.0f, 45.0f, -100.0f);
  map_only("none.map", binary({}), d);
  MAP_latlon(0, 0, 10.0f, 30.0f);
  draw();
  float ax = 0, ay = 0, px = 0, py = 0;
  MAP_tran(&ax, &ay, 90.0f, -100.0f);
  MAP_tran(&px, &py, 80.0f, -100.0f);
  const double r80 = std::hypot(px - ax, py - ay);
  double closest = 1e9;
  for (const Drawn& l : drawn())
    for (const auto& [x, y] : l.pts) closest = std::min(closest, std::hypot(x - ax, y - ay));
  EXPECT_NEAR(closest, r80, 0.01);
}

// Diagrams: lines across the panel every dlat in x and dlon in y, numbered outside it on
// the page.
TEST_F(MapTest, DiagramLines) {
  setup(domain(PROJ_XY, 0.0f, 0.0f, 11, 6, 1.0f));
  const float rect[4] = {0.0f, 10.0f, 0.0f, 5.0f};
  GPH_win(2, rect);
  gdev_clear_calls();
  EXPECT_EQ(MAP_lines(2.0f, 1.0f), 1);
  const auto lines = drawn();
  ASSERT_EQ(lines.size(), 12u);
  int vertical = 0, horizontal = 0;
  for (const Drawn& d : lines) {
    ASSERT_EQ(d.pts.size(), 2u);
    if (near(d.pts[0].first, d.pts[1].first) && near(d.length(0), 5.0)) ++vertical;
    if (near(d.pts[0].second, d.pts[1].second) && near(d.length(0), 10.0)) ++horizontal;
  }
  EXPECT_EQ(vertical, 6);
  EXPECT_EQ(horizontal, 6);
  std::vector<std::string> l = labels();
  ASSERT_EQ(l.size(), 12u);
  EXPECT_NE(std::find(l.begin(), l.end(), "10"), l.end());
  EXPECT_NE(std::find(l.begin(), l.end(), "4.0"), l.end());
}

// ---------------------------------------------------------------- circles

TEST_F(MapTest, CircleOf100Kilometres) {
  setup(us());
  const auto c = ps_north(39.0, -97.0, -97.0);
  EXPECT_EQ(MAP_draw_circle(static_cast<float>(c.first), static_cast<float>(c.second), 100.0f), 1);
  const auto lines = drawn();
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].pts.size(), 49u);
  EXPECT_TRUE(near(lines[0].pts.front().first, lines[0].pts.back().first, 1e-4));
  EXPECT_TRUE(near(lines[0].pts.front().second, lines[0].pts.back().second, 1e-4));
  // Every point 100 km from the centre (great circle), the first due north.
  const double k = kR * (1.0 + std::sin(60.0 * kD));
  for (const auto& [x, y] : lines[0].pts) {
    const double r = std::hypot(x, y);
    const double lat = 90.0 - 2.0 * std::atan(r / k) / kD;
    const double lon = -97.0 + std::atan2(x, -y) / kD;
    const double p1 = 39.0 * kD, p2 = lat * kD;
    const double dist = 6371.22 * std::acos(std::sin(p1) * std::sin(p2) + std::cos(p1) * std::cos(p2) * std::cos((lon + 97.0) * kD));
    EXPECT_NEAR(dist, 100.0, 1.0);
  }
  EXPECT_GT(lines[0].pts[0].second, c.second);
  EXPECT_NEAR(lines[0].pts[0].first, c.first, 1e-3);
}

}  // namespace
