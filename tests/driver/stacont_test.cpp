// The program's command line end to end: help, banner and missing inputs, and hostile
// command lines that must neither crash nor hang (the table tests/data/driver/stacont.runs).
#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE(Stacont, "stacont.runs");

}  // namespace
