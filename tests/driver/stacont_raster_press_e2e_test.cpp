// The pages of a PNG file drawn and encoded by the raster device's worker threads: the
// same bytes as the pages drawn on the program's own thread, files written in the order of
// the hours, and a file that cannot be written still named with its reason (the cases in
// tests/data/driver/raster_press.runs).
#include "tests/support/driver_runs.h"

namespace {
STACONT_RUNS_TABLE(RasterPressRuns, "raster_press.runs");
}  // namespace
