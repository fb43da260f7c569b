// The pictures the program's end-to-end tests look at: pixels counted by colour and place.
#pragma once
#include <algorithm>
#include <climits>
#include <cstddef>
#include <vector>

#include "tests/graphics/gks_render.h"

// The red, green and blue of pixel x, y (rows from the top).
inline const unsigned char* rgb_at(const Picture& p, int x, int y) {
  return &p.rgb[3 * (static_cast<std::size_t>(y) * p.width + x)];
}

// Pixels in the rectangle x0..x1, y0..y1 (inclusive, cut to the picture) whose colour is()
// accepts.
template <class Is>
int count_where(const Picture& p, Is is, int x0 = 0, int y0 = 0, int x1 = INT_MAX, int y1 = INT_MAX) {
  int n = 0;
  for (int y = std::max(y0, 0); y <= std::min(y1, p.height - 1); ++y)
    for (int x = std::max(x0, 0); x <= std::min(x1, p.width - 1); ++x) n += is(rgb_at(p, x, y)) ? 1 : 0;
  return n;
}
