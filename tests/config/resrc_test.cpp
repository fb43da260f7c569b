#include "config/resrc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/mqueue.h"
#include "config/string.h"
#include "files/files.h"
#include "tests/config/loop_server.h"
#include "tests/support/run.h"

extern char** environ;

namespace {

// The lists of the surface contouring program.
constexpr int keyed[] = {57, 3,  73, 48, 41, 39, 55, 94, 63, 106, 112, 113, 114, 6,  72,
                         76, 64, 80, 47, 40, 58, 78, 60, 84, 110, 96,  98,  105, 79, 89,
                         88, 85, 86, 44, 69, 37, 35, 51, 27, 28,  13,  23,  17,  22, 16,
                         31, 9,  32, 10, 11, 15, 20, 8,  46, 102, 59,  2,   53,  0};
constexpr int positional[] = {50, 0};

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> names;
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "zav", 3) == 0) names.emplace_back(*e, std::strcspn(*e, "="));
    for (const auto& n : names) unsetenv(n.c_str());
    dir_ = make_temp_dir("resrc");
    setenv("zavdefault", dir_.c_str(), 1);  // an empty directory: no resource files
  }
  void TearDown() override {
    unsetenv("zavdefault");
    RES_clear();
  }

  // Decodes a command line of the program "stacont".
  void init(std::vector<std::string> args) {
    args_ = std::move(args);
    args_.insert(args_.begin(), "/usr/bin/stacont");
    argv_.clear();
    for (auto& a : args_) argv_.push_back(a.data());
    argv_.push_back(nullptr);
    RES_init(static_cast<int>(args_.size()), argv_.data(), keyed, positional);
  }

  static std::string get(const char* name) {
    const char* v = RES_get(name);
    return v ? v : "<unset>";
  }

  std::string dir_;
  std::vector<std::string> args_;
  std::vector<char*> argv_;
};

// ---- command-line forms -------------------------------------------------------------

struct LineCase {
  std::vector<std::string> args;
  const char* name;
  const char* value;  // "<unset>" when the resource must not be there
};

class CommandLine : public Resources, public ::testing::WithParamInterface<LineCase> {};

