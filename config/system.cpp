// Process services: version, exit, prompts and prompt commands, timing, detaching.
#include "config/system.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "config/mess.h"
#include "config/resrc.h"
#include "config/string.h"

namespace {

constexpr int prompt_line_len = 80;

timeval start_time{};
double sleep_total = 0.0;

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

const char* ZAV_version() { return "5.60-LINUX-X11"; }

void ZAV_exit(int status) {
  MESS_file_close();
  std::fflush(nullptr);
  std::exit(status);
}

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
    MESS_print(0x800, "Set resources\n");
    RES_list();
    MESS_print(0x800, "\n");
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

void ZAV_init_time() {
  gettimeofday(&start_time, nullptr);
  sleep_total = 0.0;
}

float ZAV_elapse_time() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<float>(static_cast<double>(now.tv_sec - start_time.tv_sec) +
                            static_cast<double>(now.tv_usec - start_time.tv_usec) / 1e6);
}

int ZAV_sleep(float seconds) {
  if (!(seconds > 0.0f)) return -1;
  sleep_total += seconds;
  const double us = static_cast<double>(seconds) * 1e6;
  timespec left{static_cast<time_t>(us / 1e6), static_cast<long>(static_cast<long long>(us) % 1000000) * 1000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
  return 0;
}

float ZAV_sleep_time() { return static_cast<float>(sleep_total); }

// /dev/null is opened before forking so that a failure is reported by the
// foreground process, whose status the calling job sees.
int ZAV_back_proc() {
  const int null_fd = open("/dev/null", O_RDWR);
  if (null_fd < 0) return 0;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    close(null_fd);
    return 0;
  }
  if (pid > 0) std::exit(0);
  std::signal(SIGINT, SIG_DFL);
  dup2(null_fd, 0);
  dup2(null_fd, 1);
  dup2(null_fd, 2);
  if (null_fd > 2) close(null_fd);
  setpgid(0, 0);
  return 1;
}

int ZAV_get_pid() { return static_cast<int>(getpid()); }

// The 23rd field of the status file is the virtual memory size in bytes. Fields
// are counted after the command name, which is in parentheses and may hold blanks.
long ZAV_get_virt_mem() {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", ZAV_get_pid());
  std::FILE* f = std::fopen(path, "r");
  if (f == nullptr) return 0;
  char buffer[1024];
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  buffer[n] = '\0';
  const char* p = std::strrchr(buffer, ')');
  if (p == nullptr) return 0;
  ++p;
  // Field 3 is the first after the name.
  for (int field = 3; field < 23; ++field) {
    while (*p == ' ') ++p;
    while (*p != '\0' && *p != ' ') ++p;
  }
  return std::strtol(p, nullptr, 10);
}
