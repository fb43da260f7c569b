// Domain texts, region files, built-in regions, priorities and domain comparison.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "files/files.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "tests/support/run.h"

namespace {

constexpr float M = -9999.0f;
constexpr const char* kInvalid = "DOM_decode: Invalid plot domain\n";

class Region : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_set(0, 0xFFFFu);
    dir_ = make_temp_dir("region");
    // No region file in file_path: regions come from files named in the tests or the
    // built-in table (the data directory's region file is still a fallback).
    RES_put("file_path", (dir_ + "/").c_str());
    RES_put("stat_prior", nullptr);
    write_file(dir_ + "/stations.cty",
               "Denver_Intl CO US KDEN 1 39.8617 -104.6732 1656 72565 0\n"
               "Oslo_Gardermoen __ NO ENGM 2 60.2028 11.0839 208 01384 0\n");
  }
  int decode(const std::string& text, DomainRec* d, std::string* err = nullptr) {
    DOM_init(d);
    ::testing::internal::CaptureStderr();
    const int r = DOM_decode(text.c_str(), d);
    const std::string e = ::testing::internal::GetCapturedStderr();
    if (err) *err = e;
    return r;
  }
  std::string dir_;
};

struct Case {
  const char* text;
  int result, proj;
  float plat, plon, p3, p4, clat, clon;
  int nx, ny;
  float dx, dy;
  int ext;
};

TEST_F(Region, TemplatesFillTheDomain) {
  const Case cases[] = {
      {"39,-97", 1, 1, M, M, M, M, 39, -97, 25, 17, 1.2f, 1.2f, 0},
      {"lamb:25:-95:25:25,35,-95,50,40,0.8,0.8", 1, 4, 25, -95, 25, 25, 35, -95, 50, 40, 0.8f, 0.8f, 0},
      {"ps:-105,40,-100", 1, 1, M, -105, M, M, 40, -100, 25, 17, 1.2f, 1.2f, 0},
      {"ps:e:60:-100,40,-100", 1, 1, 60, -100, M, M, 40, -100, 25, 17, 1.2f, 1.2f, 1},
      {"ps::-100:45,40,-100", 1, 1, M, -100, 45, M, 40, -100, 25, 17, 1.2f, 1.2f, 0},
      {"size,640,480", 1, 51, M, M, M, M, M, M, 640, 480, M, M, 0},
      {"ps,-100,40,-95,30,20,1,1.5", 1, 1, M, -100, M, M, 40, -95, 30, 20, 1, 1.5f, 0},
      {"lamb,40,-95,30,20,0.5,0.6", 1, 4, M, M, M, M, 40, -95, 30, 20, 0.5f, 0.6f, 0},
      {"ps,-100,40,-95,1,1.5", 1, 1, M, -100, M, M, 40, -95, 25, 17, 1, 1.5f, 0},
      {"lamb,40,-95,30,20,0.5", 1, 4, M, M, M, M, 40, -95, 30, 20, 0.5f, 0.5f, 0},
      {"40,-95,30,20,1,1.5", 1, 1, M, M, M, M, 40, -95, 30, 20, 1, 1.5f, 0},
      {"merc,40,-95,1,1.5", 1, 3, M, M, M, M, 40, -95, 25, 17, 1, 1.5f, 0},
      {"40,-95,30,20,0.7", 1, 1, M, M, M, M, 40, -95, 30, 20, 0.7f, 0.7f, 0},
      {"ORTHO,40,-95,0.7", 1, 5, M, M, M, M, 40, -95, 25, 17, 0.7f, 0.7f, 0},
      {"40,-95,30,20", 1, 1, M, M, M, M, 40, -95, 30, 20, 1.2f, 1.2f, 0},
      {"40,-95,0.7", 1, 1, M, M, M, M, 40, -95, 25, 17, 0.7f, 0.7f, 0},
      {"zoom,40,-95", 1, 50, M, M, M, M, 40, -95, 25, 17, 1, 1, 0},
      {" sat:0:-75:500:1 , 0 , -75 ", 1, 9, 0, -75, 500, 1, 0, -75, 25, 17, 1.2f, 1.2f, 0},
      {"us", 2, 1, M, -97, M, M, 39, -97, 25, 17, 2.3f, 2.3f, 0},
      {"SP", 2, 1, M, -100, M, M, 32.5f, -100, 25, 17, 1.2f, 1.2f, 0},
      {"id:stations.cty:kden", 1, 1, M, M, M, M, 39.8617f, -104.6732f, 25, 17, 1.2f, 1.2f, 0},
      {"lamb,id:stations.cty:ENGM,50,40,0.8", 1, 4, M, M, M, M, 60.2028f, 11.0839f, 50, 40, 0.8f, 0.8f, 0},
      {"miss", -9999, -9999, M, M, M, M, M, M, -9999, -9999, M, M, 0},
      {"", -9999, -9999, M, M, M, M, M, M, -9999, -9999, M, M, 0},
  };
  for (const Case& c : cases) {
    DomainRec d;
    EXPECT_EQ(decode(c.text, &d), c.result) << c.text;
    if (c.result < 0) continue;
    EXPECT_EQ(d.proj, c.proj) << c.text;
    EXPECT_FLOAT_EQ(d.plat, c.plat) << c.text;
    EXPECT_FLOAT_EQ(d.plon, c.plon) << c.text;
    EXPECT_FLOAT_EQ(d.p3, c.p3) << c.text;
    EXPECT_FLOAT_EQ(d.p4, c.p4) << c.text;
    EXPECT_FLOAT_EQ(d.p5, M) << c.text;
    EXPECT_FLOAT_EQ(d.clat, c.clat) << c.text;
    EXPECT_FLOAT_EQ(d.clon, c.clon) << c.text;
    EXPECT_EQ(d.nx, c.nx) << c.text;
    EXPECT_EQ(d.ny, c.ny) << c.text;
    EXPECT_FLOAT_EQ(d.dx, c.dx) << c.text;
    EXPECT_FLOAT_EQ(d.dy, c.dy) << c.text;
    EXPECT_EQ(d.ext, c.ext) << c.text;
    EXPECT_EQ(FLAG_get(5), c.result) << c.text;
  }
  DomainRec d;
  EXPECT_EQ(DOM_decode(nullptr, &d), -9999);
}

