// Grid files: type detection, the handle table, the package grid format (text or
// big-endian binary values), netCDF grid files, saving one grid and reading one back.
#include "analysis/grd_read.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grd_cf.h"
#include "analysis/grd_tif.h"
#include "files/cdf.h"
#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/prompt.h"
#include "files/date.h"
#include "files/files.h"
#include "plot/region.h"

namespace {

constexpr unsigned LEVEL_SAVE = MESS_WARN & MESS_C;
constexpr unsigned LEVEL_CHECK = MESS_WARN;
constexpr unsigned LEVEL_INFO = MESS_MESS;
constexpr int STRING_LEN = 50;
constexpr int CHKTYPE_BYTES = 200;

// Projection codes of the domain record.

struct CdfVars {
  int values = -1, proj = -1, lat1 = -1, lat2 = -1, lon1 = -1, lon2 = -1, dx = -1, dy = -1;
  int x_coord = -1, y_coord = -1, datim = -1, info = -1;
  int source = -1, version = -1, model = -1, type = -1, ltype = -1, level = -1, time = -1,
      var = -1, nx = -1, ny = -1, time_code = -1;
};

struct Handle {
  bool used = false;
  std::FILE* fp = nullptr;
  bool is_std = false;
  int type = 0;
  int mode = 0;
  int cdf = -1;
  int coords = 0;  // 0 projection variables, 1 coordinate arrays
  CdfVars vars;
  int record = 0;
  char label[40] = {};
  DateRec date = {};
  std::string name;
  bool header_done = false;  // package header line consumed
  long data_start = 0;       // offset of the first grid
  bool binary4 = false;      // version-4 header announced binary values
  bool cf = false;           // a CF grid file (GRD_FILE_CF layout)
  GrdCfFile cf_vars;
  GridInfo cf_info{};        // kept from GRD_putinfo: a CF file is defined with its first grid
  bool cf_defined = false;
  FileOutput out;            // a file being created: put in place when complete (FILE_open_temp)
  bool failed = false;       // a write to it failed
};

// The grid files open in the session and how values are written to text grid files.
struct GrdFileState {
  Handle handles[GRD_MAX_FILES];
  std::string value_format = "%14.8e";
};
GrdFileState st;

Handle* get_handle(int handle) {
  if (handle < 0 || handle >= GRD_MAX_FILES || !st.handles[handle].used) return nullptr;
  return &st.handles[handle];
}

bool is_package(int type) { return type >= GRD_FILE_PLAIN && type <= GRD_FILE_V4; }
bool is_grib(int type) { return type == GRD_FILE_GRIB || type == GRD_FILE_GRID; }

// A fixed text field that may lack its terminator.
template <std::size_t N>
std::string_view field_text(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

// One line without its newline; false at end of input. Over-long lines are cut to what
// the caller can use, the rest of the line is skipped.
bool read_line(std::FILE* fp, std::string& line, std::size_t limit = 4096) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::getc(fp)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (line.size() < limit) line.push_back(static_cast<char>(c));
  }
  return any;
}

