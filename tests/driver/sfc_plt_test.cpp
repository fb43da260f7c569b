#include "driver/sfc_plt.h"

#include <gtest/gtest.h>

#include <string>

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
  for (const TableRow& c : read_table("driver/file_time", 3))
    EXPECT_EQ(SFC_round_time(table_int(c[0]), table_int(c[1])), table_int(c[2])) << c[0] << " " << c[1];
}

}  // namespace
