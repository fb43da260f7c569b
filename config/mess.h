// Messages with a bit-mask level, log files and paging.
#pragma once
#include <cstdarg>

// Message classes: four-bit groups of the level mask.
constexpr unsigned MESS_PRINT = 0xFu;
constexpr unsigned MESS_ERROR = 0x30u;
constexpr unsigned MESS_WARN = 0xC0u;
constexpr unsigned MESS_MESS = 0xF00u;
constexpr unsigned MESS_OUT1 = 0xF000u;
constexpr unsigned MESS_OUT2 = 0xF0000u;
constexpr unsigned MESS_OUT3 = 0xF00000u;
constexpr unsigned MESS_OUT4 = 0xF000000u;
constexpr unsigned MESS_DEBUG = 0xF0000000u;
// One bit of every class (the last letters a-d of the level words): a detail level of its
// own, such as MESS_DEBUG & MESS_C (0x40000000).
constexpr unsigned MESS_A = 0x11111111u;
constexpr unsigned MESS_B = 0x22222222u;
constexpr unsigned MESS_C = 0x44444444u;
constexpr unsigned MESS_D = 0x88888888u;

// Prints when level & mess_level is nonzero; 1 when the text reached the terminal.
int MESS_print(unsigned level, const char* format, ...) __attribute__((format(printf, 2, 3)));
int MESS_vprint(unsigned level, const char* format, va_list args) __attribute__((format(printf, 2, 0)));
int MESS_set(int mode, unsigned mask);
int MESS_set_str(const char* text);
unsigned MESS_get();
int MESS_check(unsigned mask);
int MESS_check_set();
void MESS_set_out(int value);
void MESS_set_page(int value);
int MESS_get_max_lines();
int MESS_hold(unsigned level, const char* text);
int MESS_file(const char* name, const char* mode);
void MESS_file_close();
void MESS_print_prog(const char* title);
// Back to the start-up state: default level, terminal only, log files closed.
void MESS_reset();
void MESS_reset_state();
