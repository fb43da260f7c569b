// The pattern scanner on the fixed-format texts it is made for.
#include "config/scanp.h"

#include <gtest/gtest.h>

#include <string>

#include "config/missing.h"
#include "tests/support/config_table.h"

namespace {

struct Line {
  explicit Line(const char* text) : buf(text) { scanp_set(&rec, buf.data()); }
  std::string buf;
  ScanpRec rec{};
};

TEST(Scanp, MissingMarkersInNumbers) {
  Line l("12.5 - 3");
  float a = 0, b = 0, c = 0;
  EXPECT_EQ(scanp(&l.rec, "%!-!f %!-!f %!-!f", &a, &b, &c), 3);
  EXPECT_FLOAT_EQ(a, 12.5F);
  EXPECT_EQ(b, MISSING);
  EXPECT_FLOAT_EQ(c, 3.0F);
  EXPECT_EQ(l.rec.used, 8);
  // Without a marker the dash ends the scan after one field.
  EXPECT_EQ(scanp(&l.rec, "%f %f %f", &a, &b, &c), 1);
  EXPECT_EQ(l.rec.used, 5);
}

TEST(Scanp, IntegerWidths) {
  for (const TableRow& c : read_table("config/scanp.tsv")) {
    Line l(c[0].c_str());
    int v = -1;
    EXPECT_EQ(scanp(&l.rec, c[1].c_str(), &v), c.num(2)) << c.where;
    EXPECT_EQ(v, c.num(3)) << c.where;
    EXPECT_EQ(l.rec.used, c.num(4)) << c.where;
  }
}

TEST(Scanp, RealsWithExponent) {
  Line l("-1.5e+2,7.");
  float a = 0, b = 0;
  EXPECT_EQ(scanp(&l.rec, "%f,%f", &a, &b), 2);
  EXPECT_FLOAT_EQ(a, -150.0F);
  EXPECT_FLOAT_EQ(b, 7.0F);
}

TEST(Scanp, TextKindsClassesAndAlternatives) {
  Line l("SE KDEN42 x/y\tz");
  char dir[81], letters[81], digits[81], cls[81], ws[81];
  EXPECT_EQ(scanp(&l.rec, "%(N|S|E|W)", dir), 1);
  EXPECT_STREQ(dir, "S");
  EXPECT_EQ(scanp(&l.rec, "%2c %A%N %[/A//]%W", dir, letters, digits, cls, ws), 5);
  EXPECT_EQ(std::string(dir, 2), "SE");
  EXPECT_STREQ(letters, "KDEN");
  EXPECT_STREQ(digits, "42");
  EXPECT_STREQ(cls, "x/y");
  EXPECT_STREQ(ws, "\t");
  EXPECT_EQ(scanp(&l.rec, "%[^ ]", cls), 1);
  EXPECT_STREQ(cls, "SE");
  EXPECT_EQ(scanp(&l.rec, "%(X|Y)"), 0);  // no alternative: nothing stored, nothing read
}

TEST(Scanp, CursorStaysOnTheLine) {
  Line l("KDEN  39.77 -104.87 rest");
  char id[81];
  float lat = 0, lon = 0;
  int at = 0;
  ASSERT_EQ(scanp(&l.rec, "%s ", id), 1);
  EXPECT_EQ(scanp_get_off(&l.rec), 0);  // a scan alone does not move the cursor
  scanp_inc(&l.rec);
  EXPECT_EQ(scanp(&l.rec, "%!-!f %n%!-!f ", &lat, &at, &lon), 2);
  EXPECT_EQ(at, 6);
  EXPECT_FLOAT_EQ(lon, -104.87F);
  scanp_inc(&l.rec);
  EXPECT_STREQ(scanp_str(&l.rec), "rest");
  EXPECT_EQ(scanp_char(&l.rec, 1), 'e');
  EXPECT_EQ(scanp_char(&l.rec, 99), '\0');
  EXPECT_EQ(scanp_replace(&l.rec, 0, 'R'), 1);
  EXPECT_STREQ(scanp_str(&l.rec), "Rest");
  // At the end of the line, and for an empty format, there is nothing to scan.
  scanp_inc_off(&l.rec, 10);
  EXPECT_EQ(scanp(&l.rec, "%s", id), -1);
  scanp_off(&l.rec, 0);
  EXPECT_EQ(scanp(&l.rec, ""), -1);
  EXPECT_EQ(scanp_search(&l.rec, "-104"), 1);
  EXPECT_EQ(scanp_get_off(&l.rec), 12);
  EXPECT_EQ(scanp_search(&l.rec, "nowhere"), 0);
  EXPECT_EQ(scanp_get_off(&l.rec), 12);
}

TEST(Scanp, MalformedFormatsStopTheScan) {
  Line l("12 34");
  int a = -1;
  for (const char* f : {"%!-", "%[ab", "%(a|b", "%q", "%"}) EXPECT_EQ(scanp(&l.rec, f, &a), 0) << f;
  EXPECT_EQ(a, -1);
  // A blank in the format needs at least one blank in the text.
  EXPECT_EQ(scanp(&l.rec, "%d %d", &a, &a), 2);
  EXPECT_EQ(scanp(&l.rec, "%<1d %d", &a, &a), 1);
}

}  // namespace
