// GIS features of a plot: joins the feature device of the graphics kernel to the map (its
// world coordinates become the CRS of the grid domain) and to the GIS file writer.
#pragma once

// Registers the hooks with the feature device; the program entry calls it once.
void GIS_connect();
// Forgets the map the features were placed on.
void GIS_reset_state();
