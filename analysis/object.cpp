// Successive-correction objective analysis with Gaussian weights.
//
// Every pass forms, at each grid point, weighted sums over the stations within the radius
// of influence, visiting them in station order. The fast path visits only the stations
// that can reach a grid row (stations bucketed in bands of rows, taken in station order)
// and adds each to the points within its reach; rows are shared among threads. Because
// the stations that count and the order of the sums are those of the plain loop, the
// results are the same to the last bit.
#include "analysis/object.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "plot/maptran.h"

namespace {

constexpr unsigned LEVEL_FIT = MESS_MESS;
constexpr unsigned LEVEL_PASS = MESS_OUT3;
constexpr unsigned LEVEL_DIAG = MESS_OUT4;

constexpr float DEF_FILTER = 1.0f;
constexpr float DEF_RAD_INF = 1000.0f;
constexpr int DEF_NUM_PASS = 1;
constexpr float DEF_CONVERG = 0.2f;
constexpr int MAX_PASS = 4;

float filter = DEF_FILTER;
float rad_inf = DEF_RAD_INF;
int num_pass = DEF_NUM_PASS;
float converg = DEF_CONVERG;
float miss_val = MISSING;
int min_sta = 1;
int grid_factor = 1;

// ---- parameter parsing ----

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool only_blanks(const char* s) {
  while (is_blank(*s)) ++s;
  return *s == '\0';
}

// "miss=<number>" or "miss<number>".
void decode_miss_item(const char* item, const char* who) {
  const char* p = item + 4;
  if (*p == '=') ++p;
  double v = 0.0;
  if (!parse_double(p, &v) || std::fabs(v) > 3.0e38) {
    MESS_print(MESS_WARN, "%s: Invalid missing value substitute \"%s\"\n", who, item);
    return;
  }
  miss_val = static_cast<float>(v);
}

const char* skip_blanks(const char* s) {
  while (is_blank(*s)) ++s;
  return s;
}

void decode_plot_param() {
  int count = 0;
  char** items = nullptr;
  if (RES_getvals("plot_param", &count, &items) <= 0) return;
  for (int i = 0; i < count; ++i) {
    const char* item = skip_blanks(items[i]);
    if (starts_with_ci(item, "miss")) {
      decode_miss_item(item, "OBJ_decode_params");
    } else if (starts_with_ci(item, "gridx")) {
      const char* p = item + 5;
      if (!only_blanks(p)) {
        if (*p == '=') ++p;
        int f = 0;
        if (parse_int(p, &f) && f >= 1)
          grid_factor = f;
        else
          MESS_print(MESS_WARN, "OBJ_decode_params: Invalid grid factor \"%s\"\n", item);
      }
      rad_inf *= static_cast<float>(grid_factor);
    }
  }
  free_parsed_array(count, items);
}

// Parameters outside their accepted ranges fall back to the defaults.
void limit_params() {
  if (!(filter > 0.0f) || !std::isfinite(filter)) filter = DEF_FILTER;
  if (!(rad_inf > 0.0f) || !std::isfinite(rad_inf)) rad_inf = DEF_RAD_INF;
  if (num_pass < 1 || num_pass > MAX_PASS) num_pass = DEF_NUM_PASS;
  if (!(converg >= 0.01f && converg < 1.0f)) converg = DEF_CONVERG;
  if (min_sta < 1) min_sta = 1;
}

void bad_object_value(const char* text) {
  MESS_print(MESS_WARN, "OBJ_decode_params: Invalid object_param value \"%s\"\n", text);
}

// A real value of "object_param": empty keeps the current value, a bad one is reported and
// takes the default.
void read_object_value(const char* item, float* target, float def) {
  if (only_blanks(item)) return;
  double v = 0.0;
  if (parse_double(item, &v)) {
    *target = static_cast<float>(std::clamp(v, -3.0e38, 3.0e38));
  } else {
    bad_object_value(item);
    *target = def;
  }
}

void decode_object_param() {
  const char* text = RES_get("object_param");
  if (text == nullptr || only_blanks(text)) return;
  int count = 0;
  char** items = nullptr;
  if (parse_string(text, ',', &count, &items) <= 0) return;
  if (count > 0) read_object_value(items[0], &filter, DEF_FILTER);
  if (count > 1) read_object_value(items[1], &rad_inf, DEF_RAD_INF);
  if (count > 2 && !only_blanks(items[2])) {
    if (!parse_int(items[2], &num_pass)) {
      bad_object_value(items[2]);
      num_pass = DEF_NUM_PASS;
    }
  }
  if (count > 3) read_object_value(items[3], &converg, DEF_CONVERG);
  if (count > 4 && !only_blanks(items[4])) {
    double v = 0.0;
    if (parse_double(items[4], &v)) {
      min_sta = static_cast<int>(std::clamp(std::trunc(v), -1.0e9, 1.0e9));
    } else {
      bad_object_value(items[4]);
      min_sta = 1;
    }
  }
  free_parsed_array(count, items);
}

// ---- the analysis ----

struct Field {
  int slot;
  float* data;   // caller's station values
  float* grid;   // slot values
  std::vector<float> resid;
  double sum_sq;
  int count;
};

struct Sums {
  double s;
  double w;
  int n;
};

// Geometry shared by every pass: grid size, spacing, squared radius, station grid
// coordinates.
struct Geometry {
  int nx;
  int ny;
  float dx;
  float dy;
  float r2;
  const float* x;
  const float* y;
  int n;
};

// The one place where distance and weight are computed, so that the fast and the plain
// loops agree bit for bit. NaN positions never pass the test.
// The weight is computed in float (the single-precision exponential is several times
// cheaper and the weight needs no more digits); the sums are kept in double.
inline bool station_weight(const Geometry& g, int s, int i, int j, float kappa, double* w) {
  const float ddx = (g.x[s] - static_cast<float>(i)) * g.dx;
  const float ddy = (g.y[s] - static_cast<float>(j)) * g.dy;
  const float d2 = ddx * ddx + ddy * ddy;
  if (!(d2 <= g.r2)) return false;
  // Beyond 104 the exponential is 0 in float; skipping it avoids the slow underflow path.
  const float t = d2 / kappa;
  *w = t > 104.0f ? 0.0 : std::exp(-t);
  return true;
}

inline float tiny_to_zero(float v) { return std::fabs(v) < 1e-10f ? 0.0f : v; }

// Per-pass description: the first pass reads station values (with the missing-value
// substitute), later ones the residuals.
struct PassSpec {
  bool first;
  float kappa;
  float subst;  // substitute for missing station values, or MISSING
  int min_sta;
  const float* const* src;  // per field: station values or residuals
};

// Accumulates one station into the sums of every field. touched marks stations whose
// missing values were substituted (written back after the pass).
template <bool First>
inline void add_station(const PassSpec& p, int nf, Sums* sums, int s, double w, char* touched) {
  for (int f = 0; f < nf; ++f) {
    float v = p.src[f][s];
    if (First && v == MISSING && p.subst != MISSING) {
      v = p.subst;
      touched[s] = 1;
    }
    if (v == MISSING) continue;
    sums[f].s += static_cast<double>(v) * w;
    sums[f].w += w;
    sums[f].n += 1;
  }
}

inline void store_point(const PassSpec& p, Field* fields, int nf, const Sums* sums,
                        std::size_t at) {
  for (int f = 0; f < nf; ++f) {
    float& g = fields[f].grid[at];
    if (sums[f].w == 0.0 || sums[f].n < p.min_sta) {
      g = MISSING;
    } else if (p.first) {
      g = tiny_to_zero(static_cast<float>(sums[f].s / sums[f].w));
    } else if (g != MISSING) {
      g = tiny_to_zero(static_cast<float>(static_cast<double>(g) + sums[f].s / sums[f].w));
    }
  }
}

// Plain loop: every grid point, every station.
void pass_direct(const Geometry& g, const PassSpec& p, Field* fields, int nf, char* touched) {
  std::array<Sums, GRD_MAX_SLOTS> sums{};
  for (int j = 0; j < g.ny; ++j) {
    for (int i = 0; i < g.nx; ++i) {
      for (int f = 0; f < nf; ++f) sums[static_cast<std::size_t>(f)] = Sums{0.0, 0.0, 0};
      for (int s = 0; s < g.n; ++s) {
        double w = 0.0;
        if (!station_weight(g, s, i, j, p.kappa, &w)) continue;
        if (p.first)
          add_station<true>(p, nf, sums.data(), s, w, touched);
        else
          add_station<false>(p, nf, sums.data(), s, w, touched);
      }
      store_point(p, fields, nf, sums.data(), static_cast<std::size_t>(j) * g.nx + i);
    }
  }
}

// Stations bucketed in bands of rows for the neighbourhood search. Positions are in grid
// units; rx, ry bound (with some slack) how far from a grid point a station in range can
// lie.
struct Buckets {
  double rx = 0.0, ry = 0.0;
  double y0 = 0.0;  // origin of the bands
  double hy = 1.0;  // band height, more than 2*ry: a row reaches at most two bands
  int nby = 0;
  std::vector<int> band_start;  // nby+1 offsets into band_idx
  std::vector<int> band_idx;    // stations per band, in station order
  int kept = 0;
};

// Per-thread work storage, allocated before the threads start.
struct Scratch {
  std::vector<Sums> sums;  // nx points of the current row, nf sums each
  std::vector<char> touched;
};

int clamp_index(double v, int n) {
  if (!(v > 0.0)) return 0;
  if (v >= n - 1) return n - 1;
  return static_cast<int>(v);
}

// false when the geometry does not allow bucketing (the plain loop is used then).
bool build_buckets(const Geometry& g, float radius, Buckets* b) {
  const double adx = std::fabs(static_cast<double>(g.dx));
  const double ady = std::fabs(static_cast<double>(g.dy));
  const double r = std::fabs(static_cast<double>(radius));
  if (!(adx > 0.0) || !(ady > 0.0) || !std::isfinite(adx) || !std::isfinite(ady) ||
      !std::isfinite(r))
    return false;
  b->rx = r / adx * (1.0 + 1e-4) + 1e-3;
  b->ry = r / ady * (1.0 + 1e-4) + 1e-3;
  if (b->rx > 1e7 || b->ry > 1e7) return false;
  b->y0 = -b->ry;
  b->hy = std::max(2.0 * b->ry * 1.001 + 1e-3, 1.0);
  const double xmin = -b->rx, xmax = g.nx - 1 + b->rx, ymax = g.ny - 1 + b->ry;
  b->nby = static_cast<int>((ymax - b->y0) / b->hy) + 1;
  b->band_start.assign(static_cast<std::size_t>(b->nby) + 1, 0);
  std::vector<int> band_of(static_cast<std::size_t>(g.n), -1);
  b->kept = 0;
  for (int s = 0; s < g.n; ++s) {
    const double xs = g.x[s], ys = g.y[s];
    if (!(xs >= xmin && xs <= xmax && ys >= b->y0 && ys <= ymax)) continue;
    const int band = clamp_index((ys - b->y0) / b->hy, b->nby);
    band_of[static_cast<std::size_t>(s)] = band;
    ++b->band_start[static_cast<std::size_t>(band) + 1];
    ++b->kept;
  }
  for (int k = 0; k < b->nby; ++k)
    b->band_start[static_cast<std::size_t>(k) + 1] += b->band_start[static_cast<std::size_t>(k)];
  b->band_idx.assign(static_cast<std::size_t>(b->kept), 0);
  std::vector<int> fill(b->band_start.begin(), b->band_start.end() - 1);
  for (int s = 0; s < g.n; ++s) {
    const int band = band_of[static_cast<std::size_t>(s)];
    if (band >= 0) b->band_idx[static_cast<std::size_t>(fill[static_cast<std::size_t>(band)]++)] = s;
  }
  return true;
}

// Calls visit(s) for the stations of the two sorted lists a and b, in station order.
template <class Visit>
inline void merge_visit(const int* a, const int* a_end, const int* b, const int* b_end,
                        Visit&& visit) {
  while (a != a_end && b != b_end) {
    if (*a < *b)
      visit(*a++);
    else
      visit(*b++);
  }
  while (a != a_end) visit(*a++);
  while (b != b_end) visit(*b++);
}

// One grid row. The stations that can reach the row are taken in station order and each
// is added to the sums of the row's points within its reach, so every point sees its
// stations in the same order as in the plain loop.
template <bool First>
void fast_row(const Geometry& g, const Buckets& b, const PassSpec& p, Field* fields, int nf,
              Scratch& sc, int j) {
  const int b0 = clamp_index((j - b.ry - b.y0) / b.hy, b.nby);
  const int b1 = clamp_index((j + b.ry - b.y0) / b.hy, b.nby);
  const int* base = b.band_idx.data();
  const int* a = base + b.band_start[static_cast<std::size_t>(b0)];
  const int* a_end = base + b.band_start[static_cast<std::size_t>(b0) + 1];
  const int* c = a_end;
  const int* c_end = a_end;
  if (b1 != b0) {
    c = base + b.band_start[static_cast<std::size_t>(b1)];
    c_end = base + b.band_start[static_cast<std::size_t>(b1) + 1];
  }
  Sums* sums = sc.sums.data();
  std::fill(sums, sums + static_cast<std::size_t>(g.nx) * nf, Sums{0.0, 0.0, 0});
  char* touched = sc.touched.empty() ? nullptr : sc.touched.data();
  merge_visit(a, a_end, c, c_end, [&](int s) {
    const double ys = g.y[s];
    if (!(std::fabs(ys - j) <= b.ry)) return;
    const double xs = g.x[s];
    const int i0 = std::max(0, static_cast<int>(std::ceil(xs - b.rx)));
    const int i1 = std::min(g.nx - 1, static_cast<int>(std::floor(xs + b.rx)));
    for (int i = i0; i <= i1; ++i) {
      double w = 0.0;
      if (station_weight(g, s, i, j, p.kappa, &w))
        add_station<First>(p, nf, sums + static_cast<std::size_t>(i) * nf, s, w, touched);
    }
  });
  const std::size_t row = static_cast<std::size_t>(j) * g.nx;
  for (int i = 0; i < g.nx; ++i)
    store_point(p, fields, nf, sums + static_cast<std::size_t>(i) * nf, row + i);
}

class FastPass {
 public:
  FastPass(const Geometry& g, const Buckets& b, std::vector<Scratch>& scratch)
      : g_(g), b_(b), scratch_(scratch) {}

