// Objective analysis: the neighbourhood search against the plain loop over all stations.
//   small: 2,000 stations on the 25x17 "us" grid
//   large: 50,000 stations on a 400x300 grid
// both with 3 passes and 2 variables, radius 3 grid intervals. The large cases count the
// processor time of the whole process (the rows are shared among threads).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "analysis/grd_tool.h"
#include "analysis/object.h"
#include "config/mess.h"
#include "plot/maptran.h"
#include "plot/region.h"

namespace {

constexpr int NUM_VAR = 2;

struct Setup {
  std::vector<float> x, y;
  std::vector<std::vector<float>> data;
  DomainRec domain{};
};

// Stations spread over the domain and a margin around it, smooth values with a few gaps.
Setup make_setup(const char* domain_text, int stations) {
  MESS_set(0, MESS_PRINT);
  Setup s;
  DOM_decode(domain_text, &s.domain);
  MAP_domain(&s.domain);
  float lim[4];
  MAP_get_limits(lim);
  std::mt19937 gen(20261205);
  std::uniform_real_distribution<float> u(-0.05f, 1.05f);
  s.data.assign(NUM_VAR, std::vector<float>(static_cast<std::size_t>(stations)));
  for (int k = 0; k < stations; ++k) {
    const float fx = u(gen), fy = u(gen);
    s.x.push_back(lim[0] + fx * (lim[1] - lim[0]));
    s.y.push_back(lim[2] + fy * (lim[3] - lim[2]));
    s.data[0][static_cast<std::size_t>(k)] = 280.0f + 15.0f * std::sin(6.0f * fx) * std::cos(4.0f * fy);
    s.data[1][static_cast<std::size_t>(k)] = (k % 50 == 0) ? -9999.0f : 1000.0f + 8.0f * fx - 5.0f * fy * fy;
  }
  return s;
}

const Setup& small_case() {
  static const Setup s = make_setup("ps:-97,39,-97,25,17,2.3,2.3", 2000);
  return s;
}

const Setup& large_case() {
  static const Setup s = make_setup("ps:-97,39,-97,400,300,0.14,0.14", 50000);
  return s;
}

// One analysis on fresh copies of the inputs; the grids are returned in values.
// What runs besides the analysis: nothing, the cross-validation, the buddy check, or the
// automatic choice of parameters.
enum class Extra { none, cv, buddy, autotune };

void run_once(const Setup& s, bool fast, std::vector<std::vector<float>>& values, Extra extra = Extra::none,
              int passes = 3) {
  std::vector<float> x = s.x, y = s.y;
  std::vector<std::vector<float>> data = s.data;
  std::vector<GridRec> grids(GRD_MAX_SLOTS);
  float* ptrs[NUM_VAR];
  values.assign(NUM_VAR, std::vector<float>(static_cast<std::size_t>(s.domain.nx) * s.domain.ny));
  for (int k = 0; k < NUM_VAR; ++k) {
    grids[k] = GridRec{};
    grids[k].domain = s.domain;
    grids[k].values = values[k].data();
    ptrs[k] = data[k].data();
  }
  OBJ_initialize();
  OBJ_set_filter(1.0f);
  OBJ_set_rad_inf(3.0f);
  OBJ_set_num_pass(passes);
  OBJ_set_buddy(extra == Extra::buddy ? 4.0f : 0.0f, 4);
  OBJ_set_cross_valid(extra == Extra::cv);
  OBJ_set_auto(extra == Extra::autotune);
  const int n = static_cast<int>(x.size());
  if (fast)
    OBJ_analyze(x.data(), y.data(), ptrs, n, NUM_VAR, grids.data());
  else
    OBJ_analyze_direct(x.data(), y.data(), ptrs, n, NUM_VAR, grids.data());
}

double max_rel_diff(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b) {
  double worst = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k)
    for (std::size_t p = 0; p < a[k].size(); ++p) {
      if ((a[k][p] == -9999.0f) != (b[k][p] == -9999.0f)) return 1.0;
      const double d = std::fabs(static_cast<double>(a[k][p]) - b[k][p]);
      worst = std::max(worst, d / std::max(1.0, std::fabs(static_cast<double>(b[k][p]))));
    }
  return worst;
}

// STACONT_OBJ_DUMP=<file> writes the grids of the last run as raw floats, so that two
// builds can be compared.
void dump(const std::vector<std::vector<float>>& values) {
  const char* path = std::getenv("STACONT_OBJ_DUMP");
  if (path == nullptr) return;
  if (std::FILE* f = std::fopen(path, "wb")) {
    for (const std::vector<float>& v : values) std::fwrite(v.data(), sizeof(float), v.size(), f);
    std::fclose(f);
  }
}

void run_bench(benchmark::State& state, const Setup& s, bool fast) {
  std::vector<std::vector<float>> values;
  for (auto _ : state) {
    run_once(s, fast, values);
    benchmark::DoNotOptimize(values.data());
  }
  dump(values);
  if (!fast) {
    std::vector<std::vector<float>> other;
    run_once(s, true, other);
    state.counters["max_rel_diff"] = max_rel_diff(other, values);
  }
}

void run_extra(benchmark::State& state, const Setup& s, Extra extra, int passes = 3) {
  std::vector<std::vector<float>> values;
  for (auto _ : state) {
    run_once(s, true, values, extra, passes);
    benchmark::DoNotOptimize(values.data());
  }
}

void BM_small_cv(benchmark::State& state) { run_extra(state, small_case(), Extra::cv); }
void BM_small_buddy(benchmark::State& state) { run_extra(state, small_case(), Extra::buddy); }
void BM_small_auto(benchmark::State& state) { run_extra(state, small_case(), Extra::autotune); }
void BM_large_cv(benchmark::State& state) { run_extra(state, large_case(), Extra::cv); }
void BM_large_buddy(benchmark::State& state) { run_extra(state, large_case(), Extra::buddy); }
void BM_large_auto(benchmark::State& state) { run_extra(state, large_case(), Extra::autotune); }

void BM_small_fast(benchmark::State& state) { run_bench(state, small_case(), true); }
// The program's default of one pass, alone and with the automatic choice (whose candidates
// run two passes): the choice is held to five times the analysis it replaces.
void BM_small_one_pass(benchmark::State& state) { run_extra(state, small_case(), Extra::none, 1); }
void BM_small_one_pass_auto(benchmark::State& state) { run_extra(state, small_case(), Extra::autotune, 1); }
void BM_large_one_pass(benchmark::State& state) { run_extra(state, large_case(), Extra::none, 1); }
void BM_large_one_pass_auto(benchmark::State& state) { run_extra(state, large_case(), Extra::autotune, 1); }
void BM_small_direct(benchmark::State& state) { run_bench(state, small_case(), false); }
void BM_large_fast(benchmark::State& state) { run_bench(state, large_case(), true); }
void BM_large_direct(benchmark::State& state) { run_bench(state, large_case(), false); }

BENCHMARK(BM_small_fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_small_direct)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_large_fast)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_small_cv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_small_one_pass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_small_one_pass_auto)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_large_one_pass)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_large_one_pass_auto)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_small_buddy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_small_auto)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_large_cv)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_large_buddy)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_large_auto)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_large_direct)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
