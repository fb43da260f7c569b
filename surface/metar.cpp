// METAR and SPECI reports decoded group by group. Every group is recognised by its own
// shape, never by its place alone, so a group that does not decode is skipped without
// changing what the groups after it are taken to be.
#include "surface/metar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "config/missing.h"
#include "config/string.h"

namespace {

constexpr double kMpsToKnot = 1.943844;
constexpr double kKmhToKnot = 0.5399568;
constexpr double kMetresPerMile = 1609.344;
constexpr double kHpaPerInch = 33.8639;
// Visibility of ten kilometres or more ("9999", CAVOK) is stored as ten kilometres.
constexpr double kTenKm = 10000.0;
// Reports have a few dozen groups; a text with more is damaged and the rest is not read.
constexpr std::size_t kMaxGroups = 160;
constexpr std::size_t kMaxName = 16;

// ---- small text tests ----

bool digit(char c) { return c >= '0' && c <= '9'; }
bool upper(char c) { return c >= 'A' && c <= 'Z'; }
bool all_digits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), digit); }
bool all_slashes(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c == '/'; });
}
// Digits, or solidi standing for a value not reported.
bool digits_or_missing(std::string_view s) { return all_digits(s) || all_slashes(s); }

int number(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

bool starts(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool ends(std::string_view s, std::string_view p) { return s.size() >= p.size() && s.substr(s.size() - p.size()) == p; }

// Blanks, control characters and bytes outside ASCII separate groups.
bool separator(unsigned char c) { return c <= ' ' || c >= 0x7f; }

// ---- present weather ----

// The phenomena of one weather group.
struct Weather {
  int intensity = 0;  // -1 light, 0 moderate, 1 heavy
  bool vicinity = false, recent = false;
  std::string_view descriptor;
  std::array<std::string_view, 4> what{};
  int count = 0;
  bool has(std::string_view p) const { return std::find(what.begin(), what.begin() + count, p) != what.begin() + count; }
};

constexpr std::string_view kDescriptors[] = {"MI", "PR", "BC", "DR", "BL", "SH", "TS", "FZ"};
constexpr std::string_view kPhenomena[] = {"DZ", "RA", "SN", "SG", "IC", "PL", "PE", "GR", "GS", "UP", "BR",
                                           "FG", "FU", "VA", "DU", "SA", "HZ", "PY", "PO", "SQ", "FC", "SS", "DS"};
constexpr std::string_view kPrecipitation[] = {"DZ", "RA", "SN", "SG", "IC", "PL", "PE", "GR", "GS", "UP"};

bool member(std::string_view p, const std::string_view* b, const std::string_view* e) { return std::find(b, e, p) != e; }

// Reads a group such as "-SHRASN", "VCTS", "+FC", "RERA"; false when it is not weather.
bool read_weather(std::string_view g, Weather* w) {
  if (starts(g, "RE") && g.size() > 2) {
    w->recent = true;
    g.remove_prefix(2);
  } else if (g[0] == '-' || g[0] == '+') {
    w->intensity = g[0] == '-' ? -1 : 1;
    g.remove_prefix(1);
  } else if (starts(g, "VC")) {
    w->vicinity = true;
    g.remove_prefix(2);
  }
  if (g.size() < 2 || g.size() % 2 != 0) return false;
  if (member(g.substr(0, 2), std::begin(kDescriptors), std::end(kDescriptors))) {
    w->descriptor = g.substr(0, 2);
    g.remove_prefix(2);
  }
  for (; !g.empty(); g.remove_prefix(2)) {
    const std::string_view p = g.substr(0, 2);
    if (!member(p, std::begin(kPhenomena), std::end(kPhenomena)) || w->count == 4) return false;
    w->what[static_cast<std::size_t>(w->count++)] = p;
  }
  return w->count > 0 || !w->descriptor.empty();
}

bool precipitating(const Weather& w) {
  return std::any_of(w.what.begin(), w.what.begin() + w.count,
                     [](std::string_view p) { return member(p, std::begin(kPrecipitation), std::end(kPrecipitation)); });
}

// Slight, moderate and heavy forms of a code triple.
int by_intensity(const Weather& w, int light, int moderate, int heavy) {
  return w.intensity < 0 ? light : w.intensity > 0 ? heavy : moderate;
}

// The present-weather number (code table 4677) of one group that is not a thunderstorm.
int group_code(const Weather& w) {
  if (w.recent) return MISSING_INT;
  const std::string_view d = w.descriptor;
  if (w.vicinity) {
    if (d == "SH") return 16;  // precipitation within sight, near the station
    if (d == "TS") return 17;
    if (w.has("FG")) return 40;
    if (w.has("PO")) return 8;
    if (w.has("DS") || w.has("SS")) return 31;
    return MISSING_INT;
  }
  const bool rain = w.has("RA") || w.has("UP"), snow = w.has("SN"), drizzle = w.has("DZ");
  if (d == "SH") {
    if (w.has("GR")) return by_intensity(w, 89, 90, 90);
    if (w.has("GS") || w.has("PL") || w.has("PE")) return by_intensity(w, 87, 88, 88);
    if (rain && snow) return by_intensity(w, 83, 84, 84);
    if (snow) return by_intensity(w, 85, 86, 86);
    if (rain || w.count == 0) return by_intensity(w, 80, 81, 82);
  }
  if (d == "FZ") {
    if (rain) return by_intensity(w, 66, 67, 67);
    if (drizzle) return by_intensity(w, 56, 57, 57);
    if (w.has("FG")) return 49;
  }
  if (d == "BL" || d == "DR") {
    const bool high = d == "BL";
    if (snow) return high ? by_intensity(w, 38, 38, 39) : by_intensity(w, 36, 36, 37);
    if (w.has("DU") || w.has("SA")) return 7;
  }
  if (drizzle && rain) return by_intensity(w, 58, 59, 59);
  if (rain && snow) return by_intensity(w, 68, 69, 69);
  if (drizzle) return by_intensity(w, 51, 53, 55);
  if (rain) return by_intensity(w, 61, 63, 65);
  if (snow) return by_intensity(w, 71, 73, 75);
  if (w.has("SG")) return 77;
  if (w.has("IC")) return 76;
  if (w.has("PL") || w.has("PE")) return 79;
  if (w.has("GS")) return 87;
  if (w.has("GR")) return 89;
  if (w.has("FC")) return 19;
  if (w.has("SQ")) return 18;
  if (w.has("DS") || w.has("SS")) return by_intensity(w, 31, 31, 34);
  if (w.has("PO")) return 8;
  if (w.has("FG")) {
    if (d == "MI") return 12;
    if (d == "BC" || d == "PR") return 11;
    return 45;
  }
  if (w.has("BR")) return 10;
  if (w.has("DU") || w.has("SA")) return 6;
  if (w.has("HZ")) return 5;
  if (w.has("FU") || w.has("VA")) return 4;
  if (d == "TS") return 17;
  return MISSING_INT;
}

// ---- the decoding of one report ----

struct Decoder {
  ObsRec* obs = nullptr;
  MtrGroups* groups = nullptr;
  std::array<std::string_view, kMaxGroups> g{};
  std::size_t n = 0;
  std::size_t i = 0;
  std::vector<std::string> weather;
  bool have_vis = false, have_temp = false, have_alt_a = false, have_wind = false, in_trend = false;
  float tgroup_t = MISSING, tgroup_d = MISSING;
  int slp_code = MISSING_INT, qff = MISSING_INT;
  bool nil = false;

  sfc_report& r() { return obs->r; }

  void bad(std::string_view group) {
    if (groups == nullptr) return;
    ++groups->bad;
    // The shape of the group, so that the summary can tell which kinds of groups fail.
    std::string shape;
    for (char c : group.substr(0, kMaxName)) shape += digit(c) ? 'n' : c;
    groups->names.push_back(std::move(shape));
  }

  bool wind(std::string_view s) {
    std::string_view unit;
    for (std::string_view u : {"KT", "MPS", "KMH"})
      if (ends(s, u)) unit = u;
    if (unit.empty() || s.size() < unit.size() + 5) return false;
    s.remove_suffix(unit.size());
    const std::string_view dir = s.substr(0, 3);
    if (dir != "VRB" && !digits_or_missing(dir)) return false;
    s.remove_prefix(3);
    std::string_view gust;
    if (const std::size_t gp = s.find('G'); gp != std::string_view::npos) {
      gust = s.substr(gp + 1);
      s = s.substr(0, gp);
      // "09013GKT": a gust mark without its speed.
      if (!gust.empty() && (gust.size() < 2 || gust.size() > 3 || !digits_or_missing(gust))) return false;
    }
    // A speed of 100 units or more may be written "P99" (above 99).
    const bool above = !s.empty() && s[0] == 'P';
    if (above) s.remove_prefix(1);
    if (s.size() < 2 || s.size() > 3 || !digits_or_missing(s)) return false;
    const double factor = unit == "KT" ? 1.0 : unit == "MPS" ? kMpsToKnot : kKmhToKnot;
    if (have_wind) return true;  // the first wind group is the observed wind
    have_wind = true;
    if (all_digits(s)) {
      r().wspd = static_cast<float>((number(s) + (above ? 1 : 0)) * factor);
      if (all_digits(dir)) {
        const int d = number(dir);
        if (d <= 360) r().wdir = static_cast<float>(d);
      }
    }
    if (all_digits(gust)) r().wgust = static_cast<float>(number(gust) * factor);
    return true;
  }

  // "3/4", "1/16": false for anything else.
  static bool fraction(std::string_view s, double* v) {
    const std::size_t slash = s.find('/');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 >= s.size()) return false;
    const std::string_view a = s.substr(0, slash), b = s.substr(slash + 1);
    if (!all_digits(a) || !all_digits(b) || a.size() > 2 || b.size() > 2 || number(b) == 0) return false;
    *v = static_cast<double>(number(a)) / number(b);
    return true;
  }

  void set_vis_miles(double miles) {
    r().vis = static_cast<float>(miles);
    have_vis = true;
  }

  // Statute miles: "10SM", "1/2SM", "M1/4SM", "P6SM", and "1" before "1/2SM". Consumes
  // the next group too for the whole and fractional form.
  bool vis_miles(std::string_view s) {
    if (all_digits(s) && s.size() <= 2 && i + 1 < n && ends(g[i + 1], "SM")) {
      double f = 0.0;
      std::string_view next = g[i + 1];
      next.remove_suffix(2);
      if (!fraction(next, &f)) return false;
      ++i;
      if (!have_vis) set_vis_miles(number(s) + f);
      return true;
    }
    if (!ends(s, "SM")) return false;
    s.remove_suffix(2);
    if (!s.empty() && (s[0] == 'M' || s[0] == 'P')) s.remove_prefix(1);
    double v = 0.0;
    if (all_slashes(s)) {
      have_vis = true;
      return true;
    }
    if (all_digits(s) && s.size() <= 3)
      v = number(s);
    else if (!fraction(s, &v))
      return false;
    if (!have_vis) set_vis_miles(v);
    return true;
  }

  // Metres: "9999", "0800", "9999NDV"; directional minimum visibility "4000SE" is not the
  // prevailing visibility. "////" is a visibility not reported.
  bool vis_metres(std::string_view s) {
    if (s.size() < 4) return false;
    const std::string_view v = s.substr(0, 4), rest = s.substr(4);
    if (!digits_or_missing(v)) return false;
    static constexpr std::string_view kDirections[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    const bool directional = std::find(std::begin(kDirections), std::end(kDirections), rest) != std::end(kDirections);
    if (!rest.empty() && rest != "NDV" && !directional) return false;
    // A bare "////" after the sky groups is a cloud group without its cover.
    if (all_slashes(v) && (have_vis || !rest.empty())) return false;
    // A minimum visibility with its direction is not the prevailing visibility.
    if (directional) return true;
    if (all_digits(v) && !have_vis) {
      const int m = number(v);
      set_vis_miles((m == 9999 ? kTenKm : m) / kMetresPerMile);
    }
    have_vis = true;
    return true;
  }

  bool vis_km(std::string_view s) {
    if (!ends(s, "KM") || s.size() < 3 || s.size() > 4) return false;
    s.remove_suffix(2);
    if (!all_digits(s)) return false;
    if (!have_vis) set_vis_miles(number(s) * 1000.0 / kMetresPerMile);
    return true;
  }

  void add_layer(char cover, float height) {
    sfc_report& rep = r();
    if (rep.ncld >= 5) return;
    rep.cld_cov[rep.ncld] = cover;
    rep.cld_hgt[rep.ncld] = height;
    ++rep.ncld;
  }

  bool sky(std::string_view s) {
    if (s == "CLR" || s == "SKC" || s == "NSC" || s == "NCD") {
      if (r().ncld == 0) add_layer('C', MISSING);
      return true;
    }
    char cover = '\0';
    std::string_view h;
    if (starts(s, "VV")) {
      cover = 'X';
      h = s.substr(2);
    } else {
      const std::string_view c = s.substr(0, 3);
      if (c == "FEW") cover = 'F';
      else if (c == "SCT") cover = 'S';
      else if (c == "BKN") cover = 'B';
      else if (c == "OVC") cover = 'O';
      else if (c != "///") return false;
      h = s.substr(3);
    }
    std::string_view type;
    if (cover == '\0' && (h == "CB" || h == "TCU")) {
      // "///CB": a cloud of that type whose cover and base were not observed.
      type = h;
      h = "///";
    } else {
      if (h.size() < 3) return false;
      type = h.substr(3);
      h = h.substr(0, 3);
    }
    if (!digits_or_missing(h)) return false;
    // CB and TCU, solidi for a type not observed, and the cloud genera some services add.
    static constexpr std::string_view kGenera[] = {"CU", "CI", "CC", "CS", "AC", "AS", "NS", "SC", "ST"};
    if (!type.empty() && type != "CB" && type != "TCU" && !all_slashes(type) &&
        std::find(std::begin(kGenera), std::end(kGenera), type) == std::end(kGenera))
      return false;
    if (cover == 'X' && !type.empty()) return false;
    if (type == "CB") r().lcld = '9';
    else if (type == "TCU" && r().lcld != '9') r().lcld = '2';
    if (cover == '\0') return true;  // a layer whose cover was not observed
    // A clear sky reported before a layer is replaced by the layer.
    if (r().ncld == 1 && r().cld_cov[0] == 'C') r().ncld = 0;
    add_layer(cover, all_digits(h) ? static_cast<float>(number(h) * 100) : MISSING);
    return true;
  }

  // "M05", "21", "//" -> degrees C, or missing. Exactly two digits: "5/-40" comes from a
  // station sending garbage.
  static bool whole_degrees(std::string_view s, float* c) {
    if (s.empty() || all_slashes(s) || s == "M" || s == "XX") {
      *c = MISSING;
      return s.size() <= 2;
    }
    const bool minus = s[0] == 'M';
    if (minus) s.remove_prefix(1);
    if (!all_digits(s) || s.size() != 2) return false;
    *c = static_cast<float>(minus ? -number(s) : number(s));
    return true;
  }

  bool temperature(std::string_view s) {
    // "/////": temperature and dew point not reported; "M": the same, as some automatic
    // stations write it.
    if (s == "/////" || s == "//////" || s == "M") return true;
    const std::size_t slash = s.find('/');
    if (slash == std::string_view::npos || slash == 0) return false;
    std::string_view dew = s.substr(slash + 1);
    // "44///": a dew point not reported.
    if (dew.size() > 2 && all_slashes(dew)) dew = "//";
    float t = MISSING, d = MISSING;
    if (!whole_degrees(s.substr(0, slash), &t) || !whole_degrees(dew, &d)) return false;
    if (t == MISSING && s.substr(0, slash).size() > 2) return false;
    set_temps(t, d);
    have_temp = true;
    return true;
  }

  void set_temps(float c, float dc) {
    if (c != MISSING) r().temp = static_cast<float>(c * 9.0 / 5.0 + 32.0);
    if (dc != MISSING) r().dewp = static_cast<float>(dc * 9.0 / 5.0 + 32.0);
  }

  bool altimeter(std::string_view s) {
    if (s.size() != 5 || (s[0] != 'A' && s[0] != 'Q')) {
      if (starts(s, "QNH") && s.size() == 7 && all_digits(s.substr(3))) {
        if (!have_alt_a) r().alt = static_cast<float>(number(s.substr(3)) / kHpaPerInch);
        return true;
      }
      return false;
    }
    const std::string_view v = s.substr(1);
    if (!digits_or_missing(v)) return false;
    if (!all_digits(v)) return true;
    if (s[0] == 'A') {
      r().alt = static_cast<float>(number(v) / 100.0);
      have_alt_a = true;
    } else if (!have_alt_a) {
      r().alt = static_cast<float>(number(v) / kHpaPerInch);
    }
    return true;
  }

  // Runway visual range and runway state ("R24/P6000FT", "R06/1200N", "R24/CLRD70",
  // "88290195"), wind shear ("WS R24", "WS ALL RWY"): read and passed over.
  bool runway(std::string_view s) {
    if (s.size() >= 4 && s[0] == 'R' && digit(s[1]) && digit(s[2]) && s.find('/') != std::string_view::npos) return true;
    if (s.size() >= 4 && s[0] == 'R' && all_slashes(s.substr(1))) return true;
    if (s.size() == 8 && all_digits(s) && have_vis) return true;
    if (s == "WS") {
      while (i + 1 < n && ((starts(g[i + 1], "R") && g[i + 1].size() > 1 && digit(g[i + 1][1])) ||
                           starts(g[i + 1], "RWY") || g[i + 1] == "ALL"))
        ++i;
      return true;
    }
    return s == "SNOCLO";
  }

  bool weather_group(std::string_view s) {
    if (s == "//") return true;  // weather not observed by an automatic station
    Weather w;
    if (!read_weather(s, &w)) return false;
    if (!w.recent) weather.emplace_back(s);
    return true;
  }

  // Regional groups: rainfall ("RF00.0/000.0"), recent weather not observed ("RE//"), sea
  // surface temperature and state ("W19/S2", "W///S5"), station and sea-level pressure
  // ("QFE 774.7", "QFF1008").
  bool extra(std::string_view s) {
    if (s.size() < 3 || std::string_view("RWQ").find(s[0]) == std::string_view::npos) return false;
    if (starts(s, "RF") && s.find('/') != std::string_view::npos) return true;
    if (starts(s, "RE") && all_slashes(s.substr(2))) return true;
    if (s.size() >= 6 && s[0] == 'W' && (s.find("/S") != std::string_view::npos || s.find("/H") != std::string_view::npos)) {
      float c = MISSING;
      if (whole_degrees(s.substr(1, s.find('/') - 1), &c) && c != MISSING) r().sst = c;
      return true;
    }
    if (s == "QFE") {
      if (i + 1 < n && !g[i + 1].empty() && digit(g[i + 1][0])) ++i;
      return true;
    }
    if (s.size() == 7 && starts(s, "QFF") && all_digits(s.substr(3))) {
      qff = number(s.substr(3));
      return true;
    }
    return false;
  }

  // Trend forecasts and colour states: not observations.
  static bool trend(std::string_view s) {
    if (s.size() < 5 || std::string_view("NTBIPFA").find(s[0]) == std::string_view::npos) return false;
    return s == "NOSIG" || s == "TEMPO" || s == "BECMG" || s == "INTER" || starts(s, "PROB") ||
           ((starts(s, "FM") || starts(s, "TL") || starts(s, "AT")) && s.size() >= 6 && all_digits(s.substr(2)));
  }
  // Colour states of military aerodromes, alone or run together ("BLU+BLU+", "BLACKAMB").
  static bool colour_state(std::string_view s) {
    static constexpr std::string_view kColours[] = {"BLACK", "BLU", "WHT", "GRN", "YLO1", "YLO2", "YLO", "AMB", "RED"};
    if (s.size() < 3 || std::string_view("BWGYAR").find(s[0]) == std::string_view::npos) return false;
    while (!s.empty()) {
      const auto* c = std::find_if(std::begin(kColours), std::end(kColours), [&](std::string_view k) { return starts(s, k); });
      if (c == std::end(kColours)) return false;
      s.remove_prefix(c->size());
      while (!s.empty() && s.front() == '+') s.remove_prefix(1);
    }
    return true;
  }

  void body() {
    for (; i < n; ++i) {
      const std::string_view s = g[i];
      // "RMK", and "RMKS:" as some services write it.
      if (s == "RMK" || starts(s, "RMKS")) {
        ++i;
        remarks();
        return;
      }
      // After a trend word or a colour state come forecasts, not observations.
      if (trend(s) || colour_state(s)) in_trend = true;
      if (in_trend) continue;
      // "M" is a value an automatic station could not measure.
      if (s == "AUTO" || s == "RTD" || s == "AMD" || s == "$" || s == "M" || all_slashes(s)) continue;
      if (s == "NIL") {
        nil = true;
        return;
      }
      if (extra(s)) continue;
      if (s == "COR" || (s.size() == 3 && starts(s, "CC") && upper(s[2]))) {
        obs->corrected = 1;
        continue;
      }
      if (s == "CAVOK") {
        set_vis_miles(kTenKm / kMetresPerMile);
        if (r().ncld == 0) add_layer('C', MISSING);
        continue;
      }
      if (wind(s) || (s.size() == 7 && s[3] == 'V' && all_digits(s.substr(0, 3)) && all_digits(s.substr(4)))) continue;
      if (!have_temp && (vis_miles(s) || vis_metres(s) || vis_km(s))) continue;
      if (runway(s) || sky(s) || weather_group(s)) continue;
      if (!have_temp && temperature(s)) continue;
      if (altimeter(s)) continue;
      bad(s);
    }
  }

  // Tsnnnsnnn, 1snnn, 2snnn: signed tenths of a degree C.
  static float tenths(std::string_view s) {
    const int v = number(s.substr(1, 3));
    return static_cast<float>((s[0] == '1' ? -v : v) / 10.0);
  }
  static float to_f(float c) { return static_cast<float>(c * 9.0 / 5.0 + 32.0); }
  static bool signed_tenths(std::string_view s) { return s.size() == 4 && (s[0] == '0' || s[0] == '1') && all_digits(s); }

  // Hundredths of an inch; "////" is an amount not measured.
  static float hundredths(std::string_view s) { return all_digits(s) ? static_cast<float>(number(s) / 100.0) : MISSING; }

  void remarks() {
    // The hour the report stands for (xx:45 and later count for the next hour) tells a
    // 3-hour amount (03, 09, 15, 21 UTC) from a 6-hour one.
    const int hour = obs->hour == MISSING_INT ? MISSING_INT : (obs->hour + (obs->minute >= 45 ? 1 : 0)) % 24;
    for (; i < n; ++i) {
      const std::string_view s = g[i];
      if (starts(s, "SLP")) {
        const std::string_view v = s.substr(3);
        if (v.size() == 3 && all_digits(v)) slp_code = number(v);
        continue;
      }
      if (s.size() == 9 && s[0] == 'T' && signed_tenths(s.substr(1, 4)) && signed_tenths(s.substr(5, 4))) {
        tgroup_t = tenths(s.substr(1, 4));
        tgroup_d = tenths(s.substr(5, 4));
        continue;
      }
      if (s.size() == 5 && s[0] == 'T' && signed_tenths(s.substr(1, 4))) {
        tgroup_t = tenths(s.substr(1, 4));
        continue;
      }
      if (s.size() == 5 && (s[0] == '1' || s[0] == '2') && signed_tenths(s.substr(1))) {
        (s[0] == '1' ? r().maxt6 : r().mint6) = to_f(tenths(s.substr(1)));
        continue;
      }
      if (s.size() == 9 && s[0] == '4' && signed_tenths(s.substr(1, 4)) && signed_tenths(s.substr(5, 4))) {
        r().maxt = to_f(tenths(s.substr(1, 4)));
        r().mint = to_f(tenths(s.substr(5, 4)));
        continue;
      }
      if (s.size() == 5 && s[0] == '5' && digit(s[1]) && all_digits(s.substr(2))) {
        const int a = s[1] - '0';
        if (a <= 8) {
          const float change = static_cast<float>(number(s.substr(2)) / 10.0);
          r().ptype = a;
          r().ptend = a == 4 ? 0.0f : a > 4 ? -change : change;
        }
        continue;
      }
      if (s.size() == 5 && (s[0] == '6' || s[0] == '7' || s[0] == 'P') && digits_or_missing(s.substr(1))) {
        const float amount = hundredths(s.substr(1));
        if (s[0] == '7')
          r().prec24 = amount;
        else if (s[0] == '6')
          (hour != MISSING_INT && hour % 6 == 3 ? r().prec3 : r().prec6) = amount;
        // The hourly amount "Prrrr" has no field of its own in the report.
        continue;
      }
      if (s.size() == 5 && starts(s, "4/") && all_digits(s.substr(2))) {
        r().scover = static_cast<float>(number(s.substr(2)));
        continue;
      }
      if (s.size() == 5 && starts(s, "8/")) {
        char* types[3] = {&r().lcld, &r().mcld, &r().hcld};
        for (int k = 0; k < 3; ++k)
          if (digit(s[2 + k])) *types[k] = s[2 + k];
        continue;
      }
      if (s.size() == 5 && starts(s, "98") && all_digits(s)) {
        r().solar = static_cast<float>(number(s.substr(2)));
        continue;
      }
    }
  }

  void finish() {
    sfc_report& rep = r();
    // The tenths of the remarks are the better values.
    if (tgroup_t != MISSING) rep.temp = to_f(tgroup_t);
    if (tgroup_d != MISSING) rep.dewp = to_f(tgroup_d);
    if (slp_code != MISSING_INT) {
      const double low = 900.0 + slp_code / 10.0, high = 1000.0 + slp_code / 10.0;
      double p = slp_code < 500 ? high : low;
      if (rep.alt != MISSING) {
        const double qnh = rep.alt * kHpaPerInch;
        p = std::fabs(low - qnh) < std::fabs(high - qnh) ? low : high;
      }
      rep.slpr = static_cast<float>(p);
    } else if (qff != MISSING_INT) {
      rep.slpr = static_cast<float>(qff);
    }
    if (const int ww = MTR_present_weather(weather); ww != MISSING_INT)
      std::snprintf(rep.wx, sizeof rep.wx, "%d", ww);
    // Total cover in oktas: the largest cover of the layers.
    static constexpr std::pair<char, char> kOktas[] = {{'C', '0'}, {'F', '2'}, {'S', '4'}, {'B', '6'}, {'O', '8'}, {'X', '9'}};
    char total = ' ';
    for (int k = 0; k < rep.ncld; ++k)
      for (const auto& [cover, oktas] : kOktas)
        if (rep.cld_cov[k] == cover && (total == ' ' || oktas > total)) total = oktas;
    rep.cld_tot = total;
  }
};

void split(std::string_view text, Decoder* d) {
  std::size_t p = 0;
  while (p < text.size() && d->n < kMaxGroups) {
    while (p < text.size() && separator(static_cast<unsigned char>(text[p]))) ++p;
    std::size_t e = p;
    while (e < text.size() && !separator(static_cast<unsigned char>(text[e])) && text[e] != '=') ++e;
    if (e > p) d->g[d->n++] = text.substr(p, e - p);
    if (e < text.size() && text[e] == '=') break;
    p = e;
  }
}

bool station_id(std::string_view s) {
  return s.size() == 4 && upper(s[0]) && std::all_of(s.begin() + 1, s.end(), [](char c) { return upper(c) || digit(c); });
}

// "011155Z": day, hour and minute; false for anything else.
bool day_time(std::string_view s, ObsRec* obs) {
  if (s.size() == 7 && s[6] == 'Z') s.remove_suffix(1);
  if (s.size() != 6 || !all_digits(s)) return false;
  const int day = number(s.substr(0, 2)), hour = number(s.substr(2, 2)), minute = number(s.substr(4, 2));
  if (day < 1 || day > 31 || hour > 24 || minute > 59) return false;
  obs->day = day;
  obs->hour = hour;
  obs->minute = minute;
  return true;
}

}  // namespace

int MTR_decode(std::string_view text, ObsRec* obs, MtrGroups* groups) {
  if (obs == nullptr) return MTR_NOT_REPORT;
  SFC_initialize(&obs->r);
  obs->secs = MTR_NO_TIME;
  obs->day = obs->hour = obs->minute = MISSING_INT;
  obs->kind = MTR_ROUTINE;
  obs->corrected = 0;
  obs->text_hash = MTR_text_hash(text);
  obs->order = 0;
  Decoder d;
  d.obs = obs;
  d.groups = groups;
  split(text, &d);
  std::size_t& i = d.i;
  if (i < d.n && (d.g[i] == "METAR" || d.g[i] == "SPECI")) obs->kind = d.g[i++] == "SPECI" ? MTR_SPECIAL : MTR_ROUTINE;
  if (i < d.n && d.g[i] == "COR") obs->corrected = 1, ++i;
  if (i >= d.n || !station_id(d.g[i])) return MTR_NOT_REPORT;
  copy_bounded(obs->r.id, sizeof obs->r.id, d.g[i++]);
  if (i < d.n && d.g[i] == "NIL") return MTR_NIL;
  if (i >= d.n || !day_time(d.g[i], obs)) return MTR_NOT_REPORT;
  ++i;
  if (obs->hour == 24) obs->hour = 0;  // 2400 is midnight; the day is left as written
  obs->r.time = obs->hour * 100 + obs->minute;
  obs->r.type = 1;
  if (i < d.n && d.g[i] == "NIL") return MTR_NIL;
  d.body();
  if (d.nil) return MTR_NIL;
  d.finish();
  return MTR_DECODED;
}

int MTR_present_weather(const std::vector<std::string>& groups) {
  // A thunderstorm with precipitation, in one group or in two, is reported as such.
  bool storm = false, storm_heavy = false, hail = false, precip = false, heavy = false;
  int best = MISSING_INT;
  for (const std::string& text : groups) {
    Weather w;
    if (text.empty() || !read_weather(text, &w) || w.recent) continue;
    if (w.descriptor == "TS" && !w.vicinity) {
      storm = true;
      storm_heavy = storm_heavy || w.intensity > 0;
    }
    if (!w.vicinity && precipitating(w)) {
      precip = true;
      heavy = heavy || w.intensity > 0;
      hail = hail || w.has("GR") || w.has("GS");
    }
    const int code = group_code(w);
    if (code != MISSING_INT) best = std::max(best, code);
  }
  if (storm && precip) {
    if (hail) return storm_heavy || heavy ? 99 : 96;
    return storm_heavy || heavy ? 97 : 95;
  }
  if (storm) return std::max(best, 17);
  return best;
}

std::uint64_t MTR_text_hash(std::string_view text) {
  // FNV-1a over the groups, each ended by one blank.
  std::uint64_t h = 14695981039346656037ull;
  auto add = [&h](unsigned char c) {
    h ^= c;
    h *= 1099511628211ull;
  };
  bool pending = false;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '=') break;
    if (separator(c)) {
      pending = true;
      continue;
    }
    if (pending) add(' ');
    pending = false;
    add(c);
  }
  return h;
}
