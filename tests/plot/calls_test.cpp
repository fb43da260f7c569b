// Calls of the plot layer's functions as scripts: tests/data/plot/calls.txt, whose head says
// how a step reads. One runner for the projections, regions, contour levels and colours,
// wind conversions and positions in words, so that a case is a line of its table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "files/files.h"
#include "graphics/colors.h"
#include "plot/cont.h"
#include "plot/frt_plt.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "plot/vect_plt.h"
#include "tests/support/table.h"

namespace {

using Args = std::vector<std::string>;
using Out = std::vector<std::string>;

std::string num(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.9g", v);
  return b;
}
float f(const std::string& s) { return std::strtof(s.c_str(), nullptr); }  // denormals too
int i(const std::string& s) { return std::stoi(s); }
// A text argument: "null" no text, "" (two quotes) the empty one.
const char* text(const std::string& s) { return s == "null" ? nullptr : s == "\"\"" ? "" : s.c_str(); }

// The state a script works on: the current domain, domains kept by name, a grid.
DomainRec dom;
std::map<std::string, DomainRec> kept;
GridRec grid;

Out xy(int r, float a, float b) { return {num(r), num(a), num(b)}; }
// Plane point of (lat, lon) at a[k] on the current domain.
std::pair<float, float> at(const Args& a, std::size_t k) {
  float x = 0, y = 0;
  MAP_tran(&x, &y, f(a[k]), f(a[k + 1]));
  return {x, y};
}
Out attrib(int r, const AttribRec& at) { return {num(r), num(at.color)}; }

// Calls of one shape: a result of no argument, of a number, of a text; a result and two
// values given back for two numbers (before them or after them).
#define NONE(fn) {#fn, [](const Args&) { return Out{num(fn())}; }}
#define ONE(fn, conv) {#fn, [](const Args& a) { return Out{num(fn(conv(a[0])))}; }}
#define TWO(fn) {#fn, [](const Args& a) { return Out{num(fn(f(a[0]), f(a[1])))}; }}
#define BACK(fn) {#fn, [](const Args& a) { float x = 0, y = 0; const int r = fn(&x, &y, f(a[0]), f(a[1])); return xy(r, x, y); }}
#define FORTH(fn) {#fn, [](const Args& a) { float x = 0, y = 0; const int r = fn(f(a[0]), f(a[1]), &x, &y); return xy(r, x, y); }}
#define DO(name, ...) {name, [](const Args& a) { (void)a; __VA_ARGS__; return Out{}; }}

const std::map<std::string, std::function<Out(const Args&)>> kCalls = {
    // ---- domains and projections
    {"domain",
     [](const Args& a) {
       if (a[0] == "none") return Out{num(MAP_domain(nullptr))};
       DOM_init(&dom);
       dom.proj = i(a[0]), dom.plat = f(a[1]), dom.plon = f(a[2]), dom.p3 = f(a[3]), dom.p4 = f(a[4]);
       dom.clat = f(a[5]), dom.clon = f(a[6]), dom.nx = i(a[7]), dom.ny = i(a[8]), dom.dx = dom.dy = f(a[9]);
       dom.ext = i(a[10]);
       if (a.size() > 11) dom.p5 = f(a[11]);
       return Out{num(MAP_domain(&dom))};
     }},
    {"decode", [](const Args& a) { DOM_init(&dom); return Out{num(DOM_decode(text(a[0]), &dom))}; }},
    DO("keep", kept[a[0]] = dom),
    DO("set", (a[0] == "ext" ? dom.ext : a[0] == "proj" ? dom.proj : dom.nx) = i(a[1])),
    {"fields", [](const Args&) {
       return Out{num(dom.proj), num(dom.plat), num(dom.plon), num(dom.p3), num(dom.p4), num(dom.p5), num(dom.clat),
                  num(dom.clon), num(dom.nx), num(dom.ny), num(dom.dx), num(dom.dy), num(dom.ext)};
     }},
    NONE(MAP_get_proj), ONE(MAP_proj_str, text), BACK(MAP_tran), BACK(MAP_untran), BACK(MAP_grid_tran),
    BACK(MAP_grid_untran), TWO(MAP_in_domain), TWO(MAP_in_grid_domain), ONE(MAP_factor, f), TWO(MAP_plot_grid),
    {"MAP_get_limits", [](const Args&) { float l[4]; MAP_get_limits(l); return Out{num(l[0]), num(l[1]), num(l[2]), num(l[3])}; }},
    DO("MAP_set_plot_limit", MAP_set_plot_limit(i(a[0])); MAP_plot_grid_init()),
    DO("MAP_get_domain", MAP_get_domain(&dom)), DO("MAP_set_view", MAP_set_view(f(a[0]), f(a[1]), f(a[2]), f(a[3]))),
    {"MAP_tran_center", [](const Args&) { float x = 0, y = 0; const int r = MAP_tran_center(&x, &y); return xy(r, x, y); }},
    // A point carried from kept domain A to kept domain B.
    {"MAP_domain_tran", [](const Args& a) {
       float x = 0, y = 0;
       const int r = MAP_domain_tran(&kept.at(a[0]), &kept.at(a[1]), &x, &y, f(a[2]), f(a[3]));
       return xy(r, x, y);
     }},
    // The latitude and longitude reached from (LAT, LON) going DIR for KM.
    {"offset", [](const Args& a) {
       const auto p = at(a, 0);
       float x, y, lat, lon;
       const int r = MAP_offset(&x, &y, p.first, p.second, f(a[2]), f(a[3]));
       MAP_untran(&lat, &lon, x, y);
       return xy(r, lat, lon);
     }},
    {"MAP_offset", [](const Args& a) { float x, y; const int r = MAP_offset(&x, &y, f(a[0]), f(a[1]), f(a[2]), f(a[3])); return xy(r, x, y); }},
    // Direction adjustments at the plane point of (LAT, LON); the plane direction of a segment.
    {"dir_adj", [](const Args& a) { const auto p = at(a, 0); return Out{num(MAP_dir_adj(f(a[2]), p.first, p.second))}; }},
    {"undir_adj", [](const Args& a) { const auto p = at(a, 0); return Out{num(MAP_undir_adj(f(a[2]), p.first, p.second))}; }},
    {"uvdir_adj", [](const Args& a) { const auto p = at(a, 0); return Out{num(MAP_uvdir_adj(f(a[2]), f(a[3]), p.first, p.second))}; }},
    {"dir", [](const Args& a) {
       const auto p = at(a, 0), q = at(a, 2);
       return Out{num(std::remainder(MAP_dir(p.first, p.second, q.first, q.second), 360.0))};
     }},
    // ---- regions
    {"DOM_comp", [](const Args& a) { return Out{num(DOM_comp(&kept.at(a[0]), &kept.at(a[1])))}; }},
    {"DOM_comp_proj", [](const Args& a) { return Out{num(DOM_comp_proj(&kept.at(a[0]), &kept.at(a[1])))}; }},
    DO("DOM_print", DOM_print(MESS_PRINT, &dom)),
    {"DOM_aspect", [](const Args&) { return Out{num(DOM_aspect(&dom))}; }},
    {"DOM_set_base_prior", [](const Args& a) { return Out{num(DOM_set_base_prior(f(a[0]))), num(DOM_get_prior())}; }},
    {"DOM_get_prior", [](const Args&) { return Out{num(DOM_get_prior()), num(DOM_get_loc_prior())}; }},
    {"DOM_get_grid_domain", [](const Args&) { return Out{num(DOM_get_grid_domain(&dom)), num(dom.clat)}; }},
    {"DOM_get_region", [](const Args& a) { return Out{num(DOM_get_region(&dom, i(a[0]))), num(dom.clat)}; }},
    {"DOM_get_def_region", [](const Args& a) { return Out{num(DOM_get_def_region(a[0].c_str(), &dom))}; }},
    // The result, the length of the text found and the text.
    {"DOM_search_file", [](const Args& a) {
       char t[DOM_TEXT_LEN + 1] = "";
       const int r = DOM_search_file(a[0].c_str(), text(a[1]), t);
       return Out{num(r), num(static_cast<double>(std::strlen(t))), t};
     }},
    ONE(DOM_read_menu, text), ONE(DOM_print_file, text), DO("MESS_set", MESS_set(0, std::stoul(a[0], nullptr, 0))),
    {"FILE_get_key", [](const Args& a) { char key[FILE_KEY_LEN]; return Out{FILE_get_key(i(a[0]), key)}; }},
    // ---- contour levels and colours
    DO("CONT_init", CONT_init()), DO("CONT_set_type", CONT_set_type(i(a[0]))), DO("CONT_set_intrvl", CONT_set_intrvl(f(a[0]))),
    DO("CONT_set_base", CONT_set_base(f(a[0]))), {"CONT_draw_contour", [](const Args&) { return Out{num(CONT_draw_contour(&grid))}; }},
    DO("FLAG_set", FLAG_set(i(a[0]), i(a[1]))), NONE(CONT_get_num_colors), NONE(CONT_prompt_type),
    {"CONT_calc_intrvl", [](const Args& a) { return Out{num(CONT_calc_intrvl(i(a[0]), f(a[1]), f(a[2])))}; }},
    // base, lower and upper cut; ABOVE: a '>' entry sets the base; CUTS: the cuts are asked for.
    {"CONT_read_base", [](const Args& a) {
       float base = -1, lower = -2, upper = -3;
       CONT_read_base(&base, a[1] == "1" ? &lower : nullptr, a[1] == "1" ? &upper : nullptr, a[0] == "1");
       return Out{num(base), num(lower), num(upper)};
     }},
    {"CONT_read_scale", [](const Args&) { float s = 7; CONT_read_scale(&s); return Out{num(s)}; }},
    {"CONT_set_fill_colors", [](const Args& a) { return Out{num(CONT_set_fill_colors(text(a[0]), i(a[1])))}; }},
    {"CONT_get_values", [](const Args&) {
       float v[32];
       Out o{num(CONT_get_values(v, 32))};
       for (int k = 0; k < std::stoi(o[0]); ++k) o.push_back(num(v[k]));
       return o;
     }},
    {"CONT_get_fill_attrib", [](const Args& a) { AttribRec at; const int r = CONT_get_fill_attrib(&at, f(a[0])); return attrib(r, at); }},
    // 1 when the band of VALUE is one of the fill list's.
    {"fill_in_list", [](const Args& a) { AttribRec at; const int r = CONT_get_fill_attrib(&at, f(a[0])); return Out{num(r >= 0 && r < CONT_get_num_colors())}; }},
    {"CONT_get_fill_attrib_ind", [](const Args& a) { AttribRec at; const int r = CONT_get_fill_attrib_ind(i(a[0]), &at); return attrib(r, at); }},
    {"CONT_get_label", [](const Args& a) { return Out{CONT_get_label(i(a[0]))}; }},
    {"CONT_format_decode_type", [](const Args& a) {
       CONT_format_decode_type(a[0].c_str());
       return Out{num(CONT_get_type()), num(CONT_get_intrvl()), num(CONT_get_base())};
     }},
    // An NX by NY grid, its values row by row from the top.
    DO("grid", GRD_free(&grid); GRD_init(&grid); DOM_init(&grid.domain); grid.domain.nx = i(a[0]); grid.domain.ny = i(a[1]);
       EXPECT_EQ(GRD_alloc(&grid), 1); for (std::size_t k = 2; k < a.size(); ++k) grid.values[k - 2] = f(a[k])),
    {"CONT_set_cont_ext", [](const Args&) {
       const int r = CONT_set_cont_ext(&grid);
       float lo, hi;
       int n;
       CONT_get_cont_ext(&lo, &hi, &n);
       return Out{num(r), num(lo), num(hi), num(n)};
     }},
    // ---- winds and positions in words
    FORTH(vect2wind), FORTH(wind2vect),
    {"decode_latlon", [](const Args& a) {
       float lat = 0, lon = 0;
       const int r = a[0] == "null" ? decode_latlon(nullptr, nullptr, nullptr) : decode_latlon(text(a[0]), &lat, &lon);
       return xy(r, lat, lon);
     }},
    {"FRT_decode_locate", [](const Args& a) {
       float lat = MISSING, lon = MISSING;
       std::size_t next = 0;
       const int r = FRT_decode_locate(a, &next, &lat, &lon);
       return Out{num(r), num(lat), num(lon), num(static_cast<double>(next))};
     }},
};

// Words of a step, a word in double quotes kept whole with its blanks.
Args words(const std::string& s) {
  Args w;
  std::istringstream in(s);
  for (std::string t; in >> t;) {
    if (t.size() > 1 && t[0] == '"' && t.back() != '"') {
      std::string rest;
      std::getline(in, rest, '"');
      t += rest + '"';
    }
    if (t.size() > 2 && t[0] == '"' && t.back() == '"') t = table_unescape(t.substr(1, t.size() - 2));
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"$DATA", STACONT_DATA_DIR},
                                   {"$TABLES", STACONT_SOURCE_DIR "/tests/data/plot"}})
      for (std::size_t at; (at = t.find(from)) != std::string::npos;) t.replace(at, from.size(), to);
    w.push_back(t);
  }
  return w;
}

