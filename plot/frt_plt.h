// Fronts, troughs, pressure centres and tropical cyclones from a coded frontal-position
// bulletin, drawn on the map (transformation 2, positions through MAP_tran).
//
// Bulletin: headings (sequence numbers, WMO headings, free text) up to the section's key
// line, "VALID <time>Z" for the analysis or "12HR ..." (any "<hours>HR") for a forecast;
// data lines to the next line holding the word VALID, the next forecast key or "$$", a
// line beginning with a digit continuing the one before. The analysis time is written
// month, day, hour ("062818Z": 28 June 18 UTC) or, in older bulletins, day, hour, minute
// ("141200Z"). Data lines:
//   HIGHS / LOWS      pressure (hPa) and position pairs; a position without a pressure
//                     before it is a centre whose pressure is not given
//   COLD / WARM / OCFNT / STNRY   intensity words (WK, MDT, STG, DIFFUSE, ...; high
//                     resolution bulletins have none) and the positions along the front
//   TROF              positions along the trough
//   HURRICANE name PSN <position in words>, TROPICAL STORM name PSN <position in words>
// A position group (latitude north, longitude west) is LLOO (whole degrees, longitude
// below 100), LLOOO (whole degrees) or LLLOOOO (tenths of a degree).
//
// Options (resource "plot_param", entries): "noprlab" no pressure under H and L, "barb"
// front symbols along the fronts, "prrad=<degrees>" the radius within which the weaker of
// two centres is left out (0: every centre the bulletin lists is drawn), "hour=<hours>" the
// forecast section (0: the analysis).
// Colours (list resource "color_front"): highs, lows, cold, warm, occluded fronts,
// troughs, tropical cyclones; "none" leaves that element out. The fill style of the front
// symbols comes from "color_data"; sizes scale with "plot_scale".
#pragma once

#include <string>
#include <vector>

#include "files/date.h"

enum FrtKind { FRT_COLD, FRT_WARM, FRT_OCCLUDED, FRT_STATIONARY, FRT_TROUGH };

// A front or trough: its points in order, latitude and east longitude in degrees.
struct FrtFront {
  FrtKind kind = FRT_COLD;
  std::vector<float> lat, lon;
};

// A pressure centre; pres is MISSING when the bulletin gives the position alone.
struct FrtCentre {
  bool high = true;
  float pres = 0.0f, lat = 0.0f, lon = 0.0f;
};

struct FrtStorm {
  bool hurricane = false;
  std::string name;
  float lat = 0.0f, lon = 0.0f;
};

// The section of a bulletin asked for, as read; found is false when it has none.
struct FrtBulletin {
  std::vector<FrtFront> fronts;
  std::vector<FrtCentre> centres;
  std::vector<FrtStorm> storms;
  bool found = false;
};

// The date the analysis section must be valid for; a date without day or hour takes every
// analysis section of the file.
void FRT_set_date(const DateRec* date);
// Forgets the date, options and labels.
void FRT_reset_state();
// Reads the options of "plot_param".
void FRT_plot_param();
// Reads the bulletin and draws the section asked for; 1 when read, 0 when the file cannot be
// opened ("FRT_plot_file: Unable to open front file: %s\n").
int FRT_plot_file(const char* path);
// Reads the section asked for (the date, the options of "plot_param") without drawing it;
// 1 when read, 0 when the file cannot be opened.
int FRT_read_file(const char* path, FrtBulletin* bulletin);
// The labels of the last section drawn ("" when none was): "Frontal positions", and the
// analysis or forecast time.
const char* FRT_get_label_up_left();
const char* FRT_get_label_up_right();

// A position group (LLOO, LLOOO or LLLOOOO): latitude and (east) longitude, 1; 0 when it is
// not one (lat and lon untouched).
int decode_latlon(const char* group, float* lat, float* lon);
// A position written in words from words[*next] on ("TWENTY FIVE POINT FIVE NORTH SEVENTY
// WEST"): lat and lon are set as NORTH and WEST (or SOUTH and EAST) close their numbers.
// 0 when another word ends the position (*next is that word), -1 when the words run out.
int FRT_decode_locate(const std::vector<std::string>& words, std::size_t* next, float* lat, float* lon);
