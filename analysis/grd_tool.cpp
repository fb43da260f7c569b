// Grid records and grid operations.
//
// Values are held with the C allocator because GridRec is a plain record that is
// copied by assignment (GRD_copy shares the array, GRD_move hands it over).
#include "analysis/grd_tool.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "files/date.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/calc.h"
#include "surface/unittool.h"
#include "surface/var_tool.h"

namespace {

constexpr unsigned LEVEL_MATH = MESS_MESS;  // "Performing grid math" progress line
constexpr int MAX_ARGS = 20;           // constants a grid function can take

// Plane spacings (100 km) and, at every point, the true length of a plane unit along x
// and y (the inverse map factors; 0 where the projection cannot tell) and the latitude.
// Kept for the last domain: a run derives many fields on one grid.
struct Metric {
  DomainRec domain{};
  int nx = 0, ny = 0;
  double hx = 0.0, hy = 0.0;
  std::vector<double> rx, ry;
  std::vector<float> lat;
};

// The grids of the session and what is derived from them once for many fields.
struct GrdState {
  // The slot table, initialised on first use. A separate switch rather than a marker in
  // a record: a field read from a file may well carry a grid type of -9999.
  GridRec grids[GRD_MAX_SLOTS] = {
      GridRec{MISSING_INT, 0, 0, {}, {}, DateRec{}, 0, 0, 0, 0, 0, {}, DomainRec{}, nullptr}};
  bool grids_ready = false;
  int grid_factor = 1;
  Metric metric;
  bool metric_ready = false;
};
GrdState st;

// Number of values of a grid whose size is sane, else 0.
std::size_t point_count(const GridRec* g) {
  if (!g || g->domain.nx <= 0 || g->domain.ny <= 0) return 0;
  return static_cast<std::size_t>(g->domain.nx) * static_cast<std::size_t>(g->domain.ny);
}

bool has_values(const GridRec* g) { return g && g->values && point_count(g) > 0; }

// The part of a grid function name before the first '-'.
std::string base_name(const char* name) {
  if (!name) return {};
  const char* dash = std::strchr(name, '-');
  return dash ? std::string(name, static_cast<std::size_t>(dash - name)) : std::string(name);
}

bool name_in(const std::string& name, std::initializer_list<const char*> names) {
  if (name.empty()) return false;
  for (const char* n : names)
    if (stricmp(name.c_str(), n) == 0) return true;
  return false;
}

bool is_arg_flag(int flag, int g) {
  const int k = flag - g;
  return k == 0 || k == 1 || k == 2 || k == 3 || k == 8 || k == 9;
}

void make_label(GridRec* g) {
  char text[DATE_LABEL_LEN];
  text[0] = '\0';
  DATE_make_label_for_time(g->time, g->model, &g->date, text);
  copy_bounded(g->label, sizeof g->label, text);
}

// A named variable whose description states its units ("Temperature advection (C/h)") is
// scaled into them by its definition: the operator's own units ("/s") no longer hold.
void take_description(GridRec* g, const std::string& description) {
  const std::size_t open = description.rfind('(');
  if (open == std::string::npos || open == 0 || description.back() != ')') return;
  copy_bounded(g->units, sizeof g->units, std::string_view(description).substr(open + 1, description.size() - open - 2));
  copy_bounded(g->datatype, sizeof g->datatype, description);
}

}  // namespace

GRD_DomainGuard::GRD_DomainGuard() {
  MAP_get_domain(&domain_);
  MAP_get_limits(limits_);
}

GRD_DomainGuard::~GRD_DomainGuard() {
  if (domain_.proj == MISSING_INT) {
    MAP_domain(nullptr);
    return;
  }
  MAP_domain(&domain_);
  float now[4];
  MAP_get_limits(now);
  if (std::memcmp(now, limits_, sizeof now) != 0) MAP_set_view(limits_[0], limits_[1], limits_[2], limits_[3]);
}

// ---- slot table and header setting ----

