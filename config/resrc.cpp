// Resources: named settings from resource files, the environment and the command line.
//
// Every value is kept as text in one store (a list in insertion order, one node per name).
// Sources are read from low to high precedence -- resource files, environment, command
// line -- each replacing what came before; a final pass converts the values that act at
// once (help, batch, message level, device, plot type, draw, file parameter, hour).
#include "config/missing.h"
#include "config/resrc.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "config/def_read.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/mqueue.h"
#include "config/string.h"
#include "config/fileio.h"
#include "config/system.h"

namespace {

constexpr unsigned debug_level = MESS_DEBUG & MESS_D;
constexpr const char* default_path = ".:/home/zav/etc:/usr/local/zav/etc";
constexpr int prescan_name_len = 49;
constexpr int max_kind = 24;


// ---------------------------------------------------------------------------------------
// The package's descriptor table, indexed by resource index.

constexpr const char* domain_lines =
    "               region=predefined region:\n"
    "                  us,ne,at,se,mw,sp,nw,sw,etc\n"
    "               proj=projection, clat=central latitude, clon=central longitude,\n"
    "               nx,ny=number of gridpoints and dx,dy=grid spacing\n";
constexpr const char* domain_usage = "region or [proj],clat,clon[,nx,ny][,dx,dy]";

// The plot type words of -pl; the help listing is built from this table so that it names
// every word the option accepts.
constexpr struct {
  const char* word;
  int code;
} plot_type_words[] = {
    {"cf", PLOT_FCONT},     {"lcf", PLOT_BCONT},   {"ln", PLOT_LCONT},   {"dln", PLOT_DLN},
    {"ndln", PLOT_NDLN},    {"value", PLOT_GVALUE}, {"gvalue", PLOT_GVALUE}, {"none", PLOT_NONE},
    {"raw", PLOT_RAW},      {"vect", PLOT_VECT},   {"barb", PLOT_BARB},  {"strm", PLOT_STRM},
    {"stream", PLOT_STRM},  {"an", PLOT_AN},       {"number", PLOT_AN},  {"pm", PLOT_PM},
    {"stuve", PLOT_STUVE},  {"skewt", PLOT_SKEWT}, {"ema", PLOT_EMA},    {"teph", PLOT_TEPH},
    {"rteph", PLOT_RTEPH},  {"hodo", PLOT_HODO}};

// The words joined by commas, broken into lines under the help column.
std::string plot_type_lines() {
  std::string lines;
  std::string line;
  for (const auto& w : plot_type_words) {
    if (!line.empty() && line.size() + std::strlen(w.word) + 1 > 64) {
      lines += "               " + line + "\n";
      line.clear();
    }
    line += w.word;
    line += ',';
  }
  if (!line.empty()) line.pop_back();
  return lines + "               " + line + "\n";
}

struct Entry {
  int index;
  ResDesc desc;
};

ResDesc keyed(const char* name, const char* env, const char* abbrev, int kind, const char* help,
              const char* usage, const char* more = nullptr, int wide = 0) {
  return ResDesc{name, env, abbrev, 0, kind, nullptr, nullptr, help, usage, more, wide};
}

ResDesc positional(const char* name, const char* env, int position, int kind, const char* help,
                   const char* usage) {
  return ResDesc{name, env, nullptr, position, kind, nullptr, nullptr, help, usage, nullptr, 0};
}

// Resources of the package that this program does not list keep their abbreviation as
// usage and have no help text of their own.
ResDesc other(const char* name, const char* abbrev, const char* usage, int kind = 6) {
  return ResDesc{name, nullptr, abbrev, 0, kind, nullptr, nullptr, nullptr, usage, nullptr, 0};
}

std::array<ResDesc, RES_MAX_INDEX> make_package() {
  static const std::string pd_usage = std::string("-pd ") + domain_usage;
  static const std::string gd_usage = std::string("-gd ") + domain_usage;
  static const std::string re_usage = std::string("-re ") + domain_usage;
  static const std::string pl_lines = plot_type_lines();
  static const std::string region_lines = std::string(domain_lines) + "               us,ne,at,se,mw,sp,nw,sw,var\n";
  const Entry entries[] = {
      {2, keyed("background", "zavback", "bg", 6, "Background color", "-bg clr")},
      {3, keyed("batch", "zavbatch", "ba", 22, "Run program in batch mode", "-ba")},
      {4, other("bull_file", "bf", "-bf file")},
      {6, keyed("city_file", "zavcity", "cf", 6, "City database file name", "-cf file")},
      {8, keyed("color_clabel", "zavclrclab", "cocl", 6, "Fill label color", "-cocl clr")},
      {9, keyed("color_cloud", "zavclrcld", "cocd", 6, "Cloud cover symbol colors", "-cocd clr")},
      {10, keyed("color_cmap", "zavclrcmap", "cocm", 6, "Fill map color", "-cocm clr")},
      {11, keyed("color_cont", "zavclrcont", "coco", 6, "Line contour color", "-coco clr")},
      {13, keyed("color_data", "zavclrdata", "cod", 6, "Data plotting color", "-cod clr")},
      {15, keyed("color_fill", "zavclrfill", "cof", 6, "Fill contour colors", "-cof clr[,...]")},
      {16, keyed("color_front", "zavclrfront", "cofr", 6, "Front colors",
                 "-cofr hclr,lclr,cclr,wclr,oclr,tclr")},
      {17, keyed("color_grid", "zavclrgrid", "cogr", 6, "grid color", "-cogr clr")},
      {18, other("color_hodo", "coh", "-coh clr")},
      {19, other("color_hodtxt", "coht", "-coht clr")},
      {20, keyed("color_label", "zavclrlab", "cola", 6, "Line label color", "-cola clr")},
      {22, keyed("color_line", "zavclrln", "coln", 6, "Lat-lon line color", "-coln clr")},
      {23, keyed("color_map", "zavclrmap", "com", 6, "line map color", "-com clr")},
      {24, other("color_pop", "copp", "-copp clr")},
      {25, other("color_sound", "cosd", "-cosd clr")},
      {26, other("color_therm", "coth", "-coth clr")},
      {27, keyed("color_table", "zavclrtbl", "ct", 6, "Color table file name", "-ct file")},
      {28, keyed("color_text", "zavclrtext", "cot", 6, "Text color", "-cot clr")},
      {29, other("color_thrmtxt", "cott", "-cott clr")},
      {30, other("color_watch", "cowa", "-cowa clr")},
      {31, keyed("color_wind", "zavclrwind", "cowd", 6, "Wind barb colors", "-cowd clr")},
      {32, keyed("color_wx", "zavclrwx", "cowx", 6, "Weather symbol colors", "-cowx clr")},
      {33, other("command", "cd", "-cd command")},
      {34, positional("command", nullptr, 10, 21, nullptr, "command [arg...]")},
      {35, keyed("con_base", "zavconbase", "cb", 5, "Color fill contour/vector base value", "-cb base")},
      {37, keyed("con_interval", "zavconint", "in", 5, "Contour interval", "-in intrvl")},
      {39, keyed("con_path", "zavcon", "cp", 8, "Converted data path", "-cp path")},
      {40, keyed("current", "zavcurrent", "cu", 11, "Use current data file", "-cu [hour]")},
      {41, keyed("data_path", "zavdata", "dp", 8, "Raw data path", "-dp path")},
      {42, other("decode_hour", "dh", "-dh hour")},
      {44, keyed("draw", "zavdraw", "dr", 10, "Draw components: text,data,sum,map,none", "-dr param[,...]")},
      {46, keyed("device", "zavdevice", "de", 17, "Output device: d,p,q,w,m,r,png,pdf,svg,ogr", "-de dev[,name]")},
      {47, keyed("file_param", "zavfileparam", "pf", 16, "File parameters: use,calc,over,app", "-pf param")},
      {48, keyed("file_path", "zavfile", "fp", 8, "File path", "-fp path")},
      {49, positional("filename", nullptr, 1, 7, nullptr, "file")},
      {50, positional("filename", "zavfilename", 10, 21, "Input file names", "file [file...]")},
      {51, keyed("font_list", "zavfontlist", "fl", 6, "List of fonts to use", "-fl list")},
      {52, other("forecast", "fc", "-fc time")},
      {53, keyed("geometry", "zavgeometry", "ge", 6, "Window geometry", "-ge wxh+x+y")},
      {54, other("grid_num", "gn", "-gn num")},
      {55, keyed("grid_path", "zavgrid", "gp", 8, "Gridded data path", "-gp path")},
      {56, other("grid_type", "gt", "-gt type", 2)},
      {57, keyed("help", "zavhelp", "h", 23, "Print this help", "-h")},
      {58, keyed("hour", "zavhour", "ho", 12, "Actual hour of the file", "-ho hour")},
      {59, keyed("icon", "zavicon", "ic", 1, "Open window iconified", "-ic")},
      {60, keyed("identifier", "zavident", "id", 6, "Specific station identifier", "-id ident")},
      {63, keyed("image_path", "zavimage", "ip", 6, "Image file path", "-ip path")},
      {64, keyed("in_file", "zavinfile", "if", 6, "Input data file type", "-if type")},
      {65, other("ingestor", "di", "-di ingestor", 15)},
      {66, other("input", "in", "-inp type")},
      {67, keyed("limit_file", "zavlimit", "lim", 6, "Gross limits table of the reports, or none",
                 "-lim file|none")},
      {69, keyed("label", "zavlabel", "la", 6, "Plot labels", "-la label")},
      {70, other("level", "le", "-le level")},
      {71, other("log_file", "lf", "-lf file")},
      {72, keyed("map_file", "zavmap", "mf", 6, "Map database files", "-mf file[,file]")},
      {73, keyed("message", "zavmess", "me", 9, "Message level to be displayed:", "-me level",
                 "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n")},
      {74, other("model", "mo", "-mo model")},
      {76, keyed("name_conv", "zavnameconv", "nc", 14, "Naming convention file name", "-nc type")},
      {78, keyed("num_hour", "zavnumhour", "nh", 6, "Number of hours to view", "-nh hour[,step]")},
      {79, keyed("object_param", "zavobject", "oa", 6, "Objective analysis parameters",
                 "-oa smooth[,radinf,pass,conv,min]", nullptr, 1)},
      {80, keyed("out_file", "zavoutfile", "of", 6, "Output file type", "-of type")},
      {81, other("output", "ou", "-ou type")},
      {82, other("parameter", "pa", "-pa param")},
      {84, keyed("plot_domain", "zavdomain", "pd", 20, "Output plot domain", pd_usage.c_str(), domain_lines, 1)},
      {85, keyed("plot_format", "zavformat", "fm", 6, "Numeric format", "-fm format")},
      {86, keyed("plot_param", "zavpltparam", "pp", 6, "Plot parameters", "-pp param")},
      {88, keyed("plot_scale", "zavscale", "sc", 5, "Text and wind vector scale factor", "-sc scale")},
      {89, keyed("plot_type", "zavplot", "pl", 18, "Plot type, one of:", "-pl type", pl_lines.c_str())},
      {90, other("product", "ph", "-ph product")},
      {94, keyed("raw_path", "zavraw", "rp", 8, "Raw files path", "-rp path")},
      {96, keyed("region", "zavregion", "re", 13, "Region to be used for plotting and gridding",
                 re_usage.c_str(), region_lines.c_str(), 1)},
      {98, keyed("stat_prior", "zavprior", "pr", 2, "Priority of stations used in the plot", "-pr prior")},
      {99, other("state", "st", "-st state")},
      {100, other("table", "ta", "-ta", 1)},
      {102, keyed("title", "zavtitle", "ti", 6, "Window title", "-ti title")},
      {103, other("time", "ft", "-ft time")},
      {104, positional("value", nullptr, 10, 21, nullptr, "value [value...]")},
      {105, keyed("variable", "zavvar", "va", 6, "Variable to be plotted or contoured", "-va var")},
      {106, keyed("watch_path", "zavwatch", "wp", 8, "Watch file data path", "-wp path")},
      {107, other("window_num", "wn", "-wn num", 2)},
      {108, keyed("buddy_check", "zavbuddy", "bc", 6, "Buddy check: reject reports k spreads off (4) or off",
                  "-bc k[,min]|off")},
      {109, keyed("cross_valid", "zavcrossval", "cv", 6, "Print the leave-one-out error of every pass",
                  "-cv on|off")},
      {110, keyed("grid_domain", "zavgrddomain", "gd", 20, "Grid domain", gd_usage.c_str(), domain_lines, 1)},
      {112, keyed("text_path", "zavtext", "tp", 8, "Text file path", "-tp path")},
      {113, keyed("model_path", "zavmpath", "mp", 8, "Model file path", "-mp path")},
      {114, keyed("sat_path", "zavsat", "sp", 8, "Satellite file path", "-sp path")},
  };
  std::array<ResDesc, RES_MAX_INDEX> table{};
  for (const auto& e : entries) table[static_cast<std::size_t>(e.index)] = e.desc;
  return table;
}

const std::array<ResDesc, RES_MAX_INDEX>& package() {
  static const std::array<ResDesc, RES_MAX_INDEX> table = make_package();
  return table;
}

// ---------------------------------------------------------------------------------------
// The store.

struct ResNode {
  int index = MISSING_INT;
  std::string name;
  std::string value;
  bool has_value = false;  // false: given without a value
  int kind = 6;
  bool typed = false;  // an option of the command line that is no resource of the program's table
  bool read = false;   // some part of the program has asked for its value
  std::unique_ptr<ResNode> next;
};

struct Store {
  ResNode root_res;  // dummy head
  ResNode* tail = &root_res;
  std::unordered_map<std::string, ResNode*> by_name;

