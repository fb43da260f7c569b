// Events of the window: the user's keys and buttons while a plot is held, the rubber band,
// the client messages of the loop program, and the image keys.
#include "tests/graphics/gks_window.h"  // first: GoogleTest before Xlib

#include <unistd.h>

#include "graphics/gks_evnt.h"
#include "tests/support/capture.h"
#include <X11/Xatom.h>
#include <X11/keysym.h>

namespace {

class Events : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    called().clear();
    gset_mouse_callback(record_call);
  }
  void feed(XEvent e) { gprocess_x11_event(&e); }
  // Three frames: red, green and white, frame 2 shown.
  void three_frames() {
    for (int f = 0; f < 3; ++f) {
      gcreate_frame(f);
      gselect_frame(f);
      box(0, 0, 639, 511, f == 2 ? 1 : 2 + f);
      gdisplay_frame(f);
    }
  }
};

// Keys pressed at the real server reach the window while it holds the plot: Return
// releases the hold and is named "ret"; the pointer's position comes with every key.
Display* typist = nullptr;
// Keys typed before the hold begins are not the hold's: the user types once it waits.
void type_keys() {
  if (typist == nullptr) return;
  press_key(typist, "a", true, true);
  press_key(typist, "b", false, false);
  press_key(typist, "Return");
  typist = nullptr;
}

TEST_F(Events, ReturnReleasesTheHold) {
  open_window();
  gupdate_window();
  pointer_to(me, gget_top_window(), 100, 411);
  typist = me;
  gset_refresh_callback(1, type_keys);
  ghold();
  EXPECT_EQ(gget_input_state(), 0);
  ASSERT_EQ(called().size(), 3u);
  EXPECT_EQ(called()[0].kind, 2);
  EXPECT_EQ(called()[0].name, "A-Alt-Shft");
  EXPECT_EQ(called()[1].name, "b");
  EXPECT_EQ(called()[2].name, "ret");
  EXPECT_FLOAT_EQ(called()[2].x, 100.0F);
  EXPECT_FLOAT_EQ(called()[2].y, row(411));
}

TEST_F(Events, AltQReleasesAndKeysWaitForTheHold) {
  open_window();
  XEvent k = key_event(XK_q, Mod1Mask);
  feed(k);  // not holding: nothing happens
  EXPECT_TRUE(called().empty());
  gset_input_mode(1);
  k = key_event(XK_c, ControlMask);
  feed(k);
  EXPECT_EQ(gget_input_state(), 2);
  k = key_event(XK_q, Mod1Mask);
  feed(k);
  EXPECT_EQ(gget_input_state(), 3);
  EXPECT_EQ(gget_input_mode(), 0);
  ASSERT_EQ(called().size(), 2u);
  EXPECT_EQ(called()[0].name, "\x03-Cntrl");
  EXPECT_EQ(called()[1].name, "q-Alt");
  // A modifier alone is no key.
  gset_input_mode(1);
  k = key_event(XK_Shift_L, 0);
  feed(k);
  EXPECT_EQ(called().size(), 2u);
}

// Buttons step through the frames, toggle the loop and change its speed.
TEST_F(Events, ButtonsStepAndLoop) {
  open_window();
  three_frames();
  gset_input_mode(1);
  feed(button_event(ButtonPress, 3, 0, 50, 60));  // next: wraps to 0
  EXPECT_EQ(gget_cur_frame(), 0);
  EXPECT_EQ(picture().at(5, 5), kRed);
  EXPECT_EQ(window_name(me, gget_top_window()), "X11 Graph [0]");
  feed(button_event(ButtonPress, 1, 0, 50, 60));  // previous: back to 2
  EXPECT_EQ(gget_cur_frame(), 2);
  EXPECT_EQ(picture().at(5, 5), kWhite);
  CaptureStdout();
  feed(button_event(ButtonPress, 2, 0, 50, 60));
  EXPECT_EQ(gget_looping(), 1);
  ginc_loop_delay(-0.4F);
  feed(button_event(ButtonPress, 3, 0, 50, 60));  // faster: 0.1 becomes 0.05
  EXPECT_NEAR(gget_loop_delay(), 0.05F, 1e-6);
  feed(button_event(ButtonPress, 1, 0, 50, 60));  // slower below 0.09: +0.05
  feed(button_event(ButtonPress, 1, 0, 50, 60));  // then +0.1
  EXPECT_NEAR(gget_loop_delay(), 0.2F, 1e-6);
  EXPECT_NEAR(gget_frame_delay(0), 0.2F, 1e-6);
  EXPECT_NEAR(gget_frame_delay(2), 1.0F, 1e-6);  // the last frame keeps its dwell
  feed(button_event(ButtonPress, 2, Mod1Mask, 50, 60));  // with Alt: no loop change
  EXPECT_EQ(gget_looping(), 1);
  EXPECT_EQ(GetCapturedStdout(),
            "Looping initiated\nLoop delay decremented to: 0.10\nLoop delay decremented to: 0.05\n"
            "Loop delay incremented to: 0.10\nLoop delay incremented to: 0.20\n");
  ASSERT_EQ(called().size(), 7u);
  EXPECT_EQ(called()[0].kind, 3);
  EXPECT_EQ(called()[0].name, "B3-P");
  EXPECT_EQ(called()[6].name, "B2-P-Alt");
  EXPECT_FLOAT_EQ(called()[0].x, 50.0F);
  EXPECT_FLOAT_EQ(called()[0].y, row(60));
}

