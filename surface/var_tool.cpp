// Variable requests: the variable table, the parser of the request text, keyword tables,
// the program's variable file (menu and named definitions) and the list files that give
// parameter numbers, sources and model names.
#include "surface/var_tool.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "config/datafile.h"
#include "config/flag.h"
#include "config/menu.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"
#include "files/files.h"

namespace {

constexpr int BASE_MAX = 10;
constexpr int MENU_MAX = 49;
constexpr int VARLIST_MAX = 750;
// Longest logical line of the variable file (continuations included) and most entries
// kept from it: enough for any real file, bounded against hostile ones.
constexpr std::size_t FILE_LINE_MAX = 4096;
constexpr std::size_t FILE_ENTRIES_MAX = 5000;

// Grid functions are the grid module's: it registers how to recognise their names. Kept out
// of the record so that a reset of this module does not undo the other module's registration.
int (*grid_func_class)(const char* name) = nullptr;
int (*grid_vect_func)(const char* name) = nullptr;

// Values inherited by the items of one nesting level.
struct Base {
  int type, time, tkind, ltype, level, lkind;
};

// Expansions allowed in one request: definitions that fan out into one another
// without making records must not run for ever.
constexpr int EXPANSIONS_MAX = 1000;
// Warnings about one request: a hostile text must not flood the terminal.
constexpr int NOTES_MAX = 5;

// Program variable file.
struct FileEntry {
  std::string abbr, desc, cond, def;
};

// Variable list file.
struct ListEntry {
  int num;
  int param[4];
  std::string abbr, desc;
};

struct NamedNumber {
  int first, last;
  std::string name;
};

// The records the last request expanded into, the parse that made them, and the lookup
// files read once and kept: one request is parsed at a time.
struct VarState {
  int lab_type = 0;  // the label style (see VAR_set_label_type)
  VarRec var[VAR_MAX]{};
  int varnum = 0;
  // The variable-file description ("_" as blanks) of the entry each record was expanded from.
  std::string descriptions[VAR_MAX];
  Base base[BASE_MAX]{};
  int base_ind = -1;
  int level = -1;  // nesting level of the base stack in use
  int plevel = 0;  // function depth
  int vlevel = 0;  // group/vector depth
  int def_type = PLOT_CONT;
  bool parse_stop = false;             // a fatal error ended the parse
  bool table_full = false;             // the 60 records are used; further items are ignored
  std::vector<std::string> expanding;  // names whose definitions are being expanded
  int expansions = 0;
  int notes = 0;
  std::string var_file;  // path; empty when none is open
  std::vector<FileEntry> file_entries;
  std::vector<FileEntry> menu_items;
  std::string model_str, time_str, level_str;
  std::vector<ListEntry> var_list;
  bool var_list_read = false;
  std::vector<NamedNumber> sources;
  bool sources_read = false;
  std::vector<NamedNumber> models;
  bool models_read = false;
};
VarState st;

// ---------------------------------------------------------------- small helpers

bool ieq(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string join(const std::vector<std::string>& parts, std::size_t from, char delim) {
  std::string out;
  for (std::size_t i = from; i < parts.size(); ++i) {
    if (i > from) out += delim;
    out += parts[i];
  }
  return out;
}

// A whole-token non-negative integer of at most 9 digits.
bool parse_uint(std::string_view s, int* value) {
  if (s.empty() || s.size() > 9) return false;
  int v = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

// A whole-token non-negative decimal number ("0.995", ".5", "12").
bool parse_decimal(std::string_view s, double* value) {
  if (s.empty() || s.size() > 12) return false;
  bool digit = false, dot = false;
  for (char c : s) {
    if (c == '.') {
      if (dot) return false;
      dot = true;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      digit = true;
    } else {
      return false;
    }
  }
  if (!digit) return false;
  *value = std::strtod(std::string(s).c_str(), nullptr);
  return true;
}

std::string format_text(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format_text(const char* fmt, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

int plot_type_option() { return FLAG_get(FLAG_PLOT_TYPE); }
bool in_range(int v, int lo, int hi) { return v >= lo && v <= hi; }
bool valid_index(int i) { return i >= 0 && i < st.varnum; }

// ---------------------------------------------------------------- keyword tables

struct TypeWord {
  const char* word;
  int code;
};
constexpr TypeWord type_words[] = {
    {"data", PLOT_DATA},   {"value", PLOT_VALUE}, {"text", PLOT_TEXT},     {"mark", PLOT_MARK},   {"mk", PLOT_MARK},
    {"map", PLOT_MAP},     {"frame", PLOT_FRAME}, {"panel", PLOT_PANEL},   {"cont", PLOT_CONT},   {"ln", PLOT_LCONT},
    {"dln", PLOT_DLN},     {"ndln", PLOT_NDLN},   {"cf", PLOT_FCONT},      {"lcf", PLOT_BCONT},   {"gvalue", PLOT_GVALUE},
    {"wind", PLOT_WIND},   {"vect", PLOT_VECT},   {"barb", PLOT_BARB},     {"strm", PLOT_STRM},   {"track", PLOT_STRM},
    {"plot", PLOT_PLOT},   {"cloud", PLOT_CLOUD}, {"wbarb", PLOT_WBARB},   {"cbarb", PLOT_CBARB}, {"dbarb", PLOT_DBARB},
    {"vbarb", PLOT_VBARB}, {"symb", PLOT_SYMB},   {"wx", PLOT_SYMB},       {"line", PLOT_LINE},
};
struct TypeName {
  int code;
  const char* name;
};
constexpr TypeName type_names[] = {
    {PLOT_DATA, "data"},   {PLOT_VALUE, "value"},  {PLOT_TEXT, "text"},   {PLOT_MARK, "mark"},     {PLOT_INT, "int"},
    {PLOT_MAP, "map"},     {PLOT_FRAME, "frame"},  {PLOT_PANEL, "panel"}, {PLOT_GRID, "grid"},     {PLOT_CONT, "cont"},
    {PLOT_LCONT, "lcont"}, {PLOT_DLN, "dln"},      {PLOT_NDLN, "ndln"},   {PLOT_FCONT, "fcont"},   {PLOT_BCONT, "bcont"},
    {PLOT_GVALUE, "gvalue"}, {PLOT_WIND, "wind"},  {PLOT_VECT, "vect"},   {PLOT_BARB, "barb"},     {PLOT_STRM, "strm"},
    {PLOT_PLOT, "plot"},   {PLOT_CLOUD, "cloud"},  {PLOT_WBARB, "wbarb"}, {PLOT_CBARB, "cbarb"},   {PLOT_DBARB, "dbarb"},
    {PLOT_VBARB, "vbarb"}, {PLOT_SYMB, "symb"},    {PLOT_LINE, "line"},   {PLOT_CONST, "const"},
};

// Named levels: keyword, level type, short form printed back (null: not the preferred
// name of the type), label text.
struct LevelWord {
  const char* word;
  int ltype;
  const char* label;
};
constexpr LevelWord level_words[] = {
    {"none", 0, ""},
    {"snd", 0, ""},
    {"sfc", 1, "Surface"},
    {"sf", 1, "Surface"},
    {"sea", 1, "Surface"},
    {"se", 1, "Surface"},
    {"frz", 4, "Freezing level"},
    {"lcl", 5, "LCL"},
    {"mwnd", 6, "Max wind level"},
    {"trop", 7, "Tropopause"},
    {"sl", 102, "Sea level"},
    {"whole", 200, "Entire atmosphere"},
    {"top_frz", 204, "Highest freezing level"},
    {"gcld_bot", 206, "Grid scale cloud bottom"},
    {"gcld_top", 207, "Grid scale cloud top"},
    {"blcld_bot", 209, "Boundary layer cloud bottom"},
    {"blcld_top", 210, "Boundary layer cloud top"},
    {"blcld_lyr", 211, "Boundary layer cloud layer"},
    {"lcld_bot", 212, "Low cloud bottom"},
    {"lcld_top", 213, "Low cloud top"},
    {"lcld_lyr", 214, "Low cloud layer"},
    {"cld_ceil", 215, "Cloud ceiling"},
    {"mcld_bot", 222, "Middle cloud bottom"},
    {"mcld_top", 223, "Middle cloud top"},
    {"mcld_lyr", 224, "Middle cloud layer"},
    {"hcld_bot", 232, "High cloud bottom"},
    {"hcld_top", 233, "High cloud top"},
    {"hcld_lyr", 234, "High cloud layer"},
    {"conv_bot", 242, "Convective cloud bottom"},
    {"conv_top", 243, "Convective cloud top"},
    {"conv_lyr", 244, "Convective cloud layer"},
    {"wbzero", 245, "Lowest wet bulb zero"},
    {"maxepot", 246, "Max theta-e level"},
    {"equilib", 247, "Equilibrium level"},
    {"sconv_bot", 248, "Shallow convective cloud bottom"},
    {"sconv_top", 249, "Shallow convective cloud top"},
    {"dconv_bot", 251, "Deep convective cloud bottom"},
    {"dconv_top", 252, "Deep convective cloud top"},
    {"sclw_bot", 253, "Supercooled liquid water bottom"},
    {"sclw_top", 254, "Supercooled liquid water top"},
};

// Numeric levels: a unit word with the level types of one level and of a layer (0 when
// the unit has no layer form). Sigma and eta are stored in ten-thousandths (hundredths
// in layers); other values as written. A layer is coded first * 10000 + second, so each
// of its two values must lie in 0..9999. Feet have no standard level type; the package
// keeps them in local types 190-193.
struct LevelUnit {
  const char* unit;
  int single, layer;
  const char* single_label;  // printf format of the label of one level
  const char* layer_label;   // of a layer
  bool fraction;             // sigma and eta
};
constexpr int LAYER_SCALE = 10000;
constexpr LevelUnit level_units[] = {
    {"mb", 100, 101, "%d mb", "%d-%d mb", false},
    {"m", 103, 104, "%d m", "%d-%d m", false},
    {"ft", 190, 191, "%d ft", "%d-%d ft", false},
    {"m_ag", 105, 106, "%d m AG", "%d-%d m AG", false},
    {"ft_ag", 192, 193, "%d ft AG", "%d-%d ft AG", false},
    {"mb_ag", 115, 116, "%d mb AG", "%d-%d mb AG", false},
    {"sig", 107, 108, "%3.2f sigma", "%3.2f-%3.2f sigma", true},
    {"eta", 119, 120, "%3.2f eta", "%3.2f-%3.2f eta", true},
    {"lev", 109, 110, "Level %d", "Levels %d-%d", false},
    {"pv", 117, 0, "%d*10^-6 Km2/kgs", nullptr, false},
    {"k", 113, 114, "%d K", "%d-%d K", false},
    {"cm_bg", 111, 112, "%d cm BG", "%d-%d cm BG", false},
};

struct TimeKind {
  const char* word;
  int kind;
};
constexpr TimeKind time_kinds[] = {
    {"rng", 2}, {"avg", 3},   {"acc", 4},  {"dif", 5},   {"max", 6},
    {"min", 7}, {"iavg", 13}, {"var", 18}, {"uavg", 23},
};

const char* time_kind_word(int kind) {
  for (const TimeKind& k : time_kinds)
    if (k.kind == kind) return k.word;
  return nullptr;
}

// Reads an hour at the front of s: "12", "12hr", "12h", "2d", "2day", "1e", "1.5day",
// "d2", "e1". Returns the number of characters used, 0 when s does not start with one.
std::size_t read_hours(std::string_view s, int* hours, bool suffix = true) {
  std::size_t i = 0;
  int mult = 1, add = 0;
  if (!s.empty() && (s[0] == 'd' || s[0] == 'D' || s[0] == 'e' || s[0] == 'E') && s.size() > 1 &&
      std::isdigit(static_cast<unsigned char>(s[1]))) {
    mult = 24;
    add = (s[0] == 'e' || s[0] == 'E') ? 12 : 0;
    i = 1;
  }
  const std::size_t digits = i;
  long v = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    v = v * 10 + (s[i] - '0');
    if (v > 1000000) return 0;
    ++i;
  }
  if (i == digits) return 0;
  if (mult == 1 && suffix) {
    std::string_view rest = s.substr(i);
    auto starts = [&](std::string_view w) { return rest.size() >= w.size() && ieq(rest.substr(0, w.size()), w); };
    if (starts(".5day")) {
      mult = 24, add = 12, i += 5;
    } else if (starts("day")) {
      mult = 24, i += 3;
    } else if (starts("hr")) {
      i += 2;
    } else if (starts("d")) {
      mult = 24, i += 1;
    } else if (starts("e")) {
      mult = 24, add = 12, i += 1;
    } else if (starts("h")) {
      i += 1;
    }
  }
  const long h = v * mult + add;
  if (h >= 1000000) return 0;  // larger codes are periods
  *hours = static_cast<int>(h);
  return i;
}

int dec_time_text(std::string_view text, int* time, int depth);

// The program's time or level option (resources "time" and "level").
std::string option_text(const char* name) {
  const char* t = RES_get(name);
  return t ? std::string(trim_view(t)) : std::string();
}

int dec_time_text(std::string_view text, int* time, int depth) {
  const std::string t(trim_view(text));
  if (t.empty()) {
    // The program's time option, when one is set, is the default time.
    const std::string opt = depth == 0 ? option_text("time") : std::string();
    if (!opt.empty() && dec_time_text(opt, time, depth + 1)) return 2;
    *time = MISSING_INT;
    return 0;
  }
  if (ieq(t, "time")) {
    const std::string opt = depth == 0 ? option_text("time") : std::string();
    if (opt.empty() || !dec_time_text(opt, time, depth + 1)) *time = MISSING_INT;
    return 2;
  }
  if (ieq(t, "anal") || ieq(t, "init") || ieq(t, "in")) {
    *time = 0;
    return 2;
  }
  if (ieq(t, "miss")) {
    *time = MISSING_INT;
    return 2;
  }
  int end = 0;
  const std::size_t n = read_hours(t, &end);
  if (n == 0) return 0;
  if (n == t.size()) {
    *time = end;
    return 2;
  }
  if (t[n] != '-') return 0;
  // A period: end hour, "-", start hour and the kind word.
  int start = 0;
  const std::string_view rest = std::string_view(t).substr(n + 1);
  auto kind_of = [](std::string_view word) {
    if (word.empty()) return 2;
    for (const TimeKind& k : time_kinds)
      if (ieq(word, k.word)) return k.kind;
    return 0;
  };
  std::size_t m = read_hours(rest, &start);
  if (m == 0) return 0;
  int kind = kind_of(rest.substr(m));
  if (kind == 0) {
    // "12-6dif": the kind word, not a day suffix, follows the start hour.
    m = read_hours(rest, &start, false);
    kind = kind_of(rest.substr(m));
  }
  if (kind == 0) return 0;
  if (start > end || end > 999) return 0;
  *time = kind * 1000000 + (end - start) * 1000 + end;
  return 2;
}

int dec_level_text(std::string_view text, int* ltype, int* lvl, int depth);

int make_layer(int a, int b) { return a * LAYER_SCALE + b; }

// Numeric level "<number><unit>", "<a>-<b><unit>", "<a>+<b><unit>", "sfc[n]", "sfc[n]-<p>mb",
// "sfc-<p>mb".
int dec_numeric_level(const std::string& t, int* ltype, int* lvl) {
  const std::string low = lower_copy(t);
  if (low.rfind("sfc", 0) == 0) {
    std::string_view rest = std::string_view(low).substr(3);
    int index = 0;
    if (!rest.empty() && rest[0] == '[') {
      const std::size_t close = rest.find(']');
      if (close == std::string_view::npos || !parse_uint(rest.substr(1, close - 1), &index)) return 0;
      rest = rest.substr(close + 1);
      if (rest.empty()) {
        if (index >= LAYER_SCALE) return 0;
        *ltype = 1;
        *lvl = index;
        return 1;
      }
    }
    int p = 0;
    if (rest.size() < 4 || rest[0] != '-' || rest.substr(rest.size() - 2) != "mb" ||
        !parse_uint(rest.substr(1, rest.size() - 3), &p) || p <= 0 || p >= LAYER_SCALE || index >= 214748)
      return 0;
    if (index == 0) {
      *ltype = 116;
      *lvl = make_layer(0, p);
    } else {
      *ltype = 1;
      *lvl = make_layer(index, p);
    }
    return 1;
  }
  // Split off the unit: the longest unit word that ends the text.
  const LevelUnit* unit = nullptr;
  for (const LevelUnit& u : level_units) {
    const std::size_t n = std::strlen(u.unit);
    if (low.size() > n && low.compare(low.size() - n, n, u.unit) == 0 && (!unit || n > std::strlen(unit->unit)))
      unit = &u;
  }
  if (!unit) return 0;
  const std::string num = low.substr(0, low.size() - std::strlen(unit->unit));
  std::size_t sep = num.find_first_of("-+", 1);
  if (sep == std::string::npos) {
    if (unit->fraction) {
      double f = 0;
      if (!parse_decimal(num, &f) || f > 10.0) return 0;
      *lvl = static_cast<int>(f * 10000.0 + 0.5);
    } else if (!parse_int(num, lvl)) {
      return 0;
    }
    *ltype = unit->single;
    return 1;
  }
  if (unit->layer == 0) return 0;
  int a = 0, b = 0;
  if (unit->fraction) {
    double fa = 0, fb = 0;
    if (!parse_decimal(num.substr(0, sep), &fa) || !parse_decimal(num.substr(sep + 1), &fb)) return 0;
    if (num[sep] == '+') fb += fa;
    a = static_cast<int>(fa * 100.0 + 0.5);
    b = static_cast<int>(fb * 100.0 + 0.5);
  } else {
    if (!parse_uint(num.substr(0, sep), &a) || !parse_uint(num.substr(sep + 1), &b)) return 0;
    if (num[sep] == '+') b += a;
  }
  if (a >= LAYER_SCALE || b >= LAYER_SCALE) return 0;
  *ltype = unit->layer;
  *lvl = make_layer(a, b);
  return 1;
}

int dec_level_text(std::string_view text, int* ltype, int* lvl, int depth) {
  const std::string t(trim_view(text));
  if (t.empty()) {
    const std::string opt = depth == 0 ? option_text("level") : std::string();
    if (!opt.empty() && dec_level_text(opt, ltype, lvl, depth + 1)) return 1;
    *ltype = MISSING_INT;
    *lvl = MISSING_INT;
    return 0;
  }
  if (ieq(t, "level")) {
    const std::string opt = depth == 0 ? option_text("level") : std::string();
    if (opt.empty() || !dec_level_text(opt, ltype, lvl, depth + 1)) *ltype = *lvl = MISSING_INT;
    return 1;
  }
  if (ieq(t, "miss")) {
    *ltype = *lvl = MISSING_INT;
    return 1;
  }
  for (const LevelWord& w : level_words)
    if (ieq(t, w.word)) {
      *ltype = w.ltype;
      *lvl = 0;
      return 1;
    }
  int lt = 0, lv = 0;
  if (!dec_numeric_level(t, &lt, &lv)) return 0;
  *ltype = lt;
  *lvl = lv;
  return 1;
}

const LevelWord* named_level(int ltype) {
  for (const LevelWord& w : level_words)
    if (w.ltype == ltype) return &w;
  return nullptr;
}

const LevelUnit* level_unit(int ltype, bool* layer) {
  for (const LevelUnit& u : level_units) {
    if (u.single == ltype) {
      *layer = false;
      return &u;
    }
    if (u.layer != 0 && u.layer == ltype) {
      *layer = true;
      return &u;
    }
  }
  return nullptr;
}

// Short or long text of a numeric level; empty when the type is not numeric.
std::string numeric_level_text(int ltype, int lvl, bool label) {
  bool layer = false;
  const LevelUnit* u = level_unit(ltype, &layer);
  if (!u) return std::string();
  const char* unit = u->unit[0] == 'k' ? "K" : u->unit;
  if (!layer) {
    if (u->fraction) {
      const double f = lvl / 10000.0;
      return label ? format_text(u->single_label, f) : format_text("%3.2f%s", f, unit);
    }
    return label ? format_text(u->single_label, lvl) : format_text("%d%s", lvl, unit);
  }
  const int a = lvl / LAYER_SCALE, b = lvl % LAYER_SCALE;
  if (ltype == 116 && a == 0 && !label) return format_text("sfc-%dmb", b);
  if (u->fraction) {
    const double fa = a / 100.0, fb = b / 100.0;
    return label ? format_text(u->layer_label, fa, fb) : format_text("%3.2f-%3.2f%s", fa, fb, unit);
  }
  return label ? format_text(u->layer_label, a, b) : format_text("%d-%d%s", a, b, unit);
}

// ---------------------------------------------------------------- list files

// Reads a line of at most max characters (the rest of a longer line is dropped);
// control characters become blanks. False at the end of the file.
bool read_line(std::FILE* f, std::string* line, std::size_t max) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (c == '\r') continue;
    if (line->size() < max) line->push_back((c < 0x20 && c != '\t') || c == 0x7f ? ' ' : static_cast<char>(c));
  }
  return any;
}

// Whitespace-separated tokens of a line: the first n, and the rest of the line trimmed.
std::vector<std::string> tokens(const std::string& line, int n, std::string* rest) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (static_cast<int>(out.size()) < n) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i >= line.size()) break;
    const std::size_t b = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    out.push_back(line.substr(b, i - b));
  }
  if (rest) *rest = i < line.size() ? std::string(trim_view(std::string_view(line).substr(i))) : std::string();
  return out;
}

