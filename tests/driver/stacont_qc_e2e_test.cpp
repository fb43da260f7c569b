// The reports on reading, end to end, run by the table tests/data/driver/qc.runs: gross
// limits, duplicate reports and the buddy check, each said in one line and leaving the
// analysis of the reports kept; a rejected report crossed out on the station plot.
#include "tests/support/driver_runs.h"

namespace {
STACONT_RUNS_TABLE(Qc, "qc.runs");
}  // namespace
