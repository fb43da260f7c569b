// Pixel-replicating zoom of the window, driven by Alt-z and Alt-u as the user gives them;
// the sessions are scripts in tests/data/graphics/gks_zoom.txt.
#include "tests/graphics/gks_session.h"  // first: GoogleTest before Xlib

namespace {

INSTANTIATE_TEST_SUITE_P(Zoom, Session, testing::ValuesIn(scripts("gks_zoom")), session_name);

}  // namespace
