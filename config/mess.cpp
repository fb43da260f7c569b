// Messages with a bit-mask level, log files and paging.
#include "config/mess.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "config/fileio.h"
#include "config/flag.h"
#include "config/string.h"
#include "config/system.h"

namespace {

constexpr unsigned default_level = MESS_PRINT | MESS_ERROR | MESS_WARN | MESS_MESS | MESS_OUT1 | MESS_OUT2;
constexpr int default_max_lines = 22;

// Which messages go out and where: the level mask, the paging of the terminal, the log
// file and the copy of the output.
struct MessState {
  unsigned mess_level = default_level;
  int mess_set = 0;
  int mess_out = 1;
  int page = 1;
  int max_lines = default_max_lines;
  int lines = 0;
  std::FILE* pfile = nullptr;
  std::string filename;
  std::FILE* ofile = nullptr;
};
MessState st;

bool to_stderr(unsigned level) { return (level & 0xF0u) != 0; }

// The time stamp of dated log lines, "YY MON DD  HH:MM:SSZ" in UTC, as the date labels
// write it.
void log_stamp(std::FILE* log) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  char text[32] = "";
  if (gmtime_r(&now, &utc) != nullptr && std::strftime(text, sizeof text, "%y %b %d  %H:%M:%SZ", &utc) > 0)
    for (int i = 3; i < 6; ++i) text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  std::fputs(text, log);
  std::fputs(" -- ", log);
}

// The extra copy file may be a command pipe: close it when the program ends, however it
// ends, so the command sees the end of its input.
void close_copy_at_exit() { MESS_file_close(); }

// The mask itself and every bit below its highest one.
unsigned fill_below(unsigned mask) {
  if (mask == 0) return 0;
  unsigned top = 1u << 31;
  while ((mask & top) == 0) top >>= 1;
  return top | (top - 1);
}

void close_log() {
  if (st.pfile != nullptr) std::fclose(st.pfile);
  st.pfile = nullptr;
  st.filename.clear();
}

// Opens the log file; a file that cannot be opened leaves logging off but keeps
// the terminal output, so no message is ever lost silently.
void open_log(const char* name, const char* mode, int out) {
  close_log();
  st.mess_out = 1;
  if (name == nullptr || name[0] == '\0') {
    MESS_print(MESS_ERROR, "No log file name given in message level\n");
    return;
  }
  // "~" and "~user" mean home directories here as in every other file name.
  const std::string path = FILE_add_user_path(std::string(name));
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (f == nullptr) {
    MESS_print(MESS_ERROR, "Cannot open log file %s\n", name);
    return;
  }
  if (out == 2) {
    std::fclose(f);
    st.filename = path;
  } else {
    st.pfile = f;
  }
  st.mess_out = out;
}

struct ClassWord {
  const char* word;
  std::size_t compare;
  unsigned mask;
};

constexpr ClassWord class_words[] = {
    {"print", 5, MESS_PRINT}, {"error", 5, MESS_ERROR}, {"warn", 4, MESS_WARN},
    {"mess", 4, MESS_MESS},   {"out1", 4, MESS_OUT1},   {"out2", 4, MESS_OUT2},
    {"out3", 4, MESS_OUT3},   {"out4", 4, MESS_OUT4},   {"debug", 5, MESS_DEBUG},
    {"none", 4, 0u},
};

bool class_mask(const char* word, unsigned* mask) {
  for (const ClassWord& c : class_words) {
    if (std::strlen(word) >= c.compare && strnicmp(word, c.word, c.compare) == 0) {
      *mask = c.mask;
      return true;
    }
  }
  return false;
}

// The last letter a-d keeps one bit of every four-bit group.
unsigned bit_selection(const char* word) {
  const std::size_t len = std::strlen(word);
  switch (len > 0 ? word[len - 1] : '\0') {
    case 'a': case 'A': return 0x11111111u;
    case 'b': case 'B': return 0x22222222u;
    case 'c': case 'C': return 0x44444444u;
    case 'd': case 'D': return 0x88888888u;
    default: return 0xFFFFFFFFu;
  }
}

