// Map background: the map lists of tests/data/plot/map_lists.txt (map files in both forms
// and damaged ones, prefixes and masks, regions, size conditions, list files, overlays,
// attributes, seams, latitude-longitude lines and their labels, the Lambert apex, diagrams,
// circles).
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/resrc.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "tests/plot/map_fixture.h"
#include "tests/support/table.h"

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

// Lines made of short steps (under the one-degree division of long segments), so that
// drawn points are exactly the file's points.
MapPoints steps(float lat, float lon0, float lon1, float step = 0.5f) {
  MapPoints p;
  const int n = static_cast<int>(std::lround(std::fabs(lon1 - lon0) / step));
  for (int i = 0; i <= n; ++i) p.push_back({lat, lon0 + (lon1 > lon0 ? 1.0f : -1.0f) * step * static_cast<float>(i)});
  return p;
}

// The records of a map file as tests/data/plot/map_lists.txt writes them.
std::vector<MapPoints> records(const std::string& text) {
  std::vector<MapPoints> out(1);
  std::istringstream in(text);
  for (std::string w; in >> w;) {
    float lat = 0, lon0 = 0, lon1 = 0;
    int n = 0;
    if (w == "/") {
      out.emplace_back();
    } else if (w == "pen") {
      out.back().push_back({PEN, PEN});
    } else if (std::sscanf(w.c_str(), "steps:%f:%f:%f", &lat, &lon0, &lon1) == 3) {
      const MapPoints s = steps(lat, lon0, lon1);
      out.back().insert(out.back().end(), s.begin(), s.end());
    } else if (std::sscanf(w.c_str(), "zigzag:%d:%f:%f", &n, &lat, &lon0) == 3) {  // N points, LAT and 0 by turns
      for (int i = 0; i < n; ++i) out.back().push_back({i % 2 == 0 ? 0.0f : lat, lon0});
    } else {
      EXPECT_EQ(std::sscanf(w.c_str(), "%f,%f", &lat, &lon0), 2) << w;
      out.back().push_back({lat, lon0});
    }
  }
  return out.size() == 1 && out[0].empty() ? std::vector<MapPoints>{} : out;
}

DomainRec domain_of(const std::string& s) {
  if (s == "us") return MapTest::us();
  if (s.rfind("globe", 0) == 0) return globe(s.size() > 6 ? std::stof(s.substr(6)) : 0.0f);
  if (s.rfind("height:", 0) == 0) return MapTest::of_height(std::stof(s.substr(7)));
  int proj = 0, nx = 0, ny = 0;
  float clat = 0, clon = 0, dx = 0, plat = MISSING, plon = MISSING;
  EXPECT_GE(std::sscanf(s.c_str(), "%d:%f:%f:%d:%d:%f:%f:%f", &proj, &clat, &clon, &nx, &ny, &dx, &plat, &plon), 6) << s;
  return MapTest::domain(proj, clat, clon, nx, ny, dx, plat, plon);
}

// Each first latitude, a line colour and a text drawn.
std::string drawn_latitudes() {
  std::string out;
  for (const Drawn& d : MapTest::drawn()) out += (out.empty() ? "" : " ") + std::to_string(std::lround(d.pts[0].second));
  return out;
}
bool was_set(int code, int arg) {
  for (const GksCall& c : gdev_calls())
    if (c.code == code && c.arg == arg) return true;
  return false;
}
bool has_label(const std::string& t) {
  const std::vector<std::string> l = MapTest::labels();
  return std::find(l.begin(), l.end(), t) != l.end();
}

// The overlay handler of the "overlay" command: what it was given, one line a call.
std::string seen;
int fake_overlay(const char* file, const char* colour, int x, int y) {
  seen += std::string(file) + "|" + colour + "|" + std::to_string(x) + "|" + std::to_string(y) + "\n";
  return 0;
}

