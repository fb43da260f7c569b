// Surface data files: form detection, every group of the text forms, positioning, both
// netCDF forms (built with ncgen), hostile files and the plot loop's file wrappers.
#include "surface/sfc_read.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "config/mess.h"
#include "driver/plt_tool.h"
#include "plot/maptran.h"
#include "surface/cty_tool.h"
#include "tests/support/run.h"

namespace {

constexpr float M = -9999.0f;
using namespace std::string_literals;

std::string ncgen() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin";
  for (size_t b = 0, e; b <= dirs.size(); b = e + 1) {
    e = dirs.find(':', b);
    if (e == std::string::npos) e = dirs.size();
    const std::string cand = dirs.substr(b, e - b) + "/ncgen";
    if (access(cand.c_str(), X_OK) == 0) return cand;
  }
  return "ncgen";
}

class Sfc : public ::testing::Test {
 protected:
  void TearDown() override {
    SFC_close(-1);
    SFC_close_file();
  }
  std::string file(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    write_file(path, text);
    return path;
  }
  // Opens text (a whole file) and returns the reports read one after another.
  std::vector<sfc_report> read_all(const std::string& text, int mode = 0) {
    int form = 0;
    EXPECT_GE(SFC_open(file("f", text).c_str(), 0, &form), 0);
    sfc_info in;
    SFC_getinfo(0, &in);
    std::vector<sfc_report> out;
    sfc_report r;
    for (int i = 0; i < 100000; ++i) {
      int index = i;
      if (SFC_read(0, &r, mode, &index) != 0) break;
      out.push_back(r);
    }
    SFC_close(0);
    return out;
  }
  sfc_report one(const std::string& line, const std::string& label = "12Z  5 JAN 98") {
    auto all = read_all("ZAVSFC\n" + label + "\n" + line + "\n");
    EXPECT_EQ(all.size(), 1u) << line;
    if (all.empty()) SFC_initialize(&all.emplace_back());
    return all[0];
  }
  // netCDF file from CDL text through ncgen.
  std::string cdf(const std::string& name, const std::string& cdl) {
    const std::string src = file(name + ".cdl", cdl), nc = dir_ + "/" + name + ".nc";
    RunResult r = run_program(ncgen(), {"-o", nc, src});
    EXPECT_EQ(r.status, 0) << r.err;
    return nc;
  }
  std::string dir_ = make_temp_dir("sfc");
};

TEST_F(Sfc, DetectsFormFromFirstCharacter) {
  const std::pair<std::string, int> cases[] = {{" DEN", 2}, {"0x", 2}, {"1", 2}, {"2", 2}, {"ZAVSFC\n", 3},
                                               {"Zgarbage", 3}, {"3", -1}, {"K", -1}, {"", -1},
                                               {"CDF\x01 not really", -1}, {"\x89HDF", -1}};
  for (const auto& [text, want] : cases) EXPECT_EQ(SFC_chktype(file("d", text).c_str()), want) << text;
  EXPECT_EQ(SFC_chktype((dir_ + "/none").c_str()), -1);
  EXPECT_EQ(SFC_chktype(nullptr), -1);
  int form = 0;
  EXPECT_EQ(SFC_open(file("k", "Kxx").c_str(), 0, &form), -1);
}

TEST_F(Sfc, FixedFieldCodes) {
  struct Case {
    const char* line;
    float temp, dewp, wdir, wspd, alt, slpr, vis;
  };
  const Case cases[] = {
      {"KDEN 455 -12 2715 992 132 10.0", 45.5f, -1.2f, 270, 15, 29.92f, 1013.2f, 10.0f},
      {"KDEN -99 -99 275105 12 980 0.25", M, M, 275, 105, 30.12f, 998.0f, 0.25f},
      {"KDEN 100 0 -999 500 980 -99", 10.0f, 0.0f, M, M, 35.0f, 1098.0f, M},
      {"KDEN 100 0 0 501 980 1", 10.0f, 0.0f, 0, 0, 25.01f, 998.0f, 1.0f},
      {"KDEN 100 0 3605 80 980 1", 10.0f, 0.0f, 360, 5, 30.80f, 1098.0f, 1.0f},
      {"KDEN -150 0 3605 -99 980 1", -15.0f, 0.0f, 360, 5, M, 1098.0f, 1.0f},
      {"KDEN 100 0 3605 820 50 1", 10.0f, 0.0f, 360, 5, 28.20f, 905.0f, 1.0f},
      {"KDEN 100 0 3605 -99 50 1", 10.0f, 0.0f, 360, 5, M, 1005.0f, 1.0f},
      {"KDEN 100 0 3605 1010 9400 1", 10.0f, 0.0f, 360, 5, 10.10f, 940.0f, 1.0f},
      {"KDEN 100 0 4999 992 500 1", 10.0f, 0.0f, 490, 99, 29.92f, 1050.0f, 1.0f},
      {"KDEN abc 1e5 nan 99x2 inf x", M, M, M, M, M, M, M},
  };
  for (const Case& c : cases) {
    const sfc_report r = one(c.line);
    SCOPED_TRACE(c.line);
    EXPECT_FLOAT_EQ(r.temp, c.temp);
    EXPECT_FLOAT_EQ(r.dewp, c.dewp);
    EXPECT_FLOAT_EQ(r.wdir, c.wdir);
    EXPECT_FLOAT_EQ(r.wspd, c.wspd);
    EXPECT_FLOAT_EQ(r.alt, c.alt);
    EXPECT_FLOAT_EQ(r.slpr, c.slpr);
    EXPECT_FLOAT_EQ(r.vis, c.vis);
    EXPECT_EQ(r.type, 1);
  }
}

