// Writes the weather-symbol file data/wx.smb: the present-weather symbols of the station
// model for the letter codes the surface reports reduce to, and the tropical storm and
// hurricane symbols, composed from a few shapes (dots, commas, stars, the shower triangle,
// the thunderstorm hook) in the unit box.
//
//   make_wx_smb <out file>
//
// The drawings follow the conventional WMO present-weather symbols (code table 4677).
// The first symbol whose name is a prefix of a code is drawn, so longer names come before
// the names they begin with ("TRW+" before "TRW" before "T", "SG" and "SW" before "S").

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Pt {
  double x, y;
};

struct Stroke {
  std::vector<Pt> pts;
  bool fill;
};

using Drawing = std::vector<Stroke>;

void add(Drawing* d, const Drawing& more) { d->insert(d->end(), more.begin(), more.end()); }

Drawing line(std::vector<Pt> pts) { return {{std::move(pts), false}}; }

Pt on_circle(double cx, double cy, double r, double degrees) {
  return {cx + r * std::cos(degrees * kPi / 180.0), cy + r * std::sin(degrees * kPi / 180.0)};
}

std::vector<Pt> arc(double cx, double cy, double r, double from, double to, int steps) {
  std::vector<Pt> p;
  for (int k = 0; k <= steps; ++k) p.push_back(on_circle(cx, cy, r, from + (to - from) * k / steps));
  return p;
}

// A filled dot: raindrop of the rain symbols.
Drawing dot(double cx, double cy, double r = 0.065) {
  std::vector<Pt> p = arc(cx, cy, r, 0.0, 360.0, 10);
  p.pop_back();
  return {{p, true}};
}

// A comma: a dot with its tail down to the left, the drizzle drop.
Drawing comma(double cx, double cy, double r = 0.06) {
  Drawing d = dot(cx, cy, r);
  add(&d, line({{cx + r, cy}, {cx + 0.7 * r, cy - 1.6 * r}, {cx - 0.2 * r, cy - 2.6 * r}, {cx - 0.9 * r, cy - 3.0 * r}}));
  return d;
}

// The six-armed star of snow.
Drawing star(double cx, double cy, double r = 0.09) {
  Drawing d;
  for (const double a : {90.0, 30.0, 150.0}) add(&d, line({on_circle(cx, cy, r, a), on_circle(cx, cy, r, a + 180.0)}));
  return d;
}

// The shower triangle, point down, between y0 and y1; with bars across it for the
// heavier showers.
Drawing shower(double y0, double y1, int bars = 0) {
  const double half = 0.62 * (y1 - y0);
  Drawing d = line({{0.5 - half, y1}, {0.5 + half, y1}, {0.5, y0}, {0.5 - half, y1}});
  for (int b = 1; b <= bars; ++b) {
    const double y = y1 - (y1 - y0) * b / (bars + 1.5);
    const double w = half * (y - y0) / (y1 - y0);
    add(&d, line({{0.5 - w, y}, {0.5 + w, y}}));
  }
  return d;
}

// A triangle point up: hail (filled), ice pellets and snow pellets (open).
Drawing up_triangle(double cx, double y0, double h, bool filled) {
  const double half = 0.58 * h;
  if (filled) return {{{{cx - half, y0}, {cx + half, y0}, {cx, y0 + h}}, true}};
  return line({{cx - half, y0}, {cx + half, y0}, {cx, y0 + h}, {cx - half, y0}});
}

// The thunderstorm: an upright with a roof, and the lightning stroke from the roof's end
// down to an arrowhead; scaled into the box x 0.15..0.85, y 0..top.
Drawing thunder(double top) {
  auto p = [&](double x, double y) { return Pt{x, y * top}; };
  Drawing d = line({p(0.25, 0.0), p(0.25, 1.0), p(0.78, 1.0), p(0.52, 0.55), p(0.76, 0.55), p(0.5, 0.04)});
  add(&d, {{{p(0.5, 0.04), p(0.64, 0.2), p(0.53, 0.24)}, true}});
  return d;
}

// The sideways S of freezing precipitation, around two lobes that hold the drops.
Drawing freezing() {
  std::vector<Pt> p = arc(0.3, 0.5, 0.2, 180.0, 0.0, 8);
  const std::vector<Pt> right = arc(0.7, 0.5, 0.2, 180.0, 360.0, 8);
  p.insert(p.end(), right.begin() + 1, right.end());
  return line(p);
}

// Horizontal arrow from x0 to x1 at y, head at the right end (and the left one too for
// the double-headed arrow of ice crystals).
Drawing arrow(double x0, double x1, double y, bool both = false) {
  Drawing d = line({{x0, y}, {x1, y}});
  add(&d, line({{x1 - 0.14, y + 0.09}, {x1, y}, {x1 - 0.14, y - 0.09}}));
  if (both) add(&d, line({{x0 + 0.14, y + 0.09}, {x0, y}, {x0 + 0.14, y - 0.09}}));
  return d;
}

