// End-to-end runs of the program that write image files: a satellite-like package image
// laid on the map where its domain says it lies; one GIF or PNG file a frame while drawing
// on the window (the table tests/data/driver/image.runs).
#include <gtest/gtest.h>  // first: Xlib's macros clash with GoogleTest's names

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/img_tool.h"
#include "tests/graphics/img_files.h"
#include "tests/support/driver_runs.h"
#include "tests/support/run.h"
#include "tests/support/xvfb.h"

namespace {

class ImageE2E : public WindowProgramTest {
 protected:
  RunResult run(std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"-va", "temp", "-de", "x", "-ge", "640x480+0+0", "-of", "none", "-ip", dir_});
    return run_stacont(sample_args("2026031412", "us", extra), "", env_, dir_, 120);
  }
};

// A gray picture on a latitude-longitude domain, brighter to the north, laid under the
// map of the United States: up the map's middle column the gray grows steadily, and where
// the picture has no data the page stays background.
TEST_F(ImageE2E, PackageImageLiesOnTheMap) {
  ImgRec sat;
  IMG_init(&sat);
  const int nx = 281, ny = 141;  // 0.25 degrees from 130W to 60W, 55N to 20N
  sat.width = nx, sat.height = ny, sat.depth = 8, sat.bits_per_pixel = 8, sat.bytes_per_line = nx;
  sat.info = "Visible [test]";
  DomainRec& d = sat.domain;
  d.proj = PROJ_LL, d.clat = 37.5f, d.clon = -95.0f, d.dx = 0.25f, d.dy = 0.25f, d.nx = nx, d.ny = ny;
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x) sat.data.push_back(static_cast<unsigned char>(200 - y));  // 200 north, 60 south
  const std::string file = dir_ + "/sat.zav";
  ASSERT_EQ(IMG_write(file.c_str(), &sat, 1), 1);
  const RunResult r = run({"-mf", "im:sat.zav,states.map", "-dr=-data", "-pp", "png:map.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Decoded page = magick_decode(dir_ + "/map.png");
  ASSERT_EQ(page.width, 640);
  std::vector<int> grays;  // from the top down the middle column
  for (int y = 0; y < page.height; ++y) {
    const unsigned c = page.rgb[static_cast<std::size_t>(y) * page.width + page.width / 2];
    const unsigned r8 = c >> 16, g8 = (c >> 8) & 0xFF, b8 = c & 0xFF;
    if (r8 == g8 && g8 == b8 && r8 >= 55 && r8 <= 205) grays.push_back(static_cast<int>(r8));
  }
  ASSERT_GT(grays.size(), 150u);
  EXPECT_TRUE(std::is_sorted(grays.rbegin(), grays.rend()));
  EXPECT_GT(grays.front() - grays.back(), 60);
  // South of 20N (the bottom corners of the map, over Mexico's coast and the sea) and
  // north of 55N nothing is laid.
  EXPECT_EQ(std::count(page.rgb.begin(), page.rgb.end(), 0u) > 640 * 480 / 20, true);
}

STACONT_RUNS_TABLE(ImageRuns, "image.runs");

}  // namespace
