// The metafile writer and reader.
#include "graphics/gks_meta.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "config/fileio.h"
#include "config/mess.h"
#include "config/string.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"

namespace {

// One metafile output at a time: its stream, its kind, and the record being built.
struct MetaState {
  GksStream out;
  int meta_type = GMETA_TEXT;
  // The record being written (reused, so that records cost no allocation).
  std::string rec;
};
MetaState st;

// CGM polylines hold at most this many points an element (their parameters must stay
// within one partition of 32766 bytes).
constexpr int cgm_max_points = 8000;

// ---- records ----

void add(const char* s) { st.rec += s; }
void add_int(long v) {
  char b[24];
  std::snprintf(b, sizeof b, "%ld", v);
  st.rec += b;
}
void add_f(double v) {
  char b[64];
  st.rec.append(b, static_cast<std::size_t>(gdev_format_fixed(b, v, 6)));
}

// A CGM element; parameters of 31 bytes or more take the long form, in partitions.
void cgm_element(int cls, int id, const char* data, std::size_t len) {
  const int head = (cls << 12) | (id << 5);
  if (len < 31) {
    st.out.word(head | static_cast<int>(len));
  } else {
    st.out.word(head | 31);
    while (len > 32766) {
      st.out.word(0x8000 | 32766);
      st.out.write(data, 32766);
      data += 32766;
      len -= 32766;
    }
    st.out.word(static_cast<int>(len));
  }
  st.out.write(data, len);
  if (len % 2 != 0) st.out.put('\0');
}

// Ends the record: written as it is to a text metafile, as an escape element to CGM.
void emit() {
  if (st.meta_type == GMETA_TEXT) {
    st.out.write(st.rec.data(), st.rec.size());
  } else {
    std::string e;
    e.reserve(st.rec.size() + 2);
    e.push_back(static_cast<char>((GMETA_ESCAPE_ID >> 8) & 0xFF));
    e.push_back(static_cast<char>(GMETA_ESCAPE_ID & 0xFF));
    e += st.rec;
    cgm_element(6, 1, e.data(), e.size());
  }
  st.rec.clear();
}

void rect_record(const char* key, int n, const float* v) {
  add(key);
  add(" ");
  add_int(n);
  for (int i = 0; i < 4; ++i) {
    add(" ");
    add_f(v[i]);
  }
  add("\n");
  emit();
}

void int_record(const char* key, int v) {
  add(key);
  add(" ");
  add_int(v);
  add("\n");
  emit();
}

void float_record(const char* key, float v) {
  add(key);
  add(" ");
  add_f(v);
  add("\n");
  emit();
}

// The records of one number: the kernel's state code, the keyword, the call that replays
// it (exactly one of the two setters) and, for a float, the values a replayed file may
// give (the setters take any finite value; a file is not trusted that far). Integers are
// checked by their setters.
struct NumberRecord {
  int code;
  const char* key;
  int (*set_int)(int);
  int (*set_float)(float);
  double lo, hi;
};
// Widths in device dots or pixels, sizes in marker units, spacings in font cells,
// heights in world units.
constexpr NumberRecord number_records[] = {
    {GOBJ_TRAN, "TR", gsel_norm_tran, nullptr, 0, 0},
    {GOBJ_LTYPE, "PL_TYPE", gset_linetype, nullptr, 0, 0},
    {GOBJ_LWIDTH, "PL_LW", nullptr, gset_linewidth, 0, 1000},
    {GOBJ_LCOLR, "PL_CLR", gset_line_colr_ind, nullptr, 0, 0},
    {GOBJ_LBOLD, "PL_BOLD", nullptr, gset_line_print_bold, 0, 100},
    {GOBJ_MTYPE, "PM_TYPE", gset_marker_type, nullptr, 0, 0},
    {GOBJ_MSIZE, "PM_SIZE", nullptr, gset_marker_size, 0, 1000},
    {GOBJ_MWIDTH, "PM_WDTH", nullptr, gset_marker_width, 0, 1000},
    {GOBJ_MCOLR, "PM_CLR", gset_marker_colr_ind, nullptr, 0, 0},
    {GOBJ_FSTYLE, "FA_INT", gset_fill_int_style, nullptr, 0, 0},
    {GOBJ_FINDEX, "FA_ST", gset_fill_style_ind, nullptr, 0, 0},
    {GOBJ_FCOLR, "FA_CLR", gset_fill_colr_ind, nullptr, 0, 0},
    {GOBJ_FSOLID, "FA_SOLID", gset_fill_print_solid, nullptr, 0, 0},
    {GOBJ_TCOLR, "TE_CLR", gset_text_colr_ind, nullptr, 0, 0},
    {GOBJ_THEIGHT, "TE_HGHT", nullptr, gset_char_ht, 0, 1e6},
    {GOBJ_TEXPAN, "TE_EXP", nullptr, gset_expan, 0, 100},
    {GOBJ_TWIDTH, "TE_WDTH", nullptr, gset_text_width, 0, 1000},
    {GOBJ_TSPACE, "TE_SPC", nullptr, gset_space, -100, 100},
    {GOBJ_TCSPACE, "TE_CSPC", nullptr, gset_char_space, -100, 100},
    {GOBJ_SEG_BEGIN, "SEG_CR", gcreate_seg, nullptr, 0, 0},
    {GOBJ_SEG_END, "SEG_CL", gclose_seg, nullptr, 0, 0},
    {GOBJ_SEG_DELETE, "SEG_DE", gdel_seg, nullptr, 0, 0},
};

// Bounds of what a replayed file may ask for: coordinates (world units of any
// transformation, far beyond any map), points of one record, bytes of one escape element
// (a record of the most points with room to spare).
constexpr double max_coordinate = 1e9;
constexpr int max_points = 1 << 20;
constexpr std::size_t max_escape_bytes = std::size_t{48} << 20;
// Out-of-range records named one by one; the rest only counted.
constexpr int named_skips = 5;

// "PL %d " and the points, "\n   " after every fourth; the polymarker record ends without
// a newline when its count is a multiple of four.
void points_record(const char* key, int n, const float* world, bool final_newline) {
  add(key);
  add(" ");
  add_int(n);
  add(" ");
  for (int i = 0; i < n; ++i) {
    add_f(world[2 * i]);
    add(",");
    add_f(world[2 * i + 1]);
    add(" ");
    if ((i + 1) % 4 == 0) add("\n   ");
    if (st.rec.size() > 60000 && st.meta_type == GMETA_TEXT) {
      st.out.write(st.rec.data(), st.rec.size());
      st.rec.clear();
    }
  }
  if (final_newline) add("\n");
  emit();
}

void cgm_points(const float* dev, int n) {
  for (int i = 0; i < n; ++i) gcgm_ps_point(dev[2 * i], dev[2 * i + 1]);
}

// ---- device hooks ----

std::string output_name(const char* device_string) {
  std::string name = gdev_field(device_string, 0);
  if (name.empty()) {
    const char* env = std::getenv("zavmeta_out");
    if (env != nullptr) name = env;
  }
  return name.empty() ? (st.meta_type == GMETA_CGM ? "zav.cgm" : "zav.meta") : name;
}

int meta_open(int, const char* device_string) {
  st.meta_type = GMETA_TEXT;
  for (int i = 1;; ++i) {
    const std::string opt = gdev_field(device_string, i);
    if (opt.empty() && gdev_field(device_string, i + 1).empty()) break;
    if (stricmp(opt.c_str(), "cgm") == 0)
      st.meta_type = GMETA_CGM;
    else if (stricmp(opt.c_str(), "zav") == 0)
      st.meta_type = GMETA_TEXT;
    else if (!opt.empty())
      MESS_print(MESS_WARN, "gopen_ws: unknown metafile option: %s\n", opt.c_str());
    if (i > 100) break;
  }
  gset_win_size(1001.0F, 801.0F);
  gset_win_offset(0.0F, 0.0F);
  gps_place(1000.0F, 800.0F, 100.0F, 0.0F, "zavmeta_geometry", nullptr);
  if (gmeta_open_file(output_name(device_string).c_str()) != 0)
    return gerr_printf("gopen_ws", "unable to open metafile\n");
  gmeta_init_file();
  return 0;
}

int meta_close() { return gmeta_close_file(); }

void meta_clip(const float r[4]) {
  if (st.meta_type != GMETA_CGM) return;
  gcgm_control(3, 5, 8, 0);
  gcgm_ps_point(r[0], r[1]);
  gcgm_ps_point(r[2], r[3]);
}

int meta_state(int code, int arg, const float* v, int count) {
  auto f = [&](int i) { return (v != nullptr && i < count) ? v[i] : 0.0F; };
  for (const NumberRecord& r : number_records) {
    if (r.code != code) continue;
    if (r.set_int != nullptr)
      int_record(r.key, arg);
    else
      float_record(r.key, f(0));
    return 0;
  }
  switch (code) {
    case GOBJ_WS_WIN:
      if (count >= 4) rect_record("WS_WIN", arg, v);
      break;
    case GOBJ_WS_VP:
      if (count >= 4) rect_record("WS_VP", arg, v);
      break;
    case GOBJ_WIN:
      if (count >= 4) rect_record("WIN", arg, v);
      break;
    case GOBJ_VP:
      if (count >= 4) rect_record("VP", arg, v);
      break;
    case GOBJ_COLR:
      add("CLR 1 ");
      add_int(arg);
      for (int i = 0; i < 3; ++i) add(" "), add_f(f(i));
      add("\n");
      emit();
      return arg < 0 ? GKS_BACKGROUND_SLOT : arg;
    case GOBJ_TUP:
      add("TE_UP ");
      add_f(f(0));
      add(",");
      add_f(f(1));
      add("\n");
      emit();
      break;
    case GOBJ_TALIGN:
    case GOBJ_TFONT:
      add(code == GOBJ_TALIGN ? "TE_ALGN " : "TE_FNT ");
      add_int(arg);
      add(" ");
      add_int(static_cast<long>(f(0)));
      add("\n");
      emit();
      break;
    default:
      break;
  }
  return 0;
}

void meta_polyline(int n, const float* world, const float* dev) {
  if (st.meta_type == GMETA_CGM) {
    // Long lines go as several elements that share their end points.
    for (int start = 0; start < n - 1; start += cgm_max_points - 1) {
      const int count = std::min(cgm_max_points, n - start);
      gcgm_control(4, 1, 31, 4 * count);
      cgm_points(dev + 2 * start, count);
    }
  }
  points_record("PL", n, world, true);
}

void meta_fill(int n, const float* world, const float*) { points_record("FA", n, world, true); }

void meta_polymarker(int n, const float* world) { points_record("PM", n, world, n % 4 != 0); }

void meta_text(float x, float y, const char* s) {
  add("TE ");
  add_f(x);
  add(",");
  add_f(y);
  add(" ");
  // One record a line: a line break inside the string would end it early.
  for (const char* p = s; *p != '\0'; ++p) st.rec.push_back((*p == '\n' || *p == '\r') ? ' ' : *p);
  add("\n");
  emit();
}

void meta_clear_region(const float w[4], const float*) {
  const float v[4] = {w[0], w[2], w[1], w[3]};
  add("CLR_REG");
  for (float x : v) add(" "), add_f(x);
  add("\n");
  emit();
}

void meta_message(const char* text) {
  add("ME ");
  for (const char* p = text; *p != '\0'; ++p) st.rec.push_back((*p == '\n' || *p == '\r') ? ' ' : *p);
  add("\n");
  emit();
}

const GksDevice device{
    .name = "metafile",
    .open = meta_open,
    .close = meta_close,
    .init = nullptr,
    .clear = nullptr,
    .clip = meta_clip,
    .state = meta_state,
    .polyline = meta_polyline,
    .fill_area = meta_fill,
    .polymarker = meta_polymarker,
    .marker_begin = nullptr,
    .marker_shape = nullptr,
    .text = meta_text,
    .text_begin = nullptr,
    .text_stroke = nullptr,
    .clear_region = meta_clear_region,
    .message = meta_message,
};

// ---- reading ----

// Bytes of a metafile, from a file or from the text of an escape element.
class Source {
 public:
  explicit Source(std::FILE* f) : f_(f) {}
  Source(const char* p, std::size_t n) : p_(p), e_(p + n) {}
  int get() {
    if (f_ != nullptr) return std::getc(f_);
    return p_ < e_ ? static_cast<unsigned char>(*p_++) : EOF;
  }
  void unget(int c) {
    if (c == EOF) return;
    if (f_ != nullptr)
      std::ungetc(c, f_);
    else
      --p_;
  }

