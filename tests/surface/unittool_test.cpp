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

struct Conversion {
  const char* from;
  const char* to;
  float value;
  double expected;
  double tol;
};
class PackagedTable : public ::testing::TestWithParam<Conversion> {
 protected:
  void SetUp() override { use_table_dir(STACONT_DATA_DIR); }
};

TEST_P(PackagedTable, Converts) {
  const Conversion& c = GetParam();
  EXPECT_NEAR(UNIT_cvt(c.from, c.to, c.value), c.expected, c.tol) << c.from << " -> " << c.to;
}

INSTANTIATE_TEST_SUITE_P(Exact, PackagedTable, ::testing::Values(
  Conversion{"F", "C", 32, 0, 1e-5}, Conversion{"F", "C", 212, 100, 1e-4},
  Conversion{"F", "C", -40, -40, 1e-4}, Conversion{"C", "F", 100, 212, 1e-4},
  Conversion{"F", "K", 32, 273.15, 1e-4}, Conversion{"K", "F", 0, -459.67, 1e-4},
  Conversion{"C", "K", -273.15f, 0, 1e-4},
  Conversion{"dF", "dC", 9, 5, 1e-5}, Conversion{"dF", "C", 18, 10, 1e-5}, Conversion{"dF", "K", 18, 10, 1e-5},
  Conversion{"knt", "m/s", 10, 5.144444, 1e-5}, Conversion{"m/s", "knt", 5.144444f, 10, 1e-5},
  Conversion{"knt", "mph", 100, 115.077945, 1e-4}, Conversion{"mph", "km/h", 60, 96.56064, 1e-4},
  Conversion{"in_Hg", "mb", 29.92f, 1013.207, 1e-3}, Conversion{"mb", "in_HG", 1013.25f, 29.9213, 1e-4},
  Conversion{"IN HG", "hPa", 30, 1015.9166, 1e-3}, Conversion{"mm_Hg", "hPa", 760, 1013.25, 1e-3},
  Conversion{"kPa", "mb", 101.325f, 1013.25, 1e-3},
  Conversion{"ft", "m", 1000, 304.8, 1e-4}, Conversion{"100 ft", "m", 1, 30.48, 1e-5},
  Conversion{"m", "100 ft", 304.8f, 10, 1e-5}, Conversion{"mi", "km", 1, 1.609344, 1e-6},
  Conversion{"in", "mm", 1, 25.4, 1e-5}, Conversion{"mm", "in", 25.4f, 1, 1e-6},
  Conversion{"min", "sec", 1, 60, 0},
  Conversion{"sec", "min", 90, 1.5, 1e-6}, Conversion{"%", "okta", 100, 8, 1e-5},
  Conversion{"W/m^2", "kcal/m^2/h", 1.163f, 1, 1e-6}, Conversion{"g/kg", "kg/kg", 10, 0.01, 1e-8},
  Conversion{"deg", "rad", 180, M_PI, 1e-6},
  // Scales and spellings.
  Conversion{"100 ft", "ft", 25, 2500, 0}, Conversion{"100_ft", "FT", 25, 2500, 0},
  Conversion{"10^2 m", "m", 3, 300, 1e-4}, Conversion{"1e3 m", "km", 2, 2, 1e-6},
  Conversion{"-K", "K", 5, -5, 0}, Conversion{"m", "10^-3 km", 5, 5, 1e-5},
  Conversion{"F", "f", 50, 50, 0}, Conversion{"F", "", 50, 50, 0},
  Conversion{"F", "C", kMiss, kMiss, 0}, Conversion{"100 ft", "m", kMiss, kMiss, 0},
  // Not in the table: scales alone.
  Conversion{"furlong", "m", 3, 3, 0}, Conversion{"100 furlong", "10 parsec", 2, 20, 1e-5},
  Conversion{"1/s", "s", 4, 4, 0}));

