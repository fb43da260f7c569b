// The object list: every kernel call can be recorded with a private copy of its data and
// replayed later (onto a redrawn window, into a PostScript file or a metafile). The codes
// below name the calls in the list and also the state changes a device receives
// (gks_dev.h), so one table serves recording, replay and the devices.
#pragma once
#include <cstddef>
#include <list>
#include <vector>

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

// A function recorded with gset_redraw_func, called with its recorded data on replay.
using GksRedrawFunc = void (*)(const void* data);

// One recorded call: its code, integer argument (transformation, count of points, colour
// index, style or segment number) and a private copy of its data.
struct GksObj {
  int type;
  int arg;
  std::vector<unsigned char> data;
  GksRedrawFunc func;  // GOBJ_FUNC records only
};

// Resets the list and the call count (a workstation opens).
void ginit_objs();
// Counts the call (every 500th polls the window's events) and, when recording is on,
// appends a record with a copy of size bytes of data. Returns the copy (null when nothing
// was recorded or there is no data).
void* gnew_obj(int type, int arg, std::size_t size, const void* data);
void gclear_objs();
// Recording on or off; returns the previous setting.
int gset_redraw(int on);
int gget_redraw();
// Set on by the window device, off by the others: whether events may be served.
int gset_cache(int on);
int gget_cache();
// Records a call of function(copy of size bytes of data).
int gset_redraw_func(GksRedrawFunc function, const void* data, std::size_t size);
// Segments: begin and end records; on a metafile their records go to the file instead
// (-1). gdel_seg removes segment n from the list.
int gcreate_seg(int n);
int gclose_seg(int n);
int gdel_seg(int n);
void gdel_seg_objs(int n);
// Replays the list through the kernel calls with recording off; returns the number of
// records replayed.
int gobj_redraw_funcs();
// The list itself and the number of calls counted since the workstation opened.
const std::list<GksObj>& gobj_list();
long gget_num_objects();
