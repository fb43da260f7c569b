#include <gtest/gtest.h>

#include "tests/support/run.h"

TEST(Smoke, ProgramRuns) {
  RunResult r = run_stacont({});
  EXPECT_EQ(r.status, 0);
}
