// GIS files through GDAL's C interface, loaded by name at the first call: linked in, the
// library and the dozens it depends on would add their loading time to every run.
#include "files/gdal.h"

#include <string>
#include <vector>

#ifdef STACONT_GDAL_LIBRARY
#include <cpl_error.h>
#include <dlfcn.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <type_traits>
#endif

namespace {

#ifdef STACONT_GDAL_LIBRARY

struct GdalApi {
  decltype(&::GDALAllRegister) GDALAllRegister = nullptr;
  decltype(&::GDALGetDriverByName) GDALGetDriverByName = nullptr;
  decltype(&::GDALCreate) GDALCreate = nullptr;
  decltype(&::GDALClose) GDALClose = nullptr;
  decltype(&::GDALSetGeoTransform) GDALSetGeoTransform = nullptr;
  decltype(&::GDALSetSpatialRef) GDALSetSpatialRef = nullptr;
  decltype(&::GDALGetRasterBand) GDALGetRasterBand = nullptr;
  decltype(&::GDALSetRasterNoDataValue) GDALSetRasterNoDataValue = nullptr;
  decltype(&::GDALSetRasterUnitType) GDALSetRasterUnitType = nullptr;
  decltype(&::GDALRasterIO) GDALRasterIO = nullptr;
  decltype(&::GDALSetMetadataItem) GDALSetMetadataItem = nullptr;
  decltype(&::GDALSetDescription) GDALSetDescription = nullptr;
  decltype(&::OSRNewSpatialReference) OSRNewSpatialReference = nullptr;
  decltype(&::OSRDestroySpatialReference) OSRDestroySpatialReference = nullptr;
  decltype(&::OSRImportFromProj4) OSRImportFromProj4 = nullptr;
  decltype(&::CPLErrorReset) CPLErrorReset = nullptr;
  decltype(&::CPLGetLastErrorType) CPLGetLastErrorType = nullptr;
  decltype(&::CPLGetLastErrorMsg) CPLGetLastErrorMsg = nullptr;
  decltype(&::CPLPushErrorHandler) CPLPushErrorHandler = nullptr;
  decltype(&::CPLPopErrorHandler) CPLPopErrorHandler = nullptr;
  decltype(&::CPLQuietErrorHandler) CPLQuietErrorHandler = nullptr;
};

template <class Visit>
void each(GdalApi& a, Visit v) {
  v("GDALAllRegister", a.GDALAllRegister);
  v("GDALGetDriverByName", a.GDALGetDriverByName);
  v("GDALCreate", a.GDALCreate);
  v("GDALClose", a.GDALClose);
  v("GDALSetGeoTransform", a.GDALSetGeoTransform);
  v("GDALSetSpatialRef", a.GDALSetSpatialRef);
  v("GDALGetRasterBand", a.GDALGetRasterBand);
  v("GDALSetRasterNoDataValue", a.GDALSetRasterNoDataValue);
  v("GDALSetRasterUnitType", a.GDALSetRasterUnitType);
  v("GDALRasterIO", a.GDALRasterIO);
  v("GDALSetMetadataItem", a.GDALSetMetadataItem);
  v("GDALSetDescription", a.GDALSetDescription);
  v("OSRNewSpatialReference", a.OSRNewSpatialReference);
  v("OSRDestroySpatialReference", a.OSRDestroySpatialReference);
  v("OSRImportFromProj4", a.OSRImportFromProj4);
  v("CPLErrorReset", a.CPLErrorReset);
  v("CPLGetLastErrorType", a.CPLGetLastErrorType);
  v("CPLGetLastErrorMsg", a.CPLGetLastErrorMsg);
  v("CPLPushErrorHandler", a.CPLPushErrorHandler);
  v("CPLPopErrorHandler", a.CPLPopErrorHandler);
  v("CPLQuietErrorHandler", a.CPLQuietErrorHandler);
}

// The library's state: its functions once loaded, or why they could not be.
struct Library {
  GdalApi api;
  std::string missing;  // "" when loaded
};

Library load() {
  Library lib;
  void* handle = dlopen(STACONT_GDAL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    lib.missing = std::string("Unable to load the GDAL library: ") + (error != nullptr ? error : STACONT_GDAL_LIBRARY);
    return lib;
  }
  each(lib.api, [&](const char* name, auto& f) {
    f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(dlsym(handle, name));
    if (f == nullptr && lib.missing.empty())
      lib.missing = std::string("Unable to load the GDAL library: ") + name + " is missing from " + STACONT_GDAL_LIBRARY;
  });
  if (lib.missing.empty()) lib.api.GDALAllRegister();
  return lib;
}

const Library& library() {
  static const Library lib = load();
  return lib;
}

// The library reports its errors through a handler that prints them; the writer says what
// failed in its own message instead.
class QuietErrors {
 public:
  explicit QuietErrors(const GdalApi& a) : a_(a) {
    a_.CPLPushErrorHandler(a_.CPLQuietErrorHandler);
    a_.CPLErrorReset();
  }
  ~QuietErrors() { a_.CPLPopErrorHandler(); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;
  bool failed() const { return a_.CPLGetLastErrorType() >= CE_Failure; }
  std::string reason(const char* what) const {
    const char* m = a_.CPLGetLastErrorMsg();
    return (m != nullptr && *m != '\0') ? std::string(what) + ": " + m : std::string(what);
  }

 private:
  const GdalApi& a_;
};

#endif

}  // namespace

std::string GDL_unavailable() {
#ifdef STACONT_GDAL_LIBRARY
  return library().missing;
#else
  return "This program was built without GDAL";
#endif
}

int GDL_write_geotiff(const char* path, int nx, int ny, const float* values, double nodata, const char* crs,
                      const double transform[6], const std::vector<std::string>& tags, const char* description,
                      const char* units, std::string* error) {
  std::string local;
  std::string& why = error != nullptr ? *error : local;
  why.clear();
  if (path == nullptr || values == nullptr || crs == nullptr || transform == nullptr || nx < 1 || ny < 1) {
    why = "No grid to write";
    return -1;
  }
#ifdef STACONT_GDAL_LIBRARY
  const Library& lib = library();
  if (!lib.missing.empty()) {
    why = lib.missing;
    return -1;
  }
  const GdalApi& a = lib.api;
  QuietErrors quiet(a);
  GDALDriverH driver = a.GDALGetDriverByName("GTiff");
  if (driver == nullptr) {
    why = "The GDAL library has no GeoTIFF driver";
    return -1;
  }
  OGRSpatialReferenceH srs = a.OSRNewSpatialReference(nullptr);
  if (srs == nullptr || a.OSRImportFromProj4(srs, crs) != OGRERR_NONE) {
    why = quiet.reason((std::string("The GDAL library does not take the projection ") + crs).c_str());
    if (srs != nullptr) a.OSRDestroySpatialReference(srs);
    return -1;
  }
  const char* options[] = {"COMPRESS=DEFLATE", "PREDICTOR=3", nullptr};
  GDALDatasetH ds = a.GDALCreate(driver, path, nx, ny, 1, GDT_Float32, const_cast<char**>(options));
  if (ds == nullptr) {
    why = quiet.reason("Unable to create the file");
    a.OSRDestroySpatialReference(srs);
    return -1;
  }
  double gt[6];
  for (int k = 0; k < 6; ++k) gt[k] = transform[k];
  bool ok = a.GDALSetGeoTransform(ds, gt) == CE_None && a.GDALSetSpatialRef(ds, srs) == CE_None;
  a.OSRDestroySpatialReference(srs);
  for (const std::string& tag : tags) {
    const std::size_t eq = tag.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    ok = ok && a.GDALSetMetadataItem(ds, tag.substr(0, eq).c_str(), tag.c_str() + eq + 1, nullptr) == CE_None;
  }
  GDALRasterBandH band = a.GDALGetRasterBand(ds, 1);
  ok = ok && band != nullptr && a.GDALSetRasterNoDataValue(band, nodata) == CE_None;
  if (ok && description != nullptr) a.GDALSetDescription(band, description);
  if (ok && units != nullptr) ok = a.GDALSetRasterUnitType(band, units) == CE_None;
  ok = ok && a.GDALRasterIO(band, GF_Write, 0, 0, nx, ny, const_cast<float*>(values), nx, ny, GDT_Float32, 0, 0) ==
                 CE_None;
  if (!ok) why = quiet.reason("Unable to write the file");
  // Closing flushes the compressed strips: a full disk shows here.
  a.GDALClose(ds);
  if (ok && quiet.failed()) {
    ok = false;
    why = quiet.reason("Unable to write the file");
  }
  return ok ? 0 : -1;
#else
  (void)nodata;
  (void)tags;
  (void)description;
  (void)units;
  why = GDL_unavailable();
  return -1;
#endif
}
