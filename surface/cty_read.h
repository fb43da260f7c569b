// Station database file ("city database"): the line format, the file layer and
// the conversions between WMO numbers and pseudo call signs.
//
// One station per line, blank-separated:
//   name state country identifier priority latitude longitude elevation wmo extra
// e.g. "Denver_Intl CO US KDEN 1 39.8617 -104.6732 1656 72565 0".
#pragma once
#include <cstdint>
#include <string_view>

// Default database file name; the resource "city_file" names another one ("none"
// disables the database).
constexpr const char* CTY_DEFAULT_FILE = "sao.cty";

// WMO number of a station that has none.
constexpr std::int32_t CTY_NO_WMO = 99999;

// One line of the database.
struct CityRec {
  char name[21];       // no blanks ('_' instead)
  char state[3];       // state or province
  char country[3];     // "B_" marks a buoy
  char id[10];         // call sign; a '-' as second character means none
  std::int32_t prior;  // plot priority, 1 = most important
  char star1;          // 1 when the priority was written with a leading '*'
  char star2;          // 1 when the priority was written with a trailing '*'
  float lat;           // degrees north
  float lon;           // degrees east
  float elev;          // metres, -9999 when missing (above 9000 in the file)
  std::int32_t wmo;    // block and station number, 99999 when none
  std::int32_t extra;  // kept, not used
};

// True when the record's call sign is present (its second character is not '-').
bool CTY_has_call(const CityRec* rec);
// True when the record describes a buoy (country "B_").
bool CTY_is_buoy(const CityRec* rec);
// True when the record's latitude and longitude are finite and in range
// (-90..90, -360..360).
bool CTY_position_usable(const CityRec* rec);

// Converts a whole token (at most 63 characters) by the C library's decimal rules;
// false when anything is left over. Infinities and NaN convert: callers that need
// finite values check.
bool CTY_parse_number(std::string_view token, double* value);

// File layer: one database file open at a time; handles are the stream's descriptor.
// CTY_open_file resolves the name: null, empty or "sao.cty" take the resource
// "city_file" when it is set; "none" returns -1 silently; the name is looked up in
// the directory of the resource "file_path", then in the installed data directory.
// A file that cannot be opened prints "CTY_open_file: Database file not found: %s\n".
int CTY_open_file(const char* name);
// Opens exactly the path given; the handle, or -1.
int CTY_open(const char* path);
// Reads the next station line into rec; the number of fields read (lines that are
// empty or begin with '#' are skipped), or -1 at the end of the file.
int CTY_read(int handle, CityRec* rec);
int CTY_rewind(int handle);
int CTY_close(int handle);
// The path the database opened by handle was found under ("" when it is not open).
const char* CTY_open_path(int handle);
// Closes the database opened by handle and frees the line buffer.
void CTY_read_reset_state();

// Parses one database line; the number of leading fields that converted (0..10).
// Fields beyond the first one that fails are left cleared.
int CTY_parse_line(const char* line, int length, CityRec* rec);

// Scans the database file for a station whose call sign, name or "%05d" WMO number
// equals id (ignoring case). 1 found (rec filled), 0 not found, -1 no file.
int CTY_get(const char* file, const char* id, CityRec* rec);
// The position of that station; 1 found, 0 not found or its position unusable
// (see CTY_position_usable), -1 no file.
int CTY_get_loc(const char* file, const char* id, float* lat, float* lon);

// WMO number -> identifier: a country prefix and the last three digits (last four
// for the one-letter prefixes), or "%05d" outside every known range. id must hold
// CTY_ID_SIZE bytes; returns id.
constexpr int CTY_ID_SIZE = 12;
char* wmo_to_id(int wmo, char* id);
// Identifier -> WMO number: five digits, or a prefix made by wmo_to_id followed by
// its digits. 0 with *wmo set, or -1 with *wmo = 99999 when id does not convert.
int id_to_wmo(const char* id, int* wmo);
