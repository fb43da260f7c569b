// Station values at the stations. Every size is a fraction of the map's vertical size, so
// a station model looks the same on any domain and device.
#include "surface/raw_plt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "config/datafile.h"
#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_ogr.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/vect_plt.h"
#include "plot/wx_symb.h"
#include "surface/raw_read.h"
#include "surface/var_tool.h"

namespace {

// Text height of station values: the row height of the station model less a gap.
constexpr float kTextHeight = 0.0135F;
// Half the width of one character of station text, as a fraction of its height.
constexpr float kCharWidth = 0.8F;

// Half the width of the cross over a rejected report, a fraction of V.
constexpr float kRejectHalf = 0.016F;

bool present(float v) { return v != MISSING; }

// The footprint of a run (fractions of V, relative to the station) and the places taken.
struct Box {
  float x0, y0, x1, y1;
};
struct PendingBarb {
  float x, y, direction, speed, size, offset;
  AttribRec attrib;
};
struct PendingText {
  float x, y;
  std::string text;
  RawFormat f;
  float size;
};

// How station values are drawn this plot, the room the stations already take, and the
// station being drawn.
struct RawPlotState {
  AttribRec plot_attrib{};
  float plot_scale = 1.0F;
  // Values coloured by the contour bands of their variable: the interval ("con_interval"),
  // the base ("con_base") and the fill colours, going round the list as the bands do.
  float band_interval = MISSING, band_base = MISSING;
  std::vector<int> band_colors;
  // Defaults of the "plot_param" entries, applied before each value's format.
  std::string param_format;
  int station_count = 0;
  // Texts drawn over a colour fill get a rim of the page's colour: a value in the colour of
  // the band under it, or of one near it, reads only against the rim.
  bool halo = false;
  // The segment "post" asks for, drawn with the next value.
  bool line_pending = false;
  float line_from[2] = {0.0F, 0.0F};
  float saved_line[4] = {MISSING, MISSING, MISSING, MISSING};
  Box footprint{0.0F, 0.0F, 0.0F, 0.0F};
  bool footprint_set = false;
  std::vector<Box> taken;
  // Reports the frame's analysis rejected: (variable, station) pairs, few per hour.
  std::vector<std::pair<std::string, std::string>> rejected;
  // One station of a station plot at a time: the boxes its numbers and texts cover (map
  // units) and the barbs put off until those are known, drawn last and kept off the boxes.
  bool station_open = false;
  // The values of the open station for the feature device, and where the station is.
  std::string station_fields;
  float station_x = 0.0F, station_y = 0.0F;
  std::vector<Box> text_boxes;
  std::vector<PendingBarb> pending_barbs;
  std::vector<PendingText> pending_texts;
  // The strokes and pennants of the station's barbs, caught before anything is drawn.
  std::vector<std::vector<float>> barb_strokes;
};
RawPlotState st;

// The parameter range [t0, t1] of the segment a + t (b - a) inside box r; false when it
// misses the box.
bool inside_span(const float a[2], const float b[2], const Box& r, float* t0, float* t1) {
  float lo = 0.0F, hi = 1.0F;
  const float d[2] = {b[0] - a[0], b[1] - a[1]};
  const float mins[2] = {r.x0, r.y0}, maxs[2] = {r.x1, r.y1};
  for (int k = 0; k < 2; ++k) {
    if (d[k] == 0.0F) {
      if (a[k] < mins[k] || a[k] > maxs[k]) return false;
      continue;
    }
    float e0 = (mins[k] - a[k]) / d[k], e1 = (maxs[k] - a[k]) / d[k];
    if (e0 > e1) std::swap(e0, e1);
    lo = std::max(lo, e0), hi = std::min(hi, e1);
    if (lo >= hi) return false;
  }
  *t0 = lo, *t1 = hi;
  return true;
}

// Draws the parts of a barb that lie outside the station's text boxes: strokes cut where
// they enter a box, a pennant that reaches into one left unfilled (its outline is cut).
void clipped_barb(int kind, int n, const float* p) {
  if (kind == 1) {
    float x0 = p[0], x1 = p[0], y0 = p[1], y1 = p[1];
    for (int i = 1; i < n; ++i)
      x0 = std::min(x0, p[2 * i]), x1 = std::max(x1, p[2 * i]), y0 = std::min(y0, p[2 * i + 1]),
      y1 = std::max(y1, p[2 * i + 1]);
    for (const Box& b : st.text_boxes)
      if (x0 < b.x1 && b.x0 < x1 && y0 < b.y1 && b.y0 < y1) return;
    gfill_area(n, p);
    return;
  }
  for (int i = 0; i + 1 < n; ++i) {
    const float* a = p + 2 * i;
    const float* b = p + 2 * i + 2;
    std::vector<std::pair<float, float>> hidden;
    for (const Box& r : st.text_boxes) {
      float t0, t1;
      if (inside_span(a, b, r, &t0, &t1)) hidden.emplace_back(t0, t1);
    }
    std::sort(hidden.begin(), hidden.end());
    float from = 0.0F;
    auto piece = [&](float t0, float t1) {
      if (t1 - t0 <= 1e-4F) return;
      const float q[4] = {a[0] + t0 * (b[0] - a[0]), a[1] + t0 * (b[1] - a[1]), a[0] + t1 * (b[0] - a[0]),
                          a[1] + t1 * (b[1] - a[1])};
      gpolyline(2, q);
    };
    for (const auto& [t0, t1] : hidden) {
      if (t0 > from) piece(from, t0);
      from = std::max(from, t1);
    }
    if (from < 1.0F) piece(from, 1.0F);
  }
}

float vert() {
  const float v = MAP_get_vert();
  return v > 0.0F && std::isfinite(v) ? v : 1.0F;
}

// Sets the text attributes of f and gives the box the text covers at (x, y), a little
// larger than its strokes.
Box text_box(float x, float y, const char* text, const RawFormat& f, float size) {
  GPH_text_attr(&f.attrib, size);
  GPH_text_align(f.halign, f.valign);
  {
    const float h = gget_char_ht();
    const float w = static_cast<float>(gtext_width(text)) * gget_expan() * h / 105.0F;
    const float x0 = f.halign == RAW_ALIGN_LEFT ? x : f.halign == RAW_ALIGN_RIGHT ? x - w : x - w / 2.0F;
    float y0 = y - 0.6F * h, y1 = y + 0.6F * h;  // half
    if (f.valign == 1) y0 = y - 1.1F * h, y1 = y;
    else if (f.valign == 2) y0 = y - h, y1 = y;
    else if (f.valign == 4) y0 = y - 0.3F * h, y1 = y + h;
    else if (f.valign == 5) y0 = y, y1 = y + 1.3F * h;
    const float pad = 0.15F * h;
    return {x0 - pad, y0 - pad, x0 + w + pad, y1 + pad};
  }
}

// A text in its colour, over its rim when a fill lies under the stations.
void print_text(float x, float y, const char* text, const RawFormat& f, float size) {
  if (st.halo) {
    AttribRec rim = f.attrib;
    rim.color = CLR_get_ind(gget_inverse() ? "white" : "black");
    if (rim.color < 0) rim.color = gget_inverse() ? 0 : 1;
    GPH_text_attr(&rim, size);
    GPH_text_align(f.halign, f.valign);
    const float width = gget_text_width();
    gset_text_width(std::max(width, 1.0F) + 2.0F);
    GPH_printf(x, y, "%s", text);
    gset_text_width(width);
  }
  GPH_text_attr(&f.attrib, size);
  GPH_text_align(f.halign, f.valign);
  GPH_printf(x, y, "%s", text);
}

void text_at(float x, float y, const char* text, const RawFormat& f, float size) {
  if (text == nullptr || *text == '\0') return;
  if (st.station_open) {
    // Placed when the station's barbs are known.
    st.pending_texts.push_back({x, y, text, f, size});
    return;
  }
  print_text(x, y, text, f, size);
}

void catch_barb(int, int n, const float* p) { st.barb_strokes.emplace_back(p, p + 2 * n); }

bool meets(const Box& a, const Box& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; }

// Whether box r meets a stroke or pennant of the station's barbs.
bool meets_barb(const Box& r) {
  for (const std::vector<float>& p : st.barb_strokes) {
    const std::size_t n = p.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
      const float* a = &p[2 * i];
      const float* b = &p[2 * ((i + 1) % n)];
      if (n == 2 && i == 1) break;
      float t0, t1;
      if (inside_span(a, b, r, &t0, &t1)) return true;
    }
  }
  return false;
}

