// End to end: the batch job that analyses one sample hour (about 2,000 stations) onto the
// "us" domain and draws colour fill, line contours and the map to an EPS file, timed as a
// process next to GrADS doing the same work on the same stations (its oacres analysis,
// shaded and line contours, low-resolution map, gxprint to EPS). Both run in turn in
// every iteration, so both see the same machine load; the counters are medians of the
// wall-clock and processor (user + system) times of each process and their ratios
// (GrADS over ours: above 1 means we are faster).
//
// The stations are written once per run in GrADS's station-data form through the
// program's own readers (the hour's reports, positions from the station database), with
// the control file, the stnmap index, a 25 x 17 latitude-longitude target grid like the
// "us" analysis grid and the script. Without grads (or stnmap) on the path the
// comparison is skipped with a message and only our job is timed.
//
// Environment: STACONT_E2E_KEEP=1 keeps the work directory (its EPS files are
// stacont.eps and grads.eps) and prints its name. STACONT_E2E_BASELINE names another
// stacont binary (a build of an earlier commit) that runs the same job in every iteration
// too, in turn with the other two, writing baseline.eps; its medians and the ratio of its
// processor time to ours are added.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/process.h"
#include "config/mess.h"
#include "config/missing.h"
#include "surface/cty_read.h"
#include "surface/sfc_read.h"


namespace {

const std::string kSourceDir = STACONT_SOURCE_DIR;
const std::string kDataDir = kSourceDir + "/data";
const std::string kSample = kDataDir + "/sample/2026031412.sfc";

// The "us" analysis grid is 25 x 17 points about 200 km apart over a polar stereographic
// map that spans roughly 22-54N and 126-66W at its middle; GrADS analyses onto the
// latitude-longitude grid of the same size over that box.
constexpr int kNx = 25, kNy = 17;
constexpr double kLon0 = -126.0, kDlon = 2.5, kLat0 = 22.0, kDlat = 2.0;

std::string find_on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    std::string dir = dirs.substr(start, colon - start);
    if (dir.empty()) dir = ".";
    const std::string file = dir + "/" + name;
    if (::access(file.c_str(), X_OK) == 0) return file;
    start = colon + 1;
  }
  return "";
}

// One station of the hour: identifier, position and temperature (F).
struct Station {
  std::string id;
  float lat, lon, temp;
};

// The hour's reports with a temperature and a position (their own, else the database's).
std::vector<Station> read_stations() {
  std::unordered_map<std::string, std::pair<float, float>> where;
  const int db = CTY_open((kDataDir + "/" + CTY_DEFAULT_FILE).c_str());
  if (db >= 0) {
    CityRec rec{};
    while (CTY_read(db, &rec) >= 0)
      if (CTY_has_call(&rec) && CTY_position_usable(&rec)) where.emplace(rec.id, std::make_pair(rec.lat, rec.lon));
    CTY_close(db);
  }
  std::vector<Station> out;
  int form = 0;
  const int fd = SFC_open(kSample.c_str(), 0, &form);
  if (fd < 0) return out;
  sfc_report r{};
  for (int index = 0; SFC_read(fd, &r, 0, &index) == 0; ++index) {
    if (r.temp == MISSING) continue;
    float lat = r.lat, lon = r.lon;
    if (lat == MISSING || lon == MISSING) {
      auto it = where.find(r.id);
      if (it == where.end()) continue;
      lat = it->second.first;
      lon = it->second.second;
    }
    out.push_back({r.id, lat, lon, r.temp});
  }
  SFC_close(fd);
  return out;
}

// GrADS station data: per report an 8-character identifier, latitude, longitude, time
// offset, number of level groups and the surface flag, then the surface values; a
// header with no level groups ends the time group. Native byte order.
struct StnHeader {
  char id[8];
  float lat, lon, t;
  std::int32_t nlev, flag;
};
static_assert(sizeof(StnHeader) == 28);

bool write_station_file(const std::string& path, const std::vector<Station>& stations) {
  std::ofstream f(path, std::ios::binary);
  for (const Station& s : stations) {
    StnHeader h{};
    std::memset(h.id, ' ', sizeof h.id);
    std::memcpy(h.id, s.id.data(), std::min(s.id.size(), sizeof h.id));
    h.lat = s.lat;
    h.lon = s.lon;
    h.t = 0.0F;
    h.nlev = 1;
    h.flag = 1;
    f.write(reinterpret_cast<const char*>(&h), sizeof h);
    f.write(reinterpret_cast<const char*>(&s.temp), sizeof s.temp);
  }
  StnHeader end{};
  std::memset(end.id, ' ', sizeof end.id);
  f.write(reinterpret_cast<const char*>(&end), sizeof end);
  return static_cast<bool>(f);
}

