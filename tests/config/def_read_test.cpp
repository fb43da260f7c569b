#include "config/def_read.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run.h"

using Lines = std::vector<std::pair<std::string, std::string>>;

class DefRead : public ::testing::Test {
 protected:
  void SetUp() override { DEF_prog("/usr/bin/stacont"); }
  void TearDown() override { std::filesystem::remove_all(dir_), DEF_clr_tag(), DEF_name(nullptr); }
  // Every line the reader returns for the text; the warnings printed meanwhile in warnings_.
  Lines read_all(const std::string& text) {
    Lines out;
    write_file(dir_ + "/r", text);
    EXPECT_EQ(DEF_open((dir_ + "/r").c_str()), 0);
    testing::internal::CaptureStderr();
    char name[DEF_LINE_LEN], value[DEF_LINE_LEN];
    while (DEF_get(name, value) == 1) {
      EXPECT_TRUE(std::strlen(name) < DEF_LINE_LEN && std::strlen(value) < DEF_LINE_LEN);
      out.emplace_back(name, value);
    }
    warnings_ = testing::internal::GetCapturedStderr();
    DEF_close();
    return out;
  }
  std::string dir_ = make_temp_dir("def_read"), warnings_;
};

TEST_F(DefRead, LinesNamesAndQuotedValues) {
  EXPECT_EQ(read_all("# comment line\n\n   \t\nlonely\nFILE_PATH: /x\n*.label \"Surface  analysis\" trailing\n"
                     "stacont.title \"unterminated value  \nempty \"\"\n  # indented comment\ncrlf value\r\n"
                     "two words only here\nlast no_newline"),
            (Lines{{"file_path", "/x"}, {"*.label", "Surface  analysis"}, {"stacont.title", "unterminated value  "},
                   {"empty", ""}, {"crlf", "value"}, {"two", "words"}, {"last", "no_newline"}}));
}

TEST_F(DefRead, ConditionalSections) {
  const std::string if_else = "IF test\nfile_path /tmp/a\nELSE\nfile_path /tmp/b\nEND\n";
  const std::string chain = "IF one\nv 1\nELIF two\nv 2\nELIF three\nv 3\nELSE\nv other\nEND\nafter yes\n";
  const std::string nested =
      "IF a\nx a\nIF b\nx ab\nELSE\nx a-not-b\nEND\nx a-again\nELSE\nx not-a\nIF b\nx not-a-b\nEND\nEND\n";
  const struct {
    std::vector<const char*> tags;
    std::string text;
    Lines want;
    const char* warnings;
  } cases[] = {
      {{}, if_else, {{"file_path", "/tmp/b"}}, ""}, {{"+test"}, if_else, {{"file_path", "/tmp/a"}}, ""},
      {{"TEST"}, if_else, {{"file_path", "/tmp/a"}}, ""}, {{}, chain, {{"v", "other"}, {"after", "yes"}}, ""},
      {{"three", "two"}, chain, {{"v", "2"}, {"after", "yes"}}, ""},
      {{"a"}, nested, {{"x", "a"}, {"x", "a-not-b"}, {"x", "a-again"}}, ""},
      {{"b"}, nested, {{"x", "not-a"}, {"x", "not-a-b"}}, ""},
      {{"gone"},
       "DEF local\nIF local\nx 1\nEND\nUNDEF gone\nIF gone\nx 2\nEND\nIF never\nDEF hidden\nEND\nIF hidden\nx 3\nEND\n",
       {{"x", "1"}}, ""},
      {{}, "if test\nx 1\n", {{"if", "test"}, {"x", "1"}}, ""},  // directives are upper case only
      {{}, "ELIF x\nELSE\nEND\na 1\nIF x\nb 2\nEND\nEND\nc 3\n", {{"a", "1"}, {"c", "3"}},
       "DEF_get: elif without an if\nDEF_get: else without an if\nDEF_get: end without an if\n"
       "DEF_get: end without an if\n"},
      {{}, "a 1\nIF x\nb 2\n", {{"a", "1"}}, "DEF_get: if without an end\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    DEF_clr_tag();
    for (const char* t : c.tags) DEF_tag(t);
    EXPECT_EQ(read_all(c.text), c.want);
    EXPECT_EQ(warnings_, c.warnings);
  }
  DEF_clr_tag();
  EXPECT_EQ(read_all("x 1\n"), (Lines{{"x", "1"}}));  // the open IF of the last file is gone
}

TEST_F(DefRead, TagsAreLimitedToTen) {
  for (int i = 0; i < DEF_MAX_TAG; ++i) EXPECT_EQ(DEF_tag(("t" + std::to_string(i)).c_str()), i + 1);
  EXPECT_EQ(DEF_tag("t3"), DEF_MAX_TAG);  // already there
  EXPECT_EQ(DEF_tag("one_more"), -1);
  EXPECT_EQ(read_all("DEF eleven\nIF eleven\nx 1\nEND\nIF t9\ny 2\nEND\n"), (Lines{{"y", "2"}}));
}

// Deep nesting costs no more per line than shallow: 300,000 sections open and close in
// seconds even under the sanitizers (looking at every open section for each line took
// four seconds for 100,000 of them in an optimised build, and grows with the square).
TEST_F(DefRead, DeepNestingIsLinear) {
  constexpr int depth = 300000;
  DEF_tag("on");
  std::string text;
  for (int i = 0; i < depth; ++i) text += i % 2 ? "IF on\n" : "IF off\nx 0\nELIF on\n";
  text += "deep 1\n";
  for (int i = 0; i < depth; ++i) text += "END\n";
  text += "IF off\nskipped 1\nELSE\nshallow 2\nEND\n";
  const auto start = std::chrono::steady_clock::now();
  const Lines got = read_all(text);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(got, (Lines{{"deep", "1"}, {"shallow", "2"}}));
  EXPECT_LT(seconds, 20.0);
}

TEST_F(DefRead, HostileFilesNeverCrash) {
  std::string text = "before 1\nlong_value " + std::string(10 * 1024, 'v') + " sneaky /tail\n";
  text += "# " + std::string(5000, 'c') + " sneaky /tail\n";
  text += "name_249 " + std::string(249 - 9, 'w') + "\n";  // exactly at the limit: kept
  const char binary[] = "nul\0byte value\n\x01\x02\xff\xfe \x80\x81\n\0\0\0\nIF\n\"\n\" \"\nEND\nafter 2\n";
  text.append(binary, sizeof binary - 1);
  const Lines got = read_all(text);
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[0], Lines::value_type("before", "1"));
  EXPECT_EQ(got[1].second, std::string(240, 'w'));
  EXPECT_EQ(got.back(), Lines::value_type("after", "2"));
  EXPECT_NE(warnings_.find("DEF_get: line longer than 249 characters skipped: long_value vvv"), std::string::npos);
  EXPECT_EQ(warnings_.find("sneaky"), std::string::npos) << warnings_;
}

