// End-to-end runs of the GeoTIFF output (-of tif), when the program has GDAL: every file
// opened by GDAL, its values against the CF file of the same run and its nodes placed by
// its own CRS and geotransform through PROJ; what a GeoTIFF already there becomes, and the
// refusals (the table tests/data/driver/tif.runs).
#include "files/gdal.h"
#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE_UNLESS(TifRuns, "tif.runs", GDL_unavailable());

}  // namespace
