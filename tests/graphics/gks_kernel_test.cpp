// The kernel's calls as scripts: each case of tests/data/graphics/kernel.txt runs its
// steps in order on a fresh kernel (see the file's head for the steps), so that a check of
// a setter, a getter or what reaches the device is one line of data.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/colors.h"
#include "graphics/gks_cairo.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "tests/graphics/gks_calls.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/gwin_calls.h"
#include "tests/support/run.h"
#include "tests/support/table.h"

namespace {

using namespace gks_calls;

int attrib_style(const char* text) {
  AttribRec a;
  ATTRIB_init(&a);
  ATTRIB_parse(text, &a);
  return a.style;
}

// The attribute record of the "attrib" step; "none" as a first word stands for no record.
AttribRec* attrib(const Words& w) {
  static AttribRec a;
  return !w.empty() && w[0] == "none" ? nullptr : &a;
}
float attrib_scale(const Words& w) { return w.empty() ? 0 : std::stof(w.back()); }

// The count without a list to fill, then the list.
std::vector<int> dash(int type) {
  const unsigned char* d = nullptr;
  std::vector<int> out = {gget_dash(type, nullptr)};
  const int n = gget_dash(type, &d);
  out.insert(out.end(), d, d + n);
  return out;
}

// A stroke font file of the glyphs given as "C:v,v,...", a character and its vertex codes.
void write_font(const Words& w) {
  std::string codes = "1 test\n";
  std::vector<int> start(256, -1);
  int pos = 0;
  for (std::size_t k = 1; k < w.size(); ++k) {
    start[static_cast<unsigned char>(w[k][0])] = pos;
    std::stringstream in(w[k].substr(2));
    for (std::string v; std::getline(in, v, ','); ++pos) codes += v + " ";
    codes += "255 g\n";
    ++pos;
  }
  codes += "254\n";
  for (int x : start) codes += std::to_string(x) + " ";
  write_file(w.at(0), codes + "\n");
}

// A function recorded for replays: it adds its data to the count of "replayed".
int replayed = 0;
void count_replay(const void* data) { replayed += *static_cast<const int*>(data); }

// What gdevice_setup left of the last specification it was given, and the last text a call
// printed or gave (a record printed, a page's name).
std::string device_rest, printed;

// Kept call k (from the end when below 0) of a code.
GksCall kept(const Words& w) {
  const std::vector<GksCall> c = GksTest::calls(std::stoi(w.at(0)));
  const long k = std::stol(w.at(1)) + (std::stol(w.at(1)) < 0 ? static_cast<long>(c.size()) : 0);
  EXPECT_TRUE(k >= 0 && k < static_cast<long>(c.size())) << "no call " << w.at(1) << " of code " << w.at(0);
  return k >= 0 && k < static_cast<long>(c.size()) ? c[static_cast<std::size_t>(k)] : GksCall{-1, -9999, {}, ""};
}

// CIE 1976 colour difference of colours i and j of the table (sRGB, D65); j -1 black, -2 white.
double delta_e(int i, int j) {
  auto lab = [](int k) {
    float c[3] = {k == -2 ? 1.0F : 0.0F, k == -2 ? 1.0F : 0.0F, k == -2 ? 1.0F : 0.0F};
    if (k >= 0) CLR_get_rgb(k, &c[0], &c[1], &c[2]);
    double l[3], f[3];
    for (int n = 0; n < 3; ++n) l[n] = c[n] <= 0.04045 ? c[n] / 12.92 : std::pow((c[n] + 0.055) / 1.055, 2.4);
    const double xyz[3] = {(0.4124 * l[0] + 0.3576 * l[1] + 0.1805 * l[2]) / 0.95047, 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2],
                           (0.0193 * l[0] + 0.1192 * l[1] + 0.9505 * l[2]) / 1.08883};
    for (int n = 0; n < 3; ++n) f[n] = xyz[n] > 216.0 / 24389 ? std::cbrt(xyz[n]) : (24389.0 / 27 * xyz[n] + 16) / 116;
    return std::array<double, 3>{116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
  };
  const auto p = lab(i), q = lab(j);
  return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

// Whether the N band colours PREFIX01.. are all there, each at least 40 apart from black and
// white and at least APART from the one before.
bool bands_apart(const std::string& prefix, int n, double apart) {
  bool ok = true;
  for (int k = 1; k <= n; ++k) {
    const int i = CLR_get_ind((prefix + (k < 10 ? "0" : "") + std::to_string(k)).c_str());
    ok = ok && i >= 0 && delta_e(i, -1) >= 40 && delta_e(i, -2) >= 40 && (k == 1 || delta_e(i - 1, i) >= apart);
  }
  return ok;
}

const std::map<std::string, Call>& kernel() {
  static const std::map<std::string, Call> calls = with_shared({
      GKS_CALL(gpolyline), GKS_CALL(gset_linetype), GKS_CALL(gset_linewidth), GKS_CALL(gset_line_colr_ind),
      GKS_CALL(gset_line_print_bold), GKS_CALL(gget_line_colr), GKS_CALL(gget_line_type), GKS_CALL(gget_line_width),
      GKS_CALL(gget_line_print_bold), GKS_CALL(gpolymarker), GKS_CALL(gset_marker_type), GKS_CALL(gset_marker_size),
      GKS_CALL(gset_marker_width), GKS_CALL(gget_marker_half), GKS_CALL(ATTR_parse_marker), GKS_CALL(gfill_area),
      GKS_CALL(gset_fill_int_style), GKS_CALL(gset_fill_style_ind), GKS_CALL(gset_fill_colr_ind),
      GKS_CALL(gset_fill_print_solid), GKS_CALL(gget_fill_colr), GKS_CALL(gget_fill_int_style),
      GKS_CALL(gget_fill_style_ind), GKS_CALL(gget_fill_print_solid), GKS_CALL(gfill_test), GKS_CALL(gis_valid_colr), GKS_CALL(ATTR_parse_fill_pat),
      GKS_CALL(gget_color_rgb256), GKS_CALL(gset_background), GKS_CALL(ginit_background), GKS_CALL(gcolr_reset_state),
      GKS_CALL(gset_char_ht), GKS_CALL(gset_expan), GKS_CALL(gset_text_width), GKS_CALL(gset_text_align),
      GKS_CALL(gset_char_up_vec), GKS_CALL(gset_fontprec), GKS_CALL(gset_text_colr_ind), GKS_CALL(ginq_text_align),
      GKS_CALL(gtext), GKS_CALL(gget_font_index), GKS_CALL(gset_font_drop), GKS_CALL(gset_win), GKS_CALL(gset_vp),
      GKS_CALL(gsel_norm_tran), GKS_CALL(gset_ws_win), GKS_CALL(ginq_norm_tran), GKS_CALL(gget_norm_tran),
      GKS_CALL(ginq_maxview), GKS_CALL(gset_win_size), GKS_CALL(gget_plot_rect), GKS_CALL(gget_xviewport),
      GKS_CALL(gget_gviewport), GKS_CALL(gpts_in_win), GKS_CALL(xW_trans), GKS_CALL(yW_trans), GKS_CALL(xNDC_p),
      GKS_CALL(yNDC_p), GKS_CALL(xNDC_ps), GKS_CALL(yNDC_ps), GKS_CALL(gclear_region), GKS_CALL(gmessage),
      GKS_CALL(gdev_clear_calls), GKS_CALL(RES_set_device), GKS_CALL(gps_page_size), GKS_CALL(gread_metafile),
      GKS_CALL(gget_marker_type), GKS_CALL(gget_marker_size), GKS_CALL(gget_marker_width), GKS_CALL(gget_expan),
      GKS_CALL(gget_char_ht), GKS_CALL(gget_char_up_vec), GKS_CALL(gget_text_colr), GKS_CALL(CLR_get_ind),
      GKS_CALL(CLR_read_table), GKS_CALL(CLR_get_num_fill), GKS_CALL(CLR_get_rgb), GKS_CALL(setenv),
      GKS_CALL(GPH_set_view_size), GKS_CALL(GPH_panel), GKS_CALL(GPH_reset), GKS_CALL(GPH_get_vert_win_size),
      GKS_CALL(GPH_get_win), GKS_CALL(GPH_get_view), GKS_CALL(GPH_rect), GKS_CALL(GPH_frect), GKS_CALL(GPH_mark),
      GKS_CALL(attrib_style), GKS_CALL(gset_font_list), GKS_CALL(gtext_width), GKS_CALL(gset_space),
      GKS_CALL(gset_char_space), GKS_CALL(gget_num_fonts), GKS_CALL(gget_font_type), GKS_CALL(gget_glyph_width),
      GKS_CALL(GPH_setup), GKS_CALL(GPH_end), GKS_CALL(FLAG_set), GKS_CALL(FLAG_get), GKS_CALL(FLAG_set_batch),
      GKS_CALL(gcreate_seg), GKS_CALL(GPH_set_win_title), GKS_CALL(gset_win_title), GKS_CALL(gopen_gks), GKS_CALL(gclose_gks),
      GKS_CALL(gclose_seg), GKS_CALL(gdel_seg), GKS_CALL(gget_num_objects), GKS_CALL(gclear_ws), GKS_CALL(graster_get_pages),
      {"dash", [](const Words& w) { const std::vector<int> d = dash(std::stoi(w.at(0))); return Values(d.begin(), d.end()); }},
      {"font", [](const Words& w) { return write_font(w), Values{}; }}, GKS_CALL(GPH_circle),
      // The helpers that format: "%s %03d" of a text and a number, "%.1f" of a number.
      {"GPH_printf", [](const Words& w) { return Values{float(GPH_printf(std::stof(w.at(0)), std::stof(w.at(1)), "%s %03d", w.at(2).c_str(), std::stoi(w.at(3))))}; }},
      {"GPH_pprintf", [](const Words& w) {
         const float at[2] = {std::stof(w.at(0)), std::stof(w.at(1))};
         return Values{float(GPH_pprintf(at, "%.1f", std::stod(w.at(2))))};
       }},
      GKS_CALL(ginit_plot), GKS_CALL(gobj_redraw_funcs), {"replayed", [](const Words&) { return Values{float(replayed)}; }},
      {"gset_redraw_func", [](const Words& w) {
         static int data = 0;
         return data = std::stoi(w.at(0)), Values{float(gset_redraw_func(count_replay, &data, sizeof data))};
       }},
      {"drawn", [](const Words&) {  // every kept call but the clips: code, argument, values, text
         Values all;
         for (const GksCall& c : gdev_calls())
           if (c.code != GDEV_CLIP) {
             all.insert(all.end(), {float(c.code), float(c.arg)});
             all.insert(all.end(), c.values.begin(), c.values.end());
             all.insert(all.end(), c.text.begin(), c.text.end());
           }
         return all;
       }},
      {"gdevice_setup", [](const Words& w) {
         char rest[64] = "?";
         const int type = gdevice_setup(w.empty() ? "" : w[0].c_str(), rest, sizeof rest);
         return device_rest = rest, Values{float(type)};
       }},
      {"starts", [](const Words&) {  // where each glyph's strokes begin, in hundredths of the height 1.05
         Values x;
         for (const GksCall& c : GksTest::calls(GDEV_TEXT_STROKE)) x.push_back(std::round(c.values.at(0) / 576 * 100));
         return x;
       }},
      {"finite", [](const Words& w) {  // the kept calls of a code whose values are all finite
         float n = 0;
         for (const GksCall& c : GksTest::calls(std::stoi(w.at(0))))
           n += std::all_of(c.values.begin(), c.values.end(), [](float v) { return std::isfinite(v); }) ? 1 : 0;
         return Values{n};
       }},
      {"attrib", [](const Words& w) { return ATTRIB_init(attrib({})), ATTRIB_parse(w.at(0).c_str(), attrib({})), Values{}; }},
      {"attrib_fields", [](const Words&) {
         const AttribRec& a = *attrib({});
         return Values{float(a.color), float(a.style), float(a.fill), float(a.font), a.width, a.size, a.expansion};
       }},
      {"graster_page", [](const Words&) {
         int w = 0, h = 0;
         std::vector<std::uint32_t> px;
         return Values{float(graster_page(&w, &h, &px)), float(w), float(h)};
       }},
      {"raster_pixels", [](const Words& w) {  // a rectangle of the page row by row: 0 white, 1 red, 2 blue, 9 other
         int width = 0, height = 0;
         std::vector<std::uint32_t> px;
         Values v;
         graster_page(&width, &height, &px);
         for (int y = std::stoi(w.at(1)); y <= std::stoi(w.at(3)); ++y)
           for (int x = std::stoi(w.at(0)); x <= std::stoi(w.at(2)); ++x) {
             const std::uint32_t c = px.at(static_cast<std::size_t>(y) * width + x);
             v.push_back(c == 0xFFFFFFFF ? 0 : c == 0xFFFF0000 ? 1 : c == 0xFF0000FF ? 2 : 9);
           }
         return v;
       }},
      GKS_CALL(graster_write_png),
      {"graster_page_name", [](const Words& w) { return printed = graster_page_name(w.at(0), std::stoi(w.at(1))), Values{}; }},
      {"delta_e", [](const Words& w) { return Values{float(delta_e(std::stoi(w.at(0)), std::stoi(w.at(1))))}; }},
      {"bands_apart", [](const Words& w) { return Values{float(bands_apart(w.at(0), std::stoi(w.at(1)), std::stod(w.at(2))))}; }},
      {"attrib_init", [](const Words&) { return ATTRIB_init(attrib({})), Values{}; }},
      {"ATTRIB_get", [](const Words& w) { return Values{float(ATTRIB_get(w.at(0).c_str(), w.at(1).c_str(), attrib({})))}; }},
      {"attrib_update", [](const Words& w) {  // a record of a fill and a colour, the rest missing
         AttribRec b;
         ATTRIB_init(&b);
         b.fill = std::stoi(w.at(0)), b.color = std::stoi(w.at(1));
         return ATTRIB_update(attrib({}), &b), Values{};
       }},
      {"ATTRIB_print", [](const Words&) {
         CaptureStdout();
         ATTRIB_print(attrib({}));
         return printed = GetCapturedStdout(), Values{};
       }},
      {"GPH_line_attr", [](const Words& w) { return Values{static_cast<float>(GPH_line_attr(attrib(w)))}; }},
      {"GPH_fill_attr", [](const Words& w) { return Values{static_cast<float>(GPH_fill_attr(attrib(w)))}; }},
      {"GPH_mark_attr", [](const Words& w) { return Values{float(GPH_mark_attr(attrib(w), attrib_scale(w)))}; }},
      {"GPH_text_attr", [](const Words& w) { return Values{float(GPH_text_attr(attrib(w), attrib_scale(w)))}; }},
      {"objects", [](const Words&) { return Values{static_cast<float>(gobj_list().size())}; }},
      {"object_types", [](const Words&) {  // the type of each object of the list
         Values t;
         for (const GksObj& o : gobj_list()) t.push_back(static_cast<float>(o.type));
         return t;
       }},
      {"object", [](const Words& w) {  // object k of the list: its type, argument and bytes of data
         const GksObj& o = *std::next(gobj_list().begin(), std::stol(w.at(0)));
         return Values{float(o.type), float(o.arg), float(o.data.size())};
       }},
      {"calls", [](const Words& w) { return Values{static_cast<float>(GksTest::calls(std::stoi(w.at(0))).size())}; }},
      {"record", [](const Words& w) { return kept(w).values; }},
      {"pattern_rows", [](const Words& w) {
         const unsigned char* r = gget_fill_pattern(std::stoi(w.at(0)));
         return r != nullptr ? Values(r, r + 8) : Values{};
       }},
      {"arg", [](const Words& w) { return Values{static_cast<float>(kept(w).arg)}; }},
  });
  return calls;
}

class Kernel : public GksTest, public testing::WithParamInterface<Script> {
 protected:
  void TearDown() override {
    gset_font_list(nullptr);
    unsetenv("zavdefault");
    gcolr_reset_state();
    GksTest::TearDown();
  }
};

TEST_P(Kernel, Script) {
  // "@/" in a word or text stands for a folder of the case's own, "@data" for the
  // package's data.
  const std::string dir = make_temp_dir("gks");
  const auto words_of = [&dir](std::string w) {
    w = table_unescape(w);
    for (std::size_t p = 0; (p = w.find("@data", p)) != std::string::npos;) w.replace(p, 5, STACONT_DATA_DIR);
    for (std::size_t p = 0; (p = w.find("@/", p)) != std::string::npos; p += dir.size()) w.replace(p, 1, dir);
    return w;
  };
  std::map<std::string, Values> remembered;
  std::string err;  // what the kernel said since the last "err" step
  CaptureStderr();
  for (const auto& [line, words] : GetParam().steps) {
    std::string step;  // as written, its blanks single
    for (const std::string& w : words) step += (step.empty() ? "" : " ") + w;
    SCOPED_TRACE("kernel.txt line " + std::to_string(line) + ": " + step);
    std::istringstream in(step);
    std::string op;
    in >> op;
    if (op == "text") {  // the text of kept call k of a code
      std::string code, k;
      in >> code >> k;
      const std::size_t at = step.find(k, 5 + code.size()) + k.size() + 1;
      EXPECT_EQ(kept({code, k}).text, words_of(at < step.size() ? step.substr(at) : ""));
      continue;
    }
    if (op == "needs-raster" && !graster_available()) GTEST_SKIP() << "built without Cairo";
    if (op == "needs-raster") continue;
    if (op == "write") {  // a file of the text given, "{N*TEXT}" in it N copies of TEXT, %i their number
      std::string path;
      in >> path;
      std::string text = words_of(step.substr(std::min(step.size(), 7 + path.size())));
      for (std::size_t open; (open = text.find('{')) != std::string::npos;) {
        const std::size_t star = text.find('*', open), end = text.find('}', open);
        std::string copies;
        for (int i = 0; i < std::stoi(text.substr(open + 1, star - open - 1)); ++i) {
          std::string copy = text.substr(star + 1, end - star - 1);
          for (std::size_t at; (at = copy.find("%i")) != std::string::npos;) copy.replace(at, 2, std::to_string(i));
          copies += copy;
        }
        text.replace(open, end + 1 - open, copies);
      }
      write_file(words_of(path), text);
      continue;
    }
    if (op == "said") {  // the window's title, the program's name, a device's rest, or the last text printed or given
      std::string what, text;
      std::getline(in >> what, text);
      const std::string said = what == "title" ? gget_win_title() : what == "rest" ? device_rest : what == "printed" ? printed : gget_prog_name();
      EXPECT_EQ(said, words_of(text.empty() ? "" : text.substr(1)));
      continue;
    }
    if (op == "file") {  // what a file holds
      std::string path, text;
      std::getline(in >> path, text);
      EXPECT_EQ(read_file(words_of(path)), words_of(text.empty() ? "" : text.substr(1)));
      continue;
    }
    if (op == "holds") {  // a file holds the text at a byte offset (below 0: from its end), or anywhere ("*")
      std::string path, at, text;
      std::getline(in >> path >> at, text);
      const std::string bytes = read_file(words_of(path)), want = words_of(text.empty() ? "" : text.substr(1));
      const long from = at == "*" ? 0 : std::stol(at) + (std::stol(at) < 0 ? static_cast<long>(bytes.size()) : 0);
      EXPECT_TRUE(at == "*" ? bytes.find(want) != std::string::npos : from >= 0 && bytes.compare(static_cast<std::size_t>(from), want.size(), want) == 0);
      continue;
    }
    if (op == "after") {  // what a file holds after the line with a key (a creation date)
      std::string path, key, text;
      std::getline(in >> path >> key, text);
      const std::string bytes = read_file(words_of(path));
      const std::size_t at = bytes.find(key);
      EXPECT_EQ(at == std::string::npos ? bytes : bytes.substr(bytes.find('\n', at) + 1), words_of(text.empty() ? "" : text.substr(1)));
      continue;
    }
    if (op == "cut") {  // the first N bytes of a file (below 0: all but the last -N) into another
      std::string from, to;
      long n = 0;
      in >> from >> n >> to;
      const std::string bytes = read_file(words_of(from));
      write_file(words_of(to), bytes.substr(0, static_cast<std::size_t>(n < 0 ? static_cast<long>(bytes.size()) + n : n)));
      continue;
    }
    if (op == "name") {  // the name of a colour of the table
      int index = 0;
      std::string name;
      std::getline(in >> index, name);
      EXPECT_EQ(std::string(CLR_get_name(index)), words_of(name.empty() ? "" : name.substr(1)));
      continue;
    }
    if (op == "err" || op == "open") {
      err += GetCapturedStderr();
      if (op == "err") {
        EXPECT_EQ(err, words_of(step.size() > 4 ? step.substr(4) : ""));
        err.clear();
      } else {
        std::string type, device;
        in >> type >> device;
        open(std::stoi(type), words_of(device).c_str());
      }
      CaptureStderr();
      continue;
    }
    // "remember CALL" keeps what a call gives; "unchanged CALL" expects it again.
    const std::string mode = op == "remember" || op == "unchanged" ? op : "";
    if (!mode.empty()) in >> op;
    const auto call = kernel().find(op);
    ASSERT_NE(call, kernel().end()) << "no step " << op;
    Words raw;
    for (std::string w; in >> w;) raw.push_back(w);
    Expect s = expected(raw, 0);
    for (std::string& w : s.args) w = words_of(w);
    const Values got = call->second(s.args);
    const std::string key = step.substr(mode.size());
    if (mode == "remember") remembered[key] = got;
    if (mode == "unchanged") {
      EXPECT_EQ(got, remembered[key]);
    }
    compare(got, s);
  }
  EXPECT_EQ(err + GetCapturedStderr(), "") << "said and not checked";
}

INSTANTIATE_TEST_SUITE_P(Scripts, Kernel, testing::ValuesIn(scripts_of("graphics/kernel.txt")), [](const auto& info) {
  std::string name;
  for (const char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

// A long run without a writer keeps a bounded log of what it drew and counts the rest.
TEST_F(GksTest, RecordedCallsAreBounded) {
  open(WS_PS);
  const float l[4] = {0, 0, 1, 1};
  for (std::size_t i = 0; i < GDEV_MAX_CALLS + 10; ++i) ASSERT_EQ(gpolyline(2, l), 0);
  EXPECT_EQ(gdev_calls().size(), GDEV_MAX_CALLS);
  EXPECT_EQ(gdev_dropped_calls(), 10);
}

}  // namespace
