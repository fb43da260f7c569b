// Plot manager: opening and closing the device, panels, labels, dumps. Until the graphics
// land, the device is a do-nothing workstation: labels are remembered, nothing is drawn.
#pragma once

// Upper-right label of the plot (the data date).
void PLT_label_up_right(const char* text);
const char* PLT_get_label_up_right();
// Label style: -2 minimal, -1 simple, 0 normal, 1 composite.
void PLT_set_label_type(int type);
int PLT_get_label_type();
