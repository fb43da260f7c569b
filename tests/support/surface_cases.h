// Case tables of the surface tests, kept in tests/surface/data/<file>: blocks headed
// "[name]" (a line of its own, without tabs), one case a line, fields separated by tabs; lines starting with "#" (the source of
// the expected values) and blank lines are skipped. In a field "\n", "\t", "\\" and "\xHH"
// stand for their characters, and a lone "~" for the empty text.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/table.h"

namespace surface_cases {

using Row = std::vector<std::string>;

inline std::string unescape(const std::string& s) { return s == "~" ? "" : table_unescape(s); }

// The rows of one block (the file is read once); a missing file or block fails the test.
inline const std::vector<Row>& rows(const std::string& file, const std::string& block) {
  static std::map<std::string, std::map<std::string, std::vector<Row>>> files;
  auto [it, fresh] = files.try_emplace(file);
  if (fresh) {
    std::ifstream in(std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/" + file);
    std::vector<Row>* current = nullptr;
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      if (line[0] == '[' && line.back() == ']' && line.find('\t') == std::string::npos) {
        current = &it->second[line.substr(1, line.find(']') - 1)];
        continue;
      }
      if (current == nullptr) continue;
      Row row;
      for (const std::string& f : table_fields(line)) row.push_back(unescape(f));
      current->push_back(row);
    }
  }
  const auto block_it = it->second.find(block);
  static const std::vector<Row> none;
  if (block_it == it->second.end() || block_it->second.empty()) ADD_FAILURE() << file << ": no block [" << block << "]";
  return block_it == it->second.end() ? none : block_it->second;
}

inline int num(const std::string& s) { return std::stoi(s); }

}  // namespace surface_cases
