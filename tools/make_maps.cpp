// Builds the map outline files of data/ from the GSHHG shorelines and the WDBII political
// borders, dumped with the gmt tool (Debian packages gmt and gmt-gshhg-low):
//
//   make_maps <outdir> [--dump <dir>]
//
// For each resolution the tool runs
//   gmt coast -Rd -D<res> -W -M      shorelines of every level (land, lakes, islands in
//                                    lakes, ponds)
//   gmt coast -Rd -D<res> -N1 -M     national borders
//   gmt coast -Rd -D<res> -N2 -M     state and province borders of the Americas
// (with --dump it reads the files coast_<res>.txt, nat_<res>.txt and st_<res>.txt of that
// directory instead). The dump cuts every line at the edges of the data set's storage bins;
// the pieces are joined again end to start, so that a coastline comes out as one closed
// ring and a border as one line, and repeated points are dropped.
//
// Output, in the big-endian binary map format (see data/README.md):
//   cont.map      world shorelines and lakes, low resolution
//   country.map   world national borders, low resolution
//   cont_c.map    world shorelines and lakes, crude resolution
//   country_c.map world national borders, crude resolution
//   states.map    US states and Canadian provinces, low resolution
//   zav.map       North America and its seas (150E eastward to 10W, 5S to the pole):
//                 shorelines, lakes, national borders, states and provinces, low resolution
// The output is the same byte for byte for the same data package.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Pt {
  double lat, lon;
};
using Line = std::vector<Pt>;

// Record kinds written into the header's integer: shoreline levels 1-4 as the data set
// numbers them, 11 national borders, 12 state and province borders.
constexpr int kNational = 11;
constexpr int kState = 12;

struct Piece {
  std::string first, last;  // keys of the end points
  Line pts;
  int level;
};

// The key of a point: microdegrees, with longitude -180 taken as 180 (the same meridian),
// so that lines cut at the date line join across it.
std::string key_of(double lon, double lat) {
  if (lon == -180.0) lon = 180.0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%ld %ld", std::lround(lon * 1e6), std::lround(lat * 1e6));
  return buf;
}

bool read_dump(std::FILE* in, std::vector<Piece>* out) {
  char line[512];
  Piece cur;
  bool have = false;
  auto finish = [&]() {
    if (have && cur.pts.size() >= 2) out->push_back(cur);
    cur = Piece{};
    have = false;
  };
  while (std::fgets(line, sizeof line, in) != nullptr) {
    if (line[0] == '>') {
      finish();
      have = true;
      const char* lv = std::strstr(line, "Level");
      cur.level = lv != nullptr ? std::atoi(lv + 5) : 0;
      continue;
    }
    char lon[64], lat[64];
    if (std::sscanf(line, "%63s %63s", lon, lat) != 2) continue;
    const Pt p{std::strtod(lat, nullptr), std::strtod(lon, nullptr)};
    if (!cur.pts.empty() && cur.pts.back().lat == p.lat && cur.pts.back().lon == p.lon) continue;
    if (cur.pts.empty()) cur.first = key_of(p.lon, p.lat);
    cur.last = key_of(p.lon, p.lat);
    cur.pts.push_back(p);
  }
  finish();
  return true;
}

