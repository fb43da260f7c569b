// End-to-end checks of the pictures a forecaster publishes: frame dumps without a display
// keep the page's colours, an hourly series gives one colour to one value, precipitation
// of zero stays unfilled, Lambert maps have no straight lines across them, highs and lows
// stand out and show on their background; a colour table's fill list is its entries
// before "END" (a table of runs).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/plot/cont_texts.h"
#include "tests/support/driver_runs.h"
#include "tests/support/e2e.h"

namespace {

namespace fs = std::filesystem;
using Rgb = std::array<int, 3>;

Rgb at(const Picture& p, int x, int y) {
  const unsigned char* c = &p.rgb[3 * (static_cast<std::size_t>(y) * p.width + x)];
  return {c[0], c[1], c[2]};
}

// The plot frame of a window-look page: the white outline whose left edge runs down the
// first column.
struct Frame {
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
};

Frame plot_frame(const Picture& p) {
  Frame f{0, p.width - 1, -1, 0};
  for (int y = 0; y < p.height; ++y)
    if (at(p, 0, y) == Rgb{255, 255, 255}) f.y0 = f.y0 < 0 ? y : f.y0, f.y1 = y;
  return f;
}

// The colour most of a 5 by 5 patch has, when at least 15 of its 25 pixels have it (a
// patch under a line or a label has none).
bool patch_colour(const Picture& p, int x, int y, Rgb* out) {
  std::map<Rgb, int> n;
  for (int j = -2; j <= 2; ++j)
    for (int i = -2; i <= 2; ++i)
      if (x + i >= 0 && y + j >= 0 && x + i < p.width && y + j < p.height) ++n[at(p, x + i, y + j)];
  for (const auto& [c, k] : n)
    if (k >= 15) return *out = c, true;
  return false;
}

// The page position of grid point (i, row) on a map whose grid is the map's domain.
void grid_pixel(const Frame& f, const TextGrid& g, int i, int row, int* x, int* y) {
  *x = static_cast<int>(std::lround(f.x0 + static_cast<double>(i) * (f.x1 - f.x0) / (g.nx - 1)));
  *y = static_cast<int>(std::lround(f.y0 + static_cast<double>(row) * (f.y1 - f.y0) / (g.ny - 1)));
}

class ColourE2E : public ProgramTest {
 protected:
  RunResult run(const std::vector<std::string>& args) const {
    RunResult r = run_stacont(args, "", env_, dir_, 120);
    EXPECT_EQ(r.status, 0) << r.err;
    return r;
  }
};

// A frame dumped without a display is the raster page reduced to 256 colours: the large
// fill areas keep their exact colours, and no pixel strays further than the nearest kept
// colour of an antialiased edge.
TEST_F(ColourE2E, FrameDumpKeepsTheColoursOfTheRasterPage) {
  run(sample_args("pralt", {"-pp", "png:dump_%i.png"}));
  run(sample_args("pralt", {"-de", "png,page.png"}));
  const Picture dump = read_png(dir_ + "/dump_00.png"), page = read_png(dir_ + "/page.png");
  ASSERT_EQ(dump.width, page.width);
  ASSERT_EQ(dump.height, page.height);
  ASSERT_GT(page.width, 0);
  long same = 0, close = 0, near = 0, total = 0;
  std::map<Rgb, long> page_count;
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) {
      const Rgb a = at(dump, x, y), b = at(page, x, y);
      ++total;
      ++page_count[b];
      same += a == b;
      int d = 0;
      for (int i = 0; i < 3; ++i) d = std::max(d, std::abs(a[i] - b[i]));
      close += d <= 8;
      near += d <= 24;
    }
  std::printf("dump against page: %.2f%% the same, %.2f%% within 8, %.2f%% within 24; %zu colours on the page\n",
              100.0 * same / total, 100.0 * close / total, 100.0 * near / total, page_count.size());
  EXPECT_GT(page_count.size(), 256u);  // an antialiased page: reduction is needed
  EXPECT_GE(static_cast<double>(same) / total, 0.8);
  EXPECT_GE(static_cast<double>(close) / total, 0.95);
  EXPECT_GE(static_cast<double>(near) / total, 0.999);
  // Every colour that covers a thousandth of the page is kept exactly.
  for (const auto& [c, n] : page_count) {
    if (n * 1000 < total) continue;
    long kept = 0;
    for (int y = 0; y < page.height; ++y)
      for (int x = 0; x < page.width; ++x) kept += at(page, x, y) == c && at(dump, x, y) == c;
    EXPECT_EQ(kept, n) << "colour " << c[0] << "," << c[1] << "," << c[2];
  }
}

