// Small text utilities shared by every reader of text records.
#include "config/string.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <charconv>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

int lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

char number_format_conversion(std::string_view format, std::string_view conversions) {
  if (format.size() > kNumberFormatLength) return 0;
  char found = 0;
  const std::size_t n = format.size();
  auto digit = [&](std::size_t i) { return i < n && std::isdigit(static_cast<unsigned char>(format[i])) != 0; };
  // Digits at i, at most two and at most kNumberFormatField; i moves past them.
  auto field = [&](std::size_t& i) {
    int value = 0, count = 0;
    for (; digit(i); ++i, ++count) value = value * 10 + (format[i] - '0');
    return count <= 2 && value <= kNumberFormatField;
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (format[i] != '%') continue;
    if (i + 1 < n && format[i + 1] == '%') {
      ++i;
      continue;
    }
    if (found != 0) return 0;
    ++i;
    int flags = 0;
    for (; i < n && std::strchr("-+ #0", format[i]) != nullptr && format[i] != '\0'; ++i)
      if (++flags > kNumberFormatFlags) return 0;
    if (!field(i)) return 0;
    if (i < n && format[i] == '.' && !field(++i)) return 0;
    if (i >= n || format[i] == '\0' || conversions.find(format[i]) == std::string_view::npos) return 0;
    found = format[i];
  }
  return found;
}

// The list and the copy of the text share one block: the pointers first, the text
// after them. Callers may reorder the pointers freely, and one free releases all.
int parse_string(const char* text, char delimiter, int* count, char*** list) {
  *count = 0;
  *list = nullptr;
  if (text == nullptr || text[0] == '\0') return -1;

  std::size_t len = std::strlen(text);
  while (len > 0 && text[len - 1] == delimiter) --len;
  if (len == 0) return 0;

  std::size_t items = 1;
  for (std::size_t i = 0; i < len; ++i)
    if (text[i] == delimiter) ++items;

  const std::size_t table = items * sizeof(char*);
  void* block = std::malloc(table + len + 1);
  if (block == nullptr) return -1;
  char** pointers = static_cast<char**>(block);
  char* copy = static_cast<char*>(block) + table;
  std::memcpy(copy, text, len);
  copy[len] = '\0';

  std::size_t n = 0;
  pointers[n++] = copy;
  for (std::size_t i = 0; i < len; ++i) {
    if (copy[i] == delimiter) {
      copy[i] = '\0';
      pointers[n++] = copy + i + 1;
    }
  }
  *count = static_cast<int>(items);
  *list = pointers;
  return *count;
}

void free_parsed_array(int, char** list) { std::free(list); }

int stricmp(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return (a != nullptr) - (b != nullptr);
  for (;; ++a, ++b) {
    const int d = lower(*a) - lower(*b);
    if (d != 0 || *a == '\0') return d;
  }
}

int strnicmp(const char* a, const char* b, std::size_t n) {
  if (a == nullptr || b == nullptr) return (a != nullptr) - (b != nullptr);
  for (std::size_t i = 0; i < n; ++i) {
    const int d = lower(a[i]) - lower(b[i]);
    if (d != 0 || a[i] == '\0') return d;
  }
  return 0;
}

char* low_string(char* s) {
  if (s == nullptr) return s;
  for (char* p = s; *p; ++p) *p = static_cast<char>(lower(*p));
  return s;
}

char* strip_string(char* s, char c) {
  if (s == nullptr) return s;
  char* out = s;
  for (const char* p = s; *p; ++p)
    if (*p != c) *out++ = *p;
  *out = '\0';
  return s;
}

char* strip_escape(char* s) {
  if (s == nullptr) return s;
  char* out = s;
  for (const char* p = s; *p; ++p) {
    if (*p == '\\') {
      ++p;
      if (*p == '\0') break;
    }
    *out++ = *p;
  }
  *out = '\0';
  return s;
}

char* trim_string(char* s) {
  if (s == nullptr) return s;
  std::size_t len = std::strlen(s);
  while (len > 0 && is_blank(s[len - 1])) --len;
  s[len] = '\0';
  return s;
}

char* trim_cr_string(char* s) {
  if (s == nullptr) return s;
  std::size_t len = std::strlen(s);
  while (len > 0 && s[len - 1] == '\r') --len;
  s[len] = '\0';
  return s;
}

char* wstrim_string(char* s) {
  if (s == nullptr) return s;
  char* out = s;
  for (const char* p = s; *p; ++p)
    if (*p != '\r' && *p != '\n') *out++ = *p;
  *out = '\0';
  return trim_string(s);
}

char* fill_string(char* s, char from, char to) {
  if (s == nullptr) return s;
  for (char* p = s; *p; ++p)
    if (*p == from) *p = to;
  return s;
}

int string_is_num(const char* s) {
  if (s == nullptr) return 0;
  if (*s == '-') ++s;
  if (*s == '\0') return 0;
  for (; *s; ++s)
    if (!std::isdigit(static_cast<unsigned char>(*s))) return 0;
  return 1;
}

