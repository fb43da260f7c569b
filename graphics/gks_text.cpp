// Text attributes and gtext.
#include "graphics/gks_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/string.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"

namespace {

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
int drop_shadow = 0;
int drop_color = 0;

std::string font_list_text;
// Font names of the font list, filled by the font loader; index i is font i + 1.
std::vector<std::string> font_names;

bool open_or_say(const char* routine) {
  if (gchk_graphics()) return true;
  gerr_printf(routine, "GKS not opened\n");
  return false;
}

int set_float(const char* routine, int code, float value, float& store, const char* invalid, bool positive) {
  if (!open_or_say(routine)) return -1;
  if (!std::isfinite(value) || (positive && value < 0.0F)) return gerr_printf(routine, invalid, value);
  if (value == store) return 0;
  if (gdev_state(code, 0, &value, 1) < 0) return -1;
  store = value;
  return 0;
}

}  // namespace

int gset_char_ht(float height) {
  return set_float("gset_char_ht", GOBJ_THEIGHT, height, text_height, "invalid character height: %f\n", true);
}

int gset_expan(float expansion) {
  return set_float("gset_expan", GOBJ_TEXPAN, expansion, text_expan, "invalid expansion factor: %f\n", true);
}

int gset_text_width(float width) {
  if (gtype_is_PS() && width == 0.0F) width = 1.0F;
  return set_float("gset_text_width", GOBJ_TWIDTH, width, text_width, "invalid text width: %f\n", true);
}

int gset_space(float space) {
  return set_float("gset_space", GOBJ_TSPACE, space, text_space, "invalid word spacing: %f\n", false);
}

int gset_char_space(float space) {
  return set_float("gset_char_space", GOBJ_TCSPACE, space, text_char_space, "invalid character spacing: %f\n", false);
}

int gset_text_align(int horizontal, int vertical) {
  if (!open_or_say("gset_text_align")) return -1;
  if (horizontal < 0 || horizontal > 3 || vertical < 0 || vertical > 5)
    return gerr_printf("gset_text_align", "invalid text alignment: %d %d\n", horizontal, vertical);
  if (horizontal == horiz_align && vertical == vert_align) return 0;
  const float v = static_cast<float>(vertical);
  if (gdev_state(GOBJ_TALIGN, horizontal, &v, 1) < 0) return -1;
  horiz_align = horizontal;
  vert_align = vertical;
  return 0;
}

int gset_char_up_vec(float x, float y) {
  if (!open_or_say("gset_char_up_vec")) return -1;
  const float len = std::hypot(x, y);
  if (!std::isfinite(len) || len == 0.0F) return gerr_printf("gset_char_up_vec", "invalid up vector: %f,%f\n", x, y);
  const float v[2] = {x / len, y / len};
  if (v[0] == upx && v[1] == upy) return 0;
  if (gdev_state(GOBJ_TUP, 0, v, 2) < 0) return -1;
  upx = v[0];
  upy = v[1];
  return 0;
}

int gset_text_colr_ind(int index) {
  int stored = 0;
  if (gsetter_colr("gset_text_colr_ind", index, &stored) != 0) return -1;
  if (stored == text_color) return 0;
  if (gdev_state(GOBJ_TCOLR, stored, nullptr, 0) < 0) return -1;
  text_color = stored;
  return 0;
}

int gset_fontprec(int font, int precision) {
  if (!open_or_say("gset_fontprec")) return -1;
  if (font < 1 || (!font_names.empty() && font > static_cast<int>(font_names.size())))
    return gerr_printf("gset_fontprec", "invalid font id: %d\n", font);
  if (font == font_ind && precision == font_prec) return 0;
  const float p = static_cast<float>(precision);
  if (gdev_state(GOBJ_TFONT, font, &p, 1) < 0) return -1;
  font_ind = font;
  font_prec = precision;
  return 0;
}

int gset_text_path(int) { return 0; }

void ginq_text_align(int* horizontal, int* vertical) {
  if (horizontal != nullptr) *horizontal = horiz_align;
  if (vertical != nullptr) *vertical = vert_align;
}

void greset_text() {
  text_color = 1;
  text_width = 1.0F;
  text_height = 0.01F;
  text_expan = 1.0F;
  text_space = 0.25F;
  text_char_space = 0.0F;
  horiz_align = 0;
  vert_align = 0;
  upx = 0.0F;
  upy = 1.0F;
  font_ind = 1;
  font_prec = 2;
}

void ginit_text(int) { greset_text(); }

float gget_char_ht() { return text_height; }
float gget_expan() { return text_expan; }
float gget_text_width() { return text_width; }
float gget_space() { return text_space; }
float gget_char_space() { return text_char_space; }
void gget_char_up_vec(float* x, float* y) {
  if (x != nullptr) *x = upx;
  if (y != nullptr) *y = upy;
}
int gget_text_colr() { return text_color; }
int gget_font() { return font_ind; }

int gset_font_drop(int depth) {
  // A shadow deeper than a few pixels is no longer a shadow; keep the loop bounded.
  drop_shadow = depth < 0 ? 0 : depth > 32 ? 32 : depth;
  return 0;
}

int gset_font_drop_color(int index) {
  if (!gis_valid_colr(index)) return -1;
  drop_color = index;
  return 0;
}

int gget_font_drop() { return drop_shadow; }
int gget_font_drop_color() { return drop_color; }

void gset_font_list(const char* list) { font_list_text = list != nullptr ? list : ""; }

int gget_font_index(const char* name) {
  if (name == nullptr || *name == '\0') return 1;
  if (std::isdigit(static_cast<unsigned char>(*name))) {
    const long v = std::strtol(name, nullptr, 10);
    return v > 0 && v < 100000 ? static_cast<int>(v) : 1;
  }
  for (std::size_t i = 0; i < font_names.size(); ++i)
    if (stricmp(font_names[i].c_str(), name) == 0) return static_cast<int>(i) + 1;
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
  if (dev->text != nullptr) dev->text(position[0], position[1], string);
  return 0;
}
