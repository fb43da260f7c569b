// Checks of the reports as the plot loop reads a file: gross limits value by value in every
// text form (tests/surface/data/limits_cases.txt), duplicate and conflicting reports
// (duplicate_cases.txt), and tables that users write.
#include "surface/sfc_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "config/mess.h"
#include "surface/cty_tool.h"
#include "surface/obs_read.h"
#include "surface/sfc_read.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_report.h"

namespace {

const std::string kCases = std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/";

// One variable of a report as text ("M" when missing).
std::string field(const sfc_report& r, const std::string& name) {
  const float* p = surface_report::value(r, name);
  const float v = p ? *p : name == "cld_hgt" ? r.cld_hgt[0] : name == "ptype" ? static_cast<float>(r.ptype) : -9999.0f;
  return v == -9999.0f ? "M" : surface_report::num(v);
}

// The reports the plot loop reads from file, and what opening it printed.
struct Read {
  std::vector<sfc_report> reports;
  std::string out;
};

Read read_file_checked(const std::string& path) {
  Read r;
  CaptureStdout();
  if (SFC_open_file(path.c_str())) {
    sfc_report report;
    StationRec station{};
    while (SFC_read_report(&report, &station) >= 0) r.reports.push_back(report);
    SFC_close_file();
  }
  r.out = GetCapturedStdout();
  return r;
}

// The lines of text that begin with prefix, joined ("-" when none).
std::string lines_of(const std::string& text, const std::string& prefix) {
  std::string found;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (l.rfind(prefix, 0) == 0) found += (found.empty() ? "" : "\n") + l;
  return found.empty() ? "-" : found;
}

class SfcCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    SFC_set_report_reader(OBS_read_file);
    SFC_set_checks(SFC_check_file, SFC_check_report);
    MESS_set(0, MESS_WARN);  // the count lines and warnings, not the listings
    ASSERT_EQ(SFC_limits_load(""), 25);  // the shipped table, every line of it
  }
  void TearDown() override {
    MESS_reset();
    SFC_limits_load("");
    CTY_clear();
  }
  std::string file(const std::string& name, const std::string& text) {
    write_file(dir_ + "/" + name, text);
    return dir_ + "/" + name;
  }
  // A netCDF file of the report form holding one report: the variables given as "name=value"
  // words, the others missing.
  std::string cdf(const std::string& values) {
    std::string data;
    for (const char* var : {"T", "TD", "DIR", "SPD", "PSL", "ALTIM"}) {
      std::string v = "-9999";
      std::istringstream words(values);
      for (std::string w; words >> w;)
        if (w.rfind(std::string(var) + "=", 0) == 0) v = w.substr(w.find('=') + 1);
      data += std::string(var) + " = " + v + " ; ";
    }
    std::string text = read_file(kCases + "check_report.cdl");
    text.replace(text.find("@VALUES@"), 8, data);
    const std::string cdl = file("r.cdl", text);
    const std::string nc = dir_ + "/r.nc";
    EXPECT_EQ(run_program("/bin/sh", {"-c", "ncgen -o '" + nc + "' '" + cdl + "'"}).status, 0) << cdl;
    return nc;
  }
  std::string dir_ = make_temp_dir("sfc_check");
};

TEST_F(SfcCheck, LimitsPerVariableAndForm) {
  int cases = 0;
  for (const surface_cases::Row& f : surface_cases::rows("limits_cases.txt", "cases")) {
    const std::string line = f[0] + " " + f[1];
    std::string path = f[0] == "cdf" ? cdf(f[1]) : "";
    for (const surface_cases::Row& form : surface_cases::rows("limits_cases.txt", "forms"))
      if (form[0] == f[0]) path = file(form[1], form[2] + f[1] + form[3]);
    ASSERT_FALSE(path.empty()) << "unknown form: " << line;
    const Read r = read_file_checked(path);
    ASSERT_EQ(r.reports.size(), 1u) << line << "\n" << r.out;
    EXPECT_EQ(field(r.reports[0], f[2]), f[3]) << line;
    EXPECT_EQ(lines_of(r.out, "Gross limits:"), f[4]) << line;
    ++cases;
  }
  EXPECT_EQ(cases, 76);
}

