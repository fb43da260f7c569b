// Station tables: the header is matched against a table of column names once, then every
// row is split in one pass over the text into views of it (a copy only for quoted fields
// with doubled quotes) and only the columns that were recognised are converted.
#include "surface/obs_csv.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "files/date.h"

namespace {

// What a column holds.
enum class Fld : std::uint8_t {
  kStation, kTime, kLat, kLon, kElev, kWmo,
  kTemp, kDewp, kRelh, kWdir, kWspd, kGust, kAlt, kSlp, kPtend, kVis,
  kPrec1, kPrec3, kPrec6, kPrec24, kSnow,
  kMaxt6, kMint6, kMaxt24, kMint24,
  kCover, kBase, kVertVis, kWx, kRaw, kType, kCorrected,
  kCount
};

// The unit a column's name says. Pressures have none: hPa and inches of mercury are told
// apart by the value.
enum class Unit : std::uint8_t {
  kNone, kF, kC, kK, kKnot, kMs, kMph, kKmh, kMile, kMetre, kKm, kFoot, kInch, kMm
};

struct Name {
  const char* name;  // as services write it; compared in lower case, letters and digits only
  Fld field;
  Unit unit;
};

// Where a field has several names, a table with more than one of them takes the one listed
// first (a table with both "obsTime" and "reportTime" is timed by "obsTime").
constexpr Name kNames[] = {
    {"station", Fld::kStation, Unit::kNone}, {"station_id", Fld::kStation, Unit::kNone},
    {"icaoId", Fld::kStation, Unit::kNone}, {"icao", Fld::kStation, Unit::kNone},
    {"stid", Fld::kStation, Unit::kNone}, {"stn", Fld::kStation, Unit::kNone},
    {"site", Fld::kStation, Unit::kNone}, {"site_id", Fld::kStation, Unit::kNone},
    {"id", Fld::kStation, Unit::kNone},

    {"valid", Fld::kTime, Unit::kNone}, {"observation_time", Fld::kTime, Unit::kNone},
    {"obsTime", Fld::kTime, Unit::kNone}, {"valid_time", Fld::kTime, Unit::kNone},
    {"valid_utc", Fld::kTime, Unit::kNone}, {"utc_valid", Fld::kTime, Unit::kNone},
    {"date_time", Fld::kTime, Unit::kNone}, {"time", Fld::kTime, Unit::kNone},
    {"timestamp", Fld::kTime, Unit::kNone}, {"reportTime", Fld::kTime, Unit::kNone},
    {"date", Fld::kTime, Unit::kNone},

    {"lat", Fld::kLat, Unit::kNone}, {"latitude", Fld::kLat, Unit::kNone}, {"lon", Fld::kLon, Unit::kNone},
    {"longitude", Fld::kLon, Unit::kNone}, {"lng", Fld::kLon, Unit::kNone},
    {"long", Fld::kLon, Unit::kNone}, {"elevation_m", Fld::kElev, Unit::kMetre},
    {"elev", Fld::kElev, Unit::kMetre}, {"elevation", Fld::kElev, Unit::kMetre},
    {"elev_m", Fld::kElev, Unit::kMetre}, {"elevation_ft", Fld::kElev, Unit::kFoot},
    {"elev_ft", Fld::kElev, Unit::kFoot}, {"wmo", Fld::kWmo, Unit::kNone},
    {"wmo_id", Fld::kWmo, Unit::kNone},

    // Temperatures without a unit in the name are Celsius, as the services that use such
    // names deliver them.
    {"tmpf", Fld::kTemp, Unit::kF}, {"temp_f", Fld::kTemp, Unit::kF},
    {"temperature_f", Fld::kTemp, Unit::kF}, {"tmpc", Fld::kTemp, Unit::kC},
    {"temp_c", Fld::kTemp, Unit::kC}, {"temperature_c", Fld::kTemp, Unit::kC},
    {"temp", Fld::kTemp, Unit::kC}, {"temperature", Fld::kTemp, Unit::kC},
    {"air_temp", Fld::kTemp, Unit::kC}, {"tmpk", Fld::kTemp, Unit::kK}, {"temp_k", Fld::kTemp, Unit::kK},
    {"dwpf", Fld::kDewp, Unit::kF}, {"dewpoint_f", Fld::kDewp, Unit::kF}, {"dwpc", Fld::kDewp, Unit::kC},
    {"dewpoint_c", Fld::kDewp, Unit::kC}, {"dewp", Fld::kDewp, Unit::kC},
    {"dewpoint", Fld::kDewp, Unit::kC}, {"dew_point_temperature", Fld::kDewp, Unit::kC},
    {"dwpk", Fld::kDewp, Unit::kK}, {"relh", Fld::kRelh, Unit::kNone}, {"rh", Fld::kRelh, Unit::kNone},
    {"relative_humidity", Fld::kRelh, Unit::kNone}, {"relhum", Fld::kRelh, Unit::kNone},
    {"humidity", Fld::kRelh, Unit::kNone},

    {"drct", Fld::kWdir, Unit::kNone}, {"wind_dir_degrees", Fld::kWdir, Unit::kNone},
    {"wdir", Fld::kWdir, Unit::kNone}, {"wind_dir", Fld::kWdir, Unit::kNone},
    {"wind_direction", Fld::kWdir, Unit::kNone}, {"sknt", Fld::kWspd, Unit::kKnot},
    {"wind_speed_kt", Fld::kWspd, Unit::kKnot}, {"wspd", Fld::kWspd, Unit::kKnot},
    {"wind_speed", Fld::kWspd, Unit::kKnot}, {"sped", Fld::kWspd, Unit::kMph},
    {"wind_speed_mph", Fld::kWspd, Unit::kMph}, {"wind_speed_ms", Fld::kWspd, Unit::kMs},
    {"wind_speed_mps", Fld::kWspd, Unit::kMs}, {"wind_speed_kmh", Fld::kWspd, Unit::kKmh},
    {"gust", Fld::kGust, Unit::kKnot}, {"wind_gust_kt", Fld::kGust, Unit::kKnot},
    {"wgst", Fld::kGust, Unit::kKnot}, {"wgust", Fld::kGust, Unit::kKnot},
    {"gust_kt", Fld::kGust, Unit::kKnot}, {"wind_gust", Fld::kGust, Unit::kKnot},
    {"gust_mph", Fld::kGust, Unit::kMph}, {"wind_gust_ms", Fld::kGust, Unit::kMs},

    {"alti", Fld::kAlt, Unit::kNone}, {"altim_in_hg", Fld::kAlt, Unit::kNone},
    {"altim", Fld::kAlt, Unit::kNone}, {"altimeter", Fld::kAlt, Unit::kNone},
    {"altimeter_in_hg", Fld::kAlt, Unit::kNone}, {"altim_hpa", Fld::kAlt, Unit::kNone},
    {"mslp", Fld::kSlp, Unit::kNone}, {"sea_level_pressure_mb", Fld::kSlp, Unit::kNone},
    {"slp", Fld::kSlp, Unit::kNone}, {"pmsl", Fld::kSlp, Unit::kNone},
    {"sea_level_pressure", Fld::kSlp, Unit::kNone},
    {"three_hr_pressure_tendency_mb", Fld::kPtend, Unit::kNone}, {"presTend", Fld::kPtend, Unit::kNone},
    {"ptend", Fld::kPtend, Unit::kNone}, {"pressure_tendency", Fld::kPtend, Unit::kNone},
    {"pressure_tendency_mb", Fld::kPtend, Unit::kNone},

    {"vsby", Fld::kVis, Unit::kMile}, {"visibility_statute_mi", Fld::kVis, Unit::kMile},
    {"visib", Fld::kVis, Unit::kMile}, {"visibility", Fld::kVis, Unit::kMile},
    {"vis", Fld::kVis, Unit::kMile}, {"visibility_mi", Fld::kVis, Unit::kMile},
    {"visibility_m", Fld::kVis, Unit::kMetre}, {"vis_m", Fld::kVis, Unit::kMetre},
    {"visibility_km", Fld::kVis, Unit::kKm}, {"vis_km", Fld::kVis, Unit::kKm},

    // The one-hour amount is recognised but the surface record has no place for it.
    {"p01i", Fld::kPrec1, Unit::kInch}, {"precip_in", Fld::kPrec1, Unit::kInch},
    {"precip", Fld::kPrec1, Unit::kInch}, {"p01m", Fld::kPrec1, Unit::kMm},
    {"pcp3hr_in", Fld::kPrec3, Unit::kInch}, {"pcp3hr", Fld::kPrec3, Unit::kInch},
    {"p03i", Fld::kPrec3, Unit::kInch}, {"pcp6hr_in", Fld::kPrec6, Unit::kInch},
    {"pcp6hr", Fld::kPrec6, Unit::kInch}, {"p06i", Fld::kPrec6, Unit::kInch},
    {"pcp24hr_in", Fld::kPrec24, Unit::kInch}, {"pcp24hr", Fld::kPrec24, Unit::kInch},
    {"p24i", Fld::kPrec24, Unit::kInch}, {"snow_in", Fld::kSnow, Unit::kInch},
    {"snow", Fld::kSnow, Unit::kInch}, {"snow_depth_in", Fld::kSnow, Unit::kInch},
    {"snowdepth", Fld::kSnow, Unit::kInch},

    // Maxima and minima: of 6 hours (1snnn and 2snnn groups) and of 24 hours (4snnnsnnn).
    {"maxT_c", Fld::kMaxt6, Unit::kC}, {"maxT", Fld::kMaxt6, Unit::kC}, {"minT_c", Fld::kMint6, Unit::kC},
    {"minT", Fld::kMint6, Unit::kC}, {"maxT24hr_c", Fld::kMaxt24, Unit::kC},
    {"maxT24", Fld::kMaxt24, Unit::kC}, {"max_tmpf", Fld::kMaxt24, Unit::kF},
    {"minT24hr_c", Fld::kMint24, Unit::kC}, {"minT24", Fld::kMint24, Unit::kC},
    {"min_tmpf", Fld::kMint24, Unit::kF},

    // Cloud layers: numbered names (skyc1..skyc4) or one name repeated, taken in order.
    {"skyc", Fld::kCover, Unit::kNone}, {"sky_cover", Fld::kCover, Unit::kNone},
    {"skyl", Fld::kBase, Unit::kFoot}, {"cloud_base_ft_agl", Fld::kBase, Unit::kFoot},
    {"cloud_base", Fld::kBase, Unit::kFoot}, {"vert_vis_ft", Fld::kVertVis, Unit::kFoot},
    {"vertVis", Fld::kVertVis, Unit::kFoot},

    {"wxcodes", Fld::kWx, Unit::kNone}, {"wx_string", Fld::kWx, Unit::kNone},
    {"present_weather", Fld::kWx, Unit::kNone}, {"presentwx", Fld::kWx, Unit::kNone},
    {"weather", Fld::kWx, Unit::kNone}, {"wx", Fld::kWx, Unit::kNone}, {"metar", Fld::kRaw, Unit::kNone},
    {"raw_text", Fld::kRaw, Unit::kNone}, {"rawOb", Fld::kRaw, Unit::kNone},
    {"raw_metar", Fld::kRaw, Unit::kNone}, {"raw", Fld::kRaw, Unit::kNone},
    {"report", Fld::kRaw, Unit::kNone}, {"metar_type", Fld::kType, Unit::kNone},
    {"report_type", Fld::kType, Unit::kNone}, {"corrected", Fld::kCorrected, Unit::kNone},
};

constexpr int kLayers = 5;  // cloud layers of the surface record
constexpr std::size_t kMaxRow = 64 * 1024;    // longer rows are skipped
constexpr std::size_t kMaxQuoted = 8 * 1024;  // a longer quoted field is taken as unclosed
constexpr std::size_t kMaxFields = 512;       // fields after these are ignored
constexpr int kHeaderLines = 100;             // lines searched for the header

// A recognised column.
struct Column {
  int index;  // position in the row
  Fld field;
  Unit unit;
  int layer;  // cloud layer of a cover or base column
};

struct Layout {
  char delim = ',';
  int station = -1;
  int time = -1;
  int raw = -1;
  int type = -1;
  std::vector<Column> values;  // the other recognised columns, in row order
  std::string station_name;    // as written in the header, for telling a repeated header
  std::size_t body = 0;        // where the rows start
};

// The module's scratch space, kept between calls so that rows allocate nothing.
struct CsvState {
  std::vector<std::string_view> fields;
  std::string scratch;  // unquoted fields with doubled quotes; reserved, never grows past it
  std::vector<std::string> wx_groups;
  std::vector<std::string> keys;  // the names of kNames reduced as key_of does
  std::array<bool, 256> stop{};    // the bytes that end an unquoted field: delimiter, CR, LF
  char stop_delim = 0;
};
CsvState state;

bool missing(float v) { return v == MISSING; }

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool alnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool digit(char c) { return c >= '0' && c <= '9'; }

bool equal_ci(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// A column name reduced to lower-case letters and digits ("Station ID" -> "stationid");
// empty when it is too long to be a name.
std::string_view key_of(std::string_view name, char (&buf)[48]) {
  std::size_t n = 0;
  for (char c : name) {
    if (!alnum(c)) continue;
    if (n == sizeof buf) return {};
    buf[n++] = lower(c);
  }
  return {buf, n};
}

const Name* lookup(std::string_view key) {
  if (key.empty()) return nullptr;
  if (state.keys.empty()) {
    for (const Name& e : kNames) {
      char buf[48];
      state.keys.emplace_back(key_of(e.name, buf));
    }
  }
  for (std::size_t k = 0; k < state.keys.size(); ++k)
    if (state.keys[k] == key) return &kNames[k];
  return nullptr;
}

std::string names_of(Fld field) {
  std::string s;
  for (const Name& e : kNames) {
    if (e.field != field) continue;
    if (!s.empty()) s += ", ";
    s += e.name;
  }
  return s;
}

// ---- splitting rows ----

std::size_t line_after(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return text.size();
  const void* nl = std::memchr(text.data() + pos, '\n', text.size() - pos);
  return nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text.data()) + 1 : text.size();
}

// Splits the row starting at pos into state.fields and sets *next to the start of the next
// row. False for a row over the length limit or with a quote that does not close; *next
// is then past the line (or the part of it) that was given up.
bool split_row(std::string_view text, std::size_t pos, char delim, std::size_t* next) {
  auto& fields = state.fields;
  auto& scratch = state.scratch;
  fields.clear();
  scratch.clear();
  if (scratch.capacity() < kMaxRow) scratch.reserve(kMaxRow);
  const char* s = text.data();
  const std::size_t n = text.size();
  const std::size_t limit = std::min(n, pos + kMaxRow);
  if (state.stop_delim != delim) {
    state.stop.fill(false);
    for (const char c : {delim, '\n', '\r'}) state.stop[static_cast<unsigned char>(c)] = true;
    state.stop_delim = delim;
  }
  auto ends = [](char c) { return state.stop[static_cast<unsigned char>(c)]; };
  std::size_t i = pos;
  for (;;) {
    std::string_view field;
    if (i < limit && s[i] == '"') {
      std::size_t j = i + 1;
      const std::size_t qlimit = std::min(limit, j + kMaxQuoted);
      bool doubled = false;
      for (;;) {
        const void* q = j < qlimit ? std::memchr(s + j, '"', qlimit - j) : nullptr;
        if (!q) {
          *next = line_after(text, pos);
          return false;
        }
        const auto k = static_cast<std::size_t>(static_cast<const char*>(q) - s);
        if (k + 1 < n && s[k + 1] == '"') {
          doubled = true;
          j = k + 2;
          continue;
        }
        field = text.substr(i + 1, k - i - 1);
        i = k + 1;
        break;
      }
      if (doubled) {
        // The unquoted text is never longer than the row, so scratch keeps its buffer and
        // the views into it stay valid.
        const std::size_t at = scratch.size();
        for (std::size_t c = 0; c < field.size(); ++c) {
          scratch.push_back(field[c]);
          if (field[c] == '"') ++c;
        }
        field = std::string_view(scratch).substr(at);
      }
      while (i < limit && !ends(s[i])) ++i;  // text after the quote
    } else {
      std::size_t j = i;
      while (j < limit && !ends(s[j])) ++j;
      field = text.substr(i, j - i);
      i = j;
    }
    if (fields.size() < kMaxFields) fields.push_back(field);
    if (i >= n) {
      *next = n;
      return true;
    }
    if (i >= limit) {
      *next = line_after(text, i);
      return false;
    }
    const char c = s[i++];
    if (c == delim) continue;
    if (c == '\r' && i < n && s[i] == '\n') ++i;
    *next = i;
    return true;
  }
}

// ---- the header ----

// Fills lay from the names in state.fields; true when there is a station and a time column.
bool map_header(Layout* lay) {
  struct Best {
    int index = -1;
    int rank = 0;
    Unit unit = Unit::kNone;
  };
  std::array<Best, static_cast<std::size_t>(Fld::kCount)> best{};
  std::array<Best, kLayers> cover{}, base{};
  int next_cover = 0, next_base = 0;
  const auto& fields = state.fields;
  for (std::size_t c = 0; c < fields.size(); ++c) {
    char buf[48];
    std::string_view key = key_of(fields[c], buf);
    const Name* e = lookup(key);
    int layer = -1;
    if (!e) {
      // A numbered cloud column: skyc1, sky_cover_2...
      std::size_t d = key.size();
      while (d > 0 && digit(key[d - 1])) --d;
      if (d == 0 || d == key.size() || key.size() - d > 1) continue;
      e = lookup(key.substr(0, d));
      if (!e || (e->field != Fld::kCover && e->field != Fld::kBase)) continue;
      layer = key[d] - '1';
    }
    const int rank = static_cast<int>(e - kNames);
    if (e->field == Fld::kCover || e->field == Fld::kBase) {
      if (layer < 0) layer = e->field == Fld::kCover ? next_cover++ : next_base++;
      auto& slots = e->field == Fld::kCover ? cover : base;
      if (layer >= 0 && layer < kLayers && slots[layer].index < 0)
        slots[layer] = {static_cast<int>(c), rank, e->unit};
      continue;
    }
    Best& b = best[static_cast<std::size_t>(e->field)];
    if (b.index < 0 || rank < b.rank) b = {static_cast<int>(c), rank, e->unit};
  }
  lay->station = best[static_cast<std::size_t>(Fld::kStation)].index;
  lay->time = best[static_cast<std::size_t>(Fld::kTime)].index;
  lay->raw = best[static_cast<std::size_t>(Fld::kRaw)].index;
  lay->type = best[static_cast<std::size_t>(Fld::kType)].index;
  lay->values.clear();
  for (std::size_t f = 0; f < best.size(); ++f) {
    const auto field = static_cast<Fld>(f);
    if (best[f].index < 0 || field == Fld::kStation || field == Fld::kTime || field == Fld::kRaw ||
        field == Fld::kType)
      continue;
    lay->values.push_back({best[f].index, field, best[f].unit, 0});
  }
  for (int l = 0; l < kLayers; ++l) {
    if (cover[l].index >= 0) lay->values.push_back({cover[l].index, Fld::kCover, Unit::kNone, l});
    if (base[l].index >= 0) lay->values.push_back({base[l].index, Fld::kBase, base[l].unit, l});
  }
  std::sort(lay->values.begin(), lay->values.end(),
            [](const Column& a, const Column& b) { return a.index < b.index; });
  if (lay->station >= 0) lay->station_name = trim(fields[static_cast<std::size_t>(lay->station)]);
  return lay->station >= 0 && lay->time >= 0;
}

enum class Header { kFound, kNoStation, kNoTime };

// Searches the first lines for the header, with commas, else semicolons or tabs.
Header find_header(std::string_view text, Layout* lay) {
  std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  bool saw_station = false;
  for (int line = 0; line < kHeaderLines && pos < text.size(); ++line) {
    const std::size_t end = line_after(text, pos);
    const std::string_view l = text.substr(pos, end - pos);
    for (const char delim : {',', ';', '\t'}) {
      if (l.find(delim) == std::string_view::npos) continue;
      std::size_t next = 0;
      if (!split_row(text, pos, delim, &next)) continue;
      if (map_header(lay)) {
        lay->delim = delim;
        lay->body = next;
        return Header::kFound;
      }
      saw_station = saw_station || lay->station >= 0;
    }
    pos = end;
  }
  return saw_station ? Header::kNoTime : Header::kNoStation;
}

// ---- values ----

enum class Val { kValue, kMissing, kBad };

bool missing_marker(std::string_view s) {
  static constexpr std::string_view kMarkers[] = {"M",  "MM", "NaN", "null", "None", "NA",
                                                  "N/A", "-", "--",  "///",  "////", "missing"};
  for (std::string_view m : kMarkers)
    if (equal_ci(s, m)) return true;
  return false;
}

// Plain decimals ("-97.1234", "52.5"), nearly all that a table holds, read exactly to the
// correctly rounded value that from_chars gives. false for any other form, which from_chars
// then reads.
bool plain_decimal(std::string_view s, double* v) {
  ExactDecimal d;
  return scan_exact_decimal(s, false, &d) == s.size() && exact_decimal_value(d, v);
}

// What a number read means: nothing a station measures comes near 1e12 (beyond it a value
// would not even fit the report's floats), and -9999 or -999 stand for no value.
Val range(const double* v) {
  if (!(std::fabs(*v) < 1e12)) return Val::kBad;
  if (*v <= -9990.0 || *v == -999.0) return Val::kMissing;
  return Val::kValue;
}

// A number of a field: blanks around it, an optional sign, a final '+' ("10+": at least).
Val number(std::string_view s, double* v) {
  s = trim(s);
  if (s.empty()) return Val::kMissing;
  if (plain_decimal(s, v)) return range(v);
  if (!digit(s.front()) && missing_marker(s)) return Val::kMissing;
  if (s.front() == '+') s.remove_prefix(1);
  if (!s.empty() && s.back() == '+') s.remove_suffix(1);
  if (s.empty()) return Val::kBad;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *v);
  if (ec != std::errc() || end != s.data() + s.size()) return Val::kBad;
  return range(v);
}