void read_varfile() {
  if (st.var_list_read) return;
  st.var_list_read = true;
  std::string used;
  std::FILE* f = FILE_open_data("variable.lup", &used);
  if (!f) {
    MESS_print(MESS_WARN, "VAR_read_varfile: Unable to open file: %s\n", used.c_str());
    return;
  }
  std::string line;
  try {
    while (read_line(f, &line, FILE_LINE_MAX) && static_cast<int>(st.var_list.size()) < VARLIST_MAX) {
      std::string rest;
      const std::vector<std::string> tok = tokens(line, 2, &rest);
      if (tok.size() < 2 || tok[0][0] == '#') continue;
      ListEntry e{};
      e.num = MISSING_INT;
      for (int& p : e.param) p = MISSING_INT;
      const std::vector<std::string> nums = split_fields(tok[0], ',');
      if (!parse_int(nums[0], &e.num)) continue;
      for (std::size_t k = 1; k < nums.size() && k <= 4; ++k)
        if (!parse_int(nums[k], &e.param[k - 1])) e.param[k - 1] = MISSING_INT;
      e.abbr = tok[1].substr(0, 9);
      e.desc = rest.substr(0, 49);
      st.var_list.push_back(std::move(e));
    }
  } catch (const std::bad_alloc&) {
    MESS_print(MESS_ERROR, "VAR_read_varfile: out of memory reading %s\n", used.c_str());
  }
  FILE_close(f);
}

