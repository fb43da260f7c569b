// Polylines and line attributes.
#include "graphics/gks_line.h"

#include <cmath>
#include <vector>

#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tran.h"

namespace {

// The line attributes now in force.
struct LineState {
  int line_type = 1;
  float line_width = 1.0F;
  int line_color = 1;
  float print_bold = 1.0F;
  // Device points, reused from call to call: a plot draws many short lines, each
  // needing this buffer.
  std::vector<float> dev;
};
LineState st;

// On, off lengths in pixels of the dashed types 2 to 5.
constexpr unsigned char dash_dsh[] = {6, 6};
constexpr unsigned char dash_lsdsh[] = {3, 6};
constexpr unsigned char dash_llsdsh[] = {6, 6, 3, 6};
constexpr unsigned char dash_dot[] = {2, 2};

// More points than any plot draws in one line; beyond it a count is taken for garbage.
constexpr int max_points = 50000000;

}  // namespace

int gpolyline(int n, const float* points) {
  if (!gchk_graphics()) return gerr_printf("gpolyline", "GKS not opened\n");
  if (n < 2 || n > max_points || points == nullptr) return gerr_printf("gpolyline", "invalid number of points: %d\n", n);
  if (!gdev_finite(n, points)) return gerr_printf("gpolyline", "invalid point coordinates\n");
  if (!gpts_in_win(n, points)) return 0;
  if (!gdev_points(n, points, &st.dev)) return gerr_printf("gpolyline", "malloc error\n");
  if (!gtype_is_META()) gnew_obj(GOBJ_LINE, n, 2 * sizeof(float) * static_cast<std::size_t>(n), points);
  const GksDevice* d = gdev_cur();
  if (d->polyline != nullptr) d->polyline(n, points, st.dev.data());
  return 0;
}

int gset_linetype(int type) {
  if (!gchk_graphics()) return gerr_printf("gset_linetype", "GKS not opened\n");
  if (type < 0) return gerr_printf("gset_linetype", "invalid line type: %d\n", type);
  if (type == st.line_type) return 0;
  if (gdev_state(GOBJ_LTYPE, type, nullptr, 0) < 0) return -1;
  st.line_type = type;
  return 0;
}

int gset_linewidth(float width) {
  // PostScript draws a width of 0 as its thinnest line; a width of 1 is the same there.
  if (gtype_is_PS() && width == 0.0F) width = 1.0F;
  return gdev_set_float("gset_linewidth", GOBJ_LWIDTH, width, &st.line_width, "invalid line width: %f\n", true);
}

int gset_line_colr_ind(int index) {
  int stored = 0;
  if (gsetter_colr("gset_line_colr_ind", index, &stored) != 0) return -1;
  if (stored == st.line_color) return 0;
  if (gdev_state(GOBJ_LCOLR, stored, nullptr, 0) < 0) return -1;
  st.line_color = stored;
  return 0;
}

int gset_line_print_bold(float factor) {
  if (std::isfinite(factor) && factor < 1.0F) factor = 1.0F;
  return gdev_set_float("gset_line_print_bold", GOBJ_LBOLD, factor, &st.print_bold, "invalid print bold factor: %f\n", true);
}

void greset_line() {
  st.line_type = 1;
  st.line_width = 1.0F;
  st.line_color = 1;
  st.print_bold = 1.0F;
}

void ginit_line(int) { greset_line(); }

int gget_line_colr() { return st.line_color; }
int gget_line_type() { return st.line_type; }
float gget_line_width() { return st.line_width; }
float gget_line_print_bold() { return st.print_bold; }

int gget_dash(int type, const unsigned char** dashes) {
  const unsigned char* d = nullptr;
  int n = 0;
  switch (type) {
    case 2:
      d = dash_dsh, n = 2;
      break;
    case 3:
      d = dash_lsdsh, n = 2;
      break;
    case 4:
      d = dash_llsdsh, n = 4;
      break;
    case 5:
      d = dash_dot, n = 2;
      break;
    default:
      break;
  }
  if (dashes != nullptr) *dashes = d;
  return n;
}

void gline_reset_state() { st = LineState{}; }