  ResNode* find(const char* name) {
    auto it = by_name.find(name);
    return it == by_name.end() ? nullptr : it->second;
  }
  void clear() {
    by_name.clear();
    // Unlink one node at a time: a recursive release of a long list could exhaust the stack.
    std::unique_ptr<ResNode> p = std::move(root_res.next);
    while (p) p = std::move(p->next);
    tail = &root_res;
  }
  Store() = default;
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;
  // Takes over the other's list; the tail must point into this store, not the other's head.
  Store& operator=(Store&& other) noexcept {
    if (this != &other) {
      clear();
      root_res.next = std::move(other.root_res.next);
      tail = other.tail == &other.root_res ? &root_res : other.tail;
      by_name = std::move(other.by_name);
      other.by_name.clear();
      other.tail = &other.root_res;
    }
    return *this;
  }
  ~Store() { clear(); }
};

// The resources given, the program's own table and arguments, the conversions higher
// modules registered and the link to the companion loop program.
struct ResrcState {
  // Conversions of kinds whose values belong to higher modules, registered by them.
  std::array<RES_converter, max_kind> converters{};
  Store store;
  // The program's descriptor table (ends with an entry whose name is null).
  std::vector<ResDesc> prog_table;
  int saved_argc = 0;
  char** saved_argv = nullptr;
  // Copies made for directory paths (kind 8); the set keeps each text once.
  std::unordered_set<std::string> path_copies;
  bool loop_connected = false;
};
ResrcState st;

std::string base_name(const char* path) {
  if (!path) return "";
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

bool is_letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// "-x" or "--x" with a letter x: an option name rather than a value.
bool is_option(const char* arg) {
  if (arg[0] != '-') return false;
  if (is_letter(arg[1])) return true;
  return arg[1] == '-' && is_letter(arg[2]);
}

// ---------------------------------------------------------------------------------------
// Conversions that act on flags.

int file_param_code(const char* text) {
  static const struct {
    const char* word;
    int code;
  } words[] = {{"use", FILE_PARAM_USE},     {"over", FILE_PARAM_OVER},   {"calc", FILE_PARAM_OVER},
               {"reuse", FILE_PARAM_USE},   {"recalc", FILE_PARAM_OVER}, {"app", FILE_PARAM_APPEND}};
  for (const auto& w : words)
    if (starts_with_ci(text, w.word)) return w.code;
  return MISSING_INT;
}

int plot_type_code(const char* text) {
  for (const auto& w : plot_type_words)
    if (stricmp(text, w.word) == 0) return w.code;
  return MISSING_INT;
}

void apply_draw(const char* text) {
  static const struct {
    const char* word;
    int entry;
  } words[] = {{"text_ul", DRAW_TEXT_UL}, {"text_uc", DRAW_TEXT_UC}, {"text_ur", DRAW_TEXT_UR},
               {"text_ll", DRAW_TEXT_LL}, {"text_lc", DRAW_TEXT_LC}, {"text_lr", DRAW_TEXT_LR},
               {"data", DRAW_DATA},       {"map", DRAW_MAP},         {"grid", DRAW_GRID},
               {"sum", DRAW_SUM},         {"bord", DRAW_BORD}};
  int count = 0;
  char** items = nullptr;
  if (parse_string(text, ',', &count, &items) < 0) return;
  for (int i = 0; i < count; ++i) {
    const char* item = items[i];
    int on = 1;
    if (*item == '+' || *item == '-') {
      on = *item == '+';
      ++item;
    } else if (i == 0) {
      FLAG_setplot(DRAW_ALL, 0);
    }
    if (stricmp(item, "none") == 0) {
      FLAG_setplot(DRAW_ALL, !on);
    } else if (stricmp(item, "all") == 0) {
      FLAG_setplot(DRAW_ALL, on);
    } else if (stricmp(item, "text") == 0) {
      FLAG_setplot(DRAW_TEXT, on);
      FLAG_setplot(DRAW_BORD, on);
    } else {
      for (const auto& w : words)
        if (stricmp(item, w.word) == 0) FLAG_setplot(w.entry, on);
    }
  }
  free_parsed_array(count, items);
}

void apply_device(const char* text, void* destination) {
  const char* t = text ? text : "";
  FLAG_set(FLAG_DEVICE, RES_set_device(t));
  const char* comma = std::strchr(t, ',');
  if (comma && destination) *static_cast<const char**>(destination) = comma + 1;
}

// ---------------------------------------------------------------------------------------
// Companion loop program.

// Checks the result of a queue call. A loop program that is gone or does not answer ends
// the exchange at once: every further request would only wait out its own timeout.
bool loop_ok(int result) {
  if (result >= 0) return true;
  if (result == -3)
    MESS_print(MESS_WARN, "ZAVloop not running!\n");
  else if (result == -2)
    MESS_print(MESS_WARN, "ZAVloop not answering\n");
  MQ_close();
  st.loop_connected = false;
  return false;
}

void loop_send_set(const char* name, const char* value) {
  if (!st.loop_connected) return;
  char text[MQ_TEXT_LEN + 1];
  std::snprintf(text, sizeof text, "set res %s %s", name, value ? value : "");
  if (loop_ok(MQ_send(text))) loop_ok(MQ_recv(text));
}

void loop_query(const char* window, ResDesc* table) {
  char* end = nullptr;
  long key = std::strtol(window, &end, 10);
  if (end == window || *end != '\0' || key == 0 || key > INT32_MAX || key < INT32_MIN ||
      !MQ_open(static_cast<int>(key))) {
    MESS_print(MESS_WARN, "ZAVloop window: %s not running or no message queue exists\n", window);
    return;
  }
  if (MQ_connect(static_cast<int>(key)) < 0) {
    MESS_print(MESS_WARN, "ZAVloop window: %s unable to connect\n", window);
    MQ_close();
    return;
  }
  st.loop_connected = true;
  char text[MQ_TEXT_LEN + 1];
  for (ResDesc* d = table; d->name; ++d) {
    std::snprintf(text, sizeof text, "query res %s", d->name);
    if (!loop_ok(MQ_send(text))) return;
  }
  int sets = 0;
  for (ResDesc* d = table; d->name; ++d) {
    int n = MQ_recv(text);
    if (!loop_ok(n)) return;
    // An empty reply, or one that begins with '!' or a newline, holds no value.
    if (n > 0 && text[0] != '!' && text[0] != '\n') {
      while (n > 0 && text[n - 1] == '\n') text[--n] = '\0';
      RES_new(static_cast<int>(d - table), d->name, text, d->kind);
    } else if (const char* v = RES_get(d->name)) {
      std::snprintf(text, sizeof text, "set res %s %s", d->name, v);
      if (!loop_ok(MQ_send(text))) return;
      ++sets;
    }
  }
  for (int i = 0; i < sets; ++i)
    if (!loop_ok(MQ_recv(text))) return;
}

void loop_quit() {
  if (!st.loop_connected) return;
  char reply[MQ_TEXT_LEN + 1];
  if (loop_ok(MQ_send("quit"))) loop_ok(MQ_recv(reply));
  MQ_close();
  st.loop_connected = false;
}

// ---------------------------------------------------------------------------------------
// Decoding steps.

bool is_name_prefix(const std::string& name) {
  return !name.empty() && name.size() <= 4 && strnicmp(name.c_str(), "name", name.size()) == 0;
}

bool is_default_name(const std::string& name) {
  return starts_with_ci(name, "default") || starts_with_ci(name, "df");
}

// Options that decide which resource files are read, looked at before anything else.
void prescan(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!arg || arg[0] != '-' || !is_letter(arg[1])) continue;
    const char* body = arg + 1;
    const char* eq = std::strchr(body, '=');
    std::size_t len = eq ? static_cast<std::size_t>(eq - body) : std::strlen(body);
    std::string name(body, std::min<std::size_t>(len, prescan_name_len));
    const char* value = nullptr;
    if (eq)
      value = eq + 1;
    else if (i + 1 < argc && argv[i + 1] && !(argv[i + 1][0] == '-' && is_letter(argv[i + 1][1])))
      value = argv[i + 1];
    if (is_name_prefix(name)) {
      RES_put("name", value);
      if (value) DEF_name(value);
    } else if (is_default_name(name)) {
      RES_put("default", value);
    }
  }
}

