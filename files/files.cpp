// File naming conventions, file selection and file services.
#include "files/files.h"

#include <glob.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "config/datafile.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/prompt.h"
#include "config/system.h"

namespace {

constexpr std::size_t template_len = 160;  // templates and convention-file lines
constexpr int default_period = 3600;
constexpr int max_tries = 100000;
constexpr int max_span = 8784 * 3600;  // one leap year of hours, in seconds  // bound on "la#N" so a hostile N cannot spin for hours
constexpr unsigned level_debug_conv = MESS_DEBUG & MESS_A;
constexpr unsigned level_debug_key = MESS_DEBUG & MESS_D;

struct Saved {
  int late_off;
  std::string conv, hconv, filename, ext, upath;
  int filename_type, min_size;
  bool upath_set;
};

// The active naming convention, the hour it is set to and the sequence of files being
// walked: one record so that a caller (or a test) can start again from nothing.
struct FilesState {
  // ---- the active convention ----
  std::string conv;      // file-name template
  std::string hconv;     // header template ("" when none)
  std::string ext;       // extension from a partial convention-name match
  std::string filename;  // last name made or given
  int filename_type = 0;  // 1 given by the user or found, 0 made from the template
  // The input is the clock's current or latest hour (a refresh follows the clock), not a
  // fixed hour or a named file (a refresh re-reads that).
  bool on_clock = false;
  int late_off = default_period;
  int min_size = 0;
  int rmin_size = 0;
  std::array<std::string, 256> keys;
  DateRec set{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  DateRec file_date{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  // Directories of a full path the user gave: they stand in for the path escapes so
  // further files of a sequence are looked for beside the given one.
  std::string upath;
  bool upath_set = false;
  bool want_header = false;

  // ---- the file sequence ----
  DateRec first_date{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  int num_hour = 0;
  int offset = default_period;
  int skip = 0;
  int secs = 0;
  int nsecs = 0;
  int numfile = 0;
  std::vector<std::string> files;
  std::size_t file_ind = 0;
  std::string first_name;
  std::string last_in_sequence;  // the name of the sequence's previous hour
  bool first_done = false;
  int def_hours = 0;

  Saved saved{default_period, "", "", "", "", "", 0, 0, false};

  // The last name pattern compiled: a directory listing matches every name against one
  // template, and compiling the pattern costs far more than matching a name.
  std::string name_pattern;
  std::optional<std::regex> name_regex;  // empty when the pattern did not compile
};
FilesState st;


DateRec unknown_date() { return DateRec{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT}; }

void copy_out(const std::string& text, char* buffer, std::size_t size = FILE_NAME_MAX) {
  copy_bounded(buffer, size, text);
}

// The leading integer of text as atoi reads it (0 when there is none), clamped to int:
// hostile convention files must not overflow it.
int leading_int(const char* text) {
  int v = 0;
  return scan_int(text, &v) ? v : 0;
}

bool is_stdio_name(const std::string& name) { return FILE_is_stdio(name.c_str()) != 0; }

bool is_stdio_template(const std::string& t) { return t == "-" || t == "std" || t == "stdn"; }

bool is_full(const std::string& name) { return FILE_fullpath(name.c_str()) != 0; }

// Seconds of a date whose unknown time fields count as their start (day 1, hour 0...).
std::int64_t secs_of(const DateRec& d) {
  DateRec c = d;
  if (c.month < 1) c.month = 1;
  if (c.day < 1) c.day = 1;
  if (c.hour < 0) c.hour = 0;
  if (c.minute < 0) c.minute = 0;
  if (c.second < 0) c.second = 0;
  if (c.year == MISSING_INT) c.year = 1970;
  // Second counts are 32-bit: keep hostile years inside the range the calendar handles.
  c.year = std::clamp(DATE_full_year(c.year), 1902, 2037);
  return DATE_num_sec(&c);
}

DateRec date_of(std::int64_t seconds) {
  DateRec d = unknown_date();
  seconds = std::clamp<std::int64_t>(seconds, INT32_MIN + 1, INT32_MAX);
  int s = static_cast<int>(seconds);
  DATE_get_gmdate(&s, &d);
  return d;
}

// The directory a path escape stands for: the resource's value without its trailing
// '/', or "." when the resource is not set.
std::string resource_dir(const char* resource) {
  if (st.upath_set) return st.upath;
  const char* v = RES_get(resource);
  std::string dir = v != nullptr ? v : "";
  if (stricmp(dir.c_str(), "none") == 0) dir.clear();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir.empty()) return ".";
  if (dir == "/") return "";
  return dir;
}

const char* path_resource(char c) {
  switch (c) {
    case 'C': return "con_path";
    case 'D': return "data_path";
    case 'F': return "file_path";
    case 'R': return "raw_path";
    case 'G': return "grid_path";
    case 'I': return "image_path";
    case 'W': return "watch_path";
    case 'T': return "text_path";
    case 'M': return "model_path";
    case 'S': return "sat_path";
    default: return nullptr;
  }
}

// The value of a %{name} escape.
std::string brace_value(const std::string& name) {
  if (st.upath_set) return st.upath;
  const char* v = RES_get(name.c_str());
  std::string s = v != nullptr ? v : "";
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string key_value(unsigned char c, int step) {
  const std::string& k = st.keys[c];
  if (k.empty()) return "0";
  if (step > 0 && static_cast<std::size_t>(step) < k.size()) return k.substr(0, step);
  return k;
}

// One piece of a file-name template. The braces of "{...}" groups are no pieces: every
// reader of templates skips them.
struct Piece {
  enum Kind {
    Text,    // one character of the name ("%%" stands for '%')
    Brace,   // "%{name}": the value of the resource name
    Escape,  // '%', an optional step (digits) and the escape character
    Stray,   // '%' and digits with no escape character after them (the end or a '%')
    Open,    // "%{name" without its '}'
  };
  Kind kind = Text;
  char c = 0;            // Text: the character; Escape: the escape character
  int step = 0;          // Escape: the step, 0 when none is given
  std::string_view name; // Brace: the name between the braces
  std::size_t at = 0;    // where the piece begins in the template
  std::size_t next = 0;  // where the piece after it begins
};

// Walks template t from position from, handing each piece to visit until it returns
// false. Steps above 999 are capped: no date field has more than 366 values.
template <typename Visit>
void walk_template(std::string_view t, std::size_t from, Visit visit) {
  for (std::size_t i = from; i < t.size();) {
    Piece p;
    p.at = i;
    const char c = t[i];
    if (c == '{' || c == '}') {
      ++i;
      continue;
    }
    if (c != '%' || (i + 1 < t.size() && t[i + 1] == '%')) {
      p.kind = Piece::Text;
      p.c = c;
      p.next = i + (c == '%' ? 2 : 1);
    } else if (i + 1 < t.size() && t[i + 1] == '{') {
      const std::size_t close = t.find('}', i + 2);
      if (close == std::string_view::npos) {
        p.kind = Piece::Open;
        p.next = t.size();
      } else {
        p.kind = Piece::Brace;
        p.name = t.substr(i + 2, close - i - 2);
        p.next = close + 1;
      }
    } else {
      std::size_t j = i + 1;
      long n = 0;
      bool any = false;
      while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) {
        if (n < 100000) n = n * 10 + (t[j] - '0');
        any = true;
        ++j;
      }
      p.step = any ? static_cast<int>(std::min(n, 999L)) : 0;
      if (j >= t.size() || t[j] == '%') {
        p.kind = Piece::Stray;
        p.next = j;
      } else {
        p.kind = Piece::Escape;
        p.c = t[j];
        p.next = j + 1;
      }
    }
    if (!visit(p)) return;
    i = p.next;
  }
}

// Chooses a date field through the override record and rounds it; period_unit gets the
// rounding multiple that decides the period.
int pick_field(int date_value, int override_value, int step, int* multiple) {
  int n = step > 0 ? step : 1;
  if (override_value >= 0) {
    *multiple = n;
    return override_value - override_value % n;
  }
  if (override_value != MISSING_INT) {
    int code = -override_value;
    int q = code / 100;
    int p = code % 100;
    if (p < 1) p = 1;
    *multiple = p;
    if (date_value < 0) return MISSING_INT;
    return date_value - date_value % p + q;
  }
  *multiple = n;
  if (date_value < 0) return MISSING_INT;
  return date_value - date_value % n;
}

void limit_period(int* period, std::int64_t wide) {
  if (wide <= 0) return;
  int value = static_cast<int>(std::min<std::int64_t>(wide, INT32_MAX));
  if (*period == MISSING_INT || *period > value) *period = value;
}

int julian_of(int year, int month, int day) {
  if (year < 0 || month < 1 || month > 12 || day < 1) return MISSING_INT;
  int j = MISSING_INT;
  if (DATE_monday_julian(year, month, day, &j) == 0) return MISSING_INT;
  return j;
}

// Expands template t for date d: the heart of name making.
std::string expand(const std::string& t, const DateRec& d, DateRec* used, int* period) {
  std::string out;
  out.reserve(t.size() + 32);
  auto number = [&](int value, int width) {
    if (value < 0) {
      out += "00";
      return;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out += buf;
  };
  walk_template(t, 0, [&](const Piece& p) {
    if (p.kind == Piece::Text) {
      out += p.c == ' ' ? '_' : p.c;
      return true;
    }
    if (p.kind == Piece::Brace) {
      out += brace_value(std::string(p.name));
      return true;
    }
    // Not an escape: keep the text as it stands ("%{" of an unclosed brace dropped).
    if (p.kind == Piece::Open) {
      out.append(t, p.at + 2, std::string::npos);
      return false;
    }
    if (p.kind == Piece::Stray) {
      out.append(t, p.at, p.next - p.at);
      return true;
    }
    if (!std::isalpha(static_cast<unsigned char>(p.c))) {
      out.append(t, p.at, p.next - 1 - p.at);
      if (p.c == ' ') out += '_';
      else if (p.c != '{' && p.c != '}') out += p.c;
      return true;
    }
    int mult = 1;
    // A date field that also bounds the convention's period (unit seconds per step).
    auto timed_field = [&](int value, int override_value, std::int32_t* used_field, int width, std::int64_t unit) {
      const int v = pick_field(value, override_value, p.step, &mult);
      *used_field = v;
      number(v, width);
      limit_period(period, unit * mult);
    };
    switch (p.c) {
      case 'Y': {
        int v = pick_field(DATE_full_year(d.year), st.set.year, p.step, &mult);
        used->year = v;
        number(v, 4);
        break;
      }
      case 'y': {
        int v = pick_field(DATE_full_year(d.year), st.set.year, p.step, &mult);
        used->year = v;
        number(v < 0 ? v : v % 100, 2);
        break;
      }
      case 'm':
      case 'b': {
        int v = pick_field(d.month, st.set.month, p.step, &mult);
        used->month = v;
        if (p.c == 'm' || v < 0) {
          number(v, 2);
        } else {
          const char* m = DATE_month_lower(v);
          out += (m != nullptr && *m != '\0') ? std::string(m).substr(0, 3) : std::string("00");
        }
        break;
      }
      case 'd':
        timed_field(d.day, st.set.day, &used->day, 2, 86400);
        break;
      case 'j': {
        int jd = d.julian >= 1 ? d.julian : julian_of(DATE_full_year(d.year), d.month, d.day);
        timed_field(jd, st.set.julian, &used->julian, 3, 86400);
        break;
      }
      case 'h':
        timed_field(d.hour, st.set.hour, &used->hour, 2, 3600);
        break;
      case 'n':
        timed_field(d.minute, st.set.minute, &used->minute, 2, 60);
        break;
      case 'e':
        out += st.ext;
        break;
      default:
        if (const char* res = path_resource(p.c))
          out += resource_dir(res);
        else
          out += key_value(static_cast<unsigned char>(p.c), p.step);
        break;
    }
    return true;
  });
  return out;
}

// Number of path separators after the first path escape of the template (all of them
// when it has none): how many trailing components of a user's path the template itself
// accounts for.
int template_separators(const std::string& t) {
  std::size_t from = 0;
  walk_template(t, 0, [&](const Piece& p) {
    if (p.kind == Piece::Brace || (p.kind == Piece::Escape && path_resource(p.c) != nullptr)) {
      from = p.next;
      return false;
    }
    return true;
  });
  int n = 0;
  for (std::size_t i = from; i < t.size(); ++i)
    if (t[i] == '/' || t[i] == ':') ++n;
  return n;
}

// The leading directories of a full path: everything before its n-th separator from the
// end.
std::string leading_dirs(const std::string& path, int n) {
  std::size_t end = path.size();
  for (int k = 0; k < n; ++k) {
    if (end == 0) return "";
    std::size_t p = path.find_last_of("/:", end - 1);
    if (p == std::string::npos) return n == 1 && k == 0 ? "." : "";
    end = p;
  }
  return path.substr(0, end);
}

void extract_user_path(const std::string& name) {
  st.upath_set = false;
  st.upath.clear();
  if (st.filename_type != 1 || !is_full(name) || st.conv.empty()) return;
  int n = template_separators(st.conv);
  if (n < 1) return;
  st.upath = leading_dirs(name, n);
  st.upath_set = true;
  MESS_print(level_debug_key, "Extracted path: %s\n", st.upath.c_str());
}

// Convention file name: the name_conv resource or "name_conv", in file_path (the working
// directory when file_path is not set), then in the package data directory.
std::vector<std::string> conv_file_candidates() {
  const char* res = RES_get("name_conv");
  return FILE_data_candidates((res != nullptr && *res != '\0') ? res : "name_conv");
}

struct ConvLine {
  std::string name, tmpl, header;
  int min_size = 0;
};

bool parse_conv_line(const std::string& line, ConvLine* out) {
  std::size_t p = line.find_first_not_of(" \t");
  if (p == std::string::npos || line[p] == '#') return false;
  std::vector<std::string> fields;
  while (p < line.size() && fields.size() < 4) {
    std::size_t q = line.find_first_of(" \t\r\n", p);
    if (q == std::string::npos) q = line.size();
    fields.push_back(line.substr(p, q - p));
    p = line.find_first_not_of(" \t\r\n", q);
    if (p == std::string::npos) break;
  }
  if (fields.size() < 2) return false;
  out->name = fields[0];
  out->tmpl = fields[1];
  out->header = fields.size() > 2 && fields[2] != "-" ? fields[2] : "";
  out->min_size = fields.size() > 3 ? leading_int(fields[3].c_str()) : 0;
  return true;
}

// Selects templates; the period is known from the template before any name is made.
void set_template(const std::string& t, const std::string& h) {
  st.conv = t.substr(0, template_len);
  st.hconv = h.substr(0, template_len);
  DateRec probe = unknown_date();
  DateRec used = unknown_date();
  st.late_off = MISSING_INT;
  expand(st.conv, probe, &used, &st.late_off);
}

// Makes the name for date d; the workhorse of FILE_set_date and FILE_hdr_set_date.
int make_name(const DateRec* date, char* name) {
  const std::string& t = st.want_header && !st.hconv.empty() ? st.hconv : st.conv;
  if (t.empty()) {
    if (st.filename.empty()) st.filename = "filename";
    copy_out(st.filename, name);
    return 1;
  }
  if (is_stdio_template(t)) {
    st.filename = "-";
    copy_out(st.filename, name);
    return 1;
  }
  st.late_off = MISSING_INT;
  DateRec d = date != nullptr ? *date : st.file_date;
  DateRec used = st.file_date;
  used.year = used.month = used.day = used.hour = used.minute = MISSING_INT;
  used.julian = used.wday = MISSING_INT;
  if (d.year == MISSING_INT && !st.filename.empty()) {
    st.file_date = used;
    copy_out(st.filename, name);
    return 0;
  }
  std::string out = expand(t, d, &used, &st.late_off);
  if (used.julian >= 1 && used.year >= 0 && (used.month < 0 || used.day < 0)) {
    int m = 0, dd = 0;
    if (DATE_julian_monday(used.year, used.julian, &m, &dd) != 0) {
      if (used.month < 0) used.month = m;
      if (used.day < 0) used.day = dd;
    }
  }
  if (used.julian < 0) used.julian = julian_of(used.year, used.month, used.day);
  used.second = used.year >= 0 ? 0 : MISSING_INT;
  if (used.year >= 0 && used.month >= 1 && used.day >= 1) used.wday = date_of(secs_of(used)).wday;
  st.file_date = used;
  st.filename = std::move(out);
  st.filename_type = 0;
  copy_out(st.filename, name);
  return 1;
}

// ---- current files ----

// Reads "#YYYYMMDDHHMM" (as many two-digit fields as present) at s[i]; advances i.
bool read_hash_date(const std::string& s, std::size_t* i, DateRec* d) {
  std::size_t p = *i;
  if (p >= s.size() || s[p] != '#') return false;
  ++p;
  auto digits = [&](std::size_t at, int n, int* v) {
    if (at + n > s.size()) return false;
    int x = 0;
    for (int k = 0; k < n; ++k) {
      if (!std::isdigit(static_cast<unsigned char>(s[at + k]))) return false;
      x = x * 10 + (s[at + k] - '0');
    }
    *v = x;
    return true;
  };
  int v = 0;
  if (!digits(p, 4, &v)) return false;
  d->year = v;
  p += 4;
  int* fields[] = {&d->month, &d->day, &d->hour, &d->minute};
  for (int* f : fields) {
    if (!digits(p, 2, &v)) break;
    *f = v;
    p += 2;
  }
  *i = p;
  return true;
}

// An offset "[+|-]DdH:M", "[+|-]H:M", "[+|-]H" or ":M" at s[i]; 0 when none is there.
bool read_offset(const std::string& s, std::size_t* i, std::int64_t* seconds, int* direction) {
  std::size_t p = *i;
  int sign = -1;
  if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
    sign = s[p] == '+' ? 1 : -1;
    ++p;
  }
  if (p >= s.size() || !(std::isdigit(static_cast<unsigned char>(s[p])) || s[p] == ':')) return false;
  auto num = [&]() {
    std::int64_t v = 0;
    while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
      if (v < 100000000) v = v * 10 + (s[p] - '0');
      ++p;
    }
    return v;
  };
  std::int64_t days = 0, hours = 0, minutes = 0;
  std::int64_t first = num();
  if (p < s.size() && (s[p] == 'd' || s[p] == 'D')) {
    days = first;
    ++p;
    hours = num();
  } else {
    hours = first;
  }
  if (p < s.size() && s[p] == ':') {
    ++p;
    minutes = num();
  }
  *seconds = sign * (days * 86400 + hours * 3600 + minutes * 60);
  *direction = sign;
  *i = p;
  return true;
}

std::int64_t base_time(const std::string& spec, std::size_t* i) {
  DateRec d = unknown_date();
  bool have = false;
  if (read_hash_date(spec, i, &d)) {
    have = true;
  } else if (const char* env = std::getenv("zavcurtime"); env != nullptr && *env != '\0') {
    std::string e = env[0] == '#' ? env : std::string("#") + env;
    std::size_t k = 0;
    if (read_hash_date(e, &k, &d))
      have = true;
    else
      MESS_print(MESS_WARN, "zavcurtime: not a time YYYYMMDDHHMM: %.40s\n", env);
  }
  if (!have) {
    int now = DATE_get_time(nullptr);
    return now;
  }
  d.year = DATE_full_year(d.year);
  return secs_of(d);
}

// Moves the base back to the most recent time that matches the override record.
std::int64_t apply_override(std::int64_t base) {
  DateRec b = date_of(base);
  if (st.set.month >= 1 && st.set.month > b.month) b.year -= 1;
  if (st.set.day >= 1 && st.set.day > b.day) {
    if (--b.month < 1) {
      b.month = 12;
      b.year -= 1;
    }
  }
  std::int64_t back = 0;
  if (st.set.hour >= 0 && st.set.hour > b.hour) back += 86400;
  if (st.set.minute >= 0 && st.set.minute > b.minute) back += 3600;
  if (st.set.year >= 0) b.year = DATE_full_year(st.set.year);
  if (st.set.month >= 1) b.month = st.set.month;
  if (st.set.day >= 1) b.day = st.set.day;
  if (st.set.hour >= 0) b.hour = st.set.hour;
  if (st.set.minute >= 0) b.minute = st.set.minute;
  b.second = 0;
  return secs_of(b) - back;
}

std::string size_text(long n) { return std::to_string(n); }

// Looks for the latest file from t stepping one period at a time in direction dir.
std::int64_t find_latest(std::int64_t t, int tries, int dir) {
  int step = FILE_get_offset();
  std::string last;
  long minimum = FILE_get_min_size();
  for (int k = 0; k < tries; ++k) {
    DateRec d = date_of(t);
    make_name(&d, nullptr);
    MESS_print(MESS_DEBUG, "LATE: %s\n", st.filename.c_str());
    long size = FILE_size(st.filename.c_str());
    if (size > minimum) {
      MESS_print(MESS_DEBUG, "LATEST: %s %s %d\n", st.filename.c_str(), size_text(size).c_str(), k);
      return t;
    }
    if (st.filename == last && k > 0) break;  // the template has no date in it
    last = st.filename;
    step = FILE_get_offset();
    t += static_cast<std::int64_t>(dir) * step;
  }
  return MISSING_INT;
}

bool is_current_spec(const std::string& s) {
  if (s.empty()) return false;
  if (s[0] == '#') return true;
  if (!(starts_with_ci(s, "cu") || starts_with_ci(s, "la"))) return false;
  if (s.size() == 2) return true;
  return std::strchr("#+-0123456789:lL", s[2]) != nullptr;
}

std::string current_arg(const std::string& s) { return starts_with_ci(s, "cu") ? s.substr(2) : s; }

// Present for the input prompt: an existing file, a standard stream or a pipe.
bool present(const std::string& name) {
  if (name.empty()) return false;
  if (is_stdio_name(name) || name[0] == '|') return true;
  return FILE_exist(name.c_str());
}

void report_current(const char* name) { MESS_print(MESS_MESS, "Current filename: %s\n", name); }

// The list of positional file names.
std::vector<std::string> positional_names() {
  std::vector<std::string> out;
  int count = 0;
  char** list = nullptr;
  RES_getvals("filename", &count, &list);
  struct Release {
    int count;
    char** list;
    ~Release() {
      if (list != nullptr) free_parsed_array(count, list);
    }
  } release{count, list};
  for (int i = 0; i < count; ++i)
    if (list[i] != nullptr && list[i][0] != '\0') out.emplace_back(list[i]);
  return out;
}

// "H:M", ":M" or "H" in seconds; a leading '-' looks back.
int parse_span(const std::string& text) {
  std::string s = text;
  int sign = 1;
  if (!s.empty() && s[0] == '-') {
    sign = -1;
    s.erase(0, 1);
  }
  long h = 0, m = 0;
  std::size_t colon = s.find(':');
  std::string hs = s.substr(0, colon);
  if (!hs.empty()) h = std::strtol(hs.c_str(), nullptr, 10);
  if (colon != std::string::npos) m = std::strtol(s.c_str() + colon + 1, nullptr, 10);
  h = std::clamp(h, -100000L, 100000L);
  m = std::clamp(m, -6000000L, 6000000L);
  return sign * static_cast<int>(h * 3600 + m * 60);
}

std::string shell_quote_glob(const std::string& s) {
  std::string out;
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || std::strchr("/._-+,=@%?*[]", c) != nullptr)
      out += c;
    else {
      out += '\\';
      out += c;
    }
  }
  return out;
}

