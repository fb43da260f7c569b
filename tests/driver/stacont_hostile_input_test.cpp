// Mistaken and hostile input given to the real program: every run ends within a few
// seconds with the message that names the fault and the status the README's table gives
// (the cases in tests/data/driver/hostile_input.runs); a large overlay costs only the window.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "graphics/gif.h"
#include "graphics/img_tool.h"
#include "graphics/png.h"
#include "tests/support/driver_runs.h"
#include "tests/support/run.h"
#include "tests/support/xvfb.h"

namespace {

const std::string kData = STACONT_DATA_DIR;
// No run may take longer than this (they took minutes, or waited for ever, before); the
// sanitizers' builds run several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSeconds = 30.0;
#else
constexpr double kSeconds = 10.0;
#endif

// A red picture of width by height pixels (two colours: black is the window's background,
// left out of the overlay).
void write_red_gif(const std::string& path, int width, int height) {
  ImgRec im;
  IMG_init(&im);
  im.width = width, im.height = height, im.depth = 8, im.bits_per_pixel = 8, im.bytes_per_line = width;
  im.color_mapped = 1, im.num_colors = 2;
  im.colors = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
  im.data.assign(static_cast<std::size_t>(width) * height, 1);
  ASSERT_EQ(GIF_write(path.c_str(), &im), 1);
}

class HostileInput : public ::testing::TestWithParam<RunCase> {};
TEST_P(HostileInput, EndsInTimeWithItsMessageAndStatus) { check_run(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Runs, HostileInput, ::testing::ValuesIn(read_runs("hostile_input.runs")), run_case_name);

// A large picture over a small window costs what the window shows: only its visible part
// is converted and drawn, and it is drawn. Converting all 25 million pixels took 355 MB
// (and minutes under the sanitizers); the decoded picture itself is 25 MB.
TEST(HostileImage, LargeOverlayCostsOnlyTheWindow) {
  if (xvfb_program().empty()) GTEST_SKIP() << "Xvfb is not installed";
  const std::string dir = make_temp_dir("stacont_hostile_image");
  write_red_gif(dir + "/big.gif", 5000, 5000);
  Xvfb server;
  ASSERT_TRUE(server.ok()) << server.why();
  std::map<std::string, std::string> env = clean_env(dir + "/no-resource-files");
  env["DISPLAY"] = server.display();
  const auto start = std::chrono::steady_clock::now();
  const RunResult r =
      run_stacont({"-ba", "-fp", kData, "-of", "none", "-de", "x", "-ge", "200x160+0+0", "-pd", "us", "-va", "temp",
                   "-dr=-data", "-mf", "im:big.gif", "-pp", "png:shown.png", kData + "/sample/2026031412.sfc"},
                  "", env, dir, 60);
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LT(took, kSeconds);
  rusage use{};
  getrusage(RUSAGE_CHILDREN, &use);
  EXPECT_LT(use.ru_maxrss, 250L * 1024) << "kilobytes at most in one process";
  // The picture covers the map panel from its top-left corner: the panel is red.
  ImgRec shown;
  ASSERT_EQ(IMG_read_path((dir + "/shown.png").c_str(), &shown, PNG_read_stream, "no dump\n"), 1);
  ASSERT_EQ(shown.width, 200);
  long red = 0;
  for (int y = 0; y < shown.height; ++y)
    for (int x = 0; x < shown.width; ++x) {
      unsigned char rgb[3];
      IMG_pixel_rgb(&shown, IMG_get_pixel(&shown, x, y), rgb);
      if (rgb[0] > 200 && rgb[1] < 60 && rgb[2] < 60) ++red;
    }
  EXPECT_GT(red, 200L * 160 / 2);
}

}  // namespace