void strip_cr(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

// A grid value: values too large for a float are as good as missing.
bool read_value(const char*& p, float* value) {
  if (!scan_float(p, value)) return false;
  if (!std::isfinite(*value)) *value = MISSING;
  return true;
}

// A decimal number as the grid writer spells it ("1.01325000e+03", "-0.25"), read exactly
// (scan_exact_decimal) to the float that from_chars would give: rounding the correctly
// rounded double to a float is right unless the double fell exactly halfway between two
// floats, or outside the normal floats, which are left to from_chars (false). What follows
// the number is not looked at.
bool quick_decimal(const char* p, const char* line_end, float* value) {
  ExactDecimal d;
  double x = 0.0;
  if (scan_exact_decimal(std::string_view(p, static_cast<std::size_t>(line_end - p)), true, &d) == 0 ||
      !exact_decimal_value(d, &x))
    return false;
  if (d.digits != 0) {
    const double a = std::fabs(x);
    if (!(a >= 0x1p-126 && a < 0x1p128)) return false;
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    if ((bits & 0x1FFFFFFFU) == 0x10000000U) return false;
  }
  const auto f = static_cast<float>(x);
  if (!std::isfinite(f)) return false;
  *value = f;
  return true;
}

// The grid value at the start of a text line (line_end its end), read as read_value reads
// it (decimal numbers only, a sign allowed, what follows ignored) and to the same correctly
// rounded float, but without the C library's per-call cost: a text grid is a million of
// them.
bool parse_value(const char* p, const char* line_end, float* value) {
  while (p < line_end && (*p == ' ' || *p == '\t')) ++p;
  const char* number = p;
  if (p < line_end && (*p == '+' || *p == '-')) ++p;
  auto digit_at = [&](const char* q) { return q < line_end && *q >= '0' && *q <= '9'; };
  if (!digit_at(p) && !(p < line_end && *p == '.' && digit_at(p + 1))) return false;
  if (p + 1 < line_end && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return false;
  if (*number == '+') ++number;  // the parser takes no plus sign
  if (quick_decimal(number, line_end, value)) return true;
  float v = 0.0f;
  const std::from_chars_result r = std::from_chars(number, line_end, v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Beyond a float: the C library says whether it overflowed (missing) or underflowed.
    const char* q = number;
    return read_value(q, value);
  }
  if (r.ec != std::errc()) return false;
  *value = std::isfinite(v) ? v : MISSING;
  return true;
}

bool tell_ok(std::FILE* fp, long* pos) {
  long p = std::ftell(fp);
  if (p < 0) return false;
  *pos = p;
  return true;
}

// Bytes left after the current position, -1 when the stream cannot tell.
long bytes_left(std::FILE* fp) {
  long here = std::ftell(fp);
  if (here < 0 || std::fseek(fp, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(fp);
  if (std::fseek(fp, here, SEEK_SET) != 0 || end < here) return -1;
  return end - here;
}

// ---- package format, reading ----

// Reads the "ZAVGRID" header line when it has not been read yet.
bool read_package_header(Handle& h) {
  if (h.header_done || h.type == GRD_FILE_PLAIN) {
    h.header_done = true;
    return true;
  }
  std::string line;
  if (!read_line(h.fp, line) || line.compare(0, 7, "ZAVGRID") != 0) {
    MESS_print(LEVEL_CHECK, "GRD_read: Not a grid file: %s\n", h.name.c_str());
    return false;
  }
  h.binary4 = line.size() > 8 && line[7] == '4' && line[8] == 'B';
  h.header_done = true;
  if (!tell_ok(h.fp, &h.data_start)) h.data_start = -1;
  return true;
}

// The header lines of one grid into grid (values untouched). 1 read, 0 clean end of
// file before a grid, -1 damaged.
// The description line: source, version, model, type, level type, level, time and
// variable, then ":units".
bool read_grid_description(const std::string& line, GridRec* grid) {
  const char* p = line.c_str();
  int n[8];
  for (int& v : n)
    if (!scan_int(p, &v)) return false;
  grid->source = n[0];
  grid->version = n[1];
  grid->model = n[2];
  grid->type = n[3];
  grid->ltype = n[4];
  grid->level = n[5];
  grid->time = n[6];
  grid->var = n[7];
  grid->units[0] = '\0';
  if (*p == ':') {
    ++p;
    std::size_t len = 0;
    while (p[len] != '\0' && !std::isspace(static_cast<unsigned char>(p[len]))) ++len;
    copy_bounded(grid->units, sizeof grid->units, std::string_view(p, len));
  }
  return true;
}

// The domain line: a projection tag ("LL", "ME", "PS[:plon]", "LC[:plon]" or
// "LC:plat:plon:p3:p4:p5"), centre, spacings and size.
bool read_grid_domain(const std::string& line, DomainRec* d) {
  DOM_init(d);
  const char* p = line.c_str();
  bool ok = true;
  if (line.compare(0, 2, "LL") == 0) {
    d->proj = PROJ_LL;
    p += 2;
  } else if (line.compare(0, 2, "ME") == 0) {
    d->proj = PROJ_MERC;
    p += 2;
  } else if (line.compare(0, 2, "PS") == 0) {
    d->proj = PROJ_PS;
    p += 2;
    if (*p == ':') ok = scan_float(++p, &d->plon);
  } else if (line.compare(0, 2, "LC") == 0) {
    d->proj = PROJ_LAMB;
    p += 2;
    if (*p == ':') {
      float f[5];
      int count = 0;
      while (ok && *p == ':' && count < 5) ok = scan_float(++p, &f[count++]);
      if (ok && count == 1) {
        d->plon = f[0];
      } else if (ok && count == 5) {
        d->plat = f[0];
        d->plon = f[1];
        d->p3 = f[2];
        d->p4 = f[3];
        d->p5 = f[4];
      } else {
        ok = false;
      }
    }
  }
  return ok && scan_float(p, &d->clat) && scan_float(p, &d->clon) && scan_float(p, &d->dx) &&
         scan_float(p, &d->dy) && scan_int(p, &d->nx) && scan_int(p, &d->ny);
}

// Reads the four header lines of a grid: label, type and data type, description, domain.
// 1 read, 0 at the end of the file, -1 for a damaged header (reported).
int read_grid_header(Handle& h, GridRec* grid, bool* binary) {
  std::string line;
  if (!read_line(h.fp, line)) return 0;
  strip_cr(line);
  copy_bounded(grid->label, sizeof grid->label, line);
  const char* what = h.name.c_str();
  const bool blank_label = line.find_first_not_of(" \t") == std::string::npos;
  // The next header line; false at the end of the file, reported unless the blank lines
  // after the last grid end it.
  auto next_line = [&](bool may_end) {
    if (!read_line(h.fp, line)) {
      if (!(may_end && blank_label))
        MESS_print(LEVEL_CHECK, "GRD_read: Grid file ends inside a grid header: %s\n", what);
      return false;
    }
    strip_cr(line);
    return true;
  };

  if (!next_line(true)) return blank_label ? 0 : -1;
  const char* p = line.c_str();
  int code = 0;
  if (!scan_int(p, &code) || *p != '-') {
    MESS_print(LEVEL_CHECK, "GRD_read: Invalid grid type line in %s: %.60s\n", what, line.c_str());
    return -1;
  }
  *binary = code == GRD_FILE_BINARY || h.binary4;
  copy_bounded(grid->datatype, sizeof grid->datatype, p + 1);

  if (!next_line(false)) return -1;
  if (!read_grid_description(line, grid)) {
    MESS_print(LEVEL_CHECK, "GRD_read: Invalid grid description line in %s: %.60s\n", what, line.c_str());
    return -1;
  }
  if (!next_line(false)) return -1;
  DomainRec& d = grid->domain;
  if (!read_grid_domain(line, &d)) {
    MESS_print(LEVEL_CHECK, "GRD_read: Invalid grid domain line in %s: %.60s\n", what, line.c_str());
    return -1;
  }
  if (d.nx < 1 || d.ny < 1 || static_cast<std::int64_t>(d.nx) * d.ny > GRD_MAX_FILE_POINTS) {
    MESS_print(LEVEL_CHECK, "GRD_read: Invalid grid size %d x %d in %s\n", d.nx, d.ny, what);
    return -1;
  }
  return 1;
}

// Makes sure grid->values holds nx*ny values; old_points is the size the array had
// (GRD_alloc reuses an existing array).
bool ensure_values(GridRec* grid, std::int64_t old_points) {
  std::int64_t points = static_cast<std::int64_t>(grid->domain.nx) * grid->domain.ny;
  if (grid->values != nullptr && old_points == points) return true;
  if (GRD_alloc(grid) != 0 && grid->values != nullptr) return true;
  GRD_free_values(grid);  // never leave an array that does not match the header
  return false;
}

// The lines of a stream, one at a time, cut to what the caller can use (the rest of a long
// line is skipped); the last may lack its newline. A stream that can say where it stands is
// read in blocks, each line found with one search rather than a character at a time, and is
// left just after the last line taken (finish); another is read a character at a time, locked
// once for all of them.
class LineReader {
 public:
  explicit LineReader(std::FILE* fp) : fp_(fp), base_(std::ftell(fp)) {
    if (base_ >= 0) {
      try {
        buf_.resize(std::size_t{1} << 16);
      } catch (const std::bad_alloc&) {
        base_ = -1;
      }
    }
    if (base_ < 0) flockfile(fp_);
  }
  ~LineReader() {
    if (base_ < 0) funlockfile(fp_);
  }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line into line (at most size - 1 characters, then a NUL), its length in *n;
  // false at the end.
  bool next(char* line, std::size_t size, std::size_t* length) {
    std::size_t& n = *length;
    n = 0;
    if (base_ < 0) {
      int c = getc_unlocked(fp_);
      if (c == EOF) return false;
      for (; c != '\n' && c != EOF; c = getc_unlocked(fp_))
        if (n + 1 < size) line[n++] = static_cast<char>(c);
      line[n] = '\0';
      return true;
    }
    if (at_ == have_ && !more()) return false;
    for (;;) {
      const char* from = buf_.data() + at_;
      const auto* nl = static_cast<const char*>(std::memchr(from, '\n', have_ - at_));
      const std::size_t len = nl != nullptr ? static_cast<std::size_t>(nl - from) : have_ - at_;
      const std::size_t take = std::min(len, size - 1 - n);
      std::memcpy(line + n, from, take);
      n += take;
      at_ += len;
      if (nl != nullptr) {
        ++at_;
        break;
      }
      if (!more()) break;
    }
    line[n] = '\0';
    return true;
  }

  // Puts the stream just after the last line taken; false when it cannot go there.
  bool finish() {
    if (base_ < 0) return true;
    std::clearerr(fp_);
    return std::fseek(fp_, base_ + static_cast<long>(at_), SEEK_SET) == 0;
  }

 private:
  // The unused bytes to the front and more after them; false at the end of the file.
  bool more() {
    if (end_) return false;
    std::memmove(buf_.data(), buf_.data() + at_, have_ - at_);
    base_ += static_cast<long>(at_);
    have_ -= at_;
    at_ = 0;
    const std::size_t got = std::fread(buf_.data() + have_, 1, buf_.size() - have_, fp_);
    have_ += got;
    end_ = got == 0;
    return !end_;
  }

  std::FILE* fp_;
  long base_;  // where in the file buf_[0] stands; -1: read a character at a time
  std::vector<char> buf_;
  std::size_t have_ = 0, at_ = 0;  // bytes held, and the first not yet used
  bool end_ = false;
};

// The value lines of a text grid, one value a line; text after a NUL is no part of the value
// (every reader of the number stops there). 0 read, -1 damaged (said).
int read_text_values(Handle& h, const GridRec& head, float* v, std::int64_t points) {
  LineReader lines(h.fp);
  char line[256];
  std::size_t n = 0;
  for (std::int64_t i = 0; i < points; ++i) {
    if (!lines.next(line, sizeof line, &n)) {
      MESS_print(LEVEL_CHECK, "GRD_read: Grid file too short for %d x %d values: %s\n", head.domain.nx,
                 head.domain.ny, h.name.c_str());
      lines.finish();
      return -1;
    }
    if (!parse_value(line, line + n, &v[i])) {
      MESS_print(LEVEL_CHECK, "GRD_read: Invalid grid value %lld in %s: %.40s\n", static_cast<long long>(i + 1),
                 h.name.c_str(), line);
      lines.finish();
      return -1;
    }
  }
  if (lines.finish()) return 0;
  MESS_print(LEVEL_CHECK, "GRD_read: Cannot find the end of the values in %s\n", h.name.c_str());
  return -1;
}

int read_package(Handle& h, GridRec* grid) {
  if (!read_package_header(h)) return -1;
  std::int64_t old_points = static_cast<std::int64_t>(grid->domain.nx) * grid->domain.ny;
  GridRec head = *grid;
  bool binary = false;
  int got = read_grid_header(h, &head, &binary);
  if (got == 0) {
    MESS_print(LEVEL_CHECK, "GRD_read: No more grids in %s\n", h.name.c_str());
    return -1;
  }
  if (got < 0) return -1;
  std::int64_t points = static_cast<std::int64_t>(head.domain.nx) * head.domain.ny;
  // A seekable file must hold at least the values it announces before any is allocated.
  long left = bytes_left(h.fp);
  std::int64_t least = binary ? 4 * points : 2 * points;
  if (left >= 0 && left < least) {
    MESS_print(LEVEL_CHECK, "GRD_read: Grid file too short for %d x %d values: %s\n", head.domain.nx,
               head.domain.ny, h.name.c_str());
    return -1;
  }
  *grid = head;
  if (!ensure_values(grid, old_points)) return -1;
  float* v = grid->values;
  if (binary) {
    std::vector<unsigned char> bytes;
    const std::int64_t chunk = 1 << 16;
    for (std::int64_t i = 0; i < points; i += chunk) {
      std::int64_t n = std::min(chunk, points - i);
      bytes.resize(static_cast<std::size_t>(4 * n));
      if (std::fread(bytes.data(), 4, static_cast<std::size_t>(n), h.fp) != static_cast<std::size_t>(n)) {
        MESS_print(LEVEL_CHECK, "GRD_read: Grid file too short for %d x %d values: %s\n", head.domain.nx,
                   head.domain.ny, h.name.c_str());
        return -1;
      }
      for (std::int64_t k = 0; k < n; ++k) {
        const unsigned char* b = &bytes[static_cast<std::size_t>(4 * k)];
        std::uint32_t u = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                          (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
        float f;
        std::memcpy(&f, &u, sizeof f);
        v[i + k] = std::isfinite(f) ? f : MISSING;
      }
    }
    int c = std::getc(h.fp);
    if (c != '\n' && c != EOF) std::ungetc(c, h.fp);
  } else {
    return read_text_values(h, head, v, points);
  }
  return 0;
}

// ---- package format, writing ----

bool put_text(std::FILE* fp, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), fp) == text.size();
}

std::string fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return std::string();
  return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
}

// Texts go on one line each: a newline inside would break the layout.
std::string one_line(const char* text) {
  std::string s = text;
  std::replace(s.begin(), s.end(), '\n', ' ');
  std::replace(s.begin(), s.end(), '\r', ' ');
  return s;
}

std::string projection_tag(const DomainRec& d) {
  switch (d.proj) {
    case PROJ_LL: return "LL ";
    case PROJ_MERC: return "ME ";
    case PROJ_PS:
      if (d.plon == MISSING || d.plon == d.clon) return "PS ";
      return fmt("PS:%f ", d.plon);
    case PROJ_LAMB:
      if (d.p3 == MISSING) return d.plon == MISSING ? "LC " : fmt("LC:%f ", d.plon);
      return fmt("LC:%f:%f:%f:%f:%f ", d.plat, d.plon, d.p3, d.p4, d.p5);
    default: return "";
  }
}

int write_package(Handle& h, GridRec* grid) {
  const DomainRec& d = grid->domain;
  bool binary = h.type == GRD_FILE_BINARY;
  for (char* c = grid->units; *c != '\0'; ++c)
    if (*c == ' ') *c = '_';
  grid->units[sizeof grid->units - 1] = '\0';
  grid->label[sizeof grid->label - 1] = '\0';
  grid->datatype[sizeof grid->datatype - 1] = '\0';
  // Appended piece by piece: g++ 12 at -O3 misreads "text" + std::string as an overlapping copy.
  std::string head = one_line(grid->label);
  head += '\n';
  head += binary ? "3-" : "2-";
  head += one_line(grid->datatype);
  head += '\n';
  head += fmt("%d %d %d %d %d %d %d %d", grid->source, grid->version, grid->model, grid->type, grid->ltype,
              grid->level, grid->time, grid->var);
  if (grid->units[0] != '\0') {
    head += ':';
    head += grid->units;
  }
  head += '\n';
  head += projection_tag(d);
  head += fmt("%f %f %f %f %d %d\n", d.clat, d.clon, d.dx, d.dy, d.nx, d.ny);
  if (!put_text(h.fp, head)) return -1;

  const std::size_t points = static_cast<std::size_t>(d.nx) * static_cast<std::size_t>(d.ny);
  const float* v = grid->values;
  std::string out;
  const std::size_t flush_at = 1 << 16;
  if (binary) {
    for (std::size_t i = 0; i < points; ++i) {
      std::uint32_t u;
      std::memcpy(&u, &v[i], sizeof u);
      out.push_back(static_cast<char>(u >> 24));
      out.push_back(static_cast<char>(u >> 16));
      out.push_back(static_cast<char>(u >> 8));
      out.push_back(static_cast<char>(u));
      if (out.size() >= flush_at) {
        if (!put_text(h.fp, out)) return -1;
        out.clear();
      }
    }
    out.push_back('\n');
  } else {
    // value_format passed number_format_conversion: one number, at most 160 characters.
    char buffer[kNumberFormatBuffer];
    for (std::size_t i = 0; i < points; ++i) {
      int n = std::snprintf(buffer, sizeof buffer, st.value_format.c_str(), static_cast<double>(v[i]));
      if (n < 0) return -1;
      out.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
      out.push_back('\n');
      if (out.size() >= flush_at) {
        if (!put_text(h.fp, out)) return -1;
        out.clear();
      }
    }
  }
  if (!put_text(h.fp, out)) return -1;
  return std::ferror(h.fp) ? -1 : 0;
}

// ---- netCDF ----

short to_short(std::int32_t v) { return static_cast<short>(std::clamp<std::int32_t>(v, -32768, 32767)); }

void find_cdf_vars(Handle& h) {
  CdfVars& v = h.vars;
  v.values = CDF_get_var("values");
  v.proj = CDF_get_var("proj");
  v.lat1 = CDF_get_var("lat1");
  v.lat2 = CDF_get_var("lat2");
  v.lon1 = CDF_get_var("lon1");
  v.lon2 = CDF_get_var("lon2");
  v.dx = CDF_get_var("dx");
  v.dy = CDF_get_var("dy");
  v.x_coord = CDF_get_var("x_coord");
  v.y_coord = CDF_get_var("y_coord");
  v.datim = CDF_get_var("datim");
  v.info = CDF_get_var("info");
  v.source = CDF_get_var("source");
  v.version = CDF_get_var("version");
  v.model = CDF_get_var("model");
  v.type = CDF_get_var("type");
  v.ltype = CDF_get_var("ltype");
  v.level = CDF_get_var("level");
  v.time = CDF_get_var("time");
  v.time_code = CDF_get_var("time_code");
  v.var = CDF_get_var("var");
  v.nx = CDF_get_var("nx");
  v.ny = CDF_get_var("ny");
  h.coords = (v.proj < 0 && v.x_coord >= 0) ? 1 : 0;
}

// The hours a time code stands for: a period's end hour, any other code as it is.
int forecast_hours(int time) { return time != MISSING_INT && time >= 1000000 ? time % 1000 : time; }

int cdf_define(Handle& h, const GridInfo* info) {
  const bool coords = info->grid_type == 1;
  int grid = CDF_def_dim("grid", 0);
  int x = CDF_def_dim("x", info->nx);
  int y = CDF_def_dim("y", info->ny);
  int slen = CDF_def_dim("string_len", STRING_LEN);
  if (grid < 0 || x < 0 || y < 0 || slen < 0) return -1;
  const int d3[3] = {grid, x, y};
  const int d1[1] = {grid};
  const int ds[2] = {grid, slen};
  bool ok = true;
  auto def = [&](int id, const char* name, const char* long_name, const char* units) {
    if (id < 0 || CDF_put_base_att(id, name, long_name, units) != 0) ok = false;
    return id;
  };
  CdfVars& v = h.vars;
  v = CdfVars{};
  v.values = def(CDF_def_float_var("values", 3, d3), "VALUES", "Grid values", nullptr);
  if (ok && CDF_put_fill_att(v.values, MISSING) != 0) ok = false;
  if (!coords) {
    v.proj = def(CDF_def_short_var("proj", 1, d1), "PROJ", "Projection", nullptr);
    v.lat1 = def(CDF_def_float_var("lat1", 1, d1), "CLAT", "Grid central latitude", "DEG");
    v.lat2 = def(CDF_def_float_var("lat2", 1, d1), "LAT2", "Grid secondary latitude", "DEG");
    v.lon1 = def(CDF_def_float_var("lon1", 1, d1), "CLON", "Grid central longitude", "DEG");
    v.lon2 = def(CDF_def_float_var("lon2", 1, d1), "LON2", "Grid secondary longitude", "DEG");
    v.dx = def(CDF_def_float_var("dx", 1, d1), "DX", "Grid spacing in X direction", "100 KM");
    v.dy = def(CDF_def_float_var("dy", 1, d1), "DY", "Grid spacing in Y direction", "100 KM");
  } else {
    v.x_coord = def(CDF_def_float_var("x_coord", 3, d3), "X_COORD", "X coordinate gridpoint locations", "DEG");
    if (ok && CDF_put_fill_att(v.x_coord, MISSING) != 0) ok = false;
    v.y_coord = def(CDF_def_float_var("y_coord", 3, d3), "Y_COORD", "Y coordinate gridpoint locations", "DEG");
    if (ok && CDF_put_fill_att(v.y_coord, MISSING) != 0) ok = false;
  }
  v.datim = def(CDF_def_char_var("datim", 2, ds), "DATETIME", "Grid date/time information", nullptr);
  v.info = def(CDF_def_char_var("info", 2, ds), "INFO", "Grid variable information", nullptr);
  v.source = def(CDF_def_short_var("source", 1, d1), "SOURCE", "Grid creation source", nullptr);
  v.version = def(CDF_def_short_var("version", 1, d1), "VERSION", "Grid encoding version", nullptr);
  v.model = def(CDF_def_short_var("model", 1, d1), "MODEL", "Model name", nullptr);
  v.type = def(CDF_def_short_var("type", 1, d1), "TYPE", "Model grid type", nullptr);
  v.ltype = def(CDF_def_short_var("ltype", 1, d1), "LTYPE", "Vertical level type", nullptr);
  v.level = def(CDF_def_short_var("level", 1, d1), "LEVEL", "Vertical level value", nullptr);
  v.time = def(CDF_def_short_var("time", 1, d1), "TIME", "Forecast time", "HOUR");
  v.var = def(CDF_def_short_var("var", 1, d1), "VAR", "Grid variable type", nullptr);
  v.nx = def(CDF_def_short_var("nx", 1, d1), "NX", "Gridpoints in X direction", nullptr);
  v.ny = def(CDF_def_short_var("ny", 1, d1), "NY", "Gridpoints in Y direction", nullptr);
  // Periods (the 24-hour maximum) have codes beyond a short: kind x 1000000 + length x 1000 +
  // end hour. "time" holds their end hour, "time_code" the whole code.
  v.time_code = def(CDF_def_long_var("time_code", 1, d1), "TIME_CODE", "Forecast time code", nullptr);
  if (!ok) return -1;
  const DateRec& t = info->date;
  if (CDF_put_glob_att("source", "ZAV") != 0 || CDF_put_glob_att("version", "1.0") != 0 ||
      CDF_put_glob_att_short("grid_type", to_short(info->grid_type)) != 0 ||
      CDF_put_glob_att_short("year", to_short(t.year)) != 0 ||
      CDF_put_glob_att_short("month", to_short(t.month)) != 0 ||
      CDF_put_glob_att_short("day", to_short(t.day)) != 0 ||
      CDF_put_glob_att_short("hour", to_short(t.hour)) != 0)
    return -1;
  h.coords = coords ? 1 : 0;
  return CDF_end_def();
}

int cdf_write(Handle& h, GridRec* grid, int record) {
  CDF_set_fd(h.cdf);
  const DomainRec& d = grid->domain;
  if (CDF_get_dim_size(CDF_get_dim("x")) != d.nx || CDF_get_dim_size(CDF_get_dim("y")) != d.ny) {
    MESS_print(LEVEL_CHECK, "GRD_write: Grid size %d x %d does not fit the file: %s\n", d.nx, d.ny, h.name.c_str());
    return -1;
  }
  const CdfVars& v = h.vars;
  const long start[3] = {record, 0, 0};
  const long count[3] = {1, d.nx, d.ny};
  CDF_set_range(3, start, count);
  if (CDF_put_float_array(v.values, grid->values) != 0) return -1;
  const long pos2[2] = {record, 0};
  CDF_set_pos(2, pos2);
  grid->label[sizeof grid->label - 1] = '\0';
  grid->datatype[sizeof grid->datatype - 1] = '\0';
  if (CDF_put_str(v.datim, STRING_LEN, grid->label) != 0 || CDF_put_str(v.info, STRING_LEN, grid->datatype) != 0)
    return -1;
  const long pos1[1] = {record};
  CDF_set_pos(1, pos1);
  bool ok = true;
  if (h.coords == 0) {
    ok = CDF_put_short(v.proj, to_short(d.proj)) == 0 && CDF_put_float(v.lat1, d.clat) == 0 &&
         CDF_put_float(v.lat2, d.plat) == 0 && CDF_put_float(v.lon1, d.clon) == 0 &&
         CDF_put_float(v.lon2, d.plon) == 0 && CDF_put_float(v.dx, d.dx) == 0 && CDF_put_float(v.dy, d.dy) == 0;
  }
  ok = ok && CDF_put_short(v.source, to_short(grid->source)) == 0 &&
       CDF_put_short(v.version, to_short(grid->version)) == 0 && CDF_put_short(v.model, to_short(grid->model)) == 0 &&
       CDF_put_short(v.type, to_short(grid->type)) == 0 && CDF_put_short(v.ltype, to_short(grid->ltype)) == 0 &&
       CDF_put_short(v.level, to_short(grid->level)) == 0 && CDF_put_short(v.time, to_short(forecast_hours(grid->time))) == 0 &&
       CDF_put_long(v.time_code, grid->time) == 0 &&
       CDF_put_short(v.var, to_short(grid->var)) == 0 && CDF_put_short(v.nx, to_short(d.nx)) == 0 &&
       CDF_put_short(v.ny, to_short(d.ny)) == 0;
  return ok ? 0 : -1;
}

int cdf_read(Handle& h, GridRec* grid) {
  CDF_set_fd(h.cdf);
  const CdfVars& v = h.vars;
  long records = CDF_get_dim_size(-1);
  long nx = CDF_get_dim_size(CDF_get_dim("x"));
  long ny = CDF_get_dim_size(CDF_get_dim("y"));
  if (v.values < 0 || nx < 1 || ny < 1 || nx * ny > GRD_MAX_FILE_POINTS) {
    MESS_print(LEVEL_CHECK, "GRD_read: Not a grid file: %s\n", h.name.c_str());
    return -1;
  }
  if (h.record >= records) {
    MESS_print(LEVEL_CHECK, "GRD_read: No more grids in %s\n", h.name.c_str());
    return -1;
  }
  std::int64_t old_points = static_cast<std::int64_t>(grid->domain.nx) * grid->domain.ny;
  const long r = h.record;
  const long pos2[2] = {r, 0};
  CDF_set_pos(2, pos2);
  char text[STRING_LEN + 1];
  CDF_get_str(v.datim, STRING_LEN, text);
  copy_bounded(grid->label, sizeof grid->label, text);
  CDF_get_str(v.info, STRING_LEN, text);
  copy_bounded(grid->datatype, sizeof grid->datatype, text);
  const long pos1[1] = {r};
  CDF_set_pos(1, pos1);
  auto get_int = [](int id) { return static_cast<std::int32_t>(CDF_get_long(id)); };
  grid->source = get_int(v.source);
  grid->version = get_int(v.version);
  grid->model = get_int(v.model);
  grid->type = get_int(v.type);
  grid->ltype = get_int(v.ltype);
  grid->level = get_int(v.level);
  grid->time = get_int(v.time_code >= 0 ? v.time_code : v.time);
  grid->var = get_int(v.var);
  grid->units[0] = '\0';
  DomainRec& d = grid->domain;
  DOM_init(&d);
  if (h.coords == 0) {
    d.proj = get_int(v.proj);
    d.clat = CDF_get_float(v.lat1);
    d.plat = CDF_get_float(v.lat2);
    d.clon = CDF_get_float(v.lon1);
    d.plon = CDF_get_float(v.lon2);
    d.dx = CDF_get_float(v.dx);
    d.dy = CDF_get_float(v.dy);
  }
  d.nx = static_cast<std::int32_t>(nx);
  d.ny = static_cast<std::int32_t>(ny);
  DATE_decode_label(grid->label, &grid->date);
  if (!ensure_values(grid, old_points)) return -1;
  const long start[3] = {r, 0, 0};
  const long count[3] = {1, nx, ny};
  CDF_set_range(3, start, count);
  if (CDF_get_float_array(v.values, grid->values) != 0) {
    MESS_print(LEVEL_CHECK, "GRD_read: Unable to read grid values from %s\n", h.name.c_str());
    return -1;
  }
  for (std::int64_t i = 0; i < nx * ny; ++i)
    if (!std::isfinite(grid->values[i])) grid->values[i] = MISSING;
  ++h.record;
  return 0;
}

int open_cdf(Handle& h, const std::string& path, int mode) {
  std::string name = path;
  if (mode == 1) {
    // The library writes by name, and removes a file whose creation fails: it gets a new
    // file beside the destination, renamed onto it when complete, so that nothing that was
    // there is lost (a file of an earlier run; a device node is refused).
    if (!FILE_open_temp(path.c_str(), &h.out, FILE_OUT_BY_NAME)) return -1;
    name = h.out.temp;
  }
  CDF_print_errors(0);
  int fd = CDF_open(name.c_str(), mode);
  CDF_print_errors(1);
  if (fd < 0) {
    if (mode == 1) FILE_abandon(&h.out);
    return -1;
  }
  h.cdf = fd;
  h.record = 0;
  if (mode != 1) {
    find_cdf_vars(h);
    h.cf = GRD_cf_find(&h.cf_vars) == 0;
    if (mode == 2) {
      if (h.vars.values < 0 || h.cf) {  // not a grid file of this layout: adding to it would damage it
        CDF_close(fd);
        h.cdf = -1;
        return -1;
      }
      long records = CDF_get_dim_size(-1);
      h.record = records > 0 ? static_cast<int>(records) : 0;
    }
  }
  return 0;
}

void release(Handle& h) { h = Handle{}; }

// Why an existing grid file that GRD_open refused cannot be used (type: what GRD_open
// made of it). The user must learn what is wrong with the file, since it is kept.
void report_unusable(const char* shown, int type) {
  const std::string path = FILE_add_user_path(std::string(shown));
  std::FILE* fp = std::fopen(path.c_str(), "rb");
  if (fp == nullptr) {
    const int err = errno;
    if (err == ENOENT)
      MESS_print(LEVEL_CHECK, "GRD_read_check: Grid file does not exist: %s\n", shown);
    else
      MESS_print(LEVEL_CHECK, "GRD_read_check: Unable to read grid file: %s: %s\n", shown, std::strerror(err));
    return;
  }
  std::fclose(fp);
  if (type == GRD_FILE_CDF)
    MESS_print(LEVEL_CHECK, "GRD_read_check: Unable to read grid file: %s: %s\n", shown, CDF_open_error());
  else
    MESS_print(LEVEL_CHECK, "GRD_read_check: Not a grid file of a known type: %s\n", shown);
}

}  // namespace

int GRD_chktype(const char* name) {
  if (name == nullptr || *name == '\0') return -1;
  std::string path = FILE_add_user_path(std::string(name));
  std::FILE* fp = std::fopen(path.c_str(), "rb");
  if (fp == nullptr) return -1;
  unsigned char b[CHKTYPE_BYTES];
  std::size_t n = std::fread(b, 1, sizeof b, fp);
  std::fclose(fp);
  if (n == 0) return -1;
  auto starts = [&](const char* magic) {
    std::size_t len = std::strlen(magic);
    return n >= len && std::memcmp(b, magic, len) == 0;
  };
  if (b[0] == ' ' || std::isdigit(b[0])) return GRD_FILE_PLAIN;
  if (starts("ZAVGRID4")) return GRD_FILE_V4;
  if (starts("ZAVGRID")) return GRD_FILE_TEXT;
  if (starts("CDF")) return GRD_FILE_CDF;
  if (starts("GRIB") || b[0] == '*' || b[0] == 1) return GRD_FILE_GRIB;
  if (starts("GRID")) return GRD_FILE_GRID;
  static const char grib[] = "GRIB";
  if (std::search(b, b + n, grib, grib + 4) != b + n) return GRD_FILE_GRIB;
  return -1;
}

int GRD_open(const char* name, int mode, int* type) {
  if (type == nullptr || mode < 0 || mode > 2) return -1;
  const char* given = name != nullptr ? name : "";
  const bool std_stream = *given == '\0' || FILE_is_stdio(given);
  int slot = -1;
  for (int i = 0; i < GRD_MAX_FILES; ++i)
    if (!st.handles[i].used) {
      slot = i;
      break;
    }
  if (slot < 0) {
    MESS_print(LEVEL_CHECK, "GRD_open: Too many grid files open\n");
    return -1;
  }
  Handle& h = st.handles[slot];
  try {
    h = Handle{};
    h.name = std_stream ? std::string(mode == 0 ? "stdin" : "stdout") : given;
    if (std_stream) {
      if (*type != GRD_FILE_TEXT && *type != GRD_FILE_BINARY && *type != GRD_FILE_GRIB) *type = GRD_FILE_TEXT;
      if (mode == 2) return -1;
      h.fp = mode == 0 ? stdin : stdout;
      h.is_std = true;
    } else {
      std::string path = FILE_add_user_path(std::string(given));
      if (*type == 0) {
        if (mode != 0) return -1;
        *type = GRD_chktype(given);
        if (*type < 0) return -1;
      }
      if (is_package(*type) || is_grib(*type)) {
        if (mode == 2) return -1;
        if (mode == 1) {
          if (!FILE_open_temp(path.c_str(), &h.out)) return -1;
          h.fp = h.out.fp;
        } else {
          h.fp = std::fopen(path.c_str(), "rb");
        }
        if (h.fp == nullptr) return -1;
      } else if (*type == GRD_FILE_CDF || *type == GRD_FILE_CF) {
        if (*type == GRD_FILE_CF && mode == 2) return -1;  // a CF file holds the grid it was made for
        if (open_cdf(h, path, mode) != 0) return -1;
        if (mode == 0) *type = GRD_FILE_CDF;
      } else {
        return -1;
      }
    }
  } catch (const std::bad_alloc&) {
    release(h);
    return -1;
  }
  h.used = true;
  h.type = *type;
  h.mode = mode;
  DATE_init(&h.date);
  return slot;
}

int GRD_putinfo(int handle, const GridInfo* info) {
  Handle* h = get_handle(handle);
  if (h == nullptr || info == nullptr || h->mode == 0) return -1;
  copy_bounded(h->label, sizeof h->label, field_text(info->label));
  h->date = info->date;
  if (h->type == GRD_FILE_TEXT || h->type == GRD_FILE_BINARY) {
    if (std::fputs("ZAVGRID\n", h->fp) == EOF) return -1;
    h->header_done = true;
    return 0;
  }
  if (h->type == GRD_FILE_CF) {
    if (info->nx < 1 || info->ny < 1) return -1;
    h->cf_info = *info;
    return 0;
  }
  if (h->type == GRD_FILE_CDF) {
    CDF_set_fd(h->cdf);
    if (h->mode == 2) return h->vars.values >= 0 ? 0 : -1;  // the dataset is already defined
    if (info->nx < 1 || info->ny < 1) return -1;
    if (cdf_define(*h, info) == 0) return 0;
    h->failed = true;
    return -1;
  }
  return h->type == GRD_FILE_PLAIN ? 0 : -1;
}

int GRD_write(int handle, GridRec* grid, int /*flags*/, int* position) {
  Handle* h = get_handle(handle);
  if (h == nullptr || h->mode == 0) return -1;
  if (grid == nullptr || grid->values == nullptr || grid->domain.nx < 1 || grid->domain.ny < 1) {
    h->failed = true;  // a new netCDF file without its grid is not kept
    return -1;
  }
  if (h->type == GRD_FILE_PLAIN || h->type == GRD_FILE_TEXT || h->type == GRD_FILE_BINARY) {
    int result = -1;
    try {
      result = write_package(*h, grid);
    } catch (const std::bad_alloc&) {
    }
    if (result != 0) h->failed = true;  // a cut grid file is not put in place
    return result;
  }
  if (h->type == GRD_FILE_CF) {
    CDF_set_fd(h->cdf);
    const int record = position != nullptr && *position >= 0 ? *position : 0;
    bool ok = true;
    try {
      if (!h->cf_defined) {
        ok = GRD_cf_define(&h->cf_info, grid, &h->cf_vars) == 0;
        h->cf_defined = true;
      }
      ok = ok && GRD_cf_write(h->cf_vars, grid, record) == 0;
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    if (!ok) {
      h->failed = true;
      return -1;
    }
    if (position != nullptr) *position = record;
    h->record = record + 1;
    return 0;
  }
  if (h->type == GRD_FILE_CDF) {
    int record = h->mode == 2 ? h->record : (position != nullptr && *position >= 0 ? *position : 0);
    if (cdf_write(*h, grid, record) != 0) {
      h->failed = true;
      return -1;
    }
    if (position != nullptr) *position = record;
    h->record = record + 1;
    return 0;
  }
  return -1;
}

int GRD_getinfo(int handle, GridInfo* info) {
  Handle* h = get_handle(handle);
  if (h == nullptr || info == nullptr || h->mode != 0) return -1;
  info->label[0] = '\0';
  info->nx = info->ny = MISSING_INT;
  info->grid_type = 0;
  DATE_init(&info->date);
  if (h->type == GRD_FILE_CDF && h->cf) {
    CDF_set_fd(h->cdf);
    if (GRD_cf_info(h->cf_vars, info->label, &info->nx, &info->ny) != 0) return -1;
    DATE_decode_label(info->label, &info->date);
    h->record = 0;
  } else if (h->type == GRD_FILE_CDF) {
    CDF_set_fd(h->cdf);
    info->nx = static_cast<std::int32_t>(CDF_get_dim_size(CDF_get_dim("x")));
    info->ny = static_cast<std::int32_t>(CDF_get_dim_size(CDF_get_dim("y")));
    int gt = 0;
    info->grid_type = CDF_get_glob_att_int("grid_type", &gt) == 0 ? gt : h->coords;
    int y = MISSING_INT, m = MISSING_INT, d = MISSING_INT, hr = MISSING_INT;
    CDF_get_glob_att_int("year", &y);
    CDF_get_glob_att_int("month", &m);
    CDF_get_glob_att_int("day", &d);
    CDF_get_glob_att_int("hour", &hr);
    if (y != MISSING_INT && m >= 1 && m <= 12 && d >= 1 && d <= 31 && hr >= 0 && hr <= 23) {
      DateRec t;
      DATE_init(&t);
      t.year = y;
      t.month = m;
      t.day = d;
      t.hour = hr;
      t.minute = 0;
      t.second = 0;
      int sec = DATE_num_sec(&t);
      DATE_get_gmdate(&sec, &info->date);
    }
    if (CDF_get_dim_size(-1) > 0) {
      const long pos2[2] = {0, 0};
      CDF_set_pos(2, pos2);
      char text[STRING_LEN + 1];
      CDF_get_str(h->vars.datim, STRING_LEN, text);
      copy_bounded(info->label, sizeof info->label, text);
    }
    h->record = 0;
  } else if (is_package(h->type)) {
    if (!h->is_std) {
      if (std::fseek(h->fp, 0, SEEK_SET) != 0) return -1;
      h->header_done = false;
    }
    if (!read_package_header(*h)) return -1;
    long here = 0;
    if (h->is_std || !tell_ok(h->fp, &here)) {
      // A pipe cannot go back: the first grid stays unread and the label unknown.
      copy_bounded(h->label, sizeof h->label, "");
      return 0;
    }
    GridRec head{};
    GRD_init(&head);
    bool binary = false;
    int got = read_grid_header(*h, &head, &binary);
    std::fseek(h->fp, here, SEEK_SET);
    if (got <= 0) return -1;
    copy_bounded(info->label, sizeof info->label, field_text(head.label));
    info->nx = head.domain.nx;
    info->ny = head.domain.ny;
    DATE_decode_label(head.label, &info->date);
  } else {
    return -1;  // GRIB headers are reported when the grid is read
  }
  copy_bounded(h->label, sizeof h->label, field_text(info->label));
  h->date = info->date;
  return 0;
}

int GRD_read(int handle, GridRec* grid, int /*flags*/, int* position) {
  Handle* h = get_handle(handle);
  if (h == nullptr || grid == nullptr || h->mode != 0) return -1;
  if (is_grib(h->type)) {
    MESS_print(LEVEL_CHECK, "GRD_read: GRIB files are not supported\n");
    return -1;
  }
  int record = h->record;
  int result = -1;
  try {
    if (h->type == GRD_FILE_CDF && h->cf) {
      CDF_set_fd(h->cdf);
      result = GRD_cf_read(h->cf_vars, h->record, grid);
      if (result == 0) ++h->record;
    } else if (h->type == GRD_FILE_CDF) {
      result = cdf_read(*h, grid);
    } else if (is_package(h->type)) {
      result = read_package(*h, grid);
      if (result == 0) {
        DATE_decode_label(grid->label, &grid->date);
        ++h->record;
      }
    }
  } catch (const std::bad_alloc&) {
    result = -1;
  }
  if (result == 0 && position != nullptr) *position = record;
  return result;
}

int GRD_rewind(int handle) {
  Handle* h = get_handle(handle);
  if (h == nullptr) return -1;
  h->record = 0;
  if (h->type == GRD_FILE_CDF || h->type == GRD_FILE_CF) return 0;
  if (h->is_std || h->fp == nullptr) return -1;
  if (h->header_done && h->data_start >= 0 && h->type != GRD_FILE_PLAIN)
    return std::fseek(h->fp, h->data_start, SEEK_SET) == 0 ? 0 : -1;
  h->header_done = false;
  return std::fseek(h->fp, 0, SEEK_SET) == 0 ? 0 : -1;
}

int GRD_close(int handle) {
  Handle* h = get_handle(handle);
  if (h == nullptr) return -1;
  int result = 0;
  if (h->fp != nullptr) {
    if (h->is_std) {
      if (h->mode != 0 && (std::fflush(h->fp) != 0 || std::ferror(h->fp))) result = -1;
    } else if (h->fp == h->out.fp) {
      if (h->failed) result = -1;
    } else if (std::fclose(h->fp) != 0) {
      result = -1;
    }
  }
  if (h->cdf >= 0 && CDF_close(h->cdf) != 0) result = -1;
  if (h->out.fp != nullptr || !h->out.temp.empty()) {
    // A complete new file takes its place; an incomplete one goes, and the old one stays.
    if (result == 0 && !h->failed) {
      if (!FILE_commit(&h->out)) result = -1;
    } else {
      FILE_abandon(&h->out);
      result = -1;
    }
  }
  release(*h);
  return result;
}

namespace {

// A grid file's name completed with the grid directory, unless the naming convention has
// already put it in front (its %G): "-gp out" must write out/..., not out/out/...
std::string grid_file_name(const std::string& name) {
  const char* path = RES_get("grid_path");
  std::string dir = path != nullptr ? path : "";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (!dir.empty() && dir != "." && name.compare(0, dir.size() + 1, dir + "/") == 0) return name;
  return FILE_add_path(std::string(path != nullptr ? path : ""), name);
}

}  // namespace

int GRD_save_file(const char* name, GridRec* grid, const GridInfo* info, int format) {
  if (format == 0) return 0;
  if (grid == nullptr || info == nullptr) return 0;
  try {
    const std::string file = grid_file_name(name != nullptr ? name : "");
    const char* shown = file.c_str();
    int answer = FILE_overwrite(shown, 1);
    if (format == GRD_FILE_TIF) {
      // A GeoTIFF is an export, never read back, and holds one grid: "use" (and "no")
      // keep the file there, appending replaces it.
      if (answer == FILE_PARAM_USE) {
        MESS_print(LEVEL_INFO, "Keeping grid file: %s\n", shown);
        return 1;
      }
      return GRD_tif_write(shown, grid, info);
    }
    int mode;
    if (answer == 0 || answer == 1) {
      mode = 1;
    } else if (answer == 2) {
      mode = 2;
    } else {
      MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to overwrite grid file: %s\n", shown);
      return 0;
    }
    int type = format;
    int handle = GRD_open(shown, mode, &type);
    if (handle < 0) {
      if (mode == 1)
        MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to create grid file: %s\n", shown);
      else
        MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to open grid file: %s\n", shown);
      return 0;
    }
    MESS_print(LEVEL_INFO, mode == 1 ? "Creating grid file: %s\n" : "Appending to grid file: %s\n", shown);
    int position = 0;
    bool ok = GRD_putinfo(handle, info) == 0;
    ok = GRD_write(handle, grid, 0, &position) == 0 && ok;
    ok = GRD_close(handle) == 0 && ok;
    if (!ok) {
      if (mode == 1) {
        // The new file was written beside the old one and is gone again: nothing cut is left.
        MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to create grid file: %s\n", shown);
      } else {
        MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to append to grid file: %s\n", shown);
      }
      return 0;
    }
    return 1;
  } catch (const std::bad_alloc&) {
    MESS_print(LEVEL_SAVE, "GRD_save_file: Unable to create grid file: %s\n", name != nullptr ? name : "");
    return 0;
  }
}

int GRD_read_check(const char* name, GridRec* grid, GridInfo* info, int* type, const DomainRec* domain) {
  if (name == nullptr || *name == '\0' || grid == nullptr || info == nullptr || type == nullptr) return 0;
  try {
    const std::string file = grid_file_name(name);
    const char* shown = file.c_str();
    if (FILE_is_stdio(shown) || !FILE_exist(shown) || FLAG_get(FLAG_FILE_PARAM) == FILE_PARAM_OVER) return 0;
    if (FLAG_get(FLAG_FILE_PARAM) == 0 && !FLAG_batch()) {
      std::string prompt = std::string(shown).substr(0, 200) + ": exists overwrite (Y/N): ";
      char answer[8] = {};
      ZAV_prompts(prompt.c_str(), answer, 7);
      if (answer[0] == 'Y' || answer[0] == 'y') return 0;
    }
    *type = 0;
    int handle = GRD_open(shown, 0, type);
    if (handle < 0) {
      report_unusable(shown, *type);
      return 0;
    }
    // Read into a record of its own: the slot changes only when the grid can be used.
    GridRec got_grid = *grid;
    got_grid.values = nullptr;
    got_grid.source = 0;
    int position = 0;
    // A header that cannot be read has been reported; reading the grid would say it again.
    // (GRIB headers are read with the grid.)
    int got = GRD_getinfo(handle, info) == 0 || is_grib(*type) ? GRD_read(handle, &got_grid, 0, &position) : -1;
    GRD_close(handle);
    if (got == 0 && domain != nullptr && DOM_comp(&got_grid.domain, domain)) {
      GRD_free_values(grid);
      *grid = got_grid;
      return 1;
    }
    if (got == 0)
      MESS_print(LEVEL_CHECK, "GRD_read_check: %s file does not correspond to selected region\n", shown);
    else
      MESS_print(LEVEL_CHECK, "GRD_read_check: No grid can be read from grid file: %s\n", shown);
    GRD_free_values(&got_grid);
    grid->source = 0;
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

void GRD_set_format(const char* format) {
  if (format == nullptr || *format == '\0') {
    st.value_format = "%14.8e";
    return;
  }
  if (number_format_conversion(format, kFloatConversions) == 0) {
    MESS_print(LEVEL_CHECK, "GRD_set_format: Invalid grid value format: %.64s\n", format);
    return;
  }
  st.value_format = format;
}

void GRD_reset_file_state() {
  for (int h = 0; h < GRD_MAX_FILES; ++h) GRD_close(h);
  st = GrdFileState{};
}
