// Input files as a user names them, run by the table tests/data/driver/input.runs:
// existing files used as given, every name form the prompt accepts, files that are no
// surface files, sequences with missing hours and absurd spans.
#include <gtest/gtest.h>

#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE(Input, "input.runs");

}  // namespace
