// The colour table and attribute strings.
#include "graphics/colors.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "config/datafile.h"
#include "config/fileio.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_text.h"

namespace {

// The colour table read from the user's file, and how many of its entries are fills.
struct ClrState {
  std::vector<ClrEntry> colors;
  int num_fill = 0;
};
ClrState st;

constexpr std::size_t max_line = 100;
// A file that goes wrong on every line is reported on its first few only.
constexpr int max_warnings = 5;

struct {
  const char* name;
  int index;
} const print_colors[] = {{"pblk", 500}, {"pbblk", 501}, {"ptblk", 502}, {"pwht", 503}, {"pbwht", 504},
                    {"ptwht", 505}, {"pgry", 506}, {"pbgry", 507}, {"ptgry", 508}};

struct {
  const char* name;
  int type;
} const line_styles[] = {{"sol", 1}, {"dsh", 2}, {"lsdsh", 3}, {"llsdsh", 4}, {"dot", 5}};

struct {
  const char* name;
  int index;
} const fill_names[] = {{"sol", 0},  {"st", 1},   {"ost", 2},  {"rst", 3},  {"lst", 4},  {"vln", 5},  {"||", 5},
                  {"dlr", 6},  {"\\\\", 6}, {"drl", 7},  {"//", 7},   {"hln", 8},  {"--", 8},   {"hat", 9},
                  {"XX", 9},   {"clr", 10}, {"0%", 10},  {"1%", 11},  {"2%", 12},  {"3%", 13},  {"4%", 14},
                  {"5%", 15},  {"6%", 16},  {"7%", 17},  {"8%", 18},  {"9%", 19}};

// In this order: the first name a string begins with wins.
struct {
  const char* name;
  int type;
} const marker_names[] = {{"pnt", 1},    {".", 1},   {"plus", 2},   {"+", 2}, {"star", 3}, {"*", 3},
                    {"crcl", 4},   {"circle", 4}, {"o", 4},   {"x", 5}, {"sqr", 6},  {"square", 6},
                    {"#", 6},      {"tri", 7}, {"^", 7},      {"itri", 9}, {"v", 9}, {"dot", 8}};

// A user's text as it can be shown in a message: cut short, control bytes as '?'.
// Text of a file shown in a message: control bytes made visible and its length bounded.
std::string printable(std::string_view s, std::size_t limit = 40) {
  std::string out(s.substr(0, limit));
  for (char& c : out)
    if (!std::isprint(static_cast<unsigned char>(c))) c = '?';
  if (s.size() > limit) out += "...";
  return out;
}

// A file's name in a message: whole, as a user needs it to find the file, up to a bound
// that keeps a hostile name from filling the terminal.
std::string printable_path(std::string_view s) { return printable(s, 1024); }

bool to_float(const std::string& s, float* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const float f = std::strtof(s.c_str(), &end);
  if (end == s.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(f)) return false;
  *v = f;
  return true;
}

bool to_int(const std::string& s, int* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str() || *end != '\0' || errno == ERANGE || n < -1000000000L || n > 1000000000L) return false;
  *v = static_cast<int>(n);
  return true;
}

bool is_integer(const std::string& s) {
  int v = 0;
  return to_int(s, &v);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// "#rrggbb" (hexadecimal) or, with decimal allowed, "#rrrgggbbb" (0-255 each).
bool parse_rgb(const std::string& s, bool decimal, float rgb[3]) {
  if (s.size() == 7 && s[0] == '#') {
    for (int k = 0; k < 3; ++k) {
      const int hi = hex_digit(s[1 + 2 * k]), lo = hex_digit(s[2 + 2 * k]);
      if (hi < 0 || lo < 0) return false;
      rgb[k] = static_cast<float>(hi * 16 + lo) / 255.0F;
    }
    return true;
  }
  if (decimal && s.size() == 10 && s[0] == '#') {
    for (int k = 0; k < 3; ++k) {
      int v = 0;
      for (int d = 0; d < 3; ++d) {
        const char c = s[1 + 3 * k + d];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
      }
      if (v > 255) return false;
      rgb[k] = static_cast<float>(v) / 255.0F;
    }
    return true;
  }
  return false;
}

bool fraction_ok(float v) { return v >= 0.0F && v <= 1.0F; }

// Reads one line of at most max_line characters (the rest of a longer line is skipped
// and *too_long set); false at the end of the file.
bool read_line(std::FILE* f, std::string& line, bool* too_long, bool* binary, bool* ended) {
  line.clear();
  *too_long = false;
  *binary = false;
  *ended = false;
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') {
      *ended = true;
      break;
    }
    if (c == '\0' || (c < 0x20 && c != '\t' && c != '\r')) *binary = true;
    if (line.size() < max_line + 1)
      line.push_back(static_cast<char>(c));
    else
      *too_long = true;
  }
  if (line.size() > max_line) *too_long = true;
  return any;
}

