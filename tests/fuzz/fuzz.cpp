// The libFuzzer targets of the readers, one source for all: each target is this file linked
// under the name <reader>_fuzz, and the name picks its reader from the table at the end.
// Every target starts from a quiet program state (messages formatted but not printed, batch
// mode, none of the user's resources or naming conventions, file_path on the package data),
// works in a folder of its own in /dev/shm, and the readers that draw draw on the recording
// device. A reader is given the input whole, or (most) its first byte, which chooses among
// the files it reads, and the rest as text. The readers of observations also stop the
// target on what they must never give (broken, below), which the fuzzer saves as a crash.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/scanp.h"
#include "config/string.h"
#include "files/date.h"
#include "files/files.h"
#include "graphics/colors.h"
#include "graphics/gif.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_img.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "graphics/img_tool.h"
#include "graphics/png.h"
#include "graphics/xdump.h"
#include "plot/frt_plt.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "plot/wx_symb.h"
#include "surface/metar.h"
#include "surface/obs_csv.h"
#include "surface/obs_read.h"
#include "surface/raw_read.h"
#include "surface/raw_tool.h"
#include "surface/sfc_check.h"
#include "surface/sfc_read.h"
#include "surface/var_tool.h"
#include "tests/support/surface_report.h"

extern char** environ;

// Inputs also name commands ("|command" wherever a file name is taken): a fuzzer must never
// run what it made up, so the process's own popen and system refuse every command.
extern "C" std::FILE* popen(const char*, const char*) {
  errno = EPERM;
  return nullptr;
}
extern "C" int pclose(std::FILE*) { return -1; }
extern "C" int system(const char* command) { return command == nullptr ? 0 : -1; }

namespace {

std::string dir;  // the process's folder

void remove_dir() {
  std::error_code ignored;
  if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
}

// The quiet state, again after a reader has read resources of its own.
void reset() {
  setenv("zavdefault", (dir + "/no_resources").c_str(), 1);
  RES_clear();
  FLAG_reset(-9999);
  FLAG_set(FLAG_BATCH, 1);
  MESS_reset();
  // Every message of the usual levels is still formatted (a bad format or argument shows
  // under the sanitizers), only not printed.
  MESS_set_out(0);
  RES_put("file_path", STACONT_DATA_DIR);
}

void init() {
  // None of the user's settings: every "zav..." variable goes.
  std::vector<std::string> names;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "zav", 3) == 0) names.emplace_back(*e, std::strcspn(*e, "="));
  for (const std::string& n : names) unsetenv(n.c_str());
  setenv("DISPLAY", "", 1);
  const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  dir = std::string(base) + "/stacont_fuzz_" + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  std::atexit(remove_dir);
  // Inputs name files to write (a message log, a directory to make): relative names land in
  // the process's folder, never in the tree the fuzzer was started from.
  if (chdir(dir.c_str()) != 0) std::abort();
  reset();
}

// Writes bytes to a file of that name in the process's folder; its path.
std::string write_file(const char* name, std::string_view bytes) {
  const std::string path = dir + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
  return path;
}

// What a reader of observations must never give: a report kept without an identifier,
// with unterminated text, a value neither missing nor finite or a time that is not one; an
// observation of a day, hour or kind that is not one; a negative count. Stops the target.
void broken(const std::string& what) {
  std::fprintf(stderr, "broken: %s\n", what.c_str());
  std::abort();
}
bool terminated(const char* s, std::size_t n) { return std::memchr(s, '\0', n) != nullptr; }
bool within(int v, int low, int high) { return v == -9999 || (v >= low && v <= high); }
void check(const sfc_report& r) {
  if (!terminated(r.id, sizeof r.id) || !r.id[0]) broken("no identifier");
  if (!terminated(r.region, sizeof r.region) || !terminated(r.wx, sizeof r.wx) || !terminated(r.comment, sizeof r.comment))
    broken("unterminated text");
  for (const auto& [name, m] : surface_report::kFloats)
    if (r.*m != -9999.0f && !std::isfinite(r.*m)) broken(name);
  for (const float h : r.cld_hgt)
    if (h != -9999.0f && !std::isfinite(h)) broken("cloud height");
  if (r.ncld < 0 || r.ncld > 5 || !within(r.time, 0, 2359) || r.time % 100 > 59) broken("ncld or time");
}
void check(const ObsRec& o) {
  if (!within(o.day, 1, 31) || !within(o.hour, 0, 23) || !within(o.minute, 0, 59) || (o.kind != MTR_ROUTINE && o.kind != MTR_SPECIAL))
    broken("day, hour, minute or kind");
  check(o.r);
}

