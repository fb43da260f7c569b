// Fronts from coded bulletins. The bulletin is read whole and parsed into fronts, centres
// and storms first; the centres need all their section's entries before the thinning, and
// drawing fronts before centres keeps the letters on top.
#include "plot/frt_plt.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/spline.h"
#include "config/fileio.h"
#include "config/missing.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/colors.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_ogr.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/wx_symb.h"

namespace {

// A joined data line (a line and its continuations) keeps at most this many characters.
constexpr std::size_t kRecordLen = 500;
// Bulletins are a few kilobytes; a file far larger is read in part.
constexpr std::size_t kMaxFileBytes = 4u << 20;
// Fronts are drawn in pieces of this many projection units, a symbol on every fourth.
constexpr float kStep = 0.5f;

struct Options {
  bool labels = true;
  bool barb = false;
  // The national analysis lists the centres its analysts chose: every one is drawn unless
  // a radius is asked for.
  float radius = 0.0f;
  int hour = 0;
};

// The date and options of the front plot, and the labels it leaves for the frame.
struct FrtState {
  DateRec frt_date{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  Options opt;
  std::string label_ul, label_ur;
  // The time group of the first section read, for the label when the plot has no date.
  std::string section_group;
};
// Not `st`: the style readers below give that name to the style they fill.
FrtState fs;

using Kind = FrtKind;
using Front = FrtFront;
using Centre = FrtCentre;
using Storm = FrtStorm;
using Bulletin = FrtBulletin;

// Attribute slots of "color_front".
enum Slot { kHigh, kLow, kCold, kWarm, kOccluded, kTrough, kStorm, kSlots };
const char* const kDefaultColour[kSlots] = {"blue", "red", "blue", "red", "magenta", "brown", "red"};
// Fronts and letters are drawn bolder than the map under them.
constexpr const char* kDefaultMore = ":wi=2";

// Printable form of text from a possibly damaged file, for messages.
std::string shown(std::string_view w, std::size_t max = 40) {
  std::string s;
  for (const char c : w.substr(0, max)) s += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  if (w.size() > max) s += "...";
  return s;
}

bool upper_eq(const std::string& w, const char* key) { return stricmp(w.c_str(), key) == 0; }

std::string fmt2(int a, int b) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%2.2d%2.2d", a, b);
  return buf;
}

bool date_set() { return fs.frt_date.day != MISSING_INT && fs.frt_date.hour != MISSING_INT; }

std::string without_z(const std::string& word) {
  std::string w = word;
  if (!w.empty() && (w.back() == 'Z' || w.back() == 'z')) w.pop_back();
  return w;
}

// The analysis must be valid at the plot's time. Its group reads month, day and hour
// ("062818Z", today's bulletins) or day, hour and minute ("141200Z", also "1412Z"); either
// reading matches the plot's time exactly or at the synoptic hour (a multiple of 3) at or
// before it. A plot without a date takes every analysis.
bool date_matches(const std::string& word, std::string* wanted) {
  if (!date_set()) return true;
  const int month = fs.frt_date.month, day = fs.frt_date.day, hour = fs.frt_date.hour;
  const int minute = fs.frt_date.minute == MISSING_INT ? 0 : fs.frt_date.minute;
  const int synoptic = hour / 3 * 3;
  const std::string ddhhmm = fmt2(day, hour) + fmt2(minute, 0).substr(0, 2);
  const bool with_month = month >= 1 && month <= 12;
  const std::string mmddhh = with_month ? fmt2(month, day) + fmt2(hour, 0).substr(0, 2) : "";
  *wanted = with_month ? mmddhh + " or " + ddhhmm : ddhhmm;
  const std::string w = without_z(word);
  if (w == ddhhmm || w == fmt2(day, hour) || w == fmt2(day, synoptic) + "00") return true;
  return with_month && (w == mmddhh || w == fmt2(month, day) + fmt2(synoptic, 0).substr(0, 2));
}

bool begins_with_digit(const std::string& line) {
  const std::size_t p = line.find_first_not_of(" \t");
  return p != std::string::npos && std::isdigit(static_cast<unsigned char>(line[p]));
}

// "12HR", "24HR": the key of a forecast section.
bool is_hour_key(const std::string& w) {
  if (w.size() < 3 || !starts_with_ci(std::string_view(w).substr(w.size() - 2), "HR")) return false;
  return std::all_of(w.begin(), w.end() - 2, [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool holds_valid(const std::vector<std::string>& words) {
  return std::any_of(words.begin(), words.end(), [](const std::string& w) { return upper_eq(w, "VALID"); });
}

// Appends a continuation to a record, cutting at a blank so that no group is cut in two.
void append_cut(std::string* record, const std::string& more, bool* cut) {
  std::string joined = record->empty() ? more : *record + " " + more;
  if (joined.size() > kRecordLen) {
    std::size_t end = joined.find_last_of(" \t", kRecordLen);
    joined.resize(end == std::string::npos ? 0 : end);
    *cut = true;
  }
  *record = joined;
}

// ---------------------------------------------------------------- parsing

bool number_word(const std::string& w, float* value) {
  static const char* const kUnits[] = {"ZERO",    "ONE",     "TWO",       "THREE",    "FOUR",     "FIVE",   "SIX",
                                       "SEVEN",   "EIGHT",   "NINE",      "TEN",      "ELEVEN",   "TWELVE", "THIRTEEN",
                                       "FOURTEEN", "FIFTEEN", "SIXTEEN", "SEVENTEEN", "EIGHTEEN", "NINETEEN"};
  static const char* const kTens[] = {"TWENTY", "THIRTY", "FORTY", "FIFTY", "SIXTY", "SEVENTY", "EIGHTY", "NINETY"};
  for (int i = 0; i < 20; ++i)
    if (upper_eq(w, kUnits[i])) return *value = static_cast<float>(i), true;
  for (int i = 0; i < 8; ++i)
    if (upper_eq(w, kTens[i])) return *value = static_cast<float>(20 + 10 * i), true;
  return parse_float(w, value) && *value >= 0.0f && *value < 1000.0f;
}

void report_group(const char* kind, const std::string& group) {
  MESS_print(MESS_WARN, "FRT_plot_file: Bad position group in %s line: %s\n", kind, shown(group).c_str());
}

// Position groups from words[i] on, until one does not decode.
void read_groups(const std::vector<std::string>& words, std::size_t i, Front* f) {
  for (; i < words.size(); ++i) {
    float lat = 0.0f, lon = 0.0f;
    if (!decode_latlon(words[i].c_str(), &lat, &lon)) {
      report_group(words[0].c_str(), words[i]);
      return;
    }
    f->lat.push_back(lat);
    f->lon.push_back(lon);
  }
}

// A pressure: three digits from 850 or four from 1000 to 1090 (arctic highs pass 1050),
// never with a leading zero, which only a position has.
bool pressure_word(const std::string& w, float* pres) {
  if ((w.size() != 3 && w.size() != 4) || w[0] == '0') return false;
  int v = 0;
  for (const char c : w) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = 10 * v + (c - '0');
  }
  if (w.size() == 3 ? v < 850 : v > 1090) return false;
  *pres = static_cast<float>(v);
  return true;
}

// Pressure and position pairs; a position without a pressure before it is a centre of
// unknown pressure. Every group that is neither is reported and passed over.
void read_centres(const std::vector<std::string>& words, bool high, Bulletin* b) {
  const char* kind = words[0].c_str();
  float pending = MISSING;
  std::size_t pending_at = 0;
  const auto lost = [&] {
    if (pending != MISSING)
      MESS_print(MESS_WARN, "FRT_plot_file: Pressure without a position in %s line: %s\n", kind,
                 shown(words[pending_at]).c_str());
  };
  for (std::size_t i = 1; i < words.size(); ++i) {
    float pres = 0.0f, lat = 0.0f, lon = 0.0f;
    bool is_pres = pressure_word(words[i], &pres);
    const bool is_pos = decode_latlon(words[i].c_str(), &lat, &lon) == 1;
    // A low-resolution position at 10 N ("1045") reads as a pressure too: after a pressure
    // it is that pressure's position, unless a group that can only be a position follows.
    if (is_pres && is_pos && pending != MISSING) {
      float p = 0.0f;
      is_pres = i + 1 < words.size() && !pressure_word(words[i + 1], &p) &&
                decode_latlon(words[i + 1].c_str(), nullptr, nullptr) == 1;
    }
    if (is_pres) {
      lost();
      pending = pres;
      pending_at = i;
    } else if (is_pos) {
      b->centres.push_back({high, pending, lat, lon});
      pending = MISSING;
    } else {
      MESS_print(MESS_WARN, "FRT_plot_file: Bad group in %s line: %s\n", kind, shown(words[i]).c_str());
    }
  }
  lost();
}

// "HURRICANE name PSN position" and "TROPICAL STORM name PSN position": the name runs to
// PSN; the position may go on over the following lines.
void read_storm(const std::vector<std::string>& records, std::size_t* r, std::vector<std::string> words, bool hurricane,
                std::size_t first, Bulletin* b) {
  std::size_t i = first;
  std::string name;
  for (; i < words.size() && !upper_eq(words[i], "PSN"); ++i) name += (name.empty() ? "" : " ") + words[i];
  if (i >= words.size()) {
    MESS_print(MESS_WARN, "FRT_plot_file: Storm without a position: %s\n", shown(name, 60).c_str());
    return;
  }
  ++i;
  float lat = MISSING, lon = MISSING;
  for (;;) {
    std::size_t next = i;
    lat = lon = MISSING;
    if (FRT_decode_locate(words, &next, &lat, &lon) == 0 || (lat != MISSING && lon != MISSING) || *r + 1 >= records.size())
      break;
    const std::vector<std::string> more = split_words(records[++*r]);
    words.insert(words.end(), more.begin(), more.end());
  }
  if (lat == MISSING || lon == MISSING || std::fabs(lat) > 90.0f) {
    MESS_print(MESS_WARN, "FRT_plot_file: Storm %s without a position\n", shown(name, 60).c_str());
    return;
  }
  b->storms.push_back({hurricane, name, lat, lon});
}

std::size_t distinct_points(const Front& f) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < f.lat.size(); ++i)
    if (i == 0 || f.lat[i] != f.lat[i - 1] || f.lon[i] != f.lon[i - 1]) ++n;
  return n;
}

void parse_records(const std::vector<std::string>& records, Bulletin* b) {
  for (std::size_t r = 0; r < records.size(); ++r) {
    const std::vector<std::string> words = split_words(records[r]);
    if (words.empty()) continue;
    const std::string& k = words[0];
    if (upper_eq(k, "HIGHS") || upper_eq(k, "LOWS")) {
      read_centres(words, upper_eq(k, "HIGHS"), b);
    } else if (upper_eq(k, "COLD") || upper_eq(k, "WARM") || upper_eq(k, "OCFNT") || upper_eq(k, "STNRY") ||
               upper_eq(k, "TROF")) {
      Front f;
      f.kind = upper_eq(k, "COLD")    ? FRT_COLD
               : upper_eq(k, "WARM")  ? FRT_WARM
               : upper_eq(k, "OCFNT") ? FRT_OCCLUDED
               : upper_eq(k, "STNRY") ? FRT_STATIONARY
                                      : FRT_TROUGH;
      // Intensity words (WK, MDT, STG, DIFFUSE, FRONTOGENESIS, ...) may stand before the
      // positions; high-resolution bulletins have none.
      std::size_t i = 1;
      while (i < words.size() && !std::isdigit(static_cast<unsigned char>(words[i][0]))) ++i;
      read_groups(words, i, &f);
      if (distinct_points(f) < 2)
        MESS_print(MESS_WARN, "FRT_plot_file: %s line with fewer than two positions\n", shown(k).c_str());
      b->fronts.push_back(std::move(f));
    } else if (upper_eq(k, "HURRICANE")) {
      read_storm(records, &r, words, true, 1, b);
    } else if (upper_eq(k, "TROPICAL") && words.size() > 1 && upper_eq(words[1], "STORM")) {
      read_storm(records, &r, words, false, 2, b);
    } else {
      MESS_print(MESS_DEBUG, "FRT_plot_file: Line not used: %s\n", shown(records[r], 60).c_str());
    }
  }
}

// Reads the file and gathers the data lines of the section asked for (of every analysis
// section when the plot has no date). False when the file cannot be read.
bool read_bulletin(const char* path, Bulletin* b) {
  std::FILE* f = FILE_open(path, "r");
  if (f == nullptr) return false;
  std::string text;
  char buf[8192];
  std::size_t n = 0;
  while (text.size() < kMaxFileBytes && (n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  FILE_close(f);
  if (text.size() >= kMaxFileBytes) {
    MESS_print(MESS_WARN, "FRT_plot_file: File too large, read in part: %s\n", path);
    text.resize(kMaxFileBytes);
  }
  char key[16];
  std::snprintf(key, sizeof key, fs.opt.hour == 0 ? "VALID" : "%dHR", fs.opt.hour);
  const bool every = fs.opt.hour == 0 && !date_set();
  fs.section_group.clear();
  std::vector<std::string> records;
  bool in_section = false, cut = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, std::min(end - pos, kRecordLen + 1));
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kRecordLen) append_cut(&line, "", &cut);
    const std::vector<std::string> words = split_words(line);
    if (words.empty()) continue;
    if (in_section) {
      if (words[0] != "$$" && !holds_valid(words) && !is_hour_key(words[0])) {
        if (begins_with_digit(line) && !records.empty())
          append_cut(&records.back(), line, &cut);
        else
          records.push_back(line);
        continue;
      }
      in_section = false;
      if (!every) break;
    }
    // Headings, sequence numbers and other sections are passed over.
    if (!upper_eq(words[0], key)) continue;
    std::string wanted;
    const std::string group = words.size() > 1 ? words[1] : "";
    if (fs.opt.hour == 0 && !date_matches(group, &wanted)) {
      MESS_print(MESS_WARN, "FRT_plot_file: Invalid date in file: %s != %s\n", shown(group).c_str(), wanted.c_str());
      continue;
    }
    if (!b->found) fs.section_group = group;
    in_section = b->found = true;
    // A continuation never reaches back into the section before.
    records.emplace_back();
  }
  if (cut) MESS_print(MESS_WARN, "FRT_plot_file: Lines longer than %zu characters cut in %s\n", kRecordLen, path);
  if (!b->found) MESS_print(MESS_WARN, "FRT_plot_file: No %s section in file: %s\n", key, path);
  parse_records(records, b);
  return true;
}

