// End-to-end runs of the program that draw: pages rendered by Ghostscript and checked by
// their pixels, label texts read from the PostScript and metafile output, panels, the
// pages of an hour sequence, and parameters and labels that cannot be used.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "config/system.h"
#include "tests/support/e2e.h"

namespace {


// A label as the PostScript writer notes it: its text and page position (NDC).
struct Label {
  float x = 0.0F, y = 0.0F;
  std::string text;
};

// The labels of each page of a PostScript file, from the writer's text comments.
std::vector<std::vector<Label>> ps_labels(const std::string& ps) {
  std::vector<std::vector<Label>> pages(1);
  std::istringstream in(ps);
  for (std::string line; std::getline(in, line);) {
    if (line == "showpage") pages.emplace_back();
    Label l;
    char text[256] = "";
    if (std::sscanf(line.c_str(), "%%%%TE:%f %f %255[^\n]", &l.x, &l.y, text) == 3) {
      l.text = text;
      pages.back().push_back(l);
    }
  }
  pages.pop_back();  // after the last page
  return pages;
}

const Label* find(const std::vector<Label>& labels, const std::string& text) {
  for (const Label& l : labels)
    if (l.text == text) return &l;
  return nullptr;
}

// The plot lies on its side on the letter page: a quarter inch from the edges, 756 points
// for one NDC unit. Page position (NDC) to pixel column and row at 72 dpi.
int col(float y) { return static_cast<int>(594.0F - 756.0F * y + 0.5F); }
int row(float x) { return static_cast<int>(774.0F - 756.0F * x + 0.5F); }
// The page's height in NDC (576 of 756 points).
constexpr float kPageTop = 576.0F / 756.0F;

// Dark pixels in the page rectangle x0..x1 by y0..y1 (NDC).
int dark_in(const Picture& p, float x0, float x1, float y0, float y1) {
  return p.count_dark(col(y1), row(x1), col(y0), row(x0));
}

// Dark pixels of a label: the text stands on its baseline, left-aligned from x, centred on
// it or right-aligned to it (align -1, 0, 1), at most `width` wide, 0.02 high and with
// descenders below the baseline.
int dark_at(const Picture& p, const Label& l, int align, float width) {
  const float x0 = align < 0 ? l.x : align == 0 ? l.x - width / 2 : l.x - width;
  return dark_in(p, x0, x0 + width, l.y - 0.007F, l.y + 0.02F);
}

class PlotE2E : public ProgramTest {
 protected:
  // A batch plot of the sample's temperature over the United States at 12 UTC, without the
  // map background: these pages are about what the plot manager places round the data.
  RunResult run(const std::string& device, std::vector<std::string> extra = {}, int hours = 0) {
    std::vector<std::string> args = sample_args("temp", {"-of", "none", "-de", device, "-dr=-map,-data"});
    if (hours > 0) args.insert(args.end(), {"-nh", std::to_string(hours)});
    args.insert(args.end(), extra.begin(), extra.end());
    return run_stacont(args, "", env_, dir_, 120);
  }
};

// The labels of tests/data/driver/six_labels.tsv.
const char* const kSixLabels = "ul:Surface_%D,uc:%y%m%d_%h%%,ur:%b_%d,ll:Valid_%W,lc:Valid_%V,lr:#_%q%";

// The label escapes give their texts at the six places round the map.
TEST_F(PlotE2E, LabelEscapesAtTheSixPlaces) {
  const std::string meta = dir_ + "/labels.meta", ps = dir_ + "/labels.ps";
  RunResult r = run("m," + meta, {"-la", kSixLabels});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // The metafile keeps each text as it was drawn.
  const std::vector<std::vector<std::string>> want = data_table("six_labels.tsv");
  std::vector<std::string> texts, want_texts;
  std::istringstream in(read_file(meta));
  for (std::string line; std::getline(in, line);)
    if (line.rfind("TE ", 0) == 0) texts.push_back(line.substr(line.find(' ', 3) + 1));
  for (const auto& w : want) want_texts.push_back(w.at(4));
  EXPECT_EQ(texts, want_texts);

  r = run("p," + ps, {"-la", kSixLabels});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::vector<Label>> labels = ps_labels(read_file(ps));
  ASSERT_EQ(labels.size(), 1u);
  const std::vector<Picture> pages = render_ps_pages(ps);
  ASSERT_EQ(pages.size(), 1u);
  const Picture& page = pages[0];
  for (const auto& w : want) {
    SCOPED_TRACE(w[4]);
    const Label* l = find(labels[0], w[4]);
    ASSERT_NE(l, nullptr);
    EXPECT_NEAR(l->x, std::stof(w[1]), 1e-4F);
    EXPECT_TRUE(w[2] == "1" ? l->y > 0.6F && l->y < kPageTop - 0.015F : l->y > 0.005F && l->y < 0.1F) << l->y;
    EXPECT_GT(dark_at(page, *l, std::stoi(w[0]), std::stof(w[3])), 20);
  }
  // Between the labels of a line the page is blank, and so is the map without data.
  const Label* ul = find(labels[0], "Surface 12Z 14 MAR 26");
  ASSERT_NE(ul, nullptr);
  EXPECT_EQ(dark_in(page, 0.3F, 0.38F, ul->y - 0.003F, ul->y + 0.02F), 0);
  EXPECT_EQ(dark_in(page, 0.62F, 0.85F, ul->y - 0.003F, ul->y + 0.02F), 0);
  EXPECT_EQ(dark_in(page, 0.05F, 0.95F, 0.15F, 0.6F), 0);
}

// The view size puts the plot, its border and its labels into one part of the page.
TEST_F(PlotE2E, ViewSizesAndPanelsLandOnTheirPartOfThePage) {
  const struct { const char* param; float x0, x1, y0, y1; } cases[] = {
      {"vp_size=2x2+1+0", 0.5F, 1.0F, 0.5F * kPageTop, kPageTop},  // upper right
      {"vp_size=3x2+0+1", 0.0F, 1.0F / 3, 0.0F, 0.5F * kPageTop},  // lower left of 3 x 2
      {"vp_size=0.5x0.5+0.25+0.25", 0.25F, 0.75F, 0.25F * kPageTop, 0.75F * kPageTop},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.param);
    const std::string ps = dir_ + "/view.ps";
    const RunResult r = run("p," + ps, {"-pp", c.param});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Picture> pages = render_ps_pages(ps);
    ASSERT_EQ(pages.size(), 1u);
    const Picture& p = pages[0];
    const int all = p.count_dark(0, 0, p.width - 1, p.height - 1);
    const int inside = dark_in(p, c.x0, c.x1, c.y0, c.y1);
    EXPECT_GT(inside, 300);  // the border and two labels
    EXPECT_EQ(inside, all);
    // The border spans the part's width less nothing: the plot is as wide as its part.
    const std::vector<int> box = p.dark_box(0, 0, p.width - 1, p.height - 1);
    EXPECT_NEAR(box[3], row(c.x0), 2);
    EXPECT_NEAR(box[1], row(c.x1), 2);
  }
}

