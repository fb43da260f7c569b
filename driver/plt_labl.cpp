// Plot labels: the label table, the escapes and the label resource, and the drawing of the
// labels round the view.
#include "driver/plt_labl.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_ogr.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "surface/var_tool.h"

namespace {

constexpr int positions = PLT_LABEL_POSITIONS;
constexpr int overlays = PLT_LABEL_OVERLAYS;
// Font units from the bottom of a glyph cell to the capital height, as the stroke fonts
// measure them; 105 of them are the character height.
constexpr float font_height_units = 105.0F;

// The label table and the label marks of the plot being drawn, kept from the call that sets
// them to the one that draws them.
struct LablState {
  std::array<std::array<std::string, overlays>, positions> labels;
  std::array<int, positions> label_ind{};
  int overlay = 0;
  int num_over = 0;
  int over_base = 0;
  DateRec label_date{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT,
                     MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  int fhour = MISSING_INT;
  int full_lab = 0;
  // A frame round the map is part of a plot unless the user switches the component off.
  int border = 1;
  int bar = 0;
  int vect_key = 0;
  // The value of the label resource whose mistakes were last reported: a resource is
  // applied to every frame, and its mistakes are told once.
  std::string reported_resource;
};
LablState st;

bool fits(const char* text) { return text != nullptr && std::strlen(text) <= static_cast<std::size_t>(PLT_LABEL_LEN); }

void set_label(int position, const char* text) {
  if (text == nullptr || st.overlay < 0 || st.overlay >= overlays || !fits(text)) return;
  if (PLT_get_label_type() < 0 && st.overlay >= 1) {
    std::string& base = st.labels[position][0];
    const std::size_t len = std::strlen(text);
    if (base.empty())
      base = text;
    else if (base.size() + 1 + len <= static_cast<std::size_t>(PLT_JOINED_LEN))
      base.append(" ").append(text);
    return;
  }
  st.labels[position][st.overlay] = text;
}

std::string two_digits(int value) {
  if (value == MISSING_INT) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%2.2d", value);
  return buf;
}

bool date_set(const DateRec& d) { return d.year != MISSING_INT; }

// The forecast-hour text of the label time; in days when no_hour is set.
std::string fhour_text(bool no_hour) {
  DateRec d = st.label_date;
  d.hour = no_hour ? MISSING_INT : 0;
  char text[DATE_LABEL_LEN] = "";
  DATE_format_label(text, "%F", st.fhour, nullptr, &d);
  return text;
}

// The valid day of the label date and forecast time, without the hour ("SUN 15 MAR 26").
std::string valid_day() {
  DateRec valid = st.label_date;
  if (valid.hour != MISSING_INT) {
    // The hours of a forecast time code are its last three digits (800 and 900 mark days
    // and months, which shift nothing here), as the valid-time label takes them.
    int hours = st.fhour == MISSING_INT ? 0 : st.fhour % 1000;
    if (hours == 800 || hours == 900) hours = 0;
    DateRec base = st.label_date;
    const int secs = DATE_num_sec(&base) + 3600 * hours;
    DATE_get_gmdate(&secs, &valid);
    valid.hour = valid.minute = valid.second = MISSING_INT;
  }
  char text[DATE_LABEL_LEN] = "";
  DATE_make_label_valid_time(0, &valid, text);
  return text;
}

// Width of a label in world units at the current text attributes.
float text_width(const std::string& text, float height) {
  if (text.empty()) return 0.0F;
  return static_cast<float>(gtext_width(text.c_str())) * height / font_height_units * gget_expan();
}

// The factor that makes a line of left, centre and right labels fit the view's width w
// side by side (1 when they fit as they are).
float fit_factor(float w, float wl, float wc, float wr) {
  const float side = 0.01F * w, gap = 0.02F * w;
  float f = 1.0F;
  const auto limit = [&f](float need, float room) {
    if (need > 0.0F && room > 0.0F && need * f > room) f = room / need;
  };
  for (float one : {wl, wc, wr}) limit(one, w - 2.0F * side);
  if (wc > 0.0F) {
    limit(wl + wc / 2.0F, w / 2.0F - side - gap);
    limit(wr + wc / 2.0F, w / 2.0F - side - gap);
  } else {
    limit(wl + wr, w - 2.0F * side - gap);
  }
  return f;
}

// Draws one line of three labels (empty ones are skipped) with baseline y.
void draw_line(const float view[4], float y, float height, const std::string& left, const std::string& centre,
               const std::string& right) {
  if (left.empty() && centre.empty() && right.empty()) return;
  const float w = view[1] - view[0];
  const float f =
      fit_factor(w, text_width(left, height), text_width(centre, height), text_width(right, height));
  gset_char_ht(height * f);
  const struct {
    const std::string& text;
    int align;
    float x;
  } parts[] = {{left, 1, view[0] + 0.01F * w}, {centre, 2, (view[0] + view[1]) / 2.0F}, {right, 3, view[1] - 0.01F * w}};
  for (const auto& p : parts) {
    if (p.text.empty()) continue;
    GPH_text_align(p.align, 4);
    const float at[2] = {p.x, y};
    GPH_pprint(at, p.text.c_str());
  }
}

// The text attributes of the labels: the "color_text" resource over the default colour.
// A default the colour table does not name is left out (the device's first colour
// draws), so that a table of a site's own still shows the labels; the resource is read
// again only when it, the display or the table changes, and its mistakes are told once.
const AttribRec& text_attrib() {
  static std::string value;
  static int inverse = -1, colours = -1;
  static AttribRec attr{};
  const char* v = RES_get("color_text");
  const std::string now = v != nullptr ? v : "";
  if (inverse == gget_inverse() && colours == CLR_get_num() && value == now) return attr;
  value = now;
  inverse = gget_inverse();
  colours = CLR_get_num();
  ATTRIB_init(&attr);
  const char* def = inverse ? "black" : "white";
  ATTRIB_get("color_text", CLR_get_ind(def) >= 0 ? def : "", &attr);
  return attr;
}

const char* const position_names[positions] = {"ul", "uc", "ur", "ll", "lc", "lr"};

// Applies one item of the label resource; an empty string when it was used, otherwise
// what is wrong with it.
std::string apply_item(const char* item) {
  int position = -1;
  for (int p = 0; p < positions; ++p)
    if (strnicmp(item, position_names[p], 2) == 0) position = p;
  if (position < 0) return "unknown label position (ul, uc, ur, ll, lc, lr)";
  const char* p = item + 2;
  int n = 0;
  if (std::isdigit(static_cast<unsigned char>(*p))) n = *p++ - '0';
  if (*p != ':') return "a label is written as position, overlay 0-5 and ':' (ul:text, ul1:text)";
  if (n >= overlays) return "overlays are numbered 0-5";
  const std::string text = PLT_label_format(p + 1);
  if (!PLT_set_label(position, n, text.c_str()))
    return "longer than " + std::to_string(PLT_LABEL_LEN) + " characters";
  PLT_set_num_overlay(n + 1);
  return {};
}

}  // namespace

// ---- the label table ----

void PLT_label_up_left(const char* text) { set_label(0, text); }
void PLT_label_up_center(const char* text) { set_label(1, text); }
void PLT_label_up_right(const char* text) { set_label(2, text); }
void PLT_label_low_left(const char* text) { set_label(3, text); }
void PLT_label_low_center(const char* text) { set_label(4, text); }
void PLT_label_low_right(const char* text) { set_label(5, text); }

int PLT_set_label(int position, int n, const char* text) {
  if (position < 0 || position >= positions || n < 0 || n >= overlays || !fits(text)) return 0;
  st.labels[position][n] = text;
  return 1;
}

const char* PLT_get_label(int position, int n) {
  if (position < 0 || position >= positions || n < 0 || n >= overlays) return "";
  return st.labels[position][n].c_str();
}

const char* PLT_get_label_up_right() { return PLT_get_label(2, st.overlay); }

void PLT_label_date(const DateRec* date) {
  if (date == nullptr) return;
  st.label_date = *date;
  // GIS features of the frame carry its valid time.
  if (gfeature_wanted() && date->year != MISSING_INT && date->month != MISSING_INT && date->day != MISSING_INT &&
      date->hour != MISSING_INT) {
    char iso[40];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:00Z", date->year, date->month, date->day, date->hour,
                  date->minute == MISSING_INT ? 0 : date->minute);
    gfeature_time(iso);
  }
}
void PLT_get_label_date(DateRec* date) {
  if (date != nullptr) *date = st.label_date;
}
void PLT_label_for_time(int time) { st.fhour = time; }
int PLT_get_label_for_time() { return st.fhour; }

