// Surface data files: form detection, every group of the text forms, positioning, both
// netCDF forms (built with ncgen), hostile files and the plot loop's file wrappers.
#include "surface/sfc_read.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "plot/maptran.h"
#include "surface/cty_tool.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"

namespace {

constexpr float M = -9999.0f;
const std::string kData = std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/";
using surface_cases::num;
using surface_cases::Row;
const std::vector<Row>& cases(const char* block) { return surface_cases::rows("sfc_read_cases.txt", block); }
using namespace std::string_literals;
using R = sfc_report;

// The fields a report holds, leaving out those at their empty values; clouds as height/cover.
std::string dump(const sfc_report& r) {
  std::string s;
  auto add = [&](const char* name, const std::string& v) { s += (s.empty() ? "" : " ") + std::string(name) + "=" + v; };
  auto num = [](double v) { char b[32]; std::snprintf(b, sizeof b, "%g", v); return std::string(b); };
  for (auto [name, text] : {std::pair{"id", r.id}, {"region", r.region}}) if (*text) add(name, text);
  const std::pair<const char*, std::int32_t R::*> ints[] = {{"type", &R::type}, {"wmo", &R::wmo},
      {"spare_time", &R::spare_time}, {"time", &R::time}, {"ncld", &R::ncld}, {"ptype", &R::ptype}};
  for (auto [name, m] : ints)
    if (r.*m != (m == &R::type || m == &R::ncld ? 0 : -9999)) add(name, std::to_string(r.*m));
  for (int k = 0; k < 5; ++k)
    if (r.cld_cov[k] != ' ' || r.cld_hgt[k] != M)
      add(("c" + std::to_string(k)).c_str(), num(r.cld_hgt[k]) + "/" + r.cld_cov[k]);
  if (std::strcmp(r.wx, " ") != 0) add("wx", r.wx);
  const std::pair<const char*, float R::*> floats[] = {{"lat", &R::lat}, {"lon", &R::lon}, {"elev", &R::elev},
      {"vis", &R::vis}, {"slpr", &R::slpr}, {"temp", &R::temp}, {"dewp", &R::dewp}, {"wdir", &R::wdir},
      {"wspd", &R::wspd}, {"wgust", &R::wgust}, {"alt", &R::alt}, {"ptend", &R::ptend}, {"prec3", &R::prec3},
      {"prec6", &R::prec6}, {"prec12", &R::prec12}, {"prec24", &R::prec24}, {"maxt", &R::maxt}, {"mint", &R::mint},
      {"maxt6", &R::maxt6}, {"mint6", &R::mint6}, {"scover", &R::scover}, {"solar", &R::solar}, {"sst", &R::sst},
      {"wave_per", &R::wave_per}, {"wave_hgt", &R::wave_hgt}};
  for (auto [name, m] : floats)
    if (r.*m != M) add(name, num(r.*m));
  for (auto [name, c] : {std::pair{"cld_tot", r.cld_tot}, {"lcld", r.lcld}, {"mcld", r.mcld}, {"hcld", r.hcld}})
    if (c != ' ') add(name, std::string(1, c));
  if (r.comment[0]) add("comment", r.comment);
  return s;
}

class Sfc : public ::testing::Test {
 protected:
  void TearDown() override { SFC_reset_state(), CTY_reset_state(), MAP_domain(nullptr), DOM_set_prior(3); }
  std::string file(const std::string& name, const std::string& text) {
    return write_file(dir_ + "/" + name, text), dir_ + "/" + name;
  }
  // The header read: label|count|year-month-day hour:minute.
  std::string head() const {
    char b[128];
    const DateRec& t = info_.date;
    std::snprintf(b, sizeof b, "%s|%d|%d-%d-%d %d:%d", info_.label, info_.count, t.year, t.month, t.day, t.hour,
                  t.minute);
    return b;
  }
  // Opens path (form detected), reads its header into info_ and returns the handle.
  int open(const std::string& path, int expected_form) {
    int form = 0;
    const int h = SFC_open(path.c_str(), 0, &form);
    EXPECT_EQ(form, expected_form) << path;
    EXPECT_EQ(h >= 0 ? SFC_getinfo(h, &info_) : 0, 0);
    return h;
  }
  // Reports of a whole file read one after another, as dumps.
  std::vector<std::string> read_all(const std::string& text, int mode = 0) {
    int form = 0;
    std::vector<std::string> out;
    if (SFC_open(file("f", text).c_str(), 0, &form) < 0 || SFC_getinfo(0, &info_) != 0) return out;
    sfc_report r;
    for (int i = 0; i < 100000 && SFC_read(0, &r, mode, &i) == 0; ++i) out.push_back(dump(r));
    SFC_close(0);
    return out;
  }
  // Report index of the open file, as a dump ("" when it cannot be read).
  std::string at(int index, int mode = 0) { sfc_report r; return SFC_read(0, &r, mode, &index) == 0 ? dump(r) : ""; }
  // netCDF file from CDL text through ncgen.
  std::string cdf(const std::string& name, const std::string& cdl) {
    const std::string src = file(name + ".cdl", cdl), nc = dir_ + "/" + name + ".nc";
    EXPECT_EQ(run_program("/bin/sh", {"-c", "ncgen -o '" + nc + "' '" + src + "'"}).status, 0) << src;
    return nc;
  }
  std::string dir_ = make_temp_dir("sfc");
  sfc_info info_{};
};

TEST_F(Sfc, DetectsFormFromFirstCharacter) {
  for (const Row& c : cases("detect")) EXPECT_EQ(SFC_chktype(file("d", c[0]).c_str()), num(c[1])) << c[0];
  EXPECT_EQ(SFC_chktype((dir_ + "/none").c_str()) + SFC_chktype(nullptr), -2);
  int form = 0;
  EXPECT_EQ(SFC_open(file("k", "Kxx").c_str(), 0, &form), -1);
  // The package's other files begin with "Z" too: they are named, not analysed.
  for (const Row& c : cases("other_files")) {
    const std::string path = file("o", c[0]);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SFC_open(path.c_str(), 0, &form), -1) << c[1];
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "SFC_open: " + path + " is " + c[1] + ", not a surface file\n");
  }
}