// The template turned into a shell pattern for listing.
std::string listing_pattern(const std::string& t) {
  std::string out;
  walk_template(t, 0, [&](const Piece& p) {
    switch (p.kind) {
      case Piece::Text:
        out += p.c == '%' ? std::string("%") : shell_quote_glob(std::string(1, p.c == ' ' ? '_' : p.c));
        return true;
      case Piece::Brace:
        out += '*';
        return true;
      case Piece::Open:
        out += '*';
        return false;
      case Piece::Stray:
        return p.next < t.size();
      case Piece::Escape:
        break;
    }
    switch (p.c) {
      case 'Y': out += "?[0-9]??"; break;
      case 'b': out += "?[a-z]?"; break;
      case 'j': out += "?[0-9]?"; break;
      case 'y': case 'm': case 'd': case 'h': case 'n': out += "[0-9]?"; break;
      default:
        if (const char* res = path_resource(p.c)) {
          std::string dir = resource_dir(res);
          if (!dir.empty() && dir[0] == '~') {
            out += '~' + shell_quote_glob(dir.substr(1));
          } else {
            out += shell_quote_glob(dir);
          }
        } else {
          out += '*';
        }
    }
    return true;
  });
  return out;
}

// Reads exactly n digits at text[pos] (within len) into out.
bool read_digits(const char* text, std::size_t len, std::size_t pos, int n, int& out) {
  if (pos + static_cast<std::size_t>(n) > len) return false;
  int v = 0;
  for (int i = 0; i < n; ++i) {
    char c = text[pos + static_cast<std::size_t>(i)];
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

// "name#YYYYMMDDHHMM": the date suffix fixes fields of the override record.
void take_date_suffix(std::string* spec) {
  const std::size_t hash = spec->size() > 1 ? spec->find('#', 1) : std::string::npos;
  if (hash == std::string::npos) return;
  const std::string suffix = spec->substr(hash);
  spec->resize(hash);
  DateRec d = unknown_date();
  std::size_t k = 0;
  if (!read_hash_date(suffix, &k, &d)) {
    MESS_print(MESS_WARN, "Date suffix not understood (#YYYYMMDDHHMM): %.40s\n", suffix.c_str());
    return;
  }
  if (d.year >= 0) st.set.year = DATE_full_year(d.year);
  if (d.month >= 0) st.set.month = d.month;
  if (d.day >= 0) st.set.day = d.day;
  if (d.hour >= 0) st.set.hour = d.hour;
  if (d.minute >= 0) st.set.minute = d.minute;
}

// Names that are used as they stand, not matched against template t: "@literal", the
// standard streams, "none" (result 0), pipes, and full paths for a template that is a
// full path itself. True when spec was one; filename is then set.
bool name_as_given(const std::string& spec, const std::string& t, int* result) {
  if (!spec.empty() && spec[0] == '@') {
    st.filename = spec.substr(1);
  } else if (is_stdio_name(spec) && !spec.empty()) {
    st.filename = spec;
  } else if (is_stdio_template(t)) {
    st.filename = "-";
  } else if (stricmp(spec.c_str(), "none") == 0) {
    st.filename = "none";
    *result = 0;
  } else if (spec.empty() || spec[0] == '|' || t.empty() || (is_full(t) && is_full(spec))) {
    st.filename = spec;
  } else {
    return false;
  }
  return true;
}

// Matches the user's file name spec against template t, building the name as it goes:
// date fields read from the name go into *d, and the template completes a name the user
// cut short. Also sets late_off from the fields the name holds.
std::string match_template(const std::string& spec, const std::string& t, DateRec* d) {
  std::string out;
  st.late_off = MISSING_INT;
  d->julian = d->wday = d->second = MISSING_INT;
  const bool full = is_full(spec);
  std::size_t j = 0;  // position in spec
  bool after_path = false;
  auto digits = [&](int n, int* v) {
    if (j + n > spec.size()) return false;
    int x = 0;
    for (int k = 0; k < n; ++k) {
      char ch = spec[j + k];
      if (!std::isdigit(static_cast<unsigned char>(ch))) return false;
      x = x * 10 + (ch - '0');
    }
    *v = x;
    return true;
  };
  // The user's text up to the template's next literal text (from template position from).
  auto text_to_literal = [&](std::size_t from) {
    std::string lit;
    for (std::size_t k = from; k < t.size() && t[k] != '%' && t[k] != '*'; ++k)
      if (t[k] != '{' && t[k] != '}') lit += t[k];
    std::size_t end = lit.empty() ? spec.size() : spec.find(lit, j);
    if (end == std::string::npos) end = spec.size();
    std::string s = spec.substr(j, end - j);
    j = end;
    return s;
  };
  // The user's own directories stand in for a path escape the template goes on after.
  auto user_dirs = [&](std::size_t after) {
    std::string dir = leading_dirs(spec.substr(j), template_separators(t.substr(after)));
    j += dir.size();
    return dir;
  };
  std::size_t start = 0;
  if (is_full(t) && !full) {
    // A template that names its own directory: a bare name is looked for there.
    const std::size_t first_escape = t.find_first_of("%*");
    const std::size_t dir_end = t.find_last_of('/', first_escape == std::string::npos ? t.size() : first_escape);
    if (dir_end != std::string::npos) {
      out = t.substr(0, dir_end + 1);
      start = dir_end + 1;
    }
  } else if (!full && spec.find('/') == std::string::npos) {
    // A name without directories is a name of the convention's own directory: the
    // template's directories (when no date is in them) come first, never overwritten by
    // the user's characters.
    const std::size_t dir_end = t.rfind('/');
    bool dated = false;
    if (dir_end != std::string::npos)
      walk_template(std::string_view(t).substr(0, dir_end), 0, [&](const Piece& p) {
        dated = dated || (p.kind == Piece::Escape && std::strchr("Yybmdhnj", p.c) != nullptr) ||
                p.kind == Piece::Open || p.kind == Piece::Stray;
        return !dated;
      });
    if (dir_end != std::string::npos && !dated) {
      DateRec none = unknown_date(), used = unknown_date();
      int period = MISSING_INT;
      out = expand(t.substr(0, dir_end + 1), none, &used, &period);
      start = dir_end + 1;
    }
  }
  walk_template(t, start, [&](const Piece& p) {
    if (MESS_check(MESS_DEBUG)) {
      const std::string here(1, t[p.at]);
      MESS_print(MESS_DEBUG, "FILES:%s:%s:%s:%s:%s:%d\n", t.c_str() + p.at, spec.c_str() + std::min(j, spec.size()),
                 out.c_str(), here.c_str(), st.ext.c_str(), st.late_off);
    }
    if (p.kind == Piece::Text && p.c == '*') return false;  // the rest of the name is the user's
    if (p.kind == Piece::Text) {
      const char lit = p.c == ' ' ? '_' : p.c;
      if (after_path && (p.c == '/' || p.c == ':'))
        out += lit;  // the separator after an inserted directory
      else if (j < spec.size())
        out += spec[j++];
      else
        out += lit;  // the user's name ended: complete the name from the template
      after_path = false;
      return true;
    }
    after_path = false;
    if (p.kind == Piece::Open || (p.kind == Piece::Stray && p.next >= t.size())) return false;
    if (p.kind == Piece::Stray) {
      out += text_to_literal(p.next);
      return true;
    }
    if (p.kind == Piece::Brace) {
      if (full) {
        out += user_dirs(p.next);
      } else {
        out += brace_value(std::string(p.name));
        after_path = true;
      }
      return true;
    }
    const int n = p.step > 0 ? p.step : 1;
    int v = 0;
    bool ok = true;
    auto take_digits = [&](int width, std::int32_t* field, std::int64_t unit) {
      if (!(ok = digits(width, &v))) return;
      *field = v;
      if (unit > 0) limit_period(&st.late_off, unit * n);
      out.append(spec, j, static_cast<std::size_t>(width));
      j += static_cast<std::size_t>(width);
    };
    switch (p.c) {
      case 'Y':
        take_digits(4, &d->year, 0);
        break;
      case 'y':
        take_digits(2, &d->year, 0);
        if (ok) d->year = v < 50 ? 2000 + v : 1900 + v;
        break;
      case 'b':
        if ((ok = j + 3 <= spec.size())) {
          const int m = DATE_decode_month(spec.substr(j, 3).c_str());
          if ((ok = m > 0)) {
            d->month = m;
            out.append(spec, j, 3);
            j += 3;
          }
        }
        break;
      case 'm':
        take_digits(2, &d->month, 0);
        break;
      case 'd':
        take_digits(2, &d->day, 86400);
        break;
      case 'h':
        take_digits(2, &d->hour, 3600);
        break;
      case 'n':
        take_digits(2, &d->minute, 60);
        break;
      case 'j':
        take_digits(3, &d->julian, 86400);
        break;
      case 'e': {
        const std::string e = text_to_literal(p.next);
        if (st.ext.empty()) st.ext = e;
        out += e;
        break;
      }
      default:
        if (const char* res = path_resource(p.c)) {
          if (full) {
            out += user_dirs(p.next);
          } else {
            out += resource_dir(res);
            after_path = true;
          }
        } else {
          out += text_to_literal(p.next);
        }
        break;
    }
    return ok;  // a field that does not match ends the matching
  });
  if (j < spec.size()) out.append(spec, j, std::string::npos);
  return out;
}

// A name the user gave that names a file that exists is used as it stands: the template
// only reads the date out of it. Pipes, standard streams and "@" names have their own rules.
bool names_existing_file(const std::string& spec) {
  if (spec.empty() || spec[0] == '|' || spec[0] == '@' || is_stdio_name(spec)) return false;
  return FILE_exist(spec.c_str()) && !FILE_is_dir(spec.c_str());
}

// Reads the date fields of template t out of an existing file's name: the template's
// text after its directories is matched against the end of the name. Fields the name
// does not hold are left as they are in *d; false when the name does not fit the template.
bool read_date_from_name(const std::string& name, const std::string& t, DateRec* d) {
  std::string pattern;
  std::vector<char> fields;  // the escape of each capture group
  auto literal = [&](char c) {
    if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) pattern += '\\';
    pattern += c;
  };
  // A directory escape stands for any directories, or none when the name has no more.
  bool after_dir = false;
  walk_template(t, 0, [&](const Piece& p) {
    const bool dir = after_dir;
    after_dir = false;
    if (dir && p.kind == Piece::Text && p.c == '/') {
      pattern += "(?:.*/)?";
      return true;
    }
    if (dir) pattern += ".*";
    switch (p.kind) {
      case Piece::Text:
        if (p.c == '*')
          pattern += ".*";
        else
          literal(p.c == ' ' ? '_' : p.c);
        return true;
      case Piece::Brace:
        after_dir = true;
        return true;
      case Piece::Stray:
      case Piece::Open:
        for (std::size_t k = p.at; k < p.next; ++k) literal(t[k]);
        return true;
      case Piece::Escape:
        break;
    }
    const char* group = nullptr;
    switch (p.c) {
      case 'Y': group = "([0-9]{4})"; break;
      case 'y': case 'm': case 'd': case 'h': case 'n': group = "([0-9]{2})"; break;
      case 'j': group = "([0-9]{3})"; break;
      case 'b': group = "([A-Za-z]{3})"; break;
      default:
        if (path_resource(p.c) != nullptr)
          after_dir = true;
        else
          pattern += "[^/]*";
        return true;
    }
    pattern += group;
    fields.push_back(p.c);
    return true;
  });
  if (after_dir) pattern += ".*";
  pattern.insert(0, "(?:.*/)?");
  if (!st.name_regex || pattern != st.name_pattern) {
    st.name_regex.reset();
    st.name_pattern = pattern;
    try {
      st.name_regex.emplace(pattern);
    } catch (const std::regex_error&) {
      return false;
    }
  }
  std::smatch m;
  try {
    if (name.size() > static_cast<std::size_t>(FILE_NAME_MAX) || !std::regex_match(name, m, *st.name_regex))
      return false;
  } catch (const std::regex_error&) {
    return false;
  }
  for (std::size_t k = 0; k < fields.size(); ++k) {
    const std::string v = m[k + 1].str();
    const int n = std::atoi(v.c_str());
    switch (fields[k]) {
      case 'Y': d->year = n; break;
      case 'y': d->year = n < 50 ? 2000 + n : 1900 + n; break;
      case 'm': d->month = n; break;
      case 'b': d->month = DATE_decode_month(v.c_str()); break;
      case 'd': d->day = n; break;
      case 'h': d->hour = n; break;
      case 'n': d->minute = n; break;
      case 'j': d->julian = n; break;
      default: break;
    }
  }
  return true;
}

// The date a matched name gives: month and day from a day of the year, the full year,
// and the day of the year and weekday once the date is complete.
DateRec complete_date(DateRec d) {
  if (d.julian >= 1 && d.year >= 0) {
    int m = 0, dd = 0;
    if (DATE_julian_monday(d.year, d.julian, &m, &dd) != 0) {
      d.month = m;
      d.day = dd;
    }
  }
  d.year = DATE_full_year(d.year);
  if (d.year >= 0) {
    d.second = 0;
    if (d.month >= 1 && d.day >= 1) {
      d.julian = julian_of(d.year, d.month, d.day);
      d.wday = date_of(secs_of(d)).wday;
    }
  }
  return d;
}

}  // namespace

