// The raster device's worker threads that draw and encode PNG pages; its pixels, options,
// page files and failures are kernel scripts (tests/data/graphics/kernel.txt).
#include "graphics/gks_cairo.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/graphics/gks_render.h"

namespace {

class CairoTest : public GksTest {
 protected:
  void SetUp() override {
    GksTest::SetUp();
    if (!graster_available()) GTEST_SKIP() << "built without Cairo";
    dir_ = make_temp_dir("gks_cairo");
  }
  void TearDown() override {
    GksTest::TearDown();
    gcolr_reset_state();
    unsetenv("STACONT_RASTER_THREADS");
  }
  // Five pages of 200 by 100 pixels clipped at column 100, each drawn a little further
  // right: a solid band with its seam outline, a pattern fill, a dashed line; page 2's
  // pixels read and page 4 given a 10 by 10 green picture half-way, then a line more across
  // the whole width.
  void draw_pages(const std::string& name, const char* threads) {
    setenv("STACONT_RASTER_THREADS", threads, 1);
    open(WS_RASTER, (dir_ + "/" + name + ".png,200x100,inv").c_str());
    // World x 0..1 and y 0..99/199 are device units 0..199 and 0..99; colours 200 red, 201 blue.
    const float ws[4] = {0.0F, 1.0F, 0.0F, 99.0F / 199.0F}, vp[4] = {0.0F, 100.0F / 199.0F, 0.0F, 99.0F / 199.0F};
    const float red[3] = {1, 0, 0}, blue[3] = {0, 0, 1};
    gset_ws_win(1, ws);
    gset_win(1, vp);
    gset_vp(1, vp);
    gsel_norm_tran(1);
    gset_colr_rep(1, 200, red);
    gset_colr_rep(1, 201, blue);
    for (int p = 0; p < 5; ++p) {
      gclear_ws(1, 1);
      const float x = 0.05F * static_cast<float>(p);
      const float band[8] = {x + 0.1F, 0.1F, x + 0.33F, 0.12F, x + 0.3F, 0.4F, x + 0.12F, 0.35F};
      const float box[8] = {x + 0.4F, 0.05F, x + 0.6F, 0.05F, x + 0.6F, 0.45F, x + 0.4F, 0.45F};
      const float line[4] = {0.0F, 0.2F + 0.02F * static_cast<float>(p), 1.0F, 0.3F};
      gset_fill_colr_ind(200 + p % 2);
      gset_fill_int_style(1);
      gfill_area(4, band);
      gset_fill_int_style(2);
      gset_fill_style_ind(8);
      gfill_area(4, box);
      gset_line_colr_ind(201);
      gset_linetype(2);
      gpolyline(2, line);
      if (p == 1) {
        int w = 0, h = 0;
        std::vector<std::uint32_t> px;
        ASSERT_EQ(graster_page(&w, &h, &px), 0);
      }
      if (p == 3) {
        ASSERT_EQ(graster_image(30.0F, 80.0F, 10, 10, std::vector<std::uint32_t>(100, 0xFF00FF00U)), 0);
      }
      gset_linetype(1);
      const float after[4] = {0.1F, 0.45F, 0.9F, 0.05F};
      gpolyline(2, after);
    }
    ASSERT_EQ(gclose_ws(1), 0);
  }
  std::string png(const std::string& name, int n) { return read_file(graster_page_name(dir_ + "/" + name + ".png", n)); }
  std::string dir_;
};

// The worker threads' PNG pages are the pages drawn on the program's own thread byte for
// byte, also pages whose pixels were read or that got a picture pasted before they ended
// (the rest of such a page is drawn where the first part was), pattern fills and dashes included.
TEST_F(CairoTest, WorkersMakeTheFilesOfTheProgramsOwnThread) {
  draw_pages("one", "0");
  draw_pages("three", "3");
  for (int n = 1; n <= 5; ++n) {
    ASSERT_FALSE(png("one", n).empty()) << n;
    EXPECT_EQ(png("one", n), png("three", n)) << "page " << n;
  }
  EXPECT_TRUE(png("three", 6).empty());
  EXPECT_NE(png("three", 1), png("three", 2));
  // The picture pasted half-way and the line drawn after it are both on page 4, and the
  // line stops at the clip as the rest of the page does.
  const Picture four = read_png(graster_page_name(dir_ + "/three.png", 4));
  ASSERT_EQ(four.width, 200);
  long green = 0;
  for (std::size_t i = 0; i + 2 < four.rgb.size(); i += 3) green += four.rgb[i] == 0 && four.rgb[i + 1] == 255 && four.rgb[i + 2] == 0;
  EXPECT_GE(green, 90);
  EXPECT_LE(green, 100);
  // The line crosses x = 0.3 at y = 0.35: device 59.7, 69.65, row 29 from the top.
  EXPECT_TRUE(four.dark(59, 29) || four.dark(60, 29) || four.dark(59, 30) || four.dark(60, 30));
  EXPECT_FALSE(four.dark(60, 5) || four.dark(30, 90));
  long beyond = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 102; x < 200; ++x) beyond += four.dark(x, y);
  EXPECT_EQ(beyond, 0);
}

}  // namespace
