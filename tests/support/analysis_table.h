// Case tables of the analysis and driver tests: tests/data/<dir>/<name>.tsv, one case a
// line, fields separated by tabs. Lines starting with '#' say where the expected values come
// from and are skipped, as are blank lines. In a field "\n", "\t", "\\" and "\xHH" stand for
// the characters, "{N*c}" for N times the character c, and a lone "-" for an empty field.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/table.h"

using TableRow = std::vector<std::string>;

inline std::string table_field(const std::string& raw) {
  if (raw == "-") return "";
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const std::size_t end = raw[i] == '{' ? raw.find('}', i) : std::string::npos;
    if (end != std::string::npos && end >= i + 3 && raw[end - 2] == '*') {
      out.append(std::strtoul(raw.substr(i + 1, end - i - 3).c_str(), nullptr, 10), raw[end - 1]);
      i = end;
    } else {
      out += raw[i];
    }
  }
  return table_unescape(out);
}

// The rows of tests/data/<path>.tsv with at least `fields` fields each (a test fails when
// the file is missing or a row is short).
inline std::vector<TableRow> read_table(const std::string& path, std::size_t fields) {
  std::vector<TableRow> rows;
  std::ifstream in(std::string(STACONT_SOURCE_DIR) + "/tests/data/" + path + ".tsv");
  EXPECT_TRUE(in.good()) << path;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    TableRow row;
    for (const std::string& f : table_fields(line)) row.push_back(table_field(f));
    EXPECT_GE(row.size(), fields) << path << ": " << line;
    if (row.size() >= fields) rows.push_back(row);
  }
  EXPECT_FALSE(rows.empty()) << path;
  return rows;
}

inline float table_float(const std::string& s) { return std::strtof(s.c_str(), nullptr); }
inline int table_int(const std::string& s) { return static_cast<int>(std::strtol(s.c_str(), nullptr, 10)); }
