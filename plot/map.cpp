// Map background: the map list, map files, latitude-longitude lines and overlays.
//
// Drawing a map file is the hot path of every frame, so a file is read once into flat
// latitude and longitude arrays, cut into lines at pen-up markers and record ends, and
// each line into chunks of a few dozen points with their latitude-longitude boxes. A
// frame then skips every chunk outside the geographic box of the domain without
// projecting it, projects the rest into reused buffers, and clips what it draws to the
// map window itself, so that far-away points never reach the device (whose coordinate
// clamping would bend them into stray lines).
#include "plot/map.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/datafile.h"
#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/colors.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_img.h"
#include "graphics/gks_line.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_text.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_tool.h"
#include "plot/maptran.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
constexpr float kPenUp = -9999.0f;
constexpr long kMaxFileBytes = MAP_MAX_FILE_BYTES;
// The header's count is a 16-bit signed number.
constexpr long kMaxRecordPoints = 32767;
// Points per chunk: small enough that a coastline along the domain's edge is mostly
// culled, large enough that the boxes cost little.
constexpr std::uint32_t kChunkPoints = 32;
// Points kept of one file, divided segments included (the bundled files hold under
// 100,000); beyond it the file is taken as damaged.
constexpr std::size_t kMaxPoints = 4000000;
// Longest segment of a map line in degrees; longer ones (up to 45 degrees) are divided.
constexpr double kMaxStep = 1.0;
// The integer of a record header tells what its lines are in the package's own files (and
// is 0 or anything else in others): shoreline levels 1 land, 2 lake, 3 island in a lake,
// 4 pond; 11 national and 12 state borders. Only filling looks at it: lakes and ponds are
// water and are filled with the background over the land around them.
constexpr long kKindLake = 2;
constexpr long kKindPond = 4;
// Nesting of "fi:" list files (a list naming itself must end).
constexpr int kMaxListDepth = 8;

// Nothing throws out of the module: a run short of memory loses a map item, with a message.
template <class F>
int guard(const char* routine, F&& f) {
  try {
    return f();
  } catch (const std::exception& e) {
    MESS_print(MESS_ERROR, "%s: %s\n", routine, e.what());
    return -1;
  }
}

bool is_map_proj(int proj) { return proj >= 1 && proj <= 9; }

double norm180(double v) {
  if (std::fabs(v) > 540.0) v = std::fmod(v, 360.0);
  while (v > 180.0) v -= 360.0;
  while (v < -180.0) v += 360.0;
  return v;
}

// ---------------------------------------------------------------- map data

// A latitude-longitude box; the longitudes as a middle and a half width, so that boxes
// across the date line compare like any other. A half width of 180 or more is every
// longitude.
struct GeoBox {
  float lat0 = -90.0f, lat1 = 90.0f, lon_mid = 0.0f, lon_half = 360.0f;
  bool overlaps(const GeoBox& o) const {
    if (lat1 < o.lat0 || lat0 > o.lat1) return false;
    if (lon_half >= 180.0f || o.lon_half >= 180.0f) return true;
    return std::fabs(norm180(lon_mid - o.lon_mid)) <= lon_half + o.lon_half;
  }
};

// Points first..last (inclusive) of a line; neighbouring chunks share a point.
struct Chunk {
  std::uint32_t first, last;
  GeoBox box;
};

// A line: the points between pen-ups and record ends.
struct Piece {
  std::uint32_t first, count, chunk0, nchunks;
  GeoBox box;
  bool water;  // a lake or pond: filled with the background
};

struct MapData {
  std::vector<float> lat, lon;
  std::vector<Piece> pieces;
  std::vector<Chunk> chunks;
  long records = 0;
  std::string error;  // why reading stopped early; empty when the file was read whole
};

GeoBox box_of(const MapData& d, std::uint32_t first, std::uint32_t last) {
  GeoBox b;
  float la0 = d.lat[first], la1 = la0;
  // Longitudes unwrapped along the line, so that a line over the date line gets a narrow box.
  double u = d.lon[first], u0 = u, u1 = u;
  for (std::uint32_t i = first + 1; i <= last; ++i) {
    la0 = std::min(la0, d.lat[i]);
    la1 = std::max(la1, d.lat[i]);
    u += norm180(static_cast<double>(d.lon[i]) - d.lon[i - 1]);
    u0 = std::min(u0, u);
    u1 = std::max(u1, u);
  }
  b.lat0 = la0, b.lat1 = la1;
  b.lon_mid = static_cast<float>(norm180(0.5 * (u0 + u1)));
  b.lon_half = static_cast<float>(0.5 * (u1 - u0));
  return b;
}

// Builds the lines of a file while it is read; a record that turns out to be incomplete
// is taken back whole.
class Builder {
 public:
  explicit Builder(MapData* d) : d_(d) {}
  void begin_record(long kind) {
    water_ = kind == kKindLake || kind == kKindPond;
    rec_points_ = d_->lat.size();
    rec_pieces_ = d_->pieces.size();
    rec_chunks_ = d_->chunks.size();
    line_start_ = d_->lat.size();
  }
  void point(float lat, float lon) {
    if (lat == kPenUp) {
      end_line();
      return;
    }
    // Long straight segments (borders along a parallel or a meridian, given by their ends)
    // get points every degree, so that they follow the parallel or meridian on every
    // projection instead of cutting across as chords.
    if (d_->lat.size() > line_start_) {
      const float lat0 = d_->lat.back(), lon0 = d_->lon.back();
      const double dlon = norm180(static_cast<double>(lon) - lon0), dlat = static_cast<double>(lat) - lat0;
      const double span = std::max(std::fabs(dlat), std::fabs(dlon));
      const int steps = span <= 45.0 ? static_cast<int>(std::ceil(span / kMaxStep)) : 1;
      for (int k = 1; k < steps; ++k) {
        const double t = static_cast<double>(k) / steps;
        d_->lat.push_back(static_cast<float>(lat0 + t * dlat));
        d_->lon.push_back(static_cast<float>(lon0 + t * dlon));
      }
    }
    d_->lat.push_back(lat);
    d_->lon.push_back(lon);
  }
  bool full() const { return d_->lat.size() > kMaxPoints; }
  void end_record() {
    end_line();
    ++d_->records;
  }
  void abandon_record() {
    d_->lat.resize(rec_points_);
    d_->lon.resize(rec_points_);
    d_->pieces.resize(rec_pieces_);
    d_->chunks.resize(rec_chunks_);
  }

 private:
  void end_line() {
    const std::size_t n = d_->lat.size() - line_start_;
    if (n == 1) {  // a lone point draws nothing
      d_->lat.pop_back();
      d_->lon.pop_back();
    } else if (n >= 2) {
      Piece p;
      p.first = static_cast<std::uint32_t>(line_start_);
      p.count = static_cast<std::uint32_t>(n);
      p.chunk0 = static_cast<std::uint32_t>(d_->chunks.size());
      const std::uint32_t last = p.first + p.count - 1;
      for (std::uint32_t s = p.first; s < last; s += kChunkPoints) {
        const std::uint32_t e = std::min(last, s + kChunkPoints);
        d_->chunks.push_back({s, e, box_of(*d_, s, e)});
      }
      p.nchunks = static_cast<std::uint32_t>(d_->chunks.size()) - p.chunk0;
      p.box = box_of(*d_, p.first, last);
      p.water = water_;
      d_->pieces.push_back(p);
    }
    line_start_ = d_->lat.size();
  }
  MapData* d_;
  bool water_ = false;
  std::size_t rec_points_ = 0, rec_pieces_ = 0, rec_chunks_ = 0, line_start_ = 0;
};

// A point of a map file: a pen-up marker, or a latitude and longitude in range (longitudes
// up to two turns either way, as some files run from 0 to 360 or beyond).
bool good_point(float lat, float lon) {
  if (lat == kPenUp) return true;
  return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90.0f && std::fabs(lon) <= 720.0f;
}

std::string format(const char* fmt, long a, long b = 0, long c = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}

