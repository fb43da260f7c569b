#include "files/cdf.h"

#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run.h"

namespace {

// Classic-format pieces, written here from the format's description so the test does not
// depend on the library to make its damaged files.
std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
std::string nc_name(const std::string& s) {
  return be32(static_cast<std::uint32_t>(s.size())) + s + std::string((4 - s.size() % 4) % 4, '\0');
}

// Dimensions "rec" (unlimited) and "x" = 3, a global text attribute, a float variable
// v(x) and a short record variable r(rec, x) with two records. Offsets of the fields
// that the cases below damage are kept.
struct Classic {
  std::string bytes;
  std::size_t ndims_at = 0, numrecs_at = 0, dimname_at = 0, atttype_at = 0, attcount_at = 0, dimid_at = 0,
              begin_at = 0, tag_at = 0, rdims_at = 0, header = 0;
  Classic() {
    bytes = std::string("CDF\x01", 4);
    numrecs_at = bytes.size();
    bytes += be32(2) + be32(0x0A);
    ndims_at = bytes.size();
    dimname_at = ndims_at + 4;
    bytes += be32(2) + nc_name("rec") + be32(0) + nc_name("x") + be32(3);
    tag_at = bytes.size();
    bytes += be32(0x0C) + be32(1) + nc_name("title");
    atttype_at = bytes.size();
    attcount_at = atttype_at + 4;
    bytes += be32(2) + be32(4) + "test" + be32(0x0B) + be32(2);
    const std::string v_head = nc_name("v") + be32(1);
    const std::string r_head = nc_name("r") + be32(2) + be32(0) + be32(1) + be32(0) + be32(0) + be32(3) + be32(8);
    header = bytes.size() + v_head.size() + 4 + 8 + 4 + 4 + 4 + r_head.size() + 4;
    bytes += v_head;
    dimid_at = bytes.size();
    bytes += be32(1) + be32(0) + be32(0) + be32(5) + be32(12);
    begin_at = bytes.size();
    rdims_at = begin_at + 4 + 8 + 4;  // r's dimension ids
    bytes += be32(static_cast<std::uint32_t>(header)) + r_head + be32(static_cast<std::uint32_t>(header + 12));
    // v = 1.5, 2.5, 3.5; r = 1, 2, 3 / 4, 5, 6 (a lone record variable is not padded)
    bytes += std::string("\x3f\xc0\0\0\x40\x20\0\0\x40\x60\0\0", 12) + std::string("\0\1\0\2\0\3\0\4\0\5\0\6", 12);
  }
  std::string with(std::size_t at, std::uint32_t value) const { return bytes.substr(0, at) + be32(value) + bytes.substr(at + 4); }
};

std::string open_failure(const std::string& path) {
  const int fd = CDF_open(path.c_str(), 0);
  if (fd >= 0) {
    CDF_close(fd);
    return "opened";
  }
  return CDF_open_error();
}

}  // namespace

// A header is checked against the file's size before the library sees it: counts that the
// file cannot hold (which made the library crash or allocate gigabytes) mean a damaged file.
TEST(CdfHeaderCheck, DamagedHeadersAreRefusedWithTheirReason) {
  const std::string dir = make_temp_dir("cdfhdr"), path = dir + "/f.nc";
  const Classic c;
  write_file(path, c.bytes);
  ASSERT_EQ(c.header, c.bytes.size() - 24);
  ASSERT_GE(CDF_open(path.c_str(), 0), 0) << CDF_open_error();  // the pieces make a valid file
  EXPECT_STREQ(CDF_open_error(), "");
  const long rec1[2] = {1, 2};
  CDF_set_pos(2, rec1);
  EXPECT_EQ(std::vector<double>({CDF_get_float(CDF_get_var("v")), CDF_get_double(CDF_get_var("r"))}),
            std::vector<double>({2.5, 6}));  // v[1], r[1][2]
  CDF_close(CDF_get_fd());

  const std::string n = std::to_string(c.bytes.size());
  const struct { std::string bytes, why; } cases[] = {
      {c.with(c.ndims_at, 0x43000000), "the header claims 1124073472 dimensions, more than a file of " + n + " bytes can hold"},
      {c.bytes.substr(0, 13), "the file ends inside its header"},
      {c.bytes.substr(0, c.header - 1), "the file ends inside its header"},
      {c.with(c.dimname_at, 1000), "the header gives a dimension name of 1000 characters"},
      {c.with(c.dimname_at, 0), "the header gives a dimension name of 0 characters"},
      {c.with(c.atttype_at, 99), "the header names an unknown value type 99"},
      {c.with(c.atttype_at, 7), "the header names an unknown value type 7"},  // 64-bit data types only
      {c.with(c.attcount_at, 0xFFFFFFFF),
       "the header claims 4294967295 attribute values, more than a file of " + n + " bytes can hold"},
      {c.with(c.tag_at, 0x11), "the header has an invalid list tag 17"},
      {c.with(c.dimid_at, 7), "the header refers to dimension 7 of 2"},
      {c.with(c.rdims_at + 4, 0), "the header uses the unlimited dimension other than first"},
      {c.with(c.numrecs_at, 1000), "the header claims 1000 records, more than the file of " + n + " bytes holds"},
      {c.with(c.begin_at, 99999), "the header places data at byte 99999 of a file of " + n + " bytes"},
      {c.with(c.begin_at, 8), "the header places data at byte 8 of a file of " + n + " bytes"},
      {c.bytes.substr(0, c.header + 6),
       "the file of " + std::to_string(c.header + 6) + " bytes is too short for the data its header describes"},
      {c.with(c.dimname_at + 20, 0), "the header has more than one unlimited dimension"},
      {"CDF\x03" + c.bytes.substr(4), "the header gives an unknown format version 3"},
  };
  for (const auto& k : cases) {
    write_file(path, k.bytes);
    testing::internal::CaptureStderr();
    EXPECT_EQ(open_failure(path), "damaged file: " + k.why);
    // Reported only as the library's errors are: when error printing is on.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "CDF: Unable to open " + path + ": damaged file: " + k.why + "\n");
  }
  EXPECT_EQ(open_failure(dir), "not a regular file");
  EXPECT_EQ(open_failure(dir + "/absent.nc"), "No such file or directory");
  std::filesystem::remove_all(dir);
}

