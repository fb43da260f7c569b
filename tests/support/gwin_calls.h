// Scripts of calls under tests/data: "session Name" (or "case Name") starts a block, each
// other line names a call and its words, "=" before the expected answer; "#" lines say
// where the expected answers come from. A word in "quotes" may hold blanks and the escapes
// \n, \r, \t, \\, \" and \xHH.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

using Args = std::vector<std::string>;

struct Script {
  std::string name;
  std::vector<std::pair<int, Args>> steps;  // line number, words
};

inline Args script_words(const std::string& line) {
  Args out;
  for (std::size_t i = 0; i < line.size();) {
    if (line[i] == ' ') {
      ++i;
    } else if (line[i] == '"') {
      std::string w;
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (line[i] == '\\' && next == 'x') w += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16)), i += 3;
        else if (line[i] == '\\' && std::string("ntr\\\"").find(next) != std::string::npos) w += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next, ++i;
        else w += line[i];
      }
      out.push_back(w), ++i;
    } else {
      const std::size_t e = std::min(line.find(' ', i), line.size());
      out.push_back(line.substr(i, e - i)), i = e;
    }
  }
  return out;
}

// The blocks of tests/data/<file>.
inline std::vector<Script> scripts_of(const std::string& file) {
  std::vector<Script> out;
  std::ifstream in(std::string(STACONT_SOURCE_DIR) + "/tests/data/" + file);
  if (!in) out.push_back({"unreadable", {{0, {"unreadable"}}}});
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.find_first_not_of(' ') == std::string::npos || line[0] == '#') continue;
    Args w = script_words(line);
    if (w[0] == "session" || w[0] == "case") out.push_back({w.size() > 1 ? w[1] : "", {}});
    else if (!out.empty()) out.back().steps.emplace_back(n, w);
  }
  return out;
}

inline void PrintTo(const Script& s, std::ostream* os) { *os << s.name; }
inline std::string script_name(const testing::TestParamInfo<Script>& info) { return info.param.name; }

// Calls by name, each answering a text; integers print as such, other numbers with %g.
using Calls = std::map<std::string, std::function<std::string(const Args&)>>;
inline int to_i(const std::string& s) { return static_cast<int>(std::stol(s, nullptr, 0)); }
inline std::string num(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.9g", v);
  return b;
}
inline std::string num(long long v) { return std::to_string(v); }
inline std::string num(int v) { return std::to_string(v); }
inline std::string num(long v) { return std::to_string(v); }

// t with every "$D" in it replaced by dir, a test's own directory.
inline std::string with_dir(std::string t, const std::string& dir) {
  for (std::size_t p; (p = t.find("$D")) != std::string::npos;) t.replace(p, 2, dir);
  return t;
}
// What f prints on standard output.
inline std::string captured(const std::function<void()>& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}
// The text a call leaves in a buffer of N characters that holds a text of its own before;
// for a call that answers a text, that answer ("null" for none).
template <std::size_t N, class F>
std::string into(F f) {
  char b[N] = "untouched";
  if constexpr (std::is_pointer_v<decltype(f(b))>) {
    const char* r = f(b);
    return r != nullptr ? r : "null";
  } else {
    f(b);
    return b;
  }
}

// Runs every step of a block: "= text" compares the answer exactly, "^ text" its start,
// "~ text" finds the text in it.
inline void run_calls(const Script& s, const Calls& calls) {
  for (const auto& [n, w] : s.steps) {
    SCOPED_TRACE("line " + std::to_string(n) + ": " + w[0]);
    const auto f = calls.find(w[0]);
    ASSERT_NE(f, calls.end()) << "no such call";
    std::size_t eq = 1;
    while (eq < w.size() && w[eq] != "=" && w[eq] != "~" && w[eq] != "^") ++eq;
    const std::string got = f->second(Args(w.begin() + 1, w.begin() + static_cast<long>(eq)));
    if (eq + 1 >= w.size()) continue;
    const std::string& op = w[eq];
    const std::string& want = w[eq + 1];
    const bool ok = op == "=" ? got == want : op == "^" ? got.rfind(want, 0) == 0 : got.find(want) != std::string::npos;
    EXPECT_TRUE(ok) << "answer: \"" << got << "\"\nwanted " << op << " \"" << want << "\"";
  }
}
