// Window sessions read from scripts under tests/data/graphics/: each line an action on the
// window as the user or a program above gives it, or a check of what the window shows and
// what the kernel answers, so that the cases of the window tests are data.
#pragma once
#include "tests/graphics/gks_window.h"  // first: GoogleTest before Xlib

#include <chrono>
#include <map>

#include "tests/graphics/gks_calls.h"
#include "tests/graphics/gks_render.h"
#include "tests/support/capture.h"
#include "tests/support/gwin_calls.h"
#include "tests/support/run.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

// The sessions of tests/data/graphics/<file>.txt.
inline std::vector<Script> scripts(const std::string& file) { return scripts_of("graphics/" + file + ".txt"); }

class Session : public WindowTest, public testing::WithParamInterface<Script> {
 protected:
  using Args = std::vector<std::string>;
  std::map<std::string, XPicture> kept;
  bool capturing_out = false, capturing_err = false;
  unsigned long kept_id = 0;
  std::string dir_;
  Window foreign_w = 0;  // another program's window and pixmap
  Pixmap foreign_pix = 0;

  // "depth 8" as the first step: a screen of 8 bits, colours in the cells of a colormap.
  int depth() const override {
    const auto& s = GetParam().steps;
    return !s.empty() && s[0].second[0] == "depth" ? to_i(s[0].second[1]) : 24;
  }
  // $W, $P and $D: the foreign window, its pixmap and the test's directory.
  std::string subst(std::string t) {
    for (const auto& [k, v] : {std::pair<std::string, std::string>{"$W", std::to_string(foreign_w)}, {"$P", std::to_string(foreign_pix)}, {"$D", dir()}})
      for (std::size_t p; (p = t.find(k)) != std::string::npos;) t.replace(p, 2, v);
    return t;
  }
  // The colour of a colormap cell, as 16-bit red, green and blue.
  std::vector<int> cell(unsigned long pixel) {
    XColor c{};
    c.pixel = pixel;
    XWindowAttributes a{};
    XGetWindowAttributes(me, gget_top_window(), &a);
    XQueryColor(me, a.colormap, &c);
    return {c.red, c.green, c.blue};
  }

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
    if (w[k] == "foreign") return picture(foreign_pix);
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

  // The kernel's functions a script calls by name.
  static const std::map<std::string, gks_calls::Call>& calls() {
    static const std::map<std::string, gks_calls::Call> t = gks_calls::with_shared({
        GKS_CALL(gcreate_frame), GKS_CALL(gselect_frame), GKS_CALL(gdisplay_frame), GKS_CALL(gdelete_frame),
        GKS_CALL(gclear_frame), GKS_CALL(gcopy_frame), GKS_CALL(gget_num_images), GKS_CALL(gget_cur_frame),
        GKS_CALL(gget_frame_delay), GKS_CALL(gset_loop_delay), GKS_CALL(ginc_loop_delay), GKS_CALL(gget_loop_delay),
        GKS_CALL(gset_looping), GKS_CALL(gget_looping), GKS_CALL(gset_loop_direct), GKS_CALL(gget_loop_direct),
        GKS_CALL(ginc_frame), GKS_CALL(gset_loop_title), GKS_CALL(gset_frame_id), GKS_CALL(gget_frame_id),
        GKS_CALL(gset_input_mode), GKS_CALL(gget_input_mode), GKS_CALL(gget_input_state), GKS_CALL(gzoom),
        GKS_CALL(gget_zoom), GKS_CALL(gget_zoom_center), GKS_CALL(greset_zoom), GKS_CALL(gunzoom), GKS_CALL(xZ_p),
        GKS_CALL(yZ_p), GKS_CALL(gset_rubber_band), GKS_CALL(gget_rubber_band), GKS_CALL(galloc_colr),
        GKS_CALL(gget_max_colr), GKS_CALL(gset_win_title_extra), GKS_CALL(gset_win_title), GKS_CALL(gget_pix_width),
        GKS_CALL(gget_pix_height), GKS_CALL(gclear_ws), GKS_CALL(gset_record_window), GKS_CALL(gget_redraw),
        GKS_CALL(gobj_redraw_plot), GKS_CALL(gobj_print_plot), GKS_CALL(gset_display_optional), GKS_CALL(ghold),
        GKS_CALL(gset_rw_colors), GKS_CALL(gget_rw_colors), GKS_CALL(gset_local_colormap), GKS_CALL(gx11_error_count),
        GKS_CALL(gx11_error_flag), GKS_CALL(gset_pix_mode), GKS_CALL(gset_cursor), GKS_CALL(gget_cursor),
        GKS_CALL(gupdate_window),
    });
    return t;
  }

  // EXPECT_* in an unbraced "if" would be an ambiguous "else".
  template <typename A, typename B>
  static void expect_eq(const A& got, const B& want) {
    EXPECT_EQ(got, want);
  }
  static void expect_xy(float x, float y, float want_x, float want_y) {
    EXPECT_FLOAT_EQ(x, want_x);
    EXPECT_FLOAT_EQ(y, want_y);
  }