TEST_F(Sfc, IdentifierCloudsAndWeather) {
  struct Case {
    const char* line;
    const char* id;
    int wmo, ncld;
    const char* cover;
    float h0, h1;
    const char* wx;
  };
  const Case cases[] = {
      {"KDEN 1 1 1 1 1 1 -99M -", "KDEN", -9999, 0, "     ", M, M, " "},
      {"72469 1 1 1 1 1 1 25B,60:8 R-", "72469", 72469, 2, "B8   ", 2500, 6000, "R-"},
      {"EGLLX 1 1 1 1 1 1 -99C TRW+", "EGLLX", 0, 1, "C    ", M, M, "TRW+"},
      {"ABCDEFGHIJKLM 1 1 1 1 1 1 1S,2S,3B,4B,5O,6O ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJ", 0, 5, "SSBBO",
       100, 200, "ABCDEFGHIJKLMNOPQRS"},
      {"KBDU 1 1 1 1 1 1 12S,-99M,30B", "KBDU", -9999, 1, "S    ", 1200, M, " "},
  };
  for (const Case& c : cases) {
    const sfc_report r = one(c.line);
    SCOPED_TRACE(c.line);
    EXPECT_STREQ(r.id, c.id);
    EXPECT_EQ(r.wmo, c.wmo);
    EXPECT_EQ(r.ncld, c.ncld);
    EXPECT_EQ(std::string(r.cld_cov, 5), c.cover);
    EXPECT_FLOAT_EQ(r.cld_hgt[0], c.h0);
    EXPECT_FLOAT_EQ(r.cld_hgt[1], c.h1);
    EXPECT_STREQ(r.wx, c.wx);
  }
}

// Every optional group, each with the fields it sets.
struct Group {
  const char* text;
  std::function<bool(const sfc_report&)> set;  // true when the group's fields were read
};
const std::vector<Group> kGroups = {
    {"@1253", [](auto& r) { return r.time == 1253; }},
    {"L397,-1048", [](auto& r) { return r.lat == 39.7f && r.lon == -104.8f && std::string(r.region) == "SHIP" && r.elev == 0; }},
    {"P2 15", [](auto& r) { return r.ptype == 2 && r.ptend == 1.5f; }},
    {"Q12", [](auto& r) { return r.prec3 == 0.12f; }},
    {"r25", [](auto& r) { return r.prec6 == 0.25f; }},
    {"q130", [](auto& r) { return r.prec12 == 1.3f; }},
    {"R205", [](auto& r) { return r.prec24 == 2.05f; }},
    {"X55.5", [](auto& r) { return r.maxt == 55.5f; }},
    {"x54.0", [](auto& r) { return r.maxt6 == 54.0f; }},
    {"N-3.5", [](auto& r) { return r.mint == -3.5f; }},
    {"n-2.0", [](auto& r) { return r.mint6 == -2.0f; }},
    {"S4.0", [](auto& r) { return r.scover == 4.0f; }},
    {"C52/", [](auto& r) { return r.lcld == '5' && r.mcld == '2' && r.hcld == '/'; }},
    {"G 35", [](auto& r) { return r.wgust == 35.0f; }},
    {"s120", [](auto& r) { return r.solar == 120.0f; }},
    {"t12.5", [](auto& r) { return r.sst == 12.5f; }},
    {"p 8", [](auto& r) { return r.wave_per == 8.0f; }},
    {"h2.5", [](auto& r) { return r.wave_hgt == 2.5f; }},
    {"#RMK AO2 SLP132", [](auto& r) { return std::string(r.comment) == "RMK AO2 SLP132"; }},
};

