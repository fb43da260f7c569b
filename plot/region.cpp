// Domain texts, region files, built-in regions, station priorities and the region
// prompt of the main loop.
#include "plot/region.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/datafile.h"
#include "config/flag.h"
#include "config/menu.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/prompt.h"
#include "config/system.h"
#include "files/files.h"
#include "plot/maptran.h"

namespace {

constexpr const char* DEF_REGION_FILE = "zav.reg";
constexpr unsigned LEVEL_DEBUG = MESS_DEBUG & MESS_C;
constexpr unsigned LEVEL_FILE = MESS_DEBUG & MESS_D;
constexpr int MAX_MENU = 20;  // entry 0 is the return item
constexpr int MAX_ATTEMPTS = 5;  // answers at the region prompt before it gives up
constexpr int MAX_DEPTH = 4;  // region entries that name other regions

// Bounds that keep a domain usable: beyond them grids would not fit in memory or
// the projection constants would overflow.
constexpr int MAX_POINTS = 10000;
constexpr long long MAX_CELLS = 25'000'000LL;
constexpr float MAX_SPACING = 1000.0f;
constexpr float MAX_DIAGRAM = 1.0e7f;

struct RegionEntry {
  std::string abbr;  // as in the file (looked up whole, shown cut to 5 characters)
  std::string desc;  // blanks for underscores, cut to 20 characters
  int number = 0;
  int flag = 0;
};

struct IdCache {
  std::string token;
  bool found = false;
  float lat = MISSING;
  float lon = MISSING;
};

// The region menu and the priorities, and what decoding a domain has found and said.
struct RegionState {
  int base_prior = 3;
  // Reports that are not in the station database but carry their own position are ships,
  // buoys and other platforms: few, and often the only reports over the sea, so maps of
  // every size keep them.
  int loc_prior = 1;
  int prompt_region = 1;
  std::string region_name;
  // The domain a resource gave at the prompt, and the decoding result: the grid domain
  // taken from the same resource reuses it, since decoding "var" again would ask for its
  // centre again (at every file of a sequence).
  DomainRec resource_domain;
  int resource_result = 0;
  // A grid domain text found invalid: it is decoded again for every file, but said once.
  std::string bad_grid_domain;

  std::vector<RegionEntry> regions;  // the menu entries without the return item
  std::string menu_file;             // file the menu came from ("" = built-in regions)
  bool menu_loaded = false;
  int num_regs = 0;
  IdCache* id_cache = nullptr;
  // Station positions come from the station database, whose module registers its lookup.
  DOM_station_lookup station_lookup = nullptr;
  // The refusal of a prompting domain in batch mode is said once, though the domain is tried
  // more than once.
  bool batch_centre_said = false;
};
RegionState st;

struct DefRegion {
  const char* name;
  const char* desc;
  float clat;
  float clon;
  float dx;
};
constexpr DefRegion def_regions[] = {
    {"us", "United States", 39.0f, -97.0f, 2.3f},   {"ne", "Northeast", 42.0f, -76.0f, 0.9f},
    {"at", "Mid Atlantic", 37.0f, -82.0f, 0.9f},    {"se", "Southeast", 31.0f, -88.0f, 1.1f},
    {"mw", "Midwest", 43.0f, -93.0f, 1.1f},         {"sp", "Southern Plains", 32.5f, -100.0f, 1.2f},
    {"nw", "Northwest", 44.0f, -112.0f, 1.0f},      {"sw", "Southwest", 37.0f, -112.0f, 1.0f},
    {"var", "Variable center", MISSING, MISSING, 1.2f},
};

std::string trimmed(const char* s) {
  std::string t(s ? s : "");
  const auto b = t.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  const auto e = t.find_last_not_of(" \t\r\n");
  return t.substr(b, e - b + 1);
}

bool is_map_code(int proj) { return proj >= PROJ_PS && proj <= PROJ_SAT; }

// ---- projection token: NAME[:e][:plat[:plon[:p3[:p4[:p5[:p6]]]]]] ----

bool parse_proj(const char* token, DomainRec* d) {
  std::string t = trimmed(token);
  if (t.empty()) return false;
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t c = t.find(':', start);
    parts.push_back(t.substr(start, c == std::string::npos ? std::string::npos : c - start));
    if (c == std::string::npos) break;
    start = c + 1;
  }
  const int code = DOM_proj_str(parts[0].c_str());
  if (code == -1 || code == MISSING_INT || parts[0].empty()) return false;
  d->proj = code;
  std::size_t i = 1;
  if (parts.size() == 2 && stricmp(parts[1].c_str(), "e") != 0) {
    return parts[1].empty() || parse_float(parts[1].c_str(), &d->plon);
  }
  if (i < parts.size() && stricmp(parts[i].c_str(), "e") == 0) {
    d->ext = 1;
    ++i;
  }
  float* fields[] = {&d->plat, &d->plon, &d->p3, &d->p4, &d->p5, &d->p6};
  std::size_t f = 0;
  for (; i < parts.size(); ++i, ++f) {
    if (f >= 6) return false;
    if (trimmed(parts[i].c_str()).empty()) continue;  // an empty value leaves the field unset
    if (!parse_float(parts[i].c_str(), fields[f])) return false;
  }
  return true;
}