// ---- overlays ----

int PLT_next_overlay() {
  if (st.overlay + 1 >= overlays) return -1;
  ++st.overlay;
  const int type = PLT_get_label_type();
  if (type > 0) PLT_set_label_type(type + 1);
  if (type < 0) PLT_set_label_type(type - 1);
  for (int p = 0; p < positions; ++p) st.label_ind[p] = static_cast<int>(st.labels[p][0].size());
  st.num_over = std::max(st.num_over, st.overlay);
  return st.overlay;
}

void PLT_set_overlay(int n) {
  st.overlay = std::min(n, overlays - 1);
  st.num_over = std::max(st.num_over, st.overlay);
}
int PLT_get_overlay() { return st.overlay; }

void PLT_set_overlay_base(int n) {
  st.over_base = std::clamp(n, 0, overlays - 1);
  st.num_over = std::max(st.num_over, st.over_base);
}
int PLT_get_overlay_base() { return st.over_base; }

void PLT_set_num_overlay(int n) {
  // Far beyond the table nothing more can be drawn; the clamp keeps -n representable.
  n = std::clamp(n, -overlays, overlays);
  st.num_over = n < 0 ? -n : std::max(st.num_over, n);
}
int PLT_get_num_overlay() { return st.num_over; }

int PLT_get_label_ind(int position) { return position >= 0 && position < positions ? st.label_ind[position] : 0; }

