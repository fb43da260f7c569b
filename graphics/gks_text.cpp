// Text attributes and gtext.
#include "graphics/gks_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "config/datafile.h"
#include "config/fileio.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/string.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tran.h"

namespace {

struct FontEntry {
  std::string name;  // up to 9 characters
  std::string file;  // up to 105 characters
};

struct Font {
  std::vector<unsigned char> db;
  std::array<int, 256> start{};
  std::array<int, 256> width{};
};
Font empty_font() {
  Font f;
  f.start.fill(-1);
  f.width.fill(0);
  return f;
}

// The attributes a reset of the text primitive gives back.
struct TextAttr {
  int text_color = 1;
  float text_width = 1.0F;
  float text_height = 0.01F;
  float text_expan = 1.0F;
  float text_space = 0.25F;
  float text_char_space = 0.0F;
  int horiz_align = 0;
  int vert_align = 0;
  float upx = 0.0F, upy = 1.0F;
  int font_ind = 1;
  int font_prec = 2;
};

// The text attributes, the font list and the font in use with those read before, the
// places labels took on the page, and the strokes of the glyph being drawn.
struct TextState : TextAttr {
  int drop_shadow = 0;
  int drop_color = 0;
  std::string font_list_text;
  // The font list; entry i is font i + 1.
  std::vector<FontEntry> fonts;
  Font font = empty_font();
  int font_type = 0;
  // Fonts read before, by file name: labels switch fonts often.
  std::map<std::string, Font> loaded;
  // Boxes of the labels placed on the page (NDC x0, y0, x1, y1).
  std::vector<std::array<float, 4>> label_room;
  // Strokes of one glyph, kept between glyphs so that the buffer is not made anew.
  std::vector<float> stroke;
};
TextState st;

constexpr std::size_t max_name = 9;
constexpr std::size_t max_file = 105;
constexpr int blank_width = 40;
constexpr int lines_per_list_file = 40;
constexpr int entries_per_fi_file = 10;

// Vertical offsets of the alignments: normal, top, cap, half, base, bottom.
constexpr int vertical_offset[6] = {-35, -160, -140, -85, -35, 0};

void clear_font() {
  st.font.db.clear();
  st.font.start.fill(-1);
  st.font.width.fill(0);
  st.font_type = 0;
}

std::string trimmed(std::string s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// Whitespace-separated tokens of a font file, read as decimal integers.
class Tokens {
 public:
  explicit Tokens(std::FILE* f) : f_(f) {}
  bool next(std::string& t) {
    t.clear();
    int c = 0;
    while ((c = std::getc(f_)) != EOF && std::isspace(c)) {
    }
    while (c != EOF && !std::isspace(c)) {
      if (t.size() < 32) t.push_back(static_cast<char>(c));
      c = std::getc(f_);
    }
    return !t.empty();
  }
  bool number(int* v) {
    std::string t;
    return next(t) && parse_int(t, v);
  }

 private:
  std::FILE* f_;
};

// Reads a stroke font; an empty string when it is good, else why not.
std::string parse_font(std::FILE* f, Font& out) {
  Tokens tok(f);
  out.db.clear();
  out.start.fill(-1);
  out.width.fill(0);
  int v = 0;
  if (!tok.number(&v)) return "no font data";
  const bool labels = v != 255;
  std::string skip;
  if (labels) {
    if (!tok.next(skip)) return "no font data";
  } else {
    out.db.push_back(255);
  }
  bool cut = false;
  for (;;) {
    if (!tok.number(&v)) return "the vertex codes do not end with 254";
    if (v == 254) break;
    if (v < 0 || v > 255) return "vertex code out of range: " + std::to_string(v);
    if (out.db.size() < GKS_FONT_STORE)
      out.db.push_back(static_cast<unsigned char>(v));
    else
      cut = true;
    if (v == 255 && labels && !tok.next(skip)) return "the vertex codes do not end with 254";
  }
  if (out.db.size() < GKS_FONT_STORE) out.db.push_back(255);
  if (cut) out.db.back() = 255;
  for (int c = 0; c < 256; ++c) {
    if (!tok.number(&v)) return "fewer than 256 glyph positions";
    if (v < -1 || v >= static_cast<int>(out.db.size())) v = -1;
    out.start[c] = v;
  }
  for (int c = 0; c < 256; ++c) {
    if (out.start[c] < 0) continue;
    int w = 0;
    for (std::size_t i = static_cast<std::size_t>(out.start[c]); i + 1 < out.db.size() && out.db[i] < 254; i += 2) {
      const int x = out.db[i] >= 128 ? out.db[i] - 128 : out.db[i];
      w = x > w ? x : w;
    }
    out.width[c] = w;
  }
  out.width[' '] = blank_width;
  return "";
}

void add_font(const std::string& name, const std::string& file) {
  if (static_cast<int>(st.fonts.size()) >= GKS_MAX_FONTS) return;
  st.fonts.push_back({name.substr(0, max_name), file.substr(0, max_file)});
}

// "name rest of line" a line; at most 40 lines (or "name file" pairs, at most 10).
void read_list_file(std::FILE* f, bool pairs) {
  char line[512];
  int n = 0;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    const std::size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] != '\n' && !std::feof(f)) {
      int c = 0;
      while ((c = std::getc(f)) != EOF && c != '\n') {
      }
    }
    const std::string t = trimmed(line);
    if (t.empty() || t[0] == '#') continue;
    std::size_t sp = 0;
    while (sp < t.size() && !std::isspace(static_cast<unsigned char>(t[sp]))) ++sp;
    std::string rest = trimmed(t.substr(sp));
    if (pairs) rest = rest.substr(0, rest.find_first_of(" \t"));
    if (rest.empty()) continue;
    add_font(t.substr(0, sp), rest);
    if (++n >= (pairs ? entries_per_fi_file : lines_per_list_file)) break;
  }
}