// Adds a point read from a file. A point that is no position, or one too many for a map,
// takes its record back and says why (false).
bool add_point(Builder& b, MapData* d, float lat, float lon, long i, long rec) {
  if (!good_point(lat, lon)) {
    b.abandon_record();
    d->error = format("point %ld of record %ld is not a latitude and longitude", i + 1, rec);
    return false;
  }
  b.point(lat, lon);
  if (b.full()) {
    b.abandon_record();
    d->error = format("it holds more than %ld points", static_cast<long>(kMaxPoints));
    return false;
  }
  return true;
}

// Text form. The buffer ends with a NUL (the reader adds it).
bool header_text(const char*& p, long* count, long* kind) {
  char* end = nullptr;
  const long n = std::strtol(p, &end, 10);
  if (end == p) return false;
  const char* q = end;
  for (int i = 0; i < 4; ++i) {
    std::strtod(q, &end);
    if (end == q) return false;
    q = end;
  }
  const long k = std::strtol(q, &end, 10);
  if (end == q) return false;
  *count = n;
  *kind = k;
  p = end;
  return true;
}

bool only_blanks(const char* p) {
  while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
  return *p == '\0';
}

void parse_text(const std::string& bytes, MapData* d) {
  Builder b(d);
  const char* p = bytes.c_str();
  for (long rec = 1;; ++rec) {
    if (only_blanks(p)) return;
    long n = 0, kind = 0;
    if (!header_text(p, &n, &kind)) {
      d->error = format("record %ld has no readable header", rec);
      return;
    }
    if (n == 0) return;
    if (n < 0 || n > kMaxRecordPoints) {
      d->error = format("record %ld has a point count of %ld", rec, n);
      return;
    }
    b.begin_record(kind);
    for (long i = 0; i < n; ++i) {
      char* end = nullptr;
      const double lat = std::strtod(p, &end);
      if (end == p) {
        b.abandon_record();
        d->error = format("record %ld ends after %ld of %ld points", rec, i, n);
        return;
      }
      p = end;
      const double lon = std::strtod(p, &end);
      if (end == p) {
        b.abandon_record();
        d->error = format("record %ld ends after %ld of %ld points", rec, i, n);
        return;
      }
      p = end;
      const auto la = static_cast<float>(lat), lo = static_cast<float>(lon);
      if (!add_point(b, d, la, lo, i, rec)) return;
    }
    b.end_record();
  }
}

std::uint32_t be32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
float befloat(const unsigned char* p) {
  const std::uint32_t u = be32(p);
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

constexpr std::size_t kBinHeader = 22;  // count, four values, integer

void parse_binary(const std::string& bytes, MapData* d) {
  Builder b(d);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  // Eight bytes a point: room for every point of the file at once (what lies between far
  // points is added as it comes).
  const std::size_t most = std::min<std::size_t>(size / 8, static_cast<std::size_t>(kMaxPoints) + 1);
  d->lat.reserve(d->lat.size() + most);
  d->lon.reserve(d->lon.size() + most);
  std::size_t pos = 0;
  for (long rec = 1;; ++rec) {
    if (pos == size) return;  // no end record: the file ends at a record boundary
    if (size - pos < 2) {
      d->error = format("record %ld is cut off in its header", rec);
      return;
    }
    const auto n = static_cast<std::int16_t>((data[pos] << 8) | data[pos + 1]);
    if (n == 0) return;
    if (n < 0) {
      d->error = format("record %ld has a point count of %ld", rec, n);
      return;
    }
    if (size - pos < kBinHeader) {
      d->error = format("record %ld is cut off in its header", rec);
      return;
    }
    const auto kind = static_cast<std::int32_t>(be32(data + pos + 18));
    pos += kBinHeader;
    const std::size_t have = (size - pos) / 8;
    if (have < static_cast<std::size_t>(n)) {
      d->error = format("record %ld ends after %ld of %ld points", rec, static_cast<long>(have), n);
      return;
    }
    b.begin_record(kind);
    for (long i = 0; i < n; ++i, pos += 8) {
      const float la = befloat(data + pos), lo = befloat(data + pos + 4);
      if (!add_point(b, d, la, lo, i, rec)) return;
    }
    b.end_record();
  }
}

bool printable(const std::string& bytes, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (!(std::isprint(c) || std::isspace(c))) return false;
  }
  return true;
}

// The first record decides: a first line of printable text that holds a record header is
// the text form, anything else the binary form.
bool looks_like_text(const std::string& bytes) {
  std::size_t eol = bytes.find('\n');
  if (eol == std::string::npos) eol = bytes.size();
  if (!printable(bytes, 0, eol)) return false;
  const std::string first = bytes.substr(0, eol);
  const char* p = first.c_str();
  long n = 0, kind = 0;
  return header_text(p, &n, &kind);
}

void parse_map(const std::string& bytes, MapData* d) {
  if (bytes.empty()) {
    d->error = "the file is empty";
    return;
  }
  if (looks_like_text(bytes)) {
    parse_text(bytes, d);
    return;
  }
  parse_binary(bytes, d);
  if (!d->error.empty() && d->records == 0 && printable(bytes, 0, 4096)) d->error = "it is text, but not map records";
}