 private:
  std::FILE* f_ = nullptr;
  const char* p_ = nullptr;
  const char* e_ = nullptr;
};

// The kernel's attributes, transformations and colours as they were before a replay, put
// back after it: a metafile that only sets attributes, or that ends before it sets them
// back itself, must not change what is drawn after it.
class Attributes {
 public:
  Attributes()
      : line_type_(gget_line_type()),
        line_colr_(gget_line_colr()),
        line_width_(gget_line_width()),
        line_bold_(gget_line_print_bold()),
        marker_type_(gget_marker_type()),
        marker_colr_(gget_marker_colr()),
        marker_size_(gget_marker_size()),
        marker_width_(gget_marker_width()),
        fill_style_(gget_fill_int_style()),
        fill_index_(gget_fill_style_ind()),
        fill_colr_(gget_fill_colr()),
        fill_solid_(gget_fill_print_solid()),
        text_colr_(gget_text_colr()),
        font_(gget_font()),
        font_prec_(gget_font_prec()),
        text_height_(gget_char_ht()),
        text_expan_(gget_expan()),
        text_width_(gget_text_width()),
        text_space_(gget_space()),
        text_char_space_(gget_char_space()),
        tran_(gget_norm_tran()) {
    gget_char_up_vec(&up_[0], &up_[1]);
    ginq_text_align(&align_[0], &align_[1]);
    int error = 0;
    for (int n = 0; n < GKS_NUM_TRANS; ++n) ginq_norm_tran(n, &error, trans_[n]);
  }

