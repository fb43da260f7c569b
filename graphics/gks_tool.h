// Graphics kernel: opening and closing the workstation (one output device at a time;
// its type, state and error stream are in gks_dev.h), and above it the GPH_ plotting layer that the plot manager and the plot layers
// call: opening and closing the device, panels, attribute bundles, rectangles, circles,
// markers and formatted text.
#pragma once
#include <cstddef>

#include "graphics/colors.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_tran.h"

// ---- workstation type ----

// The type of a device specification "letter[,device string]"; the device string is
// copied to rest (size bytes; may be null).
int gdevice_setup(const char* spec, char* rest, std::size_t size);

// ---- opening and closing ----

int gopen_ws(int ws_id, const char* device_string, int type);
int gclose_ws(int ws_id);
int gactivate_ws(int ws_id);
int gdeactivate_ws(int ws_id);
int gemergency_close_gks();
int gclear_ws(int ws_id, int flag);
// -1: reset the attributes only; otherwise the kernel mode (0 window, 1 window redraw, 2
// PostScript, 3 HPGL, 4 metafile).
void ginit_plot(int mode);

// The object list replayed onto the window (only while recording is on), into a
// PostScript file (zavps_print, else PSPRINT, else "zav.ps") or into a metafile (METAOUT,
// else "zav.meta"). The number of records replayed; -1 when the file cannot be opened.
int gobj_redraw_plot();
int gobj_print_plot();
int gobj_print_meta();
// 1 when the window workstation is on a display (a window without one draws into nothing).
int gwin_has_display();

// ---- plotting layer ----

// panel: left, right, bottom, top margins of the view area (fractions); overwritten with
// the fitted rectangle (xmin, xmax, ymin, ymax) by GPH_setup, GPH_reset and GPH_panel.
int GPH_setup(int ws_id, int type, float panel[4], float aspect);
void GPH_set_win_title();
int GPH_begin(int ws_id, const char* device_string, int type);
int GPH_reset(int ws_id, int type, float panel[4], float aspect);
int GPH_panel(int ws_id, int type, float panel[4], float aspect);
void GPH_hold(int type);
void GPH_end(int ws_id);

// Part of the page the plot uses (fractions): width, height, left and bottom offsets.
void GPH_set_view_size(float sizex, float sizey, float offx, float offy);
// x from, x to, y from, y to of the view in NDC.
void GPH_get_view_size(float view[4]);
float GPH_get_vert_win_size();
// Back to the state before the first call: workstation 1, the view size, offset and font
// the defaults.
void GPH_reset_state();

// Transformations in the caller's order (xmin, xmax, ymin, ymax).
int GPH_win(int n, const float rect[4]);
int GPH_view(int n, const float rect[4]);
int GPH_trans(int n);
int GPH_get_win(int n, float rect[4]);
int GPH_get_view(int n, float rect[4]);
void GPH_print_view(const float rect[4]);

int GPH_line(float x1, float y1, float x2, float y2);
int GPH_rect(float x1, float y1, float x2, float y2);
int GPH_frect(float x1, float y1, float x2, float y2);
int GPH_border(const float rect[4]);
int GPH_circle(float x, float y, float r);
int GPH_fcircle(float x, float y, float r);
int GPH_mark(float x, float y);

int GPH_pprint(const float position[2], const char* text);
int GPH_printf(float x, float y, const char* format, ...) __attribute__((format(printf, 3, 4)));
int GPH_pprintf(const float position[2], const char* format, ...) __attribute__((format(printf, 2, 3)));
int GPH_text_rotate(float degrees);
int GPH_text_align(int horizontal, int vertical);
void GPH_get_text_align(int* horizontal, int* vertical);
void GPH_set_def_font(const char* name);
int GPH_text_font(const char* name);

// Attribute bundles; a null record resets (see the .cpp).
int GPH_line_attr(const AttribRec* attr);
int GPH_fill_attr(const AttribRec* attr);
int GPH_mark_attr(const AttribRec* attr, float scale);
int GPH_text_attr(const AttribRec* attr, float height);
int GPH_set_color(int index, float r, float g, float b);
