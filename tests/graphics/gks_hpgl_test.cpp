#include "graphics/gks_hpgl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "config/mess.h"
#include "config/system.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/graphics/gks_pattern.h"
#include "tests/graphics/gks_render.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"

namespace {

using Hpgl = WriterTest;

// The streams' texts are cases of tests/data/graphics/writers.txt, the page's size in
// plotter units a kernel script (tests/data/graphics/kernel.txt).

// Label boxes cleared to the background and white fills stay white through hp2xx inside a
// black square.
TEST_F(Hpgl, WhiteFillsAndClearedBoxesRenderWhite) {
  const std::string path = make(WS_HPGL, "white.hpgl", ",nopcl", [] {
    const float black[3] = {0, 0, 0}, white[3] = {1, 1, 1};
    gset_colr_rep(1, 40, black);
    gset_colr_rep(1, 41, white);
    // hp2xx sizes its picture by the lines: a frame round everything.
    const float frame[10] = {0.05F, 0.05F, 0.45F, 0.05F, 0.45F, 0.45F, 0.05F, 0.45F, 0.05F, 0.05F};
    gpolyline(5, frame);
    gset_fill_colr_ind(40);
    const float square[8] = {0.1F, 0.1F, 0.4F, 0.1F, 0.4F, 0.4F, 0.1F, 0.4F};
    gfill_area(4, square);
    const float box[4] = {0.13F, 0.22F, 0.13F, 0.22F};
    gclear_region(box);
    gset_fill_colr_ind(41);
    const float patch[8] = {0.28F, 0.28F, 0.37F, 0.28F, 0.37F, 0.37F, 0.28F, 0.37F};
    gfill_area(4, patch);
  });
  // The picture is the frame's extent, 0.05 to 0.45 both ways.
  const Picture pic = render_hpgl(path, 50);
  ASSERT_GT(pic.width, 100);
  auto dark = [&](float x0, float x1, float y0, float y1) {
    auto col = [&](float x) { return static_cast<int>(std::lround((x - 0.05F) / 0.4F * (pic.width - 1))); };
    auto row = [&](float y) { return static_cast<int>(std::lround((0.45F - y) / 0.4F * (pic.height - 1))); };
    const int c0 = col(x0), c1 = col(x1), r0 = row(y1), r1 = row(y0);
    return static_cast<double>(pic.count_dark(c0, r0, c1, r1)) / ((c1 - c0 + 1) * (r1 - r0 + 1));
  };
  EXPECT_GT(dark(0.24F, 0.26F, 0.12F, 0.38F), 0.99);
  EXPECT_EQ(dark(0.14F, 0.21F, 0.14F, 0.21F), 0.0);
  EXPECT_EQ(dark(0.29F, 0.36F, 0.29F, 0.36F), 0.0);
}

// The test page through hp2xx at its true size (10150 plotter units at 40 a millimetre
// and 50 dots an inch across): everything where it was drawn. The picture spans the page
// border: NDC 0..1 across and 0..0.74 up.
TEST_F(Hpgl, TestPageRendersWhereItWasDrawn) {
  const Picture pic = render_hpgl(make(WS_HPGL, "page.hpgl", ",nopcl", pattern::draw), 50);
  ASSERT_GT(pic.width, 300);
  EXPECT_NEAR(pic.width, 10150 / 40.0 / 25.4 * 50, 6);
  const pattern::Place at = [&pic](float x, float y) {
    return std::pair{static_cast<int>(std::lround(x * (pic.width - 1))),
                     static_cast<int>(std::lround((0.74F - y) / 0.74F * (pic.height - 1)))};
  };
  pattern::check_page(pic, at, "hpgl", true);
  pattern::check_text(pic, at, "hpgl");
}

}  // namespace
