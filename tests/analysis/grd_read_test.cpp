#include "analysis/grd_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/resrc.h"
#include "tests/support/run.h"

namespace {

DomainRec make_domain(int proj, int nx, int ny) {
  DomainRec d;
  DOM_init(&d);
  d.proj = proj;
  d.clat = 40.0f;
  d.clon = -100.0f;
  d.dx = 1.5f;
  d.dy = 1.25f;
  d.nx = nx;
  d.ny = ny;
  return d;
}

// A filled grid; values i*0.5 - 3 with one missing point.
GridRec make_grid(const DomainRec& d, const char* units = "deg C") {
  GridRec g;
  GRD_init(&g);
  g.type = 2;
  g.source = 1;
  g.version = 1;
  g.model = 1;
  g.ltype = 1;
  g.level = 0;
  g.time = 0;
  g.var = 5;
  std::snprintf(g.label, sizeof g.label, "%s", "12Z  5 JAN 98");
  std::snprintf(g.datatype, sizeof g.datatype, "%s", "Temperature (deg C)");
  std::snprintf(g.units, sizeof g.units, "%s", units);
  g.domain = d;
  EXPECT_EQ(GRD_alloc(&g), 1);
  for (int i = 0; i < d.nx * d.ny; ++i) g.values[i] = static_cast<float>(i) * 0.5f - 3.0f;
  g.values[1] = -9999.0f;
  return g;
}

GridInfo make_info(const GridRec& g) {
  GridInfo info{};
  std::snprintf(info.label, sizeof info.label, "%.39s", g.label);
  info.nx = g.domain.nx;
  info.ny = g.domain.ny;
  info.grid_type = 0;
  DATE_init(&info.date);
  info.date.year = 1998;
  info.date.month = 1;
  info.date.day = 5;
  info.date.hour = 12;
  return info;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    out.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  return out;
}

// The netCDF dump tool, found along PATH.
RunResult ncdump(const std::vector<std::string>& args) {
  const char* env = std::getenv("PATH");
  std::string path = env != nullptr ? env : "/usr/bin:/bin";
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t colon = path.find(':', at);
    if (colon == std::string::npos) colon = path.size();
    std::string candidate = path.substr(at, colon - at) + "/ncdump";
    if (access(candidate.c_str(), X_OK) == 0) return run_program(candidate, args);
    at = colon + 1;
  }
  return RunResult{};
}

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
  // Saves grid with the format code; the messages printed go to err_.
  int save(const std::string& name, GridRec& g, int format) {
    GridInfo info = make_info(g);
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
    int h = GRD_open(path.c_str(), 0, &type);
    int r = -1;
    if (h >= 0) {
      GRD_getinfo(h, info != nullptr ? info : &local);
      r = GRD_read(h, g, 0, nullptr);
      GRD_close(h);
    }
    err_ = testing::internal::GetCapturedStderr();
    return r;
  }
  std::string dir_ = make_temp_dir("grd_read");
  std::string out_, err_;
};

struct ChkCase {
  std::string content;
  int type;
};

class GridChkType : public ::testing::TestWithParam<ChkCase> {};

TEST_P(GridChkType, DetectsFromTheFirstBytes) {
  std::string dir = make_temp_dir("grd_chk");
  write_file(dir + "/f", GetParam().content);
  EXPECT_EQ(GRD_chktype((dir + "/f").c_str()), GetParam().type);
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GridChkType,
    ::testing::Values(ChkCase{" 12Z", 1}, ChkCase{"7 3", 1}, ChkCase{"ZAVGRID4B\nx", 4}, ChkCase{"ZAVGRID4\n", 4},
                      ChkCase{"ZAVGRID\n", 2}, ChkCase{"CDF\x01", 11}, ChkCase{"GRIB\x01", 21}, ChkCase{"*abc", 21},
                      ChkCase{std::string("\x01xyz"), 21}, ChkCase{"GRIDGRIB", 22},
                      ChkCase{std::string(50, 'x') + "GRIB", 21}, ChkCase{std::string(196, 'x') + "GRIB", 21},
                      ChkCase{std::string(197, 'x') + "GRIB", -1}, ChkCase{"hello", -1}, ChkCase{"ZAVGRI", -1},
                      ChkCase{"", -1}));

