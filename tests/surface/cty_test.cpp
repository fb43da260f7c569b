// Station database: line format, WMO pseudo identifiers, the selection language, the station
// table and its searches, hostile files and the shipped database.
#include "surface/cty_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "config/resrc.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/calc.h"
#include "surface/cty_read.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"

namespace {

using surface_cases::num;
using surface_cases::Row;
const std::vector<Row>& cases(const char* block) { return surface_cases::rows("cty_cases.txt", block); }


const std::string kDatabase = std::string(STACONT_DATA_DIR) + "/sao.cty";

DomainRec domain(int proj, float clat, float clon, int nx, int ny, float dx) {
  DomainRec d;
  DOM_init(&d);
  d.proj = proj, d.clat = clat, d.clon = clon, d.nx = nx, d.ny = ny, d.dx = d.dy = dx;
  return d;
}

class Cty : public ::testing::Test {
 protected:
  // Ten lines: duplicates, stars, a comment, a buoy, a station without a call sign.
  void SetUp() override { write_file(mini_, read_file(std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/mini.cty")); }
  void TearDown() override {
    CTY_reset_state();
    CTY_enter_func(nullptr);
    RES_clear();
    MAP_domain(nullptr);
  }
  std::string dir_ = make_temp_dir("cty"), mini_ = dir_ + "/mini.cty";
  DomainRec world_ = domain(2, 0, 0, 361, 181, 1.0f);
};

CityRec parse(const char* line, int* fields = nullptr) {
  CityRec r;
  const int n = CTY_parse_line(line, static_cast<int>(std::strlen(line)), &r);
  if (fields) *fields = n;
  return r;
}

// The identifier of the station found under key, or nearest to a point; "" when none.
std::string find(const char* key) {
  StationRec s;
  return CTY_search(key, &s) == 1 ? s.id : "";
}
std::string near(float lat, float lon) {
  StationRec s;
  return CTY_search_loc(&s, lat, lon) == 1 ? s.id : "";
}

// Index of the first selection item the record meets, -1 when none.
int select(const CityRec& r, std::vector<std::string> items) {
  std::vector<char*> p;
  for (std::string& i : items) p.push_back(i.data());
  return CTY_data_cmp(&r, static_cast<int>(p.size()), p.data());
}

TEST(CtyParse, FieldsStarsAndMissingElevation) {
  int n;
  // State cut to two characters, stars round the priority, elevation 9999 missing.
  CityRec r = parse("Heathrow GB-x GB EGLL *3* 51.47 -0.46 9999 03772 7", &n);
  EXPECT_EQ(std::tuple(n, std::string(r.state), r.prior, r.star1, r.star2, r.elev, r.wmo),
            std::tuple(10, std::string("GB"), 3, 1, 1, -9999.0f, 3772));
  // Name and identifier cut; 9000 itself is a real elevation.
  r = parse("A_name_much_longer_than_twenty CO US ABCDEFGHIJKL 4* 1 2 9000", &n);
  EXPECT_EQ(std::tuple(n, std::string(r.name), std::string(r.id), r.star1, r.star2, r.elev, r.wmo),
            std::tuple(8, std::string("A_name_much_longer_t"), std::string("ABCDEFGHI"), 0, 1, 9000.0f, CTY_NO_WMO));
  for (auto [line, fields] : {std::pair{"Bad CO US KBAD x 40 -100", 4}, {"Bad CO US KBAD 1 40x -100", 5},
                              {"Bad CO US KBAD 1 40 -100 12 99999999999 0", 8}, {"", 0}}) {
    parse(line, &n);
    EXPECT_EQ(n, fields) << line;
  }
}

TEST(WmoId, TableFullRangeAndNonConverting) {
  char id[CTY_ID_SIZE];
  for (const Row& c : cases("wmo_ids")) EXPECT_STREQ(wmo_to_id(num(c[0]), id), c[1].c_str()) << c[0];
  for (int n = 0; n <= 99999; ++n) {
    int back = -1;
    ASSERT_EQ(id_to_wmo(wmo_to_id(n, id), &back), 0) << n;
    ASSERT_EQ(back, n) << id;
  }
  for (const char* bad : {"KDEN", "EN1234", "QQ123", "en123", "E1X23", "", "K2 50"}) {
    int wmo = 0;
    EXPECT_EQ(id_to_wmo(bad, &wmo), -1) << bad;
    EXPECT_EQ(wmo, 99999);
  }
  int wmo = 0;
  EXPECT_EQ(id_to_wmo(nullptr, &wmo), -1);
}

TEST(Selection, Items) {
  const CityRec r = parse("Denver CO US KDEN 1 39.8617 -104.6730 1655 72565 0");
  for (const Row& c : cases("selection")) EXPECT_EQ(select(r, {c[0]}), num(c[1]) ? 0 : -1) << c[0];
  const CityRec no_elev = parse("Denver CO US KDEN 1 39.8617 -104.6730 9999 72565 0");
  EXPECT_EQ(select(no_elev, {"EGLL", "Elev<5000", "ST=CO", "KDEN"}), 2);  // missing elevation meets nothing
  EXPECT_EQ(select(no_elev, {}), 0);
  // The radius is inclusive, to the float.
  const float dist = calc_earth_dist(40.0f, -100.0f, r.lat, r.lon);
  char on[64], inside[64];
  std::snprintf(on, sizeof on, "RA<40/-100/%.9g", dist);
  std::snprintf(inside, sizeof inside, "RA<40 -100 %.9g", std::nextafter(dist, 0.0f));
  EXPECT_EQ(select(r, {inside, on}), 1);
}

TEST_F(Cty, LoadsSearchesAndSkipsByPriority) {
  EXPECT_GE(CTY_store(mini_.c_str(), CTY_MODE_LOCATION, &world_, 7), 0);
  EXPECT_EQ(CTY_count(), 7);  // PPAC has priority 9
  StationRec s;
  float x, y;
  MAP_tran(&x, &y, 39.8617f, -104.6730f);
  ASSERT_EQ(CTY_search("KDEN", &s), 1);
  EXPECT_EQ(std::tuple(s.wmo, s.prior, s.x, s.y), std::tuple(72565, 1, x, y));  // the first of two KDEN lines
  // WMO number, pseudo identifier of 03772, buoy by its "b" key, WMO number standing for no call sign.
  for (auto [key, id] : {std::pair{"72466", "KCOS"}, {"EG772", "EGLL"}, {"b41001", "41001"}, {"10637", "10637"}})
    EXPECT_EQ(find(key), id) << key;
  // Beyond the priority, "no number", buoys only under their "b" key, exact case.
  for (const char* missing : {"PPAC", "99999", "41001", "kden"}) EXPECT_EQ(find(missing), "") << missing;
  EXPECT_EQ(CTY_search(nullptr, &s), 0);
  EXPECT_EQ(near(39.5f, -104.3f), "KDEN");  // four tenths away
  EXPECT_EQ(near(0.0f, 0.0f) + near(NAN, 0.0f), "");

  EXPECT_GE(CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &world_, -9999), 0);
  EXPECT_EQ(CTY_count(), 8);  // default maximum priority 10
  EXPECT_EQ(near(39.87f, -104.70f), "");  // no location key in this mode
  CTY_set_id_type(1);  // WMO numbers, else call signs: KDEN is now the duplicate without a number
  CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &world_, 10);
  EXPECT_EQ(find("72565"), "72565");
  ASSERT_EQ(CTY_search("KDEN", &s), 1);
  EXPECT_EQ(s.prior, 2);
  CTY_set_id_type(2);  // call signs, else pseudo identifiers
  CTY_store(mini_.c_str(), CTY_MODE_FULL, &world_, 10);
  EXPECT_EQ(find("ED637") + find("EGLL"), "ED637EGLL");
}

// Stations of the database that a load leaves out (outside the domain, beyond the maximum
// priority, not selected) are still known, under the keys a search uses; others are not.
TEST_F(Cty, KnownStationsBeyondTheLoad) {
  const DomainRec colorado = domain(1, 39.5f, -105.0f, 5, 5, 0.5f);
  RES_put("identifier", "ST=CO,EGLL,KCOS");
  EXPECT_GE(CTY_store(mini_.c_str(), CTY_MODE_LOCATION, &colorado, 3), 0);
  EXPECT_EQ(CTY_count(), 3);  // both KDEN lines and KCOS: KBDU's priority is 6
  for (const Row& c : cases("known")) EXPECT_EQ(CTY_known(c[0].c_str()), num(c[1])) << c[0];
  EXPECT_EQ(CTY_known(nullptr), 0);
  RES_put("identifier", "KCOS");
  CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &world_, 10);
  EXPECT_EQ(CTY_known("KBDU") + CTY_known("EGLL"), 2);  // not selected
  CTY_clear();
  EXPECT_EQ(CTY_known("KDEN"), 0);
  testing::internal::CaptureStderr();
  CTY_store("/nonexistent/x.cty", CTY_MODE_COMPACT, &world_, 10);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(CTY_known("KDEN"), 0);
}

TEST_F(Cty, SelectionPriorityAndFileResources) {
  RES_put("identifier", "ST=CO,EGLL");
  CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &world_, 10);
  EXPECT_EQ(CTY_count(), 5);
  RES_put("identifier", "all");
  RES_put("stat_prior", "4");
  CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &world_, -9999);
  EXPECT_EQ(CTY_count(), 5);  // priorities 1, 3, 4, 2, 3
  RES_put("city_file", mini_.c_str());
  EXPECT_GE(CTY_store(nullptr, CTY_MODE_COMPACT, &world_, 10), 0);
  EXPECT_EQ(CTY_count(), 8);
  RES_put("city_file", "");
  RES_put("file_path", dir_.c_str());
  CityRec rec;
  EXPECT_EQ(CTY_get("mini.cty", "72466", &rec) * 10 + CTY_get("mini.cty", "99999", &rec), 10);  // along file_path
  testing::internal::CaptureStderr();
  EXPECT_EQ(CTY_store("/nonexistent/x.cty", CTY_MODE_COMPACT, &world_, 10), -1);
  EXPECT_EQ(CTY_store("none", CTY_MODE_COMPACT, &world_, 10), -1);
  EXPECT_EQ(CTY_store(dir_.c_str(), CTY_MODE_COMPACT, &world_, 10), -1);  // a directory
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "CTY_open_file: Database file not found: /nonexistent/x.cty\n"
                                                    "CTY_open_file: Database file not found: " + dir_ + "\n");
  EXPECT_EQ(CTY_count(), 0);
}

