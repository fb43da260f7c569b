// Contour plotting: tracing cell by cell, colour fill by bands, labels, highs and lows and
// the colour bar.
#include "plot/cont.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "config/datafile.h"
#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/prompt.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_ogr.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "surface/var_tool.h"

namespace {

constexpr int kMaxLevels = 256;
constexpr int kMaxVars = 60;
constexpr float kLastBand = 1.0e6F;  // width of the band above the last explicit level
// More levels than this over the field's range come from a slip (1e-30 for 1e-3): the
// lines would paint the map solid and take minutes. Such an interval gives way to the
// automatic one.
constexpr int kMaxIntervalLevels = 1000;
constexpr int kMaxBarBoxes = 200;

bool set(float v) { return v != MISSING; }
bool set(int v) { return v != MISSING_INT; }

// The first frame of a series decides which colour every value gets in the frames after
// it: its colour base, the number of bands the built-in colours were spread over, and
// whether its bands fitted the colours. Later frames that reach past those bands hold the
// end colours instead of cycling round, so that a warm afternoon is never painted in the
// coldest colour; the colour bar then shows the series' bands with pointed ends.
struct SeriesColours {
  bool known = false;
  float interval = 0.0F, cbase = 0.0F;
  int spread = 0;
  bool fits = false;
};

// The colour bar boxes last drawn.
struct BarDrawn {
  bool drawn = false;
  float x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  int boxes = 0;
  float lo = 0, step = 0;
  std::vector<float> levels;  // explicit levels of the boxes
  std::vector<int> colors;    // fill index of each box
};

// What one contour plot was asked for, what it derived from the field, and what the
// device was last told; a series of frames carries part of it from one frame to the next.
struct ContState {
  // ---- plot state ----
  int cont_type = MISSING_INT;
  float intrvl = MISSING;
  float base = MISSING;
  std::string format;
  std::string num_form;
  std::vector<float> cont_value;  // explicit levels, empty when none
  std::array<std::string, kMaxLevels> cont_label;
  float min_cut = MISSING, max_cut = MISSING;
  float scale = 1.0F;
  int dash = 0;
  float grid_min = MISSING, grid_max = MISSING;
  int label_skip = 2, ext_radius = 2;
  float ext_km = MISSING;  // search radius of highs and lows in km ("hlr" plot parameter)
  int x_skip = 1, y_skip = 1;
  float x_off = 0.0F, y_off = 0.0F;
  int x_label_space = MISSING_INT, y_label_space = MISSING_INT;
  int fill_pat = MISSING_INT;
  int over = 0;
  std::vector<AttribRec> fill_attrib;
  bool color_fill_set = false;
  float bar_max = MISSING, bar_min = MISSING;
  int plt_bar = 0;
  int mapcon = 0;
  int rot_label = 0;
  float max_line_fact = -2.0F;
  int draw_grid_cells = 0;
  int cont_types[kMaxVars] = {}, dashs[kMaxVars] = {};
  float intrvls[kMaxVars] = {}, bases[kMaxVars] = {};
  bool remembered[kMaxVars] = {};
  // While a finished plot is drawn again (zoom, unzoom, resize) its first frame keeps the
  // answers it was given too, instead of asking at the terminal while the window waits.
  bool keep_answers = false;
  AttribRec ln_cont_attr;
  std::array<std::string, 6> frame_labels;
  // The plot label style the format asked for ("labs": -1); 0 leaves the plot manager's.
  int frame_label_type = 0;

  // Derived levels.
  float conlo = MISSING, conhi = MISSING, cbase = MISSING;
  int num_cont = 0;

  SeriesColours series_colours[kMaxVars];
  bool hold_ends = false;  // this plot holds the end colours of its series

  // Precipitation and wind speed have a "nothing" (no rain, calm) that covers most of a map;
  // painting it in the first colour would show rain everywhere. Bands below the first level
  // above zero are left unfilled unless the user counts the levels (base, cutoff or list).
  bool zero_is_nothing = false;
  float nothing_top = MISSING;  // bands whose lower level lies below this are not filled
  int spread_bands = 0;         // the number of bands the built-in colours were spread over

  // Colour bar geometry as the plot manager gives it, and the boxes last drawn.
  float bar_view[4] = {0.0F, 1.0F, 0.0F, 1.0F};
  float bar_bottom = 0.0F;
  int bar_labels_inside = 0;
  BarDrawn bar_drawn;

  ContTraceHook trace_hook = nullptr;
  // The fill list is the built-in one.
  bool builtin_fill = false;
  int proj_code = MISSING_INT;  // projection of the map the corners are in

  // ---- output of traced pieces ----
  int cur_band = -2;      // fill entry set on the device
  int cur_dashed = -1;    // line type state on the device
  float cur_lo = 0, cur_hi = 0;

  // The cell named by the environment variable "gridloc" ("column,row"; -1 when none): its
  // corners and crossings are printed, to see why a line runs as it does.
  int diag_col = -1, diag_row = -1;

  // Labels wait, when the framework asks, until the map over the data is drawn, so that no
  // map line runs through them.
  bool defer_labels = false;
  std::vector<std::function<void()>> pending_labels;