TEST(GridChkTypeMissing, UnreadableNamesAreUnknown) {
  EXPECT_EQ(GRD_chktype("/nonexistent/grid"), -1);
  EXPECT_EQ(GRD_chktype(""), -1);
  EXPECT_EQ(GRD_chktype(nullptr), -1);
}

TEST_F(GridFiles, TextLayoutAndRoundTrip) {
  GridRec g = make_grid(make_domain(2, 3, 2));
  const std::string path = dir_ + "/t.grd";
  ASSERT_EQ(save(path, g, 2), 1);
  EXPECT_EQ(out_, "Creating grid file: " + path + "\n");
  EXPECT_EQ(std::string(g.units), "deg_C");
  EXPECT_EQ(read_file(path),
            "ZAVGRID\n12Z  5 JAN 98\n2-Temperature (deg C)\n1 1 1 2 1 0 0 5:deg_C\n"
            "LL 40.000000 -100.000000 1.500000 1.250000 3 2\n"
            "-3.00000000e+00\n-9.99900000e+03\n-2.00000000e+00\n-1.50000000e+00\n"
            "-1.00000000e+00\n-5.00000000e-01\n");
  GridRec back;
  GRD_init(&back);
  GridInfo info{};
  ASSERT_EQ(read_first(path, &back, &info), 0) << err_;
  EXPECT_STREQ(info.label, "12Z  5 JAN 98");
  EXPECT_EQ(info.nx, 3);
  EXPECT_EQ(info.date.day, 5);
  EXPECT_EQ(info.date.hour, 12);
  EXPECT_STREQ(back.datatype, "Temperature (deg C)");
  EXPECT_STREQ(back.units, "deg_C");
  EXPECT_EQ(back.var, 5);
  EXPECT_EQ(back.type, 2);
  EXPECT_EQ(DOM_comp(&back.domain, &g.domain), 1);
  EXPECT_EQ(back.domain.proj, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(back.values[i], g.values[i]) << i;
  GRD_free(&back);
  GRD_free(&g);
}

TEST_F(GridFiles, FormatEmptyUnitsAndSeveralGrids) {
  GridRec g = make_grid(make_domain(3, 2, 1), "");
  GRD_set_format("%8.2f");
  for (const char* bad : {"%s", "%f %f", "%d", "no conversion", "%8.2f%n"}) {
    testing::internal::CaptureStderr();
    GRD_set_format(bad);  // rejected: keeps the last good format
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("GRD_set_format: Invalid grid value format: ") + bad + "\n");
  }
  const std::string path = dir_ + "/two.grd";
  int type = 2;
  int h = GRD_open(path.c_str(), 1, &type);
  ASSERT_GE(h, 0);
  GridInfo info = make_info(g);
  ASSERT_EQ(GRD_putinfo(h, &info), 0);
  ASSERT_EQ(GRD_write(h, &g, 0, nullptr), 0);
  g.values[0] = 7.0f;
  ASSERT_EQ(GRD_write(h, &g, 0, nullptr), 0);
  ASSERT_EQ(GRD_close(h), 0);
  std::vector<std::string> l = lines(read_file(path));
  ASSERT_EQ(l.size(), 13u);
  EXPECT_EQ(l[3], "1 1 1 2 1 0 0 5");
  EXPECT_EQ(l[4], "ME 40.000000 -100.000000 1.500000 1.250000 2 1");
  EXPECT_EQ(l[5], "   -3.00");

  type = 0;
  h = GRD_open(path.c_str(), 0, &type);
  ASSERT_GE(h, 0);
  EXPECT_EQ(type, 2);
  GridRec back;
  GRD_init(&back);
  int pos = -1;
  ASSERT_EQ(GRD_read(h, &back, 0, &pos), 0);
  EXPECT_EQ(pos, 0);
  ASSERT_EQ(GRD_read(h, &back, 0, &pos), 0);
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(back.values[0], 7.0f);
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_read(h, &back, 0, &pos), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_read: No more grids in " + path + "\n");
  ASSERT_EQ(GRD_rewind(h), 0);
  ASSERT_EQ(GRD_read(h, &back, 0, &pos), 0);
  EXPECT_EQ(back.values[0], -3.0f);
  EXPECT_EQ(GRD_close(h), 0);
  EXPECT_EQ(GRD_close(h), -1);
  GRD_free(&back);
  GRD_free(&g);
}

struct TagCase {
  int proj;
  float plat, plon, p3;
  std::string tag;
};