// ---------------------------------------------------------------- drawing

struct Style {
  AttribRec a[kSlots];
  AttribRec label;
  int fill = 0;  // fill style of the symbols
  float scale = 1.0f;
  float unit = 1.0f;  // vertical map size times the scale
  float clip[4] = {0, 0, 0, 0};
  float window[4] = {0, 0, 0, 0};  // the map's window: centres beyond it are left out
};

bool off(const AttribRec& a) { return a.color == -1; }

void read_style(Style* st) {
  int count = 0;
  char** list = nullptr;
  RES_getvals("color_front", &count, &list);
  for (int s = 0; s < kSlots; ++s) {
    ATTRIB_init(&st->a[s]);
    // A colour table without the default colour draws in the current colour.
    const std::string def = CLR_get_ind(kDefaultColour[s]) >= 0 ? std::string(kDefaultColour[s]) + kDefaultMore : "wi=2";
    ATTRIB_parse(def.c_str(), &st->a[s]);
    if (s < count && list[s] != nullptr && list[s][0] != '\0') ATTRIB_parse(list[s], &st->a[s]);
  }
  free_parsed_array(count, list);
  ATTRIB_init(&st->label);
  ATTRIB_parse(CLR_get_ind("black") >= 0 ? "black:wi=1" : "wi=1", &st->label);
  AttribRec data;
  ATTRIB_init(&data);
  RES_getvals("color_data", &count, &list);
  if (count > 0 && list[0] != nullptr && list[0][0] != '\0') {
    ATTRIB_parse(list[0], &data);
    if (data.fill != MISSING_INT) st->fill = data.fill;
  }
  free_parsed_array(count, list);
  float p = 1.0f;
  const char* sc = RES_get("plot_scale");
  if (sc == nullptr || !parse_float(sc, &p) || !(p > 0.0f)) p = 1.0f;
  st->scale = p;
  st->unit = MAP_get_vert() * p;
  float win[4];
  MAP_get_window(win);
  const float mx = 0.1f * (win[1] - win[0]), my = 0.1f * (win[3] - win[2]);
  std::copy(win, win + 4, st->window);
  st->clip[0] = win[0] - mx, st->clip[1] = win[1] + mx, st->clip[2] = win[2] - my, st->clip[3] = win[3] + my;
}

