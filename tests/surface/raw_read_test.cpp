// Raw station-data files read back: the header and field list, values by position and by
// name, the line positioning, and damaged files.
#include "surface/raw_read.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "config/flag.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_report.h"
#include "tests/support/surface_said.h"

namespace {

using S = std::string;
using surface_cases::num;
using surface_cases::Row;

class RawRead : public ::testing::TestWithParam<S> {
 protected:
  int open(const std::string& bytes) {
    write_file(dir_ + "/f.raw", bytes);
    return RAW_open((dir_ + "/f.raw").c_str());
  }
  // Every command's standard error is kept for "said".
  std::map<S, surface_cases::Command> commands() {
    std::map<S, surface_cases::Command> c = {
        {"said", [this](const Row&) { return std::exchange(said_, ""); }},
        // A file's bytes, or "@name" of the case folder, opened.
        {"open", [this](const Row& r) {
           h_ = open(r[1][0] == '@' ? read_file(S(STACONT_SOURCE_DIR) + "/tests/surface/data/" + r[1].substr(1)) : r[1]);
           return h_ >= 0 ? S("opened") : std::to_string(h_);
         }},
        {"open_path", [this](const Row& r) { return std::to_string(RAW_open((dir_ + "/" + r[1]).c_str())); }},
        // Handles opened on the same file, kept open: how many were given.
        {"open_many", [this](const Row& r) {
           int n = 0;
           for (int i = 0; i < num(r[1]); ++i) n += (handles_.emplace_back(RAW_open((dir_ + "/f.raw").c_str())) >= 0);
           return std::to_string(n);
         }},
        {"close_all", [this](const Row&) {
           for (int h : handles_) RAW_close(h);
           return handles_.clear(), S();
         }},
        {"chktype", [this](const Row&) { return std::to_string(RAW_chktype((dir_ + "/f.raw").c_str())); }},
        // Fields, then the label line, year and hour; "bare" asks for the count only.
        {"info", [this](const Row& r) {
           if (r.size() > 1) return std::to_string(RAW_getinfo(h_, nullptr, nullptr, 0));
           DateRec date;
           char line[80];
           const int n = RAW_getinfo(h_, &date, line, sizeof line);
           return std::to_string(n) + "|" + line + "|" + std::to_string(date.year) + "|" + std::to_string(date.hour);
         }},
        {"layout", [this](const Row&) { return std::to_string(RAW_get_layout(h_) == RAW_LAYOUT_LATLON); }},
        {"units", [this](const Row& r) { return S(RAW_get_field(h_, num(r[1]))->units); }},
        {"index", [this](const Row& r) { return std::to_string(RAW_field_index(h_, r[1].c_str())); }},
        // Field k of line i: result, then place, values, [text] and "text" for a text value.
        {"read", [this](const Row& r) {
           RawDataRec d;
           RAW_data_init(&d);
           const int got = RAW_read(h_, &d, num(r[1]), num(r[2]));
           if (got != 1) return std::to_string(got);
           using surface_report::num;
           return "1 " + num(d.x) + " " + num(d.y) + " " + num(d.val1) + " " + num(d.val2) + " [" + d.text + "]" +
                  (d.kind == PLOT_TEXT ? " text" : "");
         }},
        {"id", [this](const Row&) { return S(RAW_get_id(h_)); }},
        {"comment", [this](const Row&) { return S(RAW_get_comment(h_)); }},
        {"close", [this](const Row&) { return RAW_close(h_), S(); }}};
    return surface_cases::keeping_said(c, &said_);
  }
  std::string dir_ = make_temp_dir("raw_read"), said_;
  int h_ = -1;
  std::vector<int> handles_;
};

TEST_P(RawRead, Script) { surface_cases::run_script("raw_read_cases.txt", GetParam(), commands()); }

INSTANTIATE_TEST_SUITE_P(Blocks, RawRead, ::testing::Values("values", "open_limit", "damaged"),
                         [](const auto& info) { return info.param; });

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
  testing::internal::CaptureStdout();
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

}  // namespace
