// Graphics kernel: transformations, converters and the device clip.
#include "graphics/gks_tran.h"

#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "config/missing.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"

namespace {

// xmin, ymin, xmax, ymax, width, height
using Rect6 = std::array<float, 6>;
constexpr Rect6 unit{0.0F, 0.0F, 1.0F, 1.0F, 1.0F, 1.0F};
enum { XMIN, YMIN, XMAX, YMAX, WIDTH, HEIGHT };

// The normalisation transformations, the one selected with its scale, and the workstation
// window and viewport with the device surface they map onto.
struct TranState {
  std::array<Rect6, GKS_NUM_TRANS> wn = {unit, unit, unit, unit, unit, unit};
  std::array<Rect6, GKS_NUM_TRANS> vp = {unit, unit, unit, unit, unit, unit};
  int cur_trans = 0;
  Rect6 cur_wn = unit;
  Rect6 cur_vp = unit;
  std::array<float, 2> wn_vp{1.0F, 1.0F};

  Rect6 wkwn = unit;
  Rect6 wkvp{};
  // x, y, xmax, ymax, width, height (device units, y up from the bottom of the surface)
  Rect6 plt{};
  std::array<float, 2> wkwn_plt{0.0F, 0.0F};
};
GKS_CONSTINIT TranState st;

// From the caller's order xmin, xmax, ymin, ymax.
Rect6 from_caller(const float r[4]) { return {r[0], r[2], r[1], r[3], r[1] - r[0], r[3] - r[2]}; }

bool usable(const float r[4], bool positive) {
  if (r == nullptr) return false;
  for (int i = 0; i < 4; ++i)
    if (!std::isfinite(r[i])) return false;
  const float w = r[1] - r[0], h = r[3] - r[2];
  if (!std::isfinite(w) || !std::isfinite(h)) return false;
  return positive ? (w > 0.0F && h > 0.0F) : (w != 0.0F && h != 0.0F);
}

float clamp(float v, float limit) {
  if (!(v >= -limit)) return -limit;  // also NaN
  return v > limit ? limit : v;
}

float ratio(float a, float b) { return b != 0.0F ? a / b : 0.0F; }

void set_scale() { st.wn_vp = {ratio(st.cur_vp[WIDTH], st.cur_wn[WIDTH]), ratio(st.cur_vp[HEIGHT], st.cur_wn[HEIGHT])}; }

// The largest rectangle with the workstation window's aspect inside the workstation
// viewport, at its lower-left corner.
void compute_plot() {
  const float dx = st.wkvp[WIDTH], dy = st.wkvp[HEIGHT], wx = st.wkwn[WIDTH], wy = st.wkwn[HEIGHT];
  float win_x = 0.0F, win_y = 0.0F;
  gget_win_offset(&win_x, &win_y);
  const float x0 = win_x + st.wkvp[XMIN], y0 = win_y + st.wkvp[YMIN];
  float pw = 0.0F, ph = 0.0F;
  if (dx > 0.0F && dy > 0.0F && wx > 0.0F && wy > 0.0F) {
    if (dx / wx > dy / wy) {
      ph = dy;
      pw = dy * wx / wy;
    } else {
      pw = dx;
      ph = dx * wy / wx;
    }
  }
  st.plt = {x0, y0, x0 + pw, y0 + ph, pw, ph};
  st.wkwn_plt = {ratio(pw, wx), ratio(ph, wy)};
}

// NDC y to device units counted upwards from the bottom of the surface.
float y_up(float yn) { return (yn - st.wkwn[YMIN]) * st.wkwn_plt[1] + st.plt[YMIN]; }
float x_dev(float xn) { return (xn - st.wkwn[XMIN]) * st.wkwn_plt[0] + st.plt[XMIN]; }
// Window devices count pixel rows from the top.
float flip(float y) {
  float height = 0.0F;
  gget_win_size(nullptr, &height);
  return (height - 1.0F) - y;
}

// Integer part, as the clip rectangle rounds.
int ipart(float v) { return static_cast<int>(clamp(v, 1.0e6F)); }

void clip_rect(int r[4]) {
  if (gtype_is_WIN_PIX()) {
    const float x0 = xNDC_p(st.cur_vp[XMIN]), x1 = xNDC_p(st.cur_vp[XMAX]);
    const float ytop = yNDC_p(st.cur_vp[YMAX]), ybot = yNDC_p(st.cur_vp[YMIN]);
    r[0] = ipart(x0 + 0.5F);
    r[1] = ipart(ytop + 0.5F);
    r[2] = ipart(x1 - static_cast<float>(r[0]) + 1.5F);
    r[3] = ipart(ybot - static_cast<float>(r[1]) + 1.5F);
  } else {
    const float x0 = xNDC_ps(st.cur_vp[XMIN]), x1 = xNDC_ps(st.cur_vp[XMAX]);
    const float y0 = yNDC_ps(st.cur_vp[YMIN]), y1 = yNDC_ps(st.cur_vp[YMAX]);
    r[0] = ipart(x0 + 0.5F);
    r[1] = ipart(y0 + 0.5F);
    r[2] = ipart(x1 - static_cast<float>(r[0]) + 1.5F);
    r[3] = ipart(y1 - static_cast<float>(r[1]) + 1.5F);
  }
  if (r[2] < 0) r[2] = 0;
  if (r[3] < 0) r[3] = 0;
}

// The device clips to the current viewport.
void set_device_clip() {
  const GksDevice* dev = gdev_cur();
  if (dev == nullptr || dev->clip == nullptr) return;
  float r[4];
  if (gtype_is_WIN_PIX()) {
    r[0] = xNDC_p(st.cur_vp[XMIN]);
    r[1] = yNDC_p(st.cur_vp[YMAX]);
    r[2] = xNDC_p(st.cur_vp[XMAX]);
    r[3] = yNDC_p(st.cur_vp[YMIN]);
  } else {
    r[0] = xNDC_ps(st.cur_vp[XMIN]);
    r[1] = yNDC_ps(st.cur_vp[YMIN]);
    r[2] = xNDC_ps(st.cur_vp[XMAX]);
    r[3] = yNDC_ps(st.cur_vp[YMAX]);
  }
  dev->clip(r);
}

void select_current(int n) {
  st.cur_trans = n;
  st.cur_wn = st.wn[n];
  st.cur_vp = st.vp[n];
  set_scale();
}

// The state record of a rectangle for the device: xmin, ymin, xmax, ymax.
void device_rect(int code, int arg, const Rect6& r) {
  const GksDevice* dev = gdev_cur();
  if (dev == nullptr || dev->state == nullptr) return;
  const float v[4] = {r[XMIN], r[YMIN], r[XMAX], r[YMAX]};
  dev->state(code, arg, v, 4);
}

// Windows may run backwards (a flipped axis); viewports may not.
int set_rect(const char* routine, int code, int n, const float rect[4], std::array<Rect6, GKS_NUM_TRANS>& store) {
  if (n < 0 || n >= GKS_NUM_TRANS) return gerr_printf(routine, "invalid transformation number: %d\n", n);
  if (!usable(rect, code == GOBJ_VP))
    return gerr_printf(routine, "invalid rectangle: %g %g %g %g\n", rect ? rect[0] : 0.0, rect ? rect[1] : 0.0,
                       rect ? rect[2] : 0.0, rect ? rect[3] : 0.0);
  store[n] = from_caller(rect);
  gnew_obj(code, n, 4 * sizeof(float), rect);
  device_rect(code, n, store[n]);
  return 0;
}

}  // namespace

