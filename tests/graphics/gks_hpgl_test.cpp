#include "graphics/gks_hpgl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
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

class Hpgl : public WriterTest {
 protected:
  std::string make(const std::string& name, const std::string& options, const std::function<void()>& draw) {
    return WriterTest::make(WS_HPGL, name, options, draw);
  }
};

void nothing() {}

TEST_F(Hpgl, PclWrapperAndPlainStreams) {
  std::string h = read_file(make("a.hpgl", "", nothing));
  EXPECT_EQ(h.rfind("\033E\033%1B\033&l1O\nIN;SP1;PA;\nPW0.2;SV;LT;\nIW ", 0), 0U) << h;
  EXPECT_EQ(h.substr(h.size() - 13), "SP;PG;\n\033%0A\033E");
  h = read_file(make("b.hpgl", ",nopcl,rot=180", nothing));
  EXPECT_EQ(h.rfind("IN;SP1;PA;\nRO180;\nPW0.2;SV;LT;\n", 0), 0U) << h;
  EXPECT_EQ(h.substr(h.size() - 7), "SP;PG;\n");
  h = read_file(make("c.hpgl", ",lj,lwidth=0.35", nothing));
  EXPECT_EQ(h.rfind("\033E\033%1B\033&l1O\nIN;SP1;PA;\nRO90;\nPW0.3;SV;LT;\n", 0), 0U) << h;
  float w = 0, hh = 0, x = 0, y = 0;
  EXPECT_EQ(gopen_ws(1, (dir_ + "/d.hpgl").c_str(), WS_HPGL), 0);
  gget_win_size(&w, &hh);
  gget_win_offset(&x, &y);
  EXPECT_EQ((std::vector<float>{w, hh, x, y}), (std::vector<float>{10151, 7613.5F, 10, 10}));
  gclose_ws(1);
}

TEST_F(Hpgl, LinesFillsAndAttributes) {
  const std::string h = read_file(make("l.hpgl", ",nopcl", [] {
    const float l[4] = {0.1F, 0.1F, 0.2F, 0.1F};
    gset_linetype(3);
    gset_line_colr_ind(507);
    gpolyline(2, l);
    std::vector<float> many;
    for (int i = 0; i < 12; ++i) many.push_back(0.01F * i), many.push_back(0.5F);
    gset_linetype(1);
    gset_line_colr_ind(1);
    gpolyline(12, many.data());
    const float white[3] = {1, 1, 1};
    gset_colr_rep(1, 40, white);
    gset_fill_colr_ind(40);
    const float p[6] = {0.1F, 0.1F, 0.2F, 0.1F, 0.2F, 0.2F};
    gfill_area(3, p);
  }));
  // Type 3, a bold gray pen twice the base width, moves and draws in plotter units (the
  // unit square is 7613 units from the offset of 10).
  EXPECT_NE(h.find("PW0.4;\nSV1,30;\nLT5,8,1;\nPU771,771;PD1532,771;\n"), std::string::npos) << h;
  // Ten points a line.
  EXPECT_NE(h.find("PW0.2;\nSV;\nLT;\nPU10,3816;PD86,3816;"), std::string::npos) << h;
  EXPECT_NE(h.find("PD695,3816;\nPD771,3816;PD847,3816;\n"), std::string::npos) << h;
  // White is a pen made white and filled solid, the black pen taken back after.
  EXPECT_NE(h.find("FT1;\nPC2,255,255,255;SP2;PU771,771;PM0;PD1532,771;PD1532,1532;PM1;PM2;FP;SP1;\n"),
            std::string::npos)
      << h;
}

// Label boxes cleared to the background and white fills stay white through hp2xx inside a
// black square.
TEST_F(Hpgl, WhiteFillsAndClearedBoxesRenderWhite) {
  const std::string path = make("white.hpgl", ",nopcl", [] {
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
  const Picture pic = render_hpgl(make("page.hpgl", ",nopcl", pattern::draw), 50);
  ASSERT_GT(pic.width, 300);
  EXPECT_NEAR(pic.width, 10150 / 40.0 / 25.4 * 50, 6);
  const pattern::Place at = [&pic](float x, float y) {
    return std::pair{static_cast<int>(std::lround(x * (pic.width - 1))),
                     static_cast<int>(std::lround((0.74F - y) / 0.74F * (pic.height - 1)))};
  };
  pattern::check_page(pic, at, "hpgl", true);
  pattern::check_text(pic, at, "hpgl");
}

TEST_F(Hpgl, FullDiskIsReported) {
  MESS_reset();
  CaptureStdout();
  CaptureStderr();
  EXPECT_EQ(gopen_ws(1, "/dev/full", WS_HPGL), 0);
  pattern::draw();
  EXPECT_EQ(gclose_ws(1), -1);
  EXPECT_EQ(GetCapturedStderr(), "ghpgl_close_file: unable to write /dev/full: No space left on device\n");
  EXPECT_EQ(GetCapturedStdout().find("Created HPGL file"), std::string::npos);
}

}  // namespace
