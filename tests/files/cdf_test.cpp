#include "files/cdf.h"

#include <gtest/gtest.h>
#include <netcdf.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run.h"

// Writes a small file, reads it back, then asks for things that are not there.
TEST(Cdf, RoundTripAndQuietFailures) {
  const std::string dir = make_temp_dir("cdf"), path = dir + "/t.nc";
  const long start[2] = {1, 0}, count[2] = {1, 3}, rec0[2] = {0, 0};
  // Unlimited "rec", "n" = 3, "len" = 8; "t" float(rec, n) with attributes, "s" char(rec, len).
  ASSERT_GE(CDF_open(path.c_str(), 1), 0);
  const int rec = CDF_def_dim("rec", 0), n = CDF_def_dim("n", 3), len = CDF_def_dim("len", 8);
  const int t = CDF_def_float_var("t", 2, std::array{rec, n}.data());
  const int s = CDF_def_char_var("s", 2, std::array{rec, len}.data());
  ASSERT_EQ(CDF_put_base_att(t, "T", "Temperature", "deg C") + CDF_put_fill_att(t, -9999.0f) +
                CDF_put_glob_att("title", "test set") + CDF_put_glob_att_short("year", 1998) + CDF_end_def(),
            0);
  CDF_set_range(2, start, count);
  ASSERT_EQ(CDF_put_float_array(t, std::array{1.5f, -2.0f, 3.25f}.data()), 0);
  CDF_set_pos(2, start);
  ASSERT_EQ(CDF_put_str(s, 8, "abc"), 0);
  CDF_set_pos(2, rec0);
  ASSERT_EQ(CDF_put_str(s, 8, "a much longer text"), 0);  // cut to the dimension
  ASSERT_EQ(CDF_close(CDF_get_fd()), 0);
  ASSERT_GE(CDF_open(path.c_str(), 0), 0);
  EXPECT_EQ(std::vector<long>({CDF_get_dim_size(-1), CDF_get_dim_size(CDF_get_dim("len"))}), std::vector<long>({2, 8}));
  EXPECT_EQ(std::vector<int>({CDF_get_var("t"), CDF_get_var("s")}), std::vector<int>({t, s}));
  const long one[2] = {1, 1}, unwritten[2] = {0, 1};
  CDF_set_pos(2, one);
  EXPECT_EQ(std::vector<double>({CDF_get_float(t), static_cast<double>(CDF_get_long(t))}), std::vector<double>({-2, -2}));
  CDF_set_pos(2, unwritten);
  EXPECT_EQ(CDF_get_double(t), -9999.0);  // the fill value
  char text[20], longer[20];
  CDF_set_pos(2, start);
  const int got = CDF_get_str(s, 8, text);
  CDF_set_pos(2, rec0);
  EXPECT_EQ(std::to_string(got) + text + "|" + std::to_string(CDF_get_str(s, 19, longer)) + longer, "3abc|8a much l");
  CDF_set_shape(2, start);  // start moves, the count stays
  EXPECT_EQ(CDF_get_char(s), 'a');

  char title[40], units[40];
  int year = 0;
  float fill = 0;
  EXPECT_EQ(std::vector<int>({CDF_get_glob_att("title", title, 5), CDF_get_glob_att_int("year", &year),
                              CDF_get_att_text(t, "units", units, sizeof units),
                              CDF_get_att_float(t, "_FillValue", &fill)}),
            std::vector<int>({4, 0, 5, 0}));
  EXPECT_EQ(std::string(title) + "|" + units + "|" + std::to_string(year) + "|" + std::to_string(fill),
            "test|deg C|1998|-9999.000000");

  testing::internal::CaptureStderr();
  EXPECT_EQ(std::vector<int>({CDF_get_var("nothing"), CDF_get_dim("nothing")}), std::vector<int>({-1, -1}));
  char att[8] = "x";
  int v = 7;  // "title" is text, not a number
  EXPECT_EQ(std::vector<int>({CDF_get_glob_att("nothing", att, sizeof att), CDF_get_glob_att_int("title", &v), v, *att}),
            std::vector<int>({-1, -1, 7, 0}));
  EXPECT_EQ(std::vector<double>({CDF_get_float(-1), CDF_get_double(-1), static_cast<double>(CDF_get_long(-1))}),
            std::vector<double>({-9999.0, -9999.0, -9999.0}));
  EXPECT_EQ(std::vector<int>({CDF_get_byte(-1), CDF_get_str(-1, 4, att), CDF_put_float(-1, 1.0f), CDF_get_char(-1)}),
            std::vector<int>({-1, -1, -1, ' '}));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  const long beyond[2] = {0, 7};
  CDF_set_pos(2, beyond);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CDF_get_float(0), -9999.0f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("CDF: ") + nc_strerror(NC_EINVALCOORDS) + "\n");
  CDF_print_errors(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CDF_get_float(0), -9999.0f);
  EXPECT_EQ(CDF_open((dir + "/absent.nc").c_str(), 0), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  CDF_close(CDF_get_fd());
  CDF_print_errors(1);
  std::filesystem::remove_all(dir);
}
