// The PostScript device (workstation type 4): the PostScript writer with its prolog and
// trailer, EPS, orientation, page sizes, placement on the page, gray and colour output,
// line types and widths, fills and images. The stream may be a file, a file appended to
// ("+name": no new prolog or trailer) or a print command ("|command").
//
// Also the page sizes and the placement ("geometry") that the HPGL and metafile devices
// read the same way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/gks_dev.h"

// The device record of the writer.
const GksDevice* gps_device();

int gps_open_file(const char* name);
// Gray level 0, colour index -1, line width 1.0, line type 1; the options back to their
// defaults (gray, landscape, not EPS, scale 1, base width 1, letter).
void gps_init();
void gps_init_file();
// Writes the trailer and closes the stream: 0, or -1 when nothing was open or the output
// could not be written.
int gps_close_file();
// Pages begun in the open output: clearing the workstation (gclear_ws) after something
// was drawn shows the page and begins the next one; EPS and appended output keep one.
// 0 when no output is open.
int gps_get_pages();
int gps_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// World coordinates of the current transformation, and print units.
void gps_move(float x, float y);
void gps_line(float x, float y);
void gps_move_abs(float x, float y);
void gps_line_abs(float x, float y);
void gps_set_width(int color, float width);
void gps_set_color(int index);
void gps_set_fill_color(int index);
void gps_set_type(int type);
void gps_set_color_rep(int index, float r, float g, float b);
float gps_get_gray(int index);
// Surface in points; the window size of the kernel becomes one more in each direction.
void gps_set_size(float width, float height);
void gps_set_base_width(float width);
void gps_set_EPS(int on);
void gps_set_orient(int port);
void gps_set_scale(float scale);
void gps_set_colorPS(int on);
int gps_get_colorPS();
void gps_set_reverse(int on);
// An image of width by height colour indices (rows from the top; 255 and -1 as unsigned
// bytes are indices like the others) over the current viewport; x0, y0: the image's first
// column and row in the viewport.
int gps_image(int width, int height, const unsigned char* pixels, int x0, int y0);
// Draws a picture of w by h pixels (rows from the top, 0xAARRGGBB; alpha 0 is clear,
// anything else opaque) with its top-left corner at left, top in print units, one pixel a
// print unit; -1 when no file is open.
int gps_rgb_image(float left, float top, int w, int h, const std::vector<std::uint32_t>& argb);

// ---- shared by the file devices ----

// A page option ("letter", "a4", "sz=8x6", "roll" when roll is allowed) as width and
// height in inches; 0 when the option is not a page.
int gps_page_size(const char* option, bool roll, float* width, float* height);
// The value after a keyword and one separator character ("scale=2" gives "2"); null when
// the option does not begin with the keyword.
const char* gps_option_value(const char* option, const char* keyword);
// Hands each comma-separated option, trimmed, to option: first those of the environment
// variable env (defaults of the site or user), then those after the device string's first
// comma, so that the command line wins.
void gps_device_options(const char* env, const char* device_string, void (*option)(const std::string&));
// Places a surface of width by height units on the page by the "geometry" resource, else
// the first environment variable of env1, env2 that is set: "P" fractions or pixel sizes
// times unit, plus add to the position. Sets the kernel's window size and offset.
void gps_place(float width, float height, float unit, float add, const char* env1, const char* env2);

// Back to the state of a fresh start: everything the PostScript writer holds.
void gps_reset_state();
