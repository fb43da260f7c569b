#include "driver/data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/system.h"
#include "driver/data_plt.h"
#include "driver/plt_labl.h"
#include "driver/plt_tool.h"
#include "driver/sfc_plt.h"
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
#include "tests/support/driver_meta.h"
#include "tests/support/run.h"

namespace {

class Data : public ::testing::Test {
 protected:
  void SetUp() override { RES_clear(), FLAG_reset(-9999), MESS_set(0, 0xFF), DATA_reset_state(); }
  void TearDown() override { DATA_reset_state(), RES_clear(); }
};

// ---- station arrays ----

// The 801st station grows every array by 400; values stored before stay, a station
// skipped while growing has none, and reads stop at the stations and fields stored.
TEST_F(Data, ArraysGrowBy400AndReadsStayInside) {
  MESS_set(0, 0xFFF);
  DATA_init(0, 2);
  VarRec rec{};
  VAR_data_init(&rec);
  DATA_add_field(0, &rec);
  DATA_add_field(2, &rec);
  RawDataRec r;
  RAW_data_init(&r);
  for (const auto& [first, last, message, limit] :
       {std::tuple{0, 799, "", 800}, {800, 800, "Increasing arrays to 1200\n", 1200}, {1199, 1199, "", 1200},
        {1200, 1200, "Increasing arrays to 1600\n", 1600}}) {
    testing::internal::CaptureStdout();
    for (int s = first; s <= last; ++s) {
      r.val1 = static_cast<float>(s);
      DATA_add_loc(s, static_cast<float>(s), 8.0F);
      DATA_add_raw(s, 0, &r);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), message) << first;
    EXPECT_EQ(DATA_get_limit(), limit);
  }
  EXPECT_EQ(DATA_get_num_stats(), 1201);
  EXPECT_EQ(DATA_chk_field(1) + DATA_chk_field(60), 0);
  const struct { int station, field, result; float x, val1; } cases[] = {
      {799, 0, 1, 799.0F, 799.0F}, {1200, 0, 1, 1200.0F, 1200.0F}, {1000, 0, 1, 0.0F, -9999.0F},
      {5, 1, 1, 5.0F, -9999.0F},   {1201, 0, 0, 0, 0},               {-1, 0, 0, 0, 0},  {0, 3, 0, 0, 0}};
  for (const auto& c : cases) {
    RawDataRec out{};
    ASSERT_EQ(DATA_get_raw(c.station, c.field, &out), c.result) << c.station << "," << c.field;
    if (c.result) { EXPECT_EQ(std::tuple(out.x, out.val1), std::tuple(c.x, c.val1)) << c.station; }
  }
  DATA_inc_num_stats(1000);  // beyond the capacity
  EXPECT_EQ(DATA_get_num_stats(), 1201);
}

// ---- gridding through a fake data source ----

// Stations on every third grid point of the domain, with a report to skip in between;
// every station reports 50.0.
struct FakeSource {
  DomainRec domain{};
  int next = 0, reads = 0, gets = 0, grid_format = 0;
  std::string grid_conv;
} src;
int per_row() { return (src.domain.nx + 2) / 3; }
int station_count() { return per_row() * ((src.domain.ny + 2) / 3); }

int fake_read(void*, StationRec* st) {
  ++src.reads;
  const int k = src.next++;
  if (k >= 2 * station_count()) return -1;
  if (k % 2 == 1) return 0;
  MAP_domain(&src.domain);
  MAP_grid_tran(&st->x, &st->y, static_cast<float>(k / 2 % per_row() * 3), static_cast<float>(k / 2 / per_row() * 3));
  return 1;
}
void fake_rewind(DataDesc*) { src.next = 0; }
int fake_get(void*, VarRec*, RawDataRec* v) { return ++src.gets, v->val1 = 50.0F, 1; }
int fake_grid_out() { return FILE_set_name(src.grid_conv.c_str()), src.grid_format; }

class Gridding : public Data {
 protected:
  void SetUp() override {
    Data::SetUp();
    dir = make_temp_dir("data");
    ASSERT_EQ(DOM_get_def_region("us", &src.domain), 1);
    src = FakeSource{src.domain, 0, 0, 0, 0, "@" + dir + "/%Y%m%d%h_%v.grd"};
    ASSERT_EQ(VAR_setup(nullptr, "temp"), 1);
    DATA_new_grid();
    desc = DataDesc{};
    desc.model = -9999, desc.date = {1998, 1, 5, 5, 1, 12, 0, 0}, desc.plot_domain = src.domain;
    desc.grid_out = fake_grid_out, desc.read_report = fake_read, desc.rewind = fake_rewind;
    desc.get_data = fake_get, desc.grid_data = SFC_grid_data;
  }
  std::string dir;
  DataDesc desc{};
};

