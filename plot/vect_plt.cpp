// Vectors and wind barbs of gridded and station winds, and the vector key.
#include "plot/vect_plt.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>
#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/prompt.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_ogr.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/maptran.h"

namespace {

constexpr double kDeg = 57.295779513082195;    // degrees per radian
constexpr double kRad = 0.017453292519943334;  // radians per degree

bool set(float f) { return f != MISSING; }

// The fields of a format, blanks inside them dropped.
std::vector<std::string> split(const char* text, char delimiter) {
  std::vector<std::string> out = split_fields(text, delimiter);
  for (std::string& field : out) std::erase_if(field, [](char c) { return c == ' ' || c == '\t'; });
  return out;
}

// Streamlines: the map position of every grid point, and how often each half-skip cell
// has been entered (the last counter takes every position off the grid).
struct StreamState {
  std::vector<float> X, Y;
  std::vector<int> count;
  float base = 1.0F;
};

// Per-plot settings (VECT_init resets them), the streamline scratch, and where barbs go.
struct VectState {
  int vect_type = MISSING_INT;
  bool type_explicit = false;
  float scale = 1.0F;
  float arrow_scale = 1.0F;
  int xskip = 1, yskip = 1;
  bool skip_set = false;
  float intrvl = MISSING, base = MISSING, min_cut = MISSING, max_cut = MISSING;
  bool uvgrid = false;
  float grid_max = MISSING;
  // The units of the grids drawn, for the key: winds are often drawn in knots.
  std::string grid_units = "m/s";
  int plt_vect = 0;
  float vect_size = 1.0F;
  AttribRec line_attr;
  std::string attr_format;
  // The labels below the map (lower left, centre, right) that the plot asks for.
  std::string frame_labels[3];
  // Speed colours: the contour fill colours, one band an interval wide from the base,
  // cycling round the list as the contour bands do.
  std::vector<int> speed_colors;
  StreamState stream;
  // Where the strokes and pennants of a barb go: the device, or the sink a station plot
  // registers to keep them off its numbers.
  WindSink barb_sink = nullptr;
};
VectState st;

void line(float x0, float y0, float x1, float y1) {
  const float p[4] = {x0, y0, x1, y1};
  gpolyline(2, p);
}

const char* foreground() { return gget_inverse() ? "black" : "white"; }

// The largest speed of the pair, counting points where one component is exactly 0 (a
// pure westerly has v = 0 everywhere).
float max_speed(const GridRec* u, const GridRec* v) {
  const std::size_t n = static_cast<std::size_t>(u->domain.nx) * static_cast<std::size_t>(u->domain.ny);
  float best = MISSING;
  for (std::size_t k = 0; k < n; ++k) {
    const float a = u->values[k], b = v->values[k];
    if (a == MISSING || b == MISSING) continue;
    const float s = std::sqrt(a * a + b * b);
    if (!set(best) || s > best) best = s;
  }
  return best;
}

bool valid_pair(const GridRec* u, const GridRec* v) {
  return u != nullptr && v != nullptr && u->values != nullptr && v->values != nullptr && u->domain.nx > 0 &&
         u->domain.ny > 0 && u->domain.nx == v->domain.nx && u->domain.ny == v->domain.ny;
}

// Map position of every grid point (rows top first), as the contour layer places them.
bool grid_positions(const GridRec* g, std::vector<float>* X, std::vector<float>* Y, float* spacing) {
  const int nx = g->domain.nx, ny = g->domain.ny;
  const std::size_t n = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
  DomainRec cur;
  MAP_get_domain(&cur);
  X->assign(n, 0.0F);
  Y->assign(n, 0.0F);
  *spacing = 1.0F;
  if (cur.proj == MISSING_INT) {
    for (int r = 0; r < ny; ++r)
      for (int i = 0; i < nx; ++i) {
        (*X)[static_cast<std::size_t>(r) * nx + i] = static_cast<float>(i);
        (*Y)[static_cast<std::size_t>(r) * nx + i] = static_cast<float>(ny - 1 - r);
      }
    return true;
  }
  if (DOM_comp(&g->domain, &cur) != 0) {
    for (int r = 0; r < ny; ++r)
      for (int i = 0; i < nx; ++i) {
        float x, y;
        MAP_grid_tran(&x, &y, static_cast<float>(i), static_cast<float>(r));
        (*X)[static_cast<std::size_t>(r) * nx + i] = x;
        (*Y)[static_cast<std::size_t>(r) * nx + i] = y;
      }
  } else {
    float* px = nullptr;
    float* py = nullptr;
    if (GRD_proj_XY(g, nullptr, &px, &py) != 0 || px == nullptr || py == nullptr) {
      std::free(px);
      std::free(py);
      MESS_print(MESS_ERROR, "VECT_draw: Unable to allocate grid arrays\n");
      return false;
    }
    std::copy(px, px + n, X->begin());
    std::copy(py, py + n, Y->begin());
    std::free(px);
    std::free(py);
  }
  if (nx > 1) {
    const float dx = (*X)[1] - (*X)[0], dy = (*Y)[1] - (*Y)[0];
    if (set((*X)[1]) && set((*X)[0])) *spacing = std::sqrt(dx * dx + dy * dy);
  } else if (ny > 1) {
    const float dx = (*X)[nx] - (*X)[0], dy = (*Y)[nx] - (*Y)[0];
    if (set((*X)[nx]) && set((*X)[0])) *spacing = std::sqrt(dx * dx + dy * dy);
  }
  return true;
}

// The speed colours from the contour fill colours (the user's list, the colour table's or
// the built-in one), read when the plot has an interval.
void load_speed_colors() {
  st.speed_colors.clear();
  if (!set(st.intrvl) || st.intrvl <= 0.0F) return;
  if (CONT_get_num_colors() <= 0) CONT_set_fill_colors(nullptr, 0);
  for (int k = 0; k < CONT_get_num_colors(); ++k) {
    AttribRec a;
    if (CONT_get_fill_attrib_ind(k, &a) >= 0) st.speed_colors.push_back(a.color);
  }
}

// Colour of a speed: its band above the base, round the colour list.
void speed_colour(float speed) {
  if (!set(st.intrvl) || st.intrvl <= 0.0F || st.speed_colors.empty()) return;
  const double n = static_cast<double>(st.speed_colors.size());
  const double k = std::floor((static_cast<double>(speed) - (set(st.base) ? st.base : 0.0F)) / st.intrvl + 0.01);
  if (!std::isfinite(k)) return;
  double e = std::fmod(k, n);
  if (e < 0.0) e += n;
  const int c = st.speed_colors[std::min(static_cast<std::size_t>(e), st.speed_colors.size() - 1)];
  if (c >= 0) gset_line_colr_ind(c), gset_fill_colr_ind(c);
}


// Map position of a fractional grid position (column, rows counted upwards).
bool stream_pos(int nx, int ny, float px, float py, float* x, float* y) {
  // Lines along an edge wander off it by rounding alone.
  constexpr float slack = 1e-3F;
  if (!(px >= -slack) || !(py >= -slack) || px > static_cast<float>(nx - 1) + slack ||
      py > static_cast<float>(ny - 1) + slack)
    return false;
  px = std::clamp(px, 0.0F, static_cast<float>(nx - 1));
  py = std::clamp(py, 0.0F, static_cast<float>(ny - 1));
  const int i = std::min(static_cast<int>(px), std::max(0, nx - 2)), j = std::min(static_cast<int>(py), std::max(0, ny - 2));
  const float fx = nx > 1 ? px - static_cast<float>(i) : 0.0F, fy = ny > 1 ? py - static_cast<float>(j) : 0.0F;
  auto at = [&](const std::vector<float>& A, int c, int r) {
    return A[static_cast<std::size_t>(ny - 1 - r) * nx + std::min(c, nx - 1)];
  };
  const int j1 = std::min(j + 1, ny - 1), i1 = std::min(i + 1, nx - 1);
  const float c[4][2] = {{at(st.stream.X, i, j), at(st.stream.Y, i, j)},
                         {at(st.stream.X, i1, j), at(st.stream.Y, i1, j)},
                         {at(st.stream.X, i, j1), at(st.stream.Y, i, j1)},
                         {at(st.stream.X, i1, j1), at(st.stream.Y, i1, j1)}};
  for (const auto& q : c)
    if (!set(q[0]) || !set(q[1])) return false;
  *x = (1 - fx) * (1 - fy) * c[0][0] + fx * (1 - fy) * c[1][0] + (1 - fx) * fy * c[2][0] + fx * fy * c[3][0];
  *y = (1 - fx) * (1 - fy) * c[0][1] + fx * (1 - fy) * c[1][1] + (1 - fx) * fy * c[2][1] + fx * fy * c[3][1];
  return true;
}

// The flow at a grid position along the grid's axes; false where it is missing.
bool stream_flow(const GridRec* u, const GridRec* v, float px, float py, float* fu, float* fv) {
  const int ny = u->domain.ny;
  px = std::clamp(px, 0.0F, static_cast<float>(u->domain.nx - 1));
  const float row = std::clamp(static_cast<float>(ny - 1) - py, 0.0F, static_cast<float>(ny - 1));
  float a = GRD_get_value(u, px, row), b = GRD_get_value(v, px, row);
  if (a == MISSING || b == MISSING) return false;
  if (!st.uvgrid) {
    // Earth-relative components: turned to the map's axes at the point.
    float x, y, dir, spd;
    if (stream_pos(u->domain.nx, ny, px, py, &x, &y) && vect2wind(a, b, &dir, &spd) == 0 && spd >= 0.01F) {
      const float turned = MAP_dir_adj(dir, x, y);
      if (turned != dir) wind2vect(turned, spd, &a, &b);
    }
  }
  *fu = a, *fv = b;
  return true;
}

}  // namespace

