// Window sessions read from scripts under tests/data/graphics/: each line an action on the
// window as the user or a program above gives it, or a check of what the window shows and
// what the kernel answers, so that the cases of the event, frame and zoom tests are data.
#pragma once
#include "tests/graphics/gks_window.h"  // first: GoogleTest before Xlib

#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "graphics/gks_evnt.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_zoom.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

struct Script {
  std::string name;
  std::vector<std::pair<int, std::vector<std::string>>> steps;  // line number, words
};

// The words of a line; "quoted text" is one word, with \n and \xHH escapes.
inline std::vector<std::string> script_words(const std::string& line) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < line.size();) {
    if (line[i] == ' ') {
      ++i;
    } else if (line[i] == '"') {
      std::string w;
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && line[i + 1] == 'n') w += '\n', ++i;
        else if (line[i] == '\\' && line[i + 1] == 'x') w += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16)), i += 3;
        else w += line[i];
      }
      out.push_back(w), ++i;
    } else {
      const std::size_t e = std::min(line.find(' ', i), line.size());
      out.push_back(line.substr(i, e - i)), i = e;
    }
  }
  return out;
}

// The sessions of tests/data/graphics/<file>.txt: "session Name" starts one; "#" comments.
inline std::vector<Script> scripts(const std::string& file) {
  std::vector<Script> out;
  std::ifstream in(std::string(STACONT_SOURCE_DIR) + "/tests/data/graphics/" + file + ".txt");
  if (!in) out.push_back({"unreadable_" + file, {{0, {"unreadable"}}}});
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> w = script_words(line);
    if (w[0] == "session") out.push_back({w[1], {}});
    else if (!out.empty()) out.back().steps.emplace_back(n, w);
  }
  return out;
}

inline void PrintTo(const Script& s, std::ostream* os) { *os << s.name; }

class Session : public WindowTest, public testing::WithParamInterface<Script> {
 protected:
  using Args = std::vector<std::string>;
  std::map<std::string, XPicture> kept;
  bool capturing_out = false, capturing_err = false;
  unsigned long kept_id = 0;
  std::string dir_;

  const std::string& dir() {
    if (dir_.empty()) dir_ = make_temp_dir("session");
    return dir_;
  }

  static int to_i(const std::string& s) { return std::stoi(s, nullptr, 0); }
  static float to_f(const std::string& s) { return std::stof(s); }
  static unsigned mods(const std::string& m) {
    unsigned s = 0;
    for (char c : m) s |= c == 'A' ? Mod1Mask : c == 'S' ? ShiftMask : c == 'C' ? ControlMask : c == '1' ? Button1Mask : 0;
    return s;
  }
  void feed(XEvent e) { gprocess_x11_event(&e); }
  // "base" (or nothing), "top", or "frameN".
  XPicture where(const Args& w, std::size_t k) {
    if (w.size() <= k || w[k] == "base") return picture();
    if (w[k] == "top") return picture(gget_top_window());
    return picture(gget_frame_drawable(to_i(w[k].substr(5))));
  }

