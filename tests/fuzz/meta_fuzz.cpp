// Metafiles replayed (gread_metafile): the text form and the CGM binary form, told apart by
// their first bytes, onto the recording device.

#include "graphics/gks_meta.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  fuzz::open_recorder();
  const std::string path = fuzz::write_file("fuzz.meta", data, size);
  gread_metafile(path.c_str());
  return 0;
}
