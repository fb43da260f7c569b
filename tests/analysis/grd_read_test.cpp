#include "analysis/grd_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/grd_cf.h"
#include "config/flag.h"
#include "config/resrc.h"
#include "tests/support/analysis_table.h"
#include "tests/support/run.h"

namespace {

constexpr float M = -9999.0f;
constexpr double kPi = 3.14159265358979323846;

DomainRec make_domain(int proj, int nx, int ny) { return {proj, M, M, M, M, M, M, M, 40, -100, 1.5f, 1.25f, nx, ny, 0}; }

// A record that frees its values; given a domain, filled with i*0.5 - 3 and one missing point.
struct Grid : GridRec {
  Grid() { GRD_init(this); }
  explicit Grid(const DomainRec& d, const char* units = "deg C")
      : GridRec{2, 1, 1, "12Z  5 JAN 98", "Temperature (deg C)", {}, 1, 1, 0, 0, 5, {}, d, nullptr} {
    std::snprintf(this->units, sizeof this->units, "%s", units);
    EXPECT_EQ(GRD_alloc(this), 1);
    for (int i = 0; i < d.nx * d.ny; ++i) values[i] = static_cast<float>(i) * 0.5f - 3.0f;
    values[1] = -9999.0f;
  }
  Grid(const Grid&) = delete;
  ~Grid() { GRD_free(this); }
};

// The dew point grid of the CF form's cases: v(i, j) = 10 * row + column, top row first, and
// one missing point.
struct CfGrid : Grid {
  explicit CfGrid(const DomainRec& d) : Grid(d, "F") {
    std::snprintf(label, sizeof label, "12Z 14 MAR 26");
    std::snprintf(datatype, sizeof datatype, "Dew point (F)");
    date = {2026, 3, 14, 73, 6, 12, 0, 0};
    var = 17;
    for (int j = 0; j < d.ny; ++j)
      for (int i = 0; i < d.nx; ++i) values[j * d.nx + i] = static_cast<float>(10 * j + i);
    values[1] = M;
  }
};

GridInfo make_info(const GridRec& g, const char* name = "temp") {
  GridInfo info{{}, g.domain.nx, g.domain.ny, 0, {1998, 1, 5, -9999, -9999, 12, -9999, -9999}, ""};
  std::snprintf(info.label, sizeof info.label, "%.39s", g.label);
  std::snprintf(info.name, sizeof info.name, "%s", name);
  return info;
}

RunResult ncdump(const std::vector<std::string>& args) { return run_program("/usr/bin/ncdump", args); }

}  // namespace

class GridFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    FLAG_set(15, 1);  // always overwrite
    FLAG_set_batch(1);
    GRD_set_format("");
  }
  void TearDown() override {
    FLAG_set(15, 0);
    std::filesystem::remove_all(dir_);
  }
  // Saves grid with the format code, its values named var; the messages printed go to out_
  // and err_.
  int save(const std::string& name, GridRec& g, int format, const char* var = "temp") {
    GridInfo info = make_info(g, var);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int r = GRD_save_file(name.c_str(), &g, &info, format);
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
    return r;
  }
  // Reads the first grid of a file; -1 and the messages in err_ on failure.
  int read_first(const std::string& path, GridRec* g, GridInfo* info = nullptr) {
    int type = 0;
    GridInfo local{};
    testing::internal::CaptureStderr();
    const int h = GRD_open(path.c_str(), 0, &type);
    const int r = h < 0 ? -1 : (GRD_getinfo(h, info != nullptr ? info : &local), GRD_read(h, g, 0, nullptr));
    if (h >= 0) GRD_close(h);
    err_ = testing::internal::GetCapturedStderr();
    return r;
  }
  // Reads path through the check for domain d into slot; the messages in err_.
  int read_check(const std::string& path, const DomainRec& d, GridRec* slot, int* type = nullptr, GridInfo* info = nullptr) {
    int t = 0;
    GridInfo i{};
    testing::internal::CaptureStderr();
    const int r = GRD_read_check(path.c_str(), slot, info ? info : &i, type ? type : &t, &d);
    err_ = testing::internal::GetCapturedStderr();
    return r;
  }
  std::string dir_ = make_temp_dir("grd_read");
  std::string out_, err_;
};

