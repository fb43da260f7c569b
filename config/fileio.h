// File services on top of POSIX: opening files, standard streams and command pipes,
// home-directory expansion, and the questions asked of a path (exists, kind, size).
// Every module that opens a file by a user-given name goes through FILE_open, so the
// same name forms ("~user/x", "|command", "-") work everywhere.
#pragma once
#include <cstddef>
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
// Closes the command streams still open and puts back the SIGPIPE action.
void FILE_reset_io_state();
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

// ---- Outputs written whole or not at all ----
//
// A regular file (new, or replacing one, through a link too) is written under a temporary
// name beside it, in the same directory so that the rename is atomic, and put in place by
// FILE_commit only when every write and the close succeeded: until then, and whenever
// anything failed, the old file stays as it was and no cut file is left. A replaced file
// keeps its permissions; a new one gets 0666 less the umask, as any created file.
// Standard output, "|command" pipes and devices or FIFOs that are there already are written
// directly; their failures count the same. Usage:
//   FileOutput out;
//   if (!FILE_open_temp(name, &out)) ...report FILE_output_error(&out)...
//   ...write to out.fp...
//   if (!FILE_commit(&out)) ...report FILE_output_error(&out)...
struct FileSink;

enum FileOutputKind : int {
  FILE_OUT_TEMP = 0,  // a temporary file renamed onto the target
  FILE_OUT_DIRECT,    // a device or FIFO that is there already
  FILE_OUT_STDIO,     // standard output
  FILE_OUT_PIPE,      // the input of a command
};

// Flags of FILE_open_temp.
constexpr int FILE_OUT_APPEND = 1;   // keep what the file holds and add to it
constexpr int FILE_OUT_BY_NAME = 2;  // no stream: a library creates out->temp by its name (only files)

struct FileOutput {
  std::FILE* fp = nullptr;  // where to write; null with FILE_OUT_BY_NAME
  std::string name;         // as given, for messages
  std::string target;       // the file put in place (links followed)
  std::string temp;         // the temporary file; "" when written directly
  int kind = FILE_OUT_TEMP;
  int error = 0;            // errno of the first failure, 0 when none is known
  int status = -1;          // a failed command's wait status
  unsigned perms = 0;       // permissions the new file gets
  FileSink* sink = nullptr;
};

// Opens name ("~" expanded, missing directories made) for writing as described above.
// 1 when open; 0 after a failure, with out->error set and nothing left behind.
int FILE_open_temp(const char* name, FileOutput* out, int flags = 0);
// Flushes and closes; the temporary file takes the target's place. 1 on success; 0 when
// anything written was lost: the temporary file is removed and the target left as it was.
int FILE_commit(FileOutput* out);
// Writes n bytes over the temporary file at offset `at` (after flushing what is
// buffered), leaving the end where it is: a header filled in once the rest is known.
// 1 when written; 0 for any output but a temporary file, or when the write fails.
int FILE_rewrite_at(FileOutput* out, long at, const char* data, std::size_t n);
// Closes and removes the temporary file, leaving the target as it was (an output that
// failed for a reason of the caller's own). A write that had failed sets out->error.
void FILE_abandon(FileOutput* out);
// Why the output failed: the system's text for the error, or what became of the command.
std::string FILE_output_error(const FileOutput* out);
