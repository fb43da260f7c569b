#include "driver/plt_labl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "driver/plt_tool.h"
#include "graphics/gks_tool.h"
#include "tests/support/analysis_table.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"

namespace {

class Labels : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear(), FLAG_reset(-9999), FLAG_resetplot(1), MESS_set(0, 0xFF), PLT_set_label_type(0);
    PLT_reset_label_state();
    const DateRec d{2026, 3, 14, 73, 6, 12, -9999, -9999};
    PLT_label_date(&d);
    PLT_label_for_time(12);
  }
  void TearDown() override { RES_clear(), FLAG_resetplot(1), PLT_set_label_type(0); }
};

// ---- escapes ----

TEST_F(Labels, EscapesOfTheLabelDateAndForecastTime) {
  for (const TableRow& c : read_table("driver/label_escapes", 3)) {
    DateRec d{2026, 3, 14, 73, 6, 12, -9999, -9999};
    if (c[0] != "12z") d.hour = c[0] == "1230" ? 12 : -9999;
    if (c[0] == "1230") d.minute = 30;
    if (c[0] == "none") DATE_init(&d);
    PLT_label_date(&d);
    EXPECT_EQ(PLT_label_format(c[1].c_str()), c[2]) << c[0] << " " << c[1];
  }
  EXPECT_EQ(PLT_label_format(nullptr), "");
}

// ---- the table ----

// Labels of 69 characters are kept, longer ones dropped (not cut); six overlays.
TEST_F(Labels, TableKeepsSlotsAndLimits) {
  const std::string l69(69, 'a'), l70(70, 'b');
  PLT_label_up_left("Temperature"), PLT_label_low_right(l69.c_str()), PLT_label_up_right(l70.c_str());
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(PLT_next_overlay(), n < 6 ? n : -1);
  for (const auto& [pos, over, text] : {std::tuple{0, 0, "Temperature"}, {5, 0, l69.c_str()}, {2, 0, ""},
                                        {6, 0, ""}, {0, 1, ""}, {-1, 0, ""}, {0, 6, ""}})
    EXPECT_STREQ(PLT_get_label(pos, over), text) << pos << "," << over;
  EXPECT_EQ(PLT_get_num_overlay(), 5);
  EXPECT_EQ(PLT_get_label_ind(0), 11);
  PLT_set_overlay(-1);
  PLT_label_up_left("nowhere");  // a negative overlay stores nothing
  for (int n = 0; n < PLT_LABEL_OVERLAYS; ++n) EXPECT_STRNE(PLT_get_label(0, n), "nowhere");
  // Overlay numbers are clamped; a negative count sets the count.
  PLT_init_labels();
  PLT_set_overlay(9);
  EXPECT_EQ(std::tuple(PLT_get_overlay(), PLT_get_num_overlay()), std::tuple(5, 5));
  PLT_set_num_overlay(-2);
  EXPECT_EQ(PLT_get_num_overlay(), 2);
  PLT_set_overlay_base(7);
  EXPECT_EQ(std::tuple(PLT_get_overlay_base(), PLT_get_num_overlay()), std::tuple(5, 5));
  PLT_set_num_overlay(-1000);
  EXPECT_EQ(PLT_get_num_overlay(), 6);
}

// Two overlays with a negative label type make one upper-left label; the joined label
// stays within 60 characters.
TEST_F(Labels, NegativeLabelTypeJoinsOverlays) {
  PLT_set_label_type(-1);
  for (const char* label : {"Temperature (F)", "Dew point (F)"}) PLT_label_up_left(label), PLT_next_overlay();
  EXPECT_EQ(PLT_get_label_type(), -3);  // one step down per overlay
  PLT_label_up_left(std::string(40, 'x').c_str());
  EXPECT_STREQ(PLT_get_label(0, 0), "Temperature (F) Dew point (F)");
  EXPECT_STREQ(PLT_get_label(0, 1), "");
  PLT_label_up_left(std::string(30, 'y').c_str());  // 29 + 1 + 30 = 60: still fits
  EXPECT_EQ(std::string(PLT_get_label(0, 0)).size(), 60u);
  // Joined into an empty overlay-0 label the text stands alone.
  PLT_label_up_center("Valid"), PLT_label_low_center("");
  EXPECT_STREQ(PLT_get_label(1, 0), "Valid");
  PLT_reset(1.0F);  // no workstation: only the label type
  EXPECT_EQ(PLT_get_label_type(), -1);
  PLT_set_label_type(4);
  PLT_next_overlay();
  EXPECT_EQ(PLT_get_label_type(), 5);
}

