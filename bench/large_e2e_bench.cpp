// End to end on a dense network: 50,000 stations of one hour, read from a station table
// (CSV with positions, so the station database plays no part), analysed in three passes onto
// a 400 x 300 latitude-longitude grid and written as a netCDF grid, with no picture. The
// program is timed as a process next to NCL doing the same analysis on the same stations
// (obj_anal_ic, three passes, onto the same latitude-longitude grid, written to netCDF).
// All run in turn in every iteration, so all see the same machine load; the counters are
// medians of the wall-clock and processor (user + system) seconds of each process and
// their ratios (theirs over ours: above 1 means we are faster).
//
// The stations are written once per run: positions seeded at random over the grid and a
// margin of 3 % around it, a smooth temperature field with small-scale noise, to
// obs_2026031412.csv and, as longitude, latitude and value a line, to stations.txt for NCL.
// Our radius of influence is 3 grid intervals (0.45 degrees of longitude); NCL's scans start
// there and narrow (0.45, 0.3, 0.15 degrees) as its passes must, where ours keep the radius
// and sharpen the weight. Without ncl on the path the comparison is skipped with a message
// and only our job is timed.
//
// Environment: STACONT_E2E_KEEP=1 keeps the work directory (grids in ours/, baseline/ and
// ncl.nc) and prints its name. STACONT_E2E_BASELINE names another stacont binary (a build of
// an earlier commit) that runs the same job in every iteration too, in turn with the others;
// its medians, the ratio of its processor time to ours and the largest relative difference
// between its grid and ours (0 when the output is unchanged) are added.
// STACONT_E2E_ITERATIONS sets the number of iterations of the comparison (11 by default).
#include <benchmark/benchmark.h>

#include <netcdf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/process.h"

namespace {

const std::string kSourceDir = STACONT_SOURCE_DIR;
const std::string kDataDir = kSourceDir + "/data";

constexpr int kStations = 50000;
// The grid: 400 x 300 points 0.15 degrees of longitude and 0.1 of latitude apart, centred on
// 39N 97W (126.925W to 67.075W, 24.05N to 53.95N).
constexpr int kNx = 400, kNy = 300;
constexpr double kClat = 39.0, kClon = -97.0, kDlon = 0.15, kDlat = 0.1;
constexpr double kLon0 = kClon - 0.5 * (kNx - 1) * kDlon, kLat0 = kClat - 0.5 * (kNy - 1) * kDlat;
const char* const kGridFile = "2026031412_temp.nc";

std::string find_on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    const std::string dir = colon > start ? dirs.substr(start, colon - start) : ".";
    if (::access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
    start = colon + 1;
  }
  return "";
}


// The stations, written in both forms. Values are degrees Fahrenheit, one decimal as
// stations report them.
bool write_stations(const std::string& dir) {
  std::mt19937 gen(20261208);
  std::uniform_real_distribution<double> u(-0.03, 1.03);
  std::normal_distribution<double> noise(0.0, 1.5);
  std::FILE* csv = std::fopen((dir + "/obs_2026031412.csv").c_str(), "w");
  std::FILE* txt = std::fopen((dir + "/stations.txt").c_str(), "w");
  bool ok = csv != nullptr && txt != nullptr;
  if (ok) {
    std::fputs("station,valid,lat,lon,tmpf\n", csv);
    for (int k = 0; k < kStations; ++k) {
      const double fx = u(gen), fy = u(gen);
      const double lon = kLon0 + fx * (kNx - 1) * kDlon, lat = kLat0 + fy * (kNy - 1) * kDlat;
      const double t = 50.0 + 25.0 * std::sin(6.0 * fx) * std::cos(4.0 * fy) - 20.0 * fy + noise(gen);
      char line[96];
      std::snprintf(line, sizeof line, "%.4f %.4f %.1f\n", lon, lat, t);
      double plon = 0, plat = 0, pt = 0;
      std::sscanf(line, "%lf %lf %lf", &plon, &plat, &pt);
      std::fputs(line, txt);
      std::fprintf(csv, "S%05d,2026-03-14 12:00,%.4f,%.4f,%.1f\n", k, plat, plon, pt);
    }
  }
  if (csv != nullptr) ok = std::fclose(csv) == 0 && ok;
  if (txt != nullptr) ok = std::fclose(txt) == 0 && ok;
  return ok;
}

bool write_text(const std::string& path, const std::string& text) {
  std::ofstream f(path);
  f << text;
  return static_cast<bool>(f);
}