void GRD_init_grids() {
  st.grids_ready = true;
  for (GridRec& g : st.grids) {
    GRD_init(&g);
    g.version = 0;
    g.date = DateRec{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
    g.units[0] = '\0';
    DOM_init(&g.domain);
  }
}

GridRec* GRD_get_grids() {
  if (!st.grids_ready) GRD_init_grids();
  return st.grids;
}

GridRec* GRD_get_grid(int slot) {
  GridRec* table = GRD_get_grids();
  if (slot < 0 || slot >= GRD_MAX_SLOTS) {
    MESS_print(MESS_ERROR, "GRD_get_grid: Invalid grid slot: %d\n", slot);
    return nullptr;
  }
  return &table[slot];
}

void GRD_set_grid(int slot, const GridRec* grid) {
  GridRec* g = GRD_get_grid(slot);
  if (!g) return;
  if (grid)
    *g = *grid;
  else
    GRD_init(g);
}

void GRD_set_grid_domain(int slot, const DomainRec* domain) {
  GridRec* g = GRD_get_grid(slot);
  if (!g) return;
  g->source = 0;
  g->version = 0;
  if (!domain) {
    DOM_init(&g->domain);
    return;
  }
  g->domain = *domain;
  const int f = st.grid_factor;
  DomainRec& d = g->domain;
  if (f == 1 || d.nx == MISSING_INT || d.ny == MISSING_INT || d.dx == MISSING || d.dy == MISSING) return;
  const std::int64_t nx = (static_cast<std::int64_t>(d.nx) - 1) * f + 1;
  const std::int64_t ny = (static_cast<std::int64_t>(d.ny) - 1) * f + 1;
  if (nx > std::numeric_limits<std::int32_t>::max() || ny > std::numeric_limits<std::int32_t>::max()) {
    MESS_print(MESS_WARN, "GRD_set_grid_domain: Grid factor %d too large for a %dx%d grid\n", f, d.nx,
               d.ny);
    return;
  }
  d.nx = static_cast<std::int32_t>(nx);
  d.ny = static_cast<std::int32_t>(ny);
  d.dx /= static_cast<float>(f);
  d.dy /= static_cast<float>(f);
}

void GRD_set_grid_date(int slot, const DateRec* date, const char* label) {
  GridRec* g = GRD_get_grid(slot);
  if (!g) return;
  if (date) g->date = *date;
  if (label) copy_bounded(g->label, sizeof g->label, label);
}

void GRD_set_grid_info(int slot, const char* datatype) {
  GridRec* g = GRD_get_grid(slot);
  if (g) copy_bounded(g->datatype, sizeof g->datatype, datatype ? datatype : "");
}

const char* GRD_get_grid_info(int slot) {
  const GridRec* g = GRD_get_grid(slot);
  return g ? g->datatype : "";
}

void GRD_set_var(int slot) {
  GridRec* g = GRD_get_grid(slot);
  const VarRec* v = VAR_get_var(slot);
  if (!g || !v) return;
  g->var = v->var;
  g->time = v->time;
  g->ltype = v->ltype;
  g->level = v->level;
  copy_bounded(g->units, sizeof g->units, std::string_view(v->units, strnlen(v->units, sizeof v->units)));
}

void GRD_make_datatype(GridRec* grid) {
  if (!grid) return;
  const std::string text = VAR_make_datatype(grid->time, grid->ltype, grid->level, grid->var, grid->units);
  copy_bounded(grid->datatype, sizeof grid->datatype, text);
}

void GRD_set_info(GridInfo* info, const DateRec* date, const DomainRec* domain) {
  if (!info) return;
  info->label[0] = '\0';
  if (date) {
    info->date = *date;
    char text[DATE_LABEL_LEN];
    if (DATE_make_label(date, text) == 0) copy_bounded(info->label, sizeof info->label, text);
  } else {
    info->date = DateRec{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  }
  info->nx = domain ? domain->nx : MISSING_INT;
  info->ny = domain ? domain->ny : MISSING_INT;
  info->grid_type = 0;
  info->name[0] = '\0';
}

int GRD_find_param_grids(int start, int count, int group, GridRec** list, float* consts) {
  if (count < 0) count = 1000;
  if (count == 0) {
    if (list) list[0] = nullptr;
    return start;
  }
  const int g = 10 * group;
  const int num = VAR_get_num();
  int found = 0;
  int i = start < 0 ? 0 : start;
  for (; i < num && i < GRD_MAX_SLOTS; ++i) {
    const int flag = VAR_get_flag(i);
    if (is_arg_flag(flag, g)) {
      if (consts && VAR_get_type(i) == PLOT_CONST) {
        const char* name = VAR_get_name(i);
        consts[found] = (name && name[0]) ? std::strtof(name + 1, nullptr) : MISSING;
        if (list) list[found] = nullptr;
      } else {
        GridRec* arg = GRD_get_grid(i);
        if (i > 0 && VAR_is_VECT(i - 1)) arg->var = GRD_get_grid(i - 1)->var;
        if (list) list[found] = arg;
      }
      // Stopping on the last wanted argument lets the caller carry on after it.
      if (++found == count) break;
    } else if (flag < g && found > 0) {
      break;
    }
  }
  if (list) list[found] = nullptr;
  return i;
}

void GRD_set_grid_factor(int factor) {
  if (factor >= 1) st.grid_factor = factor;
}

int GRD_get_grid_factor() { return st.grid_factor; }

// ---- life cycle ----

void GRD_init(GridRec* grid) {
  if (!grid) return;
  grid->type = 0;
  grid->source = 0;
  grid->label[0] = '\0';
  grid->datatype[0] = '\0';
  grid->model = 0;
  grid->ltype = MISSING_INT;
  grid->level = MISSING_INT;
  grid->time = MISSING_INT;
  grid->var = MISSING_INT;
  grid->values = nullptr;
}

int GRD_alloc(GridRec* grid) {
  if (!grid) return 0;
  const std::int64_t nx = grid->domain.nx, ny = grid->domain.ny;
  const std::int64_t limit = std::numeric_limits<std::int32_t>::max();
  void* mem = nullptr;
  if (nx > 0 && ny > 0 && nx <= limit / ny) {
    const std::size_t bytes = static_cast<std::size_t>(nx * ny) * sizeof(float);
    // An array left from an earlier field of the slot is reused rather than leaked.
    mem = grid->values ? std::realloc(grid->values, bytes) : std::malloc(bytes);
  }
  if (!mem) {
    MESS_print(MESS_WARN, "GRD_alloc: No memory for grid field\n");
    return 0;
  }
  grid->values = static_cast<float*>(mem);
  return 1;
}

int GRD_alloc_grid(int slot) { return GRD_alloc(GRD_get_grid(slot)); }

void GRD_free_values(GridRec* grid) {
  if (!grid) return;
  std::free(grid->values);
  grid->values = nullptr;
}

void GRD_free(GridRec* grid) {
  if (!grid) return;
  GRD_free_values(grid);
  grid->source = 0;
  DOM_init(&grid->domain);
}

void GRD_copy(GridRec* dst, const GridRec* src) {
  if (dst && src && dst != src) *dst = *src;
}

void GRD_move(GridRec* dst, GridRec* src) {
  if (!dst || !src || dst == src) return;
  *dst = *src;
  GRD_init(src);
}

void GRD_copy_info(GridRec* dst, const GridRec* src) {
  // A record is not its own copy: it would lose the array it owns.
  if (!dst || !src || dst == src) return;
  std::memcpy(dst->label, src->label, sizeof dst->label);
  std::memcpy(dst->units, src->units, sizeof dst->units);
  dst->date = src->date;
  dst->domain = src->domain;
  dst->source = src->source;
  dst->version = src->version;
  dst->model = src->model;
  dst->type = src->type;
  dst->values = nullptr;
}

// ---- values ----

int GRD_maxmin(const GridRec* grid, float* max, float* min) {
  float hi = MISSING, lo = MISSING;
  int result = -1;
  if (has_values(grid)) {
    result = 0;
    const std::size_t n = point_count(grid);
    std::size_t k = 0;
    while (k < n && grid->values[k] == MISSING) ++k;
    if (k < n) hi = lo = grid->values[k];
    for (; k < n; ++k) {
      const float v = grid->values[k];
      if (v == MISSING) continue;
      if (v > hi)
        hi = v;
      else if (v < lo)
        lo = v;
    }
  }
  if (max) *max = hi;
  if (min) *min = lo;
  return result;
}

float GRD_get_value(const GridRec* grid, float x, float y) {
  if (!has_values(grid)) return MISSING;
  const int nx = grid->domain.nx, ny = grid->domain.ny;
  const double xlim = nx - 0.9999, ylim = ny - 0.9999;
  // Written so that a NaN position also counts as outside.
  if (!(x >= 0.0f) || !(y >= 0.0f) || x > xlim || y > ylim) return MISSING;
  const int i = static_cast<int>(x), j = static_cast<int>(y);
  const float* row = grid->values + static_cast<std::size_t>(j) * static_cast<std::size_t>(nx);
  const bool right = i + 1 <= xlim, down = j + 1 <= ylim;
  const float c00 = row[i];
  const float c10 = right ? row[i + 1] : c00;
  const float c01 = down ? row[nx + i] : c00;
  const float c11 = right && down ? row[nx + i + 1] : c00;
  if (c00 == MISSING || c10 == MISSING || c01 == MISSING || c11 == MISSING) return MISSING;
  const float fx = x - static_cast<float>(i), fy = y - static_cast<float>(j);
  return c00 * (1.0f - fy) * (1.0f - fx) + fx * (1.0f - fy) * c10 + fy * (1.0f - fx) * c01 + fy * fx * c11;
}

float GRD_get_value_domain(const GridRec* grid, const DomainRec* domain, float* x, float* y) {
  if (!grid || !x || !y) return MISSING;
  float gx = MISSING, gy = MISSING, column = MISSING, row = MISSING;
  {
    GRD_DomainGuard guard;
    const DomainRec& from = (domain && domain->proj != MISSING_INT) ? *domain : guard.domain();
    MAP_domain_tran(&from, &grid->domain, &gx, &gy, *x, *y);
    MAP_domain(&grid->domain);
    MAP_grid_untran(&column, &row, gx, gy);
  }
  *x = column;
  *y = row;
  return GRD_get_value(grid, column, row);
}

int GRD_edit_value(GridRec* grid, float x, float y, float value) {
  if (!has_values(grid) || !(x >= 0.0f) || !(y >= 0.0f)) return 0;
  const double column = std::floor(x + 0.5), row = std::floor(y + 0.5);
  if (column > grid->domain.nx - 1 || row > grid->domain.ny - 1) return 0;
  grid->values[static_cast<std::size_t>(row) * static_cast<std::size_t>(grid->domain.nx) +
               static_cast<std::size_t>(column)] = value;
  return 1;
}

void GRD_print_value(const GridRec* grid, float x, float y) {
  const float v = GRD_get_value(grid, x, y);
  if (v == MISSING)
    MESS_print(MESS_PRINT, "Grid: %6.2f,%6.2f\n", x, y);
  else
    MESS_print(MESS_PRINT, "Grid: %6.2f,%6.2f = %6.2f\n", x, y, v);
}

void GRD_print_value2(const GridRec* u, const GridRec* v, float x, float y) {
  const float a = GRD_get_value(u, x, y), b = GRD_get_value(v, x, y);
  std::string text;
  char part[64];
  std::snprintf(part, sizeof part, "Grid: %6.2f,%6.2f", x, y);
  text = part;
  if (a == MISSING) {
    text += " = ";
  } else {
    std::snprintf(part, sizeof part, " = %6.2f", a);
    text += part;
  }
  if (b != MISSING) {
    std::snprintf(part, sizeof part, ",%6.2f", b);
    text += part;
  }
  MESS_print(MESS_PRINT, "%s\n", text.c_str());
}

void GRD_scale(GridRec* grid, float factor) {
  if (!has_values(grid)) return;
  const std::size_t n = point_count(grid);
  for (std::size_t k = 0; k < n; ++k)
    if (grid->values[k] != MISSING) grid->values[k] *= factor;
}

void GRD_offset(GridRec* grid, float add) {
  if (!has_values(grid)) return;
  const std::size_t n = point_count(grid);
  for (std::size_t k = 0; k < n; ++k)
    if (grid->values[k] != MISSING) grid->values[k] += add;
}

int GRD_units(GridRec* grid, const char* units) {
  if (!grid) return -1;
  const char* to = units ? units : "";
  MESS_print(MESS_DEBUG, "GRD_units: %s -> %s\n", grid->units, to);
  if (!has_values(grid)) return -1;
  char from[sizeof grid->units];
  copy_bounded(from, sizeof from, std::string_view(grid->units, strnlen(grid->units, sizeof grid->units)));
  // The converter gives 0 for every value when its table cannot be read; a field must not
  // turn into zeros for that (the converter has already said why).
  if (UNIT_cvt(from, to, 1.0f) == 0.0f && UNIT_cvt(from, to, 2.0f) == 0.0f) return -1;
  const std::size_t n = point_count(grid);
  for (std::size_t k = 0; k < n; ++k) grid->values[k] = UNIT_cvt(from, to, grid->values[k]);
  if (to[0]) {
    copy_bounded(grid->units, sizeof grid->units, to);
    UNIT_change(grid->datatype, to);
  }
  return 0;
}

float GRD_UVmax(const GridRec* u, const GridRec* v, float* max) {
  if (!has_values(u) || !has_values(v) || point_count(u) != point_count(v)) {
    if (max) *max = MISSING;
    return -1.0f;
  }
  const std::size_t n = point_count(u);
  double best = -1.0;
  for (std::size_t k = 0; k < n; ++k) {
    const float a = u->values[k], b = v->values[k];
    if (a == MISSING || b == MISSING || a == 0.0f || b == 0.0f) continue;
    const double s = static_cast<double>(a) * a + static_cast<double>(b) * b;
    if (s > best) best = s;
  }
  const float result = best < 0.0 ? MISSING : static_cast<float>(std::sqrt(best));
  if (max) *max = result;
  return result;
}

int GRD_point_locate(GridRec* grid, const char* what) {
  if (!grid || !what) return -1;
  enum { LAT, LON, PROJX, PROJY } kind;
  if (stricmp(what, "lat") == 0) {
    kind = LAT;
  } else if (stricmp(what, "lon") == 0) {
    kind = LON;
  } else if (stricmp(what, "projx") == 0) {
    kind = PROJX;
  } else if (stricmp(what, "projy") == 0) {
    kind = PROJY;
  } else {
    MESS_print(MESS_ERROR, "GRD_point_locate: Unknown coordinate: %s\n", what);
    return -1;
  }
  if (!has_values(grid)) return -1;
  static const char* const labels[] = {"Latitude (deg)", "Longitude (deg)", "Projection X", "Projection Y"};
  copy_bounded(grid->datatype, sizeof grid->datatype, labels[kind]);
  copy_bounded(grid->units, sizeof grid->units, kind == LAT || kind == LON ? "deg" : "");
  grid->var = 0;

  GRD_DomainGuard guard;
  const DomainRec& d = grid->domain;
  MAP_domain(&d);
  float xc = 0.0f, yc = 0.0f;
  if (!MAP_tran(&xc, &yc, d.clat, d.clon)) xc = yc = 0.0f;
  const int nx = d.nx, ny = d.ny;
  const double x0 = xc - static_cast<double>((nx - 1) / 2) * d.dx;
  const double y0 = yc + static_cast<double>((ny - 1) / 2) * d.dy;
  for (int j = 0; j < ny; ++j) {
    const float y = static_cast<float>(y0 - j * static_cast<double>(d.dy));
    float* row = grid->values + static_cast<std::size_t>(j) * static_cast<std::size_t>(nx);
    for (int i = 0; i < nx; ++i) {
      if (row[i] == MISSING) continue;
      const float x = static_cast<float>(x0 + i * static_cast<double>(d.dx));
      float lat = MISSING, lon = MISSING;
      MAP_untran(&lat, &lon, x, y);
      if (lon != MISSING) {
        if (lon < -180.0f)
          lon += 360.0f;
        else if (lon > 180.0f)
          lon -= 360.0f;
      }
      switch (kind) {
        case LAT: row[i] = lat; break;
        case LON: row[i] = lon; break;
        case PROJX: row[i] = x; break;
        case PROJY: row[i] = y; break;
      }
    }
  }
  return 0;
}

int GRD_proj_XY(const GridRec* grid, const DomainRec* target, float** X, float** Y) {
  if (!grid || !X || !Y) return -1;
  std::free(*X);
  std::free(*Y);
  *X = nullptr;
  *Y = nullptr;
  const std::size_t n = point_count(grid);
  if (n > 0) {
    *X = static_cast<float*>(std::malloc(n * sizeof(float)));
    *Y = static_cast<float*>(std::malloc(n * sizeof(float)));
  }
  if (!*X || !*Y) {
    std::free(*X);
    std::free(*Y);
    *X = nullptr;
    *Y = nullptr;
    MESS_print(MESS_WARN, "GRD_proj_XY: Unable to allocate grid arrays\n");
    return -1;
  }
  GRD_DomainGuard guard;
  const DomainRec to = (target && target->proj != MISSING_INT) ? *target : guard.domain();
  const DomainRec& d = grid->domain;
  MAP_domain(&d);
  float xc = 0.0f, yc = 0.0f;
  if (!MAP_tran(&xc, &yc, d.clat, d.clon)) xc = yc = 0.0f;
  const int nx = d.nx, ny = d.ny;
  const double x0 = xc - (nx - 1) * 0.5 * d.dx;
  const double yb = yc - (ny - 1) * 0.5 * d.dy;
  float* lat = *X;
  float* lon = *Y;
  std::size_t k = 0;
  if (DOM_comp(&d, &to)) {
    // Same plane: the grid's own positions, without a round trip through lat/lon.
    for (int j = ny - 1; j >= 0; --j) {
      const float y = static_cast<float>(yb + j * static_cast<double>(d.dy));
      for (int i = 0; i < nx; ++i, ++k) {
        lat[k] = static_cast<float>(x0 + i * static_cast<double>(d.dx));
        lon[k] = y;
      }
    }
    return 0;
  }
  for (int j = ny - 1; j >= 0; --j) {
    const float y = static_cast<float>(yb + j * static_cast<double>(d.dy));
    for (int i = 0; i < nx; ++i, ++k)
      MAP_untran(&lat[k], &lon[k], static_cast<float>(x0 + i * static_cast<double>(d.dx)), y);
  }
  MAP_domain(&to);
  for (k = 0; k < n; ++k) {
    if (lat[k] == MISSING || lon[k] == MISSING) {
      lat[k] = lon[k] = MISSING;
      continue;
    }
    const float la = lat[k], lo = lon[k];
    MAP_tran(&lat[k], &lon[k], la, lo);
  }
  return 0;
}

int GRD_calc_var() {
  const int num = VAR_get_num() < GRD_MAX_SLOTS ? VAR_get_num() : GRD_MAX_SLOTS;
  int deepest = 0;
  for (int v = 0; v < num; ++v) {
    const int flag = VAR_get_flag(v);
    if (flag > deepest) deepest = flag;
  }
  const int top = deepest / 10;
  if (top < 1) return 1;
  // Arguments can be as many as the variables; the list also needs its terminator.
  float consts[GRD_MAX_SLOTS + 1];
  GridRec* args[GRD_MAX_SLOTS + 1];
  for (int g = top; g >= 1; --g) {
    for (int v = 0; v < num; ++v) {
      GridRec* out = GRD_get_grid(v);
      if (out->source != 0 || !VAR_is_calc_GRID(v) || VAR_get_flag(v) / 10 != g - 1) continue;
      if (v + 1 >= GRD_MAX_SLOTS) continue;
      const char* name = VAR_get_name(v);
      MESS_print(MESS_DEBUG, "GRIDMATH: %d %d %s\n", v, VAR_get_flag(v), name ? name : "");
      // The slot's old array (if any) belongs to the previous field of this variable.
      GRD_free_values(out);
      GRD_copy_info(out, GRD_get_grid(v + 1));
      GRD_make_datatype(out);
      const bool vect = VAR_is_FUNC_VECT(v + 1) || VAR_is_SUBFUNC_VECT(v + 1);
      if (vect && v + 2 >= GRD_MAX_SLOTS) continue;
      GridRec* outs[3] = {out, vect ? GRD_get_grid(v + 1) : nullptr, nullptr};
      for (float& c : consts) c = MISSING;
      GRD_find_param_grids(vect ? v + 2 : v + 1, -1, g, args, consts);
      MESS_print(LEVEL_MATH, "Performing grid math: %s\n", name ? name : "");
      if (GRD_math(name, outs, args, consts)) {
        GRD_units(out, VAR_get_units(v));
        if (*VAR_get_units(v) == '\0') take_description(out, VAR_get_description(v));
        make_label(out);
        if (vect) {
          GRD_units(outs[1], VAR_get_units(v + 1));
          make_label(outs[1]);
          ++v;
        }
      } else {
        // A field that could not be computed leaves its slot empty.
        for (GridRec* o : outs) {
          if (!o) continue;
          GRD_free_values(o);
          o->source = 0;
        }
      }
    }
  }
  return 1;
}

// ---- grid math ----

int GRD_is_math_func(const char* name) {
  const std::string base = base_name(name);
  if (name_in(base, {"wind"})) return 20;
  if (name_in(base, {"vect"})) return 21;
  if (name_in(base, {"stream", "strm"})) return 23;
  if (name_in(base, {"copy",   "max",    "min",    "add",    "sum",   "avg",    "interp", "sub",    "thick",
                     "mul",    "mod",    "sqrt",   "pow",    "exp",   "log",    "log10",  "abs",    "div",
                     "sin",    "cos",    "tan",    "asin",   "acos",  "atan",   "atan2",  "dx",     "dy",
                     "dewp",   "rhum",   "wetblb", "show",   "wchill", "wchill2", "heat",  "theta",  "thetae",
                     "vtemp",  "thetav", "vapor",  "shum",   "mixrat", "wspd",   "spd",    "mag",    "wdir",
                     "dir",    "dot",    "cross",  "ugeos",  "vgeos", "uq",     "vq",     "lapl",   "conv",
                     "diverg", "def1",   "def2",   "vconv",  "rvort", "avort",  "adv"}))
    return 10;
  return 0;
}

int GRD_is_plot_func(const char* name) {
  return name_in(base_name(name), {"wind", "vect", "stream", "strm"}) ? 1 : 0;
}

int GRD_is_vect_func(const char* name) { return name_in(base_name(name), {"grad", "vdiff"}) ? 1 : 0; }


// ---- derivatives ----
//
// Derivatives are taken in the map plane and turned into distances on the earth with the
// map factors of the grid's projection, so a field looks the same to them whatever map it
// was analysed on. Divergence, vorticity and deformation use the flux forms of a curved
// orthogonal grid; on a conformal map they reduce to m^2 times the plane operators of u/m
// and v/m, on a latitude-longitude grid to the spherical forms with cos(latitude).

namespace {

constexpr double KM100_PER_DEG = 1.11195;  // 100 km in a degree of latitude
constexpr double TWO_OMEGA = 14.584;       // twice the earth's rotation, 1e-5 /s
constexpr double DEG2RAD = 0.017453292519943295;
const double NaN = std::numeric_limits<double>::quiet_NaN();


bool conformal_map(int proj) { return proj == PROJ_PS || proj == PROJ_LAMB || proj == PROJ_MERC; }

// Plane position of the point (column i, row j; row 0 on top), columns and rows counted
// from the centre with integer halving as for the point coordinates. The domain must be
// current.
void plane_point(const DomainRec& d, float xc, float yc, int i, int j, float* x, float* y) {
  *x = static_cast<float>(xc + static_cast<double>(i - (d.nx - 1) / 2) * d.dx);
  *y = static_cast<float>(yc + static_cast<double>((d.ny - 1) / 2 - j) * d.dy);
}

const Metric& grid_metric(const DomainRec& d) {
  if (st.metric_ready && st.metric.domain.proj == d.proj && DOM_comp(&st.metric.domain, &d)) return st.metric;
  st.metric = Metric{};
  st.metric.domain = d;
  const int nx = d.nx > 0 ? d.nx : 0, ny = d.ny > 0 ? d.ny : 0;
  st.metric.nx = nx;
  st.metric.ny = ny;
  const std::size_t n = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
  st.metric.rx.assign(n, 1.0);
  st.metric.ry.assign(n, 1.0);
  st.metric.lat.assign(n, MISSING);
  if (d.proj == PROJ_LL) {
    st.metric.hx = d.dx * KM100_PER_DEG;
    st.metric.hy = d.dy * KM100_PER_DEG;
    for (int j = 0; j < ny; ++j) {
      const double la = d.clat - (ny - 1) * 0.5 * d.dy + (ny - 1 - j) * static_cast<double>(d.dy);
      // A row on a pole has no east-west extent.
      const double c = std::fabs(la) >= 90.0 ? 0.0 : std::cos(la * DEG2RAD);
      for (int i = 0; i < nx; ++i) {
        const std::size_t k = static_cast<std::size_t>(j) * nx + i;
        st.metric.rx[k] = c;
        st.metric.lat[k] = static_cast<float>(la);
      }
    }
  } else {
    const double scale = (d.p5 != MISSING && d.p5 > 0.0f) ? d.p5 : 1.0;
    st.metric.hx = d.dx * scale;
    st.metric.hy = d.dy * scale;
    GRD_DomainGuard guard;
    MAP_domain(&d);
    float xc = 0.0f, yc = 0.0f;
    if (!MAP_tran(&xc, &yc, d.clat, d.clon)) xc = yc = 0.0f;
    const bool conformal = conformal_map(d.proj);
    for (int j = 0; j < ny; ++j) {
      for (int i = 0; i < nx; ++i) {
        const std::size_t k = static_cast<std::size_t>(j) * nx + i;
        float x = 0.0f, y = 0.0f, la = MISSING, lo = MISSING;
        plane_point(d, xc, yc, i, j, &x, &y);
        if (MAP_untran(&la, &lo, x, y)) st.metric.lat[k] = la;
        if (!conformal) continue;
        const float m = la == MISSING ? MISSING : MAP_point_scale(la);
        st.metric.rx[k] = st.metric.ry[k] = m == MISSING ? 0.0 : 1.0 / m;
      }
    }
  }
  // Without a usable spacing no derivative can be formed.
  if (!(st.metric.hx > 0.0) || !std::isfinite(st.metric.hx)) st.metric.rx.assign(n, 0.0);
  if (!(st.metric.hy > 0.0) || !std::isfinite(st.metric.hy)) st.metric.ry.assign(n, 0.0);
  st.metric_ready = true;
  return st.metric;
}

// A field at (column, row): NaN for a missing value.
struct Field {
  const float* v;
  int nx;
  double operator()(int i, int j) const {
    const float x = v[static_cast<std::size_t>(j) * nx + i];
    return x == MISSING ? NaN : x;
  }
};

// Differences across a point, in grid steps: centred where both neighbours are valid,
// one-sided at the edges and next to missing neighbours, 0 when both are missing, NaN
// at a missing point.
template <class F>
double diff_x(const F& f, int i, int j, int nx) {
  const double v = f(i, j);
  if (std::isnan(v)) return NaN;
  double lo = v, up = v;
  int n = 0;
  if (i > 0 && !std::isnan(f(i - 1, j))) lo = f(i - 1, j), ++n;
  if (i + 1 < nx && !std::isnan(f(i + 1, j))) up = f(i + 1, j), ++n;
  return n == 2 ? 0.5 * (up - lo) : up - lo;
}

// Northward: the row above (previous in storage) minus the row below.
template <class F>
double diff_y(const F& f, int i, int j, int ny) {
  const double v = f(i, j);
  if (std::isnan(v)) return NaN;
  double lo = v, up = v;
  int n = 0;
  if (j + 1 < ny && !std::isnan(f(i, j + 1))) lo = f(i, j + 1), ++n;
  if (j > 0 && !std::isnan(f(i, j - 1))) up = f(i, j - 1), ++n;
  return n == 2 ? 0.5 * (up - lo) : up - lo;
}

// Second difference along one direction (step di, dj): the two neighbours, or at an edge
// or a missing neighbour the two points on the other side.
template <class F>
double diff2(const F& f, int i, int j, int di, int dj, int nx, int ny) {
  auto at = [&](int s) {
    const int a = i + s * di, b = j + s * dj;
    return (a < 0 || b < 0 || a >= nx || b >= ny) ? NaN : f(a, b);
  };
  const double v = at(0);
  if (std::isnan(v)) return NaN;
  const double m1 = at(-1), p1 = at(1);
  if (!std::isnan(m1) && !std::isnan(p1)) return m1 + p1 - 2.0 * v;
  if (!std::isnan(p1) && !std::isnan(at(2))) return v + at(2) - 2.0 * p1;
  if (!std::isnan(m1) && !std::isnan(at(-2))) return v + at(-2) - 2.0 * m1;
  return NaN;
}

bool same_size(const GridRec* a, const GridRec* b) {
  return a && b && a->domain.nx == b->domain.nx && a->domain.ny == b->domain.ny;
}

// Makes out ready for a field shaped like `like` (out may be like itself); false, with
// "<who>: No memory for grid field", when its values cannot be had.
bool ensure_output(GridRec* out, const GridRec* like, const char* who) {
  if (out == like) return true;
  if (out->values && same_size(out, like) && out->domain.proj != MISSING_INT) return true;
  if (!same_size(out, like) || out->domain.proj == MISSING_INT) {
    GRD_free_values(out);
    GRD_copy_info(out, like);
  }
  if (!out->values) out->values = static_cast<float*>(std::malloc(point_count(like) * sizeof(float)));
  if (!out->values) {
    MESS_print(MESS_WARN, "%s: No memory for grid field\n", who);
    return false;
  }
  return true;
}

// Evaluates fn(k, i, j) (NaN: missing) at every point of the inputs' grid into out.
// Inputs must all hold values of one size. 0, or -1 when they do not or out cannot be had.
template <class Fn>
int fill_grid(const char* who, GridRec* out, std::initializer_list<const GridRec*> inputs, Fn&& fn) {
  const GridRec* first = *inputs.begin();
  for (const GridRec* g : inputs)
    if (!has_values(g) || !same_size(g, first)) return -1;
  if (!out) return -1;
  const int nx = first->domain.nx, ny = first->domain.ny;
  std::vector<float> res(point_count(first));
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const std::size_t k = static_cast<std::size_t>(j) * nx + i;
      const double r = fn(k, i, j);
      res[k] = (std::isfinite(r) && std::fabs(r) < 3.0e38) ? static_cast<float>(r) : MISSING;
    }
  }
  if (!ensure_output(out, first, who)) return -1;
  std::memcpy(out->values, res.data(), res.size() * sizeof(float));
  return 0;
}

// Field times a per-point factor; NaN where the factor is not positive.
struct Scaled {
  Field f;
  const std::vector<double>& s;
  bool invert;
  double operator()(int i, int j) const {
    const double x = f(i, j);
    const double w = s[static_cast<std::size_t>(j) * f.nx + i];
    if (invert) return w > 0.0 ? x / w : NaN;
    return x * w;
  }
};

// Divergence (sign +1) of (u, v), or its vorticity with sign -1 and the components swapped
// by the caller: (ry/rxry) d(a ry)/dX + sign (rx/rxry) d(b rx)/dY.
double flux_form(const Metric& m, const GridRec* a, const GridRec* b, double sign, std::size_t k, int i, int j) {
  const double w = m.rx[k] * m.ry[k];
  if (!(w > 0.0) || a->values[k] == MISSING || b->values[k] == MISSING) return NaN;
  const Field fa{a->values, m.nx}, fb{b->values, m.nx};
  const double dx = diff_x(Scaled{fa, m.ry, false}, i, j, m.nx) / m.hx;
  const double dy = diff_y(Scaled{fb, m.rx, false}, i, j, m.ny) / m.hy;
  return (dx + sign * dy) / w;
}

// Deformation terms: (ry/rx) d(a/ry)/dX and (rx/ry) d(b/rx)/dY.
void deform_terms(const Metric& m, const GridRec* a, const GridRec* b, std::size_t k, int i, int j, double* tx,
                  double* ty) {
  const double rx = m.rx[k], ry = m.ry[k];
  if (!(rx > 0.0 && ry > 0.0) || a->values[k] == MISSING || b->values[k] == MISSING) {
    *tx = *ty = NaN;
    return;
  }
  const Field fa{a->values, m.nx}, fb{b->values, m.nx};
  *tx = ry / rx * diff_x(Scaled{fa, m.ry, true}, i, j, m.nx) / m.hx;
  *ty = rx / ry * diff_y(Scaled{fb, m.rx, true}, i, j, m.ny) / m.hy;
}

}  // namespace