// Visibility: a number, "10+", or a fraction as METAR writes it ("1/2", "1 1/2", "M1/4",
// "P6SM").
Val visibility(std::string_view s, double* v) {
  s = trim(s);
  if (s.size() > 2 && equal_ci(s.substr(s.size() - 2), "SM")) s.remove_suffix(2);
  if (s.size() > 1 && (s.front() == 'P' || s.front() == 'M') && digit(s[1])) s.remove_prefix(1);
  const std::size_t slash = s.find('/');
  if (slash == std::string_view::npos || missing_marker(s)) return number(s, v);
  double whole = 0.0, num = 0.0, den = 0.0;
  std::string_view head = s.substr(0, slash);
  const std::size_t sp = head.find(' ');
  if (sp != std::string_view::npos) {
    if (number(head.substr(0, sp), &whole) != Val::kValue) return Val::kBad;
    head = head.substr(sp + 1);
  }
  if (number(head, &num) != Val::kValue || number(s.substr(slash + 1), &den) != Val::kValue || den <= 0.0)
    return Val::kBad;
  *v = whole + num / den;
  return Val::kValue;
}

double to_fahrenheit(double v, Unit u) {
  switch (u) {
    case Unit::kC: return v * 1.8 + 32.0;
    case Unit::kK: return (v - 273.15) * 1.8 + 32.0;
    default: return v;
  }
}

