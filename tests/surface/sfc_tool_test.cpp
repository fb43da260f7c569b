// Surface variable derivation: every variable on realistic reports, codes and texts,
// periods, unit conversion, map-relative winds and missing data.
#include "surface/sfc_tool.h"

#include <gtest/gtest.h>

#include <cctype>
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
  r.elev = 300, r.time = 1200, r.vis = 10, r.slpr = 1019.8f, r.temp = 68, r.dewp = 50, r.wdir = 200;
  r.wspd = 15, r.wgust = 25, r.alt = 30.12f, r.ptype = 3, r.ptend = 1.2f, r.prec3 = 0.05f, r.prec6 = 0.12f;
  r.prec12 = 0.3f, r.prec24 = 0.55f, r.cld_tot = '6', r.lcld = '5', r.mcld = '2', r.hcld = '1', r.maxt = 75;
  r.mint = 48, r.maxt6 = 72, r.mint6 = 55, r.scover = 2, r.solar = 240, r.sst = 18.5f, r.wave_per = 6;
  r.wave_hgt = 1.5f;
  std::strcpy(r.wx, "R-");
  clouds(r, {{'S', 2500}, {'B', 6000}});
  if (kind == 1) r.temp = 20, r.dewp = 5, r.wspd = 20, r.alt = 30.05f, r.elev = 1600;
  if (kind == 2) r.temp = 95, r.dewp = 75, r.wspd = 8, r.alt = 29.85f, r.elev = 10;
  if (kind == 3) r.slpr = M, r.alt = 29.92f, r.dewp = M, r.wspd = 30, r.prec24 = M;
  if (kind == 4) r.alt = 29.97f, r.wspd = 25;
  if (kind == 5) r.alt = 31.0f;
  return r;
}

VarRec var(const char* name, const char* units = "", int ltype = N, int time = N) {
  VarRec v{};
  std::snprintf(v.name, sizeof v.name, "%s", name);
  std::snprintf(v.units, sizeof v.units, "%s", units);
  v.ltype = ltype, v.time = time;
  return v;
}

struct Got { int status; float v1, v2; std::string text, units; };

Got derive(const sfc_report& r, VarRec v) {
  RawDataRec d;
  RAW_data_init(&d);
  d.val1 = d.val2 = 12345, std::strcpy(d.text, "junk");  // must not survive
  const int status = SFC_get_data(&r, &v, &d);
  return {status, d.val1, d.val2, d.text, v.units};
}

class SfcTool : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_put("file_path", STACONT_DATA_DIR);
    UNIT_reset();
    MAP_domain(nullptr);
  }
};

// Value 1, value 2, text and default units of every variable; kind selects the report.
struct Row {
  const char* name;
  float v1, v2;
  const char* text;
  const char* units;
  float tol = 0;
  int kind = 0, ltype = N, time = N;
};

