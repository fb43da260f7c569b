// Runs of the real program described by tables under tests/data/driver: each case the
// files it prepares, the command line and input, and what the run must show (status,
// messages, files). Also the checking scripts kept there beside the tables.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/run.h"

// The path of a file under tests/data/driver.
std::string driver_data(const std::string& name);

// Runs one of the Python scripts kept under tests/data/driver.
RunResult run_script(const std::string& script, const std::vector<std::string>& args, const std::string& cwd = "");

// The values of a variable of a netCDF file as ncdump prints them, a missing one ("_") as
// -9999; none when the file or the variable is not there.
std::vector<double> ncdump_values(const std::string& path, const std::string& name);

// The rows of a tab-separated table under tests/data/driver, each by the names of the
// header's columns. Lines starting with '#' are comments; "\n" and "\t" in a cell stand
// for a new line and a tab.
std::vector<std::map<std::string, std::string>> read_tsv(const std::string& name);

// One case of a table of runs: its lines as key and value, in order.
struct RunCase {
  std::string name;
  std::vector<std::pair<std::string, std::string>> lines;
};
inline void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

// The cases of a table of runs: blocks of "key: value" lines apart by blank lines.
// Keys (the value may use \n, @ for the case's folder (\@ for @ itself), $DATA, $SRC,
// $REAL, {word}xN for N copies of word joined by commas, and {text}*N for N copies of text
// one after the other, %i in each its number from 0):
//   case     the name               source   where the expected values come from
//   needs    real files it reads    window   "yes": drawn on a private X server
//   sh       a shell command run in the case's folder beforehand (may repeat), with the
//            program's environment, $DATA and $STACONT (the program)
//   run      "no": the program is not run, only the sh and check lines
//   check    a shell command run there after the run, which must succeed (may repeat)
//   env      NAME=value             cwd      the folder to run in (else the case's)
//   args     words, apart by blanks (may repeat); arg: one word as it stands
//   stdin    the standard input     stdin-file  a file given as the standard input
//   status   the exit status        seconds  the most the run may take
//   kilobytes  the most memory any process run so far may have held
//   err, out         the whole standard error / output; err-file, out-file: a file holding it
//   err-line         a whole line of the standard error
//   err-has, out-has, err-lacks, out-lacks, out-starts   texts in it or not
//   out-re, err-re   a regular expression found in the standard output / error
//   out-count        N TEXT: how often TEXT is in the standard output
//   tmp-lacks        no file of the temporary folder has a name starting so
//   files            DIR = NAME...: the files in DIR, sorted (none after "=": empty)
std::vector<RunCase> read_runs(const std::string& name);

// s with every what in it replaced by with.
std::string replace_all(std::string s, const std::string& what, const std::string& with);
// The words of a table's value, with its folder and the known folders put in as in a table
// of runs.
std::vector<std::string> table_words(const std::string& value, const std::string& dir);

// Runs a case and checks it against its table.
void check_run(const RunCase& c);

// A test name of letters and digits.
std::string run_case_name(const ::testing::TestParamInfo<RunCase>& info);

// A test suite that runs every case of a table of runs.
#define STACONT_RUNS_TABLE(Suite, table)                                   \
  class Suite : public ::testing::TestWithParam<RunCase> {};               \
  TEST_P(Suite, EndsAsTheTableSays) { check_run(GetParam()); }             \
  INSTANTIATE_TEST_SUITE_P(Runs, Suite, ::testing::ValuesIn(read_runs(table)), run_case_name)

// The same where the runs need what the program may lack: skipped when why_not (an
// expression) gives a reason.
#define STACONT_RUNS_TABLE_UNLESS(Suite, table, why_not)                    \
  class Suite : public ::testing::TestWithParam<RunCase> {};               \
  TEST_P(Suite, EndsAsTheTableSays) {                                      \
    if (const std::string why = (why_not); !why.empty()) GTEST_SKIP() << why; \
    check_run(GetParam());                                                 \
  }                                                                        \
  INSTANTIATE_TEST_SUITE_P(Runs, Suite, ::testing::ValuesIn(read_runs(table)), run_case_name)
