// Fronts drawn by the program: the real high- and low-resolution bulletins of 28 June 2021
// 18 UTC read whole, and the high-resolution one given as the program's input with the
// pixels of the fronts' and letters' colours at their places (the sample's hourly bulletins
// as the variable "front" are runs of tests/data/plot/program.runs).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/gks_line.h"
#include "plot/frt_plt.h"
#include "tests/graphics/gks_render.h"
#include "tests/plot/map_fixture.h"
#include "tests/support/run.h"

namespace {

const char* const kHighRes = "WPC_sfc_fronts_20210628_1800.txt";
const char* const kLowRes = "WPC_sfc_fronts_lowres_20210628_1800.txt";

// The colour of each kind's first piece on the map.
const std::map<FrtKind, const char*> kColours = {{FRT_COLD, "blue"},       {FRT_WARM, "red"},
                                                 {FRT_OCCLUDED, "magenta"}, {FRT_STATIONARY, "blue"},
                                                 {FRT_TROUGH, "brown"}};

class RealBulletin : public MapTest {
 protected:
  void SetUp() override {
    MapTest::SetUp();
    if (real_data(kHighRes).empty()) GTEST_SKIP() << "no " << kHighRes;
    const DateRec date{2021, 6, 28, 179, 1, 18, 0, 0};
    FRT_set_date(&date);
  }
  static FrtBulletin read(const std::string& file) {
    FrtBulletin b;
    testing::internal::CaptureStderr();
    EXPECT_EQ(FRT_read_file(real_data(file).c_str(), &b), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << file;  // every group reads
    return b;
  }
};

// Colours of the package's table (zav.clr) as 8-bit values.
struct Rgb {
  int r, g, b;
};
const std::map<std::string, Rgb> kRgb = {
    {"blue", {26, 77, 255}}, {"red", {255, 0, 0}}, {"magenta", {255, 0, 255}}, {"brown", {153, 89, 26}}};

// Pixels within half of (x, y) near a colour, antialiased edges included.
int count(const Picture& pic, const Rgb& c, int x, int y, int half) {
  int n = 0;
  for (int j = std::max(0, y - half); j <= std::min(pic.height - 1, y + half); ++j)
    for (int i = std::max(0, x - half); i <= std::min(pic.width - 1, x + half); ++i) {
      const unsigned char* p = &pic.rgb[3 * (static_cast<std::size_t>(j) * pic.width + i)];
      n += std::abs(p[0] - c.r) < 50 && std::abs(p[1] - c.g) < 50 && std::abs(p[2] - c.b) < 50;
    }
  return n;
}

// The program draws a bulletin given as its input file, as a forecaster runs it:
// "stacont -ba -pd us -va front <bulletin> -pp barb -com gray -coln gray -de
// png,<picture>,1200x900,inv". Placed by the map's frame, the picture has each centre's
// colour (a letter's worth, 20 pixels, within 10 of it) and each front's (within 6 pixels,
// troughs 8, past a gap) at the first point of it that lies inside the map by a letter's
// size (4% of the map's height).
TEST_F(RealBulletin, ProgramDrawsTheBulletinGivenAsItsInput) {
  const std::string dir = make_temp_dir("frt_program");
  const RunResult r = run_stacont({"-ba", "-pd", "us", "-va", "front", real_data(kHighRes), "-pp", "barb", "-com", "gray",
                                   "-coln", "gray", "-de", "png," + dir + "/fronts.png,1200x900,inv"},
                                  "", clean_env(dir + "/no-resource-files"), dir, 60);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Picture pic = read_png(dir + "/fronts.png");
  ASSERT_EQ(pic.width, 1200);
  ASSERT_EQ(pic.height, 900);
  // The map's frame: the rows and columns that are dark over most of the picture.
  int top = -1, bottom = -1, left = -1, right = -1;
  for (int y = 0; y < pic.height; ++y)
    if (pic.count_dark(0, y, pic.width - 1, y) > pic.width * 8 / 10) (top < 0 ? top : bottom) = y;
  for (int x = 0; x < pic.width; ++x)
    if (pic.count_dark(x, 0, x, pic.height - 1) > (bottom - top) * 8 / 10) (left < 0 ? left : right) = x;
  ASSERT_TRUE(top >= 0 && bottom > top + 400 && left >= 0 && right > left + 600) << top << " " << bottom << " " << left;
  setup(us());
  float win[4];
  MAP_get_window(win);
  const auto inside = [&](float lat, float lon, int* x, int* y) {
    float px = 0, py = 0;
    const float m = 0.04f * (win[3] - win[2]);
    if (!MAP_tran(&px, &py, lat, lon) || px < win[0] + m || px > win[1] - m || py < win[2] + m || py > win[3] - m)
      return false;
    *x = static_cast<int>(std::lround(left + (px - win[0]) / (win[1] - win[0]) * (right - left)));
    *y = static_cast<int>(std::lround(bottom - (py - win[2]) / (win[3] - win[2]) * (bottom - top)));
    return true;
  };
  // Both files read whole: 16 highs and 24 lows, 2 of them without a pressure, and 49 fronts
  // and troughs, as counted in their text.
  for (const char* file : {kHighRes, kLowRes}) {
    const FrtBulletin b = read(file);
    int highs = 0, bare = 0;
    for (const FrtCentre& c : b.centres) highs += c.high, bare += c.pres == MISSING;
    EXPECT_EQ(std::tuple(highs, b.centres.size(), bare, b.fronts.size()), std::tuple(16, 40u, 2, 49u)) << file;
  }
  const FrtBulletin b = read(kHighRes);
  int centres = 0, fronts = 0;
  for (const FrtCentre& c : b.centres) {
    int x = 0, y = 0;
    if (!inside(c.lat, c.lon, &x, &y)) continue;
    ++centres;
    EXPECT_GE(count(pic, kRgb.at(c.high ? "blue" : "red"), x, y, 10), 20) << c.lat << " " << c.lon;
  }
  for (const FrtFront& f : b.fronts)
    for (std::size_t k = 0; k < f.lat.size(); ++k) {
      int x = 0, y = 0;
      if (!inside(f.lat[k], f.lon[k], &x, &y)) continue;
      ++fronts;
      const int half = f.kind == FRT_TROUGH ? 8 : 6;
      const int n = count(pic, kRgb.at(kColours.at(f.kind)), x, y, half) +
                    (f.kind == FRT_STATIONARY ? count(pic, kRgb.at("red"), x, y, half) : 0);
      EXPECT_GE(n, 3) << f.kind << " " << f.lat[k] << " " << f.lon[k];
      break;
    }
  // Of the 40 centres and 49 fronts, those over the United States and its neighbours.
  EXPECT_GE(centres, 15);
  EXPECT_GE(fronts, 18);
  // Every front colour shows: the occluded front's tip is in the map's top edge.
  for (const char* c : {"blue", "red", "magenta", "brown"}) EXPECT_GT(count(pic, kRgb.at(c), 600, 450, 600), 10) << c;
}

}  // namespace