void read_resource_files(ResDesc* table) {
  const char* list_text = RES_get("default");
  const ResNode* node = st.store.find("default");
  // An installed program also reads the resource file of its own package, wherever that
  // was installed: first, so that the user's files read after it have the last word.
  std::string with_package = default_path;
  if (const std::string pkg = ZAV_package_dir(); !pkg.empty()) with_package = pkg + "/etc:" + with_package;
  if (!node || !node->has_value) list_text = with_package.c_str();
  int count = 0;
  char** entries = nullptr;
  parse_string(list_text, ':', &count, &entries);
  DEF_clr_tag();
  std::vector<char> name(DEF_LINE_LEN), value(DEF_LINE_LEN), bare(DEF_LINE_LEN);
  for (int i = 0; i < count; ++i) {
    const char* entry = entries[i];
    if (entry[0] == '+') {
      DEF_tag(entry + 1);
      continue;
    }
    if (entry[0] == '#') {
      loop_query(entry + 1, table);
      continue;
    }
    if (DEF_open(entry) != 0) continue;
    while (DEF_get(name.data(), value.data()) == 1) {
      bool matched = false;
      for (ResDesc* d = table; d->name; ++d) {
        if (DEF_cmp(d->name, name.data()) != 1) continue;
        RES_new(static_cast<int>(d - table), d->name, value.data(), d->kind);
        MESS_print(debug_level, "RESRC: %s=%s\n", d->name, value.data());
        matched = true;
      }
      if (!matched && DEF_valid(name.data()) == 1) {
        DEF_parse_name(name.data(), bare.data());
        if (bare[0]) RES_new(MISSING_INT, bare.data(), value.data(), 6);
      }
    }
    DEF_close();
  }
  free_parsed_array(count, entries);
}

