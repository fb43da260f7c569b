// Reader of resource (defaults) files: wildcard patterns and conditional sections.
#include "config/def_read.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/mess.h"
#include "config/string.h"
#include "config/fileio.h"

namespace {

constexpr int max_line = DEF_LINE_LEN - 1;  // characters of a line that the reader keeps
constexpr int level_open = 1;               // conditional level states
constexpr int level_none = 0;
constexpr int level_closed = 'c';

// The open definition file, the program it is read for and the conditional sections the
// reader is inside: one record so that a new read starts from nothing.
struct DefReadState {
  std::FILE* def_file = nullptr;
  std::string prog_name = "Zav";
  std::string prog_title;
  std::vector<std::string> tag;
  std::vector<int> match;
  // Sections that are not taken among the open ones: kept as the sections open and close,
  // so that deep nesting costs no more per line than shallow.
  int closed = 0;
  int matches = 1;
};
DefReadState st;

bool tag_defined(const char* t) {
  return std::any_of(st.tag.begin(), st.tag.end(), [t](const std::string& s) { return stricmp(s.c_str(), t) == 0; });
}

void push_section(int state) {
  st.match.push_back(state);
  if (state != level_open) ++st.closed;
  st.matches = st.closed == 0 ? 1 : 0;
}

void set_top(int state) {
  if (st.match.back() != level_open) --st.closed;
  st.match.back() = state;
  if (state != level_open) ++st.closed;
  st.matches = st.closed == 0 ? 1 : 0;
}

void pop_section() {
  if (st.match.back() != level_open) --st.closed;
  st.match.pop_back();
  st.matches = st.closed == 0 ? 1 : 0;
}

void clear_sections() {
  st.match.clear();
  st.closed = 0;
  st.matches = 1;
}

// '*' matches any run of characters; everything else one character, ignoring case
// (program titles may be typed in any case; the line names are lower-cased).
bool glob(const char* pat, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pat == '*') {
      star = pat++;
      resume = name;
    } else if (*pat && std::tolower(static_cast<unsigned char>(*pat)) == std::tolower(static_cast<unsigned char>(*name))) {
      ++pat;
      ++name;
    } else if (star) {
      pat = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pat == '*') ++pat;
  return *pat == '\0';
}

// The program part of full names: "prog", "title", or "prog.title" for a '+' title.
std::string program_part() {
  if (st.prog_title.empty()) return st.prog_name;
  if (st.prog_title[0] == '+') return st.prog_name + "." + st.prog_title.substr(1);
  return st.prog_title;
}

// Regular files and pipes only: a device such as /dev/zero would never end a line.
bool is_file(const std::string& path) { return FILE_is_file(path.c_str()) || FILE_is_fifo(path.c_str()); }

// Reads one line. Returns false at the end of the file. A line longer than max_line
// characters comes back with too_long set and only its first characters kept, so a
// hostile line never costs more than a small buffer.
bool read_line(std::FILE* f, std::string& line, bool& too_long) {
  line.clear();
  too_long = false;
  int c;
  bool any = false;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (static_cast<int>(line.size()) < max_line)
      line += static_cast<char>(c);
    else
      too_long = true;
  }
  if (!any) return false;
  // A carriage return before the newline belongs to the line end, not to the value.
  if (!line.empty() && line.back() == '\r' && !too_long) line.pop_back();
  return true;
}

void copy_out(char* dest, const char* src) {
  if (dest) std::snprintf(dest, DEF_LINE_LEN, "%s", src);
}

}  // namespace

int DEF_prog(const char* program) {
  if (!program || !*program) {
    st.prog_name = "Zav";
    return 1;
  }
  const char* slash = std::strrchr(program, '/');
  st.prog_name = slash ? slash + 1 : program;
  if (st.prog_name.empty()) st.prog_name = "Zav";
  return 1;
}

int DEF_name(const char* title) {
  st.prog_title = title ? title : "";
  return 1;
}

int DEF_title(const char* title) { return DEF_name(title); }

int DEF_open(const char* path) {
  DEF_close();
  std::string name = (path && *path) ? path : ".zavdef";
  if (name[0] != '|') {
    name = FILE_add_user_path(name);
    if (FILE_is_dir(name.c_str())) {
      if (name.back() != '/') name += '/';
      std::string found = name + "Zav.res";
      for (const char* f : {"zav.cfg", ".zavdef", "Zav.res"}) {
        if (is_file(name + f)) {
          found = name + f;
          break;
        }
      }
      name = found;
    }
    if (!is_file(name)) return -1;
  }
  st.def_file = FILE_open(name.c_str(), "r");
  return st.def_file ? 0 : -1;
}

void DEF_close() {
  if (st.def_file) FILE_close(st.def_file);
  st.def_file = nullptr;
  clear_sections();
}

