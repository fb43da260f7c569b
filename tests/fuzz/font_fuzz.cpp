// Stroke font files (read_font, then strings laid out and drawn with the font) and, for an
// odd first byte, font list files (gsetup_fonts through "fi:").
#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/gks_text.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  fuzz::open_recorder();
  if (size == 0) return 0;
  const std::string input = fuzz::text(data + 1, size - 1);
  if (data[0] % 2 == 0) {
    const std::string path = fuzz::write_file("fuzz.fnt", input);
    read_font(path.c_str());
    static const char sample[] = "Surface 1013.2 hPa -12\xB0 ~|{}";
    gtext_width(sample);
    ::text(sample, 0.1f, 0.5f);
    for (int code = 0; code < 256; code += 17) gget_glyph_width(code);
  } else {
    const std::string path = fuzz::write_file("fuzz.fnl", input);
    gset_font_list(("fi:" + path).c_str());
    gsetup_fonts();
    for (int i = 1; i <= gget_num_fonts() && i < 50; ++i) gget_font_name(i);
    gget_font_index("modern");
    gset_font_list(nullptr);
  }
  return 0;
}