double to_knots(double v, Unit u) {
  switch (u) {
    case Unit::kMs: return v * 3600.0 / 1852.0;
    case Unit::kMph: return v * 1609.344 / 1852.0;
    case Unit::kKmh: return v / 1.852;
    default: return v;
  }
}

constexpr double kMbPerInHg = 33.8639;

// Altimeter setting in inches of mercury from inches, hPa, kPa or Pa, told apart by size.
bool altimeter(double* v) {
  if (*v >= 15.0 && *v <= 40.0) return true;
  if (*v >= 50000.0 && *v <= 120000.0) *v /= 100.0;  // Pa
  if (*v >= 50.0 && *v <= 120.0) *v *= 10.0;         // kPa
  if (*v >= 500.0 && *v <= 1200.0) {
    *v /= kMbPerInHg;
    return true;
  }
  return false;
}

// Sea-level pressure in mb from mb (hPa), kPa, Pa or inches of mercury, told apart by size.
bool sea_level(double* v) {
  if (*v >= 15.0 && *v <= 40.0) *v *= kMbPerInHg;
  if (*v >= 50000.0 && *v <= 120000.0) *v /= 100.0;
  if (*v >= 50.0 && *v <= 120.0) *v *= 10.0;
  return *v >= 500.0 && *v <= 1200.0;
}

