// Writes the bundled sample: 24 hourly surface files (text form "ZAVSFC") of a
// synthetic March cyclone over North America, for the real stations of a station
// database plus a few ships and buoys.
//
//   make_sample <sao.cty> <outdir> [--values]
//
// The weather is a small analytic model evaluated at every station and hour: a low
// moving from the central Plains to the Great Lakes and deepening from 1000 to 984 mb,
// a warm front east and a cold front south-west of it, an arctic high over the
// prairies and the subtropical high over the Atlantic. Every random choice comes from
// a hash of (station, hour, purpose), so the output is the same byte for byte on every
// run and does not depend on the order in which values are computed.
//
// Beside each hour's surface file goes the hour's coded frontal-position bulletin
// (20260314hh.frt): the low, the highs and the warm and cold fronts of the model.
//
// With --values, <outdir>/values.txt lists per file and report the values a reader
// must decode from each line (already rounded as the encoding rounds them).

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kKmPerDeg = 111.2;
constexpr float kMiss = -9999.0f;
constexpr int kHours = 24;
constexpr double kInHgMb = 33.8639;  // millibars per inch of mercury

// ---------------------------------------------------------------- randomness
std::uint64_t mix(std::uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Uniform in [0, 1) from a station key, an hour and a purpose tag.
double u01(std::uint64_t key, int hour, int tag) {
  std::uint64_t h = mix(key);
  h = mix(h ^ static_cast<std::uint64_t>(hour + 1000));
  h = mix(h ^ static_cast<std::uint64_t>(tag) * 0x100000001B3ull);
  return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

// Standard normal deviate (Box-Muller on two hashed uniforms).
double gauss(std::uint64_t key, int hour, int tag) {
  const double a = std::max(u01(key, hour, tag), 1e-12);
  const double b = u01(key, hour, tag + 7919);
  return std::sqrt(-2.0 * std::log(a)) * std::cos(2.0 * kPi * b);
}

std::uint64_t key_of(const std::string& id) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : id) h = (h ^ c) * 1099511628211ull;
  return h;
}

double sigmoid(double x) { return 1.0 / (1.0 + std::exp(-x)); }
double clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

// ---------------------------------------------------------------- stations
struct Site {
  std::string id;
  double lat = 0, lon = 0;
  double elev = 0;      // metres (database value, or estimated from neighbours)
  bool elev_known = false;
  int prior = 9;
  bool ship = false;    // carries its own position
  bool moving = false;  // ship (moves) rather than moored buoy
  double heading = 0, speed_kt = 0;
  std::uint64_t key = 0;
};

bool read_stations(const char* path, std::vector<Site>* all) {
  FILE* f = std::fopen(path, "r");
  if (!f) return false;
  char line[512];
  while (std::fgets(line, sizeof line, f)) {
    char name[21], st[3], cn[3], id[10], pr[8];
    float lat, lon, elev;
    int wmo, extra;
    if (std::sscanf(line, "%20s %2s %2s %9s %7s %f %f %f %d %d", name, st, cn, id, pr, &lat,
                    &lon, &elev, &wmo, &extra) != 10)
      continue;
    if (id[1] == '-') continue;  // no call sign: reports could not be placed
    Site s;
    s.id = id;
    s.lat = lat;
    s.lon = lon;
    s.elev_known = elev <= 9000.0f;
    s.elev = s.elev_known ? elev : 0.0;
    int p = 9;
    for (const char* c = pr; *c; ++c)
      if (*c >= '0' && *c <= '9') p = *c - '0';
    s.prior = p;
    s.key = key_of(s.id);
    all->push_back(s);
  }
  std::fclose(f);
  return true;
}

// Land stations of the sample area, thinned by plot priority, with an elevation for
// every one (stations without one in the database take an inverse-distance mean of
// their nearest neighbours that have one).
std::vector<Site> select_land(const std::vector<Site>& all) {
  std::vector<Site> area, out;
  for (const Site& s : all)
    if (s.lat >= 20.0 && s.lat <= 60.0 && s.lon >= -130.0 && s.lon <= -60.0) area.push_back(s);
  for (const Site& s : area)
    if (s.prior <= 6 || s.id == "KMWN") out.push_back(s);
  for (Site& s : out) {
    if (s.elev_known) continue;
    struct Near { double d2; double z; };
    std::vector<Near> near;
    for (const Site& o : area) {
      if (!o.elev_known) continue;
      const double dy = o.lat - s.lat, dx = (o.lon - s.lon) * std::cos(s.lat * kDeg);
      near.push_back({dx * dx + dy * dy, o.elev});
    }
    const std::size_t k = std::min<std::size_t>(4, near.size());
    std::partial_sort(near.begin(), near.begin() + static_cast<long>(k), near.end(),
                      [](const Near& a, const Near& b) { return a.d2 < b.d2; });
    double sw = 0, sz = 0;
    for (std::size_t i = 0; i < k; ++i) {
      const double w = 1.0 / (near[i].d2 + 1e-4);
      sw += w;
      sz += w * near[i].z;
    }
    s.elev = sw > 0 ? std::round(sz / sw) : 0.0;
  }
  // Mount Washington's summit is 1917 m; its exposure gives the sample's strongest winds.
  for (Site& s : out)
    if (s.id == "KMWN") s.elev = 1917.0;
  return out;
}

std::vector<Site> marine_sites() {
  struct M { const char* id; double lat, lon, heading, kt; };
  static const M ships[] = {
      {"WDC6923", 25.5, -88.0, 270, 12}, {"WDB4172", 27.0, -94.5, 90, 13},
      {"KCBK9", 24.5, -84.5, 300, 12},   {"VRBZ3", 32.0, -75.0, 45, 14},
      {"ELWX5", 38.0, -70.0, 90, 15},    {"C6FU8", 28.0, -70.0, 180, 12},
      {"DGZQ6", 35.0, -65.0, 270, 14},   {"PJQT2", 40.5, -68.0, 240, 11},
      {"WAAH7", 29.0, -77.0, 20, 12},    {"ZCDF5", 26.0, -68.0, 315, 13},
      {"KRLW4", 42.0, -62.0, 250, 12},   {"WTEC8", 22.5, -92.0, 60, 10},
  };
  static const M buoys[] = {
      {"42001", 25.93, -89.66, 0, 0}, {"42002", 26.06, -93.76, 0, 0},
      {"42003", 25.93, -85.62, 0, 0}, {"42036", 28.50, -84.52, 0, 0},
      {"42039", 28.79, -86.01, 0, 0}, {"42040", 29.21, -88.23, 0, 0},
      {"41001", 34.72, -72.32, 0, 0}, {"41002", 31.76, -74.84, 0, 0},
      {"41004", 32.50, -79.10, 0, 0}, {"41010", 28.88, -78.47, 0, 0},
  };
  std::vector<Site> out;
  for (const M& m : ships) {
    Site s;
    s.id = m.id; s.lat = m.lat; s.lon = m.lon; s.heading = m.heading; s.speed_kt = m.kt;
    s.ship = true; s.moving = true; s.prior = 5; s.elev_known = true; s.key = key_of(s.id);
    out.push_back(s);
  }
  for (const M& m : buoys) {
    Site s;
    s.id = m.id; s.lat = m.lat; s.lon = m.lon;
    s.ship = true; s.prior = 5; s.elev_known = true; s.key = key_of(s.id);
    out.push_back(s);
  }
  return out;
}

