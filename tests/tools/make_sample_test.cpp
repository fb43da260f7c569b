// The sample generator: reproducibility of the bundled files, every encoded value read
// back by the surface file reader, and its refusals: any change of what the generator
// writes shows as a difference from the bundled files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

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

}  // namespace
