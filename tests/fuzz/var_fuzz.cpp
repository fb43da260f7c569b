// Variable requests (VAR_setup, with the package variable file open) and, for an odd first
// byte, a variable file of the input's own read with a request naming its entries.

#include "surface/var_tool.h"
#include "tests/fuzz/fuzz_support.h"

STACONT_FUZZ_TARGET(first, text) {
  if (first % 2 == 0) {
    static const bool opened = VAR_open_file(STACONT_DATA_DIR "/stacont.var") == 1;
    (void)opened;
    text = text.c_str();  // the request ends at a zero byte, as an option's text would
    VAR_setup(nullptr, text.c_str());
    for (int i = 0; i < VAR_get_num(); ++i) {
      VAR_make_var_datatype(i);
      VAR_get_description(i);
    }
  } else {
    const std::string path = fuzz::write_file("fuzz.var", text);
    VAR_setup(path.c_str(), "temp,dewp:ln,wind,prec-6,rhum");
    VAR_read_menu();
    VAR_lookup("temp");
    VAR_open_file(STACONT_DATA_DIR "/stacont.var");
  }
}
