#include "surface/cty_read.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "config/datafile.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/fileio.h"

namespace {

// Longer lines are cut here; a station line is well under 100 characters.
constexpr std::size_t max_line = 4096;

constexpr float elev_missing_above = 9000.0f;

struct OpenDatabase {
  std::FILE* file = nullptr;
  int handle = -1;
  std::string path;
};

struct WmoRange {
  int lo;
  int hi;
  const char* prefix;
};

// Country prefixes of WMO block and station number ranges. Order matters: the
// first range that holds a number wins (63600-63979 HK shadows part of FS).
constexpr WmoRange wmo_ranges[] = {
    {1000, 1499, "EN"},   {2000, 2699, "ES"},   {2800, 2999, "EF"},   {3000, 3949, "EG"},
    {3950, 3999, "EI"},   {4000, 4099, "BI"},   {4100, 4399, "BG"},   {6000, 6199, "EK"},
    {6200, 6399, "EH"},   {6400, 6499, "EB"},   {6500, 6599, "EL"},   {6600, 6799, "LS"},
    {7000, 7999, "LF"},   {8000, 8499, "LE"},   {8500, 8579, "LP"},   {10000, 10999, "ED"},
    {11000, 11399, "LO"}, {11400, 11999, "LK"}, {12100, 12699, "EP"}, {12700, 12999, "LH"},
    {13000, 13599, "LY"}, {13600, 13699, "LA"}, {14000, 14299, "LJ"}, {15000, 15499, "LR"},
    {15500, 15999, "LB"}, {16000, 16599, "LI"}, {16600, 16999, "LG"}, {17000, 17599, "LT"},
    {17600, 17699, "LC"}, {20000, 29999, "U"},  {30000, 39999, "X"},  {40000, 40099, "OS"},
    {40100, 40149, "OL"}, {40150, 40199, "LL"}, {40250, 40349, "OJ"}, {40350, 40499, "OE"},
    {40500, 40599, "OK"}, {40600, 40699, "OR"}, {40700, 40899, "OI"}, {40900, 40999, "OA"},
    {41000, 41149, "OE"}, {41150, 41159, "OB"}, {41160, 41179, "OE"}, {41180, 41239, "OT"},
    {41240, 41319, "OM"}, {41320, 41409, "OY"}, {41410, 41499, "OD"}, {41500, 41799, "OP"},
    {41800, 41999, "VG"}, {42000, 42999, "VI"}, {43000, 43999, "VO"}, {44000, 44399, "ZM"},
    {44400, 44499, "VN"}, {45000, 45099, "VH"}, {46000, 46999, "RC"}, {47000, 47079, "ZK"},
    {47080, 47199, "RK"}, {47400, 47999, "RJ"}, {48000, 48199, "VB"}, {48300, 48599, "VT"},
    {48600, 48689, "WM"}, {48690, 48699, "WS"}, {48800, 48929, "VV"}, {48930, 48959, "VL"},
    {48960, 48999, "VD"}, {50000, 59999, "Z"},  {60000, 60049, "GC"}, {60050, 60319, "GM"},
    {60320, 60339, "GE"}, {60350, 60699, "DA"}, {60700, 60799, "DT"}, {61000, 61099, "DR"},
    {61100, 61299, "GA"}, {61400, 61499, "GQ"}, {61600, 61699, "GO"}, {61700, 61749, "GB"},
    {61750, 61799, "GG"}, {61800, 61849, "GU"}, {61850, 61899, "GF"}, {62000, 62299, "HL"},
    {62300, 62499, "HE"}, {62600, 62999, "HS"}, {63000, 63099, "HA"}, {63100, 63149, "HF"},
    {63150, 63299, "HC"}, {63300, 63499, "HA"}, {63600, 63979, "HK"}, {63680, 63999, "FS"},
    {64000, 64360, "FZ"}, {64380, 64389, "HR"}, {64390, 64399, "HB"}, {64400, 64499, "FC"},
    {64500, 64599, "FO"}, {64600, 64699, "FE"}, {64700, 64799, "FT"}, {64800, 64849, "FG"},
    {64850, 64999, "FK"}, {65000, 65299, "DN"}, {65300, 65349, "DB"}, {65350, 65399, "DX"},
    {65400, 65499, "DG"}, {65500, 65524, "DF"}, {65525, 65599, "DI"}, {65600, 65699, "GL"},
    {66000, 66999, "FN"}, {67000, 67199, "FM"}, {67200, 67399, "FQ"}, {67400, 67753, "FL"},
    {67755, 67789, "FV"}, {67790, 67799, "FW"}, {67800, 67999, "FV"}, {68000, 68999, "FA"},
    {69000, 69999, "KQ"}, {70000, 70999, "PA"}, {71000, 71999, "CY"}, {72000, 72999, "K2"},
    {74000, 74999, "K4"}, {76000, 76999, "MM"}, {78000, 78199, "MY"}, {78200, 78379, "MU"},
    {78380, 78384, "MW"}, {78385, 78399, "MK"}, {78400, 78449, "MT"}, {78450, 78499, "MD"},
    {78500, 78519, "MH"}, {78520, 78534, "TJ"}, {78535, 78550, "TI"}, {78580, 78599, "MZ"},
    {78600, 78649, "MG"}, {78650, 78699, "MS"}, {78700, 78729, "MH"}, {78730, 78759, "MN"},
    {78760, 78789, "MR"}, {78790, 78819, "MP"}, {78840, 78864, "TK"}, {78865, 78889, "TN"},
    {78890, 78899, "TF"}, {78900, 78919, "TD"}, {78920, 78939, "TF"}, {78940, 78959, "TL"},
    {78960, 78979, "TT"}, {78980, 78999, "TN"}, {80000, 80399, "SK"}, {80400, 80999, "SV"},
    {81000, 81199, "SY"}, {81200, 81399, "SM"}, {81400, 81599, "SO"}, {82000, 82999, "SB"},
    {83000, 83999, "SZ"}, {84000, 84299, "SE"}, {84300, 84999, "SP"}, {85000, 85399, "SL"},
    {85400, 85999, "SC"}, {86000, 86299, "SG"}, {86300, 86599, "SU"}, {87000, 87999, "SA"},
    {88000, 88999, "SF"}, {91000, 91199, "PH"}, {91250, 91259, "PK"}, {91260, 91299, "PH"},
    {91300, 91359, "PT"}, {91360, 91379, "PK"}, {91380, 91399, "PL"}, {91400, 91449, "PT"},
    {91450, 91499, "PL"}, {91500, 91549, "AG"}, {91550, 91569, "NV"}, {91570, 91599, "NW"},
    {91600, 91649, "NG"}, {91650, 91699, "NF"}, {91700, 91749, "N1"}, {91750, 91759, "NL"},
    {91760, 91769, "NS"}, {91770, 91799, "NF"}, {91800, 91849, "NC"}, {91900, 91959, "NT"},
    {92000, 92999, "AY"}, {93000, 93999, "NZ"}, {94100, 95999, "Y"},  {96000, 96999, "WI"},
    {97000, 97999, "WA"}, {98000, 98999, "RP"},
};
static_assert(sizeof(wmo_ranges) / sizeof(wmo_ranges[0]) == 182);

bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\0';
}