// Position of a site at hour t (ships steam along their heading).
void position(const Site& s, double t, double* lat, double* lon) {
  *lat = s.lat;
  *lon = s.lon;
  if (!s.moving) return;
  const double nm = s.speed_kt * t;
  *lat = s.lat + nm / 60.0 * std::cos(s.heading * kDeg);
  *lon = s.lon + nm / 60.0 * std::sin(s.heading * kDeg) / std::cos(*lat * kDeg);
}

// ---------------------------------------------------------------- weather model
// t is hours after 00 UTC 14 March 2026 (negative hours give the history that
// accumulated precipitation and extremes need).
struct Synoptic {
  double lat_low, lon_low, p_low;
  double brg_warm, brg_cold;  // bearings of the fronts from the low, degrees
};

Synoptic synoptic(double t) {
  Synoptic s;
  const double f = t / 23.0;
  s.lat_low = 38.5 + 5.0 * f;
  s.lon_low = -99.5 + 16.0 * f;
  s.p_low = 1000.0 - 16.0 * f;
  s.brg_warm = 105.0 - 10.0 * f;
  s.brg_cold = 205.0 + 15.0 * f;
  return s;
}

// Low-relative frame: x east, y north, km.
void local_xy(const Synoptic& s, double lat, double lon, double* x, double* y) {
  *x = (lon - s.lon_low) * kKmPerDeg * std::cos(0.5 * (lat + s.lat_low) * kDeg);
  *y = (lat - s.lat_low) * kKmPerDeg;
}

struct FrontGeom {
  double r;        // distance from the low, km
  double dw, dc;   // signed distance from the warm / cold front lines (+ on the warm side)
  double aw, ac;   // distance along each front from the low
};

FrontGeom fronts(const Synoptic& s, double lat, double lon) {
  double x, y;
  local_xy(s, lat, lon, &x, &y);
  FrontGeom g;
  g.r = std::hypot(x, y);
  const double bw = s.brg_warm * kDeg, bc = s.brg_cold * kDeg;
  // Warm side of the warm front lies clockwise of its direction, warm side of the
  // cold front counterclockwise of its direction: the warm sector is the wedge between.
  g.aw = x * std::sin(bw) + y * std::cos(bw);
  g.dw = x * std::sin(bw + kPi / 2) + y * std::cos(bw + kPi / 2);
  g.ac = x * std::sin(bc) + y * std::cos(bc);
  g.dc = x * std::sin(bc - kPi / 2) + y * std::cos(bc - kPi / 2);
  return g;
}

double great_circle_km(double la1, double lo1, double la2, double lo2) {
  const double c = std::sin(la1 * kDeg) * std::sin(la2 * kDeg) +
                   std::cos(la1 * kDeg) * std::cos(la2 * kDeg) * std::cos((lo1 - lo2) * kDeg);
  return std::acos(std::clamp(c, -1.0, 1.0)) * 6371.0;
}

// Sea-level pressure of the smooth field (no station noise), mb.
double slp_field(double t, double lat, double lon) {
  const Synoptic s = synoptic(t);
  auto highs = [&](double la, double lo) {
    const double d1 = great_circle_km(la, lo, 53.0 - 0.05 * t, -110.0 + 0.15 * t);
    const double d2 = great_circle_km(la, lo, 31.0, -62.0);
    const double d3 = great_circle_km(la, lo, 38.0, -135.0);
    return 1012.0 + 22.0 * std::exp(-std::pow(d1 / 1300.0, 2)) +
           10.0 * std::exp(-std::pow(d2 / 1500.0, 2)) + 8.0 * std::exp(-std::pow(d3 / 1100.0, 2));
  };
  const double depth = highs(s.lat_low, s.lon_low) - s.p_low;
  const FrontGeom g = fronts(s, lat, lon);
  double p = highs(lat, lon) - depth / (1.0 + std::pow(g.r / 550.0, 2));
  // Troughs along the fronts kink the isobars, so the wind veers across a front.
  // They fade in away from the centre so the low keeps its central pressure.
  const double start = 1.0 - std::exp(-std::pow(g.r / 250.0, 2));
  if (g.aw > 0) p -= 2.0 * start * std::exp(-std::pow(g.dw / 90.0, 2)) * std::exp(-std::pow(g.aw / 900.0, 2));
  if (g.ac > 0) p -= 2.5 * start * std::exp(-std::pow(g.dc / 90.0, 2)) * std::exp(-std::pow(g.ac / 1600.0, 2));
  return p;
}

// Air-mass regions round the low, each in 0..1, summing to 1.
struct Regions {
  double warm;   // warm sector
  double ne;     // cool side north of the warm front
  double behind; // behind the cold front
  double nw;     // cold air north-west of the low
  double near;   // closeness to the system (1 at the low, 0 far away)
};

Regions regions(const FrontGeom& g) {
  const double a = sigmoid(g.dw / 50.0), b = sigmoid(g.dc / 50.0);
  Regions r;
  r.warm = a * b;
  r.ne = (1 - a) * b;
  r.behind = a * (1 - b);
  r.nw = (1 - a) * (1 - b);
  r.near = std::exp(-std::pow(g.r / 1800.0, 2));
  return r;
}