void read_environment(ResDesc* table) {
  std::string value;
  for (ResDesc* d = table; d->name; ++d) {
    value.clear();
    if (DEF_env(d->name, d->env, value) == 1) RES_new(static_cast<int>(d - table), d->name, value.c_str(), d->kind);
  }
}

// Looks an option name up: abbreviation, then long name, then a unique-enough prefix.
ResDesc* lookup(ResDesc* table, const std::string& name) {
  for (ResDesc* d = table; d->name; ++d)
    if (d->abbrev && stricmp(d->abbrev, name.c_str()) == 0) return d;
  for (ResDesc* d = table; d->name; ++d)
    if (stricmp(d->name, name.c_str()) == 0) return d;
  if (is_name_prefix(name) || is_default_name(name)) return nullptr;
  for (ResDesc* d = table; d->name; ++d)
    if (strnicmp(d->name, name.c_str(), name.size()) == 0) return d;
  return nullptr;
}

void read_command_line(int argc, char** argv, ResDesc* table) {
  int position = 0;
  int list_items = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!arg || std::strcmp(arg, "--") == 0) continue;
    if (!is_option(arg)) {
      ++position;
      ResDesc* target = nullptr;
      for (ResDesc* d = table; d->name && !target; ++d)
        if (!d->abbrev && d->position == position) target = d;
      bool is_list = false;
      for (ResDesc* d = table; d->name && !target; ++d) {
        if (!d->abbrev && d->position == 10) {
          target = d;
          is_list = true;
        }
      }
      if (!target) continue;
      int index = static_cast<int>(target - table);
      if (is_list && list_items++ > 0)
        RES_append(index, target->name, arg, target->kind);
      else
        RES_new(index, target->name, arg, target->kind);
      continue;
    }
    const char* body = arg + (arg[1] == '-' ? 2 : 1);
    const char* eq = std::strchr(body, '=');
    std::string name = eq ? std::string(body, static_cast<std::size_t>(eq - body)) : std::string(body);
    const char* value = eq ? eq + 1 : nullptr;
    bool from_next = false;
    if (!eq && i + 1 < argc && argv[i + 1] && !is_option(argv[i + 1]) && std::strcmp(argv[i + 1], "--") != 0) {
      value = argv[i + 1];
      from_next = true;
    }
    ResDesc* d = lookup(table, name);
    if (d && from_next && (d->kind == 1 || d->kind == 22 || d->kind == 23)) {
      value = nullptr;
      from_next = false;
    }
    if (from_next) ++i;
    if (d) {
      RES_new(static_cast<int>(d - table), d->name, value, d->kind);
      loop_send_set(d->name, value);
    } else {
      RES_new(MISSING_INT, name.c_str(), value, 6);
      if (ResNode* n = st.store.find(name.c_str()); n != nullptr) n->typed = true;
      loop_send_set(name.c_str(), value);
    }
  }
}

