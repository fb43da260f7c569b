// Input files as a user names them: existing files used as given, every name form the
// prompt accepts, files that are no surface files, sequences with missing hours and
// absurd spans.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;
const std::string kSource = STACONT_SOURCE_DIR;
const std::string kData = STACONT_DATA_DIR;

class Input : public ProgramTest {
 protected:
  // A batch temperature analysis over the United States into dir_/grids.
  RunResult run(std::vector<std::string> args, const std::string& cwd, const std::string& input = "") {
    const std::vector<std::string> common = {"-ba", "-pd", "us", "-va", "temp", "-of", "cdf", "-gp", dir_ + "/grids"};
    args.insert(args.begin(), common.begin(), common.end());
    return run_stacont(args, input, env_, cwd, 60);
  }
  std::vector<std::string> grids() const {
    std::vector<std::string> names;
    if (fs::exists(dir_ + "/grids"))
      for (const auto& e : fs::directory_iterator(dir_ + "/grids")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

// A named file that exists is read as it stands, relative or not, and a sequence starts
// from the date in its name.
TEST_F(Input, ExistingFileIsUsedAsGivenAndStartsTheSequence) {
  RunResult r = run({"-fp", "data", "-if", "sfc_sample", "data/sample/2026031407.sfc", "-nh", "2"}, kSource);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(grids(), (std::vector<std::string>{"2026031407_temp.nc", "2026031408_temp.nc", "2026031409_temp.nc"}));
  fs::remove_all(dir_ + "/grids");
  // A name without a date: the file's own date label names the grid.
  fs::copy_file(kData + "/sample/2026031415.sfc", dir_ + "/s.sfc");
  for (const char* name : {"./s.sfc", "s.sfc"}) {
    r = run({"-fp", kData, name}, dir_);
    EXPECT_EQ(r.status, 0) << name << "\n" << r.err;
    EXPECT_EQ(grids(), std::vector<std::string>{"2026031415_temp.nc"}) << name;
    fs::remove_all(dir_ + "/grids");
  }
}

// Every name form the input prompt takes also reads: a command's output, the standard
// input and a home-directory name.
TEST_F(Input, CommandsStandardInputAndHomeNamesRead) {
  const std::string file = kData + "/sample/2026031416.sfc";
  env_["HOME"] = dir_;
  fs::copy_file(file, dir_ + "/home.sfc");
  const struct {
    std::string name, input;
  } cases[] = {{"|cat " + file, ""}, {"-", read_file(file)}, {"~/home.sfc", ""}};
  for (const auto& c : cases) {
    const RunResult r = run({"-fp", kData, c.name}, dir_, c.input);
    EXPECT_EQ(r.status, 0) << c.name << "\n" << r.err;
    EXPECT_EQ(grids(), std::vector<std::string>{"2026031416_temp.nc"}) << c.name;
    fs::remove_all(dir_ + "/grids");
  }
  // Copies of piped input do not outlive the run.
  for (const auto& e : fs::directory_iterator(fs::temp_directory_path()))
    EXPECT_EQ(e.path().filename().string().rfind("stacont_sfc", 0), std::string::npos) << e.path();
}

// A file that is not a readable surface file ends the run as a missing one does, and no
// grid is written for it.
TEST_F(Input, FilesThatAreNoSurfaceFilesEndWithStatus10) {
  // A netCDF grid file of an earlier run.
  ASSERT_EQ(run({"-fp", kData, kData + "/sample/2026031412.sfc"}, dir_).status, 0);
  fs::rename(dir_ + "/grids/2026031412_temp.nc", dir_ + "/grid.nc");
  fs::remove_all(dir_ + "/grids");
  write_file(dir_ + "/magic.sfc", "ZAVSFC\n");
  write_file(dir_ + "/nodate.sfc", "ZAVSFC\nyesterday noon\nKDEN 455 300 2715 992 132 10.0 25B - $\n");
  const std::pair<std::string, std::string> cases[] = {
      {"grid.nc", "SFC_open_file: Unable to open file:grid.nc\n"},
      {"magic.sfc", "SFC_open_file: No date line in surface file: magic.sfc\n"},
      {"nodate.sfc", "SFC_open_file: Date line \"yesterday noon\" is not a date in surface file: nodate.sfc\n"}};
  for (const auto& [name, message] : cases) {
    const RunResult r = run({"-fp", kData, name}, dir_);
    EXPECT_EQ(r.status, 10) << name;
    EXPECT_EQ(r.err, message);
    EXPECT_TRUE(grids().empty()) << name;
  }
}

// The first hour of a sequence may be missing like any other; only a sequence without a
// readable hour fails.
TEST_F(Input, SequenceWhoseFirstHourIsMissing) {
  RunResult r = run({"-fp", kData, "-if", "sfc_sample", "-cu", "#2026031323", "-nh", "2"}, dir_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(grids(), (std::vector<std::string>{"2026031400_temp.nc", "2026031401_temp.nc"}));
  EXPECT_EQ(r.err, "SFC_open_file: Unable to open file:" + kData + "/sample/2026031323.sfc\n");
  r = run({"-fp", kData, "-if", "sfc_sample", "-cu", "#2026031320", "-nh", "2"}, dir_);
  EXPECT_EQ(r.status, 10);
  EXPECT_NE(r.err.find("No surface file of the sequence could be read\n"), std::string::npos) << r.err;
}

// A span nobody means is cut to a year, and hours that all name one file read it once.
TEST_F(Input, AbsurdSpansEnd) {
  const RunResult r = run({"-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412", "-ho", "031412", "-nh", "2147483647"},
                          dir_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(grids(), std::vector<std::string>{"2026031412_temp.nc"});
  EXPECT_EQ(r.err, "Number of hours 2147483647 is more than a year: 8784 hours are viewed\n"
                   "Every hour of the sequence is the file " + kData + "/sample/2026031412.sfc: it is read once\n");
}

}  // namespace
