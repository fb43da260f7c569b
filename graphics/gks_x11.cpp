// The X11 window devices: the connection, the window and its backing pixmap, drawing,
// colours, cursors, title and geometry, and the reading of events.
#include "graphics/gks_x11.h"

#include "graphics/gks_dev.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "config/datafile.h"
#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/system.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_obj.h"

namespace {

struct DisplayCloser {
  void operator()(Display* d) const;
};
using ColormapOwner = XOwned<Colormap, XFreeColormap>;
using GCOwner = XOwned<GC, XFreeGC>;
enum { GC_LINE, GC_MARK, GC_FILL, GC_TEXT, GC_TOP, GC_COUNT };
using CursorOwner = XOwned<Cursor, XFreeCursor>;
constexpr unsigned cursor_shapes[] = {XC_X_cursor, XC_left_ptr, XC_fleur, XC_exchange, XC_dot,
                                      XC_pencil,   XC_tcross,   XC_xterm, XC_watch};
constexpr int max_errors = 25;

// Plain values that outlive every other object of the program: resources made under a
// connection (here and in the frame and zoom modules) check them before they free anything,
// also while those objects are destroyed at exit, so they live outside the module's record
// and survive its reset.
struct X11Lasting {
  unsigned generation = 0;
  bool connection_alive = false;
  // An abandoned connection and its graphics contexts' client memory: nothing frees them,
  // nothing forgets them before the program ends.
  Display* abandoned = nullptr;
  GC abandoned_gcs[GC_COUNT] = {};
};
GKS_CONSTINIT X11Lasting lasting;

// The one connection, its window or foreign drawable, what was made on it, the settings
// made before the window opens, and the error handling's counts and hooks.
struct X11State {
  std::unique_ptr<Display, DisplayCloser> display;
  int screen = 0;
  int depth = 0;
  Visual* visual = nullptr;
  Colormap colormap = 0;
  ColormapOwner private_cmap;
  bool local_cmap_wanted = false;
  bool rw_colors = false;

  int win_type_open = 0;
  Window top = 0;
  // Type 1: the backing pixmap the program owns; type 6: the foreign drawable.
  PixmapOwner own_base;
  Drawable base = 0;
  Drawable target = 0;
  int pix_w = 0, pix_h = 0;
  int top_w = 0, top_h = 0;

  std::array<GCOwner, GC_COUNT> gcs;
  std::array<PixmapOwner, GKS_NUM_PATTERNS> stipples;
  int fill_style = 1;
  int fill_pattern = 1;

  unsigned long fg_pixel = 1, bg_pixel = 0;
  bool mapped = false, focused = false;

  std::array<CursorOwner, 9> cursors;
  int cursor_code = 0;

  Atom wm_protocols = 0, wm_delete = 0;

  // Settings made before the window opens.
  std::string geometry;
  bool iconic = false;
  bool fixed_size = false;
  int want_w = 0, want_h = 0;
  std::array<unsigned char, 288> icon_bits{};
  bool icon_set = false;
  int pix_mode = 0;

  // Colours: the highest index defined so far and the shared pixels this connection holds.
  int max_colr = -1;