// a - b in degrees of longitude, -180..180.
float lon_diff(float a, float b) {
  float d = std::fmod(a - b, 360.0f);
  if (d > 180.0f) d -= 360.0f;
  if (d < -180.0f) d += 360.0f;
  return d;
}

// Which side of a front its symbols go: to the right of its direction (-1) or the left
// (+1). Cold fronts (and occluded and stationary ones) have theirs to the south of a front
// lying west-east and to the east of one lying north-south, whichever way the bulletin
// lists the points. A warm front lying west-east moves north into the cold air, so its
// half-discs go to the north.
int side_of(const Front& f) {
  const float dlat = f.lat.back() - f.lat.front();
  const float east = lon_diff(f.lon.back(), f.lon.front());  // positive when it runs east
  if (std::fabs(east) > std::fabs(dlat)) {
    const int side = east > 0.0f ? -1 : 1;
    return f.kind == FRT_WARM ? -side : side;
  }
  return dlat > 0.0f ? -1 : 1;
}

void set_fill(const AttribRec& a, int fill) {
  AttribRec f = a;
  f.fill = fill;
  GPH_fill_attr(&f);
}

// Triangle (cold) or half-disc (warm) on the segment from (x0, y0) to (x1, y1).
void draw_symbol(bool triangle, int side, float p, float x0, float y0, float x1, float y1) {
  const float mx = 0.5f * (x0 + x1), my = 0.5f * (y0 + y1);
  const float bx = p * (x1 - x0), by = p * (y1 - y0);  // half the base
  const float nx = -by * static_cast<float>(side), ny = bx * static_cast<float>(side);  // the side, as long
  if (triangle) {
    const float pts[6] = {mx - bx, my - by, mx + 1.5f * nx, my + 1.5f * ny, mx + bx, my + by};
    gfill_area(3, pts);
    return;
  }
  static const float kCos[7] = {-1.0f, -0.866f, -0.5f, 0.0f, 0.5f, 0.866f, 1.0f};
  static const float kSin[7] = {0.0f, 0.5f, 0.866f, 1.0f, 0.866f, 0.5f, 0.0f};
  float pts[14];
  for (int k = 0; k < 7; ++k) {
    pts[2 * k] = mx + kCos[k] * bx + kSin[k] * nx;
    pts[2 * k + 1] = my + kCos[k] * by + kSin[k] * ny;
  }
  gfill_area(7, pts);
}