// ======================================================================
// Conventions

int FILE_set_name(const char* name_in) {
  st.filename.clear();
  st.filename_type = 0;
  st.upath_set = false;
  st.upath.clear();
  st.ext.clear();
  std::string name = name_in != nullptr ? name_in : "none";
  if (stricmp(name.c_str(), "none") == 0) {
    st.conv.clear();
    st.hconv.clear();
    return 0;
  }
  if (name[0] == '@') {
    set_template(name.substr(1), "");
    st.min_size = 0;
    return 1;
  }
  // Key settings ":c=value" follow the name.
  std::size_t colon = name.find(':');
  if (colon != std::string::npos) {
    std::string base = name.substr(0, colon);
    std::size_t p = colon;
    while (p != std::string::npos) {
      std::size_t q = name.find(':', p + 1);
      std::string part = name.substr(p + 1, q == std::string::npos ? std::string::npos : q - p - 1);
      if (part.size() >= 2 && part[1] == '=') {
        FILE_set_key(static_cast<unsigned char>(part[0]), part.c_str() + 2);
        MESS_print(level_debug_key, "KEY: %c = %s\n", part[0], part.c_str() + 2);
      } else {
        base += ':' + part;
      }
      p = q;
    }
    name = base;
  }
  std::ifstream in;
  std::string used;
  const std::vector<std::string> candidates = conv_file_candidates();
  for (const std::string& candidate : candidates) {
    // "~" in file_path or name_conv is the user's home, as for every other file.
    in.open(FILE_add_user_path(candidate));
    if (in.is_open()) {
      used = candidate;
      break;
    }
    in.clear();
  }
  if (!in.is_open()) {
    MESS_print(MESS_WARN, "FILE_set_name: No file name convention file: %s\n",
               candidates.empty() ? "" : candidates.front().c_str());
    set_template(name, "");
    st.min_size = 0;
    return 0;
  }
  MESS_print(level_debug_conv, "Opening name convention file: %s\n", used.c_str());
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() > template_len) line.resize(template_len);
    ConvLine cl;
    if (!parse_conv_line(line, &cl)) continue;
    if (stricmp(cl.name.c_str(), name.c_str()) == 0) {
      MESS_print(MESS_DEBUG, "File name match for: %s\n", name.c_str());
      set_template(cl.tmpl, cl.header);
      st.min_size = cl.min_size;
      return 1;
    }
    if (cl.name.size() < name.size() && strnicmp(cl.name.c_str(), name.c_str(), cl.name.size()) == 0) {
      std::size_t us = name.find_last_of('_');
      st.ext = us != std::string::npos && us >= cl.name.size() ? name.substr(us + 1) : name.substr(cl.name.size());
      MESS_print(MESS_DEBUG, "File name partial match for: %s-%s ext: %s\n", cl.name.c_str(), name.c_str(),
                 st.ext.c_str());
      set_template(cl.tmpl, cl.header);
      st.min_size = cl.min_size;
      return 1;
    }
  }
  MESS_print(MESS_DEBUG, "No file name conversion for: %s\n", name.c_str());
  set_template(name, "");
  st.min_size = 0;
  return 0;
}

