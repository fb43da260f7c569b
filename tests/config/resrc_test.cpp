#include "config/resrc.h"

#include <gtest/gtest.h>
#include <sys/msg.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "config/flag.h"
#include "config/mess.h"
#include "config/mqueue.h"
#include "config/string.h"
#include "tests/support/config_table.h"
#include "tests/support/run.h"

extern char** environ;

// The lists of the surface contouring program.
constexpr int keyed[] = {57, 3,  73, 48, 41, 39, 55, 94, 63, 106, 112, 113, 114, 6,  72, 76, 64, 80, 47, 40,
                         58, 78, 60, 84, 110, 96, 98, 105, 79, 89, 88, 85, 86, 44, 69,  37, 35, 51, 27, 28,
                         13, 23, 17, 22, 16, 31, 9,  32, 10, 11, 15, 20, 8,  46, 102, 59, 2,  53, 0};
constexpr int positional[] = {50, 0};

using V = std::vector<std::string>;

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_environment();
    setenv("zavdefault", dir_.c_str(), 1);  // no resource files until a test writes one
  }
  void TearDown() override {
    clear_environment();
    RES_reset_state();
    MESS_reset_state();
    std::filesystem::remove_all(dir_);
  }
  static void clear_environment() {
    V names;
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "zav", 3) == 0) names.emplace_back(*e, std::strcspn(*e, "="));
    for (const auto& n : names) unsetenv(n.c_str());
  }
  // Decodes a command line of the program "stacont".
  void init(V args) {
    args_ = std::move(args);
    args_.insert(args_.begin(), "/usr/bin/stacont");
    argv_.clear();
    for (auto& a : args_) argv_.push_back(a.data());
    argv_.push_back(nullptr);
    RES_init(static_cast<int>(args_.size()), argv_.data(), keyed, positional);
  }
  static std::string get(const char* name) { return RES_get(name) ? RES_get(name) : "<unset>"; }
  // The values of the resources after decoding the command line.
  V values(V args, std::vector<const char*> names) {
    init(std::move(args));
    V out;
    for (const char* n : names) out.push_back(get(n));
    return out;
  }
  std::string dir_ = make_temp_dir("resrc");
  V args_;  // the program keeps the command line
  std::vector<char*> argv_;
};

TEST_F(Resources, CommandLineForms) {
  for (const TableRow& row : read_table("config/resrc.tsv", "command_line")) {
    SCOPED_TRACE(row.where);
    init(V(row.field.begin() + 2, row.field.end()));
    EXPECT_EQ(get(row[0].c_str()), row[1]);
  }
}

TEST_F(Resources, FlagsListsAndStore) {
  init({"-ba", "-va", "t"});
  EXPECT_TRUE(FLAG_batch() && !FLAG_help());
  EXPECT_EQ(FLAG_get(0), -9999);  // every other flag was reset
  init({"--he"});
  EXPECT_TRUE(FLAG_help() && !FLAG_batch());
  init({"one", "-va", "t", "two", "-of", "cdf,zav,,"});
  const auto list_of = [](const char* name) {
    int count = -1;
    char** list = nullptr;
    const int n = RES_getvals(name, &count, &list);
    V items(list, list + count);
    free_parsed_array(count, list);
    return std::pair{n, items};
  };
  EXPECT_EQ(list_of("filename"), (std::pair{2, V{"one", "two"}}));  // positional names: a newline list
  EXPECT_EQ(list_of("out_file"), (std::pair{2, V{"cdf", "zav"}}));  // every other kind: a comma list
  EXPECT_EQ(list_of("region"), (std::pair{0, V{}}));
  V many;  // decoding stays linear in the number of arguments
  for (int i = 0; i < 20000; ++i) many.push_back(i % 2 ? "f" + std::to_string(i) : "-u" + std::to_string(i));
  EXPECT_EQ(values(many, {"u19998", "filename"}), (V{"f19999", "<unset>"}));
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

TEST_F(Resources, MessageLevelsProgramNameAndHelpItem) {
  const std::pair<V, unsigned> levels[] = {{{"-me", "warn"}, 0xFFu},      {{"-me", "+debug"}, 0xF00FFFFFu},
                                            {{"-ba"}, 0xFFu},               {{"-me", "mess", "-ba"}, 0xFFFu},
                                            {{"-ba", "-me", "mess"}, 0xFFFu}};  // batch keeps an explicit level
  for (const auto& [args, level] : levels) {
    MESS_reset_state();
    init(args);
    EXPECT_EQ(MESS_get(), level) << testing::PrintToString(args);
  }
  char* copy = RES_get_progname(nullptr);
  EXPECT_STREQ(copy, "stacont");
  std::free(copy);
  testing::internal::CaptureStdout();
  for (int index : {65, 0, 500, 88}) RES_help_item(index);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "65\n0\n500\n -sc scale   Text and wind vector scale factor\n");
}

