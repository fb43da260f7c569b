// Data-plot framework, plotting half: the per-frame sequence (map underlay, grid and
// station variables, maps, panels, colour bars, map overlay, labels).
#pragma once

#include "driver/data.h"
#include "graphics/colors.h"

// Once per plot: fill mode, map mode, attributes and scale from the resources.
void DATA_plot_init();
void DATA_plot_start();
void DATA_plot_begin();
void DATA_new_frame();
void DATA_plot_end();
void DATA_map_underlay();
void DATA_map_overlay();
// Grid and station variables return the index of the last variable they consumed (i when
// nothing applies).
int DATA_plot_grid(int i, DataDesc* desc);
int DATA_plot_cont(int i, DataDesc* desc);
// Vectors from the component grids found from index i; units (may be null) is the
// variable's units buffer: converted to when set, filled from the grid when empty.
int DATA_plot_vect(int i, char* units, const char* format, DataDesc* desc);
int DATA_plot_raw(int i, DataDesc* desc);
void DATA_plot_raw_label(int first, int last, DataDesc* desc);
// -1 beyond the last variable.
int DATA_plot_map(int i);
int DATA_plot_control(int i, const DomainRec* domain);
int DATA_plot_panel(const char* format, const DomainRec* domain);
// -1 when already drawn in this frame or not defined.
int DATA_plot_bar();
int DATA_plot_vect_bar();
void DATA_set_site(int flag);
void DATA_set_dist(int radius);

// State for the callers' checks.
int DATA_get_map_mode();
int DATA_get_fill();
int DATA_get_panel();
// Text and symbol scale (plot_scale), and the attributes of a station variable of plot
// type t (wind, cloud, weather or data).
float DATA_get_scale();
const AttribRec* DATA_get_attrib(int type);

// Back to the plot settings of a fresh program, with no frames begun.
void DATA_reset_plot_state();