// Temperature (F) of a site at hour t, including the station's own noise.
double temperature(const Site& site, double t, double lat, double lon) {
  const Synoptic s = synoptic(t);
  const FrontGeom g = fronts(s, lat, lon);
  const Regions r = regions(g);
  double T = 74.0 - 1.45 * (lat - 20.0);
  if (lat > 35.0) T += 7.0 * std::exp(-std::pow((lon + 124.0) / 4.0, 2));  // Pacific coast
  T -= (site.ship ? 0.0 : 0.008 * site.elev);
  const double k = clamp01(-g.dc / 800.0);
  T += r.near * (13.0 * r.warm - 4.0 * r.ne - (8.0 + 5.0 * k) * r.behind - 13.0 * r.nw);
  // Diurnal cycle on local solar time, damped under the overcast of the system, at sea.
  const double lst = std::fmod(t + lon / 15.0 + 48.0, 24.0);
  double amp = site.ship ? 1.5 : (lat < 27.0 ? 6.0 : 9.0);  // islands and coasts of the south
  amp *= 1.0 - 0.6 * r.near * (r.warm + r.ne);
  if (lon < -104.0 && !site.ship) amp += 3.0;  // dry air of the West
  T += amp * std::cos(2.0 * kPi * (lst - 15.0) / 24.0);
  T += 1.5 * gauss(site.key, 0, 11) + 0.6 * gauss(site.key, static_cast<int>(std::floor(t)), 12);
  return T;
}

// Weather regime at a site: the precipitation rate (inches in the hour ending at t)
// and its kind.
enum class Kind { None, Rain, Thunder, Snow, Freezing, Drizzle };

struct Precip {
  double rate = 0;
  Kind kind = Kind::None;
  double fog = 0;  // 0..1, strength of fog near the warm front
};

Precip precip(const Site& site, double t, double lat, double lon, double temp_f) {
  const Synoptic s = synoptic(t);
  const FrontGeom g = fronts(s, lat, lon);
  const int ih = static_cast<int>(std::floor(t));
  const double noise = 0.6 + 0.8 * u01(site.key, ih, 21);
  Precip p;
  const double strength = clamp01((t + 24.0) / 30.0);  // the system organises with time
  // Squall line just ahead of the cold front.
  if (g.ac > 0 && g.ac < 1500 && g.dc > -40 && g.dc < 160) {
    const double along = std::exp(-std::pow((g.ac - 500.0) / 600.0, 2));
    const double across = std::exp(-std::pow((g.dc - 50.0) / 70.0, 2));
    const double rate = 0.35 * along * across * strength * noise;
    if (rate > p.rate) { p.rate = rate; p.kind = temp_f > 55.0 ? Kind::Thunder : Kind::Rain; }
  }
  // Overrunning rain (snow on the cold edge) north of the warm front, fog and drizzle
  // close to it.
  if (g.aw > -200 && g.aw < 1000 && g.dw < 0 && g.dw > -450) {
    const double along = std::exp(-std::pow((g.aw - 250.0) / 650.0, 2));
    const double band = std::exp(-std::pow((g.dw + 180.0) / 140.0, 2));
    const double rate = 0.12 * along * band * strength * noise;
    if (rate > p.rate) {
      p.rate = rate;
      p.kind = temp_f <= 31.0 ? Kind::Snow : (temp_f <= 33.5 ? Kind::Freezing : Kind::Rain);
    }
    p.fog = along * std::exp(-std::pow((g.dw + 50.0) / 80.0, 2)) * strength;
    if (p.fog > 0.5 && p.rate < 0.04 && temp_f > 33.5) { p.kind = Kind::Drizzle; p.rate = 0.01 * noise; }
  }
  // Comma head: snow north-west of the low.
  double x, y;
  local_xy(s, lat, lon, &x, &y);
  const double dx = x + 150.0, dy = y - 200.0;
  const double head = std::exp(-(dx * dx + dy * dy) / (2.0 * 330.0 * 330.0));
  const double rate = 0.10 * head * strength * noise;
  if (rate > p.rate) {
    p.rate = rate;
    p.kind = temp_f <= 34.0 ? Kind::Snow : Kind::Rain;
  }
  // Light rain in the warm sector close to the low.
  const Regions r = regions(g);
  const double wr = 0.03 * r.warm * std::exp(-std::pow(g.r / 500.0, 2)) * strength * noise;
  if (wr > p.rate) { p.rate = wr; p.kind = Kind::Rain; }
  if (p.rate < 0.005) { p.rate = 0; if (p.kind != Kind::Drizzle) p.kind = Kind::None; }
  return p;
}

// Hundredths of an inch that fell in the hour ending at hour h.
int hourly_precip(const Site& site, int h) {
  double lat, lon;
  position(site, h, &lat, &lon);
  const double T = temperature(site, h, lat, lon);
  const Precip p = precip(site, h, lat, lon, T);
  double rate = p.rate;
  if (p.kind == Kind::Snow) rate *= 0.8;  // liquid equivalent of the snow
  return static_cast<int>(std::lround(rate * 100.0));
}

// ---------------------------------------------------------------- one report
struct Report {
  bool present = true;
  float temp = kMiss, dewp = kMiss;
  int wdir = -9999, wspd = -9999;
  float alt = kMiss, slpr = kMiss, vis = kMiss;
  std::string vis_text;
  std::vector<std::pair<int, char>> clouds;  // height (ft, -9999 missing), cover; okta as '0'+n
  bool okta = false;                         // layers written with ':' and a digit
  bool sky_missing = false;
  std::string wx;
  int time = -9999;
  float lat = kMiss, lon = kMiss;
  int ptype = -9999;
  float ptend = kMiss;
  float prec3 = kMiss, prec6 = kMiss, prec24 = kMiss;
  float maxt = kMiss, mint = kMiss, scover = kMiss;
  std::string ctype;
  float wgust = kMiss, solar = kMiss, sst = kMiss, wave_per = kMiss, wave_hgt = kMiss;
  std::string comment;
  double zgen = 0;
};

// Decoders of the coded fields, to prove each encoded value reads back as intended.
double decode_alt(int a) { return a <= 500 ? 30.0 + a / 100.0 : (a < 1000 ? 20.0 + a / 100.0 : a / 100.0); }
double decode_slp(int s, float alt, float temp) {
  if (s >= 1000) return s / 10.0;
  if (s > 500) {
    double v = 900.0 + s / 10.0;
    if ((alt != kMiss && alt > 30.7f) || (temp != kMiss && temp < -10.0f)) v += 100.0;
    return v;
  }
  double v = 1000.0 + s / 10.0;
  if (alt != kMiss && alt < 28.4f) v -= 100.0;
  return v;
}

