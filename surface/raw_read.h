// Raw station-data files read back: the header with its field list, and the value of one
// field on one data line.
//
//   ZAVRAW
//   <date label>
//   !<second line>          ("!" announces the field list; without it no list follows)
//   id lat lon
//   temp:F:Temperature      (name, units, description; "_" read as a blank)
//   $
//   KDEN  39.77 -104.87 45 30 132 ...
#pragma once

#include "files/date.h"
#include "surface/raw_tool.h"

constexpr int RAW_MAX_OPEN = 5;
constexpr int RAW_MAX_FIELDS = 75;
constexpr int RAW_LINE_MAX = 400;

// Location layouts of the data lines.
constexpr int RAW_LAYOUT_ID = 1;        // identifier and two values per line
constexpr int RAW_LAYOUT_PRES = 2;      // pressure-level lines
constexpr int RAW_LAYOUT_LATLON = 3;    // identifier and two coordinates

struct RawField {
  char name[32];
  char units[32];
  char description[64];
};

// Opens a raw file (at most RAW_MAX_OPEN at once; "std" and "stdn" name the standard
// input); a handle of 0 or more, or -1 with a message.
int RAW_open(const char* name);
void RAW_close(int handle);
// 1 when the file's first character is that of the magic "ZAVRAW".
int RAW_chktype(const char* name);
// Reads the header: the date (missing fields when the label does not read) and the second
// line (at most size - 1 characters). The number of fields of the list (0 without one),
// or -1 when the file is no raw file.
int RAW_getinfo(int handle, DateRec* date, char* line, int size);
const RawField* RAW_get_field(int handle, int index);
int RAW_get_layout(int handle);
// Field index of a name (case ignored) counted from the first value after the location,
// or -1.
int RAW_field_index(int handle, const char* name);
// Reads data line `index` (0 the first after the header) and the value of `field` on it
// (a field name "name=value" token is found by name when the list names the field):
// x and y are the coordinates, kind is 1 for numbers and 3 for texts. 1 when read, 0
// beyond the last line, -1 for a line that does not read (reported).
int RAW_read(int handle, RawDataRec* data, int field, int index);
// Identifier and comment of the last line read ("" when none).
const char* RAW_get_id(int handle);
const char* RAW_get_comment(int handle);
// Decodes one value token into data: "-" missing, text, or "%f,%f" (both values); a
// ":comment" suffix is returned through comment (size bytes). 1 when a value was read.
int RAW_dec_line(const char* token, RawDataRec* data, char* comment, int size);
