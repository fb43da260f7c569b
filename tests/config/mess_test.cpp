#include "config/mess.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <regex>
#include <string>

#include "config/flag.h"
#include "tests/support/capture.h"
#include "tests/support/config_table.h"
#include "tests/support/run.h"

class Mess : public ::testing::Test {
 protected:
  void SetUp() override { MESS_reset_state(); }
  void TearDown() override { MESS_reset_state(); }
  std::string path_ = make_temp_dir("mess") + "/run.log";
};

TEST_F(Mess, LevelFromResourceText) {
  for (const TableRow& row : read_table("config/mess.tsv")) {
    MESS_reset_state();
    ASSERT_EQ(MESS_get(), 0xFFFFFu);
    MESS_set_str(row[0].c_str());
    EXPECT_EQ(MESS_get(), std::stoul(row[1], nullptr, 16)) << row.where;
    EXPECT_GT(MESS_check_set(), 0) << row.where;
  }
}

TEST_F(Mess, SetModesPriorityAndLines) {
  EXPECT_EQ(MESS_set(20, MESS_DEBUG) + MESS_set(0, 255), 2);  // low priority, then what batch mode does
  EXPECT_EQ(MESS_check_set(), 1);
  EXPECT_EQ(MESS_set(21, MESS_DEBUG) + MESS_set(19, MESS_PRINT) + MESS_set(3, 1), 0);  // explicit; unknown mode
  EXPECT_EQ(MESS_set(11, MESS_OUT1) + MESS_set(-1, MESS_WARN), 2);
  EXPECT_EQ(MESS_get(), 0xF03Fu);
  for (auto [text, lines] : {std::pair{"line:30", 30}, {"lines=12", 12}, {"line:0", 22}, {"line", 22}}) {
    MESS_set_str(text);
    EXPECT_EQ(MESS_get_max_lines(), lines) << text;
  }
}

TEST_F(Mess, RoutesByClassBannerAndNoneShowsNothing) {
  CaptureStdout();
  CaptureStderr();
  EXPECT_EQ(MESS_print(MESS_ERROR, "bad %s\n", "thing") + MESS_print(0x800, "progress %d\n", 3), 2);
  EXPECT_EQ(MESS_print(MESS_DEBUG, "hidden\n"), 0);
  MESS_print_prog("SURFACE DATA CONTOURING");
  MESS_set_str("none");
  EXPECT_EQ(MESS_print(MESS_ERROR, "error hidden\n") + MESS_print(MESS_PRINT, "print hidden\n"), 0);
  MESS_print_prog("hidden");
  EXPECT_EQ(GetCapturedStdout(), "progress 3\n      SURFACE DATA CONTOURING (Ver 5.60-LINUX-X11)\n\n");
  EXPECT_EQ(GetCapturedStderr(), "bad thing\n");
}

TEST_F(Mess, LogFiles) {
  CaptureStdout();
  CaptureStderr();
  // The date labels' form of now, "26 MAR 14  12:05:09Z", made here from the C library.
  auto now_text = [] {
    const std::time_t t = std::time(nullptr);
    std::tm g{};
    gmtime_r(&t, &g);
    static const char* const months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    char text[64];
    std::snprintf(text, sizeof text, "%02d %s %02d  %02d:%02d:%02dZ", g.tm_year % 100, months[g.tm_mon], g.tm_mday,
                  g.tm_hour, g.tm_min, g.tm_sec);
    return std::string(text);
  };
  const std::string before = now_text();
  ASSERT_EQ(MESS_set_str(("@fi:" + path_).c_str()), 1);  // dated log and the terminal
  EXPECT_EQ(MESS_print(MESS_PRINT, "first %d\n", 1) + MESS_print(MESS_WARN, "second\n"), 2);
  const std::string after = now_text();
  MESS_reset_state();
  const std::string log = read_file(path_);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(log, m, std::regex("(.+) -- first 1\n(.+) -- second\n"))) << log;
  for (int i : {1, 2}) EXPECT_TRUE(m[i] == before || m[i] == after) << m[i];
  write_file(path_, "old\n");
  const std::pair<std::string, const char*> steps[] = {  // setting, then the file after one message
      {"fi=" + path_, "old\nm1\n"},  // log only, appended; any separator character
      {"+fi:" + path_, "old\nm1\nm2\n"}, {"-fi:" + path_, "m3\n"}, {"dfi:" + path_, "m3\nm4\n"},
      {"fi:" + path_ + "/missing/run.log", "m3\nm4\n"}};  // a log that cannot be opened: the terminal
  for (int n = 1; const auto& [setting, contents] : steps) {
    MESS_set_str(setting.c_str());
    EXPECT_EQ(MESS_print(MESS_PRINT, "m%d\n", n), n == 1 ? 0 : 1);
    EXPECT_EQ(read_file(path_), contents) << setting;
    ++n;
  }
  ASSERT_EQ(MESS_file(path_.c_str(), "w"), 1);  // an extra copy of what is shown
  MESS_print(MESS_PRINT, "copied\n");
  MESS_print(MESS_DEBUG, "not shown, not copied\n");
  MESS_file_close();
  EXPECT_EQ(read_file(path_), "copied\n");
  EXPECT_EQ(GetCapturedStdout(), "first 1\nm2\nm3\nm4\nm5\ncopied\n");
  const std::string err = GetCapturedStderr();
  EXPECT_EQ(err.rfind("second\nCannot open log file", 0), 0u) << err;
}

// Runs body in a death-test child with the input on standard input (child_io).
void expect_child_output(const char* input, int batch, void (*body)(), const char* output) {
  EXPECT_EXIT(
      {
        child_io(input);
        FLAG_set_batch(batch);
        body();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), output);
}

TEST(MessPaging, HoldsForOneCharacterNotInBatchNorAtEndOfInput) {
  expect_child_output("\nleft over\n", 0, [] {
    MESS_set_str("page,line:2");
    for (int i = 1; i <= 4; ++i) MESS_print(MESS_PRINT, "line %d\n", i);
    char rest[32] = "";
    if (std::fgets(rest, sizeof rest, stdin)) std::printf("rest=%s", rest);
    std::fflush(stdout);
    dup2(open("/dev/null", O_WRONLY), 1);  // only standard error reaches the matcher now
    MESS_hold(MESS_ERROR | MESS_WARN, "Hold on\n");  // at the end of input: no wait
  }, "^line 1\nline 2\nline 3\nPress return to continue\nline 4\nrest=left over\nHold on\n$");
  expect_child_output("", 1, [] {
    MESS_set_str("page,line:2");
    for (int i = 0; i < 4; ++i) MESS_print(MESS_PRINT, "x\n");
  }, "^x\nx\nx\nx\n$");
}
