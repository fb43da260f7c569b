#include "surface/cty_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "config/resrc.h"
#include "plot/maptran.h"
#include "surface/calc.h"
#include "surface/cty_read.h"
#include "tests/support/run.h"

namespace {

const char* const kMini =
    "Denver               CO US KDEN      1  39.8617 -104.6730  1655 72565 0\n"
    "Boulder              CO US KBDU      6  40.0394 -105.2258  1612 99999 0\n"
    "Colorado_Springs     CO US KCOS      3  38.8058 -104.7008  1888 72466 0\n"
    "No_Call_Station      -- DE --        5  50.0000    8.0000   100 10637 0\n"
    "Buoy_41001           -- B_ --        4  34.7000  -72.7000  9999 41001 0\n"
    "Dup_Denver           CO US KDEN      2  39.9000 -104.7000  1600 99999 0\n"
    "# a comment line is skipped\n"
    "\n"
    "Heathrow             -- GB EGLL     *3* 51.4706   -0.4619    25 03772 7\n"
    "Pacific_Point        -- -- PPAC      9  10.0000 -150.0000     0 99999 0\n";

DomainRec world() {
  DomainRec d;
  DOM_init(&d);
  d.proj = 2;
  d.clat = 0;
  d.clon = 0;
  d.nx = 361;
  d.ny = 181;
  d.dx = d.dy = 1.0f;
  return d;
}

class Cty : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    CTY_clear();
    CTY_set_id_type(0);
    CTY_data_size(0);
    CTY_enter_func(nullptr);
    dir_ = make_temp_dir("cty");
    mini_ = dir_ + "/mini.cty";
    write_file(mini_, kMini);
    domain_ = world();
  }
  void TearDown() override {
    CTY_clear();
    CTY_set_id_type(0);
    CTY_data_size(0);
    CTY_enter_func(nullptr);
    RES_clear();
    MAP_domain(nullptr);
  }
  std::string dir_, mini_;
  DomainRec domain_;
};

CityRec parse(const char* line, int* fields = nullptr) {
  CityRec r;
  const int n = CTY_parse_line(line, static_cast<int>(std::strlen(line)), &r);
  if (fields) *fields = n;
  return r;
}

TEST(CtyParse, FieldsStarsAndMissingElevation) {
  int n;
  CityRec r = parse("Heathrow GB-x GB EGLL *3* 51.47 -0.46 9999 03772 7", &n);
  EXPECT_EQ(n, 10);
  EXPECT_STREQ(r.state, "GB");  // truncated to two characters
  EXPECT_EQ(r.prior, 3);
  EXPECT_EQ(r.star1, 1);
  EXPECT_EQ(r.star2, 1);
  EXPECT_EQ(r.elev, -9999.0f);
  EXPECT_EQ(r.wmo, 3772);
  EXPECT_EQ(r.extra, 7);

  r = parse("A_name_much_longer_than_twenty CO US ABCDEFGHIJKL 4* 1 2 9000", &n);
  EXPECT_EQ(n, 8);
  EXPECT_STREQ(r.name, "A_name_much_longer_t");
  EXPECT_STREQ(r.id, "ABCDEFGHI");
  EXPECT_EQ(r.star1, 0);
  EXPECT_EQ(r.star2, 1);
  EXPECT_EQ(r.elev, 9000.0f);  // 9000 itself is a real elevation
  EXPECT_EQ(r.wmo, CTY_NO_WMO);

  r = parse("Bad CO US KBAD x 40 -100", &n);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(r.prior, -9999);
  EXPECT_EQ(r.lat, -9999.0f);
  parse("Bad CO US KBAD 1 40x -100", &n);
  EXPECT_EQ(n, 5);
  parse("Bad CO US KBAD 1 40 -100 12 99999999999 0", &n);
  EXPECT_EQ(n, 8);  // a WMO number beyond 32 bits does not convert
  EXPECT_EQ(parse("", &n).prior, -9999);
  EXPECT_EQ(n, 0);
}