const ListEntry* list_by_number(int num) {
  read_varfile();
  for (const ListEntry& e : st.var_list)
    if (e.num == num) return &e;
  return nullptr;
}

const ListEntry* list_by_abbr(std::string_view abbr) {
  read_varfile();
  for (const ListEntry& e : st.var_list)
    if (ieq(e.abbr, abbr)) return &e;
  return nullptr;
}

// "source.lup" ("%d name") and "mod_name.lup" ("%d name" or "%d:%d name", a range).
void read_named_numbers(const char* file, std::vector<NamedNumber>* out, bool ranges, std::size_t name_max) {
  std::string used;
  std::FILE* f = FILE_open_data(file, &used);
  if (!f) {
    MESS_print(MESS_WARN, "VAR_read_varfile: Unable to open file: %s\n", used.c_str());
    return;
  }
  std::string line;
  try {
    while (read_line(f, &line, FILE_LINE_MAX) && out->size() < FILE_ENTRIES_MAX) {
      std::string rest;
      const std::vector<std::string> tok = tokens(line, 1, &rest);
      if (tok.empty() || tok[0][0] == '#' || rest.empty()) continue;
      NamedNumber n{0, 0, rest.substr(0, name_max)};
      const std::size_t colon = ranges ? tok[0].find(':') : std::string::npos;
      if (colon == std::string::npos) {
        if (!parse_int(tok[0], &n.first)) continue;
        n.last = n.first;
      } else if (!parse_int(tok[0].substr(0, colon), &n.first) || !parse_int(tok[0].substr(colon + 1), &n.last)) {
        continue;
      }
      out->push_back(std::move(n));
    }
  } catch (const std::bad_alloc&) {
    MESS_print(MESS_ERROR, "VAR_read_varfile: out of memory reading %s\n", used.c_str());
  }
  FILE_close(f);
}

const char* named_number(const std::vector<NamedNumber>& list, int number) {
  for (const NamedNumber& n : list)
    if (number >= n.first && number <= n.last) return n.name.c_str();
  return nullptr;
}

// ---------------------------------------------------------------- program variable file