// ---- surface ----

void ginq_disp_space_size(float* width, float* height) {
  float win_width = 0.0F, win_height = 0.0F;
  gget_win_size(&win_width, &win_height);
  if (width != nullptr) *width = win_width > 1.0F ? win_width - 1.0F : 0.0F;
  if (height != nullptr) *height = win_height > 1.0F ? win_height - 1.0F : 0.0F;
}

void ginq_maxview(float* xmax, float* ymax) {
  float w = 0.0F, h = 0.0F;
  ginq_disp_space_size(&w, &h);
  float x = 1.0F, y = 1.0F;
  if (w > 0.0F && h > 0.0F) {
    if (w >= h)
      y = h / w;
    else
      x = w / h;
  }
  if (xmax != nullptr) *xmax = x;
  if (ymax != nullptr) *ymax = y;
}

// ---- transformations ----

void ginit_tran(int mode) {
  float w = 0.0F, h = 0.0F;
  ginq_disp_space_size(&w, &h);
  st.wkvp = {0.0F, 0.0F, w, h, w, h};
  if (mode != 10) {
    st.wkwn = unit;
    st.wn.fill(unit);
    st.vp.fill(unit);
    st.cur_trans = 0;
  }
  compute_plot();
  select_current(st.cur_trans);
  set_device_clip();
}

void GTRAN_reset_state() { st = TranState{}; }

int gset_win(int n, const float rect[4]) {
  if (set_rect("gset_win", GOBJ_WIN, n, rect, st.wn) != 0) return -1;
  if (n == st.cur_trans) select_current(n);
  return 0;
}

int gset_vp(int n, const float rect[4]) {
  if (set_rect("gset_vp", GOBJ_VP, n, rect, st.vp) != 0) return -1;
  if (n == st.cur_trans) {
    select_current(n);
    set_device_clip();
  }
  return 0;
}