// Reads a stream whole, up to kMaxFileBytes.
bool read_stream(std::FILE* f, std::string* bytes, std::string* error) {
  bytes->clear();
  char buf[1 << 16];
  for (;;) {
    const std::size_t n = std::fread(buf, 1, sizeof buf, f);
    if (n == 0) break;
    if (static_cast<long>(bytes->size() + n) > kMaxFileBytes) {
      *error = format("it is larger than %ld bytes", kMaxFileBytes);
      return false;
    }
    bytes->append(buf, n);
  }
  if (std::ferror(f)) {
    *error = "it cannot be read";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- the file cache

struct CacheEntry {
  long long mtime_ns = 0;
  long long size = 0;
  std::shared_ptr<const MapData> data;
};

// ---------------------------------------------------------------- module state

// Labels of the latitude-longitude lines wait until every line is drawn, and then each
// takes its place only where no other label stands.
struct GridLabel {
  float x, y;
  int halign, valign;
  std::string text;
};

// The map list and spacing asked for, what the current draw has done, and what the run has
// already said and read: maps are drawn several times a frame and should be told once.
struct MapState {
  std::string map_name;  // the list set by MAP_file
  std::string map_format;
  float latln = 0.0f, lonln = 0.0f;
  int dot = 0, extra = 0;
  bool latlon_set = false;  // MAP_latlon called: otherwise the spacing follows the map size
  int fill_cont = 0;
  int fill_partial = 0;  // the contour fill leaves parts of the map unfilled
  int over = 7;  // the mask of the current MAP_draw
  int reg_found = 1;
  int list_depth = 0;
  // Items of the list of the current MAP_draw (list files included), and those left out.
  bool drawing = false;
  int items_seen = 0;
  std::vector<std::string> items_dropped;
  // The last spacing found too close, said once.
  float warned_dlat = 0.0f, warned_dlon = 0.0f;
  std::map<std::string, CacheEntry> cache;
  std::set<std::string> reported_missing;
  // Messages about refused overlay files and dropped list items, said once a run: the map is
  // drawn more than once a frame, and once every frame.
  std::set<std::string> reported_refused;
  // Overlays that failed, with the time and size of their file then: the map is drawn more
  // than once a frame, and an overlay is tried again (and its fault told again) only when
  // its file has changed.
  std::map<std::string, std::pair<long long, long long>> failed_overlays;
  std::map<std::string, MapOverlayFunc> overlay_funcs;
  long drawn_lines = 0, projected_points = 0;
  std::vector<GridLabel> grid_labels;
};
// Not `st`: the file checks below give that name to their stat() results.
MapState state;

// ---------------------------------------------------------------- the view

// What one drawing needs of the domain: the projection, the window of transformation 2,
// the clip rectangle (the window widened a little, so the device cuts the lines exactly at
// the edge) and the geographic box that holds everything the window shows.
struct View {
  int proj = MISSING_INT;
  double plat = 0.0, plon = 0.0;
  float win[4] = {0, 1, 0, 1};  // xmin, xmax, ymin, ymax
  float clip[4] = {0, 1, 0, 1};
  GeoBox box;
};

// Width of the world on the plane at height y, for the projections whose x runs linearly
// with longitude (a line over the seam continues one width further); 0 for the others.
double cyl_width(int proj, double y) {
  const double r = MAP_EARTH_RAD;
  switch (proj) {
    case PROJ_LL:
      return 360.0;
    case PROJ_MERC:
      return 2.0 * kPi * r;
    case PROJ_MOLL: {
      const double s = 1.0 - (y / r) * (y / r);
      return s > 0.0 ? 4.0 * r * std::sqrt(s) : 0.0;
    }
    default:
      return 0.0;
  }
}
bool is_cyl(int proj) { return proj == PROJ_LL || proj == PROJ_MERC || proj == PROJ_MOLL; }

// The geographic box of the window: its edges and a grid inside it taken back to latitude
// and longitude, widened by a margin; a pole inside the window opens it to all longitudes.
// Projections whose window reaches beyond the visible globe get the whole world.
GeoBox window_box(const View& v) {
  GeoBox all;
  if (!is_map_proj(v.proj)) return all;
  const int n = 24;
  double la0 = 90.0, la1 = -90.0, u0 = 360.0, u1 = -360.0;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) {
      const float x = v.win[0] + (v.win[1] - v.win[0]) * static_cast<float>(i) / n;
      const float y = v.win[2] + (v.win[3] - v.win[2]) * static_cast<float>(j) / n;
      float lat = 0.0f, lon = 0.0f;
      if (!MAP_untran(&lat, &lon, x, y)) return all;
      la0 = std::min(la0, static_cast<double>(lat));
      la1 = std::max(la1, static_cast<double>(lat));
      const double u = norm180(lon - v.plon);
      u0 = std::min(u0, u);
      u1 = std::max(u1, u);
    }
  const double margin = 3.0;
  GeoBox b;
  b.lat0 = static_cast<float>(std::max(-90.0, la0 - margin));
  b.lat1 = static_cast<float>(std::min(90.0, la1 + margin));
  const double widen = margin / std::max(0.05, std::cos(std::max(std::fabs(la0), std::fabs(la1)) * kRad));
  b.lon_mid = static_cast<float>(norm180(v.plon + 0.5 * (u0 + u1)));
  b.lon_half = static_cast<float>(0.5 * (u1 - u0) + widen);
  for (const float pole : {90.0f, -90.0f}) {
    float x = 0.0f, y = 0.0f;
    if (MAP_tran(&x, &y, pole, static_cast<float>(v.plon)) && x >= v.win[0] && x <= v.win[1] && y >= v.win[2] &&
        y <= v.win[3]) {
      b.lon_half = 360.0f;
      if (pole > 0.0f)
        b.lat1 = 90.0f;
      else
        b.lat0 = -90.0f;
    }
  }
  if (is_cyl(v.proj) && u1 - u0 > 300.0) b.lon_half = 360.0f;
  return b;
}

// The view of the current domain; the geographic box is kept while domain and window
// stay the same.
bool make_view(View* v) {
  static DomainRec last{};
  static float last_win[4] = {0, 0, 0, 0};
  static GeoBox last_box;
  static bool have = false;
  DomainRec d;
  MAP_get_domain(&d);
  v->proj = d.proj;
  v->plat = d.plat == MISSING ? 0.0 : d.plat;
  v->plon = d.plon == MISSING ? 0.0 : d.plon;
  GPH_get_win(2, v->win);
  const float mx = 0.01f * (v->win[1] - v->win[0]), my = 0.01f * (v->win[3] - v->win[2]);
  v->clip[0] = v->win[0] - mx, v->clip[1] = v->win[1] + mx;
  v->clip[2] = v->win[2] - my, v->clip[3] = v->win[3] + my;
  if (!(v->win[1] > v->win[0]) || !(v->win[3] > v->win[2])) return false;
  if (have && std::memcmp(&last, &d, sizeof d) == 0 && std::memcmp(last_win, v->win, sizeof last_win) == 0) {
    v->box = last_box;
  } else {
    v->box = window_box(*v);
    last = d;
    std::memcpy(last_win, v->win, sizeof last_win);
    last_box = v->box;
    have = true;
  }
  return true;
}

// ---------------------------------------------------------------- lines

// Liang-Barsky: the part t0..t1 of the segment inside the rectangle; false when none.
bool clip_segment(float x0, float y0, float x1, float y1, const float c[4], float* t0, float* t1) {
  const float dx = x1 - x0, dy = y1 - y0;
  const float p[4] = {-dx, dx, -dy, dy};
  const float q[4] = {x0 - c[0], c[1] - x0, y0 - c[2], c[3] - y0};
  float a = 0.0f, b = 1.0f;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0f) {
      if (q[i] < 0.0f) return false;
    } else {
      const float r = q[i] / p[i];
      if (p[i] < 0.0f) {
        if (r > b) return false;
        a = std::max(a, r);
      } else {
        if (r < a) return false;
        b = std::min(b, r);
      }
    }
  }
  *t0 = a;
  *t1 = b;
  return true;
}

// Collects the points of a line and draws the parts inside the clip rectangle, each as one
// polyline. One buffer serves all the lines of a map file; it is the object's own, as the
// kernel may serve window events (and so a redraw) inside a drawing call.
class LineOut {
 public:
  explicit LineOut(const float clip[4]) : clip_(clip) { buf_.reserve(1024); }
  ~LineOut() { end(); }
  LineOut(const LineOut&) = delete;
  LineOut& operator=(const LineOut&) = delete;
  void point(float x, float y) {
    if (!have_) {
      px_ = x, py_ = y, have_ = true;
      return;
    }
    float t0 = 0.0f, t1 = 1.0f;
    if (!clip_segment(px_, py_, x, y, clip_, &t0, &t1)) {
      flush();
    } else {
      if (buf_.empty()) push(px_ + t0 * (x - px_), py_ + t0 * (y - py_));
      if (t1 >= 1.0f) {
        push(x, y);
      } else {
        push(px_ + t1 * (x - px_), py_ + t1 * (y - py_));
        flush();
      }
    }
    px_ = x, py_ = y;
  }
  void end() {
    flush();
    have_ = false;
  }

 private:
  void push(float x, float y) {
    buf_.push_back(x);
    buf_.push_back(y);
  }
  void flush() {
    if (buf_.size() >= 4) {
      gpolyline(static_cast<int>(buf_.size() / 2), buf_.data());
      ++state.drawn_lines;
    }
    buf_.clear();
  }
  const float* clip_;
  std::vector<float> buf_;
  bool have_ = false;
  float px_ = 0.0f, py_ = 0.0f;
};

// Feeds projected points of one line to a LineOut, breaking it where the line crosses the
// seam of the projection. On the projections whose x runs with longitude the crossing is
// found exactly (the longitudes, read back from x, jump by more than half a turn); the
// line is drawn on to its point moved one world width back over the edge, and goes on
// from the previous point moved the other way, so both pieces reach the edge. On the
// Lambert cone a jump of more than jump_limit units is the cut at its back; other
// projections have no seam (their hidden points break the line instead).
class SeamLine {
 public:
  SeamLine(LineOut* out, int proj, float jump_limit) : out_(out), proj_(proj), cyl_(is_cyl(proj)), limit_(jump_limit) {}
  void point(float x, float y) {
    if (have_) {
      if (cyl_) {
        const double w = cyl_width(proj_, y), pw = cyl_width(proj_, py_);
        const double a = w > 1e-3 ? x / w : 0.0, b = pw > 1e-3 ? px_ / pw : a;
        if (std::fabs(a - b) > 0.5) {
          const double s = a < b ? 1.0 : -1.0;  // eastward over the seam: one width on
          out_->point(static_cast<float>(x + s * w), y);
          out_->end();
          out_->point(static_cast<float>(px_ - s * pw), py_);
        }
      } else if (proj_ == PROJ_LAMB && std::fabs(x - px_) > limit_) {
        const float s = x < px_ ? 1000.0f : -1000.0f;
        out_->point(x + s, y);
        out_->end();
        out_->point(px_ - s, py_);
      }
    }
    out_->point(x, y);
    px_ = x, py_ = y, have_ = true;
  }
  void gap() {
    out_->end();
    have_ = false;
  }