// Reads the entries of the program variable file: "abbr description condition definition",
// lines ending in '\' continued on the next line.
std::vector<FileEntry> read_entries(const std::string& path) {
  std::vector<FileEntry> out;
  if (path.empty()) return out;
  std::FILE* f = FILE_open(path.c_str(), "r");
  if (!f) return out;
  std::string line, next;
  bool truncated = false;
  try {
    while (read_line(f, &line, FILE_LINE_MAX) && out.size() < FILE_ENTRIES_MAX) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      while (!line.empty() && line.back() == '\\') {
        line.pop_back();
        if (!read_line(f, &next, FILE_LINE_MAX)) break;
        std::size_t b = 0;
        while (b < next.size() && std::isspace(static_cast<unsigned char>(next[b]))) ++b;
        line.append(next, b);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (line.size() > FILE_LINE_MAX) {
          truncated = true;
          line.resize(FILE_LINE_MAX);
        }
      }
      std::string rest;
      const std::vector<std::string> tok = tokens(line, 3, &rest);
      if (tok.size() < 3 || tok[0][0] == '#') continue;
      out.push_back(FileEntry{tok[0].substr(0, 8), tok[1].substr(0, 30), tok[2], rest});
    }
  } catch (const std::bad_alloc&) {
    MESS_print(MESS_ERROR, "VAR_read_menu: out of memory reading %s\n", path.c_str());
  }
  if (truncated) MESS_print(MESS_WARN, "VAR_read_menu: over-long entry cut in %s\n", path.c_str());
  FILE_close(f);
  return out;
}

std::string shown_description(const std::string& desc) {
  std::string d = desc;
  for (char& c : d)
    if (c == '_') c = ' ';
  return d;
}

// The entry of the variable file that defines name; null when none does.
const FileEntry* find_entry(const char* name) {
  if (name && *name)
    for (const FileEntry& e : st.file_entries)
      if (e.abbr == name && !e.def.empty()) return &e;
  MESS_print(MESS_DEBUG, "VAR_lookup: not found\n");
  return nullptr;
}

// Whether a menu condition lets the entry show for the current model, time and level.
bool condition_holds(const std::string& cond) {
  if (cond == "1") return true;
  if (cond == "0") return false;
  for (const std::string& alt : split_fields(cond, ',')) {
    bool all = !alt.empty();
    for (const std::string& test : split_fields(alt, '&')) {
      const std::string t(trim_view(test));
      const std::string key = lower_copy(t.substr(0, 3));
      const std::string pattern = t.size() > 3 ? t.substr(3) : std::string();
      const std::string* text = key == "mo="   ? &st.model_str
                                : key == "ft=" ? &st.time_str
                                : key == "le=" ? &st.level_str
                                               : nullptr;
      if (!text || !VAR_menu_display(pattern.c_str(), text->c_str())) {
        all = false;
        break;
      }
    }
    if (all) return true;
  }
  return false;
}

