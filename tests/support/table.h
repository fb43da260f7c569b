// Case tables under tests/: one case a line, fields separated by tabs, '#' lines saying where
// the expected values come from. The readers of the several directories differ in how a table
// is laid out (blocks, keyed cases, header rows); these two are what they all share.
#pragma once

#include <string>
#include <vector>

// The fields of one line, split at tabs; a trailing tab gives an empty last field.
std::vector<std::string> table_fields(const std::string& line);

// "\n", "\r", "\t", "\\" and "\xHH" turned into the characters they stand for, so that
// expected texts with control bytes fit on one line; any other escaped character is itself.
// For a command line only "\n", "\t" and "\\" are turned: the other escapes are the shell's.
std::string table_unescape(const std::string& s, bool for_shell = false);
