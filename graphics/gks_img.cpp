#include "graphics/gks_img.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "graphics/colors.h"
#include "graphics/gks_cairo.h"
#include "graphics/gks_dev.h"
#include "graphics/gif.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/png.h"
#include "graphics/xdump.h"

namespace {

// The kind of image file a save writes, and what the next dump records of the plot.
struct ImgState {
  int save_type = 0;
  std::string dump_info;
  std::string dump_date;
  int dump_domain = 0;
};
ImgState st;

struct XImageFree {
  void operator()(XImage* i) const {
    if (i != nullptr) XDestroyImage(i);
  }
};
using XImagePtr = std::unique_ptr<XImage, XImageFree>;

std::string window_name(Display* d, Window w) {
  char* name = nullptr;
  std::string out;
  if (w != 0 && XFetchName(d, w, &name) != 0 && name != nullptr) out = name;
  if (name != nullptr) XFree(name);
  return out.empty() ? "xwdump" : out;
}

Colormap window_colormap(Display* d) {
  XWindowAttributes a{};
  if (gget_top_window() != 0 && XGetWindowAttributes(d, gget_top_window(), &a) != 0) return a.colormap;
  return DefaultColormap(d, DefaultScreen(d));
}

// The colours of a colour-mapped visual's pixels (DirectColor: each mask stepped by its
// lowest bit), as fractions with near-white rounded up.
void query_colormap(Display* d, Visual* v, ImgRec* image) {
  const int n = v->map_entries;
  std::vector<XColor> cells(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    unsigned long pixel = static_cast<unsigned long>(i);
    if (v->c_class == DirectColor) {
      const auto step = [i](unsigned long mask) { return (mask & (~mask + 1)) * static_cast<unsigned long>(i) & mask; };
      pixel = step(v->red_mask) | step(v->green_mask) | step(v->blue_mask);
    }
    cells[static_cast<std::size_t>(i)].pixel = pixel;
  }
  XQueryColors(d, window_colormap(d), cells.data(), n);
  image->colors.resize(static_cast<std::size_t>(n));
  const auto frac = [](unsigned short c) {
    const float f = static_cast<float>(c) / 65535.0f;
    return f > 0.99f ? 1.0f : f;
  };
  for (int i = 0; i < n; ++i) {
    const XColor& c = cells[static_cast<std::size_t>(i)];
    image->colors[static_cast<std::size_t>(i)] = {frac(c.red), frac(c.green), frac(c.blue)};
  }
  image->num_colors = n;
  image->color_mapped = 1;
}

int dump(const char* path, int (*writer)(const char*, const ImgRec*)) {
  ImgRec image;
  IMG_init(&image);
  if (gget_image(&image) == 0) return 0;
  return writer(path, &image);
}

int write_zav(const char* path, const ImgRec* image) { return IMG_write(path, image, 0); }

int display_depth(int mode) {
  if (gget_display() != nullptr) return gget_depth();
  return mode == 1 ? 32 : 0;
}

// The window pixel of an 8-bit colour on a direct-colour visual.
unsigned long compose(const Visual* v, const unsigned char rgb[3]) {
  const auto part = [](unsigned long mask, unsigned char c) -> unsigned long {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1ul) == 0) ++shift;
    const unsigned long bits = mask >> shift;
    return ((static_cast<unsigned long>(c) * bits + 127) / 255) << shift;
  };
  return part(v->red_mask, rgb[0]) | part(v->green_mask, rgb[1]) | part(v->blue_mask, rgb[2]);
}