  // A format is decoded again for every frame: each bad number format and each refused
  // interval is named once a run.
  std::set<std::string> reported_formats;
  std::set<float> reported_intervals;
};
ContState st;

bool nothing_band(float low) { return set(st.nothing_top) && low < st.nothing_top; }

// Cold to warm, as a forecaster reads a temperature field; neither end is white or grey,
// which would read as missing data.
const char* const kBuiltinColors[] = {"DBlue", "Blue",   "LBlue", "Cyan",   "DCyan", "DGreen", "Green",
                                      "LGreen", "Yellow", "Gold",  "Orange", "Red",   "DRed"};

std::vector<AttribRec> builtin_entries() {
  std::vector<AttribRec> out;
  for (const char* name : kBuiltinColors) {
    AttribRec r;
    ATTRIB_init(&r);
    r.color = CLR_get_ind(name), r.fill = 0;
    out.push_back(r);
  }
  return out;
}

// Fewer bands than built-in colours take colours spread over the whole list, so that the
// warmest band is red however many bands the field has.
void spread_builtin(int bands) {
  if (!st.builtin_fill) return;
  st.spread_bands = bands;
  const std::vector<AttribRec> all = builtin_entries();
  st.fill_attrib = all;
  const int n = static_cast<int>(all.size());
  if (bands < 2 || bands >= n) return;
  st.fill_attrib.clear();
  for (int j = 0; j < bands; ++j)
    st.fill_attrib.push_back(all[static_cast<std::size_t>(std::lround(static_cast<double>(j) * (n - 1) / (bands - 1)))]);
}

int color_num() { return std::max<int>(1, static_cast<int>(st.fill_attrib.size())); }
bool is_fill_type(int t) { return t == PLOT_FCONT || t == PLOT_BCONT; }
bool has_lines(int t) { return t == PLOT_LCONT || t == PLOT_BCONT; }

// Colour entry of a band that lies `bands` intervals above the colour base: the colours
// cycle. In double with fmod, since a value far from the base counts more bands than an
// integer holds.
int cycle_entry(double bands) {
  const double k = std::floor(bands + 0.01);
  if (!std::isfinite(k)) return 0;
  const double n = color_num();
  if (st.hold_ends) return static_cast<int>(std::clamp(k, 0.0, n - 1.0));
  double e = std::fmod(k, n);
  if (e < 0.0) e += n;
  return std::clamp(static_cast<int>(e), 0, color_num() - 1);
}

// Colour entry of the band whose lower level is `low` (non-explicit levels).
int band_color(float low) {
  if (!set(st.intrvl) || st.intrvl <= 0.0F) return 0;
  return cycle_entry((static_cast<double>(low) - st.cbase) / st.intrvl);
}

// The levels base + k * step that cover lo to hi: the first at or below lo, the last above
// hi, and their count. False when the numbers give no finite span or more than max_count
// levels, before any of it becomes an integer.
struct LevelSpan {
  float low = 0.0F, high = 0.0F;
  int count = 0;
};

bool level_span(float lo, float hi, float base, float step, int max_count, LevelSpan* span) {
  if (!std::isfinite(step) || step <= 0.0F || !std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(base))
    return false;
  const double s = step;
  // The same levels counted from the base's remainder: a base far from the field would
  // swallow the field's digits.
  const double b = std::fabs(static_cast<double>(base)) >= s ? std::fmod(static_cast<double>(base), s) : base;
  double first = 0.0, last = 0.0, count = 0.0;
  if (hi < lo) {
    first = hi, last = lo;
    count = std::floor((last - first + 0.01) / s);
  } else {
    const double k0 = std::floor((lo - b) / s), k1 = std::floor((hi - b) / s) + 1.0;
    first = k0 * s + b, last = k1 * s + b;
    count = k1 - k0;
  }
  if (!(count >= 0.0 && count <= max_count) || !std::isfinite(first) || !std::isfinite(last)) return false;
  span->low = static_cast<float>(first);
  span->high = static_cast<float>(last);
  span->count = static_cast<int>(count);
  return true;
}

// The index of the level at or below z, held to -1 ... levels so that it converts to an
// integer for any interval.
int level_index(float z, int levels) {
  const double k = std::floor((static_cast<double>(z) - st.conlo) / st.intrvl);
  return std::isnan(k) ? -1 : static_cast<int>(std::clamp(k, -1.0, static_cast<double>(levels)));
}

// ---- tracing: one cell ----
// Corners: 0 lower left, 1 lower right, 2 upper left, 3 upper right. Sides: 0 bottom
// (0->1), 1 left (0->2), 2 top (2->3), 3 right (1->3).
constexpr int kSideA[4] = {0, 0, 2, 1};
constexpr int kSideB[4] = {1, 2, 3, 3};

struct Cell {
  float z[4];
  float x[4];
  float y[4];
};

struct Level {
  float c = 0;
  int n = 0;              // crossed sides: 0, 2 or 4
  bool crossed[4] = {};   // per side
  float px[4], py[4];     // crossing point per side
  float t[4];             // fraction per side
  int partner[4] = {-1, -1, -1, -1};
  float total = 0;        // saddle measure
};


// The point at fraction t between two corners, with the seam of global maps mended.
void int_xy(float* p, float x1, float y1, float x2, float y2, float t) {
  if (st.proj_code == PROJ_LL) {
    if (x2 - x1 > 50.0F) x2 -= 360.0F;
    else if (x1 - x2 > 50.0F) x2 += 360.0F;
  } else if (st.proj_code == PROJ_MERC) {
    constexpr float w = 400.31555892808814F;
    if (x2 - x1 > w / 2) x2 -= w;
    else if (x1 - x2 > w / 2) x2 += w;
  } else if (st.proj_code == PROJ_MOLL && (x1 < 0.0F) != (x2 < 0.0F) && std::fabs(x2 - x1) > 10.0F) {
    auto width = [](float y) { return 254.852F * std::sqrt(std::max(0.0F, 1.0F - (y / 63.713F) * (y / 63.713F))); };
    if (x1 < 0.0F) x1 += width(y1);
    else x2 += width(y2);
  }
  p[0] = x1 + t * (x2 - x1);
  p[1] = y1 + t * (y2 - y1);
}

// Crossings of level c (a corner equal to c lies above it).
void compute_dz(const Cell& cell, float c, Level* lv) {
  lv->c = c;
  lv->n = 0;
  int sides[4];
  for (int s = 0; s < 4; ++s) {
    const float a = cell.z[kSideA[s]], b = cell.z[kSideB[s]];
    lv->crossed[s] = (a >= c) != (b >= c);
    lv->partner[s] = -1;
    if (!lv->crossed[s]) {
      lv->t[s] = a == b ? -3.0F : -2.0F;
      continue;
    }
    const float t = std::clamp((c - a) / (b - a), 0.0F, 1.0F);
    lv->t[s] = t;
    float p[2];
    int_xy(p, cell.x[kSideA[s]], cell.y[kSideA[s]], cell.x[kSideB[s]], cell.y[kSideB[s]], t);
    lv->px[s] = p[0];
    lv->py[s] = p[1];
    sides[lv->n++] = s;
  }
  auto tt = [&](int s) { return lv->crossed[s] ? lv->t[s] : 0.0F; };
  lv->total = tt(0) + tt(1) + (1.0F - tt(2)) + (1.0F - tt(3));
  auto pair = [&](int a, int b) { lv->partner[a] = b, lv->partner[b] = a; };
  if (lv->n == 2) {
    pair(sides[0], sides[1]);
  } else if (lv->n == 4) {
    // A saddle: the measure decides which pair of opposite corners the lines cut off.
    if (lv->total >= 2.0F) pair(3, 0), pair(2, 1);
    else pair(2, 3), pair(0, 1);
  }
}


void emit(int kind, int n, const float* pts) {
  if (st.trace_hook != nullptr) {
    st.trace_hook(kind, n, pts, st.cur_lo, st.cur_hi);
    return;
  }
  CONT_draw_lines(kind, n, pts);
}

bool lambert_gap(const float* a, const float* b) {
  return st.proj_code == PROJ_LAMB && std::fabs(a[0] - b[0]) >= 50.0F;
}

void use_line(float level) {
  st.cur_lo = st.cur_hi = level;
  if (st.trace_hook != nullptr) return;
  const int dashed = st.dash == 1 || (st.dash == -1 && level < 0.0F) ? 1 : 0;
  if (dashed != st.cur_dashed) {
    gset_linetype(dashed ? 2 : (set(st.ln_cont_attr.style) ? st.ln_cont_attr.style : 1));
    st.cur_dashed = dashed;
  }
}

void use_band(int entry, float lo, float hi) {
  st.cur_lo = lo;
  st.cur_hi = hi;
  if (st.trace_hook != nullptr || entry == st.cur_band) return;
  st.cur_band = entry;
  AttribRec a = st.fill_attrib[static_cast<std::size_t>(entry)];
  if (set(st.fill_pat)) a.fill = st.fill_pat;
  GPH_fill_attr(&a);
}

void draw_level_lines(const Level& lv) {
  if (lv.n < 2) return;
  use_line(lv.c);
  for (int s = 0; s < 4; ++s) {
    const int p = lv.partner[s];
    if (!lv.crossed[s] || p < s) continue;
    const float seg[4] = {lv.px[s], lv.py[s], lv.px[p], lv.py[p]};
    if (seg[0] == seg[2] && seg[1] == seg[3]) continue;  // a touch at a corner
    if (lambert_gap(seg, seg + 2)) continue;
    emit(PLOT_LCONT, 2, seg);
  }
}

// The polygons of the part of the cell between levels lo (crossings in L) and hi (in U):
// a walk round the perimeter that follows the level lines where it leaves the band.
void band_polygons(const Cell& cell, const Level& L, const Level& U) {
  struct Node {
    float x, y;
    int level;  // -1 corner, 0 lower, 1 upper
    int side;
    bool in_after;
  };
  Node nodes[12];
  int count = 0;
  bool above_l = cell.z[0] >= L.c, above_u = cell.z[0] >= U.c;
  // Counter-clockwise: corner 0, side 0, corner 1, side 3, corner 3, side 2 backwards,
  // corner 2, side 1 backwards.
  constexpr int corner_of[4] = {0, 1, 3, 2};
  constexpr int side_of[4] = {0, 3, 2, 1};
  constexpr bool forward[4] = {true, true, false, false};
  bool any = false;
  for (int e = 0; e < 4; ++e) {
    const int k = corner_of[e];
    above_l = cell.z[k] >= L.c;
    above_u = cell.z[k] >= U.c;
    nodes[count++] = {cell.x[k], cell.y[k], -1, -1, above_l && !above_u};
    const int s = side_of[e];
    int order[2] = {-1, -1}, m = 0;
    if (L.crossed[s]) order[m++] = 0;
    if (U.crossed[s]) order[m++] = 1;
    if (m == 2) {
      const float tl = forward[e] ? L.t[s] : 1.0F - L.t[s];
      const float tu = forward[e] ? U.t[s] : 1.0F - U.t[s];
      if (tu < tl) std::swap(order[0], order[1]);
    }
    for (int i = 0; i < m; ++i) {
      const Level& lv = order[i] == 0 ? L : U;
      (order[i] == 0 ? above_l : above_u) = !(order[i] == 0 ? above_l : above_u);
      nodes[count++] = {lv.px[s], lv.py[s], order[i], s, above_l && !above_u};
      any = true;
    }
  }
  if (!any) {
    if (nodes[0].in_after) {
      const float quad[8] = {cell.x[0], cell.y[0], cell.x[1], cell.y[1], cell.x[3], cell.y[3], cell.x[2], cell.y[2]};
      emit(PLOT_FCONT, 4, quad);
    }
    return;
  }
  auto find = [&](int level, int side) {
    for (int i = 0; i < count; ++i)
      if (nodes[i].level == level && nodes[i].side == side) return i;
    return -1;
  };
  bool used[12] = {};
  for (int start = 0; start < count; ++start) {
    if (nodes[start].level < 0 || !nodes[start].in_after || used[start]) continue;
    float poly[32];
    int n = 0;
    int cur = start;
    for (int guard = 0; guard < 8; ++guard) {
      used[cur] = true;
      int j = cur;
      do {
        if (n < 16) poly[2 * n] = nodes[j].x, poly[2 * n + 1] = nodes[j].y, ++n;
        j = (j + 1) % count;
      } while (!(nodes[j].level >= 0 && !nodes[j].in_after) && j != cur);
      if (n < 16) poly[2 * n] = nodes[j].x, poly[2 * n + 1] = nodes[j].y, ++n;
      const Level& lv = nodes[j].level == 0 ? L : U;
      const int next = find(nodes[j].level, lv.partner[nodes[j].side]);
      if (next < 0 || next == start) break;
      cur = next;
    }
    if (n >= 3) emit(PLOT_FCONT, n, poly);
  }
}

// ---- tracing: the grid ----
struct Corners {
  std::vector<float> X, Y;  // map position of every grid point (rows top first)
  bool separable = false;   // x depends on the column alone and y on the row alone
};

bool grid_positions(const GridRec* grid, Corners* c) {
  const int nx = grid->domain.nx, ny = grid->domain.ny;
  const std::size_t n = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
  DomainRec cur;
  MAP_get_domain(&cur);
  st.proj_code = MISSING_INT;
  c->X.assign(n, 0.0F);
  c->Y.assign(n, 0.0F);
  if (cur.proj == MISSING_INT || !set(cur.proj)) {
    // No map: grid coordinates, rows counted from the bottom.
    for (int r = 0; r < ny; ++r)
      for (int i = 0; i < nx; ++i) {
        c->X[static_cast<std::size_t>(r) * nx + i] = static_cast<float>(i);
        c->Y[static_cast<std::size_t>(r) * nx + i] = static_cast<float>(ny - 1 - r);
      }
    c->separable = true;
    return true;
  }
  st.proj_code = cur.proj;
  if (DOM_comp(&grid->domain, &cur) != 0) {
    std::vector<float> xs(static_cast<std::size_t>(nx)), ys(static_cast<std::size_t>(ny));
    for (int i = 0; i < nx; ++i) {
      float x, y;
      MAP_grid_tran(&x, &y, static_cast<float>(i), 0.0F);
      xs[static_cast<std::size_t>(i)] = x;
    }
    for (int r = 0; r < ny; ++r) {
      float x, y;
      MAP_grid_tran(&x, &y, 0.0F, static_cast<float>(r));
      ys[static_cast<std::size_t>(r)] = y;
    }
    for (int r = 0; r < ny; ++r)
      for (int i = 0; i < nx; ++i) {
        c->X[static_cast<std::size_t>(r) * nx + i] = xs[static_cast<std::size_t>(i)];
        c->Y[static_cast<std::size_t>(r) * nx + i] = ys[static_cast<std::size_t>(r)];
      }
    c->separable = true;
    return true;
  }
  float* X = nullptr;
  float* Y = nullptr;
  if (GRD_proj_XY(grid, nullptr, &X, &Y) != 0 || X == nullptr || Y == nullptr) {
    std::free(X);
    std::free(Y);
    MESS_print(MESS_ERROR, "CONT_draw_contours: Unable to allocate grid arrays\n");
    return false;
  }
  std::copy(X, X + n, c->X.begin());
  std::copy(Y, Y + n, c->Y.begin());
  std::free(X);
  std::free(Y);
  c->separable = false;
  return true;
}

float level_at(int k) {
  if (!st.cont_value.empty()) return st.cont_value[static_cast<std::size_t>(k)];
  return st.conlo + static_cast<float>(k) * st.intrvl;
}

float cell_limit() {
  if (st.max_line_fact < 0.0F) return -st.max_line_fact * static_cast<float>(color_num());
  if (st.max_line_fact > 0.0F) return st.max_line_fact;
  return 10000.0F;
}

// A run of whole cells of one band along a row, filled as one polygon.
struct Run {
  int band = -1;
  float lo = 0, hi = 0;
  int row = -1, first = -1, last = -1;
};

void flush_run(Run* run, const Corners& pos, int nx) {
  if (run->band < 0) return;
  use_band(run->band, run->lo, run->hi);
  const std::size_t top = static_cast<std::size_t>(run->row) * nx, bot = top + nx;
  if (pos.separable) {
    const float q[8] = {pos.X[bot + run->first], pos.Y[bot], pos.X[bot + run->last + 1], pos.Y[bot],
                        pos.X[top + run->last + 1], pos.Y[top], pos.X[top + run->first], pos.Y[top]};
    emit(PLOT_FCONT, 4, q);
  } else {
    std::vector<float> q;
    for (int i = run->first; i <= run->last + 1; ++i) q.push_back(pos.X[bot + i]), q.push_back(pos.Y[bot + i]);
    for (int i = run->last + 1; i >= run->first; --i) q.push_back(pos.X[top + i]), q.push_back(pos.Y[top + i]);
    emit(PLOT_FCONT, static_cast<int>(q.size() / 2), q.data());
  }
  run->band = -1;
}

int trace_pass(const GridRec* grid, const Corners& pos, bool fill, bool lines);


void diag_cell(const Cell& cell, int k0, int k1) {
  std::printf("GRIDPOINT: %f %f %f %f\n", static_cast<double>(cell.z[0]), static_cast<double>(cell.z[1]),
              static_cast<double>(cell.z[2]), static_cast<double>(cell.z[3]));
  Level lv;
  for (int k = k0; k <= k1; ++k) {
    const float c = level_at(k);
    compute_dz(cell, c, &lv);
    std::printf("level %g: fractions %g %g %g %g, %d sides, total %g\n", static_cast<double>(c),
                static_cast<double>(lv.t[0]), static_cast<double>(lv.t[1]), static_cast<double>(lv.t[2]),
                static_cast<double>(lv.t[3]), lv.n, static_cast<double>(lv.total));
  }
}

// Cells larger than this part of the map height show the straight pieces of a contour
// (a closed isobar round a low becomes a polygon): such a field is traced on a finer grid.
constexpr float kSmoothCell = 1.0F / 200.0F;
constexpr int kMaxSmooth = 4;

// How many times finer the grid is traced: only on a map (a grid without one is drawn
// cell for cell, as its values stand), enough to bring the cells under kSmoothCell.
int smooth_factor(int nx, int ny, const Corners& pos) {
  if (st.proj_code == MISSING_INT || !set(st.proj_code) || nx < 4 || ny < 4 || st.draw_grid_cells) return 1;
  // Positions between the points of a grid from another domain are not interpolated across
  // the seam of a world map.
  if (!pos.separable && (st.proj_code == PROJ_LL || st.proj_code == PROJ_MERC || st.proj_code == PROJ_MOLL || st.proj_code == PROJ_LAMB))
    return 1;
  const float mh = MAP_get_vert();
  double sum = 0.0;
  int n = 0;
  for (int r = 0; r + 1 < ny; r += std::max(1, ny / 8))
    for (int i = 0; i + 1 < nx; i += std::max(1, nx / 8)) {
      const std::size_t k = static_cast<std::size_t>(r) * nx + i;
      if (pos.X[k] == MISSING || pos.X[k + 1] == MISSING || pos.X[k + nx] == MISSING) continue;
      sum += std::max(std::hypot(pos.X[k + 1] - pos.X[k], pos.Y[k + 1] - pos.Y[k]),
                      std::hypot(pos.X[k + nx] - pos.X[k], pos.Y[k + nx] - pos.Y[k]));
      ++n;
    }
  if (n == 0 || !(mh > 0.0F)) return 1;
  const double cell = sum / n / mh;
  return std::clamp(static_cast<int>(std::ceil(cell / kSmoothCell - 0.25)), 1, kMaxSmooth);
}

// Uniform cubic B-spline weights at fraction t: between the points the field is a smooth
// surface (continuous to its second derivatives), so that a line crossing a cell bends
// instead of turning at the cell's side.
void cubic_weights(float t, float w[4]) {
  const float u = 1.0F - t, t2 = t * t, t3 = t2 * t;
  w[0] = u * u * u / 6.0F;
  w[1] = (3.0F * t3 - 6.0F * t2 + 4.0F) / 6.0F;
  w[2] = (-3.0F * t3 + 3.0F * t2 + 3.0F * t + 1.0F) / 6.0F;
  w[3] = t3 / 6.0F;
}

// The spline equations (c[k-1] + 4 c[k] + c[k+1]) / 6 = v[k] over a run of n values at
// stride apart, solved in place; beyond its ends the run repeats its end values, as the
// surface beyond the grid repeats the edge row and column.
void solve_run(float* v, std::size_t stride, int n, std::vector<double>& diag, std::vector<double>& rhs) {
  if (n < 3) return;
  diag.assign(static_cast<std::size_t>(n), 4.0 / 6.0);
  rhs.resize(static_cast<std::size_t>(n));
  diag.front() = diag.back() = 5.0 / 6.0;
  for (int k = 0; k < n; ++k) rhs[static_cast<std::size_t>(k)] = v[static_cast<std::size_t>(k) * stride];
  constexpr double off = 1.0 / 6.0;
  for (int k = 1; k < n; ++k) {
    const double m = off / diag[static_cast<std::size_t>(k) - 1];
    diag[static_cast<std::size_t>(k)] -= m * off;
    rhs[static_cast<std::size_t>(k)] -= m * rhs[static_cast<std::size_t>(k) - 1];
  }
  double next = rhs.back() / diag.back();
  v[static_cast<std::size_t>(n - 1) * stride] = static_cast<float>(next);
  for (int k = n - 2; k >= 0; --k) {
    next = (rhs[static_cast<std::size_t>(k)] - off * next) / diag[static_cast<std::size_t>(k)];
    v[static_cast<std::size_t>(k) * stride] = static_cast<float>(next);
  }
}

// Coefficients of the cubic B-spline surface through the grid's values: the analysed value
// stays the value at its point, only the way between the points is smooth. Solved along
// each row, then each column, over each run of present values; missing values stay missing.
std::vector<float> spline_coefficients(int nx, int ny, const float* v) {
  std::vector<float> c(v, v + static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny));
  std::vector<double> diag, rhs;
  auto runs = [&](float* start, std::size_t stride, int n) {
    for (int k = 0; k < n;) {
      while (k < n && start[static_cast<std::size_t>(k) * stride] == MISSING) ++k;
      const int first = k;
      while (k < n && start[static_cast<std::size_t>(k) * stride] != MISSING) ++k;
      solve_run(start + static_cast<std::size_t>(first) * stride, stride, k - first, diag, rhs);
    }
  };
  for (int r = 0; r < ny; ++r) runs(c.data() + static_cast<std::size_t>(r) * nx, 1, nx);
  for (int i = 0; i < nx; ++i) runs(c.data() + i, static_cast<std::size_t>(nx), ny);
  return c;
}

