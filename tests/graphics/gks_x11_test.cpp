// The window device under a private X server: what it shows, resizing, colours, another
// program's drawable, and the X11 errors that end the program.
#include "tests/graphics/gks_session.h"  // first: GoogleTest before Xlib

#include <unistd.h>

namespace {

INSTANTIATE_TEST_SUITE_P(X11, Session, testing::ValuesIn(scripts("gks_x11")), session_name);

using X11 = WindowTest;

// Another program's drawable, named by the window-id file of the loop program.
class Foreign : public WindowTest {
 protected:
  Window w = 0;
  Pixmap pix = 0;
  std::string dir;
  void SetUp() override {
    WindowTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    w = XCreateSimpleWindow(me, DefaultRootWindow(me), 0, 0, 640, 512, 0, 0, 0);
    XStoreName(me, w, "Loop [3]");
    pix = XCreatePixmap(me, w, 640, 512, static_cast<unsigned>(DefaultDepth(me, 0)));
    GC g = DefaultGC(me, 0);
    XSetForeground(me, g, 0x336699);
    XFillRectangle(me, pix, g, 0, 0, 640, 512);
    XSync(me, False);
    dir = make_temp_dir("loop");
    RES_put("file_path", dir.c_str());
  }
  void id_file(const std::string& name, const std::string& text) { write_file(dir + "/" + name, text); }
};

TEST_F(Foreign, DrawsIntoTheDrawableOfTheIdFile) {
  id_file("zavloop.7", "+" + std::to_string(w) + ":" + std::to_string(pix) + ":640x512:0\n");
  gset_pix_mode(9);
  ASSERT_EQ(gopen_ws(1, ",w7", WS_XDRAW), 0);
  EXPECT_STREQ(gget_win_title(), "Loop");  // cut before " ["
  const float c[3] = {1, 0, 0};
  gset_colr_rep(1, 2, c);
  pixel_tran();
  line(5, 5, 50, 5, 2);
  const XPicture p = picture(pix);
  EXPECT_TRUE(Session::all(p, 5, 5, 50, 5, kRed));
  EXPECT_EQ(p.at(60, 5), 0x336699u);  // the owner's picture stays
  gclose_ws(1);
  // The owner is told to end its hold.
  XEvent ev;
  XSync(me, False);
  ASSERT_TRUE(XCheckTypedWindowEvent(me, w, ClientMessage, &ev));
  EXPECT_EQ(ev.xclient.format, 8);
  EXPECT_EQ(ev.xclient.data.b[0], 9);
}

TEST_F(Foreign, PlacedByTheGeometryInsideTheDrawable) {
  RES_put("geometry", "P2x2+1+0");  // the upper-right quarter
  ASSERT_EQ(gopen_ws(1, ("," + std::to_string(pix) + ":640x512:0").c_str(), WS_XDRAW), 0);
  float wd = 0, ht = 0, ox = 0, oy = 0;
  gget_win_size(&wd, &ht);
  gget_win_offset(&ox, &oy);
  EXPECT_EQ((std::vector{wd, ht, ox, oy}), (std::vector{320.0F, 256.0F, 320.0F, 0.0F}));
  const float c[3] = {0, 1, 0};
  gset_colr_rep(1, 3, c);
  pixel_tran();
  line(0, 255, 319, 255, 3);  // the bottom row of the quarter
  const XPicture p = picture(pix);
  EXPECT_TRUE(Session::all(p, 320, 255, 639, 255, kGreen));
  EXPECT_EQ(p.at(319, 255), 0x336699u);
  EXPECT_EQ(p.at(320, 256), 0x336699u);
}

// Window-id files and parameters that are missing, malformed or name nothing are
// reported; nothing is drawn and nothing crashes.
TEST_F(Foreign, HostileParametersAreRefused) {
  id_file("zavloop.1", "garbage\n");
  id_file("zavloop.2", "+99999999:99999999:640x512:0\n");
  id_file("zavloop.3", std::string(5000, '+') + "\n");
  id_file("zavloop.win", "+" + std::to_string(w) + ":" + std::to_string(pix) + ":-5x99999:77\n");
  const struct { std::string device; const char* err; } t[] = {
      {",w1", "gopen_ws: window id not specified\n"},
      {",w2", "gopen_ws: unable to open window\n"},
      {",w3", "gopen_ws: window id not specified\n"},
      {",w9", "gopen_ws: unable to open window id file\n"},
      {",0x0:640x512:0", "gopen_ws: window id not specified\n"},
      {",123456789:640x512:0", "gopen_ws: unable to open window\n"},
      {",abc", "gopen_ws: window id not specified\n"},
  };
  for (const auto& c : t) {
    CaptureStderr();
    EXPECT_EQ(gopen_ws(1, c.device.c_str(), WS_XDRAW), -1) << c.device;
    EXPECT_EQ(GetCapturedStderr(), c.err) << c.device;
    EXPECT_EQ(gchk_graphics(), 0);
  }
  // A size out of range falls back to the default; an unknown colormap to the default one.
  CaptureStderr();
  ASSERT_EQ(gopen_ws(1, ",W", WS_XDRAW), 0);
  EXPECT_EQ(GetCapturedStderr(), "gopen_ws: unknown colormap 77: the default one is used\n");
  float wd = 0, ht = 0;
  gget_win_size(&wd, &ht);
  EXPECT_EQ((std::vector{wd, ht}), (std::vector{640.0F, 512.0F}));
}

}  // namespace

