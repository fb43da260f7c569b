// Variable specifications: the variable table filled from the user's specification.
#pragma once

// Default plot type for variables whose specification does not state one.
void VAR_set_def_type(int type);
int VAR_get_def_type();
// Name of a model by its number; null when the number names no model.
const char* VAR_model(int model);
