#include "config/def_read.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/config_table.h"
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
  for (const TableRow& row : read_table("config/def_read.tsv", "sections")) {
    SCOPED_TRACE(row.where);
    DEF_clr_tag();
    std::istringstream tags(row[0]);
    for (std::string t; tags >> t;) DEF_tag(t.c_str());
    std::string got;
    for (const auto& [name, value] : read_all(row[1])) got += (got.empty() ? "" : " ") + name + "=" + value;
    EXPECT_EQ(got, row[2]);
    EXPECT_EQ(warnings_, row[3]);
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
  for (const TableRow& row : read_table("config/def_read.tsv", "patterns")) {
    DEF_name(row[0].c_str());
    EXPECT_EQ(DEF_cmp("file_path", row[1].c_str()), row.num(2)) << row.where;
    EXPECT_EQ(DEF_valid(row[1].c_str()), row.num(3)) << row.where;
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