bool same(const std::string& got, std::string want, double tol) {
  if (want == "-") return true;
  if (want.rfind("clr:", 0) == 0) want = num(CLR_get_ind(want.c_str() + 4));
  char *e1 = nullptr, *e2 = nullptr;
  const double g = std::strtod(got.c_str(), &e1), w = std::strtod(want.c_str(), &e2);
  if (got.empty() || want.empty() || *e1 != '\0' || *e2 != '\0') return got == want;
  if (std::isnan(g) || std::isnan(w)) return std::isnan(g) && std::isnan(w);
  return tol > 0 ? std::fabs(g - w) <= tol : static_cast<float>(g) == static_cast<float>(w);
}

Out call(const Args& w) {
  const auto it = kCalls.find(w[0]);
  if (it == kCalls.end()) {
    ADD_FAILURE() << "unknown call " << w[0];
    return {};
  }
  return it->second(Args(w.begin() + 1, w.end()));
}

void reset() {
  RES_clear();
  FLAG_reset(MISSING_INT);
  MESS_set(0, 0xFFFFu);
  MAP_domain(nullptr);
  MAP_reset_tran_state();
  DOM_reset_state();
  FLAG_resetplot(1);
  CONT_init();
  kept.clear();
  DOM_init(&dom);
}

TEST(PlotCalls, Table) {
  const std::string name = STACONT_SOURCE_DIR "/tests/data/plot/calls.txt";
  std::ifstream in(name);
  ASSERT_TRUE(in.good()) << name;
  CLR_read_table(STACONT_DATA_DIR "/zav.clr");
  GRD_init(&grid);
  std::string title, said, printed;
  const auto heard = [&] {
    said += testing::internal::GetCapturedStderr();
    printed += testing::internal::GetCapturedStdout();
  };
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(title + ": " + line);
    if (line.rfind("== ", 0) == 0) {
      EXPECT_EQ(said, "") << "unchecked messages before " << line;
      title = line.substr(3), said.clear(), printed.clear();
      reset();
      continue;
    }
    Args w = words(line);
    if (w[0] == "err" || w[0] == "out") {
      std::string& text = w[0] == "err" ? said : printed;
      EXPECT_EQ(text, w.size() > 1 ? w[1] : "");
      text.clear();
      continue;
    }
    if (w[0] == "res") {
      RES_put(w[1].c_str(), text(w[2]));
      continue;
    }
    // The expected values after "=" (exact, as floats), "~TOL" or "= @CALL" (the values of
    // another call).
    std::size_t k = 0;
    while (k < w.size() && w[k] != "=" && w[k][0] != '~') ++k;
    const bool checked = k < w.size();
    const double tol = checked && w[k][0] == '~' ? std::stod(w[k].substr(1)) : 0.0;
    Args want(w.begin() + static_cast<long>(std::min(k + 1, w.size())), w.end());
    w.resize(k);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const Out got = call(w);
    if (!want.empty() && want[0][0] == '@') {
      want[0] = want[0].substr(1);
      want = call(want);
    }
    heard();
    if (!checked) continue;
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t n = 0; n < got.size(); ++n) EXPECT_TRUE(same(got[n], want[n], tol)) << n << ": " << got[n] << " not " << want[n];
  }
  EXPECT_EQ(said, "") << "unchecked messages at the end";
  GRD_free(&grid);
  reset();
}

}  // namespace