// The field f times finer, on the B-spline surface of the grid's values (bilinear, and the
// grid's own values at its points, where a neighbour is missing). A point inside a cell
// with a missing corner is missing. Positions between the points are linear.
void refine(int nx, int ny, const float* v, const Corners& pos, int f, std::vector<float>* out,
            Corners* fine) {
  const int fx = (nx - 1) * f + 1, fy = (ny - 1) * f + 1;
  const std::size_t n = static_cast<std::size_t>(fx) * static_cast<std::size_t>(fy);
  out->assign(n, MISSING);
  fine->X.assign(n, MISSING);
  fine->Y.assign(n, MISSING);
  fine->separable = pos.separable;
  auto at = [&](int i, int r) { return v[static_cast<std::size_t>(r) * nx + i]; };
  const std::vector<float> coef = spline_coefficients(nx, ny, v);
  auto coef_at = [&](int i, int r) { return coef[static_cast<std::size_t>(r) * nx + i]; };
  // The weights at the f + 1 fractions a point can stand at, worked out once.
  std::vector<std::array<float, 4>> weights(static_cast<std::size_t>(f) + 1);
  for (int k = 0; k <= f; ++k) cubic_weights(static_cast<float>(k) / static_cast<float>(f), weights[static_cast<std::size_t>(k)].data());
  for (int R = 0; R < fy; ++R)
    for (int I = 0; I < fx; ++I) {
      const int i = std::min(I / f, nx - 2), r = std::min(R / f, ny - 2);
      const float a = static_cast<float>(I - i * f) / static_cast<float>(f);
      const float b = static_cast<float>(R - r * f) / static_cast<float>(f);
      const std::size_t k = static_cast<std::size_t>(r) * nx + i;
      const std::size_t K = static_cast<std::size_t>(R) * fx + I;
      const float px[4] = {pos.X[k], pos.X[k + 1], pos.X[k + nx], pos.X[k + nx + 1]};
      const float py[4] = {pos.Y[k], pos.Y[k + 1], pos.Y[k + nx], pos.Y[k + nx + 1]};
      const float z[4] = {at(i, r), at(i + 1, r), at(i, r + 1), at(i + 1, r + 1)};
      // A point of the grid belongs to the cells round it: missing only when it is.
      const bool corner = (a == 0.0F || a == 1.0F) && (b == 0.0F || b == 1.0F);
      const int ci = (a == 1.0F ? 1 : 0) + (b == 1.0F ? 2 : 0);
      bool gap = corner && z[ci] == MISSING, off_map = false;
      for (int c = 0; c < 4 && !corner; ++c) gap = gap || z[c] == MISSING, off_map = off_map || px[c] == MISSING;
      if (corner) {
        fine->X[K] = px[ci];
        fine->Y[K] = py[ci];
      } else if (!off_map) {
        fine->X[K] = (1 - a) * (1 - b) * px[0] + a * (1 - b) * px[1] + (1 - a) * b * px[2] + a * b * px[3];
        fine->Y[K] = (1 - a) * (1 - b) * py[0] + a * (1 - b) * py[1] + (1 - a) * b * py[2] + a * b * py[3];
      }
      if (gap || off_map) continue;
      float value = corner ? z[ci] : (1 - a) * (1 - b) * z[0] + a * (1 - b) * z[1] + (1 - a) * b * z[2] + a * b * z[3];
      const float* wa = weights[static_cast<std::size_t>(I - i * f)].data();
      const float* wb = weights[static_cast<std::size_t>(R - r * f)].data();
      // The edge row and column stand in for those beyond the grid.
      int col[4], row[4];
      for (int p = 0; p < 4; ++p) col[p] = std::clamp(i - 1 + p, 0, nx - 1), row[p] = std::clamp(r - 1 + p, 0, ny - 1);
      double sum = 0.0;
      bool whole = true;
      for (int q = 0; q < 4 && whole; ++q)
        for (int p = 0; p < 4 && whole; ++p) {
          const float w = coef_at(col[p], row[q]);
          if (w == MISSING) whole = false;
          sum += static_cast<double>(wa[p]) * wb[q] * w;
        }
      if (whole) value = static_cast<float>(sum);
      (*out)[K] = value;
    }
}


// The traced field's value at grid point (i, r): what the fill shows there, the analysed
// value itself (the surface passes through it).
float traced_value(const GridRec* grid, int i, int r) {
  return grid->values[static_cast<std::size_t>(r) * grid->domain.nx + i];
}

// Fill with lines fills every band first and draws the lines over all of it, so that no
// later cell paints over half the width of a line.
int trace(const GridRec* given, int type) {
  if (given->values == nullptr || given->domain.nx < 2 || given->domain.ny < 2 || st.num_cont <= 0) return -1;
  Corners pos;
  if (!grid_positions(given, &pos)) return -1;
  // The traced field: the grid itself, or a finer one interpolated from it.
  GridRec shallow = *given;
  const GridRec* grid = given;
  std::vector<float> fine_values;
  const int f = smooth_factor(given->domain.nx, given->domain.ny, pos);
  if (f > 1) {
    Corners fine;
    refine(given->domain.nx, given->domain.ny, given->values, pos, f, &fine_values, &fine);
    shallow.domain.nx = (given->domain.nx - 1) * f + 1;
    shallow.domain.ny = (given->domain.ny - 1) * f + 1;
    shallow.values = fine_values.data();
    pos = std::move(fine);
    grid = &shallow;
  }
  st.cur_band = -2;
  st.cur_dashed = -1;
  const char* loc = std::getenv("gridloc");
  if (loc == nullptr || std::sscanf(loc, "%d,%d", &st.diag_col, &st.diag_row) != 2) st.diag_col = st.diag_row = -1;
  if (is_fill_type(type)) trace_pass(grid, pos, true, false);
  if (has_lines(type)) {
    if (st.trace_hook == nullptr) {
      AttribRec a = st.ln_cont_attr;
      GPH_line_attr(&a);
    }
    trace_pass(grid, pos, false, true);
  }
  return 0;
}

// A level equal to the lowest value of a cell crosses none of its sides: a valley floor
// lying exactly at a level would have no line round it. Its sides that lie on the level
// are drawn instead, each once: the bottom and left sides by this cell unless the cell
// beyond dips below the level (its crossings then draw the side, or the line leaves the
// side there), the top and right ones only when the cell beyond draws nothing (flat or
// with a missing corner); sides on the grid's edge are not contours and are left out.
void floor_edges(const GridRec* grid, const Cell& cell, int i, int r, float c) {
  const int nx = grid->domain.nx, ny = grid->domain.ny;
  const float* v = grid->values;
  auto corners = [&](int ci, int cr, float z[4]) {
    const std::size_t t = static_cast<std::size_t>(cr) * nx + ci, b = t + nx;
    z[0] = v[b], z[1] = v[b + 1], z[2] = v[t], z[3] = v[t + 1];
  };
  auto quiet = [&](int ci, int cr) {
    float z[4];
    corners(ci, cr, z);
    for (const float q : z)
      if (q == MISSING) return true;
    return z[0] == z[1] && z[0] == z[2] && z[0] == z[3];
  };
  auto dips = [&](int ci, int cr) {
    float z[4];
    corners(ci, cr, z);
    for (const float q : z)
      if (q != MISSING && q < c) return true;
    return false;
  };
  // Side s: its corners, whether it lies on the grid's edge, the cell beyond it.
  constexpr int di[4] = {0, -1, 0, 1}, dr[4] = {1, 0, -1, 0};
  use_line(c);
  for (int s = 0; s < 4; ++s) {
    const int a = kSideA[s], b = kSideB[s];
    if (cell.z[a] != c || cell.z[b] != c) continue;
    const int ci = i + di[s], cr = r + dr[s];
    if (ci < 0 || cr < 0 || ci > nx - 2 || cr > ny - 2) continue;
    if (s >= 2 ? !quiet(ci, cr) : dips(ci, cr)) continue;
    const float seg[4] = {cell.x[a], cell.y[a], cell.x[b], cell.y[b]};
    if (lambert_gap(seg, seg + 2)) continue;
    emit(PLOT_LCONT, 2, seg);
  }
}

int trace_pass(const GridRec* grid, const Corners& pos, bool fill, bool lines) {
  const int nx = grid->domain.nx, ny = grid->domain.ny;
  const float* v = grid->values;
  const bool explicit_levels = !st.cont_value.empty();
  const float limit = cell_limit();
  const int levels = explicit_levels ? static_cast<int>(st.cont_value.size()) : st.num_cont;
  Level L, U;
  Cell cell;
  Run run;
  for (int r = 0; r + 1 < ny; ++r) {
    flush_run(&run, pos, nx);
    gfeature_break();
    for (int i = 0; i + 1 < nx; ++i) {
      const std::size_t top = static_cast<std::size_t>(r) * nx + i, bot = top + nx;
      const std::size_t idx[4] = {bot, bot + 1, top, top + 1};
      bool skip = false;
      for (int k = 0; k < 4; ++k) {
        cell.z[k] = v[idx[k]];
        cell.x[k] = pos.X[idx[k]];
        cell.y[k] = pos.Y[idx[k]];
        skip = skip || cell.z[k] == MISSING || cell.x[k] == MISSING;
      }
      const float zmin = std::min({cell.z[0], cell.z[1], cell.z[2], cell.z[3]});
      const float zmax = std::max({cell.z[0], cell.z[1], cell.z[2], cell.z[3]});
      if (!skip && !explicit_levels && (zmax - zmin) / st.intrvl > limit) skip = true;
      if (!skip && set(st.min_cut) && st.min_cut > zmax) skip = true;
      if (skip) {
        flush_run(&run, pos, nx);
        continue;
      }
      // The range of levels that can matter to this cell.
      int k0 = 0, k1 = levels - 1;
      if (!explicit_levels) {
        k0 = std::max(0, level_index(zmin, levels) - 1);
        k1 = std::min(levels - 1, level_index(zmax, levels) + 1);
      }
      if (i == st.diag_col && r == st.diag_row) {
        diag_cell(cell, k0, k1);
        st.diag_col = -1;  // once, not again in the second pass
      }
      if (fill) {
        // Bands [lo, hi) that hold part of the cell.
        int first = -1, nb = 0;
        for (int k = k0; k <= k1; ++k) {
          float lo = level_at(k);
          float hi = explicit_levels ? (k + 1 < levels ? st.cont_value[static_cast<std::size_t>(k + 1)] : lo + kLastBand)
                                     : lo + st.intrvl;
          if (set(st.min_cut)) lo = std::max(lo, st.min_cut);
          if (set(st.max_cut)) hi = std::min(hi, st.max_cut);
          if (lo >= hi || zmin >= hi || zmax < lo) continue;
          const int entry = explicit_levels ? k % color_num() : band_color(level_at(k));
          if (st.fill_attrib[static_cast<std::size_t>(entry)].color == -1 || nothing_band(level_at(k))) {
            nb += 2;  // not filled: ends any run
            continue;
          }
          if (nb == 0) first = k;
          ++nb;
          if (zmin >= lo && zmax < hi) {
            // The whole cell lies in the band: extend the run.
            if (run.band == entry && run.row == r && run.last == i - 1 && run.lo == lo) {
              run.last = i;
            } else {
              flush_run(&run, pos, nx);
              run = {entry, lo, hi, r, i, i};
            }
            continue;
          }
          flush_run(&run, pos, nx);
          compute_dz(cell, lo, &L);
          compute_dz(cell, hi, &U);
          use_band(entry, lo, hi);
          band_polygons(cell, L, U);
        }
        (void)first;
        if (nb != 1) flush_run(&run, pos, nx);
      }
      if (lines && zmin != zmax) {
        for (int k = k0; k <= k1; ++k) {
          const float c = level_at(k);
          if (c < zmin || c > zmax) continue;
          if ((set(st.min_cut) && c < st.min_cut) || (set(st.max_cut) && c > st.max_cut)) continue;
          if (c == zmin) {
            floor_edges(grid, cell, i, r, c);
            continue;
          }
          compute_dz(cell, c, &U);
          draw_level_lines(U);
        }
      }
    }
  }
  flush_run(&run, pos, nx);
  if (lines && st.draw_grid_cells && st.trace_hook == nullptr) {
    for (int r = 0; r < ny; ++r)
      for (int i = 0; i + 1 < nx; ++i) {
        const std::size_t a = static_cast<std::size_t>(r) * nx + i;
        const float seg[4] = {pos.X[a], pos.Y[a], pos.X[a + 1], pos.Y[a + 1]};
        gpolyline(2, seg);
      }
    for (int i = 0; i < nx; ++i)
      for (int r = 0; r + 1 < ny; ++r) {
        const std::size_t a = static_cast<std::size_t>(r) * nx + i;
        const float seg[4] = {pos.X[a], pos.Y[a], pos.X[a + nx], pos.Y[a + nx]};
        gpolyline(2, seg);
      }
  }
  return 0;
}

// ---- text helpers ----
float map_height() {
  const float v = MAP_get_vert();
  return v > 0.0F ? v : 1.0F;
}

