// Whole sequences of numbers against wanted ones within a tolerance, so that a test can
// state a row of expected values as one table.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <vector>

// Each got[i] within tol of want[i]; the sizes must agree. The index is named on failure.
template <class Got, class Want>
void expect_all_near(const Got& got, const Want& want, double tol) {
  const std::vector<double> g(std::begin(got), std::end(got)), w(std::begin(want), std::end(want));
  ASSERT_EQ(g.size(), w.size());
  for (std::size_t i = 0; i < g.size(); ++i) EXPECT_NEAR(g[i], w[i], tol) << "at " << i;
}
template <class Got>
void expect_all_near(const Got& got, std::initializer_list<double> want, double tol) {
  expect_all_near(got, std::vector<double>(want), tol);
}
