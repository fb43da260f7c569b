// Grid operations on an analysis-sized grid: bilinear lookups, extremes, point
// coordinates, map positions on another projection and derivatives.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/grd_tool.h"
#include "plot/maptran.h"
#include "plot/region.h"

namespace {

// A 401 x 301 Lambert grid, the size of a fine national analysis.
struct BigGrid {
  GridRec g;
  BigGrid() {
    std::memset(&g, 0, sizeof g);
    GRD_init(&g);
    DOM_init(&g.domain);
    g.domain.proj = 4;
    g.domain.p3 = 25;
    g.domain.p4 = 25;
    g.domain.clat = 38;
    g.domain.clon = -97;
    g.domain.nx = 401;
    g.domain.ny = 301;
    g.domain.dx = g.domain.dy = 0.13f;
    GRD_alloc(&g);
    for (int k = 0; k < 401 * 301; ++k) g.values[k] = static_cast<float>(k % 997) * 0.1f;
  }
  ~BigGrid() { GRD_free(&g); }
};

void BM_get_value(benchmark::State& state) {
  BigGrid b;
  float x = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GRD_get_value(&b.g, x, 150.25f));
    x += 0.37f;
    if (x > 399.0f) x = 0.0f;
  }
}
BENCHMARK(BM_get_value);

void BM_maxmin(benchmark::State& state) {
  BigGrid b;
  float hi, lo;
  for (auto _ : state) benchmark::DoNotOptimize(GRD_maxmin(&b.g, &hi, &lo));
  state.SetItemsProcessed(state.iterations() * 401 * 301);
}
BENCHMARK(BM_maxmin);

void BM_point_locate(benchmark::State& state) {
  BigGrid b;
  for (auto _ : state) {
    std::fill(b.g.values, b.g.values + 401 * 301, 1.0f);
    GRD_point_locate(&b.g, "lat");
  }
  state.SetItemsProcessed(state.iterations() * 401 * 301);
}
BENCHMARK(BM_point_locate);

// Vorticity of the big grid: centred differences with map factors at every point; the
// map factors are worked out once per domain and kept.
void BM_vorticity(benchmark::State& state) {
  BigGrid u, v, out;
  for (int k = 0; k < 401 * 301; ++k) v.g.values[k] = static_cast<float>(k % 401) * 0.05f;
  for (auto _ : state) benchmark::DoNotOptimize(GRD_vorticity(&u.g, &v.g, &out.g));
  state.SetItemsProcessed(state.iterations() * 401 * 301);
}
BENCHMARK(BM_vorticity);

void BM_math_advection(benchmark::State& state) {
  BigGrid u, v, t, out;
  GridRec* args[4] = {&u.g, &v.g, &t.g, nullptr};
  GridRec* outs[2] = {&out.g, nullptr};
  for (auto _ : state) benchmark::DoNotOptimize(GRD_math("adv", outs, args, nullptr));
  state.SetItemsProcessed(state.iterations() * 401 * 301);
}
BENCHMARK(BM_math_advection);

void BM_proj_XY_other_domain(benchmark::State& state) {
  BigGrid b;
  DomainRec polar;
  DOM_init(&polar);
  polar.proj = 1;
  polar.clat = 60;
  polar.clon = -100;
  polar.nx = polar.ny = 51;
  polar.dx = polar.dy = 1;
  float* X = nullptr;
  float* Y = nullptr;
  for (auto _ : state) GRD_proj_XY(&b.g, &polar, &X, &Y);
  std::free(X);
  std::free(Y);
  state.SetItemsProcessed(state.iterations() * 401 * 301);
}
BENCHMARK(BM_proj_XY_other_domain);

}  // namespace