// The 400 x 300 values of a netCDF grid as rows from south to north: ours (`values`, which
// the package's layout keeps as rows from north to south) or NCL's (`temp`, rows from
// south); empty when the file has no such variable.
std::vector<float> read_grid(const std::string& path, bool ours) {
  const std::size_t n = static_cast<std::size_t>(kNx) * kNy;
  std::vector<float> raw(n), out;
  int nc = 0, var = 0;
  if (nc_open(path.c_str(), NC_NOWRITE, &nc) != NC_NOERR) return out;
  if (nc_inq_varid(nc, ours ? "values" : "temp", &var) == NC_NOERR && nc_get_var_float(nc, var, raw.data()) == NC_NOERR)
    out.swap(raw);
  nc_close(nc);
  if (ours && !out.empty())
    for (int y = 0; y < kNy / 2; ++y)
      std::swap_ranges(out.begin() + y * kNx, out.begin() + (y + 1) * kNx, out.begin() + (kNy - 1 - y) * kNx);
  return out;
}

// Largest difference relative to max(1, |b|); 1 where only one of the two is missing.
double max_rel_diff(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size() || a.empty()) return 1.0;
  double worst = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const bool ma = a[i] == -9999.0F || std::isnan(a[i]), mb = b[i] == -9999.0F || std::isnan(b[i]);
    if (ma != mb) return 1.0;
    if (ma) continue;
    worst = std::max(worst, std::fabs(static_cast<double>(a[i]) - b[i]) / std::max(1.0, std::fabs(static_cast<double>(b[i]))));
  }
  return worst;
}


// The work directory with everything the programs read; built once per run.
struct Setup {
  std::string dir, error, ncl, ncl_error;
  std::vector<std::string> ours_argv, base_argv, ncl_argv, env;

