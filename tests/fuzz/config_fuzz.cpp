// Resource files (read with their conditional sections at start-up, RES_init) and, for an
// odd first byte, naming-convention files (a convention chosen by name and a file name made
// for a date with it).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/string.h"
#include "files/date.h"
#include "files/files.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The resources the program takes (as its entry lists them).
constexpr int kKeyed[] = {57, 3,  73, 48, 41, 39, 55, 94, 63, 106, 112, 113, 114, 6,  72, 76, 64, 80, 47, 40,
                          58, 78, 60, 84, 110, 96, 98, 105, 79, 89, 88, 85, 86, 44, 69,  37, 35, 51, 27, 28,
                          13, 23, 17, 22, 16, 31, 9,  32, 10, 11, 15, 20, 8,  46, 102, 59, 2,  53, 0};
constexpr int kPositional[] = {50, 0};

}  // namespace

STACONT_FUZZ_TARGET(first, text) {
  if (first % 2 == 0) {
    const std::string path = fuzz::write_file("zav.cfg", text);
    setenv("zavdefault", path.c_str(), 1);
    char prog[] = "/usr/bin/stacont";
    char* argv[] = {prog, nullptr};
    RES_init(1, argv, kKeyed, kPositional);
    MESS_set_out(0);
    for (const char* name : {"file", "domain", "variable", "device", "map_file", "color_table", "hour"}) {
      const char* value = RES_get(name);
      if (value) {
        int count = 0;
        char** list = nullptr;
        RES_getvals(name, &count, &list);
        free_parsed_array(count, list);
      }
    }
    fuzz::reset();
  } else {
    const std::string path = fuzz::write_file("name_conv", text);
    RES_put("name_conv", path.c_str());
    // The first word of the file names a convention, as a user's option would.
    const std::size_t start = text.find_first_not_of(" \t\r\n#");
    std::string name = start == std::string::npos ? "sfc" : text.substr(start, text.find_first_of(" \t\r\n", start) - start);
    name = name.c_str();
    char result[FILE_NAME_MAX];
    for (const char* conv : {name.c_str(), "sfc", "sfc_grd_cdf"}) {
      FILE_set_name(conv);
      DateRec date;
      DATE_init(&date);
      date.year = 2026, date.month = 3, date.day = 14, date.hour = 0, date.minute = 0;
      FILE_set_date(&date, result);
      FILE_hdr_set_date(nullptr, result);
    }
    FILE_set_name_conv("3600 %Y%m%d%h.sfc -");
  }
}