// Unit pairs listed in the packaged table (lower case).
std::set<std::pair<std::string, std::string>> listed_pairs() {
  std::set<std::pair<std::string, std::string>> pairs;
  std::istringstream in(read_file(std::string(STACONT_DATA_DIR) + "/units.lup"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string a, b;
    if (!(fields >> a >> b) || a[0] == '#') continue;
    for (std::string* s : {&a, &b})
      for (char& c : *s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    pairs.emplace(a, b);
  }
  return pairs;
}

std::string bare(const char* unit) {
  std::string s = unit;
  if (s.rfind("100 ", 0) == 0) s = s.substr(4);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Every pair of every group is listed in the table and converts there and back.
TEST(PackagedTableRoundTrip, EveryPair) {
  use_table_dir(STACONT_DATA_DIR);
  const auto listed = listed_pairs();
  const std::vector<std::vector<const char*>> groups = {
      {"F", "C", "K"},
      {"dF", "dC", "dK"},
      {"knt", "kt", "kts", "m/s", "mph", "km/h"},
      {"mb", "hPa", "Pa", "kPa", "in_Hg", "mm_Hg"},
      {"m", "ft", "km", "mi", "nmi", "in", "mm", "cm", "100 ft"},
      {"sec", "s", "min", "hr"},
      {"%", "okta", "tenths"},
      {"W/m^2", "kW/m^2", "kcal/m^2/h"},
      {"g/kg", "kg/kg"},
      {"deg", "rad"}};
  int pairs = 0;
  for (const auto& g : groups)
    for (const char* a : g)
      for (const char* b : g) {
        if (a == b) continue;
        if (bare(a) != bare(b)) {
          EXPECT_TRUE(listed.count({bare(a), bare(b)})) << a << " -> " << b << " is not in the table";
        }
        const float there = UNIT_cvt(a, b, 12.5f);
        const float tol = 1e-6f + 4e-6f * std::max(12.5f, std::fabs(there));
        EXPECT_NEAR(UNIT_cvt(b, a, there), 12.5f, tol) << a << " <-> " << b;
        ++pairs;
      }
  EXPECT_GT(pairs, 150);
}

class TableFile : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir("units"); }
  void table(const std::string& text) {
    write_file(dir_ + "/units.lup", text);
    use_table_dir(dir_);
  }
  std::string dir_;
};

TEST_F(TableFile, RemembersOnePairWithoutTheFile) {
  table("# comment line\nF C *0.5-10\nC F *2+20\n");
  EXPECT_FLOAT_EQ(UNIT_cvt("F", "C", 40), 10);
  std::remove((dir_ + "/units.lup").c_str());
  EXPECT_FLOAT_EQ(UNIT_cvt("f", "c", 60), 20);  // remembered, case and all
  EXPECT_FLOAT_EQ(UNIT_cvt("100 ft", "ft", 2), 200);  // scales only: no file needed
  testing::internal::CaptureStderr();
  EXPECT_EQ(UNIT_cvt("C", "F", 1), 0.0f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unable to open units file: " + dir_ + "/units.lup\n");
}

TEST_F(TableFile, FirstMatchingLineInRequestedDirection) {
  table("C F *2\nF C +3\nF C *9\nF K -1.5\nF mb *7+1\n");
  EXPECT_FLOAT_EQ(UNIT_cvt("F", "C", 10), 13);     // offset only, the second F C ignored
  EXPECT_FLOAT_EQ(UNIT_cvt("F", "K", 10), 8.5f);   // negative offset
  EXPECT_FLOAT_EQ(UNIT_cvt("10 F", "2 mb", 1), 35.5f);  // (1 x 10 x 7 + 1) / 2
  EXPECT_FLOAT_EQ(UNIT_cvt("K", "F", 10), 10);     // one way only
}

struct Corrupt {
  const char* what;
  std::string text;
  float expected;  // F -> C of 10
};
class CorruptTable : public TableFile, public ::testing::WithParamInterface<Corrupt> {};

TEST_P(CorruptTable, NeverCrashes) {
  table(GetParam().text);
  EXPECT_FLOAT_EQ(UNIT_cvt("F", "C", 10), GetParam().expected) << GetParam().what;
}

const std::string kLong(10240, 'x');
INSTANTIATE_TEST_SUITE_P(Lines, CorruptTable, ::testing::Values(
  Corrupt{"empty", "", 10},
  Corrupt{"short lines", "F\nF C\n\n   \nC\n", 10},
  Corrupt{"short then good", "F C\nF C *2\n", 20},
  Corrupt{"no final newline", "F C *3", 30},
  Corrupt{"CRLF", "F C *3+1\r\n", 31},
  // Control bytes, NULs included, separate fields like blanks.
  Corrupt{"NULs", std::string("F\0C *5\nF C\0*4\nF C *2\n", 21), 50},
  Corrupt{"binary bytes", "\x01\xff\xfe F C *2 \x7f\n\x80\x81\n", 10},
  Corrupt{"binary separators", "\x80\x81\n\x02" "F\x03" "C\x04*2\n", 20},
  Corrupt{"10 KB line", kLong + "\nF C *2\n", 20},
  Corrupt{"10 KB line after fields", "F C *6" + std::string(10240, ' ') + "junk\n", 60},
  Corrupt{"10 KB unit name", kLong + " C *5\nF C *2\n", 20},
  Corrupt{"overflowing factor", "F C *1e999\nF C *2\n", 20},
  Corrupt{"nan and inf", "F C *nan\nF C *inf\nF C +nan\nF C *2\n", 20},
  Corrupt{"result beyond float", "F C *1e300\n", kMiss},
  Corrupt{"huge offset", "F C +1e38\n", 1e38f},
  Corrupt{"no number", "F C *\nF C *abc\nF C +\n", 10},
  Corrupt{"garbage expression", "F C zzz\n", 10},
  Corrupt{"comment hides the line", "#F C *2\n # F C *2\n", 10}));

TEST_F(TableFile, RandomBytesNeverCrash) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 50; ++round) {
    std::string text(1 + rng() % 5000, '\0');
    for (char& c : text) c = static_cast<char>(rng() % 4 == 0 ? "FC *+-.0123456789\n"[rng() % 18] : rng());
    table(text);
    const float v = UNIT_cvt("F", "C", 10);
    EXPECT_TRUE(v == kMiss || std::isfinite(v));
  }
}

