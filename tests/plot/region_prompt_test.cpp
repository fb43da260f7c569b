// The domain loop of the program, run end to end: domains from options, batch mode,
// and the interactive region prompt with its exits.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/run.h"

namespace {

RunResult run(std::vector<std::string> args, const std::string& in = "") {
  const std::string dir = make_temp_dir("domloop");
  write_file(dir + "/in.sfc", "ZAVSFC\n12Z  5 JAN 98\n");
  // Nothing from the user's environment or resource files may answer a prompt.
  const std::map<std::string, std::string> env = clean_env(dir);
  args.insert(args.begin(), {"-fp", std::string(STACONT_DATA_DIR) + "/"});
  args.push_back(dir + "/in.sfc");
  return run_stacont(args, in, env, dir, 30);
}

TEST(DomainLoop, DomainsFromOptions) {
  using Args = std::vector<std::string>;
  for (const Args& bad : {Args{"-pd", "bogus,,1"}, Args{"-pd", "nan,0"}, Args{"-re", "nosuchregion"},
                          Args{"-re", "1e99,0"}, Args{"-pd", std::string(5000, ',')}}) {
    const RunResult r = run(bad);
    EXPECT_EQ(r.status, 43) << bad[1].substr(0, 20);
    EXPECT_EQ(r.err, "Invalid domain\n") << bad[1].substr(0, 20);  // one mistake, one message
  }
  for (const char* d : {"us", "conus", "39,-97", "lamb:25:-95:25:25,35,-95,50,40,0.8,0.8"}) {
    const RunResult r = run({"-pd", d, "-va", "t", "-ba"});
    EXPECT_EQ(r.status, 0) << d << r.err;
    EXPECT_EQ(r.out.find("Region Menu"), std::string::npos) << d;
  }
  // Without batch mode the domain from an option still answers once; so does batch
  // mode without a domain, which takes the first region.
  for (const Args& a : {Args{"-re", "eu"}, Args{"-ba"}}) {
    const RunResult r = run(a);
    EXPECT_EQ(r.status, 0) << a[0] << r.err;
    EXPECT_EQ(r.out.find("Enter the region"), std::string::npos) << a[0];
  }
}

TEST(DomainLoop, InteractivePrompt) {
  const std::string invalid = "Invalid domain\n";
  const std::string give_up = "No valid domain after 5 answers: giving up\n";
  const struct { const char* input; int status, prompts; std::string err; const char* shown; } t[] = {
      // Five invalid answers end the program with the status of an invalid domain; each
      // answer gets one message.
      {"bogus,,\nnan,0\n1,2,3,4,5,6,7,8,9\nxyz\nfoo:bar\n", 43, 5,
       invalid + invalid + invalid + invalid + invalid + give_up, ""},
      {"bogus\nbogus\nbogus\nbogus\nus\n0\n", 0, 6, invalid + invalid + invalid + invalid, ""},  // the fifth is good
      // Asked again after each domain's variable loop ("0" returns from the variable menu);
      // end of input ends.
      {"us\n0\n39,-97\n0\n", 0, 3, "", "\n        Region Menu\n"},
      {"0\n", 0, 1, "", "United States"},                    // "Return to previous menu"
      {"exit\n", 0, 1, "", ""},
      {"list\n", 0, 2, "", "\nconus    CONUS Lambert"},  // the region file, then the prompt again
  };
  for (const auto& e : t) {
    const RunResult r = run({}, e.input);
    EXPECT_EQ(r.status, e.status) << e.input;
    EXPECT_EQ(count_of(r.out, "Enter the region: "), e.prompts) << e.input;
    EXPECT_EQ(r.err, e.err) << e.input;
    EXPECT_NE(r.out.find(e.shown), std::string::npos) << e.input;
  }
}

// A wrong grid domain is said once, however often it is decoded (once a plot here), and
// decides the exit status; the plot goes on with the plot domain.
TEST(DomainLoop, InvalidGridDomainIsSaidOnce) {
  const RunResult r = run({"-pd", "us", "-gd", "bogus", "-de", "p," + make_temp_dir("domloop_ps") + "/out.ps"},
                          "t\n5\nc\nt\n5\nc\n0\n");
  EXPECT_EQ(r.status, 43);
  // (The test's hour holds no temperature: each plot says so.)
  EXPECT_EQ(r.err, "DOM_decode: Invalid plot domain\n"
                   "No values on the grid of Temperature (F): no report of it reaches this domain\n"
                   "No values on the grid of Temperature (F): no report of it reaches this domain\n");
  EXPECT_EQ(count_of(r.out, "Enter the variable: "), 3);
}

// The centre of "var" is asked once, not again when the grid domain is taken from the
// same option (at a terminal: batch mode refuses a domain that asks).
TEST(DomainLoop, VariableCentreIsAskedOnce) {
  const RunResult r = run({"-pd", "var", "-va", "t"}, "39\n-97\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count_of(r.out, "Enter the central latitude: "), 1) << r.out;
  EXPECT_EQ(count_of(r.out, "Enter the central longitude: "), 1);
}

}  // namespace
