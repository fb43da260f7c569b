#include "config/resrc.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <sstream>
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
    MESS_reset();
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

TEST_F(Resources, CommandLineForms) {
  const struct {
    std::vector<std::string> args;
    const char* name;
    const char* value;  // "<unset>" when the resource must not be there
  } cases[] = {
      {{"-pd=us"}, "plot_domain", "us"}, {{"-pd", "us"}, "plot_domain", "us"},
      {{"--pd", "us"}, "plot_domain", "us"}, {{"--pd=us"}, "plot_domain", "us"},
      {{"-PD", "us"}, "plot_domain", "us"}, {{"-plot_dom", "us"}, "plot_domain", "us"},
      {{"-va", "t"}, "variable", "t"}, {{"-variable", "t"}, "variable", "t"},
      {{"-vari", "t"}, "variable", "t"}, {{"-va=a=b"}, "variable", "a=b"},
      // "in" is the abbreviation of con_interval here; input is not accepted.
      {{"-in", "4"}, "con_interval", "4"}, {{"-in", "4"}, "input", "<unset>"},
      // A '-' followed by a non-letter is a value.
      {{"-sc", "-2.5"}, "plot_scale", "-2.5"}, {{"-ho", "-0:30"}, "hour", "-0:30"},
      // Without a value the resource is present with an empty text.
      {{"-va"}, "variable", ""}, {{"-va", "-pd", "us"}, "variable", ""}, {{"-va="}, "variable", ""},
      {{"-va", "t", "-variable", "td"}, "variable", "td"},  // the last one given wins
      // Unknown options are kept under the name as given.
      {{"-zork", "12"}, "zork", "12"}, {{"--Zork=1"}, "Zork", "1"}, {{"-zork", "-va", "t"}, "zork", ""},
      // Prefixes of "name" and "default" are not taken as prefixes of other names.
      {{"-na", "x"}, "name_conv", "<unset>"}, {{"-na", "x"}, "name", "x"},
      {{"-df", "/nonexistent"}, "default", "/nonexistent"}, {{"-df=/a:/b"}, "default", "/a:/b"},
      // Positional arguments, "--" skipped, hostile shapes stay positional.
      {{"a", "--", "b"}, "filename", "a\nb"}, {{"-"}, "filename", "-"}, {{"-="}, "filename", "-="},
      {{"--=x"}, "filename", "--=x"}, {{"-5", "x"}, "filename", "-5\nx"},
      // Boolean, batch and help options never take the next argument.
      {{"-ba", "t"}, "filename", "t"}, {{"-ba", "t"}, "batch", ""}, {{"-ba", "-va", "t"}, "variable", "t"},
      {{"-ic", "file"}, "filename", "file"}, {{"-h", "x"}, "help", ""}, {{"-ba=yes"}, "batch", "yes"}};
  for (const auto& c : cases) {
    init(c.args);
    EXPECT_EQ(get(c.name), c.value) << testing::PrintToString(c.args) << " " << c.name;
  }
}

TEST_F(Resources, FlagsListsAndStore) {
  init({"-ba", "-va", "t"});
  EXPECT_TRUE(FLAG_batch() && !FLAG_help());
  EXPECT_EQ(FLAG_get(0), -9999);  // every other flag was reset
  init({"--he"});
  EXPECT_TRUE(FLAG_help() && !FLAG_batch());
  init({"one", "-va", "t", "two", "-of", "cdf,zav,,"});
  int count = 0;
  char** list = nullptr;
  ASSERT_EQ(RES_getvals("filename", &count, &list), 2);  // positional names: a newline list
  EXPECT_STREQ(list[0], "one");
  EXPECT_STREQ(list[1], "two");
  free_parsed_array(count, list);
  ASSERT_EQ(RES_getvals("out_file", &count, &list), 2);  // every other kind: a comma list
  EXPECT_STREQ(list[1], "zav");
  free_parsed_array(count, list);
  EXPECT_EQ(RES_getvals("region", &count, &list), 0);
  EXPECT_EQ(list, nullptr);
  // A name keeps its first position; a later value replaces it in place.
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

TEST_F(Resources, ManyArgumentsStayLinear) {
  std::vector<std::string> args;
  for (int i = 0; i < 20000; ++i) args.push_back(i % 2 ? "f" + std::to_string(i) : "-u" + std::to_string(i));
  init(args);
  EXPECT_EQ(get("u19998"), "f19999");
  EXPECT_EQ(get("filename"), "<unset>");
}

TEST_F(Resources, MessageLevelsProgramNameAndHelpItem) {
  init({"-me", "warn"});
  EXPECT_EQ(MESS_get(), 0xFFu);
  MESS_reset();
  init({"-me", "+debug"});
  EXPECT_EQ(MESS_get(), 0xF00FFFFFu);
  for (auto args : {std::vector<std::string>{"-me", "mess", "-ba"}, {"-ba", "-me", "mess"}}) {
    MESS_reset();
    init(args);
    EXPECT_EQ(MESS_get(), 0xFFFu);  // an explicit level is kept by batch mode, whatever the order
  }
  EXPECT_STREQ(RES_get_prog(), "/usr/bin/stacont");
  char* copy = RES_get_progname(nullptr);
  EXPECT_STREQ(copy, "stacont");
  std::free(copy);
  testing::internal::CaptureStdout();
  for (int index : {65, 0, 500, 88}) RES_help_item(index);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "65\n0\n500\n -sc scale   Text and wind vector scale factor\n");
}

