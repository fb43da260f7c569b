// Station values at the stations. Every size is a fraction of the map's vertical size, so
// a station model looks the same on any domain and device.
#include "surface/raw_plt.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
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

AttribRec plot_attrib{};
float plot_scale = 1.0F;
// Defaults of the "plot_param" entries, applied before each value's format.
std::string param_format;
int station_count = 0;
// The segment "post" asks for, drawn with the next value.
bool line_pending = false;
float line_from[2] = {0.0F, 0.0F};
float saved_line[4] = {MISSING, MISSING, MISSING, MISSING};

// The footprint of a run (fractions of V, relative to the station) and the places taken.
struct Box {
  float x0, y0, x1, y1;
};
Box footprint{0.0F, 0.0F, 0.0F, 0.0F};
bool footprint_set = false;
std::vector<Box> taken;
// Reports the frame's analysis rejected: (variable, station) pairs, few per hour.
std::vector<std::pair<std::string, std::string>> rejected;
// Half the width of the cross over a rejected report, a fraction of V.
constexpr float kRejectHalf = 0.016F;

bool present(float v) { return v != MISSING; }

float vert() {
  const float v = MAP_get_vert();
  return v > 0.0F && std::isfinite(v) ? v : 1.0F;
}

void text_at(float x, float y, const char* text, const RawFormat& f, float size) {
  if (text == nullptr || *text == '\0') return;
  GPH_text_attr(&f.attrib, size);
  GPH_text_align(f.halign, f.valign);
  GPH_printf(x, y, "%s", text);
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
  ATTRIB_get("color_data", "green", attrib);
}

void RAW_set_attribs(const AttribRec* attrib) {
  if (attrib != nullptr) plot_attrib = *attrib;
  else RAW_init_attrib(&plot_attrib);
}

void RAW_plot_param(const char* param) {
  param_format.clear();
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
      if (stricmp(w.c_str(), k[0]) == 0) param_format += std::string(":") + k[1];
    if (starts_with_ci(w, "skip=")) param_format += ":sk=" + w.substr(5);
    if (starts_with_ci(w, "xy=")) {
      std::string xy = w.substr(3);
      std::replace(xy.begin(), xy.end(), ':', ' ');
      param_format += ":xy=" + xy;
    }
  }
}

void RAW_plot_init(const AttribRec* attrib, float scale) {
  RAW_set_attribs(attrib);
  plot_scale = scale > 0.0F ? scale : 1.0F;
  station_count = 0;
  line_pending = false;
  const char* p = RES_get("plot_param");
  RAW_plot_param(p);
}

void RAW_footprint_begin() {
  footprint_set = false;
  taken.clear();
}

void RAW_footprint_add(const char* format, int kind) {
  RawFormat f;
  RAW_format_init(&f, nullptr);
  const int k = RAW_parse_format(&f, format);
  Box b = value_box(f, k > 0 ? k : kind);
  const float s = plot_scale;
  b = {b.x0 * s, b.y0 * s, b.x1 * s, b.y1 * s};
  if (!footprint_set) footprint = b;
  footprint = {std::min(footprint.x0, b.x0), std::min(footprint.y0, b.y0), std::max(footprint.x1, b.x1),
               std::max(footprint.y1, b.y1)};
  footprint_set = true;
}

void RAW_reject_clear() { rejected.clear(); }

void RAW_reject_add(const char* var, const char* id) {
  if (var == nullptr || id == nullptr || *id == '\0') return;
  rejected.emplace_back(var, id);
}

int RAW_rejected(const char* var, const char* id) {
  if (rejected.empty() || var == nullptr || id == nullptr) return 0;
  for (const auto& [v, i] : rejected)
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
  const float h = kRejectHalf * vert() * plot_scale;
  GPH_line(x - h, y - h, x + h, y + h);
  GPH_line(x - h, y + h, x + h, y - h);
}

