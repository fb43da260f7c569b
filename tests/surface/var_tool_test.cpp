// Variable requests: grammar, roles, keyword tables, the variable file (macros, menu
// conditions, batch answers), labels and hostile input, as scripts of
// tests/surface/data/var_tool_cases.txt run one block a test.
#include "surface/var_tool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>

#include "config/flag.h"
#include "config/menu.h"
#include "config/resrc.h"
#include "config/system.h"
#include "files/date.h"
#include "tests/support/driver_runs.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_said.h"

namespace {

using surface_cases::num;
using surface_cases::Row;
using S = std::string;

// The grid module's function names, as far as these tests use them: the parser only
// asks the recognisers that are registered with it.
int test_func_class(const char* name) {
  const S n(name, std::strcspn(name, "-"));
  if (n == "wind") return 20;
  if (n == "vect") return 21;
  if (n == "strm" || n == "stream") return 23;
  return n == "add" || n == "mul" || n == "sub" ? 10 : 0;
}
int test_vect_func(const char* name) { return std::strcmp(name, "grad") == 0 || std::strcmp(name, "vdiff") == 0; }

// Record i in full: name|units|type|role|var number|time|level type/level|format.
S record(int i) {
  const VarRec& r = *VAR_get_var(i);
  char b[256];
  std::snprintf(b, sizeof b, "%s|%s|%d|%d|%d|%d|%d/%d|%s", r.name, r.units, r.type, r.flag, r.var, r.time, r.ltype,
                r.level, r.format);
  return b;
}

class Var : public ::testing::TestWithParam<S> {
 protected:
  void SetUp() override {
    // A variable file of macros, continuation lines and menu conditions.
    write_file(dir_ + "/test.var", read_file(S(STACONT_SOURCE_DIR) + "/tests/surface/data/test.var"));
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
    DATE_set_model_lookup(nullptr);
  }
  // Every command's standard error is kept for "said".
  std::map<S, surface_cases::Command> commands() {
    using P = int (*)(int);
    const std::map<S, P> predicates = {{"REG", VAR_is_REG}, {"SUBREG", VAR_is_SUBREG}, {"FUNC", VAR_is_FUNC},
        {"COMP", VAR_is_COMP}, {"VECT", VAR_is_VECT}, {"FUNC_VECT", VAR_is_FUNC_VECT}, {"LABEL", VAR_is_LABEL},
        {"SUBPLOT", VAR_is_SUBPLOT}, {"type_GRID", VAR_is_type_GRID}, {"plot_CONT", VAR_is_plot_CONT},
        {"fit_GRID", VAR_is_fit_GRID}, {"get_GRID", VAR_is_get_GRID}};
    std::map<S, surface_cases::Command> c = {
        {"file", [this](const Row& r) { return write_file(dir_ + "/" + r[1], r[2]), S(); }},
        {"open", [](const Row& r) {
           return std::to_string(VAR_open_file((r[1][0] == '@' ? S(STACONT_DATA_DIR) + "/" + r[1].substr(1) : r[1]).c_str()));
         }},
        {"batch", [](const Row& r) { return FLAG_set_batch(num(r[1])), S(); }},
        {"res", [](const Row& r) { return RES_put(r[1].c_str(), r[2].c_str()), S(); }},
        {"setup", [](const Row& r) { return std::to_string(VAR_setup(nullptr, r[1].c_str())); }},
        {"said", [this](const Row& r) {
           const S said = std::exchange(said_, "");
           return r.size() < 2 ? said : said.find(r[1]) != S::npos ? "has" : "lacks";
         }},
        {"quiet", [this](const Row&) { return (said_.size() < 1000 ? "short: " : "long: ") + std::exchange(said_, ""); }},
        {"num", [](const Row&) { return std::to_string(VAR_get_num()); }},
        {"at_most", [](const Row& r) { return VAR_get_num() <= num(r[1]) ? "yes" : std::to_string(VAR_get_num()); }},
        {"status", [](const Row&) { return std::to_string(ZAV_status()); }},
        // The first record a request makes, the program's plot type given; the file again after.
        {"first", [](const Row& r) {
           FLAG_set(11, num(r[2]));
           const S out = VAR_setup(nullptr, r[1].c_str()) == 1 ? record(0) : "refused";
           return VAR_open_file("test.var"), out;
         }},
        {"records", [](const Row&) {
           S s;
           for (int i = 0; i < VAR_get_num(); ++i) s += record(i) + " ";
           return s;
         }},
        // Every record as name/role/type.
        {"roles", [](const Row& r) {
           S s = VAR_setup(nullptr, r[1].c_str()) == 1 ? "" : "refused ";
           for (int i = 0; i < VAR_get_num(); ++i)
             s += VAR_get_name(i) + ("/" + std::to_string(VAR_get_flag(i))) + "/" + std::to_string(VAR_get_type(i)) + " ";
           return s;
         }},
        {"name", [](const Row& r) { return S(VAR_get_name(num(r[1]))); }},
        {"units", [](const Row& r) { return S(VAR_get_units(num(r[1]))); }},
        {"time", [](const Row& r) { return std::to_string(VAR_get_time(num(r[1]))); }},
        {"keys", [](const Row& r) { return VAR_get_time_key(num(r[1])) + "/" + VAR_get_level_key(num(r[1])); }},
        {"search", [](const Row& r) { return std::to_string(VAR_search_var_num(r[1].c_str())); }},
        {"lookup", [](const Row& r) { return VAR_lookup(r[1].c_str()); }},
        // Names the variable file does not define, of those given.
        {"undefined", [](const Row& r) {
           S missing, n;
           for (std::istringstream names(r[1]); names >> n;)
             if (VAR_lookup(n.c_str()).empty() || VAR_search_var_num(n.c_str()) <= 0) missing += n + " ";
           return missing;
         }},
        {"pred", [predicates](const Row& r) {
           const P p = predicates.at(r[1]);
           S s;
           for (int i = 0; i < VAR_get_num(); ++i) s += p(i) ? '1' : '0';
           return p(-1) + p(VAR_get_num()) ? s + " out of range" : s;
         }},
        {"dec_type", [](const Row& r) { return std::to_string(VAR_dec_type(r[1].c_str())); }},
        {"print_type", [](const Row& r) { return S(VAR_print_type(num(r[1]))); }},
        // Result, level type and level (7 7 kept when not read), then the type read back from
        // the level's printed form.
        {"dec_level", [](const Row& r) {
           int lt = 7, lv = 7, lt2 = 0, lv2 = 0;
           const int ok = VAR_dec_level(r[1].c_str(), &lt, &lv);
           if (ok == 1) VAR_dec_level(VAR_level(lt, lv).c_str(), &lt2, &lv2);
           return std::to_string(ok) + " " + std::to_string(lt) + " " + std::to_string(lv) +
                  (ok == 1 ? " " + std::to_string(lt2) : "");
         }},
        {"level", [](const Row& r) {
           return VAR_level(num(r[1]), num(r[2])) + "|" + VAR_make_datalevel(num(r[1]), num(r[2]));
         }},
        {"dec_time", [](const Row& r) {
           int t = 12345;
           const int ok = VAR_dec_time(r[1].c_str(), &t);
           return std::to_string(ok) + " " + std::to_string(t);
         }},
        // A time code printed, then read back.
        {"time_text", [](const Row& r) {
           const S text = VAR_time(num(r[1]));
           int t = 0;
           const int ok = VAR_dec_time(text.c_str(), &t);
           return text + " " + std::to_string(ok) + " " + std::to_string(t);
         }},
        {"menu_for", [](const Row& r) {
           VAR_set_model_str(r[1].c_str()), VAR_set_time_str(r[2].c_str()), VAR_set_level_str(r[3].c_str());
           return S();
         }},
        {"read_menu", [](const Row&) { return std::to_string(VAR_read_menu()); }},
        {"menu_display", [](const Row& r) { return std::to_string(VAR_menu_display(r[1].c_str(), r[2].c_str())); }},
        {"menu", [](const Row&) {
           char answer[MENU_ANSWER_LEN] = "";
           return std::to_string(VAR_menu("Menu", "Enter: ", answer, 3)) + answer;
         }},
        {"datatype", [](const Row& r) { return VAR_make_datatype(num(r[1]), num(r[2]), num(r[3]), num(r[4]), r[5].c_str()); }},
        {"var_datatype", [](const Row& r) { return VAR_make_var_datatype(num(r[1])); }},
        {"form_datatype", [](const Row& r) { return VAR_make_var_form_datatype(num(r[1])); }},
        {"str", [](const Row& r) { return VAR_str(num(r[1])); }},
        {"model", [](const Row& r) { const char* m = VAR_model(num(r[1])); return m ? S(m) : "(none)"; }},
        {"source", [](const Row& r) { return S(VAR_source(num(r[1]))); }},
        // A date label of 12Z 5 Jan 98 for hours and model, the model list registered as the
        // program registers it.
        {"date_label", [](const Row& r) {
           DATE_set_model_lookup(VAR_model);
           char buf[DATE_LABEL_LEN];
           const DateRec h00{1998, 1, 5, -9999, -9999, 0, -9999, -9999};
           DATE_make_label_for_time(num(r[1]), num(r[2]), &h00, buf);
           return S(buf);
         }},
        // The label style the plot parameters give, and a label in it.
        {"label_style", [](const Row& r) {
           VAR_set_label_type(7);
           RES_put("plot_param", r[1].c_str());
           VAR_param_decode();
           return std::to_string(VAR_get_label_type()) + "|" + VAR_make_datatype(0, 100, 500, 11, "C");
         }},
        // Lines of every byte value, a 300000-character line and a zero byte before the last line.
        {"junk", [this](const Row& r) {
           S junk = "ok Fine 1 dewp[C]\n";
           for (int i = 0; i < 2000; ++i) junk += S(1, static_cast<char>(i % 256)) + "\x01\xff\\\n";
           return write_file(dir_ + "/" + r[1], junk + S(300000, 'z') + "\n" + S(1, '\0') + "zz Last 1 rhum\n"), S();
         }}};
    return surface_cases::keeping_said(c, &said_);
  }
  S dir_ = make_temp_dir("var"), said_;
};

TEST_P(Var, Script) { surface_cases::run_script("var_tool_cases.txt", GetParam(), commands()); }

INSTANTIATE_TEST_SUITE_P(Blocks, Var,
                         ::testing::Values("first", "options", "grammar", "bad_requests", "hostile", "plot_types",
                                           "levels", "times", "predicates", "menus", "files", "shipped", "period",
                                           "labels"),
                         [](const auto& info) { return info.param; });

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

}  // namespace

// The real program's variable prompt, as the runs of tests/data/surface/var_prompt.runs.
STACONT_RUNS_TABLE(VarPrompt, "../surface/var_prompt.runs");