// Panel variables draw each variable in its own panel of the layout.
TEST_F(PlotE2E, PanelVariablesShareThePage) {
  const std::string ps = dir_ + "/panels.ps";
  const RunResult r = run_stacont(
      sample_args("panel[3x2+0+1],temp,panel[3x2+2+0],dewp", {"-of", "none", "-de", "p," + ps, "-dr=-map,-data"}), "",
      env_, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::vector<Label>> labels = ps_labels(read_file(ps));
  ASSERT_EQ(labels.size(), 1u);
  const Label* t = find(labels[0], "Temperature (F)");
  const Label* d = find(labels[0], "Dew point (F)");
  ASSERT_TRUE(t != nullptr && d != nullptr);
  EXPECT_LT(t->x, 1.0F / 3);
  EXPECT_LT(t->y, 0.5F * kPageTop);
  EXPECT_GT(d->x, 2.0F / 3);
  EXPECT_GT(d->y, 0.5F * kPageTop);
  const Picture p = render_ps_pages(ps).at(0);
  const int all = p.count_dark(0, 0, p.width - 1, p.height - 1);
  EXPECT_EQ(dark_in(p, 0.0F, 1.0F / 3, 0.0F, 0.5F * kPageTop) + dark_in(p, 2.0F / 3, 1.0F, 0.5F * kPageTop, kPageTop),
            all);
  EXPECT_GT(dark_in(p, 0.0F, 1.0F / 3, 0.0F, 0.5F * kPageTop), 300);
  EXPECT_GT(dark_in(p, 2.0F / 3, 1.0F, 0.5F * kPageTop, kPageTop), 300);
}

// Six hours of a batch run make six pages, each dated by its own file.
TEST_F(PlotE2E, HourSequenceWritesAPagePerHour) {
  const std::string ps = dir_ + "/hours.ps";
  const RunResult r = run("p," + ps, {}, 5);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::vector<Label>> labels = ps_labels(read_file(ps));
  const std::vector<Picture> pages = render_ps_pages(ps);
  ASSERT_EQ(labels.size(), 6u);
  ASSERT_EQ(pages.size(), 6u);
  for (int h = 0; h < 6; ++h) {
    SCOPED_TRACE(h);
    const std::string date = std::to_string(12 + h) + "Z 14 MAR 26";
    const Label* ur = find(labels[h], date);
    ASSERT_NE(ur, nullptr);
    EXPECT_NEAR(ur->x, 0.99F, 1e-4F);
    EXPECT_EQ(labels[h].size(), 2u);  // the variable and the date
    EXPECT_NE(find(labels[h], "Temperature (F)"), nullptr);
    // The date is drawn where it says, and nowhere else on the page is another date.
    EXPECT_GT(dark_at(pages[h], *ur, 1, 0.15F), 30);
  }
  // The pages differ where the hours differ.
  for (int h = 1; h < 6; ++h) {
    const Label* a = find(labels[h - 1], std::to_string(11 + h) + "Z 14 MAR 26");
    ASSERT_NE(a, nullptr);
    bool differ = false;
    for (int y = row(0.99F); y <= row(0.8F) && !differ; ++y)
      for (int x = col(a->y + 0.02F); x <= col(a->y - 0.003F) && !differ; ++x)
        differ = pages[h].dark(x, y) != pages[h - 1].dark(x, y);
    EXPECT_TRUE(differ) << h;
  }
}

// Components switched off are not drawn; a text colour of none hides the labels.
TEST_F(PlotE2E, DrawComponentsAndTextColour) {
  const std::string ps = dir_ + "/parts.ps";
  RunResult r = run("p," + ps, {"-dr=-map,-data,-text_ur,-bord"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::vector<Label>> labels = ps_labels(read_file(ps));
  ASSERT_EQ(labels.size(), 1u);
  ASSERT_EQ(labels[0].size(), 1u);
  EXPECT_EQ(labels[0][0].text, "Temperature (F)");
  Picture p = render_ps_pages(ps).at(0);
  EXPECT_EQ(p.count_dark(0, 0, p.width - 1, p.height - 1), dark_at(p, labels[0][0], -1, 0.3F));
  r = run("p," + ps, {"-cot", "none"});
  ASSERT_EQ(r.status, 0) << r.err;
  p = render_ps_pages(ps).at(0);
  EXPECT_EQ(p.count_dark(0, 0, p.width - 1, p.height - 1), 0);
}

// What cannot be used is said once and the plot is made without it.
TEST_F(PlotE2E, BadParametersAndLabelsAreNamedAndThePlotIsMade) {
  const std::string ps = dir_ + "/bad.ps";
  const std::string long_label = "ul:" + std::string(80, 'x');
  const RunResult r = run("p," + ps,
                          {"-pp", "vp_size=2x2+5+5,shadow=100000000,gridx99999,over=-3", "-la",
                           long_label + ",xy:z,ur:%%_%Q%", "-nh", "1"});
  EXPECT_EQ(r.status, 0) << r.err;
  // The messages, each with what can be used instead.
  EXPECT_EQ(r.err, data_file("bad_plot_parameters.txt"));
  const std::vector<std::vector<Label>> labels = ps_labels(read_file(ps));
  ASSERT_EQ(labels.size(), 2u);
  for (const auto& page : labels) {
    EXPECT_NE(find(page, "Temperature (F)"), nullptr);
    EXPECT_NE(find(page, "% "), nullptr);
  }
  EXPECT_EQ(render_ps_pages(ps).size(), 2u);
}

// Image dumps name their files through the convention; PostScript has no picture to
// capture, so the run warns and still makes its plot.
TEST_F(PlotE2E, ImageDumpsOfPostScriptFail) {
  const std::string ps = dir_ + "/dump.ps";
  const RunResult r = run("p," + ps, {"-pp", "gif:loop_%i", "-ip", dir_ + "/img"}, 1);
  // The pages are still written, but a script must learn that the images were not.
  EXPECT_EQ(r.status, ZAV_STATUS_OUTPUT);
  // PostScript has no frames: the frame key is "win".
  EXPECT_EQ(r.err, "PLT_dump: Unable to write GIF file: " + dir_ + "/img/loop_win\n" +
                       "PLT_dump: Unable to write GIF file: " + dir_ + "/img/loop_win\n");
  EXPECT_EQ(render_ps_pages(ps).size(), 2u);
}

}  // namespace