  // Called before the replay defines colour index; the first value is the one kept.
  void colour(int index) {
    for (const Colour& c : colours_)
      if (c.index == index) return;
    Colour c{index, {}};
    if (index >= GKS_BACKGROUND && index <= 256 && gget_color_rgb(index, &c.rgb[0], &c.rgb[1], &c.rgb[2]) == 0)
      colours_.push_back(c);
  }

  void restore() const {
    for (const Colour& c : colours_) {
      float now[3];
      if (gget_color_rgb(c.index, &now[0], &now[1], &now[2]) == 0 &&
          (now[0] != c.rgb[0] || now[1] != c.rgb[1] || now[2] != c.rgb[2]))
        gset_colr_rep(1, c.index, c.rgb);
    }
    // Selected first: the device clips once, to the viewport it had.
    gsel_norm_tran(tran_);
    int error = 0;
    for (int n = 0; n < GKS_NUM_TRANS; ++n) {
      float now[8];
      if (ginq_norm_tran(n, &error, now) != 0) continue;
      if (!std::equal(now, now + 4, trans_[n])) gset_win(n, trans_[n]);
      if (!std::equal(now + 4, now + 8, trans_[n] + 4)) gset_vp(n, trans_[n] + 4);
    }
    gset_linetype(line_type_);
    gset_linewidth(line_width_);
    gset_line_colr_ind(line_colr_);
    gset_line_print_bold(line_bold_);
    gset_marker_type(marker_type_);
    gset_marker_size(marker_size_);
    gset_marker_width(marker_width_);
    gset_marker_colr_ind(marker_colr_);
    gset_fill_int_style(fill_style_);
    gset_fill_style_ind(fill_index_);
    gset_fill_colr_ind(fill_colr_);
    gset_fill_print_solid(fill_solid_);
    gset_text_colr_ind(text_colr_);
    gset_fontprec(font_, font_prec_);
    gset_char_ht(text_height_);
    gset_expan(text_expan_);
    gset_text_width(text_width_);
    gset_space(text_space_);
    gset_char_space(text_char_space_);
    gset_char_up_vec(up_[0], up_[1]);
    gset_text_align(align_[0], align_[1]);
  }

