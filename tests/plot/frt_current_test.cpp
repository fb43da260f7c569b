// The national analysis's bulletins as issued today: the real high- and low-resolution
// bulletins of 28 June 2021 18 UTC. Every centre, front and trough they list is read
// (counted against a plain scan of the text made here) and drawn where the bulletin puts
// it; the program draws a bulletin given as its input with the pixels of the fronts' and
// letters' colours at their places.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/gks_line.h"
#include "plot/frt_plt.h"
#include "tests/graphics/gks_render.h"
#include "tests/plot/map_fixture.h"
#include "tests/support/run.h"

namespace {

const char* const kHighRes = "WPC_sfc_fronts_20210628_1800.txt";
const char* const kLowRes = "WPC_sfc_fronts_lowres_20210628_1800.txt";

// ---- a plain scan of the text, made without the reader ----

struct Scan {
  std::vector<std::pair<std::string, int>> fronts;  // keyword and position groups, in order
  int highs = 0, lows = 0, pressures = 0;
};

bool all_digits(const std::string& w) {
  for (const char c : w)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return !w.empty();
}

// The data lines after "VALID" up to "$$", lines beginning with a digit joined to the one
// before; in HIGHS and LOWS lines a group of 3 or 4 digits from 850 to 1050 is a pressure
// and any other group a centre, in the other lines every group is a position.
Scan scan(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::istringstream in(text);
  bool on = false;
  for (std::string line; std::getline(in, line);) {
    std::istringstream ws(line);
    std::vector<std::string> w;
    for (std::string t; ws >> t;) w.push_back(t);
    if (w.empty()) continue;
    if (!on) {
      on = w[0] == "VALID";
      continue;
    }
    if (w[0] == "$$") break;
    if (std::isdigit(static_cast<unsigned char>(w[0][0])))
      records.back().insert(records.back().end(), w.begin(), w.end());
    else
      records.push_back(w);
  }
  Scan s;
  for (const auto& r : records) {
    int groups = 0, pressures = 0;
    for (std::size_t i = 1; i < r.size(); ++i) {
      if (!all_digits(r[i])) continue;
      const bool pressure = r[i].size() <= 4 && std::stoi(r[i]) >= 850 && std::stoi(r[i]) <= 1050;
      ++(pressure && (r[0] == "HIGHS" || r[0] == "LOWS") ? pressures : groups);
    }
    if (r[0] == "HIGHS" || r[0] == "LOWS") {
      (r[0] == "HIGHS" ? s.highs : s.lows) += groups;
      s.pressures += pressures;
    } else {
      s.fronts.emplace_back(r[0], groups);
    }
  }
  return s;
}

const std::map<std::string, FrtKind> kKinds = {
    {"COLD", FRT_COLD}, {"WARM", FRT_WARM}, {"OCFNT", FRT_OCCLUDED}, {"STNRY", FRT_STATIONARY}, {"TROF", FRT_TROUGH}};
// The colour of each kind's first piece on the map.
const std::map<FrtKind, const char*> kColours = {{FRT_COLD, "blue"},       {FRT_WARM, "red"},
                                                 {FRT_OCCLUDED, "magenta"}, {FRT_STATIONARY, "blue"},
                                                 {FRT_TROUGH, "brown"}};

// ---- values read off the two files' text ----

struct Place {
  float pres, lat, lon;  // pres MISSING: the bulletin gives the position alone
};
struct FrontEnds {
  FrtKind kind;
  int nth;  // of its kind, from 0
  std::size_t points;
  float lat0, lon0, lat1, lon1;
};
struct Real {
  const char* file;
  std::vector<Place> highs, lows;
  std::vector<FrontEnds> fronts;
};

const Real kBulletins[] = {
    {kHighRes,
     {{1022, 39.6f, -106.9f}, {1026, 37.5f, -77.3f}, {1019, 35.5f, -105.0f}},  // 3961069, 3750773, last 3551050
     {{MISSING, 60.7f, -108.0f}, {MISSING, 50.4f, -121.3f}, {992, 73.8f, -48.1f}, {1013, 32.2f, -79.4f}},
     {{FRT_COLD, 0, 8, 60.5f, -108.1f, 58.4f, -121.6f},  // COLD 6051081 ... 5841216
      {FRT_OCCLUDED, 2, 12, 82.6f, -90.3f, 69.4f, -158.0f},  // OCFNT 8260903 ... 6941580
      {FRT_STATIONARY, 0, 4, 32.4f, -100.5f, 31.2f, -102.9f},  // STNRY 3241005 ... 3121029
      {FRT_TROUGH, 21, 3, 45.8f, -75.3f, 46.0f, -79.0f}}},  // the last line, TROF 4580753 4580770 4600790
    {kLowRes,
     {{1022, 40, -107}, {1026, 38, -77}, {1019, 35, -105}},
     {{MISSING, 61, -108}, {MISSING, 50, -121}, {992, 74, -48}, {1013, 32, -79}},
     {{FRT_COLD, 0, 8, 61, -108, 58, -122},
      {FRT_OCCLUDED, 2, 12, 83, -90, 69, -158},
      {FRT_STATIONARY, 0, 4, 32, -100, 31, -103},
      {FRT_TROUGH, 21, 3, 46, -75, 46, -79}}},
};

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
  static std::pair<double, double> plane(float lat, float lon) {
    float x = 0, y = 0;
    MAP_tran(&x, &y, lat, lon);
    return {x, y};
  }
};

