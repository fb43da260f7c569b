// The layer check: it passes on a tree whose includes go down and names every include
// of a higher layer, in the program and in its tests (the table
// tests/data/tools/check_layers.runs).
#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE(CheckLayers, "../tools/check_layers.runs");

}  // namespace
