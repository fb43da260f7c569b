// Gross limits and duplicate resolution for the reports of one surface file.
#include "surface/sfc_check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/datafile.h"
#include "config/fileio.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "plot/maptran.h"
#include "surface/cty_tool.h"
#include "surface/id_index.h"
#include "surface/sfc_read.h"
#include "surface/unittool.h"

namespace {

constexpr std::size_t kLineMax = 1024;  // longer table lines are cut
constexpr int kMaxLimits = 200;         // a table is a few dozen lines; the rest is ignored

// How a limit reaches its values.
enum class Access { value, layers, code, excess };

// A variable the table may name: its member of the report and the units a table may give
// its limits in, the report's own first. The units table converts among them; names it does
// not list it would pass through unconverted, so a table may use these only.
struct Field {
  const char* name;
  Access access;
  float sfc_report::*member;
  const char* units;
};

constexpr const char* kTemp = "F C K";
constexpr const char* kPressure = "mb hPa kPa Pa in_Hg mm_Hg";
constexpr const char* kSpeed = "kt kts knt m/s mph km/h";
constexpr const char* kDepth = "in mm cm";

constexpr Field kFields[] = {
    {"temp", Access::value, &sfc_report::temp, kTemp},
    {"dewp", Access::value, &sfc_report::dewp, kTemp},
    // The dew point's excess over the temperature: a difference of temperatures.
    {"dewp-temp", Access::excess, &sfc_report::dewp, kTemp},
    {"maxt", Access::value, &sfc_report::maxt, kTemp},
    {"mint", Access::value, &sfc_report::mint, kTemp},
    {"maxt6", Access::value, &sfc_report::maxt6, kTemp},
    {"mint6", Access::value, &sfc_report::mint6, kTemp},
    {"sst", Access::value, &sfc_report::sst, "C F K"},
    {"slpr", Access::value, &sfc_report::slpr, kPressure},
    {"alt", Access::value, &sfc_report::alt, "in_Hg mm_Hg mb hPa kPa Pa"},
    {"ptend", Access::value, &sfc_report::ptend, kPressure},
    {"ptype", Access::code, nullptr, "code"},
    {"wdir", Access::value, &sfc_report::wdir, "deg"},
    {"wspd", Access::value, &sfc_report::wspd, kSpeed},
    {"wgust", Access::value, &sfc_report::wgust, kSpeed},
    {"vis", Access::value, &sfc_report::vis, "mi km m nmi ft"},
    {"cld_hgt", Access::layers, nullptr, "ft m km"},
    {"prec3", Access::value, &sfc_report::prec3, kDepth},
    {"prec6", Access::value, &sfc_report::prec6, kDepth},
    {"prec12", Access::value, &sfc_report::prec12, kDepth},
    {"prec24", Access::value, &sfc_report::prec24, kDepth},
    {"scover", Access::value, &sfc_report::scover, kDepth},
    {"solar", Access::value, &sfc_report::solar, "min hr s sec"},
    {"wave_per", Access::value, &sfc_report::wave_per, "s sec min"},
    {"wave_hgt", Access::value, &sfc_report::wave_hgt, "m ft"},
};

struct Limit {
  const Field* field;
  float low;   // in the report's units; MISSING: no lower limit
  float high;  // likewise
  std::string units;       // the table's units, for the listing
  std::string low_text;    // the limits as the table wrote them
  std::string high_text;
  // What a value must pass, the slack taken off once here rather than at every report:
  // below low_cut or above high_cut is out (infinite where there is no limit).
  float low_cut = 0.0f;
  float high_cut = 0.0f;
};

// A limit of a plain value, as the quick pass over a report reads it.
struct ValueCut {
  float sfc_report::*member;
  float low_cut, high_cut;
};

// ---- module state ----
struct Limits {
  std::vector<Limit> limits;
  // The limits of plain values again, side by side: a report that passes them all (nearly
  // every one) is held against the others only, which are listed by their places.
  std::vector<ValueCut> cuts;
  std::vector<std::size_t> others;
  bool on = false;
  bool loaded = false;
  std::string name;  // the name the limits were loaded by
  // Every report of the file checked last passed: the plot loop, reading the same reports
  // again, has nothing to drop.
  bool file_clean = false;
} lim;

bool missing(float v) { return v == MISSING; }

// The report's own units of a field (the first of its list).
std::string own_units(const Field& f) {
  const std::string_view u = f.units;
  return std::string(u.substr(0, u.find(' ')));
}

// Whether units are among those a field's limits may be given in.
bool allowed_units(const Field& f, std::string_view units) {
  std::string_view list = f.units;
  while (!list.empty()) {
    const std::size_t sp = list.find(' ');
    const std::string_view u = list.substr(0, sp);
    if (u.size() == units.size() && strnicmp(u.data(), units.data(), u.size()) == 0) return true;
    list = sp == std::string_view::npos ? std::string_view() : list.substr(sp + 1);
  }
  return false;
}

// Limits are read in one set of units and compared in another: a value that prints as the
// limit is at the limit.
float slack(float limit) { return 1e-5f * std::max(1.0f, std::fabs(limit)); }
bool below(float v, float low) { return !missing(low) && v < low - slack(low); }
bool above(float v, float high) { return !missing(high) && v > high + slack(high); }

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  for (std::size_t i = 0; i < s.size();) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    const std::size_t b = i;
    while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i > b) out.push_back(s.substr(b, i - b));
  }
  return out;
}

