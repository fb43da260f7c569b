// CF grid files. The layout follows the CF conventions 1.8 so that general tools place
// the values on the earth: the package's own netCDF layout (rows top first along a
// dimension named x, no coordinates) is drawn by them as stripes.
#include "analysis/grd_cf.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"
#include "files/cdf.h"
#include "files/date.h"
#include "plot/maptran.h"

namespace {

constexpr unsigned LEVEL_CHECK = MESS_WARN;
// Projection-plane units are centimetres at 1:10,000,000: one unit is 100 km.
constexpr double METRES_PER_UNIT = 1.0e5;
constexpr double PI = 3.14159265358979323846;
constexpr const char* RECORD_NAME = "grid_record";
constexpr const char* MAPPING_NAME = "crs";

// How the plane of a domain appears in the file: the CF grid mapping (none when CF does
// not describe the projection) and how plane coordinates become the file's x and y.
struct Mapping {
  std::string name;  // grid_mapping_name; empty: no grid-mapping variable
  std::vector<std::pair<std::string, std::vector<double>>> numbers;
  std::vector<std::pair<std::string, std::string>> texts;
  double scale = METRES_PER_UNIT;  // file coordinate = (plane - origin) * scale
  double x0 = 0.0, y0 = 0.0;       // plane coordinates of the projection's CF origin
  bool degrees = false;            // latitude-longitude: x is longitude, y latitude
  bool radians = false;            // geostationary: scan angles
};

void add(Mapping& m, const char* name, double value) { m.numbers.push_back({name, {value}}); }

// The CF description of the current domain's projection, d as MAP_domain made it current
// (plat and plon filled in).
Mapping describe(const DomainRec& d) {
  Mapping m;
  // 6371.22 km: the float constant carries digits below the metre that are not meant.
  const double sphere = std::round(MAP_EARTH_RAD * METRES_PER_UNIT);
  float t1 = 0.0f, t2 = 0.0f;
  MAP_get_true_lats(&t1, &t2);
  switch (d.proj) {
    case PROJ_PS: {
      const double north = d.plat >= 0.0f ? 1.0 : -1.0;
      m.name = "polar_stereographic";
      add(m, "straight_vertical_longitude_from_pole", d.plon);
      add(m, "latitude_of_projection_origin", 90.0 * north);
      // A true latitude of the other hemisphere has no standard parallel; the scale at
      // the pole says the same.
      if (t1 * north > 0.0)
        add(m, "standard_parallel", t1);
      else
        add(m, "scale_factor_at_projection_origin", (1.0 + north * std::sin(t1 * PI / 180.0)) / 2.0);
      break;
    }
    case PROJ_LL:
      m.name = "latitude_longitude";
      m.degrees = true;
      break;
    case PROJ_MERC:
      m.name = "mercator";
      add(m, "longitude_of_projection_origin", d.plon);
      add(m, "standard_parallel", 0.0);
      break;
    case PROJ_LAMB:
      m.name = "lambert_conformal_conic";
      if (t1 == t2)
        add(m, "standard_parallel", t1);
      else
        m.numbers.push_back({"standard_parallel", {t1, t2}});
      add(m, "longitude_of_central_meridian", d.plon);
      add(m, "latitude_of_projection_origin", d.plat);
      break;
    case PROJ_ORTHO:
    case PROJ_LAMBAZ:
      m.name = d.proj == PROJ_ORTHO ? "orthographic" : "lambert_azimuthal_equal_area";
      add(m, "longitude_of_projection_origin", d.plon);
      add(m, "latitude_of_projection_origin", d.plat);
      break;
    case PROJ_SAT:
      // Scan angles (p4 = 1) are the geostationary view; scan tangents have no CF form.
      if (d.p4 == 1.0f) {
        const double s = MAP_get_sat_rad();
        const double earth = d.ext ? MAP_EQ_RAD : std::round(MAP_EARTH_RAD * METRES_PER_UNIT) / METRES_PER_UNIT;
        m.name = "geostationary";
        m.radians = true;
        m.scale = 1.0 / s;
        add(m, "longitude_of_projection_origin", d.plon);
        add(m, "latitude_of_projection_origin", 0.0);
        add(m, "perspective_point_height", (s - earth) * METRES_PER_UNIT);
        m.texts.push_back({"sweep_angle_axis", "y"});
      }
      break;
    default:  // gnomonic and Mollweide views: coordinates and positions without a mapping
      break;
  }
  if (m.name.empty() || m.degrees) {
    if (m.degrees) add(m, "earth_radius", sphere);
  } else if (d.proj == PROJ_SAT && d.ext) {
    add(m, "semi_major_axis", MAP_EQ_RAD * METRES_PER_UNIT);
    add(m, "semi_minor_axis", MAP_POL_RAD * METRES_PER_UNIT);
  } else {
    add(m, "earth_radius", sphere);
  }
  if (!m.name.empty() && !m.degrees) {
    add(m, "false_easting", 0.0);
    add(m, "false_northing", 0.0);
  }
  // The plane's origin is the projection's own except for the cone, whose plane starts at
  // its apex; CF counts from the origin latitude.
  if (d.proj == PROJ_LAMB) {
    float x = 0.0f, y = 0.0f;
    if (MAP_tran(&x, &y, d.plat, d.plon)) {
      m.x0 = x;
      m.y0 = y;
    }
  }
  return m;
}

// A netCDF name from the variable's name: letters, digits and '_', not starting with a
// digit, and none of the names the layout takes itself, nor "values", which readers of the
// package's own layout would take for theirs.
std::string data_name(const char* wanted) {
  std::string name;
  for (const char* p = wanted; p != nullptr && *p != '\0' && name.size() < 40; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    name.push_back(std::isalnum(c) || c == '_' ? static_cast<char>(c) : '_');
  }
  if (name.empty() || name.find_first_not_of('_') == std::string::npos) return "grid_values";
  if (std::isdigit(static_cast<unsigned char>(name[0]))) name.insert(0, "v");
  for (const char* taken : {"time", "x", "y", "lat", "lon", "values", MAPPING_NAME, RECORD_NAME})
    if (name == taken) return name + "_values";
  return name;
}

// The description without its trailing "(units)": units have an attribute of their own.
std::string long_name(const GridRec& g) {
  std::string text(g.datatype, strnlen(g.datatype, sizeof g.datatype));
  const std::size_t open = text.rfind(" (");
  if (open != std::string::npos && open > 0 && !text.empty() && text.back() == ')') text.erase(open);
  return text.empty() ? std::string("Grid values") : text;
}

std::string fixed_text(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

bool put_text(int var, const char* name, const std::string& text) {
  return CDF_put_att_text(var, name, text.c_str()) == 0;
}

// The package's header of the grid, each field an attribute.
bool put_record(int var, const GridRec& g, const std::string& data) {
  const DomainRec& d = g.domain;
  bool ok = put_text(var, "long_name", "Grid header of the package, for reading the grid back") &&
            put_text(var, "variable", data) && put_text(var, "label", fixed_text(g.label, sizeof g.label)) &&
            put_text(var, "datatype", fixed_text(g.datatype, sizeof g.datatype)) &&
            put_text(var, "units", fixed_text(g.units, sizeof g.units));
  const std::pair<const char*, std::int32_t> ints[] = {
      {"source", g.source}, {"version", g.version}, {"model", g.model}, {"type", g.type}, {"ltype", g.ltype},
      {"level", g.level},   {"time", g.time},       {"var", g.var},     {"proj", d.proj}, {"nx", d.nx},
      {"ny", d.ny},         {"ext", d.ext}};
  for (const auto& [name, value] : ints) ok = ok && CDF_put_att_int(var, name, value) == 0;
  const std::pair<const char*, float> floats[] = {{"plat", d.plat}, {"plon", d.plon}, {"p3", d.p3},   {"p4", d.p4},
                                                  {"p5", d.p5},     {"p6", d.p6},     {"p7", d.p7},   {"clat", d.clat},
                                                  {"clon", d.clon}, {"dx", d.dx},     {"dy", d.dy}};
  for (const auto& [name, value] : floats) ok = ok && CDF_put_att_float(var, name, value) == 0;
  return ok;
}

// Plane coordinates of the grid's points: column i at x[i], file row k (from the south)
// at y[k], as the analysis placed them.
void plane_axes(const DomainRec& d, std::vector<double>* x, std::vector<double>* y) {
  float xc = 0.0f, yc = 0.0f;
  if (!MAP_tran(&xc, &yc, d.clat, d.clon)) xc = yc = 0.0f;
  const double left = xc - (d.nx - 1) * 0.5 * d.dx, bottom = yc - (d.ny - 1) * 0.5 * d.dy;
  x->resize(static_cast<std::size_t>(d.nx));
  y->resize(static_cast<std::size_t>(d.ny));
  for (int i = 0; i < d.nx; ++i) (*x)[static_cast<std::size_t>(i)] = left + i * static_cast<double>(d.dx);
  for (int k = 0; k < d.ny; ++k) (*y)[static_cast<std::size_t>(k)] = bottom + k * static_cast<double>(d.dy);
}

// Defines the variables and attributes; ids of the coordinates in ids[] (x, y, lat, lon).
bool define(const GridInfo& info, const GridRec& g, const Mapping& m, GrdCfFile* f, int ids[4]) {
  const DomainRec& d = g.domain;
  const int time = CDF_def_dim("time", 0), ydim = CDF_def_dim("y", d.ny), xdim = CDF_def_dim("x", d.nx);
  if (time < 0 || ydim < 0 || xdim < 0) return false;
  const int yx[2] = {ydim, xdim}, tyx[3] = {time, ydim, xdim};
  bool ok = true;
  auto texts = [&](int var, std::initializer_list<std::pair<const char*, std::string>> list) {
    if (var < 0) ok = false;
    for (const auto& [name, text] : list) ok = ok && put_text(var, name, text);
    return var;
  };
  f->time = texts(CDF_def_double_var("time", 1, &time), {{"standard_name", "time"}, {"long_name", "time"},
                  {"units", "hours since 1970-01-01 00:00:00"}, {"calendar", "standard"}, {"axis", "T"}});
  if (m.degrees) {
    ids[1] = texts(CDF_def_double_var("y", 1, &ydim), {{"standard_name", "latitude"}, {"long_name", "latitude"},
                   {"units", "degrees_north"}, {"axis", "Y"}});
    ids[0] = texts(CDF_def_double_var("x", 1, &xdim), {{"standard_name", "longitude"}, {"long_name", "longitude"},
                   {"units", "degrees_east"}, {"axis", "X"}});
  } else {
    const std::string units = m.radians ? "radian" : "m";
    const std::string kind = m.radians ? "angle of view" : "coordinate";
    const bool known = !m.name.empty();
    ids[1] = texts(CDF_def_double_var("y", 1, &ydim), {{"long_name", "y " + kind + " of projection"},
                   {"units", units}, {"axis", "Y"}});
    ids[0] = texts(CDF_def_double_var("x", 1, &xdim), {{"long_name", "x " + kind + " of projection"},
                   {"units", units}, {"axis", "X"}});
    if (known) {
      texts(ids[1], {{"standard_name", "projection_y_coordinate"}});
      texts(ids[0], {{"standard_name", "projection_x_coordinate"}});
    }
  }
  ids[2] = texts(CDF_def_float_var("lat", 2, yx), {{"standard_name", "latitude"}, {"long_name", "latitude"},
                 {"units", "degrees_north"}});
  ids[3] = texts(CDF_def_float_var("lon", 2, yx), {{"standard_name", "longitude"}, {"long_name", "longitude"},
                 {"units", "degrees_east"}});
  ok = ok && CDF_put_fill_att(ids[2], MISSING) == 0 && CDF_put_fill_att(ids[3], MISSING) == 0;
  if (!m.name.empty()) {
    const int crs = texts(CDF_def_long_var(MAPPING_NAME, 0, nullptr), {{"grid_mapping_name", m.name}});
    for (const auto& [name, values] : m.numbers)
      ok = ok && CDF_put_att_double(crs, name.c_str(), static_cast<int>(values.size()), values.data()) == 0;
    for (const auto& [name, text] : m.texts) ok = ok && put_text(crs, name.c_str(), text);
  }
  const std::string data = data_name(info.name);
  f->data = texts(CDF_def_float_var(data.c_str(), 3, tyx), {{"long_name", long_name(g)}});
  const std::string units = fixed_text(g.units, sizeof g.units);
  if (!units.empty()) ok = ok && put_text(f->data, "units", GRD_cf_units(units.c_str()));
  ok = ok && CDF_put_fill_att(f->data, MISSING) == 0 && put_text(f->data, "coordinates", "lat lon");
  if (!m.name.empty()) ok = ok && put_text(f->data, "grid_mapping", MAPPING_NAME);
  f->record = CDF_def_long_var(RECORD_NAME, 0, nullptr);
  ok = ok && f->record >= 0 && put_record(f->record, g, data);
  std::string title = long_name(g);
  const std::string label = fixed_text(info.label, sizeof info.label);
  if (!label.empty()) title += ", " + label;
  return ok && CDF_put_glob_att("Conventions", "CF-1.8") == 0 && CDF_put_glob_att("title", title.c_str()) == 0 &&
         CDF_put_glob_att("source", "objective analysis of surface observations") == 0;
}

// Writes x and y in the file's units and the position of every point.
bool write_coordinates(const DomainRec& d, const Mapping& m, const int ids[4]) {
  std::vector<double> px, py;
  plane_axes(d, &px, &py);
  std::vector<double> fx(px.size()), fy(py.size());
  for (std::size_t i = 0; i < px.size(); ++i) fx[i] = m.degrees ? px[i] + d.plon : (px[i] - m.x0) * m.scale;
  for (std::size_t k = 0; k < py.size(); ++k) fy[k] = m.degrees ? py[k] : (py[k] - m.y0) * m.scale;
  const std::size_t n = px.size() * py.size();
  std::vector<float> lat(n, MISSING), lon(n, MISSING);
  for (std::size_t k = 0; k < py.size(); ++k)
    for (std::size_t i = 0; i < px.size(); ++i) {
      float a = MISSING, o = MISSING;
      if (MAP_untran(&a, &o, static_cast<float>(px[i]), static_cast<float>(py[k]))) {
        lat[k * px.size() + i] = a;
        lon[k * px.size() + i] = o;
      }
    }
  const long zero[2] = {0, 0};
  const long nx[1] = {d.nx}, ny[1] = {d.ny}, both[2] = {d.ny, d.nx};
  CDF_set_range(1, zero, nx);
  bool ok = CDF_put_double_array(ids[0], fx.data()) == 0;
  CDF_set_range(1, zero, ny);
  ok = ok && CDF_put_double_array(ids[1], fy.data()) == 0;
  CDF_set_range(2, zero, both);
  return ok && CDF_put_float_array(ids[2], lat.data()) == 0 && CDF_put_float_array(ids[3], lon.data()) == 0;
}

bool get_int(int var, const char* name, std::int32_t* value) {
  int v = 0;
  if (CDF_get_att_int(var, name, &v) != 0) return false;
  *value = v;
  return true;
}

double number(const Mapping& m, const char* name, double fallback) {
  for (const auto& [key, values] : m.numbers)
    if (key == name && !values.empty()) return values[0];
  return fallback;
}

// The PROJ form of a CF mapping (the parameters correspond one to one), or of the two
// projections CF has no mapping for. "" when there is none.
std::string proj_string(const DomainRec& d, const Mapping& m) {
  char buf[96];
  std::string p;
  auto put = [&](const char* key, double v) {
    std::snprintf(buf, sizeof buf, " +%s=%.10g", key, v);
    p += buf;
  };
  auto from = [&](const char* key, const char* cf) {
    for (const auto& [name, values] : m.numbers)
      if (name == cf && !values.empty()) put(key, values[0]);
  };
  if (m.name == "polar_stereographic") {
    p = "+proj=stere";
    from("lat_0", "latitude_of_projection_origin");
    from("lon_0", "straight_vertical_longitude_from_pole");
    from("lat_ts", "standard_parallel");
    from("k_0", "scale_factor_at_projection_origin");
  } else if (m.name == "latitude_longitude") {
    p = "+proj=longlat";
  } else if (m.name == "mercator") {
    p = "+proj=merc";
    from("lon_0", "longitude_of_projection_origin");
    from("lat_ts", "standard_parallel");
  } else if (m.name == "lambert_conformal_conic") {
    p = "+proj=lcc";
    for (const auto& [name, values] : m.numbers)
      if (name == "standard_parallel") {
        put("lat_1", values[0]);
        put("lat_2", values.size() > 1 ? values[1] : values[0]);
      }
    from("lat_0", "latitude_of_projection_origin");
    from("lon_0", "longitude_of_central_meridian");
  } else if (m.name == "orthographic" || m.name == "lambert_azimuthal_equal_area") {
    p = m.name == "orthographic" ? "+proj=ortho" : "+proj=laea";
    from("lat_0", "latitude_of_projection_origin");
    from("lon_0", "longitude_of_projection_origin");
  } else if (m.name == "geostationary") {
    p = "+proj=geos +sweep=y";
    from("h", "perspective_point_height");
    from("lon_0", "longitude_of_projection_origin");
  } else if (d.proj == PROJ_MOLL) {
    // The plane's Mollweide is the usual one scaled by 1/sqrt(2): its sphere is that much
    // smaller.
    p = "+proj=moll";
    put("lon_0", d.plon);
    put("R", number(m, "earth_radius", 0.0) / std::sqrt(2.0));
    return p + " +x_0=0 +y_0=0 +no_defs";
  } else if (d.proj == PROJ_GNOM) {
    p = "+proj=gnom";
    put("lat_0", d.plat);
    put("lon_0", d.plon);
  } else {
    return "";
  }
  if (m.numbers.end() != std::find_if(m.numbers.begin(), m.numbers.end(),
                                      [](const auto& e) { return e.first == "semi_major_axis"; })) {
    from("a", "semi_major_axis");
    from("b", "semi_minor_axis");
  } else {
    put("R", number(m, "earth_radius", std::round(MAP_EARTH_RAD * METRES_PER_UNIT)));
  }
  if (!m.degrees) p += " +x_0=0 +y_0=0";
  return p + " +units=m +no_defs";
}

}  // namespace

int GRD_cf_crs(const DomainRec* domain, GrdCrs* crs) {
  if (domain == nullptr || crs == nullptr || domain->proj < PROJ_PS || domain->proj > PROJ_SAT || domain->nx < 1 ||
      domain->ny < 1)
    return -1;
  GRD_DomainGuard guard;
  MAP_domain(domain);
  DomainRec current;
  MAP_get_domain(&current);
  Mapping m = describe(current);
  // Gnomonic and Mollweide planes have no CF mapping but a sphere all the same.
  if (m.name.empty() && (current.proj == PROJ_MOLL || current.proj == PROJ_GNOM))
    add(m, "earth_radius", std::round(MAP_EARTH_RAD * METRES_PER_UNIT));
  const std::string p = proj_string(current, m);
  if (p.empty()) return -1;
  std::vector<double> px, py;
  plane_axes(current, &px, &py);
  crs->proj = p;
  crs->degrees = m.degrees;
  // PROJ's geostationary coordinates are the scan angles times the satellite's height.
  const double scale = m.radians ? m.scale * number(m, "perspective_point_height", 0.0) : m.scale;
  crs->x0 = m.degrees ? px[0] + current.plon : (px[0] - m.x0) * scale;
  crs->y0 = m.degrees ? py[0] : (py[0] - m.y0) * scale;
  crs->dx = m.degrees ? current.dx : current.dx * scale;
  crs->dy = m.degrees ? current.dy : current.dy * scale;
  return 0;
}

const char* GRD_cf_units(const char* units) {
  // The package's unit names that UDUNITS spells otherwise or reads as something else
  // ("F" is the farad, "mb" the millibarn, "kt" the kilotonne).
  static const std::pair<const char*, const char*> table[] = {
      {"F", "degF"},         {"C", "degC"},        {"deg C", "degC"},  {"deg_C", "degC"},  {"deg F", "degF"},
      {"deg_F", "degF"},     {"dF", "degF"},       {"dC", "degC"},     {"dK", "K"},        {"mb", "hPa"},
      {"knt", "knot"},       {"kt", "knot"},       {"kts", "knot"},    {"mph", "mile/hour"}, {"mi", "mile"},
      {"nmi", "nautical_mile"}, {"in", "inch"},    {"in_Hg", "inch_Hg"}, {"in Hg", "inch_Hg"}, {"hr", "hour"},
      {"sec", "s"},          {"deg", "degree"},    {"%", "percent"}};
  if (units == nullptr) return "";
  for (const auto& [from, to] : table)
    if (stricmp(units, from) == 0) return to;
  return units;
}

int GRD_cf_define(const GridInfo* info, const GridRec* grid, GrdCfFile* file) {
  if (info == nullptr || grid == nullptr || file == nullptr) return -1;
  const DomainRec& d = grid->domain;
  if (d.proj < PROJ_PS || d.proj > PROJ_SAT) {
    MESS_print(LEVEL_CHECK, "GRD_write: A CF grid file needs a map projection, not projection %d\n", d.proj);
    return -1;
  }
  if (d.nx < 1 || d.ny < 1 || static_cast<std::int64_t>(d.nx) * d.ny > GRD_MAX_FILE_POINTS) return -1;
  GRD_DomainGuard guard;
  MAP_domain(&d);
  DomainRec current;
  MAP_get_domain(&current);
  const Mapping m = describe(current);
  *file = GrdCfFile{};
  int ids[4] = {-1, -1, -1, -1};
  if (!define(*info, *grid, m, file, ids) || CDF_end_def() != 0) return -1;
  return write_coordinates(current, m, ids) ? 0 : -1;
}

int GRD_cf_write(const GrdCfFile& file, const GridRec* grid, int record) {
  if (grid == nullptr || grid->values == nullptr || record < 0) return -1;
  const DomainRec& d = grid->domain;
  if (CDF_get_dim_size(CDF_get_dim("x")) != d.nx || CDF_get_dim_size(CDF_get_dim("y")) != d.ny) return -1;
  const std::size_t nx = static_cast<std::size_t>(d.nx), ny = static_cast<std::size_t>(d.ny);
  std::vector<float> rows(nx * ny);
  for (std::size_t k = 0; k < ny; ++k)  // south first
    for (std::size_t i = 0; i < nx; ++i) {
      const float v = grid->values[(ny - 1 - k) * nx + i];
      rows[k * nx + i] = std::isfinite(v) ? v : MISSING;
    }
  const long start[3] = {record, 0, 0}, count[3] = {1, d.ny, d.nx};
  CDF_set_range(3, start, count);
  if (CDF_put_float_array(file.data, rows.data()) != 0) return -1;
  // The grid's date; a date without its day or hour is written as missing.
  DateRec date = grid->date;
  const bool dated = date.year != MISSING_INT && date.month != MISSING_INT && date.day != MISSING_INT &&
                     date.hour != MISSING_INT;
  if (date.minute == MISSING_INT) date.minute = 0;
  if (date.second == MISSING_INT) date.second = 0;
  const double hours = dated ? DATE_num_sec(&date) / 3600.0 : MISSING;
  const long at[1] = {record}, one[1] = {1};
  CDF_set_range(1, at, one);
  return CDF_put_double_array(file.time, &hours);
}

int GRD_cf_find(GrdCfFile* file) {
  if (file == nullptr) return -1;
  *file = GrdCfFile{};
  const int record = CDF_get_var(RECORD_NAME);
  char name[64] = "";
  if (record < 0 || CDF_get_att_text(record, "variable", name, sizeof name) <= 0) return -1;
  file->record = record;
  file->data = CDF_get_var(name);
  file->time = CDF_get_var("time");
  return file->data >= 0 ? 0 : -1;
}

int GRD_cf_info(const GrdCfFile& file, char* label, int* nx, int* ny) {
  if (file.record < 0) return -1;
  if (label != nullptr && CDF_get_att_text(file.record, "label", label, 40) < 0) label[0] = '\0';
  std::int32_t x = MISSING_INT, y = MISSING_INT;
  get_int(file.record, "nx", &x);
  get_int(file.record, "ny", &y);
  if (nx != nullptr) *nx = x;
  if (ny != nullptr) *ny = y;
  return 0;
}

int GRD_cf_read(const GrdCfFile& file, int record, GridRec* grid) {
  if (grid == nullptr || file.record < 0 || file.data < 0 || record < 0) return -1;
  GridRec head = *grid;
  head.values = nullptr;
  const int r = file.record;
  DomainRec& d = head.domain;
  DOM_init(&d);
  bool ok = true;
  for (auto [name, field] : {std::pair{"source", &head.source}, {"version", &head.version}, {"model", &head.model},
                             {"type", &head.type}, {"ltype", &head.ltype}, {"level", &head.level},
                             {"time", &head.time}, {"var", &head.var}, {"proj", &d.proj}, {"nx", &d.nx},
                             {"ny", &d.ny}, {"ext", &d.ext}})
    ok = ok && get_int(r, name, field);
  for (auto [name, field] : {std::pair{"plat", &d.plat}, {"plon", &d.plon}, {"p3", &d.p3}, {"p4", &d.p4},
                             {"p5", &d.p5}, {"p6", &d.p6}, {"p7", &d.p7}, {"clat", &d.clat}, {"clon", &d.clon},
                             {"dx", &d.dx}, {"dy", &d.dy}})
    ok = ok && CDF_get_att_float(r, name, field) == 0;
  CDF_get_att_text(r, "label", head.label, sizeof head.label);
  CDF_get_att_text(r, "datatype", head.datatype, sizeof head.datatype);
  CDF_get_att_text(r, "units", head.units, sizeof head.units);
  // The values must be laid out as the header says: (time, y, x) of nx by ny points.
  int rank = 0, dims[CDF_MAX_DIMS] = {};
  ok = ok && d.nx >= 1 && d.ny >= 1 && static_cast<std::int64_t>(d.nx) * d.ny <= GRD_MAX_FILE_POINTS &&
       CDF_inq_var(file.data, nullptr, &rank, dims) == 0 && rank == 3 && CDF_get_dim_size(dims[1]) == d.ny &&
       CDF_get_dim_size(dims[2]) == d.nx && CDF_get_dim_size(dims[0]) > record;
  if (!ok) {
    MESS_print(LEVEL_CHECK, "GRD_read: CF grid file does not hold the grid its header describes\n");
    return -1;
  }
  const std::size_t nx = static_cast<std::size_t>(d.nx), ny = static_cast<std::size_t>(d.ny);
  std::vector<float> rows(nx * ny);
  const long start[3] = {record, 0, 0}, count[3] = {1, d.ny, d.nx};
  CDF_set_range(3, start, count);
  if (CDF_get_float_array(file.data, rows.data()) != 0) return -1;
  const std::int64_t old_points = static_cast<std::int64_t>(grid->domain.nx) * grid->domain.ny;
  head.values = grid->values;
  if (head.values == nullptr || old_points != static_cast<std::int64_t>(nx * ny)) {
    GRD_free_values(grid);
    head.values = nullptr;
    if (GRD_alloc(&head) == 0 || head.values == nullptr) return -1;
  }
  *grid = head;
  for (std::size_t k = 0; k < ny; ++k)  // the file holds the southern row first
    for (std::size_t i = 0; i < nx; ++i) {
      const float v = rows[k * nx + i];
      grid->values[(ny - 1 - k) * nx + i] = std::isfinite(v) ? v : MISSING;
    }
  DATE_decode_label(grid->label, &grid->date);
  return 0;
}