TEST_F(DefRead, OpenFindsFilesInDirectoriesHomeAndCommands) {
  char name[DEF_LINE_LEN], value[DEF_LINE_LEN];
  auto first_value = [&](const std::string& path, const char* contents = nullptr) -> std::string {
    if (contents) write_file(path, contents);
    if (DEF_open(path == "<null>" ? nullptr : path.c_str()) != 0) return "<none>";
    std::string v = DEF_get(name, value) == 1 ? value : "<empty>";
    DEF_close();
    return v;
  };
  std::filesystem::create_directories(dir_ + "/etc");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_);  // relative paths from here; no path: ".zavdef" here
  EXPECT_EQ(first_value(dir_), "<none>");  // a directory without any of the three files
  for (auto [name, word] : {std::pair{"Zav.res", "res"}, {".zavdef", "zavdef"}, {"zav.cfg", "cfg"}}) {
    EXPECT_EQ(first_value(std::string("etc/") + name, (std::string("x ") + word + "\n").c_str()), word);
    EXPECT_EQ(first_value("etc/"), word);  // zav.cfg before .zavdef before Zav.res
  }
  for (const char* path : {"no/such/file", "/dev/zero"}) EXPECT_EQ(first_value(path), "<none>");
  EXPECT_EQ(first_value("|printf 'x piped\\n'"), "piped");
  EXPECT_EQ(first_value(".zavdef", "x here\n"), "here");
  EXPECT_EQ(first_value("") + first_value("<null>"), "herehere");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(DEF_get(name, value), -1);
}

TEST_F(DefRead, PatternsForProgramAndTitle) {
  const struct {
    const char *title, *pattern;
    int cmp, valid;  // DEF_cmp(file_path, pattern), DEF_valid(pattern)
  } cases[] = {{"", "STACONT.file_path", 1, 1}, {"", "file_path", 1, 1},         {"", "*path", 1, 1},
               {"", "stacont.*", 1, 1},         {"", "stacont.file_pat", 0, 1},  {"", "stacont.file_paths", 0, 1},
               {"", "st*t.file_path", 1, 1},    {"", "sfc.file_path", 0, 0},     {"", "*.*.file_path", 0, 0},
               {"stn", "stacont.file_path", 0, 0}, {"+stn", "*.file_path", 1, 1}, {"+stn", "*.stn.*", 1, 1},
               {"+stn", "*.*.file_path", 1, 1},    {"+stn", "*.other.file_path", 0, 0}};
  for (const auto& c : cases) {
    DEF_name(c.title);
    EXPECT_EQ(DEF_cmp("file_path", c.pattern), c.cmp) << c.title << " " << c.pattern;
    EXPECT_EQ(DEF_valid(c.pattern), c.valid) << c.title << " " << c.pattern;
  }
  DEF_name(nullptr);
  char name[DEF_LINE_LEN];
  EXPECT_STREQ(DEF_parse_name("*.*.file_path", name), "file_path");
  EXPECT_STREQ(DEF_parse_name("stacont*color", name), "color");
  EXPECT_STREQ(DEF_parse_name("trailing.", name), "");
  DEF_prog("sfc");
  EXPECT_EQ(DEF_cmp("file_path", "sfc.file_path"), 1);
  DEF_prog(nullptr);
  EXPECT_EQ(DEF_cmp("file_path", "Zav.file_path"), 1);
}
