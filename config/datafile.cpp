// The package's data files.
#include "config/datafile.h"

#include <new>

#include "config/fileio.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"

std::vector<std::string> FILE_data_candidates(const std::string& name) {
  std::vector<std::string> list;
  if (name.empty()) return list;
  if (name.find('/') != std::string::npos || FILE_fullpath(name.c_str()) || name[0] == '|') {
    list.push_back(name);
    return list;
  }
  const char* fp = RES_get("file_path");
  if (fp != nullptr && *fp != '\0' && stricmp(fp, "none") != 0)
    list.push_back(FILE_add_path(std::string(fp), name));
  else
    list.push_back(name);
  // Installed, the program never looks into the tree it was built from.
  const std::string pkg = ZAV_package_dir();
  list.push_back(FILE_add_path(pkg.empty() ? std::string(STACONT_DATA_DIR) : pkg + "/data", name));
  return list;
}

std::FILE* FILE_open_data(const std::string& name, std::string* used) {
  try {
    const std::vector<std::string> list = FILE_data_candidates(name);
    for (const std::string& path : list) {
      if (path[0] != '|' && FILE_is_dir(path.c_str())) continue;
      if (std::FILE* f = FILE_open(path.c_str(), "r")) {
        if (used != nullptr) *used = path;
        return f;
      }
    }
    if (used != nullptr) *used = list.empty() ? name : list.front();
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}
