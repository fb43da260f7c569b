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
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
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
// Buddy check: a report more than DEF_BUDDY_K robust spreads off what its neighbours give
// is rejected when it has at least DEF_BUDDY_MIN neighbours; the spread is never taken
// below BUDDY_FLOOR times the field's overall spread. Chosen on seeded gross errors in a
// real hour and in the sample (tools/seed_errors.py): 26 and 28 of 30 caught (the misses
// are stations moved 5 degrees whose values fit their new place), at most 0.5 % of the
// untouched temperatures and 0.5 % of the real hour's pressures rejected, most of those
// being gross errors of the reports themselves. A smaller floor rejects mountain stations'
// pressures reduced from the altimeter; a larger k lets 10 C jumps through.
constexpr float DEF_BUDDY_K = 4.0f;
constexpr bool DEF_BUDDY_ON = true;
constexpr int DEF_BUDDY_MIN = 4;
constexpr float BUDDY_FLOOR = 1.5f;
// Rounds of the buddy check at most: each costs one analysis with its leave-one-out values.
constexpr int BUDDY_ROUNDS = 5;

struct PassStats {
  double bias = 0.0, rms = 0.0, max_abs = 0.0;
  int count = 0;
};

// What the last analysis found, per slot, for the station plots and the tests.
struct SlotResult {
  std::vector<char> rejected;
  std::vector<float> loo;
  std::array<PassStats, MAX_PASS> stats{};
  int passes = 0;
  int num_rejected = 0;
};

struct Checks {
  const char* const* ids = nullptr;  // the current analysis's station names, or null
  std::array<SlotResult, GRD_MAX_SLOTS> result;
};

// The analysis parameters as last decoded; OBJ_initialize returns them to these values.
struct ObjParams {
  float filter = DEF_FILTER;
  float rad_inf = DEF_RAD_INF;
  int num_pass = DEF_NUM_PASS;
  float converg = DEF_CONVERG;
  float miss_val = MISSING;
  int min_sta = 1;
  int grid_factor = 1;
  // The checks: buddy threshold (0 = off) and neighbours needed, cross-validation lines,
  // parameters chosen by the data.
  float buddy_k = DEF_BUDDY_ON ? DEF_BUDDY_K : 0.0f;
  int buddy_min = DEF_BUDDY_MIN;
  bool cross_valid = false;
  bool auto_params = false;
};

// The parameters, and what the last analysis found (which outlives a new set of parameters).
struct ObjState : ObjParams {
  Checks checks;
};
ObjState state;

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
  state.miss_val = static_cast<float>(v);
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
          state.grid_factor = f;
        else
          MESS_print(MESS_WARN, "OBJ_decode_params: Invalid grid factor \"%s\"\n", item);
      }
      state.rad_inf *= static_cast<float>(state.grid_factor);
    }
  }
  free_parsed_array(count, items);
}