int load_current() {
  if (st.fonts.empty()) return read_font("modern.fnt");
  const int i = st.font_ind >= 1 && st.font_ind <= static_cast<int>(st.fonts.size()) ? st.font_ind : 1;
  return read_font(st.fonts[static_cast<std::size_t>(i - 1)].file.c_str());
}

// Whole font units, truncated as the layout counts them. Attributes are only checked for
// being finite, so spacings and expansions of any size reach here: the arithmetic is done
// in double and bounded before it becomes an integer.
constexpr double max_units = 1.0e9;
int units(double v) {
  if (std::isnan(v)) return 0;
  if (v > max_units) return static_cast<int>(max_units);
  if (v < -max_units) return -static_cast<int>(max_units);
  return static_cast<int>(v);
}

int advance(int c, float expansion) {
  const double space = static_cast<double>(st.text_space) * 100.0;
  const double e = expansion;
  if (st.text_char_space > 0.0F) return units((space + 100.0) * st.text_char_space * e);
  if (st.font.start[c] < 0) return units((space + blank_width) * e);
  return units((st.font.width[c] + space) * e);
}

bool open_or_say(const char* routine) {
  if (gchk_graphics()) return true;
  gerr_printf(routine, "GKS not opened\n");
  return false;
}

}  // namespace

int gset_char_ht(float height) {
  return gdev_set_float("gset_char_ht", GOBJ_THEIGHT, height, &st.text_height, "invalid character height: %f\n", true);
}

int gset_expan(float expansion) {
  return gdev_set_float("gset_expan", GOBJ_TEXPAN, expansion, &st.text_expan, "invalid expansion factor: %f\n", true);
}

int gset_text_width(float width) {
  if (gtype_is_PS() && width == 0.0F) width = 1.0F;
  return gdev_set_float("gset_text_width", GOBJ_TWIDTH, width, &st.text_width, "invalid text width: %f\n", true);
}

int gset_space(float space) {
  return gdev_set_float("gset_space", GOBJ_TSPACE, space, &st.text_space, "invalid word spacing: %f\n", false);
}

int gset_char_space(float space) {
  return gdev_set_float("gset_char_space", GOBJ_TCSPACE, space, &st.text_char_space, "invalid character spacing: %f\n", false);
}

int gset_text_align(int horizontal, int vertical) {
  if (!open_or_say("gset_text_align")) return -1;
  if (horizontal < 0 || horizontal > 3 || vertical < 0 || vertical > 5)
    return gerr_printf("gset_text_align", "invalid text alignment: %d %d\n", horizontal, vertical);
  if (horizontal == st.horiz_align && vertical == st.vert_align) return 0;
  const float v = static_cast<float>(vertical);
  if (gdev_state(GOBJ_TALIGN, horizontal, &v, 1) < 0) return -1;
  st.horiz_align = horizontal;
  st.vert_align = vertical;
  return 0;
}

