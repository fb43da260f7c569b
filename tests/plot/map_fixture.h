// Shared set-up of the map background tests: a PostScript workstation on the recording
// device with the map panel laid out, domains, map files written by the tests, and the
// lines and labels the map drew, in the map's own plane coordinates.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "config/missing.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/support/run.h"

// One drawn polyline or filled area, as plane points, with the line or fill colour set
// for it.
struct Drawn {
  std::vector<std::pair<double, double>> pts;
  int colour = -1;
  double length(std::size_t i) const {
    return std::hypot(pts[i + 1].first - pts[i].first, pts[i + 1].second - pts[i].second);
  }
};

// A map file's lines: points as latitude-longitude pairs; a latitude of -9999 is a pen-up.
using MapPoints = std::vector<std::pair<float, float>>;

class MapTest : public GksTest {
 protected:
  void SetUp() override {
    GksTest::SetUp();
    open(WS_PS);
    const float vp[4] = {0.02f, 0.98f, 0.02f, 0.74f};
    GPH_view(2, vp);
    MAP_reset_state();
    MAP_latlon(0, 0, 0.0f, 0.0f);
    dir_ = make_temp_dir("map");
    RES_put("file_path", dir_.c_str());
  }
  void TearDown() override {
    MAP_domain(nullptr);
    MAP_latlon(0, 0, 0.0f, 0.0f);
    GksTest::TearDown();
  }

 public:
  static DomainRec domain(int proj, float clat, float clon, int nx, int ny, float dx, float plat = MISSING,
                          float plon = MISSING) {
    DomainRec d;
    DOM_init(&d);
    d.proj = proj, d.clat = clat, d.clon = clon, d.nx = nx, d.ny = ny, d.dx = d.dy = dx;
    d.plat = plat, d.plon = plon;
    return d;
  }
  // The "us" region: polar stereographic true at 60N, centred at 39N 97W.
  static DomainRec us() { return domain(PROJ_PS, 39.0f, -97.0f, 25, 17, 2.3f, MISSING, -97.0f); }
  // A domain whose map is h plane units high.
  static DomainRec of_height(float h) { return domain(PROJ_PS, 40.0f, -100.0f, 25, 17, h / 16.0f); }

  // Sets up a domain and forgets the calls so far.
  static void setup(const DomainRec& d) {
    MAP_setup(&d);
    gdev_clear_calls();
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const { write_file(path(name), bytes); }
  // Writes a map file and makes it the whole map list over the domain d.
  void map_only(const std::string& name, const std::string& bytes, const DomainRec& d) const {
    write(name, bytes);
    setup(d);
    MAP_file(name.c_str());
  }

  // The binary form: records of points (pen-ups included) and a closing record.
  static std::string binary(const std::vector<MapPoints>& records, bool end_record = true) {
    std::string s;
    auto u16 = [&](int v) { s += static_cast<char>((v >> 8) & 0xFF), s += static_cast<char>(v & 0xFF); };
    auto u32 = [&](std::uint32_t v) {
      for (int k = 24; k >= 0; k -= 8) s += static_cast<char>((v >> k) & 0xFF);
    };
    auto f32 = [&](float f) {
      std::uint32_t u;
      std::memcpy(&u, &f, 4);
      u32(u);
    };
    for (const MapPoints& r : records) {
      u16(static_cast<int>(r.size()));
      for (int k = 0; k < 4; ++k) f32(0.0f);
      u32(7);
      for (const auto& [lat, lon] : r) f32(lat), f32(lon);
    }
    if (end_record) {
      u16(0);
      for (int k = 0; k < 5; ++k) u32(0);
    }
    return s;
  }
  static std::string text(const std::vector<MapPoints>& records) {
    std::string s;
    char buf[96];
    for (const MapPoints& r : records) {
      std::snprintf(buf, sizeof buf, "%zu 0 0 0 0 1\n", r.size());
      s += buf;
      for (const auto& [lat, lon] : r) {
        std::snprintf(buf, sizeof buf, "%g %g\n", lat, lon);
        s += buf;
      }
    }
    return s + "0 0 0 0 0 0\n";
  }
  // The drawn polylines (code GOBJ_LINE) or filled areas (GOBJ_FILL) in plane units.
  static std::vector<Drawn> drawn(int code = GOBJ_LINE) {
    std::vector<Drawn> out;
    GPH_trans(2);
    int colour = -1;
    for (const GksCall& c : gdev_calls()) {
      if (c.code == (code == GOBJ_LINE ? GOBJ_LCOLR : GOBJ_FCOLR)) colour = c.arg;
      if (c.code != code) continue;
      Drawn d;
      d.colour = colour;
      for (std::size_t i = 0; i + 1 < c.values.size(); i += 2) d.pts.emplace_back(xdev_W(c.values[i]), ydev_W(c.values[i + 1]));
      out.push_back(std::move(d));
    }
    return out;
  }
  // A label drawn over its rim is the same text twice at one place, the stroke width
  // narrowed between the two: counted once.
  static bool rim_of_next(const std::vector<GksCall>& calls, std::size_t i) {
    bool narrowed = false;
    for (std::size_t j = i + 1; j < calls.size(); ++j) {
      if (calls[j].code == GOBJ_TWIDTH) narrowed = true;
      if (calls[j].code == GOBJ_TEXT)
        return narrowed && calls[j].text == calls[i].text && calls[j].values.size() >= 2 &&
               calls[i].values.size() >= 2 && calls[j].values[0] == calls[i].values[0] &&
               calls[j].values[1] == calls[i].values[1];
    }
    return false;
  }
  static std::vector<std::string> labels() {
    std::vector<std::string> out;
    const std::vector<GksCall> calls = gdev_calls();
    for (std::size_t i = 0; i < calls.size(); ++i)
      if (calls[i].code == GOBJ_TEXT && !rim_of_next(calls, i)) out.push_back(calls[i].text);
    return out;
  }
  // Texts with their plane positions.
  static std::vector<std::pair<std::string, std::pair<double, double>>> placed_labels() {
    std::vector<std::pair<std::string, std::pair<double, double>>> out;
    GPH_trans(2);
    const std::vector<GksCall> calls = gdev_calls();
    for (std::size_t i = 0; i < calls.size(); ++i)
      if (calls[i].code == GOBJ_TEXT && !rim_of_next(calls, i))
        out.push_back({calls[i].text, {calls[i].values[0], calls[i].values[1]}});
    return out;
  }

 protected:
  std::string dir_;
};

// The sphere of the projections (plane units) and degrees to radians.
constexpr double kR = 63.7122;
constexpr double kD = 3.14159265358979323846 / 180.0;