// A day of hourly temperature maps: a value has one colour in every frame (the colours
// of the first hour are held at the ends, never wrapped round), read from the pages at
// the grid points, where the fill shows the analysed value itself.
TEST_F(ColourE2E, HourlySeriesGivesOneColourToOneValue) {
  fs::create_directories(dir_ + "/grids");
  run(sample_args("temp", {"-nh", "23", "-of", "zav", "-gp", dir_ + "/grids", "-de", "png,day.png"}, "#2026031400", "us"));
  std::map<int, std::map<Rgb, int>> colours;  // 5-degree band -> colour -> samples
  int frames = 0;
  std::vector<Rgb> first_bar;  // the colour bar's boxes along a row through them
  for (int h = 0; h < 24; ++h) {
    char page[32], grid[64];
    std::snprintf(page, sizeof page, "/day_%02d.png", h + 1);
    std::snprintf(grid, sizeof grid, "/grids/20260314%02d_temp.grd", h);
    if (!fs::exists(dir_ + page) || !fs::exists(dir_ + grid)) continue;
    ++frames;
    const Picture p = read_png(dir_ + page);
    const TextGrid g = read_text_grid(dir_ + grid);
    // The colour bar says so: every frame shows the first frame's bands in their colours
    // (a pointed end left of them where colours are held).
    std::vector<Rgb> bar;
    for (int x = 21; x <= 316; ++x) bar.push_back(at(p, x, 476));
    if (first_bar.empty()) first_bar = bar;
    EXPECT_EQ(bar, first_bar) << page;
    ASSERT_EQ(g.v.size(), static_cast<std::size_t>(g.nx) * g.ny);
    const Frame f = plot_frame(p);
    ASSERT_GT(f.y1 - f.y0, 100);
    for (int row = 1; row + 1 < g.ny; ++row)
      for (int i = 1; i + 1 < g.nx; ++i) {
        const float v = g.at(i, row);
        const double off = std::fmod(v, 5.0);
        if (v < -100 || off < 1.0 || off > 4.0) continue;  // near a level: the pixel may be either side
        int x, y;
        grid_pixel(f, g, i, row, &x, &y);
        Rgb c;
        if (patch_colour(p, x, y, &c)) ++colours[static_cast<int>(std::floor(v / 5.0))][c];
      }
  }
  EXPECT_EQ(frames, 24);
  EXPECT_GE(std::set<Rgb>(first_bar.begin(), first_bar.end()).size(), 12u);  // the row crosses the bar's boxes
  int samples = 0, strays = 0;
  for (const auto& [band, seen] : colours) {
    int most = 0, all = 0;
    for (const auto& [c, n] : seen) most = std::max(most, n), all += n;
    samples += all;
    strays += all - most;
    EXPECT_LE(all - most, std::max(2, all / 20)) << "band " << 5 * band << " to " << 5 * band + 5 << ": " << seen.size()
                                                 << " colours over " << all << " samples";
  }
  std::printf("%d samples in %zu bands, %d of another colour than their band's\n", samples, colours.size(), strays);
  EXPECT_GT(samples, 2000);
  EXPECT_GE(colours.size(), 12u);
}

// Zero precipitation is left unfilled: grid points without rain show the background, those
// with rain a fill colour.
TEST_F(ColourE2E, ZeroPrecipitationIsNotFilled) {
  fs::create_directories(dir_ + "/grids");
  run(sample_args("prec6", {"-nh", "0", "-of", "zav", "-gp", dir_ + "/grids", "-de", "png,rain.png"}));
  std::string grid;
  for (const auto& e : fs::directory_iterator(dir_ + "/grids")) grid = e.path();
  ASSERT_FALSE(grid.empty());
  const Picture p = read_png(dir_ + "/rain.png");
  const TextGrid g = read_text_grid(grid);
  const Frame f = plot_frame(p);
  int dry = 0, dry_black = 0, wet = 0, wet_filled = 0;
  for (int row = 1; row + 1 < g.ny; ++row)
    for (int i = 1; i + 1 < g.nx; ++i) {
      const float v = g.at(i, row);
      int x, y;
      grid_pixel(f, g, i, row, &x, &y);
      Rgb c;
      if (v < -100 || !patch_colour(p, x, y, &c)) continue;
      if (v < 0.01F) ++dry, dry_black += c == Rgb{0, 0, 0};
      if (v > 0.1F) ++wet, wet_filled += c != Rgb{0, 0, 0};
    }
  EXPECT_GT(dry, 100);
  EXPECT_GE(dry_black, dry * 95 / 100) << dry << " dry points";
  EXPECT_GT(wet, 5);
  EXPECT_GE(wet_filled, wet * 9 / 10);
}

