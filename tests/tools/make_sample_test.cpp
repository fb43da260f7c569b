// The sample generator: reproducibility of the bundled files, every encoded value read
// back by the surface file reader, and the physical consistency of the series.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "files/date.h"
#include "surface/calc.h"
#include "surface/sfc_read.h"
#include "tests/support/run.h"

namespace {

const std::string kDataDir = STACONT_DATA_DIR;
constexpr float kMiss = -9999.0f;

struct Expected {
  std::string file, id;
  std::map<std::string, std::string> kv;
  double num(const std::string& key) const { return std::atof(kv.at(key).c_str()); }
  const std::string& str(const std::string& key) const { return kv.at(key); }
};

std::string file_name(int hour) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "20260314%02d.sfc", hour);
  return buf;
}

// Generated once for the whole suite.
class MakeSample : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = make_temp_dir("make_sample");
    result_ = run_program(MAKE_SAMPLE_BINARY, {kDataDir + "/sao.cty", dir_, "--values"}, "", {}, "", 120);
    std::istringstream in(read_file(dir_ + "/values.txt"));
    std::string line;
    while (std::getline(in, line)) {
      Expected e;
      const std::size_t c = line.find(" comment=");
      if (c == std::string::npos) continue;
      e.kv["comment"] = line.substr(c + 9);
      std::istringstream words(line.substr(0, c));
      words >> e.file >> e.id;
      std::string w;
      while (words >> w) {
        const std::size_t eq = w.find('=');
        e.kv[w.substr(0, eq)] = w.substr(eq + 1);
      }
      if (!e.kv.count("wx")) e.kv["wx"] = "";
      by_file_[e.file].push_back(e);
    }
  }
  static std::string dir_;
  static RunResult result_;
  static std::map<std::string, std::vector<Expected>> by_file_;
};
std::string MakeSample::dir_;
RunResult MakeSample::result_;
std::map<std::string, std::vector<Expected>> MakeSample::by_file_;

TEST_F(MakeSample, ReproducesTheBundledFilesByteForByte) {
  ASSERT_EQ(result_.status, 0) << result_.err;
  EXPECT_EQ(result_.out, "make_sample: 2020 stations, 47973 reports in 24 files\n");
  // The value list stays out of the data directory.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(kDataDir + "/sample"), {}), 24);
  for (int h = 0; h < 24; ++h) {
    const std::string made = read_file(dir_ + "/" + file_name(h));
    EXPECT_GT(made.size(), 100000u);
    EXPECT_TRUE(made == read_file(kDataDir + "/sample/" + file_name(h))) << file_name(h);
  }
}

