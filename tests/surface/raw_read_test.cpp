// Raw station-data files read back: the header and field list, values by position and by
// name, the line positioning, and damaged files.
#include "surface/raw_read.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/missing.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;

// Three stations: a value, a wind and a weather field; a missing value, a comment and a CR LF
// end; tokens written as name=value.
const std::string kFile = read_file(std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/stations.raw");

class RawRead : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir("raw_read"); }
  int open(const std::string& bytes) {
    write_file(dir_ + "/f.raw", bytes);
    return RAW_open((dir_ + "/f.raw").c_str());
  }
  std::string dir_;
};

TEST_F(RawRead, HeaderFieldsAndValues) {
  const int h = open(kFile);
  ASSERT_GE(h, 0);
  EXPECT_EQ(RAW_chktype((dir_ + "/f.raw").c_str()), 1);
  DateRec date;
  char line[80];
  ASSERT_EQ(RAW_getinfo(h, &date, line, sizeof line), 6);
  EXPECT_STREQ(line, "Surface station values");
  EXPECT_EQ(date.year, 2026);
  EXPECT_EQ(date.hour, 12);
  EXPECT_EQ(RAW_get_layout(h), RAW_LAYOUT_LATLON);
  EXPECT_STREQ(RAW_get_field(h, 4)->units, "knt");
  EXPECT_EQ(RAW_field_index(h, "WX"), 2);
  RawDataRec d;
  ASSERT_EQ(RAW_read(h, &d, 1, 0), 1);
  EXPECT_STREQ(RAW_get_id(h), "KDEN");
  EXPECT_FLOAT_EQ(d.x, 39.77F);
  EXPECT_FLOAT_EQ(d.y, -104.87F);
  EXPECT_FLOAT_EQ(d.val1, 170.0F);
  EXPECT_FLOAT_EQ(d.val2, 3.0F);
  // The same line again, the next one, then back to the first.
  ASSERT_EQ(RAW_read(h, &d, 2, 0), 1);
  EXPECT_EQ(d.kind, PLOT_TEXT);
  EXPECT_STREQ(d.text, "-RA");
  ASSERT_EQ(RAW_read(h, &d, 0, 1), 1);
  EXPECT_EQ(d.val1, MISSING);
  ASSERT_EQ(RAW_read(h, &d, 2, 1), 1);
  EXPECT_EQ(d.val1, MISSING);
  EXPECT_STREQ(RAW_get_comment(h), "late report");
  // Tokens written as name=value are found by name.
  ASSERT_EQ(RAW_read(h, &d, 2, 2), 1);
  EXPECT_STREQ(d.text, "BR");
  ASSERT_EQ(RAW_read(h, &d, 0, 2), 1);
  EXPECT_FLOAT_EQ(d.val1, 51.0F);
  ASSERT_EQ(RAW_read(h, &d, 0, 0), 1);
  EXPECT_FLOAT_EQ(d.val1, 45.0F);
  EXPECT_EQ(RAW_read(h, &d, 0, 3), 0);
  RAW_close(h);
}

TEST_F(RawRead, AtMostFiveOpen) {
  write_file(dir_ + "/f.raw", kFile);
  std::vector<int> handles;
  for (int i = 0; i < RAW_MAX_OPEN; ++i) handles.push_back(RAW_open((dir_ + "/f.raw").c_str()));
  for (int h : handles) EXPECT_GE(h, 0);
  CaptureStderr();
  EXPECT_EQ(RAW_open((dir_ + "/f.raw").c_str()), -1);
  EXPECT_NE(GetCapturedStderr().find("Too many raw files open"), std::string::npos);
  for (int h : handles) RAW_close(h);
  CaptureStderr();
  EXPECT_EQ(RAW_open((dir_ + "/none.raw").c_str()), -1);
  EXPECT_EQ(GetCapturedStderr(), "RAW_open: Unable to open raw file: " + dir_ + "/none.raw\n");
}