// Overflow gives +-inf, as the C library's float conversion does; the loader
// rejects unusable positions.

// "3", "*3", "3*" or "*3*": the digits give the priority, the stars are flags.
bool parse_priority(std::string_view token, CityRec* rec) {
  std::size_t b = 0, e = token.size();
  const bool lead = b < e && token[b] == '*';
  if (lead) ++b;
  const bool trail = e > b && token[e - 1] == '*';
  if (trail) --e;
  if (b >= e || e - b > 9) return false;
  std::int32_t v = 0;
  for (std::size_t i = b; i < e; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(token[i]))) return false;
    v = v * 10 + (token[i] - '0');
  }
  rec->prior = v;
  rec->star1 = lead ? 1 : 0;
  rec->star2 = trail ? 1 : 0;
  return true;
}

void clear_rec(CityRec* rec) {
  std::memset(rec, 0, sizeof *rec);
  rec->prior = MISSING_INT;
  rec->lat = MISSING;
  rec->lon = MISSING;
  rec->elev = MISSING;
  rec->wmo = CTY_NO_WMO;
}

// The buffer getline grows for the lines of the database.
struct LineBuffer {
  char* data = nullptr;
  std::size_t capacity = 0;
  LineBuffer() = default;
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  LineBuffer(LineBuffer&& o) noexcept : data(std::exchange(o.data, nullptr)), capacity(std::exchange(o.capacity, 0)) {}
  LineBuffer& operator=(LineBuffer&& o) noexcept {
    std::swap(data, o.data);
    std::swap(capacity, o.capacity);
    return *this;
  }
  ~LineBuffer() { std::free(data); }
};

