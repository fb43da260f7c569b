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

namespace {

constexpr float kMiss = -9999.0f;

void use_table_dir(const std::string& dir) {
  RES_put("file_path", dir.c_str());
  UNIT_reset();
}

TEST(PackagedTable, ExactConstantsScalesAndSpellings) {
  use_table_dir(STACONT_DATA_DIR);
  const struct { const char *from, *to; float value; double expected, tol; } cases[] = {
      {"F", "C", 32, 0, 1e-5}, {"C", "F", 100, 212, 1e-4}, {"K", "F", 0, -459.67, 1e-4}, {"C", "K", -273.15f, 0, 1e-4},
      {"dF", "dC", 9, 5, 1e-5}, {"dF", "K", 18, 10, 1e-5}, {"knt", "m/s", 10, 5.144444, 1e-5},
      {"knt", "mph", 100, 115.077945, 1e-4}, {"mph", "km/h", 60, 96.56064, 1e-4}, {"ft", "m", 1000, 304.8, 1e-4},
      {"in_Hg", "mb", 29.92f, 1013.207, 1e-3}, {"IN HG", "hPa", 30, 1015.9166, 1e-3}, {"in", "mm", 1, 25.4, 1e-5},
      {"mm_Hg", "hPa", 760, 1013.25, 1e-3}, {"kPa", "mb", 101.325f, 1013.25, 1e-3}, {"mi", "km", 1, 1.609344, 1e-6},
      {"%", "okta", 100, 8, 1e-5}, {"W/m^2", "kcal/m^2/h", 1.163f, 1, 1e-6}, {"deg", "rad", 180, M_PI, 1e-6},
      // Scales and spellings; units not in the table convert by their scales alone.
      {"100_ft", "FT", 25, 2500, 0}, {"m", "100 ft", 304.8f, 10, 1e-5}, {"10^2 m", "m", 3, 300, 1e-4},
      {"1e3 m", "km", 2, 2, 1e-6}, {"-K", "K", 5, -5, 0}, {"m", "10^-3 km", 5, 5, 1e-5}, {"F", "", 50, 50, 0},
      {"F", "C", kMiss, kMiss, 0}, {"100 ft", "m", kMiss, kMiss, 0}, {"100 furlong", "10 parsec", 2, 20, 1e-5}};
  for (const auto& c : cases) EXPECT_NEAR(UNIT_cvt(c.from, c.to, c.value), c.expected, c.tol) << c.from << " -> " << c.to;
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
  const std::string x10k(10240, 'x');
  const std::pair<std::string, float> cases[] = {  // table text, F -> C of 10
      {"", 10}, {"F\nF C\n\n   \nC\n", 10}, {"F C\nF C *2\n", 20}, {"F C *3", 30}, {"F C *3+1\r\n", 31},
      // Control bytes, NULs included, separate fields like blanks.
      {std::string("F\0C *5\nF C\0*4\nF C *2\n", 21), 50}, {"\x01\xff\xfe F C *2 \x7f\n\x80\x81\n", 10},
      {"\x80\x81\n\x02" "F\x03" "C\x04*2\n", 20}, {x10k + "\nF C *2\n", 20}, {x10k + " C *5\nF C *2\n", 20},
      {"F C *6" + std::string(10240, ' ') + "junk\n", 60}, {"F C *1e999\nF C *2\n", 20},
      {"F C *nan\nF C *inf\nF C +nan\nF C *2\n", 20}, {"F C *1e300\n", kMiss} /* beyond float */,
      {"F C +1e38\n", 1e38f}, {"F C *\nF C *abc\nF C +\nF C zzz\n", 10}, {"#F C *2\n # F C *2\n", 10}};
  for (const auto& [text, expected] : cases) {
    table(text);
    EXPECT_FLOAT_EQ(UNIT_cvt("F", "C", 10), expected) << text.substr(0, 40);
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
  const struct { const char *label, *name, *units; int found; } cases[] = {
      {"  Dew pt  (C)", "Dew pt", "C", 2}, {"Visibility", "Visibility", "", 1}, {"(K)", "", "K", 1},
      {"", "", "", 0}, {nullptr, "", "", 0}, {"Wind (knt", "Wind", "knt", 2}, {"Temp ()", "Temp", "", 1},
      {"Precipitation amount (inches)", "Precipitati", "inche", 2}};
  for (const auto& c : cases) {
    char name[12], units[6];
    EXPECT_EQ(UNIT_parse(c.label, name, units), c.found);
    EXPECT_EQ(std::string(name) + "|" + units, std::string(c.name) + "|" + c.units);
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