TEST_F(Gridding, StationsAreReadAndAnalysed) {
  ASSERT_EQ(DATA_setup_grid(&desc), 1);
  EXPECT_EQ(DOM_comp(&desc.grid_domain, &src.domain), 1);
  EXPECT_EQ(DATA_get_data(&desc), station_count());
  // Skipped reports are read, not derived.
  EXPECT_EQ(std::tuple(DATA_get_num_stats(), src.gets, src.reads),
            std::tuple(station_count(), station_count(), 2 * station_count() + 1));
  EXPECT_EQ(DATA_object_analyze(), 0);
  const GridRec* g = GRD_get_grid(0);
  ASSERT_NE(g->values, nullptr);
  EXPECT_EQ(g->source, 1);
  // Every grid point lies within reach of a station of the constant field.
  for (int k = 0; k < g->domain.nx * g->domain.ny; ++k) ASSERT_NEAR(g->values[k], 50.0F, 1e-3F) << k;
  // Observed data name model 1 in the grid's date label.
  char label[DATE_LABEL_LEN];
  DATE_make_label_for_time(VAR_get_time(0), 1, &desc.date, label);
  EXPECT_STREQ(g->label, label);
}

// Grid files are named by their hour: without a date no grid file is written (every hour
// would get the same name) and the run's status says so.
TEST_F(Gridding, GridsWithoutADateAreNotWritten) {
  src.grid_format = 2;
  desc.date.year = -9999;
  testing::internal::CaptureStderr();
  SFC_grid_data(&desc);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "DATA_save_grid: No date to name the grid file of temp\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  EXPECT_EQ(ZAV_status(), ZAV_STATUS_OUTPUT);
}

TEST_F(Gridding, FitRunsTheGridCallbackOncePerFile) {
  EXPECT_EQ(DATA_fit_grid(&desc) + DATA_fit_grid(&desc), 2);
  const int reads = src.reads;  // of one fit only: the second reuses the grids
  DATA_new_grid();
  DATA_fit_grid(&desc);
  EXPECT_EQ(src.reads, 2 * reads);
}

// The stations of the first grid row have priority 1, all others 9: the domain's
// priority (3) leaves those out, and most of the grid gets no analysis.
int sparse_read(void*, StationRec* st) {
  ++src.reads;
  const int k = src.next++;
  if (k >= station_count()) return -1;
  MAP_domain(&src.domain);
  MAP_grid_tran(&st->x, &st->y, static_cast<float>(k % per_row() * 3), static_cast<float>(k / per_row() * 3));
  st->prior = k < per_row() ? 1 : 9;
  return st->prior <= DOM_get_prior() ? 1 : 0;
}

TEST_F(Gridding, SparseAnalysisSaysHowToKeepMoreStationsOnceADomain) {
  desc.read_report = sparse_read;
  DOM_set_prior(3);
  auto analyse = [&] {
    src.next = 0;
    DATA_setup_grid(&desc);
    const int kept = DATA_get_data(&desc);
    testing::internal::CaptureStderr();
    DATA_object_analyze();
    return std::to_string(kept) + "|" + testing::internal::GetCapturedStderr();
  };
  const std::string first = analyse();
  const GridRec* g = GRD_get_grid(0);
  const int n = g->domain.nx * g->domain.ny;
  int missing = 0;
  for (int k = 0; k < n; ++k) missing += g->values[k] == -9999.0F;
  ASSERT_GT(2 * missing, n);
  EXPECT_EQ(first, std::to_string(per_row()) + "|" + std::to_string((200 * missing + n) / (2 * n)) +
                       "% of the grid has no analysis: this domain uses only stations of priority 3 or better and "
                       "leaves out " + std::to_string(station_count() - per_row()) +
                       " that report it; -pr 9 keeps every station\n");
  EXPECT_EQ(analyse(), std::to_string(per_row()) + "|");  // the next file of the same domain
  DOM_set_prior(9);
  EXPECT_EQ(analyse(), std::to_string(station_count()) + "|");  // nothing left out
}

// The share is of the whole grid, more than half is needed, and nothing is said when no
// station with a value was left out.
TEST(SparseGrid, WarnsAboveHalfWhenStationsWereLeftOut) {
  DOM_set_prior(2);
  std::vector<float> values(8, 1.0F);
  GridRec g{};
  DOM_init(&g.domain);
  g.domain.proj = 2, g.domain.clat = 10, g.domain.clon = 20, g.domain.nx = 4, g.domain.ny = 2;
  g.domain.dx = g.domain.dy = 1.0F;
  g.values = values.data();
  for (const TableRow& e : read_table("driver/sparse_grid", 4)) {
    const int missing = table_int(e[0]), nx = table_int(e[2]);
    std::fill(values.begin(), values.end(), 1.0F);
    std::fill(values.begin(), values.begin() + missing, -9999.0F);
    g.domain.nx = nx, g.domain.ny = 8 / nx;
    CaptureStderr();
    DATA_check_sparse(&g, table_int(e[1]));
    EXPECT_EQ(GetCapturedStderr(), e[3]) << e[0] << " " << e[1];
  }
  DATA_check_sparse(nullptr, 1);
  DOM_set_prior(3);
}

