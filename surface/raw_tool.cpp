// Station data values, the station-plot format language and the raw files written.
#include "surface/raw_tool.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "config/system.h"
#include "files/files.h"
#include "graphics/gks_text.h"
#include "plot/maptran.h"
#include "surface/cty_tool.h"
#include "surface/var_tool.h"

namespace {

// The raw file being written (put in place whole when it closes, FILE_open_temp), the line
// being built, and the bad format fields already named.
struct RawToolState {
  FileOutput raw_out;
  std::FILE* raw_file = nullptr;
  std::string raw_line;
  bool line_open = false;
  std::string var_string;
  // A format is read again for every station: each bad field is named once a run.
  std::set<std::string> reported;
};
RawToolState st;

bool present(float v) { return v != MISSING; }

// Position words: offsets in units of 0.012 (x) and of the row height (y).
struct Position {
  const char* word;
  float x;
  float y;
};
constexpr Position kPositions[] = {
    {"ul", -0.012F, 0.02F},  {"uc", 0.0F, 0.02F},   {"ur", 0.012F, 0.02F},   {"tl", -0.012F, 0.012F},
    {"tc", 0.0F, 0.012F},    {"tr", 0.012F, 0.012F}, {"cl", -0.012F, 0.0F},   {"cc", 0.0F, 0.0F},
    {"cr", 0.012F, 0.0F},    {"bl", -0.012F, -0.012F}, {"bc", 0.0F, -0.012F}, {"br", 0.012F, -0.012F},
    {"ll", -0.012F, -0.02F}, {"lc", 0.0F, -0.02F},  {"lr", 0.012F, -0.02F},
};

// Text left of the station ends at it, text right of it begins there.
void set_offset(RawFormat* s, float x, float y) {
  s->xoff = x;
  s->yoff = y;
  s->valign = RAW_ALIGN_HALF;
  s->halign = x < 0.0F ? RAW_ALIGN_RIGHT : x > 0.0F ? RAW_ALIGN_LEFT : RAW_ALIGN_CENTER;
}


bool bad(const std::string& field) {
  if (st.reported.insert(field).second) MESS_print(MESS_WARN, "RAW_parse_format: Bad field: %.60s\n", field.c_str());
  return false;
}

// A C format for one number, floating or integer (number_format_conversion); a 'z' as the
// format's second character drops leading zeros and is taken out before printing. Nothing
// else reaches printf, so a user's format can never touch an argument that is not there.
bool number_format(const char* f, char* conv) {
  std::string_view format(f);
  std::string without_z;
  if (format.size() > 1 && format[0] == '%' && format[1] == 'z') {
    without_z = std::string(format).erase(1, 1);
    format = without_z;
  }
  *conv = number_format_conversion(format, kNumberConversions);
  return *conv != 0;
}

void bad_format(const std::string& field) {
  if (st.reported.insert(field).second)
    MESS_print(MESS_WARN, "RAW_parse_format: Bad field: %.64s: one number conversion such as %%.1f or %%d expected\n",
               field.c_str());
}

bool read_float(const std::string& text, float* v) { return parse_float(text, v); }

void set_text(char* dest, std::size_t size, const std::string& text) { copy_bounded(dest, size, text); }

// Drops the zero before the decimal point: "0.5" -> ".5", "-0.5" -> "-.5".
void drop_leading_zero(char* s) {
  char* p = s;
  while (*p == ' ') ++p;
  if (*p == '-' || *p == '+') ++p;
  if (p[0] == '0' && p[1] == '.') std::memmove(p, p + 1, std::strlen(p + 1) + 1);
}

// The C format field of a station-plot format ("value:%.1f:ur" -> "%.1f"); "" when none.
std::string value_format(const char* format) {
  std::string_view rest(format != nullptr ? format : "");
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view field = rest.substr(0, colon);
    char conv = 0;
    std::string f;
    if (!field.empty() && field[0] == '%') f = std::string(field);
    else if (field.size() > 3 && strnicmp(field.data(), "fm=", 3) == 0) f = std::string(field.substr(3));
    if (!f.empty() && number_format(f.c_str(), &conv)) return f;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return "";
}

// Blanks (and the given separators) inside a token would split it when the file is read
// back: they become '_', which the reader turns back into blanks where texts are kept.
std::string token_of(std::string t, const char* separators = " \t") {
  for (char& c : t)
    if (std::strchr(separators, c) != nullptr && c != '\0') c = '_';
  return t;
}

// The start of a data line: identifier ("-" when there is none), latitude, longitude.
std::string line_head(const char* id, float lat, float lon) {
  char head[80];
  std::snprintf(head, sizeof head, "%s %6.2f %7.2f", token_of(id != nullptr && *id != '\0' ? id : "-").c_str(),
                static_cast<double>(lat), static_cast<double>(lon));
  return head;
}

}  // namespace