 private:
  struct Colour {
    int index;
    float rgb[3];
  };
  int line_type_, line_colr_;
  float line_width_, line_bold_;
  int marker_type_, marker_colr_;
  float marker_size_, marker_width_;
  int fill_style_, fill_index_, fill_colr_, fill_solid_;
  int text_colr_, font_, font_prec_;
  float text_height_, text_expan_, text_width_, text_space_, text_char_space_;
  float up_[2] = {0, 1};
  int align_[2] = {0, 0};
  int tran_;
  float trans_[GKS_NUM_TRANS][8] = {};
  std::vector<Colour> colours_;
};

class Replay {
 public:
  Replay(const char* path, Attributes* saved) : path_(path), saved_(saved) {}

  // Records until the end of the source.
  void records(Source& s) {
    std::string key;
    while (token(s, key, 64)) {
      if (!record(s, key)) {
        ++bad_;
        skip_line(s);
      }
    }
  }

  // An escape element too large to be one of ours.
  void oversized() { ++bad_; }

  void report() const {
    if (bad_ > 0) MESS_print(MESS_WARN, "gread_metafile: %s: %d records could not be read\n", path_, bad_);
    if (refused_ > named_skips)
      MESS_print(MESS_WARN, "gread_metafile: %s: %d more records out of range skipped\n", path_,
                 refused_ - named_skips);
  }

