// Process-wide integer flags and the plot-component switches.
#pragma once
#include <cstdint>

constexpr int FLAG_NUM = 30;
constexpr int FLAG_NUM_PLOT = 13;

int FLAG_get(int index);
std::int64_t FLAG_getl(int index);
int FLAG_set(int index, int value);
int FLAG_setl(int index, std::int64_t value);
void FLAG_reset(int value);
void FLAG_resetl(std::int64_t value);
int FLAG_batch();
void FLAG_set_batch(int value);
int FLAG_help();
int FLAG_setplot(int index, int value);
int FLAG_getplot(int index);
void FLAG_resetplot(int value);