class GridTags : public GridFiles, public ::testing::WithParamInterface<TagCase> {};

TEST_P(GridTags, ProjectionTagWrittenAndReadBack) {
  const TagCase& c = GetParam();
  DomainRec d = make_domain(c.proj, 2, 2);
  d.plat = c.plat;
  d.plon = c.plon;
  d.p3 = c.p3;
  if (c.p3 != -9999.0f) d.p4 = 30.0f, d.p5 = 0.0f;
  GridRec g = make_grid(d);
  const std::string path = dir_ + "/tag.grd";
  ASSERT_EQ(save(path, g, 2), 1);
  EXPECT_EQ(lines(read_file(path))[4], c.tag + "40.000000 -100.000000 1.500000 1.250000 2 2");
  if (c.tag != "") {
    GridRec back;
    GRD_init(&back);
    ASSERT_EQ(read_first(path, &back), 0) << err_;
    EXPECT_EQ(back.domain.proj, c.proj);
    EXPECT_EQ(DOM_comp(&back.domain, &d), 1);
    if (c.p3 != -9999.0f) {
      EXPECT_EQ(back.domain.p4, 30.0f);
    }
    GRD_free(&back);
  }
  GRD_free(&g);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GridTags,
    ::testing::Values(TagCase{1, -9999.0f, -100.0f, -9999.0f, "PS "}, TagCase{1, -9999.0f, -9999.0f, -9999.0f, "PS "},
                      TagCase{1, -9999.0f, -105.0f, -9999.0f, "PS:-105.000000 "},
                      TagCase{4, -9999.0f, -9999.0f, -9999.0f, "LC "},
                      TagCase{4, -9999.0f, -95.0f, -9999.0f, "LC:-95.000000 "},
                      TagCase{4, 25.0f, -95.0f, 25.0f, "LC:25.000000:-95.000000:25.000000:30.000000:0.000000 "},
                      TagCase{2, -9999.0f, -9999.0f, -9999.0f, "LL "}, TagCase{5, -9999.0f, -9999.0f, -9999.0f, ""}));

TEST_F(GridFiles, BinaryValuesAreBigEndianFloats) {
  GridRec g = make_grid(make_domain(1, 25, 17));
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
  GridRec back;
  GRD_init(&back);
  ASSERT_EQ(read_first(path, &back), 0) << err_;
  EXPECT_EQ(std::memcmp(back.values, g.values, 425 * sizeof(float)), 0);
  GRD_free(&back);

  // A version-4 file announcing binary values with a text type digit reads them as binary.
  std::string v4 = "ZAVGRID4B\n" + text.substr(8);
  v4[v4.find("3-")] = '2';
  write_file(path, v4);
  GRD_init(&back);
  ASSERT_EQ(read_first(path, &back), 0) << err_;
  EXPECT_EQ(back.values[424], g.values[424]);
  GRD_free(&back);
  GRD_free(&g);
}

