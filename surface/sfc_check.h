// Checks of the reports of one surface file before anything is analysed: gross limits per
// variable, from a table users can edit, and duplicate or conflicting reports of one station.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct sfc_report;
struct sfc_info;

// Name of the limits table looked for on the data path when the resource does not name one.
constexpr const char* SFC_LIMITS_TABLE = "stacont.lim";

// What the limits dropped in one file: the count and, per variable of the table (in table
// order), how many values.
struct SfcLimitStats {
  long dropped = 0;
  std::vector<std::pair<std::string, long>> fields;
};

// Reads a limits table (a name, looked for like the package's other data files); "none" or
// "off" switches the limits off. Returns the number of limits read, 0 when switched off, or
// -1 after a message (the limits are then off).
int SFC_limits_load(const char* name);
// Loads the table the "limit_file" resource names (the default table when it names none),
// unless that table is loaded already.
void SFC_limits_setup();
// 1 while limits are in force.
int SFC_limits_on();
// Sets every value of report outside its limits missing, leaving its other values. With
// stats the dropped values are counted there and each is listed (station, variable, value,
// limit). Returns the number of values dropped.
int SFC_limits_apply(sfc_report* report, SfcLimitStats* stats);
// "Gross limits: 3 values dropped: temp 1, slpr 2".
std::string SFC_limits_summary(const SfcLimitStats& stats);

// One report as duplicate resolution sees it: its station, place, time and the values that
// tell whether two identifiers at one place report the same thing.
struct SfcDupEntry {
  char id[11] = "";
  float lat = -9999.0f;  // where the report stands (-9999: not placed)
  float lon = -9999.0f;
  int time = -9999;  // hhmm as reported
  int minutes = 0;    // from the file's hour, -720..720 (0 when the report has no time)
  int values = 0;   // how many of the values below are present
  float temp = -9999.0f, dewp = -9999.0f, slpr = -9999.0f, alt = -9999.0f, wspd = -9999.0f;
};
// The entry of a report placed at lat, lon in a file of the hour hour:minute.
SfcDupEntry SFC_dup_entry(const sfc_report& report, float lat, float lon, int hour, int minute);

struct SfcDupStats {
  long reports = 0;   // reports involved in a conflict
  long stations = 0;  // stations (or places) they belong to
  long dropped = 0;   // reports set aside
};

// Minutes from the file's hour (hour of day, minute) to a report time hhmm, -720..720; 0 when
// the time is missing.
int SFC_minutes_from_hour(int hhmm, int hour, int minute);
// Decides which reports of a file stay: keep[i] is 1 for entry i kept, 0 for one set aside.
std::vector<char> SFC_resolve_duplicates(const std::vector<SfcDupEntry>& entries, SfcDupStats* stats);
// "Duplicates: 5 reports of 2 stations resolved by time, 3 set aside".
std::string SFC_duplicates_summary(const SfcDupStats& stats);

// The checks as the surface files call them (registered with SFC_set_checks): every report
// of the file at handle held against the limits and the duplicates resolved, the indexes of
// the reports that stay into kept, one line for each check that found something; and the
// limits applied again, silently, to a report as the plot loop reads it.
void SFC_check_file(int handle, const sfc_info& info, std::vector<int>* kept);
void SFC_check_report(sfc_report* report);