const Row kRows[] = {
    {"city", M, M, "KOKC", ""}, {"temp", 68, M, "", "F"}, {"ttd", 68, 50, "", "F"}, {"dewp", 50, M, "", "F"},
    {"dewd", 18, M, "", "dF"}, {"wdir", 200, M, "", "deg"}, {"wspd", 15, M, "", "knt"}, {"wgst", 25, M, "", "knt"},
    {"wind", 200, 15, "", "knt"}, {"wbrb", 200, 15, "", "knt"}, {"wbrbc", 200, 15, "", "knt"},
    {"hwind", 200, 0, "", "knt"}, {"uwnd", 2.63903f, M, "", "m/s", 1e-4f}, {"vwnd", 7.25067f, M, "", "m/s", 1e-4f},
    {"uwndg", 2.63903f, M, "", "m/s", 1e-4f}, {"vwndg", 7.25067f, M, "", "m/s", 1e-4f},
    {"alt", 30.12f, M, "012", "in_Hg"}, {"pralt", 1019.8f, M, "198", "mb"}, {"pres", 1019.8f, M, "198", "mb"},
    {"pres", 983.93295f, M, "", "mb", 0.01f, 0, 1}, {"pres", 848.093f, 280.955f, "", "mb", 0.05f, 0, 5},
    {"elev", 300, M, "", "m"}, {"wx", 1, M, "R-", ""}, {"vis", 10, M, "10", "mi"}, {"cldcl", 60, M, "60", "100 ft"},
    {"cldclc", 7, M, "", ""}, {"cldcv", 67, M, "B", "%"}, {"nlcld", 0.75f, M, "6", "%"},
    {"ptend", 1.2f, M, "3", "mb"}, {"prec3", 0.05f, M, "", "in"}, {"prec6", 0.12f, M, "", "in"},
    {"prec12", 0.3f, M, "", "in"}, {"prec24", 0.55f, M, "", "in"}, {"prec", 0.55f, M, "", "in"},
    {"prec-3", 0.05f, M, "", "in", 0, 0, N, 3000}, {"prec", 0.12f, M, "", "in", 0, 0, N, 6000},
    {"prec", 0.3f, M, "", "in", 0, 0, N, 12000}, {"prec", 0.55f, M, "", "in", 0, 0, N, 1024000},
    {"extt", 75, M, "", "F"}, {"maxt6", 72, M, "", "F"}, {"maxt24", 75, M, "", "F"}, {"mint6", 55, M, "", "F"},
    {"mint24", 48, M, "", "F"}, {"maxt", 72, M, "", "F", 0, 0, N, 6000}, {"maxt", 75, M, "", "F", 0, 0, N, 24000},
    {"maxt", M, M, "", "F", 0, 0, N, 12000}, {"mint", 55, M, "", "F", 0, 0, N, 6000},
    {"mint", 48, M, "", "F", 0, 0, N, 24000}, {"mint", M, M, "", "F"}, {"snwdp", 2, M, "", "in"},
    {"lcld", M, M, "5", ""}, {"mcld", M, M, "2", ""}, {"hcld", M, M, "1", ""}, {"solar", 240, M, "", "min"},
    {"sst", 18.5f, M, "", "C"}, {"wavper", 6, M, "", "sec"}, {"wavhgt", 1.5f, M, "", "m"}, {"fr", 0, M, "VFR", ""},
    {"vpres", 12.26363f, M, "", "mb", 1e-3f}, {"svpres", 23.35764f, M, "", "mb", 1e-3f},
    {"mrat", 7.85038f, M, "", "g/kg", 1e-3f}, {"smrat", 15.12474f, M, "", "g/kg", 2e-3f},
    {"shum", 7.75254f, M, "", "g/kg", 1e-3f}, {"rhum", 52.50371f, M, "", "%", 1e-3f},
    {"wetblb", 287.17367f, M, "", "K", 0.1f}, {"thetaw", 287.8182f, M, "", "K", 0.1f},
    {"thetae", 317.16732f, M, "", "K", 0.05f}, {"thetav", 295.91919f, M, "", "K", 0.01f},
    {"theta", 294.51117f, M, "", "K", 0.01f}, {"vtemp", 294.55152f, M, "", "K", 0.01f},
    {"humit", 68, M, "", "F", 1e-3f}, {"heat", 291.88019f, M, "", "K", 0.01f},
    {"wchilt", 248.11569f, M, "", "K", 0.01f, 1}, {"wchill", 248.11569f, M, "", "K", 0.01f, 1},
    {"wchill2", 257.18309f, M, "", "K", 0.01f, 1}, {"wchilf", 1486.78f, M, "", "W/m^2", 0.1f, 1},
    {"heat", 314.80211f, M, "", "K", 0.01f, 2}, {"humit", 103.61398f, M, "", "F", 0.01f, 2},
    {"wchilt", 308.15f, M, "", "K", 0.01f, 2}, {"WCHILF", 308.15f, M, "", "W/m^2", 0.01f, 2},
    {"thetae", 364.14432f, M, "", "K", 0.05f, 2}, {"wetblb", 299.82992f, M, "", "K", 0.1f, 2},
    {"pralt", 1012.9114f, M, "129", "mb", 1e-3f, 3}, {"dewd", M, M, "", "dF", 0, 3}, {"pres", M, M, "", "mb", 0, 3},
    {"alt", 29.97f, M, "997", "in_Hg", 0, 4}, {"alt", 31, M, "100", "in_Hg", 0, 5}, {"hwind", 200, 30, "", "knt", 0, 3},
    {"hwind", 200, 25, "", "knt", 0, 4}, {"prec", 0.3f, M, "", "in", 0, 3},
};