int gset_char_up_vec(float x, float y) {
  if (!open_or_say("gset_char_up_vec")) return -1;
  const float len = std::hypot(x, y);
  if (!std::isfinite(len) || len == 0.0F) return gerr_printf("gset_char_up_vec", "invalid up vector: %f,%f\n", x, y);
  const float v[2] = {x / len, y / len};
  if (v[0] == st.upx && v[1] == st.upy) return 0;
  if (gdev_state(GOBJ_TUP, 0, v, 2) < 0) return -1;
  st.upx = v[0];
  st.upy = v[1];
  return 0;
}

int gset_text_colr_ind(int index) {
  int stored = 0;
  if (gsetter_colr("gset_text_colr_ind", index, &stored) != 0) return -1;
  if (stored == st.text_color) return 0;
  if (gdev_state(GOBJ_TCOLR, stored, nullptr, 0) < 0) return -1;
  st.text_color = stored;
  return 0;
}

int gset_fontprec(int font, int precision) {
  if (!open_or_say("gset_fontprec")) return -1;
  if (font < 1 || (!st.fonts.empty() && font > static_cast<int>(st.fonts.size())))
    return gerr_printf("gset_fontprec", "invalid font id: %d\n", font);
  if (font == st.font_ind && precision == st.font_prec) return 0;
  const float p = static_cast<float>(precision);
  if (gdev_state(GOBJ_TFONT, font, &p, 1) < 0) return -1;
  const bool changed = font != st.font_ind;
  st.font_ind = font;
  st.font_prec = precision;
  if (changed && !st.fonts.empty()) load_current();
  return 0;
}

int gset_text_path(int) { return 0; }

void ginq_text_align(int* horizontal, int* vertical) {
  if (horizontal != nullptr) *horizontal = st.horiz_align;
  if (vertical != nullptr) *vertical = st.vert_align;
}

void greset_text() { static_cast<TextAttr&>(st) = TextAttr{}; }

void ginit_text(int) { greset_text(); }

float gget_char_ht() { return st.text_height; }
float gget_expan() { return st.text_expan; }
float gget_text_width() { return st.text_width; }
float gget_space() { return st.text_space; }
float gget_char_space() { return st.text_char_space; }
void gget_char_up_vec(float* x, float* y) {
  if (x != nullptr) *x = st.upx;
  if (y != nullptr) *y = st.upy;
}
int gget_text_colr() { return st.text_color; }
int gget_font() { return st.font_ind; }
int gget_font_prec() { return st.font_prec; }

int gset_font_drop(int depth) {
  // A shadow deeper than a few pixels is no longer a shadow; keep the loop bounded.
  st.drop_shadow = depth < 0 ? 0 : depth > 32 ? 32 : depth;
  return 0;
}

int gset_font_drop_color(int index) {
  if (!gis_valid_colr(index)) return -1;
  st.drop_color = index;
  return 0;
}

int gget_font_drop() { return st.drop_shadow; }
int gget_font_drop_color() { return st.drop_color; }

void gset_font_list(const char* list) { st.font_list_text = list != nullptr ? list : ""; }

int gget_font_index(const char* name) {
  if (name == nullptr || *name == '\0') return 1;
  if (std::isdigit(static_cast<unsigned char>(*name))) {
    const long v = std::strtol(name, nullptr, 10);
    return v > 0 && v < 100000 ? static_cast<int>(v) : 1;
  }
  for (std::size_t i = 0; i < st.fonts.size(); ++i)
    if (stricmp(st.fonts[i].name.c_str(), name) == 0) return static_cast<int>(i) + 1;
  return 1;
}

int gtext(const float position[2], const char* string) {
  if (!open_or_say("gtext")) return -1;
  if (string == nullptr || *string == '\0') return 0;
  if (position == nullptr || !gdev_finite(1, position)) return gerr_printf("gtext", "invalid text position\n");
  if (!gtype_is_META()) {
    // The position followed by the string, as the replay reads it.
    const std::size_t len = std::strlen(string) + 1;
    try {
      std::vector<unsigned char> data(2 * sizeof(float) + len);
      std::memcpy(data.data(), position, 2 * sizeof(float));
      std::memcpy(data.data() + 2 * sizeof(float), string, len);
      gnew_obj(GOBJ_TEXT, 0, data.size(), data.data());
    } catch (const std::bad_alloc&) {
      return gerr_printf("gtext", "malloc error\n");
    }
  }
  const GksDevice* dev = gdev_cur();
  if (dev->text != nullptr) {
    dev->text(position[0], position[1], string);
    return 0;
  }
  return text(string, position[0], position[1]);
}