// A barb of a station: drawn at once, or put off to the end of the station.
int barb_at(float x, float y, float direction, float speed, float size, float offset, const AttribRec& attrib) {
  if (!st.station_open) return WIND_barb_map(x, y, direction, speed, size, offset) < 0 ? -1 : 0;
  if (!present(direction) || !present(speed) || speed <= 0.0F) return -1;
  st.pending_barbs.push_back({x, y, direction, speed, size, offset, attrib});
  return 0;
}

void marker_at(float x, float y, int type, const RawFormat& f, float size) {
  AttribRec a = f.attrib;
  a.style = type;
  a.size = MISSING;
  GPH_mark_attr(&a, size);
  GPH_mark(x, y);
}

// The box a value of kind with format f occupies, fractions of V (scale applied).
Box value_box(const RawFormat& f, int kind) {
  const float s = f.scale;
  const float h = kTextHeight * s * (f.attrib.size > 0.0F ? f.attrib.size : 1.0F);
  switch (kind) {
    case PLOT_WBARB:
    case PLOT_CBARB:
    case PLOT_DBARB: {
      // A barb may point anywhere: its length and feathers round the station.
      const float r = 0.062F * s;
      return {-r, -r, r, r};
    }
    case PLOT_VBARB:
    case PLOT_STRM:
      return {-0.05F * s, -0.05F * s, 0.05F * s, 0.05F * s};
    case PLOT_CLOUD: {
      const float r = 0.012F * s;
      return {-r, -r, r, r};
    }
    default: break;
  }
  // Texts of up to 4 characters (a symbol is 2.5 characters wide), placed by alignment.
  const float w = kind == PLOT_SYMB ? 0.03F * s : 4.0F * kCharWidth * h;
  const float hh = kind == PLOT_SYMB ? 0.03F * s : h;
  const float x = f.xoff * s, y = f.yoff * s;
  const float x0 = f.halign == RAW_ALIGN_LEFT ? x : f.halign == RAW_ALIGN_RIGHT ? x - w : x - w / 2.0F;
  return {x0, y - hh / 2.0F, x0 + w, y + hh / 2.0F};
}

}  // namespace

