// Contours of a 1001 x 1001 grid on a map (sin x + cos y, 19 levels from -1.8 to 1.8 by
// 0.2) as GIS features in a GeoPackage against the same contours on a PostScript page:
// lines alone and colour fill alone, timed from opening the output to closing it. The
// counter "features" is what the GeoPackage holds (lines joined, one polygon a band piece).
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
#include "files/gdal.h"
#include "graphics/colors.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_ogr.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "plot/cont.h"
#include "plot/gis.h"
#include "plot/maptran.h"
#include "plot/region.h"

namespace {

constexpr int kN = 1001;

GridRec& grid() {
  static GridRec g = [] {
    GridRec r;
    GRD_init(&r);
    DOM_init(&r.domain);
    DOM_decode("ll,39,-100,1001,1001,0.01", &r.domain);
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

long features = 0;

void contour_to(const std::string& device, int ws, int type) {
  gopen_ws(1, device.c_str(), ws);
  for (int i = 0; i < 19; ++i) {
    const float t = static_cast<float>(i) / 18.0F;
    GPH_set_color(16 + i, t, 0.3F + 0.4F * std::sin(3.0F * t), 1.0F - t);
  }
  MAP_domain(&grid().domain);
  float lim[4];
  MAP_get_limits(lim);
  const float view[4] = {0.05F, 0.7F, 0.05F, 0.7F};
  GPH_win(2, lim);
  GPH_view(2, view);
  GPH_trans(2);
  draw_nineteen_levels(&grid(), type);
  gclose_ws(1);
  if (ws == WS_OGR) features = gogr_last_count();
}

void BM_Contours(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  const bool gpkg = state.range(1) == 1;
  if (gpkg && !GDL_unavailable().empty()) {
    state.SkipWithError(GDL_unavailable().c_str());
    return;
  }
  const std::string path = tmp(gpkg ? "ogr_bench.gpkg" : "ogr_bench.ps");
  MESS_set(0, 0);
  gopen_gks(nullptr, 0);
  GIS_connect();
  grid();
  for (auto _ : state) {
    std::remove(path.c_str());
    contour_to(gpkg ? path : path + ",color", gpkg ? WS_OGR : WS_PS, type);
  }
  if (gpkg) state.counters["features"] = static_cast<double>(features);
}
BENCHMARK(BM_Contours)
    ->ArgNames({"type", "gpkg"})
    ->Args({PLOT_LCONT, 0})
    ->Args({PLOT_LCONT, 1})
    ->Args({PLOT_FCONT, 0})
    ->Args({PLOT_FCONT, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