int gtext_width(const char* string) {
  if (string == nullptr) return 0;
  const std::size_t n = std::strlen(string);
  double w = 0.0;
  const double space = static_cast<double>(st.text_space) * 100.0, pitch = st.text_char_space;
  for (std::size_t i = 0; i < n; ++i) {
    const int c = static_cast<unsigned char>(string[i]);
    const bool last = i + 1 == n;
    if (st.text_char_space > 0.0F) {
      w += last ? pitch * 100.0 : (space + 100.0) * pitch;
    } else if (st.font.start[c] >= 0 || c == ' ') {
      // Characters without a glyph are skipped when drawn, so they take no room here.
      w += st.font.width[c] + (last ? 0.0 : space);
    }
  }
  return units(w);
}

int text(const char* string, float x, float y) {
  const GksDevice* dev = gdev_cur();
  if (dev == nullptr || string == nullptr) return -1;
  if (dev->text_begin != nullptr) dev->text_begin(x, y, string);
  if (dev->text_stroke == nullptr) return 0;
  const double w = gtext_width(string);
  int p0 = 0;
  if (st.horiz_align == 2) p0 = -units(w * st.text_expan / 2.0);
  if (st.horiz_align == 3) p0 = -units(w * st.text_expan);
  const float d = static_cast<float>(vertical_offset[st.vert_align >= 0 && st.vert_align <= 5 ? st.vert_align : 0]);
  const float s = st.text_height / 105.0F;
  const bool window = gtype_is_WIN_PIX() != 0;
  const int depth = window ? st.drop_shadow : 0;
  auto flush = [&](int shadow) {
    if (st.stroke.size() >= 4) dev->text_stroke(static_cast<int>(st.stroke.size() / 2), st.stroke.data(), shadow);
    st.stroke.clear();
  };
  // Copies: the shadow ones first, shifted right and down by k pixels, then the string.
  for (int copy = 0; copy <= depth; ++copy) {
    const bool shadow = copy < depth;
    const float shift = shadow ? static_cast<float>(copy) : 0.0F;
    float p = static_cast<float>(p0);
    for (const char* c = string; *c != '\0'; ++c) {
      const int code = static_cast<unsigned char>(*c);
      const int start = st.font.start[code];
      if (start < 0) {
        if (code == ' ') p += static_cast<float>(advance(code, st.text_expan));
        continue;
      }
      st.stroke.clear();
      for (std::size_t i = static_cast<std::size_t>(start); i + 1 < st.font.db.size() && st.font.db[i] < 254; i += 2) {
        const int gx = st.font.db[i], gy = st.font.db[i + 1];
        const bool move = gx >= 128;
        const float u = ((move ? gx - 128 : gx) * st.text_expan + p) * s;
        const float v = (static_cast<float>(gy) + d) * s;
        float dx = xW_dev(x + u * st.upy + v * st.upx), dy = yW_dev(y - u * st.upx + v * st.upy);
        if (window) {
          dx = std::trunc(dx + 0.5F) + shift;
          dy = std::trunc(dy + 0.5F) + shift;
        }
        if (move) flush(shadow ? 1 : 0);
        try {
          st.stroke.push_back(dx);
          st.stroke.push_back(dy);
        } catch (const std::bad_alloc&) {
          st.stroke.clear();
          return gerr_printf("text", "malloc error\n");
        }
      }
      flush(shadow ? 1 : 0);
      p += static_cast<float>(advance(code, st.text_expan));
    }
  }
  return 0;
}

int gsetup_fonts() {
  st.fonts.clear();
  std::string list = st.font_list_text;
  if (list.empty()) {
    const char* res = RES_get("font_list");
    if (res != nullptr) list = trimmed(res);
  }
  if (list.empty()) {
    std::string used;
    std::FILE* f = FILE_open_data("zav.fnl", &used);
    if (f != nullptr) {
      read_list_file(f, false);
      FILE_close(f);
    }
  } else if (list.compare(0, 3, "fi:") == 0) {
    const std::string name = trimmed(list.substr(3));
    std::string used;
    std::FILE* f = FILE_open_data(name, &used);
    if (f == nullptr) {
      MESS_print(MESS_ERROR, "gsetup_fonts: unable to load font list file: %s\n", name.c_str());
    } else {
      read_list_file(f, true);
      FILE_close(f);
    }
  } else {
    std::size_t start = 0;
    while (start <= list.size()) {
      std::size_t comma = list.find(',', start);
      if (comma == std::string::npos) comma = list.size();
      const std::string file = trimmed(list.substr(start, comma - start));
      if (!file.empty()) add_font("", file);
      start = comma + 1;
    }
  }
  return load_current();
}

