// Surface data files: form detection, the two text forms, the netCDF report and station
// forms, and the plot loop's one open file.
#include "surface/sfc_read.h"

#include <netcdf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/fileio.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "files/cdf.h"
#include "files/files.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "surface/wx_tool.h"

namespace {

// Report lines are a few hundred characters; anything past this is discarded unread so
// that a hostile file cannot make us hold an arbitrarily long line.
constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kCommentMax = 69;
constexpr std::size_t kWxMax = 19;

// A netCDF variable as found in the header; id -1 when absent or of an unusable shape.
struct CdfVar {
  int id = -1;
  int type = 0;
  int rank = 0;
  long len[CDF_MAX_DIMS] = {};
  float fill = NC_FILL_FLOAT;
};

// Report form.
struct ReportVars {
  CdfVar id, region, time, lat, lon, elev, t, td, tmax, tmin, tmax6, tmin6, psl, altim, spd, gust,
      dir, vis, wx, zcl, cc, ptend, delp, precip, reftime, snow, sunshine, cloudtype, sst, wave_per,
      wave_hgt, remarks;
};

// Station form.
struct StationVars {
  CdfVar id, region, wx, cld, intdata, intname, intunit, fltdata, fltname, fltunit;
};

// Files read whole at opening (report collections, station tables, bulletins): the reports
// of the hour chosen and that hour.
struct ReportFile {
  std::vector<sfc_report> reports;
  DateRec date{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
};

// One surface file at a time: how it is open, where the reader stands in it, and the plot
// loop's view of it.
struct SfcState {
  int form = 0;
  int access_mode = 0;
  FILE* stream = nullptr;
  int cdf_id = -1;
  // Input that cannot be read twice (a command's output, standard input) is copied to a file
  // of its own first: reports are read by position and the netCDF library needs a file.
  std::string spool;
  int stat_num = 0;        // index of the last report read
  bool have_read = false;  // stat_num names a report that was read
  long last_offset = -1;   // where the last text report began
  long data_offset = 0;    // first report line (after the header)
  int next_line = 0;       // report index the text stream stands at
  // The text reports parsed so far, in file order, and where each began: the checks read the
  // whole file before the plot reads it again, and the second pass parses nothing.
  std::vector<sfc_report> parsed;
  std::vector<long> parsed_at;
  DateRec file_date{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  int num_station = 0;
  float missing_val_f = MISSING;
  int missing_val_i = MISSING_INT;
  char missing_val_c = '\0';
  long remarks_len = 0;
  bool version = false;
  int metric_flag = 0, miss_dash_flag = 0, print_flag = 0;
  ReportFile report_file;
  ReportVars rv;
  StationVars sv;
  // The plot loop's open file.
  int cvt_fd = -1;
  int cvt_num = 0;
  sfc_info info{};
  std::string open_name;  // the name the open file was opened by
  std::vector<int> kept;  // the reports of the open file that the plot loop reads, in file order
  bool checked = false;   // kept holds what the checks left (else every report is read)
  // Stations that the station database does not know, reporting without a position, are
  // named once a run: those already named, and those found since.
  std::set<std::string> unknown_named;
  std::set<std::string> unknown_new;
};
SfcState sfc;

// The reader and the checks of the reports a higher module registers. Kept out of the record:
// a reset of this module must not undo another module's registration.
struct {
  SfcReportReader reader = nullptr;
  SfcFileCheck file = nullptr;
  SfcReportCheck report = nullptr;
} hooks;

bool missing(float v) { return v == MISSING; }

// ---- text scanning ----

// ' ', '\t', '\n', '\v', '\f' and '\r', as one bit test: every character of a report passes here.
bool is_blank(char c) {
  constexpr std::uint64_t blanks = (1ULL << ' ') | (1ULL << '\t') | (1ULL << '\n') | (1ULL << '\v') | (1ULL << '\f') | (1ULL << '\r');
  const auto u = static_cast<unsigned char>(c);
  return u <= ' ' && ((blanks >> u) & 1U) != 0;
}
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A cursor over one report line.
struct Scan {
  const char* p;
  const char* end;