// Runs a reader with its messages kept in a file of the process's folder: whether it said
// anything (a reader that refuses a file must say why).
bool says(const std::function<void()>& read) {
  const std::string path = dir + "/said";
  MESS_file(path.c_str(), "w");
  read();
  MESS_file_close();
  std::error_code ec;
  return std::filesystem::file_size(path, ec) > 0 && !ec;
}

// A colour table read in place of the one before and defined on the workstation, its names
// looked up.
void colours(const std::string& path) {
  CLR_clear_table();
  CLR_read_table(path.c_str());
  for (int i = 0; i < CLR_get_num() && i < 300; ++i) {
    float c[3];
    if (CLR_get_rgb(i, &c[0], &c[1], &c[2]) == 0) gset_colr_rep(1, i, c);
    CLR_get_ind(CLR_get_name(i));
  }
}

// Workstation 1 on the recording device (PostScript type) with the package colour table and
// the map panel laid out, once; every later call forgets the calls kept so far.
void open_recorder() {
  static bool open = false;
  if (open) {
    gdev_clear_calls();
    return;
  }
  open = true;
  gopen_gks(nullptr, 0);
  gset_redraw(0);
  gset_display_optional(1);
  gdev_register(WS_PS, gdev_recorder());
  if (gopen_ws(1, "", WS_PS) != 0) std::abort();
  colours(STACONT_DATA_DIR "/zav.clr");
  const float vp[4] = {0.02f, 0.98f, 0.02f, 0.74f};
  GPH_view(2, vp);
  gdev_clear_calls();
}

// The recording workstation open with the United States domain made current, once.
void over_us() {
  open_recorder();
  static const bool ready = [] {
    DomainRec domain;
    DOM_init(&domain);
    return DOM_get_def_region("us", &domain) && MAP_setup(&domain) != 0;
  }();
  (void)ready;
}

// A reader's input: all of it, its first byte (0 for an empty input), and the rest.
struct Input {
  std::string_view all;
  std::uint8_t first;
  std::string rest;  // a copy: bytes after a zero byte stay in
};

// Reducing touches every pixel: only for pictures a fuzzer input can hold honestly.
void reduce(ImgRec* image, int read) {
  if (read == 1 && image->width > 0 && image->height > 0 &&
      static_cast<long long>(image->width) * image->height <= 1 << 20) {
    std::vector<unsigned char> palette, index;
    IMG_reduce(image, &palette, &index);
  }
  IMG_free(image);
}