// ---- which variables a grid or station plot consumes ----

TEST_F(Data, PlotsConsumeVectorPairsAndStationRuns) {
  DataDesc desc{};
  desc.model = -9999;
  for (const TableRow& c : read_table("driver/plot_consumes", 4)) {
    SCOPED_TRACE(::testing::Message() << c[0] << " from " << c[1]);
    ASSERT_EQ(VAR_setup(nullptr, c[0].c_str()), 1);
    DATA_plot_init();
    DATA_plot_start();
    const int first = table_int(c[1]);
    EXPECT_EQ(c[2] == "station" ? DATA_plot_raw(first, &desc) : DATA_plot_grid(first, &desc), table_int(c[3]));
  }
}

// ---- plotting: attributes, scale, frames, panels and station runs ----

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
struct PlotSource {
  DomainRec domain{};
  int next = 0, reads = 0, gets = 0;
} plot_src;
constexpr int kPerRow = 5, kRows = 4;
int plot_read(void*, StationRec* st) {
  ++plot_src.reads;
  const int k = plot_src.next++;
  if (k >= 2 * kPerRow * kRows) return -1;
  if (k % 2 == 1) return 0;
  // Inside the map: a model the frame would cut is left out.
  MAP_grid_tran(&st->x, &st->y, static_cast<float>(k / 2 % kPerRow * 5 + 2), static_cast<float>(k / 2 / kPerRow * 4 + 2));
  std::snprintf(st->id, sizeof st->id, "S%02d", (k / 2) % 100);
  return 1;
}
void plot_rewind(DataDesc*) { plot_src.next = 0; }
int plot_get(void*, VarRec*, RawDataRec* v) { return ++plot_src.gets, v->val1 = 50.0F, 1; }
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
    GRD_reset_state();  // no grid of an earlier test to contour
    FLAG_setplot(DRAW_MAP, 0);  // these frames are about the data and panels: no map under them
    dir_ = make_temp_dir("data_plt_frames");
    path_ = dir_ + "/frame.meta";
    FLAG_set(FLAG_DEVICE, WS_META);
    RES_put("device", ("m," + path_).c_str());
    ASSERT_EQ(DOM_get_def_region("us", &plot_src.domain), 1);
    plot_src = PlotSource{plot_src.domain};
    desc_ = DataDesc{};
    desc_.model = -9999, desc_.date = {2026, 3, 14, 73, 6, 12, -9999, -9999}, desc_.plot_domain = plot_src.domain;
    desc_.read_report = plot_read, desc_.rewind = plot_rewind, desc_.get_data = plot_get, desc_.raw_out = no_raw;
    ASSERT_EQ(PLT_open(DOM_aspect(&plot_src.domain)), 0);
    MAP_setup(&plot_src.domain);
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
    return read_metafile(path_).with(key);
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
  EXPECT_EQ(std::tuple(plot_src.reads, plot_src.gets), std::tuple(2 * kPerRow * kRows + 1, 2 * kPerRow * kRows));
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
  EXPECT_EQ(plot_src.gets, kPerRow * kRows);
  // A labelled variable describes itself and its time on its own overlay.
  EXPECT_EQ(PLT_get_overlay(), 1);
  EXPECT_STREQ(PLT_get_label(0, 0), VAR_make_var_datatype(0).c_str());
  EXPECT_STREQ(PLT_get_label(2, 0), "Analysis for 12Z 14 MAR 26");
  desc_.raw_out = want_raw;
  plot_src.gets = 0;
  CaptureStderr();
  EXPECT_EQ(DATA_plot_raw(0, &desc_), 0);
  GetCapturedStderr();
  EXPECT_EQ(plot_src.gets, 0);
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
  EXPECT_EQ(DATA_plot_control(1, &plot_src.domain), 0);  // not a panel
  EXPECT_EQ(DATA_plot_control(0, &plot_src.domain), 1);
  float v[4];
  GPH_get_view_size(v);
  EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{0.0F, 0.5F, 0.0F, GPH_get_vert_win_size()}));
  PLT_label_up_left("first");
  EXPECT_EQ(DATA_plot_control(2, &plot_src.domain), 2);
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
