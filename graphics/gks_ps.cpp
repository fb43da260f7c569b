// The PostScript writer.
#include "graphics/gks_ps.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "config/mess.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"

namespace {

// The header's box line of an EPS is written this wide and filled in later.
constexpr std::size_t box_line_width = 44;

// fmin and fmax as the C library gives them (a NaN yields the other operand, otherwise the
// first operand when it is strictly the smaller or larger), inline: every point written passes
// through them, and the library calls cost more than the comparisons.
inline float min_of(float a, float b) { return std::isnan(a) ? b : std::isnan(b) ? a : (a < b ? a : b); }
inline float max_of(float a, float b) { return std::isnan(a) ? b : std::isnan(b) ? a : (a > b ? a : b); }

// Where the marks of the current page and of the whole document lie, in device units
// (before the page placement), so that the bounding boxes hug the drawing.
struct Box {
  float x0 = 0.0F, y0 = 0.0F, x1 = 0.0F, y1 = 0.0F;
  bool set = false;
  void add(float x, float y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (!set) x0 = x1 = x, y0 = y1 = y, set = true;
    x0 = min_of(x0, x), x1 = max_of(x1, x);
    y0 = min_of(y0, y), y1 = max_of(y1, y);
  }
};

struct Rgb {
  float r = 0.0F, g = 0.0F, b = 0.0F;
};

// The user's page settings, as a new output starts with them.
struct PsSettings {
  bool pr_color = false;
  bool pr_rev = false;
  bool pr_eps = false;
  int pr_port = 0;
  float pr_scale = 1.0F;
  float base_width = 1.0F;
  // Page in inches.
  float sx = 11.0F, sy = 8.5F;
};

// What was last written, so that attributes go out only on change: line type, effective
// width, gray level (-1 after an RGB colour) and the index of the last RGB colour.
struct PsWritten {
  int cur_type = 1;
  float cur_width = 1.0F;
  float cur_gray = 0.0F;
  int ps_col_ind = -1;
};

// One PostScript output at a time: its stream, the user's page settings, what was last
// written and the pages and boxes so far.
struct PsState : PsSettings, PsWritten {
  GksStream out;
  // The surface in points.
  float surf_w = 756.0F, surf_h = 576.0F;
  // Fill patterns defined in this output so far (bit per pattern index).
  unsigned long patterns_defined = 0;
  // Pages: whether anything was drawn on the current one, the pages begun, the last clip
  // (a new page starts without one) and whether the one-page warning was given.
  bool page_marked = false;
  int page_count = 1;
  float clip_rect[4] = {0.0F, 0.0F, 0.0F, 0.0F};
  bool clip_set = false;
  bool one_page_told = false;
  // The line width reached so far pads the boxes; the header's box of an EPS is filled
  // in at the end, at eps_box_at.
  Box page_box;
  Box doc_box;  // on the page (points), all pages
  float widest = 1.0F;
  long eps_box_at = -1;
  std::array<Rgb, GKS_BACKGROUND_SLOT + 1> colors;
};
PsState st;

// Points of a stroke before it is stroked and begun again, so that no path grows
// beyond what small printers hold.
constexpr int text_points_per_path = 30;

int slot(int index) { return index == GKS_BACKGROUND ? GKS_BACKGROUND_SLOT : index; }
bool in_table(int index) { return index >= GKS_BACKGROUND && index <= GKS_BACKGROUND_SLOT; }
bool is_print(int index) { return index >= GKS_PRINT_FIRST && index <= GKS_PRINT_LAST; }
float print_gray(int index) {
  const int k = (index - GKS_PRINT_FIRST) / 3;
  return k == 0 ? 0.0F : k == 1 ? 1.0F : 0.7F;
}

void point(float x, float y, const char* op) {
  // What the clip hides is no mark: a point outside it counts at its edge.
  if (st.clip_set)
    st.page_box.add(min_of(max_of(x, st.clip_rect[0]), st.clip_rect[2]), min_of(max_of(y, st.clip_rect[1]), st.clip_rect[3]));
  else
    st.page_box.add(x, y);
  st.out.fixed(x, 2);
  st.out.put(' ');
  st.out.fixed(y, 2);
  st.out.put(' ');
  // The operator is a few characters: put one by one, they cost less than a measured copy.
  for (const char* c = op; *c != '\0'; ++c) st.out.put(*c);
}

void path(int n, const float* dev) {
  point(dev[0], dev[1], "mv\n");
  for (int i = 1; i < n; ++i) point(dev[2 * i], dev[2 * i + 1], "ln\n");
}

void set_gray(float g, const char* text) {
  if (g == st.cur_gray) return;
  st.out.str(text);
  st.cur_gray = g;
  st.ps_col_ind = -1;
}

void write_rgb(int index) {
  if (st.ps_col_ind == index && st.cur_gray == -1.0F) return;
  Rgb c;
  if (in_table(index)) {
    c = st.colors[slot(index)];
  } else if (is_print(index)) {
    c.r = c.g = c.b = print_gray(index);
  }
  st.out.fixed(c.r, 2);
  st.out.put(' ');
  st.out.fixed(c.g, 2);
  st.out.put(' ');
  st.out.fixed(c.b, 2);
  st.out.str(" setrgbcolor\n");
  st.ps_col_ind = index;
  st.cur_gray = -1.0F;
}

// A device point on the paper, in points from its lower left corner, as the placement of
// page_setup puts it.
void on_paper(float x, float y, float* px, float* py) {
  const float s = st.pr_scale;
  if (st.pr_port == 0) {
    *px = (st.pr_eps ? s * st.surf_h : 72.0F * (st.sy - 0.25F)) - s * y;
    *py = s * x + (st.pr_eps ? 0.0F : 18.0F);
  } else {
    *px = s * x + (st.pr_eps ? 0.0F : 18.0F);
    *py = s * y + (st.pr_eps ? 0.0F : 18.0F);
  }
}

// The marks of the page as a box on the paper, whole points padded by half the widest
// line; false when the page holds none.
bool paper_box(const Box& b, int box[4]) {
  if (!b.set) return false;
  float ax = 0.0F, ay = 0.0F, bx = 0.0F, by = 0.0F;
  on_paper(b.x0, b.y0, &ax, &ay);
  on_paper(b.x1, b.y1, &bx, &by);
  const float pad = 0.5F * st.widest * 0.33F * st.pr_scale + 1.0F;
  box[0] = static_cast<int>(std::floor(std::fmin(ax, bx) - pad));
  box[1] = static_cast<int>(std::floor(std::fmin(ay, by) - pad));
  box[2] = static_cast<int>(std::ceil(std::fmax(ax, bx) + pad));
  box[3] = static_cast<int>(std::ceil(std::fmax(ay, by) + pad));
  if (st.pr_eps) {
    // An EPS is cut to its surface.
    const int w = static_cast<int>(std::ceil((st.pr_port == 1 ? st.surf_w : st.surf_h) * st.pr_scale - 0.001F));
    const int h = static_cast<int>(std::ceil((st.pr_port == 1 ? st.surf_h : st.surf_w) * st.pr_scale - 0.001F));
    box[0] = std::max(box[0], 0), box[1] = std::max(box[1], 0);
    box[2] = std::min(box[2], w), box[3] = std::min(box[3], h);
  }
  return true;
}

// The page's marks join the document's.
void end_page_box() {
  int b[4];
  if (paper_box(st.page_box, b)) {
    st.doc_box.add(static_cast<float>(b[0]), static_cast<float>(b[1]));
    st.doc_box.add(static_cast<float>(b[2]), static_cast<float>(b[3]));
  }
  st.page_box = Box{};
}

// The placement, colour, line state and scale every page starts with (a new page
// begins without them); the writer's record of what was written follows. The page's
// save undoes its pattern definitions.
void page_setup() {
  st.out.printf("%%%%Page: %d %d\n%%%%BeginPageSetup\n", st.page_count, st.page_count);
  if (!st.pr_eps) st.out.str("/saveobj save def\n");
  st.patterns_defined = 0;
  st.cur_gray = 0.0F;
  st.ps_col_ind = -1;
  st.cur_width = 1.0F;
  st.cur_type = 1;
  if (st.pr_port == 0) {
    st.out.str("90 rotate\n");
    // An EPS is moved up by its own (scaled) height, so that it starts at the box's
    // corner; a page keeps a quarter-inch margin.
    if (st.pr_eps)
      st.out.printf("0. inch -%.2f inch translate\n", st.surf_h * st.pr_scale / 72.0F);
    else
      st.out.printf(".25 inch -%.2f inch translate\n", st.sy - 0.25F);
  } else if (!st.pr_eps) {
    st.out.str(".25 inch .25 inch translate\n");
  }
  st.out.str(st.pr_color ? "0 0 0 setrgbcolor\n" : "0 setgray\n");
  st.out.str("2 setlinejoin\n1 dot lw\n[] 0 setdash\n");
  if (st.pr_scale != 1.0F) st.out.printf("%.2f %.2f scale\n", st.pr_scale, st.pr_scale);
  st.out.str("%%EndPageSetup\n");
}

// ---- device hooks ----

std::string output_name(const char* device_string) {
  std::string name = gdev_field(device_string, 0);
  if (name.empty()) {
    const char* env = std::getenv("zavps_print");
    if (env == nullptr || *env == '\0') env = std::getenv("PSPRINT");
    if (env != nullptr) name = env;
  }
  return name.empty() ? "zav.ps" : name;
}

void option(const std::string& opt) {
  const char* o = opt.c_str();
  float w = 0.0F, h = 0.0F;
  const char* v = nullptr;
  if (stricmp(o, "port") == 0) {
    st.pr_port = 1;
  } else if (stricmp(o, "land") == 0) {
    st.pr_port = 0;
  } else if (stricmp(o, "eps") == 0) {
    st.pr_eps = true;
  } else if (stricmp(o, "noeps") == 0) {
    st.pr_eps = false;
  } else if (stricmp(o, "color") == 0) {
    st.pr_color = true;
    gset_inverse(1);
  } else if (stricmp(o, "gray") == 0) {
    st.pr_color = false;
  } else if (stricmp(o, "rev") == 0 || stricmp(o, "reverse") == 0) {
    st.pr_rev = true;
  } else if ((v = gps_option_value(o, "scale")) != nullptr) {
    float s = 0.0F;
    if (parse_float(v, &s) && s > 0.0F && s <= 100.0F) gps_set_scale(s);
  } else if ((v = gps_option_value(o, "lwidth")) != nullptr) {
    int n = 0;
    if (parse_int(v, &n) && n > 0 && n <= 100) gps_set_base_width(static_cast<float>(n));
  } else if (gps_page_size(o, false, &w, &h)) {
    st.sx = w, st.sy = h;
  } else if (!opt.empty()) {
    MESS_print(MESS_WARN, "gopen_ws: unknown PostScript option: %s\n", o);
  }
}

int ps_open(int, const char* device_string) {
  gps_init();
  if (gps_open_file(output_name(device_string).c_str()) != 0)
    return gerr_printf("gopen_ws", "unable to open postscript file\n");
  gps_device_options("zavps_param", device_string, option);
  gps_set_size((st.sx - 0.5F) * 72.0F, (st.sy - 0.5F) * 72.0F);
  gset_win_offset(0.0F, 0.0F);
  gps_init_file();
  gps_place(st.surf_w, st.surf_h, 0.72F, 0.0F, "zavps_geometry", "PSGEOMETRY");
  return 0;
}

int ps_close() { return gps_close_file(); }



void ps_clip(const float r[4]) {
  for (int i = 0; i < 4; ++i) st.clip_rect[i] = r[i];
  st.clip_set = true;
  const Box keep = st.page_box;
  st.out.str("initclip\n");
  if (st.pr_eps) {
    // An EPS shows nothing beyond its box: what is drawn past the surface is cut there.
    st.out.str("np\n");
    point(0.0F, 0.0F, "mv\n");
    point(0.0F, st.surf_h, "ln\n");
    point(st.surf_w, st.surf_h, "ln\n");
    point(st.surf_w, 0.0F, "ln\n");
    st.out.str("cp\nclip\n");
  }
  st.out.str("np\n");
  point(r[0] - 0.1F, r[1] - 0.1F, "mv\n");
  point(r[0] - 0.1F, r[3] + 0.1F, "ln\n");
  point(r[2] + 0.1F, r[3] + 0.1F, "ln\n");
  point(r[2] + 0.1F, r[1] - 0.1F, "ln\n");
  st.out.str("cp\nclip\n");
  st.page_box = keep;
}

// Clearing paper is taking the next sheet: a page that holds a drawing is shown and a
// new one begun, placed and clipped as the last one was; a blank page stays as it is.
// An EPS holds one page, and appended plots belong to the page they are appended to:
// those draw on over what is there.
void ps_clear() {
  if (!st.out.is_open() || !st.page_marked) return;
  if (st.pr_eps || st.out.appending()) {
    if (!st.one_page_told) MESS_print(MESS_WARN, "gclear_ws: %s holds one page: the next plot is drawn over this one\n",
                                   st.pr_eps ? "an EPS file" : "an appended plot");
    st.one_page_told = true;
    return;
  }
  ++st.page_count;
  st.out.str("%%End of page\nsaveobj restore\nshowpage\n%%PageTrailer\n");
  end_page_box();
  page_setup();
  if (st.clip_set) {
    const float r[4] = {st.clip_rect[0], st.clip_rect[1], st.clip_rect[2], st.clip_rect[3]};
    ps_clip(r);
  }
  st.page_marked = false;
}

int ps_state(int code, int arg, const float* values, int count) {
  if (code == GOBJ_COLR && values != nullptr && count >= 3) {
    gps_set_color_rep(arg, values[0], values[1], values[2]);
    return slot(arg);
  }
  return 0;
}

void line_attributes(int color, float width, int type) {
  gps_set_width(color, width);
  gps_set_color(color);
  gps_set_type(type);
}

void ps_polyline(int n, const float*, const float* dev) {
  st.page_marked = true;
  st.out.str("%%PL:");
  st.out.integer(n);
  st.out.put('\n');
  line_attributes(gget_line_colr(), gget_line_width(), gget_line_type());
  st.out.str("np\n");
  path(n, dev);
  st.out.str("stroke\n");
}

// A pattern as an uncoloured PostScript pattern of 8 by 8 points, defined the first time
// the output uses it; the fill colour paints its set pixels.
void define_pattern(int index) {
  if (st.patterns_defined & (1UL << index)) return;
  st.patterns_defined |= 1UL << index;
  const unsigned char* rows = gget_fill_pattern(index);
  st.out.printf("/zavpat%d << /PatternType 1 /PaintType 2 /TilingType 1 /BBox [0 0 8 8] /XStep 8 /YStep 8\n", index);
  st.out.str("/PaintProc { pop 8 8 true [1 0 0 -1 0 8] <");
  for (int r = 0; r < 8; ++r) {
    // The patterns keep their leftmost pixel in the lowest bit; PostScript in the highest.
    unsigned v = rows[r], m = 0;
    for (int b = 0; b < 8; ++b)
      if (v & (1U << b)) m |= 0x80U >> b;
    st.out.printf("%02x", m);
  }
  st.out.str("> imagemask } >> matrix makepattern def\n");
}

void ps_fill(int n, const float*, const float* dev) {
  const int pattern = gget_fill_int_style() == 2 ? gget_fill_style_ind() : 0;
  const unsigned char* rows = gget_fill_pattern(pattern);
  bool empty = true, full = true;
  for (int r = 0; rows != nullptr && r < 8; ++r) empty = empty && rows[r] == 0, full = full && rows[r] == 0xFF;
  if (empty) return;
  st.page_marked = true;
  st.out.str("%%FA:");
  st.out.integer(n);
  st.out.put('\n');
  if (!full) define_pattern(pattern);
  st.out.str("np\n");
  path(n, dev);
  st.out.str("cp\n");
  const int color = gget_fill_colr();
  if (full) {
    gps_set_fill_color(color);
    st.out.str("fs\n");
    return;
  }
  // The pattern's colour space lasts only for this fill.
  st.out.str("gsave ");
  if (st.pr_color) {
    Rgb c;
    if (in_table(color)) c = st.colors[slot(color)];
    else if (is_print(color)) c.r = c.g = c.b = print_gray(color);
    st.out.str("[/Pattern /DeviceRGB] setcolorspace ");
    st.out.fixed(c.r, 2);
    st.out.put(' ');
    st.out.fixed(c.g, 2);
    st.out.put(' ');
    st.out.fixed(c.b, 2);
  } else {
    st.out.str("[/Pattern /DeviceGray] setcolorspace ");
    st.out.fixed(gget_fill_print_solid() ? 0.0F : gps_get_gray(color), 3);
  }
  st.out.printf(" zavpat%d setcolor fill grestore\n", pattern);
}

void ps_marker_begin(int n) {
  st.page_marked = true;
  st.out.str("%%PM:");
  st.out.integer(n);
  st.out.put('\n');
  line_attributes(gget_marker_colr(), gget_marker_width(), 1);
}

void ps_marker_shape(int nv, const float* dev, int) {
  st.out.str("np\n");
  if (nv == 1) {
    // One device point: a dot a hundredth of an inch long, as a zero-length line shows
    // nothing with butt caps.
    point(dev[0], dev[1], "mv\n");
    point(dev[0] + 0.72F, dev[1], "ln\n");
  } else {
    path(nv, dev);
  }
  st.out.str("stroke\n");
}

void ps_text_begin(float x, float y, const char* s) {
  st.page_marked = true;
  st.out.printf("%%%%TE:%f %f ", x, y);
  // A comment ends at the line: control characters must not break it.
  for (const char* p = s; *p != '\0'; ++p) st.out.put(static_cast<unsigned char>(*p) < 0x20 ? '?' : *p);
  st.out.put('\n');
  line_attributes(gget_text_colr(), gget_text_width(), 1);
}

void ps_text_stroke(int nv, const float* dev, int) {
  st.out.str("np\n");
  point(dev[0], dev[1], "mv\n");
  for (int i = 1; i < nv; ++i) {
    point(dev[2 * i], dev[2 * i + 1], "ln\n");
    if (i % text_points_per_path == 0 && i + 1 < nv) {
      st.out.str("stroke\nnp\n");
      point(dev[2 * i], dev[2 * i + 1], "mv\n");
    }
  }
  st.out.str("stroke\n");
}

void ps_clear_region(const float*, const float d[4]) {
  st.page_marked = true;
  st.out.str("%%CLR\nnp\n");
  point(d[0], d[1], "mv\n");
  point(d[2], d[1], "ln\n");
  point(d[2], d[3], "ln\n");
  point(d[0], d[3], "ln\n");
  st.out.str("cp\n");
  gps_set_fill_color(GKS_BACKGROUND);
  st.out.str("fill\n");
}

void ps_message(const char* text) {
  st.out.str("%%Message: ");
  for (const char* p = text; *p != '\0'; ++p) st.out.put(static_cast<unsigned char>(*p) < 0x20 ? '?' : *p);
  st.out.put('\n');
}

const GksDevice device{
    .name = "PostScript",
    .open = ps_open,
    .close = ps_close,
    .init = nullptr,
    .clear = ps_clear,
    .clip = ps_clip,
    .state = ps_state,
    .polyline = ps_polyline,
    .fill_area = ps_fill,
    .polymarker = nullptr,
    .marker_begin = ps_marker_begin,
    .marker_shape = ps_marker_shape,
    .text = nullptr,
    .text_begin = ps_text_begin,
    .text_stroke = ps_text_stroke,
    .clear_region = ps_clear_region,
    .message = ps_message,
};

}  // namespace