TEST_P(CommandLine, StoresValue) {
  init(GetParam().args);
  EXPECT_EQ(get(GetParam().name), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Resrc, CommandLine,
    ::testing::Values(
        LineCase{{"-pd=us"}, "plot_domain", "us"}, LineCase{{"-pd", "us"}, "plot_domain", "us"},
        LineCase{{"--pd", "us"}, "plot_domain", "us"}, LineCase{{"--pd=us"}, "plot_domain", "us"},
        LineCase{{"-PD", "us"}, "plot_domain", "us"}, LineCase{{"-plot_dom", "us"}, "plot_domain", "us"},
        LineCase{{"-va", "t"}, "variable", "t"}, LineCase{{"-variable", "t"}, "variable", "t"},
        LineCase{{"-vari", "t"}, "variable", "t"}, LineCase{{"-va=a=b"}, "variable", "a=b"},
        // "in" is the abbreviation of con_interval here; input is not accepted.
        LineCase{{"-in", "4"}, "con_interval", "4"}, LineCase{{"-in", "4"}, "input", "<unset>"},
        // A '-' followed by a non-letter is a value.
        LineCase{{"-sc", "-2.5"}, "plot_scale", "-2.5"}, LineCase{{"-ho", "-0:30"}, "hour", "-0:30"},
        // Without a value the resource is present with an empty text.
        LineCase{{"-va"}, "variable", ""}, LineCase{{"-va", "-pd", "us"}, "variable", ""},
        LineCase{{"-va="}, "variable", ""},
        // The last one given wins; a later value replaces an earlier one.
        LineCase{{"-va", "t", "-variable", "td"}, "variable", "td"},
        // Unknown options are kept under the name as given.
        LineCase{{"-zork", "12"}, "zork", "12"}, LineCase{{"--Zork=1"}, "Zork", "1"},
        LineCase{{"-zork", "-va", "t"}, "zork", ""},
        // Prefixes of "name" and "default" are not taken as prefixes of other names.
        LineCase{{"-na", "x"}, "name_conv", "<unset>"}, LineCase{{"-na", "x"}, "name", "x"},
        LineCase{{"-df", "/nonexistent"}, "default", "/nonexistent"},
        LineCase{{"-df=/a:/b"}, "default", "/a:/b"},
        // Positional arguments, "--" skipped, hostile shapes stay positional.
        LineCase{{"a", "--", "b"}, "filename", "a\nb"}, LineCase{{"-"}, "filename", "-"},
        LineCase{{"-="}, "filename", "-="}, LineCase{{"--=x"}, "filename", "--=x"},
        LineCase{{"="}, "filename", "="}, LineCase{{"-5", "x"}, "filename", "-5\nx"},
        // Boolean, batch and help options never take the next argument.
        LineCase{{"-ba", "t"}, "filename", "t"}, LineCase{{"-ba", "t"}, "batch", ""},
        LineCase{{"-ba", "-va", "t"}, "variable", "t"}, LineCase{{"-ic", "file"}, "filename", "file"},
        LineCase{{"-h", "x"}, "help", ""}, LineCase{{"-ba=yes"}, "batch", "yes"}));

TEST_F(Resources, BatchAndHelpFlags) {
  init({"-ba", "-va", "t"});
  EXPECT_TRUE(FLAG_batch());
  EXPECT_FALSE(FLAG_help());
  EXPECT_EQ(FLAG_get(0), -9999);  // every other flag was reset
  for (const char* h : {"-h", "-help", "--he", "-he"}) {
    init({h});
    EXPECT_TRUE(FLAG_help()) << h;
    EXPECT_FALSE(FLAG_batch()) << h;
  }
}

TEST_F(Resources, PositionalListReadsBack) {
  init({"one", "-va", "t", "two"});
  int count = 0;
  char** list = nullptr;
  ASSERT_EQ(RES_getvals("filename", &count, &list), 2);
  EXPECT_STREQ(list[0], "one");
  EXPECT_STREQ(list[1], "two");
  free_parsed_array(count, list);
  // Comma lists for every other kind; nothing for an absent resource.
  init({"-of", "cdf,zav,,"});
  ASSERT_EQ(RES_getvals("out_file", &count, &list), 2);
  EXPECT_STREQ(list[1], "zav");
  free_parsed_array(count, list);
  EXPECT_EQ(RES_getvals("variable", &count, &list), 0);
  EXPECT_EQ(list, nullptr);
}

TEST_F(Resources, ManyArgumentsStayLinear) {
  std::vector<std::string> args;
  for (int i = 0; i < 20000; ++i) args.push_back(i % 2 ? "f" + std::to_string(i) : "-u" + std::to_string(i));
  init(args);
  EXPECT_EQ(get("u0"), "f1");
  EXPECT_EQ(get("u19998"), "f19999");
  EXPECT_EQ(get("filename"), "<unset>");
}

// ---- store --------------------------------------------------------------------------

TEST_F(Resources, StoreKeepsFirstPositionAndReplacesInPlace) {
  init({});
  RES_clear();
  RES_put("b", "1");
  RES_put("a", "2");
  RES_new(5, "b", "3", 6);
  RES_put("c", nullptr);
  RES_append(-9999, "a", "x", 6);
  RES_append(-9999, "d", "y", 6);
  EXPECT_EQ(get("c"), "");
  EXPECT_EQ(get("C"), "<unset>");  // names are compared exactly
  testing::internal::CaptureStdout();
  RES_list();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "b: 3\na: 2\nx\nc:\nd: y\n");
}

TEST_F(Resources, Precedence) {
  write_file(dir_ + "/.zavdef",
             "*.variable   file\n*.plot_domain file\n*.region file\nstacont.label file\n"
             "other.title  file\n*.extra xyz\n");
  setenv("zavvar", "env", 1);
  setenv("zavdomain", "env", 1);
  init({"-va", "cmd"});
  EXPECT_EQ(get("variable"), "cmd");
  EXPECT_EQ(get("plot_domain"), "env");
  EXPECT_EQ(get("region"), "file");
  EXPECT_EQ(get("label"), "file");
  EXPECT_EQ(get("title"), "<unset>");  // a section for another program
  EXPECT_EQ(get("extra"), "xyz");      // kept under its bare name
}

TEST_F(Resources, EnvironmentForms) {
  // "zav<program>.<name>" comes before the own variable, which comes before "zav<name>".
  setenv("zavvariable", "long", 1);
  init({});
  EXPECT_EQ(get("variable"), "long");
  setenv("zavvar", "own", 1);
  init({});
  EXPECT_EQ(get("variable"), "own");
  setenv("zavstacont.variable", "prog", 1);
  init({});
  EXPECT_EQ(get("variable"), "prog");
  // A title from -na replaces the program name; a '+' title adds to it.
  setenv("zavbig.variable", "title", 1);
  init({"-na", "big"});
  EXPECT_EQ(get("variable"), "title");
  setenv("zavstacont.big.variable", "both", 1);
  init({"-na=+big"});
  EXPECT_EQ(get("variable"), "both");
  for (const char* n : {"zavvariable", "zavvar", "zavstacont.variable", "zavbig.variable", "zavstacont.big.variable"})
    unsetenv(n);
}