TEST_F(Sfc, OptionalGroupsInAnyCombination) {
  std::mt19937 rng(7);
  std::vector<unsigned> masks = {0, (1u << kGroups.size()) - 1};
  for (size_t g = 0; g < kGroups.size(); ++g) masks.push_back(1u << g), masks.push_back(~(1u << g));
  for (int i = 0; i < 60; ++i) masks.push_back(rng());
  for (unsigned mask : masks) {
    std::string line = "KDEN 455 300 2715 992 132 10.0 25B -";
    for (size_t g = 0; g < kGroups.size(); ++g)
      if (mask >> g & 1u) line += std::string(" ") + kGroups[g].text;
    line += mask & 1u ? " $" : "";  // the end marker is optional
    const sfc_report r = one(line);
    for (size_t g = 0; g < kGroups.size(); ++g)
      EXPECT_EQ(kGroups[g].set(r), bool(mask >> g & 1u)) << line << " group " << kGroups[g].text;
    EXPECT_FLOAT_EQ(r.temp, 45.5f);
  }
}

TEST_F(Sfc, MalformedOutOfOrderAndTailGroups) {
  sfc_report r = one("KDEN 455 300 2715 992 132 10.0 25B - @12x3 L397,-1048 P2 Q12 $ G35");
  EXPECT_EQ(r.time, -9999);
  EXPECT_FLOAT_EQ(r.lat, 39.7f);
  EXPECT_EQ(r.ptype, -9999);
  EXPECT_FLOAT_EQ(r.prec3, 0.12f);
  EXPECT_FLOAT_EQ(r.wgust, M);  // after the end marker
  r = one("KDEN 455 300 2715 992 132 10.0 25B - Q12 @1253 G35");
  EXPECT_FLOAT_EQ(r.prec3, 0.12f);
  EXPECT_EQ(r.time, -9999);  // out of order: never read
  EXPECT_FLOAT_EQ(r.wgust, M);  // nor anything after it
  r = one("KDEN 455 300 2715 992 132 10.0 25B - #" + std::string(120, 'c') + " $ G35");
  EXPECT_EQ(std::string(r.comment), std::string(69, 'c'));
  r = one("KDEN 455");  // a truncated line reads what it holds
  EXPECT_FLOAT_EQ(r.temp, 45.5f);
  EXPECT_FLOAT_EQ(r.dewp, M);
  EXPECT_STREQ(r.wx, " ");
}

TEST_F(Sfc, ExtremeTemperatureFollowsFileHour) {
  sfc_report r = one("KDEN 1 1 1 1 1 1 1S - T71", "06Z  5 JAN 98");
  EXPECT_FLOAT_EQ(r.maxt, 71.0f);
  EXPECT_FLOAT_EQ(r.mint, M);
  r = one("KDEN 1 1 1 1 1 1 1S - T-5", "SFC 1200Z  5 JAN 98");
  EXPECT_FLOAT_EQ(r.mint, -5.0f);
  EXPECT_FLOAT_EQ(r.maxt, M);
}

TEST_F(Sfc, HeaderAndPositioning) {
  int form = 0;
  const std::string path = file("p", "ZAVSFC\r\n1230Z  5 JAN 98\r\nAAA 1\r\n\r\nBBB 2\nCCC 3\n\n");
  ASSERT_GE(SFC_open(path.c_str(), 0, &form), 0);
  EXPECT_EQ(form, 3);
  sfc_info in;
  EXPECT_EQ(SFC_getinfo(0, &in), 0);
  EXPECT_STREQ(in.label, "1230Z  5 JAN 98");
  EXPECT_EQ(in.count, -9999);
  EXPECT_EQ(in.date.year * 10000 + in.date.month * 100 + in.date.day, 19980105);
  EXPECT_EQ(in.date.minute, 30);
  sfc_report r;
  // index asked -> identifier read; -1 continues after the last report read.
  const std::pair<int, const char*> steps[] = {{0, "AAA"}, {1, "BBB"}, {1, "BBB"}, {2, "CCC"}, {0, "AAA"},
                                               {2, "CCC"}, {1, "BBB"}, {-1, "CCC"}, {3, nullptr}, {0, "AAA"}};
  for (const auto& [ask, id] : steps) {
    int index = ask;
    const int got = SFC_read(0, &r, 0, &index);
    if (!id) {
      EXPECT_EQ(got, -1) << ask;
      continue;
    }
    ASSERT_EQ(got, 0) << ask;
    EXPECT_STREQ(r.id, id) << ask;
  }
  EXPECT_EQ(SFC_rewind(0), 0);
  int index = -1;
  ASSERT_EQ(SFC_read(0, &r, 1, &index), 0);
  EXPECT_STREQ(r.id, "AAA");
  EXPECT_FLOAT_EQ(r.temp, M);  // identifier only
  EXPECT_EQ(SFC_close(0), 0);
  EXPECT_EQ(SFC_close(0), -1);
  EXPECT_EQ(SFC_rewind(0), -1);
}

