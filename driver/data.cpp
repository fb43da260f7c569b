// Data-plot framework: station arrays and gridding. All access to the data goes through
// the descriptor's callbacks, so the same engine serves any station data source.
#include "driver/data.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "analysis/object.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "config/system.h"
#include "files/files.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "surface/raw_plt.h"
#include "surface/raw_tool.h"
#include "surface/var_tool.h"

namespace {

constexpr int default_limit = 800;
// Time codes of periods: kind x 1000000 + length x 1000 + end hour.
constexpr int period_kind = 1000000;
constexpr int grow_step = 400;

// The stations of the current file, their values per field and what the file's analysis
// decided about them, kept from reading a file to plotting and writing its grids.
struct DataState {
  std::vector<float> x, y, z;
  // Station names in the order of x and y, for the analysis's list of rejected reports.
  std::vector<std::string> ids;
  std::array<std::vector<float>, VAR_MAX> u, v;
  int num_stats = 0;
  int num_field = 0;
  int dimension = 0;
  int limit = 0;
  VarRec* var = nullptr;
  int grid = 0;
  // Slots whose grid was read back from an existing file for the current file; they are
  // not written out again.
  std::array<bool, VAR_MAX> from_file{};
  // Reports of the current file that the domain's station priority left out although they
  // have a value of the field: the stations a lower priority would add to its analysis.
  std::array<int, VAR_MAX> left_out{};
  // The domain last warned about a sparse analysis: one warning a domain, not one a file.
  DomainRec sparse_warned{};
  bool sparse_warned_set = false;
};
DataState st;
// The station priority that keeps every station.
constexpr int every_station_prior = 9;

bool valid_field(int field) { return field >= 0 && field < VAR_MAX; }

// Grows every array to hold station; false when memory ran out.
bool grow_to(int station) {
  if (station < st.limit) return true;
  int new_limit = st.limit;
  while (station >= new_limit) new_limit += grow_step;
  try {
    st.x.resize(new_limit);
    if (st.dimension > 1) st.y.resize(new_limit);
    if (st.dimension > 2) st.z.resize(new_limit);
    for (int k = 0; k < VAR_MAX; ++k) {
      if (!st.u[k].empty()) st.u[k].resize(new_limit, MISSING);
      if (!st.v[k].empty()) st.v[k].resize(new_limit, MISSING);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  st.limit = new_limit;
  MESS_print(MESS_MESS, "Increasing arrays to %d\n", st.limit);
  return true;
}

// The time a label shows: a period of observed data (the maximum of the last 24 hours)
// ends at the observation, not 24 hours after it as a forecast period would.
int label_time(int time, int model) {
  if (model != MISSING_INT || time == MISSING_INT || time < 2 * period_kind) return time;
  return time - time % 1000;
}

// A function of two output components ("grad", "vdiff"): the next record holds the second.
bool two_components(int i) {
  if (i + 1 >= VAR_get_num() || i + 1 >= GRD_MAX_SLOTS) return false;
  const int kind = VAR_get_flag(i + 1) % 10;
  return kind == 8 || kind == 9;
}

}  // namespace

// ---- data sets ----

void DATA_init(int size, int dim) {
  st.limit = size < 1 ? default_limit : size;
  st.dimension = dim < 1 ? 1 : (dim > 3 ? 3 : dim);
  st.var = VAR_get_vars();
  OBJ_initialize();
  for (int k = 0; k < VAR_MAX; ++k) {
    std::vector<float>().swap(st.u[k]);
    std::vector<float>().swap(st.v[k]);
  }
  try {
    st.x.assign(st.limit, 0.0F);
    st.y.assign(st.dimension > 1 ? st.limit : 0, 0.0F);
    st.z.assign(st.dimension > 2 ? st.limit : 0, 0.0F);
  } catch (const std::bad_alloc&) {
    st.x.clear();
    st.y.clear();
    st.z.clear();
    st.limit = 0;
  }
  st.num_stats = 0;
  st.num_field = 0;
  st.left_out.fill(0);
}

void DATA_add_field(int index, const VarRec* variable) {
  if (!valid_field(index)) return;
  if (st.var == nullptr) st.var = VAR_get_vars();
  if (variable != nullptr && variable != &st.var[index]) st.var[index] = *variable;
  try {
    st.u[index].assign(st.limit, MISSING);
    st.v[index].assign(st.limit, MISSING);
  } catch (const std::bad_alloc&) {
    std::vector<float>().swap(st.u[index]);
    std::vector<float>().swap(st.v[index]);
    return;
  }
  if (index + 1 > st.num_field) st.num_field = index + 1;
}

int DATA_chk_field(int index) { return valid_field(index) && !st.u[index].empty() ? 1 : 0; }

void DATA_add_loc(int station, float px, float py, float pz) {
  if (station < 0 || !grow_to(station)) return;
  st.x[station] = px;
  if (st.dimension > 1) st.y[station] = py;
  if (st.dimension > 2) st.z[station] = pz;
}

void DATA_add_raw(int station, int field, const RawDataRec* value) {
  if (station < 0 || station >= st.limit || !valid_field(field) || value == nullptr) return;
  if (!st.u[field].empty()) st.u[field][station] = value->val1;
  if (!st.v[field].empty()) st.v[field][station] = value->val2;
  if (station + 1 > st.num_stats) st.num_stats = station + 1;
}

int DATA_get_raw(int station, int field, RawDataRec* value) {
  if (value == nullptr || station < 0 || station >= st.num_stats || field < 0 || field >= st.num_field) return 0;
  value->x = st.x[station];
  value->y = st.dimension > 1 ? st.y[station] : MISSING;
  value->kind = st.var != nullptr ? st.var[field].type : MISSING_INT;
  copy_bounded(value->text, sizeof value->text, st.var != nullptr ? st.var[field].name : "");
  value->val1 = st.u[field].empty() ? MISSING : st.u[field][station];
  value->val2 = st.v[field].empty() ? MISSING : st.v[field][station];
  return 1;
}

int DATA_get_num_stats() { return st.num_stats; }

void DATA_inc_num_stats(int n) {
  if (n > 0 && st.num_stats + n <= st.limit) st.num_stats += n;
}

void DATA_print() {
  for (int s = 0; s < st.num_stats; ++s)
    MESS_print(MESS_PRINT, "%f %f = %f %f\n", st.x[s], st.dimension > 1 ? st.y[s] : 0.0F,
               st.u[0].empty() ? MISSING : st.u[0][s], st.v[0].empty() ? MISSING : st.v[0][s]);
}

void DATA_free() {
  std::vector<float>().swap(st.x);
  std::vector<std::string>().swap(st.ids);
  std::vector<float>().swap(st.y);
  std::vector<float>().swap(st.z);
  for (int k = 0; k < VAR_MAX; ++k) {
    std::vector<float>().swap(st.u[k]);
    std::vector<float>().swap(st.v[k]);
  }
  st.num_stats = 0;
  st.num_field = 0;
  st.limit = 0;
}

void DATA_new_grid() {
  st.grid = 0;
  RAW_reject_clear();
  for (int k = 0; k < GRD_MAX_SLOTS; ++k) GRD_get_grid(k)->source = 0;
}

int DATA_get_limit() { return st.limit; }
int DATA_get_grid() { return st.grid; }

void DATA_set_var_keys(int i) {
  FILE_set_key(FILE_KEY_VAR, VAR_get_name(i));
  FILE_set_key(FILE_KEY_LEVEL, VAR_get_level_key(i).c_str());
  FILE_set_key(FILE_KEY_TIME, VAR_get_time_key(i).c_str());
}

// ---- gridding ----

int DATA_setup_grid(DataDesc* desc) {
  if (desc == nullptr) return 0;
  FILE_save_name_conv();
  DATA_init(default_limit, 2);
  st.from_file.fill(false);
  RAW_reject_clear();

  DomainRec grid_domain;
  if (DOM_get_grid_domain(&grid_domain) < 1) grid_domain = desc->plot_domain;
  desc->grid_domain = grid_domain;
  GRD_set_grid_domain(0, &grid_domain);
  // The analysis grid as the slots get it (refined by the grid factor): an existing grid
  // file must match this one.
  const DomainRec wanted = GRD_get_grid(0)->domain;

  // A GeoTIFF output is written only: an existing one is no analysis to read back.
  const bool read_back = desc->grid_out == nullptr || desc->grid_out() != GRD_FILE_TIF;

  int compute = 0;
  const int model = desc->model == MISSING_INT ? 1 : desc->model;  // observed data: model 1
  const int n = VAR_get_num();
  for (int i = 0; i < n && i < VAR_MAX; ++i) {
    if (!VAR_is_type_GRID(i)) continue;
    DATA_set_var_keys(i);
    // Their components are filed under names of their own: always computed again.
    const bool two = two_components(i);
    OBJ_decode_format(VAR_get_format(i));
    char name[FILE_NAME_MAX] = "";
    const bool named = desc->date.year != MISSING_INT && FILE_set_date(&desc->date, name) != 0;
    GridRec* g = GRD_get_grid(i);
    GridInfo info{};
    int type = 0;
    if (named && !two && read_back && GRD_read_check(name, g, &info, &type, &wanted)) {
      st.from_file[i] = true;
      continue;
    }
    if ((VAR_is_REG(i) || VAR_is_SUBREG(i)) && VAR_get_type(i) != PLOT_CONST && desc->get_var != nullptr) {
      // A mistyped name would otherwise give a silently empty grid. Names the data source
      // does not announce but the variable list knows (var number > 0) are still computed.
      VarRec* v = VAR_get_var(i);
      if (desc->get_var(v) == 0 && v->var <= 0) MESS_print(MESS_WARN, "Unknown variable: %s\n", v->name);
    }
    GRD_set_grid_info(i, VAR_make_var_datatype(i).c_str());
    GRD_set_var(i);
    char label[DATE_LABEL_LEN] = "";
    DATE_make_label_for_time_len(label_time(VAR_get_time(i), desc->model), model, &desc->date, label,
                                 static_cast<int>(sizeof GridRec::label) - 1);
    GRD_set_grid_date(i, &desc->date, label);
    if (VAR_is_fit_GRID(i)) {
      DATA_add_field(i, VAR_get_var(i));
      // Values of the previous file go first: a new domain may change the size.
      GRD_free(g);
      GRD_set_grid_domain(i, &grid_domain);
      if (GRD_alloc(g)) compute = 1;
    }
  }
  FILE_restore_name_conv();
  return compute;
}

int DATA_get_data(DataDesc* desc) {
  if (desc == nullptr || desc->read_report == nullptr) return 0;
  if (desc->rewind != nullptr) desc->rewind(desc);
  MESS_print(MESS_MESS, "Reading in data from converted file...\n");
  StationRec station{};
  RawDataRec value{};
  int s = 0;
  for (;;) {
    // A report that cannot be placed leaves the record as it is: no priority.
    station = StationRec{};
    const int r = desc->read_report(desc->report, &station);
    if (r < 0) break;
    if (r == 0) {
      if (station.prior > DOM_get_prior()) {
        for (int j = 0; j < st.num_field; ++j) {
          if (!DATA_chk_field(j) || desc->get_data == nullptr) continue;
          RAW_data_init(&value);
          desc->get_data(desc->report, &st.var[j], &value);
          if (value.val1 != MISSING) ++st.left_out[j];
        }
      }
      continue;
    }
    float gx = MISSING, gy = MISSING;
    MAP_domain_tran(&desc->plot_domain, &desc->grid_domain, &gx, &gy, station.x, station.y);
    DATA_add_loc(s, gx, gy);
    if (s >= st.limit) break;  // the arrays could not grow
    if (static_cast<std::size_t>(s) >= st.ids.size()) st.ids.resize(static_cast<std::size_t>(s) + 1);
    st.ids[static_cast<std::size_t>(s)].assign(station.id, strnlen(station.id, sizeof station.id));
    for (int j = 0; j < st.num_field; ++j) {
      if (!DATA_chk_field(j)) continue;
      RAW_data_init(&value);
      // Grid-relative winds turn at the station's place on the (current) plot map.
      value.x = station.x;
      value.y = station.y;
      if (desc->get_data != nullptr) desc->get_data(desc->report, &st.var[j], &value);
      DATA_add_raw(s, j, &value);
    }
    if (s + 1 > st.num_stats) st.num_stats = s + 1;
    ++s;
  }
  return s;
}

int DATA_object_analyze() {
  std::array<float*, VAR_MAX> data{};
  for (int k = 0; k < st.num_field; ++k) data[k] = st.u[k].empty() ? nullptr : st.u[k].data();
  if (st.x.empty() || st.y.empty()) return -1;
  // Names of the stations this file gave; a report without one is listed by number.
  std::vector<const char*> names(static_cast<std::size_t>(std::max(st.num_stats, 0)), nullptr);
  for (std::size_t s = 0; s < names.size() && s < st.ids.size(); ++s) names[s] = st.ids[s].c_str();
  const int r = OBJ_analyze_ids(st.x.data(), st.y.data(), data.data(), names.empty() ? nullptr : names.data(), st.num_stats,
                                st.num_field, GRD_get_grids());
  if (r == 0) {
    for (int k = 0; k < st.num_field; ++k) {
      if (data[k] == nullptr) continue;
      DATA_check_sparse(GRD_get_grid(k), st.left_out[k]);
      // The station plots of this variable mark what the check left out, by name: they
      // read the reports again, not these arrays.
      if (OBJ_num_rejected(k) < 1) continue;
      for (int s = 0; s < st.num_stats && static_cast<std::size_t>(s) < st.ids.size(); ++s)
        if (OBJ_rejected(k, s)) RAW_reject_add(VAR_get_name(k), st.ids[static_cast<std::size_t>(s)].c_str());
    }
  }
  return r;
}

void DATA_check_sparse(const GridRec* g, int stations_left_out) {
  // The map's priority leaves the lesser stations out; where they are all that reports,
  // most of the grid stays empty, and only the user can decide to keep them. Where no
  // station was left out, more stations would not help, and nothing is said.
  if (g == nullptr || g->values == nullptr || g->domain.nx < 1 || g->domain.ny < 1 || stations_left_out < 1) return;
  if (st.sparse_warned_set && DOM_comp(&st.sparse_warned, &g->domain)) return;
  const long n = static_cast<long>(g->domain.nx) * g->domain.ny;
  const long missing = std::count(g->values, g->values + n, MISSING);
  if (2 * missing <= n) return;
  st.sparse_warned = g->domain;
  st.sparse_warned_set = true;
  MESS_print(MESS_WARN,
             "%ld%% of the grid has no analysis: this domain uses only stations of priority %d or better "
             "and leaves out %d that report it; -pr %d keeps every station\n",
             (200 * missing + n) / (2 * n), DOM_get_prior(), stations_left_out, every_station_prior);
}

int DATA_fit_grid(DataDesc* desc) {
  if (desc == nullptr) return st.grid;
  const int n = VAR_get_num();
  for (int i = 0; i < n && i < VAR_MAX && st.grid == 0; ++i) {
    if (!VAR_is_fit_GRID(i)) continue;
    if (desc->grid_data != nullptr) desc->grid_data(desc);
    st.grid = 1;
  }
  return st.grid;
}

int DATA_save_grid(DataDesc* desc) {
  if (desc == nullptr || desc->grid_out == nullptr) return 0;
  FILE_save_name_conv();
  const int format = desc->grid_out();
  int saved = 0;
  // The arguments of derived fields repeat names ("dx" of several fields): one file each.
  std::vector<std::string> written;
  auto save = [&](int i, GridRec* g, const std::string& var) {
    DATA_set_var_keys(i);
    FILE_set_key(FILE_KEY_VAR, var.c_str());
    GridInfo info{};
    GRD_set_info(&info, &desc->date, &g->domain);
    copy_bounded(info.name, sizeof info.name, var);
    char name[FILE_NAME_MAX] = "";
    // Grid files are named by their hour: without a date every hour would get one name.
    if (desc->date.year == MISSING_INT || FILE_set_date(&desc->date, name) == 0) {
      MESS_print(MESS_WARN, "DATA_save_grid: No date to name the grid file of %s\n", var.c_str());
      ZAV_fail(ZAV_STATUS_OUTPUT);
      return;
    }
    if (std::find(written.begin(), written.end(), name) != written.end()) {
      MESS_print(MESS_DEBUG, "DATA_save_grid: %s written already\n", name);
      return;
    }
    written.emplace_back(name);
    if (GRD_save_file(name, g, &info, format))
      ++saved;
    else
      ZAV_fail(ZAV_STATUS_OUTPUT);  // the reason is printed; a batch job must see it too
  };
  if (format != 0) {
    for (int i = std::min(VAR_get_num(), VAR_MAX) - 1; i >= 0; --i) {
      if (!VAR_is_type_GRID(i) || st.from_file[i]) continue;
      GridRec* g = GRD_get_grid(i);
      // A grid that could not be computed (no values) has nothing to write.
      if (g->values == nullptr) continue;
      const std::string var = VAR_get_name(i);
      GridRec* second = two_components(i) ? GRD_get_grid(i + 1) : nullptr;
      if (second == nullptr) {
        save(i, g, var);
      } else if (second->values != nullptr) {
        // Two components, each a grid of its own named as the wind's are: "ugrad", "vgrad".
        save(i, second, "v" + var);
        save(i, g, "u" + var);
      }
    }
  }
  FILE_restore_name_conv();
  return saved;
}

void DATA_reset_state() { st = DataState{}; }