TEST_F(GridFiles, NetcdfLayoutAndRoundTrip) {
  GridRec g = make_grid(make_domain(4, 3, 2));
  g.domain.plon = -95.0f;
  const std::string path = dir_ + "/g.nc";
  ASSERT_EQ(save(path, g, 11), 1);
  EXPECT_EQ(out_, "Creating grid file: " + path + "\n");
  RunResult h = ncdump({"-h", path});
  ASSERT_EQ(h.status, 0) << h.err;
  for (const char* want :
       {"\tgrid = UNLIMITED ; // (1 currently)", "\tx = 3 ;", "\ty = 2 ;", "\tstring_len = 50 ;",
        "\tfloat values(grid, x, y) ;", "\t\tvalues:name = \"VALUES\" ;", "\t\tvalues:long_name = \"Grid values\" ;",
        "\t\tvalues:_FillValue = -9999.f ;", "\tshort proj(grid) ;", "\t\tproj:long_name = \"Projection\" ;",
        "\tfloat lat1(grid) ;", "\t\tlat1:name = \"CLAT\" ;", "\t\tlat1:long_name = \"Grid central latitude\" ;",
        "\t\tlat1:units = \"DEG\" ;", "\t\tlon2:name = \"LON2\" ;", "\t\tdx:units = \"100 KM\" ;", "\t\tdy:name = \"DY\" ;",
        "\tchar datim(grid, string_len) ;", "\t\tdatim:name = \"DATETIME\" ;",
        "\t\tinfo:long_name = \"Grid variable information\" ;", "\tshort time(grid) ;", "\t\ttime:units = \"HOUR\" ;",
        "\t\tny:name = \"NY\" ;", "\t\t:source = \"ZAV\" ;", "\t\t:version = \"1.0\" ;", "\t\t:grid_type = 0s ;",
        "\t\t:year = 1998s ;", "\t\t:month = 1s ;", "\t\t:day = 5s ;", "\t\t:hour = 12s ;"}) {
    EXPECT_NE(h.out.find(std::string(want) + "\n"), std::string::npos) << want << "\n" << h.out;
  }
  EXPECT_EQ(h.out.find("x_coord"), std::string::npos);
  EXPECT_EQ(ncdump({"-k", path}).out, "classic\n");
  RunResult v = ncdump({"-v", "values,datim,lon2,var", path});
  ASSERT_EQ(v.status, 0) << v.err;
  EXPECT_NE(v.out.find(" values =\n  -3, _,\n  -2, -1.5,\n  -1, -0.5 ;"), std::string::npos) << v.out;
  EXPECT_NE(v.out.find(" datim =\n  \"12Z  5 JAN 98\" ;"), std::string::npos) << v.out;
  EXPECT_NE(v.out.find(" lon2 = -95 ;"), std::string::npos) << v.out;
  EXPECT_NE(v.out.find(" var = 5 ;"), std::string::npos) << v.out;

  GridRec back;
  GRD_init(&back);
  GridInfo info{};
  ASSERT_EQ(read_first(path, &back, &info), 0) << err_;
  EXPECT_EQ(info.nx, 3);
  EXPECT_EQ(info.ny, 2);
  EXPECT_EQ(info.date.year, 1998);
  EXPECT_EQ(info.date.hour, 12);
  EXPECT_STREQ(info.label, "12Z  5 JAN 98");
  EXPECT_STREQ(back.datatype, "Temperature (deg C)");
  EXPECT_EQ(back.domain.proj, 4);
  EXPECT_EQ(back.domain.plon, -95.0f);
  EXPECT_EQ(DOM_comp(&back.domain, &g.domain), 1);
  EXPECT_EQ(std::memcmp(back.values, g.values, 6 * sizeof(float)), 0);
  GRD_free(&back);

  // Appending adds the grid as the next record.
  FLAG_set(15, 2);
  g.values[0] = 42.0f;
  ASSERT_EQ(save(path, g, 11), 1);
  EXPECT_EQ(out_, "Appending to grid file: " + path + "\n");
  RunResult a = ncdump({"-v", "nx", path});
  EXPECT_NE(a.out.find("grid = UNLIMITED ; // (2 currently)"), std::string::npos) << a.out;
  // The package format cannot be appended to.
  const std::string pkg = dir_ + "/p.grd";
  write_file(pkg, "ZAVGRID\n");
  EXPECT_EQ(save(pkg, g, 2), 0);
  EXPECT_EQ(err_, "GRD_save_file: Unable to open grid file: " + pkg + "\n");
  GRD_free(&g);
}

TEST_F(GridFiles, SaveCodeZeroAndRefusals) {
  GridRec g = make_grid(make_domain(2, 2, 2));
  const std::string path = dir_ + "/zero.grd";
  EXPECT_EQ(save(path, g, 0), 0);
  EXPECT_EQ(out_ + err_, "");
  EXPECT_FALSE(std::filesystem::exists(path));

  write_file(path, "old");
  FLAG_set(15, 3);  // keep existing files
  EXPECT_EQ(save(path, g, 2), 0);
  EXPECT_EQ(err_, "GRD_save_file: Unable to overwrite grid file: " + path + "\n");
  EXPECT_EQ(read_file(path), "old");

  // grid_path completes relative names.
  FLAG_set(15, 1);
  RES_put("grid_path", dir_.c_str());
  EXPECT_EQ(save("rel.grd", g, 2), 1);
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/rel.grd"));
  GRD_free(&g);
}