TEST_F(Sfc, TextFormLines) {
  for (const Row& c : cases("text_lines"))
    EXPECT_EQ(read_all("ZAVSFC\n" + c[2] + "\n" + c[0] + "\n"), std::vector{c[1]}) << c[0];
}

TEST_F(Sfc, HeaderAndPositioning) {
  ASSERT_GE(open(file("p", "ZAVSFC\r\n1230Z  5 JAN 98\r\nAAA 1\r\n\r\nBBB 2\nCCC 3\n\n"), 3), 0);
  EXPECT_EQ(head(), "1230Z  5 JAN 98|-9999|1998-1-5 12:30");
  // index asked -> identifier read; -1 continues after the last report read.
  const std::pair<int, const char*> steps[] = {{0, "AAA"}, {1, "BBB"}, {1, "BBB"}, {2, "CCC"}, {0, "AAA"},
                                               {2, "CCC"}, {1, "BBB"}, {-1, "CCC"}, {3, ""}, {0, "AAA"}};
  for (const auto& [ask, id] : steps) EXPECT_EQ(at(ask).substr(0, 6), *id ? "id="s + id : "") << ask;
  EXPECT_EQ(SFC_rewind(0), 0);
  EXPECT_EQ(at(-1, 1), "id=AAA");  // identifier only
  EXPECT_EQ((std::vector{SFC_close(0), SFC_close(0), SFC_rewind(0)}), (std::vector{0, -1, -1}));
}

TEST_F(Sfc, OldTextForm) {
  EXPECT_EQ(read_all("12Z  5 JAN 98\n"
                     "DEN        45. 23.2715.992.132.100. 25B.R-       .L 397.-1048.P515.r1.25.R25.T15.S3.C52/.G40.\n"
                     "BOS        90. 70.3605. 12.980. 35.-99 .         .T15.\n"
                     "PIT        20. 10.3605. 12.\n"
                     "ORD        20. 10.3605.  1.980. 35.-99 .H.T75.S2.Gxx.C1.\n"),
            (std::vector<std::string>{
          "id=DEN region=SHIP type=1 ncld=1 c0=2500/B wx=R- lat=39.7 lon=-104.8 elev=0 vis=10 slpr=1013.2 temp=45 "
          "dewp=23 wdir=270 wspd=15 wgust=40 alt=29.92 ptend=-1.5 prec6=1.25 prec24=0.25 mint=15 scover=3 lcld=5 "
          "mcld=2 hcld=/",
          // 980 without an altimeter rule: 998.0; a lost hundreds digit restored for a hot day.
          "id=BOS type=1 vis=3.5 slpr=998 temp=90 dewp=70 wdir=360 wspd=5 alt=30.12 mint=115",
          "id=PIT type=1 temp=20 dewp=10 wdir=360 wspd=5 alt=30.12",
          "id=ORD type=1 wx=H vis=3.5 slpr=998 temp=20 dewp=10 wdir=360 wspd=5 alt=30.01 mint=-25 scover=2"}));
}

