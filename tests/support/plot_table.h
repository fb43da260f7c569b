// Case tables of the plot tests: tab-separated rows under tests/data/plot, '#' lines and
// blank lines being the sources and notes of the numbers.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/table.h"

using TableRow = std::vector<std::string>;

// The rows of tests/data/plot/<name>, each split at tabs; a missing file fails the test.
inline std::vector<TableRow> plot_table(const std::string& name) {
  std::ifstream in(STACONT_SOURCE_DIR "/tests/data/plot/" + name);
  EXPECT_TRUE(in.good()) << name;
  std::vector<TableRow> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    rows.push_back(table_fields(line));
  }
  return rows;
}

// The rows whose first field is key, without it.
inline std::vector<TableRow> plot_table_rows(const std::vector<TableRow>& rows, const std::string& key) {
  std::vector<TableRow> out;
  for (const TableRow& r : rows)
    if (!r.empty() && r[0] == key) out.emplace_back(r.begin() + 1, r.end());
  return out;
}