// A file written, read and written again is the same file.
TEST_F(RawRead, WriteReadWriteIsIdentical) {
  const std::string first = dir_ + "/a.raw", second = dir_ + "/b.raw";
  const char* names[] = {"temp", "wind", "wx"};
  const char* units[] = {"F", "knt", ""};
  const char* desc[] = {"value", "cbarb", "symb"};
  const int kinds[] = {PLOT_VALUE, PLOT_CBARB, PLOT_SYMB};
  auto write = [&](const std::string& name, const std::vector<std::vector<RawDataRec>>& lines,
                   const std::vector<std::string>& ids, const std::vector<std::pair<float, float>>& at) {
    ASSERT_EQ(RAW_file_open(name.c_str()), 1);
    RAW_putinfo("12Z 14 MAR 26", "Surface station values", 3, names, units, desc);
    for (std::size_t i = 0; i < lines.size(); ++i) RAW_write(ids[i].c_str(), at[i].first, at[i].second, lines[i].data(), 3);
    RAW_close_file();
  };
  std::vector<std::vector<RawDataRec>> lines(2, std::vector<RawDataRec>(3));
  for (auto& l : lines)
    for (int k = 0; k < 3; ++k) RAW_data_init(&l[static_cast<std::size_t>(k)]), l[static_cast<std::size_t>(k)].kind = kinds[k];
  lines[0][0].val1 = 45.0F, lines[0][1].val1 = 170.0F, lines[0][1].val2 = 3.0F;
  std::strcpy(lines[0][2].text, "-RA");
  lines[1][1].val1 = 0.0F, lines[1][1].val2 = 0.0F;
  CaptureStdout();
  write(first, lines, {"KDEN", "KBOS"}, {{39.77F, -104.87F}, {42.36F, -71.01F}});
  const int h = RAW_open(first.c_str());
  ASSERT_EQ(RAW_getinfo(h, nullptr, nullptr, 0), 6);
  std::vector<std::vector<RawDataRec>> back(2, std::vector<RawDataRec>(3));
  std::vector<std::string> ids;
  std::vector<std::pair<float, float>> at;
  for (int i = 0; i < 2; ++i) {
    for (int k = 0; k < 3; ++k) {
      RawDataRec& d = back[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
      ASSERT_EQ(RAW_read(h, &d, k, i), 1);
      if (d.kind != PLOT_TEXT) d.kind = kinds[k];
    }
    ids.emplace_back(RAW_get_id(h));
    at.emplace_back(back[static_cast<std::size_t>(i)][0].x, back[static_cast<std::size_t>(i)][0].y);
  }
  RAW_close(h);
  write(second, back, ids, at);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(read_file(first), read_file(second));
  EXPECT_NE(read_file(first).find("\nKDEN  39.77 -104.87 45 170,3 -RA\nKBOS  42.36  -71.01 - 0,0 -\n"),
            std::string::npos)
      << read_file(first);
}

// Damaged files are reported, line by line where they can still be read, and never crash.
TEST_F(RawRead, DamagedFiles) {
  const std::string head = "ZAVRAW\n12Z 14 MAR 26\n!x\nid lat lon\ntemp:F:value\n$\n";
  struct Case {
    std::string bytes;
    int info, read;  // RAW_getinfo, RAW_read of line 0
    std::string message;
  };
  std::vector<Case> cases = {{head + "KDEN 39 -104 " + std::string(5000, '9') + "\n", 4, 1, ""}};
  for (const surface_cases::Row& r : surface_cases::rows("raw_read_cases.txt", "damaged"))
    cases.push_back({(r[0] == "1" ? head : "") + r[1], std::stoi(r[2]), std::stoi(r[3]), r[4]});
  for (const Case& c : cases) {
    const int h = open(c.bytes);
    ASSERT_GE(h, 0);
    CaptureStderr();
    EXPECT_EQ(RAW_getinfo(h, nullptr, nullptr, 0), c.info) << c.bytes.substr(0, 60);
    RawDataRec d;
    RAW_data_init(&d);
    if (c.info >= 0) {
      EXPECT_EQ(RAW_read(h, &d, 0, 0), c.read) << c.bytes.substr(0, 60);
    }
    const std::string err = GetCapturedStderr();
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    RAW_close(h);
  }
}

}  // namespace
