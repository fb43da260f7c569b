// The map background end to end: a world map on the Mollweide projection, rendered by
// Ghostscript, draws nothing outside its ellipse (the page over the United States is a run
// of tests/data/plot/program.runs).
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "tests/graphics/gks_render.h"
#include "tests/plot/map_fixture.h"
#include "tests/support/run.h"

namespace {

const std::string kData = STACONT_DATA_DIR;
constexpr int kDpi = 100;

// The map panel: the clip rectangle (print units) set last before the first drawing.
struct Panel {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
Panel panel_of(const std::string& ps) {
  const std::size_t first = ps.find("%%PL");
  const std::regex clip(R"(initclip\nnp\n(-?[0-9.]+) (-?[0-9.]+) mv\n-?[0-9.]+ -?[0-9.]+ ln\n(-?[0-9.]+) (-?[0-9.]+) ln\n)");
  Panel p;
  for (auto it = std::sregex_iterator(ps.begin(), ps.begin() + static_cast<long>(first), clip); it != std::sregex_iterator();
       ++it) {
    p.x0 = std::stod((*it)[1]) + 0.1, p.y0 = std::stod((*it)[2]) + 0.1;
    p.x1 = std::stod((*it)[3]) - 0.1, p.y1 = std::stod((*it)[4]) - 0.1;
  }
  return p;
}

// A plane point of a map window on the rendered landscape letter page: the page is turned
// by 90 degrees and moved a quarter inch right and 8.25 inches down, so print unit (u, v)
// lands at page point (594 - v, u + 18).
struct PageMap {
  Panel panel;
  double wx0, wx1, wy0, wy1;
  std::pair<int, int> pixel(double x, double y) const {
    const double u = panel.x0 + (x - wx0) / (wx1 - wx0) * (panel.x1 - panel.x0);
    const double v = panel.y0 + (y - wy0) / (wy1 - wy0) * (panel.y1 - panel.y0);
    return {static_cast<int>(std::lround((594.0 - v) * kDpi / 72.0)), static_cast<int>(std::lround((774.0 - u) * kDpi / 72.0))};
  }
};

class MapE2E : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir("map_e2e"); }
  RunResult run(const std::vector<std::string>& extra, const std::string& ps) {
    std::vector<std::string> args = {"-ba", "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412", "-de", "p," + ps};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_stacont(args, "", clean_env(dir_ + "/no-resource-files"), dir_, 60);
  }
  std::string dir_;
};

// Coastlines, borders and grid lines of the world all lie inside the Mollweide ellipse: a
// line over the seam that were drawn across the map would leave ink outside it.
TEST_F(MapE2E, MollweideWorldStaysInsideItsEllipse) {
  const std::string ps = dir_ + "/moll.ps";
  const RunResult r = run({"-pd", "moll", "-va", "temp", "-me", "mess", "-dr=-bord,-data"}, ps);  // no frame: lines only
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Map: cont.map\nMap: country.map\n"), std::string::npos) << r.out;
  const Picture pic = render_ps(ps, false, kDpi);
  PageMap m{panel_of(read_file(ps)), -128.0, 128.0, -64.0, 64.0};
  // The ellipse on the page: pixel centre and semi-axes.
  const auto centre = m.pixel(0.0, 0.0);
  const auto east = m.pixel(2.0 * kR, 0.0);
  const auto north = m.pixel(0.0, kR);
  const double a = std::hypot(east.first - centre.first, east.second - centre.second);
  const double b = std::hypot(north.first - centre.first, north.second - centre.second);
  const auto c0 = m.pixel(-128.0, -64.0), c1 = m.pixel(128.0, 64.0);
  int outside = 0, inside = 0;
  for (int y = std::min(c0.second, c1.second) + 3; y <= std::max(c0.second, c1.second) - 3; ++y)
    for (int x = std::min(c0.first, c1.first) + 3; x <= std::max(c0.first, c1.first) - 3; ++x) {
      if (!pic.dark(x, y)) continue;
      // The page is turned: map x runs along page y, map y along page x.
      const double dx = y - centre.second, dy = x - centre.first;
      if (std::hypot(dx / (a + 4.0), dy / (b + 4.0)) > 1.0) ++outside;
      if (std::hypot(dx / a, dy / b) < 1.0) ++inside;
    }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(inside, 5000);
  // Nor does any line run straight across it: along map x (page rows turned into columns)
  // no run of ink is longer than a tenth of the map's width. The latitude lines are dashed
  // and the longest straight coast or border is far shorter.
  int longest = 0;
  for (int x = std::min(c0.first, c1.first); x <= std::max(c0.first, c1.first); ++x) {
    int run = 0;
    for (int y = std::min(c0.second, c1.second); y <= std::max(c0.second, c1.second); ++y) {
      run = pic.dark(x, y) ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  EXPECT_LT(longest, 0.2 * a);
}

}  // namespace
