// Contour plotting: plot formats, fill colour lists and the colour of a value, and what a
// contour page shows (labels apart from each other, highs and lows, the colour bar's
// levels), read from the texts of the PostScript written.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "graphics/colors.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/maptran.h"
#include "tests/plot/cont_texts.h"
#include "tests/support/run.h"

namespace {

class ContPlot : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    FLAG_reset(MISSING_INT);
    FLAG_resetplot(1);
    MAP_domain(nullptr);
    CLR_read_table(STACONT_DATA_DIR "/zav.clr");
    CONT_init();
    GRD_init(&grid_);
  }
  void TearDown() override { GRD_free(&grid_); }
  void make(int nx, int ny, float (*f)(int, int)) {
    DOM_init(&grid_.domain);
    grid_.domain.nx = nx, grid_.domain.ny = ny;
    ASSERT_EQ(GRD_alloc(&grid_), 1);
    for (int r = 0; r < ny; ++r)
      for (int i = 0; i < nx; ++i) grid_.values[r * nx + i] = f(i, ny - 1 - r);
  }
  using Text = PsText;
  // Draws with the setup's state into a PostScript file and returns its texts.
  std::vector<Text> draw_ps(bool bar = false) {
    const std::string ps = make_temp_dir("cont_plot") + "/c.ps";
    last_ps_ = ps;
    MESS_set(0, 0);
    gopen_gks(nullptr, 0);
    EXPECT_EQ(gopen_ws(1, (ps + ",color").c_str(), WS_PS), 0);
    const float win[4] = {0.0F, static_cast<float>(grid_.domain.nx - 1), 0.0F, static_cast<float>(grid_.domain.ny - 1)};
    const float view[4] = {0.1F, 0.9F, 0.15F, 0.7F};
    GPH_win(2, win);
    GPH_view(2, view);
    GPH_trans(2);
    CONT_draw(&grid_);
    if (bar) {
      GPH_trans(1);
      CONT_set_bar_view(view, 0.0F, 0);
      EXPECT_EQ(CONT_draw_bar(1, ""), 0);
    }
    gclose_ws(1);
    return ps_texts(ps);
  }
  GridRec grid_{};
  std::string last_ps_;
};

// A number format of the plot format prints the values when it holds one floating-point
// conversion; anything else (memory written or read, a whole number) is named once and the
// values are drawn as without it (the program's runs of tests/data/driver/hostile_format.runs
// refuse "%n", "%*d" and a width that spins).
TEST_F(ContPlot, NumberFormatsAreCheckedBeforeUse) {
  make(3, 3, [](int i, int j) { return 1.25F * static_cast<float>(i + j); });  // 0 .. 5
  auto texts = [&](const std::string& format, std::string* err) {
    CONT_init();
    MESS_reset();
    testing::internal::CaptureStderr();
    CONT_format_decode_type(format.c_str());
    *err = testing::internal::GetCapturedStderr();
    std::vector<std::string> out;
    for (const Text& t : draw_ps()) out.push_back(t.s);
    return out;
  };
  std::string err;
  const std::vector<std::string> plain = texts("value", &err);
  ASSERT_EQ(plain.size(), 9U);
  auto bad = [](const std::string& item, const std::string& format) {
    return "CONT_format_decode_type: Bad number format \"" + item + "\" in \"" + format +
           "\": one floating-point conversion such as %.1f expected, default format used\n";
  };
  const struct {
    std::string format;
    std::string message;  // empty: the format is used
  } cases[] = {{"value:%n%n%n", bad("%n%n%n", "value:%n%n%n")},
               {"value:%n%n%n", ""},  // named once a run
               {"value:%s%s%s:sc=1", bad("%s%s%s", "value:%s%s%s:sc=1")},
               {"value:%d", bad("%d", "value:%d")},
               {"value:%.2f", ""},
               {"value:%+.1e%%", ""}};
  for (const auto& c : cases) {
    const std::vector<std::string> got = texts(c.format, &err);
    EXPECT_EQ(err, c.message) << c.format;
    if (c.format == "value:%.2f") {
      std::vector<std::string> sorted = got;
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(sorted,
                (std::vector<std::string>{"0.00", "1.25", "1.25", "2.50", "2.50", "2.50", "3.75", "3.75", "5.00"}));
    } else if (c.format == "value:%+.1e%%") {
      EXPECT_EQ(std::count(got.begin(), got.end(), "+1.2e+00%"), 2);  // 1.25 to even
    } else {
      EXPECT_EQ(got, plain) << c.format;
    }
  }
}

float peak(int i, int j) { return i == 3 && j == 3 ? 10.0F : 0.0F; }
float twin(int i, int j) { return (i == 3 || i == 4) && j == 3 ? 10.0F : 0.0F; }
float pit(int i, int j) { return i == 4 && j == 2 ? -7.0F : 1.0F; }
float bump(int i, int j) { return i == 3 && j == 3 ? 4.0F : 0.0F; }
float edge_peak(int i, int j) { return i == 1 && j == 3 ? 10.0F : 0.0F; }

