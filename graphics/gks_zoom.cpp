// Pixel-replicating zoom.
#include "graphics/gks_zoom.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "graphics/gks_dev.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_x11.h"

namespace {

// The zoom factor and centre, and the picture a window without frames is zoomed from.
struct GksZoomState {
  int zoom = 1;
  int zoom_x = 0, zoom_y = 0;
  // The unzoomed picture of a window without frames.
  PixmapOwner base_image;
};
GKS_CONSTINIT GksZoomState st;

constexpr int max_zoom = 1024;

struct ImageDestroyer {
  void operator()(XImage* i) const {
    if (i != nullptr) XDestroyImage(i);
  }
};
using Image = std::unique_ptr<XImage, ImageDestroyer>;

Image get_image(unsigned long d, int w, int h) {
  if (d == 0) return nullptr;
  Image img;
  gx11_trapped([&] { img.reset(XGetImage(gget_display(), d, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap)); });
  return img;
}

// Fills dst (w by h) with the view at left, top of src, each pixel repeated f by f.
void replicate(XImage* src, XImage* dst, int left, int top, int f, int w, int h) {
  const bool fast = src->bits_per_pixel == 32 && dst->bits_per_pixel == 32 && src->byte_order == dst->byte_order;
  for (int y = 0; y < h; ++y) {
    const int sy = std::min(top + y / f, h - 1);
    if (y % f != 0) {
      // The same source row as the row above.
      std::memcpy(dst->data + static_cast<std::ptrdiff_t>(y) * dst->bytes_per_line,
                  dst->data + static_cast<std::ptrdiff_t>(y - 1) * dst->bytes_per_line,
                  static_cast<std::size_t>(dst->bytes_per_line));
      continue;
    }
    if (fast) {
      const auto* s = reinterpret_cast<const std::uint32_t*>(src->data + static_cast<std::ptrdiff_t>(sy) * src->bytes_per_line);
      auto* d = reinterpret_cast<std::uint32_t*>(dst->data + static_cast<std::ptrdiff_t>(y) * dst->bytes_per_line);
      for (int x = 0; x < w; ++x) d[x] = s[std::min(left + x / f, w - 1)];
    } else {
      for (int x = 0; x < w; ++x) XPutPixel(dst, x, y, XGetPixel(src, std::min(left + x / f, w - 1), sy));
    }
  }
}

// The view of factor f round the centre cx, cy, kept inside the picture; its top-left
// corner.
void view(int cx, int cy, int f, int w, int h, int* left, int* top) {
  const int vw = w / f, vh = h / f;
  int l = std::max(0, cx - vw / 2), t = std::max(0, cy - vh / 2);
  if (l + vw > w) l = w - (w + 1) / f;
  if (t + vh > h) t = h - (h + 1) / f;
  *left = std::max(0, l);
  *top = std::max(0, t);
}

int left_edge() { return st.zoom > 1 ? std::max(0, st.zoom_x - (gget_pix_width() / st.zoom) / 2) : 0; }
int top_edge() { return st.zoom > 1 ? std::max(0, st.zoom_y - (gget_pix_height() / st.zoom) / 2) : 0; }

// The unzoomed picture to read: the frame's, else the saved copy, else the window's own.
unsigned long source(int frame) {
  if (gget_num_images() > 0) return gget_frame_drawable(frame);
  return st.base_image ? st.base_image.get() : gget_base_window();
}

}  // namespace

int gzoom(int frame, int x, int y, int factor, int redisplay) {
  Display* d = gget_display();
  const unsigned long base = gget_base_window();
  if (d == nullptr || base == 0 || !gtype_is_WIN()) return 0;
  if (factor == 1 && redisplay) return 0;
  const int w = gget_pix_width(), h = gget_pix_height();
  int f = st.zoom;
  if (factor >= 0)
    f = std::max(factor, 1);
  else if (factor < -1)
    f = st.zoom * -factor;
  if (f > max_zoom || w / f < 1 || h / f < 1) return 0;
  if (gget_num_images() == 0 && st.zoom == 1 && !redisplay) {
    st.base_image = gx11_new_pixmap();
    gx11_copy(base, st.base_image.get());
  }
  const unsigned long src_pixmap = source(frame);
  if (src_pixmap == 0) return 0;
  int cx = st.zoom_x, cy = st.zoom_y;
  if (x > -2 && y > -2) {
    cx = static_cast<int>(xZ_p(static_cast<float>(x)));
    cy = static_cast<int>(yZ_p(static_cast<float>(y)));
  }
  int left = 0, top = 0;
  view(cx, cy, f, w, h, &left, &top);
  Image src = get_image(src_pixmap, w, h);
  Image dst = get_image(base, w, h);
  if (!src || !dst) return 0;
  replicate(src.get(), dst.get(), left, top, f, w, h);
  XPutImage(d, base, DefaultGC(d, DefaultScreen(d)), dst.get(), 0, 0, 0, 0, static_cast<unsigned>(w),
            static_cast<unsigned>(h));
  st.zoom = f;
  st.zoom_x = left + (w / f) / 2;
  st.zoom_y = top + (h / f) / 2;
  if (f == 1) st.zoom_x = st.zoom_y = 0;
  gupdate_window();
  return f;
}

void gunzoom() {
  st.zoom = 1;
  st.zoom_x = st.zoom_y = 0;
  if (st.base_image) {
    gx11_copy(st.base_image.get(), gget_base_window());
    st.base_image.reset();
    gupdate_window();
  } else if (gget_num_images() > 0) {
    gdisplay_frame(GKS_FRAME_CURRENT);
  }
}

void greset_zoom() {
  st.base_image.reset();
  st.zoom = 1;
  st.zoom_x = st.zoom_y = 0;
}

void GZOOM_reset_state() { st = GksZoomState{}; }

int gget_zoom() { return st.zoom; }

void gget_zoom_center(int* x, int* y) {
  if (x != nullptr) *x = st.zoom_x;
  if (y != nullptr) *y = st.zoom_y;
}

float xZ_p(float p) { return st.zoom > 1 ? static_cast<float>(left_edge()) + p / static_cast<float>(st.zoom) : p; }
float yZ_p(float p) { return st.zoom > 1 ? static_cast<float>(top_edge()) + p / static_cast<float>(st.zoom) : p; }

int gzoom_display_frame(int n) {
  if (st.zoom < 2) return 0;
  return gzoom(n, -2, -2, -1, 1) > 0 ? 1 : 0;
}
