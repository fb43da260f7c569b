// Grid records and grid operations.
//
// Values are held with the C allocator because GridRec is a plain record that is
// copied by assignment (GRD_copy shares the array, GRD_move hands it over).
#include "analysis/grd_tool.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "files/date.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/unittool.h"
#include "surface/var_tool.h"

namespace {

constexpr unsigned LEVEL_MATH = MESS_MESS;  // "Performing grid math" progress line
constexpr int MAX_ARGS = 20;           // constants a grid function can take

// The slot table, initialised on first use. A separate switch rather than a marker in
// a record: a field read from a file may well carry a grid type of -9999.
GridRec grids[GRD_MAX_SLOTS] = {
    GridRec{MISSING_INT, 0, 0, {}, {}, DateRec{}, 0, 0, 0, 0, 0, {}, DomainRec{}, nullptr}};
bool grids_ready = false;
int grid_factor = 1;

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
  grids_ready = true;
  for (GridRec& g : grids) {
    GRD_init(&g);
    g.version = 0;
    g.date = DateRec{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
    g.units[0] = '\0';
    DOM_init(&g.domain);
  }
}

GridRec* GRD_get_grids() {
  if (!grids_ready) GRD_init_grids();
  return grids;
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
  const int f = grid_factor;
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
      if (consts && VAR_get_type(i) == 40) {
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
  if (factor >= 1) grid_factor = factor;
}

int GRD_get_grid_factor() { return grid_factor; }

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
  MESS_print(MESS_ERROR, "GRD_math: Math function not available: %s\n", name ? name : "");
  return 0;
}