// Draws runs of segments as polylines; a segment far outside the map breaks the run.
class Runs {
 public:
  explicit Runs(const float clip[4]) : clip_(clip) {}
  ~Runs() { flush(); }
  Runs(const Runs&) = delete;
  Runs& operator=(const Runs&) = delete;
  void segment(float x0, float y0, float x1, float y1, const AttribRec& a) {
    const bool outside = (x0 < clip_[0] && x1 < clip_[0]) || (x0 > clip_[1] && x1 > clip_[1]) ||
                         (y0 < clip_[2] && y1 < clip_[2]) || (y0 > clip_[3] && y1 > clip_[3]);
    if (outside || off(a)) {
      flush();
      return;
    }
    if (pts_.empty() || a.color != colour_ || pts_[pts_.size() - 2] != x0 || pts_.back() != y0) {
      flush();
      GPH_line_attr(&a);
      colour_ = a.color;
      pts_ = {x0, y0};
    }
    pts_.push_back(x1);
    pts_.push_back(y1);
  }
  void flush() {
    if (pts_.size() >= 4) gpolyline(static_cast<int>(pts_.size() / 2), pts_.data());
    pts_.clear();
  }

 private:
  const float* clip_;
  std::vector<float> pts_;
  int colour_ = MISSING_INT;
};