void convert_all(ResDesc* table) {
  int entries = 0;
  while (table[entries].name) ++entries;
  for (ResNode* n = st.store.root_res.next.get(); n; n = n->next.get()) {
    if (n->index < 0 || n->index >= entries) continue;
    ResDesc& d = table[n->index];
    const char* text = n->has_value ? n->value.c_str() : nullptr;
    if (n->kind == 21) {
      if (d.value && d.count) parse_string(text, '\n', d.count, static_cast<char***>(d.value));
      continue;
    }
    RES_conv_data(text, d.value, n->kind);
  }
}

ResNode* put_node(int index, const char* name, int kind) {
  ResNode* n = st.store.find(name);
  if (!n) {
    auto node = std::make_unique<ResNode>();
    node->name = name;
    n = node.get();
    st.store.tail->next = std::move(node);
    st.store.tail = n;
    st.store.by_name.emplace(n->name, n);
  }
  n->index = index;
  n->kind = kind;
  return n;
}

}  // namespace

// ---------------------------------------------------------------------------------------

const ResDesc* RES_desc(int index) {
  if (index <= 0 || index >= RES_MAX_INDEX) return nullptr;
  const ResDesc& d = package()[static_cast<std::size_t>(index)];
  return d.name ? &d : nullptr;
}

