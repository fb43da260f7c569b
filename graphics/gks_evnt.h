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
