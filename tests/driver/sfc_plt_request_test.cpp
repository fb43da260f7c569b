// Variable requests as a forecaster types them and the grids a batch plot writes, run by
// the table tests/data/driver/requests.runs.
#include <gtest/gtest.h>

#include "tests/support/driver_runs.h"

namespace {

class Request : public ::testing::TestWithParam<RunCase> {};
TEST_P(Request, EndsAsTheTableSays) { check_run(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Runs, Request, ::testing::ValuesIn(read_runs("requests.runs")), run_case_name);

}  // namespace