int FILE_set_date(const DateRec* date, char* name) {
  try {
    st.want_header = false;
    return make_name(date, name);
  } catch (const std::bad_alloc&) {
    copy_out("", name);
    return 0;
  }
}

int FILE_hdr_set_date(const DateRec* date, char* name) {
  try {
    st.want_header = true;
    int r = make_name(date, name);
    st.want_header = false;
    return r;
  } catch (const std::bad_alloc&) {
    st.want_header = false;
    copy_out("", name);
    return 0;
  }
}

int FILE_set_key(int c, const char* text) {
  if (c < 0 || c > 255) return 0;
  std::string k = text != nullptr ? text : "";
  if (k.size() > FILE_KEY_LEN - 1) k.resize(FILE_KEY_LEN - 1);
  std::replace(k.begin(), k.end(), ' ', '_');
  st.keys[static_cast<std::size_t>(c)] = k;
  return 1;
}

char* FILE_get_key(int c, char* buffer) {
  if (buffer == nullptr) return nullptr;
  copy_out(c >= 0 && c <= 255 ? st.keys[static_cast<std::size_t>(c)] : std::string(), buffer, FILE_KEY_LEN);
  return buffer;
}

int FILE_decode_hour(const char* text, DateRec* date) {
  DateRec d{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  if (!text) {
    if (date) *date = d;
    return 0;
  }
  std::size_t len = std::strlen(text);
  // The fixed-width forms are all digits, so that "3d12" or "-3d6" reach the day form.
  bool digits = len > 0 && std::strspn(text, "0123456789") == len;
  int v = 0;
  if (text[0] == '#') {
    if (read_digits(text, len, 1, 4, v)) {
      d.year = v;
      if (read_digits(text, len, 5, 2, v)) d.month = v;
      if (read_digits(text, len, 7, 2, v)) d.day = v;
      if (read_digits(text, len, 9, 2, v)) d.hour = v;
      if (read_digits(text, len, 11, 2, v)) d.minute = v;
    }
  } else if (len == 6 && digits) {
    if (read_digits(text, len, 0, 2, v)) {
      d.month = v;
      if (read_digits(text, len, 2, 2, v)) {
        d.day = v;
        if (read_digits(text, len, 4, 2, v)) d.hour = v;
      }
    }
  } else if (len == 4 && digits) {
    if (read_digits(text, len, 0, 2, v)) {
      d.day = v;
      if (read_digits(text, len, 2, 2, v)) d.hour = v;
    }
  } else if (len == 3 && digits) {
    if (read_digits(text, len, 0, 1, v)) {
      d.day = v;
      if (read_digits(text, len, 1, 2, v)) d.hour = v;
    }
  } else if (std::strchr(text, 'd')) {
    const char* p = text;
    if (scan_int(p, &v)) {
      d.day = v;
      if (*p == 'd') {
        ++p;
        if (scan_int(p, &v)) {
          d.hour = v;
          if (*p == ':') {
            ++p;
            if (scan_int(p, &v)) d.minute = v;
          }
        }
      }
    }
  } else if (text[0] == ':') {
    const char* p = text + 1;
    if (scan_int(p, &v)) d.minute = v;
  } else if (text[0] == '-' && text[1] == ':') {
    const char* p = text + 2;
    if (scan_int(p, &v)) d.minute = v == INT32_MIN ? INT32_MAX : -v;
  } else {
    const char* p = text;
    if (scan_int(p, &v)) {
      d.hour = v;
      if (*p == ':') {
        ++p;
        if (scan_int(p, &v)) d.minute = v;
      }
      if (text[0] == '-' && d.hour == 0) {
        d.hour = MISSING_INT;
        if (d.minute != MISSING_INT) d.minute = d.minute == INT32_MIN ? INT32_MAX : -d.minute;
      }
    }
  }
  if (date) *date = d;
  return 1;
}

int FILE_conv_hour(const char* text, void* destination) {
  DateRec d;
  const int r = FILE_decode_hour(text, &d);
  FILE_set_time(&d);
  if (destination) *static_cast<DateRec*>(destination) = d;
  return r;
}

int FILE_set_time(const DateRec* date) {
  st.set = date != nullptr ? *date : unknown_date();
  return 1;
}

int FILE_get_time(DateRec* date) {
  if (date == nullptr) return 0;
  *date = st.set;
  return 1;
}

void FILE_reset_time() { st.set = unknown_date(); }
void FILE_reset_state() { st = FilesState{}; }

void FILE_set_late_off(int seconds) { st.late_off = seconds; }
int FILE_get_late_off() { return st.late_off > 0 ? st.late_off : default_period; }
int FILE_get_offset() { return st.late_off < 1 ? 100000 : st.late_off; }
void FILE_set_min_size(int bytes) { st.rmin_size = bytes; }
int FILE_get_min_size() { return st.rmin_size != 0 ? st.rmin_size : st.min_size; }

char* FILE_get_name_conv(char* text) {
  if (text == nullptr) return nullptr;
  std::string s = std::to_string(st.late_off) + " " + (st.conv.empty() ? "-" : st.conv) + " " + (st.hconv.empty() ? "-" : st.hconv);
  copy_out(s, text);
  return text;
}

int FILE_set_name_conv(const char* text) {
  if (text == nullptr) return 0;
  ConvLine cl;
  std::size_t sp = std::string(text).find_first_of(" \t");
  if (sp == std::string::npos) return 0;
  if (!parse_conv_line("x " + std::string(text + sp), &cl)) return 0;
  set_template(cl.tmpl == "-" ? "" : cl.tmpl, cl.header);
  st.late_off = leading_int(text);
  st.filename.clear();
  return 1;
}

void FILE_save_name_conv() {
  st.saved = Saved{st.late_off, st.conv, st.hconv, st.filename, st.ext, st.upath, st.filename_type, st.min_size, st.upath_set};
}

void FILE_restore_name_conv() {
  st.late_off = st.saved.late_off;
  st.conv = st.saved.conv;
  st.hconv = st.saved.hconv;
  st.filename = st.saved.filename;
  st.ext = st.saved.ext;
  st.upath = st.saved.upath;
  st.filename_type = st.saved.filename_type;
  st.min_size = st.saved.min_size;
  st.upath_set = st.saved.upath_set;
}

void FILE_set_def_hours(int hours) { st.def_hours = std::clamp(hours, -100000, 100000) * 3600; }

// ======================================================================
// Input file, file specifications and current files

int FILE_set_current(const char* spec_in, char* name) {
  try {
    std::string spec = spec_in != nullptr ? spec_in : "";
    if (starts_with_ci(spec, "cu")) spec.erase(0, 2);
    if (spec.empty()) spec = "la";
    st.on_clock = spec[0] != '#';
    std::size_t i = 0;
    std::int64_t t = base_time(spec, &i);
    t = apply_override(t);
    int direction = -1;
    std::int64_t off = 0;
    if (read_offset(spec, &i, &off, &direction)) t += off;
    if (i < spec.size() && (spec[i] == 'l' || spec[i] == 'L')) {
      ++i;
      if (i < spec.size() && (spec[i] == 'a' || spec[i] == 'A')) ++i;
      int tries = 500;
      if (i < spec.size() && spec[i] == '#') {
        ++i;
        long n = 0;
        while (i < spec.size() && std::isdigit(static_cast<unsigned char>(spec[i]))) {
          if (n < max_tries) n = n * 10 + (spec[i] - '0');
          ++i;
        }
        tries = static_cast<int>(std::clamp(n, 1L, static_cast<long>(max_tries)));
      }
      std::int64_t found = find_latest(t, tries, direction);
      if (found != MISSING_INT) t = found;
      int d2 = direction;
      std::int64_t off2 = 0;
      if (read_offset(spec, &i, &off2, &d2)) t += off2;
    }
    if (i < spec.size())
      MESS_print(MESS_WARN, "Current file: ignored \"%.40s\"\n", spec.c_str() + i);
    DateRec d = date_of(t);
    make_name(&d, name);
    st.filename_type = 0;
    int period = FILE_get_late_off();
    std::int64_t r = t - ((t % period) + period) % period;
    return static_cast<int>(std::clamp<std::int64_t>(r, INT32_MIN, INT32_MAX));
  } catch (const std::bad_alloc&) {
    copy_out("", name);
    return MISSING_INT;
  }
}

int FILE_on_clock() { return st.on_clock ? 1 : 0; }

int FILE_set_file(const char* spec_in, char* name) {
  st.on_clock = false;
  try {
    std::string spec = spec_in != nullptr ? spec_in : "";
    st.file_date.year = st.file_date.month = st.file_date.day = st.file_date.hour = st.file_date.minute = MISSING_INT;
    if (stricmp(spec.c_str(), "exit") == 0) ZAV_exit(0);
    if (is_current_spec(spec)) {
      FILE_set_current(current_arg(spec).c_str(), name);
      report_current(st.filename.c_str());
      return 1;
    }
    take_date_suffix(&spec);
    auto take = [](int v) { return v >= 0 ? v : MISSING_INT; };
    st.file_date.year = take(st.set.year);
    st.file_date.month = take(st.set.month);
    st.file_date.day = take(st.set.day);
    st.file_date.hour = take(st.set.hour);
    st.file_date.minute = take(st.set.minute);
    st.upath_set = false;
    st.upath.clear();
    const std::string& t = st.want_header ? st.hconv : st.conv;
    int result = 1;
    if (names_existing_file(spec)) {
      st.filename = spec;
      DateRec d = st.file_date;
      d.julian = d.wday = d.second = MISSING_INT;
      read_date_from_name(spec, t, &d);
      st.file_date = complete_date(d);
      st.filename_type = 1;
      // Further files of a sequence are looked for beside this one.
      const int n = t.empty() ? 0 : template_separators(t);
      if (n > 0 && spec.find('/') != std::string::npos) {
        st.upath = leading_dirs(spec, n);
        st.upath_set = true;
      }
      copy_out(st.filename, name);
      return 1;
    }
    if (!name_as_given(spec, t, &result)) {
      DateRec d = st.file_date;
      st.filename = match_template(spec, t, &d);
      st.file_date = complete_date(d);
    }
    st.filename_type = 1;
    if (result == 1 && (spec.empty() || spec[0] != '@')) extract_user_path(st.filename);
    copy_out(st.filename, name);
    return result;
  } catch (const std::bad_alloc&) {
    copy_out("", name);
    return 0;
  }
}

namespace {

// How many answers at the input prompt may name no file before the program gives up.
constexpr int max_prompt_failures = 4;

// A date typed at the input prompt: all digits, the whole "YYYYMMDDHH" or its last digits
// ("YYMMDDHH", "MMDDHH", "DDHH", "HH"), or "YYYYMMDDHHMM". The fields not typed stay
// unknown. 0 when the answer is no date at all, -1 when it is digits of a date that
// cannot be (month 13, hour 24...).
int read_date_answer(const std::string& a, DateRec* d) {
  static constexpr std::size_t lengths[] = {2, 4, 6, 8, 10, 12};
  if (a.empty() || !std::all_of(a.begin(), a.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) ||
      std::find(std::begin(lengths), std::end(lengths), a.size()) == std::end(lengths))
    return 0;
  *d = unknown_date();
  auto two = [&](std::size_t at) { return (a[at] - '0') * 10 + (a[at + 1] - '0'); };
  std::size_t end = a.size();
  if (end == 12) {
    d->minute = two(10);
    end = 10;
  }
  int* fields[] = {&d->hour, &d->day, &d->month};
  for (int* f : fields) {
    if (end < 2) break;
    end -= 2;
    *f = two(end);
  }
  if (end == 4)
    d->year = std::atoi(a.substr(0, 4).c_str());
  else if (end == 2)
    d->year = DATE_full_year(two(0));
  const bool valid = d->hour <= 23 && (d->minute == MISSING_INT || d->minute <= 59) &&
                     (d->day == MISSING_INT || (d->day >= 1 && d->day <= 31)) &&
                     (d->month == MISSING_INT || (d->month >= 1 && d->month <= 12));
  return valid ? 1 : -1;
}

// Whether the fields of want that are known agree with date d (fields d lacks agree).
bool date_fits(const DateRec& want, const DateRec& d) {
  auto fits = [](int w, int v) { return w == MISSING_INT || v == MISSING_INT || w == v; };
  return fits(want.year, d.year) && fits(want.month, d.month) && fits(want.day, d.day) && fits(want.hour, d.hour) &&
         fits(want.minute, d.minute);
}

// The name the convention gives a date typed at the prompt: the latest file there is whose
// date has the fields typed, or, when there is none, the most recent such time before the
// current one (named, so that the user hears where it was looked for).
void name_date_answer(const DateRec& want) {
  std::int64_t best = MISSING_INT;
  const std::string pattern = listing_pattern(st.conv);
  glob_t found{};
  if (!st.conv.empty() && glob(pattern.c_str(), GLOB_TILDE, nullptr, &found) == 0) {
    for (std::size_t i = 0; i < found.gl_pathc; ++i) {
      DateRec d = unknown_date();
      if (!read_date_from_name(found.gl_pathv[i], st.conv, &d) || !date_fits(want, d)) continue;
      d = complete_date(d);
      if (d.year < 0) continue;
      const std::int64_t t = secs_of(d);
      if (best == MISSING_INT || t > best) best = t;
    }
  }
  globfree(&found);
  if (best == MISSING_INT) {
    // The typed fields end with the hour: the first field not typed is taken from the
    // current time, one step earlier when that would lie ahead of it.
    std::size_t i = 0;
    const std::int64_t now = base_time("", &i);
    const DateRec base = date_of(now);
    DateRec d = want;
    if (d.minute == MISSING_INT) d.minute = 0;
    d.second = 0;
    const bool no_year = d.year == MISSING_INT, no_month = d.month == MISSING_INT, no_day = d.day == MISSING_INT;
    if (no_year) d.year = base.year;
    if (no_month) d.month = base.month;
    if (no_day) d.day = base.day;
    if (secs_of(d) > now) {
      if (no_day) {
        d = date_of(secs_of(d) - 86400);
      } else if (no_month && --d.month < 1) {
        d.month = 12;
        --d.year;
      } else if (no_year && !no_month) {
        --d.year;
      }
    }
    best = secs_of(d);
  }
  const DateRec d = date_of(best);
  st.filename.clear();
  make_name(&d, nullptr);
}

}  // namespace

int FILE_get_file(const char* prompt, char* name) {
  std::vector<std::string> names = positional_names();
  if (!names.empty()) {
    if (stricmp(names[0].c_str(), "list") == 0) {
      FILE_list_file();
      ZAV_exit(0);
    }
    FILE_set_file(names[0].c_str(), name);
    bool ok = present(st.filename);
    if (!ok && names.size() == 1) MESS_print(MESS_WARN, "File not found: %s\n", st.filename.c_str());
    return ok ? 1 : 0;
  }
  const char* cur = RES_get("current");
  if (cur != nullptr || FLAG_batch()) {
    FILE_set_current(cur != nullptr ? cur : "la", name);
    if (!present(st.filename)) {
      // The first hour of a span may be missing like any other: the plot skips (and
      // reports) it.
      if (FILE_num_hour() != 0) return 0;
      MESS_print(MESS_WARN, "File not found: %s\n", st.filename.c_str());
      ZAV_exit(ZAV_STATUS_INPUT);
    }
    report_current(st.filename.c_str());
    return 1;
  }
  MESS_print(MESS_PRINT, "List of available files:\n");
  FILE_list_file();
  MESS_print(MESS_PRINT, "\n");
  int failures = 0;
  while (true) {
    char answer[80];
    ZAV_prompts(prompt != nullptr ? prompt : "Enter the filename: ", answer, 79);
    std::string a = answer;
    if (stricmp(a.c_str(), "exit") == 0) ZAV_exit(0);
    if (stricmp(a.c_str(), "list") == 0) {
      FILE_list_file();
      continue;
    }
    if (a == "?" || stricmp(a.c_str(), "help") == 0) {
      MESS_print(MESS_PRINT,
                 "A file name, a date of the naming convention (YYYYMMDDHH or a part of it), \"la\" for the"
                 " latest file, \"list\" for the files there are, or \"exit\"\n");
      continue;
    }
    DateRec typed{};
    const int date = names_existing_file(a) ? 0 : read_date_answer(a, &typed);
    if (date < 0) {
      MESS_print(MESS_WARN, "Not a date: %s (YYYYMMDDHH, or its last digits: MMDDHH, DDHH or HH)\n", a.c_str());
    } else if (date > 0) {
      // A date goes through the convention, as a name made by the program would.
      name_date_answer(typed);
    } else if (is_current_spec(a)) {
      FILE_set_current(current_arg(a).c_str(), name);
      report_current(st.filename.c_str());
    } else {
      FILE_set_file(a.c_str(), name);
    }
    if (date >= 0 && present(st.filename)) {
      if (date > 0) report_current(st.filename.c_str());
      copy_out(st.filename, name);
      return 1;
    }
    if (date >= 0) MESS_print(MESS_WARN, "File not found: %s\n", st.filename.c_str());
    if (++failures >= max_prompt_failures) {
      MESS_print(MESS_ERROR, "No input file after %d answers: the program ends\n", max_prompt_failures);
      ZAV_exit(ZAV_STATUS_INPUT);
    }
  }
}

int FILE_get_date(DateRec* date) {
  if (date == nullptr) return 0;
  *date = st.file_date;
  return 1;
}

char* FILE_get_filename(char* buffer) {
  copy_out(st.filename, buffer);
  return buffer;
}

const std::string& FILE_filename() { return st.filename; }

void FILE_set_filename(const char* name) {
  st.filename = name != nullptr ? name : "";
  st.filename_type = 1;
}

// ======================================================================
// Sequences

int FILE_num_hour() {
  const char* v = RES_get("num_hour");
  if (v == nullptr || *v == '\0') return st.def_hours;
  std::string s = v;
  const std::string count = s.substr(0, s.find(','));
  // [-]hours[:minutes]: anything else is a slip that would silently view one hour.
  const std::size_t digits = count.find_first_not_of("0123456789", count[0] == '-' ? 1 : 0);
  const bool well_formed = !count.empty() && count != "-" &&
                           (digits == std::string::npos ||
                            (count[digits] == ':' && digits + 1 < count.size() &&
                             count.find_first_not_of("0123456789", digits + 1) == std::string::npos));
  if (!well_formed) {
    static bool told_bad = false;
    if (!told_bad) MESS_print(MESS_WARN, "Invalid number of hours \"%.40s\" (hours[:minutes][,step]): one hour is viewed\n", s.c_str());
    told_bad = true;
    return 0;
  }
  const int span = parse_span(count);
  // A year of hourly files is the most anyone views at once; more is a slip of the keys.
  if (std::abs(static_cast<long>(span)) <= max_span) return span;
  static bool told = false;
  if (!told) MESS_print(MESS_WARN, "Number of hours %s is more than a year: %d hours are viewed\n", s.c_str(), max_span / 3600);
  told = true;
  return span < 0 ? -max_span : max_span;
}

int FILE_get_skip() {
  const char* v = RES_get("num_hour");
  if (v != nullptr) {
    const char* comma = std::strchr(v, ',');
    if (comma != nullptr) {
      int s = parse_span(comma + 1);
      if (s < 0) s = -s;
      if (s > 0) return s;
    }
  }
  return FILE_get_offset();
}

namespace {

bool holds_hours(const std::string& name) {
  const int kind = FILE_type(name.c_str());
  return kind == FILE_METAR_COLLECTION || kind == FILE_METAR_HOURLY || kind == FILE_METAR_LINES ||
         kind == FILE_STATION_TABLE;
}

}  // namespace

int FILE_first(const DateRec* date) {
  st.files = positional_names();
  if (!st.files.empty() && is_current_spec(st.files[0])) st.files.clear();
  st.file_ind = 0;
  st.numfile = static_cast<int>(st.files.size());
  st.first_date = date != nullptr ? *date : st.file_date;
  st.first_name = st.filename;
  st.last_in_sequence.clear();
  st.first_done = false;
  st.num_hour = FILE_num_hour();
  st.offset = FILE_get_offset();
  st.skip = FILE_get_skip();
  int q = st.skip / st.offset;
  if (q > 0) st.offset *= q;
  st.secs = st.num_hour < 0 ? ((st.num_hour + 1 - st.offset) / st.offset) * st.offset : 0;
  st.nsecs = static_cast<int>(secs_of(st.first_date));
  return 1;
}

int FILE_set_date_off(const DateRec* date, int seconds, char* name) {
  DateRec base = date != nullptr ? *date : st.first_date;
  std::int64_t t = secs_of(base) + seconds;
  DateRec d = date_of(t);
  st.nsecs = static_cast<int>(std::clamp<std::int64_t>(t, INT32_MIN, INT32_MAX));
  return FILE_set_date(&d, name);
}

int FILE_get_next(char* name) {
  if (st.files.size() > 1 || (st.files.size() == 1 && st.num_hour == 0)) {
    if (st.file_ind >= st.files.size()) return 0;
    FILE_set_file(st.files[st.file_ind++].c_str(), name);
    return 1;
  }
  if (st.num_hour == 0) {
    if (st.first_done) return 0;
    st.first_done = true;
    if (!st.first_name.empty()) {
      st.filename = st.first_name;
      copy_out(st.filename, name);
    } else {
      FILE_set_date(&st.first_date, name);
    }
    return 1;
  }
  if (st.num_hour > 0 && st.secs > st.num_hour) return 0;
  if (st.num_hour < 0 && st.secs > 0) return 0;
  if (st.files.size() == 1 && st.first_date.year != MISSING_INT && holds_hours(st.first_name)) {
    // A file of reports or a station table holds every hour it covers: each step of the
    // sequence is that file at the step's hour, which its reader takes from file_date.
    const std::int64_t t = secs_of(st.first_date) + st.secs;
    st.file_date = date_of(t);
    st.nsecs = static_cast<int>(std::clamp<std::int64_t>(t, INT32_MIN, INT32_MAX));
    st.filename = st.first_name;
    copy_out(st.filename, name);
    st.secs += st.offset;
    return 1;
  }
  FILE_set_date_off(&st.first_date, st.secs, name);
  if (!st.last_in_sequence.empty() && st.filename == st.last_in_sequence) {
    // Fixed date fields (the hour option) make every step the same file: stop there.
    MESS_print(MESS_WARN, "Every hour of the sequence is the file %s: it is read once\n", st.filename.c_str());
    return 0;
  }
  st.last_in_sequence = st.filename;
  MESS_print(MESS_DEBUG, "NEXT: %d %d %d %d %d %s\n", st.file_date.year, st.file_date.month, st.file_date.day,
             st.file_date.hour, st.secs, st.filename.c_str());
  st.secs += st.offset;
  return 1;
}

int FILE_get_num_file() {
  if (st.files.size() > 1) return static_cast<int>(st.files.size()) - 1;
  return st.num_hour;
}

int FILE_next_file(char* name) {
  std::int64_t t = secs_of(st.first_date) + st.offset;
  st.first_date = date_of(t);
  return FILE_set_date(&st.first_date, name);
}

int FILE_prev_file(char* name) {
  std::int64_t t = secs_of(st.first_date) - st.offset;
  st.first_date = date_of(t);
  return FILE_set_date(&st.first_date, name);
}

int FILE_get_nsecs() { return st.nsecs; }
void FILE_set_nsecs(int seconds) { st.nsecs = seconds; }
int FILE_get_num_hour() { return st.num_hour; }

namespace {

// The lines of the convention file in use (none when there is no such file).
std::vector<ConvLine> convention_lines() {
  std::vector<ConvLine> lines;
  for (const std::string& candidate : conv_file_candidates()) {
    std::ifstream in(FILE_add_user_path(candidate));
    if (!in.is_open()) continue;
    std::string line;
    while (std::getline(in, line)) {
      if (line.size() > template_len) line.resize(template_len);
      ConvLine cl;
      if (parse_conv_line(line, &cl)) lines.push_back(std::move(cl));
    }
    break;
  }
  return lines;
}

std::size_t glob_count(const std::string& pattern) {
  glob_t found{};
  const std::size_t n = glob(pattern.c_str(), GLOB_TILDE, nullptr, &found) == 0 ? found.gl_pathc : 0;
  globfree(&found);
  return n;
}

std::string directory_of(const std::string& pattern) {
  const std::size_t slash = pattern.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : pattern.substr(0, slash);
}

// A listing that found nothing says where it looked, and which conventions would find
// files: a forecaster whose data lie elsewhere learns the name to type.
void report_no_match(const std::string& pattern) {
  const std::vector<ConvLine> lines = convention_lines();
  std::string name;
  for (const ConvLine& cl : lines)
    if (cl.tmpl.substr(0, template_len) == st.conv) {
      name = cl.name;
      break;
    }
  MESS_print(MESS_PRINT, "No files match %s\n", pattern.c_str());
  if (name.empty())
    MESS_print(MESS_PRINT, "Searched directory %s\n", directory_of(pattern).c_str());
  else
    MESS_print(MESS_PRINT, "Searched convention %s in directory %s\n", name.c_str(), directory_of(pattern).c_str());
  std::vector<std::string> finding;
  for (const ConvLine& cl : lines) {
    if (cl.tmpl.substr(0, template_len) == st.conv) continue;
    const std::string other = listing_pattern(cl.tmpl);
    const std::size_t n = glob_count(other);
    if (n > 0)
      finding.push_back(cl.name + " (" + std::to_string(n) + (n == 1 ? " file in " : " files in ") +
                        directory_of(other) + ")");
  }
  if (finding.empty()) {
    MESS_print(MESS_PRINT, "No naming convention finds files\n");
    return;
  }
  MESS_print(MESS_PRINT, "Conventions that find files:\n");
  for (const std::string& f : finding) MESS_print(MESS_PRINT, "  %s\n", f.c_str());
  MESS_print(MESS_PRINT, "Start the program with -if NAME to read the files of one of them\n");
}

}  // namespace

int FILE_list_file() {
  if (st.conv.empty()) {
    MESS_print(MESS_PRINT, "No file name convention selected\n");
    return 0;
  }
  std::string pattern = listing_pattern(st.conv);
  MESS_print(MESS_DEBUG, "SEARCH: %s\n", pattern.c_str());
  std::string cmd = "ls -x " + pattern + " 2>/dev/null";
  std::fflush(stdout);
  int rc = std::system(cmd.c_str());
  if (rc != 0) report_no_match(pattern);
  return rc == 0 ? 1 : 0;
}

// ======================================================================
// File services

namespace {

// ---- kinds of text by their first lines ----

bool text_blank(unsigned char c) { return c <= ' ' || c >= 0x7f; }
bool text_digit(char c) { return c >= '0' && c <= '9'; }
bool text_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool text_digits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), text_digit); }