// Parameters outside their accepted ranges fall back to the defaults.
void limit_params() {
  if (!(state.filter > 0.0f) || !std::isfinite(state.filter)) state.filter = DEF_FILTER;
  if (!(state.rad_inf > 0.0f) || !std::isfinite(state.rad_inf)) state.rad_inf = DEF_RAD_INF;
  if (state.num_pass < 1 || state.num_pass > MAX_PASS) state.num_pass = DEF_NUM_PASS;
  if (!(state.converg >= 0.01f && state.converg < 1.0f)) state.converg = DEF_CONVERG;
  if (state.min_sta < 1) state.min_sta = 1;
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

// "off", "no", "0" and the like switch a check off.
bool is_off(const char* t) {
  t = skip_blanks(t);
  return starts_with_ci(t, "off") || starts_with_ci(t, "no") || starts_with_ci(t, "false") || std::strcmp(t, "0") == 0;
}

// "k[/min]" or "off": the buddy check's threshold and minimum number of neighbours.
void decode_buddy(const char* text, const char* who) {
  if (is_off(text)) {
    state.buddy_k = 0.0f;
    return;
  }
  std::string t = skip_blanks(text);
  std::string min_part;
  const std::size_t sep = t.find_first_of("/,");
  if (sep != std::string::npos) {
    min_part = t.substr(sep + 1);
    t.resize(sep);
  }
  double k = 0.0;
  if (!only_blanks(t.c_str())) {
    if (parse_double(t.c_str(), &k) && k > 0.0 && k < 1.0e6)
      state.buddy_k = static_cast<float>(k);
    else
      MESS_print(MESS_WARN, "%s: Invalid buddy check threshold \"%s\"\n", who, text);
  }
  int m = 0;
  if (!min_part.empty() && !only_blanks(min_part.c_str())) {
    if (parse_int(min_part.c_str(), &m) && m >= 1)
      state.buddy_min = m;
    else
      MESS_print(MESS_WARN, "%s: Invalid buddy check neighbour count \"%s\"\n", who, text);
  }
}

void decode_check_resources() {
  if (const char* b = RES_get("buddy_check"); b != nullptr && !only_blanks(b)) decode_buddy(b, "buddy_check");
  if (const char* c = RES_get("cross_valid"); c != nullptr) state.cross_valid = only_blanks(c) || !is_off(c);
}

// Keyed items of "object_param" ("auto", "cv", "buddy=k[/min]", "buddy=off") go anywhere in
// the list; the others are the numbers in their order.
bool decode_keyed_item(const char* item) {
  const char* t = skip_blanks(item);
  if (!std::isalpha(static_cast<unsigned char>(*t))) return false;
  if (starts_with_ci(t, "auto")) {
    state.auto_params = true;
  } else if (starts_with_ci(t, "cv")) {
    state.cross_valid = t[2] != '=' || !is_off(t + 3);
  } else if (starts_with_ci(t, "nocv")) {
    state.cross_valid = false;
  } else if (starts_with_ci(t, "buddy")) {
    const char* p = t + 5;
    if (*p == '=') ++p;
    decode_buddy(only_blanks(p) ? "4" : p, "object_param");
  } else if (starts_with_ci(t, "nobuddy")) {
    state.buddy_k = 0.0f;
  } else {
    return false;
  }
  return true;
}

void decode_object_param() {
  const char* text = RES_get("object_param");
  if (text == nullptr || only_blanks(text)) return;
  int all = 0;
  char** raw = nullptr;
  if (parse_string(text, ',', &all, &raw) <= 0) return;
  std::vector<char*> list;
  for (int i = 0; i < all; ++i)
    if (!decode_keyed_item(raw[i])) list.push_back(raw[i]);
  const int count = static_cast<int>(list.size());
  char** items = list.data();
  if (count > 0) read_object_value(items[0], &state.filter, DEF_FILTER);
  if (count > 1) read_object_value(items[1], &state.rad_inf, DEF_RAD_INF);
  if (count > 2 && !only_blanks(items[2])) {
    if (!parse_int(items[2], &state.num_pass)) {
      bad_object_value(items[2]);
      state.num_pass = DEF_NUM_PASS;
    }
  }
  if (count > 3) read_object_value(items[3], &state.converg, DEF_CONVERG);
  if (count > 4 && !only_blanks(items[4])) {
    double v = 0.0;
    if (parse_double(items[4], &v)) {
      state.min_sta = static_cast<int>(std::clamp(std::trunc(v), -1.0e9, 1.0e9));
    } else {
      bad_object_value(items[4]);
      state.min_sta = 1;
    }
  }
  free_parsed_array(all, raw);
}

// ---- the analysis ----

struct Sums {
  double s;
  double w;
  int n;
};

struct Field {
  int slot;
  float* data;   // caller's station values
  float* grid;   // slot values
  std::vector<float> resid;
  double sum_sq;
  int count;
  // The sums of every grid point of the last pass, kept when leave-one-out values are
  // wanted: a station's own term is taken out of them. (Together per point: a station
  // reads those of four points, which then lie in two places rather than six.)
  std::vector<Sums> keep;
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

// exp(-t) for 0 <= t <= 104, rounded to float: the exponential of the weights, written out
// so that the compiler can inline it and run it on several points at once (a library call
// per point was most of the analysis's time). The reduction to r = -t - n ln 2, |r| <= ln 2 / 2,
// and the series to r^11 keep the error below 1e-14 relative before the rounding to float, so
// the weights are those of the float library exponential but in the rarest cases. Adding
// 1.5 * 2^52 rounds to the nearest integer n and leaves n in the low bits, whence 2^n.
// The scalar and the lane-wise forms are one template so that both give the same bits.
// (Lanes are passed by reference: wide vectors by value would depend on the instruction set.)
template <class D, class U>
inline void exp_neg_core(const D& t, D& out) {
  constexpr double shift = 0x1.8p52;
  constexpr double log2e = 0x1.71547652b82fep0;
  constexpr double ln2_hi = 6.93147180369123816490e-01;  // low bits zero: n * ln2_hi is exact
  constexpr double ln2_lo = 1.90821492927058770002e-10;
  const D x = -t;
  const D kd = x * log2e + shift;
  const D n = kd - shift;
  const D r = (x - n * ln2_hi) - n * ln2_lo;
  D p = D{} + 1.0 / 39916800.0;
  p = p * r + 1.0 / 3628800.0;
  p = p * r + 1.0 / 362880.0;
  p = p * r + 1.0 / 40320.0;
  p = p * r + 1.0 / 5040.0;
  p = p * r + 1.0 / 720.0;
  p = p * r + 1.0 / 120.0;
  p = p * r + 1.0 / 24.0;
  p = p * r + 1.0 / 6.0;
  p = p * r + 0.5;
  p = p * r + 1.0;
  p = p * r + 1.0;
  U bits;
  std::memcpy(&bits, &kd, sizeof bits);
  bits = (bits + 1023) << 52;
  D scale;
  std::memcpy(&scale, &bits, sizeof scale);
  out = p * scale;
}

// Beyond t = 104 the exponential is 0 in float.
constexpr float EXP_ZERO_FROM = 104.0f;

inline double exp_neg(float t) {
  if (t > EXP_ZERO_FROM) return 0.0;
  double e = 0.0;
  exp_neg_core<double, std::uint64_t>(static_cast<double>(t), e);
  return static_cast<double>(static_cast<float>(e));
}

// The one place where distance and weight are computed, so that the fast and the plain
// loops agree bit for bit (the fast loop's lanes repeat these operations). NaN positions
// never pass the test. Distances are in float, the sums in double.
inline bool station_weight(const Geometry& g, int s, int i, int j, float kappa, double* w) {
  const float ddx = (g.x[s] - static_cast<float>(i)) * g.dx;
  const float ddy = (g.y[s] - static_cast<float>(j)) * g.dy;
  const float d2 = ddx * ddx + ddy * ddy;
  if (!(d2 <= g.r2)) return false;
  *w = exp_neg(d2 / kappa);
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
    if (!fields[f].keep.empty()) {
      fields[f].keep[at] = sums[f];
    }
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
  // Where the radius is small against the grid, what every pass would find again is found
  // once: per row, the stations that reach it in station order, with the first and the
  // number of points of their chord and their offset from the row. Empty: the bands are
  // searched in every pass.
  struct Chord {
    int s, i0, count;
    float ddy;
  };
  std::vector<int> row_start;  // ny+1 offsets into chords
  std::vector<Chord> chords;
};

// Chords kept at most (16 bytes a chord: 32 MB); beyond, the bands are searched in every
// pass. 50,000 stations on 400 x 300 need a fifth of it.
constexpr std::size_t MAX_CHORDS = std::size_t{1} << 21;

// Per-thread work storage, allocated before the threads start. The sums of the current
// row are kept field by field in separate arrays (nf * nx each). The points the stations
// of the row reach are collected in a block, weighted together and then added to the sums
// station by station.
struct Scratch {
  std::vector<double> sum_s, sum_w;
  std::vector<int> sum_n;
  std::vector<float> d2;        // per point of the block: squared distance from the station
  std::vector<double> weight;   // per point of the block; 0 outside the radius
  std::vector<int> inside;      // per point of the block: 1 within the radius
  struct Reach {
    int s, i0, count, at;  // station, first point, number of points, place in the block
  };
  std::vector<Reach> reach;
  std::vector<char> touched;
};

// Points in a block at most; a station's points always fit (block_size >= nx).
constexpr int BLOCK = 4096;
constexpr int LANES = 4;

int block_size(int nx) { return (std::max(BLOCK, nx) + LANES - 1) / LANES * LANES; }

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

using FloatLanes = float __attribute__((vector_size(4 * LANES)));
using IntLanes = int __attribute__((vector_size(4 * LANES)));
using DoubleLanes = double __attribute__((vector_size(8 * LANES)));
using WordLanes = std::uint64_t __attribute__((vector_size(8 * LANES)));

// The weights of LANES squared distances by the operations of station_weight, and whether
// each lies within r2 (1) or beyond (0, its weight 0). Inlined where it is used, so that it
// takes the wide registers of the caller that has them.
__attribute__((always_inline)) inline void lane_weights(const FloatLanes& d2, float r2, float kappa, DoubleLanes* w,
                                                        IntLanes* inside) {
  const IntLanes in = d2 <= r2;
  const FloatLanes t = in ? d2 / kappa : FloatLanes{};
  const DoubleLanes td = __builtin_convertvector(t, DoubleLanes);
  DoubleLanes e;
  exp_neg_core<DoubleLanes, WordLanes>(td, e);
  FloatLanes ef = __builtin_convertvector(e, FloatLanes);
  ef = (t > EXP_ZERO_FROM) ? FloatLanes{} : ef;
  ef = in ? ef : FloatLanes{};
  *w = __builtin_convertvector(ef, DoubleLanes);
  *inside = in & 1;
}

// The weights of the block's points, LANES at a time, by the operations of station_weight.
// d2 holds count squared distances and may be read up to LANES - 1 beyond them (the
// lanes beyond give weights nobody reads).
// Where the processor has them, the lanes are one wide register each rather than two: the
// same operations on the same values, so the same bits (no fused multiply-add is allowed,
// which would round once where the other forms round twice).
__attribute__((target_clones("avx2", "default")))
void weigh_block(Scratch& sc, const float* d2s, int count, float r2, float kappa) {
  for (int k = 0; k < count; k += LANES) {
    const std::size_t at = static_cast<std::size_t>(k);
    FloatLanes d2;
    std::memcpy(&d2, d2s + at, sizeof d2);
    DoubleLanes w;
    IntLanes one;
    lane_weights(d2, r2, kappa, &w, &one);
    std::memcpy(&sc.weight[at], &w, sizeof w);
    std::memcpy(&sc.inside[at], &one, sizeof one);
  }
}

// The weights of station s at the four grid points around it, (i, j), (i + 1, j), (i, j + 1)
// and (i + 1, j + 1), at once: station_weight's operations on four lanes. inside[c] is 0 where
// the point lies beyond the radius (its weight is 0 then).
__attribute__((always_inline)) inline void corner_weights(const Geometry& g, int s, int i, int j, float kappa, double* w,
                                                          int* inside) {
  static_assert(LANES == 4, "a lane per corner");
  const FloatLanes ci = {static_cast<float>(i), static_cast<float>(i + 1), static_cast<float>(i),
                         static_cast<float>(i + 1)};
  const FloatLanes cj = {static_cast<float>(j), static_cast<float>(j), static_cast<float>(j + 1),
                         static_cast<float>(j + 1)};
  const FloatLanes ddx = (g.x[s] - ci) * g.dx;
  const FloatLanes ddy = (g.y[s] - cj) * g.dy;
  const FloatLanes d2 = ddx * ddx + ddy * ddy;
  DoubleLanes wd;
  IntLanes one;
  lane_weights(d2, g.r2, kappa, &wd, &one);
  std::memcpy(w, &wd, sizeof wd);
  std::memcpy(inside, &one, sizeof one);
}

// The squared distances of the points of chord c from its station at column xs, LANES at a
// time: out is written up to LANES - 1 beyond the chord (the next chord's overwrite them).
inline void chord_d2(float xs, float dx, const Buckets::Chord& c, float* out) {
  static_assert(LANES == 4, "four columns a step");
  const FloatLanes ddy2 = FloatLanes{} + c.ddy * c.ddy;
  for (int k = 0; k < c.count; k += LANES) {
    const IntLanes col = IntLanes{0, 1, 2, 3} + (c.i0 + k);
    const FloatLanes ddx = (xs - __builtin_convertvector(col, FloatLanes)) * dx;
    const FloatLanes d2 = ddx * ddx + ddy2;
    std::memcpy(out + k, &d2, sizeof d2);
  }
}

// Adds the block's stations, in station order, to the sums of the points they reach, four
// points a step. A point beyond the radius has the weight 0, and so have the lanes past a
// chord's end; adding 0 leaves a sum as it is (a sum is never -0), so the sums are those of
// adding each station's points one by one. The lanes past the end reach at most LANES - 1
// places beyond the row's sums (the next field's, or the room kept after the last). Where
// the processor has them, the lanes are one wide register (the same operations and bits).
__attribute__((target_clones("avx2", "default")))
void add_block(const PassSpec& p, bool first, int nf, int nx, Scratch& sc) {
  using LongLanes = std::int64_t __attribute__((vector_size(8 * LANES)));
  static_assert(LANES == 4, "four points a step");
  const double* wt = sc.weight.data();
  const int* in = sc.inside.data();
  for (const Scratch::Reach& r : sc.reach) {
    const double* w = wt + r.at;
    const int* m = in + r.at;
    for (int f = 0; f < nf; ++f) {
      float v = p.src[f][r.s];
      if (first && v == MISSING && p.subst != MISSING) {
        bool any = false;
        for (int k = 0; k < r.count; ++k) any = any || m[k] != 0;
        if (!any) continue;
        v = p.subst;
        sc.touched[static_cast<std::size_t>(r.s)] = 1;
      }
      if (v == MISSING) continue;
      const std::size_t base = static_cast<std::size_t>(f) * nx + r.i0;
      double* ss = sc.sum_s.data() + base;
      double* sw = sc.sum_w.data() + base;
      int* sn = sc.sum_n.data() + base;
      const DoubleLanes dv = DoubleLanes{} + static_cast<double>(v);
      for (int k = 0; k < r.count; k += LANES) {
        const LongLanes wide_left = LongLanes{0, 1, 2, 3} < (r.count - k);
        const IntLanes left = IntLanes{0, 1, 2, 3} < (r.count - k);
        DoubleLanes wk, s, t;
        IntLanes mk, n;
        std::memcpy(&wk, w + k, sizeof wk);
        std::memcpy(&mk, m + k, sizeof mk);
        wk = wide_left ? wk : DoubleLanes{};
        std::memcpy(&s, ss + k, sizeof s);
        std::memcpy(&t, sw + k, sizeof t);
        std::memcpy(&n, sn + k, sizeof n);
        s += dv * wk;
        t += wk;
        n += mk & left;
        std::memcpy(ss + k, &s, sizeof s);
        std::memcpy(sw + k, &t, sizeof t);
        std::memcpy(sn + k, &n, sizeof n);
      }
    }
  }
  sc.reach.clear();
}

// Floor and ceiling of values well within the range of int, without a library call.
inline int floor_int(double v) {
  const int t = static_cast<int>(v);
  return t - (static_cast<double>(t) > v ? 1 : 0);
}
inline int ceil_int(double v) {
  const int t = static_cast<int>(v);
  return t + (static_cast<double>(t) < v ? 1 : 0);
}

// The points of row j that station s may reach: those of the chord of its circle, with
// some slack (the test of the radius decides). false when there are none.
inline bool chord_of(const Geometry& g, const Buckets& b, int s, int j, Buckets::Chord* c) {
  const double ys = g.y[s];
  const double xs = g.x[s];
  if (!(std::fabs(ys - j) <= b.ry) || !(xs >= -b.rx && xs <= g.nx - 1 + b.rx)) return false;
  const float ddy = (g.y[s] - static_cast<float>(j)) * g.dy;
  const double r2 = g.r2;
  const double dy2 = static_cast<double>(ddy) * ddy;
  const double half = std::sqrt(std::max(r2 - dy2, 0.0) + r2 * 1e-6) / std::fabs(static_cast<double>(g.dx)) *
                          (1.0 + 1e-4) +
                      1e-3 + std::fabs(xs) * 1e-6;
  const double reach = std::min(half, b.rx);
  const int i0 = std::max(0, ceil_int(xs - reach));
  const int i1 = std::min(g.nx - 1, floor_int(xs + reach));
  if (i1 < i0) return false;
  *c = Buckets::Chord{s, i0, i1 - i0 + 1, ddy};
  return true;
}

// Calls visit(chord) for the stations that reach row j, in station order.
template <class Visit>
inline void row_chords(const Geometry& g, const Buckets& b, int j, Visit&& visit) {
  if (!b.row_start.empty()) {
    const Buckets::Chord* c = b.chords.data();
    for (int k = b.row_start[static_cast<std::size_t>(j)]; k < b.row_start[static_cast<std::size_t>(j) + 1]; ++k)
      visit(c[k]);
    return;
  }
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
  merge_visit(a, a_end, c, c_end, [&](int s) {
    Buckets::Chord ch{};
    if (chord_of(g, b, s, j, &ch)) visit(ch);
  });
}

// The chords of every row, when there are few enough; false leaves the bands to be searched.
// Stations are taken in order, so each row's chords are in station order. Room is made for
// every row a station's circle spans, and the chords go straight to their rows: no list of
// them as found is held besides, which on a dense network would be as large again.
bool build_chords(const Geometry& g, Buckets* b) {
  auto rows = [&](int s, int* j0, int* j1) {
    const double xs = g.x[s], ys = g.y[s];
    if (!(ys >= -b->ry && ys <= g.ny - 1 + b->ry) || !(xs >= -b->rx && xs <= g.nx - 1 + b->rx)) return false;
    *j0 = std::max(0, ceil_int(ys - b->ry));
    *j1 = std::min(g.ny - 1, floor_int(ys + b->ry));
    return *j0 <= *j1;
  };
  std::vector<int> start(static_cast<std::size_t>(g.ny) + 1, 0);
  std::size_t room = 0;
  for (int s = 0; s < g.n; ++s) {
    int j0 = 0, j1 = 0;
    if (!rows(s, &j0, &j1)) continue;
    for (int j = j0; j <= j1; ++j) ++start[static_cast<std::size_t>(j) + 1];
    room += static_cast<std::size_t>(j1 - j0 + 1);
    if (room > MAX_CHORDS) return false;
  }
  for (int j = 0; j < g.ny; ++j) start[static_cast<std::size_t>(j) + 1] += start[static_cast<std::size_t>(j)];
  b->chords.resize(room);
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (int s = 0; s < g.n; ++s) {
    int j0 = 0, j1 = 0;
    if (!rows(s, &j0, &j1)) continue;
    Buckets::Chord c{};
    for (int j = j0; j <= j1; ++j)
      if (chord_of(g, *b, s, j, &c)) b->chords[static_cast<std::size_t>(fill[static_cast<std::size_t>(j)]++)] = c;
  }
  // A circle that passes between two columns leaves its row a place short: close the gaps.
  int to = 0;
  for (int j = 0; j < g.ny; ++j) {
    const int from = start[static_cast<std::size_t>(j)], end = fill[static_cast<std::size_t>(j)];
    start[static_cast<std::size_t>(j)] = to;
    if (from != to) std::copy(b->chords.begin() + from, b->chords.begin() + end, b->chords.begin() + to);
    to += end - from;
  }
  start[static_cast<std::size_t>(g.ny)] = to;
  b->chords.resize(static_cast<std::size_t>(to));
  b->row_start = std::move(start);
  return true;
}

// One grid row. The stations that can reach the row are taken in station order and each
// is added to the sums of the row's points within its reach, so every point sees its
// stations in the same order as in the plain loop.
template <bool First>
void fast_row(const Geometry& g, const Buckets& b, const PassSpec& p, Field* fields, int nf,
              Scratch& sc, int j) {
  const std::size_t cells = static_cast<std::size_t>(g.nx) * nf;
  std::fill(sc.sum_s.begin(), sc.sum_s.begin() + static_cast<std::ptrdiff_t>(cells), 0.0);
  std::fill(sc.sum_w.begin(), sc.sum_w.begin() + static_cast<std::ptrdiff_t>(cells), 0.0);
  std::fill(sc.sum_n.begin(), sc.sum_n.begin() + static_cast<std::ptrdiff_t>(cells), 0);
  const int cap = block_size(g.nx);
  // The block's squared distances are worked out as its stations are taken: cheaper than
  // reading them back from memory that would have to hold every chord's.
  const float* d2 = sc.d2.data();
  int used = 0;
  auto flush = [&] {
    weigh_block(sc, d2, used, g.r2, p.kappa);
    add_block(p, First, nf, g.nx, sc);
    used = 0;
  };
  row_chords(g, b, j, [&](const Buckets::Chord& c) {
    if (used + c.count > cap) flush();
    chord_d2(g.x[c.s], g.dx, c, sc.d2.data() + used);
    sc.reach.push_back(Scratch::Reach{c.s, c.i0, c.count, used});
    used += c.count;
  });
  if (used > 0) flush();
  const std::size_t row = static_cast<std::size_t>(j) * g.nx;
  std::array<Sums, GRD_MAX_SLOTS> sums{};
  for (int i = 0; i < g.nx; ++i) {
    for (int f = 0; f < nf; ++f) {
      const std::size_t at = static_cast<std::size_t>(f) * g.nx + i;
      sums[static_cast<std::size_t>(f)] = Sums{sc.sum_s[at], sc.sum_w[at], sc.sum_n[at]};
    }
    store_point(p, fields, nf, sums.data(), row + i);
  }
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

struct Params {
  float filter;
  float rad_inf;
  int num_pass;
  float converg;
};

// The leave-one-out values of one field after pass p at every station (see Loo), with their
// statistics. Where the processor has them, the corner weights take one wide register (the
// same operations, so the same bits).
__attribute__((target_clones("avx2", "default")))
void loo_stations(const Geometry& g, const Field& fd, int p, float kappa, int min_sta, float* corner, float* value,
                  PassStats* stats) {
  const float* q = p == 1 ? fd.data : fd.resid.data();
  PassStats& st = *stats;
  st = PassStats{};
  double sum = 0.0, sum_sq = 0.0;
  // The sums of the points around a station some stations ahead are asked for before
  // they are read: they lie all over the grid.
  constexpr int ahead = 8;
  for (int s = 0; s < g.n; ++s) {
    if (s + ahead < g.n) {
      const float xa = g.x[s + ahead], ya = g.y[s + ahead];
      if (xa >= 0.0f && ya >= 0.0f && xa < static_cast<float>(g.nx - 1) && ya < static_cast<float>(g.ny - 1)) {
        const Sums* k = fd.keep.data() + static_cast<std::size_t>(ya) * g.nx + static_cast<std::size_t>(xa);
        __builtin_prefetch(k);
        __builtin_prefetch(k + 1);
        __builtin_prefetch(k + g.nx);
        __builtin_prefetch(k + g.nx + 1);
      }
    }
    float* cor = corner + 4 * static_cast<std::size_t>(s);
    float& out = value[static_cast<std::size_t>(s)];
    out = MISSING;
    const float xs = g.x[s], ys = g.y[s];
    const float v = fd.data[s];
    if (v == MISSING || !(xs >= 0.0f && ys >= 0.0f && xs <= static_cast<float>(g.nx - 1) &&
                          ys <= static_cast<float>(g.ny - 1))) {
      cor[0] = cor[1] = cor[2] = cor[3] = MISSING;
      continue;
    }
    const int i = static_cast<int>(std::floor(xs));
    const int j = static_cast<int>(std::floor(ys));
    if (i + 1 > g.nx - 1 || j + 1 > g.ny - 1) {
      cor[0] = cor[1] = cor[2] = cor[3] = MISSING;
      continue;
    }
    bool all = true;
    double wc[4];
    int inc[4];
    corner_weights(g, s, i, j, kappa, wc, inc);
    for (int c = 0; c < 4; ++c) {
      const int ci = i + (c & 1), cj = j + (c >> 1);
      const std::size_t at = static_cast<std::size_t>(cj) * g.nx + ci;
      const Sums& kept = fd.keep[at];
      double sw = kept.w, ss = kept.s;
      int nn = kept.n;
      const double w = wc[c];
      const bool own = q[s] != MISSING && inc[c] != 0;
      if (own) {
        ss -= static_cast<double>(q[s]) * w;
        sw -= w;
        nn -= 1;
      }
      float gv = MISSING;
      if (sw > 0.0 && nn >= min_sta && !(own && sw < 1e-8 * kept.w)) {
        if (p == 1)
          gv = tiny_to_zero(static_cast<float>(ss / sw));
        else if (cor[c] != MISSING)
          gv = tiny_to_zero(static_cast<float>(static_cast<double>(cor[c]) + ss / sw));
      }
      cor[c] = gv;
      all = all && gv != MISSING;
    }
    if (!all) continue;
    const double fx = xs - static_cast<float>(i), fy = ys - static_cast<float>(j);
    const double a = (1.0 - fx) * (1.0 - fy) * cor[0] + fx * (1.0 - fy) * cor[1] +
                     (1.0 - fx) * fy * cor[2] + fx * fy * cor[3];
    out = static_cast<float>(a);
    const double e = static_cast<double>(v) - out;
    sum += e;
    sum_sq += e * e;
    st.max_abs = std::max(st.max_abs, std::fabs(e));
    ++st.count;
  }
  if (st.count > 0) {
    st.bias = sum / st.count;
    st.rms = std::sqrt(sum_sq / st.count);
  }
}

// Leave-one-out values: what the other stations give at a station's position with the
// same weights. After pass p the analysis at a grid point P is
//   g_p(P) = g_{p-1}(P) + S_p(P) / W_p(P),   S_p = sum_s w_p(P,s) q_s,   W_p = sum_s w_p(P,s),
// with g_0 = 0 and q the station values in the first pass, the residuals of the pass before
// in later ones. Without station i only its own term leaves the sums:
//   g_p^-i(P) = g_{p-1}^-i(P) + (S_p - w_p(P,i) q_i) / (W_p - w_p(P,i)),
// at the four grid points around i, and the value at i is their bilinear interpolation, as
// a residual is. The first pass is exact; later passes keep the other stations' residuals as
// the full analysis has them (how they would change without i is left out). Where i's own
// weight is all but the whole sum the difference loses its digits, and no value is given.
class Loo {
 public:
  bool prepare(std::vector<Field>& fields, int n, const Geometry& g) {
    try {
      const std::size_t points = static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(g.ny);
      for (Field& fd : fields) {
        fd.keep.assign(points, Sums{0.0, 0.0, 0});
      }
      corner.assign(fields.size(), std::vector<float>(4 * static_cast<std::size_t>(n), MISSING));
      value.assign(fields.size(), std::vector<float>(static_cast<std::size_t>(n), MISSING));
      stats.assign(fields.size(), {});
    } catch (const std::bad_alloc&) {
      release(fields);
      MESS_print(MESS_WARN, "OBJ_analyze: No memory for the leave-one-out values\n");
      return false;
    }
    return true;
  }

  static void release(std::vector<Field>& fields) {
    for (Field& fd : fields) {
      std::vector<Sums>().swap(fd.keep);
    }
  }

  void pass(const Geometry& g, std::vector<Field>& fields, int p, float kappa, int min_sta) {
    passes = p;
    for (std::size_t f = 0; f < fields.size(); ++f) {
      PassStats& st = stats[f][static_cast<std::size_t>(p - 1)];
      loo_stations(g, fields[f], p, kappa, min_sta, corner[f].data(), value[f].data(), &st);
    }
    if (after_pass) after_pass(p, kappa);
  }

  // Called after every pass with the pass and its weight parameter, the grids and the
  // leave-one-out values of that pass in place: the automatic choice keeps the best.
  std::function<void(int, float)> after_pass;
  std::vector<std::vector<float>> corner;  // per field: 4 grid values around each station
  std::vector<std::vector<float>> value;   // per field: leave-one-out value at each station
  std::vector<std::array<PassStats, MAX_PASS>> stats;
  int passes = 0;
};

// The fast path's buckets, chords and per-thread storage for one station geometry and
// radius. The buddy check's rounds analyse the same positions again with fewer values, so
// they find them here rather than searching every station's chords once more.
struct FastStore {
  bool built = false, usable = false;
  Geometry geo{};
  float radius = 0.0f;
  int nf = 0;
  Buckets buckets;
  std::vector<Scratch> scratch;

  // false when the fast path cannot be had for this geometry.
  bool prepare(const Geometry& g, float r, int num_fields) {
    if (built && g.x == geo.x && g.y == geo.y && g.n == geo.n && g.nx == geo.nx && g.ny == geo.ny && g.dx == geo.dx &&
        g.dy == geo.dy && g.r2 == geo.r2 && r == radius && num_fields == nf)
      return usable;
    *this = FastStore{};
    built = true;
    geo = g;
    radius = r;
    nf = num_fields;
    try {
      if (!build_buckets(g, r, &buckets)) return false;
      if (!build_chords(g, &buckets)) {
        std::vector<int>().swap(buckets.row_start);
        std::vector<Buckets::Chord>().swap(buckets.chords);
      }
      scratch.resize(thread_count(g, buckets));
      const std::size_t cells = static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(nf);
      const std::size_t block = static_cast<std::size_t>(block_size(g.nx));
      for (Scratch& sc : scratch) {
        // Room for the lanes past the last chord's end (see add_block).
        sc.sum_s.resize(cells + LANES);
        sc.sum_w.resize(cells + LANES);
        sc.sum_n.resize(cells + LANES);
        sc.d2.assign(block + LANES, 0.0f);
        sc.weight.resize(block + LANES);
        sc.inside.resize(block + LANES);
        // A station per point at most.
        sc.reach.reserve(block);
      }
    } catch (const std::bad_alloc&) {
      *this = FastStore{};
      built = true;
      return false;
    }
    usable = true;
    return true;
  }
};

// One analysis with the parameters prm; with loo, the leave-one-out values of every pass
// as well. kappa_out receives the weight parameter of the last pass.
int run_core(const DomainRec& domain, const float* x, const float* y, int n, std::vector<Field>& fields,
             bool fast, const Params& prm, Loo* loo, float* kappa_out, FastStore* store = nullptr) {
  const int nf = static_cast<int>(fields.size());
  const float radius = prm.rad_inf * domain.dx;
  const Geometry geo{domain.nx, domain.ny, domain.dx, domain.dy, radius * radius, x, y, n};

  if (loo != nullptr && !loo->prepare(fields, n, geo)) return -1;
  // Fast-path storage; when it cannot be had the plain loop does the work.
  FastStore local;
  FastStore& fs = store != nullptr ? *store : local;
  if (fast && !fs.prepare(geo, radius, nf)) fast = false;
  const bool subst = state.miss_val != MISSING;
  try {
    if (fast && subst)
      for (Scratch& sc : fs.scratch) sc.touched.assign(static_cast<std::size_t>(n), 0);
  } catch (const std::bad_alloc&) {
    fast = false;
  }
  const Buckets& buckets = fs.buckets;
  std::vector<Scratch>& scratch = fs.scratch;
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
  float kappa = prm.filter;
  run_pass(PassSpec{true, kappa, state.miss_val, state.min_sta, src.data()});
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
        if (fd.data[s] == MISSING) fd.data[s] = state.miss_val;
    }
  }
  if (loo != nullptr) loo->pass(geo, fields, 1, kappa, state.min_sta);
  *kappa_out = kappa;
  if (prm.num_pass == 1 && !MESS_check(LEVEL_PASS)) return 0;

  try {
    for (Field& fd : fields) fd.resid.assign(static_cast<std::size_t>(n), MISSING);
  } catch (const std::bad_alloc&) {
    for (Field& fd : fields) std::vector<float>().swap(fd.resid);
    MESS_print(MESS_WARN, "OBJ_analyze: No memory for residual data\n");
    return -1;
  }
  compute_residuals(geo, fields.data(), nf);
  for (int pass = 2; pass <= prm.num_pass; ++pass) {
    MESS_print(LEVEL_PASS, "Pass: %d...\n", pass);
    kappa *= prm.converg;
    *kappa_out = kappa;
    for (int f = 0; f < nf; ++f)
      src[static_cast<std::size_t>(f)] = fields[static_cast<std::size_t>(f)].resid.data();
    run_pass(PassSpec{false, kappa, MISSING, state.min_sta, src.data()});
    if (loo != nullptr) loo->pass(geo, fields, pass, kappa, state.min_sta);
    compute_residuals(geo, fields.data(), nf);
  }
  return 0;
}



std::string station_name(int s) {
  if (state.checks.ids != nullptr && state.checks.ids[s] != nullptr) return std::string(state.checks.ids[s]).substr(0, 16);
  return "#" + std::to_string(s + 1);
}

float median_of(std::vector<float>& v) {
  const std::size_t h = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(h), v.end());
  float m = v[h];
  if (v.size() % 2 == 0) {
    const float lo = *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(h));
    m = 0.5f * (m + lo);
  }
  return m;
}

