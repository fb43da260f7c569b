// Variable requests: grammar, roles, keyword tables, the variable file (macros,
// menu conditions, batch answers), labels and hostile input.
#include "surface/var_tool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <tuple>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/system.h"
#include "config/menu.h"
#include "config/resrc.h"
#include "files/date.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"

namespace {

using surface_cases::num;
using surface_cases::Row;
const std::vector<Row>& cases(const char* block) { return surface_cases::rows("var_tool_cases.txt", block); }

// The grid module's function names, as far as these tests use them: the parser only
// asks the recognisers that are registered with it.
int test_func_class(const char* name) {
  const std::string n(name, std::strcspn(name, "-"));
  if (n == "wind") return 20;
  if (n == "vect") return 21;
  if (n == "strm" || n == "stream") return 23;
  return n == "add" || n == "mul" || n == "sub" ? 10 : 0;
}
int test_vect_func(const char* name) { return std::strcmp(name, "grad") == 0 || std::strcmp(name, "vdiff") == 0; }


class Var : public ::testing::Test {
 protected:
  void SetUp() override {
    // A variable file of macros, continuation lines and menu conditions.
    write_file(dir_ + "/test.var", read_file(std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/test.var"));
    RES_put("file_path", dir_.c_str());
    FLAG_reset(-9999);
    FLAG_set_batch(0);
    VAR_reset_state();
    VAR_set_grid_funcs(test_func_class, test_vect_func);
    ASSERT_EQ(VAR_open_file("test.var"), 1);
  }
  void TearDown() override {
    RES_clear();
    FLAG_reset(-9999);
  }
  // VAR_setup with its standard error; the result then the messages.
  std::pair<int, std::string> setup_quiet(const std::string& spec) {
    testing::internal::CaptureStderr();
    const int status = VAR_setup(nullptr, spec.c_str());
    return {status, testing::internal::GetCapturedStderr()};
  }
  std::string dir_ = make_temp_dir("var");
};

// Every record as name/role/type.
std::string roles() {
  std::string s;
  for (int i = 0; i < VAR_get_num(); ++i)
    s += VAR_get_name(i) + ("/" + std::to_string(VAR_get_flag(i))) + "/" + std::to_string(VAR_get_type(i)) + " ";
  return s;
}

// Record i in full: name|units|type|role|var number|time|level type/level|format.
std::string record(int i) {
  const VarRec& r = *VAR_get_var(i);
  char b[256];
  std::snprintf(b, sizeof b, "%s|%s|%d|%d|%d|%d|%d/%d|%s", r.name, r.units, r.type, r.flag, r.var, r.time, r.ltype,
                r.level, r.format);
  return b;
}

TEST_F(Var, FirstRecordOfEachRequest) {
  write_file(dir_ + "/other.var", "dd  Dew  1  dewp[C]\n");
  for (const Row& c : cases("first")) {
    FLAG_set(11, num(c[2]));
    ASSERT_EQ(VAR_setup(nullptr, c[0].c_str()), 1) << c[0];
    EXPECT_EQ(record(0), c[1]) << c[0];
    ASSERT_EQ(VAR_open_file("test.var"), 1);
  }
  ASSERT_EQ(VAR_setup(nullptr, "12hr-6acc:sfc:prec,tdw[K]"), 1);
  EXPECT_EQ(VAR_get_time_key(0) + "/" + VAR_get_level_key(0), "4006012/0");
  EXPECT_EQ(VAR_search_var_num("rhum-3") * 1000 + VAR_search_var_num("nothing"), 52000);
}

TEST_F(Var, ProgramTimeAndLevelOptions) {
  RES_put("time", "2d");
  RES_put("level", "500mb");
  ASSERT_EQ(VAR_setup(nullptr, "dewp,anal:sfc:rhum,time:level:dewp,::rhum"), 1);
  std::string got;
  for (int i = 0; i < VAR_get_num(); ++i) got += record(i) + " ";
  EXPECT_EQ(got, "dewp||11|0|17|48|100/500| rhum||11|0|52|0|1/0| dewp||11|0|17|48|100/500| rhum||11|0|52|48|100/500| ");
}

TEST_F(Var, Grammar) {
  for (const Row& c : cases("grammar")) {
    ASSERT_EQ(VAR_setup(nullptr, c[0].c_str()), 1) << c[0];
    EXPECT_EQ(roles(), c[1]) << c[0];
  }
}

TEST_F(Var, BadRequestsStopWithMessage) {
  for (const Row& c : cases("bad_requests")) {
    const std::string err = setup_quiet(c[0]).second;
    EXPECT_NE(err.find(c[1]), std::string::npos) << c[0] << ": " << err;
    EXPECT_EQ(VAR_get_num(), num(c[2])) << c[0];
  }
}

TEST_F(Var, HostileRequests) {
  auto repeat = [](const std::string& text, int n) { std::string out; while (n--) out += text; return out; };
  // Status, a message (empty: any), at most how many records and the first name (empty: any).
  // A request is at most 96 characters: a longer one would have been cut into something
  // else, and is refused whole. Within the limit, repeated mistakes give a few warnings, not
  // one each.
  const std::string refused = "VAR_setup: Variable request of ";
  const struct { std::string spec; int status; std::string message; int records; std::string first; } cases[] = {
      {std::string(96, 'x'), 1, "", 1, std::string(19, 'x')},
      {std::string(97, 'x'), 0, refused + "97 characters is longer than 96: " + std::string(40, 'x') + "...\n", 0, ""},
      {std::string(200000, 'x'), 0, refused + "200000 characters is longer than 96", 0, ""},
      {repeat("dewp,", 5000), 0, refused + "25000 characters", 0, ""},
      {"fi:" + std::string(200000, 'f') + ":dewp", 0, refused + "200008 characters", 0, ""},
      {repeat("[x],", 24), 0, "Further warnings about this specification are left out\n", 0, ""},
      {std::string(96, '('), 0, "Unmatched ()\n", 0, ""},
      {repeat("{", 46) + "dewp" + repeat("}", 46), 1, "nested too deeply", 10, ""}};
  for (const auto& c : cases) {
    const auto [status, err] = setup_quiet(c.spec);
    EXPECT_EQ(status, c.status) << c.spec.substr(0, 20);
    EXPECT_NE(err.find(c.message), std::string::npos) << c.spec.substr(0, 20) << ": " << err;
    EXPECT_LT(err.size(), 1000u);
    EXPECT_LE(VAR_get_num(), c.records);
    EXPECT_TRUE(c.first.empty() || c.first == VAR_get_name(0)) << VAR_get_name(0);
  }
  EXPECT_EQ(setup_quiet("[x],[x],[x],[x],[x]").second.find("Further"), std::string::npos);
  // Nothing was asked in batch mode: the run's status is untouched. In batch mode a request
  // that is refused, or that yields no variable, makes it 20.
  EXPECT_EQ(ZAV_status(), 0);
  FLAG_set_batch(1);
  EXPECT_EQ(setup_quiet("dewp").first, 1);
  EXPECT_EQ(ZAV_status(), 0);
  EXPECT_EQ(setup_quiet("temp]]]]").first, 0);
  EXPECT_EQ(ZAV_status(), ZAV_STATUS_VARIABLE);
  FLAG_set_batch(0);
  // Definitions that fan out into one another without making records.
  std::string file;
  for (int level = 1; level < 5; ++level)
    file += "m" + std::to_string(level) + " Fan 1 " + repeat("m" + std::to_string(level + 1) + ",", 10) + "\n";
  write_file(dir_ + "/fan.var", file + "m5 Empty 1 ()\n");
  ASSERT_EQ(VAR_open_file("fan.var"), 1);
  const auto [fan_status, fan_err] = setup_quiet("m1");
  EXPECT_EQ(fan_status, 0);
  EXPECT_NE(fan_err.find("Too many named variables expanded"), std::string::npos);
}

TEST(VarKeywords, PlotTypes) {
  for (const Row& c : cases("plot_types")) {
    const int code = num(c[1]);
    EXPECT_EQ(c[0] != "-" ? VAR_dec_type(c[0].c_str()) : code, code) << c[0];
    EXPECT_STREQ(VAR_print_type(code), c[2].c_str()) << code;
  }
}

TEST(VarKeywords, NamedLevels) {
  for (const Row& c : cases("named_levels")) {
    int lt = 0, lv = 1, lt2 = 0, lv2 = 0;
    const int ltype = num(c[1]);
    EXPECT_EQ(VAR_dec_level(c[0].c_str(), &lt, &lv), 1) << c[0];
    VAR_dec_level(VAR_level(lt, lv).c_str(), &lt2, &lv2);  // printed back and read again
    EXPECT_EQ(std::tuple(lt, lv, lt2), std::tuple(ltype, ltype == -9999 ? -9999 : 0, ltype)) << c[0];
  }
  EXPECT_EQ(VAR_level(1, 0) + "|" + VAR_make_datalevel(1, 0) + "|" + VAR_make_datalevel(0, 0), "sfc|Surface|");
}

TEST(VarKeywords, NumericLevels) {
  for (const Row& c : cases("numeric_levels")) {
    int lt = 0, lv = 0;
    ASSERT_EQ(VAR_dec_level(c[0].c_str(), &lt, &lv), 1) << c[0];
    EXPECT_EQ(std::tuple(lt, lv, VAR_level(lt, lv), VAR_make_datalevel(lt, lv)),
              std::tuple(num(c[1]), num(c[2]), c[3], c[4]));
  }
  for (const char* bad : {"abc", "mb", "12", "5-mb", "1-2pv", "sfc[", "sfc[x]", "99999-1mb", "1.2.3sig"}) {
    int lt = 7, lv = 7;
    EXPECT_EQ(VAR_dec_level(bad, &lt, &lv) * 10 + lt, 7) << bad;
  }
  EXPECT_EQ(VAR_make_datalevel(99, 3), "");
}

TEST(VarKeywords, Times) {
  for (const Row& c : cases("times")) {
    int t = 12345;
    EXPECT_EQ(std::pair(VAR_dec_time(c[0].c_str(), &t), t), std::pair(num(c[1]), num(c[2]))) << c[0];
  }
  EXPECT_EQ(VAR_time(0) + VAR_time(2006012) + VAR_time(4006012), "0hr12hr-612hr-6acc");
  int t = 0;
  ASSERT_EQ(VAR_dec_time(VAR_time(6024024).c_str(), &t), 2);
  EXPECT_EQ(t, 6024024);
}

TEST_F(Var, PredicatesOnMixedRequest) {
  ASSERT_EQ(VAR_setup(nullptr, "map,dewp,add(dewp,rhum),w<uwnd,vwnd>,g{dewp},grad(rhum),dewp[:data]"), 1);
  // Records: 0 map/4, 1 dewp/0, 2 add/2, 3 dewp/10, 4 rhum/10, 5 w/6, 6 uwnd/1, 7 vwnd/1, 8 g/5,
  // 9 dewp/1, 10 grad/2, 11 grad/8, 12 rhum/10, 13 dewp/0 type 1.
  ASSERT_EQ(VAR_get_num(), 14);
  const struct { const char* name; int (*p)(int); const char* expected; } table[] = {
      {"REG", VAR_is_REG, "01011000000011"},   {"SUBREG", VAR_is_SUBREG, "00000011010000"},
      {"FUNC", VAR_is_FUNC, "00100000001000"}, {"COMP", VAR_is_COMP, "00000000100000"},
      {"VECT", VAR_is_VECT, "00000100000000"}, {"FUNC_VECT", VAR_is_FUNC_VECT, "00000000001100"},
      {"LABEL", VAR_is_LABEL, "01100100101001"}, {"SUBPLOT", VAR_is_SUBPLOT, "01111011011011"},
      {"type_GRID", VAR_is_type_GRID, "01111011011010"}, {"plot_CONT", VAR_is_plot_CONT, "01000000101100"},
      {"fit_GRID", VAR_is_fit_GRID, "01011011010010"}, {"get_GRID", VAR_is_get_GRID, "01011111110110"}};
  for (const auto& row : table) {
    std::string got;
    for (int i = 0; i < VAR_get_num(); ++i) got += row.p(i) ? '1' : '0';
    EXPECT_EQ(got, row.expected) << row.name;
    EXPECT_EQ(row.p(-1) + row.p(VAR_get_num()), 0) << row.name;
  }
}

TEST_F(Var, MenuConditionsPatternsAndBatchAnswer) {
  // Unconditional: tempc temp tdw aa cont.
  const struct { const char *model, *time, *level; int entries; } menus[] = {
      {"", "", "", 5}, {"ngm", "", "", 7}, {"ruc", "", "", 5}, {"ruc", "12", "sfc", 6}, {"avn", "6", "sfc", 7}};
  for (const auto& m : menus) {
    VAR_set_model_str(m.model), VAR_set_time_str(m.time), VAR_set_level_str(m.level);
    EXPECT_EQ(VAR_read_menu(), m.entries) << m.model << m.time << m.level;
  }
  for (const Row& c : cases("menu_patterns"))
    EXPECT_EQ(VAR_menu_display(c[0].c_str(), c[1].c_str()), num(c[2])) << c[0] << " / " << c[1];
  // In batch mode the answer is the first entry, or "def" with an empty menu.
  VAR_set_model_str("");
  FLAG_set_batch(1);
  char answer[MENU_ANSWER_LEN] = "";
  VAR_read_menu();
  EXPECT_EQ(std::to_string(VAR_menu("Menu", "Enter: ", answer, 3)) + answer, "1tempc");
  write_file(dir_ + "/empty.var", "only  Nothing  0  temp\n");
  ASSERT_EQ(VAR_open_file("empty.var"), 1);
  EXPECT_EQ(VAR_read_menu(), 0);
  EXPECT_EQ(std::to_string(VAR_menu("Menu", "Enter: ", answer, 3)) + answer, "1def");
}

TEST_F(Var, VariableFileLimitsJunkAndAbsence) {
  std::string big, junk = "ok Fine 1 dewp[C]\n";
  for (int i = 0; i < 60; ++i) big += "v" + std::to_string(i) + " Var_" + std::to_string(i) + " 1 temp\n";
  for (int i = 0; i < 2000; ++i) junk += std::string(1, static_cast<char>(i % 256)) + "\x01\xff\\\n";
  write_file(dir_ + "/big.var", big);
  write_file(dir_ + "/junk.var", junk + std::string(300000, 'z') + "\n" + std::string(1, '\0') + "zz Last 1 rhum\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(VAR_open_file("big.var"), 1);
  EXPECT_EQ(VAR_read_menu(), 49);
  EXPECT_EQ(VAR_open_file("junk.var"), 1);
  EXPECT_EQ(VAR_setup(nullptr, "ok"), 1);
  EXPECT_STREQ(VAR_get_units(0), "C");
  EXPECT_EQ(VAR_lookup("zz"), "rhum");
  EXPECT_EQ(VAR_open_file("nothere.var"), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("VAR_open_file: Unable to open var file: " + dir_ + "/nothere.var"), std::string::npos) << err;
  EXPECT_EQ(VAR_read_menu(), 0);
  ASSERT_EQ(VAR_setup(nullptr, "tempc"), 1);
  EXPECT_STREQ(VAR_get_name(0), "tempc");
}

TEST_F(Var, ShippedVariableFileDefinesEverySurfaceVariable) {
  ASSERT_EQ(VAR_open_file((std::string(STACONT_DATA_DIR) + "/stacont.var").c_str()), 1);
  const int entries = VAR_read_menu();
  EXPECT_TRUE(entries >= 40 && entries <= 49) << entries;
  std::istringstream names(
      "city temp ttd dewp dewd wdir wspd wgst wind wbrb wbrbc hwind uwnd vwnd uwndg vwndg alt pralt pres elev wx vis "
      "cldcl cldclc cldcv nlcld ptend prec3 prec6 prec12 prec24 prec extt maxt6 maxt24 mint6 mint24 maxt mint snwdp "
      "lcld mcld hcld solar sst wavper wavhgt vpres svpres wchilt wchill wchill2 wchilf heat humit mrat smrat shum "
      "rhum wetblb thetaw thetae thetav theta vtemp fr");
  for (std::string n; names >> n;) EXPECT_TRUE(VAR_lookup(n.c_str()) != "" && VAR_search_var_num(n.c_str()) > 0) << n;
}

// A period given with a named variable wins over the variable file's; the kind word of
// the definition stays when the user gives none.
TEST_F(Var, PeriodGivenWithANamedVariableWins) {
  for (const Row& c : cases("period")) {
    ASSERT_EQ(VAR_setup(nullptr, c[0].c_str()), 1) << c[0];
    EXPECT_EQ(VAR_get_time(0), num(c[1])) << c[0];
  }
}

TEST_F(Var, Labels) {
  EXPECT_EQ(VAR_make_datatype(0, 100, 500, 11, "C"), "500 mb Temperature (C)");
  EXPECT_EQ(VAR_make_datatype(0, -9999, -9999, 19343052, ""), "Relative humidity");
  EXPECT_EQ(VAR_str(17) + "|" + VAR_str(999), "Dew point|v999");
  ASSERT_EQ(VAR_setup(nullptr, "12:sfc:add(dewp,#2)[C],12:500mb:foo[K]"), 1);
  EXPECT_EQ(VAR_make_var_datatype(1) + "|" + VAR_make_var_datatype(3), "Surface Dew point|500 mb foo (K)");
  EXPECT_EQ(VAR_make_var_form_datatype(0), "Surface add(dewp, 2) (C)");
  EXPECT_EQ(std::string(VAR_model(70)) + "|" + VAR_source(7), "Spectral model|US NWS NCEP");
  EXPECT_EQ(VAR_model(12345), nullptr);
  // The model list names the models of the date labels, as the program registers it.
  DATE_set_model_lookup(VAR_model);
  char buf[DATE_LABEL_LEN];
  const DateRec h00{1998, 1, 5, -9999, -9999, 0, -9999, -9999};
  DATE_make_label_for_time(12, 1, &h00, buf);
  EXPECT_STREQ(buf, "12 hour Objective analysis valid 12Z MON  5 JAN 98");
  DATE_make_label_for_time(12, 31999, &h00, buf);
  EXPECT_STREQ(buf, "12 hour valid 12Z MON  5 JAN 98");
  DATE_set_model_lookup(nullptr);
  // Label styles from the plot parameters: the first four letters, any case.
  const struct { const char* words; int style; const char* label; } cases[] = {
      {"labmin", -2, "temp (C)"}, {"x,LABSIMP", -1, "500 mb temp (C)"}, {"labcomp,other", 1, "500 mb Temperature (C)"}};
  for (const auto& c : cases) {
    VAR_set_label_type(7);
    RES_put("plot_param", c.words);
    VAR_param_decode();
    EXPECT_EQ(VAR_get_label_type(), c.style) << c.words;
    EXPECT_EQ(VAR_make_datatype(0, 100, 500, 11, "C"), c.label) << c.words;
  }
}

TEST(VarRecords, CopyAndAccessorsOutOfRange) {
  VarRec a, b;
  VAR_data_init(&a);
  a.type = 11, a.time = 12;
  std::snprintf(a.name, sizeof a.name, "temp");
  std::snprintf(a.format, sizeof a.format, "in=2");
  std::snprintf(a.units, sizeof a.units, "C");
  VAR_copy(&b, &a);
  EXPECT_EQ(std::to_string(b.type) + b.name + "|" + b.format + "|" + b.units, "-9999||C");
  EXPECT_EQ(b.time + b.param[3], 12 - 9999);
  EXPECT_TRUE(VAR_get_var(VAR_MAX) == nullptr && !*VAR_get_name(-1) && VAR_get_type(VAR_MAX) == -9999);
}

// The real program's variable prompt: the file listing, the batch default, an own variable file.
TEST(VarPrompt, RealProgram) {
  const std::string dir = make_temp_dir("varprompt");
  write_file(dir + "/my.var", "tt  Own  1  dewp[C]\n");
  const auto env = clean_env(dir + "/no-resource-files");
  const std::vector<std::string> batch = {"-ba", "-me", "+debug", "-dev", "ps,x.ps", "-region", "us"};
  const struct { std::vector<std::string> args; const char* input; const char* expected; } cases[] = {
      {{"-region", "us"}, "list\n0\n", " Abbr    Description\ntemp     Temperature    "},
      {batch, "", "Var: 0 -- V: temp       U:  "},
      {{"-va", "fi:my.var:tt"}, "", "V: dewp       U: C          FH:   -9999"}};
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    if (args[0] == "-va") args.insert(args.begin(), batch.begin(), batch.end());
    args.push_back(std::string(STACONT_DATA_DIR) + "/sample/2026031412.sfc");
    const RunResult r = run_stacont(args, c.input, env, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(c.expected), std::string::npos) << r.out;
  }
}

}  // namespace
