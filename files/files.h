// File naming conventions and file selection.
//
// One naming convention is active at a time: a template from the naming-convention file
// ("name_conv", looked up in file_path) turns a date and a few keys into a path. The same
// module finds the current or latest file, walks sequences of files over a span of hours,
// asks for the input file, opens files (standard streams, "|command" pipes, "~user"
// paths) and recognises file types by their magic. The file services themselves
// (FILE_open and the path questions) are in config/fileio.h.
//
// Output name buffers (char* name / result arguments) must hold FILE_NAME_MAX bytes; a
// null buffer is allowed wherever only the module state is wanted. Longer names are
// truncated to FILE_NAME_MAX-1 characters in the buffer (the module keeps them whole).
#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "config/fileio.h"
#include "files/date.h"

// Keys: 256 of them, indexed by a character, at most FILE_KEY_LEN-1 characters each.
constexpr int FILE_KEY_LEN = 30;
// Keys the program sets: the variable, level and forecast-time keys of grid names, and
// the domain text of the last domain decoded.
constexpr int FILE_KEY_VAR = 'v';
constexpr int FILE_KEY_LEVEL = 'l';
constexpr int FILE_KEY_TIME = 'f';
constexpr int FILE_KEY_DOMAIN = 'r';

// ---- conventions ----
// Selects a convention ("sfc_cvt", "sfc_grd_cdf", "@literal/%Y%m%d%h", "name:v=t:l=500").
// 1 when a convention (or an '@' template) was found; 0 for "none" (no template) or
// when the name itself had to become the template.
int FILE_set_name(const char* name);
// Makes the name for a date with the active template (sets file_date and late_off).
// 1 when a name resulted, 0 for a date without a year that used the last file name.
int FILE_set_date(const DateRec* date, char* name);
// The same with the header template; null date = the date of the last name made.
int FILE_hdr_set_date(const DateRec* date, char* name);
int FILE_set_key(int c, const char* text);
// Copies key c into buffer (FILE_KEY_LEN bytes); "" when unset. Returns buffer.
char* FILE_get_key(int c, char* buffer);
// The override record (from the hour resource): fields >= 0 replace those of the dates
// given, negative codes -(Q*100+P) round to a multiple of P and add Q; -9999 = none.
// A null date resets the record.
int FILE_set_time(const DateRec* date);
// Decodes an hour text (the "hour" resource) into the year, month, day, hour and minute of
// date (unset fields -9999); 0 for a null text, else 1.
int FILE_decode_hour(const char* text, DateRec* date);
// The resource conversion of the hour: decodes the text, makes it the override record
// and copies it into a DateRec destination when one is given. Registered for kind 12.
int FILE_conv_hour(const char* text, void* destination);
int FILE_get_time(DateRec* date);
void FILE_reset_time();
// Forgets the convention, the hour and the file sequence: the module as at start-up.
void FILE_reset_state();
void FILE_set_late_off(int seconds);
// The period of the active convention in seconds; 3600 when the template has none.
int FILE_get_late_off();
// The period, or 100000 when it is not positive (for stepping).
int FILE_get_offset();
void FILE_set_min_size(int bytes);
int FILE_get_min_size();
// "%d %s %s": late offset, template, header template ("-" when none).
char* FILE_get_name_conv(char* text);
int FILE_set_name_conv(const char* text);
void FILE_save_name_conv();
void FILE_restore_name_conv();
void FILE_set_def_hours(int hours);

// ---- input file and current file ----
// Establishes the input file at program start (positional names, current resource, batch
// or the interactive prompt); 1 when the file exists. May end the program (status 0 for
// "exit"/"list", 10 for a missing file in batch or after four failed answers).
int FILE_get_file(const char* prompt, char* name);
// 1 when the input was chosen as the clock's current or latest hour, 0 for a fixed hour or
// a named file.
int FILE_on_clock();
// Interprets a user's file specification against the active template. 1 when a name
// resulted (see FILE_get_filename), 0 for "none".
int FILE_set_file(const char* spec, char* name);
// The current or latest file ("la", "la#24", "#199801051200", "cu-3", "-1d6:00la").
// Returns the chosen time in seconds rounded down to the period.
int FILE_set_current(const char* spec, char* name);
int FILE_get_date(DateRec* date);
char* FILE_get_filename(char* buffer);
const std::string& FILE_filename();
void FILE_set_filename(const char* name);

// ---- sequences ----
int FILE_first(const DateRec* date);
// Next name of the sequence into name; 0 at the end.
int FILE_get_next(char* name);
int FILE_get_num_file();
int FILE_num_hour();
int FILE_get_skip();
int FILE_set_date_off(const DateRec* date, int seconds, char* name);
int FILE_next_file(char* name);
int FILE_prev_file(char* name);
int FILE_get_nsecs();
void FILE_set_nsecs(int seconds);
int FILE_get_num_hour();

// Lists the files that match the active template ("ls -x").
int FILE_list_file();

// ---- file types ----
// Kinds of text files recognised by their content, as data feeds deliver them.
constexpr int FILE_METAR_COLLECTION = 20;  // WMO bulletins of METAR / SPECI reports
constexpr int FILE_METAR_HOURLY = 21;      // "YYYY/MM/DD HH:MM" lines, each before a report
constexpr int FILE_METAR_LINES = 22;       // reports one a line
constexpr int FILE_STATION_TABLE = 23;     // comma-separated station observations with a header
constexpr int FILE_FRONT_BULLETIN = 24;    // coded surface frontal positions
// 11 "ZAVSFC", 12 "ZAVUPA", 5 "ZAVRAW", 6 "ZAVGRID", 8 "ZAVMETA", 9 "ZAVIMG" by their
// magic; else one of the kinds above by the first lines of text; else -1.
int FILE_type(const char* name);
// The kind of text from its first lines (one of the kinds above), or -1.
int FILE_text_kind(const char* head, std::size_t size);

// ---- lines of report files, as the kinds above are told apart and read ----
// The groups of a line into words, at most max of them: blanks, control characters and
// bytes beyond ASCII separate them.
void FILE_line_words(std::string_view line, std::size_t max, std::vector<std::string_view>* words);
// A WMO bulletin heading: "SAUS70 KWBC 011200" with an optional indicator ("RRA", "CCA",
// "COR"); the number after the four letters may be left out ("SAEW KAWN 011200").
bool FILE_bulletin_heading(const std::vector<std::string_view>& words);
// The start of a report: [METAR|SPECI] [COR] CCCC ddhhmmZ ..., or CCCC NIL.
bool FILE_report_start(const std::vector<std::string_view>& words);
// A date line of an hourly file, "2019/07/01 11:56", into date (year, month, day, hour,
// minute); false for anything else.
bool FILE_date_line(std::string_view line, DateRec* date);
// 1 write, 2 append, 3 use the existing file; 0 for an unknown mode at the prompt.
int FILE_overwrite(const char* name, int mode);
