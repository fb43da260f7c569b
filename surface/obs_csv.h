// Station observations in comma-separated tables, as station networks and aviation weather
// services hand them out: a header line of column names (lines of text before it are
// skipped), then one observation a row. Columns are found by their names, in any case and
// whatever their order and punctuation ("station_id", "stationId" and "Station ID" are one
// name); unknown columns are ignored. The unit of a value comes from its column's name
// ("tmpf" F, "temp_c" C, a temperature without a unit C); an altimeter or sea-level
// pressure is taken as inches of mercury, hPa, kPa or Pa by its size. Fields are separated
// by commas (semicolons or tabs when the header has none), may be quoted ("a,b", doubled
// quotes inside), and lines end in LF or CR LF.
//
// Missing values: an empty field, "M", "NaN", "null", "None", "NA", "N/A", "-", "///",
// -999, and -9999 or below. A trace of precipitation or snow ("T") is stored as 0.001 in.
// Times: "YYYY-MM-DD HH:MM[:SS]" (also with 'T', '/' between the date's parts, a final
// "Z" / "UTC" / "GMT" or a "+hh:mm" offset), "YYYYMMDDHHMM[SS]", or seconds since 1970.
// The one-hour precipitation has no place in the surface record and is not kept.
//
// When a row gives the relative humidity and the temperature but no dew point, the dew point
// is derived from them. A raw report column (METAR text) is decoded to fill what the other
// columns leave missing; it also tells SPECI and COR when the table has no report type.
#pragma once

#include <string_view>
#include <vector>

#include "surface/metar.h"

// Counts of one table. rows = used + bad_rows + long_rows.
struct CsvStats {
  long rows = 0;        // data rows after the header (blank lines and repeated headers not counted)
  long used = 0;        // rows that gave an observation (a station and a time)
  long bad_rows = 0;    // rows without a station or a readable time
  long long_rows = 0;   // rows over the length limit or with an unclosed quote, skipped
  long raw = 0;         // used rows whose report text was decoded to fill what the columns lack
  long bad_values = 0;  // fields of known columns that were neither a value nor a missing marker
};

// 1 when the first lines of text hold a header with a station column and a time column.
int CSV_is_table(std::string_view head);

// Reads a table (the whole file's text); appends an observation for every row with a
// station and a time to out (kind MTR_ROUTINE unless the table or the report text says
// SPECI; secs set from the row's date and time; position from the row when it has one, else
// missing; order the number of the row after the header, from 1). Returns 1, or 0 after a
// warning naming the columns it looked for when the header has no station or no time
// column. stats may be null; when given it is overwritten. out may be null: rows are then
// only counted.
int CSV_read(std::string_view text, const char* name, ObsList* out, CsvStats* stats);
