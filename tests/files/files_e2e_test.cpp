// The input-file step of the real program: current and latest files, batch, the prompt.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/config_table.h"
#include "tests/support/run.h"

namespace {

class InputFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = make_temp_dir("files_e2e");
    conv = dir + "/name_conv";
    write_file(conv, "sfc_cvt  " + dir + "/%Y%m%d%h.sfc  -  0\n");
  }
  void touch(const std::string& stamp) {
    write_file(dir + "/" + stamp + ".sfc", "ZAVSFC\n" + stamp.substr(8, 2) + "Z  5 JAN 98\n");
  }
  // A clean site: no resource files, nothing from the user's shell, a fixed current time.
  RunResult run(std::vector<std::string> args, const std::string& input = "", bool own_conv = true) const {
    std::map<std::string, std::string> env = clean_env(dir);
    env["zavcurtime"] = "199801051230";
    if (own_conv) args.insert(args.begin(), {"-nc", conv});
    return run_stacont(args, input, env, dir, 20);
  }
  std::string dir, conv;
};

TEST_F(InputFile, LatestHourlyFileAndItsTries) {
  touch("1998010507");
  touch("1998010509");  // three hours before 12:30
  const std::string found = "Current filename: " + dir + "/1998010509.sfc\n";
  RunResult r = run({"-ba", "-me", "mess", "-cu", "la"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(found), std::string::npos) << r.out;
  r = run({"-ba", "-me", "mess"});  // batch mode alone looks for the latest file too
  EXPECT_NE(r.out.find(found), std::string::npos) << r.out;
  r = run({"-ba", "-me", "mess", "-cu", "la#3"});  // 12, 11 and 10 UTC only
  EXPECT_EQ(r.status, 10);
  EXPECT_NE(r.err.find("File not found: " + dir + "/1998010512.sfc\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Current filename"), std::string::npos);
}

TEST_F(InputFile, ShippedConventionsThroughFilePath) {
  // The package's own convention file, found in file_path; data under con_path.
  ::mkdir((dir + "/conv_dir").c_str(), 0755);
  write_file(dir + "/conv_dir/name_conv", read_file(std::string(STACONT_DATA_DIR) + "/name_conv"));
  touch("1998010511");
  RunResult r = run({"-ba", "-me", "mess", "-fp", dir + "/conv_dir", "-cp", dir, "-cu", "-1la"}, "", false);
  EXPECT_NE(r.out.find("Current filename: " + dir + "/1998010511.sfc\n"), std::string::npos) << r.out << r.err;
}

// A prompt whose convention finds nothing says where it looked and which conventions of the
// convention file do find files, instead of repeating a glob.
TEST_F(InputFile, NoMatchNamesTheSearchAndTheConventionsThatFindFiles) {
  ::mkdir((dir + "/cvt").c_str(), 0755);
  ::mkdir((dir + "/arch").c_str(), 0755);
  write_file(conv, "sfc_cvt  " + dir + "/cvt/%Y%m%d%h.sfc  -  0\n" + "archive  " + dir +
                       "/arch/%Y%m%d%h.sfc  -  0\n" + "grids  " + dir + "/grd/%Y%m%d%h_%v.grd  -  0\n" +
                       "one  " + dir + "/%Y%m%d%h.sfc  -  0\n");
  for (const char* stamp : {"1998010509", "1998010510"})
    write_file(dir + "/arch/" + stamp + ".sfc", "ZAVSFC\n09Z  5 JAN 98\n");
  touch("1998010511");
  const RunResult r = run({}, "list\nexit\n");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string said = "Searched convention sfc_cvt in directory " + dir +
                           "/cvt\nConventions that find files:\n  archive (2 files in " + dir +
                           "/arch)\n  one (1 file in " + dir +
                           ")\nStart the program with -if NAME to read the files of one of them\n";
  EXPECT_EQ(count_of(r.out, said), 2) << r.out;
  EXPECT_EQ(r.out.find("grids"), std::string::npos) << r.out;
}

// Answers at the prompt ("DIR" stands for the data directory): exit status and the number of
// "File not found" warnings.
TEST_F(InputFile, PromptAnswers) {
  touch("1998010509");
  for (const TableRow& c : read_table("files/files_e2e.tsv", "prompt")) {
    SCOPED_TRACE(c.where);
    std::string input = c[0];
    for (std::size_t p; (p = input.find("DIR")) != std::string::npos;) input.replace(p, 3, dir);
    RunResult r = run({}, input);
    EXPECT_EQ(r.status, c.num(1)) << r.out << r.err;
    EXPECT_EQ(count_of(r.err, "File not found"), c.num(2)) << r.err;
    EXPECT_NE(r.out.find("List of available files:\n" + dir + "/1998010509.sfc"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Enter the surface filename: "), std::string::npos);
  }
}

// "?" at the file prompt explains what the prompt takes; it is not a file that is missing.
TEST_F(InputFile, QuestionMarkExplainsThePrompt) {
  touch("1998010509");
  const RunResult r = run({}, "?\nexit\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.find("File not found"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("A file name, a date of the naming convention (YYYYMMDDHH or a part of it), \"la\" for the "
                       "latest file, \"list\" for the files there are, or \"exit\"\n"),
            std::string::npos)
      << r.out;
}

// Every form "?" promises works through a convention whose files lie in a directory of
// their own (the sample's "%F/sample/%Y%m%d%h.sfc", the sample's hours 00 to 23 of 14 March
// 2026): a date, or its last digits, is the latest file with those fields, or, with none
// there, the most recent such time before now; a bare name is a name of that directory.
TEST_F(InputFile, DatesAndBareNamesThroughTheConvention) {
  const std::string data = STACONT_DATA_DIR;
  const std::string sample = data + "/sample/";
  for (const TableRow& c : read_table("files/files_e2e.tsv", "dates")) {
    SCOPED_TRACE(c.where);
    std::map<std::string, std::string> env = clean_env(dir);
    env["zavcurtime"] = "202603200000";
    // A found file is taken at the first answer; four that find none end the program.
    const std::string a = c[0] + "\n";
    const RunResult r = run_stacont({"-fp", data, "-if", "sfc_sample"}, c.num(2) == 0 ? a : a + a + a + a, env, dir, 20);
    EXPECT_EQ(r.status, c.num(2)) << r.out << r.err;
    if (c.num(2) == 0) {
      EXPECT_EQ(r.err, "");
      if (c[1] != "-") {
        EXPECT_NE(r.out.find("Current filename: " + sample + c[1] + "\n"), std::string::npos) << r.out;
      }
      EXPECT_NE(r.out.find("Enter the region: "), std::string::npos) << r.out;
    } else {
      std::string each = c[3];
      if (each.rfind("File", 0) == 0) each.replace(each.find("SAMPLE"), 6, sample);
      EXPECT_EQ(r.err, each + each + each + each + "No input file after 4 answers: the program ends\n");
    }
  }
}

TEST_F(InputFile, PositionalNames) {
  touch("1998010509");
  RunResult r = run({"-ba", dir + "/1998010509.sfc"});
  EXPECT_EQ(r.err.find("File not found"), std::string::npos) << r.err;
  r = run({"-ba", "1998010508.sfc"});  // a bare name is looked for along the convention's directory
  EXPECT_NE(r.err.find("File not found: " + dir + "/1998010508.sfc"), std::string::npos) << r.err;
}

// Hostile names and specifications end cleanly, never by a signal.
TEST_F(InputFile, HostileInput) {
  std::string big(10240, 'x');
  const std::vector<std::vector<std::string>> cases = {
      {"-ba", big}, {"-ba", "-cu", big}, {"-ba", "-cu", "la#99999999999999999999"}, {"-ba", "-cu", "#" + big},
      {"-ba", "%s%s%n%%{%9999999999h" + big}, {"-ba", "-cu", "-99999d99999:99999la#5"}};
  for (const auto& args : cases) EXPECT_LT(run(args).status, 128) << args.back().substr(0, 40);
  EXPECT_LT(run({}, big + "\n" + std::string(5000, '%') + "\n").status, 128);
  // A convention pointing into directories that do not exist.
  write_file(conv, "sfc_cvt  " + dir + "/no/such/dir/%Y%m%d%h.sfc  -  0\n");
  EXPECT_EQ(run({"-ba", "-cu", "la#3"}).status, 10);
}

}  // namespace
