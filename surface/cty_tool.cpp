#include "surface/cty_tool.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "plot/maptran.h"
#include "surface/calc.h"
#include "surface/cty_cache.h"
#include "surface/id_index.h"

namespace {

constexpr int key_ident = 0;
constexpr int key_wmo = 1;
constexpr int key_loc = 2;

constexpr int max_buckets = 4000;
constexpr long bytes_per_line = 59;
constexpr int default_prior = 10;
// Half-width, in tenths of a degree, of the largest ring searched around a point.
constexpr int max_ring = 49;

// The stations' data blocks, many to an allocation: the bytes in use, then room never
// touched until a station takes it.
struct DataBlock {
  std::unique_ptr<std::max_align_t[]> memory;
  std::size_t size;  // bytes in use
  std::size_t room;  // bytes held
};
// Stations' data blocks per allocation.
constexpr std::size_t data_blocks_at_once = 256;

// Short key texts (identifiers, WMO numbers), gathered by the thousand at once for a few
// lookups: kept side by side and found through an open-addressing index, not a node each.
class KeySet {
 public:
  // Room for more keys: the index is made again for all of them.
  void reserve(std::size_t more) {
    keys_.reserve(keys_.size() + more);
    IdIndex index(keys_.capacity());
    for (std::size_t i = 0; i < keys_.size(); ++i)
      index.slot(keys_[i].data(), key_of()) = static_cast<std::uint32_t>(i);
    index_ = std::move(index);
  }
  void insert(const char* text) {
    const std::size_t n = std::strlen(text);
    if (n == 0 || n >= width) return;  // longer than any key asked for
    if (keys_.size() == keys_.capacity()) reserve(std::max<std::size_t>(16, keys_.size()));
    std::uint32_t& slot = index_.slot(std::string_view(text, n), key_of());
    if (slot != IdIndex::none) return;
    slot = static_cast<std::uint32_t>(keys_.size());
    Key& k = keys_.emplace_back();
    std::memcpy(k.data(), text, n);
  }
  bool contains(const std::string& text) {
    return !keys_.empty() && text.size() < width && index_.slot(text, key_of()) != IdIndex::none;
  }
  void clear() {
    keys_.clear();
    index_ = IdIndex(0);
  }

