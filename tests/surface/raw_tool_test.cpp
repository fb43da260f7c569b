// Station-plot formats, value texts and the tokens of raw data lines.
#include "surface/raw_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/flag.h"
#include "config/missing.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct FormatCase {
  const char* text;
  int kind;
  int halign, valign;
  float xoff, yoff, scale;
  const char* cformat;
};

class RawFormatParse : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RawFormatParse, Fields) {
  const FormatCase& c = GetParam();
  RawFormat f;
  RAW_format_init(&f, nullptr);
  CaptureStderr();
  EXPECT_EQ(RAW_parse_format(&f, c.text), c.kind) << c.text;
  EXPECT_EQ(GetCapturedStderr(), "") << c.text;
  EXPECT_EQ(f.halign, c.halign) << c.text;
  EXPECT_EQ(f.valign, c.valign) << c.text;
  EXPECT_FLOAT_EQ(f.xoff, c.xoff) << c.text;
  EXPECT_FLOAT_EQ(f.yoff, c.yoff) << c.text;
  EXPECT_FLOAT_EQ(f.scale, c.scale) << c.text;
  EXPECT_STREQ(f.cformat, c.cformat) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RawFormatParse,
    ::testing::Values(FormatCase{"value:%.1f:ur", PLOT_VALUE, 1, 3, 0.012F, 0.02F, 1, "%.1f"},
                      FormatCase{"ll", 0, 3, 3, -0.012F, -0.02F, 1, ""},
                      FormatCase{"uc:sc=5000", 0, 2, 3, 0, 0.02F, 1, ""},  // out of range: 1
                      FormatCase{"sc=2.5:ta=rb", 0, 3, 5, 0, 0, 2.5F, ""},
                      FormatCase{"xy=-4+0:data", PLOT_DATA, 3, 3, -0.048F, 0, 1, ""},
                      FormatCase{"xy=1 -1", 0, 1, 3, 0.012F, -0.02F, 1, ""},
                      FormatCase{"cbarb:fm=%z.2f", PLOT_VALUE, 2, 3, 0, 0, 1, "%z.2f"},
                      FormatCase{"%-40.40e", PLOT_VALUE, 2, 3, 0, 0, 1, "%-40.40e"},  // the widest allowed
                      FormatCase{"%+05d", PLOT_VALUE, 2, 3, 0, 0, 1, "%+05d"},
                      FormatCase{"wx", PLOT_SYMB, 2, 3, 0, 0, 1, ""}));

TEST(RawFormat, CutsMarkersTextsAndSkips) {
  RawFormat f;
  RAW_format_init(&f, nullptr);
  RAW_parse_format(&f, "mn=-5:mx=50:mk=itri:tx=Hi there:sk=3:co=red:hi=2:wi=3");
  EXPECT_FLOAT_EQ(f.min_cut, -5.0F);
  EXPECT_FLOAT_EQ(f.max_cut, 50.0F);
  EXPECT_EQ(f.marker, 9);
  EXPECT_STREQ(f.fixed, "Hi there");
  EXPECT_EQ(f.skip, 3);
  EXPECT_FLOAT_EQ(f.attrib.size, 2.0F);
  EXPECT_FLOAT_EQ(f.attrib.width, 3.0F);
  for (const char* m : {"+", "plus"}) EXPECT_EQ(RAW_marker(m), 2) << m;
  EXPECT_EQ(RAW_marker("circle"), 4);
  EXPECT_EQ(RAW_marker("12"), 12);
  EXPECT_EQ(RAW_marker("nothing"), 0);
}

