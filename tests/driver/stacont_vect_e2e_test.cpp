// End-to-end runs that draw analysed winds: barbs over sea-level pressure contours, and
// vectors over a filled field, rendered by Ghostscript and checked by their pixels.
#include <gtest/gtest.h>

#include <regex>
#include <map>
#include <string>
#include <vector>

#include "tests/graphics/gks_render.h"
#include "tests/support/driver_pictures.h"
#include "tests/support/driver_runs.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

const std::string kData = STACONT_DATA_DIR;

// Pixels of a clear blue (the barbs' colour) on a page.
int blue(const Picture& p) {
  return count_where(p, [](const unsigned char* c) { return c[2] > 180 && c[0] < 100 && c[1] < 140; });
}

class VectE2E : public ProgramTest {
 protected:
  // The sample's 12 UTC hour over the United States as a colour PostScript page, rendered.
  Picture page(const std::string& vars, const std::string& name) {
    const std::string ps = dir_ + "/" + name + ".ps";
    const RunResult r = run_stacont(sample_args("2026031412", "us", {"-va", vars, "-of", "none", "-de", "p," + ps + ",color"}),
                                    "", env_, dir_, 120);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return render_ps(ps, false);
  }
};

TEST_F(VectE2E, BarbsOverPressureContours) {
  const Picture with = page("pralt[:ln],wind<uwndg,vwndg>[knt:barb:co=blue]", "barbs");
  const Picture without = page("pralt[:ln]", "plain");
  EXPECT_EQ(blue(without), 0);
  // Every other grid point of the 25 by 17 grid carries a barb of a few dozen pixels.
  EXPECT_GT(blue(with), 1500);
  EXPECT_LT(blue(with), 20000);
}

// The station wind asked for as arrows, barbs of the analysis or streamlines stands for its
// two analysed components: the same picture as the components named, and ink in the colour.
TEST_F(VectE2E, WindAloneDrawsTheAnalysedComponents) {
  const struct {
    const char* alone;
    const char* named;
  } cases[] = {{"pralt,wind[knt:vect:co=blue]", "pralt,wind<uwndg,vwndg>[knt:vect:co=blue]"},
               {"pralt[:ln],wind[:strm:co=blue]", "pralt[:ln],wind<uwndg,vwndg>[:strm:co=blue]"},
               {"wind[knt:barb:co=blue]", "wind<uwndg,vwndg>[knt:barb:co=blue]"}};
  int k = 0;
  for (const auto& c : cases) {
    const int alone = blue(page(c.alone, "alone" + std::to_string(k)));
    const int named = blue(page(c.named, "named" + std::to_string(k++)));
    EXPECT_GT(alone, 1500) << c.alone;
    EXPECT_EQ(alone, named) << c.alone;
  }
}

TEST_F(VectE2E, VectorsOverAFilledField) {
  const Picture p = page("thewnd", "thewnd");
  EXPECT_GT(count_where(p, [](const unsigned char* c) { return c[0] + c[1] + c[2] < 200; }), 5000);
}

// "vbar" asks for the key: an arrow of the strongest wind and its speed, in the units the
// winds are drawn in, at the upper right.
TEST_F(VectE2E, VectorKeyNamesTheStrongestWind) {
  page("wind<uwndg,vwndg>[knt:vect:vbar]", "key");
  const std::string ps = read_file(dir_ + "/key.ps");
  std::smatch key;
  ASSERT_TRUE(std::regex_search(ps, key, std::regex("%%TE:([-0-9.]+)\\s+[-0-9.]+\\s+MAX VECTOR:\\s*([^\n]*)")));
  EXPECT_GT(std::stof(key[1]), 0.8F);
  EXPECT_EQ(key[2], "22.4 knt");
}

// A wind whose kind is not given asks for it; the answer decides what is drawn: a barb is
// a handful of strokes a grid point, a streamline hundreds of short ones.
TEST_F(VectE2E, PromptForTheVectorType) {
  std::map<std::string, std::size_t> strokes;
  for (const std::string answer : {"none", "b", "s"}) {
    const std::string ps = dir_ + "/" + answer + ".ps";
    const RunResult r = run_stacont({"-fp", kData, "-pd", "mw", "-de", "p," + ps, kData + "/sample/2026031418.sfc"},
                                    "wind<uwndg,vwndg>[:wind]\n" + answer + "\n0\n", env_, dir_, 60);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Vectors (V) or Streamlines (S): "), std::string::npos);
    const std::string text = read_file(ps);
    for (std::size_t k = text.find(" ln\n"); k != std::string::npos; k = text.find(" ln\n", k + 1)) ++strokes[answer];
  }
  // "none" draws the map alone.
  const std::size_t map = strokes["none"];
  EXPECT_GT(strokes["b"], map + 100);
  EXPECT_GT(strokes["s"] - map, 3 * (strokes["b"] - map));
}

}  // namespace
