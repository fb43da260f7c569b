// CF grid files: a grid in the form general netCDF tools understand (the CF conventions,
// version 1.8). Dimensions time, y and x; coordinate variables x and y in metres of the
// projection plane (radians of scan angle for a geostationary view, degrees for a
// latitude-longitude grid); 2-D "lat" and "lon" of every point; a grid-mapping variable
// "crs" with the projection's CF parameters when CF describes the projection; the values
// with long_name, units and the missing value as _FillValue, rows from south to north.
// A variable "grid_record" carries the package's own header of the grid, so that the
// program reads the grid back with its exact domain. These functions work on the netCDF
// layer's current dataset; the grid file module owns the files.
#pragma once

#include <string>

#include "analysis/grd_tool.h"

// Variable ids of a CF grid file in the current dataset.
struct GrdCfFile {
  int data = -1;    // the values (time, y, x)
  int time = -1;    // hours since 1970-01-01
  int record = -1;  // the package's header of the grid
};

// Defines a CF grid file in the current dataset (which must be in define mode) for grids
// of grid's domain, units and description, its values named after info->name (or
// "grid_values"), and writes the coordinates. 0, or -1 (reported as "GRD_write: ...").
int GRD_cf_define(const GridInfo* info, const GridRec* grid, GrdCfFile* file);
// Writes grid's values as record `record` of the file. 0 or -1.
int GRD_cf_write(const GrdCfFile& file, const GridRec* grid, int record);
// 0 when the current dataset is a CF grid file of the package (its ids in file), else -1.
int GRD_cf_find(GrdCfFile* file);
// The label of the file's grid (label of at least 40 bytes) and the grid size. 0 or -1.
int GRD_cf_info(const GrdCfFile& file, char* label, int* nx, int* ny);
// Reads record `record` into grid, its values allocated when the record has none or
// ones of another size. 0, or -1 for a file that does not hold what it says (reported).
int GRD_cf_read(const GrdCfFile& file, int record, GridRec* grid);
// The CF spelling (UDUNITS) of a unit of the package ("F" -> "degF"); units CF has no
// spelling for come back unchanged.
const char* GRD_cf_units(const char* units);

// The coordinate reference system of a grid domain for GIS files: a PROJ string on the
// program's sphere, and the CRS coordinates (metres; degrees for latitude-longitude) of
// the grid's first column and southern row and the steps between columns and rows.
struct GrdCrs {
  std::string proj;
  double x0 = 0.0, y0 = 0.0;
  double dx = 0.0, dy = 0.0;
  bool degrees = false;
};
// 0, or -1 for a domain without a map projection PROJ describes (scan tangents of a
// satellite view).
int GRD_cf_crs(const DomainRec* domain, GrdCrs* crs);