// ---- conversions ----

int vect2wind(float u, float v, float* direction, float* speed) {
  if (u == MISSING || v == MISSING) {
    *direction = *speed = MISSING;
    return -1;
  }
  const double s = std::sqrt(static_cast<double>(u) * u + static_cast<double>(v) * v);
  *speed = static_cast<float>(s);
  if (s < 0.01) {
    *direction = 0.0F;
    return 0;
  }
  double d = std::atan2(-static_cast<double>(u), -static_cast<double>(v)) * kDeg;
  if (d < 0.0) d += 360.0;
  *direction = static_cast<float>(d);
  return 0;
}

int wind2vect(float direction, float speed, float* u, float* v) {
  if (direction == MISSING || speed == MISSING) {
    *u = *v = MISSING;
    return -1;
  }
  const double d = direction * kRad;
  *u = static_cast<float>(-speed * std::sin(d));
  *v = static_cast<float>(-speed * std::cos(d));
  return 0;
}

// ---- single symbols ----

namespace {
void barb_line(int n, const float* p) {
  if (st.barb_sink != nullptr) st.barb_sink(0, n, p);
  else gpolyline(n, p);
}
void barb_fill(int n, const float* p) {
  if (st.barb_sink != nullptr) st.barb_sink(1, n, p);
  else gfill_area(n, p);
}
}  // namespace

