// Placeholder until the date module lands.
#include "files/date.h"

#include <cstdio>

void DATE_init(DateRec* date) { *date = DateRec{-9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999}; }
int DATE_set_TZ(const char*) { return 1; }
char* DATE_get_current_str(char* text) {
  text[0] = '\0';
  return text;
}
