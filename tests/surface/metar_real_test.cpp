// Real bulletin collections read twice: by the program (OBS_read_reports, MTR_decode) and by
// the independent reading of tests/surface/metar_reference.h, written from the report
// formats alone. Reports are matched by station, day, time and kind; every value both
// readings give must agree, and the groups US and Canadian reports carry must be decoded.
#include "surface/metar.h"
#include "surface/obs_read.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/run.h"
#include "tests/surface/metar_reference.h"

namespace {

struct File {
  const char* name;
};
constexpr File kFiles[] = {{"metar_20190701_1200.txt"}, {"metar_20191212_0000.txt"}};

using Key = std::tuple<std::string, int, int, int, int>;  // id, day, hour, minute, kind

struct Mine {
  ref::Text text;
  ref::Obs obs;
};

// One file read both ways.
struct Reading {
  bool found = false;
  std::vector<Mine> reports;            // the reference's reports with a day-time group, not NIL
  std::map<Key, std::set<std::string>> texts;  // the different texts under each key
  std::vector<ObsRec> program;
  std::map<Key, std::vector<const ObsRec*>> by_key;
};

const Reading& reading(const File& f) {
  static std::map<std::string, Reading> cache;
  auto [it, fresh] = cache.try_emplace(f.name);
  Reading& rd = it->second;
  if (!fresh) return rd;
  const std::string path = real_data(f.name);
  rd.found = !path.empty();
  if (!rd.found) return rd;
  const std::string text = read_file(path);
  for (ref::Text& t : ref::split(text)) {
    ref::Obs o = ref::decode(t.text);
    if (!o.report || o.nil) continue;
    rd.texts[{o.id, o.day, o.hour, o.minute, t.kind}].insert(ref::same_text(t.text));
    rd.reports.push_back({std::move(t), std::move(o)});
  }
  ObsStats stats;
  OBS_read_reports(text, &rd.program, &stats);
  for (const ObsRec& p : rd.program) rd.by_key[{p.r.id, p.day, p.hour, p.minute, p.kind}].push_back(&p);
  return rd;
}

Key key(const Mine& m) { return {m.obs.id, m.obs.day, m.obs.hour, m.obs.minute, m.text.kind}; }

bool missing(double v) { return v <= -9998.0; }

// Field-by-field comparison of one report; the differences as text.
struct Diffs {
  std::map<std::string, long> count;
  std::vector<std::string> shown;
  void add(const std::string& field, const std::string& what, const std::string& text) {
    ++count[field];
    if (shown.size() < 20) shown.push_back(field + ": " + what + "\n      " + text);
  }
  long total() const {
    long n = 0;
    for (auto& [f, c] : count) n += c;
    return n;
  }
};

std::string num(double v) {
  if (missing(v)) return "missing";
  char b[32];
  std::snprintf(b, sizeof b, "%.4f", v);
  return b;
}

void compare(const ref::Obs& m, const sfc_report& r, const std::string& text, Diffs* d) {
  auto field = [&](const char* name, double mine, double prog, double tol, bool relative) {
    if (missing(mine) && missing(prog)) return;
    double lim = relative ? tol * std::abs(mine) : tol;
    if (!missing(mine) && !missing(prog) && std::abs(mine - prog) <= lim) return;
    d->add(name, "reference " + num(mine) + ", program " + num(prog), text);
  };
  auto c_of_f = [](float f) { return missing(f) ? -9999.0 : (double(f) - 32.0) * 5.0 / 9.0; };
  field("temperature C", m.temp, c_of_f(r.temp), 0.01, false);
  field("dew point C", m.dewp, c_of_f(r.dewp), 0.01, false);
  field("wind direction", m.wdir, r.wdir, 0.001, false);
  field("wind speed kt", m.wspd, r.wspd, 0.001, false);
  field("gust kt", m.wgust, r.wgust, 0.001, false);
  field("altimeter inHg", m.alt, r.alt, 0.0005, false);
  field("sea-level pressure hPa", m.slp, r.slpr, 0.05, false);
  field("visibility SM", m.vis, r.vis, 0.001, true);
  std::string mine, prog;
  char b[40];
  for (auto& [c, h] : m.layers) std::snprintf(b, sizeof b, " %c%.0f", c, h), mine += b;
  for (int k = 0; k < r.ncld && k < 5; ++k)
    std::snprintf(b, sizeof b, " %c%.0f", r.cld_cov[k], double(r.cld_hgt[k])), prog += b;
  if (mine != prog) d->add("cloud layers", "reference [" + mine + " ], program [" + prog + " ]", text);
  if (m.tot != r.cld_tot)
    d->add("total cover", std::string("reference '") + m.tot + "', program '" + r.cld_tot + "'", text);
}

void print(const char* title, const Diffs& d) {
  if (!d.total()) return;
  std::cout << title << ": " << d.total() << " differences";
  for (auto& [f, c] : d.count) std::cout << ", " << f << " " << c;
  std::cout << "\n";
  for (auto& s : d.shown) std::cout << "  " << s << "\n";
}

TEST(MetarReal, ProgramAgreesWithIndependentReading) {
  long compared_all = 0;
  for (const File& f : kFiles) {
    const Reading& rd = reading(f);
    if (!rd.found) GTEST_SKIP() << f.name << " is not among the real observations";
    // File level: the program's records under each key the reference holds once.
    Diffs file_diffs, text_diffs;
    long compared = 0, ambiguous = 0, absent = 0;
    std::vector<std::string> absent_shown;
    std::set<Key> done;
    for (const Mine& m : rd.reports) {
      Key k = key(m);
      if (!done.insert(k).second) continue;
      if (rd.texts.at(k).size() > 1) {
        ++ambiguous;
        continue;
      }
      auto p = rd.by_key.find(k);
      if (p == rd.by_key.end()) {
        if (absent_shown.size() < 10) absent_shown.push_back(m.text.text);
        ++absent;
        continue;
      }
      ++compared;
      for (const ObsRec* rec : p->second) compare(m.obs, rec->r, m.text.text, &file_diffs);
    }
    long extra = 0;
    std::string extra_shown;
    for (auto& [k, v] : rd.by_key)
      if (!rd.texts.count(k) && ++extra <= 10)
        extra_shown += " " + std::get<0>(k) + "/" + std::to_string(std::get<1>(k)) + "/" + std::to_string(std::get<2>(k)) +
                       ":" + std::to_string(std::get<3>(k)) + "/kind" + std::to_string(std::get<4>(k));
    // The decoder alone, on the reference's own report texts.
    long bad_free = 0, time_diffs = 0;
    for (const Mine& m : rd.reports) {
      ObsRec o{};
      MtrGroups g;
      int rc = MTR_decode(m.text.text, &o, &g);
      if (rc != MTR_DECODED || m.obs.id != o.r.id || m.obs.day != o.day || m.obs.hour != o.hour ||
          m.obs.minute != o.minute) {
        ++time_diffs;
        text_diffs.add("station/time", "result " + std::to_string(rc) + " id " + o.r.id + " day " +
                       std::to_string(o.day) + " " + std::to_string(o.hour) + ":" + std::to_string(o.minute), m.text.text);
        continue;
      }
      bad_free += g.bad == 0;
      compare(m.obs, o.r, m.text.text, &text_diffs);
    }
    std::cout << f.name << ": reference " << rd.reports.size() << " reports under " << rd.texts.size()
              << " keys, " << ambiguous << " keys with different texts left out; program " << rd.program.size()
              << " records; " << compared << " keys compared, " << absent << " not found by the program, " << extra
              << " program keys not in the reference; MTR_decode: " << bad_free << " of " << rd.reports.size()
              << " reports without a group left over\n";
    for (auto& s : absent_shown) std::cout << "  not found: " << s << "\n";
    if (extra) std::cout << "  program keys not in the reference:" << extra_shown << "\n";
    print("  file level", file_diffs);
    print("  MTR_decode on the reference's texts", text_diffs);
    EXPECT_EQ(file_diffs.total(), 0) << f.name;
    EXPECT_EQ(text_diffs.total(), 0) << f.name;
    EXPECT_EQ(time_diffs, 0) << f.name;
    compared_all += compared;
  }
  EXPECT_GE(compared_all, 2000);
}

// For the US and Canadian reports: how many carry each group, and of those how many the
// program (reading the whole file) gave a value.
TEST(MetarReal, UsAndCanadianGroupsAreDecoded) {
  const char* const names[] = {"temperature", "dew point", "wind", "altimeter", "sea-level pressure", "visibility"};
  for (const File& f : kFiles) {
    const Reading& rd = reading(f);
    if (!rd.found) GTEST_SKIP() << f.name << " is not among the real observations";
    long carry[6] = {}, decoded[6] = {}, reports = 0, bad_free = 0;
    std::set<std::string> stations;
    std::set<Key> done;
    for (const Mine& m : rd.reports) {
      const std::string& id = m.obs.id;
      bool ours = id[0] == 'K' || id[0] == 'C';
      for (const char* p : {"PA", "PH", "PG", "TJ", "TI"}) ours = ours || id.compare(0, 2, p) == 0;
      Key k = key(m);
      if (!ours || rd.texts.at(k).size() > 1 || !done.insert(k).second) continue;
      ++reports;
      stations.insert(id);
      ObsRec o{};
      MtrGroups g;
      MTR_decode(m.text.text, &o, &g);
      bad_free += g.bad == 0;
      auto p = rd.by_key.find(k);
      const sfc_report* r = p == rd.by_key.end() ? nullptr : &p->second.front()->r;
      const ref::Obs& x = m.obs;
      const double have[6] = {x.temp, x.dewp, x.wspd, x.alt, x.slp, x.vis};
      const double got[6] = {r ? r->temp : -9999, r ? r->dewp : -9999, r ? r->wspd : -9999,
                             r ? r->alt : -9999,  r ? r->slpr : -9999, r ? r->vis : -9999};
      for (int i = 0; i < 6; ++i)
        if (!missing(have[i])) ++carry[i], decoded[i] += !missing(got[i]);
    }
    std::printf("%s: %ld US/Canadian reports, %zu stations, %ld without a group left over\n", f.name, reports,
                stations.size(), bad_free);
    std::printf("  %-20s %8s %8s %8s\n", "group", "carried", "decoded", "%");
    for (int i = 0; i < 6; ++i) {
      double pc = carry[i] ? 100.0 * decoded[i] / carry[i] : 100.0;
      std::printf("  %-20s %8ld %8ld %8.2f\n", names[i], carry[i], decoded[i], pc);
      EXPECT_GE(pc, 99.5) << f.name << " " << names[i];
    }
    std::fflush(stdout);
    EXPECT_GT(reports, 1000) << f.name;
  }
}

}  // namespace
