// Report files read line by line into observations, and one report per station chosen for
// an hour. The three report file kinds are read by the same loop: bulletin headings,
// "METAR"/"SPECI" lines and date lines only change what the report lines after them are.
#include "surface/obs_read.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "config/fileio.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "files/files.h"
#include "surface/cty_tool.h"
#include "surface/id_index.h"
#include "surface/obs_csv.h"

namespace {

// A report joined from its lines keeps at most this much text.
constexpr std::size_t kMaxReport = 2048;
// Groups named in the summary.
constexpr std::size_t kNamedGroups = 3;
// An hour's report is the one nearest the hour within the hour before it and ten minutes
// after it.
constexpr int kBefore = 3600;
constexpr int kAfter = 600;

bool digit(char c) { return c >= '0' && c <= '9'; }
bool blank(unsigned char c) { return c <= ' ' || c >= 0x7f; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && blank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && blank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool all_digits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), digit); }

// What a bulletin heading says of the reports after it.
struct Heading {
  bool is = false;
  bool metar = false, speci = false, corrected = false;
};

Heading heading(const std::vector<std::string_view>& w) {
  Heading h;
  if (!FILE_bulletin_heading(w)) return h;
  h.is = true;
  h.corrected = w.size() == 4 && (w[3] == "COR" || w[3].substr(0, 2) == "CC" || w[3].substr(0, 2) == "AA");
  h.metar = w[0].substr(0, 2) == "SA";
  h.speci = w[0].substr(0, 2) == "SP";
  return h;
}

// "2019/07/01 11:56": the date of the report on the next line.
bool date_line(std::string_view s, DateRec* date) {
  return FILE_date_line(s, date) && date->year >= MTR_FIRST_YEAR && date->year <= MTR_LAST_YEAR;
}

// Seconds of a day and time of the month given; MTR_NO_TIME when the date is not one the
// package can count.
int secs_of(int year, int month, int day, int hour, int minute) {
  if (year < MTR_FIRST_YEAR || year > MTR_LAST_YEAR || month == MISSING_INT || day == MISSING_INT ||
      hour == MISSING_INT)
    return MTR_NO_TIME;
  DateRec d;
  DATE_init(&d);
  d.year = year, d.month = month, d.day = day, d.hour = hour, d.minute = minute == MISSING_INT ? 0 : minute;
  d.second = 0;
  return DATE_num_sec(&d);
}

// The year and month of a report's day, near a reference day of the month given: a report
// of the 30th in a bulletin of the 1st is of the month before.
void month_of(int day, int ref_day, int* year, int* month) {
  if (*year == MISSING_INT || *month == MISSING_INT || ref_day == MISSING_INT) return;
  if (day - ref_day > 15) {
    if (--*month == 0) *month = 12, --*year;
  } else if (ref_day - day > 15) {
    if (++*month == 13) *month = 1, ++*year;
  }
}

struct Reader {
  ObsList* out = nullptr;
  ObsStats* stats = nullptr;
  // The bulletin being read.
  bool other_kind = false, bulletin_corrected = false, bulletin_speci = false;
  DateRec dated{};  // the date line before the report, year -9999 when none
  std::string pending;
  bool open = false;  // the pending report is not yet ended by '='
  MtrGroups groups;
  std::vector<std::string_view> line_words;

  void finish() {
    if (pending.empty()) return;
    ObsRec obs;
    groups.bad = 0;
    groups.names.clear();
    // A report's own METAR or SPECI word says its kind, over the bulletin's.
    const bool own_kind = pending.compare(0, 5, "SPECI") == 0 || pending.compare(0, 5, "METAR") == 0;
    const int result = MTR_decode(pending, &obs, &groups);
    ++stats->lines;
    if (result == MTR_NIL) {
      ++stats->nil;
    } else if (result == MTR_NOT_REPORT) {
      skip(pending);
    } else {
      if (!own_kind && bulletin_speci) obs.kind = MTR_SPECIAL;
      if (bulletin_corrected) obs.corrected = 1;
      if (dated.year != MISSING_INT) {
        // The date line dates the report; where the two disagree the date line is right.
        obs.secs = obs.day == dated.day ? secs_of(dated.year, dated.month, obs.day, obs.hour, obs.minute)
                                        : secs_of(dated.year, dated.month, dated.day, dated.hour, dated.minute);
      }
      obs.order = static_cast<std::int32_t>(out->size());
      out->push_back(obs);
      ++stats->reports;
      stats->bad_groups += groups.bad;
      for (const std::string& g : groups.names) ++stats->bad_names[g];
    }
    pending.clear();
    open = false;
    DATE_init(&dated);
  }

