// The object list: recording and replay of kernel calls, and segments.
#include "graphics/gks_obj.h"

#include <cmath>
#include <new>
#include <set>
#include <utility>

#include "graphics/gks_dev.h"

namespace {

constexpr long poll_every = 500;
constexpr long poll_replay_every = 200;

// The recorded drawing calls of the window, how they are replayed, and whether the
// frames' creation is recorded too.
struct ObjState {
  std::list<GksObj> objs;
  long num_objects = 0;
  bool redraw = false;
  bool cache = false;
  // Bumped whenever the list is emptied, so a replay notices that a replayed function
  // cleared it.
  long generation = 0;

  bool redrawn = false;

  bool record_window = true;
  int armed_frame = -1;  // the frame created last, recorded once it is selected
};
ObjState st;

// Wired by the kernel while the program's statics are initialised, which may come before
// the record above is (its list is made at run time), so kept apart and out of its reset.
struct ObjWiring {
  GksReplayFunc replay_func = nullptr;
  int (*poll_func)() = nullptr;
};
GKS_CONSTINIT ObjWiring wiring;

void replay(const GksObj& o) {
  if (o.type == GOBJ_FUNC) {
    if (o.func != nullptr) o.func(o.data.empty() ? nullptr : o.data.data());
  } else if (wiring.replay_func != nullptr) {
    wiring.replay_func(o);
  }
}

GksObj* append(int type, int arg) {
  try {
    st.objs.push_back(GksObj{type, arg, {}, nullptr});
    return &st.objs.back();
  } catch (const std::bad_alloc&) {
    gerr_printf("newobj", "malloc error\n");
    st.redraw = false;
    return nullptr;
  }
}

}  // namespace

void ginit_objs() {
  st.objs.clear();
  ++st.generation;
  st.num_objects = 0;
}

void GOBJ_reset_state() { st = ObjState{}; }

void* gnew_obj(int type, int arg, std::size_t size, const void* data) {
  if (++st.num_objects % poll_every == 0 && wiring.poll_func != nullptr) wiring.poll_func();
  if (!st.redraw) return nullptr;
  GksObj* o = append(type, arg);
  if (o == nullptr || size == 0 || data == nullptr) return nullptr;
  try {
    const auto* bytes = static_cast<const unsigned char*>(data);
    o->data.assign(bytes, bytes + size);
  } catch (const std::bad_alloc&) {
    gerr_printf("newobj", "data malloc error\n");
    st.objs.pop_back();
    st.redraw = false;
    return nullptr;
  }
  return o->data.data();
}

void gclear_objs() {
  st.objs.clear();
  ++st.generation;
}

int gset_redraw(int on) {
  const int previous = st.redraw ? 1 : 0;
  st.redraw = on != 0;
  return previous;
}

int gget_redraw() { return st.redraw ? 1 : 0; }

void gset_record_window(int on) { st.record_window = on != 0; }
int gget_record_window() { return st.record_window ? 1 : 0; }

void gobj_frame_created(int n) {
  if (!st.record_window) return;
  // The drawing of the frames before goes; the colours, transformations and attributes
  // they set stay, since the new frame is drawn with them: the last setting of each, so
  // that a long loop does not pile them up.
  std::list<GksObj> kept;
  std::set<std::pair<int, int>> seen;
  for (auto it = st.objs.rbegin(); it != st.objs.rend(); ++it) {
    const int t = it->type;
    if (t == GOBJ_LINE || t == GOBJ_MARK || t == GOBJ_TEXT || t == GOBJ_FILL || t == GOBJ_CLEAR ||
        t == GOBJ_MESSAGE || t == GOBJ_FUNC || t == GOBJ_SEG_BEGIN || t == GOBJ_SEG_END)
      continue;
    // Colours by index, windows and viewports by transformation; the rest by kind.
    const bool numbered = t == GOBJ_COLR || t == GOBJ_WIN || t == GOBJ_VP || t == GOBJ_WS_WIN || t == GOBJ_WS_VP;
    if (seen.emplace(t, numbered ? it->arg : 0).second) kept.push_front(std::move(*it));
  }
  st.objs.swap(kept);
  st.armed_frame = n;
}

