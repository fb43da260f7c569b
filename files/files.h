// File naming conventions, file selection and file services.
#pragma once
#include <cstdio>
#include <string>

#include "files/date.h"

// Opens a file, a standard stream ("stdin"/"stdout"/"-") or a "|command" pipe.
std::FILE* FILE_open(const char* name, const char* mode);
// Closes a stream from FILE_open (pipes with pclose, standard streams left open).
int FILE_close(std::FILE* f);
// Appends '/' unless the path is empty or already ends with one.
std::string FILE_add_path_delim(const std::string& path);
int FILE_set_time(const DateRec* date);