// Resource files (read with their conditional sections at start-up, RES_init) and, for an
// odd first byte, naming-convention files (a convention chosen by name and a file name made
// for a date with it).
void config(const Input& in) {
  // The resources the program takes (as its entry lists them).
  static constexpr int keyed[] = {57, 3,  73, 48, 41, 39, 55, 94, 63, 106, 112, 113, 114, 6,  72, 76, 64, 80, 47, 40,
                                  58, 78, 60, 84, 110, 96, 98, 105, 79, 89, 88, 85, 86, 44, 69,  37, 35, 51, 27, 28,
                                  13, 23, 17, 22, 16, 31, 9,  32, 10, 11, 15, 20, 8,  46, 102, 59, 2,  53, 0};
  static constexpr int positional[] = {50, 0};
  const std::string& text = in.rest;
  if (in.first % 2 == 0) {
    setenv("zavdefault", write_file("zav.cfg", text).c_str(), 1);
    char prog[] = "/usr/bin/stacont";
    char* argv[] = {prog, nullptr};
    RES_init(1, argv, keyed, positional);
    MESS_set_out(0);
    for (const char* name : {"file", "domain", "variable", "device", "map_file", "color_table", "hour"}) {
      if (RES_get(name)) {
        int count = 0;
        char** list = nullptr;
        RES_getvals(name, &count, &list);
        free_parsed_array(count, list);
      }
    }
    reset();
    return;
  }
  RES_put("name_conv", write_file("name_conv", text).c_str());
  // The first word of the file names a convention, as a user's option would.
  const std::size_t start = text.find_first_not_of(" \t\r\n#");
  std::string name = start == std::string::npos ? "sfc" : text.substr(start, text.find_first_of(" \t\r\n", start) - start);
  name = name.c_str();
  char result[FILE_NAME_MAX];
  for (const char* conv : {name.c_str(), "sfc", "sfc_grd_cdf"}) {
    FILE_set_name(conv);
    DateRec date;
    DATE_init(&date);
    date.year = 2026, date.month = 3, date.day = 14, date.hour = 0, date.minute = 0;
    FILE_set_date(&date, result);
    FILE_hdr_set_date(nullptr, result);
  }
  FILE_set_name_conv("3600 %Y%m%d%h.sfc -");
}

void use_domain(const DomainRec& domain) {
  if (MAP_domain(&domain) != 1) return;
  DOM_print(0, &domain);
  static const float points[][2] = {{40.0f, -100.0f}, {90.0f, 0.0f}, {-90.0f, 180.0f}, {0.0f, -180.0f}};
  for (const auto& p : points) {
    float x = 0.0f, y = 0.0f, lat = 0.0f, lon = 0.0f;
    if (MAP_tran(&x, &y, p[0], p[1])) MAP_untran(&lat, &lon, x, y);
    MAP_dir_adj(270.0f, x, y);
  }
  float column = 0.0f, row = 0.0f, x = 0.0f, y = 0.0f;
  MAP_grid_tran(&x, &y, 1.0f, 1.0f);
  MAP_grid_untran(&column, &row, x, y);
  MAP_point_scale(45.0f);
  MAP_domain(nullptr);
}

// Domain texts (DOM_decode, then the projection made current and points carried both ways)
// and, for an odd first byte, region files (the menu, a named entry and its domain text).
void domain(const Input& in) {
  DomainRec domain;
  DOM_init(&domain);
  if (in.first % 2 == 0) {
    if (DOM_decode(in.rest.c_str(), &domain) > 0) use_domain(domain);
    return;
  }
  const std::string path = write_file("fuzz.reg", in.rest);
  DOM_read_menu(path.c_str());
  char result[DOM_TEXT_LEN + 1];
  if (DOM_search_file(path.c_str(), nullptr, result) == 1) {
    DOM_init(&domain);
    if (DOM_decode(result, &domain) > 0) use_domain(domain);
  }
  DOM_search_file(path.c_str(), "us", result);
  DOM_read_menu(STACONT_DATA_DIR "/zav.reg");
}

// Stroke font files (read_font, then strings laid out and drawn with the font) and, for an
// odd first byte, font list files (gsetup_fonts through "fi:").
void font(const Input& in) {
  open_recorder();
  if (in.first % 2 == 0) {
    read_font(write_file("fuzz.fnt", in.rest).c_str());
    static const char sample[] = "Surface 1013.2 hPa -12\xB0 ~|{}";
    gtext_width(sample);
    ::text(sample, 0.1f, 0.5f);
    for (int code = 0; code < 256; code += 17) gget_glyph_width(code);
    return;
  }
  gset_font_list(("fi:" + write_file("fuzz.fnl", in.rest)).c_str());
  gsetup_fonts();
  for (int i = 1; i <= gget_num_fonts() && i < 50; ++i) gget_font_name(i);
  gget_font_index("modern");
  gset_font_list(nullptr);
}

