// The feature device: primitives drawn while the plot layers name a feature become GIS
// features in the map's CRS, written through the hooks of the layer that knows the map.
#include "graphics/gks_ogr.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/mess.h"
#include "config/system.h"

namespace {

// A contour line reaches the device one cell's piece at a time; pieces of one level that
// meet end to end are joined into one line when the page ends, so that a file holds lines
// rather than millions of two-point pieces. The points stay those drawn.
struct Piece {
  float level = 0.0F;
  std::vector<float> world;
};

// Band pieces come a cell (or a run of whole cells) at a time along a row. A piece that
// shares a whole edge with the open polygon of its band, and touches it nowhere else, is
// spliced into it at that edge: the union of the pieces drawn, with the same points, in
// far fewer features. The open polygons end at each row (gfeature_break) and when they
// grow past kMaxOpen points, so a polygon never closes round a hole.
constexpr std::size_t kMaxOpen = 64;
struct OpenBand {
  double lo = 0.0, hi = 0.0;
  int color = 0;
  std::vector<float> ring;
};

struct Ogr {
  bool open = false;
  std::string path;
  GksFeatureHooks hooks;
  // The feature named now.
  int kind = GFEAT_NONE;
  double a = 0.0, b = 0.0;
  std::string text;
  // Colours of the table (0xRRGGBB, the background in the last slot) and the fill colour.
  std::array<int, GKS_BACKGROUND_SLOT + 1> colors{};
  int fill_color = 1;
  int frame = 1;
  std::string time;
  bool drawn = false;
  bool unplaced = false;
  std::vector<GksFeature> features;
  std::vector<Piece> pieces;
  std::vector<OpenBand> bands;
  long last_count = 0;
};
Ogr st;

int rgb_of(const float* v) {
  auto byte = [](float f) {
    const float c = f < 0.0F ? 0.0F : (f > 1.0F ? 1.0F : f);
    return static_cast<int>(c * 255.0F + 0.5F);
  };
  return byte(v[0]) << 16 | byte(v[1]) << 8 | byte(v[2]);
}

bool place(int n, const float* world, std::vector<double>* out) {
  out->assign(static_cast<std::size_t>(2 * n), 0.0);
  if (st.hooks.place == nullptr || st.hooks.place(n, world, out->data()) != 0) {
    st.unplaced = true;
    return false;
  }
  return true;
}

// A feature of the kind with what is being drawn now: frame, levels or values, text, time.
GksFeature current(int kind) {
  GksFeature f;
  f.kind = kind;
  f.frame = st.frame;
  f.a = st.a;
  f.b = st.b;
  f.text = st.text;
  f.time = st.time;
  return f;
}

void add(int kind, int n, const float* world) {
  GksFeature f = current(kind);
  if (kind == GFEAT_BAND) {
    const int c = st.fill_color;
    f.color = (c >= GKS_BACKGROUND && c < GKS_BACKGROUND_SLOT) ? st.colors[c < 0 ? GKS_BACKGROUND_SLOT : c] : 0;
  }
  if (!place(n, world, &f.xy)) return;
  st.features.push_back(std::move(f));
  st.drawn = true;
}

std::uint64_t key(const float* p) {
  std::uint32_t x = 0, y = 0;
  // -0 and 0 are one point.
  const float px = p[0] == 0.0F ? 0.0F : p[0], py = p[1] == 0.0F ? 0.0F : p[1];
  std::memcpy(&x, &px, sizeof x);
  std::memcpy(&y, &py, sizeof y);
  return static_cast<std::uint64_t>(x) << 32 | y;
}

// Joins the pieces of one level end to end (a piece may be walked backwards) and adds the
// lines.
void join_level(const std::vector<const Piece*>& group, float level) {
  const std::size_t n = group.size();
  std::unordered_multimap<std::uint64_t, std::size_t> ends;
  ends.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<float>& w = group[i]->world;
    ends.emplace(key(w.data()), i);
    ends.emplace(key(w.data() + w.size() - 2), i);
  }
  std::vector<char> used(n, 0);
  // The unused piece other than `self` with an end at p, and whether it starts there.
  auto next = [&](const float* p, std::size_t self, bool* at_start) -> long {
    auto range = ends.equal_range(key(p));
    for (auto it = range.first; it != range.second; ++it) {
      const std::size_t j = it->second;
      if (j == self || used[j]) continue;
      const std::vector<float>& w = group[j]->world;
      *at_start = key(w.data()) == key(p);
      return static_cast<long>(j);
    }
    return -1;
  };
  std::vector<float> line;
  for (std::size_t i = 0; i < n; ++i) {
    if (used[i]) continue;
    used[i] = 1;
    line = group[i]->world;
    // Forwards from the end, then backwards from the start.
    for (int side = 0; side < 2; ++side) {
      for (;;) {
        bool at_start = false;
        const long j = next(line.data() + line.size() - 2, i, &at_start);
        if (j < 0) break;
        used[static_cast<std::size_t>(j)] = 1;
        const std::vector<float>& w = group[static_cast<std::size_t>(j)]->world;
        const std::size_t m = w.size() / 2;
        for (std::size_t k = 1; k < m; ++k) {
          const std::size_t q = at_start ? k : m - 1 - k;
          line.push_back(w[2 * q]);
          line.push_back(w[2 * q + 1]);
        }
      }
      // Reverse, so the other end is walked from.
      const std::size_t m = line.size() / 2;
      for (std::size_t k = 0; k < m / 2; ++k) {
        std::swap(line[2 * k], line[2 * (m - 1 - k)]);
        std::swap(line[2 * k + 1], line[2 * (m - 1 - k) + 1]);
      }
    }
    st.a = level;
    st.text.clear();
    add(GFEAT_CONTOUR, static_cast<int>(line.size() / 2), line.data());
  }
}

