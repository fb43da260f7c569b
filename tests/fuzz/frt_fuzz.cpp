// Coded frontal-position bulletins (FRT_read_file): the analysis section, or with the
// first byte's low bits a forecast section ("hour=12") or an analysis date to match.

#include "config/resrc.h"
#include "files/date.h"
#include "plot/frt_plt.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  if (size == 0) return 0;
  const std::string path = fuzz::write_file("fuzz.frt", data + 1, size - 1);
  DateRec date;
  DATE_init(&date);
  if (data[0] & 1) date.year = 2021, date.month = 6, date.day = 28, date.hour = 18;
  FRT_set_date(&date);
  RES_put("plot_param", data[0] & 2 ? "hour=12:prrad=5" : "prrad=0");
  FrtBulletin bulletin;
  FRT_read_file(path.c_str(), &bulletin);
  return 0;
}