void RAW_init_attrib(AttribRec* attrib) {
  if (attrib == nullptr) return;
  ATTRIB_init(attrib);
  // Black reads on white paper where green does not.
  ATTRIB_get("color_data", gget_inverse() ? "black" : "green", attrib);
}

void RAW_plt_reset_state() { st = RawPlotState{}; }

void RAW_set_halo(int on) { st.halo = on != 0; }

void RAW_set_attribs(const AttribRec* attrib) {
  if (attrib != nullptr) st.plot_attrib = *attrib;
  else RAW_init_attrib(&st.plot_attrib);
}

void RAW_plot_param(const char* param) {
  st.param_format.clear();
  if (param == nullptr) return;
  std::string rest = param;
  std::size_t p = 0;
  while (p <= rest.size()) {
    const std::size_t comma = rest.find(',', p);
    std::string w = rest.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
    p = comma == std::string::npos ? rest.size() + 1 : comma + 1;
    // Only the station-plot words: the rest of plot_param belongs to other layers.
    static const char* const kKinds[][2] = {{"text", "text"}, {"mark", "mark"}, {"cld", "cloud"},
                                            {"line", "line"}, {"ybar", "dbarb"}};
    for (const auto& k : kKinds)
      if (stricmp(w.c_str(), k[0]) == 0) st.param_format += std::string(":") + k[1];
    if (starts_with_ci(w, "skip=")) st.param_format += ":sk=" + w.substr(5);
    if (starts_with_ci(w, "xy=")) {
      std::string xy = w.substr(3);
      std::replace(xy.begin(), xy.end(), ':', ' ');
      st.param_format += ":xy=" + xy;
    }
  }
}

