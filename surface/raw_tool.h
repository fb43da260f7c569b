// Station data values: the record one station's value travels in, from the derivation to
// the station plot and the raw station-data file; the station-plot format language that
// decides how a value is drawn; and the raw files the program writes.
#pragma once

#include <cstdio>

#include "files/date.h"
#include "graphics/colors.h"

struct StationRec;

struct RawDataRec {
  float x;  // projected station position
  float y;
  int kind;  // plot type code of the value
  AttribRec attrib;
  char format[80];
  char text[40];
  float val1;  // the value; for winds the direction
  float val2;  // second value; for winds the speed
};

// Both values -9999.0 and an empty text.
void RAW_data_init_val(RawDataRec* data);
// The whole record cleared.
void RAW_data_init(RawDataRec* data);

// ---- station-plot formats ----
// Horizontal alignment 1 left, 2 centre, 3 right; vertical 1 top, 2 cap, 3 half, 4 base,
// 5 bottom (the text kernel's codes).
constexpr int RAW_ALIGN_LEFT = 1;
constexpr int RAW_ALIGN_CENTER = 2;
constexpr int RAW_ALIGN_RIGHT = 3;
constexpr int RAW_ALIGN_HALF = 3;
// The marker "mk=" that draws an empty sky-cover circle.
constexpr int RAW_MARK_CLOUD = 1001;

// The attribute set a station-plot format builds; reset per value from the plot default.
struct RawFormat {
  AttribRec attrib;  // colour, line width, text height, expansion, font
  float scale;       // 1 unless "sc=" says otherwise
  float min_cut;     // values below are not drawn (-9999 none)
  float max_cut;     // values above are not drawn (-9999 none)
  char cformat[40];  // C format of the value ("%.1f")
  char fixed[40];    // fixed text drawn instead of the value ("tx=")
  char special[40];  // special format ("sf=", "wf=")
  int marker;        // marker type ("mk="), 0 none
  int halign;
  int valign;
  float xoff;  // text offset, fractions of the map's vertical size
  float yoff;
  int skip;  // draw every skip-th station
};

// The plot default: attrib over an unset record, scale 1, no cuts, centred, no offset.
void RAW_format_init(RawFormat* state, const AttribRec* attrib);
// Applies the ':'-separated fields of text; the plot kind a field names (0 when none).
// Fields that cannot be read are reported ("RAW_parse_format: Bad field: %s\n") and left
// out.
int RAW_parse_format(RawFormat* state, const char* text);
// Marker type of a marker name of the station plots ("dot", "+", "crcl", "itri", a
// number); 0 when it is none.
int RAW_marker(const char* name);
// The value as the station plot and the raw file show it: kinds 1 and 2 by the C format
// (or "%1.0f"), the text when the value is missing; kind 5 "%d"; the text otherwise.
// A format whose second character is 'z' drops the leading zero (".5", "-.5").
void RAW_data_to_string(char* text, std::size_t size, const RawDataRec* data, const char* cformat);

// ---- raw station-data files (output) ----
// One value of a raw data line: "-" for missing, the text, the value by its format, or
// "dir,speed" for winds.
void RAW_value_token(char* text, std::size_t size, const RawDataRec* data);
// Opens the raw file named for date by the active naming convention (resource
// "raw_path"); 1 when open. Failures are reported, counted for the exit status, and
// leave raw output off.
int RAW_date_open(const DateRec* date);
// Opens a named raw file for writing; 1 when open.
int RAW_file_open(const char* name);
// The header: magic, date label and second line (with a field list of names, units and
// descriptions when count > 0).
void RAW_putinfo(const char* label, const char* line, int count, const char* const* names,
                 const char* const* units, const char* const* descriptions);
// A whole data line: identifier, latitude, longitude and the values.
int RAW_write(const char* id, float lat, float lon, const RawDataRec* values, int count);
// The same line built in steps by the station plot; -1 when raw output is off.
int RAW_save_station(const StationRec* station);
int RAW_save_data(const RawDataRec* data);
int RAW_save_end();
// Closes the raw file and puts it in place; -1 (reported, and counted for the exit status)
// when it could not be written whole: an old file of the name then stays as it was.
int RAW_close_file();
// Drops an unfinished raw file (nothing is put in place) and forgets the line being built
// and the bad format fields named so far.
void RAW_reset_state();
// "name=" and the value: the text the value queries of the window show.
void RAW_set_var_string(RawDataRec* data, const char* name);
const char* RAW_get_var_string();