class TableReader {
 public:
  TableReader(std::string path, bool count_fill) : path_(std::move(path)), count_fill_(count_fill) {}

  void read(std::FILE* f) {
    std::string line;
    bool too_long = false, binary = false, line_ended = true;
    bool ended = false;
    while (read_line(f, line, &too_long, &binary, &line_ended)) {
      ++line_no_;
      // Editors end every line: a last line without its end is a file cut short, and its
      // entry may hold a cut number.
      if (!line_ended && !binary && stricmp(std::string(trim_view(line)).c_str(), "END") != 0)
        warn("the file ends in the middle of this line (cut short?)", std::string(trim_view(line)));
      if (binary) {
        warn("not a line of text");
        if (++junk_ >= 3 && read_ == 0) {
          MESS_print(MESS_WARN, "CLR_read_table: %s is not a colour table\n", printable_path(path_).c_str());
          return;
        }
        continue;
      }
      if (too_long) {
        warn("line longer than 100 characters");
        continue;
      }
      const std::string t(trim_view(line));
      if (t.empty() || t[0] == '#') continue;
      if (stricmp(t.c_str(), "END") == 0) {
        if (count_fill_ && !ended) st.num_fill = static_cast<int>(st.colors.size());
        ended = true;
        continue;
      }
      if (st.colors.size() >= CLR_MAX) {
        MESS_print(MESS_WARN, "CLR_read_table: %s: more than %d colours, the rest is ignored\n",
                   printable_path(path_).c_str(), CLR_MAX);
        break;
      }
      entry(t);
    }
    if (count_fill_ && !ended) st.num_fill = st.colors.empty() ? 0 : static_cast<int>(st.colors.size()) - 1;
    if (read_ == 0 && junk_ < 3)
      MESS_print(MESS_WARN, "CLR_read_table: %s holds no colours\n", printable_path(path_).c_str());
    if (warnings_ > max_warnings)
      MESS_print(MESS_WARN, "CLR_read_table: %s: %d more lines could not be read\n", printable_path(path_).c_str(),
                 warnings_ - max_warnings);
  }

 private:
  void warn(const char* why, const std::string& text = "") {
    if (++warnings_ > max_warnings) return;
    if (text.empty())
      MESS_print(MESS_WARN, "CLR_read_table: %s line %d: %s\n", printable_path(path_).c_str(), line_no_, why);
    else
      MESS_print(MESS_WARN, "CLR_read_table: %s line %d: %s: %s\n", printable_path(path_).c_str(), line_no_, why,
                 printable(text).c_str());
  }

  // [number] name red green blue, or [number] name #rrggbb.
  void entry(const std::string& line) {
    const std::vector<std::string> w = split_words(line);
    std::size_t i = (w.size() > 1 && is_integer(w[0])) ? 1 : 0;
    if (i >= w.size()) return warn("no colour name", line);
    const std::string& name = w[i++];
    if (name.size() > CLR_NAME_LEN) return warn("colour name longer than 19 characters", name);
    float rgb[3];
    if (i < w.size() && w[i][0] == '#') {
      if (!parse_rgb(w[i], false, rgb)) return warn("colour is not #rrggbb", line);
    } else {
      if (i + 3 > w.size() || !to_float(w[i], &rgb[0]) || !to_float(w[i + 1], &rgb[1]) || !to_float(w[i + 2], &rgb[2]))
        return warn("not a name and three colour fractions", line);
      if (!fraction_ok(rgb[0]) || !fraction_ok(rgb[1]) || !fraction_ok(rgb[2]))
        return warn("colour fractions must lie from 0 to 1", line);
    }
    ClrEntry e{};
    copy_bounded(e.name, sizeof e.name, name);
    e.red = rgb[0], e.green = rgb[1], e.blue = rgb[2];
    st.colors.push_back(e);
    ++read_;
  }

