// Weather symbols and the sky-cover circle. The symbol file is read whole into memory
// once: station plots draw the same few symbols at hundreds of stations a frame.
#include "plot/wx_symb.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "config/datafile.h"
#include "config/fileio.h"
#include "config/mess.h"
#include "config/string.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// A symbol file holds 100 small drawings; anything much larger is not one.
constexpr std::size_t kMaxFileBytes = 1u << 20;
// Points may stray this far outside the unit box before the entry counts as damaged:
// hand-written files round to two or three decimals.
constexpr float kBoxSlack = 0.001f;

struct Stroke {
  bool fill = false;
  std::vector<float> xy;  // x0, y0, x1, y1, ... in symbol units
};

struct Symbol {
  std::string name;
  std::vector<Stroke> strokes;
};

// The symbol table, read from its file on first use.
struct WxState {
  std::vector<Symbol> symbols;
  bool loaded = false;
};
// Not `st`: the drawing loop gives that name to each stroke.
WxState ws;

// Whitespace-separated words of the file with what the reader needs to know of the line
// structure: comments run to the end of their line.
class Words {
 public:
  explicit Words(std::string_view text) : text_(text) {}
  // The next word; empty at the end. With comments, a word beginning with '#' skips its
  // line and the search goes on.
  std::string_view next(bool comments) {
    for (;;) {
      while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      if (pos_ >= text_.size()) return {};
      if (comments && text_[pos_] == '#') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        continue;
      }
      const std::size_t start = pos_;
      while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      return text_.substr(start, pos_ - start);
    }
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Printable form of a word from a possibly damaged file, for messages.
std::string shown(std::string_view w) {
  std::string s;
  for (const char c : w.substr(0, 40)) s += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  if (w.size() > 40) s += "...";
  return s;
}

bool read_point(std::string_view w, float* x, float* y) {
  const std::size_t comma = w.find(',');
  if (comma == std::string_view::npos) return false;
  return parse_float(w.substr(0, comma), x) && parse_float(w.substr(comma + 1), y);
}

bool looks_like_point(std::string_view w) {
  const char c = w.empty() ? ' ' : w[0];
  return std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.' || c == ',';
}

// Reads the entries of text; damaged parts are reported against file and left out.
std::vector<Symbol> parse(std::string_view text, const std::string& file) {
  std::vector<Symbol> out;
  Words words(text);
  for (std::string_view name = words.next(true); !name.empty(); name = words.next(true)) {
    if (out.size() >= WX_SYMB_MAX) {
      MESS_print(MESS_WARN, "WX_symb_file: More than %d symbols in %s; the rest are left out\n", WX_SYMB_MAX, file.c_str());
      break;
    }
    Symbol sym;
    bool keep = true;
    if (name[0] == '$') {
      MESS_print(MESS_WARN, "WX_symb_file: Symbol without a name in %s\n", file.c_str());
      keep = false;
    } else if (name.size() > WX_SYMB_NAME_LEN) {
      MESS_print(MESS_WARN, "WX_symb_file: Symbol name longer than %d characters in %s: %s\n", WX_SYMB_NAME_LEN,
                 file.c_str(), shown(name).c_str());
      keep = false;
    }
    sym.name = std::string(name);
    Stroke stroke;
    bool ended = name[0] == '$', too_many = false;
    while (!ended) {
      std::string_view w = words.next(false);
      if (w.empty()) break;
      // The drawing ends at the '$', also when it is written against a word.
      const std::size_t dollar = w.find('$');
      if (dollar != std::string_view::npos) {
        ended = true;
        w = w.substr(0, dollar);
        if (w.empty()) break;
      }
      if (looks_like_point(w)) {
        float x = 0.0f, y = 0.0f;
        if (!read_point(w, &x, &y)) {
          MESS_print(MESS_WARN, "WX_symb_file: Bad point in symbol %s of %s: %s\n", shown(sym.name).c_str(), file.c_str(),
                     shown(w).c_str());
        } else if (x < -kBoxSlack || x > 1.0f + kBoxSlack || y < -kBoxSlack || y > 1.0f + kBoxSlack) {
          MESS_print(MESS_WARN, "WX_symb_file: Point outside the symbol box in symbol %s of %s: %s\n",
                     shown(sym.name).c_str(), file.c_str(), shown(w).c_str());
        } else if (stroke.xy.size() >= 2 * WX_SYMB_POINTS) {
          if (!too_many)
            MESS_print(MESS_WARN, "WX_symb_file: More than %d points in a stroke of symbol %s in %s\n", WX_SYMB_POINTS,
                       shown(sym.name).c_str(), file.c_str());
          too_many = true;
        } else {
          stroke.xy.push_back(x);
          stroke.xy.push_back(y);
        }
        continue;
      }
      stroke.fill = w[0] == 'F' || w[0] == 'f';
      if (!stroke.xy.empty()) sym.strokes.push_back(std::move(stroke));
      stroke = Stroke{};
      too_many = false;
    }
    // Points left without their word at the '$' draw as a line.
    if (!stroke.xy.empty()) sym.strokes.push_back(std::move(stroke));
    if (!ended) MESS_print(MESS_WARN, "WX_symb_file: Symbol %s in %s has no end ($)\n", shown(sym.name).c_str(), file.c_str());
    if (keep) out.push_back(std::move(sym));
  }
  return out;
}

int read_file(const char* name) {
  ws.symbols.clear();
  ws.loaded = true;
  const std::string wanted = name != nullptr && *name != '\0' ? name : "wx.smb";
  std::string used;
  std::FILE* f = FILE_open_data(wanted, &used);
  if (f == nullptr) {
    MESS_print(MESS_ERROR, "WX_symb_file: Unable to open file: %s\n", wanted.c_str());
    return 0;
  }
  std::string text;
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < kMaxFileBytes) text.append(buf, n);
  FILE_close(f);
  if (text.size() >= kMaxFileBytes) {
    MESS_print(MESS_WARN, "WX_symb_file: File too large, read in part: %s\n", used.c_str());
    text.resize(kMaxFileBytes);
  }
  ws.symbols = parse(text, used);
  // Every symbol asked for would then be left out without a word at each station.
  if (ws.symbols.empty())
    MESS_print(MESS_WARN, "WX_symb_file: No symbols in %s: weather symbols are not drawn\n", used.c_str());
  else
    MESS_print(MESS_MESS, "WX_symb_file: %zu symbols from %s\n", ws.symbols.size(), used.c_str());
  return static_cast<int>(ws.symbols.size());
}