// A header of a table: at least four comma-separated names and nothing else.
bool table_header(std::string_view s) {
  std::size_t fields = 1;
  for (const char c : s) {
    if (c == ',') {
      ++fields;
    } else if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ' ' || c == '"' || c == '.' ||
                 c == '(' || c == ')' || c == '-' || c == '/' || c == '\r')) {
      return false;
    }
  }
  return fields >= 4 && std::any_of(s.begin(), s.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

bool front_keyword(std::string_view w) {
  return w == "HIGHS" || w == "LOWS" || w == "COLD" || w == "WARM" || w == "STNRY" || w == "OCFNT" || w == "TROF";
}

}  // namespace

void FILE_line_words(std::string_view line, std::size_t max, std::vector<std::string_view>* words) {
  words->clear();
  std::size_t p = 0;
  while (p < line.size() && words->size() < max) {
    while (p < line.size() && text_blank(static_cast<unsigned char>(line[p]))) ++p;
    std::size_t e = p;
    while (e < line.size() && !text_blank(static_cast<unsigned char>(line[e]))) ++e;
    if (e > p) words->push_back(line.substr(p, e - p));
    p = e;
  }
}

bool FILE_bulletin_heading(const std::vector<std::string_view>& w) {
  if (w.size() < 3 || w.size() > 4) return false;
  const std::string_view t = w[0], o = w[1], d = w[2];
  // T1T2A1A2ii; the number ii is left out of some collectives' headings ("SAEW KAWN 011200").
  if ((t.size() != 6 && t.size() != 4) || !std::all_of(t.begin(), t.begin() + 4, text_upper) ||
      (t.size() == 6 && (!text_digit(t[4]) || !text_digit(t[5]))))
    return false;
  if (o.size() != 4 || !std::all_of(o.begin(), o.end(), text_upper) || d.size() != 6 || !text_digits(d)) return false;
  if (w.size() == 3) return true;
  const std::string_view b = w[3];
  return b == "COR" || (b.size() == 3 && std::all_of(b.begin(), b.end(), text_upper));
}

