// GeoTIFF grids through the GIS file layer, georeferenced with the CF description of the
// domain so that a GeoTIFF and a CF netCDF file of one grid say the same thing.
#include "analysis/grd_tif.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/grd_cf.h"
#include "analysis/object.h"
#include "config/fileio.h"
#include "config/mess.h"
#include "config/missing.h"
#include "files/gdal.h"

namespace {

constexpr unsigned LEVEL_SAVE = MESS_WARN & MESS_C;

std::string text_of(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

std::string format(const char* fmt, double a, double b, double c, double d) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, a, b, c, d);
  return buf;
}

std::vector<std::string> tags_of(const GridRec& g, const GridInfo& info) {
  std::vector<std::string> tags;
  const std::string var = text_of(info.name, sizeof info.name);
  if (!var.empty()) tags.push_back("VARIABLE=" + var);
  const std::string what = text_of(g.datatype, sizeof g.datatype);
  if (!what.empty()) tags.push_back("DESCRIPTION=" + what);
  const std::string units = text_of(g.units, sizeof g.units);
  if (!units.empty()) tags.push_back("UNITS=" + units);
  const DateRec& d = g.date;
  if (d.year != MISSING_INT && d.month != MISSING_INT && d.day != MISSING_INT && d.hour != MISSING_INT) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:00Z", d.year, d.month, d.day, d.hour,
                  d.minute == MISSING_INT ? 0 : d.minute);
    tags.push_back(std::string("VALID_TIME=") + buf);
    // The TIFF's own date tag, which GIS programs show.
    std::snprintf(buf, sizeof buf, "%04d:%02d:%02d %02d:%02d:00", d.year, d.month, d.day, d.hour,
                  d.minute == MISSING_INT ? 0 : d.minute);
    tags.push_back(std::string("TIFFTAG_DATETIME=") + buf);
  }
  const std::string label = text_of(g.label, sizeof g.label);
  if (!label.empty()) tags.push_back("LABEL=" + label);
  if (g.source == 1) {
    float filter = 0.0f, radius = 0.0f, converg = 0.0f;
    int passes = 0;
    OBJ_get_params(&filter, &radius, &passes, &converg, nullptr, nullptr, nullptr);
    tags.push_back("ANALYSIS=" + format("successive correction, filter %.3f, radius %.2f grid lengths, "
                                        "passes %.0f, convergence %.2f",
                                        filter, radius, passes, converg));
  }
  tags.push_back("TIFFTAG_SOFTWARE=stacont");
  return tags;
}

}  // namespace

int GRD_tif_write(const char* name, const GridRec* grid, const GridInfo* info) {
  if (name == nullptr || grid == nullptr || grid->values == nullptr || info == nullptr) return 0;
  const DomainRec& d = grid->domain;
  GrdCrs crs;
  if (GRD_cf_crs(&d, &crs) != 0) {
    MESS_print(LEVEL_SAVE, "GRD_save_file: A GeoTIFF needs a map projection that PROJ describes: %s\n", name);
    return 0;
  }
  const std::string why_not = GDL_unavailable();
  if (!why_not.empty()) {
    MESS_print(LEVEL_SAVE, "GRD_save_file: %s: %s\n", why_not.c_str(), name);
    return 0;
  }
  const std::size_t n = static_cast<std::size_t>(d.nx) * static_cast<std::size_t>(d.ny);
  std::vector<float> values(grid->values, grid->values + n);
  for (float& v : values)
    if (!std::isfinite(v)) v = MISSING;
  // Pixels are the cells around the nodes; the rows run from the north.
  const double north = crs.y0 + (d.ny - 1) * crs.dy;
  const double transform[6] = {crs.x0 - crs.dx / 2, crs.dx, 0.0, north + crs.dy / 2, 0.0, -crs.dy};
  FileOutput out;
  if (!FILE_open_temp(name, &out, FILE_OUT_BY_NAME)) {
    MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to create grid file: %s (%s)\n", name,
               FILE_output_error(&out).c_str());
    return 0;
  }
  const char* path = out.temp.empty() ? out.target.c_str() : out.temp.c_str();
  std::string error;
  const std::string description = text_of(grid->datatype, sizeof grid->datatype);
  const std::string units = text_of(grid->units, sizeof grid->units);
  if (GDL_write_geotiff(path, d.nx, d.ny, values.data(), MISSING, crs.proj.c_str(), transform,
                        tags_of(*grid, *info), description.c_str(), units.c_str(), &error) != 0) {
    FILE_abandon(&out);
    MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to create grid file: %s (%s)\n", name, error.c_str());
    return 0;
  }
  if (!FILE_commit(&out)) {
    MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to create grid file: %s (%s)\n", name,
               FILE_output_error(&out).c_str());
    return 0;
  }
  MESS_print(MESS_MESS, "Creating grid file: %s\n", name);
  return 1;
}
