// Output devices of the graphics kernel, and the workstation state every kernel module
// shares: the open workstation and its type, the device surface and the kernel's error
// stream. This is the bottom of the graphics layer; every other kernel module builds on it.
//
// The kernel does everything that is the same on every device (validation, the attribute
// state and its change test, transformations, clipping of whole primitives, the object
// list, marker geometry) and hands each device what is left through one record of hooks
// per workstation type. A writer plugs in by filling a GksDevice and returning it from its
// module; the table in gks_dev.cpp holds the device of each type, and gdev_register swaps
// one in at run time. Hooks a device does not need stay null.
//
// Until a writer is registered for a type, that type gets the built-in recording device:
// it opens no file and keeps every call it receives (gdev_calls), so plots run their full
// course and tests can see what a device would have drawn.
#pragma once

// The kernel's records that its start-up wiring writes into while statics are initialised are
// built at compile time. clang cannot build the C++ library's strings at compile time, so in
// its builds (the fuzz targets, which draw nothing) they are initialised as usual.
#if defined(__clang__)
#define GKS_CONSTINIT
#else
#define GKS_CONSTINIT constinit
#endif
#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "config/fileio.h"

// ---- kernel errors ----

// Opens the named error file for writing, or uses the standard error stream when name is
// null or empty; 0 on success. size is not used.
int gopen_gks(const char* name, int size);
int gclose_gks();
// Back to the state after start-up: the error file closed, the recorded calls and the
// plugged devices forgotten (the writers wired at start-up stay).
void GDEV_reset_state();
// "routine: " and the formatted text, at the error level or into the error file; nothing
// when no error stream is open. Returns -1 so callers can return it.
int gerr_printf(const char* routine, const char* format, ...) __attribute__((format(printf, 2, 3)));

// ---- workstation type and state ----

int gget_win_type();
void gset_win_type(int type);
int gtype_is_WIN();
int gtype_is_PIX();
int gtype_is_WIN_PIX();
int gtype_is_PS();
int gtype_is_HPGL();
int gtype_is_META();
// PNG, PDF or SVG pages (gks_cairo.h): print units with y upwards, in pixels.
int gtype_is_RASTER();

// 1 when a workstation is open; gdev_set_open is for the module that opens and closes it.
int gchk_graphics();
void gdev_set_open(int on);

// A window workstation may open without a display: set by the batch default, so that an
// unattended run that only writes grids does not need an X server. The window then draws
// into nothing.
void gset_display_optional(int on);
int gget_display_optional();

// Program name and window title (device headers and window names use them).
void gset_prog_name(const char* name);
const char* gget_prog_name();
void gset_win_title(const char* title);
const char* gget_win_title();

// Device surface (the window size) in device units, and its offset; a device sets them
// when it opens.
void gset_win_size(float width, float height);
void gget_win_size(float* width, float* height);
void gset_win_offset(float x, float y);
void gget_win_offset(float* x, float* y);

// Device units of a window pixel for the sizes the kernel gives in pixels (markers): 1,
// except on a raster device whose picture is larger than the window's.
void gdev_set_pixel_scale(float scale);
float gdev_get_pixel_scale();

// ---- codes shared by the devices and the object list ----

// Colour indices: 0-255 the colour table, -1 the background (kept in the slot after the
// last colour), 500-508 the print colours.
constexpr int GKS_NUM_COLORS = 256;
constexpr int GKS_BACKGROUND = -1;
constexpr int GKS_BACKGROUND_SLOT = 256;
constexpr int GKS_PRINT_FIRST = 500;
constexpr int GKS_PRINT_LAST = 508;

// Kernel calls by number: the codes of the object list (gks_obj.h) and of the state
// changes a device receives, so one table serves recording, replay and the devices.
constexpr int GOBJ_MESSAGE = 5;
constexpr int GOBJ_WS_VP = 10;
constexpr int GOBJ_WS_WIN = 11;
constexpr int GOBJ_TRAN = 15;
constexpr int GOBJ_VP = 16;
constexpr int GOBJ_WIN = 17;
constexpr int GOBJ_COLR = 20;
constexpr int GOBJ_CLEAR = 25;
constexpr int GOBJ_LINE = 30;
constexpr int GOBJ_LTYPE = 33;
constexpr int GOBJ_LWIDTH = 34;
constexpr int GOBJ_LCOLR = 35;
constexpr int GOBJ_LBOLD = 36;
constexpr int GOBJ_MARK = 40;
constexpr int GOBJ_MTYPE = 43;
constexpr int GOBJ_MSIZE = 44;
constexpr int GOBJ_MCOLR = 45;
constexpr int GOBJ_MWIDTH = 46;
constexpr int GOBJ_TEXT = 50;
constexpr int GOBJ_TSPACE = 53;
constexpr int GOBJ_TCSPACE = 54;
constexpr int GOBJ_TEXPAN = 55;
constexpr int GOBJ_TCOLR = 56;
constexpr int GOBJ_THEIGHT = 57;
constexpr int GOBJ_TUP = 58;
constexpr int GOBJ_TFONT = 59;
constexpr int GOBJ_TALIGN = 60;
constexpr int GOBJ_TWIDTH = 61;
constexpr int GOBJ_FILL = 70;
constexpr int GOBJ_FSTYLE = 73;
constexpr int GOBJ_FINDEX = 74;
constexpr int GOBJ_FCOLR = 75;
constexpr int GOBJ_FSOLID = 76;
constexpr int GOBJ_SEG_BEGIN = 81;
constexpr int GOBJ_SEG_END = 82;
// Device only (metafiles): a segment deleted.
constexpr int GOBJ_SEG_DELETE = 83;
constexpr int GOBJ_FUNC = 999;

