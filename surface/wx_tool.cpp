// Present-weather codes (WMO numbers, METAR groups) and cloud layers reduced to letter codes.
#include "surface/wx_tool.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "config/missing.h"
#include "config/string.h"

namespace {

// Letter codes of WMO present-weather numbers 0..99 (code table 4677).
constexpr const char* kWmoText[100] = {
    " ",   " ",   " ",   " ",    "K",     "H",    "D",   "D",   "D",    "D",     // 0-9
    "F",   "F",   "F",   " ",    " ",     " ",    " ",   "T",   " ",    " ",     // 10-19
    " ",   " ",   " ",   " ",    " ",     " ",    " ",   " ",   "F",    "T",     // 20-29
    "D",   "D",   "D",   "D",    "D",     "D",    "BS",  "BS",  "BS",   "BS",    // 30-39
    "F",   "F",   "F",   "F",    "F",     "F",    "F",   "F",   "F",    "F",     // 40-49
    "L-",  "L-",  "L",   "L",    "L+",    "L+",   "ZL-", "ZL",  "L-R",  "LR",    // 50-59
    "R-",  "R-",  "R",   "R",    "R+",    "R+",   "ZR-", "ZR",  "R-L",  "RL",    // 60-69
    "S-",  "S-",  "S",   "S",    "S+",    "S+",   "IC",  "SG",  "IC",   "IP",    // 70-79
    "RW-", "RW",  "RW+", "RW-SW-", "RWSW", "SW-", "SW",  "IPW", "IPW",  "A",     // 80-89
    "A",   "R-",  "R",   "S-",   "S",     "TRW-", "TRW", "TRW+", "TRWD", "TRW+A", // 90-99
};

bool is_pair(const char* p, const char* pair) { return p[0] == pair[0] && p[1] == pair[1]; }

const char* precipitation(const char* p) {
  if (is_pair(p, "DZ")) return "L";
  if (is_pair(p, "RA")) return "R";
  if (is_pair(p, "SN")) return "S";
  if (is_pair(p, "SG")) return "SG";
  if (is_pair(p, "GS") || is_pair(p, "PE") || is_pair(p, "PL")) return "IP";
  if (is_pair(p, "IC")) return "IC";
  return nullptr;
}

char obscuration(const char* p) {
  if (is_pair(p, "FG")) return 'F';
  if (is_pair(p, "BR") || is_pair(p, "HZ")) return 'H';
  if (is_pair(p, "SA") || is_pair(p, "DU")) return 'D';
  if (is_pair(p, "FU")) return 'K';
  return '\0';
}

char descriptor(const char* p) {
  if (is_pair(p, "DR") || is_pair(p, "BL")) return 'B';
  if (is_pair(p, "TS")) return 'T';
  if (is_pair(p, "SH")) return 'W';
  if (is_pair(p, "FZ")) return 'Z';
  return '\0';
}

// Translates a METAR group; an empty text for a vicinity group.
std::string metar_letters(const char* metar) {
  if (!metar) return "";
  if (*metar == '!') ++metar;
  std::string group;
  for (const char* s = metar; *s; ++s) group.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*s))));

  char intensity = '\0';
  std::string descriptors;  // in the order met; showers kept apart
  bool showers = false;
  const char* precip = nullptr;
  char obscure = '\0';
  const char* p = group.c_str();
  while (*p) {
    if (*p == '-' || *p == '+') {
      intensity = *p++;
      continue;
    }
    if (!p[1]) break;
    if (is_pair(p, "VC")) return "";
    if (is_pair(p, "MI") || is_pair(p, "BC")) {
      p += 2;
      continue;
    }
    if (const char d = descriptor(p)) {
      if (d == 'W')
        showers = true;
      else if (descriptors.find(d) == std::string::npos)
        descriptors.push_back(d);
    } else if (const char* w = precipitation(p)) {
      if (!precip) precip = w;
    } else if (const char o = obscuration(p)) {
      if (!obscure) obscure = o;
    } else {
      break;
    }
    p += 2;
  }

  std::string text;
  if (precip) {
    text = descriptors + precip;
    if (showers) text.push_back('W');
    if (intensity) text.push_back(intensity);
  } else if (obscure) {
    text.push_back(obscure);
  } else if (descriptors.find('T') != std::string::npos) {
    text = "T";
  }
  return text;
}

}  // namespace

int WX_wmo_weather(int code, char* text, std::size_t size) {
  const bool known = code >= 0 && code <= 99;
  copy_bounded(text, size, known ? kWmoText[code] : " ");
  return known ? 1 : 0;
}

int WX_metar_weather(const char* metar, char* text, std::size_t size) {
  const std::string letters = metar_letters(metar);
  copy_bounded(text, size, letters);
  return static_cast<int>(std::min(letters.size(), size ? size - 1 : 0));
}

void WX_set_cloud_layers(int ncld, const char* cover_codes, const float* heights, char* cover,
                         float* height) {
  char cv = ' ';
  float h = MISSING;
  if (ncld == 1 && cover_codes && heights) {
    cv = cover_codes[0];
    h = heights[0];
  } else if (ncld > 1 && cover_codes && heights) {
    for (int i = 0; i < ncld; ++i) {
      const char c = cover_codes[i];
      const float layer = heights[i];
      if (c == 'F' || c == '1') {
        if (cv == 'C' || cv == ' ') h = layer;
        cv = 'F';
      }
      if (c == 'S' || c == '2' || c == '3') {
        if (cv == 'C' || cv == 'F' || cv == ' ') h = layer;
        cv = 'S';
      } else if (c == 'B' || c == '4' || c == '5' || c == '6') {
        if (cv == 'C' || cv == 'F' || cv == 'S' || cv == ' ') h = layer;
        cv = 'B';
      } else if (c == 'O' || c == '7' || c == '8') {
        if (cv == 'C' || cv == 'F' || cv == 'S' || cv == ' ') h = layer;
        cv = 'O';
      } else if (c == 'X' || c == '9') {
        h = layer;
        cv = 'X';
      } else if (cv < '2') {
        cv = 'C';
        h = MISSING;
      }
    }
  }
  if (cover) *cover = cv;
  if (height) *height = h;
}

int SYN_ceiling_to_code(float height) {
  if (height == MISSING) return MISSING_INT;
  static constexpr float kLimit[9] = {164, 328, 656, 984, 1968, 3281, 4921, 6562, 8202};
  int code = 0;
  while (code < 9 && height >= kLimit[code]) ++code;
  return code;
}
