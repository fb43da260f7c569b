// Fill areas, fill attributes and the fill patterns.
#include "graphics/gks_fill.h"

#include <vector>

#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tran.h"

namespace {

// The fill attributes now in force.
struct FillState {
  int fill_inter_style = 1;
  int fill_inter_index = 1;
  int fill_color = 1;
  int print_solid = 0;
  // Device points, reused from call to call: a plot draws many short lines, each
  // needing this buffer.
  std::vector<float> dev;
};
FillState st;

constexpr int max_points = 50000000;

// Eight rows from the top, the lowest bit the leftmost pixel: solid, stipples, stripes
// and hatches (5-9), clear, then ten densities in steps of about a tenth.
constexpr unsigned char bitmap[GKS_NUM_PATTERNS][8] = {
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, {0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55},
    {0x55, 0x00, 0x55, 0x00, 0x55, 0x00, 0x55, 0x00}, {0x24, 0x11, 0x82, 0x48, 0x42, 0x11, 0x28, 0x84},
    {0x33, 0x33, 0x00, 0x00, 0xcc, 0xcc, 0x00, 0x00}, {0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33},
    {0x03, 0x06, 0x0c, 0x18, 0x30, 0x60, 0xc0, 0x81}, {0x81, 0xc0, 0x60, 0x30, 0x18, 0x0c, 0x06, 0x03},
    {0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0x00, 0x00}, {0xc3, 0x66, 0x3c, 0x18, 0x3c, 0x66, 0xc3, 0x81},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x40, 0x10, 0x20, 0x01, 0x00, 0x04, 0x08, 0x02},
    {0x08, 0xa0, 0x44, 0x11, 0x22, 0x10, 0x81, 0x44}, {0x45, 0x28, 0x94, 0x43, 0x50, 0x09, 0x52, 0xa8},
    {0x19, 0xca, 0x34, 0x1a, 0xe1, 0x32, 0xa5, 0xcc}, {0x55, 0xdc, 0x3b, 0xe2, 0x97, 0xaa, 0x65, 0x3e},
    {0x7a, 0xe5, 0x5f, 0xab, 0xf5, 0xeb, 0x5e, 0xb5}, {0xfe, 0xbb, 0xf5, 0x6f, 0xfe, 0xd7, 0xbd, 0xeb},
    {0xfd, 0xff, 0xef, 0x7f, 0xdf, 0xfe, 0xf7, 0xaf}, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
};

int set_int(int code, int value, int& store) {
  if (value == store) return 0;
  if (gdev_state(code, value, nullptr, 0) < 0) return -1;
  store = value;
  return 0;
}

}  // namespace

int gfill_area(int n, const float* points) {
  if (!gchk_graphics()) return gerr_printf("gfill_area", "GKS not opened\n");
  if (n == 0) return 0;
  if (n < 0 || n > max_points || points == nullptr) return gerr_printf("gfill_area", "invalid number of points: %d\n", n);
  if (!gdev_finite(n, points)) return gerr_printf("gfill_area", "invalid point coordinates\n");
  if (!gpts_in_win(n, points)) return 0;
  if (!gdev_points(n, points, &st.dev)) return gerr_printf("gfill_area", "malloc error\n");
  if (!gtype_is_META()) gnew_obj(GOBJ_FILL, n, 2 * sizeof(float) * static_cast<std::size_t>(n), points);
  const GksDevice* d = gdev_cur();
  if (d->fill_area != nullptr) d->fill_area(n, points, st.dev.data());
  return 0;
}

int gset_fill_int_style(int style) {
  if (!gchk_graphics()) return gerr_printf("gset_fill_int_style", "GKS not opened\n");
  if (style != 1 && style != 2) return gerr_printf("gset_fill_int_style", "invalid interior style: %d\n", style);
  return set_int(GOBJ_FSTYLE, style, st.fill_inter_style);
}

int gset_fill_style_ind(int index) {
  if (!gchk_graphics()) return gerr_printf("gset_fill_style_ind", "GKS not opened\n");
  if (index < 0 || index >= GKS_NUM_PATTERNS) return gerr_printf("gset_fill_style_ind", "invalid style index: %d\n", index);
  return set_int(GOBJ_FINDEX, index, st.fill_inter_index);
}

int gset_fill_colr_ind(int index) {
  int stored = 0;
  if (gsetter_colr("gset_fill_colr_ind", index, &stored) != 0) return -1;
  return set_int(GOBJ_FCOLR, stored, st.fill_color);
}

int gset_fill_print_solid(int flag) {
  if (!gchk_graphics()) return gerr_printf("gset_fill_print_solid", "GKS not opened\n");
  return set_int(GOBJ_FSOLID, flag != 0 ? 1 : 0, st.print_solid);
}

void greset_fill() {
  st.fill_inter_style = 1;
  st.fill_inter_index = 1;
  st.fill_color = 1;
  st.print_solid = 0;
}

void ginit_fill(int) { greset_fill(); }
// The window device makes its stipples from the patterns; nothing is held here.
void gdel_fill_pat() {}

int gget_fill_colr() { return st.fill_color; }
int gget_fill_int_style() { return st.fill_inter_style; }
int gget_fill_style_ind() { return st.fill_inter_index; }
int gget_fill_print_solid() { return st.print_solid; }

const unsigned char* gget_fill_pattern(int index) {
  return (index >= 0 && index < GKS_NUM_PATTERNS) ? bitmap[index] : nullptr;
}

int gfill_test(int pattern, int x, int y) {
  const unsigned char* rows = gget_fill_pattern(pattern);
  if (rows == nullptr) return 0;
  const int r = ((y % 8) + 8) % 8, b = ((x % 8) + 8) % 8;
  return (rows[r] >> b) & 1;
}

void gfill_reset_state() { st = FillState{}; }
