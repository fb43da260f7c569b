// End-to-end runs of the feature output (-de ogr,FILE), when the program has GDAL: every
// format read back by GDAL, analytic grids whose contours lie on their levels and whose
// bands tile the grid, a world grid across the antimeridian as valid GeoJSON (the table
// tests/data/driver/ogr.runs). Built or run without GDAL, the output is refused with the
// reason and the rest works.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/system.h"
#include "files/gdal.h"
#include "tests/support/driver_runs.h"
#include "tests/support/program.h"

namespace {

namespace fs = std::filesystem;

STACONT_RUNS_TABLE_UNLESS(OgrRuns, "ogr.runs", GDL_unavailable());

class StacontOgr : public ProgramTest {
 protected:
  RunResult run(const std::string& device) {
    return run_stacont(sample_args("2026031412", "us", {"-me", "mess", "-va", "temp", "-de", device}), "", env_, dir_, 120);
  }
};

// Refusals: a name of no known format, and (built or run without GDAL) every feature
// file, with the reason; the device cannot open, so the run ends with that status, while
// the same run to PostScript works.
TEST_F(StacontOgr, RefusedWithTheReason) {
  const bool gdal = GDL_unavailable().empty();
  const RunResult bad = run("ogr," + dir_ + "/x.txt");
  EXPECT_EQ(bad.status, ZAV_STATUS_DEVICE);
  const std::string why = gdal ? "A feature file is named .gpkg, .geojson, .json, .shp, .kml or .fgb" : GDL_unavailable();
  EXPECT_NE(bad.err.find("gopen_ws: " + why + ": no features can be written to " + dir_ + "/x.txt"), std::string::npos)
      << bad.err;
  if (!gdal) {
    const RunResult none = run("ogr," + dir_ + "/x.gpkg");
    EXPECT_EQ(none.status, ZAV_STATUS_DEVICE);
    EXPECT_NE(none.err.find("This program was built without GDAL"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(dir_ + "/x.gpkg"));
  }
  const RunResult ps = run("p," + dir_ + "/x.ps");
  EXPECT_EQ(ps.status, 0) << ps.err;
  EXPECT_TRUE(fs::exists(dir_ + "/x.ps"));
}

}  // namespace
