// Tests of the real program: a folder of the test's own, and an environment that holds
// none of the user's settings or resource files.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/run.h"

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir("program");
    env_ = clean_env(dir_ + "/no-resource-files");
  }
  std::string dir_;
  std::map<std::string, std::string> env_;
};
