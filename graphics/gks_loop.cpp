// Frames and looping. Frame pictures arrive with the window device; until then the
// table only counts the frames and tracks the current one, so callers see the same
// numbers they will see with a window.
#include "graphics/gks_loop.h"

namespace {
constexpr int max_frames = 128;
int num_images = 0;
int cur_frame = -1;
int looping = 0;
int loop_title = 1;
}  // namespace

int gcreate_frame(int n) {
  if (n < 0 || n >= num_images) n = num_images;
  if (n >= max_frames) return -1;
  if (n == num_images) ++num_images;
  return n;
}

int gselect_frame(int n) {
  if (n >= 0 && n < num_images) cur_frame = n;
  return cur_frame;
}

int gdisplay_frame(int n) {
  if (n >= 0 && n < num_images) cur_frame = n;
  return cur_frame;
}

int gcopy_frame(int to, int from) {
  return (to >= 0 && to < num_images && from >= 0 && from < num_images) ? 0 : -1;
}

int gclear_frame(int) { return 0; }

void gdelete_all_frames() {
  num_images = 0;
  cur_frame = -1;
  looping = 0;
}

int gget_num_images() { return num_images; }
int gget_cur_frame() { return cur_frame; }
void gset_looping(int on) { looping = on; }
int gget_looping() { return looping; }
void gset_loop_title(int on) { loop_title = on; }
int gget_loop_title() { return loop_title; }
