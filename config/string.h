// Small text utilities shared by every reader of text records.
#pragma once
#include <cstdarg>
#include <cstddef>
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
