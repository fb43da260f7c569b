// The kernel under the real program: batch runs on every device, a window without a
// display, the device prompt, and bad colour tables and colours.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/run.h"

namespace fs = std::filesystem;

namespace {

class KernelE2E : public ProgramTest {
 protected:
  // One hour of the sample, analysed onto the US domain and written as netCDF to grids/.
  RunResult run(std::vector<std::string> extra, const std::string& input = "", bool batch = true) {
    std::vector<std::string> args = {"-fp", STACONT_DATA_DIR, "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us",
                                     "-va", "temp", "-of", "cdf", "-gp", dir_ + "/grids"};
    if (batch) args.insert(args.begin(), "-ba");
    args.insert(args.end(), extra.begin(), extra.end());
    return run_stacont(args, input, env_, dir_, 60);
  }
  bool grid_written() const { return fs::exists(dir_ + "/grids/2026031412_temp.nc"); }
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

// Batch runs write real PostScript, EPS, HPGL and metafiles, which the tools that read
// them accept; the run still writes its grids.
TEST_F(KernelE2E, FileDevicesWriteTheirFiles) {
  const struct {
    std::string device;
    std::string file;
    std::string head;
  } cases[] = {
      {"p,plot.ps", "plot.ps", "%!PS-Adobe-3.0\n"},
      {"p,plot.eps,eps,port", "plot.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: "},
      {"h,plot.hpgl,nopcl", "plot.hpgl", "IN;SP1;PA;\n"},
      {"m,plot.meta", "plot.meta", "ZAVMETA\n"},
      {"m,plot.cgm,cgm", "plot.cgm", std::string("\x00\x20\x10\x22", 4)},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_ + "/grids");
    const RunResult r = run({"-de", c.device});
    EXPECT_EQ(r.status, 0) << c.device << r.err;
    EXPECT_EQ(r.err, "") << c.device;
    EXPECT_TRUE(grid_written()) << c.device;
    const std::string out = read_file(dir_ + "/" + c.file);
    EXPECT_EQ(out.substr(0, c.head.size()), c.head) << c.device;
    if (c.file.find(".ps") != std::string::npos || c.file.find(".eps") != std::string::npos) {
      std::vector<std::string> gs = {"-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r20",
                                     "-sOutputFile=" + dir_ + "/page.png", dir_ + "/" + c.file};
      if (c.file.find(".eps") != std::string::npos) gs.insert(gs.begin(), "-dEPSCrop");
      const RunResult g = run_program("/usr/bin/gs", gs, "", {}, dir_, 60);
      EXPECT_EQ(g.status, 0) << g.out << g.err;
      EXPECT_EQ(g.out.find("Error"), std::string::npos) << g.out;
    }
    if (c.file == "plot.hpgl") {
      const RunResult h = run_program("/usr/bin/hp2xx", {"-q", "-m", "png", "-f", dir_ + "/page.png", dir_ + "/plot.hpgl"},
                                      "", {}, dir_, 60);
      EXPECT_EQ(h.status, 0) << h.err;
    }
  }
  // Without a name the writer takes PSPRINT, else zav.ps.
  env_["PSPRINT"] = "";
  const RunResult r = run({"-de", "p"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(fs::exists(dir_ + "/zav.ps"));
}

// Output that cannot be written ends the run with the output status and says so; it never
// claims a file it did not make, and leaves no half-written file.
TEST_F(KernelE2E, UnwritableOutputIsReported) {
  RunResult r = run({"-de", "p,/dev/full", "-me", "mess"});
  EXPECT_EQ(r.status, 30);
  EXPECT_EQ(r.err, "gps_close_file: unable to write /dev/full: No space left on device\n");
  EXPECT_EQ(r.out.find("Created Postscript file"), std::string::npos) << r.out;
  r = run({"-de", "h,|cat >/dev/null; exit 2", "-me", "mess"});
  EXPECT_EQ(r.status, 30);
  EXPECT_EQ(r.err,
            "ghpgl_close_file: the output to the command cat >/dev/null; exit 2 was not delivered: the command ended "
            "with status 2\n");
  EXPECT_EQ(r.out.find("Created HPGL file"), std::string::npos);
  r = run({"-de", "p,|cat >/dev/null; exit 3", "-me", "mess"});
  EXPECT_EQ(r.status, 30);
  EXPECT_EQ(r.err,
            "gps_close_file: the output to the command cat >/dev/null; exit 3 was not delivered: the command ended "
            "with status 3\n");
  EXPECT_EQ(r.out.find("Created Postscript file"), std::string::npos);
  write_file(dir_ + "/file", "x");
  // A file that cannot be opened is an output that was not written, not a missing display.
  r = run({"-de", "p," + dir_ + "/file/plot.ps"});
  EXPECT_EQ(r.status, 30);
  EXPECT_EQ(r.err, "gps_open_file: " + dir_ + "/file/plot.ps: Not a directory\n"
                   "gopen_ws: unable to open postscript file\nGPH_begin: Error opening workstation\n");
  // A piped plot that works reaches its command.
  r = run({"-de", "p,|cat > piped.ps"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir_ + "/piped.ps").rfind("%!PS-Adobe-3.0\n", 0), 0U);
}

// A window asked for without a display, or with DISPLAY naming no server, ends the run
// with status 4 before anything is analysed.
TEST_F(KernelE2E, WindowWithoutDisplayEndsWithStatus4) {
  const struct { std::vector<std::string> args; std::string err, display; } t[] = {
      {{"-de", "d"}, "gopen_ws: unable to connect to display\n", ""},
      {{"-de", "d"}, "gopen_ws: unable to connect to display\n", ":97"},
      {{"-de", "d,:4093"}, "gopen_ws: unable to connect to display\n", ""},
      {{"-de", "w"}, "gopen_ws: window parameters not specified\n", ""},
  };
  for (const auto& c : t) {
    env_["DISPLAY"] = c.display;
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, 4) << c.args[1];
    EXPECT_EQ(r.err, c.err + "GPH_begin: Error opening workstation\n") << c.args[1];
    EXPECT_FALSE(grid_written()) << c.args[1];
  }
}

// At a prompt the device is asked for; an answer with a file name picks that file.
TEST_F(KernelE2E, DevicePrompt) {
  RunResult r = run({}, "p," + dir_ + "/x.ps\n5\nc\n", false);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Display (D) or Postscript (P): "), std::string::npos) << r.out;
  EXPECT_EQ(read_file(dir_ + "/x.ps").rfind("%!PS-Adobe-3.0\n", 0), 0U);
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
