// End-to-end runs of the program on the bundled sample observations: grid files in every
// output format checked against an analysis computed here, reuse of existing grids, file
// sequences, unwritable grid paths, and the installed program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "analysis/object.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "surface/raw_tool.h"
#include "surface/sfc_read.h"
#include "surface/sfc_tool.h"
#include "surface/var_tool.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = STACONT_DATA_DIR;
const std::string kHourFile = "2026031412.sfc";

// Tools are found on the PATH.
RunResult tool(const std::string& name, std::vector<std::string> args, int timeout_s = 30) {
  args.insert(args.begin(), name);
  return run_program("/usr/bin/env", args, "", {}, "", timeout_s);
}

// Values of one variable as ncdump prints them ("_" is the fill value).
std::vector<float> ncdump_values(const std::string& file, const std::string& var) {
  const std::string out = tool("ncdump", {"-v", var, file}).out;
  const std::size_t at = out.find(" " + var + " =", out.find("\ndata:"));
  std::vector<float> values;
  if (at == std::string::npos) return values;
  std::string body = out.substr(at + var.size() + 3);
  std::replace(body.begin(), body.end(), ',', ' ');
  std::istringstream words(body.substr(0, body.find(';')));
  for (std::string w; words >> w;) values.push_back(w == "_" ? -9999.0f : std::stof(w));
  return values;
}

// The temperature analysis of one sample file on the "us" domain, made from the same
// pieces the program uses: reader, station placement, derivation, analysis.
struct Analysis {
  DomainRec domain{};
  std::vector<float> values;
  int stations = 0;
};

Analysis analyse(const std::string& file) {
  Analysis a;
  MESS_set_str("error");  // placement and analysis notes are the program's business
  RES_put("file_path", (kData + "/").c_str());
  if (DOM_decode("us", &a.domain) < 1) return a;
  MAP_domain(&a.domain);
  CTY_data_size(120);
  CTY_store("sao.cty", 3, &a.domain, 7);
  if (VAR_setup(nullptr, "temp") < 1) return a;
  VarRec* var = VAR_get_var(0);
  GRD_set_grid_domain(0, &a.domain);
  GridRec* g = GRD_get_grid(0);
  if (!GRD_alloc(g)) return a;
  if (!SFC_open_file(file.c_str())) return a;
  std::vector<float> x, y, v;
  sfc_report rep;
  StationRec st{};
  for (int r; (r = SFC_read_report(&rep, &st)) >= 0;) {
    if (r == 0) continue;
    float gx = -9999.0f, gy = -9999.0f;
    MAP_domain_tran(&a.domain, &a.domain, &gx, &gy, st.x, st.y);
    RawDataRec raw;
    RAW_data_init(&raw);
    SFC_get_data(&rep, var, &raw);
    x.push_back(gx);
    y.push_back(gy);
    v.push_back(raw.val1);
  }
  SFC_close_file();
  a.stations = static_cast<int>(v.size());
  OBJ_set_filter(1.0f);
  OBJ_set_rad_inf(3.0f);
  float* data[1] = {v.data()};
  if (OBJ_analyze(x.data(), y.data(), data, a.stations, 1, GRD_get_grids()) != 0) return a;
  a.domain = g->domain;
  a.values.assign(g->values, g->values + g->domain.nx * g->domain.ny);
  return a;
}

class StacontE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { reference_ = std::make_unique<Analysis>(analyse(kData + "/sample/" + kHourFile)); }
  void SetUp() override {
    dir_ = make_temp_dir("stacont_e2e");
    env_ = clean_env(dir_ + "/no-resource-files");
    // The input is a copy, so nothing a run writes can land beside the bundled files.
    write_file(dir_ + "/" + kHourFile, read_file(kData + "/sample/" + kHourFile));
  }
  RunResult run(const std::string& of, const std::string& grid_path, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-ba", "-me", "mess", "-fp", kData, "-pd", "us", "-va", "temp",
                                     "-of", of, "-gp", grid_path};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(dir_ + "/" + kHourFile);
    return run_stacont(args, "", env_, dir_, 60);
  }
  static std::unique_ptr<Analysis> reference_;
  std::string dir_;
  std::map<std::string, std::string> env_;
};
std::unique_ptr<Analysis> StacontE2E::reference_;

void expect_close(const std::vector<float>& got, const std::vector<float>& want, double rel) {
  ASSERT_EQ(got.size(), want.size());
  int bad = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const bool ok = want[i] == -9999.0f ? got[i] == -9999.0f
                                        : std::fabs(got[i] - want[i]) <= rel * std::max(1.0f, std::fabs(want[i]));
    if (!ok && ++bad <= 10) ADD_FAILURE() << "value " << i << ": " << got[i] << " want " << want[i];
  }
  EXPECT_EQ(bad, 0);
}