// One alternative of a display pattern against the whole text.
bool match_alternative(std::string_view p, std::string_view t) {
  auto lc = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  // Positions to resume from after a '*' (the last one only: enough for glob matching).
  std::size_t pi = 0, ti = 0, star_p = std::string_view::npos, star_t = 0;
  while (ti < t.size()) {
    bool ok = false;
    std::size_t plen = 1;
    if (pi < p.size()) {
      const char c = p[pi];
      if (c == '*') {
        star_p = ++pi;
        star_t = ti;
        continue;
      }
      if (c == '?' || c == '.') {
        ok = true;
      } else if (c == '[') {
        const std::size_t close = p.find(']', pi + 1);
        if (close == std::string_view::npos) {
          ok = lc(t[ti]) == '[';
        } else {
          plen = close - pi + 1;
          const std::string_view set = p.substr(pi + 1, close - pi - 1);
          const char x = lc(t[ti]);
          for (std::size_t k = 0; k < set.size() && !ok; ++k) {
            if (k + 2 < set.size() && set[k + 1] == '-') {
              ok = x >= lc(set[k]) && x <= lc(set[k + 2]);
              k += 2;
            } else {
              ok = x == lc(set[k]);
            }
          }
        }
      } else {
        ok = lc(c) == lc(t[ti]);
      }
    }
    if (ok) {
      pi += plen;
      ++ti;
    } else if (star_p != std::string_view::npos) {
      pi = star_p;
      ti = ++star_t;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

// ---------------------------------------------------------------- parsing

void note(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void note(const char* fmt, ...) {
  if (++st.notes > NOTES_MAX) {
    if (st.notes == NOTES_MAX + 1) MESS_print(MESS_WARN, "Further warnings about this specification are left out\n");
    return;
  }
  va_list ap;
  va_start(ap, fmt);
  MESS_vprint(MESS_WARN, fmt, ap);
  va_end(ap);
}

VarRec* new_record() {
  if (st.varnum >= VAR_MAX) {
    if (!st.table_full) MESS_print(MESS_WARN, "Too many variables: only %d are kept, the rest is ignored\n", VAR_MAX);
    st.table_full = true;
    return nullptr;
  }
  st.descriptions[st.varnum].clear();
  VarRec* r = &st.var[st.varnum++];
  VAR_data_init(r);
  return r;
}

bool push_base(const Base& b) {
  if (st.base_ind + 1 >= BASE_MAX) {
    MESS_print(MESS_ERROR, "Variable specification nested too deeply (at most %d levels)\n", BASE_MAX - 1);
    st.parse_stop = true;
    return false;
  }
  st.base[++st.base_ind] = b;
  ++st.level;
  return true;
}

void pop_base() {
  if (st.base_ind > 0) --st.base_ind;
  if (st.level > 0) --st.level;
}

const Base& top_base() { return st.base[st.base_ind >= 0 ? st.base_ind : 0]; }

Base base_of(const VarRec& r) { return Base{r.type, r.time, r.tkind, r.ltype, r.level, r.lkind}; }

void append_format(VarRec* r, const std::string& text) {
  if (text.empty()) return;
  std::string f = r->format;
  if (!f.empty()) f += ':';
  f += text;
  copy_bounded(r->format, sizeof r->format, f);
}

// Bracketed parameters: units, plot type (only when no program-wide plot type forces
// one), format.
void apply_params(VarRec* r, const std::string& params) {
  std::vector<std::string> p = split_fields(params, ':');
  for (std::string& s : p) s = std::string(trim_view(s));
  const bool directive = r->flag % 10 == 4;
  if (directive) {
    append_format(r, join(p, 0, ':'));
    return;
  }
  copy_bounded(r->units, sizeof r->units, p[0]);
  std::size_t next = 1;
  const int opt = plot_type_option();
  if (p.size() > 1 && VAR_dec_type(p[1].c_str()) >= 0) {
    if (opt == MISSING_INT || opt == PLOT_NONE) r->type = VAR_dec_type(p[1].c_str());
    next = 2;
  }
  append_format(r, join(p, next, ':'));
}

// Fields after the name in an item: units, plot type, format.
void apply_fields(VarRec* r, const std::vector<std::string>& f, std::size_t from) {
  if (from >= f.size()) return;
  copy_bounded(r->units, sizeof r->units, f[from]);
  std::size_t next = from + 1;
  if (next < f.size() && VAR_dec_type(f[next].c_str()) >= 0) {
    VAR_dec_format(r, f[next].c_str());
    ++next;
  }
  append_format(r, join(f, next, ':'));
}

bool is_directive(const std::string& name, int* type) {
  static constexpr TypeWord directives[] = {{"map", 6}, {"plot", 30}, {"frame", 7}, {"panel", 8}};
  for (const TypeWord& d : directives)
    if (ieq(name, d.word)) {
      *type = d.code;
      return true;
    }
  return false;
}

// Time codes of periods: kind x 1000000 + length x 1000 + end hour, kind 2 (a range)
// when no kind word is given.
constexpr int PERIOD_KIND = 1000000;
bool is_period(int time) { return time != MISSING_INT && time >= 2 * PERIOD_KIND; }

// The user's period with the kind of the definition's when the user named none.
int merged_period(int user, int defined) {
  int kind = user / PERIOD_KIND;
  if (kind == 2 && is_period(defined)) kind = defined / PERIOD_KIND;
  return kind * PERIOD_KIND + user % PERIOD_KIND;
}

void process(std::string_view text);

// Time, level and name of an item; the fields after the name start at *rest.
void split_item(const std::vector<std::string>& f, VarRec* r, std::string* name, std::size_t* rest) {
  const Base& b = top_base();
  r->type = MISSING_INT;
  r->time = b.time;
  r->tkind = b.tkind;
  r->ltype = b.ltype;
  r->level = b.level;
  r->lkind = b.lkind;
  int t = 0;
  // An empty time field keeps the inherited time ("::temp").
  if (f.size() > 2 && (f[0].empty() || VAR_dec_time(f[0].c_str(), &t))) {
    if (!f[0].empty()) {
      r->time = t;
      r->tkind = 2;
    }
    int lt = 0, lv = 0;
    const int k = VAR_dec_level(f[1].c_str(), &lt, &lv);
    if (k) {
      r->ltype = lt;
      r->level = lv;
      r->lkind = k;
    } else if (!f[1].empty()) {
      note("Unknown level: %.80s\n", f[1].c_str());
    }
    *name = f[2];
    *rest = 3;
  } else {
    *name = f[0];
    *rest = 1;
  }
}

bool being_expanded(const std::string& name) {
  for (const std::string& e : st.expanding)
    if (e == name) return true;
  return false;
}

// Bracketed parameters are for what is plotted; function arguments are only computed.
void ignored_params(const std::string& name, const std::string& params) {
  note("Parameters [%.80s] of %.80s inside a function are ignored\n", params.c_str(), name.c_str());
}

void process_nested(char open, const std::string& item, std::string_view args, const std::string& params,
                    bool has_params);

// Whether a top-level item would be drawn as a gridded vector field (arrows, barbs of the
// analysis or streamlines) rather than at the stations.
bool analysed_wind(const VarRec& start, const std::vector<std::string>& f, std::size_t rest,
                   const std::string& params, bool has_params) {
  VarRec probe = start;
  probe.type = MISSING_INT;
  apply_fields(&probe, f, rest);
  if (has_params) apply_params(&probe, params);
  const int opt = plot_type_option();
  const int type = in_range(opt, PLOT_VECT, PLOT_STRM) ? opt : probe.type;
  return in_range(type, PLOT_VECT, PLOT_STRM);
}

// A variable item: directive, macro from the variable file, or a variable.
void process_var(const std::string& item, const std::string& params, bool has_params) {
  std::vector<std::string> f = split_fields(item, ':');
  for (std::string& s : f) s = std::string(trim_view(s));
  int dtype = 0;
  if (is_directive(f[0], &dtype)) {
    VarRec* r = new_record();
    if (!r) return;
    r->type = dtype;
    r->flag = 10 * st.plevel + 4;
    copy_bounded(r->name, sizeof r->name, lower_copy(f[0]));
    append_format(r, join(f, 1, ':'));
    if (has_params) apply_params(r, params);
    return;
  }
  VarRec tmp;
  VAR_data_init(&tmp);
  std::string name;
  std::size_t rest = 0;
  split_item(f, &tmp, &name, &rest);
  if (name.empty()) {
    note("Missing variable name in: %.80s\n", item.c_str());
    return;
  }
  const bool literal = name[0] == '+';
  if (literal) name.erase(0, 1);
  if (st.plevel == 0 && st.vlevel == 0 && ieq(name, "wind") && analysed_wind(tmp, f, rest, params, has_params)) {
    // The station wind is one value of two components; analysed, it needs the two
    // components as grids, taken along the map's axes as an explicit vector would.
    process_nested('<', item, "uwndg,vwndg", params, has_params);
    return;
  }
  if (!literal && !being_expanded(name)) {
    const FileEntry* entry = find_entry(name.c_str());
    if (entry != nullptr) {
      const std::string def = entry->def;
      const std::string desc = shown_description(entry->desc);
      if (++st.expansions > EXPANSIONS_MAX) {
        MESS_print(MESS_ERROR, "Too many named variables expanded (more than %d)\n", EXPANSIONS_MAX);
        st.parse_stop = true;
        return;
      }
      if (!push_base(Base{top_base().type, tmp.time, tmp.tkind, tmp.ltype, tmp.level, tmp.lkind})) return;
      st.expanding.push_back(name);
      const int first = st.varnum;
      process(def);
      st.expanding.pop_back();
      pop_base();
      if (has_params && st.plevel > 0) ignored_params(name, params);
      // Units, type and format given with the name apply to what it expanded to, and so
      // does a period the user gave ("6-0:sfc:mint": the 6-hour minimum, not the file's 24).
      // The description goes with what the name stands for.
      for (int i = first; i < st.varnum; ++i) {
        VarRec* r = &st.var[i];
        if (r->flag / 10 != st.plevel || r->flag % 10 == 4) continue;
        st.descriptions[i] = desc;
        if (tmp.tkind == 2 && is_period(tmp.time)) r->time = merged_period(tmp.time, r->time);
        apply_fields(r, f, rest);
        if (has_params && st.plevel == 0) apply_params(r, params);
      }
      return;
    }
  }
  VarRec* r = new_record();
  if (!r) return;
  *r = tmp;
  r->flag = 10 * st.plevel + (st.vlevel > 0 ? 1 : 0);
  VAR_dec_var(r, name.c_str());
  apply_fields(r, f, rest);
  if (has_params) {
    if (st.plevel == 0)
      apply_params(r, params);
    else
      ignored_params(name, params);
  }
}

// Function, group or vector: the record of NAME, then ARGS one level deeper.
void process_nested(char open, const std::string& item, std::string_view args, const std::string& params,
                    bool has_params) {
  std::vector<std::string> f = split_fields(item, ':');
  for (std::string& s : f) s = std::string(trim_view(s));
  if (st.base_ind + 1 >= BASE_MAX) {
    push_base(top_base());  // reports the nesting error
    return;
  }
  VarRec* r = new_record();
  if (!r) return;
  std::string name;
  std::size_t rest = 0;
  split_item(f, r, &name, &rest);
  if (name.size() > 1 && name[0] == '+') name.erase(0, 1);
  const bool sub = st.vlevel > 0;
  const int kind = open == '(' ? (sub ? 3 : 2) : open == '{' ? 5 : 6;
  r->flag = 10 * st.plevel + kind;
  VAR_dec_var(r, name.c_str());
  apply_fields(r, f, rest);
  if (has_params && st.plevel == 0) apply_params(r, params);
  const Base inherited = base_of(*r);
  if (open == '(' && grid_vect_func != nullptr && grid_vect_func(name.c_str())) {
    MESS_print(MESS_DEBUG, "VECT FUNC: %s\n", name.c_str());
    const VarRec copy = *r;
    VarRec* second = new_record();
    if (!second) return;
    *second = copy;
    second->flag = 10 * st.plevel + (sub ? 9 : 8);
  }
  if (!push_base(inherited)) return;
  if (open == '(') {
    ++st.plevel;
    process(args);
    --st.plevel;
  } else {
    ++st.vlevel;
    process(args);
    --st.vlevel;
  }
  pop_base();
}

char closer_of(char open) { return open == '(' ? ')' : open == '{' ? '}' : open == '<' ? '>' : ']'; }

const char* unmatched_message(char c) {
  switch (c) {
    case '<':
    case '>':
      return "Unmatched <>\n";
    case '[':
    case ']':
      return "Unmatched []\n";
    default:
      return "Unmatched ()\n";
  }
}

// Index of the bracket closing the one at pos (same kind, escapes skipped), or npos.
std::size_t find_close(std::string_view s, std::size_t pos) {
  const char open = s[pos], close = closer_of(open);
  int depth = 0;
  for (std::size_t i = pos; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
      continue;
    }
    if (s[i] == open) ++depth;
    if (s[i] == close && --depth == 0) return i;
  }
  return std::string_view::npos;
}

bool is_special(char c) { return std::strchr(",(){}<>[]", c) != nullptr; }

// Ensemble products carry a bracket in their names: "ens[+2]temp", "ensmean[]temp".
bool ensemble_prefix(const std::string& name) {
  const std::size_t colon = name.rfind(':');
  std::string last = lower_copy(colon == std::string::npos ? name : name.substr(colon + 1));
  if (!last.empty() && last[0] == '+') last.erase(0, 1);
  return last == "ens" || last == "ensmean" || last == "ensdev";
}

void process(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && !st.parse_stop && !st.table_full) {
    std::string item;
    while (i < n) {
      const char c = text[i];
      if (c == '\\' && i + 1 < n) {
        item += text[i + 1];
        i += 2;
        continue;
      }
      if (c == '[' && ensemble_prefix(item)) {
        const std::size_t close = find_close(text, i);
        if (close == std::string_view::npos) break;
        item.append(text.substr(i, close - i + 1));
        i = close + 1;
        continue;
      }
      if (is_special(c)) break;
      if (!std::isspace(static_cast<unsigned char>(c))) item += c;
      ++i;
    }
    const char c = i < n ? text[i] : ',';
    if (c == ',') {
      ++i;
      if (!item.empty()) process_var(item, std::string(), false);
      continue;
    }
    if (c == ')' || c == '}' || c == '>' || c == ']') {
      MESS_print(MESS_ERROR, "%s", unmatched_message(c));
      st.parse_stop = true;
      return;
    }
    const std::size_t close = find_close(text, i);
    if (close == std::string_view::npos) {
      MESS_print(MESS_ERROR, "%s", unmatched_message(c));
      st.parse_stop = true;
      return;
    }
    std::string_view args;
    std::string params;
    bool has_params = false;
    if (c == '[') {
      params = std::string(text.substr(i + 1, close - i - 1));
      has_params = true;
    } else {
      args = text.substr(i + 1, close - i - 1);
    }
    i = close + 1;
    while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (c != '[' && i < n && text[i] == '[') {
      const std::size_t pclose = find_close(text, i);
      if (pclose == std::string_view::npos) {
        MESS_print(MESS_ERROR, "%s", unmatched_message('['));
        st.parse_stop = true;
        return;
      }
      params = std::string(text.substr(i + 1, pclose - i - 1));
      has_params = true;
      i = pclose + 1;
    }
    while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < n && text[i] != ',') {
      // Text after a closing bracket belongs to no item.
      std::size_t end = i;
      while (end < n && text[end] != ',') ++end;
      note("Ignored text in variable specification: %.*s\n", static_cast<int>(std::min<std::size_t>(end - i, 80)),
           text.data() + i);
      i = end;
    }
    if (c == '[') {
      if (item.empty())
        note("Parameters [%.80s] without a variable are ignored\n", params.c_str());
      else
        process_var(item, params, true);
    } else if (item.empty() && c == '(') {
      // Plain parentheses: a list at the same level, still one level of nesting.
      if (push_base(top_base())) {
        process(args);
        pop_base();
      }
    } else {
      process_nested(c, item, args, params, has_params);
    }
  }
}

// A label: the level text first when the label style shows levels, " (units)" last.
std::string label(int ltype, int lvl, const std::string& body, const char* units) {
  const int style = st.lab_type;
  std::string s;
  if (style >= -1 && style <= 1) {
    s = VAR_make_datalevel(ltype, lvl);
    if (!s.empty()) s += ' ';
  }
  s += body;
  if (units && *units) s += format_text(" (%s)", units);
  return s;
}

// Description of the list entry of a var number (mod 1000), abbreviation when short.
std::string var_text(int num, bool short_form) {
  const ListEntry* e = list_by_number(num % 1000);
  if (!e) {
    MESS_print(MESS_DEBUG, "VAR_str: no var: %d\n", num);
    return format_text("v%d", num);
  }
  return short_form || e->desc.empty() ? e->abbr : e->desc;
}

}  // namespace