TEST_F(Sfc, CheckValidBounds) {
  sfc_report r;
  SFC_initialize(&r);
  r.time = 2400, r.temp = 150, r.dewp = 151, r.slpr = 900, r.alt = 33.01f, r.wdir = 360, r.wspd = 100.5f, r.wgust = 150;
  r.vis = -0.1f, r.cld_hgt[0] = 35000, r.cld_cov[0] = 'B', r.cld_hgt[1] = 35001, r.ptype = 9, r.ptend = -10.5f;
  r.prec3 = 10, r.prec6 = 15.1f, r.prec12 = 20, r.prec24 = -0.01f, r.wave_per = 10, r.wave_hgt = 20.5f, r.sst = -100;
  r.solar = -101;
  SFC_check_valid(&r);
  const std::string kept = "c0=35000/B slpr=900 temp=150 wdir=360 wgust=150 prec3=10 prec12=20 sst=-100 wave_per=10";
  EXPECT_EQ(dump(r), "time=2400 ptype=9 " + kept);
  r.time = 2401, r.dewp = 160, r.ptype = 10;
  SFC_check_valid(&r);
  EXPECT_EQ(dump(r), kept);
  r.temp = 50, r.dewp = 60;
  SFC_check_valid(&r);
  EXPECT_EQ(r.dewp, 50);
}

TEST_F(Sfc, HostileTextNeverOverruns) {
  std::mt19937 rng(11);
  for (const char* lead : {"ZAVSFC\n", " ", "Z", "0"}) {
    std::string junk(lead);
    for (int i = 0; i < 30000; ++i) junk.push_back(static_cast<char>(rng() % 7 == 0 ? '\n' : rng() % 256));
    read_all(junk), read_all(junk, 1);
  }
  // An endless number, text after a NUL, a blank line.
  EXPECT_EQ(read_all("ZAVSFC\nlabel\nKDEN " + std::string(100000, '9') + "\nKBDU\0 1 2\n\nKCOS 1\n"s),
            (std::vector<std::string>{"id=KDEN type=1", "id=KBDU type=1", "id=KCOS type=1 temp=0.1"}));
  ASSERT_GE(open(file("h", "ZAVSFC"), 3), 0);
  EXPECT_EQ(head(), "|-9999|-9999--9999--9999 -9999:-9999");
  EXPECT_EQ(at(0), "");
}

