// Reading real observation files: a feed's METAR collection of an hour (1.6 MB) decoded
// report by report, one report chosen per station, and a station table of eleven hours.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

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
    std::vector<ObsRec> obs;
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
    std::vector<ObsRec> obs;
    CsvStats stats;
    CSV_read(text, "SFC_obs.csv", &obs, &stats);
    rows = static_cast<long>(obs.size());
    benchmark::DoNotOptimize(rows);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_station_table)->Unit(benchmark::kMillisecond);

}  // namespace