 private:
  LineOut* out_;
  int proj_;
  bool cyl_;
  float limit_;
  bool have_ = false;
  float px_ = 0.0f, py_ = 0.0f;
};

void draw_piece_lines(const MapData& d, const Piece& p, const View& v, SeamLine* line) {
  std::uint32_t next = p.first;
  for (std::uint32_t c = p.chunk0; c < p.chunk0 + p.nchunks; ++c) {
    const Chunk& ch = d.chunks[c];
    if (!ch.box.overlaps(v.box)) {
      line->gap();
      next = ch.last;  // the next chunk starts a new line at its first point
      continue;
    }
    for (std::uint32_t i = std::max(next, ch.first); i <= ch.last; ++i) {
      float x = 0.0f, y = 0.0f;
      ++state.projected_points;
      if (!MAP_tran(&x, &y, d.lat[i], d.lon[i])) {
        line->gap();
        continue;
      }
      line->point(x, y);
    }
    next = ch.last + 1;
  }
  line->gap();
}

// ---------------------------------------------------------------- filled areas

// Sutherland-Hodgman against one side: keeps the points where sign*(coord - value) >= 0.
void clip_side(const std::vector<double>& in, std::vector<double>* out, int axis, double value, double sign) {
  out->clear();
  const std::size_t n = in.size() / 2;
  if (n == 0) return;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + n - 1) % n;
    const double ax = in[2 * j], ay = in[2 * j + 1], bx = in[2 * i], by = in[2 * i + 1];
    const double da = sign * ((axis == 0 ? ax : ay) - value), db = sign * ((axis == 0 ? bx : by) - value);
    if ((da >= 0.0) != (db >= 0.0)) {
      const double t = da / (da - db);
      out->push_back(ax + t * (bx - ax));
      out->push_back(ay + t * (by - ay));
    }
    if (db >= 0.0) {
      out->push_back(bx);
      out->push_back(by);
    }
  }
}

// Buffers of the filled areas of one map file, reused from area to area.
struct FillBuffers {
  std::vector<double> ring, moved, a, b, plane;
  std::vector<float> out;
};

void fill_plane(FillBuffers& f, const View& v) {
  clip_side(f.plane, &f.a, 0, v.clip[0], 1.0);
  clip_side(f.a, &f.b, 0, v.clip[1], -1.0);
  clip_side(f.b, &f.a, 1, v.clip[2], 1.0);
  clip_side(f.a, &f.b, 1, v.clip[3], -1.0);
  if (f.b.size() < 6) return;
  f.out.assign(f.b.begin(), f.b.end());
  gfill_area(static_cast<int>(f.out.size() / 2), f.out.data());
  ++state.drawn_lines;
}

// Filled area of one line on a projection whose x runs with longitude: the ring is
// unwrapped in longitude, closed over the pole when it goes round it, cut at the seam in
// longitude (every copy one turn over that reaches the map), and projected.
void fill_cyl(const MapData& d, const Piece& p, const View& v, FillBuffers& f) {
  std::vector<double>& ring = f.ring;
  ring.clear();
  double u = norm180(d.lon[p.first] - v.plon), lat_sum = 0.0;
  for (std::uint32_t i = p.first; i < p.first + p.count; ++i) {
    if (i > p.first) u += norm180(static_cast<double>(d.lon[i]) - d.lon[i - 1]);
    ring.push_back(u);
    ring.push_back(d.lat[i]);
    lat_sum += d.lat[i];
  }
  state.projected_points += p.count;
  const double turn = ring[ring.size() - 2] - ring[0];
  if (std::fabs(turn) > 180.0) {
    const double pole = lat_sum < 0.0 ? -90.0 : 90.0;
    const double ul = ring[ring.size() - 2], uf = ring[0];
    ring.insert(ring.end(), {ul, pole, uf, pole});
  }
  double umin = ring[0], umax = ring[0];
  for (std::size_t i = 0; i < ring.size(); i += 2) umin = std::min(umin, ring[i]), umax = std::max(umax, ring[i]);
  const double eps = 1e-3;
  for (int k = static_cast<int>(std::ceil((-180.0 - umax) / 360.0)); k <= static_cast<int>(std::floor((180.0 - umin) / 360.0));
       ++k) {
    f.moved.assign(ring.begin(), ring.end());
    for (std::size_t i = 0; i < f.moved.size(); i += 2) f.moved[i] += 360.0 * k;
    clip_side(f.moved, &f.a, 0, -180.0 + eps, 1.0);
    clip_side(f.a, &f.b, 0, 180.0 - eps, -1.0);
    const std::vector<double>& cut = f.b;
    const std::size_t n = cut.size() / 2;
    if (n < 3) continue;
    // Projected with edges no longer than 2 degrees, so that the cut along the seam and the
    // closing edge over the pole follow the curved edge of the map.
    std::vector<double>& plane = f.plane;
    plane.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t j = (i + 1) % n;
      const double u0 = cut[2 * i], v0 = cut[2 * i + 1], u1 = cut[2 * j], v1 = cut[2 * j + 1];
      const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::fabs(u1 - u0), std::fabs(v1 - v0)) / 2.0)));
      for (int s = 0; s < steps; ++s) {
        const double t = static_cast<double>(s) / steps;
        float x = 0.0f, y = 0.0f;
        if (MAP_tran(&x, &y, static_cast<float>(v0 + t * (v1 - v0)), static_cast<float>(v.plon + u0 + t * (u1 - u0)))) {
          plane.push_back(x);
          plane.push_back(y);
        }
      }
    }
    fill_plane(f, v);
  }
}

// Filled area of one line on the other projections. On the orthographic one a hidden
// point is moved onto the rim of the globe along its direction, so that an area that runs
// round the back is cut along the rim; elsewhere hidden points are left out.
void fill_other(const MapData& d, const Piece& p, const View& v, FillBuffers& f) {
  std::vector<double>& plane = f.plane;
  plane.clear();
  const double r = MAP_EARTH_RAD;
  for (std::uint32_t i = p.first; i < p.first + p.count; ++i) {
    float x = 0.0f, y = 0.0f;
    ++state.projected_points;
    if (MAP_tran(&x, &y, d.lat[i], d.lon[i])) {
      plane.push_back(x);
      plane.push_back(y);
    } else if (v.proj == PROJ_ORTHO) {
      const double phi = d.lat[i] * kRad, dl = norm180(d.lon[i] - v.plon) * kRad, p0 = v.plat * kRad;
      const double hx = std::cos(phi) * std::sin(dl);
      const double hy = std::cos(p0) * std::sin(phi) - std::sin(p0) * std::cos(phi) * std::cos(dl);
      const double len = std::hypot(hx, hy);
      if (len > 0.0) {
        plane.push_back(r * hx / len);
        plane.push_back(r * hy / len);
      }
    }
  }
  if (plane.size() >= 6) fill_plane(f, v);
}

// ---------------------------------------------------------------- drawing a file

int draw_data(const MapData& d, bool filled) {
  View v;
  if (!make_view(&v) || !is_map_proj(v.proj)) return 0;
  const long before = state.drawn_lines;
  if (filled) {
    FillBuffers buffers;
    const int land = gget_fill_colr();
    bool water = false;
    for (const Piece& p : d.pieces) {
      if (!p.box.overlaps(v.box)) continue;
      if (p.water != water) {
        water = p.water;
        gset_fill_colr_ind(water ? GKS_BACKGROUND : land);
      }
      if (is_cyl(v.proj))
        fill_cyl(d, p, v, buffers);
      else
        fill_other(d, p, v, buffers);
    }
    if (water) gset_fill_colr_ind(land);
  } else {
    LineOut out(v.clip);
    SeamLine line(&out, v.proj, 20.0f);
    for (const Piece& p : d.pieces)
      if (p.box.overlaps(v.box)) draw_piece_lines(d, p, v, &line);
  }
  return static_cast<int>(state.drawn_lines - before);
}