struct WmoCase {
  int wmo;
  const char* id;
};
class WmoId : public ::testing::TestWithParam<WmoCase> {};
INSTANTIATE_TEST_SUITE_P(Table, WmoId,
                         ::testing::Values(WmoCase{1123, "EN123"}, WmoCase{72503, "K2503"},
                                           WmoCase{94120, "Y4120"}, WmoCase{25000, "U5000"},
                                           WmoCase{63700, "HK700"}, WmoCase{63979, "HK979"},
                                           WmoCase{63980, "FS980"}, WmoCase{40400, "OE400"},
                                           WmoCase{41100, "OE100"}, WmoCase{41170, "OE170"},
                                           WmoCase{91700, "N1700"}, WmoCase{98999, "RP999"},
                                           WmoCase{3772, "EG772"}, WmoCase{500, "00500"},
                                           WmoCase{99999, "99999"}, WmoCase{67754, "67754"}));

TEST_P(WmoId, BothWays) {
  char id[CTY_ID_SIZE];
  EXPECT_STREQ(wmo_to_id(GetParam().wmo, id), GetParam().id);
  int wmo = 0;
  EXPECT_EQ(id_to_wmo(GetParam().id, &wmo), 0);
  EXPECT_EQ(wmo, GetParam().wmo);
}

TEST(WmoIdAll, EveryNumberRoundTrips) {
  char id[CTY_ID_SIZE];
  for (int n = 0; n <= 99999; ++n) {
    int back = -1;
    ASSERT_EQ(id_to_wmo(wmo_to_id(n, id), &back), 0) << n;
    ASSERT_EQ(back, n) << id;
  }
}

TEST(WmoIdAll, NonConvertingIdentifiers) {
  for (const char* id : {"KDEN", "EN1234", "QQ123", "en123", "E1X23", "", "K2 50"}) {
    int wmo = 0;
    EXPECT_EQ(id_to_wmo(id, &wmo), -1) << id;
    EXPECT_EQ(wmo, 99999);
  }
  int wmo = 0;
  EXPECT_EQ(id_to_wmo(nullptr, &wmo), -1);
}

struct SelCase {
  const char* item;
  bool accepted;
};
class Selection : public ::testing::TestWithParam<SelCase> {};
INSTANTIATE_TEST_SUITE_P(
    Items, Selection,
    ::testing::Values(SelCase{"72565", true}, SelCase{"72566", false}, SelCase{"KDEN", true},
                      SelCase{"kden", true}, SelCase{"Denve", true}, SelCase{"Den", false},
                      SelCase{"CO", false},  // two characters: only ever a call sign
                      SelCase{"ST=CO", true}, SelCase{"STCO", true}, SelCase{"ST=CO_US", true},
                      SelCase{"ST=NY", false}, SelCase{"ST=", false}, SelCase{"CN=us", true},
                      SelCase{"CNDE", false}, SelCase{"ID=KDEN", true}, SelCase{"Name=denver", true},
                      SelCase{"P=1", true}, SelCase{"P<1", true}, SelCase{"P>2", false},
                      SelCase{"Lat>39.8", true}, SelCase{"Lat<39.8", false}, SelCase{"Lon<-104", true},
                      SelCase{"Elev>1655", true}, SelCase{"Elev<1000", false}, SelCase{"WMO<72565", true},
                      SelCase{"WMO>72566", false}, SelCase{"RA<40/-105/120", true},
                      SelCase{"RA<51.5/0/200", false}, SelCase{"RA<40/-105", false},
                      SelCase{"Lat>50:CN=US", false},   // the first condition fails: stop
                      SelCase{"CN=US:Lat>50", true},    // the first condition holds
                      SelCase{"what:CN=US", true},      // unknown words are passed over
                      SelCase{"P=x", false}, SelCase{" kden ", true}, SelCase{"Name=DENVER X", false}));

TEST_P(Selection, Item) {
  CityRec r = parse("Denver CO US KDEN 1 39.8617 -104.6730 1655 72565 0");
  char item[64];
  std::snprintf(item, sizeof item, "%s", GetParam().item);
  char* items[] = {item};
  EXPECT_EQ(CTY_data_cmp(&r, 1, items), GetParam().accepted ? 0 : -1);
}

