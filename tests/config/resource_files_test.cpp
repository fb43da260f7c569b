// Resource files, environment and command line together, as the program sees them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "config/def_read.h"
#include "config/flag.h"
#include "config/resrc.h"
#include "files/date.h"
#include "tests/support/run.h"

extern char** environ;

namespace {

// file_path, data_path, con_path, grid_path, variable, message, batch
constexpr int keyed[] = {48, 41, 39, 55, 105, 73, 3, 0};
constexpr int positional[] = {50, 0};

const char* const zav_cfg =
    "# site defaults\n"
    "IF test\n"
    "*.file_path /tmp/a\n"
    "ELSE\n"
    "*.file_path /tmp/b\n"
    "END\n"
    "stacont.data_path /data/stacont\n"
    "sfc.con_path /never\n"
    "*.*.grid_path /grid/plus\n"
    "stn.variable t\n"
    "stacont.stn.variable td\n"
    "*.my_setting \"two words\"\n"
    "other.unknown_thing x\n"
    "IF quiet\n"
    "*.batch\ttrue\n"
    "END\n";

class ResourceFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_zav_environment();
    dir_ = make_temp_dir("resfiles");
    write_file(dir_ + "/zav.cfg", zav_cfg);
  }
  void TearDown() override {
    clear_zav_environment();
    DATE_set_TZ(nullptr);
    RES_clear();
    std::filesystem::remove_all(dir_);
  }
  static void clear_zav_environment() {
    std::vector<std::string> names;
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "zav", 3) == 0) names.emplace_back(*e, std::strcspn(*e, "="));
    for (const std::string& n : names) unsetenv(n.c_str());
  }
  void init(std::initializer_list<std::string> args) {
    args_.assign({"/usr/local/bin/stacont"});
    args_.insert(args_.end(), args.begin(), args.end());
    argv_.clear();
    for (std::string& a : args_) argv_.push_back(a.data());
    argv_.push_back(nullptr);
    RES_init(static_cast<int>(args_.size()), argv_.data(), keyed, positional);
  }
  static std::string get(const char* name) {
    const char* v = RES_get(name);
    return v ? v : "<unset>";
  }
  std::string dir_;
  std::vector<std::string> args_;
  std::vector<char*> argv_;
};

TEST_F(ResourceFilesTest, TagsSelectTheConditionalBranch) {
  init({"-df", dir_});
  EXPECT_EQ(get("file_path"), "/tmp/b");
  init({"-df", "+test:" + dir_});
  EXPECT_EQ(get("file_path"), "/tmp/a");
  init({"-df=+TEST:" + dir_ + "/zav.cfg"});
  EXPECT_EQ(get("file_path"), "/tmp/a");
}

TEST_F(ResourceFilesTest, PatternsApplyToThisProgramAndItsTitle) {
  init({"-df", dir_});
  EXPECT_EQ(get("data_path"), "/data/stacont");
  EXPECT_EQ(get("con_path"), "<unset>");
  EXPECT_EQ(get("grid_path"), "<unset>");
  EXPECT_EQ(get("variable"), "<unset>");
  EXPECT_EQ(get("my_setting"), "two words");  // unknown names are kept under their bare name
  EXPECT_EQ(get("unknown_thing"), "<unset>");
  EXPECT_EQ(get("name"), "<unset>");

  init({"-df", dir_, "-na", "stn"});  // the title replaces the program name
  EXPECT_EQ(get("variable"), "t");
  EXPECT_EQ(get("data_path"), "<unset>");
  EXPECT_EQ(get("file_path"), "/tmp/b");
  EXPECT_EQ(get("name"), "stn");

  init({"-na=+stn", "-df", dir_});  // a '+' title keeps it: stacont.stn.resource
  EXPECT_EQ(get("variable"), "td");
  EXPECT_EQ(get("grid_path"), "/grid/plus");
  EXPECT_EQ(get("data_path"), "<unset>");
  EXPECT_EQ(get("file_path"), "/tmp/b");
}

