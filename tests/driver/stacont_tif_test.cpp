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

#include "config/system.h"
#include "files/gdal.h"
#include "tests/support/driver_runs.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = STACONT_DATA_DIR;

class StacontTif : public ProgramTest {
 protected:
  void TearDown() override { fs::remove_all(dir_); }
  RunResult run(const std::string& domain, const std::string& form, const std::string& out,
                std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-ba", "-me", "mess", "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412",
                                     "-pd", domain, "-va", "temp", "-of", form, "-gp", out};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_stacont(args, "", env_, dir_, 120);
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

// A GeoTIFF is written, never read back: a second run in batch keeps the file there
// (as "use" keeps every output) and analyses anyway; "-pf over" replaces it. Views
// PROJ cannot describe and unwritable places are refused with the reason, the run's
// status saying an output failed.
TEST_F(StacontTif, ExistingFilesUnknownViewsAndUnwritablePlaces) {
  if (!GDL_unavailable().empty()) GTEST_SKIP() << GDL_unavailable();
  const std::string out = dir_ + "/g";
  ASSERT_EQ(run("us", "tif", out).status, 0);
  const std::string file = out + "/2026031412_temp.tif";
  const auto first = fs::last_write_time(file);
  const RunResult again = run("us", "tif", out);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("Fitting to grid..."), std::string::npos);
  EXPECT_NE(again.out.find("Keeping grid file: " + file), std::string::npos) << again.out;
  EXPECT_EQ(fs::last_write_time(file), first);
  const RunResult over = run("us", "tif", out, {"-pf", "over"});
  EXPECT_EQ(over.status, 0) << over.err;
  EXPECT_NE(over.out.find("Creating grid file: " + file), std::string::npos) << over.out;

  // Scan tangents of a satellite view have no PROJ form.
  const RunResult tangents = run("sat:0:-75,30,-75,21,15,2,2", "tif", dir_ + "/s");
  EXPECT_EQ(tangents.status, ZAV_STATUS_OUTPUT);
  EXPECT_NE(tangents.err.find("GRD_save_file: A GeoTIFF needs a map projection that PROJ describes: " + dir_ +
                              "/s/2026031412_temp.tif"),
            std::string::npos)
      << tangents.err;
  EXPECT_FALSE(fs::exists(dir_ + "/s/2026031412_temp.tif"));

  // A directory in the way of the file.
  fs::create_directories(dir_ + "/d/2026031412_temp.tif");
  const RunResult blocked = run("us", "tif", dir_ + "/d", {"-pf", "over"});
  EXPECT_EQ(blocked.status, ZAV_STATUS_OUTPUT);
  EXPECT_NE(blocked.err.find("GRD_save_file: Unable to create grid file: " + dir_ + "/d/2026031412_temp.tif"),
            std::string::npos)
      << blocked.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ + "/d"), {}), 1);  // no temporary file left
}

}  // namespace