// The polylines of a PostScript page: colour line before them and their points.
struct Polyline {
  std::string colour;
  std::vector<std::pair<double, double>> pts;
};

std::vector<Polyline> polylines(const std::string& ps) {
  std::vector<Polyline> out;
  std::istringstream in(read_file(ps));
  std::string line, colour;
  Polyline cur;
  while (std::getline(in, line)) {
    double x, y;
    char op[8];
    if (line.find("setrgbcolor") != std::string::npos) colour = line;
    if (std::sscanf(line.c_str(), "%lf %lf %7s", &x, &y, op) == 3) {
      if (std::string(op) == "mv") cur = {colour, {{x, y}}};
      if (std::string(op) == "ln") cur.pts.emplace_back(x, y);
    }
    if (line == "stroke" && cur.pts.size() >= 2) out.push_back(cur), cur = {};
  }
  return out;
}

// On Lambert maps the parallels are curves: no stretch of a latitude-longitude line runs
// straight across the map (level within half a point) for longer than the height between
// two neighbouring parallels where they meet the map's left edge, so no straight dashed
// line crosses the map beside the curved parallels. (The page is landscape: the picture's
// rows are the PostScript y.)
TEST_F(ColourE2E, LambertMapsHaveNoStraightLinesAcross) {
  for (const std::string domain : {"conus", "eu", "uk"}) {
    run(sample_args("temp", {"-pl", "ln", "-de", "p," + domain + ".ps,color"}, "#2026031412", domain));
    double longest = 0, left = 1e9;
    std::vector<Polyline> lines;
    for (const Polyline& l : polylines(dir_ + "/" + domain + ".ps")) {
      if (l.colour.rfind("1.00 0.00 1.00", 0) != 0) continue;  // the magenta latitude-longitude lines
      lines.push_back(l);
      for (const auto& p : l.pts) left = std::min(left, p.first);
      // Stretches of the line that stay on one row of the picture.
      std::size_t from = 0;
      for (std::size_t i = 1; i <= l.pts.size(); ++i)
        if (i == l.pts.size() || std::fabs(l.pts[i].second - l.pts[from].second) > 0.5) {
          longest = std::max(longest, std::fabs(l.pts[i - 1].first - l.pts[from].first));
          from = i;
        }
    }
    // The parallels end on the map's left edge: the rows of the lines cut there that run
    // sideways.
    std::vector<double> edge;
    for (const Polyline& l : lines)
      for (std::size_t i = 1; i < l.pts.size(); ++i) {
        const auto& a = l.pts[i - 1];
        const auto& b = l.pts[i];
        if (std::fabs(a.first - b.first) <= std::fabs(a.second - b.second)) continue;
        if (a.first - left < 0.5) edge.push_back(a.second);
        if (b.first - left < 0.5) edge.push_back(b.second);
      }
    std::sort(edge.begin(), edge.end());
    edge.erase(std::unique(edge.begin(), edge.end(), [](double a, double b) { return b - a < 1.0; }), edge.end());
    double spacing = 1e9;
    for (std::size_t i = 1; i < edge.size(); ++i) spacing = std::min(spacing, edge[i] - edge[i - 1]);
    EXPECT_GE(edge.size(), 3u) << domain;
    EXPECT_GT(longest, 0.0) << domain;
    // The longest straight stretch across, in points, against the parallels' spacing.
    EXPECT_LT(longest, spacing) << domain;
  }
}

// The texts of the highs and lows of a PostScript page with the colour each is drawn in
// and the page pixels of its strokes (72 dpi, the landscape page turned as Ghostscript
// renders it on letter paper).
struct Mark {
  std::string text;
  Rgb colour{};
  int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
};