TEST_F(Region, DecodedDomainBecomesCurrentWithItsCentre) {
  DomainRec d, cur;
  ASSERT_EQ(decode("39,-97", &d), 1);
  MAP_domain(&d);
  MAP_get_domain(&cur);
  EXPECT_FLOAT_EQ(cur.plat, 39);
  EXPECT_FLOAT_EQ(cur.plon, -97);
  EXPECT_FLOAT_EQ(DOM_aspect(&d), 1.5f);
  char key[FILE_KEY_LEN];
  EXPECT_STREQ(FILE_get_key(114, key), "39,-97");
  d.ny = 1;
  EXPECT_FLOAT_EQ(DOM_aspect(&d), 1.0f);
}

TEST_F(Region, MalformedTextsAreInvalid) {
  std::vector<std::string> bad = {
      ",,,",        "39,",          ",39,-97",       "39,,-97",         "nan,0",          "0,nan",
      "inf,0",      "39,-inf",      "1e40,0",        "91,0",            "39,-97,1e9,17",  "39,-97,25,17,0",
      "39,-97,25,17,-1", "39,-97,0,17", "39,-97,2147483648,17", "39,-97,25.5,17", "foo,39,-97", "ps:x,39,-97",
      "ps:1:2:3:4:5:6:7,39,-97", "ps:-105", "nosuchregion", "id:", "id:stations.cty:NOPE",
      "lamb:40:-95:90:90,40,-95", "lamb:40:-95:0:0,40,-95", "lamb:40:-95:30:-30,40,-95", "lamb:-40:-95:30:60,-40,-95", "ps:60:0:-45,60,0", "sat:0:0:10,0,0", "miss,39,-97",
      "39,-97,25,17,1,1,1,1,1", "1,2,3,4,5,6,7,8,9,10", std::string(1000, ','), std::string(1000, ',') + "1",
      "39\xff,-97", "fi:", ":us", "fi:/nonexistent/zav.reg", "/nonexistent/x.reg:us", "ll,0,0,10001,10,1",
      "ll,0,0,9000,9000,0.01"};
  std::string big;
  while (big.size() < 10240) big += "39.0000,-97.0000,";
  bad.push_back(big);
  bad.push_back(std::string(10240, 'x'));
  for (const std::string& t : bad) {
    DomainRec d;
    std::string err;
    DOM_init(&d);
    d.clat = 12.0f;  // an invalid text leaves the caller's domain alone
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode(t.c_str(), &d), -1) << t.substr(0, 60);
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(kInvalid), std::string::npos) << t.substr(0, 60);
    EXPECT_FLOAT_EQ(d.clat, 12.0f);
    EXPECT_EQ(FLAG_get(5), -1);
  }
}

