// Variable specifications: grammar, roles, keyword tables, the variable file (macros,
// menu conditions, batch answers), labels and hostile input.
#include "surface/var_tool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/menu.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "driver/plt_tool.h"
#include "tests/support/run.h"

extern char** environ;

namespace {

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
    "never    Never             0  temp\n";

class Var : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_ + "/test.var", kVarFile);
    RES_put("file_path", dir_.c_str());
    FLAG_reset(-9999);
    FLAG_set_batch(0);
    PLT_set_label_type(0);
    VAR_set_model_str("");
    VAR_set_time_str("");
    VAR_set_level_str("");
    ASSERT_EQ(VAR_open_file("test.var"), 1);
  }
  void TearDown() override {
    RES_clear();
    FLAG_reset(-9999);
  }
  std::string dir_ = make_temp_dir("var");
};

struct Rec {
  const char* name;
  int flag;
  int type;
};

std::vector<Rec> records() {
  std::vector<Rec> out;
  for (int i = 0; i < VAR_get_num(); ++i) out.push_back({VAR_get_name(i), VAR_get_flag(i), VAR_get_type(i)});
  return out;
}

std::string describe(const std::vector<Rec>& recs) {
  std::string s;
  for (const Rec& r : recs)
    s += std::string(r.name) + "/" + std::to_string(r.flag) + "/" + std::to_string(r.type) + " ";
  return s;
}

// ---- grammar ----

TEST_F(Var, PlainNameTakesTheDefaultTypeAndNoUnits) {
  ASSERT_EQ(VAR_setup(nullptr, "dewp"), 1);
  ASSERT_EQ(VAR_get_num(), 1);
  EXPECT_STREQ(VAR_get_name(0), "dewp");
  EXPECT_EQ(VAR_get_type(0), 11);
  EXPECT_STREQ(VAR_get_units(0), "");
  EXPECT_EQ(VAR_get_flag(0), 0);
  EXPECT_EQ(VAR_get_var(0)->var, 17);
  EXPECT_EQ(VAR_get_time(0), -9999);
  EXPECT_EQ(VAR_get_var(0)->ltype, -9999);
}

TEST_F(Var, BracketedUnitsTypeAndFormat) {
  ASSERT_EQ(VAR_setup(nullptr, "+temp[C:cf:in=2:ba=0]"), 1);
  ASSERT_EQ(VAR_get_num(), 1);
  EXPECT_STREQ(VAR_get_name(0), "temp");
  EXPECT_STREQ(VAR_get_units(0), "C");
  EXPECT_EQ(VAR_get_type(0), 15);
  EXPECT_STREQ(VAR_get_format(0), "in=2:ba=0");
}

TEST_F(Var, ProgramPlotTypeOverridesBracketedType) {
  FLAG_set(11, 12);
  ASSERT_EQ(VAR_setup(nullptr, "+temp[C:cf]"), 1);
  EXPECT_EQ(VAR_get_type(0), 12);
  EXPECT_STREQ(VAR_get_units(0), "C");
}

TEST_F(Var, TimeLevelNameItem) {
  ASSERT_EQ(VAR_setup(nullptr, "12hr-6acc:sfc:prec:mm"), 1);
  const VarRec* r = VAR_get_var(0);
  EXPECT_STREQ(r->name, "prec");
  EXPECT_EQ(r->time, 4 * 1000000 + 6 * 1000 + 12);
  EXPECT_EQ(r->tkind, 2);
  EXPECT_EQ(r->ltype, 1);
  EXPECT_EQ(r->level, 0);
  EXPECT_STREQ(r->units, "mm");
  EXPECT_EQ(VAR_get_time_key(0), "4006012");
  EXPECT_EQ(VAR_get_level_key(0), "0");
}

