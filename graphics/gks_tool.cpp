// Graphics kernel: the workstation and the GPH_ plotting layer.
#include "graphics/gks_tool.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "config/fileio.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/prompt.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_cairo.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_hpgl.h"
#include "graphics/gks_line.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ogr.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_zoom.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// The workstation the program opened, the type it defaulted to, and the size, offset and
// font asked for before it opens.
struct ToolState {
  int ws_id = 1;
  // The type came from the batch default rather than from the user.
  bool type_defaulted = false;

  float sizex = 1.0F, sizey = 1.0F, offx = 0.0F, offy = 0.0F;
  // NDC extent of the display space; the longer side is 1.
  float xvp = 1.0F, yvp = 1.0F;
  std::string def_font;
};
GKS_CONSTINIT ToolState st;

// The device string of a device specification: everything after the first comma.
std::string device_rest(const char* spec) {
  if (spec == nullptr) return {};
  const char* comma = std::strchr(spec, ',');
  if (comma == nullptr) return {};
  std::string rest = comma + 1;
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\n')) rest.pop_back();
  std::size_t b = 0;
  while (b < rest.size() && (rest[b] == ' ' || rest[b] == '\t')) ++b;
  return rest.substr(b);
}

int init_mode(int type) {
  switch (type) {
    case WS_PS:
      return 2;
    case WS_HPGL:
      return 3;
    case WS_META:
      return 4;
    case WS_RASTER:
    case WS_OGR:
      return 5;
    default:
      return 0;
  }
}

bool is_set(float v) { return v != MISSING && std::isfinite(v); }
bool is_set(int v) { return v != MISSING_INT; }

int draw_circle(float x, float y, float r, bool fill) {
  float pts[74];
  for (int k = 0; k <= 36; ++k) {
    const double a = k * 10.0 * pi / 180.0;
    pts[2 * k] = x + static_cast<float>(r * std::cos(a));
    pts[2 * k + 1] = y + static_cast<float>(r * std::sin(a));
  }
  return fill ? gfill_area(37, pts) : gpolyline(37, pts);
}

int draw_rect(float x1, float y1, float x2, float y2, bool fill) {
  const float pts[10] = {x1, y1, x2, y1, x2, y2, x1, y2, x1, y1};
  return fill ? gfill_area(5, pts) : gpolyline(5, pts);
}

// The record's data as floats (at least `need` of them), or null when it is too short.
const float* floats(const GksObj& o, std::vector<float>& buf, std::size_t need) {
  if (o.data.size() < need * sizeof(float)) return nullptr;
  buf.resize(o.data.size() / sizeof(float));
  std::memcpy(buf.data(), o.data.data(), buf.size() * sizeof(float));
  return buf.data();
}

// Makes the kernel call of one recorded object again.
void replay(const GksObj& o) {
  static std::vector<float> buf;
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
    default:  // segment marks and codes of later writers
      break;
  }
}

// Replays the object list into a file device (type 4 or 3) and comes back to the window.
int print_objects(int type) {
  const bool ps = type == WS_PS;
  const char* routine = ps ? "gobj_print_plot" : "gobj_print_meta";
  if (gobj_list().empty()) {
    MESS_print(MESS_WARN, ps ? "%s: No redraw data to make Postscript file from\n"
                             : "%s: No redraw data to make metafile from\n",
               routine);
    return 0;
  }
  const char* name = std::getenv(ps ? "zavps_print" : "METAOUT");
  if (ps && (name == nullptr || *name == '\0')) name = std::getenv("PSPRINT");
  if (name == nullptr || *name == '\0') name = ps ? "zav.ps" : "zav.meta";
  const int type_was = gget_win_type();
  const int cursor_was = gset_cursor_type(8);
  const int redraw_was = gget_redraw();
  float w = 0.0F, h = 0.0F, ox = 0.0F, oy = 0.0F;
  gget_win_size(&w, &h);
  gget_win_offset(&ox, &oy);
  gset_win_type(type);
  const int opened = ps ? gps_open_file(name) : gmeta_open_file(name);
  int result = 0;
  if (opened != 0) {
    result = gerr_printf(ps ? "gprint_plot" : "gprint_meta", ps ? "unable to open postscript file\n" : "unable to open metafile\n");
  } else {
    gset_win_offset(0.0F, 0.0F);
    if (ps) {
      gps_init();
      gps_init_file();
      gset_win_size(757.0F, 577.0F);
      ginit_plot(2);
    } else {
      gmeta_init_file();
      gset_win_size(1001.0F, 801.0F);
      ginit_plot(4);
    }
    gset_redraw(0);
    gobj_redraw_funcs();
    if ((ps ? gps_close_file() : gmeta_close_file()) != 0) result = -1;
  }
  gset_win_type(type_was);
  gset_win_size(w, h);
  gset_win_offset(ox, oy);
  gset_redraw(redraw_was);
  // The window's attributes and its transformations on the window's own surface again.
  ginit_plot(-1);
  ginit_tran(10);
  gset_cursor_type(cursor_was);
  gcheck_event();
  gbell(50);
  return result;
}