void RAW_data_init_val(RawDataRec* data) {
  data->val1 = MISSING;
  data->val2 = MISSING;
  data->text[0] = '\0';
}

void RAW_data_init(RawDataRec* data) {
  *data = RawDataRec{};
  ATTRIB_init(&data->attrib);
  RAW_data_init_val(data);
}

// ---- formats ----

void RAW_format_init(RawFormat* s, const AttribRec* attrib) {
  *s = RawFormat{};
  ATTRIB_init(&s->attrib);
  if (attrib != nullptr) ATTRIB_update(&s->attrib, attrib);
  s->scale = 1.0F;
  s->min_cut = MISSING;
  s->max_cut = MISSING;
  s->halign = RAW_ALIGN_CENTER;
  s->valign = RAW_ALIGN_HALF;
  s->skip = 1;
}

int RAW_marker(const char* name) {
  if (name == nullptr || *name == '\0') return 0;
  static const struct {
    const char* names[3];
    int type;
  } kMarks[] = {{{"dot"}, 8},          {{"pnt", "."}, 1},         {{"plus", "+"}, 2},
                {{"star", "*"}, 3},    {{"crcl", "circle", "o"}, 4}, {{"x"}, 5},
                {{"sqr", "square", "#"}, 6}, {{"tri", "^"}, 7},     {{"itri", "v"}, 9}};
  for (const auto& m : kMarks)
    for (const char* n : m.names)
      if (n != nullptr && stricmp(n, name) == 0) return m.type;
  int v = 0;
  return parse_int(name, &v) && v > 0 ? v : 0;
}

int RAW_parse_format(RawFormat* s, const char* text) {
  if (s == nullptr || text == nullptr) return 0;
  int kind = 0;
  std::string_view rest(text);
  while (true) {
    const std::size_t colon = rest.find(':');
    const std::string field(trim_string(std::string(rest.substr(0, colon)).data()));
    if (!field.empty()) {
      const std::string key = field.size() > 3 && field[2] == '=' ? field.substr(0, 2) : "";
      const std::string val = key.empty() ? "" : field.substr(3);
      float f = 0.0F;
      char conv = 0;
      const Position* pos = nullptr;
      for (const Position& p : kPositions)
        if (stricmp(p.word, field.c_str()) == 0) pos = &p;
      if (pos != nullptr) {
        set_offset(s, pos->x, pos->y);
      } else if (field[0] == '%' || key == "fm") {
        const std::string fm = field[0] == '%' ? field : val;
        if (fm.size() < sizeof s->cformat && number_format(fm.c_str(), &conv)) {
          set_text(s->cformat, sizeof s->cformat, fm);
          kind = PLOT_VALUE;
        } else {
          bad_format(field);
        }
      } else if (key.empty()) {
        const int t = VAR_dec_type(field.c_str());
        if (t >= 0) kind = t;
        else bad(field);
      } else if (key == "xy") {
        float x = 0.0F, y = 0.0F;
        const char* p = val.c_str();
        // "xy=-4 0" as written in resources; "xy=-4+0" where blanks cannot stand.
        const bool first = scan_float(p, &x);
        if (first && (*p == ' ' || *p == ',' || *p == '/')) ++p;
        if (first && scan_float(p, &y) && *p == '\0' && std::isfinite(x) && std::isfinite(y))
          set_offset(s, 0.012F * x, 0.02F * y);
        else
          bad(field);
      } else if (key == "rs") {
        ATTRIB_get(val.c_str(), "green", &s->attrib);
      } else if (key == "co") {
        s->attrib.color = CLR_get_ind(val.c_str());
      } else if (key == "hi" && read_float(val, &f) && f > 0.0F) {
        s->attrib.size = f;
      } else if (key == "sc" && read_float(val, &f)) {
        s->scale = (f < 0.01F || f > 1000.0F) ? 1.0F : f;
      } else if (key == "wi" && read_float(val, &f) && f >= 0.0F) {
        s->attrib.width = f;
      } else if (key == "fo") {
        const int font = gget_font_index(val.c_str());
        if (font >= 0) s->attrib.font = font;
        else bad(field);
      } else if (key == "te" && read_float(val, &f) && f > 0.0F) {
        s->attrib.expansion = f;
      } else if (key == "tx") {
        set_text(s->fixed, sizeof s->fixed, val);
      } else if (key == "ta" && val.size() == 2) {
        const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(val[0])));
        const char v = static_cast<char>(std::tolower(static_cast<unsigned char>(val[1])));
        s->halign = h == 'l' ? RAW_ALIGN_LEFT : h == 'r' ? RAW_ALIGN_RIGHT : RAW_ALIGN_CENTER;
        s->valign = v == 't' ? 1 : v == 'c' ? 2 : v == 's' ? 4 : v == 'b' ? 5 : RAW_ALIGN_HALF;
      } else if (key == "mk") {
        const int m = RAW_marker(val.c_str());
        if (m > 0) s->marker = m;
        else bad(field);
      } else if (key == "sf" || key == "wf") {
        set_text(s->special, sizeof s->special, val);
      } else if ((key == "mn" || key == "mx") && read_float(val, &f)) {
        (key == "mn" ? s->min_cut : s->max_cut) = f;
      } else if (key == "sk" && read_float(val, &f) && f >= 1.0F && f <= 1000.0F) {
        s->skip = static_cast<int>(f);
      } else {
        bad(field);
      }
    }
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return kind;
}

