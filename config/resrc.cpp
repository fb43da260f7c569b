// Placeholder until the resource store lands.
#include "config/resrc.h"

int RES_init(int, char**, const int*, const int*) { return 1; }
int RES_decode(const char*, int, char**, ResDesc*) { return 1; }
const char* RES_get(const char*) { return nullptr; }
int RES_getval(const char*, void*, int) { return 0; }
int RES_getvals(const char*, int* count, char*** list) {
  *count = 0;
  *list = nullptr;
  return 0;
}
int RES_new(int, const char*, const char*, int) { return 1; }
int RES_put(const char*, const char*) { return 1; }
int RES_append(int, const char*, const char*, int) { return 1; }
void RES_list() {}
int RES_conv_data(const char*, void*, int) { return 0; }
const char* RES_get_prog() { return ""; }
char* RES_get_progname(char* buffer) { return buffer; }
void RES_setCL(int, char**) {}
void RES_help_print(const char*, const int*, const int*) {}
void RES_help_item(int) {}
int RES_set_device(const char*) { return 1; }
void RES_clear() {}