void PLT_set_label_type(int type) { VAR_set_label_type(type); }
int PLT_get_label_type() { return VAR_get_label_type(); }

void PLT_init_labels() {
  for (auto& row : st.labels)
    for (auto& l : row) l.clear();
  st.label_ind.fill(0);
  st.overlay = 0;
  st.num_over = 0;
  st.over_base = 0;
  st.bar = 0;
  st.vect_key = 0;
}

// ---- escapes and the label resource ----

std::string PLT_label_format(const char* format) {
  std::string out;
  if (format == nullptr) return out;
  char text[DATE_LABEL_LEN] = "";
  const bool dated = date_set(st.label_date);
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p == '_') {
      out += ' ';
      continue;
    }
    if (*p != '%') {
      out += *p;
      continue;
    }
    if (*++p == '\0') break;
    switch (*p) {
      case 'D':
        if (dated && DATE_make_label(&st.label_date, text) == 0) out += text;
        break;
      case 'V':
        if (dated && DATE_make_label_valid_time(st.fhour, &st.label_date, text) == 0) out += text;
        break;
      case 'W':
        if (dated) out += valid_day();
        break;
      case 'y':
        if (dated) out += two_digits(DATE_full_year(st.label_date.year) % 100);
        break;
      case 'm':
        out += two_digits(st.label_date.month);
        break;
      case 'b':
        out += DATE_month(st.label_date.month);
        break;
      case 'd':
        out += two_digits(st.label_date.day);
        break;
      case 'h':
        out += two_digits(st.label_date.hour);
        break;
      case 'n':
        out += two_digits(st.label_date.minute);
        break;
      case 'f':
        out += fhour_text(false);
        break;
      case 'F':
        out += fhour_text(st.label_date.hour == MISSING_INT);
        break;
      case '%':
        out += '%';
        break;
      default:
        break;
    }
  }
  return out;
}

