// Case tables under tests/data: one case a line, fields separated by tabs, "[name]" lines
// starting the named table of a file, '#' lines saying where the expected values come
// from. Fields may hold the escapes \n \r \t \\ and \xHH (\# for a leading '#');
// "<null>" stands for no text.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

struct TableRow {
  std::string where;  // "file:line", for the failure message
  std::vector<std::string> field;
  const std::string& operator[](std::size_t i) const { return field.at(i); }
  int num(std::size_t i) const { return std::atoi(field.at(i).c_str()); }
  // The field as a C string, null for "<null>".
  const char* text(std::size_t i) const { return field.at(i) == "<null>" ? nullptr : field[i].c_str(); }
};

inline std::string table_unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'x' && i + 2 < s.size()) {
      out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
  }
  return out;
}

// The rows of table `name` in tests/data/<file> (every row when name is "").
inline std::vector<TableRow> read_table(const std::string& file, const std::string& name = "") {
  std::vector<TableRow> rows;
  std::ifstream in(std::string(STACONT_SOURCE_DIR) + "/tests/data/" + file);
  std::string line, section;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    if (!name.empty() && section != name) continue;
    TableRow row{file + ":" + std::to_string(n), {}};
    for (std::size_t from = 0;;) {
      const std::size_t tab = line.find('\t', from);
      row.field.push_back(table_unescape(line.substr(from, tab - from)));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    rows.push_back(row);
  }
  EXPECT_FALSE(rows.empty()) << "no cases in tests/data/" << file << " [" << name << "]";
  return rows;
}
