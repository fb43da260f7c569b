// Small text utilities shared by every reader of text records.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Splits text at delimiter into a list; list[i] point into one private copy.
// Returns the count, or -1 (count 0, list null) for null or empty text.
int parse_string(const char* text, char delimiter, int* count, char*** list);
void free_parsed_array(int count, char** list);

int stricmp(const char* a, const char* b);
int strnicmp(const char* a, const char* b, std::size_t n);
char* low_string(char* s);
char* strip_string(char* s, char c);
char* strip_escape(char* s);
char* trim_string(char* s);
char* trim_cr_string(char* s);
char* wstrim_string(char* s);
char* fill_string(char* s, char from, char to);
int string_is_num(const char* s);
// Copies text into dest of size bytes, cut to fit and always terminated; nothing happens
// for a null dest or a size of 0.
void copy_bounded(char* dest, std::size_t size, std::string_view text);
// Numbers in text, read by one set of rules everywhere: blanks before the number are
// skipped, an optional sign, decimal digits (numbers also a fraction and an exponent).
// parse_int and parse_float take a whole token (blanks around it allowed, nothing else)
// and fail, leaving *value alone, for anything else, for an integer outside the int range
// and for a number that is not finite or does not fit a float. starts_with_ci is the
// case-insensitive prefix test of keywords.
bool parse_int(std::string_view text, int* value);
bool parse_float(std::string_view text, float* value);
bool parse_double(std::string_view text, double* value);
// scan_int and scan_float read a number at the start of the text and advance p past it
// (the rest is the caller's); an integer beyond the int range saturates at its limit and a
// number beyond the float range becomes an infinity, so that the caller decides. False,
// with p unmoved, when no number stands there.
bool scan_int(const char*& p, int* value);
bool scan_float(const char*& p, float* value);
// A decimal number as tables and grid files spell it by the thousand: [-]digits[.digits],
// with an exponent when exponent is true (e or E, a sign, digits; an 'e' without a digit is
// no part of the number), at most 15 digits in all. Read exactly, as the digits taken as an
// integer and the power of ten that scales them. scan_exact_decimal gives the characters
// read, 0 when no such number starts the text; exact_decimal_value gives its value correctly
// rounded to a double (both parts are exact, so one multiplication or division rounds it
// once), false when the power of ten lies beyond 10^22.
struct ExactDecimal {
  std::uint64_t digits = 0;
  int scale = 0;
  bool negative = false;
};
// (Inline: readers call them a million times a file.)
inline std::size_t scan_exact_decimal(std::string_view text, bool exponent, ExactDecimal* d) {
  const char* p = text.data();
  const char* end = p + text.size();
  ExactDecimal r;
  r.negative = p < end && *p == '-';
  if (r.negative) ++p;
  int digits = 0;
  bool point = false;
  for (; p < end; ++p) {
    if (*p >= '0' && *p <= '9') {
      if (++digits > 15) return 0;
      r.digits = r.digits * 10 + static_cast<std::uint64_t>(*p - '0');
      r.scale -= point ? 1 : 0;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return 0;
  if (exponent && p < end && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    const bool minus = q < end && *q == '-';
    if (q < end && (*q == '+' || *q == '-')) ++q;
    if (q < end && *q >= '0' && *q <= '9') {
      int e = 0;
      for (; q < end && *q >= '0' && *q <= '9'; ++q)
        if (e < 1000) e = e * 10 + (*q - '0');
      r.scale += minus ? -e : e;
      p = q;
    }
  }
  *d = r;
  return static_cast<std::size_t>(p - text.data());
}

inline bool exact_decimal_value(const ExactDecimal& d, double* value) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (d.scale < -22 || d.scale > 22) return false;
  const auto x = static_cast<double>(d.digits);
  const double v = d.scale >= 0 ? x * kPow10[d.scale] : x / kPow10[-d.scale];
  *value = d.negative ? -v : v;
  return true;
}

bool starts_with_ci(std::string_view text, std::string_view prefix);
// The text without white space (isspace) at either end.
std::string_view trim_view(std::string_view text);
// The fields of text between delimiters, empty ones included (one field for no delimiter).
std::vector<std::string> split_fields(std::string_view text, char delimiter);
// The words of text: runs without white space.
std::vector<std::string> split_words(std::string_view text);
// A lower-case copy (the C locale's letters).
std::string lower_copy(std::string_view text);
// A printf-style format and its arguments as a string of any length; empty when the
// format is null, prints nothing, or the memory for it cannot be had.
std::string format_va(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// A number format a user gives (contour labels, station values, grid files) is checked
// before it reaches printf: literal text ("%%" for a percent sign) round exactly one
// conversion of at most kNumberFormatFlags flags from "-+ #0", a width and a precision of
// at most two digits and kNumberFormatField each, and a conversion character from
// conversions (kFloatConversions, kNumberConversions); the whole at most
// kNumberFormatLength characters. Anything else (%n, %s, '*', length modifiers, a second
// conversion) could read or write memory that is not there, or spin on a huge width.
// Returns the conversion character, or 0 for a format that must not be used.
// A float shows no more than 9 significant digits, so 40 places cover every use; the
// longest number printed, -FLT_MAX by "%.40f", then takes 81 characters, and with the
// literal text every result fits a buffer of 160 bytes.
inline constexpr int kNumberFormatFlags = 5;
inline constexpr int kNumberFormatField = 40;
inline constexpr std::size_t kNumberFormatLength = 64;
inline constexpr std::size_t kNumberFormatBuffer = 160;
inline constexpr const char* kFloatConversions = "feEgG";
inline constexpr const char* kNumberConversions = "feEgGdi";
char number_format_conversion(std::string_view format, std::string_view conversions);

// Formats value for labels by the "w.s.m" spec into buffer (at least 32 bytes).
char* set_num(char* buffer, const char* spec, float value);