// The letter-like S of dust and sand, between y0 and y1.
Drawing dust_s(double y0, double y1) {
  const double r = (y1 - y0) / 4.0;
  std::vector<Pt> p = arc(0.5, y1 - r, r, 20.0, 270.0, 7);
  const std::vector<Pt> low = arc(0.5, y0 + r, r, 90.0, -160.0, 7);
  p.insert(p.end(), low.begin() + 1, low.end());
  return line(p);
}

// Tropical cyclone: the eye with two arms, the upper leaving the left side and curving up
// to the right, the lower leaving the right side and curving down to the left, as the
// bands of a northern-hemisphere storm wind outward.
Drawing cyclone(bool filled) {
  Drawing d;
  std::vector<Pt> eye = arc(0.5, 0.5, 0.17, 0.0, 360.0, 12);
  if (filled) {
    std::vector<Pt> f = eye;
    f.pop_back();
    d.push_back({f, true});
  }
  d.push_back({eye, false});
  add(&d, line(arc(0.67, 0.5, 0.34, 180.0, 90.0, 6)));
  add(&d, line(arc(0.33, 0.5, 0.34, 0.0, -90.0, 6)));
  return d;
}

// Dots, commas or stars of continuous precipitation: 2 side by side (slight), 3 in a
// triangle (moderate), 4 in a diamond (heavy).
template <class F>
Drawing pattern(int n, F mark) {
  Drawing d;
  if (n == 2) add(&d, mark(0.3, 0.5)), add(&d, mark(0.7, 0.5));
  if (n == 3) add(&d, mark(0.3, 0.32)), add(&d, mark(0.7, 0.32)), add(&d, mark(0.5, 0.68));
  if (n == 4) add(&d, mark(0.5, 0.82)), add(&d, mark(0.22, 0.5)), add(&d, mark(0.78, 0.5)), add(&d, mark(0.5, 0.18));
  return d;
}

Drawing dots(int n) { return pattern(n, [](double x, double y) { return dot(x, y); }); }
Drawing commas(int n) { return pattern(n, [](double x, double y) { return comma(x, y + 0.06); }); }
Drawing stars(int n) { return pattern(n, [](double x, double y) { return star(x, y); }); }

Drawing join(std::initializer_list<Drawing> parts) {
  Drawing d;
  for (const Drawing& p : parts) add(&d, p);
  return d;
}

struct Entry {
  const char* name;
  const char* what;
  Drawing drawing;
};