 private:
  static constexpr std::size_t width = 16;  // a key of up to 15 characters
  using Key = std::array<char, width>;
  struct KeyOf {
    const std::vector<Key>* keys;
    std::string_view operator()(std::size_t i) const { return (*keys)[i].data(); }
  };
  KeyOf key_of() const { return KeyOf{&keys_}; }
  std::vector<Key> keys_;
  IdIndex index_{0};
};

// The station database as loaded for the domain: the table, how it was stored and the
// memory its records live in.
struct CtyState {
  Table cty_table;
  int store_mode = 0;
  int id_type = 0;
  int data_size = 0;
  std::vector<DataBlock> blocks;
  void* last_found = nullptr;
  // Identifier and WMO keys of the database's stations that the last load left out (outside
  // the domain, of a lower priority or not selected): a report from one of them is not from
  // an unknown station.
  // Made from left_out_lines when first asked: most runs never ask.
  KeySet left_out[2];
  std::vector<const CityRec*> left_out_lines;
  int left_out_id_type = 0;
  // The parsed database the records of left_out_lines live in.
  std::shared_ptr<const CityLines> lines;
};
CtyState cty;
// Registered by the module that owns the records' extra data; kept out of the record so that
// a reset does not undo the registration.
CtyEnterFunc enter_func = nullptr;

// Selection list from the resource "identifier", freed on every exit path.
struct Selection {
  int count = 0;
  char** items = nullptr;
  Selection() {
    if (RES_getvals("identifier", &count, &items) <= 0 || !items) {
      count = 0;
      items = nullptr;
    }
  }
  ~Selection() {
    if (items) free_parsed_array(count, items);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  bool all() const { return count == 0 || (count == 1 && items[0] && stricmp(items[0], "all") == 0); }
};

// "%05d" of a station number (with "b" before a buoy's), written by hand for the usual
// five digits: every station of the database is keyed this way.
void print_wmo(char* out, std::size_t size, bool buoy, int wmo) {
  if (wmo < 0 || wmo > 99999 || size < 7) {
    std::snprintf(out, size, buoy ? "b%05d" : "%05d", wmo);
    return;
  }
  std::size_t n = 0;
  if (buoy) out[n++] = 'b';
  for (int d = 10000; d > 0; d /= 10) out[n++] = static_cast<char>('0' + wmo / d % 10);
  out[n] = '\0';
}

void format_wmo(char* out, std::size_t size, const CityRec& rec) {
  print_wmo(out, size, CTY_is_buoy(&rec), static_cast<int>(rec.wmo));
}

void key_identifier(const CityRec& rec, char out[12], int id_type) {
  const bool call = CTY_has_call(&rec);
  switch (id_type) {
    case 1:
      if (rec.wmo != CTY_NO_WMO)
        print_wmo(out, 12, false, static_cast<int>(rec.wmo));
      else
        copy_bounded(out, 12, rec.id);
      break;
    case 2:
      if (call)
        copy_bounded(out, 12, rec.id);
      else if (CTY_is_buoy(&rec))
        print_wmo(out, 12, true, static_cast<int>(rec.wmo));
      else
        wmo_to_id(rec.wmo, out);
      break;
    default:
      if (call)
        copy_bounded(out, 12, rec.id);
      else
        print_wmo(out, 12, false, static_cast<int>(rec.wmo));
      break;
  }
}

// printf's "%*.0f" of v, right-aligned in width; false when v is not an ordinary number.
// nearbyint rounds the exact value half to even as printf does.
bool put_rounded(char*& out, const char* end, float v, int width) {
  if (!std::isfinite(v) || std::fabs(v) > 1.0e9f) return false;
  const double r = std::nearbyint(static_cast<double>(v));
  long n = static_cast<long>(std::fabs(r));
  char digits[16];
  int k = 0;
  do {
    digits[k++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  if (std::signbit(r)) digits[k++] = '-';
  const int pad = std::max(0, width - k);
  if (end - out <= pad + k) return false;
  for (int i = 0; i < pad; ++i) *out++ = ' ';
  while (k > 0) *out++ = digits[--k];
  return true;
}

// The key of a place to a tenth of a degree, "%5.0f%6.0f" of the tenths: every station of
// a domain is keyed, so the usual numbers are written by hand.
void location_key(char* out, std::size_t size, float lat10, float lon10) {
  char* p = out;
  const char* end = out + size;
  if (put_rounded(p, end, lat10, 5) && put_rounded(p, end, lon10, 6)) {
    *p = '\0';
    return;
  }
  std::snprintf(out, size, "%5.0f%6.0f", static_cast<double>(lat10), static_cast<double>(lon10));
}

void*& data_of(void* record) {
  if (cty.store_mode == CTY_MODE_FULL) return static_cast<CityEntry*>(record)->data;
  return static_cast<StationRec*>(record)->data;
}

void to_station(const void* record, StationRec* station) {
  if (cty.store_mode != CTY_MODE_FULL) {
    std::memcpy(station, record, sizeof *station);
    return;
  }
  const auto* entry = static_cast<const CityEntry*>(record);
  std::memset(station, 0, sizeof *station);
  key_identifier(entry->rec, station->id, cty.id_type);
  station->wmo = entry->rec.wmo;
  MAP_tran(&station->x, &station->y, entry->rec.lat, entry->rec.lon);
  station->elev = entry->rec.elev;
  station->prior = entry->rec.prior;
  station->data = entry->data;
}

bool all_digits(const char* s, int from, int to) {
  for (int i = from; i < to; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

// The key a report identifier is looked up under and its text: WMO numbers, pseudo
// identifiers and buoys on the WMO key, anything else on the identifier key. False when
// the identifier can name no station.
bool lookup_key(const char* id, int* key, std::string* text) {
  if (!id) return false;
  const std::size_t len = std::strlen(id);
  *key = key_wmo;
  if (len == 5 && all_digits(id, 0, 5)) {
    if (std::atoi(id) == CTY_NO_WMO) return false;
    *text = id;
    return true;
  }
  if (len == 5 && std::isupper(static_cast<unsigned char>(id[0])) && all_digits(id, 2, 5)) {
    int wmo = CTY_NO_WMO;
    if (id_to_wmo(id, &wmo) != 0 || wmo == CTY_NO_WMO) return false;
    char wmo_text[16];
    std::snprintf(wmo_text, sizeof wmo_text, "%5.5d", wmo);
    *text = wmo_text;
    return true;
  }
  if (len != 6 || id[0] != 'b') *key = key_ident;
  *text = id;
  return true;
}

void* search_record(const char* id) {
  if (cty.cty_table.count == 0) return nullptr;
  int key = 0;
  std::string text;
  if (!lookup_key(id, &key, &text)) return nullptr;
  return TAB_search(&cty.cty_table, key, text.c_str());
}

void note_left_out(const CityRec& rec) {
  char ident[12];
  key_identifier(rec, ident, cty.left_out_id_type);
  cty.left_out[key_ident].insert(ident);
  if (rec.wmo == CTY_NO_WMO) return;
  char wmo[16];
  format_wmo(wmo, sizeof wmo, rec);
  cty.left_out[key_wmo].insert(wmo);
}

// ---- selection conditions ----

// Names are stored with '_' for blanks; a user may type either.
int fold(char c) { return c == ' ' ? '_' : std::tolower(static_cast<unsigned char>(c)); }

bool prefix_nocase(std::string_view prefix, std::string_view text) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (fold(prefix[i]) != fold(text[i])) return false;
  return true;
}

bool equal_nocase(std::string_view a, std::string_view b) { return a.size() == b.size() && prefix_nocase(a, b); }

bool parse_number(std::string_view text, double* value) {
  return CTY_parse_number(text, value) && std::isfinite(*value);
}

// "lat lon radius" separated by blanks, '/', ';' or '_'.
bool parse_circle(std::string_view text, double v[3]) {
  int n = 0;
  std::size_t pos = 0;
  auto sep = [](char c) { return c == ' ' || c == '/' || c == ';' || c == '_' || c == '\t'; };
  while (n < 3) {
    while (pos < text.size() && sep(text[pos])) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !sep(text[end])) ++end;
    if (end == pos || !parse_number(text.substr(pos, end - pos), &v[n])) return false;
    ++n;
    pos = end;
  }
  while (pos < text.size() && sep(text[pos])) ++pos;
  return pos == text.size();
}

bool compare(char op, double value, double limit) {
  switch (op) {
    case '=': return value == limit;
    case '<': return value <= limit;
    case '>': return value >= limit;
  }
  return false;
}

enum class Cond { holds, fails, unknown };

Cond numeric(std::string_view rest, double value, bool usable) {
  if (rest.empty()) return Cond::fails;
  const char op = rest[0];
  double limit;
  if ((op != '=' && op != '<' && op != '>') || !parse_number(rest.substr(1), &limit)) return Cond::fails;
  if (!usable) return Cond::fails;
  return compare(op, value, limit) ? Cond::holds : Cond::fails;
}

Cond condition(std::string_view c, const CityRec& rec) {
  auto starts = [&](const char* key) {
    const std::size_t n = std::strlen(key);
    return prefix_nocase(std::string_view(key, n), c);
  };
  auto after = [&](std::size_t n) { return c.substr(n); };
  auto code_cond = [](std::string_view code, bool match) {
    if (code.empty()) return Cond::fails;
    return match ? Cond::holds : Cond::fails;
  };

  if (starts("NAME=")) {
    const auto v = after(5);
    return code_cond(v, prefix_nocase(v, rec.name));
  }
  if (starts("ST")) {
    const auto v = starts("ST=") ? after(3) : after(2);
    char both[16];
    std::snprintf(both, sizeof both, "%2s_%2s", rec.state, rec.country);
    return code_cond(v, equal_nocase(v, rec.state) || equal_nocase(v, both));
  }
  if (starts("CN")) {
    const auto v = starts("CN=") ? after(3) : after(2);
    return code_cond(v, equal_nocase(v, rec.country));
  }
  if (starts("ID=")) {
    const auto v = after(3);
    return code_cond(v, CTY_has_call(&rec) && equal_nocase(v, rec.id));
  }
  if (starts("RA<")) {
    double circle[3];
    if (!parse_circle(after(3), circle)) return Cond::fails;
    const float d = calc_earth_dist(static_cast<float>(circle[0]), static_cast<float>(circle[1]), rec.lat, rec.lon);
    return std::isfinite(d) && d != MISSING && static_cast<double>(d) <= static_cast<double>(static_cast<float>(circle[2]))
               ? Cond::holds
               : Cond::fails;
  }
  if (starts("LAT")) return numeric(after(3), rec.lat, true);
  if (starts("LON")) return numeric(after(3), rec.lon, true);
  if (starts("ELEV")) return numeric(after(4), rec.elev, rec.elev != MISSING);
  if (starts("WMO")) return numeric(after(3), rec.wmo, rec.wmo != CTY_NO_WMO);
  if (starts("P")) return numeric(after(1), rec.prior, true);
  return Cond::unknown;
}

bool item_accepts(const char* raw, const CityRec& rec) {
  std::string_view view(raw);
  while (!view.empty() && std::isspace(static_cast<unsigned char>(view.front()))) view.remove_prefix(1);
  while (!view.empty() && std::isspace(static_cast<unsigned char>(view.back()))) view.remove_suffix(1);
  const std::string trimmed(view);
  const char* item = trimmed.c_str();
  const std::size_t len = trimmed.size();
  if (len == 0) return false;
  if (len == 5) {
    char wmo[16];
    std::snprintf(wmo, sizeof wmo, "%5.5d", static_cast<int>(rec.wmo));
    if (rec.wmo != CTY_NO_WMO && std::strcmp(item, wmo) == 0) return true;
  }
  if (CTY_has_call(&rec) && stricmp(item, rec.id) == 0) return true;
  if (len >= 5 && prefix_nocase(item, rec.name)) return true;

  // Conditions are tried in order: the first one that decides, decides.
  std::string_view rest(item, len);
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view c = rest.substr(0, colon);
    switch (condition(c, rec)) {
      case Cond::holds: return true;
      case Cond::fails: return false;
      case Cond::unknown: break;
    }
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return false;
}

int bucket_count(int handle) {
  struct stat st {};
  if (fstat(handle, &st) != 0 || !S_ISREG(st.st_mode)) return max_buckets;
  const long n = static_cast<long>(st.st_size) / bytes_per_line;
  return static_cast<int>(n < 1 ? 1 : (n > max_buckets ? max_buckets : n));
}

// Enters one station; false when memory runs out.
bool enter_station(const CityRec& rec, float x, float y) {
  char ident[12];
  key_identifier(rec, ident, cty.id_type);
  char wmo[16];
  format_wmo(wmo, sizeof wmo, rec);
  char loc[96] = "";
  if (cty.store_mode == CTY_MODE_LOCATION) location_key(loc, sizeof loc, rec.lat * 10.0f, rec.lon * 10.0f);

  void* data = nullptr;
  std::size_t data_bytes = 0;
  if (cty.data_size > 0) {
    const std::size_t units = (static_cast<std::size_t>(cty.data_size) + sizeof(std::max_align_t) - 1) /
                              sizeof(std::max_align_t);
    data_bytes = units * sizeof(std::max_align_t);
    if (cty.blocks.empty() || cty.blocks.back().room - cty.blocks.back().size < data_bytes)
      cty.blocks.push_back(DataBlock{std::make_unique_for_overwrite<std::max_align_t[]>(units * data_blocks_at_once), 0,
                                     data_bytes * data_blocks_at_once});
    DataBlock& block = cty.blocks.back();
    data = block.memory.get() + block.size / sizeof(std::max_align_t);
    std::memset(data, 0, data_bytes);
    block.size += data_bytes;
    if (enter_func) enter_func(data, &rec);
  }

  int status;
  if (cty.store_mode == CTY_MODE_FULL) {
    CityEntry entry{rec, data};
    status = TAB_enter(&cty.cty_table, &entry, ident, wmo);
  } else {
    StationRec st;
    std::memset(&st, 0, sizeof st);
    std::memcpy(st.id, ident, sizeof st.id);
    st.wmo = rec.wmo;
    st.x = x;
    st.y = y;
    st.elev = rec.elev;
    st.prior = rec.prior;
    st.data = data;
    status = cty.store_mode == CTY_MODE_LOCATION ? TAB_enter(&cty.cty_table, &st, ident, wmo, loc)
                                             : TAB_enter(&cty.cty_table, &st, ident, wmo);
  }
  if (status != 0 && data) cty.blocks.back().size -= data_bytes;
  return status == 0;
}

}  // namespace

int CTY_get_prior() {
  const char* text = RES_get("stat_prior");
  if (text && std::isdigit(static_cast<unsigned char>(text[0]))) {
    const long v = std::strtol(text, nullptr, 10);
    return v > 99 ? 99 : static_cast<int>(v);
  }
  return default_prior;
}

int CTY_data_cmp(const CityRec* rec, int count, char** items) {
  if (!rec || count <= 0 || !items) return 0;
  try {
    for (int i = 0; i < count; ++i)
      if (items[i] && item_accepts(items[i], *rec)) return i;
  } catch (const std::bad_alloc&) {
  }
  return -1;
}

int CTY_store(const char* file, int mode, const DomainRec* domain, int max_prior) {
  CTY_clear();
  if (mode < CTY_MODE_FULL || mode > CTY_MODE_LOCATION) {
    MESS_print(MESS_ERROR, "CTY_store: Invalid storage mode %d\n", mode);
    return -1;
  }
  if (max_prior == MISSING_INT) max_prior = CTY_get_prior();

  const int handle = CTY_open_file(file);
  if (handle < 0) return -1;
  if (domain) MAP_domain(domain);
  MESS_print(MESS_MESS, "Reading the city database file...\n");

  cty.store_mode = mode;
  const int size = mode == CTY_MODE_FULL ? static_cast<int>(sizeof(CityEntry)) : static_cast<int>(sizeof(StationRec));
  if (TAB_create(&cty.cty_table, bucket_count(handle), size, mode == CTY_MODE_LOCATION ? 3 : 2) != 0) {
    MESS_print(MESS_ERROR, "CTY_store: Unable to allocate the station table\n");
    CTY_close(handle);
    cty.store_mode = 0;
    return -1;
  }

  int bad = 0;
  try {
    const std::shared_ptr<const CityLines> lines = CTY_read_all(handle);
    if (!lines) throw std::bad_alloc();
    cty.lines = lines;
    cty.left_out_id_type = cty.id_type;
    Selection selection;
    const bool everyone = selection.all();
    for (const CityLine& line : *lines) {
      const CityRec& rec = line.rec;
      if (line.fields < 7 || rec.prior < 0 || !CTY_position_usable(&rec)) {
        ++bad;
        continue;
      }
      float x, y;
      if (rec.prior > max_prior || (!everyone && CTY_data_cmp(&rec, selection.count, selection.items) < 0) ||
          MAP_tran(&x, &y, rec.lat, rec.lon) == 0 || !MAP_in_grid_domain(x, y)) {
        cty.left_out_lines.push_back(&rec);
        continue;
      }
      if (!enter_station(rec, x, y)) throw std::bad_alloc();
    }
  } catch (const std::bad_alloc&) {
    MESS_print(MESS_ERROR, "CTY_store: Out of memory after %d stations\n", cty.cty_table.count);
  }
  CTY_close(handle);
  if (bad > 0) MESS_print(MESS_WARN, "CTY_store: %d unreadable station lines skipped\n", bad);
  MESS_print(MESS_DEBUG, "CTY_store: %d stations stored\n", cty.cty_table.count);
  return handle;
}

int CTY_known(const char* id) {
  if (search_record(id)) return 1;
  int key = 0;
  std::string text;
  if (!lookup_key(id, &key, &text)) return 0;
  try {
    if (!cty.left_out_lines.empty()) {
      for (auto& keys : cty.left_out) keys.reserve(cty.left_out_lines.size());
      for (const CityRec* rec : cty.left_out_lines) note_left_out(*rec);
      cty.left_out_lines.clear();
      cty.left_out_lines.shrink_to_fit();
    }
    return cty.left_out[key].contains(text) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int CTY_search(const char* id, StationRec* station) {
  void* record = search_record(id);
  if (!record) return 0;
  cty.last_found = record;
  if (station) to_station(record, station);
  return 1;
}

namespace {
int search_loc(StationRec* station, float lat, float lon, bool with_data);
}  // namespace

int CTY_search_loc(StationRec* station, float lat, float lon) { return search_loc(station, lat, lon, false); }
int CTY_search_loc_data(StationRec* station, float lat, float lon) { return search_loc(station, lat, lon, true); }

namespace {
int search_loc(StationRec* station, float lat, float lon, bool with_data) {
  if (cty.store_mode != CTY_MODE_LOCATION || cty.cty_table.count == 0) return 0;
  const float lat10 = lat * 10.0f;
  const float lon10 = lon * 10.0f;
  if (!std::isfinite(lat10) || !std::isfinite(lon10) || std::fabs(lat10) > 1e6f || std::fabs(lon10) > 1e6f)
    return 0;
  char key[96];
  auto probe = [&](float a, float b) -> void* {
    location_key(key, sizeof key, a, b);
    return TAB_search(&cty.cty_table, key_loc, key);
  };
  for (int r = 0; r <= max_ring; ++r) {
    const auto fr = static_cast<float>(r);
    for (int d = (r == 0 ? 0 : 1 - r); d <= r; ++d) {
      const auto fd = static_cast<float>(d);
      // With data: only a station whose data block holds something.
      auto usable = [&](void* r) {
        return r != nullptr && (!with_data || (data_of(r) != nullptr && *static_cast<const char*>(data_of(r)) != '\0'));
      };
      void* found = probe(lat10 + fr, lon10 + fd);
      if (!usable(found) && r > 0) found = probe(lat10 + fd, lon10 + fr);
      if (!usable(found) && r > 0) found = probe(lat10 - fr, lon10 + fd);
      if (!usable(found) && r > 0) found = probe(lat10 + fd, lon10 - fr);
      if (usable(found)) {
        cty.last_found = found;
        if (station) to_station(found, station);
        return 1;
      }
    }
  }
  return 0;
}
}  // namespace

void CTY_data_size(int size) { cty.data_size = size > 0 ? size : 0; }

void CTY_enter_func(CtyEnterFunc func) { enter_func = func; }

void* CTY_get_data(const char* id) {
  if (id) {
    void* record = search_record(id);
    if (!record) return nullptr;
    cty.last_found = record;
  }
  return cty.last_found ? data_of(cty.last_found) : nullptr;
}

void* CTY_next_data(int restart) {
  void* record = restart == 0 ? TAB_first(&cty.cty_table) : TAB_next(&cty.cty_table);
  while (record && !data_of(record)) record = TAB_next(&cty.cty_table);
  return record ? data_of(record) : nullptr;
}

void CTY_clear_data(int keep) {
  if (keep) {
    for (DataBlock& b : cty.blocks) std::memset(b.memory.get(), 0, b.size);
    return;
  }
  if (cty.store_mode != 0)
    for (void* r = TAB_first(&cty.cty_table); r; r = TAB_next(&cty.cty_table)) data_of(r) = nullptr;
  cty.blocks.clear();
  cty.blocks.shrink_to_fit();
}

void CTY_clear() {
  CTY_clear_data(0);
  TAB_clear(&cty.cty_table);
  for (auto& keys : cty.left_out) keys.clear();
  cty.left_out_lines.clear();
  cty.lines.reset();
  cty.store_mode = 0;
  cty.last_found = nullptr;
}

void CTY_reset_state() {
  cty = CtyState{};
  CTY_cache_reset_state();
}

Table* CTY_get_table() { return &cty.cty_table; }

int CTY_count() { return cty.cty_table.count; }

void CTY_set_id_type(int type) { cty.id_type = (type >= 0 && type <= 2) ? type : 0; }

int CTY_get_id_type() { return cty.id_type; }