// Sky cover code of the record: F, S, B, O, X, C; 0 when missing; '?' when unknown.
char cover_code(std::string_view s) {
  s = trim(s);
  if (s.empty() || missing_marker(s)) return 0;
  static constexpr struct {
    std::string_view text;
    char code;
  } kCodes[] = {{"FEW", 'F'}, {"SCT", 'S'}, {"BKN", 'B'}, {"OVC", 'O'}, {"VV", 'X'}, {"OVX", 'X'},
                {"CLR", 'C'}, {"SKC", 'C'}, {"NSC", 'C'}, {"NCD", 'C'}, {"CAVOK", 'C'}};
  for (const auto& c : kCodes)
    if (equal_ci(s, c.text)) return c.code;
  return '?';
}

// Oktas digit of a cover code, and its order for the largest cover.
char oktas(char code) {
  switch (code) {
    case 'C': return '0';
    case 'F': return '2';
    case 'S': return '4';
    case 'B': return '6';
    case 'O': return '8';
    case 'X': return '9';
    default: return ' ';
  }
}

// Dew point (F) from the temperature (F) and the relative humidity (%): the Magnus formula
// over water with the constants of Alduchov and Eskridge (1996, J. Appl. Meteor. 35,
// 601-609), a = 17.625, b = 243.04 C, within 0.4 C from -40 to 50 C.
float dew_point(float temp_f, float rh) {
  constexpr double a = 17.625, b = 243.04;
  const double t = (temp_f - 32.0) / 1.8;
  const double g = std::log(std::min(rh, 100.0f) / 100.0) + a * t / (b + t);
  return static_cast<float>(b * g / (a - g) * 1.8 + 32.0);
}

