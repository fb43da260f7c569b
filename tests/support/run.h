// Runs the real program (or any command) for end-to-end tests.
#pragma once
#include <map>
#include <string>
#include <vector>

struct RunResult {
  int status = -1;   // exit status, or 128+signal when killed by a signal
  std::string out;   // standard output
  std::string err;   // standard error
};

// Runs program with args; stdin_text is fed to standard input (closed afterwards).
// env adds or replaces environment variables (an empty value removes one).
// The child is killed after timeout_s seconds (status then 128+SIGKILL).
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::string& stdin_text = "",
                      const std::map<std::string, std::string>& env = {},
                      const std::string& cwd = "", int timeout_s = 30);

// In a child process: sets env (an empty value removes a variable), enters cwd and runs
// program with args; never returns (status 126: no such folder, 127: no such program).
[[noreturn]] void exec_child(const std::string& program, const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& env, const std::string& cwd);

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
