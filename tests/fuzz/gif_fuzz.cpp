// GIF files read into image records (GIF_read).
#include <vector>

#include "graphics/gif.h"
#include "graphics/img_tool.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  const std::string path = fuzz::write_file("fuzz.gif", data, size);
  ImgRec image;
  IMG_init(&image);
  if (GIF_read(path.c_str(), &image) == 1 && image.width > 0 && image.height > 0 &&
      static_cast<long long>(image.width) * image.height <= 1 << 20) {
    std::vector<unsigned char> palette, index;
    IMG_reduce(&image, &palette, &index);
  }
  IMG_free(&image);
  return 0;
}
