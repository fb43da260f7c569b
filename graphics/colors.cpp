// Colours and attribute records.
#include "graphics/colors.h"

void ATTRIB_init(AttribRec* attrib) { *attrib = AttribRec{-9999, -9999.0F, -9999.0F, -9999.0F, -9999, -9999, -9999}; }