// Numbers are centred on their place: padding blanks would shift them.
std::string trimmed(const char* text) {
  std::string s = text;
  const std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::string format_value(const char* spec, float value) {
  char buf[kNumberFormatBuffer];
  if (!st.num_form.empty()) {
    std::snprintf(buf, sizeof buf, st.num_form.c_str(), static_cast<double>(value));
    return trimmed(buf);
  }
  return trimmed(set_num(buf, spec, value));
}

// The decimals every number of the plot is written with (contour labels, highs and lows,
// the colour bar), so that "6.0" never stands beside "8.12": as many as the levels need,
// the interval and the lowest level both; -1 when that is more than four (then every
// number shows three significant digits).
int plot_decimals() {
  float step = st.intrvl, first = st.conlo;
  if (!st.cont_value.empty()) {
    step = st.cont_value.size() >= 2 ? st.cont_value[1] - st.cont_value[0] : 0.0F;
    first = st.cont_value.front();
  }
  int d = 0;
  for (const float v : {step, first}) {
    if (!set(v) || !std::isfinite(v)) continue;
    int k = 0;
    for (double x = std::fabs(static_cast<double>(v)); k <= 4; ++k, x *= 10.0)
      if (std::fabs(x - std::round(x)) < 1e-3 * std::max(1.0, x)) break;
    if (k > 4) return -1;
    d = std::max(d, k);
  }
  return d;
}

// A number of the plot: the user's C format when given, else the plot's decimals.
std::string plot_number(float value) {
  if (!st.num_form.empty()) return format_value("", value);
  const int d = plot_decimals();
  char buf[kNumberFormatBuffer];
  if (d < 0) {
    std::snprintf(buf, sizeof buf, "%.3g", static_cast<double>(value));
    return buf;
  }
  // A value that rounds to zero is written without a minus sign.
  if (std::fabs(static_cast<double>(value)) < 0.5 * std::pow(10.0, -d)) value = 0.0F;
  std::snprintf(buf, sizeof buf, "%.*f", d, static_cast<double>(value));
  return buf;
}

std::string level_text(int k, float level) {
  if (k >= 0 && k < kMaxLevels && !st.cont_label[static_cast<std::size_t>(k)].empty())
    return st.cont_label[static_cast<std::size_t>(k)];
  return plot_number(level);
}

// Boxes of the texts placed in this plot (world coordinates).
struct Box {
  float x0, y0, x1, y1;
};

// Whether a label's box is free of every label placed on the page so far (of this layer
// and the others) and lies inside the map, kept `margin` from its edges: a text cut by the
// edge cannot be read, and labels lined up just inside it crowd the edge.
bool box_free(const Box& b, float margin = 0.0F) {
  float w[4];
  MAP_get_window(w);
  if (w[1] > w[0] && w[3] > w[2] &&
      (b.x0 < w[0] + margin || b.x1 > w[1] - margin || b.y0 < w[2] + margin || b.y1 > w[3] - margin))
    return false;
  const float q[4] = {b.x0, b.y0, b.x1, b.y1};
  return gtext_room_free(q) != 0;
}

void claim(const Box& b, const char* kind) {
  const float q[4] = {b.x0, b.y0, b.x1, b.y1};
  gtext_room_claim(q, kind);
}

void later(std::function<void()> draw) {
  if (st.defer_labels) st.pending_labels.push_back(std::move(draw));
  else draw();
}

float text_width(const std::string& s, float height) {
  const float w = static_cast<float>(gtext_width(s.c_str())) * height / 105.0F;
  return w > 0.0F ? w : 0.6F * height * static_cast<float>(s.size());
}

// Attributes of a resource over a default colour; a colour table without the default's
// name leaves the colour as it is, quietly.
AttribRec attr_of(const char* resource, const char* colour) {
  AttribRec a;
  ATTRIB_init(&a);
  a.color = CLR_get_ind(colour);
  if (a.color < 0) a.color = MISSING_INT;
  ATTRIB_get(resource, "", &a);
  return a;
}

const char* foreground() { return gget_inverse() ? "black" : "white"; }

AttribRec label_attr() {
  const bool fill = is_fill_type(st.cont_type);
  return attr_of(fill ? "color_clabel" : "color_label", fill ? "black" : foreground());
}

// ---- levels and the setup ----

bool resource_set(const char* name) {
  const char* v = RES_get(name);
  return v != nullptr && *v != '\0';
}

void decode_label_type(const char* p) {
  std::vector<int> nums;
  while (*p != '\0' && nums.size() < 4) {
    int n;
    if (!scan_int(p, &n)) break;
    nums.push_back(n);
    if (*p == '.' || *p == ':') ++p;
    else break;
  }
  if (nums.empty()) return;
  if (nums.size() == 1) {
    st.label_skip = nums[0] / 10;
    st.ext_radius = nums[0] % 10;
  } else {
    st.label_skip = nums[0];
    st.ext_radius = nums[1];
  }
  if (nums.size() >= 3) st.x_label_space = st.y_label_space = nums[2];
  if (nums.size() >= 4) st.y_label_space = nums[3];
}


void bad_number_format(const std::string& item, const std::string& format) {
  if (st.reported_formats.insert(item).second)
    MESS_print(MESS_WARN,
               "CONT_format_decode_type: Bad number format \"%.64s\" in \"%.120s\": one floating-point "
               "conversion such as %%.1f expected, default format used\n",
               item.c_str(), format.c_str());
}

// The number of an item such as "in=5"; a bad one is named (once) and gives the missing
// value, which leaves the setting to its default.
float item_float(const std::string& item, std::size_t at, const std::string& format) {
  float f = MISSING;
  if (!parse_float(item.c_str() + at, &f) || !std::isfinite(f)) {
    f = MISSING;
    if (st.reported_formats.insert(item).second)
      MESS_print(MESS_WARN, "CONT_format_decode_type: Bad number \"%.64s\" in \"%.120s\": the default is used\n",
                 item.c_str(), format.c_str());
  }
  return f;
}

}  // namespace

// ---- tracing interface ----

void CONT_reset_state() { st = ContState{}; }
void CONT_set_trace_hook(ContTraceHook hook) { st.trace_hook = hook; }
void CONT_grid(int on) { st.draw_grid_cells = on; }
int CONT_draw_grid() { return st.draw_grid_cells; }
void CONT_set_max_line_fact(float factor) { st.max_line_fact = factor; }

int CONT_draw_lines(int kind, int n, const float* points) {
  if (n < 2 || points == nullptr) return -1;
  // The feature device keeps these strokes as contour lines and bands.
  const bool line = kind == PLOT_LCONT;
  if (!line && st.cur_band >= 0 && st.fill_attrib[static_cast<std::size_t>(st.cur_band)].color == -1) return -1;
  gfeature_set(line ? GFEAT_CONTOUR : GFEAT_BAND, st.cur_lo, st.cur_hi);
  const int r = line ? gpolyline(n, points) : gfill_area(n, points);
  gfeature_set(GFEAT_NONE);
  return r;
}

float CONT_calc_intrvl(int count, float maximum, float minimum) {
  const float r = (maximum - minimum) / static_cast<float>(count == 0 ? 1 : count);
  // Rounded up to one significant digit of the decade r lies in.
  auto up = [r](double unit) { return static_cast<float>(std::ceil(static_cast<double>(r) / unit - 1e-6) * unit); };
  if (r >= 1000.0F) return up(1000.0);
  if (r >= 100.0F) return up(100.0);
  if (r >= 10.0F) return up(10.0);
  if (r >= 1.0F) return up(1.0);
  if (r >= 0.1F) return up(0.1);
  if (r >= 0.01F) return up(0.01);
  if (r >= 0.001F) return up(0.001);
  if (r >= 0.0001F) return up(0.0001);
  return r != 0.0F ? r : 1.0F;
}

int CONT_set_cont_ext(const GridRec* grid) {
  if (!set(st.grid_max) || !set(st.grid_min)) {
    if (grid == nullptr || GRD_maxmin(grid, &st.grid_max, &st.grid_min) != 0 || !set(st.grid_max)) return -1;
  }
  const float b = set(st.base) ? st.base : 0.0F;
  if (!st.cont_value.empty()) {
    st.conlo = st.cont_value.front();
    st.conhi = st.cont_value.back();
    st.num_cont = static_cast<int>(st.cont_value.size());
    st.cbase = set(st.base) ? st.base : st.conlo;
    return 0;
  }
  if (!set(st.intrvl)) {
    const char* r = RES_get("con_interval");
    if (r != nullptr && *r != '\0') parse_float(r, &st.intrvl);
  }
  spread_builtin(0);
  st.num_cont = 0;
  // A field holding an infinity has no levels.
  if (!std::isfinite(st.grid_min) || !std::isfinite(st.grid_max)) return -1;
  LevelSpan span;
  if (set(st.intrvl) && !(st.intrvl <= 0.0F) && !level_span(st.grid_min, st.grid_max, b, st.intrvl, kMaxIntervalLevels, &span)) {
    const char* instead = st.cont_type == PLOT_GVALUE ? "values not coloured" : "automatic interval used";
    if (!std::isfinite(st.intrvl))
      MESS_print(MESS_WARN, "CONT_set_cont_ext: Contour interval %g is no number: %s\n", static_cast<double>(st.intrvl),
                 instead);
    else if (st.reported_intervals.insert(st.intrvl).second)
      MESS_print(MESS_WARN, "CONT_set_cont_ext: Contour interval %g gives more than %d levels from %g to %g: %s\n",
                 static_cast<double>(st.intrvl), kMaxIntervalLevels, static_cast<double>(st.grid_min),
                 static_cast<double>(st.grid_max), instead);
    st.intrvl = MISSING;
  }
  if ((!set(st.intrvl) || st.intrvl <= 0.0F) && st.cont_type != PLOT_GVALUE) {
    st.num_cont = color_num() - 1;
    st.intrvl = CONT_calc_intrvl(color_num() - 1, st.grid_max, st.grid_min);
  }
  if (!set(st.intrvl) || st.intrvl <= 0.0F || !level_span(st.grid_min, st.grid_max, b, st.intrvl, kMaxIntervalLevels, &span)) {
    st.intrvl = MISSING;
    return -1;
  }
  st.conlo = span.low;
  st.conhi = span.high;
  st.num_cont = span.count;
  st.cbase = set(st.base) ? st.base : st.conlo;
  st.nothing_top = MISSING;
  int coloured = st.num_cont;
  if (st.zero_is_nothing && !set(st.base) && !set(st.min_cut) && st.cont_type != PLOT_GVALUE && st.conlo <= 0.0F) {
    // The colours begin at the first level above zero.
    const double k = std::floor(-static_cast<double>(st.conlo) / st.intrvl) + 1.0;
    if (k < st.num_cont) {
      st.nothing_top = static_cast<float>(st.conlo + k * st.intrvl);
      st.cbase = st.nothing_top;
      coloured = st.num_cont - static_cast<int>(k);
    }
  }
  // A base of the user's puts the colours where the user counts them from.
  if (!set(st.base)) spread_builtin(coloured);
  return 0;
}

void CONT_get_cont_ext(float* low, float* high, int* count) {
  if (low != nullptr) *low = st.conlo;
  if (high != nullptr) *high = st.conhi;
  if (count != nullptr) *count = st.num_cont;
}

int CONT_draw_contour(const GridRec* grid) {
  if (grid == nullptr || grid->values == nullptr) return -1;
  if (st.fill_attrib.empty()) CONT_set_fill_colors(nullptr, 0);
  if (st.num_cont <= 0 && CONT_set_cont_ext(grid) != 0) return -1;
  return trace(grid, st.cont_type);
}

// ---- settings ----

void CONT_init() {
  st.cont_type = MISSING_INT;
  st.intrvl = st.base = MISSING;
  st.format.clear();
  st.num_form.clear();
  st.cont_value.clear();
  for (auto& l : st.cont_label) l.clear();
  st.min_cut = st.max_cut = MISSING;
  st.scale = 1.0F;
  st.dash = 0;
  st.grid_min = st.grid_max = MISSING;
  st.label_skip = 2;
  st.ext_radius = 2;
  st.ext_km = MISSING;
  st.x_label_space = st.y_label_space = MISSING_INT;
  st.fill_pat = MISSING_INT;
  st.over = 0;
  st.fill_attrib.clear();
  st.color_fill_set = false;
  st.builtin_fill = false;
  st.conlo = st.conhi = st.cbase = MISSING;
  st.num_cont = 0;
  st.hold_ends = false;
  st.zero_is_nothing = false;
  st.nothing_top = MISSING;
  st.spread_bands = 0;
  st.ln_cont_attr = attr_of("color_cont", foreground());
  for (auto& l : st.frame_labels) l.clear();
  st.frame_label_type = 0;
}

void CONT_set_format(int type) {
  st.dash = 0;
  switch (type) {
    case PLOT_DLN: st.cont_type = PLOT_LCONT, st.dash = 1; break;
    case PLOT_NDLN: st.cont_type = PLOT_LCONT, st.dash = -1; break;
    case PLOT_LCONT: case PLOT_FCONT: case PLOT_BCONT: case PLOT_GVALUE: st.cont_type = type; break;
    case PLOT_FILL: st.cont_type = PLOT_FCONT; break;
    default: break;
  }
}

namespace {

// The plot type a format word names (the line kinds apart), MISSING_INT for other words.
int type_word(const char* item) {
  auto is = [&](const char* k) { return stricmp(item, k) == 0; };
  if (is("value") || is("gvalue")) return PLOT_GVALUE;
  if (is("cf")) return PLOT_FCONT;
  if (is("lcf")) return PLOT_BCONT;
  if (is("ln")) return PLOT_LCONT;
  if (is("dln")) return PLOT_DLN;
  if (is("ndln")) return PLOT_NDLN;
  return MISSING_INT;
}

// A line word sets the dash with the type; the other words leave the dash as it was.
void apply_type_word(int t) {
  if (t == PLOT_LCONT || t == PLOT_DLN || t == PLOT_NDLN) CONT_set_format(t);
  else st.cont_type = t;
}

// The type the words of a format choose, or `type` when none does.
int type_in_format(const char* text, int type) {
  if (text == nullptr) return type;
  std::string f = text;
  for (std::size_t at = 0; at <= f.size();) {
    std::size_t end = f.find(':', at);
    if (end == std::string::npos) end = f.size();
    const std::string item = f.substr(at, end - at);
    // The fill colour list runs to the end and holds ':' itself.
    if (starts_with_ci(item, "cof=")) break;
    if (const int t = type_word(item.c_str()); t != MISSING_INT) type = t;
    at = end + 1;
  }
  return type;
}

}  // namespace

int CONT_frame_type(int frame, int index) {
  const int program = FLAG_get(FLAG_PLOT_TYPE);
  if (program == PLOT_NONE) return PLOT_NONE;
  if (program == PLOT_LCONT || program == PLOT_DLN || program == PLOT_NDLN || program == PLOT_FCONT ||
      program == PLOT_BCONT || program == PLOT_GVALUE)
    return program == PLOT_DLN || program == PLOT_NDLN ? PLOT_LCONT : program;
  int t = MISSING_INT;
  const bool slot = index >= 0 && index < kMaxVars && index < VAR_get_num();
  if (slot) t = VAR_get_type(index);
  if (slot && (frame > 0 || st.keep_answers) && st.remembered[index]) t = st.cont_types[index];
  if (slot) t = type_in_format(VAR_get_format(index), t);
  t = type_in_format(RES_get("plot_format"), t);
  if (t == PLOT_FILL) return PLOT_FCONT;
  if (t == PLOT_DLN || t == PLOT_NDLN) return PLOT_LCONT;
  if (t == PLOT_LCONT || t == PLOT_FCONT || t == PLOT_BCONT || t == PLOT_GVALUE) return t;
  return FLAG_batch() ? PLOT_FCONT : MISSING_INT;
}

