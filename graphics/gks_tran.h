// Graphics kernel: the workstation and the normalisation transformations, with the
// plotting layer above them. Until the device drivers arrive this is a workstation that
// records its state and draws nothing.
#pragma once

// 1 when a workstation is open.
int gchk_graphics();
// Selects normalisation transformation n (0-5); -1 for another number.
int gsel_norm_tran(int n);
// The current transformation number.
int gget_norm_tran();

// Plotting layer. panel: left, right, bottom, top margins of the view area.
int GPH_setup(int ws_id, int type, const float panel[4], float aspect);
int GPH_reset(int ws_id, int type, const float panel[4], float aspect);
int GPH_panel(int ws_id, int type, const float panel[4], float aspect);
void GPH_hold(int type);
void GPH_end(int ws_id);
int GPH_trans(int n);
// Part of the page the plot uses (fractions): width, height, left and bottom offsets.
void GPH_set_view_size(float sizex, float sizey, float offx, float offy);
// x from, x to, y from, y to of the view in NDC.
void GPH_get_view_size(float view[4]);