// The database opened by handle, and the buffer its lines are read into.
struct CtyReadState {
  OpenDatabase open_db;
  LineBuffer line_buffer;
};
CtyReadState st;

// Reads one line (without its newline) into line, keeping at most max_line bytes.
// False at the end of the file. getline takes the stream's lock once a line and finds the
// newline a block at a time: a database has half a million characters.
bool read_line(std::FILE* f, std::string& line) {
  line.clear();
  const ssize_t n = getline(&st.line_buffer.data, &st.line_buffer.capacity, f);
  if (n <= 0) return false;
  std::size_t length = static_cast<std::size_t>(n);
  if (st.line_buffer.data[length - 1] == '\n') --length;
  line.assign(st.line_buffer.data, std::min(length, max_line));
  // A hostile line of megabytes is not kept in memory for the lines after it.
  if (st.line_buffer.capacity > (std::size_t{1} << 20)) {
    std::free(st.line_buffer.data);
    st.line_buffer.data = nullptr;
    st.line_buffer.capacity = 0;
  }
  return true;
}

bool skippable(const std::string& line) {
  std::size_t i = 0;
  while (i < line.size() && is_separator(line[i])) ++i;
  return i == line.size() || line[i] == '#';
}

// Next data line of f parsed into rec; fields read, or -1 at the end.
int read_rec(std::FILE* f, CityRec* rec) {
  std::string line;
  try {
    line.reserve(128);
    while (read_line(f, line)) {
      if (skippable(line)) continue;
      return CTY_parse_line(line.data(), static_cast<int>(line.size()), rec);
    }
  } catch (const std::bad_alloc&) {
  }
  clear_rec(rec);
  return -1;
}

// Opens the database along the resource paths; null when it cannot be found.
std::FILE* open_database(const char* name, std::string& used) {
  std::string file = (name && *name) ? name : CTY_DEFAULT_FILE;
  if (!name || !*name || file == CTY_DEFAULT_FILE) {
    const char* res = RES_get("city_file");
    if (res && *res) file = res;
  }
  used = file;
  if (stricmp(file.c_str(), "none") == 0) return nullptr;

  if (FILE_is_stdio(file.c_str())) return FILE_open(file.c_str(), "r");
  return FILE_open_data(file, &used);
}

// open_database with the warning for a file that is missing ("none" is silent).
std::FILE* open_database_or_warn(const char* name, std::string* found = nullptr) {
  std::string used;
  std::FILE* f = nullptr;
  try {
    f = open_database(name, used);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (!f && stricmp(used.c_str(), "none") != 0)
    MESS_print(MESS_WARN, "CTY_open_file: Database file not found: %s\n", used.c_str());
  if (f && found) *found = std::move(used);
  return f;
}

struct ScopedFile {
  std::FILE* f;
  ~ScopedFile() {
    if (f) FILE_close(f);
  }
};

}  // namespace

bool CTY_has_call(const CityRec* rec) { return rec && rec->id[0] != '\0' && rec->id[1] != '-'; }

bool CTY_is_buoy(const CityRec* rec) { return rec && std::strcmp(rec->country, "B_") == 0; }