TEST_F(Resources, DefaultListTagsAndTitle) {
  std::string a = dir_ + "/a", b = dir_ + "/b";
  write_file(a, "IF test\nvariable a1\nELSE\nvariable a2\nEND\nlabel a\n");
  write_file(b, "label b\nrun.title t\n");
  init({"-df", a + ":" + b});
  EXPECT_EQ(get("variable"), "a2");
  EXPECT_EQ(get("label"), "b");  // later files replace earlier ones
  EXPECT_EQ(get("title"), "<unset>");
  init({"-df=+test:" + a + ":" + b, "-na", "run"});
  EXPECT_EQ(get("variable"), "a1");
  EXPECT_EQ(get("title"), "t");
}

// ---- conversions --------------------------------------------------------------------

TEST(ResConv, Numbers) {
  int i = 7;
  EXPECT_EQ(RES_conv_data("42", &i, 2), 1);
  EXPECT_EQ(i, 42);
  RES_conv_data("0x1F", &i, 2);
  EXPECT_EQ(i, 31);
  RES_conv_data("-12", &i, 2);
  EXPECT_EQ(i, -12);
  RES_conv_data("abc", &i, 2);  // not a number: unchanged
  EXPECT_EQ(i, -12);
  RES_conv_data("99999999999999", &i, 2);
  EXPECT_EQ(i, INT32_MAX);
  EXPECT_EQ(RES_conv_data(nullptr, &i, 2), 0);
  short s = 1;
  RES_conv_data("-3", &s, 3);  // shorts and longs only from a leading digit
  EXPECT_EQ(s, 1);
  RES_conv_data("300", &s, 3);
  EXPECT_EQ(s, 300);
  long l = 0;
  RES_conv_data("123456", &l, 4);
  EXPECT_EQ(l, 123456);
  float f = 0;
  RES_conv_data("-2.5", &f, 5);
  EXPECT_FLOAT_EQ(f, -2.5f);
  RES_conv_data("x", &f, 5);
  EXPECT_FLOAT_EQ(f, -2.5f);
  std::int64_t w = 0;
  RES_conv_data("12345678901", &w, 19);
  EXPECT_EQ(w, 12345678901LL);
}

TEST(ResConv, Booleans) {
  int b = 5;
  EXPECT_EQ(RES_conv_data(nullptr, &b, 1), 1);
  EXPECT_EQ(b, 1);
  for (const char* off : {"false", "OFF", "No"}) {
    b = 5;
    RES_conv_data(off, &b, 1);
    EXPECT_EQ(b, 0) << off;
  }
  for (const char* on : {"TRUE", "on", "yes"}) {
    b = 5;
    RES_conv_data(on, &b, 1);
    EXPECT_EQ(b, 1) << on;
  }
  b = 5;
  RES_conv_data("maybe", &b, 1);
  EXPECT_EQ(b, 5);
}

TEST(ResConv, Texts) {
  const char* p = nullptr;
  const char* text = "abc";
  RES_conv_data(text, &p, 6);
  EXPECT_EQ(p, text);
  char buf[RES_TEXT_LEN];
  std::string long_text(1000, 'y');
  RES_conv_data(long_text.c_str(), buf, 7);
  EXPECT_EQ(std::string(buf), long_text.substr(0, RES_TEXT_LEN - 1));
  RES_conv_data("/data", &p, 8);
  EXPECT_STREQ(p, "/data/");
  RES_conv_data("/data/", &p, 8);
  EXPECT_STREQ(p, "/data/");
  RES_conv_data("NONE", &p, 8);
  EXPECT_STREQ(p, "");
  EXPECT_EQ(RES_conv_data(nullptr, &p, 8), 0);
}

struct FlagCase {
  int kind;
  const char* text;
  int flag;
  std::int64_t expect;
};

class FlagKinds : public ::testing::TestWithParam<FlagCase> {};

