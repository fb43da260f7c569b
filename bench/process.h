// Programs run as processes by the benchmarks, with their output thrown away.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

// Wall-clock and processor (user and system) seconds of one run and the pages it touched
// first (minor faults: most of a short run's system time); all -1 when the program could not
// be started or did not end with status 0.
struct ProcessTimes {
  double wall = -1.0;
  double cpu = -1.0;
  double faults = -1.0;
};

// Starts args with the file actions and environment given and waits for it.
inline ProcessTimes spawn_and_time(std::vector<char*>& args, posix_spawn_file_actions_t* fa, char** env, bool search) {
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int rc = search ? posix_spawnp(&pid, args[0], fa, nullptr, args.data(), env)
                        : posix_spawn(&pid, args[0], fa, nullptr, args.data(), env);
  posix_spawn_file_actions_destroy(fa);
  if (rc != 0) return {};
  int status = 0;
  rusage use{};
  if (wait4(pid, &status, 0, &use) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  ProcessTimes t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu = static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
          static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
  t.faults = static_cast<double>(use.ru_minflt);
  return t;
}

inline std::vector<char*> arg_list(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  return args;
}

// Runs argv (found on the path) with its output thrown away.
inline ProcessTimes run_quiet(const std::vector<std::string>& argv) {
  std::vector<char*> args = arg_list(argv);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  return spawn_and_time(args, &fa, environ, true);
}

// Runs argv in dir with its output appended to log and the extra environment settings.
inline ProcessTimes run_in(const std::vector<std::string>& argv, const std::string& dir, const std::string& log,
                           const std::vector<std::string>& extra_env = {}) {
  std::vector<char*> args = arg_list(argv);
  std::vector<std::string> env_store;
  for (char** e = environ; *e != nullptr; ++e) env_store.emplace_back(*e);
  env_store.insert(env_store.end(), extra_env.begin(), extra_env.end());
  std::vector<char*> env;
  for (std::string& e : env_store) env.push_back(e.data());
  env.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&fa, 1, 2);
  return spawn_and_time(args, &fa, env.data(), false);
}

inline double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 != 0 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// The runs of one program in a benchmark, each kept when it succeeded.
struct Series {
  std::vector<double> wall, cpu, faults;
  bool run(const std::vector<std::string>& argv, const std::string& dir, const std::string& log,
           const std::vector<std::string>& env = {}) {
    const ProcessTimes t = run_in(argv, dir, log, env);
    if (t.cpu < 0.0) return false;
    wall.push_back(t.wall);
    cpu.push_back(t.cpu);
    faults.push_back(t.faults);
    return true;
  }
};

// Runs the program once per iteration of a benchmark (State: benchmark::State), each run's
// wall-clock time the iteration's; false, with the benchmark stopped, when a run fails.
template <class State>
bool time_each_iteration(State& state, Series& series, const std::vector<std::string>& argv, const std::string& dir,
                         const std::string& log, const std::vector<std::string>& env) {
  for (auto _ : state) {
    if (!series.run(argv, dir, log, env)) {
      state.SkipWithError(("stacont failed; see " + log).c_str());
      return false;
    }
    state.SetIterationTime(series.wall.back());
  }
  return true;
}