TEST(GridChkType, DetectsFromTheFirstBytes) {
  const std::string dir = make_temp_dir("grd_chk");
  for (const TableRow& c : read_table("analysis/grid_chktype", 2)) {
    write_file(dir + "/f", c[0]);
    EXPECT_EQ(GRD_chktype((dir + "/f").c_str()), table_int(c[1])) << c[0];
  }
  EXPECT_EQ(GRD_chktype("/nonexistent/grid") + GRD_chktype(nullptr), -2);
  std::filesystem::remove_all(dir);
}

TEST_F(GridFiles, TextLayoutAndRoundTrip) {
  Grid g(make_domain(2, 3, 2));
  const std::string path = dir_ + "/t.grd";
  ASSERT_EQ(save(path, g, 2), 1);
  EXPECT_EQ(out_, "Creating grid file: " + path + "\n");
  EXPECT_EQ(read_file(path),
            "ZAVGRID\n12Z  5 JAN 98\n2-Temperature (deg C)\n1 1 1 2 1 0 0 5:deg_C\n"
            "LL 40.000000 -100.000000 1.500000 1.250000 3 2\n"
            "-3.00000000e+00\n-9.99900000e+03\n-2.00000000e+00\n-1.50000000e+00\n"
            "-1.00000000e+00\n-5.00000000e-01\n");
  Grid back;
  GridInfo info{};
  ASSERT_EQ(read_first(path, &back, &info), 0) << err_;
  EXPECT_EQ(std::vector<int>({info.nx, info.date.hour, back.var}), std::vector<int>({3, 12, 5}));
  EXPECT_STREQ(back.datatype, "Temperature (deg C)");
  EXPECT_EQ(DOM_comp(&back.domain, &g.domain), 1);
  EXPECT_EQ(std::memcmp(back.values, g.values, 6 * sizeof(float)), 0);
}

TEST_F(GridFiles, FormatEmptyUnitsAndSeveralGrids) {
  Grid g(make_domain(3, 2, 1), "");
  GRD_set_format("%8.2f");
  testing::internal::CaptureStderr();
  GRD_set_format("%8.2f%n");  // rejected: keeps the last good format
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_set_format: Invalid grid value format: %8.2f%n\n");
  const std::string path = dir_ + "/two.grd";
  int type = 2;
  int h = GRD_open(path.c_str(), 1, &type);
  GridInfo info = make_info(g);
  ASSERT_EQ(GRD_putinfo(h, &info) + GRD_write(h, &g, 0, nullptr), 0);
  g.values[0] = 7.0f;
  ASSERT_EQ(GRD_write(h, &g, 0, nullptr) + GRD_close(h), 0);
  EXPECT_NE(read_file(path).find("\n1 1 1 2 1 0 0 5\nME 40.000000 -100.000000 1.500000 1.250000 2 1\n   -3.00\n"
                                 "-9999.00\n12Z"),
            std::string::npos);  // no ':' without units
  type = 0;
  h = GRD_open(path.c_str(), 0, &type);
  EXPECT_EQ(type, 2);
  Grid back;
  int pos = -1;
  ASSERT_EQ(GRD_read(h, &back, 0, &pos) + GRD_read(h, &back, 0, &pos), 0);
  EXPECT_EQ(std::vector<float>({static_cast<float>(pos), back.values[0]}), std::vector<float>({1, 7}));
  ASSERT_EQ(GRD_rewind(h) + GRD_read(h, &back, 0, &pos), 0);
  EXPECT_EQ(back.values[0], -3.0f);
  EXPECT_EQ(GRD_close(h) + GRD_close(h), -1);  // the second finds nothing open
}