// A plain decimal number (no "inf", "nan" or hex), or "-" for no limit (MISSING).
bool limit_number(std::string_view w, float* out) {
  if (w == "-") {
    *out = MISSING;
    return true;
  }
  const std::string t(w);
  for (char c : t)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+') return false;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || !std::isfinite(v) || std::fabs(v) > 1e7) return false;
  *out = static_cast<float>(v);
  return true;
}

// A limit converted from the table's units to the report's; a difference (the excess of the
// dew point) without the offset of the scales.
float to_report_units(const Field& f, const std::string& from, float v) {
  if (missing(v)) return v;
  const std::string to = own_units(f);
  if (f.access != Access::excess) return UNIT_cvt(from.c_str(), to.c_str(), v);
  return v * (UNIT_cvt(from.c_str(), to.c_str(), 1.0f) - UNIT_cvt(from.c_str(), to.c_str(), 0.0f));
}

const Field* find_field(std::string_view name) {
  for (const Field& f : kFields)
    if (name.size() == std::strlen(f.name) && strnicmp(name.data(), f.name, name.size()) == 0) return &f;
  return nullptr;
}

bool read_line(std::FILE* f, std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(f)) != EOF && c != '\n')
    if (line.size() < kLineMax) line.push_back(static_cast<char>(c));
  return c != EOF || !line.empty();
}

void drop(const sfc_report& r, const Limit& l, float value, SfcLimitStats* stats, std::size_t index) {
  if (stats == nullptr) return;
  ++stats->dropped;
  ++stats->fields[index].second;
  const char* units = l.units.c_str();
  if (l.field->access == Access::excess) {
    const float dewp = UNIT_cvt("F", units, r.dewp), temp = UNIT_cvt("F", units, r.temp);
    MESS_print(MESS_MESS, "Gross limit: %s dewp %g %s is %.1f %s above temp %g %s (limit %s %s)\n", r.id,
               static_cast<double>(dewp), units, static_cast<double>(dewp - temp), units, static_cast<double>(temp),
               units, l.high_text.c_str(), units);
    return;
  }
  const float shown = UNIT_cvt(own_units(*l.field).c_str(), units, value);
  const bool low = below(value, l.low);
  MESS_print(MESS_MESS, "Gross limit: %s %s %g %s %s %s %s\n", r.id, l.field->name, static_cast<double>(shown),
             units, low ? "below" : "above", low ? l.low_text.c_str() : l.high_text.c_str(), units);
}

}  // namespace

