// GIS files through GDAL's C interface, loaded by name at the first call: linked in, the
// library and the dozens it depends on would add their loading time to every run.
#include "files/gdal.h"

#include <string>
#include <vector>

#ifdef STACONT_GDAL_LIBRARY
#include <cpl_error.h>
#include <dlfcn.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <unistd.h>

#include <cstring>

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
  // Vector features.
  decltype(&::GDALDeleteDataset) GDALDeleteDataset = nullptr;
  decltype(&::GDALDatasetCreateLayer) GDALDatasetCreateLayer = nullptr;
  decltype(&::GDALDatasetStartTransaction) GDALDatasetStartTransaction = nullptr;
  decltype(&::GDALDatasetCommitTransaction) GDALDatasetCommitTransaction = nullptr;
  decltype(&::OSRSetAxisMappingStrategy) OSRSetAxisMappingStrategy = nullptr;
  decltype(&::OGR_Fld_Create) OGR_Fld_Create = nullptr;
  decltype(&::OGR_Fld_Destroy) OGR_Fld_Destroy = nullptr;
  decltype(&::OGR_L_CreateField) OGR_L_CreateField = nullptr;
  decltype(&::OGR_L_GetLayerDefn) OGR_L_GetLayerDefn = nullptr;
  decltype(&::OGR_L_CreateFeature) OGR_L_CreateFeature = nullptr;
  decltype(&::OGR_F_Create) OGR_F_Create = nullptr;
  decltype(&::OGR_F_Destroy) OGR_F_Destroy = nullptr;
  decltype(&::OGR_F_SetFieldDouble) OGR_F_SetFieldDouble = nullptr;
  decltype(&::OGR_F_SetFieldInteger) OGR_F_SetFieldInteger = nullptr;
  decltype(&::OGR_F_SetFieldString) OGR_F_SetFieldString = nullptr;
  decltype(&::OGR_F_SetGeometryDirectly) OGR_F_SetGeometryDirectly = nullptr;
  decltype(&::OGR_G_CreateGeometry) OGR_G_CreateGeometry = nullptr;
  decltype(&::OGR_G_DestroyGeometry) OGR_G_DestroyGeometry = nullptr;
  decltype(&::OGR_G_SetPoints) OGR_G_SetPoints = nullptr;
  decltype(&::OGR_G_SetPoint_2D) OGR_G_SetPoint_2D = nullptr;
  decltype(&::OGR_G_AddGeometryDirectly) OGR_G_AddGeometryDirectly = nullptr;
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
  v("GDALDeleteDataset", a.GDALDeleteDataset);
  v("GDALDatasetCreateLayer", a.GDALDatasetCreateLayer);
  v("GDALDatasetStartTransaction", a.GDALDatasetStartTransaction);
  v("GDALDatasetCommitTransaction", a.GDALDatasetCommitTransaction);
  v("OSRSetAxisMappingStrategy", a.OSRSetAxisMappingStrategy);
  v("OGR_Fld_Create", a.OGR_Fld_Create);
  v("OGR_Fld_Destroy", a.OGR_Fld_Destroy);
  v("OGR_L_CreateField", a.OGR_L_CreateField);
  v("OGR_L_GetLayerDefn", a.OGR_L_GetLayerDefn);
  v("OGR_L_CreateFeature", a.OGR_L_CreateFeature);
  v("OGR_F_Create", a.OGR_F_Create);
  v("OGR_F_Destroy", a.OGR_F_Destroy);
  v("OGR_F_SetFieldDouble", a.OGR_F_SetFieldDouble);
  v("OGR_F_SetFieldInteger", a.OGR_F_SetFieldInteger);
  v("OGR_F_SetFieldString", a.OGR_F_SetFieldString);
  v("OGR_F_SetGeometryDirectly", a.OGR_F_SetGeometryDirectly);
  v("OGR_G_CreateGeometry", a.OGR_G_CreateGeometry);
  v("OGR_G_DestroyGeometry", a.OGR_G_DestroyGeometry);
  v("OGR_G_SetPoints", a.OGR_G_SetPoints);
  v("OGR_G_SetPoint_2D", a.OGR_G_SetPoint_2D);
  v("OGR_G_AddGeometryDirectly", a.OGR_G_AddGeometryDirectly);
}

// The library's state: its functions once loaded, or why they could not be.
struct Library {
  GdalApi api;
  std::string missing;  // "" when loaded
};