void WIND_set_sink(WindSink sink) { st.barb_sink = sink; }

int WIND_vect(float x, float y, float direction, float speed, float scl, float head) {
  if (speed == 0.0F || speed == MISSING || direction == MISSING) return -1;
  const double d = direction * kRad;
  const float u = static_cast<float>(-speed * std::sin(d)), v = static_cast<float>(-speed * std::cos(d));
  const float tx = x + scl * u, ty = y + scl * v;
  line(x, y, tx, ty);
  if (head > 0.0F) {
    const float h = 0.2F * head * scl;
    line(tx, ty, tx - h * u + h * v, ty - h * v - h * u);
    line(tx, ty, tx - h * u - h * v, ty - h * v + h * u);
  }
  return 0;
}

int WIND_vect_map(float x, float y, float direction, float speed, float scl, float head) {
  if (direction == MISSING) return -1;
  return WIND_vect(x, y, MAP_dir_adj(direction, x, y), speed, scl, head);
}

int WIND_barb(float x, float y, float direction, float speed, float size, float offset) {
  if (direction == MISSING || speed == MISSING || speed <= 0.0F) return -1;
  speed = std::min(speed, 300.0F);
  gset_fill_int_style(1);
  const double d = direction * kRad;
  const float ax = static_cast<float>(std::sin(d)), ay = static_cast<float>(std::cos(d));  // along the shaft
  const float sx = ay, sy = -ax;                                                           // to the barb side
  auto at = [&](float along, float side, float* p) {
    p[0] = x + along * size * ax + side * size * sx;
    p[1] = y + along * size * ay + side * size * sy;
  };
  float p[8];
  at(offset / (size != 0.0F ? size : 1.0F), 0.0F, p);
  at(1.0F, 0.0F, p + 2);
  barb_line(2, p);
  const float s = speed + 0.01F;
  const int pennants = static_cast<int>(std::floor((s + 2.0F) / 50.0F));
  const float r = s + 2.0F - 50.0F * static_cast<float>(pennants);
  const int full = static_cast<int>(std::floor(r / 10.0F));
  const bool half = static_cast<int>(std::floor(r / 5.0F)) % 2 == 1;
  if (pennants == 0 && full == 0) {
    if (half) {
      at(0.88F, 0.0F, p);
      at(0.94F, 0.25F, p + 2);
      barb_line(2, p);
    }
    return 0;
  }
  for (int i = 0; i < pennants; ++i) {
    const float f = 0.12F * static_cast<float>(i);
    at(1.0F - f, 0.0F, p);
    at(1.0F - f, 0.5F, p + 2);
    at(0.88F - f, 0.0F, p + 4);
    at(1.0F - f, 0.0F, p + 6);
    barb_fill(3, p);
    barb_line(4, p);
  }
  int k = pennants > 0 ? pennants : -1;
  for (int j = 0; j < full; ++j, ++k) {
    const float f = 0.12F * static_cast<float>(k);
    at(0.88F - f, 0.0F, p);
    at(1.0F - f, 0.5F, p + 2);
    barb_line(2, p);
  }
  if (half) {
    const float f = 0.12F * static_cast<float>(k);
    at(0.88F - f, 0.0F, p);
    at(0.94F - f, 0.25F, p + 2);
    barb_line(2, p);
  }
  return 0;
}