void CONT_format_decode_type(const char* text) {
  if (text == nullptr) return;
  std::string f = text;
  std::size_t at = 0;
  while (at <= f.size()) {
    std::size_t end = f.find(':', at);
    if (end == std::string::npos) end = f.size();
    std::string item = f.substr(at, end - at);
    // Items whose value holds ':' take the rest they need.
    auto take_next = [&]() {
      if (end < f.size()) {
        const std::size_t e2 = f.find(':', end + 1);
        const std::size_t stop = e2 == std::string::npos ? f.size() : e2;
        item += ":" + f.substr(end + 1, stop - end - 1);
        end = stop;
      }
    };
    auto is = [&](const char* k) { return stricmp(item.c_str(), k) == 0; };
    auto key = [&](const char* k) { return starts_with_ci(item, k); };
    if (const int t = type_word(item.c_str()); t != MISSING_INT) apply_type_word(t);
    else if (is("nolr")) FLAG_setplot(6, 0);
    else if (is("bar")) st.plt_bar = 3;
    else if (is("nobar")) st.plt_bar = -2;
    else if (is("rlab")) st.rot_label = 1;
    else if (is("hlab")) st.rot_label = 0;
    else if (key("in=")) st.intrvl = item_float(item, 3, f);
    else if (key("cb=")) st.base = item_float(item, 3, f);
    else if (key("mn=")) st.min_cut = item_float(item, 3, f);
    else if (key("mx=")) st.max_cut = item_float(item, 3, f);
    else if (key("sc=")) st.scale = item_float(item, 3, f);
    else if (key("xy=")) {
      float dx = 0, dy = 0;
      if (std::sscanf(item.c_str() + 3, "%f %f", &dx, &dy) >= 1) st.x_off = dx * 0.012F, st.y_off = dy * 0.02F;
    } else if (key("sk=")) {
      take_next();
      int a = 1, b = 1;
      const int n = std::sscanf(item.c_str() + 3, "%d:%d", &a, &b);
      if (n == 1) b = a;
      if (n >= 1) st.x_skip = std::max(1, a), st.y_skip = std::max(1, b);
    } else if (key("cof=")) {
      // The fill list runs to the end of the format: its entries hold ':' themselves.
      const std::string list = f.substr(at + 4);
      CONT_set_fill_colors(list.c_str(), 1);
      break;
    } else if (key("fi=")) {
      st.fill_pat = ATTR_parse_fill_pat(item.c_str() + 3);
    } else if (key("lab=")) {
      decode_label_type(item.c_str() + 4);
    } else if (key("labs")) {
      st.frame_label_type = -1;
    } else if (!item.empty() && item[0] == '%') {
      if (number_format_conversion(item, kFloatConversions) != 0)
        st.num_form = item;
      else
        bad_number_format(item, f);
    } else if (key("co=") || key("wi=") || key("st=") || key("fp=")) {
      AttribRec a;
      ATTRIB_init(&a);
      std::string attr = item;
      if (key("co=")) attr = item.substr(3);
      ATTRIB_parse(attr.c_str(), &a);
      ATTRIB_update(&st.ln_cont_attr, &a);
    }
    at = end + 1;
  }
}

void CONT_param_decode(const char* param) {
  if (param == nullptr) return;
  int count = 0;
  char** list = nullptr;
  parse_string(param, ',', &count, &list);
  for (int i = 0; i < count; ++i) {
    const char* it = list[i];
    auto key = [&](const char* k) { return starts_with_ci(it, k) && std::strlen(it) > std::strlen(k); };
    if (key("fill")) st.fill_pat = ATTR_parse_fill_pat(it + 5);
    else if (key("lab") && !starts_with_ci(it, "labs")) decode_label_type(it + 4);
    else if (stricmp(it, "rlab") == 0) st.rot_label = 1;
    else if (stricmp(it, "hlab") == 0) st.rot_label = 0;
    else if (key("maxl")) parse_float(it + 5, &st.max_line_fact);
    else if (key("hlr")) parse_float(it + 4, &st.ext_km);
    else if (key("conmin")) parse_float(it + 7, &st.min_cut);
    else if (key("conmax")) parse_float(it + 7, &st.max_cut);
    else if (stricmp(it, "grid") == 0) st.draw_grid_cells = 1;
    else if (stricmp(it, "mapcon") == 0) st.mapcon = 1;
    else if (stricmp(it, "conmap") == 0) st.mapcon = 0;
  }
  free_parsed_array(count, list);
}

int CONT_prompt_type() {
  const int program = FLAG_get(FLAG_PLOT_TYPE);
  if (program == PLOT_DLN || program == PLOT_NDLN) {
    st.cont_type = PLOT_LCONT;
    st.dash = program == PLOT_DLN ? 1 : -1;
  } else if (program == PLOT_LCONT || program == PLOT_FCONT || program == PLOT_BCONT || program == PLOT_GVALUE ||
             program == PLOT_NONE) {
    st.cont_type = program;
  }
  if (set(st.cont_type)) return st.cont_type;
  if (FLAG_batch()) return st.cont_type = PLOT_FCONT;
  char answer[82] = "";
  ZAV_prompts("Color fill (C) or Line (L) contours: ", answer, 80);
  auto is = [&](const char* k) { return stricmp(answer, k) == 0; };
  if (is("none")) st.cont_type = PLOT_NONE;
  else if (is("value") || is("gvalue")) st.cont_type = PLOT_GVALUE;
  else if (is("cf")) st.cont_type = PLOT_FCONT;
  else if (is("lcf")) st.cont_type = PLOT_BCONT;
  else if (is("dln")) st.cont_type = PLOT_LCONT, st.dash = 1;
  else if (is("ndln")) st.cont_type = PLOT_LCONT, st.dash = -1;
  else if (std::strchr("CcYy", answer[0]) != nullptr && answer[0] != '\0') st.cont_type = PLOT_FCONT;
  else st.cont_type = PLOT_LCONT;
  return st.cont_type;
}

void CONT_set_type(int type) { st.cont_type = type == PLOT_FILL ? PLOT_FCONT : type; }
int CONT_get_type() { return st.cont_type; }
void CONT_set_intrvl(float interval) { st.intrvl = interval; }
float CONT_get_intrvl() { return st.intrvl; }
void CONT_set_base(float b) { st.base = b; }
float CONT_get_base() { return st.base; }
void CONT_set_range(float minimum, float maximum) {
  st.grid_min = minimum;
  st.grid_max = maximum;
}
void CONT_set_cutoff(float upper, float lower) {
  if (set(upper)) st.max_cut = upper;
  if (set(lower)) st.min_cut = lower;
}

void CONT_read_base(float* base, float* lower, float* upper, bool above_sets_base) {
  int count = 0;
  char** list = nullptr;
  RES_getvals("con_base", &count, &list);
  for (int i = 0; i < count; ++i) {
    const char* item = list[i];
    float f;
    if (item[0] == '>') {
      if (lower != nullptr && parse_float(item + 1, &f)) {
        *lower = f;
        if (above_sets_base) *base = f;
      }
    } else if (item[0] == '<') {
      if (upper != nullptr && parse_float(item + 1, &f)) *upper = f;
    } else if (parse_float(item, &f)) {
      *base = f;
    }
  }
  if (list != nullptr) free_parsed_array(count, list);
}

void CONT_read_scale(float* scale) {
  float s = 0.0F;
  const char* text = RES_get("plot_scale");
  if (text != nullptr && parse_float(text, &s)) *scale = s > 0.0F ? s : 1.0F;
}
int CONT_set_values(int count, const float* values) {
  if (st.color_fill_set || values == nullptr) return 0;
  st.cont_value.assign(values, values + std::clamp(count, 0, kMaxLevels));
  if (st.cont_value.empty()) return 0;
  if (st.cont_value.size() >= 2) st.intrvl = st.cont_value[1] - st.cont_value[0];
  CONT_set_range(st.cont_value.front(), st.cont_value.back());
  return 1;
}
void CONT_reset_values() { st.cont_value.clear(); }
int CONT_get_values(float* values, int size) {
  const int n = std::min<int>(size, static_cast<int>(st.cont_value.size()));
  for (int i = 0; i < n; ++i) values[i] = st.cont_value[static_cast<std::size_t>(i)];
  return static_cast<int>(st.cont_value.size());
}
int CONT_get_num_cont() { return st.num_cont; }
void CONT_set_dash(int mode) { st.dash = mode; }
void CONT_set_label_type(int skip, int radius) {
  st.label_skip = skip;
  st.ext_radius = radius;
}
void CONT_set_label_space(int x, int y) {
  st.x_label_space = x;
  st.y_label_space = y;
}
void CONT_set_scale(float s) { st.scale = s > 0.0F ? s : 1.0F; }
void CONT_set_fill_pat(int pattern) { st.fill_pat = pattern; }
int CONT_get_fill_pat() { return st.fill_pat; }
void CONT_set_over(int o) { st.over = o; }
int CONT_get_mapcon() { return st.mapcon; }

int CONT_get_label_style() { return st.frame_label_type; }

// ---- fill colours ----

namespace {

int decode_fill_color(const std::string& item, std::vector<AttribRec>* out, std::vector<float>* levels,
                      std::vector<std::string>* labels) {
  const std::size_t dash_at = item.find('-');
  if (dash_at != std::string::npos && dash_at > 0 && item.find(':') == std::string::npos) {
    int a, b;
    if (parse_int(item.substr(0, dash_at).c_str(), &a) && parse_int(item.substr(dash_at + 1).c_str(), &b)) {
      const int step = a <= b ? 1 : -1;
      for (int c = a;; c += step) {
        AttribRec r;
        ATTRIB_init(&r);
        r.color = c;
        r.fill = 0;
        out->push_back(r);
        levels->push_back(MISSING);
        labels->emplace_back();
        if (c == b || out->size() >= kMaxLevels) break;
      }
      return 1;
    }
  }
  std::string attr = item, label;
  const std::size_t la = attr.find(":la=");
  if (la != std::string::npos) {
    label = attr.substr(la + 4);
    const std::size_t stop = label.find(':');
    if (stop != std::string::npos) attr.erase(la, 4 + stop), label.resize(stop);
    else attr.resize(la);
  }
  float level = MISSING;
  const std::size_t colon = attr.find(':');
  if (colon != std::string::npos) {
    float f;
    if (parse_float(attr.substr(0, colon).c_str(), &f)) {
      level = f;
      if (label.empty()) label = attr.substr(0, colon);
      attr = attr.substr(colon + 1);
    }
  }
  AttribRec r;
  ATTRIB_init(&r);
  r.fill = 0;
  ATTRIB_parse(attr.c_str(), &r);
  out->push_back(r);
  levels->push_back(level);
  labels->push_back(label);
  return 1;
}

}  // namespace

int CONT_set_fill_colors(const char* given, int explicit_list) {
  std::string list = given != nullptr ? given : "";
  const char* res = RES_get("color_fill");
  if (res != nullptr && *res != '\0' && stricmp(res, "miss") != 0 && !(!explicit_list && starts_with_ci(res, "def")))
    list = res;
  else if (!explicit_list && starts_with_ci(list, "def"))
    list.clear();
  std::vector<AttribRec> entries;
  std::vector<float> levels;
  std::vector<std::string> labels;
  bool builtin = false;
  int ra, rb;
  const std::size_t dash_at = list.find('-', 1);
  const bool range = dash_at != std::string::npos && parse_int(list.substr(0, dash_at), &ra) &&
                     parse_int(list.substr(dash_at + 1), &rb);
  if (!list.empty() && list.find(',') == std::string::npos && list.find(':') == std::string::npos && !range) {
    // A contour level file: one entry a line.
    std::string used;
    std::FILE* f = FILE_open_data(list, &used);
    if (f == nullptr) {
      MESS_print(MESS_ERROR, "CONT_set_fill_colors: Unable to read contour level file: %s\n", list.c_str());
    } else {
      // Whole lines, however long: a long comment read in pieces would leave its tail to be
      // taken for a level.
      const auto next_line = [f](std::string* out) {
        out->clear();
        int c = 0;
        bool any = false;
        while ((c = std::getc(f)) != EOF) {
          any = true;
          if (c == '\n') break;
          if (out->size() < 4096) out->push_back(static_cast<char>(c));
        }
        return any;
      };
      std::string s;
      while (next_line(&s) && entries.size() < kMaxLevels) {
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
        if (s.empty() || s[0] == '@' || s[0] == '#') continue;
        decode_fill_color(s, &entries, &levels, &labels);
      }
      FILE_close(f);
    }
  } else if (!list.empty()) {
    int count = 0;
    char** items = nullptr;
    parse_string(list.c_str(), ',', &count, &items);
    for (int i = 0; i < count && entries.size() < kMaxLevels; ++i)
      if (items[i][0] != '\0') decode_fill_color(items[i], &entries, &levels, &labels);
    free_parsed_array(count, items);
  }
  if (entries.empty()) {
    const int n = CLR_get_num_fill();
    if (n > 0) {
      // The fill colours are the table's first entries, those before its "END" line.
      for (int i = 0; i < n; ++i) {
        AttribRec r;
        ATTRIB_init(&r);
        r.color = i, r.fill = 0;
        entries.push_back(r);
      }
    } else {
      entries = builtin_entries();
      builtin = true;
    }
    levels.assign(entries.size(), MISSING);
    labels.assign(entries.size(), "");
  }
  st.fill_attrib = entries;
  st.builtin_fill = builtin;
  st.color_fill_set = true;
  // Entries without a level between two with levels share the distance evenly.
  bool any_level = false;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    if (!set(levels[i])) continue;
    any_level = true;
    std::size_t j = i + 1;
    while (j < levels.size() && !set(levels[j])) ++j;
    if (j < levels.size() && j > i + 1)
      for (std::size_t k = i + 1; k < j; ++k)
        levels[k] = levels[i] + (levels[j] - levels[i]) * static_cast<float>(k - i) / static_cast<float>(j - i);
  }
  if (any_level) {
    std::vector<float> v;
    for (std::size_t i = 0; i < levels.size(); ++i) {
      if (!set(levels[i])) continue;
      if (v.size() < kMaxLevels) st.cont_label[v.size()] = labels[i];
      v.push_back(levels[i]);
    }
    st.cont_value = v;
    if (v.size() >= 2) st.intrvl = v[1] - v[0];
    // Entries before the first level have no band: the list starts at the first level.
    std::size_t first = 0;
    while (first < levels.size() && !set(levels[first])) ++first;
    st.fill_attrib.erase(st.fill_attrib.begin(), st.fill_attrib.begin() + static_cast<long>(first));
  }
  return color_num();
}

