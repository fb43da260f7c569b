// Placeholder bodies; the projection formulas follow.
#include "plot/maptran.h"

namespace {
DomainRec domain{-9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999, 0};
float limits[4] = {-9999, -9999, -9999, -9999};
}  // namespace

int MAP_proj_str(const char*) { return -1; }
int MAP_domain(const DomainRec* d) {
  if (!d) { domain.proj = -9999; return -1; }
  domain = *d;
  return 1;
}
void MAP_get_domain(DomainRec* d) { *d = domain; }
void MAP_set_limits() {}
void MAP_print_domain() {}
int MAP_tran(float* x, float* y, float lat, float lon) { *x = lon; *y = lat; return 1; }
int MAP_untran(float* lat, float* lon, float x, float y) { *lat = y; *lon = x; return 1; }
int MAP_tran_center(float* x, float* y) { return MAP_tran(x, y, domain.clat, domain.clon); }
int MAP_tran_ep(float* x, float* y) { return MAP_tran(x, y, domain.plat, domain.plon); }
int MAP_grid_tran(float* x, float* y, float c, float r) { *x = c; *y = r; return 1; }
int MAP_grid_untran(float* c, float* r, float x, float y) { *c = x; *r = y; return 1; }
int MAP_in_domain(float, float) { return 1; }
int MAP_in_grid_domain(float, float) { return 1; }
int MAP_domain_tran(const DomainRec*, const DomainRec*, float* xo, float* yo, float x, float y) { *xo = x; *yo = y; return 1; }
int MAP_offset(float* x, float* y, float x0, float y0, float, float) { *x = x0; *y = y0; return 1; }
float MAP_factor(float) { return 1.0f; }
int MAP_get_proj() { return domain.proj; }
float MAP_get_clat() { return domain.clat; }
float MAP_get_clon() { return domain.clon; }
void MAP_get_limits(float l[4]) { for (int i = 0; i < 4; ++i) l[i] = limits[i]; }
void MAP_get_up_left(float* x, float* y) { *x = limits[0]; *y = limits[3]; }
void MAP_set_view(float a, float b, float c, float d) { limits[0] = a; limits[1] = b; limits[2] = c; limits[3] = d; }
void MAP_proj_coord(float a, float b) { domain.p3 = a; domain.p4 = b; }
void MAP_coord(float a, float b) { domain.plat = a; domain.plon = b; }
void MAP_proj(int code) { domain.proj = code; }
float MAP_dir_adj(float d, float, float) { return d; }
float MAP_undir_adj(float d, float, float) { return d; }
float MAP_uvdir_adj(float, float, float, float) { return 0.0f; }
float MAP_dir(float, float, float, float) { return 0.0f; }
void MAP_set_plot_limit(int) {}
void MAP_plot_grid_init() {}
int MAP_plot_grid(float, float) { return 1; }
