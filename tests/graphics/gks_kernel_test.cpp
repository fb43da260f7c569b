// The kernel's calls as scripts: each case of tests/data/graphics/kernel.txt runs its
// steps in order on a fresh kernel (see the file's head for the steps), so that a check of
// a setter, a getter or what reaches the device is one line of data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
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
#include "tests/support/graphics_cases.h"
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

// Kept call k (from the end when below 0) of a code.
GksCall kept(const Words& w) {
  const std::vector<GksCall> c = GksTest::calls(std::stoi(w.at(0)));
  const long k = std::stol(w.at(1)) + (std::stol(w.at(1)) < 0 ? static_cast<long>(c.size()) : 0);
  EXPECT_TRUE(k >= 0 && k < static_cast<long>(c.size())) << "no call " << w.at(1) << " of code " << w.at(0);
  return k >= 0 && k < static_cast<long>(c.size()) ? c[static_cast<std::size_t>(k)] : GksCall{-1, -9999, {}, ""};
}

const std::map<std::string, Call>& kernel() {
  static const std::map<std::string, Call> calls = {
      {"gpolyline", wrap(gpolyline)}, {"gset_linetype", wrap(gset_linetype)}, {"gset_linewidth", wrap(gset_linewidth)},
      {"gset_line_colr_ind", wrap(gset_line_colr_ind)}, {"gset_line_print_bold", wrap(gset_line_print_bold)},
      {"gget_line_colr", wrap(gget_line_colr)}, {"gget_line_type", wrap(gget_line_type)},
      {"gget_line_width", wrap(gget_line_width)}, {"gget_line_print_bold", wrap(gget_line_print_bold)},
      {"gpolymarker", wrap(gpolymarker)}, {"gset_marker_type", wrap(gset_marker_type)},
      {"gset_marker_size", wrap(gset_marker_size)}, {"gset_marker_width", wrap(gset_marker_width)},
      {"gget_marker_half", wrap(gget_marker_half)}, {"ATTR_parse_marker", wrap(ATTR_parse_marker)},
      {"gfill_area", wrap(gfill_area)}, {"gset_fill_int_style", wrap(gset_fill_int_style)},
      {"gset_fill_style_ind", wrap(gset_fill_style_ind)}, {"gset_fill_colr_ind", wrap(gset_fill_colr_ind)},
      {"gset_fill_print_solid", wrap(gset_fill_print_solid)}, {"gget_fill_colr", wrap(gget_fill_colr)},
      {"gget_fill_int_style", wrap(gget_fill_int_style)}, {"gget_fill_style_ind", wrap(gget_fill_style_ind)},
      {"gget_fill_print_solid", wrap(gget_fill_print_solid)}, {"gfill_test", wrap(gfill_test)},
      {"ATTR_parse_fill_pat", wrap(ATTR_parse_fill_pat)}, {"gis_valid_colr", wrap(gis_valid_colr)},
      {"gset_colr_rep", wrap(gset_colr_rep)}, {"gget_color_ind", wrap(gget_color_ind)},
      {"gget_color_rgb", wrap(gget_color_rgb)}, {"gget_color_rgb256", wrap(gget_color_rgb256)},
      {"gset_background", wrap(gset_background)}, {"gset_inverse", wrap(gset_inverse)},
      {"ginit_background", wrap(ginit_background)}, {"gcolr_reset_state", wrap(gcolr_reset_state)},
      {"gset_char_ht", wrap(gset_char_ht)}, {"gset_expan", wrap(gset_expan)}, {"gset_text_width", wrap(gset_text_width)},
      {"gset_text_align", wrap(gset_text_align)}, {"gset_char_up_vec", wrap(gset_char_up_vec)},
      {"gset_fontprec", wrap(gset_fontprec)}, {"gset_text_colr_ind", wrap(gset_text_colr_ind)},
      {"ginq_text_align", wrap(ginq_text_align)}, {"gtext", wrap(gtext)}, {"gget_font_index", wrap(gget_font_index)},
      {"gset_font_drop", wrap(gset_font_drop)}, {"gset_win", wrap(gset_win)}, {"gset_vp", wrap(gset_vp)},
      {"gsel_norm_tran", wrap(gsel_norm_tran)}, {"gset_ws_win", wrap(gset_ws_win)},
      {"ginq_norm_tran", wrap(ginq_norm_tran)}, {"gget_norm_tran", wrap(gget_norm_tran)},
      {"ginq_maxview", wrap(ginq_maxview)}, {"gset_win_size", wrap(gset_win_size)},
      {"gget_plot_rect", wrap(gget_plot_rect)}, {"gget_xviewport", wrap(gget_xviewport)},
      {"gget_gviewport", wrap(gget_gviewport)}, {"gpts_in_win", wrap(gpts_in_win)}, {"xW_trans", wrap(xW_trans)},
      {"yW_trans", wrap(yW_trans)}, {"xNDC_p", wrap(xNDC_p)}, {"yNDC_p", wrap(yNDC_p)}, {"xNDC_ps", wrap(xNDC_ps)},
      {"yNDC_ps", wrap(yNDC_ps)}, {"xW_ps", wrap(xW_ps)}, {"yW_ps", wrap(yW_ps)}, {"xp_W", wrap(xp_W)},
      {"yp_W", wrap(yp_W)}, {"gclose_ws", wrap(gclose_ws)}, {"gset_redraw", wrap(gset_redraw)},
      {"gclear_region", wrap(gclear_region)}, {"gmessage", wrap(gmessage)}, {"gdev_clear_calls", wrap(gdev_clear_calls)},
      {"RES_put", wrap(RES_put)}, {"RES_set_device", wrap(RES_set_device)}, {"gopen_ws", wrap(gopen_ws)},
      {"gget_win_size", wrap(gget_win_size)}, {"gget_win_offset", wrap(gget_win_offset)},
      {"gps_page_size", wrap(gps_page_size)}, {"gread_metafile", wrap(gread_metafile)},
      {"gget_marker_type", wrap(gget_marker_type)}, {"gget_marker_size", wrap(gget_marker_size)},
      {"gget_marker_width", wrap(gget_marker_width)}, {"gget_expan", wrap(gget_expan)},
      {"gget_char_ht", wrap(gget_char_ht)}, {"gget_char_up_vec", wrap(gget_char_up_vec)},
      {"gget_text_colr", wrap(gget_text_colr)}, {"CLR_get_ind", wrap(CLR_get_ind)},
      {"CLR_read_table", wrap(CLR_read_table)}, {"CLR_get_num", wrap(CLR_get_num)},
      {"CLR_get_num_fill", wrap(CLR_get_num_fill)}, {"CLR_get_rgb", wrap(CLR_get_rgb)}, {"setenv", wrap(setenv)}, {"unsetenv", wrap(unsetenv)},
      {"GPH_set_view_size", wrap(GPH_set_view_size)}, {"GPH_panel", wrap(GPH_panel)}, {"GPH_reset", wrap(GPH_reset)},
      {"GPH_get_vert_win_size", wrap(GPH_get_vert_win_size)}, {"GPH_get_win", wrap(GPH_get_win)},
      {"GPH_get_view", wrap(GPH_get_view)}, {"GPH_rect", wrap(GPH_rect)}, {"GPH_frect", wrap(GPH_frect)},
      {"GPH_mark", wrap(GPH_mark)}, {"attrib_style", wrap(attrib_style)},
      {"dash", [](const Words& w) { const std::vector<int> d = dash(std::stoi(w.at(0))); return Values(d.begin(), d.end()); }},
      {"gset_font_list", wrap(gset_font_list)}, {"gtext_width", wrap(gtext_width)}, {"gset_space", wrap(gset_space)},
      {"gset_char_space", wrap(gset_char_space)}, {"gget_num_fonts", wrap(gget_num_fonts)},
      {"gget_font_type", wrap(gget_font_type)}, {"gget_glyph_width", wrap(gget_glyph_width)}, {"font", [](const Words& w) { return write_font(w), Values{}; }},
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
      {"GPH_setup", wrap(GPH_setup)}, {"GPH_end", wrap(GPH_end)}, {"FLAG_set", wrap(FLAG_set)},
      {"FLAG_get", wrap(FLAG_get)}, {"FLAG_set_batch", wrap(FLAG_set_batch)}, {"gchk_graphics", wrap(gchk_graphics)},
      {"gget_win_type", wrap(gget_win_type)},
      {"gcreate_seg", wrap(gcreate_seg)}, {"GPH_set_win_title", wrap(GPH_set_win_title)},
      {"gopen_gks", wrap(gopen_gks)}, {"gclose_gks", wrap(gclose_gks)}, {"gclose_seg", wrap(gclose_seg)}, {"gdel_seg", wrap(gdel_seg)},
      {"gget_num_objects", wrap(gget_num_objects)},
      {"calls", [](const Words& w) { return Values{static_cast<float>(GksTest::calls(std::stoi(w.at(0))).size())}; }},
      {"record", [](const Words& w) { return kept(w).values; }},
      {"arg", [](const Words& w) { return Values{static_cast<float>(kept(w).arg)}; }},
  };
  return calls;
}

