// Output devices: the workstation state and error stream, the table of devices by
// workstation type and the recording device.
#include "graphics/gks_dev.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/string.h"
#include "config/system.h"

namespace {

struct Slot {
  int type;
  const GksDevice* builtin;
  const GksDevice* plugged;
};
// Every type starts on the recording device; defined with the recording device below.
extern const GksDevice recorder;

// The workstation's state, the error stream, the recording device's calls and the
// devices plugged in for each type.
struct DevState {
  // Error stream: open after gopen_gks; a named error file, or the messages' error level.
  bool err_open = false;
  std::FILE* err_file = nullptr;

  int win_type = 0;
  bool graphics_open = false;
  bool display_optional = false;
  std::string prog_name = "X11_Graph";
  std::string win_title = "X11_Graph";

  // The device surface and its offset, device units.
  float win_width = 0.0F, win_height = 0.0F, win_x = 0.0F, win_y = 0.0F;
  float pixel_scale = 1.0F;

  std::vector<GksCall> calls;
  long dropped = 0;

  Slot devices[7] = {
      {WS_X11, &recorder, nullptr}, {WS_META, &recorder, nullptr}, {WS_PS, &recorder, nullptr},
      {WS_HPGL, &recorder, nullptr}, {WS_XDRAW, &recorder, nullptr}, {WS_RASTER, &recorder, nullptr},
      {WS_OGR, &recorder, nullptr},
  };
};
// Made at compile time: the kernel's wiring writes into it while statics are initialised.
GKS_CONSTINIT DevState st;

void keep(int code, int arg, const float* values, int count, const char* text = nullptr) {
  if (st.calls.size() >= GDEV_MAX_CALLS) {
    ++st.dropped;
    return;
  }
  try {
    GksCall c{code, arg, {}, text != nullptr ? text : ""};
    if (values != nullptr && count > 0) c.values.assign(values, values + count);
    st.calls.push_back(std::move(c));
  } catch (const std::bad_alloc&) {
    ++st.dropped;
  }
}

std::string field(const char* device_string, int index) { return gdev_field(device_string, index); }

// ---- recording device ----

const char* kind_name(int type) {
  switch (type) {
    case WS_PS:
      return "PostScript";
    case WS_HPGL:
      return "HPGL";
    case WS_RASTER:
      return "raster";
    default:
      return "metafile";
  }
}

// The file a writer would make: the device string's first field, else the device's
// environment variable, else its default name.
std::string output_name(int type, const char* device_string) {
  std::string name = field(device_string, 0);
  const char* env = nullptr;
  if (name.empty()) {
    if (type == WS_PS) {
      env = std::getenv("zavps_print");
      if (env == nullptr || *env == '\0') env = std::getenv("PSPRINT");
    } else {
      env = std::getenv(type == WS_HPGL ? "zavhp_out" : "zavmeta_out");
    }
    if (env != nullptr && *env != '\0') name = env;
  }
  if (name.empty()) name = type == WS_PS ? "zav.ps" : type == WS_HPGL ? "zav.hpgl" : "zav.meta";
  return name;
}

// Surfaces of the file devices on their default pages: PostScript letter in points,
// HPGL 10.5 by 8 inches in plotter units, the metafile's 1000 by 800 units. The window
// size is one more than the surface, as a window of n pixels spans n-1 units.
int rec_open(int type, const char* device_string) {
  switch (type) {
    case WS_PS:
      gset_win_size(757.0F, 577.0F);
      break;
    case WS_HPGL:
      gset_win_size(10151.0F, 7613.5F);
      gset_win_offset(10.0F, 10.0F);
      break;
    default:
      gset_win_size(1001.0F, 801.0F);
      break;
  }
  MESS_print(MESS_WARN, "gopen_ws: %s output is not available: %s is not written\n", kind_name(type),
             output_name(type, device_string).c_str());
  keep(GDEV_OPEN, type, nullptr, 0, device_string);
  return 0;
}

int rec_close() {
  keep(GDEV_CLOSE, gget_win_type(), nullptr, 0);
  return 0;
}

void rec_init(int mode) { keep(GDEV_INIT, mode, nullptr, 0); }
void rec_clear() { keep(GDEV_CLEAR, 0, nullptr, 0); }
void rec_clip(const float rect[4]) { keep(GDEV_CLIP, 0, rect, 4); }

int rec_state(int code, int arg, const float* values, int count) {
  keep(code, arg, values, count);
  // Every colour is "allocated": its pixel is its slot.
  if (code == GOBJ_COLR) return arg < 0 ? GKS_BACKGROUND_SLOT : arg;
  return 0;
}

void rec_polyline(int n, const float*, const float* dev) { keep(GOBJ_LINE, n, dev, 2 * n); }
void rec_fill(int n, const float*, const float* dev) { keep(GOBJ_FILL, n, dev, 2 * n); }
void rec_mark_begin(int n) { keep(GDEV_MARK_BEGIN, n, nullptr, 0); }
void rec_mark_shape(int nv, const float* dev, int shadow) {
  keep(shadow ? GDEV_MARK_SHADOW : GDEV_MARK_SHAPE, nv, dev, 2 * nv);
}
void rec_text(float x, float y, const char* s) {
  const float p[2] = {x, y};
  keep(GOBJ_TEXT, 0, p, 2, s);
}
void rec_text_stroke(int nv, const float* dev, int shadow) {
  keep(shadow ? GDEV_TEXT_SHADOW : GDEV_TEXT_STROKE, nv, dev, 2 * nv);
}
void rec_clear_region(const float*, const float dev[4]) { keep(GOBJ_CLEAR, 0, dev, 4); }
void rec_message(const char* text) { keep(GOBJ_MESSAGE, 0, nullptr, 0, text); }

const GksDevice recorder{
    .name = "recorder",
    .open = rec_open,
    .close = rec_close,
    .init = rec_init,
    .clear = rec_clear,
    .clip = rec_clip,
    .state = rec_state,
    .polyline = rec_polyline,
    .fill_area = rec_fill,
    .polymarker = nullptr,
    .marker_begin = rec_mark_begin,
    .marker_shape = rec_mark_shape,
    .text = nullptr,
    .text_begin = rec_text,
    .text_stroke = rec_text_stroke,
    .clear_region = rec_clear_region,
    .message = rec_message,
};

// ---- device table ----

Slot* slot_of(int type) {
  for (Slot& s : st.devices)
    if (s.type == type) return &s;
  return nullptr;
}

}  // namespace

