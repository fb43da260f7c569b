// The object list: recording and replay of kernel calls, and segments.
#include "graphics/gks_obj.h"

#include <cmath>
#include <new>
#include <set>
#include <utility>

#include "graphics/gks_dev.h"

namespace {

std::list<GksObj> objs;
long num_objects = 0;
bool redraw = false;
bool cache = false;
// Bumped whenever the list is emptied, so a replay notices that a replayed function
// cleared it.
long generation = 0;

constexpr long poll_every = 500;

GksReplayFunc replay_func = nullptr;
int (*poll_func)() = nullptr;
bool redrawn = false;
constexpr long poll_replay_every = 200;

void replay(const GksObj& o) {
  if (o.type == GOBJ_FUNC) {
    if (o.func != nullptr) o.func(o.data.empty() ? nullptr : o.data.data());
  } else if (replay_func != nullptr) {
    replay_func(o);
  }
}

GksObj* append(int type, int arg) {
  try {
    objs.push_back(GksObj{type, arg, {}, nullptr});
    return &objs.back();
  } catch (const std::bad_alloc&) {
    gerr_printf("newobj", "malloc error\n");
    redraw = false;
    return nullptr;
  }
}

}  // namespace

void ginit_objs() {
  objs.clear();
  ++generation;
  num_objects = 0;
}

void* gnew_obj(int type, int arg, std::size_t size, const void* data) {
  if (++num_objects % poll_every == 0 && poll_func != nullptr) poll_func();
  if (!redraw) return nullptr;
  GksObj* o = append(type, arg);
  if (o == nullptr || size == 0 || data == nullptr) return nullptr;
  try {
    const auto* bytes = static_cast<const unsigned char*>(data);
    o->data.assign(bytes, bytes + size);
  } catch (const std::bad_alloc&) {
    gerr_printf("newobj", "data malloc error\n");
    objs.pop_back();
    redraw = false;
    return nullptr;
  }
  return o->data.data();
}

void gclear_objs() {
  objs.clear();
  ++generation;
}

int gset_redraw(int on) {
  const int previous = redraw ? 1 : 0;
  redraw = on != 0;
  return previous;
}

int gget_redraw() { return redraw ? 1 : 0; }

namespace {
bool record_window = true;
int armed_frame = -1;  // the frame created last, recorded once it is selected
}  // namespace

void gset_record_window(int on) { record_window = on != 0; }
int gget_record_window() { return record_window ? 1 : 0; }

void gobj_frame_created(int n) {
  if (!record_window) return;
  // The drawing of the frames before goes; the colours, transformations and attributes
  // they set stay, since the new frame is drawn with them: the last setting of each, so
  // that a long loop does not pile them up.
  std::list<GksObj> kept;
  std::set<std::pair<int, int>> seen;
  for (auto it = objs.rbegin(); it != objs.rend(); ++it) {
    const int t = it->type;
    if (t == GOBJ_LINE || t == GOBJ_MARK || t == GOBJ_TEXT || t == GOBJ_FILL || t == GOBJ_CLEAR ||
        t == GOBJ_MESSAGE || t == GOBJ_FUNC || t == GOBJ_SEG_BEGIN || t == GOBJ_SEG_END)
      continue;
    // Colours by index, windows and viewports by transformation; the rest by kind.
    const bool numbered = t == GOBJ_COLR || t == GOBJ_WIN || t == GOBJ_VP || t == GOBJ_WS_WIN || t == GOBJ_WS_VP;
    if (seen.emplace(t, numbered ? it->arg : 0).second) kept.push_front(std::move(*it));
  }
  objs.swap(kept);
  armed_frame = n;
}

void gobj_frame_selected(int n) {
  if (!record_window || n != armed_frame) return;
  armed_frame = -1;
  redraw = true;
}

int gset_cache(int on) {
  const int previous = cache ? 1 : 0;
  cache = on != 0;
  return previous;
}

int gget_cache() { return cache ? 1 : 0; }

int gset_redraw_func(GksRedrawFunc function, const void* data, std::size_t size) {
  if (function == nullptr) return -1;
  if (!redraw) return 0;
  GksObj* o = append(GOBJ_FUNC, 0);
  if (o == nullptr) return -1;
  o->func = function;
  if (data != nullptr && size > 0) {
    try {
      const auto* bytes = static_cast<const unsigned char*>(data);
      o->data.assign(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
      objs.pop_back();
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
  for (auto it = objs.begin(); it != objs.end();) {
    if (it->type != GOBJ_SEG_BEGIN || it->arg != n) {
      ++it;
      continue;
    }
    auto end = it;
    while (end != objs.end() && !(end->type == GOBJ_SEG_END && end->arg == n)) ++end;
    if (end != objs.end()) ++end;
    it = objs.erase(it, end);
  }
}

int gobj_redraw_funcs() {
  const int was = gset_redraw(0);
  std::list<GksObj> walk;
  walk.swap(objs);
  const long gen = generation;
  int count = 0;
  redrawn = false;
  for (const GksObj& o : walk) {
    replay(o);
    // An event handler that drew the plot anew ends this replay.
    if (++count % poll_replay_every == 0 && poll_func != nullptr) {
      poll_func();
      if (redrawn) break;
    }
  }
  // Recording was off, so nothing was added; give the list back unless a replayed
  // function emptied it.
  if (gen == generation) objs.swap(walk);
  gset_redraw(was);
  return count;
}

void gobj_set_replay(GksReplayFunc function) { replay_func = function; }
void gobj_set_poll(int (*function)()) { poll_func = function; }
void gset_redrawn(int on) { redrawn = on != 0; }
int gget_redrawn() { return redrawn ? 1 : 0; }

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

const std::list<GksObj>& gobj_list() { return objs; }
long gget_num_objects() { return num_objects; }
