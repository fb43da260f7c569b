// Station tables: the header among lines of text, column names and their units, missing
// markers, quoting, times, refused headers, damaged rows, and the real ASOS download.
#include "surface/obs_csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/support/run.h"
#include "tests/support/surface_cases.h"
#include "tests/support/surface_report.h"

namespace {


// A value of an observation by name, as text (numbers printed to 0.001).
std::string value_of(const ObsRec& o, const std::string& f) {
  const sfc_report& r = o.r;
  static const std::map<std::string, std::int32_t ObsRec::*> kInts = {
      {"secs", &ObsRec::secs}, {"day", &ObsRec::day},       {"minute", &ObsRec::minute},
      {"kind", &ObsRec::kind}, {"cor", &ObsRec::corrected}, {"order", &ObsRec::order}};
  if (f == "id") return r.id;
  if (f == "cov") return std::string(r.cld_cov, static_cast<std::size_t>(std::clamp(r.ncld, 0, 5)));
  if (f == "tot") return std::string(1, r.cld_tot);
  if (f == "wx") return r.wx;
  double v = 0.0;
  if (const float* p = surface_report::value(r, f)) v = *p;
  else if (kInts.count(f)) v = o.*kInts.at(f);
  else if (f == "time") v = r.time;
  else if (f == "wmo") v = r.wmo;
  else if (f.size() == 4 && f.rfind("hgt", 0) == 0) v = r.cld_hgt[f[3] - '1'];
  else return "no field " + f;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  return buf;
}

// Checks "field=value" of the first observation, "k:field=value" of observation k,
// "#n:field=value" of the observation of row n; a number is compared to 0.001 after rounding.
void check(const ObsList& obs, const std::string& expect) {
  std::size_t k = 0;
  std::string e = expect;
  if (const auto colon = e.find(':'); colon != std::string::npos && colon < e.find('=')) {
    const std::string at = e.substr(0, colon);
    const auto row = [&](const ObsMeta& o) { return o.order == std::stoi(at.substr(1)); };
    k = at[0] == '#' ? static_cast<std::size_t>(std::find_if(obs.meta.begin(), obs.meta.end(), row) - obs.meta.begin())
                     : std::stoul(at);
    e = e.substr(colon + 1);
  }
  const auto eq = e.find('=');
  const std::string field = e.substr(0, eq);
  std::string want = e.substr(eq + 1);
  ASSERT_LT(k, obs.size()) << expect;
  const std::string got = value_of(obs.at(k), field);
  char* end = nullptr;
  const double w = std::strtod(want.c_str(), &end);
  if (!want.empty() && *end == '\0' && field != "id" && field != "cov" && field != "tot" && field != "wx")
    EXPECT_NEAR(std::stod(got), w, 0.0006) << expect;
  else
    EXPECT_EQ(got, want) << expect;
}

// A case of tests/surface/data/obs_csv_cases.txt: name, table, four counts, source, values.
using Case = surface_cases::Row;

class CsvCases : public ::testing::TestWithParam<Case> {};

TEST_P(CsvCases, Values) {
  const Case& c = GetParam();
  const std::string path = c[1][0] == '%' ? real_data(c[1].substr(1))
                                          : std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/csv/" + c[1].substr(1);
  if (path.empty()) GTEST_SKIP() << c[1] << " is not among the real observations";
  const std::string text = read_file(path);
  EXPECT_EQ(CSV_is_table(text.substr(0, 4096)), 1);
  ObsList obs;
  CsvStats st;
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(CSV_read(text, c[0].c_str(), &obs, &st), 1);
  // Ten thousand rows of a real download take well under half a second.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 0.5);
  EXPECT_EQ(st.rows, std::stol(c[2]));
  EXPECT_EQ(st.used, std::stol(c[3]));
  EXPECT_EQ(st.bad_rows, std::stol(c[4]));
  EXPECT_EQ(obs.size(), std::stoul(c[3]));
  for (std::size_t i = 7; i < c.size(); ++i) check(obs, c[i]);
  EXPECT_EQ(st.bad_values, std::stol(c[5]));
}

INSTANTIATE_TEST_SUITE_P(Tables, CsvCases, ::testing::ValuesIn(surface_cases::rows("obs_csv_cases.txt", "cases")),
                         [](const auto& info) { return info.param[0]; });

// Texts that are not station tables: refused, with what a user reads.
TEST(CsvRead, RefusesHeadersWithoutStationOrTime) {
  for (const Case& r : surface_cases::rows("obs_csv_cases.txt", "refused")) {
    EXPECT_EQ(CSV_is_table(r[0]), 0) << r[0];
    ObsList obs;
    testing::internal::CaptureStderr();
    EXPECT_EQ(CSV_read(r[0], "t.csv", &obs, nullptr), 0) << r[0];
    EXPECT_EQ(testing::internal::GetCapturedStderr(), r[1]);
    EXPECT_TRUE(obs.empty());
  }
}

TEST(CsvRead, LongRowsUnclosedQuotesAndHostileBytes) {
  std::string text = "station,valid,tmpf\n" + std::string(70000, 'A') + ",1993-03-12 06:00,1\n";
  text += "U,\"1993-03-12 06:00,1\n";
  const char hostile[] = "N\0\x01\xff,1993-03-12 06:00,2\n";
  text += std::string(hostile, sizeof hostile - 1);
  text += "OK," + std::string(9000, ' ') + "1993-03-12 06:00,3\n";
  ObsList obs;
  CsvStats st;
  ASSERT_EQ(CSV_read(text, "t", &obs, &st), 1);
  EXPECT_EQ(st.long_rows, 2);
  EXPECT_EQ(st.bad_rows, 1);  // the identifier with control bytes
  ASSERT_EQ(st.used, 1);
  EXPECT_STREQ(obs.reports[0].id, "OK");

}

// The report text fills what the columns lack, once the decoder reads reports.
TEST(CsvRead, ReportTextFillsMissingColumns) {
  ObsRec probe;
  if (MTR_decode("KDEN 011153Z 00000KT 10SM CLR 21/20 A3005", &probe, nullptr) != MTR_DECODED)
    GTEST_SKIP() << "the report decoder reads no reports yet";
  const std::string text =
      "station,valid,tmpf,metar\n"
      "KDEN,2019-07-01 11:53,70.0,KDEN 011153Z 00000KT 10SM CLR 21/20 A3005 RMK AO2 SLP101\n"
      ",2019-07-01 12:10,,SPECI KBOS 011210Z COR 18012KT 10SM CLR 18/17 A2992\n";
  ObsList obs;
  CsvStats st;
  ASSERT_EQ(CSV_read(text, "t", &obs, &st), 1);
  EXPECT_EQ(st.raw, 2);
  ASSERT_EQ(obs.size(), 2U);
  for (const char* e : {"temp=70", "alt=30.05", "slpr=1010.1", "cov=C", "tot=0", "kind=1", "1:id=KBOS",
                        "1:kind=2", "1:cor=1", "1:temp=64.4", "1:wdir=180", "1:wspd=12"})
    check(obs, e);  // columns first (70 F, not 21 C), then A3005, SLP101, CLR, 18 C = 64.4 F
  EXPECT_EQ(obs.meta[0].text_hash, MTR_text_hash("KDEN 011153Z 00000KT 10SM CLR 21/20 A3005 RMK AO2 SLP101"));
}

// Numbers in every form a table may write them come out as the correctly rounded value
// (strtod's), whether read by the short way for plain decimals or the general one; what is
// no number is missing or bad. Random plain decimals of up to 15 digits test the short way.
TEST(CsvRead, NumbersAsCorrectlyRounded) {
  struct Form {
    const char* text;
    bool value;  // else missing or bad
  };
  std::vector<Form> forms = {{"52.5", true},          {"-97.1234", true}, {"0.1", true},     {"-0", true},
                             {"5.", true},            {".5", true},       {"-.5", true},     {"0000012.50", true},
                             {"999999999999.5", true}, {"1e2", true},     {"1.5e-3", true},  {"+5", true},
                             {"10+", true},           {"-998.9", true},   {"1234567890123456", false},
                             {"1.2.3", false},        {"12-3", false},    {"-", false},      {"--", false},
                             {"-9999", false},        {"-999.0", false},  {".", false},      {"- 5", false}};
  std::vector<std::string> random;
  unsigned seed = 20261208;
  for (int k = 0; k < 2000; ++k) {
    seed = seed * 1103515245u + 12345u;
    const int digits = 1 + static_cast<int>(seed >> 16) % 15;
    std::string t = seed & 1 ? "-" : "";
    for (int d = 0; d < digits; ++d) {
      seed = seed * 1103515245u + 12345u;
      t += static_cast<char>('0' + (seed >> 16) % 10);
    }
    seed = seed * 1103515245u + 12345u;
    t.insert(t.size() - static_cast<std::size_t>((seed >> 16) % static_cast<unsigned>(digits)), ".");
    random.push_back(t);
  }
  // Beyond 1e12 a value is refused, and -9999 and below stand for none.
  for (const std::string& t : random) {
    const double x = std::strtod(t.c_str(), nullptr);
    forms.push_back({t.c_str(), std::fabs(x) < 1e12 && x > -9990.0 && x != -999.0});
  }
  std::string text = "station,valid,tmpf\n";
  for (const Form& f : forms) text += std::string("X,2026-03-14 12:00,") + f.text + "\n";
  ObsList obs;
  ASSERT_EQ(CSV_read(text, "t", &obs, nullptr), 1);
  ASSERT_EQ(obs.size(), forms.size());
  for (std::size_t k = 0; k < forms.size(); ++k) {
    std::string plain = forms[k].text;
    if (plain.front() == '+') plain.erase(0, 1);
    if (plain.back() == '+') plain.pop_back();
    const float want = forms[k].value ? static_cast<float>(std::strtod(plain.c_str(), nullptr)) : -9999.0f;
    EXPECT_EQ(obs.reports[k].temp, want) << forms[k].text;
    EXPECT_EQ(std::signbit(obs.reports[k].temp), std::signbit(want)) << forms[k].text;
  }
}

}  // namespace
