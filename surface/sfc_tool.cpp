// Surface variable derivation: one table maps each variable name to the units its value is
// computed in and the function that computes it from a report.
#include "surface/sfc_tool.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "config/missing.h"
#include "config/string.h"
#include "plot/maptran.h"
#include "surface/calc.h"
#include "surface/raw_tool.h"
#include "surface/sfc_read.h"
#include "surface/unittool.h"
#include "surface/var_tool.h"
#include "surface/wx_tool.h"

namespace {

constexpr double kAltToMb = 33.85399;  // inches of mercury (altimeter) -> mb
constexpr double kKnotToMs = 0.5144;
constexpr double kDegToRad = 0.017453292519943295;

bool present(float v) { return v != MISSING; }

float f_to_k(float f) { return present(f) ? static_cast<float>((f - 32.0) * 5.0 / 9.0 + 273.15) : MISSING; }
float knt_to_ms(float v) { return present(v) ? static_cast<float>(v * kKnotToMs) : MISSING; }

// One derivation: the report, the variable and the value record, with the report's fields
// in the units the formulas take.
struct Ctx {
  const sfc_report& r;
  const VarRec& var;
  RawDataRec& d;
  float t;    // K
  float td;   // K
  float v;    // m/s
  float psfc;  // station pressure, mb
};

using Compute = void (*)(Ctx&);

// Formulas are called only with every input present, so no formula's own treatment of an
// out-of-range argument (some answer 0) can turn a missing input into a number.
float call(float (*fn)(float), float a) { return present(a) ? fn(a) : MISSING; }
float call(float (*fn)(float, float), float a, float b) {
  return present(a) && present(b) ? fn(a, b) : MISSING;
}
float call(float (*fn)(float, float, float), float a, float b, float c) {
  return present(a) && present(b) && present(c) ? fn(a, b, c) : MISSING;
}

void set_text(RawDataRec& d, std::string_view text) { copy_bounded(d.text, sizeof d.text, text); }

// A report's fixed character field as text, up to its terminator.
std::string_view field(const char* s, std::size_t size) { return {s, strnlen(s, size)}; }

// The last three digits of n, as coded pressures are written on station plots.
void set_coded(RawDataRec& d, long n) {
  std::snprintf(d.text, sizeof d.text, "%3.3ld", ((n % 1000) + 1000) % 1000);
}

// A code character of the report as text; blank and NUL mean absent.
void set_char(RawDataRec& d, char c) {
  if (c != ' ' && c != '\0') set_text(d, std::string_view(&c, 1));
}

// Wind component toward which the air moves; sine selects u, cosine v.
void component(Ctx& c, bool to_grid, bool u) {
  float dir = c.r.wdir;
  if (!present(dir) || !present(c.r.wspd)) return;
  if (to_grid) dir = MAP_dir_adj(dir, c.d.x, c.d.y);
  if (!present(dir)) return;
  const double a = dir * kDegToRad;
  // Adding zero turns the -0 of a calm wind into 0.
  c.d.val1 = static_cast<float>(-c.r.wspd * kKnotToMs * (u ? std::sin(a) : std::cos(a)) + 0.0);
}

void wind(Ctx& c) {
  c.d.val1 = c.r.wdir;
  c.d.val2 = c.r.wspd;
}

bool clear_sky(char cover) { return cover == 'C' || cover == '0'; }

// Hours of the variable's period: the middle three digits of its time code.
int period(const VarRec& var) { return var.time == MISSING_INT ? -1 : var.time / 1000 % 1000; }

void alt(Ctx& c) {
  const float a = c.r.alt;
  c.d.val1 = a;
  // A hundredth is the altimeter's resolution; the small bias keeps 29.97 from truncating
  // to 2996 through its binary representation.
  if (present(a)) set_coded(c.d, static_cast<long>(a * 100.0 + 0.01));
}

void pralt(Ctx& c) {
  float p = c.r.slpr;
  if (!present(p) && present(c.r.alt)) p = static_cast<float>(c.r.alt * kAltToMb);
  c.d.val1 = p;
  if (present(p)) set_coded(c.d, static_cast<long>(p * 10.0 + 0.1));
}

void pres(Ctx& c) {
  if (c.var.ltype == 1) {
    c.d.val1 = c.psfc;
  } else if (c.var.ltype == 5) {
    c.d.val1 = call(lcl_pres, c.t, c.td, c.psfc);
    c.d.val2 = call(lcl_temp, c.t, c.psfc, c.d.val1);
  } else {
    c.d.val1 = c.r.slpr;
    if (present(c.r.slpr)) set_coded(c.d, static_cast<long>(c.r.slpr * 10.0 + 0.1));
  }
}

void weather(Ctx& c) {
  char wx[sizeof c.r.wx + 1];
  copy_bounded(wx, sizeof wx, field(c.r.wx, sizeof c.r.wx));
  if (std::isdigit(static_cast<unsigned char>(wx[0])))
    WX_wmo_weather(static_cast<int>(std::min(std::strtol(wx, nullptr, 10), 1000L)), c.d.text);
  else if (wx[0] == '!')
    WX_metar_weather(wx, c.d.text);
  else
    set_text(c.d, wx);
  switch (c.d.text[0]) {
    case 'S': c.d.val1 = 3; break;
    case 'Z': c.d.val1 = 2; break;
    case 'R':
    case 'T': c.d.val1 = 1; break;
    default: c.d.val1 = 0;
  }
}

// Visibility is converted before its text is built, so the text shows the requested units;
// the size of the text's format still follows the visibility in miles.
void visibility(Ctx& c) {
  const float mi = c.r.vis;
  if (!present(mi) || mi < 0) return;
  float v = mi;
  if (c.var.units[0] && std::strcmp(c.var.units, "mi") != 0) v = UNIT_cvt("mi", c.var.units, mi);
  c.d.val1 = v;
  if (mi >= 3) {
    std::snprintf(c.d.text, sizeof c.d.text, "%.0f", v);
  } else if (mi >= 1 || std::lround(v * 10.0) >= 10) {
    // The second test keeps a value just under a mile from printing as ".10".
    std::snprintf(c.d.text, sizeof c.d.text, "%.1f", v);
  } else {
    std::snprintf(c.d.text, sizeof c.d.text, ".%.0f", v * 10.0);
  }
}

void ceiling(Ctx& c) {
  char cover = ' ';
  float h = MISSING;
  WX_set_cloud(c.r, &cover, &h);
  if (clear_sky(cover)) c.d.val1 = 500;
  else if (present(h)) c.d.val1 = h / 100.0f;
  if (present(c.d.val1)) std::snprintf(c.d.text, sizeof c.d.text, "%.0f", c.d.val1);
}

// A clear sky is code 9 of the cloud-height table ("no clouds").
void ceiling_code(Ctx& c) {
  char cover = ' ';
  float h = MISSING;
  WX_set_cloud(c.r, &cover, &h);
  if (clear_sky(cover)) c.d.val1 = 9;
  else if (present(h)) c.d.val1 = static_cast<float>(SYN_ceiling_to_code(h));
}

void cover(Ctx& c) {
  char cv = ' ';
  float h = MISSING;
  WX_set_cloud(c.r, &cv, &h);
  switch (cv) {
    case 'C': c.d.val1 = 0; break;
    case 'S': c.d.val1 = 33; break;
    case 'B': c.d.val1 = 67; break;
    case 'O':
    case 'X':
    case '9': c.d.val1 = 100; break;
    default:
      if (cv >= '0' && cv <= '8') c.d.val1 = (cv - '0') * 0.125f;
  }
  set_char(c.d, cv);
}

// Oktas 9 (sky obscured) has no fraction of cover.
void total_cover(Ctx& c) {
  const char n = c.r.cld_tot;
  if (n >= '0' && n <= '8') c.d.val1 = (n - '0') / 8.0f;
  set_char(c.d, n);
}

void tendency(Ctx& c) {
  c.d.val1 = c.r.ptend;
  if (c.r.ptype >= 0 && c.r.ptype <= 9) std::snprintf(c.d.text, sizeof c.d.text, "%d", c.r.ptype);
}

void precip(Ctx& c) {
  const sfc_report& r = c.r;
  switch (period(c.var)) {
    case 3: c.d.val1 = r.prec3; break;
    case 6: c.d.val1 = r.prec6; break;
    case 12: c.d.val1 = r.prec12; break;
    case 24: c.d.val1 = r.prec24; break;
    default:
      for (float p : {r.prec24, r.prec12, r.prec6}) {
        if (present(p)) {
          c.d.val1 = p;
          break;
        }
      }
  }
}

void extreme(Ctx& c, float six, float day) {
  const int hours = period(c.var);
  if (hours == 6) c.d.val1 = six;
  else if (hours == 24) c.d.val1 = day;
}

// With no cloud report and no visibility there is nothing to categorise.
void flight(Ctx& c) {
  char cv = ' ';
  float h = MISSING;
  WX_set_cloud(c.r, &cv, &h);
  const bool counts = cv == 'B' || cv == 'O' || (cv >= '0' && cv <= '5');
  const bool has_ceil = counts && present(h), has_vis = present(c.r.vis);
  const float ceil = h, vis = c.r.vis;
  if (cv == ' ' && !has_vis) return;
  if ((has_ceil && ceil < 1000) || (has_vis && vis < 3)) {
    c.d.val1 = 2;
    set_text(c.d, "IFR");
  } else if ((has_ceil && ceil <= 3000) || (has_vis && vis <= 5)) {
    c.d.val1 = 1;
    set_text(c.d, "MVFR");
  } else {
    c.d.val1 = 0;
    set_text(c.d, "VFR");
  }
}

// Which values the requested units apply to. A wind's direction is no speed and is never
// converted; its speed is. Temperature and dew point pairs share their units.
enum Convert { kValue1, kBoth, kSpeed, kSelf };

struct Entry {
  std::string_view name;  // lower case
  const char* units;      // units the value is computed in; "" for none
  Compute fn;
  bool announced;  // known to SFC_get_var
  Convert convert = kValue1;
};

// Sorted by name for the binary search below.
constexpr std::array kTable = {
    Entry{"alt", "in_Hg", alt, true},
    Entry{"city", "", [](Ctx& c) { set_text(c.d, field(c.r.id, sizeof c.r.id)); }, true},
    Entry{"cldcl", "100 ft", ceiling, true},
    Entry{"cldclc", "", ceiling_code, false},
    Entry{"cldcv", "%", cover, true},
    Entry{"dewd", "dF",
          [](Ctx& c) {
            if (present(c.r.temp) && present(c.r.dewp)) c.d.val1 = c.r.temp - c.r.dewp;
          },
          true},
    Entry{"dewp", "F", [](Ctx& c) { c.d.val1 = c.r.dewp; }, true},
    Entry{"elev", "m", [](Ctx& c) { c.d.val1 = c.r.elev; }, true},
    Entry{"extt", "F", [](Ctx& c) { c.d.val1 = present(c.r.maxt) ? c.r.maxt : c.r.mint; }, true},
    Entry{"fr", "", flight, true},
    Entry{"hcld", "", [](Ctx& c) { set_char(c.d, c.r.hcld); }, true},
    Entry{"heat", "K", [](Ctx& c) { c.d.val1 = call(heat_index, c.t, c.td); }, true},
    Entry{"humit", "F", [](Ctx& c) { c.d.val1 = call(humiture, c.t, c.td); }, true},
    Entry{"hwind", "knt",
          [](Ctx& c) {
            c.d.val1 = c.r.wdir;
            if (present(c.r.wspd)) c.d.val2 = c.r.wspd >= 25 ? c.r.wspd : 0.0f;
          },
          false, kSpeed},
    Entry{"lcld", "", [](Ctx& c) { set_char(c.d, c.r.lcld); }, true},
    Entry{"maxt", "F", [](Ctx& c) { extreme(c, c.r.maxt6, c.r.maxt); }, true},
    Entry{"maxt24", "F", [](Ctx& c) { c.d.val1 = c.r.maxt; }, true},
    Entry{"maxt6", "F", [](Ctx& c) { c.d.val1 = c.r.maxt6; }, true},
    Entry{"mcld", "", [](Ctx& c) { set_char(c.d, c.r.mcld); }, true},
    Entry{"mint", "F", [](Ctx& c) { extreme(c, c.r.mint6, c.r.mint); }, true},
    Entry{"mint24", "F", [](Ctx& c) { c.d.val1 = c.r.mint; }, true},
    Entry{"mint6", "F", [](Ctx& c) { c.d.val1 = c.r.mint6; }, true},
    Entry{"mrat", "g/kg", [](Ctx& c) { c.d.val1 = call(mix_ratio, c.td, c.psfc); }, true},
    Entry{"nlcld", "%", total_cover, false},
    Entry{"pralt", "mb", pralt, true},
    Entry{"prec", "in", precip, true},
    Entry{"prec12", "in", [](Ctx& c) { c.d.val1 = c.r.prec12; }, true},
    Entry{"prec24", "in", [](Ctx& c) { c.d.val1 = c.r.prec24; }, true},
    Entry{"prec3", "in", [](Ctx& c) { c.d.val1 = c.r.prec3; }, true},
    Entry{"prec6", "in", [](Ctx& c) { c.d.val1 = c.r.prec6; }, true},
    Entry{"pres", "mb", pres, true},
    Entry{"ptend", "mb", tendency, true},
    Entry{"rhum", "%", [](Ctx& c) { c.d.val1 = call(rel_hum, c.t, c.td); }, true},
    Entry{"shum", "g/kg", [](Ctx& c) { c.d.val1 = call(spec_hum, c.td, c.psfc); }, true},
    Entry{"smrat", "g/kg", [](Ctx& c) { c.d.val1 = call(mix_ratio, c.t, c.psfc); }, false},
    Entry{"snwdp", "in", [](Ctx& c) { c.d.val1 = c.r.scover; }, true},
    Entry{"solar", "min", [](Ctx& c) { c.d.val1 = c.r.solar; }, true},
    Entry{"sst", "C", [](Ctx& c) { c.d.val1 = c.r.sst; }, true},
    Entry{"svpres", "mb", [](Ctx& c) { c.d.val1 = call(vapor_pr, c.t); }, false},
    Entry{"temp", "F", [](Ctx& c) { c.d.val1 = c.r.temp; }, true},
    Entry{"theta", "K", [](Ctx& c) { c.d.val1 = call(pot_temp, c.t, c.psfc); }, true},
    Entry{"thetae", "K", [](Ctx& c) { c.d.val1 = call(eq_pot_temp, c.t, c.td, c.psfc); }, true},
    Entry{"thetav", "K", [](Ctx& c) { c.d.val1 = call(virt_pot_temp, c.t, c.td, c.psfc); }, true},
    Entry{"thetaw", "K", [](Ctx& c) { c.d.val1 = call(wet_bulb_pot_temp, c.t, c.td, c.psfc); }, true},
    Entry{"ttd", "F",
          [](Ctx& c) {
            c.d.val1 = c.r.temp;
            c.d.val2 = c.r.dewp;
          },
          true, kBoth},
    Entry{"uwnd", "m/s", [](Ctx& c) { component(c, false, true); }, true},
    Entry{"uwndg", "m/s", [](Ctx& c) { component(c, true, true); }, true},
    Entry{"vis", "mi", visibility, true, kSelf},
    Entry{"vpres", "mb", [](Ctx& c) { c.d.val1 = call(vapor_pr, c.td); }, true},
    Entry{"vtemp", "K", [](Ctx& c) { c.d.val1 = call(virt_temp, c.t, c.td, c.psfc); }, true},
    Entry{"vwnd", "m/s", [](Ctx& c) { component(c, false, false); }, true},
    Entry{"vwndg", "m/s", [](Ctx& c) { component(c, true, false); }, true},
    Entry{"wavhgt", "m", [](Ctx& c) { c.d.val1 = c.r.wave_hgt; }, true},
    Entry{"wavper", "sec", [](Ctx& c) { c.d.val1 = c.r.wave_per; }, true},
    Entry{"wbrb", "knt", wind, true, kSpeed},
    Entry{"wbrbc", "knt", wind, true, kSpeed},
    Entry{"wchilf", "W/m^2", [](Ctx& c) { c.d.val1 = call(wind_chill, c.t, c.v); }, true},
    Entry{"wchill", "K", [](Ctx& c) { c.d.val1 = call(wind_chill_temp, c.t, c.v); }, false},
    Entry{"wchill2", "K", [](Ctx& c) { c.d.val1 = call(wind_chill_temp2, c.t, c.v); }, false},
    Entry{"wchilt", "K", [](Ctx& c) { c.d.val1 = call(wind_chill_temp, c.t, c.v); }, true},
    Entry{"wdir", "deg", [](Ctx& c) { c.d.val1 = c.r.wdir; }, true},
    Entry{"wetblb", "K", [](Ctx& c) { c.d.val1 = call(wet_bulb, c.t, c.td, c.psfc); }, true},
    Entry{"wgst", "knt", [](Ctx& c) { c.d.val1 = c.r.wgust; }, true},
    Entry{"wind", "knt", wind, true, kSpeed},
    Entry{"wspd", "knt", [](Ctx& c) { c.d.val1 = c.r.wspd; }, true},
    Entry{"wx", "", weather, true},
};

static_assert(std::is_sorted(kTable.begin(), kTable.end(),
                             [](const Entry& a, const Entry& b) { return a.name < b.name; }));

// The name last looked up and its entry: the plot loop asks for the same variable report
// after report.
struct LookupState {
  char name[sizeof VarRec::name] = {};
  const Entry* entry = nullptr;
  bool known = false;
};
LookupState last_lookup;

// The table entry of a record's name: its text up to the first '-', in any case.
const Entry* find_entry(const VarRec& var) {
  char key[sizeof var.name];
  std::size_t n = 0;
  for (; n < sizeof key - 1 && var.name[n] && var.name[n] != '-'; ++n)
    key[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(var.name[n])));
  const std::string_view k(key, n);
  const auto* it = std::lower_bound(kTable.begin(), kTable.end(), k,
                                    [](const Entry& e, std::string_view s) { return e.name < s; });
  return it != kTable.end() && it->name == k ? &*it : nullptr;
}

