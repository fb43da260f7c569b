// Graphics kernel: the device surface, the six normalisation transformations (world to
// NDC), the workstation window and viewport (NDC to device units), the plot rectangle,
// the coordinate converters and the device clip.
//
// Rectangles are passed in the caller's order xmin, xmax, ymin, ymax; the kernel keeps
// them as xmin, ymin, xmax, ymax, width, height. Device units are pixels (y down) on the
// window types and print units (y up) on the file types.
#pragma once
#include <vector>

#include "graphics/gks_dev.h"

constexpr int GKS_NUM_TRANS = 6;
// Device coordinates are clamped to these ranges, so device calls never receive values
// beyond what they can hold.
constexpr float GKS_PIXEL_LIMIT = 30000.0f;
constexpr float GKS_PRINT_LIMIT = 100000.0f;

// The surface (gset_win_size, gks_dev.h) as width-1 by height-1 units.
void ginq_disp_space_size(float* width, float* height);
// The NDC extent of the surface: the longer side 1.0.
void ginq_maxview(float* xmax, float* ymax);

// Mode 10 (a new window size) resets the workstation viewport only; every other mode
// resets everything and selects transformation 0.
void ginit_tran(int mode);
// Back to the state before the first call (every transformation the unit square).
void GTRAN_reset_state();

int gset_win(int n, const float rect[4]);
int gset_vp(int n, const float rect[4]);
int gsel_norm_tran(int n);
int gset_ws_win(int ws_id, const float rect[4]);
int gset_ws_vp(int ws_id, const float rect[4]);

// Window then viewport of n, each xmin, xmax, ymin, ymax; -1 (and *error 1) for a number
// outside 0..5.
int ginq_norm_tran(int n, int* error, float tran[8]);
int ginq_cur_norm_tran_num(int* error, int* n);
// The current transformation number.
int gget_norm_tran();
// Workstation window (NDC) and viewport (device units) as xmin, xmax, ymin, ymax.
void ginq_ws_win(float rect[4]);
void ginq_ws_vp(float rect[4]);
// Plot rectangle: x, y, xmax, ymax, width, height in device units (y up from the bottom
// of the workstation viewport on every device).
void gget_plot_rect(float plt[6]);

// The current viewport in device units, rounded as the clip rectangle: x, y of its
// top-left corner (pixels) or of its lower-left corner (print units), width, height.
void gget_xviewport(short viewport[4]);
// 0 for the window types (pixels), PostScript and HPGL (print units); -1 otherwise.
int gget_gviewport(int viewport[4]);

// Converters of the current transformation.
float xW_NDC(float x);
float yW_NDC(float y);
float xNDC_W(float x);
float yNDC_W(float y);
float xW_p(float x);
float yW_p(float y);
float xp_W(float x);
float yp_W(float y);
float xNDC_p(float x);
float yNDC_p(float y);
float xW_ps(float x);
float yW_ps(float y);
float xps_W(float x);
float yps_W(float y);
float xNDC_ps(float x);
float yNDC_ps(float y);
// World to the device units of the open type (pixels or print units) and back.
float xW_dev(float x);
float yW_dev(float y);
float xdev_W(float x);
float ydev_W(float y);
// World coordinate of transformation `from` to that of `to`.
float xW_trans(int from, int to, float x);
float yW_trans(int from, int to, float y);

// The n world points in device units of the open type; false when memory is short.
bool gdev_points(int n, const float* world, std::vector<float>* dev);

// 1 when the bounding box of the n points (x, y pairs) overlaps the current window.
int gpts_in_win(int n, const float* points);

// ---- drawing-list entries of the kernel ----

// Fills a world rectangle (xmin, xmax, ymin, ymax) with the background.
int gclear_region(const float rect[4]);
// A status text for the workstation.
int gmessage(int flag, const char* text);
