// The HPGL writer.
#include "graphics/gks_hpgl.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "config/mess.h"
#include "config/string.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"

namespace {

// One HPGL output at a time: its stream, the user's settings and what was last written,
// so that pens, widths and fills go out only on change.
struct HpglState {
  GksStream out;
  int pcl = 1;
  int pr_rot = 0;
  float pr_scale = 1.0F;
  float base_width = 0.2F;
  bool pr_color = false;
  float sx = 10.5F, sy = 8.0F;
  // What was last written: -1 before anything.
  int cur_type = 1;
  float cur_width = -1.0F;
  int cur_screen = 0;  // 0 "SV;", 1 white, 2 gray
  float cur_fill = -1.0F;
  // The fill is white (the paper): drawn with the white pen, defined once a file.
  bool fill_white = false;
  bool white_pen = false;
};
HpglState st;

constexpr int points_per_line = 10;
constexpr int text_points_per_line = 30;

constexpr float plotter_units = 1015.0F;

bool is_print(int index) { return index >= GKS_PRINT_FIRST && index <= GKS_PRINT_LAST; }

void coord(char pen, float x, float y) {
  st.out.put('P');
  st.out.put(pen);
  st.out.fixed(x, 0);
  st.out.put(',');
  st.out.fixed(y, 0);
  st.out.put(';');
}

std::string output_name(const char* device_string) {
  std::string name = gdev_field(device_string, 0);
  if (name.empty()) {
    const char* env = std::getenv("zavhp_out");
    if (env != nullptr) name = env;
  }
  return name.empty() ? "zav.hpgl" : name;
}

void option(const std::string& opt) {
  const char* o = opt.c_str();
  const char* v = nullptr;
  float w = 0.0F, h = 0.0F;
  if (stricmp(o, "pcl") == 0) {
    st.pcl = 1;
  } else if (stricmp(o, "nopcl") == 0) {
    st.pcl = 0;
  } else if (stricmp(o, "lj") == 0) {
    st.pcl = 2;
  } else if (stricmp(o, "port") == 0) {
    st.pr_rot = 90;
  } else if (stricmp(o, "land") == 0) {
    st.pr_rot = 0;
  } else if ((v = gps_option_value(o, "rot")) != nullptr) {
    int r = 0;
    if (parse_int(v, &r)) ghpgl_set_rotate(r);
  } else if ((v = gps_option_value(o, "scale")) != nullptr) {
    float s = 0.0F;
    if (parse_float(v, &s) && s > 0.0F && s <= 100.0F) st.pr_scale = s;
  } else if ((v = gps_option_value(o, "lwidth")) != nullptr) {
    float b = 0.0F;
    if (parse_float(v, &b) && b > 0.0F && b <= 10.0F) st.base_width = b;
  } else if (gps_page_size(o, true, &w, &h)) {
    st.sx = w, st.sy = h;
  } else if (!opt.empty()) {
    MESS_print(MESS_WARN, "gopen_ws: unknown HPGL option: %s\n", o);
  }
}

int hp_open(int, const char* device_string) {
  ghpgl_init();
  if (ghpgl_open_file(output_name(device_string).c_str()) != 0)
    return gerr_printf("gopen_ws", "unable to open HPGL file\n");
  gps_device_options("zavhp_param", device_string, option);
  const float w = (st.sx - 0.5F) * plotter_units * st.pr_scale, h = (st.sy - 0.5F) * plotter_units * st.pr_scale;
  gset_win_size(w + 1.0F, h + 1.0F);
  gset_win_offset(10.0F, 10.0F);
  gps_place(w, h, 10.15F, 10.0F, "zavhp_geometry", nullptr);
  ghpgl_init_file();
  return 0;
}

int hp_close() { return ghpgl_close_file(); }

void hp_clip(const float r[4]) {
  st.out.str("IW ");
  st.out.fixed(r[0] - 0.1F, 0);
  st.out.put(',');
  st.out.fixed(r[1] - 0.1F, 0);
  st.out.put(',');
  st.out.fixed(r[2] + 0.1F, 0);
  st.out.put(',');
  st.out.fixed(r[3] + 0.1F, 0);
  st.out.str(";\n");
}

int hp_state(int code, int arg, const float* values, int count) {
  if (code == GOBJ_COLR && values != nullptr && count >= 3) {
    // The gray levels of the fills are those of the PostScript writer.
    gps_set_color_rep(arg, values[0], values[1], values[2]);
    return arg < 0 ? GKS_BACKGROUND_SLOT : arg;
  }
  return 0;
}

void line_attributes(int color, float width, int type) {
  ghpgl_set_width(color, width);
  ghpgl_set_color(color);
  ghpgl_set_type(type);
}

void hp_polyline(int n, const float*, const float* dev) {
  line_attributes(gget_line_colr(), gget_line_width(), gget_line_type());
  coord('U', dev[0], dev[1]);
  for (int i = 1; i < n; ++i) {
    coord('D', dev[2 * i], dev[2 * i + 1]);
    if ((i + 1) % points_per_line == 0 && i + 1 < n) st.out.put('\n');
  }
  st.out.put('\n');
}

// White is pen 2 made white and filled solid: a shading of 0% comes out in the pen's black
// on some renderers, and pen 0 paints nothing there. A printer of two pens takes pen 2 as
// pen 0, its white.
void polygon(int n, const float* dev) {
  if (st.fill_white) {
    if (!st.white_pen) st.out.str("PC2,255,255,255;");
    st.white_pen = true;
    st.out.str("SP2;");
  }
  coord('U', dev[0], dev[1]);
  st.out.str("PM0;");
  for (int i = 1; i < n; ++i) {
    coord('D', dev[2 * i], dev[2 * i + 1]);
    if ((i + 1) % points_per_line == 0 && i + 1 < n) st.out.put('\n');
  }
  st.out.str(st.fill_white ? "PM1;PM2;FP;SP1;\n" : "PM1;PM2;FP;\n");
}

void hp_fill(int n, const float*, const float* dev) {
  if (gget_fill_int_style() == 2 && gget_fill_style_ind() == 10) return;  // the clear pattern
  ghpgl_set_fill_color(gget_fill_colr());
  polygon(n, dev);
}

void hp_marker_begin(int) { line_attributes(gget_marker_colr(), gget_marker_width(), 1); }

void hp_marker_shape(int nv, const float* dev, int) {
  coord('U', dev[0], dev[1]);
  if (nv == 1) coord('D', dev[0], dev[1]);
  for (int i = 1; i < nv; ++i) coord('D', dev[2 * i], dev[2 * i + 1]);
  st.out.put('\n');
}

void hp_text_begin(float, float, const char*) { line_attributes(gget_text_colr(), gget_text_width(), 1); }

void hp_text_stroke(int nv, const float* dev, int) {
  coord('U', dev[0], dev[1]);
  for (int i = 1; i < nv; ++i) {
    coord('D', dev[2 * i], dev[2 * i + 1]);
    if ((i + 1) % text_points_per_line == 0 && i + 1 < nv) st.out.put('\n');
  }
  st.out.put('\n');
}

void hp_clear_region(const float*, const float d[4]) {
  ghpgl_set_fill_color(GKS_BACKGROUND);
  const float corners[8] = {d[0], d[1], d[2], d[1], d[2], d[3], d[0], d[3]};
  polygon(4, corners);
}

const GksDevice device{
    .name = "HPGL",
    .open = hp_open,
    .close = hp_close,
    .init = nullptr,
    .clear = nullptr,
    .clip = hp_clip,
    .state = hp_state,
    .polyline = hp_polyline,
    .fill_area = hp_fill,
    .polymarker = nullptr,
    .marker_begin = hp_marker_begin,
    .marker_shape = hp_marker_shape,
    .text = nullptr,
    .text_begin = hp_text_begin,
    .text_stroke = hp_text_stroke,
    .clear_region = hp_clear_region,
    .message = nullptr,
};

}  // namespace

