// A text metafile the program wrote, read back: its texts with the place, height and
// horizontal alignment each was drawn with, and its records by keyword.
#pragma once
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run.h"

struct MetaText {
  float x = 0, y = 0, height = 0;
  int halign = 0;
  std::string text;
};

struct Metafile {
  std::vector<MetaText> texts;
  std::vector<float> heights;        // the TE_HGHT records in order
  std::vector<std::string> records;  // every line
  // The records of keyword key, whole.
  std::vector<std::string> with(const std::string& key) const {
    std::vector<std::string> out;
    for (const std::string& r : records)
      if (r.rfind(key + " ", 0) == 0) out.push_back(r);
    return out;
  }
};

inline Metafile read_metafile(const std::string& path) {
  Metafile m;
  std::istringstream in(read_file(path));
  float height = 0;
  int h = 0, v = 0;
  for (std::string line; std::getline(in, line);) {
    m.records.push_back(line);
    MetaText t;
    char text[256] = "";
    if (std::sscanf(line.c_str(), "TE_HGHT %f", &height) == 1) m.heights.push_back(height);
    if (std::sscanf(line.c_str(), "TE_ALGN %d %d", &h, &v) == 2) continue;
    if (std::sscanf(line.c_str(), "TE %f,%f %255[^\n]", &t.x, &t.y, text) == 3)
      t.height = height, t.halign = h, t.text = text, m.texts.push_back(t);
  }
  return m;
}