// Joins pieces of the same level whose end is another's start; returns whole lines.
std::vector<std::pair<int, Line>> join(std::vector<Piece> pieces) {
  std::vector<std::pair<int, Line>> out;
  std::map<std::pair<int, std::string>, std::vector<std::size_t>> by_first;
  for (std::size_t i = 0; i < pieces.size(); ++i) by_first[{pieces[i].level, pieces[i].first}].push_back(i);
  std::vector<bool> used(pieces.size(), false);
  auto take = [&](int level, const std::string& key) -> long {
    auto it = by_first.find({level, key});
    if (it == by_first.end()) return -1;
    for (std::size_t j : it->second)
      if (!used[j]) return static_cast<long>(j);
    return -1;
  };
  // Chains grown forward from each unused piece; a chain that started in the middle of a
  // line is completed when the chain that ends at its start is grown into it.
  std::vector<Piece> chains;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (used[i]) continue;
    used[i] = true;
    Piece c = pieces[i];
    for (;;) {
      if (c.last == c.first && c.pts.size() > 2) break;
      const long j = take(c.level, c.last);
      if (j < 0) break;
      used[j] = true;
      c.pts.insert(c.pts.end(), pieces[j].pts.begin() + 1, pieces[j].pts.end());
      c.last = pieces[j].last;
    }
    chains.push_back(std::move(c));
  }
  bool merged = true;
  while (merged) {
    merged = false;
    for (std::size_t a = 0; a < chains.size(); ++a) {
      if (chains[a].pts.empty() || chains[a].first == chains[a].last) continue;
      for (std::size_t b = 0; b < chains.size(); ++b) {
        if (a == b || chains[b].pts.empty() || chains[b].level != chains[a].level) continue;
        if (chains[a].last != chains[b].first) continue;
        chains[a].pts.insert(chains[a].pts.end(), chains[b].pts.begin() + 1, chains[b].pts.end());
        chains[a].last = chains[b].last;
        chains[b].pts.clear();
        merged = true;
        break;
      }
    }
  }
  // Some border lines are stored twice (in both bins along whose edge they run); one copy
  // is kept, whichever way round the other runs.
  std::map<std::string, bool> seen;
  for (Piece& c : chains) {
    if (c.pts.size() < 2) continue;
    std::string fwd, rev;
    for (const Pt& p : c.pts) fwd += key_of(p.lon, p.lat) + ",";
    for (auto it = c.pts.rbegin(); it != c.pts.rend(); ++it) rev += key_of(it->lon, it->lat) + ",";
    const std::string id = std::to_string(c.level) + ":" + std::min(fwd, rev);
    if (seen.emplace(id, true).second) out.emplace_back(c.level, std::move(c.pts));
  }
  return out;
}

std::vector<std::pair<int, Line>> load(const std::string& dump_dir, const std::string& what, char res) {
  static const std::map<std::string, std::string> opts = {{"coast", "-W"}, {"nat", "-N1"}, {"st", "-N2"}};
  std::vector<Piece> pieces;
  std::FILE* in = nullptr;
  bool pipe = false;
  if (!dump_dir.empty()) {
    const std::string path = dump_dir + "/" + what + "_" + res + ".txt";
    in = std::fopen(path.c_str(), "r");
    if (in == nullptr) {
      std::fprintf(stderr, "make_maps: cannot open %s\n", path.c_str());
      std::exit(1);
    }
  } else {
    const std::string cmd = "gmt coast -Rd -D" + std::string(1, res) + " " + opts.at(what) + " -M";
    std::printf("%s\n", cmd.c_str());
    in = popen(cmd.c_str(), "r");
    pipe = true;
    if (in == nullptr) {
      std::fprintf(stderr, "make_maps: cannot run %s\n", cmd.c_str());
      std::exit(1);
    }
  }
  read_dump(in, &pieces);
  const int status = pipe ? pclose(in) : std::fclose(in);
  if (status != 0 || pieces.empty()) {
    std::fprintf(stderr, "make_maps: no %s data at resolution %c (is gmt-gshhg-low installed?)\n", what.c_str(), res);
    std::exit(1);
  }
  const int kind = what == "nat" ? kNational : what == "st" ? kState : 0;
  auto lines = join(std::move(pieces));
  if (kind != 0)
    for (auto& l : lines) l.first = kind;
  return lines;
}

// ---- selection ----

// Longitude brought next to a reference (the box of the North American file runs over the
// date line).
double near_lon(double lon, double ref) {
  while (lon < ref - 180.0) lon += 360.0;
  while (lon >= ref + 180.0) lon -= 360.0;
  return lon;
}

