// GIS files through the GDAL library: GeoTIFF grids (and the vector formats of the
// contour output). The library is loaded at the first call, so that runs writing no GIS
// file do not pay for it; a build without GDAL, or a machine without the library, answers
// every call with a reason instead.
#pragma once

#include <string>
#include <vector>

// "" when GIS files can be written, else why not.
std::string GDL_unavailable();

// One band of 32-bit floats as a GeoTIFF at path: values nx by ny, rows from the north;
// nodata marks missing values; crs a PROJ string; transform the six affine coefficients
// from pixel corners to CRS coordinates (x0, dx, 0, y0, 0, -dy); tags "NAME=value"
// entries of the file's metadata; description and units those of the band. Written
// DEFLATE-compressed. 0, or -1 with the reason in *error.
int GDL_write_geotiff(const char* path, int nx, int ny, const float* values, double nodata, const char* crs,
                      const double transform[6], const std::vector<std::string>& tags, const char* description,
                      const char* units, std::string* error);