TEST_F(Labels, ResourceSetsPositionsAndOverlaysAndSaysWhatItCannotUse) {
  RES_put("label", ("ul:Surface_%D,LR2:Valid_%V,uc,zz:x,ul7:x,ul:" + std::string(70, 'x') + ",ur:").c_str());
  PLT_label_up_right("12Z 14 MAR 26");
  CaptureStderr();
  EXPECT_EQ(PLT_apply_label_resource(), 3);
  EXPECT_EQ(GetCapturedStderr(),
            "PLT_labels: Label not used: uc: a label is written as position, overlay 0-5 and ':' (ul:text, ul1:text)\n"
            "PLT_labels: Label not used: zz:x: unknown label position (ul, uc, ur, ll, lc, lr)\n"
            "PLT_labels: Label not used: ul7:x: overlays are numbered 0-5\n"
            "PLT_labels: Label not used: ul:" + std::string(70, 'x') + ": longer than 69 characters\n");
  EXPECT_STREQ(PLT_get_label(0, 0), "Surface 12Z 14 MAR 26");
  EXPECT_STREQ(PLT_get_label(5, 2), "Valid 0Z SUN 15 MAR 26");
  EXPECT_STREQ(PLT_get_label(2, 0), "");  // "ur:" empties the date label
  EXPECT_EQ(PLT_get_num_overlay(), 3);    // overlay 2 is drawn
  // Every frame applies the resource again; its mistakes were told once.
  CaptureStderr();
  EXPECT_EQ(PLT_apply_label_resource(), 3);
  EXPECT_EQ(GetCapturedStderr(), "");
}

// ---- layout ----

TEST_F(Labels, LayoutOfTheLinesAroundTheView) {
  const float area[4] = {0.0F, 1.0F, 0.0F, 0.75F}, view[4] = {0.1F, 0.9F, 0.1F, 0.6F};
  // One line: 0.03 of the page high, 0.2 of a line off the view.
  PltLabelLayout l = PLT_label_layout(view, area);
  EXPECT_EQ(l.lines, 1);
  EXPECT_FLOAT_EQ(l.line, 0.0225F);
  EXPECT_FLOAT_EQ(l.chars, 0.016875F);
  EXPECT_FLOAT_EQ(l.upper_base[0], 0.6F + 0.2F * 0.0225F);
  EXPECT_FLOAT_EQ(l.lower_base[0], 0.1F - 0.95F * 0.0225F);
  // Three overlays in a band of 0.03: lines of 0.01, the first on top.
  PLT_set_num_overlay(3);
  const float tight[4] = {0.1F, 0.9F, 0.1F, 0.72F};
  l = PLT_label_layout(tight, area);
  EXPECT_EQ(l.lines, 3);
  EXPECT_NEAR(l.line, 0.01F, 1e-6F);
  EXPECT_NEAR(l.upper_base[0], 0.72F + 2.2F * 0.01F, 1e-6F);
  EXPECT_NEAR(l.upper_base[2], 0.72F + 0.2F * 0.01F, 1e-6F);
  EXPECT_NEAR(l.lower_base[1], 0.1F - 1.95F * 0.01F, 1e-6F);
  // A negative label type draws one line whatever the overlays.
  PLT_set_label_type(-2);
  EXPECT_EQ(PLT_label_layout(tight, area).lines, 1);
  PLT_set_label_type(0);
  // Below 0.005 of band no labels fit.
  const float full[4] = {0.1F, 0.9F, 0.1F, 0.746F};
  EXPECT_EQ(PLT_label_layout(full, area).line, 0.0F);
  // Labels inside the view: a band of 0.06 of the page, lines below the top edge.
  PLT_set_full_lab(1);
  PLT_set_num_overlay(-1);
  l = PLT_label_layout(full, area);
  EXPECT_FLOAT_EQ(l.line, 0.0225F);
  EXPECT_FLOAT_EQ(l.upper_base[0], 0.746F - 0.95F * 0.0225F);
  EXPECT_FLOAT_EQ(l.lower_base[0], 0.1F + 0.2F * 0.0225F);
}