TEST_F(Sfc, NetcdfReportForm) {
  for (const std::string rec : {"report", "ob"}) {
    SCOPED_TRACE(rec);
    std::string cdl = read_file(kData + "sfc_report.cdl");
    for (size_t p; (p = cdl.find("%REC%")) != std::string::npos;) cdl.replace(p, 5, rec);
    const std::string nc = cdf("rep_" + rec, cdl);
    ASSERT_GE(open(nc, 12), 0);
    EXPECT_EQ(head(), "12Z  5 JAN 98|2|1998-1-5 12:-9999");
    EXPECT_EQ(at(0), "id=KDEN region=US time=1253 ncld=2 ptype=3 c0=2499.97/B c1=9842.4/O wx=R- lat=39.86 "
                     "lon=-104.67 elev=1655 vis=6.2137 slpr=1013.2 temp=68 dewp=-40 wdir=270 wspd=19.44 "
                     "alt=29.5386 ptend=-1.5 prec24=0.999998 maxt=77 mint=50 maxt6=212 scover=3.937 solar=60 "
                     "lcld=5 hcld=2 comment=hello remarks");
    EXPECT_EQ(at(-1), "id=SHIP1 region=XX time=1300 ncld=1 c0=328.08/8 lat=10 lon=-150 elev=0 dewp=32 wspd=0 "
                      "wgust=38.88 prec6=0.3937 mint6=32 sst=12.5 wave_per=8 wave_hgt=2.5");
    EXPECT_EQ(at(0, 2), "id=KDEN region=US lat=39.86 lon=-104.67 elev=1655");
    EXPECT_EQ(at(2), "");
    EXPECT_EQ(SFC_rewind(0) + SFC_close(0), 0);
    // Cut short: a header that no longer fits its file is refused with one message that
    // says so; data cut inside the last record reads without a crash or a flood of messages.
    const std::string whole = read_file(nc), f = dir_ + "/f";
    for (size_t cut : {whole.size() / 2, whole.size() - 7, size_t{40}}) {
      testing::internal::CaptureStderr();
      const std::vector<std::string> got = read_all(whole.substr(0, cut));
      const std::string err = testing::internal::GetCapturedStderr();
      if (cut == whole.size() - 7) {
        EXPECT_EQ(err, "");
        EXPECT_EQ(got.size(), 2u);
      } else {
        EXPECT_EQ(err.rfind("SFC_chktype: Unable to read netCDF file " + f + ": damaged file: the header claims ", 0), 0u)
            << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_TRUE(got.empty());
      }
    }
  }
}

TEST_F(Sfc, NetcdfStationForm) {
  for (bool versioned : {false, true}) {
    std::string cdl = read_file(kData + "sfc_station.cdl");
    cdl.replace(cdl.find("%VERSION%"), 9, versioned ? ":version = \"2\" ;" : "");
    ASSERT_GE(open(cdf(versioned ? "st2" : "st1", cdl), 11), 0);
    EXPECT_EQ(head(), "18Z  5 JUL 98|2|1998-7-5 18:-9999");
    // Files without a version store longitudes west positive; the file's hour makes 88 a minimum.
    EXPECT_EQ(at(0), "id=KDEN region=US type=3 wmo=72565 spare_time=1200 time=1253 ncld=2 c0=2500/B c1=6000/O "
                     "wx=R- lat=39.86 lon="s + (versioned ? "104.67" : "-104.67") +
                         " elev=1655 vis=10 slpr=1013.2 temp=45.5 dewp=23 wdir=270 wspd=15 alt=29.92 ptend=-1.5 "
                         "prec6=0.25 prec24=1.5 mint=88 scover=2 lcld=5 hcld=2");
    EXPECT_EQ(at(1), "");  // no identifier
    SFC_close(0);
  }
}

