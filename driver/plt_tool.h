// Plot manager: opening, resetting and closing the output workstation for a plot, the
// plot parameters, panels and the view, the event callbacks of the window (zoom, resize,
// refresh, value and location queries) and image dumps. The labels are in plt_labl.h.
#pragma once

#include <functional>
#include <string>

struct DomainRec;

// ---- workstation ----
// Decodes the plot parameters and opens the workstation for a plot of the given
// width/height aspect; -1 when nothing is plotted (plot type "none" or drawing off).
int PLT_open(float aspect);
// The view from the view offsets again and a cleared workstation for the next plot; a
// negative label type becomes -1, a positive one 1. -1 when nothing is plotted.
int PLT_reset(float aspect);
// Holds an interactive window for the user (unless frames are dumped), then ends the
// workstation and resets the labels. -1 when nothing is plotted.
int PLT_close();
// Ends the workstation and the program with status.
[[noreturn]] void PLT_exit(int status);
// 1 when plotting is off (plot type "none" or every plot component off).
int PLT_is_off();
int PLT_get_work_type();
// A new frame of a sequence: on paper (PostScript, HPGL) the next page, once something
// was drawn on the current one. The window keeps a picture per frame instead.
void PLT_new_page();
// Applies every word of the plot_param resource (and the image dumps of out_file).
void PLT_param_decode();
// Calls f with every non-empty value of a comma-separated list resource.
void PLT_for_each_value(const char* resource, const std::function<void(const char*)>& f);
// A status text for the workstation (gmessage); printf-style.
int PLT_mess(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- panels and view ----
// "WxH+X+Y": a grid of W columns and H rows with X the column and Y the row from the top
// (W or H above 1), or the width, height, left and bottom of the view as fractions of the
// page. Sets the view size and returns 1 when all four numbers were read and name a part
// of the page; otherwise the view size is kept and 0 returned (after a message for text
// that is not empty).
int PLT_panel_decode(const char* text);
// Lays out a panel in the view size; aspect 0 keeps the current view's width/height.
int PLT_panel(float aspect);
// Margins of the view area: PLT_set_view_offset(v) leaves v below and above the plot for
// labels (0, 0, v, v as left, right, bottom, top).
void PLT_set_view_offset(float v);
void PLT_set_view_offsets(float left, float bottom, float right, float top);
float PLT_get_view_offset();
// view: left, right, bottom, top margins.
void PLT_get_view_offsets(float view[4]);
// The view in use: the margins until a workstation lays it out, then the fitted plot
// rectangle xmin, xmax, ymin, ymax.
void PLT_get_view(float view[4]);

// ---- zoom ----
// Zoom depth: 0 unzoomed.
void PLT_set_zoom(int depth);
int PLT_get_zoom();

// ---- callbacks and events ----
using PltEventFunc = int (*)(const char* event, float x, float y);
using PltDomainFunc = void (*)(const DomainRec* domain);
using PltRefreshFunc = void (*)();
// The program's mouse and key callback; registered with the window device.
void PLT_set_callback(PltEventFunc f);
PltEventFunc PLT_get_callback();
void PLT_set_zoom_func(PltDomainFunc f);
void PLT_set_resize_func(PltDomainFunc f);
// Registers PLT_plot_refresh with the window's refresh timer, calling f every `seconds`.
void PLT_set_refresh_func(int seconds, PltRefreshFunc f);
int PLT_get_refresh_period();
// Event handlers: 1 when the event was theirs. x and y are map (projection-plane)
// coordinates of the plot. "v-Alt" prints the nearest station and the values there,
// "e-Alt" edits the grid value (one file, one variable).
int PLT_print_values(const char* event, float x, float y);
int PLT_print_location(const char* event, float x, float y);
// Keeps copies of the grids of every variable as frame `frame` of a loop shows them: a
// query on that frame reads them. PLT_drop_frame_grids forgets those of one frame (the
// later frames move down by one) or, with -1, of all.
void PLT_keep_frame_grids(int frame);
void PLT_drop_frame_grids(int frame);
// "B1-P-Shft" starts a box, the release of button 1 ("B1-R", with any modifier still
// held) ends it and zooms to it; "u-Alt" goes back to the unzoomed domain, "r-Alt"
// redraws the current one.
int PLT_plot_zoom(const char* event, float x, float y);
// "size": the window changed its size.
int PLT_plot_resize(const char* event);
// Runs the registered refresh function (the window's timer calls this).
void PLT_plot_refresh();

// ---- image dumps ----
// Dump kinds: 0 none, 1 XWD, 2 GIF, 3 package image, 4 PNG. The naming convention is
// name when given, else "zav.gif", "zav.png" or "zav.xwd".
void PLT_set_dump(int kind, const char* name);
int PLT_get_dump();
const char* PLT_get_dump_file();
// GIF flavour of the dumps: 0 normal, 1 interlaced, 2 transparent background.
int PLT_get_gif_mode();
// Writes frame (-4: every frame) to image files when a dump kind is set; the number of
// files written.
int PLT_dump(int frame);
// The file name of a dump of frame key `frame_key` (the 'i' key) for the file module's
// current date, under the dump convention and image_path.
std::string PLT_dump_name(const char* frame_key);

// ---- state ----
// Back to the state of a fresh program: no view offsets, zoom, dumps or callbacks.
void PLT_reset_state();
