// File services on top of POSIX.
#include "config/fileio.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "config/string.h"

namespace {

// The streams opened on commands and the SIGPIPE action to put back when the last closes.
struct FileioState {
  // Streams opened with popen: they must be closed with pclose.
  std::set<std::FILE*> pipes;
  // A print command that ends early must not end the program with SIGPIPE: its failure is
  // reported like any other failed output.
  struct sigaction old_pipe_action {};
  int pipes_open = 0;
};
FileioState st;

bool is_stdio_name(const std::string& name) {
  return name.empty() || name == "-" || name == "std" || name == "stdn" || name == "stdin" || name == "stdout";
}

bool is_full(const std::string& name) { return !name.empty() && (name[0] == '/' || name[0] == '.' || name[0] == '~'); }

std::string expand_user(const std::string& name) {
  if (name.empty() || name[0] != '~') return name;
  std::size_t slash = name.find('/');
  std::string user = name.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
  std::string rest = slash == std::string::npos ? "" : name.substr(slash);
  const char* home = nullptr;
  if (user.empty()) {
    home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
    }
  } else if (user.size() < 256) {
    if (const passwd* pw = getpwnam(user.c_str())) home = pw->pw_dir;
  }
  if (home == nullptr) return name;
  return std::string(home) + rest;
}

bool stat_of(const char* name, struct stat* st) {
  if (name == nullptr || *name == '\0') return false;
  std::string path = expand_user(name);
  return ::stat(path.c_str(), st) == 0;
}

}  // namespace

std::FILE* FILE_open(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) return nullptr;
  std::string n = name;
  if (is_stdio_name(n)) return mode[0] == 'r' ? stdin : stdout;
  if (n[0] == '|') {
    const char* pmode = mode[0] == 'r' ? "r" : "w";
    std::fflush(nullptr);
    std::FILE* f = ::popen(n.c_str() + 1, pmode);
    if (f != nullptr) {
      try {
        st.pipes.insert(f);
      } catch (const std::bad_alloc&) {
        ::pclose(f);
        return nullptr;
      }
    }
    return f;
  }
  std::string path = expand_user(n);
  if (mode[0] == 'w' || mode[0] == 'a') FILE_make_dir(path.c_str(), 1);
  return std::fopen(path.c_str(), mode);
}

int FILE_close(std::FILE* f) {
  if (f == nullptr) return 0;
  if (f == stdin || f == stdout || f == stderr) return std::fflush(f);
  auto it = st.pipes.find(f);
  if (it != st.pipes.end()) {
    st.pipes.erase(it);
    return ::pclose(f);
  }
  return std::fclose(f);
}

int FILE_exist(const char* name) {
  struct stat st;
  return stat_of(name, &st) ? 1 : 0;
}

long FILE_size(const char* name) {
  struct stat st;
  if (!stat_of(name, &st)) return -1;
  return static_cast<long>(st.st_size);
}

int FILE_modtime(const char* name) {
  struct stat st;
  if (!stat_of(name, &st)) return 0;
  return static_cast<int>(st.st_mtime);
}

int FILE_delete(const char* name) {
  if (name == nullptr || *name == '\0' || is_stdio_name(name)) return 0;
  std::string path = expand_user(name);
  return ::unlink(path.c_str()) == 0 ? 1 : 0;
}

int FILE_make_dir(const char* path_in, int skip_n) {
  if (path_in == nullptr) return 0;
  std::string path = expand_user(path_in);
  std::replace(path.begin(), path.end(), '\\', '/');
  std::vector<std::size_t> cuts;
  for (std::size_t i = 1; i < path.size(); ++i)
    if (path[i] == '/' && path[i - 1] != '/') cuts.push_back(i);
  if (!path.empty() && path.back() != '/') cuts.push_back(path.size());
  int keep = static_cast<int>(cuts.size()) - std::max(skip_n, 0);
  for (int k = 0; k < keep; ++k) {
    std::string dir = path.substr(0, cuts[static_cast<std::size_t>(k)]);
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return 0;
      }
      continue;
    }
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return 0;
  }
  return 1;
}

int FILE_is_dir(const char* name) {
  struct stat st;
  return stat_of(name, &st) && S_ISDIR(st.st_mode) ? 1 : 0;
}