TEST_F(Region, RegionFileReferences) {
  const std::string f = dir_ + "/my.reg";
  write_file(f,
             "# comment line with enough words to look like an entry\n"
             "\n"
             "alpha Alpha_region 1 40,-100,20,20,1.0\n"
             "broken two\n"
             "beta  Beta_region_with_a_long_name 0 lamb:45:-90:30:60,45,-90,30,30,0.5 trailing words\n"
             "loop1 Loop 1 my.reg:loop2\n"
             "loop2 Loop 1 loop1x\n"
             "self  Self 1 my.reg:self\n");
  DomainRec d;
  EXPECT_EQ(decode("fi:" + f, &d), 2);
  EXPECT_FLOAT_EQ(d.clat, 40);
  EXPECT_EQ(d.nx, 20);
  EXPECT_EQ(decode(f + ":BETA", &d), 2);
  EXPECT_EQ(d.proj, 4);
  EXPECT_FLOAT_EQ(d.p4, 60);
  EXPECT_EQ(FLAG_get(5), 2);
  EXPECT_EQ(decode("my.reg:alpha", &d), 2);  // found along file_path
  EXPECT_EQ(decode(f + ":gamma", &d), -1);
  EXPECT_EQ(decode(f + ":self", &d), -1);   // references that never end
  EXPECT_EQ(decode(f + ":loop1", &d), -1);
  char text[DOM_TEXT_LEN + 1];
  EXPECT_EQ(DOM_search_file(f.c_str(), nullptr, text), 1);
  EXPECT_STREQ(text, "40,-100,20,20,1.0");
  EXPECT_EQ(DOM_search_file(f.c_str(), "Beta", text), 1);
  EXPECT_STREQ(text, "lamb:45:-90:30:60,45,-90,30,30,0.5");
  // A file of one bare domain text: its first entry is that text.
  write_file(dir_ + "/one.reg", "  50,10,30,30\n");
  EXPECT_EQ(decode("fi:one.reg", &d), 2);
  EXPECT_FLOAT_EQ(d.clon, 10);
  // Missing file.
  ::testing::internal::CaptureStdout();
  MESS_set(0, 0xFFFFFFFFu);
  EXPECT_EQ(DOM_search_file("/nonexistent/zav.reg", "us", text), 0);
  MESS_set(0, 0xFFFFu);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Unable to open region file: /nonexistent/zav.reg\n"), std::string::npos);
  // Loading a file as the menu asks again.
  EXPECT_EQ(decode(f + ":", &d), -9999);
  // Over-long lines are cut, never overrun.
  write_file(dir_ + "/long.reg", "lng Long 1 " + std::string(5000, '9') + "\nok Ok 1 30,30\n");
  EXPECT_EQ(DOM_search_file((dir_ + "/long.reg").c_str(), "lng", text), 1);
  EXPECT_EQ(std::string(text).size(), static_cast<std::size_t>(DOM_TEXT_LEN - 11));
  EXPECT_EQ(decode(dir_ + "/long.reg:ok", &d), 2);
}