TEST(SelectionMore, IndexOfFirstAcceptingItemMissingElevationAndExactRadius) {
  CityRec r = parse("Denver CO US KDEN 1 39.8617 -104.6730 9999 72565 0");
  char a[] = "EGLL", b[] = "Elev<5000", c[] = "ST=CO", d[] = "KDEN";
  char* items[] = {a, b, c, d};
  EXPECT_EQ(CTY_data_cmp(&r, 4, items), 2);  // a missing elevation satisfies no comparison
  EXPECT_EQ(CTY_data_cmp(&r, 0, items), 0);

  const float dist = calc_earth_dist(40.0f, -100.0f, r.lat, r.lon);
  char on[64], inside[64];
  std::snprintf(on, sizeof on, "RA<40/-100/%.9g", dist);
  std::snprintf(inside, sizeof inside, "RA<40 -100 %.9g", std::nextafter(dist, 0.0f));
  CityRec cos = parse("Colorado_Springs CO US KCOS 3 38.8 -104.7 1888 72466 0");
  char spaced[] = "Name=colorado spr";
  char* by_name[] = {spaced};
  EXPECT_EQ(CTY_data_cmp(&cos, 1, by_name), 0);
  char* at_radius[] = {on};
  char* short_radius[] = {inside};
  EXPECT_EQ(CTY_data_cmp(&r, 1, at_radius), 0);
  EXPECT_EQ(CTY_data_cmp(&r, 1, short_radius), -1);
}

TEST_F(Cty, LoadsSearchesAndSkipsByPriority) {
  EXPECT_GE(CTY_store(mini_.c_str(), CTY_MODE_LOCATION, &domain_, 7), 0);
  EXPECT_EQ(CTY_count(), 7);  // PPAC has priority 9

  StationRec s;
  ASSERT_EQ(CTY_search("KDEN", &s), 1);
  EXPECT_EQ(s.wmo, 72565);  // the first of two KDEN lines
  EXPECT_EQ(s.prior, 1);
  EXPECT_FLOAT_EQ(s.elev, 1655.0f);
  float x, y;
  MAP_tran(&x, &y, 39.8617f, -104.6730f);
  EXPECT_FLOAT_EQ(s.x, x);
  EXPECT_FLOAT_EQ(s.y, y);

  ASSERT_EQ(CTY_search("72466", &s), 1);
  EXPECT_STREQ(s.id, "KCOS");
  ASSERT_EQ(CTY_search("EG772", &s), 1);  // pseudo identifier of WMO 03772
  EXPECT_STREQ(s.id, "EGLL");
  EXPECT_EQ(s.prior, 3);
  ASSERT_EQ(CTY_search("b41001", &s), 1);
  EXPECT_EQ(s.elev, -9999.0f);
  ASSERT_EQ(CTY_search("10637", &s), 1);
  EXPECT_STREQ(s.id, "10637");  // no call sign: the WMO number is the identifier
  EXPECT_EQ(CTY_search("PPAC", &s), 0);
  EXPECT_EQ(CTY_search("99999", &s), 0);  // "no number" finds nothing
  EXPECT_EQ(CTY_search("41001", &s), 0);  // buoys only under their "b" key
  EXPECT_EQ(CTY_search("kden", &s), 0);
  EXPECT_EQ(CTY_search(nullptr, &s), 0);

  ASSERT_EQ(CTY_search_loc(&s, 39.87f, -104.70f), 1);
  EXPECT_STREQ(s.id, "KDEN");
  ASSERT_EQ(CTY_search_loc(&s, 39.5f, -104.3f), 1);  // four tenths away
  EXPECT_STREQ(s.id, "KDEN");
  ASSERT_EQ(CTY_search_loc(&s, 38.2f, -104.7f), 1);
  EXPECT_STREQ(s.id, "KCOS");
  EXPECT_EQ(CTY_search_loc(&s, 0.0f, 0.0f), 0);
  EXPECT_EQ(CTY_search_loc(&s, NAN, 0.0f), 0);

  CTY_clear();
  EXPECT_EQ(CTY_search("KDEN", &s), 0);
  EXPECT_GE(CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &domain_, -9999), 0);
  EXPECT_EQ(CTY_count(), 8);  // default maximum priority 10
  EXPECT_EQ(CTY_search_loc(&s, 39.87f, -104.70f), 0);  // no location key in this mode
}