struct Box {
  double lat0, lat1, lon0, lon1;  // lon0 < lon1, possibly beyond -180
  bool in(const Pt& p) const {
    const double lon = near_lon(p.lon, 0.5 * (lon0 + lon1));
    return p.lat >= lat0 && p.lat <= lat1 && lon >= lon0 && lon <= lon1;
  }
};

// The parts of a line inside a box, each with one point beyond the box at either end so
// that the cut lines reach its edge.
void clip_to_box(int kind, const Line& line, const Box& box, std::vector<std::pair<int, Line>>* out) {
  Line cur;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool in = box.in(line[i]);
    const bool near = in || (i > 0 && box.in(line[i - 1])) || (i + 1 < line.size() && box.in(line[i + 1]));
    if (near) {
      cur.push_back(line[i]);
    } else if (!cur.empty()) {
      if (cur.size() >= 2) out->emplace_back(kind, cur);
      cur.clear();
    }
  }
  if (cur.size() >= 2) out->emplace_back(kind, cur);
}

// State borders of the United States and Canada: the dump holds those of every country of
// the Americas. A line is kept when most of its points lie north of the border between the
// United States and Mexico (taken from the national borders) and north of 25N, west of 50W.
std::vector<std::pair<int, Line>> us_canada_states(const std::vector<std::pair<int, Line>>& states,
                                                   const std::vector<std::pair<int, Line>>& nations) {
  std::vector<Pt> border;
  for (const auto& [kind, line] : nations)
    for (const Pt& p : line)
      if (p.lon > -117.3 && p.lon < -97.0 && p.lat > 25.5 && p.lat < 33.0) border.push_back(p);
  auto north_of_mexico = [&](const Pt& p) {
    if (p.lon > -50.0 || p.lat < 25.0) return false;
    if (p.lon <= -117.3) return p.lat > 32.6;
    if (p.lon >= -97.0) return true;
    double lim = -90.0;
    for (const Pt& b : border)
      if (std::fabs(b.lon - p.lon) < 0.3) lim = std::max(lim, b.lat);
    return lim < -80.0 ? p.lat > 32.6 : p.lat > lim - 0.05;
  };
  std::vector<std::pair<int, Line>> out;
  for (const auto& [kind, line] : states) {
    std::size_t n = 0;
    for (const Pt& p : line) n += north_of_mexico(p) ? 1 : 0;
    if (2 * n > line.size()) out.emplace_back(kind, line);
  }
  return out;
}

// Area of a ring in square kilometres (sinusoidal projection about its own middle).
double area_km2(const Line& line) {
  constexpr double r = 6371.0, d = 3.14159265358979323846 / 180.0;
  const double lon_c = line.front().lon;
  double a = 0.0;
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    const double x0 = r * near_lon(line[i].lon, lon_c) * d * std::cos(line[i].lat * d), y0 = r * line[i].lat * d;
    const double x1 = r * near_lon(line[i + 1].lon, lon_c) * d * std::cos(line[i + 1].lat * d), y1 = r * line[i + 1].lat * d;
    a += x0 * y1 - x1 * y0;
  }
  return 0.5 * std::fabs(a);
}

// Lakes, islands in lakes and ponds (levels 2-4) of less than 1000 square kilometres are
// left out: at the scales of these maps they are specks that hide the data. Lake
// Okeechobee and Lake Champlain stay.
std::vector<std::pair<int, Line>> without_small_lakes(const std::vector<std::pair<int, Line>>& lines) {
  std::vector<std::pair<int, Line>> out;
  for (const auto& l : lines)
    if (l.first < 2 || l.first > 4 || area_km2(l.second) >= 1000.0) out.push_back(l);
  return out;
}

// ---- writing ----

void put16(std::FILE* f, int v) {
  const auto u = static_cast<std::uint16_t>(v);
  std::fputc(u >> 8, f);
  std::fputc(u & 0xFF, f);
}
void put32(std::FILE* f, std::uint32_t u) {
  for (int s = 24; s >= 0; s -= 8) std::fputc((u >> s) & 0xFF, f);
}
void putf(std::FILE* f, float v) {
  std::uint32_t u;
  std::memcpy(&u, &v, 4);
  put32(f, u);
}