  void append(std::string_view s) {
    if (pending.size() >= kMaxReport) return;
    if (!pending.empty()) pending += ' ';
    pending.append(s.substr(0, kMaxReport - std::min(kMaxReport, pending.size())));
  }

  // One line of text, without its end; may hold the end of one report and more.
  void line(std::string_view raw) {
    // SOH and ETX frame a bulletin: the start or end of one ends the report before.
    for (const char c : raw)
      if (c == '\x01' || c == '\x03') {
        finish();
        other_kind = bulletin_corrected = bulletin_speci = false;
      }
    const bool indented = !raw.empty() && blank(static_cast<unsigned char>(raw[0]));
    std::string_view s = trim(raw);
    while (!s.empty()) {
      const std::size_t eq = s.find('=');
      const std::string_view part = trim(s.substr(0, eq));
      s = eq == std::string_view::npos ? std::string_view() : trim(s.substr(eq + 1));
      piece(part, indented, eq != std::string_view::npos);
    }
  }

  void piece(std::string_view s, bool indented, bool ended) {
    // A report that runs on into the next without its "=": "... Q1018 METAR MDPC 011200Z".
    std::vector<std::string_view>& w = line_words;
    FILE_line_words(s, 64, &w);
    for (std::size_t k = 1; k + 2 < w.size(); ++k) {
      // (a station's "NIL" there is one of the report's groups, not a report of its own)
      if ((w[k] == "METAR" || w[k] == "SPECI") && w[k + 2].size() == 7 && FILE_report_start({w[k], w[k + 1], w[k + 2]})) {
        const std::size_t at = static_cast<std::size_t>(w[k].data() - s.data());
        piece(trim(s.substr(0, at)), indented, true);
        piece(s.substr(at), false, ended);
        return;
      }
    }
    if (w.empty()) {
      if (ended) finish();
      return;
    }
    DateRec d;
    if (date_line(s, &d)) {
      finish();
      dated = d;
      return;
    }
    if (const Heading h = heading(w); h.is) {
      finish();
      other_kind = !h.metar && !h.speci;
      bulletin_speci = h.speci;
      bulletin_corrected = h.corrected;
      return;
    }
    // The sequence number of a bulletin.
    if (w.size() == 1 && all_digits(w[0]) && w[0].size() <= 4 && !(open && indented)) {
      finish();
      return;
    }
    if ((w[0] == "METAR" || w[0] == "SPECI") && (w.size() == 1 || (w.size() == 2 && all_digits(w[1])))) {
      finish();
      bulletin_speci = w[0] == "SPECI";
      return;
    }
    if (other_kind) {
      skip(s);
      return;
    }
    if (w.size() == 1 && w[0] == "NIL" && !open) {
      // A bulletin that holds no reports.
      finish();
      ++stats->nil;
      return;
    }
    if (FILE_report_start(w)) {
      finish();
      append(s);
      open = !ended;
      if (ended) finish();
      return;
    }
    if (open) {
      append(s);
      if (ended) finish();
      return;
    }
    finish();
    skip(s);
  }

  void skip(std::string_view s) {
    ++stats->skipped;
    std::string shown(s.substr(0, 80));
    for (char& c : shown)
      if (blank(static_cast<unsigned char>(c))) c = ' ';
    MESS_print(MESS_DEBUG, "Not a report: %s\n", shown.c_str());
  }
};

// Lines end at LF, CR LF, CR CR LF or a lone CR.
template <typename F>
void each_line(std::string_view text, F&& f) {
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t e = p;
    while (e < text.size() && text[e] != '\n' && text[e] != '\r') ++e;
    f(text.substr(p, e - p));
    if (e < text.size() && text[e] == '\r') {
      while (e < text.size() && text[e] == '\r') ++e;
      if (e < text.size() && text[e] == '\n') ++e;
    } else if (e < text.size()) {
      ++e;
    }
    p = e;
  }
}

