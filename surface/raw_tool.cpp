// Station data values.
#include "surface/raw_tool.h"

#include "config/missing.h"

void RAW_data_init_val(RawDataRec* data) {
  data->val1 = MISSING;
  data->val2 = MISSING;
  data->text[0] = '\0';
}

void RAW_data_init(RawDataRec* data) {
  *data = RawDataRec{};
  ATTRIB_init(&data->attrib);
  RAW_data_init_val(data);
}
