// End-to-end runs of the GeoTIFF output (-of tif): every file opened by GDAL (its Python
// bindings and gdalinfo), its values against the CF netCDF file of the same run, and the
// grid nodes placed by the file's own CRS and geotransform (through PROJ, in pyproj)
// against the latitudes and longitudes the program wrote for them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "files/gdal.h"
#include "tests/support/driver_runs.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;

class StacontTif : public ProgramTest {
 protected:
  void TearDown() override { fs::remove_all(dir_); }
  RunResult run(const std::string& domain, const std::string& form, const std::string& out,
                std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), {"-me", "mess", "-va", "temp", "-of", form, "-gp", out});
    return run_stacont(sample_args("2026031412", domain, extra), "", env_, dir_, 120);
  }
};

// Every projection PROJ describes, on the program's sphere: the values are the CF file's
// exactly and every node lies within a metre of where the program put it.
TEST_F(StacontTif, EveryProjectionPlacesTheNodesWhereTheProgramDoes) {
  if (!GDL_unavailable().empty()) GTEST_SKIP() << GDL_unavailable();
  std::vector<std::string> domains;
  for (const auto& row : read_tsv("tif_projections.tsv")) domains.push_back(row.at("domain"));
  std::vector<std::string> args;
  for (std::size_t k = 0; k < domains.size(); ++k) {
    const std::string out = dir_ + "/p" + std::to_string(k);
    const RunResult t = run(domains[k], "tif", out);
    ASSERT_EQ(t.status, 0) << domains[k] << t.err;
    EXPECT_NE(t.out.find("Creating grid file: " + out + "/2026031412_temp.tif"), std::string::npos) << t.out;
    const RunResult c = run(domains[k], "cf", out);
    ASSERT_EQ(c.status, 0) << domains[k] << c.err;
    args.push_back(out + "/2026031412_temp.tif");
    args.push_back(out + "/2026031412_temp.nc");
  }
  const RunResult r = run_script("tif_read.py", args);
  std::istringstream in(r.out);
  for (const std::string& domain : domains) {
    SCOPED_TRACE(domain);
    std::string equal, nodata, var, units, time;
    int nodes = 0;
    double metres = 1e9;
    ASSERT_TRUE(in >> equal >> nodes >> metres >> nodata >> var >> units >> time) << r.out << r.err;
    EXPECT_EQ(equal, "True");
    EXPECT_GT(nodes, 20);
    EXPECT_LT(metres, 1.0);
    EXPECT_EQ(nodata, "-9999.0");
    EXPECT_EQ(var + " " + units + " " + time, "temp F 2026-03-14T12:00:00Z");
  }

  // gdalinfo itself: the CRS, the nodata value and the band's unit.
  const RunResult info = run_program("/usr/bin/gdalinfo", {dir_ + "/p2/2026031412_temp.tif"});
  EXPECT_EQ(info.status, 0) << info.err;
  for (const char* want : {"Driver: GTiff/GeoTIFF", "Size is 61, 37", "Lambert Conic Conformal (2SP)",
                           "ELLIPSOID[\"unknown\",6371220,0,", "NoData Value=-9999", "Unit Type: F",
                           "Pixel Size = (80000.0"})
    EXPECT_NE(info.out.find(want), std::string::npos) << want << "\n" << info.out;
}

class TifRuns : public ::testing::TestWithParam<RunCase> {};
TEST_P(TifRuns, EndAsTheTableSays) {
  if (!GDL_unavailable().empty()) GTEST_SKIP() << GDL_unavailable();
  check_run(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Runs, TifRuns, ::testing::ValuesIn(read_runs("tif.runs")), run_case_name);

}  // namespace
