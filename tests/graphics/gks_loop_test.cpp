// Frames and looping on the window, and the hold loop with its refresh; the sessions are
// scripts in tests/data/graphics/gks_loop.txt.
#include "tests/graphics/gks_session.h"  // first: GoogleTest before Xlib

#include <chrono>

namespace {

INSTANTIATE_TEST_SUITE_P(Frames, Session, testing::ValuesIn(scripts("gks_loop")), session_name);

using Frames = WindowTest;

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