// Alt-] and Alt-[ show the next and previous frame, or change the loop's speed; Alt-l
// toggles the loop and Alt-d deletes the frame shown.
TEST_F(Events, AltKeysOfTheFrames) {
  open_window();
  three_frames();
  gset_input_mode(1);
  feed(key_event(XK_bracketleft, Mod1Mask));
  EXPECT_EQ(gget_cur_frame(), 1);
  feed(key_event(XK_bracketright, Mod1Mask));
  EXPECT_EQ(gget_cur_frame(), 2);
  feed(key_event(XK_l, Mod1Mask));
  EXPECT_EQ(gget_looping(), 1);
  feed(key_event(XK_bracketright, Mod1Mask));
  EXPECT_NEAR(gget_loop_delay(), 0.4F, 1e-6);
  feed(key_event(XK_bracketleft, Mod1Mask));
  EXPECT_NEAR(gget_loop_delay(), 0.5F, 1e-6);
  feed(key_event(XK_l, Mod1Mask));
  EXPECT_EQ(gget_looping(), 0);
  feed(key_event(XK_d, Mod1Mask));
  EXPECT_EQ(gget_num_images(), 2);
  EXPECT_EQ(gget_cur_frame(), 1);
  EXPECT_EQ(picture().at(5, 5), kGreen);
  EXPECT_EQ(called().back().name, "d-Alt");
}

// A box dragged with shift and button 1: drawn in exclusive-or on the window while the
// pointer moves, erased at the release, whose callback gets the box's end.
TEST_F(Events, RubberBandBox) {
  open_window();
  box(0, 0, 639, 511, 0);
  gupdate_window();
  const XPicture before = picture(gget_top_window());
  gset_mouse_callback([](int kind, const char* name, float x, float y) {
    record_call(kind, name, x, y);
    if (std::string(name) == "B1-P-Shft") gset_rubber_band(2);
    return 0;
  });
  gset_input_mode(1);
  feed(button_event(ButtonPress, 1, ShiftMask, 100, 100));
  XEvent m{};
  m.xmotion.type = MotionNotify;
  m.xmotion.window = gget_top_window();
  m.xmotion.x = 200, m.xmotion.y = 150;
  feed(m);
  const XPicture during = picture(gget_top_window());
  EXPECT_NE(during.at(100, 100), before.at(100, 100));
  EXPECT_NE(during.at(200, 150), before.at(200, 150));
  EXPECT_NE(during.at(150, 150), before.at(150, 150));
  EXPECT_EQ(during.at(150, 120), before.at(150, 120));  // inside the box: untouched
  // Limits keep the end inside a world rectangle.
  const float lim[4] = {0, row(511), 180, row(0)};
  gset_rubber_band_limits(lim);
  feed(button_event(ButtonRelease, 1, Button1Mask | ShiftMask, 250, 150));
  EXPECT_EQ(picture(gget_top_window()).rgb, before.rgb);
  EXPECT_EQ(gget_rubber_band(), 0);
  ASSERT_EQ(called().size(), 2u);
  EXPECT_EQ(called()[1].name, "B1-R-Shft");
  EXPECT_FLOAT_EQ(called()[1].x, 180.0F);
  EXPECT_FLOAT_EQ(called()[1].y, row(150));
}

