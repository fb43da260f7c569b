// Surface files in every form the plot loop opens: the package text forms, the netCDF
// forms (the header is checked before the library sees it), report collections, hourly
// files, reports one a line, station tables and bulletins (read whole by the report module).
// The file's name dates the reports when it holds a date; which name is used follows the
// input's size, so that both ways are taken.

#include "surface/obs_read.h"
#include "surface/sfc_read.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  static const bool registered = (SFC_set_report_reader(OBS_read_file), true);
  (void)registered;
  static const char* const names[] = {"obs.sfc", "metar_20190701_1200.txt", "2026031400.sfc"};
  const std::string path = fuzz::write_file(names[size % 3], data, size);
  int form = 0;
  const int handle = SFC_open(path.c_str(), 0, &form);
  if (handle < 0) return 0;
  sfc_info info;
  SFC_getinfo(handle, &info);
  sfc_report report;
  // Reports in order, as the plot loop asks for them, then one out of order after a rewind.
  for (int n = 0; n < 100000; ++n) {
    int index = n;
    if (SFC_read(handle, &report, 0, &index) != 0) break;
  }
  SFC_rewind(handle);
  int index = 2;
  SFC_read(handle, &report, 2, &index);
  SFC_close(handle);
  return 0;
}
