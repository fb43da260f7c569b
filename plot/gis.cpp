// The map side of the feature device: world coordinates of the map transformation are
// projection-plane units, and the CRS of a grid domain is a linear map of them, so one
// scale and offset per axis places every vertex. The layers and their fields are made
// here, where the plot's meaning of each feature is known.
#include "plot/gis.h"

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "analysis/grd_cf.h"
#include "config/mess.h"
#include "files/gdal.h"
#include "graphics/gks_ogr.h"
#include "plot/maptran.h"

namespace {

struct Gis {
  bool valid = false;
  DomainRec domain{};
  float limits[4] = {0, 0, 0, 0};
  GrdCrs crs;
  // CRS = offset + scale * world, per axis.
  double ox = 0.0, sx = 1.0, oy = 0.0, sy = 1.0;
  bool has_crs = false;
};
Gis st;

bool same_map() {
  if (!st.valid) return false;
  DomainRec d;
  MAP_get_domain(&d);
  float lim[4];
  MAP_get_limits(lim);
  for (int k = 0; k < 4; ++k)
    if (lim[k] != st.limits[k]) return false;
  return DOM_comp(&d, &st.domain) == 1 && d.nx == st.domain.nx && d.ny == st.domain.ny;
}

void take_map() {
  st.valid = true;
  MAP_get_domain(&st.domain);
  MAP_get_limits(st.limits);
  st.has_crs = GRD_cf_crs(&st.domain, &st.crs) == 0 && st.domain.dx != 0.0F && st.domain.dy != 0.0F;
  if (!st.has_crs) return;
  // Column c lies at limits[0] + c dx, row r (from the top) at limits[3] - r dy.
  const DomainRec& d = st.domain;
  st.sx = st.crs.dx / d.dx;
  st.ox = st.crs.x0 - st.limits[0] * st.sx;
  st.sy = st.crs.dy / d.dy;
  st.oy = st.crs.y0 + (d.ny - 1) * st.crs.dy - st.limits[3] * st.sy;
}

int place(int n, const float* world, double* out) {
  if (!same_map()) take_map();
  if (!st.has_crs) return -1;
  for (int k = 0; k < n; ++k) {
    out[2 * k] = st.ox + st.sx * world[2 * k];
    out[2 * k + 1] = st.oy + st.sy * world[2 * k + 1];
  }
  return 0;
}

std::string unavailable(const char* path) { return GDL_vector_unavailable(path); }

std::string colour_text(int rgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06x", rgb & 0xFFFFFF);
  return buf;
}

// "name=value;name=value" as pairs.
std::vector<std::pair<std::string, std::string>> fields_of(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find(';', at);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(at, end - at);
    const std::size_t eq = item.find('=');
    if (eq != std::string::npos && eq > 0) out.emplace_back(item.substr(0, eq), item.substr(eq + 1));
    at = end + 1;
  }
  return out;
}

int write(const char* path, std::vector<GksFeature>* all, std::string* error) {
  std::vector<GksFeature>& features = *all;
  if (!st.valid) take_map();
  if (!st.has_crs) {
    *error = "The map has no coordinate reference system";
    return -1;
  }
  enum { CONTOURS, BANDS, EXTREMES, FRONTS, WINDS, STATIONS, COUNT };
  std::vector<GdlLayer> layers(COUNT);
  layers[CONTOURS] = {"contours", GDL_LINE, {{"level", 'r'}, {"frame", 'i'}}, {}};
  layers[BANDS] = {"bands", GDL_POLYGON, {{"lower", 'r'}, {"upper", 'r'}, {"frame", 'i'}, {"colour", 's'}}, {}};
  layers[EXTREMES] = {"highs_lows", GDL_POINT, {{"value", 'r'}, {"frame", 'i'}, {"kind", 's'}}, {}};
  layers[FRONTS] = {"fronts", GDL_LINE, {{"frame", 'i'}, {"kind", 's'}}, {}};
  layers[WINDS] = {"winds", GDL_POINT, {{"speed", 'r'}, {"direction", 'r'}, {"frame", 'i'}, {"symbol", 's'}}, {}};
  layers[STATIONS] = {"stations", GDL_POINT, {{"frame", 'i'}}, {}};
  // Station fields are those the plot format shows, in the order first seen.
  std::map<std::string, std::size_t> station_field;
  for (const GksFeature& f : features) {
    if (f.kind != GFEAT_STATION) continue;
    for (const auto& [name, value] : fields_of(f.text))
      if (station_field.emplace(name, station_field.size()).second) layers[STATIONS].fields.push_back({name, 's'});
  }
  for (GksFeature& f : features) {
    GdlFeature g;
    g.xy = std::move(f.xy);
    const double frame = f.frame;
    switch (f.kind) {
      case GFEAT_CONTOUR:
        g.numbers = {f.a, frame};
        layers[CONTOURS].features.push_back(std::move(g));
        break;
      case GFEAT_BAND:
        g.numbers = {f.a, f.b, frame};
        g.texts = {colour_text(f.color)};
        layers[BANDS].features.push_back(std::move(g));
        break;
      case GFEAT_EXTREME:
        g.numbers = {f.a, frame};
        g.texts = {f.text};
        layers[EXTREMES].features.push_back(std::move(g));
        break;
      case GFEAT_FRONT:
        g.numbers = {frame};
        g.texts = {f.text};
        layers[FRONTS].features.push_back(std::move(g));
        break;
      case GFEAT_WIND:
        g.numbers = {f.a, f.b, frame};
        g.texts = {f.text};
        layers[WINDS].features.push_back(std::move(g));
        break;
      case GFEAT_STATION: {
        g.numbers = {frame};
        g.texts.assign(station_field.size(), "");
        for (const auto& [name, value] : fields_of(f.text)) g.texts[station_field[name]] = value;
        layers[STATIONS].features.push_back(std::move(g));
        break;
      }
      default:
        break;
    }
  }
  // The valid time, when the plot gave one, as the last text field of every layer.
  bool timed = false;
  for (const GksFeature& f : features) timed = timed || !f.time.empty();
  if (timed) {
    for (GdlLayer& l : layers) {
      l.fields.push_back({"time", 's'});
      for (GdlFeature& g : l.features) g.texts.emplace_back();
    }
    std::size_t k[COUNT] = {};
    for (const GksFeature& f : features) {
      const int layer = f.kind == GFEAT_CONTOUR   ? CONTOURS
                        : f.kind == GFEAT_BAND    ? BANDS
                        : f.kind == GFEAT_EXTREME ? EXTREMES
                        : f.kind == GFEAT_FRONT   ? FRONTS
                        : f.kind == GFEAT_WIND    ? WINDS
                        : f.kind == GFEAT_STATION ? STATIONS
                                                  : -1;
      if (layer < 0) continue;
      layers[static_cast<std::size_t>(layer)].features[k[layer]++].texts.back() = f.time;
    }
  }
  std::vector<std::string> written;
  if (GDL_write_features(path, st.crs.proj.c_str(), layers, &written, error) != 0) return -1;
  for (const std::string& name : written) MESS_print(MESS_MESS, "Creating: %s\n", name.c_str());
  return 0;
}

}  // namespace

void GIS_reset_state() { st = Gis{}; }

void GIS_connect() {
  GksFeatureHooks hooks;
  hooks.unavailable = unavailable;
  hooks.place = place;
  hooks.write = write;
  gogr_set_hooks(hooks);
}