// Resamples an image that carries a domain onto the viewport of the current map: every
// viewport pixel takes the image pixel at the same place on the earth (nearest), or the
// transparent pixel where the image has none.
template <class PixelAt>
bool reproject(const ImgRec* image, PixelAt&& pixel_at, unsigned long transparent, int vw, int vh, int vx, int vy,
               std::vector<unsigned long>* out) {
  DomainRec map;
  MAP_get_domain(&map);
  if (map.proj == MISSING_INT || map.proj >= PROJ_XY) return false;
  const std::size_t n = static_cast<std::size_t>(vw) * vh;
  std::vector<float> lat(n, MISSING), lon(n, MISSING);
  for (int j = 0; j < vh; ++j) {
    for (int i = 0; i < vw; ++i) {
      const std::size_t k = static_cast<std::size_t>(j) * vw + i;
      const float x = xp_W(static_cast<float>(vx + i) + 0.5f), y = yp_W(static_cast<float>(vy + j) + 0.5f);
      if (!MAP_untran(&lat[k], &lon[k], x, y)) lat[k] = MISSING;
    }
  }
  MAP_domain(&image->domain);
  out->assign(n, transparent);
  for (std::size_t k = 0; k < n; ++k) {
    float x = 0.0f, y = 0.0f, col = 0.0f, row = 0.0f;
    if (lat[k] == MISSING || !MAP_tran(&x, &y, lat[k], lon[k]) || MAP_grid_untran(&col, &row, x, y) < 0) continue;
    const long c = std::lround(col), r = std::lround(row);
    if (c < 0 || r < 0 || c >= image->width || r >= image->height) continue;
    (*out)[k] = pixel_at(static_cast<int>(c), static_cast<int>(r));
  }
  MAP_domain(&map);
  return true;
}

// The window pixel of each raw image pixel, found or allocated once per distinct value:
// only the pixels that are shown are ever asked for.
class ColourMap {
 public:
  ColourMap(const ImgRec* image, unsigned long transparent) : image_(image), transparent_(transparent) {
    Display* d = gget_display();
    v_ = gget_visual();
    XColor tc{};
    tc.pixel = transparent;
    XQueryColor(d, window_colormap(d), &tc);
    tr_ = tc.red >> 8, tg_ = tc.green >> 8, tb_ = tc.blue >> 8;
    direct_ = v_->c_class == TrueColor || v_->c_class == DirectColor;
  }
  unsigned long at(int x, int y) {
    const std::uint32_t raw = IMG_get_pixel(image_, x, y);
    auto it = mapped_.find(raw);
    if (it == mapped_.end()) it = mapped_.emplace(raw, convert(raw)).first;
    return it->second;
  }

 private:
  unsigned long convert(std::uint32_t raw) const {
    unsigned char rgb[3];
    IMG_pixel_rgb(image_, raw, rgb);
    if (std::abs(rgb[0] - tr_) + std::abs(rgb[1] - tg_) + std::abs(rgb[2] - tb_) <= 6) return transparent_;
    if (direct_) return compose(v_, rgb);
    const int index = galloc_colr(-1, rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f);
    const int p = index >= 0 ? gget_color_ind(index) : -1;
    return p >= 0 ? static_cast<unsigned long>(p) : transparent_;
  }
  const ImgRec* image_;
  unsigned long transparent_;
  Visual* v_ = nullptr;
  int tr_ = 0, tg_ = 0, tb_ = 0;
  bool direct_ = false;
  std::unordered_map<std::uint32_t, unsigned long> mapped_;
};

std::string find_image(const char* path) {
  if (std::FILE* f = std::fopen(path, "rb")) {
    std::fclose(f);
    return path;
  }
  const char* dir = RES_get("image_path");
  if (dir == nullptr || *dir == '\0' || std::strcmp(dir, "none") == 0) return path;
  return FILE_add_path(std::string(dir), std::string(path));
}

unsigned long transparent_pixel(Display* d, const char* name) {
  if (name == nullptr || *name == '\0') return gget_background_pixel();
  const int index = CLR_get_ind(name);
  if (index >= 0 && index < 256) {
    const int pixel = gget_color_ind(index);
    if (pixel >= 0) return static_cast<unsigned long>(pixel);
  }
  XColor c{};
  const Colormap cmap = window_colormap(d);
  if (XParseColor(d, cmap, name, &c) != 0 && XAllocColor(d, cmap, &c) != 0) return c.pixel;
  return gget_background_pixel();
}

}  // namespace

