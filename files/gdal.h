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


// Vector features. A layer holds features of one geometry: points, line strings or
// polygons of one ring. Its fields are numbers ('r' real, 'i' integer) and texts ('s');
// each feature gives the numbers of the number fields and the texts of the text fields,
// each in the order the fields have.
struct GdlField {
  std::string name;
  char type = 'r';
};
struct GdlFeature {
  std::vector<double> xy;  // x, y pairs in the CRS
  std::vector<double> numbers;
  std::vector<std::string> texts;
};
constexpr int GDL_POINT = 1, GDL_LINE = 2, GDL_POLYGON = 3;
struct GdlLayer {
  std::string name;
  int geometry = GDL_POINT;
  std::vector<GdlField> fields;
  std::vector<GdlFeature> features;
};

// "" when path names a vector format the writer knows by its extension (.gpkg, .geojson,
// .json, .shp, .kml, .fgb) and GIS files can be written, else why not.
std::string GDL_vector_unavailable(const char* path);
// Writes the layers that hold features to path, in the format its extension names, with
// crs (a PROJ string) as their CRS. GeoJSON and KML files are in longitude and latitude
// (RFC 7946 for GeoJSON: polygons wound counter-clockwise, geometries split at the
// antimeridian). A format that holds one layer a file (GeoJSON, Shapefile, FlatGeobuf)
// gets a file a layer when there are several, named "<stem>_<layer><extension>"; written
// names are added to *written. 0, or -1 with the reason in *error.
int GDL_write_features(const char* path, const char* crs, const std::vector<GdlLayer>& layers,
                       std::vector<std::string>* written, std::string* error);