struct Label {
  const char* label;
  const char* name;
  const char* units;
  int found;
};
class Labels : public ::testing::TestWithParam<Label> {};
TEST_P(Labels, Parse) {
  const Label& l = GetParam();
  char name[12], units[6];
  EXPECT_EQ(UNIT_parse(l.label, name, units), l.found);
  EXPECT_STREQ(name, l.name);
  EXPECT_STREQ(units, l.units);
}
INSTANTIATE_TEST_SUITE_P(Forms, Labels, ::testing::Values(
  Label{"Temperature (F)", "Temperature", "F", 2}, Label{"  Dew pt  (C)", "Dew pt", "C", 2},
  Label{"Visibility", "Visibility", "", 1}, Label{"(K)", "", "K", 1}, Label{"", "", "", 0},
  Label{"Wind (knt", "Wind", "knt", 2}, Label{"Temp ()", "Temp", "", 1},
  Label{"Precipitation amount (inches)", "Precipitati", "inche", 2}, Label{nullptr, "", "", 0}));

TEST(Labels, ChangeAndScale) {
  std::string label = "Temperature (F)";
  UNIT_change(label, "C");
  EXPECT_EQ(label, "Temperature (C)");
  char small[10] = "Pressure";
  UNIT_change(small, "mb");
  EXPECT_STREQ(small, "Pressure ");
  char buf[40];
  UNIT_scale("100 ft", "", buf, 1.0f);
  EXPECT_STREQ(buf, "1e+02 ft");
  UNIT_scale("K", "/s", buf, 1e-5f);
  EXPECT_STREQ(buf, "1e-05 K/s");
  UNIT_scale("10^-5 1/s", nullptr, buf, 1.0f);
  EXPECT_STREQ(buf, "1e-05 1/s");
  UNIT_scale("in HG", "", label, 2.0f);
  EXPECT_EQ(label, "2e+00 in_HG");
}

}  // namespace
