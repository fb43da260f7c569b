// Hostile files for the readers of real observation files: seeded mutations of hand-made and
// real METAR collections, hourly files, reports one a line, station tables and frontal
// bulletins (flipped and hostile bytes, truncation mid-line and mid-group, lines deleted,
// repeated and swapped, 100 KB lines and groups, huge numbers, group-shaped garbage, other
// line ends), read by every reader the program runs on them. None may crash (the sanitizer
// build aborts), take long, give a negative count, keep a report without an identifier or
// with a value neither missing nor finite, or refuse a file without saying why.
//
// STACONT_FUZZ_COUNT sets the number of inputs (a few hundred by default), STACONT_FUZZ_FIRST
// the index of the first, STACONT_FUZZ_PROGRAM the number of whole-program runs;
// STACONT_FUZZ_SAVE names a file that holds each input while it is read, so that the one
// that brought a sanitizer down is left there. Input i is the same on every run.
#include <gtest/gtest.h>
#include <utime.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "config/mess.h"
#include "files/files.h"
#include "surface/metar.h"
#include "surface/obs_csv.h"
#include "surface/obs_read.h"
#include "surface/sfc_read.h"
#include "tests/support/mutate.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_report.h"

namespace {

// ---- seeds ----

struct Seed {
  std::string kind;
  std::string text;
  std::string real;  // the real file windows of which are taken instead, when it exists
};

std::vector<Seed> seeds() {
  std::vector<Seed> out;
  for (const surface_cases::Row& r : surface_cases::rows("obs_fuzz_cases.txt", "seeds"))
    out.push_back({r[0], r[1].empty() ? "" : read_file(std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/obs_seeds/" + r[1]),
                   r[2].empty() ? "" : real_data(r[2])});
  return out;
}

std::vector<std::string> tokens() {
  std::vector<std::string> out;
  for (const surface_cases::Row& r : surface_cases::rows("obs_fuzz_cases.txt", "tokens")) out.push_back(r[0]);
  return out;
}

// A line-aligned window of a real file (a table keeps its header line).
std::string window(const std::string& text, bool table, std::mt19937_64& rng) {
  if (text.size() < 20000) return text;
  std::size_t b = rng() % text.size();
  b = text.find('\n', b);
  b = b == std::string::npos ? 0 : b + 1;
  std::size_t e = text.find('\n', std::min(text.size(), b + 1000 + rng() % 12000));
  e = e == std::string::npos ? text.size() : e + 1;
  const std::string head = table ? text.substr(0, text.find('\n') + 1) : "";
  return head + text.substr(b, e - b);
}

// ---- checks ----

constexpr float kMissing = -9999.0f;

bool terminated(const char* s, std::size_t n) { return std::memchr(s, '\0', n) != nullptr; }

// What is wrong with a report ("" when nothing is).
std::string fault(const sfc_report& r) {
  if (!terminated(r.id, sizeof r.id) || !r.id[0]) return "no identifier";
  if (!terminated(r.region, sizeof r.region) || !terminated(r.wx, sizeof r.wx) ||
      !terminated(r.comment, sizeof r.comment))
    return "unterminated text";
  for (const auto& [name, m] : surface_report::kFloats)
    if (r.*m != kMissing && !std::isfinite(r.*m)) return std::string(name) + " " + std::to_string(r.*m);
  for (int k = 0; k < 5; ++k)
    if (r.cld_hgt[k] != kMissing && !std::isfinite(r.cld_hgt[k])) return "cloud height";
  if (r.ncld < 0 || r.ncld > 5) return "ncld " + std::to_string(r.ncld);
  if (r.time != -9999 && (r.time < 0 || r.time > 2359 || r.time % 100 > 59)) return "time " + std::to_string(r.time);
  return "";
}

std::string fault(const ObsRec& o) {
  if (o.day != -9999 && (o.day < 1 || o.day > 31)) return "day " + std::to_string(o.day);
  if (o.hour != -9999 && (o.hour < 0 || o.hour > 23)) return "hour " + std::to_string(o.hour);
  if (o.minute != -9999 && (o.minute < 0 || o.minute > 59)) return "minute " + std::to_string(o.minute);
  if (o.kind != MTR_ROUTINE && o.kind != MTR_SPECIAL) return "kind " + std::to_string(o.kind);
  return fault(o.r);
}

bool counts_sane(const ObsStats& s) {
  for (const long n : {s.lines, s.reports, s.nil, s.skipped, s.duplicates, s.corrections, s.specials, s.stations,
                       s.chosen, s.not_in_db, s.bad_groups})
    if (n < 0) return false;
  return true;
}

// The names the program may be given: the date in a name dates the file, the rest is taken
// from the modification time.
const char* const kNames[] = {"obs.txt", "metar_20190701_1200.txt", "asos_2019070112.csv", "x_99999999_99.txt",
                              "fronts_20210628-18z.txt", "metar_20191231_2359999.txt", "00000000T00",
                              "metar_20991231.txt"};
const long long kTimes[] = {1561982400, 0, 1, 2147483647, 4102444800LL, -86400};

// The readers' messages go to a file rather than a captured standard error, where a
// sanitizer's report would be lost with the process: listen(path) starts, heard() returns
// what was said since.
void listen(const std::string& path) {
  MESS_set_out(0);
  MESS_file(path.c_str(), "w");
}
std::string heard(const std::string& path) {
  MESS_file_close();
  MESS_set_out(1);
  return read_file(path);
}

// Reads one input through every reader, as a file of the name given or one of kNames; the
// faults found.
std::vector<std::string> read_everything(const std::string& text, const std::string& dir, std::mt19937_64& rng,
                                         const std::string& name = "") {
  std::vector<std::string> faults;
  auto fail = [&](const std::string& what) { faults.push_back(what); };
  const int kind = FILE_text_kind(text.data(), std::min<std::size_t>(text.size(), 8192));
  if (kind != -1 && (kind < FILE_METAR_COLLECTION || kind > FILE_FRONT_BULLETIN)) fail("kind " + std::to_string(kind));

  // One report a line, as the lines file reader and the raw column give them.
  std::size_t p = 0;
  for (int n = 0; n < 300 && p < text.size(); ++n) {
    std::size_t e = text.find('\n', p);
    e = e == std::string::npos ? text.size() : e;
    ObsRec o;
    MtrGroups g;
    const int got = MTR_decode(std::string_view(text).substr(p, e - p), &o, &g);
    if (got != MTR_NOT_REPORT && got != MTR_DECODED && got != MTR_NIL) fail("MTR_decode " + std::to_string(got));
    if (got == MTR_DECODED && !fault(o).empty()) fail("MTR_decode: " + fault(o));
    if (g.bad < 0) fail("bad groups");
    MTR_text_hash(std::string_view(text).substr(p, e - p));
    p = e + 1;
  }

  std::vector<ObsRec> obs;
  ObsStats stats;
  OBS_read_reports(text, &obs, &stats);
  const int csv = CSV_is_table(std::string_view(text).substr(0, 8192));
  CsvStats cs;
  const std::size_t before = obs.size();
  listen(dir + "/said");
  const int read = CSV_read(text, "fuzz.csv", &obs, &cs);
  const std::string said = heard(dir + "/said");
  if (read == 0 && said.empty()) fail("CSV_read refused silently");
  if (csv != 0 && csv != 1) fail("CSV_is_table " + std::to_string(csv));
  if (cs.rows != cs.used + cs.bad_rows + cs.long_rows || cs.used < 0 || cs.bad_rows < 0 || cs.long_rows < 0 ||
      cs.raw < 0 || cs.bad_values < 0)
    fail("CSV counts");
  if (static_cast<long>(obs.size() - before) != cs.used) fail("CSV rows used and kept differ");
  for (const ObsRec& o : obs)
    if (const std::string f = fault(o); !f.empty()) fail("read: " + f + " (" + o.r.id + ")");

  DateRec date;
  const bool dated = rng() % 2;
  if (OBS_file_hour(obs, dated ? 2019 : -9999, dated ? 7 : -9999, &date)) {
    if (date.hour < 0 || date.hour > 23 || (date.day != -9999 && (date.day < 1 || date.day > 31)))
      fail("file hour " + std::to_string(date.day) + " " + std::to_string(date.hour));
    const std::vector<sfc_report> chosen = OBS_choose(obs, date, &stats);
    if (chosen.size() > obs.size()) fail("more chosen than read");
    for (const sfc_report& r : chosen)
      if (const std::string f = fault(r); !f.empty()) fail("chosen: " + f);
    if (OBS_summary("fuzz.txt", date, stats).empty()) fail("empty summary");
  }
  if (!counts_sane(stats)) fail("negative count");

  // The program's way: a file in a folder, named and dated, opened and read whole.
  const std::string path = dir + "/" + (name.empty() ? kNames[rng() % std::size(kNames)] : name);
  write_file(path, text);
  const auto when = [&] { return static_cast<time_t>(kTimes[rng() % std::size(kTimes)]); };
  const struct utimbuf times{when(), when()};
  utime(path.c_str(), &times);
  listen(dir + "/said");
  int form = 0;
  const int h = SFC_open(path.c_str(), 0, &form);
  std::vector<std::string> read_faults;
  if (h >= 0) {
    sfc_info info{};
    if (SFC_getinfo(h, &info) != 0 && form != SFC_FORM_TEXT && form != SFC_FORM_OLD_TEXT)
      read_faults.push_back("SFC_getinfo");
    if (!terminated(info.label, sizeof info.label)) read_faults.push_back("label");
    sfc_report r;
    for (int i = 0; i < 200000 && SFC_read(h, &r, 0, &i) == 0; ++i)
      if (const std::string f = fault(r); !f.empty() && form >= SFC_FORM_REPORTS)
        read_faults.push_back("SFC_read: " + f);
    SFC_close(h);
  }
  const std::string opened = heard(dir + "/said");
  for (const std::string& f : read_faults) fail(f);
  if (h < 0 && form >= SFC_FORM_REPORTS && opened.empty())
    fail("SFC_open refused form " + std::to_string(form) + " silently");
  std::remove(path.c_str());
  return faults;
}

class ObsFuzz : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SFC_set_report_reader(OBS_read_file);
    seeds_ = seeds();
    tokens_ = tokens();
    for (const Seed& s : seeds_) real_.push_back(s.real.empty() ? "" : read_file(s.real));
  }
  void TearDown() override { SFC_reset_state(); }
  // Input i into text and the kind of its seed; false when its seed is a real file that is
  // not there.
  static bool input(long i, std::mt19937_64& rng, std::string* text, std::string* kind) {
    const std::size_t k = static_cast<std::size_t>(i) % seeds_.size();
    *kind = seeds_[k].kind;
    const bool from_real = !real_[k].empty() && (seeds_[k].text.empty() || rng() % 2);
    // The whole real file now and then when a number of inputs is asked for.
    const bool whole = std::getenv("STACONT_FUZZ_COUNT") && i % 97 == 96;
    const std::string seed = !from_real ? seeds_[k].text : whole ? real_[k] : window(real_[k], *kind == "table", rng);
    *text = mutate(seed, rng, tokens_);
    return !seed.empty();
  }
  static inline std::vector<Seed> seeds_;
  static inline std::vector<std::string> tokens_;
  static inline std::vector<std::string> real_;
  std::string dir_ = make_temp_dir("obs_fuzz");
};

