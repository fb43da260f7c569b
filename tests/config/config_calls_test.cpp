// The small services of the configuration layer (flags, texts, byte order, line readers,
// the keyed table, menus, the set command, the pattern scanner) called by the scripts of
// tests/data/config/calls.txt.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

#include "config/flag.h"
#include "config/menu.h"
#include "config/prompt.h"
#include "config/resrc.h"
#include "config/scanp.h"
#include "config/string.h"
#include "config/table.h"
#include "config/tools.h"
#include "tests/support/gwin_calls.h"
#include "tests/support/run.h"

namespace {

// Types: 0 the main listing, 1 a second listing that also holds "hidden".
const MenuEntry menu[] = {
    {"ret", "Return to main menu", 0, {1, 1, 0, 0}}, {"t", "Temperature", 1, {1, 1, 0, 0}},
    {"td", "Dew point", 2, {1, 1, 0, 0}},            {"rh", "Relative humidity", 3, {1, 0, 0, 0}},
    {"th", "Potential temperature", 4, {1, 0, 0, 0}}, {"-", "-", 0, {1, 0, 0, 0}},
    {"wd", "Wind", 5, {1, 0, 0, 0}},                 {"u", "U component", 6, {1, 0, 0, 0}},
    {"v", "V component", 7, {1, 0, 0, 0}},           {"hidden", "Only in the second menu", 50, {0, 1, 0, 0}},
    {"p", "Sea level pressure", 8, {1, 0, 0, 0}},    {"al", "Altimeter", 9, {1, 0, 0, 0}},
    {"vis", "Visibility", 10, {1, 0, 0, 0}},         {"cig", "Ceiling", 11, {1, 0, 0, 0}},
    {"cld", "Cloud cover", 12, {1, 0, 0, 0}},        {nullptr, nullptr, 0, {0, 0, 0, 0}}};

int menu_flags(const std::string& f) {
  return f == "all" ? MENU_EXIT | MENU_RETURN | MENU_HELP : f == "return" ? MENU_RETURN : f == "help" ? MENU_HELP : MENU_EXIT;
}

struct Rec {
  int id;
  char text[13];
};

// What a script works on: one file of text, one table, one number in both byte orders,
// one line under the pattern scanner.
struct State {
  std::FILE* f = nullptr;
  Table t;
  std::int16_t s[2] = {};
  std::int32_t l[2] = {};
  double d = 0;
  std::string line;
  ScanpRec scan{};
  ~State() {
    if (f != nullptr) std::fclose(f);
    TAB_clear(&t);
  }
};
std::unique_ptr<State> st;

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }
std::string id_of(void* p) { return p == nullptr ? "null" : num(static_cast<Rec*>(p)->id); }
template <typename T>
std::string hex(T v) {
  char b[24];
  std::snprintf(b, sizeof b, "%llx", static_cast<unsigned long long>(v) & (sizeof(T) == 2 ? 0xFFFFull : sizeof(T) == 4 ? 0xFFFFFFFFull : ~0ull));
  return b;
}
// A scan of the line with a fresh destination for each directive that stores (ints and
// floats start as -1, texts empty): the count, the values by their conversion, and the
// characters used, joined by '|'. A directive the scanner rejects gets an int.
std::string scan(const std::string& format) {
  union Slot {
    int i;
    float f;
    char text[SCANP_TEXT_MAX + 1];
  } slot[6];
  std::string kinds;  // 'i', 'f' or 't' for each directive that stores
  for (std::size_t k = 0; k < format.size(); ++k) {
    if (format[k] != '%') continue;
    bool store = true;
    for (++k; k < format.size() && std::strchr("*<!0123456789", format[k]); ++k) {
      if (format[k] == '*') store = false;
      if (format[k] == '!') k = std::min(format.find('!', k + 1), format.size() - 1);
    }
    const char c = k < format.size() ? format[k] : 'd';
    if (store && c != '%') kinds += std::strchr("fF", c) ? 'f' : std::strchr("sSANcwW[(", c) ? 't' : 'i';
  }
  for (std::size_t k = 0; k < 6; ++k) {
    std::memset(slot[k].text, 0, sizeof slot[k].text);
    if (k < kinds.size() && kinds[k] == 'f')
      slot[k].f = -1;
    else if (k >= kinds.size() || kinds[k] == 'i')
      slot[k].i = -1;
  }
  std::string s = num(scanp(&st->scan, format.c_str(), &slot[0], &slot[1], &slot[2], &slot[3], &slot[4], &slot[5]));
  for (std::size_t k = 0; k < kinds.size() && k < 6; ++k) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", static_cast<double>(slot[k].f));
    s += "|" + (kinds[k] == 'f' ? std::string(b) : kinds[k] == 't' ? std::string(slot[k].text) : num(slot[k].i));
  }
  return s + "|" + num(st->scan.used);
}
std::string edit(char* (*f)(char*), const std::string& text) {
  std::string b = text;
  return f(b.data());
}

