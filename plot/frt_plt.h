// Fronts, troughs, pressure centres and tropical cyclones from a coded frontal-position
// bulletin, drawn on the map (transformation 2, positions through MAP_tran).
//
// Bulletin: a header ended by the section's key line, "VALID ddhhmmZ" for the analysis or
// "12HR ..." (any "<hours>HR") for a forecast; data lines to the next line holding the
// word VALID, a line beginning with a digit continuing the one before. Data lines:
//   HIGHS / LOWS      pressure (hPa) and position pairs
//   COLD / WARM / OCFNT / STNRY   an intensity word and positions along the front
//   TROF              positions along the trough
//   HURRICANE name PSN <position in words>, TROPICAL STORM name PSN <position in words>
// A position group is five digits: latitude (degrees north) and longitude (degrees west).
//
// Options (resource "plot_param", entries): "noprlab" no pressure under H and L, "barb"
// front symbols along the fronts, "prrad=<degrees>" the radius within which the weaker of
// two centres is left out (5), "hour=<hours>" the forecast section (0: the analysis).
// Colours (list resource "color_front"): highs, lows, cold, warm, occluded fronts,
// troughs, tropical cyclones; "none" leaves that element out. The fill style of the front
// symbols comes from "color_data"; sizes scale with "plot_scale".
#pragma once

#include <string>
#include <vector>

#include "files/date.h"

// The date the analysis section must be valid for.
void FRT_set_date(const DateRec* date);
// Reads the options of "plot_param".
void FRT_plot_param();
// Reads the bulletin and draws the section asked for; 1 when read, 0 when the file cannot be
// opened ("FRT_plot_file: Unable to open front file: %s\n").
int FRT_plot_file(const char* path);
// The labels of the last section drawn ("" when none was): "Frontal positions", and the
// analysis or forecast time.
const char* FRT_get_label_up_left();
const char* FRT_get_label_up_right();

// A five-digit position group: latitude and (east) longitude, 1; 0 when it is not one.
int decode_latlon(const char* group, float* lat, float* lon);
// A position written in words from words[*next] on ("TWENTY FIVE POINT FIVE NORTH SEVENTY
// WEST"): lat and lon are set as NORTH and WEST (or SOUTH and EAST) close their numbers.
// 0 when another word ends the position (*next is that word), -1 when the words run out.
int FRT_decode_locate(const std::vector<std::string>& words, std::size_t* next, float* lat, float* lon);
