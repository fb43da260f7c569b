// Case tables of the graphics tests, kept as text under tests/data/graphics/.
//
// A table is a list of cases. A case begins with a line "== name"; each of its other
// lines is "field<TAB>value". In values "\n", "\r", "\t", "\\" and "\xHH" stand for those
// bytes, so that expected outputs with control bytes fit on one line; a field given
// again adds a value (all() gives them in order; [] joins them with newlines, so that a
// multi-line expected text is written line by line). Lines beginning with '#' say where the expected values come from.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/run.h"
#include "tests/support/table.h"

struct GraphicsCase {
  std::string name;
  std::map<std::string, std::vector<std::string>> field;
  std::vector<std::string> all(const std::string& key) const {
    const auto it = field.find(key);
    return it == field.end() ? std::vector<std::string>{} : it->second;
  }
  std::string operator[](const std::string& key) const {
    const std::vector<std::string> values = all(key);
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) out += (i > 0 ? "\n" : "") + values[i];
    return out;
  }
  bool has(const std::string& key) const { return field.count(key) != 0; }
};

inline std::vector<GraphicsCase> graphics_cases(const std::string& file) {
  const std::string text = read_file(STACONT_SOURCE_DIR "/tests/data/graphics/" + file);
  EXPECT_FALSE(text.empty()) << file;
  std::vector<GraphicsCase> cases;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    const std::string line = text.substr(start, nl - start);
    start = nl + 1;
    if (line.rfind("== ", 0) == 0) {
      cases.push_back({line.substr(3), {}});
      continue;
    }
    const std::size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos || cases.empty()) continue;
    cases.back().field[line.substr(0, tab)].push_back(table_unescape(line.substr(tab + 1)));
  }
  return cases;
}