TEST_F(Cty, IdentifierTypesAndFullRecords) {
  StationRec s;
  CTY_set_id_type(1);
  CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &domain_, 10);
  EXPECT_EQ(CTY_search("KDEN", &s), 1);  // the duplicate without a number
  EXPECT_EQ(s.prior, 2);
  ASSERT_EQ(CTY_search("72565", &s), 1);
  EXPECT_STREQ(s.id, "72565");
  ASSERT_EQ(CTY_search("KBDU", &s), 1);

  CTY_set_id_type(2);
  CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &domain_, 10);
  ASSERT_EQ(CTY_search("ED637", &s), 1);
  EXPECT_STREQ(s.id, "ED637");
  ASSERT_EQ(CTY_search("b41001", &s), 1);
  EXPECT_STREQ(s.id, "b41001");

  CTY_set_id_type(0);
  CTY_store(mini_.c_str(), CTY_MODE_FULL, &domain_, 10);
  ASSERT_EQ(CTY_search("EGLL", &s), 1);
  float x, y;
  MAP_tran(&x, &y, 51.4706f, -0.4619f);
  EXPECT_FLOAT_EQ(s.x, x);
  auto* entry = static_cast<CityEntry*>(TAB_search(CTY_get_table(), 0, "EGLL"));
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry->rec.name, "Heathrow");
  EXPECT_EQ(entry->rec.star1 + entry->rec.star2, 2);
}

TEST_F(Cty, SelectionPriorityAndFileResources) {
  RES_put("identifier", "ST=CO,EGLL");
  CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &domain_, 10);
  EXPECT_EQ(CTY_count(), 5);
  RES_put("identifier", "all");
  RES_put("stat_prior", "4");
  EXPECT_EQ(CTY_get_prior(), 4);
  CTY_store(mini_.c_str(), CTY_MODE_COMPACT, &domain_, -9999);
  EXPECT_EQ(CTY_count(), 5);  // priorities 1, 3, 4, 2, 3

  RES_put("stat_prior", "+2");
  EXPECT_EQ(CTY_get_prior(), 10);
  RES_put("city_file", mini_.c_str());
  EXPECT_GE(CTY_store(nullptr, CTY_MODE_COMPACT, &domain_, 10), 0);
  EXPECT_EQ(CTY_count(), 8);
  RES_put("city_file", "");
  RES_put("file_path", dir_.c_str());
  EXPECT_GE(CTY_store("mini.cty", CTY_MODE_COMPACT, &domain_, 10), 0);
  EXPECT_EQ(CTY_count(), 8);

  float lat = 0, lon = 0;
  EXPECT_EQ(CTY_get_loc("mini.cty", "heathrow", &lat, &lon), 1);
  EXPECT_FLOAT_EQ(lat, 51.4706f);
  CityRec rec;
  EXPECT_EQ(CTY_get("mini.cty", "72466", &rec), 1);
  EXPECT_STREQ(rec.id, "KCOS");
  EXPECT_EQ(CTY_get("mini.cty", "99999", &rec), 0);
  EXPECT_EQ(CTY_get("mini.cty", "nowhere", &rec), 0);

  testing::internal::CaptureStderr();
  EXPECT_EQ(CTY_store("/nonexistent/x.cty", CTY_MODE_COMPACT, &domain_, 10), -1);
  EXPECT_EQ(CTY_get_loc("/nonexistent/x.cty", "KDEN", &lat, &lon), -1);
  EXPECT_EQ(CTY_store("none", CTY_MODE_COMPACT, &domain_, 10), -1);
  EXPECT_EQ(CTY_store(dir_.c_str(), CTY_MODE_COMPACT, &domain_, 10), -1);  // a directory
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "CTY_open_file: Database file not found: /nonexistent/x.cty\n"
            "CTY_open_file: Database file not found: /nonexistent/x.cty\n"
            "CTY_open_file: Database file not found: " + dir_ + "\n");
  EXPECT_EQ(CTY_count(), 0);
}

struct Block {
  char name[21];
  int seen;
};
void fill_block(void* data, const CityRec* rec) {
  auto* b = static_cast<Block*>(data);
  std::snprintf(b->name, sizeof b->name, "%s", rec->name);
  b->seen = 1;
}

