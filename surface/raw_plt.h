// Station values drawn at the stations, and the raw station-data files the same values
// are written to. The station-plot drawing and the raw files come with the station-value
// layer; until then values draw nothing and no raw file is opened.
#pragma once

#include "files/date.h"
#include "graphics/colors.h"
#include "surface/raw_tool.h"

struct StationRec;

// ---- drawing ----
// Starts a station plot with the attributes of its first variable and the text scale.
void RAW_plot_init(const AttribRec* attrib, float scale);
// Draws one value at its station; 0 when drawn, -1 when skipped.
int RAW_plot_data(RawDataRec* data);
// The label text of a value, "name=" and the value, kept for the value queries of the
// window.
void RAW_set_var_string(RawDataRec* data, const char* name);

// ---- raw station-data files ----
// Opens the raw file named for date; 1 when open, 0 when it cannot be (said once).
int RAW_date_open(const DateRec* date);
void RAW_save_station(const StationRec* station);
void RAW_save_data(const RawDataRec* data);
void RAW_save_end();
void RAW_close_file();