void RAW_plot_init(const AttribRec* attrib, float scale) {
  RAW_set_attribs(attrib);
  st.band_interval = st.band_base = MISSING;
  st.band_colors.clear();
  float in = 0.0F;
  const char* text = RES_get("con_interval");
  if (text != nullptr && parse_float(text, &in) && std::isfinite(in) && in > 0.0F) {
    st.band_interval = in;
    float lower = MISSING, upper = MISSING;
    CONT_read_base(&st.band_base, &lower, &upper, false);
    if (CONT_get_num_colors() <= 0) CONT_set_fill_colors(nullptr, 0);
    for (int k = 0; k < CONT_get_num_colors(); ++k) {
      AttribRec a;
      if (CONT_get_fill_attrib_ind(k, &a) >= 0) st.band_colors.push_back(a.color);
    }
  }
  st.plot_scale = scale > 0.0F ? scale : 1.0F;
  st.station_count = 0;
  st.line_pending = false;
  const char* p = RES_get("plot_param");
  RAW_plot_param(p);
}

void RAW_footprint_begin() {
  st.footprint_set = false;
  st.taken.clear();
}

void RAW_footprint_add(const char* format, int kind) {
  RawFormat f;
  RAW_format_init(&f, nullptr);
  const int k = RAW_parse_format(&f, format);
  Box b = value_box(f, k > 0 ? k : kind);
  const float s = st.plot_scale;
  b = {b.x0 * s, b.y0 * s, b.x1 * s, b.y1 * s};
  if (!st.footprint_set) st.footprint = b;
  st.footprint = {std::min(st.footprint.x0, b.x0), std::min(st.footprint.y0, b.y0), std::max(st.footprint.x1, b.x1),
               std::max(st.footprint.y1, b.y1)};
  st.footprint_set = true;
}

void RAW_station_begin() {
  st.station_open = true;
  st.station_fields.clear();
  st.text_boxes.clear();
  st.pending_barbs.clear();
  st.pending_texts.clear();
  st.barb_strokes.clear();
}

void RAW_station_end() {
  if (!st.station_open) return;
  st.station_open = false;
  if (!st.station_fields.empty()) {
    gfeature_point(GFEAT_STATION, st.station_x, st.station_y, 0.0, 0.0, st.station_fields.c_str());
    st.station_fields.clear();
  }
  // Where the barbs will lie.
  st.barb_strokes.clear();
  WIND_set_sink(catch_barb);
  for (const PendingBarb& b : st.pending_barbs) WIND_barb_map(b.x, b.y, b.direction, b.speed, b.size, b.offset);
  WIND_set_sink(nullptr);
  // A number in a barb's way moves a row or two away from the station's middle, to a place
  // clear of the barb and of the other numbers; where there is none it stays, and the barb
  // is cut round it.
  const float mid_y = st.pending_barbs.empty() ? 0.0F : st.pending_barbs.front().y;
  std::vector<Box> boxes;
  for (const PendingText& t : st.pending_texts) boxes.push_back(text_box(t.x, t.y, t.text.c_str(), t.f, t.size));
  for (std::size_t i = 0; i < st.pending_texts.size(); ++i) {
    const PendingText& t = st.pending_texts[i];
    Box b = boxes[i];
    float dy = 0.0F;
    if (meets_barb(b)) {
      const float row = 1.2F * (b.y1 - b.y0) / 1.4F;
      const float up = (b.y0 + b.y1) / 2.0F >= mid_y ? 1.0F : -1.0F;
      for (const float k : {1.0F, -1.0F, 2.0F, -2.0F}) {
        const float shift = k * up * row;
        const Box c{b.x0, b.y0 + shift, b.x1, b.y1 + shift};
        // Clear of the barbs and of every other number, placed or still to come.
        bool free = !meets_barb(c);
        for (std::size_t j = 0; j < boxes.size(); ++j) free = free && (j == i || !meets(c, boxes[j]));
        if (free) {
          dy = shift;
          b = c;
          break;
        }
      }
    }
    boxes[i] = b;
    st.text_boxes.push_back(b);
    print_text(t.x, t.y + dy, t.text.c_str(), t.f, t.size);
  }
  st.pending_texts.clear();
  for (const PendingBarb& b : st.pending_barbs) {
    GPH_line_attr(nullptr);
    GPH_line_attr(&b.attrib);
    GPH_fill_attr(&b.attrib);
    WIND_set_sink(clipped_barb);
    WIND_barb_map(b.x, b.y, b.direction, b.speed, b.size, b.offset);
    WIND_set_sink(nullptr);
  }
  st.pending_barbs.clear();
  st.text_boxes.clear();
}