int WIND_barb_map(float x, float y, float direction, float speed, float size, float offset) {
  if (direction == MISSING) return -1;
  return WIND_barb(x, y, MAP_dir_adj(direction, x, y), speed, size, offset);
}

int WIND_track(int ticks, float x, float y, float direction, float length, float width) {
  if (direction == MISSING || length == MISSING) return -1;
  const double d = direction * kRad;
  // Along the flow: towards where the air goes.
  const float ax = static_cast<float>(-std::sin(d)), ay = static_cast<float>(-std::cos(d));
  line(x, y, x + length * ax, y + length * ay);
  const float w = 0.2F * width;
  for (int i = 1; i <= ticks; ++i) {
    const float t = length * static_cast<float>(i) / static_cast<float>(ticks + 1);
    const float cx = x + t * ax, cy = y + t * ay;
    line(cx - w * ay, cy + w * ax, cx + w * ay, cy - w * ax);
  }
  return 0;
}

// ---- settings ----

void VECT_reset_state() { st = VectState{}; }

void VECT_init() {
  if (!st.type_explicit) st.vect_type = MISSING_INT;
  st.intrvl = st.base = st.min_cut = st.max_cut = MISSING;
  st.scale = 1.0F;
  st.arrow_scale = 1.0F;
  st.xskip = st.yskip = 1;
  st.skip_set = false;
  st.uvgrid = false;
  st.grid_max = MISSING;
  st.grid_units = "m/s";
  st.plt_vect = 0;
  st.vect_size = 1.0F;
  st.attr_format.clear();
  for (auto& l : st.frame_labels) l.clear();
  st.speed_colors.clear();
}

void VECT_set_type(int type) {
  st.vect_type = type;
  st.type_explicit = type != MISSING_INT;
}

int VECT_get_type() { return st.vect_type; }
void VECT_set_scale(float s) { st.scale = s > 0.0F ? s : 1.0F; }
void VECT_set_skip(int x, int y) { st.xskip = std::max(1, x), st.yskip = std::max(1, y), st.skip_set = true; }
void VECT_set_cuts(float minimum, float maximum) { st.min_cut = minimum, st.max_cut = maximum; }
void VECT_set_uvgrid(int on) { st.uvgrid = on != 0; }

