// Colours and attribute records.
#pragma once

// Drawing attributes; -9999 (integers) and -9999.0 (floats) leave an attribute unchanged.
struct AttribRec {
  int color;
  float width;
  float size;
  float expansion;
  int style;
  int fill;
  int font;
};

// Every field unset.
void ATTRIB_init(AttribRec* attrib);
