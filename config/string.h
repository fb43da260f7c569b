// Small text utilities shared by every reader of text records.
#pragma once
#include <cstddef>
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
// Formats value for labels by the "w.s.m" spec into buffer (at least 32 bytes).
char* set_num(char* buffer, const char* spec, float value);