TEST_F(Sfc, OldTextForm) {
  const auto all = read_all(
      "12Z  5 JAN 98\n"
      "DEN        45. 23.2715.992.132.100. 25B.R-       .L 397.-1048.P515.r1.25.R25.T15.S3.C52/.G40.\n"
      "BOS        90. 70.3605. 12.980. 35.-99 .         .T15.\n"
      "ALB        20. 10.3605. 12.980. 35.\n"
      "PIT        20. 10.3605. 12.\n"
      "ORD        20. 10.3605.  1.980. 35.-99 .H.T75.S2.Gxx.C1.\n");
  ASSERT_EQ(all.size(), 5u);
  const sfc_report& d = all[0];
  EXPECT_STREQ(d.id, "DEN");
  EXPECT_FLOAT_EQ(d.temp, 45); EXPECT_FLOAT_EQ(d.dewp, 23);
  EXPECT_FLOAT_EQ(d.wdir, 270); EXPECT_FLOAT_EQ(d.wspd, 15);
  EXPECT_FLOAT_EQ(d.alt, 29.92f); EXPECT_FLOAT_EQ(d.slpr, 1013.2f); EXPECT_FLOAT_EQ(d.vis, 10.0f);
  EXPECT_FLOAT_EQ(d.cld_hgt[0], 2500); EXPECT_EQ(d.cld_cov[0], 'B'); EXPECT_EQ(d.ncld, 1);
  EXPECT_STREQ(d.wx, "R-");
  EXPECT_FLOAT_EQ(d.lat, 39.7f); EXPECT_FLOAT_EQ(d.lon, -104.8f); EXPECT_STREQ(d.region, "SHIP");
  EXPECT_FLOAT_EQ(d.ptend, -1.5f); EXPECT_EQ(d.ptype, -9999);
  EXPECT_FLOAT_EQ(d.prec6, 1.25f); EXPECT_FLOAT_EQ(d.prec24, 0.25f);
  EXPECT_FLOAT_EQ(d.mint, 15); EXPECT_FLOAT_EQ(d.maxt, M);  // a noon file: the minimum
  EXPECT_EQ(d.lcld, '5'); EXPECT_EQ(d.hcld, '/');
  EXPECT_FLOAT_EQ(d.scover, 3); EXPECT_FLOAT_EQ(d.wgust, 40);
  // 980 without an altimeter rule: 998.0; a lost hundreds digit restored for a hot day.
  EXPECT_FLOAT_EQ(all[1].slpr, 998.0f); EXPECT_FLOAT_EQ(all[1].vis, 3.5f); EXPECT_EQ(all[1].ncld, 0);
  EXPECT_STREQ(all[1].wx, " ");
  EXPECT_FLOAT_EQ(all[1].mint, 115);
  EXPECT_FLOAT_EQ(all[2].vis, 3.5f); EXPECT_FLOAT_EQ(all[2].cld_hgt[0], M);
  EXPECT_FLOAT_EQ(all[3].alt, 30.12f); EXPECT_FLOAT_EQ(all[3].slpr, M);
  EXPECT_FLOAT_EQ(all[4].mint, -25); EXPECT_FLOAT_EQ(all[4].wgust, M); EXPECT_FLOAT_EQ(all[4].scover, 2);
}

TEST_F(Sfc, CheckValidBounds) {
  sfc_report r;
  SFC_initialize(&r);
  r.time = 2400, r.temp = 150, r.dewp = 151, r.slpr = 900, r.alt = 33.01f, r.wdir = 360, r.wspd = 100.5f;
  r.wgust = 150, r.vis = -0.1f, r.cld_hgt[0] = 35000, r.cld_hgt[1] = 35001, r.ptype = 9, r.ptend = -10.5f;
  r.prec3 = 10, r.prec6 = 15.1f, r.prec12 = 20, r.prec24 = -0.01f, r.wave_per = 10, r.wave_hgt = 20.5f;
  r.sst = -100, r.solar = -101;
  SFC_check_valid(&r);
  EXPECT_EQ(r.time, 2400); EXPECT_FLOAT_EQ(r.temp, 150); EXPECT_FLOAT_EQ(r.dewp, M);
  EXPECT_FLOAT_EQ(r.slpr, 900); EXPECT_FLOAT_EQ(r.alt, M); EXPECT_FLOAT_EQ(r.wdir, 360);
  EXPECT_FLOAT_EQ(r.wspd, M); EXPECT_FLOAT_EQ(r.wgust, 150); EXPECT_FLOAT_EQ(r.vis, M);
  EXPECT_FLOAT_EQ(r.cld_hgt[0], 35000); EXPECT_FLOAT_EQ(r.cld_hgt[1], M); EXPECT_EQ(r.ptype, 9);
  EXPECT_FLOAT_EQ(r.ptend, M); EXPECT_FLOAT_EQ(r.prec3, 10); EXPECT_FLOAT_EQ(r.prec6, M);
  EXPECT_FLOAT_EQ(r.prec12, 20); EXPECT_FLOAT_EQ(r.prec24, M); EXPECT_FLOAT_EQ(r.wave_per, 10);
  EXPECT_FLOAT_EQ(r.wave_hgt, M); EXPECT_FLOAT_EQ(r.sst, -100); EXPECT_FLOAT_EQ(r.solar, M);
  r.time = 2401, r.temp = 50, r.dewp = 60, r.ptype = 10;
  SFC_check_valid(&r);
  EXPECT_EQ(r.time, -9999); EXPECT_FLOAT_EQ(r.dewp, 50); EXPECT_EQ(r.ptype, -9999);
}

