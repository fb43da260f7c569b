// Raw station-data files read back. Lines are read in order; asking for the same line
// again re-reads nothing and asking for an earlier one starts again after the header.
#include "surface/raw_read.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/scanp.h"
#include "config/string.h"

namespace {

struct RawFile {
  std::FILE* f = nullptr;
  std::string name;
  long data_start = 0;  // file position of the first data line
  int line_index = -1;  // index of the line in `line`, -1 none
  std::string line;
  std::vector<RawField> fields;
  int layout = RAW_LAYOUT_ID;
  bool header = false;
  char id[32] = "";
  char comment[64] = "";
};

std::array<RawFile, RAW_MAX_OPEN> files;

RawFile* get(int h) { return h >= 0 && h < RAW_MAX_OPEN && files[h].f != nullptr ? &files[h] : nullptr; }

// One line of at most RAW_LINE_MAX characters (the rest of a longer line is dropped),
// without its line feed and carriage return; false at the end of the file.
bool read_line(std::FILE* f, std::string* out) {
  out->clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (out->size() < static_cast<std::size_t>(RAW_LINE_MAX)) out->push_back(static_cast<char>(c));
  }
  if (!out->empty() && out->back() == '\r') out->pop_back();
  return any;
}

std::string underscores_to_blanks(std::string s) {
  for (char& c : s)
    if (c == '_') c = ' ';
  return s;
}

// The blank-separated tokens of text.
std::vector<std::string> tokens(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

}  // namespace

int RAW_open(const char* name) {
  if (name == nullptr || *name == '\0') return -1;
  for (int h = 0; h < RAW_MAX_OPEN; ++h) {
    if (files[h].f != nullptr) continue;
    const bool std_in = stricmp(name, "std") == 0 || stricmp(name, "stdn") == 0;
    std::FILE* f = FILE_open(std_in ? "stdin" : name, "r");
    if (f == nullptr) {
      MESS_print(MESS_ERROR, "RAW_open: Unable to open raw file: %s\n", name);
      return -1;
    }
    files[h] = RawFile{};
    files[h].f = f;
    files[h].name = name;
    return h;
  }
  MESS_print(MESS_ERROR, "RAW_open: Too many raw files open (%d): %s\n", RAW_MAX_OPEN, name);
  return -1;
}

void RAW_close(int h) {
  RawFile* r = get(h);
  if (r == nullptr) return;
  FILE_close(r->f);
  *r = RawFile{};
}

int RAW_chktype(const char* name) {
  std::FILE* f = FILE_open(name, "r");
  if (f == nullptr) return 0;
  const int c = std::fgetc(f);
  FILE_close(f);
  return c == 'Z' ? 1 : 0;
}

int RAW_getinfo(int h, DateRec* date, char* second, int size) {
  RawFile* r = get(h);
  if (r == nullptr) return -1;
  std::string magic, label, line;
  if (!read_line(r->f, &magic) || magic.compare(0, 6, "ZAVRAW") != 0) {
    MESS_print(MESS_ERROR, "RAW_getinfo: Not a raw file: %s\n", r->name.c_str());
    return -1;
  }
  read_line(r->f, &label);
  if (date != nullptr) {
    DATE_init(date);
    DATE_decode_label(label.c_str(), date);
  }
  read_line(r->f, &line);
  r->fields.clear();
  if (!line.empty() && line[0] == '!') {
    line.erase(0, 1);
    std::string entry;
    bool closed = false;
    while (read_line(r->f, &entry)) {
      const std::vector<std::string> t = tokens(entry);
      if (t.empty()) continue;
      if (t[0] == "$") {
        closed = true;
        break;
      }
      if (r->fields.size() >= static_cast<std::size_t>(RAW_MAX_FIELDS)) {
        MESS_print(MESS_WARN, "RAW_getinfo: More than %d fields: %s\n", RAW_MAX_FIELDS, r->name.c_str());
        continue;
      }
      // "id lat lon" lists the location fields on one line.
      for (const std::string& word : t) {
        if (r->fields.size() >= static_cast<std::size_t>(RAW_MAX_FIELDS)) break;
        RawField fd{};
        std::vector<std::string> part(3);
        std::size_t p = 0;
        for (int k = 0; k < 3; ++k) {
          const std::size_t c = k < 2 ? word.find(':', p) : std::string::npos;
          part[static_cast<std::size_t>(k)] = word.substr(p, c == std::string::npos ? std::string::npos : c - p);
          if (c == std::string::npos) break;
          p = c + 1;
        }
        copy_bounded(fd.name, sizeof fd.name, part[0]);
        copy_bounded(fd.units, sizeof fd.units, underscores_to_blanks(part[1]));
        copy_bounded(fd.description, sizeof fd.description, underscores_to_blanks(part[2]));
        r->fields.push_back(fd);
      }
    }
    if (!closed) MESS_print(MESS_WARN, "RAW_getinfo: Field list without its end ($): %s\n", r->name.c_str());
  }
  const std::size_t n = r->fields.size();
  r->layout = RAW_LAYOUT_ID;
  if (n > 3 && (stricmp(r->fields[1].name, "lat") == 0 || stricmp(r->fields[1].name, "x") == 0))
    r->layout = RAW_LAYOUT_LATLON;
  else if (n > 2 && (stricmp(r->fields[1].name, "p") == 0 || stricmp(r->fields[1].name, "pres") == 0))
    r->layout = RAW_LAYOUT_PRES;
  if (second != nullptr && size > 0) copy_bounded(second, static_cast<std::size_t>(size), line);
  r->data_start = std::ftell(r->f);
  r->line_index = -1;
  r->header = true;
  return static_cast<int>(n);
}

