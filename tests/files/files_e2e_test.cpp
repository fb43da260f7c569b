// The input-file step of the real program (current and latest files, batch, the prompt,
// names and dates through a convention, hostile names) and the loading of the netCDF
// library, as the runs of tests/data/files/input.runs.
#include "tests/support/driver_runs.h"

STACONT_RUNS_TABLE(InputFile, "../files/input.runs");