void RAW_data_to_string(char* text, std::size_t size, const RawDataRec* d, const char* cformat) {
  if (text == nullptr || size == 0) return;
  text[0] = '\0';
  if (d == nullptr) return;
  const int kind = d->kind;
  if (kind == PLOT_DATA || kind == PLOT_VALUE || kind == PLOT_INT) {
    if (!present(d->val1)) {
      copy_bounded(text, size, d->text);
      return;
    }
    char conv = 0;
    std::string f = cformat != nullptr && number_format(cformat, &conv) ? cformat : "";
    if (f.empty()) {
      f = kind == PLOT_INT ? "%d" : "%1.0f";
      conv = kind == PLOT_INT ? 'd' : 'f';
    }
    const bool nozero = f.size() > 1 && f[1] == 'z';
    if (nozero) f.erase(1, 1);
    if (conv == 'd' || conv == 'i') {
      const double v = std::clamp(static_cast<double>(std::lround(d->val1)), -2e9, 2e9);
      std::snprintf(text, size, f.c_str(), static_cast<int>(v));
    } else {
      std::snprintf(text, size, f.c_str(), static_cast<double>(d->val1));
    }
    if (nozero) drop_leading_zero(text);
    return;
  }
  copy_bounded(text, size, d->text);
}

// ---- raw output ----

void RAW_value_token(char* text, std::size_t size, const RawDataRec* d) {
  if (text == nullptr || size == 0) return;
  copy_bounded(text, size, "-");
  if (d == nullptr) return;
  switch (d->kind) {
    case PLOT_DATA:
    case PLOT_TEXT:
    case PLOT_MARK:
    case PLOT_CLOUD:
    case PLOT_SYMB: {
      // Blanks inside a text would split the token when the line is read back.
      std::string t = d->text;
      t.erase(t.find_last_not_of(" \t") + 1);
      t.erase(0, t.find_first_not_of(" \t"));
      if (!t.empty()) copy_bounded(text, size, token_of(t));
      return;
    }
    case PLOT_WIND:
    case PLOT_VECT:
    case PLOT_BARB:
    case PLOT_STRM:
    case PLOT_WBARB:
    case PLOT_CBARB:
    case PLOT_DBARB:
    case PLOT_VBARB:
      if (present(d->val1) && present(d->val2))
        std::snprintf(text, size, "%1.0f,%1.0f", static_cast<double>(d->val1), static_cast<double>(d->val2));
      return;
    default: {
      if (!present(d->val1)) return;
      RawDataRec v = *d;
      v.kind = d->kind == PLOT_INT ? PLOT_INT : PLOT_VALUE;
      const std::string f = value_format(d->format);
      RAW_data_to_string(text, size, &v, f.empty() ? nullptr : f.c_str());
      // A format with text round the number would give a token that does not read back.
      if (std::strchr(text, ' ') != nullptr || std::strchr(text, ':') != nullptr)
        RAW_data_to_string(text, size, &v, nullptr);
      return;
    }
  }
}