// ---- kernel errors ----

int gopen_gks(const char* name, int) {
  if (st.err_file != nullptr) FILE_close(st.err_file);
  st.err_file = nullptr;
  if (name != nullptr && *name != '\0') {
    st.err_file = FILE_open(name, "w");
    if (st.err_file == nullptr) return -1;
  }
  st.err_open = true;
  return 0;
}

int gclose_gks() {
  if (st.err_file != nullptr) FILE_close(st.err_file);
  st.err_file = nullptr;
  st.err_open = false;
  return 0;
}

void GDEV_reset_state() {
  if (st.err_file != nullptr) FILE_close(st.err_file);
  // The writers the kernel wired at start-up stay the devices of their types.
  DevState fresh;
  for (std::size_t i = 0; i < std::size(fresh.devices); ++i) fresh.devices[i].builtin = st.devices[i].builtin;
  st = std::move(fresh);
}

int gerr_printf(const char* routine, const char* format, ...) {
  if (!st.err_open) return -1;
  va_list args;
  va_start(args, format);
  const std::string text = format_va(format, args);
  va_end(args);
  const char* r = routine != nullptr ? routine : "";
  if (st.err_file != nullptr) {
    std::fprintf(st.err_file, "%s: %s", r, text.c_str());
    std::fflush(st.err_file);
  } else {
    MESS_print(MESS_ERROR, "%s: %s", r, text.c_str());
  }
  return -1;
}

// ---- workstation type and state ----