// The first regular file among the places a data file is looked for ("" when none); commands
// ("|...") are not map data.
std::string find_data_file(const std::string& name, struct stat* st) {
  for (const std::string& c : FILE_data_candidates(name))
    if (!c.empty() && c[0] != '|' && ::stat(c.c_str(), st) == 0 && S_ISREG(st->st_mode)) return c;
  return "";
}

// The data of a map file: from the cache while the file is unchanged, else read (and a
// damaged file reported, once a reading). Null when the file is missing.
std::shared_ptr<const MapData> load_map(const std::string& name) {
  struct stat st {};
  const std::string path = find_data_file(name, &st);
  if (path.empty()) return nullptr;
  const long long mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  auto it = state.cache.find(path);
  if (it != state.cache.end() && it->second.mtime_ns == mtime && it->second.size == static_cast<long long>(st.st_size))
    return it->second.data;
  auto data = std::make_shared<MapData>();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return nullptr;
  std::string bytes, error;
  if (st.st_size > kMaxFileBytes)
    data->error = format("it is larger than %ld bytes", kMaxFileBytes);
  else if (read_stream(f, &bytes, &error))
    parse_map(bytes, data.get());
  else
    data->error = error;
  std::fclose(f);
  if (!data->error.empty()) {
    if (data->records > 0)
      MESS_print(MESS_ERROR, "MAP_map: Damaged map file %s: %s; drawing its first %ld records\n", path.c_str(),
                 data->error.c_str(), data->records);
    else
      MESS_print(MESS_ERROR, "MAP_map: Damaged map file %s: %s\n", path.c_str(), data->error.c_str());
  }
  CacheEntry e;
  e.mtime_ns = mtime;
  e.size = static_cast<long long>(st.st_size);
  e.data = data;
  state.cache[path] = e;
  return data;
}

// ---------------------------------------------------------------- map list items

float vert_size() { return MAP_get_vert(); }

// Splits a map list at commas, except inside a region item's brackets.
std::vector<std::string> split_list(std::string_view list) {
  std::vector<std::string> items;
  std::string cur;
  int depth = 0;
  for (const char c : list) {
    if (c == '[') ++depth;
    if (c == ']' && depth > 0) --depth;
    if (c == ',' && depth == 0) {
      items.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  items.push_back(cur);
  for (std::string& s : items) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    s = s.substr(a, b - a);
  }
  return items;
}

// A number followed by the character what: p is moved past both; false (p unmoved)
// otherwise.
bool number_then(const char*& p, float* value, char what) {
  const char* q = p;
  if (!scan_float(q, value) || *q != what) return false;
  p = q + 1;
  return true;
}

// One size condition at p ("s+N:", "s-N:", ">N:", ">N<M:", "<N:", "<N>M:"): p is moved past
// it and *ok tells whether the vertical size meets it; false (p unmoved) when none stands
// there.
bool size_condition(const char*& p, float size, bool* ok) {
  const char* q = p;
  float n = 0.0f, m = 0.0f;
  if ((q[0] == 's' || q[0] == 'S') && (q[1] == '+' || q[1] == '-')) {
    const bool at_least = q[1] == '+';
    q += 2;
    if (!number_then(q, &n, ':')) return false;
    *ok = at_least ? size >= n : size <= n;
  } else if (q[0] == '>' || q[0] == '<') {
    const bool at_least = q[0] == '>';
    ++q;
    if (!scan_float(q, &n)) return false;
    if (*q == ':') {
      ++q;
      *ok = at_least ? size >= n : size <= n;
    } else if (*q == (at_least ? '<' : '>')) {
      ++q;
      if (!number_then(q, &m, ':')) return false;
      *ok = at_least ? (size >= n && size <= m) : (size <= n && size >= m);
    } else {
      return false;
    }
  } else {
    return false;
  }
  p = q;
  return true;
}

// The size conditions at p: p is moved past them; false when one of them fails.
bool size_conditions(const char*& p, float size) {
  bool all = true, ok = true;
  while (size_condition(p, size, &ok)) all = all && ok;
  return all;
}

// A region item "[lat1,lat2,lon1,lon2,size]" against the current domain.
void region_item(const char* text) {
  if (state.reg_found == 2) {
    state.reg_found = -1;
    return;
  }
  float v[5] = {0.0f, 0.0f, 0.0f, 0.0f, 1000.0f};
  int n = 0;
  const char* p = text + 1;
  while (n < 5) {
    if (!scan_float(p, &v[n])) break;
    ++n;
    while (*p == ' ') ++p;
    if (*p != ',') break;
    ++p;
  }
  if (n >= 4) {
    const float lat0 = std::min(v[0], v[1]), lat1 = std::max(v[0], v[1]);
    const float lon0 = std::min(v[2], v[3]), lon1 = std::max(v[2], v[3]);
    const float clat = MAP_get_clat(), clon = MAP_get_clon();
    bool lon_in = false;
    for (const float turn : {0.0f, 360.0f, -360.0f}) lon_in = lon_in || (clon + turn >= lon0 && clon + turn <= lon1);
    if (clat < lat0 || clat > lat1 || !lon_in || vert_size() > v[4]) {
      if (state.reg_found == 1) state.reg_found = 0;
      return;
    }
  }
  state.reg_found = 2;
}

bool proj_is_map() { return is_map_proj(MAP_get_proj()); }

// Attributes from a resource over the map's own default ("colour[:more]"). A colour table
// without the default colour is no mistake of the user's: the default then draws in the
// current colour, without a message.
void default_attributes(const char* resource, const char* colour, const char* more, AttribRec* a) {
  std::string def = colour;
  if (CLR_get_ind(colour) < 0) def.clear();
  if (*more != '\0') def += std::string(":") + more;
  ATTRIB_get(resource, def.c_str(), a);
}

// The line spacing that suits the map: a few lines over its height.
float auto_spacing() {
  float span = vert_size();
  if (MAP_get_proj() != PROJ_LL) span *= 0.9f;  // plane units are about 100 km, 0.9 degree
  for (const float s : {1.0f, 2.0f, 5.0f, 10.0f, 15.0f, 30.0f})
    if (span / s <= 6.0f) return s;
  return 30.0f;
}

// Line and text attributes of the latitude-longitude lines: the item's own string, else
// the resource "color_line" over the default. False when they draw nothing.
bool lalo_attributes(const char* own) {
  AttribRec a;
  ATTRIB_init(&a);
  const bool map = proj_is_map();
  if (own != nullptr && *own != '\0')
    ATTRIB_parse(own, &a);
  else
    default_attributes("color_line", map ? "magenta" : "red", map ? "s4" : "", &a);
  if (a.color == -1) return false;
  GPH_line_attr(&a);
  GPH_text_attr(&a, (map ? 0.018f : 0.015f) * vert_size());
  return true;
}

// The readers of overlays read their files whole: only a regular file of at most
// MAP_MAX_FILE_BYTES is handed to them (a missing one is left to them to report).
bool overlay_file_ok(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return true;
  std::string why;
  if (!S_ISREG(st.st_mode))
    why = "is not a regular file";
  else if (st.st_size > MAP_MAX_FILE_BYTES)
    why = format("is larger than %ld bytes", MAP_MAX_FILE_BYTES);
  else
    return true;
  const std::string message = "MAP_process: " + path + " " + why + ": left out\n";
  if (state.reported_refused.insert(message).second) MESS_print(MESS_ERROR, "%s", message.c_str());
  return false;
}

int overlay(const char* kind, const char* rest, const char* message) {
  MESS_print(MESS_MESS, message, rest);
  // "file[:colour:x:y]" or "file::x:y".
  std::string file = rest, colour;
  int x = 0, y = 0;
  if (const char* c = std::strchr(rest, ':')) {
    file.assign(rest, static_cast<std::size_t>(c - rest));
    const char* q = c + 1;
    const char* e = std::strchr(q, ':');
    colour.assign(q, e != nullptr ? static_cast<std::size_t>(e - q) : std::strlen(q));
    if (e != nullptr) {
      q = e + 1;
      scan_int(q, &x);
      if (*q == ':') ++q, scan_int(q, &y);
    }
  }
  auto it = state.overlay_funcs.find(kind);
  int r = 0;
  if (it != state.overlay_funcs.end() && it->second != nullptr) {
    r = it->second(file.c_str(), colour.c_str(), x, y);
  } else if (std::strcmp(kind, "rf") != 0) {
    const bool meta = std::strcmp(kind, "mf") == 0;
    struct stat st {};
    std::string path = meta ? find_data_file(file, &st) : gfind_image_file(file.c_str());
    if (path.empty()) path = file;
    std::pair<long long, long long> stamp{-1, -1};
    if (::stat(path.c_str(), &st) == 0)
      stamp = {static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
               static_cast<long long>(st.st_size)};
    const std::string key = std::string(kind) + ":" + rest;
    const auto failed = state.failed_overlays.find(key);
    if (failed != state.failed_overlays.end() && failed->second == stamp) {
      r = -1;
    } else {
      if (!overlay_file_ok(path))
        r = -1;
      else
        r = meta ? gread_metafile(path.c_str()) : goverlay_image_file(path.c_str(), colour.c_str(), x, y);
      if (r < 0)
        state.failed_overlays[key] = stamp;
      else
        state.failed_overlays.erase(key);
    }
  } else {
    MESS_print(MESS_WARN, "MAP_process: %s overlays are not available in this version: %s\n", "Station-value",
               file.c_str());
    r = -1;
  }
  GPH_trans(2);
  return r < 0 ? -1 : 1;
}

int process_list_file(const char* name) {
  std::string path;
  std::FILE* f = FILE_open_data(name, &path);
  if (f == nullptr) {
    MESS_print(MESS_ERROR, "MAP_draw: Unable to open map list file: %s\n", name);
    return -1;
  }
  std::string bytes, error;
  const bool ok = read_stream(f, &bytes, &error);
  FILE_close(f);
  if (!ok) {
    MESS_print(MESS_ERROR, "MAP_draw: Unable to read map list file %s: %s\n", path.c_str(), error.c_str());
    return -1;
  }
  if (state.list_depth >= kMaxListDepth) {
    MESS_print(MESS_ERROR, "MAP_draw: Map list files nested too deeply: %s\n", path.c_str());
    return -1;
  }
  ++state.list_depth;
  std::size_t i = 0;
  while (i < bytes.size()) {
    while (i < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[i]))) ++i;
    std::size_t j = i;
    while (j < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[j]))) ++j;
    if (j > i) MAP_process(bytes.substr(i, j - i).c_str());
    i = j;
  }
  --state.list_depth;
  return 1;
}

