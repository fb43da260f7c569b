// End-to-end runs of the CF netCDF output (-of cf), read back with the system's netCDF4 and
// pyproj: the main job's latitudes and longitudes against the polar stereographic formulas,
// every projection CF describes against the reader's projection library, the values against
// the package layout, and files already there (the table tests/data/driver/cf.runs).
#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE(CfRuns, "cf.runs");

}  // namespace
