// File naming (conventions, templates, the user's specifications, current and latest
// files, sequences, services) and the dates and labels, called by the scripts of
// tests/data/files/calls.txt. "$D" in a word is the test's own directory. Hostile names
// and specifications are runs of the program (tests/data/files/input.runs).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "files/date.h"
#include "files/files.h"
#include "tests/support/gwin_calls.h"
#include "tests/support/run.h"

namespace {

std::string dir;
constexpr int M = -9999;

std::string d(const std::string& t) { return with_dir(t, dir); }
// A date from the words from k on: year, month, day, hour, minute, second (missing: -9999,
// the minute of a file's date 0, the second 0).
DateRec date_of(const Args& a, std::size_t k, int minute = M) {
  int v[6] = {M, M, M, M, minute, 0};
  for (std::size_t i = 0; i < 6 && k + i < a.size(); ++i) v[i] = to_i(a[k + i]);
  return DateRec{v[0], v[1], v[2], M, M, v[3], v[4], v[5]};
}
std::string fields(const DateRec& r, int n) {
  const int v[6] = {r.year, r.month, r.day, r.hour, r.minute, r.second};
  std::string s;
  for (int i = 0; i < n; ++i) s += (i ? " " : "") + num(v[i]);
  return s;
}
// The dates of the forecast labels: 1998-01-05 at 00 and 12 UTC and without hour, or none.
const DateRec* named(const std::string& n) {
  static const DateRec h00{1998, 1, 5, M, M, 0, M, 0}, h12{1998, 1, 5, M, M, 12, M, 0}, nohour{1998, 1, 5, M, M, M, M, 0};
  return n == "h00" ? &h00 : n == "h12" ? &h12 : n == "nohour" ? &nohour : nullptr;
}
const char* model_name(int model) { return model == 1 ? "Objective analysis" : ""; }
std::string text(const char* t) { return t == nullptr ? "null" : t; }

const Calls& calls() {
  static const Calls c = {
      {"RES_put", [](const Args& a) { return RES_put(a[0].c_str(), d(a[1]).c_str()), ""; }},
      {"RES_new", [](const Args& a) { return RES_new(to_i(a[0]), a[1].c_str(), a[2].c_str(), to_i(a[3])), ""; }},
      {"setenv", [](const Args& a) { return setenv(a[0].c_str(), d(a[1]).c_str(), 1), ""; }},
      {"FLAG_set", [](const Args& a) { return num(FLAG_set(to_i(a[0]), to_i(a[1]))); }},
      {"FLAG_set_batch", [](const Args& a) { return FLAG_set_batch(to_i(a[0])), ""; }},
      {"write", [](const Args& a) { return write_file(d(a[0]), a[1]), ""; }},
      {"remove", [](const Args& a) { return num(std::remove(d(a[0]).c_str())); }},
      {"stdin", [](const Args& a) { return write_file(dir + "/answers", a[0]), std::string(std::freopen((dir + "/answers").c_str(), "r", stdin) ? "" : "no input"); }},
      {"FILE_set_name", [](const Args& a) { return num(FILE_set_name(d(a[0]).c_str())); }},
      {"FILE_set_name_conv", [](const Args& a) { return num(FILE_set_name_conv(a[0].c_str())); }},
      {"FILE_save_name_conv", [](const Args&) { return FILE_save_name_conv(), ""; }},
      {"FILE_restore_name_conv", [](const Args&) { return FILE_restore_name_conv(), ""; }},
      {"FILE_get_name_conv", [](const Args&) { return into<FILE_NAME_MAX>([](char* t) { return FILE_get_name_conv(t); }); }},
      {"make",  // the name for a date
       [](const Args& a) { return into<FILE_NAME_MAX>([&](char* n) { const DateRec r = date_of(a, 0, 0); FILE_set_date(&r, n); }); }},
      {"hdr",
       [](const Args& a) {
         char n[FILE_NAME_MAX];
         const DateRec r = date_of(a, 0, 0);
         const int rc = FILE_hdr_set_date(&r, n);
         return num(rc) + "|" + n;
       }},
      {"override",  // hour, and day, of the override record
       [](const Args& a) {
         const DateRec o{M, M, a.size() > 1 ? to_i(a[1]) : M, M, M, to_i(a[0]), M, M};
         return num(FILE_set_time(&o));
       }},
      {"FILE_reset_time", [](const Args&) { return FILE_reset_time(), ""; }},
      {"FILE_get_time",
       [](const Args&) {
         DateRec r;
         FILE_get_time(&r);
         return fields(r, 5);
       }},
      {"FILE_get_late_off", [](const Args&) { return num(FILE_get_late_off()); }},
      {"FILE_set_key", [](const Args& a) { return num(FILE_set_key(a[0][0], a[1].c_str())); }},
      {"FILE_get_key", [](const Args& a) { return into<FILE_KEY_LEN>([&](char* k) { return FILE_get_key(a[0][0], k); }); }},
      {"FILE_set_file",  // the answer, the name and the date read
       [](const Args& a) {
         char n[FILE_NAME_MAX];
         const int rc = FILE_set_file(a[0].c_str(), n);
         DateRec r;
         FILE_get_date(&r);
         return num(rc) + "|" + n + "|" + fields(r, 4);
       }},
      {"FILE_set_current",  // the name, the test's directory as $D; with "rc" the answer
       [](const Args& a) {
         char n[FILE_NAME_MAX];
         const int rc = FILE_set_current(a[0].c_str(), n);
         std::string s = n;
         if (s.rfind(dir, 0) == 0) s.replace(0, dir.size(), "$D");
         return a.size() > 1 ? num(rc) : s;
       }},
      {"FILE_first",
       [](const Args& a) {
         const DateRec r = date_of(a, 0, 0);
         return num(FILE_first(&r));
       }},
      {"rest",  // the names left of the sequence ("numbers": as numbers), then whether the file count is the hour count
       [](const Args& a) {
         std::string s;
         char n[FILE_NAME_MAX];
         for (int i = 0; FILE_get_next(n) && i < 50; ++i) s += (i ? " " : "") + (a.empty() ? std::string(n) : num(std::atoi(n)));
         return s + "|" + num(FILE_get_num_file() == FILE_num_hour() ? 1 : 0);
       }},
      {"FILE_get_num_file", [](const Args&) { return num(FILE_get_num_file()); }},
      {"next_prev_prev",
       [](const Args& a) {
         const DateRec r = date_of(a, 0, 0);
         FILE_first(&r);
         char n[FILE_NAME_MAX], b[FILE_NAME_MAX];
         FILE_next_file(n), FILE_prev_file(b), FILE_prev_file(b);
         return std::string(n) + " " + b;
       }},
      {"FILE_text_kind", [](const Args& a) { return num(FILE_text_kind(a[0].c_str(), a[0].size())); }},
      {"read_pipe",
       [](const Args& a) {
         std::FILE* f = FILE_open(a[0].c_str(), "r");
         char b[32] = "";
         if (f == nullptr || std::fgets(b, sizeof b, f) == nullptr) return std::string("null");
         return std::string(b) + "|" + num(FILE_close(f));
       }},
      {"std_streams", [](const Args&) { return num(FILE_open("-", "r") == stdin && FILE_open("stdout", "w") == stdout ? 1 : 0); }},
      {"FILE_type", [](const Args& a) { return num(FILE_type(d(a[0]).c_str())); }},
      {"create",
       [](const Args& a) {
         std::FILE* f = FILE_open(a[0].c_str(), "w");
         return std::string(f != nullptr && FILE_close(f) == 0 ? "ok" : "failed");
       }},
      {"FILE_is_dir", [](const Args& a) { return num(FILE_is_dir(d(a[0]).c_str())); }},
      {"FILE_is_file", [](const Args& a) { return num(FILE_is_file(d(a[0]).c_str())); }},
      {"FILE_add_path", [](const Args& a) { return FILE_add_path(a[0], a[1]); }},
      {"FILE_overwrite", [](const Args& a) { return num(FILE_overwrite(d(a[0]).c_str(), to_i(a[1]))); }},
      {"FILE_decode_hour",  // the answer, then year, month, day, hour, minute, and whether second and day of the year are none
       [](const Args& a) {
         DateRec r;
         const int rc = FILE_decode_hour(a[0] == "<null>" ? nullptr : a[0].c_str(), &r);
         return num(rc) + (rc ? "|" + fields(r, 5) + "|" + num(r.second == M && r.julian == M ? 1 : 0) : "");
       }},
      {"conv_hour",  // through the resource conversion the program registers
       [](const Args& a) {
         DateRec r;
         RES_set_converter(12, FILE_conv_hour);
         return num(RES_conv_data(a[0] == "<null>" ? nullptr : a[0].c_str(), &r, 12));
       }},
      {"DATE_set_TZ", [](const Args& a) { return num(DATE_set_TZ(a[0] == "<null>" ? nullptr : a[0].c_str())); }},
      {"tz", [](const Args&) { return std::string(DATE_get_tz_str()) + "|" + num(DATE_get_tz_off()); }},
      {"label",
       [](const Args& a) {
         char b[DATE_LABEL_LEN];
         const DateRec r = a[0] == "<null>" ? DateRec{} : date_of(a, 0);
         const int rc = DATE_make_label(a[0] == "<null>" ? nullptr : &r, b);
         return rc == 0 ? std::string(b) : "rc " + num(rc);
       }},
      {"num_sec_tm",  // the count of a broken-down time as the C library gives one
       [](const Args& a) {
         struct tm t {};
         t.tm_year = to_i(a[0]) - 1900, t.tm_mon = to_i(a[1]) - 1, t.tm_mday = to_i(a[2]), t.tm_hour = to_i(a[3]), t.tm_min = to_i(a[4]), t.tm_sec = to_i(a[5]);
         return num(DATE_num_sec_tm(&t));
       }},
      {"num_sec",  // the normalised date and the count
       [](const Args& a) {
         DateRec r = date_of(a, 0);
         const int s = DATE_num_sec(&r);
         return fields(r, 6) + "|" + num(s);
       }},
      {"months", [](const Args& a) { return text(DATE_month(to_i(a[0]))) + text(DATE_month_lower(to_i(a[0]))) + text(DATE_month_long(to_i(a[0]))); }},
      {"DATE_decode_month", [](const Args& a) { return num(DATE_decode_month(a[0] == "<null>" ? nullptr : a[0].c_str())); }},
      {"DATE_is_leap", [](const Args& a) { return num(DATE_is_leap(to_i(a[0]))); }},
      {"DATE_date_days", [](const Args& a) { return num(DATE_date_days(to_i(a[0]), to_i(a[1]), to_i(a[2]))); }},
      {"DATE_julian_monday",  // the answer, month and day
       [](const Args& a) {
         int m = 0, dd = 0;
         const int rc = DATE_julian_monday(to_i(a[0]), to_i(a[1]), &m, &dd);
         return num(rc) + "|" + num(m) + "|" + num(dd);
       }},
      {"DATE_monday_julian",  // the answer and the day of the year
       [](const Args& a) {
         int j = 0;
         const int rc = DATE_monday_julian(to_i(a[0]), to_i(a[1]), to_i(a[2]), &j);
         return num(rc) + "|" + num(j);
       }},
      {"gmdate",  // year, month, day, day of the year, weekday (0 Sunday), hour, minute, second
       [](const Args& a) {
         const int s = to_i(a[0]);
         DateRec r;
         DATE_get_gmdate(&s, &r);
         return fields(r, 3) + " " + num(r.julian) + " " + num(r.wday) + " " + num(r.hour) + " " + num(r.minute) + " " + num(r.second);
       }},
      {"DATE_days_date",
       [](const Args& a) {
         int y = 0, m = 0, dd = 0;
         const int rc = DATE_days_date(to_i(a[0]), &y, &m, &dd);
         return num(rc) + "|" + num(y) + " " + num(m) + " " + num(dd);
       }},
      {"seq", [](const Args& a) { return into<DATE_SEQ_LEN>([&](char* b) { const DateRec r = date_of(a, 0); DATE_make_seq(&r, b); }); }},
      {"decode_seq",  // the answer and the date
       [](const Args& a) {
         DateRec r;
         const int rc = DATE_decode_seq(a[0].c_str(), &r);
         return num(rc) + "|" + fields(r, 5);
       }},
      {"fhour", [](const Args& a) { return into<DATE_LABEL_LEN>([&](char* b) { DATE_fhour_label(b, to_i(a[0]), to_i(a[1])); }); }},
      {"forecast",  // kind (m: for_time_mod, f: label_for, v: valid_time), time, model name, date: answer and label
       [](const Args& a) {
         static const int base = 883612800 + 4 * 86400;
         const DateRec* r = named(a[3]);
         char b[DATE_LABEL_LEN];
         const int rc = a[0] == "m"   ? DATE_make_label_for_time_mod(to_i(a[1]), a[2] == "<null>" ? nullptr : a[2].c_str(), r, b)
                        : a[0] == "f" ? DATE_make_label_for(to_i(a[1]), M, r ? &base : nullptr, b)
                                      : DATE_make_label_valid_time(to_i(a[1]), r, b);
         return num(rc) + "|" + b;
       }},
      {"lookup", [](const Args& a) { return DATE_set_model_lookup(a[0] == "on" ? model_name : nullptr), ""; }},
      {"for_time",  // time, model number, date
       [](const Args& a) { return into<DATE_LABEL_LEN>([&](char* b) { DATE_make_label_for_time(to_i(a[0]), to_i(a[1]), named(a[2]), b); }); }},
      {"fit",  // time, field width: the label of model 1 from 12 UTC 14 March 2026
       [](const Args& a) {
         const DateRec h12{2026, 3, 14, M, M, 12, M, 0};
         return into<DATE_LABEL_LEN>([&](char* b) { DATE_make_label_for_time_len(to_i(a[0]), 1, &h12, b, to_i(a[1])); });
       }},
      {"format",  // format, time, extra (<null> none), then the date
       [](const Args& a) {
         const DateRec r = date_of(a, 3);
         return into<DATE_LABEL_LEN>([&](char* b) { DATE_format_label(b, a[0].c_str(), to_i(a[1]), a[2] == "<null>" ? nullptr : a[2].c_str(), &r); });
       }},
      {"decode",  // whether decoded, and the date
       [](const Args& a) {
         DateRec r;
         const int rc = DATE_decode_label(a[0].c_str(), &r);
         return num(rc > 0 ? 1 : rc) + "|" + fields(r, 6);
       }},
      {"label_round_trip",  // a label made here decodes to the same second, weekday and day of the year
       [](const Args& a) {
         DateRec in = date_of(a, 0), out;
         char b[DATE_LABEL_LEN];
         DATE_make_label(&in, b);
         const int rc = DATE_decode_label(b, &out);
         return num(rc > 0 && DATE_num_sec(&out) == DATE_num_sec(&in) ? 1 : 0) + "|" + num(out.wday) + "|" + num(out.julian);
       }},
      {"range",  // the wanted date, minutes before and after
       [](const Args& a) {
         const DateRec r = date_of(a, 2);
         DATE_set_range_date(&r);
         return DATE_set_range(to_i(a[0]), to_i(a[1])), "";
       }},
      {"DATE_chk_range", [](const Args& a) { return num(DATE_chk_range(to_i(a[0]))); }},
      {"current",  // the length of the current time's text; its date within 5 s of the clock
       [](const Args&) {
         char b[64];
         DateRec cur;
         DATE_get_current_gmdate(&cur);
         return num(static_cast<int>(std::string(DATE_get_current_str(b)).size())) + "|" + num(std::abs(DATE_num_sec(&cur) - DATE_get_time(nullptr)) <= 5 ? 1 : 0);
       }},
  };
  return c;
}

class Files : public testing::TestWithParam<Script> {
 protected:
  void SetUp() override {
    RES_clear();
    FLAG_reset(-9999);
    MESS_set(0, 0xFF);  // quiet: print, error and warn only
    FILE_reset_state();
    DATE_set_TZ(nullptr);
    DATE_set_model_lookup(nullptr);
    unsetenv("zavcurtime");
    dir = make_temp_dir("files");
    // The test's conventions, any of which a script may use.
    write_file(dir + "/name_conv", "# test conventions\nsfc_grd_zav  %G/%y%m%d%h.zgrd  -  0\nsfc_grd      %G/%y%m%d%h.%e    -  0\n\n"
                                   "hourly       " + dir + "/%Y%m%d%h.sfc   -  10\nhdr          %D/%y%m%d%h.dat  %D/%y%m%d.hdr  0\n");
    RES_put("name_conv", (dir + "/name_conv").c_str());
  }
  void TearDown() override {
    RES_clear();
    unsetenv("zavcurtime");
    DATE_set_TZ(nullptr);
    DATE_set_model_lookup(nullptr);
    FILE_reset_time();
  }
};
TEST_P(Files, Calls) { run_calls(GetParam(), calls()); }

INSTANTIATE_TEST_SUITE_P(Script, Files, testing::ValuesIn(scripts_of("files/calls.txt")), script_name);

}  // namespace
