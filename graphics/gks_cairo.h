// The raster device (workstation type 7): the picture of a plot drawn without any X
// server, antialiased, at a chosen pixel size, and written as PNG images, or with the
// same drawing code as PDF or SVG pages. It draws what the PostScript device draws
// (lines with their dashes and widths, solid and pattern fills, markers, stroke text,
// clipping, the colour table and the background) and looks like the window: the
// background is the window's (black, white on an inverse display) unless set otherwise.
//
// Device string: name[,option...]. The format is an option ("png", "pdf", "svg"), else the
// name's extension, else the device word ("-de pdf,plot"), else PNG. Options:
//   WxH or sz=WxH   size in pixels (PDF and SVG: points); default the "geometry"
//                   resource's size, else the window's 640 by 512
//   inv             inverse display: white background, black default text
//   lwidth=f        line widths times f
//   noaa            no antialiasing
//   mem             no file: the page stays in memory for graster_page and
//                   graster_write_png (image dumps of a run without a display)
// Pages: clearing the workstation after something was drawn begins a new page. A PDF
// holds every page. PNG and SVG write a file a page: one page goes to the name given;
// with several they are numbered, "hour.png" giving "hour_01.png", "hour_02.png", ...
// Line widths, dashes, markers and pattern cells grow with pictures larger than 800 by 600.
// The device keeps a page's drawing as a list of calls and draws it when the pixels are
// wanted; the pages of a PNG file are drawn and encoded by worker threads
// (STACONT_RASTER_THREADS of them, else one a processor, at most four; 0: none) and their
// files written in page order by the program's thread, at the latest when it closes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/gks_dev.h"

// Sides of a raster page (and of the geometry the user gives for it), in pixels: smaller
// pages show nothing, larger ones take gigabytes.
constexpr int GRASTER_MIN_SIDE = 16, GRASTER_MAX_SIDE = 16384;

// The device record (a device that refuses to open when the program is built without
// Cairo).
const GksDevice* gcairo_device();
// 1 when the program is built with the raster device.
int graster_available();

// The current page of an open raster workstation as width, height and pixels (rows from
// the top, 0xAARRGGBB with alpha 0xFF); -1 when no PNG or memory page is open.
int graster_page(int* width, int* height, std::vector<std::uint32_t>* argb);
// The page's background colour as 0xAARRGGBB (the colour a transparent dump leaves out).
std::uint32_t graster_background();
// Writes the current page as a PNG file; 0, or -1 after a message.
int graster_write_png(const char* name);
// Draws a picture of w by h pixels (rows from the top, 0xAARRGGBB; alpha 0 is clear,
// anything else opaque) with its top-left corner at left, top in device units, inside
// the clip; -1 when no raster page is open.
int graster_image(float left, float top, int w, int h, const std::vector<std::uint32_t>& argb);
// Pages finished so far in the open output (0 when none is open).
int graster_get_pages();
// The name of page n (from 1) of a numbered output: "_NN" before the extension.
std::string graster_page_name(const std::string& name, int n);

// Back to the state of a fresh start: everything the raster, PDF and SVG writer holds.
void gcairo_reset_state();