int GRD_dx(GridRec* in, GridRec* out) {
  if (!has_values(in)) return -1;
  const Metric& m = grid_metric(in->domain);
  const Field f{in->values, m.nx};
  return fill_grid("GRD_dx", out, {in}, [&](std::size_t k, int i, int j) {
    return m.rx[k] > 0.0 ? diff_x(f, i, j, m.nx) / (m.hx * m.rx[k]) : NaN;
  });
}

int GRD_dy(GridRec* in, GridRec* out) {
  if (!has_values(in)) return -1;
  const Metric& m = grid_metric(in->domain);
  const Field f{in->values, m.nx};
  return fill_grid("GRD_dy", out, {in}, [&](std::size_t k, int i, int j) {
    return m.ry[k] > 0.0 ? diff_y(f, i, j, m.ny) / (m.hy * m.ry[k]) : NaN;
  });
}

int GRD_vorticity(GridRec* u, GridRec* v, GridRec* out) {
  if (!has_values(u)) return -1;
  const Metric& m = grid_metric(u->domain);
  // dv/dx - du/dy: the flux form of (v, u) with the second term subtracted.
  return fill_grid("GRD_vorticity", out, {u, v},
                   [&](std::size_t k, int i, int j) { return flux_form(m, v, u, -1.0, k, i, j); });
}

