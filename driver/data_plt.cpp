// Data-plot framework, plotting half. The order of the layers of a frame and the way
// variables are consumed (vector pairs, runs of station variables plotted together,
// panels) are settled here; contours, vectors, station values and map outlines are drawn
// by their own layers through their entry points.
#include "driver/data_plt.h"
#include <cstring>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "driver/plt_labl.h"
#include "driver/plt_tool.h"
#include "files/date.h"
#include "files/files.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/vect_plt.h"
#include "surface/cty_tool.h"
#include "surface/raw_plt.h"
#include "surface/raw_tool.h"
#include "surface/var_tool.h"

namespace {

// How the data are plotted (panel, map mode, fill, bars, attributes) and what the
// current sequence of frames has begun.
struct DataPlotState {
  int panel = 0;
  int vfunc = 0;
  int plt_site = 0;
  int plt_dist = 0;
  int map = 0;
  int fill = 0;
  int frames_started = 0;
  int bar = 0;
  int vbar = 0;
  AttribRec data_attr{};
  AttribRec wind_attr{};
  AttribRec cld_attr{};
  AttribRec wx_attr{};
  float scale = 1.0F;
  // The variable whose vectors DATA_plot_vect draws (it may start at the next variable).
  int vect_owner = -1;
};
DataPlotState st;

constexpr float km_per_nautical_mile = 1.852F;
// Circles round the stations are drawn from this radius (nautical miles) up.
constexpr int min_circle = 10;

bool is_vect_type(int t) { return t >= PLOT_WIND && t <= PLOT_STRM; }
int num_vars() { return std::min(VAR_get_num(), VAR_MAX); }

// The attributes of a station variable of plot type t.
const AttribRec* attrib_for(int t) {
  if (t >= PLOT_WBARB && t <= PLOT_VBARB) return &st.wind_attr;
  if (t == PLOT_CLOUD) return &st.cld_attr;
  if (t == PLOT_SYMB) return &st.wx_attr;
  return &st.data_attr;
}

// The resource's attributes over the default; a default colour the colour table does not
// name is left out (the device's first colour draws) rather than reported on every plot.
void attrib_get(const char* resource, const char* def, AttribRec* attrib) {
  ATTRIB_init(attrib);
  ATTRIB_get(resource, CLR_get_ind(def) >= 0 ? def : "", attrib);
}

void label_grid(int i, bool vect) {
  if (!VAR_is_LABEL(i)) return;
  if (vect || PLT_get_label_type() < 0)
    PLT_label_up_left(VAR_make_var_form_datatype(i).c_str());
  else
    PLT_label_up_left(GRD_get_grid_info(i));
  PLT_next_overlay();
}

// A circle of radius_km round a point of the plane: 49 points at bearings 0, 7.5, ...,
// 360 degrees.
void circle(float x, float y, float radius_km) {
  float pts[2 * 49];
  int n = 0;
  for (int k = 0; k <= 48; ++k) {
    float px = MISSING, py = MISSING;
    if (!MAP_offset(&px, &py, x, y, 7.5F * static_cast<float>(k), radius_km) || px == MISSING) continue;
    pts[2 * n] = px;
    pts[2 * n + 1] = py;
    ++n;
  }
  if (n >= 2) gpolyline(n, pts);
}

// The size of a station's data block (set where the station table is loaded).
constexpr std::size_t kQueryTextSize = 120;

// A run's values join those of the runs before it in the frame.
void add_query_text(char* block, const std::string& texts) {
  if (texts.empty()) return;
  const std::string had(block, strnlen(block, kQueryTextSize));
  copy_bounded(block, kQueryTextSize, had.empty() ? texts : had + " " + texts);
}

// The values of the run at the current report as the value query shows them
// ("temp=38 dewp=21"), into a station's data block.
void query_text(int first, int last, DataDesc* desc, RawDataRec* rec, char* block) {
  std::string texts;
  for (int k = first; k <= last; ++k) {
    if (!VAR_is_type_PLOT(k)) continue;
    RAW_data_init_val(rec);
    rec->kind = VAR_get_type(k);
    if (desc->get_data != nullptr) desc->get_data(desc->report, VAR_get_var(k), rec);
    copy_bounded(rec->format, sizeof rec->format, VAR_get_format(k));
    RAW_set_var_string(rec, VAR_get_name(k));
    texts += (texts.empty() ? "" : " ") + std::string(RAW_get_var_string());
  }
  add_query_text(block, texts);
}

// Draws the stations of one run of station variables, first to last.
void plot_stations(int first, int last, DataDesc* desc, bool raw) {
  const AttribRec* attrib = attrib_for(VAR_get_type(first));
  RAW_plot_init(attrib, st.scale);
  RAW_set_halo(st.fill);
  MAP_plot_grid_init();
  RAW_footprint_begin();
  for (int k = first; k <= last; ++k)
    if (VAR_is_type_PLOT(k)) RAW_footprint_add(VAR_get_format(k), VAR_get_type(k));
  gset_fill_print_solid(1);
  if (desc->rewind != nullptr) desc->rewind(desc);
  StationRec station{};
  RawDataRec rec{};
  for (int r; (r = desc->read_report(desc->report, &station)) >= 0;) {
    if (r == 0) continue;
    RAW_data_init(&rec);
    // The station's data block keeps its values as text for the value query, also for a
    // station the map has no room for.
    auto* block = static_cast<char*>(CTY_get_data(station.id));
    // The overlap grid keeps one station of each place on the map; nor may one station's
    // values cover another's. A station whose model the frame would cut keeps its values
    // in the raw file but is not drawn.
    const bool place = MAP_plot_grid(station.x, station.y) != 0;
    const bool draw = place && RAW_plot_inside(station.x, station.y) != 0;
    if (!place || (draw && !RAW_plot_room(station.x, station.y))) {
      if (block != nullptr) query_text(first, last, desc, &rec, block);
      continue;
    }
    rec.x = station.x;
    rec.y = station.y;
    std::string texts;
    const std::string id(station.id, strnlen(station.id, sizeof station.id));
    if (raw) RAW_save_station(&station);
    if (draw && st.plt_dist >= min_circle) {
      GPH_line_attr(nullptr);
      GPH_line_attr(&st.data_attr);
      circle(station.x, station.y, static_cast<float>(st.plt_dist) * km_per_nautical_mile);
    }
    if (draw && st.plt_site) {
      AttribRec plus;
      ATTRIB_init(&plus);
      plus.color = st.data_attr.color;
      plus.style = 2;
      plus.size = 4.0F;
      GPH_mark_attr(&plus, 1.0F);
      GPH_mark(station.x, station.y);
    }
    RAW_station_begin();
    for (int k = first; k <= last; ++k) {
      if (!VAR_is_type_PLOT(k)) continue;
      // A run's later variables keep the attributes of the one before when they share
      // its type.
      if (k == first || VAR_get_type(k) != VAR_get_type(k - 1)) attrib = attrib_for(VAR_get_type(k));
      RAW_data_init_val(&rec);
      rec.attrib = *attrib;
      VarRec* var = VAR_get_var(k);
      rec.kind = VAR_get_type(k);
      if (desc->get_data != nullptr) desc->get_data(desc->report, var, &rec);
      copy_bounded(rec.format, sizeof rec.format, VAR_get_format(k));
      if (raw) RAW_save_data(&rec);
      RAW_set_var_string(&rec, VAR_get_name(k));
      texts += (texts.empty() ? "" : " ") + std::string(RAW_get_var_string());
      if (!draw) continue;
      // The cross goes under the value, which stays readable: the forecaster sees what was
      // left out of the analysis.
      if (RAW_rejected(VAR_get_name(k), id.c_str())) RAW_plot_reject(station.x, station.y);
      RAW_plot_data(&rec);
    }
    RAW_station_end();
    if (block != nullptr) add_query_text(block, texts);
    if (raw) RAW_save_end();
  }
  gset_fill_print_solid(0);
}

// The raw file's header: the date and a field of each station variable of the run.
void raw_header(int first, int last, const DataDesc* desc) {
  char label[DATE_LABEL_LEN];
  DATE_make_label(&desc->date, label);
  std::vector<std::string> names, units, descriptions;
  for (int k = first; k <= last; ++k) {
    if (!VAR_is_type_PLOT(k)) continue;
    names.emplace_back(VAR_get_name(k));
    units.emplace_back(VAR_get_units(k));
    descriptions.emplace_back(VAR_print_type(VAR_get_type(k)));
  }
  std::vector<const char*> n, u, d;
  for (std::size_t k = 0; k < names.size(); ++k) {
    n.push_back(names[k].c_str());
    u.push_back(units[k].c_str());
    d.push_back(descriptions[k].c_str());
  }
  RAW_putinfo(label, "Surface station values", static_cast<int>(n.size()), n.data(), u.data(), d.data());
}

}  // namespace

