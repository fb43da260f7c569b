// The window device under a private X server: what it shows, resizing, colours, another
// program's drawable, and the X11 errors that end the program.
#include "tests/graphics/gks_window.h"  // first: GoogleTest before Xlib

#include <unistd.h>

#include <fstream>

#include "graphics/gks_loop.h"
#include "graphics/gks_x11.h"
#include "tests/support/capture.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

class X11 : public WindowTest {};

// Whether every pixel of the rectangle (inclusive) has colour c.
bool all(const XPicture& p, int x0, int y0, int x1, int y1, unsigned c) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (p.at(x, y) != c) return false;
  return true;
}

TEST_F(X11, TheWindowShowsWhatIsDrawn) {
  gset_win_title("Surface_temp");
  open_window();
  const Window top = gget_top_window();
  ASSERT_NE(top, 0u);
  EXPECT_EQ(window_name(me, top), "Surface temp");
  XClassHint cls{};
  ASSERT_NE(XGetClassHint(me, top, &cls), 0);
  EXPECT_STREQ(cls.res_class, "Zav");
  XFree(cls.res_name), XFree(cls.res_class);
  XWindowAttributes a{};
  XGetWindowAttributes(me, top, &a);
  EXPECT_EQ((std::vector{a.width, a.height, a.border_width}), (std::vector{640, 512, 5}));

  line(10, 100, 200, 100, 2);
  box(300, 300, 400, 350, 3);
  const XPicture p = picture();
  ASSERT_EQ(p.width, 640);
  EXPECT_TRUE(all(p, 10, 100, 200, 100, kRed));
  EXPECT_EQ(p.at(9, 100), kBlack);
  EXPECT_EQ(p.at(201, 100), kBlack);
  EXPECT_EQ(p.at(100, 99), kBlack);
  // The fill reaches the pixels of its outline and no further.
  EXPECT_TRUE(all(p, 300, 300, 400, 350, kGreen));
  EXPECT_EQ(p.at(401, 320), kBlack);
  EXPECT_EQ(p.at(350, 351), kBlack);
  // The window shows the backing pixmap once it is updated.
  gupdate_window();
  const XPicture w = picture(top);
  EXPECT_EQ(w.rgb, p.rgb);
  save_png(w, ::testing::TempDir() + "window_draws.png");
}

TEST_F(X11, InverseColoursGiveAWhiteBackground) {
  setenv("zavinverse", "1", 1);
  open_window();
  gset_inverse(0);
  unsetenv("zavinverse");
  const XPicture p = picture();
  EXPECT_TRUE(all(p, 0, 0, 639, 511, kWhite));
}

TEST_F(X11, GeometryAndSizeAreTheUsers) {
  RES_put("geometry", "300x200+20+30");
  open_window();
  XWindowAttributes a{};
  XGetWindowAttributes(me, gget_top_window(), &a);
  EXPECT_EQ((std::vector{a.width, a.height}), (std::vector{300, 200}));
  float w = 0, h = 0;
  gget_win_size(&w, &h);
  EXPECT_EQ((std::vector{w, h}), (std::vector{300.0F, 200.0F}));
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_NE(XGetWMNormalHints(me, gget_top_window(), &hints, &supplied), 0);
  EXPECT_TRUE(hints.flags & USPosition);
  EXPECT_TRUE(hints.flags & USSize);
}

// A window resized from 640 by 512 to 800 by 600 keeps the old picture in the top-left of
// the new backing pixmap, frees all frames and calls back with "size", 800 and 600.
TEST_F(X11, AResizeKeepsThePictureAndCallsBack) {
  open_window();
  box(600, 480, 639, 511, 2);
  line(0, 0, 639, 0, 3);
  gcreate_frame(0);
  gcreate_frame(1);
  ASSERT_EQ(gget_num_images(), 2);
  called().clear();
  gset_mouse_callback(record_call);
  XResizeWindow(me, gget_top_window(), 800, 600);
  XSync(me, False);
  for (int i = 0; i < 200 && gget_pix_width() != 800; ++i) {
    gcheck_event();
    usleep(10000);
  }
  ASSERT_EQ((std::vector{gget_pix_width(), gget_pix_height()}), (std::vector{800, 600}));
  ASSERT_EQ(called().size(), 1u);
  EXPECT_EQ(called()[0].kind, 2);
  EXPECT_EQ(called()[0].name, "size");
  EXPECT_EQ((std::vector{called()[0].x, called()[0].y}), (std::vector{800.0F, 600.0F}));
  EXPECT_EQ(gget_num_images(), 0);
  float w = 0, h = 0;
  gget_win_size(&w, &h);
  EXPECT_EQ((std::vector{w, h}), (std::vector{800.0F, 600.0F}));
  const XPicture p = picture();
  EXPECT_TRUE(all(p, 600, 480, 639, 511, kRed));
  EXPECT_TRUE(all(p, 0, 0, 639, 0, kGreen));
  EXPECT_TRUE(all(p, 640, 0, 799, 599, kBlack));
  EXPECT_TRUE(all(p, 0, 512, 639, 599, kBlack));
  // The kernel draws on the new surface: its top row is row 0 again.
  pixel_tran();
  line(700, 590, 790, 590, 3);
  EXPECT_TRUE(all(picture(), 700, 590, 790, 590, kGreen));
}