const GksDevice* ghpgl_device() { return &device; }

int ghpgl_open_file(const char* name) {
  if (name == nullptr || !st.out.open(name, "ghpgl_open_file")) return -1;
  if (std::getenv("PSCOLOR") != nullptr) st.pr_color = true;
  return 0;
}

void ghpgl_init() {
  st.pcl = 1;
  st.pr_rot = 0;
  st.pr_scale = 1.0F;
  st.base_width = 0.2F;
  st.pr_color = false;
  st.sx = 10.5F, st.sy = 8.0F;
  st.cur_type = 1;
  st.cur_width = -1.0F;
  st.cur_screen = 0;
  st.cur_fill = -1.0F;
  st.fill_white = false;
}

void ghpgl_init_file() {
  st.cur_type = 1;
  st.cur_screen = 0;
  st.cur_fill = -1.0F;
  st.white_pen = false;
  st.cur_width = st.base_width;
  if (!st.out.appending()) {
    if (st.pcl == 1 || st.pcl == 2) st.out.str("\033E\033%1B\033&l1O\n");
    st.out.str("IN;SP1;PA;\n");
    if (st.pcl == 2) st.out.str("RO90;\n");
    if (st.pr_rot == 90 || st.pr_rot == 180 || st.pr_rot == 270) st.out.printf("RO%d;\n", st.pr_rot);
  }
  st.out.str("PW");
  st.out.fixed(st.base_width, 1);
  st.out.str(";SV;LT;\n");
}

