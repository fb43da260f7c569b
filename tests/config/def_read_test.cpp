#include "config/def_read.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/run.h"

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

class DefReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir("def_read");
    DEF_prog("/usr/bin/stacont");
    DEF_name(nullptr);
    DEF_clr_tag();
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    DEF_close();
    DEF_clr_tag();
    DEF_name(nullptr);
  }
  std::string file(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    write_file(path, text);
    return path;
  }
  // Every line the reader returns for the file, with the warnings printed meanwhile.
  Lines read_all(const std::string& path, std::string* warnings = nullptr) {
    Lines out;
    EXPECT_EQ(DEF_open(path.c_str()), 0) << path;
    testing::internal::CaptureStderr();
    char name[DEF_LINE_LEN], value[DEF_LINE_LEN];
    while (DEF_get(name, value) == 1) out.emplace_back(name, value);
    const std::string err = testing::internal::GetCapturedStderr();
    if (warnings) *warnings = err;
    DEF_close();
    return out;
  }
  std::string dir_;
};

TEST_F(DefReadTest, LinesNamesAndQuotedValues) {
  const std::string path = file("r", "# comment line\n"
                                     "\n"
                                     "   \t\n"
                                     "lonely\n"
                                     "FILE_PATH: /x\n"
                                     "*.label \"Surface  analysis\" trailing\n"
                                     "stacont.title \"unterminated value  \n"
                                     "empty \"\"\n"
                                     "  # indented comment\n"
                                     "crlf value\r\n"
                                     "two words only here\n"
                                     "last no_newline");
  const Lines want = {{"file_path", "/x"},
                      {"*.label", "Surface  analysis"},
                      {"stacont.title", "unterminated value  "},
                      {"empty", ""},
                      {"crlf", "value"},
                      {"two", "words"},
                      {"last", "no_newline"}};
  EXPECT_EQ(read_all(path), want);
}

struct CondCase {
  const char* name;
  std::vector<const char*> tags;
  const char* text;
  Lines want;
  const char* warnings;
};

class DefCondTest : public DefReadTest, public ::testing::WithParamInterface<CondCase> {};

TEST_P(DefCondTest, Sections) {
  const CondCase& c = GetParam();
  for (const char* t : c.tags) DEF_tag(t);
  std::string warnings;
  EXPECT_EQ(read_all(file("cond", c.text), &warnings), c.want);
  EXPECT_EQ(warnings, c.warnings);
}

const char* const if_else = "IF test\nfile_path /tmp/a\nELSE\nfile_path /tmp/b\nEND\n";
const char* const chain =
    "IF one\nv 1\nELIF two\nv 2\nELIF three\nv 3\nELSE\nv other\nEND\nafter yes\n";
const char* const nested =
    "IF a\nx a\nIF b\nx ab\nELSE\nx a-not-b\nEND\nx a-again\nELSE\nx not-a\nIF b\nx not-a-b\nEND\nEND\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, DefCondTest,
    ::testing::Values(
        CondCase{"else_taken", {}, if_else, {{"file_path", "/tmp/b"}}, ""},
        CondCase{"if_taken", {"+test"}, if_else, {{"file_path", "/tmp/a"}}, ""},
        CondCase{"tag_case", {"TEST"}, if_else, {{"file_path", "/tmp/a"}}, ""},
        CondCase{"chain_none", {}, chain, {{"v", "other"}, {"after", "yes"}}, ""},
        CondCase{"chain_two", {"two"}, chain, {{"v", "2"}, {"after", "yes"}}, ""},
        CondCase{"chain_first_wins", {"three", "one"}, chain, {{"v", "1"}, {"after", "yes"}}, ""},
        CondCase{"nested_ab", {"a", "b"}, nested, {{"x", "a"}, {"x", "ab"}, {"x", "a-again"}}, ""},
        CondCase{"nested_a", {"a"}, nested, {{"x", "a"}, {"x", "a-not-b"}, {"x", "a-again"}}, ""},
        CondCase{"nested_b", {"b"}, nested, {{"x", "not-a"}, {"x", "not-a-b"}}, ""},
        CondCase{"nested_none", {}, nested, {{"x", "not-a"}}, ""},
        CondCase{"def_undef", {"gone"},
                 "DEF local\nIF local\nx 1\nEND\nUNDEF gone\nIF gone\nx 2\nEND\nIF never\nDEF hidden\nEND\n"
                 "IF hidden\nx 3\nEND\n",
                 {{"x", "1"}},
                 ""},
        CondCase{"directives_are_upper_case", {}, "if test\nx 1\n", {{"if", "test"}, {"x", "1"}}, ""},
        CondCase{"unbalanced", {},
                 "ELIF x\nELSE\nEND\na 1\nIF x\nb 2\nEND\nEND\nc 3\n",
                 {{"a", "1"}, {"c", "3"}},
                 "DEF_get: elif without an if\nDEF_get: else without an if\nDEF_get: end without an if\n"
                 "DEF_get: end without an if\n"},
        CondCase{"if_left_open", {}, "a 1\nIF x\nb 2\n", {{"a", "1"}}, "DEF_get: if without an end\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DefReadTest, EachFileStartsWithoutOpenSections) {
  const std::string open_if = file("a", "IF missing\n");
  const std::string plain = file("b", "x 1\n");
  read_all(open_if);
  EXPECT_EQ(read_all(plain), (Lines{{"x", "1"}}));
}

TEST_F(DefReadTest, TagsAreLimitedToTen) {
  for (int i = 0; i < DEF_MAX_TAG; ++i) EXPECT_EQ(DEF_tag(("t" + std::to_string(i)).c_str()), i + 1);
  EXPECT_EQ(DEF_tag("t3"), DEF_MAX_TAG);  // already there
  EXPECT_EQ(DEF_tag("one_more"), -1);
  // DEF lines are ignored once ten tags exist.
  EXPECT_EQ(read_all(file("t", "DEF eleven\nIF eleven\nx 1\nEND\nIF t9\ny 2\nEND\n")), (Lines{{"y", "2"}}));
  DEF_clr_tag();
  EXPECT_EQ(DEF_tag("+again"), 1);
}

TEST_F(DefReadTest, OverlongLinesAreSkippedWithoutLeakingTheirTail) {
  const std::string tail = " sneaky /tail";
  std::string text = "before 1\n";
  text += "long_value " + std::string(10 * 1024, 'v') + tail + "\n";
  text += "# " + std::string(5000, 'c') + tail + "\n";
  text += "name_249 " + std::string(249 - 9, 'w') + "\n";  // exactly at the limit: kept
  text += "after 2\n";
  std::string warnings;
  const Lines got = read_all(file("long", text), &warnings);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], (std::pair<std::string, std::string>{"before", "1"}));
  EXPECT_EQ(got[1].first, "name_249");
  EXPECT_EQ(got[1].second.size(), 240u);
  EXPECT_EQ(got[2], (std::pair<std::string, std::string>{"after", "2"}));
  EXPECT_NE(warnings.find("DEF_get: line longer than 249 characters skipped: long_value vvv"), std::string::npos)
      << warnings;
  EXPECT_EQ(warnings.find("sneaky"), std::string::npos);
}

