// Reading real observation files: a feed's METAR collection of an hour (1.6 MB) decoded
// report by report, one report chosen per station, and a station table of eleven hours; the
// station database stored for the "us" domain as every plotting run stores it;
// and the real hour from its file to a PNG map against the sample hour, timed as processes
// in turn so that both see the same machine load.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/process.h"
#include "config/mess.h"
#include "plot/map.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "surface/obs_csv.h"
#include "surface/obs_read.h"

namespace {

std::string real_file(const char* name) {
  std::ifstream in(std::string(STACONT_SOURCE_DIR) + "/../shared/realdata/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void BM_collection(benchmark::State& state, const char* name, int day, int hour) {
  const std::string text = real_file(name);
  if (text.empty()) {
    state.SkipWithError("real observations not found");
    return;
  }
  DateRec want;
  DATE_init(&want);
  want.year = 2019, want.month = day == 1 ? 7 : 12, want.day = day, want.hour = hour, want.minute = 0;
  long chosen = 0;
  for (auto _ : state) {
    ObsList obs;
    ObsStats stats;
    OBS_read_reports(text, &obs, &stats);
    chosen = static_cast<long>(OBS_choose(obs, want, &stats).size());
    benchmark::DoNotOptimize(chosen);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
  state.counters["reports"] = static_cast<double>(chosen);
}
BENCHMARK_CAPTURE(BM_collection, jul_12z, "metar_20190701_1200.txt", 1, 12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_collection, dec_00z, "metar_20191212_0000.txt", 12, 0)->Unit(benchmark::kMillisecond);

void BM_station_table(benchmark::State& state) {
  const std::string text = real_file("SFC_obs.csv");
  if (text.empty()) {
    state.SkipWithError("real observations not found");
    return;
  }
  long rows = 0;
  for (auto _ : state) {
    ObsList obs;
    CsvStats stats;
    CSV_read(text, "SFC_obs.csv", &obs, &stats);
    rows = static_cast<long>(obs.size());
    benchmark::DoNotOptimize(rows);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_station_table)->Unit(benchmark::kMillisecond);

void BM_station_database(benchmark::State& state) {
  MESS_set(0, 0);
  DomainRec us{};
  if (DOM_get_def_region("us", &us) != 1) {
    state.SkipWithError("the region list was not found");
    return;
  }
  MAP_setup(&us);
  int stations = 0;
  for (auto _ : state) {
    CTY_store("sao.cty", CTY_MODE_LOCATION, &us, 7);
    stations = CTY_count();
  }
  CTY_clear();
  state.counters["stations"] = stations;
}
BENCHMARK(BM_station_database)->Unit(benchmark::kMillisecond);

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// The same map of sea-level pressure, colour fill and isobars, from the sample hour and from
// the real collection of 1 July 2019 12 UTC (about 2,200 US reports against 2,000).
void BM_RealHourToPng(benchmark::State& state) {
  const std::string real = std::string(STACONT_SOURCE_DIR) + "/../shared/realdata/metar_20190701_1200.txt";
  if (!std::ifstream(real).good()) {
    state.SkipWithError("real observations not found");
    return;
  }
  const std::string dir = std::filesystem::temp_directory_path() / ("obs_bench." + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ::setenv("zavdefault", (dir + "/no-resource-files").c_str(), 1);
  auto job = [&](const std::string& input) {
    return std::vector<std::string>{STACONT_BINARY, "-ba", "-fp", std::string(STACONT_SOURCE_DIR) + "/data", "-pd",
                                    "us", "-va", "pralt", "-pl", "lcf", "-of", "none", input, "-de",
                                    "png," + dir + "/map.png,1008x768,inv"};
  };
  const std::string sample = std::string(STACONT_SOURCE_DIR) + "/data/sample/2026031412.sfc";
  std::vector<double> a, b;
  for (auto _ : state) {
    const double s = run_quiet(job(sample)).cpu;
    const double r = run_quiet(job(real)).cpu;
    if (s < 0 || r < 0) {
      state.SkipWithError("a run failed");
      break;
    }
    a.push_back(s), b.push_back(r);
    state.SetIterationTime(s + r);
  }
  std::filesystem::remove_all(dir);
  state.counters["sample_cpu_s"] = median(a);
  state.counters["real_cpu_s"] = median(b);
  state.counters["real_over_sample"] = median(a) > 0 ? median(b) / median(a) : 0.0;
}
BENCHMARK(BM_RealHourToPng)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace
