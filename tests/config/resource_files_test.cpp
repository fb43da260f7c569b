// Resource files, environment and command line together, as the program sees them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

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
    "IF test\n*.file_path /tmp/a\nELSE\n*.file_path /tmp/b\nEND\n"
    "stacont.data_path /data/stacont\n"
    "sfc.con_path /never\n"
    "*.*.grid_path /grid/plus\n"
    "stn.variable t\n"
    "stacont.stn.variable td\n"
    "*.my_setting \"two words\"\n"
    "other.unknown_thing x\n"
    "IF quiet\n*.batch\ttrue\nEND\n";

class ResourceFiles : public ::testing::Test {
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
  void init(std::vector<std::string> args) {
    args_ = std::move(args);
    args_.insert(args_.begin(), "/usr/local/bin/stacont");
    argv_.clear();
    for (std::string& a : args_) argv_.push_back(a.data());
    argv_.push_back(nullptr);
    RES_init(static_cast<int>(args_.size()), argv_.data(), keyed, positional);
  }
  // The values of the listed resources after decoding the command line.
  std::vector<std::string> values(std::vector<std::string> args, std::vector<const char*> names) {
    init(std::move(args));
    std::vector<std::string> out;
    for (const char* n : names) out.push_back(RES_get(n) ? RES_get(n) : "<unset>");
    return out;
  }
  std::string dir_;
  std::vector<std::string> args_;
  std::vector<char*> argv_;
};

using V = std::vector<std::string>;

TEST_F(ResourceFiles, TagsAndPatternsForProgramAndTitle) {
  const std::vector<const char*> names = {"file_path", "data_path", "con_path", "grid_path",
                                          "variable",  "my_setting", "unknown_thing", "name"};
  EXPECT_EQ(values({"-df", dir_}, names),
            (V{"/tmp/b", "/data/stacont", "<unset>", "<unset>", "<unset>", "two words", "<unset>", "<unset>"}));
  EXPECT_EQ(values({"-df", "+test:" + dir_}, {"file_path"}), V{"/tmp/a"});
  EXPECT_EQ(values({"-df=+TEST:" + dir_ + "/zav.cfg"}, {"file_path"}), V{"/tmp/a"});
  // A title replaces the program name; a '+' title keeps it: stacont.stn.resource.
  EXPECT_EQ(values({"-df", dir_, "-na", "stn"}, {"variable", "data_path", "file_path", "grid_path", "name"}),
            (V{"t", "<unset>", "/tmp/b", "<unset>", "stn"}));
  EXPECT_EQ(values({"-na=+stn", "-df", dir_}, {"variable", "grid_path", "data_path", "file_path"}),
            (V{"td", "/grid/plus", "<unset>", "/tmp/b"}));
}

TEST_F(ResourceFiles, FileThenEnvironmentThenCommandLine) {
  const std::pair<const char*, const char*> env[] = {
      {"zavfile_path", "/env/generic"}, {"zavfile", "/env/own"}, {"zavstacont.file_path", "/env/program"}};
  for (auto [name, value] : env) {
    setenv(name, value, 1);
    EXPECT_EQ(values({"-df", dir_}, {"file_path"}), V{value});
  }
  EXPECT_EQ(values({"-df", dir_, "-fp", "/cmd"}, {"file_path"}), V{"/cmd"});
  EXPECT_EQ(values({"-fp", "/cmd", "-df", "+test:" + dir_}, {"file_path"}), V{"/cmd"});
}

TEST_F(ResourceFiles, DefaultListFromEnvironmentOptionAndCurrentDirectory) {
  const std::string other = dir_ + "/other";
  std::filesystem::create_directory(other);
  write_file(other + "/.zavdef", "*.file_path /from/other\n*.data_path /other/data\n");
  setenv("zavdefault", (dir_ + ":" + other).c_str(), 1);
  EXPECT_EQ(values({}, {"file_path", "data_path"}), (V{"/from/other", "/other/data"}));  // later files win
  EXPECT_EQ(values({"-default", dir_}, {"file_path", "data_path"}), (V{"/tmp/b", "/data/stacont"}));
  unsetenv("zavdefault");  // without a list the current directory comes first
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(other);
  EXPECT_EQ(values({}, {"file_path"}), V{"/from/other"});
  std::filesystem::current_path(cwd);
  // File values are converted like options.
  init({"-df", dir_});
  EXPECT_EQ(FLAG_batch(), 0);
  init({"-df", "+quiet:" + dir_});
  EXPECT_GT(FLAG_batch(), 0);
}

TEST_F(ResourceFiles, MalformedFilesWarnAndTheNextFileStillCounts) {
  const std::string bad = dir_ + "/bad";
  std::string text = "ELSE\nEND\nIF x\n*.data_path " + std::string(10 * 1024, 'x') + "\n";
  text += std::string("\0\0\xff\n*.con_path \"unterminated\n", 29);
  write_file(bad, text);
  testing::internal::CaptureStderr();
  init({"-df", bad + ":" + dir_});
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("DEF_get: else without an if\nDEF_get: end without an if\n"), std::string::npos) << err;
  EXPECT_EQ(values({"-df", bad + ":" + dir_}, {"con_path", "data_path", "file_path"}),
            (V{"<unset>", "/data/stacont", "/tmp/b"}));
}

TEST_F(ResourceFiles, TimeZoneFromEnvironmentChangesLabels) {
  DateRec d{1998, 1, 5, -9999, -9999, 17, -9999, -9999};
  char text[DATE_LABEL_LEN];
  setenv("zavtz", "+EST:-5", 1);
  init({"-df", dir_});
  DATE_make_label(&d, text);
  EXPECT_STREQ(text, "12 PM EST  5 JAN 98");
  setenv("zavtz", "-EST:-5", 1);
  init({"-df", dir_});
  DATE_make_label(&d, text);
  EXPECT_STREQ(text, "12 PM EST [17Z]  5 JAN 98");
}

// The program itself: "set" at the first prompt lists the store that the files, the
// environment and the command line made.
TEST_F(ResourceFiles, SetAtThePromptListsTheStore) {
  const std::map<std::string, std::string> env = {{"zavfile", ""},       {"zavfile_path", ""},
                                                  {"zavdefault", ""},    {"zavstacont.file_path", ""},
                                                  {"zavdata", "/env/d"}, {"zavtz", ""}};
  const RunResult r = run_stacont({"-df", "+test:" + dir_, "-cp", "/cmd/con"}, "set\n", env, dir_, 30);
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* line : {"Set resources\n", "file_path: /tmp/a\n", "data_path: /env/d\n", "con_path: /cmd/con\n",
                           "my_setting: two words\n", "End of input: exiting\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

}  // namespace