TEST_F(DefReadTest, BinaryBytesAndNulsNeverCrash) {
  std::string text = "good 1\n";
  text += std::string("nul\0byte value\n", 15);
  text += "\x01\x02\xff\xfe \x80\x81\n";
  text += std::string("\0\0\0\n", 4);
  text += "IF\n\"\n\" \"\n";  // IF without a tag, lone quotes
  text += "END\n";
  text += "good 2\n";
  const Lines got = read_all(file("bin", text));
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got.front(), (std::pair<std::string, std::string>{"good", "1"}));
  EXPECT_EQ(got.back(), (std::pair<std::string, std::string>{"good", "2"}));

  // Random files: whatever comes back must fit the buffers and nothing may crash.
  std::mt19937 rng(12345);
  const std::string alphabet = std::string("IFELSDNU #\"\n\t\r:*.ab", 20) + std::string(1, '\0') + "\xff";
  for (int round = 0; round < 200; ++round) {
    std::string junk;
    const int len = static_cast<int>(rng() % 2000);
    for (int i = 0; i < len; ++i)
      junk += (rng() % 4 == 0) ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
    ASSERT_EQ(DEF_open(file("junk", junk).c_str()), 0);
    testing::internal::CaptureStderr();
    char name[DEF_LINE_LEN], value[DEF_LINE_LEN];
    int lines = 0;
    while (DEF_get(name, value) == 1) {
      ASSERT_LT(std::string(name).size(), static_cast<size_t>(DEF_LINE_LEN));
      ASSERT_LT(std::string(value).size(), static_cast<size_t>(DEF_LINE_LEN));
      ASSERT_LT(++lines, 2001);
    }
    testing::internal::GetCapturedStderr();
    DEF_close();
  }
}

TEST_F(DefReadTest, OpenFindsFilesInDirectoriesHomeAndCommands) {
  char name[DEF_LINE_LEN], value[DEF_LINE_LEN];
  auto first_value = [&](const std::string& path, bool null_path = false) -> std::string {
    if (DEF_open(null_path ? nullptr : path.c_str()) != 0) return "<none>";
    std::string v = DEF_get(name, value) == 1 ? value : "<empty>";
    DEF_close();
    return v;
  };
  const std::string d = dir_ + "/etc";
  std::filesystem::create_directory(d);
  file("etc/Zav.res", "x res\n");
  EXPECT_EQ(first_value(d), "res");
  file("etc/.zavdef", "x zavdef\n");
  EXPECT_EQ(first_value(d + "/"), "zavdef");
  file("etc/zav.cfg", "x cfg\n");
  EXPECT_EQ(first_value(d), "cfg");
  std::filesystem::create_directory(dir_ + "/empty");
  EXPECT_EQ(first_value(dir_ + "/empty"), "<none>");
  EXPECT_EQ(first_value(dir_ + "/no/such/file"), "<none>");
  EXPECT_EQ(first_value("/dev/zero"), "<none>");
  EXPECT_EQ(first_value("|printf 'x piped\\n'"), "piped");

  const char* old_home = std::getenv("HOME");
  const std::string saved = old_home ? old_home : "";
  setenv("HOME", dir_.c_str(), 1);
  EXPECT_EQ(first_value("~/etc"), "cfg");
  EXPECT_EQ(first_value("~/etc/Zav.res"), "res");
  if (old_home) setenv("HOME", saved.c_str(), 1);

  // No path: ".zavdef" in the current directory.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(d.c_str()), 0);
  EXPECT_EQ(first_value(""), "zavdef");
  EXPECT_EQ(first_value("", true), "zavdef");
  ASSERT_EQ(chdir(cwd), 0);
  DEF_close();
  EXPECT_EQ(DEF_get(name, value), -1);
}

