// Grid records: derivative operators against analytic fields, life cycle, slots and grid
// factor, derived variables through the slot table, and grid operations run from
// tests/data/analysis/grid_ops.txt: each block makes grids, runs lookups, edits,
// derivatives, unit changes, point functions and point coordinates on them and checks what
// comes back (the file's head says how it is written).
#include "analysis/grd_tool.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "plot/maptran.h"
#include "surface/unittool.h"
#include "surface/var_tool.h"
#include "tests/support/table.h"

namespace {

constexpr float kMiss = -9999.0f;
using Floats = std::vector<float>;

DomainRec make_domain(int proj, float clat, float clon, int nx, int ny, float d) {
  return {proj, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, clat, clon, d, d, nx, ny, 0};
}

// A record on a domain that owns its values, if it has any, for the test's lifetime.
struct Grid {
  GridRec g;
  explicit Grid(const DomainRec& d, bool with_values = true) {
    GRD_init(&g);
    g.domain = d;
    if (with_values) {
      EXPECT_EQ(GRD_alloc(&g), 1);
    }
  }
  Grid(const DomainRec& d, const Floats& values) : Grid(d, true) { std::copy(values.begin(), values.end(), g.values); }
  ~Grid() { GRD_free(&g); }
  Grid(const Grid&) = delete;
  Grid& operator=(const Grid&) = delete;
  float& at(int i, int j) { return g.values[j * g.domain.nx + i]; }
};

constexpr double kRad = 0.017453292519943295;
constexpr double kA = 63.7122;  // earth radius, 100 km
using Vec = std::array<double, 3>;

// Derivative operators against analytic fields on latitude-longitude, polar stereographic
// and Lambert grids: exactness on linear fields, rigid rotation and radial outflow on the
// sphere, second-order convergence.
Vec unit(double lat, double lon) {
  return {std::cos(lat * kRad) * std::cos(lon * kRad), std::cos(lat * kRad) * std::sin(lon * kRad),
          std::sin(lat * kRad)};
}
double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Where every grid point lies, found through the map transforms alone: latitude,
// longitude, the map scale measured along the meridian, and the angle of north on the map.
struct Point {
  double lat, lon, scale, north;
};

std::vector<Point> grid_points(const DomainRec& d) {
  std::vector<Point> pts;
  MAP_domain(&d);
  float xc = 0, yc = 0;
  MAP_tran(&xc, &yc, d.clat, d.clon);
  for (int j = 0; j < d.ny; ++j) {
    for (int i = 0; i < d.nx; ++i) {
      const float x = xc + (i - (d.nx - 1) / 2) * d.dx, y = yc + ((d.ny - 1) / 2 - j) * d.dy;
      float lat = 0, lon = 0;
      MAP_untran(&lat, &lon, x, y);
      if (d.proj == PROJ_LL) {
        pts.push_back({lat, lon, 1.0, 0.0});
        continue;
      }
      float x1, y1, x2, y2;
      MAP_tran(&x1, &y1, lat - 0.5f, lon);
      MAP_tran(&x2, &y2, lat + 0.5f, lon);
      const double len = std::hypot(x2 - x1, y2 - y1);
      pts.push_back({lat, lon, len / (kA * 1.0 * kRad), std::atan2(x2 - x1, y2 - y1)});
    }
  }
  return pts;
}

// Fills u, v with the grid-relative components of the velocity field vel (earth-centred
// vector at a unit position vector).
void fill_wind(Grid& u, Grid& v, const std::vector<Point>& pts, const std::function<Vec(const Vec&)>& vel) {
  for (std::size_t k = 0; k < pts.size(); ++k) {
    const Point& p = pts[k];
    const Vec r = unit(p.lat, p.lon), V = vel(r);
    const Vec east = {-std::sin(p.lon * kRad), std::cos(p.lon * kRad), 0.0};
    const Vec north = cross(r, east);
    const double ue = dot(V, east), vn = dot(V, north);
    u.g.values[k] = static_cast<float>(ue * std::cos(p.north) + vn * std::sin(p.north));
    v.g.values[k] = static_cast<float>(-ue * std::sin(p.north) + vn * std::cos(p.north));
  }
}

struct DomainCase {
  const char* name;
  DomainRec coarse;  // refined twice by halving the spacing
};

const DomainCase kDomains[] = {
    {"latlon", {PROJ_LL, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, 40, -100, 4.0f, 4.0f, 11, 11, 0}},
    {"pstereo", {PROJ_PS, 90, -105, 60, kMiss, kMiss, kMiss, kMiss, 45, -100, 4.8f, 4.8f, 11, 11, 0}},
    {"lamb", {PROJ_LAMB, 40, -100, 30, 60, kMiss, kMiss, kMiss, 40, -95, 4.8f, 4.8f, 11, 11, 0}},
};

DomainRec refined(const DomainRec& d, int level) {
  DomainRec r = d;
  for (int l = 0; l < level; ++l) {
    r.nx = 2 * (r.nx - 1) + 1;
    r.ny = r.nx;
    r.dx /= 2;
    r.dy /= 2;
  }
  return r;
}

class Operators : public testing::TestWithParam<DomainCase> {
 protected:
  void TearDown() override { MAP_domain(nullptr); }
};

TEST_P(Operators, LinearFieldDerivativesAreExactToTheEdges) {
  const DomainRec d = GetParam().coarse;
  const auto pts = grid_points(d);
  Grid f(d), fx(d), fy(d);
  for (int j = 0; j < d.ny; ++j)
    for (int i = 0; i < d.nx; ++i) f.at(i, j) = 3.0f * i + 2.0f * (d.ny - 1 - j);
  ASSERT_EQ(GRD_dx(&f.g, &fx.g), 0);
  ASSERT_EQ(GRD_dy(&f.g, &fy.g), 0);
  const bool ll = d.proj == PROJ_LL;
  for (std::size_t k = 0; k < pts.size(); ++k) {
    // Plane spacing in 100 km over the true length of a plane unit.
    const double hx = ll ? d.dx * 1.11195 * std::cos(pts[k].lat * kRad) : d.dx / pts[k].scale;
    const double hy = ll ? d.dy * 1.11195 : d.dy / pts[k].scale;
    ASSERT_NEAR(fx.g.values[k], 3.0 / hx, 2e-4 * 3.0 / hx) << k;
    ASSERT_NEAR(fy.g.values[k], 2.0 / hy, 2e-4 * 2.0 / hy) << k;
  }
}

// Rigid rotation about the vertical at the grid's centre and outflow from it, on the
// sphere: vorticity 2w cos(theta) and divergence 2c cos(theta), theta the angular distance
// from the centre; each has none of the other. The worst error on the coarse grid's inner
// points must fall fourfold with each halving of the spacing.
TEST_P(Operators, RotationAndOutflowConvergeAtSecondOrder) {
  const double w = 1.5, c = 0.8;  // 1e-5 /s
  double err[3][4];
  for (int level = 0; level < 3; ++level) {
    const DomainRec d = refined(GetParam().coarse, level);
    const auto pts = grid_points(d);
    const Vec axis = unit(d.clat, d.clon);
    Grid u(d), v(d), out(d), u2(d), v2(d);
    fill_wind(u, v, pts, [&](const Vec& r) {
      const Vec x = cross(axis, r);
      return Vec{w * kA * x[0], w * kA * x[1], w * kA * x[2]};
    });
    fill_wind(u2, v2, pts, [&](const Vec& r) {
      const double a = dot(axis, r);
      return Vec{-c * kA * (axis[0] - a * r[0]), -c * kA * (axis[1] - a * r[1]), -c * kA * (axis[2] - a * r[2])};
    });
    for (double& e : err[level]) e = 0.0;
    const int step = 1 << level;
    const int n0 = GetParam().coarse.nx;
    auto track = [&](int slot, double expected) {
      for (int j = 1; j < n0 - 1; ++j) {
        for (int i = 1; i < n0 - 1; ++i) {
          const int k = j * step * d.nx + i * step;
          const Vec r = unit(pts[k].lat, pts[k].lon);
          const double e = std::fabs(out.g.values[k] - expected * dot(axis, r));
          err[level][slot] = std::max(err[level][slot], e);
        }
      }
    };
    ASSERT_EQ(GRD_vorticity(&u.g, &v.g, &out.g), 0);
    if (level == 2) {
      EXPECT_NEAR(out.at(d.nx / 2, d.ny / 2), 2 * w, 1e-3) << "vorticity at the centre";
    }
    track(0, 2 * w);
    ASSERT_EQ(GRD_converge(&u.g, &v.g, &out.g, nullptr), 0);
    track(1, 0.0);
    ASSERT_EQ(GRD_converge(&u2.g, &v2.g, &out.g, nullptr), 0);
    if (level == 2) {
      EXPECT_NEAR(-out.at(d.nx / 2, d.ny / 2), 2 * c, 1e-3) << "divergence at the centre";
    }
    track(2, -2 * c);
    ASSERT_EQ(GRD_vorticity(&u2.g, &v2.g, &out.g), 0);
    track(3, 0.0);
  }
  static const char* const what[] = {"rotation vorticity", "rotation divergence", "outflow divergence",
                                     "outflow vorticity"};
  for (int s = 0; s < 4; ++s) {
    std::printf("%-8s %-20s max error %.3g %.3g %.3g  ratios %.2f %.2f\n", GetParam().name, what[s], err[0][s],
                err[1][s], err[2][s], err[0][s] / err[1][s], err[1][s] / err[2][s]);
    // Errors are a fraction of a percent of 2w = 3 even at 480 km.
    EXPECT_LT(err[0][s], 1.2e-2) << what[s];
    EXPECT_LT(err[2][s], 8e-4) << what[s];
    // Within a few times the float noise of the positions (some 5e-5) a ratio means nothing.
    if (err[1][s] > 1.5e-4) {
      EXPECT_GT(err[0][s] / err[1][s], 3.5) << what[s];
    }
    if (err[2][s] > 1.5e-4) {
      EXPECT_GT(err[1][s] / err[2][s], 3.5) << what[s];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Domains, Operators, testing::ValuesIn(kDomains),
                         [](const testing::TestParamInfo<DomainCase>& p) { return std::string(p.param.name); });


TEST(GridLifeCycle, CopyInfoMoveAndFree) {
  const DomainRec dom = make_domain(4, 35, -95, 4, 3, 2.5f);
  Grid src(dom, Floats(12, 1.5f));
  src.g.source = 1;
  std::strcpy(src.g.units, "F");
  GridRec dst;
  GRD_init(&dst);
  std::strcpy(dst.datatype, "mine");
  GRD_copy_info(&dst, &src.g);
  EXPECT_TRUE(dst.values == nullptr && dst.source == 1 && DOM_comp(&dst.domain, &dom) == 1);
  EXPECT_EQ(std::string(dst.units) + "|" + dst.datatype, "F|mine");  // the description is left as it was
  GRD_move(&dst, &src.g);
  ASSERT_TRUE(src.g.values == nullptr && dst.values != nullptr);
  EXPECT_EQ(dst.values[11], 1.5f);
  GRD_free(&dst);
  EXPECT_EQ(std::vector<long>({dst.values != nullptr, dst.source, dst.domain.nx}), std::vector<long>({0, 0, -9999}));
}

TEST(GridSlots, TableHeaderAndGridFactor) {
  GridRec* table = GRD_get_grids();
  EXPECT_TRUE(table + 59 == GRD_get_grid(59) && table[7].var == -9999);
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_get_grid(60), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_get_grid: Invalid grid slot: 60\n");

  const DomainRec dom = make_domain(1, 45, -100, 25, 17, 1.2f);
  table[3].source = table[3].version = 1;
  for (int f : {2, 0, -4}) GRD_set_grid_factor(f);  // below 1 is ignored
  EXPECT_EQ(GRD_get_grid_factor(), 2);
  GRD_set_grid_domain(3, &dom);
  GRD_set_grid_factor(1);
  const DomainRec& d3 = table[3].domain;
  EXPECT_EQ(Floats({1.0f * table[3].source, 1.0f * table[3].version, 1.0f * d3.nx, 1.0f * d3.ny, d3.dx, d3.dy}),
            Floats({0, 0, 49, 33, 0.6f, 0.6f}));
  GRD_set_grid_domain(3, &dom);
  EXPECT_EQ(d3.nx, 25);

  GRD_set_grid_info(3, "A very long description that does not fit into the seventy byte data type field");
  EXPECT_EQ(std::strlen(GRD_get_grid_info(3)), 69u);

  const DateRec date{2026, 12, 5, 339, 6, 18, 0, 0};
  GridInfo info;
  std::memset(&info, 0x55, sizeof info);
  GRD_set_info(&info, &date, &dom);
  char label[DATE_LABEL_LEN];
  DATE_make_label(&date, label);
  EXPECT_EQ(std::string(info.label), std::string(label).substr(0, 39));
  EXPECT_EQ(std::vector<int>({info.nx, info.ny, info.grid_type, info.date.day}), std::vector<int>({25, 17, 0, 5}));
}

TEST(GridCalc, ArgumentWalk) {
  ASSERT_EQ(VAR_setup(nullptr, "mul(temp,#2.5)"), 1);
  GridRec* list[8];
  Floats consts(8, kMiss);
  EXPECT_EQ(GRD_find_param_grids(1, -1, 1, list, consts.data()), 3);  // the end of the list
  EXPECT_EQ(std::vector<GridRec*>(list, list + 3), std::vector<GridRec*>({GRD_get_grid(1), nullptr, nullptr}));
  EXPECT_EQ(Floats(consts.begin() + 1, consts.begin() + 3), Floats({2.5f, kMiss}));
  EXPECT_EQ(GRD_find_param_grids(1, 1, 1, list, consts.data()), 1);  // with a count: the last one taken
  EXPECT_EQ(list[1], nullptr);

  // Vector components take the vector's number; the walk ends at the next top-level item.
  ASSERT_EQ(VAR_setup(nullptr, "wnd<u,v>,temp"), 1);
  GRD_get_grid(0)->var = 77;
  GRD_get_grid(2)->var = 2;
  EXPECT_EQ(GRD_find_param_grids(0, 2, 0, list, nullptr), 2);
  EXPECT_EQ(std::vector<GridRec*>(list, list + 3), std::vector<GridRec*>({GRD_get_grid(1), GRD_get_grid(2), nullptr}));
  EXPECT_EQ(std::vector<int>({GRD_get_grid(1)->var, GRD_get_grid(2)->var}), std::vector<int>({77, 2}));
  EXPECT_EQ(GRD_find_param_grids(1, -1, 0, list, nullptr), 4);
}

// A derived variable is computed from its argument slots; without argument values its
// slot stays empty.
TEST(GridCalc, DerivedVariableFromArgumentSlots) {
  ASSERT_EQ(VAR_setup(nullptr, "add(temp,dewp)"), 1);
  const DomainRec dom = make_domain(1, 45, -100, 3, 3, 2);
  const std::pair<bool, const char*> cases[] = {{true, ""}, {false, "GRD_math: Invalid grids\n"}};
  for (const auto& [with_values, message] : cases) {
    for (int s = 0; s < 3; ++s) {
      GRD_free(GRD_get_grid(s));
      GRD_set_grid_domain(s, &dom);
      GRD_set_var(s);
      GRD_get_grid(s)->source = s > 0 ? 1 : 0;
      if (s > 0 && with_values) {
        ASSERT_EQ(GRD_alloc_grid(s), 1);
        for (int k = 0; k < 9; ++k) GRD_get_grid(s)->values[k] = static_cast<float>(s * 10 + k);
      }
    }
    if (with_values) GRD_get_grid(2)->values[4] = kMiss;
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_calc_var(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
    const GridRec* out = GRD_get_grid(0);
    EXPECT_EQ(std::vector<long>({out->values != nullptr, out->source, GRD_get_grid(1)->values != nullptr}),
              std::vector<long>({with_values, with_values, with_values}));
    if (with_values) {
      EXPECT_EQ(Floats(out->values, out->values + 5), Floats({30, 32, 34, 36, kMiss}));
    }
  }
  for (int s = 0; s < 3; ++s) GRD_free(GRD_get_grid(s));
}

float number(const std::string& w) { return w == "M" ? kMiss : std::strtof(w.c_str(), nullptr); }

// Each expected number within tol of what was got ('.' skips one); names the position.
void expect_numbers(const std::vector<float>& got, std::istringstream& words) {
  float tol = 0;
  words >> tol;
  std::size_t k = 0;
  for (std::string w; words >> w; ++k) {
    ASSERT_LT(k, got.size()) << "more values expected than there are";
    if (w == ".") continue;
    if (number(w) == kMiss || got[k] == kMiss) {
      EXPECT_EQ(got[k], number(w)) << "at " << k;
    } else {
      EXPECT_NEAR(got[k], number(w), tol) << "at " << k;
    }
  }
}

class Script {
 public:
  void run(const std::string& line);
  void clear() { grids_.clear(); }

 private:
  // A grid made with values on the current domain on first use.
  GridRec& grid(const std::string& name) {
    auto& slot = grids_[name];
    if (!slot) slot = std::make_unique<Grid>(dom_, true);
    return slot->g;
  }
  // A grid for results, made again when the domain has changed size since.
  GridRec& output(const std::string& name) {
    auto& slot = grids_[name];
    if (slot && (slot->g.domain.nx != dom_.nx || slot->g.domain.ny != dom_.ny)) slot.reset();
    return grid(name);
  }
  std::vector<float> values(const std::string& name) {
    const GridRec& g = grid(name);
    return g.values ? std::vector<float>(g.values, g.values + g.domain.nx * g.domain.ny) : std::vector<float>();
  }
  DomainRec dom_{};
  std::map<std::string, std::unique_ptr<Grid>> grids_;
  std::vector<float> result_;
  std::string out_, err_;
};

void Script::run(const std::string& line) {
  std::istringstream w(line);
  std::string op, a, b, c, d;
  w >> op;
  const auto rest = [&w] {
    std::string text;
    std::getline(w >> std::ws, text);
    return text == "-" ? std::string() : table_unescape(text);
  };
  if (op == "result") return expect_numbers(result_, w);
  if (op == "values") {
    w >> a;
    return expect_numbers(values(a), w);
  }
  if (op == "text") {
    w >> a >> b;
    const GridRec& g = grid(a);
    EXPECT_EQ(std::string(b == "units" ? g.units : g.datatype), rest());
    return;
  }
  if (op == "stdout" || op == "stderr") {
    EXPECT_EQ(op == "stdout" ? out_ : err_, rest());
    return;
  }
  if (op == "domain") {
    float spacing = 1, clat = 0, clon = 0, p5 = kMiss;
    w >> a >> dom_.nx >> dom_.ny >> spacing >> clat >> clon >> p5;
    dom_ = {a == "ll" ? PROJ_LL : PROJ_XY, kMiss, kMiss, kMiss, kMiss, p5, kMiss, kMiss, clat, clon, spacing,
            spacing, dom_.nx, dom_.ny, 0};
    return;
  }
  if (op == "grid") {
    w >> a;
    grids_.erase(a);
    GridRec& g = grid(a);
    std::vector<float> v;
    for (std::string x; w >> x;) v.push_back(number(x));
    const int n = dom_.nx * dom_.ny;
    ASSERT_TRUE(static_cast<int>(v.size()) == n || static_cast<int>(v.size()) == dom_.nx) << "values for " << a;
    for (int k = 0; k < n; ++k) g.values[k] = v[k % v.size()];
    return;
  }
  if (op == "empty") {
    w >> a;
    grids_[a] = std::make_unique<Grid>(dom_, false);
    return;
  }
  if (op == "set") {
    int col = 0, row = 0;
    w >> a >> col >> row >> b;
    GridRec& g = grid(a);
    g.values[row * g.domain.nx + col] = number(b);
    return;
  }
  if (op == "label") {
    w >> a >> b;
    GridRec& g = grid(a);
    const std::string text = rest();
    std::snprintf(b == "units" ? g.units : g.datatype, b == "units" ? sizeof g.units : sizeof g.datatype, "%s",
                  text.c_str());
    return;
  }
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  float x = 0, y = 0, hi = 1, lo = 1;
  // Lookups through the map leave the current map, one other than the grids', as they found it.
  const bool on_map = op == "value-at" || op == "positions" || op == "math";
  DomainRec current = dom_, map = dom_;
  current.clat += 10.0f;
  if (on_map) MAP_domain(&current);
  if (op == "dx" || op == "dy" || op == "laplacian") {
    w >> a >> b;
    auto f = op == "dx" ? GRD_dx : op == "dy" ? GRD_dy : GRD_laplacian;
    result_ = {static_cast<float>(f(&grid(a), &output(b)))};
  } else if (op == "vorticity" || op == "deformation1" || op == "deformation2" || op == "converge") {
    w >> a >> b >> c;
    auto f = op == "vorticity" ? GRD_vorticity : op == "deformation1" ? GRD_deformation1 : GRD_deformation2;
    result_ = {static_cast<float>(op == "converge" ? GRD_converge(&grid(a), &grid(b), &output(c), nullptr)
                                                   : f(&grid(a), &grid(b), &output(c)))};
  } else if (op == "advection") {
    w >> a >> b >> c >> d;
    result_ = {static_cast<float>(GRD_advection(&grid(a), &grid(b), &grid(c), &output(d)))};
  } else if (op == "coriolis") {
    w >> a >> b;
    result_ = {static_cast<float>(GRD_coriolis(&grid(a), b.c_str()))};
  } else if (op == "math" || op == "math-bare") {
    w >> a >> b;
    GridRec* outs[2] = {&output(b.substr(0, b.find(','))), nullptr};
    if (b.find(',') != std::string::npos) outs[1] = &output(b.substr(b.find(',') + 1));
    GridRec* args[22] = {};
    std::vector<float> consts(21, kMiss);
    int n = 0;
    for (std::string x; w >> x; ++n) {
      if (std::isalpha(static_cast<unsigned char>(x[0])))
        args[n] = &grid(x);
      else
        consts[n] = number(x);
    }
    result_ = {static_cast<float>(GRD_math(a.c_str(), outs, args, op == "math" ? consts.data() : nullptr)),
               static_cast<float>(GRD_find_num_data(args, consts.data()))};
  } else if (op == "convert") {
    w >> a;
    result_ = {static_cast<float>(GRD_units(&grid(a), rest().c_str()))};
  } else if (op == "scale" || op == "offset") {
    w >> a >> x;
    (op == "scale" ? GRD_scale : GRD_offset)(&grid(a), x);
  } else if (op == "value") {
    w >> a >> b >> c;
    result_ = {GRD_get_value(&grid(a), number(b), number(c))};
  } else if (op == "value-at") {
    w >> a >> map.clat >> map.clon >> x >> y;  // the same plane centred elsewhere
    result_ = {GRD_get_value_domain(&grid(a), &map, &x, &y), x, y};
  } else if (op == "positions") {
    w >> a >> map.clat >> map.clon;
    float *X = nullptr, *Y = nullptr;
    result_ = {static_cast<float>(GRD_proj_XY(&grid(a), &map, &X, &Y))};
    for (float* v : {X, Y})
      for (int k = 0; v && k < dom_.nx * dom_.ny; ++k) result_.push_back(v[k]);
    std::free(X);
    std::free(Y);
  } else if (op == "edit") {
    w >> a >> x >> y >> b;
    result_ = {static_cast<float>(GRD_edit_value(&grid(a), x, y, number(b)))};
  } else if (op == "maxmin") {
    w >> a;
    result_ = {static_cast<float>(GRD_maxmin(&grid(a), &hi, &lo)), hi, lo};
  } else if (op == "uvmax") {
    w >> a >> b;
    result_ = {GRD_UVmax(&grid(a), &grid(b), &hi), hi};
  } else if (op == "alloc") {
    w >> a;
    grids_[a] = std::make_unique<Grid>(dom_, false);
    GridRec& g = grids_[a]->g;
    result_ = {static_cast<float>(GRD_alloc(&g)), g.values != nullptr ? 1.0f : 0.0f};
  } else if (op == "print") {
    w >> a >> x >> y;
    GRD_print_value(&grid(a), x, y);
  } else if (op == "print2") {
    w >> a >> b >> x >> y;
    GRD_print_value2(&grid(a), &grid(b), x, y);
  } else if (op == "classes") {
    w >> a;
    result_ = {static_cast<float>(GRD_is_math_func(a.c_str())), static_cast<float>(GRD_is_plot_func(a.c_str())),
               static_cast<float>(GRD_is_vect_func(a.c_str()))};
  } else {
    ADD_FAILURE() << "unknown command";
  }
  out_ = testing::internal::GetCapturedStdout();
  err_ = testing::internal::GetCapturedStderr();
  DomainRec now{};
  if (on_map) MAP_get_domain(&now);
  EXPECT_TRUE(!on_map || DOM_comp(&now, &current) == 1) << "current map not restored";
}

TEST(GridOps, Script) {
  RES_put("file_path", STACONT_DATA_DIR);
  UNIT_reset();
  MESS_reset();
  const std::string path = std::string(STACONT_SOURCE_DIR) + "/tests/data/analysis/grid_ops.txt";
  std::ifstream in(path);
  ASSERT_TRUE(in.good()) << path;
  Script script;
  int number = 0, commands = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty()) script.clear();
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE("grid_ops.txt:" + std::to_string(number) + ": " + line);
    script.run(line);
    ++commands;
  }
  EXPECT_GT(commands, 200);
  EXPECT_EQ(GRD_is_math_func(nullptr), 0);
}

}  // namespace