bool FILE_report_start(const std::vector<std::string_view>& w) {
  std::size_t k = 0;
  if (k < w.size() && (w[k] == "METAR" || w[k] == "SPECI")) ++k;
  if (k < w.size() && w[k] == "COR") ++k;
  if (k + 1 >= w.size()) return false;
  const std::string_view id = w[k], t = w[k + 1];
  if (id.size() != 4 || !text_upper(id[0]) ||
      !std::all_of(id.begin() + 1, id.end(), [](char c) { return text_upper(c) || text_digit(c); }))
    return false;
  return (t.size() == 7 && t[6] == 'Z' && text_digits(t.substr(0, 6))) || t == "NIL" || t == "NIL=";
}

bool FILE_date_line(std::string_view s, DateRec* date) {
  if (s.size() != 16 || s[4] != '/' || s[7] != '/' || s[10] != ' ' || s[13] != ':' || !text_digits(s.substr(0, 4)) ||
      !text_digits(s.substr(5, 2)) || !text_digits(s.substr(8, 2)) || !text_digits(s.substr(11, 2)) ||
      !text_digits(s.substr(14, 2)))
    return false;
  auto two = [&](std::size_t k) { return (s[k] - '0') * 10 + (s[k + 1] - '0'); };
  DATE_init(date);
  date->year = two(0) * 100 + two(2);
  date->month = two(5);
  date->day = two(8);
  date->hour = two(11);
  date->minute = two(14);
  return date->month >= 1 && date->month <= 12 && date->day >= 1 && date->day <= 31 && date->hour <= 23 &&
         date->minute <= 59;
}