// ---- times ----

struct ObsTime {
  std::int32_t secs;
  int day, hour, minute;
};

bool read_digits(std::string_view s, std::size_t* i, std::size_t min, std::size_t max, int* v) {
  std::size_t n = 0;
  int x = 0;
  while (*i + n < s.size() && n < max && digit(s[*i + n])) x = x * 10 + (s[*i + n++] - '0');
  if (n < min) return false;
  *i += n;
  *v = x;
  return true;
}

bool from_seconds(long long secs, ObsTime* t) {
  // The last second of the last year observations are dated in (2037).
  if (secs < 100000000LL || secs > 2145916799LL) return false;
  const int s = static_cast<int>(secs);
  DateRec d;
  DATE_get_gmdate(&s, &d);
  *t = {s, d.day, d.hour, d.minute};
  return true;
}

bool from_date(int year, int month, int day, int hour, int minute, int second, int offset_min, ObsTime* t) {
  // The package counts seconds in 32 bits with every fourth year leap.
  if (year < MTR_FIRST_YEAR || year > MTR_LAST_YEAR || month < 1 || month > 12 || day < 1 ||
      day > DATE_month_days(year, month) ||
      hour > 23 || minute > 59 || second > 60)
    return false;
  DateRec d{year, month, day, MISSING_INT, MISSING_INT, hour, minute, std::min(second, 59)};
  const int secs = DATE_num_sec(&d);
  if (offset_min != 0) return from_seconds(static_cast<long long>(secs) - 60LL * offset_min, t);
  *t = {secs, day, hour, minute};
  return true;
}

// "YYYY-MM-DD HH:MM[:SS[.s]]" with '-' or '/', ' ' or 'T', then "Z", "UTC", "GMT" or a
// "+hh[:mm]" offset; "YYYYMMDDHHMM[SS]"; seconds since 1970.
bool parse_time(std::string_view s, ObsTime* t) {
  s = trim(s);
  std::size_t nd = 0;
  while (nd < s.size() && digit(s[nd])) ++nd;
  const bool fraction =
      nd + 1 < s.size() && s[nd] == '.' && std::all_of(s.begin() + static_cast<long>(nd) + 1, s.end(), digit);
  if (nd == s.size() || fraction) {
    std::size_t i = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    if (nd == 12 || nd == 14) {
      read_digits(s, &i, 4, 4, &y);
      read_digits(s, &i, 2, 2, &mo);
      read_digits(s, &i, 2, 2, &d);
      read_digits(s, &i, 2, 2, &h);
      read_digits(s, &i, 2, 2, &mi);
      if (nd == 14) read_digits(s, &i, 2, 2, &se);
      return from_date(y, mo, d, h, mi, se, 0, t);
    }
    if (nd < 9 || nd > 10) return false;
    long long secs = 0;
    std::from_chars(s.data(), s.data() + nd, secs);
    return from_seconds(secs, t);
  }
  std::size_t i = 0;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
  if (!read_digits(s, &i, 4, 4, &y) || i >= s.size() || (s[i] != '-' && s[i] != '/')) return false;
  const char sep = s[i++];
  if (!read_digits(s, &i, 1, 2, &mo) || i >= s.size() || s[i] != sep) return false;
  ++i;
  if (!read_digits(s, &i, 1, 2, &d) || i >= s.size() || (s[i] != 'T' && s[i] != ' ')) return false;
  while (i < s.size() && (s[i] == 'T' || s[i] == ' ')) ++i;
  const std::size_t hstart = i;
  if (!read_digits(s, &i, 1, 4, &h)) return false;
  if (i - hstart == 4) {  // HHMM
    mi = h % 100;
    h /= 100;
  } else {
    if (i - hstart > 2 || i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!read_digits(s, &i, 2, 2, &mi)) return false;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!read_digits(s, &i, 2, 2, &se)) return false;
      if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && digit(s[i])) ++i;
      }
    }
  }
  while (i < s.size() && s[i] == ' ') ++i;
  std::string_view zone = s.substr(i);
  int offset = 0;
  if (!zone.empty() && (zone.front() == '+' || zone.front() == '-')) {
    const int sign = zone.front() == '-' ? -1 : 1;
    std::size_t k = 1;
    int oh = 0, om = 0;
    if (!read_digits(zone, &k, 2, 2, &oh)) return false;
    if (k < zone.size() && zone[k] == ':') ++k;
    if (k < zone.size() && !read_digits(zone, &k, 2, 2, &om)) return false;
    if (k != zone.size() || oh > 14 || om > 59) return false;
    offset = sign * (oh * 60 + om);
  } else if (!zone.empty() && !equal_ci(zone, "Z") && !equal_ci(zone, "UTC") && !equal_ci(zone, "GMT")) {
    return false;
  }
  return from_date(y, mo, d, h, mi, se, offset, t);
}