TEST_F(GridFiles, UnwritableDestinationsLeaveNothing) {
  GridRec g = make_grid(make_domain(2, 2, 2));
  write_file(dir_ + "/plain", "x");
  for (int format : {2, 3, 11}) {
    const std::string path = dir_ + "/plain/sub/g.grd";
    EXPECT_EQ(save(path, g, format), 0);
    EXPECT_EQ(err_, "GRD_save_file: Unable to create grid file: " + path + "\n") << format;
    EXPECT_EQ(out_, "");
  }
  // A grid without values is not written, and no partial file is left.
  GridRec empty = g;
  empty.values = nullptr;
  EXPECT_EQ(save(dir_ + "/novalues.grd", empty, 2), 0);
  EXPECT_EQ(err_, "GRD_save_file: Unable to create grid file: " + dir_ + "/novalues.grd\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/novalues.grd"));
  EXPECT_EQ(save(dir_ + "/novalues.nc", empty, 11), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/novalues.nc"));
  if (geteuid() != 0) {
    std::filesystem::create_directory(dir_ + "/ro");
    chmod((dir_ + "/ro").c_str(), 0555);
    EXPECT_EQ(save(dir_ + "/ro/g.nc", g, 11), 0);
    EXPECT_EQ(err_, "GRD_save_file: Unable to create grid file: " + dir_ + "/ro/g.nc\n");
    chmod((dir_ + "/ro").c_str(), 0755);
  }
  GRD_free(&g);
}

TEST_F(GridFiles, ReadCheckKeepsMatchingGridsOnly) {
  DomainRec d = make_domain(1, 4, 3);
  GridRec g = make_grid(d);
  const std::string path = dir_ + "/rc.grd";
  ASSERT_EQ(save(path, g, 2), 1);
  GridRec slot;
  GRD_init(&slot);
  GridInfo info{};
  int type = 0;
  FLAG_set(15, 1);  // always overwrite: never read back
  EXPECT_EQ(GRD_read_check(path.c_str(), &slot, &info, &type, &d), 0);
  FLAG_set(15, 0);
  EXPECT_EQ(GRD_read_check((dir_ + "/absent").c_str(), &slot, &info, &type, &d), 0);
  EXPECT_EQ(GRD_read_check("", &slot, &info, &type, &d), 0);
  EXPECT_EQ(GRD_read_check(path.c_str(), &slot, &info, &type, &d), 1);
  EXPECT_EQ(type, 2);
  ASSERT_NE(slot.values, nullptr);
  EXPECT_EQ(slot.values[11], g.values[11]);
  EXPECT_EQ(slot.source, 1);

  DomainRec other = d;
  other.clat = 45.0f;
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_read_check(path.c_str(), &slot, &info, &type, &other), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "GRD_read_check: " + path + " file does not correspond to selected region\n");
  EXPECT_EQ(slot.source, 0);
  GRD_free(&slot);
  GRD_free(&g);
}

TEST(GridReadCheckPrompt, AnsweringYesAnalysesAgain) {
  // The question is read from standard input: feed it an answer file.
  std::string dir = make_temp_dir("grd_prompt");
  write_file(dir + "/x.grd", "ZAVGRID\n");
  FLAG_set(15, 0);
  FLAG_set_batch(0);
  int saved = dup(0);
  write_file(dir + "/answer", "y\n");
  FILE* in = std::freopen((dir + "/answer").c_str(), "r", stdin);
  ASSERT_NE(in, nullptr);
  GridRec slot;
  GRD_init(&slot);
  GridInfo info{};
  int type = 0;
  DomainRec d;
  DOM_init(&d);
  testing::internal::CaptureStdout();
  EXPECT_EQ(GRD_read_check((dir + "/x.grd").c_str(), &slot, &info, &type, &d), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(dir + "/x.grd: exists overwrite (Y/N): "), std::string::npos);
  dup2(saved, 0);
  close(saved);
  std::clearerr(stdin);
  FLAG_set_batch(1);
  std::filesystem::remove_all(dir);
}

struct HostileCase {
  std::string name;
  std::string content;
  std::string message;  // expected part of the message
};

class GridHostile : public GridFiles, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(GridHostile, DamagedFilesFailCleanly) {
  const std::string path = dir_ + "/bad.grd";
  write_file(path, GetParam().content);
  GridRec g;
  GRD_init(&g);
  EXPECT_EQ(read_first(path, &g), -1);
  EXPECT_NE(err_.find(GetParam().message), std::string::npos) << err_;
  GRD_free(&g);
}

const std::string kHead = "ZAVGRID\nlabel\n2-T\n1 1 1 2 1 0 0 5:K\n";

