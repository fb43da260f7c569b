// The window device under a private X server, as the scripts of tests/data/graphics/gks_*.txt:
// what it shows, resizing, colours, another program's drawable, events, frames, zoom and
// the object list; and here the X11 errors that end the program.
#include "tests/graphics/gks_session.h"  // first: GoogleTest before Xlib

#include <unistd.h>

namespace {

INSTANTIATE_TEST_SUITE_P(X11, Session, testing::ValuesIn(scripts("gks_x11")), script_name);
INSTANTIATE_TEST_SUITE_P(Events, Session, testing::ValuesIn(scripts("gks_evnt")), script_name);
INSTANTIATE_TEST_SUITE_P(Frames, Session, testing::ValuesIn(scripts("gks_loop")), script_name);
INSTANTIATE_TEST_SUITE_P(Zoom, Session, testing::ValuesIn(scripts("gks_zoom")), script_name);
INSTANTIATE_TEST_SUITE_P(ObjWindow, Session, testing::ValuesIn(scripts("gks_obj_window")), script_name);

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

using X11 = WindowTest;

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

}  // namespace
