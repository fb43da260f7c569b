// End-to-end runs over the bundled regions with the sample's 18 UTC observations: the
// stations a region keeps by default cover it nearly as well as all of them; ships and
// buoys kept and a sparse analysis saying how to keep more stations (the table
// tests/data/driver/regions.runs).
#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE(RegionRuns, "regions.runs");

}  // namespace
