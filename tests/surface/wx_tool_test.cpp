// Present-weather letter codes from WMO numbers and METAR groups; cloud layers to cover and
// ceiling; the WMO cloud-height code.
#include "surface/wx_tool.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Wmo {
  int code;
  const char* text;
};
class WmoWeather : public ::testing::TestWithParam<Wmo> {};
TEST_P(WmoWeather, Letters) {
  char text[20] = "junk";
  WX_wmo_weather(GetParam().code, text);
  EXPECT_STREQ(text, GetParam().text) << GetParam().code;
}
INSTANTIATE_TEST_SUITE_P(Table, WmoWeather, ::testing::Values(
  Wmo{0, " "}, Wmo{4, "K"}, Wmo{13, " "}, Wmo{17, "T"}, Wmo{29, "T"}, Wmo{36, "BS"}, Wmo{49, "F"},
  Wmo{56, "ZL-"}, Wmo{58, "L-R"}, Wmo{68, "R-L"}, Wmo{77, "SG"}, Wmo{83, "RW-SW-"}, Wmo{88, "IPW"},
  Wmo{95, "TRW-"}, Wmo{98, "TRWD"}, Wmo{99, "TRW+A"}, Wmo{100, " "}, Wmo{-1, " "}, Wmo{-9999, " "}));

struct Metar {
  const char* group;
  const char* text;
};
class MetarWeather : public ::testing::TestWithParam<Metar> {};
TEST_P(MetarWeather, Letters) {
  char text[20] = "junk";
  WX_metar_weather(GetParam().group, text);
  EXPECT_STREQ(text, GetParam().text) << GetParam().group;
}
INSTANTIATE_TEST_SUITE_P(Groups, MetarWeather, ::testing::Values(
  Metar{"!-RA", "R-"}, Metar{"+TSRA", "TR+"}, Metar{"!FZRA", "ZR"}, Metar{"-FZDZ", "ZL-"},
  Metar{"BLSN", "BS"}, Metar{"DRSN", "BS"}, Metar{"MIFG", "F"}, Metar{"BCFG", "F"},
  Metar{"VCSH", ""}, Metar{"!VCTS", ""}, Metar{"TSVC", ""}, Metar{"RASN", "R"},
  Metar{"-RA BR", "R-"}, Metar{"SHRA", "RW"}, Metar{"-SHSN", "SW-"}, Metar{"+TSSHRA", "TRW+"},
  Metar{"SHGS", "IPW"}, Metar{"PL", "IP"}, Metar{"PE", "IP"}, Metar{"-SG", "SG-"}, Metar{"IC", "IC"},
  Metar{"TS", "T"}, Metar{"HZ", "H"}, Metar{"FU", "K"}, Metar{"BLDU", "D"}, Metar{"FZFG", "F"}, Metar{"TSFG", "F"}, Metar{"-ra", "R-"},
  Metar{"", ""}, Metar{"!", ""}, Metar{"-", ""}, Metar{"R", ""}, Metar{"SH", ""}, Metar{"UP", ""},
  Metar{"GR", ""}, Metar{"RA+", "R+"}, Metar{"--++-RA", "R-"}, Metar{nullptr, ""}));

TEST(WeatherText, TruncatesToTheBuffer) {
  char two[2];
  EXPECT_EQ(WX_wmo_weather(83, two, sizeof two), 1);
  EXPECT_STREQ(two, "R");
  EXPECT_EQ(WX_metar_weather("+TSSHRA", two, sizeof two), 1);
  EXPECT_STREQ(two, "T");
  const std::string hostile(100000, 'T');  // every pair "TT" ends the scan at once
  char text[20];
  WX_metar_weather(("+TS" + std::string(100000, 'S') + "RA").c_str(), text);
  EXPECT_STREQ(text, "T");  // "SS" ends the scan: a thunderstorm alone
  WX_metar_weather(hostile.c_str(), text);
  EXPECT_STREQ(text, "");
  std::string repeated;
  for (int i = 0; i < 20000; ++i) repeated += "TSFZBLSH";
  WX_metar_weather((repeated + "RA").c_str(), text);
  EXPECT_STREQ(text, "TZBRW");
}