TEST_F(ResourceFilesTest, FileThenEnvironmentThenCommandLine) {
  init({"-df", dir_});
  EXPECT_EQ(get("file_path"), "/tmp/b");
  setenv("zavfile_path", "/env/generic", 1);
  init({"-df", dir_});
  EXPECT_EQ(get("file_path"), "/env/generic");
  setenv("zavfile", "/env/own", 1);
  init({"-df", dir_});
  EXPECT_EQ(get("file_path"), "/env/own");
  setenv("zavstacont.file_path", "/env/program", 1);
  init({"-df", dir_});
  EXPECT_EQ(get("file_path"), "/env/program");
  init({"-df", dir_, "-fp", "/cmd"});
  EXPECT_EQ(get("file_path"), "/cmd");
  init({"-fp", "/cmd", "-df", "+test:" + dir_});
  EXPECT_EQ(get("file_path"), "/cmd");
}

TEST_F(ResourceFilesTest, DefaultListFromEnvironmentAndOption) {
  const std::string other = dir_ + "/other";
  std::filesystem::create_directory(other);
  write_file(other + "/.zavdef", "*.file_path /from/other\n*.data_path /other/data\n");
  setenv("zavdefault", (dir_ + ":" + other).c_str(), 1);
  init({});
  EXPECT_EQ(get("file_path"), "/from/other");  // later files replace earlier ones
  EXPECT_EQ(get("data_path"), "/other/data");
  init({"-default", dir_});  // the option replaces the variable
  EXPECT_EQ(get("file_path"), "/tmp/b");
  EXPECT_EQ(get("data_path"), "/data/stacont");

  // Without a list the current directory comes first.
  unsetenv("zavdefault");
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(other);
  init({});
  std::filesystem::current_path(cwd);
  EXPECT_EQ(get("file_path"), "/from/other");

  const char* home = std::getenv("HOME");
  const std::string saved = home ? home : "";
  setenv("HOME", other.c_str(), 1);
  init({"-df", "~"});
  EXPECT_EQ(get("file_path"), "/from/other");
  if (home) setenv("HOME", saved.c_str(), 1);
}

TEST_F(ResourceFilesTest, FileValuesAreConvertedLikeOptions) {
  init({"-df", dir_});
  EXPECT_EQ(FLAG_batch(), 0);
  init({"-df", "+quiet:" + dir_});
  EXPECT_GT(FLAG_batch(), 0);
}

TEST_F(ResourceFilesTest, MalformedFilesWarnAndTheNextFileStillCounts) {
  const std::string bad = dir_ + "/bad";
  std::string text = "ELSE\nEND\nIF x\n";
  text += "*.data_path " + std::string(10 * 1024, 'x') + "\n";
  text += std::string("\0\0\xff\n*.con_path \"unterminated\n", 29);
  write_file(bad, text);
  testing::internal::CaptureStderr();
  init({"-df", bad + ":" + dir_});
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("DEF_get: else without an if\n"), std::string::npos) << err;
  EXPECT_NE(err.find("DEF_get: end without an if\n"), std::string::npos) << err;
  EXPECT_EQ(get("con_path"), "<unset>");  // inside the open IF x
  EXPECT_EQ(get("data_path"), "/data/stacont");
  EXPECT_EQ(get("file_path"), "/tmp/b");
}

TEST_F(ResourceFilesTest, TimeZoneFromEnvironmentChangesLabels) {
  setenv("zavtz", "+EST:-5", 1);
  init({"-df", dir_});
  DateRec d{1998, 1, 5, -9999, -9999, 17, -9999, -9999};
  char text[DATE_LABEL_LEN];
  DATE_make_label(&d, text);
  EXPECT_STREQ(text, "12 PM EST  5 JAN 98");
  setenv("zavtz", "-EST:-5", 1);
  init({"-df", dir_});
  DATE_make_label(&d, text);
  EXPECT_STREQ(text, "12 PM EST [17Z]  5 JAN 98");
}

// The program itself: "set" at the first prompt lists the store that the files, the
// environment and the command line made.
TEST_F(ResourceFilesTest, SetAtThePromptListsTheStore) {
  const std::map<std::string, std::string> env = {{"zavfile", ""},       {"zavfile_path", ""},
                                                  {"zavdefault", ""},    {"zavstacont.file_path", ""},
                                                  {"zavdata", "/env/d"}, {"zavtz", ""}};
  const RunResult r = run_stacont({"-df", "+test:" + dir_, "-cp", "/cmd/con"}, "set\n", env, dir_, 30);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Set resources\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("file_path: /tmp/a\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("data_path: /env/d\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("con_path: /cmd/con\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("my_setting: two words\n"), std::string::npos) << r.out;
}

}  // namespace