TEST_F(GridFiles, ProjectionTagWrittenAndReadBack) {
  const struct { int proj; float plat, plon, p3; const char* tag; } cases[] = {{1, M, -100.0f, M, "PS "}, {1, M, -105.0f, M, "PS:-105.000000 "}, {4, M, -95.0f, M, "LC:-95.000000 "},
               {4, 25.0f, -95.0f, 25.0f, "LC:25.000000:-95.000000:25.000000:30.000000:0.000000 "},
               {5, M, M, M, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    const bool lc3 = c.p3 != M;  // the full Lambert parameter set
    const DomainRec d{c.proj, c.plat, c.plon, c.p3, lc3 ? 30.0f : M, lc3 ? 0.0f : M, M, M, 40, -100, 1.5f, 1.25f, 2, 2, 0};
    Grid g(d);
    const std::string path = dir_ + "/tag.grd";
    ASSERT_EQ(save(path, g, 2), 1);
    EXPECT_NE(read_file(path).find("\n" + std::string(c.tag) + "40.000000 -100.000000 1.500000 1.250000 2 2\n"),
              std::string::npos);
    Grid back;
    if (*c.tag != '\0') {
      ASSERT_EQ(read_first(path, &back), 0) << err_;
      EXPECT_TRUE(DOM_comp(&back.domain, &d) == 1 && back.domain.p4 == d.p4);
    }
  }
}

TEST_F(GridFiles, BinaryValuesAreBigEndianFloats) {
  Grid g(make_domain(1, 25, 17));
  g.values[0] = 1.0f;
  const std::string path = dir_ + "/b.grd";
  ASSERT_EQ(save(path, g, 3), 1);
  std::string text = read_file(path);
  std::string head = "ZAVGRID\n12Z  5 JAN 98\n3-Temperature (deg C)\n1 1 1 2 1 0 0 5:deg_C\n"
                     "PS 40.000000 -100.000000 1.500000 1.250000 25 17\n";
  ASSERT_EQ(text.size(), head.size() + 1700 + 1);
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(head.size(), 8), std::string("\x3f\x80\x00\x00\xc6\x1c\x3c\x00", 8));  // 1.0, -9999.0
  EXPECT_EQ(text.back(), '\n');
  Grid back;
  ASSERT_EQ(read_first(path, &back), 0) << err_;
  EXPECT_EQ(std::memcmp(back.values, g.values, 425 * sizeof(float)), 0);

  // A version-4 file announcing binary values with a text type digit reads them as binary.
  std::string v4 = "ZAVGRID4B\n" + text.substr(8);
  v4[v4.find("3-")] = '2';
  write_file(path, v4);
  ASSERT_EQ(read_first(path, &back), 0) << err_;
  EXPECT_EQ(back.values[424], g.values[424]);
}

TEST_F(GridFiles, NetcdfLayoutAndRoundTrip) {
  Grid g(make_domain(4, 3, 2));
  g.domain.plon = -95.0f;
  const std::string path = dir_ + "/g.nc";
  ASSERT_EQ(save(path, g, 11), 1);
  // The attributes of the variables; the rest of the header is the program's run's
  // (StacontE2E.NetcdfGridHasTheLayoutAndTheAnalysedValues).
  const RunResult h = ncdump({"-h", path});
  for (const char* want : {"\t\tvalues:name = \"VALUES\" ;", "\t\tvalues:_FillValue = -9999.f ;", "\t\tdx:units = \"100 KM\" ;",
                           "\t\tlat1:long_name = \"Grid central latitude\" ;", "\t\tlat1:units = \"DEG\" ;",
                           "\t\tinfo:long_name = \"Grid variable information\" ;", "\t\ttime:units = \"HOUR\" ;"})
    EXPECT_NE(h.out.find(std::string(want) + "\n"), std::string::npos) << want << "\n" << h.out;
  EXPECT_EQ(ncdump({"-k", path}).out, "classic\n");
  const RunResult v = ncdump({"-v", "values,datim,lon2,var", path});
  for (const char* want : {" values =\n  -3, _,\n  -2, -1.5,\n  -1, -0.5 ;", " datim =\n  \"12Z  5 JAN 98\" ;",
                           " lon2 = -95 ;", " var = 5 ;"})
    EXPECT_NE(v.out.find(want), std::string::npos) << want << "\n" << v.out;

  Grid back;
  GridInfo info{};
  ASSERT_EQ(read_first(path, &back, &info), 0) << err_;
  EXPECT_EQ(std::vector<int>({info.ny, info.date.year, info.date.hour}), std::vector<int>({2, 1998, 12}));
  EXPECT_STREQ(info.label, "12Z  5 JAN 98");
  EXPECT_TRUE(DOM_comp(&back.domain, &g.domain) == 1 && back.domain.plon == -95.0f);
  EXPECT_EQ(std::memcmp(back.values, g.values, 6 * sizeof(float)), 0);

  // Appending adds the grid as the next record; the package format cannot be appended to.
  FLAG_set(15, 2);
  ASSERT_EQ(save(path, g, 11), 1);
  EXPECT_EQ(out_, "Appending to grid file: " + path + "\n");
  EXPECT_NE(ncdump({"-h", path}).out.find("grid = UNLIMITED ; // (2 currently)"), std::string::npos);
  const std::string pkg = dir_ + "/p.grd";
  write_file(pkg, "ZAVGRID\n");
  EXPECT_EQ(save(pkg, g, 2), 0);
  EXPECT_EQ(err_, "GRD_save_file: Unable to open grid file: " + pkg + "\n");
}

