// Station tables: the header among lines of text, column names and their units, missing
// markers, quoting, times, refused headers, damaged rows, and the real ASOS download.
#include "surface/obs_csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "files/date.h"
#include "tests/support/run.h"

namespace {

std::string data_file(const std::string& name) {
  return read_file(std::string(STACONT_SOURCE_DIR) + "/tests/surface/data/csv/" + name);
}

// The digits MTR_present_weather gives for the groups of a weather column, blank for none.
std::string weather_digits(const std::string& column) {
  std::vector<std::string> groups;
  for (std::size_t i = 0, j; i < column.size(); i = j + 1) {
    j = column.find(' ', i);
    if (j == std::string::npos) j = column.size();
    if (j > i) groups.push_back(column.substr(i, j - i));
  }
  const int code = MTR_present_weather(groups);
  return code < 0 ? " " : std::to_string(code);
}

// A value of an observation by name, as text (numbers printed to 0.001).
std::string value_of(const ObsRec& o, const std::string& f) {
  const sfc_report& r = o.r;
  static const std::map<std::string, float sfc_report::*> kFloats = {
      {"lat", &sfc_report::lat},     {"lon", &sfc_report::lon},       {"elev", &sfc_report::elev},
      {"temp", &sfc_report::temp},   {"dewp", &sfc_report::dewp},     {"wdir", &sfc_report::wdir},
      {"wspd", &sfc_report::wspd},   {"gust", &sfc_report::wgust},    {"alt", &sfc_report::alt},
      {"slp", &sfc_report::slpr},    {"vis", &sfc_report::vis},       {"ptend", &sfc_report::ptend},
      {"prec6", &sfc_report::prec6}, {"prec24", &sfc_report::prec24}, {"snow", &sfc_report::scover},
      {"maxt6", &sfc_report::maxt6}, {"mint6", &sfc_report::mint6},   {"maxt", &sfc_report::maxt},
      {"mint", &sfc_report::mint}};
  static const std::map<std::string, std::int32_t ObsRec::*> kInts = {
      {"secs", &ObsRec::secs}, {"day", &ObsRec::day},       {"minute", &ObsRec::minute},
      {"kind", &ObsRec::kind}, {"cor", &ObsRec::corrected}, {"order", &ObsRec::order}};
  if (f == "id") return r.id;
  if (f == "cov") return std::string(r.cld_cov, static_cast<std::size_t>(std::clamp(r.ncld, 0, 5)));
  if (f == "tot") return std::string(1, r.cld_tot);
  if (f == "wx") return r.wx;
  double v = 0.0;
  if (kFloats.count(f)) v = r.*kFloats.at(f);
  else if (kInts.count(f)) v = o.*kInts.at(f);
  else if (f == "time") v = r.time;
  else if (f == "wmo") v = r.wmo;
  else if (f.size() == 4 && f.rfind("hgt", 0) == 0) v = r.cld_hgt[f[3] - '1'];
  else return "no field " + f;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  return buf;
}

// Checks "field=value" of the first observation, "k:field=value" of observation k; a
// number is compared to 0.001 after rounding, "wx=@-RA BR" against the digits of the
// weather groups.
void check(const std::vector<ObsRec>& obs, const std::string& expect) {
  std::size_t k = 0;
  std::string e = expect;
  if (const auto colon = e.find(':'); colon != std::string::npos && colon < e.find('=')) {
    k = std::stoul(e.substr(0, colon));
    e = e.substr(colon + 1);
  }
  const auto eq = e.find('=');
  const std::string field = e.substr(0, eq);
  std::string want = e.substr(eq + 1);
  ASSERT_LT(k, obs.size()) << expect;
  if (field == "wx" && !want.empty() && want[0] == '@') want = weather_digits(want.substr(1));
  const std::string got = value_of(obs[k], field);
  char* end = nullptr;
  const double w = std::strtod(want.c_str(), &end);
  if (!want.empty() && *end == '\0' && field != "id" && field != "cov" && field != "tot" && field != "wx")
    EXPECT_NEAR(std::stod(got), w, 0.0006) << expect;
  else
    EXPECT_EQ(got, want) << expect;
}

struct Case {
  const char* name;
  std::string csv;  // the table, or "@name" for a file of tests/surface/data/csv
  long rows, used, bad, bad_values;  // CsvStats
  std::vector<std::string> expect;
  const char* source;  // where the expected numbers come from
};

const std::string kAsosHead =
    "station,valid,lon,lat,tmpf,dwpf,relh,drct,sknt,p01i,alti,mslp,vsby,gust,skyc1,skyc2,skyc3,skyc4,"
    "skyl1,skyl2,skyl3,skyl4,wxcodes\n";

const Case kCases[] = {
    {"AsosColumnsAndBlankCovers",
     kAsosHead + "LRF,1993-03-12 15:00:00,-92.1465,34.9168,34.88,29.84,81.64,40.0,8.0,,30.28,1025.4,4.0,,SCT,BKN,"
                 "OVC,   ,800.0,2500.0,5000.0,,-SN FG\n"
                 "X2,1993-03-12 15:08,M,M,M,M,M,M,M,M,M,M,M,M,VV ,   ,   ,   ,200,,,,M\n",
     2, 2, 0, 0,
     {"id=LRF", "secs=731948400", "time=1500", "temp=34.88", "dewp=29.84", "wdir=40", "wspd=8", "alt=30.28",
      "slp=1025.4", "vis=4", "cov=SBO", "hgt1=800", "hgt3=5000", "tot=8", "lat=34.9168", "lon=-92.1465",
      "wx=@-SN FG", "kind=1", "order=1", "1:minute=8", "1:temp=-9999", "1:lat=-9999", "1:cov=X", "1:hgt1=200",
      "1:tot=9", "1:wx= ", "1:order=2"},
     "values as written; 1993-03-12 15 UTC = 731948400 s (date -u); VV is the obscured layer 'X', okta digit 9"},
    {"AviationPreambleRepeatedNamesAndKinds", "@aviation.csv", 3, 3, 0, 0,
     {"id=KDEN", "secs=1561981980", "temp=69.08", "dewp=68", "vis=10", "alt=30.050", "slp=1010.1", "cov=FS",
      "hgt1=8000", "hgt2=20000", "tot=4", "ptend=1.2", "maxt6=80.96", "mint6=66.02", "prec6=0.001", "elev=1656",
      "kind=1", "cor=0", "1:id=KBOS", "1:kind=2", "1:cor=1", "1:gust=22", "1:cov=BO", "1:hgt2=1500", "1:tot=8",
      "1:wx=@-RA BR", "2:cov=X", "2:hgt1=200", "2:tot=9", "2:vis=0.25"},
     "20.6 C = 69.08 F, 27.2 C = 80.96 F, 18.9 C = 66.02 F; 2019-07-01 11:53 UTC = 1561981980 s; trace 0.001 in;"
     " sky_cover/cloud_base_ft_agl pairs in order; OVX with vert_vis_ft 200"},
    {"ServiceSynonymsEpochHpaAndCrLf", "@api.csv", 2, 2, 0, 0,
     {"id=KDEN", "secs=1561981980", "minute=53", "temp=69.08", "dewp=68", "wdir=-9999", "wspd=3", "vis=10",
      "alt=30.050", "slp=1010.1", "ptend=-1.2", "prec6=0.05", "lat=39.85", "elev=1656", "wx=@-RA BR", "kind=1",
      "1:id=CYYZ", "1:secs=1561982400", "1:alt=29.884", "1:maxt=85.1", "1:mint=59", "1:prec24=0.5",
      "1:snow=2", "1:gust=18", "1:kind=2"},
     "obsTime wins over reportTime; 1017.6 hPa / 33.8639 = 30.050 inHg, 1012.0 hPa = 29.884 inHg; VRB has no "
     "direction; 29.5 C = 85.1 F"},
    {"UnitsByNameAndPlausibility",
     "stid;valid_utc;tmpc;dwpc;sped;visibility_km;pcp6hr;altimeter;slp;elev_ft;wmo\n"
     "AB1;2020-01-02 03:04;-1.5;-10;10;8;12.7;29.92;29.92;1000;72469\n"
     "AB2;2020-01-02 03:04;;;;;T;101.3;101.3;;\n"
     "AB3;2020-01-02 03:04;;;;;;101320;101320;;\n",
     3, 3, 0, 0,
     {"temp=29.3", "dewp=14", "wspd=8.690", "vis=4.971", "prec6=12.7", "alt=29.92", "slp=1013.208",
      "elev=304.8", "wmo=72469", "1:prec6=0.001", "1:alt=29.914", "1:slp=1013", "2:alt=29.920", "2:slp=1013.2"},
     "-1.5 C = 29.3 F; 10 mph = 10*1609.344/1852 kt; 8 km = 4.971 mi; 29.92 inHg = 1013.208 mb; 101.3 kPa = "
     "1013 hPa = 29.914 inHg; 101320 Pa = 1013.2 hPa = 29.920 inHg; 1000 ft = 304.8 m"},
    {"MissingMarkersAndBadValues",
     "station,valid,tmpf,dwpf,sknt,drct,alti,vsby,gust\n"
     "A,199303120600,M,NaN,null,-9999,-9999.0,nan,\n"
     "B,199303120600,abc,-999,N/A,400,7,1 1/2,\"\"\n",
     2, 2, 0, 3,
     {"temp=-9999", "dewp=-9999", "wspd=-9999", "wdir=-9999", "alt=-9999", "vis=-9999", "gust=-9999",
      "1:temp=-9999", "1:dewp=-9999", "1:wdir=-9999", "1:alt=-9999", "1:vis=1.5"},
     "missing markers; abc, drct 400 and alti 7 are bad values (counted, see the test); 1 1/2 mi = 1.5"},
    {"QuotesDoubledQuotesAndFinalLine",
     "\"station\",\"valid\",\"remark\",\"tmpf\"\n"
     "\"KBOS\",\"2020-01-02 03:04\",\"has \"\"quotes\"\", and, commas\",\"-1.5\"\n"
     "kbos2,2020-01-02 03:04,\"line\nbreak\",50",
     2, 2, 0, 0,
     {"id=KBOS", "temp=-1.5", "secs=1577934240", "1:id=KBOS2", "1:temp=50"},
     "RFC 4180 quoting; 2020-01-02 03:04 UTC = 1577934240 s; lower-case identifiers in capitals"},
    {"TimeForms",
     "station,valid,tmpf\n"
     "A,199303120600,1\nB,731916000,2\nC,1993-03-12T06:00:00.000Z,3\nD,1993/03/12 06:00 UTC,4\n"
     "E,1993-03-12 01:00-05:00,5\nF,1993-02-30 06:00,6\nG,06:00,7\nH,,8\n,1993-03-12 06:00,9\n"
     "station,valid,tmpf\n\n  \n",
     9, 5, 4, 0,
     {"secs=731916000", "1:secs=731916000", "2:secs=731916000", "3:secs=731916000", "4:secs=731916000",
      "4:time=600", "4:day=12", "4:temp=5"},
     "1993-03-12 06:00 UTC = 731916000 s (date -u); 30 February, a time alone, no time, no station are bad; a "
     "repeated header and blank lines are not rows"},
    {"DewPointFromHumidity",
     "station,valid,tmpf,relh\nA,2020-01-01 00:00,68,50\nB,2020-01-01 00:00,68,\n", 2, 2, 0, 0,
     {"dewp=48.670", "1:dewp=-9999"},
     "Magnus over water (Alduchov and Eskridge 1996): 20 C, 50 % -> 9.261 C = 48.670 F"},
};

class CsvCases : public ::testing::TestWithParam<Case> {};

TEST_P(CsvCases, Values) {
  const Case& c = GetParam();
  const std::string text = c.csv[0] == '@' ? data_file(c.csv.substr(1)) : c.csv;
  EXPECT_EQ(CSV_is_table(text.substr(0, 4096)), 1);
  std::vector<ObsRec> obs;
  CsvStats st;
  ASSERT_EQ(CSV_read(text, c.name, &obs, &st), 1);
  EXPECT_EQ(st.rows, c.rows);
  EXPECT_EQ(st.used, c.used);
  EXPECT_EQ(st.bad_rows, c.bad);
  EXPECT_EQ(obs.size(), static_cast<std::size_t>(c.used));
  for (const std::string& e : c.expect) check(obs, e);
  EXPECT_EQ(st.bad_values, c.bad_values);
}

INSTANTIATE_TEST_SUITE_P(Tables, CsvCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CsvRead, RefusesHeadersWithoutStationOrTime) {
  struct Refusal {
    const char* text;
    const char* message;
  } const refusals[] = {
      {"No errors\nname,valid,tmpf\nX,1993-03-12 06:00,1\n",
       "CSV_read: t.csv: no station column (looked for station, station_id, icaoId, icao, stid, stn, site, site_id, "
       "id)\n"},
      {"station,tmpf\nX,1\n",
       "CSV_read: t.csv: no time column (looked for valid, observation_time, obsTime, valid_time, valid_utc, "
       "utc_valid, date_time, time, timestamp, reportTime, date)\n"},
  };
  for (const auto& r : refusals) {
    EXPECT_EQ(CSV_is_table(r.text), 0);
    std::vector<ObsRec> obs;
    testing::internal::CaptureStderr();
    EXPECT_EQ(CSV_read(r.text, "t.csv", &obs, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), r.message);
    EXPECT_TRUE(obs.empty());
  }
  EXPECT_EQ(CSV_is_table("SAUS70 KWBC 011200\nMETAR KDEN 011153Z 00000KT 10SM CLR 21/20 A3005=\n"), 0);
}

TEST(CsvRead, LongRowsUnclosedQuotesAndHostileBytes) {
  std::string text = "station,valid,tmpf\n" + std::string(70000, 'A') + ",1993-03-12 06:00,1\n";
  text += "U,\"1993-03-12 06:00,1\n";
  const char hostile[] = "N\0\x01\xff,1993-03-12 06:00,2\n";
  text += std::string(hostile, sizeof hostile - 1);
  text += "OK," + std::string(9000, ' ') + "1993-03-12 06:00,3\n";
  std::vector<ObsRec> obs;
  CsvStats st;
  ASSERT_EQ(CSV_read(text, "t", &obs, &st), 1);
  EXPECT_EQ(st.long_rows, 2);
  EXPECT_EQ(st.bad_rows, 1);  // the identifier with control bytes
  ASSERT_EQ(st.used, 1);
  EXPECT_STREQ(obs[0].r.id, "OK");

  // Damaged copies of a good table: never a crash, every row accounted for.
  const std::string good = data_file("aviation.csv") + data_file("api.csv");
  std::mt19937 rng(29);
  testing::internal::CaptureStderr();  // the refusals of copies that lost their header
  for (int round = 0; round < 300; ++round) {
    std::string t = good;
    for (int k = 0; k < 20; ++k) t[rng() % t.size()] = static_cast<char>(rng() % 256);
    t.resize(rng() % t.size());
    obs.clear();
    if (CSV_read(t, "t", &obs, &st) == 1) {
      EXPECT_EQ(st.rows, st.used + st.bad_rows + st.long_rows);
      EXPECT_EQ(obs.size(), static_cast<std::size_t>(st.used));
    }
  }
  testing::internal::GetCapturedStderr();
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
  std::vector<ObsRec> obs;
  CsvStats st;
  ASSERT_EQ(CSV_read(text, "t", &obs, &st), 1);
  EXPECT_EQ(st.raw, 2);
  ASSERT_EQ(obs.size(), 2U);
  for (const char* e : {"temp=70", "alt=30.05", "slp=1010.1", "cov=C", "tot=0", "kind=1", "1:id=KBOS",
                        "1:kind=2", "1:cor=1", "1:temp=64.4", "1:wdir=180", "1:wspd=12"})
    check(obs, e);  // columns first (70 F, not 21 C), then A3005, SLP101, CLR, 18 C = 64.4 F
  EXPECT_EQ(obs[0].text_hash, MTR_text_hash("KDEN 011153Z 00000KT 10SM CLR 21/20 A3005 RMK AO2 SLP101"));
}

TEST(CsvRead, RealAsosDownload) {
  const std::string path = std::string(STACONT_SOURCE_DIR) + "/../shared/realdata/SFC_obs.csv";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " not there";
  const std::string text = read_file(path);
  // Rows per hour counted from the text: the first 13 characters of the second field.
  std::map<std::string, long> want;
  for (std::size_t i = text.find('\n') + 1, e; i < text.size(); i = e + 1) {
    e = text.find('\n', i);
    if (e == std::string::npos) e = text.size();
    const std::size_t comma = text.find(',', i);
    if (comma < e) ++want[text.substr(comma + 1, 13)];
  }
  std::vector<ObsRec> obs;
  CsvStats st;
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(CSV_read(text, "SFC_obs.csv", &obs, &st), 1);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  std::printf("SFC_obs.csv: %ld rows in %.1f ms\n", st.rows, ms);
  EXPECT_LT(ms, 500.0);
  std::map<std::string, long> got;
  for (const ObsRec& o : obs) {
    DateRec d;
    DATE_get_gmdate(&o.secs, &d);
    char key[32];
    std::snprintf(key, sizeof key, "%04d-%02d-%02d %02d", d.year, d.month, d.day, d.hour);
    ++got[key];
  }
  EXPECT_EQ(got, want);
  EXPECT_EQ(st.rows, 9938);
  EXPECT_EQ(st.used, 9938);
  EXPECT_EQ(st.bad_values, 0);

  auto find = [&](const char* id, int hhmm) -> std::vector<ObsRec> {
    for (const ObsRec& o : obs)
      if (std::string(o.r.id) == id && o.r.time == hhmm) return {o};
    return {};
  };
  // Lines 2, 1559, 12 and 8 of the file, field by field.
  for (const char* e : {"temp=73.94", "dewp=32", "wdir=330", "wspd=9", "alt=29.96", "slp=1014.8", "vis=7",
                               "cov=C", "tot=0", "lat=32.6566", "lon=-114.606", "secs=731916000"})
    check(find("YUM", 600), e);
  for (const char* e : {"cov=SBO", "hgt1=800", "hgt2=2500", "hgt3=5000", "tot=8", "vis=4", "wx=@-SN FG"})
    check(find("LRF", 1500), e);
  for (const char* e : {"wspd=25", "gust=30", "slp=1009.6", "wx=@-RA", "cov=O", "hgt1=1000"})
    check(find("PADQ", 600), e);
  for (const char* e : {"temp=-9999", "minute=8", "secs=731916480", "wdir=30", "alt=30.1"})
    check(find("SDB", 608), e);
}

}  // namespace