int ghpgl_close_file() {
  if (!st.out.is_open()) return -1;
  if (!st.out.appending()) {
    st.out.str("SP;PG;\n");
    if (st.pcl != 0) st.out.str("\033%0A\033E");
  }
  if (st.out.close("ghpgl_close_file") != 0) return -1;
  MESS_print(MESS_MESS, "Created HPGL file\n");
  return 0;
}

int ghpgl_printf(const char* format, ...) {
  if (!st.out.is_open()) return -1;
  va_list args;
  va_start(args, format);
  const int n = st.out.vprintf(format, args);
  va_end(args);
  return n;
}

void ghpgl_move(float x, float y) { ghpgl_move_abs(xW_ps(x), yW_ps(y)); }
void ghpgl_line(float x, float y) { ghpgl_line_abs(xW_ps(x), yW_ps(y)); }
void ghpgl_move_abs(float x, float y) {
  if (st.out.is_open()) coord('U', x, y);
}
void ghpgl_line_abs(float x, float y) {
  if (st.out.is_open()) coord('D', x, y);
}

void ghpgl_set_width(int color, float width) {
  if (!st.out.is_open() || !std::isfinite(width)) return;
  if (width == 0.0F) width = 1.0F;
  const int k = is_print(color) ? (color - GKS_PRINT_FIRST) % 3 : 0;
  const float w = st.base_width * width * (k == 1 ? 2.0F : k == 2 ? 4.0F : gget_line_print_bold());
  if (w == st.cur_width) return;
  st.cur_width = w;
  st.out.str("PW");
  st.out.fixed(w, 1);
  st.out.str(";\n");
}

void ghpgl_set_color(int index) {
  if (!st.out.is_open()) return;
  const int screen = !is_print(index) ? 0 : (index - GKS_PRINT_FIRST) / 3;
  if (screen == st.cur_screen) return;
  st.cur_screen = screen;
  static const char* const text[] = {"SV;\n", "SV1,0;\n", "SV1,30;\n"};
  st.out.str(text[screen]);
}

void ghpgl_set_fill_color(int index) {
  if (!st.out.is_open()) return;
  // -2: solid, -3: white (the background, or no shading at all), otherwise the shading level.
  float level = 0.0F;
  if (gget_fill_print_solid())
    level = -2.0F;
  else if (index == GKS_BACKGROUND)
    level = -3.0F;
  else
    level = std::round(100.0F - 100.0F * gps_get_gray(index));
  if (level == 0.0F) level = -3.0F;
  st.fill_white = level == -3.0F;
  if (level == st.cur_fill) return;
  st.cur_fill = level;
  if (level == -2.0F || level == -3.0F) {
    st.out.str("FT1;\n");
  } else {
    st.out.str("FT10,");
    st.out.fixed(level, 0);
    st.out.str(";\n");
  }
}

void ghpgl_set_type(int type) {
  if (!st.out.is_open() || type == st.cur_type) return;
  static const char* const types[] = {"LT;\n", "LT2,5,1;\n", "LT5,8,1;\n", "LT6,10,1;\n", "LT2,1,1;\n"};
  if (type < 1 || type > 5) return;
  st.out.str(types[type - 1]);
  st.cur_type = type;
}

void ghpgl_set_pcl(int mode) { st.pcl = mode >= 0 && mode <= 2 ? mode : 1; }
void ghpgl_set_rotate(int degrees) {
  const int d = ((degrees % 360) + 360) % 360;
  st.pr_rot = d;
}
void ghpgl_set_scale(float scale) {
  if (std::isfinite(scale) && scale > 0.0F) st.pr_scale = scale;
}
void ghpgl_set_base_width(float width) {
  if (std::isfinite(width) && width > 0.0F) st.base_width = width;
}

void ghpgl_reset_state() {
  // The output stream cannot be assigned: the record is made again in place, which also
  // closes a stream left open.
  std::destroy_at(&st);
  std::construct_at(&st);
}
