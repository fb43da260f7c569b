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
#include "tests/support/surface_cases.h"

namespace {

constexpr float M = -9999.0f;
constexpr int N = -9999;
using namespace std::string_literals;
using surface_cases::num;
const std::vector<surface_cases::Row>& cases(const char* block) { return surface_cases::rows("sfc_tool_cases.txt", block); }

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

// Name, default units, value 1, tolerance, text, report kind, value 2, time and level type of
// every variable.
const std::vector<surface_cases::Row>& variables() { return cases("variables"); }

TEST_F(SfcTool, EveryVariable) {
  for (const surface_cases::Row& e : variables()) {
    const Got g = derive(report(num(e[5])), var(e[0].c_str(), "", num(e[8]), num(e[7])));
    const float tol = std::stof(e[3]);
    EXPECT_TRUE(g.status == 1 && std::abs(g.v1 - std::stof(e[2])) <= tol && std::abs(g.v2 - std::stof(e[6])) <= tol &&
                g.text == e[4] && g.units == e[1])
        << e[0] << " kind " << e[5] << " time " << e[7] << ": " << g.status << " " << g.v1 << " " << g.v2 << " '"
        << g.text << "' " << g.units;
  }
}

// Visibility texts, weather classes and requested units on variants of the mild report.
TEST_F(SfcTool, TextsClassesAndUnits) {
  for (const surface_cases::Row& e : cases("texts")) {
    sfc_report r = report();
    r.vis = std::stof(e[5]), std::snprintf(r.wx, sizeof r.wx, "%s", e[1].c_str());
    const Got g = derive(r, var(e[0].c_str(), e[4].c_str()));
    EXPECT_TRUE(std::abs(g.v1 - std::stof(e[2])) < 2e-3 && std::abs(g.v2 - std::stof(e[6])) < 2e-3 && g.text == e[3] &&
                (e[4].empty() || g.units == e[4]))
        << e[0] << " " << e[4] << " " << e[5] << " " << e[1] << ": " << g.v1 << " " << g.v2 << " " << g.text;
  }
}

TEST_F(SfcTool, CloudsAndFlightCategory) {
  for (const surface_cases::Row& e : cases("clouds")) {
    sfc_report r = report();
    std::vector<std::pair<char, float>> layers;
    for (std::size_t i = 0; i < e[0].size(); i = e[0].find(' ', i) == std::string::npos ? e[0].size() : e[0].find(' ', i) + 1)
      layers.emplace_back(e[0][i], std::stof(e[0].substr(i + 1)));
    clouds(r, layers);
    r.vis = std::stof(e[1]);
    const Got fr = derive(r, var("fr"));
    EXPECT_EQ(std::tuple(derive(r, var("cldcl")).v1, derive(r, var("cldclc")).v1, derive(r, var("cldcv")).v1, fr.v1,
                         fr.text),
              std::tuple(std::stof(e[2]), std::stof(e[3]), std::stof(e[4]), std::stof(e[5]), e[6]))
        << e[0] << ", vis " << e[1];
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
  for (const surface_cases::Row& e : variables())
    for (int ltype : {num(e[8]), 5}) {
      const Got g = derive(r, var(e[0].c_str(), "C", ltype, num(e[7])));
      const bool wx = e[0] == "wx";  // no weather is a blank weather text
      EXPECT_EQ(std::tuple(g.status, g.v1, g.v2, g.text), std::tuple(1, wx ? 0 : M, M, wx ? " "s : ""s)) << e[0];
    }
  EXPECT_EQ(::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr(), "");
}

TEST_F(SfcTool, AnnouncedNames) {
  const std::string hidden = " hwind cldclc nlcld svpres wchill wchill2 smrat ";
  std::set<std::string> all, announced;
  for (const surface_cases::Row& e : variables()) {
    VarRec v = var(e[0].c_str());
    std::string key = e[0];
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    key = key.substr(0, key.find('-'));
    const bool is_hidden = hidden.find(" " + key + " ") != std::string::npos;
    const std::string got = std::to_string(SFC_get_var(&v)) + v.units;
    EXPECT_EQ(got, is_hidden ? "0" : "1"s + (key == "alt" ? "in_HG" : e[1])) << e[0];
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
