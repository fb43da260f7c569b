// The main job's pressure page (scripts/run.sh, 12 UTC) to a PNG of 756 by 576 pixels in
// two ways, timed as processes in turn in every iteration so that both see the same
// machine load: straight through the raster device, and to PostScript followed by
// Ghostscript rendering the page at 72 dpi (where the page's surface is 756 by 576
// pixels). Counters: medians of the wall-clock seconds of each way and their ratio
// (PostScript + Ghostscript over raster: above 1 means the raster device is faster).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/process.h"

namespace {

const std::string kSourceDir = STACONT_SOURCE_DIR;

// The wall-clock seconds of a run, or -1 when it failed.
double run(const std::vector<std::string>& argv) { return run_quiet(argv).wall; }

std::vector<std::string> job(const std::string& device) {
  return {STACONT_BINARY, "-ba", "-fp", kSourceDir + "/data", "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us",
          "-va", "pralt", "-fm", "lcf:in=4:cb=980:wi=2:lab=1.6:sc=1.2", "-cof",
          "#3b3fb0,#4a4fc4,#5d7fe0,#78a3ec,#98c0f0,#b7d6f4,#d3e8f6,#eaf4f4,#f7f4e6,#f8e0a8,#f5c57f,#f0a35c,#e77e47,"
          "#d85a3a,#c23b33",
          "-pp", "gridx2", "-of", "none", "-de", device};
}

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void BM_PressurePagePng(benchmark::State& state) {
  const std::string dir = std::filesystem::temp_directory_path() / ("raster_bench." + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  // Resource files of the machine must not change the job.
  ::setenv("zavdefault", (dir + "/no-resource-files").c_str(), 1);
  const std::vector<std::string> gs = {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r72",
                                       "-sPAPERSIZE=letter", "-dFIXEDMEDIA", "-sOutputFile=" + dir + "/ps.png",
                                       dir + "/p.ps"};
  std::vector<double> raster, ps, ghost;
  for (auto _ : state) {
    const double r = run(job("png," + dir + "/p.png,756x576,inv"));
    const double p = run(job("p," + dir + "/p.ps,color"));
    const double g = p < 0 ? -1.0 : run(gs);
    if (r < 0 || p < 0 || g < 0) {
      state.SkipWithError("a run failed (is Ghostscript installed, and the raster device built?)");
      break;
    }
    raster.push_back(r), ps.push_back(p), ghost.push_back(g);
    state.SetIterationTime(r + p + g);
  }
  std::filesystem::remove_all(dir);
  if (raster.empty()) return;
  std::vector<double> both(ps.size());
  for (std::size_t i = 0; i < ps.size(); ++i) both[i] = ps[i] + ghost[i];
  state.counters["raster_s"] = median(raster);
  state.counters["ps_s"] = median(ps);
  state.counters["gs_s"] = median(ghost);
  state.counters["ps_gs_s"] = median(both);
  state.counters["ps_gs_over_raster"] = median(both) / median(raster);
}
BENCHMARK(BM_PressurePagePng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace
