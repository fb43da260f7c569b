// A second, independent reading of WMO bulletin collections of METAR and SPECI reports,
// written from the report formats (FM 15 / FM 16 and the US forms and remarks) and
// sharing nothing with the program's reader, so the two can be compared on real reports.
// It keeps to the values the comparison needs: time, wind, visibility, sky, temperature,
// dew point, altimeter and sea-level pressure, in C, knots, inHg, hPa, statute miles and
// feet, -9999 when missing.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ref {

constexpr double kMiss = -9999.0;
constexpr int kRoutine = 1;
constexpr int kSpecial = 2;

// One report as cut from a collection: its text (continuation lines joined with single
// blanks, without the final "=") and its kind from the report's own word, the bulletin's
// type line or, failing both, the bulletin heading (SP... for SPECI).
struct Text {
  std::string text;
  int kind = kRoutine;
};

struct Obs {
  bool report = false;  // station identifier and day-time group found
  bool nil = false;
  std::string id;
  int day = -1, hour = -1, minute = -1;
  int kind = 0;  // from a leading METAR/SPECI word, 0 when the text has none
  double temp = kMiss, dewp = kMiss;  // C
  double wdir = kMiss, wspd = kMiss, wgust = kMiss;  // degrees, knots
  double alt = kMiss;  // inHg
  double slp = kMiss;  // hPa
  double vis = kMiss;  // statute miles
  std::vector<std::pair<char, double>> layers;  // cover letter, base in feet
  char tot = ' ';  // largest cover in oktas as a digit
};