int GRD_converge(GridRec* u, GridRec* v, GridRec* out, GridRec* s) {
  if (!has_values(u)) return -1;
  const Metric& m = grid_metric(u->domain);
  auto conv = [&](std::size_t k, int i, int j) {
    const double c = -flux_form(m, u, v, 1.0, k, i, j);
    if (!s) return c;
    return s->values[k] == MISSING ? NaN : c * s->values[k];
  };
  if (s) return fill_grid("GRD_converge", out, {u, v, s}, conv);
  return fill_grid("GRD_converge", out, {u, v}, conv);
}

int GRD_advection(GridRec* u, GridRec* v, GridRec* s, GridRec* out) {
  if (!has_values(s)) return -1;
  const Metric& m = grid_metric(s->domain);
  const Field f{s->values, m.nx};
  return fill_grid("GRD_advection", out, {s, u, v}, [&](std::size_t k, int i, int j) {
    const float a = u->values[k], b = v->values[k];
    if (a == MISSING || b == MISSING || !(m.rx[k] > 0.0 && m.ry[k] > 0.0)) return NaN;
    const double sx = diff_x(f, i, j, m.nx) / (m.hx * m.rx[k]);
    const double sy = diff_y(f, i, j, m.ny) / (m.hy * m.ry[k]);
    return -a * sx - b * sy;
  });
}