  bool done() const { return p >= end; }
  char peek() const { return p < end ? *p : '\0'; }
  void skip_blanks() {
    while (p < end && is_blank(*p)) ++p;
  }
  // The next blank-separated token (empty at the end of the line).
  std::string_view token() {
    skip_blanks();
    const char* b = p;
    while (p < end && !is_blank(*p)) ++p;
    return {b, static_cast<std::size_t>(p - b)};
  }
  void skip_token() {
    while (p < end && !is_blank(*p)) ++p;
  }
  bool lit(char c) {
    if (p < end && *p == c) {
      ++p;
      return true;
    }
    return false;
  }
  // A decimal number: sign, digits, optional fraction; no exponents, no "inf"/"nan", so
  // hostile text can only give ordinary finite values. At most `width` characters.
  bool number(double* value, bool fraction = true, std::size_t width = 64) {
    const char* q = p;
    const char* lim = std::min(end, p + width);
    bool neg = false;
    if (q < lim && (*q == '-' || *q == '+')) neg = *q++ == '-';
    double v = 0.0;
    int digits = 0;
    while (q < lim && is_digit(*q)) v = v * 10.0 + (*q++ - '0'), ++digits;
    if (fraction && q < lim && *q == '.' && q + 1 < lim && is_digit(q[1])) {
      ++q;
      double scale = 0.1;
      while (q < lim && is_digit(*q)) v += (*q++ - '0') * scale, scale /= 10.0, ++digits;
    }
    if (digits == 0) return false;
    *value = neg ? -v : v;
    p = q;
    return true;
  }
  // An integer of at most width characters (sign included) after optional blanks.
  bool integer(int* value, std::size_t width = 12) {
    skip_blanks();
    double v = 0.0;
    if (!number(&v, false, width) || std::fabs(v) > 2e9) return false;
    *value = static_cast<int>(v);
    return true;
  }
};

// The whole token as a number; false for anything else (the field then stays missing).
bool token_number(std::string_view t, double* value, bool fraction = true) {
  Scan s{t.data(), t.data() + t.size()};
  return !t.empty() && s.number(value, fraction) && s.done() && std::fabs(*value) < 1e9;
}
bool token_int(std::string_view t, int* value) {
  double v = 0.0;
  if (!token_number(t, &v, false)) return false;
  *value = static_cast<int>(v);
  return true;
}

bool token_end(const Scan& s) { return s.done() || is_blank(*s.p) || *s.p == '$'; }

// Identifier: at most 10 characters; longer identifiers also give a WMO number.
void set_id(sfc_report* r, std::string_view id) {
  copy_bounded(r->id, sizeof r->id, id.substr(0, 10));
  const std::size_t n = std::strlen(r->id);
  if (n <= 4) return;
  // Ten characters at most, so the number always fits a long.
  const long v = std::strtol(r->id, nullptr, 10);
  r->wmo = (v > 2147483647L || v < -2147483647L) ? 0 : static_cast<int>(v);
}

// ---- value codes shared by the text forms ----

void decode_wind(int w, bool long_form, sfc_report* r) {
  if (w < 0) return;
  if (long_form && w > 4999) {
    // A direction beyond 360 (written 990) is a variable wind: its speed without a direction.
    if (w / 1000 <= 360) r->wdir = static_cast<float>(w / 1000);
    r->wspd = static_cast<float>(w % 1000);
  } else {
    r->wdir = static_cast<float>((w / 100) * 10);
    r->wspd = static_cast<float>(w % 100);
  }
}

float decode_alt(int a) {
  if (a < 0) return MISSING;
  if (a <= 500) return 30.0f + a / 100.0f;
  if (a < 1000) return 20.0f + a / 100.0f;
  return a / 100.0f;
}

float decode_slp3(int s, float alt, float temp) {
  if (s < 0) return MISSING;
  if (s >= 1000) return s / 10.0f;
  if (s > 500) {
    float v = 900.0f + s / 10.0f;
    if ((!missing(alt) && alt > 30.7f) || (!missing(temp) && temp < -10.0f)) v += 100.0f;
    return v;
  }
  float v = 1000.0f + s / 10.0f;
  if (!missing(alt) && alt < 28.4f) v -= 100.0f;
  return v;
}

float decode_slp2(int s) {
  if (s < 0) return MISSING;
  if (s >= 1000) return s / 10.0f;
  if (s <= 500) return 1000.0f + s / 10.0f;
  return 900.0f + s / 10.0f;
}

// An extreme temperature without a kind goes to the maximum for reports of the night and
// morning hours, to the minimum otherwise.
void set_extreme(sfc_report* r, float t) {
  const int hour = sfc.file_date.hour;
  if (hour < 10 || hour > 21)
    r->maxt = t;
  else
    r->mint = t;
}

void set_ship_position(sfc_report* r, double lat10, double lon10) {
  r->lat = static_cast<float>(lat10 / 10.0);
  r->lon = static_cast<float>(lon10 / 10.0);
  copy_bounded(r->region, sizeof r->region, "SHIP");
  r->elev = 0.0f;
}

// ---- text form 3 ----

// Cloud layers "25B,60:8"; "-99M" first is an unreported sky.
void decode_clouds(std::string_view t, sfc_report* r) {
  int n = 0;
  std::size_t pos = 0;
  while (pos <= t.size() && n < 5) {
    std::size_t comma = t.find(',', pos);
    std::string_view layer = t.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
    Scan s{layer.data(), layer.data() + layer.size()};
    double h = 0.0;
    if (!s.number(&h, true) || std::fabs(h) > 1e6) break;
    s.lit(':');
    if (s.done() || is_blank(*s.p)) break;
    const char cover = *s.p;
    if (cover == 'M' && n > 0) break;
    r->cld_hgt[n] = h == -99.0 ? MISSING : static_cast<float>(h * 100.0);
    r->cld_cov[n] = cover;
    ++n;
    if (comma == std::string_view::npos) break;
    pos = comma + 1;
  }
  r->ncld = n;
  if (n > 0 && r->cld_cov[0] == 'M') {
    r->cld_hgt[0] = MISSING;
    r->cld_cov[0] = ' ';
    r->ncld = 0;
  }
}

// One optional group after its letter; false when it does not match.
bool group_number(Scan& s, float* out, double scale) {
  double v = 0.0;
  s.skip_blanks();
  if (!s.number(&v) || !token_end(s) || std::fabs(v) > 1e9) return false;
  *out = static_cast<float>(v / scale);
  return true;
}

bool read_group(char letter, Scan& s, sfc_report* r) {
  switch (letter) {
    case '@': {
      int t = 0;
      if (!s.integer(&t, 8) || !token_end(s)) return false;
      r->time = t;
      return true;
    }
    case 'L': {
      double lat = 0.0, lon = 0.0;
      s.skip_blanks();
      if (!s.number(&lat) || !s.lit(',') || !s.number(&lon) || !token_end(s)) return false;
      if (std::fabs(lat) > 1e6 || std::fabs(lon) > 1e6) return false;
      set_ship_position(r, lat, lon);
      return true;
    }
    case 'P': {
      if (s.done() || !is_digit(*s.p)) return false;
      const int code = *s.p++ - '0';
      s.skip_blanks();
      double v = 0.0;
      if (!s.number(&v) || !token_end(s) || std::fabs(v) > 1e6) return false;
      r->ptype = code;
      r->ptend = static_cast<float>(v / 10.0);
      return true;
    }
    case 'Q': return group_number(s, &r->prec3, 100.0);
    case 'r': return group_number(s, &r->prec6, 100.0);
    case 'q': return group_number(s, &r->prec12, 100.0);
    case 'R': return group_number(s, &r->prec24, 100.0);
    case 'X': return group_number(s, &r->maxt, 1.0);
    case 'x': return group_number(s, &r->maxt6, 1.0);
    case 'N': return group_number(s, &r->mint, 1.0);
    case 'n': return group_number(s, &r->mint6, 1.0);
    case 'T': {
      float t = MISSING;
      if (!group_number(s, &t, 1.0)) return false;
      set_extreme(r, t);
      return true;
    }
    case 'S': return group_number(s, &r->scover, 1.0);
    case 'C': {
      if (s.end - s.p < 3 || std::any_of(s.p, s.p + 3, [](char c) { return is_blank(c) || c == '$'; }))
        return false;
      // A solidus is a type not observed, as the writer puts it for a blank.
      auto type = [](char c) { return c == '/' ? ' ' : c; };
      r->lcld = type(s.p[0]), r->mcld = type(s.p[1]), r->hcld = type(s.p[2]);
      s.p += 3;
      return token_end(s);
    }
    case 'G': return group_number(s, &r->wgust, 1.0);
    case 's': return group_number(s, &r->solar, 1.0);
    case 't': return group_number(s, &r->sst, 1.0);
    case 'p': return group_number(s, &r->wave_per, 1.0);
    case 'h': return group_number(s, &r->wave_hgt, 1.0);
    case '#': {
      const char* b = s.p;
      while (s.p < s.end && *s.p != '$') ++s.p;
      std::string_view text(b, static_cast<std::size_t>(s.p - b));
      while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
      copy_bounded(r->comment, std::min(sizeof r->comment, kCommentMax + 1), text);
      return true;
    }
    default: return false;
  }
}

void read_text3(Scan& s, sfc_report* r) {
  r->type = 1;
  double v = 0.0;
  int i = 0;
  if (token_number(s.token(), &v) && v != -99.0) r->temp = static_cast<float>(v / 10.0);
  if (token_number(s.token(), &v) && v != -99.0) r->dewp = static_cast<float>(v / 10.0);
  if (token_int(s.token(), &i)) decode_wind(i, true, r);
  if (token_int(s.token(), &i)) r->alt = decode_alt(i);
  if (token_int(s.token(), &i)) r->slpr = decode_slp3(i, r->alt, r->temp);
  if (token_number(s.token(), &v) && v != -99.0) r->vis = static_cast<float>(v);
  if (std::string_view c = s.token(); !c.empty()) decode_clouds(c, r);
  if (std::string_view w = s.token(); !w.empty()) {
    copy_bounded(r->wx, kWxMax + 1, w);
    if (r->wx[0] == '-') r->wx[0] = ' ';
  }
  static constexpr std::string_view kGroups = "@LPQrqRXxNnTSCGstph#";
  for (char letter : kGroups) {
    s.skip_blanks();
    if (s.done() || *s.p == '$') break;
    if (*s.p != letter) continue;
    const char* start = ++s.p;
    if (!read_group(letter, s, r)) {
      // A malformed group leaves its fields missing; go on after its word.
      s.p = start;
      while (!s.done() && !is_blank(*s.p) && *s.p != '$') ++s.p;
    }
  }
}

// ---- old text form 2 ----

// Up to width characters other than stop, as "%[^.]" reads them (no blank skipping).
bool scan_until(Scan& s, char stop, std::size_t width, std::string* out) {
  const char* b = s.p;
  while (s.p < s.end && *s.p != stop && static_cast<std::size_t>(s.p - b) < width) ++s.p;
  out->assign(b, static_cast<std::size_t>(s.p - b));
  return !out->empty();
}

bool skip_past_dot(Scan& s) {
  while (!s.done() && *s.p != '.') ++s.p;
  return s.lit('.');
}

// Precipitation "whole.hundredths." or a single number of hundredths.
bool precip2(Scan& s, float* out) {
  int whole = 0;
  if (!s.integer(&whole) || !s.lit('.')) return false;
  const char* b = s.p;
  int hund = 0, digits = 0;
  while (digits < 2 && !s.done() && is_digit(*s.p)) hund = hund * 10 + (*s.p++ - '0'), ++digits;
  if (digits > 0 && s.lit('.')) {
    *out = whole + hund / 100.0f;
  } else {
    s.p = b;
    *out = whole / 100.0f;
  }
  return true;
}

void read_text2(Scan& s, sfc_report* r) {
  r->type = 1;
  int t = 0, td = 0, w = 0, a = 0;
  if (!s.integer(&t, 3)) return;
  if (t != -99) r->temp = static_cast<float>(t);
  if (!s.lit('.') || !s.integer(&td, 3)) return;
  if (td != -99) r->dewp = static_cast<float>(td);
  if (!s.lit('.') || !s.integer(&w, 4)) return;
  decode_wind(w, false, r);
  if (!s.lit('.') || !s.integer(&a, 3)) return;
  r->alt = decode_alt(a);
  if (!s.lit('.')) return;

  int slp = 0, vis = 0, hgt = 0;
  if (!s.integer(&slp, 3)) return;
  r->slpr = decode_slp2(slp);
  if (!s.lit('.') || !s.integer(&vis, 3)) return;
  if (vis != -99) r->vis = vis / 10.0f;
  if (!s.lit('.') || !s.integer(&hgt, 3) || s.done()) return;
  const char cover = *s.p++;
  r->cld_hgt[0] = hgt == -99 ? MISSING : hgt * 100.0f;
  if (cover != ' ' && cover != '.') {
    r->cld_cov[0] = cover;
    r->ncld = 1;
  }
  if (cover != '.' && !s.lit('.')) return;

  std::string wx;
  if (scan_until(s, '.', 9, &wx)) {
    std::string_view text = wx;
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    if (!text.empty()) copy_bounded(r->wx, sizeof r->wx, text);
  }
  if (!s.lit('.')) return;

  static constexpr std::string_view kGroups = "LPrRTSCG";
  for (char letter : kGroups) {
    s.skip_blanks();
    if (s.done()) break;
    if (*s.p != letter) continue;
    ++s.p;
    const char* start = s.p;
    bool ok = false;
    switch (letter) {
      case 'L': {
        int lat = 0, lon = 0;
        ok = s.integer(&lat, 4) && s.lit('.') && s.integer(&lon, 5) && s.lit('.');
        if (ok) set_ship_position(r, lat, lon);
        break;
      }
      case 'P': {
        int p = 0;
        ok = s.integer(&p, 3) && s.lit('.') && p >= 0;
        if (ok) r->ptend = (p % 100) / 10.0f * (p >= 500 ? -1.0f : 1.0f);
        break;
      }
      case 'r': ok = precip2(s, &r->prec6); break;
      case 'R': ok = precip2(s, &r->prec24); break;
      case 'T': {
        int x = 0;
        ok = s.integer(&x) && s.lit('.');
        if (ok) {
          // The writer kept two digits: restore a lost hundreds digit from the temperature.
          if (!missing(r->temp) && x < 30 && r->temp > 70.0f) x += 100;
          else if (!missing(r->temp) && x >= 61 && x < 100 && r->temp < 30.0f) x -= 100;
          set_extreme(r, static_cast<float>(x));
        }
        break;
      }
      case 'S':
      case 'G': {
        int x = 0;
        ok = s.integer(&x) && s.lit('.');
        if (ok) (letter == 'S' ? r->scover : r->wgust) = static_cast<float>(x);
        break;
      }
      case 'C': {
        s.skip_blanks();
        const char* b = s.p;
        while (!s.done() && !is_blank(*s.p) && *s.p != '.' && s.p - b < 3) ++s.p;
        const long n = s.p - b;
        ok = n > 0 && s.lit('.');
        if (ok) {
          r->lcld = b[0];
          r->mcld = n > 1 ? b[1] : ' ';
          r->hcld = n > 2 ? b[2] : ' ';
        }
        break;
      }
      default: break;
    }
    if (!ok) {
      s.p = start;
      if (!skip_past_dot(s)) break;
    }
  }
}

// ---- text lines ----

// Reads one line (without its end); false at the end of the file with nothing read. The
// part past kMaxLine is dropped; a NUL ends the usable text.
bool read_line(std::string* line) {
  // The characters go to a plain buffer and the string takes them at once: growing the
  // string a character at a time cost more than reading the file.
  char buf[kMaxLine];
  std::size_t n = 0;
  bool any = false;
  int c;
  while ((c = getc_unlocked(sfc.stream)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (n < kMaxLine) buf[n++] = static_cast<char>(c);
  }
  if (const void* z = std::memchr(buf, '\0', n)) n = static_cast<std::size_t>(static_cast<const char*>(z) - buf);
  line->assign(buf, n);
  return any;
}

bool blank_line(const std::string& line) { return std::all_of(line.begin(), line.end(), is_blank); }

// Reads the next report line (blank lines are not reports); sets its offset.
bool next_report_line(std::string* line, long* offset) {
  for (;;) {
    *offset = std::ftell(sfc.stream);
    if (!read_line(line)) return false;
    if (!blank_line(*line)) return true;
  }
}

bool text_form(int f) { return f == SFC_FORM_TEXT || f == SFC_FORM_OLD_TEXT || f == 1 || f == 4; }
// The writer's variants 1 and 4 read as the old form and the "ZAVSFC" form.
bool old_text(int f) { return f == SFC_FORM_OLD_TEXT || f == 1; }
bool cdf_form(int f) { return f == SFC_FORM_CDF_STATION || f == SFC_FORM_CDF_REPORT; }

bool text_rewind() {
  if (!sfc.stream || std::fseek(sfc.stream, sfc.data_offset, SEEK_SET) != 0) return false;
  std::clearerr(sfc.stream);
  sfc.next_line = 0;
  sfc.last_offset = -1;
  return true;
}

// Reports kept parsed per file: a bound on memory for files far beyond any hour's reports.
constexpr std::size_t max_parsed = 1U << 16;

// Room for the reports a text file of this size holds, taken once: grown report by report,
// the list would copy itself over and over into fresh memory. Room not used is never touched.
void reserve_parsed() {
  struct stat st {};
  if (fstat(fileno(sfc.stream), &st) != 0 || !S_ISREG(st.st_mode)) return;
  constexpr long typical_line = 40;  // shorter than the forms' report lines
  const long lines = (static_cast<long>(st.st_size) - sfc.data_offset) / typical_line + 1;
  const std::size_t n = std::min(max_parsed, static_cast<std::size_t>(std::max(lines, 1L)));
  try {
    sfc.parsed.reserve(n);
    sfc.parsed_at.reserve(n);
  } catch (const std::bad_alloc&) {
    // Grown as the reports come, then.
  }
}

void drop_parsed() {
  sfc.parsed.clear();
  sfc.parsed.shrink_to_fit();
  sfc.parsed_at.clear();
  sfc.parsed_at.shrink_to_fit();
}

int read_text(sfc_report* r, int mode, int* index) {
  int n = *index;
  if (n < 0) n = sfc.have_read ? sfc.stat_num + 1 : 0;
  if (mode != 1 && static_cast<std::size_t>(n) < sfc.parsed.size()) {
    *r = sfc.parsed[static_cast<std::size_t>(n)];
    sfc.stat_num = n;
    sfc.have_read = true;
    sfc.last_offset = sfc.parsed_at[static_cast<std::size_t>(n)];
    *index = n;
    return 0;
  }
  if (sfc.have_read && sfc.last_offset >= 0 && n == sfc.stat_num) {
    if (std::fseek(sfc.stream, sfc.last_offset, SEEK_SET) != 0) return -1;
    sfc.next_line = n;
  } else if (n < sfc.next_line && !text_rewind()) {
    return -1;
  }
  std::string line;
  long offset = -1;
  while (sfc.next_line < n) {
    if (!next_report_line(&line, &offset)) return -1;
    ++sfc.next_line;
  }
  if (!next_report_line(&line, &offset)) return -1;
  ++sfc.next_line;
  sfc.stat_num = n;
  sfc.have_read = true;
  sfc.last_offset = offset;
  *index = n;

  Scan s{line.data(), line.data() + line.size()};
  s.skip_blanks();
  const char* b = s.p;
  // The old form reads at most ten characters as the identifier and the rest of a longer
  // word as the next field; the newer form drops the rest of the word.
  while (!s.done() && !is_blank(*s.p) && (!old_text(sfc.form) || s.p - b < 10)) ++s.p;
  std::string_view id(b, static_cast<std::size_t>(s.p - b));
  if (id.empty()) return -1;
  set_id(r, id);
  if (mode == 1) return 0;
  if (old_text(sfc.form))
    read_text2(s, r);
  else
    read_text3(s, r);
  if (static_cast<std::size_t>(n) == sfc.parsed.size() && sfc.parsed.size() < max_parsed) {
    sfc.parsed.push_back(*r);
    sfc.parsed_at.push_back(offset);
  }
  return 0;
}

// ---- netCDF ----

// Makes our dataset current for a call sequence and gives the previous one back after.
class CdfScope {
 public:
  explicit CdfScope(int fd, bool quiet = false) : saved_(CDF_get_fd()), quiet_(quiet) {
    CDF_set_fd(fd);
    if (quiet_) CDF_print_errors(0);
  }
  ~CdfScope() {
    if (quiet_) CDF_print_errors(1);
    CDF_set_fd(saved_);
  }
  CdfScope(const CdfScope&) = delete;
  CdfScope& operator=(const CdfScope&) = delete;

 private:
  int saved_;
  bool quiet_;
};

// Looks a variable up and records its shape; a variable of another kind or rank than
// the reader expects is treated as absent. want_char: a text variable; min/max rank.
CdfVar find_var(const char* name, bool want_char, int min_rank, int max_rank) {
  CdfVar v;
  const int id = CDF_get_var(name);
  if (id < 0) return v;
  int dims[CDF_MAX_DIMS] = {};
  int type = 0, rank = 0;
  if (CDF_inq_var(id, &type, &rank, dims) != 0 || rank < min_rank || rank > max_rank) return v;
  const bool is_char = type == NC_CHAR;
  const bool numeric = type == NC_BYTE || type == NC_SHORT || type == NC_INT || type == NC_FLOAT ||
                       type == NC_DOUBLE || type == NC_UBYTE || type == NC_USHORT || type == NC_UINT ||
                       type == NC_INT64 || type == NC_UINT64;
  if (want_char ? !is_char : !numeric) return v;
  for (int i = 0; i < rank; ++i) {
    v.len[i] = CDF_get_dim_size(dims[i]);
    if (v.len[i] < 0) return v;
  }
  float fill = 0.0f;
  if (!want_char && CDF_get_att_float(id, "_FillValue", &fill) == 0) v.fill = fill;
  v.id = id;
  v.type = type;
  v.rank = rank;
  return v;
}

// A number of report r (element k along a second dimension); -9999.0 when absent,
// unset or not finite.
float get_num(const CdfVar& v, long r, long k = 0) {
  if (v.id < 0 || r >= v.len[0] || (v.rank > 1 && k >= v.len[1]) || (v.rank == 1 && k > 0)) return MISSING;
  const long pos[2] = {r, k};
  CDF_set_pos(v.rank, pos);
  const float x = CDF_get_float(v.id);
  if (!std::isfinite(x) || x == v.fill || std::fabs(x) >= 1e30f) return MISSING;
  return x;
}

// Text of report r, at most length characters, trailing blanks and NULs removed.
std::string get_text(const CdfVar& v, long r, long length) {
  if (v.id < 0 || r >= v.len[0] || v.rank != 2) return "";
  length = std::min(length, v.len[1]);
  if (length <= 0) return "";
  std::vector<char> buf(static_cast<std::size_t>(length) + 1, '\0');
  const long pos[2] = {r, 0};
  CDF_set_pos(2, pos);
  if (CDF_get_str(v.id, static_cast<int>(length), buf.data()) < 0) return "";
  std::string text(buf.data());
  while (!text.empty() && (is_blank(text.back()) || static_cast<unsigned char>(text.back()) < 32)) text.pop_back();
  return text;
}

char get_char(const CdfVar& v, long r, long k) {
  if (v.id < 0 || r >= v.len[0]) return '\0';
  if (v.rank == 2 && k >= v.len[1]) return '\0';
  const long pos[2] = {r, k};
  CDF_set_pos(v.rank, pos);
  return CDF_get_char(v.id);
}

float scaled(float v, float factor, float offset = 0.0f) { return missing(v) ? MISSING : v * factor + offset; }
float to_f(float c) { return scaled(c, 9.0f / 5.0f, 32.0f); }

std::string strip_leading(std::string s) {
  const std::size_t b = s.find_first_not_of(" \t");
  return b == std::string::npos ? "" : s.substr(b);
}

int getinfo_report(sfc_info* in) {
  sfc.rv = ReportVars{};
  long count = CDF_get_dim_size(-1);
  int rec = CDF_get_dim("report");
  if (rec < 0) rec = CDF_get_dim("ob");
  if (count < 0) count = rec >= 0 ? CDF_get_dim_size(rec) : 0;
  const int rl = CDF_get_dim("remarks_len");
  sfc.remarks_len = rl >= 0 ? std::max(CDF_get_dim_size(rl), 0L) : 0;
  sfc.rv.id = find_var("id", true, 2, 2);
  sfc.rv.region = find_var("region", true, 2, 2);
  sfc.rv.time = find_var("time", true, 2, 2);
  if (sfc.rv.time.id < 0) sfc.rv.time = find_var("time", false, 1, 1);
  sfc.rv.lat = find_var("lat", false, 1, 1);
  sfc.rv.lon = find_var("lon", false, 1, 1);
  sfc.rv.elev = find_var("elev", false, 1, 1);
  sfc.rv.t = find_var("T", false, 1, 1);
  sfc.rv.td = find_var("TD", false, 1, 1);
  sfc.rv.tmax = find_var("Tmax", false, 1, 1);
  sfc.rv.tmin = find_var("Tmin", false, 1, 1);
  sfc.rv.tmax6 = find_var("Tmax6", false, 1, 1);
  sfc.rv.tmin6 = find_var("Tmin6", false, 1, 1);
  sfc.rv.psl = find_var("PSL", false, 1, 1);
  sfc.rv.altim = find_var("ALTIM", false, 1, 1);
  sfc.rv.spd = find_var("SPD", false, 1, 1);
  sfc.rv.gust = find_var("GUST", false, 1, 1);
  sfc.rv.dir = find_var("DIR", false, 1, 1);
  sfc.rv.vis = find_var("VIS", false, 1, 1);
  sfc.rv.wx = find_var("WX", false, 1, 1);
  sfc.rv.zcl = find_var("ZCL", false, 2, 2);
  sfc.rv.cc = find_var("CC", true, 2, 2);
  sfc.rv.ptend = find_var("Ptend", true, 1, 1);
  sfc.rv.delp = find_var("delP", false, 1, 1);
  sfc.rv.precip = find_var("PRECIP", false, 1, 1);
  sfc.rv.reftime = find_var("reftime_PRECIP", false, 1, 1);
  sfc.rv.snow = find_var("SNOW", false, 1, 1);
  sfc.rv.sunshine = find_var("sunshine", false, 1, 1);
  sfc.rv.cloudtype = find_var("cloudtype", true, 2, 2);
  sfc.rv.sst = find_var("SST", false, 1, 1);
  sfc.rv.wave_per = find_var("wave_per", false, 1, 1);
  sfc.rv.wave_hgt = find_var("wave_hgt", false, 1, 1);
  sfc.rv.remarks = find_var("remarks", true, 2, 2);
  sfc.num_station = static_cast<int>(std::clamp(count, 0L, 2147483647L));
  in->count = sfc.num_station;
  CDF_get_glob_att("filetime", in->label, sizeof in->label);
  return 0;
}

int getinfo_station(sfc_info* in) {
  sfc.sv = StationVars{};
  long count = CDF_get_dim_size(-1);
  const int st = CDF_get_dim("station");
  if (count < 0) count = st >= 0 ? CDF_get_dim_size(st) : 0;
  sfc.sv.id = find_var("id", true, 2, 2);
  sfc.sv.region = find_var("region", true, 2, 2);
  sfc.sv.wx = find_var("wx", true, 2, 2);
  sfc.sv.cld = find_var("cld", true, 2, 2);
  sfc.sv.intdata = find_var("intdata", false, 2, 2);
  sfc.sv.intname = find_var("intname", true, 1, 2);
  sfc.sv.intunit = find_var("intunit", true, 1, 2);
  sfc.sv.fltdata = find_var("fltdata", false, 2, 2);
  sfc.sv.fltname = find_var("fltname", true, 1, 2);
  sfc.sv.fltunit = find_var("fltunit", true, 1, 2);
  sfc.missing_val_f = MISSING;
  sfc.missing_val_i = MISSING_INT;
  sfc.missing_val_c = '\0';
  float f = 0.0f;
  if (CDF_get_att_float(NC_GLOBAL, "missing_val_f", &f) == 0) sfc.missing_val_f = f;
  int i = 0;
  if (CDF_get_glob_att_int("missing_val_i", &i) == 0) sfc.missing_val_i = i;
  char c[8] = {};
  if (CDF_get_glob_att("missing_val_c", c, sizeof c) > 0) {
    sfc.missing_val_c = c[0];
  } else if (CDF_get_glob_att_int("missing_val_c", &i) == 0) {
    sfc.missing_val_c = static_cast<char>(i);
  }
  char buf[64];
  sfc.version = CDF_get_glob_att("version", buf, sizeof buf) >= 0 || CDF_get_glob_att_int("version", &i) == 0;
  sfc.num_station = static_cast<int>(std::clamp(count, 0L, 2147483647L));
  in->count = sfc.num_station;
  CDF_get_glob_att("datetime", in->label, sizeof in->label);
  return 0;
}

void read_report_form(sfc_report* r, int mode, long n) {
  copy_bounded(r->id, sizeof r->id, strip_leading(get_text(sfc.rv.id, n, 10)));
  if (mode == 1) return;
  const std::string region = get_text(sfc.rv.region, n, 12);
  copy_bounded(r->region, sizeof r->region, region.empty() ? "US" : region);
  r->lat = get_num(sfc.rv.lat, n);
  r->lon = get_num(sfc.rv.lon, n);
  r->elev = get_num(sfc.rv.elev, n);
  if (mode == 2) {
    r->wmo = MISSING_INT;
    return;
  }
  if (sfc.rv.time.id >= 0) {
    if (sfc.rv.time.type == NC_CHAR) {
      const std::string t = strip_leading(get_text(sfc.rv.time, n, 32));
      Scan s{t.data(), t.data() + t.size()};
      int v = 0;
      if (s.integer(&v, 10)) r->time = v;
    } else if (const float v = get_num(sfc.rv.time, n); !missing(v)) {
      r->time = static_cast<int>(v);
    }
  }
  r->temp = to_f(get_num(sfc.rv.t, n));
  r->dewp = to_f(get_num(sfc.rv.td, n));
  r->maxt = to_f(get_num(sfc.rv.tmax, n));
  r->mint = to_f(get_num(sfc.rv.tmin, n));
  r->maxt6 = to_f(get_num(sfc.rv.tmax6, n));
  r->mint6 = to_f(get_num(sfc.rv.tmin6, n));
  r->slpr = get_num(sfc.rv.psl, n);
  r->alt = scaled(get_num(sfc.rv.altim, n), 0.0295386f);
  r->wspd = scaled(get_num(sfc.rv.spd, n), 1.944f);
  r->wgust = scaled(get_num(sfc.rv.gust, n), 1.944f);
  r->wdir = get_num(sfc.rv.dir, n);
  r->vis = scaled(get_num(sfc.rv.vis, n), 0.62137f);
  if (const float code = get_num(sfc.rv.wx, n); !missing(code) && code >= 0.0f && code < 100.0f)
    WX_wmo_weather(static_cast<int>(code), r->wx);
  const long layers = sfc.rv.cc.id >= 0 ? std::min(4L, sfc.rv.cc.len[1]) : 0L;
  int ncld = 0;
  for (long k = 0; k < layers; ++k) {
    const char cover = get_char(sfc.rv.cc, n, k);
    if (cover == '/' || cover == '\0' || is_blank(cover)) break;
    r->cld_cov[ncld] = cover;
    r->cld_hgt[ncld] = scaled(get_num(sfc.rv.zcl, n, k), 3.2808f);
    ++ncld;
  }
  r->ncld = ncld;
  if (sfc.rv.ptend.id >= 0) {
    const char c = get_char(sfc.rv.ptend, n, 0);
    if (is_digit(c)) r->ptype = c - '0';
  }
  r->ptend = get_num(sfc.rv.delp, n);
  if (const float p = get_num(sfc.rv.precip, n); !missing(p)) {
    if (get_num(sfc.rv.reftime, n) == 24.0f)
      r->prec24 = p * 0.03937f;
    else
      r->prec6 = p * 0.03937f;
  }
  r->scover = scaled(get_num(sfc.rv.snow, n), 0.03937f);
  r->solar = get_num(sfc.rv.sunshine, n);
  if (sfc.rv.cloudtype.id >= 0) {
    char types[3];
    for (long k = 0; k < 3; ++k) {
      const char c = get_char(sfc.rv.cloudtype, n, k);
      types[k] = (c == '/' || c == '\0' || static_cast<unsigned char>(c) < 32) ? ' ' : c;
    }
    r->lcld = types[0], r->mcld = types[1], r->hcld = types[2];
  }
  r->sst = get_num(sfc.rv.sst, n);
  r->wave_per = get_num(sfc.rv.wave_per, n);
  r->wave_hgt = get_num(sfc.rv.wave_hgt, n);
  const long rlen = std::min(sfc.remarks_len, static_cast<long>(sizeof r->comment) - 1);
  copy_bounded(r->comment, sizeof r->comment, get_text(sfc.rv.remarks, n, rlen));
}

// Values of one row of a two-dimensional numeric variable (missing beyond its width).
template <std::size_t N>
std::array<double, N> get_row(const CdfVar& v, long r) {
  std::array<double, N> out;
  out.fill(MISSING);
  if (v.id < 0 || r >= v.len[0]) return out;
  const long width = std::min(static_cast<long>(N), v.len[1]);
  if (width <= 0) return out;
  const long start[2] = {r, 0};
  const long count[2] = {1, width};
  CDF_set_range(2, start, count);
  if (CDF_get_double_array(v.id, out.data()) != 0) out.fill(MISSING);
  for (long k = width; k < static_cast<long>(N); ++k) out[k] = MISSING;
  return out;
}

char code_char(double code) {
  if (!(code >= 33.0 && code <= 126.0) || static_cast<char>(code) == sfc.missing_val_c) return ' ';
  return static_cast<char>(code);
}

void read_station_form(sfc_report* r, int mode, long n) {
  copy_bounded(r->id, sizeof r->id, strip_leading(get_text(sfc.sv.id, n, 11)));
  if (mode == 1) return;
  copy_bounded(r->region, sizeof r->region, get_text(sfc.sv.region, n, 11));
  const auto ints = get_row<13>(sfc.sv.intdata, n);
  const auto flts = get_row<15>(sfc.sv.fltdata, n);
  auto ival = [&](int k) {
    const double v = ints[k];
    if (v == MISSING || v == sfc.missing_val_i || !(std::fabs(v) < 2e9)) return MISSING_INT;
    return static_cast<int>(v);
  };
  auto fval = [&](int k) {
    const float v = static_cast<float>(flts[k]);
    if (v == sfc.missing_val_f || !std::isfinite(v) || std::fabs(v) >= 1e30f) return MISSING;
    return v;
  };
  r->lat = fval(0);
  r->lon = fval(1);
  if (!sfc.version && !missing(r->lon)) r->lon = -r->lon;
  r->spare_time = ival(1);
  if (const int e = ival(2); e != MISSING_INT) r->elev = static_cast<float>(e);
  r->wmo = ival(3);
  r->type = ival(4) == MISSING_INT ? 0 : ival(4);
  if (mode == 2) return;
  r->time = ival(0);
  int ncld = 0;
  for (int k = 0; k < 4; ++k) {
    const int code = ival(9 + k);
    const char cover = code == MISSING_INT ? ' ' : code_char(code);
    if (cover == ' ') continue;
    r->cld_cov[ncld] = cover;
    const int h = ival(5 + k);
    r->cld_hgt[ncld] = h == MISSING_INT ? MISSING : static_cast<float>(h);
    ++ncld;
  }
  r->ncld = ncld;
  r->vis = fval(2);
  r->slpr = fval(3);
  r->temp = fval(4);
  r->dewp = fval(5);
  r->wdir = fval(6);
  r->wspd = fval(7);
  r->wgust = fval(8);
  r->alt = fval(9);
  r->prec6 = fval(10);
  r->prec24 = fval(11);
  if (const float x = fval(12); !missing(x)) set_extreme(r, x);
  r->scover = fval(13);
  r->ptend = fval(14);
  std::string wx = get_text(sfc.sv.wx, n, 11);
  if (!wx.empty()) copy_bounded(r->wx, kWxMax + 1, wx);
  if (sfc.sv.cld.id >= 0) {
    char* types[3] = {&r->lcld, &r->mcld, &r->hcld};
    for (long k = 0; k < 3; ++k) {
      const char c = get_char(sfc.sv.cld, n, k);
      *types[k] = (c == sfc.missing_val_c || static_cast<unsigned char>(c) < 32) ? ' ' : c;
    }
  }
}

int read_cdf(sfc_report* r, int mode, int* index) {
  int n = *index;
  if (n < 0) n = sfc.have_read ? sfc.stat_num + 1 : 0;
  if (n >= sfc.num_station) return -1;
  sfc.stat_num = n;
  sfc.have_read = true;
  *index = n;
  // Shapes were checked with the header; what still fails (a truncated file) reads as
  // missing values rather than a message for every value of every report.
  CdfScope scope(sfc.cdf_id, true);
  if (sfc.form == SFC_FORM_CDF_REPORT)
    read_report_form(r, mode, n);
  else
    read_station_form(r, mode, n);
  return r->id[0] ? 0 : -1;
}

bool report_form(int f) { return f == SFC_FORM_REPORTS || f == SFC_FORM_TABLE || f == SFC_FORM_BULLETIN; }

int read_reports(sfc_report* r, int mode, int* index) {
  int n = *index;
  if (n < 0) n = sfc.have_read ? sfc.stat_num + 1 : 0;
  if (n >= static_cast<int>(sfc.report_file.reports.size())) return -1;
  sfc.stat_num = n;
  sfc.have_read = true;
  *index = n;
  const sfc_report& from = sfc.report_file.reports[static_cast<std::size_t>(n)];
  if (mode == 0) {
    *r = from;
    return 0;
  }
  std::memcpy(r->id, from.id, sizeof r->id);
  if (mode == 2) {
    std::memcpy(r->region, from.region, sizeof r->region);
    r->lat = from.lat, r->lon = from.lon, r->elev = from.elev, r->wmo = from.wmo, r->type = from.type;
  }
  return 0;
}

void reset_position() {
  sfc.stat_num = 0;
  sfc.have_read = false;
  sfc.last_offset = -1;
  sfc.next_line = 0;
}

}  // namespace

namespace {

// Most a command or standard input may hand over as one surface file.
constexpr long max_spool_bytes = 256L << 20;

void drop_spool() {
  if (!sfc.spool.empty()) ::unlink(sfc.spool.c_str());
  sfc.spool.clear();
}

// The path to read name from: "~" names with the home directory; "|command" and the
// standard input copied to a temporary file (empty when that fails, reported).
std::string readable_path(const char* name) {
  const std::string n = name;
  if (n[0] != '|' && !FILE_is_stdio(name)) return FILE_add_user_path(n);
  drop_spool();
  std::FILE* in = FILE_open(name, "r");
  if (in == nullptr) return std::string();
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/stacont_sfcXXXXXX";
  const int fd = ::mkstemp(path.data());
  std::FILE* out = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
  bool ok = out != nullptr;
  long total = 0;
  char buffer[65536];
  for (std::size_t n_read; ok && (n_read = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
    total += static_cast<long>(n_read);
    ok = total <= max_spool_bytes && std::fwrite(buffer, 1, n_read, out) == n_read;
  }
  if (out != nullptr && std::fclose(out) != 0) ok = false;
  if (out == nullptr && fd >= 0) ::close(fd);
  FILE_close(in);
  if (!ok) {
    MESS_print(MESS_WARN, "SFC_open: Unable to read the surface data of %s\n", name);
    if (fd >= 0) ::unlink(path.c_str());
    return std::string();
  }
  sfc.spool = path;
  return path;
}

// The form of the surface file at path, or -1.
int form_of(const std::string& path) {
  const int kind = FILE_type(path.c_str());
  switch (kind) {
    case FILE_METAR_COLLECTION:
    case FILE_METAR_HOURLY:
    case FILE_METAR_LINES: return SFC_FORM_REPORTS;
    case FILE_STATION_TABLE: return SFC_FORM_TABLE;
    case FILE_FRONT_BULLETIN: return SFC_FORM_BULLETIN;
    // The package's other files begin with the same letter as a surface file: read as one,
    // a raw file of station values would be analysed into nonsense.
    case 5:
    case 6:
    case 8:
    case 9:
    case 12: {
      const char* what = kind == 5   ? "a raw file of station values"
                         : kind == 6 ? "a grid file"
                         : kind == 8 ? "a metafile"
                         : kind == 9 ? "an image file"
                                     : "an upper-air file";
      MESS_print(MESS_ERROR, "SFC_open: %s is %s, not a surface file\n", path.c_str(), what);
      return -1;
    }
    default: break;
  }
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return -1;
  const int c = std::fgetc(f);
  std::fclose(f);
  switch (c) {
    case ' ':
    case '0':
    case '1':
    case '2': return SFC_FORM_OLD_TEXT;
    case 'Z': return SFC_FORM_TEXT;
    case 'C': {
      CdfScope scope(CDF_get_fd(), true);
      const int id = CDF_open(path.c_str(), 0);
      if (id < 0) {
        // Quiet as the library is here, the file's fault must still be told.
        MESS_print(MESS_WARN, "SFC_chktype: Unable to read netCDF file %s: %s\n", path.c_str(), CDF_open_error());
        return -1;
      }
      // A netCDF file is a surface file only with the station dimension or report identifiers:
      // a grid file is not one.
      int result = -1;
      if (CDF_get_dim("station") >= 0)
        result = SFC_FORM_CDF_STATION;
      else if (CDF_get_var("id") >= 0)
        result = SFC_FORM_CDF_REPORT;
      CDF_close(id);
      return result;
    }
    default: return -1;
  }
}

}  // namespace

int SFC_chktype(const char* name) {
  if (!name || !*name) return -1;
  if (sfc.stream || sfc.cdf_id >= 0 || report_form(sfc.form)) return form_of(readable_path(name));  // leaves the open file's copy
  const std::string path = readable_path(name);
  const int f = path.empty() ? -1 : form_of(path);
  drop_spool();
  return f;
}

int SFC_open(const char* name, int mode, int* form_io) {
  if (!name || !*name || !form_io || mode < 0 || mode > 2) return -1;
  if (sfc.stream || sfc.cdf_id >= 0 || report_form(sfc.form)) SFC_close(-1);
  int f = *form_io;
  // Reading takes every name form the input prompt accepts; writing goes to a file.
  const std::string path = mode == 0 ? readable_path(name) : FILE_add_user_path(std::string(name));
  if (path.empty()) return -1;
  if (f == 0) {
    if (mode == 1) return -1;
    f = form_of(path);
    if (f < 0) return -1;
    *form_io = f;
  }
  reset_position();
  drop_parsed();
  DATE_init(&sfc.file_date);
  sfc.data_offset = 0;
  sfc.num_station = 0;
  if (text_form(f)) {
    if (mode == 2 && !text_form(form_of(path))) return -1;
    sfc.stream = std::fopen(path.c_str(), mode == 0 ? "r" : mode == 1 ? "w" : "a");
    if (!sfc.stream) return -1;
    if (mode == 0) {
      // Header: the magic line and the label, or the label alone.
      std::string line;
      for (int k = old_text(f) ? 1 : 2; k > 0 && read_line(&line); --k) {
      }
      sfc.data_offset = std::ftell(sfc.stream);
      if (sfc.data_offset < 0) sfc.data_offset = 0;
      reserve_parsed();
    }
    sfc.form = f;
    sfc.access_mode = mode;
    return fileno(sfc.stream);
  }
  if (report_form(f)) {
    if (mode != 0) return -1;
    sfc.report_file.reports.clear();
    DATE_init(&sfc.report_file.date);
    if (hooks.reader == nullptr) {
      MESS_print(MESS_WARN, "SFC_open: No reader of this kind of file: %s\n", name);
      return -1;
    }
    if (!hooks.reader(name, path.c_str(), f, &sfc.report_file.reports, &sfc.report_file.date)) return -1;
    sfc.form = f;
    sfc.access_mode = mode;
    return 0;
  }
  if (cdf_form(f)) {
    if (mode == 2) return -1;
    CdfScope scope(CDF_get_fd(), true);  // quiet, and the current dataset stays current
    const int id = CDF_open(path.c_str(), mode);
    if (id < 0) return -1;
    sfc.cdf_id = id;
    sfc.form = f;
    sfc.access_mode = mode;
    return id;
  }
  return -1;
}

int SFC_getinfo(int, sfc_info* in) {
  if (!in) return -1;
  copy_bounded(in->label, sizeof in->label, "");
  DATE_init(&in->date);
  in->count = MISSING_INT;
  if (text_form(sfc.form) && sfc.stream) {
    if (sfc.access_mode != 0) return 1;
    const long here = std::ftell(sfc.stream);
    std::rewind(sfc.stream);
    std::string line;
    if (!old_text(sfc.form)) read_line(&line);
    if (read_line(&line)) {
      while (!line.empty() && line.back() == '\r') line.pop_back();
      copy_bounded(in->label, sizeof in->label, line);
    }
    if (here >= 0) std::fseek(sfc.stream, here, SEEK_SET);
    std::clearerr(sfc.stream);
  } else if (cdf_form(sfc.form) && sfc.cdf_id >= 0) {
    CdfScope scope(sfc.cdf_id, true);
    if (sfc.form == SFC_FORM_CDF_REPORT)
      getinfo_report(in);
    else
      getinfo_station(in);
  } else if (report_form(sfc.form)) {
    // The hour chosen at opening: its label is made, not read.
    in->date = sfc.report_file.date;
    char label[DATE_LABEL_LEN];
    if (DATE_make_label(&in->date, label) >= 0) copy_bounded(in->label, sizeof in->label, label);
    in->count = static_cast<std::int32_t>(sfc.report_file.reports.size());
    sfc.file_date = in->date;
    return 0;
  } else {
    return -1;
  }
  if (in->label[0]) DATE_decode_label(in->label, &in->date);
  sfc.file_date = in->date;
  return 0;
}

int SFC_read(int, sfc_report* report, int mode, int* index) {
  if (!report) return -1;
  SFC_initialize(report);
  int dummy = -1;
  if (!index) index = &dummy;
  if (sfc.access_mode != 0) return -1;
  if (text_form(sfc.form) && sfc.stream) return read_text(report, mode, index);
  if (cdf_form(sfc.form) && sfc.cdf_id >= 0) return read_cdf(report, mode, index);
  if (report_form(sfc.form)) return read_reports(report, mode, index);
  return -1;
}

int SFC_rewind(int) {
  if (text_form(sfc.form) && sfc.stream) {
    reset_position();
    return text_rewind() ? 0 : -1;
  }
  if ((cdf_form(sfc.form) && sfc.cdf_id >= 0) || report_form(sfc.form)) {
    reset_position();
    return 0;
  }
  return -1;
}

int SFC_close(int) {
  int result = -1;
  if (sfc.stream) {
    result = std::fclose(sfc.stream) == 0 ? 0 : -1;
    sfc.stream = nullptr;
  } else if (sfc.cdf_id >= 0) {
    const int saved = CDF_get_fd();
    result = CDF_close(sfc.cdf_id) == 0 ? 0 : -1;
    if (saved != sfc.cdf_id) CDF_set_fd(saved);
    sfc.cdf_id = -1;
  } else if (report_form(sfc.form)) {
    result = 0;
  }
  sfc.report_file.reports.clear();
  sfc.report_file.reports.shrink_to_fit();
  drop_parsed();
  sfc.form = 0;
  reset_position();
  drop_spool();
  return result;
}

void SFC_initialize(sfc_report* r) {
  if (!r) return;
  std::memset(r, 0, sizeof *r);
  r->type = 0;
  r->wmo = MISSING_INT;
  r->lat = r->lon = r->elev = MISSING;
  r->spare_time = r->time = MISSING_INT;
  for (int k = 0; k < 5; ++k) {
    r->cld_hgt[k] = MISSING;
    r->cld_cov[k] = ' ';
  }
  r->ncld = 0;
  r->vis = MISSING;
  r->wx[0] = ' ';
  r->slpr = r->temp = r->dewp = r->wdir = r->wspd = r->wgust = r->alt = MISSING;
  r->ptype = MISSING_INT;
  r->ptend = r->prec3 = r->prec6 = r->prec12 = r->prec24 = MISSING;
  r->spare = MISSING_INT;
  r->cld_tot = r->lcld = r->mcld = r->hcld = ' ';
  r->maxt = r->mint = r->maxt6 = r->mint6 = r->scover = r->solar = r->sst = MISSING;
  r->wave_per = r->wave_hgt = MISSING;
  r->flags = 0;
}

void SFC_check_valid(sfc_report* r) {
  if (!r) return;
  auto limit = [](float* v, float lo, float hi) {
    if (*v < lo || *v > hi) *v = MISSING;
  };
  if (r->time > 2400) r->time = MISSING_INT;
  for (float* v : {&r->temp, &r->dewp, &r->maxt, &r->mint, &r->maxt6, &r->mint6, &r->scover, &r->solar, &r->sst})
    limit(v, -100.0f, 150.0f);
  if (!missing(r->dewp) && !missing(r->temp) && r->dewp > r->temp) r->dewp = r->temp;
  limit(&r->slpr, 900.0f, 1150.0f);
  limit(&r->alt, 26.0f, 33.0f);
  limit(&r->wdir, 0.0f, 360.0f);
  limit(&r->wspd, 0.0f, 100.0f);
  limit(&r->wgust, 0.0f, 150.0f);
  limit(&r->vis, 0.0f, 150.0f);
  for (float& h : r->cld_hgt) limit(&h, 0.0f, 35000.0f);
  if (r->ptype > 9) r->ptype = MISSING_INT;
  limit(&r->ptend, -10.0f, 10.0f);
  limit(&r->prec3, 0.0f, 10.0f);
  limit(&r->prec6, 0.0f, 15.0f);
  limit(&r->prec12, 0.0f, 20.0f);
  limit(&r->prec24, 0.0f, 20.0f);
  limit(&r->wave_per, 0.0f, 10.0f);
  limit(&r->wave_hgt, 0.0f, 20.0f);
}

void SFC_set_metric(int flag) { sfc.metric_flag = flag; }
void SFC_set_miss_dash(int flag) { sfc.miss_dash_flag = flag; }
void SFC_set_print(int flag) { sfc.print_flag = flag; }

// ---- the plot loop's file ----

namespace {

// Stations that the station database does not know, reporting without a position, are
// named together when a file has been read: the same stations report every hour, and every
// plot reads the file again.
constexpr std::size_t kUnknownListed = 10;

void name_unknown() {
  if (sfc.unknown_new.empty()) return;
  std::string list;
  std::size_t n = 0;
  for (const std::string& id : sfc.unknown_new) {
    if (n++ == kUnknownListed) {
      list += " ...";
      break;
    }
    list += " " + id;
  }
  const std::size_t count = sfc.unknown_new.size();
  MESS_print(MESS_OUT1, "Not in database: %zu station%s:%s\n", count, count == 1 ? "" : "s", list.c_str());
  sfc.unknown_named.insert(sfc.unknown_new.begin(), sfc.unknown_new.end());
  sfc.unknown_new.clear();
}

// Reads the open file once through the registered checks, which leave the list of reports
// the plot loop reads; without them every report is read, in file order.
void check_file() {
  sfc.kept.clear();
  sfc.checked = hooks.file != nullptr;
  if (!sfc.checked) return;
  hooks.file(sfc.cvt_fd, sfc.info, &sfc.kept);
  SFC_rewind(sfc.cvt_fd);
}

}  // namespace

int SFC_open_file(const char* name) {
  if (sfc.cvt_fd >= 0) SFC_close_file();
  int f = 0;
  sfc.cvt_num = 0;
  sfc.cvt_fd = SFC_open(name, 0, &f);
  sfc.open_name = name ? name : "";
  if (sfc.cvt_fd < 0) {
    MESS_print(MESS_WARN, "SFC_open_file: Unable to open file:%s\n", name ? name : "");
    return 0;
  }
  SFC_getinfo(sfc.cvt_fd, &sfc.info);
  // Without its date a file cannot name its grids nor label its plot.
  if (sfc.info.date.year == MISSING_INT || sfc.info.date.month == MISSING_INT || sfc.info.date.day == MISSING_INT) {
    if (sfc.info.label[0] == '\0')
      MESS_print(MESS_WARN, "SFC_open_file: No date line in surface file: %s\n", name);
    else
      MESS_print(MESS_WARN, "SFC_open_file: Date line \"%s\" is not a date in surface file: %s\n", sfc.info.label, name);
    SFC_close_file();
    return 0;
  }
  MESS_print(MESS_MESS, "Date: %s\n", sfc.info.label);
  check_file();
  return 1;
}

int SFC_read_report(sfc_report* report, StationRec* station) {
  if (sfc.cvt_fd < 0 || !report || !station) return -1;
  int index = !sfc.checked ? sfc.cvt_num
              : sfc.cvt_num < static_cast<int>(sfc.kept.size()) ? sfc.kept[static_cast<std::size_t>(sfc.cvt_num)]
                                                        : -1;
  if (index < 0 || SFC_read(sfc.cvt_fd, report, 0, &index) < 0) {
    name_unknown();
    return -1;
  }
  ++sfc.cvt_num;
  if (hooks.report != nullptr) hooks.report(report);  // counted and listed at opening
  const bool own_position = !missing(report->lat) && !missing(report->lon);
  if (CTY_search(report->id, station)) {
    report->elev = station->elev;
    if (own_position) MAP_tran(&station->x, &station->y, report->lat, report->lon);
  } else if (!own_position) {
    // A station of the database outside the domain (or left out by the selection) is
    // not reported: only stations the database does not know at all are.
    if (!CTY_known(report->id) && !sfc.unknown_named.count(report->id)) sfc.unknown_new.insert(report->id);
    return 0;
  } else {
    MAP_tran(&station->x, &station->y, report->lat, report->lon);
    report->elev = 0.0f;
    station->elev = 0.0f;
    station->wmo = report->wmo == MISSING_INT ? CTY_NO_WMO : report->wmo;
    station->prior = DOM_get_loc_prior();
    station->data = nullptr;
  }
  copy_bounded(station->id, sizeof station->id, report->id);
  return station->prior <= DOM_get_prior() ? 1 : 0;
}

void SFC_rewind_file() {
  sfc.cvt_num = 0;
  if (sfc.cvt_fd >= 0) SFC_rewind(sfc.cvt_fd);
}

void SFC_close_file() {
  name_unknown();
  if (sfc.cvt_fd >= 0) SFC_close(sfc.cvt_fd);
  sfc.cvt_fd = -1;
  sfc.cvt_num = 0;
  sfc.kept.clear();
  sfc.kept.shrink_to_fit();
}

void SFC_reset_state() {
  SFC_close(0);
  sfc = SfcState{};
}

const sfc_info* SFC_get_file_info() { return &sfc.info; }

int SFC_get_form() { return sfc.cvt_fd >= 0 ? sfc.form : 0; }

void SFC_set_report_reader(SfcReportReader reader) { hooks.reader = reader; }

void SFC_set_checks(SfcFileCheck file_check, SfcReportCheck report_check) {
  hooks.file = file_check;
  hooks.report = report_check;
}

// ---- writing the "ZAVSFC" form ----

namespace {

// Tenths of a degree F; -99 marks a missing value, so a temperature that would be written
// as -99 is written a tenth lower.
std::string tenths_f(float f) {
  if (missing(f)) return "-99";
  long t = std::lround(f * 10.0);
  if (t == -99) t = -100;
  return std::to_string(t);
}

// The direction written for a wind of variable direction (read back as none).
constexpr int kVariableWind = 990;

std::string wind_text(const sfc_report& r) {
  if (missing(r.wspd) || r.wspd < 0) return "-999";
  const int speed = static_cast<int>(std::min(std::lround(r.wspd), 999L));
  const bool variable = missing(r.wdir) || r.wdir < 0 || r.wdir > 360;
  const int dir = variable ? kVariableWind : static_cast<int>(r.wdir);
  char buf[24];
  if (speed >= 100 || variable)
    std::snprintf(buf, sizeof buf, "%03d%03d", dir / 5 * 5, speed);
  else
    std::snprintf(buf, sizeof buf, "%04d", dir / 10 * 100 + speed);
  return buf;
}

std::string alt_text(float a) {
  if (missing(a) || a <= 0.0f) return "-99";
  return std::to_string(std::lround(a * 100.0) % 1000);
}

std::string slp_text(float p) {
  if (missing(p) || p <= 0.0f) return "-99";
  const long tenths = std::lround(p * 10.0);
  return std::to_string(p >= 950.0f && p <= 1050.0f ? tenths % 1000 : tenths);
}

std::string vis_text(float v) {
  if (missing(v) || v < 0.0f) return "-99";
  char buf[32];
  std::snprintf(buf, sizeof buf, v >= 5.0f ? "%.1f" : "%.2f", v);
  return buf;
}

std::string cloud_text(const sfc_report& r) {
  const int n = std::clamp(static_cast<int>(r.ncld), 0, 5);
  if (n == 0) return "-99M";
  std::string text;
  for (int k = 0; k < n; ++k) {
    if (k > 0) text += ',';
    const float h = r.cld_hgt[k];
    text += !missing(h) ? std::to_string(std::lround(h / 100.0)) : "-99";
    const char c = r.cld_cov[k];
    if (c >= '0' && c <= '9') text += ':';
    text += c == ' ' || c == '\0' ? 'M' : c;
  }
  return text;
}

void put_group(std::string* line, char letter, float v, const char* format, double scale = 1.0) {
  if (missing(v)) return;
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v * scale);
  *line += ' ';
  *line += letter;
  *line += buf;
}

// One report line of the "ZAVSFC" form.
std::string report_line(const sfc_report& r) {
  std::string line = r.id[0] ? std::string(r.id, strnlen(r.id, sizeof r.id)) : "?";
  line += ' ' + tenths_f(r.temp) + ' ' + tenths_f(r.dewp) + ' ' + wind_text(r) + ' ' + alt_text(r.alt) + ' ' +
          slp_text(r.slpr) + ' ' + vis_text(r.vis) + ' ' + cloud_text(r) + ' ';
  std::string wx(r.wx, strnlen(r.wx, std::min(sizeof r.wx, kWxMax + 1)));
  while (!wx.empty() && is_blank(wx.back())) wx.pop_back();
  while (!wx.empty() && is_blank(wx.front())) wx.erase(0, 1);
  for (char& c : wx)
    if (is_blank(c) || c == '$') c = '_';
  line += wx.empty() ? "-" : wx;
  char buf[64];
  if (r.time != MISSING_INT && r.time >= 0 && r.time <= 2400) {
    std::snprintf(buf, sizeof buf, " @%4.4d", static_cast<int>(r.time));
    line += buf;
  }
  if (!missing(r.lat) && !missing(r.lon)) {
    std::snprintf(buf, sizeof buf, " L%1.0f,%1.0f", r.lat * 10.0, r.lon * 10.0);
    line += buf;
  }
  if (!missing(r.ptend)) {
    // A change without its characteristic is rising, steady or falling.
    const int code = r.ptype >= 0 && r.ptype <= 9 ? r.ptype : r.ptend > 0.0f ? 2 : r.ptend < 0.0f ? 7 : 4;
    std::snprintf(buf, sizeof buf, " P%d%3.0f", code, r.ptend * 10.0);
    line += buf;
  }
  put_group(&line, 'Q', r.prec3, "%.0f", 100.0);
  put_group(&line, 'r', r.prec6, "%.0f", 100.0);
  put_group(&line, 'q', r.prec12, "%.0f", 100.0);
  put_group(&line, 'R', r.prec24, "%.0f", 100.0);
  put_group(&line, 'X', r.maxt, "%2.1f");
  put_group(&line, 'x', r.maxt6, "%2.1f");
  put_group(&line, 'N', r.mint, "%2.1f");
  put_group(&line, 'n', r.mint6, "%2.1f");
  put_group(&line, 'S', r.scover, "%2.1f");
  if (r.lcld != ' ' || r.mcld != ' ' || r.hcld != ' ') {
    auto type = [](char c) { return c == ' ' || c == '\0' || c == '$' || is_blank(c) ? '/' : c; };
    line += " C";
    line += type(r.lcld);
    line += type(r.mcld);
    line += type(r.hcld);
  }
  put_group(&line, 'G', r.wgust, "%3.0f");
  put_group(&line, 's', r.solar, "%3.0f");
  put_group(&line, 't', r.sst, "%2.1f");
  put_group(&line, 'p', r.wave_per, "%2.0f");
  put_group(&line, 'h', r.wave_hgt, "%2.1f");
  if (r.comment[0]) {
    std::string c(r.comment, strnlen(r.comment, std::min(sizeof r.comment, kCommentMax)));
    for (char& ch : c)
      if (ch == '$' || ch == '\n' || ch == '\r') ch = ' ';
    line += " #" + c;
  }
  line += " $\n";
  return line;
}

bool same_file(const char* a, const char* b) {
  struct stat sa{}, sb{};
  return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

int SFC_write_file(const char* name) {
  if (name == nullptr || *name == '\0' || sfc.cvt_fd < 0) return -1;
  if (same_file(name, sfc.open_name.c_str())) {
    MESS_print(MESS_WARN, "SFC_write_file: %s is the file being read: not written\n", name);
    return -1;
  }
  // The reports go to a new file that replaces the old one only when it is whole, so a full
  // disk or a killed run never leaves half an hour in place of a good archive.
  FileOutput file;
  if (!FILE_open_temp(name, &file)) {
    MESS_print(MESS_WARN, "SFC_write_file: Unable to write %s: %s\n", name, FILE_output_error(&file).c_str());
    return -1;
  }
  std::FILE* out = file.fp;
  bool ok = std::fprintf(out, "ZAVSFC\n%s\n", sfc.info.label) > 0;
  int count = 0;
  sfc_report r;
  for (int index = 0; ok; ++index) {
    int at = index;
    if (SFC_read(sfc.cvt_fd, &r, 0, &at) < 0) break;
    const std::string line = report_line(r);
    ok = std::fwrite(line.data(), 1, line.size(), out) == line.size();
    ++count;
  }
  SFC_rewind(sfc.cvt_fd);
  sfc.cvt_num = 0;
  if (!FILE_commit(&file)) {
    MESS_print(MESS_WARN, "SFC_write_file: Unable to write %s: %s\n", name, FILE_output_error(&file).c_str());
    return -1;
  }
  MESS_print(MESS_MESS, "Surface file written: %s (%d reports)\n", name, count);
  return count;
}

