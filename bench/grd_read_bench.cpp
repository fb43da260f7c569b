// Reading a 1001 x 1001 grid back from a grid file: the package's text form against its
// binary form and netCDF (the text form has to parse a million numbers).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "config/mess.h"
#include "plot/region.h"

namespace {

constexpr int kN = 1001;

// The grid written once in each form into a scratch directory.
struct Files {
  std::string dir;
  Files() {
    MESS_set(0, MESS_PRINT);
    dir = (std::filesystem::temp_directory_path() / ("grd_read_bench_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir);
    GridRec g;
    std::memset(&g, 0, sizeof g);
    GRD_init(&g);
    DOM_decode("ll,0,0,1001,1001,0.01,0.01", &g.domain);
    GRD_alloc(&g);
    for (int j = 0; j < kN; ++j)
      for (int i = 0; i < kN; ++i)
        g.values[j * kN + i] = static_cast<float>(std::sin(i * 0.01) + std::cos(j * 0.01)) * 1013.25f;
    GridInfo info{};
    GRD_set_info(&info, &g.date, &g.domain);
    for (auto [name, form] : {std::pair{"t.grd", GRD_FILE_TEXT}, {"b.grd", GRD_FILE_BINARY}, {"c.nc", GRD_FILE_CDF}})
      GRD_save_file((dir + "/" + name).c_str(), &g, &info, form);
    GRD_free(&g);
  }
  ~Files() { std::filesystem::remove_all(dir); }
};

const Files& files() {
  static const Files f;
  return f;
}

void read_back(benchmark::State& state, const char* name) {
  const std::string path = files().dir + "/" + name;
  GridRec g;
  std::memset(&g, 0, sizeof g);
  GRD_init(&g);
  for (auto _ : state) {
    int type = 0, position = 0;
    const int h = GRD_open(path.c_str(), 0, &type);
    if (h < 0 || GRD_read(h, &g, 0, &position) != 0) state.SkipWithError("unreadable grid file");
    GRD_close(h);
    benchmark::DoNotOptimize(g.values);
  }
  GRD_free(&g);
}

void BM_read_text(benchmark::State& state) { read_back(state, "t.grd"); }
void BM_read_binary(benchmark::State& state) { read_back(state, "b.grd"); }
void BM_read_netcdf(benchmark::State& state) { read_back(state, "c.nc"); }

BENCHMARK(BM_read_text)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_binary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_netcdf)->Unit(benchmark::kMillisecond);

}  // namespace