 private:
  static bool space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

  static bool token(Source& s, std::string& t, std::size_t max) {
    t.clear();
    int c = 0;
    while ((c = s.get()) != EOF && space(c)) {
    }
    if (c == EOF) return false;
    while (c != EOF && !space(c)) {
      if (t.size() < max) t.push_back(static_cast<char>(c));
      c = s.get();
    }
    s.unget(c);
    return true;
  }

  static void skip_line(Source& s) {
    int c = 0;
    while ((c = s.get()) != EOF && c != '\n') {
    }
  }

  static bool read_int(Source& s, int* v) {
    std::string t;
    return token(s, t, 32) && parse_int(t, v);
  }

  static bool read_float(Source& s, float* v) {
    std::string t;
    return token(s, t, 64) && parse_float(t, v);
  }

  // "x,y"
  static bool read_point(Source& s, float* x, float* y) {
    std::string t;
    if (!token(s, t, 128)) return false;
    const std::size_t comma = t.find(',');
    return comma != std::string::npos && parse_float(std::string_view(t).substr(0, comma), x) &&
           parse_float(std::string_view(t).substr(comma + 1), y);
  }

  // xmin, ymin, xmax, ymax in the file; xmin, xmax, ymin, ymax for the kernel.
  static bool read_rect(Source& s, float r[4]) {
    float v[4];
    for (float& x : v)
      if (!read_float(s, &x)) return false;
    r[0] = v[0], r[1] = v[2], r[2] = v[1], r[3] = v[3];
    return true;
  }