void CONT_set_fill_attribs(const AttribRec* attribs) {
  if (attribs == nullptr) return;
  st.fill_attrib.clear();
  for (int i = 0; i < kMaxLevels && attribs[i].color >= -1; ++i) st.fill_attrib.push_back(attribs[i]);
  st.color_fill_set = !st.fill_attrib.empty();
  st.builtin_fill = false;
}

int CONT_get_fill_attrib_ind(int index, AttribRec* attrib) {
  if (index < 0 || index >= static_cast<int>(st.fill_attrib.size()) || attrib == nullptr) return -1;
  *attrib = st.fill_attrib[static_cast<std::size_t>(index)];
  return index;
}

int CONT_get_num_colors() { return static_cast<int>(st.fill_attrib.size()); }
void CONT_reset_fill_set() { st.color_fill_set = false; }
const char* CONT_get_label(int index) {
  return index >= 0 && index < kMaxLevels ? st.cont_label[static_cast<std::size_t>(index)].c_str() : "";
}

int CONT_get_fill_attrib(AttribRec* attrib, float value) {
  if (attrib == nullptr) return -1;
  ATTRIB_init(attrib);
  attrib->color = -1;
  if (!set(value) || st.fill_attrib.empty() || (set(st.min_cut) && value < st.min_cut) || (set(st.max_cut) && value > st.max_cut))
    return -1;
  int entry;
  if (!st.cont_value.empty()) {
    if (value < st.cont_value.front()) return -1;
    entry = static_cast<int>(std::upper_bound(st.cont_value.begin(), st.cont_value.end(), value) - st.cont_value.begin()) - 1;
    entry %= color_num();
  } else {
    if (!set(st.intrvl) || st.intrvl <= 0.0F || nothing_band(value)) return -1;
    entry = band_color(value);
  }
  *attrib = st.fill_attrib[static_cast<std::size_t>(entry)];
  return entry;
}

// ---- setup and drawing ----

namespace {
// Whether the variable's zero is its "nothing": precipitation, snow depth, wind speed and
// gusts, by parameter number or by the name the user wrote.
bool zero_means_nothing(const VarRec* v) {
  if (v == nullptr) return false;
  static constexpr int kNumbers[] = {32, 180, 61, 59, 66, 142, 143, 144, 145};
  for (const int n : kNumbers)
    if (v->var == n) return true;
  static constexpr const char* kNames[] = {"prec", "wspd", "wgst", "wgust", "uvspd", "snwdp"};
  const std::string name(v->name, strnlen(v->name, sizeof v->name));
  for (const char* k : kNames)
    if (strnicmp(name.c_str(), k, std::strlen(k)) == 0) return true;
  return false;
}

// Remembers the colouring of a series' first frame, or gives a later frame that colouring.
void series_colour_base(int overlay, int index) {
  SeriesColours& s = st.series_colours[index];
  const bool levels = st.cont_value.empty() && set(st.intrvl) && st.intrvl > 0.0F && st.num_cont > 0;
  if (overlay == 0) {
    s = {};
    if (!levels) return;
    // The bands that get a colour: from the first level above "nothing" where there is one.
    const float low = set(st.nothing_top) ? st.nothing_top : st.conlo;
    const double bands = std::floor((static_cast<double>(st.conhi) - low) / st.intrvl + 0.01);
    const double first = std::floor((static_cast<double>(low) - st.cbase) / st.intrvl + 0.01);
    const bool fits = first >= 0.0 && first + bands <= color_num();
    s = {true, st.intrvl, st.cbase, st.builtin_fill && !set(st.base) ? st.spread_bands : 0, fits};
    return;
  }
  if (!levels || !s.known || s.interval != st.intrvl) return;
  st.cbase = s.cbase;
  if (s.spread > 0) spread_builtin(s.spread);
  st.hold_ends = s.fits;
}
}  // namespace

void CONT_keep_answers(int on) { st.keep_answers = on != 0; }

int CONT_plot_setup(int overlay, int index, GridRec* grid, const DomainRec* domain, ContCallback) {
  if (FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) {
    st.cont_type = PLOT_NONE;
    return -1;
  }
  CONT_init();
  GRD_DomainGuard keep;
  (void)domain;
  const bool slot = index >= 0 && index < kMaxVars;
  if (slot && index < VAR_get_num()) {
    CONT_set_format(VAR_get_type(index));
    st.zero_is_nothing = zero_means_nothing(VAR_get_var(index));
  }
  if ((overlay > 0 || st.keep_answers) && slot && st.remembered[index]) {
    st.cont_type = st.cont_types[index];
    st.intrvl = st.intrvls[index];
    st.dash = st.dashs[index];
    st.base = st.bases[index];
  }
  if (slot && index < VAR_get_num()) CONT_format_decode_type(VAR_get_format(index));
  CONT_format_decode_type(RES_get("plot_format"));
  CONT_param_decode(RES_get("plot_param"));
  if (!st.color_fill_set) CONT_set_fill_colors(nullptr, 0);
  if (grid == nullptr || grid->values == nullptr) return -1;
  MESS_print(MESS_MESS, "Contouring data for %s\n\n", grid->datatype);
  GRD_maxmin(grid, &st.grid_max, &st.grid_min);
  const bool answered = st.keep_answers && slot && st.remembered[index];
  if (st.cont_type != PLOT_GVALUE && !set(st.intrvl) && st.cont_value.empty() && !FLAG_batch() && !resource_set("con_interval") &&
      !answered) {
    MESS_print(MESS_PRINT, "Maximum value: %f\n", static_cast<double>(st.grid_max));
    MESS_print(MESS_PRINT, "Minimum value: %f\n\n", static_cast<double>(st.grid_min));
    st.intrvl = std::max(0.0F, ZAV_promptf("Enter the contour interval: "));
  }
  if (!st.cont_value.empty() && st.plt_bar != -2) st.plt_bar = std::max(st.plt_bar, 3);
  CONT_read_base(&st.base, &st.min_cut, &st.max_cut, true);
  CONT_read_scale(&st.scale);
  CONT_format_decode_type(RES_get("plot_format"));
  CONT_prompt_type();
  if (st.cont_type == PLOT_NONE) return -1;
  if (st.intrvl == 0.0F) st.intrvl = MISSING;
  CONT_set_cont_ext(grid);
  if (slot) series_colour_base(overlay, index);
  if (is_fill_type(st.cont_type)) {
    MAP_fill_cont(1);
    MAP_fill_partial(set(st.nothing_top) ? 1 : 0);
  }
  if (is_fill_type(st.cont_type) && st.plt_bar == 0) st.plt_bar = 1;
  // Frame labels.
  char lo[40], hi[40];
  st.frame_labels[0] = grid->datatype;
  st.frame_labels[2] = grid->label;
  if (st.grid_min == MISSING && st.grid_max == MISSING) {
    // Nothing to contour (no station of the variable reaches the grid): say so rather
    // than print the missing value as the extremes.
    MESS_print(MESS_WARN, "No values on the grid of %.70s: no report of it reaches this domain\n", grid->datatype);
    st.frame_labels[5].clear();
  } else {
    st.frame_labels[5] =
        std::string("LO: ") + set_num(lo, "5.3.1", st.grid_min) + "  HI: " + set_num(hi, "5.3.1", st.grid_max);
  }
  if (!st.cont_value.empty()) {
    std::string t = "LEVELS: ";
    char b[40];
    for (std::size_t i = 0; i < st.cont_value.size() && t.size() <= 74; ++i)
      t += (i > 0 ? "," : "") + std::string(set_num(b, "1.1.1", st.cont_value[i]));
    st.frame_labels[3] = t;
  } else if (st.cont_type != PLOT_GVALUE && set(st.intrvl)) {
    char b[40];
    st.frame_labels[3] = std::string("INTERVAL: ") + set_num(b, "5.1.1", st.intrvl);
  }
  if (overlay == 0 && slot) {
    st.remembered[index] = true;
    st.cont_types[index] = st.cont_type;
    st.intrvls[index] = st.intrvl;
    st.dashs[index] = st.dash;
    st.bases[index] = st.base;
  }
  return 0;
}

const char* CONT_get_frame_label(int position) {
  return position >= 0 && position < 6 ? st.frame_labels[static_cast<std::size_t>(position)].c_str() : "";
}

