// Events of the window device and the callbacks that higher modules register for them.
// The kernel serves events only inside its own calls; without a window there are none.
#pragma once

// Mouse and key callback: event kind (2 key or "size", 3 button), event name, and a world
// position (for "size": the new width and height).
using GksMouseFunc = int (*)(int kind, const char* name, float x, float y);
// Called every `seconds` while the window holds a plot.
using GksRefreshFunc = void (*)();

void gset_mouse_callback(GksMouseFunc function);
GksMouseFunc gget_mouse_callback();
void gset_refresh_callback(int seconds, GksRefreshFunc function);
GksRefreshFunc gget_refresh_callback(int* seconds);

// Processes pending events; the number of events that were not user input.
int gcheck_event();
// Blocks for the next event.
int gwait_event();

// ---- window settings the plot manager passes on ----
// Rubber band while the user drags a box: 0 none, 1 line, 2 box.
void gset_rubber_band(int mode);
int gget_rubber_band();
// Cursor shape: 0 normal, 3 looping, 4 stopped, 6 waiting for input, 8 busy.
void gset_cursor(int shape);
int gget_cursor();
// Shows the picture drawn so far in the window.
void gupdate_window();
// Backing pixmap mode of a window drawn into another program's drawable: 1 clear,
// 2 new, 9 kill.
void gset_pix_mode(int mode);
int gget_pix_mode();
// Read-write colour cells and a private colour map.
void gset_rw_colors(int on);
int gget_rw_colors();
void gset_local_cmap(int on);
int gget_local_cmap();
