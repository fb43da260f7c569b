// Station-plot formats, value texts and the tokens of raw data lines.
#include "surface/raw_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "tests/support/capture.h"
#include "tests/support/surface_cases.h"

namespace {

using surface_cases::num;
using surface_cases::Row;
const std::vector<Row>& cases(const char* block) { return surface_cases::rows("raw_tool_cases.txt", block); }

TEST(RawFormatParse, Fields) {
  for (const Row& c : cases("formats")) {
    RawFormat f;
    RAW_format_init(&f, nullptr);
    CaptureStderr();
    EXPECT_EQ(RAW_parse_format(&f, c[0].c_str()), num(c[1])) << c[0];
    EXPECT_EQ(GetCapturedStderr(), "") << c[0];
    EXPECT_EQ(std::tuple(f.halign, f.valign, std::string(f.cformat)), std::tuple(num(c[2]), num(c[3]), c[7])) << c[0];
    EXPECT_FLOAT_EQ(f.xoff, std::stof(c[4])) << c[0];
    EXPECT_FLOAT_EQ(f.yoff, std::stof(c[5])) << c[0];
    EXPECT_FLOAT_EQ(f.scale, std::stof(c[6])) << c[0];
  }
}

// The other fields as low and high cut, marker, fixed text, skip, size and width.
TEST(RawFormat, CutsMarkersTextsAndSkips) {
  for (const Row& c : cases("fields")) {
    RawFormat f;
    RAW_format_init(&f, nullptr);
    RAW_parse_format(&f, c[0].c_str());
    EXPECT_EQ(std::tuple(f.min_cut, f.max_cut, f.marker, std::string(f.fixed), f.skip, f.attrib.size, f.attrib.width),
              std::tuple(std::stof(c[1]), std::stof(c[2]), num(c[3]), c[4], num(c[5]), std::stof(c[6]), std::stof(c[7])));
  }
  for (const Row& c : cases("markers")) EXPECT_EQ(RAW_marker(c[0].c_str()), num(c[1])) << c[0];
}

// Formats that would let printf read or write arguments that are not there or spin on a
// huge width, and unknown fields, are reported and change nothing.
TEST(RawFormat, BadFieldsAreReportedAndLeftOut) {
  for (const Row& c : cases("bad_fields")) {
    const char* bad = c[0].c_str();
    RawFormat f;
    RAW_format_init(&f, nullptr);
    CaptureStderr();
    EXPECT_EQ(RAW_parse_format(&f, (std::string("ur:") + bad).c_str()), 0) << bad;
    EXPECT_EQ(GetCapturedStderr(), std::string("RAW_parse_format: Bad field: ") + bad + c[1] + "\n");
    // Read again for the next station, the field is not named again.
    CaptureStderr();
    RAW_parse_format(&f, bad);
    EXPECT_EQ(GetCapturedStderr(), "") << bad;
    EXPECT_STREQ(f.cformat, "") << bad;
    EXPECT_EQ(f.halign, 1) << bad;  // the good field before it still applies
  }
}

TEST(RawDataText, AsDrawn) {
  for (const Row& c : cases("texts")) {
    RawDataRec d;
    RAW_data_init(&d);
    d.kind = num(c[0]);
    d.val1 = std::stof(c[1]);
    std::strcpy(d.text, c[2].c_str());
    char out[40];
    RAW_data_to_string(out, sizeof out, &d, c[3] == "<null>" ? nullptr : c[3].c_str());
    EXPECT_STREQ(out, c[4].c_str()) << c[1] << " " << c[3];
  }
}

TEST(RawToken, AsWritten) {
  for (const Row& c : cases("tokens")) {
    RawDataRec d;
    RAW_data_init(&d);
    d.kind = num(c[0]), d.val1 = std::stof(c[1]), d.val2 = std::stof(c[2]);
    std::strcpy(d.format, c[3].c_str()), std::strcpy(d.text, c[4].c_str());
    char t[40];
    RAW_value_token(t, sizeof t, &d);
    EXPECT_STREQ(t, c[5].c_str()) << c[0] << " " << c[3] << " " << c[4];
  }
}

}  // namespace
