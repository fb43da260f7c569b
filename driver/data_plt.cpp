// Data-plot framework, plotting half. The order of the layers and the way variables are
// consumed (vector pairs, runs of station variables plotted together, panels) are settled
// here; contours, vectors, station values and map outlines are drawn by their own layers,
// which arrive with the graphics: until then those steps set labels only.
#include "driver/data_plt.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/string.h"
#include "driver/plt_tool.h"
#include "files/files.h"
#include "graphics/colors.h"
#include "graphics/gks_tool.h"
#include "plot/map.h"
#include "surface/var_tool.h"

namespace {

int panel = 0;
int vfunc = 0;
int plt_site = 0;
int plt_dist = 0;
int map = 0;
int fill = 0;
int bar = 0;
int vbar = 0;
AttribRec data_attr{};
AttribRec wind_attr{};
AttribRec cld_attr{};
AttribRec wx_attr{};
float scale = 1.0F;
bool raw_warned = false;

bool is_vect_type(int t) { return t >= PLOT_WIND && t <= PLOT_STRM; }
int num_vars() { return std::min(VAR_get_num(), VAR_MAX); }

void label_grid(int i, bool vect) {
  if (!VAR_is_LABEL(i)) return;
  if (vect || PLT_get_label_type() < 0)
    PLT_label_up_left(VAR_make_var_form_datatype(i).c_str());
  else
    PLT_label_up_left(GRD_get_grid_info(i));
  PLT_next_overlay();
}

}  // namespace

void DATA_plot_init() {
  const int t = FLAG_get(FLAG_PLOT_TYPE);
  fill = (t == PLOT_FCONT || t == PLOT_BCONT || t == PLOT_FILL) ? 1 : 0;
  map = 0;
  bool any_panel = false;
  for (int i = 0; i < num_vars(); ++i) {
    if (VAR_is_type_MAP(i)) map = 1;
    if (VAR_is_PANEL(i)) any_panel = true;
  }
  if (map == 0 && any_panel) map = -1;
  // Colours from the colour resources are resolved by the attribute layer with the
  // graphics; the records start unset.
  for (AttribRec* a : {&data_attr, &wind_attr, &cld_attr, &wx_attr}) ATTRIB_init(a);
  scale = 1.0F;
  float s = 0.0F;
  const char* text = RES_get("plot_scale");
  if (text != nullptr && *text != '\0' && RES_getval("plot_scale", &s, 5) > 0 && s > 0.0F) scale = s;
}

void DATA_new_frame() {
  PLT_set_overlay(0);
  PLT_set_bar(0);
  bar = 0;
  vbar = 0;
}

void DATA_map_underlay() { MAP_draw(map != 1 && fill == 0 ? 5 : 1); }

void DATA_map_overlay() {
  if (map != 1 && fill == 1) {
    MAP_fill_cont(1);
    MAP_draw(6);
  } else {
    MAP_draw(2);
  }
}

void DATA_plot_start() {
  GPH_trans(2);
  DATA_new_frame();
  DATA_map_underlay();
  panel = 0;
}

void DATA_plot_begin() {
  DATA_new_frame();
  DATA_map_underlay();
}

void DATA_plot_end() {
  DATA_map_overlay();
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
  if (panel > 0) DATA_plot_end();
  PLT_panel_decode(format);
  PLT_panel(0.0F);
  if (domain != nullptr) MAP_setup(domain);
  DATA_plot_begin();
  return ++panel;
}

int DATA_plot_control(int i, const DomainRec* domain) {
  if (i < 0 || i >= num_vars() || !VAR_is_PANEL(i)) return 0;
  MESS_print(MESS_MESS, "New panel: %s\n", VAR_get_format(i));
  return DATA_plot_panel(VAR_get_format(i), domain);
}

int DATA_plot_cont(int i, DataDesc* desc) {
  if (desc != nullptr) PLT_label_date(&desc->date);
  PLT_label_for_time(VAR_get_time(i));
  return i;
}

int DATA_plot_vect(int i, char* units, const char*, DataDesc* desc) {
  if (desc != nullptr) PLT_label_date(&desc->date);
  PLT_label_for_time(VAR_get_time(i));
  GridRec* grids[3] = {nullptr, nullptr, nullptr};
  // With both components found the search ends on the second; otherwise it ends one past
  // the last variable it looked at.
  const int stop = GRD_find_param_grids(i, 2, vfunc, grids, nullptr);
  const int last = grids[1] != nullptr ? stop : stop - 1;
  if (units != nullptr && grids[0] != nullptr) {
    if (*units != '\0') {
      for (GridRec* g : {grids[0], grids[1]})
        if (g != nullptr && g->values != nullptr) GRD_units(g, units);
    } else {
      copy_bounded(units, sizeof(VarRec::units), grids[0]->units);
    }
  }
  return last;
}