// Scaled median absolute deviation: the standard deviation of normal errors, unmoved by a
// few gross ones.
float robust_spread(std::vector<float>& v) {
  const float med = median_of(v);
  for (float& e : v) e = std::fabs(e - med);
  return 1.4826f * median_of(v);
}

// One round of the buddy check of one field. A report's leave-one-out error is compared
// with k robust spreads of its neighbours' errors (the neighbours are the stations within
// the radius of influence; the spread is kept above half the field's overall spread, so that
// a patch of nearly equal reports does not reject an ordinary one). A gross error also
// raises the errors of its neighbours, whose leave-one-out values contain it; so a round
// rejects only the reports that are the worst beyond the threshold among those near them, and
// the next round looks again with them left out. Marks the newly rejected reports in
// rejected (reports already rejected are missing in fd.data) and returns their number.
int buddy_round(const Geometry& g, float kappa, const Field& fd, const std::vector<float>& loo, const char* name,
                std::vector<char>& rejected) {
  const int n = g.n;
  std::vector<float> err(static_cast<std::size_t>(n), MISSING);
  std::vector<float> all;
  for (int s = 0; s < n; ++s) {
    if (loo[static_cast<std::size_t>(s)] == MISSING || fd.data[s] == MISSING) continue;
    err[static_cast<std::size_t>(s)] = fd.data[s] - loo[static_cast<std::size_t>(s)];
    all.push_back(err[static_cast<std::size_t>(s)]);
  }
  if (all.size() < 3) return 0;
  const float floor_spread = BUDDY_FLOOR * robust_spread(all);
  // Stations in cells of the radius's size: the neighbours lie in the 3 x 3 cells around.
  const double rx = std::sqrt(static_cast<double>(g.r2)) / std::fabs(static_cast<double>(g.dx));
  const double ry = std::sqrt(static_cast<double>(g.r2)) / std::fabs(static_cast<double>(g.dy));
  const double cw = std::max(rx, 1.0), ch = std::max(ry, 1.0);
  const int ncx = static_cast<int>(std::min((g.nx + 1) / cw + 1.0, 4096.0));
  const int ncy = static_cast<int>(std::min((g.ny + 1) / ch + 1.0, 4096.0));
  auto cell_x = [&](float v) { return std::clamp(static_cast<int>(v / cw), 0, ncx - 1); };
  auto cell_y = [&](float v) { return std::clamp(static_cast<int>(v / ch), 0, ncy - 1); };
  std::vector<int> start(static_cast<std::size_t>(ncx) * ncy + 1, 0), order;
  for (int s = 0; s < n; ++s)
    if (err[static_cast<std::size_t>(s)] != MISSING)
      ++start[static_cast<std::size_t>(cell_y(g.y[s])) * ncx + cell_x(g.x[s]) + 1];
  for (std::size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
  order.resize(static_cast<std::size_t>(start.back()));
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (int s = 0; s < n; ++s)
    if (err[static_cast<std::size_t>(s)] != MISSING)
      order[static_cast<std::size_t>(fill[static_cast<std::size_t>(cell_y(g.y[s])) * ncx + cell_x(g.x[s])]++)] = s;
  auto for_neighbours = [&](int s, float reach2, auto&& fn) {
    const int cx = cell_x(g.x[s]), cy = cell_y(g.y[s]);
    for (int yy = std::max(cy - 1, 0); yy <= std::min(cy + 1, ncy - 1); ++yy)
      for (int xx = std::max(cx - 1, 0); xx <= std::min(cx + 1, ncx - 1); ++xx) {
        const std::size_t c = static_cast<std::size_t>(yy) * ncx + xx;
        for (int k = start[c]; k < start[c + 1]; ++k) {
          const int t = order[static_cast<std::size_t>(k)];
          if (t == s) continue;
          const float ddx = (g.x[t] - g.x[s]) * g.dx, ddy = (g.y[t] - g.y[s]) * g.dy;
          if (ddx * ddx + ddy * ddy <= reach2) fn(t);
        }
      }
  };
  // How far beyond the threshold each report is (above 1: a candidate).
  std::vector<float> excess(static_cast<std::size_t>(n), 0.0f);
  std::vector<int> used(static_cast<std::size_t>(n), 0);
  std::vector<float> nb;
  // A spread is never below the floor, so a report within k floors cannot be a candidate:
  // its neighbours' spread is needed only to say so at the diagnostic level.
  const bool diag = MESS_check(LEVEL_DIAG) != 0;
  for (int s = 0; s < n; ++s) {
    const float e = err[static_cast<std::size_t>(s)];
    if (e == MISSING || (!diag && std::fabs(e) <= state.buddy_k * floor_spread)) continue;
    nb.clear();
    for_neighbours(s, g.r2, [&](int t) { nb.push_back(err[static_cast<std::size_t>(t)]); });
    used[static_cast<std::size_t>(s)] = static_cast<int>(nb.size());
    if (static_cast<int>(nb.size()) < state.buddy_min) continue;
    const float spread = std::max(robust_spread(nb), floor_spread);
    if (spread > 0.0f) excess[static_cast<std::size_t>(s)] = std::fabs(e) / (state.buddy_k * spread);
    MESS_print(LEVEL_DIAG, "Buddy check %s: %s error %g spread %g (%d neighbours)\n", name, station_name(s).c_str(),
               static_cast<double>(e), static_cast<double>(spread), static_cast<int>(nb.size()));
  }
  // A report waits for a worse one only where that one weighs in its leave-one-out value:
  // within the distance at which the first pass's weight falls to exp(-4).
  const float near2 = std::min(g.r2, 4.0f * kappa);
  int count = 0;
  for (int s = 0; s < n; ++s) {
    const float x = excess[static_cast<std::size_t>(s)];
    if (!(x > 1.0f)) continue;
    bool worst = true;
    for_neighbours(s, near2, [&](int t) {
      const float y = excess[static_cast<std::size_t>(t)];
      if (y > x || (y == x && t < s)) worst = false;
    });
    if (!worst) continue;
    rejected[static_cast<std::size_t>(s)] = 1;
    ++count;
    MESS_print(MESS_MESS, "Buddy check %s: %s %g rejected, neighbours give %g (%d neighbours)\n", name,
               station_name(s).c_str(), static_cast<double>(fd.data[s]),
               static_cast<double>(loo[static_cast<std::size_t>(s)]), used[static_cast<std::size_t>(s)]);
  }
  return count;
}

void print_cv(const std::vector<Field>& fields, const Loo& loo, GridRec* grids, const char* when) {
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const std::string name = text_of(grids[fields[f].slot].datatype);
    for (int p = 1; p <= loo.passes; ++p) {
      const PassStats& st = loo.stats[f][static_cast<std::size_t>(p - 1)];
      MESS_print(MESS_PRINT, "Leave-one-out %s%s pass %d: bias %.3f RMS %.3f max %.3f count %d\n", name.c_str(),
                 when, p, st.bias, st.rms, st.max_abs, st.count);
    }
  }
}