// Formats that would let printf read or write arguments that are not there or spin on a
// huge width, and unknown fields, are reported and change nothing.
TEST(RawFormat, BadFieldsAreReportedAndLeftOut) {
  const std::string number = ": one number conversion such as %.1f or %d expected";
  const struct {
    const char* field;
    std::string why;
  } cases[] = {{"%s", number},       {"%d%d", number},     {"%n", number},      {"%.99999f", number},
               {"%n%n%n", number},   {"%s%s%s", number},   {"%*d", number},     {"%999999999f", number},
               {"%41d", number},     {"%.41f", number},    {"%lf", number},     {"fm=%c", number},
               {"fm=T%z.1f", number}, {"zz=1", ""},        {"bogus", ""},       {"xy=1", ""},
               {"xy=1+2x", ""},      {"mk=nothing", ""},   {"sc=x", ""},        {"ta=l", ""},
               {"sk=0", ""}};
  for (const auto& c : cases) {
    const char* bad = c.field;
    RawFormat f;
    RAW_format_init(&f, nullptr);
    CaptureStderr();
    EXPECT_EQ(RAW_parse_format(&f, (std::string("ur:") + bad).c_str()), 0) << bad;
    EXPECT_EQ(GetCapturedStderr(), std::string("RAW_parse_format: Bad field: ") + bad + c.why + "\n");
    // Read again for the next station, the field is not named again.
    CaptureStderr();
    RAW_parse_format(&f, bad);
    EXPECT_EQ(GetCapturedStderr(), "") << bad;
    EXPECT_STREQ(f.cformat, "") << bad;
    EXPECT_EQ(f.halign, 1) << bad;  // the good field before it still applies
  }
}

struct TextCase {
  int kind;
  float value;
  const char* text;
  const char* format;
  const char* expect;
};

class RawDataText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RawDataText, AsDrawn) {
  const TextCase& c = GetParam();
  RawDataRec d;
  RAW_data_init(&d);
  d.kind = c.kind;
  d.val1 = c.value;
  std::strcpy(d.text, c.text);
  char out[40];
  RAW_data_to_string(out, sizeof out, &d, c.format);
  EXPECT_STREQ(out, c.expect);
}

INSTANTIATE_TEST_SUITE_P(Cases, RawDataText,
                         ::testing::Values(TextCase{PLOT_VALUE, 12.34F, "", "%.1f", "12.3"},
                                           TextCase{PLOT_VALUE, 12.5F, "", nullptr, "12"},
                                           TextCase{PLOT_VALUE, 0.5F, "", "%z.1f", ".5"},
                                           TextCase{PLOT_VALUE, -0.5F, "", "%z.1f", "-.5"},
                                           TextCase{PLOT_VALUE, MISSING, "M", "%.1f", "M"},
                                           TextCase{PLOT_DATA, 3.0F, "", "%+.1f", "+3.0"},
                                           TextCase{PLOT_INT, 3.7F, "", nullptr, "4"},
                                           TextCase{PLOT_TEXT, 5.0F, "RA", "%.1f", "RA"},
                                           TextCase{PLOT_VALUE, 7.0F, "", "%s", "7"}));

TEST(RawToken, AsWritten) {
  RawDataRec d;
  char t[40];
  RAW_data_init(&d);
  d.kind = PLOT_VALUE;
  RAW_value_token(t, sizeof t, &d);
  EXPECT_STREQ(t, "-");  // missing
  d.val1 = 12.34F;
  std::strcpy(d.format, "value:%.1f:ur");
  RAW_value_token(t, sizeof t, &d);
  EXPECT_STREQ(t, "12.3");
  std::strcpy(d.format, "%.1f mb");  // text round the number would not read back
  RAW_value_token(t, sizeof t, &d);
  EXPECT_STREQ(t, "12");
  d.kind = PLOT_CBARB;
  d.val1 = 170;
  d.val2 = 3;
  RAW_value_token(t, sizeof t, &d);
  EXPECT_STREQ(t, "170,3");
  d.kind = PLOT_SYMB;
  std::strcpy(d.text, "-RA BR");
  RAW_value_token(t, sizeof t, &d);
  EXPECT_STREQ(t, "-RA_BR");
  d.text[0] = '\0';
  RAW_value_token(t, sizeof t, &d);
  EXPECT_STREQ(t, "-");
}

}  // namespace