TEST_F(SfcCheck, DuplicatesResolvedByTime) {
  const std::vector<surface_cases::Row>& cases = surface_cases::rows("duplicate_cases.txt", "cases");
  ASSERT_EQ(cases.size(), 9u);
  for (const surface_cases::Row& c : cases) {
    const Read r = read_file_checked(file("d.sfc", "ZAVSFC\n12Z 14 MAR 26\n" + c[1]));
    std::string kept;
    for (const sfc_report& rep : r.reports) kept += (kept.empty() ? "" : " ") + std::string(rep.id) + ":" + field(rep, "temp");
    EXPECT_EQ(kept, c[2]) << c[0];
    EXPECT_EQ(lines_of(r.out, "Duplicates:"), c[3]) << c[0];
  }
}

// A dense network: ten thousand stations a few kilometres apart, each reporting twice (the
// report nearer the hour stays), and two pairs of other stations far north, where a degree
// of longitude is short: 0.99 km apart (one place, values that disagree: one is set aside)
// and 1.01 km apart (two places).
TEST(SfcCheckDense, EveryStationOnceAndOnePlaceWithinAKilometre) {
  MESS_set(0, MESS_WARN);  // not the ten thousand lines of what was set aside
  std::vector<SfcDupEntry> e;
  auto add = [&e](const std::string& id, float lat, float lon, int time, float temp) {
    SfcDupEntry x;
    std::snprintf(x.id, sizeof x.id, "%s", id.c_str());
    x.lat = lat, x.lon = lon, x.time = time, x.minutes = SFC_minutes_from_hour(time, 12, 0), x.temp = temp;
    x.values = 1;
    e.push_back(x);
  };
  char id[16];
  for (int pass = 0; pass < 2; ++pass)
    for (int k = 0; k < 10000; ++k) {
      std::snprintf(id, sizeof id, "S%05d", k);
      add(id, 10.0f + 0.02f * static_cast<float>(k % 100), -100.0f + 0.05f * static_cast<float>(k / 100),
          pass == 0 ? 1140 : 1155, pass == 0 ? 10.0f : 11.0f);
    }
  const double degree = 111.195 * std::cos(70.0 * 3.14159265358979323846 / 180.0);  // km
  add("NEAR1", 70.0f, 20.0f, 1200, 10.0f);
  add("NEAR2", 70.0f, static_cast<float>(20.0 + 0.99 / degree), 1200, 20.0f);
  add("FAR1", 70.0f, 30.0f, 1200, 10.0f);
  add("FAR2", 70.0f, static_cast<float>(30.0 + 1.01 / degree), 1200, 20.0f);
  SfcDupStats st;
  const std::vector<char> keep = SFC_resolve_duplicates(e, &st);
  ASSERT_EQ(keep.size(), e.size());
  int first = 0, second = 0;
  for (int k = 0; k < 10000; ++k) {
    first += keep[static_cast<std::size_t>(k)];
    second += keep[static_cast<std::size_t>(10000 + k)];
  }
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 10000);
  EXPECT_EQ(std::string(keep.end() - 4, keep.end()), std::string("\1\0\1\1", 4));
  EXPECT_EQ(st.dropped, 10001);
  EXPECT_EQ(st.stations, 10001);
  EXPECT_EQ(st.reports, 20002);
  MESS_reset();
}

