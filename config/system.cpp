// Process services: version, exit, timing, detaching.
#include "config/system.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// The start of the run, the time spent asleep and the status the run ends with.
struct SystemState {
  timeval start_time{};
  double sleep_total = 0.0;
  int run_status = ZAV_STATUS_OK;
};
SystemState st;

}  // namespace

const char* ZAV_version() { return "5.60-LINUX-X11"; }

void ZAV_exit(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

void ZAV_fail(int status) {
  if (st.run_status == ZAV_STATUS_OK) st.run_status = status;
}

int ZAV_status() { return st.run_status; }

void ZAV_init_time() {
  gettimeofday(&st.start_time, nullptr);
  st.sleep_total = 0.0;
}

float ZAV_elapse_time() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<float>(static_cast<double>(now.tv_sec - st.start_time.tv_sec) +
                            static_cast<double>(now.tv_usec - st.start_time.tv_usec) / 1e6);
}

int ZAV_sleep(float seconds) {
  if (!(seconds > 0.0f)) return -1;
  st.sleep_total += seconds;
  const double us = static_cast<double>(seconds) * 1e6;
  timespec left{static_cast<time_t>(us / 1e6), static_cast<long>(static_cast<long long>(us) % 1000000) * 1000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
  return 0;
}

float ZAV_sleep_time() { return static_cast<float>(st.sleep_total); }

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
  // The parent leaves without running exit handlers: the child shares its connections
  // (the window's X11 socket above all), which a clean shutdown here would close or use.
  if (pid > 0) _exit(0);
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

std::string ZAV_package_dir() {
  // Worked out once: the program does not move while it runs.
  static const std::string dir = [] {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return std::string();
    const fs::path pkg = exe.parent_path().parent_path() / STACONT_INSTALL_DIR;
    return fs::is_directory(pkg / "data", ec) ? pkg.lexically_normal().string() : std::string();
  }();
  return dir;
}

void ZAV_reset_state() { st = SystemState{}; }