TEST_F(Region, MenuAndListing) {
  std::string text;
  for (int i = 0; i < 25; ++i) text += "r" + std::to_string(i) + " Region_number_" + std::to_string(i) + " " + (i == 3 ? "0" : "1") + " 40,-100\n";
  write_file(dir_ + "/many.reg", text);
  EXPECT_EQ(DOM_read_menu((dir_ + "/many.reg").c_str()), 19);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(DOM_print_file((dir_ + "/many.reg").c_str()), 25);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind(" Abbr    Description\nr0       Region number 0", 0), 0u);
  EXPECT_NE(out.find("\nr24      Region number 24" + std::string(50 - 16, ' ') + "\n"), std::string::npos);
}

TEST_F(Region, PrintCompareAspect) {
  DomainRec d;
  ASSERT_EQ(decode("lamb:25:-95:25:25,35,-95,50,40,0.8,0.8", &d), 1);
  ::testing::internal::CaptureStdout();
  DOM_print(MESS_PRINT, &d);
  d.ext = 1;
  d.proj = 8;
  DOM_print(MESS_PRINT, &d);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "lamb:25.000:-95.000:25.000:25.000:,35.000,-95.000,50,40,0.8000,0.8000\n"
            "lambaz:e:25.000:-95.000:25.000:25.000:,35.000,-95.000,50,40,0.8000,0.8000\n");
  DomainRec a, b;
  decode("39,-97", &a);
  decode("ps:e:39:-97,39,-97", &b);
  EXPECT_EQ(DOM_comp(&a, &b), 0);  // ext differs
  b.ext = 0;
  EXPECT_EQ(DOM_comp(&a, &b), 1);  // unset plat/plon count as the centre
  EXPECT_EQ(DOM_comp_proj(&a, &b), 1);
  b.nx = 26;
  EXPECT_EQ(DOM_comp(&a, &b), 0);
  EXPECT_EQ(DOM_comp_proj(&a, &b), 1);
  b.p5 = 1.1f;
  EXPECT_EQ(DOM_comp_proj(&a, &b), 0);
}

TEST_F(Region, StationPriority) {
  const struct {
    float h;
    const char* stat_prior;
    int prior;
  } t[] = {{60, nullptr, 1}, {50, nullptr, 2}, {25.1f, nullptr, 2}, {25, nullptr, 3}, {12.5f, nullptr, 4},
           {6.25f, nullptr, 5}, {3.1f, nullptr, 5}, {3, nullptr, 6}, {0, nullptr, 6}, {30, "+2", 4},
           {30, "-1", 1}, {30, "7", 7}, {30, "x", 2}, {30, "", 2}};
  for (const auto& e : t) {
    RES_put("stat_prior", e.stat_prior);
    EXPECT_EQ(DOM_set_base_prior(e.h), e.prior) << e.h << " " << (e.stat_prior ? e.stat_prior : "-");
    EXPECT_EQ(DOM_get_prior(), e.prior);
  }
  RES_put("stat_prior", nullptr);
  DomainRec d;
  decode("us", &d);  // (17-1) * 2.3 = 36.8
  EXPECT_EQ(DOM_get_prior(), 2);
  EXPECT_EQ(DOM_get_loc_prior(), 4);
  DOM_set_loc_prior(6);
  EXPECT_EQ(DOM_get_loc_prior(), 6);
  DOM_set_loc_prior(4);
}

TEST_F(Region, ResourcesForTheGridDomain) {
  DomainRec d;
  RES_put("grid_domain", nullptr);
  RES_put("region", nullptr);
  RES_put("plot_domain", nullptr);
  EXPECT_EQ(DOM_get_grid_domain(&d), 0);
  RES_put("plot_domain", "30,-90");
  RES_put("region", "ne");
  EXPECT_EQ(DOM_get_grid_domain(&d), 2);
  EXPECT_FLOAT_EQ(d.clat, 42);
  EXPECT_EQ(DOM_get_region(&d, 1), 1);
  EXPECT_FLOAT_EQ(d.clat, 30);
  EXPECT_EQ(DOM_get_region(&d, 2), 2);
  RES_put("grid_domain", "20,-80");
  EXPECT_EQ(DOM_get_grid_domain(&d), 1);
  EXPECT_FLOAT_EQ(d.clat, 20);
  RES_put("grid_domain", nullptr);
  RES_put("region", nullptr);
  RES_put("plot_domain", nullptr);
}