// The database places "id:" domain centres once registered with the domain module, as
// the program registers it: a named file or the database in use ("city_file").
TEST_F(Cty, StationsCentreDomains) {
  DOM_set_station_lookup(CTY_get_loc);
  RES_put("city_file", mini_.c_str());
  const std::tuple<std::string, int, float, float> cases[] = {
      {"id:" + mini_ + ":kcos", 1, 38.8058f, -104.7008f}, {"lamb,id:KDEN,50,40,0.8", 1, 39.8617f, -104.6730f},
      {"id:" + mini_ + ":NOPE", -1, 0, 0}, {"id:/nonexistent.cty:KDEN", -1, 0, 0}};
  for (const auto& [text, result, lat, lon] : cases) {
    DomainRec d;
    DOM_init(&d);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(DOM_decode(text.c_str(), &d), result) << text;
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    if (result == 1) {
      EXPECT_TRUE(d.clat == lat && d.clon == lon) << text << " " << d.clat << " " << d.clon;
    }
  }
  DOM_set_station_lookup(nullptr);
}

TEST_F(Cty, DataBlocks) {
  CTY_data_size(21);
  CTY_enter_func([](void* data, const CityRec* rec) { std::snprintf(static_cast<char*>(data), 21, "%s", rec->name); });
  CTY_store(mini_.c_str(), CTY_MODE_LOCATION, &world_, 10);
  find("72565");
  EXPECT_STREQ(static_cast<char*>(CTY_get_data(nullptr)), "Denver");  // the last station found
  EXPECT_STREQ(static_cast<const char*>(CTY_get_data("KCOS")), "Colorado_Springs");
  int n = 0;
  for (void* p = CTY_next_data(0); p; p = CTY_next_data(1)) ++n;
  EXPECT_EQ(n, 8);
}

