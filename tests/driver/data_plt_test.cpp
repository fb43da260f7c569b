#include "driver/data_plt.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "driver/plt_labl.h"
#include "driver/plt_tool.h"
#include "files/files.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_tool.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "surface/raw_tool.h"
#include "surface/var_tool.h"
#include "tests/support/analysis_table.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"

namespace {

// ---- attributes and scale ----

class PlotInit : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear(), FLAG_reset(-9999), FLAG_resetplot(1), MESS_set(0, 0xFF), gset_inverse(0);
    CLR_read_table(nullptr);
    ASSERT_EQ(VAR_setup(nullptr, "temp"), 1);
  }
  void TearDown() override { RES_clear(), gset_inverse(0), CLR_read_table(nullptr); }
};

// Station symbols are white on a dark screen and black on a light one unless a colour is
// given; values are green, weather yellow (brown on a light screen).
TEST_F(PlotInit, AttributesFollowTheDisplayAndTheResources) {
  const auto colour = [](int type) { return DATA_get_attrib(type)->color; };
  DATA_plot_init();
  EXPECT_EQ(std::tuple(colour(PLOT_VALUE), colour(PLOT_WBARB), colour(PLOT_VBARB), colour(PLOT_CLOUD), colour(PLOT_SYMB)),
            std::tuple(CLR_get_ind("green"), CLR_get_ind("white"), CLR_get_ind("white"), CLR_get_ind("white"),
                       CLR_get_ind("yellow")));
  gset_inverse(1);
  RES_put("color_cloud", "red:wi=2");
  DATA_plot_init();
  EXPECT_EQ(std::tuple(colour(PLOT_WBARB), colour(PLOT_CLOUD), colour(PLOT_SYMB)),
            std::tuple(CLR_get_ind("black"), CLR_get_ind("red"), CLR_get_ind("brown")));
  EXPECT_EQ(DATA_get_attrib(PLOT_CLOUD)->width, 2.0F);
  // A colour table of the site's own without these names: the defaults are left unset,
  // quietly, and a colour given by name is still looked up.
  const std::string dir = make_temp_dir("data_plt");
  write_file(dir + "/own.clr", "red 1 0 0\n");
  CLR_read_table((dir + "/own.clr").c_str());
  CaptureStderr();
  DATA_plot_init();
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(std::tuple(colour(PLOT_VALUE), colour(PLOT_WBARB), colour(PLOT_CLOUD)), std::tuple(-9999, -9999, 0));
}

TEST_F(PlotInit, ScaleFromThePlotScaleResource) {
  for (const TableRow& c : read_table("driver/plot_scale", 3)) {
    RES_put("plot_scale", c[0].c_str());
    CaptureStderr();
    DATA_plot_init();
    EXPECT_EQ(DATA_get_scale(), table_float(c[1])) << c[0];
    EXPECT_EQ(GetCapturedStderr(),
              c[2] == "told" ? "DATA_plot_init: Invalid plot scale: " + c[0] + " (a number above 0, at most 100)\n" : "");
  }
}

TEST_F(PlotInit, FillAndMapModes) {
  const struct { const char* request; int plot_type; int map, fill; } cases[] = {
      {"temp", -9999, 0, 0}, {"temp", PLOT_FCONT, 0, 1}, {"temp", PLOT_BCONT, 0, 1}, {"temp", PLOT_FILL, 0, 1},
      {"temp", PLOT_LCONT, 0, 0}, {"panel[2x1+0+0],temp", -9999, -1, 0}, {"map,panel[2x1+0+0],temp", -9999, 1, 0}};
  for (const auto& c : cases) {
    ASSERT_EQ(VAR_setup(nullptr, c.request), 1) << c.request;
    FLAG_set(FLAG_PLOT_TYPE, c.plot_type);
    DATA_plot_init();
    EXPECT_EQ(std::tuple(DATA_get_map_mode(), DATA_get_fill()), std::tuple(c.map, c.fill))
        << c.request << " " << c.plot_type;
  }
}

// ---- frames, panels and station runs on a metafile ----

