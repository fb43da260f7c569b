// Plot manager: the workstation of a plot, the plot parameters, panels, window events and
// image dumps.
#include "driver/plt_tool.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/prompt.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"
#include "driver/plt_labl.h"
#include "files/files.h"
#include "graphics/gks_cairo.h"
#include "graphics/gks_colr.h"
#include "graphics/gif.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_img.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "plot/vect_plt.h"
#include "surface/cty_tool.h"
#include "surface/unittool.h"
#include "surface/var_tool.h"

namespace {

const int work_id = 1;
// Room below and above the plot for the labels.
constexpr float default_offset = 0.06F;

// A frame's own copy of a grid, so that a query on a frame of a loop reads that frame's
// hour and not the last one computed.
class FrameGrid {
 public:
  explicit FrameGrid(const GridRec& src) {
    grid_ = src;
    grid_.values = nullptr;
    const std::size_t n = src.values != nullptr && src.domain.nx > 0 && src.domain.ny > 0
                              ? static_cast<std::size_t>(src.domain.nx) * static_cast<std::size_t>(src.domain.ny)
                              : 0;
    if (n > 0 && GRD_alloc(&grid_)) std::memcpy(grid_.values, src.values, n * sizeof(float));
  }
  ~FrameGrid() { GRD_free_values(&grid_); }
  FrameGrid(const FrameGrid&) = delete;
  FrameGrid& operator=(const FrameGrid&) = delete;
  const GridRec* get() const { return &grid_; }

 private:
  GridRec grid_{};
};

// Everything a plot session remembers between calls: the workstation and its view, the
// zoom, the image dumps and the window's callbacks.
struct PltState {
  int wk_type = 0;
  float view_offset = default_offset;
  // left, right, bottom, top
  std::array<float, 4> view_off{0.0F, 0.0F, default_offset, default_offset};
  std::array<float, 4> dis_view = view_off;

  // PostScript words that the device's own opening resets: applied once it is open.
  bool ps_color = false;
  bool ps_rev = false;

  // Frame -> the grids of its variables (null for a variable without a grid).
  std::map<int, std::vector<std::unique_ptr<FrameGrid>>> frame_grids;

  // Zoom: depth, the domain before the first zoom, the first corner of the box.
  int zoom = 0;
  DomainRec unzoomed{};
  // The station priority chosen for the unzoomed domain (a zoom chooses its own).
  int unzoomed_prior = 0;
  bool box_started = false;
  float box_x = 0.0F, box_y = 0.0F;

  int dump = 0;
  std::string dump_file;
  // Without a display the window draws into nothing: dumped frames are then drawn on a
  // raster workstation in memory, at the window's size, and captured from there. The
  // device flag it replaced comes back when the plot closes.
  bool raster_dumps = false;
  int device_flag_was = 0;
  int gif_mode = 0;