// ---- station positions for "id:" tokens, looked up once per decode ----

bool station_location(const char* token, float* lat, float* lon) {
  const std::string t = trimmed(token);
  if (st.id_cache && st.id_cache->token == t) {
    *lat = st.id_cache->lat;
    *lon = st.id_cache->lon;
    return st.id_cache->found;
  }
  std::string rest = t.substr(3);
  std::string file;  // empty: the station database in use
  const std::size_t colon = rest.rfind(':');
  const bool file_given = colon != std::string::npos;
  if (file_given) {
    file = rest.substr(0, colon);
    rest = rest.substr(colon + 1);
  }
  float la = MISSING, lo = MISSING;
  // A station is found only with a usable position.
  const bool ok = st.station_lookup != nullptr && !rest.empty() && !(file_given && file.empty()) &&
                  st.station_lookup(file_given ? file.c_str() : nullptr, rest.c_str(), &la, &lo) == 1;
  if (st.id_cache) {
    st.id_cache->token = t;
    st.id_cache->found = ok;
    st.id_cache->lat = la;
    st.id_cache->lon = lo;
  }
  *lat = la;
  *lon = lo;
  return ok;
}

bool starts_id(const char* token) {
  const std::string t = trimmed(token);
  return strnicmp(t.c_str(), "id:", 3) == 0;
}

// Defaults of the shorter templates, then the checks that keep the domain usable.
bool complete_domain(DomainRec* d) {
  if (d->proj == MISSING_INT) d->proj = PROJ_PS;
  if (d->proj == PROJ_SIZE) return d->nx >= 1 && d->ny >= 1 && d->nx <= MAX_POINTS && d->ny <= MAX_POINTS;
  if (d->nx == MISSING_INT) d->nx = 25;
  if (d->ny == MISSING_INT) d->ny = 17;
  if (d->dx == MISSING) d->dx = d->proj == PROJ_ZOOM ? 1.0f : 1.2f;
  if (d->dy == MISSING) d->dy = d->dx;

  if (d->nx < 1 || d->ny < 1 || d->nx > MAX_POINTS || d->ny > MAX_POINTS) return false;
  if (static_cast<long long>(d->nx) * d->ny > MAX_CELLS) return false;
  if (!(d->dx > 0.0f) || !(d->dy > 0.0f) || d->dx > MAX_SPACING || d->dy > MAX_SPACING) return false;
  const float params[] = {d->plat, d->plon, d->p3, d->p4, d->p5, d->p6, d->clat, d->clon};
  for (float v : params) {
    if (!std::isfinite(v) || std::fabs(v) > MAX_DIAGRAM) return false;
  }
  if (!is_map_code(d->proj)) return true;

  if (d->clat == MISSING || d->clon == MISSING) return false;
  if (std::fabs(d->clat) > 90.0f || std::fabs(d->clon) > 360.0f) return false;
  if (d->plat != MISSING && std::fabs(d->plat) > 90.0f) return false;
  if (d->plon != MISSING && std::fabs(d->plon) > 360.0f) return false;
  switch (d->proj) {
    case PROJ_PS:
      if (d->p3 != MISSING) {
        const float h = (d->plat != MISSING ? d->plat : d->clat) < 0.0f ? -1.0f : 1.0f;
        if (std::fabs(d->p3) > 90.0f || !(h * d->p3 > 0.0f)) return false;
      }
      break;
    case PROJ_LAMB: {
      // True latitudes at a pole or a cone on the equator have no Lambert cone.
      if (d->p3 != MISSING && std::fabs(d->p3) >= 90.0f) return false;
      if (d->p4 != MISSING && std::fabs(d->p4) >= 90.0f) return false;
      // Both true latitudes lie in the hemisphere of the reference latitude.
      const float h = (d->plat != MISSING ? d->plat : d->clat) < 0.0f ? -1.0f : 1.0f;
      if (d->p3 != MISSING && !(h * d->p3 > 0.0f)) return false;
      if (d->p3 != MISSING && d->p4 != MISSING && !(h * d->p4 > 0.0f)) return false;
      break;
    }
    case PROJ_SAT:
      if (d->p3 != MISSING && !(d->p3 > 1.01f * MAP_EARTH_RAD && d->p3 < 1.0e6f)) return false;
      break;
    default:
      break;
  }
  return true;
}