void VECT_format_decode_type(const char* format) {
  if (format == nullptr) return;
  for (const std::string& item : split(format, ':')) {
    const char* f = item.c_str();
    float val;
    int n;
    if (item == "vect") st.vect_type = PLOT_VECT;
    else if (item == "stream" || item == "strm") st.vect_type = PLOT_STRM;
    else if (item == "barb") st.vect_type = PLOT_BARB;
    else if (item == "vbar") st.plt_vect = 1;
    else if (item == "nolr") FLAG_setplot(DRAW_TEXT_LR, 0);
    else if (starts_with_ci(f, "sk=") && parse_int(f + 3, &n)) VECT_set_skip(n, n);
    else if (starts_with_ci(f, "sc=") && parse_float(f + 3, &val)) st.scale = val > 0.0F ? val : 1.0F;
    else if (starts_with_ci(f, "ss=") && parse_float(f + 3, &val)) st.arrow_scale = val > 0.0F ? val : 1.0F;
    else if (starts_with_ci(f, "in=") && parse_float(f + 3, &val)) st.intrvl = val;
    else if (starts_with_ci(f, "cb=") && parse_float(f + 3, &val)) st.base = val;
    else if (starts_with_ci(f, "mn=") && parse_float(f + 3, &val)) st.min_cut = val;
    else if (starts_with_ci(f, "mx=") && parse_float(f + 3, &val)) st.max_cut = val;
  }
}

void VECT_format_decode_attrib(const char* format) {
  if (format == nullptr) return;
  for (const std::string& item : split(format, ':')) {
    const char* f = item.c_str();
    float val;
    int n;
    if (starts_with_ci(f, "co=")) {
      const int c = CLR_get_ind(f + 3);
      if (c >= 0) st.line_attr.color = c;
    } else if (starts_with_ci(f, "wi=") && parse_float(f + 3, &val)) {
      st.line_attr.width = val;
    } else if (starts_with_ci(f, "st=") && parse_int(f + 3, &n)) {
      st.line_attr.style = n;
    }
  }
}

void VECT_param_decode(const char* param) {
  if (param == nullptr) return;
  for (const std::string& item : split(param, ',')) {
    const char* f = item.c_str();
    if (item == "vect" || item == "vbar") {
      st.plt_vect = 1;
    } else if (item == "uvgrid") {
      st.uvgrid = true;
    } else if (item == "uvew") {
      st.uvgrid = false;
    } else if (starts_with_ci(f, "strm_sc")) {
      float val = 0.0F;
      st.arrow_scale = item.size() > 8 && parse_float(f + 8, &val) && val > 0.0F ? val : 1.0F;
    } else if (starts_with_ci(f, "wv_skip")) {
      int a = 0, b = 0;
      const int got = std::sscanf(f + 7, "%d:%d", &a, &b);
      if (got == 1) VECT_set_skip(a, a);
      else if (got == 2) VECT_set_skip(a, b);
    } else if (item == "bar") {
      CONT_set_bar(3);
    } else if (item == "nobar") {
      CONT_set_bar(-2);
    }
  }
}

void VECT_set_format(int type, const char* format) {
  VECT_init();
  if (!st.type_explicit && type >= PLOT_VECT && type <= PLOT_STRM) st.vect_type = type;
  if (format != nullptr) st.attr_format = format;
  VECT_format_decode_type(format);
}

