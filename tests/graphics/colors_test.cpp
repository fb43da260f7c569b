#include "graphics/colors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "config/mess.h"
#include "config/resrc.h"
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

// The tables' reading and names, and attribute resources, updates and printing are kernel
// scripts (tests/data/graphics/kernel.txt).

}  // namespace