  std::string path_;
  bool count_fill_;
  int line_no_ = 0;
  int warnings_ = 0;
  int junk_ = 0;
  int read_ = 0;
};

// Applies the fields of one attribute string; a field that cannot be read is reported and
// leaves its attribute as it was.
class AttribParser {
 public:
  explicit AttribParser(AttribRec* a) : a_(a) {}

  void field(const std::string& f, bool first) {
    if (f.empty()) return;
    const bool keyed = f.size() >= 3 && f[2] == '=';
    if (first && f.find('=') == std::string::npos) return color(f);
    if (keyed) {
      const std::string key{static_cast<char>(std::tolower(static_cast<unsigned char>(f[0]))),
                            static_cast<char>(std::tolower(static_cast<unsigned char>(f[1])))};
      const std::string v(trim_view(f.substr(3)));
      if (key == "co") return color(v);
      if (key == "wi") return real(v, &a_->width, 0.0F, "Invalid width");
      if (key == "st") return style(v);
      if (key == "fo") return set(&a_->font, gget_font_index(v.c_str()));
      if (key == "fi" || key == "fp") return fill(v);
      if (key == "sc" || key == "hi") return real(v, &a_->size, 0.0F, "Invalid size");
      if (key == "te") return real(v, &a_->expansion, 1.0e-6F, "Invalid expansion");
    }
    const std::string v(trim_view(f.substr(1)));
    switch (std::tolower(static_cast<unsigned char>(f[0]))) {
      case 'w':
        return real(v, &a_->width, 0.0F, "Invalid width");
      case 's':
        return integer(v, &a_->style, 0, 99, "Invalid style");
      case 't':
        return integer(v, &a_->font, 1, 40, "Invalid font");
      case 'f':
        if (!v.empty() && (v[0] == 'M' || v[0] == 'm')) return set(&a_->fill, MISSING_INT);
        return integer(v, &a_->fill, 0, GKS_NUM_PATTERNS - 1, "Invalid fill pattern");
      case 'h':
        return real(v, &a_->size, 0.0F, "Invalid size");
      case 'e':
        return real(v, &a_->expansion, 1.0e-6F, "Invalid expansion");
      default:
        return warn("Unknown attribute", f);
    }
  }

  void finish() const {
    if (warnings_ > max_warnings)
      MESS_print(MESS_WARN, "ATTRIB_parse: %d more fields could not be read\n", warnings_ - max_warnings);
  }
  int applied() const { return applied_; }

 private:
  void warn(const char* what, const std::string& text) {
    if (++warnings_ <= max_warnings) MESS_print(MESS_WARN, "ATTRIB_parse: %s: %s\n", what, printable(text).c_str());
  }
  void set(int* field, int v) {
    *field = v;
    ++applied_;
  }
  void set(float* field, float v) {
    *field = v;
    ++applied_;
  }

  void color(const std::string& name) {
    const int i = CLR_get_ind(name.c_str());
    const bool off = name.empty() || stricmp(name.c_str(), "none") == 0 || stricmp(name.c_str(), "off") == 0 ||
                     stricmp(name.c_str(), "back") == 0;
    if (i == -1 && !off) return warn("Unknown colour", name);
    if (i >= 0 && !gis_valid_colr(i)) return warn("Invalid colour index", name);
    set(&a_->color, i);
  }
  // Widths, sizes and expansions beyond this are typing errors, not plots.
  void real(const std::string& v, float* field, float min, const char* invalid) {
    float f = 0.0F;
    if (!to_float(v, &f) || f < min || f > 100.0F) return warn(invalid, v);
    set(field, f);
  }
  void integer(const std::string& v, int* field, int min, int max, const char* invalid) {
    int n = 0;
    if (!to_int(v, &n) || n < min || n > max) return warn(invalid, v);
    set(field, n);
  }
  void style(const std::string& v) {
    for (const auto& s : line_styles)
      if (stricmp(v.c_str(), s.name) == 0) return set(&a_->style, s.type);
    integer(v, &a_->style, 0, 99, "Invalid style");
  }
  void fill(const std::string& v) {
    const int p = ATTR_parse_fill_pat(v.c_str());
    if (p < 0 || p >= GKS_NUM_PATTERNS) return warn("Invalid fill pattern", v);
    set(&a_->fill, p);
  }

