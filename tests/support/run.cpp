#include "tests/support/run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// A child keeps none of the test's descriptors (a pipe a test reads to its end must not
// stay open in a server that outlives the test).
void close_other_fds() {
  rlimit lim{};
  const int max = getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < 65536 ? static_cast<int>(lim.rlim_cur) : 1024;
  for (int fd = 3; fd < max; ++fd) close(fd);
}

// In the child: sets env, enters cwd and runs program with args (status 126: no such
// folder, 127: no such program).
[[noreturn]] void exec_child(const std::string& program, const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& env, const std::string& cwd) {
  std::vector<std::string> store{program};
  store.insert(store.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : store) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (const auto& [k, v] : env) {
    if (v.empty())
      unsetenv(k.c_str());
    else
      setenv(k.c_str(), v.c_str(), 1);
  }
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  execv(program.c_str(), argv.data());
  _exit(127);
}

}  // namespace

Background::Background(const std::string& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env, const std::string& cwd,
                       const std::string& stdin_text) {
  dir_ = make_temp_dir("bg");
  const std::string out = dir_ + "/out", err = dir_ + "/err", input = dir_ + "/in";
  write_file(input, stdin_text);
  pid_ = fork();
  if (pid_ == 0) {
    const int in = open(input.c_str(), O_RDONLY);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0), dup2(o, 1), dup2(e, 2);
    close_other_fds();
    // The program ends with the test that started it, however the test ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    exec_child(program, args, env, cwd);
  }
}

bool Background::running() {
  if (done_ || pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    done_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

RunResult Background::wait(int timeout_s) {
  const auto start = std::chrono::steady_clock::now();
  while (running() && seconds_since(start) < timeout_s) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (running()) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    done_ = true;
    status_ = 128 + SIGKILL;
  }
  RunResult r;
  r.status = status_;
  r.out = read_file(dir_ + "/out");
  r.err = read_file(dir_ + "/err");
  return r;
}

std::string Background::output() const { return read_file(dir_ + "/out"); }

// The outputs are files of a folder of the program's own, gone with it.
Background::~Background() {
  if (running()) wait(0);
  std::filesystem::remove_all(dir_);
}

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::string& stdin_text, const std::map<std::string, std::string>& env,
                      const std::string& cwd, int timeout_s) {
  return Background(program, args, env, cwd, stdin_text).wait(timeout_s);
}

RunResult run_stacont(const std::vector<std::string>& args, const std::string& stdin_text,
                      const std::map<std::string, std::string>& env, const std::string& cwd, int timeout_s) {
  return run_program(STACONT_BINARY, args, stdin_text, env, cwd, timeout_s);
}

std::string real_data(const std::string& name) {
  std::vector<std::string> dirs;
  if (const char* env = std::getenv("STACONT_REALDATA"); env != nullptr && *env != '\0') dirs.emplace_back(env);
  dirs.push_back(std::string(STACONT_SOURCE_DIR) + "/../shared/realdata");
  for (const std::string& dir : dirs) {
    const std::string path = dir + "/" + name;
    if (std::ifstream(path).good()) return path;
  }
  return "";
}

std::string make_temp_dir(const std::string& tag) {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/stacont-" + tag + "-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  const char* dir = mkdtemp(buf.data());
  return dir ? std::string(dir) : std::string();
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos && !what.empty(); p = text.find(what, p + 1)) ++n;
  return n;
}

std::map<std::string, std::string> clean_env(const std::string& resource_dir) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "zav", 3) == 0) env[std::string(*e, std::strcspn(*e, "="))] = "";
  env["zavdefault"] = resource_dir;
  env["DISPLAY"] = "";
  return env;
}
