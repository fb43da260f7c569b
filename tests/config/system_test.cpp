#include "config/system.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>

#include "config/mess.h"
#include "config/resrc.h"

namespace {

struct ChildResult {
  int status = -1;
  std::string out, err;
};

// Runs body in a forked child with the given standard input; the child's exit
// status is body's result (or whatever it passes to exit). Killed after timeout_s.
ChildResult run_child(const std::function<int()>& body, const std::string& input, int timeout_s = 10) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    const int rc = body();
    std::fflush(nullptr);
    _exit(rc);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) perror("write");
  close(in[1]);
  ChildResult r;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  const std::time_t deadline = std::time(nullptr) + timeout_s;
  int open_fds = 2;
  while (open_fds > 0 && std::time(nullptr) < deadline) {
    if (poll(fds, 2, 200) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      } else {
        (i == 0 ? r.out : r.err).append(buffer, static_cast<std::size_t>(n));
      }
    }
  }
  for (const pollfd& p : fds)
    if (p.fd >= 0) close(p.fd);
  if (open_fds > 0) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

std::function<int()> ask_int() {
  return [] {
    const int v = ZAV_promptd("Number? ");
    std::printf("got=%d\n", v);
    return 0;
  };
}

TEST(System, Version) { EXPECT_STREQ(ZAV_version(), "5.60-LINUX-X11"); }

struct PromptCase {
  const char* name;
  std::string input;
  std::string got;  // what the child printed after the prompt returned
  int prompts;      // how many times the prompt was shown
};

class Prompt : public ::testing::TestWithParam<PromptCase> {};