TEST_F(Cty, HostileFilesNeverCrash) {
  const char nul_line[] = "Name\0With\0Nul CO US KNUL 1 40 -100 100 99999 0\n";
  const std::string text =
      "short\nA B\n\x01\x02\xff\xfe binary\n" + std::string(nul_line, sizeof nul_line - 1) +
      std::string(10000, 'X') + " CO US KXXX 1 40 -100 100 99999 0\n"
      "Long CO US KLNG 1 40 -100 100 99999 0 " + std::string(10000, 'Z') + "\n"
      "Bad CO US KBAD 1 1e30 -100 100 99999 0\nNaN CO US KNAN 1 nan -100 100 99999 0\n"
      "Inf CO US KINF 1 40 inf 100 99999 0\nOver CO US KOVR 1 40 1e39 100 99999 0\n"
      "Big CO US KBIG 1 40 -100 1e30 99999999999 0\nNeg CO US KNEG -3 40 -100 100 99999 0\n"
      "Stars CO US KSTR ** 40 -100 100 99999 0\nCrlf CO US KCRL 1 40 -100 100 99999 0\r\n"
      "Denver CO US KDEN 1 39.8617 -104.6730 1655 72565 0";  // no final newline
  const std::string path = dir_ + "/hostile.cty";
  write_file(path, text);
  testing::internal::CaptureStderr();
  EXPECT_GE(CTY_store(path.c_str(), CTY_MODE_LOCATION, &world_, 10), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "CTY_store: 11 unreadable station lines skipped\n");
  EXPECT_EQ(CTY_count(), 4);
  StationRec s;
  for (const char* id : {"KLNG", "KCRL", "KDEN", "KBIG"}) EXPECT_EQ(CTY_search(id, &s), 1) << id;
  EXPECT_EQ(s.elev, -9999.0f);  // KBIG's
  float lat, lon;
  EXPECT_EQ(CTY_get_loc(path.c_str(), "KBAD", &lat, &lon), 0);  // unusable position

  // Random bytes and randomly damaged station lines.
  std::mt19937 rng(20261205);
  std::string noise;
  for (int i = 0; i < 3000; ++i) {
    std::string line = "Denver CO US KDEN 1 39.8617 -104.6730 1655 72565 0" + std::string(rng() % 200, 'x');
    for (int k = rng() % line.size(); k > 0; --k) line[rng() % line.size()] = static_cast<char>(rng());
    noise += line + "\n";
  }
  write_file(path, noise);
  testing::internal::CaptureStderr();
  EXPECT_GE(CTY_store(path.c_str(), CTY_MODE_LOCATION, &world_, 10), 0);
  testing::internal::GetCapturedStderr();
  near(39.86f, -104.67f);
}