INSTANTIATE_TEST_SUITE_P(
    Table, GridHostile,
    ::testing::Values(
        HostileCase{"HeaderOnly", "ZAVGRID\n", "GRD_read: No more grids in "},
        HostileCase{"BlankLineOnly", "ZAVGRID\n\n", "GRD_read: No more grids in "},
        HostileCase{"CutHeader", "ZAVGRID\nlabel\n2-T\n", "GRD_read: Grid file ends inside a grid header: "},
        HostileCase{"BadTypeLine", "ZAVGRID\nlabel\nxx\n1\n", "GRD_read: Invalid grid type line in "},
        HostileCase{"BadNumbers", "ZAVGRID\nlabel\n2-T\n1 1 x\nLL 1 1 1 1 1 1\n1\n",
                    "GRD_read: Invalid grid description line in "},
        HostileCase{"HugeSize", kHead + "LL 40 -100 1 1 100000 100000\n1\n", "GRD_read: Invalid grid size 100000 x 100000"},
        HostileCase{"NegativeSize", kHead + "LL 40 -100 1 1 -5 3\n1\n", "GRD_read: Invalid grid size -5 x 3"},
        HostileCase{"OverflowSize", kHead + "LL 40 -100 1 1 99999999999 3\n", "GRD_read: Invalid grid domain line"},
        HostileCase{"BadLambert", kHead + "LC:1:2 40 -100 1 1 2 2\n", "GRD_read: Invalid grid domain line"},
        HostileCase{"ShortText", kHead + "LL 40 -100 1 1 1000 1000\n1\n2\n", "GRD_read: Grid file too short for 1000 x 1000"},
        HostileCase{"GarbageValue", kHead + "LL 40 -100 1 1 2 1\n1.5\nabc\n", "GRD_read: Invalid grid value 2 in "},
        HostileCase{"ShortBinary", "ZAVGRID\nlabel\n3-T\n1 1 1 2 1 0 0 5\nLL 40 -100 1 1 2 2\n12345678\n",
                    "GRD_read: Grid file too short for 2 x 2"},
        HostileCase{"Grib", std::string(60, 'x') + "GRIB", "GRD_read: GRIB files are not supported\n"}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

TEST_F(GridFiles, HandleTableHoldsFifteenFiles) {
  write_file(dir_ + "/h.grd", "ZAVGRID\n");
  std::vector<int> open;
  for (int i = 0; i < GRD_MAX_FILES; ++i) {
    int type = 0;
    open.push_back(GRD_open((dir_ + "/h.grd").c_str(), 0, &type));
    EXPECT_EQ(open.back(), i);
  }
  int type = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(GRD_open((dir_ + "/h.grd").c_str(), 0, &type), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_open: Too many grid files open\n");
  for (int h : open) EXPECT_EQ(GRD_close(h), 0);
  type = 0;
  EXPECT_EQ(GRD_open((dir_ + "/h.grd").c_str(), 1, &type), -1);  // type 0 only for reading
  type = 7;
  EXPECT_EQ(GRD_open((dir_ + "/h.grd").c_str(), 0, &type), -1);
  type = 11;
  int h = GRD_open("-", 0, &type);  // standard streams carry package grids
  EXPECT_EQ(type, 2);
  EXPECT_EQ(GRD_close(h), 0);
}

TEST_F(GridFiles, EveryTruncationFailsCleanly) {
  GridRec g = make_grid(make_domain(4, 3, 2));
  g.domain.p3 = 25.0f;
  for (int format : {2, 3, 11}) {
    const std::string path = dir_ + "/full";
    ASSERT_EQ(save(path, g, format), 1);
    const std::string text = read_file(path);
    // Binary grids end in a newline the reader does not need; a text grid cut inside its
    // last value line still reads (a final line without newline is accepted). The netCDF
    // library does not notice missing record data, so there only a cut header must fail.
    std::size_t complete = text.size() - 1;
    if (format == 2) complete = text.rfind('\n', text.size() - 2) + 3;  // past "\n-5"
    for (std::size_t n = 1; n < text.size(); ++n) {
      write_file(dir_ + "/cut", text.substr(0, n));
      GridRec back;
      GRD_init(&back);
      int r = read_first(dir_ + "/cut", &back);
      if (format != 11) {
        EXPECT_EQ(r, n >= complete ? 0 : -1) << format << " at " << n;
      } else if (n < 1000) {
        EXPECT_EQ(r, -1) << n;
      }
      GRD_free(&back);
    }
  }
  GRD_free(&g);
}
