// Fronts. The fronts layer is not built yet: a fronts file is reported once a run.
#include "plot/frt_plt.h"

#include "config/mess.h"

namespace {
DateRec frt_date{};
bool refused = false;
}  // namespace

void FRT_set_date(const DateRec* date) {
  if (date != nullptr) frt_date = *date;
}

int FRT_plot_file(const char* name) {
  if (!refused) {
    refused = true;
    MESS_print(MESS_WARN, "FRT_plot_file: Fronts cannot be drawn yet: %s\n", name != nullptr ? name : "");
  }
  return -1;
}
