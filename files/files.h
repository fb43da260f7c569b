// File naming conventions, file selection and file services.
//
// One naming convention is active at a time: a template from the naming-convention file
// ("name_conv", looked up in file_path) turns a date and a few keys into a path. The same
// module finds the current or latest file, walks sequences of files over a span of hours,
// asks for the input file, opens files (standard streams, "|command" pipes, "~user"
// paths) and recognises file types by their magic.
//
// Output name buffers (char* name / result arguments) must hold FILE_NAME_MAX bytes; a
// null buffer is allowed wherever only the module state is wanted. Longer names are
// truncated to FILE_NAME_MAX-1 characters in the buffer (the module keeps them whole).
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "files/date.h"

constexpr int FILE_NAME_MAX = 1024;
// Keys: 256 of them, indexed by a character, at most FILE_KEY_LEN-1 characters each.
constexpr int FILE_KEY_LEN = 30;

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
int FILE_get_time(DateRec* date);
void FILE_reset_time();
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

// ---- file services ----
// Opens a file, a standard stream ("-", "std", "stdn", "stdin", "stdout") or a
// "|command" pipe; "~" and "~user" are expanded and missing directories are made for
// modes 'w' and 'a'. Null when it cannot be opened.
std::FILE* FILE_open(const char* name, const char* mode);
// Closes a stream from FILE_open (pipes with pclose, standard streams only flushed).
int FILE_close(std::FILE* f);
// 11 "ZAVSFC", 12 "ZAVUPA", 5 "ZAVRAW", 6 "ZAVGRID", 8 "ZAVMETA", 9 "ZAVIMG", else -1.
int FILE_type(const char* name);
// 1 write, 2 append, 3 use the existing file; 0 for an unknown mode at the prompt.
int FILE_overwrite(const char* name, int mode);
int FILE_exist(const char* name);
// Size in bytes, -1 when the file does not exist.
long FILE_size(const char* name);
// Modification time in seconds, 0 when the file does not exist.
int FILE_modtime(const char* name);
int FILE_delete(const char* name);
// Makes every missing directory of path (mode 0755), leaving out the last `skip`
// components (skip 1 for a file name). 1 on success.
int FILE_make_dir(const char* path, int skip);
int FILE_is_dir(const char* name);
int FILE_is_file(const char* name);
int FILE_is_fifo(const char* name);
int FILE_is_device(const char* name);
int FILE_is_stdio(const char* name);
// 1 for a name beginning with '/', '.' or '~'.
int FILE_fullpath(const char* name);
char* FILE_add_path(const char* directory, const char* name, char* result);
std::string FILE_add_path(const std::string& directory, const std::string& name);
// Appends '/' unless the path is empty or already ends with one.
std::string FILE_add_path_delim(const std::string& path);
// Package data files (variable, units, station, region files...): a name with a directory
// part is used as given; otherwise it is looked for in the "file_path" directory (the
// working directory when file_path is unset or "none") and then in the installed data
// directory. FILE_data_candidates lists those places in order; FILE_open_data opens the
// first regular file among them (read-only) and reports its path in *used (the first
// candidate when none opens). Close with FILE_close.
std::vector<std::string> FILE_data_candidates(const std::string& name);
std::FILE* FILE_open_data(const std::string& name, std::string* used);
char* FILE_add_user_path(const char* name, char* result);
std::string FILE_add_user_path(const std::string& name);
