// Map background. Making the domain current is real; the outlines themselves are drawn
// once the graphics primitives arrive, so MAP_draw records its request only.
#include "plot/map.h"

#include <string>

#include "graphics/gks_tool.h"
#include "plot/maptran.h"

namespace {
int fill_cont = 0;
std::string map_format;
}  // namespace

int MAP_setup(const DomainRec* domain) {
  const int set = MAP_domain(domain);
  MAP_set_limits();
  GPH_trans(2);
  return set;
}

int MAP_draw(int) { return 0; }

void MAP_fill_cont(int on) { fill_cont = on; }
int MAP_get_fill_cont() { return fill_cont; }

void MAP_set_format(const char* attributes) { map_format = attributes != nullptr ? attributes : ""; }

namespace {
int lat_dot = 0, lat_extra = 0;
float latln = 0.0F, lonln = 0.0F;
}  // namespace

void MAP_latlon(int dot, int extra, float dlat, float dlon) {
  lat_dot = dot;
  lat_extra = extra;
  latln = dlat;
  lonln = dlon;
}

void MAP_get_latlon(float* dlat, float* dlon) {
  if (dlat != nullptr) *dlat = latln;
  if (dlon != nullptr) *dlon = lonln;
}
