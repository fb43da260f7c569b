// Output devices of the graphics kernel.
//
// The kernel does everything that is the same on every device (validation, the attribute
// state and its change test, transformations, clipping of whole primitives, the object
// list, marker geometry) and hands each device what is left through one record of hooks
// per workstation type. A writer plugs in by filling a GksDevice and returning it from its
// module; the table in gks_dev.cpp names the device of each type, and gdev_register swaps
// one in at run time. Hooks a device does not need stay null.
//
// Until a writer is registered for a type, that type gets the built-in recording device:
// it opens no file and keeps every call it receives (gdev_calls), so plots run their full
// course and tests can see what a device would have drawn.
#pragma once
#include <string>
#include <vector>

struct GksDevice {
  const char* name = nullptr;
  // Opens the output for workstation type `type`. device_string holds the fields after
  // the device letter, separated by commas (file or display first, then options); it may
  // be empty. The device sets its surface with gset_win_size and gset_win_offset. Returns
  // 0, or -1 after its own message (gerr_printf under "gopen_ws").
  int (*open)(int type, const char* device_string) = nullptr;
  // Closes the output; 0, or -1 when nothing was open.
  int (*close)() = nullptr;
  // Device set-up for a kernel mode of ginit_plot (0 window, 1 window redraw, 2
  // PostScript, 3 HPGL, 4 metafile, 10 new window size).
  void (*init)(int mode) = nullptr;
  // Clears the whole surface to the background (gclear_ws).
  void (*clear)() = nullptr;
  // The current viewport in device units: xmin, ymin, xmax, ymax (y up for print units,
  // pixel rows for window types). The device clips everything after it to this.
  void (*clip)(const float rect[4]) = nullptr;
  // A change of kernel state named by its object code (gks_obj.h): transformations
  // (arg: number; values: xmin, ymin, xmax, ymax), colours (arg: index, -1 the
  // background; values: red, green, blue; returns the pixel, or -1 when the colour cannot
  // be had), attributes (arg: integer value, or values[0] the float value). Returns 0 (or
  // the pixel), or -1 when the device refuses the change after its own message.
  int (*state)(int code, int arg, const float* values, int count) = nullptr;
  // Primitives: n points as x, y pairs, in world coordinates of the current
  // transformation and in device units (clamped to the device range).
  void (*polyline)(int n, const float* world, const float* dev) = nullptr;
  void (*fill_area)(int n, const float* world, const float* dev) = nullptr;
  // A whole polymarker as one record (text metafiles). When null the kernel draws the
  // shapes: marker_begin once, then marker_shape for each stroke of each marker.
  void (*polymarker)(int n, const float* world) = nullptr;
  void (*marker_begin)(int n) = nullptr;
  // One stroke of a marker: nv vertices in device units (a single vertex: one point).
  // shadow: a drop-shadow copy, drawn in the screen's black.
  void (*marker_shape)(int nv, const float* dev, int shadow) = nullptr;
  // A string at a world position.
  void (*text)(float x, float y, const char* string) = nullptr;
  // Fills a world rectangle (xmin, xmax, ymin, ymax) with the background; dev holds its
  // corners in device units (xmin, ymin, xmax, ymax).
  void (*clear_region)(const float world[4], const float dev[4]) = nullptr;
  void (*message)(const char* text) = nullptr;
};

// The device of a workstation type (the recording device until a writer is registered);
// null for a type that has none.
const GksDevice* gdev_get(int type);
// Plugs device in for type (null: back to the built-in device); returns the previous one.
const GksDevice* gdev_register(int type, const GksDevice* device);
// The device of the open workstation, null when none is open.
const GksDevice* gdev_cur();

// Calls kept by the recording device. Codes are the object codes of gks_obj.h for state
// changes and primitives, and the GDEV_ codes below for the rest. Primitive values are
// device units; state values as passed to the state hook.
constexpr int GDEV_OPEN = 1;
constexpr int GDEV_CLOSE = 2;
constexpr int GDEV_CLEAR = 3;
constexpr int GDEV_CLIP = 4;
constexpr int GDEV_INIT = 6;
constexpr int GDEV_MARK_BEGIN = 41;
constexpr int GDEV_MARK_SHAPE = 42;
constexpr int GDEV_MARK_SHADOW = 48;

struct GksCall {
  int code;
  int arg;
  std::vector<float> values;
  std::string text;
};

// The calls kept since the last gdev_clear_calls, oldest first. The log keeps at most
// GDEV_MAX_CALLS calls (a long batch run must not grow without bound); later ones are only
// counted.
constexpr std::size_t GDEV_MAX_CALLS = 50000;
const std::vector<GksCall>& gdev_calls();
long gdev_dropped_calls();
void gdev_clear_calls();

// Helpers the kernel modules share when they hand work to the device.
// 1 when all n points (x, y pairs) are finite numbers.
int gdev_finite(int n, const float* points);
// The n world points in device units of the open type; false when memory is short.
bool gdev_points(int n, const float* world, std::vector<float>* dev);
// A state change for the device and the object list: on a metafile it goes to the device
// only; otherwise the device gets it and, when it accepts, it is recorded as an object
// (data: the values). Returns the device's answer (0 without a device), -1 when refused.
int gdev_state(int code, int arg, const float* values, int count);
