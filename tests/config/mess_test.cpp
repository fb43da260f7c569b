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

// In a death-test child: input on standard input and standard output joined to
// standard error, which the death test matches.
void child_io(const std::string& input) {
  std::FILE* f = std::tmpfile();
  std::fputs(input.c_str(), f);
  std::rewind(f);
  dup2(fileno(f), 0);
  dup2(2, 1);
  alarm(10);
  FLAG_set_batch(0);
}

class Mess : public ::testing::Test {
 protected:
  void SetUp() override { MESS_reset(); }
  void TearDown() override { MESS_reset(); }
};

struct LevelCase {
  const char* text;
  unsigned expected;
};

class MessLevel : public Mess, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(MessLevel, FromResourceText) {
  EXPECT_EQ(MESS_get(), 0xFFFFFu);
  MESS_set_str(GetParam().text);
  EXPECT_EQ(MESS_get(), GetParam().expected) << GetParam().text;
  EXPECT_GT(MESS_check_set(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessLevel,
    ::testing::Values(LevelCase{"none", 0u}, LevelCase{"+debug", 0xF00FFFFFu},
                      LevelCase{"warnb", 0x22u},  // second bit of the print and error/warn groups
                      LevelCase{"warn", 0xFFu}, LevelCase{"debug", 0xFFFFFFFFu},
                      LevelCase{"messages", 0xFFFu}, LevelCase{"print,+out3", 0xF0000Fu},
                      LevelCase{"-warn", 0xFFF3Fu}, LevelCase{"out1c", 0x4444u},
                      LevelCase{"error", 0x3Fu}, LevelCase{"+messd", 0xFFFFFu},
                      LevelCase{"none,+mess", 0xF00u}, LevelCase{"WARN", 0xFFu},
                      LevelCase{" warn , +debug", 0xF00000FFu}, LevelCase{"mess,-printa", 0xFFEu},
                      LevelCase{"nopage,line:5", 0xFFFFFu}, LevelCase{"bogus", 0xFFFFFu}));

TEST_F(Mess, SetModesAndPriority) {
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
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(MESS_print(MESS_ERROR, "bad %s\n", "thing"), 1);
  EXPECT_EQ(MESS_print(0x800, "progress %d\n", 3), 1);
  EXPECT_EQ(MESS_print(MESS_DEBUG, "hidden\n"), 0);
  MESS_print_prog("SURFACE DATA CONTOURING");
  MESS_set_str("none");
  EXPECT_EQ(MESS_print(MESS_ERROR, "error hidden\n") + MESS_print(MESS_PRINT, "print hidden\n"), 0);
  MESS_print_prog("hidden");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "progress 3\n      SURFACE DATA CONTOURING (Ver 5.60-LINUX-X11)\n\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "bad thing\n");
}

class MessLog : public Mess {
 protected:
  void SetUp() override {
    Mess::SetUp();
    dir = make_temp_dir("mess");
    path = dir + "/run.log";
  }
  std::string dir, path;
};

TEST_F(MessLog, DatedLogAndTerminal) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  char before[64], after[64];
  DATE_get_current_str(before);
  ASSERT_EQ(MESS_set_str(("@fi:" + path).c_str()), 1);
  EXPECT_EQ(MESS_print(MESS_PRINT, "first %d\n", 1), 1);
  EXPECT_EQ(MESS_print(MESS_WARN, "second\n"), 1);
  DATE_get_current_str(after);
  MESS_reset();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "first 1\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "second\n");
  const std::string log = read_file(path);
  const std::regex line("(.*) -- (first 1|second)\n");
  auto it = std::sregex_iterator(log.begin(), log.end(), line);
  int lines = 0;
  for (; it != std::sregex_iterator(); ++it, ++lines) {
    const std::string date = (*it)[1];
    EXPECT_TRUE(date == before || date == after) << date;
    EXPECT_FALSE(date.empty());
  }
  EXPECT_EQ(lines, 2) << log;
}

TEST_F(MessLog, LogOnlyAppendAndTruncate) {
  write_file(path, "old\n");
  testing::internal::CaptureStdout();
  MESS_set_str(("fi=" + path).c_str());  // any separator character
  EXPECT_EQ(MESS_print(MESS_PRINT, "only in file\n"), 0);
  MESS_set_str(("+fi:" + path).c_str());
  EXPECT_EQ(MESS_print(MESS_PRINT, "both\n"), 1);
  MESS_file_close();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "both\n");
  EXPECT_EQ(read_file(path), "old\nonly in file\nboth\n");
  MESS_set_str(("-fi:" + path).c_str());
  MESS_print(MESS_DEBUG, "not shown\n");
  testing::internal::CaptureStdout();
  MESS_print(MESS_PRINT, "fresh\n");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(read_file(path), "fresh\n");
}

TEST_F(MessLog, OpenCloseAroundEveryMessage) {
  testing::internal::CaptureStdout();
  MESS_set_str(("dfi:" + path).c_str());
  MESS_print(MESS_PRINT, "one\n");
  EXPECT_EQ(read_file(path), "one\n");  // already on disk without closing anything
  std::remove(path.c_str());
  MESS_print(MESS_PRINT, "two\n");
  EXPECT_EQ(read_file(path), "two\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "one\ntwo\n");
}

TEST_F(MessLog, UnopenableLogKeepsTerminal) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  MESS_set_str(("fi:" + dir + "/missing/run.log").c_str());
  EXPECT_EQ(MESS_print(MESS_PRINT, "still here\n"), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "still here\n");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Cannot open log file"), std::string::npos);
}

TEST_F(MessLog, ExtraCopyFile) {
  testing::internal::CaptureStdout();
  ASSERT_EQ(MESS_file(path.c_str(), "w"), 1);
  MESS_print(MESS_PRINT, "copied %s\n", "text");
  MESS_print(MESS_DEBUG, "not shown, not copied\n");
  MESS_file_close();
  MESS_print(MESS_PRINT, "after close\n");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(read_file(path), "copied text\n");
  EXPECT_EQ(MESS_file((path + "/under_a_file").c_str(), "w"), 0);
}

// Pages after max_lines lines and consumes exactly one character per hold.
TEST(MessPaging, HoldsAndWaitsForOneCharacter) {
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
}

TEST(MessPaging, NoHoldWhenOffOrBatch) {
  for (int batch : {0, 1}) {
    EXPECT_EXIT(
        {
          child_io("");
          FLAG_set_batch(batch);
          MESS_set_str(batch ? "page,line:2" : "nopage,line:2");
          for (int i = 0; i < 4; ++i) MESS_print(MESS_PRINT, "x\n");
          std::exit(0);
        },
        ::testing::ExitedWithCode(0), "^x\nx\nx\nx\n$");
  }
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