int SFC_limits_load(const char* name) {
  lim.limits.clear();
  lim.cuts.clear();
  lim.others.clear();
  lim.on = false;
  lim.loaded = true;
  lim.file_clean = false;
  lim.name = name != nullptr ? name : "";
  if (name == nullptr || *name == '\0') name = SFC_LIMITS_TABLE;
  if (stricmp(name, "none") == 0 || stricmp(name, "off") == 0) return 0;
  std::string path;
  std::FILE* f = FILE_open_data(name, &path);
  if (f == nullptr) {
    MESS_print(MESS_WARN, "Gross limits: Unable to open %s: values are not checked\n", path.c_str());
    return -1;
  }
  std::string line;
  int number = 0;
  while (read_line(f, line)) {
    ++number;
    std::string_view text = line;
    if (const std::size_t hash = text.find('#'); hash != std::string_view::npos) text = text.substr(0, hash);
    text = trim(text);
    if (text.empty()) continue;
    const std::vector<std::string_view> w = words(text);
    const Field* field = w.empty() ? nullptr : find_field(w[0]);
    Limit l{field, MISSING, MISSING, w.size() > 3 ? std::string(w[3]) : (field ? own_units(*field) : std::string()),
            w.size() > 1 ? std::string(w[1]) : "", w.size() > 2 ? std::string(w[2]) : ""};
    const char* why = nullptr;
    if (field == nullptr)
      why = "unknown variable";
    else if (w.size() < 3 || w.size() > 4)
      why = "expected: variable low high [units]";
    else if (!limit_number(w[1], &l.low) || !limit_number(w[2], &l.high))
      why = "a limit is not a number or '-'";
    else if (!missing(l.low) && !missing(l.high) && l.low > l.high)
      why = "low limit above high limit";
    else if (!allowed_units(*field, l.units))
      why = "units not known for this variable";
    else if (lim.limits.size() >= static_cast<std::size_t>(kMaxLimits))
      why = "too many limits";
    if (why != nullptr) {
      const std::string shown(text.substr(0, std::min<std::size_t>(text.size(), 60)));
      MESS_print(MESS_WARN, "Gross limits: %s line %d ignored (%s): %s\n", path.c_str(), number, why, shown.c_str());
      continue;
    }
    l.low = to_report_units(*field, l.units, l.low);
    l.high = to_report_units(*field, l.units, l.high);
    l.low_cut = missing(l.low) ? -std::numeric_limits<float>::infinity() : l.low - slack(l.low);
    l.high_cut = missing(l.high) ? std::numeric_limits<float>::infinity() : l.high + slack(l.high);
    if (field->access == Access::value)
      lim.cuts.push_back(ValueCut{field->member, l.low_cut, l.high_cut});
    else
      lim.others.push_back(lim.limits.size());
    lim.limits.push_back(std::move(l));
  }
  FILE_close(f);
  lim.on = !lim.limits.empty();
  return static_cast<int>(lim.limits.size());
}

void SFC_limits_setup() {
  const char* res = RES_get("limit_file");
  const std::string name = res != nullptr ? res : "";
  if (lim.loaded && name == lim.name) return;
  SFC_limits_load(name.c_str());
}

int SFC_limits_on() { return lim.on ? 1 : 0; }

int SFC_limits_apply(sfc_report* r, SfcLimitStats* stats) {
  if (r == nullptr || !lim.on) return 0;
  if (stats != nullptr && stats->fields.size() != lim.limits.size()) {
    stats->fields.clear();
    for (const Limit& l : lim.limits) stats->fields.emplace_back(l.field->name, 0L);
  }
  // Without a branch a value: the plain values nearly always pass.
  bool out = false;
  for (const ValueCut& c : lim.cuts) {
    const float v = r->*c.member;
    out |= (v != MISSING) & ((v < c.low_cut) | (v > c.high_cut));
  }
  int dropped = 0;
  auto hold = [&](std::size_t i) {
    const Limit& l = lim.limits[i];
    auto check = [&](float* v) {
      if (missing(*v) || (!(*v < l.low_cut) && !(*v > l.high_cut))) return;
      drop(*r, l, *v, stats, i);
      *v = MISSING;
      ++dropped;
    };
    switch (l.field->access) {
      case Access::value:
        check(&(r->*(l.field->member)));
        break;
      case Access::layers:
        for (float& h : r->cld_hgt) check(&h);
        break;
      case Access::code:
        if (r->ptype != MISSING_INT) {
          float code = static_cast<float>(r->ptype);
          check(&code);
          if (missing(code)) r->ptype = MISSING_INT;
        }
        break;
      case Access::excess:
        // A dew point above the temperature: the temperature passed its own limits, and dew
        // point sensors are the ones that drift, so the dew point goes.
        if (!missing(r->dewp) && !missing(r->temp) && (below(r->dewp - r->temp, l.low) || above(r->dewp - r->temp, l.high))) {
          drop(*r, l, r->dewp, stats, i);
          r->dewp = MISSING;
          ++dropped;
        }
        break;
    }
  };
  // In the table's order, so that what is dropped is listed so.
  if (out) {
    for (std::size_t i = 0; i < lim.limits.size(); ++i) hold(i);
  } else {
    for (const std::size_t i : lim.others) hold(i);
  }
  return dropped;
}