// The kernel's modules meet here, at the top of the layer: the object list replays
// through this module, the file writers and the window become the devices of their
// types, and the window modules are joined to the services they call upwards, before any
// workstation opens.
const bool wired = [] {
  gobj_set_replay(replay);
  gdev_set_builtin(WS_PS, gps_device());
  gdev_set_builtin(WS_HPGL, ghpgl_device());
  gdev_set_builtin(WS_META, gmeta_device());
  gdev_set_builtin(WS_RASTER, gcairo_device());
  gdev_set_builtin(WS_OGR, gogr_device());
  gdev_set_builtin(WS_X11, gx11_device());
  gdev_set_builtin(WS_XDRAW, gx11_device());
  gobj_set_poll(gcheck_event);
  gx11_set_event_handler(gprocess_x11_event);
  gx11_set_fatal_hook(gforget_frames);
  gloop_set_zoom_display(gzoom_display_frame);
  gset_event_hooks(ginit_plot, gobj_print_meta);
  return true;
}();

}  // namespace

// ---- workstation type ----

int gdevice_setup(const char* spec, char* rest, std::size_t size) {
  const std::string tail = device_rest(spec);
  if (rest != nullptr) copy_bounded(rest, size, tail);
  std::string first = spec != nullptr ? spec : "";
  first = first.substr(0, first.find(','));
  return RES_set_device(first.c_str());
}

// ---- opening and closing ----

int gopen_ws(int, const char* device_string, int type) {
  if (gchk_graphics()) return gerr_printf("gopen_ws", "workstation already open\n");
  gtext_room_clear();
  if (type == WS_PS) {
    const char* p = std::getenv("zavprint");
    if (p != nullptr && stricmp(p, "hpgl") == 0) type = WS_HPGL;
  }
  const GksDevice* dev = gdev_get(type);
  if (dev == nullptr) return gerr_printf("gopen_ws", "invalid workstation type: %d\n", type);
  const int previous = gget_win_type();
  gset_win_type(type);
  gset_cache(0);
  gset_win_offset(0.0F, 0.0F);
  gclear_colors();
  if (dev->open != nullptr && dev->open(type, device_string != nullptr ? device_string : "") < 0) {
    gset_win_type(previous);
    return -1;
  }
  gdev_set_open(1);
  ginit_objs();
  greset_zoom();
  ginit_plot(init_mode(type));
  gsetup_fonts();
  ginit_background();
  if (type == WS_XDRAW && gget_pix_mode() == 1) gx11_clear(gget_base_window());
  // A window keeps its picture as a list for Alt-m; files need none.
  gset_redraw(gtype_is_WIN() && gget_record_window() ? 1 : 0);
  if (type == WS_X11 || type == WS_XDRAW) {
    gsync();
    gcheck_event();
    gset_cursor(8);
  }
  return 0;
}

int gclose_ws(int) {
  if (!gchk_graphics()) return -1;
  // Frame pictures live on the window only; the table goes with the workstation.
  gdelete_all_frames();
  const GksDevice* dev = gdev_cur();
  greset_zoom();
  const int r = (dev != nullptr && dev->close != nullptr) ? dev->close() : 0;
  if (gtype_is_WIN()) gclear_objs();
  gset_win_size(0.0F, 0.0F);
  gdev_set_open(0);
  return r < 0 ? -1 : 0;
}

int gactivate_ws(int) { return 0; }
int gdeactivate_ws(int) { return 0; }
int gemergency_close_gks() { return 0; }

int gclear_ws(int, int) {
  if (!gchk_graphics()) return -1;
  // A new picture has room for all its labels.
  gtext_room_clear();
  const GksDevice* dev = gdev_cur();
  if (dev->clear != nullptr) dev->clear();
  // A window starts its picture again; a file keeps what it has written, and its
  // attribute records must keep matching the kernel's state.
  if (gtype_is_WIN()) {
    gclear_objs();
    ginit_plot(-1);
  }
  return 0;
}

