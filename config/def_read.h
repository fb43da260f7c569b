// Reader of resource (defaults) files: wildcard patterns and conditional sections.
#pragma once
#include <string>

constexpr int DEF_LINE_LEN = 250;  // name and value buffers of DEF_get hold this many bytes

int DEF_prog(const char* program);
int DEF_name(const char* title);
int DEF_title(const char* title);
int DEF_open(const char* path);
void DEF_close();
// Next resource line: name and value into buffers of DEF_LINE_LEN bytes; 1, or -1 at the end.
int DEF_get(char* name, char* value);
int DEF_cmp(const char* resource, const char* pattern);
int DEF_valid(const char* pattern);
char* DEF_parse_name(const char* pattern, char* name);
// 1 when an environment variable supplied the value of the resource.
int DEF_env(const char* resource, const char* own_variable, std::string& value);
int DEF_clr_tag();
int DEF_tag(const char* tag);