int gget_win_type() { return st.win_type; }
void gset_win_type(int type) { st.win_type = type; }
int gtype_is_WIN() { return st.win_type == WS_X11 ? 1 : 0; }
int gtype_is_PIX() { return st.win_type == WS_XDRAW ? 1 : 0; }
int gtype_is_WIN_PIX() { return (st.win_type == WS_X11 || st.win_type == WS_XDRAW) ? 1 : 0; }
int gtype_is_PS() { return st.win_type == WS_PS ? 1 : 0; }
int gtype_is_HPGL() { return st.win_type == WS_HPGL ? 1 : 0; }
int gtype_is_META() { return st.win_type == WS_META ? 1 : 0; }
int gtype_is_RASTER() { return st.win_type == WS_RASTER ? 1 : 0; }

int gchk_graphics() { return st.graphics_open ? 1 : 0; }
void gdev_set_open(int on) { st.graphics_open = on != 0; }

void gset_display_optional(int on) { st.display_optional = on != 0; }
int gget_display_optional() { return st.display_optional ? 1 : 0; }

void gset_prog_name(const char* name) { st.prog_name = name != nullptr ? name : ""; }
const char* gget_prog_name() { return st.prog_name.c_str(); }
void gset_win_title(const char* title) {
  st.win_title = title != nullptr ? title : "";
  const GksDevice* dev = gdev_cur();
  if (dev != nullptr && dev->title != nullptr) dev->title(st.win_title.c_str());
}
const char* gget_win_title() { return st.win_title.c_str(); }

void gset_win_size(float width, float height) {
  st.win_width = std::isfinite(width) && width > 0.0F ? width : 0.0F;
  st.win_height = std::isfinite(height) && height > 0.0F ? height : 0.0F;
}

void gget_win_size(float* width, float* height) {
  if (width != nullptr) *width = st.win_width;
  if (height != nullptr) *height = st.win_height;
}

void gset_win_offset(float x, float y) {
  st.win_x = std::isfinite(x) ? x : 0.0F;
  st.win_y = std::isfinite(y) ? y : 0.0F;
}

void gdev_set_pixel_scale(float scale) { st.pixel_scale = std::isfinite(scale) && scale > 0.0F ? scale : 1.0F; }
float gdev_get_pixel_scale() { return st.pixel_scale; }

void gget_win_offset(float* x, float* y) {
  if (x != nullptr) *x = st.win_x;
  if (y != nullptr) *y = st.win_y;
}

// ---- devices ----

const GksDevice* gdev_get(int type) {
  const Slot* s = slot_of(type);
  if (s == nullptr) return nullptr;
  return s->plugged != nullptr ? s->plugged : s->builtin;
}

const GksDevice* gdev_register(int type, const GksDevice* device) {
  Slot* s = slot_of(type);
  if (s == nullptr) return nullptr;
  const GksDevice* previous = gdev_get(type);
  s->plugged = device;
  return previous;
}

void gdev_set_builtin(int type, const GksDevice* device) {
  Slot* s = slot_of(type);
  if (s != nullptr && device != nullptr) s->builtin = device;
}

const GksDevice* gdev_cur() { return gchk_graphics() ? gdev_get(gget_win_type()) : nullptr; }

const std::vector<GksCall>& gdev_calls() { return st.calls; }
long gdev_dropped_calls() { return st.dropped; }
void gdev_clear_calls() {
  st.calls.clear();
  st.dropped = 0;
}

// ---- helpers for the kernel modules ----

int gdev_finite(int n, const float* points) {
  if (points == nullptr) return 0;
  for (int i = 0; i < 2 * n; ++i)
    if (!std::isfinite(points[i])) return 0;
  return 1;
}

const GksDevice* gdev_recorder() { return &recorder; }

std::string gdev_field(const char* device_string, int index) {
  std::string s = device_string != nullptr ? device_string : "";
  for (int i = 0; i < index; ++i) {
    const std::size_t comma = s.find(',');
    if (comma == std::string::npos) return {};
    s = s.substr(comma + 1);
  }
  return s.substr(0, s.find(','));
}

// ---- output streams of the file devices ----

GksStream::~GksStream() {
  if (out_.fp != nullptr) discard();
}