// A high or low is a strict extreme that stands out from its surroundings by half an
// interval or more, with its neighbourhood wholly on the grid; its value is written with
// the decimals of the levels.
TEST_F(ContPlot, HighsAndLowsAreStrictExtremes) {
  auto marks = [&](float (*f)(int, int)) {
    CONT_init();
    make(8, 7, f);
    CONT_set_type(PLOT_LCONT);
    CONT_set_intrvl(10.0F);
    CONT_set_label_type(0, 2);  // no line labels, neighbourhood of two points
    CONT_set_cont_ext(&grid_);
    std::string s;
    for (const Text& t : draw_ps()) s += t.s + " ";
    GRD_free(&grid_);
    return s;
  };
  EXPECT_EQ(marks(peak), "H 10 ");
  EXPECT_EQ(marks(pit), "L -7 ");
  EXPECT_EQ(marks(twin), "");       // a point equal to its neighbour is neither
  EXPECT_EQ(marks(bump), "");       // 4 above its surroundings: less than half of 10
  EXPECT_EQ(marks(edge_peak), "");  // half its neighbourhood lies off the grid
}

float waves(int i, int j) { return 10.0F * (std::sin(static_cast<float>(i) / 4.0F) + std::cos(static_cast<float>(j) / 3.0F)); }

TEST_F(ContPlot, LineLabelsStandApartOnTheirLevels) {
  make(61, 41, waves);
  CONT_set_type(PLOT_BCONT);
  CONT_set_intrvl(2.0F);
  CONT_set_label_type(1, 0);
  CONT_set_label_space(3, 3);
  CONT_set_cont_ext(&grid_);
  const std::vector<Text> texts = draw_ps();
  ASSERT_GT(texts.size(), 20U);
  // Label height: 0.015 of the map's 40 units.
  const float h = 0.6F;
  for (std::size_t a = 0; a < texts.size(); ++a) {
    const float level = std::stof(texts[a].s);
    EXPECT_EQ(std::fmod(level, 2.0F), 0.0F) << texts[a].s;
    for (std::size_t b = a + 1; b < texts.size(); ++b) {
      const float w = 0.5F * h * static_cast<float>(texts[a].s.size() + texts[b].s.size()) * 0.5F;
      EXPECT_TRUE(std::fabs(texts[a].x - texts[b].x) >= w || std::fabs(texts[a].y - texts[b].y) >= h)
          << texts[a].s << " at " << texts[a].x << "," << texts[a].y << " and " << texts[b].s << " at " << texts[b].x
          << "," << texts[b].y;
    }
  }
}

TEST_F(ContPlot, ColourBarLabelsAreTheFillLevels) {
  make(5, 5, [](int i, int j) { return 3.0F + 6.0F * static_cast<float>(i + j); });  // 3 .. 51
  CONT_set_fill_colors(nullptr, 0);
  CONT_set_type(PLOT_FCONT);
  CONT_set_intrvl(5.0F);
  CONT_set_base(0.0F);
  CONT_set_label_type(0, 0);
  CONT_set_range(3.0F, 51.0F);
  CONT_set_cont_ext(&grid_);
  std::vector<float> got;
  float last_x = -1.0F;
  for (const Text& t : draw_ps(true)) {
    got.push_back(std::stof(t.s));
    EXPECT_GT(t.x, last_x) << t.s;  // left to right along the bar
    last_x = t.x;
  }
  EXPECT_EQ(got, (std::vector<float>{0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55}));
}

}  // namespace

namespace {

float slope(int i, int) { return 10.0F * static_cast<float>(i - 4); }  // -40 .. 40

// With negative levels dashed, every dashed line lies left of every solid one.
TEST_F(ContPlot, NegativeLevelsDashed) {
  make(9, 4, slope);
  CONT_format_decode_type("ndln:in=10:lab=0");
  CONT_set_cont_ext(&grid_);
  draw_ps();
  const std::string ps = read_file(last_ps_);
  std::istringstream in(ps);
  bool dashed = false, in_line = false;
  float max_dashed = -1e9F, min_solid = 1e9F;
  int n_dashed = 0, n_solid = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.find("setdash") != std::string::npos) dashed = line.rfind("[]", 0) != 0;
    if (line.rfind("%%PL:2", 0) == 0) in_line = true;
    if (in_line && line.size() > 3 && line.compare(line.size() - 3, 3, " mv") == 0) {
      const float x = std::stof(line);
      if (dashed) max_dashed = std::max(max_dashed, x), ++n_dashed;
      else min_solid = std::min(min_solid, x), ++n_solid;
      in_line = false;
    }
  }
  EXPECT_EQ(n_dashed, 9);  // -30, -20, -10 on three rows of cells
  EXPECT_EQ(n_solid, 15);  // 0 .. 40, the last along the right edge
  EXPECT_LT(max_dashed, min_solid);
}

}  // namespace
