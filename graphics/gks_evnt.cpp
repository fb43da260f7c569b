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

// The window device keeps these settings for the window it opens; without one they are
// only remembered.
namespace {
int rubber_band = 0;
int cursor = 0;
int pix_mode = 0;
int rw_colors = 0;
int local_cmap = 0;
}  // namespace

void gset_rubber_band(int mode) { rubber_band = mode; }
int gget_rubber_band() { return rubber_band; }
void gset_cursor(int shape) { cursor = shape; }
int gget_cursor() { return cursor; }
void gupdate_window() {}
void gset_pix_mode(int mode) { pix_mode = mode; }
int gget_pix_mode() { return pix_mode; }
void gset_rw_colors(int on) { rw_colors = on; }
int gget_rw_colors() { return rw_colors; }
void gset_local_cmap(int on) { local_cmap = on; }
int gget_local_cmap() { return local_cmap; }
