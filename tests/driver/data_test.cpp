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
#include "driver/sfc_plt.h"
#include "files/files.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "surface/raw_tool.h"
#include "surface/var_tool.h"
#include "tests/support/analysis_table.h"
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

TEST_F(Gridding, ExistingGridFileIsReadInsteadOfComputed) {
  src.grid_format = 2;
  FLAG_set(15, 3);  // use existing files
  SFC_grid_data(&desc);
  const std::string file = dir + "/1998010512_temp.grd";
  const std::string written = read_file(file);
  ASSERT_NE(written.find("ZAVGRID"), std::string::npos);

  DATA_new_grid();
  src.reads = src.gets = 0;
  SFC_grid_data(&desc);
  EXPECT_EQ(src.reads + src.gets, 0);
  EXPECT_EQ(read_file(file), written);
  const GridRec* g = GRD_get_grid(0);
  ASSERT_NE(g->values, nullptr);
  EXPECT_NEAR(g->values[g->domain.nx * 3 + 3], 50.0F, 1e-3F);
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
  const struct { int missing, left_out, nx; const char* said; } t[] = {
      {4, 5, 4, ""},  // half
      {5, 0, 4, ""},  // no station left out
      {5, 7, 4, "63% of the grid has no analysis: this domain uses only stations of priority 2 or better and leaves "
                "out 7 that report it; -pr 9 keeps every station\n"},
      {8, 7, 4, ""},  // the same domain again
      {8, 1, 2, "100% of the grid has no analysis: this domain uses only stations of priority 2 or better and "
                "leaves out 1 that report it; -pr 9 keeps every station\n"}};  // another domain (2 x 4)
  for (const auto& e : t) {
    std::fill(values.begin(), values.end(), 1.0F);
    std::fill(values.begin(), values.begin() + e.missing, -9999.0F);
    g.domain.nx = e.nx, g.domain.ny = 8 / e.nx;
    testing::internal::CaptureStderr();
    DATA_check_sparse(&g, e.left_out);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), e.said) << e.missing << " " << e.left_out;
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

}  // namespace