// The leak checker of the sanitizer builds would run at the exit of a death test's child
// and end that child with its own status: the child, which ends the program on purpose
// with the window and its frames still held, turns it off first. The sanitizers' other
// checks stay on.
#if defined(__SANITIZE_ADDRESS__)
namespace {
bool program_ends_here = false;
}  // namespace
extern "C" int __lsan_is_turned_off() { return program_ends_here ? 1 : 0; }
#define NO_LEAK_CHECK_AT_EXIT() (program_ends_here = true)
#else
#define NO_LEAK_CHECK_AT_EXIT() (void)0
#endif

namespace {

// 25 X11 errors end the program with status 4, each named with its request; so do a lost
// display and a window that another client destroys, which leaves nothing to draw on or to
// wait for (at the next look at its events or the first error about the window).
TEST_F(X11, ErrorsThatEndTheProgram) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  const struct { int how; const char* message; } t[] = {
      {0, "^(X11 error: BadPixmap \\(invalid Pixmap parameter\\) in X_FreePixmap\n){25}X11 error: too many errors\n$"},
      {1, "Fatal X11 Error\n$"},
      {2, "X11 error: the window was destroyed by another client\n$"},
      {3, "X11 error: the window was destroyed by another client\n$"},
  };
  for (const auto& c : t) {
    SCOPED_TRACE(c.how);
    EXPECT_EXIT(
        {
          NO_LEAK_CHECK_AT_EXIT();
          open_window();
          if (c.how >= 1) gcreate_frame(0);
          if (c.how == 1) server->stop();
          if (c.how >= 2) {
            XDestroyWindow(me, gget_top_window());
            XSync(me, False);
          }
          for (int i = 0; i < 100; ++i) {
            if (c.how == 0) XFreePixmap(gget_display(), 0x7FFFFF0);
            if (c.how == 1) line(0, 0, 10, 10, 2);
            if (c.how == 2) gcheck_event();
            if (c.how == 3) gupdate_window();
            gsync();
            if (c.how >= 2) usleep(20000);
          }
          std::exit(0);
        },
        testing::ExitedWithCode(4), c.message);
  }
}

// Errors while printing is on are reported without ending the program below the limit.
TEST_F(X11, AFewErrorsAreReported) {
  open_window();
  CaptureStderr();
  for (int i = 0; i < 3; ++i) XFreeGC(gget_display(), reinterpret_cast<GC>(XCreateGC(gget_display(), gget_base_window(), 0, nullptr)));
  XFreePixmap(gget_display(), 0x7FFFFF0);
  gsync();
  EXPECT_EQ(GetCapturedStderr(), "X11 error: BadPixmap (invalid Pixmap parameter) in X_FreePixmap\n");
  EXPECT_EQ(gx11_error_count(), 1);
  EXPECT_EQ(gx11_error_flag(), 1);
  EXPECT_EQ(gx11_error_flag(), 0);
}

// A screen of 8 bits: colours in cells of a colormap, read-write when asked for.
class Pseudo : public WindowTest {
 protected:
  int depth() const override { return 8; }
  XColor cell(unsigned long pixel) {
    XColor c{};
    c.pixel = pixel;
    XWindowAttributes a{};
    XGetWindowAttributes(me, gget_top_window(), &a);
    XQueryColor(me, a.colormap, &c);
    return c;
  }
};

TEST_F(Pseudo, ReadWriteCellsChangeInPlace) {
  gset_rw_colors(1);
  open_window();
  ASSERT_EQ(gget_rw_colors(), 1);
  const int red = gget_color_ind(2);
  box(0, 0, 19, 19, 2);
  gsync();
  EXPECT_EQ(cell(static_cast<unsigned long>(red)).red, 65535);
  const float blue[3] = {0, 0, 1};
  ASSERT_EQ(gset_colr_rep(1, 2, blue), 0);
  EXPECT_EQ(gget_color_ind(2), red);  // the same cell, now blue
  const XColor c = cell(static_cast<unsigned long>(red));
  EXPECT_EQ((std::vector<int>{c.red, c.green, c.blue}), (std::vector<int>{0, 0, 65535}));
}

TEST_F(Pseudo, SharedColoursAndAPrivateColormap) {
  gset_local_colormap(1);
  open_window();
  XWindowAttributes a{};
  XGetWindowAttributes(me, gget_top_window(), &a);
  EXPECT_NE(a.colormap, DefaultColormap(me, 0));
  const int red = gget_color_ind(2);
  const XColor c = cell(static_cast<unsigned long>(red));
  EXPECT_EQ((std::vector<int>{c.red, c.green, c.blue}), (std::vector<int>{65535, 0, 0}));
  const float blue[3] = {0, 0, 1};
  ASSERT_EQ(gset_colr_rep(1, 2, blue), 0);
  const XColor b = cell(static_cast<unsigned long>(gget_color_ind(2)));
  EXPECT_EQ(b.blue, 65535);
}

}  // namespace
