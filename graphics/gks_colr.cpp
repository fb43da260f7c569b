// Device colours and the background.
#include "graphics/gks_colr.h"

#include <array>
#include <cmath>
#include <string>

#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"

namespace {

struct DevColor {
  int pixel = -1;
  float r = 0.0F, g = 0.0F, b = 0.0F;
};

// The workstation's colour table, the background colour named by the user and whether
// the colours are inverted.
struct ColrState {
  std::array<DevColor, GKS_BACKGROUND_SLOT + 1> colors;
  std::string background_name;
  bool inverse = false;
};
ColrState st;

int slot(int index) { return index == GKS_BACKGROUND ? GKS_BACKGROUND_SLOT : index; }
bool in_table(int index) { return index >= GKS_BACKGROUND && index <= GKS_BACKGROUND_SLOT; }
float fraction(float v) { return v < 0.0F ? 0.0F : v > 1.0F ? 1.0F : v; }

// Print colours: black, white and gray in their plain, bold and thick forms.
float print_level(int index) {
  const int k = (index - GKS_PRINT_FIRST) / 3;
  return k == 0 ? 0.0F : k == 1 ? 1.0F : 0.7F;
}

}  // namespace

int gis_valid_colr(int index) {
  return (in_table(index) || (index >= GKS_PRINT_FIRST && index <= GKS_PRINT_LAST)) ? 1 : 0;
}

int gset_colr_rep(int, int index, const float rgb[3]) {
  if (!in_table(index)) return gerr_printf("gset_colr_rep", "invalid color index: %d\n", index);
  if (rgb == nullptr || !std::isfinite(rgb[0]) || !std::isfinite(rgb[1]) || !std::isfinite(rgb[2]))
    return gerr_printf("gset_colr_rep", "invalid color for index %d\n", index);
  const float c[3] = {fraction(rgb[0]), fraction(rgb[1]), fraction(rgb[2])};
  DevColor& d = st.colors[slot(index)];
  d.r = c[0], d.g = c[1], d.b = c[2];
  // Without a device the colour waits in the table: the device gets every colour when it
  // opens and its plot is reset.
  const GksDevice* dev = gdev_cur();
  if (dev == nullptr) return -1;
  const int pixel = dev->state != nullptr ? dev->state(GOBJ_COLR, index, c, 3) : slot(index);
  if (pixel < 0) return -1;
  d.pixel = pixel;
  if (!gtype_is_META()) gnew_obj(GOBJ_COLR, index, sizeof c, c);
  return 0;
}

int gget_color_ind(int index) { return in_table(index) ? st.colors[slot(index)].pixel : -1; }

int gget_color_rgb(int index, float* r, float* g, float* b) {
  float c[3];
  if (in_table(index)) {
    const DevColor& d = st.colors[slot(index)];
    c[0] = d.r, c[1] = d.g, c[2] = d.b;
  } else if (index >= GKS_PRINT_FIRST && index <= GKS_PRINT_LAST) {
    c[0] = c[1] = c[2] = print_level(index);
  } else {
    return -1;
  }
  if (r != nullptr) *r = c[0];
  if (g != nullptr) *g = c[1];
  if (b != nullptr) *b = c[2];
  return 0;
}

int gget_color_rgb256(int index, int* r, int* g, int* b) {
  float c[3];
  if (gget_color_rgb(index, &c[0], &c[1], &c[2]) != 0) return -1;
  if (r != nullptr) *r = static_cast<int>(c[0] * 255.0F + 0.5F);
  if (g != nullptr) *g = static_cast<int>(c[1] * 255.0F + 0.5F);
  if (b != nullptr) *b = static_cast<int>(c[2] * 255.0F + 0.5F);
  return 0;
}

void gclear_colors() {
  for (DevColor& d : st.colors) d.pixel = -1;
}

int gsetter_colr(const char* routine, int index, int* stored) {
  if (!gchk_graphics()) return gerr_printf(routine, "GKS not opened\n");
  if (!gis_valid_colr(index)) return gerr_printf(routine, "invalid color index: %d\n", index);
  int s = index;
  if (gtype_is_WIN_PIX()) {
    if (index >= GKS_PRINT_FIRST) s = 1;
    if (gget_color_ind(s) < 0) return gerr_printf(routine, "color index not initialized\n");
  }
  *stored = s;
  return 0;
}

void gset_background(const char* name) { st.background_name = name != nullptr ? name : ""; }
const char* gget_background() { return st.background_name.c_str(); }
void gset_inverse(int on) { st.inverse = on != 0; }
int gget_inverse() { return st.inverse ? 1 : 0; }

void gcolr_reset_state() { st = ColrState{}; }
