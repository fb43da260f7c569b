// Process-wide integer flags and the plot-component switches.
#include "config/flag.h"

namespace {

// The flags every module may consult and the switches of what a plot draws.
struct FlagState {
  std::int64_t flags[FLAG_NUM] = {};
  // Entry 0 = text labels (count of entries 1-6 that are on), 12 = sum of entries 0-11.
  int plot_it[FLAG_NUM_PLOT] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
};
FlagState st;

bool in_range(int index) { return index >= 0 && index < FLAG_NUM; }

int clamp_int(std::int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int>(v);
}

}  // namespace

int FLAG_get(int index) { return in_range(index) ? clamp_int(st.flags[index]) : 0; }

std::int64_t FLAG_getl(int index) { return in_range(index) ? st.flags[index] : 0; }

int FLAG_set(int index, int value) { return FLAG_setl(index, value); }

int FLAG_setl(int index, std::int64_t value) {
  if (!in_range(index)) return -1;
  st.flags[index] = value;
  return 1;
}

void FLAG_reset(int value) { FLAG_resetl(value); }

void FLAG_resetl(std::int64_t value) {
  for (auto& f : st.flags) f = value;
}

int FLAG_batch() { return st.flags[FLAG_BATCH] > 0; }

void FLAG_set_batch(int value) { st.flags[FLAG_BATCH] = value; }

int FLAG_help() { return st.flags[FLAG_HELP] > 0; }

int FLAG_setplot(int index, int value) {
  if (index < 0 || index >= FLAG_NUM_PLOT) return -1;
  if (index == DRAW_ALL) {
    for (int i = 0; i < DRAW_ALL; ++i) st.plot_it[i] = value;
  } else if (index == DRAW_TEXT) {
    for (int i = DRAW_TEXT; i <= DRAW_TEXT_LR; ++i) st.plot_it[i] = value;
  } else {
    st.plot_it[index] = value;
  }
  int text = 0;
  for (int i = DRAW_TEXT_UL; i <= DRAW_TEXT_LR; ++i) text += st.plot_it[i] != 0;
  st.plot_it[DRAW_TEXT] = text;
  int sum = 0;
  for (int i = 0; i < DRAW_ALL; ++i) sum += st.plot_it[i];
  st.plot_it[DRAW_ALL] = sum;
  return 1;
}

int FLAG_getplot(int index) { return (index >= 0 && index < FLAG_NUM_PLOT) ? st.plot_it[index] : 0; }

void FLAG_resetplot(int value) {
  for (auto& p : st.plot_it) p = value;
}

void FLAG_reset_state() { st = FlagState{}; }
