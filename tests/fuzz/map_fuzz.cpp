// Map outline files, text or binary (MAP_map), drawn over a domain of the United States
// on the recording device, through a map list naming the file (MAP_draw) so that
// the cache and the fill of an item are used too.
#include <cstdio>

#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  fuzz::open_recorder();
  static const bool ready = [] {
    DomainRec domain;
    DOM_init(&domain);
    if (!DOM_get_def_region("us", &domain)) return false;
    return MAP_setup(&domain) != 0;
  }();
  (void)ready;
  if (size == 0) return 0;
  const std::string path = fuzz::write_file("fuzz.map", data + 1, size - 1);
  if (data[0] % 2 == 0) {
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
      MAP_map(f);
      std::fclose(f);
    }
  } else {
    MAP_clear_cache();
    MAP_fill_cont(data[0] & 2 ? 1 : 0);
    MAP_latlon(0, 0, 0.0f, 0.0f);  // the file's lines alone
    MAP_file((path + ":red:wi=2").c_str());
    MAP_draw(4);
  }
  return 0;
}
