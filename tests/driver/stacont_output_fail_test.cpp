// Every kind of output the program writes, against every way an output fails: the run
// names the file and the reason, ends with the output status, leaves an old file byte for
// byte as it was and no temporary file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "config/system.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = STACONT_DATA_DIR;
const std::string kOld = "an old file that a failed run must leave alone\n";

// One kind of output: the options that write it into directory d, the name it gets there,
// and the messages of a file that cannot be opened and of one that cannot be written
// (%F the file, %R the reason).
struct Output {
  const char* kind;
  std::vector<std::string> (*args)(const std::string& file, const std::string& dir);
  const char* file;
  std::string open_error, write_error;
};

std::vector<std::string> device(const std::string& spec) { return {"-va", "temp", "-de", spec}; }

const Output kOutputs[] = {
    {"ps", [](const std::string& f, const std::string&) { return device("p," + f); }, "out.ps",
     "gps_open_file: %F: %R\ngopen_ws: unable to open postscript file\nGPH_begin: Error opening workstation\n",
     "gps_close_file: unable to write %F: %R\n"},
    {"eps", [](const std::string& f, const std::string&) { return device("p," + f + ",eps"); }, "out.eps",
     "gps_open_file: %F: %R\ngopen_ws: unable to open postscript file\nGPH_begin: Error opening workstation\n",
     "gps_close_file: unable to write %F: %R\n"},
    {"hpgl", [](const std::string& f, const std::string&) { return device("h," + f); }, "out.hpgl",
     "ghpgl_open_file: %F: %R\ngopen_ws: unable to open HPGL file\nGPH_begin: Error opening workstation\n",
     "ghpgl_close_file: unable to write %F: %R\n"},
    {"meta", [](const std::string& f, const std::string&) { return device("m," + f); }, "out.meta",
     "gmeta_open_file: %F: %R\ngopen_ws: unable to open metafile\nGPH_begin: Error opening workstation\n",
     "gmeta_close_file: unable to write %F: %R\n"},
    {"cgm", [](const std::string& f, const std::string&) { return device("m," + f + ",cgm"); }, "out.cgm",
     "gmeta_open_file: %F: %R\ngopen_ws: unable to open metafile\nGPH_begin: Error opening workstation\n",
     "gmeta_close_file: unable to write %F: %R\n"},
    {"png", [](const std::string& f, const std::string&) { return device("png," + f); }, "out.png",
     "gclose_ws: %F: %R\n", "gclose_ws: unable to write %F: %R\n"},
    {"svg", [](const std::string& f, const std::string&) { return device("svg," + f); }, "out.svg",
     "gclose_ws: %F: %R\n", "gclose_ws: unable to write %F: %R\n"},
    {"pdf", [](const std::string& f, const std::string&) { return device("pdf," + f); }, "out.pdf",
     "gopen_ws: %F: %R\ngopen_ws: unable to open PDF file\nGPH_begin: Error opening workstation\n",
     "gclose_ws: unable to write %F: %R\n"},
    // Frame dumps, from the raster page of a run without a display.
    {"gif dump",
     [](const std::string& f, const std::string&) {
       return std::vector<std::string>{"-va", "temp", "-de", "png,/dev/null", "-pp", "gif:" + f};
     },
     "out.gif", "GIF_write: Unable to open GIF file %F: %R\nPLT_dump: Unable to write GIF file: %F\n",
     "GIF_write: Unable to write GIF file %F: %R\nPLT_dump: Unable to write GIF file: %F\n"},
    {"png dump",
     [](const std::string& f, const std::string&) {
       return std::vector<std::string>{"-va", "temp", "-de", "png,/dev/null", "-pp", "png:" + f};
     },
     "dump.png", "PNG_write: Unable to open PNG file %F: %R\nPLT_dump: Unable to write PNG file: %F\n",
     "PNG_write: Unable to write PNG file %F: %R\nPLT_dump: Unable to write PNG file: %F\n"},
    {"xwd dump",
     [](const std::string& f, const std::string&) {
       return std::vector<std::string>{"-va", "temp", "-de", "png,/dev/null", "-pp", "xwd:" + f};
     },
     "out.xwd", "XWD_write: Unable to open dump file %F: %R\nPLT_dump: Unable to write xdump file: %F\n",
     // The part that failed first: the pixels, which pass the stream's buffer.
     "Unable to write to XWD file.\nXWD_write: Unable to write dump file %F: %R\n"
     "PLT_dump: Unable to write xdump file: %F\n"},
    {"raw",
     [](const std::string&, const std::string& d) {
       return std::vector<std::string>{"-va", "stmod", "-de", "p,/dev/null", "-of", "raw", "-rp", d};
     },
     "2026031412_sfc.raw", "RAW_file_open: Unable to %C raw file %F: %R\n",
     "RAW_close_file: Unable to write raw file %F: %R\n"},
    // Grid files name the file; the reason is not part of their message.
    {"zav grid",
     [](const std::string&, const std::string& d) {
       return std::vector<std::string>{"-va", "temp", "-de", "p,/dev/null", "-of", "zav", "-gp", d, "-pf", "over"};
     },
     "2026031412_temp.grd", "GRD_save_file: Unable to create grid file: %F\n",
     "GRD_save_file: Unable to create grid file: %F\n"},
};

