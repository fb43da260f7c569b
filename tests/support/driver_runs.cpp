#include "tests/support/driver_runs.h"

#include <sys/resource.h>

#include "tests/support/table.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/xvfb.h"

namespace fs = std::filesystem;

// The sanitizers' builds run several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlower = 3.0;
#else
constexpr double kSlower = 1.0;
#endif

std::string driver_data(const std::string& name) { return std::string(STACONT_SOURCE_DIR) + "/tests/data/driver/" + name; }

RunResult run_script(const std::string& script, const std::vector<std::string>& args, const std::string& cwd) {
  std::vector<std::string> all = {"-W", "ignore", driver_data(script)};
  all.insert(all.end(), args.begin(), args.end());
  return run_program("/usr/bin/python3", all, "", {}, cwd, 120);
}

std::vector<double> ncdump_values(const std::string& path, const std::string& name) {
  const std::string dump = run_program("/usr/bin/ncdump", {"-v", name, path}).out;
  const std::size_t start = dump.find("\n " + name + " =", dump.find("\ndata:"));
  std::vector<double> out;
  if (dump.find("\ndata:") == std::string::npos || start == std::string::npos) return out;
  std::string body = dump.substr(start + name.size() + 4, dump.find(';', start) - start - name.size() - 4);
  std::replace(body.begin(), body.end(), ',', ' ');
  for (const std::string& w : words(body)) out.push_back(w == "_" ? -9999.0 : std::stod(w));
  return out;
}

std::string replace_all(std::string s, const std::string& what, const std::string& with) {
  for (std::size_t at = 0; (at = s.find(what, at)) != std::string::npos; at += with.size()) s.replace(at, what.size(), with);
  return s;
}

