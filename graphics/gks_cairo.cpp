// The raster device: PNG, PDF and SVG pages drawn with Cairo.
#include "graphics/gks_cairo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/mess.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"

#ifdef STACONT_HAVE_CAIRO

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <dlfcn.h>
#include <png.h>

#include <array>
#include <condition_variable>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"

namespace {

// Cairo is loaded by name when the raster device first opens, not at start-up: with the
// dozen libraries it brings (pixman, fonts, X rendering) it took a PostScript or plotter run
// about a millisecond and a half more at every start.
struct CairoApi {
  bool loaded = false;
  decltype(&::cairo_clip) cairo_clip = nullptr;
  decltype(&::cairo_close_path) cairo_close_path = nullptr;
  decltype(&::cairo_create) cairo_create = nullptr;
  decltype(&::cairo_destroy) cairo_destroy = nullptr;
  decltype(&::cairo_fill) cairo_fill = nullptr;
  decltype(&::cairo_fill_preserve) cairo_fill_preserve = nullptr;
  decltype(&::cairo_get_source) cairo_get_source = nullptr;
  decltype(&::cairo_image_surface_create) cairo_image_surface_create = nullptr;
  decltype(&::cairo_image_surface_get_data) cairo_image_surface_get_data = nullptr;
  decltype(&::cairo_image_surface_get_format) cairo_image_surface_get_format = nullptr;
  decltype(&::cairo_image_surface_get_height) cairo_image_surface_get_height = nullptr;
  decltype(&::cairo_image_surface_get_stride) cairo_image_surface_get_stride = nullptr;
  decltype(&::cairo_image_surface_get_width) cairo_image_surface_get_width = nullptr;
  decltype(&::cairo_line_to) cairo_line_to = nullptr;
  decltype(&::cairo_mask) cairo_mask = nullptr;
  decltype(&::cairo_matrix_init_scale) cairo_matrix_init_scale = nullptr;
  decltype(&::cairo_move_to) cairo_move_to = nullptr;
  decltype(&::cairo_paint) cairo_paint = nullptr;
  decltype(&::cairo_pattern_create_for_surface) cairo_pattern_create_for_surface = nullptr;
  decltype(&::cairo_pattern_destroy) cairo_pattern_destroy = nullptr;
  decltype(&::cairo_pattern_set_extend) cairo_pattern_set_extend = nullptr;
  decltype(&::cairo_pattern_set_filter) cairo_pattern_set_filter = nullptr;
  decltype(&::cairo_pattern_set_matrix) cairo_pattern_set_matrix = nullptr;
  decltype(&::cairo_pdf_surface_create_for_stream) cairo_pdf_surface_create_for_stream = nullptr;
  decltype(&::cairo_rectangle) cairo_rectangle = nullptr;
  decltype(&::cairo_reset_clip) cairo_reset_clip = nullptr;
  decltype(&::cairo_restore) cairo_restore = nullptr;
  decltype(&::cairo_save) cairo_save = nullptr;
  decltype(&::cairo_set_antialias) cairo_set_antialias = nullptr;
  decltype(&::cairo_set_dash) cairo_set_dash = nullptr;
  decltype(&::cairo_set_line_cap) cairo_set_line_cap = nullptr;
  decltype(&::cairo_set_line_join) cairo_set_line_join = nullptr;
  decltype(&::cairo_set_line_width) cairo_set_line_width = nullptr;
  decltype(&::cairo_set_source_rgb) cairo_set_source_rgb = nullptr;
  decltype(&::cairo_set_source_surface) cairo_set_source_surface = nullptr;
  decltype(&::cairo_show_page) cairo_show_page = nullptr;
  decltype(&::cairo_status) cairo_status = nullptr;
  decltype(&::cairo_stroke) cairo_stroke = nullptr;
  decltype(&::cairo_surface_destroy) cairo_surface_destroy = nullptr;
  decltype(&::cairo_surface_finish) cairo_surface_finish = nullptr;
  decltype(&::cairo_surface_flush) cairo_surface_flush = nullptr;
  decltype(&::cairo_surface_mark_dirty) cairo_surface_mark_dirty = nullptr;
  decltype(&::cairo_surface_status) cairo_surface_status = nullptr;
  decltype(&::cairo_surface_write_to_png_stream) cairo_surface_write_to_png_stream = nullptr;
  decltype(&::cairo_svg_surface_create_for_stream) cairo_svg_surface_create_for_stream = nullptr;
  decltype(&::cairo_svg_surface_set_document_unit) cairo_svg_surface_set_document_unit = nullptr;
};

template <class Visit>
void each(CairoApi& a, Visit&& v) {
  v("cairo_clip", a.cairo_clip);
  v("cairo_close_path", a.cairo_close_path);
  v("cairo_create", a.cairo_create);
  v("cairo_destroy", a.cairo_destroy);
  v("cairo_fill", a.cairo_fill);
  v("cairo_fill_preserve", a.cairo_fill_preserve);
  v("cairo_get_source", a.cairo_get_source);
  v("cairo_image_surface_create", a.cairo_image_surface_create);
  v("cairo_image_surface_get_data", a.cairo_image_surface_get_data);
  v("cairo_image_surface_get_format", a.cairo_image_surface_get_format);
  v("cairo_image_surface_get_height", a.cairo_image_surface_get_height);
  v("cairo_image_surface_get_stride", a.cairo_image_surface_get_stride);
  v("cairo_image_surface_get_width", a.cairo_image_surface_get_width);
  v("cairo_line_to", a.cairo_line_to);
  v("cairo_mask", a.cairo_mask);
  v("cairo_matrix_init_scale", a.cairo_matrix_init_scale);
  v("cairo_move_to", a.cairo_move_to);
  v("cairo_paint", a.cairo_paint);
  v("cairo_pattern_create_for_surface", a.cairo_pattern_create_for_surface);
  v("cairo_pattern_destroy", a.cairo_pattern_destroy);
  v("cairo_pattern_set_extend", a.cairo_pattern_set_extend);
  v("cairo_pattern_set_filter", a.cairo_pattern_set_filter);
  v("cairo_pattern_set_matrix", a.cairo_pattern_set_matrix);
  v("cairo_pdf_surface_create_for_stream", a.cairo_pdf_surface_create_for_stream);
  v("cairo_rectangle", a.cairo_rectangle);
  v("cairo_reset_clip", a.cairo_reset_clip);
  v("cairo_restore", a.cairo_restore);
  v("cairo_save", a.cairo_save);
  v("cairo_set_antialias", a.cairo_set_antialias);
  v("cairo_set_dash", a.cairo_set_dash);
  v("cairo_set_line_cap", a.cairo_set_line_cap);
  v("cairo_set_line_join", a.cairo_set_line_join);
  v("cairo_set_line_width", a.cairo_set_line_width);
  v("cairo_set_source_rgb", a.cairo_set_source_rgb);
  v("cairo_set_source_surface", a.cairo_set_source_surface);
  v("cairo_show_page", a.cairo_show_page);
  v("cairo_status", a.cairo_status);
  v("cairo_stroke", a.cairo_stroke);
  v("cairo_surface_destroy", a.cairo_surface_destroy);
  v("cairo_surface_finish", a.cairo_surface_finish);
  v("cairo_surface_flush", a.cairo_surface_flush);
  v("cairo_surface_mark_dirty", a.cairo_surface_mark_dirty);
  v("cairo_surface_status", a.cairo_surface_status);
  v("cairo_surface_write_to_png_stream", a.cairo_surface_write_to_png_stream);
  v("cairo_svg_surface_create_for_stream", a.cairo_svg_surface_create_for_stream);
  v("cairo_svg_surface_set_document_unit", a.cairo_svg_surface_set_document_unit);
}

CairoApi load_cairo() {
  CairoApi a;
  std::string why;
  if (void* handle = dlopen(STACONT_CAIRO_LIBRARY, RTLD_NOW | RTLD_LOCAL); handle != nullptr) {
    each(a, [&](const char* name, auto& f) {
      f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(dlsym(handle, name));
      if (f == nullptr && why.empty()) why = std::string(name) + " is missing from " + STACONT_CAIRO_LIBRARY;
    });
    a.loaded = why.empty();
  } else {
    const char* error = dlerror();
    why = error != nullptr ? error : STACONT_CAIRO_LIBRARY;
  }
  if (!a.loaded) MESS_print(MESS_ERROR, "gopen_ws: Unable to load the Cairo library: %s\n", why.c_str());
  return a;
}

// Loaded once, by the program's thread at the device's first opening, before any worker
// starts; every later call finds it loaded.
const CairoApi& lib() {
  static const CairoApi a = load_cairo();
  return a;
}

}  // namespace