int gsel_norm_tran(int n) {
  if (n < 0 || n >= GKS_NUM_TRANS) return gerr_printf("gsel_norm_tran", "invalid transformation number: %d\n", n);
  if (n == st.cur_trans) return 0;
  const GksDevice* dev = gdev_cur();
  if (dev != nullptr && dev->state != nullptr) dev->state(GOBJ_TRAN, n, nullptr, 0);
  gnew_obj(GOBJ_TRAN, n, 0, nullptr);
  select_current(n);
  set_device_clip();
  return 0;
}

int gset_ws_win(int ws_id, const float rect[4]) {
  if (!usable(rect, true)) return gerr_printf("gset_ws_win", "invalid workstation window\n");
  st.wkwn = from_caller(rect);
  device_rect(GOBJ_WS_WIN, ws_id, st.wkwn);
  gnew_obj(GOBJ_WS_WIN, ws_id, 4 * sizeof(float), rect);
  compute_plot();
  set_device_clip();
  return 0;
}

int gset_ws_vp(int ws_id, const float rect[4]) {
  if (!usable(rect, true)) return gerr_printf("gset_ws_vp", "invalid workstation viewport\n");
  st.wkvp = from_caller(rect);
  device_rect(GOBJ_WS_VP, ws_id, st.wkvp);
  gnew_obj(GOBJ_WS_VP, ws_id, 4 * sizeof(float), rect);
  compute_plot();
  set_device_clip();
  return 0;
}

int ginq_norm_tran(int n, int* error, float tran[8]) {
  if (n < 0 || n >= GKS_NUM_TRANS || tran == nullptr) {
    if (error != nullptr) *error = 1;
    return -1;
  }
  if (error != nullptr) *error = 0;
  const Rect6& w = st.wn[n];
  const Rect6& v = st.vp[n];
  const float t[8] = {w[XMIN], w[XMAX], w[YMIN], w[YMAX], v[XMIN], v[XMAX], v[YMIN], v[YMAX]};
  for (int i = 0; i < 8; ++i) tran[i] = t[i];
  return 0;
}

int ginq_cur_norm_tran_num(int* error, int* n) {
  if (error != nullptr) *error = 0;
  if (n != nullptr) *n = st.cur_trans;
  return 0;
}

int gget_norm_tran() { return st.cur_trans; }

void ginq_ws_win(float rect[4]) {
  if (rect == nullptr) return;
  rect[0] = st.wkwn[XMIN], rect[1] = st.wkwn[XMAX], rect[2] = st.wkwn[YMIN], rect[3] = st.wkwn[YMAX];
}

void ginq_ws_vp(float rect[4]) {
  if (rect == nullptr) return;
  rect[0] = st.wkvp[XMIN], rect[1] = st.wkvp[XMAX], rect[2] = st.wkvp[YMIN], rect[3] = st.wkvp[YMAX];
}

void gget_plot_rect(float out[6]) {
  if (out == nullptr) return;
  for (int i = 0; i < 6; ++i) out[i] = st.plt[i];
}

void gget_xviewport(short viewport[4]) {
  if (viewport == nullptr) return;
  int r[4];
  clip_rect(r);
  for (int i = 0; i < 4; ++i) viewport[i] = static_cast<short>(r[i] < -32768 ? -32768 : r[i] > 32767 ? 32767 : r[i]);
}

int gget_gviewport(int viewport[4]) {
  if (viewport == nullptr || !(gtype_is_WIN_PIX() || gtype_is_PS() || gtype_is_HPGL())) return -1;
  clip_rect(viewport);
  return 0;
}

// ---- converters ----

float xW_NDC(float x) { return (x - st.cur_wn[XMIN]) * st.wn_vp[0] + st.cur_vp[XMIN]; }
float yW_NDC(float y) { return (y - st.cur_wn[YMIN]) * st.wn_vp[1] + st.cur_vp[YMIN]; }
float xNDC_W(float x) { return ratio(x - st.cur_vp[XMIN], st.wn_vp[0]) + st.cur_wn[XMIN]; }
float yNDC_W(float y) { return ratio(y - st.cur_vp[YMIN], st.wn_vp[1]) + st.cur_wn[YMIN]; }

float xNDC_p(float x) { return clamp(x_dev(x), GKS_PIXEL_LIMIT); }
float yNDC_p(float y) { return clamp(flip(y_up(y)), GKS_PIXEL_LIMIT); }
float xW_p(float x) { return xNDC_p(xW_NDC(x)); }
float yW_p(float y) { return yNDC_p(yW_NDC(y)); }
float xp_W(float x) { return xNDC_W(ratio(x - st.plt[XMIN], st.wkwn_plt[0]) + st.wkwn[XMIN]); }
float yp_W(float y) { return yNDC_W(ratio(flip(y) - st.plt[YMIN], st.wkwn_plt[1]) + st.wkwn[YMIN]); }

