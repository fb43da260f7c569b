// Plot manager: opening, resetting and closing the output workstation for a plot, the
// plot parameters, panels, the six corner and edge labels of every overlay, event
// callbacks and image dumps.
#pragma once

#include <functional>

#include "files/date.h"

// ---- workstation ----
// Opens the workstation for a plot of the given width/height aspect; -1 when nothing is
// plotted (plot type "none" or every plot component off).
int PLT_open(float aspect);
int PLT_reset(float aspect);
int PLT_close();
// Ends the workstation and the program with status.
[[noreturn]] void PLT_exit(int status);
// 1 when plotting is off (plot type "none" or every plot component off).
int PLT_is_off();
int PLT_get_work_type();
// Applies the plot_param words that tune plotting.
void PLT_param_decode();
// Calls f with every non-empty value of a comma-separated list resource.
void PLT_for_each_value(const char* resource, const std::function<void(const char*)>& f);

// ---- panels and view ----
// "WxH+X+Y": a grid of W x H panels (W > 1) or fractions of the page. 1 when all four
// numbers were read.
int PLT_panel_decode(const char* text);
int PLT_panel(float aspect);
void PLT_set_view_offset(float v);
void PLT_set_view_offsets(float left, float bottom, float right, float top);
float PLT_get_view_offset();
// view: left, right, bottom, top margins.
void PLT_get_view_offsets(float view[4]);
void PLT_get_view(float view[4]);
void PLT_border(int flag);
void PLT_set_bar(int flag);
// 1 the first time a colour bar is defined in a frame.
int PLT_bar();

// ---- labels: 6 positions x 6 overlays of at most 69 characters ----
constexpr int PLT_LABEL_LEN = 69;
void PLT_label_up_left(const char* text);
void PLT_label_up_center(const char* text);
void PLT_label_up_right(const char* text);
void PLT_label_low_left(const char* text);
void PLT_label_low_center(const char* text);
void PLT_label_low_right(const char* text);
// Upper-right label of the current overlay.
const char* PLT_get_label_up_right();
// Position 0-5 (upper left, centre, right, lower left, centre, right); "" when unset.
const char* PLT_get_label(int position, int overlay);
void PLT_label_date(const DateRec* date);
void PLT_label_for_time(int time);
// Advances to the next overlay; -1 beyond overlay 5.
int PLT_next_overlay();
void PLT_set_overlay(int n);
int PLT_get_overlay();
void PLT_set_overlay_base(int n);
void PLT_set_num_overlay(int n);
int PLT_get_num_overlay();
// Label style: -2 minimal, -1 simple, 0 normal, 1 composite.
void PLT_set_label_type(int type);
int PLT_get_label_type();
void PLT_init_labels();
// Draws the labels of the frame.
void PLT_labels();

// ---- callbacks and events ----
using PltEventFunc = int (*)(const char* event, float x, float y);
struct DomainRec;
using PltDomainFunc = void (*)(const DomainRec* domain);
using PltRefreshFunc = void (*)();
void PLT_set_callback(PltEventFunc f);
void PLT_set_zoom_func(PltDomainFunc f);
void PLT_set_resize_func(PltDomainFunc f);
void PLT_set_refresh_func(int seconds, PltRefreshFunc f);
int PLT_get_refresh_period();
int PLT_print_values(const char* event, float x, float y);
int PLT_print_location(const char* event, float x, float y);
int PLT_plot_zoom(const char* event, float x, float y);
int PLT_plot_resize(const char* event);
// Runs the registered refresh function (the window's timer calls this).
void PLT_plot_refresh();

// ---- image dumps ----
// Dump kinds: 0 none, 1 XWD, 2 GIF, 3 package image, 4 PNG.
void PLT_set_dump(int kind, const char* name);
int PLT_get_dump();
int PLT_dump(int frame);
