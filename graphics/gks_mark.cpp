// Polymarkers, the marker shapes and marker attributes.
#include "graphics/gks_mark.h"

#include <cmath>
#include <vector>

#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"

namespace {

// The marker attributes now in force, and the device drawing them.
struct MarkState {
  int marker_type = 1;
  float marker_height = 1.0F;
  float marker_width = 1.0F;
  int marker_color = 1;
  // The device drawing the markers now, and whether it draws their shadows.
  const GksDevice* device = nullptr;
  int shadow_now = 0;
};
MarkState st;

constexpr int max_points = 50000000;

// Device units of a marker of size 1: 10 pixels (of the window: a large raster picture
// has more), 10 × 0.72 points, 10 × 10.15 plotter units; the metafile draws no shapes and
// counts like the window.
float unit_size() {
  if (gtype_is_PS()) return 7.2F;
  if (gtype_is_HPGL()) return 101.5F;
  return 10.0F * gdev_get_pixel_scale();
}

void mark_draw(int nv, const float* pts) {
  if (st.device != nullptr && st.device->marker_shape != nullptr) st.device->marker_shape(nv, pts, st.shadow_now);
}

// Strokes of one marker around (x, y), half size h. Shapes are given with y growing
// downwards, as on the window; s = -1 mirrors them on the print devices, whose y grows
// upwards, so a triangle points the same way on paper as on the screen.
void draw_marker(int type, float x, float y, float h, float s) {
  auto P = [&](float dx, float dy) { return std::pair{x + dx, y + s * dy}; };
  auto stroke = [&](std::initializer_list<std::pair<float, float>> v) {
    std::vector<float> pts;
    pts.reserve(2 * v.size());
    for (const auto& [px, py] : v) pts.push_back(px), pts.push_back(py);
    mark_draw(static_cast<int>(v.size()), pts.data());
  };
  switch (type) {
    case 1:
      stroke({P(0, 0), P(1, 0), P(1, 1), P(0, 1), P(0, 0)});
      break;
    case 3:
      stroke({P(-h, -h), P(h, h)});
      stroke({P(h, -h), P(-h, h)});
      [[fallthrough]];
    case 2:
      stroke({P(-h, 0), P(h, 0)});
      stroke({P(0, -h), P(0, h)});
      break;
    case 4: {
      // Twelve sides from the left, with the factors 0.866 and 0.5 of the 30° steps.
      static const float c[13] = {-1, -0.866F, -0.5F, 0, 0.5F, 0.866F, 1, 0.866F, 0.5F, 0, -0.5F, -0.866F, -1};
      static const float sn[13] = {0, -0.5F, -0.866F, -1, -0.866F, -0.5F, 0, 0.5F, 0.866F, 1, 0.866F, 0.5F, 0};
      float pts[26];
      for (int k = 0; k < 13; ++k) pts[2 * k] = x + h * c[k], pts[2 * k + 1] = y + s * h * sn[k];
      mark_draw(13, pts);
      break;
    }
    case 5:
      stroke({P(-h, -h), P(h, h)});
      stroke({P(h, -h), P(-h, h)});
      break;
    case 6:
      stroke({P(-h, h), P(h, h), P(h, -h), P(-h, -h), P(-h, h)});
      break;
    case 7:
      stroke({P(-h, h), P(h, h), P(0, -h), P(-h, h)});
      break;
    case 8:
      stroke({P(0, 0)});
      break;
    case 9:
      stroke({P(-h, -h), P(h, -h), P(0, h), P(-h, -h)});
      break;
    default:
      break;
  }
}

}  // namespace

int gpolymarker(int n, const float* points) {
  if (!gchk_graphics()) return gerr_printf("gpolymarker", "GKS not opened\n");
  if (n < 1 || n > max_points || points == nullptr) return gerr_printf("gpolymarker", "invalid number of points: %d\n", n);
  if (!gdev_finite(n, points)) return gerr_printf("gpolymarker", "invalid point coordinates\n");
  const GksDevice* dev = gdev_cur();
  if (dev->polymarker != nullptr) {
    dev->polymarker(n, points);
    return 0;
  }
  gnew_obj(GOBJ_MARK, n, 2 * sizeof(float) * static_cast<std::size_t>(n), points);
  if (dev->marker_begin != nullptr) dev->marker_begin(n);
  const bool window = gtype_is_WIN_PIX() != 0;
  const float h = static_cast<float>(gget_marker_half());
  const float s = window ? 1.0F : -1.0F;
  const int depth = window ? gget_font_drop() : 0;
  st.device = dev;
  for (int i = 0; i < n; ++i) {
    float x = xW_dev(points[2 * i]), y = yW_dev(points[2 * i + 1]);
    if (window) {
      x = std::trunc(x + 0.5F);
      y = std::trunc(y + 0.5F);
    }
    st.shadow_now = 1;
    for (int k = 0; k < depth; ++k) draw_marker(st.marker_type, x + k, y + k, h, s);
    st.shadow_now = 0;
    draw_marker(st.marker_type, x, y, h, s);
  }
  st.device = nullptr;
  return 0;
}

int gset_marker_type(int type) {
  if (!gchk_graphics()) return gerr_printf("gset_marker_type", "GKS not opened\n");
  if (type < 1 || type > GKS_NUM_MARKERS) return gerr_printf("gset_marker_type", "invalid marker type: %d\n", type);
  if (type == st.marker_type) return 0;
  if (gdev_state(GOBJ_MTYPE, type, nullptr, 0) < 0) return -1;
  st.marker_type = type;
  return 0;
}

int gset_marker_size(float size) {
  return gdev_set_float("gset_marker_size", GOBJ_MSIZE, size, &st.marker_height, "invalid marker size: %f\n", true);
}

int gset_marker_width(float width) {
  return gdev_set_float("gset_marker_width", GOBJ_MWIDTH, width, &st.marker_width, "invalid marker width: %f\n", true);
}

int gset_marker_colr_ind(int index) {
  int stored = 0;
  if (gsetter_colr("gset_marker_colr_ind", index, &stored) != 0) return -1;
  if (stored == st.marker_color) return 0;
  if (gdev_state(GOBJ_MCOLR, stored, nullptr, 0) < 0) return -1;
  st.marker_color = stored;
  return 0;
}

void greset_marker() {
  st.marker_type = 1;
  st.marker_height = 1.0F;
  st.marker_width = 1.0F;
  st.marker_color = 1;
}

void ginit_marker(int) { greset_marker(); }

int gget_marker_type() { return st.marker_type; }
float gget_marker_size() { return st.marker_height; }
float gget_marker_width() { return st.marker_width; }
int gget_marker_colr() { return st.marker_color; }

int gget_marker_half() {
  const float half = unit_size() * st.marker_height / 2.0F;
  return half < 1.0e6F ? static_cast<int>(half) : 1000000;
}

void gmark_reset_state() { st = MarkState{}; }
