// The HPGL device (workstation type 5): HPGL plotter output, optionally wrapped for PCL
// printers, written to a file, a file appended to ("+name") or a print command
// ("|command"). Units are plotter units (1015 an inch here, as the page sizes count).
#pragma once

#include "graphics/gks_dev.h"

const GksDevice* ghpgl_device();

int ghpgl_open_file(const char* name);
// PCL mode 1, rotation 0, scale 1, base pen width 0.2, line type 1; page 10.5 by 8.
void ghpgl_init();
void ghpgl_init_file();
int ghpgl_close_file();
int ghpgl_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// World coordinates of the current transformation, and plotter units.
void ghpgl_move(float x, float y);
void ghpgl_line(float x, float y);
void ghpgl_move_abs(float x, float y);
void ghpgl_line_abs(float x, float y);
void ghpgl_set_width(int color, float width);
void ghpgl_set_color(int index);
void ghpgl_set_fill_color(int index);
void ghpgl_set_type(int type);
// 0 plain HPGL, 1 PCL wrapper, 2 PCL wrapper turned by 90 degrees.
void ghpgl_set_pcl(int mode);
void ghpgl_set_rotate(int degrees);
void ghpgl_set_scale(float scale);
void ghpgl_set_base_width(float width);

// Back to the state of a fresh start: everything the HPGL writer holds.
void ghpgl_reset_state();
