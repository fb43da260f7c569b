// Unit conversion through the units table, and "name (units)" labels.
#include "surface/unittool.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "config/datafile.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/fileio.h"

namespace {

constexpr std::size_t kNameMax = 14;   // longest unit text remembered / from-unit in the table
constexpr std::size_t kLineMax = 1024; // longer table lines are cut (the rest is skipped)
constexpr const char* kTableName = "units.lup";

// The one remembered pair: converting one value per station with the same units must not
// touch the file after the first call.
struct UnitState {
  char in[kNameMax + 1] = "";
  char out[kNameMax + 1] = "";
  double scale = 1.0;
  double offset = 0.0;
  double ifac = 1.0;
  double ofac = 1.0;
  std::string cvt;
};
UnitState st;

char unit_char(char c) {
  return c == '_' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Equal ignoring case, with '_' and blank the same character.
bool same_units(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (unit_char(a[i]) != unit_char(b[i])) return false;
  return true;
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strnicmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Reads a decimal number at the start of s (no "inf", "nan" or hex forms). On success sets
// value and the count of characters used.
bool read_number(const std::string& s, std::size_t pos, double& value, std::size_t& used) {
  std::size_t i = pos;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  if (i >= s.size()) return false;
  const bool digit = std::isdigit(static_cast<unsigned char>(s[i]));
  const bool dot = s[i] == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1]));
  if (!digit && !dot) return false;
  if (digit && s[i] == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    value = 0.0;  // a lone "0" before an 'x': take the zero, leave the rest as text
    used = i + 1 - pos;
    return true;
  }
  char* end = nullptr;
  value = std::strtod(s.c_str() + pos, &end);
  used = static_cast<std::size_t>(end - (s.c_str() + pos));
  return used > 0 && std::isfinite(value);
}

// Splits a unit text into its scale and bare name (blanks in the name turned into '_').
void parse_unit(const char* text, double& fac, std::string& name) {
  std::string t = text ? text : "";
  std::replace(t.begin(), t.end(), '_', ' ');
  fac = 1.0;
  std::string_view rest = trim(t);
  const std::size_t start = static_cast<std::size_t>(rest.data() - t.data());
  double number = 0.0;
  std::size_t used = 0;
  if (read_number(t, start, number, used)) {
    std::size_t pos = start + used;
    double exponent = 1.0;
    bool ok = true;
    if (pos < t.size() && t[pos] == '^') {
      std::size_t eused = 0;
      ok = read_number(t, pos + 1, exponent, eused);
      pos += 1 + eused;
    }
    if (ok && pos < t.size() && t[pos] == ' ') {
      const std::string_view n = trim(std::string_view(t).substr(pos));
      const double f = std::pow(number, exponent);
      if (!n.empty() && std::isfinite(f)) {
        fac = f;
        rest = n;
      }
    }
  } else if (rest.size() > 1 && rest.front() == '-') {
    fac = -1.0;
    rest = trim(rest.substr(1));
  }
  name.assign(rest);
  std::replace(name.begin(), name.end(), ' ', '_');
}

// Parses "*factor", then "+offset" or "-offset", each optional. False for unusable numbers.
bool parse_expression(const std::string& expr, double& factor, double& off) {
  factor = 1.0;
  off = 0.0;
  std::size_t pos = 0;
  double v = 0.0;
  std::size_t used = 0;
  if (pos < expr.size() && expr[pos] == '*') {
    if (!read_number(expr, pos + 1, v, used)) return false;
    factor = v;
    pos += 1 + used;
  }
  if (pos < expr.size() && (expr[pos] == '+' || expr[pos] == '-')) {
    if (!read_number(expr, pos + 1, v, used)) return false;
    off = expr[pos] == '-' ? -v : v;
  }
  return true;
}

// Reads one line (control bytes, NULs included, act as blanks); false at end of file.
bool read_line(std::FILE* f, std::string& line) {
  line.clear();
  int c = 0;
  bool any = false;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < kLineMax) {
      const bool control = c < 0x20 || c == 0x7F;
      line.push_back(control ? ' ' : static_cast<char>(c));
    }
  }
  return any;
}

std::vector<std::string> fields(const std::string& line, std::size_t max_fields) {
  std::vector<std::string> out_fields;
  std::size_t i = 0;
  while (out_fields.size() < max_fields) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size()) break;
    const std::size_t j = line.find(' ', i);
    out_fields.push_back(line.substr(i, j == std::string::npos ? std::string::npos : j - i));
    if (j == std::string::npos) break;
    i = j;
  }
  return out_fields;
}