// Asking an open file for what it does not have fails quietly with the documented answers;
// a library error is printed as the library words it, and not at all when printing is off.
TEST(Cdf, QuietFailuresAndLibraryErrors) {
  const std::string dir = make_temp_dir("cdfquiet"), path = dir + "/f.nc";
  write_file(path, Classic().bytes);
  ASSERT_GE(CDF_open(path.c_str(), 0), 0) << CDF_open_error();
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

  const long beyond[1] = {7};  // v has 3 values
  CDF_set_pos(1, beyond);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CDF_get_float(CDF_get_var("v")), -9999.0f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("CDF: ") + nc_strerror(NC_EINVALCOORDS) + "\n");
  CDF_print_errors(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CDF_get_float(CDF_get_var("v")), -9999.0f);
  EXPECT_EQ(CDF_open((dir + "/absent.nc").c_str(), 0), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  CDF_close(CDF_get_fd());
  CDF_print_errors(1);
  std::filesystem::remove_all(dir);
}

// Files the library writes pass the check in every format it writes, also with a last
// record written in part and without fill values.
TEST(CdfHeaderCheck, LibraryFilesOfEveryFormatOpen) {
  const std::string dir = make_temp_dir("cdffmt");
  const int formats[] = {NC_CLOBBER, NC_CLOBBER | NC_64BIT_OFFSET, NC_CLOBBER | NC_64BIT_DATA, NC_CLOBBER | NC_NETCDF4};
  for (int format : formats) {
    for (bool fill : {true, false}) {
      const std::string path = dir + "/f" + std::to_string(format) + (fill ? "f" : "n") + ".nc";
      int id = -1, rec = -1, x = -1, a = -1, b = -1, c = -1, old = 0;
      ASSERT_EQ(nc_create(path.c_str(), format, &id), NC_NOERR);
      ASSERT_EQ(nc_set_fill(id, fill ? NC_FILL : NC_NOFILL, &old), NC_NOERR);
      nc_def_dim(id, "rec", NC_UNLIMITED, &rec);
      nc_def_dim(id, "x", 5, &x);
      const int d2[2] = {rec, x};
      nc_def_var(id, "a", NC_FLOAT, 2, d2, &a);
      nc_def_var(id, "b", NC_BYTE, 1, d2, &b);
      nc_def_var(id, "c", NC_DOUBLE, 1, &x, &c);
      nc_put_att_text(id, NC_GLOBAL, "t", 3, "abc");
      ASSERT_EQ(nc_enddef(id), NC_NOERR);
      const float values[5] = {1, 2, 3, 4, 5};
      const std::size_t start[2] = {2, 0}, count[2] = {1, 5};
      ASSERT_EQ(nc_put_vara_float(id, a, start, count, values), NC_NOERR);  // records 0 and 1 left out
      ASSERT_EQ(nc_close(id), NC_NOERR);
      const int fd = CDF_open(path.c_str(), 0);
      EXPECT_GE(fd, 0) << path << ": " << CDF_open_error();
      if (fd >= 0) {
        EXPECT_EQ(CDF_get_dim_size(-1), 3);
        CDF_close(fd);
      }
    }
  }
  std::filesystem::remove_all(dir);
}
