// Grid files: handles, type detection, the package grid format (text or binary values),
// netCDF grid files, saving and reading back.
#pragma once

#include <cstdint>

#include "analysis/grd_tool.h"

constexpr int GRD_MAX_FILES = 15;

// Grid file types; the package and netCDF types are also the grid output formats.
constexpr int GRD_FILE_PLAIN = 1;  // plain text values without a header line
constexpr int GRD_FILE_TEXT = 2;  // package grid, text values
constexpr int GRD_FILE_BINARY = 3;  // package grid, binary values
constexpr int GRD_FILE_V4 = 4;  // package grid of the older version (read only)
constexpr int GRD_FILE_CDF = 11;  // netCDF
// netCDF following the CF conventions (written; read back as netCDF, type 11)
constexpr int GRD_FILE_CF = 12;
// GeoTIFF, one grid a file (written only, through GDAL)
constexpr int GRD_FILE_TIF = 13;
constexpr int GRD_FILE_GRIB = 21;
constexpr int GRD_FILE_GRID = 22;  // "GRID" files (read only)

int GRD_chktype(const char* name);
int GRD_open(const char* name, int mode, int* type);
int GRD_putinfo(int handle, const GridInfo* info);
int GRD_write(int handle, GridRec* grid, int flags, int* position);
int GRD_getinfo(int handle, GridInfo* info);
int GRD_read(int handle, GridRec* grid, int flags, int* position);
int GRD_rewind(int handle);
int GRD_close(int handle);
// 1 saved, 0 not saved.
int GRD_save_file(const char* name, GridRec* grid, const GridInfo* info, int format);
// 1 when the grid was read from an existing file matching domain, else 0.
int GRD_read_check(const char* name, GridRec* grid, GridInfo* info, int* type, const DomainRec* domain);
void GRD_set_format(const char* format);

// Closes every grid file still open and goes back to the default value format.
void GRD_reset_file_state();