// Found like every package data file: file_path (or the working directory), then the
// installed data directory.
std::FILE* open_table(std::string& path) { return FILE_open_data(kTableName, &path); }

// Finds the conversion from one bare unit name to another in the table. Returns false when
// the table cannot be opened; a pair that is not listed gives factor 1 and offset 0.
bool lookup(const std::string& from, const std::string& to, double& factor, double& off,
            std::string& expr) {
  std::string path;
  std::FILE* f = open_table(path);
  if (!f) {
    MESS_print(MESS_ERROR, "Unable to open units file: %s\n", path.c_str());
    return false;
  }
  factor = 1.0;
  off = 0.0;
  expr.clear();
  std::string line;
  while (read_line(f, line)) {
    const std::vector<std::string> fl = fields(line, 3);
    if (fl.empty() || fl[0][0] == '#') continue;
    if (fl.size() < 3 || fl[0].size() > kNameMax) continue;
    if (!same_name(fl[0], from) || !same_name(fl[1], to)) continue;
    double fa = 1.0, of = 0.0;
    if (!parse_expression(fl[2], fa, of)) continue;
    factor = fa;
    off = of;
    expr = fl[2];
    break;
  }
  FILE_close(f);
  return true;
}

float finish(double v) {
  if (!std::isfinite(v) || std::fabs(v) > 3.4e38) return MISSING;
  return static_cast<float>(v);
}

}  // namespace

float UNIT_cvt(const char* from, const char* to, float value) {
  if (value == MISSING) return value;
  const std::string_view f = from ? from : "";
  const std::string_view t = to ? to : "";
  if (same_units(f, t) || (!f.empty() && t.empty())) return value;
  if (same_units(f, st.in) && same_units(t, st.out)) return finish((value * st.ifac * st.scale + st.offset) / st.ofac);

  double fin = 1.0, fout = 1.0;
  std::string nin, nout;
  parse_unit(from, fin, nin);
  parse_unit(to, fout, nout);
  if (same_name(nin, nout)) return finish(value * fin / fout);

  double factor = 1.0, off = 0.0;
  std::string expr;
  if (!lookup(nin, nout, factor, off, expr)) return 0.0f;
  if (f.size() <= kNameMax && t.size() <= kNameMax) {
    copy_bounded(st.in, sizeof st.in, f);
    copy_bounded(st.out, sizeof st.out, t);
    st.scale = factor;
    st.offset = off;
    st.ifac = fin;
    st.ofac = fout;
    st.cvt = expr;
  }
  return finish((value * fin * factor + off) / fout);
}

void UNIT_reset() { st = UnitState{}; }

int UNIT_parse(const char* label, std::string& name, std::string& units) {
  name.clear();
  units.clear();
  if (!label) return 0;
  const std::string_view l = label;
  const std::size_t open = l.find('(');
  name.assign(trim(l.substr(0, open)));
  if (open != std::string_view::npos) {
    const std::string_view u = l.substr(open + 1);
    units.assign(trim(u.substr(0, u.find(')'))));
  }
  return (name.empty() ? 0 : 1) + (units.empty() ? 0 : 1);
}

int UNIT_parse(const char* label, char* name, std::size_t name_size, char* units,
               std::size_t units_size) {
  std::string n, u;
  const int found = UNIT_parse(label, n, u);
  copy_bounded(name, name_size, n);
  copy_bounded(units, units_size, u);
  return found;
}

void UNIT_change(std::string& label, const char* units) {
  std::string name, old;
  UNIT_parse(label.c_str(), name, old);
  label = name + " (" + (units ? units : "") + ")";
}

void UNIT_change(char* label, std::size_t size, const char* units) {
  if (!label || size == 0) return;
  std::string l(label, strnlen(label, size - 1));
  UNIT_change(l, units);
  copy_bounded(label, size, l);
}

int UNIT_scale(const char* units, const char* suffix, std::string& label, float factor) {
  double fac = 1.0;
  std::string name;
  parse_unit(units, fac, name);
  char num[64];
  std::snprintf(num, sizeof num, "%.0e", fac * factor);
  label = std::string(num) + " " + name + (suffix ? suffix : "");
  return 1;
}

int UNIT_scale(const char* units, const char* suffix, char* label, std::size_t size, float factor) {
  std::string l;
  UNIT_scale(units, suffix, l, factor);
  copy_bounded(label, size, l);
  return 1;
}