int FILE_text_kind(const char* head, std::size_t size) {
  if (head == nullptr) return -1;
  const std::string_view text(head, size);
  // The first non-blank lines, at most this many, decide.
  constexpr std::size_t kLines = 40;
  std::vector<std::string_view> lines;
  bool framed = false;
  std::size_t p = 0;
  while (p < text.size() && lines.size() < kLines) {
    std::size_t e = p;
    while (e < text.size() && text[e] != '\n' && text[e] != '\r') ++e;
    std::string_view line = text.substr(p, e - p);
    p = e + 1;
    if (line.find('\x01') != std::string_view::npos) framed = true;
    while (!line.empty() && text_blank(static_cast<unsigned char>(line.front()))) line.remove_prefix(1);
    while (!line.empty() && text_blank(static_cast<unsigned char>(line.back()))) line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
  }
  bool valid = false, fronts = false, heading = false, report = false;
  std::vector<std::string_view> w;
  DateRec date;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    FILE_line_words(lines[k], 8, &w);
    if (w.empty()) continue;
    if (w[0] == "VALID" && w.size() > 1 && w[1].size() >= 6 && text_digits(w[1].substr(0, 6))) valid = true;
    if (front_keyword(w[0])) fronts = true;
    if (lines[k].find("FRONTAL POSITIONS") != std::string_view::npos) fronts = valid = true;
    if (FILE_bulletin_heading(w)) heading = true;
    if (FILE_report_start(w)) report = true;
    if (k == 0 && FILE_date_line(lines[k], &date) && lines.size() > 1) {
      FILE_line_words(lines[1], 8, &w);
      if (FILE_report_start(w)) return FILE_METAR_HOURLY;
    }
    if (k < 20 && !heading && !report && table_header(lines[k])) return FILE_STATION_TABLE;
  }
  if (valid && fronts) return FILE_FRONT_BULLETIN;
  if ((heading || framed) && report) return FILE_METAR_COLLECTION;
  if (report) return FILE_METAR_LINES;
  return -1;
}

