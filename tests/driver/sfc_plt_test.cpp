#include "driver/sfc_plt.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "files/files.h"
#include "surface/var_tool.h"
#include "tests/support/analysis_table.h"
#include "tests/support/run.h"

namespace {

class OutFile : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear(), FLAG_reset(-9999), MESS_set(0, 0xFF), SFC_reset_plot_state();
    const std::string dir = make_temp_dir("sfcplt");
    // Each convention names a file after itself, so the name made shows which one is active.
    write_file(dir + "/name_conv", "sfc_grd_zav T_zav - 0\nsfc_grd_cdf T_cdf - 0\nsfc_grd_cf T_cf - 0\nsfc_grd T_grd - 0\n"
                                   "sfc_raw T_raw - 0\nmygrid T_my - 0\n");
    RES_put("name_conv", (dir + "/name_conv").c_str());
  }
  void TearDown() override { RES_clear(); }
  static std::string active_name() {
    DateRec d{1998, 1, 5, 5, 1, 12, 0, 0};
    char name[FILE_NAME_MAX] = "";
    FILE_set_date(&d, name);
    return name;
  }
};

TEST_F(OutFile, SelectsGridAndStationOutput) {
  for (const TableRow& c : read_table("driver/out_file", 5)) {
    SCOPED_TRACE(c[0]);
    RES_put("out_file", c[0].c_str());
    FLAG_set(17, -9999);
    EXPECT_EQ(SFC_grd_out_file(), table_int(c[1]));
    EXPECT_EQ(active_name(), c[2]);
    EXPECT_EQ(FLAG_get(17), c[1] == "0" ? -9999 : table_int(c[1]));  // unset for no grid format
    EXPECT_EQ(SFC_raw_out_file(), table_int(c[3]));
    EXPECT_EQ(active_name(), c[4]);
  }
}

// A variable named "front" is drawn from the fronts bulletin of the plot's date, under the
// fronts convention, and the input's convention is back afterwards; other variables are
// the framework's.
TEST_F(OutFile, FrontsComeFromTheBulletinOfTheDate) {
  RES_put("name_conv", (std::string(STACONT_DATA_DIR) + "/name_conv").c_str());
  RES_put("text_path", "/data/fronts");
  ASSERT_EQ(VAR_setup(nullptr, "FRONT,temp"), 1);
  const DateRec d{2026, 3, 14, 73, 6, 12, 0, 0};
  SFC_set_date(&d);
  FILE_set_name("sfc_raw");
  char before[FILE_NAME_MAX * 2] = "", after[FILE_NAME_MAX * 2] = "";
  FILE_get_name_conv(before);
  testing::internal::CaptureStderr();
  EXPECT_EQ(SFC_plot_data(0, nullptr), 1);
  EXPECT_EQ(SFC_plot_data(1, nullptr), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "FRT_plot_file: Unable to open front file: /data/fronts/2026031412.frt\n");
  FILE_get_name_conv(after);
  EXPECT_STREQ(after, before);
}

TEST(FileTime, RoundsDownToTheLateOffset) {
  const int t1147 = 11 * 3600 + 47 * 60;
  const struct { int seconds, late_off, rounded; } cases[] = {
      {t1147, 3600, 11 * 3600}, {t1147, 1800, 11 * 3600 + 1800}, {11 * 3600, 3600, 11 * 3600},
      {-5400, 3600, -3600},     {t1147, 0, t1147},                {886680420, 10800, 886680000}};
  for (const auto& c : cases) EXPECT_EQ(SFC_round_time(c.seconds, c.late_off), c.rounded) << c.seconds << " " << c.late_off;
}

// The whole program: a batch plot writes one analysed netCDF grid per hour.
TEST(SfcPlot, BatchRunWritesNetcdfGrids) {
  const std::string dir = make_temp_dir("sfcplot");
  const std::string reports = "KDEN 350 200 2710 998 123 10.0 50B - @1200\nKORD 300 250 3615 000 150 10.0 50B - @1200\n"
                              "KSTL 420 300 2020 010 170 10.0 50B - @1200\nKDFW 600 500 1810 990 090 10.0 50B - @1200\n";
  for (const std::string h : {"12", "13"})
    write_file(dir + "/19980105" + h + ".sfc", "ZAVSFC\n" + h + "Z  5 JAN 98\n" + reports);
  const std::map<std::string, std::string> env = clean_env(dir + "/no-resource-files");
  auto run = [&](std::vector<std::string> a) {
    a.insert(a.begin(), {"-ba", "-cp", dir, "-gp", dir, "-pd", "us", "-va", "temp"});
    return run_stacont(a, "", env, dir);
  };

  RunResult r = run({"-of", "cdf", "1998010512.sfc"});
  ASSERT_EQ(r.status, 0) << r.err;
  RunResult dump = run_program("/usr/bin/ncdump", {"-v", "info,values", dir + "/1998010512_temp.nc"});
  for (const char* want : {"x = 25 ;", "y = 17 ;", "\"Temperature (F)\""})
    EXPECT_NE(dump.out.find(want), std::string::npos) << want;
  // Analysed values lie between the coldest and warmest station.
  const std::string values = dump.out.substr(dump.out.find("values ="));
  EXPECT_NE(values.find("42."), std::string::npos);
  for (const char* outside : {" 29.", " 61.", " 100."}) EXPECT_EQ(values.find(outside), std::string::npos) << outside;

  // A sequence of two hours writes two grids; "none" writes nothing.
  // Station values in the same run leave the input files' convention in place.
  r = run({"-va", "tvals,temp", "-of", "cdf,raw", "-nh", "1", "1998010512.sfc"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("SFC_open_file"), std::string::npos) << r.err;
  EXPECT_EQ(run_program("/usr/bin/ncdump", {"-h", dir + "/1998010513_temp.nc"}).status, 0);
  r = run({"-of", "none", "-ho", "#199801051400", "1998010513.sfc"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(FILE_exist((dir + "/1998010514_temp.nc").c_str()), 0);

  // A mistyped name is reported; a name the list knows but the reader does not announce is not.
  r = run({"-va", "tmep,hwind", "-of", "none", "1998010512.sfc"});
  EXPECT_EQ(r.err, "Unknown variable: tmep\n");
}

}  // namespace
