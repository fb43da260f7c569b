// Placeholder until the resource-file reader lands: no files, no environment.
#include "config/def_read.h"

int DEF_prog(const char*) { return 1; }
int DEF_name(const char*) { return 1; }
int DEF_title(const char*) { return 1; }
int DEF_open(const char*) { return -1; }
void DEF_close() {}
int DEF_get(char*, char*) { return -1; }
int DEF_cmp(const char*, const char*) { return 0; }
int DEF_valid(const char*) { return 0; }
char* DEF_parse_name(const char*, char* name) { return name; }
int DEF_env(const char*, const char*, std::string&) { return 0; }
int DEF_clr_tag() { return 0; }
int DEF_tag(const char*) { return 0; }
