// End-to-end runs of the derived surface fields of the variable file on the sample cyclone
// at 18 UTC, the grids written in the CF form read back and checked where a forecaster knows
// their sign (the table tests/data/driver/math.runs).
#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE(MathRuns, "math.runs");

}  // namespace
