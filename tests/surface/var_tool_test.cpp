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

namespace {

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

const char* const kVarFile =
    "# test variables\n"
    "tempc    Temperature_(C)   1  temp[C]\n"
    "temp     Temperature       1  temp[F]\n"
    "tdw      Temp_and_dew      1  temp,dewp[:dln]\n"
    "aa       Loop_a            1  bb\n"
    "bb       Loop_b            0  aa\n"
    "cont     Continued         1  temp,\\\n"
    "            dewp\n"
    "etaonly  Eta_only          mo=eta|ngm  temp\n"
    "notruc   Not_ruc           mo=~ruc     temp\n"
    "sfc12    Sfc_at_12         ft=12&le=sfc,mo=avn  temp\n"
    "never    Never             0  temp\n"
    "mint     Minimum_24_h      0  24hr-0min:sfc:mint\n";

class Var : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_ + "/test.var", kVarFile);
    RES_put("file_path", dir_.c_str());
    FLAG_reset(-9999);
    FLAG_set_batch(0);
    VAR_set_label_type(0);
    VAR_set_grid_funcs(test_func_class, test_vect_func);
    VAR_set_model_str("");
    VAR_set_time_str("");
    VAR_set_level_str("");
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
  const struct { const char* spec; const char* expected; int plot_type = -9999; } cases[] = {
      {"dewp", "dewp||11|0|17|-9999|-9999/-9999|"}, {"fi:other.var:dd", "dewp|C|11|0|17|-9999|-9999/-9999|"},
      {"+temp[C:cf:in=2:ba=0]", "temp|C|15|0|11|-9999|-9999/-9999|in=2:ba=0"},
      {"+temp[C:cf]", "temp|C|12|0|11|-9999|-9999/-9999|", 12},  // the program's plot type wins
      {"12hr-6acc:sfc:prec:mm", "prec|mm|11|0|61|4006012|1/0|"},
      {"12:500mb:tempc", "temp|C|11|0|11|12|100/500|"},  // macro inherits time and level
      {"temp", "temp|F|11|0|11|-9999|-9999/-9999|"},     // defined in terms of itself: once
      {"tdw[K]", "temp|K|11|0|11|-9999|-9999/-9999|"},   // units apply to the expansion
      {"+ens[+3]temp", "ens[+3]temp||11|0|19343011|-9999|-9999/-9999|"},
      {"+ens[-2]dewp", "ens[-2]dewp||11|0|19322017|-9999|-9999/-9999|"},
      {"11", "Temperature||11|0|11|-9999|-9999/-9999|"}, {"+temp-2", "temp-2||11|0|11|-9999|-9999/-9999|"},
      {"nosuchvar", "nosuchvar||11|0|0|-9999|-9999/-9999|"}};
  for (const auto& c : cases) {
    FLAG_set(11, c.plot_type);
    ASSERT_EQ(VAR_setup(nullptr, c.spec), 1) << c.spec;
    EXPECT_EQ(record(0), c.expected) << c.spec;
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
  const std::pair<const char*, const char*> cases[] = {
      {"add(+temp,dewp)", "add/2/10 temp/10/10 dewp/10/10 "},
      {"add(dewp,mul(dewp,#2))", "add/2/10 dewp/10/10 mul/12/10 dewp/20/10 #2/20/40 "},
      {"wind<uwnd,vwnd>[knt:vect]", "wind/6/21 uwnd/1/10 vwnd/1/10 "},
      {"g{dewp,rhum}", "g/5/11 dewp/1/10 rhum/1/10 "}, {"v<grad(dewp)>", "v/6/10 grad/3/10 grad/9/10 dewp/11/10 "},
      {"map:ba=1,dewp,panel:2x2+1+1,frame,plot", "map/4/6 dewp/0/11 panel/4/8 frame/4/7 plot/4/30 "},
      {" dewp , , rhum ", "dewp/0/11 rhum/0/11 "}, {"a\\,b", "a,b/0/11 "}, {"+tempc", "tempc/0/11 "},
      {"aa", "aa/0/11 "}, {"tdw", "temp/0/11 dewp/0/13 "}, {"cont", "temp/0/11 dewp/0/11 "},
      {"add(tempc,dewp)", "add/2/10 temp/10/10 dewp/10/10 "},
      // The station wind drawn from the analysis stands for its two grid components; at
      // the stations, in a group or as an argument it stays one value.
      {"dewp,wind[knt:vect]", "dewp/0/11 wind/6/21 uwndg/1/10 vwndg/1/10 "},
      {"wind[:strm]", "wind/6/23 uwndg/1/10 vwndg/1/10 "}, {"wind[:barb]", "wind/6/22 uwndg/1/10 vwndg/1/10 "},
      {"wind[knt:wbarb]", "wind/0/32 "}, {"wind", "wind/0/11 "}, {"g{wind[:vect]}", "g/5/11 wind/1/21 "},
      {"add(wind[:vect],#1)", "add/2/10 wind/10/10 #1/10/40 "}};
  for (const auto& [spec, expected] : cases) {
    ASSERT_EQ(VAR_setup(nullptr, spec), 1) << spec;
    EXPECT_EQ(roles(), expected) << spec;
  }
}

