// Converts the public-domain Hershey glyphs (the ".jhf" files of Debian's hershey-fonts-data
// package) into the program's stroke fonts and writes the font list.
//
//   make_fonts <hershey directory> <output directory>
//
// Each font of the table below becomes "<name>.fnt"; "zav.fnl" lists them in that order,
// so font 1 is the simplex sans. Hershey coordinates grow downwards in whole units; the
// capital height of the font (measured on "A") becomes 105 font units above a baseline at
// 35, and x is scaled alike. Glyphs wider than the 125 units a stroke font can hold are
// narrowed; a font larger than the glyph store is simplified (points that stray less than
// a tolerance from a straight stroke are dropped) until it fits. Deterministic: the same
// input gives the same files.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Source {
  const char* name;  // font name in the list, file "<name>.fnt"
  const char* file;  // Hershey file
  const char* what;
};

const Source sources[] = {
    {"modern", "futural.jhf", "simplex sans serif"},
    {"duplex", "rowmand.jhf", "duplex roman"},
    {"triplex", "rowmant.jhf", "triplex roman (serif)"},
    {"complex", "timesr.jhf", "complex roman (serif)"},
    {"italic", "timesi.jhf", "complex italic"},
    {"greek", "greeks.jhf", "simplex greek"},
    {"symbol", "symbolic.jhf", "symbols"},
    {"meteo", "meteorology.jhf", "meteorological symbols"},
    {"script", "scripts.jhf", "simplex script"},
};

constexpr std::size_t store_size = 15000;
constexpr int max_x = 125;
constexpr double cap_units = 105.0;
constexpr int baseline = 35;

struct Pt {
  int x, y;
};
// A glyph: its strokes (pen-down runs) in Hershey units, and its bounds.
struct Glyph {
  std::vector<std::vector<Pt>> strokes;
  int left = 0, right = 0;
};

std::vector<Glyph> read_jhf(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::cerr << "make_fonts: cannot read " << path << "\n";
    std::exit(1);
  }
  std::vector<Glyph> glyphs;
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 8) continue;
    const int count = std::atoi(line.substr(5, 3).c_str());
    // A long glyph continues on the next lines.
    while (static_cast<int>(line.size()) < 8 + 2 * count) {
      std::string more;
      if (!std::getline(in, more)) break;
      line += more;
    }
    if (count < 1 || static_cast<int>(line.size()) < 8 + 2 * count) {
      std::cerr << "make_fonts: " << path << ": bad glyph line\n";
      std::exit(1);
    }
    Glyph g;
    g.left = line[8] - 'R';
    g.right = line[9] - 'R';
    std::vector<Pt> cur;
    for (int i = 1; i < count; ++i) {
      const char a = line[8 + 2 * i], b = line[9 + 2 * i];
      if (a == ' ' && b == 'R') {
        if (cur.size() > 1) g.strokes.push_back(cur);
        cur.clear();
        continue;
      }
      cur.push_back({a - 'R', b - 'R'});
    }
    if (cur.size() > 1) g.strokes.push_back(cur);
    glyphs.push_back(g);
  }
  return glyphs;
}