// Converts the text into a destination that starts as 7 and shows "result:value"; for the
// kinds that set a flag the value is the flag (and, for the device, the output name).
std::string conv(int kind, const char* text) {
  FLAG_reset(-9999);
  int i = 7;
  short s = 7;
  long l = 7;
  float f = 7;
  std::int64_t w = 7;
  const char* p = "7";
  char buf[RES_TEXT_LEN] = "7";
  void* dest = kind <= 2 ? static_cast<void*>(&i) : kind == 3 ? static_cast<void*>(&s)
             : kind == 4 ? static_cast<void*>(&l) : kind == 5 ? static_cast<void*>(&f)
             : kind == 19 ? static_cast<void*>(&w) : kind == 7 ? static_cast<void*>(buf) : static_cast<void*>(&p);
  const int rc = RES_conv_data(text, dest, kind);
  std::ostringstream v;
  switch (kind) {
    case 1: case 2: v << i; break;
    case 3: v << s; break;
    case 4: v << l; break;
    case 5: v << f; break;
    case 7: v << buf; break;
    case 16: v << FLAG_getl(15); break;
    case 17: v << FLAG_getl(2) << ' ' << p; break;
    case 18: v << FLAG_getl(11); break;
    case 19: v << w; break;
    case 22: v << FLAG_getl(19); break;
    case 23: v << FLAG_getl(20); break;
    default: v << (p == text ? "<same>" : p);
  }
  return std::to_string(rc) + ":" + v.str();
}

TEST(ResConv, ValueKinds) {
  const std::string long_text(1000, 'y');
  const struct {
    int kind;
    const char* text;
    std::string expect;
  } cases[] = {
      {1, nullptr, "1:1"}, {1, "false", "1:0"}, {1, "OFF", "1:0"}, {1, "No", "1:0"}, {1, "TRUE", "1:1"},
      {1, "on", "1:1"}, {1, "yes", "1:1"}, {1, "maybe", "1:7"},
      {2, "42", "1:42"}, {2, "0x1F", "1:31"}, {2, "-12", "1:-12"}, {2, "abc", "1:7"},
      {2, "99999999999999", "1:2147483647"}, {2, nullptr, "0:7"},
      {3, "-3", "1:7"}, {3, "300", "1:300"}, {4, "123456", "1:123456"},  // shorts, longs: a leading digit
      {5, "-2.5", "1:-2.5"}, {5, "x", "1:7"}, {19, "12345678901", "1:12345678901"},
      {6, "abc", "1:<same>"}, {7, long_text.c_str(), "1:" + std::string(RES_TEXT_LEN - 1, 'y')},
      {8, "/data", "1:/data/"}, {8, "/data/", "1:/data/"}, {8, "NONE", "1:"}, {8, nullptr, "0:7"},
      {16, "use", "1:3"}, {16, "OVER", "1:1"}, {16, "calc", "1:1"}, {16, "reuse", "1:3"},
      {16, "recalc", "1:1"}, {16, "app", "1:2"}, {16, "junk", "1:-9999"},
      {17, "p", "1:4 7"}, {17, "PostScript,plot.ps", "1:4 plot.ps"}, {17, "h", "1:5 7"}, {17, "Q", "1:5 7"},
      {17, "meta", "1:3 7"}, {17, "w", "1:6 7"}, {17, "d", "1:1 7"}, {17, "", "1:1 7"}, {17, nullptr, "1:1 7"},
      {18, "raw", "1:0"}, {18, "NONE", "1:99"}, {18, "gvalue", "1:17"}, {18, "ndln", "1:14"},
      {18, "stream", "1:23"}, {18, "number", "1:54"}, {18, "rteph", "1:65"}, {18, "contour", "1:-9999"},
      {22, nullptr, "1:1"}, {23, nullptr, "1:1"}};
  for (const auto& c : cases) EXPECT_EQ(conv(c.kind, c.text), c.expect) << c.kind << " " << (c.text ? c.text : "null");
  MESS_reset();
  EXPECT_EQ(RES_set_device("Hpgl"), 5);
  EXPECT_EQ(RES_set_device(nullptr), 1);
}