int gget_image(ImgRec* image) {
  if (gtype_is_RASTER()) {
    // A run without a display draws its frames on the raster workstation.
    int w = 0, h = 0;
    std::vector<std::uint32_t> argb;
    if (graster_page(&w, &h, &argb) != 0 || IMG_from_argb(image, w, h, argb.data(), "xwdump") == 0) return 0;
    image->depth = 24;
    image->transparent = static_cast<long>(graster_background());
    return 1;
  }
  Display* d = gget_display();
  const Drawable target = gget_draw_window();
  if (d == nullptr || target == 0) return 0;
  Window root = 0;
  int x = 0, y = 0;
  unsigned w = 0, h = 0, border = 0, depth = 0;
  if (XGetGeometry(d, target, &root, &x, &y, &w, &h, &border, &depth) == 0) {
    MESS_print(MESS_ERROR, "gget_image: Can't get target window attributes\n");
    return 0;
  }
  XImage* raw = nullptr;
  gx11_trapped([&] { raw = XGetImage(d, target, 0, 0, w, h, AllPlanes, ZPixmap); });
  XImagePtr ximg(raw);
  if (!ximg) {
    MESS_print(MESS_ERROR, "gget_image: Unable to get image at %ux%u+%d+%d\n", w, h, 0, 0);
    return 0;
  }
  const std::string name = window_name(d, gget_top_window());
  Visual* v = gget_visual();
  const bool true_color = v != nullptr && v->c_class == TrueColor;
  if (true_color && ximg->bits_per_pixel == 32 && v->red_mask == 0xFF0000 && v->green_mask == 0xFF00 &&
      v->blue_mask == 0xFF) {
    // The common screen: the same record the off-screen raster gives.
    std::vector<std::uint32_t> argb(static_cast<std::size_t>(w) * h);
    for (unsigned j = 0; j < h; ++j) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(ximg->data) +
                               static_cast<std::size_t>(j) * static_cast<std::size_t>(ximg->bytes_per_line);
      for (unsigned i = 0; i < w; ++i, p += 4) {
        argb[static_cast<std::size_t>(j) * w + i] =
            ximg->byte_order == MSBFirst
                ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3])
                : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
      }
    }
    // The pad byte is no colour: opaque, as the raster's pixels are.
    for (std::uint32_t& p : argb) p |= 0xFF000000u;
    IMG_from_argb(image, static_cast<int>(w), static_cast<int>(h), argb.data(), name.c_str());
    image->depth = ximg->depth;
    image->transparent = static_cast<long>(gget_background_pixel() | 0xFF000000ul);
    return 1;
  } else {
    IMG_init(image);
    image->info = name;
    image->width = static_cast<int>(w);
    image->height = static_cast<int>(h);
    image->depth = ximg->depth;
    image->bits_per_pixel = ximg->bits_per_pixel;
    image->bytes_per_line = ximg->bytes_per_line;
    image->byte_order = ximg->byte_order == MSBFirst ? IMG_MSB_FIRST : IMG_LSB_FIRST;
    image->red_mask = static_cast<std::uint32_t>(ximg->red_mask != 0 || v == nullptr ? ximg->red_mask : v->red_mask);
    image->green_mask =
        static_cast<std::uint32_t>(ximg->green_mask != 0 || v == nullptr ? ximg->green_mask : v->green_mask);
    image->blue_mask =
        static_cast<std::uint32_t>(ximg->blue_mask != 0 || v == nullptr ? ximg->blue_mask : v->blue_mask);
    const std::size_t size = static_cast<std::size_t>(ximg->bytes_per_line) * h;
    image->data.assign(reinterpret_cast<unsigned char*>(ximg->data),
                       reinterpret_cast<unsigned char*>(ximg->data) + size);
    if (!true_color && v != nullptr) query_colormap(d, v, image);
  }
  image->transparent = static_cast<long>(gget_background_pixel());
  return 1;
}

int GIF_dump(const char* path) { return dump(path, GIF_write); }
int PNG_dump(const char* path) { return dump(path, PNG_write); }
int XWD_dump(const char* path) { return dump(path, XWD_write); }

void IMG_set_dump_info(const char* info, const char* date_label, int with_domain) {
  st.dump_info = info != nullptr ? info : "";
  st.dump_date = date_label != nullptr ? date_label : "";
  st.dump_domain = with_domain;
}