const GksDevice* gps_device() { return &device; }

int gps_open_file(const char* name) {
  if (name == nullptr || !st.out.open(name, "gps_open_file")) return -1;
  if (std::getenv("PSCOLOR") != nullptr) st.pr_color = true;
  st.patterns_defined = 0;
  st.page_marked = false;
  st.page_count = 1;
  st.clip_set = false;
  st.one_page_told = false;
  st.page_box = Box{};
  st.doc_box = Box{};
  st.widest = 1.0F;
  st.eps_box_at = -1;
  return 0;
}

void gps_init() {
  static_cast<PsSettings&>(st) = PsSettings{};
  static_cast<PsWritten&>(st) = PsWritten{};
}

void gps_init_file() {
  static_cast<PsWritten&>(st) = PsWritten{};
  const char* title = gget_win_title();
  if (st.out.appending()) {
    st.out.str(st.pr_color ? "0 0 0 setrgbcolor\n" : "0 setgray\n");
    st.out.str("1 dot lw\n[] 0 setdash\n");
    st.out.printf("%%%%ZAV Plot: %s\n", title);
    return;
  }
  // Structured comments, so that viewers count, turn and crop the pages and printers
  // take them one by one. An EPS states the box of its surface (turned by 90 degrees in
  // landscape) and narrows it to the drawing when it is closed; a page file gives its
  // box and page count in the trailer.
  if (st.pr_eps) {
    const int w = static_cast<int>(std::ceil(st.surf_w * st.pr_scale - 0.001F));
    const int h = static_cast<int>(std::ceil(st.surf_h * st.pr_scale - 0.001F));
    st.out.str("%!PS-Adobe-3.0 EPSF-3.0\n");
    st.eps_box_at = st.out.written();
    char line[96];
    std::snprintf(line, sizeof line, "%%%%BoundingBox: 0 0 %d %d", st.pr_port == 1 ? w : h, st.pr_port == 1 ? h : w);
    std::string padded = line;
    if (padded.size() < box_line_width) padded.append(box_line_width - padded.size(), ' ');
    st.out.str(padded.c_str());
    st.out.put('\n');
  } else {
    st.out.str("%!PS-Adobe-3.0\n");
  }
  st.out.printf("%%%%Title: ZAV Graphics Display: %s\n", title);
  st.out.str("%%Creator: ZAV Postscript Processor-2.0\n");
  const std::time_t now = std::time(nullptr);
  char date[64] = "";
  if (ctime_r(&now, date) == nullptr) copy_bounded(date, sizeof date, "\n");
  st.out.printf("%%%%CreationDate: %s", date);
  if (!st.pr_eps) st.out.str("%%BoundingBox: (atend)\n");
  st.out.printf("%%%%Orientation: %s\n", st.pr_port == 1 ? "Portrait" : "Landscape");
  st.out.str(st.pr_eps ? "%%Pages: 1\n" : "%%Pages: (atend)\n%%PageOrder: Ascend\n");
  st.out.str("%%EndComments\n%%BeginProlog\n%%Postscript initialization\n");
  if (!st.pr_eps) st.out.str("30 dict begin\n");
  st.out.str("/inch {72 mul} def\n/dot {.33 mul} def\n/mv {moveto} def\n/ln {lineto} def\n");
  st.out.str("/lw {setlinewidth} def\n/np {newpath} def\n/cp {closepath} def\n");
  // A solid fill also strokes its outline with a line of .3 points: an antialiasing
  // renderer then shows no seam where two areas of one colour meet.
  st.out.str("/fs {gsave .3 setlinewidth [] 0 setdash stroke grestore fill} def\n");
  st.out.str("%%EndProlog\n");
  if (!st.pr_eps) {
    // The sheet the plot is placed on: upright for "port", turned for landscape; a
    // printer or viewer without page devices goes on with its own.
    const int pw = static_cast<int>(std::lround(72.0F * (st.pr_port == 1 ? st.sx : st.sy)));
    const int ph = static_cast<int>(std::lround(72.0F * (st.pr_port == 1 ? st.sy : st.sx)));
    st.out.printf("%%%%BeginSetup\n%%%%BeginFeature: *PageSize %dx%d\n", pw, ph);
    st.out.printf("/setpagedevice where { pop << /PageSize [%d %d] >> setpagedevice } if\n", pw, ph);
    st.out.str("%%EndFeature\n%%EndSetup\n");
  }
  page_setup();
  st.out.str("%%Begin plot\n");
  st.out.printf("%%%%ZAV Plot: %s\n", title);
}