int GRD_deformation1(GridRec* u, GridRec* v, GridRec* out) {
  if (!has_values(u)) return -1;
  const Metric& m = grid_metric(u->domain);
  return fill_grid("GRD_deformation1", out, {u, v}, [&](std::size_t k, int i, int j) {
    double tx, ty;
    deform_terms(m, u, v, k, i, j, &tx, &ty);
    return tx - ty;
  });
}

int GRD_deformation2(GridRec* u, GridRec* v, GridRec* out) {
  if (!has_values(u)) return -1;
  const Metric& m = grid_metric(u->domain);
  return fill_grid("GRD_deformation2", out, {u, v}, [&](std::size_t k, int i, int j) {
    double tx, ty;
    deform_terms(m, v, u, k, i, j, &tx, &ty);
    return -(tx + ty);
  });
}

int GRD_laplacian(GridRec* in, GridRec* out) {
  if (!has_values(in)) return -1;
  const Metric& m = grid_metric(in->domain);
  const Field f{in->values, m.nx};
  // The ratios of the map factors; constant on a conformal map, where their terms vanish.
  auto ratio = [&](const std::vector<double>& a, const std::vector<double>& b) {
    return [&a, &b, nx = m.nx](int i, int j) {
      const std::size_t k = static_cast<std::size_t>(j) * nx + i;
      return b[k] > 0.0 ? a[k] / b[k] : NaN;
    };
  };
  const auto qx = ratio(m.ry, m.rx), qy = ratio(m.rx, m.ry);
  return fill_grid("GRD_laplacian", out, {in}, [&](std::size_t k, int i, int j) {
    const double rx = m.rx[k], ry = m.ry[k];
    if (!(rx > 0.0 && ry > 0.0)) return NaN;
    const double fxx = diff2(f, i, j, 1, 0, m.nx, m.ny), fyy = diff2(f, i, j, 0, -1, m.nx, m.ny);
    double lap = fxx / (m.hx * m.hx * rx * rx) + fyy / (m.hy * m.hy * ry * ry);
    if (std::isnan(lap)) return NaN;
    const double cx = diff_x(qx, i, j, m.nx), cy = diff_y(qy, i, j, m.ny);
    if (cx != 0.0 && !std::isnan(cx)) lap += diff_x(f, i, j, m.nx) * cx / (m.hx * m.hx * rx * ry);
    if (cy != 0.0 && !std::isnan(cy)) lap += diff_y(f, i, j, m.ny) * cy / (m.hy * m.hy * rx * ry);
    return lap;
  });
}

int GRD_coriolis(GridRec* grid, const char* operation) {
  if (!has_values(grid) || !operation) return -1;
  enum { ADD, SUB, SUBR, MUL, DIV, DIVR } op;
  if (stricmp(operation, "add") == 0) op = ADD;
  else if (stricmp(operation, "sub") == 0) op = SUB;
  else if (stricmp(operation, "sub-") == 0) op = SUBR;
  else if (stricmp(operation, "mul") == 0) op = MUL;
  else if (stricmp(operation, "div") == 0) op = DIV;
  else if (stricmp(operation, "div-") == 0) op = DIVR;
  else return -1;
  const Metric& m = grid_metric(grid->domain);
  const std::size_t n = point_count(grid);
  for (std::size_t k = 0; k < n; ++k) {
    float& v = grid->values[k];
    if (v == MISSING) continue;
    if (m.lat[k] == MISSING) {
      v = MISSING;
      continue;
    }
    const double f = TWO_OMEGA * std::sin(m.lat[k] * DEG2RAD);
    double r = 0.0;
    switch (op) {
      case ADD: r = v + f; break;
      case SUB: r = v - f; break;
      case SUBR: r = f - v; break;
      case MUL: r = v * f; break;
      case DIV: r = f != 0.0 ? v / f : NaN; break;
      case DIVR: r = v != 0.0f ? f / v : NaN; break;
    }
    v = std::isfinite(r) ? static_cast<float>(r) : MISSING;
  }
  return 0;
}

// ---- grid functions ----

int GRD_find_num_data(GridRec** args, const float* consts) {
  int n = 0;
  while (n < MAX_ARGS && ((args && args[n]) || (consts && consts[n] != MISSING))) ++n;
  return n;
}

