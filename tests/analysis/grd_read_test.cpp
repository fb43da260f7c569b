#include "analysis/grd_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
  GridRec g{2, 1, 1, "12Z  5 JAN 98", "Temperature (deg C)", {}, 1, 1, 0, 0, 5, {}, d, nullptr};
  std::snprintf(g.units, sizeof g.units, "%s", units);
  EXPECT_EQ(GRD_alloc(&g), 1);
  for (int i = 0; i < d.nx * d.ny; ++i) g.values[i] = static_cast<float>(i) * 0.5f - 3.0f;
  g.values[1] = -9999.0f;
  return g;
}

GridInfo make_info(const GridRec& g) {
  GridInfo info{{}, g.domain.nx, g.domain.ny, 0, {}};
  std::snprintf(info.label, sizeof info.label, "%.39s", g.label);
  DATE_init(&info.date);
  info.date.year = 1998;
  info.date.month = 1;
  info.date.day = 5;
  info.date.hour = 12;
  return info;
}

// Line n (from 0) of text.
std::string line(const std::string& text, int n) {
  std::size_t at = 0;
  for (int i = 0; i < n && at != std::string::npos; ++i) at = text.find('\n', at) + 1;
  return text.substr(at, text.find('\n', at) - at);
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
  // Saves grid with the format code; the messages printed go to out_ and err_.
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

TEST(GridChkType, DetectsFromTheFirstBytes) {
  const std::string dir = make_temp_dir("grd_chk");
  const std::pair<std::string, int> cases[] = {
      {" 12Z", 1}, {"7 3", 1}, {"ZAVGRID4B\nx", 4}, {"ZAVGRID4\n", 4}, {"ZAVGRID\n", 2}, {"CDF\x01", 11},
      {"GRIB\x01", 21}, {"*abc", 21}, {"\x01xyz", 21}, {"GRIDGRIB", 22}, {std::string(50, 'x') + "GRIB", 21},
      {std::string(196, 'x') + "GRIB", 21}, {std::string(197, 'x') + "GRIB", -1}, {"hello", -1},
      {"ZAVGRI", -1}, {"", -1}};
  for (const auto& [content, type] : cases) {
    write_file(dir + "/f", content);
    EXPECT_EQ(GRD_chktype((dir + "/f").c_str()), type) << content;
  }
  EXPECT_EQ(GRD_chktype("/nonexistent/grid"), -1);
  EXPECT_EQ(GRD_chktype(""), -1);
  EXPECT_EQ(GRD_chktype(nullptr), -1);
  std::filesystem::remove_all(dir);
}

TEST_F(GridFiles, TextLayoutAndRoundTrip) {
  GridRec g = make_grid(make_domain(2, 3, 2));
  const std::string path = dir_ + "/t.grd";
  ASSERT_EQ(save(path, g, 2), 1);
  EXPECT_EQ(out_, "Creating grid file: " + path + "\n");
  EXPECT_STREQ(g.units, "deg_C");
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
  EXPECT_EQ(std::vector<int>({info.nx, info.date.day, info.date.hour}), std::vector<int>({3, 5, 12}));
  EXPECT_STREQ(back.datatype, "Temperature (deg C)");
  EXPECT_STREQ(back.units, "deg_C");
  EXPECT_EQ(std::vector<int>({back.var, back.type}), std::vector<int>({5, 2}));
  EXPECT_EQ(DOM_comp(&back.domain, &g.domain), 1);
  EXPECT_EQ(std::memcmp(back.values, g.values, 6 * sizeof(float)), 0);
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
  const std::string text = read_file(path);
  EXPECT_EQ(line(text, 3) + "|" + line(text, 4) + "|" + line(text, 5) + "|" + line(text, 11),
            "1 1 1 2 1 0 0 5|ME 40.000000 -100.000000 1.500000 1.250000 2 1|   -3.00|    7.00");

  type = 0;
  h = GRD_open(path.c_str(), 0, &type);
  ASSERT_GE(h, 0);
  EXPECT_EQ(type, 2);
  GridRec back;
  GRD_init(&back);
  int pos = -1;
  ASSERT_EQ(GRD_read(h, &back, 0, &pos) + GRD_read(h, &back, 0, &pos), 0);
  EXPECT_EQ(std::vector<float>({static_cast<float>(pos), back.values[0]}), std::vector<float>({1, 7}));
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

TEST_F(GridFiles, ProjectionTagWrittenAndReadBack) {
  const float M = -9999.0f;
  const struct {
    int proj;
    float plat, plon, p3;
    const char* tag;
  } cases[] = {{1, M, -100.0f, M, "PS "}, {1, M, M, M, "PS "}, {1, M, -105.0f, M, "PS:-105.000000 "},
               {4, M, M, M, "LC "}, {4, M, -95.0f, M, "LC:-95.000000 "},
               {4, 25.0f, -95.0f, 25.0f, "LC:25.000000:-95.000000:25.000000:30.000000:0.000000 "},
               {2, M, M, M, "LL "}, {5, M, M, M, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    DomainRec d = make_domain(c.proj, 2, 2);
    d.plat = c.plat;
    d.plon = c.plon;
    d.p3 = c.p3;
    if (c.p3 != M) d.p4 = 30.0f, d.p5 = 0.0f;
    GridRec g = make_grid(d);
    const std::string path = dir_ + "/tag.grd";
    ASSERT_EQ(save(path, g, 2), 1);
    EXPECT_EQ(line(read_file(path), 4), std::string(c.tag) + "40.000000 -100.000000 1.500000 1.250000 2 2");
    GridRec back;
    GRD_init(&back);
    if (*c.tag != '\0') {
      ASSERT_EQ(read_first(path, &back), 0) << err_;
      EXPECT_EQ(back.domain.proj, c.proj);
      EXPECT_EQ(DOM_comp(&back.domain, &d), 1);
      EXPECT_EQ(back.domain.p4, d.p4);
    }
    GRD_free(&back);
    GRD_free(&g);
  }
}

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

  // A version-4 file announcing binary values with a text type digit reads them as binary.
  std::string v4 = "ZAVGRID4B\n" + text.substr(8);
  v4[v4.find("3-")] = '2';
  write_file(path, v4);
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
  for (const char* want : {" values =\n  -3, _,\n  -2, -1.5,\n  -1, -0.5 ;", " datim =\n  \"12Z  5 JAN 98\" ;",
                           " lon2 = -95 ;", " var = 5 ;"})
    EXPECT_NE(v.out.find(want), std::string::npos) << want << "\n" << v.out;

  GridRec back;
  GRD_init(&back);
  GridInfo info{};
  ASSERT_EQ(read_first(path, &back, &info), 0) << err_;
  EXPECT_EQ(std::vector<int>({info.nx, info.ny, info.date.year, info.date.hour}), std::vector<int>({3, 2, 1998, 12}));
  EXPECT_STREQ(info.label, "12Z  5 JAN 98");
  EXPECT_STREQ(back.datatype, "Temperature (deg C)");
  EXPECT_EQ(DOM_comp(&back.domain, &g.domain), 1);
  EXPECT_EQ(back.domain.plon, -95.0f);
  EXPECT_EQ(std::memcmp(back.values, g.values, 6 * sizeof(float)), 0);
  GRD_free(&back);

  // Appending adds the grid as the next record; the package format cannot be appended to.
  FLAG_set(15, 2);
  ASSERT_EQ(save(path, g, 11), 1);
  EXPECT_EQ(out_, "Appending to grid file: " + path + "\n");
  EXPECT_NE(ncdump({"-h", path}).out.find("grid = UNLIMITED ; // (2 currently)"), std::string::npos);
  const std::string pkg = dir_ + "/p.grd";
  write_file(pkg, "ZAVGRID\n");
  EXPECT_EQ(save(pkg, g, 2), 0);
  EXPECT_EQ(err_, "GRD_save_file: Unable to open grid file: " + pkg + "\n");
  GRD_free(&g);
}

TEST_F(GridFiles, SaveCodeZeroRefusalsAndUnwritableDestinations) {
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
  FLAG_set(15, 1);
  RES_put("grid_path", dir_.c_str());  // completes relative names
  EXPECT_EQ(save("rel.grd", g, 2), 1);
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/rel.grd"));

  // Unwritable places and grids without values leave no file behind.
  write_file(dir_ + "/plain", "x");
  GridRec empty = g;
  empty.values = nullptr;
  std::vector<std::pair<std::string, GridRec*>> refused;
  for (const char* name : {"/plain/sub/g.grd", "/plain/sub/g.nc"}) refused.push_back({dir_ + name, &g});
  for (const char* name : {"/novalues.grd", "/novalues.nc"}) refused.push_back({dir_ + name, &empty});
  if (geteuid() != 0) {
    std::filesystem::create_directory(dir_ + "/ro");
    chmod((dir_ + "/ro").c_str(), 0555);
    refused.push_back({dir_ + "/ro/g.nc", &g});
  }
  for (const auto& [name, grid] : refused) {
    for (int format : {3, 11}) {
      EXPECT_EQ(save(name, *grid, format), 0);
      EXPECT_EQ(err_, "GRD_save_file: Unable to create grid file: " + name + "\n") << format;
      EXPECT_FALSE(std::filesystem::exists(name)) << name;
    }
  }
  chmod((dir_ + "/ro").c_str(), 0755);
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

  // Interactively the user is asked; "y" means analyse again. The answer comes on stdin.
  FLAG_set_batch(0);
  const int saved = dup(0);
  write_file(dir_ + "/answer", "y\n");
  ASSERT_NE(std::freopen((dir_ + "/answer").c_str(), "r", stdin), nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(GRD_read_check(path.c_str(), &slot, &info, &type, &d), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(path + ": exists overwrite (Y/N): "), std::string::npos);
  dup2(saved, 0);
  close(saved);
  std::clearerr(stdin);
  GRD_free(&slot);
  GRD_free(&g);
}

TEST_F(GridFiles, DamagedFilesFailCleanly) {
  const std::string head = "ZAVGRID\nlabel\n2-T\n1 1 1 2 1 0 0 5:K\n";
  const std::pair<std::string, std::string> cases[] = {
      {"ZAVGRID\n", "GRD_read: No more grids in "},
      {"ZAVGRID\n\n", "GRD_read: No more grids in "},
      {"ZAVGRID\nlabel\n2-T\n", "GRD_read: Grid file ends inside a grid header: "},
      {"ZAVGRID\nlabel\nxx\n1\n", "GRD_read: Invalid grid type line in "},
      {"ZAVGRID\nlabel\n2-T\n1 1 x\nLL 1 1 1 1 1 1\n1\n", "GRD_read: Invalid grid description line in "},
      {head + "LL 40 -100 1 1 100000 100000\n1\n", "GRD_read: Invalid grid size 100000 x 100000"},
      {head + "LL 40 -100 1 1 -5 3\n1\n", "GRD_read: Invalid grid size -5 x 3"},
      {head + "LL 40 -100 1 1 99999999999 3\n", "GRD_read: Invalid grid domain line"},
      {head + "LC:1:2 40 -100 1 1 2 2\n", "GRD_read: Invalid grid domain line"},
      {head + "LL 40 -100 1 1 1000 1000\n1\n2\n", "GRD_read: Grid file too short for 1000 x 1000"},
      {head + "LL 40 -100 1 1 2 1\n1.5\nabc\n", "GRD_read: Invalid grid value 2 in "},
      {"ZAVGRID\nlabel\n3-T\n1 1 1 2 1 0 0 5\nLL 40 -100 1 1 2 2\n12345678\n", "GRD_read: Grid file too short for 2 x 2"},
      {std::string(60, 'x') + "GRIB", "GRD_read: GRIB files are not supported\n"}};
  for (const auto& [content, message] : cases) {
    write_file(dir_ + "/bad.grd", content);
    GridRec g;
    GRD_init(&g);
    EXPECT_EQ(read_first(dir_ + "/bad.grd", &g), -1) << content;
    EXPECT_NE(err_.find(message), std::string::npos) << err_;
    GRD_free(&g);
  }
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
  type = 0;
  EXPECT_EQ(GRD_open(path.c_str(), 1, &type), -1);  // type 0 only for reading
  type = 7;
  EXPECT_EQ(GRD_open(path.c_str(), 0, &type), -1);
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
