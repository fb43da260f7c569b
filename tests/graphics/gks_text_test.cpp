#include "graphics/gks_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/near.h"
#include "tests/support/run.h"

namespace {

// A workstation on the recording PostScript device whose world coordinates are print
// units divided by 576: the unit square spans 576 units.
class Strokes : public GksTest {
 protected:
  void SetUp() override {
    GksTest::SetUp();
    dir_ = make_temp_dir("gks_text");
    setenv("zavdefault", (dir_ + "/none").c_str(), 1);
  }
  void TearDown() override {
    gset_font_list(nullptr);
    GksTest::TearDown();
  }
  // xmin, ymin, xmax, ymax of the stroke points drawn since the last clear, in world units.
  static std::vector<float> extent() {
    std::vector<float> b = {1e9F, 1e9F, -1e9F, -1e9F};
    for (const GksCall& c : calls(GDEV_TEXT_STROKE))
      for (std::size_t i = 0; i + 1 < c.values.size(); i += 2) {
        const float x = c.values[i] / 576, y = c.values[i + 1] / 576;
        b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
      }
    return b;
  }
  std::string dir_;
};

// Every font of the package's list draws a capital as high as the character height, and
// the nine alignments put the capital where they say.
TEST_F(Strokes, PackageFontsHeightsAndAlignments) {
  open(WS_PS);
  ASSERT_EQ(gget_num_fonts(), 9);
  EXPECT_EQ(std::string(gget_font_name(1)), "modern");
  // Every font of the list loads.
  CaptureStderr();
  for (int f = gget_num_fonts(); f >= 1; --f) {
    EXPECT_EQ(gset_fontprec(f, 2), 0);
    EXPECT_EQ(gget_font_type(), 1) << gget_font_name(f);
    EXPECT_GE(gget_glyph_start('A'), 0) << gget_font_name(f);
  }
  EXPECT_EQ(GetCapturedStderr(), "");
  const float h = 0.2F;
  for (int f = 1; f <= 6; ++f) {
    SCOPED_TRACE(gget_font_name(f));
    ASSERT_EQ(gset_fontprec(f, 2), 0);
    ASSERT_GT(gget_glyph_width('H'), 40);
    gset_char_ht(h);
    const float origin[2] = {0.5F, 0.5F};
    const float w = gget_glyph_width('H') * h / 105;
    for (int ha : {1, 2, 3})
      for (int va : {1, 2, 3, 4, 5}) {
        SCOPED_TRACE(std::to_string(ha) + "," + std::to_string(va));
        gset_text_align(ha, va);
        gdev_clear_calls();
        gtext(origin, "H");
        const std::vector<float> b = extent();
        EXPECT_NEAR(b[3] - b[1], h, 0.01F * h);  // the capital's height
        const float bottom[6] = {0, -125, -105, -50, 0, 35};
        EXPECT_NEAR(b[1], 0.5F + bottom[va] * h / 105, 0.002F);
        const float left = ha == 1 ? 0.0F : ha == 2 ? -w / 2 : -w;
        EXPECT_NEAR(b[0], 0.5F + left, 0.004F);
      }
    // Turned by 90 degrees (up to the left), the capital runs along -x.
    gset_text_align(1, 4);
    gset_char_up_vec(-1, 0);
    gdev_clear_calls();
    const float origin2[2] = {0.5F, 0.5F};
    gtext(origin2, "H");
    const std::vector<float> b = extent();
    EXPECT_NEAR(b[2] - b[0], h, 0.01F * h);
    expect_all_near(std::vector{b[2], b[1]}, {0.5, 0.5}, 0.002);
    gset_char_up_vec(0, 1);
  }
}

// Font lists and broken fonts are kernel scripts (tests/data/graphics/kernel.txt).

}  // namespace