int FILE_is_file(const char* name) {
  struct stat st;
  return stat_of(name, &st) && S_ISREG(st.st_mode) ? 1 : 0;
}

int FILE_is_fifo(const char* name) {
  struct stat st;
  return stat_of(name, &st) && S_ISFIFO(st.st_mode) ? 1 : 0;
}

int FILE_is_device(const char* name) {
  struct stat st;
  return stat_of(name, &st) && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ? 1 : 0;
}

int FILE_is_stdio(const char* name) { return name != nullptr && is_stdio_name(name) ? 1 : 0; }

int FILE_fullpath(const char* name) { return name != nullptr && is_full(name) ? 1 : 0; }

std::string FILE_add_path(const std::string& directory, const std::string& name) {
  if (is_stdio_name(name) || is_full(name) || name[0] == '|' || directory.empty()) return name;
  return FILE_add_path_delim(directory) + name;
}

char* FILE_add_path(const char* directory, const char* name, char* result) {
  if (result == nullptr) return nullptr;
  try {
    copy_bounded(result, FILE_NAME_MAX,
                 FILE_add_path(std::string(directory != nullptr ? directory : ""), std::string(name != nullptr ? name : "")));
  } catch (const std::bad_alloc&) {
    result[0] = '\0';
  }
  return result;
}

std::string FILE_add_path_delim(const std::string& path) {
  return (path.empty() || path.back() == '/') ? path : path + "/";
}

std::string FILE_add_user_path(const std::string& name) { return expand_user(name); }

char* FILE_add_user_path(const char* name, char* result) {
  if (result == nullptr) return nullptr;
  try {
    copy_bounded(result, FILE_NAME_MAX, expand_user(name != nullptr ? name : ""));
  } catch (const std::bad_alloc&) {
    result[0] = '\0';
  }
  return result;
}

// ---- Outputs written whole or not at all ----

// The stream of an output file: the bytes go to a descriptor, and the first error is kept
// with its reason (the C library forgets why a buffered write failed).
struct FileSink {
  int fd = -1;
  int error = 0;
};

namespace {

ssize_t sink_write(void* cookie, const char* data, std::size_t size) {
  FileSink* sink = static_cast<FileSink*>(cookie);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(sink->fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (sink->error == 0) sink->error = n < 0 ? errno : EIO;
      return 0;  // the library's sign of an error
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(size);
}

int sink_close(void* cookie) {
  const std::unique_ptr<FileSink> sink(static_cast<FileSink*>(cookie));
  return ::close(sink->fd) == 0 ? 0 : -1;
}

void ignore_sigpipe(bool on) {
  if (on) {
    if (st.pipes_open++ == 0) {
      struct sigaction ign {};
      ign.sa_handler = SIG_IGN;
      sigemptyset(&ign.sa_mask);
      sigaction(SIGPIPE, &ign, &st.old_pipe_action);
    }
  } else if (st.pipes_open > 0 && --st.pipes_open == 0) {
    sigaction(SIGPIPE, &st.old_pipe_action, nullptr);
  }
}

unsigned new_file_perms() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666U & ~static_cast<unsigned>(mask);
}

// A stream over fd that keeps the reason of a failed write; null (fd closed) when none
// can be made.
std::FILE* sink_stream(int fd, FileOutput* out) {
  std::unique_ptr<FileSink> sink;
  try {
    sink = std::make_unique<FileSink>();
  } catch (const std::bad_alloc&) {
    ::close(fd);
    errno = ENOMEM;
    return nullptr;
  }
  sink->fd = fd;
  const cookie_io_functions_t io{nullptr, sink_write, nullptr, sink_close};
  std::FILE* f = ::fopencookie(sink.get(), "w", io);
  if (f == nullptr) {
    ::close(fd);
    return nullptr;
  }
  std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
  out->sink = sink.release();
  return f;
}

// Copies the whole of the file `from` to fd (an output appended to).
bool copy_into(const std::string& from, int fd) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = ::write(fd, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        if (w == 0) errno = EIO;
        ok = false;
      } else {
        done += w;
      }
    }
    if (!ok) break;
  }
  const int e = errno;
  ::close(in);
  errno = e;
  return ok;
}