std::string SFC_limits_summary(const SfcLimitStats& s) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Gross limits: %ld value%s dropped", s.dropped, s.dropped == 1 ? "" : "s");
  std::string text = buf;
  // A variable may stand on several lines of the table: one count each.
  std::vector<std::pair<std::string, long>> merged;
  for (const auto& field : s.fields) {
    if (field.second == 0) continue;
    auto it = std::find_if(merged.begin(), merged.end(), [&](const auto& m) { return m.first == field.first; });
    if (it == merged.end())
      merged.push_back(field);
    else
      it->second += field.second;
  }
  const char* sep = ": ";
  for (const auto& [name, n] : merged) {
    text += sep + name + " " + std::to_string(n);
    sep = ", ";
  }
  return text;
}

// ---- duplicates ----

SfcDupEntry SFC_dup_entry(const sfc_report& r, float lat, float lon, int hour, int minute) {
  SfcDupEntry e;
  copy_bounded(e.id, sizeof e.id, r.id);
  e.lat = lat;
  e.lon = lon;
  e.time = r.time;
  e.minutes = SFC_minutes_from_hour(r.time, hour, minute);
  e.temp = r.temp, e.dewp = r.dewp, e.slpr = r.slpr, e.alt = r.alt, e.wspd = r.wspd;
  for (float v : {r.temp, r.dewp, r.slpr, r.alt, r.wspd, r.wdir, r.vis})
    if (!missing(v)) ++e.values;
  return e;
}

int SFC_minutes_from_hour(int hhmm, int hour, int minute) {
  if (hhmm == MISSING_INT || hhmm < 0 || hhmm > 2400 || hhmm % 100 > 59 || hour == MISSING_INT) return 0;
  int d = (hhmm / 100) * 60 + hhmm % 100 - hour * 60 - (minute == MISSING_INT ? 0 : minute);
  while (d > 720) d -= 1440;
  while (d < -720) d += 1440;
  return d;
}