// ---- rows ----

// Hash of a row without a report text, for telling identical repeats: eight bytes a step,
// as rows are hashed by the thousand.
std::uint64_t row_hash(std::string_view text) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ text.size();
  auto mix = [&h](std::uint64_t w) {
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  };
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t w = 0;
    std::memcpy(&w, text.data() + i, 8);
    mix(w);
  }
  std::uint64_t w = 0;
  std::memcpy(&w, text.data() + i, text.size() - i);
  mix(w);
  return h;
}

bool good_station(std::string_view id) {
  if (id.empty() || id.size() >= sizeof(sfc_report::id)) return false;
  return std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 0x7F && c != '"'; });
}

void set_station(sfc_report& r, std::string_view id) {
  std::size_t n = 0;
  for (char c : id) r.id[n++] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  r.id[n] = '\0';
}

// SPECI as the first word and COR before the remarks, for a report the decoder did not read.
void report_words(std::string_view raw, bool* special, bool* corrected) {
  bool first = true;
  std::size_t i = 0;
  while (i < raw.size()) {
    while (i < raw.size() && blank(raw[i])) ++i;
    std::size_t j = i;
    while (j < raw.size() && !blank(raw[j])) ++j;
    if (j == i) break;
    const std::string_view w = raw.substr(i, j - i);
    if (w == "RMK") break;
    if (first && w == "SPECI") *special = true;
    if (w == "COR") *corrected = true;
    first = false;
    i = j;
  }
}

// Fills what the columns left missing from the decoded report.
void fill_missing(sfc_report& r, const sfc_report& d) {
  static constexpr float sfc_report::*kFloats[] = {
      &sfc_report::lat,    &sfc_report::lon,    &sfc_report::elev,     &sfc_report::vis,   &sfc_report::slpr,
      &sfc_report::temp,   &sfc_report::dewp,   &sfc_report::wdir,     &sfc_report::wspd,  &sfc_report::wgust,
      &sfc_report::alt,    &sfc_report::ptend,  &sfc_report::prec3,    &sfc_report::prec6, &sfc_report::prec12,
      &sfc_report::prec24, &sfc_report::maxt,   &sfc_report::mint,     &sfc_report::maxt6, &sfc_report::mint6,
      &sfc_report::scover, &sfc_report::solar,  &sfc_report::sst,      &sfc_report::wave_per,
      &sfc_report::wave_hgt};
  for (auto m : kFloats)
    if (missing(r.*m) && !missing(d.*m)) r.*m = d.*m;
  if (r.ptype == MISSING_INT) r.ptype = d.ptype;
  if (r.wmo == MISSING_INT) r.wmo = d.wmo;
  if (r.ncld == 0 && d.ncld > 0) {
    std::memcpy(r.cld_cov, d.cld_cov, sizeof r.cld_cov);
    std::memcpy(r.cld_hgt, d.cld_hgt, sizeof r.cld_hgt);
    r.ncld = d.ncld;
    r.cld_tot = d.cld_tot;
  }
  for (auto m : {&sfc_report::cld_tot, &sfc_report::lcld, &sfc_report::mcld, &sfc_report::hcld})
    if (r.*m == ' ') r.*m = d.*m;
  auto none = [](const char* wx) { return wx[0] == ' ' || wx[0] == '\0'; };
  if (none(r.wx) && !none(d.wx)) std::memcpy(r.wx, d.wx, sizeof r.wx);
  if (!r.comment[0]) std::memcpy(r.comment, d.comment, sizeof r.comment);
}

// Cloud layers in order, a clear sky as one 'C' layer, a vertical visibility alone as an
// obscured layer; the total cover is the largest.
void set_clouds(sfc_report& r, const char (&cover)[kLayers], const float (&base)[kLayers], float vert_vis) {
  int n = 0;
  bool clear = false;
  char top = 0;
  static constexpr std::string_view kOrder = "CFSBOX";
  auto larger = [&](char code) {
    if (!top || kOrder.find(code) > kOrder.find(top)) top = code;
  };
  for (int l = 0; l < kLayers; ++l) {
    if (!cover[l]) continue;
    if (cover[l] == 'C') {
      clear = true;
      continue;
    }
    r.cld_cov[n] = cover[l];
    r.cld_hgt[n] = cover[l] == 'X' && missing(base[l]) ? vert_vis : base[l];
    larger(cover[l]);
    ++n;
  }
  if (n == 0 && (clear || !missing(vert_vis))) {
    r.cld_cov[0] = clear ? 'C' : 'X';
    r.cld_hgt[0] = clear ? MISSING : vert_vis;
    larger(r.cld_cov[0]);
    n = 1;
  }
  r.ncld = n;
  if (top) r.cld_tot = oktas(top);
}

