// The package's data files (variable, units, station, region, colour and font files).
//
// A name with a directory part is used as given; otherwise it is looked for in the
// "file_path" directory (the working directory when file_path is unset or "none") and
// then in the package's data directory: <prefix>/zav/data beside an installed program
// (<prefix>/bin/stacont), else the data directory of the tree it was built in.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// The places to look for a data file, in order.
std::vector<std::string> FILE_data_candidates(const std::string& name);
// Opens the first regular file among the candidates (read-only) and reports its path in
// *used (the first candidate when none opens). Close with FILE_close.
std::FILE* FILE_open_data(const std::string& name, std::string* used);
