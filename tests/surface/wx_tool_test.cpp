// Present-weather letter codes from WMO numbers and METAR groups; cloud layers to cover and
// ceiling; the WMO cloud-height code.
#include "surface/wx_tool.h"

#include <gtest/gtest.h>

#include <sstream>
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
  for (const surface_cases::Row& c : surface_cases::rows("wx_tool_cases.txt", "metar")) {
    WX_metar_weather(surface_cases::expand(c[0]).c_str(), text);
    EXPECT_STREQ(text, c[1].c_str()) << c[0].substr(0, 20);
  }
  WX_metar_weather(nullptr, text);
  EXPECT_STREQ(text, "");
  char two[2];  // cut to the buffer
  EXPECT_EQ(WX_wmo_weather(83, two, sizeof two) + WX_metar_weather("+TSSHRA", text, 2), 2);
  EXPECT_EQ(std::string(two) + text, "RT");
}

TEST(CloudLayers, CoverAndCeiling) {
  char cover;
  float height;
  for (const surface_cases::Row& c : surface_cases::rows("wx_tool_cases.txt", "clouds")) {
    std::vector<float> heights;
    for (std::istringstream in(c[1]); in >> height;) heights.push_back(height);
    cover = '?', height = 0.0f;
    WX_set_cloud_layers(static_cast<int>(heights.size()), c[0].data(), heights.data(), &cover, &height);
    EXPECT_EQ(std::pair(cover, height), std::pair(c[2][0], std::stof(c[3]))) << c[0];
  }
  struct {
    float cld_hgt[5] = {2500, 6000, 1, 2, 3};
    char cld_cov[5] = {'S', 'B', 'O', 'O', 'O'};
    int ncld = 99;  // corrupt count: only the five layers held are read
  } report;
  WX_set_cloud(report, &cover, &height);
  EXPECT_EQ(std::pair(cover, height), std::pair('O', 6000.0f));
  for (const surface_cases::Row& c : surface_cases::rows("wx_tool_cases.txt", "ceiling"))
    EXPECT_EQ(SYN_ceiling_to_code(std::stof(c[0])), std::stoi(c[1])) << c[0];
}

}  // namespace
