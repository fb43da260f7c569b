// The kernel under the real program: batch runs on every device, a window without a
// display, the device prompt, and bad colour tables and colours.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/run.h"

namespace fs = std::filesystem;

namespace {

class KernelE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir("gks_e2e");
    env_ = clean_env(dir_ + "/no-resource-files");
  }
  // One hour of the sample, analysed onto the US domain and written as netCDF to grids/.
  RunResult run(std::vector<std::string> extra, const std::string& input = "", bool batch = true) {
    std::vector<std::string> args = {"-fp", STACONT_DATA_DIR, "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us",
                                     "-va", "temp", "-of", "cdf", "-gp", dir_ + "/grids"};
    if (batch) args.insert(args.begin(), "-ba");
    args.insert(args.end(), extra.begin(), extra.end());
    return run_stacont(args, input, env_, dir_, 60);
  }
  bool grid_written() const { return fs::exists(dir_ + "/grids/2026031412_temp.nc"); }
  std::string dir_;
  std::map<std::string, std::string> env_;
};

// Without a device and without a display a batch run draws into nothing, quietly, and
// writes its grids; the hour sequence of the main job writes all seven.
TEST_F(KernelE2E, BatchRunWithoutDisplayWritesItsGrids) {
  RunResult r = run({"-nh", "6"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ + "/grids"), {}), 7);
  r = run({"-me", "mess", "-pf", "over"});
  EXPECT_NE(r.out.find("gopen_ws: no display: the plot is drawn into nothing\n"), std::string::npos) << r.out;
}

TEST_F(KernelE2E, FileDevicesCompleteTheRun) {
  for (const char* dev : {"p", "h", "m"}) {
    fs::remove_all(dir_ + "/grids");
    const RunResult r = run({"-de", std::string(dev) + "," + dir_ + "/plot.out"});
    EXPECT_EQ(r.status, 0) << dev << r.err;
    const std::string kind = *dev == 'p' ? "PostScript" : *dev == 'h' ? "HPGL" : "metafile";
    EXPECT_EQ(r.err, "gopen_ws: " + kind + " output is not available: " + dir_ + "/plot.out is not written\n");
    EXPECT_TRUE(grid_written()) << dev;
    EXPECT_FALSE(fs::exists(dir_ + "/plot.out"));
  }
  // Without a name the message names the file a writer would make.
  env_["PSPRINT"] = "";
  const RunResult r = run({"-de", "p"});
  EXPECT_EQ(r.err, "gopen_ws: PostScript output is not available: zav.ps is not written\n");
}

// A window asked for without a display ends the run with status 4 before anything is
// analysed.
TEST_F(KernelE2E, WindowWithoutDisplayEndsWithStatus4) {
  const struct { std::vector<std::string> args; std::string err; } t[] = {
      {{"-de", "d"}, "gopen_ws: unable to connect to display\n"},
      {{"-de", "d,:77"}, "gopen_ws: unable to connect to display\n"},
      {{"-de", "w"}, "gopen_ws: window parameters not specified\n"},
  };
  for (const auto& c : t) {
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, 4) << c.args[1];
    EXPECT_EQ(r.err, c.err + "GPH_begin: Error opening workstation\n") << c.args[1];
    EXPECT_FALSE(grid_written()) << c.args[1];
  }
}

// At a prompt the device is asked for; an answer with a file name picks that file.
TEST_F(KernelE2E, DevicePrompt) {
  RunResult r = run({}, "p," + dir_ + "/x.ps\n", false);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Display (D) or Postscript (P): "), std::string::npos) << r.out;
  EXPECT_NE(r.err.find(dir_ + "/x.ps is not written"), std::string::npos) << r.err;
  EXPECT_TRUE(grid_written());
  r = run({}, "display\n", false);
  EXPECT_EQ(r.status, 4);
}

// Bad colour tables and colours are reported and the run goes on with what could be read.
TEST_F(KernelE2E, BadColourTablesAndBackgrounds) {
  write_file(dir_ + "/bad.clr", std::string("red 1 0 0\nblue 9 9 9\n\x01\x02\n") + std::string(5000, 'y') + "\n");
  const RunResult r = run({"-ct", dir_ + "/bad.clr,nosuch.clr", "-bg", "blue"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "CLR_read_table: " + dir_ + "/bad.clr line 2: colour fractions must lie from 0 to 1: blue 9 9 9\n"
            "CLR_read_table: " + dir_ + "/bad.clr line 3: not a line of text\n"
            "CLR_read_table: " + dir_ + "/bad.clr line 4: line longer than 100 characters\n"
            "CLR_read_table: Unable to open colour table: nosuch.clr\n"
            "ginit_background: Unknown background colour: blue\n");
}

}  // namespace