int DEF_get(char* name, char* value) {
  copy_out(name, "");
  copy_out(value, "");
  if (!st.def_file) return -1;
  std::string line;
  bool too_long = false;
  while (read_line(st.def_file, line, too_long)) {
    // A NUL ends the text of a line; what follows it on the line is ignored.
    const char* text = line.c_str();
    if (text[0] == '#') continue;
    char w1[DEF_LINE_LEN] = "";
    char w2[DEF_LINE_LEN] = "";
    const int n = std::sscanf(text, "%249s %249s", w1, w2);
    if (n < 1 || w1[0] == '#') continue;
    if (too_long) {
      MESS_print(MESS_WARN, "DEF_get: line longer than %d characters skipped: %.40s...\n", max_line, text);
      continue;
    }
    const std::string word = w1;
    if (word == "DEF" || word == "UNDEF") {
      // Definitions inside a section that is skipped do not take effect.
      if (n == 2 && st.matches) {
        if (word == "UNDEF")
          std::erase_if(st.tag, [&](const std::string& s) { return stricmp(s.c_str(), w2) == 0; });
        else if (!tag_defined(w2) && static_cast<int>(st.tag.size()) < DEF_MAX_TAG)
          st.tag.emplace_back(w2);
      }
      continue;
    }
    if (word == "IF") {
      push_section(n == 2 && tag_defined(w2) ? level_open : level_none);
      continue;
    }
    if (word == "ELIF" || word == "ELSE") {
      if (st.match.empty()) {
        MESS_print(MESS_WARN, word == "ELIF" ? "DEF_get: elif without an if\n" : "DEF_get: else without an if\n");
        continue;
      }
      const int top = st.match.back();
      if (top != level_none)
        set_top(level_closed);
      else if (word == "ELSE" || (n == 2 && tag_defined(w2)))
        set_top(level_open);
      continue;
    }
    if (word == "END") {
      if (st.match.empty())
        MESS_print(MESS_WARN, "DEF_get: end without an if\n");
      else
        pop_section();
      continue;
    }
    if (n < 2 || !st.matches) continue;

    std::string val = w2;
    if (w2[0] == '"') {
      // The value runs to the closing quote (or the end of the line) and may hold blanks.
      const char* q = text;
      while (std::isspace(static_cast<unsigned char>(*q))) ++q;
      while (*q && !std::isspace(static_cast<unsigned char>(*q))) ++q;
      while (std::isspace(static_cast<unsigned char>(*q))) ++q;
      const char* end = std::strchr(q + 1, '"');
      val = end ? std::string(q + 1, end) : std::string(q + 1);
    }
    std::string key = word;
    low_string(key.data());
    if (!key.empty() && key.back() == ':') key.pop_back();
    if (key.empty()) continue;
    copy_out(name, key.c_str());
    copy_out(value, val.c_str());
    return 1;
  }
  if (!st.match.empty()) MESS_print(MESS_WARN, "DEF_get: if without an end\n");
  clear_sections();
  return -1;
}

int DEF_cmp(const char* resource, const char* pattern) {
  if (!resource || !pattern || !*pattern) return 0;
  // A bare resource name applies to every program.
  if (!std::strpbrk(pattern, ".*")) return std::strcmp(pattern, resource) == 0 ? 1 : 0;
  const std::string full = program_part() + "." + resource;
  return glob(pattern, full.c_str()) ? 1 : 0;
}

int DEF_valid(const char* pattern) {
  if (!pattern || !*pattern) return 0;
  const char* dot = std::strrchr(pattern, '.');
  if (!dot) return 1;
  const std::string prefix(pattern, dot);
  return glob(prefix.c_str(), program_part().c_str()) ? 1 : 0;
}

char* DEF_parse_name(const char* pattern, char* name) {
  if (!name) return name;
  if (!pattern) {
    name[0] = '\0';
    return name;
  }
  const char* p = pattern;
  for (const char* s = pattern; *s; ++s)
    if (*s == '.' || *s == '*') p = s + 1;
  copy_out(name, p);
  return name;
}

int DEF_env(const char* resource, const char* own_variable, std::string& value) {
  if (!resource || !*resource) return 0;
  std::vector<std::string> names{"zav" + program_part() + "." + resource};
  if (own_variable && *own_variable) names.emplace_back(own_variable);
  names.push_back(std::string("zav") + resource);
  for (const std::string& n : names) {
    if (const char* v = std::getenv(n.c_str())) {
      value = v;
      return 1;
    }
  }
  return 0;
}

int DEF_clr_tag() {
  st.tag.clear();
  return 0;
}

int DEF_tag(const char* t) {
  if (!t) return static_cast<int>(st.tag.size());
  if (*t == '+') ++t;
  if (!*t) return static_cast<int>(st.tag.size());
  if (tag_defined(t)) return static_cast<int>(st.tag.size());
  if (static_cast<int>(st.tag.size()) >= DEF_MAX_TAG) return -1;
  st.tag.emplace_back(std::string(t).substr(0, DEF_LINE_LEN - 1));
  return static_cast<int>(st.tag.size());
}

void DEF_reset_state() {
  DEF_close();
  st = DefReadState{};
}