// Observation time in seconds, dated in the month of the hour asked for when the report
// gives only its day.
int obs_secs(const ObsMeta& o, const DateRec& want) {
  if (o.secs != MTR_NO_TIME) return o.secs;
  if (o.day == MISSING_INT || o.hour == MISSING_INT) return MTR_NO_TIME;
  int y = want.year, m = want.month;
  month_of(o.day, want.day, &y, &m);
  if (y == MISSING_INT || o.day > DATE_month_days(y, m)) return MTR_NO_TIME;
  return secs_of(y, m, o.day, o.hour, o.minute);
}

// Nearer the hour first; at equal distance the earlier (before the hour) report.
bool nearer(int a, int b, int hour) {
  const int da = std::abs(a - hour), db = std::abs(b - hour);
  return da != db ? da < db : a < b;
}

// ---- whole files: the hour they are read for ----

// Most text such a file may hold: a feed's collection of an hour is a few megabytes.
constexpr std::size_t max_report_bytes = 256u << 20;

bool read_whole(const std::string& path, std::string* text) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  // The file's size, when it has one, is room enough for it at once (a pipe grows as it comes).
  struct stat info {};
  if (::fstat(fileno(f), &info) == 0 && info.st_size > 0 && static_cast<std::size_t>(info.st_size) <= max_report_bytes)
    text->reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  std::size_t n = 0;
  bool ok = true;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (text->size() + n > max_report_bytes) {
      ok = false;
      break;
    }
    text->append(buffer, n);
  }
  if (std::ferror(f)) ok = false;
  std::fclose(f);
  return ok;
}

bool date_known(const DateRec& d) {
  return d.year != MISSING_INT && d.month != MISSING_INT && d.day != MISSING_INT && d.hour != MISSING_INT;
}

// The fields of from that date does not have.
void fill_missing(DateRec* date, const DateRec& from) {
  if (date->year == MISSING_INT) date->year = from.year;
  if (date->month == MISSING_INT) date->month = from.month;
  if (date->day == MISSING_INT) date->day = from.day;
  if (date->hour == MISSING_INT) date->hour = from.hour;
}

int two_digits(std::string_view s, std::size_t k) { return (s[k] - '0') * 10 + (s[k + 1] - '0'); }

// A date in a file's name, as feeds and archives name their files: "metar_20190701_1200.txt",
// "asos_2019070112.csv", "fronts_20210628-18z.txt": eight digits of year, month and day,
// optionally an hour after a '_', '-' or 'T'.
bool name_date(const char* name, DateRec* date) {
  std::string_view base = name;
  if (const std::size_t slash = base.rfind('/'); slash != std::string_view::npos) base.remove_prefix(slash + 1);
  for (std::size_t p = 0; p < base.size(); ++p) {
    if (!digit(base[p]) || (p > 0 && digit(base[p - 1]))) continue;
    std::size_t e = p;
    while (e < base.size() && digit(base[e])) ++e;
    if (e - p < 8) continue;
    const int year = two_digits(base, p) * 100 + two_digits(base, p + 2);
    const int month = two_digits(base, p + 4), day = two_digits(base, p + 6);
    if (year < MTR_FIRST_YEAR || year > MTR_LAST_YEAR || month < 1 || month > 12 || day < 1 || day > 31) continue;
    std::string_view hour_digits = base.substr(p + 8, e - p - 8);
    if (hour_digits.empty() && e + 2 < base.size() + 1 && e < base.size() &&
        (base[e] == '_' || base[e] == '-' || base[e] == 'T')) {
      std::size_t h = e + 1;
      while (h < base.size() && digit(base[h])) ++h;
      hour_digits = base.substr(e + 1, h - e - 1);
    }
    DATE_init(date);
    date->year = year, date->month = month, date->day = day;
    if ((hour_digits.size() == 2 || hour_digits.size() == 4) && two_digits(hour_digits, 0) <= 23)
      date->hour = two_digits(hour_digits, 0);
    return true;
  }
  return false;
}

