#include "config/mess.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>

#include "config/flag.h"
#include "files/date.h"
#include "tests/support/run.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class Mess : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_reset();
    dir_ = make_temp_dir("mess");
    path_ = dir_ + "/run.log";
  }
  void TearDown() override { MESS_reset(); }
  std::string dir_, path_;
};

TEST_F(Mess, LevelFromResourceText) {
  const std::pair<const char*, unsigned> cases[] = {
      {"none", 0u},         {"+debug", 0xF00FFFFFu}, {"warnb", 0x22u},  // second bit of print and warn groups
      {"warn", 0xFFu},      {"WARN", 0xFFu},         {"debug", 0xFFFFFFFFu},
      {"messages", 0xFFFu}, {"print,+out3", 0xF0000Fu}, {"-warn", 0xFFF3Fu},
      {"out1c", 0x4444u},   {"none,+mess", 0xF00u},  {" warn , +debug", 0xF00000FFu},
      {"mess,-printa", 0xFFEu}, {"bogus", 0xFFFFFu}};
  for (auto [text, expected] : cases) {
    MESS_reset();
    ASSERT_EQ(MESS_get(), 0xFFFFFu);
    MESS_set_str(text);
    EXPECT_EQ(MESS_get(), expected) << text;
    EXPECT_GT(MESS_check_set(), 0) << text;
  }
}

TEST_F(Mess, SetModesPriorityAndLines) {
  EXPECT_EQ(MESS_set(20, MESS_DEBUG), 1);  // low priority applies while nothing is explicit
  EXPECT_EQ(MESS_get(), 0xFFFFFFFFu);
  EXPECT_EQ(MESS_set(0, 255), 1);  // what batch mode does
  EXPECT_EQ(MESS_check_set(), 1);
  EXPECT_EQ(MESS_set(21, MESS_DEBUG) + MESS_set(19, MESS_PRINT), 0);  // ignored once explicit
  EXPECT_EQ(MESS_set(11, MESS_OUT1) + MESS_set(-1, MESS_WARN), 2);
  EXPECT_EQ(MESS_get(), 0xF03Fu);
  EXPECT_EQ(MESS_set(9, 0xF000u), 1);
  EXPECT_TRUE(MESS_check(MESS_ERROR) && !MESS_check(MESS_WARN));
  EXPECT_EQ(MESS_set(3, 1), 0);  // unknown mode
  for (auto [text, lines] : {std::pair{"line:30", 30}, {"lines=12", 12}, {"line:0", 22}, {"line", 22}}) {
    MESS_set_str(text);
    EXPECT_EQ(MESS_get_max_lines(), lines) << text;
  }
}

TEST_F(Mess, RoutesByClassBannerAndNoneShowsNothing) {
  CaptureStdout();
  CaptureStderr();
  EXPECT_EQ(MESS_print(MESS_ERROR, "bad %s\n", "thing"), 1);
  EXPECT_EQ(MESS_print(0x800, "progress %d\n", 3), 1);
  EXPECT_EQ(MESS_print(MESS_DEBUG, "hidden\n"), 0);
  MESS_print_prog("SURFACE DATA CONTOURING");
  MESS_set_str("none");
  EXPECT_EQ(MESS_print(MESS_ERROR, "error hidden\n") + MESS_print(MESS_PRINT, "print hidden\n"), 0);
  MESS_print_prog("hidden");
  EXPECT_EQ(GetCapturedStdout(), "progress 3\n      SURFACE DATA CONTOURING (Ver 5.60-LINUX-X11)\n\n");
  EXPECT_EQ(GetCapturedStderr(), "bad thing\n");
}

TEST_F(Mess, DatedLogAndTerminal) {
  CaptureStdout();
  CaptureStderr();
  char before[64], after[64];
  DATE_get_current_str(before);
  ASSERT_EQ(MESS_set_str(("@fi:" + path_).c_str()), 1);
  EXPECT_EQ(MESS_print(MESS_PRINT, "first %d\n", 1), 1);
  EXPECT_EQ(MESS_print(MESS_WARN, "second\n"), 1);
  DATE_get_current_str(after);
  MESS_reset();
  EXPECT_EQ(GetCapturedStdout(), "first 1\n");
  EXPECT_EQ(GetCapturedStderr(), "second\n");
  const std::string log = read_file(path_);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(log, m, std::regex("(.+) -- first 1\n(.+) -- second\n"))) << log;
  for (int i : {1, 2}) EXPECT_TRUE(m[i] == before || m[i] == after) << m[i];
}