// The WMO present-weather number of the METAR weather groups of a column ("-SN FG").
void set_weather(sfc_report& r, std::string_view wx) {
  auto& groups = state.wx_groups;
  std::size_t used = 0, i = 0;
  while (i < wx.size() && used < 16) {
    while (i < wx.size() && blank(wx[i])) ++i;
    std::size_t j = i;
    while (j < wx.size() && !blank(wx[j])) ++j;
    if (j == i) break;
    if (groups.size() <= used) groups.emplace_back();
    groups[used++].assign(wx.substr(i, j - i));
    i = j;
  }
  groups.resize(used);
  const int code = MTR_present_weather(groups);
  if (code >= 0 && code <= 99) {
    const auto res = std::to_chars(r.wx, r.wx + sizeof r.wx - 1, code);
    *res.ptr = '\0';
  }
}

struct Reader {
  const Layout& lay;
  CsvStats& stats;
  ObsList& out;
  // The time of the row before: the rows of a table mostly share one, and reading it again
  // would be a fifth of the row's work.
  std::string last_when;
  ObsTime last_time{};
  bool last_ok = false;

  bool time_of(std::string_view when, ObsTime* t) {
    if (when != last_when || last_when.empty()) {
      last_when.assign(when);
      last_ok = parse_time(when, &last_time);
    }
    *t = last_time;
    return last_ok;
  }

  std::string_view field(int index) const {
    const auto& f = state.fields;
    return index >= 0 && static_cast<std::size_t>(index) < f.size() ? f[static_cast<std::size_t>(index)]
                                                                      : std::string_view();
  }

  // A number of a column; false when missing or bad (counted).
  bool value(const Column& c, double* v) {
    const Val r = number(field(c.index), v);
    if (r == Val::kBad) ++stats.bad_values;
    return r == Val::kValue;
  }

  void bad() { ++stats.bad_values; }

  void row(std::string_view row_text, long order);
};

void Reader::row(std::string_view row_text, long order) {
  const std::string_view id = trim(field(lay.station));
  const std::string_view when = trim(field(lay.time));
  ObsTime t{};
  if (!time_of(when, &t)) {
    ++stats.bad_rows;
    return;
  }
  const bool has_raw = lay.raw >= 0 && !trim(field(lay.raw)).empty();
  if (!good_station(id) && !has_raw) {
    ++stats.bad_rows;
    return;
  }
  // Built in place; taken back when the row has no station after all.
  sfc_report& r = out.reports.emplace_back();
  ObsMeta& o = out.meta.emplace_back();
  SFC_initialize(&r);
  r.type = 1;  // a report with values, as the text forms mark theirs
  o.secs = t.secs;
  o.day = t.day;
  o.hour = t.hour;
  o.minute = t.minute;
  o.kind = MTR_ROUTINE;
  o.corrected = 0;
  o.order = static_cast<std::int32_t>(order);
  r.time = t.hour * 100 + t.minute;

  char cover[kLayers] = {};
  float base[kLayers] = {MISSING, MISSING, MISSING, MISSING, MISSING};
  float relh = MISSING, vert_vis = MISSING;
  std::string_view wx;
  double v = 0.0;
  for (const Column& c : lay.values) {
    const std::string_view f = field(c.index);
    switch (c.field) {
      case Fld::kLat:
        if (value(c, &v)) {
          if (std::fabs(v) <= 90.0) r.lat = static_cast<float>(v);
          else bad();
        }
        break;
      case Fld::kLon:
        if (value(c, &v)) {
          if (v > 180.0 && v <= 360.0) v -= 360.0;
          if (std::fabs(v) <= 180.0) r.lon = static_cast<float>(v);
          else bad();
        }
        break;
      case Fld::kElev:
        if (value(c, &v)) r.elev = static_cast<float>(c.unit == Unit::kFoot ? v * 0.3048 : v);
        break;
      case Fld::kWmo:
        if (value(c, &v)) {
          if (v >= 0.0 && v < 1e7 && v == std::floor(v)) r.wmo = static_cast<std::int32_t>(v);
          else bad();
        }
        break;
      case Fld::kTemp:
      case Fld::kDewp:
      case Fld::kMaxt6:
      case Fld::kMint6:
      case Fld::kMaxt24:
      case Fld::kMint24:
        if (value(c, &v)) {
          const auto f2 = static_cast<float>(to_fahrenheit(v, c.unit));
          switch (c.field) {
            case Fld::kTemp: r.temp = f2; break;
            case Fld::kDewp: r.dewp = f2; break;
            case Fld::kMaxt6: r.maxt6 = f2; break;
            case Fld::kMint6: r.mint6 = f2; break;
            case Fld::kMaxt24: r.maxt = f2; break;
            default: r.mint = f2; break;
          }
        }
        break;
      case Fld::kRelh:
        if (value(c, &v)) {
          if (v > 0.0 && v <= 105.0) relh = static_cast<float>(v);
          else bad();
        }
        break;
      case Fld::kWdir:
        if (equal_ci(trim(f), "VRB")) break;  // variable: no direction
        if (value(c, &v)) {
          if (v >= 0.0 && v <= 360.0) r.wdir = static_cast<float>(v);
          else bad();
        }
        break;
      case Fld::kWspd:
        if (value(c, &v)) r.wspd = static_cast<float>(to_knots(v, c.unit));
        break;
      case Fld::kGust:
        if (value(c, &v)) r.wgust = static_cast<float>(to_knots(v, c.unit));
        break;
      case Fld::kAlt:
        if (value(c, &v)) {
          if (altimeter(&v)) r.alt = static_cast<float>(v);
          else bad();
        }
        break;
      case Fld::kSlp:
        if (value(c, &v)) {
          if (sea_level(&v)) r.slpr = static_cast<float>(v);
          else bad();
        }
        break;
      case Fld::kPtend:
        if (value(c, &v)) r.ptend = static_cast<float>(v);
        break;
      case Fld::kVis: {
        const Val res = visibility(f, &v);
        if (res == Val::kBad) bad();
        if (res != Val::kValue) break;
        if (c.unit == Unit::kMetre) v /= 1609.344;
        if (c.unit == Unit::kKm) v /= 1.609344;
        r.vis = static_cast<float>(v);
        break;
      }
      case Fld::kPrec1:
      case Fld::kPrec3:
      case Fld::kPrec6:
      case Fld::kPrec24:
      case Fld::kSnow: {
        float amount = MISSING;
        if (equal_ci(trim(f), "T")) {
          amount = 0.001f;  // a trace: more than none, less than 0.005 in
        } else if (value(c, &v)) {
          if (v < 0.0) {
            bad();
            break;
          }
          amount = static_cast<float>(c.unit == Unit::kMm ? v / 25.4 : v);
        }
        if (c.field == Fld::kPrec3) r.prec3 = amount;
        if (c.field == Fld::kPrec6) r.prec6 = amount;
        if (c.field == Fld::kPrec24) r.prec24 = amount;
        if (c.field == Fld::kSnow) r.scover = amount;
        break;
      }
      case Fld::kCover: {
        const char code = cover_code(f);
        if (code == '?') bad();
        else cover[c.layer] = code;
        break;
      }
      case Fld::kBase:
        if (value(c, &v)) base[c.layer] = static_cast<float>(c.unit == Unit::kMetre ? v / 0.3048 : v);
        break;
      case Fld::kVertVis:
        if (value(c, &v)) vert_vis = static_cast<float>(v);
        break;
      case Fld::kWx:
        wx = trim(f);
        break;
      default:
        break;
    }
  }

  set_clouds(r, cover, base, vert_vis);
  if (!wx.empty() && !missing_marker(wx)) set_weather(r, wx);

  // The kind: the table's report type, else the report text.
  bool special = false;
  bool corrected = false;
  for (const Column& c : lay.values) {
    if (c.field != Fld::kCorrected) continue;
    const std::string_view f = trim(field(c.index));
    corrected = equal_ci(f, "TRUE") || equal_ci(f, "yes") || f == "1" || equal_ci(f, "COR");
  }
  // Report types given as numbers follow no common code: only the words count.
  const std::string_view type = trim(field(lay.type));
  const bool typed = equal_ci(type, "SPECI") || equal_ci(type, "special") || equal_ci(type, "METAR") ||
                     equal_ci(type, "routine");
  if (typed) special = equal_ci(type, "SPECI") || equal_ci(type, "special");
  const std::string_view raw = trim(field(lay.raw));
  ObsRec d;
  bool decoded = false;
  if (!raw.empty() && !missing_marker(raw)) {
    decoded = MTR_decode(raw, &d, nullptr) == MTR_DECODED;
    bool raw_special = false;
    report_words(raw, &raw_special, &corrected);
    if (decoded) {
      fill_missing(r, d.r);
      if (!typed) raw_special = d.kind == MTR_SPECIAL;
      corrected = corrected || d.corrected != 0;
    }
    if (!typed) special = raw_special;
    o.text_hash = MTR_text_hash(raw);
  } else {
    o.text_hash = row_hash(row_text);
  }
  o.kind = special ? MTR_SPECIAL : MTR_ROUTINE;
  o.corrected = corrected ? 1 : 0;

  if (good_station(id)) {
    set_station(r, id);
  } else if (decoded && id.empty() && good_station(std::string_view(d.r.id, strnlen(d.r.id, sizeof d.r.id)))) {
    std::memcpy(r.id, d.r.id, sizeof r.id);
  } else {
    out.reports.pop_back();
    out.meta.pop_back();
    ++stats.bad_rows;
    return;
  }

  // Only of a temperature and humidity that could be real: the formula has no meaning
  // outside them.
  if (missing(r.dewp) && !missing(r.temp) && !missing(relh) && r.temp > -100.0f && r.temp < 150.0f && relh > 0.0f &&
      relh <= 105.0f)
    r.dewp = dew_point(r.temp, relh);
  if (decoded) ++stats.raw;
  ++stats.used;
}

