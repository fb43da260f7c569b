// Shared set-up of the window tests: a private X server, the kernel's window workstation
// on it, and the test's own connection to look at the pictures and act as the user.
#pragma once
// GoogleTest first: Xlib's macros (None, Bool, Status) would clash with its names.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_line.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_zoom.h"
#include "tests/support/xvfb.h"

class WindowTest : public ::testing::Test {
 protected:
  std::unique_ptr<Xvfb> server;
  Display* me = nullptr;  // the test's own connection

  virtual int depth() const { return 24; }

  void SetUp() override {
    if (xvfb_program().empty()) GTEST_SKIP() << "Xvfb is not installed: the window tests cannot run";
    server = std::make_unique<Xvfb>(depth());
    ASSERT_TRUE(server->ok()) << server->why();
    me = XOpenDisplay(server->display().c_str());
    ASSERT_NE(me, nullptr);
    RES_clear();
    FLAG_reset(-9999);
    MESS_reset();
    unsetenv("zavinverse");
    unsetenv("LOCAL_CMAP");
    unsetenv("zavlocal_cmap");
    gopen_gks(nullptr, 0);
    GOBJ_reset_state();
    GEVNT_reset_state();
    GLOOP_reset_state();
    gset_inverse(0);
  }

  void TearDown() override {
    if (gchk_graphics()) gclose_ws(1);
    gclose_gks();
    GLOOP_reset_state();
    GZOOM_reset_state();
    GX11_reset_state();
    GDEV_reset_state();
    if (me != nullptr) XCloseDisplay(me);
    me = nullptr;
    server.reset();
  }

  // Opens the window with colours 0-3 black, white, red and green, the background black,
  // and transformation 1 in pixels: x to the right, y up from the bottom row.
  void open_window(const char* device = "") {
    ASSERT_EQ(gopen_ws(1, device, WS_X11), 0);
    const float c[4][3] = {{0, 0, 0}, {1, 1, 1}, {1, 0, 0}, {0, 1, 0}};
    for (int i = 0; i < 4; ++i) ASSERT_EQ(gset_colr_rep(1, i, c[i]), 0);
    pixel_tran();
  }

  static void pixel_tran() {
    float w = 0, h = 0;
    gget_win_size(&w, &h);
    const float ndc[4] = {0, 1, 0, (h - 1) / (w - 1)};
    gset_ws_win(1, ndc);
    gset_vp(1, ndc);
    const float world[4] = {0, w - 1, 0, h - 1};
    gset_win(1, world);
    gsel_norm_tran(1);
  }

  // World y of a pixel row.
  static float row(int r) {
    float h = 0;
    gget_win_size(nullptr, &h);
    return h - 1 - static_cast<float>(r);
  }

  static void line(int x0, int r0, int x1, int r1, int color) {
    gset_line_colr_ind(color);
    const float p[4] = {static_cast<float>(x0), row(r0), static_cast<float>(x1), row(r1)};
    gpolyline(2, p);
  }

  static void box(int x0, int r0, int x1, int r1, int color) {
    gset_fill_colr_ind(color);
    const float p[8] = {static_cast<float>(x0), row(r0), static_cast<float>(x1), row(r0),
                        static_cast<float>(x1), row(r1), static_cast<float>(x0), row(r1)};
    gfill_area(4, p);
  }

  // The picture of the backing pixmap (or of another drawable) after the kernel's
  // requests have reached the server.
  XPicture picture(Drawable d = 0) {
    gsync();
    return grab(me, d != 0 ? d : gget_base_window());
  }

  // An event of the window as the server would deliver it.
  static XEvent key_event(KeySym sym, unsigned state, int x = 10, int y = 10) {
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.display = gget_display();
    e.xkey.window = gget_top_window();
    e.xkey.root = DefaultRootWindow(gget_display());
    e.xkey.state = state;
    e.xkey.keycode = XKeysymToKeycode(gget_display(), sym);
    e.xkey.x = x, e.xkey.y = y;
    e.xkey.same_screen = True;
    return e;
  }

  static XEvent button_event(int type, unsigned button, unsigned state, int x, int y) {
    XEvent e{};
    e.xbutton.type = type;
    e.xbutton.display = gget_display();
    e.xbutton.window = gget_top_window();
    e.xbutton.button = button;
    e.xbutton.state = state;
    e.xbutton.x = x, e.xbutton.y = y;
    return e;
  }
};

// Callback calls the tests look at.
struct Called {
  int kind;
  std::string name;
  float x, y;
};
inline std::vector<Called>& called() {
  static std::vector<Called> c;
  return c;
}
inline int record_call(int kind, const char* name, float x, float y) {
  called().push_back({kind, name, x, y});
  return 0;
}