// The colour bar and the vector key are defined by the contour and vector layers; until
// those draw, neither is ever defined.
int DATA_plot_bar() { return -1; }
int DATA_plot_vect_bar() { return -1; }

int DATA_plot_grid(int i, DataDesc* desc) {
  if (i < 0 || i >= num_vars()) return i;
  const int type = VAR_get_type(i);
  int last = i;
  bool vect = false;
  if (VAR_is_plot_VECT(i) && is_vect_type(type)) {
    last = DATA_plot_vect(i + 1, VAR_get_var(i)->units, VAR_get_format(i), desc);
    vect = true;
  } else if (VAR_is_plot_FUNC_VECT(i)) {
    last = DATA_plot_vect(i, nullptr, nullptr, desc);
    vect = true;
  } else if (VAR_is_plot_FUNC(i) && is_vect_type(type)) {
    if (GRD_is_plot_func(VAR_get_name(i))) {
      vfunc = 1;
      last = DATA_plot_vect(i + 1, VAR_get_var(i)->units, VAR_get_format(i), desc);
      vfunc = 0;
    } else {
      last = DATA_plot_vect(i, nullptr, nullptr, desc);
    }
    vect = true;
  } else if (VAR_is_plot_GRID(i)) {
    if (is_vect_type(type)) {
      last = DATA_plot_vect(i, VAR_get_var(i)->units, VAR_get_format(i), desc);
      vect = true;
    } else if (VAR_is_type_CONT(i)) {
      last = DATA_plot_cont(i, desc);
    }
  } else {
    return i;
  }
  DATA_plot_bar();
  if (vect) DATA_plot_vect_bar();
  label_grid(i, vect);
  last = std::clamp(last, i, num_vars() - 1);
  MESS_print(MESS_DEBUG & MESS_C, "GRID--BEG: %d END: %d\n", i, last);
  return last;
}

void DATA_plot_raw_label(int first, int last, DataDesc* desc) {
  for (int k = std::max(first, 0); k <= last && k < num_vars(); ++k) {
    if (!VAR_is_type_PLOT(k) || !VAR_is_LABEL(k)) continue;
    if (desc != nullptr && desc->get_var != nullptr) desc->get_var(VAR_get_var(k));
    PLT_label_up_left(VAR_make_var_datatype(k).c_str());
    if (desc != nullptr) {
      PLT_label_date(&desc->date);
      char label[DATE_LABEL_LEN] = "";
      DATE_make_label_for_time(VAR_get_time(k), desc->model, &desc->date, label);
      PLT_label_up_right(label);
    }
    PLT_label_for_time(VAR_get_time(k));
    PLT_next_overlay();
  }
}

int DATA_plot_raw(int i, DataDesc* desc) {
  const int n = num_vars();
  if (i < 0 || i >= n || !VAR_is_type_PLOT(i)) return i;
  if (desc != nullptr && desc->plot_data != nullptr && desc->plot_data(i, desc)) return i;
  if (VAR_is_COMP(i)) {
    DATA_plot_raw_label(i, i, desc);
    return i;
  }
  int last = i;
  if (!VAR_is_REG(i))
    while (last + 1 < n && !VAR_is_REG(last + 1)) ++last;
  MESS_print(MESS_DEBUG & MESS_C, "PLOT--BEG: %d END: %d\n", i, last);
  if (desc != nullptr && desc->raw_out != nullptr) {
    // The selection changes the active naming convention, which the file sequence needs.
    FILE_save_name_conv();
    const int raw = desc->raw_out();
    FILE_restore_name_conv();
    if (raw && !raw_warned) {
      raw_warned = true;
      MESS_print(MESS_WARN, "DATA_plot_raw: Station-value output is not available: %s\n", VAR_get_name(i));
    }
  }
  // The station values themselves are drawn by the station-plot layer (markers, circles
  // of plt_dist nautical miles, values in the run's attributes at the given scale).
  DATA_plot_raw_label(i, last, desc);
  DATA_plot_bar();
  return last;
}

void DATA_set_site(int flag) { plt_site = flag; }
void DATA_set_dist(int radius) { plt_dist = radius; }

int DATA_get_map_mode() { return map; }
int DATA_get_fill() { return fill; }
int DATA_get_panel() { return panel; }