// ---- drawing on a metafile ----

struct Text {
  float x, y;
  std::string text;
};

struct Page {
  std::vector<Text> texts;
  std::vector<float> heights;      // TE_HGHT records in order
  std::vector<std::string> lines;  // PL records
};

Page read_meta(const std::string& path) {
  Page page;
  std::istringstream in(read_file(path));
  for (std::string line; std::getline(in, line);) {
    Text t{};
    char text[256] = "";
    float h = 0.0F;
    if (std::sscanf(line.c_str(), "TE %f,%f %255[^\n]", &t.x, &t.y, text) == 3) {
      t.text = text;
      page.texts.push_back(t);
    } else if (std::sscanf(line.c_str(), "TE_HGHT %f", &h) == 1) {
      page.heights.push_back(h);
    } else if (line.rfind("PL ", 0) == 0) {
      page.lines.push_back(line);
    }
  }
  return page;
}

class Drawing : public Labels {
 protected:
  void SetUp() override {
    Labels::SetUp();
    dir_ = make_temp_dir("plt_labl");
    path_ = dir_ + "/labels.meta";
    FLAG_set(FLAG_DEVICE, WS_META);
    RES_put("device", ("m," + path_).c_str());
    RES_put("file_path", STACONT_DATA_DIR);
    MESS_set(0, 0xFF);
  }
  // Opens a metafile plot of aspect 1.5, runs what, closes it and reads it.
  template <class F>
  Page draw(F what) {
    EXPECT_EQ(PLT_open(1.5F), 0);
    PLT_get_view(view_);
    GPH_get_view_size(area_);
    what();
    PLT_labels();
    PLT_close();
    return read_meta(path_);
  }
  const Text* find(const Page& p, const std::string& text) const {
    for (const Text& t : p.texts)
      if (t.text == text) return &t;
    return nullptr;
  }
  std::string dir_, path_;
  float view_[4] = {}, area_[4] = {};
};

TEST_F(Drawing, SixPositionsAroundTheView) {
  const Page p = draw([] {
    PLT_label_up_left("UL"), PLT_label_up_center("UC"), PLT_label_up_right("UR");
    PLT_label_low_left("LL"), PLT_label_low_center("LC"), PLT_label_low_right("LR");
  });
  ASSERT_EQ(p.texts.size(), 6u);
  const PltLabelLayout l = PLT_label_layout(view_, area_);
  const float w = view_[1] - view_[0];
  const struct { const char* text; float x, y; } want[] = {
      {"UL", view_[0] + 0.01F * w, l.upper_base[0]}, {"UC", (view_[0] + view_[1]) / 2, l.upper_base[0]},
      {"UR", view_[1] - 0.01F * w, l.upper_base[0]}, {"LL", view_[0] + 0.01F * w, l.lower_base[0]},
      {"LC", (view_[0] + view_[1]) / 2, l.lower_base[0]}, {"LR", view_[1] - 0.01F * w, l.lower_base[0]}};
  for (const auto& c : want) {
    const Text* t = find(p, c.text);
    ASSERT_NE(t, nullptr) << c.text;
    EXPECT_NEAR(t->x, c.x, 1e-5F) << c.text;
    EXPECT_NEAR(t->y, c.y, 1e-5F) << c.text;
  }
  // The upper labels stand above the view, the lower ones below it, inside the page.
  EXPECT_GT(find(p, "UL")->y, view_[3]);
  EXPECT_LT(find(p, "UL")->y + l.chars, area_[3]);
  EXPECT_LT(find(p, "LL")->y + l.chars, view_[2]);
  EXPECT_GT(find(p, "LL")->y, area_[2]);
  ASSERT_FALSE(p.heights.empty());
  EXPECT_NEAR(p.heights.front(), l.chars, 1e-6F);
  // The border is the view's outline.
  ASSERT_EQ(p.lines.size(), 1u);
  EXPECT_EQ(p.lines[0].rfind("PL 5 ", 0), 0u) << p.lines[0];
}