TEST_F(Mess, LogOnlyAppendTruncateAndReopen) {
  write_file(path_, "old\n");
  CaptureStdout();
  MESS_set_str(("fi=" + path_).c_str());  // any separator character
  EXPECT_EQ(MESS_print(MESS_PRINT, "only in file\n"), 0);
  MESS_set_str(("+fi:" + path_).c_str());
  EXPECT_EQ(MESS_print(MESS_PRINT, "both\n"), 1);
  MESS_file_close();
  EXPECT_EQ(read_file(path_), "old\nonly in file\nboth\n");
  MESS_set_str(("-fi:" + path_).c_str());
  MESS_print(MESS_PRINT, "fresh\n");
  EXPECT_EQ(read_file(path_), "fresh\n");
  MESS_set_str(("dfi:" + path_).c_str());  // opened and closed around every message
  std::remove(path_.c_str());
  MESS_print(MESS_PRINT, "one\n");
  EXPECT_EQ(read_file(path_), "one\n");
  EXPECT_EQ(GetCapturedStdout(), "both\nfresh\none\n");
}

TEST_F(Mess, UnopenableLogKeepsTerminalAndExtraCopy) {
  CaptureStdout();
  CaptureStderr();
  MESS_set_str(("fi:" + dir_ + "/missing/run.log").c_str());
  EXPECT_EQ(MESS_print(MESS_PRINT, "still here\n"), 1);
  ASSERT_EQ(MESS_file(path_.c_str(), "w"), 1);
  MESS_print(MESS_PRINT, "copied %s\n", "text");
  MESS_print(MESS_DEBUG, "not shown, not copied\n");
  MESS_file_close();
  MESS_print(MESS_PRINT, "after close\n");
  EXPECT_EQ(GetCapturedStdout(), "still here\ncopied text\nafter close\n");
  EXPECT_NE(GetCapturedStderr().find("Cannot open log file"), std::string::npos);
  EXPECT_EQ(read_file(path_), "copied text\n");
  EXPECT_EQ(MESS_file((path_ + "/under_a_file").c_str(), "w"), 0);
}

// In a death-test child: input on standard input, standard output joined to standard
// error (which the death test matches), and an alarm so that a hang fails the test.
void child_io(const std::string& input, int batch = 0) {
  std::FILE* f = std::tmpfile();
  std::fputs(input.c_str(), f);
  std::rewind(f);
  dup2(fileno(f), 0);
  dup2(2, 1);
  alarm(10);
  FLAG_set_batch(batch);
}

TEST(MessPaging, HoldsForOneCharacterButNotInBatch) {
  EXPECT_EXIT(
      {
        child_io("\nleft over\n");
        MESS_set_str("page,line:2");
        for (int i = 1; i <= 4; ++i) MESS_print(MESS_PRINT, "line %d\n", i);
        char rest[32] = "";
        if (std::fgets(rest, sizeof rest, stdin)) std::printf("rest=%s", rest);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^line 1\nline 2\nline 3\nPress return to continue\nline 4\nrest=left over\n$");
  EXPECT_EXIT(
      {
        child_io("", 1);
        MESS_set_str("page,line:2");
        for (int i = 0; i < 4; ++i) MESS_print(MESS_PRINT, "x\n");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^x\nx\nx\nx\n$");
}

TEST(MessPaging, EndOfInputDoesNotHangAndErrorHoldsGoToStderr) {
  EXPECT_EXIT(
      {
        child_io("");
        MESS_set_str("page,line:1");
        for (int i = 0; i < 3; ++i) MESS_print(MESS_PRINT, "x\n");
        std::fflush(stdout);
        dup2(open("/dev/null", O_WRONLY), 1);  // only standard error reaches the matcher now
        MESS_hold(MESS_ERROR | MESS_WARN, "Hold on\n");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^x\nx\nPress return to continue\nx\nHold on\n$");
}

}  // namespace
