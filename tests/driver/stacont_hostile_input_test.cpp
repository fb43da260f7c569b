// Mistaken and hostile input given to the real program: every run ends within a few
// seconds with the message that names the fault and the status the README's table gives
// (the cases in tests/data/driver/hostile_input.runs); a large overlay costs only the window.
#include "tests/support/driver_runs.h"

namespace {
STACONT_RUNS_TABLE(HostileInput, "hostile_input.runs");
}  // namespace