// Reports at one place under different identifiers, where the search for neighbours has
// edges: across the date line, at both poles, on the borders of the bands of latitude it
// sorts by, in a dense cluster, and with longitudes beyond +-180. What is kept must be what
// every pair measured against every other gives: a reference that joins each pair within a
// kilometre (the distance as the check measures it) and resolves the groups as the check does.
TEST(SfcCheckDense, SamePlaceAsEveryPairMeasured) {
  MESS_set(0, MESS_WARN);
  std::vector<SfcDupEntry> e;
  unsigned seed = 7;
  auto uniform = [&seed](double lo, double hi) {
    seed = seed * 1664525u + 1013904223u;
    return lo + (hi - lo) * (seed >> 8) / 16777216.0;
  };
  auto add = [&](double lat, double lon) {
    SfcDupEntry x;
    std::snprintf(x.id, sizeof x.id, "P%05zu", e.size());
    x.lat = static_cast<float>(lat), x.lon = static_cast<float>(lon);
    x.time = 1200;
    x.minutes = static_cast<int>(uniform(-30.0, 30.0));
    x.values = 1 + static_cast<int>(uniform(0.0, 3.0));
    x.temp = static_cast<float>(uniform(0.0, 100.0));
    e.push_back(x);
  };
  const double band = 1.0 / 111.195;
  for (int k = 0; k < 600; ++k) {
    // Across the date line, sparse enough that most places are pairs, some in two bands.
    const double lon = uniform(179.9, 180.1);
    add(60.0 + uniform(-0.2, 0.2), lon > 180.0 ? lon - 360.0 : lon);
    add(uniform(89.99, 90.0), uniform(-180.0, 180.0));                   // round the north pole
    add(uniform(-90.0, -89.99), uniform(-180.0, 180.0));                 // and the south
    add(40.0 + uniform(-0.02, 0.02), -100.0 + uniform(-0.03, 0.03));     // a dense cluster
    add((3000 + static_cast<int>(uniform(0.0, 4.0))) * band + uniform(-1e-5, 1e-5),
        10.0 + uniform(-0.01, 0.01));  // on the borders of the bands
  }
  for (int k = 0; k < 10; ++k) add(60.0 + uniform(-0.01, 0.01), k % 2 ? 540.0 - 0.001 * k : -180.0 - 0.001 * k);
  const std::size_t n = e.size();

  // The reference: every pair.
  const double rad = 3.14159265358979323846 / 180.0;
  auto km = [&](const SfcDupEntry& a, const SfcDupEntry& b) {
    const double dlat = (a.lat - b.lat) * 111.195;
    double dlon = std::fabs(a.lon - b.lon);
    if (dlon > 180.0) dlon = 360.0 - dlon;
    dlon *= 111.195 * std::cos(0.5 * (a.lat + b.lat) * rad);
    return std::sqrt(dlat * dlat + dlon * dlon);
  };
  std::vector<std::size_t> parent(n);
  for (std::size_t i = 0; i < n; ++i) parent[i] = i;
  auto root = [&parent](std::size_t i) {
    while (parent[i] != i) i = parent[i];
    return i;
  };
  std::vector<char> grouped(n, 0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      const float dl = std::fabs(e[i].lat - e[j].lat);
      if (dl <= band && km(e[i], e[j]) <= 1.0) {
        parent[root(i)] = root(j);
        grouped[i] = grouped[j] = 1;
      }
    }
  std::vector<char> want(n, 1);
  long dropped = 0, stations = 0;
  std::vector<char> done(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    if (!grouped[i] || done[root(i)]) continue;
    done[root(i)] = 1;
    std::vector<std::size_t> members;
    for (std::size_t j = i; j < n; ++j)
      if (grouped[j] && root(j) == root(i)) members.push_back(j);
    bool same = true;
    for (std::size_t a : members)
      for (std::size_t b : members) same = same && std::fabs(e[a].temp - e[b].temp) <= 2.0f * 1.01f;
    if (same) continue;
    std::size_t winner = members.front();
    for (std::size_t m : members) {
      const int dm = std::abs(e[m].minutes), dw = std::abs(e[winner].minutes);
      if (dm < dw || (dm == dw && e[m].values > e[winner].values)) winner = m;
    }
    for (std::size_t m : members)
      if (m != winner) want[m] = 0, ++dropped;
    ++stations;
  }
  ASSERT_GT(dropped, 500);  // the edges are crowded enough to matter

  SfcDupStats st;
  const std::vector<char> keep = SFC_resolve_duplicates(e, &st);
  ASSERT_EQ(keep.size(), n);
  std::size_t differ = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (keep[i] != want[i] && ++differ <= 5)
      ADD_FAILURE() << e[i].id << " at " << e[i].lat << ", " << e[i].lon << ": kept " << int(keep[i]) << ", want "
                    << int(want[i]);
  EXPECT_EQ(differ, 0u);
  EXPECT_EQ(st.dropped, dropped);
  EXPECT_EQ(st.stations, stations);
  MESS_reset();
}