  int errors = 0;
  bool error_flag = false;
  bool print_errors = false;
  bool trapping = false;
  bool trap_failed = false;
  void (*fatal_hook)() = nullptr;
  GksEventHandler event_handler = nullptr;
};
// Made at compile time: the kernel's wiring writes into it while statics are initialised.
GKS_CONSTINIT X11State st;

void DisplayCloser::operator()(Display* d) const {
  if (d != nullptr && lasting.connection_alive) XCloseDisplay(d);
  lasting.connection_alive = false;
}

Display* dpy() { return lasting.connection_alive ? st.display.get() : nullptr; }

// The connection is gone or must not be used again: every resource is forgotten.
void abandon() {
  for (int i = 0; i < GC_COUNT; ++i)
    if (st.gcs[i]) lasting.abandoned_gcs[i] = st.gcs[i].get();
  lasting.connection_alive = false;
  if (st.fatal_hook != nullptr) st.fatal_hook();
  // Kept, not closed: closing would make requests on a connection that must not be used.
  // Held here so that it is still reachable (a leak checker at exit would count it).
  lasting.abandoned = st.display.release();
}

// Another client destroyed the window: there is nothing left to draw on or to wait for
// (the hold would wait for a key that can never come).
[[noreturn]] void window_lost() {
  MESS_print(MESS_ERROR, "X11 error: the window was destroyed by another client\n");
  abandon();
  ZAV_exit(ZAV_STATUS_DEVICE);
}

int on_error(Display* d, XErrorEvent* e) {
  if (st.trapping) {
    st.trap_failed = true;
    return 0;
  }
  const bool window_gone = st.top != 0 && st.win_type_open == WS_X11 && e->resourceid == st.top &&
                           (e->error_code == BadWindow || e->error_code == BadDrawable);
  st.error_flag = true;
  ++st.errors;
  if (st.print_errors) {
    char text[256] = "";
    char request[256] = "";
    char code[32];
    XGetErrorText(d, e->error_code, text, sizeof text);
    std::snprintf(code, sizeof code, "%d", e->request_code);
    XGetErrorDatabaseText(d, "XRequest", code, code, request, sizeof request);
    MESS_print(MESS_ERROR, "X11 error: %s in %s\n", text, request);
  }
  if (window_gone) window_lost();
  if (st.errors >= max_errors) {
    MESS_print(MESS_ERROR, "X11 error: too many errors\n");
    // Inside the error handler no request may be made: the server frees what this
    // connection holds when the program ends.
    abandon();
    ZAV_exit(ZAV_STATUS_DEVICE);
  }
  return 0;
}

int on_fatal(Display*) {
  MESS_print(MESS_ERROR, "Fatal X11 Error\n");
  abandon();
  ZAV_exit(ZAV_STATUS_DEVICE);
}

// ---- helpers ----

unsigned long pixel_of(int index) {
  const int p = gget_color_ind(index);
  return p >= 0 ? static_cast<unsigned long>(p) : st.fg_pixel;
}

GC gc(int which) { return st.gcs[which].get(); }
bool drawing() { return dpy() != nullptr && st.target != 0 && gc(GC_LINE) != nullptr; }

short pix(float v) {
  const float c = std::clamp(v, -30000.0F, 30000.0F);
  return static_cast<short>(static_cast<int>(c + 0.5F));
}

// Device units to X points, in a buffer kept from call to call.
XPoint* points(int n, const float* dev) {
  static std::vector<XPoint> buf;
  try {
    buf.resize(static_cast<std::size_t>(n) + 1);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  for (int i = 0; i < n; ++i) buf[i] = XPoint{pix(dev[2 * i]), pix(dev[2 * i + 1])};
  return buf.data();
}

// Connected lines in pieces a request can hold; each piece begins where the last ended.
void draw_lines(GC g, XPoint* p, int n) {
  constexpr int piece = 16000;
  for (int i = 0; i < n - 1; i += piece - 1) {
    const int m = std::min(piece, n - i);
    XDrawLines(dpy(), st.target, g, p + i, m, CoordModeOrigin);
  }
}

// The recording device keeps the calls of a window device that has no display.
const GksDevice& rec() { return *gdev_recorder(); }

std::string display_title(const std::string& t) {
  std::string s = t;
  std::replace(s.begin(), s.end(), '_', ' ');
  return s;
}

std::string fetch_name(Window w) {
  std::string name;
  if (dpy() == nullptr || w == 0) return name;
  gx11_trapped([&] {
    char* raw = nullptr;
    if (XFetchName(dpy(), w, &raw) != 0 && raw != nullptr) {
      name = raw;
      XFree(raw);
    }
  });
  return name;
}

void set_name(const std::string& name) {
  if (dpy() == nullptr || st.top == 0 || st.win_type_open != WS_X11) return;
  XStoreName(dpy(), st.top, name.c_str());
  XSetIconName(dpy(), st.top, name.c_str());
  // Other programs (the loop program, a user's tools) read the name at once.
  XSync(dpy(), False);
}

// A 48 by 48 icon of three nested closed lines, as a contour map looks from afar.
void default_icon() {
  st.icon_bits.fill(0);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) {
      const double dx = (x - 22.5) / 1.15, dy = y - 24.5;
      const double r = std::sqrt(dx * dx + dy * dy);
      if (std::fabs(r - 8) < 1.0 || std::fabs(r - 14) < 1.0 || std::fabs(r - 20) < 1.0 || x == 0 || y == 0 ||
          x == 47 || y == 47)
        st.icon_bits[static_cast<std::size_t>(y * 6 + x / 8)] |= static_cast<unsigned char>(1u << (x % 8));
    }
}

void make_gcs(Drawable d) {
  for (auto& g : st.gcs) g.reset();
  XGCValues v{};
  v.foreground = st.fg_pixel;
  v.background = st.bg_pixel;
  v.line_width = 0;
  v.line_style = LineSolid;
  v.join_style = JoinBevel;
  v.graphics_exposures = False;
  const unsigned long mask = GCForeground | GCBackground | GCLineWidth | GCLineStyle | GCJoinStyle | GCGraphicsExposures;
  for (int i = 0; i < GC_COUNT; ++i) {
    const Drawable on = (i == GC_TOP && st.top != 0) ? st.top : d;
    st.gcs[i] = GCOwner(dpy(), XCreateGC(dpy(), on, mask, &v));
  }
  st.fill_style = 1;
  st.fill_pattern = 1;
}

Pixmap stipple(int index) {
  if (index < 0 || index >= GKS_NUM_PATTERNS) return 0;
  if (!st.stipples[index]) {
    const unsigned char* rows = gget_fill_pattern(index);
    char data[8];
    std::memcpy(data, rows, 8);
    st.stipples[index] = PixmapOwner(dpy(), XCreateBitmapFromData(dpy(), st.base, data, 8, 8));
  }
  return st.stipples[index].get();
}

void apply_fill_style() {
  if (st.fill_style == 2) {
    XSetStipple(dpy(), gc(GC_FILL), stipple(st.fill_pattern));
    XSetFillStyle(dpy(), gc(GC_FILL), FillStippled);
  } else {
    XSetFillStyle(dpy(), gc(GC_FILL), FillSolid);
  }
}

// The colour of one slot (0-255, the background 256) on the display; the pixel or -1.
int alloc_slot(int index, float r, float g, float b) {
  XColor c{};
  c.red = static_cast<unsigned short>(std::lround(r * 65535.0F));
  c.green = static_cast<unsigned short>(std::lround(g * 65535.0F));
  c.blue = static_cast<unsigned short>(std::lround(b * 65535.0F));
  c.flags = DoRed | DoGreen | DoBlue;
  const Colormap cm = st.private_cmap ? st.private_cmap.get() : st.colormap;
  const int old = gget_color_ind(index);
  if (old >= 0 && st.rw_colors) {
    c.pixel = static_cast<unsigned long>(old);
    if (gx11_trapped([&] { XStoreColor(dpy(), cm, &c); })) return old;
  }
  if (old < 0 && st.rw_colors) {
    unsigned long planes[1];
    unsigned long cell = 0;
    if (XAllocColorCells(dpy(), cm, False, planes, 0, &cell, 1) != 0) {
      c.pixel = cell;
      XStoreColor(dpy(), cm, &c);
      return static_cast<int>(cell);
    }
    // No cells to be had: shared colours from here on.
    st.rw_colors = false;
  }
  if (XAllocColor(dpy(), cm, &c) != 0) return static_cast<int>(c.pixel);
  // A full colormap: black or white, whichever is nearer.
  const float gray = (r + g + b) / 3.0F;
  return static_cast<int>(gray > 0.5F ? WhitePixel(dpy(), st.screen) : BlackPixel(dpy(), st.screen));
}

// ---- geometry and placement ----

void place_window(int* x, int* y, int* w, int* h, long* hint_flags) {
  std::string g = st.geometry;
  if (g.empty()) {
    const char* r = RES_get("geometry");
    if (r != nullptr) g = r;
  }
  if (g.empty()) {
    const char* d = XGetDefault(dpy(), gget_prog_name(), "geometry");
    if (d != nullptr) g = d;
  }
  if (g.empty()) return;
  int gx = 0, gy = 0;
  unsigned gw = 0, gh = 0;
  const int flags = XParseGeometry(g.c_str(), &gx, &gy, &gw, &gh);
  if ((flags & WidthValue) && gw > 0 && gw < 32768) *w = static_cast<int>(gw);
  if ((flags & HeightValue) && gh > 0 && gh < 32768) *h = static_cast<int>(gh);
  if (flags & (WidthValue | HeightValue)) *hint_flags |= USSize;
  if (flags & XValue) {
    *x = (flags & XNegative) ? DisplayWidth(dpy(), st.screen) + gx - *w - 10 : gx;
    *hint_flags |= USPosition;
  }
  if (flags & YValue) {
    *y = (flags & YNegative) ? DisplayHeight(dpy(), st.screen) + gy - *h - 10 : gy;
    *hint_flags |= USPosition;
  }
}

// Placement inside a foreign drawable of W by H pixels: "P" fractions (a grid of panels
// when the width is above 1) or a pixel rectangle limited to the drawable.
void place_in_drawable(int W, int H) {
  const char* g = RES_get("geometry");
  float w = static_cast<float>(W), h = static_cast<float>(H), x = 0.0F, top_y = 0.0F;
  if (g != nullptr && (*g == 'P' || *g == 'p')) {
    float fw = 1.0F, fh = 1.0F, ox = 0.0F, oy = 0.0F;
    std::sscanf(g + 1, "%fx%f+%f+%f", &fw, &fh, &ox, &oy);
    if (fw > 1.0F) {
      fw = std::clamp(fw, 1.0F, 8.0F), fh = std::clamp(fh, 1.0F, 8.0F);
      ox = ox / fw;
      oy = 1.0F - (oy + 1.0F) / fh;
      fw = 1.0F / fw, fh = 1.0F / fh;
    }
    if (std::isfinite(fw) && std::isfinite(fh) && fw > 0 && fh > 0 && fw <= 1 && fh <= 1 && std::isfinite(ox) &&
        std::isfinite(oy)) {
      w = W * fw, h = H * fh, x = W * ox;
      top_y = H - H * oy - h;
    }
  } else if (g != nullptr && *g != '\0') {
    int gw = 0, gh = 0, gx = 0, gy = 0;
    if (std::sscanf(g, "%dx%d+%d+%d", &gw, &gh, &gx, &gy) == 4 && gw > 0 && gh > 0) {
      gx = std::clamp(gx, 0, W - 1), gy = std::clamp(gy, 0, H - 1);
      w = static_cast<float>(std::min(gw, W - gx)), h = static_cast<float>(std::min(gh, H - gy));
      x = static_cast<float>(gx), top_y = static_cast<float>(gy);
    }
  }
  gset_win_size(w, h);
  // The kernel counts rows from the bottom of its own surface; the offset moves that
  // surface to its place in the drawable.
  gset_win_offset(x, -top_y);
}

// ---- opening ----

bool connect(const std::string& name) {
  XSetErrorHandler(on_error);
  XSetIOErrorHandler(on_fatal);
  Display* d = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (d == nullptr) return false;
  ++lasting.generation;
  lasting.connection_alive = true;
  st.display.reset(d);
  st.screen = DefaultScreen(d);
  st.depth = DefaultDepth(d, st.screen);
  st.visual = DefaultVisual(d, st.screen);
  st.colormap = DefaultColormap(d, st.screen);
  st.errors = 0;
  st.error_flag = false;
  st.print_errors = false;
  st.max_colr = -1;
  st.wm_protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  st.wm_delete = XInternAtom(d, "WM_DELETE_WINDOW", False);
  return true;
}

void set_pixels() {
  const bool inverse = gget_inverse() != 0;
  st.bg_pixel = inverse ? WhitePixel(dpy(), st.screen) : BlackPixel(dpy(), st.screen);
  st.fg_pixel = inverse ? BlackPixel(dpy(), st.screen) : WhitePixel(dpy(), st.screen);
}

void make_cursors() {
  for (std::size_t i = 0; i < st.cursors.size(); ++i)
    st.cursors[i] = CursorOwner(dpy(), XCreateFontCursor(dpy(), cursor_shapes[i]));
  st.cursor_code = -1;
}

// Waits for the first exposure or structure event of the new window (a window manager
// may keep it back a little; the wait is bounded so an odd one cannot hang the program).
void wait_for_map() {
  XEvent ev;
  for (int i = 0; i < 500; ++i) {
    if (XCheckWindowEvent(dpy(), st.top, ExposureMask | StructureNotifyMask, &ev)) {
      if (ev.type == MapNotify) st.mapped = true;
      if (ev.type == Expose || ev.type == MapNotify) return;
      continue;
    }
    usleep(10000);
  }
}

int open_window(const std::string& name) {
  if (!connect(name)) {
    if (!gget_display_optional()) return gerr_printf("gopen_ws", "unable to connect to display\n");
    MESS_print(MESS_MESS, "gopen_ws: no display: the plot is drawn into nothing\n");
    gset_win_size(640.0F, 512.0F);
    return 0;
  }
  gset_cache(1);
  int w = st.want_w > 0 ? st.want_w : 640, h = st.want_h > 0 ? st.want_h : 512, x = 100, y = 100;
  long hint_flags = 0;
  place_window(&x, &y, &w, &h, &hint_flags);
  if (std::getenv("zavinverse") != nullptr) gset_inverse(1);
  set_pixels();
  XSetWindowAttributes a{};
  a.background_pixel = st.bg_pixel;
  a.border_pixel = st.fg_pixel;
  a.backing_store = Always;
  a.colormap = st.colormap;
  a.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | EnterWindowMask |
                 LeaveWindowMask | ButtonMotionMask | ExposureMask | StructureNotifyMask | FocusChangeMask;
  bool ok = gx11_trapped([&] {
    st.top = XCreateWindow(dpy(), RootWindow(dpy(), st.screen), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                        5, st.depth, InputOutput, st.visual,
                        CWBackPixel | CWBorderPixel | CWBackingStore | CWColormap | CWEventMask, &a);
  });
  if (!ok || st.top == 0) {
    st.top = 0;
    st.display.reset();
    return gerr_printf("gopen_ws", "unable to open window\n");
  }
  const std::string title = display_title(gget_win_title());
  XStoreName(dpy(), st.top, title.c_str());
  XSetIconName(dpy(), st.top, title.c_str());
  XSizeHints* size = XAllocSizeHints();
  if (size != nullptr) {
    size->flags = hint_flags | PPosition | PSize;
    size->x = x, size->y = y, size->width = w, size->height = h;
    if (st.fixed_size) {
      size->flags |= PMinSize | PMaxSize;
      size->min_width = size->max_width = w;
      size->min_height = size->max_height = h;
    }
    XSetWMNormalHints(dpy(), st.top, size);
    XFree(size);
  }
  if (!st.icon_set) default_icon();
  const Pixmap icon = XCreateBitmapFromData(dpy(), st.top, reinterpret_cast<const char*>(st.icon_bits.data()), 48, 48);
  XWMHints* hints = XAllocWMHints();
  if (hints != nullptr) {
    const char* def_iconic = XGetDefault(dpy(), gget_prog_name(), "iconic");
    const char* res_icon = RES_get("icon");
    const bool start_iconic =
        st.iconic || (def_iconic != nullptr && std::strcmp(def_iconic, "on") == 0) || (res_icon != nullptr && *res_icon);
    hints->flags = InputHint | StateHint | IconPixmapHint;
    hints->input = True;
    hints->initial_state = start_iconic ? IconicState : NormalState;
    hints->icon_pixmap = icon;
    XSetWMHints(dpy(), st.top, hints);
    XFree(hints);
  }
  std::string res_name = gget_prog_name();
  std::string res_class = "Zav";
  XClassHint cls{res_name.data(), res_class.data()};
  XSetClassHint(dpy(), st.top, &cls);
  XSetWMProtocols(dpy(), st.top, &st.wm_delete, 1);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(dpy(), st.top, XInternAtom(dpy(), "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  st.top_w = w, st.top_h = h;
  st.own_base = PixmapOwner(dpy(), XCreatePixmap(dpy(), st.top, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                              static_cast<unsigned>(st.depth)));
  st.base = st.target = st.own_base.get();
  st.pix_w = w, st.pix_h = h;
  make_gcs(st.top);
  XMapWindow(dpy(), st.top);
  wait_for_map();
  ginit_xcolr();
  XWindowAttributes wa{};
  if (XGetWindowAttributes(dpy(), st.top, &wa) != 0 && (wa.width != w || wa.height != h)) {
    gresize_window(-1, -1);
  }
  XSetForeground(dpy(), gc(GC_TOP), st.bg_pixel);
  XFillRectangle(dpy(), st.base, gc(GC_TOP), 0, 0, static_cast<unsigned>(st.pix_w), static_cast<unsigned>(st.pix_h));
  XClearWindow(dpy(), st.top);
  make_cursors();
  gset_win_size(static_cast<float>(st.pix_w), static_cast<float>(st.pix_h));
  gset_win_offset(0.0F, 0.0F);
  return 0;
}

// The parameters of a foreign drawable: window, drawable, size and colormap.
struct Foreign {
  unsigned long window = 0, drawable = 0, cmap = 0;
  int w = 640, h = 512;
};

bool parse_plus(const std::string& s, Foreign* f) {
  unsigned long win = 0, drw = 0, cm = 0;
  int w = 0, h = 0;
  const int n = std::sscanf(s.c_str(), "+%lu:%lu:%dx%d:%lu", &win, &drw, &w, &h, &cm);
  if (n < 2) return false;
  f->window = win, f->drawable = drw;
  if (n >= 4) f->w = w, f->h = h;
  if (n >= 5) f->cmap = cm;
  return true;
}

// Reads the window-id file of the companion loop program: "zavloop.N", or "zavloop.win"
// without a number, along file_path. Its first line holds the parameters in the "+" form.
int read_id_file(const std::string& params, Foreign* f) {
  const std::string digits = params.substr(1);
  std::string name = "zavloop.win";
  if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
      digits.size() < 10)
    name = "zavloop." + std::to_string(std::atoi(digits.c_str()));
  std::string used;
  std::FILE* file = FILE_open_data(name, &used);
  if (file == nullptr) return gerr_printf("gopen_ws", "unable to open window id file\n");
  char line[256] = "";
  const bool got = std::fgets(line, sizeof line, file) != nullptr;
  FILE_close(file);
  if (!got || !parse_plus(line, f)) return gerr_printf("gopen_ws", "window id not specified\n");
  return 0;
}

int parse_foreign(const std::string& params, Foreign* f) {
  if (params.empty()) return gerr_printf("gopen_ws", "window parameters not specified\n");
  const char c = params[0];
  if (c == 'w' || c == 'W') {
    if (read_id_file(params, f) != 0) return -1;
  } else if (c == '+') {
    parse_plus(params, f);
  } else if (params.size() > 1 && c == '0' && (params[1] == 'x' || params[1] == 'X')) {
    unsigned long drw = 0, cm = 0;
    int w = 0, h = 0;
    const int n = std::sscanf(params.c_str(), "%lx:%dx%d:%lu", &drw, &w, &h, &cm);
    if (n >= 1) f->drawable = drw;
    if (n >= 3) f->w = w, f->h = h;
    if (n >= 4) f->cmap = cm;
  } else if (c >= '0' && c <= '9') {
    unsigned long drw = 0, cm = 0;
    int w = 0, h = 0;
    const int n = std::sscanf(params.c_str(), "%lu:%dx%d:%lu", &drw, &w, &h, &cm);
    if (n >= 1) f->drawable = drw;
    if (n >= 3) f->w = w, f->h = h;
    if (n >= 4) f->cmap = cm;
  }
  if (f->drawable == 0) return gerr_printf("gopen_ws", "window id not specified\n");
  if (f->w < 1 || f->w > 32767 || f->h < 1 || f->h > 32767) f->w = 640, f->h = 512;
  return 0;
}

void send_client_message(Window w, int code) {
  if (dpy() == nullptr || w == 0) return;
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = static_cast<Atom>(GX11_MESSAGE_TYPE);
  ev.xclient.format = 8;
  ev.xclient.data.b[0] = static_cast<char>(code);
  gx11_trapped([&] { XSendEvent(dpy(), w, False, NoEventMask, &ev); });
}

int open_foreign(const std::string& name, const std::string& params_in) {
  std::string params = params_in;
  if (params.empty()) {
    const char* env = std::getenv("zavwindow");
    if (env == nullptr || *env == '\0') env = std::getenv("WINDOW");
    if (env != nullptr) params = env;
  }
  Foreign f;
  if (parse_foreign(params, &f) != 0) return -1;
  if (!connect(name)) {
    if (!gget_display_optional()) return gerr_printf("gopen_ws", "unable to connect to display\n");
    MESS_print(MESS_MESS, "gopen_ws: no display: the plot is drawn into nothing\n");
    gset_win_size(static_cast<float>(f.w), static_cast<float>(f.h));
    return 0;
  }
  // Ids from a file or another program are checked before anything is drawn with them.
  Window root_ret = 0;
  int gx = 0, gy = 0;
  unsigned gw = 0, gh = 0, gb = 0, gd = 0;
  const bool ok = gx11_trapped([&] {
    if (XGetGeometry(dpy(), f.drawable, &root_ret, &gx, &gy, &gw, &gh, &gb, &gd) == 0) gd = 0;
  });
  XWindowAttributes wa{};
  const bool win_ok = f.window == 0 || gx11_trapped([&] { XGetWindowAttributes(dpy(), f.window, &wa); });
  if (!ok || gd == 0 || !win_ok) {
    st.display.reset();
    return gerr_printf("gopen_ws", "unable to open window\n");
  }
  st.depth = static_cast<int>(gd);
  if (f.window != 0) {
    st.visual = wa.visual;
    st.colormap = wa.colormap;
  }
  if (f.cmap != 0) {
    XColor probe{};
    if (gx11_trapped([&] { XQueryColor(dpy(), f.cmap, &probe); }))
      st.colormap = f.cmap;
    else
      MESS_print(MESS_WARN, "gopen_ws: unknown colormap %lu: the default one is used\n", f.cmap);
  }
  st.top = f.window;
  st.base = st.target = f.drawable;
  st.pix_w = static_cast<int>(std::min<unsigned>(gw, static_cast<unsigned>(f.w)));
  st.pix_h = static_cast<int>(std::min<unsigned>(gh, static_cast<unsigned>(f.h)));
  if (std::getenv("zavinverse") != nullptr) gset_inverse(1);
  set_pixels();
  std::string wname = fetch_name(st.top);
  const std::size_t cut = wname.find(" [");
  if (cut != std::string::npos) wname.erase(cut);
  if (!wname.empty()) gset_win_title(wname.c_str());
  if (st.pix_mode == 2 && st.top != 0) {
    send_client_message(st.top, GX11_NEW_FRAME);
    // The owner shows a "+" at the end of the window's name while it makes the frame.
    int step = 0;
    for (; step < 50; ++step) {
      const std::string now = fetch_name(st.top);
      if (now.empty() || now.back() != '+') break;
      usleep(200000);
    }
    if (step == 50) MESS_print(MESS_WARN, "gopen_ws: the window did not make a new frame\n");
  }
  make_gcs(st.base);
  place_in_drawable(st.pix_w, st.pix_h);
  return 0;
}

// ---- the device ----

int x_open(int type, const char* device_string) {
  st.win_type_open = type;
  st.top = 0;
  st.base = st.target = 0;
  st.pix_w = st.pix_h = 0;
  st.mapped = st.focused = false;
  st.private_cmap.reset();
  const std::string name = gdev_field(device_string, 0);
  const int r = type == WS_XDRAW ? open_foreign(name, gdev_field(device_string, 1)) : open_window(name);
  if (r != 0) {
    st.win_type_open = 0;
    return r;
  }
  return 0;
}

int x_close() {
  if (dpy() == nullptr) {
    st.display.reset();
    st.win_type_open = 0;
    return rec().close();
  }
  if (st.win_type_open == WS_XDRAW && st.pix_mode == 9) send_client_message(st.top, GX11_RELEASE);
  for (auto& g : st.gcs) g.reset();
  for (auto& s : st.stipples) s.reset();
  for (auto& c : st.cursors) c.reset();
  if (st.win_type_open == WS_X11 && st.top != 0) {
    XUnmapWindow(dpy(), st.top);
    XDestroyWindow(dpy(), st.top);
  }
  st.own_base.reset();
  st.private_cmap.reset();
  XSync(dpy(), False);
  st.top = 0;
  st.base = st.target = 0;
  st.pix_w = st.pix_h = 0;
  st.win_type_open = 0;
  st.display.reset();
  return 0;
}

void x_init(int mode) {
  if (dpy() == nullptr) return rec().init(mode);
  // The kernel's attributes start again from their defaults (-1), or everything does.
  if (mode == -1 || mode == 0 || mode == 1) {
    XGCValues v{};
    v.line_width = 0;
    v.line_style = LineSolid;
    v.join_style = JoinBevel;
    for (int i = 0; i < GC_COUNT; ++i)
      if (gc(i) != nullptr) XChangeGC(dpy(), gc(i), GCLineWidth | GCLineStyle | GCJoinStyle, &v);
    for (int i : {GC_LINE, GC_MARK, GC_FILL, GC_TEXT}) XSetForeground(dpy(), gc(i), pixel_of(1));
    st.fill_style = 1;
    if (gc(GC_FILL) != nullptr) apply_fill_style();
  }
}

void x_clear() {
  if (dpy() == nullptr) return rec().clear();
  gx11_clear(st.base);
}

void x_clip(const float r[4]) {
  if (dpy() == nullptr) return rec().clip(r);
  XRectangle rect;
  const int x = static_cast<int>(std::clamp(r[0] + 0.5F, -30000.0F, 30000.0F));
  const int y = static_cast<int>(std::clamp(r[1] + 0.5F, -30000.0F, 30000.0F));
  const int w = static_cast<int>(std::clamp(r[2] - static_cast<float>(x) + 1.5F, 0.0F, 60000.0F));
  const int h = static_cast<int>(std::clamp(r[3] - static_cast<float>(y) + 1.5F, 0.0F, 60000.0F));
  rect.x = static_cast<short>(x), rect.y = static_cast<short>(y);
  rect.width = static_cast<unsigned short>(std::min(w, 65535)), rect.height = static_cast<unsigned short>(std::min(h, 65535));
  for (int i : {GC_LINE, GC_MARK, GC_FILL, GC_TEXT})
    if (gc(i) != nullptr) XSetClipRectangles(dpy(), gc(i), 0, 0, &rect, 1, Unsorted);
}

void set_dashes(int type) {
  const unsigned char* d = nullptr;
  const int n = gget_dash(type, &d);
  if (type == 1 || n == 0) {
    XSetLineAttributes(dpy(), gc(GC_LINE), static_cast<unsigned>(std::max(0, static_cast<int>(gget_line_width()))),
                       LineSolid, CapButt, JoinBevel);
    return;
  }
  char list[8];
  for (int i = 0; i < n && i < 8; ++i) list[i] = static_cast<char>(d[i]);
  XSetDashes(dpy(), gc(GC_LINE), 0, list, n);
  XSetLineAttributes(dpy(), gc(GC_LINE), static_cast<unsigned>(std::max(0, static_cast<int>(gget_line_width()))),
                     LineOnOffDash, CapButt, JoinBevel);
}

unsigned width_of(const float* values, int count) {
  if (values == nullptr || count < 1 || !std::isfinite(values[0]) || values[0] < 0.0F) return 0;
  return static_cast<unsigned>(std::min(values[0], 1000.0F));
}

void set_width(GC g, unsigned w) {
  XGCValues v{};
  v.line_width = static_cast<int>(w);
  XChangeGC(dpy(), g, GCLineWidth, &v);
}

int x_state(int code, int arg, const float* values, int count) {
  if (dpy() == nullptr) return rec().state(code, arg, values, count);
  if (code == GOBJ_COLR) {
    if (values == nullptr || count < 3) return -1;
    const int slot = arg < 0 ? GKS_BACKGROUND_SLOT : arg;
    if (slot != GKS_BACKGROUND_SLOT) st.max_colr = std::max(st.max_colr, slot);
    const int p = alloc_slot(arg, values[0], values[1], values[2]);
    if (p >= 0 && slot == GKS_BACKGROUND_SLOT) {
      st.bg_pixel = static_cast<unsigned long>(p);
      if (st.top != 0 && st.win_type_open == WS_X11) {
        XSetWindowBackground(dpy(), st.top, st.bg_pixel);
      }
    }
    return p;
  }
  if (gc(GC_LINE) == nullptr) return 0;
  switch (code) {
    case GOBJ_LTYPE:
      set_dashes(arg);
      break;
    case GOBJ_LWIDTH:
      set_width(gc(GC_LINE), width_of(values, count));
      break;
    case GOBJ_LCOLR:
      XSetForeground(dpy(), gc(GC_LINE), pixel_of(arg));
      break;
    case GOBJ_MCOLR:
      XSetForeground(dpy(), gc(GC_MARK), pixel_of(arg));
      break;
    case GOBJ_MWIDTH:
      set_width(gc(GC_MARK), width_of(values, count));
      break;
    case GOBJ_TCOLR:
      XSetForeground(dpy(), gc(GC_TEXT), pixel_of(arg));
      break;
    case GOBJ_TWIDTH:
      set_width(gc(GC_TEXT), width_of(values, count));
      break;
    case GOBJ_FSTYLE:
      st.fill_style = arg;
      apply_fill_style();
      break;
    case GOBJ_FINDEX:
      st.fill_pattern = arg;
      apply_fill_style();
      break;
    case GOBJ_FCOLR:
      XSetForeground(dpy(), gc(GC_FILL), pixel_of(arg));
      break;
    default:
      break;
  }
  return 0;
}

void x_polyline(int n, const float* world, const float* dev) {
  if (dpy() == nullptr) return rec().polyline(n, world, dev);
  if (!drawing()) return;
  XPoint* p = points(n, dev);
  if (p != nullptr) draw_lines(gc(GC_LINE), p, n);
}

void x_fill(int n, const float* world, const float* dev) {
  if (dpy() == nullptr) return rec().fill_area(n, world, dev);
  if (!drawing() || n < 1) return;
  // One request holds the whole polygon; beyond that it cannot be filled.
  if (n > 1000000) {
    MESS_print(MESS_WARN, "gfill_area: %d points are too many to fill in the window\n", n);
    return;
  }
  XPoint* p = points(n, dev);
  if (p == nullptr) return;
  XFillPolygon(dpy(), st.target, gc(GC_FILL), p, n, Complex, CoordModeOrigin);
  // The outline too, so that the fill reaches the pixels of its edge.
  p[n] = p[0];
  draw_lines(gc(GC_FILL), p, n + 1);
}

void stroke(int which, int nv, const float* dev, int shadow) {
  if (!drawing()) return;
  XPoint* p = points(nv, dev);
  if (p == nullptr) return;
  GC g = gc(which);
  XGCValues saved{};
  if (shadow) {
    XGetGCValues(dpy(), g, GCForeground, &saved);
    XSetForeground(dpy(), g, BlackPixel(dpy(), st.screen));
  }
  if (nv == 1)
    XDrawPoint(dpy(), st.target, g, p[0].x, p[0].y);
  else
    draw_lines(g, p, nv);
  if (shadow) XSetForeground(dpy(), g, saved.foreground);
}

void x_mark_begin(int n) {
  if (dpy() == nullptr) return rec().marker_begin(n);
}
void x_mark_shape(int nv, const float* dev, int shadow) {
  if (dpy() == nullptr) return rec().marker_shape(nv, dev, shadow);
  stroke(GC_MARK, nv, dev, shadow);
}
void x_text_begin(float x, float y, const char* s) {
  if (dpy() == nullptr) return rec().text_begin(x, y, s);
}
void x_text_stroke(int nv, const float* dev, int shadow) {
  if (dpy() == nullptr) return rec().text_stroke(nv, dev, shadow);
  stroke(GC_TEXT, nv, dev, shadow);
}

void x_clear_region(const float world[4], const float dev[4]) {
  if (dpy() == nullptr) return rec().clear_region(world, dev);
  if (!drawing()) return;
  const int x0 = pix(std::min(dev[0], dev[2])), x1 = pix(std::max(dev[0], dev[2]));
  const int y0 = pix(std::min(dev[1], dev[3])), y1 = pix(std::max(dev[1], dev[3]));
  XGCValues saved{};
  GC g = gc(GC_FILL);
  XGetGCValues(dpy(), g, GCForeground | GCFillStyle, &saved);
  XSetForeground(dpy(), g, st.bg_pixel);
  XSetFillStyle(dpy(), g, FillSolid);
  XFillRectangle(dpy(), st.target, g, x0, y0, static_cast<unsigned>(x1 - x0 + 1), static_cast<unsigned>(y1 - y0 + 1));
  XSetForeground(dpy(), g, saved.foreground);
  XSetFillStyle(dpy(), g, saved.fill_style);
}

void x_message(const char* text) {
  if (dpy() == nullptr) return rec().message(text);
}

void x_title(const char*) { set_name(display_title(gget_win_title())); }

int x_parse_color(const char* name, float rgb[3]) {
  if (dpy() == nullptr || name == nullptr || *name == '\0') return 0;
  XColor c{};
  const Colormap cm = st.private_cmap ? st.private_cmap.get() : st.colormap;
  if (XParseColor(dpy(), cm, name, &c) == 0) return 0;
  rgb[0] = c.red / 65535.0F, rgb[1] = c.green / 65535.0F, rgb[2] = c.blue / 65535.0F;
  return 1;
}

const char* x_setting(const char* name) {
  if (dpy() == nullptr || name == nullptr) return nullptr;
  return XGetDefault(dpy(), gget_prog_name(), name);
}

const GksDevice device{
    .name = "window",
    .open = x_open,
    .close = x_close,
    .init = x_init,
    .clear = x_clear,
    .clip = x_clip,
    .state = x_state,
    .polyline = x_polyline,
    .fill_area = x_fill,
    .polymarker = nullptr,
    .marker_begin = x_mark_begin,
    .marker_shape = x_mark_shape,
    .text = nullptr,
    .text_begin = x_text_begin,
    .text_stroke = x_text_stroke,
    .clear_region = x_clear_region,
    .message = x_message,
    .title = x_title,
    .parse_color = x_parse_color,
    .setting = x_setting,
};

}  // namespace

const GksDevice* gx11_device() { return &device; }

// ---- the connection ----

Display* gget_display() { return dpy(); }
int gget_depth() { return dpy() != nullptr ? st.depth : 0; }
Visual* gget_visual() { return dpy() != nullptr ? st.visual : nullptr; }
Window gget_top_window() { return dpy() != nullptr ? st.top : 0; }
Drawable gget_base_window() { return dpy() != nullptr ? st.base : 0; }
Drawable gget_draw_window() { return dpy() != nullptr ? st.target : 0; }
void gset_draw_window(Drawable d) { st.target = d; }
int gget_pix_width() { return st.pix_w; }
int gget_pix_height() { return st.pix_h; }
GC gget_line_gc() { return dpy() != nullptr ? gc(GC_LINE) : nullptr; }
GC gget_fill_gc() { return dpy() != nullptr ? gc(GC_FILL) : nullptr; }
unsigned long gget_background_pixel() { return st.bg_pixel; }

unsigned gx11_generation() { return lasting.generation; }
bool gx11_alive(unsigned gen) { return lasting.connection_alive && gen == lasting.generation; }

PixmapOwner gx11_new_pixmap() {
  if (dpy() == nullptr || st.base == 0 || st.pix_w < 1 || st.pix_h < 1) return {};
  PixmapOwner p(dpy(), XCreatePixmap(dpy(), st.base, static_cast<unsigned>(st.pix_w), static_cast<unsigned>(st.pix_h),
                                     static_cast<unsigned>(st.depth)));
  gx11_clear(p.get());
  return p;
}

void gx11_clear(Drawable d) {
  if (dpy() == nullptr || d == 0 || gc(GC_TOP) == nullptr) return;
  XSetForeground(dpy(), gc(GC_TOP), st.bg_pixel);
  XFillRectangle(dpy(), d, gc(GC_TOP), 0, 0, static_cast<unsigned>(st.pix_w), static_cast<unsigned>(st.pix_h));
}

void gx11_copy(Drawable from, Drawable to) {
  if (dpy() == nullptr || from == 0 || to == 0 || from == to || gc(GC_TOP) == nullptr) return;
  XCopyArea(dpy(), from, to, gc(GC_TOP), 0, 0, static_cast<unsigned>(st.pix_w), static_cast<unsigned>(st.pix_h), 0, 0);
}

void gx11_swap_base(PixmapOwner& p) {
  if (st.win_type_open != WS_X11 || !p) return;
  st.own_base.swap(p);
  st.base = st.own_base.get();
}

// ---- window ----

void gupdate_window() {
  if (dpy() == nullptr || st.win_type_open != WS_X11 || st.top == 0 || st.base == 0) return;
  XCopyArea(dpy(), st.base, st.top, gc(GC_TOP), 0, 0, static_cast<unsigned>(st.pix_w), static_cast<unsigned>(st.pix_h), 0, 0);
  XFlush(dpy());
}

int gresize_window(int w, int h) {
  if (dpy() == nullptr || st.win_type_open != WS_X11 || st.top == 0) return 0;
  if (w > 0 && h > 0) {
    XResizeWindow(dpy(), st.top, static_cast<unsigned>(std::min(w, 32767)), static_cast<unsigned>(std::min(h, 32767)));
    XSync(dpy(), False);
  }
  XWindowAttributes wa{};
  if (XGetWindowAttributes(dpy(), st.top, &wa) == 0) return 0;
  st.top_w = wa.width, st.top_h = wa.height;
  if (wa.width == st.pix_w && wa.height == st.pix_h) return 0;
  PixmapOwner fresh(dpy(), XCreatePixmap(dpy(), st.top, static_cast<unsigned>(wa.width), static_cast<unsigned>(wa.height),
                                         static_cast<unsigned>(st.depth)));
  XSetForeground(dpy(), gc(GC_TOP), st.bg_pixel);
  XFillRectangle(dpy(), fresh.get(), gc(GC_TOP), 0, 0, static_cast<unsigned>(wa.width),
                 static_cast<unsigned>(wa.height));
  // The old picture stays in the top-left corner until the plot is drawn anew.
  XCopyArea(dpy(), st.base, fresh.get(), gc(GC_TOP), 0, 0, static_cast<unsigned>(std::min(st.pix_w, wa.width)),
            static_cast<unsigned>(std::min(st.pix_h, wa.height)), 0, 0);
  const bool on_base = st.target == st.base;
  st.own_base.swap(fresh);
  st.base = st.own_base.get();
  if (on_base) st.target = st.base;
  st.pix_w = wa.width, st.pix_h = wa.height;
  gset_win_size(static_cast<float>(st.pix_w), static_cast<float>(st.pix_h));
  return 1;
}

int gis_mapped() { return st.mapped ? 1 : 0; }
void gset_mapped(int on) { st.mapped = on != 0; }
int gget_focused() { return st.focused ? 1 : 0; }
void gset_focused(int on) { st.focused = on != 0; }

void gsync() {
  if (dpy() != nullptr) XSync(dpy(), False);
}

void gbell(int volume) {
  if (dpy() == nullptr || st.win_type_open != WS_X11) return;
  XBell(dpy(), std::clamp(volume == 0 ? 50 : volume, -100, 100));
  XFlush(dpy());
}

void gset_cursor(int code) { gset_cursor_type(code); }

int gset_cursor_type(int code) {
  const int previous = st.cursor_code < 0 ? 0 : st.cursor_code;
  if (code < 0 || code >= static_cast<int>(st.cursors.size())) return previous;
  if (dpy() == nullptr || st.win_type_open != WS_X11 || st.top == 0 || !st.cursors[code]) {
    st.cursor_code = code;
    return previous;
  }
  if (code != st.cursor_code) {
    XDefineCursor(dpy(), st.top, st.cursors[code].get());
    XSync(dpy(), False);
  }
  st.cursor_code = code;
  return previous;
}

int gget_cursor() { return st.cursor_code < 0 ? 0 : st.cursor_code; }

void gset_win_title_extra(const char* text) {
  std::string name = display_title(gget_win_title());
  if (text != nullptr && *text != '\0') name += std::string(" ") + text;
  set_name(name);
}

int gget_win_title_extra(char* out, std::size_t size) {
  std::string extra;
  const std::string name = fetch_name(st.top);
  const std::string title = display_title(gget_win_title());
  if (name.size() > title.size() && name.compare(0, title.size(), title) == 0) {
    extra = name.substr(title.size());
    if (!extra.empty() && extra[0] == ' ') extra.erase(0, 1);
  }
  if (out != nullptr && size > 0) {
    const std::size_t n = std::min(extra.size(), size - 1);
    std::memcpy(out, extra.data(), n);
    out[n] = '\0';
  }
  return static_cast<int>(extra.size());
}

void gset_geometry(const char* g) { st.geometry = g != nullptr ? g : ""; }
void gset_iconic(int on) { st.iconic = on != 0; }
void gset_fixed_size() { st.fixed_size = true; }
void gset_xsize(int width, int height) {
  st.want_w = width > 0 && width < 32768 ? width : 0;
  st.want_h = height > 0 && height < 32768 ? height : 0;
}
void gset_icon_bitmap(const unsigned char* bits) {
  if (bits == nullptr) {
    st.icon_set = false;
    return;
  }
  std::memcpy(st.icon_bits.data(), bits, st.icon_bits.size());
  st.icon_set = true;
}

// ---- colours ----

int galloc_colr(int index, float r, float g, float b) {
  if (!std::isfinite(r) || !std::isfinite(g) || !std::isfinite(b)) return -1;
  if (index > 255) return -1;
  if (index < 0) {
    int near = -1;
    for (int i = 0; i < st.max_colr; ++i) {
      float cr = 0, cg = 0, cb = 0;
      if (gget_color_ind(i) < 0 || gget_color_rgb(i, &cr, &cg, &cb) != 0) continue;
      if (std::fabs(cr - r) + std::fabs(cg - g) + std::fabs(cb - b) < 0.01F) near = i;
    }
    if (near >= 0) return near;
    index = st.max_colr + 1;
    if (index > 255) return -1;
  }
  const float rgb[3] = {r, g, b};
  if (dpy() == nullptr) st.max_colr = std::max(st.max_colr, index);
  return gset_colr_rep(1, index, rgb) == 0 ? index : -1;
}

void ginit_xcolr() {
  if (dpy() == nullptr) return;
  const bool env = std::getenv("LOCAL_CMAP") != nullptr || std::getenv("zavlocal_cmap") != nullptr;
  if ((st.local_cmap_wanted || env) && st.win_type_open == WS_X11 && st.top != 0) {
    st.private_cmap = ColormapOwner(dpy(), XCreateColormap(dpy(), st.top, st.visual, AllocNone));
    XSetWindowColormap(dpy(), st.top, st.private_cmap.get());
  }
  gclear_colors();
  st.max_colr = -1;
}

void gset_local_colormap(int on) { st.local_cmap_wanted = on != 0; }
int gget_local_colormap() { return st.local_cmap_wanted ? 1 : 0; }
void gset_rw_colors(int on) { st.rw_colors = on != 0; }
int gget_rw_colors() { return st.rw_colors ? 1 : 0; }
int gget_max_colr() { return st.max_colr; }

void gset_pix_mode(int mode) { st.pix_mode = mode; }
int gget_pix_mode() { return st.pix_mode; }

// ---- events ----

void gx11_set_event_handler(GksEventHandler handler) { st.event_handler = handler; }

int gcheck_event() {
  if (dpy() == nullptr || st.win_type_open != WS_X11 || !gtype_is_WIN() || !gget_cache()) return 0;
  int others = 0;
  // A flood of events is served over several calls rather than keeping the plot waiting.
  for (int i = 0; i < 1000 && dpy() != nullptr && XPending(dpy()) > 0; ++i) {
    XEvent ev;
    XNextEvent(dpy(), &ev);
    const int user = st.event_handler != nullptr ? st.event_handler(&ev) : 0;
    if (!user) ++others;
  }
  return others;
}

int gwait_event() {
  if (dpy() == nullptr || st.win_type_open != WS_X11 || !gtype_is_WIN() || !gget_cache()) return 0;
  if (XPending(dpy()) == 0) {
    const int fd = ConnectionNumber(dpy());
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    select(fd + 1, &set, nullptr, nullptr, nullptr);
  }
  return gcheck_event();
}

void gx11_window_destroyed(Window w) {
  if (dpy() != nullptr && st.top != 0 && w == st.top && st.win_type_open == WS_X11) window_lost();
}

Atom gx11_wm_protocols() { return st.wm_protocols; }
Atom gx11_wm_delete() { return st.wm_delete; }

// ---- errors ----

void gx11_set_fatal_hook(void (*hook)()) { st.fatal_hook = hook; }

void GX11_reset_state() {
  // The hooks the kernel wired at start-up stay.
  X11State fresh;
  fresh.event_handler = st.event_handler;
  fresh.fatal_hook = st.fatal_hook;
  st = std::move(fresh);
}
void gx11_set_error_print(int on) {
  st.print_errors = on != 0;
  if (on) st.error_flag = false;
}
int gx11_error_count() { return st.errors; }
int gx11_error_flag() {
  const int was = st.error_flag ? 1 : 0;
  st.error_flag = false;
  return was;
}
void gx11_trap(bool on) {
  st.trapping = on;
  st.trap_failed = false;
}
bool gx11_trap_failed() { return st.trap_failed; }