int RAW_plot_room(float x, float y) {
  if (!footprint_set) return 1;
  const float v = vert();
  const Box b{x + footprint.x0 * v, y + footprint.y0 * v, x + footprint.x1 * v, y + footprint.y1 * v};
  for (const Box& t : taken)
    if (b.x0 < t.x1 && t.x0 < b.x1 && b.y0 < t.y1 && t.y0 < b.y1) return 0;
  taken.push_back(b);
  return 1;
}

int RAW_plot_data(RawDataRec* d) {
  if (d == nullptr) return -1;
  if (FLAG_getplot(DRAW_DATA) <= 0 || FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) return -1;
  RawFormat f;
  RAW_format_init(&f, &plot_attrib);
  ATTRIB_update(&f.attrib, &d->attrib);
  if (!param_format.empty()) RAW_parse_format(&f, param_format.c_str());
  const int named = RAW_parse_format(&f, d->format);
  if (named > 0) d->kind = named;
  if ((present(f.min_cut) && present(d->val1) && d->val1 < f.min_cut) ||
      (present(f.max_cut) && present(d->val1) && d->val1 > f.max_cut))
    return -1;
  if (f.skip > 1 && (station_count++ % f.skip) != 0) return -1;
  const float v = vert();
  const float s = f.scale * plot_scale;
  const float x = d->x + f.xoff * v * s, y = d->y + f.yoff * v * s;
  const float h = kTextHeight * v * s;
  GPH_line_attr(nullptr);
  GPH_line_attr(&f.attrib);
  GPH_fill_attr(&f.attrib);
  const bool has_value = present(d->val1) || d->text[0] != '\0';
  char text[64];
  if (line_pending && d->kind != PLOT_LINE) {
    GPH_line(line_from[0], line_from[1], d->x, d->y);
    line_pending = false;
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
      return WIND_barb_map(x, y, d->val1, d->val2, 0.05F * v * s, 0.01F * v * s) < 0 ? -1 : 0;
    case PLOT_DBARB:
      GPH_fcircle(x, y, 0.003F * v * s);
      if (!present(d->val2)) return 0;
      if (d->val2 == 0.0F) {
        GPH_circle(x, y, 0.006F * v * s);
        return 0;
      }
      if (!present(d->val1) || d->val1 < 0.0F) return 0;
      WIND_barb_map(x, y, d->val1, d->val2, 0.05F * v * s, 0.003F * v * s);
      return 0;
    case PLOT_WBARB:
      if (!present(d->val2)) return -1;
      if (d->val2 == 0.0F) {
        GPH_fcircle(x, y, 0.003F * v * s);
        return 0;
      }
      if (!present(d->val1) || d->val1 < 0.0F) return -1;
      return WIND_barb_map(x, y, d->val1, d->val2, 0.05F * v * s, 0.0F) < 0 ? -1 : 0;
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
        if (!present(saved_line[0])) return -1;
        GPH_line(saved_line[0], saved_line[1], saved_line[2], saved_line[3]);
        return 0;
      }
      if (stricmp(d->text, "post") == 0) {
        line_pending = true;
        line_from[0] = d->x;
        line_from[1] = d->y;
        return 0;
      }
      if (present(d->val1) && present(d->val2)) {
        float px = MISSING, py = MISSING;
        if (MAP_tran(&px, &py, d->val1, d->val2) < 0 || !present(px)) return -1;
        saved_line[0] = d->x, saved_line[1] = d->y, saved_line[2] = px, saved_line[3] = py;
        GPH_line(d->x, d->y, px, py);
        return 0;
      }
      return -1;
    default: return -1;
  }
}

int RAW_plot_file(const char* name, int field, const char* format, const AttribRec* attrib) {
  const int h = RAW_open(name);
  if (h < 0) return -1;
  DateRec date;
  if (RAW_getinfo(h, &date, nullptr, 0) < 0) {
    RAW_close(h);
    return -1;
  }
  RAW_plot_init(attrib, plot_scale);
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