float GRD_get_math_val(int index, GridRec** args, const float* consts, std::size_t point) {
  if (index < 0 || index >= MAX_ARGS) return MISSING;
  if (args && args[index] && args[index]->values) return args[index]->values[point];
  return consts ? consts[index] : MISSING;
}

int GRD_math_setup(const char* name, GridRec** out, int nout, GridRec** args, const float* consts, int nargs,
                   const char* units, const char* label) {
  if (!out || !out[0] || nargs > MAX_ARGS) return 0;
  const GridRec* like = nullptr;
  for (int k = 0; k < nargs; ++k) {
    GridRec* g = args ? args[k] : nullptr;
    const bool constant = consts && consts[k] != MISSING;
    if (g && g->values) {
      if (!has_values(g) || (like && !same_size(g, like))) return 0;
      if (!like) like = g;
    } else if (!constant) {
      return 0;
    }
  }
  for (int o = 0; o < nout; ++o) {
    GridRec* g = out[o];
    if (!g) return 0;
    if (like && g != like) {
      if (!ensure_output(g, like, "GRD_math")) return 0;
    } else if (!g->values && (point_count(g) == 0 || !GRD_alloc(g))) {
      return 0;
    }
    if (!has_values(g) || (like && !same_size(g, like))) return 0;
    const int var = VAR_search_var_num(base_name(name).c_str());
    if (var) g->var = var;
    // Arithmetic keeps the description of what it works on.
    if (label)
      copy_bounded(g->datatype, sizeof g->datatype, label);
    else if (like && like != g && like->datatype[0])
      std::memcpy(g->datatype, like->datatype, sizeof g->datatype);
    if (units) {
      copy_bounded(g->units, sizeof g->units, units);
      UNIT_change(g->datatype, units);
    }
  }
  return 1;
}

namespace {

// How a grid function is evaluated.
enum class Kind {
  POINT,     // point by point: missing in, missing out
  LOOSE,     // point by point over any number of arguments, missing arguments allowed
  DERIV,     // derivative operators on whole grids
  VECTOR,    // two output components
  SPECIAL,   // point coordinates, smoothing, winds turned on the map
};

// Units each argument is taken in (null: as it comes), and the result's units and label.
struct MathFunc {
  const char* name;
  Kind kind;
  int nargs;  // -1: any number (at least one)
  std::array<const char*, 4> arg_units;
  const char* units;
  const char* label;
};

constexpr const char* NO = nullptr;

const MathFunc math_funcs[] = {
    {"copy", Kind::POINT, 1, {}, NO, NO},
    {"max", Kind::LOOSE, -1, {}, NO, NO},
    {"min", Kind::LOOSE, -1, {}, NO, NO},
    {"sum", Kind::LOOSE, -1, {}, NO, NO},
    {"avg", Kind::LOOSE, -1, {}, NO, NO},
    {"add", Kind::POINT, 2, {}, NO, NO},
    {"sub", Kind::POINT, 2, {}, NO, NO},
    {"thick", Kind::POINT, 2, {}, NO, NO},
    {"interp", Kind::POINT, 3, {}, NO, NO},
    {"mul", Kind::POINT, 2, {}, NO, NO},
    {"div", Kind::POINT, 2, {}, NO, NO},
    {"mod", Kind::POINT, 2, {}, NO, NO},
    {"pow", Kind::POINT, 2, {}, NO, NO},
    {"sqrt", Kind::POINT, 1, {}, NO, NO},
    {"exp", Kind::POINT, 1, {}, NO, NO},
    {"log", Kind::POINT, 1, {}, NO, NO},
    {"log10", Kind::POINT, 1, {}, NO, NO},
    {"abs", Kind::POINT, 1, {}, NO, NO},
    {"sin", Kind::POINT, 1, {}, NO, NO},
    {"cos", Kind::POINT, 1, {}, NO, NO},
    {"tan", Kind::POINT, 1, {}, NO, NO},
    {"asin", Kind::POINT, 1, {}, "deg", NO},
    {"acos", Kind::POINT, 1, {}, "deg", NO},
    {"atan", Kind::POINT, 1, {}, "deg", NO},
    {"atan2", Kind::POINT, 2, {}, "deg", NO},
    {"dewp", Kind::POINT, 2, {"K"}, "K", "Dew point"},
    {"rhum", Kind::POINT, 2, {"K", "K"}, "%", "Relative humidity"},
    {"wetblb", Kind::POINT, 3, {"K", "K", "mb"}, "K", "Wet-bulb temperature"},
    {"show", Kind::POINT, 3, {"K", "K", "K"}, "K", "Showalter index"},
    {"wchill", Kind::POINT, 2, {"K", "m/s"}, "K", "Wind chill"},
    {"wchill2", Kind::POINT, 2, {"K", "m/s"}, "K", "Wind chill"},
    {"heat", Kind::POINT, 2, {"K", "K"}, "K", "Heat index"},
    {"theta", Kind::POINT, 2, {"K", "mb"}, "K", "Potential temperature"},
    {"thetae", Kind::POINT, 3, {"K", "K", "mb"}, "K", "Equivalent potential temperature"},
    {"vtemp", Kind::POINT, 3, {"K", "K", "mb"}, "K", "Virtual temperature"},
    {"thetav", Kind::POINT, 3, {"K", "K", "mb"}, "K", "Virtual potential temperature"},
    {"vapor", Kind::POINT, 1, {"K"}, "mb", "Vapor pressure"},
    {"shum", Kind::POINT, 2, {"K", "mb"}, "gm/kg", "Specific humidity"},
    {"mixrat", Kind::POINT, 2, {"K", "mb"}, "gm/kg", "Mixing ratio"},
    {"pr_alt", Kind::POINT, 1, {"mb"}, "m", "Pressure altitude"},
    {"wspd", Kind::POINT, 2, {"m/s", "m/s"}, "m/s", "Speed"},
    {"spd", Kind::POINT, 2, {"m/s", "m/s"}, "m/s", "Speed"},
    {"mag", Kind::POINT, 2, {}, NO, "Speed"},
    {"wdir", Kind::POINT, 2, {}, "deg", "Direction"},
    {"dir", Kind::POINT, 2, {}, "deg", "Direction"},
    {"dot", Kind::POINT, 4, {}, NO, NO},
    {"cross", Kind::POINT, 4, {}, NO, NO},
    {"uq", Kind::POINT, 2, {}, NO, NO},
    {"vq", Kind::POINT, 2, {}, NO, NO},
    {"dx", Kind::DERIV, 1, {}, "/m", NO},
    {"dy", Kind::DERIV, 1, {}, "/m", NO},
    {"lapl", Kind::DERIV, 1, {}, "/m^2", "Laplacian"},
    {"conv", Kind::DERIV, -1, {}, "/s", "Convergence"},
    {"diverg", Kind::DERIV, 2, {}, "/s", "Divergence"},
    {"vconv", Kind::DERIV, 3, {}, "/s", "Convergence"},
    {"def1", Kind::DERIV, 2, {}, "/s", "Stretching deformation"},
    {"def2", Kind::DERIV, 2, {}, "/s", "Shearing deformation"},
    {"rvort", Kind::DERIV, 2, {}, "/s", "Vorticity"},
    {"avort", Kind::DERIV, 2, {}, "/s", "Absolute vorticity"},
    {"adv", Kind::DERIV, 3, {}, "/s", "Advection"},
    {"ugeos", Kind::DERIV, 1, {"mb"}, "m/s", "Geostrophic wind"},
    {"vgeos", Kind::DERIV, 1, {"mb"}, "m/s", "Geostrophic wind"},
    {"grad", Kind::VECTOR, 1, {}, "/m", "Gradient"},
    {"vdiff", Kind::VECTOR, 4, {}, NO, "Vector Diff"},
    {"smooth", Kind::SPECIAL, 1, {}, NO, NO},
    {"lat", Kind::SPECIAL, 1, {}, NO, NO},
    {"lon", Kind::SPECIAL, 1, {}, NO, NO},
    {"projx", Kind::SPECIAL, 1, {}, NO, NO},
    {"projy", Kind::SPECIAL, 1, {}, NO, NO},
    {"ewdir", Kind::SPECIAL, 2, {}, "deg", "Direction"},
    {"uwnd", Kind::SPECIAL, 2, {}, NO, "U wind"},
    {"vwnd", Kind::SPECIAL, 2, {}, NO, "V wind"},
    {"uwndg", Kind::SPECIAL, 2, {}, NO, "U wind"},
    {"vwndg", Kind::SPECIAL, 2, {}, NO, "V wind"},
};

const MathFunc* find_math_func(const std::string& name) {
  for (const MathFunc& f : math_funcs)
    if (stricmp(name.c_str(), f.name) == 0) return &f;
  return nullptr;
}

// Argument values at one point, already in the units the function takes.
struct ArgReader {
  GridRec** args;
  const float* consts;
  int n;
  double scale[MAX_ARGS];
  double offset[MAX_ARGS];