int slp_code(float slp) {
  const int tenths = static_cast<int>(std::lround(slp * 10.0));
  return (tenths > 9500 && tenths <= 10500) ? tenths % 1000 : tenths;
}

[[noreturn]] void fail(const char* what, const std::string& id, int hour) {
  std::fprintf(stderr, "make_sample: %s does not read back (%s, hour %d)\n", what, id.c_str(), hour);
  std::exit(3);
}

float tenth(double v) { return static_cast<float>(std::lround(v * 10.0) / 10.0); }
float hundredth(double v) { return static_cast<float>(std::lround(v * 100.0) / 100.0); }

const char* visibility_text(double miles, char* buf, std::size_t n) {
  if (miles >= 5.0) std::snprintf(buf, n, "%.1f", miles);
  else std::snprintf(buf, n, "%.2f", miles);
  return buf;
}

// Reported visibility steps (statute miles).
double vis_step(double v) {
  static const double steps[] = {0.12, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 2.5,
                                 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0};
  double best = steps[0];
  for (double s : steps)
    if (s <= v + 1e-9) best = s;
  return best;
}

Report make_report(const Site& site, int hour) {
  Report r;
  const std::uint64_t k = site.key;
  auto miss = [&](int tag) { return u01(k, hour, 100 + tag) < 0.03; };
  if (u01(k, hour, 99) < 0.01) { r.present = false; return r; }

  double lat, lon;
  position(site, hour, &lat, &lon);
  const double t = hour;
  const Synoptic syn = synoptic(t);
  const FrontGeom g = fronts(syn, lat, lon);
  const Regions reg = regions(g);

  // Temperature and dew point.
  double T = temperature(site, t, lat, lon);
  if (site.ship) T = std::max(T, 78.0 - 1.1 * (lat - 20.0) - 6.0);  // air over warm water
  const Precip pr = precip(site, t, lat, lon, T);
  double dep = 3.0 * reg.warm + 3.0 * reg.ne + (12.0 + 8.0 * clamp01(-g.dc / 600.0)) * reg.behind +
               7.0 * reg.nw;
  dep = dep * reg.near + 9.0 * (1.0 - reg.near);
  if (!site.ship && lon < -104.0) dep += 10.0 + 12.0 * clamp01((-104.0 - lon) / 10.0) * (1.0 - reg.nw);
  if (site.ship) dep = std::min(dep, 6.0);
  if (pr.rate > 0) dep = std::min(dep, 2.5);
  dep = std::max(0.0, dep * (1.0 - 0.9 * pr.fog) + 1.5 * gauss(k, hour, 13));
  const double lst = std::fmod(t + lon / 15.0 + 48.0, 24.0);
  dep += 4.0 * std::max(0.0, std::cos(2.0 * kPi * (lst - 15.0) / 24.0)) * (1.0 - reg.near * reg.warm);
  float temp = tenth(T);
  if (std::lround(temp * 10.0f) == -99) temp = -9.8f;  // -99 tenths is the missing code
  float dewp = std::min(temp, tenth(T - dep));
  if (std::lround(dewp * 10.0f) == -99) dewp = -10.0f;
  r.temp = miss(0) ? kMiss : temp;
  r.dewp = miss(1) ? kMiss : dewp;

  // Pressure: sea-level from the field; the station pressure reduces it with the air
  // column's mean temperature; the altimeter setting is the station pressure raised to
  // sea level through the standard atmosphere.
  const double slp = slp_field(t, lat, lon) + 0.35 * gauss(k, hour, 14) + 0.3 * gauss(k, 0, 15);
  const double z = site.ship ? 0.0 : site.elev;
  const double tk = (T - 32.0) * 5.0 / 9.0 + 273.15 + 0.0065 * z / 2.0;
  const double p_sfc = slp * std::exp(-9.80665 * z / (287.05 * tk));
  const double std_ratio = std::pow((288.15 - 0.0065 * z) / 288.15, 5.2558);
  const double alt_in = p_sfc / std_ratio / kInHgMb;
  r.zgen = z;
  if (!site.ship && !miss(2)) r.alt = hundredth(alt_in);
  if (!miss(3)) r.slpr = tenth(slp);

  // Wind: geostrophic flow of the field, backed towards low pressure and slowed by
  // friction; stronger in the afternoon when the boundary layer mixes.
  const double d = 0.2;  // degrees
  const double dpx = (slp_field(t, lat, lon + d) - slp_field(t, lat, lon - d)) * 100.0 /
                     (2.0 * d * kKmPerDeg * 1000.0 * std::cos(lat * kDeg));
  const double dpy = (slp_field(t, lat + d, lon) - slp_field(t, lat - d, lon)) * 100.0 /
                     (2.0 * d * kKmPerDeg * 1000.0);
  const double f = 2.0 * 7.292e-5 * std::sin(std::max(lat, 18.0) * kDeg);
  double ug = -dpy / (1.2 * f), vg = dpx / (1.2 * f);
  const double vmag = std::hypot(ug, vg);
  if (vmag > 40.0) { ug *= 40.0 / vmag; vg *= 40.0 / vmag; }
  const double back = (site.ship ? 15.0 : 28.0) * kDeg + 0.15 * gauss(k, hour, 16);
  double u = ug * std::cos(back) - vg * std::sin(back);
  double v = ug * std::sin(back) + vg * std::cos(back);
  double fac = site.ship ? 0.75 : 0.5;
  fac *= 0.8 + 0.3 * std::max(0.0, std::cos(2.0 * kPi * (lst - 15.0) / 24.0));
  fac *= 0.8 + 0.4 * u01(k, hour, 17);
  if (site.id == "KMWN") fac = 4.8;
  u *= fac;
  v *= fac;
  double kt = std::hypot(u, v) * 1.943844;
  // Near the centre the flow is sub-geostrophic: bound the surface wind smoothly.
  if (site.id != "KMWN") kt = 45.0 * std::tanh(kt / 45.0);
  if (pr.kind == Kind::Thunder) kt += 8.0;
  int spd = static_cast<int>(std::lround(kt));
  int dir = 0;
  if (spd >= 3) {
    double from = std::atan2(-u, -v) / kDeg;
    from = std::fmod(from + 720.0, 360.0);
    if (spd >= 100) {
      dir = static_cast<int>(from) / 5 * 5;
      if (dir < 5) dir = 360;
    } else {
      dir = static_cast<int>(from) / 10 * 10;
      if (dir == 0) dir = 360;
    }
  } else {
    spd = 0;
  }
  if (!miss(4)) { r.wdir = dir; r.wspd = spd; }
  if (spd >= 12 && !miss(5) && (u01(k, hour, 18) < 0.6 || pr.kind == Kind::Thunder || spd >= 25))
    r.wgust = static_cast<float>(spd + 6 + static_cast<int>(10.0 * u01(k, hour, 19)) +
                                 (pr.kind == Kind::Thunder ? 12 : 0));

  // Weather, visibility, clouds.
  const double q = u01(k, hour, 30);
  double vis = 10.0;
  const char* wx = "";  // literals only
  using P = std::pair<int, char>;
  std::vector<P> cl;
  auto hft = [&](double hundreds) { return 100 * std::max(1, static_cast<int>(std::lround(hundreds))); };
  std::string ctype;
  switch (pr.kind) {
    case Kind::Thunder:
      wx = pr.rate > 0.25 ? "TRW+" : "TRW";
      vis = pr.rate > 0.25 ? 1.0 + 1.5 * q : 3.0 + 3.0 * q;
      cl = {P(hft(25 + 15 * q), 'B'), P(hft(80 + 40 * q), 'O')};
      ctype = "971";
      break;
    case Kind::Rain:
      wx = pr.rate > 0.15 ? "R+" : (pr.rate > 0.05 ? "R" : "R-");
      vis = pr.rate > 0.15 ? 1.5 + 1.5 * q : (pr.rate > 0.05 ? 3.0 + 2.0 * q : 5.0 + 4.0 * q);
      cl = {P(hft(12 + 18 * q), 'B'), P(hft(40 + 30 * q), 'O')};
      ctype = "720";
      break;
    case Kind::Drizzle:
      wx = "L-F";
      vis = 0.75 + 1.5 * q;
      cl = {P(hft(3 + 4 * q), 'O')};
      ctype = "600";
      break;
    case Kind::Freezing:
      wx = pr.rate > 0.06 ? "ZR" : "ZR-";
      vis = 2.0 + 3.0 * q;
      cl = {P(hft(8 + 10 * q), 'O')};
      ctype = "720";
      break;
    case Kind::Snow:
      if (pr.rate > 0.08) { wx = "S+"; vis = 0.25 + 0.3 * q; }
      else if (pr.rate > 0.03) { wx = "S"; vis = 0.75 + 0.75 * q; }
      else { wx = "S-"; vis = 1.5 + 3.5 * q; }
      if (spd >= 25) vis = std::min(vis, 0.5);  // blowing and drifting
      if (vis <= 0.5) cl = {P(hft(4 + 6 * q), 'X')};
      else cl = {P(hft(8 + 12 * q), 'O')};
      ctype = "520";
      break;
    case Kind::None: {
      const double cloudy = reg.near * (0.8 * reg.warm + 0.9 * reg.ne + 0.3 * reg.behind + 0.6 * reg.nw);
      const double c = cloudy + 0.35 * (q - 0.5);
      if (pr.fog > 0.35 && T > 33.5) {
        wx = "F";
        vis = 0.25 + 0.5 * q;
        cl = {P(hft(1 + 3 * q), 'X')};
        ctype = "600";
      } else if (c > 0.75) {
        cl = {P(hft(15 + 25 * q), 'B'), P(hft(60 + 60 * q), 'O')};
        ctype = "820";
      } else if (c > 0.5) {
        cl = {P(hft(30 + 30 * q), 'S'), P(hft(100 + 80 * q), 'B')};
        ctype = "871";
      } else if (c > 0.3) {
        cl = {P(hft(40 + 30 * q), 'F'), P(hft(250), 'S')};
        ctype = "101";
      } else if (c > 0.15) {
        cl = {P(hft(250), 'F')};
        ctype = "001";
      } else {
        cl = {P(-9999, 'C')};
        ctype = "000";
      }
      if (*wx == '\0' && dep < 1.5 && spd <= 5 && (lst < 9.0 || lst > 22.0) && !site.ship) {
        wx = "F";
        vis = 0.5 + 2.0 * q;
      } else if (*wx == '\0' && !site.ship && lon < -104.0 && u01(k, hour, 31) < 0.06) {
        wx = "H";
        vis = 5.0 + 2.0 * q;
      } else if (*wx == '\0') {
        vis = 10.0 - (c > 0.6 ? 3.0 * q : 0.0);
      }
      break;
    }
  }
  r.wx = wx;
  r.vis_text.clear();
  if (!miss(6)) {
    char buf[16];
    r.vis = static_cast<float>(vis_step(vis));
    r.vis_text = visibility_text(r.vis, buf, sizeof buf);
    r.vis = static_cast<float>(std::atof(r.vis_text.c_str()));
  }
  if (miss(7)) {
    r.sky_missing = true;
  } else {
    r.clouds = cl;
    if (site.ship) {
      r.okta = true;
      for (auto& [h, c] : r.clouds) {
        switch (c) {
          case 'C': c = '0'; break;
          case 'F': c = '2'; break;
          case 'S': c = '4'; break;
          case 'B': c = '6'; break;
          case 'O': c = '8'; break;
          default: c = '9'; break;
        }
      }
    }
  }

  // Observation time: airports report a few minutes before the hour, ships on the hour.
  const int prev = (hour + 23) % 24;
  if (site.ship) r.time = hour * 100;
  else if (u01(k, 0, 40) < 0.8) r.time = prev * 100 + 53;
  else r.time = (u01(k, hour, 41) < 0.5 ? prev * 100 + 56 : hour * 100);
  if (site.ship) { r.lat = tenth(lat); r.lon = tenth(lon); }

  // Pressure tendency over three hours, at the synoptic hours.
  if (hour % 3 == 0 && !miss(8)) {
    auto pstn = [&](double th) { return slp_field(th, lat, lon); };
    const double p3 = pstn(t - 3), p15 = pstn(t - 1.5), p0 = pstn(t);
    const float change = tenth(p0 - p3);
    const double a = p15 - p3, b = p0 - p15;
    int code;
    if (std::lround(change * 10.0f) == 0) code = 4;
    else if (change > 0) code = b < -0.05 ? 0 : (b < 0.1 ? 1 : (a < -0.05 ? 3 : 2));
    else code = b > 0.05 ? 5 : (b > -0.1 ? 6 : (a > 0.05 ? 8 : 7));
    r.ptype = code;
    r.ptend = change;
  }

  // Precipitation amounts: 3-hour at 03, 09, 15, 21; 6-hour at 00, 06, 12, 18; 24-hour
  // at 12. Major stations report zero amounts; others only when something fell.
  auto total = [&](int span) {
    int s = 0;
    for (int h = hour - span + 1; h <= hour; ++h) s += hourly_precip(site, h);
    return s;
  };
  const bool reports_zero = site.prior <= 4 || site.ship;
  auto amount = [&](int span, int tag) {
    const int s = total(span);
    if (miss(tag) || (s == 0 && !reports_zero)) return kMiss;
    return static_cast<float>(s / 100.0);
  };
  if (hour % 6 == 3) r.prec3 = amount(3, 9);
  if (hour % 6 == 0) r.prec6 = amount(6, 10);
  if (hour == 12) r.prec24 = amount(24, 11);

  // Extremes: the day's maximum at 00 UTC (the American afternoon), the night's
  // minimum at 12 UTC, both over the 12 hours before.
  if ((hour == 0 || hour == 12) && !site.ship && !miss(12)) {
    double hi = -1e9, lo = 1e9;
    for (int h = hour - 12; h <= hour; ++h) {
      double la, lo2;
      position(site, h, &la, &lo2);
      const double th = temperature(site, h, la, lo2);
      hi = std::max(hi, th);
      lo = std::min(lo, th);
    }
    if (hour == 0) r.maxt = std::max(tenth(hi), temp);
    else r.mint = std::min(tenth(lo), temp);
  }

  // Snow cover on the ground in the north and on the mountains, every six hours.
  if (hour % 6 == 0 && !site.ship && !miss(13)) {
    double depth = 1.2 * (lat - 43.0) + 0.004 * (site.elev - 1500.0) * (lat > 35 ? 1.0 : 0.0);
    depth += 1.5 * gauss(k, 0, 42);
    for (int h = 0; h <= hour; ++h) {
      double la, lo2;
      position(site, h, &la, &lo2);
      const double th = temperature(site, h, la, lo2);
      const Precip p = precip(site, h, la, lo2, th);
      if (p.kind == Kind::Snow) depth += 10.0 * p.rate;
    }
    if (depth >= 0.5) r.scover = tenth(depth);
  }

  if ((hour % 6 == 0) && (site.prior <= 3 || site.ship) && !r.sky_missing && !miss(14)) r.ctype = ctype;
  if (hour == 0 && site.prior <= 2 && !site.ship && !miss(15))
    r.solar = static_cast<float>(std::lround(660.0 * clamp01(1.0 - 0.9 * reg.near * (reg.warm + reg.ne)) * (0.7 + 0.3 * q)));
  if (site.ship) {
    const double sst = 27.0 - 0.55 * std::max(0.0, lat - 22.0) + 0.5 * gauss(k, 0, 50);
    if (!miss(16)) r.sst = tenth(sst);
    const double wave = 0.6 + 0.08 * spd + 0.3 * u01(k, hour, 51);
    if (!miss(17)) r.wave_per = static_cast<float>(std::lround(std::min(10.0, 4.0 + 0.8 * wave)));
    if (!miss(18)) r.wave_hgt = tenth(wave);
  }

  // Remarks as American automated stations give them.
  if (!site.ship && site.id[0] == 'K' && !miss(19)) {
    char buf[80];
    std::string c = "AO2";
    if (r.slpr != kMiss) {
      std::snprintf(buf, sizeof buf, " SLP%03d", static_cast<int>(std::lround(r.slpr * 10.0f)) % 1000);
      c += buf;
    }
    if (r.wgust != kMiss && r.wgust >= 35 && r.wdir != -9999) {
      std::snprintf(buf, sizeof buf, " PK WND %03d%02.0f/%02d%02d", r.wdir,
                    static_cast<double>(r.wgust) + 2.0, prev, 30 + static_cast<int>(20 * q));
      c += buf;
    }
    if (pr.kind == Kind::Thunder) c += " FRQ LTGICCG";
    r.comment = c;
  }
  return r;
}