bool same_point(const float* a, const float* b) { return a[0] == b[0] && a[1] == b[1]; }

// Splices piece p into ring o at an edge o[i] o[i+1] that p walks the other way; false,
// with o unchanged, unless exactly one such edge exists and p's other points are not o's.
bool splice(std::vector<float>& o, const std::vector<float>& p) {
  const std::size_t n = o.size() / 2, m = p.size() / 2;
  std::size_t oi = 0, pj = 0;
  int found = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const float* a = &o[2 * i];
    const float* b = &o[2 * ((i + 1) % n)];
    for (std::size_t j = 0; j < m; ++j) {
      if (same_point(&p[2 * j], b) && same_point(&p[2 * ((j + 1) % m)], a)) {
        ++found;
        oi = i, pj = j;
      }
    }
  }
  if (found != 1) return false;
  // p's points other than the shared edge's ends must be new to o.
  for (std::size_t k = 2; k < m; ++k) {
    const float* q = &p[2 * ((pj + k) % m)];
    for (std::size_t i = 0; i < n; ++i)
      if (same_point(q, &o[2 * i])) return false;
  }
  // o[0..oi], then p after o[oi] (= p[pj+1]) round to before o[oi+1] (= p[pj]), then the rest.
  std::vector<float> out;
  out.reserve(o.size() + p.size());
  out.insert(out.end(), o.begin(), o.begin() + static_cast<long>(2 * (oi + 1)));
  for (std::size_t k = 2; k < m; ++k) {
    const std::size_t q = (pj + k) % m;
    out.push_back(p[2 * q]);
    out.push_back(p[2 * q + 1]);
  }
  out.insert(out.end(), o.begin() + static_cast<long>(2 * (oi + 1)), o.end());
  o.swap(out);
  return true;
}

void add_band(const OpenBand& b) {
  const double a0 = st.a, b0 = st.b;
  const int c0 = st.fill_color;
  st.a = b.lo, st.b = b.hi;
  GksFeature f = current(GFEAT_BAND);
  f.a = b.lo;
  f.b = b.hi;
  f.text.clear();
  f.color = b.color;
  const int n = static_cast<int>(b.ring.size() / 2);
  if (place(n, b.ring.data(), &f.xy)) {
    st.features.push_back(std::move(f));
    st.drawn = true;
  }
  st.a = a0, st.b = b0, st.fill_color = c0;
}

