// Station tables are not read yet: every table is refused.
#include "surface/obs_csv.h"

#include "config/mess.h"

int CSV_is_table(std::string_view) { return 0; }
int CSV_read(std::string_view, const char* name, std::vector<ObsRec>*, CsvStats*) {
  MESS_print(MESS_WARN, "CSV_read: %s: station tables are not read yet\n", name != nullptr ? name : "");
  return 0;
}
