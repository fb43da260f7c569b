// Present-weather and cloud codes reduced to the short letter code of station plots.
//
// Letter code: optional descriptors, the weather letters and an intensity sign "-" (light) or
// "+" (heavy): "T" thunderstorm, "R" rain, "L" drizzle, "S" snow, "ZR"/"ZL" freezing rain and
// drizzle, "RW"/"SW" showers, "IP" ice pellets ("IPW" showers of them), "SG" snow grains,
// "IC" ice crystals, "A" hail, "F" fog, "H" haze, "K" smoke, "D" dust or sand, "BS" blowing
// snow, "B" blowing; a single blank is no weather.
#pragma once
#include <algorithm>
#include <cstddef>
#include <iterator>

// Writes the letter code of a WMO present-weather number (code table 4677); numbers outside
// 0..99 give a blank. The text is truncated to the buffer. Returns 1 for a code in 0..99.
int WX_wmo_weather(int code, char* text, std::size_t size);
template <std::size_t N>
int WX_wmo_weather(int code, char (&text)[N]) {
  return WX_wmo_weather(code, text, N);
}

// Writes the letter code of a METAR weather group ("-SHRA", a leading '!' skipped); an empty
// text for a vicinity group or a group without known weather. Returns the length written.
int WX_metar_weather(const char* metar, char* text, std::size_t size);
template <std::size_t N>
int WX_metar_weather(const char* metar, char (&text)[N]) {
  return WX_metar_weather(metar, text, N);
}

// Reduces cloud layers (cover codes "C", "F", "S", "B", "O", "X" or okta digits "0".."9",
// heights in feet) to a total cover letter and a ceiling height (-9999 when there is none).
// Layers are taken in the order given; a single layer is returned as it stands.
void WX_set_cloud_layers(int ncld, const char* cover_codes, const float* heights, char* cover,
                         float* height);

// The same for a surface report (fields ncld, cld_cov and cld_hgt), taking at most as many
// layers as the report holds.
template <typename Report>
void WX_set_cloud(const Report& report, char* cover, float* height) {
  const int held = static_cast<int>(std::min(std::size(report.cld_cov), std::size(report.cld_hgt)));
  WX_set_cloud_layers(std::clamp(static_cast<int>(report.ncld), 0, held), report.cld_cov, report.cld_hgt,
                      cover, height);
}

// WMO cloud-height code (table 1600) of a height in feet; -9999 for a missing height.
int SYN_ceiling_to_code(float height);
