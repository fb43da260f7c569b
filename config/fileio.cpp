// File services on top of POSIX.
#include "config/fileio.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "config/string.h"

namespace {

// Streams opened with popen: they must be closed with pclose.
std::set<std::FILE*> pipes;

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
        pipes.insert(f);
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
  auto it = pipes.find(f);
  if (it != pipes.end()) {
    pipes.erase(it);
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
      if (!S_ISDIR(st.st_mode)) return 0;
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