std::vector<Entry> entries() {
  const Drawing thunder_low = thunder(0.66);
  return {
      {"@+", "hurricane", cyclone(true)},
      {"@", "tropical storm", cyclone(false)},
      {"TRW+A", "heavy thunderstorm with hail (ww 99)", join({thunder_low, up_triangle(0.5, 0.76, 0.2, true)})},
      {"TRWD", "thunderstorm with dust or sand (ww 98)", join({thunder_low, dust_s(0.72, 1.0)})},
      {"TRW+", "heavy thunderstorm with rain (ww 97)", join({thunder_low, dot(0.5, 0.94, 0.05), dot(0.36, 0.8, 0.05), dot(0.64, 0.8, 0.05)})},
      {"TR+", "heavy thunderstorm with rain (ww 97)", join({thunder_low, dot(0.5, 0.94, 0.05), dot(0.36, 0.8, 0.05), dot(0.64, 0.8, 0.05)})},
      {"TS", "thunderstorm with snow (ww 95)", join({thunder_low, star(0.5, 0.86)})},
      {"TRW", "thunderstorm with rain (ww 95)", join({thunder_low, dot(0.5, 0.86)})},
      {"TR", "thunderstorm with rain (ww 95)", join({thunder_low, dot(0.5, 0.86)})},
      {"T", "thunderstorm (ww 17)", thunder(1.0)},
      {"ZR-", "slight freezing rain (ww 66)", join({freezing(), dot(0.3, 0.46)})},
      {"ZR", "freezing rain (ww 67)", join({freezing(), dot(0.3, 0.46), dot(0.7, 0.54)})},
      {"ZL-", "slight freezing drizzle (ww 56)", join({freezing(), comma(0.3, 0.52, 0.05)})},
      {"ZL", "freezing drizzle (ww 57)", join({freezing(), comma(0.3, 0.52, 0.05), comma(0.7, 0.62, 0.05)})},
      {"RW-SW-", "slight showers of rain and snow (ww 83)", join({shower(0.0, 0.45), star(0.5, 0.62, 0.08), dot(0.5, 0.88)})},
      {"RWSW", "showers of rain and snow (ww 84)", join({shower(0.0, 0.45, 1), star(0.5, 0.62, 0.08), dot(0.5, 0.88)})},
      {"RW-", "slight rain showers (ww 80)", join({shower(0.0, 0.6), dot(0.5, 0.8)})},
      {"RW+", "violent rain showers (ww 82)", join({shower(0.0, 0.6, 2), dot(0.5, 0.8)})},
      {"RW", "rain showers (ww 81)", join({shower(0.0, 0.6, 1), dot(0.5, 0.8)})},
      {"SW-", "slight snow showers (ww 85)", join({shower(0.0, 0.6), star(0.5, 0.83)})},
      {"SW", "snow showers (ww 86)", join({shower(0.0, 0.6, 1), star(0.5, 0.83)})},
      {"R-L", "slight rain and drizzle", join({dot(0.5, 0.72), comma(0.5, 0.36)})},
      {"RL", "rain and drizzle", join({dot(0.5, 0.86), comma(0.5, 0.56, 0.055), dot(0.5, 0.14)})},
      {"R-", "slight rain (ww 61)", dots(2)},
      {"R+", "heavy rain (ww 65)", dots(4)},
      {"R", "rain (ww 63)", dots(3)},
      {"L-R", "slight drizzle and rain (ww 58)", join({comma(0.5, 0.78), dot(0.5, 0.28)})},
      {"LR", "drizzle and rain (ww 59)", join({comma(0.5, 0.88, 0.055), dot(0.5, 0.5), comma(0.5, 0.22, 0.055)})},
      {"L-", "slight drizzle (ww 51)", commas(2)},
      {"L+", "heavy drizzle (ww 55)", commas(4)},
      {"L", "drizzle (ww 53)", commas(3)},
      {"SG", "snow grains (ww 77)", join({up_triangle(0.5, 0.25, 0.5, false), line({{0.08, 0.5}, {0.92, 0.5}})})},
      {"S-", "slight snow (ww 71)", stars(2)},
      {"S+", "heavy snow (ww 75)", stars(4)},
      {"S", "snow (ww 73)", stars(3)},
      {"IPW", "showers of snow pellets or small hail (ww 87)", join({shower(0.0, 0.55), up_triangle(0.5, 0.66, 0.3, false)})},
      {"IP", "ice pellets (ww 79)", join({up_triangle(0.5, 0.15, 0.7, false), dot(0.5, 0.37, 0.06)})},
      {"IC", "ice crystals, diamond dust (ww 76)", arrow(0.08, 0.92, 0.5, true)},
      {"A", "hail (ww 90)", join({shower(0.0, 0.55), up_triangle(0.5, 0.66, 0.3, true)})},
      {"BS", "blowing snow (ww 38)", join({arrow(0.08, 0.92, 0.3), star(0.5, 0.7, 0.12)})},
      {"F", "fog (ww 45)", join({line({{0.1, 0.25}, {0.9, 0.25}}), line({{0.1, 0.5}, {0.9, 0.5}}), line({{0.1, 0.75}, {0.9, 0.75}})})},
      {"H", "haze (ww 05)", join({line(arc(0.3, 0.5, 0.2, 0.0, 360.0, 16)), line(arc(0.7, 0.5, 0.2, 180.0, -180.0, 16))})},
      {"K", "smoke (ww 04)",
       join({line({{0.3, 0.05}, {0.3, 0.72}}), line({{0.3, 0.72}, {0.4, 0.86}, {0.5, 0.9}, {0.6, 0.82}, {0.7, 0.74}, {0.8, 0.78}, {0.9, 0.9}})})},
      {"D", "dust or sand (ww 06)", dust_s(0.05, 0.95)},
      {"BR", "mist (ww 10)", join({line({{0.1, 0.38}, {0.9, 0.38}}), line({{0.1, 0.62}, {0.9, 0.62}})})},
  };
}

std::string num(double v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.3f", v < 1e-9 && v > -1e-9 ? 0.0 : v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_wx_smb <out file>\n");
    return 2;
  }
  std::string text =
      "# Weather symbols of the station plots, tropical storms and hurricanes.\n"
      "# Written by tools/make_wx_smb; see data/README.md.\n"
      "# Each entry: a name, strokes of up to 20 points \"x,y\" (unit box, origin lower left)\n"
      "# each ended by a word (F fills, L draws a line), and '$'. The first entry whose name\n"
      "# begins a weather code is drawn, so longer names stand before shorter ones.\n";
  const std::vector<Entry> list = entries();
  for (const Entry& e : list) {
    text += "# " + std::string(e.what) + "\n" + e.name + "\n";
    for (const Stroke& s : e.drawing) {
      if (s.pts.size() > 20) {
        std::fprintf(stderr, "make_wx_smb: stroke of %s has %zu points\n", e.name, s.pts.size());
        return 1;
      }
      std::string l = " ";
      for (const Pt& p : s.pts) {
        if (p.x < 0.0 || p.x > 1.0 || p.y < 0.0 || p.y > 1.0) {
          std::fprintf(stderr, "make_wx_smb: point of %s outside the box: %g %g\n", e.name, p.x, p.y);
          return 1;
        }
        l += " " + num(p.x) + "," + num(p.y);
      }
      text += l + (s.fill ? " F\n" : " L\n");
    }
    text += "$\n";
  }
  std::FILE* f = std::fopen(argv[1], "wb");
  bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "make_wx_smb: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("make_wx_smb: %zu symbols\n", list.size());
  return 0;
}