int RAW_file_open(const char* name) {
  RAW_close_file();
  if (name == nullptr || *name == '\0') return 0;
  MESS_print(MESS_MESS, "Opening raw file: %s\n", name);
  const bool existed = FILE_exist(name) != 0 && FILE_is_stdio(name) == 0;
  if (!FILE_open_temp(name, &st.raw_out)) {
    MESS_print(MESS_ERROR,
               existed ? "RAW_file_open: Unable to overwrite raw file %s: %s\n"
                       : "RAW_file_open: Unable to create raw file %s: %s\n",
               name, FILE_output_error(&st.raw_out).c_str());
    ZAV_fail(ZAV_STATUS_OUTPUT);
    return 0;
  }
  st.raw_file = st.raw_out.fp;
  return 1;
}

int RAW_date_open(const DateRec* date) {
  char name[FILE_NAME_MAX];
  name[0] = '\0';
  if (date == nullptr || !FILE_set_date(date, name) || name[0] == '\0') {
    MESS_print(MESS_ERROR, "RAW_date_open: Unable to create raw file: %s\n", name);
    ZAV_fail(ZAV_STATUS_OUTPUT);
    RAW_close_file();
    return 0;
  }
  return RAW_file_open(name);
}

void RAW_putinfo(const char* label, const char* line, int count, const char* const* names,
                 const char* const* units, const char* const* descriptions) {
  if (st.raw_file == nullptr) return;
  if (count <= 0 || names == nullptr) {
    std::fprintf(st.raw_file, "ZAVRAW\n%s\n%s\n", label ? label : "", line ? line : "");
    return;
  }
  // Blanks inside a part would end the field's token when the list is read back.
  auto part = [](const char* const* list, int i) {
    return token_of(list != nullptr && list[i] != nullptr ? list[i] : "", " \t:");
  };
  std::fprintf(st.raw_file, "ZAVRAW\n%s\n!%s\nid lat lon\n", label ? label : "", line ? line : "");
  for (int i = 0; i < count; ++i)
    std::fprintf(st.raw_file, "%s:%s:%s\n", part(names, i).c_str(), part(units, i).c_str(),
                 part(descriptions, i).c_str());
  std::fprintf(st.raw_file, "$\n");
}

int RAW_write(const char* id, float lat, float lon, const RawDataRec* values, int count) {
  if (st.raw_file == nullptr) return -1;
  std::fputs(line_head(id, lat, lon).c_str(), st.raw_file);
  char token[80];
  for (int i = 0; i < count && values != nullptr; ++i) {
    RAW_value_token(token, sizeof token, &values[i]);
    std::fprintf(st.raw_file, " %s", token);
  }
  std::fputc('\n', st.raw_file);
  return 0;
}

int RAW_save_station(const StationRec* station) {
  if (st.raw_file == nullptr || station == nullptr) return -1;
  float lat = MISSING, lon = MISSING;
  MAP_untran(&lat, &lon, station->x, station->y);
  st.raw_line = line_head(station->id, lat, lon);
  st.line_open = true;
  return 0;
}

int RAW_save_data(const RawDataRec* data) {
  if (st.raw_file == nullptr || !st.line_open) return -1;
  char token[80];
  RAW_value_token(token, sizeof token, data);
  st.raw_line += ' ';
  st.raw_line += token;
  return 0;
}

int RAW_save_end() {
  if (st.raw_file == nullptr || !st.line_open) return -1;
  st.raw_line += '\n';
  std::fputs(st.raw_line.c_str(), st.raw_file);
  st.line_open = false;
  return 0;
}

void RAW_reset_state() {
  if (st.raw_file != nullptr) FILE_abandon(&st.raw_out);
  st = RawToolState{};
}

int RAW_close_file() {
  if (st.raw_file == nullptr) return 0;
  st.raw_file = nullptr;
  st.line_open = false;
  if (FILE_commit(&st.raw_out)) return 0;
  MESS_print(MESS_ERROR, "RAW_close_file: Unable to write raw file %s: %s\n", st.raw_out.name.c_str(),
             FILE_output_error(&st.raw_out).c_str());
  ZAV_fail(ZAV_STATUS_OUTPUT);
  return -1;
}

void RAW_set_var_string(RawDataRec* data, const char* name) {
  char value[64];
  RAW_data_to_string(value, sizeof value, data, data != nullptr ? data->format : nullptr);
  st.var_string = std::string(name != nullptr ? name : "") + "=" + value;
}

const char* RAW_get_var_string() { return st.var_string.c_str(); }
