// Station values at the stations and raw station-data files. The station-value layer is
// not built yet: values draw nothing, and a raw file request is refused once a run.
#include "surface/raw_plt.h"

#include "config/mess.h"

namespace {
bool raw_refused = false;
}  // namespace

void RAW_plot_init(const AttribRec*, float) {}
int RAW_plot_data(RawDataRec*) { return -1; }
void RAW_set_var_string(RawDataRec*, const char*) {}

int RAW_date_open(const DateRec*) {
  if (!raw_refused) {
    raw_refused = true;
    MESS_print(MESS_WARN, "RAW_date_open: Station-value files cannot be written yet\n");
  }
  return 0;
}
void RAW_save_station(const StationRec*) {}
void RAW_save_data(const RawDataRec*) {}
void RAW_save_end() {}
void RAW_close_file() {}