void gobj_frame_selected(int n) {
  if (!st.record_window || n != st.armed_frame) return;
  st.armed_frame = -1;
  st.redraw = true;
}

int gset_cache(int on) {
  const int previous = st.cache ? 1 : 0;
  st.cache = on != 0;
  return previous;
}

int gget_cache() { return st.cache ? 1 : 0; }

int gset_redraw_func(GksRedrawFunc function, const void* data, std::size_t size) {
  if (function == nullptr) return -1;
  if (!st.redraw) return 0;
  GksObj* o = append(GOBJ_FUNC, 0);
  if (o == nullptr) return -1;
  o->func = function;
  if (data != nullptr && size > 0) {
    try {
      const auto* bytes = static_cast<const unsigned char*>(data);
      o->data.assign(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
      st.objs.pop_back();
      return gerr_printf("newobj", "data malloc error\n");
    }
  }
  return 0;
}

int gcreate_seg(int n) {
  if (gtype_is_META()) {
    gdev_state(GOBJ_SEG_BEGIN, n, nullptr, 0);
    return -1;
  }
  gnew_obj(GOBJ_SEG_BEGIN, n, 0, nullptr);
  return 0;
}

int gclose_seg(int n) {
  if (gtype_is_META()) {
    gdev_state(GOBJ_SEG_END, n, nullptr, 0);
    return -1;
  }
  gnew_obj(GOBJ_SEG_END, n, 0, nullptr);
  return 0;
}

int gdel_seg(int n) {
  if (gtype_is_META()) {
    gdev_state(GOBJ_SEG_DELETE, n, nullptr, 0);
    return -1;
  }
  gdel_seg_objs(n);
  return 0;
}

void gdel_seg_objs(int n) {
  for (auto it = st.objs.begin(); it != st.objs.end();) {
    if (it->type != GOBJ_SEG_BEGIN || it->arg != n) {
      ++it;
      continue;
    }
    auto end = it;
    while (end != st.objs.end() && !(end->type == GOBJ_SEG_END && end->arg == n)) ++end;
    if (end != st.objs.end()) ++end;
    it = st.objs.erase(it, end);
  }
}

int gobj_redraw_funcs() {
  const int was = gset_redraw(0);
  std::list<GksObj> walk;
  walk.swap(st.objs);
  const long gen = st.generation;
  int count = 0;
  st.redrawn = false;
  for (const GksObj& o : walk) {
    replay(o);
    // An event handler that drew the plot anew ends this replay.
    if (++count % poll_replay_every == 0 && wiring.poll_func != nullptr) {
      wiring.poll_func();
      if (st.redrawn) break;
    }
  }
  // Recording was off, so nothing was added; give the list back unless a replayed
  // function emptied it.
  if (gen == st.generation) st.objs.swap(walk);
  gset_redraw(was);
  return count;
}

void gobj_set_replay(GksReplayFunc function) { wiring.replay_func = function; }
void gobj_set_poll(int (*function)()) { wiring.poll_func = function; }
void gset_redrawn(int on) { st.redrawn = on != 0; }
int gget_redrawn() { return st.redrawn ? 1 : 0; }

int gdev_state(int code, int arg, const float* values, int count) {
  const GksDevice* dev = gdev_cur();
  const int r = (dev != nullptr && dev->state != nullptr) ? dev->state(code, arg, values, count) : 0;
  if (r < 0) return -1;
  if (!gtype_is_META()) gnew_obj(code, arg, count > 0 ? count * sizeof(float) : 0, values);
  return r;
}

int gdev_set_float(const char* routine, int code, float value, float* store, const char* invalid, bool nonnegative) {
  if (!gchk_graphics()) return gerr_printf(routine, "GKS not opened\n");
  if (!std::isfinite(value) || (nonnegative && value < 0.0F)) return gerr_printf(routine, invalid, value);
  if (value == *store) return 0;
  if (gdev_state(code, 0, &value, 1) < 0) return -1;
  *store = value;
  return 0;
}

const std::list<GksObj>& gobj_list() { return st.objs; }
long gget_num_objects() { return st.num_objects; }