  bool read_points(Source& s, int n) {
    pts_.clear();
    for (int i = 0; i < n; ++i) {
      float x = 0.0F, y = 0.0F;
      if (!read_point(s, &x, &y)) return false;
      pts_.push_back(x);
      pts_.push_back(y);
    }
    return true;
  }

  // True when every value lies in lo..hi; otherwise the record is skipped with its line
  // (the first few named) and false.
  bool within(Source& s, const char* what, const float* v, int n, double lo, double hi) {
    for (int i = 0; i < n; ++i) {
      if (v[i] >= lo && v[i] <= hi) continue;
      if (++refused_ <= named_skips)
        MESS_print(MESS_WARN, "gread_metafile: %s: %s %g is out of range (%.10g to %.10g): record skipped\n", path_, what,
                   static_cast<double>(v[i]), lo, hi);
      skip_line(s);
      return false;
    }
    return true;
  }
  bool coordinates(Source& s, const char* key, const float* v, int n) {
    return within(s, key, v, n, -max_coordinate, max_coordinate);
  }

  bool record(Source& s, const std::string& k) {
    int a = 0, b = 0;
    float f = 0.0F, g = 0.0F;
    float r[4];
    const char* key = k.c_str();
    if (k == "WS_WIN") return read_int(s, &a) && read_rect(s, r);
    if (k == "WS_VP" || k == "ME") {
      skip_line(s);
      return true;
    }
    if (k == "WIN" || k == "VP") {
      if (!read_int(s, &a) || !read_rect(s, r)) return false;
      if (coordinates(s, key, r, 4)) (k == "WIN" ? gset_win : gset_vp)(a, r);
      return true;
    }
    if (k == "CLR") {
      float rgb[3];
      if (!read_int(s, &a) || !read_int(s, &b) || !read_float(s, &rgb[0]) || !read_float(s, &rgb[1]) ||
          !read_float(s, &rgb[2]))
        return false;
      if (!within(s, key, rgb, 3, 0.0, 1.0)) return true;
      saved_->colour(b);
      gset_colr_rep(1, b, rgb);
      return true;
    }
    if (k == "CLR_REG") {
      if (!read_rect(s, r)) return false;
      if (coordinates(s, key, r, 4)) gclear_region(r);
      return true;
    }
    if (k == "PL" || k == "FA" || k == "PM") {
      if (!read_int(s, &a)) return false;
      const float count = static_cast<float>(a);
      if (!within(s, key, &count, 1, 0, max_points)) return true;
      // A count beyond what the file holds is not believed: the points must be there.
      if (!read_points(s, a)) return false;
      if (!coordinates(s, key, pts_.data(), 2 * a)) return true;
      if (k == "PL")
        gpolyline(a, pts_.data());
      else if (k == "FA")
        gfill_area(a, pts_.data());
      else
        gpolymarker(a, pts_.data());
      return true;
    }
    if (k == "TE") {
      if (!read_point(s, &f, &g)) return false;
      const float pos[2] = {f, g};
      if (!coordinates(s, key, pos, 2)) return true;
      // One blank, then the string: at most 100 characters, the rest of the line dropped.
      int c = s.get();
      if (c != ' ') s.unget(c);
      std::string text;
      while ((c = s.get()) != EOF && c != '\n')
        if (text.size() < 100) text.push_back(static_cast<char>(c));
      gtext(pos, text.c_str());
      return true;
    }
    if (std::strcmp(key, "TE_UP") == 0) {
      if (!read_point(s, &f, &g)) return false;
      const float up[2] = {f, g};
      if (coordinates(s, key, up, 2)) gset_char_up_vec(f, g);
      return true;
    }
    if (std::strcmp(key, "TE_ALGN") == 0) return read_int(s, &a) && read_int(s, &b) && (gset_text_align(a, b), true);
    if (std::strcmp(key, "TE_FNT") == 0) return read_int(s, &a) && read_int(s, &b) && (gset_fontprec(a, b), true);
    for (const NumberRecord& e : number_records) {
      if (std::strcmp(key, e.key) != 0) continue;
      if (e.set_int != nullptr) return read_int(s, &a) && (e.set_int(a), true);
      if (!read_float(s, &f)) return false;
      if (within(s, key, &f, 1, e.lo, e.hi)) e.set_float(f);
      return true;
    }
    // Keywords of later versions are skipped with their line.
    skip_line(s);
    return true;
  }