int RES_init(int argc, char** argv, const int* keyed_list, const int* positional_list) {
  RES_clear();
  try {
    for (const int* list : {keyed_list, positional_list})
      for (const int* p = list; p && *p; ++p)
        if (const ResDesc* d = RES_desc(*p)) st.prog_table.push_back(*d);
    st.prog_table.push_back(ResDesc{});
  } catch (const std::bad_alloc&) {
    st.prog_table.assign(1, ResDesc{});
  }
  FLAG_reset(MISSING_INT);
  FLAG_resetplot(1);
  RES_decode(argc > 0 && argv ? argv[0] : "", argc, argv, st.prog_table.data());
  return 1;
}

int RES_decode(const char* prog, int argc, char** argv, ResDesc* table) {
  if (!table) return 0;
  try {
    RES_setCL(argc, argv);
    DEF_prog(base_name(prog).c_str());
    DEF_name("");
    if (const char* df = std::getenv("zavdefault")) RES_put("default", df);
    prescan(argc, argv);
    read_resource_files(table);
    read_environment(table);
    read_command_line(argc, argv, table);
    loop_quit();
    convert_all(table);
  } catch (const std::bad_alloc&) {
    MESS_print(MESS_ERROR, "RES_decode: out of memory\n");
    return 0;
  }
  return 1;
}

