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
#include "tests/support/run.h"

namespace {

class OutFile : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear(), FLAG_reset(-9999), MESS_set(0, 0xFF);
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
  // code: the grid format (flag 17 stays unset for 0)
  const struct { const char* out_file; int code; const char* grid_name; int raw; const char* raw_name; } cases[] = {
      {"cdf", 11, "T_cdf", 0, "T_raw"},
      {"cdf:mygrid", 11, "T_my", 0, "T_raw"},
      {"CDF", 11, "T_cdf", 0, "T_raw"},
      {"cf", 12, "T_cf", 0, "T_raw"},  // the CF form: never a station-value request
      {"CF:mygrid", 12, "T_my", 0, "T_raw"},
      {"cfgrid", 2, "cfgrid", 1, "cfgrid"},  // a longer word is a convention name (undefined here)
      {"zavb", 3, "T_zav", 0, "T_raw"},
      {"zavb=mygrid", 3, "T_my", 0, "T_raw"},
      {"zav", 2, "T_zav", 1, "T_raw"},
      {"zav:mygrid", 2, "T_my", 1, "T_my"},
      {"mygrid", 2, "T_my", 1, "T_my"},
      {"gif:loop_%i,png", 0, "T_grd", 0, "T_raw"},
      {"raw", 0, "T_grd", 1, "T_raw"},
      {"raw:mygrid", 0, "T_grd", 1, "T_my"},
      {"cdf,zavb", 3, "T_zav", 0, "T_raw"},
      {"none,cdf,raw", 11, "T_cdf", 1, "T_raw"},
      {"", 0, "T_grd", 0, "T_raw"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out_file);
    RES_put("out_file", c.out_file);
    FLAG_set(17, -9999);
    EXPECT_EQ(SFC_grd_out_file(), c.code);
    EXPECT_EQ(active_name(), c.grid_name);
    EXPECT_EQ(FLAG_get(17), c.code == 0 ? -9999 : c.code);
    EXPECT_EQ(SFC_raw_out_file(), c.raw);
    EXPECT_EQ(active_name(), c.raw_name);
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

  // A single file that exists but is no surface file ends the plot with status 10 (a name
  // that exists is used as given).
  write_file(dir + "/1998010515.sfc", "#!/bin/sh\n");
  r = run({"-of", "cdf", "1998010515.sfc"});
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.err, "SFC_open_file: Unable to open file:1998010515.sfc\n");
}

}  // namespace
