// METAR and SPECI reports decoded group by group: a table of real-shaped reports and what
// each group means (tests/surface/data/metar_cases.txt), read by one parameterised test.
#include "surface/metar.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "config/missing.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_report.h"

namespace {

struct Case {
  std::string report;
  std::map<std::string, std::string> want;
  std::string source;
};

// Failures name the report, not the bytes of the record.
void PrintTo(const Case& c, std::ostream* os) { *os << c.report; }

std::vector<Case> cases() {
  std::vector<Case> out;
  for (const surface_cases::Row& r : surface_cases::rows("metar_cases.txt", "cases")) {
    Case c{r[0], {}, r[2]};
    std::stringstream w(r[1]);
    for (std::string kv; w >> kv;) c.want[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
    out.push_back(c);
  }
  return out;
}

std::string layers(const sfc_report& r) {
  std::string s;
  for (int k = 0; k < r.ncld; ++k) {
    if (k) s += ',';
    s += r.cld_cov[k];
    s += r.cld_hgt[k] == MISSING ? "-" : std::to_string(static_cast<int>(r.cld_hgt[k]));
  }
  return s.empty() ? "-" : s;
}

std::string chars(char a, char b, char c) {
  std::string s{a, b, c};
  for (char& ch : s)
    if (ch == ' ') ch = '_';
  return s;
}

class Metar : public ::testing::TestWithParam<Case> {};

TEST_P(Metar, GroupsMeanWhatTheFormatSays) {
  const Case& c = GetParam();
  ObsRec obs;
  MtrGroups groups;
  const int result = MTR_decode(c.report, &obs, &groups);
  const sfc_report& r = obs.r;
  const std::map<std::string, std::string> texts = {
      {"cld", layers(r)}, {"tot", std::string(1, r.cld_tot)}, {"wx", r.wx[0] == ' ' ? std::string("-") : std::string(r.wx)},
      {"ctype", chars(r.lcld, r.mcld, r.hcld)}};
  const std::map<std::string, int> ints = {{"ptype", r.ptype},       {"time", r.time},         {"type", r.type},
                                           {"kind", obs.kind},       {"cor", obs.corrected},   {"bad", groups.bad}};
  for (const auto& [field, want] : c.want) {
    SCOPED_TRACE(field + " of " + c.report + " (" + c.source + ")");
    if (const float* n = surface_report::value(r, field))
      EXPECT_NEAR(*n, want == "-" ? MISSING : std::stod(want), want == "-" ? 0.0 : 0.006);
    else if (texts.count(field))
      EXPECT_EQ(texts.at(field), want);
    else if (ints.count(field))
      EXPECT_EQ(ints.at(field), std::stoi(want));
    else if (field == "result")
      EXPECT_EQ(result, want == "N" ? MTR_NIL : want == "X" ? MTR_NOT_REPORT : MTR_DECODED);
    else
      ADD_FAILURE() << "unknown field in the table: " << field;
  }
  if (!c.want.count("result")) {
    EXPECT_EQ(result, MTR_DECODED) << c.report;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Metar, ::testing::ValuesIn(cases()));

TEST(Metar, TableIsRead) { EXPECT_GE(cases().size(), 30u); }

// Repeats of a report sent with other blanks and line breaks are the same report.
TEST(Metar, TextHashIgnoresSpacingAndTheEnd) {
  EXPECT_EQ(MTR_text_hash("KXXX 011153Z 18010KT  10SM\n     CLR="), MTR_text_hash("KXXX 011153Z 18010KT 10SM CLR"));
  EXPECT_NE(MTR_text_hash("KXXX 011153Z 18010KT 10SM CLR"), MTR_text_hash("KXXX 011153Z 18011KT 10SM CLR"));
}

}  // namespace
