#include "config/prompt.h"
#include "config/system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/config_table.h"

TEST(Prompt, AsksUntilAnsweredOrEnded) {
  for (const TableRow& row : read_table("config/prompt.tsv")) {
    EXPECT_EXIT(
        {
          child_io(row[0]);
          std::printf("got=%d\n", ZAV_promptd("N? "));
          std::exit(0);
        },
        ::testing::ExitedWithCode(0), row[1])
        << row.where;
  }
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

TEST(Process, TimingPidAndMemory) {
  ZAV_init_time();
  EXPECT_EQ(ZAV_sleep(0.0f) + ZAV_sleep(-1.0f), -2);
  EXPECT_EQ(ZAV_sleep(0.05f), 0);
  const float t = ZAV_elapse_time();
  EXPECT_TRUE(t >= 0.05f && t < 2.0f) << t;
  EXPECT_FLOAT_EQ(ZAV_sleep_time(), 0.05f);
  long pages = 0;  // the virtual size in bytes, not pages
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  ASSERT_TRUE(f && std::fscanf(f, "%ld", &pages) == 1);
  std::fclose(f);
  const double expected = static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE));
  EXPECT_NEAR(static_cast<double>(ZAV_get_virt_mem()), expected, expected * 0.05 + 16e6);
}