void draw_front(const Front& f, const Style& st) {
  if (f.lat.size() < 2) return;
  std::vector<float> x, y;
  for (std::size_t i = 0; i < f.lat.size(); ++i) {
    float px = 0.0f, py = 0.0f;
    if (!MAP_tran(&px, &py, f.lat[i], f.lon[i])) continue;
    if (!x.empty() && px == x.back() && py == y.back()) continue;
    x.push_back(px);
    y.push_back(py);
  }
  const int n = static_cast<int>(x.size());
  if (n < 2) return;
  std::vector<float> s(x.size()), y2x, y2y;
  SPLINE_create2(n, x.data(), y.data(), s.data(), &y2x, &y2y);
  const float length = s.back();
  std::vector<float> cx, cy;
  if (length + 0.02f < kStep) {
    // A front shorter than one piece still shows, as the line from its first point to its
    // last.
    cx = {x.front(), x.back()};
    cy = {y.front(), y.back()};
  } else {
    for (int k = 0; kStep * static_cast<float>(k) <= length + 0.02f; ++k) {
      float px = 0.0f, py = 0.0f;
      SPLINE_interp2(n, y2x, y2y, x.data(), y.data(), s.data(), &px, &py, std::min(kStep * static_cast<float>(k), length));
      cx.push_back(px);
      cy.push_back(py);
    }
    if (kStep * static_cast<float>(cx.size() - 1) < length - 1e-4f) {
      float px = 0.0f, py = 0.0f;
      SPLINE_interp2(n, y2x, y2y, x.data(), y.data(), s.data(), &px, &py, length);
      cx.push_back(px);
      cy.push_back(py);
    }
  }
  if (gfeature_wanted()) {
    static const char* const kinds[] = {"cold", "warm", "occluded", "stationary", "trough"};
    std::vector<float> line;
    for (std::size_t i = 0; i < cx.size(); ++i) line.push_back(cx[i]), line.push_back(cy[i]);
    gfeature_line(GFEAT_FRONT, static_cast<int>(cx.size()), line.data(), kinds[f.kind]);
  }
  const int side = side_of(f);
  const AttribRec& cold = st.a[kCold];
  const AttribRec& warm = st.a[kWarm];
  const AttribRec& own = f.kind == FRT_COLD       ? cold
                         : f.kind == FRT_WARM     ? warm
                         : f.kind == FRT_OCCLUDED ? st.a[kOccluded]
                         : f.kind == FRT_TROUGH   ? st.a[kTrough]
                                                  : cold;
  Runs runs(st.clip);
  int symbols = 0;
  for (std::size_t i = 0; i + 1 < cx.size(); ++i) {
    if (f.kind == FRT_TROUGH && i % 2 == 1) {
      runs.flush();
      continue;
    }
    // Stationary fronts alternate cold and warm pieces of four segments.
    const bool warm_piece = f.kind == FRT_STATIONARY && (i / 4) % 2 == 1;
    const AttribRec& a = f.kind == FRT_STATIONARY ? (warm_piece ? warm : cold) : own;
    runs.segment(cx[i], cy[i], cx[i + 1], cy[i + 1], a);
    if (!fs.opt.barb || i % 4 != 2 || f.kind == FRT_TROUGH || off(a)) continue;
    const float* c = st.clip;
    if (cx[i] < c[0] || cx[i] > c[1] || cy[i] < c[2] || cy[i] > c[3]) continue;
    bool triangle = f.kind == FRT_COLD;
    int s_side = side;
    if (f.kind == FRT_OCCLUDED) triangle = symbols % 2 == 0;
    if (f.kind == FRT_STATIONARY) {
      triangle = !warm_piece;
      if (warm_piece) s_side = -side;
    }
    ++symbols;
    set_fill(a, st.fill);
    draw_symbol(triangle, s_side, st.scale, cx[i], cy[i], cx[i + 1], cy[i + 1]);
  }
}