// The year and month of data of a day of the month, from when the file was written: the
// month of its modification time, or the month before for a day later than that.
void date_from_modtime(const std::string& path, DateRec* date) {
  const int mtime = FILE_modtime(path.c_str());
  if (mtime <= 0) return;
  DateRec m;
  DATE_get_gmdate(&mtime, &m);
  int year = m.year, month = m.month;
  if (date->day != MISSING_INT && date->day > m.day + 1 && --month == 0) month = 12, --year;
  if (date->year == MISSING_INT) date->year = year;
  if (date->month == MISSING_INT) date->month = month;
}

// The valid time of a frontal bulletin: "VALID 062818Z" (month, day, hour) as bulletins are
// written today, or the day-hour-minute form "VALID 281800Z". The heading's day, when the
// bulletin has one, tells the two apart where both would read.
bool bulletin_date(std::string_view text, DateRec* date) {
  int heading_day = MISSING_INT;
  std::vector<std::string_view> w;
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t e = text.find('\n', p);
    if (e == std::string_view::npos) e = text.size();
    FILE_line_words(text.substr(p, e - p), 3, &w);
    p = e + 1;
    if (w.size() == 3 && w[0].size() == 6 && w[2].size() == 6 && all_digits(w[2])) heading_day = two_digits(w[2], 0);
    if (w.size() < 2 || w[0] != "VALID" || w[1].size() < 6 || !all_digits(w[1].substr(0, 6))) continue;
    const int a = two_digits(w[1], 0), b = two_digits(w[1], 2), c = two_digits(w[1], 4);
    const bool mdh = a >= 1 && a <= 12 && b >= 1 && b <= 31 && c <= 23;
    const bool dhm = a >= 1 && a <= 31 && b <= 23 && c <= 59;
    if (!mdh && !dhm) return false;
    const bool use_mdh = mdh && (!dhm || heading_day == MISSING_INT || heading_day == b || heading_day != a);
    DATE_init(date);
    if (use_mdh) {
      date->month = a, date->day = b, date->hour = c, date->minute = 0;
    } else {
      date->day = a, date->hour = b, date->minute = c;
    }
    return true;
  }
  return false;
}

// Stations the database knows under another call sign: the station tables of the US
// networks name their stations by three letters, the database by the four of ICAO.
void known_call_signs(std::vector<sfc_report>* reports) {
  for (sfc_report& r : *reports) {
    if (std::strlen(r.id) != 3 || CTY_known(r.id)) continue;
    const std::string icao = std::string("K") + r.id;
    if (CTY_known(icao.c_str())) copy_bounded(r.id, sizeof r.id, icao);
  }
}

long count_stations(const ObsList& obs) {
  const std::vector<sfc_report>& r = obs.reports;
  IdIndex ids(r.size());
  long count = 0;
  for (std::size_t k = 0; k < r.size(); ++k) {
    std::uint32_t& slot = ids.slot(r[k].id, [&](std::size_t i) { return std::string_view(r[i].id); });
    if (slot != IdIndex::none) continue;
    slot = static_cast<std::uint32_t>(k);
    ++count;
  }
  return count;
}

}  // namespace

void OBS_read_reports(std::string_view text, ObsList* out, ObsStats* stats) {
  if (out == nullptr || stats == nullptr) return;
  Reader reader;
  reader.out = out;
  reader.stats = stats;
  DATE_init(&reader.dated);
  each_line(text, [&reader](std::string_view l) { reader.line(l); });
  reader.finish();
  stats->stations = count_stations(*out);
}