int gps_get_pages() { return st.out.is_open() ? st.page_count : 0; }

int gps_close_file() {
  if (!st.out.is_open()) return -1;
  st.out.str("%%End of plot\n");
  if (!st.out.appending()) {
    if (!st.pr_eps) st.out.str("saveobj restore\n");
    st.out.str("showpage\n%%PageTrailer\n%%Trailer\n");
    end_page_box();
    if (!st.pr_eps) {
      st.out.str("end\n");
      if (st.doc_box.set)
        st.out.printf("%%%%BoundingBox: %d %d %d %d\n", static_cast<int>(st.doc_box.x0), static_cast<int>(st.doc_box.y0),
                   static_cast<int>(st.doc_box.x1), static_cast<int>(st.doc_box.y1));
      else
        st.out.str("%%BoundingBox: 0 0 0 0\n");
      st.out.printf("%%%%Pages: %d\n", st.page_count);
    } else if (st.doc_box.set && st.eps_box_at >= 0) {
      char line[96];
      std::snprintf(line, sizeof line, "%%%%BoundingBox: %d %d %d %d", static_cast<int>(st.doc_box.x0),
                    static_cast<int>(st.doc_box.y0), static_cast<int>(st.doc_box.x1), static_cast<int>(st.doc_box.y1));
      std::string padded = line;
      if (padded.size() < box_line_width) padded.append(box_line_width - padded.size(), ' ');
      st.out.overwrite(st.eps_box_at, padded);
    }
    st.out.str("%%EOF\n");
  }
  if (st.out.close("gps_close_file") != 0) return -1;
  MESS_print(MESS_MESS, "Created Postscript file\n");
  return 0;
}