TEST_F(Drawing, ComponentsColourBarKeyAndColourDecideWhatIsDrawn) {
  const auto all = [] {
    PLT_label_up_left("UL"), PLT_label_up_center("UC"), PLT_label_up_right("UR");
    PLT_label_low_left("LL"), PLT_label_low_center("LC"), PLT_label_low_right("LR");
  };
  const auto texts = [](const Page& p) {
    std::string s;
    for (const Text& t : p.texts) s += t.text + " ";
    return s;
  };
  FLAG_setplot(DRAW_TEXT_UR, 0);
  FLAG_setplot(DRAW_BORD, 0);
  Page p = draw(all);
  EXPECT_EQ(texts(p), "UL UC LL LC LR ");
  EXPECT_TRUE(p.lines.empty());
  FLAG_resetplot(1);
  // A colour bar takes the lower-left and lower-centre places, a vector key the lower right.
  p = draw([&] { all(), PLT_set_bar(1); });
  EXPECT_EQ(texts(p), "UL UC UR LR ");
  p = draw([&] { all(), PLT_set_vect_key(1); });
  EXPECT_EQ(texts(p), "UL UC UR LL LC ");
  // Text labels off, or a text colour of none: nothing.
  FLAG_setplot(DRAW_TEXT, 0);
  EXPECT_TRUE(draw(all).texts.empty());
  FLAG_resetplot(1);
  RES_put("color_text", "none");
  p = draw(all);
  EXPECT_TRUE(p.texts.empty());
  EXPECT_TRUE(p.lines.empty());
}

TEST_F(Drawing, OverlaysDrawOneLineEachFromTheBase) {
  Page p = draw([] {
    PLT_label_up_left("Temperature (F)"), PLT_next_overlay();
    PLT_label_up_left("Dew point (F)"), PLT_next_overlay();
  });
  ASSERT_EQ(p.texts.size(), 2u);
  EXPECT_EQ(p.texts[0].text, "Temperature (F)");
  EXPECT_GT(p.texts[0].y, p.texts[1].y);  // the first overlay on top
  // With the base at overlay 1 only the second line is drawn, where it stood.
  const float second = p.texts[1].y;
  RES_put("plot_param", "over=1:2");
  p = draw([] {
    PLT_label_up_left("Temperature (F)"), PLT_next_overlay();
    PLT_label_up_left("Dew point (F)"), PLT_next_overlay();
  });
  ASSERT_EQ(p.texts.size(), 1u);
  EXPECT_EQ(p.texts[0].text, "Dew point (F)");
  EXPECT_FLOAT_EQ(p.texts[0].y, second);
}

// Labels too wide to stand side by side are drawn smaller; short ones keep their size.
TEST_F(Drawing, LongLabelsAreFittedIntoTheView) {
  const std::string left(60, 'W'), right(60, 'M');
  const Page p = draw([&] {
    PLT_label_up_left(left.c_str()), PLT_label_up_right(right.c_str());
    PLT_label_low_left("short");
  });
  ASSERT_EQ(p.heights.size(), 3u);  // the label size, the fitted upper line, the lower line
  const float normal = p.heights[0];
  EXPECT_LT(p.heights[1], 0.5F * normal);
  EXPECT_FLOAT_EQ(p.heights[2], normal);
}

TEST_F(Drawing, NothingWithoutAWorkstationOrWhenPlottingIsOff) {
  FLAG_set(FLAG_PLOT_TYPE, PLOT_NONE);
  EXPECT_EQ(PLT_open(1.0F), -1);
  PLT_label_up_left("x");
  PLT_labels();  // no workstation: nothing to draw on, nothing breaks
  EXPECT_EQ(PLT_close(), -1);
  EXPECT_STREQ(PLT_get_label(0, 0), "");  // closing resets the labels
}

}  // namespace