// Stations every fifth grid point of the domain, with a report to skip in between.
struct Source {
  DomainRec domain{};
  int next = 0, reads = 0, gets = 0;
} src;
constexpr int kPerRow = 5, kRows = 4;
int fake_read(void*, StationRec* st) {
  ++src.reads;
  const int k = src.next++;
  if (k >= 2 * kPerRow * kRows) return -1;
  if (k % 2 == 1) return 0;
  // Inside the map: a model the frame would cut is left out.
  MAP_grid_tran(&st->x, &st->y, static_cast<float>(k / 2 % kPerRow * 5 + 2), static_cast<float>(k / 2 / kPerRow * 4 + 2));
  std::snprintf(st->id, sizeof st->id, "S%02d", (k / 2) % 100);
  return 1;
}
void fake_rewind(DataDesc*) { src.next = 0; }
int fake_get(void*, VarRec*, RawDataRec* v) { return ++src.gets, v->val1 = 50.0F, 1; }
int no_raw() { return 0; }
// Station values asked for in a file that cannot be made (a directory below a device).
int want_raw() {
  FILE_set_name("@/dev/null/none/%Y%m%d%h.raw");
  return 1;
}

class Frames : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear(), FLAG_reset(-9999), FLAG_resetplot(1), MESS_set(0, 0xFF), PLT_init_labels(), PLT_set_label_type(0);
    FLAG_setplot(DRAW_MAP, 0);  // these frames are about the data and panels: no map under them
    dir_ = make_temp_dir("data_plt_frames");
    path_ = dir_ + "/frame.meta";
    FLAG_set(FLAG_DEVICE, WS_META);
    RES_put("device", ("m," + path_).c_str());
    ASSERT_EQ(DOM_get_def_region("us", &src.domain), 1);
    src = Source{src.domain};
    desc_ = DataDesc{};
    desc_.model = -9999, desc_.date = {2026, 3, 14, 73, 6, 12, -9999, -9999}, desc_.plot_domain = src.domain;
    desc_.read_report = fake_read, desc_.rewind = fake_rewind, desc_.get_data = fake_get, desc_.raw_out = no_raw;
    ASSERT_EQ(PLT_open(DOM_aspect(&src.domain)), 0);
    MAP_setup(&src.domain);
    // The plot's window is the domain's plane.
    float limits[4];
    MAP_get_limits(limits);
    GPH_win(2, limits);
    GPH_trans(2);
  }
  void TearDown() override {
    if (gchk_graphics()) PLT_close();
    DATA_reset_plot_state(), RES_clear();
  }
  // The records of the metafile whose keyword is key, after closing it.
  std::vector<std::string> records(const std::string& key) {
    if (gchk_graphics()) PLT_close();
    std::vector<std::string> out;
    std::istringstream in(read_file(path_));
    for (std::string line; std::getline(in, line);)
      if (line.rfind(key + " ", 0) == 0) out.push_back(line);
    return out;
  }
  std::string dir_, path_;
  DataDesc desc_{};
};

// A run of station variables reads the file once: every station gets each variable of
// the run, a marker when sites are asked for and a circle of the given radius.
TEST_F(Frames, StationRunsVisitEveryStationOnce) {
  ASSERT_EQ(VAR_setup(nullptr, "stn{temp[:data],dewp[:data]},temp"), 1);
  DATA_plot_init();
  DATA_set_site(1);
  DATA_set_dist(50);
  DATA_plot_start();
  EXPECT_EQ(DATA_plot_raw(1, &desc_), 2);  // 0 is the group
  EXPECT_EQ(std::tuple(src.reads, src.gets), std::tuple(2 * kPerRow * kRows + 1, 2 * kPerRow * kRows));
  const std::vector<std::string> markers = records("PM"), lines = records("PL");
  EXPECT_EQ(markers.size(), static_cast<std::size_t>(kPerRow * kRows));
  int circles = 0;
  for (const std::string& l : lines) circles += l.rfind("PL 49 ", 0) == 0 ? 1 : 0;
  EXPECT_EQ(circles, kPerRow * kRows);
}

