// Numbered text menus for the interactive prompts (domains, variables).
//
// A menu is an array of MenuEntry ended by an entry whose abbreviation is null. Entry 0
// is the "return" entry: its name is shown for choice 0 and it is never numbered. An
// entry is listed in a menu of type t (0 .. MENU_TYPES-1) when show[t] is 1. Entries
// whose name begins with '-' are separators: they take a row of the listing but no
// number and cannot be chosen.
#pragma once

constexpr int MENU_TYPES = 4;         // show flags per entry: menu types 0-3
constexpr int MENU_ANSWER_LEN = 81;   // answer buffers of MENU_process hold this many bytes
constexpr int MENU_ONE_COLUMN = 12;   // longer menus are listed in two columns

struct MenuEntry {
  const char* abbr;         // abbreviation; null ends the menu
  const char* name;         // text shown in the menu and copied into the answer
  int value;                // returned when the entry is chosen
  int show[MENU_TYPES];     // 1: listed in a menu of that type
};

// Menu flags: which extra choices are offered below the entries.
constexpr int MENU_EXIT = 1;    // "Exit program" (0, or -1 together with MENU_RETURN)
constexpr int MENU_RETURN = 2;  // choice 0: the return entry
constexpr int MENU_HELP = 4;    // choice 99: "Help"

// Prints the menu and reads a word (prompt commands "set" and "exit" work; end of input
// ends the program). "?" lists the entry names and asks again. Returns the chosen
// entry's value (its name copied into answer), 0 or -1 for the return and exit choices,
// 99 for help, or -9999 with answer holding the text as typed. answer: MENU_ANSWER_LEN
// bytes, may be null.
int MENU_process(const char* title, const MenuEntry* menu, int type, const char* prompt, char* answer,
                 int flags);
// title is a printf format for the arguments that follow flags.
void MENU_print(const char* title, const MenuEntry* menu, int type, int flags, ...)
    __attribute__((format(printf, 1, 5)));
// Value of the entry whose abbreviation or name equals text up to a ':' (ignoring case),
// or -9999.
int MENU_search(const char* text, const MenuEntry* menu);
// Abbreviation of the first entry with the value, or null.
const char* MENU_get_abbr(int value, const MenuEntry* menu);
// 1 when an entry with the value is listed in a menu of the type.
int MENU_check(int value, const MenuEntry* menu, int type);
