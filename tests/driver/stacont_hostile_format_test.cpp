// Hostile number formats and contour intervals given to the real program, run by the table
// tests/data/driver/hostile_format.runs: each run ends at once with status 0 and one message
// naming what was refused, and the page is drawn with the default format or the automatic
// interval.
#include "tests/support/driver_runs.h"

namespace {
STACONT_RUNS_TABLE(HostileFormatRuns, "hostile_format.runs");
}  // namespace
