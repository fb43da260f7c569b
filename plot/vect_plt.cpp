// Vectors, streamlines and wind barbs. The vector layer is not built yet: its entry
// points draw nothing.
#include "plot/vect_plt.h"

void VECT_set_format(int, const char*) {}
int VECT_plot_setup(int, int, GridRec*, GridRec*, const DomainRec*, VectCallback) { return 0; }
int VECT_draw() { return -1; }
int VECT_get_vect() { return 0; }
int VECT_draw_vect() { return -1; }