TEST_F(GridFiles, SaveCodeZeroRefusalsAndUnwritableDestinations) {
  Grid g(make_domain(2, 2, 2));
  const std::string path = dir_ + "/zero.grd";
  EXPECT_EQ(save(path, g, 0), 0);
  EXPECT_EQ(out_ + err_, "");
  EXPECT_FALSE(std::filesystem::exists(path));

  write_file(path, "old");
  FLAG_set(15, 3);  // keep existing files
  EXPECT_EQ(save(path, g, 2), 0);
  EXPECT_EQ(err_, "GRD_save_file: Unable to overwrite grid file: " + path + "\n");
  EXPECT_EQ(read_file(path), "old");
  FLAG_set(15, 1);
  RES_put("grid_path", dir_.c_str());  // completes relative names
  EXPECT_EQ(save("rel.grd", g, 2), 1);
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/rel.grd"));

  // Unwritable places and grids without values leave no file behind.
  write_file(dir_ + "/plain", "x");
  GridRec empty = g;
  empty.values = nullptr;
  for (const auto& [name, grid] : {std::pair<const char*, GridRec*>{"/plain/sub/g", &g}, {"/novalues", &empty}}) {
    for (int format : {3, 11}) {
      const std::string path = dir_ + name + (format == 11 ? ".nc" : ".grd");
      EXPECT_EQ(save(path, *grid, format), 0);
      EXPECT_EQ(err_, "GRD_save_file: Unable to create grid file: " + path + "\n");
      EXPECT_FALSE(std::filesystem::exists(path)) << path;
    }
  }
}