void keep_result(const std::vector<Field>& fields, const Loo& loo) {
  for (std::size_t f = 0; f < fields.size(); ++f) {
    SlotResult& r = state.checks.result[static_cast<std::size_t>(fields[f].slot)];
    r.loo = loo.value[f];
    r.stats = loo.stats[f];
    r.passes = loo.passes;
  }
}

// The automatic choice. Candidates: the weight parameter as given, run to at least two
// passes with convergence 0.3; halved with two thirds of the radius, and quartered with half
// of it (a sharper weight hardly needs more, and the smaller radius makes these cheap), with
// the defaults' passes. Every pass of every run is scored. A wider weight than the default
// never won on the real hours tried and costs a full run: it is not a candidate. The score is the leave-one-out RMS error over all fields, each relative
// to the defaults' (fields in different units weigh alike); the defaults are the first pass
// of the first run. The grids and leave-one-out values of the best are kept as they come,
// so that the chosen analysis need not be run again.
struct Choice {
  Params prm;
  double score = 0.0;
  float kappa = 0.0f;
  std::vector<std::vector<float>> grids;  // per field
  Loo loo;                                // values and statistics up to the chosen pass
  bool found = false;
};

void choose_params(const DomainRec& domain, const float* x, const float* y, int n, std::vector<Field>& fields,
                   bool fast, const Params& def, GridRec* grids, Choice* best, FastStore* store) {
  const std::size_t nf = fields.size();
  std::vector<PassStats> base(nf);
  const std::size_t points = static_cast<std::size_t>(domain.nx) * static_cast<std::size_t>(domain.ny);
  struct Candidate {
    float factor, radius;
    int more_passes;  // passes beyond the defaults' (at least one more than one)
  };
  const Candidate candidates[] = {{1.0f, 1.0f, 1}, {0.5f, 2.0f / 3.0f, 0}, {0.25f, 0.5f, 0}};
  double def_score = -1.0;
  for (const Candidate& c : candidates) {
    Params prm = def;
    prm.filter = def.filter * c.factor;
    prm.rad_inf = def.rad_inf * c.radius;
    prm.num_pass = c.more_passes > 0 ? std::max(def.num_pass, 2) : def.num_pass;
    if (prm.num_pass > def.num_pass || def.num_pass == 1) prm.converg = 0.3f;
    const bool first = &c == &candidates[0];
    Loo loo;
    loo.after_pass = [&](int p, float kappa) {
      if (first && p == 1)
        for (std::size_t f = 0; f < nf; ++f) base[f] = loo.stats[f][0];
      double sc = 0.0;
      for (std::size_t f = 0; f < nf; ++f) {
        const PassStats& a = loo.stats[f][static_cast<std::size_t>(p - 1)];
        // A candidate that leaves stations without a value does not compare.
        if (a.count == 0 || a.count < base[f].count * 0.98) return;
        sc += base[f].rms > 0.0 ? a.rms / base[f].rms : a.rms;
      }
      sc /= static_cast<double>(nf);
      MESS_print(LEVEL_DIAG, "Candidate filter %.3f radius %.2f pass %d: leave-one-out RMS %.3f of the defaults'\n",
                 prm.filter, prm.rad_inf, p, sc);
      if (first && p == 1) def_score = sc;
      if (best->found && !(sc < best->score)) return;
      best->found = true;
      best->score = sc;
      best->kappa = kappa;
      best->prm = prm;
      best->prm.num_pass = p;
      if (p == 1) best->prm.converg = def.converg;
      best->grids.resize(nf);
      for (std::size_t f = 0; f < nf; ++f) best->grids[f].assign(fields[f].grid, fields[f].grid + points);
      best->loo.value = loo.value;
      best->loo.stats = loo.stats;
      best->loo.passes = p;
    };
    float k = 0.0f;
    run_core(domain, x, y, n, fields, fast, prm, &loo, &k, store);
    Loo::release(fields);
  }
  if (!best->found) return;
  MESS_print(MESS_PRINT,
             "Automatic analysis parameters: filter %.3f, radius %.2f, passes %d, convergence %.2f "
             "(defaults: filter %.3f, radius %.2f, passes %d)\n",
             best->prm.filter, best->prm.rad_inf, best->prm.num_pass, best->prm.converg, def.filter, def.rad_inf,
             def.num_pass);
  // With more than one default pass the defaults' own convergence was not run: their
  // first pass stands for them.
  const char* what = def.num_pass > 1 ? "the defaults' first pass" : "the defaults";
  for (std::size_t f = 0; f < nf; ++f)
    MESS_print(MESS_PRINT, "   %s: leave-one-out RMS %.3f, %s %.3f\n", text_of(grids[fields[f].slot].datatype).c_str(),
               best->loo.stats[f][static_cast<std::size_t>(best->prm.num_pass - 1)].rms, what, base[f].rms);
  if (def_score < 0.0) MESS_print(MESS_PRINT, "   (the defaults leave stations without a value)\n");
}

