// Unit conversion by a units table read at run time, and labels of the form "name (units)".
//
// A unit text is an optional scale and a unit name: "100 ft" (scale 100), "10^-5 1/s"
// (scale 10 to the power -5), "-K" (scale -1) or a bare name. "_" and blank are the same
// character in unit texts, and comparisons ignore case.
#pragma once
#include <cstddef>
#include <string>

// Converts value from the units `from` to the units `to` (see the table "units.lup" in the
// file_path directory). -9999.0 passes through; an empty `to` returns the value unchanged.
// Returns 0 when the table is needed and cannot be opened.
float UNIT_cvt(const char* from, const char* to, float value);

// Forgets the remembered conversion pair, so the next conversion reads the table again
// (after the table or the file_path resource has changed).
void UNIT_reset();

// Splits "name (units)" into the trimmed name and the units; either may come back empty.
// Returns the number of parts found (0..2).
int UNIT_parse(const char* label, std::string& name, std::string& units);
int UNIT_parse(const char* label, char* name, std::size_t name_size, char* units,
               std::size_t units_size);
template <std::size_t N, std::size_t M>
int UNIT_parse(const char* label, char (&name)[N], char (&units)[M]) {
  return UNIT_parse(label, name, N, units, M);
}

// Rewrites the label in place as "name (units)" with the new units (truncated to the buffer).
void UNIT_change(std::string& label, const char* units);
void UNIT_change(char* label, std::size_t size, const char* units);
template <std::size_t N>
void UNIT_change(char (&label)[N], const char* units) {
  UNIT_change(label, N, units);
}

// Builds the label "%.0e %s%s" of the scale of `units` times factor, the bare unit name and
// the suffix (for labels of scaled fields). Returns 1.
int UNIT_scale(const char* units, const char* suffix, std::string& label, float factor);
int UNIT_scale(const char* units, const char* suffix, char* label, std::size_t size, float factor);
template <std::size_t N>
int UNIT_scale(const char* units, const char* suffix, char (&label)[N], float factor) {
  return UNIT_scale(units, suffix, label, N, factor);
}