constexpr int kMaxRecord = 32767;  // the header's count is a signed 16-bit number
constexpr float kPenUp = -9999.0f;

struct Stats {
  long points = 0, lines = 0, records = 0, bytes = 0;
};

// Records of at most kMaxRecord entries: lines of one kind packed one after another with
// a pen-up marker between them; a longer line is split into records that share a point.
Stats write_map(const std::string& path, std::vector<std::pair<int, Line>> lines) {
  std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "make_maps: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  Stats st;
  std::vector<Pt> rec;
  int rec_kind = -1;
  auto flush = [&]() {
    if (rec.empty()) return;
    double la0 = 90, la1 = -90, lo0 = 180, lo1 = -180;
    for (const Pt& p : rec)
      if (p.lat != kPenUp) {
        la0 = std::min(la0, p.lat), la1 = std::max(la1, p.lat);
        lo0 = std::min(lo0, p.lon), lo1 = std::max(lo1, p.lon);
      }
    put16(f, static_cast<int>(rec.size()));
    putf(f, static_cast<float>(la0));
    putf(f, static_cast<float>(la1));
    putf(f, static_cast<float>(lo0));
    putf(f, static_cast<float>(lo1));
    put32(f, static_cast<std::uint32_t>(rec_kind));
    for (const Pt& p : rec) {
      putf(f, static_cast<float>(p.lat));
      putf(f, static_cast<float>(p.lon));
    }
    ++st.records;
    rec.clear();
  };
  for (const auto& [kind, line] : lines) {
    if (kind != rec_kind) flush();
    rec_kind = kind;
    ++st.lines;
    st.points += static_cast<long>(line.size());
    std::size_t i = 0;
    while (i < line.size()) {
      // Room for a marker, and for at least two points of the line.
      if (!rec.empty() && rec.size() + 3 > kMaxRecord) flush();
      if (!rec.empty()) rec.push_back({kPenUp, kPenUp});
      const std::size_t room = kMaxRecord - rec.size();
      const std::size_t n = std::min(room, line.size() - i);
      rec.insert(rec.end(), line.begin() + static_cast<long>(i), line.begin() + static_cast<long>(i + n));
      i += n;
      if (i < line.size()) {
        flush();
        --i;  // the next record starts at the last point written
      }
    }
  }
  flush();
  put16(f, 0);  // a count of 0 ends the file
  for (int k = 0; k < 5; ++k) put32(f, 0);
  st.bytes = std::ftell(f);
  std::fclose(f);
  std::printf("%-14s %7ld points %6ld lines %4ld records %8ld bytes\n", path.substr(path.rfind('/') + 1).c_str(),
              st.points, st.lines, st.records, st.bytes);
  return st;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--dump") == 0)) {
    std::fprintf(stderr, "usage: make_maps <outdir> [--dump <dir>]\n");
    return 2;
  }
  const std::string out = argv[1];
  const std::string dump = argc == 4 ? argv[3] : "";

  const auto coast_l = without_small_lakes(load(dump, "coast", 'l'));
  const auto nat_l = load(dump, "nat", 'l');
  const auto st_l = load(dump, "st", 'l');
  const auto coast_c = without_small_lakes(load(dump, "coast", 'c'));
  const auto nat_c = load(dump, "nat", 'c');

  write_map(out + "/cont.map", coast_l);
  write_map(out + "/country.map", nat_l);
  write_map(out + "/cont_c.map", coast_c);
  write_map(out + "/country_c.map", nat_c);
  const auto states = us_canada_states(st_l, nat_l);
  write_map(out + "/states.map", states);

  const Box na{-5.0, 90.0, -210.0, -10.0};
  std::vector<std::pair<int, Line>> zav;
  for (const auto* set : {&coast_l, &nat_l, &states})
    for (const auto& [kind, line] : *set) clip_to_box(kind, line, na, &zav);
  write_map(out + "/zav.map", zav);
  return 0;
}
