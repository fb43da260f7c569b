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

constexpr unsigned level_frames = 0xF000000u;
constexpr unsigned level_loop = 0x40000000u;

bool usable() { return gget_display() != nullptr && gget_base_window() != 0; }

// A frame selector as a slot number: -1 the last frame, -2 the current one; -3 and
// anything outside the table give -1.
int slot(int n) {
  if (n == GKS_FRAME_LAST) n = num_images - 1;
  if (n == GKS_FRAME_CURRENT) n = cur_image;
  return (n >= 0 && n < GKS_MAX_FRAMES) ? n : -1;
}

// The picture of a frame selector: a frame's pixmap, or the backing pixmap for -3.
unsigned long picture(int n) {
  if (n == GKS_FRAME_BASE) return gget_base_window();
  const int s = slot(n);
  return s >= 0 ? images[s].pixmap.get() : 0;
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
  if (n < 0 || n > num_images) n = num_images;
  if (n >= GKS_MAX_FRAMES) {
    MESS_print(MESS_WARN, "gcreate_frame: no more than %d frames\n", GKS_MAX_FRAMES);
    return 0;
  }
  Frame& f = images[n];
  if (!f.pixmap) f.pixmap = gx11_new_pixmap();
  if (!f.pixmap) return 0;
  gx11_clear(f.pixmap.get());
  if (n > 0) images[n - 1].dwell = loop_delay;
  f.dwell = 1.0F;
  MESS_print(level_frames, "Created frame: %d-%ld\n", n, static_cast<long>(f.pixmap.get()));
  if (n == num_images) ++num_images;
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
    if (s < 0 || s >= num_images || !images[s].pixmap) return 0;
    gset_draw_window(images[s].pixmap.get());
    n = s;
    gobj_frame_selected(n);
  }
  MESS_print(level_loop, "Selected frame: %d\n", n);
  return n;
}