bool apply_item(char* item) {
  while (*item == ' ' || *item == '\t') ++item;
  trim_string(item);
  if (item[0] == '\0') return true;
  struct FileItem {
    const char* prefix;
    const char* mode;
    int out;
  };
  static constexpr FileItem file_items[] = {
      {"@fi", "a", -1}, {"+fi", "a", 1}, {"-fi", "w", 1}, {"dfi", "a", 2}, {"fi", "a", 0}};
  for (const FileItem& fi : file_items) {
    const std::size_t n = std::strlen(fi.prefix);
    if (strnicmp(item, fi.prefix, n) == 0) {
      // One separator character of any kind stands between the keyword and the name.
      const char* name = std::strlen(item) > n ? item + n + 1 : "";
      open_log(name, fi.mode, fi.out);
      return true;
    }
  }
  if (stricmp(item, "nopage") == 0) {
    st.page = 0;
    return true;
  }
  if (stricmp(item, "page") == 0) {
    st.page = 2;
    return true;
  }
  if (strnicmp(item, "line", 4) == 0) {
    // "line:30", "line=30" and "lines 30" all name the page length.
    const char* p = item + 4;
    while (*p != '\0' && *p != '-' && (*p < '0' || *p > '9')) ++p;
    int n = 0;
    std::sscanf(p, "%d", &n);
    st.max_lines = n < 1 ? default_max_lines : n;
    return true;
  }

  const char sign = item[0];
  const char* word = (sign == '+' || sign == '-') ? item + 1 : item;
  unsigned mask = 0;
  if (!class_mask(word, &mask)) {
    MESS_print(MESS_WARN, "Unknown message class \"%s\" ignored\n", item);
    return false;
  }
  const unsigned select = bit_selection(word);
  if (sign == '+')
    st.mess_level |= mask & select;
  else if (sign == '-')
    st.mess_level &= ~(mask & select);
  else
    st.mess_level = fill_below(mask) & select;
  return true;
}

}  // namespace

int MESS_print(unsigned level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = MESS_vprint(level, format, args);
  va_end(args);
  return result;
}

int MESS_vprint(unsigned level, const char* format, va_list args) {
  if ((level & st.mess_level) == 0 || format == nullptr) return 0;

  // Format once: the text may go to up to three places.
  std::string text;
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (size < 0) return 0;
  text.resize(static_cast<std::size_t>(size) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<std::size_t>(size));

  if (st.ofile != nullptr) {
    std::fputs(text.c_str(), st.ofile);
    std::fflush(st.ofile);
  }

  std::FILE* log = st.pfile;
  if (st.mess_out == 2 && !st.filename.empty()) log = std::fopen(st.filename.c_str(), "a");
  if (log != nullptr) {
    if (st.mess_out == -1) log_stamp(log);
    std::fputs(text.c_str(), log);
    if (log == st.pfile)
      std::fflush(log);
    else
      std::fclose(log);
  }

  if (st.mess_out == 0) return 0;
  if (to_stderr(level)) {
    // Keep the order of normal output and errors when both go to one file.
    std::fflush(stdout);
    std::fputs(text.c_str(), stderr);
  } else {
    std::fputs(text.c_str(), stdout);
  }

  if (st.page == 2) {
    for (const char* p = format; *p; ++p)
      if (*p == '\n') ++st.lines;
    if (st.lines > st.max_lines) {
      MESS_hold(level, "Press return to continue\n");
      st.lines = 0;
    }
  }
  return 1;
}

int MESS_set(int mode, unsigned mask) {
  if (mode > 15 && st.mess_set != 0) return 0;
  switch (mode) {
    case 0: case 10: case 20: st.mess_level = fill_below(mask); break;
    case 1: case 11: case 21: st.mess_level |= mask; break;
    case -1: case 9: case 19: st.mess_level &= ~mask; break;
    default: return 0;
  }
  if (mode < 5) ++st.mess_set;
  return 1;
}

int MESS_set_str(const char* text) {
  ++st.mess_set;
  int count = 0;
  char** items = nullptr;
  if (parse_string(text, ',', &count, &items) < 0) return 0;
  int ok = 1;
  for (int i = 0; i < count; ++i)
    if (!apply_item(items[i])) ok = 0;
  free_parsed_array(count, items);
  return ok;
}

unsigned MESS_get() { return st.mess_level; }

int MESS_check(unsigned mask) { return (mask & st.mess_level) != 0; }

int MESS_check_set() { return st.mess_set; }

void MESS_set_out(int value) { st.mess_out = value; }

void MESS_set_page(int value) { st.page = value; }

int MESS_get_max_lines() { return st.max_lines; }

int MESS_hold(unsigned level, const char* text) {
  if ((level & st.mess_level) == 0 || st.mess_out == 0 || FLAG_batch() || st.page == 0) return 0;
  std::FILE* out = ((level & MESS_ERROR) && (level & MESS_WARN)) ? stderr : stdout;
  std::fputs(text != nullptr ? text : "", out);
  std::fflush(out);
  std::getchar();
  st.lines = 0;
  return 1;
}

int MESS_file(const char* name, const char* mode) {
  MESS_file_close();
  if (name == nullptr) return 0;
  st.ofile = FILE_open(name, mode != nullptr ? mode : "w");
  static const bool registered = std::atexit(close_copy_at_exit) == 0;
  (void)registered;
  return st.ofile != nullptr ? 1 : 0;
}

void MESS_file_close() {
  if (st.ofile != nullptr) FILE_close(st.ofile);
  st.ofile = nullptr;
}

void MESS_print_prog(const char* title) {
  MESS_print(MESS_MESS, "      %s (Ver %s)\n\n", title != nullptr ? title : "", ZAV_version());
}

void MESS_reset() { MESS_reset_state(); }

void MESS_reset_state() {
  close_log();
  MESS_file_close();
  st = MessState{};
}
