// GeoTIFF grids: an analysed grid as a georeferenced raster for GIS and web maps.
#pragma once

#include "analysis/grd_tool.h"

// Writes grid as a GeoTIFF at name (one 32-bit float band, the missing value as nodata,
// the domain's projection as the CRS, the grid nodes as pixel centres, and tags for the
// variable, units, date and analysis parameters). The file is put in place only when
// complete. 1 written, 0 not (the reason printed as "GRD_save_file: ...").
int GRD_tif_write(const char* name, const GridRec* grid, const GridInfo* info);
