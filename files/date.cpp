// Date record, seconds since 1970, labels and the display time zone.
#include "files/date.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"

namespace {


const char* const month_up[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                  "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const month_low[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                   "jul", "aug", "sep", "oct", "nov", "dec"};
const char* const month_full[12] = {"January", "February", "March",     "April",   "May",      "June",
                                    "July",    "August",   "September", "October", "November", "December"};
const char* const day_name[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
const int cum_days[2][13] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
                             {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// The display time zone, the decoding windows and the records handed back by pointer:
// what the dates module keeps between calls.
struct DateState {
  // Names of models, registered by the module that reads the model list.
  DATE_model_lookup model_lookup = nullptr;

  // Display time zone.
  std::string tz_str = "Z";
  int tz_off = 0;
  int tz_pm = 0;

  // Decoding windows (minutes) and the wanted time of day (seconds).
  int range_pre = -15;
  int range_post = 10;
  int range_want = 0;

  DateRec to_struct_rec{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  struct tm tm_rec {};
};
DateState st;

__attribute__((format(printf, 1, 2))) std::string fmt(const char* format, ...) {
  char buf[DATE_LABEL_LEN];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

int put_text(char* text, const std::string& s) {
  std::snprintf(text, DATE_LABEL_LEN, "%s", s.c_str());
  return 0;
}

// Appends piece; a blank at the end of s and one at the start of piece become one, and
// a label never starts with a blank.
void append_joined(std::string& s, const std::string& piece) {
  if ((s.empty() || s.back() == ' ') && !piece.empty() && piece.front() == ' ')
    s.append(piece, 1, std::string::npos);
  else
    s += piece;
}

// An unset year counts as 1980, the start of the package's time.
int norm_year(int year) { return year < 0 ? 1980 : DATE_full_year(year); }

// Normalisation shared by the second count and the labels. Missing (negative) clock
// fields count as the start of the day, so a date without hour means its 00 UTC.
void normalise(DateRec& d) {
  d.year = norm_year(d.year);
  if (d.month < 1 || d.month > 12) d.month = 1;
  if (d.day < 1 || d.day > 31) d.day = 1;
  if (d.hour < 0 || d.hour > 23) d.hour = 0;
  if (d.minute < 0 || d.minute > 59) d.minute = 0;
  if (d.second < 0 || d.second > 59) d.second = 0;
}

// Floor division for the leap-day count of years before 1970.
long long floor_div(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Leap days between 1970-01-01 and the start of the month (every fourth year leap).
long long leap_days(int year, int month) {
  long long l = floor_div(year - 1969, 4);
  if (year % 4 == 0 && month > 2) ++l;
  return l;
}

// Seconds of a normalised record with 64-bit intermediates.
long long seconds_of(const DateRec& d) {
  return d.second + 60LL * d.minute + 3600LL * d.hour + 86400LL * (d.day - 1) +
         86400LL * cum_days[0][d.month - 1] + 31536000LL * (d.year - 1970) + 86400LL * leap_days(d.year, d.month);
}

// Wraps to 32 bits as the second counts of the package's files do.
int wrap32(long long v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<unsigned long long>(v))); }

void fill_from_tm(const struct tm& t, DateRec* date) {
  date->year = t.tm_year + 1900;
  date->month = t.tm_mon + 1;
  date->day = t.tm_mday;
  date->julian = t.tm_yday + 1;
  date->wday = t.tm_wday;
  date->hour = t.tm_hour;
  date->minute = t.tm_min;
  date->second = t.tm_sec;
}

DateRec gm_of(long long seconds) {
  DateRec d;
  DATE_init(&d);
  time_t t = static_cast<time_t>(seconds);
  struct tm tmv {};
  if (gmtime_r(&t, &tmv)) fill_from_tm(tmv, &d);
  return d;
}

int weekday(int year, int month, int day) {
  // 1970-01-01 was a Thursday (4).
  long long n = DATE_date_days(year, month, day) - 1;
  long long w = (n + 4) % 7;
  return static_cast<int>(w < 0 ? w + 7 : w);
}

// Hour text of the display clock. minute < 0: hour only. pad: two-digit 24-hour hour.
std::string hour_text(int hour, int minute, int utc_hour, int utc_minute, bool pad) {
  const char* z = st.tz_str.c_str();
  std::string s;
  if (st.tz_pm == 0) {
    if (minute >= 0)
      s = fmt("%2.2d%2.2d%s", hour, minute, z);
    else
      s = pad ? fmt("%2.2d%s", hour, z) : fmt("%d%s", hour, z);
    return s;
  }
  if (minute >= 0) {
    if (hour > 12)
      s = fmt("%d:%2.2d PM%s", hour - 12, minute, z);
    else if (hour == 12)
      s = fmt("12:%2.2d PM%s", minute, z);
    else if (hour == 0)
      s = fmt("12:%2.2d AM%s", minute, z);
    else
      s = fmt("%d:%2.2d AM%s", hour, minute, z);
    if (st.tz_pm == -1) s += fmt(" [%2.2d%2.2dZ]", utc_hour, utc_minute);
  } else {
    if (hour > 12)
      s = fmt("%d PM%s", hour - 12, z);
    else if (hour == 12)
      s = fmt("12 PM%s", z);
    else if (hour == 0)
      s = fmt("12 AM%s", z);
    else
      s = fmt("%d AM%s", hour, z);
    if (st.tz_pm == -1) s += fmt(" [%2.2dZ]", utc_hour);
  }
  return s;
}

// Forecast time code: kind, thousands part, hours part and the shown hours.
struct FcTime {
  int kind = 0;
  int a = 0;
  int b = 0;
  int shown = MISSING_INT;
};

FcTime decode_time(int time) {
  FcTime f;
  if (time == MISSING_INT) return f;
  f.kind = time >= 1000000 ? time / 1000000 : 0;
  f.a = (time % 1000000) / 1000;
  f.b = time % 1000;
  if (f.a == 800 || f.a == 900) f.a = 0;
  if (f.b == 800 || f.b == 900) f.b = 0;
  f.shown = f.kind < 6 ? f.b : f.a;
  return f;
}

std::string fhour(int hours, bool no_hour) {
  char buf[DATE_LABEL_LEN];
  DATE_fhour_label(buf, hours, no_hour ? 1 : 0);
  return buf;
}

const char* model_name(int model) {
  const char* name = st.model_lookup != nullptr ? st.model_lookup(model) : nullptr;
  return (name && *name) ? name : nullptr;
}

int year2(int year) { return norm_year(year) % 100; }

}  // namespace

void DATE_set_model_lookup(DATE_model_lookup lookup) { st.model_lookup = lookup; }
void DATE_reset_state() { st = DateState{}; }

int DATE_full_year(int year) {
  if (year < 0) return year;
  if (year < 50) return year + 2000;
  if (year < 200) return year + 1900;
  return year;
}

void DATE_init(DateRec* date) {
  if (date) *date = DateRec{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
}

int DATE_num_sec(DateRec* date) {
  if (!date) return MISSING_INT;
  normalise(*date);
  return wrap32(seconds_of(*date));
}

int DATE_num_sec_tm(const struct tm* tm) {
  if (!tm) return MISSING_INT;
  DateRec d{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_yday + 1, tm->tm_wday,
            tm->tm_hour,        tm->tm_min,     tm->tm_sec};
  return DATE_num_sec(&d);
}

int DATE_get_gmdate(const int* seconds, DateRec* date) {
  if (!date) return 0;
  *date = gm_of(seconds ? *seconds : static_cast<long long>(time(nullptr)));
  return 1;
}

int DATE_get_localdate(const int* seconds, DateRec* date) {
  if (!date) return 0;
  DATE_init(date);
  time_t t = seconds ? static_cast<time_t>(*seconds) : time(nullptr);
  struct tm tmv {};
  if (localtime_r(&t, &tmv)) fill_from_tm(tmv, date);
  return 1;
}

int DATE_get_current_gmdate(DateRec* date) { return DATE_get_gmdate(nullptr, date); }

int DATE_get_time(int* t) {
  int now = wrap32(static_cast<long long>(time(nullptr)));
  if (t) *t = now;
  return now;
}

struct tm* DATE_get_gmtime(const int* seconds) {
  time_t t = seconds ? static_cast<time_t>(*seconds) : time(nullptr);
  if (!gmtime_r(&t, &st.tm_rec)) st.tm_rec = {};
  return &st.tm_rec;
}

struct tm* DATE_get_localtime(const int* seconds) {
  time_t t = seconds ? static_cast<time_t>(*seconds) : time(nullptr);
  if (!localtime_r(&t, &st.tm_rec)) st.tm_rec = {};
  return &st.tm_rec;
}

int DATE_date_days(int year, int month, int day) {
  year = norm_year(year);
  if (month < 1 || month > 12) month = 1;
  long long n = 365LL * (year - 1970) + leap_days(year, month) + cum_days[0][month - 1] + day;
  return static_cast<int>(n);
}

int DATE_days_date(int days, int* year, int* month, int* day) {
  int y = 1970;
  long long n = days;  // 1 = 1970-01-01
  while (n < 1) {
    --y;
    n += DATE_is_leap(y) ? 366 : 365;
  }
  while (n > (DATE_is_leap(y) ? 366 : 365)) {
    n -= DATE_is_leap(y) ? 366 : 365;
    ++y;
  }
  const int* cum = cum_days[DATE_is_leap(y)];
  int m = 1;
  while (m < 12 && n > cum[m]) ++m;
  if (year) *year = y;
  if (month) *month = m;
  if (day) *day = static_cast<int>(n - cum[m - 1]);
  return 1;
}

int DATE_julian_monday(int year, int julian, int* month, int* day) {
  const int* cum = cum_days[DATE_is_leap(year)];
  if (julian < 1 || julian > cum[12]) return 0;
  int m = 1;
  while (m < 12 && julian > cum[m]) ++m;
  if (month) *month = m;
  if (day) *day = julian - cum[m - 1];
  return 1;
}

int DATE_monday_julian(int year, int month, int day, int* julian) {
  if (month < 1 || month > 12 || day < 1 || day > 31) return 0;
  if (julian) *julian = cum_days[DATE_is_leap(year)][month - 1] + day;
  return 1;
}

int DATE_is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 1 : 0; }

int DATE_month_days(int year, int month) {
  if (month < 1 || month > 12) return 0;
  const int* cum = cum_days[DATE_is_leap(year)];
  return cum[month] - cum[month - 1];
}

const char* DATE_month(int month) { return month >= 1 && month <= 12 ? month_up[month - 1] : ""; }
const char* DATE_month_lower(int month) { return month >= 1 && month <= 12 ? month_low[month - 1] : ""; }
const char* DATE_month_long(int month) { return month >= 1 && month <= 12 ? month_full[month - 1] : ""; }
const char* DATE_day_name(int wday) { return wday >= 0 && wday <= 6 ? day_name[wday] : ""; }

int DATE_decode_month(const char* text) {
  if (!text || !text[0]) return 0;
  const char c = text[0];
  const bool upper = c >= 'A' && c <= 'Z';
  if (!upper && !(c >= 'a' && c <= 'z')) return 0;
  // Letters compared in the case of the first letter.
  auto is = [upper](char t, char want) { return t == (upper ? want : static_cast<char>(want - 'A' + 'a')); };
  if (is(c, 'F')) return 2;
  if (is(c, 'S')) return 9;
  if (is(c, 'O')) return 10;
  if (is(c, 'N')) return 11;
  if (is(c, 'D')) return 12;
  const char c2 = text[1];
  const char c3 = c2 ? text[2] : '\0';
  if (is(c, 'J')) {
    if (is(c2, 'A')) return 1;
    if (is(c3, 'N')) return 6;
    if (is(c3, 'L')) return 7;
    return 0;
  }
  if (is(c, 'M')) {
    if (is(c3, 'R')) return 3;
    if (is(c3, 'Y')) return 5;
    return 0;
  }
  if (is(c, 'A')) {
    if (is(c3, 'R')) return 4;
    if (is(c3, 'G')) return 8;
    return 0;
  }
  return 0;
}

int DATE_make_seq(const DateRec* date, char* text) {
  if (!date || !text) return -1;
  int y = date->year < 0 ? 1980 : date->year;
  int m = date->month < 1 || date->month > 12 ? 1 : date->month;
  int d = date->day > 31 || date->day < 1 ? 1 : date->day;
  int h = date->hour > 23 || date->hour < 0 ? 0 : date->hour;
  int mi = date->minute > 59 || date->minute < 0 ? 0 : date->minute;
  if (y > 9999) y = 9999;
  const std::string seq = fmt("%4.4d%2.2d%2.2d%2.2d%2.2d", y, m, d, h, mi);
  std::snprintf(text, DATE_SEQ_LEN, "%s", seq.c_str());
  return 0;
}

int DATE_decode_seq(const char* text, DateRec* date) {
  if (!date) return 0;
  DATE_init(date);
  if (!text) return 0;
  int n = std::sscanf(text, "%4d%2d%2d%2d%2d", &date->year, &date->month, &date->day, &date->hour, &date->minute);
  if (n < 0) n = 0;
  if (n >= 3) {
    DATE_monday_julian(date->year, date->month, date->day, &date->julian);
    if (date->month >= 1 && date->month <= 12 && date->day >= 1 && date->day <= 31)
      date->wday = weekday(date->year, date->month, date->day);
  }
  return n;
}

int DATE_make_label(const DateRec* date, char* text) {
  if (!date || !text) return -1;
  DateRec d = *date;
  if (d.month == MISSING_INT) return put_text(text, fmt("%2.2d", year2(d.year)));
  if (d.month < 1 || d.month > 12) d.month = 1;
  if (d.day == MISSING_INT) return put_text(text, fmt("%3s %2.2d", DATE_month(d.month), year2(d.year)));
  if (d.day < 1 || d.day > 31) d.day = 1;
  if (d.hour == MISSING_INT) return put_text(text, fmt("%2d %3s %2.2d", d.day, DATE_month(d.month), year2(d.year)));

  const bool has_minute = d.minute != MISSING_INT;
  DateRec utc = d;
  normalise(utc);
  DateRec shown = utc;
  if (st.tz_off != 0) shown = gm_of(seconds_of(utc) + st.tz_off);
  std::string h = hour_text(shown.hour, has_minute ? shown.minute : -1, utc.hour, utc.minute, true);
  return put_text(text, fmt("%s %2d %3s %2.2d", h.c_str(), shown.day, DATE_month(shown.month), shown.year % 100));
}

int DATE_fhour_label(char* text, int hours, int no_hour) {
  if (!text) return -1;
  std::string s;
  if (hours >= 901) {
    s = fmt("%d month", hours - 900);
  } else if (hours >= 801 && hours <= 900) {
    s = fmt("%d day", hours - 800);
  } else if (no_hour && hours == 12) {
    s = "0.5 day";
  } else if (no_hour && hours == 24) {
    s = "1 day";
  } else if (no_hour && hours == 36) {
    s = "1.5 day";
  } else if (no_hour && hours == 48) {
    s = "2 day";
  } else if (no_hour && hours == 60) {
    s = "2.5 day";
  } else if (no_hour && hours > 60 && hours % 24 == 0) {
    s = fmt("%d day", hours / 24);
  } else if (no_hour && hours > 60 && hours % 24 == 12) {
    s = fmt("%d.5 day", hours / 24);
  } else if (hours != 0 && hours != MISSING_INT) {
    s = fmt("%d hour", hours);
  }
  return put_text(text, s);
}

int DATE_make_label_for_time(int time, int model, const DateRec* date, char* text) {
  return DATE_make_label_for_time_mod(time, model_name(model), date, text);
}

int DATE_make_label_for_time_len(int time, int model, const DateRec* date, char* text, int max_len) {
  if (!date || !text) return -1;
  char label[DATE_LABEL_LEN];
  int r = DATE_make_label_for_time(time, model, date, label);
  if (static_cast<int>(std::strlen(label)) > max_len) r = DATE_make_label_for_time_mod(time, nullptr, date, label);
  if (static_cast<int>(std::strlen(label)) > max_len) {
    // The weekday, " SAT", is the last word but three of the valid time.
    std::string s = label;
    for (const char* day : {" SUN ", " MON ", " TUE ", " WED ", " THU ", " FRI ", " SAT "}) {
      const std::size_t at = s.find(day);
      if (at != std::string::npos) {
        s.erase(at, 4);
        break;
      }
    }
    copy_bounded(label, sizeof label, s);
  }
  copy_bounded(text, static_cast<std::size_t>(std::max(max_len, 0)) + 1, label);
  return r;
}

int DATE_make_label_for_time_mod(int time, const char* model_name_text, const DateRec* date, char* text) {
  if (!date || !text) return -1;
  const bool has_model = model_name_text && *model_name_text;
  const FcTime f = decode_time(time);
  const bool no_hour = date->hour == MISSING_INT;

  std::string s = fhour(f.shown, no_hour);
  if (f.shown != 0 && f.shown != MISSING_INT) s += ' ';
  if (has_model) s += model_name_text;

  DateRec d = *date;
  if (d.hour >= 24) d.hour = 0;
  if (d.day < 1 || d.day > 31) d.day = 1;
  if (d.month < 1 || d.month > 12) d.month = 1;
  if (d.year < 0) d.year = 1980;

  if (f.kind == 0 && (f.shown == 0 || f.shown == MISSING_INT)) {
    append_joined(s, has_model ? " analysis for " : "Analysis for ");
    char label[DATE_LABEL_LEN];
    DATE_make_label(&d, label);
    s += label;
    return put_text(text, s);
  }
  const bool plain_valid = f.a < 1 || f.b != 0;
  if (plain_valid)
    append_joined(s, " valid");
  else
    append_joined(s, has_model ? " analysis valid" : "Analysis valid");

  DateRec utc = d;
  normalise(utc);
  const long long base = seconds_of(utc) + 3600LL * f.b;
  const DateRec v_utc = gm_of(base);
  const DateRec v = no_hour ? v_utc : gm_of(base + st.tz_off);
  if (!no_hour) {
    std::string h = hour_text(v.hour, -1, v_utc.hour, v_utc.minute, false);
    if (plain_valid)
      s += fmt(" %s %3s %2d %3s %2.2d", h.c_str(), DATE_day_name(v.wday), v.day, DATE_month(v.month), v.year % 100);
    else
      s += fmt(" %s %2d %3s %2.2d", h.c_str(), v.day, DATE_month(v.month), v.year % 100);
  } else {
    if (plain_valid)
      s += fmt(" %3s %2d %3s %2d", DATE_day_name(v.wday), v.day, DATE_month(v.month), v.year % 100);
    else
      s += fmt(" %2d %3s %2d", v.day, DATE_month(v.month), v.year % 100);
  }
  return put_text(text, s);
}

int DATE_make_label_for(int time, int model, const int* seconds, char* text) {
  if (!text) return -1;
  const FcTime f = decode_time(time);
  const char* name = model_name(model);
  std::string s = fhour(f.shown, false);
  if (f.shown != 0 && f.shown != MISSING_INT) s += ' ';
  if (name) s += name;
  if (!seconds) {
    if (f.shown == 0) append_joined(s, " analysis");
    while (!s.empty() && s.back() == ' ') s.pop_back();
    put_text(text, s);
    return -1;
  }
  const long long base = static_cast<long long>(*seconds) + 3600LL * f.b;
  const DateRec v_utc = gm_of(base);
  const DateRec v = gm_of(base + st.tz_off);
  const std::string h = hour_text(v.hour, -1, v_utc.hour, v_utc.minute, true);
  if (f.a >= 6 && f.b == 0) {
    append_joined(s, " analysis valid");
  } else if (f.shown != 0 && f.shown != MISSING_INT) {
    append_joined(s, " valid");
  } else {
    append_joined(s, " analysis for");
    s += fmt(" %s %2d %3s %2.2d", h.c_str(), v.day, DATE_month(v.month), v.year % 100);
    put_text(text, s);
    return 0;
  }
  s += fmt(" %s %3s %2d %3s %2.2d", h.c_str(), DATE_day_name(v.wday), v.day, DATE_month(v.month), v.year % 100);
  put_text(text, s);
  return 0;
}

int DATE_make_label_valid_time(int time, const DateRec* date, char* text) {
  if (!date || !text) return -1;
  int hours = time == MISSING_INT ? 0 : time % 1000;
  if (hours == 800 || hours == 900) hours = 0;
  const bool no_hour = date->hour == MISSING_INT;
  DateRec utc = *date;
  normalise(utc);
  const long long base = seconds_of(utc) + 3600LL * hours;
  const DateRec v_utc = gm_of(base);
  if (no_hour) return put_text(text, fmt("%3s %2d %3s %2.2d", DATE_day_name(v_utc.wday), v_utc.day,
                                         DATE_month(v_utc.month), v_utc.year % 100));
  const DateRec v = gm_of(base + st.tz_off);
  const std::string h = hour_text(v.hour, -1, v_utc.hour, v_utc.minute, false);
  return put_text(text, fmt("%s %3s %2d %3s %2.2d", h.c_str(), DATE_day_name(v.wday), v.day, DATE_month(v.month),
                            v.year % 100));
}

int DATE_format_label(char* text, const char* format, int time, const char* extra, const DateRec* date) {
  if (!text) return -1;
  if (!format) return put_text(text, "");
  DateRec d;
  DATE_init(&d);
  if (date) d = *date;
  std::string s;
  for (const char* p = format; *p && s.size() < static_cast<size_t>(DATE_LABEL_LEN); ++p) {
    if (*p != '%') {
      s += *p;
      continue;
    }
    ++p;
    if (!*p) break;
    switch (*p) {
      case 'F':
        s += fhour(decode_time(time).shown, d.hour == MISSING_INT);
        break;
      case 'f':
        s += fmt("%d", time);
        break;
      case 'x':
        if (extra) s += extra;
        break;
      case 'y':
        if (d.year != MISSING_INT) s += fmt("%2.2d", year2(d.year));
        break;
      case 'm':
        if (d.month != MISSING_INT) s += fmt("%2.2d", d.month);
        break;
      case 'M':
        s += DATE_month(d.month);
        break;
      case 'd':
        if (d.day != MISSING_INT) s += fmt("%2.2d", d.day);
        break;
      case 'h':
        if (d.hour != MISSING_INT) s += fmt("%2.2d", d.hour);
        break;
      case 'n':
        if (d.minute != MISSING_INT) s += fmt("%2.2d", d.minute);
        break;
      default:
        s += *p;
        break;
    }
  }
  return put_text(text, s);
}

int DATE_decode_label(const char* text, DateRec* date) {
  if (!date) return 0;
  DATE_init(date);
  if (!text) return 0;
  const size_t len = std::strlen(text);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  char mw[4] = "";
  int n = 0;
  auto month_ok = [&]() { return (mo = DATE_decode_month(mw)) != 0; };

  if (std::sscanf(text, "%2dZ %2d %3s %2d", &h, &d, mw, &y) == 4 && month_ok()) {
    n = 4;
    mi = MISSING_INT;
    sec = MISSING_INT;
  } else if (len >= 15 && std::sscanf(text + len - 15, "%2d%2dZ %2d %3s %2d", &h, &mi, &d, mw, &y) == 5 &&
             month_ok()) {
    n = 5;
    sec = MISSING_INT;
    if (text[len - 15] == ' ' && std::sscanf(text + len - 14, "%1d%2d", &h, &mi) != 2) n = 0;
  } else if (len >= 19 && std::sscanf(text + len - 19, "%2d:%2d:%2dZ %2d %3s %2d", &h, &mi, &sec, &d, mw, &y) == 6 &&
             month_ok()) {
    n = 6;
  } else if (len >= 13 && std::sscanf(text + len - 13, "%2dZ %2d %3s %2d", &h, &d, mw, &y) == 4 && month_ok()) {
    n = 4;
    mi = MISSING_INT;
    sec = MISSING_INT;
  } else if (std::sscanf(text, "%2d %2d %2d %2d", &y, &mo, &d, &h) == 4) {
    n = 4;
    mi = MISSING_INT;
    sec = MISSING_INT;
  }
  if (n == 0) return 0;
  if (y < 50)
    y += 2000;
  else if (y < 200)
    y += 1900;
  date->year = y;
  date->month = mo;
  date->day = d;
  date->hour = h;
  date->minute = mi;
  date->second = sec;
  if (mo >= 1 && mo <= 12 && d >= 1 && d <= 31) {
    DATE_monday_julian(y, mo, d, &date->julian);
    date->wday = weekday(y, mo, d);
  }
  return n;
}

int DATE_set_TZ(const char* text) {
  if (!text || !*text) {
    st.tz_str.assign(1, 'Z');  // not operator=(const char*): g++ 12 -O3 warns falsely (-Wrestrict)
    st.tz_off = 0;
    st.tz_pm = 0;
    return 1;
  }
  int pm = 0;
  const char* p = text;
  if (*p == '-') {
    pm = -1;
    ++p;
  } else if (*p == '+') {
    pm = 1;
    ++p;
  }
  char name[5] = "";
  float off = 0.0f;
  int n = std::sscanf(p, "%4[^:]:%f", name, &off);
  const bool has_colon = std::strchr(p, ':') != nullptr;
  if (n < 1 || (n == 1 && has_colon) || !std::isfinite(off) || std::fabs(off) > 24.0f) {
    MESS_print(MESS_WARN, "DATE_set_TZ: invalid time zone: %s\n", text);
    return 0;
  }
  st.tz_pm = pm;
  st.tz_str = std::string(" ") + name;
  st.tz_off = static_cast<int>(std::lround(3600.0 * off));
  return 1;
}

int DATE_get_tz_off() { return st.tz_off; }
const char* DATE_get_tz_str() { return st.tz_str.c_str(); }

char* DATE_get_current_str(char* text) {
  if (!text) return text;
  DateRec d;
  DATE_get_current_gmdate(&d);
  std::snprintf(text, 32, "%2.2d %s %2.2d  %2.2d:%2.2d:%2.2dZ", d.year % 100, DATE_month(d.month), d.day, d.hour,
                d.minute, d.second);
  return text;
}

char* DATE_get_simple_current_str(char* text) {
  if (!text) return text;
  DateRec d;
  DATE_get_current_gmdate(&d);
  std::snprintf(text, 16, "%2.2d-%2.2d:%2.2dZ", d.day, d.hour, d.minute);
  return text;
}

int DATE_print(unsigned level, const DateRec* date) {
  if (!date) return 0;
  return MESS_print(level, "%d/%d/%d %2.2d:%2.2d:%2.2d\n", date->year, date->month, date->day, date->hour,
                    date->minute, date->second);
}

int DATE_print_current(unsigned level) {
  DateRec d;
  DATE_get_current_gmdate(&d);
  return DATE_print(level, &d);
}

void DATE_set_range(int pre, int post) {
  st.range_pre = pre;
  st.range_post = post;
}

void DATE_set_range_date(const DateRec* date) {
  if (!date) return;
  int h = date->hour >= 0 && date->hour <= 23 ? date->hour : 0;
  int m = date->minute >= 0 && date->minute <= 59 ? date->minute : 0;
  st.range_want = 3600 * h + 60 * m;
}

int DATE_chk_range(int hhmm) {
  const int secs = 3600 * (hhmm / 100) + 60 * (hhmm % 100);
  int diff = secs - st.range_want;
  if (diff > 43200) diff -= 86400;
  if (diff < -43200) diff += 86400;
  const int begin = 60 * st.range_pre;
  const int end = 60 * st.range_post;
  const int ok = diff >= begin && diff <= end ? 1 : 0;
  MESS_print(MESS_DEBUG & MESS_C, "%d %d %d-%d = %d\n", hhmm, diff, begin, end, ok);
  return ok;
}

DateRec* DATE_to_struct(int year, int month, int day, int hour, int minute) {
  st.to_struct_rec = DateRec{year, month, day, MISSING_INT, MISSING_INT, hour, minute, 0};
  if (month >= 1 && month <= 12 && day >= 1 && day <= 31 && year != MISSING_INT) {
    DATE_monday_julian(year, month, day, &st.to_struct_rec.julian);
    st.to_struct_rec.wday = weekday(year, month, day);
  }
  return &st.to_struct_rec;
}
