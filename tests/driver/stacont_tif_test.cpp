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
#include "tests/support/program.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = STACONT_DATA_DIR;

// For each pair of arguments (GeoTIFF, CF file) one line:
//   <equal values> <nodes compared> <largest distance in metres> <nodata> <VARIABLE> <UNITS> <VALID_TIME>
// The distance is between each node as the geotransform places it (pixel centres) and
// the node's latitude and longitude in the CF file projected with the GeoTIFF's CRS; on
// latitude-longitude grids it is measured on the sphere. The CF positions are single
// precision: about 0.5 m.
const char* const kReader = R"(
import sys, numpy, netCDF4, pyproj
from osgeo import gdal
args = sys.argv[1:]
for tif, nc in zip(args[0::2], args[1::2]):
    ds = gdal.Open(tif)
    band = ds.GetRasterBand(1)
    a = band.ReadAsArray()
    cf = netCDF4.Dataset(nc)
    name = cf['grid_record'].variable
    v = cf[name]
    v.set_auto_mask(False)
    b = v[0][::-1]
    gt = ds.GetGeoTransform()
    crs = pyproj.CRS.from_wkt(ds.GetProjection())
    lat, lon = cf['lat'][:][::-1], cf['lon'][:][::-1]
    ny, nx = a.shape
    J, I = numpy.mgrid[0:ny, 0:nx]
    X, Y = gt[0] + (I + 0.5) * gt[1], gt[3] + (J + 0.5) * gt[5]
    ok = numpy.isfinite(lat) & (numpy.abs(lat) <= 90)
    x, y = pyproj.Transformer.from_crs(crs.geodetic_crs, crs, always_xy=True).transform(lon[ok], lat[ok])
    if crs.is_geographic:
        dx = ((x - X[ok] + 180) % 360 - 180) * 111195 * numpy.cos(numpy.radians(Y[ok]))
        d = numpy.hypot(dx, (y - Y[ok]) * 111195)
    else:
        d = numpy.hypot(x - X[ok], y - Y[ok])
    md = ds.GetMetadata()
    print(numpy.array_equal(a, b), int(ok.sum()), '%.3f' % d.max(), band.GetNoDataValue(),
          md.get('VARIABLE'), md.get('UNITS'), md.get('VALID_TIME'))
)";

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
  const char* const domains[] = {
      "us",                                        // polar stereographic, true at 60 N
      "ps:-70:-140,-70,-140,21,15,3,3",            // south polar
      "conus",                                     // Lambert conformal, two parallels
      "lamb:-30:140:-20:-50,-30,140,21,15,1.5,1.5",
      "merc,20,-60,31,21,2,2",
      "ll,39,-106,11,7,1",
      "ll,0,180,73,37,5",                          // across the antimeridian
      "ortho,45,-40,21,15,5,5",
      "la,50,10,21,15,3,3",                        // Lambert azimuthal equal-area
      "moll,20,0,21,15,5,5",
      "gnom:45:-100,45,-100,21,21,1,1",
      "sat:0:-75:421.61:1,30,-75,21,15,2,2",       // geostationary scan angles
      "sat:e:0:-75:421.61:1,30,-75,21,15,2,2",     // on the ellipsoid
  };
  std::vector<std::string> args = {"-W", "ignore", "-c", kReader};
  for (std::size_t k = 0; k < std::size(domains); ++k) {
    const std::string out = dir_ + "/p" + std::to_string(k);
    const RunResult t = run(domains[k], "tif", out);
    ASSERT_EQ(t.status, 0) << domains[k] << t.err;
    EXPECT_NE(t.out.find("Creating grid file: " + out + "/2026031412_temp.tif"), std::string::npos) << t.out;
    const RunResult c = run(domains[k], "cf", out);
    ASSERT_EQ(c.status, 0) << domains[k] << c.err;
    args.push_back(out + "/2026031412_temp.tif");
    args.push_back(out + "/2026031412_temp.nc");
  }
  const RunResult r = run_program("/usr/bin/python3", args, "", {}, "", 120);
  std::istringstream in(r.out);
  for (const char* domain : domains) {
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
