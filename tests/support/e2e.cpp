#include "tests/support/e2e.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

std::vector<std::string> sample_args(const std::string& hour, const std::string& domain,
                                     const std::vector<std::string>& more) {
  std::vector<std::string> a = {"-ba", "-fp", kData, "-if", "sfc_sample", "-cu", "#" + hour, "-pd", domain};
  a.insert(a.end(), more.begin(), more.end());
  return a;
}

std::vector<std::string> sample_args(const std::string& variable, const std::vector<std::string>& extra,
                                     const std::string& hour, const std::string& domain) {
  std::vector<std::string> more = {"-va", variable};
  more.insert(more.end(), extra.begin(), extra.end());
  return sample_args(hour.substr(hour.rfind('#', 0) == 0 ? 1 : 0), domain, more);
}

std::string data_file(const std::string& name) {
  return read_file(std::string(STACONT_SOURCE_DIR) + "/tests/data/driver/" + name);
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

float TextGrid::bilinear(float c, float r) const {
  const int i = std::clamp(static_cast<int>(c), 0, nx - 2), j = std::clamp(static_cast<int>(r), 0, ny - 2);
  const float fx = c - i, fy = r - j;
  return (1 - fy) * ((1 - fx) * at(i, j) + fx * at(i + 1, j)) + fy * ((1 - fx) * at(i, j + 1) + fx * at(i + 1, j + 1));
}

TextGrid read_text_grid(const std::string& path) {
  TextGrid g;
  std::istringstream in(read_file(path));
  std::string line, proj;
  for (int i = 0; i < 4; ++i) std::getline(in, line);
  float lat = 0, lon = 0, dx = 0, dy = 0;
  in >> proj >> lat >> lon >> dx >> dy >> g.nx >> g.ny;
  if (!in || g.nx < 2 || g.ny < 2 || g.nx * g.ny > 1000000) return TextGrid{};
  g.v.resize(static_cast<std::size_t>(g.nx) * g.ny);
  for (float& x : g.v) in >> x;
  if (!in) return TextGrid{};
  return g;
}

namespace {

constexpr int kTolerance = 40;  // per channel: what two renderers round apart

const unsigned char* px(const Picture& p, int x, int y) {
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return nullptr;
  return &p.rgb[3 * (static_cast<std::size_t>(y) * p.width + x)];
}

bool near(const unsigned char* a, const unsigned char* b) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > kTolerance) return false;
  return true;
}

// Whether c is a mix of a and b with at least `least` of a: within the tolerance of a
// point of the segment from b to a.
bool blend(const unsigned char* c, const unsigned char* a, const unsigned char* b, double least) {
  double num = 0, den = 0;
  for (int i = 0; i < 3; ++i) num += (c[i] - b[i]) * (a[i] - b[i]), den += (a[i] - b[i]) * (a[i] - b[i]);
  if (den == 0) return false;
  const double t = std::clamp(num / den, 0.0, 1.0);
  if (t < least) return false;
  for (int i = 0; i < 3; ++i)
    if (std::fabs(b[i] + t * (a[i] - b[i]) - c[i]) > kTolerance) return false;
  return true;
}

bool white(const unsigned char* c) { return c[0] == 255 && c[1] == 255 && c[2] == 255; }

}  // namespace

// A pixel of b matches when a has its colour within one pixel, or a blend of it (at least a
// fifth of it) with a colour beside it in b.
Match compare_pictures(const Picture& a, const Picture& b, int dx, int dy, bool blends, const Area& area) {
  long total = 0, matched = 0, ink = 0, ink_matched = 0;
  const unsigned char* nb[9];
  for (int y = std::max(area.y0, 0); y < a.height && y <= area.y1; ++y)
    for (int x = std::max(area.x0, 0); x < a.width && x <= area.x1; ++x) {
      const unsigned char* c = px(a, x, y);
      const unsigned char* own = px(b, x + dx, y + dy);
      if (own == nullptr) continue;
      int n = 0;
      for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i)
          if (const unsigned char* p = px(b, x + dx + i, y + dy + j)) nb[n++] = p;
      bool a_ok = false, b_ok = false;
      for (int k = 0; k < n && !a_ok; ++k) a_ok = near(c, nb[k]);
      for (int j = -1; j <= 1 && !b_ok; ++j)
        for (int i = -1; i <= 1 && !b_ok; ++i)
          if (const unsigned char* q = px(a, x + i, y + j)) b_ok = near(own, q);
      if (blends) {
        for (int k = 0; k < n && !a_ok; ++k)
          for (int l = k + 1; l < n && !a_ok; ++l) a_ok = blend(c, nb[k], nb[l], 0.0);
        for (int j = -1; j <= 1 && !b_ok; ++j)
          for (int i = -1; i <= 1 && !b_ok; ++i)
            if (const unsigned char* q = px(a, x + i, y + j))
              for (int k = 0; k < n && !b_ok; ++k) b_ok = blend(q, own, nb[k], 0.2);
      }
      total += 2;
      matched += a_ok + b_ok;
      if (!white(c) || !white(own)) ink += 2, ink_matched += a_ok + b_ok;
    }
  return Match{total > 0 ? static_cast<double>(matched) / total : 0, ink > 0 ? static_cast<double>(ink_matched) / ink : 0};
}

Match best_match(const Picture& a, const Picture& b, bool blends, bool by_ink, const Area& area) {
  Match best{-1, -1};
  int bx = 0, by = 0;
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) {
      const Match m = compare_pictures(a, b, dx, dy, false, area);
      if (by_ink ? m.ink > best.ink : m.all > best.all) best = m, bx = dx, by = dy;
    }
  return blends ? compare_pictures(a, b, bx, by, true, area) : best;
}

Picture upright(const Picture& page, int w, int h) {
  Picture p;
  p.width = w, p.height = h;
  p.rgb.assign(3 * static_cast<std::size_t>(w) * h, 255);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (const unsigned char* s = px(page, y + 19, 774 - x))
        std::copy(s, s + 3, &p.rgb[3 * (static_cast<std::size_t>(y) * w + x)]);
  return p;
}
