// Surface plot loop: input kind, file date, variable prompt and the plot over files.
#include "driver/sfc_plt.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "analysis/object.h"
#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"
#include "driver/data.h"
#include "driver/data_plt.h"
#include "driver/plt_labl.h"
#include "driver/plt_tool.h"
#include "files/date.h"
#include "files/files.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/frt_plt.h"
#include "plot/map.h"
#include "surface/cty_read.h"
#include "surface/cty_tool.h"
#include "surface/obs_read.h"
#include "surface/raw_tool.h"
#include "surface/sfc_check.h"
#include "surface/sfc_read.h"
#include "surface/sfc_tool.h"
#include "surface/var_tool.h"

namespace {

constexpr int refresh_seconds = 60;
// The oldest bulletin a frame without its own is given (bulletins come every 3 or 6 hours).
constexpr int max_front_age = 12 * 3600;
constexpr std::size_t var_str_len = VAR_REQUEST_MAX;

// The request being served: its data, domain, date and variables, and where the file
// sequence stands.
struct SfcState {
  DataDesc data{};
  DomainRec domain{};
  // The requested date: the first date of the file sequence.
  DateRec file_date{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  sfc_report report{};
  std::string var_str;
  int variable_prompt = 1;
  int refresh = 0;
  int fsecs = 0;
  int pmsecs = 0;
  bool var_file_opened = false;
  // The file the frame being drawn comes from.
  std::string frame_file;
};
SfcState st;

bool contains_ci(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
    if (strnicmp(text.data() + i, word.data(), word.size()) == 0) return true;
  return false;
}

// Image dumps are requested through out_file too; they are the plot manager's.
bool is_image_value(const char* v) { return starts_with_ci(v, "gif") || starts_with_ci(v, "png"); }

// "cf" alone or with a separator and a convention ("cf:name"): a CF netCDF grid. Longer
// words beginning with "cf" stay convention names.
bool is_cf_value(const char* v) {
  return starts_with_ci(v, "cf") && (v[2] == '\0' || !std::isalnum(static_cast<unsigned char>(v[2])));
}

// "tif" alone or "tif:name": a GeoTIFF grid; longer words stay convention names.
bool is_tif_value(const char* v) {
  return starts_with_ci(v, "tif") && (v[3] == '\0' || !std::isalnum(static_cast<unsigned char>(v[3])));
}

// The convention after a format word of n characters and its separator, or fallback
// when nothing follows.
const char* convention_after(const char* v, std::size_t n, const char* fallback) {
  return std::strlen(v) > n ? v + n : fallback;
}

// "sfc" alone or "sfc:name": the reports of each hour written as a surface file under the
// input convention or the one named. Convention names that begin "sfc_" stay names.
bool is_sfc_value(const char* v) { return starts_with_ci(v, "sfc") && (v[3] == '\0' || v[3] == ':'); }

// Fronts are drawn from the bulletins, not from the surface reports.
bool is_front(int i) { return stricmp(VAR_get_name(i), "front") == 0; }

// The variables of a request that the surface data and the variable list both do not
// know would give empty grids: such a request is refused with one message. A request that
// is final (a resource, or batch mode) marks the run as failed; one asked again at the
// terminal does not, since the status tells how the session ended.

bool request_can_be_made(bool final) {
  const int n = std::min(VAR_get_num(), VAR_MAX);
  for (int i = 0; i < n; ++i) {
    // Constants of grid functions ("#2.5") are no station variables; fronts come from the
    // bulletins.
    if (!(VAR_is_REG(i) || VAR_is_SUBREG(i)) || VAR_get_type(i) == PLOT_CONST || is_front(i)) continue;
    VarRec copy = *VAR_get_var(i);
    // A bare number names a list entry; one the list lacks is no variable of this data
    // either and would only draw an empty grid.
    if (SFC_get_var(&copy) == 0 && (copy.var <= 0 || !VAR_list_has(copy.var))) {
      MESS_print(MESS_WARN, "Unknown variable: %s\n", copy.name);
      if (final) ZAV_fail(ZAV_STATUS_VARIABLE);
      return false;
    }
  }
  return true;
}

// Opens the plot's surface file; its date label becomes the upper-right label of the
// frame's first overlay (the overlays of the frame before are not the new frame's).
bool open_file(const char* name) {
  if (!SFC_open_file(name)) return false;
  st.frame_file = name;
  PLT_set_overlay(0);
  PLT_label_up_right(SFC_get_file_info()->label);
  return true;
}

// Adapters between the descriptor's generic callbacks and the surface reader.
int read_report_cb(void* r, StationRec* station) { return SFC_read_report(static_cast<sfc_report*>(r), station); }
void rewind_cb(DataDesc*) { SFC_rewind_file(); }
int get_data_cb(void* r, VarRec* var, RawDataRec* value) {
  return SFC_get_data(static_cast<const sfc_report*>(r), var, value);
}

void fill_descriptor() {
  st.data.frame = 0;
  st.data.date = st.file_date;
  st.data.model = MISSING_INT;
  st.data.raw_out = SFC_raw_out_file;
  st.data.grid_out = SFC_grd_out_file;
  st.data.plot_domain = st.domain;
  st.data.report = &st.report;
  st.data.get_var = SFC_get_var;
  st.data.read_report = read_report_cb;
  st.data.rewind = rewind_cb;
  st.data.get_data = get_data_cb;
  st.data.plot_data = SFC_plot_data;
  st.data.grid_data = SFC_grid_data;
  st.data.callback = SFC_callback;
}

// Records the time and modification time of the file just opened.
void note_file(const char* name) {
  st.pmsecs = FILE_modtime(name);
  DateRec date;
  FILE_get_date(&date);
  // A name that does not follow the convention carries no date: the file's own label does.
  const sfc_info* info = SFC_get_file_info();
  if (date.year == MISSING_INT && info != nullptr) date = info->date;
  st.data.date = date;
  st.fsecs = SFC_round_time(DATE_num_sec(&date), FILE_get_late_off());
}

// With "-of sfc" the reports of the frame's hour are written as a surface file, an hourly
// archive of what the feed delivered.
void save_reports() {
  std::string convention;
  PLT_for_each_value("out_file", [&](const char* v) {
    if (is_sfc_value(v)) convention = v[3] == ':' && v[4] != '\0' ? v + 4 : "sfc_cvt";
  });
  if (convention.empty()) return;
  FILE_save_name_conv();
  FILE_set_name(convention.c_str());
  char name[FILE_NAME_MAX] = "";
  FILE_set_date(&st.data.date, name);
  FILE_restore_name_conv();
  if (SFC_write_file(name) < 0) ZAV_fail(ZAV_STATUS_OUTPUT);  // the reason is printed
}

}  // namespace

void SFC_connect() {
  RES_set_converter(12, FILE_conv_hour);
  DATE_set_model_lookup(VAR_model);
  VAR_set_grid_funcs(GRD_is_math_func, GRD_is_vect_func);
  DOM_set_station_lookup(CTY_get_loc);
  SFC_set_report_reader(OBS_read_file);
  SFC_set_checks(SFC_check_file, SFC_check_report);
}

int SFC_cvt_in_file() {
  std::string conv = "sfc_cvt";
  int kind = INPUT_SURFACE;
  for (const char* resource : {"input", "in_file"}) {
    PLT_for_each_value(resource, [&](const char* value) {
      const std::string_view v = value;
      if (contains_ci(v, "forfront")) {
        kind = INPUT_FRONTS;
        conv = "frf_dat";
      } else if (contains_ci(v, "front")) {
        kind = INPUT_FRONTS;
        conv = "frt_dat";
      } else if (contains_ci(v, "sfc")) {
        kind = INPUT_SURFACE;
        conv = v;
      } else {
        conv = v;
      }
    });
  }
  // Only the last value counts, so the convention is selected once (one warning at most
  // when the convention file is missing).
  FILE_set_name(conv.c_str());
  FLAG_set(FLAG_INPUT_KIND, kind);
  return kind;
}

void SFC_set_date(const DateRec* date) {
  if (date != nullptr)
    st.file_date = *date;
  else
    FILE_get_date(&st.file_date);
}

int SFC_round_time(int seconds, int late_off) {
  if (late_off < 1) return seconds;
  return late_off * (seconds / late_off);
}

// ---- variable loop ----

void SFC_set_prompt_variable(int flag) { st.variable_prompt = flag; }

int SFC_prompt_variable() {
  if (!st.var_file_opened) {
    VAR_open_file(nullptr);
    st.var_file_opened = true;
  }
  VAR_read_menu();
  for (;;) {
    if (!st.variable_prompt) return 0;
    const char* given = RES_get("variable");
    const bool from_resource = given != nullptr && *given != '\0';
    if (from_resource) {
      st.var_str.assign(given, std::min(std::strlen(given), var_str_len));
      st.variable_prompt = 0;
    } else {
      char answer[128] = "";
      const int r = VAR_menu("\n        Variable Menu\n", "Enter the variable: ", answer, 3);
      if (FLAG_batch()) st.variable_prompt = 0;
      if (r == 0) return 0;
      if (r < 0 && r != MISSING_INT) ZAV_exit(0);
      st.var_str.assign(answer, std::min(std::strlen(answer), var_str_len));
    }
    FLAG_set(FLAG_VAR_CHOSEN, 1);
    int result = VAR_setup(nullptr, st.var_str.c_str());
    DATA_new_grid();
    if (result != 0 && !request_can_be_made(from_resource || FLAG_batch())) result = 0;
    // A variable request that yields no variable is asked for again at an interactive
    // prompt; from a resource or in batch mode the variable loop ends.
    if (result != 0 || from_resource || FLAG_batch()) return result;
  }
}

// ---- plot ----

void SFC_plot_param() {
  st.refresh = 0;
  PLT_for_each_value("plot_param", [](const char* v) {
    if (stricmp(v, "refresh") == 0) st.refresh = 1;
  });
}

int SFC_get_refresh() { return st.refresh; }

void SFC_plot(const DomainRec* dom) {
  if (dom == nullptr) return;
  st.domain = *dom;
  const bool reentry = gchk_graphics() != 0;
  if (reentry) {
    PLT_reset(DOM_aspect(&st.domain));
    MAP_setup(&st.domain);
    CONT_keep_answers(1);
  } else {
    SFC_plot_param();
    PLT_open(DOM_aspect(&st.domain));
    PLT_set_callback(SFC_callback);
    PLT_set_zoom_func(SFC_plot);
    PLT_set_resize_func(SFC_plot);
    if (st.refresh) PLT_set_refresh_func(refresh_seconds, SFC_plot_refresh);
    MAP_setup(&st.domain);
    CTY_data_size(120);
    CTY_store("sao.cty", CTY_MODE_LOCATION, &st.domain, 7);
  }
  CTY_clear_data(1);
  DATA_plot_init();
  fill_descriptor();
  PLT_drop_frame_grids(-1);

  FILE_first(&st.file_date);
  MAP_fill_cont(0);
  const bool sequence = FILE_get_num_file() != 0;
  int f = 0;
  int readable = 0;
  char name[FILE_NAME_MAX] = "";
  while (FILE_get_next(name)) {
    GPH_trans(2);
    if (sequence) {
      gcreate_frame(f);
      gselect_frame(f);
      PLT_new_page();
    }
    if (!open_file(name)) {
      if (!sequence) PLT_exit(ZAV_STATUS_INPUT);
      continue;
    }
    ++readable;
    note_file(name);
    save_reports();
    st.data.frame = f;
    SFC_plot_frame();
    SFC_close_file();
    if (sequence) {
      PLT_keep_frame_grids(f);
      gdisplay_frame(f);
      DATA_new_grid();
    }
    PLT_dump(f);
    ++f;
  }
  if (sequence) gset_looping(1);
  // Missing hours of a sequence are skipped; a sequence without a single one is a failure.
  if (sequence && readable == 0) {
    MESS_print(MESS_WARN, "No surface file of the sequence could be read\n");
    ZAV_fail(ZAV_STATUS_INPUT);
  }
  CONT_keep_answers(0);
  if (reentry) return;

  PLT_close();
  const int n = std::min(VAR_get_num(), VAR_MAX);
  for (int i = 0; i < n; ++i)
    if (VAR_is_type_GRID(i)) GRD_free(GRD_get_grid(i));
  CTY_clear_data(0);
  CTY_clear();
}

void SFC_plot_frame() {
  DATA_fit_grid(&st.data);
  DATA_plot_start();
  for (int i = 0; i < std::min(VAR_get_num(), VAR_MAX);) {
    const int j = std::max(DATA_plot_raw(DATA_plot_grid(i, &st.data), &st.data), i);
    DATA_plot_map(j);
    DATA_plot_control(j, &st.domain);
    i = j + 1;
  }
  DATA_plot_end();
}

void SFC_grid_data(DataDesc* desc) {
  if (DATA_setup_grid(desc)) {
    OBJ_set_filter(1.0F);
    OBJ_set_rad_inf(3.0F);
    DATA_get_data(desc);
    DATA_object_analyze();
  }
  GRD_calc_var();
  DATA_save_grid(desc);
  DATA_free();
}

int SFC_plot_data(int index, DataDesc*) {
  if (!is_front(index)) return 0;
  if (SFC_get_form() == SFC_FORM_BULLETIN) {
    // The input is a bulletin itself: it is drawn, at its own valid time.
    FRT_set_date(&SFC_get_file_info()->date);
    FRT_plot_file(st.frame_file.c_str());
  } else {
    // Fronts come from the bulletin of the frame's date, not from the surface reports.
    DateRec date = st.data.date.year > 0 ? st.data.date : st.file_date;
    FILE_save_name_conv();
    FILE_set_name("frt_dat");
    char name[FILE_NAME_MAX] = "";
    FILE_set_date(&date, name);
    // Bulletins come every few hours: a frame between two shows the latest analysis before
    // it, whose own date its label names.
    if (!FILE_exist(name)) {
      DateRec frame_date = date;
      const int frame_secs = DATE_num_sec(&frame_date);
      const int period = FILE_get_offset();
      for (int back = period; frame_secs != MISSING_INT && back <= max_front_age; back += period) {
        const int secs = frame_secs - back;
        DateRec earlier = date;
        char older[FILE_NAME_MAX] = "";
        if (DATE_get_gmdate(&secs, &earlier) == 0) break;
        earlier.minute = date.minute;  // labelled in the frame's own form
        earlier.second = date.second;
        FILE_set_date(&earlier, older);
        if (!FILE_exist(older)) continue;
        char was[DATE_LABEL_LEN] = "", now[DATE_LABEL_LEN] = "";
        DATE_make_label(&date, was);
        DATE_make_label(&earlier, now);
        MESS_print(MESS_MESS, "Fronts: no bulletin for %s: the analysis for %s is drawn\n", was, now);
        copy_bounded(name, sizeof name, older);
        date = earlier;
        break;
      }
    }
    FRT_set_date(&date);
    FRT_plot_file(name);
    FILE_restore_name_conv();
  }
  // The bulletin names what it shows: its own labels take the variable's place.
  if (*FRT_get_label_up_left() != '\0') {
    PLT_label_up_left(FRT_get_label_up_left());
    PLT_label_up_right(FRT_get_label_up_right());
    PLT_next_overlay();
  }
  return 1;
}

// ---- output selection ----

int SFC_grd_out_file() {
  FILE_set_name("sfc_grd");
  int code = 0;
  bool convention = false;
  PLT_for_each_value("out_file", [&](const char* v) {
    // "raw..." asks for station values only (the raw-output selection reads it), "sfc" for
    // the reports themselves.
    if (stricmp(v, "none") == 0 || is_image_value(v) || starts_with_ci(v, "raw") || is_sfc_value(v)) return;
    if (starts_with_ci(v, "zavb")) {
      code = GRD_FILE_BINARY;
      FILE_set_name(convention_after(v, 5, "sfc_grd_zav"));
    } else if (starts_with_ci(v, "zav")) {
      code = GRD_FILE_TEXT;
      FILE_set_name(convention_after(v, 4, "sfc_grd_zav"));
    } else if (starts_with_ci(v, "cdf")) {
      code = GRD_FILE_CDF;
      FILE_set_name(convention_after(v, 4, "sfc_grd_cdf"));
    } else if (is_cf_value(v)) {
      code = GRD_FILE_CF;
      FILE_set_name(convention_after(v, 3, "sfc_grd_cf"));
    } else if (is_tif_value(v)) {
      code = GRD_FILE_TIF;
      FILE_set_name(convention_after(v, 4, "sfc_grd_tif"));
    } else {
      FILE_set_name(v);
      convention = true;
    }
  });
  if (code == 0 && convention) code = GRD_FILE_TEXT;
  if (code == 0) return 0;
  FLAG_set(FLAG_GRID_FORMAT, code);
  return code;
}

int SFC_raw_out_file() {
  FILE_set_name("sfc_raw");
  int accepted = 0;
  PLT_for_each_value("out_file", [&](const char* v) {
    // Grid formats ("cdf...", "zavb...") and image dumps are not station-value requests.
    if (stricmp(v, "none") == 0 || is_image_value(v) || starts_with_ci(v, "cdf") || starts_with_ci(v, "zavb") ||
        is_cf_value(v) || is_tif_value(v) || is_sfc_value(v))
      return;
    if (starts_with_ci(v, "zav") || starts_with_ci(v, "raw"))
      FILE_set_name(convention_after(v, 4, "sfc_raw"));
    else
      FILE_set_name(v);
    accepted = 1;
  });
  return accepted;
}

// ---- events ----

int SFC_callback(const char* event, float x, float y) {
  if (event == nullptr) return 0;
  PLT_print_values(event, x, y);
  PLT_plot_zoom(event, x, y);
  PLT_plot_resize(event);
  CONT_flash_value(event, x, y);
  if (std::strcmp(event, "s-Alt") != 0) return 0;
  // The key was pressed on purpose: say why no file is written.
  if (FILE_get_num_file() != 0) {
    MESS_print(MESS_WARN, "Alt-s: no grid saved: the hours of a loop are not saved (plot one hour)\n");
    return 1;
  }
  if (VAR_get_num() != 1 || !VAR_is_type_GRID(0) || GRD_get_grid(0) == nullptr || GRD_get_grid(0)->values == nullptr) {
    MESS_print(MESS_WARN, "Alt-s: no grid saved: only a plot of a single grid is saved\n");
    return 1;
  }
  // Save the displayed grid under the grid-output convention (package format by default).
  FILE_save_name_conv();
  int format = SFC_grd_out_file();
  if (format == 0) format = GRD_FILE_TEXT;
  DATA_set_var_keys(0);
  char name[FILE_NAME_MAX] = "";
  FILE_set_date(&st.file_date, name);
  GridRec* grid = GRD_get_grid(0);
  GridInfo info{};
  GRD_set_info(&info, &st.file_date, &grid->domain);
  copy_bounded(info.name, sizeof info.name, VAR_get_name(0));
  GRD_save_file(name, grid, &info, format);
  FILE_restore_name_conv();
  return 1;
}

void SFC_plot_refresh() {
  char name[FILE_NAME_MAX] = "";
  // A run on the clock's hour follows the clock; a run on a fixed hour or a named file
  // re-reads the hour shown last (late reports, corrections), never the clock's hour.
  int secs = st.fsecs;
  if (FILE_on_clock())
    secs = FILE_set_current(nullptr, name);
  else
    copy_bounded(name, sizeof name, st.frame_file);
  const int modtime = FILE_modtime(name);
  MESS_print(MESS_DEBUG & MESS_A, "File: %d %s\n", secs, name);
  const bool new_hour = secs != st.fsecs;
  if ((!new_hour && modtime == st.pmsecs) || !open_file(name)) return;
  SFC_set_date(nullptr);
  // The refreshed frame is labelled with the date of the file it shows.
  st.data.date = st.file_date;
  st.fsecs = secs;
  st.pmsecs = modtime;
  DATA_new_grid();
  const int n = gget_num_images();
  if (n < 1) {
    gclear_frame(-3);
  } else if (new_hour) {
    PLT_drop_frame_grids(0);
    for (int i = 0; i + 1 < n; ++i) gcopy_frame(i, i + 1);
    gcreate_frame(n - 1);
    gselect_frame(n - 1);
  } else {
    gselect_frame(n - 1);
    gclear_frame(n - 1);
  }
  MESS_print(MESS_PRINT, "plot frame\n");
  SFC_plot_frame();
  SFC_close_file();
  if (n >= 1) PLT_keep_frame_grids(n - 1);
  if (n >= 1) gdisplay_frame(new_hour ? n - 1 : -3);
}

void SFC_reset_plot_state() { st = SfcState{}; }