// ====================================================================== set-up

void VAR_set_def_type(int type) { st.def_type = type; }
int VAR_get_def_type() { return st.def_type; }

void VAR_reset_state() { st = VarState{}; }

int VAR_open_file(const char* name) {
  std::string file;
  if (name && *name) {
    file = name;
  } else {
    char prog[RES_TEXT_LEN];
    RES_get_progname(prog);
    file = std::string(*prog ? prog : "stacont") + ".var";
  }
  std::string used;
  std::FILE* f = FILE_open_data(file, &used);
  if (!f) {
    MESS_print(MESS_WARN, "VAR_open_file: Unable to open var file: %s\n",
               used.empty() ? file.c_str() : used.c_str());
    st.var_file.clear();
    st.file_entries.clear();
    st.menu_items.clear();
    return 0;
  }
  FILE_close(f);
  st.var_file = used;
  st.file_entries = read_entries(st.var_file);
  return 1;
}

int VAR_read_menu() {
  st.menu_items.clear();
  if (st.var_file.empty()) return 0;
  bool warned = false;
  for (const FileEntry& e : st.file_entries) {
    if (!condition_holds(e.cond)) continue;
    if (static_cast<int>(st.menu_items.size()) >= MENU_MAX) {
      if (!warned)
        MESS_print(MESS_WARN, "VAR_read_menu: more than %d menu entries, the rest are left out\n", MENU_MAX);
      warned = true;
      continue;
    }
    st.menu_items.push_back(FileEntry{e.abbr, shown_description(e.desc), e.cond, e.def});
  }
  return static_cast<int>(st.menu_items.size());
}

int VAR_menu(const char* title, const char* prompt, char* answer, int mode) {
  if (FLAG_batch()) {
    if (answer) copy_bounded(answer, MENU_ANSWER_LEN, st.menu_items.empty() ? "def" : st.menu_items[0].abbr);
    return 1;
  }
  std::vector<MenuEntry> menu;
  menu.push_back(MenuEntry{"main", "Return to main menu", 0, {1, 1, 1, 1}});
  for (std::size_t k = 0; k < st.menu_items.size(); ++k)
    menu.push_back(
        MenuEntry{st.menu_items[k].abbr.c_str(), st.menu_items[k].desc.c_str(), static_cast<int>(k + 1), {1, 1, 1, 1}});
  menu.push_back(MenuEntry{nullptr, nullptr, 0, {0, 0, 0, 0}});
  char buf[MENU_ANSWER_LEN];
  for (;;) {
    buf[0] = '\0';
    const int v = MENU_process(title ? title : "", menu.data(), 0, prompt ? prompt : "", buf, mode);
    if (v == MISSING_INT && stricmp(std::string(trim_view(buf)).c_str(), "list") == 0) {
      VAR_print_file();
      continue;
    }
    if (answer) {
      if (v > 0 && v <= static_cast<int>(st.menu_items.size()))
        copy_bounded(answer, MENU_ANSWER_LEN, st.menu_items[v - 1].abbr);
      else
        copy_bounded(answer, MENU_ANSWER_LEN, buf);
    }
    return v;
  }
}

int VAR_print_file() {
  if (st.var_file.empty()) {
    MESS_print(MESS_PRINT, "No variable file\n");
    return 0;
  }
  const std::vector<FileEntry> entries = read_entries(st.var_file);
  MESS_print(MESS_PRINT, " Abbr    Description\n");
  for (const FileEntry& e : entries)
    MESS_print(MESS_PRINT, "%-8s %-50s\n", e.abbr.c_str(), shown_description(e.desc).c_str());
  return static_cast<int>(entries.size());
}

int VAR_check_request(const char* spec) {
  const std::size_t n = spec != nullptr ? std::strlen(spec) : 0;
  if (n <= VAR_REQUEST_MAX) return 1;
  // A request cut short would be parsed into something the user did not ask for.
  MESS_print(MESS_ERROR, "VAR_setup: Variable request of %zu characters is longer than %zu: %.40s...\n", n,
             VAR_REQUEST_MAX, spec);
  if (FLAG_batch()) ZAV_fail(ZAV_STATUS_VARIABLE);
  return 0;
}

