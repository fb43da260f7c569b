// The other image files: the first byte chooses PNG (PNG_read), XWD (XWD_read), the package
// format (IMG_read_zav) or the reader that dispatches on the magic (IMG_read). A picture
// read is reduced to a palette, as writing it again would.
#include <vector>

#include "graphics/gks_img.h"
#include "graphics/img_tool.h"
#include "graphics/png.h"
#include "graphics/xdump.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  if (size == 0) return 0;
  const std::string path = fuzz::write_file("fuzz.img", data + 1, size - 1);
  ImgRec image;
  IMG_init(&image);
  int read = 0;
  switch (data[0] % 4) {
    case 0: read = PNG_read(path.c_str(), &image); break;
    case 1: read = XWD_read(path.c_str(), &image); break;
    case 2: read = IMG_read_zav(path.c_str(), &image); break;
    default: read = IMG_read(path.c_str(), &image, 1); break;
  }
  // Reducing touches every pixel: only for pictures a fuzzer input can hold honestly.
  if (read == 1 && image.width > 0 && image.height > 0 &&
      static_cast<long long>(image.width) * image.height <= 1 << 20) {
    std::vector<unsigned char> palette, index;
    IMG_reduce(&image, &palette, &index);
  }
  IMG_free(&image);
  return 0;
}
