#include "config/def_read.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/gwin_calls.h"
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

// The scripts of tests/data/config/def_read.txt; "$D" in a word is the test's directory.
class DefScript : public DefRead, public testing::WithParamInterface<Script> {
 protected:
  std::filesystem::path cwd_ = std::filesystem::current_path();
  void TearDown() override {
    std::filesystem::current_path(cwd_);
    DefRead::TearDown();
  }
  std::string d(const std::string& t) const { return with_dir(t, dir_); }

 public:
  Calls calls() {
    return {
        {"tags",  // the tags set, space-separated, after clearing the old ones
         [](const Args& a) {
           DEF_clr_tag();
           std::istringstream tags(a.empty() ? "" : a[0]);
           for (std::string t; tags >> t;) DEF_tag(t.c_str());
           return "";
         }},
        {"DEF_tag", [](const Args& a) { return num(DEF_tag(a[0].c_str())); }},
        {"read",  // every line read, as "name=value" space-separated
         [this](const Args& a) {
           std::string got;
           for (const auto& [name, value] : read_all(a[0])) got += (got.empty() ? "" : " ") + name + "=" + value;
           return got;
         }},
        {"warnings", [this](const Args&) { return warnings_; }},
        {"first_value",  // the value of the first line of a file opened by its path, written first when text is given
         [this](const Args& a) {
           char name[DEF_LINE_LEN], value[DEF_LINE_LEN];
           if (a.size() > 1) write_file(d(a[0]), a[1]);
           if (DEF_open(a[0] == "<null>" ? nullptr : d(a[0]).c_str()) != 0) return std::string("<none>");
           std::string v = DEF_get(name, value) == 1 ? value : "<empty>";
           DEF_close();
           return v;
         }},
        {"mkdir", [this](const Args& a) { return num(std::filesystem::create_directories(d(a[0])) ? 1 : 0); }},
        {"chdir", [this](const Args& a) { return std::filesystem::current_path(a[0] == "back" ? cwd_ : std::filesystem::path(d(a[0]))), ""; }},
        {"DEF_get",
         [](const Args&) {
           char name[DEF_LINE_LEN], value[DEF_LINE_LEN];
           return num(DEF_get(name, value));
         }},
        {"DEF_name", [](const Args& a) { return num(DEF_name(a[0] == "<null>" ? nullptr : a[0].c_str())); }},
        {"DEF_prog", [](const Args& a) { return num(DEF_prog(a[0] == "<null>" ? nullptr : a[0].c_str())); }},
        {"DEF_cmp", [](const Args& a) { return num(DEF_cmp(a[0].c_str(), a[1].c_str())); }},
        {"DEF_valid", [](const Args& a) { return num(DEF_valid(a[0].c_str())); }},
        {"DEF_parse_name",
         [](const Args& a) {
           char name[DEF_LINE_LEN];
           return std::string(DEF_parse_name(a[0].c_str(), name));
         }},
    };
  }
};
TEST_P(DefScript, Calls) { run_calls(GetParam(), calls()); }
INSTANTIATE_TEST_SUITE_P(Script, DefScript, testing::ValuesIn(scripts_of("config/def_read.txt")), script_name);
