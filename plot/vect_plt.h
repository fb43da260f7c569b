// Vectors, streamlines and wind barbs of gridded winds, and their vector key. The vector
// drawing comes with the vector layer; until then a vector variable draws nothing and
// defines no key.
#pragma once

struct GridRec;
struct DomainRec;

using VectCallback = int (*)(const char* event, float x, float y);

// The vector plot type (20-23) and the variable's format fields.
void VECT_set_format(int type, const char* format);
// Prepares the vectors of variable `index` from the two component grids; 0.
int VECT_plot_setup(int frame, int index, GridRec* u, GridRec* v, const DomainRec* domain, VectCallback callback);
// Draws the vectors; -1 when nothing was drawn.
int VECT_draw();
// At least 1 when a vector key is defined for the plot.
int VECT_get_vect();
// Draws the vector key; -1 when none was drawn.
int VECT_draw_vect();