TEST_F(Sfc, HostileTextNeverOverruns) {
  std::mt19937 rng(11);
  for (const char* lead : {"ZAVSFC\n", " ", "Z", "0"}) {
    std::string junk(lead);
    for (int i = 0; i < 30000; ++i) junk.push_back(static_cast<char>(rng() % 7 == 0 ? '\n' : rng() % 256));
    read_all(junk);
    read_all(junk, 1);
  }
  const auto big = read_all("ZAVSFC\nlabel\nKDEN " + std::string(100000, '9') + "\nKBDU\0 1 2\n\nKCOS 1\n"s);
  ASSERT_EQ(big.size(), 3u);
  EXPECT_FLOAT_EQ(big[0].temp, M);
  EXPECT_STREQ(big[1].id, "KBDU");
  EXPECT_FLOAT_EQ(big[1].temp, M);  // text after a NUL is not read
  EXPECT_STREQ(big[2].id, "KCOS");
  int form = 0;
  ASSERT_GE(SFC_open(file("h", "ZAVSFC").c_str(), 0, &form), 0);
  sfc_info in;
  EXPECT_EQ(SFC_getinfo(0, &in), 0);
  EXPECT_STREQ(in.label, "");
  EXPECT_EQ(in.date.year, -9999);
  sfc_report r;
  int index = 0;
  EXPECT_EQ(SFC_read(0, &r, 0, &index), -1);
  SFC_close(0);
  EXPECT_EQ(SFC_chktype(file("c", "CDF\x01" + std::string(500, '\x7f')).c_str()), -1);
}

const char* const kReportCdl = R"(netcdf rep {
dimensions:
  %REC% = UNLIMITED ; id_len = 10 ; time_len = 6 ; layers = 4 ; remarks_len = 20 ; rlen = 12 ; ct = 3 ;
variables:
  char id(%REC%, id_len) ; char region(%REC%, rlen) ; char time(%REC%, time_len) ;
  float lat(%REC%) ; float lon(%REC%) ; float elev(%REC%) ;
  float T(%REC%) ; float TD(%REC%) ; float Tmax(%REC%) ; float Tmin(%REC%) ; float Tmax6(%REC%) ; float Tmin6(%REC%) ;
  float PSL(%REC%) ; float ALTIM(%REC%) ; float SPD(%REC%) ; float GUST(%REC%) ; float DIR(%REC%) ; float VIS(%REC%) ;
  byte WX(%REC%) ; float ZCL(%REC%, layers) ; char CC(%REC%, layers) ; char Ptend(%REC%) ; float delP(%REC%) ;
  float PRECIP(%REC%) ; float reftime_PRECIP(%REC%) ; float SNOW(%REC%) ; float sunshine(%REC%) ;
  char cloudtype(%REC%, ct) ; float SST(%REC%) ; float wave_per(%REC%) ; float wave_hgt(%REC%) ;
  char remarks(%REC%, remarks_len) ;
  :filetime = "12Z  5 JAN 98" ;
data:
  id = "KDEN", "  SHIP1" ; region = "", "XX" ; time = "1253Z", "1300" ;
  lat = 39.86, 10 ; lon = -104.67, -150 ; elev = 1655, 0 ;
  T = 20, -9999 ; TD = -40, 0 ; Tmax = 25, -9999 ; Tmin = 10, -9999 ; Tmax6 = 100, -9999 ; Tmin6 = -9999, 0 ;
  PSL = 1013.2, -9999 ; ALTIM = 1000, -9999 ; SPD = 10, 0 ; GUST = -9999, 20 ; DIR = 270, -9999 ; VIS = 10, -9999 ;
  WX = 61, -1 ; ZCL = 762, 3000, 5000, 0, 100, 0, 0, 0 ; CC = "BO/", "8" ; Ptend = "3 " ; delP = -1.5, -9999 ;
  PRECIP = 25.4, 10 ; reftime_PRECIP = 24, 6 ; SNOW = 100, -9999 ; sunshine = 60, -9999 ;
  cloudtype = "5/2", "///" ; SST = -9999, 12.5 ; wave_per = -9999, 8 ; wave_hgt = -9999, 2.5 ;
  remarks = "hello remarks", "" ;
})";

std::string with_record(std::string cdl, const std::string& name) {
  for (size_t p; (p = cdl.find("%REC%")) != std::string::npos;) cdl.replace(p, 5, name);
  return cdl;
}