int gdisplay_frame(int n) {
  if (!usable()) return 0;
  if (n < 0) n = cur_image;
  if (n < 0 || n >= num_images || !images[n].pixmap) return 0;
  cur_image = n;
  if (!(zoom_display != nullptr && zoom_display(n))) {
    gx11_copy(images[n].pixmap.get(), gget_base_window());
    gupdate_window();
  }
  if (loop_title && num_images > 0) {
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
  if (sa < 0 || !images[sa].pixmap) return 0;
  if (b == GKS_FRAME_BASE) {
    gx11_swap_base(images[sa].pixmap);
    return 1;
  }
  const int sb = slot(b);
  if (sb < 0 || !images[sb].pixmap) return 0;
  images[sa].pixmap.swap(images[sb].pixmap);
  return 1;
}

int gdelete_frame(int n) {
  if (!usable()) return 0;
  const int s = slot(n);
  if (s < 0 || s >= num_images) return 0;
  const unsigned long gone = images[s].pixmap.get();
  // A sole frame keeps its pixmap for the next one.
  if (!(s == 0 && num_images == 1)) {
    if (gget_draw_window() == gone) gset_draw_window(gget_base_window());
    images[s].pixmap.reset();
  }
  const bool last = s == num_images - 1;
  for (int i = s; i < num_images - 1; ++i) {
    images[i].pixmap.swap(images[i + 1].pixmap);
    images[i].dwell = images[i + 1].dwell;
    images[i].id = images[i + 1].id;
  }
  --num_images;
  Frame& freed = images[num_images];
  if (num_images > 0) freed.pixmap.reset();
  freed.id = 0;
  if (last) {
    if (num_images > 0) images[num_images - 1].dwell = 1.0F;
    freed.dwell = loop_delay;
  }
  if (num_images == 0) {
    gx11_clear(gget_base_window());
    gupdate_window();
    cur_image = -1;
    return 1;
  }
  const bool was_current = cur_image == s;
  if (cur_image > s || cur_image >= num_images) --cur_image;
  cur_image = std::clamp(cur_image, 0, num_images - 1);
  if (was_current) gdisplay_frame(cur_image);
  return 1;
}

void gdelete_all_frames() {
  const unsigned long target = gget_draw_window();
  for (Frame& f : images) {
    if (f.pixmap && f.pixmap.get() == target) gset_draw_window(gget_base_window());
    f.pixmap.reset();
    f.dwell = 0.5F;
    f.id = 0;
  }
  num_images = 0;
  cur_image = -1;
  looping = 0;
}

void gforget_frames() {
  for (Frame& f : images) f.pixmap.forget();
  num_images = 0;
  cur_image = -1;
  looping = 0;
}

int gget_num_images() { return num_images; }
unsigned long gget_frame_drawable(int n) {
  if (n != GKS_FRAME_BASE && (slot(n) < 0 || slot(n) >= num_images)) return 0;
  return picture(n);
}
int gget_cur_frame() { return cur_image; }

int gget_frame_id(int n) {
  const int s = slot(n);
  return s >= 0 ? images[s].id : 0;
}

void gset_frame_id(int n, int id) {
  const int s = slot(n);
  if (s >= 0) images[s].id = id;
}

float gget_frame_delay(int n) {
  const int s = slot(n);
  return s >= 0 ? images[s].dwell : 0.0F;
}

void gset_loop_delay(int n, float seconds) {
  if (!std::isfinite(seconds) || seconds < 0.0F) return;
  if (n == -4) {
    for (int i = 0; i < num_images - 1; ++i) images[i].dwell = seconds;
    return;
  }
  if (n >= GKS_MAX_FRAMES) return;
  const int s = slot(n);
  if (s >= 0) images[s].dwell = seconds;
}

void ginc_loop_delay(float step) {
  if (!std::isfinite(step)) return;
  loop_delay = std::max(0.0F, loop_delay + step);
  for (int i = 0; i < num_images - 1; ++i) images[i].dwell = loop_delay;
  MESS_print(MESS_MESS, step >= 0.0F ? "Loop delay incremented to: %2.2f\n" : "Loop delay decremented to: %2.2f\n",
             loop_delay);
}

float gget_loop_delay() { return loop_delay; }

void gset_looping(int on) {
  if (!usable()) return;
  looping = on != 0 ? 1 : 0;
  gset_cursor(looping ? 3 : 4);
  MESS_print(MESS_MESS, looping ? "Looping initiated\n" : "Looping stopped\n");
}

int gget_looping() { return looping; }

void gtoggle_loop(int mode) {
  if (!usable()) return;
  gset_looping(mode == 1 ? 1 : mode == 0 ? 0 : !looping);
  gsync();
}

void gset_loop_direct(int direction) { loop_direct = direction; }
int gget_loop_direct() { return loop_direct; }

int ginc_frame(int step) {
  if (num_images < 1) return -1;
  if (step == 0) step = (loop_direct % 2 != 0) ? 1 : -1;
  const int from = cur_image < 0 ? 0 : cur_image;
  int next = from + step;
  if (next >= num_images) {
    if (loop_direct < 2) {
      next = 0;
    } else {
      next = num_images - 2;
      loop_direct = 2;
    }
  } else if (next < 0) {
    if (loop_direct < 2) {
      next = num_images - 1;
    } else {
      next = 1;
      loop_direct = 3;
    }
  }
  next = std::clamp(next, 0, num_images - 1);
  MESS_print(level_loop, "INC: %d-%d %d-%d\n", from, next, step, loop_direct);
  return next;
}

void gloop_sleep() {
  const float dwell = gget_frame_delay(GKS_FRAME_CURRENT);
  for (;;) {
    const float left = dwell - ZAV_elapse_time();
    if (left <= 0.0F) return;
    if (left >= 0.2F) {
      gcheck_event();
      if (!gget_input_mode() && input_mode != 0) return;
    }
    ZAV_sleep(std::min(left, 0.2F));
  }
}

void gset_loop_title(int on) { loop_title = on != 0 ? 1 : 0; }
int gget_loop_title() { return loop_title; }

void ginit_loop() {
  looping = 0;
  loop_direct = 1;
}

void gloop_set_zoom_display(GksZoomDisplay function) { zoom_display = function; }

// ---- hold ----

void gset_input_mode(int on) { input_mode = on == 1 ? 1 : 0; }
int gget_input_mode() { return (input_mode == 1 || input_mode == 2) ? 1 : 0; }
int gget_input_state() { return input_mode; }
void gset_input_state(int mode) { input_mode = (mode >= 0 && mode <= 3) ? mode : 0; }

void grelease_hold() {
  if (input_mode == 1 || input_mode == 2) input_mode = 3;
}

void gset_refresh_callback(int seconds, GksRefreshFunc function) {
  refresh_seconds = seconds > 0 ? seconds : 0;
  refresh_callback = function;
}

GksRefreshFunc gget_refresh_callback(int* seconds) {
  if (seconds != nullptr) *seconds = refresh_seconds;
  return refresh_callback;
}

void ghold() {
  if (!gtype_is_WIN() || gget_display() == nullptr || gget_top_window() == 0) return;
  gcheck_event();
  gsync();
  if (looping) ZAV_init_time();
  input_mode = 1;
  double due = now() + refresh_seconds;
  int idle = 0;
  while (input_mode == 1 || input_mode == 2) {
    const bool frames = num_images >= 2;
    if (refresh_seconds > 0) {
      if (frames && looping) {
        gset_cursor(3);
        gloop_sleep();
        // The user may have stopped the loop (or released the plot) during the dwell.
      if (looping && (input_mode == 1 || input_mode == 2)) show_next();
      } else {
        gset_cursor(frames ? 4 : 6);
        if (gcheck_event() > 0 || input_mode != 1) idle = 0;
        else ++idle;
        ZAV_sleep(idle < 50 ? 0.1F : 0.5F);
      }
    } else if (!frames) {
      gset_cursor(6);
      gwait_event();
    } else if (looping) {
      gset_cursor(3);
      gloop_sleep();
      // The user may have stopped the loop (or released the plot) during the dwell.
      if (looping && (input_mode == 1 || input_mode == 2)) show_next();
    } else {
      gset_cursor(4);
      gwait_event();
    }
    if (refresh_seconds > 0 && refresh_callback != nullptr && now() >= due) {
      refresh_callback();
      due += refresh_seconds;
      if (due < now()) due = now() + refresh_seconds;
    }
    if (gget_display() == nullptr || gget_top_window() == 0) break;
  }
  input_mode = 0;
  gbell(50);
  gset_cursor(0);
  gsync();
}