namespace {

// Edits (insertions, deletions, substitutions, ignoring case) from a to b.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<std::string> RES_unread_options() {
  std::vector<std::string> out;
  for (const ResNode* n = st.store.root_res.next.get(); n != nullptr; n = n->next.get())
    if (n->typed && !n->read && n->index == MISSING_INT) out.push_back(n->name);
  return out;
}

std::string RES_nearest_option(const char* name) {
  std::string best;
  std::size_t best_distance = 0;
  for (const ResDesc& d : st.prog_table) {
    if (d.name == nullptr || d.abbrev == nullptr) continue;
    for (const char* candidate : {d.abbrev, d.name}) {
      const std::size_t e = edit_distance(name, candidate);
      if (best.empty() || e < best_distance) {
        best = d.abbrev;
        best_distance = e;
      }
    }
  }
  return best;
}

const char* RES_get(const char* name) {
  if (!name) return nullptr;
  ResNode* n = st.store.find(name);
  if (!n) return nullptr;
  n->read = true;
  return n->has_value ? n->value.c_str() : "";
}

int RES_getval(const char* name, void* destination, int kind) {
  if (!name) return 0;
  ResNode* n = st.store.find(name);
  if (!n) return 0;
  n->read = true;
  return RES_conv_data(n->has_value ? n->value.c_str() : nullptr, destination, kind);
}

int RES_getvals(const char* name, int* count, char*** list) {
  *count = 0;
  *list = nullptr;
  ResNode* n = name ? st.store.find(name) : nullptr;
  if (n != nullptr) n->read = true;
  if (!n || !n->has_value) return 0;
  if (parse_string(n->value.c_str(), n->kind == 21 ? '\n' : ',', count, list) < 0) {
    *count = 0;
    *list = nullptr;
  }
  return *count;
}

int RES_new(int index, const char* name, const char* text, int kind) {
  if (!name) return 0;
  ResNode* n = nullptr;
  try {
    n = put_node(index, name, kind);
    if (text) {
      n->value = text;
      n->has_value = true;
    } else {
      n->value.clear();
      n->has_value = false;
    }
  } catch (const std::bad_alloc&) {
    if (n) {
      n->value.clear();
      n->has_value = false;
    }
    return 0;
  }
  return 1;
}

int RES_put(const char* name, const char* text) { return RES_new(MISSING_INT, name, text, 6); }

