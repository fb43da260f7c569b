// Runs of the program for the plot layer, by the table tests/data/plot/program.runs: the
// domain loop with its prompt and messages, contours answered at the prompt, the
// descriptions above a plot, and the hour's front bulletin.
#include "tests/support/driver_runs.h"

namespace {
STACONT_RUNS_TABLE(PlotProgram, "../plot/program.runs");
}  // namespace
