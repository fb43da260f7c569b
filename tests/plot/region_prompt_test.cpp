// The domain loop of the program, run end to end: domains from options, batch mode,
// and the interactive region prompt with its exits.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/run.h"

namespace {

class DomainLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir("domloop");
    write_file(dir_ + "/in.sfc", "ZAVSFC\n");
    // Nothing from the user's environment or resource files may answer a prompt.
    for (const char* v : {"zavdomain", "zavregion", "zavgrddomain", "zavbatch", "zavfile", "zavfile_path",
                          "zavdefault", "zavvariable", "zavprior", "zavcurrent", "zavhour", "zavmess",
                          "zavinfile", "zavfilename", "zavtz", "zavcurtime", "zavnameconv", "DISPLAY"})
      env_[v] = "";
  }
  RunResult run(std::vector<std::string> args, const std::string& in = "") {
    args.insert(args.begin(), {"-fp", std::string(STACONT_DATA_DIR) + "/"});
    args.push_back(dir_ + "/in.sfc");
    return run_stacont(args, in, env_, dir_, 30);
  }
  static int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }
  std::string dir_;
  std::map<std::string, std::string> env_;
};

TEST_F(DomainLoop, InvalidDomainOptionExits43) {
  for (const std::vector<std::string>& a :
       std::vector<std::vector<std::string>>{{"-pd", "bogus,,1"}, {"-pd", "nan,0"}, {"-re", "nosuchregion"},
                                             {"-re", "1e99,0"}, {"-pd", std::string(5000, ',')}}) {
    const RunResult r = run(a);
    EXPECT_EQ(r.status, 43) << a[1];
    EXPECT_NE(r.err.find("Invalid domain\n"), std::string::npos) << a[1];
    EXPECT_NE(r.err.find("DOM_decode: Invalid plot domain\n"), std::string::npos) << a[1];
  }
}

TEST_F(DomainLoop, DomainFromOptionRunsOnce) {
  for (const char* d : {"us", "conus", "39,-97", "lamb:25:-95:25:25,35,-95,50,40,0.8,0.8"}) {
    const RunResult r = run({"-pd", d, "-va", "t", "-ba"});
    EXPECT_EQ(r.status, 0) << d << r.err;
    EXPECT_EQ(r.out.find("Region Menu"), std::string::npos) << d;
  }
  // Not batch: the domain from the option still answers only once (no prompt follows).
  const RunResult r = run({"-re", "eu"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("Region Menu"), std::string::npos);
}

TEST_F(DomainLoop, BatchWithoutDomainTakesTheFirstRegion) {
  const RunResult r = run({"-ba"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("Enter the region"), std::string::npos);
}

TEST_F(DomainLoop, InteractivePrompt) {
  // Five invalid answers end the domain loop.
  RunResult r = run({}, "bogus,,\nnan,0\n1,2,3,4,5,6,7,8,9\nxyz\nfoo:bar\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(count(r.out, "Enter the region: "), 5);
  EXPECT_EQ(count(r.err, "Invalid domain\n"), 5);
  // A valid region is taken and the prompt comes back for the next domain; end of
  // input then ends the program cleanly.
  r = run({}, "us\n39,-97\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(count(r.out, "Enter the region: "), 3);
  EXPECT_EQ(r.err.find("Invalid"), std::string::npos);
  EXPECT_NE(r.out.find("\n        Region Menu\n"), std::string::npos);
  EXPECT_NE(r.out.find("United States"), std::string::npos);
  // The menu's exits.
  r = run({}, "0\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(count(r.out, "Enter the region: "), 1);
  r = run({}, "exit\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(count(r.out, "Enter the region: "), 1);
  // "list" prints the region file and asks again.
  r = run({}, "list\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find(" Abbr    Description\n"), std::string::npos);
  EXPECT_NE(r.out.find("conus    CONUS Lambert"), std::string::npos);
  EXPECT_EQ(count(r.out, "Enter the region: "), 2);
}

}  // namespace
