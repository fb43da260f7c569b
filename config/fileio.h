// File services on top of POSIX: opening files, standard streams and command pipes,
// home-directory expansion, and the questions asked of a path (exists, kind, size).
// Every module that opens a file by a user-given name goes through FILE_open, so the
// same name forms ("~user/x", "|command", "-") work everywhere.
#pragma once
#include <cstdio>
#include <string>

// Size of every file-name buffer of the package (longer names are truncated).
constexpr int FILE_NAME_MAX = 1024;

// Opens a file, a standard stream ("-", "std", "stdn", "stdin", "stdout") or a
// "|command" pipe; "~" and "~user" are expanded and missing directories are made for
// modes 'w' and 'a'. Null when it cannot be opened.
std::FILE* FILE_open(const char* name, const char* mode);
// Closes a stream from FILE_open (pipes with pclose, standard streams only flushed).
int FILE_close(std::FILE* f);
int FILE_exist(const char* name);
// Size in bytes, -1 when the file does not exist.
long FILE_size(const char* name);
// Modification time in seconds, 0 when the file does not exist.
int FILE_modtime(const char* name);
int FILE_delete(const char* name);
// Makes every missing directory of path (mode 0755), leaving out the last `skip`
// components (skip 1 for a file name). 1 on success.
int FILE_make_dir(const char* path, int skip);
int FILE_is_dir(const char* name);
int FILE_is_file(const char* name);
int FILE_is_fifo(const char* name);
int FILE_is_device(const char* name);
// 1 for the names of the standard streams ("", "-", "std", "stdn", "stdin", "stdout").
int FILE_is_stdio(const char* name);
// 1 for a name beginning with '/', '.' or '~'.
int FILE_fullpath(const char* name);
// directory + '/' + name, unless the name is a standard stream, a full path or a pipe,
// or the directory is empty. The char* form writes at most FILE_NAME_MAX bytes.
char* FILE_add_path(const char* directory, const char* name, char* result);
std::string FILE_add_path(const std::string& directory, const std::string& name);
// Appends '/' unless the path is empty or already ends with one.
std::string FILE_add_path_delim(const std::string& path);
// "~/x" and "~user/x" with the home directory; other names unchanged. The char* form
// writes at most FILE_NAME_MAX bytes.
char* FILE_add_user_path(const char* name, char* result);
std::string FILE_add_user_path(const std::string& name);
