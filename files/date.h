// Date record, seconds since 1970, labels and the display time zone.
//
// Every date of the package is a DateRec of eight signed 32-bit fields; -9999 in a field
// means "not given". Second counts are signed 32-bit seconds since 1970-01-01 00:00 UTC.
// Dates are UTC; the display time zone (DATE_set_TZ) only changes the label texts.
#pragma once
#include <cstdint>
#include <ctime>

struct DateRec {
  std::int32_t year;    // four-digit year
  std::int32_t month;   // 1-12
  std::int32_t day;     // 1-31
  std::int32_t julian;  // day of the year, 1-366
  std::int32_t wday;    // day of the week, 0 = Sunday
  std::int32_t hour;    // 0-23
  std::int32_t minute;  // 0-59
  std::int32_t second;  // 0-59
};

// Output buffers of the label functions must hold DATE_LABEL_LEN bytes; longer results
// (long model names or label formats) are truncated to DATE_LABEL_LEN-1 characters.
constexpr int DATE_LABEL_LEN = 256;
// DATE_make_seq writes 12 digits: the buffer must hold at least DATE_SEQ_LEN bytes.
constexpr int DATE_SEQ_LEN = 13;

void DATE_init(DateRec* date);

// Model names for the forecast labels come from the module that reads the model list,
// which registers its lookup here (null or "" for an unknown number). Without one the
// labels carry no model name.
using DATE_model_lookup = const char* (*)(int model);
void DATE_set_model_lookup(DATE_model_lookup lookup);
// The module as at start-up: UTC display, the default decoding windows, no model lookup.
void DATE_reset_state();

// ---- seconds and broken-down dates ----
// Normalises the record in place (year 98 -> 1998, 5 -> 2005, out-of-range fields reset)
// and returns the seconds since 1970 in 32-bit arithmetic (every fourth year is leap:
// valid for 1901-2099). A null record gives -9999.
int DATE_num_sec(DateRec* date);
int DATE_num_sec_tm(const struct tm* tm);
// Fill all eight fields from a second count; a null pointer means now. Return 1.
int DATE_get_gmdate(const int* seconds, DateRec* date);
int DATE_get_localdate(const int* seconds, DateRec* date);
int DATE_get_current_gmdate(DateRec* date);
// The current time in seconds, also stored into *t when t is not null.
int DATE_get_time(int* t);
// Broken-down UTC / local time of a second count (null = now) in module storage.
struct tm* DATE_get_gmtime(const int* seconds);
struct tm* DATE_get_localtime(const int* seconds);

// The two-digit-year rule: a year below 50 is 20xx, one below 200 is 19xx (1900 + a
// C library year count); other years, and negative (unset) ones, stay as they are.
int DATE_full_year(int year);

// ---- day numbers ----
// Day number with 1970-01-01 = 1 (every fourth year leap); the inverse walks the
// Gregorian calendar. DATE_days_date returns 1.
int DATE_date_days(int year, int month, int day);
int DATE_days_date(int days, int* year, int* month, int* day);
// Day of the year <-> month and day; 1, or 0 when the input is out of range.
int DATE_julian_monday(int year, int julian, int* month, int* day);
int DATE_monday_julian(int year, int month, int day, int* julian);
int DATE_is_leap(int year);
// Days of a month (1-12) of the year; 0 outside 1-12.
int DATE_month_days(int year, int month);

// ---- month words ----
const char* DATE_month(int month);        // "JAN" ... "DEC", "" outside 1-12
const char* DATE_month_lower(int month);  // "jan" ... "dec"
const char* DATE_month_long(int month);   // "January" ... "December"
const char* DATE_day_name(int wday);      // "SUN" ... "SAT", "" outside 0-6
int DATE_decode_month(const char* text);  // 1-12, or 0

// ---- sequence text YYYYMMDDHHMM ----
// Text of DATE_SEQ_LEN bytes. make: 0, or -1 for null arguments. decode: the number of
// fields read (0-5); the record is cleared first.
int DATE_make_seq(const DateRec* date, char* text);
int DATE_decode_seq(const char* text, DateRec* date);

// ---- labels (text of DATE_LABEL_LEN bytes; -1 when text or date is null) ----
// " 5 JAN 98", "12Z  5 JAN 98", "1230Z  5 JAN 98", "12 PM EST  5 JAN 98" ...
int DATE_make_label(const DateRec* date, char* text);
// Forecast label with the model's name looked up by number (through the registered
// lookup): "12 hour MOD valid 12Z MON  5 JAN 98". Returns 0.
int DATE_make_label_for_time(int time, int model, const DateRec* date, char* text);
int DATE_make_label_for_time_mod(int time, const char* model_name, const DateRec* date, char* text);
// The same for a field of max_len characters: a label that does not fit leaves out what
// loses least, first the model's name, then the day of the week, and only then is cut.
int DATE_make_label_for_time_len(int time, int model, const DateRec* date, char* text, int max_len);
// The grid-file variant: base time in seconds, or null when unknown. 0, or -1 without
// a base time.
int DATE_make_label_for(int time, int model, const int* seconds, char* text);
// "12Z MON  5 JAN 98": the valid time of a forecast code. Returns 0.
int DATE_make_label_valid_time(int time, const DateRec* date, char* text);
// Forecast-hour text ("12 hour", "1.5 day", "2 month", "") of an hour value; no_hour
// nonzero when the date has no hour. Returns 0.
int DATE_fhour_label(char* text, int hours, int no_hour);
// Copies format replacing %F %f %x %y %m %M %d %h %n. Returns 0.
int DATE_format_label(char* text, const char* format, int time, const char* extra,
                      const DateRec* date);
// Decodes a date label back into a record; returns the number of fields read (0 when
// no form matched). Day of the year and weekday are filled when a full date was read.
int DATE_decode_label(const char* text, DateRec* date);

// ---- display time zone ----
// "[+|-]NAME:offset_hours": '+' 12-hour clock, '-' 12-hour clock with UTC in brackets.
// A null or empty text restores UTC ("Z", offset 0, 24-hour clock). Returns 1, or 0 when
// the text cannot be read (the zone is then left unchanged).
int DATE_set_TZ(const char* text);
int DATE_get_tz_off();
const char* DATE_get_tz_str();

// ---- current time ----
// "YY MON DD  HH:MM:SSZ" into text (at least 32 bytes); returns text.
char* DATE_get_current_str(char* text);
// "DD-HH:MMZ" into text (at least 16 bytes); returns text.
char* DATE_get_simple_current_str(char* text);
// "Y/M/D HH:MM:SS\n" at the message level; 1 when printed.
int DATE_print(unsigned level, const DateRec* date);
int DATE_print_current(unsigned level);

// ---- decoding windows ----
// Window round the wanted time in minutes (defaults -15 and 10).
void DATE_set_range(int pre, int post);
// The wanted date whose hour and minute DATE_chk_range compares with (default 00:00).
void DATE_set_range_date(const DateRec* date);
// 1 when the report time hhmm lies in the window round the wanted time (nearest day).
int DATE_chk_range(int hhmm);

// Fills a module record (second 0; day of year and weekday computed when the date is
// complete) and returns it. The record is overwritten by the next call.
DateRec* DATE_to_struct(int year, int month, int day, int hour, int minute);