void RAW_reject_clear() { st.rejected.clear(); }

void RAW_reject_add(const char* var, const char* id) {
  if (var == nullptr || id == nullptr || *id == '\0') return;
  st.rejected.emplace_back(var, id);
}

int RAW_rejected(const char* var, const char* id) {
  if (st.rejected.empty() || var == nullptr || id == nullptr) return 0;
  for (const auto& [v, i] : st.rejected)
    if (i == id && stricmp(v.c_str(), var) == 0) return 1;
  return 0;
}

void RAW_plot_reject(float x, float y) {
  if (FLAG_getplot(DRAW_DATA) <= 0 || FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) return;
  AttribRec a;
  ATTRIB_init(&a);
  // Red whatever the colour of the values, on the light and the dark background alike.
  const int red = CLR_get_ind("red");
  if (red >= 0) a.color = red;
  a.width = 1.5F;
  GPH_line_attr(nullptr);
  GPH_line_attr(&a);
  const float h = kRejectHalf * vert() * st.plot_scale;
  GPH_line(x - h, y - h, x + h, y + h);
  GPH_line(x - h, y + h, x + h, y - h);
}

int RAW_plot_inside(float x, float y) {
  if (!st.footprint_set) return 1;
  const float v = vert();
  const Box b{x + st.footprint.x0 * v, y + st.footprint.y0 * v, x + st.footprint.x1 * v, y + st.footprint.y1 * v};
  float win[4];
  MAP_get_window(win);
  const float wx0 = std::min(win[0], win[1]), wx1 = std::max(win[0], win[1]);
  const float wy0 = std::min(win[2], win[3]), wy1 = std::max(win[2], win[3]);
  return wx1 > wx0 && wy1 > wy0 && (b.x0 < wx0 || b.x1 > wx1 || b.y0 < wy0 || b.y1 > wy1) ? 0 : 1;
}

namespace {
// Room for a station's footprint among the stations drawn so far; with `labels`, also
// among the labels of the other layers (a high or low, a contour label), which then keep
// their places. The stations of a file the user names in the map list are drawn wherever
// they are.
int station_room(float x, float y, bool labels) {
  if (!st.footprint_set) return 1;
  const float v = vert();
  const Box b{x + st.footprint.x0 * v, y + st.footprint.y0 * v, x + st.footprint.x1 * v, y + st.footprint.y1 * v};
  for (const Box& t : st.taken)
    if (b.x0 < t.x1 && t.x0 < b.x1 && b.y0 < t.y1 && t.y0 < b.y1) return 0;
  const float q[4] = {b.x0, b.y0, b.x1, b.y1};
  if (labels) {
    if (gtext_room_free(q) == 0) return 0;
    gtext_room_claim(q, "station");
  }
  st.taken.push_back(b);
  return 1;
}
}  // namespace

int RAW_plot_room(float x, float y) { return station_room(x, y, true); }