int gps_printf(const char* format, ...) {
  if (!st.out.is_open()) return -1;
  char small[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) return -1;
  if (static_cast<std::size_t>(n) < sizeof small) {
    st.out.write(small, static_cast<std::size_t>(n));
  } else {
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    st.out.write(big.data(), static_cast<std::size_t>(n));
  }
  return n;
}

void gps_move(float x, float y) { gps_move_abs(xW_ps(x), yW_ps(y)); }
void gps_line(float x, float y) { gps_line_abs(xW_ps(x), yW_ps(y)); }
void gps_move_abs(float x, float y) {
  if (st.out.is_open()) point(x, y, "mv\n");
}
void gps_line_abs(float x, float y) {
  if (st.out.is_open()) point(x, y, "ln\n");
}

void gps_set_width(int color, float width) {
  if (!st.out.is_open() || !std::isfinite(width)) return;
  const int k = is_print(color) ? (color - GKS_PRINT_FIRST) % 3 : 0;
  if (k == 1 || k == 2) {
    const int w = static_cast<int>((k == 1 ? 2.0F : 4.0F) * st.base_width * width);
    if (static_cast<float>(w) == st.cur_width) return;
    st.cur_width = static_cast<float>(w);
    st.widest = std::fmax(st.widest, st.cur_width);
    st.out.integer(w);
    st.out.str(" dot lw\n");
    return;
  }
  const float w = width * st.base_width * gget_line_print_bold();
  if (w == st.cur_width) return;
  st.cur_width = w;
  if (std::isfinite(w)) st.widest = std::fmax(st.widest, w);
  st.out.fixed(w, 1);
  st.out.str(" dot lw\n");
}