// Files that lack dimensions or hold variables of the wrong kind read what they can.
TEST_F(Sfc, NetcdfWrongShapes) {
  ASSERT_GE(open(cdf("bad", R"(netcdf bad {
dimensions: n = UNLIMITED ; id_len = 4 ; two = 2 ;
variables: char id(n, id_len) ; char T(n, id_len) ; float TD(n, two) ; int lat(n) ; char WX(n) ; float CC(n, two) ;
data: id = "ABCD", "WXYZ" ; T = "ab", "cd" ; TD = 1, 2, 3, 4 ; lat = 45, 46 ; WX = "ab" ; CC = 1, 2, 3, 4 ;
})"), 12), 0);
  EXPECT_EQ(head().substr(0, 3), "|2|");
  EXPECT_EQ(at(1), "id=WXYZ region=US lat=46");
}

TEST_F(Sfc, WrappersPlaceReports) {
  DomainRec d;
  DOM_init(&d);
  d.proj = 2, d.clat = 0, d.clon = 0, d.nx = 361, d.ny = 181, d.dx = d.dy = 1.0f;
  ASSERT_GE(CTY_store(file("mini.cty", "Denver               CO US KDEN      1  39.8617 -104.6730  1655 72565 0\n"
                                       "Boulder              CO US KBDU      6  40.0394 -105.2258  1612 99999 0\n")
                          .c_str(), CTY_MODE_COMPACT, &d, 10), 0);
  DOM_set_prior(5);
  testing::internal::CaptureStdout();
  ASSERT_EQ(SFC_open_file(file("w", "ZAVSFC\n12Z  5 JAN 98\nKDEN 455 300 2715 992 132 10.0 25B -\nXXXX 455\nSHIP9 "
                                    "1 1 1 1 1 1 -99M - L100,-1500\nKBDU 1 1 1 1 1 1 -99M - L400,-1050\n").c_str()),
            1);
  EXPECT_EQ(SFC_get_file_info()->label + std::to_string(SFC_get_file_info()->date.day), "12Z  5 JAN 985");
  // (result, id, latitude, longitude) of each report: XXXX is skipped, KBDU's priority 6 is beyond the domain's 5.
  const std::tuple<int, const char*, float, float> placed[] = {
      {1, "KDEN", 39.8617f, -104.6730f}, {0, "XXXX", 0, 0}, {1, "SHIP9", 10, -150}, {0, "KBDU", 40, -105},
      {-1, "", 0, 0}};
  sfc_report r;
  StationRec st{};
  for (const auto& [res, id, lat, lon] : placed) {
    float x = 0, y = 0;
    MAP_tran(&x, &y, lat, lon);
    ASSERT_EQ(SFC_read_report(&r, &st), res) << id;
    EXPECT_TRUE(res == -1 || *id == 'X' ||
                (std::string(st.id) == id && std::abs(st.x - x) < 1e-3f && std::abs(st.y - y) < 1e-3f)) << id;
    EXPECT_TRUE(*id != 'S' || (st.prior == DOM_get_loc_prior() && st.elev == 0));  // placed where it reports
  }
  SFC_rewind_file();
  ASSERT_EQ(SFC_read_report(&r, &st), 1);
  EXPECT_STREQ(r.id, "KDEN");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Date: 12Z  5 JAN 98\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Not in database: 1 station: XXXX\n"), std::string::npos) << out;
  SFC_close_file();
  EXPECT_EQ(SFC_read_report(&r, &st), -1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(SFC_open_file((dir_ + "/missing").c_str()), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("SFC_open_file: Unable to open file:" + dir_ + "/missing\n"),
            std::string::npos);
}

// Reports of stations that the database does not know and that carry no position are
// named together, once a run; database stations outside the domain are not named at all.
TEST_F(Sfc, UnknownStationsAreNamedOnce) {
  DomainRec colorado;
  DOM_init(&colorado);
  colorado.proj = 1, colorado.clat = 39.5f, colorado.clon = -105.0f, colorado.nx = colorado.ny = 5;
  colorado.dx = colorado.dy = 0.5f;
  ASSERT_GE(CTY_store(file("two.cty", "Denver               CO US KDEN      1  39.8617 -104.6730  1655 72565 0\n"
                                      "Heathrow             -- GB EGLL      1  51.4706   -0.4619    25 03772 0\n")
                          .c_str(), CTY_MODE_COMPACT, &colorado, 7), 0);
  DOM_set_prior(5);
  const std::string head = "ZAVSFC\n12Z  5 JAN 98\n";
  auto read_all = [&](const std::string& name, const std::string& ids) {
    std::string text = head;
    for (std::size_t i = 0; i < ids.size(); i += 5) text += ids.substr(i, 4) + " 455 300 2715 992 132 10.0 25B -\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(SFC_open_file(file(name, text).c_str()), 1);
    sfc_report r;
    StationRec st{};
    int placed = 0, code;
    while ((code = SFC_read_report(&r, &st)) >= 0) placed += code;
    SFC_rewind_file();  // the same file read again (the next plot) names nothing new
    while (SFC_read_report(&r, &st) >= 0) {
    }
    SFC_close_file();
    const std::string out = testing::internal::GetCapturedStdout();
    return std::to_string(placed) + "|" + out.substr(out.find('\n') + 1);  // after "Date: ..."
  };
  EXPECT_EQ(read_all("a", "KDEN EGLL UNKB UNKA UNKB EGLL"), "1|Not in database: 2 stations: UNKA UNKB\n");
  EXPECT_EQ(read_all("b", "UNKA UNKC KDEN"), "1|Not in database: 1 station: UNKC\n");  // the next hour
  EXPECT_EQ(read_all("c", "UNKA EGLL"), "0|");
  EXPECT_EQ(read_all("d", "U001 U002 U003 U004 U005 U006 U007 U008 U009 U010 U011 U012"),
            "0|Not in database: 12 stations: U001 U002 U003 U004 U005 U006 U007 U008 U009 U010 ...\n");
}

}  // namespace