  const char* path_;
  Attributes* saved_;
  int bad_ = 0;
  int refused_ = 0;
  std::vector<float> pts_;
};

// How a binary metafile ended.
enum class CgmEnd { complete, no_end, cut };

// The escape elements of a binary metafile hold the records; everything else is for
// viewers. A complete file ends with END METAFILE (content appended after one, by a
// writer that appends, ends with another).
CgmEnd replay_cgm(std::FILE* f, Replay& replay) {
  std::string params;
  bool ended = false;
  for (;;) {
    const int hi = std::getc(f);
    if (hi == EOF) return ended ? CgmEnd::complete : CgmEnd::no_end;
    const int lo = std::getc(f);
    if (lo == EOF) return CgmEnd::cut;
    const int word = (hi << 8) | lo;
    const int cls = word >> 12, id = (word >> 5) & 0x7F;
    params.clear();
    const bool escape = cls == 6 && id == 1;
    bool keep = escape;
    // Short form: the length in the word; long form: partitions, each with its length
    // and a flag for one more.
    bool more = (word & 0x1F) == 31;
    long len = more ? 0 : (word & 0x1F);
    for (;;) {
      if (more) {
        const int a = std::getc(f), b = std::getc(f);
        if (a == EOF || b == EOF) return CgmEnd::cut;
        more = (a & 0x80) != 0;
        len = ((a & 0x7F) << 8) | b;
      }
      for (long i = 0; i < len; ++i) {
        const int c = std::getc(f);
        if (c == EOF) return CgmEnd::cut;
        if (!keep) continue;
        if (params.size() < max_escape_bytes) {
          params.push_back(static_cast<char>(c));
        } else {
          keep = false;
          params.clear();
          replay.oversized();
        }
      }
      if (!more) {
        if (len % 2 != 0 && std::getc(f) == EOF) return CgmEnd::cut;
        break;
      }
    }
    ended = cls == 0 && id == 2;
    if (keep && params.size() >= 2 &&
        ((static_cast<unsigned char>(params[0]) << 8) | static_cast<unsigned char>(params[1])) == GMETA_ESCAPE_ID) {
      Source s(params.data() + 2, params.size() - 2);
      replay.records(s);
    }
  }
}

}  // namespace

const GksDevice* gmeta_device() { return &device; }

int gmeta_open_file(const char* name) {
  if (name == nullptr || !st.out.open(name, "gmeta_open_file", "Creating metafile: %s\n")) return -1;
  st.rec.clear();
  return 0;
}

void gmeta_init_file() {
  if (st.out.appending()) return;
  if (st.meta_type == GMETA_TEXT) {
    st.out.str("ZAVMETA\n");
    st.out.printf("#Title: ZAV Graphics Display: %s\n", gget_win_title());
    st.out.str("#Creator: ZAV Metafile Processor-1.0\n");
    const std::time_t now = std::time(nullptr);
    char date[64] = "";
    if (ctime_r(&now, date) == nullptr) copy_bounded(date, sizeof date, "\n");
    st.out.printf("#CreationDate: %s", date);
    return;
  }
  gcgm_control(0, 1, 0, 0);  // BEGIN METAFILE, no name
  gcgm_control(1, 1, 2, 0);  // METAFILE VERSION 1
  st.out.word(1);
  gcgm_control(1, 2, 11, 0);  // METAFILE DESCRIPTION
  st.out.put(10);
  st.out.str("ZAVCGM-1.0");
  st.out.put('\0');
  gcgm_control(1, 11, 6, 0);  // METAFILE ELEMENT LIST: the drawing-plus-control set
  st.out.word(1);
  st.out.word(-1);
  st.out.word(1);
  gcgm_control(1, 9, 1, 0);  // MAXIMUM COLOUR INDEX
  st.out.put(static_cast<char>(255));
  st.out.put('\0');
  gcgm_control(2, 6, 8, 0);  // VDC EXTENT
  st.out.word(0);
  st.out.word(0);
  st.out.word(10000);
  st.out.word(8000);
  gcgm_control(0, 3, 0, 0);  // BEGIN PICTURE
  gcgm_control(0, 4, 0, 0);  // BEGIN PICTURE BODY
}

