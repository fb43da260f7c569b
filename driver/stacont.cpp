// Program entry of the surface data contouring program.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/flag.h"
#include "config/mess.h"
#include "config/missing.h"
#include "config/resrc.h"
#include "config/string.h"
#include "config/system.h"
#include "driver/sfc_plt.h"
#include "files/date.h"
#include "files/files.h"
#include "graphics/gks_cairo.h"
#include "plot/gis.h"
#include "plot/region.h"
#include "surface/var_tool.h"

namespace {

// Keyed resources this program accepts, in the order of the help listing.
constexpr int keyed[] = {57, 3,  73, 48, 41, 39, 55, 94, 63, 106, 112, 113, 114, 6,  72,
                         76, 64, 80, 47, 40, 58, 78, 60, 84, 110, 96,  98,  105, 79, 108, 109, 67, 89,
                         88, 85, 86, 44, 69, 37, 35, 51, 27, 28,  13,  23,  17,  22, 16,
                         31, 9,  32, 10, 11, 15, 20, 8,  46, 102, 59,  2,   53,  0};
// Positional resources: the input file names.
constexpr int positional[] = {50, 0};

// Several input names, or a span of hours, make a sequence to animate.
bool input_is_sequence() {
  int count = 0;
  char** names = nullptr;
  RES_getvals("filename", &count, &names);
  free_parsed_array(count, names);
  return count > 1 || FILE_num_hour() != 0;
}

// Window and raster sides the devices draw; outside them they fall back to their default
// size, which the user must hear of.
constexpr int kMinSide = GRASTER_MIN_SIDE, kMaxSide = GRASTER_MAX_SIDE;

void check_geometry() {
  const char* g = RES_get("geometry");
  if (g == nullptr || *g == '\0' || *g == 'P' || *g == 'p' || *g == '+' || *g == '-') return;
  long w = 0, h = 0;
  if (std::sscanf(g, "%ldx%ld", &w, &h) != 2) {
    MESS_print(MESS_WARN, "Window geometry %.40s is not WIDTHxHEIGHT[+X+Y]: the default size 640 x 512 is used\n", g);
  } else if (w < kMinSide || h < kMinSide || w > kMaxSide || h > kMaxSide) {
    MESS_print(MESS_WARN,
               "Window geometry %.40s: a side of %d to %d pixels is accepted: the default size 640 x 512 is used\n", g,
               kMinSide, kMaxSide);
  } else {
    return;
  }
  RES_put("geometry", "");
}

// Any device word the program does not know opens the window: say so, or a misspelt file
// device ends in a puzzling "unable to connect to display".
void check_device() {
  const char* d = RES_get("device");
  if (d == nullptr || *d == '\0' || *d == ',') return;
  const std::string word(d, std::strcspn(d, ","));
  const bool raster = stricmp(word.c_str(), "png") == 0 || stricmp(word.c_str(), "pdf") == 0 ||
                      stricmp(word.c_str(), "svg") == 0 || stricmp(word.c_str(), "ogr") == 0;
  if (raster || std::strchr("dDxXpPhHqQmMwWrR", word[0]) != nullptr) return;
  MESS_print(MESS_WARN,
             "Unknown device \"%.40s\": the window is used (devices: d window, p PostScript, h HPGL, m metafile, "
             "png, pdf, svg, ogr)\n",
             word.c_str());
}

// The variable loop keeps VAR_REQUEST_MAX characters of a request: a longer one is refused
// whole rather than cut into another request. Batch mode ends; at a terminal the variable
// is asked for.
void refuse_long_request() {
  if (VAR_check_request(RES_get("variable"))) return;
  if (FLAG_batch()) ZAV_exit(ZAV_STATUS_VARIABLE);
  RES_put("variable", "");
}

// An option the program does not know stays a resource, for whatever module might read it;
// one that nothing read in a whole batch run was most likely misspelt ("-vaa dewp" would
// otherwise plot the default variable without a word).
void warn_unread_options() {
  if (!FLAG_batch()) return;
  for (const std::string& name : RES_unread_options())
    MESS_print(MESS_WARN, "Option -%s is not known and was not used (did you mean -%s?)\n", name.c_str(),
               RES_nearest_option(name.c_str()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // A run allocates and frees the same few large arrays (reports, tables, grids) again and
  // again: kept in the heap, freed blocks are used again at once, where blocks mapped apart
  // and returned at each free cost the system fresh zeroed pages every time.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  // No large pages are asked for: where a virtual machine hands memory left idle back to
  // its host, a fresh 2 MB page costs more than the 4 kB pages a run actually touches, and
  // an hourly run always starts on idle memory.
  SFC_connect();
  GIS_connect();
  RES_init(argc, argv, keyed, positional);
  if (const char* tz = std::getenv("zavtz")) DATE_set_TZ(tz);
  if (FLAG_help()) {
    char name[RES_TEXT_LEN];
    RES_get_progname(name);
    MESS_print(MESS_PRINT, "%s: This program contours surface data\n", name);
    RES_help_print(name, keyed, positional);
    ZAV_exit(0);
  }
  check_geometry();
  check_device();
  refuse_long_request();
  SFC_cvt_in_file();
  VAR_set_def_type(11);
  MESS_print_prog("SURFACE DATA CONTOURING");
  // Only surface input is handled here; front data belong to other programs.
  if (FLAG_get(FLAG_INPUT_KIND) != INPUT_SURFACE) return 0;

  // The input file (or sequence) and its date. A single named file that is missing could
  // only fail later when the plot opens it: end now, with the same status, before asking
  // for a domain and a variable. Missing files of a sequence are skipped while plotting.
  if (!FILE_get_file("Enter the surface filename: ", nullptr) && !input_is_sequence()) ZAV_exit(ZAV_STATUS_INPUT);
  SFC_set_date(nullptr);

  // Domain loop: a domain, then variables plotted one after another, then the next
  // domain. A domain from a resource or in batch mode answers once, so the program
  // plots once and ends.
  DomainRec domain;
  DOM_init(&domain);
  for (;;) {
    const int r = DOM_prompt_region(&domain, 1);
    if (r == MISSING_INT) continue;
    if (r <= 0) break;
    SFC_set_prompt_variable(1);
    while (SFC_prompt_variable()) SFC_plot(&domain);
  }
  warn_unread_options();
  return ZAV_status();
}