// ---------------------------------------------------------------- output
std::string encode(const Site& site, const Report& r, int hour) {
  std::string out = site.id;
  char buf[128];
  auto put = [&](const char* s) { out += s; };
  put(" ");
  // Temperature, dew point (tenths of F).
  if (r.temp == kMiss) put("-99");
  else { std::snprintf(buf, sizeof buf, "%3.0f", static_cast<double>(std::lround(r.temp * 10.0))); put(buf); }
  put(" ");
  if (r.dewp == kMiss) put("-99");
  else { std::snprintf(buf, sizeof buf, "%3.0f", static_cast<double>(std::lround(r.dewp * 10.0))); put(buf); }
  put(" ");
  // Wind.
  if (r.wspd == -9999) put("-999");
  else if (r.wspd >= 100) { std::snprintf(buf, sizeof buf, "%03d%03d", r.wdir / 5 * 5, r.wspd); put(buf); }
  else { std::snprintf(buf, sizeof buf, "%04d", (r.wdir / 10) * 100 + r.wspd); put(buf); }
  put(" ");
  // Altimeter: hundredths of inches modulo 1000.
  if (r.alt == kMiss) put("-99");
  else {
    const int a = static_cast<int>(std::lround(r.alt * 100.0)) % 1000;
    if (std::fabs(decode_alt(a) - r.alt) > 0.004) fail("altimeter", site.id, hour);
    std::snprintf(buf, sizeof buf, "%3d", a);
    put(buf);
  }
  put(" ");
  // Sea-level pressure.
  if (r.slpr == kMiss) put("-99");
  else {
    const int s = slp_code(r.slpr);
    if (std::fabs(decode_slp(s, r.alt, r.temp) - r.slpr) > 0.04) fail("sea-level pressure", site.id, hour);
    std::snprintf(buf, sizeof buf, "%3d", s);
    put(buf);
  }
  put(" ");
  put(r.vis == kMiss ? "-99" : r.vis_text.c_str());
  put(" ");
  // Clouds.
  if (r.sky_missing) put("-99M");
  else {
    for (std::size_t i = 0; i < r.clouds.size(); ++i) {
      if (i) put(",");
      const auto& [h, c] = r.clouds[i];
      if (h == -9999) put("-99");
      else { std::snprintf(buf, sizeof buf, "%1.0f", h / 100.0); put(buf); }
      if (r.okta) put(":");
      out += c;
    }
  }
  put(" ");
  put(r.wx.empty() ? "-" : r.wx.c_str());
  if (r.time != -9999) { std::snprintf(buf, sizeof buf, " @%4.4d", r.time); put(buf); }
  if (r.lat != kMiss) {
    std::snprintf(buf, sizeof buf, " L%1.0f,%1.0f", static_cast<double>(std::lround(r.lat * 10.0)),
                  static_cast<double>(std::lround(r.lon * 10.0)));
    put(buf);
  }
  if (r.ptype != -9999) {
    std::snprintf(buf, sizeof buf, " P%d%3.0f", r.ptype, static_cast<double>(std::lround(r.ptend * 10.0)));
    put(buf);
  }
  auto hund = [&](char letter, float v) {
    if (v == kMiss) return;
    std::snprintf(buf, sizeof buf, " %c%ld", letter, std::lround(v * 100.0));
    put(buf);
  };
  hund('Q', r.prec3);
  hund('r', r.prec6);
  hund('R', r.prec24);
  auto one = [&](char letter, float v) {
    if (v == kMiss) return;
    std::snprintf(buf, sizeof buf, " %c%2.1f", letter, static_cast<double>(v));
    put(buf);
  };
  one('X', r.maxt);
  one('N', r.mint);
  one('S', r.scover);
  if (!r.ctype.empty()) { put(" C"); put(r.ctype.c_str()); }
  if (r.wgust != kMiss) { std::snprintf(buf, sizeof buf, " G%3.0f", static_cast<double>(r.wgust)); put(buf); }
  if (r.solar != kMiss) { std::snprintf(buf, sizeof buf, " s%3.0f", static_cast<double>(r.solar)); put(buf); }
  one('t', r.sst);
  if (r.wave_per != kMiss) { std::snprintf(buf, sizeof buf, " p%2.0f", static_cast<double>(r.wave_per)); put(buf); }
  one('h', r.wave_hgt);
  if (!r.comment.empty()) { put(" #"); put(r.comment.c_str()); }
  put(" $\n");
  return out;
}

