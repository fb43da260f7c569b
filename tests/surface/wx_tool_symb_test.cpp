// Every weather code the surface reports reduce to finds its symbol in the bundled symbol
// file: the codes of every WMO present-weather number, of METAR groups, and of the sample.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "config/string.h"
#include "graphics/gks_dev.h"
#include "plot/wx_symb.h"
#include "surface/sfc_read.h"
#include "surface/wx_tool.h"
#include "tests/graphics/gks_fixture.h"

namespace {

const std::string kData = STACONT_DATA_DIR;

class WxCodes : public GksTest {
 protected:
  void SetUp() override {
    GksTest::SetUp();
    open(WS_PS);
    testing::internal::CaptureStderr();
    WX_symb_file((kData + "/wx.smb").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
  // The name of the symbol a code draws ("" when none).
  static std::string symbol_of(const std::string& code) {
    for (int i = 0; i < WX_symb_count(); ++i)
      if (strnicmp(WX_symb_name(i), code.c_str(), std::strlen(WX_symb_name(i))) == 0) return WX_symb_name(i);
    return "";
  }
  static void expect_symbol(const std::string& code, const std::string& from) {
    gdev_clear_calls();
    EXPECT_EQ(WX_symb(code.c_str(), 0.1f, 0.1f, 0.05f), 1) << code << " from " << from;
    EXPECT_FALSE(gdev_calls().empty()) << code;
  }
};

TEST_F(WxCodes, EveryWmoNumberAndMetarGroupFindsItsSymbol) {
  char text[24];
  for (int ww = 4; ww < 100; ++ww) {
    WX_wmo_weather(ww, text);
    if (std::string(text) != " ") expect_symbol(text, "ww " + std::to_string(ww));
  }
  for (const char* metar : {"-RA", "RA", "+RA", "-DZ", "DZ", "+DZ", "-SN", "SN", "+SN", "-SHRA", "SHRA", "+SHRA", "-SHSN",
                            "SHSN", "TS", "-TSRA", "TSRA", "+TSRA", "TSSN", "-FZRA", "FZRA", "+FZRA", "-FZDZ", "FZDZ",
                            "PL", "GS", "SHGS", "SG", "IC", "BR", "FG", "MIFG", "FZFG", "HZ", "FU", "DU", "SA", "BLSN",
                            "DRSN", "BLDU", "RASN", "-DZRA"}) {
    WX_metar_weather(metar, text);
    expect_symbol(text, metar);
  }
  // Codes that differ in what they mean draw different symbols.
  const std::set<std::string> distinct = {symbol_of("R-"), symbol_of("R"), symbol_of("R+"), symbol_of("RW-"),
                                          symbol_of("S-"), symbol_of("S"), symbol_of("SW"), symbol_of("ZR-"),
                                          symbol_of("ZL"), symbol_of("T"), symbol_of("TRW"), symbol_of("TRW+"),
                                          symbol_of("F"), symbol_of("H"), symbol_of("K"), symbol_of("D"),
                                          symbol_of("A"), symbol_of("IP"), symbol_of("SG"), symbol_of("BS")};
  EXPECT_EQ(distinct.size(), 20u);
}

TEST_F(WxCodes, EveryCodeOfTheSampleFindsItsSymbol) {
  std::set<std::string> codes;
  for (int h = 0; h < 24; ++h) {
    char name[64];
    std::snprintf(name, sizeof name, "%s/sample/20260314%02d.sfc", kData.c_str(), h);
    int form = 0;
    const int fd = SFC_open(name, 0, &form);
    ASSERT_GE(fd, 0) << name;
    sfc_report r;
    for (int index = 0; SFC_read(fd, &r, 0, &index) == 0; ++index)
      if (r.wx[0] != '\0' && std::string(r.wx) != " ") codes.insert(r.wx);
    SFC_close(fd);
  }
  EXPECT_GE(codes.size(), 10u);
  for (const std::string& c : codes) expect_symbol(c, "the sample");
}

}  // namespace
