// METAR and SPECI reports, in the WMO and the US forms, decoded into surface reports.
//
// A report is the text from the station identifier to the end of the report ("=" or the
// end of its lines), with an optional leading "METAR" or "SPECI" word; continuation lines
// joined with blanks. Values go into the surface record in the package's units: F, knots,
// degrees, mb, inches of mercury, statute miles, feet (cloud bases), inches (precipitation,
// snow depth). Present weather becomes the WMO present-weather number (code table 4677)
// written as digits in `wx`; sky groups become cloud layers ("F", "S", "B", "O", "X" for
// FEW, SCT, BKN, OVC and VV, a single "C" layer for a clear sky) and the total cover in
// oktas (`cld_tot`); CB and TCU become the low cloud type ('9' and '2').
//
// Body groups that do not decode are skipped and counted; they never shift the meaning of
// the groups after them. Trend groups (NOSIG, TEMPO, BECMG and what follows them) are not
// observations and are passed over up to the remarks. In the remarks the groups SLPppp,
// SLPNO, Tsnnnsnnn, 1snnn, 2snnn, 4snnnsnnn, 5appp, Prrrr, 6RRRR, 7RRRR, 4/sss and
// 8/CLCMCH are read; other remarks are plain language and are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "surface/sfc_read.h"

// Kinds of report.
constexpr int MTR_ROUTINE = 1;  // METAR, or a row of a station table
constexpr int MTR_SPECIAL = 2;  // SPECI

// Results of MTR_decode.
constexpr int MTR_NOT_REPORT = 0;  // no station identifier and day-time group
constexpr int MTR_DECODED = 1;
constexpr int MTR_NIL = 2;  // "NIL": the station sent no report

// Observation time not known as a date.
constexpr int MTR_NO_TIME = -2147483647 - 1;
// Observations are dated in these years: the package counts seconds in 32 bits, and an hour
// either side of a date must still be counted.
constexpr int MTR_FIRST_YEAR = 1902;
constexpr int MTR_LAST_YEAR = 2037;

// What choosing one report per station and hour needs of an observation beyond its values.
struct ObsMeta {
  std::int32_t secs;       // observation time in seconds since 1970, MTR_NO_TIME when only
                           // the day and time are known
  std::int32_t day;        // day of the month of the observation, -9999 when absent
  std::int32_t hour;       // observation hour and minute (UTC), -9999 when absent
  std::int32_t minute;
  std::int32_t kind;       // MTR_ROUTINE or MTR_SPECIAL
  std::int32_t corrected;  // 1 for a correction (COR, or a corrected bulletin)
  std::uint64_t text_hash; // of the report text, for telling identical repeats
  std::int32_t order;      // position in the file
};

// One observation as read from a collection, an hourly file or a station table.
struct ObsRec : ObsMeta {
  sfc_report r;  // the values; r.time is the observation time hhmm
};

// The observations of a file: the reports, and beside them what choosing needs of each.
// Two arrays rather than one of ObsRec, so that the reports chosen stay where they were
// read and are handed on without a copy (on a dense network, tens of megabytes).
struct ObsList {
  std::vector<sfc_report> reports;
  std::vector<ObsMeta> meta;

  std::size_t size() const { return reports.size(); }
  bool empty() const { return reports.empty(); }
  void push_back(const ObsRec& o) {
    reports.push_back(o.r);
    meta.push_back(o);
  }
  ObsRec at(std::size_t k) const {
    ObsRec o;
    static_cast<ObsMeta&>(o) = meta.at(k);
    o.r = reports.at(k);
    return o;
  }
};

// Counts of one decoding: groups of the report body that did not decode.
struct MtrGroups {
  int bad = 0;                     // groups not understood
  std::vector<std::string> names;  // their texts (at most 16 characters each)
};

// Decodes one report into obs (fields initialised first). The hour of the report decides
// whether a 6RRRR group is the 3-hour (03, 09, 15, 21 UTC) or the 6-hour amount.
// Returns MTR_DECODED, MTR_NIL or MTR_NOT_REPORT; groups that did not decode are counted in
// groups when it is given.
int MTR_decode(std::string_view text, ObsRec* obs, MtrGroups* groups);

// The WMO present-weather number (4677) of the METAR weather groups of a report, given in
// order ("-SHRA", "BR"); -9999 when none of them is weather of that table.
int MTR_present_weather(const std::vector<std::string>& groups);

// Hash of a report text that ignores the blanks between groups and a final "=".
std::uint64_t MTR_text_hash(std::string_view text);
