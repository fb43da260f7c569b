// Station values drawn at the stations: numbers, texts, markers, sky-cover circles, wind
// barbs and arrows, tracks, weather symbols and lines, placed round the station by the
// station-plot format of each value (surface/raw_tool.h), and raw files drawn back.
//
// Sizes are fractions of the map's vertical size V times the format's scale.
#pragma once

#include "files/date.h"
#include "graphics/colors.h"
#include "surface/raw_tool.h"

// Starts a station plot with the attributes of its first variable and the text scale;
// reads the "plot_param" entries that concern station plots.
void RAW_plot_init(const AttribRec* attrib, float scale);
// The default attributes of the values that follow.
void RAW_set_attribs(const AttribRec* attrib);
void RAW_init_attrib(AttribRec* attrib);
// The "plot_param" entries "skip", "text", "mark", "cld", "line", "ybar", "xy=x:y" and the
// position words (applied to every value as defaults).
void RAW_plot_param(const char* param);
// With on, texts are drawn over a rim of the page's colour: for values over a colour fill.
// Forgets the plot set-up, the places taken and the rejected reports.
void RAW_plt_reset_state();
void RAW_set_halo(int on);
// Draws one value at its station; 0 when drawn, -1 when skipped.
int RAW_plot_data(RawDataRec* data);

// ---- room on the map ----
// Station models must not overprint each other: a run of station variables has one
// footprint (the union of the places its formats put values) and a station is drawn only
// where its footprint overlaps none drawn before.
// Brackets the values of one station: the barbs are drawn at its end, kept off the boxes
// of the station's numbers and texts, so that no barb crosses a number.
void RAW_station_begin();
void RAW_station_end();
void RAW_footprint_begin();
void RAW_footprint_add(const char* format, int kind);
// 1 (and the place taken) when the footprint at (x, y) is free.
// 1 when the run's footprint at the station lies inside the map's frame (or no footprint
// is set): a model the frame would cut is not drawn, since half a model misleads.
int RAW_plot_inside(float x, float y);
int RAW_plot_room(float x, float y);

// ---- reports the analysis rejected ----
// The quality control of a frame's analysis rejects reports of one variable; the station
// plots of that variable in the frame mark each with a cross, so that the forecaster sees
// which values the map leaves out. The set is kept until cleared (the next analysis).
void RAW_reject_clear();
void RAW_reject_add(const char* var, const char* id);
// 1 when the report of station id was rejected for variable var.
int RAW_rejected(const char* var, const char* id);
// Draws the mark of a rejected report at the station's map position (x, y).
void RAW_plot_reject(float x, float y);

// Draws field `field` of a raw file with a station-plot format over the current map; the
// number of values drawn, -1 when the file cannot be read.
int RAW_plot_file(const char* name, int field, const char* format, const AttribRec* attrib);

// The map list's "rf:" overlay: draws every station of the raw file with every field of
// its field list as the field's description names it, in colour (a colour name; empty:
// the station-value colour). The values drawn, or -1 when the file cannot be read.
int RAW_overlay_file(const char* file, const char* colour, int x, int y);
