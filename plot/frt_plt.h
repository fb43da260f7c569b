// Fronts and pressure centres from coded bulletins, drawn on the map. The fronts layer
// comes later; until then a fronts file is reported and nothing is drawn.
#pragma once

#include "files/date.h"

// The date the bulletin's analysis must match.
void FRT_set_date(const DateRec* date);
// Draws the fronts of the bulletin file name; 0 when drawn, -1 when not.
int FRT_plot_file(const char* name);