TEST_F(Var, BadRequestsStopWithMessage) {
  const struct { const char* spec; const char* message; int records; } cases[] = {
      {"dewp,add(dewp", "Unmatched ()\n", 1}, {"dewp)", "Unmatched ()\n", 0}, {"w<uwnd,vwnd", "Unmatched <>\n", 0},
      {"add(dewp<x)", "Unmatched <>\n", 1}, {"dewp[C", "Unmatched []\n", 0}, {"", "Unable to determine variables\n", 0},
      {"a(b(c(d(e(f(g(h(i(j(k(l(dewp))))))))))))", "nested too deeply", 9}};
  for (const auto& c : cases) {
    const std::string err = setup_quiet(c.spec).second;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.spec << ": " << err;
    EXPECT_EQ(VAR_get_num(), c.records) << c.spec;
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
  const struct { const char* word; int code; const char* printed; } cases[] = {
      {"data", 1, "data"},  {"MK", 4, "mark"},      {"map", 6, "map"},       {"cont", 11, "cont"},
      {"ln", 12, "lcont"},  {"cf", 15, "fcont"},    {"lcf", 16, "bcont"},    {"gvalue", 17, "gvalue"},
      {"vect", 21, "vect"}, {"track", 23, "strm"},  {"cloud", 31, "cloud"},  {"vbarb", 35, "vbarb"},
      {"wx", 36, "symb"},   {"line", 37, "line"},   {"grid", -1, "----"},    {nullptr, 5, "int"},
      {nullptr, 10, "grid"}, {nullptr, 40, "const"}, {nullptr, 99, "----"}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.word ? VAR_dec_type(c.word) : c.code, c.code) << c.word;
    EXPECT_STREQ(VAR_print_type(c.code), c.printed) << c.code;
  }
}

TEST(VarKeywords, NamedLevels) {
  const struct { const char* word; int ltype; } words[] = {
      {"none", 0},       {"snd", 0},       {"sfc", 1},         {"sf", 1},         {"se", 1},
      {"frz", 4},        {"trop", 7},      {"sl", 102},        {"whole", 200},    {"gcld_bot", 206},
      {"blcld_lyr", 211}, {"cld_ceil", 215}, {"hcld_top", 233}, {"wbzero", 245},   {"sclw_top", 254},
      {"miss", -9999}};
  for (const auto& w : words) {
    int lt = 0, lv = 1, lt2 = 0, lv2 = 0;
    EXPECT_EQ(VAR_dec_level(w.word, &lt, &lv), 1) << w.word;
    VAR_dec_level(VAR_level(lt, lv).c_str(), &lt2, &lv2);  // printed back and read again
    EXPECT_EQ(std::tuple(lt, lv, lt2), std::tuple(w.ltype, w.ltype == -9999 ? -9999 : 0, w.ltype)) << w.word;
  }
  EXPECT_EQ(VAR_level(1, 0) + "|" + VAR_make_datalevel(1, 0) + "|" + VAR_make_datalevel(0, 0), "sfc|Surface|");
}

