// Frames, looping and the hold loop.
#include "graphics/gks_loop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/time.h>

#include "config/mess.h"
#include "config/system.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_x11.h"

namespace {

struct Frame {
  PixmapOwner pixmap;
  float dwell = 0.5F;
  int id = 0;
};

// The frames kept for the loop, the loop's course, and how a wait for input ends.
struct LoopState {
  std::array<Frame, GKS_MAX_FRAMES> images;
  int num_images = 0;
  int cur_image = -1;
  int looping = 0;
  int loop_direct = 1;
  float loop_delay = 0.5F;
  int loop_title = 1;
  GksZoomDisplay zoom_display = nullptr;

  int input_mode = 0;
  int refresh_seconds = 0;
  GksRefreshFunc refresh_callback = nullptr;
};
// Made at compile time: the kernel's wiring writes into it while statics are initialised.
GKS_CONSTINIT LoopState st;

constexpr unsigned level_frames = 0xF000000u;
constexpr unsigned level_loop = 0x40000000u;

bool usable() { return gget_display() != nullptr && gget_base_window() != 0; }

// A frame selector as a slot number: -1 the last frame, -2 the current one; -3 and
// anything outside the table give -1.
int slot(int n) {
  if (n == GKS_FRAME_LAST) n = st.num_images - 1;
  if (n == GKS_FRAME_CURRENT) n = st.cur_image;
  return (n >= 0 && n < GKS_MAX_FRAMES) ? n : -1;
}

// The picture of a frame selector: a frame's pixmap, or the backing pixmap for -3.
unsigned long picture(int n) {
  if (n == GKS_FRAME_BASE) return gget_base_window();
  const int s = slot(n);
  return s >= 0 ? st.images[s].pixmap.get() : 0;
}

double now() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

void show_next() {
  if (gis_mapped()) {
    const int next = ginc_frame(0);
    if (next >= 0) gdisplay_frame(next);
  }
  ZAV_init_time();
  gcheck_event();
}

}  // namespace

int gcreate_frame(int n) {
  if (!usable()) return 0;
  if (n < 0 || n > st.num_images) n = st.num_images;
  if (n >= GKS_MAX_FRAMES) {
    MESS_print(MESS_WARN, "gcreate_frame: no more than %d frames\n", GKS_MAX_FRAMES);
    return 0;
  }
  Frame& f = st.images[n];
  if (!f.pixmap) f.pixmap = gx11_new_pixmap();
  if (!f.pixmap) return 0;
  gx11_clear(f.pixmap.get());
  if (n > 0) st.images[n - 1].dwell = st.loop_delay;
  f.dwell = 1.0F;
  MESS_print(level_frames, "Created frame: %d-%ld\n", n, static_cast<long>(f.pixmap.get()));
  if (n == st.num_images) ++st.num_images;
  gobj_frame_created(n);
  return n;
}

int gselect_frame(int n) {
  if (!usable()) return 0;
  gset_redraw(0);
  if (n == GKS_FRAME_BASE) {
    gset_draw_window(0);
  } else {
    const int s = slot(n);
    if (s < 0 || s >= st.num_images || !st.images[s].pixmap) return 0;
    gset_draw_window(st.images[s].pixmap.get());
    n = s;
    gobj_frame_selected(n);
  }
  MESS_print(level_loop, "Selected frame: %d\n", n);
  return n;
}

int gdisplay_frame(int n) {
  if (!usable()) return 0;
  if (n < 0) n = st.cur_image;
  if (n < 0 || n >= st.num_images || !st.images[n].pixmap) return 0;
  st.cur_image = n;
  if (!(st.zoom_display != nullptr && st.zoom_display(n))) {
    gx11_copy(st.images[n].pixmap.get(), gget_base_window());
    gupdate_window();
  }
  if (st.loop_title && st.num_images > 0) {
    char extra[16];
    std::snprintf(extra, sizeof extra, "[%d]", n);
    gset_win_title_extra(extra);
  }
  MESS_print(level_loop, "Display frame: %d\n", n);
  return n;
}

int gcopy_frame(int to, int from) {
  if (!usable()) return 0;
  const unsigned long a = picture(from), b = picture(to);
  if (a == 0 || b == 0) return 0;
  gx11_copy(a, b);
  MESS_print(level_loop, "Copy frame: %d->%d\n", from, to);
  return 1;
}

int gclear_frame(int n) {
  if (!usable()) return 0;
  const unsigned long p = picture(n);
  if (p == 0) return 0;
  gx11_clear(p);
  return 1;
}

