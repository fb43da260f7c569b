// Frames and looping on the window, and the hold loop with its refresh.
#include "tests/graphics/gks_window.h"  // first: GoogleTest before Xlib

#include <chrono>

#include "graphics/gks_loop.h"
#include "tests/support/capture.h"

namespace {

class Frames : public WindowTest {};

TEST_F(Frames, CreateSelectDisplay) {
  open_window();
  for (int f = 0; f < 3; ++f) {
    EXPECT_EQ(gcreate_frame(-1), f);
    EXPECT_EQ(gselect_frame(f), f);
    box(10 * f, 0, 10 * f + 9, 9, 2 + f % 2);
  }
  EXPECT_EQ(gget_num_images(), 3);
  // Each new frame makes the one before it dwell the loop delay; the last dwells 1 s.
  EXPECT_EQ((std::vector{gget_frame_delay(0), gget_frame_delay(1), gget_frame_delay(2)}),
            (std::vector{0.5F, 0.5F, 1.0F}));
  // Drawing went into the frames, not the window's picture.
  EXPECT_EQ(picture().at(5, 5), kBlack);
  EXPECT_EQ(gdisplay_frame(1), 1);
  XPicture p = picture();
  EXPECT_EQ(p.at(15, 5), kGreen);
  EXPECT_EQ(p.at(5, 5), kBlack);
  EXPECT_EQ(window_name(me, gget_top_window()), "X11 Graph [1]");
  EXPECT_EQ(gget_cur_frame(), 1);
  // Copies, clears and exchanges.
  gcopy_frame(0, 2);
  EXPECT_EQ(picture(gget_frame_drawable(0)).at(25, 5), kRed);
  const unsigned long a = gget_frame_drawable(0), b = gget_frame_drawable(1);
  gswitch_frame(0, 1);
  EXPECT_EQ((std::vector{gget_frame_drawable(0), gget_frame_drawable(1)}), (std::vector{b, a}));
  gclear_frame(GKS_FRAME_LAST);
  EXPECT_EQ(picture(gget_frame_drawable(2)).at(25, 5), kBlack);
  gset_loop_title(0);
  gdisplay_frame(0);
  EXPECT_EQ(window_name(me, gget_top_window()), "X11 Graph [1]");  // unchanged
  gset_loop_title(1);
  // Drawing into nothing.
  EXPECT_EQ(gselect_frame(GKS_FRAME_BASE), GKS_FRAME_BASE);
  box(0, 0, 639, 511, 2);
  EXPECT_EQ(picture(gget_frame_drawable(0)).at(300, 300), kBlack);
}

// Deleting the only frame keeps its pixmap, leaves no frames and clears the window.
TEST_F(Frames, DeletingTheOnlyFrame) {
  open_window();
  gcreate_frame(0);
  gselect_frame(0);
  box(0, 0, 639, 511, 2);
  gdisplay_frame(0);
  const unsigned long kept = gget_frame_drawable(0);
  EXPECT_EQ(picture().at(9, 9), kRed);
  gdelete_frame(0);
  EXPECT_EQ(gget_num_images(), 0);
  EXPECT_EQ(picture().at(9, 9), kBlack);
  EXPECT_EQ(picture(gget_top_window()).at(9, 9), kBlack);
  EXPECT_EQ(gcreate_frame(0), 0);
  EXPECT_EQ(gget_frame_drawable(0), kept);
}

TEST_F(Frames, DeletingTheLastOfSeveral) {
  open_window();
  for (int f = 0; f < 3; ++f) gcreate_frame(f);
  gdisplay_frame(2);
  gdelete_frame(2);
  EXPECT_EQ(gget_num_images(), 2);
  EXPECT_EQ(gget_cur_frame(), 1);
  EXPECT_FLOAT_EQ(gget_frame_delay(1), 1.0F);
  gdelete_frame(0);
  EXPECT_EQ(gget_num_images(), 1);
  EXPECT_EQ(gget_cur_frame(), 0);
}

// The next frame: forward wraps with direction 1; from direction 2 on the loop swings.
TEST_F(Frames, NextFrameByDirection) {
  open_window();
  EXPECT_EQ(ginc_frame(0), -1);
  for (int f = 0; f < 3; ++f) gcreate_frame(f);
  gdisplay_frame(2);
  const struct { int direction, step, next, direction_after; } t[] = {
      {1, 0, 0, 1}, {2, 0, 1, 2}, {3, 0, 1, 2}, {0, 0, 1, 0}, {1, 1, 0, 1}, {1, -1, 1, 1},
  };
  for (const auto& c : t) {
    gset_loop_direct(c.direction);
    EXPECT_EQ(ginc_frame(c.step), c.next) << c.direction << " " << c.step;
    EXPECT_EQ(gget_loop_direct(), c.direction_after) << c.direction;
  }
  gdisplay_frame(0);
  gset_loop_direct(2);
  EXPECT_EQ(ginc_frame(0), 1);  // below 0 swings forward
  EXPECT_EQ(gget_loop_direct(), 3);
  gset_loop_direct(0);
  EXPECT_EQ(ginc_frame(0), 2);  // below 0 wraps to the last
}

TEST_F(Frames, LoopDelays) {
  open_window();
  gcreate_frame(0);
  gset_loop_delay(-4, 2.0F);  // every frame but the last: with one frame, none
  EXPECT_FLOAT_EQ(gget_frame_delay(0), 1.0F);
  gcreate_frame(1);
  gset_loop_delay(-4, 2.0F);
  EXPECT_EQ((std::vector{gget_frame_delay(0), gget_frame_delay(1)}), (std::vector{2.0F, 1.0F}));
  gset_loop_delay(-1, 3.0F);
  gdisplay_frame(0);
  gset_loop_delay(-2, 0.25F);
  gset_loop_delay(200, 9.0F);
  EXPECT_EQ((std::vector{gget_frame_delay(0), gget_frame_delay(1)}), (std::vector{0.25F, 3.0F}));
  gset_frame_id(1, 42);
  EXPECT_EQ(gget_frame_id(-1), 42);
}

// Without a display every frame function does nothing.
TEST_F(Frames, NothingWithoutADisplay) {
  setenv("DISPLAY", ":9999", 1);
  gset_display_optional(1);
  ASSERT_EQ(gopen_ws(1, "", WS_X11), 0);
  EXPECT_EQ(gcreate_frame(0), 0);
  EXPECT_EQ(gget_num_images(), 0);
  EXPECT_EQ(gselect_frame(0), 0);
  EXPECT_EQ(gdisplay_frame(0), 0);
  EXPECT_EQ(gcopy_frame(0, 1), 0);
  gset_looping(1);
  EXPECT_EQ(gget_looping(), 0);
  ghold();  // returns at once
}

// Looping during the hold shows each frame for its dwell; a refresh callback is called
// at its interval; the hold ends on the release.
int refreshes = 0;
void count_refresh() {
  ++refreshes;
  if (refreshes == 2) grelease_hold();
}

TEST_F(Frames, HoldLoopsAndRefreshes) {
  open_window();
  for (int f = 0; f < 3; ++f) gcreate_frame(f);
  gdisplay_frame(0);
  gset_loop_delay(-4, 0.1F);
  gset_loop_delay(-1, 0.1F);
  gset_looping(1);
  refreshes = 0;
  gset_refresh_callback(1, count_refresh);
  const auto start = std::chrono::steady_clock::now();
  ghold();
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(refreshes, 2);
  EXPECT_GE(took, 1.9);
  EXPECT_LT(took, 4.0);
  EXPECT_EQ(gget_input_state(), 0);
  EXPECT_EQ(gget_cursor(), 0);
}

}  // namespace
