// Contour plotting: the contour layer of a frame (lines, colour fill, labels, highs and
// lows) and its colour bar. The contour drawing itself comes with the contour layer;
// until then a contour variable draws nothing and defines no colour bar, while the plot
// manager's settings (bar mode and range, skip factors, plot offset) are kept for it.
#pragma once

struct GridRec;
struct DomainRec;

// The mouse and key callback handed on to the window while contours are shown.
using ContCallback = int (*)(const char* event, float x, float y);

// Prepares the contours of variable `index` of the current frame over domain; 0.
int CONT_plot_setup(int frame, int index, GridRec* grid, const DomainRec* domain, ContCallback callback);
// Draws the contours of grid; -1 when nothing was drawn.
int CONT_draw(GridRec* grid);
// The contour type of the plot being drawn (a plot type code, -9999 before any).
int CONT_get_type();

// Colour bar mode: 2 on ("bar"), -2 off ("nobar"), 0 as the plot type decides.
void CONT_set_bar(int mode);
// At least 1 when a colour bar is defined for the plot.
int CONT_get_bar();
void CONT_set_bar_range(float low, float high);
void CONT_get_bar_range(float* low, float* high);
// Draws the colour bar in transformation `transformation`; -1 when none was drawn.
int CONT_draw_bar(int transformation, const char* title);

// Skip factors of printed grid values and their offset.
void CONT_set_skip(int x, int y);
void CONT_get_skip(int* x, int* y);
void CONT_set_plot_offset(float x, float y);
void CONT_get_plot_offset(float* x, float* y);

// The window's "f-Alt": flashes the colour-bar band under the pointer; 1 when handled.
int CONT_flash_value(const char* event, float x, float y);