  Setup() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp != nullptr ? tmp : "/tmp") + "/stacont_e2e_large_XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) {
      error = "cannot make a work directory";
      return;
    }
    dir = tmpl;
    for (const char* sub : {"/no-resource-files", "/ours", "/baseline"}) ::mkdir((dir + sub).c_str(), 0755);
    if (!write_stations(dir)) {
      error = "cannot write the stations";
      dir.clear();
      return;
    }
    char domain[80];
    std::snprintf(domain, sizeof domain, "ll,%g,%g,%d,%d,%g,%g", kClat, kClon, kNx, kNy, kDlon, kDlat);
    // Every station (-pr 9), weight 1, radius 3, three passes; an existing grid is
    // overwritten (-pf over) rather than kept, so that every run analyses.
    ours_argv = {STACONT_BINARY, "-ba", "-fp", kDataDir, "-pr", "9", "-pd", domain, "-va", "temp",
                 "-oa", "1,3,3", "-pl", "none", "-of", "cdf", "-pf", "over", "-gp", "ours", "obs_2026031412.csv"};
    env = {"zavdefault=" + dir + "/no-resource-files"};
    const char* baseline = std::getenv("STACONT_E2E_BASELINE");
    if (baseline != nullptr && *baseline != '\0') {
      base_argv = ours_argv;
      base_argv[0] = baseline;
      base_argv[base_argv.size() - 2] = "baseline";
    }
    ncl = find_on_path("ncl");
    if (ncl.empty()) {
      ncl_error = "ncl is not installed (Debian package ncl-ncarg): comparison skipped";
      return;
    }
    char grid[160];
    std::snprintf(grid, sizeof grid, "  glon = fspan(%.4f, %.4f, %d)\n  glat = fspan(%.4f, %.4f, %d)\n", kLon0,
                  kLon0 + (kNx - 1) * kDlon, kNx, kLat0, kLat0 + (kNy - 1) * kDlat, kNy);
    write_text(dir + "/job.ncl", "begin\n" + std::string("  d = asciiread(\"stations.txt\", (/") +
                                     std::to_string(kStations) + ", 3/), \"float\")\n" + grid +
                                     "  g = obj_anal_ic(d(:,0), d(:,1), d(:,2), glon, glat, (/0.45, 0.3, 0.15/), False)\n"
                                     "  g!0 = \"lat\"\n  g!1 = \"lon\"\n  g&lat = glat\n  g&lon = glon\n"
                                     "  system(\"rm -f ncl.nc\")\n  f = addfile(\"ncl.nc\", \"c\")\n  f->temp = g\nend\n");
    ncl_argv = {ncl, "-Q", "-n", "job.ncl"};
  }

  ~Setup() {
    if (dir.empty()) return;
    const char* keep = std::getenv("STACONT_E2E_KEEP");
    if (keep != nullptr && *keep != '\0' && std::strcmp(keep, "0") != 0) {
      std::fprintf(stderr, "large_e2e_bench: work directory kept: %s\n", dir.c_str());
      return;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  std::string grid(const char* sub) const { return dir + "/" + sub + "/" + kGridFile; }
};

Setup& setup() {
  static Setup s;
  return s;
}


// The range of our grid beside that of the stations (4 to 79 F): an analysis that
// went wrong leaves it, or leaves points empty.
void grid_counters(benchmark::State& state, const Setup& s) {
  const std::vector<float> g = read_grid(s.grid("ours"), true);
  if (g.empty()) {
    state.SkipWithError(("no grid in " + s.grid("ours")).c_str());
    return;
  }
  const auto [lo, hi] = std::minmax_element(g.begin(), g.end());
  state.counters["grid_min"] = *lo;
  state.counters["grid_max"] = *hi;
  if (*lo < -20.0F || *hi > 90.0F) state.SkipWithError("the grid leaves the range of the stations");
}

void BM_LargeJob(benchmark::State& state) {
  Setup& s = setup();
  if (s.dir.empty()) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  Series ours;
  if (!time_each_iteration(state, ours, s.ours_argv, s.dir, s.dir + "/ours.log", s.env)) return;
  state.counters["wall_s"] = median(ours.wall);
  state.counters["cpu_s"] = median(ours.cpu);
  grid_counters(state, s);
}
BENCHMARK(BM_LargeJob)->UseManualTime()->Iterations(11)->Unit(benchmark::kMillisecond);

// Ours, the baseline and NCL in turn; the iteration time is ours, the counters compare.
void BM_LargeVsNcl(benchmark::State& state) {
  Setup& s = setup();
  if (s.dir.empty()) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  if (s.ncl.empty()) std::fprintf(stderr, "large_e2e_bench: %s\n", s.ncl_error.c_str());
  Series ours, base, ncl;
  for (auto _ : state) {
    if (!s.base_argv.empty() && !base.run(s.base_argv, s.dir, s.dir + "/baseline.log", s.env)) {
      state.SkipWithError(("the baseline failed; see " + s.dir + "/baseline.log").c_str());
      return;
    }
    if (!s.ncl.empty() && !ncl.run(s.ncl_argv, s.dir, s.dir + "/ncl.log")) {
      state.SkipWithError(("ncl failed; see " + s.dir + "/ncl.log").c_str());
      return;
    }
    if (!ours.run(s.ours_argv, s.dir, s.dir + "/ours.log", s.env)) {
      state.SkipWithError(("stacont failed; see " + s.dir + "/ours.log").c_str());
      return;
    }
    state.SetIterationTime(ours.wall.back());
  }
  const double ow = median(ours.wall), oc = median(ours.cpu);
  state.counters["stacont_wall_s"] = ow;
  state.counters["stacont_cpu_s"] = oc;
  grid_counters(state, s);
  const std::vector<float> mine = read_grid(s.grid("ours"), true);
  if (!ncl.cpu.empty()) {
    const double nw = median(ncl.wall), nc = median(ncl.cpu);
    state.counters["ncl_wall_s"] = nw;
    state.counters["ncl_cpu_s"] = nc;
    state.counters["ncl_wall_ratio"] = ow > 0.0 ? nw / ow : 0.0;
    state.counters["ncl_cpu_ratio"] = oc > 0.0 ? nc / oc : 0.0;
    // Two methods, so not equal: the mean difference says both analysed the same field.
    const std::vector<float> theirs = read_grid(s.dir + "/ncl.nc", false);
    double sum = 0.0;
    for (std::size_t i = 0; i < theirs.size() && i < mine.size(); ++i) sum += std::fabs(theirs[i] - mine[i]);
    state.counters["ncl_mean_abs_diff"] = theirs.size() == mine.size() ? sum / static_cast<double>(mine.size()) : -1.0;
  }
  if (!base.cpu.empty()) {
    const double bw = median(base.wall), bc = median(base.cpu);
    state.counters["baseline_wall_s"] = bw;
    state.counters["baseline_cpu_s"] = bc;
    state.counters["baseline_cpu_ratio"] = oc > 0.0 ? bc / oc : 0.0;
    state.counters["baseline_max_rel_diff"] = max_rel_diff(mine, read_grid(s.grid("baseline"), true));
  }
}

int comparison_iterations() {
  const char* n = std::getenv("STACONT_E2E_ITERATIONS");
  const int k = n != nullptr ? std::atoi(n) : 0;
  return k > 0 ? k : 11;
}
BENCHMARK(BM_LargeVsNcl)->UseManualTime()->Iterations(comparison_iterations())->Unit(benchmark::kMillisecond);

}  // namespace