float xNDC_ps(float x) { return clamp(x_dev(x), GKS_PRINT_LIMIT); }
float yNDC_ps(float y) { return clamp(y_up(y), GKS_PRINT_LIMIT); }
float xW_ps(float x) { return xNDC_ps(xW_NDC(x)); }
float yW_ps(float y) { return yNDC_ps(yW_NDC(y)); }
float xps_W(float x) { return xNDC_W(ratio(x - st.plt[XMIN], st.wkwn_plt[0]) + st.wkwn[XMIN]); }
float yps_W(float y) { return yNDC_W(ratio(y - st.plt[YMIN], st.wkwn_plt[1]) + st.wkwn[YMIN]); }

float xW_dev(float x) { return gtype_is_WIN_PIX() ? xW_p(x) : xW_ps(x); }
float yW_dev(float y) { return gtype_is_WIN_PIX() ? yW_p(y) : yW_ps(y); }
float xdev_W(float x) { return gtype_is_WIN_PIX() ? xp_W(x) : xps_W(x); }
float ydev_W(float y) { return gtype_is_WIN_PIX() ? yp_W(y) : yps_W(y); }

float xW_trans(int from, int to, float x) {
  if (from < 0 || from >= GKS_NUM_TRANS || to < 0 || to >= GKS_NUM_TRANS) return MISSING;
  const Rect6 &fw = st.wn[from], &fv = st.vp[from], &tw = st.wn[to], &tv = st.vp[to];
  const float xn = (x - fw[XMIN]) * ratio(fv[WIDTH], fw[WIDTH]) + fv[XMIN];
  return ratio(xn - tv[XMIN], ratio(tv[WIDTH], tw[WIDTH])) + tw[XMIN];
}

float yW_trans(int from, int to, float y) {
  if (from < 0 || from >= GKS_NUM_TRANS || to < 0 || to >= GKS_NUM_TRANS) return MISSING;
  const Rect6 &fw = st.wn[from], &fv = st.vp[from], &tw = st.wn[to], &tv = st.vp[to];
  const float yn = (y - fw[YMIN]) * ratio(fv[HEIGHT], fw[HEIGHT]) + fv[YMIN];
  return ratio(yn - tv[YMIN], ratio(tv[HEIGHT], tw[HEIGHT])) + tw[YMIN];
}

bool gdev_points(int n, const float* world, std::vector<float>* dev) {
  try {
    dev->resize(2 * static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int i = 0; i < n; ++i) {
    (*dev)[2 * i] = xW_dev(world[2 * i]);
    (*dev)[2 * i + 1] = yW_dev(world[2 * i + 1]);
  }
  return true;
}

// std::fmin and std::fmax (a NaN counts for nothing), without their library calls: every
// point of every line drawn passes here.
namespace {
inline float least(float a, float b) { return b < a || std::isnan(a) ? b : a; }
inline float most(float a, float b) { return b > a || std::isnan(a) ? b : a; }
}  // namespace

int gpts_in_win(int n, const float* points) {
  if (n <= 0 || points == nullptr) return 0;
  float x0 = points[0], x1 = points[0], y0 = points[1], y1 = points[1];
  for (int i = 1; i < n; ++i) {
    const float x = points[2 * i], y = points[2 * i + 1];
    x0 = least(x0, x), x1 = most(x1, x);
    y0 = least(y0, y), y1 = most(y1, y);
  }
  const float wx0 = std::fmin(st.cur_wn[XMIN], st.cur_wn[XMAX]), wx1 = std::fmax(st.cur_wn[XMIN], st.cur_wn[XMAX]);
  const float wy0 = std::fmin(st.cur_wn[YMIN], st.cur_wn[YMAX]), wy1 = std::fmax(st.cur_wn[YMIN], st.cur_wn[YMAX]);
  return (x1 >= wx0 && x0 <= wx1 && y1 >= wy0 && y0 <= wy1) ? 1 : 0;
}

// ---- drawing-list entries ----

int gclear_region(const float rect[4]) {
  if (!gchk_graphics()) return gerr_printf("gclear_region", "GKS not opened\n");
  if (rect == nullptr || !gdev_finite(2, rect)) return gerr_printf("gclear_region", "invalid rectangle\n");
  const float dev[4] = {xW_dev(rect[0]), yW_dev(rect[2]), xW_dev(rect[1]), yW_dev(rect[3])};
  if (!gtype_is_META()) gnew_obj(GOBJ_CLEAR, 0, 4 * sizeof(float), rect);
  const GksDevice* d = gdev_cur();
  if (d->clear_region != nullptr) d->clear_region(rect, dev);
  return 0;
}

int gmessage(int flag, const char* text) {
  if (!gchk_graphics() || text == nullptr) return -1;
  gnew_obj(GOBJ_MESSAGE, flag, std::strlen(text) + 1, text);
  const GksDevice* d = gdev_cur();
  if (d->message != nullptr) d->message(text);
  return 0;
}