double seg_dist(const Pt& p, const Pt& a, const Pt& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
  double t = l2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Douglas-Peucker on font-unit points.
void simplify(const std::vector<Pt>& in, std::size_t a, std::size_t b, double tol, std::vector<bool>& keep) {
  if (b <= a + 1) return;
  double worst = -1;
  std::size_t k = a;
  for (std::size_t i = a + 1; i < b; ++i) {
    const double d = seg_dist(in[i], in[a], in[b]);
    if (d > worst) worst = d, k = i;
  }
  if (worst > tol) {
    keep[k] = true;
    simplify(in, a, k, tol, keep);
    simplify(in, k, b, tol, keep);
  }
}

struct Converted {
  std::vector<std::vector<int>> codes;  // per glyph, codes without the closing 255
  int narrowed = 0;
  int clipped = 0;
};

Converted convert(const std::vector<Glyph>& glyphs, double tol) {
  // Scale and baseline from "A" (code 65 is the 34th glyph), else the simplex metrics.
  int base = 9, cap_top = -12;
  if (glyphs.size() > 33 && !glyphs[33].strokes.empty()) {
    int lo = 1000, hi = -1000;
    for (const auto& s : glyphs[33].strokes)
      for (const Pt& p : s) lo = std::min(lo, p.y), hi = std::max(hi, p.y);
    if (hi - lo >= 10) base = hi, cap_top = lo;
  }
  const double scale = cap_units / (base - cap_top);
  Converted out;
  for (const Glyph& g : glyphs) {
    std::vector<int> codes;
    if (g.strokes.empty()) {
      out.codes.push_back(codes);
      continue;
    }
    int x0 = 1000, x1 = -1000;
    for (const auto& s : g.strokes)
      for (const Pt& p : s) x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
    double sx = scale;
    if ((x1 - x0) * sx > max_x) {
      sx = static_cast<double>(max_x) / (x1 - x0);
      ++out.narrowed;
    }
    for (const auto& s : g.strokes) {
      std::vector<Pt> f;
      for (const Pt& p : s) {
        int x = static_cast<int>(std::lround((p.x - x0) * sx));
        int y = static_cast<int>(std::lround(baseline + (base - p.y) * scale));
        if (y < 0 || y > 253) ++out.clipped;
        // 254 ends the codes of a font file, so no y may take it.
        f.push_back({std::clamp(x, 0, max_x), std::clamp(y, 0, 253)});
      }
      std::vector<bool> keep(f.size(), tol <= 0);
      keep.front() = keep.back() = true;
      if (tol > 0) simplify(f, 0, f.size() - 1, tol, keep);
      bool first = true;
      for (std::size_t i = 0; i < f.size(); ++i) {
        if (!keep[i]) continue;
        codes.push_back(first ? f[i].x + 128 : f[i].x);
        codes.push_back(f[i].y);
        first = false;
      }
    }
    out.codes.push_back(codes);
  }
  return out;
}

std::size_t bytes(const Converted& c) {
  std::size_t n = 0;
  for (const auto& g : c.codes)
    if (!g.empty()) n += g.size() + 1;
  return n + 1;  // the closing 255 the reader adds
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_fonts <hershey directory> <output directory>\n";
    return 2;
  }
  const std::string src = argv[1], dst = argv[2];
  std::ostringstream list;
  list << "# Stroke fonts converted from the Hershey glyphs by tools/make_fonts.cpp.\n"
       << "# The Hershey Fonts were originally created by Dr. A. V. Hershey while working at the\n"
       << "# U. S. National Bureau of Standards. The format of the Font data they were converted\n"
       << "# from was originally created by James Hurt, Cognition, Inc. (see README.md).\n"
       << "# One font a line: name and file; font 1 is the default.\n";
  for (const Source& s : sources) {
    const std::vector<Glyph> glyphs = read_jhf(src + "/" + s.file);
    double tol = 0;
    Converted c = convert(glyphs, tol);
    while (bytes(c) > store_size) {
      tol += 0.25;
      c = convert(glyphs, tol);
    }
    std::ostringstream f;
    f << "1 " << s.name << "\n";
    std::vector<int> start(256, -1);
    std::size_t pos = 0;
    for (std::size_t k = 0; k < c.codes.size() && k + 32 < 256; ++k) {
      const auto& g = c.codes[k];
      if (g.empty()) continue;
      const int code = static_cast<int>(k) + 32;
      start[static_cast<std::size_t>(code)] = static_cast<int>(pos);
      for (std::size_t i = 0; i < g.size(); ++i) f << g[i] << ((i + 1) % 32 == 0 ? "\n" : " ");
      f << "255 c" << code << "\n";
      pos += g.size() + 1;
    }
    f << "254\n";
    for (int code = 0; code < 256; ++code) f << start[static_cast<std::size_t>(code)] << ((code + 1) % 16 == 0 ? "\n" : " ");
    const std::string path = dst + "/" + s.name + ".fnt";
    std::ofstream o(path);
    o << f.str();
    if (!o) {
      std::cerr << "make_fonts: cannot write " << path << "\n";
      return 1;
    }
    list << s.name << " " << s.name << ".fnt\n";
    std::cout << s.name << ".fnt: " << s.what << " from " << s.file << ", " << bytes(c) << " bytes of vertex codes"
              << (tol > 0 ? ", simplified with a tolerance of " + std::to_string(tol) + " units" : "")
              << (c.narrowed > 0 ? ", " + std::to_string(c.narrowed) + " glyphs narrowed" : "")
              << (c.clipped > 0 ? ", " + std::to_string(c.clipped) + " points clipped to the cell" : "") << "\n";
  }
  std::ofstream l(dst + "/zav.fnl");
  l << list.str();
  return l ? 0 : 1;
}
