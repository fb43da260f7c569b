// Is the leave-one-out line honest? Withholds a tenth of the stations (seeded), analyses
// the others, and compares the RMS error at the withheld stations with the RMS error the
// leave-one-out values of the full analysis report, for every variable of a station-value
// file and every pass; then the same over all ten tenths in turn.
//
// usage: holdout_check RAWFILE [domain] [passes] [seed] [fraction]
//   RAWFILE  a ZAVRAW file with "id lat lon" and value columns (stacont -of raw)
//   domain   the analysis grid (default the "us" region: ps:-97,39,-97,25,17,2.3,2.3)
//   passes   analysis passes (default 3), with filter 1, radius 3, convergence 0.2
//   seed     default 31; fraction default 0.1
// Reports the buddy check (k 4) rejects are left out; then the check is off.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "analysis/object.h"
#include "config/mess.h"
#include "plot/maptran.h"
#include "plot/region.h"

namespace {

constexpr float MISS = -9999.0f;

struct Stations {
  std::vector<std::string> names;  // variable names
  std::vector<float> lat, lon;
  std::vector<std::vector<float>> values;  // per variable
};

bool read_raw(const char* file, Stations* st) {
  std::ifstream in(file);
  std::string line;
  if (!std::getline(in, line) || line.rfind("ZAVRAW", 0) != 0) return false;
  bool body = false;
  while (std::getline(in, line)) {
    if (!body) {
      if (line == "$") {
        body = true;
        st->values.resize(st->names.size());
      } else if (line.find("::") != std::string::npos) {
        st->names.push_back(line.substr(0, line.find("::")));
      }
      continue;
    }
    std::istringstream is(line);
    std::string id, la, lo;
    if (!(is >> id >> la >> lo)) continue;
    st->lat.push_back(std::strtof(la.c_str(), nullptr));
    st->lon.push_back(std::strtof(lo.c_str(), nullptr));
    for (auto& v : st->values) {
      std::string t;
      is >> t;
      v.push_back(t.empty() || t == "-" ? MISS : std::strtof(t.c_str(), nullptr));
    }
  }
  return !st->lat.empty();
}

// One analysis of one variable; returns the grid and the stations' grid coordinates.
std::vector<float> analyse(const DomainRec& dom, const Stations& st, std::vector<float> val, int passes, bool cv,
                           std::vector<float>* gx, std::vector<float>* gy, float buddy) {
  MAP_domain(&dom);
  const int n = static_cast<int>(st.lat.size());
  gx->assign(static_cast<std::size_t>(n), 0.0f);
  gy->assign(static_cast<std::size_t>(n), 0.0f);
  for (int s = 0; s < n; ++s) MAP_tran(&(*gx)[s], &(*gy)[s], st.lat[s], st.lon[s]);
  std::vector<float> grid(static_cast<std::size_t>(dom.nx) * dom.ny, MISS);
  std::vector<GridRec> grids(GRD_MAX_SLOTS);
  grids[0].domain = dom;
  grids[0].values = grid.data();
  float* data[1] = {val.data()};
  OBJ_initialize();
  OBJ_set_filter(1.0f);
  OBJ_set_rad_inf(3.0f);
  OBJ_set_num_pass(passes);
  OBJ_set_buddy(buddy, 4);
  OBJ_set_cross_valid(cv ? 1 : 0);
  OBJ_analyze(gx->data(), gy->data(), data, n, 1, grids.data());
  return grid;
}

float at(const std::vector<float>& g, const DomainRec& d, float x, float y) {
  if (!(x >= 0.0f && y >= 0.0f && x <= d.nx - 1.0f && y <= d.ny - 1.0f)) return MISS;
  const int i = std::min(static_cast<int>(x), d.nx - 2), j = std::min(static_cast<int>(y), d.ny - 2);
  const float fx = x - i, fy = y - j;
  const float a = g[j * d.nx + i], b = g[j * d.nx + i + 1], c = g[(j + 1) * d.nx + i], e = g[(j + 1) * d.nx + i + 1];
  if (a == MISS || b == MISS || c == MISS || e == MISS) return MISS;
  return (1 - fx) * (1 - fy) * a + fx * (1 - fy) * b + (1 - fx) * fy * c + fx * fy * e;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: holdout_check RAWFILE [domain] [passes] [seed] [fraction]\n");
    return 2;
  }
  MESS_set(0, MESS_PRINT);
  Stations st;
  if (!read_raw(argv[1], &st)) {
    std::fprintf(stderr, "holdout_check: %s: not a station-value file\n", argv[1]);
    return 1;
  }
  DomainRec dom{};
  if (DOM_decode(argc > 2 ? argv[2] : "ps:-97,39,-97,25,17,2.3,2.3", &dom) == 0) return 1;
  const int passes = argc > 3 ? std::atoi(argv[3]) : 3;
  const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 31u;
  const double fraction = argc > 5 ? std::atof(argv[5]) : 0.1;
  MESS_set(0, 0);
  for (std::size_t k = 0; k < st.names.size(); ++k) {
    std::vector<float> gx, gy;
    // The reports the buddy check rejects are left out of both numbers: a gross error
    // dominates any RMS it enters, and which tenth it falls into would decide the result.
    std::vector<float> values = st.values[k];
    analyse(dom, st, values, passes, false, &gx, &gy, 4.0f);
    int rejected = 0;
    for (int s = 0; s < static_cast<int>(gx.size()); ++s)
      if (OBJ_rejected(0, s)) values[s] = MISS, ++rejected;
    analyse(dom, st, values, 1, true, &gx, &gy, 0.0f);
    // The stations that have a value and a first-pass leave-one-out value (later passes give
    // none where a station's own weight is nearly all), in a seeded order: the
    // first tenth is withheld, then the next, ten times, so that every station is
    // withheld once.
    std::vector<int> cand;
    for (int s = 0; s < static_cast<int>(gx.size()); ++s)
      if (values[s] != MISS && OBJ_loo_value(0, s) != MISS) cand.push_back(s);
    std::mt19937 gen(seed);
    std::shuffle(cand.begin(), cand.end(), gen);
    const int folds = std::max(1, static_cast<int>(std::lround(1.0 / fraction)));
    std::printf("%s: %zu stations, %d rejected by the buddy check, %zu checked; %d tenths of %zu (seed %u)\n",
                st.names[k].c_str(), gx.size(), rejected, cand.size(), folds, cand.size() / folds, seed);
    for (int p = 1; p <= passes; ++p) {
      std::vector<float> x2, y2;
      analyse(dom, st, values, p, true, &x2, &y2, 0.0f);
      double bias = 0, rms = 0, mx = 0;
      int count = 0;
      OBJ_loo_stats(0, p, &bias, &rms, &mx, &count);
      double sum_first = 0, sum_all = 0;
      int m_first = 0, m_all = 0;
      for (int f = 0; f < folds; ++f) {
        const std::size_t lo = cand.size() * f / folds, hi = cand.size() * (f + 1) / folds;
        std::vector<float> held = values;
        for (std::size_t c = lo; c < hi; ++c) held[cand[c]] = MISS;
        const std::vector<float> g = analyse(dom, st, held, p, false, &x2, &y2, 0.0f);
        for (std::size_t c = lo; c < hi; ++c) {
          const float a = at(g, dom, x2[cand[c]], y2[cand[c]]);
          if (a == MISS) continue;
          const double e = values[cand[c]] - a;
          sum_all += e * e, ++m_all;
          if (f == 0) sum_first += e * e, ++m_first;
        }
      }
      const double first = m_first > 0 ? std::sqrt(sum_first / m_first) : 0.0;
      const double all = m_all > 0 ? std::sqrt(sum_all / m_all) : 0.0;
      std::printf("  pass %d: leave-one-out RMS %.3f (%d)  withheld: first tenth %.3f (%d) ratio %.3f,"
                  " all tenths %.3f (%d) ratio %.3f\n",
                  p, rms, count, first, m_first, rms > 0 ? first / rms : 0.0, all, m_all, rms > 0 ? all / rms : 0.0);
    }
  }
  return 0;
}
