// Station data values: the record one station's value travels in, from the derivation to
// the station plot and the raw station-data file.
#pragma once

#include "graphics/colors.h"

struct RawDataRec {
  float x;  // projected station position
  float y;
  int kind;  // plot type code of the value
  AttribRec attrib;
  char format[80];
  char text[40];
  float val1;  // the value; for winds the direction
  float val2;  // second value; for winds the speed
};

// Both values -9999.0 and an empty text.
void RAW_data_init_val(RawDataRec* data);
// The whole record cleared.
void RAW_data_init(RawDataRec* data);