void flush_bands() {
  for (const OpenBand& b : st.bands) add_band(b);
  st.bands.clear();
}

// The piece as a counter-clockwise ring.
void counter_clockwise(std::vector<float>& ring, double area) {
  if (area > 0.0) return;
  const std::size_t m = ring.size() / 2;
  for (std::size_t k = 0; k < m / 2; ++k) {
    std::swap(ring[2 * k], ring[2 * (m - 1 - k)]);
    std::swap(ring[2 * k + 1], ring[2 * (m - 1 - k) + 1]);
  }
}

void band_piece(std::vector<float>& ring, double area) {
  counter_clockwise(ring, area);
  const int c = st.fill_color;
  const int color = (c >= GKS_BACKGROUND && c < GKS_BACKGROUND_SLOT) ? st.colors[c < 0 ? GKS_BACKGROUND_SLOT : c] : 0;
  for (OpenBand& b : st.bands) {
    if (b.lo != st.a || b.hi != st.b || b.color != color) continue;
    if (b.ring.size() / 2 < kMaxOpen && splice(b.ring, ring)) return;
    add_band(b);
    b.ring.swap(ring);
    return;
  }
  st.bands.push_back({st.a, st.b, color, std::move(ring)});
}

void flush_pieces() {
  if (st.pieces.empty()) return;
  std::unordered_map<float, std::vector<const Piece*>> by_level;
  std::vector<float> order;
  for (const Piece& p : st.pieces) {
    auto& group = by_level[p.level];
    if (group.empty()) order.push_back(p.level);
    group.push_back(&p);
  }
  const int kind = st.kind;
  const double a = st.a, b = st.b;
  const std::string text = st.text;
  for (float level : order) join_level(by_level[level], level);
  st.kind = kind, st.a = a, st.b = b, st.text = text;
  st.pieces.clear();
}

// ---- device hooks ----

int open(int, const char* device_string) {
  st.path = gdev_field(device_string, 0);
  if (st.path.empty()) {
    gerr_printf("gopen_ws", "The feature output needs a file name (-de ogr,contours.gpkg)\n");
    return -1;
  }
  const std::string why_not =
      st.hooks.unavailable != nullptr ? st.hooks.unavailable(st.path.c_str()) : "no writer for features";
  if (!why_not.empty()) {
    gerr_printf("gopen_ws", "%s: no features can be written to %s\n", why_not.c_str(), st.path.c_str());
    return -1;
  }
  st.open = true;
  st.kind = GFEAT_NONE;
  st.frame = 1;
  st.time.clear();
  st.drawn = false;
  st.unplaced = false;
  st.features.clear();
  st.pieces.clear();
  st.colors.fill(0);
  st.colors[1] = 0xFFFFFF;
  // A page of the PostScript device's proportions: the map keeps its shape.
  gset_win_size(1001.0F, 801.0F);
  return 0;
}

int close() {
  if (!st.open) return -1;
  flush_pieces();
  flush_bands();
  st.open = false;
  st.kind = GFEAT_NONE;
  if (st.unplaced)
    MESS_print(MESS_WARN, "Features outside a map with a coordinate reference system were left out of %s\n",
               st.path.c_str());
  std::string error;
  int r = 0;
  if (st.hooks.write == nullptr) {
    error = "no writer for features";
    r = -1;
  } else {
    r = st.hooks.write(st.path.c_str(), &st.features, &error);
  }
  st.last_count = static_cast<long>(st.features.size());
  st.features.clear();
  st.features.shrink_to_fit();
  if (r != 0) {
    MESS_print(MESS_ERROR, "Unable to write features to %s: %s\n", st.path.c_str(), error.c_str());
    ZAV_fail(ZAV_STATUS_OUTPUT);
    return -1;
  }
  return 0;
}

void clear() {
  if (!st.drawn && st.pieces.empty() && st.bands.empty()) return;
  flush_pieces();
  flush_bands();
  ++st.frame;
  st.drawn = false;
}