// ---------------------------------------------------------------- frontal positions
// The coded frontal-position bulletin of hour t: the pressure centres where the smooth
// sea-level field has its extremes, and the warm and cold fronts along the model's own
// front lines, as five-digit groups of whole degrees (latitude, longitude west).

std::string group(double lat, double lon) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02ld%03ld", std::lround(lat), std::lround(-lon));
  return buf;
}

struct Centre {
  double p, lat, lon;
};

// Extremes of the field on a quarter-degree grid over the sample's part of the world: the
// deepest minimum (the cyclone) and every maximum that is the highest point within four
// degrees (the anticyclones), highest first.
void centres(double t, Centre* low, std::vector<Centre>* highs) {
  constexpr double kLat0 = 15.0, kLat1 = 68.0, kLon0 = -150.0, kLon1 = -45.0, kStep = 0.25;
  const int ny = static_cast<int>((kLat1 - kLat0) / kStep) + 1, nx = static_cast<int>((kLon1 - kLon0) / kStep) + 1;
  std::vector<double> p(static_cast<std::size_t>(nx) * ny);
  auto at = [&](int i, int j) -> double& { return p[static_cast<std::size_t>(j) * nx + i]; };
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) at(i, j) = slp_field(t, kLat0 + kStep * j, kLon0 + kStep * i);
  *low = {1e9, 0, 0};
  highs->clear();
  const int w = static_cast<int>(4.0 / kStep);
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      const double v = at(i, j);
      if (v < low->p) *low = {v, kLat0 + kStep * j, kLon0 + kStep * i};
      if (i < w || j < w || i >= nx - w || j >= ny - w) continue;
      bool top = true;
      for (int dj = -w; dj <= w && top; ++dj)
        for (int di = -w; di <= w && top; ++di)
          if ((di != 0 || dj != 0) && at(i + di, j + dj) >= v) top = false;
      if (top) highs->push_back({v, kLat0 + kStep * j, kLon0 + kStep * i});
    }
  std::sort(highs->begin(), highs->end(), [](const Centre& a, const Centre& b) { return a.p > b.p; });
}

