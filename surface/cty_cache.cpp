#include "surface/cty_cache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "config/fileio.h"

namespace {

// Changes whenever the layout of CityRec or of the header changes.
constexpr std::uint32_t cache_version = 1;
constexpr char cache_magic[8] = {'S', 'C', 'C', 'T', 'Y', 'I', 'D', 'X'};
// Written in the machine's own order: another order reads as a different number.
constexpr std::uint32_t byte_order_mark = 0x01020304U;
// Far above any real database (about 7,500 lines); a header claiming more is hostile.
constexpr std::uint32_t max_records = 4U << 20;

struct CacheHeader {
  char magic[8];
  std::uint32_t order;
  std::uint32_t version;
  std::uint32_t record_size;
  std::uint32_t count;
  std::int64_t text_size;
  std::int64_t text_mtime_sec;
  std::int64_t text_mtime_nsec;
  std::uint64_t text_inode;
  std::uint64_t checksum;
};
static_assert(sizeof(CacheHeader) == 64);
static_assert(sizeof(CityLine) % 8 == 0, "the checksum reads the records as 8-byte words");

// What identifies the text as it is now; an index made from any other state is stale.
struct TextStamp {
  std::int64_t size = 0, sec = 0, nsec = 0;
  std::uint64_t inode = 0;
  bool operator==(const TextStamp&) const = default;
};

TextStamp stamp_of(const struct stat& s) {
  return {static_cast<std::int64_t>(s.st_size), static_cast<std::int64_t>(s.st_mtim.tv_sec),
          static_cast<std::int64_t>(s.st_mtim.tv_nsec), static_cast<std::uint64_t>(s.st_ino)};
}

// FNV-1a over 8-byte words: a damaged or cut index is caught before it is believed.
std::uint64_t checksum(const CityLine* lines, std::size_t count) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  const auto* bytes = reinterpret_cast<const unsigned char*>(lines);
  const std::size_t n = count * sizeof(CityLine);
  for (std::size_t i = 0; i < n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes + i, 8);
    h = (h ^ w) * 0x100000001b3ULL;
  }
  return h;
}

template <std::size_t N>
bool terminated(const char (&text)[N]) {
  return std::memchr(text, '\0', N) != nullptr;
}

// A record that CTY_parse_line could have made: its texts end inside their arrays.
bool plausible(const CityLine& line) {
  const CityRec& r = line.rec;
  return line.fields >= 0 && line.fields <= 10 && terminated(r.name) && terminated(r.state) &&
         terminated(r.country) && terminated(r.id);
}