Library load() {
  Library lib;
  // Bound lazily, as the netCDF library is: a run uses a few of the functions its
  // libraries call among themselves.
  void* handle = dlopen(STACONT_GDAL_LIBRARY, RTLD_LAZY | RTLD_LOCAL);
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

namespace {

struct VectorFormat {
  const char* extension;
  const char* driver;
  bool one_layer;  // a file holds one layer
  bool lon_lat;    // coordinates are longitude and latitude
};
constexpr VectorFormat kFormats[] = {
    {".gpkg", "GPKG", false, false},          {".geojson", "GeoJSON", true, true},
    {".json", "GeoJSON", true, true},         {".shp", "ESRI Shapefile", true, false},
    {".kml", "KML", false, true},             {".fgb", "FlatGeobuf", true, false},
};

const VectorFormat* format_of(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (const VectorFormat& f : kFormats)
    if (ext == f.extension) return &f;
  return nullptr;
}

#ifdef STACONT_GDAL_LIBRARY

// One file of layers. GDAL objects are freed on every path out.
int write_file(const GdalApi& a, const VectorFormat& fmt, const std::string& path, const char* crs,
               const std::vector<const GdlLayer*>& layers, std::string& why) {
  QuietErrors quiet(a);
  GDALDriverH driver = a.GDALGetDriverByName(fmt.driver);
  if (driver == nullptr) {
    why = std::string("The GDAL library has no ") + fmt.driver + " driver";
    return -1;
  }
  // A file of the same name is replaced (with the files that go with a shapefile).
  if (access(path.c_str(), F_OK) == 0) {
    a.GDALDeleteDataset(driver, path.c_str());
    unlink(path.c_str());
    a.CPLErrorReset();
  }
  OGRSpatialReferenceH srs = a.OSRNewSpatialReference(nullptr);
  if (srs == nullptr || a.OSRImportFromProj4(srs, crs) != OGRERR_NONE) {
    why = quiet.reason((std::string("The GDAL library does not take the projection ") + crs).c_str());
    if (srs != nullptr) a.OSRDestroySpatialReference(srs);
    return -1;
  }
  a.OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
  GDALDatasetH ds = a.GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (ds == nullptr) {
    why = quiet.reason("Unable to create the file");
    a.OSRDestroySpatialReference(srs);
    return -1;
  }
  bool ok = true;
  const bool transaction = a.GDALDatasetStartTransaction(ds, FALSE) == OGRERR_NONE;
  for (const GdlLayer* layer : layers) {
    if (!ok) break;
    const OGRwkbGeometryType type =
        layer->geometry == GDL_POINT ? wkbPoint : (layer->geometry == GDL_LINE ? wkbLineString : wkbPolygon);
    // GeoJSON as RFC 7946 asks: longitude and latitude, right-hand winding, split at the
    // antimeridian; the library transforms from the map's CRS.
    const char* rfc[] = {"RFC7946=YES", "WRITE_BBOX=YES", nullptr};
    const char* none[] = {nullptr};
    // A GeoPackage's R-tree would take three times as long to build as the rest of the
    // file; contour layers are drawn whole, and QGIS or ogrinfo add one when wanted.
    const char* gpkg[] = {"SPATIAL_INDEX=NO", nullptr};
    const bool geojson = std::strcmp(fmt.driver, "GeoJSON") == 0;
    char** options = const_cast<char**>(geojson ? rfc : (std::strcmp(fmt.driver, "GPKG") == 0 ? gpkg : none));
    OGRLayerH l = a.GDALDatasetCreateLayer(ds, layer->name.c_str(), srs, type, options);
    if (l == nullptr) {
      why = quiet.reason(("Unable to make the layer " + layer->name).c_str());
      ok = false;
      break;
    }
    for (const GdlField& f : layer->fields) {
      OGRFieldDefnH d =
          a.OGR_Fld_Create(f.name.c_str(), f.type == 's' ? OFTString : (f.type == 'i' ? OFTInteger : OFTReal));
      ok = ok && a.OGR_L_CreateField(l, d, TRUE) == OGRERR_NONE;
      a.OGR_Fld_Destroy(d);
    }
    if (!ok) {
      why = quiet.reason(("Unable to make the fields of the layer " + layer->name).c_str());
      break;
    }
    OGRFeatureDefnH defn = a.OGR_L_GetLayerDefn(l);
    std::vector<double> xs, ys;
    for (const GdlFeature& feature : layer->features) {
      const std::size_t n = feature.xy.size() / 2;
      if (n == 0) continue;
      OGRFeatureH h = a.OGR_F_Create(defn);
      int field = 0;
      std::size_t num = 0, txt = 0;
      for (const GdlField& f : layer->fields) {
        if (f.type == 's') {
          if (txt < feature.texts.size()) a.OGR_F_SetFieldString(h, field, feature.texts[txt].c_str());
          ++txt;
        } else {
          if (num < feature.numbers.size()) {
            if (f.type == 'i')
              a.OGR_F_SetFieldInteger(h, field, static_cast<int>(feature.numbers[num]));
            else
              a.OGR_F_SetFieldDouble(h, field, feature.numbers[num]);
          }
          ++num;
        }
        ++field;
      }
      OGRGeometryH g = nullptr;
      if (layer->geometry == GDL_POINT) {
        g = a.OGR_G_CreateGeometry(wkbPoint);
        a.OGR_G_SetPoint_2D(g, 0, feature.xy[0], feature.xy[1]);
      } else {
        xs.resize(n), ys.resize(n);
        for (std::size_t k = 0; k < n; ++k) xs[k] = feature.xy[2 * k], ys[k] = feature.xy[2 * k + 1];
        if (layer->geometry == GDL_POLYGON && (xs[0] != xs[n - 1] || ys[0] != ys[n - 1]))
          xs.push_back(xs[0]), ys.push_back(ys[0]);
        const int m = static_cast<int>(xs.size());
        if (layer->geometry == GDL_LINE) {
          g = a.OGR_G_CreateGeometry(wkbLineString);
          a.OGR_G_SetPoints(g, m, xs.data(), sizeof(double), ys.data(), sizeof(double), nullptr, 0);
        } else {
          OGRGeometryH ring = a.OGR_G_CreateGeometry(wkbLinearRing);
          a.OGR_G_SetPoints(ring, m, xs.data(), sizeof(double), ys.data(), sizeof(double), nullptr, 0);
          g = a.OGR_G_CreateGeometry(wkbPolygon);
          a.OGR_G_AddGeometryDirectly(g, ring);
        }
      }
      a.OGR_F_SetGeometryDirectly(h, g);
      const OGRErr e = a.OGR_L_CreateFeature(l, h);
      a.OGR_F_Destroy(h);
      if (e != OGRERR_NONE) {
        why = quiet.reason(("Unable to write a feature of the layer " + layer->name).c_str());
        ok = false;
        break;
      }
    }
  }
  if (transaction && a.GDALDatasetCommitTransaction(ds) != OGRERR_NONE && ok) {
    why = quiet.reason("Unable to write the file");
    ok = false;
  }
  a.OSRDestroySpatialReference(srs);
  // Closing writes what the driver kept back: a full disk shows here.
  a.GDALClose(ds);
  if (ok && quiet.failed()) {
    why = quiet.reason("Unable to write the file");
    ok = false;
  }
  return ok ? 0 : -1;
}

#endif

}  // namespace

std::string GDL_vector_unavailable(const char* path) {
  std::string why = GDL_unavailable();
  if (!why.empty()) return why;
  if (path == nullptr || format_of(path) == nullptr)
    return "A feature file is named .gpkg, .geojson, .json, .shp, .kml or .fgb";
  return "";
}

int GDL_write_features(const char* path, const char* crs, const std::vector<GdlLayer>& layers,
                       std::vector<std::string>* written, std::string* error) {
  std::string local;
  std::string& why = error != nullptr ? *error : local;
  why = GDL_vector_unavailable(path);
  if (!why.empty()) return -1;
  if (crs == nullptr || *crs == '\0') {
    why = "The map has no coordinate reference system";
    return -1;
  }
#ifdef STACONT_GDAL_LIBRARY
  const GdalApi& a = library().api;
  const std::string name = path;
  const VectorFormat& fmt = *format_of(name);
  std::vector<const GdlLayer*> full;
  for (const GdlLayer& l : layers)
    if (!l.features.empty()) full.push_back(&l);
  // An empty file still says what it would hold: the first layer, with no features.
  if (full.empty() && !layers.empty()) full.push_back(&layers.front());
  if (!fmt.one_layer || full.size() <= 1) {
    if (write_file(a, fmt, name, crs, full, why) != 0) return -1;
    if (written != nullptr) written->push_back(name);
    return 0;
  }
  const std::size_t dot = name.rfind('.');
  for (const GdlLayer* l : full) {
    const std::string one = name.substr(0, dot) + "_" + l->name + name.substr(dot);
    if (write_file(a, fmt, one, crs, {l}, why) != 0) {
      why = one + ": " + why;
      return -1;
    }
    if (written != nullptr) written->push_back(one);
  }
  return 0;
#else
  (void)layers;
  (void)written;
  return -1;
#endif
}
