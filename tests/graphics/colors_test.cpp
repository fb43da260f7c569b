#include "graphics/colors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"

namespace {

const std::string kTable = STACONT_DATA_DIR "/zav.clr";

class Colors : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    MESS_reset();
    CLR_read_table(kTable.c_str());
  }
  void TearDown() override { CLR_clear_table(); }
  std::string dir_ = make_temp_dir("colors");
};

std::array<float, 3> rgb(int i) {
  std::array<float, 3> c{-1, -1, -1};
  CLR_get_rgb(i, &c[0], &c[1], &c[2]);
  return c;
}

// CIE 1976 colour difference of two sRGB colours (D65).
double delta_e(const std::array<float, 3>& a, const std::array<float, 3>& b) {
  auto lab = [](const std::array<float, 3>& c) {
    double l[3];
    for (int k = 0; k < 3; ++k) l[k] = c[k] <= 0.04045 ? c[k] / 12.92 : std::pow((c[k] + 0.055) / 1.055, 2.4);
    const double xyz[3] = {(0.4124 * l[0] + 0.3576 * l[1] + 0.1805 * l[2]) / 0.95047,
                           0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2],
                           (0.0193 * l[0] + 0.1192 * l[1] + 0.9505 * l[2]) / 1.08883};
    double f[3];
    for (int k = 0; k < 3; ++k) f[k] = xyz[k] > 216.0 / 24389 ? std::cbrt(xyz[k]) : (24389.0 / 27 * xyz[k] + 16) / 116;
    return std::array<double, 3>{116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
  };
  const auto p = lab(a), q = lab(b);
  return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

TEST_F(Colors, Names) {
  const struct { const char* name; int index; } t[] = {
      {"", -1},      {"  ", -1},   {"end", -2},    {"END", -2},   {"none", -1},   {"off", -1},   {"Back", -1},
      {"pblk", 500}, {"pbblk", 501}, {"ptblk", 502}, {"pwht", 503}, {"pbwht", 504}, {"ptwht", 505}, {"pgry", 506},
      {"pbgry", 507}, {"ptgry", 508}, {"Magenta", 0}, {"red", 10},  {"RED", 10},    {" lgray ", 13}, {"black", 15},
      {"temp01", 38}, {"prec12", 89}, {"12", 12},    {"300", 300},  {"nosuch", -1}, {"#gg0000", -1}, {"#12345", -1},
      {"#256000000", -1}, {"#ff 00 00", -1},
  };
  for (const auto& c : t) EXPECT_EQ(CLR_get_ind(c.name), c.index) << '"' << c.name << '"';
  // Hexadecimal and decimal colours become entries named by themselves, found again by name.
  const int n = CLR_get_num();
  EXPECT_EQ(CLR_get_ind("#ff0000"), n);
  EXPECT_EQ(CLR_get_ind("#FF0000"), n);
  EXPECT_EQ(CLR_get_ind("#000128255"), n + 1);
  EXPECT_STREQ(CLR_get_name(n), "#ff0000");
  EXPECT_EQ(rgb(n), (std::array<float, 3>{1, 0, 0}));
  EXPECT_EQ(rgb(n + 1), (std::array<float, 3>{0, 128 / 255.0F, 1}));
  EXPECT_STREQ(CLR_get_name(n + 2), "");
  EXPECT_EQ(CLR_get_rgb(-1, nullptr, nullptr, nullptr), -1);
}

// The package table: the built-in fill list in order, the named colours the plot layers
// use with light and dark variants, and band colours that are told apart from each other and
// from both backgrounds.
TEST_F(Colors, PackageTable) {
  ASSERT_EQ(CLR_get_num(), 90);
  EXPECT_EQ(CLR_get_num_fill(), 0);  // fill colours count only when the table is chosen
  const char* fill[] = {"Magenta", "LMagenta", "Blue", "LBlue", "Cyan",  "LCyan", "Green", "LGreen",
                        "Brown",   "Yellow",   "Red",  "LRed",  "DGray", "LGray", "White"};
  for (int i = 0; i < 15; ++i) EXPECT_STREQ(CLR_get_name(i), fill[i]);
  for (const char* base : {"Magenta", "Blue", "Cyan", "Green", "Red", "Gray", "Yellow", "Brown", "Orange", "Purple"})
    for (const char* v : {"", "L", "D"}) EXPECT_GE(CLR_get_ind((std::string(v) + base).c_str()), 0) << v << base;
  for (const char* n : {"white", "black", "tan", "pink", "navy", "gold"}) EXPECT_GE(CLR_get_ind(n), 0) << n;
  const struct { const char* prefix; int count; double apart; } bands[] = {{"temp", 24, 13}, {"dewp", 16, 13}, {"prec", 12, 20}};
  for (const auto& b : bands) {
    for (int k = 1; k <= b.count; ++k) {
      char name[16];
      std::snprintf(name, sizeof name, "%s%02d", b.prefix, k);
      const int i = CLR_get_ind(name);
      ASSERT_GE(i, 0) << name;
      EXPECT_GE(delta_e(rgb(i), {0, 0, 0}), 40) << name;
      EXPECT_GE(delta_e(rgb(i), {1, 1, 1}), 40) << name;
      if (k > 1) {
        EXPECT_GE(delta_e(rgb(i - 1), rgb(i)), b.apart) << name;
      }
    }
  }
  for (int i = 1; i < 15; ++i) EXPECT_GE(delta_e(rgb(i - 1), rgb(i)), 20) << fill[i];
  // Chosen as the colour table, its fill sequence counts.
  RES_put("color_table", kTable.c_str());
  CLR_read_table(nullptr);
  EXPECT_EQ(CLR_get_num_fill(), 15);
}

// Malformed tables never stop the program: each bad line gets its message and is left out,
// and the rest of the table loads.
TEST_F(Colors, MalformedTables) {
  std::string junk;
  for (int i = 0; i < 40; ++i) junk += std::string("\x01\x7f\xff\0\x02", 5) + "\n";
  std::string many;
  for (int i = 0; i < 300; ++i) many += "c" + std::to_string(i) + " 0.5 0.5 0.5\n";
  const struct { std::string text; int colors; std::string err; } t[] = {
      {"# a comment\n 0 red 1 0 0\r\nblue #0000FF\n  \n3 white 1.0 1.0 1.0\n", 3, ""},
      {"red 255 0 0\nneg -0.1 0 0\nok .5 .5 .5\n", 1,
       "@ line 1: colour fractions must lie from 0 to 1: red 255 0 0\n"
       "@ line 2: colour fractions must lie from 0 to 1: neg -0.1 0 0\n"},
      {"red 1 0\ngreen one 1 0\nblue 0 0 1 extra words\n", 1,
       "@ line 1: not a name and three colour fractions: red 1 0\n"
       "@ line 2: not a name and three colour fractions: green one 1 0\n"},
      {"red #ff00\nred #ff00zz\n7\n", 0,
       "@ line 1: colour is not #rrggbb: red #ff00\n@ line 2: colour is not #rrggbb: red #ff00zz\n"
       "@ line 3: not a name and three colour fractions: 7\n@ holds no colours\n"},
      {"averyveryverylongcolourname 1 0 0\n", 0,
       "@ line 1: colour name longer than 19 characters: averyveryverylongcolourname\n@ holds no colours\n"},
      // A table cut short is said to be, and one without colours too.
      {"a 1 0 0\nb 0 0 0.5", 2, "@ line 2: the file ends in the middle of this line (cut short?): b 0 0 0.5\n"},
      {"a 1 0 0\nEND", 1, ""},
      {"# nothing but comments\n", 0, "@ holds no colours\n"},
      {std::string(10240, 'x') + "\nred 1 0 0\n", 1, "@ line 1: line longer than 100 characters\n"},
      {junk, 0,
       "@ line 1: not a line of text\n@ line 2: not a line of text\n@ line 3: not a line of text\n"
       "@ is not a colour table\n"},
      {std::string(10, 'z') + "\n" + std::string(10, 'z') + "\nz\nz\nz\nz\nz\nz\nz\nz\nok 0 0 0\n", 1,
       "@ line 1: not a name and three colour fractions: zzzzzzzzzz\n"
       "@ line 2: not a name and three colour fractions: zzzzzzzzzz\n"
       "@ line 3: not a name and three colour fractions: z\n@ line 4: not a name and three colour fractions: z\n"
       "@ line 5: not a name and three colour fractions: z\n@: 5 more lines could not be read\n"},
      {many, 256, "@: more than 256 colours, the rest is ignored\n"},
  };
  const std::string file = dir_ + "/bad.clr";
  for (const auto& c : t) {
    write_file(file, c.text);
    CaptureStderr();
    EXPECT_EQ(CLR_read_table(file.c_str()), c.colors) << c.text.substr(0, 30);
    std::string want;  // '@' stands for the routine and the file
    for (const char ch : c.err) want += ch == '@' ? "CLR_read_table: " + file : std::string(1, ch);
    EXPECT_EQ(GetCapturedStderr(), want) << c.text.substr(0, 30);
  }
  // A missing file is reported and skipped; later files still load.
  write_file(file, "a 0 0 0\nb 1 1 1\nEND\nc 0.5 0.5 0.5\n");
  CaptureStderr();
  EXPECT_EQ(CLR_read_table((dir_ + "/missing.clr, " + file + "," + file).c_str()), 6);
  EXPECT_EQ(GetCapturedStderr(), "CLR_read_table: Unable to open colour table: " + dir_ + "/missing.clr\n");
  EXPECT_STREQ(CLR_get_name(5), "c");
  EXPECT_EQ(CLR_get_num_fill(), 0);
  // From the color_table resource the first file's END counts the fill colours; without
  // END all but the last are fill colours.
  RES_put("color_table", (file + "," + file).c_str());
  EXPECT_EQ(CLR_read_table(nullptr), 6);
  EXPECT_EQ(CLR_get_num_fill(), 2);
  write_file(file, "a 0 0 0\nb 1 1 1\nc 0.5 0.5 0.5\nd 0 0 1\n");
  EXPECT_EQ(CLR_read_table(nullptr), 8);
  EXPECT_EQ(CLR_get_num_fill(), 3);
}

struct AttrCase {
  std::string text;
  AttribRec want;
  std::string err;
};

constexpr int U = MISSING_INT;
constexpr float F = MISSING;

TEST_F(Colors, AttributeStrings) {
  const int red = CLR_get_ind("red"), blue = CLR_get_ind("blue"), green = CLR_get_ind("green");
  const int mag = CLR_get_ind("magenta");
  const AttrCase t[] = {
      {"co=red:wi=2:st=dsh", {red, 2, F, F, 2, U, U}, ""},
      {"blue:fi=hat", {blue, F, F, F, U, 9, U}, ""},
      {"magenta:s4", {mag, F, F, F, 4, U, U}, ""},
      {"red:h1.5", {red, F, 1.5F, F, U, U, U}, ""},
      {"red:fi=5:fM", {red, F, F, F, U, U, U}, ""},
      {"CO=Green:WI=0.5:HI=2:TE=1.2:FP=//:FO=3", {green, 0.5F, 2, 1.2F, U, 7, 3}, ""},
      {":co=blue", {blue, F, F, F, U, U, U}, ""},
      {"red:st=7:t2:e0.9:w3:f0", {red, 3, F, 0.9F, 7, 0, 2}, ""},
      {"pbblk:sc=3", {501, F, 3, F, U, U, U}, ""},
      {"none", {-1, F, F, F, U, U, U}, ""},
      {"end", {-2, F, F, F, U, U, U}, ""},
      {"12:: :", {12, F, F, F, U, U, U}, ""},
      {"nosuch:wi=2", {U, 2, F, F, U, U, U}, "ATTRIB_parse: Unknown colour: nosuch\n"},
      {"co=300", {U, F, F, F, U, U, U}, "ATTRIB_parse: Invalid colour index: 300\n"},
      {"red:q5", {red, F, F, F, U, U, U}, "ATTRIB_parse: Unknown attribute: q5\n"},
      {"red:wi=-1:wi=abc:st=bogus:fi=25:t99:e0:sc=1e9", {red, F, F, F, U, U, U},
       "ATTRIB_parse: Invalid width: -1\nATTRIB_parse: Invalid width: abc\nATTRIB_parse: Invalid style: bogus\n"
       "ATTRIB_parse: Invalid fill pattern: 25\nATTRIB_parse: Invalid font: 99\n"
       "ATTRIB_parse: 2 more fields could not be read\n"},
      {"red:w" + std::string(10240, '9'), {red, F, F, F, U, U, U},
       "ATTRIB_parse: Invalid width: " + std::string(40, '9') + "...\n"},
      {std::string("\x01\x02\xff:wi=\x7f:h2", 12), {U, F, 2, F, U, U, U},
       "ATTRIB_parse: Unknown colour: \?\?\?\nATTRIB_parse: Invalid width: ?\n"},
  };
  for (const AttrCase& c : t) {
    AttribRec a;
    ATTRIB_init(&a);
    CaptureStderr();
    ATTRIB_parse(c.text.c_str(), &a);
    EXPECT_EQ(GetCapturedStderr(), c.err) << c.text.substr(0, 40);
    EXPECT_EQ((std::vector{a.color, a.style, a.fill, a.font}), (std::vector{c.want.color, c.want.style, c.want.fill, c.want.font}))
        << c.text.substr(0, 40);
    EXPECT_EQ((std::vector{a.width, a.size, a.expansion}), (std::vector{c.want.width, c.want.size, c.want.expansion}))
        << c.text.substr(0, 40);
  }
  EXPECT_EQ(ATTRIB_parse(nullptr, nullptr), 0);
}

TEST_F(Colors, ResourcesUpdatesAndPrinting) {
  AttribRec a;
  ATTRIB_init(&a);
  EXPECT_EQ(ATTRIB_get("color_data", "green:wi=1", &a), 0);
  EXPECT_EQ((std::vector<float>{float(a.color), a.width}), (std::vector<float>{float(CLR_get_ind("green")), 1}));
  RES_put("color_data", "red:wi=3");
  EXPECT_EQ(ATTRIB_get("color_data", "green:wi=1:h2", &a), 1);
  EXPECT_EQ((std::vector<float>{float(a.color), a.width, a.size}), (std::vector<float>{10, 3, 2}));
  AttribRec b;
  ATTRIB_init(&b);
  b.fill = 4;
  b.color = -1;
  ATTRIB_update(&a, &b);
  EXPECT_EQ((std::vector<float>{float(a.color), a.width, float(a.fill)}), (std::vector<float>{-1, 3, 4}));
  CaptureStdout();
  ATTRIB_print(&a);
  EXPECT_EQ(GetCapturedStdout(),
            "Color: -1\nStyle: -9999\nHeight:  2.00\nWidth:  3.00\nExpansion: -9999.00\nFill: 4\nFont: -9999\n");
}

}  // namespace
