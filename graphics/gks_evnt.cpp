// Events of the window device.
#include "graphics/gks_evnt.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/fileio.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tran.h"

namespace {

// What the window's events lead to: the user's callback and the hooks of the programs
// above, a callback under way, and the rubber band being drawn.
struct EvntState {
  GksMouseFunc mouse_callback = nullptr;
  void (*init_plot_hook)(int) = nullptr;
  int (*print_meta_hook)() = nullptr;
  GksImageWriter gif_writer = nullptr;
  GksImageWriter xwd_writer = nullptr;

  bool expose_burst = false;
  // A user callback is running: user input waits, and a new size is taken up afterwards.
  bool in_callback = false;
  bool pending_resize = false;

  // Rubber band, in pixels of the window.
  int rubber_band = 0;
  int rubber_band_con = 0;
  std::array<XPoint, 3> pts{};
  int num_pts = 0;
  std::array<int, 4> band_lim{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  bool band_drawn = false;
  XPoint band_end{};
};
// Made at compile time: the kernel's wiring writes into it while statics are initialised.
GKS_CONSTINIT EvntState st;

std::string suffixes(unsigned state) {
  std::string s;
  if (state & Mod1Mask) s += "-Alt";
  if (state & ShiftMask) s += "-Shft";
  if (state & ControlMask) s += "-Cntrl";
  return s;
}

// The pointer in world coordinates of the current transformation, through the zoom.
void pointer_world(float* x, float* y) {
  Window root = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (XQueryPointer(gget_display(), gget_top_window(), &root, &child, &rx, &ry, &wx, &wy, &mask) == 0) wx = wy = 0;
  *x = xp_W(xZ_p(static_cast<float>(wx)));
  *y = yp_W(yZ_p(static_cast<float>(wy)));
}

void to_world(int px, int py, float* x, float* y) {
  *x = xp_W(xZ_p(static_cast<float>(px)));
  *y = yp_W(yZ_p(static_cast<float>(py)));
}

void take_new_size();

void call_back(int kind, const std::string& name, float x, float y) {
  if (st.mouse_callback == nullptr || st.in_callback) return;
  st.in_callback = true;
  const int previous = gset_cursor_type(1);
  st.mouse_callback(kind, name.c_str(), x, y);
  gset_cursor_type(previous);
  st.in_callback = false;
  if (st.pending_resize) take_new_size();
}

void take_new_size() {
  st.pending_resize = false;
  if (gresize_window(-1, -1) == 0) return;
  greset_zoom();
  gdelete_all_frames();
  if (st.init_plot_hook != nullptr) st.init_plot_hook(1);
  call_back(2, "size", static_cast<float>(gget_pix_width()), static_cast<float>(gget_pix_height()));
}

bool holding() { return gget_input_mode() != 0; }

// Slower loop: larger steps once the delay is past the smallest ones.
void loop_slower() { ginc_loop_delay(gget_loop_delay() < 0.09F ? 0.05F : 0.1F); }
void loop_faster() { ginc_loop_delay(gget_loop_delay() <= 0.11F ? -0.05F : -0.1F); }

void show_step(int step) {
  if (gget_num_images() < 1) return;
  const int next = ginc_frame(step);
  if (next >= 0) gdisplay_frame(next);
}

// ---- image files ----

std::string image_path(const std::string& name) {
  std::string file = name;
  std::replace(file.begin(), file.end(), ' ', '_');
  const char* dir = RES_get("image_path");
  if (dir == nullptr || *dir == '\0' || std::strcmp(dir, "none") == 0) return file;
  return FILE_add_path(std::string(dir), file);
}

void write_image(int format, const std::string& path) {
  const char* kind = format == GKS_IMAGE_GIF ? "GIF" : "XWD";
  const GksImageWriter writer = format == GKS_IMAGE_GIF ? st.gif_writer : st.xwd_writer;
  if (writer == nullptr) {
    MESS_print(MESS_WARN, "gprocess_x11_event: %s files are not available: %s is not written\n", kind, path.c_str());
    return;
  }
  if (writer(path.c_str()))
    MESS_print(MESS_MESS, "Created %s file: %s\n", kind, path.c_str());
  else
    MESS_print(MESS_WARN, "gprocess_x11_event: Unable to write %s file: %s\n", kind, path.c_str());
}

void save_images(int format) {
  const char* ext = format == GKS_IMAGE_GIF ? "gif" : "xwd";
  const std::string title = std::string(gget_win_title()).substr(0, 5);
  const int previous = gset_cursor_type(8);
  const unsigned long target = gget_draw_window();
  char name[64];
  const int frames = gget_num_images();
  if (frames < 2) {
    std::snprintf(name, sizeof name, "%s.%s", title.c_str(), ext);
    write_image(format, image_path(name));
  } else if (gget_looping()) {
    MESS_print(MESS_MESS, format == GKS_IMAGE_GIF ? "Creating GIF files:\n" : "Creating XWD files:\n");
    for (int i = 0; i < frames; ++i) {
      gselect_frame(i);
      std::snprintf(name, sizeof name, "%s-%2.2d.%s", title.c_str(), i, ext);
      write_image(format, image_path(name));
    }
  } else {
    const int cur = std::max(gget_cur_frame(), 0);
    gselect_frame(cur);
    std::snprintf(name, sizeof name, "%s-%2.2d.%s", title.c_str(), cur, ext);
    write_image(format, image_path(name));
  }
  gset_draw_window(target);
  gset_cursor_type(previous);
}

// ---- rubber band ----

bool band_active() { return st.rubber_band != 0 && st.num_pts > 0; }

XPoint clamp_end(int x, int y) {
  if (st.band_lim[0] != MISSING_INT) {
    x = std::clamp(x, std::min(st.band_lim[0], st.band_lim[2]), std::max(st.band_lim[0], st.band_lim[2]));
    y = std::clamp(y, std::min(st.band_lim[1], st.band_lim[3]), std::max(st.band_lim[1], st.band_lim[3]));
  }
  if (st.rubber_band == 3) {
    if (st.rubber_band_con == 1) y = st.pts[0].y;
    if (st.rubber_band_con == 2) x = st.pts[0].x;
  }
  return XPoint{static_cast<short>(std::clamp(x, -30000, 30000)), static_cast<short>(std::clamp(y, -30000, 30000))};
}

// Draws (or, drawn again, erases) the band to end in exclusive-or on the window.
void draw_band(XPoint end) {
  Display* d = gget_display();
  GC g = gget_line_gc();
  const Window w = gget_top_window();
  if (d == nullptr || g == nullptr || w == 0) return;
  XSetFunction(d, g, GXxor);
  if (st.rubber_band == 1) {
    XDrawLine(d, w, g, st.pts[0].x, st.pts[0].y, end.x, end.y);
  } else if (st.rubber_band == 3) {
    XDrawLine(d, w, g, st.pts[0].x, st.pts[0].y, end.x, end.y);
    if (st.num_pts > 2) XDrawLine(d, w, g, st.pts[st.num_pts - 1].x, st.pts[st.num_pts - 1].y, end.x, end.y);
  } else {
    const int x = std::min<int>(st.pts[0].x, end.x), y = std::min<int>(st.pts[0].y, end.y);
    XDrawRectangle(d, w, g, x, y, static_cast<unsigned>(std::abs(end.x - st.pts[0].x)),
                   static_cast<unsigned>(std::abs(end.y - st.pts[0].y)));
  }
  XSetFunction(d, g, GXcopy);
  XFlush(d);
}

// ---- events ----

void on_configure(const XConfigureEvent& e) {
  if (e.window != gget_top_window()) return;
  if (e.width == gget_pix_width() && e.height == gget_pix_height()) return;
  if (st.in_callback) {
    st.pending_resize = true;
    return;
  }
  take_new_size();
}

void on_client(const XClientMessageEvent& e) {
  if (e.message_type == gx11_wm_protocols() && e.format == 32 &&
      static_cast<Atom>(e.data.l[0]) == gx11_wm_delete()) {
    // The window manager's close button: the user is done with the plot.
    grelease_hold();
    return;
  }
  if (e.format != 8) return;
  if (e.data.b[0] == GX11_RELEASE) {
    grelease_hold();
  } else if (e.data.b[0] == GX11_NEW_FRAME) {
    gset_win_title_extra("+");
    const int n = gget_num_images();
    if (n > 0) {
      const int fresh = gcreate_frame(-1);
      if (fresh > 0) {
        gcopy_frame(fresh, n - 1);
        gswitch_frame(n - 1, fresh);
        gclear_frame(fresh);
      }
    } else {
      gcreate_frame(0);
      gset_looping(1);
      gswitch_frame(0, GKS_FRAME_BASE);
    }
    gsync();
    gset_win_title_extra("");
  }
}

int on_key(XKeyEvent& e) {
  if (!holding() || st.in_callback) return 1;
  if (gget_input_state() == 1) gset_input_state(2);
  char text[82] = "";
  KeySym sym = 0;
  const int n = XLookupString(&e, text, 80, &sym, nullptr);
  text[std::clamp(n, 0, 80)] = '\0';
  std::string name = text;
  if (sym == XK_Return || sym == XK_KP_Enter) {
    grelease_hold();
    name = "ret";
  }
  // A modifier alone, or a key without a character, is no command.
  if (name.empty()) return 1;
  bool call = true;
  if ((e.state & Mod1Mask) && name.size() == 1) {
    switch (name[0]) {
      case 'q':
        grelease_hold();
        break;
      case 'd':
        gdelete_frame(GKS_FRAME_CURRENT);
        break;
      case 'z':
        gzoom(GKS_FRAME_CURRENT, e.x, e.y, -2, 0);
        break;
      case 'u':
        if (gget_zoom() > 1) {
          gunzoom();
          call = false;
        }
        break;
      case 'm':
        if (st.print_meta_hook != nullptr) {
          const int previous = gset_cursor_type(8);
          st.print_meta_hook();
          gset_cursor_type(previous);
        }
        break;
      case 'g':
        save_images(GKS_IMAGE_GIF);
        break;
      case 'x':
        save_images(GKS_IMAGE_XWD);
        break;
      case 'l':
        gtoggle_loop(2);
        break;
      case ']':
        if (gget_looping())
          loop_faster();
        else
          show_step(1);
        break;
      case '[':
        if (gget_looping())
          loop_slower();
        else
          show_step(-1);
        break;
      default:
        break;
    }
  }
  if (call) {
    float x = 0.0F, y = 0.0F;
    pointer_world(&x, &y);
    call_back(2, name + suffixes(e.state), x, y);
  }
  return 1;
}

int on_button_press(const XButtonEvent& e) {
  if (!holding() || st.in_callback) return 1;
  if (e.button < 1 || e.button > 3) return 1;
  if (!(e.state & Mod1Mask)) {
    if (e.button == 1) {
      if (gget_looping())
        loop_slower();
      else
        show_step(-1);
    } else if (e.button == 2) {
      gtoggle_loop(2);
    } else {
      if (gget_looping())
        loop_faster();
      else
        show_step(1);
    }
  }
  st.pts[0] = XPoint{static_cast<short>(std::clamp(e.x, -30000, 30000)), static_cast<short>(std::clamp(e.y, -30000, 30000))};
  st.num_pts = 1;
  st.band_drawn = false;
  char name[8];
  std::snprintf(name, sizeof name, "B%u-P", e.button);
  float x = 0.0F, y = 0.0F;
  to_world(e.x, e.y, &x, &y);
  call_back(3, name + suffixes(e.state), x, y);
  return 1;
}

int on_button_release(const XButtonEvent& e) {
  if (!holding() || st.in_callback) return 1;
  if (e.button < 1 || e.button > 3) return 1;
  char name[8];
  std::snprintf(name, sizeof name, "B%u-R", e.button);
  int px = e.x, py = e.y;
  if (band_active()) {
    if (st.band_drawn) draw_band(st.band_end);
    const XPoint end = clamp_end(e.x, e.y);
    px = end.x, py = end.y;
    st.rubber_band = 0;
    st.band_lim.fill(MISSING_INT);
  }
  st.band_drawn = false;
  float x = 0.0F, y = 0.0F;
  to_world(px, py, &x, &y);
  call_back(3, name + suffixes(e.state), x, y);
  return 1;
}

int on_motion(XMotionEvent& e) {
  Display* d = gget_display();
  XEvent later;
  // Only the latest position matters.
  while (XCheckTypedWindowEvent(d, e.window, MotionNotify, &later)) e = later.xmotion;
  if (!holding() || !band_active()) return 1;
  if (st.band_drawn) draw_band(st.band_end);
  st.band_end = clamp_end(e.x, e.y);
  draw_band(st.band_end);
  st.band_drawn = true;
  return 1;
}

}  // namespace

void gset_mouse_callback(GksMouseFunc function) { st.mouse_callback = function; }
GksMouseFunc gget_mouse_callback() { return st.mouse_callback; }

int gprocess_x11_event(XEvent* ev) {
  if (ev == nullptr || gget_display() == nullptr || !gtype_is_WIN() || !gget_cache()) return 0;
  if (ev->type != Expose) st.expose_burst = false;
  switch (ev->type) {
    case Expose:
      if (!st.expose_burst) {
        st.expose_burst = true;
        gupdate_window();
      }
      return 0;
    case UnmapNotify:
      gset_mapped(0);
      return 0;
    case MapNotify:
      gset_mapped(1);
      return 0;
    case FocusOut:
      gset_focused(0);
      return 0;
    case FocusIn:
      gset_focused(1);
      return 0;
    case ConfigureNotify:
      on_configure(ev->xconfigure);
      return 0;
    case DestroyNotify:
      gx11_window_destroyed(ev->xdestroywindow.window);
      return 0;
    case ClientMessage:
      on_client(ev->xclient);
      return 0;
    case KeyPress:
      return on_key(ev->xkey);
    case ButtonPress:
      return on_button_press(ev->xbutton);
    case ButtonRelease:
      return on_button_release(ev->xbutton);
    case MotionNotify:
      return on_motion(ev->xmotion);
    default:
      return 0;
  }
}

void ginit_events() {
  st.rubber_band = 0;
  st.rubber_band_con = 0;
  st.num_pts = 0;
  st.band_lim.fill(MISSING_INT);
  st.band_drawn = false;
  st.expose_burst = false;
}

void GEVNT_reset_state() {
  // The hooks the kernel wired at start-up stay.
  EvntState fresh;
  fresh.init_plot_hook = st.init_plot_hook;
  fresh.print_meta_hook = st.print_meta_hook;
  st = fresh;
}

void gset_rubber_band(int type) { st.rubber_band = type; }
int gget_rubber_band() { return st.rubber_band; }

void gset_rubber_band_limits(const float* rect) {
  if (rect == nullptr || !gdev_finite(2, rect)) {
    st.band_lim.fill(MISSING_INT);
    return;
  }
  st.band_lim = {static_cast<int>(xW_p(rect[0])), static_cast<int>(yW_p(rect[1])), static_cast<int>(xW_p(rect[2])),
              static_cast<int>(yW_p(rect[3]))};
}

void gset_rubber_band_points(const float* points, int n, int constraint) {
  st.num_pts = 0;
  st.rubber_band_con = constraint;
  if (points == nullptr || n < 1 || !gdev_finite(std::min(n, 3), points)) return;
  st.num_pts = std::min(n, 3);
  for (int i = 0; i < st.num_pts; ++i)
    st.pts[i] = XPoint{static_cast<short>(xW_p(points[2 * i])), static_cast<short>(yW_p(points[2 * i + 1]))};
}

void gset_event_hooks(void (*init_plot)(int), int (*print_meta)()) {
  st.init_plot_hook = init_plot;
  st.print_meta_hook = print_meta;
}

void gset_image_writer(int format, GksImageWriter writer) {
  if (format == GKS_IMAGE_GIF) st.gif_writer = writer;
  if (format == GKS_IMAGE_XWD) st.xwd_writer = writer;
}