int VECT_prompt_type() {
  if (st.vect_type == MISSING_INT || st.vect_type == PLOT_CONT || st.vect_type == PLOT_WIND) {
    const int opt = FLAG_get(FLAG_PLOT_TYPE);
    if (opt >= PLOT_VECT && opt <= PLOT_STRM) st.vect_type = opt;
    else if (opt == PLOT_NONE) st.vect_type = PLOT_NONE;
    else if (FLAG_batch()) st.vect_type = PLOT_VECT;
  }
  if (st.vect_type == PLOT_NONE || (st.vect_type >= PLOT_VECT && st.vect_type <= PLOT_STRM)) return st.vect_type;
  char answer[81];
  if (ZAV_prompts("Vectors (V) or Streamlines (S): ", answer, 80) == nullptr) return st.vect_type = PLOT_VECT;
  const std::string a = answer;
  if (a == "none") st.vect_type = PLOT_NONE;
  else if (a == "vect") st.vect_type = PLOT_VECT;
  else if (a == "barb") st.vect_type = PLOT_BARB;
  else if (a == "stream" || a == "strm") st.vect_type = PLOT_STRM;
  else if (!a.empty() && std::strchr("SsYy", a[0]) != nullptr) st.vect_type = PLOT_STRM;
  else if (!a.empty() && (a[0] == 'B' || a[0] == 'b')) st.vect_type = PLOT_BARB;
  else st.vect_type = PLOT_VECT;
  return st.vect_type;
}

int VECT_plot_setup(int, int, GridRec* u, GridRec* v, const DomainRec*, VectCallback) {
  if (FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) {
    st.vect_type = PLOT_NONE;
    return -1;
  }
  const std::string keep = st.attr_format;
  VECT_format_decode_type(RES_get("plot_format"));
  VECT_param_decode(RES_get("plot_param"));
  // A minimum speed is a cut only: the base of the speed colours stays.
  CONT_read_base(&st.base, &st.min_cut, &st.max_cut, false);
  CONT_read_scale(&st.scale);
  const char* skip = RES_get("wv_skip");
  if (skip != nullptr) VECT_param_decode((std::string("wv_skip") + skip).c_str());
  if (VECT_prompt_type() == PLOT_NONE) return -1;
  // A barb is a grid length long: on every point the barbs of neighbours would cross.
  if (st.vect_type == PLOT_BARB && !st.skip_set) st.xskip = st.yskip = 2;
  if (!valid_pair(u, v)) return -1;
  st.grid_max = max_speed(u, v);
  if (u->units[0] != '\0') st.grid_units.assign(u->units, strnlen(u->units, sizeof u->units));
  load_speed_colors();
  char num[40];
  for (auto& l : st.frame_labels) l.clear();
  if (set(st.grid_max)) st.frame_labels[2] = std::string("MAX: ") + set_num(num, "5.3.1", st.grid_max) + " " + st.grid_units;
  if (set(st.intrvl) && st.intrvl > 0.0F)
    st.frame_labels[0] = std::string("INTERVAL: ") + set_num(num, "5.1.1", st.intrvl) + " " + st.grid_units;
  MESS_print(MESS_MESS, "Plotting wind vectors\n\n");
  return 0;
}

namespace {

// Seeds on the skip lattice in four sweeps, each starting from the corner the flow comes
// from, so that lines grow downstream into empty cells.
int draw_streamlines(const GridRec* u, const GridRec* v, std::vector<float> X, std::vector<float> Y) {
  const int nx = u->domain.nx, ny = u->domain.ny;
  st.stream.X = std::move(X);
  st.stream.Y = std::move(Y);
  st.stream.count.assign(static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny) * 4 + 1, 0);
  st.stream.base = set(st.base) && st.base > 0.0F ? st.base : 1.0F;
  const int steps = static_cast<int>(4.0F * static_cast<float>(nx) * st.scale);
  int drawn = 0;
  for (int sweep = 0; sweep < 4; ++sweep) {
    const bool east = sweep < 2, north = sweep % 2 == 0;
    for (int ci = 0; ci < nx; ++ci) {
      const int i = east ? ci : nx - 1 - ci;
      if (i % st.xskip != 0) continue;
      for (int cr = 0; cr < ny; ++cr) {
        // Rows counted upwards: "ascending" runs from the bottom of the map.
        const int up = north ? cr : ny - 1 - cr;
        const int r = ny - 1 - up;
        if (r % st.yskip != 0) continue;
        float fu, fv;
        if (!stream_flow(u, v, static_cast<float>(i), static_cast<float>(up), &fu, &fv)) continue;
        // A component of exactly 0 goes with the sweep of its positive side.
        if ((fu >= 0.0F) != east || (fv >= 0.0F) != north) continue;
        drawn += VECT_stream(u, v, i, r, steps);
      }
    }
  }
  return drawn;
}

}  // namespace