  void run(const PassSpec& p, Field* fields, int nf) {
    next_row_.store(0);
    std::vector<std::thread> workers;
    const std::size_t extra = scratch_.size() - 1;
    try {
      workers.reserve(extra);
      for (std::size_t t = 1; t <= extra; ++t)
        workers.emplace_back([this, &p, fields, nf, t] { work(p, fields, nf, scratch_[t]); });
    } catch (const std::system_error&) {
      // Fewer threads: the rows are shared out dynamically, so the result is the same.
    } catch (const std::bad_alloc&) {
    }
    work(p, fields, nf, scratch_[0]);
    for (std::thread& t : workers) t.join();
  }

 private:
  void work(const PassSpec& p, Field* fields, int nf, Scratch& sc) {
    for (;;) {
      const int j = next_row_.fetch_add(1);
      if (j >= g_.ny) return;
      if (p.first)
        fast_row<true>(g_, b_, p, fields, nf, sc, j);
      else
        fast_row<false>(g_, b_, p, fields, nf, sc, j);
    }
  }

  const Geometry& g_;
  const Buckets& b_;
  std::vector<Scratch>& scratch_;
  std::atomic<int> next_row_{0};
};

// Residuals at the stations by bilinear interpolation of the analysis, and their RMS.
void compute_residuals(const Geometry& g, Field* fields, int nf) {
  MESS_print(LEVEL_PASS, "Computing residuals...\n");
  for (int f = 0; f < nf; ++f) {
    Field& fd = fields[f];
    fd.sum_sq = 0.0;
    fd.count = 0;
    for (int s = 0; s < g.n; ++s) {
      float& r = fd.resid[static_cast<std::size_t>(s)];
      r = MISSING;
      const float xs = g.x[s], ys = g.y[s];
      if (!(xs >= 0.0f && ys >= 0.0f && xs <= static_cast<float>(g.nx - 1) &&
            ys <= static_cast<float>(g.ny - 1)))
        continue;
      const int i = static_cast<int>(std::floor(xs));
      const int j = static_cast<int>(std::floor(ys));
      if (i + 1 > g.nx - 1 || j + 1 > g.ny - 1) continue;
      const float v = fd.data[s];
      const std::size_t at = static_cast<std::size_t>(j) * g.nx + i;
      const float g00 = fd.grid[at], g10 = fd.grid[at + 1];
      const float g01 = fd.grid[at + g.nx], g11 = fd.grid[at + g.nx + 1];
      if (v == MISSING || g00 == MISSING || g10 == MISSING || g01 == MISSING || g11 == MISSING) continue;
      const double fx = xs - static_cast<float>(i), fy = ys - static_cast<float>(j);
      const double a = (1.0 - fx) * (1.0 - fy) * g00 + fx * (1.0 - fy) * g10 +
                       (1.0 - fx) * fy * g01 + fx * fy * g11;
      r = static_cast<float>(v - a);
      fd.sum_sq += static_cast<double>(r) * r;
      ++fd.count;
    }
  }
  for (int f = 0; f < nf; ++f) {
    if (fields[f].count == 0)
      MESS_print(LEVEL_PASS, "RMS Error for field %d: no stations\n", f + 1);
    else
      MESS_print(LEVEL_PASS, "RMS Error for field %d: %f\n", f + 1,
                 std::sqrt(fields[f].sum_sq / fields[f].count));
  }
}

// Station map positions -> grid coordinates of domain; the caller's domain (and a zoomed
// view of it) is current again afterwards.
void to_grid_coords(const DomainRec& domain, float* x, float* y, int n) {
  GRD_DomainGuard guard;
  MAP_domain(&domain);
  for (int s = 0; s < n; ++s) {
    float col = MISSING, row = MISSING;
    MAP_grid_untran(&col, &row, x[s], y[s]);
    x[s] = col;
    y[s] = row;
  }
}

// A fixed text field that may lack its terminator.
template <std::size_t N>
std::string text_of(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

unsigned thread_count(const Geometry& g, const Buckets& b) {
  // Threads only pay off on large grids with stations to visit.
  if (b.kept == 0 || static_cast<double>(g.nx) * g.ny < 20000.0) return 1;
  const unsigned hw = std::thread::hardware_concurrency();
  return std::clamp(hw, 1u, static_cast<unsigned>(std::min(g.ny, 64)));
}

int analyze(float* x, float* y, float** data, int num_stats, int num_var, GridRec* grids,
            bool fast) {
  if (num_var < 1 || data == nullptr || grids == nullptr) return -1;
  const int nv = std::min(num_var, GRD_MAX_SLOTS);
  bool any = false;
  for (int k = 0; k < nv; ++k) any = any || data[k] != nullptr;
  if (!any) return -1;
  const int n = (x == nullptr || y == nullptr) ? 0 : std::max(num_stats, 0);
  OBJ_decode_params();

  MESS_print(LEVEL_FIT, "Fitting to grid...\n");
  for (int k = 0; k < nv; ++k)
    if (data[k]) MESS_print(LEVEL_FIT, "   Data field [%d] = %s\n", k + 1, text_of(grids[k].datatype).c_str());
  MESS_print(LEVEL_DIAG, "Time and date are            = %s\n", text_of(grids[0].label).c_str());
  MESS_print(LEVEL_DIAG, "Number of stations           = %4d stats\n", n);
  MESS_print(LEVEL_DIAG, "Number of passes             = %4d\n", num_pass);
  MESS_print(LEVEL_DIAG, "Filter parameter             = %9.4f cm**2\n", filter);
  if (num_pass > 1) MESS_print(LEVEL_DIAG, "Convergence parameter        = %9.4f\n", converg);
  MESS_print(LEVEL_DIAG, "Radius of influence          = %7.2f grids\n", rad_inf);
  MESS_print(LEVEL_DIAG, "Minimum stations at gridpt   = %4d stats\n\n", min_sta);

  const DomainRec domain = grids[0].domain;
  if (domain.nx < 1 || domain.ny < 1) {
    MESS_print(MESS_WARN, "OBJ_analyze: Invalid grid size %d x %d\n", domain.nx, domain.ny);
    return -1;
  }
  to_grid_coords(domain, x, y, n);

  std::vector<Field> fields;
  try {
    fields.reserve(static_cast<std::size_t>(nv));
    for (int k = 0; k < nv; ++k) {
      if (!data[k]) continue;
      GridRec& gr = grids[k];
      if (gr.values == nullptr || gr.domain.nx != domain.nx || gr.domain.ny != domain.ny) {
        MESS_print(MESS_WARN, "OBJ_analyze: Grid %d has no values on the analysis grid\n", k + 1);
        continue;
      }
      gr.source = 1;
      gr.version = 1;
      gr.model = 1;
      gr.type = 2;
      fields.push_back(Field{k, data[k], gr.values, {}, 0.0, 0});
    }
  } catch (const std::bad_alloc&) {
    MESS_print(MESS_WARN, "OBJ_analyze: No memory for analysis\n");
    return -1;
  }
  const int nf = static_cast<int>(fields.size());
  if (nf == 0) return -1;

  const float radius = rad_inf * domain.dx;
  const Geometry geo{domain.nx, domain.ny, domain.dx, domain.dy, radius * radius, x, y, n};

  // Fast-path storage; when it cannot be had the plain loop does the work.
  Buckets buckets;
  std::vector<Scratch> scratch;
  const bool subst = miss_val != MISSING;
  if (fast) {
    try {
      if (build_buckets(geo, radius, &buckets)) {
        scratch.resize(thread_count(geo, buckets));
        for (Scratch& sc : scratch) {
          sc.sums.resize(static_cast<std::size_t>(geo.nx) * static_cast<std::size_t>(nf));
          if (subst) sc.touched.assign(static_cast<std::size_t>(n), 0);
        }
      } else {
        fast = false;
      }
    } catch (const std::bad_alloc&) {
      fast = false;
      scratch.clear();
    }
  }
  std::vector<char> direct_touched;
  if (!fast && subst) {
    try {
      direct_touched.assign(static_cast<std::size_t>(n), 0);
    } catch (const std::bad_alloc&) {
      MESS_print(MESS_WARN, "OBJ_analyze: No memory for analysis\n");
      return -1;
    }
  }

  auto run_pass = [&](const PassSpec& p) {
    if (fast) {
      FastPass(geo, buckets, scratch).run(p, fields.data(), nf);
    } else {
      pass_direct(geo, p, fields.data(), nf, direct_touched.data());
    }
  };

  std::array<const float*, GRD_MAX_SLOTS> src{};
  for (int f = 0; f < nf; ++f) src[static_cast<std::size_t>(f)] = fields[static_cast<std::size_t>(f)].data;
  MESS_print(LEVEL_PASS, "Pass: %d...\n", 1);
  run_pass(PassSpec{true, filter, miss_val, min_sta, src.data()});
  if (subst) {
    // Stations within reach of a grid point take the substitute in the caller's arrays.
    for (int s = 0; s < n; ++s) {
      bool hit = false;
      if (fast) {
        for (const Scratch& sc : scratch) hit = hit || sc.touched[static_cast<std::size_t>(s)];
      } else {
        hit = direct_touched[static_cast<std::size_t>(s)] != 0;
      }
      if (!hit) continue;
      for (Field& fd : fields)
        if (fd.data[s] == MISSING) fd.data[s] = miss_val;
    }
  }
  if (num_pass == 1 && !MESS_check(LEVEL_PASS)) return 0;

  try {
    for (Field& fd : fields) fd.resid.assign(static_cast<std::size_t>(n), MISSING);
  } catch (const std::bad_alloc&) {
    for (Field& fd : fields) std::vector<float>().swap(fd.resid);
    MESS_print(MESS_WARN, "OBJ_analyze: No memory for residual data\n");
    return -1;
  }
  compute_residuals(geo, fields.data(), nf);
  for (int pass = 2; pass <= num_pass; ++pass) {
    MESS_print(LEVEL_PASS, "Pass: %d...\n", pass);
    filter *= converg;
    for (int f = 0; f < nf; ++f)
      src[static_cast<std::size_t>(f)] = fields[static_cast<std::size_t>(f)].resid.data();
    run_pass(PassSpec{false, filter, MISSING, min_sta, src.data()});
    compute_residuals(geo, fields.data(), nf);
  }
  return 0;
}

}  // namespace

void OBJ_initialize() {
  filter = DEF_FILTER;
  rad_inf = DEF_RAD_INF;
  num_pass = DEF_NUM_PASS;
  converg = DEF_CONVERG;
  miss_val = MISSING;
  min_sta = 1;
  grid_factor = 1;
}

void OBJ_set_filter(float value) { filter = value; }
void OBJ_set_rad_inf(float radius) { rad_inf = radius; }
void OBJ_set_num_pass(int passes) { num_pass = passes; }
void OBJ_set_converg(float value) { converg = value; }
void OBJ_set_min_sta(int value) { min_sta = value; }
void OBJ_set_miss_val(float value) { miss_val = value; }

void OBJ_get_params(float* filter_out, float* rad_inf_out, int* num_pass_out, float* converg_out,
                    float* miss_val_out, int* min_sta_out, int* grid_factor_out) {
  if (filter_out) *filter_out = filter;
  if (rad_inf_out) *rad_inf_out = rad_inf;
  if (num_pass_out) *num_pass_out = num_pass;
  if (converg_out) *converg_out = converg;
  if (miss_val_out) *miss_val_out = miss_val;
  if (min_sta_out) *min_sta_out = min_sta;
  if (grid_factor_out) *grid_factor_out = grid_factor;
}

void OBJ_decode_format(const char* format) {
  int count = 0;
  char** items = nullptr;
  if (parse_string(format, ':', &count, &items) <= 0) return;
  for (int i = 0; i < count; ++i) {
    const char* item = skip_blanks(items[i]);
    if (starts_with_ci(item, "miss")) decode_miss_item(item, "OBJ_decode_format");
  }
  free_parsed_array(count, items);
}

void OBJ_decode_params() {
  decode_plot_param();
  decode_object_param();
  limit_params();
}

int OBJ_analyze(float* x, float* y, float** data, int num_stats, int num_var, GridRec* grids) {
  try {
    return analyze(x, y, data, num_stats, num_var, grids, true);
  } catch (...) {
    MESS_print(MESS_WARN, "OBJ_analyze: No memory for analysis\n");
    return -1;
  }
}

int OBJ_analyze_direct(float* x, float* y, float** data, int num_stats, int num_var,
                       GridRec* grids) {
  try {
    return analyze(x, y, data, num_stats, num_var, grids, false);
  } catch (...) {
    MESS_print(MESS_WARN, "OBJ_analyze: No memory for analysis\n");
    return -1;
  }
}