// Coded frontal-position bulletins, read (FRT_read_file) and drawn over a domain of the United
// States on the recording device (FRT_plot_file): the analysis section, or with the first
// byte's low bits a forecast section ("hour=12") or an analysis date to match, and barbs. No
// point read or drawn may be other than a finite place.
void frt(const Input& in) {
  over_us();
  static const int symbols = WX_symb_file(STACONT_DATA_DIR "/wx.smb");
  (void)symbols;
  const std::string path = write_file("fuzz.frt", in.rest);
  DateRec date;
  DATE_init(&date);
  if (in.first & 1) date.year = 2021, date.month = 6, date.day = 28, date.hour = 18;
  FRT_set_date(&date);
  RES_put("plot_param", in.first & 2 ? "hour=12:prrad=5" : in.first & 4 ? "noprlab,barb,prrad=0" : "prrad=0");
  FrtBulletin bulletin;
  FRT_read_file(path.c_str(), &bulletin);
  auto place = [](float lat, float lon) { return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90; };
  for (const FrtFront& f : bulletin.fronts) {
    if (f.lat.size() != f.lon.size()) broken("front of unequal lists");
    for (std::size_t k = 0; k < f.lat.size(); ++k)
      if (!place(f.lat[k], f.lon[k])) broken("front point");
  }
  for (const FrtCentre& c : bulletin.centres)
    if (!place(c.lat, c.lon) || !std::isfinite(c.pres)) broken("centre");
  for (const FrtStorm& t : bulletin.storms)
    if (!place(t.lat, t.lon)) broken("storm");
  FRT_plot_file(path.c_str());
  for (const GksCall& c : gdev_calls())
    for (const float v : c.values)
      if (!std::isfinite(v)) broken("drawn point");
}

// GIF files read into image records (GIF_read).
void gif(const Input& in) {
  ImgRec image;
  IMG_init(&image);
  reduce(&image, GIF_read(write_file("fuzz.gif", in.all).c_str(), &image));
}

// Grid files: the package grid with text or binary values, the older version, plain values
// and netCDF (whose header is checked before the library reads it), every grid of a file.
void grid(const Input& in) {
  const std::string path = write_file("grid.zgrd", in.all);
  GRD_chktype(path.c_str());
  int type = 0;
  const int handle = GRD_open(path.c_str(), 0, &type);
  if (handle < 0) return;
  GridInfo info;
  GRD_getinfo(handle, &info);
  GridRec grid;
  GRD_init(&grid);
  int position = 0;
  for (int n = 0; n < 64 && GRD_read(handle, &grid, 0, &position) == 0; ++n) {
  }
  GRD_free(&grid);
  GRD_close(handle);
}

// The other image files: the first byte chooses PNG (PNG_read), XWD (XWD_read), the package
// format (IMG_read_zav) or the reader that dispatches on the magic (IMG_read). A picture
// read is reduced to a palette, as writing it again would.
void image(const Input& in) {
  const std::string path = write_file("fuzz.img", in.rest);
  ImgRec image;
  IMG_init(&image);
  const int which = in.first % 4;
  reduce(&image, which == 0   ? PNG_read(path.c_str(), &image)
                 : which == 1 ? XWD_read(path.c_str(), &image)
                 : which == 2 ? IMG_read_zav(path.c_str(), &image)
                              : IMG_read(path.c_str(), &image, 1));
}

// Map outline files, text or binary (MAP_map), drawn over a domain of the United States
// on the recording device, through a map list naming the file (MAP_draw) so that
// the cache and the fill of an item are used too.
void map(const Input& in) {
  over_us();
  const std::string path = write_file("fuzz.map", in.rest);
  if (in.first % 2 == 0) {
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
      MAP_map(f);
      std::fclose(f);
    }
    return;
  }
  MAP_clear_cache();
  MAP_fill_cont(in.first & 2 ? 1 : 0);
  MAP_latlon(0, 0, 0.0f, 0.0f);  // the file's lines alone
  MAP_file((path + ":red:wi=2").c_str());
  MAP_draw(4);
}

// Metafiles replayed (gread_metafile): the text form and the CGM binary form, told apart by
// their first bytes, onto the recording device.
void meta(const Input& in) {
  open_recorder();
  gread_metafile(write_file("fuzz.meta", in.all).c_str());
}

