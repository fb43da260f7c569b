#include "files/files.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "tests/support/config_table.h"
#include "tests/support/run.h"

namespace {

DateRec date(int y, int mo, int d, int h, int mi = 0) { return DateRec{y, mo, d, -9999, -9999, h, mi, 0}; }

std::string make(const DateRec& d) {
  char name[FILE_NAME_MAX];
  FILE_set_date(&d, name);
  return name;
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    FLAG_reset(-9999);
    MESS_set(0, 0xFF);  // quiet: print, error and warn only
    FILE_reset_state();
    unsetenv("zavcurtime");
    dir = make_temp_dir("files");
    write_file(dir + "/name_conv",
               "# test conventions\n"
               "sfc_grd_zav  %G/%y%m%d%h.zgrd  -  0\n"
               "sfc_grd      %G/%y%m%d%h.%e    -  0\n"
               "\n"
               "hourly       " + dir + "/%Y%m%d%h.sfc   -  10\n"
               "hdr          %D/%y%m%d%h.dat  %D/%y%m%d.hdr  0\n");
    RES_put("name_conv", (dir + "/name_conv").c_str());
  }
  void TearDown() override {
    RES_clear();
    unsetenv("zavcurtime");
  }
  std::string dir;
};

// ---- name making: templates, dates, hour overrides (-9999: none), results and periods ----
TEST_F(Files, TemplatesExpand) {
  for (const TableRow& row : read_table("files/files.tsv", "templates")) {
    ASSERT_EQ(FILE_set_name(("@" + row[0]).c_str()), 1);
    const DateRec o{-9999, -9999, -9999, -9999, -9999, row.num(6), -9999, -9999};
    FILE_set_time(&o);
    EXPECT_EQ(make(date(row.num(1), row.num(2), row.num(3), row.num(4), row.num(5))), row[7]) << row.where;
    EXPECT_EQ(FILE_get_late_off(), row.num(8)) << row.where;
  }
}

TEST_F(Files, PathEscapesKeysAndResources) {
  RES_put("grid_path", "/data/grids/");
  RES_put("variable", "temp");
  FILE_set_name("@%G/%v_%2l_%{variable}_%{nothing}x");
  FILE_set_key('v', "dew point");
  FILE_set_key('l', "500");
  EXPECT_EQ(make(date(1998, 1, 5, 12)), "/data/grids/dew_point_50_temp_x");
  char key[FILE_KEY_LEN];
  FILE_set_key('k', std::string(100, 'k').c_str());
  EXPECT_EQ(std::string(FILE_get_key('k', key)).size(), 29u);
}

// ---- conventions ----
TEST_F(Files, ConventionMatches) {
  RES_put("grid_path", "/g");
  EXPECT_EQ(FILE_set_name("SFC_GRD_ZAV"), 1);  // exact, any case, listed first
  EXPECT_EQ(make(date(1998, 1, 5, 12)), "/g/98010512.zgrd");
  EXPECT_EQ(FILE_set_name("sfc_grd_cdf"), 1);  // partial: extension "cdf"
  EXPECT_EQ(make(date(1998, 1, 5, 12)), "/g/98010512.cdf");
  EXPECT_EQ(FILE_set_name("unknown_thing"), 0);  // literal template
  EXPECT_EQ(make(date(1998, 1, 5, 12)), "unknown_thing");
  EXPECT_EQ(FILE_set_name("sfc_grd:v=temp:l=850"), 1);
  char key[FILE_KEY_LEN];
  EXPECT_STREQ(FILE_get_key('l', key), "850");
  RES_put("name_conv", (dir + "/absent").c_str());  // without a convention file the name is the template
  EXPECT_EQ(FILE_set_name("sfc_cvt"), 0);
  EXPECT_EQ(make(date(1998, 1, 5, 12)), "sfc_cvt");
}

TEST_F(Files, HeaderTemplateAndNameConvRoundTrip) {
  RES_put("data_path", "/d");
  FILE_set_name("hdr");
  char name[FILE_NAME_MAX];
  DateRec d = date(1998, 1, 5, 12);
  EXPECT_EQ(FILE_hdr_set_date(&d, name), 1);
  EXPECT_STREQ(name, "/d/980105.hdr");
  char text[FILE_NAME_MAX];
  FILE_get_name_conv(text);
  EXPECT_STREQ(text, "86400 %D/%y%m%d%h.dat %D/%y%m%d.hdr");
  FILE_save_name_conv();
  FILE_set_name("@other%h");
  FILE_restore_name_conv();
  EXPECT_EQ(make(d), "/d/98010512.dat");
  FILE_set_name_conv("1800 x%h%n -");
  EXPECT_EQ(FILE_get_late_off(), 1800);
  EXPECT_EQ(make(d), "x1200");
}

