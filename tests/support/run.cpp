#include "tests/support/run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

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

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::string& stdin_text, const std::map<std::string, std::string>& env,
                      const std::string& cwd, int timeout_s) {
  RunResult result;
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    exec_child(program, args, env, cwd);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  if (stdin_text.empty()) {
    close(in_pipe[1]);
    in_pipe[1] = -1;
  } else {
    fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  bool out_open = true, err_open = true;
  char buf[65536];
  while (out_open || err_open) {
    std::vector<pollfd> fds;
    if (out_open) fds.push_back({out_pipe[0], POLLIN, 0});
    if (err_open) fds.push_back({err_pipe[0], POLLIN, 0});
    if (in_pipe[1] >= 0) fds.push_back({in_pipe[1], POLLOUT, 0});
    int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds.data(), fds.size(), left) < 0 && errno != EINTR) break;
    for (auto& p : fds) {
      if (!p.revents) continue;
      if (p.fd == in_pipe[1]) {
        ssize_t n = write(in_pipe[1], stdin_text.data() + written, stdin_text.size() - written);
        if (n > 0) written += (size_t)n;
        if (n < 0 || written >= stdin_text.size()) {
          close(in_pipe[1]);
          in_pipe[1] = -1;
        }
        continue;
      }
      ssize_t n = read(p.fd, buf, sizeof buf);
      std::string& dest = (p.fd == out_pipe[0]) ? result.out : result.err;
      if (n > 0)
        dest.append(buf, (size_t)n);
      else if (p.fd == out_pipe[0])
        out_open = false;
      else
        err_open = false;
    }
  }
  if (in_pipe[1] >= 0) close(in_pipe[1]);
  close(out_pipe[0]);
  close(err_pipe[0]);
  int status = 0;
  // Wait with the same deadline: a child that closed its outputs but hangs is killed.
  while (true) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (std::chrono::steady_clock::now() > deadline) kill(pid, SIGKILL);
    usleep(2000);
  }
  if (WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.status = 128 + WTERMSIG(status);
  return result;
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