void ensure_loaded() {
  if (!ws.loaded) read_file(nullptr);
}

bool blank(const char* code) {
  for (const char* p = code; *p != '\0'; ++p)
    if (!std::isspace(static_cast<unsigned char>(*p))) return false;
  return true;
}

// Fills a polygon in the current line colour, leaving the fill attributes as they were.
void fill_in_line_colour(const std::vector<float>& xy) {
  if (xy.size() < 6) return;
  const int colour = gget_fill_colr(), style = gget_fill_int_style();
  gset_fill_colr_ind(gget_line_colr());
  gset_fill_int_style(1);
  gfill_area(static_cast<int>(xy.size() / 2), xy.data());
  gset_fill_int_style(style);
  gset_fill_colr_ind(colour);
}

void polyline(const std::vector<float>& xy) {
  if (xy.size() >= 4) gpolyline(static_cast<int>(xy.size() / 2), xy.data());
}

}  // namespace

void WX_reset_state() { ws = WxState{}; }

int WX_symb_file(const char* name) {
  try {
    return read_file(name);
  } catch (const std::exception& e) {
    MESS_print(MESS_ERROR, "WX_symb_file: %s\n", e.what());
    ws.symbols.clear();
    return 0;
  }
}

int WX_symb_count() {
  try {
    ensure_loaded();
  } catch (const std::exception& e) {
    MESS_print(MESS_ERROR, "WX_symb_file: %s\n", e.what());
  }
  return static_cast<int>(ws.symbols.size());
}

