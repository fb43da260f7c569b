// End-to-end runs of the program that draw: the label escapes at their six places, read
// from the metafile and the PostScript and found on the rendered page; the table of plot
// runs besides.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plot/cont_texts.h"
#include "tests/support/driver_meta.h"
#include "tests/support/driver_runs.h"
#include "tests/support/e2e.h"

namespace {

const PsText* find(const std::vector<PsText>& labels, const std::string& text) {
  for (const PsText& l : labels)
    if (l.s == text) return &l;
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
int dark_at(const Picture& p, const PsText& l, int align, float width) {
  const float x0 = align < 0 ? l.x : align == 0 ? l.x - width / 2 : l.x - width;
  return dark_in(p, x0, x0 + width, l.y - 0.007F, l.y + 0.02F);
}

class PlotE2E : public ProgramTest {
 protected:
  // A batch plot of the sample's temperature over the United States at 12 UTC, without the
  // map background: these pages are about what the plot manager places round the data.
  RunResult run(const std::string& device, const std::vector<std::string>& extra) {
    std::vector<std::string> args = sample_args("temp", {"-of", "none", "-de", device, "-dr=-map,-data"});
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
  const auto want = read_tsv("six_labels.tsv");
  std::vector<std::string> texts, want_texts;
  for (const MetaText& t : read_metafile(meta).texts) texts.push_back(t.text);
  for (const auto& w : want) want_texts.push_back(w.at("text"));
  EXPECT_EQ(texts, want_texts);

  r = run("p," + ps, {"-la", kSixLabels});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<PsText> labels = ps_texts(ps);
  const std::vector<Picture> pages = render_ps_pages(ps);
  ASSERT_EQ(pages.size(), 1u);
  const Picture& page = pages[0];
  for (const auto& w : want) {
    SCOPED_TRACE(w.at("text"));
    const PsText* l = find(labels, w.at("text"));
    ASSERT_NE(l, nullptr);
    EXPECT_NEAR(l->x, std::stof(w.at("x")), 1e-4F);
    EXPECT_TRUE(w.at("upper") == "1" ? l->y > 0.6F && l->y < kPageTop - 0.015F : l->y > 0.005F && l->y < 0.1F) << l->y;
    EXPECT_GT(dark_at(page, *l, std::stoi(w.at("align")), std::stof(w.at("width"))), 20);
  }
  // Between the labels of a line the page is blank, and so is the map without data.
  const PsText* ul = find(labels, "Surface 12Z 14 MAR 26");
  ASSERT_NE(ul, nullptr);
  EXPECT_EQ(dark_in(page, 0.3F, 0.38F, ul->y - 0.003F, ul->y + 0.02F), 0);
  EXPECT_EQ(dark_in(page, 0.62F, 0.85F, ul->y - 0.003F, ul->y + 0.02F), 0);
  EXPECT_EQ(dark_in(page, 0.05F, 0.95F, 0.15F, 0.6F), 0);
}

// View sizes, panels, hour sequences, components switched off and what cannot be used:
// the table tests/data/driver/plot.runs.
STACONT_RUNS_TABLE(PlotRuns, "plot.runs");

}  // namespace