int RAW_plot_data(RawDataRec* d) {
  if (d == nullptr) return -1;
  if (FLAG_getplot(DRAW_DATA) <= 0 || FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) return -1;
  RawFormat f;
  RAW_format_init(&f, &st.plot_attrib);
  ATTRIB_update(&f.attrib, &d->attrib);
  if (present(st.band_interval) && !st.band_colors.empty()) {
    // The colour of the value's contour band: the speed of a wind, else the value.
    const bool wind = d->kind == PLOT_VECT || d->kind == PLOT_BARB || d->kind == PLOT_STRM ||
                      (d->kind >= PLOT_WBARB && d->kind <= PLOT_VBARB);
    const float value = wind ? d->val2 : d->val1;
    if (present(value)) {
      const double n = static_cast<double>(st.band_colors.size());
      const double k = std::floor((static_cast<double>(value) - (present(st.band_base) ? st.band_base : 0.0F)) / st.band_interval + 0.01);
      if (std::isfinite(k)) {
        double e = std::fmod(k, n);
        if (e < 0.0) e += n;
        const int c = st.band_colors[std::min(static_cast<std::size_t>(e), st.band_colors.size() - 1)];
        if (c >= 0) f.attrib.color = c;
      }
    }
  }
  if (!st.param_format.empty()) RAW_parse_format(&f, st.param_format.c_str());
  const int named = RAW_parse_format(&f, d->format);
  if (named > 0) d->kind = named;
  if ((present(f.min_cut) && present(d->val1) && d->val1 < f.min_cut) ||
      (present(f.max_cut) && present(d->val1) && d->val1 > f.max_cut))
    return -1;
  if (f.skip > 1 && (st.station_count++ % f.skip) != 0) return -1;
  if (gfeature_wanted()) {
    // A GIS file keeps the values themselves at the station ("name=value" of the variable
    // being plotted), whatever symbols show them: one point a station.
    std::string field = RAW_get_var_string();
    std::replace(field.begin(), field.end(), ';', ',');
    if (st.station_open && !st.station_fields.empty()) {
      st.station_fields += ";" + field;
    } else {
      st.station_fields = field;
      st.station_x = d->x, st.station_y = d->y;
    }
    if (!st.station_open) {
      gfeature_point(GFEAT_STATION, st.station_x, st.station_y, 0.0, 0.0, st.station_fields.c_str());
      st.station_fields.clear();
    }
  }
  const float v = vert();
  const float s = f.scale * st.plot_scale;
  const float x = d->x + f.xoff * v * s, y = d->y + f.yoff * v * s;
  const float h = kTextHeight * v * s;
  GPH_line_attr(nullptr);
  GPH_line_attr(&f.attrib);
  GPH_fill_attr(&f.attrib);
  const bool has_value = present(d->val1) || d->text[0] != '\0';
  char text[64];
  if (st.line_pending && d->kind != PLOT_LINE) {
    GPH_line(st.line_from[0], st.line_from[1], d->x, d->y);
    st.line_pending = false;
  }
  MESS_print(MESS_DEBUG, "PLOT: %8.3f %8.3f %-5s %-10s %-10s %8.3f\n", static_cast<double>(x), static_cast<double>(y),
             VAR_print_type(d->kind), d->format, d->text, static_cast<double>(d->val1));
  if (f.fixed[0] != '\0') {
    text_at(x, y, f.fixed, f, h);
    return 0;
  }
  if (f.marker > 0) {
    if (!has_value) return -1;
    if (f.marker == RAW_MARK_CLOUD) WX_cloud('0', x, y, 0.01F * v * s);
    else marker_at(x, y, f.marker, f, s);
    return 0;
  }
  switch (d->kind) {
    case PLOT_TEXT:
      if (d->text[0] == '\0') return -1;
      text_at(x, y, d->text, f, h);
      return 0;
    case PLOT_DATA:
      // A variable's own text (visibility "1.5", ".25") is how it is shown; without one,
      // the value by the format.
      if (d->text[0] != '\0') {
        text_at(x, y, d->text, f, h);
        return 0;
      }
      [[fallthrough]];
    case PLOT_VALUE:
    case PLOT_INT: {
      if (!has_value) return -1;
      RAW_data_to_string(text, sizeof text, d, f.cformat[0] != '\0' ? f.cformat : nullptr);
      text_at(x, y, text, f, h);
      return 0;
    }
    case PLOT_MARK: {
      const int m = RAW_marker(d->text);
      if (m <= 0) return -1;
      marker_at(x, y, m, f, s);
      return 0;
    }
    case PLOT_CLOUD:
      // A station without a cloud report shows the "M" of a missing cover.
      WX_cloud(d->text[0] != '\0' ? d->text[0] : 'M', x, y, 0.01F * v * s);
      return 0;
    case PLOT_CBARB:
      if (!present(d->val2)) return -1;
      if (d->val2 == 0.0F) {
        GPH_circle(x, y, 0.013F * v * s);
        return 0;
      }
      if (!present(d->val1) || d->val1 < 0.0F) return -1;
      return barb_at(x, y, d->val1, d->val2, 0.05F * v * s, 0.01F * v * s, f.attrib);
    case PLOT_DBARB:
      GPH_fcircle(x, y, 0.003F * v * s);
      if (!present(d->val2)) return 0;
      if (d->val2 == 0.0F) {
        GPH_circle(x, y, 0.006F * v * s);
        return 0;
      }
      if (!present(d->val1) || d->val1 < 0.0F) return 0;
      barb_at(x, y, d->val1, d->val2, 0.05F * v * s, 0.003F * v * s, f.attrib);
      return 0;
    case PLOT_WBARB:
      if (!present(d->val2)) return -1;
      if (d->val2 == 0.0F) {
        GPH_fcircle(x, y, 0.003F * v * s);
        return 0;
      }
      if (!present(d->val1) || d->val1 < 0.0F) return -1;
      return barb_at(x, y, d->val1, d->val2, 0.05F * v * s, 0.0F, f.attrib);
    case PLOT_VBARB:
      if (!present(d->val2) || !present(d->val1) || d->val2 <= 0.0F) return -1;
      return WIND_vect_map(x, y, d->val1, d->val2 * 1.852F / 100.0F, s, 1.0F) < 0 ? -1 : 0;
    case PLOT_STRM: {
      if (!present(d->val2) || !present(d->val1) || d->val2 <= 0.0F) return -1;
      DomainRec dom;
      MAP_get_domain(&dom);
      const float factor = present(dom.clat) ? MAP_factor(dom.clat) : 1.0F;
      const float length = 2.0F * factor * d->val2 * 1.852F / 100.0F;
      return WIND_track(4, x, y, MAP_dir_adj(d->val1, x, y), length, 0.1F * s * v) < 0 ? -1 : 0;
    }
    case PLOT_SYMB:
      // The symbol's box is placed like a text of the format.
      GPH_text_align(f.halign, f.valign);
      return WX_symb(d->text, x, y, 0.03F * v * s) ? 0 : -1;
    case PLOT_LINE:
      if (stricmp(d->text, "pre") == 0) {
        if (!present(st.saved_line[0])) return -1;
        GPH_line(st.saved_line[0], st.saved_line[1], st.saved_line[2], st.saved_line[3]);
        return 0;
      }
      if (stricmp(d->text, "post") == 0) {
        st.line_pending = true;
        st.line_from[0] = d->x;
        st.line_from[1] = d->y;
        return 0;
      }
      if (present(d->val1) && present(d->val2)) {
        float px = MISSING, py = MISSING;
        if (MAP_tran(&px, &py, d->val1, d->val2) < 0 || !present(px)) return -1;
        st.saved_line[0] = d->x, st.saved_line[1] = d->y, st.saved_line[2] = px, st.saved_line[3] = py;
        GPH_line(d->x, d->y, px, py);
        return 0;
      }
      return -1;
    default: return -1;
  }
}