void DATA_plot_init() {
  // Station-value files in the map list are drawn by the station plots.
  MAP_set_overlay_func("rf", RAW_overlay_file);
  const int t = FLAG_get(FLAG_PLOT_TYPE);
  st.fill = (t == PLOT_FCONT || t == PLOT_BCONT || t == PLOT_FILL) ? 1 : 0;
  st.frames_started = 0;
  st.map = 0;
  bool any_panel = false;
  for (int i = 0; i < num_vars(); ++i) {
    if (VAR_is_type_MAP(i)) st.map = 1;
    if (VAR_is_PANEL(i)) any_panel = true;
  }
  if (st.map == 0 && any_panel) st.map = -1;
  // Station symbols drawn in white on a dark screen are drawn in black on a light one.
  const bool light = gget_inverse() != 0;
  // Black station values on white paper: green does not read there.
  attrib_get("color_data", light ? "black" : "green", &st.data_attr);
  attrib_get("color_wind", light ? "black" : "white", &st.wind_attr);
  attrib_get("color_cloud", light ? "black" : "white", &st.cld_attr);
  attrib_get("color_wx", light ? "brown" : "yellow", &st.wx_attr);
  st.scale = 1.0F;
  const char* text = RES_get("plot_scale");
  float s = 0.0F;
  if (text != nullptr && *text != '\0') {
    if (parse_float(text, &s) && s > 0.0F && s <= 100.0F)
      st.scale = s;
    else
      MESS_print(MESS_WARN, "DATA_plot_init: Invalid plot scale: %s (a number above 0, at most 100)\n", text);
  }
}