int state(int code, int arg, const float* values, int count) {
  if (code == GOBJ_COLR && values != nullptr && count >= 3) {
    const int slot = arg == GKS_BACKGROUND ? GKS_BACKGROUND_SLOT : arg;
    if (slot >= 0 && slot <= GKS_BACKGROUND_SLOT) st.colors[static_cast<std::size_t>(slot)] = rgb_of(values);
    return 0;
  }
  if (code == GOBJ_FCOLR) st.fill_color = arg;
  return 0;
}

void polyline(int n, const float* world, const float*) {
  if (n < 2) return;
  if (st.kind == GFEAT_CONTOUR) {
    st.pieces.push_back({static_cast<float>(st.a), std::vector<float>(world, world + 2 * n)});
    return;
  }
  if (st.kind == GFEAT_FRONT) add(GFEAT_FRONT, n, world);
}

// A band piece where a level runs through a cell corner can repeat a point or have no
// area: on a page it paints nothing, in a GIS file it is an invalid polygon.
void fill_area(int n, const float* world, const float*) {
  if (n < 3 || st.kind != GFEAT_BAND) return;
  std::vector<float> ring;
  ring.reserve(static_cast<std::size_t>(2 * n));
  for (int k = 0; k < n; ++k) {
    const float x = world[2 * k], y = world[2 * k + 1];
    const std::size_t m = ring.size();
    if (m >= 2 && ring[m - 2] == x && ring[m - 1] == y) continue;
    ring.push_back(x), ring.push_back(y);
  }
  while (ring.size() >= 4 && ring[0] == ring[ring.size() - 2] && ring[1] == ring.back()) ring.resize(ring.size() - 2);
  const int m = static_cast<int>(ring.size() / 2);
  if (m < 3) return;
  double area = 0.0;
  for (int k = 0; k < m; ++k) {
    const int j = (k + 1) % m;
    area += static_cast<double>(ring[2 * k]) * ring[2 * j + 1] - static_cast<double>(ring[2 * j]) * ring[2 * k + 1];
  }
  if (area == 0.0) return;
  band_piece(ring, area);
}

GksDevice make_device() {
  GksDevice d;
  d.name = "features";
  d.open = open;
  d.close = close;
  d.clear = clear;
  d.state = state;
  d.polyline = polyline;
  d.fill_area = fill_area;
  return d;
}
const GksDevice device = make_device();

}  // namespace

void gfeature_set(int kind, double a, double b, const char* text) {
  if (!st.open) return;
  st.kind = kind;
  st.a = a;
  st.b = b;
  if (text != nullptr)
    st.text = text;
  else
    st.text.clear();
}

void gfeature_point(int kind, float x, float y, double a, double b, const char* text) {
  if (!st.open || kind <= GFEAT_NONE || kind >= GFEAT_KINDS) return;
  const int k = st.kind;
  const double ka = st.a, kb = st.b;
  const std::string kt = st.text;
  st.a = a, st.b = b, st.text = text != nullptr ? text : "";
  const float p[2] = {x, y};
  add(kind, 1, p);
  st.kind = k, st.a = ka, st.b = kb, st.text = kt;
}

void gfeature_line(int kind, int n, const float* world, const char* text) {
  if (!st.open || n < 2 || world == nullptr || kind <= GFEAT_NONE || kind >= GFEAT_KINDS) return;
  const std::string kt = st.text;
  st.text = text != nullptr ? text : "";
  add(kind, n, world);
  st.text = kt;
}

void gfeature_time(const char* iso) {
  if (st.open) st.time = iso != nullptr ? iso : "";
}

void gfeature_break() {
  if (st.open) flush_bands();
}

int gfeature_wanted() { return st.open ? 1 : 0; }

void gogr_set_hooks(const GksFeatureHooks& hooks) { st.hooks = hooks; }
const GksDevice* gogr_device() { return &device; }
const std::vector<GksFeature>& gogr_features() { return st.features; }
long gogr_last_count() { return st.last_count; }

void gogr_reset_state() { st = Ogr{}; }