TEST_F(StacontE2E, NetcdfGridHasTheLayoutAndTheAnalysedValues) {
  const Analysis& ref = *reference_;
  ASSERT_GT(ref.stations, 80);  // the "us" region takes the stations of priority 1 and 2
  ASSERT_FALSE(ref.values.empty());
  const RunResult r = run("cdf", dir_ + "/grids");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string file = dir_ + "/grids/2026031412_temp.nc";
  EXPECT_NE(r.out.find("Fitting to grid...\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Creating grid file: " + file + "\n"), std::string::npos) << r.out;

  const RunResult h = tool("ncdump", {"-h", file});
  ASSERT_EQ(h.status, 0) << h.err;
  auto var = [](const char* type, const char* name, const char* dims, const char* cap, const char* lng,
                const char* units) {
    std::string s = std::string("\t") + type + " " + name + "(" + dims + ") ;\n\t\t" + name + ":name = \"" + cap +
                    "\" ;\n\t\t" + name + ":long_name = \"" + lng + "\" ;\n";
    if (units) s += std::string("\t\t") + name + ":units = \"" + units + "\" ;\n";
    return s;
  };
  std::string want = "netcdf \\2026031412_temp {\ndimensions:\n\tgrid = UNLIMITED ; // (1 currently)\n\tx = " +
                     std::to_string(ref.domain.nx) + " ;\n\ty = " + std::to_string(ref.domain.ny) +
                     " ;\n\tstring_len = 50 ;\nvariables:\n" +
                     var("float", "values", "grid, x, y", "VALUES", "Grid values", nullptr) +
                     "\t\tvalues:_FillValue = -9999.f ;\n" +
                     var("short", "proj", "grid", "PROJ", "Projection", nullptr) +
                     var("float", "lat1", "grid", "CLAT", "Grid central latitude", "DEG") +
                     var("float", "lat2", "grid", "LAT2", "Grid secondary latitude", "DEG") +
                     var("float", "lon1", "grid", "CLON", "Grid central longitude", "DEG") +
                     var("float", "lon2", "grid", "LON2", "Grid secondary longitude", "DEG") +
                     var("float", "dx", "grid", "DX", "Grid spacing in X direction", "100 KM");
  // The long names of "dy" and "ny" are free; everything else is fixed.
  const std::size_t dy = h.out.find("\tfloat dy(grid) ;\n");
  ASSERT_NE(dy, std::string::npos);
  EXPECT_EQ(h.out.substr(0, dy), want);
  want = var("char", "datim", "grid, string_len", "DATETIME", "Grid date/time information", nullptr) +
         var("char", "info", "grid, string_len", "INFO", "Grid variable information", nullptr) +
         var("short", "source", "grid", "SOURCE", "Grid creation source", nullptr) +
         var("short", "version", "grid", "VERSION", "Grid encoding version", nullptr) +
         var("short", "model", "grid", "MODEL", "Model name", nullptr) +
         var("short", "type", "grid", "TYPE", "Model grid type", nullptr) +
         var("short", "ltype", "grid", "LTYPE", "Vertical level type", nullptr) +
         var("short", "level", "grid", "LEVEL", "Vertical level value", nullptr) +
         var("short", "time", "grid", "TIME", "Forecast time", "HOUR") +
         var("short", "var", "grid", "VAR", "Grid variable type", nullptr) +
         var("short", "nx", "grid", "NX", "Gridpoints in X direction", nullptr);
  EXPECT_NE(h.out.find(want), std::string::npos) << h.out;
  EXPECT_NE(h.out.find("\tshort ny(grid) ;\n\t\tny:name = \"NY\" ;\n"), std::string::npos);
  EXPECT_NE(h.out.find("// global attributes:\n\t\t:source = \"ZAV\" ;\n\t\t:version = \"1.0\" ;\n"
                       "\t\t:grid_type = 0s ;\n\t\t:year = 2026s ;\n\t\t:month = 3s ;\n\t\t:day = 14s ;\n"
                       "\t\t:hour = 12s ;\n}\n"),
            std::string::npos)
      << h.out;

  expect_close(ncdump_values(file, "values"), ref.values, 1e-4);
  expect_close(ncdump_values(file, "lat1"), {ref.domain.clat}, 1e-6);
  expect_close(ncdump_values(file, "lon1"), {ref.domain.clon}, 1e-6);
}

// Package grid files with text and with binary values read back to the same grid.
TEST_F(StacontE2E, PackageGridFilesReadBackEqual) {
  const Analysis& ref = *reference_;
  ASSERT_FALSE(ref.values.empty());
  for (const char* of : {"zav", "zavb"}) {
    const std::string out = dir_ + "/" + of;
    const RunResult r = run(of, out);
    ASSERT_EQ(r.status, 0) << of << r.err;
    const std::string file = out + "/2026031412_temp.grd";
    const std::string bytes = read_file(file);
    ASSERT_EQ(bytes.rfind("ZAVGRID\n", 0), 0u) << of;
    const bool binary = std::strcmp(of, "zavb") == 0;
    EXPECT_NE(bytes.find(binary ? "\n3-" : "\n2-"), std::string::npos);
    int type = 0, pos = 0;
    const int fd = GRD_open(file.c_str(), 0, &type);
    ASSERT_GE(fd, 0) << of;
    EXPECT_EQ(type, 2);
    GridRec g{};
    ASSERT_EQ(GRD_read(fd, &g, 0, &pos), 0) << of;
    GRD_close(fd);
    EXPECT_EQ(g.domain.nx, ref.domain.nx);
    EXPECT_EQ(g.domain.ny, ref.domain.ny);
    EXPECT_NEAR(g.domain.clat, ref.domain.clat, 1e-5);
    ASSERT_NE(g.values, nullptr);
    // Binary values are the analysis bit for bit; text values keep nine digits.
    expect_close(std::vector<float>(g.values, g.values + g.domain.nx * g.domain.ny), ref.values, binary ? 0.0 : 1e-7);
    GRD_free(&g);
  }
}