namespace {

// The folder of the real observations, "" without them.
std::string real_dir() {
  const std::string readme = real_data("README.md");
  return readme.empty() ? "" : fs::path(readme).parent_path().string();
}

// A table's value with the case's folder, the known folders and repeated words put in.
std::string expand(const std::string& value, const std::string& dir) {
  std::string s = replace_all(replace_all(replace_all(value, "\\@", "\x01"), "@", dir), "\x01", "@");
  s = table_unescape(s, true);
  s = replace_all(s, "$DATA", STACONT_DATA_DIR);
  s = replace_all(s, "$SRC", STACONT_SOURCE_DIR);
  s = replace_all(s, "$REAL", real_dir());
  // {text}xN: N copies of text joined by commas; {text}*N: N copies one after the other,
  // %i in each standing for its number from 0.
  std::string out;
  for (std::size_t at = 0; at < s.size();) {
    const std::size_t open = s.find('{', at), close = s.find('}', open);
    const std::size_t digits = close == std::string::npos ? 0 : s.find_first_not_of("0123456789", close + 2);
    if (open == std::string::npos || close == std::string::npos || close + 2 >= s.size() ||
        (s[close + 1] != 'x' && s[close + 1] != '*') || digits == close + 2) {
      out += s.substr(at, open == std::string::npos ? std::string::npos : open + 1 - at);
      at = open == std::string::npos ? s.size() : open + 1;
      continue;
    }
    out += s.substr(at, open - at);
    const std::string text = s.substr(open + 1, close - open - 1);
    const int n = std::stoi(s.substr(close + 2, digits - close - 2));
    for (int i = 0; i < n; ++i)
      out += (i > 0 && s[close + 1] == 'x' ? "," : "") + replace_all(text, "%i", std::to_string(i));
    at = digits == std::string::npos ? s.size() : digits;
  }
  return out;
}

std::vector<std::string> lines_of(const std::string& name) {
  std::ifstream in(driver_data(name));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// What a run shows against one expected line of its case: "" when it agrees, else what
// it shows instead.
std::string mismatch(const std::string& key, const std::string& value, const RunResult& r, double took) {
  const bool has_line = ("\n" + r.err).find("\n" + value + "\n") != std::string::npos;
  // Never empty: a run that should have said something and said nothing must still fail.
  auto shown = [&](const std::string& got) { return "got (" + std::to_string(got.size()) + " bytes):\n" + got; };
  if (key == "status") return r.status == std::stoi(value) ? "" : "status " + std::to_string(r.status) + "\n" + r.err;
  if (key == "kilobytes") {
    rusage use{};
    getrusage(RUSAGE_CHILDREN, &use);
    return use.ru_maxrss < std::stol(value) ? "" : "took " + std::to_string(use.ru_maxrss) + " kB";
  }
  if (key == "seconds") return took < std::stod(value) * kSlower ? "" : "took " + std::to_string(took) + " s";
  if (key == "err" || key == "err-line") return (key == "err" ? r.err == value : has_line) ? "" : shown(r.err);
  if (key == "out") return r.out == value ? "" : shown(r.out);
  if (key == "out-file") return r.out == read_file(value) ? "" : shown(r.out);
  if (key == "err-file") return r.err == read_file(value) ? "" : shown(r.err);
  if (key == "err-has" || key == "err-lacks") return (r.err.find(value) != std::string::npos) == (key == "err-has") ? "" : shown(r.err);
  if (key == "out-has" || key == "out-lacks") return (r.out.find(value) != std::string::npos) == (key == "out-has") ? "" : shown(r.out);
  if (key == "out-starts") return r.out.size() > value.size() && r.out.rfind(value, 0) == 0 ? "" : shown(r.out);
  if (key == "out-re") return std::regex_search(r.out, std::regex(value)) ? "" : shown(r.out);
  if (key == "err-re") return std::regex_search(r.err, std::regex(value)) ? "" : shown(r.err);
  if (key == "out-count") return count_of(r.out, value.substr(value.find(' ') + 1)) == std::stoi(value) ? "" : shown(r.out);
  if (key == "tmp-lacks") {
    for (const auto& e : fs::directory_iterator(fs::temp_directory_path()))
      if (e.path().filename().string().rfind(value, 0) == 0) return "left " + e.path().string();
  }
  if (key == "files") {
    std::vector<std::string> got;
    if (fs::is_directory(value.substr(0, value.find(" ="))))
      for (const auto& e : fs::directory_iterator(value.substr(0, value.find(" =")))) got.push_back(e.path().filename().string());
    std::sort(got.begin(), got.end());
    std::string listing = value.substr(0, value.find(" =") + 2);
    for (const std::string& name : got) listing += " " + name;
    return listing == value || listing + " " == value ? "" : listing;
  }
  return "";
}

}  // namespace

std::vector<std::map<std::string, std::string>> read_tsv(const std::string& name) {
  std::vector<std::map<std::string, std::string>> rows;
  std::vector<std::string> header;
  for (const std::string& line : lines_of(name)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    for (const std::string& cell : table_fields(line)) cells.push_back(table_unescape(cell, true));
    if (header.empty()) {
      header = cells;
      continue;
    }
    std::map<std::string, std::string> row;
    for (std::size_t k = 0; k < header.size(); ++k) row[header[k]] = k < cells.size() ? cells[k] : "";
    rows.push_back(row);
  }
  return rows;
}

std::vector<RunCase> read_runs(const std::string& name) {
  std::vector<RunCase> cases;
  bool open = false;
  for (const std::string& line : lines_of(name)) {
    if (line.empty()) {
      open = false;
      continue;
    }
    if (line[0] == '#') continue;
    // One blank after the colon belongs to the layout, the rest to the value.
    const std::size_t colon = line.find(':');
    const std::string key = line.substr(0, colon);
    std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    if (!open) cases.push_back({"", {}});
    open = true;
    if (key == "case") cases.back().name = value;
    cases.back().lines.push_back({key, value});
  }
  if (cases.empty()) cases.push_back({"no table " + name, {{"missing", name}}});
  return cases;
}

std::vector<std::string> table_words(const std::string& value, const std::string& dir) {
  return words(expand(value, dir));
}

std::string run_case_name(const ::testing::TestParamInfo<RunCase>& info) {
  std::string name;
  for (char c : info.param.name)
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name + "_" + std::to_string(info.index);
}

void check_run(const RunCase& c) {
  const std::string dir = make_temp_dir("runs");
  std::map<std::string, std::string> env = clean_env(dir + "/no-resource-files");
  std::vector<std::string> args;
  std::string cwd = dir, input;
  std::unique_ptr<Xvfb> server;
  // Commands before and after the run see what the program sees, and where it is.
  const auto shell = [&](const std::string& command) {
    std::map<std::string, std::string> more = env;
    more["DATA"] = STACONT_DATA_DIR;
    more["STACONT"] = STACONT_BINARY;
    return run_program("/bin/sh", {"-c", command}, "", more, dir, 120);
  };
  // A key mistyped in a table would check nothing.
  static const std::set<std::string> known = {
      "case",     "source",    "needs",   "window",    "sh",         "check",      "env",       "cwd",
      "args",     "arg",       "stdin",   "stdin-file", "status",    "seconds",    "err",       "out",
      "out-file", "err-file", "err-line",  "err-has", "out-has",   "err-lacks",  "out-lacks",  "out-starts", "out-re", "err-re",
      "out-count", "tmp-lacks", "files",  "missing", "kilobytes", "run"};
  for (const auto& [key, raw] : c.lines) {
    const std::string value = expand(raw, dir);
    if (known.count(key) == 0) FAIL() << "unknown key " << key;
    if (key == "missing") {
      FAIL() << "no table " << value;
    } else if (key == "needs") {
      std::istringstream in(value);
      for (std::string file; in >> file;)
        if (real_data(file).empty()) GTEST_SKIP() << "no real observations " << file;
    } else if (key == "window" && value == "yes") {
      if (xvfb_program().empty()) GTEST_SKIP() << "Xvfb is not installed";
      server = std::make_unique<Xvfb>();
      ASSERT_TRUE(server->ok()) << server->why();
      env["DISPLAY"] = server->display();
    } else if (key == "sh") {
      const RunResult r = shell(value);
      ASSERT_EQ(r.status, 0) << value << "\n" << r.err;
    } else if (key == "env") {
      env[value.substr(0, value.find('='))] = value.substr(value.find('=') + 1);
    } else if (key == "cwd") {
      cwd = value;
    } else if (key == "args") {
      for (const std::string& w : words(value)) args.push_back(w);
    } else if (key == "arg") {
      args.push_back(value);
    } else if (key == "stdin") {
      input = value;
    } else if (key == "stdin-file") {
      input = read_file(value);
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const bool run = std::find(c.lines.begin(), c.lines.end(), std::pair<std::string, std::string>{"run", "no"}) == c.lines.end();
  const RunResult r = run ? run_stacont(args, input, env, cwd, 60) : RunResult{0, "", ""};
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (const auto& [key, raw] : c.lines) {
    EXPECT_EQ(mismatch(key, expand(raw, dir), r, took), "") << key << ": " << raw;
    if (key != "check") continue;
    const RunResult checked = shell(expand(raw, dir));
    EXPECT_EQ(checked.status, 0) << raw << "\n" << checked.out << checked.err;
  }
  // Under the sanitizers: no undefined behaviour on the way.
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
}
