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
#include <sstream>

#include "config/flag.h"
#include "config/mess.h"
#include "config/mqueue.h"
#include "config/string.h"
#include "tests/support/config_table.h"
#include "tests/support/gwin_calls.h"
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

// ---- resource files, environment and command line together --------------------------

// The scripts of tests/data/config/resrc_calls.txt; "$D" in a word is the test's directory.
class ResScript : public Resources, public testing::WithParamInterface<Script> {
 protected:
  std::string d(const std::string& t) const { return with_dir(t, dir_); }
  V subst(const Args& a) const {
    V out;
    for (const auto& w : a) out.push_back(d(w));
    return out;
  }
  RunResult run_;
  std::filesystem::path cwd_ = std::filesystem::current_path();
  void TearDown() override {
    std::filesystem::current_path(cwd_);
    RES_set_converter(12, nullptr);
    Resources::TearDown();
  }

 public:
  Calls calls() {
    return {
        {"init", [this](const Args& a) { return init(subst(a)), ""; }},
        {"get",  // the values of the resources, joined by '|'
         [this](const Args& a) {
           std::string s;
           for (std::size_t i = 0; i < a.size(); ++i) s += (i ? "|" : "") + get(a[i].c_str());
           return s;
         }},
        {"many",  // -u<i> options, each followed by its value f<i+1>
         [this](const Args& a) {
           V args;
           for (int i = 0; i < to_i(a[0]); ++i) args.push_back(i % 2 ? "f" + std::to_string(i) : "-u" + std::to_string(i));
           return init(args), "";
         }},
        {"FLAG_batch", [](const Args&) { return num(FLAG_batch() ? 1 : 0); }},
        {"FLAG_help", [](const Args&) { return num(FLAG_help() ? 1 : 0); }},
        {"FLAG_get", [](const Args& a) { return num(FLAG_get(to_i(a[0]))); }},
        {"list_of",  // the count and the items
         [](const Args& a) {
           int count = -1;
           char** list = nullptr;
           std::string s = num(RES_getvals(a[0].c_str(), &count, &list));
           for (int i = 0; i < count; ++i) s += "|" + std::string(list[i]);
           free_parsed_array(count, list);
           return s;
         }},
        {"RES_clear", [](const Args&) { return RES_clear(), ""; }},
        {"RES_put", [](const Args& a) { return num(RES_put(a[0].c_str(), a[1] == "<null>" ? nullptr : a[1].c_str())); }},
        {"RES_new", [](const Args& a) { return num(RES_new(to_i(a[0]), a[1].c_str(), a[2].c_str(), to_i(a[3]))); }},
        {"RES_append", [](const Args& a) { return num(RES_append(to_i(a[0]), a[1].c_str(), a[2].c_str(), to_i(a[3]))); }},
        {"RES_list", [](const Args&) { return captured(RES_list); }},
        {"MESS_reset_state", [](const Args&) { return MESS_reset_state(), ""; }},
        {"MESS_get",
         [](const Args&) {
           char b[16];
           std::snprintf(b, sizeof b, "%X", MESS_get());
           return std::string(b);
         }},
        {"progname",
         [](const Args&) {
           char* copy = RES_get_progname(nullptr);
           const std::string s = copy;
           std::free(copy);
           return s;
         }},
        {"RES_help_item", [](const Args& a) { return captured([&] { RES_help_item(to_i(a[0])); }); }},
        {"RES_set_device", [](const Args& a) { return num(RES_set_device(a[0] == "<null>" ? nullptr : a[0].c_str())); }},
        {"write", [this](const Args& a) { return write_file(d(a[0]), a[1]), ""; }},
        {"mkdir", [this](const Args& a) { return num(std::filesystem::create_directory(d(a[0])) ? 1 : 0); }},
        {"setenv", [this](const Args& a) { return num(setenv(a[0].c_str(), d(a[1]).c_str(), 1)); }},
        {"unsetenv", [](const Args& a) { return num(unsetenv(a[0].c_str())); }},
        {"clear_environment", [](const Args&) { return clear_environment(), ""; }},
        {"chdir", [this](const Args& a) { return std::filesystem::current_path(a[0] == "back" ? cwd_ : std::filesystem::path(d(a[0]))), ""; }},
        {"capture_err", [](const Args&) { return testing::internal::CaptureStderr(), ""; }},
        {"stderr", [](const Args&) { return testing::internal::GetCapturedStderr(); }},
        {"converter",  // the hour's conversion registered: it sees the text and stores 7
         [](const Args& a) {
           static std::string seen;
           RES_set_converter(12, a[0] == "on" ? +[](const char* text, void* destination) {
             seen = text;
             *static_cast<int*>(destination) = 7;
             return 1;
           } : nullptr);
           return seen;
         }},
        {"conv_hour",  // the answer and the value (starting as 0)
         [](const Args& a) {
           int value = 0;
           const int rc = RES_conv_data(a[0] == "<null>" ? nullptr : a[0].c_str(), &value, 12);
           return num(rc) + "|" + num(value);
         }},
        {"stacont",  // the program with the input (first word) and the arguments; then its status
         [this](const Args& a) {
           std::map<std::string, std::string> env;
           for (const char* n : {"zavfile", "zavfile_path", "zavdefault", "zavstacont.file_path", "zavtz"}) env[n] = "";
           env["zavdata"] = "/env/d";
           run_ = run_stacont(subst(Args(a.begin() + 1, a.end())), a[0], env, dir_, 30);
           return num(run_.status);
         }},
        {"out", [this](const Args&) { return run_.out; }},
    };
  }
};
TEST_P(ResScript, Calls) { run_calls(GetParam(), calls()); }
INSTANTIATE_TEST_SUITE_P(Script, ResScript, testing::ValuesIn(scripts_of("config/resrc_calls.txt")), script_name);

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