TEST_F(StacontE2E, ExistingGridIsReusedWithFileParameterUse) {
  const std::string out = dir_ + "/grids";
  const RunResult first = run("cdf", out);
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string file = out + "/2026031412_temp.nc";
  const std::vector<float> written = ncdump_values(file, "values");
  ASSERT_FALSE(written.empty());
  const RunResult again = run("cdf", out, {"-pf", "use"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out.find("Fitting to grid..."), std::string::npos) << again.out;
  EXPECT_EQ(ncdump_values(file, "values"), written);
  // Overwriting analyses again.
  const RunResult over = run("cdf", out, {"-pf", "over"});
  EXPECT_NE(over.out.find("Fitting to grid..."), std::string::npos) << over.out;
}

TEST_F(StacontE2E, HourSequenceWritesOneGridPerHour) {
  const std::string out = dir_ + "/seq";
  const RunResult r =
      run_stacont({"-ba", "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412", "-nh", "6", "-pd", "us", "-va",
                   "temp", "-of", "cdf", "-gp", out},
                  "", env_, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> want;
  for (int h = 12; h <= 18; ++h) want.push_back("20260314" + std::to_string(h) + "_temp.nc");
  EXPECT_EQ(names, want);
  // The first hour of the sequence is the same analysis as the single file.
  expect_close(ncdump_values(out + "/2026031412_temp.nc", "values"), reference_->values, 1e-4);
  // Hours differ: the sequence does not write one file seven times.
  EXPECT_NE(ncdump_values(out + "/2026031418_temp.nc", "values"), ncdump_values(out + "/2026031412_temp.nc", "values"));
}

TEST_F(StacontE2E, UnwritableGridPathIsReportedAndLeavesNoFile) {
  write_file(dir_ + "/plain", "a regular file\n");
  std::vector<std::string> paths = {dir_ + "/plain/grids"};
  if (geteuid() != 0) {  // permissions do not stop the superuser
    fs::create_directory(dir_ + "/ro");
    chmod((dir_ + "/ro").c_str(), 0555);
    paths.push_back(dir_ + "/ro");
  }
  for (const std::string& gp : paths) {
    for (const char* of : {"cdf", "zav"}) {
      const RunResult r = run(of, gp);
      const std::string file = gp + (std::strcmp(of, "cdf") == 0 ? "/2026031412_temp.nc" : "/2026031412_temp.grd");
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_NE(r.err.find("GRD_save_file: Unable to create grid file: " + file + "\n"), std::string::npos)
          << gp << " " << of << "\n" << r.out << r.err;
      EXPECT_EQ(r.out.find("Creating grid file"), std::string::npos) << r.out;
      EXPECT_FALSE(fs::exists(file));
    }
  }
  chmod((dir_ + "/ro").c_str(), 0755);
}

// The installed program finds its data through the resource file written at install
// time, from any directory.
TEST_F(StacontE2E, InstalledProgramFindsItsData) {
  const std::string prefix = dir_ + "/prefix";
  const std::string build = fs::path(STACONT_BINARY).parent_path().string();
  const RunResult inst = tool("cmake", {"--install", build, "--prefix", prefix}, 120);
  ASSERT_EQ(inst.status, 0) << inst.out << inst.err;
  EXPECT_NE(read_file(prefix + "/zav/etc/zav.cfg").find("*.file_path     " + prefix + "/zav/data\n"),
            std::string::npos);
  EXPECT_EQ(read_file(prefix + "/zav/data/sample/" + kHourFile), read_file(kData + "/sample/" + kHourFile));
  const std::string elsewhere = make_temp_dir("stacont_elsewhere");
  const RunResult r = run_program(prefix + "/bin/stacont",
                                  {"-ba", "-me", "mess", "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us",
                                   "-va", "temp", "-of", "cdf", "-gp", elsewhere + "/grids"},
                                  "", clean_env(prefix + "/zav/etc"), elsewhere, 60);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Current filename: " + prefix + "/zav/data/sample/" + kHourFile + "\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Date: 12Z 14 MAR 26\n"), std::string::npos) << r.out;
  expect_close(ncdump_values(elsewhere + "/grids/2026031412_temp.nc", "values"), reference_->values, 1e-4);
}

}  // namespace
