// Contour plotting. The contour layer is not built yet: its entry points keep the
// settings the plot manager gives them and draw nothing.
#include "plot/cont.h"

#include "config/missing.h"

namespace {
int cont_type = MISSING_INT;
int plt_bar = 0;
float bar_min = MISSING, bar_max = MISSING;
int skip_x = 1, skip_y = 1;
float off_x = 0.0F, off_y = 0.0F;
}  // namespace

int CONT_plot_setup(int, int, GridRec*, const DomainRec*, ContCallback) { return 0; }
int CONT_draw(GridRec*) { return -1; }
int CONT_get_type() { return cont_type; }

void CONT_set_bar(int mode) { plt_bar = mode; }
int CONT_get_bar() { return plt_bar; }
void CONT_set_bar_range(float low, float high) {
  bar_min = low;
  bar_max = high;
}
void CONT_get_bar_range(float* low, float* high) {
  if (low != nullptr) *low = bar_min;
  if (high != nullptr) *high = bar_max;
}
int CONT_draw_bar(int, const char*) { return -1; }

void CONT_set_skip(int x, int y) {
  skip_x = x;
  skip_y = y;
}
void CONT_get_skip(int* x, int* y) {
  if (x != nullptr) *x = skip_x;
  if (y != nullptr) *y = skip_y;
}
void CONT_set_plot_offset(float x, float y) {
  off_x = x;
  off_y = y;
}
void CONT_get_plot_offset(float* x, float* y) {
  if (x != nullptr) *x = off_x;
  if (y != nullptr) *y = off_y;
}

int CONT_flash_value(const char*, float, float) { return 0; }