TEST_F(Region, BuiltInRegions) {
  const struct {
    const char* name;
    float clat, clon, dx;
  } t[] = {{"us", 39, -97, 2.3f}, {"ne", 42, -76, 0.9f}, {"at", 37, -82, 0.9f},     {"se", 31, -88, 1.1f},
           {"mw", 43, -93, 1.1f}, {"sp", 32.5f, -100, 1.2f}, {"nw", 44, -112, 1.0f}, {"SW", 37, -112, 1.0f}};
  for (const auto& e : t) {
    DomainRec d;
    ASSERT_EQ(DOM_get_def_region(e.name, &d), 1) << e.name;
    EXPECT_EQ(d.proj, 1);
    EXPECT_FLOAT_EQ(d.clat, e.clat);
    EXPECT_FLOAT_EQ(d.clon, e.clon);
    EXPECT_FLOAT_EQ(d.plon, e.clon);
    EXPECT_FLOAT_EQ(d.dx, e.dx);
    EXPECT_FLOAT_EQ(d.dy, e.dx);
    EXPECT_EQ(d.nx, 25);
    EXPECT_EQ(d.ny, 17);
  }
  DomainRec d;
  EXPECT_EQ(DOM_get_def_region("xx", &d), 0);
}

// Random texts from the characters of domain texts: never a crash, only the defined
// results, and every accepted domain can be made current and projected.
TEST_F(Region, RandomTextsNeverCrash) {
  const std::string alphabet = ",,,::..--0123456789eEnaifpslmoxyzgct ";
  unsigned seed = 12345;
  auto next = [&seed]() { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  int accepted = 0;
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  for (int i = 0; i < 20000; ++i) {
    static const char* const seeds[] = {"lamb:25:-95:25:25,35,-95,50,40,0.8,0.8", "ps:e:60:-100,40,-100,25,17,1",
                                        "sat:0:-75:421:1,0,-75,61,61,2.2", "moll,0,0,129,65,2.0,2.0", "39,-97"};
    std::string t;
    if (i % 2) {
      const int len = static_cast<int>(next() % 40);
      for (int k = 0; k < len; ++k) t += alphabet[next() % alphabet.size()];
    } else {
      t = seeds[next() % 5];
      for (int k = static_cast<int>(next() % 3); k >= 0; --k) t[next() % t.size()] = alphabet[next() % alphabet.size()];
    }
    DomainRec d;
    DOM_init(&d);
    const int r = DOM_decode(t.c_str(), &d);
    ASSERT_TRUE(r == 1 || r == 2 || r == -1 || r == -9999) << t;
    if (r > 0) {
      ++accepted;
      MAP_domain(&d);
      float x, y, lat, lon;
      MAP_tran(&x, &y, d.clat, d.clon);
      MAP_untran(&lat, &lon, x, y);
      MAP_grid_untran(&x, &y, x, y);
    }
  }
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
  EXPECT_GT(accepted, 1000);
}

// Every region of the shipped region file decodes, and its grid covers its centre.
TEST_F(Region, ShippedRegionFileDecodes) {
  const std::string file = std::string(STACONT_DATA_DIR) + "/zav.reg";
  const std::string text = read_file(file);
  ASSERT_FALSE(text.empty());
  std::size_t pos = 0;
  int n = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    char abbr[32];
    if (line.empty() || line[0] == '#' || std::sscanf(line.c_str(), "%31s", abbr) != 1) continue;
    if (std::string(abbr) == "var") continue;  // asks for its centre
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