TEST_F(GridFiles, ReadCheckKeepsMatchingGridsOnly) {
  DomainRec d = make_domain(1, 4, 3);
  Grid g(d);
  const std::string path = dir_ + "/rc.grd";
  ASSERT_EQ(save(path, g, 2), 1);
  Grid slot;
  int type = 0;  // the fixture says always overwrite: never read back
  EXPECT_EQ(read_check(path, d, &slot, &type), 0);
  FLAG_set(15, 0);
  EXPECT_EQ(read_check(dir_ + "/absent", d, &slot, &type), 0);
  EXPECT_EQ(read_check(path, d, &slot, &type), 1);
  ASSERT_NE(slot.values, nullptr);
  EXPECT_EQ(std::vector<float>({static_cast<float>(type), static_cast<float>(slot.source), slot.values[11]}),
            std::vector<float>({2, 1, g.values[11]}));

  DomainRec other = d;
  other.clat = 45.0f;
  EXPECT_EQ(read_check(path, other, &slot), 0);
  EXPECT_EQ(err_, "GRD_read_check: " + path + " file does not correspond to selected region\n");
  EXPECT_EQ(slot.source, 0);

  // Interactively the user is asked; "y" means analyse again. The answer comes on stdin.
  FLAG_set_batch(0);
  const int saved = dup(0);
  write_file(dir_ + "/answer", "y\n");
  ASSERT_NE(std::freopen((dir_ + "/answer").c_str(), "r", stdin), nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(read_check(path, d, &slot), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(path + ": exists overwrite (Y/N): "), std::string::npos);
  dup2(saved, 0);
  close(saved);
  std::clearerr(stdin);
}

TEST_F(GridFiles, DamagedFilesFailCleanly) {
  for (const TableRow& c : read_table("analysis/grid_damaged", 2)) {
    const std::string content = c[0][0] == 'H' ? "ZAVGRID\nlabel\n2-T\n1 1 1 2 1 0 0 5:K\n" + c[0].substr(1) : c[0];
    write_file(dir_ + "/bad.grd", content);
    Grid g;
    EXPECT_EQ(read_first(dir_ + "/bad.grd", &g), -1) << content;
    EXPECT_NE(err_.find(c[1]), std::string::npos) << err_;
  }
}

// Text values are read as the C library reads decimal numbers; hexadecimal, "nan", "inf"
// and a sign alone are no values.
TEST_F(GridFiles, TextValuesReadAsTheCLibraryReadsThem) {
  const std::string head = "ZAVGRID\nlabel\n2-T\n1 1 1 2 1 0 0 5:K\nLL 40 -100 1 1 ";
  std::string text;
  std::vector<TableRow> good;
  for (const TableRow& c : read_table("analysis/grid_text_values", 2)) {
    if (c[1] != "bad") {
      good.push_back(c);
      text += c[0] + "\n";
      continue;
    }
    write_file(dir_ + "/bad.grd", head + "1 1\n" + c[0] + "\n");
    Grid g;
    EXPECT_EQ(read_first(dir_ + "/bad.grd", &g), -1) << c[0];
    EXPECT_NE(err_.find("GRD_read: Invalid grid value 1 in "), std::string::npos) << c[0] << err_;
  }
  write_file(dir_ + "/values.grd", head + std::to_string(good.size()) + " 1\n" + text);
  Grid g;
  ASSERT_EQ(read_first(dir_ + "/values.grd", &g), 0) << err_;
  for (std::size_t k = 0; k < good.size(); ++k) EXPECT_EQ(g.values[k], table_float(good[k][1])) << good[k][0];
}

TEST_F(GridFiles, HandleTableHoldsFifteenFiles) {
  const std::string path = dir_ + "/h.grd";
  write_file(path, "ZAVGRID\n");
  int type = 0;
  for (int i = 0; i < GRD_MAX_FILES; ++i) EXPECT_EQ(GRD_open(path.c_str(), 0, &type), i);
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_open(path.c_str(), 0, &type), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_open: Too many grid files open\n");
  for (int h = 0; h < GRD_MAX_FILES; ++h) EXPECT_EQ(GRD_close(h), 0);
  type = 11;
  int h = GRD_open("-", 0, &type);  // standard streams carry package grids
  EXPECT_EQ(type, 2);
  EXPECT_EQ(GRD_close(h), 0);
}

TEST_F(GridFiles, EveryTruncationFailsCleanly) {
  Grid g(make_domain(4, 3, 2));
  g.domain.p3 = 25.0f;
  for (int format : {2, 3, 11}) {
    ASSERT_EQ(save(dir_ + "/full", g, format), 1);
    const std::string text = read_file(dir_ + "/full");
    // Binary grids end in a newline the reader does not need; a text grid cut inside its
    // last value line still reads (a final line without newline is accepted). The netCDF
    // library does not notice missing record data, so there only a cut header must fail.
    const std::size_t complete = format == 2 ? text.rfind('\n', text.size() - 2) + 3 : text.size() - 1;
    std::vector<std::size_t> cuts = {complete - 1, complete};
    for (std::size_t n = 1; n < text.size(); n += n / 8 + 1) cuts.push_back(n);  // dense in the header
    for (std::size_t n : cuts) {
      write_file(dir_ + "/cut", text.substr(0, n));
      Grid back;
      const int r = read_first(dir_ + "/cut", &back);
      if (format != 11 || n < 1000) {
        EXPECT_EQ(r, format != 11 && n >= complete ? 0 : -1) << format << " at " << n;
      }
    }
  }
}

// An existing grid file that cannot be read is named with the reason, never as missing
// (the damaged files and their messages are runs of tests/data/driver/grids.runs).
TEST_F(GridFiles, ReadCheckSaysWhyAnExistingFileCannotBeRead) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
  const std::string path = dir_ + "/old.nc";
  write_file(path, "ZAVGRID\n");
  std::filesystem::permissions(path, std::filesystem::perms::none);
  Grid slot;
  FLAG_set(15, 3);  // use existing files
  EXPECT_EQ(read_check(path, make_domain(1, 4, 3), &slot), 0);
  EXPECT_EQ(err_, "GRD_read_check: Unable to read grid file: " + path + ": Permission denied\n");
}