// ---------------------------------------------------------------- latitude-longitude lines

std::string lat_label(float lat) {
  if (lat == 0.0f) return "EQ";
  char buf[32];
  const float a = std::fabs(lat);
  std::snprintf(buf, sizeof buf, a == std::floor(a) ? "%1.0f%c" : "%.1f%c", a, lat > 0.0f ? 'N' : 'S');
  return buf;
}
std::string lon_label(float lon) {
  if (lon == 0.0f) return "PM";
  if (std::fabs(lon) == 180.0f) return "DL";
  char buf[32];
  const float a = std::fabs(lon);
  std::snprintf(buf, sizeof buf, a == std::floor(a) ? "%1.0f%c" : "%.1f%c", a, lon > 0.0f ? 'E' : 'W');
  return buf;
}

void label(float x, float y, const std::string& text) {
  const float pos[2] = {x, y};
  gtext(pos, text.c_str());
}

bool inside(const View& v, float x, float y) { return x > v.win[0] && x < v.win[1] && y > v.win[2] && y < v.win[3]; }


void grid_label(float x, float y, const std::string& text) {
  int h = 0, va = 0;
  GPH_get_text_align(&h, &va);
  state.grid_labels.push_back({x, y, h, va, text});
}

// The queued labels, each over a rim of the page's colour that hides the lines under it.
void draw_grid_labels() {
  const float height = gget_char_ht(), width = gget_text_width();
  const int colour = gget_text_colr();
  int page = CLR_get_ind(gget_inverse() ? "white" : "black");
  if (page < 0) page = gget_inverse() ? 0 : 1;
  // A colour table without the page's colour leaves the label without its rim.
  const bool rim = gis_valid_colr(page) != 0 && (gtype_is_WIN_PIX() == 0 || gget_color_ind(page) >= 0);
  for (const GridLabel& l : state.grid_labels) {
    const float w = static_cast<float>(gtext_width(l.text.c_str())) * height * gget_expan() / 105.0f;
    const float pad = 0.15f * height;
    float x0 = l.halign == 1 ? l.x : l.x - w / 2, y0 = l.valign == 4 ? l.y : l.y - 0.5f * height;
    const float box[4] = {x0 - pad, y0 - pad, x0 + w + pad, y0 + height + pad};
    if (gtext_room_free(box) == 0) continue;
    gtext_room_claim(box, "lat-lon");
    GPH_text_align(l.halign, l.valign);
    const float pos[2] = {l.x, l.y};
    if (rim) {
      gset_text_colr_ind(page);
      gset_text_width(std::max(width, 1.0f) + 5.0f);
      gtext(pos, l.text.c_str());
      gset_text_colr_ind(colour);
      gset_text_width(width);
    }
    gtext(pos, l.text.c_str());
  }
  state.grid_labels.clear();
}

// One line of constant latitude (along == true, stepping longitude) or longitude. Points
// are projected every `step` degrees between from and to; labels go where the line meets
// the left edge (latitudes) or the bottom edge (longitudes).
void grid_line(const View& v, bool along_lat, float fixed, double from, double to, double step, const std::string& text) {
  LineOut out(v.clip);
  SeamLine line(&out, v.proj, 50.0f);
  const int n = std::max(1, static_cast<int>(std::ceil((to - from) / step - 1e-9)));
  const float o = 0.01f * (v.win[1] - v.win[0]);
  const float tol = 1e-4f * (v.win[1] - v.win[0]);
  bool have = false;
  float px = 0.0f, py = 0.0f;
  for (int i = 0; i <= n; ++i) {
    const double t = i == n ? to : from + i * step;
    float x = 0.0f, y = 0.0f;
    const float lat = along_lat ? fixed : static_cast<float>(t);
    const float lon = along_lat ? static_cast<float>(t) : fixed;
    if (!MAP_tran(&x, &y, lat, lon)) {
      line.gap();
      have = false;
      continue;
    }
    line.point(x, y);
    if (have && std::fabs(x - px) <= 50.0f) {
      if (along_lat) {
        const float e = v.win[0] + tol;
        if ((px < e) != (x < e)) {
          const float yy = py + (y - py) * (v.win[0] - px) / (x - px == 0.0f ? 1.0f : x - px);
          if (yy > v.win[2] && yy < v.win[3]) {
            GPH_text_align(1, 3);
            grid_label(v.win[0] + o, yy, text);
          }
        }
      } else {
        const float e = v.win[2] + tol * (v.win[3] - v.win[2]) / (v.win[1] - v.win[0]);
        if ((py < e) != (y < e)) {
          const float xx = px + (x - px) * (v.win[2] - py) / (y - py == 0.0f ? 1.0f : y - py);
          if (xx > v.win[0] && xx < v.win[1]) {
            GPH_text_align(2, 4);
            grid_label(xx, v.win[2] + o, text);
          }
        }
      }
    }
    px = x, py = y, have = true;
  }
}

void extra_label(const View& v, float lat, float lon, const std::string& text) {
  float x = 0.0f, y = 0.0f;
  if (MAP_tran(&x, &y, lat, lon) && inside(v, x, y)) {
    GPH_text_align(2, 3);
    grid_label(x, y, text);
  }
}