int OBS_file_hour(const ObsList& list, int year, int month, DateRec* date) {
  const std::vector<ObsMeta>& obs = list.meta;
  if (date == nullptr) return 0;
  // Reports that carry only their day are dated near the day most of them have, in the
  // month given or, when none is, in a month of 31 days whose name is not told.
  std::unordered_map<int, long> days;
  for (const ObsMeta& o : obs)
    if (o.secs == MTR_NO_TIME && o.day != MISSING_INT) ++days[o.day];
  int ref_day = MISSING_INT;
  long most = 0;
  for (const auto& [day, n] : days)
    if (n > most || (n == most && day < ref_day)) ref_day = day, most = n;
  const bool dated = year != MISSING_INT && month != MISSING_INT;
  DateRec ref;
  DATE_init(&ref);
  ref.year = dated ? year : 2000;
  ref.month = dated ? month : 1;
  ref.day = ref_day;
  // Routine reports by the hour they stand for: 11:51 and 12:05 stand for 12 UTC.
  std::unordered_map<long long, long> count;
  for (const ObsMeta& o : obs) {
    if (o.kind != MTR_ROUTINE) continue;
    const long long t = obs_secs(o, ref);
    if (t == MTR_NO_TIME) continue;
    const long long floor = t - ((t % 3600) + 3600) % 3600;
    ++count[t - floor <= kAfter ? floor : floor + 3600];
  }
  if (count.empty()) return 0;
  long best = 0;
  for (const auto& [key, n] : count) best = std::max(best, n);
  // The latest hour that is well reported.
  long long chosen = 0;
  bool found = false;
  for (const auto& [key, n] : count)
    if (2 * n >= best && (!found || key > chosen)) chosen = key, found = true;
  // Dates are of the years the package counts, so an hour after one still fits.
  const int secs = static_cast<int>(chosen);
  DATE_get_gmdate(&secs, date);
  date->minute = 0;
  date->second = 0;
  if (!dated && most > 0) date->year = date->month = MISSING_INT;
  return 1;
}

namespace {

// The reports OBS_choose keeps, as their places in obs, in the order of their stations' first
// reports. Every place is at least its own position in the list, as a station's report
// comes no earlier than the station's first: the reports can be gathered forward in place.
std::vector<std::size_t> choose(const ObsList& list, const DateRec& date, ObsStats* stats) {
  std::vector<std::size_t> chosen;
  DateRec want = date;
  want.minute = 0;
  want.second = 0;
  const int hour = secs_of(want.year, want.month, want.day, want.hour, 0);
  if (hour == MTR_NO_TIME) return chosen;
  const std::vector<ObsMeta>& obs = list.meta;
  const std::vector<sfc_report>& reports = list.reports;
  struct Best {
    std::size_t index;  // into obs
    int secs;
  };
  // The stations in the order they first appear, found by their identifiers (which point
  // into the reports); a table of tens of thousands of stations must not cost a string per row.
  std::vector<Best> best;
  IdIndex where(obs.size());
  best.reserve(obs.size());
  long duplicates = 0, corrections = 0;
  for (std::size_t k = 0; k < obs.size(); ++k) {
    const ObsMeta& o = obs[k];
    const int t = obs_secs(o, want);
    if (t == MTR_NO_TIME || t < hour - kBefore || t > hour + kAfter) continue;
    std::uint32_t& at =
        where.slot(reports[k].id, [&](std::size_t i) { return std::string_view(reports[best[i].index].id); });
    if (at == IdIndex::none) {
      at = static_cast<std::uint32_t>(best.size());
      best.push_back(Best{k, t});
      continue;
    }
    Best& b = best[at];
    const ObsMeta& cur = obs[b.index];
    if (t == b.secs && o.kind == cur.kind) {
      // The same observation again: a repeat, a correction, or a later version.
      if (o.text_hash == cur.text_hash) {
        ++duplicates;
      } else if (o.corrected && !cur.corrected) {
        ++corrections;
        b.index = k;
      } else if (!o.corrected && cur.corrected) {
        ++duplicates;  // the uncorrected report sent again after its correction
      } else {
        ++duplicates;
        b.index = k;
      }
      continue;
    }
    const bool better = o.kind != cur.kind ? o.kind == MTR_ROUTINE : nearer(t, b.secs, hour);
    if (better) b = Best{k, t};
  }
  chosen.reserve(best.size());
  long specials = 0;
  for (const Best& b : best) {
    if (obs[b.index].kind == MTR_SPECIAL) ++specials;
    chosen.push_back(b.index);
  }
  if (stats != nullptr) {
    stats->duplicates = duplicates;
    stats->corrections = corrections;
    stats->specials = specials;
    stats->chosen = static_cast<long>(chosen.size());
  }
  return chosen;
}

}  // namespace

std::vector<sfc_report> OBS_choose(const ObsList& obs, const DateRec& date, ObsStats* stats) {
  std::vector<sfc_report> chosen;
  const std::vector<std::size_t> keep = choose(obs, date, stats);
  chosen.reserve(keep.size());
  for (const std::size_t k : keep) chosen.push_back(obs.reports[k]);
  return chosen;
}

