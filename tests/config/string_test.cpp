#include "config/string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/config_table.h"

TEST(ParseString, SplitsKeepingEmptyItems) {
  const struct {
    const char* text;
    char separator;
    int result;
    std::vector<std::string> items;
  } cases[] = {{"a,b,,", ',', 2, {"a", "b"}}, {"a,,b", ',', 3, {"a", "", "b"}}, {",a", ',', 2, {"", "a"}},
               {",,,", ',', 0, {}},          {"a b", ',', 1, {"a b"}},         {"x:y:z:", ':', 3, {"x", "y", "z"}},
               {nullptr, ',', -1, {}},       {"", ',', -1, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "null");
    std::string source = c.text ? c.text : "";
    int count = -5;
    char** list = nullptr;
    EXPECT_EQ(parse_string(c.text ? source.c_str() : nullptr, c.separator, &count, &list), c.result);
    source.assign(source.size(), 'z');  // the items live in a copy of their own
    EXPECT_EQ(count, static_cast<int>(c.items.size()));
    EXPECT_EQ(std::vector<std::string>(list, list + count), c.items);
    free_parsed_array(count, list);
  }
}

char* strip_x(char* s) { return strip_string(s, 'x'); }
char* fill_blank(char* s) { return fill_string(s, '_', ' '); }

TEST(TextEdits, InPlaceAndCompare) {
  const struct {
    char* (*edit)(char*);
    const char *input, *expected;
  } cases[] = {{low_string, "AbC-1", "abc-1"},         {strip_x, "xaxxbx", "ab"},
               {strip_escape, R"(a\,b\\c\)", R"(a,b\c)"}, {trim_string, "  ab \t  ", "  ab"},
               {trim_cr_string, "ab \r\r", "ab "},      {wstrim_string, "a\rb\n  \r\n", "ab"},
               {wstrim_string, "   ", ""},             {fill_blank, "a_b__c", "a b  c"}};
  for (const auto& c : cases) {
    std::string buffer = c.input;
    EXPECT_STREQ(c.edit(buffer.data()), c.expected) << c.input;
  }
  EXPECT_TRUE(stricmp("Debug", "dEBUG") == 0 && stricmp("abc", "ABD") < 0 && stricmp("abcd", "ABC") > 0);
  EXPECT_TRUE(strnicmp("MESSAGES", "mess", 4) == 0 && strnicmp("mes", "mess", 4) != 0);
  for (const char* yes : {"123", "-42", "0"}) EXPECT_EQ(string_is_num(yes), 1) << yes;
  for (const char* no : {"", "-", "+1", "1.5", "12a", "1-2"}) EXPECT_EQ(string_is_num(no), 0) << no;
}

TEST(SetNum, LabelFormats) {
  for (const TableRow& c : read_table("config/string.tsv", "set_num")) {
    char buffer[32];
    EXPECT_STREQ(set_num(buffer, c[0].c_str(), std::stof(c[1])), c[2].c_str()) << c.where;
  }
}

TEST(NumberFormat, OneBoundedConversionOfTheKindAsked) {
  const auto found = [](const std::string& f) { return f == "-" ? '\0' : f[0]; };
  for (const TableRow& c : read_table("config/string.tsv", "number_format")) {
    EXPECT_EQ(number_format_conversion(c[0], kFloatConversions), found(c[1])) << c.where;
    EXPECT_EQ(number_format_conversion(c[0], kNumberConversions), found(c[2])) << c.where;
  }
}