int VAR_setup(const char* file, const char* spec) {
  VAR_param_decode();
  VAR_init();
  std::string_view text = spec ? spec : "";
  if (file && *file) VAR_open_file(file);
  if (!VAR_check_request(spec)) return 0;
  if (text.size() >= 3 && ieq(text.substr(0, 3), "fi:")) {
    text.remove_prefix(3);
    const std::size_t colon = text.find(':');
    const std::string name(trim_view(text.substr(0, colon)));
    text = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    VAR_open_file(name.c_str());
  }
  st.varnum = 0;
  st.level = -1;
  st.plevel = 0;
  st.vlevel = 0;
  st.parse_stop = false;
  st.table_full = false;
  st.expanding.clear();
  st.expansions = 0;
  st.notes = 0;
  for (Base& b : st.base) b = Base{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  st.base_ind = -1;
  Base b0{plot_type_option(), MISSING_INT, 0, MISSING_INT, MISSING_INT, 0};
  b0.tkind = VAR_dec_time("", &b0.time);
  b0.lkind = VAR_dec_level("", &b0.ltype, &b0.level);
  push_base(b0);
  try {
    process(text);
  } catch (const std::bad_alloc&) {
    MESS_print(MESS_ERROR, "VAR_setup: out of memory\n");
  }
  st.expanding.clear();
  int good = 0;
  for (int i = 0; i < st.varnum; ++i) {
    MESS_print(MESS_DEBUG, "Var: %d -- ", i);
    VAR_print(&st.var[i]);
    if (st.var[i].flag >= 0) good = 1;
  }
  if (!good) {
    MESS_print(MESS_WARN, "Unable to determine variables\n");
    if (FLAG_batch()) ZAV_fail(ZAV_STATUS_VARIABLE);
  }
  return good;
}

std::string VAR_lookup(const char* name) {
  const FileEntry* e = find_entry(name);
  return e != nullptr ? e->def : std::string();
}

std::string VAR_get_description(int i) { return valid_index(i) ? st.descriptions[i] : std::string(); }

void VAR_param_decode() {
  int count = 0;
  char** list = nullptr;
  if (RES_getvals("plot_param", &count, &list) <= 0) return;
  for (int k = 0; k < count; ++k) {
    const std::string w = lower_copy(std::string(trim_view(list[k] ? list[k] : ""))).substr(0, 4);
    if (w == "labm") st.lab_type = -2;
    if (w == "labs") st.lab_type = -1;
    if (w == "labn") st.lab_type = 0;
    if (w == "labc") st.lab_type = 1;
  }
  free_parsed_array(count, list);
}

void VAR_set_model_str(const char* text) { st.model_str = text ? text : ""; }
void VAR_set_time_str(const char* text) { st.time_str = text ? text : ""; }
void VAR_set_level_str(const char* text) { st.level_str = text ? text : ""; }

int VAR_menu_display(const char* pattern, const char* text) {
  if (!pattern || !text || !*pattern || !*text) return 0;
  for (const std::string& alt : split_fields(pattern, '|')) {
    std::string_view p = alt;
    bool negate = false;
    if (!p.empty() && p[0] == '~') {
      negate = true;
      p.remove_prefix(1);
    }
    if (match_alternative(p, text) != negate) return 1;
  }
  return 0;
}

// ====================================================================== table access

VarRec* VAR_get_vars() { return st.var; }
VarRec* VAR_get_var(int i) { return i >= 0 && i < VAR_MAX ? &st.var[i] : nullptr; }
int VAR_get_num() { return st.varnum; }
const char* VAR_get_name(int i) { return i >= 0 && i < VAR_MAX ? st.var[i].name : ""; }
const char* VAR_get_units(int i) { return i >= 0 && i < VAR_MAX ? st.var[i].units : ""; }
const char* VAR_get_format(int i) { return i >= 0 && i < VAR_MAX ? st.var[i].format : ""; }
int VAR_get_time(int i) { return i >= 0 && i < VAR_MAX ? st.var[i].time : MISSING_INT; }
int VAR_get_type(int i) { return i >= 0 && i < VAR_MAX ? st.var[i].type : MISSING_INT; }
int VAR_get_flag(int i) { return i >= 0 && i < VAR_MAX ? st.var[i].flag : MISSING_INT; }
std::string VAR_get_time_key(int i) { return std::to_string(VAR_get_time(i)); }
std::string VAR_get_level_key(int i) { return std::to_string(i >= 0 && i < VAR_MAX ? st.var[i].level : MISSING_INT); }

void VAR_copy(VarRec* dst, const VarRec* src) {
  if (!dst || !src) return;
  *dst = *src;
  dst->type = MISSING_INT;
  dst->name[0] = '\0';
  dst->format[0] = '\0';
}

void VAR_data_init(VarRec* v) {
  if (!v) return;
  std::memset(v, 0, sizeof *v);
  v->type = MISSING_INT;
  v->var = MISSING_INT;
  for (int& p : v->param) p = MISSING_INT;
  v->time = MISSING_INT;
  v->ltype = MISSING_INT;
  v->level = MISSING_INT;
}

void VAR_init() {
  for (VarRec& v : st.var) VAR_data_init(&v);
  st.varnum = 0;
}

void VAR_print(const VarRec* v) {
  if (!v) return;
  MESS_print(MESS_DEBUG, "V: %-10s ", v->name);
  MESS_print(MESS_DEBUG, "U: %-10s ", v->units);
  MESS_print(MESS_DEBUG, "FH: %7ld ", static_cast<long>(v->time));
  MESS_print(MESS_DEBUG, "LT: %6d ", v->ltype);
  MESS_print(MESS_DEBUG, "L: %7ld ", static_cast<long>(v->level));
  MESS_print(MESS_DEBUG, "VN: %6d ", v->var);
  MESS_print(MESS_DEBUG, "T: %5s ", VAR_print_type(v->type));
  MESS_print(MESS_DEBUG, "F: %2d ", v->flag);
  MESS_print(MESS_DEBUG, "FM: %s\n", v->format);
}

// ====================================================================== keywords

int VAR_dec_type(const char* text) {
  if (!text) return -1;
  const std::string t(trim_view(text));
  for (const TypeWord& w : type_words)
    if (ieq(t, w.word)) return w.code;
  return -1;
}

const char* VAR_print_type(int type) {
  for (const TypeName& n : type_names)
    if (n.code == type) return n.name;
  return "----";
}

int VAR_dec_level(const char* text, int* ltype, int* lvl) {
  int lt = MISSING_INT, lv = MISSING_INT;
  const int k = dec_level_text(text ? text : "", &lt, &lv, 0);
  if (k || !text || !*text) {
    if (ltype) *ltype = lt;
    if (lvl) *lvl = lv;
  }
  return k;
}

int VAR_dec_time(const char* text, int* time) {
  int t = MISSING_INT;
  const int k = dec_time_text(text ? text : "", &t, 0);
  if ((k || !text || !*text) && time) *time = t;
  return k;
}

std::string VAR_level(int ltype, int lvl) {
  if (ltype == MISSING_INT) return "miss";
  if (ltype == 1 && lvl != 0 && lvl != MISSING_INT) {
    if (lvl >= LAYER_SCALE) return format_text("sfc[%d]-%dmb", lvl / LAYER_SCALE, lvl % LAYER_SCALE);
    return format_text("sfc[%d]", lvl);
  }
  if (const LevelWord* w = named_level(ltype)) return w->word;
  return numeric_level_text(ltype, lvl, false);
}

std::string VAR_time(int time) {
  if (time == MISSING_INT) return "miss";
  if (time < 1000000) return format_text("%dhr", time);
  const int end = time % 1000, len = time / 1000 % 1000, kind = time / 1000000;
  std::string s = format_text("%dhr-%d", end, end - len);
  if (kind != 2) {
    const char* w = time_kind_word(kind);
    s += w ? w : format_text("k%d", kind).c_str();
  }
  return s;
}

std::string VAR_make_datalevel(int ltype, int lvl) {
  if (ltype == MISSING_INT || ltype == 0) return std::string();
  if (ltype == 1 && lvl != 0 && lvl != MISSING_INT) {
    if (lvl >= LAYER_SCALE) return format_text("Surface[%d]-%d mb", lvl / LAYER_SCALE, lvl % LAYER_SCALE);
    return format_text("Surface[%d]", lvl);
  }
  if (const LevelWord* w = named_level(ltype)) return w->label;
  std::string s = numeric_level_text(ltype, lvl, true);
  if (s.empty()) MESS_print(MESS_DEBUG, "VAR_make_datatype: no ltype: %d\n", ltype);
  return s;
}

int VAR_dec_format(VarRec* v, const char* text) {
  if (!v || !text) return 0;
  int result = 0;
  for (const std::string& field : split_fields(text, ':')) {
    const int t = VAR_dec_type(field.c_str());
    if (t >= 0) {
      v->type = t;
      result = 2;
    }
  }
  const int opt = plot_type_option();
  if ((v->type == PLOT_WIND || v->type == PLOT_VECT || v->type == PLOT_STRM || v->type == PLOT_PLOT) && opt != MISSING_INT &&
      opt != PLOT_NONE) {
    v->type = PLOT_CONT;
    if (result == 0) result = 1;
  }
  return result;
}

int VAR_dec_var(VarRec* v, const char* name_in) {
  if (!v || !name_in) return 0;
  std::string name(trim_view(name_in));
  copy_bounded(v->name, sizeof v->name, name);
  if (!name.empty() && name[0] == '#') {
    v->type = PLOT_CONST;
    return 1;
  }
  const int kind = v->flag % 10;
  const int opt = plot_type_option();
  const int parent = top_base().type;
  const bool opt_grid = in_range(opt, PLOT_LCONT, PLOT_GVALUE) || in_range(opt, PLOT_VECT, PLOT_STRM);
  int type = MISSING_INT;
  int func = 0;
  if (kind == 2 || kind == 3 || kind == 8 || kind == 9) func = grid_func_class != nullptr ? grid_func_class(name.c_str()) : 0;
  if (kind == 6)
    type = in_range(opt, PLOT_GRID, PLOT_STRM) ? opt : PLOT_GRID;
  else if (func > 0)
    type = in_range(opt, PLOT_GRID, PLOT_STRM) ? opt : func;
  else if (in_range(parent, PLOT_GRID, PLOT_STRM))
    type = opt_grid ? opt : PLOT_GRID;
  else if (opt_grid)
    type = opt;
  if (type == MISSING_INT) type = v->type != MISSING_INT ? v->type : st.def_type;
  v->type = type;

  // Ensemble products: prefix before the variable name.
  int ens = 0;
  std::string rest = name;
  const std::string low = lower_copy(name);
  if (low.rfind("ensmean[]", 0) == 0) {
    ens = 19000000;
    rest = name.substr(9);
  } else if (low.rfind("ensdev[]", 0) == 0) {
    ens = 19001000;
    rest = name.substr(8);
  } else if (low.rfind("ens[", 0) == 0) {
    const std::size_t close = name.find(']');
    if (close != std::string::npos) {
      std::string member = low.substr(4, close - 4);
      char sign = 'c';
      if (!member.empty() && (member[0] == '-' || member[0] == '+' || member[0] == 'c')) {
        sign = member[0];
        member.erase(0, 1);
      }
      int n = 0;
      if ((member.empty() && sign == 'c') || (parse_uint(member, &n) && n < 1000)) {
        ens = sign == '-' ? 19320000 + 1000 * n : sign == '+' ? 19340000 + 1000 * n : 19300000;
        rest = name.substr(close + 1);
      }
    }
  }
  std::string base_name = rest.substr(0, rest.find('-'));
  if (!base_name.empty() && base_name[0] == '+') base_name.erase(0, 1);
  int number = 0;
  const ListEntry* e = nullptr;
  if (parse_uint(base_name, &number)) {
    e = list_by_number(number);
    if (e) {
      copy_bounded(v->name, sizeof v->name, e->desc);
    } else {
      v->var = number + ens;
      return 0;
    }
  } else {
    e = list_by_abbr(base_name);
  }
  if (!e) {
    v->var = ens;
    return 0;
  }
  v->var = e->num + ens;
  for (int k = 0; k < 4; ++k) v->param[k] = e->param[k];
  return 1;
}

// Number of a variable of the variable list by abbreviation (the text before a '-'),
// 0 when the list has no such entry.
int VAR_search_var_num(const char* name) {
  if (!name) return 0;
  std::string base_name(trim_view(name));
  base_name = base_name.substr(0, base_name.find('-'));
  const ListEntry* e = list_by_abbr(base_name);
  return e ? e->num : 0;
}

int VAR_list_has(int var) { return var > 0 && list_by_number(var % 1000) != nullptr; }

// ====================================================================== labels

std::string VAR_make_datatype(int /*time*/, int ltype, int lvl, int num, const char* units) {
  return label(ltype, lvl, var_text(num, st.lab_type < 0), units);
}

std::string VAR_make_var_datatype(int i) {
  if (!valid_index(i)) return std::string();
  const VarRec& r = st.var[i];
  if (r.type == PLOT_CONST) return r.name;
  // Not in the variable list: its own name stands for it.
  if (r.var == 0 || r.var == MISSING_INT) return label(r.ltype, r.level, r.name, r.units);
  return VAR_make_datatype(r.time, r.ltype, r.level, r.var, r.units);
}

std::string VAR_make_var_form_datatype(int i) {
  if (!valid_index(i)) return std::string();
  const VarRec& r = st.var[i];
  const int k = r.flag % 10;
  if (k != 2 && k != 3) return VAR_make_var_datatype(i);
  // A function: its name with the descriptions of its arguments.
  const int depth = r.flag / 10;
  std::string args;
  int j = i + 1;
  if (j < st.varnum && (st.var[j].flag % 10 == 8 || st.var[j].flag % 10 == 9) && st.var[j].flag / 10 == depth) ++j;
  for (; j < st.varnum && st.var[j].flag / 10 > depth; ++j) {
    if (st.var[j].flag / 10 != depth + 1) continue;
    if (!args.empty()) args += ", ";
    args += st.var[j].type == PLOT_CONST ? std::string(st.var[j].name + 1) : var_text(st.var[j].var, true);
  }
  return label(r.ltype, r.level, std::string(r.name) + "(" + args + ")", r.units);
}

std::string VAR_str(int num) { return var_text(num, false); }

const char* VAR_source(int source) {
  if (!st.sources_read) {
    st.sources_read = true;
    read_named_numbers("source.lup", &st.sources, false, 40);
  }
  return named_number(st.sources, source);
}

const char* VAR_model(int model) {
  if (!st.models_read) {
    st.models_read = true;
    read_named_numbers("mod_name.lup", &st.models, true, 79);
  }
  return named_number(st.models, model);
}

void VAR_set_label_type(int type) { st.lab_type = type; }
int VAR_get_label_type() { return st.lab_type; }

void VAR_set_grid_funcs(int (*func_class)(const char* name), int (*vect_func)(const char* name)) {
  grid_func_class = func_class;
  grid_vect_func = vect_func;
}

// ====================================================================== predicates

namespace {
int role(int i) { return valid_index(i) ? st.var[i].flag : MISSING_INT; }
int kind(int i) { return valid_index(i) ? st.var[i].flag % 10 : MISSING_INT; }
int type_of(int i) { return valid_index(i) ? st.var[i].type : MISSING_INT; }
bool grid_type(int i) { return in_range(type_of(i), PLOT_GRID, PLOT_STRM); }
}  // namespace

int VAR_is_REG(int i) { return kind(i) == 0; }
int VAR_is_SUBREG(int i) { return kind(i) == 1; }
int VAR_is_FUNC(int i) { return kind(i) == 2; }
int VAR_is_SUBFUNC(int i) { return kind(i) == 3; }
int VAR_is_COMP(int i) { return kind(i) == 5; }
int VAR_is_VECT(int i) { return kind(i) == 6; }
int VAR_is_FUNC_VECT(int i) { return kind(i) == 8 || (kind(i) == 2 && kind(i + 1) == 8); }
int VAR_is_SUBFUNC_VECT(int i) { return kind(i) == 9; }
int VAR_is_LABEL(int i) {
  const int r = role(i);
  return r == 0 || r == 2 || r == 5 || r == 6;
}
int VAR_is_PLOT(int i) { return valid_index(i) && role(i) < 5; }
int VAR_is_SUBPLOT(int i) { return valid_index(i) && (role(i) < 3 || role(i) == 10); }
int VAR_is_SUBCALC(int i) { return valid_index(i) && kind(i) < 2; }
// Data gathered at the stations: plain variables at the top and inside groups or
// vectors (kinds 0 and 1), the same records as VAR_is_SUBCALC; functions are computed
// from those grids afterwards.
int VAR_is_CALC(int i) { return VAR_is_SUBCALC(i); }
int VAR_is_DATA(int i) { return valid_index(i) && role(i) <= 10 && !in_range(type_of(i), PLOT_WIND, PLOT_STRM); }
int VAR_is_PANEL(int i) { return valid_index(i) && type_of(i) == PLOT_PANEL; }
int VAR_is_FRAME(int i) { return valid_index(i) && type_of(i) == PLOT_FRAME; }
int VAR_is_type_MAP(int i) { return valid_index(i) && type_of(i) == PLOT_MAP; }
int VAR_is_type_PLOT(int i) {
  const int t = type_of(i);
  return valid_index(i) && t != PLOT_MAP && t != PLOT_FRAME && t != PLOT_PANEL && !in_range(t, PLOT_GRID, PLOT_STRM);
}
int VAR_is_type_GRID(int i) { return grid_type(i) && kind(i) < 4; }
int VAR_is_type_CONT(int i) { return in_range(type_of(i), PLOT_GRID, PLOT_GVALUE); }
int VAR_is_type_VECT(int i) { return in_range(type_of(i), PLOT_WIND, PLOT_STRM); }
int VAR_is_plot_PLOT(int i) { return VAR_is_PLOT(i) && VAR_is_type_PLOT(i); }
int VAR_is_plot_VECT(int i) { return role(i) <= 9 && VAR_is_VECT(i); }
int VAR_is_plot_FUNC(int i) { return role(i) <= 9 && VAR_is_FUNC(i); }
int VAR_is_plot_FUNC_VECT(int i) { return role(i) <= 9 && VAR_is_FUNC_VECT(i); }
int VAR_is_plot_GRID(int i) { return VAR_is_PLOT(i) && grid_type(i); }
int VAR_is_subplot_GRID(int i) { return VAR_is_SUBPLOT(i) && in_range(type_of(i), PLOT_CONT, PLOT_STRM); }
int VAR_is_plot_CONT(int i) { return in_range(type_of(i), PLOT_CONT, PLOT_GVALUE); }
int VAR_is_calc_GRID(int i) { return (VAR_is_FUNC(i) || VAR_is_SUBFUNC(i)) && grid_type(i); }
int VAR_is_fit_GRID(int i) { return VAR_is_CALC(i) && grid_type(i); }
int VAR_is_get_GRID(int i) { return valid_index(i) && !VAR_is_FUNC(i) && grid_type(i); }
