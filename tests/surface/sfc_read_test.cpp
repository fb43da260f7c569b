// Surface data files: form detection, every group of the text forms, positioning, both
// netCDF forms (built with ncgen), hostile files and the plot loop's file wrappers, as
// scripts of tests/surface/data/sfc_read_cases.txt run one block a test.
#include "surface/sfc_read.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>

#include "plot/maptran.h"
#include "surface/cty_tool.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_report.h"
#include "tests/support/surface_said.h"

namespace {

using surface_cases::num;
using surface_cases::Row;
using surface_report::dump;
using S = std::string;

class Sfc : public ::testing::TestWithParam<S> {
 protected:
  void TearDown() override { SFC_reset_state(), CTY_reset_state(), MAP_domain(nullptr), DOM_set_prior(3); }
  S file(const S& name, const S& text) { return write_file(dir_ + "/" + name, text), dir_ + "/" + name; }
  // Reports of a whole file read one after another, a dump a line.
  S read_all(const S& text, int mode = 0) {
    int form = 0;
    S out;
    if (SFC_open(file("f", text).c_str(), 0, &form) < 0 || SFC_getinfo(0, &info_) != 0) return out;
    sfc_report r;
    for (int i = 0; i < 100000 && SFC_read(0, &r, mode, &i) == 0; ++i) out += dump(r) + "\n";
    SFC_close(0);
    return out;
  }
  S opened(const S& path) {
    int form = 0;
    const int h = SFC_open(path.c_str(), 0, &form);
    return "form " + std::to_string(form) + (h < 0 ? " refused" : SFC_getinfo(h, &info_) != 0 ? " no info" : "");
  }
  // Every command's standard error is kept for "said", its standard output for "printed".
  std::map<S, surface_cases::Command> commands() {
    std::map<S, surface_cases::Command> c = {
        {"said", [this](const Row&) { return std::exchange(said_, ""); }},
        {"said_lines", [this](const Row&) { return std::to_string(std::count(said_.begin(), said_.end(), '\n')); }},
        {"printed", [this](const Row&) { return std::exchange(printed_, ""); }},
        {"chktype", [this](const Row& r) { return std::to_string(SFC_chktype(file("d", r[1]).c_str())); }},
        {"chktype_none", [this](const Row&) {
           return std::to_string(SFC_chktype((dir_ + "/none").c_str())) + " " + std::to_string(SFC_chktype(nullptr));
         }},
        {"open", [this](const Row& r) { return opened(file("f", r[1])); }},
        {"open_nc", [this](const Row& r) { return opened(dir_ + "/" + r[1] + ".nc"); }},
        // The header read: label|count|year-month-day hour:minute.
        {"head", [this](const Row&) {
           const DateRec& t = info_.date;
           std::ostringstream o;
           o << info_.label << "|" << info_.count << "|" << t.year << "-" << t.month << "-" << t.day << " " << t.hour
             << ":" << t.minute;
           return o.str();
         }},
        // Report index of the open file, as a dump ("" when it cannot be read).
        {"at", [](const Row& r) {
           sfc_report rep;
           int index = num(r[1]);
           return SFC_read(0, &rep, r.size() > 2 ? num(r[2]) : 0, &index) == 0 ? dump(rep) : "";
         }},
        {"rewind", [](const Row&) { return std::to_string(SFC_rewind(0)); }},
        {"close", [](const Row&) { return std::to_string(SFC_close(0)); }},
        {"read", [this](const Row& r) { return read_all(r[1], r.size() > 2 ? num(r[2]) : 0); }},
        // A text form file of one report line under a label.
        {"line", [this](const Row& r) { return read_all("ZAVSFC\n" + r[2] + "\n" + r[1] + "\n"); }},
        // netCDF from a CDL file of the case folder with every FROM replaced by TO, through ncgen.
        {"cdf", [this](const Row& r) {
           S cdl = r[2][0] == '@' ? read_file(S(STACONT_SOURCE_DIR) + "/tests/surface/data/" + r[2].substr(1)) : r[2];
           for (std::size_t p; r.size() > 4 && (p = cdl.find(r[3])) != S::npos;) cdl.replace(p, r[3].size(), r[4]);
           const S src = file(r[1] + ".cdl", cdl);
           return std::to_string(run_program("/bin/sh", {"-c", "ncgen -o '" + dir_ + "/" + r[1] + ".nc' '" + src + "'"}).status);
         }},
        // A file's first bytes (all but -n of them for a negative n, half for "half"), read whole.
        {"cut", [this](const Row& r) {
           const S whole = read_file(dir_ + "/" + r[1]);
           const long n = r[2] == "half" ? static_cast<long>(whole.size() / 2) : std::stol(r[2]);
           return read_all(whole.substr(0, n < 0 ? whole.size() + n : n));
         }},
        // Fields set by name on the report kept, then checked: the dump of what stays.
        {"check", [this](const Row& r) {
           S word;
           for (std::istringstream in(r[1]); in >> word;) {
             const S name = word.substr(0, word.find('=')), v = word.substr(word.find('=') + 1);
             if (float* f = surface_report::value(rep_, name)) *f = std::stof(v);
             if (name == "time") rep_.time = num(v);
             if (name == "ptype") rep_.ptype = num(v);
             if (name == "c0") rep_.cld_hgt[0] = std::stof(v), rep_.cld_cov[0] = v.back();
             if (name == "c1h") rep_.cld_hgt[1] = std::stof(v);
           }
           SFC_check_valid(&rep_);
           return dump(rep_);
         }},
        // The stations of a database placed on a domain: projection, centre, size, spacing.
        {"stations", [this](const Row& r) {
           DomainRec d;
           DOM_init(&d);
           std::istringstream in(r[2]);
           in >> d.proj >> d.clat >> d.clon >> d.nx >> d.ny >> d.dx;
           d.dy = d.dx;
           return CTY_store(file("st.cty", r[1]).c_str(), CTY_MODE_COMPACT, &d, num(r[3])) >= 0 ? "stored" : "refused";
         }},
        {"prior", [](const Row& r) { return DOM_set_prior(num(r[1])), S(); }},
        {"open_file", [this](const Row& r) { return std::to_string(SFC_open_file(file(r[1], r[2]).c_str())); }},
        {"open_missing", [this](const Row&) { return std::to_string(SFC_open_file((dir_ + "/missing").c_str())); }},
        {"file_info", [](const Row&) {
           return SFC_get_file_info()->label + S("|") + std::to_string(SFC_get_file_info()->date.day);
         }},
        // The next report placed: result, identifier, and whether it lies where lat lon does.
        {"report", [](const Row& r) {
           sfc_report rep;
           StationRec st{};
           float x = 0, y = 0;
           const int res = SFC_read_report(&rep, &st);
           if (r.size() > 2) MAP_tran(&x, &y, std::stof(r[1]), std::stof(r[2]));
           const bool there = r.size() > 2 && std::abs(st.x - x) < 1e-3f && std::abs(st.y - y) < 1e-3f;
           return std::to_string(res) + " " + st.id + (there ? " there" : "") +
                  (st.prior == DOM_get_loc_prior() && st.elev == 0 ? " as reported" : "");
         }},
        {"rewind_file", [](const Row&) { return SFC_rewind_file(), S(); }},
        {"close_file", [](const Row&) { return SFC_close_file(), S(); }},
        // The identifiers given, each with a report, read twice through (the next plot reads
        // the same file): how many were placed.
        {"read_twice", [this](const Row& r) {
           S text = "ZAVSFC\n12Z  5 JAN 98\n", id;
           for (std::istringstream in(r[2]); in >> id;) text += id + " 455 300 2715 992 132 10.0 25B -\n";
           if (SFC_open_file(file(r[1], text).c_str()) != 1) return S("not opened");
           sfc_report rep;
           StationRec st{};
           int placed = 0, code;
           while ((code = SFC_read_report(&rep, &st)) >= 0) placed += code;
           SFC_rewind_file();
           while (SFC_read_report(&rep, &st) >= 0) {
           }
           return SFC_close_file(), std::to_string(placed);
         }}};
    return surface_cases::keeping_said(c, &said_, &printed_);
  }
  S dir_ = make_temp_dir("sfc"), said_, printed_;
  sfc_info info_{};
  sfc_report rep_ = [] { sfc_report r; SFC_initialize(&r); return r; }();
};

TEST_P(Sfc, Script) { surface_cases::run_script("sfc_read_cases.txt", GetParam(), commands()); }

INSTANTIATE_TEST_SUITE_P(Blocks, Sfc,
                         ::testing::Values("detect", "text_lines", "positioning", "old_text", "check_valid", "hostile",
                                           "netcdf_report", "netcdf_station", "netcdf_shapes", "wrappers", "unknown"),
                         [](const auto& info) { return info.param; });

}  // namespace