  AttribRec* a_;
  int applied_ = 0;
  int warnings_ = 0;
};

}  // namespace

// ---- colour table ----

int CLR_read_table(const char* files) {
  std::string list;
  bool from_resource = false;
  if (files != nullptr && *files != '\0') {
    list = files;
  } else {
    const char* res = RES_get("color_table");
    from_resource = res != nullptr && *res != '\0';
    list = from_resource ? res : "zav.clr";
  }
  CLR_clear_table();
  bool first = true;
  for (const std::string& item : split_fields(list, ',')) {
    const std::string name(trim_view(item));
    if (name.empty()) continue;
    std::string used;
    std::FILE* f = FILE_open_data(name, &used);
    if (f == nullptr) {
      MESS_print(MESS_WARN, "CLR_read_table: Unable to open colour table: %s\n", printable_path(name).c_str());
      first = false;
      continue;
    }
    TableReader(used, first && from_resource).read(f);
    FILE_close(f);
    first = false;
  }
  return static_cast<int>(st.colors.size());
}

int CLR_get_ind(const char* name) {
  if (name == nullptr) return -1;
  const std::string s(trim_view(name));
  if (s.empty()) return -1;
  if (stricmp(s.c_str(), "end") == 0) return -2;
  for (const char* off : {"none", "off", "back"})
    if (stricmp(s.c_str(), off) == 0) return -1;
  for (const auto& p : print_colors)
    if (stricmp(s.c_str(), p.name) == 0) return p.index;
  for (std::size_t i = 0; i < st.colors.size(); ++i)
    if (stricmp(s.c_str(), st.colors[i].name) == 0) return static_cast<int>(i);
  float rgb[3];
  if (s[0] == '#') return parse_rgb(s, true, rgb) ? CLR_add(s.c_str(), rgb[0], rgb[1], rgb[2]) : -1;
  if (std::isdigit(static_cast<unsigned char>(s[0]))) {
    const long v = std::strtol(s.c_str(), nullptr, 10);
    return v > 1000000L ? 1000000 : static_cast<int>(v);
  }
  return -1;
}

int CLR_add(const char* name, float r, float g, float b) {
  if (!std::isfinite(r) || !std::isfinite(g) || !std::isfinite(b)) return -1;
  if (st.colors.size() >= CLR_MAX) {
    MESS_print(MESS_WARN, "CLR_add: The colour table is full: %s\n", printable(name != nullptr ? name : "").c_str());
    return -1;
  }
  auto clamp = [](float v) { return v < 0.0F ? 0.0F : v > 1.0F ? 1.0F : v; };
  ClrEntry e{};
  copy_bounded(e.name, sizeof e.name, name != nullptr ? name : "");
  e.red = clamp(r), e.green = clamp(g), e.blue = clamp(b);
  st.colors.push_back(e);
  const int index = static_cast<int>(st.colors.size()) - 1;
  const float rgb[3] = {e.red, e.green, e.blue};
  gset_colr_rep(1, index, rgb);
  return index;
}

int CLR_get_rgb(int index, float* r, float* g, float* b) {
  if (index < 0 || index >= static_cast<int>(st.colors.size())) return -1;
  const ClrEntry& e = st.colors[static_cast<std::size_t>(index)];
  if (r != nullptr) *r = e.red;
  if (g != nullptr) *g = e.green;
  if (b != nullptr) *b = e.blue;
  return 0;
}

const char* CLR_get_name(int index) {
  if (index < 0 || index >= static_cast<int>(st.colors.size())) return "";
  return st.colors[static_cast<std::size_t>(index)].name;
}

int CLR_get_num() { return static_cast<int>(st.colors.size()); }
int CLR_get_num_fill() { return st.num_fill; }

void CLR_clear_table() {
  st.colors.clear();
  st.num_fill = 0;
}

// ---- background ----

