// The sample generator: reproducibility of the bundled files, every encoded value read
// back by the surface file reader, the physical consistency of the series, and its
// refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "surface/calc.h"
#include "surface/sfc_read.h"
#include "tests/support/driver_runs.h"

namespace {

const std::string kDataDir = STACONT_DATA_DIR;
constexpr float kMiss = -9999.0f;

// One line of values.txt: the file, the station and key=value pairs.
struct Expected {
  std::string file, id;
  std::map<std::string, std::string> kv;
  double num(const std::string& key) const { return std::atof(kv.at(key).c_str()); }
};

std::string file_name(int h) { return "20260314" + std::string(h < 10 ? "0" : "") + std::to_string(h) + ".sfc"; }

// Generated once for the whole suite.
class MakeSample : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = make_temp_dir("make_sample");
    result_ = run_program(MAKE_SAMPLE_BINARY, {kDataDir + "/sao.cty", dir_, "--values"}, "", {}, "", 120);
    std::istringstream in(read_file(dir_ + "/values.txt"));
    for (std::string line; std::getline(in, line);) {
      const std::size_t c = line.find(" comment=");
      if (c == std::string::npos) continue;
      Expected e;
      e.kv = {{"comment", line.substr(c + 9)}, {"wx", ""}};
      std::istringstream words(line.substr(0, c));
      words >> e.file >> e.id;
      for (std::string w; words >> w;) e.kv[w.substr(0, w.find('='))] = w.substr(w.find('=') + 1);
      by_file_[e.file].push_back(e);
    }
  }
  static inline std::string dir_;
  static inline RunResult result_;
  static inline std::map<std::string, std::vector<Expected>> by_file_;
};

// Its refusals: the table of runs tests/data/tools/make_sample.runs.
STACONT_RUNS_TABLE(MakeSampleRuns, "../tools/make_sample.runs");

// Compares one decoded report with the generator's values; returns the differences.
std::string compare(const sfc_report& r, const Expected& e) {
  std::ostringstream diff;
  auto i = [&](const char* name, double got, double want) {
    if (got != want) diff << " " << name << "=" << got << "(want " << want << ")";
  };
#define F(x) {#x, &sfc_report::x}
  static const std::pair<const char*, float sfc_report::*> kFields[] = {
      F(lat),  F(lon),    F(temp), F(dewp), F(wdir),   F(wspd),  F(alt),   F(slpr),  F(vis),     F(ptend),    F(prec3),
      F(prec6), F(prec24), F(maxt), F(mint), F(scover), F(wgust), F(solar), F(sst), F(wave_per), F(wave_hgt)};
#undef F
  for (const auto& [key, member] : kFields) {
    const double want = e.num(key), got = r.*member;
    i(key, want == kMiss || std::fabs(got - want) > 1e-3 + 1e-5 * std::fabs(want) ? got : want, want);
  }
  if (e.id != r.id) diff << " id=" << r.id;
  i("time", r.time, e.num("time"));
  i("ptype", r.ptype, e.num("ptype"));
  // Cloud layers: "none" (sky not reported) or height:cover pairs.
  std::string layers;
  for (int n = 0; n < r.ncld && n < 5; ++n)
    layers += (n ? "," : "") + std::to_string(static_cast<int>(r.cld_hgt[n])) + ":" + r.cld_cov[n];
  if (layers != (e.kv.at("cld") == "none" ? "" : e.kv.at("cld")) || (e.kv.at("cld") == "none" && r.cld_cov[0] != ' '))
    diff << " clouds=" << layers;
  if ((e.kv.at("wx").empty() ? " " : e.kv.at("wx")) != r.wx) diff << " wx='" << r.wx << "'";
  const std::string ct = e.kv.at("ctype") == "-" ? "   " : e.kv.at("ctype");
  if (r.lcld != ct[0] || r.mcld != ct[1] || r.hcld != ct[2]) diff << " cloud types";
  std::string comment = r.comment;
  while (!comment.empty() && comment.back() == ' ') comment.pop_back();
  if (comment != e.kv.at("comment")) diff << " comment='" << r.comment << "'";
  return diff.str();
}