int RES_append(int index, const char* name, const char* text, int kind) {
  if (!name) return 0;
  ResNode* n = st.store.find(name);
  if (!n || !n->has_value) return RES_new(index, name, text, kind);
  if (!text) return 1;
  try {
    n->value += '\n';
    n->value += text;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

void RES_list() {
  for (const ResNode* n = st.store.root_res.next.get(); n; n = n->next.get()) {
    if (n->has_value)
      MESS_print(MESS_PRINT & MESS_D, "%s: %s\n", n->name.c_str(), n->value.c_str());
    else
      MESS_print(MESS_PRINT & MESS_D, "%s:\n", n->name.c_str());
  }
}

void RES_set_converter(int kind, RES_converter convert) {
  if (kind >= 0 && kind < max_kind) st.converters[static_cast<std::size_t>(kind)] = convert;
}

int RES_conv_data(const char* text, void* destination, int kind) {
  switch (kind) {
    case 1: {
      int v = -1;
      if (!text || stricmp(text, "true") == 0 || stricmp(text, "on") == 0 || stricmp(text, "yes") == 0)
        v = 1;
      else if (stricmp(text, "false") == 0 || stricmp(text, "off") == 0 || stricmp(text, "no") == 0)
        v = 0;
      if (v >= 0 && destination) *static_cast<int*>(destination) = v;
      return 1;
    }
    case 11:
    case 14:
    case 15:
    case 21:
      return 1;
    case 22:
      FLAG_set(FLAG_BATCH, 1);
      if (!MESS_check_set()) MESS_set(0, MESS_PRINT | MESS_ERROR | MESS_WARN);
      return 1;
    case 23:
      FLAG_set(FLAG_HELP, 1);
      return 1;
    case 17:
      apply_device(text, destination);
      return 1;
    default:
      break;
  }
  if (!text) return 0;
  switch (kind) {
    case 2: {
      if (!(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' || text[0] == '+')) return 1;
      long v = (text[1] == 'x' || text[1] == 'X') ? std::strtol(text, nullptr, 16) : std::strtol(text, nullptr, 10);
      v = std::clamp<long>(v, INT32_MIN, INT32_MAX);
      if (destination) *static_cast<int*>(destination) = static_cast<int>(v);
      return 1;
    }
    case 3:
      if (std::isdigit(static_cast<unsigned char>(text[0])) && destination)
        *static_cast<short*>(destination) = static_cast<short>(std::clamp<long>(std::strtol(text, nullptr, 10), -32768, 32767));
      return 1;
    case 4:
      if (std::isdigit(static_cast<unsigned char>(text[0])) && destination)
        *static_cast<long*>(destination) = std::strtol(text, nullptr, 10);
      return 1;
    case 5: {
      char* end = nullptr;
      float v = std::strtof(text, &end);
      if (end != text && destination) *static_cast<float*>(destination) = v;
      return 1;
    }
    case 6:
      if (destination) *static_cast<const char**>(destination) = text;
      return 1;
    case 7:
      if (destination) std::snprintf(static_cast<char*>(destination), RES_TEXT_LEN, "%s", text);
      return 1;
    case 8: {
      const char* result = "";
      if (stricmp(text, "none") != 0) {
        try {
          result = st.path_copies.insert(FILE_add_path_delim(text)).first->c_str();
        } catch (const std::bad_alloc&) {
          return 0;
        }
      }
      if (destination) *static_cast<const char**>(destination) = result;
      return 1;
    }
    case 9:
      MESS_set_str(text);
      return 1;
    case 10:
      apply_draw(text);
      return 1;
    case 12:
      // The hour belongs to the file module, which registers its conversion.
      return st.converters[12] != nullptr ? st.converters[12](text, destination) : 1;
    case 13:
    case 20:
      // Domains are decoded (and validated) by the domain prompt itself.
      return 1;
    case 16: {
      int code = file_param_code(text);
      if (code != MISSING_INT) FLAG_set(FLAG_FILE_PARAM, code);
      return 1;
    }
    case 18: {
      int code = plot_type_code(text);
      if (code != MISSING_INT) FLAG_set(FLAG_PLOT_TYPE, code);
      return 1;
    }
    case 19: {
      long long v = std::strtoll(text, nullptr, 10);
      if (destination) *static_cast<std::int64_t*>(destination) = static_cast<std::int64_t>(v);
      return 1;
    }
    default:
      return 1;
  }
}

const char* RES_get_prog() { return st.saved_argc > 0 && st.saved_argv && st.saved_argv[0] ? st.saved_argv[0] : ""; }

char* RES_get_progname(char* buffer) {
  std::string name = base_name(RES_get_prog());
  if (!buffer) {
    buffer = static_cast<char*>(std::malloc(name.size() + 1));
    if (!buffer) return nullptr;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return buffer;
  }
  std::snprintf(buffer, RES_TEXT_LEN, "%s", name.c_str());
  return buffer;
}

void RES_setCL(int argc, char** argv) {
  st.saved_argc = argc;
  st.saved_argv = argv;
}

void RES_help_print(const char* program, const int* keyed_list, const int* positional_list) {
  const char* prog = program ? program : "";
  MESS_print(MESS_PRINT, "%s syntax (version:%s)\n", prog, ZAV_version());
  MESS_print(MESS_PRINT, "   %s [options...]\n", prog);
  MESS_print(MESS_PRINT, "Keyed options...\n");
  MESS_print(MESS_PRINT, " %-10s  Resource/defaults file name\n", "-df file");
  MESS_print(MESS_PRINT, " %-10s  Program name\n", "-na name");
  for (const int* p = keyed_list; p && *p; ++p) RES_help_item(*p);
  MESS_print(MESS_PRINT, "Positional options...\n");
  for (const int* p = positional_list; p && *p; ++p) RES_help_item(*p);
}

void RES_help_item(int index) {
  const ResDesc* d = RES_desc(index);
  if (!d || !d->help) {
    MESS_print(MESS_PRINT, "%d\n", index);
    return;
  }
  const char* usage = d->usage ? d->usage : "";
  if (d->wide) {
    MESS_print(MESS_PRINT, " %-10s\n", usage);
    MESS_print(MESS_PRINT, "             %s\n", d->help);
  } else {
    MESS_print(MESS_PRINT, " %-10s  %s\n", usage, d->help);
  }
  if (d->more) MESS_print(MESS_PRINT, "%s", d->more);
}

const char* RES_plot_type_word(int i) {
  return i >= 0 && i < static_cast<int>(std::size(plot_type_words)) ? plot_type_words[i].word : nullptr;
}

int RES_set_device(const char* text) {
  // The raster formats by name ("png", "pdf", "svg" as the whole first field) before the
  // letters: a "p" alone still means PostScript.
  if (text != nullptr) {
    const std::size_t n = std::strcspn(text, ",");
    for (const char* word : {"png", "pdf", "svg"})
      if (n == 3 && strnicmp(text, word, 3) == 0) return WS_RASTER;
    if (n == 3 && strnicmp(text, "ogr", 3) == 0) return WS_OGR;
  }
  switch (text ? text[0] : '\0') {
    case 'R':
    case 'r':
      return WS_RASTER;
    case 'P':
    case 'p':
      return WS_PS;
    case 'H':
    case 'h':
    case 'Q':
    case 'q':
      return WS_HPGL;
    case 'M':
    case 'm':
      return WS_META;
    case 'W':
    case 'w':
      return WS_XDRAW;
    default:
      return WS_X11;
  }
}

void RES_reset_state() { st = ResrcState{}; }

void RES_clear() {
  st.store.clear();
  st.prog_table.clear();
  st.path_copies.clear();
}