// The title, and what follows it in the window's name.
TEST_F(X11, TitleExtras) {
  gset_win_title("Temp_F");
  open_window();
  gset_win_title_extra("[3]");
  EXPECT_EQ(window_name(me, gget_top_window()), "Temp F [3]");
  char extra[16];
  EXPECT_EQ(gget_win_title_extra(extra, sizeof extra), 3);
  EXPECT_STREQ(extra, "[3]");
  gset_win_title_extra("");
  EXPECT_EQ(window_name(me, gget_top_window()), "Temp F");
  gset_win_title("Dew_point");
  EXPECT_EQ(window_name(me, gget_top_window()), "Dew point");
}

// The background from a colour name that the display knows but the colour table does not.
TEST_F(X11, BackgroundByTheDisplaysColourName) {
  RES_put("background", "navy");
  open_window();
  gclear_ws(1, 1);
  EXPECT_TRUE(all(picture(), 0, 0, 639, 511, 0x000080));
  float r = 0, g = 0, b = 0;
  gget_color_rgb(-1, &r, &g, &b);
  EXPECT_NEAR(b, 128 / 255.0, 0.003);
}

// Shared colours on a direct-colour screen: every index gets a pixel of its colour; an
// index asked for with any number reuses a near colour.
TEST_F(X11, AnyIndexReusesANearColour) {
  open_window();
  EXPECT_EQ(gget_max_colr(), 3);
  EXPECT_EQ(galloc_colr(-1, 1.0F, 0.004F, 0.004F), 2);  // red, within 0.01
  EXPECT_EQ(galloc_colr(-1, 0.0F, 0.0F, 1.0F), 4);      // new: above the highest
  // The highest index itself is not searched: blue again is new, and then found at 4.
  EXPECT_EQ(galloc_colr(-1, 0.0F, 0.0F, 1.0F), 5);
  EXPECT_EQ(galloc_colr(-1, 0.0F, 0.0F, 1.0F), 4);
  EXPECT_EQ(gget_color_ind(4), 0x0000FF);
  box(0, 0, 9, 9, 4);
  EXPECT_EQ(picture().at(5, 5), 0x0000FFu);
}

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
  EXPECT_TRUE(all(p, 5, 5, 50, 5, kRed));
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
  EXPECT_TRUE(all(p, 320, 255, 639, 255, kGreen));
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

// 25 X11 errors end the program with status 4; each is named with its request.
TEST_F(X11, TwentyFiveErrorsEndTheProgram) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(
      {
        NO_LEAK_CHECK_AT_EXIT();
        open_window();
        for (int i = 0; i < 30; ++i) XFreePixmap(gget_display(), 0x7FFFFF0);
        gsync();
        std::exit(0);
      },
      testing::ExitedWithCode(4),
      "^(X11 error: BadPixmap \\(invalid Pixmap parameter\\) in X_FreePixmap\n){25}X11 error: too many errors\n$");
}

TEST_F(X11, ALostDisplayEndsTheProgram) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(
      {
        NO_LEAK_CHECK_AT_EXIT();
        open_window();
        gcreate_frame(0);
        server->stop();
        for (int i = 0; i < 100; ++i) {
          line(0, 0, 10, 10, 2);
          gsync();
        }
        std::exit(0);
      },
      testing::ExitedWithCode(4), "Fatal X11 Error\n$");
}

// A window that another client destroys leaves nothing to draw on or to wait for: the
// program ends as on a lost display, at the next look at its events or the first error
// about the window.
TEST_F(X11, AWindowDestroyedByAnotherClientEndsTheProgram) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  for (const bool by_event : {true, false}) {
    SCOPED_TRACE(by_event);
    EXPECT_EXIT(
        {
          NO_LEAK_CHECK_AT_EXIT();
          open_window();
          gcreate_frame(0);
          XDestroyWindow(me, gget_top_window());
          XSync(me, False);
          for (int i = 0; i < 100; ++i) {
            if (by_event)
              gcheck_event();
            else
              gupdate_window();
            gsync();
            usleep(20000);
          }
          std::exit(0);
        },
        testing::ExitedWithCode(4), "X11 error: the window was destroyed by another client\n$");
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
