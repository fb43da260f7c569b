// Seeded mutations of text files for the tests of hostile input: the same input comes
// back for the same seed on every run.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

// A count from the environment (the number of inputs a run tries), or fallback.
inline long env_count(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

// The lines of s, each with its end.
inline std::vector<std::string> split_lines(const std::string& s) {
  std::vector<std::string> out;
  std::size_t p = 0;
  while (p < s.size()) {
    std::size_t e = s.find('\n', p);
    e = e == std::string::npos ? s.size() : e + 1;
    out.push_back(s.substr(p, e - p));
    p = e;
  }
  return out;
}

inline std::string join(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l;
  return s;
}

// One to four mutations of s: flipped and hostile bytes, truncation, lines deleted, repeated,
// swapped or shuffled, 100 KB lines and groups, groups replaced by the hostile tokens given or
// by numbers of any size, random bytes, other line ends, only the first lines left.
inline std::string mutate(std::string s, std::mt19937_64& rng, const std::vector<std::string>& tokens) {
  auto pick = [&](std::size_t n) { return n == 0 ? std::size_t{0} : static_cast<std::size_t>(rng() % n); };
  auto token_at = [&](std::size_t p, std::size_t* end) {  // the group around p
    auto sep = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == ','; };
    while (p > 0 && !sep(s[p - 1])) --p;
    std::size_t e = p;
    while (e < s.size() && !sep(s[e])) ++e;
    *end = e;
    return p;
  };
  static const char hostile[] = {'\0', '\x01', '\x03', '\r', '\n', '\t', '\x7f', '\x80',
                                 '\xff', '\xc3', ' ',    '=',    ',',    '"',    '/',    '-'};
  const std::size_t rounds = 1 + pick(4);
  for (std::size_t k = 0; k < rounds; ++k) {
    std::vector<std::string> lines;
    switch (pick(15)) {
      case 0:  // bit flips
        for (std::size_t n = 1 + pick(8); n > 0 && !s.empty(); --n)
          s[pick(s.size())] ^= static_cast<char>(1u << pick(8));
        break;
      case 1:  // hostile bytes in place
        for (std::size_t n = 1 + pick(8); n > 0 && !s.empty(); --n) s[pick(s.size())] = hostile[pick(sizeof hostile)];
        break;
      case 2:  // truncation anywhere
        s.resize(pick(s.size() + 1));
        break;
      case 3:  // lines deleted
        lines = split_lines(s);
        for (std::size_t n = 1 + pick(3); n > 0 && !lines.empty(); --n) lines.erase(lines.begin() + pick(lines.size()));
        s = join(lines);
        break;
      case 4: {  // a line repeated, sometimes many times
        lines = split_lines(s);
        if (lines.empty()) break;
        const std::size_t at = pick(lines.size()), times = pick(4) == 0 && lines[at].size() < 1000 ? 200 : 1 + pick(3);
        lines.insert(lines.begin() + at, times, lines[at]);
        s = join(lines);
        break;
      }
      case 5:  // lines swapped or shuffled
        lines = split_lines(s);
        if (pick(4) == 0) {
          std::shuffle(lines.begin(), lines.end(), rng);
        } else if (!lines.empty()) {
          std::swap(lines[pick(lines.size())], lines[pick(lines.size())]);
        }
        s = join(lines);
        break;
      case 6: {  // a 100 KB line
        lines = split_lines(s);
        const std::string& t = tokens[pick(tokens.size())];
        std::string line;
        while (line.size() < 100000) line += pick(2) ? t + " " : std::string(1, static_cast<char>('A' + pick(26)));
        lines.insert(lines.begin() + pick(lines.size() + 1), line + "\n");
        s = join(lines);
        break;
      }
      case 7: {  // a group replaced by a hostile one
        if (s.empty()) break;
        std::size_t e = 0;
        const std::size_t b = token_at(pick(s.size()), &e);
        s.replace(b, e - b, tokens[pick(tokens.size())]);
        break;
      }
      case 8: {  // a hostile line
        lines = split_lines(s);
        lines.insert(lines.begin() + pick(lines.size() + 1), tokens[pick(tokens.size())] + "\n");
        s = join(lines);
        break;
      }
      case 9: {  // other line ends
        static const char* ends[] = {"\r", "\r\n", "\r\r\n", "\n\n", "\n\r"};
        const std::string end = ends[pick(5)];
        std::string t;
        for (const char c : s) t += c == '\n' ? end : std::string(1, c);
        s = t;
        break;
      }
      case 10: {  // a 100 KB group
        std::size_t e = 0;
        const std::size_t b = s.empty() ? 0 : token_at(pick(s.size()), &e);
        s.replace(b, e - b, std::string(100000, "9AZ/-"[pick(5)]));
        break;
      }
      case 11:  // random bytes inserted
        for (std::size_t n = 1 + pick(16), at = pick(s.size() + 1); n > 0; --n)
          s.insert(at, 1, static_cast<char>(rng()));
        break;
      case 12:  // nothing, or only the first lines (a header, headings)
        lines = split_lines(s);
        lines.resize(std::min(lines.size(), pick(4)));
        s = join(lines);
        break;
      case 13: {  // a few groups with random digits, or numbers of any size in their place
        for (std::size_t n = 1 + pick(4); n > 0 && !s.empty(); --n) {
          std::size_t e = 0;
          const std::size_t b = token_at(pick(s.size()), &e);
          if (pick(2)) {
            for (std::size_t c = b; c < e; ++c)
              if (s[c] >= '0' && s[c] <= '9') s[c] = static_cast<char>('0' + pick(10));
          } else {
            const char* sign = pick(2) ? "-" : "";
            s.replace(b, e - b, sign + std::to_string(pick(1000)) + "." + std::to_string(pick(1000)) + "e" +
                                    std::to_string(static_cast<int>(pick(100)) - 50));
          }
        }
        break;
      }
      default:  // a hostile group inserted mid-group
        s.insert(pick(s.size() + 1), tokens[pick(tokens.size())]);
        break;
    }
  }
  return s;
}