void gps_set_color(int index) {
  if (!st.out.is_open()) return;
  if (is_print(index)) {
    const int k = (index - GKS_PRINT_FIRST) / 3;
    if (k == 0) set_gray(0.0F, "0 setgray\n");
    else if (k == 1) set_gray(1.0F, "1 setgray\n");
    else set_gray(0.7F, ".7 setgray\n");
  } else if (st.pr_color) {
    write_rgb(index);
  } else {
    set_gray(0.0F, "0 setgray\n");
  }
}

void gps_set_fill_color(int index) {
  if (!st.out.is_open()) return;
  if (st.pr_color) {
    write_rgb(index);
  } else if (gget_fill_print_solid()) {
    set_gray(0.0F, "0 setgray\n");
  } else if (index == GKS_BACKGROUND) {
    set_gray(1.0F, "1 setgray\n");
  } else {
    // Written every time: a fill states its own gray.
    const float g = gps_get_gray(index);
    st.out.fixed(g, 3);
    st.out.str(" setgray\n");
    st.cur_gray = g;
    st.ps_col_ind = -1;
  }
}

void gps_set_type(int type) {
  if (!st.out.is_open() || type == st.cur_type) return;
  static const char* const dashes[] = {"[] 0 setdash\n", "[6] 0 setdash\n", "[3 6] 0 setdash\n",
                                       "[6 6 3 6] 0 setdash\n", "[2] 0 setdash\n"};
  if (type < 1 || type > 5) return;
  st.out.str(dashes[type - 1]);
  st.cur_type = type;
}