TEST_P(Prompt, Answers) {
  const PromptCase& c = GetParam();
  auto r = run_child(ask_int(), c.input);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count(r.out, "Number? "), c.prompts) << r.out;
  EXPECT_NE(r.out.find(c.got), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Prompt,
    ::testing::Values(PromptCase{"plain", "17\n", "got=17\n", 1},
                      PromptCase{"crlf_blanks", "  -3  \r\n", "got=-3\n", 1},
                      PromptCase{"reask", "abc\n\n99999999999\n7\n", "got=7\n", 4},
                      PromptCase{"no_newline_at_end", "5", "got=5\n", 1},
                      // The tail of an over-long line must not answer the next prompt.
                      PromptCase{"overlong", std::string(100, 'x') + "12\n42\n", "got=42\n", 2},
                      PromptCase{"set_then_value", "set variable t\n8\n", "got=8\n", 2},
                      PromptCase{"end_of_input", "", "\nEnd of input: exiting\n", 1},
                      PromptCase{"end_after_bad", "what\n", "End of input: exiting", 2},
                      PromptCase{"exit", "exit\n5\n", "Number? ", 1},
                      PromptCase{"exit_upper", "EXIT now\n", "Number? ", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Prompt, ExitAndEndOfInputStopTheProgram) {
  for (const char* input : {"exit\n", ""}) {
    auto r = run_child(
        [] {
          ZAV_promptf("Value? ");
          std::printf("not reached\n");
          return 3;
        },
        input, 5);
    EXPECT_EQ(r.status, 0) << input;
    EXPECT_EQ(r.out.find("not reached"), std::string::npos);
  }
}

TEST(Prompt, FloatAndWords) {
  auto r = run_child(
      [] {
        const float f = ZAV_promptf("F? ");
        char word[5];
        ZAV_prompts("W? ", word, 4);
        char* owned = ZAV_prompts("S? ", nullptr, 1);  // length raised to 2: one character
        char* shortword = ZAV_promptl("L? ", nullptr);
        char* setword = ZAV_promptl("L? ", nullptr);
        std::printf("f=%.2f w=%s s=%s l=%s set=%s\n", f, word, owned, shortword, setword);
        std::free(owned);
        std::free(shortword);
        std::free(setword);
        return 0;
      },
      "x\n-12.25e0\nabcdefg more\nxyz\n\n  abcdefghijklmnopqrstuvwxyz\nsettings\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("f=-12.25 w=abc s=x l=abcdefghijklmnopqrs set=settings\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(count(r.out, "F? "), 2);
  EXPECT_EQ(count(r.out, "L? "), 3);  // the empty line is asked again
}

TEST(SetCommand, StoresResources) {
  EXPECT_EQ(ZAV_set_command("set zz_mess_a some value"), 1);
  EXPECT_STREQ(RES_get("zz_mess_a"), "some value");
  EXPECT_EQ(ZAV_set_command("SET zz_mess_b=us"), 1);
  EXPECT_STREQ(RES_get("zz_mess_b"), "us");
  EXPECT_EQ(ZAV_set_command("set zz_mess_b = 12 13  "), 1);
  EXPECT_STREQ(RES_get("zz_mess_b"), "12 13");
  EXPECT_EQ(ZAV_set_command("t"), 0);
  EXPECT_EQ(ZAV_set_command("settings"), 0);
  EXPECT_EQ(ZAV_set_command("exits"), 0);
  EXPECT_EQ(ZAV_set_command(""), 0);
}

TEST(SetCommand, PromptStoresAndAsksAgain) {
  auto r = run_child(
      [] {
        ZAV_promptd("N? ");
        const char* v = RES_get("variable");
        std::printf("variable=%s\n", v ? v : "(null)");
        return 0;
      },
      "set variable t\n3\n");
  EXPECT_EQ(count(r.out, "N? "), 2);
  EXPECT_NE(r.out.find("variable=t\n"), std::string::npos) << r.out;
}

TEST(SetCommand, SetAloneLists) {
  auto r = run_child(
      [] {
        RES_put("zz_listed", "yes");
        ZAV_promptd("N? ");
        return 0;
      },
      "set\n3\n");
  EXPECT_EQ(r.status, 0);
  const std::size_t head = r.out.find("Set resources\n");
  ASSERT_NE(head, std::string::npos) << r.out;
  const std::size_t item = r.out.find("zz_listed: yes\n", head);
  EXPECT_NE(item, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n\nN? ", head), std::string::npos) << r.out;  // empty line closes the list
}

TEST(Timing, SleepAndElapse) {
  ZAV_init_time();
  EXPECT_EQ(ZAV_sleep(0.0f), -1);
  EXPECT_EQ(ZAV_sleep(-1.0f), -1);
  EXPECT_EQ(ZAV_sleep(0.05f), 0);
  const float t = ZAV_elapse_time();
  EXPECT_GE(t, 0.05f);
  EXPECT_LT(t, 2.0f);
  EXPECT_FLOAT_EQ(ZAV_sleep_time(), 0.05f);
  ZAV_init_time();
  EXPECT_LT(ZAV_elapse_time(), 0.05f);
  EXPECT_EQ(ZAV_sleep_time(), 0.0f);
}

TEST(Process, PidAndVirtualMemory) {
  EXPECT_EQ(ZAV_get_pid(), static_cast<int>(getpid()));
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  ASSERT_NE(f, nullptr);
  long pages = 0;
  ASSERT_EQ(std::fscanf(f, "%ld", &pages), 1);
  std::fclose(f);
  const double expected = static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE));
  const double got = static_cast<double>(ZAV_get_virt_mem());
  EXPECT_NEAR(got, expected, expected * 0.05 + 16.0 * 1024 * 1024);
}

// The detached process must run in its own process group with its standard streams
// on /dev/null, while the foreground process ends with status 0.
TEST(Process, BackgroundDetach) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  auto r = run_child(
      [&] {
        close(report[0]);
        if (ZAV_back_proc() != 1) return 5;
        struct stat null_st{}, in_st{}, out_st{};
        stat("/dev/null", &null_st);
        fstat(0, &in_st);
        fstat(1, &out_st);
        const bool on_null = in_st.st_rdev == null_st.st_rdev && out_st.st_rdev == null_st.st_rdev;
        const std::string text = std::string(getpgrp() == getpid() ? "leader" : "member") +
                                 (on_null ? " null" : " tty") +
                                 (std::signal(SIGINT, SIG_DFL) == SIG_DFL ? " default" : " other");
        if (write(report[1], text.data(), text.size()) < 0) return 6;
        return 0;
      },
      "");
  close(report[1]);
  EXPECT_EQ(r.status, 0);
  std::string text;
  char buffer[64];
  ssize_t n;
  while ((n = read(report[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  close(report[0]);
  EXPECT_EQ(text, "leader null default");
}

}  // namespace