TEST_F(ObsFuzz, MutatedFilesReadSafely) {
  const long count = env_count("STACONT_FUZZ_COUNT", 300), first = env_count("STACONT_FUZZ_FIRST", 0);
  const char* save = std::getenv("STACONT_FUZZ_SAVE");
  std::map<std::string, long> per_kind;
  double slowest = 0;
  for (long i = first; i < first + count; ++i) {
    std::mt19937_64 rng(0x5eed0000u + static_cast<std::uint64_t>(i));
    std::string text, kind;
    if (!input(i, rng, &text, &kind)) continue;
    if (save) write_file(save, text), write_file(std::string(save) + ".meta", std::to_string(i) + " " + kind + "\n");
    const auto t0 = std::chrono::steady_clock::now();
    const std::vector<std::string> faults = read_everything(text, dir_, rng);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    slowest = std::max(slowest, took);
    ++per_kind[kind];
    // Two seconds, and a little more for a whole real file of megabytes (sanitizer build).
    EXPECT_LT(took, 2.0 + 3e-6 * static_cast<double>(text.size())) << "input " << i << " (" << kind << ")";
    for (const std::string& f : faults) ADD_FAILURE() << "input " << i << " (" << kind << "): " << f;
  }
  std::string line;
  for (const auto& [kind, n] : per_kind) line += " " + kind + " " + std::to_string(n);
  std::printf("inputs:%s; slowest %.3f s\n", line.c_str(), slowest);
}

