#include "config/system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/resrc.h"

namespace {

// In a death-test child: input on standard input, standard output joined to standard
// error (which the death test matches), and an alarm so that a loop fails the test.
void child_io(const std::string& input) {
  std::FILE* f = std::tmpfile();
  std::fputs(input.c_str(), f);
  std::rewind(f);
  dup2(fileno(f), 0);
  dup2(2, 1);
  alarm(10);
}

struct PromptCase {
  const char* name;
  std::string input;
  const char* output;  // the whole output, as a regular expression
};

class Prompt : public ::testing::TestWithParam<PromptCase> {};

TEST_P(Prompt, AsksUntilAnswered) {
  EXPECT_EXIT(
      {
        child_io(GetParam().input);
        std::printf("got=%d\n", ZAV_promptd("N? "));
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Prompt,
    ::testing::Values(
        PromptCase{"crlf_blanks_no_newline", "  -3  \r", "^N\\? got=-3\n$"},
        PromptCase{"reask", "abc\n\n99999999999\n7\n", "^N\\? N\\? N\\? N\\? got=7\n$"},
        // The tail of an over-long line must not answer the next prompt.
        PromptCase{"overlong", std::string(100, 'x') + "12\n42\n",
                   "^N\\? Answer longer than 80 characters: the rest is ignored\nN\\? got=42\n$"},
        PromptCase{"set_stores_and_asks_again", "set variable t\n8\n", "^N\\? N\\? got=8\n$"},
        PromptCase{"end_of_input", "", "^N\\? \nEnd of input: exiting\n$"},
        PromptCase{"end_after_bad", "what\n", "^N\\? N\\? \nEnd of input: exiting\n$"},
        PromptCase{"exit", "EXIT now\n5\n", "^N\\? $"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Prompt, FloatAndWords) {
  EXPECT_EXIT(
      {
        child_io("x\n-12.25e0\nabcdefg more\nxyz\n\n  abcdefghijklmnopqrstuvwxyz\nsettings\n");
        const float f = ZAV_promptf("F? ");
        char word[5];
        ZAV_prompts("W? ", word, 4);
        char* one = ZAV_prompts("S? ", nullptr, 1);  // length raised to 2: one character
        char* l1 = ZAV_promptl("L? ", nullptr);
        char* l2 = ZAV_promptl("L? ", nullptr);  // an answer is not a command by its first letters
        std::printf("f=%.2f w=%s s=%s l=%s l=%s\n", f, word, one, l1, l2);
        std::free(one);
        std::free(l1);
        std::free(l2);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^F\\? F\\? W\\? S\\? L\\? L\\? L\\? f=-12.25 w=abc s=x l=abcdefghijklmnopqrs l=settings\n$");
}

TEST(SetCommand, StoresResourcesAndLists) {
  EXPECT_EQ(ZAV_set_command("set zz_a some value  "), 1);
  EXPECT_STREQ(RES_get("zz_a"), "some value");
  EXPECT_EQ(ZAV_set_command("SET zz_b=us"), 1);
  EXPECT_STREQ(RES_get("zz_b"), "us");
  EXPECT_EQ(ZAV_set_command("set zz_b = 12 13"), 1);
  EXPECT_STREQ(RES_get("zz_b"), "12 13");
  for (const char* answer : {"t", "settings", "exits", ""}) EXPECT_EQ(ZAV_set_command(answer), 0);
  EXPECT_EXIT(
      {
        child_io("set variable t\nset\n3\n");
        ZAV_promptd("N? ");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^N\\? N\\? Set resources\n(.*\n)*variable: t\n(.*\n)*\nN\\? $");
}

TEST(Process, TimingVersionPidAndMemory) {
  ZAV_init_time();
  EXPECT_EQ(ZAV_sleep(0.0f), -1);
  EXPECT_EQ(ZAV_sleep(-1.0f), -1);
  EXPECT_EQ(ZAV_sleep(0.05f), 0);
  const float t = ZAV_elapse_time();
  EXPECT_GE(t, 0.05f);
  EXPECT_LT(t, 2.0f);
  EXPECT_FLOAT_EQ(ZAV_sleep_time(), 0.05f);
  ZAV_init_time();
  EXPECT_EQ(ZAV_sleep_time(), 0.0f);
  EXPECT_STREQ(ZAV_version(), "5.60-LINUX-X11");
  EXPECT_EQ(ZAV_get_pid(), static_cast<int>(getpid()));
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  ASSERT_NE(f, nullptr);
  long pages = 0;
  ASSERT_EQ(std::fscanf(f, "%ld", &pages), 1);
  std::fclose(f);
  const double expected = static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE));
  EXPECT_NEAR(static_cast<double>(ZAV_get_virt_mem()), expected, expected * 0.05 + 16e6);
}

// The foreground process ends with status 0; the detached one leads its own process
// group, has its standard streams on /dev/null and the default interrupt action.
[[noreturn]] void detach_and_report(int fd) {
  if (ZAV_back_proc() != 1) std::exit(5);
  struct stat null_st{}, in_st{}, err_st{};
  stat("/dev/null", &null_st);
  fstat(0, &in_st);
  fstat(2, &err_st);
  const bool on_null = in_st.st_rdev == null_st.st_rdev && err_st.st_rdev == null_st.st_rdev;
  const std::string text = std::string(getpgrp() == getpid() ? "leader" : "member") + (on_null ? " null" : " tty") +
                           (std::signal(SIGINT, SIG_DFL) == SIG_DFL ? " default" : " other");
  std::exit(write(fd, text.data(), text.size()) > 0 ? 0 : 6);
}

TEST(Process, BackgroundDetach) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  EXPECT_EXIT(detach_and_report(report[1]), ::testing::ExitedWithCode(0), "");
  close(report[1]);
  std::string text;
  char buffer[64];
  for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  close(report[0]);
  EXPECT_EQ(text, "leader null default");
}

}  // namespace
