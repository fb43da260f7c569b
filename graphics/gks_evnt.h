// Events of the window: exposure, mapping, focus, resizing, the client messages of a
// companion program, and the user's keys, buttons and pointer motion while a plot is held,
// with the rubber band of interactive selection. Higher modules register a callback for
// the user's actions; the kernel serves events only inside its own calls (every 500th
// recorded call, while holding, and when the plot code polls with gcheck_event).
//
// This header also brings the window device, the frames and the zoom (gks_x11.h,
// gks_loop.h, gks_zoom.h), which the callers of the window use together.
#pragma once
#include <X11/Xlib.h>

#include "graphics/gks_loop.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_zoom.h"

// Mouse and key callback: event kind (2 key or "size", 3 button), event name, and a world
// position of the current transformation (for "size": the new width and height).
using GksMouseFunc = int (*)(int kind, const char* name, float x, float y);
void gset_mouse_callback(GksMouseFunc function);
GksMouseFunc gget_mouse_callback();

// Interprets one event of the window; 1 when it was user input (a key, a button, motion).
int gprocess_x11_event(XEvent* event);
// Back to no rubber band (the kernel's state is reset).
void ginit_events();
// Back to the state after start-up: the callback and image writers forgotten too (the
// hooks wired at start-up stay).
void GEVNT_reset_state();

// Rubber band drawn while a button is held: 0 none, 1 a line from the press point, 3
// constrained cross-hair lines, anything else a rectangle.
void gset_rubber_band(int type);
int gget_rubber_band();
// Limits of the band's end: two world corners x1, y1, x2, y2 (null: none).
void gset_rubber_band_limits(const float* rect);
// Up to three anchors (world x, y pairs); constraint 1 keeps the anchor's y, 2 its x.
void gset_rubber_band_points(const float* points, int n, int constraint);

// What the window needs from the kernel above it: resetting the transformations for a new
// window size (ginit_plot) and writing the object list to a metafile.
void gset_event_hooks(void (*init_plot)(int mode), int (*print_meta)());

// Image files of the window (Alt-g GIF, Alt-x XWD): a writer saves the current drawing
// target to path and returns 1 on success. Without one the key reports that the format
// is not available.
constexpr int GKS_IMAGE_GIF = 1;
constexpr int GKS_IMAGE_XWD = 2;
using GksImageWriter = int (*)(const char* path);
void gset_image_writer(int format, GksImageWriter writer);