struct GksDevice {
  const char* name = nullptr;
  // Opens the output for workstation type `type`. device_string holds the fields after
  // the device letter, separated by commas (file or display first, then options); it may
  // be empty. The device sets its surface with gset_win_size and gset_win_offset. Returns
  // 0, or -1 after its own message (gerr_printf under "gopen_ws").
  int (*open)(int type, const char* device_string) = nullptr;
  // Closes the output; 0, or -1 when nothing was open.
  int (*close)() = nullptr;
  // Device set-up for a kernel mode of ginit_plot (0 window, 1 window redraw, 2
  // PostScript, 3 HPGL, 4 metafile, 10 new window size).
  void (*init)(int mode) = nullptr;
  // Clears the whole surface to the background (gclear_ws).
  void (*clear)() = nullptr;
  // The current viewport in device units: xmin, ymin, xmax, ymax (y up for print units,
  // pixel rows for window types). The device clips everything after it to this.
  void (*clip)(const float rect[4]) = nullptr;
  // A change of kernel state named by its object code (above): transformations
  // (arg: number; values: xmin, ymin, xmax, ymax), colours (arg: index, -1 the
  // background; values: red, green, blue; returns the pixel, or -1 when the colour cannot
  // be had), attributes (arg: integer value, or values[0] the float value). Returns 0 (or
  // the pixel), or -1 when the device refuses the change after its own message.
  int (*state)(int code, int arg, const float* values, int count) = nullptr;
  // Primitives: n points as x, y pairs, in world coordinates of the current
  // transformation and in device units (clamped to the device range).
  void (*polyline)(int n, const float* world, const float* dev) = nullptr;
  void (*fill_area)(int n, const float* world, const float* dev) = nullptr;
  // A whole polymarker as one record (text metafiles). When null the kernel draws the
  // shapes: marker_begin once, then marker_shape for each stroke of each marker.
  void (*polymarker)(int n, const float* world) = nullptr;
  void (*marker_begin)(int n) = nullptr;
  // One stroke of a marker: nv vertices in device units (a single vertex: one point).
  // shadow: a drop-shadow copy, drawn in the screen's black.
  void (*marker_shape)(int nv, const float* dev, int shadow) = nullptr;
  // A whole string at a world position as one record (text metafiles). When null the
  // kernel draws the string with its stroke font: text_begin once, then text_stroke for
  // each connected stroke of each glyph.
  void (*text)(float x, float y, const char* string) = nullptr;
  void (*text_begin)(float x, float y, const char* string) = nullptr;
  // One connected stroke of a glyph: nv vertices in device units (at least 2). shadow: a
  // drop-shadow copy, drawn in the screen's black.
  void (*text_stroke)(int nv, const float* dev, int shadow) = nullptr;
  // Fills a world rectangle (xmin, xmax, ymin, ymax) with the background; dev holds its
  // corners in device units (xmin, ymin, xmax, ymax).
  void (*clear_region)(const float world[4], const float dev[4]) = nullptr;
  void (*message)(const char* text) = nullptr;
  // The window's name follows the title (gset_win_title).
  void (*title)(const char* title) = nullptr;
  // A colour name the device knows itself (the display's colour names): 1 with rgb set.
  int (*parse_color)(const char* name, float rgb[3]) = nullptr;
  // The device's own default of a setting (the display's defaults for the program); null
  // when it has none.
  const char* (*setting)(const char* name) = nullptr;
};

// The device of a workstation type (the recording device until a writer is registered);
// null for a type that has none.
const GksDevice* gdev_get(int type);
// Plugs device in for type (null: back to the built-in device); returns the previous one.
const GksDevice* gdev_register(int type, const GksDevice* device);
// Makes device the built-in device of type (the workstation module installs the file
// writers so).
void gdev_set_builtin(int type, const GksDevice* device);
// The device of the open workstation, null when none is open.
const GksDevice* gdev_cur();