int gmeta_close_file() {
  if (!st.out.is_open()) return -1;
  if (st.meta_type == GMETA_CGM) {
    if (!st.out.appending()) gcgm_control(0, 5, 0, 0);  // END PICTURE
    // Also after appended content: a reader knows the file whole by its last element.
    gcgm_control(0, 2, 0, 0);  // END METAFILE
  }
  if (st.out.close("gmeta_close_file") != 0) return -1;
  MESS_print(MESS_MESS, "Created metafile\n");
  return 0;
}

int gmeta_printf(const char* format, ...) {
  if (!st.out.is_open() || st.meta_type != GMETA_TEXT) return -1;
  va_list args;
  va_start(args, format);
  const int n = st.out.vprintf(format, args);
  va_end(args);
  return n;
}

void gmeta_set_type(int kind) { st.meta_type = kind == GMETA_CGM ? GMETA_CGM : GMETA_TEXT; }
int gmeta_get_type() { return st.meta_type; }

void gcgm_control(int element_class, int element, int length, int extra) {
  if (!st.out.is_open()) return;
  st.out.word(((element_class & 0xF) << 12) | ((element & 0x7F) << 5) | (length & 0x1F));
  if ((length & 0x1F) == 31 || extra != 0) st.out.word(extra);
}

void gcgm_point(float x, float y) { gcgm_ps_point(xW_ps(x), yW_ps(y)); }

void gcgm_ps_point(float x, float y) {
  auto clamp16 = [](float v) {
    const float r = std::round(v);
    if (std::isnan(r)) return 0;
    return static_cast<int>(r < -32768.0F ? -32768.0F : r > 32767.0F ? 32767.0F : r);
  };
  st.out.word(clamp16(x));
  st.out.word(clamp16(y));
}

int gread_metafile(const char* path) {
  if (!gchk_graphics()) return gerr_printf("gread_metafile", "GKS not opened\n");
  std::FILE* f = path != nullptr ? FILE_open(path, "r") : nullptr;
  if (f == nullptr) {
    MESS_print(MESS_ERROR, "gread_metafile: Unable to open image file: %s\n", path != nullptr ? path : "");
    return -1;
  }
  Attributes saved;
  Replay replay(path, &saved);
  const int c0 = std::getc(f), c1 = std::getc(f);
  if (c0 == 0x00 && c1 == 0x20) {
    // What there is is drawn; a file cut short is said to be.
    const CgmEnd end = replay_cgm(f, replay);
    if (end == CgmEnd::no_end)
      MESS_print(MESS_WARN, "gread_metafile: %s: truncated CGM (no END METAFILE)\n", path);
    else if (end == CgmEnd::cut)
      MESS_print(MESS_WARN, "gread_metafile: %s: truncated CGM (cut inside an element)\n", path);
  } else {
    // The first line is the header.
    int c = c1;
    if (c0 != '\n')
      while (c != EOF && c != '\n') c = std::getc(f);
    Source s(f);
    replay.records(s);
  }
  FILE_close(f);
  saved.restore();
  replay.report();
  return 0;
}

void gmeta_reset_state() {
  // The output stream cannot be assigned: the record is made again in place, which also
  // closes a stream left open.
  std::destroy_at(&st);
  std::construct_at(&st);
}