  ArgReader(GridRec** a, const float* c, int count, const std::array<const char*, 4>& units)
      : args(a), consts(c), n(count) {
    for (int k = 0; k < MAX_ARGS; ++k) {
      scale[k] = 1.0;
      offset[k] = 0.0;
      const char* to = k < 4 ? units[k] : nullptr;
      GridRec* g = (args && k < n) ? args[k] : nullptr;
      if (!to || !g || !g->units[0]) continue;
      char from[sizeof g->units + 1];
      copy_bounded(from, sizeof from, std::string_view(g->units, strnlen(g->units, sizeof g->units)));
      // Unit changes here are linear; an unknown pair leaves the values as they are.
      const float zero = UNIT_cvt(from, to, 0.0f), one = UNIT_cvt(from, to, 1.0f);
      if (zero == 0.0f && one == 0.0f) continue;
      offset[k] = zero;
      scale[k] = static_cast<double>(one) - zero;
    }
  }
  bool as_is(int k) const {
    return args && k < n && args[k] && args[k]->values && scale[k] == 1.0 && offset[k] == 0.0;
  }
  double operator()(int k, std::size_t point) const {
    const float v = GRD_get_math_val(k, args, consts, point);
    return v == MISSING ? NaN : v * scale[k] + offset[k];
  }
};

double deg_sin(double a) { return std::sin(a * DEG2RAD); }
double to_deg(double a) { return a / DEG2RAD; }
double or_nan(float v) { return v == MISSING ? NaN : v; }

// Meteorological direction (where the wind blows from) of the components u, v.
double wind_dir(double u, double v) {
  if (u == 0.0 && v == 0.0) return 0.0;
  double d = to_deg(std::atan2(-u, -v));
  return d < 0.0 ? d + 360.0 : d;
}

// The result of a point function with all its arguments valid.
double point_value(const std::string& f, const double* a) {
  auto is = [&f](const char* n) { return f == n; };
  if (is("copy")) return a[0];
  if (is("add")) return a[0] + a[1];
  if (is("sub") || is("thick")) return a[0] - a[1];
  if (is("interp")) return a[0] + a[1] * (a[2] - a[0]);
  if (is("mul")) return a[0] * a[1];
  if (is("div")) return a[1] != 0.0 ? a[0] / a[1] : NaN;
  if (is("mod")) return std::fmod(a[0], a[1]);
  if (is("pow")) return std::pow(a[0], a[1]);
  if (is("sqrt")) return a[0] >= 0.0 ? std::sqrt(a[0]) : NaN;
  if (is("exp")) return std::exp(a[0]);
  if (is("log")) return a[0] > 0.0 ? std::log(a[0]) : NaN;
  if (is("log10")) return a[0] > 0.0 ? std::log10(a[0]) : NaN;
  if (is("abs")) return std::fabs(a[0]);
  if (is("sin")) return deg_sin(a[0]);
  if (is("cos")) return std::cos(a[0] * DEG2RAD);
  if (is("tan")) return std::tan(a[0] * DEG2RAD);
  if (is("asin")) return std::fabs(a[0]) <= 1.0 ? to_deg(std::asin(a[0])) : NaN;
  if (is("acos")) return std::fabs(a[0]) <= 1.0 ? to_deg(std::acos(a[0])) : NaN;
  if (is("atan")) return to_deg(std::atan(a[0]));
  if (is("atan2")) return (a[0] == 0.0 && a[1] == 0.0) ? NaN : to_deg(std::atan2(a[0], a[1]));
  const float x = static_cast<float>(a[0]), y = static_cast<float>(a[1]), z = static_cast<float>(a[2]);
  if (is("dewp")) return or_nan(dew_temp(x, y));
  if (is("rhum")) return or_nan(rel_hum(x, y));
  if (is("wetblb")) return or_nan(wet_bulb(x, y, z));
  if (is("show")) {
    // Showalter: the 500 mb temperature less that of a parcel lifted from 850 mb.
    const float te = eq_pot_temp(x, y, 850.0f);
    const float tp = te == MISSING ? MISSING : temp_on_satad(te, 500.0f);
    return tp == MISSING || tp <= 0.0f ? NaN : a[2] - tp;
  }
  if (is("wchill")) return or_nan(wind_chill_temp(x, y));
  if (is("wchill2")) return or_nan(wind_chill_temp2(x, y));
  if (is("heat")) return or_nan(heat_index(x, y));
  if (is("theta")) return or_nan(pot_temp(x, y));
  if (is("thetae")) return or_nan(eq_pot_temp(x, y, z));
  if (is("vtemp")) return or_nan(virt_temp(x, y, z));
  if (is("thetav")) return or_nan(virt_pot_temp(x, y, z));
  if (is("vapor")) return or_nan(vapor_pr(x));
  if (is("shum")) return or_nan(spec_hum(x, y));
  if (is("mixrat")) return or_nan(mix_ratio(x, y));
  if (is("pr_alt")) return or_nan(pres_alt(x));
  if (is("wspd") || is("spd") || is("mag")) return std::hypot(a[0], a[1]);
  if (is("wdir") || is("dir")) return wind_dir(a[0], a[1]);
  if (is("dot")) return a[0] * a[2] + a[1] * a[3];
  if (is("cross")) return a[0] * a[3] - a[1] * a[2];
  if (is("uq") || is("vq")) return a[0] * a[1];
  return NaN;
}

// Whole-grid loop of a point function into out[0].
int math_points(const MathFunc& fn, const std::string& f, GridRec** out, GridRec** args, const float* consts,
                int nargs) {
  const ArgReader arg(args, consts, nargs, fn.arg_units);
  const std::size_t n = point_count(out[0]);
  std::vector<float> res(n);
  double a[MAX_ARGS];
  for (std::size_t k = 0; k < n; ++k) {
    int valid = 0;
    for (int i = 0; i < nargs; ++i) {
      a[i] = arg(i, k);
      if (!std::isnan(a[i])) ++valid;
    }
    double r = NaN;
    if (fn.kind == Kind::POINT) {
      if (valid == nargs) r = point_value(f, a);
    } else if (f == "avg") {
      if (valid == nargs) {
        r = 0.0;
        for (int i = 0; i < nargs; ++i) r += a[i];
        r /= nargs;
      }
    } else if (f == "sum") {
      r = 0.0;
      for (int i = 0; i < nargs; ++i)
        if (!std::isnan(a[i])) r += a[i];
    } else {  // max, min
      for (int i = 0; i < nargs; ++i) {
        if (std::isnan(a[i])) continue;
        if (std::isnan(r) || (f == "max" ? a[i] > r : a[i] < r)) r = a[i];
      }
    }
    res[k] = (std::isfinite(r) && std::fabs(r) < 3.0e38) ? static_cast<float>(r) : MISSING;
  }
  std::memcpy(out[0]->values, res.data(), n * sizeof(float));
  return 1;
}

// A grid of the argument values (constants spread over the grid), for operators that
// take grids; shaped like `like`.
struct ArgGrid {
  GridRec grid{};
  std::vector<float> values;
  // A grid argument taken as it is shares its values (writable only with a copy).
  ArgGrid(const GridRec* like, const ArgReader& arg, int k, bool copy) {
    if (!copy && arg.as_is(k)) {
      grid = *arg.args[k];
      return;
    }
    grid = *like;
    values.resize(point_count(like));
    for (std::size_t p = 0; p < values.size(); ++p) {
      const double v = arg(k, p);
      values[p] = std::isnan(v) ? MISSING : static_cast<float>(v);
    }
    grid.values = values.data();
  }
};

// Geostrophic wind component from a pressure field (mb) near the surface.
int geostrophic(GridRec* p, GridRec* out, bool u_comp) {
  constexpr double RHO = 1.225;  // kg/m^3, standard sea-level air
  const int rc = u_comp ? GRD_dy(p, out) : GRD_dx(p, out);
  if (rc != 0) return rc;
  const Metric& m = grid_metric(p->domain);
  const std::size_t n = point_count(out);
  for (std::size_t k = 0; k < n; ++k) {
    float& g = out->values[k];
    const double f = m.lat[k] == MISSING ? 0.0 : TWO_OMEGA * deg_sin(m.lat[k]);
    // Too near the equator the balance says nothing.
    if (g == MISSING || std::fabs(f) < TWO_OMEGA * deg_sin(5.0)) {
      g = MISSING;
      continue;
    }
    // mb per 100 km is 1e-3 Pa/m; f is in 1e-5 /s.
    const double v = 100.0 * g / (RHO * f);
    g = static_cast<float>(u_comp ? -v : v);
  }
  return 0;
}

int math_derivative(const std::string& f, GridRec** out, GridRec** args, const float* consts, int nargs) {
  const MathFunc& fn = *find_math_func(f);
  // The first argument grid gives the shape; the others may be constants.
  const GridRec* like = out[0];
  const ArgReader arg(args, consts, nargs, fn.arg_units);
  std::vector<ArgGrid> g;
  g.reserve(static_cast<std::size_t>(nargs));
  // Flux convergence scales its components in place.
  for (int k = 0; k < nargs; ++k) g.emplace_back(like, arg, k, f == "vconv");
  GridRec* a = &g[0].grid;
  GridRec* b = nargs > 1 ? &g[1].grid : nullptr;
  GridRec* c = nargs > 2 ? &g[2].grid : nullptr;
  int rc = -1;
  if (f == "dx") rc = GRD_dx(a, out[0]);
  else if (f == "dy") rc = GRD_dy(a, out[0]);
  else if (f == "lapl") rc = GRD_laplacian(a, out[0]);
  else if (f == "conv" && (nargs == 2 || nargs == 3)) rc = GRD_converge(a, b, out[0], c);
  else if (f == "diverg") {
    rc = GRD_converge(a, b, out[0], nullptr);
    if (rc == 0) GRD_scale(out[0], -1.0f);
  } else if (f == "vconv") {
    // Flux convergence -div(sV): the components carry the scalar.
    for (std::size_t p = 0; p < point_count(a); ++p) {
      const float s = c->values[p];
      for (GridRec* w : {a, b})
        w->values[p] = (s == MISSING || w->values[p] == MISSING) ? MISSING : w->values[p] * s;
    }
    rc = GRD_converge(a, b, out[0], nullptr);
  } else if (f == "def1") rc = GRD_deformation1(a, b, out[0]);
  else if (f == "def2") rc = GRD_deformation2(a, b, out[0]);
  else if (f == "rvort") rc = GRD_vorticity(a, b, out[0]);
  else if (f == "avort") {
    rc = GRD_vorticity(a, b, out[0]);
    if (rc == 0) rc = GRD_coriolis(out[0], "add");
  } else if (f == "adv") rc = GRD_advection(a, b, c, out[0]);
  else if (f == "ugeos" || f == "vgeos") rc = geostrophic(a, out[0], f == "ugeos");
  return rc == 0;
}

// Point functions that need the map: winds from speed and direction, directions turned to
// the earth, point coordinates and smoothing.
int math_special(const std::string& f, GridRec** out, GridRec** args, const float* consts, int nargs) {
  GridRec* o = out[0];
  const std::size_t n = point_count(o);
  if (f == "lat" || f == "lon" || f == "projx" || f == "projy") {
    std::fill(o->values, o->values + n, 0.0f);
    return GRD_point_locate(o, f.c_str()) == 0;
  }
  const ArgReader arg(args, consts, nargs, {});
  std::vector<float> res(n, MISSING);
  if (f == "smooth") {
    // 1-2-1 in both directions over the valid neighbours; a missing point stays missing.
    // Passes from the second argument, 1 to 100 (a silly or absent count gives 1).
    const float want = nargs > 1 && consts ? consts[1] : 1.0f;
    const int passes = want >= 1.0f ? (want <= 100.0f ? static_cast<int>(want) : 100) : 1;
    const int nx = o->domain.nx, ny = o->domain.ny;
    for (std::size_t k = 0; k < n; ++k) res[k] = std::isnan(arg(0, k)) ? MISSING : static_cast<float>(arg(0, k));
    std::vector<float> src;
    for (int pass = 0; pass < passes; ++pass) {
      src = res;
      for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
          const std::size_t k = static_cast<std::size_t>(j) * nx + i;
          if (src[k] == MISSING) continue;
          double sum = 0.0, w = 0.0;
          for (int dj = -1; dj <= 1; ++dj) {
            for (int di = -1; di <= 1; ++di) {
              const int a = i + di, b = j + dj;
              if (a < 0 || b < 0 || a >= nx || b >= ny) continue;
              const float v = src[static_cast<std::size_t>(b) * nx + a];
              if (v == MISSING) continue;
              const double wt = (di == 0 ? 2.0 : 1.0) * (dj == 0 ? 2.0 : 1.0);
              sum += wt * v;
              w += wt;
            }
          }
          res[k] = static_cast<float>(sum / w);
        }
      }
    }
  } else {
    GRD_DomainGuard guard;
    const DomainRec& d = o->domain;
    MAP_domain(&d);
    float xc = 0.0f, yc = 0.0f;
    if (!MAP_tran(&xc, &yc, d.clat, d.clon)) xc = yc = 0.0f;
    for (int j = 0; j < d.ny; ++j) {
      for (int i = 0; i < d.nx; ++i) {
        const std::size_t k = static_cast<std::size_t>(j) * d.nx + i;
        const double a = arg(0, k), b = arg(1, k);
        if (std::isnan(a) || std::isnan(b)) continue;
        float x = 0.0f, y = 0.0f;
        plane_point(d, xc, yc, i, j, &x, &y);
        double r;
        if (f == "ewdir") {
          r = MAP_undir_adj(static_cast<float>(wind_dir(a, b)), x, y);
          r = std::fmod(r + 360.0, 360.0);
        } else {
          // Speed a, direction b; the grid-relative forms turn the direction to the map.
          const bool grid_rel = f == "uwndg" || f == "vwndg";
          const double dir = grid_rel ? MAP_dir_adj(static_cast<float>(b), x, y) : b;
          r = (f[0] == 'u' ? -a * deg_sin(dir) : -a * std::cos(dir * DEG2RAD));
        }
        res[k] = std::isfinite(r) ? static_cast<float>(r) : MISSING;
      }
    }
  }
  std::memcpy(o->values, res.data(), n * sizeof(float));
  return 1;
}

