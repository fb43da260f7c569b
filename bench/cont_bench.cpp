// Contouring a 1001 x 1001 grid (sin x + cos y over 0..10) with 19 levels (-1.8 to 1.8 by
// 0.2) to PostScript: lines alone and colour fill alone, timed from opening the file to
// closing it. Next to it, in the same run, the same grid and levels contoured by GMT's
// grdcontour as a process (the grid written once beforehand as a netCDF file by grdmath).
// Each PostScript file is rendered once by Ghostscript afterwards; the counter "renders" is
// 1 when it rendered without error.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "bench/levels.h"
#include "config/flag.h"
#include "config/mess.h"
#include "graphics/colors.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "plot/cont.h"
#include "plot/maptran.h"

namespace {

constexpr int kN = 1001;

GridRec& grid() {
  static GridRec g = [] {
    GridRec r;
    GRD_init(&r);
    DOM_init(&r.domain);
    r.domain.nx = r.domain.ny = kN;
    GRD_alloc(&r);
    for (int row = 0; row < kN; ++row)
      for (int i = 0; i < kN; ++i) {
        const double x = 0.01 * i, y = 10.0 - 0.01 * row;
        r.values[static_cast<std::size_t>(row) * kN + i] = static_cast<float>(std::sin(x) + std::cos(y));
      }
    return r;
  }();
  return g;
}

bool renders(const std::string& ps) {
  const std::string cmd = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage " + ps + " > /dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

long file_size(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  std::fseek(f, 0, SEEK_END);
  const long n = std::ftell(f);
  std::fclose(f);
  return n;
}

void contour_to_ps(const std::string& path, int type) {
  gopen_ws(1, (path + ",color").c_str(), WS_PS);
  for (int i = 0; i < 19; ++i) {
    const float t = static_cast<float>(i) / 18.0F;
    GPH_set_color(16 + i, t, 0.3F + 0.4F * std::sin(3.0F * t), 1.0F - t);
  }
  const float win[4] = {0.0F, kN - 1.0F, 0.0F, kN - 1.0F}, view[4] = {0.05F, 0.7F, 0.05F, 0.7F};
  GPH_win(1, win);
  GPH_view(1, view);
  GPH_trans(1);
  draw_nineteen_levels(&grid(), type);
  gclose_ws(1);
}

void BM_ContourToPostScript(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  const std::string path = tmp(type == PLOT_LCONT ? "cont_bench_lines.ps" : "cont_bench_fill.ps");
  MESS_set(0, 0);
  MAP_domain(nullptr);
  gopen_gks(nullptr, 0);
  grid();
  // Each run writes a new file: rewriting a truncated one makes the file system flush it
  // to disk at close, which would time the disk. GMT's output is removed the same way.
  for (auto _ : state) {
    std::remove(path.c_str());
    contour_to_ps(path, type);
  }
  state.counters["bytes"] = static_cast<double>(file_size(path));
  state.counters["renders"] = renders(path) ? 1 : 0;
}
BENCHMARK(BM_ContourToPostScript)->ArgName("type")->Arg(PLOT_LCONT)->Arg(PLOT_FCONT)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_GmtGrdcontourProcess(benchmark::State& state) {
  const std::string nc = tmp("cont_bench_grid.nc"), ps = tmp("cont_bench_gmt.ps");
  // GMT keeps a history file in its working directory: not in the source tree.
  const std::string in_tmp = "cd " + tmp("") + " && ";
  // The grid once, before timing: the same nodes and values as above.
  const std::string make = in_tmp + "gmt grdmath -R0/10/0/10 -I0.01 X SIN Y COS ADD = " + nc + " > /dev/null 2>&1";
  if (std::system(make.c_str()) != 0) {
    state.SkipWithError("gmt is not available");
    return;
  }
  const std::string cmd = in_tmp + "gmt grdcontour " + nc + " -C0.2 -L-1.9/1.9 -JX15c -P > " + ps + " 2>/dev/null";
  for (auto _ : state) {
    std::remove(ps.c_str());
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("grdcontour failed");
  }
  state.counters["bytes"] = static_cast<double>(file_size(ps));
  state.counters["renders"] = renders(ps) ? 1 : 0;
}
BENCHMARK(BM_GmtGrdcontourProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