// Circles need a radius of 10 nautical miles; a station-value file that cannot be opened
// suppresses the run's plot.
TEST_F(Frames, SmallRadiiAndUnopenedRawFilesDrawNothing) {
  ASSERT_EQ(VAR_setup(nullptr, "temp[:data]"), 1);
  DATA_plot_init();
  DATA_set_dist(9);
  DATA_plot_start();
  EXPECT_EQ(DATA_plot_raw(0, &desc_), 0);
  EXPECT_EQ(src.gets, kPerRow * kRows);
  // A labelled variable describes itself and its time on its own overlay.
  EXPECT_EQ(PLT_get_overlay(), 1);
  EXPECT_STREQ(PLT_get_label(0, 0), VAR_make_var_datatype(0).c_str());
  EXPECT_STREQ(PLT_get_label(2, 0), "Analysis for 12Z 14 MAR 26");
  desc_.raw_out = want_raw;
  src.gets = 0;
  CaptureStderr();
  EXPECT_EQ(DATA_plot_raw(0, &desc_), 0);
  GetCapturedStderr();
  EXPECT_EQ(src.gets, 0);
  EXPECT_EQ(PLT_get_overlay(), 1);  // and labels nothing
  for (const std::string& l : records("PL")) EXPECT_NE(l.rfind("PL 49 ", 0), 0u) << l;
}

// Panels: each panel variable opens its part of the page; the one before gets its map
// overlay and labels when the next one opens.
TEST_F(Frames, PanelsOpenTheirPartOfThePage) {
  ASSERT_EQ(VAR_setup(nullptr, "panel[2x1+0+0],temp,panel[2x1+1+0],dewp"), 1);
  DATA_plot_init();
  DATA_plot_start();
  MESS_set(0, 0xFFF);
  CaptureStdout();
  EXPECT_EQ(DATA_plot_control(1, &src.domain), 0);  // not a panel
  EXPECT_EQ(DATA_plot_control(0, &src.domain), 1);
  float v[4];
  GPH_get_view_size(v);
  EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{0.0F, 0.5F, 0.0F, GPH_get_vert_win_size()}));
  PLT_label_up_left("first");
  EXPECT_EQ(DATA_plot_control(2, &src.domain), 2);
  EXPECT_EQ(GetCapturedStdout(), "New panel: 2x1+0+0\nNew panel: 2x1+1+0\n");
  GPH_get_view_size(v);
  EXPECT_EQ(v[0], 0.5F);
  EXPECT_EQ(DATA_get_panel(), 2);
  EXPECT_EQ(PLT_get_overlay(), 0);  // the new panel starts its labels again
  PLT_label_up_left("second");
  DATA_plot_end();
  const std::vector<std::string> texts = records("TE");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find(" first"), std::string::npos);
  EXPECT_NE(texts[1].find(" second"), std::string::npos);
  // The labels stand over their own panels.
  EXPECT_LT(std::stof(texts[0].substr(3)), 0.5F);
  EXPECT_GT(std::stof(texts[1].substr(3)), 0.5F);
}

// Contour and vector variables label themselves; without a colour bar or a vector key
// drawn, the lower labels keep their places.
TEST_F(Frames, GridVariablesLabelAndKeepTheLowerLabels) {
  ASSERT_EQ(VAR_setup(nullptr, "temp,uwnd[:vect],vwnd[:vect]"), 1);
  DATA_plot_init();
  DATA_plot_start();
  EXPECT_EQ(DATA_plot_grid(0, &desc_), 0);
  EXPECT_EQ(DATA_plot_grid(1, &desc_), 2);
  EXPECT_EQ(PLT_get_overlay(), 2);
  EXPECT_EQ(DATA_plot_bar(), -1);
  EXPECT_EQ(DATA_plot_vect_bar(), -1);
  EXPECT_EQ(std::tuple(PLT_get_bar(), PLT_get_vect_key()), std::tuple(0, 0));
  DateRec d;
  PLT_get_label_date(&d);
  EXPECT_EQ(std::tuple(d.year, d.month, d.day, d.hour), std::tuple(2026, 3, 14, 12));
}

}  // namespace
