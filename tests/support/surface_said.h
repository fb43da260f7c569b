// The commands of a surface script made to keep what each writes: its standard error added
// to *said (for a "said" command), its standard output to *printed, or dropped without one.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/surface_cases.h"

namespace surface_cases {

inline std::map<std::string, Command> keeping_said(std::map<std::string, Command> c, std::string* said,
                                                   std::string* printed = nullptr) {
  for (auto& [name, f] : c)
    f = [f, said, printed](const Row& r) {
      testing::internal::CaptureStderr();
      testing::internal::CaptureStdout();
      const std::string out = f(r);
      const std::string text = testing::internal::GetCapturedStdout();
      if (printed != nullptr) *printed += text;
      *said += testing::internal::GetCapturedStderr();
      return out;
    };
  return c;
}

}  // namespace surface_cases
