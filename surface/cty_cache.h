// The station database parsed once: every line of the text as a record with its field
// count, kept in a binary index file so that later runs read it instead of parsing some
// seven thousand lines again, and kept in memory for the later loads of the same run.
//
// The index lies beside the text as ".<name>.idx"; where that directory cannot be written,
// under the user's cache directory ($XDG_CACHE_HOME, else ~/.cache) as
// "stacont/<name>-<hash of the text's full path>.idx". It is used only when it describes
// the text as it is now (size, modification time, inode), was written by this version on a
// machine of the same byte order, and its records check out; anything else is ignored and
// the index written again (under a temporary name, then renamed). When no place can be
// written the text is parsed every time, silently.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "surface/cty_read.h"

// One line of the database: the record CTY_parse_line made and what it returned.
struct CityLine {
  CityRec rec;
  std::int32_t fields;
};

// Every line of the database in file order: parsed from the text and kept here, or the
// records of the index file mapped as they lie in it (its pages are the system's file cache:
// nothing is copied and no fresh memory is taken for them).
class CityLines {
 public:
  CityLines() = default;
  explicit CityLines(std::vector<CityLine> parsed);
  // n records at mapped, which lie in a mapping of bytes at map; unmapped with the lines.
  CityLines(const CityLine* mapped, std::size_t n, void* map, std::size_t bytes);
  CityLines(const CityLines&) = delete;
  CityLines& operator=(const CityLines&) = delete;
  ~CityLines();

  const CityLine* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const CityLine* begin() const { return data_; }
  const CityLine* end() const { return data_ + size_; }

 private:
  std::vector<CityLine> own_;
  const CityLine* data_ = nullptr;
  std::size_t size_ = 0;
  void* map_ = nullptr;
  std::size_t map_bytes_ = 0;
};

// Every station line of the database opened by handle (CTY_open_file or CTY_open) under
// path, in file order; null when the handle is not the open database or memory runs out.
// A stream that is not a regular file (standard input, a pipe) is parsed from where it is.
std::shared_ptr<const CityLines> CTY_read_all(int handle);

// Where the index of the text at path is looked for: beside it (beside true) or in the
// user's cache directory; "" when there is no such place (no home directory; beside a text
// under /usr, which belongs to the system's packages).
std::string CTY_cache_path(const std::string& path, bool beside);

// Forgets the records kept in memory.
void CTY_cache_reset_state();
