// Variable requests: the variable table filled from the user's variable text, the
// keyword tables of plot types, levels and times, the program's variable file (menu and
// named definitions) and the variable list, source and model name files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct DateRec;

// One entry of the variable table.
struct VarRec {
  std::int32_t type;      // plot/data type code, -9999 when not set
  char name[20];          // name as written ("temp", "prec-6", ...)
  char units[16];         // requested units; empty: the variable's default units
  std::int32_t var;       // parameter number; -9999 before decoding, 0 when unknown
  std::int32_t param[4];  // further numbers of the variable list entry, -9999 when not set
  std::int32_t tkind;     // time decoding result: 0 none, 2 a time was given
  std::int32_t time;      // time code, -9999 when not set
  std::int32_t reserved1[2];
  std::int32_t lkind;  // level decoding result, 0 when none
  std::int32_t ltype;  // level type code, -9999 when not set
  std::int32_t level;  // level value code, -9999 when not set
  char reserved2[5];
  char format[103];   // ":"-joined format fields after the type
  std::int32_t flag;  // role: 10 x function depth + kind
};

constexpr int VAR_MAX = 60;

// ---- set-up ----
// Forgets the parsed request, the open variable file and the lookup files read so far.
void VAR_reset_state();
void VAR_set_def_type(int type);
int VAR_get_def_type();
// Opens the program's variable file (null: "<program>.var" in "file_path"); 0 on failure.
int VAR_open_file(const char* name);
int VAR_read_menu();
// Shows the variable menu and copies the chosen abbreviation into answer (at least 81
// bytes); the menu's result (0 none, negative exit/-9999 as the package menu).
int VAR_menu(const char* title, const char* prompt, char* answer, int mode);
int VAR_print_file();
// Longest variable request a user may give (the prompt's line holds no more).
constexpr std::size_t VAR_REQUEST_MAX = 96;
// 1 when the request fits VAR_REQUEST_MAX (or is null); otherwise 0 after a message, and in
// batch mode the run's status becomes 20.
int VAR_check_request(const char* spec);
// Parses a variable text into the table; 1 when at least one record has a role >= 0. A
// request longer than VAR_REQUEST_MAX, or one that yields no variable, is refused with a
// message (and in batch mode the run's status becomes 20).
int VAR_setup(const char* file, const char* spec);
// Definition of a named variable of the variable file, or empty when none.
std::string VAR_lookup(const char* name);
void VAR_param_decode();
void VAR_set_model_str(const char* text);
void VAR_set_time_str(const char* text);
void VAR_set_level_str(const char* text);
// 1 when pattern matches the whole text (alternatives "|", negation "~", "?", ".", "*",
// "[a-z]").
int VAR_menu_display(const char* pattern, const char* text);

// ---- table access ----
VarRec* VAR_get_vars();
VarRec* VAR_get_var(int i);
int VAR_get_num();
const char* VAR_get_name(int i);
const char* VAR_get_units(int i);
// The description of the variable-file entry record i was expanded from ("_" shown as
// blanks); empty when the record was written out.
std::string VAR_get_description(int i);
const char* VAR_get_format(int i);
int VAR_get_time(int i);
int VAR_get_type(int i);
int VAR_get_flag(int i);
// The time or level code of record i as "%d" text.
std::string VAR_get_time_key(int i);
std::string VAR_get_level_key(int i);
// Copies src into dst, clearing type, name and format of dst.
void VAR_copy(VarRec* dst, const VarRec* src);
void VAR_data_init(VarRec* var);
void VAR_init();
void VAR_print(const VarRec* var);

// ---- keywords ----
int VAR_dec_type(const char* text);  // plot type code, -1 when not a keyword
const char* VAR_print_type(int type);
// Level keyword or numeric level: sets *ltype and *level; returns the level kind (0 none).
int VAR_dec_level(const char* text, int* ltype, int* level);
// Time keyword, hour or period: sets *time; returns the time kind (0 none, 2 given).
int VAR_dec_time(const char* text, int* time);
std::string VAR_level(int ltype, int level);
std::string VAR_time(int time);
std::string VAR_make_datalevel(int ltype, int level);
int VAR_dec_format(VarRec* var, const char* text);
// Decodes a name into the record (type, number, ensemble forms); 1 when decoded.
int VAR_dec_var(VarRec* var, const char* name);
// Parameter number of a variable-list abbreviation (the text before a '-'); 0 when none.
int VAR_search_var_num(const char* name);
// Whether the variable list has an entry for a var number (ensemble encodings aside).
int VAR_list_has(int var);

// ---- labels ----
// Label of a variable: level text, description (or abbreviation), " (units)".
std::string VAR_make_datatype(int time, int ltype, int level, int var, const char* units);
std::string VAR_make_var_datatype(int i);
std::string VAR_make_var_form_datatype(int i);
std::string VAR_str(int var);
// Names of a data source and a model for labels; null when unknown.
const char* VAR_source(int source);
const char* VAR_model(int model);
// The label style: -2 minimal, -1 simple (short names), 0 normal, 1 complete; the levels
// show from -1 to 1. Set by the plot parameters "labm", "labs", "labn", "labc"
// (VAR_param_decode); the plot manager counts it up with each overlay.
void VAR_set_label_type(int type);
int VAR_get_label_type();

// Grid functions ("add(t,td)", "grad(p)") are the grid module's: it registers the
// recognisers of their names, a class code (0 not a grid function) and whether the
// function has two output components. Without them no name is a grid function.
void VAR_set_grid_funcs(int (*func_class)(const char* name), int (*vect_func)(const char* name));

// ---- predicates on record i ----
int VAR_is_REG(int i);
int VAR_is_SUBREG(int i);
int VAR_is_FUNC(int i);
int VAR_is_SUBFUNC(int i);
int VAR_is_COMP(int i);
int VAR_is_VECT(int i);
int VAR_is_FUNC_VECT(int i);
int VAR_is_SUBFUNC_VECT(int i);
int VAR_is_LABEL(int i);
int VAR_is_PLOT(int i);
int VAR_is_SUBPLOT(int i);
int VAR_is_SUBCALC(int i);
int VAR_is_CALC(int i);
int VAR_is_DATA(int i);
int VAR_is_PANEL(int i);
int VAR_is_FRAME(int i);
int VAR_is_type_MAP(int i);
int VAR_is_type_PLOT(int i);
int VAR_is_type_GRID(int i);
int VAR_is_type_CONT(int i);
int VAR_is_type_VECT(int i);
int VAR_is_plot_PLOT(int i);
int VAR_is_plot_VECT(int i);
int VAR_is_plot_FUNC(int i);
int VAR_is_plot_FUNC_VECT(int i);
int VAR_is_plot_GRID(int i);
int VAR_is_subplot_GRID(int i);
int VAR_is_plot_CONT(int i);
int VAR_is_calc_GRID(int i);
int VAR_is_fit_GRID(int i);
int VAR_is_get_GRID(int i);