// The cases of tests/data/plot/map_lists.txt, each command checked where it stands.
TEST_F(MapTest, MapListTable) {
  const std::string name = STACONT_SOURCE_DIR "/tests/data/plot/map_lists.txt";
  std::ifstream in(name);
  ASSERT_TRUE(in.good()) << name;
  std::string title, line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> f = table_fields(line);
    const std::string& c = f[0];
    const std::string a = f.size() > 1 ? f[1] : "", b = f.size() > 2 ? table_unescape(f[2]) : "";
    SCOPED_TRACE(title + " (line " + std::to_string(n) + ": " + line + ")");
    std::istringstream words(a);
    std::vector<std::string> w;
    for (std::string t; words >> t;) w.push_back(t);
    if (c == "case") {
      title = a;
      MAP_reset_state();
      MAP_latlon(0, 0, 0.0f, 0.0f);
      MAP_set_format(nullptr);
      MAP_fill_cont(0);
      RES_put("map_file", nullptr);
      RES_put("color_map", nullptr);
      // A new page: colours no case uses, so that every colour a case sets reaches the
      // device, and no room taken by the labels of the case before.
      gset_line_colr_ind(1);
      gset_text_colr_ind(1);
      gtext_room_clear();
    } else if (c == "file") {
      std::string bytes;
      unsigned count = 0, s = 0;  // random: COUNT bytes of a linear congruential sequence from SEED
      if (b == "random" && std::istringstream(f[3]) >> count >> s)
        for (unsigned k = 0; k < count; ++k) bytes += static_cast<char>(((s = s * 1103515245u + 12345u) >> 16) & 0xFF);
      else
        bytes = b == "raw" ? table_unescape(f[3]) : b == "text" ? text(records(f[3])) : binary(records(f[3]));
      struct stat st {};
      const bool keep_time = b == "same-time" && stat(path(a).c_str(), &st) == 0;
      write(a, b == "append" ? read_file(path(a)) + bytes : bytes);
      const struct timespec times[2] = {st.st_atim, st.st_mtim};
      if (keep_time) {
        EXPECT_EQ(utimensat(AT_FDCWD, path(a).c_str(), times, 0), 0);
      }
    } else if (c == "touch") {  // ten seconds later
      struct stat st {};
      ASSERT_EQ(stat(path(a).c_str(), &st), 0);
      struct timespec times[2] = {st.st_atim, st.st_mtim};
      times[1].tv_sec += 10;
      EXPECT_EQ(utimensat(AT_FDCWD, path(a).c_str(), times, 0), 0);
    } else if (c == "domain") {
      setup(domain_of(a));
    } else if (c == "list") {
      MAP_file(a.c_str());
    } else if (c == "format") {
      MAP_set_format(a.empty() ? nullptr : a.c_str());
    } else if (c == "fill") {
      MAP_fill_cont(std::stoi(a));
    } else if (c == "latlon") {
      MAP_latlon(std::stoi(w[0]), std::stoi(w[1]), std::stof(w[2]), std::stof(w[3]));
    } else if (c == "res") {
      RES_put(a.c_str(), b.c_str());
    } else if (c == "mapflag") {
      FLAG_setplot(DRAW_MAP, std::stoi(a));
    } else if (c == "clear") {
      gdev_clear_calls();
    } else if (c == "draw" || c == "draw-has") {  // the folder of the files written said as "@"
      std::string out = draw(std::stoi(a));
      for (std::size_t at; (at = out.find(dir_ + "/")) != std::string::npos;) out.replace(at, dir_.size(), "@");
      if (c == "draw-has") {
        EXPECT_NE(out.find(b), std::string::npos) << out;
      } else if (f[2] != "*") {
        EXPECT_EQ(out, b);
      }
    } else if (c == "lines") {  // with a length: the two-point lines of that length
      std::size_t n = 0;
      for (const Drawn& d : drawn()) n += w.size() < 2 || (d.pts.size() == 2 && std::fabs(d.length(0) - std::stod(w[1])) < 1e-3);
      EXPECT_EQ(n, std::stoul(w[0]));
    } else if (c == "win") {
      const float rect[4] = {std::stof(w[0]), std::stof(w[1]), std::stof(w[2]), std::stof(w[3])};
      GPH_win(2, rect);
      gdev_clear_calls();
    } else if (c == "sizes") {
      std::string sizes;
      for (const Drawn& d : drawn()) sizes += (sizes.empty() ? "" : " ") + std::to_string(d.pts.size());
      EXPECT_EQ(sizes, a);
    } else if (c == "lats") {
      EXPECT_EQ(drawn_latitudes(), a);
    } else if (c == "point") {
      const std::vector<Drawn> d = drawn();
      const std::size_t i = w[0] == "last" ? d.size() - 1 : std::stoul(w[0]);
      ASSERT_LT(i, d.size());
      const std::size_t k = w[1] == "last" ? d[i].pts.size() - 1 : std::stoul(w[1]);
      ASSERT_LT(k, d[i].pts.size());
      const double tol = w.size() > 4 ? std::stod(w[4]) : 0.01;
      EXPECT_NEAR(d[i].pts[k].first, std::stod(w[2]), tol);
      EXPECT_NEAR(d[i].pts[k].second, std::stod(w[3]), tol);
    } else if (c == "radius") {
      for (const Drawn& d : drawn())
        for (const auto& [x, y] : d.pts) EXPECT_NEAR(std::hypot(x, y), std::stod(w[0]), std::stod(w[1])) << x << "," << y;
    } else if (c == "km") {  // every drawn point KM from (LAT, LON) along a great circle, within TOL
      for (const Drawn& d : drawn())
        for (const auto& [x, y] : d.pts) {
          float lat = 0, lon = 0;
          MAP_untran(&lat, &lon, static_cast<float>(x), static_cast<float>(y));
          const double p = std::stod(w[0]) * kD, q = lat * kD, dlon = (lon - std::stod(w[1])) * kD;
          EXPECT_NEAR(6371.22 * std::acos(std::sin(p) * std::sin(q) + std::cos(p) * std::cos(q) * std::cos(dlon)), std::stod(w[2]), std::stod(w[3]));
        }
    } else if (c == "nearest") {  // the drawn point nearest to (LAT, LON) is DIST from it, within 0.01
      float ax = 0, ay = 0;
      MAP_tran(&ax, &ay, std::stof(w[0]), std::stof(w[1]));
      double closest = 1e9;
      for (const Drawn& d : drawn())
        for (const auto& [x, y] : d.pts) closest = std::min(closest, std::hypot(x - ax, y - ay));
      EXPECT_NEAR(closest, std::stod(w[2]), 0.01);
    } else if (c == "circle") {
      float x = 0, y = 0;
      MAP_tran(&x, &y, std::stof(w[0]), std::stof(w[1]));
      EXPECT_EQ(MAP_draw_circle(x, y, std::stof(w[2])), std::stoi(b));
    } else if (c == "max-step") {
      for (const Drawn& d : drawn())
        for (std::size_t i = 0; i + 1 < d.pts.size(); ++i) EXPECT_LT(d.length(i), std::stod(a)) << i;
    } else if (c == "line-colour") {
      ASSERT_FALSE(drawn().empty());
      EXPECT_EQ(drawn()[0].colour, CLR_get_ind(a.c_str()));
    } else if (c == "colour-set") {
      EXPECT_TRUE(was_set(GOBJ_LCOLR, CLR_get_ind(a.c_str())));
    } else if (c == "style-set") {
      EXPECT_TRUE(was_set(GOBJ_LTYPE, std::stoi(a)));
    } else if (c == "vert") {
      EXPECT_NEAR(MAP_get_vert(), std::stof(a), 1e-3);
    } else if (c == "labels") {
      EXPECT_EQ(labels().size(), std::stoul(a));
    } else if (c == "labels-sorted") {
      std::vector<std::string> l = labels();
      std::sort(l.begin(), l.end());
      EXPECT_EQ(l, w);
    } else if (c == "label-at") {
      int found = 0;
      for (const auto& [t, pos] : placed_labels())
        found += t == w[0] && std::fabs(pos.first - std::stod(w[1])) < 1e-3 && std::fabs(pos.second - std::stod(w[2])) < 1e-3;
      EXPECT_EQ(found, 1);
    } else if (c == "labels-have" || c == "labels-lack") {
      for (const std::string& t : w) EXPECT_EQ(has_label(t), c == "labels-have") << t;
    } else if (c == "process") {
      EXPECT_EQ(MAP_process(a.c_str()), std::stoi(b));
    } else if (c == "maplines") {
      EXPECT_EQ(MAP_lines(w[0] == "M" ? MISSING : std::stof(w[0]), w[1] == "M" ? MISSING : std::stof(w[1])), std::stoi(b));
    } else if (c == "stream") {
      std::FILE* file = a == "-" ? nullptr : std::fopen(path(a).c_str(), "r");
      EXPECT_EQ(MAP_map(file), std::stoi(b));
      if (file != nullptr) std::fclose(file);
    } else if (c == "window") {
      float win[4];
      MAP_get_window(win);
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(win[k], std::stod(w[static_cast<std::size_t>(k)]), 1e-3) << k;
      int err = 0, tran = 0;
      ginq_cur_norm_tran_num(&err, &tran);
      EXPECT_EQ(tran, std::stoi(w[4]));
    } else if (c == "counts") {  // lines and points drawn since the last "counts"
      long lines = 0, points = 0;
      MAP_get_counts(&lines, &points);
      EXPECT_EQ(std::to_string(lines) + " " + std::to_string(points), a);
    } else if (c == "xs") {  // the first and last x of the first line, within 0.001
      ASSERT_FALSE(drawn().empty());
      EXPECT_NEAR(drawn()[0].pts.front().first, std::stod(w[0]), 1e-3);
      EXPECT_NEAR(drawn()[0].pts.back().first, std::stod(w[1]), 1e-3);
    } else if (c == "size") {
      EXPECT_NEAR(MAP_get_hor(), std::stof(w[0]), 1e-4);
      EXPECT_NEAR(MAP_get_vert(), std::stof(w[1]), 1e-4);
    } else if (c == "overlay") {
      for (const char* kind : {"im", "if"}) MAP_set_overlay_func(kind, a == "on" ? fake_overlay : nullptr);
      if (a == "on") seen.clear();
    } else if (c == "seen") {
      EXPECT_EQ(seen, b);
    } else {
      ADD_FAILURE() << "unknown command " << c;
    }
  }
  FLAG_setplot(DRAW_MAP, 1);
}

}  // namespace
