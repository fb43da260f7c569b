// The object list on the window: replayed onto the window after its picture is lost, into
// a PostScript file, and into a metafile by Alt-m; the sessions are scripts in
// tests/data/graphics/gks_obj_window.txt.
#include "tests/graphics/gks_session.h"  // first: GoogleTest before Xlib

#include <X11/keysym.h>

#include "graphics/gks_x11.h"
#include "tests/graphics/gks_render.h"
#include "tests/support/capture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(ObjWindow, Session, testing::ValuesIn(scripts("gks_obj_window")), session_name);

class ObjWindow : public WindowTest {
 protected:
  std::string dir;
  void SetUp() override {
    WindowTest::SetUp();
    dir = make_temp_dir("objwin");
  }
  void TearDown() override {
    unsetenv("zavps_print");
    unsetenv("METAOUT");
    gset_redraw(0);
    WindowTest::TearDown();
  }
};

TEST_F(ObjWindow, ReplaysOnTheWindowAndIntoFiles) {
  // Recording from the opening on, so that the colours and transformations are replayed.
  gset_redraw(1);
  open_window();
  line(10, 20, 200, 20, 2);
  box(300, 300, 349, 339, 3);
  gx11_clear(gget_base_window());
  ASSERT_EQ(picture().at(100, 20), kBlack);
  gset_cursor(4);
  EXPECT_GT(gobj_redraw_plot(), 0);
  XPicture p = picture();
  EXPECT_EQ(p.at(100, 20), kRed);
  EXPECT_EQ(p.at(320, 320), kGreen);
  EXPECT_EQ(picture(gget_top_window()).rgb, p.rgb);  // and shown
  EXPECT_EQ(gget_redraw(), 1);                       // recording goes on
  EXPECT_EQ(gget_cursor(), 4);  // the busy cursor only while it runs

  // Into PostScript: the same drawing on the page, the window untouched.
  const std::string ps = dir + "/replay.ps";
  setenv("zavps_print", ps.c_str(), 1);
  EXPECT_EQ(gobj_print_plot(), 0);
  EXPECT_EQ(gget_win_type(), WS_X11);
  float w = 0, h = 0;
  gget_win_size(&w, &h);
  EXPECT_EQ((std::vector{w, h}), (std::vector{640.0F, 512.0F}));
  const Picture page = render_ps(ps, false);
  ASSERT_EQ(page.width, 612);
  // The page lies on its side: the box fills a block in the page's middle.
  EXPECT_GT(page.count_dark(0, 0, page.width - 1, page.height - 1), 500);
  EXPECT_EQ(picture().rgb, p.rgb);

  // Alt-m while holding writes the metafile named by METAOUT.
  const std::string meta = dir + "/replay.meta";
  setenv("METAOUT", meta.c_str(), 1);
  gset_input_mode(1);
  XEvent k = key_event(XK_m, Mod1Mask);
  gprocess_x11_event(&k);
  const std::string text = read_file(meta);
  EXPECT_NE(text.find("PL 2 "), std::string::npos) << text.substr(0, 400);
  EXPECT_NE(text.find("FA 4 "), std::string::npos);

  // A file that cannot be made: the message, -1, and the window goes on.
  write_file(dir + "/file", "");
  setenv("zavps_print", (dir + "/file/x.ps").c_str(), 1);
  CaptureStderr();
  EXPECT_EQ(gobj_print_plot(), -1);
  EXPECT_EQ(GetCapturedStderr(), "gps_open_file: " + dir + "/file/x.ps: Not a directory\n"
                                 "gprint_plot: unable to open postscript file\n");
  EXPECT_EQ(gget_win_type(), WS_X11);
  EXPECT_EQ(picture().rgb, p.rgb);
}

}  // namespace
