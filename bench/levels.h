// What the contour benchmarks share: their scratch files and the drawing of 19 levels from
// -1.8 by 0.2, each band filled with its own colour index from 16 up (the workstation sets
// the colours), drawn as `type`.
#pragma once
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/colors.h"
#include "plot/cont.h"

// A scratch file of the benchmarks, in TMPDIR or /tmp.
inline std::string tmp(const char* name) {
  const char* d = std::getenv("TMPDIR");
  return std::string(d != nullptr ? d : "/tmp") + "/" + name;
}

inline void draw_nineteen_levels(const GridRec* grid, int type) {
  CONT_init();
  std::vector<float> levels;
  for (int k = 0; k < 19; ++k) levels.push_back(-1.8F + 0.2F * static_cast<float>(k));
  CONT_set_values(static_cast<int>(levels.size()), levels.data());
  std::vector<AttribRec> fills(20);
  for (int i = 0; i < 19; ++i) {
    ATTRIB_init(&fills[static_cast<std::size_t>(i)]);
    fills[static_cast<std::size_t>(i)].color = 16 + i;
    fills[static_cast<std::size_t>(i)].fill = 0;
  }
  fills[19].color = -2;
  CONT_set_fill_attribs(fills.data());
  CONT_set_type(type);
  CONT_set_cont_ext(grid);
  CONT_draw_contour(grid);
}