const Calls& calls() {
  static const Calls c = {
      {"FLAG_reset", [](const Args& a) { return FLAG_reset(to_i(a[0])), ""; }},
      {"FLAG_get", [](const Args& a) { return num(FLAG_get(to_i(a[0]))); }},
      {"FLAG_getl", [](const Args& a) { return num(static_cast<long long>(FLAG_getl(to_i(a[0])))); }},
      {"FLAG_set", [](const Args& a) { return num(FLAG_set(to_i(a[0]), to_i(a[1]))); }},
      {"FLAG_setl", [](const Args& a) { return num(FLAG_setl(to_i(a[0]), std::stoll(a[1]))); }},
      {"FLAG_batch", [](const Args&) { return num(FLAG_batch()); }},
      {"FLAG_help", [](const Args&) { return num(FLAG_help()); }},
      {"FLAG_set_batch", [](const Args& a) { return FLAG_set_batch(to_i(a[0])), ""; }},
      {"FLAG_resetplot", [](const Args& a) { return FLAG_resetplot(to_i(a[0])), ""; }},
      {"FLAG_setplot", [](const Args& a) { return num(FLAG_setplot(to_i(a[0]), to_i(a[1]))); }},
      {"FLAG_getplot", [](const Args& a) { return num(FLAG_getplot(to_i(a[0]))); }},
      {"plot_flags",  // every plot flag in order
       [](const Args&) {
         std::string s;
         for (int i = 0; i < FLAG_NUM_PLOT; ++i) s += (i ? " " : "") + num(FLAG_getplot(i));
         return s;
       }},
      {"parse_string",  // the answer, then each item after a '|'; the items live in copies
       [](const Args& a) {
         std::string source = a[0];
         int count = -5;
         char** list = nullptr;
         std::string s = num(parse_string(a[0] == "<null>" ? nullptr : source.c_str(), a[1][0], &count, &list));
         source.assign(source.size(), 'z');
         for (int i = 0; i < count; ++i) s += "|" + std::string(list[i]);
         free_parsed_array(count, list);
         return s;
       }},
      {"low_string", [](const Args& a) { return edit(low_string, a[0]); }},
      {"strip_string", [](const Args& a) { return edit([](char* s) { return strip_string(s, 'x'); }, a[0]); }},
      {"strip_escape", [](const Args& a) { return edit(strip_escape, a[0]); }},
      {"trim_string", [](const Args& a) { return edit(trim_string, a[0]); }},
      {"trim_cr_string", [](const Args& a) { return edit(trim_cr_string, a[0]); }},
      {"wstrim_string", [](const Args& a) { return edit(wstrim_string, a[0]); }},
      {"fill_string", [](const Args& a) { return edit([](char* s) { return fill_string(s, '_', ' '); }, a[0]); }},
      {"stricmp", [](const Args& a) { return num(sign(stricmp(a[0].c_str(), a[1].c_str()))); }},
      {"strnicmp", [](const Args& a) { return num(sign(strnicmp(a[0].c_str(), a[1].c_str(), std::stoul(a[2])))); }},
      {"string_is_num", [](const Args& a) { return num(string_is_num(a[0].c_str())); }},
      {"set_num", [](const Args& a) { return into<32>([&](char* b) { return set_num(b, a[0].c_str(), std::stof(a[1])); }); }},
      {"number_format",  // the conversion found among the float ones, then among all numbers
       [](const Args& a) {
         std::string s = {number_format_conversion(a[0], kFloatConversions), number_format_conversion(a[0], kNumberConversions)};
         for (char& ch : s) ch = ch == '\0' ? '-' : ch;
         return s;
       }},
      {"new", [](const Args&) { return st = std::make_unique<State>(), ""; }},
      {"swap_setup", [](const Args& a) { return num(swap_setup(to_i(a[0]))); }},
      {"values",  // the short, long and double a script swaps, as numbers
       [](const Args& a) {
         st->s[0] = static_cast<std::int16_t>(to_i(a[0])), st->s[1] = static_cast<std::int16_t>(to_i(a[1]));
         st->l[0] = static_cast<std::int32_t>(std::stoll(a[2], nullptr, 0)), st->l[1] = to_i(a[3]), st->d = std::stod(a[4]);
         return "";
       }},
      {"swap_short", [](const Args&) { return num(swap_short(st->s)); }},
      {"swap_shorts", [](const Args& a) { return num(swap_shorts(st->s, to_i(a[0]))); }},
      {"swap_long", [](const Args&) { return num(swap_long(st->l)); }},
      {"swap_longs", [](const Args& a) { return num(swap_longs(st->l, to_i(a[0]))); }},
      {"swap_double", [](const Args&) { return num(swap_double(&st->d)); }},
      {"hex", [](const Args&) { return hex(st->s[0]) + " " + hex(st->s[1]) + " " + hex(st->l[0]) + " " + hex(st->l[1]) + " " + hex(std::bit_cast<std::uint64_t>(st->d)); }},
      {"file",  // the text to read, or nothing for an empty file to write
       [](const Args& a) {
         if (st->f != nullptr) std::fclose(st->f);
         st->f = std::tmpfile();
         if (!a.empty()) std::fputs(a[0].c_str(), st->f), std::rewind(st->f);
         return "";
       }},
      {"rewind", [](const Args&) { return std::rewind(st->f), ""; }},
      {"fputs", [](const Args& a) { return num(std::fputs(a[0].c_str(), st->f)); }},
      {"getc", [](const Args&) { return num(std::getc(st->f)); }},
      {"fscanf_d",
       [](const Args&) {
         int v = 0;
         const int n = std::fscanf(st->f, "%d", &v);
         return num(n) + "|" + num(v);
       }},
      {"fgetline",  // the answer and the text read
       [](const Args&) {
         char b[161] = "";
         const int n = fgetline(st->f, b);
         return num(n) + (n >= 0 ? "|" + std::string(b) : "");
       }},
      {"fgetnline",
       [](const Args& a) {
         char b[161] = "";
         const int n = fgetnline(st->f, b, to_i(a[0]));
         return num(n) + "|" + b;
       }},
      {"fgetstring",
       [](const Args& a) {
         char b[161] = "";
         return std::string(fgetstring(st->f, b, to_i(a[0])) != nullptr ? b : "null");
       }},
      {"fskipline", [](const Args&) { return num(fskipline(st->f)); }},
      {"fwrite_long_swap", [](const Args& a) { return num(fwrite_long_swap(static_cast<std::int32_t>(std::stoll(a[0], nullptr, 0)), st->f)); }},
      {"fread_long_swap",
       [](const Args&) {
         const int n = fread_long_swap(st->l, st->f);
         return num(n) + (n ? "|" + num(st->l[0]) : "");
       }},
      {"fread_short_swap",
       [](const Args&) {
         const int n = fread_short_swap(st->s, st->f);
         return num(n) + (n ? "|" + num(st->s[0]) : "");
       }},
      {"TAB_create", [](const Args& a) { return num(TAB_create(a[0] == "null" ? nullptr : &st->t, to_i(a[1]), sizeof(Rec), to_i(a[2]))); }},
      {"TAB_key", [](const Args& a) { return num(TAB_key(&st->t, a[0].c_str())); }},
      {"TAB_enter",  // id, then the keys; "null" a null key
       [](const Args& a) {
         const Rec r{to_i(a[0]), ""};  // gone after the call: the table keeps its own copy
         std::vector<const char*> keys;
         for (std::size_t i = 1; i < a.size(); ++i) keys.push_back(a[i] == "null" ? nullptr : a[i].c_str());
         return num(keys.size() == 1 ? TAB_enter(&st->t, &r, keys[0]) : keys.size() == 2 ? TAB_enter(&st->t, &r, keys[0], keys[1]) : TAB_enter(&st->t, &r, keys[0], keys[1], keys[2]));
       }},
      {"TAB_fill",  // n records "K<i>" each with the second key given
       [](const Args& a) {
         for (int i = 0; i < to_i(a[0]); ++i) {
           const Rec r{i, ""};
           if (TAB_enter(&st->t, &r, ("K" + std::to_string(i)).c_str(), a[1].c_str()) != 0) return std::string("failed");
         }
         return std::string();
       }},
      {"TAB_search", [](const Args& a) { return id_of(TAB_search(&st->t, to_i(a[0]), a[1] == "null" ? nullptr : a[1].c_str())); }},
      {"TAB_searches",  // the count, then the first and last ids found
       [](const Args& a) {
         std::vector<void*> found(static_cast<std::size_t>(to_i(a[2])) + 1);
         const int n = TAB_searches(&st->t, to_i(a[0]), a[1].c_str(), found.data(), to_i(a[2]));
         return num(n) + (n > 0 ? "|" + id_of(found[0]) + "|" + id_of(found[static_cast<std::size_t>(n) - 1]) : "");
       }},
      {"TAB_same",  // whether two keys reach the same copy
       [](const Args& a) { return num(TAB_search(&st->t, 0, a[0].c_str()) == TAB_search(&st->t, 1, a[1].c_str()) ? 1 : 0); }},
      {"TAB_walk",  // the records from first to last: their count and whether they came in order
       [](const Args&) {
         int n = 0, in_order = 1;
         for (void* p = TAB_first(&st->t); p; p = TAB_next(&st->t)) in_order &= static_cast<Rec*>(p)->id == n++ ? 1 : 0;
         return num(n) + "|" + num(in_order) + "|" + num(st->t.count);
       }},
      {"TAB_clear", [](const Args&) { return TAB_clear(&st->t), ""; }},
      {"MENU_print", [](const Args& a) { return captured([&] { MENU_print(a[0].c_str(), menu, to_i(a[1]), menu_flags(a[2]), "Variable"); }); }},
      {"MENU_process",  // the answers typed: the value, the answer and what was shown
       [](const Args& a) {
         const std::string path = make_temp_dir("menu") + "/stdin";
         write_file(path, a[0]);
         if (std::freopen(path.c_str(), "r", stdin) == nullptr) return std::string("no input");
         char answer[MENU_ANSWER_LEN] = "untouched";
         int v = 0;
         const std::string out = captured([&] { v = MENU_process("\n        Variable Menu\n", menu, to_i(a[1]), "Enter the variable: ", answer, menu_flags(a[2])); });
         return num(v) + "|" + answer + "|" + out;
       }},
      {"MENU_search", [](const Args& a) { return num(MENU_search(a[0] == "<null>" ? nullptr : a[0].c_str(), menu)); }},
      {"MENU_get_abbr", [](const Args& a) { return std::string(MENU_get_abbr(to_i(a[0]), menu) ? MENU_get_abbr(to_i(a[0]), menu) : "null"); }},
      {"MENU_check", [](const Args& a) { return num(MENU_check(to_i(a[0]), menu, to_i(a[1]))); }},
      {"ZAV_set_command", [](const Args& a) { return num(ZAV_set_command(a[0].c_str())); }},
      {"line", [](const Args& a) { return st->line = a[0], scanp_set(&st->scan, st->line.data()), ""; }},
      {"scanp", [](const Args& a) { return scan(a[0]); }},
      {"scanp_inc", [](const Args&) { return scanp_inc(&st->scan), ""; }},
      {"scanp_off", [](const Args& a) { return scanp_off(&st->scan, to_i(a[0])), ""; }},
      {"scanp_inc_off", [](const Args& a) { return scanp_inc_off(&st->scan, to_i(a[0])), ""; }},
      {"scanp_get_off", [](const Args&) { return num(scanp_get_off(&st->scan)); }},
      {"scanp_str", [](const Args&) { return std::string(scanp_str(&st->scan)); }},
      {"scanp_char", [](const Args& a) { return std::string(1, scanp_char(&st->scan, to_i(a[0]))); }},
      {"scanp_replace", [](const Args& a) { return num(scanp_replace(&st->scan, to_i(a[0]), a[1][0])); }},
      {"scanp_search", [](const Args& a) { return num(scanp_search(&st->scan, a[0].c_str())); }},
      {"RES_get", [](const Args& a) { return std::string(RES_get(a[0].c_str()) ? RES_get(a[0].c_str()) : "<unset>"); }},
  };
  return c;
}

class Config : public testing::TestWithParam<Script> {
  void TearDown() override { st.reset(); }
};
TEST_P(Config, Calls) {
  st = std::make_unique<State>();
  run_calls(GetParam(), calls());
}
INSTANTIATE_TEST_SUITE_P(Script, Config, testing::ValuesIn(scripts_of("config/calls.txt")), script_name);

}  // namespace
