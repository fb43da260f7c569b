// Real observations end to end: a feed's METAR collection of an hour drawn and analysed,
// files found by naming conventions over a directory, every surface variable computed
// from the reports, the hourly archive read back, and files that cannot be used refused
// (the table tests/data/driver/obs.runs).
#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE(ObsRuns, "obs.runs");

}  // namespace