// The readers of real observations from bytes: the first byte chooses one report decoded
// (MTR_decode), a station table (CSV_read), a collection read and chosen from
// (OBS_read_reports, OBS_file_hour, OBS_choose, OBS_summary), or the line kinds by which
// files are told apart (FILE_text_kind and the line tests).
void obs(const Input& in) {
  const std::string& text = in.rest;
  if (in.first % 4 == 0) {
    ObsRec obs;
    MtrGroups groups;
    const int got = MTR_decode(text, &obs, &groups);
    if ((got != MTR_NOT_REPORT && got != MTR_DECODED && got != MTR_NIL) || groups.bad < 0) broken("MTR_decode");
    if (got == MTR_DECODED) check(obs);
    MTR_text_hash(text);
  } else if (in.first % 4 == 1) {
    ObsList out;
    CsvStats s;
    const int table = CSV_is_table(text);
    int read = 1;
    if ((table != 0 && table != 1) || (!says([&] { read = CSV_read(text, "table.csv", &out, &s); }) && read == 0))
      broken("CSV_is_table, or CSV_read refused silently");
    if (s.rows != s.used + s.bad_rows + s.long_rows || s.used < 0 || s.bad_rows < 0 || s.long_rows < 0 || s.raw < 0 ||
        s.bad_values < 0 || static_cast<long>(out.size()) != s.used)
      broken("CSV counts");
    for (std::size_t k = 0; k < out.size(); ++k) check(out.at(k));
  } else if (in.first % 4 == 2) {
    ObsList obs;
    ObsStats stats;
    OBS_read_reports(text, &obs, &stats);
    if (obs.meta.size() != obs.reports.size()) broken("observations without their reports");
    for (std::size_t k = 0; k < obs.size(); ++k) check(obs.at(k));
    DateRec date;
    DATE_init(&date);
    // Dated by the caller (the first byte's bit) or by the reports alone.
    const bool dated = in.first & 4;
    if (OBS_file_hour(obs, dated ? 2019 : -9999, dated ? 7 : -9999, &date)) {
      if (date.hour < 0 || date.hour > 23 || !within(date.day, 1, 31)) broken("file hour");
      const std::vector<sfc_report> chosen = OBS_choose(obs, date, &stats);
      if (chosen.size() > obs.size()) broken("more chosen than read");
      for (const sfc_report& r : chosen) check(r);
    }
    if (OBS_summary("obs.txt", date, stats).empty()) broken("no summary");
    for (const long n : {stats.lines, stats.reports, stats.nil, stats.skipped, stats.duplicates, stats.corrections,
                         stats.specials, stats.stations, stats.chosen, stats.not_in_db, stats.bad_groups})
      if (n < 0) broken("negative count");
  } else {
    const int kind = FILE_text_kind(text.data(), text.size());
    if (kind != -1 && (kind < FILE_METAR_COLLECTION || kind > FILE_FRONT_BULLETIN)) broken("FILE_text_kind");
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

// Raw station-data files (RAW_open, RAW_getinfo, RAW_read of every line and field), and
// single value tokens (RAW_dec_line).
void raw(const Input& in) {
  const std::string path = write_file("fuzz.raw", in.all);
  RAW_chktype(path.c_str());
  const int handle = RAW_open(path.c_str());
  if (handle < 0) return;
  DateRec date;
  char line[RAW_LINE_MAX + 1];
  const int fields = RAW_getinfo(handle, &date, line, sizeof line);
  if (fields >= 0) {
    for (int i = 0; i < fields && i < RAW_MAX_FIELDS; ++i) RAW_get_field(handle, i);
    RAW_field_index(handle, "temp");
    RawDataRec record;
    for (int index = 0; index < 5000; ++index) {
      if (RAW_read(handle, &record, index % (fields + 1), index) == 0) break;
      RAW_get_id(handle);
      RAW_get_comment(handle);
    }
  }
  RAW_close(handle);
  // The value tokens of the first line (its first 4096 bytes), one by one.
  const std::string_view first = in.all.substr(0, std::min<std::size_t>(in.all.find('\n'), 4096));
  for (std::size_t b = 0, e; b < first.size(); b = e + 1) {
    e = std::min(first.find_first_of(std::string_view(" \0", 2), b), first.size());
    RawDataRec record;
    char comment[64];
    if (e > b) RAW_dec_line(std::string(first.substr(b, e - b)).c_str(), &record, comment, sizeof comment);
  }
}

// Each format of the scanner stores into at most these destinations, in this order: ints
// i1-i3, floats f1-f3, texts t1-t2 (SCANP_TEXT_MAX + 1 bytes, wide enough for every width).
struct Dest {
  int i[3] = {};
  float f[3] = {};
  char t[2][SCANP_TEXT_MAX + 1] = {};
};

// A table of formats that together use every directive (the formats are the program's own;
// the text is the hostile part).
int scan(ScanpRec* r, int which, Dest* d) {
  switch (which) {
    case 0: return scanp(r, "%d %f %s", &d->i[0], &d->f[0], d->t[0]);
    case 1: return scanp(r, "%!-!f %n%!-!f ", &d->f[0], &d->i[0], &d->f[1]);
    case 2: return scanp(r, "%5D%<8F%3c", &d->i[0], &d->f[0], d->t[0]);
    case 3: return scanp(r, "%A%N%S", d->t[0], d->t[1], d->t[0]);
    case 4: return scanp(r, "%[abc]%[^ ,]%w", d->t[0], d->t[1]);
    case 5: return scanp(r, "%(METAR|SPECI|COR)%W%4s%*d", d->t[0], d->t[1]);
    case 6: return scanp(r, "%/A%/N%//%%%<20s", d->t[0]);
    case 7: return scanp(r, "%<3!M!F/%<3!M!F", &d->f[0], &d->f[1]);
    case 8: return scanp(r, "%2d%2d%2dZ %<5s%n", &d->i[0], &d->i[1], &d->i[2], d->t[0], &d->i[0]);
    case 9: return scanp(r, "%*s %<80S", d->t[0]);
    case 10: return scanp(r, "%6c%*<2w%!///!d", d->t[0], &d->i[0]);
    default: return scanp(r, "%s ", d->t[0]);
  }
}

// The pattern scanner: a line of the input taken apart by one of the formats, walking the
// line as the readers do, then searched and edited.
void scanner(const Input& in) {
  std::string line = in.rest.c_str();
  const int which = in.first % 12;
  ScanpRec record;
  scanp_set(&record, line.data());
  Dest d;
  for (int n = 0; n < 1000; ++n) {
    if (scan(&record, which, &d) <= 0 || record.used <= 0) break;
    scanp_inc(&record);
  }
  scanp_off(&record, 0);
  if (scanp_search(&record, "RMK")) scanp_replace(&record, 0, 'r');
  scanp_char(&record, 3);
  scanp_str(&record);
  scanp_inc_off(&record, 2);
  scan(&record, (which + 1) % 12, &d);
}

// Surface files in every form the plot loop opens: the package text forms, the netCDF
// forms (the header is checked before the library sees it), report collections, hourly
// files, reports one a line, station tables and bulletins (read whole by the report module).
// The file's name dates the reports when it holds a date; which name is used follows the
// input's size, so that both ways are taken.
void sfc(const Input& in) {
  static const bool registered = (SFC_set_report_reader(OBS_read_file), true);
  (void)registered;
  static const char* const names[] = {"obs.sfc", "metar_20190701_1200.txt", "2026031400.sfc"};
  const std::string path = write_file(names[in.all.size() % 3], in.all);
  int form = 0, handle = -1;
  const bool said = says([&] { handle = SFC_open(path.c_str(), 0, &form); });
  if (handle < 0 && form >= SFC_FORM_REPORTS && !said) broken("SFC_open refused silently");
  if (handle < 0) return;
  sfc_info info{};
  if (SFC_getinfo(handle, &info) != 0 && form != SFC_FORM_TEXT && form != SFC_FORM_OLD_TEXT) broken("SFC_getinfo");
  if (!terminated(info.label, sizeof info.label)) broken("label");
  sfc_report report;
  // Reports in order, as the plot loop asks for them; after a rewind their identifiers alone
  // (mode 1), then one out of order.
  for (int n = 0; n < 100000; ++n) {
    int index = n;
    if (SFC_read(handle, &report, 0, &index) != 0) break;
    if (form >= SFC_FORM_REPORTS) check(report);
  }
  SFC_rewind(handle);
  for (int index = 0; index < 100000 && SFC_read(handle, &report, 1, &index) == 0; ++index) {
  }
  SFC_rewind(handle);
  int index = 2;
  SFC_read(handle, &report, 2, &index);
  SFC_close(handle);
}

// Weather symbol files (WX_symb_file, then symbols drawn by name), for an odd first byte
// colour tables (CLR_read_table, then names looked up and defined on the device), and for a
// first byte of 3 modulo 4 gross-limit tables (SFC_limits_load, then applied to a report).
void symbol(const Input& in) {
  open_recorder();
  if (in.first % 2 == 0) {
    const int count = WX_symb_file(write_file("fuzz.smb", in.rest).c_str());
    for (int i = 0; i < count && i < 8; ++i) {
      const char* name = WX_symb_name(i);
      if (name) WX_symb(name, 0.5f, 0.5f, 0.05f);
    }
    WX_symb("rain", 0.5f, 0.5f, 0.05f);
  } else if (in.first % 4 == 3) {
    if (SFC_limits_load(write_file("fuzz.lim", in.rest).c_str()) > 0) {
      sfc_report report;
      SFC_initialize(&report);
      report.temp = 140.0f;
      report.dewp = 150.0f;
      report.alt = 29.92f;
      SfcLimitStats stats;
      SFC_limits_apply(&report, &stats);
      SFC_limits_summary(stats);
    }
    SFC_limits_load("none");
  } else {
    colours(write_file("fuzz.clr", in.rest));
    CLR_get_ind("red");
    CLR_get_ind("#ff8000");
    colours(STACONT_DATA_DIR "/zav.clr");
  }
}

// Variable requests (VAR_setup, with the package variable file open) and, for an odd first
// byte, a variable file of the input's own read with a request naming its entries.
void var(const Input& in) {
  if (in.first % 2 == 0) {
    static const bool opened = VAR_open_file(STACONT_DATA_DIR "/stacont.var") == 1;
    (void)opened;
    // The request ends at a zero byte, as an option's text would.
    VAR_setup(nullptr, in.rest.c_str());
    for (int i = 0; i < VAR_get_num(); ++i) {
      VAR_make_var_datatype(i);
      VAR_get_description(i);
    }
    return;
  }
  VAR_setup(write_file("fuzz.var", in.rest).c_str(), "temp,dewp:ln,wind,prec-6,rhum");
  VAR_read_menu();
  VAR_lookup("temp");
  VAR_open_file(STACONT_DATA_DIR "/stacont.var");
}

// The readers by target name; "whole" ones also take the empty input.
struct Reader {
  const char* name;
  void (*read)(const Input&);
  bool whole;
};
constexpr Reader kReaders[] = {
    {"config", config, false}, {"domain", domain, false}, {"font", font, false},  {"frt", frt, false},
    {"gif", gif, true},        {"grid", grid, true},       {"image", image, false}, {"map", map, false},
    {"meta", meta, true},      {"obs", obs, false},        {"raw", raw, true},      {"scanp", scanner, false},
    {"sfc", sfc, true},        {"symbol", symbol, false},  {"var", var, false},
};
const Reader* reader = nullptr;

}  // namespace

// The target's reader from the name it was started by (.../<reader>_fuzz).
extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  const std::string name = std::filesystem::path((*argv)[0]).filename().string();
  for (const Reader& r : kReaders)
    if (name == std::string(r.name) + "_fuzz") reader = &r;
  if (reader == nullptr) {
    std::fprintf(stderr, "%s: no reader of that name (targets are <reader>_fuzz)\n", name.c_str());
    std::abort();
  }
  init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 && !reader->whole) return 0;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  reader->read({all, size > 0 ? data[0] : std::uint8_t{0}, size > 0 ? std::string(all.substr(1)) : std::string()});
  return 0;
}
