// Station database: line format, WMO pseudo identifiers, the selection language, the station
// table and its searches, hostile files, the binary index and the shipped database.
#include "surface/cty_tool.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "config/resrc.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/calc.h"
#include "surface/cty_cache.h"
#include "surface/cty_read.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_report.h"
#include "tests/support/surface_said.h"

namespace {

using surface_cases::num;
using surface_cases::Row;
using S = std::string;


const std::string kDatabase = std::string(STACONT_DATA_DIR) + "/sao.cty";

DomainRec domain(int proj, float clat, float clon, int nx, int ny, float dx) {
  DomainRec d;
  DOM_init(&d);
  d.proj = proj, d.clat = clat, d.clon = clon, d.nx = nx, d.ny = ny, d.dx = d.dy = dx;
  return d;
}

// The identifier of the station found under key, or nearest to a point; "" when none.
std::string find(const char* key) {
  StationRec s;
  return CTY_search(key, &s) == 1 ? s.id : "";
}
std::string near(float lat, float lon) {
  StationRec s;
  return CTY_search_loc(&s, lat, lon) == 1 ? s.id : "";
}

// Damage done to a good index, as the rows of cty_cases.txt [index_damage] name it: the file
// cut to a length, a byte flipped, bytes written at an offset, or the file replaced by that
// many bytes of 0xa5 (offsets as sums of "header", "record" and numbers).
constexpr std::size_t kHeader = 64;
void damage(const S& path, const Row& r) {
  std::size_t at = 0;
  for (std::size_t b = 0, e; b < r[2].size(); b = e + 1) {
    e = std::min(r[2].find('+', b), r[2].size());
    const S term = r[2].substr(b, e - b);
    at += term == "header" ? kHeader : term == "record" ? sizeof(CityLine) : std::stoul(term);
  }
  S data = read_file(path);
  if (r[1] == "cut") data.resize(at);
  else if (r[1] == "flip") data[at] = static_cast<char>(data[at] ^ 0xff);
  else if (r[1] == "fill") data = S(at, '\xa5');
  else data.resize(std::max(data.size(), at + r[3].size())), data.replace(at, r[3].size(), r[3]);
  write_file(path, data);
}

class Cty : public ::testing::TestWithParam<S> {
 protected:
  // Ten lines: duplicates, stars, a comment, a buoy, a station without a call sign.
  // Indexes go to a cache directory of the test's own unless a script says otherwise.
  void SetUp() override {
    write_file(mini_, read_file(S(STACONT_SOURCE_DIR) + "/tests/surface/data/mini.cty"));
    for (const char* name : {"XDG_CACHE_HOME", "HOME"}) env_[name] = std::getenv(name) ? std::getenv(name) : "";
    ::setenv("XDG_CACHE_HOME", (dir_ + "/cache").c_str(), 1);
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0755);
    for (const auto& [name, value] : env_) value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
    CTY_read_reset_state();
    CTY_reset_state();
    CTY_enter_func(nullptr);
    RES_clear();
    MAP_domain(nullptr);
    DOM_set_station_lookup(nullptr);
  }
  S at_dir(S text) const {
    if (text.find("@dir") != S::npos) text.replace(text.find("@dir"), 4, dir_);
    return text;
  }
  S shown(S path) const { return path.rfind(dir_, 0) == 0 ? "@dir" + path.substr(dir_.size()) : path; }
  // A file of the scripts: "beside" the index next to my.cty, "user" the one in the user's
  // cache where "user_path" last found it, else a name in the test's directory or an "@dir" path.
  S path(const S& name) const {
    return name == "beside" ? dir_ + "/.my.cty.idx" : name == "user" ? user_ : name.find("@dir") != S::npos ? at_dir(name) : dir_ + "/" + name;
  }
  // The records of a database read as a fresh run reads it ("|" the output of a command):
  // identifier/fields read/latitude each.
  S load(const S& name) {
    CTY_cache_reset_state();
    handle_ = name[0] == '|' ? CTY_open_file(at_dir(name).c_str()) : CTY_open(path(name).c_str());
    const std::shared_ptr<const CityLines> lines = CTY_read_all(handle_);
    CTY_close(handle_);
    S s = lines ? "" : "none";
    char lat[32];
    static const CityLines none;
    for (const CityLine& l : lines ? *lines : none)
      s += (s.empty() ? "" : " ") + S(l.rec.id) + "/" + std::to_string(l.fields) + "/" +
           (std::snprintf(lat, sizeof lat, "%.7g", static_cast<double>(l.rec.lat)), lat);
    return s;
  }
  // Every command's standard error is kept for "said", its standard output for "printed".
  std::map<S, surface_cases::Command> commands() {
    const std::map<S, int> modes = {{"location", CTY_MODE_LOCATION}, {"compact", CTY_MODE_COMPACT}, {"full", CTY_MODE_FULL}};
    std::map<S, surface_cases::Command> c = {
        {"said", [this](const Row&) { return std::exchange(said_, ""); }},
        {"printed", [this](const Row&) { return std::exchange(printed_, ""); }},
        {"load", [this](const Row& r) { return load(r[1]); }},
        {"read_closed", [this](const Row&) { return CTY_read_all(handle_) ? "records" : "none"; }},
        // A file's size as records after an index's header; "none" when it is not a file.
        {"size", [this](const Row& r) {
           struct stat st {};
           if (::stat(path(r[1]).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return S("none");
           const long n = static_cast<long>(st.st_size) - static_cast<long>(kHeader), record = sizeof(CityLine);
           return n < 0 || n % record ? std::to_string(st.st_size) + " bytes" : std::to_string(n / record) + " records";
         }},
        // Text written over a file in place, its modification time put back.
        {"rewrite", [this](const Row& r) {
           struct stat st {};
           ::stat(path(r[1]).c_str(), &st);
           write_file(path(r[1]), r[2]);
           const timespec times[2] = {st.st_atim, st.st_mtim};
           return std::to_string(::utimensat(AT_FDCWD, path(r[1]).c_str(), times, 0));
         }},
        {"later", [this](const Row& r) {  // modified after any real time
           const timeval t[2] = {{2000000000, 0}, {2000000000, 0}};
           return std::to_string(::utimes(path(r[1]).c_str(), t));
         }},
        {"cache_path", [this](const Row& r) { return shown(CTY_cache_path(at_dir(r[1]), r[2] == "beside")); }},
        {"user_path", [this](const Row& r) { return shown(user_ = CTY_cache_path(path(r[1]), false)); }},
        {"same_user_cache", [](const Row& r) {
           return S(CTY_cache_path(r[1], false) == CTY_cache_path(r[2], false) ? "same" : "different");
         }},
        {"env", [this](const Row& r) {
           return std::to_string(r[2] == "-" ? ::unsetenv(r[1].c_str()) : ::setenv(r[1].c_str(), at_dir(r[2]).c_str(), 1));
         }},
        {"fs", [this](const Row& r) {
           const S p = path(r[2]);
           const char* f = p.c_str();
           return std::to_string(r[1] == "mkdir" ? ::mkdir(f, 0755) : r[1] == "rmdir" ? ::rmdir(f) : r[1] == "mkfifo" ? ::mkfifo(f, 0644)
                                 : r[1] == "unlink" ? ::unlink(f) : ::chmod(f, 0555));
         }},
        {"reset", [](const Row&) { return CTY_reset_state(), S(); }},
        {"count_in", [](const Row& r) { return CTY_count() >= num(r[1]) && CTY_count() <= num(r[2]) ? S("in") : std::to_string(CTY_count()); }},
        {"file", [this](const Row& r) { return write_file(dir_ + "/" + r[1], r[2]), S(); }},
        {"res", [this](const Row& r) {
           return RES_put(r[1].c_str(), (r[2] == "@dir" ? dir_ : r[2] == "@mini" ? mini_ : r[2]).c_str()), S();
         }},
        // Fields read|name|state|id|priority|stars|elevation|WMO number of a database line.
        {"parse", [](const Row& r) {
           CityRec c;
           const int n = CTY_parse_line(r[1].c_str(), static_cast<int>(r[1].size()), &c);
           std::ostringstream o;
           o << n << "|" << c.name << "|" << c.state << "|" << c.id << "|" << c.prior << "|" << +c.star1 << +c.star2 << "|"
             << c.elev << "|" << c.wmo;
           return n >= 8 ? o.str() : std::to_string(n);
         }},
        {"wmo_to_id", [](const Row& r) { char id[CTY_ID_SIZE]; return S(wmo_to_id(num(r[1]), id)); }},
        {"id_to_wmo", [](const Row& r) {
           int wmo = 0;
           const int ok = id_to_wmo(r[1] == "null" ? nullptr : r[1].c_str(), &wmo);
           return std::to_string(ok) + " " + std::to_string(wmo);
         }},
        // Every number printed as an identifier and read back; the first that is not, or "all".
        {"wmo_round_trip", [](const Row&) {
           char id[CTY_ID_SIZE];
           for (int n = 0, back = -1; n <= 99999; ++n)
             if (id_to_wmo(wmo_to_id(n, id), &back) != 0 || back != n) return std::to_string(n);
           return S("all");
         }},
        {"record", [this](const Row& r) { return CTY_parse_line(r[1].c_str(), static_cast<int>(r[1].size()), &rec_), S(); }},
        // Index of the first selection item the record meets, -1 when none.
        {"select", [this](const Row& r) {
           std::vector<S> items(r.begin() + 1, r.end());
           std::vector<char*> p;
           for (S& i : items) p.push_back(i.data());
           return std::to_string(CTY_data_cmp(&rec_, static_cast<int>(p.size()), p.data()));
         }},
        // A radius just short of the record's distance from 40 N 100 W, then exactly it.
        {"select_radius_edge", [this](const Row&) {
           const float dist = calc_earth_dist(40.0f, -100.0f, rec_.lat, rec_.lon);
           char on[64], inside[64];
           std::snprintf(on, sizeof on, "RA<40/-100/%.9g", dist);
           std::snprintf(inside, sizeof inside, "RA<40 -100 %.9g", std::nextafter(dist, 0.0f));
           char* items[] = {inside, on};
           return std::to_string(CTY_data_cmp(&rec_, 2, items));
         }},
        // A database (the mini one unless named) loaded on a domain: world, colorado, us or eu.
        {"store", [this, modes](const Row& r) {
           const std::map<S, DomainRec> domains = {{"world", domain(2, 0, 0, 361, 181, 1.0f)},
               {"colorado", domain(1, 39.5f, -105.0f, 5, 5, 0.5f)}, {"us", domain(1, 39, -97, 25, 17, 2.3f)},
               {"eu", domain(4, 50, 10, 31, 25, 1.0f)}};
           const S path = r.size() < 5 ? mini_ : r[4] == "@dir" ? dir_ : r[4] == "-" ? "" : r[4] == "@sao" ? kDatabase
                          : r[4][0] == '=' ? r[4].substr(1) : dir_ + "/" + r[4];
           const int got = CTY_store(path.empty() ? nullptr : path.c_str(), modes.at(r[1]), &domains.at(r[2]), num(r[3]));
           return got >= 0 ? S("stored") : std::to_string(got);
         }},
        {"count", [](const Row&) { return std::to_string(CTY_count()); }},
        {"clear", [](const Row&) { return CTY_clear(), S(); }},
        {"id_type", [](const Row& r) { return CTY_set_id_type(num(r[1])), S(); }},
        {"find", [](const Row& r) { return find(r[1].c_str()); }},
        {"search_null", [](const Row&) { StationRec s; return std::to_string(CTY_search(nullptr, &s)); }},
        {"near", [](const Row& r) { return near(std::stof(r[1]), std::stof(r[2])); }},
        // The station found: WMO number, priority, elevation, and whether it stands at lat lon.
        {"station", [](const Row& r) {
           StationRec s;
           if (CTY_search(r[1].c_str(), &s) != 1) return S("none");
           float x = 0, y = 0;
           const bool there = r.size() > 3 && MAP_tran(&x, &y, std::stof(r[2]), std::stof(r[3])) && s.x == x && s.y == y;
           return std::to_string(s.wmo) + " " + std::to_string(s.prior) + " " + surface_report::num(s.elev) + (there ? " there" : "");
         }},
        {"known", [](const Row& r) { return std::to_string(CTY_known(r[1] == "null" ? nullptr : r[1].c_str())); }},
        {"get", [](const Row& r) { CityRec rec; return std::to_string(CTY_get(r[1].c_str(), r[2].c_str(), &rec)); }},
        {"get_loc", [this](const Row& r) {
           float lat = 0, lon = 0;
           return std::to_string(CTY_get_loc((dir_ + "/" + r[1]).c_str(), r[2].c_str(), &lat, &lon));
         }},
        // A domain text decoded with the database placing "id:" centres: result, and whether
        // the centre is lat lon.
        {"domain", [this](const Row& r) {
           DOM_set_station_lookup(CTY_get_loc);
           DomainRec d;
           DOM_init(&d);
           S text = r[1];
           if (text.find("@mini") != S::npos) text.replace(text.find("@mini"), 5, mini_);
           const int got = DOM_decode(text.c_str(), &d);
           return std::to_string(got) + (r.size() > 3 && d.clat == std::stof(r[2]) && d.clon == std::stof(r[3]) ? " there" : "");
         }}};
    c = surface_cases::keeping_said(c, &said_, &printed_);
    // Each damage of [index_damage] done to the good index beside my.cty: the name of the
    // first after which the records read are not those given, something is said, or the good
    // index is not written again; "none" when every one passes.
    c["damages"] = [this](const Row& r) {
      const S good = read_file(path("beside"));
      for (const Row& d : surface_cases::rows("cty_cases.txt", "index_damage")) {
        write_file(path("beside"), good);
        damage(path("beside"), d);
        const bool damaged = read_file(path("beside")) != good;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const S got = load("my.cty");
        const S said = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        if (!damaged || got != r[1] || !said.empty() || read_file(path("beside")) != good) return d[0];
      }
      return S("none");
    };
    return c;
  }
  std::map<S, S> env_;
  S dir_ = make_temp_dir("cty"), mini_ = dir_ + "/mini.cty", said_, printed_, user_;
  int handle_ = -1;
  DomainRec world_ = domain(2, 0, 0, 361, 181, 1.0f);
  CityRec rec_{};
};

TEST_P(Cty, Script) { surface_cases::run_script("cty_cases.txt", GetParam(), commands()); }

INSTANTIATE_TEST_SUITE_P(Blocks, Cty,
                         ::testing::Values("parse", "wmo_ids", "selection", "loads", "known", "resources", "centres",
                                           "hostile", "shipped", "index_paths", "index_first_read", "index_store",
                                           "index_damaged", "index_unwritable", "index_stream"),
                         [](const auto& info) { return info.param; });

TEST_F(Cty, IndexInAReadOnlyDirectory) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  surface_cases::run_script("cty_cases.txt", "index_read_only", commands());
}

TEST_F(Cty, DataBlocks) {
  CTY_data_size(21);
  CTY_enter_func([](void* data, const CityRec* rec) { std::snprintf(static_cast<char*>(data), 21, "%s", rec->name); });
  CTY_store(mini_.c_str(), CTY_MODE_LOCATION, &world_, 10);
  find("72565");
  EXPECT_STREQ(static_cast<char*>(CTY_get_data(nullptr)), "Denver");  // the last station found
  EXPECT_STREQ(static_cast<const char*>(CTY_get_data("KCOS")), "Colorado_Springs");
  int n = 0;
  for (void* p = CTY_next_data(0); p; p = CTY_next_data(1)) ++n;
  EXPECT_EQ(n, 8);
}

// Random bytes and randomly damaged station lines.
TEST_F(Cty, DamagedLinesNeverCrash) {
  std::mt19937 rng(20261205);
  std::string noise;
  for (int i = 0; i < 3000; ++i) {
    std::string line = "Denver CO US KDEN 1 39.8617 -104.6730 1655 72565 0" + std::string(rng() % 200, 'x');
    for (int k = rng() % line.size(); k > 0; --k) line[rng() % line.size()] = static_cast<char>(rng());
    noise += line + "\n";
  }
  write_file(dir_ + "/noise.cty", noise);
  testing::internal::CaptureStderr();
  EXPECT_GE(CTY_store((dir_ + "/noise.cty").c_str(), CTY_MODE_LOCATION, &world_, 10), 0);
  testing::internal::GetCapturedStderr();
  near(39.86f, -104.67f);
}

// Every line of the shipped database reads whole, and the priorities cover the land evenly
// at every level: each station of priority 6 or better lies within 200 km of a station of
// priority 1, 120 km of one of priority 2 or better, then 60, 40 and 25 km. A map keeps the levels whose spacing lies well inside its
// analysis radius, so its own stations leave few more holes than all of them would.
TEST(ShippedDatabase, EveryLevelCoversTheStations) {
  struct Station {
    float lat, lon;
    int prior;
  };
  std::vector<Station> all;
  const int h = CTY_open(kDatabase.c_str());
  ASSERT_GE(h, 0);
  CityRec r;
  int n, lines = 0, bad = 0;
  for (; (n = CTY_read(h, &r)) >= 0; ++lines) {
    bad += n != 10 || r.prior < 1 || r.prior > 9 || std::fabs(r.lat) > 90 || std::fabs(r.lon) > 180;
    if (r.prior <= 6) all.push_back({r.lat, r.lon, r.prior});
  }
  EXPECT_EQ(CTY_close(h), 0);
  EXPECT_TRUE(lines > 7000 && bad == 0) << lines << " " << bad;
  ASSERT_GT(all.size(), 5000u);
  std::sort(all.begin(), all.end(), [](const Station& a, const Station& b) { return a.lat < b.lat; });
  const float spacing_km[] = {200, 120, 60, 40, 25};
  for (int p = 1; p <= 5; ++p) {
    const float km = spacing_km[p - 1];
    const float band = km / 111.0f + 0.01f;
    int uncovered = 0;
    for (const Station& s : all) {
      bool covered = false;
      auto it = std::lower_bound(all.begin(), all.end(), s.lat - band,
                                 [](const Station& a, float lat) { return a.lat < lat; });
      for (; it != all.end() && it->lat <= s.lat + band && !covered; ++it)
        covered = it->prior <= p && calc_earth_dist(s.lat, s.lon, it->lat, it->lon) <= km;
      if (!covered && ++uncovered <= 3) ADD_FAILURE() << "priority " << p << ": none within " << km << " km of "
                                                      << s.lat << " " << s.lon;
    }
    EXPECT_EQ(uncovered, 0) << "priority " << p;
  }
}

}  // namespace
