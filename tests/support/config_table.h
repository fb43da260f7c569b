// Case tables under tests/data: one case a line, fields separated by tabs, "[name]" lines
// starting the named table of a file, '#' lines saying where the expected values come
// from. Fields may hold the escapes \n \r \t \\ and \xHH (\# for a leading '#');
// "<null>" stands for no text.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/table.h"

struct TableRow {
  std::string where;  // "file:line", for the failure message
  std::vector<std::string> field;
  const std::string& operator[](std::size_t i) const { return field.at(i); }
  int num(std::size_t i) const { return std::atoi(field.at(i).c_str()); }
  // The field as a C string, null for "<null>".
  const char* text(std::size_t i) const { return field.at(i) == "<null>" ? nullptr : field[i].c_str(); }
};

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
    for (const std::string& f : table_fields(line)) row.field.push_back(table_unescape(f));
    rows.push_back(row);
  }
  EXPECT_FALSE(rows.empty()) << "no cases in tests/data/" << file << " [" << name << "]";
  return rows;
}

// In a death-test child: input on standard input and standard output joined to standard
// error (which the death test matches); the alarm fails a prompt that loops.
inline void child_io(const std::string& input) {
  std::FILE* f = std::tmpfile();
  std::fputs(input.c_str(), f);
  std::rewind(f);
  dup2(fileno(f), 0);
  dup2(2, 1);
  alarm(10);
}