int VECT_draw(const GridRec* u, const GridRec* v) {
  if (FLAG_getplot(DRAW_DATA) == 0 || st.vect_type == PLOT_NONE) return -1;
  if (u == nullptr || v == nullptr) {
    MESS_print(MESS_ERROR, "VECT_draw: Invalid grids\n");
    return -1;
  }
  if (!valid_pair(u, v)) {
    MESS_print(MESS_ERROR, "VECT_draw: Invalid grid arrays\n");
    return -1;
  }
  if (!set(st.grid_max)) st.grid_max = max_speed(u, v);
  if (!set(st.grid_max) || st.grid_max <= 0.0F) return -1;
  const int nx = u->domain.nx, ny = u->domain.ny;
  std::vector<float> X, Y;
  float spacing = 1.0F;
  if (!grid_positions(u, &X, &Y, &spacing)) return -1;
  st.vect_size = set(st.base) && st.base > 0.0F ? st.grid_max / st.base * st.scale : st.scale;
  st.vect_size *= spacing;
  ATTRIB_init(&st.line_attr);
  st.line_attr.color = CLR_get_ind(foreground());
  if (st.line_attr.color < 0) st.line_attr.color = MISSING_INT;
  ATTRIB_get("color_cont", "", &st.line_attr);
  VECT_format_decode_attrib(st.attr_format.c_str());
  AttribRec a = st.line_attr;
  GPH_line_attr(&a);
  if (set(st.line_attr.color)) gset_fill_colr_ind(st.line_attr.color);
  if (st.vect_type == PLOT_STRM) return draw_streamlines(u, v, std::move(X), std::move(Y)) > 0 ? 0 : -1;
  const int type = st.vect_type == PLOT_BARB ? PLOT_BARB : PLOT_VECT;
  int drawn = 0;
  for (int r = 0; r < ny; r += st.yskip)
    for (int i = 0; i < nx; i += st.xskip) {
      const std::size_t k = static_cast<std::size_t>(r) * nx + i;
      const float uu = u->values[k], vv = v->values[k];
      if (uu == MISSING || vv == MISSING) continue;
      const float x = X[k], y = Y[k];
      if (!set(x) || !set(y)) continue;
      float dir, spd;
      vect2wind(uu, vv, &dir, &spd);
      if (st.uvgrid) {
        // Components along the grid's axes: the true direction first, then the map's.
        dir = MAP_undir_adj(dir, x, y);
      }
      if ((set(st.min_cut) && spd <= st.min_cut) || (set(st.max_cut) && spd >= st.max_cut)) continue;
      if (set(st.intrvl)) speed_colour(spd);
      const float true_dir = dir;
      dir = MAP_dir_adj(dir, x, y);
      const int res = type == PLOT_BARB ? WIND_barb(x, y, dir, spd, st.vect_size, 0.0F)
                                        : WIND_vect(x, y, dir, spd / st.grid_max, st.vect_size, 1.0F);
      if (res == 0) {
        ++drawn;
        gfeature_point(GFEAT_WIND, x, y, spd, true_dir, type == PLOT_BARB ? "barb" : "vector");
      }
    }
  return drawn > 0 ? 0 : -1;
}

