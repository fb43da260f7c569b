#include "analysis/grd_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "analysis/grd_cf.h"
#include "config/flag.h"
#include "config/resrc.h"
#include "tests/support/analysis_table.h"
#include "tests/support/run.h"

namespace {

constexpr float M = -9999.0f;

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
  int read_check(const std::string& path, const DomainRec& d, GridRec* slot, int* type = nullptr) {
    int t = 0;
    GridInfo i{};
    testing::internal::CaptureStderr();
    const int r = GRD_read_check(path.c_str(), slot, &i, type ? type : &t, &d);
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

// A grid file that arrives through a pipe, which cannot say where it stands, is read a
// character at a time, to the same values.
TEST_F(GridFiles, TextGridThroughAPipe) {
  Grid g(make_domain(2, 3, 2));
  const std::string path = dir_ + "/t.grd", fifo = dir_ + "/pipe.grd";
  ASSERT_EQ(save(path, g, 2), 1);
  const std::string text = read_file(path);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    if (std::FILE* f = std::fopen(fifo.c_str(), "w")) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
  });
  // Its form named, so that the pipe is opened once.
  Grid back;
  int type = GRD_FILE_TEXT;
  const int h = GRD_open(fifo.c_str(), 0, &type);
  const int r = h < 0 ? -1 : GRD_read(h, &back, 0, nullptr);
  if (h >= 0) GRD_close(h);
  writer.join();
  ASSERT_EQ(r, 0);
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

// Code 0 saves nothing; a grid without values leaves no file behind. (Places that cannot be
// written, files kept and relative names are the program's runs', tests/data/driver/grids.runs.)
TEST_F(GridFiles, SaveCodeZeroAndGridsWithoutValues) {
  Grid g(make_domain(2, 2, 2));
  EXPECT_EQ(save(dir_ + "/zero.grd", g, 0), 0);
  EXPECT_EQ(out_ + err_, "");
  GridRec empty = g;
  empty.values = nullptr;
  for (const char* name : {"/novalues.grd", "/novalues.nc"}) {
    EXPECT_EQ(save(dir_ + name, empty, name[10] == 'n' ? 11 : 3), 0);
    EXPECT_EQ(err_, "GRD_save_file: Unable to create grid file: " + dir_ + name + "\n");
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
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

// The same on many values in the spellings writers use: the package's own ("%14.8e"), the
// shortest that gives a float back ("%.9g"), and fixed decimals, over the whole range of
// magnitudes a grid holds.
TEST_F(GridFiles, ManyWrittenValuesReadAsTheCLibraryReadsThem) {
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<std::uint32_t> any_bits;
  std::vector<std::string> texts;
  for (int k = 0; k < 30000; ++k) {
    // Random finite floats from 1e-30 to 1e30 and plain field values.
    float v;
    const std::uint32_t bits = (any_bits(rng) & 0x807FFFFFU) | ((any_bits(rng) % 200 + 27) << 23);
    std::memcpy(&v, &bits, sizeof v);
    const double field = static_cast<double>(any_bits(rng) % 2000000) / 100.0 - 10000.0;
    char buf[64];
    const char* forms[] = {"%14.8e", "%.9g", "%.3f"};
    for (const char* form : forms) {
      std::snprintf(buf, sizeof buf, form, k % 2 == 0 ? static_cast<double>(v) : field);
      texts.emplace_back(buf);
    }
  }
  std::string body;
  for (const std::string& t : texts) body += t + "\n";
  write_file(dir_ + "/many.grd", "ZAVGRID\nlabel\n2-T\n1 1 1 2 1 0 0 5:K\nLL 40 -100 1 1 " +
                                     std::to_string(texts.size()) + " 1\n" + body);
  Grid g;
  ASSERT_EQ(read_first(dir_ + "/many.grd", &g), 0) << err_;
  int wrong = 0;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    float want = std::strtof(texts[k].c_str(), nullptr);
    if (!std::isfinite(want)) want = -9999.0F;
    if (g.values[k] != want && ++wrong <= 5) ADD_FAILURE() << texts[k] << " read as " << g.values[k];
  }
  EXPECT_EQ(wrong, 0);
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

TEST(CfUnits, PackageUnitsInTheirUdunitsSpelling) {
  for (const TableRow& c : read_table("analysis/cf_units", 2)) EXPECT_STREQ(GRD_cf_units(c[0].c_str()), c[1].c_str()) << c[0];
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