// Every element the scan finds is read, of its kind, in the bulletin's order, with its
// number of points; the centres and fronts named in the table are where the text says.
TEST_F(RealBulletin, ReadsEveryElementWhereTheTextPutsIt) {
  for (const Real& r : kBulletins) {
    const Scan s = scan(read_file(real_data(r.file)));
    // What the files hold: 16 highs, 24 lows of which 2 without a pressure, 49 fronts and
    // troughs.
    EXPECT_EQ(s.highs, 16);
    EXPECT_EQ(s.lows, 24);
    EXPECT_EQ(s.pressures, 38);
    ASSERT_EQ(s.fronts.size(), 49u);
    const FrtBulletin b = read(r.file);
    ASSERT_TRUE(b.found);
    int highs = 0, lows = 0, bare = 0;
    for (const FrtCentre& c : b.centres) (c.high ? highs : lows) += 1, bare += c.pres == MISSING;
    EXPECT_EQ(highs, s.highs) << r.file;
    EXPECT_EQ(lows, s.lows) << r.file;
    EXPECT_EQ(bare, s.highs + s.lows - s.pressures) << r.file;
    ASSERT_EQ(b.fronts.size(), s.fronts.size()) << r.file;
    for (std::size_t i = 0; i < b.fronts.size(); ++i) {
      EXPECT_EQ(b.fronts[i].kind, kKinds.at(s.fronts[i].first)) << r.file << " " << i;
      EXPECT_EQ(static_cast<int>(b.fronts[i].lat.size()), s.fronts[i].second) << r.file << " " << i;
    }
    for (const bool high : {true, false})
      for (const Place& p : high ? r.highs : r.lows) {
        int found = 0;
        for (const FrtCentre& c : b.centres)
          found += c.high == high && c.pres == p.pres && c.lat == p.lat && c.lon == p.lon;
        EXPECT_EQ(found, 1) << r.file << " " << p.pres << " " << p.lat << " " << p.lon;
      }
    for (const FrontEnds& f : r.fronts) {
      int nth = -1;
      for (const FrtFront& g : b.fronts) {
        if (g.kind != f.kind || ++nth != f.nth) continue;
        ASSERT_EQ(g.lat.size(), f.points) << r.file << " " << f.kind;
        EXPECT_EQ(g.lat.front(), f.lat0) << r.file << " " << f.kind;
        EXPECT_EQ(g.lon.front(), f.lon0) << r.file << " " << f.kind;
        EXPECT_EQ(g.lat.back(), f.lat1) << r.file << " " << f.kind;
        EXPECT_EQ(g.lon.back(), f.lon1) << r.file << " " << f.kind;
      }
      EXPECT_GE(nth, f.nth) << r.file << " " << f.kind;
    }
  }
}

// ---- the picture ----

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