TEST_P(FlagKinds, SetFlag) {
  FLAG_reset(-9999);
  EXPECT_EQ(RES_conv_data(GetParam().text, nullptr, GetParam().kind), 1);
  EXPECT_EQ(FLAG_getl(GetParam().flag), GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(
    ResConv, FlagKinds,
    ::testing::Values(
        FlagCase{16, "use", 15, 3}, FlagCase{16, "OVER", 15, 1}, FlagCase{16, "calc", 15, 1},
        FlagCase{16, "reuse", 15, 3}, FlagCase{16, "recalc", 15, 1}, FlagCase{16, "app", 15, 2},
        FlagCase{16, "junk", 15, -9999}, FlagCase{17, "p", 2, 4}, FlagCase{17, "PostScript,out.ps", 2, 4},
        FlagCase{17, "h", 2, 5}, FlagCase{17, "Q", 2, 5}, FlagCase{17, "meta", 2, 3}, FlagCase{17, "w", 2, 6},
        FlagCase{17, "d", 2, 1}, FlagCase{17, "", 2, 1}, FlagCase{17, nullptr, 2, 1},
        FlagCase{18, "raw", 11, 0}, FlagCase{18, "NONE", 11, 99}, FlagCase{18, "gvalue", 11, 17},
        FlagCase{18, "ndln", 11, 14}, FlagCase{18, "stream", 11, 23}, FlagCase{18, "number", 11, 54},
        FlagCase{18, "rteph", 11, 65}, FlagCase{18, "contour", 11, -9999}, FlagCase{23, nullptr, 20, 1},
        FlagCase{22, nullptr, 19, 1}));

TEST(ResConv, DeviceOutputName) {
  const char* out = nullptr;
  RES_conv_data("p,plot.ps", &out, 17);
  EXPECT_STREQ(out, "plot.ps");
  out = nullptr;
  RES_conv_data("d", &out, 17);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(RES_set_device("Hpgl"), 5);
  EXPECT_EQ(RES_set_device(nullptr), 1);
}

struct DrawCase {
  const char* text;
  std::vector<int> expect;  // entries 0-12
};

class DrawWords : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawWords, Components) {
  FLAG_resetplot(1);
  RES_conv_data(GetParam().text, nullptr, 10);
  std::vector<int> got;
  for (int i = 0; i < FLAG_NUM_PLOT; ++i) got.push_back(FLAG_getplot(i));
  EXPECT_EQ(got, GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(
    ResConv, DrawWords,
    ::testing::Values(
        // A first word without a sign starts from nothing.
        DrawCase{"map", {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},
        DrawCase{"map,+data", {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 2}},
        DrawCase{"+map", {6, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 17}},
        DrawCase{"-text", {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 4}},
        DrawCase{"-text_ul,-SUM", {5, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 14}},
        DrawCase{"text", {6, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 13}},
        DrawCase{"none", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        DrawCase{"none,+grid,+bord", {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 2}},
        DrawCase{"text_lr,text_ll,+all,-map", {6, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 16}},
        DrawCase{"+bogus,-", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}}));

struct HourCase {
  const char* text;
  int year, month, day, hour, minute;
};

class HourForms : public ::testing::TestWithParam<HourCase> {};

TEST_P(HourForms, Decode) {
  DateRec d;
  ASSERT_EQ(RES_decode_hour(GetParam().text, &d), 1);
  const auto& c = GetParam();
  EXPECT_EQ(d.year, c.year);
  EXPECT_EQ(d.month, c.month);
  EXPECT_EQ(d.day, c.day);
  EXPECT_EQ(d.hour, c.hour);
  EXPECT_EQ(d.minute, c.minute);
  EXPECT_EQ(d.second, -9999);
  EXPECT_EQ(d.julian, -9999);
}

constexpr int M = -9999;
INSTANTIATE_TEST_SUITE_P(
    ResConv, HourForms,
    ::testing::Values(HourCase{"#199801051230", 1998, 1, 5, 12, 30}, HourCase{"#1998010512", 1998, 1, 5, 12, M},
                      HourCase{"#1998", 1998, M, M, M, M}, HourCase{"#1998x105", 1998, M, 5, M, M},
                      HourCase{"#ab", M, M, M, M, M}, HourCase{"010512", M, 1, 5, 12, M},
                      HourCase{"0512", M, M, 5, 12, M}, HourCase{"512", M, M, 5, 12, M},
                      HourCase{"3d12:00", M, M, 3, 12, 0}, HourCase{"3d12", M, M, 3, 12, M}, HourCase{"-3d6", M, M, -3, 6, M},
                      HourCase{"5d1", M, M, 5, 1, M},
                      HourCase{":30", M, M, M, M, 30}, HourCase{"-:30", M, M, M, M, -30},
                      HourCase{"12:30", M, M, M, 12, 30}, HourCase{"12", M, M, M, 12, M},
                      HourCase{"-0:30", M, M, M, M, -30}, HourCase{"-1:30", M, M, M, -1, 30},
                      HourCase{"", M, M, M, M, M}, HourCase{"zz", M, M, M, M, M},
                      HourCase{"99999999999999:5", M, M, M, 2147483647, 5}));

TEST(ResConv, HourNull) {
  DateRec d;
  EXPECT_EQ(RES_decode_hour(nullptr, &d), 0);
  EXPECT_EQ(RES_conv_data(nullptr, &d, 12), 0);
}

TEST(ResConv, HourReachesFileModule) {
  DateRec d;
  EXPECT_EQ(RES_conv_data("3d12:00", &d, 12), 1);
  DateRec set;
  FILE_get_time(&set);
  EXPECT_EQ(set.day, 3);
  EXPECT_EQ(set.hour, 12);
  EXPECT_EQ(set.minute, 0);
  FILE_reset_time();
}

TEST_F(Resources, MessageLevels) {
  init({"-me", "warn"});
  EXPECT_EQ(MESS_get(), 0xFFu);
  MESS_set(0, 0xFFFFF);
  init({"-me", "+debug"});
  EXPECT_EQ(MESS_get(), 0xF00FFFFFu);
  // An explicit level is kept by batch mode, whatever the order.
  init({"-me", "mess", "-ba"});
  EXPECT_EQ(MESS_get(), 0xFFFu);
  init({"-ba", "-me", "mess"});
  EXPECT_EQ(MESS_get(), 0xFFFu);
  MESS_set(0, 0xFFFFF);
}

TEST_F(Resources, ProgramName) {
  init({});
  EXPECT_STREQ(RES_get_prog(), "/usr/bin/stacont");
  char buf[RES_TEXT_LEN];
  EXPECT_STREQ(RES_get_progname(buf), "stacont");
  char* copy = RES_get_progname(nullptr);
  EXPECT_STREQ(copy, "stacont");
  std::free(copy);
}

TEST(ResHelp, ItemWithoutHelpPrintsIndex) {
  testing::internal::CaptureStdout();
  RES_help_item(65);
  RES_help_item(0);
  RES_help_item(500);
  RES_help_item(88);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "65\n0\n500\n -sc scale   Text and wind vector scale factor\n");
}

// ---- companion loop program ---------------------------------------------------------

TEST_F(Resources, LoopProgramSuppliesValues) {
  LoopServer server;
  ASSERT_TRUE(server.start({{"variable", "t"}, {"plot_domain", "!none"}, {"region", "\n"}, {"label", "loop"}}));
  MQ_set_timeout(5);
  write_file(dir_ + "/.zavdef", "plot_domain us\n");
  init({"-df", dir_ + ":#" + std::to_string(server.key()), "-la", "cmd", "x"});
  EXPECT_EQ(get("variable"), "t");
  EXPECT_EQ(get("plot_domain"), "us");
  EXPECT_EQ(get("region"), "<unset>");
  EXPECT_EQ(get("label"), "cmd");
  auto log = server.stop();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[1], "query res help");
  // The file value is offered back, then every option, then the end.
  std::vector<std::string> tail(log.end() - 4, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"set res plot_domain us", "set res df " + dir_ + ":#" +
                                                                          std::to_string(server.key()),
                                            "set res label cmd", "quit"}));
}

TEST_F(Resources, LoopProgramAbsentOrSilent) {
  LoopServer server;
  ASSERT_TRUE(server.start({}, LoopServer::Mode::silent));
  MQ_set_timeout(1);
  testing::internal::CaptureStderr();
  init({"-df", "#" + std::to_string(server.key()) + ":#0:#abc", "-va", "t"});
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "ZAVloop window: " + std::to_string(server.key()) +
                     " unable to connect\n"
                     "ZAVloop window: 0 not running or no message queue exists\n"
                     "ZAVloop window: abc not running or no message queue exists\n");
  EXPECT_EQ(get("variable"), "t");
  MQ_set_timeout(100);
}

TEST_F(Resources, LoopProgramVanishes) {
  LoopServer server;
  ASSERT_TRUE(server.start({}, LoopServer::Mode::vanish));
  MQ_set_timeout(5);
  testing::internal::CaptureStderr();
  init({"-df", "#" + std::to_string(server.key()), "-va", "t"});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ZAVloop not running!\n");
  EXPECT_EQ(get("variable"), "t");
}

}  // namespace
