// Events and the callbacks registered for them. Only the window device has events; it
// serves them through gcheck_event and gwait_event.
#include "graphics/gks_evnt.h"

namespace {
GksMouseFunc mouse_callback = nullptr;
GksRefreshFunc refresh_callback = nullptr;
int refresh_seconds = 0;
}  // namespace

void gset_mouse_callback(GksMouseFunc function) { mouse_callback = function; }
GksMouseFunc gget_mouse_callback() { return mouse_callback; }

void gset_refresh_callback(int seconds, GksRefreshFunc function) {
  refresh_seconds = seconds > 0 ? seconds : 0;
  refresh_callback = function;
}

GksRefreshFunc gget_refresh_callback(int* seconds) {
  if (seconds != nullptr) *seconds = refresh_seconds;
  return refresh_callback;
}

int gcheck_event() { return 0; }
int gwait_event() { return 0; }