namespace detail {

inline bool digit(char c) { return c >= '0' && c <= '9'; }
inline bool upper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool blank(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline bool digits(std::string_view s, std::size_t from, std::size_t n) {
  if (s.size() < from + n) return false;
  for (std::size_t k = from; k < from + n; ++k)
    if (!digit(s[k])) return false;
  return true;
}
inline bool all_digits(std::string_view s) { return !s.empty() && digits(s, 0, s.size()); }
inline int num(std::string_view s, std::size_t from, std::size_t n) {
  int v = 0;
  for (std::size_t k = from; k < from + n; ++k) v = v * 10 + (s[k] - '0');
  return v;
}
inline bool starts(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
inline bool ends(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

inline std::vector<std::string_view> tokens(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t k = 0;
  while (k < s.size()) {
    while (k < s.size() && blank(s[k])) ++k;
    std::size_t b = k;
    while (k < s.size() && !blank(s[k])) ++k;
    if (k > b) out.push_back(s.substr(b, k - b));
  }
  return out;
}

// ICAO location indicator: a letter and three letters or digits.
inline bool station(std::string_view t) {
  if (t.size() != 4 || !upper(t[0])) return false;
  for (char c : t.substr(1))
    if (!upper(c) && !digit(c)) return false;
  return true;
}
inline bool daytime(std::string_view t) { return t.size() == 7 && digits(t, 0, 6) && t[6] == 'Z'; }

// Abbreviated heading T1T2A1A2ii CCCC YYGGgg [BBB].
inline bool heading(const std::vector<std::string_view>& t) {
  if (t.size() != 3 && t.size() != 4) return false;
  std::string_view h = t[0];
  if (h.size() < 4 || h.size() > 6) return false;
  for (std::size_t k = 0; k < 4; ++k)
    if (!upper(h[k])) return false;
  if (!digits(h, 4, h.size() - 4)) return false;
  if (t[1].size() != 4 || !std::all_of(t[1].begin(), t[1].end(), upper)) return false;
  if (t[2].size() != 6 || !all_digits(t[2])) return false;
  return t.size() == 3 || (t[3].size() == 3 && std::all_of(t[3].begin(), t[3].end(), upper));
}

// Does a line open a report: [METAR|SPECI] [COR] CCCC [COR] (YYGGggZ|NIL)?
inline bool opens_report(const std::vector<std::string_view>& t) {
  std::size_t k = 0;
  if (k < t.size() && (t[k] == "METAR" || t[k] == "SPECI")) ++k;
  if (k < t.size() && t[k] == "COR") ++k;
  if (k >= t.size() || !station(t[k])) return false;
  ++k;
  if (k < t.size() && t[k] == "COR") ++k;
  if (k >= t.size()) return false;
  std::string_view n = t[k];
  if (!n.empty() && n.back() == '=') n.remove_suffix(1);
  return daytime(n) || n == "NIL";
}

}  // namespace detail

// Cuts a collection into reports. Bulletins are framed by SOH/ETX (either may be missing),
// open with a sequence number and a heading; a "METAR" or "SPECI" line sets the kind of
// the reports after it. A report runs from a line that opens one to its "=", or to the
// next report, heading, type line or frame; the lines between are its continuations
// whether indented or not. Lines outside a report (Canadian SA lines, routing lines,
// remarks after the "=") are passed over. Blank lines do not end a report: some feeds put
// one after every line.
inline std::vector<Text> split(std::string_view file) {
  using namespace detail;
  std::vector<Text> out;
  std::string cur;
  bool open = false;
  int kind_cur = kRoutine;
  int heading_kind = kRoutine, word_kind = 0;

  auto close = [&] {
    if (open && !cur.empty()) out.push_back({cur, kind_cur});
    cur.clear();
    open = false;
  };
  // The lines, CR and other control bytes as blanks; SOH/ETX reset the bulletin.
  std::vector<std::string> lines;
  std::vector<char> framed;
  {
    std::size_t k = 0;
    while (k <= file.size()) {
      std::size_t e = file.find('\n', k);
      if (e == std::string_view::npos) e = file.size();
      std::string line(file.substr(k, e - k));
      bool frame = false;
      for (char& c : line) {
        if (c == '\x01' || c == '\x03') frame = true;
        if (static_cast<unsigned char>(c) < ' ') c = ' ';
      }
      lines.push_back(std::move(line));
      framed.push_back(frame);
      k = e + 1;
    }
  }
  auto next_nonblank = [&](std::size_t i) -> std::vector<std::string_view> {
    for (std::size_t j = i + 1; j < lines.size(); ++j) {
      if (framed[j]) return {};
      auto t = tokens(lines[j]);
      if (!t.empty()) return t;
    }
    return {};
  };

  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (framed[i]) {
      close();
      heading_kind = kRoutine, word_kind = 0;
    }
    auto t = tokens(lines[i]);
    if (t.empty()) continue;
    if (heading(t)) {
      close();
      heading_kind = starts(t[0], "SP") ? kSpecial : kRoutine;
      word_kind = 0;
      continue;
    }
    // Sequence number of the next bulletin when its frame is missing.
    if (t.size() == 1 && all_digits(t[0]) && t[0].size() <= 5 && heading(next_nonblank(i))) {
      close();
      continue;
    }
    if (t[0] == "METAR" || t[0] == "SPECI") {
      int k = t[0] == "SPECI" ? kSpecial : kRoutine;
      std::size_t s = t.size() > 1 && t[1] == "COR" ? 2 : 1;
      if (s >= t.size() || !station(t[s])) {  // a type line ("METAR", "METAR 011200Z")
        close();
        word_kind = k;
        continue;
      }
    }
    if (opens_report(t)) {
      close();
      open = true;
      kind_cur = t[0] == "SPECI" ? kSpecial : t[0] == "METAR" ? kRoutine : word_kind ? word_kind : heading_kind;
    } else if (!open) {
      continue;  // not a report
    }
    std::string_view line = lines[i];
    std::size_t eq = line.find('=');
    bool ends_here = eq != std::string_view::npos;
    if (ends_here) line = line.substr(0, eq);
    auto g = tokens(line);
    for (std::size_t j = 0; j < g.size(); ++j) {
      // A report run into the one before it: "... Q1018 METAR MDPC 011200Z ...".
      if (j > 0 && (g[j] == "METAR" || g[j] == "SPECI") &&
          opens_report(std::vector<std::string_view>(g.begin() + j, g.end()))) {
        close();
        open = true;
        kind_cur = g[j] == "SPECI" ? kSpecial : kRoutine;
      }
      if (!cur.empty()) cur += ' ';
      cur.append(g[j]);
    }
    if (ends_here) {
      // An empty report ("=" alone) is dropped by close().
      close();
    }
  }
  close();
  return out;
}

// The text a repeat of a report shares with it: groups joined by single blanks, without
// a leading METAR/SPECI word or a final "=".
inline std::string same_text(std::string_view text) {
  auto t = detail::tokens(text);
  std::string s;
  for (std::size_t k = 0; k < t.size(); ++k) {
    std::string_view g = t[k];
    if (k == 0 && (g == "METAR" || g == "SPECI")) continue;
    if (k + 1 == t.size() && !g.empty() && g.back() == '=') g.remove_suffix(1);
    if (g.empty()) continue;
    if (!s.empty()) s += ' ';
    s.append(g);
  }
  return s;
}

namespace detail {

// Statute-mile visibility "10SM", "3/4SM", "M1/4SM", "P6SM"; -1 when not one.
inline double miles(std::string_view t) {
  if (!ends(t, "SM")) return -1;
  t.remove_suffix(2);
  if (!t.empty() && (t[0] == 'M' || t[0] == 'P')) t.remove_prefix(1);
  std::size_t slash = t.find('/');
  if (slash == std::string_view::npos) return all_digits(t) && t.size() <= 3 ? num(t, 0, t.size()) : -1;
  std::string_view a = t.substr(0, slash), b = t.substr(slash + 1);
  if (!all_digits(a) || !all_digits(b) || a.size() > 2 || b.size() > 2) return -1;
  int d = num(b, 0, b.size());
  return d == 0 ? -1 : double(num(a, 0, a.size())) / d;
}

// Temperature of the body: "M05", "21"; kMiss for "//"; false when not one.
inline bool body_temp(std::string_view s, double* v) {
  if (s == "//" || s.empty()) return *v = kMiss, true;
  bool minus = s[0] == 'M';
  if (minus) s.remove_prefix(1);
  if (s.size() != 2 || !all_digits(s)) return false;
  *v = (minus ? -1 : 1) * num(s, 0, 2);
  return true;
}

inline int okta(char c) {
  switch (c) {
    case 'C': return 0;
    case 'F': return 2;
    case 'S': return 4;
    case 'B': return 6;
    case 'O': return 8;
    case 'X': return 9;
  }
  return -1;
}

}  // namespace detail

// Decodes one report.
inline Obs decode(std::string_view text) {
  using namespace detail;
  Obs o;
  auto t = tokens(text);
  if (!t.empty() && t.back().back() == '=') {
    t.back().remove_suffix(1);
    if (t.back().empty()) t.pop_back();
  }
  std::size_t k = 0;
  if (k < t.size() && (t[k] == "METAR" || t[k] == "SPECI")) o.kind = t[k] == "SPECI" ? kSpecial : kRoutine, ++k;
  if (k < t.size() && t[k] == "COR") ++k;
  if (k >= t.size() || !station(t[k])) return o;
  o.id = std::string(t[k++]);
  if (k < t.size() && t[k] == "COR") ++k;
  if (k < t.size() && t[k] == "NIL") return o.nil = true, o;
  if (k >= t.size() || !daytime(t[k])) return o;
  o.day = num(t[k], 0, 2), o.hour = num(t[k], 2, 2), o.minute = num(t[k], 4, 2);
  if (o.day < 1 || o.day > 31 || o.hour > 24 || o.minute > 59) return o;
  ++k;
  o.report = true;
  if (k < t.size() && t[k] == "NIL") return o.nil = true, o;

  bool have_wind = false, have_vis = false, have_temp = false, have_a = false, have_q = false;
  double vis_m = kMiss, vis_sm = kMiss;
  double a = kMiss, q = kMiss;
  double bt = kMiss, bd = kMiss, qff = kMiss;
  bool clear = false;  // CLR, SKC, NSC, NCD or CAVOK
  auto add_layer = [&](char cover, double h) {
    if (o.layers.size() < 5) o.layers.push_back({cover, h});
  };
  bool trend = false;
  for (; k < t.size() && t[k] != "RMK"; ++k) {
    std::string_view g = t[k];
    // A trend opens with its change word, or with a time group where a national
    // practice leaves the word out (Australian "FM1200 ...", "INTER").
    if (g == "NOSIG" || g == "TEMPO" || g == "BECMG" || g == "INTER" ||
        (g.size() == 6 && (starts(g, "FM") || starts(g, "TL") || starts(g, "AT")) && digits(g, 2, 4)))
      trend = true;
    // A military colour state (BLU, WHT, GRN, YLO1, AMB, RED, BLACKBLU...) closes the
    // observation; the wind, visibility and sky some stations give after it are not it.
    std::string_view colour = starts(g, "BLACK") ? g.substr(5) : g;
    for (std::string_view c : {"BLU", "WHT", "GRN", "YLO", "YLO1", "YLO2", "AMB", "RED"})
      if (colour == c || g == "BLACK") trend = true;
    if (g == "NIL") return o.nil = true, o;
    if (trend) continue;
    // Wind and visibility come before the pressure, so such groups after it are not
    // the observation's; stations do add cloud groups after it.
    bool sky_part = !have_a && !have_q;
    // Wind dddff(f)[Gff(f)]KT|MPS|KMH, VRBff..., /////KT.
    if (!have_wind && sky_part) {
      double f = 0;
      std::string_view w = g;
      if (ends(w, "KT")) f = 1, w.remove_suffix(2);
      else if (ends(w, "MPS")) f = 1.943844, w.remove_suffix(3);
      else if (ends(w, "KMH")) f = 0.5399568, w.remove_suffix(3);
      if (f > 0 && w.size() >= 5) {
        std::string_view d = w.substr(0, 3), rest = w.substr(3);
        std::size_t gp = rest.find('G');
        std::string_view s = rest.substr(0, gp), gu = gp == std::string_view::npos ? "" : rest.substr(gp + 1);
        bool dok = all_digits(d) || d == "VRB" || d == "///";
        bool sok = ((s.size() == 2 || s.size() == 3) && all_digits(s)) || s == "//";
        // "09013GKT": the gust left out after its letter, as "G//".
        bool gok = gp == std::string_view::npos || ((gu.size() == 2 || gu.size() == 3) && all_digits(gu)) ||
                   gu == "//" || gu.empty();
        if (dok && sok && gok) {
          have_wind = true;
          if (all_digits(d) && all_digits(s)) o.wdir = num(d, 0, 3);
          if (all_digits(s)) o.wspd = num(s, 0, s.size()) * f;
          if (gp != std::string_view::npos && all_digits(gu)) o.wgust = num(gu, 0, gu.size()) * f;
          continue;
        }
      }
    }
    if (g.size() == 7 && digits(g, 0, 3) && g[3] == 'V' && digits(g, 4, 3)) continue;
    if (g == "CAVOK" && sky_part) {
      if (!have_vis) have_vis = true, vis_m = 10000;
      clear = true;
      continue;
    }
    if (!have_vis && sky_part) {
      if (g == "////" || g == "////SM") { have_vis = true; continue; }
      if (g.size() == 4 && all_digits(g)) { have_vis = true, vis_m = g == "9999" ? 10000 : num(g, 0, 4); continue; }
      if (g.size() == 7 && digits(g, 0, 4) && g.substr(4) == "NDV") {
        have_vis = true, vis_m = num(g, 0, 4) == 9999 ? 10000 : num(g, 0, 4);
        continue;
      }
      double m = miles(g);
      if (m >= 0) { have_vis = true, vis_sm = m; continue; }
      // Kilometres ("25KM"), a national form for 10 km and more.
      if (ends(g, "KM") && (g.size() == 3 || g.size() == 4) && digits(g, 0, g.size() - 2)) {
        have_vis = true, vis_m = num(g, 0, g.size() - 2) * 1000.0;
        continue;
      }
      // "1 1/2SM": whole miles, then the fraction.
      if (g.size() <= 2 && all_digits(g) && k + 1 < t.size() && t[k + 1].find('/') != std::string_view::npos &&
          t[k + 1][0] != 'M' && t[k + 1][0] != 'P') {
        double fr = miles(t[k + 1]);
        if (fr >= 0 && fr < 1) { have_vis = true, vis_sm = num(g, 0, g.size()) + fr, ++k; continue; }
      }
    }
    // Sky: NsNsNshshshs[CB|TCU|///], VVhshshs, clear-sky words. Some stations put their
    // upper layers after the pressure, or name every layer's genus (FEW050CU, SCT120AC).
    if (g == "CLR" || g == "SKC" || g == "NSC" || g == "NCD") {
      clear = true;
      continue;
    } else if (g.size() >= 6 && g.size() <= 9) {
      std::string_view c = g.substr(0, 3), h = g.substr(3, 3), x = g.substr(6);
      char cover = c == "FEW" ? 'F' : c == "SCT" ? 'S' : c == "BKN" ? 'B' : c == "OVC" ? 'O' : c == "///" ? '/' : 0;
      bool hok = all_digits(h) || h == "///";
      bool xok = x.empty() || x == "///";
      for (std::string_view genus : {"CB", "TCU", "CI", "CC", "CS", "AC", "AS", "NS", "SC", "ST", "CU"}) xok = xok || x == genus;
      if (cover && hok && xok) {
        if (cover != '/') add_layer(cover, all_digits(h) ? num(h, 0, 3) * 100.0 : kMiss);
        continue;
      }
    }
    if (g.size() == 5 && starts(g, "VV") && (digits(g, 2, 3) || g.substr(2) == "///")) {
      add_layer('X', digits(g, 2, 3) ? num(g, 2, 3) * 100.0 : kMiss);
      continue;
    }
    // T'T'/T'dT'd.
    if (!have_temp) {
      std::size_t sl = g.find('/');
      // "44///": the dew point missing as "//" after the separating solidus.
      if (sl != std::string_view::npos && sl >= 2 && g.size() - sl <= 4) {
        double x = kMiss, y = kMiss;
        if (body_temp(g.substr(0, sl), &x) && body_temp(g.substr(sl + 1), &y) && g.substr(0, sl) != "//") {
          have_temp = true, bt = x, bd = y;
          continue;
        }
      }
    }
    // QFF: the sea-level pressure in hPa, given in the body by some services.
    if (g.size() == 7 && starts(g, "QFF") && digits(g, 3, 4)) {
      if (qff == kMiss) qff = num(g, 3, 4);
      continue;
    }
    // APHPHPHPH (hundredths of inHg), QPHPHPHPH (hPa).
    if (g.size() == 5 && (g[0] == 'A' || g[0] == 'Q') && (digits(g, 1, 4) || g.substr(1) == "////")) {
      bool ok = digits(g, 1, 4);
      if (g[0] == 'A' && !have_a) have_a = true, a = ok ? num(g, 1, 4) / 100.0 : kMiss;
      if (g[0] == 'Q' && !have_q) have_q = true, q = ok ? num(g, 1, 4) : kMiss;
      continue;
    }
  }
  // A clear sky is a layer only when no cloud is reported: CAVOK and NSC leave room for
  // cloud above 5000 ft.
  if (clear && o.layers.empty()) add_layer('C', kMiss);
  // Remarks.
  double rt = kMiss, rd = kMiss;
  int slp = -1;
  bool have_slp = false, have_rt = false;
  for (; k < t.size(); ++k) {
    std::string_view g = t[k];
    if (!have_slp && (g == "SLPNO" || (g.size() == 6 && starts(g, "SLP") && digits(g, 3, 3)))) {
      have_slp = true;
      if (g != "SLPNO") slp = num(g, 3, 3);
      continue;
    }
    if (!have_rt && (g.size() == 9 || g.size() == 5) && g[0] == 'T' && digits(g, 1, g.size() - 1) &&
        (g[1] == '0' || g[1] == '1') && (g.size() == 5 || g[5] == '0' || g[5] == '1')) {
      have_rt = true;
      rt = (g[1] == '1' ? -1 : 1) * num(g, 2, 3) / 10.0;
      if (g.size() == 9) rd = (g[5] == '1' ? -1 : 1) * num(g, 6, 3) / 10.0;
    }
  }
  o.temp = rt != kMiss ? rt : bt;
  o.dewp = rd != kMiss ? rd : bd;
  o.alt = a != kMiss ? a : q != kMiss ? q / 33.8639 : kMiss;
  if (slp >= 0) {
    double lo = 900 + slp / 10.0, hi = 1000 + slp / 10.0;
    if (o.alt != kMiss) {
      double p = o.alt * 33.8639;
      o.slp = std::abs(lo - p) < std::abs(hi - p) ? lo : hi;
    } else {
      o.slp = slp < 500 ? hi : lo;
    }
  } else if (!have_slp) {
    o.slp = qff;
  }
  o.vis = vis_sm != kMiss ? vis_sm : vis_m != kMiss ? vis_m / 1609.344 : kMiss;
  int best = -1;
  for (auto& [c, h] : o.layers)
    if (okta(c) > best) best = okta(c), o.tot = char('0' + best);
  return o;
}

}  // namespace ref