int read_font(const char* name) {
  clear_font();
  if (name == nullptr || *name == '\0') return -1;
  if (!gchk_graphics()) return -1;
  if (name[0] == '#') {
    // Server fonts belong to the window device; without one there is none to load.
    return gerr_printf("read_font", "unable to load font: %s\n", name + 1);
  }
  std::string used;
  std::FILE* f = FILE_open_data(name, &used);
  if (f == nullptr) return gerr_printf("read_font", "unable to load font file: %s\n", name);
  auto it = st.loaded.find(used);
  if (it != st.loaded.end()) {
    FILE_close(f);
    st.font = it->second;
    st.font_type = 1;
    return 0;
  }
  Font parsed;
  const std::string why = parse_font(f, parsed);
  FILE_close(f);
  if (!why.empty()) {
    MESS_print(MESS_WARN, "read_font: %s: %s\n", used.c_str(), why.c_str());
    return gerr_printf("read_font", "unable to load font file: %s\n", name);
  }
  st.font = parsed;
  st.font_type = 1;
  try {
    st.loaded[used] = parsed;
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

int gget_num_fonts() { return static_cast<int>(st.fonts.size()); }
const char* gget_font_name(int index) {
  return index >= 1 && index <= static_cast<int>(st.fonts.size()) ? st.fonts[static_cast<std::size_t>(index - 1)].name.c_str()
                                                                : "";
}
const char* gget_font_file(int index) {
  return index >= 1 && index <= static_cast<int>(st.fonts.size()) ? st.fonts[static_cast<std::size_t>(index - 1)].file.c_str()
                                                                : "";
}
int gget_font_type() { return st.font_type; }
int gget_glyph_width(int code) { return code >= 0 && code < 256 ? st.font.width[code] : 0; }
int gget_glyph_start(int code) { return code >= 0 && code < 256 ? st.font.start[code] : -1; }

// ---- room for labels ----

namespace {
void to_ndc(const float box[4], float out[4]) {
  const float xa = xW_NDC(box[0]), xb = xW_NDC(box[2]), ya = yW_NDC(box[1]), yb = yW_NDC(box[3]);
  out[0] = std::min(xa, xb), out[2] = std::max(xa, xb);
  out[1] = std::min(ya, yb), out[3] = std::max(ya, yb);
}
void viewport_ndc(float vp[4]) {
  int error = 0;
  float t[8];
  if (ginq_norm_tran(gget_norm_tran(), &error, t) < 0 || error != 0) {
    vp[0] = vp[2] = 0.0F, vp[1] = vp[3] = 1.0F;
    return;
  }
  vp[0] = t[4], vp[1] = t[5], vp[2] = t[6], vp[3] = t[7];
}
}  // namespace

void gtext_room_clear() { st.label_room.clear(); }

int gtext_room_free(const float box[4]) {
  if (box == nullptr) return 0;
  float b[4], vp[4];
  to_ndc(box, b);
  viewport_ndc(vp);
  // A small tolerance keeps a label that just touches the frame from being refused for
  // the rounding of the transformation.
  const float tol = 1e-5F;
  if (b[0] < vp[0] - tol || b[2] > vp[1] + tol || b[1] < vp[2] - tol || b[3] > vp[3] + tol) return 0;
  for (const auto& r : st.label_room)
    if (b[0] < r[2] && r[0] < b[2] && b[1] < r[3] && r[1] < b[3]) return 0;
  return 1;
}

void gtext_room_claim(const float box[4], const char* kind) {
  if (box == nullptr) return;
  float b[4], vp[4];
  to_ndc(box, b);
  viewport_ndc(vp);
  st.label_room.push_back({b[0], b[1], b[2], b[3]});
  MESS_print(MESS_DEBUG, "Label box: %s %.4f %.4f %.4f %.4f in %.4f %.4f %.4f %.4f\n", kind != nullptr ? kind : "",
             static_cast<double>(b[0]), static_cast<double>(b[1]), static_cast<double>(b[2]),
             static_cast<double>(b[3]), static_cast<double>(vp[0]), static_cast<double>(vp[2]),
             static_cast<double>(vp[1]), static_cast<double>(vp[3]));
}

int gtext_room_count() { return static_cast<int>(st.label_room.size()); }

void gtext_room_get(int i, float box[4]) {
  if (box == nullptr || i < 0 || i >= gtext_room_count()) return;
  for (int k = 0; k < 4; ++k) box[k] = st.label_room[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
}

void gtext_reset_state() { st = TextState{}; }