TEST_F(Cty, DataBlocks) {
  CTY_data_size(sizeof(Block));
  CTY_enter_func(fill_block);
  CTY_store(mini_.c_str(), CTY_MODE_LOCATION, &domain_, 10);
  auto* b = static_cast<Block*>(CTY_get_data("KCOS"));
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->name, "Colorado_Springs");
  StationRec s;
  ASSERT_EQ(CTY_search("72565", &s), 1);
  EXPECT_EQ(CTY_get_data(nullptr), s.data);  // the last station found
  EXPECT_STREQ(static_cast<Block*>(s.data)->name, "Denver");
  EXPECT_EQ(CTY_get_data("KXXX"), nullptr);

  int n = 0;
  for (void* p = CTY_next_data(0); p; p = CTY_next_data(1)) n += static_cast<Block*>(p)->seen;
  EXPECT_EQ(n, 8);
  CTY_clear_data(1);
  EXPECT_EQ(static_cast<Block*>(CTY_get_data("KCOS"))->name[0], '\0');
  CTY_clear_data(0);
  EXPECT_EQ(CTY_get_data("KCOS"), nullptr);
  EXPECT_EQ(CTY_next_data(0), nullptr);
}

TEST_F(Cty, HostileFilesNeverCrash) {
  std::string text;
  text += "short\nA B\n\x01\x02\xff\xfe binary\n";
  const char nul_line[] = "Name\0With\0Nul CO US KNUL 1 40 -100 100 99999 0\n";
  text += std::string(nul_line, sizeof nul_line - 1);
  text += std::string(10000, 'X') + " CO US KXXX 1 40 -100 100 99999 0\n";
  text += "Long CO US KLNG 1 40 -100 100 99999 0 " + std::string(10000, 'Z') + "\n";
  text += "Bad CO US KBAD 1 1e30 -100 100 99999 0\n";
  text += "NaN CO US KNAN 1 nan -100 100 99999 0\n";
  text += "Inf CO US KINF 1 40 inf 100 99999 0\n";
  text += "Over CO US KOVR 1 40 1e39 100 99999 0\n";
  text += "Big CO US KBIG 1 40 -100 1e30 99999999999 0\n";
  text += "Neg CO US KNEG -3 40 -100 100 99999 0\n";
  text += "Stars CO US KSTR ** 40 -100 100 99999 0\n";
  text += "Crlf CO US KCRL 1 40 -100 100 99999 0\r\n";
  text += "Denver CO US KDEN 1 39.8617 -104.6730 1655 72565 0";  // no final newline
  const std::string path = dir_ + "/hostile.cty";
  write_file(path, text);
  testing::internal::CaptureStderr();
  EXPECT_GE(CTY_store(path.c_str(), CTY_MODE_LOCATION, &domain_, 10), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "CTY_store: 11 unreadable station lines skipped\n");
  EXPECT_EQ(CTY_count(), 4);
  StationRec s;
  for (const char* id : {"KLNG", "KBIG", "KCRL", "KDEN"}) EXPECT_EQ(CTY_search(id, &s), 1) << id;
  ASSERT_EQ(CTY_search("KBIG", &s), 1);
  EXPECT_EQ(s.elev, -9999.0f);
  CityRec rec;
  EXPECT_EQ(CTY_get(path.c_str(), "KNAN", &rec), 1);
  float lat, lon;
  EXPECT_EQ(CTY_get_loc(path.c_str(), "KBAD", &lat, &lon), 0);  // unusable position

  // Random bytes and randomly damaged station lines.
  std::mt19937 rng(20261205);
  const std::string good = "Denver CO US KDEN 1 39.8617 -104.6730 1655 72565 0";
  std::string noise;
  for (int i = 0; i < 3000; ++i) {
    if (i % 2) {
      std::string line = good;
      for (int k = 0; k < 4; ++k) line[rng() % line.size()] = static_cast<char>(rng() % 256);
      noise += line + "\n";
    } else {
      const int n = static_cast<int>(rng() % 300);
      for (int k = 0; k < n; ++k) noise += static_cast<char>(rng() % 256);
    }
  }
  write_file(path, noise);
  testing::internal::CaptureStderr();
  EXPECT_GE(CTY_store(path.c_str(), CTY_MODE_LOCATION, &domain_, 10), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_LT(CTY_count(), 3000);
  CTY_search_loc(&s, 39.86f, -104.67f);
  for (void* p = CTY_next_data(0); p; p = CTY_next_data(1)) {
  }
}

TEST_F(Cty, FileLayer) {
  const int h = CTY_open(mini_.c_str());
  ASSERT_GE(h, 0);
  CityRec r;
  int lines = 0;
  while (CTY_read(h, &r) >= 0) ++lines;
  EXPECT_EQ(lines, 8);
  EXPECT_EQ(CTY_read(h + 1, &r), -1);  // not the open handle
  EXPECT_EQ(CTY_rewind(h), 0);
  EXPECT_EQ(CTY_read(h, &r), 10);
  EXPECT_STREQ(r.id, "KDEN");
  EXPECT_EQ(CTY_close(h), 0);
  EXPECT_EQ(CTY_read(h, &r), -1);
  EXPECT_EQ(CTY_close(h), -1);
  EXPECT_EQ(CTY_open("/nonexistent"), -1);
}

// ---- the shipped database ----

const std::string kDatabase = std::string(STACONT_DATA_DIR) + "/sao.cty";

TEST_F(Cty, ShippedDatabaseIsComplete) {
  const int h = CTY_open(kDatabase.c_str());
  ASSERT_GE(h, 0);
  CityRec r;
  int n, lines = 0, with_elev = 0, bad = 0;
  while ((n = CTY_read(h, &r)) >= 0) {
    ++lines;
    if (n != 10 || r.prior < 1 || r.prior > 9 || std::fabs(r.lat) > 90 || std::fabs(r.lon) > 180) ++bad;
    if (r.elev != -9999.0f) ++with_elev;
  }
  CTY_close(h);
  EXPECT_GE(lines, 7000);
  EXPECT_GE(with_elev, 5000);
  EXPECT_EQ(bad, 0);
  std::printf("stations in %s: %d (%d with elevation)\n", kDatabase.c_str(), lines, with_elev);
}

TEST_F(Cty, ShippedDatabaseForUsAndEurope) {
  DomainRec us;
  DOM_init(&us);
  us.proj = 1;  // the built-in "us" region
  us.clat = 39;
  us.clon = -97;
  us.nx = 25;
  us.ny = 17;
  us.dx = us.dy = 2.3f;
  ASSERT_GE(CTY_store(kDatabase.c_str(), CTY_MODE_LOCATION, &us, 7), 0);
  const int us_count = CTY_count();
  StationRec s;
  EXPECT_EQ(CTY_search("KDEN", &s), 1);
  EXPECT_EQ(CTY_search("KJFK", &s), 1);
  EXPECT_EQ(CTY_search("EGLL", &s), 0);
  EXPECT_EQ(CTY_search_loc(&s, 39.86f, -104.67f), 1);
  EXPECT_STREQ(s.id, "KDEN");
  CTY_store(kDatabase.c_str(), CTY_MODE_LOCATION, &us, 2);
  const int us_top = CTY_count();

  DomainRec eu;
  DOM_init(&eu);
  eu.proj = 4;  // Lambert conformal, true latitudes 30 and 60
  eu.clat = 50;
  eu.clon = 10;
  eu.nx = 31;
  eu.ny = 25;
  eu.dx = eu.dy = 1.0f;
  ASSERT_GE(CTY_store(kDatabase.c_str(), CTY_MODE_LOCATION, &eu, 7), 0);
  const int eu_count = CTY_count();
  EXPECT_EQ(CTY_search("EGLL", &s), 1);
  EXPECT_EQ(CTY_search("EDDF", &s), 1);
  EXPECT_EQ(CTY_search("KDEN", &s), 0);

  EXPECT_GT(us_count, 2000);
  EXPECT_GT(eu_count, 800);
  EXPECT_GT(us_top, 50);
  EXPECT_LT(us_top, 300);
  std::printf("loaded: us %d (priority <= 2: %d), europe %d\n", us_count, us_top, eu_count);
}

}  // namespace