TEST(VarKeywords, NumericLevels) {
  const struct { const char* text; int ltype, level; const char* shortform; const char* label; } cases[] = {
      {"500mb", 100, 500, "500mb", "500 mb"}, {"850-500mb", 101, 8500500, "850-500mb", "850-500 mb"},
      {"1000ft", 190, 1000, "1000ft", "1000 ft"}, {"0-3000M_AG", 106, 3000, "0-3000m_ag", "0-3000 m AG"},
      {"30+30mb_ag", 116, 300060, "30-60mb_ag", "30-60 mb AG"}, {"sfc-30mb", 116, 30, "sfc-30mb", "0-30 mb AG"},
      {"0.5-0.9sig", 108, 500090, "0.50-0.90sig", "0.50-0.90 sigma"}, {"0.75eta", 119, 7500, "0.75eta", "0.75 eta"},
      {"2pv", 117, 2, "2pv", "2*10^-6 Km2/kgs"}, {"10cm_bg", 111, 10, "10cm_bg", "10 cm BG"},
      {"sfc[2]-30mb", 1, 20030, "sfc[2]-30mb", "Surface[2]-30 mb"}};
  for (const auto& c : cases) {
    int lt = 0, lv = 0;
    ASSERT_EQ(VAR_dec_level(c.text, &lt, &lv), 1) << c.text;
    EXPECT_EQ(std::tuple(lt, lv, VAR_level(lt, lv), VAR_make_datalevel(lt, lv)),
              std::tuple(c.ltype, c.level, c.shortform, c.label));
  }
  for (const char* bad : {"abc", "mb", "12", "5-mb", "1-2pv", "sfc[", "sfc[x]", "99999-1mb", "1.2.3sig"}) {
    int lt = 7, lv = 7;
    EXPECT_EQ(VAR_dec_level(bad, &lt, &lv) * 10 + lt, 7) << bad;
  }
  EXPECT_EQ(VAR_make_datalevel(99, 3), "");
}

TEST(VarKeywords, Times) {
  const struct { const char* text; int kind, time; } cases[] = {
      {"12hr", 2, 12},           {"2day", 2, 48},         {"1.5day", 2, 36},       {"e1", 2, 36},
      {"INIT", 2, 0},            {"miss", 2, -9999},      {"12hr-6acc", 2, 4006012}, {"12-6", 2, 2006012},
      {"12-0avg", 2, 3012012},   {"36-12uavg", 2, 23024036}, {"6-12acc", 0, 12345}, {"temp", 0, 12345},
      {"12-6foo", 0, 12345},     {"99999999999", 0, 12345}};
  for (const auto& c : cases) {
    int t = 12345;
    EXPECT_EQ(std::pair(VAR_dec_time(c.text, &t), t), std::pair(c.kind, c.time)) << c.text;
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
  const struct { const char* pattern; const char* text; int match; } cases[] = {
      {"eta", "ETA", 1},   {"eta", "etax", 0},  {"~eta", "eta", 0},     {"e?a", "eta", 1},      {"e.a", "eaa", 1},
      {"*a", "banana", 1}, {"[0-9][0-9]", "7x", 0}, {"[abc]t", "bt", 1}, {"", "eta", 0},        {"*", "", 0},
      {"1[02]|~*", "12", 1}, {"e*a*z", "etaz", 1}};
  for (const auto& c : cases) EXPECT_EQ(VAR_menu_display(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
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
  const std::pair<const char*, int> cases[] = {
      {"mint", 7024024}, {"6-0:sfc:mint", 7006006}, {"12hr-0max:sfc:mint", 6012012}, {"12:sfc:mint", 7024024}};
  for (const auto& [request, time] : cases) {
    ASSERT_EQ(VAR_setup(nullptr, request), 1) << request;
    EXPECT_EQ(VAR_get_time(0), time) << request;
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
