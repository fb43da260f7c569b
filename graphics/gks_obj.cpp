// The object list: recording and replay of kernel calls, and segments.
#include "graphics/gks_obj.h"

#include <cstring>
#include <new>

#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"

namespace {

std::list<GksObj> objs;
long num_objects = 0;
bool redraw = false;
bool cache = false;
// Bumped whenever the list is emptied, so a replay notices that a replayed function
// cleared it.
long generation = 0;

constexpr long poll_every = 500;

// The record's data as floats (at least `need` of them), or null when it is too short.
const float* floats(const GksObj& o, std::vector<float>& buf, std::size_t need) {
  if (o.data.size() < need * sizeof(float)) return nullptr;
  buf.resize(o.data.size() / sizeof(float));
  std::memcpy(buf.data(), o.data.data(), buf.size() * sizeof(float));
  return buf.data();
}

void replay(const GksObj& o, std::vector<float>& buf) {
  const std::size_t n = o.arg > 0 ? static_cast<std::size_t>(o.arg) : 0;
  const float* f = nullptr;
  switch (o.type) {
    case GOBJ_MESSAGE:
      if (!o.data.empty() && o.data.back() == '\0') gmessage(o.arg, reinterpret_cast<const char*>(o.data.data()));
      break;
    case GOBJ_WS_VP:
      if ((f = floats(o, buf, 4))) gset_ws_vp(1, f);
      break;
    case GOBJ_WS_WIN:
      if ((f = floats(o, buf, 4))) gset_ws_win(1, f);
      break;
    case GOBJ_TRAN:
      gsel_norm_tran(o.arg);
      break;
    case GOBJ_VP:
      if ((f = floats(o, buf, 4))) gset_vp(o.arg, f);
      break;
    case GOBJ_WIN:
      if ((f = floats(o, buf, 4))) gset_win(o.arg, f);
      break;
    case GOBJ_COLR:
      if ((f = floats(o, buf, 3))) gset_colr_rep(1, o.arg, f);
      break;
    case GOBJ_CLEAR:
      if ((f = floats(o, buf, 4))) gclear_region(f);
      break;
    case GOBJ_LINE:
      if ((f = floats(o, buf, 2 * n))) gpolyline(o.arg, f);
      break;
    case GOBJ_LTYPE:
      gset_linetype(o.arg);
      break;
    case GOBJ_LWIDTH:
      if ((f = floats(o, buf, 1))) gset_linewidth(f[0]);
      break;
    case GOBJ_LCOLR:
      gset_line_colr_ind(o.arg);
      break;
    case GOBJ_LBOLD:
      if ((f = floats(o, buf, 1))) gset_line_print_bold(f[0]);
      break;
    case GOBJ_MARK:
      if ((f = floats(o, buf, 2 * n))) gpolymarker(o.arg, f);
      break;
    case GOBJ_MTYPE:
      gset_marker_type(o.arg);
      break;
    case GOBJ_MSIZE:
      if ((f = floats(o, buf, 1))) gset_marker_size(f[0]);
      break;
    case GOBJ_MCOLR:
      gset_marker_colr_ind(o.arg);
      break;
    case GOBJ_MWIDTH:
      if ((f = floats(o, buf, 1))) gset_marker_width(f[0]);
      break;
    case GOBJ_TEXT:
      if (o.data.size() > 2 * sizeof(float) && o.data.back() == '\0') {
        float pos[2];
        std::memcpy(pos, o.data.data(), sizeof pos);
        gtext(pos, reinterpret_cast<const char*>(o.data.data() + sizeof pos));
      }
      break;
    case GOBJ_TSPACE:
      if ((f = floats(o, buf, 1))) gset_space(f[0]);
      break;
    case GOBJ_TCSPACE:
      if ((f = floats(o, buf, 1))) gset_char_space(f[0]);
      break;
    case GOBJ_TEXPAN:
      if ((f = floats(o, buf, 1))) gset_expan(f[0]);
      break;
    case GOBJ_TCOLR:
      gset_text_colr_ind(o.arg);
      break;
    case GOBJ_THEIGHT:
      if ((f = floats(o, buf, 1))) gset_char_ht(f[0]);
      break;
    case GOBJ_TUP:
      if ((f = floats(o, buf, 2))) gset_char_up_vec(f[0], f[1]);
      break;
    case GOBJ_TFONT:
      if ((f = floats(o, buf, 1))) gset_fontprec(o.arg, static_cast<int>(f[0]));
      break;
    case GOBJ_TALIGN:
      if ((f = floats(o, buf, 1))) gset_text_align(o.arg, static_cast<int>(f[0]));
      break;
    case GOBJ_TWIDTH:
      if ((f = floats(o, buf, 1))) gset_text_width(f[0]);
      break;
    case GOBJ_FILL:
      if ((f = floats(o, buf, 2 * n))) gfill_area(o.arg, f);
      break;
    case GOBJ_FSTYLE:
      gset_fill_int_style(o.arg);
      break;
    case GOBJ_FINDEX:
      gset_fill_style_ind(o.arg);
      break;
    case GOBJ_FCOLR:
      gset_fill_colr_ind(o.arg);
      break;
    case GOBJ_FSOLID:
      gset_fill_print_solid(o.arg);
      break;
    case GOBJ_FUNC:
      if (o.func != nullptr) o.func(o.data.empty() ? nullptr : o.data.data());
      break;
    default:  // segment marks and codes of later writers
      break;
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
  if (++num_objects % poll_every == 0) gcheck_event();
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
  std::vector<float> buf;
  for (const GksObj& o : walk) {
    replay(o, buf);
    ++count;
  }
  // Recording was off, so nothing was added; give the list back unless a replayed
  // function emptied it.
  if (gen == generation) objs.swap(walk);
  gset_redraw(was);
  return count;
}

const std::list<GksObj>& gobj_list() { return objs; }
long gget_num_objects() { return num_objects; }