bool CTY_position_usable(const CityRec* rec) {
  return rec && std::isfinite(rec->lat) && std::isfinite(rec->lon) && rec->lat >= -90.0f && rec->lat <= 90.0f &&
         rec->lon >= -360.0f && rec->lon <= 360.0f;
}

bool CTY_parse_number(std::string_view token, double* value) {
  if (token.empty() || token.size() > 63 || !value) return false;
  char buffer[64];
  std::memcpy(buffer, token.data(), token.size());
  buffer[token.size()] = '\0';
  char* end = nullptr;
  const double v = std::strtod(buffer, &end);
  if (end != buffer + token.size()) return false;
  *value = v;
  return true;
}

int CTY_parse_line(const char* line, int length, CityRec* rec) {
  if (!rec) return 0;
  clear_rec(rec);
  if (!line || length <= 0) return 0;
  const std::string_view text(line, static_cast<std::size_t>(length));
  std::size_t pos = 0;
  int fields = 0;
  while (fields < 10) {
    while (pos < text.size() && is_separator(text[pos])) ++pos;
    if (pos >= text.size()) break;
    std::size_t end = pos;
    while (end < text.size() && !is_separator(text[end])) ++end;
    const std::string_view token = text.substr(pos, end - pos);
    pos = end;
    bool ok = true;
    switch (fields) {
      case 0: copy_bounded(rec->name, sizeof rec->name, token); break;
      case 1: copy_bounded(rec->state, sizeof rec->state, token); break;
      case 2: copy_bounded(rec->country, sizeof rec->country, token); break;
      case 3: copy_bounded(rec->id, sizeof rec->id, token); break;
      case 4: ok = parse_priority(token, rec); break;
      case 5: ok = parse_float(token, &rec->lat); break;
      case 6: ok = parse_float(token, &rec->lon); break;
      case 7:
        ok = parse_float(token, &rec->elev);
        if (ok && (!std::isfinite(rec->elev) || rec->elev > elev_missing_above || rec->elev < -1000.0f))
          rec->elev = MISSING;
        break;
      case 8: ok = parse_int(token, &rec->wmo); break;
      case 9: ok = parse_int(token, &rec->extra); break;
    }
    if (!ok) {
      // Leave the field that failed and everything after it at its empty value.
      if (fields == 4) rec->prior = MISSING_INT;
      if (fields == 5) rec->lat = MISSING;
      if (fields == 6) rec->lon = MISSING;
      if (fields == 7) rec->elev = MISSING;
      if (fields == 8) rec->wmo = CTY_NO_WMO;
      if (fields == 9) rec->extra = 0;
      break;
    }
    ++fields;
  }
  return fields;
}

int CTY_open_file(const char* name) {
  CTY_close(st.open_db.handle);
  std::string used;
  std::FILE* f = nullptr;
  try {
    f = open_database_or_warn(name, &used);
  } catch (const std::bad_alloc&) {
  }
  if (!f) return -1;
  st.open_db.file = f;
  st.open_db.handle = fileno(f);
  st.open_db.path = std::move(used);
  return st.open_db.handle;
}

int CTY_open(const char* path) {
  CTY_close(st.open_db.handle);
  if (!path || !*path || FILE_is_dir(path)) return -1;
  std::FILE* f = FILE_open(path, "r");
  if (!f) return -1;
  st.open_db.file = f;
  st.open_db.handle = fileno(f);
  st.open_db.path = path;
  return st.open_db.handle;
}

int CTY_read(int handle, CityRec* rec) {
  if (!rec) return -1;
  if (!st.open_db.file || handle != st.open_db.handle) {
    clear_rec(rec);
    return -1;
  }
  return read_rec(st.open_db.file, rec);
}

int CTY_rewind(int handle) {
  if (!st.open_db.file || handle != st.open_db.handle) return -1;
  std::clearerr(st.open_db.file);
  return std::fseek(st.open_db.file, 0L, SEEK_SET) == 0 ? 0 : -1;
}