namespace {

enum class Format { png, pdf, svg };

constexpr int default_width = 640, default_height = 512;
constexpr int min_side = GRASTER_MIN_SIDE, max_side = GRASTER_MAX_SIDE;

struct SurfaceFree {
  void operator()(cairo_surface_t* s) const { lib().cairo_surface_destroy(s); }
};
struct ContextFree {
  void operator()(cairo_t* c) const { lib().cairo_destroy(c); }
};
struct PatternFree {
  void operator()(cairo_pattern_t* p) const { lib().cairo_pattern_destroy(p); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceFree>;
using Context = std::unique_ptr<cairo_t, ContextFree>;
using Pattern = std::unique_ptr<cairo_pattern_t, PatternFree>;

// Options of the device string, gathered before the page is made.
struct Options {
  Format format = Format::png;
  bool format_given = false;
  int width = 0, height = 0;
  bool memory = false;
  bool antialias = true;
  float width_factor = 1.0F;
};

struct Rgb {
  double r = 0.0, g = 0.0, b = 0.0;
};

// ---- a page's drawing as a list of Cairo calls ----
//
// The device keeps what it draws on a page as the Cairo calls that draw it and makes
// them on the surface when the pixels are wanted: at the end of the page, or when a
// picture is read or pasted. A PNG file's page can then be drawn and encoded by a worker
// thread while the program computes the next hour; the calls are the same, in the same
// order, so the pixels are too.

enum class Op : std::uint8_t {
  path,  // n points from the coordinates: a move and n - 1 lines
  close,
  rgb,
  width,
  dash,  // n lengths in v
  cap,
  join,
  antialias,
  fill,
  fill_preserve,
  stroke,
  paint,
  rect,
  clip,
  reset_clip,
  save,
  restore,
  mask,  // pattern n, its 8 rows from the coordinates
};

struct Call {
  Op op;
  int n = 0;
  double v[4] = {0.0, 0.0, 0.0, 0.0};
};

struct Sheet {
  std::vector<Call> calls;
  std::vector<double> xy;
  bool failed = false;  // memory ran out while recording: the page cannot be made
  void clear() {
    calls.clear();
    xy.clear();
    failed = false;
  }
};

// Pattern masks made for one surface, each from the rows recorded with its first use.
struct Masks {
  double scale = 1.0;
  std::array<Pattern, GKS_NUM_PATTERNS> patterns;

  // Pattern index as an 8 by 8 mask repeated from the page's top-left corner, as the
  // window lays its stipples; cells grow with the picture.
  cairo_pattern_t* get(int index, const double* rows) {
    Pattern& p = patterns[static_cast<std::size_t>(index)];
    if (p) return p.get();
    Surface s(lib().cairo_image_surface_create(CAIRO_FORMAT_A8, 8, 8));
    if (lib().cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    lib().cairo_surface_flush(s.get());
    unsigned char* data = lib().cairo_image_surface_get_data(s.get());
    const int stride = lib().cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < 8; ++y) {
      const auto row = static_cast<unsigned>(rows[y]);
      for (int x = 0; x < 8; ++x) data[y * stride + x] = (row >> x) & 1U ? 255 : 0;
    }
    lib().cairo_surface_mark_dirty(s.get());
    p.reset(lib().cairo_pattern_create_for_surface(s.get()));
    lib().cairo_pattern_set_extend(p.get(), CAIRO_EXTEND_REPEAT);
    lib().cairo_pattern_set_filter(p.get(), CAIRO_FILTER_NEAREST);
    cairo_matrix_t m;
    lib().cairo_matrix_init_scale(&m, 1.0 / scale, 1.0 / scale);
    lib().cairo_pattern_set_matrix(p.get(), &m);
    return p.get();
  }
};

void play(cairo_t* c, const Sheet& sheet, Masks* masks) {
  const double* xy = sheet.xy.data();
  for (const Call& k : sheet.calls) {
    switch (k.op) {
      case Op::path:
        lib().cairo_move_to(c, xy[0], xy[1]);
        for (int i = 1; i < k.n; ++i) lib().cairo_line_to(c, xy[2 * i], xy[2 * i + 1]);
        xy += 2 * static_cast<std::ptrdiff_t>(k.n);
        break;
      case Op::close: lib().cairo_close_path(c); break;
      case Op::rgb: lib().cairo_set_source_rgb(c, k.v[0], k.v[1], k.v[2]); break;
      case Op::width: lib().cairo_set_line_width(c, k.v[0]); break;
      case Op::dash: lib().cairo_set_dash(c, k.n > 0 ? k.v : nullptr, k.n, 0.0); break;
      case Op::cap: lib().cairo_set_line_cap(c, static_cast<cairo_line_cap_t>(k.n)); break;
      case Op::join: lib().cairo_set_line_join(c, static_cast<cairo_line_join_t>(k.n)); break;
      case Op::antialias: lib().cairo_set_antialias(c, static_cast<cairo_antialias_t>(k.n)); break;
      case Op::fill: lib().cairo_fill(c); break;
      case Op::fill_preserve: lib().cairo_fill_preserve(c); break;
      case Op::stroke: lib().cairo_stroke(c); break;
      case Op::paint: lib().cairo_paint(c); break;
      case Op::rect: lib().cairo_rectangle(c, k.v[0], k.v[1], k.v[2], k.v[3]); break;
      case Op::clip: lib().cairo_clip(c); break;
      case Op::reset_clip: lib().cairo_reset_clip(c); break;
      case Op::save: lib().cairo_save(c); break;
      case Op::restore: lib().cairo_restore(c); break;
      case Op::mask: {
        cairo_pattern_t* mask = masks->get(k.n, xy);
        xy += 8;
        if (mask != nullptr) lib().cairo_mask(c, mask);
        break;
      }
    }
  }
}

// ---- pages drawn and encoded by worker threads ----

bool write_page_png(cairo_surface_t* page, std::string* out);

// A finished PNG page on its way to a worker: its surface, and the calls still to be made
// on it (none when the program's thread has drawn it already); then its PNG bytes (empty:
// it could not be made).
struct Job {
  int number = 0;
  Surface surface;
  Sheet sheet;
  double scale = 1.0;
  std::string bytes;
  bool done = false;
};

void print_page(Job* job) {
  job->bytes.clear();
  try {
    if (!job->sheet.calls.empty()) {
      Context cr(lib().cairo_create(job->surface.get()));
      if (lib().cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return;
      Masks masks;
      masks.scale = job->scale;
      play(cr.get(), job->sheet, &masks);
    }
    Sheet().calls.swap(job->sheet.calls);
    Sheet().xy.swap(job->sheet.xy);
    lib().cairo_surface_flush(job->surface.get());
    if (!write_page_png(job->surface.get(), &job->bytes)) job->bytes.clear();
  } catch (const std::exception&) {
    job->bytes.clear();
  }
  job->surface.reset();
}

// Pages are handed out in the order they were given, each when its worker is done.
class Press {
 public:
  Press() = default;
  Press(const Press&) = delete;
  Press& operator=(const Press&) = delete;
  ~Press() { stop(); }

  // Starts up to n workers; false when none could be started.
  bool start(unsigned n) {
    stop();
    stopping_ = false;
    try {
      for (unsigned i = 0; i < n; ++i) threads_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    return !threads_.empty();
  }
  bool running() const { return !threads_.empty(); }
  std::size_t workers() const { return threads_.size(); }

  // False when the job could not be queued (it then stays the caller's).
  bool submit(std::unique_ptr<Job>* job) {
    std::lock_guard<std::mutex> lock(m_);
    Job* raw = job->get();
    try {
      order_.push_back(std::move(*job));
    } catch (const std::bad_alloc&) {
      return false;
    }
    try {
      queue_.push_back(raw);
    } catch (const std::bad_alloc&) {
      *job = std::move(order_.back());
      order_.pop_back();
      return false;
    }
    work_cv_.notify_one();
    return true;
  }

  std::size_t in_flight() {
    std::lock_guard<std::mutex> lock(m_);
    return order_.size();
  }

  // The earliest page given and not yet taken: false when there is none, or when it is
  // not done and wait is false.
  bool next(bool wait, int* number, std::string* bytes) {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
      if (order_.empty()) return false;
      if (order_.front()->done) {
        *number = order_.front()->number;
        bytes->swap(order_.front()->bytes);
        order_.pop_front();
        return true;
      }
      if (!wait) return false;
      done_cv_.wait(lock);
    }
  }

  // Ends the workers; pages not yet taken are dropped.
  void stop() {
    {
      std::lock_guard<std::mutex> lock(m_);
      stopping_ = true;
      work_cv_.notify_all();
    }
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    queue_.clear();
    order_.clear();
  }

 private:
  void work() {
    for (;;) {
      Job* job = nullptr;
      {
        std::unique_lock<std::mutex> lock(m_);
        work_cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        job = queue_.front();
        queue_.pop_front();
      }
      print_page(job);
      std::lock_guard<std::mutex> lock(m_);
      job->done = true;
      done_cv_.notify_all();
    }
  }

  std::mutex m_;
  std::condition_variable work_cv_, done_cv_;
  std::deque<Job*> queue_;                    // waiting for a worker
  std::deque<std::unique_ptr<Job>> order_;    // given and not yet taken, in order
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Workers for the pages of a PNG file: STACONT_RASTER_THREADS, else one a processor
// (at most four); 0 draws every page on the program's own thread.
unsigned press_workers() {
  if (const char* env = std::getenv("STACONT_RASTER_THREADS"); env != nullptr && *env != '\0') {
    char* end = nullptr;
    const long n = std::strtol(env, &end, 10);
    if (end != env && *end == '\0' && n >= 0) return static_cast<unsigned>(std::min(n, 16L));
  }
  return std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
}

// The one raster or PDF/SVG page being drawn: the options read from the device string,
// the surface and its context, the calls not yet made on it, the pages written so far
// and the colours.
struct CairoState {
  Options opt;
  bool open_now = false;
  Format format = Format::png;
  bool memory = false;
  bool antialias = true;
  int width = default_width, height = default_height;
  // Device units per window pixel for line widths, dashes and pattern cells.
  double scale = 1.0;
  float width_factor = 1.0F;
  std::string name;
  Surface surface;
  Context cr;
  Sheet sheet;
  // Calls of this page were already made on the surface (its pixels were read or a
  // picture pasted): the rest is made there too.
  bool drawn_here = false;
  Masks masks;
  // The rows of each pattern at its first use in this output.
  std::array<std::optional<std::array<unsigned char, 8>>, GKS_NUM_PATTERNS> pattern_rows;
  // A PDF goes to its stream page after page; an SVG page is made in memory.
  GksStream pdf_out;
  std::string svg_bytes;
  bool page_marked = false;
  int pages_done = 0;
  // The first finished PNG or SVG page waits here until it is known whether more follow:
  // a single page keeps the name given, several are numbered.
  std::string pending;
  bool write_failed = false;
  std::array<Rgb, GKS_BACKGROUND_SLOT + 1> colors;
  bool clip_set = false;
  double clip_box[4] = {0.0, 0.0, 0.0, 0.0};
  Press press;
};
CairoState st;

void rec(Op op, int n = 0, double a = 0.0, double b = 0.0, double c = 0.0, double d = 0.0) {
  try {
    st.sheet.calls.push_back(Call{op, n, {a, b, c, d}});
  } catch (const std::bad_alloc&) {
    st.sheet.failed = true;
  }
}

// Makes the calls recorded so far on the page's own surface.
void draw_here() {
  if (!st.cr) return;
  if (!st.sheet.calls.empty()) {
    st.masks.scale = st.scale;
    play(st.cr.get(), st.sheet, &st.masks);
  }
  const bool failed = st.sheet.failed;
  st.sheet.clear();
  st.sheet.failed = failed;
  st.drawn_here = true;
}

int slot(int index) { return index == GKS_BACKGROUND ? GKS_BACKGROUND_SLOT : index; }

// Device units (print units: y upwards, pixel centres at whole numbers) to Cairo's
// coordinates (y downwards, pixel centres at halves).
double cx(float x) { return static_cast<double>(x) + 0.5; }
double cy(float y) { return static_cast<double>(st.height) - 0.5 - static_cast<double>(y); }

// Print colours are drawn like the window draws them: in colour 1.
void set_color(int index) {
  if (index >= GKS_PRINT_FIRST && index <= GKS_PRINT_LAST) index = 1;
  const Rgb& c = (index >= GKS_BACKGROUND && index <= GKS_BACKGROUND_SLOT) ? st.colors[slot(index)] : st.colors[1];
  rec(Op::rgb, 0, c.r, c.g, c.b);
}

// A width of 0 or 1 is the window's thin line of one pixel.
double line_width(float w) {
  const double base = std::isfinite(w) && w > 1.0F ? w : 1.0;
  return base * st.width_factor * st.scale;
}

// Numbers a call reads from the coordinates, all or none: a call recorded later must not
// read those of one that failed.
bool put(int n, const double* values) {
  const std::size_t size = st.sheet.xy.size();
  try {
    st.sheet.xy.insert(st.sheet.xy.end(), values, values + n);
    return true;
  } catch (const std::bad_alloc&) {
    st.sheet.xy.resize(size);
    st.sheet.failed = true;
    return false;
  }
}

void path(int n, const float* dev) {
  if (n < 1) return;
  const std::size_t size = st.sheet.xy.size();
  try {
    for (int i = 0; i < n; ++i) st.sheet.xy.push_back(cx(dev[2 * i])), st.sheet.xy.push_back(cy(dev[2 * i + 1]));
  } catch (const std::bad_alloc&) {
    st.sheet.xy.resize(size);
    st.sheet.failed = true;
    return;
  }
  rec(Op::path, n);
}

void stroke(int n, const float* dev, int color, float w, int type) {
  set_color(color);
  rec(Op::width, 0, line_width(w));
  const unsigned char* d = nullptr;
  const int nd = std::clamp(gget_dash(type, &d), 0, 4);
  double dashes[4] = {0.0, 0.0, 0.0, 0.0};
  for (int i = 0; i < nd; ++i) dashes[i] = d[i] * st.scale;
  rec(Op::dash, nd, dashes[0], dashes[1], dashes[2], dashes[3]);
  path(n, dev);
  rec(Op::stroke);
}

void apply_clip() {
  rec(Op::reset_clip);
  if (!st.clip_set) return;
  rec(Op::rect, 0, st.clip_box[0], st.clip_box[1], st.clip_box[2] - st.clip_box[0], st.clip_box[3] - st.clip_box[1]);
  rec(Op::clip);
}

void paint_background() {
  rec(Op::save);
  rec(Op::reset_clip);
  set_color(GKS_BACKGROUND);
  rec(Op::paint);
  rec(Op::restore);
}

cairo_status_t to_string(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// ---- PNG pages ----

// Map pages are large areas of one colour: unfiltered rows at zlib level 2 come out smaller
// than the library's default (level 6, every filter tried on every row) in a third of the
// time, the same pixels.
constexpr int png_level = 2;

void png_append(png_structp png, png_bytep data, png_size_t length) {
  bool failed = false;
  try {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::exception&) {
    failed = true;
  }
  if (failed) png_error(png, "out of memory");
}

void png_no_flush(png_structp) {}

[[noreturn]] void png_fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void png_quiet(png_structp, png_const_charp) {}

// The page as a PNG file in out; false when libpng fails (out is then cleared).
bool page_png(cairo_surface_t* page, std::string* out) {
  out->clear();
  if (lib().cairo_image_surface_get_format(page) != CAIRO_FORMAT_RGB24) return false;
  const int w = lib().cairo_image_surface_get_width(page), h = lib().cairo_image_surface_get_height(page);
  const int stride = lib().cairo_image_surface_get_stride(page);
  unsigned char* data = lib().cairo_image_surface_get_data(page);
  if (data == nullptr || w <= 0 || h <= 0) return false;
  std::vector<png_bytep> rows;
  try {
    rows.resize(static_cast<std::size_t>(h));
  } catch (const std::exception&) {
    return false;
  }
  for (int y = 0; y < h; ++y) rows[static_cast<std::size_t>(y)] = data + static_cast<std::ptrdiff_t>(y) * stride;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_quiet);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    out->clear();
    return false;
  }
  png_set_write_fn(png, out, png_append, png_no_flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, png_level);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_write_info(png, info);
  // A pixel is a native 32-bit word 0x00RRGGBB: B, G, R, unused on a little-endian machine.
  const std::uint32_t probe = 1;
  if (*reinterpret_cast<const unsigned char*>(&probe) == 1) {
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
  } else {
    png_set_filler(png, 0, PNG_FILLER_BEFORE);
  }
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// The page as PNG: our own encoder, else the library's.
bool write_page_png(cairo_surface_t* page, std::string* out) {
  if (page_png(page, out)) return true;
  return lib().cairo_surface_write_to_png_stream(page, to_string, out) == CAIRO_STATUS_SUCCESS;
}

cairo_status_t to_stream(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<GksStream*>(closure)->write(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The first drawing of a page. A PDF page gets its background only now: a page that
// stays blank after the last clear must not become an extra page.
void mark() {
  if (st.page_marked) return;
  if (st.format == Format::pdf) paint_background();
  st.page_marked = true;
}

bool begin_page() {
  st.sheet.clear();
  st.drawn_here = false;
  if (st.format == Format::svg) {
    st.svg_bytes.clear();
    st.surface.reset(lib().cairo_svg_surface_create_for_stream(to_string, &st.svg_bytes, st.width, st.height));
    // Pixels, so that an SVG viewer shows it at the size of the PNG.
    if (lib().cairo_surface_status(st.surface.get()) == CAIRO_STATUS_SUCCESS)
      lib().cairo_svg_surface_set_document_unit(st.surface.get(), CAIRO_SVG_UNIT_PX);
  } else if (st.format == Format::png) {
    st.surface.reset(lib().cairo_image_surface_create(CAIRO_FORMAT_RGB24, st.width, st.height));
  }
  if (!st.surface || lib().cairo_surface_status(st.surface.get()) != CAIRO_STATUS_SUCCESS) return false;
  st.cr.reset(lib().cairo_create(st.surface.get()));
  if (lib().cairo_status(st.cr.get()) != CAIRO_STATUS_SUCCESS) return false;
  rec(Op::antialias, st.antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  rec(Op::join, CAIRO_LINE_JOIN_BEVEL);
  if (st.format != Format::pdf) paint_background();
  apply_clip();
  st.page_marked = false;
  return true;
}

bool write_file(const std::string& file, const std::string& bytes) {
  GksStream out;
  if (!out.open(file, "gclose_ws", st.format == Format::png ? "Creating PNG file: %s\n" : "Creating SVG file: %s\n"))
    return false;
  out.write(bytes.data(), bytes.size());
  return out.close("gclose_ws") == 0;
}

// Page `number` (from 1) of a PNG or SVG output is finished; empty bytes: it could not
// be made.
void deliver(int number, std::string bytes) {
  if (bytes.empty()) {
    MESS_print(MESS_ERROR, "gclose_ws: the page could not be made: %s\n", st.name.c_str());
    st.write_failed = true;
    ZAV_fail(ZAV_STATUS_OUTPUT);
    return;
  }
  if (number == 1) {
    st.pending = std::move(bytes);
    return;
  }
  if (!st.pending.empty()) {
    st.write_failed |= !write_file(graster_page_name(st.name, 1), st.pending);
    st.pending.clear();
  }
  st.write_failed |= !write_file(graster_page_name(st.name, number), bytes);
}

// Writes the pages the workers have finished, in order; with wait, all of them.
void collect(bool wait) {
  int number = 0;
  std::string bytes;
  while (st.press.next(wait, &number, &bytes)) deliver(number, std::move(bytes));
}

// The page's PNG bytes, drawn and encoded on this thread.
std::string png_here() {
  draw_here();
  std::string bytes;
  lib().cairo_surface_flush(st.surface.get());
  if (st.sheet.failed || !write_page_png(st.surface.get(), &bytes)) bytes.clear();
  return bytes;
}

// Hands a PNG file's page to the workers; false when they cannot take it.
bool to_press(int number) {
  // Pages waiting for the workers hold their surfaces: a quarter of a gigabyte of them at
  // most, and a page larger than half of that is drawn here, one page at a time as always.
  constexpr double budget = 256.0 * 1024 * 1024;
  const double page_bytes = 4.0 * st.width * st.height;
  if (!st.press.running() || st.sheet.failed || page_bytes > budget / 2) return false;
  const auto ahead = static_cast<std::size_t>(std::clamp(budget / page_bytes, 1.0, 2.0 * st.press.workers()));
  std::unique_ptr<Job> job;
  try {
    job = std::make_unique<Job>();
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Calls already made here go on here: the page's context holds their state.
  if (st.drawn_here) draw_here();
  st.cr.reset();
  job->number = number;
  job->surface = std::move(st.surface);
  job->sheet.calls.swap(st.sheet.calls);
  job->sheet.xy.swap(st.sheet.xy);
  job->scale = st.scale;
  if (!st.press.submit(&job)) {
    st.surface = std::move(job->surface);
    st.sheet.calls.swap(job->sheet.calls);
    st.sheet.xy.swap(job->sheet.xy);
    st.cr.reset(lib().cairo_create(st.surface.get()));
    return false;
  }
  collect(false);
  while (st.press.in_flight() > ahead) {
    int n = 0;
    std::string bytes;
    if (!st.press.next(true, &n, &bytes)) break;
    deliver(n, std::move(bytes));
  }
  return true;
}

// Finishes the page on its way out; a memory page is only dropped.
void end_page() {
  if (!st.cr) return;
  if (st.memory) {
    ++st.pages_done;
    return;
  }
  if (st.format == Format::pdf) {
    if (!st.page_marked) paint_background();
    draw_here();
    lib().cairo_show_page(st.cr.get());
    ++st.pages_done;
    if (st.sheet.failed) {
      MESS_print(MESS_ERROR, "gclose_ws: the page could not be made: %s\n", st.name.c_str());
      st.write_failed = true;
      ZAV_fail(ZAV_STATUS_OUTPUT);
    }
    return;
  }
  const int number = ++st.pages_done;
  if (st.format == Format::png) {
    if (to_press(number)) return;
    // Here, once the pages before it are written.
    collect(true);
    deliver(number, png_here());
    return;
  }
  draw_here();
  st.cr.reset();
  lib().cairo_surface_finish(st.surface.get());
  std::string bytes = std::move(st.svg_bytes);
  st.svg_bytes.clear();
  if (st.sheet.failed) bytes.clear();
  deliver(number, std::move(bytes));
}

// A run that ends without closing the output still gets the files of the pages it
// finished, as when they were written at the end of each page.
void write_at_exit() {
  if (!st.open_now || !st.press.running()) return;
  collect(true);
  st.press.stop();
}

// ---- options ----

bool parse_size(const char* text, int* w, int* h) {
  int a = 0, b = 0;
  char tail = '\0';
  if (std::sscanf(text, "%dx%d%c", &a, &b, &tail) != 2) return false;
  if (a < min_side || b < min_side || a > max_side || b > max_side) {
    MESS_print(MESS_WARN, "gopen_ws: raster size %s outside %d to %d pixels a side: not used\n", text, min_side,
               max_side);
    return true;
  }
  *w = a, *h = b;
  return true;
}

bool has_extension(const std::string& file, const char* ext) {
  const std::size_t dot = file.rfind('.');
  const std::size_t slash = file.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return stricmp(file.c_str() + dot + 1, ext) == 0;
}

void option(const std::string& text) {
  const char* o = text.c_str();
  const char* v = nullptr;
  if (stricmp(o, "png") == 0) {
    st.opt.format = Format::png, st.opt.format_given = true;
  } else if (stricmp(o, "pdf") == 0) {
    st.opt.format = Format::pdf, st.opt.format_given = true;
  } else if (stricmp(o, "svg") == 0) {
    st.opt.format = Format::svg, st.opt.format_given = true;
  } else if (stricmp(o, "inv") == 0 || stricmp(o, "inverse") == 0) {
    gset_inverse(1);
  } else if (stricmp(o, "mem") == 0) {
    st.opt.memory = true;
  } else if (stricmp(o, "noaa") == 0) {
    st.opt.antialias = false;
  } else if (stricmp(o, "aa") == 0) {
    st.opt.antialias = true;
  } else if ((v = gps_option_value(o, "lwidth")) != nullptr) {
    float f = 0.0F;
    if (parse_float(v, &f) && f >= 0.1F && f <= 20.0F)
      st.opt.width_factor = f;
    else
      MESS_print(MESS_WARN, "gopen_ws: line width factor %s outside 0.1 to 20: not used\n", v);
  } else if ((v = gps_option_value(o, "sz")) != nullptr && parse_size(v, &st.opt.width, &st.opt.height)) {
  } else if (parse_size(o, &st.opt.width, &st.opt.height)) {
  } else if (!text.empty()) {
    MESS_print(MESS_WARN, "gopen_ws: unknown raster option: %s\n", o);
  }
}

const char* extension(Format f) { return f == Format::pdf ? "pdf" : f == Format::svg ? "svg" : "png"; }

// ---- device hooks ----

int raster_open(int, const char* device_string) {
  if (!lib().loaded) return gerr_printf("gopen_ws", "raster output (PNG, PDF, SVG) is not available: Cairo could not be loaded\n");
  st.opt = Options{};
  // The window's look, so also the window's switch to a light background.
  if (std::getenv("zavinverse") != nullptr) gset_inverse(1);
  gps_device_options("zavraster_param", device_string, option);
  st.name = gdev_field(device_string, 0);
  Format f = st.opt.format;
  if (!st.opt.format_given) {
    const char* dev = RES_get("device");
    const std::string word = dev != nullptr ? gdev_field(dev, 0) : "";
    if (has_extension(st.name, "pdf") || stricmp(word.c_str(), "pdf") == 0) f = Format::pdf;
    else if (has_extension(st.name, "svg") || stricmp(word.c_str(), "svg") == 0) f = Format::svg;
    if (has_extension(st.name, "png")) f = Format::png;
  }
  st.format = f;
  st.memory = st.opt.memory;
  if (st.memory) st.format = Format::png;
  if (st.name.empty()) st.name = std::string("zav.") + extension(st.format);
  st.width = st.opt.width, st.height = st.opt.height;
  if (st.width == 0) {
    // The window's size when the user gave one.
    const char* g = RES_get("geometry");
    int w = 0, h = 0;
    if (g != nullptr && std::sscanf(g, "%dx%d", &w, &h) == 2 && w >= min_side && h >= min_side && w <= max_side &&
        h <= max_side)
      st.width = w, st.height = h;
    else
      st.width = default_width, st.height = default_height;
  }
  st.antialias = st.opt.antialias;
  st.width_factor = st.opt.width_factor;
  st.scale = std::max(1.0, std::min(st.width / 800.0, st.height / 600.0));
  st.clip_set = false;
  st.page_marked = false;
  st.pages_done = 0;
  st.pending.clear();
  st.write_failed = false;
  st.surface.reset();
  st.cr.reset();
  st.masks = Masks{};
  for (auto& rows : st.pattern_rows) rows.reset();
  st.press.stop();
  if (st.format == Format::pdf) {
    if (!st.pdf_out.open(st.name, "gopen_ws", "Creating PDF file: %s\n"))
      return gerr_printf("gopen_ws", "unable to open PDF file\n");
    st.surface.reset(lib().cairo_pdf_surface_create_for_stream(to_stream, &st.pdf_out, st.width, st.height));
  }
  if (!begin_page()) {
    st.cr.reset();
    st.surface.reset();
    if (st.format == Format::pdf) st.pdf_out.discard();
    return gerr_printf("gopen_ws", "unable to make a raster page of %d by %d\n", st.width, st.height);
  }
  // A window of n pixels spans n - 1 units.
  gset_win_size(static_cast<float>(st.width), static_cast<float>(st.height));
  gdev_set_pixel_scale(static_cast<float>(st.scale));
  gset_win_offset(0.0F, 0.0F);
  st.open_now = true;
  if (st.format == Format::png && !st.memory) {
    const unsigned workers = press_workers();
    if (workers > 0 && st.press.start(workers)) {
      static const bool at_exit = std::atexit(write_at_exit) == 0;
      (void)at_exit;
    }
  }
  if (!st.memory)
    MESS_print(MESS_MESS, "Raster output: %s, %s, %d by %d\n", st.name.c_str(),
               st.format == Format::pdf ? "PDF" : st.format == Format::svg ? "SVG" : "PNG", st.width, st.height);
  return 0;
}

int raster_close() {
  if (!st.open_now) return -1;
  st.open_now = false;
  gdev_set_pixel_scale(1.0F);
  if (st.page_marked || st.pages_done == 0) end_page();
  collect(true);
  st.press.stop();
  st.cr.reset();
  st.sheet.clear();
  int result = st.write_failed ? -1 : 0;
  if (st.format == Format::pdf && st.surface && !st.memory) {
    lib().cairo_surface_finish(st.surface.get());
    const bool bad = lib().cairo_surface_status(st.surface.get()) != CAIRO_STATUS_SUCCESS;
    st.surface.reset();
    if (st.pdf_out.close("gclose_ws") != 0 || bad) result = -1;
  } else if (!st.pending.empty()) {
    if (!write_file(st.name, st.pending)) result = -1;
  }
  st.pending.clear();
  st.surface.reset();
  st.masks = Masks{};
  if (result == 0 && !st.memory)
    MESS_print(MESS_MESS, "Created %s file%s\n", extension(st.format), st.pages_done > 1 && st.format != Format::pdf ? "s" : "");
  return result;
}

void raster_clear() {
  if (!st.cr || !st.page_marked) return;
  if (st.memory) {
    // Nothing of the page before shows: its calls need not wait.
    draw_here();
    paint_background();
    st.page_marked = false;
    ++st.pages_done;
    return;
  }
  end_page();
  if (!begin_page()) {
    MESS_print(MESS_ERROR, "gclear_ws: unable to begin a new raster page\n");
    st.write_failed = true;
    ZAV_fail(ZAV_STATUS_OUTPUT);
  }
}

// The current viewport: whole pixels, as the window clips.
void raster_clip(const float r[4]) {
  const double x0 = std::floor(r[0] + 0.5), x1 = std::floor(r[2] + 0.5);
  const double y0 = std::floor(r[1] + 0.5), y1 = std::floor(r[3] + 0.5);
  st.clip_box[0] = x0;
  st.clip_box[2] = std::max(x0, x1 + 1.0);
  st.clip_box[1] = st.height - 1.0 - y1;
  st.clip_box[3] = std::max(st.clip_box[1], st.height - y0);
  st.clip_set = true;
  if (st.cr) apply_clip();
}

int raster_state(int code, int arg, const float* values, int count) {
  if (code != GOBJ_COLR || values == nullptr || count < 3) return 0;
  if (arg < GKS_BACKGROUND || arg > GKS_BACKGROUND_SLOT) return -1;
  st.colors[slot(arg)] = Rgb{values[0], values[1], values[2]};
  // A background set before anything is drawn is the page's.
  if (arg == GKS_BACKGROUND && st.cr && !st.page_marked && st.format != Format::pdf) paint_background();
  return slot(arg);
}

void raster_polyline(int n, const float*, const float* dev) {
  if (!st.cr) return;
  mark();
  rec(Op::cap, CAIRO_LINE_CAP_BUTT);
  stroke(n, dev, gget_line_colr(), gget_line_width(), gget_line_type());
}

void raster_fill(int n, const float*, const float* dev) {
  if (!st.cr) return;
  const int pattern = gget_fill_int_style() == 2 ? gget_fill_style_ind() : 0;
  const unsigned char* rows = gget_fill_pattern(pattern);
  if (rows == nullptr) return;
  bool empty = true, full = true;
  for (int r = 0; r < 8; ++r) empty = empty && rows[r] == 0, full = full && rows[r] == 0xFF;
  if (empty) return;
  mark();
  set_color(gget_fill_colr());
  path(n, dev);
  rec(Op::close);
  if (full) {
    // The outline too, as the window fills: neighbouring areas meet without a seam.
    rec(Op::fill_preserve);
    rec(Op::dash);
    rec(Op::width, 0, 2.0);
    rec(Op::stroke);
    return;
  }
  // A pattern keeps the rows it had at its first use in the output.
  auto& kept = st.pattern_rows[static_cast<std::size_t>(pattern)];
  if (!kept) {
    kept.emplace();
    std::memcpy(kept->data(), rows, 8);
  }
  double bits[8];
  for (int r = 0; r < 8; ++r) bits[r] = (*kept)[static_cast<std::size_t>(r)];
  rec(Op::save);
  rec(Op::clip);
  if (put(8, bits)) rec(Op::mask, pattern);
  rec(Op::restore);
}

void raster_marker_begin(int) {
  if (!st.cr) return;
  mark();
  rec(Op::cap, CAIRO_LINE_CAP_BUTT);
}

void raster_marker_shape(int nv, const float* dev, int) {
  if (!st.cr) return;
  if (nv == 1) {
    // One device point: the pixel.
    set_color(gget_marker_colr());
    rec(Op::rect, 0, cx(dev[0]) - 0.5, cy(dev[1]) - 0.5, 1.0, 1.0);
    rec(Op::fill);
    return;
  }
  stroke(nv, dev, gget_marker_colr(), gget_marker_width(), 1);
}

void raster_text_begin(float, float, const char*) {
  if (!st.cr) return;
  mark();
  // Round ends keep thin strokes of small letters legible.
  rec(Op::cap, CAIRO_LINE_CAP_ROUND);
}

void raster_text_stroke(int nv, const float* dev, int) {
  if (!st.cr) return;
  rec(Op::join, CAIRO_LINE_JOIN_ROUND);
  stroke(nv, dev, gget_text_colr(), gget_text_width(), 1);
  rec(Op::join, CAIRO_LINE_JOIN_BEVEL);
}

void raster_clear_region(const float*, const float d[4]) {
  if (!st.cr) return;
  mark();
  const double x0 = cx(std::min(d[0], d[2])) - 0.5, x1 = cx(std::max(d[0], d[2])) + 0.5;
  const double y0 = cy(std::max(d[1], d[3])) - 0.5, y1 = cy(std::min(d[1], d[3])) + 0.5;
  set_color(GKS_BACKGROUND);
  rec(Op::rect, 0, x0, y0, x1 - x0, y1 - y0);
  rec(Op::fill);
}

const GksDevice device{
    .name = "raster",
    .open = raster_open,
    .close = raster_close,
    .init = nullptr,
    .clear = raster_clear,
    .clip = raster_clip,
    .state = raster_state,
    .polyline = raster_polyline,
    .fill_area = raster_fill,
    .polymarker = nullptr,
    .marker_begin = raster_marker_begin,
    .marker_shape = raster_marker_shape,
    .text = nullptr,
    .text_begin = raster_text_begin,
    .text_stroke = raster_text_stroke,
    .clear_region = raster_clear_region,
    .message = nullptr,
};

}  // namespace

const GksDevice* gcairo_device() { return &device; }
int graster_available() { return 1; }

int graster_page(int* w, int* h, std::vector<std::uint32_t>* argb) {
  if (!st.open_now || !st.surface || st.format != Format::png || argb == nullptr) return -1;
  draw_here();
  lib().cairo_surface_flush(st.surface.get());
  const unsigned char* data = lib().cairo_image_surface_get_data(st.surface.get());
  const int stride = lib().cairo_image_surface_get_stride(st.surface.get());
  if (data == nullptr) return -1;
  argb->resize(static_cast<std::size_t>(st.width) * static_cast<std::size_t>(st.height));
  for (int y = 0; y < st.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < st.width; ++x)
      (*argb)[static_cast<std::size_t>(y) * static_cast<std::size_t>(st.width) + static_cast<std::size_t>(x)] =
          row[x] | 0xFF000000U;
  }
  if (w != nullptr) *w = st.width;
  if (h != nullptr) *h = st.height;
  return 0;
}

std::uint32_t graster_background() {
  const Rgb& c = st.colors[GKS_BACKGROUND_SLOT];
  const auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
  return 0xFF000000U | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

int graster_image(float left, float top, int w, int h, const std::vector<std::uint32_t>& argb) {
  if (!st.open_now || !st.cr || w <= 0 || h <= 0 || argb.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
    return -1;
  Surface picture(lib().cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  if (lib().cairo_surface_status(picture.get()) != CAIRO_STATUS_SUCCESS) return -1;
  lib().cairo_surface_flush(picture.get());
  unsigned char* data = lib().cairo_image_surface_get_data(picture.get());
  const int stride = lib().cairo_image_surface_get_stride(picture.get());
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      // Either opaque or wholly clear: premultiplied is the same then.
      const std::uint32_t p = argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
      row[x] = (p >> 24) == 0 ? 0U : p;
    }
  }
  lib().cairo_surface_mark_dirty(picture.get());
  st.page_marked = true;
  draw_here();
  cairo_t* c = st.cr.get();
  lib().cairo_save(c);
  lib().cairo_reset_clip(c);
  if (st.clip_set) {
    lib().cairo_rectangle(c, st.clip_box[0], st.clip_box[1], st.clip_box[2] - st.clip_box[0], st.clip_box[3] - st.clip_box[1]);
    lib().cairo_clip(c);
  }
  // Device units count pixel centres from the bottom; the picture's corner is half a
  // pixel outside its first centre.
  lib().cairo_set_source_surface(c, picture.get(), static_cast<double>(left), static_cast<double>(st.height) - static_cast<double>(top));
  lib().cairo_pattern_set_filter(lib().cairo_get_source(c), CAIRO_FILTER_NEAREST);
  lib().cairo_paint(c);
  lib().cairo_restore(c);
  return 0;
}

int graster_write_png(const char* file) {
  if (file == nullptr || !st.open_now || !st.surface || st.format != Format::png) return -1;
  draw_here();
  lib().cairo_surface_flush(st.surface.get());
  std::string bytes;
  if (!write_page_png(st.surface.get(), &bytes)) {
    MESS_print(MESS_ERROR, "graster_write_png: the page could not be made: %s\n", file);
    ZAV_fail(ZAV_STATUS_OUTPUT);
    return -1;
  }
  GksStream out;
  if (!out.open(file, "graster_write_png", "Creating PNG file: %s\n")) return -1;
  out.write(bytes.data(), bytes.size());
  return out.close("graster_write_png") == 0 ? 0 : -1;
}

void gcairo_reset_state() {
  // The output stream cannot be assigned: the record is made again in place, which also
  // closes a stream left open.
  std::destroy_at(&st);
  std::construct_at(&st);
}

int graster_get_pages() { return st.open_now ? st.pages_done + (st.page_marked ? 1 : 0) : 0; }

#else  // built without Cairo

namespace {

int raster_open(int, const char*) {
  return gerr_printf("gopen_ws", "raster output (PNG, PDF, SVG) is not available: built without Cairo\n");
}

const GksDevice device{.name = "raster", .open = raster_open};

}  // namespace

const GksDevice* gcairo_device() { return &device; }
int graster_available() { return 0; }
int graster_page(int*, int*, std::vector<std::uint32_t>*) { return -1; }
std::uint32_t graster_background() { return 0xFF000000U; }
int graster_write_png(const char*) { return -1; }
int graster_image(float, float, int, int, const std::vector<std::uint32_t>&) { return -1; }
int graster_get_pages() { return 0; }
void gcairo_reset_state() {}

#endif

std::string graster_page_name(const std::string& file, int n) {
  char number[16];
  std::snprintf(number, sizeof number, "_%02d", n);
  const std::size_t dot = file.rfind('.');
  const std::size_t slash = file.rfind('/');
  if (dot == std::string::npos || dot == 0 || (slash != std::string::npos && dot <= slash + 1)) return file + number;
  return file.substr(0, dot) + number + file.substr(dot);
}
