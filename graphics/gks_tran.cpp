// Graphics kernel: workstation state and transformations. Drawing arrives with the
// device drivers; for now opening a workstation only marks it open, so the plot loop,
// frames and labels run their full course in batch jobs without a display.
#include "graphics/gks_tran.h"

#include "config/flag.h"
#include "graphics/gks_loop.h"

namespace {
constexpr int flag_device = 2;
bool graphics_open = false;
int cur_trans = 0;
int ws_type = 0;
float sizex = 1.0F, sizey = 1.0F, offx = 0.0F, offy = 0.0F;
// NDC extent of the display space; the longer side is 1.
float xvp = 1.0F, yvp = 1.0F;
}  // namespace

int gchk_graphics() { return graphics_open ? 1 : 0; }

int gsel_norm_tran(int n) {
  if (n < 0 || n > 5) return -1;
  cur_trans = n;
  return 0;
}

int gget_norm_tran() { return cur_trans; }

int GPH_setup(int ws_id, int type, const float panel[4], float aspect) {
  int t = FLAG_get(flag_device);
  if (t < 1) t = FLAG_batch() ? 1 : (type > 0 ? type : 1);
  ws_type = t;
  graphics_open = true;
  return GPH_reset(ws_id, ws_type, panel, aspect);
}

int GPH_reset(int ws_id, int type, const float panel[4], float aspect) {
  cur_trans = 0;
  return GPH_panel(ws_id, type, panel, aspect);
}

int GPH_panel(int, int, const float*, float) { return 0; }

void GPH_hold(int) {}

void GPH_end(int) {
  gdelete_all_frames();
  graphics_open = false;
  cur_trans = 0;
  if (ws_type > 0) FLAG_set(flag_device, ws_type);
}

int GPH_trans(int n) { return gsel_norm_tran(n); }

void GPH_set_view_size(float sx, float sy, float ox, float oy) {
  sizex = sx;
  sizey = sy;
  offx = ox;
  offy = oy;
}

void GPH_get_view_size(float view[4]) {
  view[0] = offx * xvp;
  view[1] = (offx + sizex) * xvp;
  view[2] = offy * yvp;
  view[3] = (offy + sizey) * yvp;
}
