// The main job's pressure page (scripts/run.sh, 12 UTC) to a PNG of 756 by 576 pixels in
// two ways, timed as processes in turn in every iteration so that both see the same
// machine load: straight through the raster device, and to PostScript followed by
// Ghostscript rendering the page at 72 dpi (where the page's surface is 756 by 576
// pixels). Counters: medians of the wall-clock seconds of each way and their ratio
// (PostScript + Ghostscript over raster: above 1 means the raster device is faster).
//
// A day of hourly maps: the temperature of the sample's 24 hours (00 to 23 UTC) as 24 PNG
// files, timed as a process with the device's worker threads (one a processor) and with
// every page drawn on the program's own thread (STACONT_RASTER_THREADS=0), in turn in every
// iteration. Counters: median wall-clock and processor seconds (user and system, all
// threads) of each, and the one-thread wall time over the threaded one.
// STACONT_RASTER_BASELINE names a stacont of an earlier commit, which then runs the same
// job in every iteration too; its medians are added, with its processor time over ours and
// the number of its frames that are not byte for byte ours (which must be 0).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

std::vector<std::string> day_job(const std::string& program, const std::string& out) {
  return {program, "-ba", "-fp", kSourceDir + "/data", "-if", "sfc_sample", "-cu", "#2026031400", "-nh", "23",
          "-pd", "us", "-va", "temp", "-de", "png," + out};
}

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void BM_DayOfPng(benchmark::State& state) {
  const std::string dir = std::filesystem::temp_directory_path() / ("raster_day." + std::to_string(::getpid()));
  for (const char* sub : {"/threads", "/one", "/base"}) std::filesystem::create_directories(dir + sub);
  ::setenv("zavdefault", (dir + "/no-resource-files").c_str(), 1);
  const char* base_env = std::getenv("STACONT_RASTER_BASELINE");
  const std::string baseline = base_env != nullptr ? base_env : "";
  std::vector<double> wall, cpu, one_wall, one_cpu, base_wall, base_cpu;
  bool failed = false;
  for (auto _ : state) {
    ::unsetenv("STACONT_RASTER_THREADS");
    const ProcessTimes t = run_quiet(day_job(STACONT_BINARY, dir + "/threads/f.png"));
    ::setenv("STACONT_RASTER_THREADS", "0", 1);
    const ProcessTimes o = run_quiet(day_job(STACONT_BINARY, dir + "/one/f.png"));
    ::unsetenv("STACONT_RASTER_THREADS");
    ProcessTimes b;
    if (!baseline.empty()) b = run_quiet(day_job(baseline, dir + "/base/f.png"));
    if (t.wall < 0 || o.wall < 0 || (!baseline.empty() && b.wall < 0)) {
      failed = true;
      break;
    }
    wall.push_back(t.wall), cpu.push_back(t.cpu), one_wall.push_back(o.wall), one_cpu.push_back(o.cpu);
    if (!baseline.empty()) base_wall.push_back(b.wall), base_cpu.push_back(b.cpu);
    state.SetIterationTime(t.wall);
  }
  if (failed) state.SkipWithError("a run failed (is the raster device built?)");
  int differing = 0;
  for (int h = 1; h <= 24 && !failed; ++h) {
    char name[16];
    std::snprintf(name, sizeof name, "/f_%02d.png", h);
    const std::string mine = file_bytes(dir + "/threads" + name);
    differing += mine.empty() || mine != file_bytes(dir + "/one" + name);
    if (!baseline.empty()) differing += mine != file_bytes(dir + "/base" + name);
  }
  std::filesystem::remove_all(dir);
  if (wall.empty()) return;
  state.counters["wall_s"] = median(wall);
  state.counters["cpu_s"] = median(cpu);
  state.counters["one_thread_wall_s"] = median(one_wall);
  state.counters["one_thread_cpu_s"] = median(one_cpu);
  state.counters["wall_over_one_thread"] = median(wall) / median(one_wall);
  state.counters["frames_differing"] = differing;
  if (!base_wall.empty()) {
    state.counters["base_wall_s"] = median(base_wall);
    state.counters["base_cpu_s"] = median(base_cpu);
    state.counters["base_cpu_over_cpu"] = median(base_cpu) / median(cpu);
  }
}
BENCHMARK(BM_DayOfPng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);

}  // namespace
