#include "driver/data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/system.h"
#include "driver/data_plt.h"
#include "driver/sfc_plt.h"
#include "files/files.h"
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

class Data : public ::testing::Test {
 protected:
  void SetUp() override { RES_clear(), FLAG_reset(-9999), MESS_set(0, 0xFF), DATA_reset_state(); }
  void TearDown() override { DATA_reset_state(), RES_clear(); }
};

// Reads stop at the stations and fields stored (no run reads the arrays back this way: the
// station plots read the reports again).
TEST_F(Data, ReadsStayInsideTheStationsAndFieldsStored) {
  DATA_init(0, 2);
  VarRec rec{};
  VAR_data_init(&rec);
  DATA_add_field(0, &rec);
  RawDataRec r;
  RAW_data_init(&r);
  r.val1 = 7.0F;
  DATA_add_loc(0, 3.0F, 8.0F);
  DATA_add_raw(0, 0, &r);
  RawDataRec out{};
  ASSERT_EQ(DATA_get_raw(0, 0, &out), 1);
  EXPECT_EQ(std::vector<float>({out.x, out.y, out.val1}), std::vector<float>({3.0F, 8.0F, 7.0F}));
  EXPECT_EQ(DATA_get_raw(1, 0, &out) + DATA_get_raw(-1, 0, &out) + DATA_get_raw(0, 1, &out) + DATA_get_raw(0, 0, nullptr), 0);
}

// ---- gridding through a fake data source ----

// Twenty stations spread over the domain, every one reporting 50.0; grid files asked for in
// the folder of the test.
DomainRec domain{};
int next_report = 0;
std::string grid_conv;
int fake_read(void*, StationRec* st) {
  const int k = next_report++;
  if (k >= 20) return -1;
  MAP_domain(&domain);
  MAP_grid_tran(&st->x, &st->y, static_cast<float>(k % 5 * 5), static_cast<float>(k / 5 * 4));
  return 1;
}
void fake_rewind(DataDesc*) { next_report = 0; }
int fake_get(void*, VarRec*, RawDataRec* v) { return v->val1 = 50.0F, 1; }
int fake_grid_out() { return FILE_set_name(grid_conv.c_str()), 2; }

// Grid files are named by their hour: without a date no grid file is written (every hour
// would get the same name) and the run's status says so.
TEST_F(Data, GridsWithoutADateAreNotWritten) {
  const std::string dir = make_temp_dir("data");
  ASSERT_EQ(DOM_get_def_region("us", &domain), 1);
  grid_conv = "@" + dir + "/%Y%m%d%h_%v.grd";
  ASSERT_EQ(VAR_setup(nullptr, "temp"), 1);
  DATA_new_grid();
  DataDesc desc{};
  desc.model = -9999, desc.date = {-9999, 1, 5, 5, 1, 12, 0, 0}, desc.plot_domain = domain;
  desc.grid_out = fake_grid_out, desc.read_report = fake_read, desc.rewind = fake_rewind;
  desc.get_data = fake_get, desc.grid_data = SFC_grid_data;
  CaptureStderr();
  SFC_grid_data(&desc);
  EXPECT_EQ(GetCapturedStderr(), "DATA_save_grid: No date to name the grid file of temp\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  EXPECT_EQ(ZAV_status(), ZAV_STATUS_OUTPUT);
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

// ---- the scale of station plots ----

class PlotInit : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear(), FLAG_reset(-9999), FLAG_resetplot(1), MESS_set(0, 0xFF);
    ASSERT_EQ(VAR_setup(nullptr, "temp"), 1);
  }
  void TearDown() override { RES_clear(); }
};

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

}  // namespace