int math_vector(const std::string& f, GridRec** out, GridRec** args, const float* consts, int nargs) {
  if (f == "grad") {
    const ArgReader arg(args, consts, nargs, {});
    ArgGrid s(out[0], arg, 0, false);
    return GRD_dx(&s.grid, out[0]) == 0 && GRD_dy(&s.grid, out[1]) == 0;
  }
  const ArgReader arg(args, consts, nargs, {});
  const std::size_t n = point_count(out[0]);
  std::vector<float> ru(n), rv(n);
  for (std::size_t k = 0; k < n; ++k) {
    const double a = arg(0, k), b = arg(1, k), c = arg(2, k), d = arg(3, k);
    const bool ok = !std::isnan(a + b + c + d);
    ru[k] = ok ? static_cast<float>(a - c) : MISSING;
    rv[k] = ok ? static_cast<float>(b - d) : MISSING;
  }
  std::memcpy(out[0]->values, ru.data(), n * sizeof(float));
  std::memcpy(out[1]->values, rv.data(), n * sizeof(float));
  return 1;
}

}  // namespace

int GRD_math(const char* name, GridRec** out, GridRec** args, const float* consts) {
  bool valid = out && out[0] && args;
  for (int k = 0; valid && k < MAX_ARGS; ++k) {
    const bool constant = consts && consts[k] != MISSING;
    if (!args[k] && !constant) break;
    if (args[k] && !args[k]->values && !constant) valid = false;
  }
  if (!valid) {
    MESS_print(MESS_ERROR, "GRD_math: Invalid grids\n");
    return 0;
  }
  std::string f = base_name(name);
  for (char& ch : f) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const MathFunc* fn = find_math_func(f);
  if (!fn) {
    MESS_print(MESS_ERROR, "GRD_math: Math function not available: %s\n", name ? name : "");
    return 0;
  }
  const int given = GRD_find_num_data(args, consts);
  int nargs = fn->nargs < 0 ? given : fn->nargs;
  if (f == "smooth" && given >= 2) nargs = 2;
  if (f == "conv" && given >= 3) nargs = 3;
  if (f == "conv" && given < 3) nargs = 2;
  const int nout = fn->kind == Kind::VECTOR ? 2 : 1;
  if (nargs < 1 || given < nargs || (nout == 2 && !out[1]) ||
      !GRD_math_setup(f.c_str(), out, nout, args, consts, nargs, fn->units, fn->label)) {
    MESS_print(MESS_ERROR, "GRD_math: Invalid grids\n");
    return 0;
  }
  switch (fn->kind) {
    case Kind::POINT:
    case Kind::LOOSE: return math_points(*fn, f, out, args, consts, nargs);
    case Kind::DERIV: return math_derivative(f, out, args, consts, nargs);
    case Kind::VECTOR: return math_vector(f, out, args, consts, nargs);
    case Kind::SPECIAL: return math_special(f, out, args, consts, nargs);
  }
  return 0;
}

void GRD_reset_state() {
  for (GridRec& g : st.grids) GRD_free_values(&g);
  st = GrdState{};
}