const char* CTY_open_path(int handle) {
  return st.open_db.file && handle == st.open_db.handle ? st.open_db.path.c_str() : "";
}

int CTY_close(int handle) {
  if (!st.open_db.file || handle != st.open_db.handle) return -1;
  FILE_close(st.open_db.file);
  st.open_db = OpenDatabase{};
  return 0;
}

void CTY_read_reset_state() {
  CTY_close(st.open_db.handle);
  st = CtyReadState{};
}

int CTY_get(const char* file, const char* id, CityRec* rec) {
  if (!id || !*id || !rec) return 0;
  ScopedFile f{open_database_or_warn(file)};
  if (!f.f) return -1;
  MESS_print(MESS_MESS, "Searching the city database file for: %s ...\n", id);
  CityRec line;
  while (read_rec(f.f, &line) >= 0) {
    char wmo_text[16];
    std::snprintf(wmo_text, sizeof wmo_text, "%05d", static_cast<int>(line.wmo));
    const bool call = line.id[0] && stricmp(id, line.id) == 0;
    const bool name = line.name[0] && stricmp(id, line.name) == 0;
    const bool wmo = line.wmo != CTY_NO_WMO && stricmp(id, wmo_text) == 0;
    if (call || name || wmo) {
      *rec = line;
      return 1;
    }
  }
  return 0;
}

int CTY_get_loc(const char* file, const char* id, float* lat, float* lon) {
  CityRec rec;
  const int found = CTY_get(file, id, &rec);
  if (found != 1) return found;
  if (!CTY_position_usable(&rec)) return 0;
  if (lat) *lat = rec.lat;
  if (lon) *lon = rec.lon;
  return 1;
}

char* wmo_to_id(int wmo, char* id) {
  if (!id) return id;
  for (const WmoRange& r : wmo_ranges) {
    if (wmo < r.lo || wmo > r.hi) continue;
    if (r.prefix[1] == '\0')
      std::snprintf(id, CTY_ID_SIZE, "%s%4.4d", r.prefix, wmo % 10000);
    else
      std::snprintf(id, CTY_ID_SIZE, "%s%3.3d", r.prefix, wmo % 1000);
    return id;
  }
  std::snprintf(id, CTY_ID_SIZE, "%5.5d", wmo);
  return id;
}

int id_to_wmo(const char* id, int* wmo) {
  int dummy;
  if (!wmo) wmo = &dummy;
  *wmo = CTY_NO_WMO;
  if (!id || std::strlen(id) != 5) return -1;
  auto digit = [&](int i) { return std::isdigit(static_cast<unsigned char>(id[i])) != 0; };
  if (digit(0) && digit(1) && digit(2) && digit(3) && digit(4)) {
    *wmo = std::atoi(id);
    return 0;
  }
  if (!std::isalpha(static_cast<unsigned char>(id[0])) || !digit(2) || !digit(3) || !digit(4)) return -1;

  // Try the two-character prefixes, then the one-letter ones; where a prefix
  // belongs to several ranges the one that holds the number and gives back the
  // same identifier wins, else the first range's base.
  for (int width = 2; width >= 1; --width) {
    if (width == 1 && !digit(1)) continue;
    const int digits = width == 2 ? std::atoi(id + 2) : std::atoi(id + 1);
    const int scale = width == 2 ? 1000 : 10000;
    int fallback = -1;
    for (const WmoRange& r : wmo_ranges) {
      if (static_cast<int>(std::strlen(r.prefix)) != width || std::strncmp(r.prefix, id, width) != 0) continue;
      const int candidate = r.lo / scale * scale + digits;
      if (fallback < 0) fallback = candidate;
      char back[CTY_ID_SIZE];
      if (candidate >= r.lo && candidate <= r.hi && std::strcmp(wmo_to_id(candidate, back), id) == 0) {
        *wmo = candidate;
        return 0;
      }
    }
    if (fallback >= 0) {
      *wmo = fallback;
      return 0;
    }
  }
  return -1;
}