// ---- user's file specifications: template, specification, name and the date read ----
TEST_F(Files, SpecificationsMatchTheTemplate) {
  for (const TableRow& row : read_table("files/files.tsv", "specs")) {
    FILE_reset_time();  // a '#' date suffix sets the override record
    FILE_set_name(("@" + row[0]).c_str());
    char name[FILE_NAME_MAX];
    EXPECT_EQ(FILE_set_file(row[1].c_str(), name), 1) << row.where;
    EXPECT_EQ(name, row[2]) << row.where;
    DateRec d;
    FILE_get_date(&d);
    EXPECT_EQ((std::array{d.year, d.month, d.day, d.hour}), (std::array{row.num(3), row.num(4), row.num(5), row.num(6)}))
        << row.where;
  }
  EXPECT_EQ(make(date(1998, 1, 5, 14)), "/d/1998010514.sfc");  // the last path given is kept
}

// ---- current and latest files ----
TEST_F(Files, CurrentAndLatestFiles) {
  setenv("zavcurtime", "199801051230", 1);
  FILE_set_name("hourly");
  write_file(dir + "/1998010509.sfc", "ZAVSFC 1998 data");
  write_file(dir + "/1998010511.sfc", "tiny");  // not above the minimum size of 10 bytes
  char name[FILE_NAME_MAX];
  DateRec d = date(1998, 1, 5, 9);
  EXPECT_EQ(FILE_set_current("la", name), DATE_num_sec(&d));
  for (const TableRow& row : read_table("files/files.tsv", "current")) {
    FILE_set_current(row[0].c_str(), name);
    EXPECT_EQ(std::string(name), dir + "/" + row[1] + ".sfc") << row.where;
  }
  const DateRec o{-9999, -9999, -9999, -9999, -9999, 18, -9999, -9999};
  FILE_set_time(&o);  // later than 12:30: yesterday's 18 UTC
  FILE_set_current("cu", name);
  EXPECT_EQ(std::string(name), dir + "/1998010418.sfc");
  const DateRec day20{-9999, -9999, 20, -9999, -9999, 12, -9999, -9999};
  FILE_set_time(&day20);  // a day later than the 5th: the 20th of the month before
  FILE_set_current("cu", name);
  EXPECT_EQ(std::string(name), dir + "/1997122012.sfc");
  // The latest file is looked for as far back as 500 hours by default.
  FILE_reset_time();
  std::remove((dir + "/1998010509.sfc").c_str());
  write_file(dir + "/1998010108.sfc", "ZAVSFC 1998 data");  // 100 hours before 12 UTC on the 5th
  FILE_set_current("la", name);
  EXPECT_EQ(std::string(name), dir + "/1998010108.sfc");
  FILE_set_current("la#100", name);
  EXPECT_EQ(std::string(name), dir + "/1998010512.sfc");  // 100 tries end an hour short: the start
}

// ---- sequences ----
TEST_F(Files, SequencesWalkTheSpan) {
  FILE_set_name("@%h");
  for (const TableRow& row : read_table("files/files.tsv", "sequences")) {
    RES_put("num_hour", row[0].c_str());
    DateRec start = date(1998, 1, 5, 12);
    FILE_first(&start);
    std::string got;
    char name[FILE_NAME_MAX];
    for (int n = 0; FILE_get_next(name) && n < 50; ++n) got += (n ? " " : "") + std::to_string(std::atoi(name));
    EXPECT_EQ(got, row[1]) << row.where;
    EXPECT_EQ(FILE_get_num_file(), FILE_num_hour()) << row.where;
  }
}

TEST_F(Files, StepsAndExplicitLists) {
  FILE_set_name("@%d%h");
  DateRec start = date(1998, 1, 5, 23);
  FILE_first(&start);
  char name[FILE_NAME_MAX], back[FILE_NAME_MAX];
  FILE_next_file(name);
  FILE_prev_file(back);
  FILE_prev_file(back);
  EXPECT_EQ(std::string(name) + " " + back, "0600 0522");  // across midnight both ways
  FILE_set_name("@%y%m%d%h");
  RES_new(50, "filename", "98010512\n98010518\n98010600", 21);
  FILE_first(&start);
  EXPECT_EQ(FILE_get_num_file(), 2);
  std::vector<std::string> got;
  while (FILE_get_next(name)) got.emplace_back(name);
  EXPECT_EQ(got, (std::vector<std::string>{"98010512", "98010518", "98010600"}));
}