std::string hex64(std::uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

// The records kept from the last load of this run, and the text they came from.
struct CacheState {
  std::string path;
  TextStamp stamp;
  std::shared_ptr<const CityLines> lines;
};
CacheState cache;

bool read_fully(int fd, void* data, std::size_t n) {
  auto* p = static_cast<char*>(data);
  while (n > 0) {
    const ssize_t got = ::read(fd, p, n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

// The index at file when it describes the text of this stamp; null otherwise.
std::shared_ptr<const CityLines> load_index(const std::string& file, const TextStamp& stamp) {
  if (file.empty()) return nullptr;
  // Non-blocking, so that a FIFO put in the index's place does not hang the run.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat s {};
  if (::fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) return nullptr;
  CacheHeader h{};
  if (!read_fully(fd, &h, sizeof h)) return nullptr;
  if (std::memcmp(h.magic, cache_magic, sizeof h.magic) != 0 || h.order != byte_order_mark ||
      h.version != cache_version || h.record_size != sizeof(CityLine) || h.count > max_records)
    return nullptr;
  if (TextStamp{h.text_size, h.text_mtime_sec, h.text_mtime_nsec, h.text_inode} != stamp) return nullptr;
  const std::uint64_t payload = static_cast<std::uint64_t>(h.count) * sizeof(CityLine);
  if (static_cast<std::uint64_t>(s.st_size) != sizeof h + payload) return nullptr;
  // The index is only ever replaced whole (written apart, then renamed), so the file mapped
  // here stays as it is while the run uses it.
  const std::size_t bytes = sizeof h + static_cast<std::size_t>(payload);
  void* map = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd, 0);
  if (map == MAP_FAILED) return nullptr;
  static_assert(sizeof(CacheHeader) % alignof(CityLine) == 0);
  const auto* records = reinterpret_cast<const CityLine*>(static_cast<const char*>(map) + sizeof h);
  std::shared_ptr<const CityLines> lines;
  try {
    lines = std::make_shared<CityLines>(records, h.count, map, bytes);
  } catch (...) {
    ::munmap(map, bytes);
    throw;
  }
  if (checksum(records, h.count) != h.checksum) return nullptr;
  for (const CityLine& line : *lines)
    if (!plausible(line)) return nullptr;
  return lines;
}

// Writes the index whole under a temporary name and renames it into place; false when the
// place cannot be written (nothing is left behind then).
bool save_index(const std::string& file, const TextStamp& stamp, const CityLines& lines) {
  if (file.empty()) return false;
  // Only a regular file is replaced: a FIFO or device there would be written into.
  struct stat s {};
  if (::lstat(file.c_str(), &s) == 0 && !S_ISREG(s.st_mode)) return false;
  CacheHeader h{};
  std::memcpy(h.magic, cache_magic, sizeof h.magic);
  h.order = byte_order_mark;
  h.version = cache_version;
  h.record_size = sizeof(CityLine);
  h.count = static_cast<std::uint32_t>(lines.size());
  h.text_size = stamp.size;
  h.text_mtime_sec = stamp.sec;
  h.text_mtime_nsec = stamp.nsec;
  h.text_inode = stamp.inode;
  h.checksum = checksum(lines.data(), lines.size());
  FileOutput out;
  if (!FILE_open_temp(file.c_str(), &out)) return false;
  if (out.kind != FILE_OUT_TEMP) {
    FILE_abandon(&out);
    return false;
  }
  const bool written = std::fwrite(&h, sizeof h, 1, out.fp) == 1 &&
                       (lines.empty() || std::fwrite(lines.data(), sizeof(CityLine), lines.size(), out.fp) == lines.size());
  if (!written) {
    FILE_abandon(&out);
    return false;
  }
  return FILE_commit(&out) == 1;
}

// Every line of the stream from where it is, parsed.
std::shared_ptr<CityLines> parse_all(int handle) {
  std::vector<CityLine> lines;
  lines.reserve(8192);
  CityLine line{};
  while ((line.fields = CTY_read(handle, &line.rec)) >= 0) lines.push_back(line);
  return std::make_shared<CityLines>(std::move(lines));
}

std::shared_ptr<const CityLines> read_all(int handle) {
  const char* opened = CTY_open_path(handle);
  if (!*opened) return nullptr;
  const std::string path = opened;
  struct stat s {};
  if (::fstat(handle, &s) != 0 || !S_ISREG(s.st_mode)) return parse_all(handle);
  const TextStamp stamp = stamp_of(s);
  if (cache.lines && cache.path == path && cache.stamp == stamp) return cache.lines;

  const std::string beside = CTY_cache_path(path, true);
  const std::string user = CTY_cache_path(path, false);
  std::shared_ptr<const CityLines> lines = load_index(beside, stamp);
  if (!lines) lines = load_index(user, stamp);
  if (!lines) {
    if (CTY_rewind(handle) != 0) return nullptr;
    std::shared_ptr<CityLines> parsed = parse_all(handle);
    if (!save_index(beside, stamp, *parsed)) save_index(user, stamp, *parsed);
    lines = std::move(parsed);
  }
  cache = CacheState{path, stamp, lines};
  return lines;
}

}  // namespace

CityLines::CityLines(std::vector<CityLine> parsed) : own_(std::move(parsed)), data_(own_.data()), size_(own_.size()) {}

CityLines::CityLines(const CityLine* mapped, std::size_t n, void* map, std::size_t bytes)
    : data_(mapped), size_(n), map_(map), map_bytes_(bytes) {}

CityLines::~CityLines() {
  if (map_ != nullptr) ::munmap(map_, map_bytes_);
}

std::string CTY_cache_path(const std::string& path, bool beside) {
  if (path.empty()) return "";
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty()) return "";
  // The full path names the text, so that two databases of one name keep apart.
  std::string full = path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) full = resolved;
  // Under /usr the text is a package's: an index beside it would outlive the package (and
  // a job run as root would write into the system's read-only tree), so it goes to the
  // user's cache instead.
  if (beside) return full.rfind("/usr/", 0) == 0 ? "" : dir + "." + base + ".idx";

  std::string root;
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && xdg[0] == '/')
    root = xdg;
  else if (home && home[0] == '/')
    root = std::string(home) + "/.cache";
  else
    return "";
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const char c : full) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
  return root + "/stacont/" + base + "-" + hex64(h) + ".idx";
}

std::shared_ptr<const CityLines> CTY_read_all(int handle) {
  try {
    return read_all(handle);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void CTY_cache_reset_state() { cache = CacheState{}; }
