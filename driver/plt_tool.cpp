// Plot manager. The workstation underneath draws nothing until the device drivers
// arrive: opening, frames, labels and dumps keep their state and order so that the plot
// loop and batch jobs run their full course (grids and raw files are written).
#include "driver/plt_tool.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"
#include "files/files.h"
#include "graphics/gks_tool.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "surface/var_tool.h"

namespace {

constexpr int positions = 6;
constexpr int overlays = 6;
// Joined labels (negative label type) stay within this length.
constexpr std::size_t joined_len = 60;

const int work_id = 1;
int wk_type = 0;
float view_offset = 0.06F;
std::array<float, 4> view_off{0.0F, 0.0F, 0.06F, 0.06F};
std::array<float, 4> dis_view = view_off;

std::array<std::array<std::string, overlays>, positions> labels;
std::array<std::size_t, positions> label_ind{};
int overlay = 0;
int num_over = 0;
int over_base = 0;
DateRec label_date{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
int fhour = MISSING_INT;
int full_lab = 0;
int border = 0;
int bar = 0;
int dump = 0;
std::string dump_file;

PltEventFunc event_func = nullptr;
PltDomainFunc zoom_func = nullptr;
PltDomainFunc resize_func = nullptr;
PltRefreshFunc refresh_func = nullptr;
int refresh_period = 0;
bool word_is(const char* item, const char* word) { return stricmp(item, word) == 0; }

// The value after a word and its one separator character ("over=2:3" -> "2:3").
const char* value_after(const char* item, const char* word) {
  const std::size_t n = std::strlen(word);
  return std::strlen(item) > n ? item + n + 1 : nullptr;
}

// An integer from a whole token, or fallback.
int to_int(const char* text, int fallback) {
  int v = 0;
  if (text == nullptr || !scan_int(text, &v) || v < -1000000000 || v > 1000000000) return fallback;
  return v;
}

void set_label(int position, const char* text) {
  if (text == nullptr || overlay < 0) return;
  const std::size_t len = std::strlen(text);
  if (len > static_cast<std::size_t>(PLT_LABEL_LEN)) return;
  if (VAR_get_label_type() < 0 && overlay >= 1) {
    std::string& base = labels[position][0];
    if (base.size() + 1 + len <= joined_len) base = base + " " + text;
    return;
  }
  labels[position][overlay] = text;
}

// Applies one dump word ("gif", "gif:name", "png:name"...); false when it is not one.
bool dump_word(const char* item) {
  static const struct {
    const char* word;
    int kind;
  } kinds[] = {{"gif", 2}, {"png", 4}, {"img", 3}, {"xwd", 1}};
  for (const auto& k : kinds) {
    const std::size_t n = std::strlen(k.word);
    if (strnicmp(item, k.word, n) != 0) continue;
    if (item[n] == '\0') {
      PLT_set_dump(k.kind, nullptr);
      return true;
    }
    if (item[n] == ':') {
      PLT_set_dump(k.kind, item[n + 1] != '\0' ? item + n + 1 : nullptr);
      return true;
    }
  }
  return false;
}

void apply_param(const char* item) {
  const char* v = nullptr;
  if (word_is(item, "full")) {
    PLT_set_view_offset(0.0F);
  } else if (word_is(item, "fullab")) {
    PLT_set_view_offset(0.0F);
    full_lab = 1;
  } else if (word_is(item, "nopage")) {
    MESS_set_page(0);
  } else if (word_is(item, "page")) {
    MESS_set_page(1);
  } else if (word_is(item, "id")) {
    CTY_set_id_type(0);
  } else if (word_is(item, "wmo")) {
    CTY_set_id_type(1);
  } else if (word_is(item, "cod_wmo")) {
    CTY_set_id_type(2);
  } else if (starts_with_ci(item, "tz") && std::strlen(item) > 2) {
    DATE_set_TZ(item + 3);
  } else if (starts_with_ci(item, "over") && (v = value_after(item, "over")) != nullptr) {
    int b = 0, n = 0;
    const int got = std::sscanf(v, "%d:%d", &b, &n);
    if (got >= 1) PLT_set_overlay_base(b);
    if (got >= 2) PLT_set_num_overlay(n);
  } else if (starts_with_ci(item, "gridx")) {
    GRD_set_grid_factor(to_int(item + 5, 0));
  } else if (starts_with_ci(item, "plt_grid")) {
    v = value_after(item, "plt_grid");
    MAP_set_plot_limit(v != nullptr ? to_int(v, 1) : 1);
  } else if (starts_with_ci(item, "loc_pr") && (v = value_after(item, "loc_pr")) != nullptr) {
    DOM_set_loc_prior(to_int(v, 0));
  } else if (starts_with_ci(item, "vp_size") && (v = value_after(item, "vp_size")) != nullptr) {
    PLT_panel_decode(v);
  } else if (starts_with_ci(item, "min_size") && (v = value_after(item, "min_size")) != nullptr) {
    const int n = to_int(v, -1);
    if (n >= 0) FILE_set_min_size(n);
  } else if (starts_with_ci(item, "grdfmt") && (v = value_after(item, "grdfmt")) != nullptr) {
    GRD_set_format(v);
  } else if (!starts_with_ci(item, "gif_")) {
    dump_word(item);
  }
  // The remaining words tune the drawing layers, which read them themselves.
}

}  // namespace

void PLT_for_each_value(const char* resource, const std::function<void(const char*)>& f) {
  int count = 0;
  char** items = nullptr;
  RES_getvals(resource, &count, &items);
  for (int i = 0; i < count; ++i)
    if (items[i] != nullptr && *items[i] != '\0') f(items[i]);
  if (items != nullptr) free_parsed_array(count, items);
}

// ---- workstation ----

int PLT_is_off() { return (FLAG_getplot(DRAW_ALL) == 0 || FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) ? 1 : 0; }

int PLT_get_work_type() { return wk_type; }

void PLT_param_decode() {
  PLT_for_each_value("plot_param", apply_param);
  PLT_for_each_value("out_file", [](const char* o) {
    const bool gif = strnicmp(o, "gif", 3) == 0, png = strnicmp(o, "png", 3) == 0;
    if (gif || png) PLT_set_dump(gif ? 2 : 4, std::strlen(o) > 4 ? o + 4 : nullptr);
  });
}

int PLT_open(float aspect) {
  PLT_param_decode();
  dis_view = view_off;
  if (PLT_is_off()) return -1;
  GPH_setup(work_id, wk_type, dis_view.data(), aspect);
  wk_type = FLAG_get(FLAG_DEVICE);
  return 0;
}

int PLT_reset(float aspect) {
  dis_view = view_off;
  const int lab_type = VAR_get_label_type();
  if (lab_type < 0) VAR_set_label_type(-1);
  if (lab_type > 0) VAR_set_label_type(1);
  if (PLT_is_off()) return -1;
  return GPH_reset(work_id, wk_type, dis_view.data(), aspect);
}

int PLT_close() {
  // Detaching into the background keeps a window up after a batch command returns;
  // without a window there is nothing to keep, so batch jobs end in the foreground.
  if (FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) return -1;
  if (!gchk_graphics()) {
    PLT_init_labels();
    return -1;
  }
  GPH_trans(2);
  if (dump == 0) GPH_hold(wk_type);
  GPH_end(work_id);
  PLT_init_labels();
  return 0;
}

void PLT_exit(int status) {
  if (gchk_graphics()) GPH_end(work_id);
  ZAV_exit(status);
}

// ---- panels and view ----

int PLT_panel_decode(const char* text) {
  if (text == nullptr) return 0;
  float w = 1.0F, h = 1.0F, x = 0.0F, y = 0.0F;
  const int got = std::sscanf(text, "%fx%f+%f+%f", &w, &h, &x, &y);
  if (w > 1.0F) {
    const float cols = std::clamp(w, 1.0F, 8.0F), rows = std::clamp(h, 1.0F, 8.0F);
    w = 1.0F / cols;
    h = 1.0F / rows;
    x = x / cols;
    y = 1.0F - (y + 1.0F) / rows;
  }
  if (got != 4) return 0;
  GPH_set_view_size(w, h, x, y);
  return 1;
}

int PLT_panel(float aspect) {
  dis_view = view_off;
  return GPH_panel(work_id, wk_type, dis_view.data(), aspect);
}

void PLT_set_view_offset(float v) {
  view_offset = v;
  view_off = {0.0F, 0.0F, v, v};
}

void PLT_set_view_offsets(float left, float bottom, float right, float top) { view_off = {left, right, bottom, top}; }
float PLT_get_view_offset() { return view_offset; }
void PLT_get_view_offsets(float view[4]) {
  for (int i = 0; i < 4; ++i) view[i] = view_off[i];
}
void PLT_get_view(float view[4]) {
  for (int i = 0; i < 4; ++i) view[i] = dis_view[i];
}
void PLT_border(int flag) { border = flag; }
void PLT_set_bar(int flag) { bar = flag; }
int PLT_bar() {
  if (bar) return 0;
  bar = 1;
  return 1;
}

// ---- labels ----

void PLT_label_up_left(const char* text) { set_label(0, text); }
void PLT_label_up_center(const char* text) { set_label(1, text); }
void PLT_label_up_right(const char* text) { set_label(2, text); }
void PLT_label_low_left(const char* text) { set_label(3, text); }
void PLT_label_low_center(const char* text) { set_label(4, text); }
void PLT_label_low_right(const char* text) { set_label(5, text); }

const char* PLT_get_label_up_right() { return PLT_get_label(2, overlay); }

const char* PLT_get_label(int position, int n) {
  if (position < 0 || position >= positions || n < 0 || n >= overlays) return "";
  return labels[position][n].c_str();
}

void PLT_label_date(const DateRec* date) {
  if (date != nullptr) label_date = *date;
}
void PLT_label_for_time(int time) { fhour = time; }

int PLT_next_overlay() {
  if (overlay + 1 >= overlays) return -1;
  ++overlay;
  const int lab_type = VAR_get_label_type();
  if (lab_type > 0) VAR_set_label_type(lab_type + 1);
  if (lab_type < 0) VAR_set_label_type(lab_type - 1);
  for (int p = 0; p < positions; ++p) label_ind[p] = labels[p][0].size();
  num_over = std::max(num_over, overlay);
  return overlay;
}

void PLT_set_overlay(int n) {
  overlay = std::min(n, overlays - 1);
  num_over = std::max(num_over, overlay);
}
int PLT_get_overlay() { return overlay; }
void PLT_set_overlay_base(int n) {
  over_base = std::min(n, overlays - 1);
  num_over = std::max(num_over, over_base);
}
void PLT_set_num_overlay(int n) { num_over = n < 0 ? -n : std::max(num_over, n); }
int PLT_get_num_overlay() { return num_over; }
// The label style is kept by the variable module, whose labels follow it.
void PLT_set_label_type(int type) { VAR_set_label_type(type); }
int PLT_get_label_type() { return VAR_get_label_type(); }

void PLT_init_labels() {
  for (auto& row : labels)
    for (auto& l : row) l.clear();
  label_ind.fill(0);
  overlay = 0;
  num_over = 0;
  over_base = 0;
  bar = 0;
}

void PLT_labels() {
  // Label text is drawn with the stroke fonts; until they arrive the labels of the frame
  // stay in the table for the next frame to replace.
}

// ---- callbacks and events ----

void PLT_set_callback(PltEventFunc f) { event_func = f; }
void PLT_set_zoom_func(PltDomainFunc f) { zoom_func = f; }
void PLT_set_resize_func(PltDomainFunc f) { resize_func = f; }
void PLT_set_refresh_func(int seconds, PltRefreshFunc f) {
  refresh_period = seconds;
  refresh_func = f;
}
int PLT_get_refresh_period() { return refresh_period; }

// Mouse and key events come from the window device only.
int PLT_print_values(const char*, float, float) { return 0; }
int PLT_print_location(const char*, float, float) { return 0; }
int PLT_plot_zoom(const char*, float, float) { return 0; }

int PLT_plot_resize(const char* event) {
  if (event == nullptr || std::strcmp(event, "size") != 0 || resize_func == nullptr) return 0;
  DomainRec domain;
  MAP_get_domain(&domain);
  resize_func(&domain);
  return 1;
}

void PLT_plot_refresh() {
  if (refresh_func != nullptr) refresh_func();
}

// ---- image dumps ----

void PLT_set_dump(int kind, const char* name) {
  dump = kind;
  if (name != nullptr && *name != '\0')
    dump_file = name;
  else
    dump_file = kind == 2 ? "zav.gif" : kind == 4 ? "zav.png" : "zav.xwd";
}

int PLT_get_dump() { return dump; }

int PLT_dump(int) {
  // Frame pictures exist only with the window device; nothing to write yet.
  return 0;
}