TEST_F(Sfc, NetcdfReportForm) {
  for (const char* rec : {"report", "ob"}) {
    SCOPED_TRACE(rec);
    const std::string nc = cdf(std::string("rep_") + rec, with_record(kReportCdl, rec));
    EXPECT_EQ(SFC_chktype(nc.c_str()), 12);
    int form = 0;
    ASSERT_GE(SFC_open(nc.c_str(), 0, &form), 0);
    EXPECT_EQ(form, 12);
    sfc_info in;
    EXPECT_EQ(SFC_getinfo(0, &in), 0);
    EXPECT_EQ(in.count, 2);
    EXPECT_STREQ(in.label, "12Z  5 JAN 98");
    EXPECT_EQ(in.date.hour, 12);
    sfc_report r;
    int index = 0;
    ASSERT_EQ(SFC_read(0, &r, 0, &index), 0);
    EXPECT_STREQ(r.id, "KDEN"); EXPECT_STREQ(r.region, "US"); EXPECT_EQ(r.time, 1253); EXPECT_EQ(r.wmo, -9999);
    EXPECT_FLOAT_EQ(r.lat, 39.86f); EXPECT_FLOAT_EQ(r.elev, 1655);
    EXPECT_FLOAT_EQ(r.temp, 68); EXPECT_FLOAT_EQ(r.dewp, -40); EXPECT_FLOAT_EQ(r.maxt, 77);
    EXPECT_FLOAT_EQ(r.mint, 50); EXPECT_FLOAT_EQ(r.maxt6, 212); EXPECT_FLOAT_EQ(r.mint6, M);
    EXPECT_FLOAT_EQ(r.slpr, 1013.2f); EXPECT_NEAR(r.alt, 29.5386f, 1e-4); EXPECT_NEAR(r.wspd, 19.44f, 1e-4);
    EXPECT_FLOAT_EQ(r.wgust, M); EXPECT_FLOAT_EQ(r.wdir, 270); EXPECT_NEAR(r.vis, 6.2137f, 1e-4);
    EXPECT_STREQ(r.wx, "R-");
    EXPECT_EQ(r.ncld, 2); EXPECT_EQ(r.cld_cov[0], 'B'); EXPECT_EQ(r.cld_cov[1], 'O');
    EXPECT_NEAR(r.cld_hgt[0], 2499.97f, 0.01); EXPECT_NEAR(r.cld_hgt[1], 9842.4f, 0.01);
    EXPECT_EQ(r.ptype, 3); EXPECT_FLOAT_EQ(r.ptend, -1.5f);
    EXPECT_NEAR(r.prec24, 0.99999f, 1e-4); EXPECT_FLOAT_EQ(r.prec6, M); EXPECT_NEAR(r.scover, 3.937f, 1e-4);
    EXPECT_FLOAT_EQ(r.solar, 60); EXPECT_EQ(r.lcld, '5'); EXPECT_EQ(r.mcld, ' '); EXPECT_EQ(r.hcld, '2');
    EXPECT_STREQ(r.comment, "hello remarks");
    index = -1;
    ASSERT_EQ(SFC_read(0, &r, 0, &index), 0);
    EXPECT_EQ(index, 1);
    EXPECT_STREQ(r.id, "SHIP1"); EXPECT_STREQ(r.region, "XX"); EXPECT_EQ(r.time, 1300);
    EXPECT_FLOAT_EQ(r.temp, M); EXPECT_STREQ(r.wx, " "); EXPECT_EQ(r.ncld, 1); EXPECT_EQ(r.cld_cov[0], '8');
    EXPECT_NEAR(r.prec6, 0.3937f, 1e-4); EXPECT_FLOAT_EQ(r.prec24, M); EXPECT_EQ(r.ptype, -9999);
    EXPECT_FLOAT_EQ(r.sst, 12.5f); EXPECT_FLOAT_EQ(r.wave_per, 8); EXPECT_FLOAT_EQ(r.wave_hgt, 2.5f);
    EXPECT_EQ(r.lcld, ' '); EXPECT_STREQ(r.comment, "");
    index = 0;
    ASSERT_EQ(SFC_read(0, &r, 2, &index), 0);
    EXPECT_STREQ(r.region, "US"); EXPECT_FLOAT_EQ(r.lon, -104.67f); EXPECT_FLOAT_EQ(r.temp, M);
    index = 2;
    EXPECT_EQ(SFC_read(0, &r, 0, &index), -1);
    EXPECT_EQ(SFC_rewind(0), 0);
    EXPECT_EQ(SFC_close(0), 0);
    // Cut short: whatever still opens reads without a crash or a flood of messages.
    const std::string whole = read_file(nc);
    for (size_t cut : {whole.size() / 2, whole.size() - 7, size_t{40}}) {
      const std::string part = file("cut.nc", whole.substr(0, cut));
      form = 0;
      if (SFC_open(part.c_str(), 0, &form) < 0) continue;
      SFC_getinfo(0, &in);
      testing::internal::CaptureStderr();
      for (index = 0; index < 5 && SFC_read(0, &r, 0, &index) == 0; ++index) {
      }
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
      SFC_close(0);
    }
  }
}