struct Layers {
  const char* what;
  std::string covers;
  std::vector<float> heights;
  char cover;
  float height;
};
class CloudLayers : public ::testing::TestWithParam<Layers> {};
TEST_P(CloudLayers, CoverAndCeiling) {
  const Layers& l = GetParam();
  char cover = '?';
  float height = 0.0f;
  WX_set_cloud_layers(static_cast<int>(l.heights.size()), l.covers.data(), l.heights.data(), &cover, &height);
  EXPECT_EQ(cover, l.cover) << l.what;
  EXPECT_EQ(height, l.height) << l.what;
}
INSTANTIATE_TEST_SUITE_P(Reports, CloudLayers, ::testing::Values(
  Layers{"none", "", {}, ' ', -9999.0f},
  Layers{"single layer as it stands", "8", {1200}, '8', 1200},
  Layers{"single clear", "C", {-9999.0f}, 'C', -9999.0f},
  Layers{"broken raises scattered", "SB", {2500, 6000}, 'B', 6000},
  Layers{"overcast keeps broken height", "BO", {2500, 6000}, 'O', 2500},
  Layers{"few then scattered", "FS", {1000, 3000}, 'S', 3000},
  Layers{"scattered then few", "SF", {1000, 3000}, 'F', 1000},
  Layers{"okta digits", "37", {2000, 5000}, 'O', 5000},
  Layers{"obscured takes its height", "BX", {800, 0}, 'X', 0},
  Layers{"clear layers", "CC", {-9999.0f, -9999.0f}, 'C', -9999.0f},
  Layers{"unknown cover after broken", "BM", {900, 4000}, 'B', 900},
  Layers{"five layers", "FSBOO", {500, 1500, 2500, 3500, 4500}, 'O', 2500}));

TEST(CloudLayers, ReportLayersBoundedByTheRecord) {
  struct {
    float cld_hgt[5] = {2500, 6000, 1, 2, 3};
    char cld_cov[5] = {'S', 'B', 'O', 'O', 'O'};
    int ncld = 2;
  } report;
  char cover = '?';
  float height = 0.0f;
  WX_set_cloud(report, &cover, &height);
  EXPECT_EQ(cover, 'B');
  EXPECT_EQ(height, 6000);
  report.ncld = 99;  // corrupt count: only the five layers held are read
  WX_set_cloud(report, &cover, &height);
  EXPECT_EQ(cover, 'O');
  EXPECT_EQ(height, 6000);
}

struct Ceiling {
  float feet;
  int code;
};
class CeilingCode : public ::testing::TestWithParam<Ceiling> {};
TEST_P(CeilingCode, Boundaries) { EXPECT_EQ(SYN_ceiling_to_code(GetParam().feet), GetParam().code) << GetParam().feet; }
INSTANTIATE_TEST_SUITE_P(Table1600, CeilingCode, ::testing::Values(
  Ceiling{0, 0}, Ceiling{163.9f, 0}, Ceiling{164, 1}, Ceiling{327, 1}, Ceiling{328, 2}, Ceiling{655, 2},
  Ceiling{656, 3}, Ceiling{983, 3}, Ceiling{984, 4}, Ceiling{1967, 4}, Ceiling{1968, 5}, Ceiling{3280, 5},
  Ceiling{3281, 6}, Ceiling{4920, 6}, Ceiling{4921, 7}, Ceiling{6561, 7}, Ceiling{6562, 8},
  Ceiling{8201, 8}, Ceiling{8202, 9}, Ceiling{40000, 9}, Ceiling{-9999.0f, -9999}));

}  // namespace