TEST_F(MakeSample, RejectsBadArguments) {
  const std::string out = make_temp_dir("make_sample_bad");
  const std::string usage = "usage: make_sample <sao.cty> <outdir> [--values]\n";
  // err is the whole message, or its start where it names a generated file.
  const struct { std::vector<std::string> args; int status; std::string err; } cases[] = {
      {{}, 2, usage},
      {{kDataDir + "/sao.cty", out, "--value"}, 2, usage},
      {{out + "/none.cty", out}, 1, "make_sample: cannot read station database " + out + "/none.cty\n"},
      {{kDataDir + "/sao.cty", out + "/no/such/dir"}, 1, "make_sample: cannot write " + out + "/no/such/dir/"},
  };
  for (const auto& c : cases) {
    const RunResult r = run_program(MAKE_SAMPLE_BINARY, c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }
}

// Compares one decoded report with the generator's values; returns the differences.
std::string compare(const sfc_report& r, const Expected& e) {
  std::ostringstream diff;
  auto i = [&](const char* name, double got, double want) {
    if (got != want) diff << " " << name << "=" << got << "(want " << want << ")";
  };
  auto f = [&](const char* key, float got) {
    const double want = e.num(key);
    i(key, want == kMiss || std::fabs(got - want) > 1e-3 + 1e-5 * std::fabs(want) ? got : want, want);
  };
  if (e.id != r.id) diff << " id=" << r.id;
  i("type", r.type, 1);
  const bool ship = e.str("lat") != "-9999";
  if (std::strcmp(r.region, ship ? "SHIP" : "") != 0) diff << " region=" << r.region;
  long wmo = -9999;
  if (e.id.size() > 4) wmo = e.id.find_first_not_of("0123456789") == std::string::npos ? std::atol(e.id.c_str()) : 0;
  i("wmo", r.wmo, wmo);
  static const std::pair<const char*, float sfc_report::*> kFields[] = {
      {"lat", &sfc_report::lat},       {"lon", &sfc_report::lon},       {"temp", &sfc_report::temp},
      {"dewp", &sfc_report::dewp},     {"wdir", &sfc_report::wdir},     {"wspd", &sfc_report::wspd},
      {"alt", &sfc_report::alt},       {"slpr", &sfc_report::slpr},     {"vis", &sfc_report::vis},
      {"ptend", &sfc_report::ptend},   {"prec3", &sfc_report::prec3},   {"prec6", &sfc_report::prec6},
      {"prec24", &sfc_report::prec24}, {"maxt", &sfc_report::maxt},     {"mint", &sfc_report::mint},
      {"scover", &sfc_report::scover}, {"wgust", &sfc_report::wgust},   {"solar", &sfc_report::solar},
      {"sst", &sfc_report::sst}, {"wave_per", &sfc_report::wave_per}, {"wave_hgt", &sfc_report::wave_hgt}};
  for (const auto& [key, member] : kFields) f(key, r.*member);
  if (r.elev != (ship ? 0.0f : kMiss)) diff << " elev=" << r.elev;
  i("time", r.time, std::atol(e.str("time").c_str()));
  i("ptype", r.ptype, std::atol(e.str("ptype").c_str()));
  for (float v : {r.prec12, r.maxt6, r.mint6})
    if (v != kMiss) diff << " unwritten group decoded";
  // Cloud layers: "none" (sky not reported) or height:cover pairs.
  const std::string& cld = e.str("cld");
  if (cld == "none") {
    i("ncld", r.ncld, 0);
    if (r.cld_hgt[0] != kMiss || r.cld_cov[0] != ' ') diff << " first layer set";
  } else {
    std::istringstream layers(cld);
    std::string layer;
    int n = 0;
    while (std::getline(layers, layer, ',')) {
      if (n < 5) {
        const float h = static_cast<float>(std::atof(layer.c_str()));
        if (r.cld_hgt[n] != h || r.cld_cov[n] != layer.back())
          diff << " layer" << n << "=" << r.cld_hgt[n] << r.cld_cov[n] << "(want " << layer << ")";
      }
      ++n;
    }
    i("ncld", r.ncld, n);
  }
  const std::string wx = e.str("wx").empty() ? " " : e.str("wx");
  if (wx != r.wx) diff << " wx='" << r.wx << "'";
  const std::string ct = e.str("ctype") == "-" ? "   " : e.str("ctype");
  if (r.lcld != ct[0] || r.mcld != ct[1] || r.hcld != ct[2]) diff << " cloud types";
  if (r.cld_tot != ' ') diff << " cld_tot";
  std::string comment = r.comment;
  while (!comment.empty() && comment.back() == ' ') comment.pop_back();
  if (comment != e.str("comment")) diff << " comment='" << r.comment << "'";
  return diff.str();
}

TEST_F(MakeSample, ReaderDecodesEveryValue) {
  ASSERT_EQ(result_.status, 0);
  ASSERT_EQ(by_file_.size(), 24u);
  long reports = 0, bad = 0;
  for (int h = 0; h < 24; ++h) {
    const std::string name = file_name(h);
    const std::vector<Expected>& want = by_file_[name];
    int form = 0;
    const int fd = SFC_open((kDataDir + "/sample/" + name).c_str(), 0, &form);
    ASSERT_GE(fd, 0) << name;
    EXPECT_EQ(form, 3);
    sfc_info info{};
    EXPECT_EQ(SFC_getinfo(fd, &info), 0);
    char label[DATE_LABEL_LEN];
    DATE_make_label(DATE_to_struct(2026, 3, 14, h, DATE_MISSING), label);
    EXPECT_STREQ(info.label, label);
    EXPECT_EQ(info.count, -9999);
    EXPECT_EQ(std::tuple(info.date.year, info.date.month, info.date.day, info.date.hour), std::tuple(2026, 3, 14, h));
    sfc_report r;
    int index = 0;
    std::size_t n = 0;
    for (; SFC_read(fd, &r, 0, &index) == 0; index++, n++) {
      ASSERT_LT(n, want.size()) << name;
      const std::string d = compare(r, want[n]);
      if (!d.empty() && ++bad <= 20) ADD_FAILURE() << name << " " << want[n].id << ":" << d;
    }
    EXPECT_EQ(n, want.size()) << name;
    reports += static_cast<long>(n);
    EXPECT_EQ(SFC_close(fd), 0);
  }
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(reports, 47973);
}

struct Pos { double lat, lon; };

std::map<std::string, Pos> station_positions() {
  std::map<std::string, Pos> out;
  std::istringstream in(read_file(kDataDir + "/sao.cty"));
  std::string line;
  while (std::getline(in, line)) {
    char name[32], st[8], cn[8], id[16], pr[8];
    double lat, lon;
    if (std::sscanf(line.c_str(), "%31s %7s %7s %15s %7s %lf %lf", name, st, cn, id, pr, &lat, &lon) == 7)
      out[id] = {lat, lon};
  }
  return out;
}

TEST_F(MakeSample, SeriesIsPhysicallyConsistent) {
  const std::map<std::string, Pos> where = station_positions();
  double first_low_lon = 0, first_low_p = 0;
  for (int h = 0; h < 24; ++h) {
    const std::vector<Expected>& reps = by_file_[file_name(h)];
    const Expected* low = nullptr;
    int checked_alt = 0, snow = 0, thunder = 0;
    for (const Expected& e : reps) {
      const double t = e.num("temp"), td = e.num("dewp"), p = e.num("slpr"), a = e.num("alt");
      EXPECT_TRUE(t == kMiss || td == kMiss || td <= t) << e.id;
      EXPECT_TRUE(p == kMiss || (p > 950.0 && p < 1050.0)) << e.id << " " << p;
      if (p != kMiss && e.str("lat") == "-9999" && (!low || p < low->num("slpr"))) low = &e;
      if (t != kMiss && p != kMiss && a != kMiss) {
        // The altimeter setting gives back the station pressure that the sea-level
        // pressure reduces to through the air column.
        const double z = e.num("zgen");
        const double tk = (t - 32.0) * 5.0 / 9.0 + 273.15 + 0.0065 * z / 2.0;
        const double p_sfc = p * std::exp(-9.80665 * z / (287.05 * tk));
        EXPECT_NEAR(sfc_pr_alt(static_cast<float>(a * 33.8639), static_cast<float>(z)), p_sfc, 0.5) << e.id;
        ++checked_alt;
      }
      // Tendency codes 0-3 mean a higher pressure than three hours before, 5-8 a lower one.
      const double code = e.num("ptype"), change = e.num("ptend");
      EXPECT_TRUE(code == kMiss || (code < 4 ? 1 : (code == 4 ? 0 : -1)) == (change > 0) - (change < 0))
          << e.id << " P" << code;
      const std::string& wx = e.str("wx");
      if (t != kMiss && wx.rfind("S", 0) == 0) { EXPECT_LE(t, 36.0) << e.id; ++snow; }
      if (t != kMiss && wx.rfind("TRW", 0) == 0) { EXPECT_GE(t, 50.0) << e.id; ++thunder; }
    }
    EXPECT_GT(checked_alt, 1500);
    EXPECT_GT(snow, 10);
    EXPECT_GT(thunder, 5);
    ASSERT_NE(low, nullptr);
    const Pos c = where.at(low->id);
    if (h == 0) { first_low_lon = c.lon; first_low_p = low->num("slpr"); }
    // Winds 200-900 km from the lowest pressure blow counterclockwise round it.
    int cyclonic = 0, total = 0;
    for (const Expected& e : reps) {
      const auto it = where.find(e.id);
      if (it == where.end() || e.num("wspd") < 5) continue;
      const double y = (it->second.lat - c.lat) * 111.2;
      const double x = (it->second.lon - c.lon) * 111.2 * std::cos(c.lat * M_PI / 180.0);
      const double r = std::hypot(x, y);
      if (r < 200 || r > 900) continue;
      const double dir = e.num("wdir") * M_PI / 180.0;
      const double u = -std::sin(dir), v = -std::cos(dir);
      ++total;
      if (x * v - y * u > 0) ++cyclonic;
    }
    EXPECT_GT(total, 100) << h;
    EXPECT_GT(cyclonic, 0.85 * total) << "hour " << h << ": " << cyclonic << " of " << total;
    if (h == 23) {
      EXPECT_GT(c.lon - first_low_lon, 10.0);  // the low moves east...
      EXPECT_LT(low->num("slpr"), first_low_p - 10.0);  // ...and deepens
      EXPECT_NEAR(low->num("slpr"), 984.0, 3.0);
    }
  }
}

}  // namespace