  PltEventFunc event_func = nullptr;
  PltDomainFunc zoom_func = nullptr;
  PltDomainFunc resize_func = nullptr;
  PltRefreshFunc refresh_func = nullptr;
  int refresh_period = 0;
};
PltState st;

// The grid of variable i on the frame shown: the frame's own copy in a loop.
const GridRec* shown_grid(int i) {
  if (gchk_graphics() && gget_num_images() > 0) {
    const auto kept = st.frame_grids.find(gget_cur_frame());
    if (kept != st.frame_grids.end() && i < static_cast<int>(kept->second.size()) && kept->second[i] != nullptr)
      return kept->second[i]->get();
  }
  return GRD_get_grid(i);
}

// Limits that keep hostile parameters from asking for absurd amounts of work.
constexpr int max_grid_factor = 10;
constexpr int max_shadow = 10;

bool word_is(const char* item, const char* word) { return stricmp(item, word) == 0; }

// The value of "word", its one separator character and the value ("over=2:3" gives
// "2:3", "vp_size:2x2+1+0" gives "2x2+1+0"); null when item is not that word with a
// value. The separator is any character that cannot continue the word.
const char* value_of(const char* item, const char* word) {
  const std::size_t n = std::strlen(word);
  if (!starts_with_ci(item, word) || item[n] == '\0') return nullptr;
  const unsigned char sep = static_cast<unsigned char>(item[n]);
  if (std::isalnum(sep) || sep == '_') return nullptr;
  return item + n + 1;
}

void bad_value(const char* item, const char* form) {
  MESS_print(MESS_WARN, "PLT_param_decode: Bad plot parameter: %s (%s)\n", item, form);
}

// "A[:B]" as numbers: one value sets both; false for anything else.
bool float_pair(const char* text, float* a, float* b) {
  const std::string s = text;
  const std::size_t colon = s.find(':');
  if (colon == std::string::npos) {
    if (!parse_float(s, a)) return false;
    *b = *a;
    return true;
  }
  return parse_float(s.substr(0, colon), a) && parse_float(s.substr(colon + 1), b);
}

bool int_pair(const char* text, int* a, int* b) {
  const std::string s = text;
  const std::size_t colon = s.find(':');
  if (colon == std::string::npos) {
    if (!parse_int(s, a)) return false;
    *b = *a;
    return true;
  }
  return parse_int(s.substr(0, colon), a) && parse_int(s.substr(colon + 1), b);
}

// Applies one dump word ("gif", "gif:name", "png=name"...); false when it is not one.
bool dump_word(const char* item) {
  static const struct {
    const char* word;
    int kind;
  } kinds[] = {{"gif", 2}, {"png", 4}, {"img", 3}, {"xwd", 1}};
  for (const auto& k : kinds) {
    if (word_is(item, k.word)) {
      PLT_set_dump(k.kind, nullptr);
      return true;
    }
    if (const char* v = value_of(item, k.word)) {
      PLT_set_dump(k.kind, v);
      return true;
    }
  }
  return false;
}

// "lalo=dlat[:dlon[:dot[:extra]]]"
void latlon_word(const char* item, const char* v) {
  float dlat = 0.0F, dlon = 0.0F;
  int dot = 0, extra = 0;
  const int got = std::sscanf(v, "%f:%f:%d:%d", &dlat, &dlon, &dot, &extra);
  if (got < 2) dlon = dlat;
  if (got < 1 || !std::isfinite(dlat) || !std::isfinite(dlon) || dlat < 0.0F || dlon < 0.0F || dlat > 90.0F ||
      dlon > 180.0F || dot < 0 || extra < 0) {
    bad_value(item, "lalo=dlat[:dlon[:dot[:extra]]], degrees");
    return;
  }
  MAP_latlon(dot, extra, dlat, dlon);
}

void apply_param(const char* item) {
  const char* v = nullptr;
  int n = 0, m = 0;
  float a = 0.0F, b = 0.0F;
  if (word_is(item, "full")) {
    PLT_set_view_offset(0.0F);
  } else if (word_is(item, "fullab")) {
    PLT_set_view_offset(0.0F);
    PLT_set_full_lab(1);
  } else if (word_is(item, "nopage")) {
    MESS_set_page(0);
  } else if (word_is(item, "page")) {
    MESS_set_page(1);
  } else if (word_is(item, "noredraw")) {
    gset_redraw(0);
    gset_record_window(0);
  } else if (word_is(item, "id")) {
    CTY_set_id_type(0);
  } else if (word_is(item, "wmo")) {
    CTY_set_id_type(1);
  } else if (word_is(item, "cod_wmo")) {
    CTY_set_id_type(2);
  } else if ((v = value_of(item, "tz")) != nullptr) {
    DATE_set_TZ(v);  // which names what it cannot read
  } else if ((v = value_of(item, "over")) != nullptr) {
    const int got = std::sscanf(v, "%d:%d", &n, &m);
    if (got < 1 || n < 0 || (got == 2 && m < 0)) {
      bad_value(item, "over=base[:number], overlays 0-5");
    } else {
      PLT_set_overlay_base(n);
      if (got == 2) PLT_set_num_overlay(m);
    }
  } else if ((v = value_of(item, "lalo")) != nullptr) {
    latlon_word(item, v);
  } else if (starts_with_ci(item, "gridx")) {
    const char* f = item + 5;
    if (*f != '\0' && !std::isdigit(static_cast<unsigned char>(*f))) ++f;
    if (!parse_int(f, &n) || n < 1)
      bad_value(item, "gridx followed by a factor of 1 or more");
    else if (n > max_grid_factor)
      bad_value(item, "the grid factor is at most 10");
    else
      GRD_set_grid_factor(n);
  } else if ((v = value_of(item, "plt_skip")) != nullptr) {
    if (!int_pair(v, &n, &m) || n < 1 || m < 1)
      bad_value(item, "plt_skip=x[:y], 1 or more");
    else
      CONT_set_skip(n, m);
  } else if ((v = value_of(item, "plt_off")) != nullptr) {
    if (!float_pair(v, &a, &b))
      bad_value(item, "plt_off=x[:y]");
    else
      CONT_set_plot_offset(a, b);
  } else if (word_is(item, "plt_grid")) {
    MAP_set_plot_limit(1);
  } else if ((v = value_of(item, "plt_grid")) != nullptr) {
    if (!parse_int(v, &n) || n < 0)
      bad_value(item, "plt_grid[=n]");
    else
      MAP_set_plot_limit(n);
  } else if ((v = value_of(item, "loc_pr")) != nullptr) {
    if (!parse_int(v, &n))
      bad_value(item, "loc_pr=priority");
    else
      DOM_set_loc_prior(n);
  } else if ((v = value_of(item, "vp_size")) != nullptr) {
    PLT_panel_decode(v);
  } else if ((v = value_of(item, "font")) != nullptr) {
    if (*v == '\0')
      bad_value(item, "font=name");
    else
      GPH_set_def_font(v);
  } else if (word_is(item, "gif_inter")) {
    st.gif_mode = 1;
    GIF_set_interlace(1);
  } else if (word_is(item, "gif_norm")) {
    st.gif_mode = 0;
    GIF_set_interlace(0);
  } else if (word_is(item, "gif_trans")) {
    st.gif_mode = 2;
    GIF_set_transparent(1);
  } else if (word_is(item, "inv")) {
    gset_inverse(1);
  } else if (word_is(item, "lcmap")) {
    gset_local_colormap(1);
  } else if (word_is(item, "nolcmap")) {
    gset_local_colormap(0);
  } else if (word_is(item, "rwclr")) {
    gset_rw_colors(1);
  } else if (word_is(item, "norwclr")) {
    gset_rw_colors(0);
  } else if (word_is(item, "nolooptitle")) {
    gset_loop_title(0);
  } else if (word_is(item, "pscolor")) {
    st.ps_color = true;
    gset_inverse(1);
  } else if (word_is(item, "psrev")) {
    st.ps_rev = true;
  } else if (word_is(item, "clear")) {
    gset_pix_mode(1);
  } else if (word_is(item, "new")) {
    gset_pix_mode(2);
  } else if (word_is(item, "kill")) {
    gset_pix_mode(9);
  } else if (word_is(item, "bar")) {
    CONT_set_bar(2);
  } else if ((v = value_of(item, "bar")) != nullptr) {
    if (std::sscanf(v, "%f:%f", &a, &b) != 2 || !std::isfinite(a) || !std::isfinite(b) || !(a < b)) {
      bad_value(item, "bar=low:high");
    } else {
      CONT_set_bar(2);
      CONT_set_bar_range(a, b);
    }
  } else if (word_is(item, "nobar")) {
    CONT_set_bar(-2);
  } else if (word_is(item, "nohdr") || (v = value_of(item, "max_bad")) != nullptr) {
    // GRIB header files and the GRIB bad-value limit: this program reads no GRIB files.
  } else if (word_is(item, "shadow")) {
    gset_font_drop(4);
  } else if ((v = value_of(item, "shadow")) != nullptr) {
    if (!parse_int(v, &n) || n > max_shadow)
      bad_value(item, "shadow[=n], at most 10");
    else
      gset_font_drop(n < 1 ? 4 : n);
  } else if ((v = value_of(item, "min_size")) != nullptr) {
    if (!parse_int(v, &n))
      bad_value(item, "min_size=bytes");
    else if (n >= 0)
      FILE_set_min_size(n);
  } else if ((v = value_of(item, "grdfmt")) != nullptr) {
    GRD_set_format(v);
  } else {
    dump_word(item);
  }
  // Any other word is another layer's (the station plots and the refresh read the same
  // resource).
}

// Swaps a window without a display for the raster workstation when frames are dumped.
void raster_for_dumps(float aspect) {
  if (st.wk_type != WS_X11 || st.dump == 0 || gwin_has_display() || !graster_available()) return;
  st.device_flag_was = FLAG_get(FLAG_DEVICE);
  gclose_ws(work_id);
  if (gopen_ws(work_id, ",mem", WS_RASTER) != 0) {
    gopen_ws(work_id, "", WS_X11);
    return;
  }
  st.wk_type = WS_RASTER;
  st.raster_dumps = true;
  st.dis_view = st.view_off;
  GPH_reset(work_id, st.wk_type, st.dis_view.data(), aspect);
}

// One image of the frame on show under name.
int write_image(int kind, const std::string& name) {
  static const char* const formats[] = {"", "xdump", "GIF", "IMG", "PNG"};
  int ok = 0;
  switch (kind) {
    case 2:
      ok = GIF_dump(name.c_str());
      break;
    case 3: {
      const std::string info = std::string(PLT_get_label(0, 0)) + " [" + PLT_get_label(5, 0) + "]";
      IMG_set_dump_info(info.c_str(), PLT_get_label(2, 0), st.view_offset <= 0.7F);
      ok = IMG_dump(name.c_str());
      break;
    }
    case 4:
      ok = PNG_dump(name.c_str());
      break;
    default:
      ok = XWD_dump(name.c_str());
      break;
  }
  if (ok)
    MESS_print(MESS_MESS, "Wrote %s file: %s\n", formats[kind], name.c_str());
  else {
    MESS_print(MESS_WARN, "PLT_dump: Unable to write %s file: %s\n", formats[kind], name.c_str());
    ZAV_fail(ZAV_STATUS_OUTPUT);
  }
  return ok;
}

int mouse_adapter(int, const char* name, float x, float y) {
  return st.event_func != nullptr ? st.event_func(name, x, y) : 0;
}

// Runs f(domain) under the busy cursor.
void busy(PltDomainFunc f, const DomainRec* domain) {
  if (f == nullptr) return;
  const int cursor = gget_cursor();
  gset_cursor(8);
  f(domain);
  gset_cursor(cursor);
}

void print_domain(const char* title, const DomainRec* domain) {
  MESS_print(MESS_MESS & MESS_B, "%s", title);
  DOM_print(MESS_MESS & MESS_A, domain);
}

// The domain of a zoom box with corners (x0, y0) and (x1, y1) of the current domain's
// plane; false when the box cannot be a domain.
bool zoom_domain(float x0, float y0, float x1, float y1, DomainRec* d) {
  MAP_get_domain(d);
  if (d->nx < 2 || d->ny < 2) return false;
  const float w = std::fabs(x1 - x0), h = std::fabs(y1 - y0);
  if (d->proj >= PROJ_PS && d->proj <= PROJ_SAT) {
    // A map keeps its grid: the box centre becomes the centre and the spacing grows to
    // take in the whole box.
    float lat = MISSING, lon = MISSING;
    if (!MAP_untran(&lat, &lon, (x0 + x1) / 2.0F, (y0 + y1) / 2.0F)) return false;
    const float spacing = std::max(w / static_cast<float>(d->nx - 1), h / static_cast<float>(d->ny - 1));
    if (!(spacing > 0.0F)) return false;
    const float scale = d->dx > 0.0F ? d->dy / d->dx : 1.0F;
    d->clat = lat;
    d->clon = lon;
    d->dx = spacing;
    d->dy = spacing * scale;
    DOM_set_base_prior(static_cast<float>(d->ny - 1) * d->dy);
    return true;
  }
  // Diagrams: the box itself is the new extent, from its lower-left corner.
  float lat0 = MISSING, lon0 = MISSING, lat1 = MISSING, lon1 = MISSING;
  if (!MAP_untran(&lat0, &lon0, std::min(x0, x1), std::min(y0, y1)) ||
      !MAP_untran(&lat1, &lon1, std::max(x0, x1), std::max(y0, y1)))
    return false;
  d->clat = lat0;
  d->clon = lon0;
  d->dx = (lon1 - lon0) / static_cast<float>(d->nx - 1);
  d->dy = (lat1 - lat0) / static_cast<float>(d->ny - 1);
  return d->dx != 0.0F && d->dy != 0.0F;
}

// The station data text of a station-value variable at a station: its data block.
std::string station_text(const StationRec& station) {
  if (station.data == nullptr) return {};
  const char* p = static_cast<const char*>(station.data);
  return std::string(p, strnlen(p, 120));
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

int PLT_mess(const char* format, ...) {
  if (format == nullptr) return -1;
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return gmessage(0, text);
}

// ---- workstation ----

int PLT_is_off() { return (FLAG_getplot(DRAW_ALL) == 0 || FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) ? 1 : 0; }

int PLT_get_work_type() { return st.wk_type; }

void PLT_param_decode() {
  PLT_for_each_value("plot_param", apply_param);
  PLT_for_each_value("out_file", [](const char* o) {
    const bool gif = starts_with_ci(o, "gif"), png = starts_with_ci(o, "png");
    if (gif || png) PLT_set_dump(gif ? 2 : 4, std::strlen(o) > 4 ? o + 4 : nullptr);
  });
}

int PLT_open(float aspect) {
  // The whole page, unless the parameters give a view size: panels of an earlier plot
  // leave theirs behind.
  GPH_set_view_size(1.0F, 1.0F, 0.0F, 0.0F);
  gset_image_writer(GKS_IMAGE_GIF, GIF_dump);
  gset_image_writer(GKS_IMAGE_XWD, XWD_dump);
  // Each plot has its own key: a colour fill of an earlier plot asked for a bar that a
  // line plot, vectors or station values after it must not draw. The parameters ask again.
  CONT_set_bar(0);
  PLT_param_decode();
  st.dis_view = st.view_off;
  if (PLT_is_off()) return -1;
  GPH_setup(work_id, st.wk_type, st.dis_view.data(), aspect);
  st.wk_type = gget_win_type();
  raster_for_dumps(aspect);
  if (st.wk_type == WS_PS && (st.ps_color || st.ps_rev)) {
    // The device's options start from its defaults when it opens; these two change how
    // the colours already defined print, so they are defined again.
    if (st.ps_color) gps_set_colorPS(1);
    if (st.ps_rev) gps_set_reverse(1);
    st.dis_view = st.view_off;
    GPH_reset(work_id, st.wk_type, st.dis_view.data(), aspect);
  }
  return 0;
}

int PLT_reset(float aspect) {
  st.dis_view = st.view_off;
  const int lab_type = PLT_get_label_type();
  if (lab_type < 0) PLT_set_label_type(-1);
  if (lab_type > 0) PLT_set_label_type(1);
  if (PLT_is_off()) return -1;
  return GPH_reset(work_id, st.wk_type, st.dis_view.data(), aspect);
}

int PLT_close() {
  if (PLT_is_off() || !gchk_graphics()) {
    PLT_init_labels();
    return -1;
  }
  // A window asked for in a batch job stays up after the command returns: the job goes
  // on in the background. Files and windows without a display have nothing to wait for.
  if (FLAG_batch() && st.wk_type == WS_X11 && !gget_display_optional() && st.dump == 0 && !ZAV_back_proc()) {
    MESS_print(MESS_ERROR, "PLT_close: Unable to run in the background\n");
    PLT_exit(ZAV_STATUS_DETACH);
  }
  GPH_trans(2);
  if (st.dump == 0) GPH_hold(st.wk_type);
  GPH_end(work_id);
  if (st.raster_dumps) {
    FLAG_set(FLAG_DEVICE, st.device_flag_was);
    st.raster_dumps = false;
  }
  PLT_init_labels();
  st.zoom = 0;
  st.frame_grids.clear();
  return 0;
}

void PLT_exit(int status) {
  if (gchk_graphics()) GPH_end(work_id);
  ZAV_exit(status);
}

void PLT_new_page() {
  if (gchk_graphics() && !gtype_is_WIN_PIX()) gclear_ws(work_id, 1);
}

// ---- panels and view ----

int PLT_panel_decode(const char* text) {
  if (text == nullptr || *text == '\0') return 0;
  float w = 1.0F, h = 1.0F, x = 0.0F, y = 0.0F;
  const int got = std::sscanf(text, "%fx%f+%f+%f", &w, &h, &x, &y);
  const auto refuse = [text](const char* why) {
    MESS_print(MESS_WARN, "PLT_panel_decode: Invalid view size: %s (%s)\n", text, why);
    return 0;
  };
  if (got != 4) return refuse("WxH+X+Y: columns x rows + column + row, or fractions of the page");
  if (!std::isfinite(w) || !std::isfinite(h) || !std::isfinite(x) || !std::isfinite(y))
    return refuse("numbers expected");
  if (w > 1.0F || h > 1.0F) {
    // A grid of panels, X the column and Y the row from the top.
    const int cols = static_cast<int>(std::clamp(w, 1.0F, 8.0F)), rows = static_cast<int>(std::clamp(h, 1.0F, 8.0F));
    if (x < 0.0F || y < 0.0F || x > static_cast<float>(cols - 1) || y > static_cast<float>(rows - 1))
      return refuse("the panel lies outside the layout");
    w = 1.0F / static_cast<float>(cols);
    h = 1.0F / static_cast<float>(rows);
    x = x / static_cast<float>(cols);
    y = 1.0F - (y + 1.0F) / static_cast<float>(rows);
  } else {
    constexpr float slack = 1e-4F;
    if (!(w > 0.0F) || !(h > 0.0F) || x < 0.0F || y < 0.0F || x + w > 1.0F + slack || y + h > 1.0F + slack)
      return refuse("the view lies outside the page");
  }
  GPH_set_view_size(w, h, x, y);
  return 1;
}

int PLT_panel(float aspect) {
  if (aspect == 0.0F) {
    const float w = st.dis_view[1] - st.dis_view[0], h = st.dis_view[3] - st.dis_view[2];
    if (gchk_graphics() && w > 0.0F && h > 0.0F) aspect = w / h;
  }
  st.dis_view = st.view_off;
  if (!gchk_graphics()) return -1;
  return GPH_panel(work_id, st.wk_type, st.dis_view.data(), aspect);
}

void PLT_set_view_offset(float v) {
  if (!std::isfinite(v) || v < 0.0F || v >= 0.5F) return;
  st.view_offset = v;
  st.view_off = {0.0F, 0.0F, v, v};
}

void PLT_set_view_offsets(float left, float bottom, float right, float top) {
  for (float v : {left, bottom, right, top})
    if (!std::isfinite(v) || v < 0.0F) return;
  if (left + right >= 1.0F || bottom + top >= 1.0F) return;
  st.view_off = {left, right, bottom, top};
}

float PLT_get_view_offset() { return st.view_offset; }
void PLT_get_view_offsets(float view[4]) {
  for (int i = 0; i < 4; ++i) view[i] = st.view_off[i];
}
void PLT_get_view(float view[4]) {
  for (int i = 0; i < 4; ++i) view[i] = st.dis_view[i];
}

// ---- zoom ----

void PLT_set_zoom(int depth) { st.zoom = std::max(depth, 0); }
int PLT_get_zoom() { return st.zoom; }

// ---- callbacks and events ----

void PLT_set_callback(PltEventFunc f) {
  st.event_func = f;
  gset_mouse_callback(f != nullptr ? mouse_adapter : nullptr);
}
PltEventFunc PLT_get_callback() { return st.event_func; }
void PLT_set_zoom_func(PltDomainFunc f) { st.zoom_func = f; }
void PLT_set_resize_func(PltDomainFunc f) { st.resize_func = f; }
void PLT_set_refresh_func(int seconds, PltRefreshFunc f) {
  st.refresh_period = f != nullptr && seconds > 0 ? seconds : 0;
  st.refresh_func = f;
  gset_refresh_callback(st.refresh_period, st.refresh_period > 0 ? PLT_plot_refresh : nullptr);
}
int PLT_get_refresh_period() { return st.refresh_period; }

int PLT_print_location(const char* event, float x, float y) {
  if (event == nullptr || std::strcmp(event, "v-Alt") != 0) return 0;
  float lat = MISSING, lon = MISSING;
  MAP_untran(&lat, &lon, x, y);
  const float px = gchk_graphics() ? xW_p(x) : MISSING, py = gchk_graphics() ? yW_p(y) : MISSING;
  MESS_print(MESS_PRINT & MESS_D, "Lat: %6.2f Lon: %7.2f XY: %6.2f %6.2f Pixel: %6.2f %6.2f\n", lat, lon, x, y, px, py);
  return 1;
}

namespace {

// A wind pair at a grid position as the map shows it: components analysed along the grid's
// axes are turned back to the earth, and the values are given in the units the plot draws
// (its key), followed by the direction the wind comes from and its speed.
void print_wind(int owner, int i, float column, float row, float x, float y) {
  const GridRec* gu = shown_grid(i);
  const GridRec* gv = shown_grid(i + 1);
  float u = GRD_get_value(gu, column, row), v = GRD_get_value(gv, column, row);
  MESS_print(MESS_PRINT, "Grid: %6.2f,%6.2f = ", column, row);
  if (u == MISSING || v == MISSING) {
    MESS_print(MESS_PRINT, "\n");
    return;
  }
  const std::string from(gu->units, strnlen(gu->units, sizeof gu->units));
  const char* wanted = VAR_get_units(owner);
  std::string to = wanted != nullptr && *wanted != '\0' ? wanted : VECT_get_units();
  if (to.empty()) to = from;
  if (!from.empty() && to != from && UNIT_cvt(from.c_str(), to.c_str(), 1.0F) != 0.0F) {
    u = UNIT_cvt(from.c_str(), to.c_str(), u);
    v = UNIT_cvt(from.c_str(), to.c_str(), v);
  }
  float dir = 0.0F, speed = 0.0F;
  vect2wind(u, v, &dir, &speed);
  const char* name = VAR_get_name(i);
  if (name != nullptr && (std::strcmp(name, "uwndg") == 0 || std::strcmp(name, "vwndg") == 0) && speed >= 0.01F) {
    dir = std::fmod(MAP_undir_adj(dir, x, y) + 360.0F, 360.0F);
    wind2vect(dir, speed, &u, &v);
  }
  MESS_print(MESS_PRINT, "%6.2f,%6.2f (%03.0f deg %.2f %s)\n", u, v, dir, speed, to.c_str());
}

}  // namespace

int PLT_print_values(const char* event, float x, float y) {
  if (event == nullptr) return 0;
  const bool query = std::strcmp(event, "v-Alt") == 0, edit = std::strcmp(event, "e-Alt") == 0;
  if (!query && !edit) return 0;
  const int n = std::min(VAR_get_num(), VAR_MAX);
  if (edit) {
    // Editing is for one grid on the screen, not for a sequence or an overlay; the key was
    // pressed on purpose, so the forecaster is told why nothing changes.
    if (FILE_get_num_file() != 0) {
      MESS_print(MESS_WARN, "Alt-e: no grid value changed: the hours of a loop are not edited (plot one hour)\n");
      return 1;
    }
    if (n != 1 || !VAR_is_type_GRID(0) || GRD_get_grid(0) == nullptr || GRD_get_grid(0)->values == nullptr) {
      MESS_print(MESS_WARN, "Alt-e: no grid value changed: only a plot of a single grid is edited\n");
      return 1;
    }
    GridRec* grid = GRD_get_grid(0);
    float column = x, row = y;
    GRD_get_value_domain(grid, nullptr, &column, &row);
    if (!(column >= -0.5F && row >= -0.5F && column < grid->domain.nx - 0.5F && row < grid->domain.ny - 0.5F)) {
      MESS_print(MESS_WARN, "Alt-e: no grid value changed: the pointer is outside the grid\n");
      return 1;
    }
    char answer[82] = "";
    float value = 0.0F;
    if (ZAV_prompts("Enter the new grid value: ", answer, 80) == nullptr || !parse_float(answer, &value)) return 1;
    if (GRD_edit_value(grid, column, row, value)) GRD_print_value(grid, column, row);
    return 1;
  }
  float lat = MISSING, lon = MISSING;
  MAP_untran(&lat, &lon, x, y);
  StationRec station{};
  // Over station values the station asked about is one with values.
  bool station_values = false;
  for (int i = 0; i < n; ++i) station_values = station_values || !VAR_is_type_GRID(i);
  const bool found = (station_values && CTY_search_loc_data(&station, lat, lon) != 0) ||
                     CTY_search_loc(&station, lat, lon) != 0;
  float slat = lat, slon = lon;
  if (found) MAP_untran(&slat, &slon, station.x, station.y);
  MESS_print(MESS_PRINT, "Id: %s Lat: %6.2f Lon: %7.2f ", found ? station.id : "-", slat, slon);
  for (int i = 0; i < n; ++i) {
    const char* name = VAR_get_name(i);
    if (name != nullptr && *name != '\0')
      MESS_print(MESS_PRINT, "Var: %6.6s - ", name);
    else
      MESS_print(MESS_PRINT, "Var: #%5d - ", VAR_get_var(i)->var);
    float column = x, row = y;
    if (VAR_is_VECT(i) && !VAR_is_type_GRID(i) && i + 2 < n && VAR_is_type_GRID(i + 1) && VAR_is_type_GRID(i + 2)) {
      // A wind drawn from two component grids: one answer for the pair.
      GRD_get_value_domain(shown_grid(i + 1), nullptr, &column, &row);
      print_wind(i, i + 1, column, row, x, y);
      i += 2;
    } else if (VAR_is_type_GRID(i) && VAR_is_type_VECT(i) && i + 1 < n) {
      GRD_get_value_domain(shown_grid(i), nullptr, &column, &row);
      print_wind(i, i, column, row, x, y);
      ++i;
    } else if (VAR_is_type_GRID(i)) {
      GRD_get_value_domain(shown_grid(i), nullptr, &column, &row);
      GRD_print_value(shown_grid(i), column, row);
    } else {
      MESS_print(MESS_PRINT, "= %s\n", found ? station_text(station).c_str() : "");
    }
  }
  return 1;
}

int PLT_plot_zoom(const char* event, float x, float y) {
  if (event == nullptr) return 0;
  if (std::strcmp(event, "B1-P-Shft") == 0) {
    st.box_started = true;
    st.box_x = x;
    st.box_y = y;
    gset_rubber_band(2);
    return 1;
  }
  // The release ends the box whatever is held then (shift is often still down).
  if (std::strncmp(event, "B1-R", 4) == 0 && (event[4] == '\0' || event[4] == '-')) {
    if (!st.box_started) return 0;
    st.box_started = false;
    gset_rubber_band(0);
    if (x == st.box_x || y == st.box_y) return 1;
    DomainRec current{}, next{};
    MAP_get_domain(&current);
    const int prior = DOM_get_prior();
    if (!zoom_domain(st.box_x, st.box_y, x, y, &next)) {
      DOM_set_prior(prior);
      return 1;
    }
    if (st.zoom == 0) {
      st.unzoomed = current;
      st.unzoomed_prior = prior;
    }
    ++st.zoom;
    print_domain("New domain: ", &next);
    busy(st.zoom_func, &next);
    GPH_trans(2);
    gupdate_window();
    return 1;
  }
  if (std::strcmp(event, "u-Alt") == 0) {
    if (st.zoom == 0) return 0;
    print_domain("Original domain: ", &st.unzoomed);
    const DomainRec original = st.unzoomed;
    // What the zoom chose from its domain goes back with the domain: the stations analysed.
    DOM_set_prior(st.unzoomed_prior);
    busy(st.zoom_func, &original);
    st.zoom = 0;
    GPH_trans(2);
    gupdate_window();
    return 1;
  }
  if (std::strcmp(event, "r-Alt") == 0) {
    DomainRec current{};
    MAP_get_domain(&current);
    busy(st.zoom_func, &current);
    GPH_trans(2);
    gupdate_window();
    return 1;
  }
  return 0;
}

void PLT_keep_frame_grids(int frame) {
  std::vector<std::unique_ptr<FrameGrid>> grids;
  const int n = std::min(VAR_get_num(), VAR_MAX);
  for (int i = 0; i < n; ++i) {
    const GridRec* g = VAR_is_type_GRID(i) ? GRD_get_grid(i) : nullptr;
    grids.push_back(g != nullptr && g->values != nullptr ? std::make_unique<FrameGrid>(*g) : nullptr);
  }
  st.frame_grids[frame] = std::move(grids);
}

void PLT_drop_frame_grids(int frame) {
  if (frame < 0) {
    st.frame_grids.clear();
    return;
  }
  // The frames after it move down by one, as the window's frames do.
  std::map<int, std::vector<std::unique_ptr<FrameGrid>>> moved;
  for (auto& [f, grids] : st.frame_grids)
    if (f != frame) moved[f > frame ? f - 1 : f] = std::move(grids);
  st.frame_grids = std::move(moved);
}

int PLT_plot_resize(const char* event) {
  if (event == nullptr || std::strcmp(event, "size") != 0 || st.resize_func == nullptr) return 0;
  DomainRec domain{};
  MAP_get_domain(&domain);
  busy(st.resize_func, &domain);
  // The plot drawn anew for the new size is shown at once, not at the next exposure.
  GPH_trans(2);
  gupdate_window();
  return 1;
}

void PLT_plot_refresh() {
  if (st.refresh_func == nullptr) return;
  const int cursor = gget_cursor();
  gset_cursor(8);
  st.refresh_func();
  gset_cursor(cursor);
  gupdate_window();
}

// ---- image dumps ----

void PLT_set_dump(int kind, const char* name) {
  if (kind < 0 || kind > 4) return;
  st.dump = kind;
  if (name != nullptr && *name != '\0')
    st.dump_file = name;
  else
    st.dump_file = kind == 2 ? "zav.gif" : kind == 4 ? "zav.png" : "zav.xwd";
}

int PLT_get_dump() { return st.dump; }
const char* PLT_get_dump_file() { return st.dump_file.c_str(); }
int PLT_get_gif_mode() { return st.gif_mode; }

std::string PLT_dump_name(const char* frame_key) {
  DateRec date;
  FILE_get_date(&date);
  FILE_save_name_conv();
  FILE_set_name(st.dump_file.c_str());
  FILE_set_key('i', frame_key);
  FILE_set_key('p', gget_win_title());
  char name[FILE_NAME_MAX] = "";
  FILE_set_date(&date, name);
  const char* dir = RES_get("image_path");
  std::string path = FILE_add_path(dir != nullptr && stricmp(dir, "none") != 0 ? dir : "", name);
  FILE_restore_name_conv();
  return path;
}

int PLT_dump(int frame) {
  if (st.dump == 0 || !gchk_graphics()) return 0;
  char key[16];
  const int frames = gget_num_images();
  int written = 0;
  if (frame == -4 && frames >= 2) {
    for (int i = 0; i < frames; ++i) {
      std::snprintf(key, sizeof key, "%2.2d", i);
      const std::string name = PLT_dump_name(key);
      gselect_frame(i);
      written += write_image(st.dump, name);
    }
    return written;
  }
  if (frames > 0 || (st.raster_dumps && frame >= 0)) {
    std::snprintf(key, sizeof key, "%2.2d", std::max(frame >= 0 ? frame : gget_cur_frame(), 0));
    const std::string name = PLT_dump_name(key);
    if (frame >= 0) gselect_frame(frame);
    return write_image(st.dump, name);
  }
  return write_image(st.dump, PLT_dump_name("win"));
}

void PLT_reset_state() { st = PltState{}; }