// The whole program on mutated files: a picture, or a message and the status of an
// unreadable input (10) or another refusal; never a signal, a sanitizer's report or a hang.
TEST_F(ObsFuzz, ProgramOnMutatedFiles) {
  const long count = env_count("STACONT_FUZZ_PROGRAM", 3), first = env_count("STACONT_FUZZ_FIRST", 0);
  const char* save = std::getenv("STACONT_FUZZ_SAVE");
  const auto env = clean_env(dir_ + "/no-resource-files");
  std::map<int, long> statuses;
  for (long i = first; i < first + count; ++i) {
    std::mt19937_64 rng(0x9e0f0000u + static_cast<std::uint64_t>(i));
    std::string text, kind;
    if (!input(i, rng, &text, &kind)) continue;
    const std::string name = kNames[rng() % std::size(kNames)];
    write_file(dir_ + "/" + name, text);
    const RunResult run = run_stacont(
        {"-ba", "-fp", STACONT_DATA_DIR, "-pd", "us", "-va", "pralt", name, "-de", "png," + dir_ + "/out.png"}, "",
        env, dir_, 60);
    const bool bad = run.status >= 128 || run.err.find("Sanitizer") != std::string::npos ||
                     run.err.find("runtime error") != std::string::npos ||
                     (run.status != 0 && run.out.empty() && run.err.empty());
    if (bad && save) write_file(std::string(save) + "." + std::to_string(i) + "-" + name, text);
    EXPECT_FALSE(bad) << "input " << i << " (" << kind << ", " << name << "): status " << run.status << "\n"
                      << run.err.substr(0, 2000);
    std::remove((dir_ + "/" + name).c_str());
    ++statuses[run.status];
  }
  std::printf("program runs:");
  for (const auto& [status, n] : statuses) std::printf(" status %d x %ld", status, n);
  std::printf("\n");
}

// The inputs that once brought a reader down, kept in tests/surface/data/fuzz (the
// bulletins, *.frt, are drawn by the fronts' test); STACONT_FUZZ_DIR reads another folder.
TEST_F(ObsFuzz, SavedInputsReadSafely) {
  const char* other = std::getenv("STACONT_FUZZ_DIR");
  const std::string dir = other ? other : STACONT_SOURCE_DIR "/tests/surface/data/fuzz";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path().extension() == ".frt") continue;
    const std::string text = read_file(entry.path());
    for (std::uint64_t seed = 0; seed <= 8; ++seed) {  // under its own name, then others, dated and timed
      std::mt19937_64 rng(seed);
      for (const std::string& f : read_everything(text, dir_, rng, seed == 0 ? entry.path().filename().string() : ""))
        ADD_FAILURE() << entry.path() << ": " << f;
    }
  }
}

}  // namespace