// Whole-degree points on a front: in every stretch of `spacing` km along it from the low
// out to `length` km, the lattice point closest to the front line.
std::vector<std::string> front_groups(const Synoptic& s, bool warm, double length, double spacing) {
  std::vector<std::string> out = {group(s.lat_low, s.lon_low)};
  const int stretches = static_cast<int>(length / spacing);
  std::vector<double> best(static_cast<std::size_t>(stretches) + 1, 1e9);
  std::vector<std::string> pick(best.size());
  for (int lat = static_cast<int>(s.lat_low) - 20; lat <= static_cast<int>(s.lat_low) + 20; ++lat)
    for (int lon = static_cast<int>(s.lon_low) - 30; lon <= static_cast<int>(s.lon_low) + 30; ++lon) {
      const FrontGeom g = fronts(s, lat, lon);
      const double along = warm ? g.aw : g.ac, across = std::fabs(warm ? g.dw : g.dc);
      const int k = static_cast<int>(std::floor((along - 0.5 * spacing) / spacing)) + 1;
      if (along < 0.5 * spacing || k > stretches) continue;
      if (across < best[static_cast<std::size_t>(k)]) {
        best[static_cast<std::size_t>(k)] = across;
        pick[static_cast<std::size_t>(k)] = group(lat, lon);
      }
    }
  for (std::size_t k = 1; k < pick.size(); ++k)
    if (!pick[k].empty() && pick[k] != out.back()) out.push_back(pick[k]);
  return out;
}

// A data line of words, wrapped at 80 characters; continuation lines begin with a group.
std::string wrapped(const std::vector<std::string>& words) {
  std::string out, line;
  for (const std::string& w : words) {
    if (!line.empty() && line.size() + 1 + w.size() > 80) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + w;
  }
  return out + line + "\n";
}