void ginit_plot(int mode) {
  greset_text();
  greset_line();
  greset_marker();
  greset_fill();
  const GksDevice* dev = gdev_cur();
  if (mode != -1) {
    ginit_loop();
    ginit_tran(mode);
    ginit_text(mode);
    ginit_line(mode);
    ginit_marker(mode);
    ginit_fill(mode);
  }
  if (dev != nullptr && dev->init != nullptr) dev->init(mode);
  if (mode == 0) {
    // Errors of opening the window are its own business; from here on they are reported.
    gx11_error_flag();
    gx11_set_error_print(1);
    if (gtype_is_PIX()) gset_rw_colors(0);
  }
  if (mode == 0 || mode == 1) ginit_events();
}

int gobj_redraw_plot() {
  if (!gget_redraw() || !gtype_is_WIN() || gget_display() == nullptr) return 0;
  gresize_window(0, 0);
  const int cursor = gset_cursor_type(8);
  gset_draw_window(gget_base_window());
  ginit_plot(1);
  const int n = gobj_redraw_funcs();
  gset_redraw(1);
  gset_cache(1);
  gupdate_window();
  gset_cursor_type(cursor);
  gcheck_event();
  gset_redrawn(1);
  return n;
}

int gobj_print_plot() { return print_objects(WS_PS); }
int gobj_print_meta() { return print_objects(WS_META); }
int gwin_has_display() { return gget_display() != nullptr ? 1 : 0; }

// ---- plotting layer: opening and closing ----

int GPH_setup(int ws, int, float panel[4], float aspect) {
  const std::string device = device_rest(RES_get("device"));
  // The "draw" resource is read by the plot layers themselves.
  int type = FLAG_get(FLAG_DEVICE);
  st.type_defaulted = false;
  if (type < 1) {
    type = FLAG_batch() ? WS_X11 : 0;
    st.type_defaulted = type == WS_X11;
  }
  gset_display_optional(st.type_defaulted ? 1 : 0);
  GPH_set_win_title();
  CLR_read_table(nullptr);
  GPH_begin(ws, device.c_str(), type);
  return GPH_reset(ws, gget_win_type(), panel, aspect);
}

void GPH_set_win_title() {
  char own[RES_TEXT_LEN] = "";
  RES_get_progname(own);
  const char* name = RES_get("name");
  const bool named = name != nullptr && *name != '\0';
  gset_prog_name(named ? name : own);
  const char* title = RES_get("title");
  if (title != nullptr && *title != '\0')
    gset_win_title(title);
  else if (named)
    gset_win_title(name[0] == '+' ? name + 1 : name);
  else
    gset_win_title(own);
}

int GPH_begin(int, const char* device_string, int type) {
  // The kernel's own error file of an earlier run must not be taken for this run's.
  if (FILE_exist("zavgks.err")) FILE_delete("zavgks.err");
  st.ws_id = 1;
  std::string device = device_string != nullptr ? device_string : "";
  if (type == 0) {
    char answer[82] = "";
    ZAV_prompts("Display (D) or Postscript (P): ", answer, 80);
    type = RES_set_device(answer);
    FLAG_set(FLAG_DEVICE, type);
    if (device.empty()) device = device_rest(answer);
  }
  if (!gchk_graphics()) {
    if (gopen_gks(nullptr, 0) != 0) {
      MESS_print(MESS_ERROR, "GPH_begin: Error opening Kernel System\n");
      ZAV_exit(4);
    }
    if (gopen_ws(st.ws_id, device.c_str(), type) != 0) {
      MESS_print(MESS_ERROR, "GPH_begin: Error opening workstation\n");
      // An output file that cannot be made has counted already (status 30), and the run
      // ends with its first failure.
      ZAV_exit(ZAV_status() != 0 ? ZAV_status() : ZAV_STATUS_DEVICE);
    }
  }
  return 0;
}