namespace {

// Two reports of one station: the one nearer the hour; of two as near, the one before the
// hour (the routine report a few minutes before the hour stands for the hour); of two of the
// same time, the later in the file (a correction comes after what it corrects).
bool nearer(const SfcDupEntry& a, std::size_t ia, const SfcDupEntry& b, std::size_t ib) {
  const int da = std::abs(a.minutes), db = std::abs(b.minutes);
  if (da != db) return da < db;
  if (a.minutes != b.minutes) return a.minutes < b.minutes;
  return ia > ib;
}

// Values two reports may differ by and still be the same observation: about a degree Celsius,
// a hectopascal and its altimeter setting, and the wind that two anemometers of one airfield
// give in gusty air. (A few hundredths on top: the values come converted and rounded.)
bool agree(const SfcDupEntry& a, const SfcDupEntry& b) {
  auto close = [](float x, float y, float tolerance) {
    return missing(x) || missing(y) || std::fabs(x - y) <= tolerance * 1.01f;
  };
  return close(a.temp, b.temp, 2.0f) && close(a.dewp, b.dewp, 2.0f) && close(a.slpr, b.slpr, 1.0f) &&
         close(a.alt, b.alt, 0.03f) && close(a.wspd, b.wspd, 10.0f);
}

// The same report again (a resend in another bulletin, a file holding an hour twice).
bool same_report(const SfcDupEntry& a, const SfcDupEntry& b) {
  return a.time == b.time && a.values == b.values && a.temp == b.temp && a.dewp == b.dewp && a.slpr == b.slpr &&
         a.alt == b.alt && a.wspd == b.wspd;
}

constexpr double kSamePlaceKm = 1.0;
constexpr double kKmPerDegree = 111.195;

double distance_km(const SfcDupEntry& a, const SfcDupEntry& b) {
  const double rad = 3.14159265358979323846 / 180.0;
  const double dlat = (a.lat - b.lat) * kKmPerDegree;
  double dlon = std::fabs(a.lon - b.lon);
  if (dlon > 180.0) dlon = 360.0 - dlon;
  dlon *= kKmPerDegree * std::cos(0.5 * (a.lat + b.lat) * rad);
  return std::sqrt(dlat * dlat + dlon * dlon);
}

std::string hhmm(int time) {
  if (time == MISSING_INT) return "the hour";
  char b[16];
  std::snprintf(b, sizeof b, "%04d", time);
  return b;
}

std::size_t root(std::vector<std::size_t>& parent, std::size_t i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

// Joins the kept reports with a place (parent, a forest of report numbers) that stand within
// a kilometre of a report of another identifier, and marks them grouped.
//
// The reports are put in bands of latitude a kilometre high and, within a band, in order of
// longitude: a pair within a kilometre lies in one band or two neighbouring ones, and within a
// stretch of longitude that the smallest cosine of the two bands bounds, so each report meets
// the handful of others near it rather than its whole band. (A report with a longitude
// beyond +-180 or none meets every report of its band and the neighbouring ones.) The pairs
// met are held to the tests of a plain sweep along each band of latitude: within the band's
// height in latitude, then a bound that needs no cosine per pair (the cosine of the mean
// latitude is at least the smaller of the two, the cosine being concave between the poles,
// so the east-west part alone may be longer than the distance allows; the bound keeps a
// margin for rounding), then the distance itself.
void join_same_places(const std::vector<SfcDupEntry>& e, const std::vector<char>& keep,
                      std::vector<std::size_t>& parent, std::vector<char>& grouped) {
  struct Placed {
    float lat, lon;
    double cos_lat;
    std::size_t index;  // into e
    long band;
  };
  const double band = kSamePlaceKm / kKmPerDegree;
  const double height = band * (1.0 + 1e-6);  // a pair within band is never two bands apart
  const double rad = 3.14159265358979323846 / 180.0;
  const double far_km = kSamePlaceKm * (1.0 + 1e-6);
  std::vector<Placed> pl, odd;
  for (std::size_t i = 0; i < e.size(); ++i) {
    const SfcDupEntry& x = e[i];
    if (!keep[i] || missing(x.lat) || missing(x.lon) || !(std::fabs(x.lat) <= 90.0f)) continue;
    const Placed p{x.lat, x.lon, std::cos(static_cast<double>(x.lat) * rad), i,
                   static_cast<long>(std::floor(static_cast<double>(x.lat) / height))};
    (std::fabs(x.lon) <= 180.0f ? pl : odd).push_back(p);
  }
  if (pl.empty() && odd.empty()) return;
  // Bands in order (counted out: a few thousand bands), then longitudes in order within each.
  if (!pl.empty()) {
    long low = pl.front().band, high = low;
    for (const Placed& p : pl) low = std::min(low, p.band), high = std::max(high, p.band);
    std::vector<std::size_t> start(static_cast<std::size_t>(high - low) + 2, 0);
    for (const Placed& p : pl) ++start[static_cast<std::size_t>(p.band - low) + 1];
    for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
    std::vector<Placed> sorted(pl.size());
    for (const Placed& p : pl) sorted[start[static_cast<std::size_t>(p.band - low)]++] = p;
    pl.swap(sorted);
    auto by_place = [](const Placed& a, const Placed& b) { return a.lon != b.lon ? a.lon < b.lon : a.index < b.index; };
    for (std::size_t k = 0; k < pl.size();) {
      std::size_t end = k + 1;
      while (end < pl.size() && pl[end].band == pl[k].band) ++end;
      std::sort(pl.begin() + static_cast<std::ptrdiff_t>(k), pl.begin() + static_cast<std::ptrdiff_t>(end), by_place);
      k = end;
    }
  }
  auto join = [&](const Placed& a, const Placed& b) {
    const float dl = a.lat >= b.lat ? a.lat - b.lat : b.lat - a.lat;
    if (!(dl <= band)) return;
    double dlon = std::fabs(a.lon - b.lon);
    if (dlon > 180.0) dlon = 360.0 - dlon;
    if (dlon * kKmPerDegree * std::min(a.cos_lat, b.cos_lat) > far_km) return;
    const SfcDupEntry &x = e[a.index], &y = e[b.index];
    if (std::strcmp(x.id, y.id) == 0 || distance_km(x, y) > kSamePlaceKm) return;
    parent[root(parent, a.index)] = root(parent, b.index);
    grouped[a.index] = grouped[b.index] = 1;
  };
  // The reports of each band: [first, end) of pl, with the smallest cosine among them.
  struct Band {
    long band;
    std::size_t first, end;
    double cos_min;
  };
  std::vector<Band> bands;
  for (std::size_t k = 0; k < pl.size(); ++k) {
    if (bands.empty() || bands.back().band != pl[k].band) bands.push_back(Band{pl[k].band, k, k, 2.0});
    bands.back().end = k + 1;
    bands.back().cos_min = std::min(bands.back().cos_min, pl[k].cos_lat);
  }
  auto by_lon = [](const Placed& p, double lon) { return p.lon < lon; };
  // Calls join(a, b) for the reports b of band c whose longitude lies within w of a's (across
  // the date line too), after position after.
  auto meet = [&](const Placed& a, const Band& c, double w, std::size_t after) {
    const auto first = pl.begin() + static_cast<std::ptrdiff_t>(std::max(c.first, after));
    const auto end = pl.begin() + static_cast<std::ptrdiff_t>(c.end);
    if (first >= end) return;
    if (w >= 180.0) {
      for (auto b = first; b != end; ++b) join(a, *b);
      return;
    }
    auto stretch = [&](double lo, double hi) {
      for (auto b = std::lower_bound(first, end, lo, by_lon); b != end && b->lon <= hi; ++b)
        join(a, *b);
    };
    const double lo = a.lon - w, hi = a.lon + w;
    stretch(lo, hi);
    if (hi > 180.0) stretch(-180.0, hi - 360.0);
    if (lo < -180.0) stretch(lo + 360.0, 180.0);
  };
  for (std::size_t k = 0; k < bands.size(); ++k) {
    const Band& c = bands[k];
    const Band* next = k + 1 < bands.size() && bands[k + 1].band == c.band + 1 ? &bands[k + 1] : nullptr;
    // The stretch is widened a little so that rounding never narrows it below the bound.
    const double cos_min = next != nullptr ? std::min(c.cos_min, next->cos_min) : c.cos_min;
    const double w = cos_min > 0.0 ? far_km / (kKmPerDegree * cos_min) * (1.0 + 1e-6) + 1e-9 : 360.0;
    for (std::size_t p = c.first; p < c.end; ++p) {
      meet(pl[p], c, w, p + 1);
      if (next != nullptr) meet(pl[p], *next, w, 0);
    }
  }
  // The reports without a longitude in range meet every report of their band and the bands
  // next to it, and each other.
  for (std::size_t o = 0; o < odd.size(); ++o) {
    for (const Band& c : bands)
      if (c.band >= odd[o].band - 1 && c.band <= odd[o].band + 1)
        for (std::size_t p = c.first; p < c.end; ++p) join(odd[o], pl[p]);
    for (std::size_t q = o + 1; q < odd.size(); ++q)
      if (std::labs(odd[q].band - odd[o].band) <= 1) join(odd[o], odd[q]);
  }
}

}  // namespace

// What a forecaster expects of a map: every station once, with the observation of the
// map's hour. A station that reported twice (a special report, a resend, a correction) keeps
// the report nearest the hour, a correction replacing what it corrects. Two identifiers at
// one place (a station known by two names, or a report placed on another station) are the
// same observation twice when their values agree: both stay, as the station database lists
// both. When they disagree, one of them is wrong and averaging the two would hide it, so the
// one nearest the hour stays (of two as near, the fuller report, then the first in the file).
std::vector<char> SFC_resolve_duplicates(const std::vector<SfcDupEntry>& e, SfcDupStats* stats) {
  const std::size_t n = e.size();
  std::vector<char> keep(n, 1);
  SfcDupStats s;
  // One report per identifier.
  IdIndex best(n);  // the entry that stands for each identifier so far
  std::unordered_map<std::string_view, long> count;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view id = e[i].id;
    if (id.empty()) continue;
    std::uint32_t& j = best.slot(id, [&](std::size_t k) { return std::string_view(e[k].id); });
    if (j == IdIndex::none) {
      j = static_cast<std::uint32_t>(i);
      continue;
    }
    if (same_report(e[i], e[j])) {
      // The same report sent twice: nothing to resolve. The later stays, as it would if it
      // corrected something the comparison does not look at.
      keep[j] = 0;
      j = static_cast<std::uint32_t>(i);
      continue;
    }
    ++count[id];
    const std::size_t loser = nearer(e[i], i, e[j], j) ? j : i;
    keep[loser] = 0;
    j = static_cast<std::uint32_t>(loser == j ? i : j);
    MESS_print(MESS_MESS, "Duplicate: %s report of %s set aside for the one of %s\n", e[i].id, hhmm(e[loser].time).c_str(),
               hhmm(e[j].time).c_str());
    ++s.dropped;
  }
  for (const auto& [id, extra] : count) {
    ++s.stations;
    s.reports += extra + 1;
  }
  // Different identifiers at one place: joined into groups, which are looked at in the
  // order of their first reports.
  std::vector<std::size_t> parent(n);
  std::iota(parent.begin(), parent.end(), std::size_t{0});
  std::vector<char> grouped(n, 0);
  join_same_places(e, keep, parent, grouped);
  std::vector<std::vector<std::size_t>> groups;
  std::unordered_map<std::size_t, std::size_t> group_of;
  for (std::size_t i = 0; i < n; ++i) {
    if (!grouped[i]) continue;
    const auto [at, added] = group_of.try_emplace(root(parent, i), groups.size());
    if (added) groups.emplace_back();
    groups[at->second].push_back(i);
  }
  for (std::vector<std::size_t>& members : groups) {
    bool same = true;
    for (std::size_t a = 0; a < members.size() && same; ++a)
      for (std::size_t b = a + 1; b < members.size() && same; ++b) same = agree(e[members[a]], e[members[b]]);
    if (same) continue;
    std::size_t winner = members.front();
    for (std::size_t i : members) {
      const SfcDupEntry &x = e[i], &w = e[winner];
      const int dx = std::abs(x.minutes), dw = std::abs(w.minutes);
      if (dx < dw || (dx == dw && x.values > w.values)) winner = i;
    }
    for (std::size_t i : members) {
      if (i == winner) continue;
      keep[i] = 0;
      ++s.dropped;
      MESS_print(MESS_MESS, "Same place: %s report of %s set aside for %s of %s (values differ)\n", e[i].id,
                 hhmm(e[i].time).c_str(), e[winner].id, hhmm(e[winner].time).c_str());
    }
    ++s.stations;
    s.reports += static_cast<long>(members.size());
  }
  if (stats != nullptr) *stats = s;
  return keep;
}