int open_failed(FileOutput* out, int error) {
  out->error = error != 0 ? error : EIO;
  if (!out->temp.empty()) ::unlink(out->temp.c_str());
  out->temp.clear();
  out->fp = nullptr;
  out->sink = nullptr;
  return 0;
}

// The error of the stream before it closes: the sink's reason, else the library's flag.
int stream_error(FileOutput* out) {
  int e = 0;
  if (std::fflush(out->fp) != 0) e = errno != 0 ? errno : EIO;
  if (out->sink != nullptr && out->sink->error != 0) e = out->sink->error;
  if (e == 0 && std::ferror(out->fp)) e = EIO;
  return e;
}

}  // namespace

int FILE_open_temp(const char* name_in, FileOutput* out, int flags) {
  if (out == nullptr) return 0;
  *out = FileOutput{};
  try {
    out->name = name_in != nullptr ? name_in : "";
    const std::string& name = out->name;
    const bool append = (flags & FILE_OUT_APPEND) != 0;
    const bool by_name = (flags & FILE_OUT_BY_NAME) != 0;
    if (!by_name && is_stdio_name(name)) {
      out->kind = FILE_OUT_STDIO;
      out->fp = stdout;
      return 1;
    }
    if (!by_name && name[0] == '|') {
      out->kind = FILE_OUT_PIPE;
      ignore_sigpipe(true);
      errno = 0;
      out->fp = FILE_open(name.c_str(), "w");
      if (out->fp == nullptr) {
        const int e = errno;
        ignore_sigpipe(false);
        return open_failed(out, e);
      }
      return 1;
    }
    if (name.empty() || name[0] == '|') return open_failed(out, EINVAL);
    std::string path = expand_user(name);
    out->target = path;
    out->perms = new_file_perms();
    struct stat there {};
    if (::lstat(path.c_str(), &there) == 0) {
      if (S_ISLNK(there.st_mode)) {
        // The link stays a link: what it points to is what is replaced.
        if (char* real = ::realpath(path.c_str(), nullptr)) {
          out->target = real;
          std::free(real);
          if (::stat(out->target.c_str(), &there) != 0) return open_failed(out, errno);
        }
      }
      if (S_ISDIR(there.st_mode)) return open_failed(out, EISDIR);
      if (!S_ISREG(there.st_mode) && !S_ISLNK(there.st_mode)) {
        // A device or a FIFO takes the bytes as they come; there is nothing to replace.
        if (by_name) return open_failed(out, EEXIST);
        out->kind = FILE_OUT_DIRECT;
        const int fd = ::open(out->target.c_str(), O_WRONLY | O_CLOEXEC | (append ? O_APPEND : O_TRUNC));
        if (fd < 0) return open_failed(out, errno);
        out->fp = sink_stream(fd, out);
        return out->fp != nullptr ? 1 : open_failed(out, errno);
      }
      if (S_ISREG(there.st_mode)) {
        // A file its owner has made read-only is not replaced behind their back.
        if (::access(out->target.c_str(), W_OK) != 0) return open_failed(out, errno);
        out->perms = there.st_mode & 07777;
      }
    } else {
      if (!FILE_make_dir(path.c_str(), 1)) return open_failed(out, errno);
    }
    std::string dir = ".", base = out->target;
    const std::size_t slash = out->target.rfind('/');
    if (slash != std::string::npos) {
      dir = slash == 0 ? "/" : out->target.substr(0, slash);
      base = out->target.substr(slash + 1);
    }
    if (base.empty()) return open_failed(out, EISDIR);
    // A name of its own, hidden, and short enough for any directory.
    out->temp = FILE_add_path_delim(dir) + "." + base.substr(0, 200) + ".XXXXXX";
    const int fd = ::mkstemp(out->temp.data());
    if (fd < 0) {
      const int e = errno;
      out->temp.clear();
      return open_failed(out, e);
    }
    if (S_ISREG(there.st_mode) && there.st_uid != ::geteuid()) {
      // The superuser rewriting another's file leaves it theirs.
      if (::fchown(fd, there.st_uid, there.st_gid) != 0) { /* kept as created */ }
    }
    if (::fchmod(fd, static_cast<mode_t>(out->perms)) != 0) { /* the mode of a new file stays private */ }
    if (append && S_ISREG(there.st_mode) && !copy_into(out->target, fd)) {
      const int e = errno;
      ::close(fd);
      return open_failed(out, e);
    }
    if (by_name) {
      ::close(fd);
      return 1;
    }
    out->fp = sink_stream(fd, out);
    return out->fp != nullptr ? 1 : open_failed(out, errno);
  } catch (const std::bad_alloc&) {
    return open_failed(out, ENOMEM);
  }
}