bool GksStream::open(const std::string& name, const char* routine, const char* creating) {
  if (out_.fp != nullptr) discard();
  failed_ = false;
  error_ = 0;
  written_ = 0;
  n_ = 0;
  pipe_ = !name.empty() && name[0] == '|';
  append_ = !name.empty() && name[0] == '+';
  name_ = (pipe_ || append_) ? name.substr(1) : name;
  if (name_.empty()) {
    MESS_print(MESS_ERROR, "%s: no output file named\n", routine);
    ZAV_fail(ZAV_STATUS_OUTPUT);
    return false;
  }
  if (pipe_)
    MESS_print(MESS_MESS, "Spooling to: %s\n", name_.c_str());
  else if (append_)
    MESS_print(MESS_MESS, "Appending to: %s\n", name_.c_str());
  else if (creating != nullptr)
    MESS_print(MESS_MESS, creating, name_.c_str());
  else
    MESS_print(MESS_MESS, "Creating: %s\n", name_.c_str());
  // A file is written beside its target and put in place when complete (FILE_open_temp).
  if (!FILE_open_temp(pipe_ ? name.c_str() : name_.c_str(), &out_, append_ ? FILE_OUT_APPEND : 0)) {
    MESS_print(MESS_ERROR, "%s: %s: %s\n", routine, name_.c_str(), FILE_output_error(&out_).c_str());
    ZAV_fail(ZAV_STATUS_OUTPUT);
    pipe_ = append_ = false;
    return false;
  }
  return true;
}

void GksStream::flush() {
  if (n_ == 0 || out_.fp == nullptr) {
    n_ = 0;
    return;
  }
  if (!failed_ && std::fwrite(buf_, 1, n_, out_.fp) != n_) {
    failed_ = true;
    error_ = errno;
  }
  written_ += static_cast<long>(n_);
  n_ = 0;
}

void GksStream::write_long(const char* s, std::size_t n) {
  flush();
  if (n >= sizeof buf_) {
    if (out_.fp != nullptr && !failed_ && std::fwrite(s, 1, n, out_.fp) != n) {
      failed_ = true;
      error_ = errno;
    }
    written_ += static_cast<long>(n);
    return;
  }
  std::memcpy(buf_ + n_, s, n);
  n_ += n;
}

bool GksStream::overwrite(long at, const std::string& text) {
  if (out_.fp == nullptr || pipe_ || append_ || failed_ || at < 0 || at + static_cast<long>(text.size()) > written())
    return false;
  flush();
  return FILE_rewrite_at(&out_, at, text.data(), text.size()) != 0;
}

void GksStream::fixed(double value, int decimals) {
  if (sizeof buf_ - n_ < 64) flush();
  n_ += static_cast<std::size_t>(gdev_format_fixed(buf_ + n_, value, decimals));
}

