// Prompts and the prompt commands "set" and "exit".
#include "config/prompt.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/mess.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"

namespace {

constexpr int prompt_line_len = 80;

// Reads one answer line of at most 80 characters. The rest of an over-long line is
// dropped so that it cannot answer the next prompt. End of input ends the program:
// a batch job fed too few answers must stop, not ask for ever.
std::string read_answer() {
  std::string line;
  int c = std::getchar();
  if (c == EOF) {
    MESS_print(MESS_PRINT, "\nEnd of input: exiting\n");
    ZAV_exit(0);
  }
  bool truncated = false;
  while (c != EOF && c != '\n') {
    if (static_cast<int>(line.size()) < prompt_line_len)
      line.push_back(static_cast<char>(c));
    else
      truncated = true;
    c = std::getchar();
  }
  if (truncated)
    MESS_print(MESS_WARN, "Answer longer than %d characters: the rest is ignored\n", prompt_line_len);
  char buffer[prompt_line_len + 1];
  std::snprintf(buffer, sizeof buffer, "%s", line.c_str());
  wstrim_string(buffer);
  return buffer;
}

// Asks until a line scans and is not a prompt command.
template <typename Scan>
void prompt_loop(const char* prompt, Scan scan) {
  for (;;) {
    MESS_print(MESS_PRINT, "%s", prompt != nullptr ? prompt : "");
    std::fflush(stdout);
    const std::string line = read_answer();
    if (ZAV_set_command(line.c_str())) continue;
    if (scan(line)) return;
  }
}

// The first blank-separated word of the line.
std::string first_word(const char* line) {
  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  const char* end = p;
  while (*end != '\0' && *end != ' ' && *end != '\t') ++end;
  return std::string(p, end);
}

// The first word of a line, at most max characters of it.
bool scan_word(const std::string& line, int max, char* out) {
  const std::string word = first_word(line.c_str()).substr(0, static_cast<std::size_t>(max));
  if (word.empty()) return false;
  std::memcpy(out, word.data(), word.size());
  out[word.size()] = '\0';
  return true;
}

char* prompt_word(const char* prompt, char* buffer, int max, std::size_t alloc) {
  char word[prompt_line_len + 1];
  prompt_loop(prompt, [&](const std::string& line) { return scan_word(line, max, word); });
  if (buffer == nullptr) {
    buffer = static_cast<char*>(std::malloc(alloc));
    if (buffer == nullptr) return nullptr;
  }
  std::memcpy(buffer, word, std::strlen(word) + 1);
  return buffer;
}

}  // namespace

float ZAV_promptf(const char* prompt) {
  float value = 0.0f;
  prompt_loop(prompt, [&](const std::string& line) { return std::sscanf(line.c_str(), "%f", &value) == 1; });
  return value;
}

int ZAV_promptd(const char* prompt) {
  int value = 0;
  prompt_loop(prompt, [&](const std::string& line) {
    // Like "%d", but a number out of the int range is asked again, not wrapped.
    const char* p = line.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
  });
  return value;
}

char* ZAV_prompts(const char* prompt, char* buffer, int length) {
  if (length < 2) length = 2;
  const int max = length - 1 < prompt_line_len ? length - 1 : prompt_line_len;
  return prompt_word(prompt, buffer, max, static_cast<std::size_t>(length) + 1);
}

char* ZAV_promptl(const char* prompt, char* buffer) { return prompt_word(prompt, buffer, 19, 81); }

// "set name value", "set name=value", "set" and "exit". Only a first word that is
// exactly one of the commands counts, so answers such as "settings" stay answers.
int ZAV_set_command(const char* line) {
  if (line == nullptr) return 0;
  const std::string word = first_word(line);
  if (stricmp(word.c_str(), "exit") == 0) ZAV_exit(0);
  if (stricmp(word.c_str(), "set") != 0) return 0;

  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  p += word.size();
  while (*p == ' ' || *p == '\t') ++p;
  const char* name_end = p;
  while (*name_end != '\0' && *name_end != '=' && *name_end != ' ' && *name_end != '\t') ++name_end;
  if (name_end == p) {
    MESS_print(MESS_MESS & MESS_D, "Set resources\n");
    RES_list();
    MESS_print(MESS_MESS & MESS_D, "\n");
    return 1;
  }
  const std::string name(p, name_end);
  const char* value = name_end;
  while (*value == '=' || *value == ' ' || *value == '\t') ++value;
  std::string text(value);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  RES_put(name.c_str(), text.c_str());
  return 1;
}