int gswitch_frame(int a, int b) {
  if (!usable()) return 0;
  if (a == GKS_FRAME_BASE) std::swap(a, b);
  const int sa = slot(a);
  if (sa < 0 || !st.images[sa].pixmap) return 0;
  if (b == GKS_FRAME_BASE) {
    gx11_swap_base(st.images[sa].pixmap);
    return 1;
  }
  const int sb = slot(b);
  if (sb < 0 || !st.images[sb].pixmap) return 0;
  st.images[sa].pixmap.swap(st.images[sb].pixmap);
  return 1;
}

int gdelete_frame(int n) {
  if (!usable()) return 0;
  const int s = slot(n);
  if (s < 0 || s >= st.num_images) return 0;
  const unsigned long gone = st.images[s].pixmap.get();
  // A sole frame keeps its pixmap for the next one.
  if (!(s == 0 && st.num_images == 1)) {
    if (gget_draw_window() == gone) gset_draw_window(gget_base_window());
    st.images[s].pixmap.reset();
  }
  const bool last = s == st.num_images - 1;
  for (int i = s; i < st.num_images - 1; ++i) {
    st.images[i].pixmap.swap(st.images[i + 1].pixmap);
    st.images[i].dwell = st.images[i + 1].dwell;
    st.images[i].id = st.images[i + 1].id;
  }
  --st.num_images;
  Frame& freed = st.images[st.num_images];
  if (st.num_images > 0) freed.pixmap.reset();
  freed.id = 0;
  if (last) {
    if (st.num_images > 0) st.images[st.num_images - 1].dwell = 1.0F;
    freed.dwell = st.loop_delay;
  }
  if (st.num_images == 0) {
    gx11_clear(gget_base_window());
    gupdate_window();
    st.cur_image = -1;
    return 1;
  }
  const bool was_current = st.cur_image == s;
  if (st.cur_image > s || st.cur_image >= st.num_images) --st.cur_image;
  st.cur_image = std::clamp(st.cur_image, 0, st.num_images - 1);
  if (was_current) gdisplay_frame(st.cur_image);
  return 1;
}

void gdelete_all_frames() {
  const unsigned long target = gget_draw_window();
  for (Frame& f : st.images) {
    if (f.pixmap && f.pixmap.get() == target) gset_draw_window(gget_base_window());
    f.pixmap.reset();
    f.dwell = 0.5F;
    f.id = 0;
  }
  st.num_images = 0;
  st.cur_image = -1;
  st.looping = 0;
}

void GLOOP_reset_state() {
  // The zoom the kernel wired at start-up stays.
  LoopState fresh;
  fresh.zoom_display = st.zoom_display;
  st = std::move(fresh);
}

void gforget_frames() {
  for (Frame& f : st.images) f.pixmap.forget();
  st.num_images = 0;
  st.cur_image = -1;
  st.looping = 0;
}

int gget_num_images() { return st.num_images; }
unsigned long gget_frame_drawable(int n) {
  if (n != GKS_FRAME_BASE && (slot(n) < 0 || slot(n) >= st.num_images)) return 0;
  return picture(n);
}
int gget_cur_frame() { return st.cur_image; }

int gget_frame_id(int n) {
  const int s = slot(n);
  return s >= 0 ? st.images[s].id : 0;
}

void gset_frame_id(int n, int id) {
  const int s = slot(n);
  if (s >= 0) st.images[s].id = id;
}

float gget_frame_delay(int n) {
  const int s = slot(n);
  return s >= 0 ? st.images[s].dwell : 0.0F;
}

void gset_loop_delay(int n, float seconds) {
  if (!std::isfinite(seconds) || seconds < 0.0F) return;
  if (n == -4) {
    for (int i = 0; i < st.num_images - 1; ++i) st.images[i].dwell = seconds;
    return;
  }
  if (n >= GKS_MAX_FRAMES) return;
  const int s = slot(n);
  if (s >= 0) st.images[s].dwell = seconds;
}

void ginc_loop_delay(float step) {
  if (!std::isfinite(step)) return;
  st.loop_delay = std::max(0.0F, st.loop_delay + step);
  for (int i = 0; i < st.num_images - 1; ++i) st.images[i].dwell = st.loop_delay;
  MESS_print(MESS_MESS, step >= 0.0F ? "Loop delay incremented to: %2.2f\n" : "Loop delay decremented to: %2.2f\n",
             st.loop_delay);
}

float gget_loop_delay() { return st.loop_delay; }

void gset_looping(int on) {
  if (!usable()) return;
  st.looping = on != 0 ? 1 : 0;
  gset_cursor(st.looping ? 3 : 4);
  MESS_print(MESS_MESS, st.looping ? "Looping initiated\n" : "Looping stopped\n");
}

