// Present-weather letter codes from WMO numbers and METAR groups; cloud layers to cover and
// ceiling; the WMO cloud-height code.
#include "surface/wx_tool.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/surface_cases.h"

namespace {

TEST(WeatherText, WmoNumbersAndMetarGroups) {
  char text[20];
  for (const surface_cases::Row& c : surface_cases::rows("wx_tool_cases.txt", "wmo")) {
    WX_wmo_weather(std::stoi(c[0]), text);
    EXPECT_STREQ(text, c[1].c_str()) << c[0];
  }
  std::string repeated;
  for (int i = 0; i < 20000; ++i) repeated += "TSFZBLSH";
  std::vector<std::pair<std::string, std::string>> metar = {
      {repeated + "RA", "TZBRW"}, {std::string(100000, 'T'), ""},
      {"+TS" + std::string(100000, 'S') + "RA", "T"}};  // "SS" ends the scan: a thunderstorm alone
  for (const surface_cases::Row& c : surface_cases::rows("wx_tool_cases.txt", "metar")) metar.emplace_back(c[0], c[1]);
  for (const auto& [group, want] : metar) {
    WX_metar_weather(group.c_str(), text);
    EXPECT_STREQ(text, want.c_str()) << group.substr(0, 20);
  }
  WX_metar_weather(nullptr, text);
  EXPECT_STREQ(text, "");
  char two[2];  // cut to the buffer
  EXPECT_EQ(WX_wmo_weather(83, two, sizeof two) + WX_metar_weather("+TSSHRA", text, 2), 2);
  EXPECT_EQ(std::string(two) + text, "RT");
}

TEST(CloudLayers, CoverAndCeiling) {
  const struct { std::string covers; std::vector<float> heights; char cover; float height; } cases[] = {
      {"", {}, ' ', -9999.0f}, {"8", {1200}, '8', 1200}, {"SF", {1000, 3000}, 'F', 1000},
      {"SB", {2500, 6000}, 'B', 6000},  // broken raises scattered
      {"BO", {2500, 6000}, 'O', 2500},  // overcast keeps the broken height
      {"37", {2000, 5000}, 'O', 5000},  // okta digits
      {"BX", {800, 0}, 'X', 0},         // obscured takes its height
      {"BM", {900, 4000}, 'B', 900},    // unknown cover after broken
      {"CC", {-9999.0f, -9999.0f}, 'C', -9999.0f}, {"FSBOO", {500, 1500, 2500, 3500, 4500}, 'O', 2500}};
  char cover;
  float height;
  for (auto c : cases) {
    cover = '?', height = 0.0f;
    WX_set_cloud_layers(static_cast<int>(c.heights.size()), c.covers.data(), c.heights.data(), &cover, &height);
    EXPECT_EQ(std::pair(cover, height), std::pair(c.cover, c.height)) << c.covers;
  }
  struct {
    float cld_hgt[5] = {2500, 6000, 1, 2, 3};
    char cld_cov[5] = {'S', 'B', 'O', 'O', 'O'};
    int ncld = 99;  // corrupt count: only the five layers held are read
  } report;
  WX_set_cloud(report, &cover, &height);
  EXPECT_EQ(std::pair(cover, height), std::pair('O', 6000.0f));
}

TEST(CloudLayers, CeilingCodeBoundaries) {
  // Lowest and highest height in feet of each code 0-9.
  const float bounds[10][2] = {{0, 163.9f}, {164, 327},   {328, 655},   {656, 983},   {984, 1967},
                               {1968, 3280}, {3281, 4920}, {4921, 6561}, {6562, 8201}, {8202, 40000}};
  for (int code = 0; code < 10; ++code)
    for (float ft : bounds[code]) EXPECT_EQ(SYN_ceiling_to_code(ft), code) << ft;
  EXPECT_EQ(SYN_ceiling_to_code(-9999.0f), -9999);
}

}  // namespace