int FILE_rewrite_at(FileOutput* out, long at, const char* data, std::size_t n) {
  if (out == nullptr || out->fp == nullptr || out->sink == nullptr || out->kind != FILE_OUT_TEMP || at < 0 ||
      data == nullptr)
    return 0;
  if (std::fflush(out->fp) != 0) return 0;
  std::size_t done = 0;
  while (done < n) {
    const ssize_t k = ::pwrite(out->sink->fd, data + done, n - done, static_cast<off_t>(at) + static_cast<off_t>(done));
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return 0;
    done += static_cast<std::size_t>(k);
  }
  return 1;
}

int FILE_commit(FileOutput* out) {
  if (out == nullptr) return 0;
  int e = 0;
  switch (out->kind) {
    case FILE_OUT_STDIO:
      if (out->fp != nullptr) e = stream_error(out);
      break;
    case FILE_OUT_PIPE: {
      if (out->fp == nullptr) return 0;
      e = stream_error(out);
      errno = 0;
      const int status = FILE_close(out->fp);
      ignore_sigpipe(false);
      if (e == 0 && status != 0) {
        if (status == -1) {
          e = errno != 0 ? errno : EIO;
        } else {
          out->status = status;
          e = -1;
        }
      }
      break;
    }
    default: {
      if (out->fp != nullptr) {
        e = stream_error(out);
        errno = 0;
        if (std::fclose(out->fp) != 0 && e == 0) e = errno != 0 ? errno : EIO;
      } else if (out->temp.empty()) {
        e = EBADF;  // never opened
      }
      if (e == 0 && !out->temp.empty()) {
        // A library writing by name made the file anew: it gets the permissions decided.
        if (out->fp == nullptr && ::chmod(out->temp.c_str(), static_cast<mode_t>(out->perms)) != 0) { /* kept */ }
        if (::rename(out->temp.c_str(), out->target.c_str()) != 0)
          e = errno;
        else
          out->temp.clear();
      }
      if (!out->temp.empty()) ::unlink(out->temp.c_str());
      out->temp.clear();
      break;
    }
  }
  out->fp = nullptr;
  out->sink = nullptr;
  if (e == 0) return 1;
  out->error = e;
  return 0;
}

void FILE_abandon(FileOutput* out) {
  if (out == nullptr) return;
  if (out->fp != nullptr) {
    // A failed write is kept as the reason, should the caller have none of its own.
    if (out->error == 0 && out->sink != nullptr) out->error = out->sink->error;
    if (out->error == 0 && out->kind != FILE_OUT_STDIO && std::ferror(out->fp)) out->error = EIO;
    if (out->kind == FILE_OUT_STDIO) {
      std::fflush(out->fp);
    } else if (out->kind == FILE_OUT_PIPE) {
      FILE_close(out->fp);
      ignore_sigpipe(false);
    } else {
      std::fclose(out->fp);
    }
  }
  if (!out->temp.empty()) ::unlink(out->temp.c_str());
  out->temp.clear();
  out->fp = nullptr;
  out->sink = nullptr;
}

std::string FILE_output_error(const FileOutput* out) {
  if (out == nullptr) return "";
  if (out->kind == FILE_OUT_PIPE && out->status != -1) {
    if (WIFEXITED(out->status)) return "the command ended with status " + std::to_string(WEXITSTATUS(out->status));
    return "the command was ended by a signal";
  }
  return std::strerror(out->error != 0 ? out->error : EIO);
}

void FILE_reset_io_state() {
  while (!st.pipes.empty()) FILE_close(*st.pipes.begin());
  if (st.pipes_open > 0) sigaction(SIGPIPE, &st.old_pipe_action, nullptr);
  st = FileioState{};
}
