// Reader of resource (defaults) files: wildcard patterns and conditional sections.
//
// A resource file holds lines "name value" (a value with blanks in double quotes),
// '#' comment lines, and the directives DEF tag, UNDEF tag, IF tag, ELIF tag, ELSE, END.
// Names are patterns over "program.resource" (or "program.title.resource" for a '+'
// title) with '*' wildcards; a name without a program part applies to every program.
// Lines are at most 249 characters; a longer line is skipped whole with a warning.
#pragma once
#include <string>

constexpr int DEF_LINE_LEN = 250;  // name and value buffers of DEF_get hold this many bytes
constexpr int DEF_MAX_TAG = 10;

// Program name used in patterns: the base name of argv[0] ("Zav" until set).
int DEF_prog(const char* program);
// Program title (the -na option); null or "" clears it. "+title" keeps the program name
// in the patterns: "program.title.resource".
int DEF_name(const char* title);
int DEF_title(const char* title);
// Opens a resource file (null or "" -> ".zavdef"; a directory is searched for "zav.cfg",
// ".zavdef", "Zav.res"), through FILE_open so "~" and "|command" work. 0, or -1.
int DEF_open(const char* path);
// Closes the file and forgets the program name, title and sections: the reader as at start-up.
void DEF_reset_state();
void DEF_close();
// Next resource line: name and value into buffers of DEF_LINE_LEN bytes; 1, or -1 at the end.
int DEF_get(char* name, char* value);
// 1 when the line name pattern applies to the resource of this program.
int DEF_cmp(const char* resource, const char* pattern);
// 1 when the pattern applies to this program at all.
int DEF_valid(const char* pattern);
// The bare resource name of a pattern (the text after the last '.' or '*') into name
// (DEF_LINE_LEN bytes); returns name.
char* DEF_parse_name(const char* pattern, char* name);
// 1 when an environment variable supplied the value of the resource: "zav<prog>.<res>"
// (or "zav<title>.<res>", "zav<prog>.<title>.<res>" for a '+' title), then own_variable
// (may be null), then "zav<res>".
int DEF_env(const char* resource, const char* own_variable, std::string& value);
// Tags select conditional sections. DEF_tag takes "tag" or "+tag"; returns the number of
// tags, or -1 when DEF_MAX_TAG tags exist.
int DEF_clr_tag();
int DEF_tag(const char* tag);