// Takes the chosen analysis as its run left it: grids, leave-one-out values and statistics.
void take_choice(const DomainRec& domain, std::vector<Field>& fields, Choice& chosen, Loo* loo) {
  const std::size_t points = static_cast<std::size_t>(domain.nx) * static_cast<std::size_t>(domain.ny);
  for (std::size_t f = 0; f < fields.size(); ++f)
    std::copy(chosen.grids[f].begin(), chosen.grids[f].begin() + static_cast<std::ptrdiff_t>(points), fields[f].grid);
  loo->value = std::move(chosen.loo.value);
  loo->stats = std::move(chosen.loo.stats);
  loo->passes = chosen.loo.passes;
}

// The analysis with the checks: the buddy check in rounds with the given parameters, then
// the automatic choice of parameters on the reports it kept (gross errors would decide the
// choice otherwise), then the cross-validation lines. Without the buddy check the choice
// comes first and its best run is the analysis.
int checked_analysis(const DomainRec& domain, float* x, float* y, int n, std::vector<Field>& fields, bool fast,
                     GridRec* grids) {
  for (SlotResult& r : state.checks.result) r = SlotResult{};
  const Params def{state.filter, state.rad_inf, state.num_pass, state.converg};
  float kappa_last = state.filter;
  const bool buddy = state.buddy_k > 0.0f;
  if (!state.cross_valid && !state.auto_params && !buddy) {
    const int r = run_core(domain, x, y, n, fields, fast, def, nullptr, &kappa_last);
    state.filter = kappa_last;
    return r;
  }
  Params prm = def;
  Loo loo;
  int r = 0;
  Choice chosen;
  FastStore store;
  if (state.auto_params && !buddy) choose_params(domain, x, y, n, fields, fast, def, grids, &chosen, &store);
  if (chosen.found) {
    prm = chosen.prm;
    kappa_last = chosen.kappa;
    take_choice(domain, fields, chosen, &loo);
  } else {
    r = run_core(domain, x, y, n, fields, fast, prm, &loo, &kappa_last, &store);
    Loo::release(fields);
  }
  if (r != 0) {
    state.filter = kappa_last;
    return r;
  }
  keep_result(fields, loo);
  if (!buddy) {
    if (state.cross_valid) print_cv(fields, loo, grids, "");
    state.filter = kappa_last;
    return 0;
  }
  // Rounds of the buddy check, each on the analysis without the reports rejected so far;
  // the caller's values stay as they are. The analysis of the round that rejects nothing
  // more is the final one.
  const std::size_t nf = fields.size();
  std::vector<std::vector<float>> kept(nf);
  std::vector<float*> caller(nf);
  for (std::size_t f = 0; f < nf; ++f) {
    caller[f] = fields[f].data;
    state.checks.result[static_cast<std::size_t>(fields[f].slot)].rejected.assign(static_cast<std::size_t>(n), 0);
  }
  const float radius = prm.rad_inf * domain.dx;
  const Geometry geo{domain.nx, domain.ny, domain.dx, domain.dy, radius * radius, x, y, n};
  std::vector<int> checked(nf, 0);
  int total = 0;
  for (int round = 1;; ++round) {
    int fresh = 0;
    for (std::size_t f = 0; f < nf; ++f) {
      SlotResult& res = state.checks.result[static_cast<std::size_t>(fields[f].slot)];
      if (round == 1) checked[f] = loo.stats[f][static_cast<std::size_t>(loo.passes - 1)].count;
      const std::string name = text_of(grids[fields[f].slot].datatype);
      const int got = buddy_round(geo, prm.filter, fields[f], loo.value[f], name.c_str(), res.rejected);
      if (got == 0) continue;
      if (kept[f].empty()) kept[f].assign(caller[f], caller[f] + n);
      for (int s = 0; s < n; ++s)
        if (res.rejected[static_cast<std::size_t>(s)]) kept[f][static_cast<std::size_t>(s)] = MISSING;
      fields[f].data = kept[f].data();
      res.num_rejected += got;
      fresh += got;
    }
    if (round == 1 && state.cross_valid) print_cv(fields, loo, grids, fresh > 0 ? " (all reports)" : "");
    total += fresh;
    if (fresh == 0) break;
    // After the last round one more analysis without the rejected reports, no further look.
    const bool last = round == BUDDY_ROUNDS;
    if (last && state.auto_params) break;  // the choice below analyses them
    loo = Loo{};
    r = run_core(domain, x, y, n, fields, fast, prm, (last && !state.cross_valid) ? nullptr : &loo, &kappa_last,
                 &store);
    Loo::release(fields);
    if (r != 0 || last) break;
  }
  if (r == 0 && state.auto_params) {
    choose_params(domain, x, y, n, fields, fast, prm, grids, &chosen, &store);
    if (chosen.found) {
      kappa_last = chosen.kappa;
      loo = Loo{};
      take_choice(domain, fields, chosen, &loo);
    } else if (total > 0) {
      loo = Loo{};
      r = run_core(domain, x, y, n, fields, fast, prm, state.cross_valid ? &loo : nullptr, &kappa_last, &store);
      Loo::release(fields);
    }
  }
  for (std::size_t f = 0; f < nf; ++f) {
    fields[f].data = caller[f];
    const SlotResult& res = state.checks.result[static_cast<std::size_t>(fields[f].slot)];
    if (res.num_rejected > 0)
      MESS_print(MESS_PRINT, "Buddy check %s: %d of %d reports rejected (k %.1f)\n",
                 text_of(grids[fields[f].slot].datatype).c_str(), res.num_rejected, checked[f],
                 static_cast<double>(state.buddy_k));
  }
  if (r == 0 && (total > 0 || chosen.found) && state.cross_valid)
    print_cv(fields, loo, grids, total > 0 ? " (after the buddy check)" : " (chosen parameters)");
  state.filter = kappa_last;
  return r;
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
  MESS_print(LEVEL_DIAG, "Number of passes             = %4d\n", state.num_pass);
  MESS_print(LEVEL_DIAG, "Filter parameter             = %9.4f cm**2\n", state.filter);
  if (state.num_pass > 1) MESS_print(LEVEL_DIAG, "Convergence parameter        = %9.4f\n", state.converg);
  MESS_print(LEVEL_DIAG, "Radius of influence          = %7.2f grids\n", state.rad_inf);
  MESS_print(LEVEL_DIAG, "Minimum stations at gridpt   = %4d stats\n\n", state.min_sta);

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
      fields.push_back(Field{k, data[k], gr.values, {}, 0.0, 0, {}});
    }
  } catch (const std::bad_alloc&) {
    MESS_print(MESS_WARN, "OBJ_analyze: No memory for analysis\n");
    return -1;
  }
  const int nf = static_cast<int>(fields.size());
  if (nf == 0) return -1;

  return checked_analysis(domain, x, y, n, fields, fast, grids);
}

}  // namespace