// Label numbers keep a fixed count of significant digits whatever the magnitude,
// so the decimals follow the decimal exponent of the value.
char* set_num(char* buffer, const char* spec, float value) {
  int width = 0, digits = 0, min_dec = 0;
  if (spec != nullptr) std::sscanf(spec, "%d.%d.%d", &width, &digits, &min_dec);
  if (width < 1) width = digits + 1;
  width = std::min(width, 9);

  const double mag = std::fabs(static_cast<double>(value));
  int exponent = 0;
  if (!std::isfinite(mag))
    exponent = 0;
  else if (mag < 1e-5)
    exponent = 2;
  else
    exponent = static_cast<int>(std::floor(std::log10(mag)));

  int decimals = std::max(digits - 1 - exponent, min_dec);
  decimals = std::clamp(decimals, 0, 20);
  width = std::max({width, decimals, 0});

  char format[32];
  std::snprintf(format, sizeof format, "%%%d.%df", width, decimals);
  std::snprintf(buffer, 32, format, static_cast<double>(value));
  return buffer;
}

void copy_bounded(char* dest, std::size_t size, std::string_view text) {
  if (dest == nullptr || size == 0) return;
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(dest, text.data(), n);
  dest[n] = '\0';
}

bool scan_int(const char*& p, int* value) {
  if (p == nullptr) return false;
  const char* s = p;
  while (is_blank(*s)) ++s;
  if (*s == '+' || *s == '-') ++s;
  if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  char* end = nullptr;
  const long long v = std::strtoll(p, &end, 10);  // saturates; the clamp below does the rest
  if (value != nullptr) *value = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
  p = end;
  return true;
}

bool scan_float(const char*& p, float* value) {
  if (p == nullptr) return false;
  char* end = nullptr;
  const float v = std::strtof(p, &end);
  if (end == p) return false;
  // strtof also reads "inf", "nan" and hexadecimal numbers: only decimal numbers count.
  const char* s = p;
  while (is_blank(*s)) ++s;
  if (*s == '+' || *s == '-') ++s;
  if (!(std::isdigit(static_cast<unsigned char>(*s)) || (*s == '.' && std::isdigit(static_cast<unsigned char>(s[1])))))
    return false;
  if ((s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))) return false;
  if (value != nullptr) *value = v;
  p = end;
  return true;
}

namespace {

// The text without blanks around it, or an empty view when only blanks remain.
std::string_view trimmed_token(std::string_view text) {
  while (!text.empty() && (is_blank(text.front()) || text.front() == '\n' || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (is_blank(text.back()) || text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool parse_int(std::string_view text, int* value) {
  text = trimmed_token(text);
  std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size() || text.size() > 64) return false;
  for (std::size_t k = i; k < text.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) return false;
  long long v = 0;
  const std::size_t skip = text[0] == '+' ? 1 : 0;
  const auto [end, error] = std::from_chars(text.data() + skip, text.data() + text.size(), v);
  if (error != std::errc() || end != text.data() + text.size() || v < INT_MIN || v > INT_MAX) return false;
  if (value != nullptr) *value = static_cast<int>(v);
  return true;
}

namespace {

// Whether the token is a plain decimal ([+-]digits[.digits] or [+-].digits): at most 64
// characters of it can neither overflow nor underflow a double, and std::from_chars rounds
// it as strtod does.
bool plain_decimal(std::string_view t) {
  std::size_t i = !t.empty() && (t[0] == '+' || t[0] == '-') ? 1 : 0;
  bool digits = false, point = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') digits = true;
    else if (t[i] == '.' && !point) point = true;
    else return false;
  }
  return digits;
}

}  // namespace

bool parse_double(std::string_view text, double* value) {
  text = trimmed_token(text);
  if (text.empty() || text.size() > 64) return false;
  // Station lists and reports are plain decimals by the thousand: read those directly.
  if (plain_decimal(text)) {
    const std::size_t skip = text[0] == '+' ? 1 : 0;
    double v = 0.0;
    const auto [end, error] = std::from_chars(text.data() + skip, text.data() + text.size(), v, std::chars_format::fixed);
    if (error == std::errc() && end == text.data() + text.size()) {
      if (value != nullptr) *value = v;
      return true;
    }
  }
  const std::string copy(text);
  const char* p = copy.c_str();
  float check = 0.0f;
  if (!scan_float(p, &check)) return false;  // a decimal number stands there
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(copy.c_str(), &end);
  if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
  if (value != nullptr) *value = v;
  return true;
}

bool parse_float(std::string_view text, float* value) {
  double v = 0.0;
  if (!parse_double(text, &v) || std::fabs(v) > static_cast<double>(FLT_MAX)) return false;
  if (value != nullptr) *value = static_cast<float>(v);
  return true;
}

std::string_view trim_view(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

std::vector<std::string> split_fields(std::string_view text, char delimiter) {
  std::vector<std::string> out;
  for (std::size_t start = 0;;) {
    const std::size_t p = text.find(delimiter, start);
    if (p == std::string_view::npos) {
      out.emplace_back(text.substr(start));
      return out;
    }
    out.emplace_back(text.substr(start, p - start));
    start = p + 1;
  }
}

std::vector<std::string> split_words(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t b = i;
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i > b) out.emplace_back(text.substr(b, i - b));
  }
  return out;
}

std::string lower_copy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool starts_with_ci(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strnicmp(text.data(), prefix.data(), prefix.size()) == 0;
}

std::string format_va(const char* format, va_list args) {
  if (format == nullptr) return {};
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  try {
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(s.data(), s.size(), format, args);
    s.resize(static_cast<std::size_t>(n));
    return s;
  } catch (const std::bad_alloc&) {
    return {};
  }
}