std::string SFC_duplicates_summary(const SfcDupStats& s) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "Duplicates: %ld reports of %ld station%s resolved by time, %ld set aside", s.reports,
                s.stations, s.stations == 1 ? "" : "s", s.dropped);
  return buf;
}

namespace {

// Where a report stands, as the plot loop places it, in degrees (-9999 when it cannot be
// placed): its own position, else the database's.
void place(const sfc_report& r, float* lat, float* lon) {
  *lat = *lon = MISSING;
  if (r.lat != MISSING && r.lon != MISSING) {
    *lat = r.lat, *lon = r.lon;
    return;
  }
  StationRec station{};
  if (CTY_search(r.id, &station) && MAP_untran(lat, lon, station.x, station.y) == 0) *lat = *lon = MISSING;
}

}  // namespace

void SFC_check_file(int handle, const sfc_info& info, std::vector<int>* kept) {
  kept->clear();
  SFC_limits_setup();
  lim.file_clean = false;
  SfcLimitStats limits;
  std::vector<SfcDupEntry> entries;
  if (info.count > 0) entries.reserve(static_cast<std::size_t>(info.count));
  sfc_report r;
  for (int n = 0;; ++n) {
    int index = n;
    if (SFC_read(handle, &r, 0, &index) < 0) break;
    SFC_limits_apply(&r, &limits);
    float lat = MISSING, lon = MISSING;
    place(r, &lat, &lon);
    entries.push_back(SFC_dup_entry(r, lat, lon, info.date.hour, info.date.minute));
  }
  SfcDupStats dups;
  lim.file_clean = limits.dropped == 0;
  const std::vector<char> keep = SFC_resolve_duplicates(entries, &dups);
  for (std::size_t i = 0; i < keep.size(); ++i)
    if (keep[i]) kept->push_back(static_cast<int>(i));
  if (limits.dropped > 0) MESS_print(MESS_PRINT, "%s\n", SFC_limits_summary(limits).c_str());
  if (dups.dropped > 0) MESS_print(MESS_PRINT, "%s\n", SFC_duplicates_summary(dups).c_str());
}

void SFC_check_report(sfc_report* report) {
  if (!lim.file_clean) SFC_limits_apply(report, nullptr);
}