void DATA_new_frame() {
  PLT_set_overlay(0);
  PLT_set_bar(0);
  PLT_set_vect_key(0);
  st.bar = 0;
  st.vbar = 0;
}

void DATA_map_underlay() { MAP_draw(st.map != 1 && st.fill == 0 ? 5 : 1); }

void DATA_map_overlay() {
  if (st.map != 1 && st.fill == 1) {
    MAP_fill_cont(1);
    MAP_draw(6);
  } else {
    MAP_draw(2);
  }
}

namespace {

// Whether the frame about to be drawn fills: the map under the data is drawn before any
// contour setup runs, and a map drawn under a fill and again over it is not the picture the
// later frames show. A type the prompt has still to ask keeps the last frame's answer.
void predict_fill(int frame) {
  bool undecided = false;
  int fills = 0;
  for (int i = 0; i < num_vars(); ++i) {
    const bool contoured = VAR_is_type_CONT(i) && !is_vect_type(VAR_get_type(i)) &&
                           (VAR_is_plot_GRID(i) || VAR_is_plot_FUNC(i));
    if (!contoured) continue;
    const int t = CONT_frame_type(frame, i);
    if (t == PLOT_FCONT || t == PLOT_BCONT) fills = 1;
    if (t == MISSING_INT) undecided = true;
  }
  if (fills != 0 || !undecided) st.fill = std::max(fills, FLAG_get(FLAG_PLOT_TYPE) == PLOT_FILL ? 1 : 0);
}

}  // namespace

void DATA_plot_start() {
  GPH_trans(2);
  predict_fill(st.frames_started++);
  DATA_new_frame();
  // The stations' values for the value query are this frame's.
  CTY_clear_data(1);
  // The frame's labels find room among each other; contour labels wait for the map.
  gtext_room_clear();
  CONT_defer_labels(1);
  // A frame that begins with a panel draws its map in that panel, not across the page.
  if (!(num_vars() > 0 && VAR_is_PANEL(0))) DATA_map_underlay();
  st.panel = 0;
}

void DATA_plot_begin() {
  DATA_new_frame();
  DATA_map_underlay();
}

void DATA_plot_end() {
  DATA_map_overlay();
  CONT_flush_labels();
  PLT_labels();
}

int DATA_plot_map(int i) {
  if (i < 0 || i >= num_vars()) return -1;
  if (!VAR_is_type_MAP(i)) return 0;
  MAP_set_format(VAR_get_format(i));
  MAP_draw(4);
  return 1;
}

int DATA_plot_panel(const char* format, const DomainRec* domain) {
  if (st.panel > 0) DATA_plot_end();
  PLT_panel_decode(format);
  PLT_panel(0.0F);
  if (domain != nullptr) MAP_setup(domain);
  DATA_plot_begin();
  return ++st.panel;
}

