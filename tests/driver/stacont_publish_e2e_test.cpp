// Pictures meant for a briefing page, run by the table tests/data/driver/publish.runs:
// PostScript pages that viewers count and turn, vectors, station values and overlays,
// checked by their pixels and by what Ghostscript makes of the files.
#include "tests/support/driver_runs.h"

namespace {
STACONT_RUNS_TABLE(Publish, "publish.runs");
}  // namespace