  // One step; false when the words make no step (a fault of the script).
  bool step(const Args& w) {
    const std::string& op = w[0];
    const Args a(w.begin() + 1, w.end());
    if (op == "open") {
      open_window();
    } else if (op == "env") {  // a value beginning with "/" names a file in the test's directory
      const std::string v = a.size() < 2 ? "" : a[1][0] == '/' ? dir() + a[1] : a[1];
      setenv(a[0].c_str(), v.c_str(), 1);
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
      for (int i = 0; i < 100 && calls().at(a[1])({}).at(0) != to_f(a[2]); ++i) {
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
      EXPECT_EQ(GetCapturedStderr(), subst(a[0]));
    } else if (op == "pixel") {  // column, row, colour, and base, top or frameN
      EXPECT_EQ(where(a, 3).at(to_i(a[0]), to_i(a[1])), static_cast<unsigned>(to_i(a[2])));
    } else if (op == "area") {
      EXPECT_EQ(all(where(a, 5), to_i(a[0]), to_i(a[1]), to_i(a[2]), to_i(a[3]), static_cast<unsigned>(to_i(a[4]))), true);
    } else if (op == "name") {
      EXPECT_EQ(window_name(me, gget_top_window()), a[0]);
    } else if (op == "pattern") {  // every pixel tells where it is; kept as "orig"
      for (int x = 0; x < 640; x += 8) box(x, 0, x + 3, 511, 1 + (x / 8) % 3);
      for (int r = 0; r < 512; r += 10) line(0, r, 639, r, (r / 10) % 4);
      for (int x = 5; x < 640; x += 37) line(x, 0, x, 511, 0);
      kept["orig"] = picture();
    } else if (op == "switch") {  // two frames exchange their pixmaps
      const unsigned long p = gget_frame_drawable(to_i(a[0])), q = gget_frame_drawable(to_i(a[1]));
      gswitch_frame(to_i(a[0]), to_i(a[1]));
      EXPECT_EQ((std::vector{gget_frame_drawable(to_i(a[0])), gget_frame_drawable(to_i(a[1]))}), (std::vector{q, p}));
    } else if (op == "keepid") {
      kept_id = gget_frame_drawable(to_i(a[0]));
    } else if (op == "sameid") {
      EXPECT_EQ(gget_frame_drawable(to_i(a[0])), kept_id);
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
      EXPECT_EQ((std::vector{at.width, at.height, a.size() > 2 ? at.border_width : -1}), (std::vector{to_i(a[0]), to_i(a[1]), a.size() > 2 ? to_i(a[2]) : -1}));
    } else if (op == "userplaced") {  // the size hints say the user gave position and size
      XSizeHints hints{};
      long supplied = 0;
      EXPECT_NE(XGetWMNormalHints(me, gget_top_window(), &hints, &supplied), 0);
      EXPECT_EQ(hints.flags & (USPosition | USSize), USPosition | USSize);
    } else if (op == "class") {
      XClassHint cls{};
      EXPECT_NE(XGetClassHint(me, gget_top_window(), &cls), 0);
      EXPECT_EQ(std::string(cls.res_class != nullptr ? cls.res_class : ""), a[0]);
      XFree(cls.res_name);
      XFree(cls.res_class);
    } else if (op == "extra") {  // what follows the title in the window's name
      char extra[16] = "";
      EXPECT_EQ(gget_win_title_extra(extra, sizeof extra), static_cast<int>(a[0].size()));
      EXPECT_EQ(std::string(extra), a[0]);
    } else if (op == "calledxy") {  // index, x and y of a callback not about a pointer
      const std::size_t i = static_cast<std::size_t>(to_i(a[0]));
      if (i < called().size()) expect_xy(called()[i].x, called()[i].y, to_f(a[1]), to_f(a[2]));
    } else if (op == "clear") {  // the picture lost, as when another window covered it
      gx11_clear(gget_base_window());
    } else if (op == "file_has" || op == "file_lacks") {  // text in a file of the test's directory
      const std::size_t at = read_file(dir() + "/" + a[0]).find(a[1]);
      if (op == "file_has") expect_eq(at != std::string::npos, true);
      if (op == "file_lacks") expect_eq(at, std::string::npos);
      if (a.size() > 2) expect_eq(at, static_cast<std::size_t>(to_i(a[2])));
    } else if (op == "keep") {
      kept[a[0]] = where(a, 1);
    } else if (op == "same") {
      EXPECT_EQ(where(a, 1).rgb, kept[a[0]].rgb);
    } else if (op == "changed") {  // a pixel no longer that of the picture kept as "before"
      EXPECT_NE(where(a, 2).at(to_i(a[0]), to_i(a[1])), kept["before"].at(to_i(a[0]), to_i(a[1])));
    } else if (op == "zoomed") {
      EXPECT_EQ(picture().rgb, zoomed(to_i(a[0]), to_i(a[1]), to_i(a[2])).rgb);
    } else if (op == "ncalled") {
      EXPECT_EQ(called().size(), static_cast<std::size_t>(to_i(a[0])));
    } else if (op == "called") {  // index (-1 the last), kind, name, pixel column and row; - any
      const int i = to_i(a[0]);
      const int n = static_cast<int>(called().size());
      EXPECT_EQ(i < n && n > 0, true);
      if (i >= n || n == 0) return true;
      const Called& c = i < 0 ? called().back() : called()[static_cast<std::size_t>(i)];
      if (a[1] != "-") expect_eq(c.kind, to_i(a[1]));
      if (a[2] != "-") expect_eq(c.name, a[2]);
      if (a.size() > 3) expect_xy(c.x, c.y, to_f(a[3]), row(to_i(a[4])));
    } else if (op == "depth") {
    } else if (op == "foreign") {  // its picture filled with 0x336699; its id files in the test's directory
      foreign_w = XCreateSimpleWindow(me, DefaultRootWindow(me), 0, 0, 640, 512, 0, 0, 0);
      XStoreName(me, foreign_w, "Loop [3]");
      foreign_pix = XCreatePixmap(me, foreign_w, 640, 512, static_cast<unsigned>(DefaultDepth(me, 0)));
      XSetForeground(me, DefaultGC(me, 0), 0x336699);
      XFillRectangle(me, foreign_pix, DefaultGC(me, 0), 0, 0, 640, 512);
      XSync(me, False);
      RES_put("file_path", dir().c_str());
    } else if (op == "idfile") {
      write_file(dir() + "/" + a[0], subst(a[1]));
    } else if (op == "xdraw") {  // the device, and the answer of the opening
      EXPECT_EQ(gopen_ws(1, subst(a[0]).c_str(), WS_XDRAW), to_i(a[2]));
    } else if (op == "wintitle") {
      EXPECT_EQ(std::string(gget_win_title()), a[0]);
    } else if (op == "told") {  // the foreign window's message from us: format 8, first byte
      XEvent ev;
      XSync(me, False);
      const bool got = XCheckTypedWindowEvent(me, foreign_w, ClientMessage, &ev) != 0;
      EXPECT_EQ((std::pair<int, int>{got ? ev.xclient.format : 0, got ? ev.xclient.data.b[0] : 0}), (std::pair{8, to_i(a[0])}));
    } else if (op == "private_colormap") {
      XWindowAttributes at{};
      XGetWindowAttributes(me, gget_top_window(), &at);
      EXPECT_NE(at.colormap, DefaultColormap(me, 0));
    } else if (op == "cell") {  // colour index, then the 16-bit red, green and blue of its cell
      gsync();
      EXPECT_EQ(cell(static_cast<unsigned long>(gget_color_ind(to_i(a[0])))), (std::vector{to_i(a[1]), to_i(a[2]), to_i(a[3])}));
    } else if (op == "keepind" || op == "sameind") {  // the cell of a colour index
      if (op == "keepind") kept_id = static_cast<unsigned long>(gget_color_ind(to_i(a[0])));
      else EXPECT_EQ(static_cast<unsigned long>(gget_color_ind(to_i(a[0]))), kept_id);
    } else if (op == "xerrors") {  // requests that succeed, then one freeing a pixmap that is not there
      for (int i = 0; i < 3; ++i) XFreeGC(gget_display(), XCreateGC(gget_display(), gget_base_window(), 0, nullptr));
      XFreePixmap(gget_display(), 0x7FFFFF0);
      gsync();
    } else if (op == "touch") {
      write_file(dir() + "/" + a[0], "");
    } else if (op == "ps_dark") {  // a file of the test's directory on a letter page: more dark pixels than given
      const Picture page = render_ps(dir() + "/" + a[0], false);
      EXPECT_EQ(page.width, 612);
      EXPECT_GT(page.count_dark(0, 0, page.width - 1, page.height - 1), to_i(a[1]));
    } else if (op == "hold_refresh") {  // looping frames during a hold released by the second refresh: seconds it took
      static int refreshes = 0;
      refreshes = 0;
      gset_refresh_callback(1, [] {
        if (++refreshes == 2) grelease_hold();
      });
      const auto start = std::chrono::steady_clock::now();
      ghold();
      const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      EXPECT_EQ(refreshes, 2);
      EXPECT_TRUE(took >= to_f(a[0]) && took < to_f(a[1])) << took;
    } else if (op == "typed_hold") {  // a hold whose keys the user types at the real server once it waits
      pointer_to(me, gget_top_window(), to_i(a[0]), to_i(a[1]));
      static Display* typist = nullptr;
      typist = me;
      gset_refresh_callback(1, [] {
        if (typist == nullptr) return;
        press_key(typist, "a", true, true);
        press_key(typist, "b", false, false);
        press_key(typist, "Return");
        typist = nullptr;
      });
      ghold();
    } else if (op == "call") {  // a kernel function as in kernel.txt ("= values" within 1e-6, "~TOL values", "> value")
      const auto f = calls().find(a[0]);
      if (f == calls().end()) return false;
      const gks_calls::Expect e = gks_calls::expected(Args(a.begin() + 1, a.end()), 1e-6F);
      gks_calls::compare(f->second(e.args), e);
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