// ---- region files ----

// Region-file candidates: a path as given, else file_path then the data directory.
std::vector<std::string> region_paths(const char* file) {
  if (!file || !*file) return {};
  return FILE_data_candidates(file);
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) FILE_close(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr open_region_file(const char* file) {
  const std::vector<std::string> paths = region_paths(file);
  for (const std::string& p : paths) {
    if (!FILE_is_file(p.c_str())) continue;
    FilePtr f(FILE_open(p.c_str(), "r"));
    if (f) return f;
  }
  MESS_print(LEVEL_FILE, "Unable to open region file: %s\n", paths.empty() ? "" : paths.front().c_str());
  return nullptr;
}

// Next line cut to DOM_TEXT_LEN characters (the rest is dropped); false at the end.
bool read_line(std::FILE* f, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < static_cast<std::size_t>(DOM_TEXT_LEN)) line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\0')) ++i;
    if (i >= line.size()) break;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\0') ++j;
    out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

// Words of the next line that is neither blank nor a comment; false at the end.
bool next_entry(std::FILE* f, std::vector<std::string>& w) {
  std::string line;
  while (read_line(f, line)) {
    const std::string t = trimmed(line.c_str());
    if (t.empty() || t[0] == '#') continue;
    w = words(t);
    return true;
  }
  return false;
}

std::string describe(const std::string& d, std::size_t max) {
  std::string out = d.substr(0, max);
  for (char& c : out) {
    if (c == '_') c = ' ';
  }
  return out;
}

void load_builtin_menu() {
  st.regions.clear();
  int n = 1;
  for (const DefRegion& r : def_regions) st.regions.push_back({r.name, r.desc, n++, 1});
  st.menu_file.clear();
}

// ---- decoding ----

struct Template {
  int fields[8];
  const char* debug;
};

constexpr Template templates[] = {
    {{DOM_PROJ, DOM_PLON, DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX, DOM_DY}, " 1 proj,plon,clat,clon,nx,ny,dx,dy\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX, DOM_DY}, " 2 proj,clat,clon,nx,ny,dx,dy\n"},
    {{DOM_PROJ, DOM_PLON, DOM_CLAT, DOM_CLON, DOM_DX, DOM_DY}, " 3 proj,plon,clat,clon,dx,dy\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX}, " 4 proj,clat,clon,nx,ny,dx\n"},
    {{DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX, DOM_DY}, " 5 clat,clon,nx,ny,dx,dy\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON, DOM_DX, DOM_DY}, " 6 proj,clat,clon,dx,dy\n"},
    {{DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX}, " 7 clat,clon,nx,ny,dx\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON, DOM_DX}, " 8 proj,clat,clon,dx\n"},
    {{DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY}, " 9 clat,clon,nx,ny\n"},
    {{DOM_CLAT, DOM_CLON, DOM_DX}, "10 clat,clon,dx\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON}, "11 proj,clat,clon\n"},
    {{DOM_CLAT, DOM_CLON}, "12 clat,clon\n"},
    {{DOM_ID}, "13 id:###\n"},
};

int template_len(const Template& t) {
  int n = 0;
  while (n < 8 && t.fields[n] != DOM_END) ++n;
  return n;
}

int decode_impl(const char* text, DomainRec* out, int depth);

// Template 14: a region reference. 2 resolved, -9999 a file loaded as the menu, -1 none.
int decode_region(const std::string& token, DomainRec* out, int depth) {
  if (depth >= MAX_DEPTH || token.empty() || starts_id(token.c_str())) return -1;
  char text[DOM_TEXT_LEN + 1];
  text[0] = '\0';
  auto resolve = [&](const char* file, const char* name) -> int {
    if (!DOM_search_file(file, name, text)) return -1;
    // An entry naming itself can only mean the built-in region of that name.
    if (name && stricmp(trimmed(text).c_str(), name) == 0) {
      return DOM_get_def_region(name, out) ? 2 : -1;
    }
    const int r = decode_impl(text, out, depth + 1);
    return r > 0 ? 2 : -1;
  };
  if (strnicmp(token.c_str(), "fi:", 3) == 0) {
    const std::string file = token.substr(3);
    return file.empty() ? -1 : resolve(file.c_str(), nullptr);
  }
  const std::size_t colon = token.rfind(':');
  if (colon != std::string::npos) {
    const std::string file = token.substr(0, colon);
    const std::string name = token.substr(colon + 1);
    if (file.empty()) return -1;
    if (name.empty()) {
      if (DOM_read_menu(file.c_str()) < 1 || st.menu_file.empty()) return -1;
      return MISSING_INT;
    }
    return resolve(file.c_str(), name.c_str());
  }
  int r = resolve(DEF_REGION_FILE, token.c_str());
  if (r < 0) {
    DomainRec d;
    DOM_init(&d);
    if (DOM_get_def_region(token.c_str(), &d)) {
      *out = d;
      r = 2;
    }
  }
  return r;
}

int decode_impl(const char* text, DomainRec* out, int depth) {
  if (!text) return MISSING_INT;
  const std::string t = trimmed(text);
  if (t.empty() || stricmp(t.c_str(), "miss") == 0) return MISSING_INT;
  if (t.size() > 4 * static_cast<std::size_t>(DOM_TEXT_LEN)) return -1;

  int count = 0;
  char** tokens = nullptr;
  parse_string(t.c_str(), ',', &count, &tokens);
  std::unique_ptr<char*, void (*)(char**)> guard(tokens, [](char** p) { free_parsed_array(0, p); });
  MESS_print(LEVEL_DEBUG, "******** PARSING DOMAIN: %d %s\n", count, t.c_str());
  if (count < 1 || !tokens) return -1;

  IdCache cache;
  IdCache* saved_cache = st.id_cache;
  st.id_cache = &cache;
  struct Restore {
    IdCache* saved;
    ~Restore() { st.id_cache = saved; }
  } restore{saved_cache};

  bool has_id = false;
  for (int i = 0; i < count; ++i) has_id = has_id || starts_id(tokens[i]);

  DomainRec d;
  if (count == 3 && DOM_proj_str(trimmed(tokens[0]).c_str()) == 51) {
    DOM_init(&d);
    if (DOM_set_params(count, tokens, &d, DOM_PROJ, DOM_NX, DOM_NY) == 0 && complete_domain(&d)) {
      MESS_print(LEVEL_DEBUG, "%s", "11 size,nx,ny\n");
      *out = d;
      return 1;
    }
  }
  for (const Template& tp : templates) {
    const int len = template_len(tp);
    // A station token stands for both clat and clon, so it shortens the text by one.
    const bool fits = count == len || (has_id && len > 2 && tp.fields[0] != DOM_ID && count == len - 1);
    if (!fits) continue;
    DOM_init(&d);
    if (DOM_set_params(count, tokens, &d, tp.fields[0], tp.fields[1], tp.fields[2], tp.fields[3], tp.fields[4],
                       tp.fields[5], tp.fields[6], tp.fields[7]) != 0) {
      continue;
    }
    if (!complete_domain(&d)) continue;
    MESS_print(LEVEL_DEBUG, "%s", tp.debug);
    *out = d;
    return 1;
  }
  if (count == 1) {
    DomainRec r;
    DOM_init(&r);
    const int res = decode_region(trimmed(tokens[0]), &r, depth);
    if (res == 2) {
      MESS_print(LEVEL_DEBUG, "%s", "14 reg:REG\n");
      *out = r;
    }
    if (res == 2 || res == MISSING_INT) return res;
  }
  return -1;
}

int menu_value_entry(int value) {
  for (std::size_t i = 0; i < st.regions.size(); ++i) {
    if (st.regions[i].number == value) return static_cast<int>(i);
  }
  return -1;
}

// DOM_decode without its message, for the region prompt, which reports the mistake
// itself: one mistake, one message.
int decode_quiet(const char* text, DomainRec* domain) {
  DomainRec d;
  DOM_init(&d);
  int r;
  try {
    r = decode_impl(text, &d, 0);
  } catch (const std::exception&) {
    r = -1;
  }
  FLAG_set(FLAG_DOMAIN, r);
  if (r == -1) return -1;
  if (r == MISSING_INT) return r;
  if (domain) *domain = d;
  char key[FILE_KEY_LEN];
  std::snprintf(key, sizeof key, "%s", trimmed(text).c_str());
  FILE_set_key(FILE_KEY_DOMAIN, key);
  if (d.ny != MISSING_INT && d.dy != MISSING) DOM_set_base_prior((d.ny - 1) * d.dy);
  return r;
}

// Decodes menu entry i (by its abbreviation in the menu's own file).
int decode_entry(std::size_t i, DomainRec* domain) {
  std::string text = st.regions[i].abbr;
  if (!st.menu_file.empty() && st.menu_file != DEF_REGION_FILE) text = st.menu_file + ":" + st.regions[i].abbr;
  const int r = decode_quiet(text.c_str(), domain);
  if (r > 0) st.region_name = st.regions[i].abbr;
  return r;
}

void ensure_menu() {
  if (!st.menu_loaded || st.regions.empty()) DOM_read_menu(DEF_REGION_FILE);
}

// One pass of the region menu; the menu module's result and the typed answer.
int ask_menu(char* answer) {
  std::vector<MenuEntry> menu;
  std::vector<std::string> names;
  names.reserve(st.regions.size() + 1);
  names.emplace_back("Return to previous menu");
  for (const RegionEntry& r : st.regions) names.push_back(r.desc);
  menu.push_back(MenuEntry{"ret", names[0].c_str(), 0, {1, 1, 1, 1}});
  std::vector<std::string> abbrs;
  abbrs.reserve(st.regions.size());
  for (std::size_t i = 0; i < st.regions.size(); ++i) {
    abbrs.push_back(st.regions[i].abbr.substr(0, 5));
    menu.push_back(MenuEntry{abbrs[i].c_str(), names[i + 1].c_str(), st.regions[i].number, {1, 1, 1, 1}});
  }
  menu.push_back(MenuEntry{nullptr, nullptr, 0, {0, 0, 0, 0}});
  return MENU_process("\n        Region Menu\n", menu.data(), 1, "Enter the region: ", answer, 3);
}

}  // namespace

int DOM_proj_str(const char* name) { return MAP_proj_str(name); }

int DOM_set_params(int count, char** tokens, DomainRec* d, int f1, int f2, int f3, int f4, int f5, int f6, int f7,
                   int f8) {
  if (!tokens || !d || count < 1) return 1;
  const int fields[8] = {f1, f2, f3, f4, f5, f6, f7, f8};
  int t = 0;
  for (int k = 0; k < 8 && fields[k] != DOM_END; ++k) {
    if (t >= count) return 2;
    const char* tok = tokens[t];
    switch (fields[k]) {
      case DOM_PROJ:
        if (!parse_proj(tok, d)) return 3;
        break;
      case DOM_PLON:
        if (!parse_float(tok, &d->plon)) return 4;
        break;
      case DOM_CLAT:
      case DOM_ID:
        if (starts_id(tok)) {
          if (!station_location(tok, &d->clat, &d->clon)) return 5;
          if (fields[k] == DOM_CLAT && k + 1 < 8 && fields[k + 1] == DOM_CLON) ++k;
          if (fields[k] == DOM_ID) {
            d->proj = PROJ_PS;
          }
        } else if (fields[k] == DOM_ID || !parse_float(tok, &d->clat)) {
          return 5;
        }
        break;
      case DOM_CLON:
        if (!parse_float(tok, &d->clon)) return 6;
        break;
      case DOM_NX:
        if (!parse_int(tok, &d->nx)) return 7;
        break;
      case DOM_NY:
        if (!parse_int(tok, &d->ny)) return 8;
        break;
      case DOM_DX:
        if (!parse_float(tok, &d->dx)) return 9;
        break;
      case DOM_DY:
        if (!parse_float(tok, &d->dy)) return 10;
        break;
      default:
        return 11;
    }
    ++t;
  }
  return t == count ? 0 : 12;
}

void DOM_reset_state() { st = RegionState{}; }

int DOM_decode(const char* text, DomainRec* domain) {
  const int r = decode_quiet(text, domain);
  if (r == -1) MESS_print(MESS_WARN, "DOM_decode: Invalid plot domain\n");
  return r;
}

int DOM_get_grid_domain(DomainRec* domain) {
  for (const char* name : {"grid_domain", "region", "plot_domain"}) {
    const char* v = RES_get(name);
    if (!v || !*v) continue;
    if (st.resource_result > 0 && trimmed(v) == st.region_name) {
      if (domain) *domain = st.resource_domain;
      return st.resource_result;
    }
    if (st.bad_grid_domain == v) return decode_quiet(v, domain);
    const int r = DOM_decode(v, domain);
    if (r == -1) {
      // The plot goes on with the plot domain; a batch job must still see the mistake.
      st.bad_grid_domain = v;
      ZAV_fail(ZAV_STATUS_DOMAIN);
    }
    return r;
  }
  return 0;
}

int DOM_get_region(DomainRec* domain, int mode) {
  const char* v = nullptr;
  if (mode == 1 || mode == 3 || mode == 4) v = RES_get("plot_domain");
  if (!v || !*v) v = RES_get("region");
  if (v && *v) return DOM_decode(v, domain);
  if (mode == 4) {
    char text[DOM_TEXT_LEN + 1];
    if (DOM_search_file(DEF_REGION_FILE, nullptr, text)) return DOM_decode(text, domain);
  }
  return 0;
}

int DOM_set_base_prior(float h) {
  int p;
  if (h > 50.0f) {
    p = 1;
  } else if (h > 25.0f) {
    p = 2;
  } else if (h > 12.5f) {
    p = 3;
  } else if (h > 6.25f) {
    p = 4;
  } else if (h > 3.0f) {
    p = 5;
  } else {
    p = 6;
  }
  const char* s = RES_get("stat_prior");
  if (s) {
    while (*s == ' ' || *s == '\t') ++s;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if ((s[0] == '+' || s[0] == '-') && digit(s[1])) {
      p += (s[0] == '+' ? 1 : -1) * (s[1] - '0');
    } else if (digit(s[0])) {
      p = s[0] - '0';
    }
  }
  st.base_prior = p;
  return p;
}

void DOM_set_prior(int priority) { st.base_prior = priority; }
int DOM_get_prior() { return st.base_prior; }
void DOM_set_loc_prior(int priority) { st.loc_prior = priority; }
int DOM_get_loc_prior() { return st.loc_prior; }

void DOM_set_prompt_region(int on) { st.prompt_region = on; }
const char* DOM_get_region_name() { return st.region_name.c_str(); }

int DOM_search_file(const char* file, const char* name, char* result) {
  if (result) result[0] = '\0';
  FilePtr f = open_region_file(file);
  if (!f) return 0;
  std::vector<std::string> w;
  while (next_entry(f.get(), w)) {
    std::string text;
    if (w.size() == 1) {
      if (name) continue;
      text = w[0];
    } else if (w.size() >= 4 && (!name || stricmp(w[0].c_str(), name) == 0)) {
      text = w[3];
    } else {
      continue;
    }
    if (result) std::snprintf(result, DOM_TEXT_LEN + 1, "%s", text.c_str());
    return 1;
  }
  return 0;
}

int DOM_read_menu(const char* file) {
  st.menu_loaded = true;
  FilePtr f = open_region_file(file);
  if (!f) {
    if (st.regions.empty()) load_builtin_menu();
    st.num_regs = static_cast<int>(st.regions.size()) + 1;
    return static_cast<int>(st.regions.size());
  }
  std::vector<RegionEntry> list;
  std::vector<std::string> w;
  while (list.size() < static_cast<std::size_t>(MAX_MENU - 1) && next_entry(f.get(), w)) {
    std::int32_t flag = 0;
    if (w.size() < 4 || !parse_int(w[2].c_str(), &flag) || flag == 0) continue;
    list.push_back({w[0], describe(w[1], 20), static_cast<int>(list.size()) + 1, flag});
  }
  if (list.empty()) {
    if (st.regions.empty()) load_builtin_menu();
  } else {
    st.regions = std::move(list);
    st.menu_file = file ? file : DEF_REGION_FILE;
  }
  st.num_regs = static_cast<int>(st.regions.size()) + 1;
  return static_cast<int>(st.regions.size());
}

int DOM_print_file(const char* file) {
  FilePtr f = open_region_file(file);
  if (!f) return 0;
  MESS_print(MESS_PRINT, " Abbr    Description\n");
  std::vector<std::string> w;
  int n = 0;
  while (next_entry(f.get(), w)) {
    if (w.size() < 2) continue;
    MESS_print(MESS_PRINT, "%-8s %-50s\n", w[0].c_str(), describe(w[1], 50).c_str());
    ++n;
  }
  return n;
}

void DOM_set_station_lookup(DOM_station_lookup lookup) { st.station_lookup = lookup; }

int DOM_get_def_region(const char* name, DomainRec* domain) {
  if (!name || !domain) return 0;
  const std::string n = trimmed(name);
  for (const DefRegion& r : def_regions) {
    if (stricmp(n.c_str(), r.name) != 0) continue;
    DomainRec d;
    DOM_init(&d);
    d.proj = PROJ_PS;
    d.clat = r.clat;
    d.clon = r.clon;
    if (r.clat == MISSING && FLAG_batch()) {
      // Batch runs never wait on their input: the domain is refused like any invalid one.
      if (!st.batch_centre_said)
        MESS_print(MESS_ERROR,
                   "Domain %s asks for its centre at a prompt, which batch mode never shows: give a domain with its "
                   "centre instead\n",
                   r.name);
      st.batch_centre_said = true;
      return 0;
    }
    if (r.clat == MISSING) {
      float lat, lon;
      do {
        lat = ZAV_promptf("Enter the central latitude: ");
      } while (!(std::fabs(lat) <= 90.0f));
      do {
        lon = ZAV_promptf("Enter the central longitude: ");
      } while (!(std::fabs(lon) <= 360.0f));
      d.clat = lat;
      d.clon = lon;
    }
    d.plon = d.clon;
    d.nx = 25;
    d.ny = 17;
    d.dx = r.dx;
    d.dy = r.dx;
    *domain = d;
    return 1;
  }
  return 0;
}

int DOM_prompt_region(DomainRec* domain, int mode) {
  if (!st.prompt_region) return 0;
  const auto from_resource = [&](const char* name) -> int {
    const char* v = RES_get(name);
    if (!v || !*v) return 0;
    const int r = decode_quiet(v, domain);
    if (r == -1) {
      MESS_print(MESS_ERROR, "Invalid domain\n");
      ZAV_exit(ZAV_STATUS_DOMAIN);
    }
    if (r > 0) {
      st.prompt_region = 0;
      st.region_name = trimmed(v);
      if (domain) {
        st.resource_domain = *domain;
        st.resource_result = r;
      }
    }
    return r;
  };
  if (mode == 1) {
    const int r = from_resource("plot_domain");
    if (r > 0) return r;
  }
  {
    const int r = from_resource("region");
    if (r > 0) return r;
  }
  ensure_menu();

  if (FLAG_batch()) {
    int r = -1;
    if (!st.regions.empty()) r = decode_entry(0, domain);
    if (r == -1) {
      MESS_print(MESS_ERROR, "Invalid domain\n");
      ZAV_exit(ZAV_STATUS_DOMAIN);
    }
    st.prompt_region = 0;
    return r;
  }

  for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
    char answer[DOM_TEXT_LEN + 1];
    answer[0] = '\0';
    const int v = ask_menu(answer);
    const std::string a = trimmed(answer);
    if (v == -1) ZAV_exit(0);
    if (v == 0) return 0;
    if (v == MISSING_INT) {
      if (stricmp(a.c_str(), "list") == 0) {
        DOM_print_file(st.menu_file.empty() ? DEF_REGION_FILE : st.menu_file.c_str());
        continue;
      }
      const int r = decode_quiet(a.c_str(), domain);
      if (r == -1) {
        MESS_print(MESS_WARN, "Invalid domain\n");
        continue;
      }
      if (r > 0) st.region_name = a;
      return r;
    }
    const int i = menu_value_entry(v);
    if (i < 0) continue;
    const int r = decode_entry(static_cast<std::size_t>(i), domain);
    if (r == -1) {
      MESS_print(MESS_WARN, "Invalid domain\n");
      continue;
    }
    return r;
  }
  // The program ends here as after an invalid domain from a resource: a script that fed
  // it wrong answers must see the failure.
  MESS_print(MESS_ERROR, "No valid domain after %d answers: giving up\n", MAX_ATTEMPTS);
  ZAV_fail(ZAV_STATUS_DOMAIN);
  return -1;
}
