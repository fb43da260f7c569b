// Analysed winds drawn end to end, run by the table tests/data/driver/vect.runs: barbs over
// pressure contours, the station wind standing for its analysed components, vectors over a
// filled field, the vector key and the prompt for the kind of vectors, rendered by
// Ghostscript and checked by their pixels and strokes.
#include "tests/support/driver_runs.h"

namespace {
STACONT_RUNS_TABLE(Vect, "vect.runs");
}  // namespace
