// The kernel under the real program: the runs of tests/data/graphics/kernel_e2e.runs.
#include "tests/support/driver_runs.h"

STACONT_RUNS_TABLE(KernelE2E, "../graphics/kernel_e2e.runs");