// Files as data feeds deliver them, known by their first lines, whatever they are named.
TEST(FileTextKind, FeedsAreKnownByTheirFirstLines) {
  const std::map<std::string, int> kinds = {{"collection", FILE_METAR_COLLECTION}, {"hourly", FILE_METAR_HOURLY},
                                            {"lines", FILE_METAR_LINES},           {"table", FILE_STATION_TABLE},
                                            {"fronts", FILE_FRONT_BULLETIN},       {"none", -1}};
  for (const TableRow& row : read_table("files/files.tsv", "text_kinds"))
    EXPECT_EQ(FILE_text_kind(row[0].c_str(), row[0].size()), kinds.at(row[1])) << row.where;
}

// ---- file services ----
TEST_F(Files, PipesTypesAndDirectories) {
  std::FILE* f = FILE_open("|printf 'ZAVSFC piped'", "r");
  ASSERT_NE(f, nullptr);
  char buf[32] = {0};
  EXPECT_STREQ(std::fgets(buf, sizeof buf, f), "ZAVSFC piped");
  EXPECT_EQ(FILE_close(f), 0);
  EXPECT_EQ(std::pair(FILE_open("-", "r"), FILE_open("stdout", "w")), std::pair(stdin, stdout));

  for (auto [text, type] : {std::pair{"ZAVSFC 1998", 11}, {"ZAVUPA", 12}, {"ZAVRAW x", 5}, {"ZAVGRID", 6},
                             {"ZAVMETA", 8}, {"ZAVIMG", 9}, {"ZAVGRI", -1}, {"", -1}}) {
    write_file(dir + "/typed", text);
    EXPECT_EQ(FILE_type((dir + "/typed").c_str()), type) << text;
  }
  write_file(dir + "/base", "ZAVSFC");
  EXPECT_EQ(FILE_type((dir + "/base-3").c_str()), 11);  // falls back to the name before '-'
  EXPECT_EQ(FILE_type((dir + "/nothing").c_str()), -1);
  EXPECT_EQ(FILE_type("|printf ZAVGRID"), 6);

  // Writing makes the missing directories; "~" is the home directory.
  setenv("HOME", dir.c_str(), 1);
  f = FILE_open("~/a/b/out.txt", "w");
  ASSERT_NE(f, nullptr);
  FILE_close(f);
  EXPECT_EQ(FILE_is_dir((dir + "/a/b").c_str()) + FILE_is_file((dir + "/a/b/out.txt").c_str()), 2);
  EXPECT_EQ(FILE_add_path(std::string("/d/"), std::string("/abs")), "/abs");
}

TEST_F(Files, OverwriteDecisions) {
  std::string f = dir + "/exists";
  write_file(f, "x");
  EXPECT_EQ(FILE_overwrite((dir + "/new").c_str(), 1), 1);
  EXPECT_EQ(FILE_overwrite("-", 1), 1);
  FLAG_set(15, 2);  // the overwrite flag answers
  EXPECT_EQ(FILE_overwrite(f.c_str(), 1), 2);
  FLAG_set(15, -9999);
  FLAG_set_batch(1);  // batch mode never asks
  EXPECT_EQ(FILE_overwrite(f.c_str(), 1), 3);
  FLAG_set_batch(-9999);
  // Answers at the prompt, one a line.
  write_file(dir + "/answers", "y\nn\no\nU\na\nA\nx\n");
  ASSERT_NE(std::freopen((dir + "/answers").c_str(), "r", stdin), nullptr);
  for (int expected : {1, 3, 1, 3}) EXPECT_EQ(FILE_overwrite(f.c_str(), 1), expected);
  for (int expected : {2, 2}) EXPECT_EQ(FILE_overwrite(f.c_str(), 2), expected);
  EXPECT_EQ(FILE_overwrite(f.c_str(), 7), 0);
}

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

TEST(FileHour, HourFormsAndTheOverrideRecord) {
  constexpr int M = -9999;
  for (const TableRow& row : read_table("files/files.tsv", "hours")) {
    DateRec d;
    ASSERT_EQ(FILE_decode_hour(row[0].c_str(), &d), 1) << row.where;
    EXPECT_EQ((std::array{d.year, d.month, d.day, d.hour, d.minute}),
              (std::array{row.num(1), row.num(2), row.num(3), row.num(4), row.num(5)})) << row.where;
    EXPECT_TRUE(d.second == M && d.julian == M) << row.where;
  }
  DateRec d;
  RES_set_converter(12, FILE_conv_hour);  // as the program registers it
  EXPECT_EQ(FILE_decode_hour(nullptr, &d) + RES_conv_data(nullptr, &d, 12), 0);
  EXPECT_EQ(RES_conv_data("3d12:00", &d, 12), 1);  // handed on to the file module
  FILE_get_time(&d);
  EXPECT_EQ((std::array<int, 3>{d.day, d.hour, d.minute}), (std::array<int, 3>{3, 12, 0}));
  FILE_reset_time();
}

}  // namespace
