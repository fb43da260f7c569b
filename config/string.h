// Small text utilities shared by every reader of text records.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

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
// A printf-style format and its arguments as a string of any length; empty when the
// format is null, prints nothing, or the memory for it cannot be had.
std::string format_va(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Formats value for labels by the "w.s.m" spec into buffer (at least 32 bytes).
char* set_num(char* buffer, const char* spec, float value);