bool blank_line(std::string_view text, std::size_t pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  return pos >= text.size() || text[pos] == '\n' || text[pos] == '\r';
}

}  // namespace

int CSV_is_table(std::string_view head) {
  Layout lay;
  return find_header(head, &lay) == Header::kFound ? 1 : 0;
}

int CSV_read(std::string_view text, const char* name, ObsList* out, CsvStats* stats) {
  CsvStats local;
  CsvStats& st = stats ? *stats : local;
  st = CsvStats{};
  if (!name) name = "(table)";
  Layout lay;
  const Header h = find_header(text, &lay);
  if (h != Header::kFound) {
    const bool station = h == Header::kNoStation;
    MESS_print(MESS_WARN, "CSV_read: %s: no %s column (looked for %s)\n", name, station ? "station" : "time",
               names_of(station ? Fld::kStation : Fld::kTime).c_str());
    return 0;
  }
  ObsList discard;
  if (!out) out = &discard;
  std::size_t lines = 0;
  for (std::size_t p = lay.body; p < text.size(); p = line_after(text, p)) ++lines;
  // More rows grow the lists as usual.
  const std::size_t room = out->size() + std::min<std::size_t>(lines, 100000);
  out->reports.reserve(room);
  out->meta.reserve(room);
  Reader reader{lay, st, *out, {}, {}, false};
  long order = 0;
  std::size_t pos = lay.body;
  while (pos < text.size()) {
    if (blank_line(text, pos)) {
      pos = line_after(text, pos);
      continue;
    }
    std::size_t next = pos;
    const bool ok = split_row(text, pos, lay.delim, &next);
    std::string_view row_text = text.substr(pos, next - pos);
    pos = next;
    if (!ok) {
      ++st.rows;
      ++st.long_rows;
      ++order;
      continue;
    }
    // A header repeated where tables were joined.
    if (!lay.station_name.empty() && equal_ci(trim(reader.field(lay.station)), lay.station_name)) continue;
    ++st.rows;
    ++order;
    while (!row_text.empty() && (row_text.back() == '\n' || row_text.back() == '\r')) row_text.remove_suffix(1);
    reader.row(row_text, order);
  }
  return 1;
}
