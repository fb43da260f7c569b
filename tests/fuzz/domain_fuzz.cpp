// Domain texts (DOM_decode, then the projection made current and points carried both ways)
// and, for an odd first byte, region files (the menu, a named entry and its domain text).

#include "plot/maptran.h"
#include "plot/region.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void use_domain(const DomainRec& domain) {
  if (MAP_domain(&domain) != 1) return;
  DOM_print(0, &domain);
  static const float points[][2] = {{40.0f, -100.0f}, {90.0f, 0.0f}, {-90.0f, 180.0f}, {0.0f, -180.0f}};
  for (const auto& p : points) {
    float x = 0.0f, y = 0.0f, lat = 0.0f, lon = 0.0f;
    if (MAP_tran(&x, &y, p[0], p[1])) MAP_untran(&lat, &lon, x, y);
    MAP_dir_adj(270.0f, x, y);
  }
  float column = 0.0f, row = 0.0f, x = 0.0f, y = 0.0f;
  MAP_grid_tran(&x, &y, 1.0f, 1.0f);
  MAP_grid_untran(&column, &row, x, y);
  MAP_point_scale(45.0f);
  MAP_domain(nullptr);
}

}  // namespace

STACONT_FUZZ_TARGET(first, text) {
  DomainRec domain;
  DOM_init(&domain);
  if (first % 2 == 0) {
    text = text.c_str();
    if (DOM_decode(text.c_str(), &domain) > 0) use_domain(domain);
  } else {
    const std::string path = fuzz::write_file("fuzz.reg", text);
    DOM_read_menu(path.c_str());
    char result[DOM_TEXT_LEN + 1];
    if (DOM_search_file(path.c_str(), nullptr, result) == 1) {
      DOM_init(&domain);
      if (DOM_decode(result, &domain) > 0) use_domain(domain);
    }
    DOM_search_file(path.c_str(), "us", result);
    DOM_read_menu(STACONT_DATA_DIR "/zav.reg");
  }
}
