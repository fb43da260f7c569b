// Real observations end to end: a feed's METAR collection of an hour drawn and analysed,
// files found by naming conventions over a directory, every surface variable computed
// from the reports, the hourly archive read back, and files that cannot be used refused.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/driver_runs.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

const std::string kData = STACONT_DATA_DIR;

class ObsE2E : public ProgramTest {
 protected:
  // The real file copied into the test's folder ("" without it).
  std::string real(const std::string& file) {
    if (real_data(file).empty()) return "";
    write_file(dir_ + "/" + file, read_file(real_data(file)));
    return dir_ + "/" + file;
  }
  RunResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"-ba", "-fp", kData, "-pd", "us", "-pr", "9"});
    return run_stacont(args, "", env_, dir_, 120);
  }
  // Station values of a raw file: id -> the fields' texts.
  std::map<std::string, std::vector<std::string>> raw_values(const std::string& path) {
    std::map<std::string, std::vector<std::string>> out;
    const std::string text = read_file(path);
    std::istringstream in(text.substr(std::min(text.size(), text.find("\n$\n") + 3)));
    for (std::string line; std::getline(in, line);) {
      const std::vector<std::string> w = words(line);  // id, latitude, longitude, values
      if (w.size() >= 3) out[w[0]] = std::vector<std::string>(w.begin() + 3, w.end());
    }
    return out;
  }
};

// Every surface variable from the real reports: each has values at many stations.
TEST_F(ObsE2E, EverySurfaceVariableComesFromTheReports) {
  const std::string file = real("metar_20190701_1200.txt");
  if (file.empty()) GTEST_SKIP() << "real observations not found";
  std::map<std::string, std::vector<std::pair<std::string, int>>> runs;  // run: variable, least count
  for (const auto& row : read_tsv("obs_variables.tsv"))
    runs[row.at("run")].push_back({row.at("variable"), std::stoi(row.at("at_least"))});
  for (const auto& [run_name, want] : runs) {
    std::string var = run_name + "{";
    for (const auto& [v, n] : want) var += v + "[:value],";
    var.back() = '}';
    const std::string raw_dir = dir_ + "/raw_" + run_name;
    const RunResult r = run({"-va", var, "-of", "raw", "-rp", raw_dir, file, "-de", "png," + dir_ + "/v.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto values = raw_values(raw_dir + "/2019070112_sfc.raw");
    for (std::size_t k = 0; k < want.size(); ++k) {
      int present = 0;
      for (const auto& [id, v] : values) present += k < v.size() && v[k] != "-";
      EXPECT_GE(present, want[k].second) << want[k].first;
    }
  }
}

// The reports of an hour written with -of sfc read back to the same station values.
TEST_F(ObsE2E, HourlyArchiveReadsBackToTheSameValues) {
  const std::string file = real("metar_20190701_1200.txt");
  if (file.empty()) GTEST_SKIP() << "real observations not found";
  const std::string var = "a{temp[:value:%.2f],dewp[:value:%.2f],wspd[:value],alt[:value:%.3f],pralt[:value:%.2f]}";
  RunResult r = run({"-va", var, "-of", "sfc,raw", "-cp", dir_ + "/arc", "-rp", dir_ + "/r1", file, "-de",
                     "png," + dir_ + "/a.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = run({"-va", var, "-of", "raw", "-rp", dir_ + "/r2", dir_ + "/arc/2019070112.sfc", "-de", "png," + dir_ + "/b.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto a = raw_values(dir_ + "/r1/2019070112_sfc.raw");
  const auto b = raw_values(dir_ + "/r2/2019070112_sfc.raw");
  ASSERT_GT(a.size(), 600u);
  ASSERT_EQ(a.size(), b.size());
  // The archive keeps a tenth of a degree F, whole knots, hundredths of an inch and tenths
  // of a millibar: the values agree to that (a pressure from an altimeter in hectopascals
  // to half a hundredth of an inch, 0.17 mb).
  const double tolerance[] = {0.06, 0.06, 0.51, 0.006, 0.18};
  int compared = 0;
  for (const auto& [id, v] : a) {
    const auto& w = b.at(id);
    ASSERT_EQ(v.size(), w.size()) << id;
    for (std::size_t k = 0; k < v.size(); ++k) {
      ASSERT_EQ(v[k] == "-", w[k] == "-") << id << " field " << k;
      if (v[k] == "-") continue;
      EXPECT_NEAR(std::stod(v[k]), std::stod(w[k]), tolerance[k]) << id << " field " << k;
      ++compared;
    }
  }
  EXPECT_GT(compared, 3500);
  // The archive is not written over the file it was read from.
  r = run({"-va", "temp", "-of", "sfc", "-cp", dir_ + "/arc", dir_ + "/arc/2019070112.sfc", "-de", "png," + dir_ + "/c.png"});
  EXPECT_NE(r.err.find("is the file being read: not written"), std::string::npos) << r.err;
}

STACONT_RUNS_TABLE(ObsRuns, "obs.runs");

}  // namespace