// A high gives way to another high within the radius with the same or a higher pressure,
// a low to another low with the same or a lower one; a centre without a pressure gives way
// to any of its kind there that has one. A radius of 0 keeps every centre.
std::vector<Centre> thin(const std::vector<Centre>& all, float radius) {
  if (!(radius > 0.0f)) return all;
  std::vector<Centre> kept;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Centre& c = all[i];
    bool drop = false;
    for (std::size_t j = 0; j < all.size() && !drop; ++j) {
      const Centre& o = all[j];
      if (j == i || o.high != c.high) continue;
      if (std::fabs(o.lat - c.lat) > radius || std::fabs(lon_diff(o.lon, c.lon)) > radius) continue;
      if (o.pres == MISSING) continue;
      drop = c.pres == MISSING || (c.high ? o.pres >= c.pres : o.pres <= c.pres);
    }
    if (!drop) kept.push_back(c);
  }
  return kept;
}

// A letter whose place is beyond the map would leave its value alone on the map's edge.
bool on_map(float x, float y, const Style& st) {
  return x >= st.window[0] && x <= st.window[1] && y >= st.window[2] && y <= st.window[3];
}

// Whether each value goes over its letter: under it, unless another letter stands there
// and the place over it is free (two centres a degree apart keep both values readable).
// The letters are looked up in order of x, a bounded number of neighbours each.
std::vector<bool> values_over(const std::vector<std::pair<float, float>>& at, float unit) {
  const float half_width = 0.045f * unit, reach = 0.024f * unit, offset = 0.03f * unit;
  std::vector<std::size_t> by_x(at.size());
  for (std::size_t i = 0; i < at.size(); ++i) by_x[i] = i;
  std::sort(by_x.begin(), by_x.end(), [&](std::size_t a, std::size_t b) { return at[a].first < at[b].first; });
  const auto blocked = [&](std::size_t i, float y) {
    auto k = std::lower_bound(by_x.begin(), by_x.end(), at[i].first - half_width,
                              [&](std::size_t a, float x) { return at[a].first < x; });
    for (int looked = 0; k != by_x.end() && at[*k].first <= at[i].first + half_width && looked < 32; ++k, ++looked)
      if (*k != i && std::fabs(at[*k].second - y) < reach) return true;
    return false;
  };
  std::vector<bool> over(at.size());
  for (std::size_t i = 0; i < at.size(); ++i)
    over[i] = blocked(i, at[i].second - offset) && !blocked(i, at[i].second + offset);
  return over;
}