 public:
  // Whether every pixel of the rectangle (inclusive) has colour c.
  static bool all(const XPicture& p, int x0, int y0, int x1, int y1, unsigned c) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (p.at(x, y) != c) return false;
    return true;
  }

 protected:
  // The picture kept as "orig" zoomed by f with the view's top-left corner at left, top.
  XPicture zoomed(int f, int left, int top) {
    const XPicture& o = kept["orig"];
    XPicture e = o;
    for (int y = 0; y < o.height; ++y)
      for (int x = 0; x < o.width; ++x)
        e.rgb[static_cast<std::size_t>(y) * o.width + x] = o.at(std::min(left + x / f, o.width - 1), std::min(top + y / f, o.height - 1));
    return e;
  }

  // The kernel's functions a script calls by name; the value compared after "=".
  static const std::map<std::string, std::function<float(const Args&)>>& calls() {
    static const std::map<std::string, std::function<float(const Args&)>> t = {
        {"gcreate_frame", [](const Args& a) { return float(gcreate_frame(to_i(a[0]))); }},
        {"gselect_frame", [](const Args& a) { return float(gselect_frame(to_i(a[0]))); }},
        {"gdisplay_frame", [](const Args& a) { return float(gdisplay_frame(to_i(a[0]))); }},
        {"gdelete_frame", [](const Args& a) { return float(gdelete_frame(to_i(a[0]))); }},
        {"gclear_frame", [](const Args& a) { return float(gclear_frame(to_i(a[0]))); }},
        {"gcopy_frame", [](const Args& a) { return float(gcopy_frame(to_i(a[0]), to_i(a[1]))); }},
        {"gnum_images", [](const Args&) { return float(gget_num_images()); }},
        {"gcur_frame", [](const Args&) { return float(gget_cur_frame()); }},
        {"gframe_delay", [](const Args& a) { return gget_frame_delay(to_i(a[0])); }},
        {"gset_loop_delay", [](const Args& a) { return gset_loop_delay(to_i(a[0]), to_f(a[1])), 0.0F; }},
        {"ginc_loop_delay", [](const Args& a) { return ginc_loop_delay(to_f(a[0])), 0.0F; }},
        {"gloop_delay", [](const Args&) { return gget_loop_delay(); }},
        {"gset_looping", [](const Args& a) { return gset_looping(to_i(a[0])), 0.0F; }},
        {"glooping", [](const Args&) { return float(gget_looping()); }},
        {"gset_loop_direct", [](const Args& a) { return gset_loop_direct(to_i(a[0])), 0.0F; }},
        {"gloop_direct", [](const Args&) { return float(gget_loop_direct()); }},
        {"ginc_frame", [](const Args& a) { return float(ginc_frame(to_i(a[0]))); }},
        {"gset_loop_title", [](const Args& a) { return gset_loop_title(to_i(a[0])), 0.0F; }},
        {"gset_frame_id", [](const Args& a) { return gset_frame_id(to_i(a[0]), to_i(a[1])), 0.0F; }},
        {"gframe_id", [](const Args& a) { return float(gget_frame_id(to_i(a[0]))); }},
        {"gset_input_mode", [](const Args& a) { return gset_input_mode(to_i(a[0])), 0.0F; }},
        {"ginput_mode", [](const Args&) { return float(gget_input_mode()); }},
        {"ginput_state", [](const Args&) { return float(gget_input_state()); }},
        {"gzoom", [](const Args& a) { return float(gzoom(GKS_FRAME_CURRENT, to_i(a[0]), to_i(a[1]), to_i(a[2]), to_i(a[3]))); }},
        {"gzoom_factor", [](const Args&) { return float(gget_zoom()); }},
        {"gzoom_center",  // x * 1000 + y
         [](const Args&) {
           int x = 0, y = 0;
           gget_zoom_center(&x, &y);
           return float(x * 1000 + y);
         }},
        {"greset_zoom", [](const Args&) { return greset_zoom(), 0.0F; }},
        {"gunzoom", [](const Args&) { return gunzoom(), 0.0F; }},
        {"xZ_p", [](const Args& a) { return xZ_p(to_f(a[0])); }},
        {"yZ_p", [](const Args& a) { return yZ_p(to_f(a[0])); }},
        {"gset_rubber_band", [](const Args& a) { return gset_rubber_band(to_i(a[0])), 0.0F; }},
        {"grubber_band", [](const Args&) { return float(gget_rubber_band()); }},
        {"galloc_colr", [](const Args& a) { return float(galloc_colr(to_i(a[0]), to_f(a[1]), to_f(a[2]), to_f(a[3]))); }},
        {"gcolor_ind", [](const Args& a) { return float(gget_color_ind(to_i(a[0]))); }},
        {"gmax_colr", [](const Args&) { return float(gget_max_colr()); }},
        {"gset_win_title_extra", [](const Args& a) { return gset_win_title_extra(a[0].c_str()), 0.0F; }},
        {"gset_win_title", [](const Args& a) { return gset_win_title(a[0].c_str()), 0.0F; }},
        {"gset_inverse", [](const Args& a) { return gset_inverse(to_i(a[0])), 0.0F; }},
        {"gwin_size",  // width and height as w * 10000 + h
         [](const Args&) {
           float w = 0, h = 0;
           gget_win_size(&w, &h);
           return w * 10000 + h;
         }},
        {"gpix_size", [](const Args&) { return float(gget_pix_width() * 10000 + gget_pix_height()); }},
        {"gclear_ws", [](const Args&) { return float(gclear_ws(1, 1)); }},
        {"gcolor_blue",
         [](const Args& a) {
           float r = 0, g = 0, b = 0;
           gget_color_rgb(to_i(a[0]), &r, &g, &b);
           return b;
         }},
        {"gset_record_window", [](const Args& a) { return gset_record_window(to_i(a[0])), 0.0F; }},
        {"gredraw", [](const Args&) { return float(gget_redraw()); }},
        {"gobj_redraw_plot", [](const Args&) { return float(gobj_redraw_plot()); }},
        {"gobj_print_plot", [](const Args&) { return float(gobj_print_plot()); }},
        {"gset_display_optional", [](const Args& a) { return gset_display_optional(to_i(a[0])), 0.0F; }},
        {"gopen_ws", [](const Args& a) { return float(gopen_ws(1, a[0].c_str(), to_i(a[1]))); }},
        {"ghold", [](const Args&) { return ghold(), 0.0F; }},
    };
    return t;
  }

  template <typename A, typename B>
  static void expect_eq(const A& got, const B& want) {
    EXPECT_EQ(got, want);
  }
  static void expect_float_eq(float x, float y, float want_x, float want_y) {
    EXPECT_FLOAT_EQ(x, want_x);
    EXPECT_FLOAT_EQ(y, want_y);
  }
  static void expect_near(float got, float want, float tol) { EXPECT_NEAR(got, want, tol); }
  template <typename A, typename B>
  static void expect_ne(const A& got, const B& unwanted) {
    EXPECT_NE(got, unwanted);
  }

  // One step; false when the words make no step (a fault of the script).
  bool step(const Args& w) {
    const std::string& op = w[0];
    const Args a(w.begin() + 1, w.end());
    if (op == "open") {
      open_window();
    } else if (op == "title") {
      gset_win_title(a[0].c_str());
    } else if (op == "env") {  // a value beginning with "/" names a file in the test's directory
      const std::string v = a.size() < 2 ? "" : a[1][0] == '/' ? dir() + a[1] : a[1];
      setenv(a[0].c_str(), v.c_str(), 1);
    } else if (op == "unenv") {
      unsetenv(a[0].c_str());
    } else if (op == "res") {
      RES_put(a[0].c_str(), a[1].c_str());
    } else if (op == "update") {
      gupdate_window();
    } else if (op == "box") {
      box(to_i(a[0]), to_i(a[1]), to_i(a[2]), to_i(a[3]), to_i(a[4]));
    } else if (op == "line") {
      line(to_i(a[0]), to_i(a[1]), to_i(a[2]), to_i(a[3]), to_i(a[4]));
    } else if (op == "frame") {  // a frame filled with a colour, then shown
      gcreate_frame(to_i(a[0]));
      gselect_frame(to_i(a[0]));
      box(0, 0, 639, 511, to_i(a[1]));
      gdisplay_frame(to_i(a[0]));
    } else if (op == "key") {  // keysym, modifiers (A Alt, S shift, C control, - none), pixel
      const bool at = a.size() > 2;
      feed(key_event(XStringToKeysym(a[0].c_str()), mods(a[1]), at ? to_i(a[2]) : 10, at ? to_i(a[3]) : 10));
    } else if (op == "press" || op == "release") {
      const int type = op == "press" ? ButtonPress : ButtonRelease;
      feed(button_event(type, static_cast<unsigned>(to_i(a[0])), mods(a[1]), to_i(a[2]), to_i(a[3])));
    } else if (op == "motion") {
      XEvent m{};
      m.xmotion.type = MotionNotify;
      m.xmotion.window = gget_top_window();
      m.xmotion.x = to_i(a[0]);
      m.xmotion.y = to_i(a[1]);
      feed(m);
    } else if (op == "client") {  // format, "string" or "wm", and a value or "delete"
      XEvent e{};
      e.xclient.type = ClientMessage;
      e.xclient.window = gget_top_window();
      e.xclient.message_type = a[1] == "wm" ? gx11_wm_protocols() : XA_STRING;
      e.xclient.format = to_i(a[0]);
      if (e.xclient.format == 8) {
        e.xclient.data.b[0] = static_cast<char>(to_i(a[2]));
      } else {
        e.xclient.data.l[0] = a[2] == "delete" ? static_cast<long>(gx11_wm_delete()) : to_i(a[2]);
      }
      feed(e);
    } else if (op == "send") {  // a message through the server; events until a call gives a value
      send_client(me, gget_top_window(), to_i(a[0]));
      for (int i = 0; i < 100 && calls().at(a[1])({}) != to_f(a[2]); ++i) {
        gcheck_event();
        usleep(10000);
      }
    } else if (op == "callback") {  // one that starts a box at the shifted press of button 1
      gset_mouse_callback([](int kind, const char* name, float x, float y) {
        record_call(kind, name, x, y);
        if (std::string(name) == "B1-P-Shft") gset_rubber_band(2);
        return 0;
      });
    } else if (op == "limits") {  // a world rectangle from pixel columns and rows
      const float lim[4] = {to_f(a[0]), row(to_i(a[1])), to_f(a[2]), row(to_i(a[3]))};
      gset_rubber_band_limits(lim);
    } else if (op == "anchor") {
      const float p[2] = {to_f(a[0]), row(to_i(a[1]))};
      gset_rubber_band_points(p, 1, to_i(a[2]));
    } else if (op == "writer") {  // gif or xwd: ok, bad or none
      GksImageWriter f = nullptr;
      if (a[1] == "ok") f = [](const char*) { return 1; };
      if (a[1] == "bad") f = [](const char*) { return 0; };
      gset_image_writer(a[0] == "gif" ? GKS_IMAGE_GIF : GKS_IMAGE_XWD, f);
    } else if (op == "capture") {
      CaptureStdout();
      capturing_out = true;
    } else if (op == "capture_err") {
      CaptureStderr();
      capturing_err = true;
    } else if (op == "stdout") {  // without text: the output is not looked at
      capturing_out = false;
      const std::string got = GetCapturedStdout();
      if (!a.empty()) expect_eq(got, a[0]);
    } else if (op == "stderr") {
      capturing_err = false;
      expect_eq(GetCapturedStderr(), a[0]);
    } else if (op == "pixel") {  // column, row, colour, and base, top or frameN
      expect_eq(where(a, 3).at(to_i(a[0]), to_i(a[1])), static_cast<unsigned>(to_i(a[2])));
    } else if (op == "area") {
      expect_eq(all(where(a, 5), to_i(a[0]), to_i(a[1]), to_i(a[2]), to_i(a[3]), static_cast<unsigned>(to_i(a[4]))), true);
    } else if (op == "name") {
      expect_eq(window_name(me, gget_top_window()), a[0]);
    } else if (op == "pattern") {  // every pixel tells where it is; kept as "orig"
      for (int x = 0; x < 640; x += 8) box(x, 0, x + 3, 511, 1 + (x / 8) % 3);
      for (int r = 0; r < 512; r += 10) line(0, r, 639, r, (r / 10) % 4);
      for (int x = 5; x < 640; x += 37) line(x, 0, x, 511, 0);
      kept["orig"] = picture();
    } else if (op == "switch") {  // two frames exchange their pixmaps
      const unsigned long p = gget_frame_drawable(to_i(a[0])), q = gget_frame_drawable(to_i(a[1]));
      gswitch_frame(to_i(a[0]), to_i(a[1]));
      expect_eq(std::vector{gget_frame_drawable(to_i(a[0])), gget_frame_drawable(to_i(a[1]))}, std::vector{q, p});
    } else if (op == "keepid") {
      kept_id = gget_frame_drawable(to_i(a[0]));
    } else if (op == "sameid") {
      expect_eq(gget_frame_drawable(to_i(a[0])), kept_id);
    } else if (op == "pixel_tran") {
      pixel_tran();
    } else if (op == "resize") {  // by the user, then the events until the picture follows
      XResizeWindow(me, gget_top_window(), static_cast<unsigned>(to_i(a[0])), static_cast<unsigned>(to_i(a[1])));
      XSync(me, False);
      for (int i = 0; i < 200 && gget_pix_width() != to_i(a[0]); ++i) {
        gcheck_event();
        usleep(10000);
      }
    } else if (op == "attrs") {  // the window's width, height and border as the server has them
      XWindowAttributes at{};
      XGetWindowAttributes(me, gget_top_window(), &at);
      expect_eq(std::vector{at.width, at.height, a.size() > 2 ? at.border_width : -1}, std::vector{to_i(a[0]), to_i(a[1]), a.size() > 2 ? to_i(a[2]) : -1});
    } else if (op == "userplaced") {  // the size hints say the user gave position and size
      XSizeHints hints{};
      long supplied = 0;
      expect_ne(XGetWMNormalHints(me, gget_top_window(), &hints, &supplied), 0);
      expect_eq(hints.flags & (USPosition | USSize), USPosition | USSize);
    } else if (op == "class") {
      XClassHint cls{};
      expect_ne(XGetClassHint(me, gget_top_window(), &cls), 0);
      expect_eq(std::string(cls.res_class != nullptr ? cls.res_class : ""), a[0]);
      XFree(cls.res_name);
      XFree(cls.res_class);
    } else if (op == "extra") {  // what follows the title in the window's name
      char extra[16] = "";
      expect_eq(gget_win_title_extra(extra, sizeof extra), static_cast<int>(a[0].size()));
      expect_eq(std::string(extra), a[0]);
    } else if (op == "calledxy") {  // index, x and y of a callback not about a pointer
      const std::size_t i = static_cast<std::size_t>(to_i(a[0]));
      if (i < called().size()) expect_float_eq(called()[i].x, called()[i].y, to_f(a[1]), to_f(a[2]));
    } else if (op == "clear") {  // the picture lost, as when another window covered it
      gx11_clear(gget_base_window());
    } else if (op == "file_has" || op == "file_lacks") {  // text in a file of the test's directory
      const std::size_t at = read_file(dir() + "/" + a[0]).find(a[1]);
      if (op == "file_has") expect_ne(at, std::string::npos);
      if (op == "file_lacks") expect_eq(at, std::string::npos);
      if (a.size() > 2) expect_eq(at, static_cast<std::size_t>(to_i(a[2])));
    } else if (op == "keep") {
      kept[a[0]] = where(a, 1);
    } else if (op == "same") {
      expect_eq(where(a, 1).rgb, kept[a[0]].rgb);
    } else if (op == "changed") {  // a pixel no longer that of the picture kept as "before"
      expect_ne(where(a, 2).at(to_i(a[0]), to_i(a[1])), kept["before"].at(to_i(a[0]), to_i(a[1])));
    } else if (op == "zoomed") {
      expect_eq(picture().rgb, zoomed(to_i(a[0]), to_i(a[1]), to_i(a[2])).rgb);
    } else if (op == "ncalled") {
      expect_eq(called().size(), static_cast<std::size_t>(to_i(a[0])));
    } else if (op == "called") {  // index (-1 the last), kind, name, pixel column and row; - any
      const int i = to_i(a[0]);
      const int n = static_cast<int>(called().size());
      expect_eq(i < n && n > 0, true);
      if (i >= n || n == 0) return true;
      const Called& c = i < 0 ? called().back() : called()[static_cast<std::size_t>(i)];
      if (a[1] != "-") expect_eq(c.kind, to_i(a[1]));
      if (a[2] != "-") expect_eq(c.name, a[2]);
      if (a.size() > 3) expect_float_eq(c.x, c.y, to_f(a[3]), row(to_i(a[4])));
    } else if (op == "call") {  // function, arguments, and "= value" to compare within 1e-6
      const auto f = calls().find(a[0]);
      if (f == calls().end()) return false;
      const auto eq = std::find(a.begin(), a.end(), "=");
      const float got = f->second(Args(a.begin() + 1, eq));
      if (eq != a.end()) expect_near(got, to_f(*(eq + 1)), eq + 2 != a.end() ? to_f(*(eq + 2)) : 1e-6F);
    } else {
      return false;
    }
    return true;
  }

  void run(const Script& s) {
    called().clear();
    gset_mouse_callback(record_call);
    for (const auto& [n, w] : s.steps) {
      SCOPED_TRACE("line " + std::to_string(n) + ": " + w[0]);
      ASSERT_TRUE(step(w)) << "no such step";
      if (HasFatalFailure()) break;
    }
    if (capturing_out) GetCapturedStdout();
    if (capturing_err) GetCapturedStderr();
  }
};

TEST_P(Session, Runs) { run(GetParam()); }

inline std::string session_name(const testing::TestParamInfo<Script>& info) { return info.param.name; }
