// Domain texts and the shipped region file (region files, built-in regions, priorities and
// domain comparison are calls of tests/data/plot/calls.txt).
#include <gtest/gtest.h>

#include <strings.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "tests/support/plot_table.h"
#include "tests/support/run.h"

namespace {

constexpr float M = -9999.0f;

class Region : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_set(0, 0xFFFFu);
    DOM_reset_state();
    dir_ = make_temp_dir("region");
    // No region file in file_path: regions come from files named in the tests or the
    // built-in table (the data directory's region file is still a fallback).
    RES_put("file_path", (dir_ + "/").c_str());
    RES_put("stat_prior", nullptr);
    // Station positions come from the lookup the station database registers; here one
    // that knows two stations of one file (any case, as the database matches them).
    DOM_set_station_lookup([](const char* file, const char* id, float* lat, float* lon) {
      if (file == nullptr || std::strcmp(file, "stations.cty") != 0) return -1;
      if (strcasecmp(id, "kden") == 0) *lat = 39.8617f, *lon = -104.6732f;
      else if (strcasecmp(id, "engm") == 0) *lat = 60.2028f, *lon = 11.0839f;
      else return 0;
      return 1;
    });
  }
  void TearDown() override { DOM_reset_state(); }
  static int decode(const std::string& text, DomainRec* d) {
    DOM_init(d);
    ::testing::internal::CaptureStderr();
    const int r = DOM_decode(text.c_str(), d);
    ::testing::internal::GetCapturedStderr();
    return r;
  }
  std::string dir_;
};

// The texts of tests/data/plot/domain_texts.tsv and texts too long or of bytes no table
// holds: the domain each decodes to, or its refusal.
TEST_F(Region, DomainTexts) {
  std::vector<TableRow> cases = plot_table("domain_texts.tsv");
  ASSERT_EQ(cases.size(), 59u);
  std::string big;
  while (big.size() < 10240) big += "39.0000,-97.0000,";
  for (const std::string& t : {std::string(1000, ','), std::string(1000, ',') + "1", std::string("39\xff,-97"), std::string(10240, 'x'), big})
    cases.push_back({t, "-1"});
  for (const TableRow& c : cases) {
    SCOPED_TRACE(c[0].substr(0, 60));
    DomainRec d;
    DOM_init(&d);
    const int result = std::stoi(c[1]);
    if (result == -1) d.clat = 12.0f;  // an invalid text leaves the caller's domain alone
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode(c[0].c_str(), &d), result);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(FLAG_get(5), result);
    if (result == -1) {
      EXPECT_NE(err.find("DOM_decode: Invalid plot domain\n"), std::string::npos);
      EXPECT_EQ(d.clat, 12.0f);
    }
    if (result < 0) continue;
    EXPECT_EQ(d.proj, std::stoi(c[2]));
    const std::vector<float> got = {d.plat, d.plon, d.p3, d.p4, d.clat, d.clon, float(d.nx), float(d.ny),
                                    d.dx,   d.dy,   float(d.ext)};
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_FLOAT_EQ(got[i], std::stof(c[i + 3])) << "field " << i;
    EXPECT_EQ(d.p5, M);
  }
}

// Every region of the shipped region file decodes, and its grid covers its centre.
TEST_F(Region, ShippedRegionFileDecodes) {
  const std::string file = std::string(STACONT_DATA_DIR) + "/zav.reg";
  std::istringstream in(read_file(file));
  int n = 0;
  for (std::string line, abbr; std::getline(in, line);) {
    if (line.empty() || line[0] == '#' || !(std::istringstream(line) >> abbr) || abbr == "var") continue;
    DomainRec d;
    ASSERT_EQ(decode(file + ":" + abbr, &d), 2) << abbr;
    ASSERT_EQ(MAP_domain(&d), 1);
    float x, y;
    EXPECT_EQ(MAP_tran(&x, &y, d.clat, d.clon), 1) << abbr;
    EXPECT_TRUE(MAP_in_domain(x, y)) << abbr;
    ++n;
  }
  EXPECT_GE(n, 20);
  EXPECT_EQ(DOM_read_menu(file.c_str()), 19);
}

}  // namespace
