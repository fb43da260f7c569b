// The sample's bulletins against the sample's analysed fields: the program analyses the
// 12 UTC temperature and sea-level pressure onto a grid over North America, and the fronts
// and centres of the hour's bulletin, drawn over the same domain, lie where the analysis
// has its strongest temperature contrast across the cold front and its pressure extremes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "config/missing.h"
#include "plot/frt_plt.h"
#include "tests/graphics/gks_render.h"
#include "tests/plot/map_fixture.h"

namespace {

const std::string kData = STACONT_DATA_DIR;

class FrtSample : public MapTest {
 protected:
  static void SetUpTestSuite() {
    dir_s = make_temp_dir("frt_sample");
    run_s = run_stacont({"-ba", "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "ps:-100,42,-100,33,23,2.3,2.3", "-va", "temp,pralt",
                         "-of", "cdf", "-gp", dir_s, "-de", "p," + dir_s + "/x.ps"},
                        "", clean_env(dir_s + "/no-resource-files"), dir_s, 120);
  }
  static bool read_grid(const std::string& name, GridRec* g) {
    int type = 0;
    GridInfo info{};
    const int h = GRD_open((dir_s + "/2026031412_" + name + ".nc").c_str(), 0, &type);
    if (h < 0) return false;
    GRD_init(g);
    const bool ok = GRD_getinfo(h, &info) >= 0 && GRD_read(h, g, 0, nullptr) >= 0;
    GRD_close(h);
    return ok && g->values != nullptr;
  }
  // The grid's value at plane point (x, y), bilinear; MISSING outside or next to a gap.
  static double at(const GridRec& g, double x, double y) {
    float c = 0, r = 0;
    if (MAP_grid_untran(&c, &r, static_cast<float>(x), static_cast<float>(y)) < 0) return MISSING;
    const int nx = g.domain.nx, ny = g.domain.ny;
    const int i = static_cast<int>(std::floor(c)), j = static_cast<int>(std::floor(r));
    if (i < 0 || j < 0 || i + 1 >= nx || j + 1 >= ny) return MISSING;
    const double fx = c - i, fy = r - j;
    const float* v = g.values;
    const float a = v[j * nx + i], b = v[j * nx + i + 1], d = v[(j + 1) * nx + i], e = v[(j + 1) * nx + i + 1];
    if (a == MISSING || b == MISSING || d == MISSING || e == MISSING) return MISSING;
    return (1 - fy) * ((1 - fx) * a + fx * b) + fy * ((1 - fx) * d + fx * e);
  }
  static inline std::string dir_s;
  static inline RunResult run_s;
};

TEST_F(FrtSample, FrontsAndCentresLieOnTheAnalysedFields) {
  ASSERT_EQ(run_s.status, 0) << run_s.err;
  GridRec temp, slp;
  ASSERT_TRUE(read_grid("temp", &temp));
  ASSERT_TRUE(read_grid("pralt", &slp));
  setup(temp.domain);
  const double gl = temp.domain.dx;  // one grid length, plane units
  const DateRec date{2026, 3, 14, 73, 6, 12, 0, 0};
  FRT_set_date(&date);
  testing::internal::CaptureStdout();
  ASSERT_EQ(FRT_plot_file((kData + "/sample/2026031412.frt").c_str()), 1);
  testing::internal::GetCapturedStdout();

  // The cold front: the blue line. Along it, every half grid length, the strongest
  // temperature gradient across it within three grid lengths either side.
  std::vector<std::pair<double, double>> front;
  for (const Drawn& d : drawn())
    if (d.colour == CLR_get_ind("blue")) front.insert(front.end(), d.pts.begin(), d.pts.end());
  ASSERT_GT(front.size(), 20u);
  double worst = 0, sum = 0;
  int n = 0;
  for (std::size_t k = 3; k + 1 < front.size(); ++k) {  // from about 150 km off the low
    const double tx = front[k + 1].first - front[k - 1].first, ty = front[k + 1].second - front[k - 1].second;
    const double len = std::hypot(tx, ty);
    const double nx = -ty / len, ny = tx / len;
    double best = -1, best_t = 0;
    bool inside = true;
    for (double t = -3.0; t <= 3.0 + 1e-9 && inside; t += 0.05) {
      const double h = 0.1;
      const double a = at(temp, front[k].first + (t - h) * gl * nx, front[k].second + (t - h) * gl * ny);
      const double b = at(temp, front[k].first + (t + h) * gl * nx, front[k].second + (t + h) * gl * ny);
      if (a == MISSING || b == MISSING) inside = false;
      const double g = std::fabs(b - a);
      if (g > best) best = g, best_t = t;
    }
    if (!inside) continue;
    worst = std::max(worst, std::fabs(best_t));
    sum += std::fabs(best_t);
    ++n;
  }
  std::printf("cold front: %d points, strongest temperature gradient off the front by %.2f grid lengths on average, "
              "%.2f at most (grid length %.0f km)\n",
              n, sum / n, worst, gl * 100.0);
  EXPECT_GT(n, 15);
  EXPECT_LE(worst, 1.0);

  // Centres: each letter within a grid length of the analysed extreme next to it (the grid
  // point that is the highest or lowest within two grid lengths of it).
  int centres = 0;
  for (const auto& [text, p] : placed_labels()) {
    if (text != "H" && text != "L") continue;
    float c = 0, r = 0;
    MAP_grid_untran(&c, &r, static_cast<float>(p.first), static_cast<float>(p.second));
    const int nx = slp.domain.nx, ny = slp.domain.ny;
    float lat = 0, lon = 0;
    MAP_untran(&lat, &lon, static_cast<float>(p.first), static_cast<float>(p.second));
    // Centres out at sea, beyond the stations, have no analysed extreme to meet.
    if (c < 2 || r < 2 || c > nx - 3 || r > ny - 3 || lat < 22 || lat > 58 || lon < -128 || lon > -62) {
      std::printf("%s at %.0fN %.0fW: beyond the stations\n", text.c_str(), lat, -lon);
      continue;
    }
    ++centres;
    double best = text == "H" ? -1e9 : 1e9;
    int bi = 0, bj = 0;
    for (int j = static_cast<int>(r) - 2; j <= static_cast<int>(r) + 3; ++j)
      for (int i = static_cast<int>(c) - 2; i <= static_cast<int>(c) + 3; ++i) {
        const float v = slp.values[j * nx + i];
        if (v == MISSING) continue;
        if ((text == "H" && v > best) || (text == "L" && v < best)) best = v, bi = i, bj = j;
      }
    const double off = std::hypot(bi - c, bj - r);
    std::printf("%s at column %.1f row %.1f: analysed extreme %.1f hPa at %d %d, %.2f grid lengths away\n", text.c_str(), c,
                r, best, bi, bj, off);
    EXPECT_LE(off, 1.0) << text;
  }
  EXPECT_EQ(centres, 2);  // the low and the arctic high
  GRD_free(&temp);
  GRD_free(&slp);
}

// The program draws the hour's bulletin as the variable "front": blue cold-front triangles
// and red warm-front half-discs on the colour page (the map in gray), its labels, and a
// damaged bulletin draws what it can without failing the run.
TEST(FrtProgram, FrontVariableDrawsTheBulletin) {
  const std::string dir = make_temp_dir("frt_program");
  const auto run = [&](const std::string& text_path, const std::string& params, const std::string& ps) {
    return run_stacont({"-ba", "-fp", kData, "-tp", text_path, "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us", "-va",
                        "front", "-pp", params, "-com", "gray", "-de", "p," + ps + ",color"},
                       "", clean_env(dir + "/no-resource-files"), dir, 60);
  };
  // Pixels of the page clearly blue or clearly red.
  const auto count = [](const Picture& pic, bool blue) {
    int n = 0;
    for (std::size_t i = 0; i + 2 < pic.rgb.size(); i += 3) {
      const int r = pic.rgb[i], g = pic.rgb[i + 1], b = pic.rgb[i + 2];
      n += blue ? (b > 200 && r < 80 && g < 120) : (r > 200 && g < 80 && b < 80);
    }
    return n;
  };
  const RunResult plain = run(kData + "/sample", "x", dir + "/plain.ps");
  ASSERT_EQ(plain.status, 0) << plain.err;
  const RunResult barb = run(kData + "/sample", "barb", dir + "/barb.ps");
  ASSERT_EQ(barb.status, 0) << barb.err;
  const std::string text = read_file(dir + "/barb.ps");
  EXPECT_NE(text.find("%%TE:"), std::string::npos);
  for (const char* label : {"Frontal positions", "NCEP analysis for 12Z 14 MAR 26", " H\n", " L\n", " 991\n", " 1032\n"})
    EXPECT_NE(text.find(label), std::string::npos) << label;
  const Picture p0 = render_ps(dir + "/plain.ps", false, 72), p1 = render_ps(dir + "/barb.ps", false, 72);
  // The lines alone, then the lines with their symbols: the filled triangles and half-discs
  // add a good deal of colour.
  EXPECT_GT(count(p0, true), 100);
  EXPECT_GT(count(p0, false), 50);
  EXPECT_GT(count(p1, true), 2 * count(p0, true));
  EXPECT_GT(count(p1, false), 2 * count(p0, false));

  write_file(dir + "/2026031412.frt", "VALID 141200Z\nCOLD MDT 41091 39093 380\n\x01\x02\xff\nLOWS 991 41091\n" +
                                          std::string(20000, 'x') + "\n");
  const RunResult damaged = run(dir, "barb", dir + "/damaged.ps");
  EXPECT_EQ(damaged.status, 0) << damaged.err;
  EXPECT_NE(damaged.err.find("FRT_plot_file: Bad position group in COLD line: 380\n"), std::string::npos) << damaged.err;
  EXPECT_NE(read_file(dir + "/damaged.ps").find(" L\n"), std::string::npos);
}

}  // namespace
