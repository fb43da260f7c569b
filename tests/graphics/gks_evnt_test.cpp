// Events of the window: the user's keys and buttons while a plot is held, the rubber band,
// the client messages of the loop program, and the image keys; the sessions are scripts
// in tests/data/graphics/gks_evnt.txt.
#include "tests/graphics/gks_session.h"  // first: GoogleTest before Xlib

namespace {

INSTANTIATE_TEST_SUITE_P(Events, Session, testing::ValuesIn(scripts("gks_evnt")), session_name);

using Events = WindowTest;

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
  called().clear();
  gset_mouse_callback(record_call);
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

}  // namespace
