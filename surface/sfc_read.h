// Surface data files: the in-memory report, the file information and the readers of the
// four file forms (the "ZAVSFC" text form, the old text form, the netCDF report and
// station forms).
#pragma once

#include <cstdint>
#include <vector>

#include "files/date.h"

struct StationRec;

// One station's observation, always in the package's surface units: F, knots, degrees,
// mb, inches of mercury (altimeter), statute miles, feet (cloud bases), inches
// (precipitation, snow), -9999 / -9999.0 when missing.
struct sfc_report {
  char id[11];
  char region[13];
  std::int32_t type;
  std::int32_t wmo;
  float lat;
  float lon;
  float elev;
  std::int32_t spare_time;  // filled by the netCDF station form only
  std::int32_t time;        // hhmm UTC
  float cld_hgt[5];
  char cld_cov[5];
  std::int32_t ncld;
  float vis;
  char wx[24];
  float slpr;
  float temp;
  float dewp;
  float wdir;
  float wspd;
  float wgust;
  float alt;
  std::int32_t ptype;
  float ptend;
  float prec3;
  float prec6;
  float prec12;
  float prec24;
  std::int32_t spare;
  char cld_tot;
  char lcld;
  char mcld;
  char hcld;
  float maxt;
  float mint;
  float maxt6;
  float mint6;
  float scover;
  float solar;
  float sst;
  float wave_per;
  float wave_hgt;
  char comment[100];
  std::int32_t flags;
};

struct sfc_info {
  char label[72];
  DateRec date;
  std::int32_t count;  // -9999 for text files
};

// File form codes.
constexpr int SFC_FORM_OLD_TEXT = 2;
constexpr int SFC_FORM_TEXT = 3;
constexpr int SFC_FORM_CDF_STATION = 11;
constexpr int SFC_FORM_CDF_REPORT = 12;
// Files as data feeds and services deliver them (read only): METAR and SPECI reports (a
// WMO bulletin collection, an hourly file or reports one a line), station tables (CSV),
// and a coded frontal bulletin, which holds no reports but dates the plot of its fronts.
// They are read whole at opening and give the reports of one hour: the hour of the date
// that the file naming convention gave, else the date in the file's name, else the
// latest well-reported hour of the file.
constexpr int SFC_FORM_REPORTS = 20;
constexpr int SFC_FORM_TABLE = 23;
constexpr int SFC_FORM_BULLETIN = 24;

// Form code of a file from its first character, or -1.
int SFC_chktype(const char* name);
// Opens a file (mode 0 read, 1 write, 2 append); *form 0 on entry is detected. Returns a
// handle or -1.
int SFC_open(const char* name, int mode, int* form);
// 0, 1 for a text file opened for writing, -1 for another form.
int SFC_getinfo(int handle, sfc_info* info);
// Reads report *index (0-based) into report; mode 0 full, 1 identifier only, 2 identifier,
// region, position, elevation, WMO number and type (netCDF forms). 0, or -1 at the end.
int SFC_read(int handle, sfc_report* report, int mode, int* index);
int SFC_rewind(int handle);
int SFC_close(int handle);
void SFC_initialize(sfc_report* report);
void SFC_check_valid(sfc_report* report);
void SFC_set_metric(int flag);
void SFC_set_miss_dash(int flag);
void SFC_set_print(int flag);

// The plot loop's one open surface file.
// 1 when the file was opened and its header read, else 0 after a message.
int SFC_open_file(const char* name);
// Reads the next report and places its station: -1 at the end, 1 when the station's
// priority is within the domain's, else 0 (also for a report that cannot be placed).
int SFC_read_report(sfc_report* report, StationRec* station);
void SFC_rewind_file();
void SFC_close_file();
// Closes any open file unread and forgets everything about it and the stations named so
// far (the registered reader and checks stay).
void SFC_reset_state();
// Information of the open file (date label, date, count).
const sfc_info* SFC_get_file_info();
// The form of the open file (0 when none is open).
int SFC_get_form();

// Files read whole at opening are read by a module above this one, which registers its
// reader: it keeps the reports of the hour the file is read for into reports and that hour
// into date, or says why not and returns false (name as the user gave it, path the file).
using SfcReportReader = bool (*)(const char* name, const char* path, int form, std::vector<sfc_report>* reports,
                                 DateRec* date);
void SFC_set_report_reader(SfcReportReader reader);
// The checks of the reports (gross limits, duplicates) sit above this module and register
// here. file_check is called as the plot loop opens a file (SFC_open_file), with the file
// at its start, and fills kept with the indexes of the reports the loop reads, in order;
// report_check is applied to each report the loop then reads. Without them every report
// is read as it stands.
using SfcFileCheck = void (*)(int handle, const sfc_info& info, std::vector<int>* kept);
using SfcReportCheck = void (*)(sfc_report* report);
void SFC_set_checks(SfcFileCheck file_check, SfcReportCheck report_check);
// Writes every report of the open file to a surface file of the "ZAVSFC" form (an hourly
// archive that reads back to the same values, to the resolution of that form). The old
// file is replaced only by a whole new one. Returns the number of reports written, or -1
// after a message.
int SFC_write_file(const char* name);
