// Surface plot loop: input kind, file date, variable prompt and the plot over files.
#include "driver/sfc_plt.h"

#include <string>
#include <string_view>

#include "config/flag.h"
#include "config/resrc.h"
#include "config/string.h"
#include "files/files.h"

namespace {

constexpr int flag_input_kind = 14;
constexpr int input_surface = 10;
constexpr int input_fronts = 11;

// The requested date: the first date of the file sequence.
DateRec file_date{-9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999};

bool contains_ci(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
    if (strnicmp(text.data() + i, word.data(), word.size()) == 0) return true;
  return false;
}

}  // namespace

int SFC_cvt_in_file() {
  std::string conv = "sfc_cvt";
  int kind = input_surface;
  for (const char* resource : {"input", "in_file"}) {
    int count = 0;
    char** values = nullptr;
    RES_getvals(resource, &count, &values);
    for (int i = 0; i < count; ++i) {
      std::string_view v = values[i];
      if (v.empty()) continue;
      if (contains_ci(v, "forfront")) {
        kind = input_fronts;
        conv = "frf_dat";
      } else if (contains_ci(v, "front")) {
        kind = input_fronts;
        conv = "frt_dat";
      } else if (contains_ci(v, "sfc")) {
        kind = input_surface;
        conv = v;
      } else {
        conv = v;
      }
    }
    if (values) free_parsed_array(count, values);
  }
  // Only the last value counts, so the convention is selected once (one warning at most
  // when the convention file is missing).
  FILE_set_name(conv.c_str());
  FLAG_set(flag_input_kind, kind);
  return kind;
}

void SFC_set_date(const DateRec* date) {
  if (date != nullptr)
    file_date = *date;
  else
    FILE_get_date(&file_date);
}

// Placeholders of the variable loop and the plot: no variable yet, nothing drawn.
namespace {
int variable_prompt = 1;
}  // namespace

void SFC_set_prompt_variable(int flag) { variable_prompt = flag; }

int SFC_prompt_variable() { return 0; }

void SFC_plot(const DomainRec*) {}