namespace {

int draw_values(const GridRec* grid) {
  const int nx = grid->domain.nx, ny = grid->domain.ny;
  Corners pos;
  if (!grid_positions(grid, &pos)) return -1;
  const float h = 0.015F * map_height() * st.scale;
  AttribRec t = label_attr();
  GPH_text_attr(&t, h);
  GPH_text_align(2, 3);
  const bool colour = !st.cont_value.empty() || (set(st.intrvl) && st.intrvl > 0.0F);
  for (int r = 0; r < ny; r += st.y_skip)
    for (int i = 0; i < nx; i += st.x_skip) {
      const std::size_t k = static_cast<std::size_t>(r) * nx + i;
      const float v = grid->values[k];
      if (v == MISSING || pos.X[k] == MISSING) continue;
      if (colour) {
        AttribRec a;
        if (CONT_get_fill_attrib(&a, v) >= 0 && a.color >= 0) gset_text_colr_ind(a.color);
        else GPH_text_attr(&t, h);
      }
      const std::string s = format_value("1.1.0", v);
      const float p[2] = {pos.X[k] + st.x_off * MAP_get_hor(), pos.Y[k] + st.y_off * map_height()};
      GPH_pprint(p, s.c_str());
    }
  return 0;
}

struct Extreme {
  float x, y, value;
  bool high;
  int i, r;  // grid column and row (top row 0)
};

constexpr double kEarthKm = 6371.22;

double km_between(double lat1, double lon1, double lat2, double lon2) {
  constexpr double rad = 3.14159265358979323846 / 180.0;
  const double a = std::sin((lat2 - lat1) * rad / 2), b = std::sin((lon2 - lon1) * rad / 2);
  const double h = a * a + std::cos(lat1 * rad) * std::cos(lat2 * rad) * b * b;
  return 2.0 * kEarthKm * std::asin(std::min(1.0, std::sqrt(h)));
}

// Highs and lows: a point higher (lower) than every point within the search radius, and by
// at least half an interval than the mean of the points in the outer half of that circle,
// so that a wobble of the analysis is not marked. The circle is measured on the earth,
// whatever the grid's spacing; it must lie wholly on the grid and hold no missing value,
// so that no mark stands where the analysis had little data (the grid's edges and gaps).
std::vector<Extreme> find_extremes(const GridRec* grid, const Corners& pos) {
  std::vector<Extreme> out;
  const int nx = grid->domain.nx, ny = grid->domain.ny;
  const std::size_t n = static_cast<std::size_t>(nx) * ny;
  const float* v = grid->values;
  std::vector<double> lat(n, MISSING), lon(n, MISSING);
  // Without a map (a grid drawn on its own) the distances are counted in grid steps and
  // the radius is the label type's number of points.
  const bool geo = MAP_get_proj() != MISSING_INT;
  for (std::size_t k = 0; k < n && geo; ++k) {
    float la, lo;
    if (pos.X[k] != MISSING && MAP_untran(&la, &lo, pos.X[k], pos.Y[k]) != 0 && std::isfinite(la))
      lat[k] = la, lon[k] = lo;
  }
  auto at = [&](int i, int r) { return static_cast<std::size_t>(r) * nx + i; };
  auto km = [&](std::size_t a, std::size_t b) {
    if (!geo) {
      const auto ia = static_cast<long>(a), ib = static_cast<long>(b);
      return std::hypot(static_cast<double>(ia % nx - ib % nx), static_cast<double>(ia / nx - ib / nx));
    }
    return lat[a] == MISSING || lat[b] == MISSING ? 1e9 : km_between(lat[a], lon[a], lat[b], lon[b]);
  };
  // The smallest step between neighbouring points bounds how many points the circle spans.
  double step = 1e9;
  for (int r = 0; r + 1 < ny; ++r)
    for (int i = 0; i + 1 < nx; ++i) step = std::min({step, km(at(i, r), at(i + 1, r)), km(at(i, r), at(i, r + 1))});
  if (!(step > 0.0 && step < 1e8)) return out;
  // The radius: the user's, or 400 km, but no more than a sixth of the grid's shorter
  // side, so that a small domain keeps room for its marks; at least one grid step.
  double radius = !geo ? st.ext_radius : set(st.ext_km) && st.ext_km > 0.0F ? st.ext_km : 400.0;
  if (geo && !set(st.ext_km)) {
    const double across = std::min(km(at(0, ny / 2), at(nx - 1, ny / 2)), km(at(nx / 2, 0), at(nx / 2, ny - 1)));
    if (across < 1e8) radius = std::min(radius, across / 6.0);
  }
  radius = std::max(radius, 1.01 * step);
  struct Found {
    Extreme e;
    double prominence;  // how far it stands out from the ring round it
    std::size_t k;
  };
  std::vector<Found> found;
  const int m = static_cast<int>(std::min(50.0, std::ceil(radius / step)) + 1);
  float half = 0.0F;
  if (!st.cont_value.empty() && st.cont_value.size() >= 2) half = 0.5F * std::fabs(st.cont_value[1] - st.cont_value[0]);
  else if (set(st.intrvl) && st.intrvl > 0.0F) half = 0.5F * st.intrvl;
  for (int r = 0; r < ny; ++r)
    for (int i = 0; i < nx; ++i) {
      const std::size_t k = at(i, r);
      const float z = v[k];
      if (z == MISSING || pos.X[k] == MISSING || (geo && lat[k] == MISSING)) continue;
      if ((set(st.min_cut) && z < st.min_cut) || (set(st.max_cut) && z > st.max_cut)) continue;
      // The circle must end inside the grid on every side.
      if (km(k, at(0, r)) < radius || km(k, at(nx - 1, r)) < radius || km(k, at(i, 0)) < radius ||
          km(k, at(i, ny - 1)) < radius || i == 0 || r == 0 || i == nx - 1 || r == ny - 1)
        continue;
      // The four next points settle most points at once.
      bool high = true, low = true;
      for (const std::size_t j : {k - 1, k + 1, k - nx, k + nx}) {
        const float w = v[j];
        if (w == MISSING || w >= z) high = false;
        if (w == MISSING || w <= z) low = false;
      }
      if (!high && !low) continue;
      double ring_sum = 0.0;
      int ring = 0;
      for (int b = std::max(0, r - m); b <= std::min(ny - 1, r + m) && (high || low); ++b)
        for (int a = std::max(0, i - m); a <= std::min(nx - 1, i + m) && (high || low); ++a) {
          if (a == i && b == r) continue;
          const std::size_t j = at(a, b);
          const double d = km(k, j);
          if (d > radius) continue;
          const float w = v[j];
          if (w == MISSING || pos.X[j] == MISSING) {
            high = low = false;
            continue;
          }
          if (w >= z) high = false;
          if (w <= z) low = false;
          if (d > radius / 2) ring_sum += w, ++ring;
        }
      if (ring == 0) continue;  // no point in the outer half: the grid is too coarse to tell
      const double mean = ring_sum / ring;
      if (high && z - mean >= half) found.push_back({{pos.X[k], pos.Y[k], z, true, i, r}, z - mean, k});
      else if (low && mean - z >= half) found.push_back({{pos.X[k], pos.Y[k], z, false, i, r}, mean - z, k});
    }
  // Where highs and lows crowd each other (a field full of small bumps, as temperatures
  // over mountains), the one that stands out most is marked: none within one and a half
  // radii of a mark that stands out more.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.prominence > b.prominence; });
  std::vector<std::size_t> kept;
  for (const Found& f : found) {
    bool crowded = false;
    for (const std::size_t k : kept) crowded = crowded || km(f.k, k) < 1.5 * radius;
    if (crowded) continue;
    kept.push_back(f.k);
    out.push_back(f.e);
  }
  return out;
}

// Luminance of colour index c (0 black ... 1 white); the page's for -1 (not filled).
float luminance(int c) {
  if (c < 0) return gget_inverse() ? 1.0F : 0.0F;
  float r = 0, g = 0, b = 0;
  if (c >= 500 || CLR_get_rgb(c, &r, &g, &b) != 0) return 1.0F;
  return 0.299F * r + 0.587F * g + 0.114F * b;
}

// Whether white shows better than black on what lies under a mark's box (x0..x1, y0..y1
// about the grid point): the mean luminance of the fills at its corners and the middles
// of its sides, read from the grid's values there.
bool white_on(const GridRec* grid, const Corners& pos, const Extreme& e, float x0, float y0, float x1, float y1) {
  const int nx = grid->domain.nx, ny = grid->domain.ny;
  const std::size_t k = static_cast<std::size_t>(e.r) * nx + e.i;
  // World size of one grid step at the mark.
  const float sx = e.i + 1 < nx ? pos.X[k + 1] - pos.X[k] : pos.X[k] - pos.X[k - 1];
  const float sy = e.r > 0 ? pos.Y[k - nx] - pos.Y[k] : pos.Y[k] - pos.Y[k + nx];
  auto value = [&](float dx, float dy) {
    // Grid position of the world offset, rows counted downwards.
    const float fi = static_cast<float>(e.i) + (sx != 0.0F ? dx / sx : 0.0F);
    const float fr = static_cast<float>(e.r) - (sy != 0.0F ? dy / sy : 0.0F);
    const int i0 = std::clamp(static_cast<int>(std::floor(fi)), 0, nx - 2);
    const int r0 = std::clamp(static_cast<int>(std::floor(fr)), 0, ny - 2);
    const float a = std::clamp(fi - static_cast<float>(i0), 0.0F, 1.0F);
    const float b = std::clamp(fr - static_cast<float>(r0), 0.0F, 1.0F);
    const float* top = grid->values + static_cast<std::size_t>(r0) * nx + i0;
    const float z00 = top[0], z10 = top[1], z01 = top[nx], z11 = top[nx + 1];
    if (z00 == MISSING || z10 == MISSING || z01 == MISSING || z11 == MISSING) return e.value;
    return (1 - a) * (1 - b) * z00 + a * (1 - b) * z10 + (1 - a) * b * z01 + a * b * z11;
  };
  float sum = 0.0F;
  int n = 0;
  for (const float dx : {x0, 0.5F * (x0 + x1), x1})
    for (const float dy : {y0, 0.5F * (y0 + y1), y1}) {
      if (dx == 0.5F * (x0 + x1) && dy == 0.5F * (y0 + y1)) continue;
      AttribRec f;
      int under = -1;
      if (is_fill_type(st.cont_type) && CONT_get_fill_attrib(&f, value(dx, dy)) >= 0) under = f.color;
      sum += luminance(under), ++n;
    }
  return sum / static_cast<float>(n) < 0.5F;
}

}  // namespace

int CONT_draw_maxmin(const GridRec* grid) {
  if (grid == nullptr || grid->values == nullptr || st.ext_radius <= 0 || FLAG_getplot(6) == 0) return -1;
  const char* lc = RES_get("color_label");
  if (lc != nullptr && stricmp(lc, "off") == 0) return -1;
  Corners pos;
  if (!grid_positions(grid, &pos)) return -1;
  const float mh = map_height();
  // The letters stand out from the line labels: a third larger than the rule's 0.02 of
  // the map height, and bold.
  const float hb = 0.03F * mh * st.scale, hs = 0.015F * mh * st.scale;
  AttribRec a = label_attr();
  // Unless the user chose the label colour, each mark takes black or white, whichever
  // shows on what lies under it: the band's fill, or the page where nothing is filled.
  const bool own_colour = resource_set(is_fill_type(st.cont_type) ? "color_clabel" : "color_label");
  const bool fill = is_fill_type(st.cont_type);
  for (const Extreme& e : find_extremes(grid, pos)) {
    const std::string val = plot_number(e.value);
    const float w = std::max(text_width(val, hs), text_width("H", hb));
    const Box box = {e.x - w / 2, e.y - 0.5F * hb - 1.2F * hs, e.x + w / 2, e.y + 0.6F * hb};
    if (!box_free(box)) continue;
    claim(box, "high-low");
    gfeature_point(GFEAT_EXTREME, e.x, e.y, e.value, 0.0, e.high ? "H" : "L");
    // Lines under the mark are hidden by a rim of the band's colour (of the page's where
    // nothing is filled) round the strokes.
    AttribRec rim = a;
    rim.color = CLR_get_ind(gget_inverse() ? "white" : "black");
    if (rim.color < 0) rim.color = gget_inverse() ? 0 : 1;
    AttribRec under;
    if (fill && CONT_get_fill_attrib(&under, traced_value(grid, e.i, e.r)) >= 0 && under.color >= 0)
      rim.color = under.color;
    // A colour table without that colour leaves the mark without its rim.
    const bool rimmed = rim.color >= 0 && gis_valid_colr(rim.color) != 0 &&
                        (gtype_is_WIN_PIX() == 0 || gget_color_ind(rim.color) >= 0);
    // The letter and the value each take the colour that shows on what lies under it: the
    // rim round them, else the fill under their box.
    auto contrast = [&](float x0, float y0, float x1, float y1) {
      AttribRec c = a;
      if (own_colour) return c;
      const bool white = rimmed ? luminance(rim.color) < 0.5F : white_on(grid, pos, e, x0, y0, x1, y1);
      c.color = CLR_get_ind(white ? "white" : "black");
      if (c.color < 0) c.color = white ? 0 : 1;
      return c;
    };
    const float lw = text_width("H", hb), vw = text_width(val, hs);
    const AttribRec letter = contrast(-lw / 2, -0.5F * hb, lw / 2, 0.5F * hb);
    const AttribRec number = contrast(-vw / 2, -0.5F * hb - 1.2F * hs, vw / 2, -0.5F * hb);
    const bool high = e.high;
    const float x = e.x, y = e.y;
    later([=] {
      const float p[2] = {x, y}, q[2] = {x, y - 0.5F * hb - 0.6F * hs};
      const float thin = set(a.width) ? a.width : 1.0F;
      // Both rims first: the rim of the value must not cut the foot of the letter.
      for (int pass = rimmed ? 0 : 1; pass < 2; ++pass) {
        AttribRec t = pass == 0 ? rim : letter;
        GPH_text_attr(&t, hb);
        GPH_text_align(2, 3);
        gset_text_width(pass == 0 ? 10.0F : 3.0F);
        GPH_pprint(p, high ? "H" : "L");
        t = pass == 0 ? rim : number;
        GPH_text_attr(&t, hs);
        GPH_text_align(2, 3);
        gset_text_width(pass == 0 ? thin + 6.0F : thin);
        GPH_pprint(q, val.c_str());
      }
      gset_text_width(set(a.width) ? a.width : 0.0F);
    });
  }
  return 0;
}

int CONT_draw_labels(const GridRec* grid) {
  if (grid == nullptr || grid->values == nullptr || st.label_skip <= 0 || st.num_cont <= 0) return -1;
  const int nx = grid->domain.nx, ny = grid->domain.ny;
  Corners pos;
  if (!grid_positions(grid, &pos)) return -1;
  const int xs = set(st.x_label_space) && st.x_label_space > 0 ? st.x_label_space : std::max(1, nx / 5);
  const int ys = set(st.y_label_space) && st.y_label_space > 0 ? st.y_label_space : std::max(1, ny / 5);
  const float h = 0.015F * map_height() * st.scale;
  const bool explicit_levels = !st.cont_value.empty();
  const int levels = explicit_levels ? static_cast<int>(st.cont_value.size()) : st.num_cont;
  const float limit = st.max_line_fact > 0.0F ? st.max_line_fact * static_cast<float>(color_num()) : 10000.0F;
  AttribRec a = label_attr();
  GPH_text_attr(&a, h);
  GPH_text_align(2, 3);
  GPH_text_rotate(st.rot_label ? 90.0F : 0.0F);
  // Labels of one level keep a distance of a fifth of the map from each other.
  const float spacing = 0.2F * std::min(map_height(), MAP_get_hor() > 0.0F ? MAP_get_hor() : map_height());
  std::vector<std::vector<std::pair<float, float>>> done(static_cast<std::size_t>(std::max(levels, 1)));
  Cell cell;
  Level lv;
  for (int r = 0; r + 1 < ny; ++r)
    for (int i = 0; i + 1 < nx; ++i) {
      if ((i - st.over) % xs != 0 && (r - st.over) % ys != 0) continue;
      const std::size_t top = static_cast<std::size_t>(r) * nx + i, bot = top + nx;
      const std::size_t idx[4] = {bot, bot + 1, top, top + 1};
      bool skip = false;
      for (int k = 0; k < 4; ++k) {
        cell.z[k] = grid->values[idx[k]];
        cell.x[k] = pos.X[idx[k]];
        cell.y[k] = pos.Y[idx[k]];
        skip = skip || cell.z[k] == MISSING || cell.x[k] == MISSING;
      }
      if (skip) continue;
      const float dx = cell.x[1] - cell.x[0], dy = cell.y[1] - cell.y[0];
      if (h * h > (dx * dx + dy * dy) * static_cast<float>(xs * ys)) continue;
      const float zmin = std::min({cell.z[0], cell.z[1], cell.z[2], cell.z[3]});
      const float zmax = std::max({cell.z[0], cell.z[1], cell.z[2], cell.z[3]});
      if (!explicit_levels && set(st.intrvl) && (zmax - zmin) / st.intrvl > limit) continue;
      for (int k = 0; k < levels; k += st.label_skip) {
        const float c = level_at(k);
        if (c <= zmin || c > zmax) continue;
        if ((set(st.min_cut) && c < st.min_cut) || (set(st.max_cut) && c > st.max_cut)) continue;
        compute_dz(cell, c, &lv);
        if (lv.n != 2) continue;
        int s0 = -1;
        for (int s = 0; s < 4 && s0 < 0; ++s)
          if (lv.crossed[s]) s0 = s;
        const int s1 = lv.partner[s0];
        const float mx = 0.5F * (lv.px[s0] + lv.px[s1]), my = 0.5F * (lv.py[s0] + lv.py[s1]);
        bool near = false;
        for (const auto& p : done[static_cast<std::size_t>(k)])
          near = near || std::hypot(p.first - mx, p.second - my) < spacing;
        if (near) continue;
        const std::string s = level_text(k, c);
        const float w = text_width(s, h) + 0.4F * h;
        const Box box = st.rot_label ? Box{mx - 0.7F * h, my - w / 2, mx + 0.7F * h, my + w / 2}
                                  : Box{mx - w / 2, my - 0.7F * h, mx + w / 2, my + 0.7F * h};
        // Labels of neighbouring lines keep half a label height apart, and one from the edge
        // of the map, so that none stand in a row along it.
        const Box wide = {box.x0 - 0.5F * h, box.y0 - 0.5F * h, box.x1 + 0.5F * h, box.y1 + 0.5F * h};
        if (!box_free(wide, 0.5F * h)) continue;
        claim(box, "contour");
        done[static_cast<std::size_t>(k)].emplace_back(mx, my);
        // The label interrupts its line: a box in the colour beneath.
        AttribRec under;
        const bool filled = is_fill_type(st.cont_type) && CONT_get_fill_attrib(&under, c) >= 0 && under.color >= 0;
        const bool clear = !is_fill_type(st.cont_type);
        const bool rotated = st.rot_label != 0;
        later([=] {
          if (filled) {
            AttribRec f = under;
            GPH_fill_attr(&f);
            const float q[8] = {box.x0, box.y0, box.x1, box.y0, box.x1, box.y1, box.x0, box.y1};
            gfill_area(4, q);
          } else if (clear) {
            const float rect[4] = {box.x0, box.x1, box.y0, box.y1};
            gclear_region(rect);
          }
          GPH_text_attr(&a, h);
          GPH_text_align(2, 3);
          GPH_text_rotate(rotated ? 90.0F : 0.0F);
          const float p[2] = {mx, my};
          GPH_pprint(p, s.c_str());
          GPH_text_rotate(0.0F);
        });
      }
    }
  GPH_text_rotate(0.0F);
  return 0;
}

