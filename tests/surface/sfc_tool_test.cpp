// Surface variable derivation: every variable on realistic reports, codes and texts,
// periods, unit conversion, map-relative winds and missing data.
#include "surface/sfc_tool.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "config/resrc.h"
#include "plot/maptran.h"
#include "surface/raw_tool.h"
#include "surface/sfc_read.h"
#include "surface/unittool.h"
#include "surface/var_tool.h"

namespace {

constexpr float M = -9999.0f;
constexpr int N = -9999;
using namespace std::string_literals;

void clouds(sfc_report& r, std::vector<std::pair<char, float>> layers) {
  r.ncld = static_cast<int>(layers.size());
  for (std::size_t i = 0; i < layers.size(); ++i) r.cld_cov[i] = layers[i].first, r.cld_hgt[i] = layers[i].second;
}

// A mild, a cold and a hot report, and variants of the mild one; expected values worked out from the published formulas
// with T, Td in K ((F - 32) * 5/9 + 273.15), wind in m/s (* 0.5144) and the station
// pressure from the altimeter (* 33.85399 mb) reduced to the elevation.
sfc_report report(int kind = 0) {
  sfc_report r;
  SFC_initialize(&r);
  std::strcpy(r.id, "KOKC");
  r.elev = 300, r.time = 1200, r.vis = 10, r.slpr = 1019.8f, r.temp = 68, r.dewp = 50, r.wdir = 200, r.wspd = 15;
  r.wgust = 25, r.alt = 30.12f, r.ptype = 3, r.ptend = 1.2f, r.prec3 = 0.05f, r.prec6 = 0.12f, r.prec12 = 0.3f;
  r.prec24 = 0.55f, r.cld_tot = '6', r.lcld = '5', r.mcld = '2', r.hcld = '1', r.maxt = 75, r.mint = 48;
  r.maxt6 = 72, r.mint6 = 55, r.scover = 2, r.solar = 240, r.sst = 18.5f, r.wave_per = 6, r.wave_hgt = 1.5f;
  std::strcpy(r.wx, "R-");
  clouds(r, {{'S', 2500}, {'B', 6000}});
  if (kind == 1) r.temp = 20, r.dewp = 5, r.wspd = 20, r.alt = 30.05f, r.elev = 1600;
  if (kind == 2) r.temp = 95, r.dewp = 75, r.wspd = 8, r.alt = 29.85f, r.elev = 10;
  if (kind == 3) r.slpr = M, r.alt = 29.92f, r.dewp = M, r.wspd = 30, r.prec24 = M;
  if (kind == 4) r.wspd = 25;
  if (kind == 5) r.alt = 31.0f;
  return r;
}

VarRec var(const char* name, const char* units = "", int ltype = N, int time = N) {
  VarRec v{};
  std::snprintf(v.name, sizeof v.name, "%s", name), std::snprintf(v.units, sizeof v.units, "%s", units);
  v.ltype = ltype, v.time = time;
  return v;
}

struct Got { int status; float v1, v2; std::string text, units; };

Got derive(const sfc_report& r, VarRec v) {
  RawDataRec d;
  RAW_data_init(&d);
  d.val1 = d.val2 = 12345, std::strcpy(d.text, "junk");  // must not survive
  return {SFC_get_data(&r, &v, &d), d.val1, d.val2, d.text, v.units};  // braced: evaluated in order
}

class SfcTool : public ::testing::Test {
 protected:
  void SetUp() override { RES_put("file_path", STACONT_DATA_DIR), UNIT_reset(), MAP_domain(nullptr); }
};

// Default units, value 1 (within tol), text and value 2 of every variable; kind selects the report.
struct Row {
  const char *name, *units;
  float v1, tol = 0;
  const char* text = "";
  int kind = 0;
  float v2 = M;
  int time = N, ltype = N;
};

const Row kRows[] = {
    {"city", "", M, 0, "KOKC"}, {"temp", "F", 68}, {"ttd", "F", 68, 0, "", 0, 50}, {"dewp", "F", 50},
    {"dewd", "dF", 18}, {"dewd", "dF", M, 0, "", 3}, {"wdir", "deg", 200}, {"wspd", "knt", 15}, {"wgst", "knt", 25},
    {"wind", "knt", 200, 0, "", 0, 15}, {"wbrb", "knt", 200, 0, "", 0, 15}, {"wbrbc", "knt", 200, 0, "", 0, 15},
    {"hwind", "knt", 200, 0, "", 0, 0}, {"hwind", "knt", 200, 0, "", 4, 25}, {"uwnd", "m/s", 2.63903f, 1e-4f},
    {"vwnd", "m/s", 7.25067f, 1e-4f}, {"uwndg", "m/s", 2.63903f, 1e-4f}, {"vwndg", "m/s", 7.25067f, 1e-4f},
    {"alt", "in_Hg", 30.12f, 0, "012"}, {"alt", "in_Hg", 31, 0, "100", 5}, {"pralt", "mb", 1019.8f, 0, "198"},
    {"pralt", "mb", 1012.9114f, 1e-3f, "129", 3}, {"pres", "mb", 1019.8f, 0, "198"}, {"pres", "mb", M, 0, "", 3},
    {"pres", "mb", 983.93295f, 0.01f, "", 0, M, N, 1}, {"pres", "mb", 848.093f, 0.05f, "", 0, 280.955f, N, 5},
    {"elev", "m", 300}, {"wx", "", 1, 0, "R-"}, {"vis", "mi", 10, 0, "10"}, {"cldcl", "100 ft", 60, 0, "60"},
    {"cldclc", "", 7}, {"cldcv", "%", 67, 0, "B"}, {"nlcld", "%", 0.75f, 0, "6"}, {"ptend", "mb", 1.2f, 0, "3"},
    {"prec3", "in", 0.05f}, {"prec6", "in", 0.12f}, {"prec12", "in", 0.3f}, {"prec24", "in", 0.55f},
    {"prec", "in", 0.55f}, {"prec", "in", 0.3f, 0, "", 3}, {"prec-3", "in", 0.05f, 0, "", 0, M, 3000},
    {"prec", "in", 0.12f, 0, "", 0, M, 6000}, {"prec", "in", 0.55f, 0, "", 0, M, 1024000}, {"extt", "F", 75},
    {"maxt6", "F", 72}, {"maxt24", "F", 75}, {"mint6", "F", 55}, {"mint24", "F", 48},
    {"maxt", "F", 72, 0, "", 0, M, 6000}, {"maxt", "F", 75, 0, "", 0, M, 24000}, {"maxt", "F", M, 0, "", 0, M, 12000},
    {"mint", "F", 55, 0, "", 0, M, 6000}, {"mint", "F", M}, {"snwdp", "in", 2}, {"lcld", "", M, 0, "5"},
    {"mcld", "", M, 0, "2"}, {"hcld", "", M, 0, "1"}, {"solar", "min", 240}, {"sst", "C", 18.5f}, {"wavper", "sec", 6},
    {"wavhgt", "m", 1.5f}, {"fr", "", 0, 0, "VFR"}, {"vpres", "mb", 12.26363f, 1e-3f},
    {"svpres", "mb", 23.35764f, 1e-3f}, {"mrat", "g/kg", 7.85038f, 1e-3f}, {"smrat", "g/kg", 15.12474f, 2e-3f},
    {"shum", "g/kg", 7.75254f, 1e-3f}, {"rhum", "%", 52.50371f, 1e-3f}, {"wetblb", "K", 287.17367f, 0.1f},
    {"thetaw", "K", 287.8182f, 0.1f}, {"thetae", "K", 317.16732f, 0.05f}, {"thetav", "K", 295.91919f, 0.01f},
    {"theta", "K", 294.51117f, 0.01f}, {"vtemp", "K", 294.55152f, 0.01f}, {"humit", "F", 68, 1e-3f},
    {"humit", "F", 103.61398f, 0.01f, "", 2}, {"heat", "K", 291.88019f, 0.01f}, {"heat", "K", 314.80211f, 0.01f, "", 2},
    {"wchilt", "K", 248.11569f, 0.01f, "", 1}, {"wchilt", "K", 308.15f, 0.01f, "", 2},
    {"wchill", "K", 248.11569f, 0.01f, "", 1}, {"wchill2", "K", 257.18309f, 0.01f, "", 1},
    {"wchilf", "W/m^2", 1486.78f, 0.1f, "", 1}, {"WCHILF", "W/m^2", 308.15f, 0.01f, "", 2},
};

TEST_F(SfcTool, EveryVariable) {
  for (const Row& e : kRows) {
    const Got g = derive(report(e.kind), var(e.name, "", e.ltype, e.time));
    EXPECT_TRUE(g.status == 1 && std::abs(g.v1 - e.v1) <= e.tol && std::abs(g.v2 - e.v2) <= e.tol &&
                g.text == e.text && g.units == e.units)
        << e.name << " kind " << e.kind << " time " << e.time << ": " << g.status << " " << g.v1 << " " << g.v2
        << " '" << g.text << "' " << g.units;
  }
}

// Visibility texts, weather classes and requested units on variants of the mild report.
TEST_F(SfcTool, TextsClassesAndUnits) {
  const struct { const char *name, *wx; float v1; const char *text, *units = ""; float vis = 10, v2 = M; } t[] = {
      {"vis", "", 0.5f, ".5", "", 0.5f}, {"vis", "", 2.5f, "2.5", "", 2.5f}, {"vis", "", 1, "1.0", "", 1},
      {"vis", "", 0.97f, "1.0", "", 0.97f}, {"vis", "", 0.125f, ".1", "", 0.125f}, {"vis", "", 0, ".0", "", 0},
      {"vis", "", M, "", "", M}, {"vis", "", 16.0934f, "16", "km"}, {"vis", "", 0.804672f, ".8", "km", 0.5f},
      {"wx", "95", 1, "TRW-"}, {"wx", "71", 3, "S-"}, {"wx", "!-SN", 3, "S-"}, {"wx", "!FZRA", 2, "ZR"},
      {"wx", "!BR", 0, "H"}, {"wx", "F", 0, "F"}, {"wx", " ", 0, " "}, {"wx", "", 0, ""}, {"wx", "ZL-", 2, "ZL-"},
      {"wx", "99999999999999999999999", 0, " "}, {"temp", "", 20, "", "C"}, {"ttd", "", 20, "", "c", 10, 10},
      {"dewd", "", 10, "", "dC"}, {"wind", "", 200, "", "m/s", 10, 7.716667f}, {"wspd", "", 17.26169f, "", "mph"},
      {"theta", "", 21.36117f, "", "C"}, {"alt", "", 1019.980f, "012", "mb"}, {"alt", "", 30.12f, "012", "in_HG"},
      {"cldcl", "", 6000, "60", "ft"}, {"pres", "", 30.114f, "198", "in_Hg"}};
  for (const auto& e : t) {
    sfc_report r = report();
    r.vis = e.vis, std::snprintf(r.wx, sizeof r.wx, "%s", e.wx);
    const Got g = derive(r, var(e.name, e.units));
    EXPECT_TRUE(std::abs(g.v1 - e.v1) < 2e-3 && std::abs(g.v2 - e.v2) < 2e-3 && g.text == e.text &&
                (!*e.units || g.units == e.units))
        << e.name << " " << e.units << " " << e.vis << " " << e.wx << ": " << g.v1 << " " << g.v2 << " " << g.text;
  }
}

TEST_F(SfcTool, CloudsAndFlightCategory) {
  const struct { std::vector<std::pair<char, float>> layers; float vis, cl, code, cv, fr; const char* text; } t[] = {
      {{{'B', 2500}, {'O', 6000}}, 10, 25, 5, 100, 1, "MVFR"}, {{{'B', 800}}, 10, 8, 3, 67, 2, "IFR"},
      {{}, 4, M, M, M, 1, "MVFR"},                  {{{'C', M}}, 10, 500, 9, 0, 0, "VFR"},
      {{{'S', 900}}, 10, 9, 3, 33, 0, "VFR"},       {{{'B', 1000}}, 10, 10, 4, 67, 1, "MVFR"},
      {{{'O', 3000}}, 6, 30, 5, 100, 1, "MVFR"},    {{{'O', 3100}}, 5.5f, 31, 5, 100, 0, "VFR"},
      {{{'O', 3100}}, 3, 31, 5, 100, 1, "MVFR"},    {{{'B', 6000}}, 2.5f, 60, 7, 67, 2, "IFR"},
      {{{'4', 700}}, 10, 7, 3, 0.5f, 2, "IFR"},     {{{'X', 100}}, 0.25f, 1, 0, 100, 2, "IFR"},
      {{{'F', 2000}}, 10, 20, 5, M, 0, "VFR"},      {{}, M, M, M, M, M, ""},
      {{}, 5, M, M, M, 1, "MVFR"} /* five miles is still marginal */, {{}, 5.01f, M, M, M, 0, "VFR"}};
  for (const auto& e : t) {
    sfc_report r = report();
    clouds(r, e.layers);
    r.vis = e.vis;
    const Got fr = derive(r, var("fr"));
    EXPECT_EQ(std::tuple(derive(r, var("cldcl")).v1, derive(r, var("cldclc")).v1, derive(r, var("cldcv")).v1, fr.v1,
                         fr.text),
              std::tuple(e.cl, e.code, e.cv, e.fr, std::string(e.text)))
        << e.layers.size() << " layers, vis " << e.vis;
  }
}

TEST_F(SfcTool, GridRelativeWind) {
  DomainRec d;
  DOM_init(&d);
  d.proj = 1, d.plat = 60, d.plon = -100, d.clat = 40, d.clon = -100, d.nx = 25, d.ny = 17, d.dx = d.dy = 1.2f;
  ASSERT_EQ(MAP_domain(&d), 1);
  RawDataRec data;
  RAW_data_init(&data);
  ASSERT_EQ(MAP_tran(&data.x, &data.y, 50, -40), 1);
  sfc_report r = report();
  r.wdir = 180;  // a south wind here points 120 degrees on the map
  for (float speed : {15.0f, M})
    for (auto [name, want] : {std::pair{"uwndg", -6.682249f}, {"vwndg", 3.858f}, {"uwnd", 0.0f}, {"vwnd", 7.716f}}) {
      VarRec v = var(name);
      r.wspd = speed;
      ASSERT_EQ(SFC_get_data(&r, &v, &data), 1);
      EXPECT_NEAR(data.val1, speed == M ? M : want, 1e-3) << name;
    }
}

TEST_F(SfcTool, MissingReportGivesMissingSilently) {
  sfc_report r;
  SFC_initialize(&r);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  for (const Row& e : kRows)
    for (int ltype : {e.ltype, 5}) {
      const Got g = derive(r, var(e.name, "C", ltype, e.time));
      const bool wx = std::strcmp(e.name, "wx") == 0;  // no weather is a blank weather text
      EXPECT_EQ(std::tuple(g.status, g.v1, g.v2, g.text), std::tuple(1, wx ? 0 : M, M, wx ? " "s : ""s)) << e.name;
    }
  EXPECT_EQ(::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr(), "");
}

TEST_F(SfcTool, AnnouncedNames) {
  const std::string hidden = " hwind cldclc nlcld svpres wchill wchill2 smrat ";
  std::set<std::string> all, announced;
  for (const Row& e : kRows) {
    VarRec v = var(e.name);
    std::string key = e.name;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    key = key.substr(0, key.find('-'));
    const bool is_hidden = hidden.find(" " + key + " ") != std::string::npos;
    const std::string got = std::to_string(SFC_get_var(&v)) + v.units;
    EXPECT_EQ(got, is_hidden ? "0" : "1"s + (key == "alt" ? "in_HG" : e.units)) << e.name;
    all.insert(key);
    if (!is_hidden) announced.insert(key);
  }
  EXPECT_EQ(all.size() * 1000 + announced.size(), 66059u);
  VarRec v = var("Temp-sfc", "C");
  EXPECT_EQ(std::to_string(SFC_get_var(&v)) + v.units, "1C");
  for (const char* name : {"foo", "", "-temp", "temperature", "te"}) {
    v = var(name);
    const Got g = derive(report(), v);
    const int known = SFC_get_var(&v);
    EXPECT_EQ(std::tuple(known, g.status, g.v1, g.v2, g.text + v.units), std::tuple(0, 0, M, M, ""s)) << name;
  }
  EXPECT_EQ(SFC_get_var(nullptr), 0);
}

}  // namespace
