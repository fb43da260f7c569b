#include "tests/support/table.h"

#include <cstdlib>

std::vector<std::string> table_fields(const std::string& line) {
  std::vector<std::string> out;
  for (std::size_t from = 0;;) {
    const std::size_t tab = line.find('\t', from);
    out.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) return out;
    from = tab + 1;
  }
}

std::string table_unescape(const std::string& s, bool for_shell) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (for_shell && c != 'n' && c != 't' && c != '\\') {
      out += '\\';  // printf's octal bytes and the like are the shell's to read
      out += c;
    } else if (c == 'x' && i + 2 < s.size()) {
      out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
  }
  return out;
}
