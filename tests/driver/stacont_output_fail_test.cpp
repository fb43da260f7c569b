// Every kind of output the program writes, against every way an output fails: the run
// names the file and the reason, ends with the output status, leaves an old file byte for
// byte as it was and no temporary file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "config/system.h"
#include "tests/support/driver_runs.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;
const std::string kOld = "an old file that a failed run must leave alone\n";

// One kind of output, a row of output_fail.tsv.
using Output = std::map<std::string, std::string>;

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
    write_file(dir + "/" + o.at("file"), kOld);
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
    fs::create_directory(dir + "/" + o.at("file"));
    existed = true;
  } else if (kind == "a full disk") {
    write_file(dir + "/" + o.at("file"), kOld);
    old_file = existed = true;
  } else {
    fs::create_symlink("/dev/full", dir + "/" + o.at("file"));
    existed = true;
  }
  const std::string file = dir + "/" + o.at("file");
  const std::string top = dir_ + "/out";
  const std::vector<std::string> before = listing(top);

  std::vector<std::string> args =
      sample_args("2026031412", "us", words(replace_all(replace_all(o.at("args"), "%F", file), "%D", dir)));
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

  std::string message = f.at_open ? o.at("open_error") : o.at("write_error");
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
    Outputs, OutputFail, ::testing::Combine(::testing::ValuesIn(read_tsv("output_fail.tsv")), ::testing::ValuesIn(kFailures)),
    [](const ::testing::TestParamInfo<std::tuple<Output, Failure>>& info) {
      std::string n = std::get<0>(info.param).at("kind") + "_" + std::get<1>(info.param).kind;
      for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

}  // namespace
