// Outputs written whole or not at all: the old file stays byte for byte whatever fails,
// and no temporary file is left in the directory.
#include "config/fileio.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/config_table.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;

const std::string kOld = "the old file, which must survive\n";

std::vector<std::string> listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A full disk without the superuser's help: the file size limit makes every write past it
// fail with EFBIG once the signal it would send is ignored.
void limit_file_size(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, bytes};
  setrlimit(RLIMIT_FSIZE, &limit);
}

// Opens, writes `bytes` bytes of 'x' and commits (or, how "abandon", gives up), in a child
// (limits and signals stay there); the outcome on standard error as "open=<0|1>
// commit=<0|1> <reason>", for a library writing by name after the start of the temporary
// name given ("temp .out. ").
void write_in_child(const std::string& name, const std::string& how, std::size_t bytes, rlim_t limit) {
  if (limit > 0) limit_file_size(limit);
  FileOutput out;
  if (!FILE_open_temp(name.c_str(), &out, how == "append" ? FILE_OUT_APPEND : how == "by_name" ? FILE_OUT_BY_NAME : 0)) {
    std::fprintf(stderr, "open=0 %s\n", FILE_output_error(&out).c_str());
    std::exit(0);
  }
  const std::string data(bytes, 'x');
  if (out.fp != nullptr) {
    std::fwrite(data.data(), 1, data.size(), out.fp);
  } else {
    std::fprintf(stderr, "temp %s ", out.temp.substr(name.rfind('/') + 1, 5).c_str());
    write_file(out.temp, data);
  }
  const int ok = how == "abandon" ? (FILE_abandon(&out), 0) : FILE_commit(&out);
  std::fprintf(stderr, "open=1 commit=%d %s\n", ok, ok || how == "abandon" ? "" : FILE_output_error(&out).c_str());
  std::exit(0);
}

// What is there before the write.
void set_up(const std::string& dir, const std::string& what) {
  if (what == "old") write_file(dir + "/out", kOld);
  if (what == "full") fs::create_symlink("/dev/full", dir + "/out");
  if (what == "null") fs::create_symlink("/dev/null", dir + "/out");
  if (what == "dir") fs::create_directory(dir + "/out");
  if (what == "rodir" || what == "rofile") {
    write_file(dir + "/out", kOld);
    fs::permissions(what == "rodir" ? dir : dir + "/out", fs::perms::owner_write, fs::perm_options::remove);
  }
  if (what == "link") {
    write_file(dir + "/real", kOld);
    fs::create_symlink("real", dir + "/out");
  }
}

TEST(FileOutput, KeepsTheOldFileWholeAndLeavesNothing) {
  for (const TableRow& row : read_table("config/fileio.tsv")) {
    SCOPED_TRACE(row.where);
    if (row[0].rfind("ro", 0) == 0 && geteuid() == 0) continue;  // permissions do not stop the superuser
    const std::string dir = make_temp_dir("fileio");
    set_up(dir, row[0]);
    const std::string name = row[1][0] == '|' ? row[1] : dir + "/" + row[1];
    EXPECT_EXIT(write_in_child(name, row[2], std::stoul(row[3]), std::stoul(row[4])), ::testing::ExitedWithCode(0),
                "^" + row[5] + "\n$");
    const std::string file = dir + "/out";
    std::string after = row[6];
    if (after.rfind("OLD", 0) == 0) after.replace(0, 3, kOld);
    if (after == "-")
      EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
    else if (fs::is_regular_file(file))
      EXPECT_EQ(read_file(file), after);
    else  // a device, a directory, a link to a device: still there
      EXPECT_TRUE(fs::exists(fs::symlink_status(file)));
    std::string files;
    for (const std::string& f : listing(dir)) files += (files.empty() ? "" : " ") + f;
    EXPECT_EQ(files, row[7]);
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
  }
}

// Permissions: a new file gets 0666 less the umask, a replaced one keeps its own.
TEST(FileOutput, PermissionsOfNewAndReplacedFiles) {
  const std::string dir = make_temp_dir("fileio_mode");
  const mode_t old_mask = ::umask(027);
  FileOutput out;
  ASSERT_TRUE(FILE_open_temp((dir + "/new").c_str(), &out));
  ASSERT_TRUE(FILE_commit(&out));
  write_file(dir + "/kept", kOld);
  ::chmod((dir + "/kept").c_str(), 0604);
  ASSERT_TRUE(FILE_open_temp((dir + "/kept").c_str(), &out));
  ASSERT_TRUE(FILE_commit(&out));
  ::umask(old_mask);
  struct stat a {}, b {};
  ASSERT_EQ(::stat((dir + "/new").c_str(), &a), 0);
  ASSERT_EQ(::stat((dir + "/kept").c_str(), &b), 0);
  EXPECT_EQ(a.st_mode & 07777, 0640U);
  EXPECT_EQ(b.st_mode & 07777, 0604U);
  EXPECT_EQ(read_file(dir + "/kept"), "");
  fs::remove_all(dir);
}

}  // namespace