std::vector<Mark> marks(const std::string& ps) {
  std::vector<Mark> out;
  std::istringstream in(read_file(ps));
  std::string line;
  Mark* cur = nullptr;
  std::string last_mark;  // the note of the last letter: a letter over its rim comes twice
  while (std::getline(in, line)) {
    if (line.rfind("%%TE:", 0) == 0) {
      const std::string text = line.substr(line.rfind(' ') + 1);
      cur = nullptr;
      if (text == "H" || text == "L") {
        if (line == last_mark) out.pop_back();  // the rim: the letter drawn over it counts
        out.push_back({text}), cur = &out.back();
        last_mark = line;
      }
      continue;
    }
    if (cur == nullptr) continue;
    float r, g, b;
    double x, y;
    char op[8];
    if (line.find("setrgbcolor") != std::string::npos && std::sscanf(line.c_str(), "%f %f %f", &r, &g, &b) == 3)
      cur->colour = {static_cast<int>(std::lround(r * 255)), static_cast<int>(std::lround(g * 255)),
                     static_cast<int>(std::lround(b * 255))};
    else if (std::sscanf(line.c_str(), "%lf %lf %7s", &x, &y, op) == 3 && (std::string(op) == "mv" || std::string(op) == "ln")) {
      const int col = static_cast<int>(std::lround(594.0 - y)), row = static_cast<int>(std::lround(774.0 - x));
      cur->x0 = std::min(cur->x0, col), cur->x1 = std::max(cur->x1, col);
      cur->y0 = std::min(cur->y0, row), cur->y1 = std::max(cur->y1, row);
    } else if (line.rfind("%%", 0) == 0 && line.rfind("%%PL", 0) != 0) {
      cur = nullptr;
    }
  }
  return out;
}

double luminance(const Rgb& c) { return (0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]) / 255.0; }

// Highs and lows stand where the field stands out, not at the grid's data-sparse edges;
// each letter shows on what lies under it; every number of the map has the same decimals.
TEST_F(ColourE2E, HighsAndLowsStandOutAndShowOnTheirBackground) {
  // Pressure: one deep low; the high sits at the top edge, the weak lows and highs of the
  // old search (Mexico, the Pacific corner) are gone. The radius is one on the earth: a grid
  // two or three times as fine marks the same. Precipitation and wind speed: the decimals
  // and the backgrounds of whatever is marked.
  for (const auto& [variable, params] : std::vector<std::pair<std::string, std::string>>{
           {"pralt", "gridx1"}, {"pralt", "gridx2"}, {"pralt", "gridx3"}, {"prec6", "gridx1"}, {"wspd", "gridx1"}}) {
    SCOPED_TRACE(variable + " " + params);
    const std::string ps = dir_ + "/" + variable + "_" + params + ".ps";
    run(sample_args(variable, {"-pp", params, "-de", "p," + ps + ",color"}));
    // The numbers of the map: line labels, values of the marks and the bar's labels.
    const std::vector<PsText> texts = ps_texts(ps);
    std::set<int> decimals;
    std::vector<std::string> got;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const std::string& t = texts[i].s;
      if ((t == "H" || t == "L") && i + 1 < texts.size()) got.push_back(t + " " + texts[i + 1].s);
      if (t.empty() || t.find_first_not_of("-.0123456789") != std::string::npos) continue;
      decimals.insert(t.find('.') == std::string::npos ? 0 : static_cast<int>(t.size() - t.find('.') - 1));
    }
    if (variable == "pralt") {
      EXPECT_EQ(got, std::vector<std::string>{"L 992"});  // the marks, in drawing order
    }
    EXPECT_EQ(decimals.size(), 1u) << "numbers with " << decimals.size() << " kinds of decimals";
    const Picture page = render_ps(ps, false);
    for (const Mark& m : marks(ps)) {
      ASSERT_GE(m.x1, m.x0) << m.text;
      // What lies round the letter: the most common colour of a frame 2 to 4 pixels out.
      // Black on navy differs by 0.09 in luminance, black on black by 0; a letter across
      // two bands (red and orange) cannot differ by much more than a third from both.
      std::map<Rgb, int> around;
      for (int y = m.y0 - 4; y <= m.y1 + 4; ++y)
        for (int x = m.x0 - 4; x <= m.x1 + 4; ++x)
          if ((x < m.x0 - 1 || x > m.x1 + 1 || y < m.y0 - 1 || y > m.y1 + 1) && x >= 0 && y >= 0 && x < page.width &&
              y < page.height)
            ++around[at(page, x, y)];
      Rgb under{};
      int most = 0;
      for (const auto& [col, n] : around)
        if (n > most) most = n, under = col;
      EXPECT_GE(std::fabs(luminance(m.colour) - luminance(under)), 0.3)
          << m.text << " at " << m.x0 << "," << m.y0 << "-" << m.x1 << "," << m.y1 << " in " << m.colour[0] << "," << m.colour[1] << "," << m.colour[2] << " on "
          << under[0] << "," << under[1] << "," << under[2];
    }
  }
}

STACONT_RUNS_TABLE(ColourRuns, "colour.runs");

}  // namespace