TEST_F(Cty, ShippedDatabase) {
  const int h = CTY_open(kDatabase.c_str());
  ASSERT_GE(h, 0);
  CityRec r;
  int n, lines = 0, bad = 0;
  for (; (n = CTY_read(h, &r)) >= 0; ++lines)
    bad += n != 10 || r.prior < 1 || r.prior > 9 || std::fabs(r.lat) > 90 || std::fabs(r.lon) > 180;
  EXPECT_EQ(CTY_close(h), 0);
  EXPECT_TRUE(lines > 7000 && bad == 0) << lines << " " << bad;

  const DomainRec us = domain(1, 39, -97, 25, 17, 2.3f);  // the built-in "us" region
  ASSERT_GE(CTY_store(kDatabase.c_str(), CTY_MODE_LOCATION, &us, 7), 0);
  const int us_count = CTY_count();
  EXPECT_EQ(find("KJFK") + find("EGLL") + near(39.86f, -104.67f), "KJFKKDEN");
  CTY_store(kDatabase.c_str(), CTY_MODE_LOCATION, &us, 2);
  const int us_top = CTY_count();
  // The main airports show on the large maps.
  for (const char* hub : {"KORD", "KJFK", "KATL", "KLAX", "KMIA"}) EXPECT_EQ(find(hub), hub);

  const DomainRec eu = domain(4, 50, 10, 31, 25, 1.0f);  // Lambert conformal, true latitudes 30 and 60
  ASSERT_GE(CTY_store(kDatabase.c_str(), CTY_MODE_LOCATION, &eu, 7), 0);
  const int eu_count = CTY_count();
  EXPECT_EQ(find("EGLL") + find("EDDF") + find("KDEN"), "EGLLEDDF");
  EXPECT_TRUE(us_count > 2000 && eu_count > 800 && us_top > 300 && us_top < 1000);
  std::printf("%s: %d stations; loaded: us %d (priority <= 2: %d), europe %d\n", kDatabase.c_str(), lines, us_count,
              us_top, eu_count);
}

// The priorities cover the land evenly at every level: each station of priority 6 or
// better lies within 200 km of a station of priority 1, 120 km of one of priority 2 or
// better, then 60, 40 and 25 km. A map keeps the levels whose spacing lies well inside its
// analysis radius, so its own stations leave few more holes than all of them would.
TEST(ShippedDatabase, EveryLevelCoversTheStations) {
  struct Station {
    float lat, lon;
    int prior;
  };
  std::vector<Station> all;
  const int h = CTY_open(kDatabase.c_str());
  ASSERT_GE(h, 0);
  CityRec r;
  while (CTY_read(h, &r) >= 0)
    if (r.prior <= 6) all.push_back({r.lat, r.lon, r.prior});
  CTY_close(h);
  ASSERT_GT(all.size(), 5000u);
  std::sort(all.begin(), all.end(), [](const Station& a, const Station& b) { return a.lat < b.lat; });
  const float spacing_km[] = {200, 120, 60, 40, 25};
  for (int p = 1; p <= 5; ++p) {
    const float km = spacing_km[p - 1];
    const float band = km / 111.0f + 0.01f;
    int uncovered = 0;
    for (const Station& s : all) {
      bool covered = false;
      auto it = std::lower_bound(all.begin(), all.end(), s.lat - band,
                                 [](const Station& a, float lat) { return a.lat < lat; });
      for (; it != all.end() && it->lat <= s.lat + band && !covered; ++it)
        covered = it->prior <= p && calc_earth_dist(s.lat, s.lon, it->lat, it->lon) <= km;
      if (!covered && ++uncovered <= 3) ADD_FAILURE() << "priority " << p << ": none within " << km << " km of "
                                                      << s.lat << " " << s.lon;
    }
    EXPECT_EQ(uncovered, 0) << "priority " << p;
  }
}

}  // namespace