int CONT_draw(GridRec* grid) {
  if (FLAG_getplot(DRAW_DATA) == 0) return -1;
  if (grid == nullptr) {
    MESS_print(MESS_ERROR | MESS_WARN, "CONT_draw: Invalid grids\n");
    return -1;
  }
  if (grid->values == nullptr) {
    MESS_print(MESS_ERROR | MESS_WARN, "CONT_draw: Invalid grid arrays\n");
    return -1;
  }
  if (st.cont_type == PLOT_NONE || !set(st.cont_type)) return -1;
  // Drawn alone, the contours start a page of their own labels.
  if (!st.defer_labels) gtext_room_clear();
  if (st.cont_type == PLOT_GVALUE) return draw_values(grid);
  if (CONT_draw_contour(grid) != 0) return -1;
  // Highs and lows claim their places before the line labels.
  CONT_draw_maxmin(grid);
  CONT_draw_labels(grid);
  return 0;
}

void CONT_defer_labels(int on) {
  st.defer_labels = on != 0;
  if (!st.defer_labels) st.pending_labels.clear();
}

void CONT_flush_labels() {
  const int tran = gget_norm_tran();
  GPH_trans(2);
  std::vector<std::function<void()>> draws;
  draws.swap(st.pending_labels);
  for (const auto& draw : draws) draw();
  GPH_text_rotate(0.0F);
  GPH_trans(tran);
}

// ---- colour bar ----

void CONT_set_bar(int mode) { st.plt_bar = mode; }
int CONT_get_bar() { return st.plt_bar; }
void CONT_set_bar_range(float low, float high) {
  st.bar_min = low;
  st.bar_max = high;
}
void CONT_get_bar_range(float* low, float* high) {
  if (low != nullptr) *low = st.bar_min;
  if (high != nullptr) *high = st.bar_max;
}
void CONT_set_bar_view(const float view[4], float bottom, int labels_inside) {
  for (int i = 0; i < 4; ++i) st.bar_view[i] = view[i];
  st.bar_bottom = bottom;
  st.bar_labels_inside = labels_inside;
}

int CONT_draw_bar(int, const char* title) {
  st.bar_drawn.drawn = false;
  if (FLAG_getplot(DRAW_DATA) == 0) return -1;
  AttribRec ta = attr_of("color_text", foreground()), la = attr_of("color_cont", foreground());
  float hi = set(st.bar_max) ? st.bar_max : st.grid_max, lo = set(st.bar_max) ? st.bar_min : st.grid_min;
  float step = st.intrvl;
  if (!set(step)) {
    const char* r = RES_get("con_interval");
    if (r != nullptr) parse_float(r, &step);
  }
  float b = st.base;
  // A range of the bar's own outranks the cuts.
  const bool own = set(st.bar_max);
  CONT_read_base(&b, own ? nullptr : &lo, own ? nullptr : &hi, true);
  float blo;
  int n;
  const bool explicit_levels = !st.cont_value.empty();
  if (explicit_levels) {
    blo = st.cont_value.front();
    n = static_cast<int>(st.cont_value.size());
    step = n >= 2 ? st.cont_value[1] - st.cont_value[0] : 1.0F;
  } else if (st.hold_ends && !own) {
    // A later frame of a series shows the series' colours, one box each (after the
    // unfilled box of "nothing" where the field has one).
    blo = st.cbase, step = st.intrvl, n = color_num();
    if (set(st.nothing_top)) blo -= step, ++n;
  } else {
    if (!set(hi) || !set(lo)) return -1;
    if (!set(step) || step <= 0.0F) step = CONT_calc_intrvl(color_num() - 1, hi, lo);
    LevelSpan span;
    if (!level_span(lo, hi, set(b) ? b : 0.0F, step, kMaxBarBoxes, &span)) return -1;
    blo = span.low, n = span.count;
  }
  if (n > kMaxBarBoxes || n <= 0 || step == 0.0F || !set(step)) return -1;
  // The bar's colours are those of the fill: counted from the fill's colour base.
  const float colour_base = !own && !explicit_levels && set(st.cbase) ? st.cbase : set(b) ? b : blo;
  // Held end colours stand for everything beyond them: those ends of the bar are pointed.
  const bool held_low = st.hold_ends && !own && !explicit_levels && set(st.grid_min) && st.grid_min < blo;
  const bool held_high = st.hold_ends && !own && !explicit_levels && set(st.grid_max) &&
                         st.grid_max >= blo + static_cast<float>(n) * step;
  const float xmin = st.bar_view[0], xmax = st.bar_view[1], ymin = st.bar_view[2];
  float h = 0.035F;
  float y0, y1;
  if (st.bar_labels_inside) {
    y0 = ymin + 0.15F * h;
    y1 = ymin + h;
  } else {
    h = std::min(0.035F, ymin - st.bar_bottom);
    if (h < 0.01F) return -1;
    y0 = ymin - h;
    y1 = ymin - 0.15F * h;
  }
  const float x0 = xmin + 0.03F * (xmax - xmin), x1 = 0.5F * (xmin + xmax);
  const float bw = (x1 - x0) / static_cast<float>(n);
  const float ymid = 0.5F * (y0 + y1);
  int entry = 0;
  if (!explicit_levels) entry = cycle_entry((static_cast<double>(blo) - colour_base) / step);
  st.bar_drawn = {};
  st.bar_drawn.x0 = x0, st.bar_drawn.x1 = x1, st.bar_drawn.y0 = ymid, st.bar_drawn.y1 = y1;
  st.bar_drawn.boxes = n, st.bar_drawn.lo = blo, st.bar_drawn.step = step;
  const bool fill = is_fill_type(st.cont_type) || st.cont_type == PLOT_GVALUE;
  const bool lines = has_lines(st.cont_type);
  const float th = 0.35F * (y1 - y0);
  GPH_text_attr(&ta, th);
  GPH_text_align(2, 4);
  // Every k-th boundary is labelled, k large enough that the widest label and a gap fit
  // between two labels: numbers of a narrow bar never run together.
  auto bar_text = [&](int i, float level) {
    return i < kMaxLevels && !st.cont_label[static_cast<std::size_t>(i)].empty() ? st.cont_label[static_cast<std::size_t>(i)]
                                                                               : plot_number(level);
  };
  float widest = 0.0F;
  for (int i = 0; i <= n; ++i) {
    const float level = explicit_levels && i < n ? st.cont_value[static_cast<std::size_t>(i)] : blo + static_cast<float>(i) * step;
    widest = std::max(widest, text_width(bar_text(i, level), th));
  }
  // The gap: a third of a character on paper; on a screen or raster picture at least six
  // pixels, for strokes a pixel wide run together sooner.
  float gap = 0.3F * th;
  const float per_unit = std::fabs(xW_dev(1.0F) - xW_dev(0.0F));
  if ((gtype_is_WIN_PIX() != 0 || gtype_is_RASTER() != 0) && per_unit > 0.0F) gap = std::max(gap, 6.0F / per_unit);
  int every = n / 15 + 1;
  while (every < n && static_cast<float>(every) * bw < widest + gap) ++every;
  float last_right = -1.0e9F;  // right end of the last label: none is written over another
  for (int i = 0; i < n; ++i) {
    const float level = explicit_levels ? st.cont_value[static_cast<std::size_t>(i)] : blo + static_cast<float>(i) * step;
    const float bx0 = x0 + static_cast<float>(i) * bw, bx1 = bx0 + bw;
    const int box_entry = explicit_levels || !st.hold_ends
                              ? (entry + i) % color_num()
                              : cycle_entry((static_cast<double>(level) - colour_base) / step);
    st.bar_drawn.levels.push_back(level);
    st.bar_drawn.colors.push_back(box_entry);
    if (fill && !st.fill_attrib.empty() && st.fill_attrib[static_cast<std::size_t>(box_entry)].color != -1 &&
        !nothing_band(level)) {
      AttribRec fa = st.fill_attrib[static_cast<std::size_t>(box_entry)];
      GPH_fill_attr(&fa);
      GPH_frect(bx0, ymid, bx1, y1);
    }
    if (lines && i + 1 < n) {
      GPH_line_attr(&la);
      if (st.dash == 1 || (st.dash == -1 && level + step < 0.0F)) gset_linetype(2);
      GPH_line(bx1, ymid, bx1, y1);
      gset_linetype(1);
    }
    if (i % every == 0) {
      GPH_text_attr(&ta, th);
      const std::string s = i < kMaxLevels && !st.cont_label[static_cast<std::size_t>(i)].empty()
                                ? st.cont_label[static_cast<std::size_t>(i)]
                                : plot_number(level);
      const float w = text_width(s, th);
      if (bx0 - w / 2 < last_right) continue;
      last_right = bx0 + w / 2 + gap;
      const float p[2] = {bx0, y0};
      GPH_pprint(p, s.c_str());
    }
  }
  if (!explicit_levels) {
    const std::string s = n < kMaxLevels && !st.cont_label[static_cast<std::size_t>(n)].empty()
                              ? st.cont_label[static_cast<std::size_t>(n)]
                              : plot_number(blo + static_cast<float>(n) * step);
    GPH_text_attr(&ta, th);
    const float p[2] = {x1, y0};
    if (x1 - text_width(s, th) / 2 >= last_right) GPH_pprint(p, s.c_str());
  }
  GPH_line_attr(&ta);
  GPH_rect(x0, ymid, x1, y1);
  const float tip = std::min(0.6F * bw, 0.025F * (xmax - xmin));
  for (int end = 0; end < 2; ++end) {
    if (!(end == 0 ? held_low : held_high) || !fill || st.fill_attrib.empty()) continue;
    // A tip stands only on a held bar: its colour is that of the end box.
    const float end_level = blo + static_cast<float>(end == 0 ? 0 : n - 1) * step;
    const int box_entry = cycle_entry((static_cast<double>(end_level) - colour_base) / step);
    const float xb = end == 0 ? x0 : x1, xt = end == 0 ? x0 - tip : x1 + tip;
    const float tri[8] = {xb, ymid, xt, 0.5F * (ymid + y1), xb, y1, xb, ymid};
    if (st.fill_attrib[static_cast<std::size_t>(box_entry)].color != -1) {
      AttribRec fa = st.fill_attrib[static_cast<std::size_t>(box_entry)];
      GPH_fill_attr(&fa);
      gfill_area(3, tri);
    }
    GPH_line_attr(&ta);
    gpolyline(4, tri);
  }
  if (title != nullptr && *title != '\0') {
    GPH_text_align(1, 4);
    const float p[2] = {xmax, y0 - 0.01F};
    GPH_pprint(p, title);
  }
  st.bar_drawn.drawn = true;
  return 0;
}

namespace {
// The box of the drawn bar under page position x, y; -1 off the bar (or on a bar squeezed
// to no width).
int bar_box(float x, float y) {
  if (!st.bar_drawn.drawn || !(x >= st.bar_drawn.x0 && x <= st.bar_drawn.x1 && y >= st.bar_drawn.y0 && y <= st.bar_drawn.y1) ||
      !(st.bar_drawn.x1 > st.bar_drawn.x0))
    return -1;
  const float f = (x - st.bar_drawn.x0) / (st.bar_drawn.x1 - st.bar_drawn.x0) * static_cast<float>(st.bar_drawn.boxes);
  return static_cast<int>(std::clamp(f, 0.0F, static_cast<float>(st.bar_drawn.boxes - 1)));
}
}  // namespace

float CONT_get_bar_value(float x, float y) {
  const int i = bar_box(x, y);
  return i < 0 ? MISSING : st.bar_drawn.levels[static_cast<std::size_t>(i)];
}

void CONT_set_skip(int x, int y) {
  st.x_skip = std::max(1, x);
  st.y_skip = std::max(1, y);
}
void CONT_get_skip(int* x, int* y) {
  if (x != nullptr) *x = st.x_skip;
  if (y != nullptr) *y = st.y_skip;
}
void CONT_set_plot_offset(float x, float y) {
  st.x_off = x;
  st.y_off = y;
}
void CONT_get_plot_offset(float* x, float* y) {
  if (x != nullptr) *x = st.x_off;
  if (y != nullptr) *y = st.y_off;
}

int CONT_flash_value(const char* event, float x, float y) {
  if (event == nullptr || std::strcmp(event, "f-Alt") != 0 || !st.bar_drawn.drawn) return 0;
  const float px = xW_trans(gget_norm_tran(), 1, x), py = yW_trans(gget_norm_tran(), 1, y);
  const int i = bar_box(px, py);
  if (i < 0) return 0;
  const int entry = st.bar_drawn.colors[static_cast<std::size_t>(i)];
  if (entry < 0 || entry >= static_cast<int>(st.fill_attrib.size())) return 0;
  const int colour = st.fill_attrib[static_cast<std::size_t>(entry)].color;
  float rgb[3], back[3];
  if (colour < 0 || gget_color_rgb(colour, &rgb[0], &rgb[1], &rgb[2]) != 0) return 0;
  if (gget_color_rgb(-1, &back[0], &back[1], &back[2]) != 0) back[0] = back[1] = back[2] = 0.0F;
  for (int k = 0; k < 4; ++k) {
    gset_colr_rep(1, colour, back);
    ZAV_sleep(0.5F);
    gset_colr_rep(1, colour, rgb);
    ZAV_sleep(0.5F);
  }
  return 1;
}
