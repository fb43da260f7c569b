// Placeholder until the variable module lands: only the default plot type is kept,
// and no model names are known yet.
#include "surface/var_tool.h"

namespace {
int def_type = 11;
}  // namespace

void VAR_set_def_type(int type) { def_type = type; }
int VAR_get_def_type() { return def_type; }

const char* VAR_model(int) { return nullptr; }