void draw_centres(const std::vector<Centre>& centres, const Style& st) {
  std::vector<Centre> shown_centres;
  std::vector<std::pair<float, float>> at;
  for (const Centre& c : thin(centres, fs.opt.radius)) {
    float x = 0.0f, y = 0.0f;
    if (off(st.a[c.high ? kHigh : kLow]) || !MAP_tran(&x, &y, c.lat, c.lon) || !on_map(x, y, st)) continue;
    shown_centres.push_back(c);
    at.emplace_back(x, y);
  }
  const std::vector<bool> over = values_over(at, st.unit);
  for (std::size_t i = 0; i < at.size(); ++i) {
    const Centre& c = shown_centres[i];
    const AttribRec& a = st.a[c.high ? kHigh : kLow];
    const auto [x, y] = at[i];
    GPH_text_attr(&a, 0.03f * st.unit);
    GPH_printf(x, y, "%s", c.high ? "H" : "L");
    if (!fs.opt.labels || c.pres == MISSING) continue;
    GPH_text_attr(off(st.label) ? &a : &st.label, 0.018f * st.unit);
    GPH_printf(x, y + (over[i] ? 0.03f : -0.03f) * st.unit, "%1.0f", c.pres);
  }
}

void draw_storms(const std::vector<Storm>& storms, const Style& st) {
  const AttribRec& a = st.a[kStorm];
  if (off(a)) return;
  for (const Storm& s : storms) {
    float x = 0.0f, y = 0.0f;
    if (!MAP_tran(&x, &y, s.lat, s.lon) || !on_map(x, y, st)) continue;
    GPH_line_attr(&a);
    WX_symb(s.hurricane ? "@+" : "@", x, y, 0.035f * st.unit);
    GPH_text_attr(&a, 0.018f * st.unit);
    GPH_printf(x, y - 0.03f * st.unit, "%s", s.name.c_str());
  }
}

void make_labels() {
  char date[DATE_LABEL_LEN] = "";
  char text[DATE_LABEL_LEN + 40];
  fs.label_ul = "Frontal positions";
  if (fs.opt.hour == 0 && !date_set()) {
    // The plot has no date: the bulletin's own time, read as today's month-day-hour form.
    const std::string w = without_z(fs.section_group);
    const bool digits =
        w.size() == 6 && std::all_of(w.begin(), w.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    const auto two = [&](std::size_t i) { return (w[i] - '0') * 10 + (w[i + 1] - '0'); };
    const int mm = digits ? two(0) : 0, dd = digits ? two(2) : 0, hh = digits ? two(4) : 99;
    if (mm >= 1 && mm <= 12 && dd >= 1 && dd <= 31 && hh <= 23)
      std::snprintf(text, sizeof text, "NCEP analysis for %dZ %d %s", hh, dd, DATE_month(mm));
    else
      std::snprintf(text, sizeof text, "NCEP analysis for %s", shown(fs.section_group, 20).c_str());
  } else if (fs.opt.hour == 0) {
    DATE_make_label(&fs.frt_date, date);
    std::snprintf(text, sizeof text, "NCEP analysis for %s", date);
  } else {
    DATE_make_label_valid_time(fs.opt.hour, &fs.frt_date, date);
    std::snprintf(text, sizeof text, "%d hr NCEP forecast valid %s", fs.opt.hour, date);
  }
  fs.label_ur = text;
}

int plot_file(const char* path) {
  fs.label_ul.clear();
  fs.label_ur.clear();
  FRT_plot_param();
  const char* p = path != nullptr ? path : "";
  Bulletin b;
  if (!read_bulletin(p, &b)) {
    MESS_print(MESS_ERROR, "FRT_plot_file: Unable to open front file: %s\n", p);
    return 0;
  }
  if (!b.found) return 1;
  make_labels();
  Style st;
  read_style(&st);
  int horizontal = 0, vertical = 0;
  GPH_get_text_align(&horizontal, &vertical);
  GPH_text_align(2, 3);
  for (const Front& f : b.fronts) draw_front(f, st);
  draw_storms(b.storms, st);
  draw_centres(b.centres, st);
  GPH_text_align(horizontal, vertical);
  GPH_line_attr(nullptr);
  GPH_fill_attr(nullptr);
  GPH_text_attr(nullptr, 0.0f);
  MESS_print(MESS_MESS, "FRT_plot_file: %zu fronts, %zu centres, %zu storms from %s\n", b.fronts.size(), b.centres.size(),
             b.storms.size(), p);
  return 1;
}

}  // namespace

void FRT_reset_state() { fs = FrtState{}; }

