// Unit conversion through the packaged units table, the one-pair memory, corrupt tables and
// "name (units)" labels.
#include "surface/unittool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "config/resrc.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"

namespace {

constexpr float kMiss = -9999.0f;
using surface_cases::num;
using surface_cases::Row;
const std::vector<Row>& cases(const char* block) { return surface_cases::rows("unittool_cases.txt", block); }

void use_table_dir(const std::string& dir) {
  RES_put("file_path", dir.c_str());
  UNIT_reset();
}

TEST(PackagedTable, ExactConstantsScalesAndSpellings) {
  use_table_dir(STACONT_DATA_DIR);
  for (const Row& c : cases("conversions"))
    EXPECT_NEAR(UNIT_cvt(c[0].c_str(), c[1].c_str(), std::stof(c[2])), std::stod(c[3]), std::stod(c[4])) << c[0] << " -> " << c[1];
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Every pair of every group is listed in the packaged table and converts there and back.
TEST(PackagedTable, EveryPairRoundTrips) {
  use_table_dir(STACONT_DATA_DIR);
  std::set<std::pair<std::string, std::string>> listed;
  std::istringstream in(read_file(std::string(STACONT_DATA_DIR) + "/units.lup"));
  for (std::string line, a, b; std::getline(in, line);)
    if (std::istringstream(line) >> a >> b && a[0] != '#') listed.emplace(lower(a), lower(b));
  auto bare = [](const std::string& u) { return lower(u.rfind("100 ", 0) == 0 ? u.substr(4) : u); };
  const std::vector<std::vector<std::string>> groups = {
      {"F", "C", "K"}, {"dF", "dC", "dK"}, {"knt", "kt", "kts", "m/s", "mph", "km/h"},
      {"mb", "hPa", "Pa", "kPa", "in_Hg", "mm_Hg"}, {"m", "ft", "km", "mi", "nmi", "in", "mm", "cm", "100 ft"},
      {"sec", "s", "min", "hr"}, {"%", "okta", "tenths"}, {"W/m^2", "kW/m^2", "kcal/m^2/h"},
      {"g/kg", "kg/kg"}, {"deg", "rad"}};
  for (const auto& g : groups)
    for (const std::string& a : g)
      for (const std::string& b : g) {
        if (a == b) continue;
        EXPECT_TRUE(bare(a) == bare(b) || listed.count({bare(a), bare(b)})) << a << " -> " << b << " not listed";
        const float there = UNIT_cvt(a.c_str(), b.c_str(), 12.5f);
        const float tol = 1e-6f + 4e-6f * std::max(12.5f, std::fabs(there));
        EXPECT_NEAR(UNIT_cvt(b.c_str(), a.c_str(), there), 12.5f, tol) << a << " <-> " << b;
      }
}

const std::string kTableDir = make_temp_dir("units");

void table(const std::string& text) {
  write_file(kTableDir + "/units.lup", text);
  use_table_dir(kTableDir);
}

TEST(TableFile, RemembersOnePairWithoutTheFile) {
  table("# comment line\nF C *0.5-10\nC F *2+20\n");
  EXPECT_FLOAT_EQ(UNIT_cvt("F", "C", 40), 10);
  std::remove((kTableDir + "/units.lup").c_str());
  EXPECT_FLOAT_EQ(UNIT_cvt("f", "c", 60), 20);  // remembered, case and all
  EXPECT_FLOAT_EQ(UNIT_cvt("100 ft", "ft", 2), 200);  // scales only: no file needed
  // A new pair without the file in file_path comes from the installed table.
  testing::internal::CaptureStderr();
  EXPECT_NEAR(UNIT_cvt("C", "F", 1), 33.8f, 1e-4);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(TableFile, FirstMatchingLineInRequestedDirection) {
  table("C F *2\nF C +3\nF C *9\nF K -1.5\nF mb *7+1\n");
  EXPECT_FLOAT_EQ(UNIT_cvt("F", "C", 10), 13);     // offset only, the second F C ignored
  EXPECT_FLOAT_EQ(UNIT_cvt("F", "K", 10), 8.5f);   // negative offset
  EXPECT_FLOAT_EQ(UNIT_cvt("10 F", "2 mb", 1), 35.5f);  // (1 x 10 x 7 + 1) / 2
  EXPECT_FLOAT_EQ(UNIT_cvt("K", "F", 10), 10);     // one way only
}

TEST(TableFile, CorruptTablesNeverCrash) {
  for (const Row& c : cases("corrupt")) {
    table(surface_cases::expand(c[0]));
    EXPECT_FLOAT_EQ(UNIT_cvt("F", "C", 10), std::stof(c[1])) << c[0].substr(0, 40);
  }
  std::mt19937 rng(1234);
  for (int round = 0; round < 50; ++round) {
    std::string text(1 + rng() % 5000, '\0');
    for (char& c : text) c = static_cast<char>(rng() % 4 == 0 ? "FC *+-.0123456789\n"[rng() % 18] : rng());
    table(text);
    EXPECT_PRED1([](float v) { return v == kMiss || std::isfinite(v); }, UNIT_cvt("F", "C", 10));
  }
}

TEST(Labels, ParseChangeAndScale) {
  char name[12], units[6];
  EXPECT_EQ(UNIT_parse(nullptr, name, units), 0);
  EXPECT_EQ(std::string(name) + "|" + units, "|");
  for (const Row& c : cases("labels")) {
    EXPECT_EQ(UNIT_parse(c[0].c_str(), name, units), num(c[3])) << c[0];
    EXPECT_EQ(std::string(name) + "|" + units, c[1] + "|" + c[2]);
  }
  std::string label = "Temperature (F)";
  UNIT_change(label, "C");
  EXPECT_EQ(label, "Temperature (C)");
  char small[10] = "Pressure", buf[40];
  UNIT_change(small, "mb");
  EXPECT_STREQ(small, "Pressure ");
  UNIT_scale("10^-5 1/s", nullptr, buf, 1.0f);
  EXPECT_STREQ(buf, "1e-05 1/s");
  UNIT_scale("in HG", "/s", label, 2.0f);
  EXPECT_EQ(label, "2e+00 in_HG/s");
}

}  // namespace