// What was set aside at one place is told group by group in the order of their first reports.
TEST(SfcCheckDense, SamePlaceToldInFileOrder) {
  std::vector<SfcDupEntry> e;
  auto add = [&e](const char* id, float lat, float temp, int minutes) {
    SfcDupEntry x;
    std::snprintf(x.id, sizeof x.id, "%s", id);
    x.lat = lat, x.lon = 20.0f, x.time = 1200 + minutes, x.minutes = minutes, x.temp = temp, x.values = 1;
    e.push_back(x);
  };
  add("NORTH1", 70.0f, 10.0f, 0);
  add("SOUTH1", -40.0f, 10.0f, 0);
  add("EQ1", 0.0f, 10.0f, 0);
  add("EQ2", 0.001f, 30.0f, 5);
  add("SOUTH2", -40.001f, 30.0f, 5);
  add("NORTH2", 70.001f, 30.0f, 5);
  MESS_set(0, MESS_MESS);
  CaptureStdout();
  CaptureStderr();
  SfcDupStats st;
  SFC_resolve_duplicates(e, &st);
  const std::string said = GetCapturedStdout() + GetCapturedStderr();
  MESS_reset();
  const std::size_t north = said.find("NORTH2"), south = said.find("SOUTH2"), eq = said.find("EQ2");
  ASSERT_NE(north, std::string::npos) << said;
  ASSERT_NE(south, std::string::npos) << said;
  ASSERT_NE(eq, std::string::npos) << said;
  EXPECT_LT(north, south) << said;
  EXPECT_LT(south, eq) << said;
  EXPECT_EQ(st.dropped, 3);
}

TEST(SfcCheckTime, MinutesFromTheHour) {
  using surface_cases::num;
  for (const surface_cases::Row& c : surface_cases::rows("duplicate_cases.txt", "minutes"))
    EXPECT_EQ(SFC_minutes_from_hour(num(c[0]), num(c[1]), num(c[2])), num(c[3])) << c[0];
}

// A table users write: units of their own, "-" for no limit, comments; lines that cannot be
// used are named and skipped, the others stay in force; "none" switches the limits off.
TEST_F(SfcCheck, TablesUsersWrite) {
  const std::string table = file("own.lim", read_file(kCases + "own.lim"));
  CaptureStderr();
  EXPECT_EQ(SFC_limits_load(table.c_str()), 2);
  EXPECT_EQ(GetCapturedStderr(),
            "Gross limits: " + table + " line 4 ignored (unknown variable): humidity 0 100 %\n" +
                "Gross limits: " + table + " line 5 ignored (low limit above high limit): slpr 1090 870 hPa\n" +
                "Gross limits: " + table + " line 6 ignored (units not known for this variable): alt 25 33 furlongs\n" +
                "Gross limits: " + table + " line 7 ignored (a limit is not a number or '-'): vis 0 1e9\n" +
                "Gross limits: " + table + " line 8 ignored (expected: variable low high [units]): dewp -40\n");
  sfc_report r;
  SFC_initialize(&r);
  std::snprintf(r.id, sizeof r.id, "T1");
  r.temp = 95.0f, r.wspd = 98.0f, r.slpr = 500.0f;  // 98 kt = 50.4 m/s
  SfcLimitStats stats;
  MESS_set(0, MESS_MESS);
  CaptureStdout();
  EXPECT_EQ(SFC_limits_apply(&r, &stats), 2);
  EXPECT_EQ(GetCapturedStdout(), "Gross limit: T1 temp 95 F above 90 F\nGross limit: T1 wspd 50.4156 m/s above 50 m/s\n");
  EXPECT_EQ(field(r, "temp") + field(r, "wspd") + field(r, "slpr"), "MM500");
  EXPECT_EQ(SFC_limits_summary(stats), "Gross limits: 2 values dropped: temp 1, wspd 1");

  EXPECT_EQ(SFC_limits_load("none"), 0);
  EXPECT_EQ(SFC_limits_on(), 0);
  r.temp = 500.0f;
  EXPECT_EQ(SFC_limits_apply(&r, nullptr), 0);
  CaptureStderr();
  EXPECT_EQ(SFC_limits_load((dir_ + "/absent.lim").c_str()), -1);
  EXPECT_EQ(GetCapturedStderr(), "Gross limits: Unable to open " + dir_ + "/absent.lim: values are not checked\n");
}

}  // namespace