std::string OBS_summary(const char* name, const DateRec& date, const ObsStats& s) {
  char buf[512];
  std::string text = name != nullptr ? name : "";
  std::snprintf(buf, sizeof buf, ": %ld %s, %ld stations, %ld reports for %02d UTC", s.lines,
                s.table ? "rows" : "report lines", s.stations, s.chosen, date.hour == MISSING_INT ? 0 : date.hour);
  text += buf;
  if (s.specials > 0) {
    std::snprintf(buf, sizeof buf, " (%ld special)", s.specials);
    text += buf;
  }
  std::snprintf(buf, sizeof buf, "; %ld duplicates, %ld corrections, %ld NIL", s.duplicates, s.corrections, s.nil);
  text += buf;
  if (s.skipped > 0) {
    std::snprintf(buf, sizeof buf, ", %ld lines of other text skipped", s.skipped);
    text += buf;
  }
  std::snprintf(buf, sizeof buf, "; %ld not in the database; groups not understood: %ld", s.not_in_db, s.bad_groups);
  text += buf;
  if (!s.bad_names.empty()) {
    std::vector<std::pair<long, std::string>> by_count;
    for (const auto& [group, n] : s.bad_names) by_count.emplace_back(-n, group);
    std::sort(by_count.begin(), by_count.end());
    text += " (most common:";
    for (std::size_t k = 0; k < by_count.size() && k < kNamedGroups; ++k) {
      std::snprintf(buf, sizeof buf, "%s %s x%ld", k ? "," : "", by_count[k].second.c_str(), -by_count[k].first);
      text += buf;
    }
    text += ")";
  }
  return text;
}

bool OBS_read_file(const char* name, const char* path, int form, std::vector<sfc_report>* reports, DateRec* date) {
  if (name == nullptr || path == nullptr || reports == nullptr || date == nullptr) return false;
  std::string text;
  if (!read_whole(path, &text)) {
    MESS_print(MESS_WARN, "SFC_open: Unable to read %s (more than %zu MB, or a read error)\n", name,
               max_report_bytes >> 20);
    return false;
  }
  // The hour asked for: the date the naming convention gave, then the one in the name.
  DateRec want, named;
  FILE_get_date(&want);
  want.minute = want.second = 0;
  if (name_date(name, &named)) fill_missing(&want, named);
  if (form == SFC_FORM_BULLETIN) {
    DateRec valid;
    if (!bulletin_date(text, &valid)) {
      MESS_print(MESS_WARN, "SFC_open: No VALID line in frontal bulletin %s\n", name);
      return false;
    }
    fill_missing(&want, valid);
    date_from_modtime(path, &want);
    *date = want;
    return true;
  }
  ObsList obs;
  ObsStats stats;
  if (form == SFC_FORM_TABLE) {
    CsvStats csv;
    if (!CSV_read(text, name, &obs, &csv)) return false;
    stats.table = true;
    stats.lines = csv.rows;
    stats.reports = csv.used;
    stats.skipped = csv.bad_rows;
    stats.stations = count_stations(obs);
  } else {
    OBS_read_reports(text, &obs, &stats);
  }
  if (!date_known(want)) {
    DateRec found;
    if (!OBS_file_hour(obs, want.year, want.month, &found)) {
      MESS_print(MESS_WARN, "SFC_open: No observation with a time in %s\n", name);
      return false;
    }
    fill_missing(&want, found);
    date_from_modtime(path, &want);
  }
  *date = want;
  // The reports kept are gathered to the front of those read, and handed on as they are.
  const std::vector<std::size_t> keep = choose(obs, want, &stats);
  for (std::size_t i = 0; i < keep.size(); ++i)
    if (keep[i] != i) obs.reports[i] = obs.reports[keep[i]];
  obs.reports.resize(keep.size());
  *reports = std::move(obs.reports);
  known_call_signs(reports);
  for (const sfc_report& r : *reports)
    if (r.lat == MISSING && !CTY_known(r.id)) ++stats.not_in_db;
  // One line a file even in batch runs: a report that is not plotted is never lost silently.
  MESS_print(MESS_PRINT, "%s\n", OBS_summary(name, want, stats).c_str());
  return true;
}