void gps_set_color_rep(int index, float r, float g, float b) {
  if (!in_table(index)) return;
  st.colors[slot(index)] = Rgb{r, g, b};
}

float gps_get_gray(int index) {
  if (is_print(index)) return print_gray(index);
  if (!in_table(index)) return 0.0F;
  const Rgb& c = st.colors[slot(index)];
  const float g = (0.9F * c.r + c.g + 0.8F * c.b) / 2.7F;
  return st.pr_rev ? 1.0F - g : g;
}

void gps_set_size(float width, float height) {
  st.surf_w = std::isfinite(width) && width > 0.0F ? width : 0.0F;
  st.surf_h = std::isfinite(height) && height > 0.0F ? height : 0.0F;
  gset_win_size(st.surf_w + 1.0F, st.surf_h + 1.0F);
}

void gps_set_base_width(float width) {
  if (std::isfinite(width) && width > 0.0F) st.base_width = width;
}
void gps_set_EPS(int on) { st.pr_eps = on != 0; }
void gps_set_orient(int port) { st.pr_port = port != 0 ? 1 : 0; }
void gps_set_scale(float scale) {
  if (std::isfinite(scale) && scale > 0.0F) st.pr_scale = scale;
}
void gps_set_colorPS(int on) { st.pr_color = on != 0; }
int gps_get_colorPS() { return st.pr_color ? 1 : 0; }
void gps_set_reverse(int on) { st.pr_rev = on != 0; }

