// The texts of a PostScript file as the writer notes them ("%%TE:x y text" before each
// string): their world positions and characters, in drawing order (a text drawn again at
// the same place, over its rim, once).
#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run.h"

struct PsText {
  float x, y;
  std::string s;
};

inline std::vector<PsText> ps_texts(const std::string& ps) {
  std::vector<PsText> out;
  std::istringstream in(read_file(ps));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("%%TE:", 0) != 0) continue;
    std::istringstream l(line.substr(5));
    PsText t;
    l >> t.x >> t.y;
    l.get();
    std::getline(l, t.s);
    // A mark drawn over its rim is one text, written twice at one place: the later one
    // (the text itself) counts.
    for (auto it = out.begin(); it != out.end(); ++it)
      if (it->x == t.x && it->y == t.y && it->s == t.s) {
        out.erase(it);
        break;
      }
    out.push_back(t);
  }
  return out;
}
