// End-to-end runs of the feature output (-de ogr,FILE): every format read back by GDAL
// (its Python bindings and ogrinfo); on analytic grids written as grid files and read back
// with -pf use, the contour vertices on their level and the band polygons valid and
// tiling the grid's valid area; a world grid across the antimeridian as valid GeoJSON.
// Built or run without GDAL, the output is refused with the reason and the rest works.
#include <gtest/gtest.h>

#include <filesystem>
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

class StacontOgr : public ProgramTest {
 protected:
  void TearDown() override { fs::remove_all(dir_); }
  RunResult run(const std::string& domain, std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"-me", "mess", "-va", "temp"});
    return run_stacont(sample_args("2026031412", domain, extra), "", env_, dir_, 120);
  }
  // An analytic field on domain as the text grid file of a folder of its own, with the
  // GeoTIFF of the same domain beside it; the folder.
  std::string analytic(const std::string& kind, const std::string& domain) {
    const std::string g = dir_ + "/" + kind;
    EXPECT_EQ(run(domain, {"-of", "zav", "-gp", g}).status, 0);
    EXPECT_EQ(run(domain, {"-of", "tif", "-gp", g}).status, 0);
    EXPECT_EQ(run_script("ogr_analytic.py", {g + "/2026031412_temp.grd", kind}, dir_).status, 0);
    return g;
  }
  bool gdal() const { return GDL_unavailable().empty(); }
};

// Contours and bands of a plane and a cone, read back from grid files: the lines lie on
// their levels and the bands tile the valid cells (the two missing nodes of the cone
// leave their cells out), each band a valid polygon.
TEST_F(StacontOgr, AnalyticGridsGiveLinesOnTheirLevelsAndBandsTilingTheGrid) {
  if (!gdal()) GTEST_SKIP() << GDL_unavailable();
  const std::string domain = "ll,39,-106,321,241,0.1";
  for (const char* kind : {"plane", "cone"}) {
    SCOPED_TRACE(kind);
    const std::string g = analytic(kind, domain);
    const std::string out = g + "/features.gpkg";
    const RunResult r =
        run(domain, {"-of", "zav", "-gp", g, "-pf", "use", "-pl", "lcf", "-in", "2", "-cb", "0", "-de", "ogr," + out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Fitting to grid"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Creating: " + out), std::string::npos) << r.out;
    const RunResult c = run_script("ogr_check.py", {g + "/2026031412_temp.grd", g + "/2026031412_temp.tif", out}, dir_);
    std::istringstream in(c.out);
    long vertices = 0, bands = 0, invalid = -1;
    double worst = 1.0, area = 1.0;
    ASSERT_TRUE(in >> vertices >> worst >> bands >> invalid >> area) << c.out << c.err;
    EXPECT_GT(vertices, 4000);
    EXPECT_LT(worst, 1e-4);
    EXPECT_GT(bands, 10000);
    EXPECT_EQ(invalid, 0);
    EXPECT_LT(area, 1e-6);
  }
}

class OgrRuns : public ::testing::TestWithParam<RunCase> {};
TEST_P(OgrRuns, EndAsTheTableSays) {
  if (!GDL_unavailable().empty()) GTEST_SKIP() << GDL_unavailable();
  check_run(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Runs, OgrRuns, ::testing::ValuesIn(read_runs("ogr.runs")), run_case_name);

// A world latitude-longitude grid centred on the antimeridian: the GeoJSON bands and
// lines are valid, in -180..180, and those crossing the antimeridian are split into parts.
TEST_F(StacontOgr, GeoJsonAcrossTheAntimeridianStaysValid) {
  if (!gdal()) GTEST_SKIP() << GDL_unavailable();
  const std::string domain = "ll,0,180,73,37,5";
  const std::string g = analytic("world", domain);
  const RunResult r = run(domain, {"-of", "zav", "-gp", g, "-pf", "use", "-pl", "lcf", "-in", "2", "-cb", "0", "-de",
                                   "ogr," + dir_ + "/w.geojson"});
  ASSERT_EQ(r.status, 0) << r.err;
  const RunResult c = run_script("ogr_geojson.py", {dir_ + "/w_bands.geojson", dir_ + "/w_contours.geojson"}, dir_);
  std::istringstream in(c.out);
  for (const char* layer : {"bands", "contours"}) {
    SCOPED_TRACE(layer);
    long n = 0, bad = -1, multi = 0;
    double west = 0, east = 0;
    ASSERT_TRUE(in >> n >> bad >> west >> east >> multi) << c.out << c.err;
    EXPECT_GT(n, 0);
    EXPECT_EQ(bad, 0);
    EXPECT_GE(west, -180.0);
    EXPECT_LE(east, 180.0);
    EXPECT_LT(west, -170.0);
    EXPECT_GT(east, 170.0);
    EXPECT_GT(multi, 0);
  }
}

// Refusals: a name of no known format, and (built or run without GDAL) every feature
// file, with the reason; the device cannot open, so the run ends with that status, while
// the same run to PostScript works.
TEST_F(StacontOgr, RefusedWithTheReason) {
  const RunResult bad = run("us", {"-de", "ogr," + dir_ + "/x.txt"});
  EXPECT_EQ(bad.status, ZAV_STATUS_DEVICE);
  const std::string why =
      gdal() ? "A feature file is named .gpkg, .geojson, .json, .shp, .kml or .fgb" : GDL_unavailable();
  EXPECT_NE(bad.err.find("gopen_ws: " + why + ": no features can be written to " + dir_ + "/x.txt"), std::string::npos)
      << bad.err;
  if (!gdal()) {
    const RunResult none = run("us", {"-de", "ogr," + dir_ + "/x.gpkg"});
    EXPECT_EQ(none.status, ZAV_STATUS_DEVICE);
    EXPECT_NE(none.err.find("This program was built without GDAL"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(dir_ + "/x.gpkg"));
  }
  const RunResult ps = run("us", {"-de", "p," + dir_ + "/x.ps"});
  EXPECT_EQ(ps.status, 0) << ps.err;
  EXPECT_TRUE(fs::exists(dir_ + "/x.ps"));
}

}  // namespace