void FRT_set_date(const DateRec* date) {
  if (date != nullptr) fs.frt_date = *date;
}

void FRT_plot_param() {
  fs.opt = Options{};
  int count = 0;
  char** list = nullptr;
  if (RES_getvals("plot_param", &count, &list) <= 0) return;
  for (int i = 0; i < count; ++i) {
    std::string item = list[i] != nullptr ? list[i] : "";
    item.erase(0, item.find_first_not_of(" \t"));
    if (stricmp(item.c_str(), "noprlab") == 0) {
      fs.opt.labels = false;
    } else if (stricmp(item.c_str(), "barb") == 0) {
      fs.opt.barb = true;
    } else if (starts_with_ci(item, "prrad") && item.size() > 6) {
      float r = 0.0f;
      if (parse_float(std::string_view(item).substr(6), &r) && r >= 0.0f)
        fs.opt.radius = r;
      else
        MESS_print(MESS_WARN, "FRT_plot_param: Invalid radius \"%s\"\n", item.c_str());
    } else if (starts_with_ci(item, "hour") && item.size() > 5) {
      int h = 0;
      if (parse_int(std::string_view(item).substr(5), &h) && h >= 0 && h < 1000)
        fs.opt.hour = h;
      else
        MESS_print(MESS_WARN, "FRT_plot_param: Invalid hour \"%s\"\n", item.c_str());
    }
  }
  free_parsed_array(count, list);
}

int FRT_plot_file(const char* path) {
  try {
    return plot_file(path);
  } catch (const std::exception& e) {
    MESS_print(MESS_ERROR, "FRT_plot_file: %s\n", e.what());
    return 0;
  }
}

int FRT_read_file(const char* path, FrtBulletin* bulletin) {
  if (bulletin == nullptr) return 0;
  *bulletin = FrtBulletin{};
  try {
    FRT_plot_param();
    if (read_bulletin(path != nullptr ? path : "", bulletin)) return 1;
    MESS_print(MESS_ERROR, "FRT_plot_file: Unable to open front file: %s\n", path != nullptr ? path : "");
  } catch (const std::exception& e) {
    MESS_print(MESS_ERROR, "FRT_plot_file: %s\n", e.what());
  }
  return 0;
}

const char* FRT_get_label_up_left() { return fs.label_ul.c_str(); }
const char* FRT_get_label_up_right() { return fs.label_ur.c_str(); }

int decode_latlon(const char* group, float* lat, float* lon) {
  if (group == nullptr) return 0;
  const std::size_t n = std::strlen(group);
  // Latitude digits and tenths: LLOO and LLOOO in whole degrees, LLLOOOO in tenths.
  const std::size_t lat_digits = n == 7 ? 3 : 2;
  if (n != 4 && n != 5 && n != 7) return 0;
  int la = 0, lo = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(group[i]))) return 0;
    int& v = i < lat_digits ? la : lo;
    v = 10 * v + (group[i] - '0');
  }
  // Dividing the whole numbers gives the float nearest the written value ("396" 39.6f).
  const int per_degree = n == 7 ? 10 : 1;
  if (la > 90 * per_degree || lo > 360 * per_degree) return 0;
  if (lat != nullptr) *lat = static_cast<float>(la) / static_cast<float>(per_degree);
  if (lon != nullptr) *lon = -static_cast<float>(lo) / static_cast<float>(per_degree);
  return 1;
}

int FRT_decode_locate(const std::vector<std::string>& words, std::size_t* next, float* lat, float* lon) {
  std::size_t i = next != nullptr ? *next : 0;
  float run = 0.0f, scale = 1.0f;
  for (; i < words.size(); ++i) {
    const std::string& w = words[i];
    float v = 0.0f;
    if (upper_eq(w, "HUNDRED")) {
      run *= 100.0f;
    } else if (upper_eq(w, "POINT")) {
      scale = 0.1f;
    } else if (upper_eq(w, "NORTH") || upper_eq(w, "SOUTH")) {
      if (lat != nullptr) *lat = upper_eq(w, "NORTH") ? run : -run;
      run = 0.0f, scale = 1.0f;
    } else if (upper_eq(w, "WEST") || upper_eq(w, "EAST")) {
      if (lon != nullptr) *lon = upper_eq(w, "WEST") ? -run : run;
      run = 0.0f, scale = 1.0f;
    } else if (number_word(w, &v)) {
      run += scale * v;
    } else {
      break;
    }
  }
  if (next != nullptr) *next = i;
  return i < words.size() ? 0 : -1;
}
