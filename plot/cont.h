// Contour plotting: the contour layer of a frame (lines, dashed lines, colour fill, fill
// with lines, printed grid values), its levels and fill colours, contour labels, highs and
// lows, and the colour bar.
//
// Tracing works cell by cell: every rectangle of four neighbouring grid points is
// examined for every level, the level's crossings of the cell's sides are found by linear
// interpolation and joined by straight segments at once; colour fill draws, for every
// band between two levels, the polygon of the part of the cell inside the band. A value
// equal to a level counts as lying above it, so a level through a grid point crosses only
// one of the sides meeting there and lines stay continuous through grid points.
#pragma once
#include "graphics/colors.h"

struct GridRec;
struct DomainRec;

// The mouse and key callback handed on to the window while contours are shown.
using ContCallback = int (*)(const char* event, float x, float y);

// ---- plotting ----
// Nonzero while a finished plot is redrawn: every frame keeps the interval and contour type
// it was given.
void CONT_keep_answers(int on);
// Prepares the contours of variable `index` of the frame (`overlay` > 0: an overlay frame
// that repeats the first frame's choices) over domain; 0, -1 when nothing is to be drawn.
int CONT_plot_setup(int overlay, int index, GridRec* grid, const DomainRec* domain, ContCallback callback);
// Draws the contours of grid, then labels and highs and lows; -1 when nothing was drawn.
int CONT_draw(GridRec* grid);
// The traced contours alone (no labels); -1 when nothing was drawn.
int CONT_draw_contour(const GridRec* grid);
int CONT_draw_labels(const GridRec* grid);
int CONT_draw_maxmin(const GridRec* grid);
// The frame labels composed by the setup: 0 upper left, 2 upper right, 3 lower left, 5
// lower right ("" when none). The plot manager places them.
const char* CONT_get_frame_label(int position);

// ---- tracing ----
// Kind 12 draws a segment (gpolyline), kind 15 fills a polygon in the current band's
// fill attributes (-1 when the band is not filled).
int CONT_draw_lines(int kind, int n, const float* points);
// A hook that takes the traced pieces instead of the device (null: draw): kind 12 with a
// segment on level `low` (= `high`), kind 15 with a band polygon of the band [low, high).
using ContTraceHook = void (*)(int kind, int n, const float* points, float low, float high);
void CONT_set_trace_hook(ContTraceHook hook);
// Derives conlo, conhi and num_cont from the grid; -1 when the grid has no valid value.
int CONT_set_cont_ext(const GridRec* grid);
void CONT_get_cont_ext(float* low, float* high, int* count);
// A rounded interval giving about count levels between minimum and maximum.
float CONT_calc_intrvl(int count, float maximum, float minimum);
void CONT_grid(int on);
int CONT_draw_grid();
void CONT_set_max_line_fact(float factor);

// ---- settings ----
// Forgets everything: settings, derived levels, what the series and the device were told.
void CONT_reset_state();
// Resets the per-plot state (levels, cutoffs, labels, fill list).
void CONT_init();
// A type code of a variable (12-17) as plot type and dash mode.
void CONT_set_format(int type);
// Decodes a plot format ("cf:in=5:cb=2", items separated by ':').
void CONT_format_decode_type(const char* format);
// Decodes the plot parameters ("fill=hat,lab=2:1,maxl=20,conmin=3,grid,mapcon").
void CONT_param_decode(const char* param);
// Settles an undecided type: the prompt in interactive runs, colour fill in batch runs.
int CONT_prompt_type();
void CONT_set_type(int type);
int CONT_get_type();
// The type the next setup of variable `index` in `frame` will choose (from the plot type, a remembered
// answer, the variable's and the program's format, the batch default), MISSING_INT when the
// prompt will ask. The map under the data is drawn before the setup runs.
int CONT_frame_type(int frame, int index);
void CONT_set_intrvl(float interval);
float CONT_get_intrvl();
void CONT_set_base(float base);
float CONT_get_base();
void CONT_set_range(float minimum, float maximum);
void CONT_set_cutoff(float upper, float lower);
// The "con_base" resource, a list: "<v" sets the upper cut, ">v" the lower cut (and the base
// too when above_sets_base), a plain number the base. A null cut leaves its entries unread.
void CONT_read_base(float* base, float* lower, float* upper, bool above_sets_base);
// The "plot_scale" resource into scale when it holds a number (0 or less counts as 1).
void CONT_read_scale(float* scale);
// Explicit levels (at most 256); 0 when refused (the fill list is already decided).
int CONT_set_values(int count, const float* values);
void CONT_reset_values();
int CONT_get_values(float* values, int size);
int CONT_get_num_cont();
void CONT_set_dash(int mode);
void CONT_set_label_type(int skip, int radius);
void CONT_set_label_space(int x, int y);
void CONT_set_scale(float scale);
void CONT_set_fill_pat(int pattern);
int CONT_get_fill_pat();
void CONT_set_over(int over);
int CONT_get_mapcon();
// The plot label style the format chose (-1 for "labs"), 0 when it chose none: the plot
// manager owns the style, so the framework passes it on.
int CONT_get_label_style();

// ---- fill colours ----
// Decides the fill list: the resource "color_fill", else list (null: the colour table's
// fill colours or the built-in list). A one-item list without '-' names a level file.
int CONT_set_fill_colors(const char* list, int explicit_list);
void CONT_set_fill_attribs(const AttribRec* attribs);
int CONT_get_fill_attrib_ind(int index, AttribRec* attrib);
int CONT_get_num_colors();
void CONT_reset_fill_set();
// Fill attributes of a value; the colour is -1 where the value is not filled. Returns the
// entry, -1 for none.
int CONT_get_fill_attrib(AttribRec* attrib, float value);
const char* CONT_get_label(int index);

// With 1, contour labels and highs and lows are placed when the contours are drawn but
// drawn only by CONT_flush_labels, after the map over the data (0: drawn at once, the
// page's label room cleared by each CONT_draw).
void CONT_defer_labels(int on);
void CONT_flush_labels();

// ---- colour bar ----
// Colour bar mode: 3 or 2 on ("bar"), -2 off ("nobar"), 0 as the plot type decides.
void CONT_set_bar(int mode);
// At least 1 when a colour bar is defined for the plot.
int CONT_get_bar();
void CONT_set_bar_range(float low, float high);
void CONT_get_bar_range(float* low, float* high);
// The plot's view (xmin, xmax, ymin, ymax) as the panel layout fitted it, the bottom of
// the view-size area and whether labels are drawn inside the plot: set by the plot manager
// before the bar is drawn.
void CONT_set_bar_view(const float view[4], float bottom, int labels_inside);
// Draws the colour bar in transformation 1 (the page); -1 when none was drawn.
int CONT_draw_bar(int mode, const char* title);
// The level at page position x on the bar; -9999.0 off the bar.
float CONT_get_bar_value(float x, float y);

// Skip factors of printed grid values and their offset.
void CONT_set_skip(int x, int y);
void CONT_get_skip(int* x, int* y);
void CONT_set_plot_offset(float x, float y);
void CONT_get_plot_offset(float* x, float* y);

// The window's "f-Alt": flashes the colour-bar band under the pointer; 1 when handled.
int CONT_flash_value(const char* event, float x, float y);
