// Resources: named settings from resource files, the environment and the command line.
#pragma once

#include <string>
#include <vector>

struct ResDesc {
  const char* name;    // long name, the key used by all modules
  const char* env;     // environment variable of its own (null when none)
  const char* abbrev;  // command-line abbreviation; null for positional resources
  int position;        // positional resources: 1 = first argument only, 10 = all
  int kind;            // value kind, decides the conversion
  void* value;         // where a converted value is stored; null in this program
  int* count;          // number of list items for kind 21; null
  const char* help;    // help text, null when there is none
  const char* usage;   // usage text of the help listing
  const char* more;    // further lines of the help entry, null when none
  int wide;            // 1: the usage stands alone and the help text follows on its own line
};

// Descriptor indices run from 1 to RES_MAX_INDEX-1 (index lists end with 0).
constexpr int RES_MAX_INDEX = 115;
// Size of the buffers that kind 7 conversions and RES_get_progname fill (texts are truncated).
constexpr int RES_TEXT_LEN = 256;

// Destinations by kind (RES_conv_data): 1, 2, 9 int*; 3 short*; 4 long*; 5 float*;
// 6, 8, 17 const char** (8: a module-owned copy ending in '/', 17: the output name after the
// first comma); 7 char[RES_TEXT_LEN]; 12 whatever its registered conversion fills; 19
// int64*; 21 char*** with the descriptor's count. Destinations may be null. Kinds 13 and
// 20 (domains) are not converted here: the domain prompt decodes them.
int RES_init(int argc, char** argv, const int* keyed, const int* positional);
int RES_decode(const char* prog, int argc, char** argv, ResDesc* table);
const char* RES_get(const char* name);
int RES_getval(const char* name, void* destination, int kind);
int RES_getvals(const char* name, int* count, char*** list);
int RES_new(int index, const char* name, const char* text, int kind);
int RES_put(const char* name, const char* text);
int RES_append(int index, const char* name, const char* text, int kind);
void RES_list();
// Options of the command line that are no resource of the program's table and that no
// part of the program has asked for so far: most likely misspelt.
std::vector<std::string> RES_unread_options();
// The program's option (its abbreviation) whose abbreviation or name is nearest to name.
std::string RES_nearest_option(const char* name);
int RES_conv_data(const char* text, void* destination, int kind);
const char* RES_get_prog();
// Base name of argv[0] into buffer (RES_TEXT_LEN bytes), or into a malloc'd copy when null.
char* RES_get_progname(char* buffer);
void RES_setCL(int argc, char** argv);
void RES_help_print(const char* program, const int* keyed, const int* positional);
void RES_help_item(int index);
// The i-th word the plot type option accepts, null past the last.
const char* RES_plot_type_word(int i);
int RES_set_device(const char* text);
// Frees the store and the descriptor table (for tests and a clean exit).
void RES_clear();
// RES_clear, and the saved arguments, the registered conversions and the loop link forgotten.
void RES_reset_state();

// The package descriptor of an index, null when the index names no resource.
const ResDesc* RES_desc(int index);

// Values of some kinds are owned by higher modules (kind 12, the hour, by the file
// module): such a module registers the conversion of its kind here, and RES_conv_data
// hands it every non-null text of that kind. Unregistered, the kind converts to nothing.
using RES_converter = int (*)(const char* text, void* destination);
void RES_set_converter(int kind, RES_converter convert);