int DATA_plot_control(int i, const DomainRec* domain) {
  if (i < 0 || i >= num_vars() || !VAR_is_PANEL(i)) return 0;
  MESS_print(MESS_MESS, "New panel: %s\n", VAR_get_format(i));
  return DATA_plot_panel(VAR_get_format(i), domain);
}

int DATA_plot_cont(int i, DataDesc* desc) {
  if (desc == nullptr) return i;
  PLT_label_date(&desc->date);
  PLT_label_for_time(VAR_get_time(i));
  GridRec* grid = GRD_get_grid(i);
  CONT_plot_setup(desc->frame, i, grid, &desc->plot_domain, desc->callback);
  // A style chosen in the format joins the overlays' labels from here on; an overlay that
  // already counts its way from -1 keeps counting.
  if (CONT_get_label_style() < 0 && PLT_get_label_type() >= 0) PLT_set_label_type(CONT_get_label_style());
  void (*const place[6])(const char*) = {PLT_label_up_left, PLT_label_up_center, PLT_label_up_right,
                                         PLT_label_low_left, PLT_label_low_center, PLT_label_low_right};
  // The framework names the variable and its time above the map; the contour layer adds its
  // levels and range below it when it draws.
  for (int p = 3; p < 6 && FLAG_getplot(DRAW_DATA) != 0; ++p)
    if (*CONT_get_frame_label(p) != '\0') place[p](CONT_get_frame_label(p));
  const int t = CONT_get_type();
  if (t == PLOT_FCONT || t == PLOT_BCONT || t == PLOT_FILL) st.fill = 1;
  CONT_draw(grid);
  return i;
}

int DATA_plot_vect(int i, char* units, const char* format, DataDesc* desc) {
  if (desc == nullptr) return i;
  PLT_label_date(&desc->date);
  PLT_label_for_time(VAR_get_time(i));
  VECT_set_format(VAR_get_type(st.vect_owner >= 0 ? st.vect_owner : i), format);
  // Station winds analysed as components along the map's axes must be turned back before
  // the map turns them again.
  const char* first = VAR_get_name(i);
  VECT_set_uvgrid(first != nullptr && (std::strcmp(first, "uwndg") == 0 || std::strcmp(first, "vwndg") == 0));
  GridRec* grids[3] = {nullptr, nullptr, nullptr};
  // With both components found the search ends on the second; otherwise it ends one past
  // the last variable it looked at.
  const int stop = GRD_find_param_grids(i, 2, st.vfunc, grids, nullptr);
  const int last = grids[1] != nullptr ? stop : stop - 1;
  if (units != nullptr && grids[0] != nullptr) {
    if (*units != '\0') {
      for (GridRec* g : {grids[0], grids[1]})
        if (g != nullptr && g->values != nullptr) GRD_units(g, units);
    } else {
      copy_bounded(units, sizeof(VarRec::units), grids[0]->units);
    }
  }
  VECT_plot_setup(desc->frame, i, grids[0], grids[1], &desc->plot_domain, desc->callback);
  // The vector layer's strongest wind and speed interval go below the map.
  void (*const place[3])(const char*) = {PLT_label_low_left, PLT_label_low_center, PLT_label_low_right};
  for (int p = 3; p < 6 && FLAG_getplot(DRAW_DATA) != 0; ++p)
    if (*VECT_get_frame_label(p) != '\0') place[p - 3](VECT_get_frame_label(p));
  VECT_draw(grids[0], grids[1]);
  return last;
}

int DATA_plot_bar() {
  if (st.bar || CONT_get_bar() < 1) return -1;
  st.bar = 1;
  GPH_trans(1);
  float view[4], size[4];
  PLT_get_view(view);
  GPH_get_view_size(size);
  CONT_set_bar_view(view, size[2], PLT_get_full_lab());
  const int drawn = CONT_draw_bar(1, "");
  GPH_trans(2);
  if (drawn < 0) return -1;
  PLT_set_bar(1);
  return 0;
}

int DATA_plot_vect_bar() {
  if (st.vbar || VECT_get_vect() < 1) return -1;
  st.vbar = 1;
  GPH_trans(1);
  const int drawn = VECT_draw_vect();
  GPH_trans(2);
  if (drawn < 0) return -1;
  PLT_set_vect_key(1);
  return 0;
}