int PLT_apply_label_resource() {
  const char* value = RES_get("label");
  if (value == nullptr || *value == '\0') return 0;
  const bool report = st.reported_resource != value;
  st.reported_resource = value;
  int count = 0;
  char** items = nullptr;
  RES_getvals("label", &count, &items);
  int stored = 0;
  for (int i = 0; i < count; ++i) {
    if (items[i] == nullptr || *items[i] == '\0') continue;
    const std::string problem = apply_item(items[i]);
    if (problem.empty())
      ++stored;
    else if (report)
      MESS_print(MESS_WARN, "PLT_labels: Label not used: %s: %s\n", items[i], problem.c_str());
  }
  if (items != nullptr) free_parsed_array(count, items);
  return stored;
}

// ---- what shares the page with the labels ----

void PLT_set_full_lab(int flag) { st.full_lab = flag; }
int PLT_get_full_lab() { return st.full_lab; }
void PLT_border(int flag) { st.border = flag; }
int PLT_get_border() { return st.border; }
void PLT_set_bar(int flag) { st.bar = flag; }
int PLT_bar() {
  if (st.bar) return 0;
  st.bar = 1;
  return 1;
}
int PLT_get_bar() { return st.bar; }
void PLT_set_vect_key(int flag) { st.vect_key = flag; }
int PLT_get_vect_key() { return st.vect_key; }

// ---- drawing ----

PltLabelLayout PLT_label_layout(const float view[4], const float area[4]) {
  PltLabelLayout l;
  const float page = area[3] - area[2];
  const float band = st.full_lab ? 0.06F * page : area[3] - view[3];
  if (!(band >= 0.005F) || !(page > 0.0F)) return l;
  l.lines = (PLT_get_label_type() < 0 || st.num_over < 1) ? 1 : std::min(st.num_over, overlays);
  l.line = std::min(band / static_cast<float>(l.lines), 0.03F * page);
  l.chars = 0.75F * l.line;
  // Outside the view the lines keep 0.2 of a line from its edge; inside it (full_lab)
  // they keep the same distance from the edge on the inner side. Line 0 is the top line
  // of the upper labels and the first line below the view of the lower ones.
  for (int k = 0; k < l.lines; ++k) {
    const float from_top = 0.2F + static_cast<float>(l.lines - 1 - k);
    const float below = 0.95F + static_cast<float>(k);
    l.upper_base[k] = st.full_lab ? view[3] - below * l.line : view[3] + from_top * l.line;
    l.lower_base[k] = st.full_lab ? view[2] + from_top * l.line : view[2] - below * l.line;
  }
  return l;
}

void PLT_labels() {
  PLT_apply_label_resource();
  if (!gchk_graphics()) return;
  const AttribRec& attr = text_attrib();
  gmessage(0, "Labels");
  GPH_trans(1);
  float view[4], area[4];
  GPH_get_view(2, view);
  GPH_get_view_size(area);
  // A colour of -1 (the background, "none") hides the labels and the border.
  const bool visible = attr.color != -1;
  if (visible && st.border && FLAG_getplot(DRAW_BORD) > 0) {
    AttribRec line;
    ATTRIB_init(&line);
    line.color = attr.color;
    GPH_line_attr(nullptr);
    GPH_line_attr(&line);
    GPH_border(view);
  }
  const PltLabelLayout layout = PLT_label_layout(view, area);
  if (layout.line > 0.0F && visible && FLAG_getplot(DRAW_TEXT) > 0) {
    GPH_text_attr(nullptr, 1.0F);
    GPH_text_attr(&attr, layout.chars);
    const float height = gget_char_ht();
    const auto text = [](int position, int n, bool allowed) {
      return allowed && FLAG_getplot(DRAW_TEXT_UL + position) > 0 ? st.labels[position][n] : std::string();
    };
    for (int n = st.over_base; n < layout.lines; ++n) {
      draw_line(view, layout.upper_base[n], height, text(0, n, true), text(1, n, true), text(2, n, true));
      draw_line(view, layout.lower_base[n], height, text(3, n, !st.bar), text(4, n, !st.bar), text(5, n, !st.vect_key));
    }
    gset_char_ht(height);
    GPH_text_align(0, 0);
  }
  GPH_trans(2);
}

void PLT_reset_label_state() { st = LablState{}; }