struct CmpCase {
  const char* title;
  const char* pattern;
  int cmp;    // DEF_cmp(file_path, pattern)
  int valid;  // DEF_valid(pattern)
};

class DefCmpTest : public DefReadTest, public ::testing::WithParamInterface<CmpCase> {};

TEST_P(DefCmpTest, Patterns) {
  const CmpCase& c = GetParam();
  DEF_name(c.title);
  EXPECT_EQ(DEF_cmp("file_path", c.pattern), c.cmp) << c.title << " " << c.pattern;
  EXPECT_EQ(DEF_valid(c.pattern), c.valid) << c.title << " " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefCmpTest,
    ::testing::Values(CmpCase{"", "*.file_path", 1, 1}, CmpCase{"", "stacont.file_path", 1, 1},
                      CmpCase{"", "STACONT.file_path", 1, 1}, CmpCase{"", "sfc.file_path", 0, 0},
                      CmpCase{"", "*.*.file_path", 0, 0}, CmpCase{"", "file_path", 1, 1},
                      CmpCase{"", "*path", 1, 1}, CmpCase{"", "*", 1, 1}, CmpCase{"", "stacont.*", 1, 1},
                      CmpCase{"", "stacont.file_pat", 0, 1}, CmpCase{"", "stacont.file_paths", 0, 1},
                      CmpCase{"", "data_path", 0, 1}, CmpCase{"", "st*t.file_path", 1, 1},
                      CmpCase{"stn", "stn.file_path", 1, 1}, CmpCase{"stn", "stacont.file_path", 0, 0},
                      CmpCase{"stn", "*.file_path", 1, 1}, CmpCase{"+stn", "stacont.stn.file_path", 1, 1},
                      CmpCase{"+stn", "*.*.file_path", 1, 1}, CmpCase{"+stn", "*.file_path", 1, 1},
                      CmpCase{"+stn", "*.stn.*", 1, 1}, CmpCase{"+stn", "stacont.file_path", 0, 0},
                      CmpCase{"+stn", "*.other.file_path", 0, 0}));

TEST_F(DefReadTest, ParseNameAndProgramName) {
  char name[DEF_LINE_LEN];
  EXPECT_STREQ(DEF_parse_name("*.*.file_path", name), "file_path");
  EXPECT_STREQ(DEF_parse_name("stacont*color", name), "color");
  EXPECT_STREQ(DEF_parse_name("plain", name), "plain");
  EXPECT_STREQ(DEF_parse_name("trailing.", name), "");
  DEF_prog("sfc");
  EXPECT_EQ(DEF_cmp("file_path", "sfc.file_path"), 1);
  DEF_prog(nullptr);
  EXPECT_EQ(DEF_cmp("file_path", "Zav.file_path"), 1);
}

TEST_F(DefReadTest, EnvironmentVariablesInOrder) {
  const char* vars[] = {"zavstacont.file_path", "zavstn.file_path", "zavstacont.stn.file_path", "zavfile",
                        "zavfile_path"};
  for (const char* v : vars) unsetenv(v);
  std::string value = "unchanged";
  EXPECT_EQ(DEF_env("file_path", "zavfile", value), 0);
  EXPECT_EQ(value, "unchanged");
  setenv("zavfile_path", "generic", 1);
  EXPECT_EQ(DEF_env("file_path", "zavfile", value), 1);
  EXPECT_EQ(value, "generic");
  setenv("zavfile", "own", 1);
  DEF_env("file_path", "zavfile", value);
  EXPECT_EQ(value, "own");
  DEF_env("file_path", nullptr, value);
  EXPECT_EQ(value, "generic");
  setenv("zavstacont.file_path", "program", 1);
  DEF_env("file_path", "zavfile", value);
  EXPECT_EQ(value, "program");
  setenv("zavstn.file_path", "title", 1);
  setenv("zavstacont.stn.file_path", "plus-title", 1);
  DEF_name("stn");
  DEF_env("file_path", "zavfile", value);
  EXPECT_EQ(value, "title");
  DEF_name("+stn");
  DEF_env("file_path", "zavfile", value);
  EXPECT_EQ(value, "plus-title");
  for (const char* v : vars) unsetenv(v);
}

}  // namespace
