// The object list: every kernel call can be recorded with a private copy of its data and
// replayed later (onto a redrawn window, into a PostScript file or a metafile). The codes
// that name the calls in the list (GOBJ_) are those of the devices' state changes
// (gks_dev.h), so one table serves recording, replay and the devices.
//
// The list sits below the modules whose calls it records: replay hands each record to
// the replay function that the workstation module registers (gobj_set_replay), which
// makes the kernel call again.
#pragma once
#include <cstddef>
#include <list>
#include <vector>

#include "graphics/gks_dev.h"


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
// Back to the state after start-up: no objects, the flags at their defaults.
void GOBJ_reset_state();
// Counts the call (every 500th polls the window's events) and, when recording is on,
// appends a record with a copy of size bytes of data. Returns the copy (null when nothing
// was recorded or there is no data).
void* gnew_obj(int type, int arg, std::size_t size, const void* data);
void gclear_objs();
// Recording on or off; returns the previous setting.
int gset_redraw(int on);
int gget_redraw();
// Whether a window records what is drawn on it, so that Alt-m can write the picture to a
// metafile: on unless the user asked for "noredraw". Frames keep the drawing of the last
// frame drawn: creating a frame empties the list, selecting it to draw on records.
void gset_record_window(int on);
int gget_record_window();
// A frame was created for drawing (n) and is selected (n): the list follows it.
void gobj_frame_created(int n);
void gobj_frame_selected(int n);
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
// Replays the list through the kernel calls with recording off (stopping early when an
// event handler sets the "redrawn" mark); returns the number of records replayed.
int gobj_redraw_funcs();
// The function that makes the kernel call of one record again (GOBJ_FUNC records are
// called here); records of codes it does not know are skipped.
using GksReplayFunc = void (*)(const GksObj& object);
void gobj_set_replay(GksReplayFunc function);
// The window's event service, polled every 500th call and every 200th replayed record.
void gobj_set_poll(int (*function)());
// The "redrawn" mark: set when the plot has been drawn anew, which ends a replay early.
void gset_redrawn(int on);
int gget_redrawn();

// A state change for the device and the object list: on a metafile it goes to the device
// only; otherwise the device gets it and, when it accepts, it is recorded as an object
// (data: the values). Returns the device's answer (0 without a device), -1 when refused.
int gdev_state(int code, int arg, const float* values, int count);
// Sets a float attribute: refused with the routine's invalid message (a format taking the
// value) when not finite or, if nonnegative, below 0; passed on to the device only when it
// changes, and stored once the device took it. 0, or -1 after a message.
int gdev_set_float(const char* routine, int code, float value, float* store, const char* invalid, bool nonnegative);
// The list itself and the number of calls counted since the workstation opened.
const std::list<GksObj>& gobj_list();
long gget_num_objects();