void GksStream::integer(long value) {
  char tmp[24];
  int k = 0;
  const bool neg = value < 0;
  unsigned long v = neg ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  do {
    tmp[k++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (neg) put('-');
  while (k > 0) put(tmp[--k]);
}

void GksStream::printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

int GksStream::vprintf(const char* format, va_list args) {
  char small[512];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  if (n < 0) {
    va_end(copy);
    return -1;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    va_end(copy);
    write(small, static_cast<std::size_t>(n));
    return n;
  }
  std::string big = format_va(format, copy);
  va_end(copy);
  write(big.data(), big.size());
  return n;
}

void GksStream::word(int value) {
  put(static_cast<char>((value >> 8) & 0xFF));
  put(static_cast<char>(value & 0xFF));
}

int GksStream::close(const char* routine) {
  if (out_.fp == nullptr) return -1;
  flush();
  // The old file stays whole unless everything reached the new one.
  bool ok = false;
  if (failed_) {
    FILE_abandon(&out_);
    if (out_.error == 0) out_.error = error_;
  } else {
    ok = FILE_commit(&out_) != 0;
  }
  if (ok) return 0;
  const std::string why = FILE_output_error(&out_);
  if (pipe_)
    MESS_print(MESS_ERROR, "%s: the output to the command %s was not delivered: %s\n", routine, name_.c_str(),
               why.c_str());
  else
    MESS_print(MESS_ERROR, "%s: unable to write %s: %s\n", routine, name_.c_str(), why.c_str());
  ZAV_fail(ZAV_STATUS_OUTPUT);
  return -1;
}

void GksStream::discard() {
  n_ = 0;
  FILE_abandon(&out_);
}

int gdev_format_fixed(char* out, double value, int decimals) {
  static const double scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  static const std::uint32_t scale_int[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  if (decimals < 0) decimals = 0;
  if (decimals > 6) decimals = 6;
  const double a = std::fabs(value);
  const double r = a * scale[decimals];
  // Values near a rounding tie, and values whose scaled product may be off by more than the
  // tie test's margin (from 2^33 on, half a unit in the last place exceeds 1e-6), are left to
  // the C library, so that the result is always printf's.
  const bool in_range = r < 8.0e9;  // false for NaN too
  // Signed conversions (one instruction each; unsigned ones take several): r < 2^33 here.
  const double frac = in_range ? r - static_cast<double>(static_cast<std::int64_t>(r)) : 0.0;
  // An exact tie (a quarter point on a grid of half points, say) rounds to even as printf's
  // does; the product is exact when fma finds nothing left over.
  const bool exact_tie = in_range && frac == 0.5 && std::fma(a, scale[decimals], -r) == 0.0;
  if (!exact_tie && (!in_range || std::fabs(frac - 0.5) < 1.0e-6)) {
    const int n = std::snprintf(out, 48, "%.*f", decimals, value);
    return n < 0 ? 0 : n;
  }
  std::uint64_t v = static_cast<std::uint64_t>(static_cast<std::int64_t>(r + 0.5));
  if (exact_tie && v % 2 == 1) --v;
  // Digits two at a time.
  static constexpr char pairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  // Two decimals, the common case, divide by a constant: a multiplication, not a division.
  std::uint64_t whole = decimals == 2 ? v / 100 : v / scale_int[decimals];
  std::uint32_t part = static_cast<std::uint32_t>(v - whole * scale_int[decimals]);
  if (decimals == 2 && whole < 1000) {
    // Positions on a page and colour levels: written forward, digit pairs at a time.
    char* q = out;
    if (std::signbit(value)) *q++ = '-';
    if (whole >= 100) {
      *q++ = static_cast<char>('0' + whole / 100);
      whole %= 100;
      *q++ = pairs[whole * 2];
      *q++ = pairs[whole * 2 + 1];
    } else if (whole >= 10) {
      *q++ = pairs[whole * 2];
      *q++ = pairs[whole * 2 + 1];
    } else {
      *q++ = static_cast<char>('0' + whole);
    }
    *q++ = '.';
    *q++ = pairs[part * 2];
    *q++ = pairs[part * 2 + 1];
    *q = '\0';
    return static_cast<int>(q - out);
  }
  // Otherwise the whole part and the decimals apart, each written from its end. The digits
  // end mid-buffer and a fixed 24 bytes go out from the first: a copy of known size needs
  // no library call, and the number (at most 17 characters here) fits with room.
  char tmp[48];
  std::memset(tmp + 24, 0, 24);
  char* p = tmp + 24;
  if (decimals == 2) {  // the common case: device coordinates and colours
    *--p = pairs[part * 2 + 1];
    *--p = pairs[part * 2];
  } else {
    int d = decimals;
    for (; d >= 2; d -= 2) {
      const std::uint32_t k = (part % 100) * 2;
      part /= 100;
      *--p = pairs[k + 1];
      *--p = pairs[k];
    }
    if (d == 1) *--p = static_cast<char>('0' + part);
  }
  if (decimals > 0) *--p = '.';
  while (whole >= 100) {
    const std::uint64_t k = (whole % 100) * 2;
    whole /= 100;
    *--p = pairs[k + 1];
    *--p = pairs[k];
  }
  if (whole >= 10) {
    *--p = pairs[whole * 2 + 1];
    *--p = pairs[whole * 2];
  } else {
    *--p = static_cast<char>('0' + whole);
  }
  int n = 0;
  if (std::signbit(value)) out[n++] = '-';
  const auto len = static_cast<int>(tmp + 24 - p);
  std::memcpy(out + n, p, 24);
  n += len;
  out[n] = '\0';
  return n;
}
