// Stroke font files (read_font, then strings laid out and drawn with the font) and, for an
// odd first byte, font list files (gsetup_fonts through "fi:").

#include "graphics/gks_text.h"
#include "tests/fuzz/fuzz_support.h"

STACONT_FUZZ_TARGET(first, input) {
  fuzz::open_recorder();
  if (first % 2 == 0) {
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
}