int GPH_reset(int ws, int type, float panel[4], float aspect) {
  if (!gchk_graphics()) return -1;
  gclear_ws(ws, 1);
  ginq_maxview(&st.xvp, &st.yvp);
  const float page[4] = {0.0F, st.xvp, 0.0F, st.yvp};
  gset_ws_win(ws, page);
  gset_vp(1, page);
  gset_win(1, page);
  GPH_panel(ws, type, panel, aspect);
  for (int i = 0; i < CLR_get_num(); ++i) {
    float rgb[3];
    if (CLR_get_rgb(i, &rgb[0], &rgb[1], &rgb[2]) == 0) gset_colr_rep(ws, i, rgb);
  }
  GPH_text_font(nullptr);
  return 0;
}

int GPH_panel(int, int, float panel[4], float aspect) {
  float m[4] = {0.0F, 0.0F, 0.0F, 0.0F};
  if (panel != nullptr)
    for (int i = 0; i < 4; ++i) m[i] = std::isfinite(panel[i]) ? panel[i] : 0.0F;
  const float x0 = (st.sizex * m[0] + st.offx) * st.xvp, x1 = (st.sizex + st.offx - st.sizex * m[1]) * st.xvp;
  const float y0 = (st.sizey * m[2] + st.offy) * st.yvp, y1 = (st.sizey + st.offy - st.sizey * m[3]) * st.yvp;
  const float w = x1 - x0, h = y1 - y0;
  if (!(w > 0.0F && h > 0.0F)) {
    MESS_print(MESS_WARN, "GPH_panel: the margins leave no room for the plot\n");
    return -1;
  }
  float ax = st.sizex * st.xvp, ay = st.sizey * st.yvp;
  if (aspect != 0.0F && std::isfinite(aspect)) {
    ax = std::fabs(aspect);
    ay = 1.0F;
  }
  float nw = w, nh = h;
  if (ax > 0.0F && ay > 0.0F) {
    if (ay / h > ax / w) {
      nw = h * ax / ay;
    } else {
      nh = w * ay / ax;
    }
  }
  const float cx = (x0 + x1) / 2.0F, cy = (y0 + y1) / 2.0F;
  const float rect[4] = {cx - nw / 2.0F, cx + nw / 2.0F, cy - nh / 2.0F, cy + nh / 2.0F};
  for (int n : {2, 3}) {
    gset_win(n, rect);
    gset_vp(n, rect);
  }
  GPH_line_attr(nullptr);
  GPH_fill_attr(nullptr);
  GPH_mark_attr(nullptr, 1.0F);
  GPH_text_attr(nullptr, 1.0F);
  if (panel != nullptr)
    for (int i = 0; i < 4; ++i) panel[i] = rect[i];
  return 0;
}

void GPH_hold(int type) {
  gupdate_window();
  if (type != WS_X11 || !gtype_is_WIN()) return;
  // A window that a batch run opened by default was not asked for: nobody is there to
  // release it, so the run goes on at once.
  if (FLAG_batch() && gget_display_optional()) return;
  ghold();
}

void GPH_end(int ws) {
  gdeactivate_ws(ws);
  gclose_ws(ws);
  gclose_gks();
  // A batch default stays a default: the next plot may again go without a display.
  if (!st.type_defaulted && gget_win_type() > 0) FLAG_set(FLAG_DEVICE, gget_win_type());
}

// ---- plotting layer: view ----

void GPH_set_view_size(float sx, float sy, float ox, float oy) {
  st.sizex = sx;
  st.sizey = sy;
  st.offx = ox;
  st.offy = oy;
}

void GPH_get_view_size(float view[4]) {
  if (view == nullptr) return;
  view[0] = st.offx * st.xvp;
  view[1] = (st.offx + st.sizex) * st.xvp;
  view[2] = st.offy * st.yvp;
  view[3] = (st.offy + st.sizey) * st.yvp;
}

float GPH_get_vert_win_size() { return st.yvp; }

int GPH_win(int n, const float rect[4]) { return gset_win(n, rect); }
int GPH_view(int n, const float rect[4]) { return gset_vp(n, rect); }
int GPH_trans(int n) { return gsel_norm_tran(n); }

int GPH_get_win(int n, float rect[4]) {
  int error = 0;
  float t[8];
  if (rect == nullptr || ginq_norm_tran(n, &error, t) != 0) return -1;
  for (int i = 0; i < 4; ++i) rect[i] = t[i];
  return 0;
}

void GPH_reset_state() { st = ToolState{}; }

int GPH_get_view(int n, float rect[4]) {
  int error = 0;
  float t[8];
  if (rect == nullptr || ginq_norm_tran(n, &error, t) != 0) return -1;
  for (int i = 0; i < 4; ++i) rect[i] = t[4 + i];
  return 0;
}