// "result:value" after converting the text into a destination of the kind's type that
// starts as 7; for the kinds that set a flag, "/flag" follows.
std::string conv(const char* text, int kind) {
  FLAG_reset(-9999);
  std::ostringstream out;
  const auto into = [&](auto value) { out << RES_conv_data(text, &value, kind) << ':' << value; };
  if (kind <= 2)
    into(7);
  else if (kind == 3)
    into(short{7});
  else if (kind == 4)
    into(7L);
  else if (kind == 5)
    into(7.0f);
  else if (kind == 19)
    into(std::int64_t{7});
  else
    into(static_cast<const char*>("7"));
  const int flag = kind == 16 ? 15 : kind == 17 ? 2 : kind == 18 ? 11 : kind == 22 ? 19 : kind == 23 ? 20 : -1;
  if (flag >= 0) out << '/' << FLAG_getl(flag);
  return out.str();
}

TEST(ResConv, ValueKinds) {
  for (const TableRow& row : read_table("config/resrc.tsv", "conv")) EXPECT_EQ(conv(row.text(0), row.num(1)), row[2]) << row.where;
  MESS_reset_state();
  char buf[RES_TEXT_LEN];
  RES_conv_data(std::string(1000, 'y').c_str(), buf, 7);
  EXPECT_EQ(std::string(buf), std::string(RES_TEXT_LEN - 1, 'y'));
  EXPECT_EQ(RES_set_device("Hpgl"), 5);
  EXPECT_EQ(RES_set_device(nullptr), 1);
}

// The help of -pl names exactly the words the option accepts: every word of the program's
// table is listed, and every word listed sets the plot type flag.
TEST(ResConv, PlotTypeHelpListsEveryWord) {
  testing::internal::CaptureStdout();
  RES_help_item(89);
  const std::string help = testing::internal::GetCapturedStdout();
  ASSERT_EQ(help.rfind(" -pl type    Plot type, one of:\n", 0), 0u) << help;
  std::set<std::string> listed;
  std::istringstream lines(help.substr(help.find('\n') + 1));
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), 80u) << line;
    std::istringstream items(line);
    for (std::string word; std::getline(items >> std::ws, word, ',');) listed.insert(word);
  }
  std::set<std::string> table;
  for (int i = 0; RES_plot_type_word(i); ++i) table.insert(RES_plot_type_word(i));
  EXPECT_EQ(listed, table);
  EXPECT_GE(table.size(), 22u);
  for (const auto& word : listed) EXPECT_NE(conv(word.c_str(), 18), "1:7/-9999") << word;
}

TEST(ResConv, DrawWords) {
  for (const TableRow& row : read_table("config/resrc.tsv", "draw")) {
    FLAG_resetplot(1);
    RES_conv_data(row[0].c_str(), nullptr, 10);
    std::string got;
    for (int i = 0; i < FLAG_NUM_PLOT; ++i) got += (i ? " " : "") + std::to_string(FLAG_getplot(i));
    EXPECT_EQ(got, row[1]) << row.where;
  }
}

// The hour is converted by the module that registers the conversion: the text reaches it
// whole, a null text does not.
TEST(ResConv, RegisteredConversionOfTheHour) {
  static std::string seen;
  RES_set_converter(12, [](const char* text, void* destination) {
    seen = text;
    *static_cast<int*>(destination) = 7;
    return 1;
  });
  int value = 0;
  EXPECT_EQ(RES_conv_data(nullptr, &value, 12), 0);
  EXPECT_EQ(RES_conv_data("3d12:00", &value, 12), 1);
  EXPECT_EQ(seen + ":" + std::to_string(value), "3d12:00:7");
  RES_set_converter(12, nullptr);
  EXPECT_EQ(RES_conv_data("12", &value, 12), 1);  // unregistered: nothing converted
  EXPECT_EQ(value, 7);
}

// ---- resource files, environment and command line together --------------------------

