// The readers of real observations from bytes: the first byte chooses one report decoded
// (MTR_decode), a station table (CSV_read), a collection read and chosen from
// (OBS_read_reports, OBS_file_hour, OBS_choose, OBS_summary), or the line kinds by which
// files are told apart (FILE_text_kind and the line tests).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/date.h"
#include "files/files.h"
#include "surface/metar.h"
#include "surface/obs_csv.h"
#include "surface/obs_read.h"
#include "tests/fuzz/fuzz_support.h"

STACONT_FUZZ_TARGET(first, text) {
  switch (first % 4) {
    case 0: {
      ObsRec obs;
      MtrGroups groups;
      MTR_decode(text, &obs, &groups);
      MTR_text_hash(text);
      break;
    }
    case 1: {
      std::vector<ObsRec> out;
      CsvStats stats;
      if (CSV_is_table(text)) CSV_read(text, "table.csv", &out, &stats);
      break;
    }
    case 2: {
      std::vector<ObsRec> obs;
      ObsStats stats;
      OBS_read_reports(text, &obs, &stats);
      DateRec date;
      DATE_init(&date);
      if (OBS_file_hour(obs, 2019, 7, &date)) {
        const std::vector<sfc_report> chosen = OBS_choose(obs, date, &stats);
        (void)chosen;
      }
      OBS_summary("obs.txt", date, stats);
      break;
    }
    default: {
      FILE_text_kind(text.data(), text.size());
      std::vector<std::string_view> words;
      std::string_view rest = text;
      for (int n = 0; n < 10000 && !rest.empty(); ++n) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        FILE_line_words(line, 64, &words);
        FILE_bulletin_heading(words);
        FILE_report_start(words);
        DateRec date;
        FILE_date_line(line, &date);
      }
    }
  }
}