TEST(ResConv, DrawWords) {
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"map", {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},  // a first word without a sign starts from nothing
      {"map,+data", {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 2}},
      {"+map", {6, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 17}},
      {"-text", {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 4}},
      {"-text_ul,-SUM", {5, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 14}},
      {"text", {6, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 13}},
      {"none,+grid,+bord", {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 2}},
      {"text_lr,text_ll,+all,-map", {6, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 16}},
      {"+bogus,-", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}}};
  for (const auto& [text, expect] : cases) {
    FLAG_resetplot(1);
    RES_conv_data(text, nullptr, 10);
    std::vector<int> got;
    for (int i = 0; i < FLAG_NUM_PLOT; ++i) got.push_back(FLAG_getplot(i));
    EXPECT_EQ(got, expect) << text;
  }
}

TEST(ResConv, HourForms) {
  constexpr int M = -9999;
  const std::pair<const char*, std::array<int, 5>> cases[] = {  // year, month, day, hour, minute
      {"#199801051230", {1998, 1, 5, 12, 30}}, {"#1998010512", {1998, 1, 5, 12, M}}, {"#1998", {1998, M, M, M, M}},
      {"#1998x105", {1998, M, 5, M, M}},       {"#ab", {M, M, M, M, M}},             {"010512", {M, 1, 5, 12, M}},
      {"0512", {M, M, 5, 12, M}},              {"512", {M, M, 5, 12, M}},            {"3d12:00", {M, M, 3, 12, 0}},
      {"3d12", {M, M, 3, 12, M}},              {"-3d6", {M, M, -3, 6, M}},           {":30", {M, M, M, M, 30}},
      {"-:30", {M, M, M, M, -30}},             {"12:30", {M, M, M, 12, 30}},         {"12", {M, M, M, 12, M}},
      {"-0:30", {M, M, M, M, -30}},            {"-1:30", {M, M, M, -1, 30}},         {"", {M, M, M, M, M}},
      {"zz", {M, M, M, M, M}},                 {"99999999999999:5", {M, M, M, 2147483647, 5}}};
  for (const auto& [text, expect] : cases) {
    DateRec d;
    ASSERT_EQ(RES_decode_hour(text, &d), 1);
    EXPECT_EQ((std::array<int, 5>{d.year, d.month, d.day, d.hour, d.minute}), expect) << text;
    EXPECT_EQ(d.second, M);
    EXPECT_EQ(d.julian, M);
  }
  DateRec d;
  EXPECT_EQ(RES_decode_hour(nullptr, &d), 0);
  EXPECT_EQ(RES_conv_data(nullptr, &d, 12), 0);
  EXPECT_EQ(RES_conv_data("3d12:00", &d, 12), 1);  // handed on to the file module
  DateRec set;
  FILE_get_time(&set);
  EXPECT_EQ((std::array<int, 3>{set.day, set.hour, set.minute}), (std::array<int, 3>{3, 12, 0}));
  FILE_reset_time();
}

// ---- companion loop program ---------------------------------------------------------

TEST_F(Resources, LoopProgramSuppliesValues) {
  LoopServer server;
  ASSERT_TRUE(server.start({{"variable", "t"}, {"plot_domain", "!none"}, {"region", "\n"}, {"label", "loop"}}));
  MQ_set_timeout(5);
  write_file(dir_ + "/.zavdef", "plot_domain us\n");
  const std::string list = dir_ + ":#" + std::to_string(server.key());
  init({"-df", list, "-la", "cmd", "x"});
  EXPECT_EQ(get("variable"), "t");
  EXPECT_EQ(get("plot_domain"), "us");
  EXPECT_EQ(get("region"), "<unset>");
  EXPECT_EQ(get("label"), "cmd");
  const auto log = server.stop();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[1], "query res help");
  // The file value is offered back, then every option, then the end.
  EXPECT_EQ(std::vector<std::string>(log.end() - 4, log.end()),
            (std::vector<std::string>{"set res plot_domain us", "set res df " + list, "set res label cmd", "quit"}));
}

TEST_F(Resources, LoopProgramAbsentSilentOrVanishing) {
  LoopServer silent;
  ASSERT_TRUE(silent.start({}, LoopServer::Mode::silent));
  MQ_set_timeout(1);
  testing::internal::CaptureStderr();
  init({"-df", "#" + std::to_string(silent.key()) + ":#0:#abc", "-va", "t"});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ZAVloop window: " + std::to_string(silent.key()) +
                " unable to connect\n"
                "ZAVloop window: 0 not running or no message queue exists\n"
                "ZAVloop window: abc not running or no message queue exists\n");
  EXPECT_EQ(get("variable"), "t");
  silent.stop();
  LoopServer vanish;
  ASSERT_TRUE(vanish.start({}, LoopServer::Mode::vanish));
  MQ_set_timeout(5);
  testing::internal::CaptureStderr();
  init({"-df", "#" + std::to_string(vanish.key()), "-va", "t"});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ZAVloop not running!\n");
  EXPECT_EQ(get("variable"), "t");
  MQ_set_timeout(100);
}

}  // namespace
