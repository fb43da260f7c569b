// Station data values.
#include "surface/raw_tool.h"

void RAW_data_init_val(RawDataRec* data) {
  data->val1 = -9999.0F;
  data->val2 = -9999.0F;
  data->text[0] = '\0';
}

void RAW_data_init(RawDataRec* data) {
  *data = RawDataRec{};
  ATTRIB_init(&data->attrib);
  RAW_data_init_val(data);
}