int VECT_stream(const GridRec* u, const GridRec* v, int column, int row, int steps) {
  if (!valid_pair(u, v)) return 0;
  const int nx = u->domain.nx, ny = u->domain.ny;
  const std::size_t cells = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny) * 4 + 1;
  if (st.stream.count.size() != cells) st.stream.count.assign(cells, 0);
  if (st.stream.X.size() != static_cast<std::size_t>(nx) * ny) {
    float spacing;
    if (!grid_positions(u, &st.stream.X, &st.stream.Y, &spacing)) return 0;
  }
  const int every = std::max(1, static_cast<int>(10.0F * st.arrow_scale));
  const float head = 4.0F * st.arrow_scale;
  float px = static_cast<float>(column), py = static_cast<float>(ny - 1 - row);
  float fu = 0.0F, fv = 0.0F;
  bool have = stream_flow(u, v, px, py, &fu, &fv);
  long cell_prev = -1;
  int stay = 0, drawn = 0;
  float prev_dir = MISSING, prev_map_dir = 0.0F, prev_x = 0.0F, prev_y = 0.0F, prev_len = 0.0F;
  int k = 0;
  for (; k < steps; ++k) {
    long cell = static_cast<long>(2 * nx) * static_cast<long>(2.0F * py / static_cast<float>(st.yskip) + 0.0001F) +
                static_cast<long>(2.0F * px / static_cast<float>(st.xskip) + 0.0001F);
    if (cell < 0 || cell >= static_cast<long>(cells) - 1) cell = static_cast<long>(cells) - 1;
    if (cell != cell_prev) {
      ++st.stream.count[static_cast<std::size_t>(cell)];
      cell_prev = cell;
      stay = 0;
    } else {
      ++stay;
    }
    if (stay > 6 * st.xskip) break;
    if (st.stream.count[static_cast<std::size_t>(cell)] > st.stream.base && (k == 0 || k > 5)) break;
    if (!have) break;
    const float spd = std::sqrt(fu * fu + fv * fv);
    if (spd < 0.001F) break;
    float dir = spd < 0.01F ? 0.0F : static_cast<float>(std::atan2(-fu, -fv) * kDeg);
    if (dir < 0.0F) dir += 360.0F;
    if (k > 0 && set(prev_dir)) {
      const float turn = std::fabs(dir - prev_dir);
      if (turn > 120.0F && turn < 240.0F) break;
    }
    const float nxp = px + fu / (4.0F * spd), nyp = py + fv / (4.0F * spd);
    float x0, y0, x1, y1;
    if (!stream_pos(nx, ny, px, py, &x0, &y0) || !stream_pos(nx, ny, nxp, nyp, &x1, &y1)) break;
    const float dx = x1 - x0, dy = y1 - y0, len = std::sqrt(dx * dx + dy * dy);
    float mdir = static_cast<float>(std::atan2(-dx, -dy) * kDeg);
    if (mdir < 0.0F) mdir += 360.0F;
    const bool cut = (set(st.min_cut) && spd <= st.min_cut) || (set(st.max_cut) && spd >= st.max_cut);
    if (!cut && len > 0.0F) {
      if (set(st.intrvl)) speed_colour(spd);
      WIND_vect(x0, y0, mdir, 1.0F, len, k % every == every - 1 ? head : 0.0F);
      ++drawn;
    }
    prev_dir = dir, prev_map_dir = mdir, prev_x = x0, prev_y = y0, prev_len = len;
    px = nxp, py = nyp;
    have = stream_flow(u, v, px, py, &fu, &fv);
  }
  // A line that stopped short ends in a head on its last segment.
  if (k > 0 && k < steps && drawn > 0 && prev_len > 0.0F) WIND_vect(prev_x, prev_y, prev_map_dir, 1.0F, prev_len, head);
  return drawn;
}

const char* VECT_get_frame_label(int position) {
  return position >= 3 && position < 6 ? st.frame_labels[position - 3].c_str() : "";
}

const char* VECT_get_units() { return st.grid_units.c_str(); }

int VECT_get_vect() { return st.plt_vect > 0 && st.vect_type == PLOT_VECT && set(st.grid_max) ? 1 : 0; }

int VECT_draw_vect() {
  if (VECT_get_vect() < 1) return -1;
  float win[4], view[4];
  if (GPH_get_win(2, win) != 0 || GPH_get_view(2, view) != 0 || win[1] == win[0]) return -1;
  const float len = st.vect_size * (view[1] - view[0]) / (win[1] - win[0]);
  const float h = 0.015F * (view[3] - view[2]);
  const float x1 = view[1] - 0.01F, y = view[3] - 1.5F * h;
  AttribRec a = st.line_attr;
  GPH_line_attr(&a);
  WIND_vect(x1 - len, y, 270.0F, 1.0F, len, 1.0F);
  char num[40];
  set_num(num, "5.3.1", st.grid_max);
  GPH_text_attr(&a, h);
  GPH_text_align(3, 3);
  const float p[2] = {x1 - len - 0.01F, y};
  GPH_pprintf(p, "MAX VECTOR: %s %s", num, st.grid_units.c_str());
  return 0;
}