int gps_image(int width, int height, const unsigned char* pixels, int x0, int y0) {
  if (!st.out.is_open() || pixels == nullptr || width <= 0 || height <= 0) return -1;
  st.page_marked = true;
  int vp[4];
  if (gget_gviewport(vp) != 0) return -1;
  const int vw = vp[2] > 0 ? vp[2] : 1, vh = vp[3] > 0 ? vp[3] : 1;
  st.page_box.add(static_cast<float>(vp[0]), static_cast<float>(vp[1]));
  st.page_box.add(static_cast<float>(vp[0] + vw), static_cast<float>(vp[1] + vh));
  st.out.printf("gsave\n%d %d translate\n%d %d scale\n/picstr %d string def\n", vp[0], vp[1], vw, vh,
             st.pr_color ? 3 * vw : vw);
  st.out.printf("%d %d 8 [ %d 0 0 %d 0 %d ]\n{ currentfile picstr readhexstring pop }\n", vw, vh, vw, -vh, vh);
  st.out.str(st.pr_color ? "false 3 colorimage\n" : "image\n");
  int samples = 0;
  for (int row = 0; row < vh; ++row) {
    for (int col = 0; col < vw; ++col) {
      const int ix = col - x0, iy = row - y0;
      const bool inside = ix >= 0 && iy >= 0 && ix < width && iy < height;
      const int index = inside ? pixels[static_cast<std::size_t>(iy) * static_cast<std::size_t>(width) +
                                        static_cast<std::size_t>(ix)]
                               : -1;
      if (st.pr_color) {
        if (index < 0) {
          st.out.str("FFFFFF");
        } else {
          const Rgb& c = st.colors[slot(index)];
          st.out.printf("%02X%02X%02X", static_cast<int>(c.r * 255.0F + 0.5F), static_cast<int>(c.g * 255.0F + 0.5F),
                     static_cast<int>(c.b * 255.0F + 0.5F));
        }
      } else if (index < 0) {
        st.out.str("FF");
      } else {
        st.out.printf("%02X", index);
      }
      if (++samples % 80 == 0) st.out.put('\n');
    }
    if (samples % 80 != 0) st.out.put('\n');
    samples = 0;
  }
  st.out.str("grestore\n");
  return 0;
}

int gps_rgb_image(float left, float top, int w, int h, const std::vector<std::uint32_t>& argb) {
  if (!st.out.is_open() || w <= 0 || h <= 0 || argb.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
    return -1;
  st.page_marked = true;
  st.page_box.add(left, top);
  st.page_box.add(left + static_cast<float>(w), top - static_cast<float>(h));
  // Clear pixels take a key colour no opaque pixel has; the image masks it out (a masked
  // image, PostScript level 3).
  const std::uint32_t key = 0x010203U;
  st.out.str("gsave\n");
  point(left, top - static_cast<float>(h), "translate\n");
  st.out.printf("%d %d scale\n/DeviceRGB setcolorspace\n", w, h);
  st.out.printf("<< /ImageType 4 /Width %d /Height %d /BitsPerComponent 8 /Decode [0 1 0 1 0 1]\n", w, h);
  st.out.printf("/ImageMatrix [%d 0 0 -%d 0 %d] /MaskColor [1 1 2 2 3 3]\n", w, h, h);
  st.out.str("/DataSource currentfile /ASCIIHexDecode filter >> image\n");
  int samples = 0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(w) * static_cast<std::size_t>(h); ++k) {
    std::uint32_t c = argb[k] & 0xFFFFFFU;
    if ((argb[k] >> 24) == 0) c = key;
    else if (c == key) c = 0x010204U;
    st.out.printf("%06X", static_cast<unsigned>(c));
    if (++samples % 40 == 0) st.out.put('\n');
  }
  st.out.str(">\ngrestore\n");
  return 0;
}

// ---- shared by the file devices ----

