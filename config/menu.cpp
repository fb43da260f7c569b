// Numbered text menus for the interactive prompts (domains, variables).
#include "config/menu.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "config/prompt.h"

namespace {

const char* const exit_text = "Exit program";
const char* const main_text = "Return to main menu";

bool is_separator(const MenuEntry& e) { return e.name && e.name[0] == '-'; }

bool shown(const MenuEntry& e, int type) { return type >= 0 && type < MENU_TYPES && e.show[type] == 1; }

const char* return_name(const MenuEntry* menu) { return (menu && menu[0].abbr && menu[0].name) ? menu[0].name : ""; }

// The rows of a menu type in table order: separators included, entry 0 excluded.
std::vector<const MenuEntry*> rows_of(const MenuEntry* menu, int type) {
  std::vector<const MenuEntry*> rows;
  if (!menu || !menu[0].abbr) return rows;
  for (const MenuEntry* e = menu + 1; e->abbr; ++e)
    if (shown(*e, type)) rows.push_back(e);
  return rows;
}

// The choosable entries, numbered from 1.
std::vector<const MenuEntry*> choices_of(const MenuEntry* menu, int type) {
  std::vector<const MenuEntry*> out;
  for (const MenuEntry* e : rows_of(menu, type))
    if (!is_separator(*e)) out.push_back(e);
  return out;
}

void print_entries(const MenuEntry* menu, int type, int flags) {
  const std::vector<const MenuEntry*> rows = rows_of(menu, type);
  const int n = static_cast<int>(rows.size());
  std::vector<int> number(n, 0);
  for (int i = 0, k = 0; i < n; ++i)
    if (!is_separator(*rows[i])) number[i] = ++k;
  auto cell = [&](int i, bool left) {
    const char* name = rows[i]->name ? rows[i]->name : "";
    if (is_separator(*rows[i]))
      MESS_print(MESS_PRINT, left ? " --------------------               " : " --------------------\n");
    else if (left)
      MESS_print(MESS_PRINT, " %2d: %-30s ", number[i], name);
    else
      MESS_print(MESS_PRINT, " %2d: %-30s\n", number[i], name);
  };
  if (n <= MENU_ONE_COLUMN) {
    for (int i = 0; i < n; ++i) cell(i, false);
  } else {
    const int half = (n + 1) / 2;
    for (int i = 0; i < half; ++i) {
      if (i + half < n) {
        cell(i, true);
        cell(i + half, false);
      } else {
        cell(i, false);
      }
    }
  }
  if (flags & MENU_HELP) MESS_print(MESS_PRINT, " 99: Help                          \n");
  if ((flags & MENU_EXIT) && (flags & MENU_RETURN)) {
    MESS_print(MESS_PRINT, "  0: %-30s ", return_name(menu));
    MESS_print(MESS_PRINT, " -1: Exit program                  \n");
  } else if (flags & MENU_EXIT) {
    MESS_print(MESS_PRINT, "  0: Exit program                  \n");
  } else if (flags & MENU_RETURN) {
    MESS_print(MESS_PRINT, "  0: %-30s\n", return_name(menu));
  }
  MESS_print(MESS_PRINT, "\n");
}

void copy_answer(char* answer, const char* text) {
  if (answer) std::snprintf(answer, MENU_ANSWER_LEN, "%s", text ? text : "");
}

bool same(const char* a, const char* b) { return a && b && stricmp(a, b) == 0; }

}  // namespace

void MENU_print(const char* title, const MenuEntry* menu, int type, int flags, ...) {
  if (title) {
    va_list args;
    va_start(args, flags);
    MESS_vprint(MESS_PRINT, title, args);
    va_end(args);
  }
  MESS_print(MESS_PRINT, "\n");
  print_entries(menu, type, flags);
}

int MENU_process(const char* title, const MenuEntry* menu, int type, const char* prompt, char* answer,
                 int flags) {
  MENU_print("%s", menu, type, flags, title ? title : "");
  const std::vector<const MenuEntry*> choices = choices_of(menu, type);
  const int count = static_cast<int>(choices.size());
  const int lowest = (flags & MENU_EXIT) ? -1 : (flags & MENU_RETURN) ? 0 : 1;

  char word[MENU_ANSWER_LEN];
  for (;;) {
    word[0] = '\0';
    // Read a full-length word rather than a short one: the domain prompt lets users type
    // explicit domain texts here, which are far longer than a menu keyword.
    ZAV_prompts(prompt ? prompt : "", word, MENU_ANSWER_LEN - 1);
    if (std::strcmp(word, "?") == 0) {
      for (const MenuEntry* e : choices) MESS_print(MESS_PRINT, "  %s\n", e->name ? e->name : "");
      continue;
    }
    break;
  }
  copy_answer(answer, word);

  const bool exit_word = same(word, exit_text) || same(word, "exit");
  const bool main_word = same(word, main_text) || same(word, "main");
  if ((flags & MENU_EXIT) && (flags & MENU_RETURN)) {
    if (exit_word) return -1;
    if (main_word) return 0;
  } else if ((flags & MENU_EXIT) && exit_word) {
    return 0;
  } else if ((flags & MENU_RETURN) && main_word) {
    return 0;
  }

  if (string_is_num(word)) {
    const long n = std::strtol(word, nullptr, 10);
    if ((flags & MENU_HELP) && n == 99) return 99;
    if (n >= lowest && n <= count) {
      if (n <= 0) {
        if (n == 0 && (flags & MENU_RETURN)) copy_answer(answer, return_name(menu));
        return static_cast<int>(n);
      }
      const MenuEntry* e = choices[n - 1];
      copy_answer(answer, e->name);
      return e->value;
    }
  }

  if (menu && menu[0].abbr && (same(word, menu[0].name) || same(word, menu[0].abbr))) {
    copy_answer(answer, menu[0].name);
    return menu[0].value;
  }
  for (const MenuEntry* e : choices) {
    if (same(word, e->name) || same(word, e->abbr)) {
      copy_answer(answer, e->name);
      return e->value;
    }
  }
  return MISSING_INT;
}

int MENU_search(const char* text, const MenuEntry* menu) {
  if (!text || !menu) return MISSING_INT;
  std::string key = text;
  const std::size_t colon = key.find(':');
  if (colon != std::string::npos) key.resize(colon);
  for (const MenuEntry* e = menu; e->abbr; ++e)
    if (same(key.c_str(), e->abbr) || same(key.c_str(), e->name)) return e->value;
  return MISSING_INT;
}

const char* MENU_get_abbr(int value, const MenuEntry* menu) {
  if (!menu || !menu[0].abbr) return nullptr;
  for (const MenuEntry* e = menu + 1; e->abbr; ++e)
    if (e->value == value && !is_separator(*e)) return e->abbr;
  return menu[0].value == value ? menu[0].abbr : nullptr;
}

int MENU_check(int value, const MenuEntry* menu, int type) {
  for (const MenuEntry* e : choices_of(menu, type))
    if (e->value == value) return 1;
  return 0;
}