int IMG_dump(const char* path) {
  ImgRec image;
  IMG_init(&image);
  if (gget_image(&image) == 0) return 0;
  image.info = st.dump_info;
  image.date_label = st.dump_date;
  DomainRec d;
  MAP_get_domain(&d);
  if (st.dump_domain && d.proj != MISSING_INT && d.nx > 1 && d.ny > 1 && image.width > 1 && image.height > 1) {
    d.dx *= static_cast<float>(d.nx - 1) / static_cast<float>(image.width - 1);
    d.dy *= static_cast<float>(d.ny - 1) / static_cast<float>(image.height - 1);
    d.nx = image.width;
    d.ny = image.height;
    image.domain = d;
  }
  return write_zav(path, &image);
}

void gset_save_image_type(int type) { st.save_type = type; }
int gget_save_image_type() { return st.save_type; }

int gsave_image_file(const char* path) {
  if (st.save_type == GKS_SAVE_GIF) return GIF_dump(path);
  if (st.save_type == GKS_SAVE_PNG) return PNG_dump(path);
  return XWD_dump(path);
}

int IMG_read(const char* path, ImgRec* image, int mode) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    MESS_print(MESS_ERROR, "IMG_read: Unable to open image file: %s\n", path);
    return 0;
  }
  char magic[6] = {};
  long start = 0;
  std::size_t got = std::fread(magic, 1, sizeof magic, f);
  if (got >= 3 && std::memcmp(magic, "** ", 3) == 0) {
    // A comment line before the picture.
    std::fseek(f, 0, SEEK_SET);
    int c = 0;
    while ((c = std::fgetc(f)) != EOF && c != '\n') {
    }
    start = std::ftell(f);
    got = std::fread(magic, 1, sizeof magic, f);
  }
  IMG_init(image);
  const int depth = display_depth(mode);
  std::fseek(f, start, SEEK_SET);
  int r = 0;
  if (got >= 3 && std::memcmp(magic, "GIF", 3) == 0) {
    r = GIF_read_stream(f, image);
  } else if (got >= 4 && std::memcmp(magic + 1, "PNG", 3) == 0) {
    r = PNG_read_stream(f, image);
  } else if (got >= 3 && std::memcmp(magic, "ZAV", 3) == 0) {
    r = IMG_read_zav_stream(f, image);
  } else {
    // The XWD reader reads the pixels right after the header: its size is checked here
    // first (width and height are the 5th and 6th big-endian words).
    unsigned char head[24];
    if (std::fread(head, 1, sizeof head, f) == sizeof head) {
      const auto word = [&](int i) {
        return static_cast<long long>(std::uint32_t{head[4 * i]} << 24 | std::uint32_t{head[4 * i + 1]} << 16 |
                                      std::uint32_t{head[4 * i + 2]} << 8 | head[4 * i + 3]);
      };
      if (!IMG_size_allowed("XWD_read", word(4), word(5))) {
        std::fclose(f);
        return 0;
      }
    }
    std::fseek(f, start, SEEK_SET);
    image->depth = depth;
    r = XWD_read_stream(f, image);
  }
  std::fclose(f);
  return r;
}

int gsetup_image_colors(const ImgRec* image, unsigned long transparent, std::vector<unsigned long>* pixels) {
  if (gget_display() == nullptr || gget_visual() == nullptr) return 0;
  ColourMap colours(image, transparent);
  pixels->resize(static_cast<std::size_t>(image->width) * image->height);
  std::size_t k = 0;
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x, ++k) (*pixels)[k] = colours.at(x, y);
  return 1;
}

std::string gfind_image_file(const char* path) { return find_image(path != nullptr ? path : ""); }

