#include "config/string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct SplitCase {
  const char* text;
  char delimiter;
  std::vector<std::string> items;
};

class ParseString : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ParseString, SplitsKeepingEmptyItems) {
  const SplitCase& c = GetParam();
  int count = -5;
  char** list = nullptr;
  EXPECT_EQ(parse_string(c.text, c.delimiter, &count, &list), static_cast<int>(c.items.size()));
  ASSERT_EQ(count, static_cast<int>(c.items.size()));
  for (int i = 0; i < count; ++i) EXPECT_EQ(list[i], c.items[static_cast<std::size_t>(i)]) << i;
  free_parsed_array(count, list);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseString,
    ::testing::Values(SplitCase{"a,b,,", ',', {"a", "b"}}, SplitCase{"a,,b", ',', {"a", "", "b"}},
                      SplitCase{"single", ',', {"single"}}, SplitCase{",a", ',', {"", "a"}},
                      SplitCase{"x:y:z:", ':', {"x", "y", "z"}}, SplitCase{",,,", ',', {}},
                      SplitCase{"a b", ',', {"a b"}}));

TEST(ParseString, NullOrEmptyTextIsFailure) {
  int count = 7;
  char** list = reinterpret_cast<char**>(&count);
  EXPECT_EQ(parse_string(nullptr, ',', &count, &list), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(parse_string("", ',', &count, &list), -1);
  EXPECT_EQ(count, 0);
}

TEST(ParseString, ItemsAreIndependentOfTheSourceAndMayBeReordered) {
  std::string text = "b,c,a";
  int count = 0;
  char** list = nullptr;
  ASSERT_EQ(parse_string(text.c_str(), ',', &count, &list), 3);
  text = "zzzzz";
  std::sort(list, list + count, [](const char* x, const char* y) { return std::string(x) < y; });
  EXPECT_STREQ(list[0], "a");
  EXPECT_STREQ(list[2], "c");
  free_parsed_array(count, list);  // leak-checked under the sanitizer build
}

TEST(CaseInsensitive, Compare) {
  EXPECT_EQ(stricmp("Debug", "dEBUG"), 0);
  EXPECT_LT(stricmp("abc", "ABD"), 0);
  EXPECT_GT(stricmp("abcd", "ABC"), 0);
  EXPECT_EQ(strnicmp("MESSAGES", "mess", 4), 0);
  EXPECT_NE(strnicmp("mes", "mess", 4), 0);
  EXPECT_EQ(strnicmp("x", "y", 0), 0);
}

struct EditCase {
  const char* name;
  char* (*edit)(char*);
  const char* input;
  const char* expected;
};

char* strip_x(char* s) { return strip_string(s, 'x'); }
char* fill_dot(char* s) { return fill_string(s, '_', ' '); }

class TextEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(TextEdit, InPlace) {
  const EditCase& c = GetParam();
  std::string buffer = c.input;
  EXPECT_STREQ(c.edit(buffer.data()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextEdit,
    ::testing::Values(EditCase{"low", low_string, "AbC-1", "abc-1"},
                      EditCase{"strip", strip_x, "xaxxbx", "ab"},
                      EditCase{"escape", strip_escape, R"(a\,b\\c\)", R"(a,b\c)"},
                      EditCase{"trim", trim_string, "  ab \t  ", "  ab"},
                      EditCase{"trim_cr", trim_cr_string, "ab \r\r", "ab "},
                      EditCase{"wstrim", wstrim_string, "a\rb\n  \r\n", "ab"},
                      EditCase{"wstrim_blank", wstrim_string, "   ", ""},
                      EditCase{"fill", fill_dot, "a_b__c", "a b  c"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StringIsNum, Table) {
  EXPECT_EQ(string_is_num("123"), 1);
  EXPECT_EQ(string_is_num("-42"), 1);
  EXPECT_EQ(string_is_num("0"), 1);
  EXPECT_EQ(string_is_num(""), 0);
  EXPECT_EQ(string_is_num("-"), 0);
  EXPECT_EQ(string_is_num("+1"), 0);
  EXPECT_EQ(string_is_num("1.5"), 0);
  EXPECT_EQ(string_is_num("12a"), 0);
  EXPECT_EQ(string_is_num("1-2"), 0);
}

struct NumCase {
  const char* spec;
  float value;
  const char* expected;
};

class SetNum : public ::testing::TestWithParam<NumCase> {};

TEST_P(SetNum, Formats) {
  const NumCase& c = GetParam();
  char buffer[32];
  EXPECT_STREQ(set_num(buffer, c.spec, c.value), c.expected) << c.spec << " " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetNum,
    ::testing::Values(NumCase{"5.3.0", 12.345f, " 12.3"},     // decimals 3-1-1
                      NumCase{"0.3.0", 1234.4f, "1234"},      // width 4 from digits, decimals 0
                      NumCase{"0.3.1", 1234.4f, "1234.4"},    // minimum decimals win
                      NumCase{"0.2.0", 0.0123f, "0.012"},     // width raised to the decimals
                      NumCase{"6.3.0", 0.0f, "     0"},       // zero counts as exponent 2
                      NumCase{"4.4.0", 0.000001f, " 0.0"},    // below 1e-5 is zero: 4-1-2 = 1
                      NumCase{"20.2.0", -5.0f, "     -5.0"},  // width capped at 9
                      NumCase{"3.2.0", -0.5f, "-0.50"},       // the text may exceed the width
                      NumCase{"0.1.0", 273.15f, "273"},       // negative decimals become 0
                      NumCase{"4.2.3", 1.0f, "1.000"}));

}  // namespace
