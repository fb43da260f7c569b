// Speed of the PostScript writer on contour-like output: many polylines of a few dozen
// points each, written to a file. Reports bytes and points per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "graphics/gks_line.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"

namespace {

void BM_PsPolylines(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  const int points = 40;
  // Wavy lines across the page, like contour segments.
  std::vector<float> pts(2 * points);
  const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/gks_ps_bench.ps";
  MESS_set(0, 0);
  gopen_gks(nullptr, 0);
  long bytes = 0;
  for (auto _ : state) {
    gopen_ws(1, path.c_str(), WS_PS);
    for (int l = 0; l < lines; ++l) {
      const float y0 = 0.05F + 0.7F * static_cast<float>(l % 997) / 997.0F;
      for (int i = 0; i < points; ++i) {
        pts[2 * i] = 0.02F + 0.96F * static_cast<float>(i) / (points - 1);
        pts[2 * i + 1] = y0 + 0.01F * std::sin(0.37F * static_cast<float>(i + l));
      }
      gpolyline(points, pts.data());
    }
    gclose_ws(1);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f != nullptr) {
      std::fseek(f, 0, SEEK_END);
      bytes += std::ftell(f);
      std::fclose(f);
    }
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(bytes);
  state.SetItemsProcessed(state.iterations() * static_cast<long>(lines) * points);
}
BENCHMARK(BM_PsPolylines)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