const char* const zav_cfg =
    "# site defaults\n"
    "IF test\n*.file_path /tmp/a\nELSE\n*.file_path /tmp/b\nEND\n"
    "stacont.data_path /data/stacont\nsfc.con_path /never\n*.*.grid_path /grid/plus\n"
    "stn.variable t\nstacont.stn.variable td\n*.my_setting \"two words\"\nother.unknown_thing x\n"
    "IF quiet\n*.batch\ttrue\nEND\n";

TEST_F(Resources, FileTagsAndPatternsForProgramAndTitle) {
  write_file(dir_ + "/zav.cfg", zav_cfg);
  EXPECT_EQ(values({}, {"file_path", "data_path", "con_path", "grid_path", "variable", "my_setting", "unknown_thing"}),
            (V{"/tmp/b", "/data/stacont", "<unset>", "<unset>", "<unset>", "two words", "<unset>"}));
  EXPECT_EQ(FLAG_batch(), 0);
  EXPECT_EQ(values({"-df", "+test:+quiet:" + dir_}, {"file_path"}), V{"/tmp/a"});
  EXPECT_GT(FLAG_batch(), 0);  // file values are converted like options
  // A title replaces the program name; a '+' title keeps it: stacont.stn.resource.
  EXPECT_EQ(values({"-na", "stn"}, {"variable", "data_path", "file_path", "grid_path", "name"}),
            (V{"t", "<unset>", "/tmp/b", "<unset>", "stn"}));
  EXPECT_EQ(values({"-na=+stn"}, {"variable", "grid_path", "data_path"}), (V{"td", "/grid/plus", "<unset>"}));
}

TEST_F(Resources, FileThenEnvironmentThenCommandLine) {
  write_file(dir_ + "/zav.cfg", zav_cfg);
  // Each variable added wins over the ones before; the last two only under their titles.
  for (auto [name, title] : {std::pair{"zavfile_path", ""}, {"zavfile", ""}, {"zavstacont.file_path", ""},
                             {"zavstn.file_path", "-na=stn"}, {"zavstacont.stn.file_path", "-na=+stn"}}) {
    setenv(name, name, 1);
    EXPECT_EQ(values(*title ? V{title} : V{}, {"file_path"}), V{name});
  }
  EXPECT_EQ(values({"-fp", "/cmd", "-df", "+test:" + dir_}, {"file_path"}), V{"/cmd"});
  // The list of files from the environment, replaced by the option; later files win.
  const std::string other = dir_ + "/other";
  std::filesystem::create_directory(other);
  write_file(other + "/.zavdef", "*.data_path /other/data\n");
  clear_environment();
  const char bad[] = "ELSE\nEND\nIF x\n\0\0\xff\n*.con_path \"unterminated\n";  // a broken file does no harm
  write_file(dir_ + "/bad", std::string(bad, sizeof bad - 1) + "*.data_path " + std::string(10240, 'x') + "\n");
  setenv("zavdefault", (dir_ + "/bad:" + dir_ + ":" + other).c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(values({}, {"file_path", "data_path", "con_path"}), (V{"/tmp/b", "/other/data", "<unset>"}));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("DEF_get: else without an if\nDEF_get: end without an if\n"), std::string::npos) << err;
  EXPECT_EQ(values({"-default", dir_}, {"data_path"}), V{"/data/stacont"});
  unsetenv("zavdefault");  // without a list the current directory comes first
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(other);
  EXPECT_EQ(values({}, {"data_path"}), V{"/other/data"});
  std::filesystem::current_path(cwd);
}