int DATA_plot_grid(int i, DataDesc* desc) {
  if (i < 0 || i >= num_vars()) return i;
  const int type = VAR_get_type(i);
  int last = i;
  bool vect = false;
  st.vect_owner = i;
  if (VAR_is_plot_VECT(i) && is_vect_type(type)) {
    last = DATA_plot_vect(i + 1, VAR_get_var(i)->units, VAR_get_format(i), desc);
    vect = true;
  } else if (VAR_is_plot_FUNC_VECT(i)) {
    last = DATA_plot_vect(i, nullptr, nullptr, desc);
    vect = true;
  } else if (VAR_is_plot_FUNC(i) && is_vect_type(type)) {
    if (GRD_is_plot_func(VAR_get_name(i))) {
      st.vfunc = 1;
      last = DATA_plot_vect(i + 1, VAR_get_var(i)->units, VAR_get_format(i), desc);
      st.vfunc = 0;
    } else {
      last = DATA_plot_vect(i, nullptr, nullptr, desc);
    }
    vect = true;
  } else if (VAR_is_plot_FUNC(i) && VAR_is_type_CONT(i)) {
    // A derived field; its arguments were only computed for it.
    last = DATA_plot_cont(i, desc);
  } else if (VAR_is_plot_GRID(i)) {
    if (is_vect_type(type)) {
      last = DATA_plot_vect(i, VAR_get_var(i)->units, VAR_get_format(i), desc);
      vect = true;
    } else if (VAR_is_type_CONT(i)) {
      last = DATA_plot_cont(i, desc);
    }
  } else {
    st.vect_owner = -1;
    return i;
  }
  st.vect_owner = -1;
  DATA_plot_bar();
  if (vect) DATA_plot_vect_bar();
  label_grid(i, vect);
  last = std::clamp(last, i, num_vars() - 1);
  MESS_print(MESS_DEBUG & MESS_C, "GRID--BEG: %d END: %d\n", i, last);
  return last;
}

void DATA_plot_raw_label(int first, int last, DataDesc* desc) {
  for (int k = std::max(first, 0); k <= last && k < num_vars(); ++k) {
    // A station model is a group of station variables: the group names the plot.
    if ((!VAR_is_type_PLOT(k) && !VAR_is_COMP(k)) || !VAR_is_LABEL(k)) continue;
    if (desc != nullptr && desc->get_var != nullptr) desc->get_var(VAR_get_var(k));
    // A group is named by its entry in the variable file ("Station model").
    const std::string group = VAR_is_COMP(k) ? VAR_get_description(k) : std::string();
    PLT_label_up_left(!group.empty() ? group.c_str() : VAR_make_var_datatype(k).c_str());
    if (desc != nullptr) {
      PLT_label_date(&desc->date);
      char label[DATE_LABEL_LEN] = "";
      DATE_make_label_for_time(VAR_get_time(k), desc->model, &desc->date, label);
      PLT_label_for_time(VAR_get_time(k));
      PLT_label_up_right(label);
    }
    PLT_next_overlay();
  }
}

int DATA_plot_raw(int i, DataDesc* desc) {
  const int n = num_vars();
  if (i >= 0 && i < n && VAR_is_COMP(i)) {
    DATA_plot_raw_label(i, i, desc);
    return i;
  }
  if (i < 0 || i >= n || !VAR_is_type_PLOT(i)) return i;
  if (desc != nullptr && desc->plot_data != nullptr && desc->plot_data(i, desc)) return i;
  int last = i;
  if (!VAR_is_REG(i))
    while (last + 1 < n && !VAR_is_REG(last + 1)) ++last;
  MESS_print(MESS_DEBUG & MESS_C, "PLOT--BEG: %d END: %d\n", i, last);
  if (desc == nullptr || desc->read_report == nullptr) return last;
  bool raw = false;
  if (desc->raw_out != nullptr) {
    // The selection changes the active naming convention, which the file sequence needs.
    FILE_save_name_conv();
    const bool wanted = desc->raw_out() != 0;
    raw = wanted && RAW_date_open(&desc->date) != 0;
    FILE_restore_name_conv();
    if (wanted && !raw) return last;
    if (raw) raw_header(i, last, desc);
  }
  plot_stations(i, last, desc, raw);
  DATA_plot_raw_label(i, last, desc);
  DATA_plot_bar();
  if (raw) RAW_close_file();
  return last;
}

void DATA_set_site(int flag) { st.plt_site = flag; }
void DATA_set_dist(int radius) { st.plt_dist = radius; }

int DATA_get_map_mode() { return st.map; }
int DATA_get_fill() { return st.fill; }
int DATA_get_panel() { return st.panel; }
float DATA_get_scale() { return st.scale; }
const AttribRec* DATA_get_attrib(int type) { return attrib_for(type); }

void DATA_reset_plot_state() { st = DataPlotState{}; }
