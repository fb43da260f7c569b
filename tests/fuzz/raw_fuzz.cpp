// Raw station-data files (RAW_open, RAW_getinfo, RAW_read of every line and field), and
// single value tokens (RAW_dec_line).

#include "files/date.h"
#include "surface/raw_read.h"
#include "surface/raw_tool.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  const std::string path = fuzz::write_file("fuzz.raw", data, size);
  RAW_chktype(path.c_str());
  const int handle = RAW_open(path.c_str());
  if (handle < 0) return 0;
  DateRec date;
  char line[RAW_LINE_MAX + 1];
  const int fields = RAW_getinfo(handle, &date, line, sizeof line);
  if (fields >= 0) {
    for (int i = 0; i < fields && i < RAW_MAX_FIELDS; ++i) RAW_get_field(handle, i);
    RAW_field_index(handle, "temp");
    RawDataRec record;
    for (int index = 0; index < 5000; ++index) {
      if (RAW_read(handle, &record, index % (fields + 1), index) == 0) break;
      RAW_get_id(handle);
      RAW_get_comment(handle);
    }
  }
  RAW_close(handle);
  // The value tokens of the first line, one by one.
  std::string token;
  for (std::size_t i = 0; i <= size && i < 4096; ++i) {
    if (i == size || data[i] == ' ' || data[i] == '\n' || data[i] == 0) {
      if (!token.empty()) {
        RawDataRec record;
        char comment[64];
        RAW_dec_line(token.c_str(), &record, comment, sizeof comment);
      }
      token.clear();
      if (i < size && data[i] == '\n') break;
    } else {
      token += static_cast<char>(data[i]);
    }
  }
  return 0;
}