TEST_F(SfcTool, EveryVariable) {
  for (const Row& e : kRows) {
    SCOPED_TRACE(::testing::Message() << e.name << " kind " << e.kind << " ltype " << e.ltype << " time " << e.time);
    const Got g = derive(report(e.kind), var(e.name, "", e.ltype, e.time));
    EXPECT_EQ(g.status, 1);
    EXPECT_NEAR(g.v1, e.v1, e.tol);
    EXPECT_NEAR(g.v2, e.v2, e.tol);
    EXPECT_EQ(g.text, e.text);
    EXPECT_EQ(g.units, e.units);
  }
}

TEST_F(SfcTool, VisibilityTexts) {
  sfc_report r = report();
  const struct { float vis; const char* units; float v1; const char* text; } vis[] = {
      {0.5f, "", 0.5f, ".5"}, {2.5f, "", 2.5f, "2.5"}, {10, "", 10, "10"}, {1, "", 1, "1.0"},
      {0.97f, "", 0.97f, "1.0"}, {0.125f, "", 0.125f, ".1"}, {0, "", 0, ".0"}, {10, "km", 16.0934f, "16"},
      {2.5f, "km", 4.02336f, "4.0"}, {0.5f, "km", 0.804672f, ".8"}, {M, "", M, ""}};
  for (const auto& e : vis) {
    r.vis = e.vis;
    const Got g = derive(r, var("vis", e.units));
    EXPECT_NEAR(g.v1, e.v1, 1e-4) << e.vis << e.units;
    EXPECT_EQ(g.text, e.text) << e.vis << e.units;
  }
}

TEST_F(SfcTool, CloudsAndFlightCategory) {
  const struct { std::vector<std::pair<char, float>> layers; float vis, cl, code, cv, fr; const char* text; } t[] = {
      {{{'S', 2500}, {'B', 6000}}, 10, 60, 7, 67, 0, "VFR"}, {{{'B', 2500}, {'O', 6000}}, 10, 25, 5, 100, 1, "MVFR"},
      {{{'B', 800}}, 10, 8, 3, 67, 2, "IFR"},                {{}, 4, M, M, M, 1, "MVFR"},
      {{{'C', M}}, 10, 500, 9, 0, 0, "VFR"},                 {{{'S', 900}}, 10, 9, 3, 33, 0, "VFR"},
      {{{'B', 1000}}, 10, 10, 4, 67, 1, "MVFR"},             {{{'O', 3000}}, 6, 30, 5, 100, 1, "MVFR"},
      {{{'O', 3100}}, 5.5f, 31, 5, 100, 0, "VFR"},           {{{'O', 3100}}, 3, 31, 5, 100, 1, "MVFR"},
      {{{'B', 6000}}, 2.5f, 60, 7, 67, 2, "IFR"},            {{{'4', 700}}, 10, 7, 3, 0.5f, 2, "IFR"},
      {{{'X', 100}}, 0.25f, 1, 0, 100, 2, "IFR"},            {{{'F', 2000}}, 10, 20, 5, M, 0, "VFR"},
      {{}, M, M, M, M, M, ""},
  };
  for (const auto& e : t) {
    sfc_report r = report();
    clouds(r, e.layers);
    r.vis = e.vis;
    SCOPED_TRACE(::testing::Message() << e.layers.size() << " layers, vis " << e.vis);
    EXPECT_EQ(derive(r, var("cldcl")).v1, e.cl);
    EXPECT_EQ(derive(r, var("cldclc")).v1, e.code);
    EXPECT_EQ(derive(r, var("cldcv")).v1, e.cv);
    const Got fr = derive(r, var("fr"));
    EXPECT_EQ(fr.text, e.text);
    EXPECT_EQ(fr.v1, e.fr);
  }
}