// Calls kept by the recording device. Codes are the object codes above for state
// changes and primitives, and the GDEV_ codes below for the rest. Primitive values are
// device units; state values as passed to the state hook.
constexpr int GDEV_OPEN = 1;
constexpr int GDEV_CLOSE = 2;
constexpr int GDEV_CLEAR = 3;
constexpr int GDEV_CLIP = 4;
constexpr int GDEV_INIT = 6;
constexpr int GDEV_MARK_BEGIN = 41;
constexpr int GDEV_MARK_SHAPE = 42;
constexpr int GDEV_MARK_SHADOW = 48;
constexpr int GDEV_TEXT_STROKE = 51;
constexpr int GDEV_TEXT_SHADOW = 52;

struct GksCall {
  int code;
  int arg;
  std::vector<float> values;
  std::string text;
};

// The calls kept since the last gdev_clear_calls, oldest first. The log keeps at most
// GDEV_MAX_CALLS calls (a long batch run must not grow without bound); later ones are only
// counted.
constexpr std::size_t GDEV_MAX_CALLS = 50000;
const std::vector<GksCall>& gdev_calls();
long gdev_dropped_calls();
void gdev_clear_calls();

// 1 when all n points (x, y pairs) are finite numbers.
int gdev_finite(int n, const float* points);
// The built-in recording device (tests plug it in for a type to see what a device gets).
const GksDevice* gdev_recorder();

// The output stream of a file device: a file, a file appended to ("+name") or the input
// of a print command ("|command"), written through a buffer of its own so that numbers
// are formatted without the C library's printf machinery on the hot paths. A stream that
// cannot be written (a full disk, a broken pipe, a command that fails) is reported when
// it closes; a file is written beside its target and put in place only when complete, so
// a failed output leaves the old file as it was (FILE_open_temp).
class GksStream {
 public:
  GksStream() = default;
  GksStream(const GksStream&) = delete;
  GksStream& operator=(const GksStream&) = delete;
  ~GksStream();

  // Opens name and prints "Spooling to: %s\n", "Appending to: %s\n" or "Creating: %s\n"
  // (creating: the format given instead, when one is). False (with a message under
  // routine) when it cannot be opened.
  bool open(const std::string& name, const char* routine, const char* creating = nullptr);
  bool is_open() const { return out_.fp != nullptr; }
  bool appending() const { return append_; }
  bool is_pipe() const { return pipe_; }
  // Flushes and closes; 0, or -1 after a message under routine when anything written was
  // lost (the old file then stays as it was). -1 when nothing was open. A failure opening
  // or writing counts for the exit status of the run (ZAV_fail).
  int close(const char* routine);
  // Closes without a message and drops what was written (a device that failed to open
  // after its stream did).
  void discard();

  void put(char c) {
    if (n_ == sizeof buf_) flush();
    buf_[n_++] = c;
  }
  // Short texts are copied here, where a literal's length and copy fold into a few moves;
  // the rest (a full buffer, a text longer than it) goes through write_long.
  void write(const char* s, std::size_t n) {
    if (n >= sizeof buf_ - n_) {
      write_long(s, n);
      return;
    }
    std::memcpy(buf_ + n_, s, n);
    n_ += n;
  }
  void str(const char* s) { write(s, std::strlen(s)); }
  // value as printf's "%.<decimals>f" (decimals 0 to 6) writes it.
  void fixed(double value, int decimals);
  void integer(long value);
  void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // The characters written, or -1 when the format fails.
  int vprintf(const char* format, va_list args) __attribute__((format(printf, 2, 0)));
  // 16-bit big-endian word (binary metafiles).
  void word(int value);
  void flush();
  // Bytes written so far (through the buffer).
  long written() const { return written_ + static_cast<long>(n_); }
  // Writes text over what was written at offset `at` (a header line left for it to fill
  // in once the rest is known) and goes on at the end. False, with nothing changed, on a
  // command's input, a file appended to or a stream that cannot seek.
  bool overwrite(long at, const std::string& text);

 private:
  void write_long(const char* s, std::size_t n);

  FileOutput out_;
  bool pipe_ = false;
  bool append_ = false;
  bool failed_ = false;
  int error_ = 0;
  std::string name_;
  long written_ = 0;
  std::size_t n_ = 0;
  char buf_[1 << 16];
};

// Writes value as printf's "%.<decimals>f" would into out (at least 48 bytes); the length.
int gdev_format_fixed(char* out, double value, int decimals);
// The comma-separated field `index` of a device string ("" when there is none).
std::string gdev_field(const char* device_string, int index);