void tick(const View& v, float lat0, float lon0, float lat1, float lon1) {
  float p[4];
  if (!MAP_tran(&p[0], &p[1], lat0, lon0) || !MAP_tran(&p[2], &p[3], lat1, lon1)) return;
  if (std::hypot(p[2] - p[0], p[3] - p[1]) >= 5.0f) return;
  auto in_clip = [&](float x, float y) { return x >= v.clip[0] && x <= v.clip[1] && y >= v.clip[2] && y <= v.clip[3]; };
  if (!in_clip(p[0], p[1]) && !in_clip(p[2], p[3])) return;
  gpolyline(2, p);
}

void lines_map(const View& v, float dlat, float dlon) {
  DomainRec d;
  MAP_get_domain(&d);
  // Longitude lines: pole to pole, or short of the poles on the Lambert cone (whose apex
  // crowds them) and on domains that ask for it with their extension flag.
  double lat_end = 90.0;
  if (dlat > 0.0f && (v.proj == PROJ_LAMB || (d.ext != 0 && v.proj != PROJ_SAT)))
    lat_end = std::floor(89.0 / dlat) * dlat;
  if (dlat > 0.0f) {
    // Each latitude from one side of the seam to the other, every 2.5 degrees.
    const double from = v.plon - 180.0 + 1e-3, to = v.plon + 180.0 - 1e-3;
    // Lines wholly outside the map's box (3 degrees wider than the window) are not projected.
    auto one = [&](float lat) {
      if (lat >= v.box.lat0 && lat <= v.box.lat1) grid_line(v, true, lat, from, to, 2.5, lat_label(lat));
    };
    for (float lat = 0.0f; lat < 90.0f; lat += dlat) one(lat);
    for (float lat = -dlat; lat > -90.0f; lat -= dlat) one(lat);
  }
  if (dlon > 0.0f) {
    const double step = dlat > 0.0f ? dlat / std::ceil(dlat / 2.5) : 2.5;
    auto one = [&](float lon) {
      if (v.box.lon_half >= 180.0f || std::fabs(norm180(lon - v.box.lon_mid)) <= v.box.lon_half)
        grid_line(v, false, lon, -lat_end, lat_end, step, lon_label(lon));
    };
    for (float lon = 0.0f; lon <= 180.0f; lon += dlon) one(lon);
    for (float lon = -dlon; lon > -180.0f; lon -= dlon) one(lon);
  }
  if (state.extra > 0) {
    if (dlat > 0.0f && dlon > 0.0f) {
      const float lon_start = std::trunc(static_cast<float>((-179 / state.extra) * state.extra - state.extra / 2) / dlon) * dlon - dlon / 2.0f;
      auto on_lat = [&](float lat) {
        for (float lon = lon_start; lon <= 180.0f; lon += static_cast<float>(state.extra)) extra_label(v, lat, lon, lat_label(lat));
      };
      for (float lat = 0.0f; lat < 90.0f; lat += dlat) on_lat(lat);
      for (float lat = -dlat; lat > -90.0f; lat -= dlat) on_lat(lat);
      const float lat_start = std::trunc(static_cast<float>((-89 / state.extra) * state.extra - state.extra / 2) / dlat) * dlat - dlat / 2.0f;
      auto on_lon = [&](float lon) {
        for (float lat = lat_start; lat < 90.0f; lat += static_cast<float>(state.extra)) extra_label(v, lat, lon, lon_label(lon));
      };
      for (float lon = 0.0f; lon <= 180.0f; lon += dlon) on_lon(lon);
      for (float lon = -dlon; lon > -180.0f; lon -= dlon) on_lon(lon);
    }
  }
  if (state.dot > 0) {
    for (int lat = (-79 / state.dot) * state.dot; lat < 80; lat += state.dot) {
      if (lat < v.box.lat0 || lat > v.box.lat1) continue;
      for (int lon = (-179 / state.dot) * state.dot; lon <= 180; lon += state.dot) {
        const auto la = static_cast<float>(lat), lo = static_cast<float>(lon);
        tick(v, la, lo - 0.1f, la, lo + 0.1f);
        tick(v, la - 0.1f, lo, la + 0.1f, lo);
      }
    }
  }
}