int gget_looping() { return st.looping; }

void gtoggle_loop(int mode) {
  if (!usable()) return;
  gset_looping(mode == 1 ? 1 : mode == 0 ? 0 : !st.looping);
  gsync();
}

void gset_loop_direct(int direction) { st.loop_direct = direction; }
int gget_loop_direct() { return st.loop_direct; }

int ginc_frame(int step) {
  if (st.num_images < 1) return -1;
  if (step == 0) step = (st.loop_direct % 2 != 0) ? 1 : -1;
  const int from = st.cur_image < 0 ? 0 : st.cur_image;
  int next = from + step;
  if (next >= st.num_images) {
    if (st.loop_direct < 2) {
      next = 0;
    } else {
      next = st.num_images - 2;
      st.loop_direct = 2;
    }
  } else if (next < 0) {
    if (st.loop_direct < 2) {
      next = st.num_images - 1;
    } else {
      next = 1;
      st.loop_direct = 3;
    }
  }
  next = std::clamp(next, 0, st.num_images - 1);
  MESS_print(level_loop, "INC: %d-%d %d-%d\n", from, next, step, st.loop_direct);
  return next;
}

void gloop_sleep() {
  const float dwell = gget_frame_delay(GKS_FRAME_CURRENT);
  for (;;) {
    const float left = dwell - ZAV_elapse_time();
    if (left <= 0.0F) return;
    if (left >= 0.2F) {
      gcheck_event();
      if (!gget_input_mode() && st.input_mode != 0) return;
    }
    ZAV_sleep(std::min(left, 0.2F));
  }
}

void gset_loop_title(int on) { st.loop_title = on != 0 ? 1 : 0; }
int gget_loop_title() { return st.loop_title; }

void ginit_loop() {
  st.looping = 0;
  st.loop_direct = 1;
}

void gloop_set_zoom_display(GksZoomDisplay function) { st.zoom_display = function; }

// ---- hold ----

void gset_input_mode(int on) { st.input_mode = on == 1 ? 1 : 0; }
int gget_input_mode() { return (st.input_mode == 1 || st.input_mode == 2) ? 1 : 0; }
int gget_input_state() { return st.input_mode; }
void gset_input_state(int mode) { st.input_mode = (mode >= 0 && mode <= 3) ? mode : 0; }

void grelease_hold() {
  if (st.input_mode == 1 || st.input_mode == 2) st.input_mode = 3;
}

void gset_refresh_callback(int seconds, GksRefreshFunc function) {
  st.refresh_seconds = seconds > 0 ? seconds : 0;
  st.refresh_callback = function;
}

GksRefreshFunc gget_refresh_callback(int* seconds) {
  if (seconds != nullptr) *seconds = st.refresh_seconds;
  return st.refresh_callback;
}

void ghold() {
  if (!gtype_is_WIN() || gget_display() == nullptr || gget_top_window() == 0) return;
  gcheck_event();
  gsync();
  if (st.looping) ZAV_init_time();
  st.input_mode = 1;
  double due = now() + st.refresh_seconds;
  int idle = 0;
  while (st.input_mode == 1 || st.input_mode == 2) {
    const bool frames = st.num_images >= 2;
    if (st.refresh_seconds > 0) {
      if (frames && st.looping) {
        gset_cursor(3);
        gloop_sleep();
        // The user may have stopped the loop (or released the plot) during the dwell.
        if (st.looping && (st.input_mode == 1 || st.input_mode == 2)) show_next();
      } else {
        gset_cursor(frames ? 4 : 6);
        if (gcheck_event() > 0 || st.input_mode != 1) idle = 0;
        else ++idle;
        ZAV_sleep(idle < 50 ? 0.1F : 0.5F);
      }
    } else if (!frames) {
      gset_cursor(6);
      gwait_event();
    } else if (st.looping) {
      gset_cursor(3);
      gloop_sleep();
      // The user may have stopped the loop (or released the plot) during the dwell.
      if (st.looping && (st.input_mode == 1 || st.input_mode == 2)) show_next();
    } else {
      gset_cursor(4);
      gwait_event();
    }
    if (st.refresh_seconds > 0 && st.refresh_callback != nullptr && now() >= due) {
      st.refresh_callback();
      due += st.refresh_seconds;
      if (due < now()) due = now() + st.refresh_seconds;
    }
    if (gget_display() == nullptr || gget_top_window() == 0) break;
  }
  st.input_mode = 0;
  gbell(50);
  gset_cursor(0);
  gsync();
}