// The program itself: "set" at the first prompt lists the store that the files, the
// environment and the command line made; the end of input then ends it cleanly.
TEST_F(Resources, SetAtThePromptListsTheStore) {
  write_file(dir_ + "/zav.cfg", zav_cfg);
  const std::map<std::string, std::string> env = {{"zavfile", ""}, {"zavfile_path", ""}, {"zavdefault", ""},
                                                  {"zavstacont.file_path", ""}, {"zavdata", "/env/d"}, {"zavtz", ""}};
  const RunResult r = run_stacont({"-df", "+test:" + dir_, "-cp", "/cmd/con"}, "set\n", env, dir_, 30);
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* line : {"Set resources\n", "file_path: /tmp/a\n", "data_path: /env/d\n", "con_path: /cmd/con\n",
                           "my_setting: two words\n", "End of input: exiting\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

// ---- companion loop program ---------------------------------------------------------

// A stand-in for the companion loop program: a forked child that serves one client on a
// private System V message queue and logs every text it received into log_path;
// silent: a queue that nobody serves.
class LoopServer {
 public:
  explicit LoopServer(std::string log) : log_path(std::move(log)) {}
  bool start(const std::map<std::string, std::string>& answers, bool silent = false) {
    for (int i = 0; i < 200 && qid_ < 0; ++i)
      qid_ = msgget(key_ = 0x53000000 + ((getpid() & 0xFFFF) << 8) + i, IPC_CREAT | IPC_EXCL | 0600);
    if (qid_ >= 0 && !silent && (pid_ = fork()) == 0) serve(answers);
    return qid_ >= 0 && (silent || pid_ > 0);
  }
  struct Msg { long mtype; char mtext[MQ_TEXT_LEN]; };
  void put(long type, const std::string& text) {  // a message on the queue, as the program sends it
    Msg m{type, {}};
    std::strncpy(m.mtext, text.c_str(), sizeof m.mtext - 1);
    msgsnd(qid_, &m, std::strlen(m.mtext) + 1, IPC_NOWAIT);
  }
  int key() const { return key_; }
  V stop() {  // removing the queue ends the server; returns the texts it received
    if (qid_ >= 0) msgctl(qid_, IPC_RMID, nullptr);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    qid_ = pid_ = -1;
    V log;
    std::istringstream lines(read_file(log_path));
    for (std::string line; std::getline(lines, line);) log.push_back(line);
    return log;
  }
  ~LoopServer() { stop(); }
  std::string log_path;

 private:
  [[noreturn]] void serve(const std::map<std::string, std::string>& answers) {
    alarm(30);  // never outlive a broken test
    Msg m{};
    std::string log;
    if (msgrcv(qid_, &m, sizeof m.mtext, 1, 0) >= 0) {
      log = std::string("uid ") + m.mtext + "\n";
      put(2, "10");
      while (msgrcv(qid_, &m, sizeof m.mtext, 10, 0) >= 0) {
        const std::string text = m.mtext;
        log += text + "\n";
        const auto it = text.rfind("query res ", 0) == 0 ? answers.find(text.substr(10)) : answers.end();
        put(11, it != answers.end() ? it->second : text.rfind("query", 0) == 0 ? "" : "ok");
        if (text == "quit") break;
      }
    }
    write_file(log_path, log);
    _exit(0);
  }
  int key_ = 0, qid_ = -1;
  pid_t pid_ = -1;
};

TEST_F(Resources, LoopProgramSuppliesValues) {
  LoopServer server{dir_ + "/loop.log"};
  ASSERT_TRUE(server.start({{"variable", "t"}, {"plot_domain", "!none"}, {"region", "\n"}, {"label", "loop"}}));
  server.put(2, "99");  // a stale connect reply that must not be taken as ours
  MQ_set_timeout(5);
  write_file(dir_ + "/.zavdef", "plot_domain us\n");
  const std::string list = dir_ + ":#" + std::to_string(server.key()), title(500, 'x');
  EXPECT_EQ(values({"-df", list, "-la", "cmd", "-ti", title}, {"variable", "plot_domain", "region", "label"}),
            (V{"t", "us", "<unset>", "cmd"}));
  const V log = server.stop();
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[0], "uid " + std::to_string(getuid()));
  EXPECT_EQ(log[1], "query res help");
  // The file value is offered back, then every option (cut to the message size), then the end.
  EXPECT_EQ(V(log.end() - 5, log.end()), (V{"set res plot_domain us", "set res df " + list, "set res label cmd",
                                             ("set res title " + title).substr(0, MQ_TEXT_LEN - 1), "quit"}));
}

TEST_F(Resources, LoopProgramAbsentOrSilent) {
  LoopServer silent{dir_ + "/loop.log"};
  ASSERT_TRUE(silent.start({}, true));
  MQ_set_timeout(1);
  testing::internal::CaptureStderr();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(values({"-df", "#" + std::to_string(silent.key()) + ":#0:#abc", "-va", "t"}, {"variable"}), V{"t"});
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 5.0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ZAVloop window: " + std::to_string(silent.key()) +
                " unable to connect\n"
                "ZAVloop window: 0 not running or no message queue exists\n"
                "ZAVloop window: abc not running or no message queue exists\n");
  MQ_set_timeout(100);
}
