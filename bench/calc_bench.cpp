// Hot per-station formulas and conversions: one call per station per plotted variable.
#include <benchmark/benchmark.h>

#include <vector>

#include "surface/calc.h"
#include "surface/unittool.h"
#include "surface/wx_tool.h"

namespace {

// Station-like inputs: temperatures 250..310 K, dew points 5..20 K lower, pressures 850..1040.
struct Inputs {
  std::vector<float> t, td, p, rh, v;
  Inputs() {
    for (int i = 0; i < 1024; ++i) {
      t.push_back(250.0f + 60.0f * static_cast<float>(i % 61) / 60.0f);
      td.push_back(t.back() - 5.0f - static_cast<float>(i % 16));
      p.push_back(850.0f + static_cast<float>(i % 191));
      rh.push_back(10.0f + static_cast<float>(i % 90));
      v.push_back(static_cast<float>(i % 30));
    }
  }
};
const Inputs& in() {
  static const Inputs inputs;
  return inputs;
}

template <typename F>
void run(benchmark::State& state, F f) {
  const Inputs& x = in();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f(x, i));
    i = (i + 1) & 1023;
  }
}

void BM_eq_pot_temp(benchmark::State& s) { run(s, [](const Inputs& x, std::size_t i) { return eq_pot_temp(x.t[i], x.td[i], x.p[i]); }); }
void BM_wet_bulb(benchmark::State& s) { run(s, [](const Inputs& x, std::size_t i) { return wet_bulb(x.t[i], x.td[i], x.p[i]); }); }
void BM_dew_temp(benchmark::State& s) { run(s, [](const Inputs& x, std::size_t i) { return dew_temp(x.t[i], x.rh[i]); }); }
void BM_rel_hum(benchmark::State& s) { run(s, [](const Inputs& x, std::size_t i) { return rel_hum(x.t[i], x.td[i]); }); }
void BM_mix_ratio(benchmark::State& s) { run(s, [](const Inputs& x, std::size_t i) { return mix_ratio(x.td[i], x.p[i]); }); }
void BM_heat_index(benchmark::State& s) { run(s, [](const Inputs& x, std::size_t i) { return heat_index(x.t[i] + 40.0f, x.td[i] + 30.0f); }); }
void BM_wind_chill_temp2(benchmark::State& s) { run(s, [](const Inputs& x, std::size_t i) { return wind_chill_temp2(x.t[i], x.v[i]); }); }
void BM_sfc_pr_alt(benchmark::State& s) { run(s, [](const Inputs& x, std::size_t i) { return sfc_pr_alt(x.p[i] + 100.0f, x.v[i] * 50.0f); }); }
void BM_calc_earth_dist(benchmark::State& s) {
  run(s, [](const Inputs& x, std::size_t i) { return calc_earth_dist(x.v[i], x.rh[i], 40.0f, -100.0f); });
}

// The same pair at every station: after the first call no file is read.
void BM_UNIT_cvt_repeated_pair(benchmark::State& s) {
  UNIT_reset();
  run(s, [](const Inputs& x, std::size_t i) { return UNIT_cvt("F", "C", x.t[i]); });
}
// Two pairs alternating: every call reads the table (the worst case of the one-pair memory).
void BM_UNIT_cvt_alternating_pairs(benchmark::State& s) {
  UNIT_reset();
  run(s, [](const Inputs& x, std::size_t i) { return UNIT_cvt((i & 1) ? "F" : "knt", (i & 1) ? "C" : "m/s", x.t[i]); });
}
void BM_WX_metar_weather(benchmark::State& s) {
  char text[20];
  run(s, [&text](const Inputs&, std::size_t i) { return WX_metar_weather((i & 1) ? "!-SHRA" : "+TSRA", text); });
}

BENCHMARK(BM_eq_pot_temp);
BENCHMARK(BM_wet_bulb);
BENCHMARK(BM_dew_temp);
BENCHMARK(BM_rel_hum);
BENCHMARK(BM_mix_ratio);
BENCHMARK(BM_heat_index);
BENCHMARK(BM_wind_chill_temp2);
BENCHMARK(BM_sfc_pr_alt);
BENCHMARK(BM_calc_earth_dist);
BENCHMARK(BM_UNIT_cvt_repeated_pair);
BENCHMARK(BM_UNIT_cvt_alternating_pairs);
BENCHMARK(BM_WX_metar_weather);

}  // namespace