TEST_F(Var, ProgramTimeAndLevelOptions) {
  RES_put("time", "2d");
  RES_put("level", "500mb");
  ASSERT_EQ(VAR_setup(nullptr, "dewp,anal:sfc:rhum,time:level:dewp,::rhum"), 1);
  const int expected[][3] = {{48, 100, 500}, {0, 1, 0}, {48, 100, 500}, {48, 100, 500}};
  ASSERT_EQ(VAR_get_num(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(VAR_get_time(i), expected[i][0]) << i;
    EXPECT_EQ(VAR_get_var(i)->ltype, expected[i][1]) << i;
    EXPECT_EQ(VAR_get_var(i)->level, expected[i][2]) << i;
  }
}

TEST_F(Var, ItemFieldsGiveUnitsTypeAndFormat) {
  ASSERT_EQ(VAR_setup(nullptr, "dewp:C:cf:in=5"), 1);
  EXPECT_STREQ(VAR_get_units(0), "C");
  EXPECT_EQ(VAR_get_type(0), 15);
  EXPECT_STREQ(VAR_get_format(0), "in=5");
}

struct GrammarCase {
  const char* spec;
  const char* expected;  // name/flag/type of every record
};

class Grammar : public Var, public ::testing::WithParamInterface<GrammarCase> {};

TEST_P(Grammar, Records) {
  ASSERT_EQ(VAR_setup(nullptr, GetParam().spec), 1);
  EXPECT_EQ(describe(records()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Specs, Grammar,
    ::testing::Values(GrammarCase{"+temp,dewp", "temp/0/11 dewp/0/11 "},
                      GrammarCase{"add(+temp,dewp)", "add/2/10 temp/10/10 dewp/10/10 "},
                      GrammarCase{"foo(dewp)", "foo/2/11 dewp/10/10 "},
                      GrammarCase{"add(dewp,mul(dewp,#2))", "add/2/10 dewp/10/10 mul/12/10 dewp/20/10 #2/20/40 "},
                      GrammarCase{"wind<uwnd,vwnd>", "wind/6/10 uwnd/1/10 vwnd/1/10 "},
                      GrammarCase{"wind<uwnd,vwnd>[knt:vect]", "wind/6/21 uwnd/1/10 vwnd/1/10 "},
                      GrammarCase{"g{dewp,rhum}", "g/5/11 dewp/1/10 rhum/1/10 "},
                      GrammarCase{"grad(dewp)", "grad/2/11 grad/8/11 dewp/10/10 "},
                      GrammarCase{"v<grad(dewp)>", "v/6/10 grad/3/10 grad/9/10 dewp/11/10 "},
                      GrammarCase{"wind(uwnd,vwnd)", "wind/2/20 uwnd/10/10 vwnd/10/10 "},
                      GrammarCase{"map:ba=1,dewp,panel:2x2+1+1,frame,plot",
                                  "map/4/6 dewp/0/11 panel/4/8 frame/4/7 plot/4/30 "},
                      GrammarCase{" dewp , , rhum ", "dewp/0/11 rhum/0/11 "}, GrammarCase{"a\\,b", "a,b/0/11 "},
                      GrammarCase{"(dewp,rhum)", "dewp/0/11 rhum/0/11 "}, GrammarCase{"tempc", "temp/0/11 "},
                      GrammarCase{"+tempc", "tempc/0/11 "}, GrammarCase{"tdw", "temp/0/11 dewp/0/13 "},
                      GrammarCase{"aa", "aa/0/11 "}, GrammarCase{"cont", "temp/0/11 dewp/0/11 "},
                      GrammarCase{"add(tempc,dewp)", "add/2/10 temp/10/10 dewp/10/10 "}));

TEST_F(Var, MacroExpansionKeepsUnitsAndInheritsTimeAndLevel) {
  ASSERT_EQ(VAR_setup(nullptr, "12:500mb:tempc"), 1);
  ASSERT_EQ(VAR_get_num(), 1);
  const VarRec* r = VAR_get_var(0);
  EXPECT_STREQ(r->units, "C");
  EXPECT_EQ(r->time, 12);
  EXPECT_EQ(r->ltype, 100);
  EXPECT_EQ(r->level, 500);
  // A name defined in terms of itself expands once.
  ASSERT_EQ(VAR_setup(nullptr, "temp"), 1);
  ASSERT_EQ(VAR_get_num(), 1);
  EXPECT_STREQ(VAR_get_units(0), "F");
  // Units given with a macro name apply to what it stands for.
  ASSERT_EQ(VAR_setup(nullptr, "tdw[K]"), 1);
  EXPECT_STREQ(VAR_get_units(0), "K");
  EXPECT_STREQ(VAR_get_units(1), "K");
}

TEST_F(Var, OwnVariableFileFromTheSpecification) {
  write_file(dir_ + "/other.var", "dd  Dew  1  dewp[C]\n");
  ASSERT_EQ(VAR_setup(nullptr, "fi:other.var:dd"), 1);
  EXPECT_STREQ(VAR_get_name(0), "dewp");
  EXPECT_STREQ(VAR_get_units(0), "C");
}

TEST_F(Var, EnsembleAndNumberedNames) {
  struct Case {
    const char* spec;
    int var;
    const char* name;
  } cases[] = {
      {"+ens[+3]temp", 19343011, "ens[+3]temp"},
      {"+ens[-2]dewp", 19322017, "ens[-2]dewp"},
      {"+ens[4]temp", 19300011, "ens[4]temp"},
      {"+ens[c]temp", 19300011, "ens[c]temp"},
      {"+ensmean[]rhum", 19000052, "ensmean[]rhum"},
      {"+ensdev[]temp", 19001011, "ensdev[]temp"},
      {"11", 11, "Temperature"},
      {"+temp-2", 11, "temp-2"},
      {"nosuchvar", 0, "nosuchvar"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(VAR_setup(nullptr, c.spec), 1) << c.spec;
    EXPECT_EQ(VAR_get_var(0)->var, c.var) << c.spec;
    EXPECT_STREQ(VAR_get_name(0), c.name) << c.spec;
  }
  EXPECT_EQ(VAR_search_var_num("rhum-3"), 52);
  EXPECT_EQ(VAR_search_var_num("nothing"), 0);
}

struct BadCase {
  const char* spec;
  const char* message;
  int records;
};

class BadSpec : public Var, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadSpec, StopsWithMessage) {
  testing::internal::CaptureStderr();
  VAR_setup(nullptr, GetParam().spec);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(GetParam().message), std::string::npos) << err;
  EXPECT_EQ(VAR_get_num(), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Unmatched, BadSpec,
    ::testing::Values(BadCase{"dewp,add(dewp", "Unmatched ()\n", 1}, BadCase{"g{dewp", "Unmatched ()\n", 0},
                      BadCase{"w<uwnd,vwnd", "Unmatched <>\n", 0}, BadCase{"dewp[C", "Unmatched []\n", 0},
                      BadCase{"dewp)", "Unmatched ()\n", 0}, BadCase{"add(dewp<x)", "Unmatched <>\n", 1},
                      BadCase{"add(dewp)[C", "Unmatched []\n", 0},
                      BadCase{"", "Unable to determine variables\n", 0},
                      BadCase{"a(b(c(d(e(f(g(h(i(j(k(l(dewp))))))))))))", "nested too deeply", 9}));

TEST_F(Var, HostileSpecifications) {
  // A name far longer than the record holds.
  const std::string longname(200000, 'x');
  ASSERT_EQ(VAR_setup(nullptr, longname.c_str()), 1);
  EXPECT_EQ(std::string(VAR_get_name(0)), std::string(19, 'x'));
  // More items than records: the first 60 are kept.
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "dewp,";
  testing::internal::CaptureStderr();
  ASSERT_EQ(VAR_setup(nullptr, many.c_str()), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Too many variables"), std::string::npos);
  EXPECT_EQ(VAR_get_num(), VAR_MAX);
  // An impossible variable file name: the specification is still decoded by name.
  testing::internal::CaptureStderr();
  ASSERT_EQ(VAR_setup(nullptr, ("fi:" + std::string(200000, 'f') + ":dewp").c_str()), 1);
  testing::internal::GetCapturedStderr();
  EXPECT_STREQ(VAR_get_name(0), "dewp");
  // Repeated mistakes give a few warnings, not one per mistake.
  std::string stray;
  for (int i = 0; i < 20000; ++i) stray += "[x],";
  testing::internal::CaptureStderr();
  EXPECT_EQ(VAR_setup(nullptr, stray.c_str()), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_LT(err.size(), 1000u);
  EXPECT_NE(err.find("Further warnings about this specification are left out\n"), std::string::npos);
  // Deep unmatched nesting.
  const std::string open(100000, '(');
  testing::internal::CaptureStderr();
  EXPECT_EQ(VAR_setup(nullptr, open.c_str()), 0);
  testing::internal::GetCapturedStderr();
  const std::string deep = std::string(5000, '{') + "dewp" + std::string(5000, '}');
  testing::internal::CaptureStderr();
  VAR_setup(nullptr, deep.c_str());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("nested too deeply"), std::string::npos);
  EXPECT_LE(VAR_get_num(), 10);
}

TEST_F(Var, DefinitionsThatFanOutStop) {
  std::string file;
  for (int level = 1; level < 5; ++level) {
    std::string def;
    for (int k = 0; k < 10; ++k) def += (k ? ",m" : "m") + std::to_string(level + 1);
    file += "m" + std::to_string(level) + " Fan 1 " + def + "\n";
  }
  file += "m5 Empty 1 ()\n";
  write_file(dir_ + "/fan.var", file);
  ASSERT_EQ(VAR_open_file("fan.var"), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(VAR_setup(nullptr, "m1"), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Too many named variables expanded"), std::string::npos);
}

// ---- keyword tables ----

struct TypeCase {
  const char* word;
  int code;
  const char* printed;
};

class Types : public ::testing::TestWithParam<TypeCase> {};

TEST_P(Types, KeywordCodeName) {
  EXPECT_EQ(VAR_dec_type(GetParam().word), GetParam().code);
  EXPECT_STREQ(VAR_print_type(GetParam().code), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(
    All, Types,
    ::testing::Values(TypeCase{"data", 1, "data"}, TypeCase{"value", 2, "value"}, TypeCase{"text", 3, "text"},
                      TypeCase{"mark", 4, "mark"}, TypeCase{"MK", 4, "mark"}, TypeCase{"map", 6, "map"},
                      TypeCase{"frame", 7, "frame"}, TypeCase{"panel", 8, "panel"}, TypeCase{"cont", 11, "cont"},
                      TypeCase{"ln", 12, "lcont"}, TypeCase{"dln", 13, "dln"}, TypeCase{"ndln", 14, "ndln"},
                      TypeCase{"cf", 15, "fcont"}, TypeCase{"lcf", 16, "bcont"}, TypeCase{"gvalue", 17, "gvalue"},
                      TypeCase{"wind", 20, "wind"}, TypeCase{"vect", 21, "vect"}, TypeCase{"barb", 22, "barb"},
                      TypeCase{"strm", 23, "strm"}, TypeCase{"track", 23, "strm"}, TypeCase{"plot", 30, "plot"},
                      TypeCase{"cloud", 31, "cloud"}, TypeCase{"wbarb", 32, "wbarb"},
                      TypeCase{"cbarb", 33, "cbarb"}, TypeCase{"dbarb", 34, "dbarb"},
                      TypeCase{"vbarb", 35, "vbarb"}, TypeCase{"symb", 36, "symb"}, TypeCase{"wx", 36, "symb"},
                      TypeCase{"line", 37, "line"}, TypeCase{"grid", -1, "----"}));

TEST(VarKeywords, PrintedOnlyCodes) {
  EXPECT_STREQ(VAR_print_type(5), "int");
  EXPECT_STREQ(VAR_print_type(10), "grid");
  EXPECT_STREQ(VAR_print_type(40), "const");
  EXPECT_STREQ(VAR_print_type(99), "----");
}

TEST(VarKeywords, NamedLevels) {
  const struct {
    const char* word;
    int ltype;
  } words[] = {{"none", 0},        {"snd", 0},         {"sfc", 1},         {"sf", 1},         {"sea", 1},
               {"se", 1},          {"frz", 4},         {"lcl", 5},         {"mwnd", 6},       {"trop", 7},
               {"sl", 102},        {"whole", 200},     {"top_frz", 204},   {"gcld_bot", 206}, {"gcld_top", 207},
               {"blcld_bot", 209}, {"blcld_top", 210}, {"blcld_lyr", 211}, {"lcld_bot", 212}, {"lcld_top", 213},
               {"lcld_lyr", 214},  {"cld_ceil", 215},  {"mcld_bot", 222},  {"mcld_top", 223}, {"mcld_lyr", 224},
               {"hcld_bot", 232},  {"hcld_top", 233},  {"hcld_lyr", 234},  {"conv_bot", 242}, {"conv_top", 243},
               {"conv_lyr", 244},  {"wbzero", 245},    {"maxepot", 246},   {"equilib", 247},  {"sconv_bot", 248},
               {"sconv_top", 249}, {"dconv_bot", 251}, {"dconv_top", 252}, {"sclw_bot", 253}, {"sclw_top", 254}};
  for (const auto& w : words) {
    int lt = 0, lv = 1;
    EXPECT_EQ(VAR_dec_level(w.word, &lt, &lv), 1) << w.word;
    EXPECT_EQ(lt, w.ltype) << w.word;
    EXPECT_EQ(lv, 0) << w.word;
    int lt2 = 0, lv2 = 0;
    VAR_dec_level(VAR_level(lt, lv).c_str(), &lt2, &lv2);
    EXPECT_EQ(lt2, w.ltype) << w.word;
  }
  int lt = 0, lv = 0;
  EXPECT_EQ(VAR_dec_level("miss", &lt, &lv), 1);
  EXPECT_EQ(lt, -9999);
  EXPECT_EQ(lv, -9999);
  EXPECT_EQ(VAR_level(1, 0), "sfc");
  EXPECT_EQ(VAR_make_datalevel(1, 0), "Surface");
  EXPECT_EQ(VAR_make_datalevel(0, 0), "");
}

struct LevelCase {
  const char* text;
  int ltype, level;
  const char* shortform;
  const char* label;
};

class NumericLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(NumericLevels, DecodeAndPrint) {
  const LevelCase& c = GetParam();
  int lt = 0, lv = 0;
  ASSERT_EQ(VAR_dec_level(c.text, &lt, &lv), 1) << c.text;
  EXPECT_EQ(lt, c.ltype);
  EXPECT_EQ(lv, c.level);
  EXPECT_EQ(VAR_level(lt, lv), c.shortform);
  EXPECT_EQ(VAR_make_datalevel(lt, lv), c.label);
}

INSTANTIATE_TEST_SUITE_P(Forms, NumericLevels,
                         ::testing::Values(LevelCase{"500mb", 100, 500, "500mb", "500 mb"},
                                           LevelCase{"850-500mb", 101, 8500500, "850-500mb", "850-500 mb"},
                                           LevelCase{"1500m", 103, 1500, "1500m", "1500 m"},
                                           LevelCase{"1000ft", 190, 1000, "1000ft", "1000 ft"},
                                           LevelCase{"10m_ag", 105, 10, "10m_ag", "10 m AG"},
                                           LevelCase{"0-3000M_AG", 106, 3000, "0-3000m_ag", "0-3000 m AG"},
                                           LevelCase{"500ft_ag", 192, 500, "500ft_ag", "500 ft AG"},
                                           LevelCase{"30mb_ag", 115, 30, "30mb_ag", "30 mb AG"},
                                           LevelCase{"30+30mb_ag", 116, 300060, "30-60mb_ag", "30-60 mb AG"},
                                           LevelCase{"sfc-30mb", 116, 30, "sfc-30mb", "0-30 mb AG"},
                                           LevelCase{"0.98sig", 107, 9800, "0.98sig", "0.98 sigma"},
                                           LevelCase{"0.5-0.9sig", 108, 500090, "0.50-0.90sig", "0.50-0.90 sigma"},
                                           LevelCase{"0.75eta", 119, 7500, "0.75eta", "0.75 eta"},
                                           LevelCase{"10lev", 109, 10, "10lev", "Level 10"},
                                           LevelCase{"2pv", 117, 2, "2pv", "2*10^-6 Km2/kgs"},
                                           LevelCase{"320K", 113, 320, "320K", "320 K"},
                                           LevelCase{"10cm_bg", 111, 10, "10cm_bg", "10 cm BG"},
                                           LevelCase{"sfc[2]", 1, 2, "sfc[2]", "Surface[2]"},
                                           LevelCase{"sfc[2]-30mb", 1, 20030, "sfc[2]-30mb", "Surface[2]-30 mb"}));

TEST(VarKeywords, BadLevelsAndUnknownTypes) {
  for (const char* bad : {"abc", "mb", "12", "5-mb", "1-2pv", "sfc[", "sfc[x]", "99999-1mb", "1.2.3sig"}) {
    int lt = 7, lv = 7;
    EXPECT_EQ(VAR_dec_level(bad, &lt, &lv), 0) << bad;
    EXPECT_EQ(lt, 7) << bad;
  }
  MESS_set(1, 0xF0000000u);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(VAR_make_datalevel(99, 3), "");
  const std::string out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
  MESS_reset();
  EXPECT_NE(out.find("VAR_make_datatype: no ltype: 99\n"), std::string::npos);
}

struct TimeCase {
  const char* text;
  int kind, time;
};

class Times : public ::testing::TestWithParam<TimeCase> {};

TEST_P(Times, Decode) {
  int t = 12345;
  EXPECT_EQ(VAR_dec_time(GetParam().text, &t), GetParam().kind) << GetParam().text;
  EXPECT_EQ(t, GetParam().time) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Forms, Times,
                         ::testing::Values(TimeCase{"12", 2, 12}, TimeCase{"12hr", 2, 12}, TimeCase{"2d", 2, 48},
                                           TimeCase{"2day", 2, 48}, TimeCase{"1e", 2, 36},
                                           TimeCase{"1.5day", 2, 36}, TimeCase{"d2", 2, 48}, TimeCase{"e1", 2, 36},
                                           TimeCase{"anal", 2, 0}, TimeCase{"INIT", 2, 0}, TimeCase{"in", 2, 0},
                                           TimeCase{"miss", 2, -9999}, TimeCase{"12hr-6acc", 2, 4006012},
                                           TimeCase{"24-0max", 2, 6024024}, TimeCase{"12-6", 2, 2006012},
                                           TimeCase{"12-0avg", 2, 3012012}, TimeCase{"12-6dif", 2, 5006012},
                                           TimeCase{"36-12uavg", 2, 23024036}, TimeCase{"6-12acc", 0, 12345},
                                           TimeCase{"temp", 0, 12345}, TimeCase{"dewp", 0, 12345},
                                           TimeCase{"12xyz", 0, 12345}, TimeCase{"12-6foo", 0, 12345},
                                           TimeCase{"99999999999", 0, 12345}));

TEST(VarKeywords, TimeTexts) {
  EXPECT_EQ(VAR_time(12), "12hr");
  EXPECT_EQ(VAR_time(0), "0hr");
  EXPECT_EQ(VAR_time(2006012), "12hr-6");
  EXPECT_EQ(VAR_time(4006012), "12hr-6acc");
  int t = 0;
  ASSERT_EQ(VAR_dec_time(VAR_time(6024024).c_str(), &t), 2);
  EXPECT_EQ(t, 6024024);
}

TEST(VarKeywords, DecFormat) {
  VarRec r;
  VAR_data_init(&r);
  FLAG_reset(-9999);
  EXPECT_EQ(VAR_dec_format(&r, "in=2:cf"), 2);
  EXPECT_EQ(r.type, 15);
  EXPECT_EQ(VAR_dec_format(&r, "vect"), 2);
  EXPECT_EQ(r.type, 21);
  FLAG_set(11, 15);
  r.type = 23;
  EXPECT_EQ(VAR_dec_format(&r, "in=2"), 1);
  EXPECT_EQ(r.type, 11);
  FLAG_reset(-9999);
}

// ---- predicates ----

TEST_F(Var, PredicatesOnMixedSpecification) {
  ASSERT_EQ(VAR_setup(nullptr, "map,dewp,add(dewp,rhum),w<uwnd,vwnd>,g{dewp},grad(rhum),dewp[:data]"), 1);
  // Records: 0 map/4, 1 dewp/0, 2 add/2, 3 dewp/10, 4 rhum/10, 5 w/6, 6 uwnd/1, 7 vwnd/1, 8 g/5,
  // 9 dewp/1, 10 grad/2, 11 grad/8, 12 rhum/10, 13 dewp/0 type 1.
  ASSERT_EQ(VAR_get_num(), 14);
  using P = int (*)(int);
  const struct {
    const char* name;
    P p;
    const char* expected;  // one digit per record
  } table[] = {
      {"REG", VAR_is_REG, "01011000000011"},
      {"SUBREG", VAR_is_SUBREG, "00000011010000"},
      {"FUNC", VAR_is_FUNC, "00100000001000"},
      {"COMP", VAR_is_COMP, "00000000100000"},
      {"VECT", VAR_is_VECT, "00000100000000"},
      {"FUNC_VECT", VAR_is_FUNC_VECT, "00000000001100"},
      {"LABEL", VAR_is_LABEL, "01100100101001"},
      {"PLOT", VAR_is_PLOT, "11100011011001"},
      {"SUBPLOT", VAR_is_SUBPLOT, "01111011011011"},
      {"CALC", VAR_is_CALC, "01011011010011"},
      {"DATA", VAR_is_DATA, "11111111111111"},
      {"type_MAP", VAR_is_type_MAP, "10000000000000"},
      {"type_PLOT", VAR_is_type_PLOT, "00000000000001"},
      {"type_GRID", VAR_is_type_GRID, "01111011011010"},
      {"plot_GRID", VAR_is_plot_GRID, "01100011011000"},
      {"plot_CONT", VAR_is_plot_CONT, "01000000101100"},
      {"calc_GRID", VAR_is_calc_GRID, "00100000001000"},
      {"fit_GRID", VAR_is_fit_GRID, "01011011010010"},
      {"get_GRID", VAR_is_get_GRID, "01011111110110"},
      {"plot_PLOT", VAR_is_plot_PLOT, "00000000000001"},
  };
  for (const auto& row : table) {
    std::string got;
    for (int i = 0; i < VAR_get_num(); ++i) got += row.p(i) ? '1' : '0';
    EXPECT_EQ(got, row.expected) << row.name;
    EXPECT_EQ(row.p(-1), 0) << row.name;
    EXPECT_EQ(row.p(VAR_get_num()), 0) << row.name;
  }
}

// ---- variable file and menu ----

TEST_F(Var, MenuConditions) {
  EXPECT_EQ(VAR_read_menu(), 5);  // tempc temp tdw aa cont
  VAR_set_model_str("ngm");
  EXPECT_EQ(VAR_read_menu(), 7);
  VAR_set_model_str("ruc");
  EXPECT_EQ(VAR_read_menu(), 5);
  VAR_set_time_str("12");
  VAR_set_level_str("sfc");
  EXPECT_EQ(VAR_read_menu(), 6);
  VAR_set_model_str("avn");
  VAR_set_time_str("6");
  EXPECT_EQ(VAR_read_menu(), 7);
}

struct PatternCase {
  const char* pattern;
  const char* text;
  int match;
};

class Patterns : public ::testing::TestWithParam<PatternCase> {};

TEST_P(Patterns, Match) {
  EXPECT_EQ(VAR_menu_display(GetParam().pattern, GetParam().text), GetParam().match)
      << GetParam().pattern << " / " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(All, Patterns,
                         ::testing::Values(PatternCase{"eta", "eta", 1}, PatternCase{"eta", "ETA", 1},
                                           PatternCase{"eta", "etax", 0}, PatternCase{"eta|ngm", "ngm", 1},
                                           PatternCase{"~eta", "ngm", 1}, PatternCase{"~eta", "eta", 0},
                                           PatternCase{"e?a", "eta", 1}, PatternCase{"e.a", "eaa", 1},
                                           PatternCase{"e*", "eta32", 1}, PatternCase{"*32", "eta32", 1},
                                           PatternCase{"*a", "banana", 1}, PatternCase{"[0-9]", "7", 1},
                                           PatternCase{"[0-9][0-9]", "7x", 0}, PatternCase{"[abc]t", "bt", 1},
                                           PatternCase{"", "eta", 0}, PatternCase{"*", "", 0},
                                           PatternCase{"1[02]|~*", "12", 1}, PatternCase{"e*a*z", "etaz", 1}));

TEST_F(Var, BatchMenuAnswer) {
  FLAG_set_batch(1);
  char answer[MENU_ANSWER_LEN] = "";
  VAR_read_menu();
  EXPECT_EQ(VAR_menu("Menu", "Enter: ", answer, 3), 1);
  EXPECT_STREQ(answer, "tempc");
  write_file(dir_ + "/empty.var", "only  Nothing  0  temp\n");
  ASSERT_EQ(VAR_open_file("empty.var"), 1);
  EXPECT_EQ(VAR_read_menu(), 0);
  EXPECT_EQ(VAR_menu("Menu", "Enter: ", answer, 3), 1);
  EXPECT_STREQ(answer, "def");
}

TEST_F(Var, InteractiveMenuListsTheFileAndReturnsTheAbbreviation) {
  write_file(dir_ + "/answers", "list\n3\n");
  VAR_read_menu();
  std::FILE* in = std::freopen((dir_ + "/answers").c_str(), "r", stdin);
  ASSERT_NE(in, nullptr);
  char answer[MENU_ANSWER_LEN] = "";
  testing::internal::CaptureStdout();
  const int v = VAR_menu("\n        Variable Menu\n", "Enter the variable: ", answer, 3);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(v, 3);
  EXPECT_STREQ(answer, "tdw");
  EXPECT_NE(out.find(" Abbr    Description\ntempc    Temperature (C)"), std::string::npos) << out;
  EXPECT_NE(out.find("never    Never" + std::string(45, ' ') + "\n"), std::string::npos);
}

TEST_F(Var, VariableFileLimitsAndJunk) {
  std::string big;
  for (int i = 0; i < 60; ++i) big += "v" + std::to_string(i) + " Var_" + std::to_string(i) + " 1 temp\n";
  write_file(dir_ + "/big.var", big);
  ASSERT_EQ(VAR_open_file("big.var"), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(VAR_read_menu(), 49);
  testing::internal::GetCapturedStderr();

  std::string junk = "ok Fine 1 dewp[C]\n";
  for (int i = 0; i < 2000; ++i) junk += std::string(1, static_cast<char>(i % 256)) + "\x01\xff\\\n";
  junk += std::string(300000, 'z') + "\n";
  junk.push_back('\0');
  junk += "zz Last 1 rhum\n";
  write_file(dir_ + "/junk.var", junk);
  ASSERT_EQ(VAR_open_file("junk.var"), 1);
  testing::internal::CaptureStderr();
  VAR_read_menu();
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(VAR_setup(nullptr, "ok"), 1);
  EXPECT_STREQ(VAR_get_units(0), "C");
  EXPECT_EQ(VAR_lookup("zz"), "rhum");
}

TEST_F(Var, MissingVariableFile) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(VAR_open_file("nothere.var"), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("VAR_open_file: Unable to open var file: "), std::string::npos);
  EXPECT_NE(err.find("nothere.var"), std::string::npos);
  EXPECT_EQ(VAR_read_menu(), 0);
  ASSERT_EQ(VAR_setup(nullptr, "tempc"), 1);
  EXPECT_STREQ(VAR_get_name(0), "tempc");
}

TEST_F(Var, ShippedVariableFileDefinesEverySurfaceVariable) {
  ASSERT_EQ(VAR_open_file((std::string(STACONT_DATA_DIR) + "/stacont.var").c_str()), 1);
  EXPECT_GE(VAR_read_menu(), 40);
  EXPECT_LE(VAR_read_menu(), 49);
  const char* names[] = {
      "city",  "temp",   "ttd",    "dewp",   "dewd",   "wdir",   "wspd",   "wgst",    "wind",   "wbrb",  "wbrbc",
      "hwind", "uwnd",   "vwnd",   "uwndg",  "vwndg",  "alt",    "pralt",  "pres",    "elev",   "wx",    "vis",
      "cldcl", "cldclc", "cldcv",  "nlcld",  "ptend",  "prec3",  "prec6",  "prec12",  "prec24", "prec",  "extt",
      "maxt6", "maxt24", "mint6",  "mint24", "maxt",   "mint",   "snwdp",  "lcld",    "mcld",   "hcld",  "solar",
      "sst",   "wavper", "wavhgt", "vpres",  "svpres", "wchilt", "wchill", "wchill2", "wchilf", "heat",  "humit",
      "mrat",  "smrat",  "shum",   "rhum",   "wetblb", "thetaw", "thetae", "thetav",  "theta",  "vtemp", "fr"};
  for (const char* n : names) {
    EXPECT_NE(VAR_lookup(n), "") << n;
    EXPECT_GT(VAR_search_var_num(n), 0) << n;
    ASSERT_EQ(VAR_setup(nullptr, n), 1) << n;
  }
}

// ---- labels ----

TEST_F(Var, Labels) {
  EXPECT_EQ(VAR_make_datatype(0, 100, 500, 11, "C"), "500 mb Temperature (C)");
  EXPECT_EQ(VAR_make_datatype(0, -9999, -9999, 19343052, ""), "Relative humidity");
  PLT_set_label_type(-1);
  EXPECT_EQ(VAR_make_datatype(0, 100, 500, 11, "C"), "500 mb temp (C)");
  PLT_set_label_type(-2);
  EXPECT_EQ(VAR_make_datatype(0, 100, 500, 11, "C"), "temp (C)");
  PLT_set_label_type(0);
  EXPECT_EQ(VAR_str(17), "Dew point");
  EXPECT_EQ(VAR_str(999), "v999");
  ASSERT_EQ(VAR_setup(nullptr, "12:sfc:add(dewp,#2)[C]"), 1);
  EXPECT_EQ(VAR_make_var_datatype(1), "Surface Dew point");
  EXPECT_EQ(VAR_make_var_form_datatype(0), "Surface add(dewp, 2) (C)");
  EXPECT_STREQ(VAR_model(1), "Objective analysis");
  EXPECT_STREQ(VAR_model(70), "Spectral model");
  EXPECT_EQ(VAR_model(12345), nullptr);
  EXPECT_STREQ(VAR_source(7), "US NWS NCEP");
  EXPECT_EQ(VAR_source(-9999), nullptr);
}

TEST_F(Var, LabelStyleFromPlotParameters) {
  const struct {
    const char* words;
    int style;
  } cases[] = {{"labmin", -2}, {"x,LABSIMP", -1}, {"labnorm", 0}, {"labcomp,other", 1}};
  for (const auto& c : cases) {
    PLT_set_label_type(7);
    RES_put("plot_param", c.words);
    VAR_param_decode();
    EXPECT_EQ(PLT_get_label_type(), c.style) << c.words;
  }
}

TEST(VarRecords, CopyInitAndAccessorsOutOfRange) {
  VarRec a, b;
  VAR_data_init(&a);
  EXPECT_EQ(a.type, -9999);
  EXPECT_EQ(a.var, -9999);
  EXPECT_EQ(a.param[3], -9999);
  EXPECT_EQ(a.flag, 0);
  a.type = 11;
  a.time = 12;
  std::snprintf(a.name, sizeof a.name, "temp");
  std::snprintf(a.format, sizeof a.format, "in=2");
  std::snprintf(a.units, sizeof a.units, "C");
  VAR_copy(&b, &a);
  EXPECT_EQ(b.type, -9999);
  EXPECT_STREQ(b.name, "");
  EXPECT_STREQ(b.format, "");
  EXPECT_STREQ(b.units, "C");
  EXPECT_EQ(b.time, 12);
  EXPECT_EQ(VAR_get_var(VAR_MAX), nullptr);
  EXPECT_STREQ(VAR_get_name(-1), "");
  EXPECT_EQ(VAR_get_type(VAR_MAX), -9999);
}

// ---- the program's variable prompt ----

struct PromptCase {
  std::vector<std::string> args;
  const char* input;
  const char* expected;  // in standard output
};

class Prompt : public ::testing::TestWithParam<PromptCase> {};

TEST_P(Prompt, RealProgram) {
  const std::string dir = make_temp_dir("varprompt");
  write_file(dir + "/my.var", "tt  Own  1  dewp[C]\n");
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "zav", 3) == 0) env[std::string(*e, std::strcspn(*e, "="))] = "";
  env["zavdefault"] = dir + "/no-resource-files";
  env["DISPLAY"] = "";
  std::vector<std::string> args = GetParam().args;
  args.push_back(std::string(STACONT_DATA_DIR) + "/sample/2026031412.sfc");
  const RunResult r = run_stacont(args, GetParam().input, env, dir);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(GetParam().expected), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Menu, Prompt,
    ::testing::Values(
        PromptCase{{"-region", "us"}, "list\n0\n", " Abbr    Description\ntemp     Temperature    "},
        PromptCase{
            {"-ba", "-me", "+debug", "-dev", "ps,x.ps", "-region", "us"}, "", "Var: 0 -- V: temp       U:  "},
        PromptCase{{"-ba", "-me", "+debug", "-dev", "ps,x.ps", "-region", "us", "-va", "fi:my.var:tt"},
                   "",
                   "V: dewp       U: C          FH:   -9999"}));

}  // namespace