// The same, remembered for the name last asked for.
const Entry* lookup(const VarRec& var) {
  if (!last_lookup.known || std::memcmp(last_lookup.name, var.name, sizeof var.name) != 0) {
    std::memcpy(last_lookup.name, var.name, sizeof var.name);
    last_lookup.entry = find_entry(var);
    last_lookup.known = true;
  }
  return last_lookup.entry;
}

void set_default_units(VarRec& var, const char* units) {
  if (!var.units[0]) copy_bounded(var.units, sizeof var.units, units);
}

}  // namespace

int SFC_get_var(VarRec* var) {
  if (!var) return 0;
  const Entry* e = lookup(*var);
  if (!e || !e->announced) return 0;
  // Altimeter units are announced in the spelling the units menus use.
  set_default_units(*var, e->name == "alt" ? "in_HG" : e->units);
  return 1;
}

int SFC_get_data(const sfc_report* report, VarRec* var, RawDataRec* data) {
  if (!data) return 0;
  RAW_data_init_val(data);
  if (!report || !var) return 0;
  const Entry* e = lookup(*var);
  if (!e) return 0;
  set_default_units(*var, e->units);

  const float alt_mb = present(report->alt) ? static_cast<float>(report->alt * kAltToMb) : MISSING;
  Ctx c{*report, *var, *data, f_to_k(report->temp), f_to_k(report->dewp), knt_to_ms(report->wspd),
        call(sfc_pr_alt, alt_mb, report->elev)};
  e->fn(c);

  if (e->convert != kSelf && e->units[0] && std::strcmp(e->units, var->units) != 0) {
    if (e->convert != kSpeed && present(data->val1))
      data->val1 = UNIT_cvt(e->units, var->units, data->val1);
    if (e->convert != kValue1 && present(data->val2))
      data->val2 = UNIT_cvt(e->units, var->units, data->val2);
  }
  return 1;
}