// A failed write removes the file only when this save created it as a regular file: a
// device node named as the output (here one with the numbers of /dev/full, where every
// write fails) is left in place, and so is a file that existed.
TEST_F(GridFiles, FailedWriteRemovesOnlyTheFileItCreated) {
  Grid g(make_domain(2, 30, 20));
  // A netCDF file of an earlier run survives a failed overwrite whole: the new file is
  // made beside it and takes its place only when complete.
  const std::string kept = dir_ + "/kept.nc";
  ASSERT_EQ(save(kept, g, 11), 1);
  const std::string before = read_file(kept);
  GridRec empty = g;
  empty.values = nullptr;
  EXPECT_EQ(save(kept, empty, 11), 0);
  EXPECT_EQ(read_file(kept), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);  // no temporary file left

  const std::string node = dir_ + "/full";
  if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "mknod not permitted here";
  for (int format : {2, 3, 11}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(save(node, g, format), 0);
    EXPECT_EQ(err_.substr(err_.rfind("GRD_save_file")), "GRD_save_file: Unable to create grid file: " + node + "\n");
    struct stat st {};
    ASSERT_EQ(::lstat(node.c_str(), &st), 0) << "the device node was removed";
    EXPECT_TRUE(S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 7));
  }
  // A link to the device: the link stays too.
  const std::string link = dir_ + "/link.grd";
  std::filesystem::create_symlink(node, link);
  EXPECT_EQ(save(link, g, 2), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST(CfUnits, PackageUnitsInTheirUdunitsSpelling) {
  for (const TableRow& c : read_table("analysis/cf_units", 2)) EXPECT_STREQ(GRD_cf_units(c[0].c_str()), c[1].c_str()) << c[0];
}

// A grid saved in the CF form reads back as the same grid: the exact domain, header and
// values, rows top first again after being stored from the south.
TEST_F(GridFiles, SavedGridReadsBackTheSame) {
  const DomainRec d{PROJ_LAMB, 25.0f, -95.0f, 25.0f, 45.0f, M, M, M, 35.0f, -95.0f, 1.5f, 1.25f, 5, 4, 0};
  CfGrid g(d);
  const std::string path = dir_ + "/g.nc";
  ASSERT_EQ(save(path, g, GRD_FILE_CF, "dewp"), 1) << err_;
  EXPECT_EQ(err_, "");

  // In the file, the southern row comes first and the fill value marks the missing point.
  const RunResult v = ncdump({"-v", "dewp", path});
  EXPECT_NE(v.out.find("dewp =\n  30, 31, 32, 33, 34,\n  20, 21, 22, 23, 24,\n  10, 11, 12, 13, 14,\n  0, _, 2, 3, 4 ;"),
            std::string::npos)
      << v.out;

  Grid slot;
  GridInfo info{};
  int type = 0;
  FLAG_set(15, 3);  // use the existing file
  ASSERT_EQ(read_check(path, d, &slot, &type, &info), 1);
  EXPECT_EQ(type, GRD_FILE_CDF);
  EXPECT_EQ(DOM_comp(&slot.domain, &d), 1);
  EXPECT_EQ(std::memcmp(&slot.domain, &d, sizeof d), 0);
  EXPECT_EQ(std::vector<float>(slot.values, slot.values + 20), std::vector<float>(g.values, g.values + 20));
  EXPECT_EQ(std::string(slot.label) + "|" + slot.datatype + "|" + slot.units + "|" + info.label,
            "12Z 14 MAR 26|Dew point (F)|F|12Z 14 MAR 26");
  EXPECT_EQ(std::vector<int>({slot.source, slot.var, slot.ltype, slot.date.hour, info.nx, info.ny}),
            std::vector<int>({1, 17, 1, 12, 5, 4}));
}

// The Lambert plane starts at the cone's apex; in the file y counts from the origin
// latitude, as CF says: 0 at 25 N on the central meridian, and the corners where the
// cone formulas put them.
TEST_F(GridFiles, LambertCoordinatesCountFromTheOriginLatitude) {
  const DomainRec d{PROJ_LAMB, 25.0f, -95.0f, 25.0f, 45.0f, M, M, M, 35.0f, -95.0f, 2.0f, 2.0f, 3, 3, 0};
  CfGrid g(d);
  const std::string path = dir_ + "/l.nc";
  ASSERT_EQ(save(path, g, GRD_FILE_CF, "dewp"), 1) << err_;
  // Spherical Lambert conformal conic, standard parallels 25 and 45 (plane units, R = 63.7122).
  const double R = 63.7122, f1 = 25 * kPi / 180, f2 = 45 * kPi / 180;
  const double n = std::log(std::cos(f1) / std::cos(f2)) / std::log(std::tan(kPi / 4 + f2 / 2) / std::tan(kPi / 4 + f1 / 2));
  const double F = std::cos(f1) * std::pow(std::tan(kPi / 4 + f1 / 2), n) / n;
  auto rho = [&](double lat) { return R * F / std::pow(std::tan(kPi / 4 + lat * kPi / 360), n); };
  const double yc = rho(25) - rho(35);  // the centre, 35 N on the central meridian
  const RunResult out = ncdump({"-p", "9,15", "-v", "x,y", path});
  double y[3] = {};
  const std::size_t at = out.out.find(" y = ");
  ASSERT_NE(at, std::string::npos) << out.out;
  ASSERT_EQ(std::sscanf(out.out.c_str() + at, " y = %lf, %lf, %lf ;", &y[0], &y[1], &y[2]), 3) << out.out;
  // Within a metre: the program's plane coordinates are single precision.
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(y[k], (yc + 2 * (k - 1)) * 1e5, 1.0) << k;
  EXPECT_NE(out.out.find(" x = -200000, 0, 200000 ;"), std::string::npos) << out.out;
  const RunResult h = ncdump({"-h", path});
  EXPECT_NE(h.out.find("\t\tcrs:grid_mapping_name = \"lambert_conformal_conic\" ;\n\t\tcrs:standard_parallel = 25., 45. ;\n"
                       "\t\tcrs:longitude_of_central_meridian = -95. ;\n\t\tcrs:latitude_of_projection_origin = 25. ;\n"),
            std::string::npos)
      << h.out;
}

// Names of the values: the variable's, made a valid netCDF name, never one the layout uses.
TEST_F(GridFiles, ValuesAreNamedAfterTheVariable) {
  const DomainRec d{PROJ_PS, M, -100.0f, M, M, M, M, M, 40.0f, -100.0f, 1.0f, 1.0f, 2, 2, 0};
  CfGrid g(d);
  for (const TableRow& c : read_table("analysis/cf_names", 2)) {
    const std::string path = dir_ + "/n.nc", name = c[0];
    ASSERT_EQ(save(path, g, GRD_FILE_CF, name.c_str()), 1) << name << err_;
    EXPECT_NE(ncdump({"-h", path}).out.find(c[1]), std::string::npos) << name;
    Grid back;
    FLAG_set(15, 3);
    EXPECT_EQ(read_check(path, d, &back), 1) << name;
    FLAG_set(15, 1);
  }
}

// What the CF form cannot take is refused and leaves no file: a domain without a map
// projection, an append, a header that does not describe the values.
TEST_F(GridFiles, RefusalsLeaveNoFile) {
  const DomainRec xy{PROJ_XY, M, M, M, M, M, M, M, 0.0f, 0.0f, 1.0f, 1.0f, 3, 3, 0};
  CfGrid g(xy);
  const std::string path = dir_ + "/xy.nc";
  EXPECT_EQ(save(path, g, GRD_FILE_CF, "temp"), 0);
  EXPECT_EQ(err_, "GRD_write: A CF grid file needs a map projection, not projection 20\n"
                  "GRD_save_file: Unable to create grid file: " + path + "\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir_));

  int type = GRD_FILE_CF;
  EXPECT_EQ(GRD_open(path.c_str(), 2, &type), -1);

  // A grid record that promises more points than the values hold.
  const DomainRec d{PROJ_PS, M, -100.0f, M, M, M, M, M, 40.0f, -100.0f, 1.0f, 1.0f, 3, 3, 0};
  CfGrid ok(d);
  ASSERT_EQ(save(path, ok, GRD_FILE_CF, "temp"), 1);
  const RunResult cdl = ncdump({path});
  std::string text = cdl.out;
  const std::size_t at = text.find("grid_record:nx = 3 ;");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 20, "grid_record:nx = 9 ;");
  write_file(dir_ + "/bad.cdl", text);
  ASSERT_EQ(run_program("/usr/bin/ncgen", {"-o", dir_ + "/bad.nc", dir_ + "/bad.cdl"}).status, 0);
  Grid back;
  type = 0;
  testing::internal::CaptureStderr();
  const int h = GRD_open((dir_ + "/bad.nc").c_str(), 0, &type);
  ASSERT_GE(h, 0);
  EXPECT_EQ(GRD_read(h, &back, 0, nullptr), -1);
  GRD_close(h);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_read: CF grid file does not hold the grid its header describes\n");
  EXPECT_EQ(back.values, nullptr);
}