// The bundled files (observations and bulletins) are exactly what the generator makes, and the
// reader gets back every value.
TEST_F(MakeSample, ReproducesTheBundledFilesAndEveryValueReadsBack) {
  ASSERT_EQ(result_.status, 0) << result_.err;
  EXPECT_EQ(result_.out, "make_sample: 2020 stations, 47973 reports in 24 files, 24 bulletins\n");
  ASSERT_EQ(by_file_.size(), 24u);
  long bad = 0;
  for (int h = 0; h < 24; ++h) {
    const std::string made = read_file(dir_ + "/" + file_name(h));
    EXPECT_GT(made.size(), 100000u);
    EXPECT_TRUE(made == read_file(kDataDir + "/sample/" + file_name(h))) << file_name(h);
    const std::string frt = file_name(h).substr(0, 10) + ".frt";
    EXPECT_EQ(read_file(dir_ + "/" + frt), read_file(kDataDir + "/sample/" + frt)) << frt;
    const std::vector<Expected>& want = by_file_[file_name(h)];
    int form = 0;
    const int fd = SFC_open((kDataDir + "/sample/" + file_name(h)).c_str(), 0, &form);
    ASSERT_GE(fd, 0) << file_name(h);
    EXPECT_EQ(form, 3);
    sfc_info info{};
    EXPECT_EQ(SFC_getinfo(fd, &info), 0);
    EXPECT_EQ(std::tuple(info.date.year, info.date.month, info.date.day, info.date.hour), std::tuple(2026, 3, 14, h));
    sfc_report r;
    std::size_t n = 0;
    for (int index = 0; SFC_read(fd, &r, 0, &index) == 0; index++, n++) {
      ASSERT_LT(n, want.size()) << file_name(h);
      const std::string d = compare(r, want[n]);
      if (!d.empty() && ++bad <= 20) ADD_FAILURE() << file_name(h) << " " << want[n].id << ":" << d;
    }
    EXPECT_EQ(n, want.size()) << file_name(h);
    EXPECT_EQ(SFC_close(fd), 0);
  }
  EXPECT_EQ(bad, 0);
}

TEST_F(MakeSample, SeriesIsPhysicallyConsistent) {
  std::map<std::string, std::pair<double, double>> where;  // station positions
  std::istringstream cty(read_file(kDataDir + "/sao.cty"));
  for (std::string line, skip, id; std::getline(cty, line);) {
    std::istringstream w(line);
    double lat, lon;
    if (w >> skip >> skip >> skip >> id >> skip >> lat >> lon) where[id] = {lat, lon};
  }
  double first_low_lon = 0;
  for (int h = 0; h < 24; ++h) {
    const std::vector<Expected>& reps = by_file_[file_name(h)];
    const Expected* low = nullptr;
    int checked_alt = 0, snow = 0, thunder = 0;
    for (const Expected& e : reps) {
      const double t = e.num("temp"), td = e.num("dewp"), p = e.num("slpr"), a = e.num("alt");
      EXPECT_TRUE(t == kMiss || td == kMiss || td <= t) << e.id;
      EXPECT_TRUE(p == kMiss || (p > 950.0 && p < 1050.0)) << e.id << " " << p;
      if (p != kMiss && e.kv.at("lat") == "-9999" && (!low || p < low->num("slpr"))) low = &e;
      if (t != kMiss && p != kMiss && a != kMiss) {
        // The altimeter setting gives back the station pressure that the sea-level
        // pressure reduces to through the air column.
        const double z = e.num("zgen"), tk = (t - 32.0) * 5.0 / 9.0 + 273.15 + 0.0065 * z / 2.0;
        EXPECT_NEAR(sfc_pr_alt(static_cast<float>(a * 33.8639), static_cast<float>(z)),
                    p * std::exp(-9.80665 * z / (287.05 * tk)), 0.5) << e.id;
        ++checked_alt;
      }
      // Tendency codes 0-3 mean a higher pressure than three hours before, 5-8 a lower one.
      const double code = e.num("ptype"), change = e.num("ptend");
      EXPECT_TRUE(code == kMiss || (code < 4 ? 1 : (code == 4 ? 0 : -1)) == (change > 0) - (change < 0))
          << e.id << " P" << code;
      if (t != kMiss && e.kv.at("wx").rfind("S", 0) == 0) { EXPECT_LE(t, 36.0) << e.id; ++snow; }
      if (t != kMiss && e.kv.at("wx").rfind("TRW", 0) == 0) { EXPECT_GE(t, 50.0) << e.id; ++thunder; }
    }
    EXPECT_GT(checked_alt, 1500);
    EXPECT_GT(snow, 10);
    EXPECT_GT(thunder, 5);
    ASSERT_NE(low, nullptr);
    const auto [clat, clon] = where.at(low->id);
    if (h == 0) { first_low_lon = clon; EXPECT_GT(low->num("slpr"), 995.0); }
    // Winds 200-900 km from the lowest pressure blow counterclockwise round it.
    int cyclonic = 0, total = 0;
    for (const Expected& e : reps) {
      const auto it = where.find(e.id);
      if (it == where.end() || e.num("wspd") < 5) continue;
      const double y = (it->second.first - clat) * 111.2;
      const double x = (it->second.second - clon) * 111.2 * std::cos(clat * M_PI / 180.0);
      if (std::hypot(x, y) < 200 || std::hypot(x, y) > 900) continue;
      const double dir = e.num("wdir") * M_PI / 180.0;
      ++total;
      if (x * -std::cos(dir) + y * std::sin(dir) > 0) ++cyclonic;
    }
    EXPECT_GT(total, 100) << h;
    EXPECT_GT(cyclonic, 0.85 * total) << "hour " << h << ": " << cyclonic << " of " << total;
    if (h == 23) {  // the low has moved east and deepened
      EXPECT_GT(clon - first_low_lon, 10.0);
      EXPECT_NEAR(low->num("slpr"), 984.0, 3.0);
    }
  }
}

}  // namespace