// Constrained cross-hairs keep the anchor's y (constraint 1) or x (2).
TEST_F(Events, ConstrainedCrossHairs) {
  open_window();
  gset_input_mode(1);
  const float anchor[2] = {300, row(200)};
  gset_rubber_band(3);
  gset_rubber_band_points(anchor, 1, 1);
  feed(button_event(ButtonRelease, 1, 0, 420, 333));
  ASSERT_EQ(called().size(), 1u);
  EXPECT_FLOAT_EQ(called()[0].x, 420.0F);
  EXPECT_FLOAT_EQ(called()[0].y, row(200));
  gset_rubber_band(3);
  gset_rubber_band_points(anchor, 1, 2);
  feed(button_event(ButtonRelease, 3, 0, 420, 333));
  EXPECT_EQ(called()[1].name, "B3-R");
  EXPECT_FLOAT_EQ(called()[1].x, 300.0F);
  EXPECT_FLOAT_EQ(called()[1].y, row(333));
}

// The loop program's messages: 9 releases the hold, 2 makes a new frame; the window
// manager's close request releases it too. Others are ignored.
TEST_F(Events, ClientMessages) {
  open_window();
  box(0, 0, 639, 511, 2);
  gset_input_mode(1);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = gget_top_window();
  e.xclient.message_type = XA_STRING;
  e.xclient.format = 32;
  e.xclient.data.l[0] = 12345;
  feed(e);
  e.xclient.format = 8;
  e.xclient.data.b[0] = 77;
  feed(e);
  EXPECT_EQ(gget_input_state(), 1);
  // A new frame without frames: the picture becomes frame 0, and the loop starts.
  CaptureStdout();
  send_client(me, gget_top_window(), 2);
  for (int i = 0; i < 100 && gget_num_images() == 0; ++i) gcheck_event(), usleep(10000);
  GetCapturedStdout();
  ASSERT_EQ(gget_num_images(), 1);
  EXPECT_EQ(gget_looping(), 1);
  EXPECT_EQ(picture(gget_frame_drawable(0)).at(9, 9), kRed);
  EXPECT_EQ(window_name(me, gget_top_window()), "X11 Graph");
  // With frames: the last picture is kept and a cleared one follows it.
  feed(e);
  e.xclient.data.b[0] = 2;
  feed(e);
  ASSERT_EQ(gget_num_images(), 2);
  EXPECT_EQ(picture(gget_frame_drawable(0)).at(9, 9), kRed);
  EXPECT_EQ(picture(gget_frame_drawable(1)).at(9, 9), kBlack);
  send_client(me, gget_top_window(), 9);
  for (int i = 0; i < 100 && gget_input_mode(); ++i) gcheck_event(), usleep(10000);
  EXPECT_EQ(gget_input_state(), 3);
  gset_input_mode(1);
  e.xclient.message_type = gx11_wm_protocols();
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(gx11_wm_delete());
  feed(e);
  EXPECT_EQ(gget_input_state(), 3);
}

int written_ok(const char*) { return 1; }
int written_bad(const char*) { return 0; }

// Alt-g with one frame names the file by the first five characters of the title, blanks
// made underscores; with a looping sequence one file a frame.
TEST_F(Events, ImageKeys) {
  gset_win_title("My plot");
  open_window();
  gset_input_mode(1);
  CaptureStderr();
  feed(key_event(XK_g, Mod1Mask));
  EXPECT_EQ(GetCapturedStderr(), "gprocess_x11_event: GIF files are not available: My_pl.gif is not written\n");
  gset_image_writer(GKS_IMAGE_GIF, written_ok);
  gset_image_writer(GKS_IMAGE_XWD, written_bad);
  CaptureStdout();
  feed(key_event(XK_g, Mod1Mask));
  EXPECT_EQ(GetCapturedStdout(), "Created GIF file: My_pl.gif\n");
  RES_put("image_path", "/tmp/img");
  CaptureStderr();
  feed(key_event(XK_x, Mod1Mask));
  EXPECT_EQ(GetCapturedStderr(), "gprocess_x11_event: Unable to write XWD file: /tmp/img/My_pl.xwd\n");
  for (int f = 0; f < 2; ++f) gcreate_frame(f);
  gdisplay_frame(1);
  CaptureStdout();
  gset_looping(1);
  feed(key_event(XK_g, Mod1Mask));
  EXPECT_EQ(GetCapturedStdout(),
            "Looping initiated\nCreating GIF files:\nCreated GIF file: /tmp/img/My_pl-00.gif\n"
            "Created GIF file: /tmp/img/My_pl-01.gif\n");
  gset_looping(0);
  CaptureStdout();
  feed(key_event(XK_g, Mod1Mask));
  EXPECT_EQ(GetCapturedStdout(), "Created GIF file: /tmp/img/My_pl-01.gif\n");
  gset_image_writer(GKS_IMAGE_GIF, nullptr);
  gset_image_writer(GKS_IMAGE_XWD, nullptr);
}

}  // namespace