const char* const kStationCdl = R"(netcdf st {
dimensions:
  station = UNLIMITED ; idata = 13 ; fdata = 15 ; string_len = 11 ; cl = 3 ;
variables:
  char id(station, string_len) ; char region(station, string_len) ; char wx(station, string_len) ;
  char cld(station, cl) ; int intdata(station, idata) ; float fltdata(station, fdata) ;
  :datetime = "18Z  5 JUL 98" ; :missing_val_f = -99.f ; :missing_val_i = -99 ; :missing_val_c = "/" ; %VERSION%
data:
  id = "   KDEN", "" ; region = "US", "" ; wx = "R-", "" ; cld = "5/2", "" ;
  intdata = 1253, 1200, 1655, 72565, 3, 2500, 6000, -99, -99, 66, 79, 32, 32,
            -99, -99, -99, -99, -99, -99, -99, -99, -99, -99, -99, -99, -99 ;
  fltdata = 39.86, 104.67, 10, 1013.2, 45.5, 23, 270, 15, -99, 29.92, 0.25, 1.5, 88, 2, -1.5,
            -99, -99, -99, -99, -99, -99, -99, -99, -99, -99, -99, -99, -99, -99, -99 ;
})";

TEST_F(Sfc, NetcdfStationForm) {
  for (bool versioned : {false, true}) {
    std::string cdl = kStationCdl;
    cdl.replace(cdl.find("%VERSION%"), 9, versioned ? ":version = \"2\" ;" : "");
    const std::string nc = cdf(versioned ? "st2" : "st1", cdl);
    int form = 0;
    ASSERT_GE(SFC_open(nc.c_str(), 0, &form), 0);
    EXPECT_EQ(form, 11);
    sfc_info in;
    EXPECT_EQ(SFC_getinfo(0, &in), 0);
    EXPECT_EQ(in.count, 2); EXPECT_STREQ(in.label, "18Z  5 JUL 98");
    sfc_report r;
    int index = 0;
    ASSERT_EQ(SFC_read(0, &r, 0, &index), 0);
    EXPECT_STREQ(r.id, "KDEN"); EXPECT_STREQ(r.region, "US"); EXPECT_STREQ(r.wx, "R-");
    EXPECT_EQ(r.time, 1253); EXPECT_EQ(r.spare_time, 1200); EXPECT_FLOAT_EQ(r.elev, 1655);
    EXPECT_EQ(r.wmo, 72565); EXPECT_EQ(r.type, 3);
    EXPECT_EQ(r.ncld, 2); EXPECT_EQ(std::string(r.cld_cov, 2), "BO"); EXPECT_FLOAT_EQ(r.cld_hgt[1], 6000);
    EXPECT_FLOAT_EQ(r.lat, 39.86f); EXPECT_FLOAT_EQ(r.lon, versioned ? 104.67f : -104.67f);
    EXPECT_FLOAT_EQ(r.vis, 10); EXPECT_FLOAT_EQ(r.slpr, 1013.2f); EXPECT_FLOAT_EQ(r.temp, 45.5f);
    EXPECT_FLOAT_EQ(r.dewp, 23); EXPECT_FLOAT_EQ(r.wdir, 270); EXPECT_FLOAT_EQ(r.wspd, 15);
    EXPECT_FLOAT_EQ(r.wgust, M); EXPECT_FLOAT_EQ(r.alt, 29.92f); EXPECT_FLOAT_EQ(r.prec6, 0.25f);
    EXPECT_FLOAT_EQ(r.prec24, 1.5f); EXPECT_FLOAT_EQ(r.mint, 88); EXPECT_FLOAT_EQ(r.maxt, M);
    EXPECT_FLOAT_EQ(r.scover, 2); EXPECT_FLOAT_EQ(r.ptend, -1.5f);
    EXPECT_EQ(r.lcld, '5'); EXPECT_EQ(r.mcld, ' '); EXPECT_EQ(r.hcld, '2');
    index = 1;
    EXPECT_EQ(SFC_read(0, &r, 0, &index), -1);  // no identifier
    SFC_close(0);
  }
}