void GPH_print_view(const float rect[4]) {
  if (rect != nullptr) MESS_print(MESS_PRINT, "%5.2f %5.2f %5.2f %5.2f\n", rect[0], rect[1], rect[2], rect[3]);
}

// ---- plotting layer: drawing ----

int GPH_line(float x1, float y1, float x2, float y2) {
  const float pts[4] = {x1, y1, x2, y2};
  return gpolyline(2, pts);
}

int GPH_rect(float x1, float y1, float x2, float y2) { return draw_rect(x1, y1, x2, y2, false); }
int GPH_frect(float x1, float y1, float x2, float y2) { return draw_rect(x1, y1, x2, y2, true); }

int GPH_border(const float rect[4]) {
  if (rect == nullptr) return -1;
  return draw_rect(rect[0], rect[2], rect[1], rect[3], false);
}

int GPH_circle(float x, float y, float r) { return draw_circle(x, y, r, false); }
int GPH_fcircle(float x, float y, float r) { return draw_circle(x, y, r, true); }

int GPH_mark(float x, float y) {
  const float pt[2] = {x, y};
  return gpolymarker(1, pt);
}

int GPH_pprint(const float position[2], const char* text) { return gtext(position, text); }

int GPH_printf(float x, float y, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = format_va(format, args);
  va_end(args);
  const float position[2] = {x, y};
  return gtext(position, text.c_str());
}

int GPH_pprintf(const float position[2], const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = format_va(format, args);
  va_end(args);
  return gtext(position, text.c_str());
}

int GPH_text_rotate(float degrees) {
  const double a = degrees * pi / 180.0;
  return gset_char_up_vec(static_cast<float>(std::sin(a)), static_cast<float>(std::cos(a)));
}

int GPH_text_align(int horizontal, int vertical) { return gset_text_align(horizontal, vertical); }
void GPH_get_text_align(int* horizontal, int* vertical) { ginq_text_align(horizontal, vertical); }

void GPH_set_def_font(const char* name) { st.def_font = name != nullptr ? name : ""; }

int GPH_text_font(const char* name) {
  const char* n = (name != nullptr && *name != '\0') ? name : st.def_font.c_str();
  return gset_fontprec(*n != '\0' ? gget_font_index(n) : 1, 2);
}

// ---- plotting layer: attribute bundles ----

int GPH_line_attr(const AttribRec* attr) {
  if (attr == nullptr) {
    gset_linetype(1);
    return gset_linewidth(0.0F);
  }
  if (attr->color >= 0) gset_line_colr_ind(attr->color);
  if (is_set(attr->style)) gset_linetype(attr->style);
  if (is_set(attr->width)) gset_linewidth(attr->width);
  return 0;
}

int GPH_fill_attr(const AttribRec* attr) {
  if (attr == nullptr) return gset_fill_int_style(1);
  if (attr->color >= 0) gset_fill_colr_ind(attr->color);
  if (attr->fill == 0) {
    gset_fill_int_style(1);
  } else if (is_set(attr->fill)) {
    gset_fill_int_style(2);
    gset_fill_style_ind(attr->fill);
  }
  return 0;
}

int GPH_mark_attr(const AttribRec* attr, float scale) {
  if (attr == nullptr) return gset_marker_width(0.0F);
  if (attr->color >= 0) gset_marker_colr_ind(attr->color);
  if (is_set(attr->style)) gset_marker_type(attr->style);
  if (is_set(attr->size))
    gset_marker_size(attr->size * scale);
  else if (scale > 0.0F)
    gset_marker_size(scale);
  if (is_set(attr->width)) gset_marker_width(attr->width);
  return 0;
}

int GPH_text_attr(const AttribRec* attr, float height) {
  if (attr == nullptr) {
    gset_text_width(0.0F);
    gset_expan(1.0F);
    return -1;
  }
  if (attr->color >= 0) gset_text_colr_ind(attr->color);
  gset_char_ht(is_set(attr->size) ? attr->size * height : height);
  if (is_set(attr->width)) gset_text_width(attr->width);
  if (is_set(attr->expansion)) gset_expan(attr->expansion);
  if (is_set(attr->font)) gset_fontprec(attr->font, 2);
  gset_space(0.25F);
  return 0;
}

int GPH_set_color(int index, float r, float g, float b) {
  const float rgb[3] = {r, g, b};
  return gset_colr_rep(1, index, rgb);
}
