// The feature device (workstation type 8, "-de ogr,FILE"): what the plot layers draw on
// the map, kept as GIS features instead of strokes. Contour lines, filled bands and fronts
// are the very polylines and fill areas the kernel hands every device, so a line in the
// file and the same line on a page are the same points; highs and lows, winds and station
// values are points at the place their symbol is drawn.
//
// The kernel knows only world coordinates and nothing of maps: the plot layers say what
// they are drawing (gfeature_set) and a higher layer registers the hooks that turn the
// map's world coordinates into the map's CRS and that write the features to a file
// (gogr_set_hooks). Anything drawn while no feature is set (map outlines, labels, the
// colour bar) is left out. Each page cleared after drawing is a new frame of a sequence.
#pragma once

#include <string>
#include <vector>

#include "graphics/gks_dev.h"

// What is being drawn now.
enum GksFeatureKind {
  GFEAT_NONE = 0,
  GFEAT_CONTOUR,  // lines: a = level
  GFEAT_BAND,     // fill areas: a = lower, b = upper level
  GFEAT_EXTREME,  // points: a = value, text "H" or "L"
  GFEAT_FRONT,    // lines: text the front's kind
  GFEAT_WIND,     // points: a = speed, b = direction (degrees from), text "vector" or "barb"
  GFEAT_STATION,  // points: text the station's fields, "name=value" separated by ';'
  GFEAT_KINDS
};

// Sets what the primitives that follow are (GFEAT_NONE: nothing to keep). Cheap enough to
// call around every primitive.
void gfeature_set(int kind, double a = 0.0, double b = 0.0, const char* text = nullptr);
// A point feature at world (x, y) of the current transformation; nothing unless the
// feature device is open.
void gfeature_point(int kind, float x, float y, double a = 0.0, double b = 0.0, const char* text = nullptr);
// A line feature of n world points (x, y pairs) that the caller draws in pieces of its own
// (a front broken into styled runs); nothing unless the feature device is open.
void gfeature_line(int kind, int n, const float* world, const char* text = nullptr);
// What follows does not continue what came before (the next row of a grid): band pieces
// are no longer joined to the ones before.
void gfeature_break();
// The valid time of what follows (ISO 8601), for the "time" field of a sequence's features.
void gfeature_time(const char* iso);
// 1 when the feature device is open (plot layers skip work only it needs otherwise).
int gfeature_wanted();

// One feature: its parts (a line, the rings of a polygon, or a point) as x, y pairs in the
// CRS of the map, and its attributes.
struct GksFeature {
  int kind = GFEAT_NONE;
  int frame = 1;
  double a = 0.0, b = 0.0;
  std::string text;
  int color = -1;    // fill colour of a band as 0xRRGGBB
  std::string time;  // valid time, "" when not known
  std::vector<double> xy;
};

// The hooks of the layer that knows the map. place turns n world points (x, y pairs) of
// the map transformation into CRS coordinates in out (2n values), 0 or -1 when the map has
// no CRS. write puts the features of a closed device into path (the device string's first
// field; it may take their points), 0 or -1 with the reason in *error.
struct GksFeatureHooks {
  // "" when features can be written, else why not (the device then refuses to open).
  std::string (*unavailable)(const char* path) = nullptr;
  int (*place)(int n, const float* world, double* out) = nullptr;
  int (*write)(const char* path, std::vector<GksFeature>* features, std::string* error) = nullptr;
};
void gogr_set_hooks(const GksFeatureHooks& hooks);

// The device record.
const GksDevice* gogr_device();
// The features kept by the open device (tests and benchmarks).
const std::vector<GksFeature>& gogr_features();
// How many features the device last closed handed to the writer.
long gogr_last_count();

// Back to the state of a fresh start: everything the feature writer (hooks included) holds.
void gogr_reset_state();
