// Hostile names and specifications; the other cases of the module are scripts of
// tests/data/files/calls.txt.
#include "files/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"

namespace {

DateRec date(int y, int mo, int d, int h, int mi = 0) { return DateRec{y, mo, d, -9999, -9999, h, mi, 0}; }

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    FLAG_reset(-9999);
    MESS_set(0, 0xFF);  // quiet: print, error and warn only
    FILE_reset_state();
    unsetenv("zavcurtime");
  }
  void TearDown() override {
    RES_clear();
    unsetenv("zavcurtime");
  }
};

// Hostile input: nothing crashes, names stay bounded in the caller's buffer.
TEST_F(Files, HostileNames) {
  std::string big(10240, 'x');
  std::string esc;
  for (int i = 0; i < 2000; ++i) esc += "%9{%";
  char name[FILE_NAME_MAX];
  for (const std::string& s : {big, esc, std::string("%%%%%n%"), big + "#19980105", "#" + big}) {
    FILE_set_name(("@" + s).c_str());
    DateRec d = date(1998, 1, 5, 12);
    FILE_set_date(&d, name);
    EXPECT_LT(std::string(name).size(), static_cast<std::size_t>(FILE_NAME_MAX));
    FILE_set_name("@%D/%y%m%d%h_sao");
    EXPECT_EQ(FILE_set_file(s.c_str(), name), 1);
    FILE_set_name(s.c_str());
    FILE_set_current(("la#3" + s).c_str(), name);
  }
  FILE_set_name("@%Y%m%d%h");
  FILE_set_file("9999999999", name);  // year 9999
  RES_put("num_hour", "-99999:99999,0:1");
  FILE_first(nullptr);
  for (int i = 0; i < 3 && FILE_get_next(name); ++i) EXPECT_EQ(std::string(name).size(), 10u);
  setenv("zavcurtime", "garbage", 1);
  FILE_set_current("la#2", name);
}

}  // namespace
