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