struct Step {
  int line;
  std::string text;
};

struct Script {
  std::string name;
  std::vector<Step> steps;
};

std::vector<Script> scripts() {
  std::istringstream in(read_file(STACONT_SOURCE_DIR "/tests/data/graphics/kernel.txt"));
  std::vector<Script> out;
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    ++n;
    if (line.rfind("== ", 0) == 0) out.push_back({line.substr(3), {}});
    else if (!line.empty() && line[0] != '#' && !out.empty()) out.back().steps.push_back({n, line});
  }
  return out;
}

void PrintTo(const Script& s, std::ostream* os) { *os << s.name; }

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
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE("kernel.txt line " + std::to_string(step.line) + ": " + step.text);
    std::istringstream in(step.text);
    std::string op;
    in >> op;
    if (op == "text") {  // the text of kept call k of a code
      std::string code, k;
      in >> code >> k;
      const std::size_t at = step.text.find(k, 5 + code.size()) + k.size() + 1;
      EXPECT_EQ(kept({code, k}).text, words_of(at < step.text.size() ? step.text.substr(at) : ""));
      continue;
    }
    if (op == "needs-raster" && !graster_available()) GTEST_SKIP() << "built without Cairo";
    if (op == "needs-raster") continue;
    if (op == "write") {  // a file of the text given, "{N*TEXT}" in it N copies of TEXT, %i their number
      std::string path;
      in >> path;
      std::string text = words_of(step.text.substr(std::min(step.text.size(), 7 + path.size())));
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
    if (op == "said") {  // the text a kernel function gives: the window's title or the program's name
      std::string what, text;
      std::getline(in >> what, text);
      EXPECT_EQ(std::string(what == "title" ? gget_win_title() : gget_prog_name()), text.empty() ? "" : text.substr(1));
      continue;
    }
    if (op == "file") {  // what a file holds
      std::string path, text;
      std::getline(in >> path, text);
      EXPECT_EQ(read_file(words_of(path)), words_of(text.empty() ? "" : text.substr(1)));
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
        EXPECT_EQ(err, words_of(step.text.size() > 4 ? step.text.substr(4) : ""));
        err.clear();
      } else {
        std::string type, device;
        in >> type >> device;
        open(std::stoi(type), device.c_str());
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
    const std::string key = step.text.substr(mode.size());
    if (mode == "remember") remembered[key] = got;
    if (mode == "unchanged") {
      EXPECT_EQ(got, remembered[key]);
    }
    compare(got, s);
  }
  EXPECT_EQ(err + GetCapturedStderr(), "") << "said and not checked";
}

