// The X11 devices: a window of the program's own (workstation type 1), whose picture is
// held in an off-screen backing pixmap and copied to the window, and the drawing into a
// drawable that another program owns (type 6). Also the connection to the display, its
// error handling, colour allocation, cursors, the window's title, geometry and icon, and
// the reading of events, which the event module (gks_evnt) interprets.
//
// Without a display (a batch run that did not ask for a window) the window devices draw
// into nothing; they then keep their calls as the recording device does (gks_dev.h).
#pragma once
#include <X11/Xlib.h>

#include <cstddef>
#include <string>
#include <utility>

#include "graphics/gks_dev.h"

// The device record of both window types.
const GksDevice* gx11_device();

// ---- the connection ----

// The display and what belongs to it; null or 0 when there is none.
Display* gget_display();
int gget_depth();
Visual* gget_visual();
// The top window (type 1: the program's window; type 6: the foreign window, 0 when only
// a drawable was named), the backing pixmap and the current drawing target.
Window gget_top_window();
Drawable gget_base_window();
Drawable gget_draw_window();
// Makes d the drawing target (0: draw into nothing).
void gset_draw_window(Drawable d);
// The backing pixmap's size in pixels.
int gget_pix_width();
int gget_pix_height();
// The graphics contexts of lines, markers, fill, text and the top window.
GC gget_line_gc();
GC gget_fill_gc();
// The background pixel (black, white with inverse colours, or the background colour).
unsigned long gget_background_pixel();

// Each connection gets a new number; resources made under an earlier one, or under one
// that died, must not be freed again.
unsigned gx11_generation();
bool gx11_alive(unsigned generation);

// Back to the state after start-up: a connection still open is closed, every setting
// forgotten (the hooks wired at start-up stay).
void GX11_reset_state();

// An X resource that frees itself with its connection's free function, unless the
// connection is gone by then (the server frees what a closed connection left).
template <typename T, int (*Free)(Display*, T)>
class XOwned {
 public:
  XOwned() = default;
  XOwned(Display* d, T id) : d_(d), id_(id), gen_(gx11_generation()) {}
  XOwned(const XOwned&) = delete;
  XOwned& operator=(const XOwned&) = delete;
  XOwned(XOwned&& o) noexcept : d_(o.d_), id_(std::exchange(o.id_, T{})), gen_(o.gen_) {}
  XOwned& operator=(XOwned&& o) noexcept {
    if (this != &o) {
      reset();
      d_ = o.d_;
      id_ = std::exchange(o.id_, T{});
      gen_ = o.gen_;
    }
    return *this;
  }
  ~XOwned() { reset(); }
  void reset() {
    if (id_ != T{} && gx11_alive(gen_)) Free(d_, id_);
    id_ = T{};
  }
  // Forgets the resource without freeing it (the connection died).
  void forget() { id_ = T{}; }
  T get() const { return id_; }
  explicit operator bool() const { return id_ != T{}; }
  void swap(XOwned& o) noexcept {
    std::swap(d_, o.d_);
    std::swap(id_, o.id_);
    std::swap(gen_, o.gen_);
  }

 private:
  Display* d_ = nullptr;
  T id_{};
  unsigned gen_ = 0;
};
using PixmapOwner = XOwned<Pixmap, XFreePixmap>;

// A pixmap of the backing pixmap's size and depth, cleared to the background; empty
// without a display.
PixmapOwner gx11_new_pixmap();
// Fills a drawable with the background colour.
void gx11_clear(Drawable d);
// Copies the whole picture from one drawable to another.
void gx11_copy(Drawable from, Drawable to);
// Exchanges the backing pixmap with p (the drawing target stays on the same picture).
void gx11_swap_base(PixmapOwner& p);

// ---- window ----

// Copies the backing pixmap to the window.
void gupdate_window();
// w, h > 0: makes the window that size; otherwise the backing pixmap follows the
// window's size. The backing pixmap is made anew at the size with the old picture in its
// top-left corner. 1 when the size changed.
int gresize_window(int w, int h);
int gis_mapped();
void gset_mapped(int on);
int gget_focused();
void gset_focused(int on);
void gsync();
void gbell(int volume);

// Cursors: 0 normal, 1 calling a user callback, 2 moving, 3 looping, 4 stopped with
// frames, 5 drawing, 6 waiting for input, 7 text, 8 busy. gset_cursor shows one on the
// window (with a sync); gset_cursor_type does the same and returns the previous code.
void gset_cursor(int code);
int gset_cursor_type(int code);
int gget_cursor();

// Title, geometry and icon; set before the window opens, the title also after.
void gset_win_title_extra(const char* text);
// What follows the title in the window's current name; the length.
int gget_win_title_extra(char* out, std::size_t size);
void gset_geometry(const char* geometry);
void gset_iconic(int on);
void gset_fixed_size();
void gset_xsize(int width, int height);
// A 48 by 48 bitmap, 288 bytes (rows of six bytes, the lowest bit the leftmost pixel).
void gset_icon_bitmap(const unsigned char* bits);

// ---- colours ----

// Defines colour index (negative: any index; a defined one of nearly that colour is
// reused) to r, g, b; the index, or -1.
int galloc_colr(int index, float r, float g, float b);
// The colormap for the window: a private one when asked for (gset_local_colormap, or the
// environment variables LOCAL_CMAP or zavlocal_cmap); forgets every index's pixel.
void ginit_xcolr();
void gset_local_colormap(int on);
int gget_local_colormap();
// Read-write colour cells, changed in place when a colour is defined again.
void gset_rw_colors(int on);
int gget_rw_colors();
// The highest colour index defined so far (-1: none).
int gget_max_colr();

// ---- drawing into another program's drawable ----

// 1 clears the drawable after opening, 2 asks its owner for a new frame first, 9 tells
// the owner to end its hold when the workstation closes.
void gset_pix_mode(int mode);
int gget_pix_mode();
// The client message (format 8, first byte code) that the owner of a foreign window
// understands: 2 make a new frame, 9 release the hold.
constexpr long GX11_MESSAGE_TYPE = 62;
constexpr int GX11_NEW_FRAME = 2;
constexpr int GX11_RELEASE = 9;

// ---- events ----

// Hands one event to the event module; returns 1 when it was user input.
using GksEventHandler = int (*)(XEvent* event);
void gx11_set_event_handler(GksEventHandler handler);
// Processes every pending event; the number that were not user input. Only for the
// window with the cache flag on.
int gcheck_event();
// Blocks for the next event, then processes all pending ones.
int gwait_event();
// The atoms of the window manager's close request.
Atom gx11_wm_protocols();
Atom gx11_wm_delete();

// ---- errors ----

// Called before the program ends on X11 errors (the frames are forgotten).
void gx11_set_fatal_hook(void (*hook)());
// The window w was destroyed: when it is the program's window (another client destroyed
// it), the program ends as on a lost display, with a message and status 4.
void gx11_window_destroyed(Window w);
// Protocol errors are printed as "X11 error: ..." while printing is on; the 25th ends
// the program with status 4, and so does the first about the program's window being gone.
void gx11_set_error_print(int on);
int gx11_error_count();
// Clears the error flag; 1 when an error came since the last call.
int gx11_error_flag();
// Runs the X requests of f with errors trapped (neither printed nor counted) and after a
// sync; true when none failed.
template <typename F>
bool gx11_trapped(F&& f);
void gx11_trap(bool on);
bool gx11_trap_failed();

template <typename F>
bool gx11_trapped(F&& f) {
  gx11_trap(true);
  f();
  gsync();
  const bool ok = !gx11_trap_failed();
  gx11_trap(false);
  return ok;
}