const RawField* RAW_get_field(int h, int index) {
  RawFile* r = get(h);
  if (r == nullptr || index < 0 || index >= static_cast<int>(r->fields.size())) return nullptr;
  return &r->fields[static_cast<std::size_t>(index)];
}

int RAW_get_layout(int h) {
  RawFile* r = get(h);
  return r != nullptr ? r->layout : 0;
}

int RAW_field_index(int h, const char* name) {
  RawFile* r = get(h);
  if (r == nullptr || name == nullptr) return -1;
  for (std::size_t i = 3; i < r->fields.size(); ++i)
    if (stricmp(r->fields[i].name, name) == 0) return static_cast<int>(i) - 3;
  return -1;
}

int RAW_dec_line(const char* token, RawDataRec* d, char* comment, int size) {
  if (comment != nullptr && size > 0) comment[0] = '\0';
  if (d == nullptr) return 0;
  RAW_data_init_val(d);
  d->kind = PLOT_DATA;
  if (token == nullptr || *token == '\0') return 0;
  std::string t = token;
  const std::size_t colon = t.find(':');
  if (colon != std::string::npos) {
    if (comment != nullptr && size > 0)
      copy_bounded(comment, static_cast<std::size_t>(size), underscores_to_blanks(t.substr(colon + 1)));
    t.erase(colon);
  }
  if (t == "-" || t.empty()) return 0;
  const char c = t[0];
  // Weather texts begin with '-' too ("-RA"): a sign followed by no number is a text.
  const char after = c == '-' ? t[1] : c;
  if ((c != '-' && c != '.' && !std::isdigit(static_cast<unsigned char>(c))) ||
      (c == '-' && after != '.' && !std::isdigit(static_cast<unsigned char>(after)))) {
    d->kind = PLOT_TEXT;
    copy_bounded(d->text, sizeof d->text, t);
    return 1;
  }
  copy_bounded(d->text, sizeof d->text, t);
  const std::size_t comma = t.find(',');
  float a = MISSING, b = MISSING;
  if (!parse_float(t.substr(0, comma), &a)) {
    MESS_print(MESS_WARN, "RAW_dec_line: Bad value: %.40s\n", token);
    return 0;
  }
  if (comma != std::string::npos && !parse_float(t.substr(comma + 1), &b)) {
    MESS_print(MESS_WARN, "RAW_dec_line: Bad value: %.40s\n", token);
    return 0;
  }
  d->val1 = a;
  d->val2 = b;
  return 1;
}

int RAW_read(int h, RawDataRec* d, int field, int index) {
  RawFile* r = get(h);
  if (r == nullptr || d == nullptr || index < 0) return 0;
  if (!r->header && RAW_getinfo(h, nullptr, nullptr, 0) < 0) return -1;
  if (index < r->line_index) {
    std::clearerr(r->f);
    if (std::fseek(r->f, r->data_start, SEEK_SET) != 0) return 0;
    r->line_index = -1;
  }
  while (r->line_index < index) {
    if (!read_line(r->f, &r->line)) return 0;
    ++r->line_index;
  }
  RAW_data_init_val(d);
  r->id[0] = '\0';
  r->comment[0] = '\0';
  std::vector<char> buf(r->line.begin(), r->line.end());
  buf.push_back('\0');
  ScanpRec s;
  scanp_set(&s, buf.data());
  char id[SCANP_TEXT_MAX + 1] = "";
  float x = MISSING, y = MISSING;
  int second = 0;
  if (scanp(&s, "%s ", id) < 1) {
    MESS_print(MESS_WARN, "RAW_read: No station on line %d: %.60s\n", index + 1, r->line.c_str());
    return -1;
  }
  scanp_inc(&s);
  if (scanp(&s, "%!-!f %n%!-!f ", &x, &second, &y) < 2) {
    MESS_print(MESS_WARN, "RAW_read: Bad location on line %d: %.60s\n", index + 1, r->line.c_str());
    return -1;
  }
  scanp_inc(&s);
  copy_bounded(r->id, sizeof r->id, id);
  const std::vector<std::string> values = tokens(scanp_str(&s));
  d->x = x;
  d->y = y;
  // A line of "name=value" tokens finds the field by its name.
  const RawField* named = RAW_get_field(h, field + 3);
  std::string token;
  if (named != nullptr) {
    const std::string key = std::string(named->name) + "=";
    for (const std::string& v : values)
      if (v.size() >= key.size() && strnicmp(v.c_str(), key.c_str(), key.size()) == 0) token = v.substr(key.size());
  }
  if (token.empty() && field >= 0 && field < static_cast<int>(values.size())) {
    token = values[static_cast<std::size_t>(field)];
    const std::size_t eq = token.find('=');
    if (eq != std::string::npos && named != nullptr) token = token.substr(eq + 1);
  }
  const float keep_x = d->x, keep_y = d->y;
  RAW_dec_line(token.c_str(), d, r->comment, sizeof r->comment);
  d->x = keep_x;
  d->y = keep_y;
  return 1;
}

const char* RAW_get_id(int h) {
  RawFile* r = get(h);
  return r != nullptr ? r->id : "";
}

const char* RAW_get_comment(int h) {
  RawFile* r = get(h);
  return r != nullptr ? r->comment : "";
}
