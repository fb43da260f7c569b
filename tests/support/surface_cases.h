// Case tables of the surface tests, kept in tests/surface/data/<file>: blocks headed
// "[name]" (a line of its own, without tabs), one case a line, fields separated by tabs; lines starting with "#" (the source of
// the expected values) and blank lines are skipped. In a field "\n", "\t", "\\" and "\xHH"
// stand for their characters, and a lone "~" for the empty text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
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

// Scripts: a block of commands, "name<TAB>argument...", run in order by one test. A line may
// end in "=>" and the text the command must give, or in "~>" and a pattern of that text in
// which "*" stands for any run of characters and "?" for one. In an argument "$(text*n)"
// stands for text n times over, with "#" in it for the index of each copy.
using Command = std::function<std::string(const Row&)>;  // row[0] is the command's name

inline std::string expand(std::string s) {
  for (std::size_t b; (b = s.find("$(")) != std::string::npos;) {
    const std::size_t e = s.find(')', s.find('*', b));
    const std::size_t star = s.rfind('*', e);
    std::string out;
    for (int i = 0, n = std::stoi(s.substr(star + 1, e - star - 1)); i < n; ++i) {
      std::string copy = s.substr(b + 2, star - b - 2);
      for (std::size_t h; (h = copy.find('#')) != std::string::npos;) copy.replace(h, 1, std::to_string(i));
      out += copy;
    }
    s.replace(b, e - b + 1, out);
  }
  return s;
}

inline bool glob(const std::string& p, const std::string& s) {
  std::size_t i = 0, j = 0, star = std::string::npos, mark = 0;
  while (j < s.size()) {
    if (i < p.size() && p[i] == '*') star = i++, mark = j;
    else if (i < p.size() && (p[i] == '?' || p[i] == s[j])) ++i, ++j;
    else if (star != std::string::npos) i = star + 1, j = ++mark;
    else return false;
  }
  while (i < p.size() && p[i] == '*') ++i;
  return i == p.size();
}

inline void run_script(const std::string& file, const std::string& block, const std::map<std::string, Command>& commands) {
  for (const Row& line : rows(file, block)) {
    Row row;
    for (const std::string& f : line) row.push_back(expand(f));
    const auto arrow = std::find_if(row.begin(), row.end(), [](const std::string& f) { return f == "=>" || f == "~>"; });
    const std::string mode = arrow == row.end() ? "" : *arrow, want = mode.empty() || arrow + 1 == row.end() ? "" : arrow[1];
    row.erase(arrow, row.end());
    const std::string where = file + " [" + block + "] " + line[0] + (line.size() > 1 ? " " + line[1].substr(0, 60) : "");
    const auto c = commands.find(row[0]);
    if (c == commands.end()) {
      ADD_FAILURE() << where << ": no such command";
      continue;
    }
    const std::string got = c->second(row);
    EXPECT_TRUE(mode.empty() || (mode == "=>" ? got == want : glob(want, got)))
        << where << "\n  wants: " << want.substr(0, 400) << "\n  gives: " << got.substr(0, 400);
  }
}

}  // namespace surface_cases