const char* WX_symb_name(int index) {
  if (index < 0 || index >= WX_symb_count()) return "";
  return ws.symbols[static_cast<std::size_t>(index)].name.c_str();
}

int WX_symb(const char* code, float x, float y, float size) {
  if (code == nullptr || blank(code)) return 0;
  try {
    ensure_loaded();
    const Symbol* found = nullptr;
    for (const Symbol& s : ws.symbols)
      if (strnicmp(s.name.c_str(), code, s.name.size()) == 0) {
        found = &s;
        break;
      }
    if (found == nullptr) return 0;
    int horizontal = 0, vertical = 0;
    ginq_text_align(&horizontal, &vertical);
    if (horizontal == 3) x -= size;
    if (horizontal == 2) x -= size / 2.0f;
    if (vertical == 1 || vertical == 2) y -= size;
    if (vertical == 3) y -= size / 2.0f;
    std::vector<float> xy;
    for (const Stroke& st : found->strokes) {
      xy.resize(st.xy.size());
      for (std::size_t i = 0; i + 1 < st.xy.size(); i += 2) {
        xy[i] = x + size * st.xy[i];
        xy[i + 1] = y + size * st.xy[i + 1];
      }
      if (st.fill)
        fill_in_line_colour(xy);
      else
        polyline(xy);
    }
    return 1;
  } catch (const std::exception& e) {
    MESS_print(MESS_ERROR, "WX_symb: %s\n", e.what());
    return 0;
  }
}

int WX_cloud(char code, float x, float y, float r) {
  try {
    auto at = [&](double degrees, std::vector<float>* xy) {
      xy->push_back(x + r * static_cast<float>(std::cos(degrees * kPi / 180.0)));
      xy->push_back(y + r * static_cast<float>(std::sin(degrees * kPi / 180.0)));
    };
    // The circle's points every 30 degrees between from and to, both ends included, with
    // the centre: a filled sector.
    auto sector = [&](double from, double to) {
      std::vector<float> xy = {x, y};
      at(from, &xy);
      for (double a = std::floor(from / 30.0) * 30.0 + 30.0; a < to; a += 30.0) at(a, &xy);
      at(to, &xy);
      fill_in_line_colour(xy);
    };
    auto line = [&](float x0, float y0, float x1, float y1) {
      const float xy[4] = {x0, y0, x1, y1};
      gpolyline(2, xy);
    };
    std::vector<float> circle;
    for (int k = 0; k <= 12; ++k) at(30.0 * k, &circle);
    switch (code) {
      case '0': case 'C': case 'b': case 'o': case 's': case 'x':
        break;
      case '1': case 'F':
        line(x, y + r, x, y - r);
        break;
      case '2': case 'S':
        sector(0.0, 90.0);
        break;
      case '3':
        sector(0.0, 90.0);
        line(x, y, x, y - r);
        break;
      case '4':
        sector(-90.0, 90.0);
        break;
      case '5':
        sector(-90.0, 90.0);
        line(x, y, x - r, y);
        break;
      case '6': case 'B':
        sector(-180.0, 90.0);
        break;
      case '7':
        sector(-75.0, 75.0);
        sector(105.0, 255.0);
        break;
      case '8': case 'O':
        fill_in_line_colour(circle);
        break;
      case '9': case 'X': {
        const float d = r * static_cast<float>(std::sqrt(0.5));
        line(x + d, y + d, x - d, y - d);
        line(x - d, y + d, x + d, y - d);
        break;
      }
      default: {
        const float m = 0.7f * r;
        const float xy[10] = {x - m, y - m, x - m, y + m, x, y, x + m, y + m, x + m, y - m};
        gpolyline(5, xy);
        break;
      }
    }
    polyline(circle);
    return 1;
  } catch (const std::exception& e) {
    MESS_print(MESS_ERROR, "WX_cloud: %s\n", e.what());
    return 0;
  }
}