bool write_text(const std::string& path, const std::string& text) {
  std::ofstream f(path);
  f << text;
  return static_cast<bool>(f);
}

std::string fmt(const char* format, double a, double b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

// The work directory with everything both programs read; built once per run.
struct Setup {
  std::string dir;
  std::string grads, error;
  std::size_t stations = 0;
  std::vector<std::string> stacont_argv;
  std::vector<std::string> stacont_env;
  std::vector<std::string> grads_argv;
  std::vector<std::string> baseline_argv;  // empty without STACONT_E2E_BASELINE

  Setup() {
    MESS_set(0, 0);
    std::string tmpl = std::string(std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp") + "/stacont_e2e_XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) {
      error = "cannot make a work directory";
      return;
    }
    dir = tmpl;
    ::mkdir((dir + "/no-resource-files").c_str(), 0755);
    // Every station of the hour (-pr 9), as GrADS gets them; resource files switched off.
    stacont_argv = {STACONT_BINARY, "-ba", "-fp", kDataDir, "-pr", "9", "-pd", "us", "-va", "temp",
                    "-pl", "lcf", "-of", "none", "-de", "p,stacont.eps,eps,color", kSample};
    stacont_env = {"zavdefault=" + dir + "/no-resource-files"};
    const char* baseline = std::getenv("STACONT_E2E_BASELINE");
    if (baseline != nullptr && *baseline != '\0') {
      baseline_argv = stacont_argv;
      baseline_argv[0] = baseline;
      baseline_argv[baseline_argv.size() - 2] = "p,baseline.eps,eps,color";
    }

    grads = find_on_path("grads");
    const std::string stnmap = find_on_path("stnmap");
    if (grads.empty() || stnmap.empty()) {
      error = "grads and stnmap are not installed (Debian package grads): comparison skipped";
      grads.clear();
      return;
    }
    const std::vector<Station> st = read_stations();
    stations = st.size();
    if (st.empty() || !write_station_file(dir + "/stations.dat", st)) {
      error = "cannot convert the sample stations";
      grads.clear();
      return;
    }
    write_text(dir + "/stations.ctl",
               "DSET ^stations.dat\nDTYPE station\nSTNMAP ^stations.map\nUNDEF -9999.0\n"
               "TITLE sample surface temperature 12 UTC 14 March 2026\n"
               "TDEF 1 LINEAR 12Z14MAR2026 1HR\nVARS 1\nts 0 99 temperature (F)\nENDVARS\n");
    const ProcessTimes map = run_in({stnmap, "-i", "stations.ctl"}, dir, dir + "/stnmap.log");
    if (map.cpu < 0.0) {
      error = "stnmap failed; see " + dir + "/stnmap.log";
      grads.clear();
      return;
    }
    {
      std::vector<float> zeros(kNx * kNy, 0.0F);
      std::ofstream g(dir + "/grid.dat", std::ios::binary);
      g.write(reinterpret_cast<const char*>(zeros.data()), static_cast<std::streamsize>(zeros.size() * sizeof(float)));
    }
    write_text(dir + "/grid.ctl",
               "DSET ^grid.dat\nTITLE analysis grid\nUNDEF -9999.0\n" + fmt("XDEF 25 LINEAR %g %g\n", kLon0, kDlon) +
                   fmt("YDEF 17 LINEAR %g %g\n", kLat0, kDlat) +
                   "ZDEF 1 LEVELS 1000\nTDEF 1 LINEAR 12Z14MAR2026 1HR\nVARS 1\ng 0 99 target grid\nENDVARS\n");
    const double lon1 = kLon0 + (kNx - 1) * kDlon, lat1 = kLat0 + (kNy - 1) * kDlat;
    write_text(dir + "/job.gs", "'open grid.ctl'\n'open stations.ctl'\n" + fmt("'set lon %g %g'\n", kLon0, lon1) +
                                    fmt("'set lat %g %g'\n", kLat0, lat1) +
                                    "'set mpdset lowres'\n"
                                    "'define t = oacres(g.1, ts.2)'\n"
                                    "'set gxout shaded'\n'd t'\n"
                                    "'set gxout contour'\n'd t'\n"
                                    "'gxprint grads.eps white'\n'quit'\n");
    grads_argv = {grads, "-blc", "run job.gs"};
  }

  ~Setup() {
    if (dir.empty()) return;
    const char* keep = std::getenv("STACONT_E2E_KEEP");
    if (keep != nullptr && *keep != '\0' && std::strcmp(keep, "0") != 0) {
      std::fprintf(stderr, "e2e_bench: work directory kept: %s\n", dir.c_str());
      return;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Setup& setup() {
  static Setup s;
  return s;
}


// True when the file begins as an encapsulated PostScript file does.
bool is_eps(const std::string& path) {
  std::ifstream f(path);
  std::string first;
  std::getline(f, first);
  return first.rfind("%!PS-Adobe-", 0) == 0 && first.find("EPSF") != std::string::npos;
}

long file_size(const std::string& path) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<long>(n);
}

// Our job alone: runs whether or not GrADS is there.
void BM_StacontJob(benchmark::State& state) {
  Setup& s = setup();
  if (s.dir.empty()) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  Series ours;
  if (!time_each_iteration(state, ours, s.stacont_argv, s.dir, s.dir + "/stacont.log", s.stacont_env)) return;
  if (!is_eps(s.dir + "/stacont.eps")) state.SkipWithError("stacont wrote no EPS file");
  state.counters["wall_s"] = median(ours.wall);
  state.counters["cpu_s"] = median(ours.cpu);
  state.counters["page_faults"] = median(ours.faults);
  state.counters["eps_bytes"] = static_cast<double>(file_size(s.dir + "/stacont.eps"));
}
BENCHMARK(BM_StacontJob)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// Both jobs in turn; the iteration time is ours, the counters compare.
void BM_StacontVsGrads(benchmark::State& state) {
  Setup& s = setup();
  if (s.grads.empty()) {
    std::fprintf(stderr, "e2e_bench: %s\n", s.error.c_str());
    state.SkipWithError(s.error.c_str());
    return;
  }
  Series ours, grads, base;
  for (auto _ : state) {
    if (!s.baseline_argv.empty() && !base.run(s.baseline_argv, s.dir, s.dir + "/baseline.log", s.stacont_env)) {
      state.SkipWithError(("the baseline failed; see " + s.dir + "/baseline.log").c_str());
      break;
    }
    if (!grads.run(s.grads_argv, s.dir, s.dir + "/grads.log") ||
        !ours.run(s.stacont_argv, s.dir, s.dir + "/stacont.log", s.stacont_env)) {
      state.SkipWithError(("a job failed; see the logs in " + s.dir).c_str());
      break;
    }
    state.SetIterationTime(ours.wall.back());
  }
  if (!is_eps(s.dir + "/stacont.eps") || !is_eps(s.dir + "/grads.eps"))
    state.SkipWithError(("an EPS file is missing; see " + s.dir).c_str());
  const double ow = median(ours.wall), oc = median(ours.cpu), gw = median(grads.wall), gc = median(grads.cpu);
  state.counters["stations"] = static_cast<double>(s.stations);
  state.counters["stacont_wall_s"] = ow;
  state.counters["grads_wall_s"] = gw;
  state.counters["wall_ratio"] = ow > 0.0 ? gw / ow : 0.0;
  state.counters["stacont_cpu_s"] = oc;
  state.counters["stacont_faults"] = median(ours.faults);
  state.counters["grads_cpu_s"] = gc;
  state.counters["cpu_ratio"] = oc > 0.0 ? gc / oc : 0.0;
  state.counters["grads_eps_bytes"] = static_cast<double>(file_size(s.dir + "/grads.eps"));
  state.counters["stacont_eps_bytes"] = static_cast<double>(file_size(s.dir + "/stacont.eps"));
  if (!base.cpu.empty()) {
    const double bw = median(base.wall), bc = median(base.cpu);
    state.counters["baseline_wall_s"] = bw;
    state.counters["baseline_cpu_s"] = bc;
    state.counters["baseline_cpu_ratio"] = oc > 0.0 ? bc / oc : 0.0;
    state.counters["baseline_faults"] = median(base.faults);
  }
}
BENCHMARK(BM_StacontVsGrads)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