int RAW_overlay_file(const char* file, const char* colour, int, int) {
  if (file == nullptr || *file == '\0') return -1;
  // Found like the other data files: as named, else along "file_path".
  std::string path = file;
  if (std::FILE* f = FILE_open_data(file, &path)) FILE_close(f);
  const int h = RAW_open(path.c_str());
  if (h < 0) return -1;
  DateRec date;
  const int fields = RAW_getinfo(h, &date, nullptr, 0);
  if (fields < 0) {
    MESS_print(MESS_ERROR, "RAW_overlay_file: Not a raw file: %s\n", path.c_str());
    RAW_close(h);
    return -1;
  }
  AttribRec attrib = st.plot_attrib;
  RAW_init_attrib(&attrib);
  if (colour != nullptr && *colour != '\0') {
    const int c = CLR_get_ind(colour);
    if (c >= 0) attrib.color = c;
  }
  // Each field is drawn as its description names it (the kind the program wrote there:
  // "value", "cbarb", "cloud"); texts round the station as on a station model, symbols,
  // clouds and winds at the station. A file without a field list has one value a line.
  static const char* const kPlaces[] = {"ul", "ll", "ur", "lr", "cr", "cl", "uc", "lc"};
  std::vector<std::string> formats;
  std::size_t place = 0;
  // The list begins with the location ("id lat lon").
  const int values = std::max(fields - 3, 1);
  for (int k = 0; k < values; ++k) {
    const RawField* rf = fields > 3 ? RAW_get_field(h, k + 3) : nullptr;
    std::string kind = rf != nullptr ? rf->description : "";
    RawFormat probe;
    RAW_format_init(&probe, nullptr);
    const int named = kind.empty() ? 0 : RAW_parse_format(&probe, kind.c_str());
    const bool text_like = named == 0 || named == PLOT_DATA || named == PLOT_VALUE || named == PLOT_TEXT ||
                           named == PLOT_INT || named == PLOT_SYMB;
    // Numbers are drawn as the file writes them ("-0.2", "029").
    if (named == 0 || named == PLOT_VALUE || named == PLOT_INT) kind = "data";
    if (text_like && values > 1 && place < std::size(kPlaces)) kind += std::string(":") + kPlaces[place++];
    formats.push_back(kind);
  }
  RAW_plot_init(&attrib, st.plot_scale);
  RAW_footprint_begin();
  for (int k = 0; k < static_cast<int>(formats.size()); ++k) RAW_footprint_add(formats[k].c_str(), PLOT_DATA);
  const bool latlon = RAW_get_layout(h) == RAW_LAYOUT_LATLON || RAW_get_layout(h) == RAW_LAYOUT_ID;
  int drawn = 0;
  RawDataRec d;
  for (int i = 0;; ++i) {
    RAW_data_init(&d);
    const int r = RAW_read(h, &d, 0, i);
    if (r == 0) break;
    if (r < 0) continue;
    float px = d.x, py = d.y;
    if (latlon && (MAP_tran(&px, &py, d.x, d.y) < 0 || !present(px))) continue;
    if (!RAW_plot_inside(px, py) || !station_room(px, py, false)) continue;
    RAW_station_begin();
    for (int k = 0; k < static_cast<int>(formats.size()); ++k) {
      RAW_data_init(&d);
      if (k > 0 && RAW_read(h, &d, k, i) <= 0) continue;
      if (k == 0 && RAW_read(h, &d, 0, i) <= 0) continue;
      d.x = px, d.y = py;
      copy_bounded(d.format, sizeof d.format, formats[static_cast<std::size_t>(k)]);
      if (RAW_plot_data(&d) == 0) ++drawn;
    }
    RAW_station_end();
  }
  RAW_close(h);
  RAW_footprint_begin();
  return drawn;
}

int RAW_plot_file(const char* name, int field, const char* format, const AttribRec* attrib) {
  const int h = RAW_open(name);
  if (h < 0) return -1;
  DateRec date;
  if (RAW_getinfo(h, &date, nullptr, 0) < 0) {
    RAW_close(h);
    return -1;
  }
  RAW_plot_init(attrib, st.plot_scale);
  const bool latlon = RAW_get_layout(h) == RAW_LAYOUT_LATLON || RAW_get_layout(h) == RAW_LAYOUT_ID;
  int drawn = 0;
  RawDataRec d;
  for (int i = 0;; ++i) {
    RAW_data_init(&d);
    const int r = RAW_read(h, &d, field, i);
    if (r == 0) break;
    if (r < 0) continue;
    float px = d.x, py = d.y;
    if (latlon && (MAP_tran(&px, &py, d.x, d.y) < 0 || !present(px))) continue;
    d.x = px;
    d.y = py;
    copy_bounded(d.format, sizeof d.format, format != nullptr ? format : "");
    if (RAW_plot_data(&d) == 0) ++drawn;
  }
  RAW_close(h);
  return drawn;
}
