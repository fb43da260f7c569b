#include "graphics/gks_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/graphics/gks_fixture.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

using Text = GksTest;

TEST_F(Text, AttributesAreCheckedAndPassedOnOnce) {
  const float pos[2] = {0.5F, 0.5F};
  CaptureStderr();
  EXPECT_EQ(gtext(pos, "x"), -1);
  EXPECT_EQ(GetCapturedStderr(), "gtext: GKS not opened\n");
  open(WS_META);
  CaptureStderr();
  EXPECT_EQ(gset_char_ht(-1) + gset_expan(-0.5F) + gset_text_width(-2) + gset_text_align(4, 0) +
                gset_char_up_vec(0, 0) + gset_fontprec(0, 2) + gset_text_colr_ind(509),
            -7);
  EXPECT_EQ(GetCapturedStderr(),
            "gset_char_ht: invalid character height: -1.000000\n"
            "gset_expan: invalid expansion factor: -0.500000\n"
            "gset_text_width: invalid text width: -2.000000\n"
            "gset_text_align: invalid text alignment: 4 0\n"
            "gset_char_up_vec: invalid up vector: 0.000000,0.000000\n"
            "gset_fontprec: invalid font id: 0\n"
            "gset_text_colr_ind: invalid color index: 509\n");
  for (int k = 0; k < 2; ++k) gset_char_ht(0.02F), gset_char_up_vec(3, 4), gset_text_align(2, 5), gset_fontprec(3, 2);
  for (int code : {GOBJ_THEIGHT, GOBJ_TUP, GOBJ_TALIGN, GOBJ_TFONT}) EXPECT_EQ(calls(code).size(), 1U) << code;
  EXPECT_EQ(calls(GOBJ_TUP)[0].values, (std::vector<float>{0.6F, 0.8F}));  // kept normalised
  int h = 0, v = 0;
  ginq_text_align(&h, &v);
  EXPECT_EQ((std::vector{h, v}), (std::vector{2, 5}));
  EXPECT_EQ(gtext(pos, "") + gtext(pos, "Surface"), 0);
  ASSERT_EQ(calls(GOBJ_TEXT).size(), 1U);
  EXPECT_EQ(calls(GOBJ_TEXT)[0].text, "Surface");
  // Fonts by name or number; without a font list a name is the first font.
  EXPECT_EQ(gget_font_index("3"), 3);
  EXPECT_EQ(gget_font_index("roman"), 1);
  EXPECT_EQ(gget_font_index(""), 1);
}

}  // namespace
