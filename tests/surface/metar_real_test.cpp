// Real bulletin collections read by the program (OBS_read_reports) and compared, report by
// report, with the values an independent reading gives them (tests/surface/data/
// metar_real_cases.tsv). Reports are matched by station, day, time and kind.
#include "surface/obs_read.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "surface/metar.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"

namespace {

using Key = std::tuple<std::string, int, int, int, int>;  // id, day, hour, minute, kind

struct Case {
  std::string file;
  Key key;
  double v[8];  // temp, dewp, wdir, wspd, gust, alt, slp, vis; -9999 missing
  std::string layers;
  char tot;
};
constexpr const char* kNames[8] = {"temperature C", "dew point C", "wind direction", "wind speed kt",
                                   "gust kt",       "altimeter inHg", "sea-level pressure hPa", "visibility SM"};
constexpr double kTolerance[8] = {0.01, 0.01, 0.001, 0.001, 0.001, 0.0005, 0.05, 0.001};

bool missing(double v) { return v <= -9998.0; }

std::map<std::string, std::vector<Case>> read_cases() {
  std::map<std::string, std::vector<Case>> cases;
  for (const surface_cases::Row& f : surface_cases::rows("metar_real_cases.tsv", "cases")) {
    if (f.size() != 16) {
      ADD_FAILURE() << "bad row: " << f[0] << " " << (f.size() > 1 ? f[1] : "");
      continue;
    }
    Case c{f[0], {f[1], std::stoi(f[2]), std::stoi(f[3]), std::stoi(f[4]), std::stoi(f[5])}, {}, f[14], f[15][0]};
    for (int i = 0; i < 8; ++i) c.v[i] = f[6 + i] == "-" ? -9999.0 : std::stod(f[6 + i]);
    cases["metar_" + c.file + ".txt"].push_back(c);
  }
  return cases;
}

double c_of_f(float f) { return missing(f) ? -9999.0 : (double(f) - 32.0) * 5.0 / 9.0; }

// The differences of one program record from the expected values, as text.
std::string differences(const Case& c, const sfc_report& r) {
  const double got[8] = {c_of_f(r.temp), c_of_f(r.dewp), r.wdir, r.wspd, r.wgust, r.alt, r.slpr, r.vis};
  std::string out;
  for (int i = 0; i < 8; ++i) {
    if (missing(c.v[i]) && missing(got[i])) continue;
    const double lim = i == 7 ? kTolerance[i] * std::abs(c.v[i]) : kTolerance[i];
    if (!missing(c.v[i]) && !missing(got[i]) && std::abs(c.v[i] - got[i]) <= lim) continue;
    out += std::string(" ") + kNames[i] + " expected " + std::to_string(c.v[i]) + " got " + std::to_string(got[i]) + ";";
  }
  std::string layers;
  char b[40];
  for (int k = 0; k < r.ncld && k < 5; ++k)
    std::snprintf(b, sizeof b, "%s%c%.0f", layers.empty() ? "" : " ", r.cld_cov[k], double(r.cld_hgt[k])), layers += b;
  if (layers.empty()) layers = "-";
  if (layers != c.layers) out += " layers expected [" + c.layers + "] got [" + layers + "];";
  if ((c.tot == '-' ? ' ' : c.tot) != r.cld_tot) out += std::string(" total cover expected ") + c.tot + " got '" + r.cld_tot + "';";
  return out;
}

// Every listed report is found, once or as identical repeats, with the expected values (a
// group the program left undecoded shows as a missing value).
TEST(MetarReal, ProgramAgreesWithIndependentReading) {
  const auto cases = read_cases();
  ASSERT_EQ(cases.size(), 2U);
  long compared_all = 0;
  for (const auto& [name, rows] : cases) {
    const std::string path = real_data(name);
    if (path.empty()) GTEST_SKIP() << name << " is not among the real observations";
    ObsList read;
    ObsStats stats;
    OBS_read_reports(read_file(path), &read, &stats);
    std::vector<ObsRec> program;
    for (std::size_t k = 0; k < read.size(); ++k) program.push_back(read.at(k));
    std::map<Key, std::vector<const ObsRec*>> by_key;
    for (const ObsRec& p : program) by_key[{p.r.id, p.day, p.hour, p.minute, p.kind}].push_back(&p);
    long shown = 0;
    for (const Case& c : rows) {
      auto p = by_key.find(c.key);
      if (p == by_key.end()) {
        ADD_FAILURE() << name << ": not found: " << std::get<0>(c.key) << " day " << std::get<1>(c.key);
        continue;
      }
      ++compared_all;
      for (const ObsRec* rec : p->second) {
        const std::string d = differences(c, rec->r);
        if (!d.empty() && ++shown <= 20) ADD_FAILURE() << name << " " << std::get<0>(c.key) << ":" << d;
      }
    }
    EXPECT_EQ(shown, 0) << name;
  }
  EXPECT_GE(compared_all, 2000);
}

}  // namespace
