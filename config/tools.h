// Byte-order handling and line readers for the binary and text file readers.
#pragma once
#include <cstdint>
#include <cstdio>

int swap_setup(int order);
int swap_short(void* value);
int swap_shorts(void* values, int count);
int swap_long(void* value);
int swap_longs(void* values, int count);
int swap_double(void* value);
int fread_short_swap(std::int16_t* value, std::FILE* f);
int fread_long_swap(std::int32_t* value, std::FILE* f);
int fwrite_long_swap(std::int32_t value, std::FILE* f);
void fswap(void* a, void* b);
// Back to the machine's own byte order.
void swap_reset_state();

// Line readers: buffer must hold n+1 bytes (161 for fgetline).
char* fgetstring(std::FILE* f, char* buffer, int n);
int fgetnline(std::FILE* f, char* buffer, int n);
int fgetline(std::FILE* f, char* buffer);
int fskipline(std::FILE* f);