INSTANTIATE_TEST_SUITE_P(Scripts, Kernel, testing::ValuesIn(scripts()), [](const auto& info) {
  std::string name;
  for (const char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

// The 20 patterns: every name of each, and its rows from the top.
TEST(Patterns, ByNameAndRows) {
  const std::vector<std::string> t = graphics_cases("fill_patterns.txt").front().all("pattern");
  ASSERT_EQ(t.size(), static_cast<std::size_t>(GKS_NUM_PATTERNS));
  for (int i = 0; i < GKS_NUM_PATTERNS; ++i) {
    std::istringstream in(t[i]);
    int index = -1;
    in >> index;
    EXPECT_EQ(index, i);
    for (std::string name; in >> name && name != "|";) EXPECT_EQ(ATTR_parse_fill_pat(name.c_str()), i) << name;
    std::vector<unsigned char> want;
    for (std::string row; in >> row;) want.push_back(static_cast<unsigned char>(std::stoi(row, nullptr, 16)));
    const unsigned char* rows = gget_fill_pattern(i);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(rows, rows + 8), want) << i;
  }
  for (const char* bad : {"", "hatch", "-3", "1e3x"}) EXPECT_EQ(ATTR_parse_fill_pat(bad), -1) << bad;
  EXPECT_EQ(ATTR_parse_fill_pat("25"), 25);  // a number; the setter refuses it
  EXPECT_EQ(gget_fill_pattern(20), nullptr);
}

// A long run without a writer keeps a bounded log of what it drew and counts the rest.
TEST_F(GksTest, RecordedCallsAreBounded) {
  open(WS_PS);
  const float l[4] = {0, 0, 1, 1};
  for (std::size_t i = 0; i < GDEV_MAX_CALLS + 10; ++i) ASSERT_EQ(gpolyline(2, l), 0);
  EXPECT_EQ(gdev_calls().size(), GDEV_MAX_CALLS);
  EXPECT_EQ(gdev_dropped_calls(), 10);
}

}  // namespace