TEST_F(SfcTool, WeatherClasses) {
  const struct { const char* wx; const char* text; float cls; } t[] = {
      {"95", "TRW-", 1}, {"71", "S-", 3}, {"!-SN", "S-", 3}, {"!FZRA", "ZR", 2}, {"!BR", "H", 0},
      {"F", "F", 0}, {" ", " ", 0}, {"", "", 0}, {"ZL-", "ZL-", 2}, {"99999999999999999999999", " ", 0}};
  sfc_report r = report();
  for (const auto& e : t) {
    std::strcpy(r.wx, e.wx);
    const Got g = derive(r, var("wx"));
    EXPECT_EQ(g.text, e.text) << e.wx;
    EXPECT_EQ(g.v1, e.cls) << e.wx;
  }
}

TEST_F(SfcTool, RequestedUnits) {
  const sfc_report r = report();
  const struct { const char* name; const char* units; float v1, v2; } t[] = {
      {"temp", "C", 20, M}, {"ttd", "c", 20, 10}, {"dewd", "dC", 10, M}, {"wind", "m/s", 200, 7.716667f},
      {"wspd", "mph", 17.26169f, M}, {"theta", "C", 21.36117f, M}, {"alt", "mb", 1019.980f, M},
      {"alt", "in_HG", 30.12f, M}, {"cldcl", "ft", 6000, M}, {"pres", "in_Hg", 30.114f, M}};
  for (const auto& e : t) {
    const Got g = derive(r, var(e.name, e.units));
    EXPECT_NEAR(g.v1, e.v1, 2e-3) << e.name << " " << e.units;
    EXPECT_NEAR(g.v2, e.v2, 2e-3) << e.name << " " << e.units;
    EXPECT_EQ(g.units, e.units);
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
  for (float speed : {15.0f, M}) {
    r.wspd = speed;
    for (auto [name, want] : {std::pair{"uwndg", -6.682249f}, {"vwndg", 3.858f}, {"uwnd", 0.0f}, {"vwnd", 7.716f}}) {
      VarRec v = var(name);
      ASSERT_EQ(SFC_get_data(&r, &v, &data), 1);
      EXPECT_NEAR(data.val1, speed == M ? M : want, 1e-3) << name;
    }
  }
}

TEST_F(SfcTool, MissingReportGivesMissingSilently) {
  sfc_report r;
  SFC_initialize(&r);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  for (const Row& e : kRows) {
    for (int ltype : {e.ltype, 5}) {
      const Got g = derive(r, var(e.name, "C", ltype, e.time));
      const bool wx = std::strcmp(e.name, "wx") == 0;  // no weather is a blank weather text
      EXPECT_EQ(std::tuple(g.status, g.v1, g.v2, g.text), std::tuple(1, wx ? 0 : M, M, wx ? " "s : ""s)) << e.name;
    }
  }
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
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
    EXPECT_EQ(SFC_get_var(&v), is_hidden ? 0 : 1) << e.name;
    EXPECT_EQ(std::string(v.units), is_hidden ? "" : key == "alt" ? "in_HG" : e.units) << e.name;
    all.insert(key);
    if (!is_hidden) announced.insert(key);
  }
  EXPECT_EQ(all.size(), 66u);
  EXPECT_EQ(announced.size(), 59u);
  VarRec v = var("Temp-sfc", "C");
  EXPECT_EQ(SFC_get_var(&v), 1);
  EXPECT_STREQ(v.units, "C");
  for (const char* name : {"foo", "", "-temp", "temperature", "te"}) {
    v = var(name);
    EXPECT_EQ(SFC_get_var(&v), 0) << name;
    EXPECT_STREQ(v.units, "");
    const Got g = derive(report(), v);
    EXPECT_EQ(std::tuple(g.status, g.v1, g.v2, g.text), std::tuple(0, M, M, ""s)) << name;
  }
  EXPECT_EQ(SFC_get_var(nullptr), 0);
}

}  // namespace