// One way to fail: what is put in the directory beforehand, whether the output fails
// when it opens or when it is written, the reason, and whether the run must be limited to
// a small file size (a full disk).
struct Failure {
  const char* kind;
  const char* reason;
  bool at_open;
  bool full_disk;
};

const Failure kFailures[] = {
    {"a directory that cannot be made", "Not a directory", true, false},
    {"a read-only directory", "Permission denied", true, false},
    {"the name of a directory", "Is a directory", true, false},
    {"a full disk", "File too large", false, true},
    {"a link to /dev/full", "No space left on device", false, false},
};

std::string replace_all(std::string s, const std::string& what, const std::string& with) {
  for (std::size_t at = 0; (at = s.find(what, at)) != std::string::npos; at += with.size()) s.replace(at, what.size(), with);
  return s;
}

std::vector<std::string> listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class OutputFail : public ProgramTest, public ::testing::WithParamInterface<std::tuple<Output, Failure>> {};

TEST_P(OutputFail, NamesTheFileEndsWith30AndKeepsTheOldFile) {
  const Output& o = std::get<0>(GetParam());
  const Failure& f = std::get<1>(GetParam());
  const std::string kind = f.kind;
  std::string dir = dir_ + "/out";
  fs::create_directories(dir);
  bool old_file = false;
  bool existed = false;  // something is there under the name
  bool as_nobody = false;
  if (kind == "a directory that cannot be made") {
    write_file(dir + "/plain", "a regular file\n");
    dir += "/plain/sub";
  } else if (kind == "a read-only directory") {
    write_file(dir + "/" + o.file, kOld);
    old_file = existed = true;
    ::chmod(dir.c_str(), 0555);
    if (::access(dir.c_str(), W_OK) == 0) {
      // The superuser writes anywhere: the program runs as an ordinary user instead.
      as_nobody = ::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) == 0;
      if (!as_nobody) {
        ::chmod(dir.c_str(), 0755);
        GTEST_SKIP() << "a read-only directory does not stop this user";
      }
      ::chmod(dir_.c_str(), 0777);
    }
  } else if (kind == "the name of a directory") {
    fs::create_directory(dir + "/" + o.file);
    existed = true;
  } else if (kind == "a full disk") {
    write_file(dir + "/" + o.file, kOld);
    old_file = existed = true;
  } else {
    fs::create_symlink("/dev/full", dir + "/" + o.file);
    existed = true;
  }
  const std::string file = dir + "/" + o.file;
  const std::string top = dir_ + "/out";
  const std::vector<std::string> before = listing(top);

  std::vector<std::string> args = {"-ba", "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us"};
  for (const std::string& a : o.args(file, dir)) args.push_back(a);
  RunResult r;
  if (f.full_disk) {
    // The shell ignores the signal of an over-long file, so writes fail with EFBIG, and
    // limits files to 2 blocks (1 or 2 KiB): every output here is larger.
    args.insert(args.begin(), {"-c", "trap '' XFSZ; ulimit -f 2; exec \"$0\" \"$@\"", STACONT_BINARY});
    r = run_program("/bin/sh", args, "", env_, dir_, 120);
  } else if (as_nobody) {
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", STACONT_BINARY});
    r = run_program("/usr/bin/setpriv", args, "", env_, dir_, 120);
  } else {
    r = run_stacont(args, "", env_, dir_, 120);
  }
  if (kind == "a read-only directory") ::chmod(dir.c_str(), 0755);

  std::string message = f.at_open ? o.open_error : o.write_error;
  message = replace_all(message, "%C", existed ? "overwrite" : "create");
  message = replace_all(message, "%F", file);
  message = replace_all(message, "%R", f.reason);
  EXPECT_EQ(r.status, ZAV_STATUS_OUTPUT) << r.err;
  EXPECT_EQ(r.err, message);
  if (old_file) {
    EXPECT_EQ(read_file(file), kOld);
  }
  EXPECT_EQ(listing(top), before);  // nothing new, no temporary file
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, OutputFail, ::testing::Combine(::testing::ValuesIn(kOutputs), ::testing::ValuesIn(kFailures)),
    [](const ::testing::TestParamInfo<std::tuple<Output, Failure>>& info) {
      std::string n = std::string(std::get<0>(info.param).kind) + "_" + std::get<1>(info.param).kind;
      for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

}  // namespace
