// Runs the real program (or any command) for end-to-end tests.
#pragma once
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

struct RunResult {
  int status = -1;   // exit status, or 128+signal when killed by a signal
  std::string out;   // standard output
  std::string err;   // standard error
};

// A program running beside the test; its output goes to files read when it ends, removed
// with the object. Its standard input is stdin_text (all of it there from the start).
// env adds or replaces environment variables (an empty value removes one).
class Background {
 public:
  Background(const std::string& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& env = {}, const std::string& cwd = "",
             const std::string& stdin_text = "");
  ~Background();
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  bool running();
  // Waits at most timeout_s seconds; the program is killed then (status 128+9).
  RunResult wait(int timeout_s);
  // What the program has written to its standard output so far.
  std::string output() const;
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string dir_;
  int status_ = -1;
  bool done_ = false;
};

// Runs program with args as a Background and waits for it.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::string& stdin_text = "",
                      const std::map<std::string, std::string>& env = {},
                      const std::string& cwd = "", int timeout_s = 30);

// Runs the built stacont binary.
RunResult run_stacont(const std::vector<std::string>& args, const std::string& stdin_text = "",
                      const std::map<std::string, std::string>& env = {},
                      const std::string& cwd = "", int timeout_s = 30);

// An environment for run_program/run_stacont that removes every zav* variable of the
// caller and the display, and reads resource files from resource_dir (which may not
// exist), so the user's settings cannot leak into a run.
std::map<std::string, std::string> clean_env(const std::string& resource_dir);

// The path of one of the real observation files kept beside the project (the folder
// "shared/realdata" next to the source tree, or the one $STACONT_REALDATA names); "" when
// it is not there, and the tests that need it are then skipped.
std::string real_data(const std::string& name);

// A fresh empty directory under $TMPDIR (or /tmp).
std::string make_temp_dir(const std::string& tag);
std::string read_file(const std::string& path);
// How often what occurs in text (overlapping occurrences counted).
int count_of(const std::string& text, const std::string& what);
void write_file(const std::string& path, const std::string& text);