void OBJ_initialize() { static_cast<ObjParams&>(state) = ObjParams{}; }

void OBJ_set_filter(float value) { state.filter = value; }
void OBJ_set_rad_inf(float radius) { state.rad_inf = radius; }
void OBJ_set_num_pass(int passes) { state.num_pass = passes; }
void OBJ_set_converg(float value) { state.converg = value; }
void OBJ_set_min_sta(int value) { state.min_sta = value; }
void OBJ_set_miss_val(float value) { state.miss_val = value; }

void OBJ_get_params(float* filter_out, float* rad_inf_out, int* num_pass_out, float* converg_out,
                    float* miss_val_out, int* min_sta_out, int* grid_factor_out) {
  if (filter_out) *filter_out = state.filter;
  if (rad_inf_out) *rad_inf_out = state.rad_inf;
  if (num_pass_out) *num_pass_out = state.num_pass;
  if (converg_out) *converg_out = state.converg;
  if (miss_val_out) *miss_val_out = state.miss_val;
  if (min_sta_out) *min_sta_out = state.min_sta;
  if (grid_factor_out) *grid_factor_out = state.grid_factor;
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

void OBJ_set_buddy(float k, int min_neighbours) {
  state.buddy_k = k > 0.0f ? k : 0.0f;
  state.buddy_min = std::max(min_neighbours, 1);
}

void OBJ_get_buddy(float* k, int* min_neighbours) {
  if (k) *k = state.buddy_k;
  if (min_neighbours) *min_neighbours = state.buddy_min;
}

void OBJ_set_cross_valid(int on) { state.cross_valid = on != 0; }
void OBJ_set_auto(int on) { state.auto_params = on != 0; }

int OBJ_rejected(int slot, int station) {
  if (slot < 0 || slot >= GRD_MAX_SLOTS || station < 0) return 0;
  const std::vector<char>& r = state.checks.result[static_cast<std::size_t>(slot)].rejected;
  return static_cast<std::size_t>(station) < r.size() && r[static_cast<std::size_t>(station)] ? 1 : 0;
}

int OBJ_num_rejected(int slot) {
  if (slot < 0 || slot >= GRD_MAX_SLOTS) return 0;
  return state.checks.result[static_cast<std::size_t>(slot)].num_rejected;
}

float OBJ_loo_value(int slot, int station) {
  if (slot < 0 || slot >= GRD_MAX_SLOTS || station < 0) return MISSING;
  const std::vector<float>& v = state.checks.result[static_cast<std::size_t>(slot)].loo;
  return static_cast<std::size_t>(station) < v.size() ? v[static_cast<std::size_t>(station)] : MISSING;
}

int OBJ_loo_stats(int slot, int pass, double* bias, double* rms, double* max_abs, int* count) {
  if (slot < 0 || slot >= GRD_MAX_SLOTS) return 0;
  const SlotResult& r = state.checks.result[static_cast<std::size_t>(slot)];
  if (pass < 1 || pass > r.passes) return 0;
  const PassStats& st = r.stats[static_cast<std::size_t>(pass - 1)];
  if (bias) *bias = st.bias;
  if (rms) *rms = st.rms;
  if (max_abs) *max_abs = st.max_abs;
  if (count) *count = st.count;
  return st.count > 0 ? 1 : 0;
}

int OBJ_analyze_ids(float* x, float* y, float** data, const char* const* ids, int num_stats, int num_var,
                    GridRec* grids) {
  state.checks.ids = ids;
  const int r = OBJ_analyze(x, y, data, num_stats, num_var, grids);
  state.checks.ids = nullptr;
  return r;
}

void OBJ_decode_params() {
  decode_check_resources();
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

void OBJ_reset_state() { state = ObjState{}; }