std::string section(double t) {
  Centre low;
  std::vector<Centre> highs;
  centres(t, &low, &highs);
  const Synoptic s = synoptic(t);
  std::vector<std::string> h = {"HIGHS"};
  for (const Centre& c : highs) {
    h.push_back(std::to_string(std::lround(c.p)));
    h.push_back(group(c.lat, c.lon));
  }
  std::string out = wrapped(h);
  out += wrapped({"LOWS", std::to_string(std::lround(low.p)), group(low.lat, low.lon)});
  std::vector<std::string> warm = {"WARM", "WK"}, cold = {"COLD", "MDT"};
  for (const std::string& g : front_groups(s, true, 1200.0, 250.0)) warm.push_back(g);
  for (const std::string& g : front_groups(s, false, 1500.0, 250.0)) cold.push_back(g);
  return out + wrapped(warm) + wrapped(cold);
}

// The analysis of hour `hour` of 14 March 2026 and forecasts for 12 and 24 hours later.
std::string bulletin(int hour) {
  static const char* const kDays[] = {"SAT", "SUN"};
  char buf[96];
  std::string out = "CODED SURFACE FRONTAL POSITIONS\nSYNTHETIC SAMPLE CYCLONE\n";
  std::snprintf(buf, sizeof buf, "%02d00Z SAT MAR 14 2026\n\nVALID 14%02d00Z\n", hour, hour);
  out += buf + section(hour);
  for (const int ahead : {12, 24}) {
    const int valid = hour + ahead;
    std::snprintf(buf, sizeof buf, "%dHR PROG VALID %02d%02d00Z %s\n", ahead, 14 + valid / 24, valid % 24, kDays[valid / 24]);
    out += buf + section(hour + ahead);
  }
  return out;
}

bool write_text(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "make_sample: cannot write %s\n", path.c_str());
  return ok;
}

std::string fmtf(float v, const char* fmt) {
  if (v == kMiss) return "-9999";
  char buf[32];
  std::snprintf(buf, sizeof buf, fmt, static_cast<double>(v));
  return buf;
}

std::string values_line(const char* file, const Site& site, const Report& r) {
  std::string s = std::string(file) + " " + site.id;
  auto kv = [&](const char* key, const std::string& v) { s += " "; s += key; s += "="; s += v; };
  auto iv = [](int v) { return std::to_string(v); };
  kv("temp", fmtf(r.temp, "%.1f"));
  kv("dewp", fmtf(r.dewp, "%.1f"));
  kv("wdir", r.wspd == -9999 ? "-9999" : iv(r.wdir));
  kv("wspd", iv(r.wspd));
  kv("alt", fmtf(r.alt, "%.2f"));
  kv("slpr", fmtf(r.slpr, "%.1f"));
  kv("vis", fmtf(r.vis, "%.2f"));
  std::string c;
  if (r.sky_missing) c = "none";
  for (std::size_t i = 0; i < r.clouds.size(); ++i) {
    if (i) c += ",";
    c += std::to_string(r.clouds[i].first) + ":" + r.clouds[i].second;
  }
  kv("cld", c);
  kv("wx", r.wx);
  kv("time", iv(r.time));
  kv("lat", fmtf(r.lat, "%.1f"));
  kv("lon", fmtf(r.lon, "%.1f"));
  kv("ptype", iv(r.ptype));
  kv("ptend", fmtf(r.ptend, "%.1f"));
  kv("prec3", fmtf(r.prec3, "%.2f"));
  kv("prec6", fmtf(r.prec6, "%.2f"));
  kv("prec24", fmtf(r.prec24, "%.2f"));
  kv("maxt", fmtf(r.maxt, "%.1f"));
  kv("mint", fmtf(r.mint, "%.1f"));
  kv("scover", fmtf(r.scover, "%.1f"));
  kv("ctype", r.ctype.empty() ? "-" : r.ctype);
  kv("wgust", fmtf(r.wgust, "%.0f"));
  kv("solar", fmtf(r.solar, "%.0f"));
  kv("sst", fmtf(r.sst, "%.1f"));
  kv("wave_per", fmtf(r.wave_per, "%.0f"));
  kv("wave_hgt", fmtf(r.wave_hgt, "%.1f"));
  kv("zgen", iv(static_cast<int>(r.zgen)));
  kv("comment", r.comment);
  s += "\n";
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && std::strcmp(argv[3], "--values") != 0)) {
    std::fprintf(stderr, "usage: make_sample <sao.cty> <outdir> [--values]\n");
    return 2;
  }
  std::vector<Site> all;
  if (!read_stations(argv[1], &all)) {
    std::fprintf(stderr, "make_sample: cannot read station database %s\n", argv[1]);
    return 1;
  }
  std::vector<Site> sites = select_land(all);
  for (const Site& m : marine_sites()) {
    for (const Site& s : all)
      if (s.id == m.id) {
        std::fprintf(stderr, "make_sample: ship id %s is in the station database\n", m.id.c_str());
        return 1;
      }
    sites.push_back(m);
  }
  const std::string dir = argv[2];
  FILE* vals = nullptr;
  if (argc == 4) {
    const std::string vp = dir + "/values.txt";
    vals = std::fopen(vp.c_str(), "w");
    if (!vals) {
      std::fprintf(stderr, "make_sample: cannot write %s\n", vp.c_str());
      return 1;
    }
  }
  long reports = 0;
  for (int hour = 0; hour < kHours; ++hour) {
    char name[32], label[32];
    std::snprintf(name, sizeof name, "20260314%02d.sfc", hour);
    std::snprintf(label, sizeof label, "%02dZ 14 MAR 26\n", hour);
    const std::string path = dir + "/" + name;
    std::string text = std::string("ZAVSFC\n") + label;
    for (const Site& s : sites) {
      const Report r = make_report(s, hour);
      if (!r.present) continue;
      text += encode(s, r, hour);
      if (vals) std::fputs(values_line(name, s, r).c_str(), vals);
      ++reports;
    }
    char frt[32];
    std::snprintf(frt, sizeof frt, "20260314%02d.frt", hour);
    if (!write_text(path, text) || !write_text(dir + "/" + frt, bulletin(hour))) {
      if (vals) std::fclose(vals);
      return 1;
    }
  }
  if (vals && std::fclose(vals) != 0) {
    std::fprintf(stderr, "make_sample: cannot write %s/values.txt\n", dir.c_str());
    return 1;
  }
  std::printf("make_sample: %zu stations, %ld reports in %d files, %d bulletins\n", sites.size(), reports, kHours, kHours);
  return 0;
}