int FILE_type(const char* name) {
  if (name == nullptr || is_stdio_name(name)) return -1;
  std::FILE* f = FILE_open(name, "r");
  if (f == nullptr) {
    const char* dash = std::strrchr(name, '-');
    if (dash == nullptr || dash == name || name[0] == '|') return -1;
    std::string shorter(name, static_cast<std::size_t>(dash - name));
    f = FILE_open(shorter.c_str(), "r");
    if (f == nullptr) return -1;
  }
  // Enough of the start of the file for the first few dozen lines of text.
  char head[8192];
  const std::size_t n = std::fread(head, 1, sizeof head, f);
  FILE_close(f);
  const std::string_view h(head, n);
  struct Magic {
    const char* text;
    int type;
  };
  static const Magic magics[] = {{"ZAVSFC", 11}, {"ZAVUPA", 12}, {"ZAVRAW", 5},
                                 {"ZAVGRID", 6}, {"ZAVMETA", 8}, {"ZAVIMG", 9}};
  for (const Magic& m : magics)
    if (h.substr(0, std::strlen(m.text)) == m.text) return m.type;
  return FILE_text_kind(head, n);
}

int FILE_overwrite(const char* name, int mode) {
  if (name == nullptr || is_stdio_name(name) || !FILE_exist(name)) return 1;
  int fp = FLAG_get(FLAG_FILE_PARAM);
  if (fp >= FILE_PARAM_OVER && fp <= FILE_PARAM_USE) return fp;
  if (FLAG_batch()) return FILE_PARAM_USE;
  std::string shown = name;
  if (shown.size() > 200) shown = shown.substr(0, 200) + "...";
  char prompt[300];
  char answer[8];
  if (mode == 1) {
    std::snprintf(prompt, sizeof prompt, "%s: exists overwrite (Y,N,Use,Over): ", shown.c_str());
    ZAV_prompts(prompt, answer, 7);
    char a = static_cast<char>(std::toupper(static_cast<unsigned char>(answer[0])));
    return (a == 'Y' || a == 'O') ? 1 : 3;
  }
  if (mode == 2) {
    std::snprintf(prompt, sizeof prompt, "%s: exists overwrite (Y,N,Use,Over,App): ", shown.c_str());
    ZAV_prompts(prompt, answer, 7);
    char a = static_cast<char>(std::toupper(static_cast<unsigned char>(answer[0])));
    if (a == 'Y' || a == 'O') return 1;
    if (a == 'A') return 2;
    return 3;
  }
  return 0;
}
