// Resources: named settings from resource files, the environment and the command line.
#pragma once

struct ResDesc {
  const char* name;    // long name, the key used by all modules
  const char* env;     // environment variable of its own
  const char* abbrev;  // command-line abbreviation; null for positional resources
  int position;        // positional resources: 1 = first argument only, 10 = all
  int kind;            // value kind, decides the conversion
  void* value;         // where a converted value is stored; null in this program
  int* count;          // number of list items for kind 21; null
  const char* help;    // help text, null when there is none
  const char* usage;   // usage text of the help listing
};

int RES_init(int argc, char** argv, const int* keyed, const int* positional);
int RES_decode(const char* prog, int argc, char** argv, ResDesc* table);
const char* RES_get(const char* name);
int RES_getval(const char* name, void* destination, int kind);
int RES_getvals(const char* name, int* count, char*** list);
int RES_new(int index, const char* name, const char* text, int kind);
int RES_put(const char* name, const char* text);
int RES_append(int index, const char* name, const char* text, int kind);
void RES_list();
int RES_conv_data(const char* text, void* destination, int kind);
const char* RES_get_prog();
char* RES_get_progname(char* buffer);
void RES_setCL(int argc, char** argv);
void RES_help_print(const char* program, const int* keyed, const int* positional);
void RES_help_item(int index);
int RES_set_device(const char* text);
// Frees the store and the descriptor table (for tests and a clean exit).
void RES_clear();
