// Plot manager.
#include "driver/plt_tool.h"

#include <string>

namespace {
std::string label_up_right;
int label_type = 0;
}  // namespace

void PLT_label_up_right(const char* text) { label_up_right = text != nullptr ? text : ""; }
const char* PLT_get_label_up_right() { return label_up_right.c_str(); }
void PLT_set_label_type(int type) { label_type = type; }
int PLT_get_label_type() { return label_type; }