// Files that lack dimensions or hold variables of the wrong kind read what they can.
TEST_F(Sfc, NetcdfWrongShapes) {
  const std::string nc = cdf("bad", R"(netcdf bad {
dimensions: n = UNLIMITED ; id_len = 4 ; two = 2 ;
variables: char id(n, id_len) ; char T(n, id_len) ; float TD(n, two) ; int lat(n) ; char WX(n) ; float CC(n, two) ;
data: id = "ABCD", "WXYZ" ; T = "ab", "cd" ; TD = 1, 2, 3, 4 ; lat = 45, 46 ; WX = "ab" ; CC = 1, 2, 3, 4 ;
})");
  int form = 0;
  ASSERT_GE(SFC_open(nc.c_str(), 0, &form), 0);
  EXPECT_EQ(form, 12);
  sfc_info in;
  EXPECT_EQ(SFC_getinfo(0, &in), 0);
  EXPECT_EQ(in.count, 2); EXPECT_STREQ(in.label, "");
  sfc_report r;
  int index = 1;
  ASSERT_EQ(SFC_read(0, &r, 0, &index), 0);
  EXPECT_STREQ(r.id, "WXYZ"); EXPECT_FLOAT_EQ(r.temp, M); EXPECT_FLOAT_EQ(r.dewp, M);
  EXPECT_FLOAT_EQ(r.lat, 46); EXPECT_STREQ(r.wx, " "); EXPECT_EQ(r.ncld, 0);
  SFC_close(0);
  const std::string empty = cdf("empty", "netcdf e {\ndimensions: station = 3 ;\n}\n");
  form = 0;
  ASSERT_GE(SFC_open(empty.c_str(), 0, &form), 0);
  EXPECT_EQ(form, 11);
  EXPECT_EQ(SFC_getinfo(0, &in), 0);
  index = 0;
  EXPECT_EQ(SFC_read(0, &r, 0, &index), -1);
  SFC_close(0);
}

class SfcFile : public Sfc {
 protected:
  void SetUp() override {
    write_file(dir_ + "/mini.cty",
               "Denver               CO US KDEN      1  39.8617 -104.6730  1655 72565 0\n"
               "Boulder              CO US KBDU      6  40.0394 -105.2258  1612 99999 0\n");
    DomainRec d;
    DOM_init(&d);
    d.proj = 2, d.clat = 0, d.clon = 0, d.nx = 361, d.ny = 181, d.dx = d.dy = 1.0f;
    ASSERT_GE(CTY_store((dir_ + "/mini.cty").c_str(), CTY_MODE_COMPACT, &d, 10), 0);
    DOM_set_prior(5);
  }
  void TearDown() override {
    Sfc::TearDown();
    CTY_clear();
    MAP_domain(nullptr);
    DOM_set_prior(3);
  }
};

TEST_F(SfcFile, WrappersPlaceReports) {
  const std::string path = file("w", "ZAVSFC\n12Z  5 JAN 98\n"
                                      "KDEN 455 300 2715 992 132 10.0 25B -\n"
                                      "XXXX 455\n"
                                      "SHIP9 1 1 1 1 1 1 -99M - L100,-1500\n"
                                      "KBDU 1 1 1 1 1 1 -99M - L400,-1050\n");
  testing::internal::CaptureStdout();
  ASSERT_EQ(SFC_open_file(path.c_str()), 1);
  EXPECT_STREQ(PLT_get_label_up_right(), "12Z  5 JAN 98");
  EXPECT_EQ(SFC_get_file_info()->date.day, 5);
  std::vector<std::pair<int, StationRec>> got;
  sfc_report r;
  StationRec st;
  for (int k = 0, res; k < 10 && (res = SFC_read_report(&r, &st)) != -1; ++k) got.emplace_back(res, st);
  SFC_rewind_file();
  ASSERT_EQ(SFC_read_report(&r, &st), 1);
  EXPECT_STREQ(r.id, "KDEN");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Date: 12Z  5 JAN 98\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Not in database: XXXX\n"), std::string::npos) << out;
  ASSERT_EQ(got.size(), 4u);
  float x = 0, y = 0;
  MAP_tran(&x, &y, 39.8617f, -104.6730f);
  EXPECT_EQ(got[0].first, 1); EXPECT_STREQ(got[0].second.id, "KDEN"); EXPECT_FLOAT_EQ(got[0].second.x, x);
  EXPECT_EQ(got[1].first, 0);
  MAP_tran(&x, &y, 10.0f, -150.0f);
  EXPECT_EQ(got[2].first, 1); EXPECT_STREQ(got[2].second.id, "SHIP9");
  EXPECT_FLOAT_EQ(got[2].second.x, x); EXPECT_FLOAT_EQ(got[2].second.y, y);
  EXPECT_EQ(got[2].second.prior, DOM_get_loc_prior()); EXPECT_FLOAT_EQ(got[2].second.elev, 0);
  MAP_tran(&x, &y, 40.0f, -105.0f);
  EXPECT_EQ(got[3].first, 0);  // priority 6 is beyond the domain's 5
  EXPECT_FLOAT_EQ(got[3].second.x, x); EXPECT_FLOAT_EQ(got[3].second.y, y);
  SFC_close_file();
  EXPECT_EQ(SFC_read_report(&r, &st), -1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(SFC_open_file((dir_ + "/missing").c_str()), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("SFC_open_file: Unable to open file:" + dir_ + "/missing\n"),
            std::string::npos);
}

}  // namespace