namespace {

// An image overlay on a file device (PostScript, the raster device): sampled at one
// pixel a device unit over the current viewport, placed like the window places it (at
// offsets x, y from the viewport, or where it lies on the earth when it has a domain and
// the map panel is current), its transparent colour left clear.
int overlay_on_device(const char* path, const char* transparent, int x, int y) {
  ImgRec image;
  const std::string file = find_image(path);
  if (IMG_read(file.c_str(), &image, 1) <= 0) return -1;
  // The transparent colour: the one named, else the background.
  int clear_index = GKS_BACKGROUND;
  if (transparent != nullptr && *transparent != '\0') {
    const int c = CLR_get_ind(transparent);
    if (c >= 0) clear_index = c;
  }
  int tr = 0, tg = 0, tb = 0;
  if (gget_color_rgb256(clear_index, &tr, &tg, &tb) < 0) tr = tg = tb = 255;
  // The current viewport: its lower-left corner, width and height in print units.
  short vp[4] = {};
  gget_xviewport(vp);
  const int vw = std::clamp<int>(vp[2], 1, 8192), vh = std::clamp<int>(vp[3], 1, 8192);
  const float left = static_cast<float>(vp[0]);
  const float top = static_cast<float>(vp[1] + vp[3]);
  std::vector<std::uint32_t> argb(static_cast<std::size_t>(vw) * static_cast<std::size_t>(vh), 0U);
  auto sample = [&](int c, int r) -> std::uint32_t {
    if (c < 0 || r < 0 || c >= image.width || r >= image.height) return 0U;
    unsigned char rgb[3];
    IMG_pixel_rgb(&image, IMG_get_pixel(&image, c, r), rgb);
    if (std::abs(rgb[0] - tr) + std::abs(rgb[1] - tg) + std::abs(rgb[2] - tb) <= 6) return 0U;
    return 0xFF000000U | (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
  };
  DomainRec map;
  MAP_get_domain(&map);
  const bool on_earth = IMG_has_domain(&image) && gget_norm_tran() == 2 && map.proj != MISSING_INT && map.proj < PROJ_XY;
  if (on_earth) {
    std::vector<float> lat(argb.size(), MISSING), lon(argb.size(), MISSING);
    for (int j = 0; j < vh; ++j)
      for (int i = 0; i < vw; ++i) {
        const std::size_t k = static_cast<std::size_t>(j) * vw + i;
        const float wx = xdev_W(left + static_cast<float>(i) + 0.5F), wy = ydev_W(top - static_cast<float>(j) - 0.5F);
        if (!MAP_untran(&lat[k], &lon[k], wx, wy)) lat[k] = MISSING;
      }
    MAP_domain(&image.domain);
    for (std::size_t k = 0; k < argb.size(); ++k) {
      float px = 0.0F, py = 0.0F, col = 0.0F, row = 0.0F;
      if (lat[k] == MISSING || !MAP_tran(&px, &py, lat[k], lon[k]) || MAP_grid_untran(&col, &row, px, py) < 0) continue;
      argb[k] = sample(static_cast<int>(std::lround(col)), static_cast<int>(std::lround(row)));
    }
    MAP_domain(&map);
  } else {
    const long long iw = image.width, ih = image.height;
    const long long px = x >= 0 ? x : vw - iw + x, py = y >= 0 ? y : vh - ih + y;
    if (px >= vw || py >= vh || px + iw <= 0 || py + ih <= 0) {
      MESS_print(MESS_ERROR, "goverlay_image_file: Image %s at offset %d,%d lies wholly off the picture: not drawn\n",
                 path, x, y);
      return -1;
    }
    for (int j = 0; j < vh; ++j)
      for (int i = 0; i < vw; ++i)
        argb[static_cast<std::size_t>(j) * vw + i] = sample(static_cast<int>(i - px), static_cast<int>(j - py));
  }
  const int r = gtype_is_PS() ? gps_rgb_image(left, top, vw, vh, argb) : graster_image(left, top, vw, vh, argb);
  return r < 0 ? -1 : 1;
}

}  // namespace

int goverlay_image_file(const char* path, const char* transparent, int x, int y) {
  // Headless runs keep their underlays: PostScript and the raster device draw them too.
  if (gtype_is_PS() || gget_win_type() == WS_RASTER) return overlay_on_device(path, transparent, x, y);
  Display* d = gget_display();
  const Drawable target = gget_draw_window();
  if (d == nullptr || target == 0 || gget_visual() == nullptr) return 0;
  ImgRec image;
  const std::string file = find_image(path);
  if (IMG_read(file.c_str(), &image, 0) <= 0) return -1;
  const unsigned long clear = transparent_pixel(d, transparent);
  ColourMap colours(&image, clear);
  short vp[4] = {};
  gget_xviewport(vp);
  const long long pic_w = gget_pix_width(), pic_h = gget_pix_height();
  // Only what falls on the picture is converted and drawn: a large image over a small
  // window costs no more than the window.
  int w = 0, h = 0, x0 = 0, y0 = 0;
  std::vector<unsigned long> pixels;
  // The part of the viewport inside the picture.
  const int left = std::max<int>(vp[0], 0), top = std::max<int>(vp[1], 0);
  const int right = static_cast<int>(std::min<long long>(vp[0] + vp[2], pic_w)),
            bottom = static_cast<int>(std::min<long long>(vp[1] + vp[3], pic_h));
  // Only the map panel (transformation 2) has the map's coordinates.
  if (IMG_has_domain(&image) && gget_norm_tran() == 2 && right > left && bottom > top &&
      reproject(&image, [&](int c, int r) { return colours.at(c, r); }, clear, right - left, bottom - top, left, top,
                &pixels)) {
    w = right - left;
    h = bottom - top;
    x0 = left;
    y0 = top;
  } else {
    // Offsets come from the user: placed in 64 bits, so that no offset wraps around.
    const long long iw = image.width, ih = image.height;
    const long long px = x >= 0 ? vp[0] + static_cast<long long>(x) : vp[0] + vp[2] - iw + x;
    const long long py = y >= 0 ? vp[1] + static_cast<long long>(y) : vp[1] + vp[3] - ih + y;
    const long long cx0 = std::max(px, 0LL), cy0 = std::max(py, 0LL);
    const long long cx1 = std::min(px + iw, pic_w), cy1 = std::min(py + ih, pic_h);
    if (cx1 <= cx0 || cy1 <= cy0) {
      MESS_print(MESS_ERROR, "goverlay_image_file: Image %s at offset %d,%d lies wholly off the picture: not drawn\n",
                 path, x, y);
      return -1;
    }
    w = static_cast<int>(cx1 - cx0);
    h = static_cast<int>(cy1 - cy0);
    x0 = static_cast<int>(cx0);
    y0 = static_cast<int>(cy0);
    const int sx = static_cast<int>(cx0 - px), sy = static_cast<int>(cy0 - py);
    pixels.resize(static_cast<std::size_t>(w) * h);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) pixels[static_cast<std::size_t>(j) * w + i] = colours.at(sx + i, sy + j);
  }
  const int depth = gget_depth();
  Visual* v = gget_visual();
  XImagePtr ximg(XCreateImage(d, v, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), 32, 0));
  XImagePtr mimg(XCreateImage(d, v, 1, XYBitmap, 0, nullptr, static_cast<unsigned>(w), static_cast<unsigned>(h), 8, 0));
  if (!ximg || !mimg) return 0;
  std::vector<char> data(static_cast<std::size_t>(ximg->bytes_per_line) * h);
  std::vector<char> bits(static_cast<std::size_t>(mimg->bytes_per_line) * h, 0);
  ximg->data = data.data();
  mimg->data = bits.data();
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const unsigned long p = pixels[static_cast<std::size_t>(j) * w + i];
      XPutPixel(ximg.get(), i, j, p);
      XPutPixel(mimg.get(), i, j, p != clear ? 1 : 0);
    }
  }
  PixmapOwner mask(d, XCreatePixmap(d, target, static_cast<unsigned>(w), static_cast<unsigned>(h), 1));
  GC mgc = XCreateGC(d, mask.get(), 0, nullptr);
  // A bitmap's set bits are drawn in the foreground.
  XSetForeground(d, mgc, 1);
  XSetBackground(d, mgc, 0);
  XPutImage(d, mask.get(), mgc, mimg.get(), 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XFreeGC(d, mgc);
  GC gc = XCreateGC(d, target, 0, nullptr);
  XSetClipMask(d, gc, mask.get());
  XSetClipOrigin(d, gc, x0, y0);
  XPutImage(d, target, gc, ximg.get(), 0, 0, x0, y0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XFreeGC(d, gc);
  // The buffers are ours, not Xlib's.
  ximg->data = nullptr;
  mimg->data = nullptr;
  gupdate_window();
  return 1;
}

int gread_image_file(const char* path) { return goverlay_image_file(path, "", 0, 0); }

void gimg_reset_state() { st = ImgState{}; }
