#include "analysis/object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "tests/support/analysis_table.h"
#include "tests/support/capture.h"

namespace {

constexpr float MISS = -9999.0f;

// Latitude-longitude grid with unit spacing whose map coordinates are exact in float:
// column c lies at x = c - (nx-1)/2, row r at y = (ny-1)/2 - r.
DomainRec unit_domain(int nx, int ny) { return {2, 0, 0, MISS, MISS, MISS, MISS, MISS, 0, 0, 1, 1, nx, ny, 0}; }

// Stations given in grid coordinates, values per field, and the slot grids.
struct Case {
  DomainRec dom;
  std::vector<float> x, y;              // map positions (overwritten by the analysis)
  std::vector<std::vector<float>> data; // per field
  std::vector<std::vector<float>> values;
  std::vector<GridRec> grids = std::vector<GridRec>(GRD_MAX_SLOTS);
  std::vector<float*> ptrs;

  Case(int nx, int ny, int nfield) : dom(unit_domain(nx, ny)), data(nfield), values(nfield) {
    for (int k = 0; k < nfield; ++k) {
      GridRec& g = grids[k];
      g.domain = dom;
      values[k].assign(static_cast<std::size_t>(nx) * ny, 12345.0f);
      g.values = values[k].data();
      std::snprintf(g.datatype, sizeof g.datatype, "Field %d", k + 1);
    }
    std::snprintf(grids[0].label, sizeof grids[0].label, "12Z 05 DEC 2026");
  }
  void add(float col, float row, std::vector<float> v) {
    x.push_back((col - (dom.nx - 1) / 2.0f) * dom.dx);
    y.push_back(((dom.ny - 1) / 2.0f - row) * dom.dy);
    for (std::size_t k = 0; k < data.size(); ++k) data[k].push_back(v[k]);
  }
  int run(bool fast = true) {
    ptrs.assign(GRD_MAX_SLOTS, nullptr);
    for (std::size_t k = 0; k < data.size(); ++k) ptrs[k] = data[k].data();
    return (fast ? OBJ_analyze : OBJ_analyze_direct)(x.data(), y.data(), ptrs.data(), static_cast<int>(x.size()),
                                                      static_cast<int>(data.size()), grids.data());
  }
  float at(int k, int col, int row) const { return values[k][row * dom.nx + col]; }
};

class ObjTest : public testing::Test {
 protected:
  void SetUp() override {
    MESS_reset();
    MESS_set(0, MESS_PRINT);  // quiet unless a test asks for output
    for (const char* r : {"object_param", "plot_param"}) RES_put(r, nullptr);
    OBJ_initialize();
    MAP_domain(nullptr);
  }
  void TearDown() override {
    for (const char* r : {"object_param", "plot_param"}) RES_put(r, nullptr);
    MESS_reset();
  }
};

// filter, radius, passes, convergence, minimum stations, missing substitute, grid factor.
using Params = std::vector<float>;

Params params() {
  float filter = 0, rad = 0, conv = 0, miss = 0;
  int pass = 0, min = 0, factor = 0;
  OBJ_get_params(&filter, &rad, &pass, &conv, &miss, &min, &factor);
  return {filter, rad, static_cast<float>(pass), conv, static_cast<float>(min), miss, static_cast<float>(factor)};
}

TEST_F(ObjTest, ObjectParamValuesAndLimits) {
  MESS_set(0, MESS_WARN);
  for (const TableRow& r : read_table("analysis/object_param", 7)) {
    OBJ_initialize();
    OBJ_set_filter(1.5f);
    OBJ_set_rad_inf(3.0f);
    RES_put("object_param", r[0].c_str());
    CaptureStderr();
    OBJ_decode_params();
    EXPECT_EQ(!GetCapturedStderr().empty(), r[6] == "warns") << r[0];
    const Params p = params();
    EXPECT_EQ(Params(p.begin(), p.begin() + 5),
              Params({table_float(r[1]), table_float(r[2]), table_float(r[3]), table_float(r[4]), table_float(r[5])}))
        << r[0];
  }
}

TEST_F(ObjTest, PlotParamAndFormatItems) {
  for (const TableRow& r : read_table("analysis/object_plot_param", 5)) {
    OBJ_initialize();
    OBJ_set_rad_inf(3.0f);
    RES_put("plot_param", r[0].empty() ? nullptr : r[0].c_str());
    OBJ_decode_format(r[1].empty() ? nullptr : r[1].c_str());
    OBJ_decode_params();
    const Params p = params();
    EXPECT_EQ(Params({p[1], p[5], p[6]}), Params({table_float(r[2]), table_float(r[3]), table_float(r[4])}))
        << r[0] << "|" << r[1];
  }
  MESS_set(0, MESS_WARN);
  CaptureStderr();
  OBJ_decode_format("miss=abc");
  RES_put("plot_param", "gridx-2");
  OBJ_decode_params();
  EXPECT_EQ(GetCapturedStderr(),
            "OBJ_decode_format: Invalid missing value substitute \"miss=abc\"\n"
            "OBJ_decode_params: Invalid grid factor \"gridx-2\"\n");
}

TEST_F(ObjTest, NothingToAnalyse) {
  Case c(5, 5, 1);
  c.add(2, 2, {1});
  float* none[2] = {nullptr, nullptr};
  EXPECT_EQ(OBJ_analyze(c.x.data(), c.y.data(), none, 1, 2, c.grids.data()), -1);
  EXPECT_EQ(OBJ_analyze(c.x.data(), c.y.data(), none, 1, 0, c.grids.data()), -1);
  // Grid, header and station positions untouched.
  EXPECT_EQ(Params({c.at(0, 0, 0), static_cast<float>(c.grids[0].source), c.x[0]}), Params({12345, 0, 0}));
}

// A field whose slot has no values is named and left out; only the stations counted are
// moved to grid coordinates, a position beyond them is the caller's.
TEST_F(ObjTest, SlotWithoutValuesAndStationsBeyondTheCount) {
  MESS_set(0, MESS_WARN);
  Case c(5, 5, 2);
  c.add(2, 2, {1, 1});
  c.add(3, 3, {2, 2});
  c.grids[1].values = nullptr;
  float* data[2] = {c.data[0].data(), c.data[1].data()};
  CaptureStderr();
  EXPECT_EQ(OBJ_analyze(c.x.data(), c.y.data(), data, 1, 2, c.grids.data()), 0);
  EXPECT_EQ(GetCapturedStderr(), "OBJ_analyze: Grid 2 has no values on the analysis grid\n");
  EXPECT_EQ(Params({c.x[0], c.x[1], c.y[1]}), Params({2, 1, -1}));
}

TEST_F(ObjTest, FirstPassWeightsRadiusAndHeader) {
  OBJ_set_filter(2.0f);
  OBJ_set_rad_inf(1.5f);
  Case c(7, 5, 1);
  c.add(2, 2, {10});
  c.add(3, 2, {20});
  ASSERT_EQ(c.run(), 0);
  // (2,2): d2 = 0 and 1 -> (10 + 20 e^-0.5) / (1 + e^-0.5)
  const double w = std::exp(-0.5);
  EXPECT_FLOAT_EQ(c.at(0, 2, 2), static_cast<float>((10 + 20 * w) / (1 + w)));
  EXPECT_FLOAT_EQ(c.at(0, 3, 3), static_cast<float>((10 * std::exp(-1.0) + 20 * w) / (std::exp(-1.0) + w)));
  EXPECT_EQ(c.at(0, 6, 2), MISS);  // nearest station 3 columns away
  EXPECT_EQ(c.at(0, 0, 0), MISS);
  EXPECT_EQ(Params({c.x[1], c.y[1]}), Params({3, 2}));  // positions come back as grid coordinates
  const GridRec& g = c.grids[0];
  EXPECT_EQ(std::vector<int>({g.source, g.version, g.model, g.type}), std::vector<int>({1, 1, 1, 2}));
}

TEST_F(ObjTest, MinimumStationsAndTinyValues) {
  OBJ_set_rad_inf(1.1f);
  OBJ_set_min_sta(3);
  Case c(5, 5, 2);
  c.add(1, 1, {1, 5e-11f});
  c.add(2, 1, {2, 5e-11f});
  c.add(3, 1, {MISS, 5e-11f});
  ASSERT_EQ(c.run(), 0);
  // (2,1) sees three stations but the first field only two values.
  EXPECT_EQ(c.at(0, 2, 1), MISS);
  EXPECT_EQ(c.at(1, 2, 1), 0.0f);
  EXPECT_EQ(c.at(1, 1, 1), MISS);  // two in range
}

TEST_F(ObjTest, MissingSubstituteReachesCallerOnlyForStationsInRange) {
  OBJ_set_rad_inf(1.0f);
  OBJ_decode_format("miss=0");
  Case c(5, 5, 2);
  c.add(2, 2, {MISS, 4});
  c.add(2, 3, {8, MISS});
  c.add(40, 40, {MISS, MISS});  // beyond every grid point's reach
  ASSERT_EQ(c.run(), 0);
  EXPECT_EQ(c.data[0], Params({0, 8, MISS}));
  EXPECT_EQ(c.data[1], Params({4, 0, MISS}));
  EXPECT_EQ(c.at(0, 2, 1), 0.0f);  // only the substituted station in range
  EXPECT_EQ(c.at(1, 2, 4), 0.0f);
}

TEST_F(ObjTest, DiagnosticsResidualsAndPasses) {
  MESS_set(0, MESS_MESS);  // one pass without diagnostics: no residuals, no RMS lines
  Case one(5, 5, 2);
  one.add(2, 2, {1, 2});
  CaptureStdout();
  ASSERT_EQ(one.run(), 0);
  EXPECT_EQ(GetCapturedStdout(), "Fitting to grid...\n   Data field [1] = Field 1\n   Data field [2] = Field 2\n");

  MESS_set(0, MESS_OUT4);
  RES_put("object_param", "1,2.5,2,0.5,1");
  Case c(5, 5, 2);
  c.add(2, 2, {10, MISS});
  c.add(2.5f, 2, {20, MISS});
  c.add(-1, 2, {30, MISS});  // outside the grid: contributes, no residual
  CaptureStdout();
  ASSERT_EQ(c.run(), 0);
  const std::string out = GetCapturedStdout();
  const std::string head =
      "Fitting to grid...\n   Data field [1] = Field 1\n   Data field [2] = Field 2\n"
      "Time and date are            = 12Z 05 DEC 2026\nNumber of stations           =    3 stats\n"
      "Number of passes             =    2\nFilter parameter             =    1.0000 cm**2\n"
      "Convergence parameter        =    0.5000\nRadius of influence          =    2.50 grids\n"
      "Minimum stations at gridpt   =    1 stats\n\nPass: 1...\nComputing residuals...\nRMS Error for field 1: ";
  ASSERT_EQ(out.substr(0, head.size()), head);
  EXPECT_NE(out.find("RMS Error for field 2: no stations\nPass: 2...\nComputing residuals...\n"), std::string::npos);
  EXPECT_EQ(params()[0], 0.5f);  // the filter, reduced for the second pass
  EXPECT_EQ(c.at(1, 2, 2), MISS);
  // The outside station weighs in at column 0 (distance 1) but not at column 2.
  EXPECT_GT(c.at(0, 0, 2), 20.0f);
}

// An analysis of a copy of c, by the threaded search or the plain loop, with the parameters
// "filter,radius,passes,0.3,min" and the missing value substitute: its grids, then the
// data after substitution and the stations' grid positions.
std::vector<std::vector<float>> analysed(Case c, bool fast, float filter, float radius, int passes, float subst,
                                         int min = 1) {
  for (std::size_t k = 0; k < c.data.size(); ++k) c.grids[k].values = c.values[k].data();
  OBJ_initialize();
  OBJ_set_buddy(0.0f, 4);
  OBJ_set_miss_val(subst);
  char text[64];
  std::snprintf(text, sizeof text, "%.9g,%.9g,%d,0.3,%d", filter, radius, passes, min);
  RES_put("object_param", text);
  EXPECT_EQ(c.run(fast), 0);
  const std::size_t grids = c.values.size();
  c.values.insert(c.values.end(), c.data.begin(), c.data.end());
  c.values.push_back(c.x);
  c.values.push_back(c.y);
  for (std::size_t k = grids; k < c.values.size(); ++k)  // a station without a position: a number to compare
    std::replace_if(c.values[k].begin(), c.values[k].end(), [](float v) { return std::isnan(v); }, MISS);
  return c.values;
}

// Two stations on a row of the grid, values 0 at distance 3 and 1 at distance b, weigh in at
// the point between them as w_b / (w_3 + w_b), w = exp(-d^2 / filter) rounded to float;
// b is chosen so that the exponents differ by 0.5, which keeps the ratio sensitive to
// either weight. The filters take the exponent from 0.5 into the float denormals; beyond 104
// the weights are 0 and the point has no value.
TEST_F(ObjTest, WeightIsTheExponential) {
  for (const float filter : {18.0f, 4.0f, 1.0f, 0.5f, 0.2f, 0.12f, 0.1035f, 9.0f / 95.0f, 9.0f / 102.0f, 9.0f / 110.0f}) {
    const float b = std::sqrt(9.0f - 0.5f * filter);
    Case c(13, 3, 1);
    c.add(9.0f, 1.0f, {0.0f});
    c.add(6.0f - b, 1.0f, {1.0f});
    const float got = analysed(c, true, filter, 4.0f, 1, MISS)[0][1 * 13 + 6];
    const double wa = static_cast<float>(std::exp(-static_cast<double>(9.0f / filter)));
    const double wb = static_cast<float>(std::exp(-static_cast<double>(b * b / filter)));
    if (wa + wb == 0.0) {
      EXPECT_EQ(got, MISS) << filter;
      continue;
    }
    EXPECT_NEAR(got, wb / (wa + wb), 2e-7 * wb / (wa + wb)) << filter;
    EXPECT_GT(wb / (wa + wb), 0.3) << filter;
  }
}

// The neighbourhood search with threads gives bit for bit the grids, substituted data and
// positions of the plain loop, also where the search is at its edges: stations on lattice
// points at exactly the radius, on rows at exactly the radius, a radius wider than the
// grid, stations without a position or far off the grid, missing values substituted, a
// radius below a spacing, points short of the minimum of stations.
TEST_F(ObjTest, FastEqualsDirectBitForBitAtTheEdgesOfTheSearch) {
  const struct { int nx, ny; float radius, filter; int passes; float subst; bool lattice; int min; } rows[] = {
      {21, 17, 3.0f, 1.0f, 3, MISS, true, 3}, {21, 17, 2.0f, 0.5f, 2, 0.0f, true, 2},
      {40, 9, 5.0f, 3.0f, 3, -1.0f, true, 1}, {15, 11, 50.0f, 20.0f, 2, MISS, false, 1},
      {33, 27, 1.0f, 0.3f, 3, 5.0f, false, 2}, {160, 130, 3.0f, 1.0f, 3, MISS, false, 1},
      {64, 3, 7.5f, 2.0f, 1, MISS, false, 1}, {30, 20, 0.6f, 0.5f, 2, -1.0f, false, 1}};
  std::mt19937 gen(35);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (const auto& r : rows) {
    Case c(r.nx, r.ny, 2);
    for (int s = 0; s < 3 * r.nx * r.ny / 4; ++s) {
      float col = unit(gen) * (r.nx + 8) - 4, row = unit(gen) * (r.ny + 8) - 4;
      if (r.lattice) col = std::round(col), row = std::round(row);
      if (s % 53 == 0) col = std::numeric_limits<float>::quiet_NaN();
      if (s % 61 == 0) row = 1e30f;
      c.add(col, row, {s % 7 == 0 ? MISS : 10.0f + std::sin(0.3f * col) * row, s % 5 == 0 ? MISS : -3.0f + 0.01f * col});
    }
    const auto fast = analysed(c, true, r.filter, r.radius, r.passes, r.subst, r.min);
    EXPECT_TRUE(fast == analysed(c, false, r.filter, r.radius, r.passes, r.subst, r.min)) << r.nx << "x" << r.ny << " radius " << r.radius;
    EXPECT_LT(std::count(fast[0].begin(), fast[0].end(), MISS), static_cast<long>(fast[0].size())) << r.nx << "x" << r.ny;
  }
}

// A zoomed view of the caller's domain survives the analysis.
TEST_F(ObjTest, CallerDomainAndViewRestored) {
  DomainRec caller = unit_domain(11, 11);
  caller.clat = 10.0f;
  MAP_domain(&caller);
  MAP_set_view(-1.0f, 2.0f, 8.0f, 12.0f);
  Case c(5, 5, 1);
  c.add(2, 2, {3});
  ASSERT_EQ(c.run(), 0);
  float lim[4];
  MAP_get_limits(lim);
  EXPECT_EQ(Params({lim[0], lim[3], MAP_get_clat()}), Params({-1, 12, 10}));
}

// The analysed field at a position in grid coordinates, interpolated as the residuals are.
float bilinear(const std::vector<float>& g, int nx, float col, float row) {
  const int i = static_cast<int>(std::floor(col)), j = static_cast<int>(std::floor(row));
  const double fx = col - i, fy = row - j;
  const float* p = &g[static_cast<std::size_t>(j) * nx + i];
  if (p[0] == MISS || p[1] == MISS || p[nx] == MISS || p[nx + 1] == MISS) return MISS;
  return static_cast<float>((1 - fx) * (1 - fy) * p[0] + fx * (1 - fy) * p[1] + (1 - fx) * fy * p[nx] +
                            fx * fy * p[nx + 1]);
}

// Leave-one-out values against the brute force: the analysis re-run without each station.
// Tolerance per pass count: the first pass is exact up to float rounding; later passes keep
// the other stations' residuals of the full analysis, and the table holds the largest
// difference measured on this set (seed 31) with a margin, relative to the field's range
// of about 20.
// 60 stations scattered (seed 31) over a 16 x 12 grid, reporting a wave along the columns,
// a slope along the rows and noise of the given amplitude: grid columns, rows and values.
struct StationField {
  std::vector<float> col, row, val;
};
StationField wavy_stations(float wave, float noise_amplitude) {
  std::mt19937 gen(31);
  std::uniform_real_distribution<float> ux(0.0f, 15.0f), uy(0.0f, 11.0f), noise(-noise_amplitude, noise_amplitude);
  StationField f;
  for (int s = 0; s < 60; ++s) {
    f.col.push_back(ux(gen));
    f.row.push_back(uy(gen));
    f.val.push_back(10.0f * std::sin(wave * f.col.back()) + 0.5f * f.row.back() + noise(gen));
  }
  return f;
}

// The analysis of the field's stations reporting v on a 16 x 12 grid of the given spacing,
// the stations in skip left out; set chooses the parameters.
template <class Set>
std::vector<float> analyse_field(const StationField& f, const std::vector<float>& v, const std::vector<int>& skip,
                                 float spacing, bool fast, Set set) {
  Case c(16, 12, 1);
  c.dom.dx = c.dom.dy = c.grids[0].domain.dx = c.grids[0].domain.dy = spacing;
  for (std::size_t s = 0; s < f.col.size(); ++s)
    if (std::find(skip.begin(), skip.end(), static_cast<int>(s)) == skip.end()) c.add(f.col[s], f.row[s], {v[s]});
  OBJ_initialize();
  set();
  EXPECT_EQ(c.run(fast), 0);
  return c.values[0];
}

// The stations the buddy check rejected in the first field.
std::vector<int> rejected_stations() {
  std::vector<int> out;
  for (int s = 0; s < 60; ++s)
    if (OBJ_rejected(0, s)) out.push_back(s);
  return out;
}

struct LooRow {
  int passes;
  double max_diff;   // bound on |fast - brute force|
  double rms_ratio;  // bound on |RMS fast / RMS brute - 1|
  int lost;          // stations the fast values leave without a value
};

class LooTest : public ObjTest, public testing::WithParamInterface<LooRow> {};

TEST_P(LooTest, AgreesWithReanalysisWithoutTheStation) {
  const LooRow row = GetParam();
  const StationField field = wavy_stations(0.4f, 1.0f);
  auto analyse = [&](int skip, bool loo) {
    return analyse_field(field, field.val, {skip}, 1.0f, false, [&] {
      OBJ_set_filter(2.0f);
      OBJ_set_rad_inf(3.0f);
      OBJ_set_num_pass(row.passes);
      OBJ_set_converg(0.3f);
      OBJ_set_buddy(0.0f, 1);
      OBJ_set_cross_valid(loo ? 1 : 0);
    });
  };
  analyse(-1, true);
  std::vector<float> fast;
  for (std::size_t s = 0; s < field.col.size(); ++s) fast.push_back(OBJ_loo_value(0, static_cast<int>(s)));
  double worst = 0.0, sq_fast = 0.0, sq_brute = 0.0;
  int compared = 0, lost = 0;
  for (std::size_t s = 0; s < field.col.size(); ++s) {
    const float brute = bilinear(analyse(static_cast<int>(s), false), 16, field.col[s], field.row[s]);
    // Where the station's own weight is all but the whole sum no value is given (the
    // difference would have no digits left); the reverse never happens.
    ASSERT_FALSE(brute == MISS && fast[s] != MISS) << "station " << s;
    if (brute == MISS || fast[s] == MISS) {
      lost += brute != MISS;
      continue;
    }
    worst = std::max(worst, std::fabs(static_cast<double>(fast[s]) - brute));
    sq_fast += std::pow(field.val[s] - fast[s], 2);
    sq_brute += std::pow(field.val[s] - brute, 2);
    ++compared;
  }
  EXPECT_GT(compared, 40);
  EXPECT_LE(lost, row.lost);
  EXPECT_LE(worst, row.max_diff);
  EXPECT_LE(std::fabs(std::sqrt(sq_fast / sq_brute) - 1.0), row.rms_ratio);
  std::printf("passes %d: max |difference| %.6f, RMS fast/brute %.4f over %d stations, %d lost\n", row.passes,
              worst, std::sqrt(sq_fast / sq_brute), compared, lost);
}

INSTANTIATE_TEST_SUITE_P(Passes, LooTest,
                         testing::Values(LooRow{1, 2e-5, 1e-5, 0}, LooRow{2, 1.3, 0.17, 0}, LooRow{3, 2.0, 0.36, 4}));

// Buddy check on a smooth field with small noise (60 stations, seed 31): the seeded gross
// errors are rejected, their neighbours are not (a gross error raises its neighbours'
// leave-one-out errors too: the worst near them goes first, the rest are looked at again
// without it), and the final grids are those of the analysis without the rejected reports.
struct BuddyRow {
  const char* what;
  std::vector<std::pair<int, float>> errors;  // station, error added
  float k;                                    // 0: off
};

class BuddyTest : public ObjTest, public testing::WithParamInterface<BuddyRow> {};

TEST_P(BuddyTest, RejectsTheSeededErrorsOnly) {
  const BuddyRow row = GetParam();
  const StationField field = wavy_stations(0.3f, 0.5f);
  std::vector<float> seeded = field.val;
  for (const auto& [s, e] : row.errors) seeded[static_cast<std::size_t>(s)] += e;
  auto analyse = [&](float k, const std::vector<int>& skip, float spacing = 1.0f) {
    return analyse_field(field, seeded, skip, spacing, true, [&] {
      OBJ_set_filter(2.0f * spacing * spacing);  // an area of the map
      OBJ_set_rad_inf(3.0f);
      OBJ_set_buddy(k, 4);
    });
  };
  const std::vector<float> grid = analyse(row.k, {});
  const std::vector<int> rejected = rejected_stations();
  std::vector<int> expected;
  if (row.k > 0.0f)
    for (const auto& [s, e] : row.errors) expected.push_back(s);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rejected, expected) << row.what;
  EXPECT_EQ(OBJ_num_rejected(0), static_cast<int>(expected.size()));
  // Bit for bit the analysis without the rejected reports, the check off.
  EXPECT_EQ(grid, analyse(0.0f, rejected)) << row.what;
  // On a grid half a map unit apart the radius and the neighbours are the same in grid lengths.
  analyse(row.k, {}, 0.5f);
  EXPECT_EQ(rejected_stations(), expected) << row.what << " at half spacing";
}

// Errors of 34 are an altimeter slip of 1 inHg in mb. Station 7 has three neighbours within
// 0.8 grid lengths (46, 55, 30), whose leave-one-out errors its error raises: rejecting
// every report beyond the threshold at once also rejects station 30. Stations 19 and 23
// lie 0.09 apart, each the other's main neighbour.
INSTANTIATE_TEST_SUITE_P(
    Errors, BuddyTest,
    testing::Values(BuddyRow{"clean field", {}, 4.0f}, BuddyRow{"one error", {{7, 34.0f}}, 4.0f},
                    BuddyRow{"two errors side by side", {{19, 34.0f}, {23, -34.0f}}, 4.0f},
                    BuddyRow{"errors far apart", {{3, -15.0f}, {19, 10.0f}, {50, 20.0f}}, 4.0f},
                    BuddyRow{"check off", {{7, 12.0f}}, 0.0f}));

}  // namespace