// Diagrams: lines across the panel at its x values every dlat and its y values every
// dlon, numbered below and to the left of the panel on the page.
void lines_diagram(const View& v, float dlat, float dlon) {
  float view[4];
  GPH_get_view(2, view);
  char buf[32];
  if (dlat > 0.0f && (v.win[1] - v.win[0]) / dlat < 1000.0f) {
    for (float x = v.win[0]; x <= v.win[1] + 1e-4f * (v.win[1] - v.win[0]); x += dlat) {
      GPH_line(x, v.win[2], x, v.win[3]);
      const float xs = xW_trans(2, 1, x);
      GPH_trans(1);
      GPH_text_align(2, 1);
      label(xs, view[2] - 0.01f, set_num(buf, "2.2.0", x));
      GPH_trans(2);
    }
  }
  if (dlon > 0.0f && (v.win[3] - v.win[2]) / dlon < 1000.0f) {
    for (float y = v.win[2]; y <= v.win[3] + 1e-4f * (v.win[3] - v.win[2]); y += dlon) {
      GPH_line(v.win[0], y, v.win[1], y);
      const float ys = yW_trans(2, 1, y);
      GPH_trans(1);
      GPH_text_align(3, 3);
      label(view[0] - 0.01f, ys, set_num(buf, "2.2.0", y));
      GPH_trans(2);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------- interface

void MAP_reset_state() { state = MapState{}; }

int MAP_setup(const DomainRec* domain) {
  const int set = MAP_domain(domain);
  if (set == 1) {
    float lim[4];
    MAP_get_limits(lim);
    if (lim[1] > lim[0] && lim[3] > lim[2]) GPH_win(2, lim);
  }
  GPH_trans(2);
  return set;
}

void MAP_file(const char* list) {
  guard("MAP_file", [&] {
    state.map_name = list != nullptr ? list : "";
    return 0;
  });
}
void MAP_set_format(const char* attributes) {
  guard("MAP_set_format", [&] {
    state.map_format = attributes != nullptr ? attributes : "";
    return 0;
  });
}
void MAP_fill_cont(int on) { state.fill_cont = on; }
void MAP_fill_partial(int on) { state.fill_partial = on; }
int MAP_get_fill_cont() { return state.fill_cont; }

void MAP_latlon(int dot_in, int extra_in, float dlat, float dlon) {
  state.dot = std::max(0, dot_in);
  state.extra = std::max(0, extra_in);
  state.latln = dlat;
  state.lonln = dlon;
  state.latlon_set = true;
}

void MAP_get_latlon(float* dlat, float* dlon) {
  const float a = state.latlon_set ? state.latln : auto_spacing();
  const float b = state.latlon_set ? state.lonln : a;
  if (dlat != nullptr) *dlat = a;
  if (dlon != nullptr) *dlon = b;
}

void MAP_get_window(float rect[4]) { GPH_get_win(2, rect); }
float MAP_get_vert() {
  float r[4];
  GPH_get_win(2, r);
  return r[3] - r[2];
}
float MAP_get_hor() {
  float r[4];
  GPH_get_win(2, r);
  return r[1] - r[0];
}

void MAP_set_overlay_func(const char* kind, MapOverlayFunc func) {
  if (kind == nullptr) return;
  guard("MAP_set_overlay_func", [&] {
    state.overlay_funcs[kind] = func;
    return 0;
  });
}

void MAP_clear_cache() {
  state.cache.clear();
  state.reported_missing.clear();
  state.reported_refused.clear();
  state.failed_overlays.clear();
}

void MAP_get_counts(long* lines, long* points) {
  if (lines != nullptr) *lines = state.drawn_lines;
  if (points != nullptr) *points = state.projected_points;
  state.drawn_lines = 0;
  state.projected_points = 0;
}

namespace {

int draw_impl(int mask) {
  if (FLAG_getplot(DRAW_MAP) == 0) return 0;
  state.over = mask;
  GPH_trans(2);
  GPH_line_attr(nullptr);
  GPH_text_font(nullptr);
  const char* res = RES_get("map_file");
  std::string list;
  if (res != nullptr && *res != '\0')
    list = res;
  else if (!state.map_name.empty())
    list = state.map_name;
  else {
    const float clat = MAP_get_clat(), clon = MAP_get_clon();
    const bool america = clat >= 25.0f && clat <= 80.0f && clon >= -160.0f && clon <= -65.0f && vert_size() < 75.0f;
    list = america ? "zav.map" : "cont.map,country.map";
  }
  state.reg_found = 1;
  state.drawing = true;
  state.items_seen = 0;
  state.items_dropped.clear();
  for (const std::string& item : split_list(list)) MAP_process(item.c_str());
  state.drawing = false;
  if (!state.items_dropped.empty()) {
    std::string names;
    for (const std::string& d : state.items_dropped) {
      if (names.size() > 200) {
        names += ",...";
        break;
      }
      names += (names.empty() ? "" : ",") + d;
    }
    const std::string message =
        format("MAP_draw: More than %ld map items: %ld left out: ", MAP_MAX_ITEMS, static_cast<long>(state.items_dropped.size())) + names + "\n";
    if (state.reported_refused.insert(message).second) MESS_print(MESS_WARN, "%s", message.c_str());
  }
  float dlat = 0.0f, dlon = 0.0f;
  MAP_get_latlon(&dlat, &dlon);
  if ((mask & 4) != 0 && dlat > 0.0f && lalo_attributes(nullptr)) MAP_lines(dlat, dlon);
  GPH_line_attr(nullptr);
  return 1;
}

int process_impl(const char* item_in) {
  if (item_in == nullptr || *item_in == '\0') return 0;
  const char* p = item_in;
  int bit = 4;
  if (*p == '-' || *p == '+') {
    bit = *p == '-' ? 1 : 2;
    ++p;
  }
  // A region delimits the items that follow it whatever their prefixes, so it counts for
  // every mask.
  if (*p == '[') {
    region_item(p);
    return 0;
  }
  if ((state.over & bit) == 0) return 0;
  if (state.reg_found != 1 && state.reg_found != 2) return 0;
  // Every item costs a drawing over the whole map: a thousand of them take minutes.
  if (state.drawing && ++state.items_seen > MAP_MAX_ITEMS) {
    state.items_dropped.emplace_back(item_in);
    return 0;
  }
  if (strnicmp(p, "fi:", 3) == 0) return process_list_file(p + 3);
  if (!size_conditions(p, vert_size())) return 0;
  if (*p == '\0') return 0;
  if (strnicmp(p, "im:", 3) == 0) return overlay("im", p + 3, "Map-image: %s\n");
  if (strnicmp(p, "if:", 3) == 0) {
    GPH_trans(1);
    return overlay("if", p + 3, "Map-image: %s\n");
  }
  if (strnicmp(p, "mf:", 3) == 0) return overlay("mf", p + 3, "Map-metafile: %s\n");
  if (strnicmp(p, "rf:", 3) == 0) return overlay("rf", p + 3, "Map-rawfile: %s\n");
  if (strnicmp(p, "lalo", 4) == 0 && (p[4] == '\0' || p[4] == ':')) {
    // "lalo[:dlat[:dlon]][:attributes]": the leading fields that are numbers are spacings.
    float dlat = 5.0f, dlon = -1.0f;
    std::string rest = p[4] == ':' ? p + 5 : "";
    for (float* spacing : {&dlat, &dlon}) {
      const std::size_t c = rest.find(':');
      float value = 0.0f;
      if (!parse_float(rest.substr(0, c), &value)) break;
      *spacing = value;
      rest = c == std::string::npos ? "" : rest.substr(c + 1);
    }
    if (dlon < 0.0f) dlon = dlat;
    MESS_print(MESS_MESS, "Map-lalo: %.1f,%.1f\n", dlat, dlon);
    if (lalo_attributes(rest.c_str())) MAP_lines(dlat, dlon);
    GPH_line_attr(nullptr);
    return 1;
  }
  // A map file, with its own attributes after a colon.
  std::string name = p, own;
  if (const char* c = std::strchr(p, ':')) {
    name.assign(p, static_cast<std::size_t>(c - p));
    own = c + 1;
  }
  MESS_print(MESS_MESS, "Map: %s\n", name.c_str());
  GPH_line_attr(nullptr);
  GPH_fill_attr(nullptr);
  AttribRec a;
  ATTRIB_init(&a);
  if (!own.empty())
    ATTRIB_parse(own.c_str(), &a);
  else if (!state.map_format.empty())
    ATTRIB_parse(state.map_format.c_str(), &a);
  else if (state.fill_cont)
    // Over colour fill; a fill that leaves parts of the window's black page unfilled (no
    // rain) would lose black lines there: grey shows on both.
    default_attributes("color_cmap", state.fill_partial && !gget_inverse() ? "gray" : "black", "", &a);
  else
    default_attributes("color_map", "red", "", &a);
  const std::shared_ptr<const MapData> data = load_map(name);
  if (data == nullptr) {
    if (state.reported_missing.insert(name).second) MESS_print(MESS_ERROR, "MAP_process: Map file not found: %s\n", name.c_str());
    return -1;
  }
  if (a.color == -1) return 1;
  const bool filled = a.fill != MISSING_INT;
  GPH_line_attr(&a);
  if (filled) GPH_fill_attr(&a);
  draw_data(*data, filled);
  GPH_line_attr(nullptr);
  return 1;
}

int map_impl(std::FILE* stream) {
  if (stream == nullptr) return -1;
  std::string bytes, error;
  MapData d;
  if (!read_stream(stream, &bytes, &error)) {
    MESS_print(MESS_ERROR, "MAP_map: Damaged map file: %s\n", error.c_str());
    return -1;
  }
  parse_map(bytes, &d);
  if (!d.error.empty()) MESS_print(MESS_ERROR, "MAP_map: Damaged map file: %s\n", d.error.c_str());
  return draw_data(d, false);
}

int lines_impl(float dlat, float dlon) {
  if (dlat == MISSING || dlon == MISSING) return -1;
  View v;
  if (!make_view(&v)) return 0;
  if (is_map_proj(v.proj)) {
    // Each line costs hundreds of projected points: spacings of hundredths of a degree
    // would take minutes and fill the map with ink.
    const double lines = (dlat > 0.0f ? 180.0 / dlat : 0.0) + (dlon > 0.0f ? 360.0 / dlon : 0.0);
    if (lines > MAP_MAX_GRID_LINES) {
      const float s = auto_spacing();
      if (dlat != state.warned_dlat || dlon != state.warned_dlon)
        MESS_print(MESS_WARN,
                   "MAP_lines: Lines every %g by %g degrees would be %.0f lines, more than %d: drawn every %g "
                   "degrees\n",
                   dlat, dlon, lines, MAP_MAX_GRID_LINES, s);
      state.warned_dlat = dlat, state.warned_dlon = dlon;
      dlat = dlon = s;
    }
    state.grid_labels.clear();
    lines_map(v, dlat, dlon);
    draw_grid_labels();
  } else {
    lines_diagram(v, dlat, dlon);
  }
  GPH_text_align(0, 0);
  GPH_line_attr(nullptr);
  GPH_text_attr(nullptr, 0.0f);
  return 1;
}

int circle_impl(float x, float y, float r) {
  View v;
  if (!make_view(&v)) return 0;
  LineOut out(v.clip);
  for (int k = 0; k <= 48; ++k) {
    float px = 0.0f, py = 0.0f;
    if (MAP_offset(&px, &py, x, y, 7.5f * static_cast<float>(k), r) && px != MISSING)
      out.point(px, py);
    else
      out.end();
  }
  return 1;
}

}  // namespace

int MAP_draw(int mask) { return guard("MAP_draw", [&] { return draw_impl(mask); }); }
int MAP_process(const char* item) { return guard("MAP_process", [&] { return process_impl(item); }); }
int MAP_map(std::FILE* stream) { return guard("MAP_map", [&] { return map_impl(stream); }); }
int MAP_lines(float dlat, float dlon) { return guard("MAP_lines", [&] { return lines_impl(dlat, dlon); }); }
int MAP_draw_circle(float x, float y, float r) { return guard("MAP_draw_circle", [&] { return circle_impl(x, y, r); }); }
