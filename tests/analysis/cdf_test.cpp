#include "analysis/cdf.h"

#include <gtest/gtest.h>
#include <netcdf.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run.h"

class Cdf : public ::testing::Test {
 protected:
  // Unlimited "rec", "n" = 3, "len" = 8; "t" float(rec, n) with attributes, "s" char(rec, len).
  void SetUp() override {
    ASSERT_GE(CDF_open(path_.c_str(), 1), 0);
    int rec = CDF_def_dim("rec", 0), n = CDF_def_dim("n", 3), len = CDF_def_dim("len", 8);
    const int d2[2] = {rec, n}, ds[2] = {rec, len};
    const int t = CDF_def_float_var("t", 2, d2), s = CDF_def_char_var("s", 2, ds);
    ASSERT_EQ(CDF_put_base_att(t, "T", "Temperature", "deg C"), 0);
    ASSERT_EQ(CDF_put_fill_att(t, -9999.0f), 0);
    ASSERT_EQ(CDF_put_glob_att("title", "test set"), 0);
    ASSERT_EQ(CDF_put_glob_att_short("year", 1998), 0);
    ASSERT_EQ(CDF_end_def(), 0);
    const float row1[3] = {1.5f, -2.0f, 3.25f};
    CDF_set_range(2, start_, count_);
    ASSERT_EQ(CDF_put_float_array(t, row1), 0);
    CDF_set_pos(2, start_);
    ASSERT_EQ(CDF_put_str(s, 8, "abc"), 0);
    CDF_set_pos(2, rec0_);
    ASSERT_EQ(CDF_put_str(s, 8, "a much longer text"), 0);  // cut to the dimension
    ASSERT_EQ(CDF_close(CDF_get_fd()), 0);
    ASSERT_GE(CDF_open(path_.c_str(), 0), 0);
  }
  void TearDown() override {
    CDF_close(CDF_get_fd());
    CDF_print_errors(1);
    std::filesystem::remove_all(dir_);
  }
  std::string dir_ = make_temp_dir("cdf");
  std::string path_ = dir_ + "/t.nc";
  const long start_[2] = {1, 0}, count_[2] = {1, 3}, rec0_[2] = {0, 0};
};

TEST_F(Cdf, ValuesTextAndAttributesRoundTrip) {
  EXPECT_EQ(std::vector<long>({CDF_get_dim_size(-1), CDF_get_dim_size(CDF_get_dim("len"))}), std::vector<long>({2, 8}));
  const int t = CDF_get_var("t"), s = CDF_get_var("s");
  std::vector<float> back(3);
  CDF_set_range(2, start_, count_);
  ASSERT_EQ(CDF_get_float_array(t, back.data()), 0);
  EXPECT_EQ(back, (std::vector<float>{1.5f, -2.0f, 3.25f}));
  const long one[2] = {1, 1}, unwritten[2] = {0, 1};
  CDF_set_pos(2, one);
  EXPECT_EQ(CDF_get_float(t), -2.0f);
  EXPECT_EQ(CDF_get_long(t), -2);
  CDF_set_pos(2, unwritten);
  EXPECT_EQ(CDF_get_double(t), -9999.0);  // the fill value
  char text[20];
  CDF_set_pos(2, start_);
  EXPECT_EQ(CDF_get_str(s, 8, text), 3);
  EXPECT_STREQ(text, "abc");
  CDF_set_pos(2, rec0_);
  EXPECT_EQ(CDF_get_str(s, 19, text), 8);
  EXPECT_STREQ(text, "a much l");
  CDF_set_shape(2, start_);  // start moves, the count stays
  EXPECT_EQ(CDF_get_char(s), 'a');

  char att[40];
  EXPECT_EQ(CDF_get_glob_att("title", att, 5), 4);
  EXPECT_STREQ(att, "test");
  int year = 0;
  EXPECT_EQ(CDF_get_glob_att_int("year", &year), 0);
  EXPECT_EQ(year, 1998);
  EXPECT_EQ(CDF_get_att_text(t, "units", att, sizeof att), 5);
  EXPECT_STREQ(att, "deg C");
  float fill = 0;
  EXPECT_EQ(CDF_get_att_float(t, "_FillValue", &fill), 0);
  EXPECT_EQ(fill, -9999.0f);
}

TEST_F(Cdf, AbsentThingsAreQuietFailingCallsReportedOnlyWhenAsked) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(std::vector<int>({CDF_get_var("nothing"), CDF_get_dim("nothing")}), std::vector<int>({-1, -1}));
  char att[8] = "x";
  EXPECT_EQ(CDF_get_glob_att("nothing", att, sizeof att), -1);
  EXPECT_STREQ(att, "");
  int v = 7;
  EXPECT_EQ(CDF_get_glob_att_int("title", &v), -1);  // text, not a number
  EXPECT_EQ(v, 7);
  EXPECT_EQ(CDF_get_long(-1), -9999);
  EXPECT_EQ(std::vector<double>({CDF_get_float(-1), CDF_get_double(-1)}), std::vector<double>({-9999.0, -9999.0}));
  EXPECT_EQ(std::vector<int>({CDF_get_byte(-1), CDF_get_str(-1, 4, att), CDF_put_float(-1, 1.0f)}),
            std::vector<int>({-1, -1, -1}));
  EXPECT_EQ(CDF_get_char(-1), ' ');
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  const long beyond[2] = {0, 7};
  CDF_set_pos(2, beyond);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CDF_get_float(0), -9999.0f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("CDF: ") + nc_strerror(NC_EINVALCOORDS) + "\n");
  CDF_print_errors(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CDF_get_float(0), -9999.0f);
  EXPECT_EQ(CDF_open((dir_ + "/absent.nc").c_str(), 0), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
