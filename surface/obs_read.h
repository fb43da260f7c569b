// Files of reports as data feeds and services deliver them, read into the surface reports
// of one hour: WMO bulletin collections of METAR and SPECI reports, hourly files of dated
// reports, plain reports one a line, and station tables (CSV).
//
// Reading keeps every observation of the file; choosing then keeps one report per station
// for the hour asked for: the routine report nearest the hour within the hour before it and
// ten minutes after, a special report only where no routine one exists, a correction in
// place of the report it corrects, identical repeats once.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "files/date.h"
#include "surface/metar.h"

// What reading and choosing found in one file, for its summary line.
struct ObsStats {
  bool table = false;    // the file is a station table: its lines are rows
  long lines = 0;        // report lines (collections: reports; tables: rows)
  long reports = 0;      // observations decoded
  long nil = 0;          // NIL reports
  long skipped = 0;      // text that is not a report of this kind (other bulletins, SA lines)
  long duplicates = 0;   // identical repeats and superseded reports of the same time
  long corrections = 0;  // corrections that replaced a report
  long specials = 0;     // special reports kept where no routine one exists
  long stations = 0;     // stations with an observation in the file
  long chosen = 0;       // reports kept for the hour
  long not_in_db = 0;    // of those, stations neither in the database nor with a position
  long bad_groups = 0;   // groups not understood
  std::map<std::string, long> bad_names;  // and how often each was seen
};

// Reads every report of a collection, hourly file or list of reports (a file kind of
// FILE_type) into out. Reports of hourly files are dated by their date lines; the others
// carry only their day (secs MTR_NO_TIME), dated when an hour is chosen.
void OBS_read_reports(std::string_view text, ObsList* out, ObsStats* stats);

// The hour a file's observations are for when the caller does not say: the latest hour
// with at least half as many routine reports as the best hour. year and month (-9999 when
// not known) date the reports that carry only their day. Fills date (year, month, day,
// hour) and returns 1, or 0 when there are no observations with a time.
int OBS_file_hour(const ObsList& obs, int year, int month, DateRec* date);

// Keeps one report per station for the hour of date (year, month, day and hour; the
// minute is ignored) and returns them in the order of their stations' first reports.
std::vector<sfc_report> OBS_choose(const ObsList& obs, const DateRec& date, ObsStats* stats);

// Reads a file of reports, a station table or a frontal bulletin (form SFC_FORM_REPORTS,
// SFC_FORM_TABLE or SFC_FORM_BULLETIN) from path and keeps the reports of the hour it is
// read for into reports and that hour into date: the hour of the date the naming convention
// gave, else the date in the file's name, else the latest well-reported hour of the file (a
// bulletin: its valid time). Prints the file's summary line (name is the name the user gave).
// False after a message when nothing can be read. Registered with the surface files.
bool OBS_read_file(const char* name, const char* path, int form, std::vector<sfc_report>* reports, DateRec* date);

// The summary line of a file: "name: 18462 report lines, 5183 stations, 1987 reports for
// 12 UTC; ...".
std::string OBS_summary(const char* name, const DateRec& date, const ObsStats& stats);