int gps_page_size(const char* option, bool roll, float* width, float* height) {
  static const struct {
    const char* name;
    float w, h;
  } pages[] = {{"letter", 11.0F, 8.5F},  {"legal", 14.0F, 8.5F},  {"11x17", 17.0F, 11.0F}, {"a4", 11.69F, 8.26F},
               {"a3", 16.54F, 11.69F},   {"a2", 23.39F, 16.54F},  {"a1", 33.11F, 23.39F},  {"b4", 14.33F, 10.12F},
               {"b3", 20.27F, 14.33F},   {"b2", 28.66F, 20.27F},  {"b1", 40.55F, 28.66F},  {"ansid", 34.0F, 22.0F}};
  if (option == nullptr) return 0;
  for (const auto& p : pages)
    if (stricmp(option, p.name) == 0) {
      *width = p.w, *height = p.h;
      return 1;
    }
  if (roll && stricmp(option, "roll") == 0) {
    *width = 23.5F, *height = 22.0F;
    return 1;
  }
  const char* v = gps_option_value(option, "sz");
  float w = 0.0F, h = 0.0F;
  // A page of a few hundredths of an inch or of more than a hundred feet is a typing error.
  if (v != nullptr && std::sscanf(v, "%fx%f", &w, &h) == 2 && w > 0.6F && h > 0.6F && w < 1200.0F && h < 1200.0F) {
    *width = w, *height = h;
    return 1;
  }
  return 0;
}

const char* gps_option_value(const char* option, const char* keyword) {
  const std::size_t n = std::char_traits<char>::length(keyword);
  if (option == nullptr || strnicmp(option, keyword, n) != 0 || option[n] == '\0') return nullptr;
  return option + n + 1;
}

void gps_device_options(const char* env, const char* device_string, void (*option)(const std::string&)) {
  const auto each = [option](const std::string& list) {
    std::size_t start = 0;
    while (start <= list.size()) {
      std::size_t comma = list.find(',', start);
      if (comma == std::string::npos) comma = list.size();
      std::size_t b = start, e = comma;
      while (b < e && std::isspace(static_cast<unsigned char>(list[b]))) ++b;
      while (e > b && std::isspace(static_cast<unsigned char>(list[e - 1]))) --e;
      option(list.substr(b, e - b));
      start = comma + 1;
    }
  };
  const char* defaults = env != nullptr ? std::getenv(env) : nullptr;
  if (defaults != nullptr) each(defaults);
  const std::string ds = device_string != nullptr ? device_string : "";
  const std::size_t comma = ds.find(',');
  if (comma != std::string::npos) each(ds.substr(comma + 1));
}

void gps_place(float width, float height, float unit, float add, const char* env1, const char* env2) {
  const char* g = RES_get("geometry");
  if (g == nullptr || *g == '\0') g = std::getenv(env1);
  if ((g == nullptr || *g == '\0') && env2 != nullptr) g = std::getenv(env2);
  float w = width, h = height, x = add, y = add;
  if (g != nullptr && (*g == 'P' || *g == 'p')) {
    float fw = 1.0F, fh = 1.0F, ox = 0.0F, oy = 0.0F;
    std::sscanf(g + 1, "%fx%f+%f+%f", &fw, &fh, &ox, &oy);
    if (!std::isfinite(fw) || !std::isfinite(fh) || !std::isfinite(ox) || !std::isfinite(oy) || fw <= 0.0F ||
        fh <= 0.0F) {
      MESS_print(MESS_WARN, "gopen_ws: unusable geometry: %s\n", g);
      fw = fh = 1.0F, ox = oy = 0.0F;
    }
    if (fw > 1.0F) {
      // A grid of fw by fh panels; ox, oy count panels from the top left.
      fw = std::fmin(std::fmax(fw, 1.0F), 8.0F);
      fh = std::fmin(std::fmax(fh, 1.0F), 8.0F);
      ox = ox / fw;
      oy = 1.0F - (oy + 1.0F) / fh;
      fw = 1.0F / fw;
      fh = 1.0F / fh;
    }
    x = width * ox + add, y = height * oy + add;
    w = width * std::fmin(fw, 1.0F), h = height * std::fmin(fh, 1.0F);
  } else if (g != nullptr && *g != '\0') {
    int pw = 0, ph = 0, px = 0, py = 0;
    const int n = std::sscanf(g, "%dx%d%d%d", &pw, &ph, &px, &py);
    if (n >= 2 && pw > 0 && ph > 0) {
      w = std::fmin(static_cast<float>(pw) * unit, width);
      h = std::fmin(static_cast<float>(ph) * unit, height);
      if (n == 4) x = static_cast<float>(px) * unit + add, y = static_cast<float>(py) * unit + add;
    } else if (std::sscanf(g, "%d%d", &px, &py) == 2) {
      x = static_cast<float>(px) * unit + add, y = static_cast<float>(py) * unit + add;
    }
  }
  gset_win_size(w + 1.0F, h + 1.0F);
  gset_win_offset(x, y);
}

void gps_reset_state() {
  // The output stream cannot be assigned: the record is made again in place, which also
  // closes a stream left open.
  std::destroy_at(&st);
  std::construct_at(&st);
}
