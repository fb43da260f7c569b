#include "config/string.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

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
  const std::tuple<const char*, float, const char*> cases[] = {  // spec, value, text
      {"5.3.0", 12.345f, " 12.3"},     // decimals 3-1-1
      {"0.3.0", 1234.4f, "1234"},      // width 4 from the digits, no decimals
      {"0.3.1", 1234.4f, "1234.4"},    // minimum decimals win
      {"0.2.0", 0.0123f, "0.012"},     // width raised to the decimals
      {"6.3.0", 0.0f, "     0"},       // zero counts as exponent 2
      {"4.4.0", 0.000001f, " 0.0"},    // below 1e-5 is zero: 4-1-2 = 1
      {"20.2.0", -5.0f, "     -5.0"},  // width capped at 9
      {"3.2.0", -0.5f, "-0.50"},       // the text may exceed the width
      {"0.1.0", 273.15f, "273"}, {"4.2.3", 1.0f, "1.000"}};
  for (auto [spec, value, text] : cases) {
    char buffer[32];
    EXPECT_STREQ(set_num(buffer, spec, value), text) << spec << " " << value;
  }
}

TEST(NumberFormat, OneBoundedConversionOfTheKindAsked) {
  const std::string long_text(60, 'x');
  const struct {
    std::string format;
    char floating;  // result for kFloatConversions
    char number;    // result for kNumberConversions
  } cases[] = {
      {"%.1f", 'f', 'f'},     {"%14.8e", 'e', 'e'},   {"%-+ #0G", 'G', 'G'},  {"T=%5.1f%%", 'f', 'f'},
      {"%%%g%%", 'g', 'g'},   {"%40.40E", 'E', 'E'},  {"%0040f", 'f', 'f'},   // flags "00", width 40
      {"%d", 0, 'd'},         {"%03i", 0, 'i'},                               // integers where asked for
      {"abc", 0, 0},          {"%%", 0, 0},           {"", 0, 0},             // no conversion
      {"%", 0, 0},            {"%.1", 0, 0},          {"%-+ #0-f", 0, 0},     // cut off, six flags
      {"%n", 0, 0},           {"%n%n%n", 0, 0},       {"%s%s%s", 0, 0},       // write or read memory
      {"%*d", 0, 0},          {"%.*f", 0, 0},         {"%1$f", 0, 0},         // take other arguments
      {"%f%f", 0, 0},         {"%f %d", 0, 0},        {"%a", 0, 0},           // two, or not of the kind
      {"%x", 0, 0},           {"%c", 0, 0},           {"%p", 0, 0},           {"%'f", 0, 0},
      {"%lf", 0, 0},          {"%Lf", 0, 0},          {"%hd", 0, 0},          {"%zd", 0, 0},  // length modifiers
      {"%999999999f", 0, 0},  {"%41f", 0, 0},         {"%.41f", 0, 0},        {"%100f", 0, 0},  // beyond 40
      {long_text + "%.1f", 'f', 'f'},  {long_text + "%.12f", 0, 0},           // 64 characters at most
      {std::string("%f\0%n", 5), 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(number_format_conversion(c.format, kFloatConversions), c.floating) << c.format;
    EXPECT_EQ(number_format_conversion(c.format, kNumberConversions), c.number) << c.format;
  }
}