int ginit_background() {
  std::string name = gget_background();
  if (name.empty()) {
    const char* res = RES_get("background");
    if (res != nullptr) name = res;
  }
  const GksDevice* dev = gdev_cur();
  if (name.empty() && dev != nullptr && dev->setting != nullptr) {
    // The display's own default for the program.
    const char* def = dev->setting("background");
    if (def != nullptr) name = def;
  }
  const float def = gget_inverse() ? 1.0F : 0.0F;
  float c[3] = {def, def, def};
  const bool is_default = name.empty() || stricmp(name.c_str(), "none") == 0 || stricmp(name.c_str(), "def") == 0 ||
                          stricmp(name.c_str(), "over") == 0;
  if (!is_default) {
    const int i = CLR_get_ind(name.c_str());
    bool found = false;
    if (i >= GKS_PRINT_FIRST && i <= GKS_PRINT_LAST) {
      found = gget_color_rgb(i, &c[0], &c[1], &c[2]) == 0;
    } else if (i >= 0) {
      found = CLR_get_rgb(i, &c[0], &c[1], &c[2]) == 0;
    }
    // A colour name the display knows.
    if (!found && i < 0 && dev != nullptr && dev->parse_color != nullptr) found = dev->parse_color(name.c_str(), c) != 0;
    if (!found) {
      MESS_print(MESS_WARN, "ginit_background: Unknown background colour: %s\n", printable(name.substr(0, 40)).c_str());
      c[0] = c[1] = c[2] = def;
    }
  }
  return gset_colr_rep(1, GKS_BACKGROUND, c);
}


// ---- attribute strings ----

void ATTRIB_init(AttribRec* attrib) {
  if (attrib != nullptr) *attrib = AttribRec{MISSING_INT, MISSING, MISSING, MISSING, MISSING_INT, MISSING_INT, MISSING_INT};
}

int ATTRIB_parse(const char* string, AttribRec* attrib) {
  if (string == nullptr || attrib == nullptr) return 0;
  AttribParser p(attrib);
  const std::vector<std::string> fields = split_fields(string, ':');
  for (std::size_t i = 0; i < fields.size(); ++i) p.field(std::string(trim_view(fields[i])), i == 0);
  p.finish();
  return p.applied();
}

int ATTRIB_get(const char* resource, const char* default_string, AttribRec* attrib) {
  if (attrib == nullptr) return 0;
  if (default_string != nullptr) ATTRIB_parse(default_string, attrib);
  const char* value = resource != nullptr ? RES_get(resource) : nullptr;
  if (value == nullptr || *value == '\0') return 0;
  ATTRIB_parse(value, attrib);
  return 1;
}

void ATTRIB_update(AttribRec* dest, const AttribRec* src) {
  if (dest == nullptr || src == nullptr) return;
  if (src->color != MISSING_INT) dest->color = src->color;
  if (src->width != MISSING) dest->width = src->width;
  if (src->size != MISSING) dest->size = src->size;
  if (src->expansion != MISSING) dest->expansion = src->expansion;
  if (src->style != MISSING_INT) dest->style = src->style;
  if (src->fill != MISSING_INT) dest->fill = src->fill;
  if (src->font != MISSING_INT) dest->font = src->font;
}

void ATTRIB_print(const AttribRec* a) {
  if (a == nullptr) return;
  MESS_print(MESS_PRINT, "Color: %d\n", a->color);
  MESS_print(MESS_PRINT, "Style: %d\n", a->style);
  MESS_print(MESS_PRINT, "Height: %5.2f\n", a->size);
  MESS_print(MESS_PRINT, "Width: %5.2f\n", a->width);
  MESS_print(MESS_PRINT, "Expansion: %5.2f\n", a->expansion);
  MESS_print(MESS_PRINT, "Fill: %d\n", a->fill);
  MESS_print(MESS_PRINT, "Font: %d\n", a->font);
}

int ATTR_parse_fill_pat(const char* string) {
  if (string == nullptr) return -1;
  const std::string s(trim_view(string));
  for (const auto& f : fill_names)
    if (stricmp(s.c_str(), f.name) == 0) return f.index;
  int n = 0;
  return to_int(s, &n) && n >= 0 ? n : -1;
}

int ATTR_parse_marker(const char* string) {
  if (string == nullptr) return -1;
  const std::string s(trim_view(string));
  if (s.empty()) return -1;
  for (const auto& m : marker_names)
    if (strnicmp(s.c_str(), m.name, std::char_traits<char>::length(m.name)) == 0) return m.type;
  int n = 0;
  return to_int(s, &n) && n >= 0 ? n : -1;
}

void CLR_reset_state() { st = ClrState{}; }
