// Map projections of the current domain.
//
// Plane coordinates are centimetres on a 1:10,000,000 map (R = 63.7122), degrees for
// latlon. The projection constants of a domain are computed on the first transform
// after MAP_domain (or MAP_coord/MAP_proj) and kept until the domain changes.
#include "plot/maptran.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "config/mess.h"
#include "config/missing.h"
#include "config/string.h"

namespace {

constexpr double R = 63.7122;
constexpr double PI = 3.14159265358979323846;
constexpr double RAD = PI / 180.0;
constexpr double DEG = 180.0 / PI;
constexpr double EQ_RAD = MAP_EQ_RAD;
constexpr double POL_RAD = MAP_POL_RAD;
constexpr double DEF_SAT_RAD = 421.61;

// Everything a transform depends on; MAP_domain_tran saves and restores it whole so
// that a zoomed view of the caller survives.
struct State {
  DomainRec domain{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT,
                   MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, 0};
  double limits[4] = {MISSING, MISSING, MISSING, MISSING};
  double tlat1 = 30.0;
  double tlat2 = 60.0;
  double sat_rad = DEF_SAT_RAD;
  double sat_rad2 = DEF_SAT_RAD * DEF_SAT_RAD;
  double sat_rad4 = DEF_SAT_RAD * DEF_SAT_RAD * DEF_SAT_RAD * DEF_SAT_RAD;
  double earth_ratio = POL_RAD / EQ_RAD;
  double earth_ratio2 = (POL_RAD / EQ_RAD) * (POL_RAD / EQ_RAD);
  // Lazily computed constants: -9999 means "recompute".
  double xfactor = MISSING;   // pstereo k, lamb F
  double sat_ratio = MISSING;  // R / sat_rad
  double hemi = 1.0;        // hemisphere sign of pstereo and lamb
  double lamb_n = 1.0;      // cone constant
  int grid_limit = 0;
  std::vector<unsigned char> plot_cells;
  int plot_nx = 0;
  int plot_ny = 0;
};

State st;

bool is_miss(double v) { return v == MISSING; }
bool is_map(int proj) { return proj >= PROJ_PS && proj <= PROJ_SAT; }

// Longitude difference into [-180, 180]; huge values are reduced without looping.
double norm180(double v) {
  if (std::fabs(v) > 540.0) v = std::fmod(v, 360.0);
  while (v > 180.0) v -= 360.0;
  while (v < -180.0) v += 360.0;
  return v;
}

void clear_cache() {
  st.xfactor = MISSING;
  st.sat_ratio = MISSING;
}

double plat_or(double fallback) {
  return is_miss(st.domain.plat) ? fallback : st.domain.plat;
}

void compute_constants() {
  const DomainRec& d = st.domain;
  switch (d.proj) {
    case PROJ_PS: {
      st.hemi = d.plat >= 0.0f ? -1.0 : 1.0;
      st.xfactor = R * (1.0 - st.hemi * std::sin(st.tlat1 * RAD));
      break;
    }
    case PROJ_LAMB: {
      double h = d.plat >= 0.0f ? 1.0 : -1.0;
      st.hemi = h;
      // Both true latitudes are taken in the domain's hemisphere so the cone opens
      // away from the pole it is centred on.
      double p1 = h * st.tlat1;
      double p2 = h * st.tlat2;
      double n;
      if (std::fabs(p1 - p2) > 1e-9) {
        n = (std::log(std::cos(p1 * RAD)) - std::log(std::cos(p2 * RAD))) /
            (std::log(std::tan((45.0 - p1 / 2.0) * RAD)) - std::log(std::tan((45.0 - p2 / 2.0) * RAD)));
      } else {
        n = std::sin(p1 * RAD);
      }
      if (!std::isfinite(n) || std::fabs(n) < 1e-6) n = 1e-6;
      st.lamb_n = n;
      st.xfactor = std::cos(p1 * RAD) / (n * std::pow(std::tan((45.0 - p1 / 2.0) * RAD), n));
      break;
    }
    default:
      st.xfactor = 1.0;
      break;
  }
  st.sat_ratio = R / st.sat_rad;
}

void ensure_constants() {
  if (is_miss(st.xfactor) || is_miss(st.sat_ratio)) compute_constants();
}

bool fail2(float* a, float* b) {
  *a = MISSING;
  *b = MISSING;
  return false;
}

// Diagram coordinates: first input -> x, second -> y.
bool forward_diagram(double lat, double lon, double& x, double& y) {
  const DomainRec& d = st.domain;
  switch (d.proj) {
    case PROJ_PIX:
      x = lat;
      y = -lon;
      return true;
    case PROJ_XLOGY:
    case PROJ_EMA:
      if (!(lon > 0.0)) return false;
      x = lat;
      y = -std::log(lon);
      return true;
    case PROJ_STUVE:
      if (!(lon > 0.0)) return false;
      x = lat;
      y = -std::pow(lon, 0.285714);
      return true;
    case PROJ_HODO:
      x = lon * std::sin(lat * RAD);
      y = lon * std::cos(lat * RAD);
      return true;
    case PROJ_SKEWT: {
      // Skew T - log p: temperature (C), pressure (hPa); isotherms at 45 degrees.
      if (!(lon > 0.0)) return false;
      const double z = 40.0 * std::log(1000.0 / lon);
      x = lat + z;
      y = z;
      return true;
    }
    case PROJ_TEPH:
    case PROJ_RTEPH: {
      // Tephigram: temperature against the logarithm of potential temperature.
      if (!(lon > 0.0) || lat <= -273.15) return false;
      const double theta = (lat + 273.15) * std::pow(1000.0 / lon, 0.285714);
      const double a = lat;
      const double b = 100.0 * std::log(theta / 273.15);
      if (d.proj == PROJ_TEPH) {
        x = a;
        y = b;
      } else {
        x = (a - b) * std::sqrt(0.5);
        y = (a + b) * std::sqrt(0.5);
      }
      return true;
    }
    default:
      // xy, xz, cat, xp, zoom, size, pixel-like codes: plain coordinates.
      x = lat;
      y = lon;
      return true;
  }
}

// The azimuthal projections about (lat0, 0): orthographic, gnomonic, equal-area.
bool forward_azimuthal(double lat0, double lat, double dlon, double& x, double& y) {
  const int proj = st.domain.proj;
  const double sp0 = std::sin(lat0 * RAD), cp0 = std::cos(lat0 * RAD);
  const double sp = std::sin(lat * RAD), cp = std::cos(lat * RAD);
  const double sl = std::sin(dlon * RAD), cl = std::cos(dlon * RAD);
  const double cosc = sp0 * sp + cp0 * cp * cl;
  double k = 1.0;
  if (proj == PROJ_ORTHO) {
    if (cosc < 0.0) return false;
  } else if (proj == PROJ_GNOM) {
    // The gnomonic plane runs to infinity at the horizon; stop a little short.
    if (cosc < 0.01) return false;
    k = 1.0 / cosc;
  } else {
    if (cosc <= -1.0 + 1e-12) return false;
    k = std::sqrt(2.0 / (1.0 + cosc));
  }
  x = R * k * cp * sl;
  y = R * k * (cp0 * sp - sp0 * cp * cl);
  return true;
}

// The satellite view: scan tangents (or angles) of the point seen from the satellite.
bool forward_sat(double lat, double dlon, double& x, double& y) {
  const DomainRec& d = st.domain;
  double psi = lat * RAD;
  double r = R;
  if (d.ext) {
    psi = std::atan(std::tan(lat * RAD) * st.earth_ratio2);
    const double c = std::cos(psi);
    r = POL_RAD / std::sqrt(1.0 - (1.0 - st.earth_ratio2) * c * c);
  }
  const double s = st.sat_rad;
  const double cl = std::cos(dlon * RAD), sl = std::sin(dlon * RAD);
  const double cps = std::cos(psi), sps = std::sin(psi);
  if (cl * cps < st.sat_ratio) return false;
  const double dd = s - r * cl * cps;
  double u = r * sl * cps / dd;
  double v = r * sps / std::sqrt(r * r * sl * sl * cps * cps + dd * dd);
  if (d.p4 == 1.0f) {
    u = std::atan(u);
    v = std::atan(v);
  }
  x = s * u;
  y = s * v;
  return true;
}

// Forward map projections; (x, y) in plane units, false when not visible.
bool forward(double lat, double lon, double& x, double& y) {
  const DomainRec& d = st.domain;
  const double lat0 = plat_or(0.0);
  const double lon0 = d.plon;
  if (is_map(d.proj)) {
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0) return false;
    lon = norm180(lon);
  }
  const double dlon = norm180(lon - lon0);
  switch (d.proj) {
    case PROJ_PS: {
      const double h = st.hemi;
      if (h * lat > 75.0) lat = 75.0 * h;
      const double r = st.xfactor * std::tan((90.0 + h * lat) / 2.0 * RAD);
      x = r * std::sin(dlon * RAD);
      y = h * r * std::cos(dlon * RAD);
      return true;
    }
    case PROJ_LL:
      x = dlon;
      y = lat;
      return true;
    case PROJ_MERC: {
      x = R * (lon - lon0) * RAD;
      while (x > PI * R) x -= 2.0 * PI * R;
      while (x < -PI * R) x += 2.0 * PI * R;
      lat = std::clamp(lat, -89.9, 89.9);
      y = -R * std::log(std::tan((45.0 - lat / 2.0) * RAD));
      return true;
    }
    case PROJ_LAMB: {
      const double h = st.hemi;
      const double n = st.lamb_n;
      if (h > 0.0 && lat < -89.0) lat = -89.0;
      if (h < 0.0 && lat > 89.0) lat = 89.0;
      const double rho = R * st.xfactor * std::pow(std::tan((45.0 - h * lat / 2.0) * RAD), n);
      x = rho * std::sin(n * dlon * RAD);
      y = -h * rho * std::cos(n * dlon * RAD);
      return true;
    }
    case PROJ_ORTHO:
    case PROJ_GNOM:
    case PROJ_LAMBAZ:
      return forward_azimuthal(lat0, lat, dlon, x, y);
    case PROJ_MOLL: {
      const double phi = lat * RAD;
      const double target = PI * std::sin(phi);
      double theta = phi;
      for (int i = 0; i < 15; ++i) {
        const double delta = -(theta + std::sin(theta) - target) / (std::cos(theta) + 1.0);
        if (!std::isfinite(delta)) break;
        theta += delta;
        if (std::fabs(delta) < 1e-10) break;
      }
      x = std::fabs(lat) > 89.99 ? 0.0 : R * (dlon / 90.0) * std::cos(theta / 2.0);
      y = R * std::sin(theta / 2.0);
      return true;
    }
    case PROJ_SAT:
      return forward_sat(lat, dlon, x, y);
    default:
      return forward_diagram(lat, lon, x, y);
  }
}

// Intersection of the viewing ray through scan tangents (u, v) with the earth.
bool sat_inverse(double u, double v, double& lat, double& lon) {
  const double s = st.sat_rad;
  const double w = v * std::sqrt(1.0 + u * u);
  const bool ell = st.domain.ext != 0;
  const double a = ell ? EQ_RAD : R;
  const double zf = ell ? 1.0 / st.earth_ratio2 : 1.0;
  const double qa = 1.0 + u * u + w * w * zf;
  const double qb = -2.0 * s;
  const double qc = s * s - a * a;
  const double disc = qb * qb - 4.0 * qa * qc;
  if (!(disc >= 0.0)) return false;
  const double t = (-qb - std::sqrt(disc)) / (2.0 * qa);
  const double px = s - t, py = t * u, pz = t * w;
  const double psi = std::atan2(pz, std::hypot(px, py));
  const double dlon = std::atan2(py, px);
  // The forward transform refuses points beyond its horizon test; so does the inverse.
  if (std::cos(dlon) * std::cos(psi) < st.sat_ratio - 1e-9) return false;
  lat = (ell ? std::atan(std::tan(psi) / st.earth_ratio2) : psi) * DEG;
  lon = norm180(st.domain.plon + dlon * DEG);
  return true;
}

bool azimuthal_inverse(double x, double y, double& lat, double& lon) {
  const int proj = st.domain.proj;
  const double lat0 = plat_or(0.0);
  const double rho = std::hypot(x, y);
  double c;
  if (proj == PROJ_ORTHO) {
    if (rho > R * (1.0 + 1e-12)) return false;
    c = std::asin(std::min(1.0, rho / R));
  } else if (proj == PROJ_GNOM) {
    c = std::atan(rho / R);
    if (std::cos(c) < 0.01) return false;
  } else {
    if (rho > 2.0 * R * (1.0 + 1e-12)) return false;
    c = 2.0 * std::asin(std::min(1.0, rho / (2.0 * R)));
  }
  if (rho == 0.0) {
    lat = lat0;
    lon = st.domain.plon;
    return true;
  }
  const double sp0 = std::sin(lat0 * RAD), cp0 = std::cos(lat0 * RAD);
  const double sc = std::sin(c), cc = std::cos(c);
  lat = std::asin(std::clamp(cc * sp0 + y * sc * cp0 / rho, -1.0, 1.0)) * DEG;
  lon = norm180(st.domain.plon + std::atan2(x * sc, rho * cp0 * cc - y * sp0 * sc) * DEG);
  return true;
}

bool inverse_diagram(double x, double y, double& lat, double& lon) {
  const DomainRec& d = st.domain;
  switch (d.proj) {
    case PROJ_PIX:
      lat = x;
      lon = -y;
      return true;
    case PROJ_XLOGY:
    case PROJ_EMA:
      lat = x;
      lon = std::exp(-y);
      return true;
    case PROJ_STUVE:
      if (y > 0.0) return false;
      lat = x;
      lon = std::pow(-y, 1.0 / 0.285714);
      return true;
    case PROJ_HODO:
      lat = std::atan2(x, y) * DEG;
      if (lat < 0.0) lat += 360.0;
      lon = std::hypot(x, y);
      return true;
    case PROJ_SKEWT:
      lat = x - y;
      lon = 1000.0 / std::exp(y / 40.0);
      return true;
    case PROJ_TEPH:
    case PROJ_RTEPH: {
      double a = x, b = y;
      if (d.proj == PROJ_RTEPH) {
        a = (x + y) * std::sqrt(0.5);
        b = (y - x) * std::sqrt(0.5);
      }
      const double theta = 273.15 * std::exp(b / 100.0);
      if (a <= -273.15) return false;
      lat = a;
      lon = 1000.0 / std::pow(theta / (a + 273.15), 1.0 / 0.285714);
      return true;
    }
    default:
      lat = x;
      lon = y;
      return true;
  }
}

bool inverse(double x, double y, double& lat, double& lon) {
  const DomainRec& d = st.domain;
  const double lon0 = d.plon;
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  switch (d.proj) {
    case PROJ_PS: {
      const double h = st.hemi;
      lon = (x == 0.0 && y == 0.0) ? lon0 : lon0 + std::atan2(x, h * y) * DEG;
      lon = norm180(lon);
      lat = h * (2.0 * std::atan(std::hypot(x, y) / st.xfactor) * DEG - 90.0);
      return true;
    }
    case PROJ_LL:
      if (std::fabs(y) > 90.0) return false;
      lon = norm180(x + lon0);
      lat = y;
      return true;
    case PROJ_MERC:
      lon = norm180(lon0 + x / (R * RAD));
      lat = 90.0 - 2.0 * std::atan(1.0 / std::exp(y / R)) * DEG;
      return true;
    case PROJ_LAMB: {
      const double h = st.hemi, n = st.lamb_n;
      const double theta = std::atan2(x, -h * y) * DEG;
      if (std::fabs(theta / n) > 180.0 + 1e-9) return false;
      lat = 90.0 * h - 2.0 * h * std::atan(std::pow(std::hypot(x, y) / (R * st.xfactor), 1.0 / n)) * DEG;
      lon = norm180(theta / n + lon0);
      return true;
    }
    case PROJ_ORTHO:
    case PROJ_GNOM:
    case PROJ_LAMBAZ:
      return azimuthal_inverse(x, y, lat, lon);
    case PROJ_MOLL: {
      const double sh = y / R;
      if (sh < -1.0 || sh > 1.0) return false;
      const double half = std::asin(sh);
      const double theta = 2.0 * half;
      const double ch = std::cos(half);
      double dl = 0.0;
      if (ch > 1e-12) {
        dl = 90.0 * x / (R * ch);
      } else if (std::fabs(x) > 1e-9) {
        return false;
      }
      if (std::fabs(dl) > 180.0 + 1e-9) return false;
      const double sp = (theta + std::sin(theta)) / PI;
      if (sp < -1.0 - 1e-12 || sp > 1.0 + 1e-12) return false;
      lat = std::asin(std::clamp(sp, -1.0, 1.0)) * DEG;
      lon = norm180(lon0 + dl);
      return true;
    }
    case PROJ_SAT: {
      const double s = st.sat_rad;
      double u = x / s, v = y / s;
      if (d.p4 == 1.0f) {
        if (std::fabs(u) >= PI / 2.0 || std::fabs(v) >= PI / 2.0) return false;
        u = std::tan(u);
        v = std::tan(v);
      }
      return sat_inverse(u, v, lat, lon);
    }
    default:
      return inverse_diagram(x, y, lat, lon);
  }
}

double rotation_ps(double x, double y) {
  // Angle from true north to map up at (x, y) of a polar stereographic domain.
  if (x == 0.0 && y == 0.0) return st.hemi < 0.0 ? st.domain.plon : -st.domain.plon;
  return st.hemi < 0.0 ? std::atan2(x, -y) * DEG : -std::atan2(x, y) * DEG;
}

}  // namespace

void MAP_reset_tran_state() { st = State{}; }

int MAP_proj_str(const char* name) {
  if (!name) return -1;
  struct Entry {
    const char* prefix;
    int code;
  };
  static const Entry table[] = {
      {"ll", PROJ_LL},         {"lat", PROJ_LL},     {"polar", PROJ_PS},    {"ps", PROJ_PS},       {"sat", PROJ_SAT},
      {"lamb", PROJ_LAMB},     {"lc", PROJ_LAMB},    {"la", PROJ_LAMBAZ},   {"gn", PROJ_GNOM},     {"or", PROJ_ORTHO},
      {"mo", PROJ_MOLL},       {"me", PROJ_MERC},    {"pix", PROJ_PIX},     {"xy", PROJ_XY},       {"xlogy", PROJ_XLOGY},
      {"xlogp", PROJ_XLOGY},   {"cat", PROJ_CAT},    {"skewt", PROJ_SKEWT}, {"ema", PROJ_EMA},     {"teph", PROJ_TEPH},
      {"rteph", PROJ_RTEPH},   {"therm", PROJ_SKEWT}, {"stuve", PROJ_STUVE}, {"hodo", PROJ_HODO},  {"vert", PROJ_XLOGY},
  };
  for (const Entry& e : table) {
    if (starts_with_ci(name, e.prefix)) return e.code;
  }
  if (stricmp(name, "xp") == 0) return PROJ_XP;
  if (starts_with_ci(name, "zoom")) return PROJ_ZOOM;
  if (starts_with_ci(name, "size")) return PROJ_SIZE;
  if (stricmp(name, "miss") == 0) return MISSING_INT;
  return -1;
}

int MAP_domain(const DomainRec* d) {
  if (!d) {
    st.domain.proj = MISSING_INT;
    clear_cache();
    return -1;
  }
  st.domain = *d;
  DomainRec& c = st.domain;
  if (is_miss(c.plat)) c.plat = c.clat;
  if (is_miss(c.plon)) c.plon = c.clon;
  if (c.proj == PROJ_PS) {
    st.tlat1 = is_miss(c.p3) ? (c.plat < 0.0f ? -60.0 : 60.0) : c.p3;
  } else if (c.proj == PROJ_LAMB) {
    if (is_miss(c.p3)) {
      const double sign = c.plat < 0.0f ? -1.0 : 1.0;
      st.tlat1 = 30.0 * sign;
      st.tlat2 = 60.0 * sign;
    } else {
      st.tlat1 = c.p3;
      st.tlat2 = is_miss(c.p4) ? c.p3 : c.p4;
    }
  } else if (c.proj == PROJ_SAT) {
    st.sat_rad = (is_miss(c.p3) || !(c.p3 > R)) ? DEF_SAT_RAD : c.p3;
    st.sat_rad2 = st.sat_rad * st.sat_rad;
    st.sat_rad4 = st.sat_rad2 * st.sat_rad2;
  }
  clear_cache();
  st.earth_ratio = POL_RAD / EQ_RAD;
  st.earth_ratio2 = st.earth_ratio * st.earth_ratio;
  MAP_set_limits();
  return 1;
}

void MAP_get_domain(DomainRec* d) {
  if (d) *d = st.domain;
}

void MAP_set_limits() {
  const DomainRec& d = st.domain;
  const double hx = (d.nx == MISSING_INT || is_miss(d.dx)) ? 0.0 : (d.nx - 1) * 0.5 * d.dx;
  const double hy = (d.ny == MISSING_INT || is_miss(d.dy)) ? 0.0 : (d.ny - 1) * 0.5 * d.dy;
  if (d.proj == MISSING_INT) {
    for (double& l : st.limits) l = MISSING;
    return;
  }
  float xc = 0.0f, yc = 0.0f;
  if (is_map(d.proj)) {
    if (!MAP_tran(&xc, &yc, d.clat, d.clon)) {
      xc = 0.0f;
      yc = 0.0f;
    }
    st.limits[0] = xc - hx;
    st.limits[1] = xc + hx;
    st.limits[2] = yc - hy;
    st.limits[3] = yc + hy;
    return;
  }
  // Diagrams: the corners of the centred window, carried through the transform and
  // ordered so that minimum <= maximum.
  float x1 = 0.0f, y1 = 0.0f, x2 = 0.0f, y2 = 0.0f;
  const bool ok1 = MAP_tran(&x1, &y1, static_cast<float>(d.clat - hy), static_cast<float>(d.clon - hx));
  const bool ok2 = MAP_tran(&x2, &y2, static_cast<float>(d.clat + hy), static_cast<float>(d.clon + hx));
  if (!ok1 || !ok2) {
    x1 = static_cast<float>(d.clat - hy);
    y1 = static_cast<float>(d.clon - hx);
    x2 = static_cast<float>(d.clat + hy);
    y2 = static_cast<float>(d.clon + hx);
  }
  st.limits[0] = std::min(x1, x2);
  st.limits[1] = std::max(x1, x2);
  st.limits[2] = std::min(y1, y2);
  st.limits[3] = std::max(y1, y2);
}

void MAP_print_domain() { DOM_print(MESS_PRINT, &st.domain); }

int MAP_tran(float* x, float* y, float lat, float lon) {
  if (st.domain.proj == MISSING_INT) {
    *x = lat;
    *y = lon;
    return 1;
  }
  if (lat == MISSING || lon == MISSING) return fail2(x, y);
  ensure_constants();
  double fx = 0.0, fy = 0.0;
  if (!forward(lat, lon, fx, fy) || !std::isfinite(fx) || !std::isfinite(fy)) return fail2(x, y);
  *x = static_cast<float>(fx);
  *y = static_cast<float>(fy);
  return 1;
}

int MAP_untran(float* lat, float* lon, float x, float y) {
  if (st.domain.proj == MISSING_INT) {
    *lat = x;
    *lon = y;
    return 1;
  }
  if (x == MISSING || y == MISSING) return fail2(lat, lon);
  ensure_constants();
  double la = 0.0, lo = 0.0;
  if (!inverse(x, y, la, lo) || !std::isfinite(la) || !std::isfinite(lo)) return fail2(lat, lon);
  *lat = static_cast<float>(la);
  *lon = static_cast<float>(lo);
  return 1;
}

int MAP_tran_center(float* x, float* y) { return MAP_tran(x, y, st.domain.clat, st.domain.clon); }

int MAP_tran_ep(float* x, float* y) { return MAP_tran(x, y, st.domain.plat, st.domain.plon); }

int MAP_grid_tran(float* x, float* y, float column, float row) {
  if (column == MISSING) {
    fail2(x, y);
    return -1;
  }
  *x = static_cast<float>(st.limits[0] + column * static_cast<double>(st.domain.dx));
  *y = static_cast<float>(st.limits[3] - row * static_cast<double>(st.domain.dy));
  return 1;
}

int MAP_grid_untran(float* column, float* row, float x, float y) {
  if (x == MISSING || st.domain.dx == 0.0f || st.domain.dy == 0.0f) {
    fail2(column, row);
    return -1;
  }
  *column = static_cast<float>((x - st.limits[0]) / st.domain.dx);
  *row = static_cast<float>((st.limits[3] - y) / st.domain.dy);
  return 1;
}

int MAP_in_domain(float x, float y) {
  if (st.domain.proj == MISSING_INT) return 1;
  return x >= st.limits[0] && x <= st.limits[1] && y >= st.limits[2] && y <= st.limits[3];
}

int MAP_in_grid_domain(float x, float y) {
  if (st.domain.proj == MISSING_INT) return 1;
  const double wx = is_miss(st.domain.dx) ? 0.0 : 3.0 * std::fabs(st.domain.dx);
  const double wy = is_miss(st.domain.dy) ? 0.0 : 3.0 * std::fabs(st.domain.dy);
  return x >= st.limits[0] - wx && x <= st.limits[1] + wx && y >= st.limits[2] - wy &&
         y <= st.limits[3] + wy;
}

int MAP_domain_tran(const DomainRec* from, const DomainRec* to, float* x_out, float* y_out, float x,
                    float y) {
  if (!from || !to || DOM_comp(from, to)) {
    *x_out = x;
    *y_out = y;
    return 1;
  }
  const State saved = st;
  float lat = 0.0f, lon = 0.0f;
  int ok = 0;
  MAP_domain(from);
  if (MAP_untran(&lat, &lon, x, y)) {
    MAP_domain(to);
    ok = MAP_tran(x_out, y_out, lat, lon);
  } else {
    fail2(x_out, y_out);
  }
  st = saved;
  return ok;
}

int MAP_offset(float* x, float* y, float x0, float y0, float direction, float distance_km) {
  float lat = 0.0f, lon = 0.0f;
  if (direction == MISSING || distance_km == MISSING || !MAP_untran(&lat, &lon, x0, y0)) return fail2(x, y);
  const double coslat = std::max(std::cos(lat * RAD), 1e-6);
  double nlat = lat + distance_km * std::cos(direction * RAD) / 111.195;
  double nlon = lon + distance_km * std::sin(direction * RAD) / (111.195 * coslat);
  // Across a pole: continue down the opposite meridian.
  if (nlat > 90.0) {
    nlat = 180.0 - nlat;
    nlon += 180.0;
  } else if (nlat < -90.0) {
    nlat = -180.0 - nlat;
    nlon += 180.0;
  }
  if (!std::isfinite(nlat) || !std::isfinite(nlon) || std::fabs(nlat) > 90.0) return fail2(x, y);
  return MAP_tran(x, y, static_cast<float>(nlat), static_cast<float>(norm180(nlon)));
}

float MAP_factor(float lat) {
  switch (st.domain.proj) {
    case PROJ_PS: {
      ensure_constants();
      const double k = is_miss(st.domain.p3) ? 1.866 : 1.0 + std::sin(std::fabs(st.tlat1) * RAD);
      const double s = (st.hemi < 0.0 ? 1.0 : -1.0) * std::sin(lat * RAD);
      return static_cast<float>(k / (1.0 + s));
    }
    case PROJ_LAMB:
      return is_miss(st.domain.p5) ? 1.0f : st.domain.p5;
    default:
      return 1.0f;
  }
}

float MAP_point_scale(float lat) {
  if (is_miss(lat) || !(std::fabs(lat) <= 90.0f)) return MISSING;
  const double phi = lat * RAD;
  double m = 1.0;
  switch (st.domain.proj) {
    case PROJ_PS: {
      ensure_constants();
      const double den = R * (1.0 - st.hemi * std::sin(phi));
      m = den > 0.0 ? st.xfactor / den : -1.0;
      break;
    }
    case PROJ_LAMB: {
      ensure_constants();
      const double c = std::cos(phi);
      const double t = std::tan((45.0 - st.hemi * lat / 2.0) * RAD);
      m = (c > 1e-12 && t > 0.0) ? st.lamb_n * st.xfactor * std::pow(t, st.lamb_n) / c : -1.0;
      break;
    }
    case PROJ_MERC: {
      const double c = std::cos(phi);
      m = c > 1e-12 ? 1.0 / c : -1.0;
      break;
    }
    default:
      break;
  }
  return (m > 0.0 && std::isfinite(m)) ? static_cast<float>(m) : MISSING;
}

int MAP_get_proj() { return st.domain.proj; }
float MAP_get_clat() { return st.domain.clat; }
float MAP_get_clon() { return st.domain.clon; }

void MAP_get_limits(float limits[4]) {
  for (int i = 0; i < 4; ++i) limits[i] = static_cast<float>(st.limits[i]);
}

void MAP_get_up_left(float* x_min, float* y_max) {
  *x_min = static_cast<float>(st.limits[0]);
  *y_max = static_cast<float>(st.limits[3]);
}

void MAP_set_view(float x_min, float x_max, float y_min, float y_max) {
  st.limits[0] = std::min(x_min, x_max);
  st.limits[1] = std::max(x_min, x_max);
  st.limits[2] = std::min(y_min, y_max);
  st.limits[3] = std::max(y_min, y_max);
}

void MAP_proj_coord(float tlat1, float tlat2) {
  if (st.domain.proj != PROJ_LAMB) return;
  st.domain.p3 = tlat1;
  st.domain.p4 = tlat2;
  st.tlat1 = tlat1;
  st.tlat2 = tlat2;
  clear_cache();
}

void MAP_get_true_lats(float* tlat1, float* tlat2) {
  if (tlat1) *tlat1 = static_cast<float>(st.tlat1);
  if (tlat2) *tlat2 = static_cast<float>(st.tlat2);
}

float MAP_get_sat_rad() { return static_cast<float>(st.sat_rad); }

void MAP_coord(float plat, float plon) {
  st.domain.plat = plat;
  st.domain.plon = plon;
  clear_cache();
}

void MAP_proj(int code) {
  st.domain.proj = code;
  clear_cache();
}

float MAP_dir_adj(float direction, float x, float y) {
  if (direction == MISSING) return direction;
  switch (st.domain.proj) {
    case PROJ_PS:
      ensure_constants();
      return static_cast<float>(direction - rotation_ps(x, y));
    case PROJ_LAMB:
      ensure_constants();
      return static_cast<float>(direction - std::atan2(x, -st.hemi * y) * DEG);
    case PROJ_SAT: {
      float x1 = 0.0f, y1 = 0.0f;
      if (!MAP_offset(&x1, &y1, x, y, direction, 1.0f)) return static_cast<float>(MISSING);
      return static_cast<float>(std::atan2(x1 - x, y1 - y) * DEG);
    }
    default:
      return direction;
  }
}

float MAP_undir_adj(float direction, float x, float y) {
  if (direction == MISSING) return direction;
  switch (st.domain.proj) {
    case PROJ_PS:
      ensure_constants();
      return static_cast<float>(direction + rotation_ps(x, y));
    case PROJ_LAMB:
      ensure_constants();
      return static_cast<float>(direction + std::atan2(x, -st.hemi * y) * DEG);
    default:
      return direction;
  }
}

float MAP_uvdir_adj(float, float, float x, float y) {
  if (st.domain.proj != PROJ_PS) return 0.0f;
  ensure_constants();
  return static_cast<float>(-rotation_ps(x, y));
}

float MAP_dir(float x0, float y0, float x1, float y1) {
  double d = std::atan2(x1 - x0, y1 - y0) * DEG;
  if (st.domain.proj == PROJ_PS) {
    ensure_constants();
    d += rotation_ps(x0, y0);
  }
  return static_cast<float>(d);
}

void MAP_set_plot_limit(int limit) { st.grid_limit = limit; }

void MAP_plot_grid_init() {
  st.plot_cells.clear();
  st.plot_nx = st.domain.nx;
  st.plot_ny = st.domain.ny;
  if (st.plot_nx < 1 || st.plot_ny < 1) return;
  const long long scale = st.grid_limit > 1 ? static_cast<long long>(st.grid_limit) * st.grid_limit : 1;
  const long long size = scale * st.plot_nx * st.plot_ny;
  // A grid this large would thin nothing anyway; plot every station instead.
  if (size > 64LL * 1024 * 1024) {
    MESS_print(MESS_WARN, "MAP_plot_grid_init: station grid too large (%lld cells)\n", size);
    return;
  }
  try {
    st.plot_cells.assign(static_cast<std::size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    st.plot_cells.clear();
  }
}

int MAP_plot_grid(float x, float y) {
  const int lim = st.grid_limit;
  if (lim == 0 || st.plot_cells.empty()) return 1;
  float fi = 0.0f, fj = 0.0f;
  if (MAP_grid_untran(&fi, &fj, x, y) < 0) return 0;
  const double i = fi, j = fj;
  if (!(i >= 0.0 && i <= st.plot_nx - 1 && j >= 0.0 && j <= st.plot_ny - 1)) return 0;
  if (lim == -1) return 1;
  long long cell;
  if (lim >= 1) {
    cell = static_cast<long long>(std::floor(lim * i + static_cast<double>(st.plot_nx) * lim * std::floor(lim * j)));
  } else {
    const double a = -lim;
    cell = static_cast<long long>(std::floor(i / a + st.plot_nx * std::floor(j / a)));
  }
  if (cell < 0 || cell >= static_cast<long long>(st.plot_cells.size())) return 0;
  if (st.plot_cells[static_cast<std::size_t>(cell)]) return 0;
  st.plot_cells[static_cast<std::size_t>(cell)] = 1;
  return 1;
}

// ---- domain records ----

void DOM_init(DomainRec* d) {
  if (!d) return;
  *d = DomainRec{MISSING_INT, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING_INT, MISSING_INT, 0};
}

void DOM_print(unsigned level, const DomainRec* d) {
  if (!d) return;
  const char* name;
  switch (d->proj) {
    case PROJ_PS: name = "pstereo"; break;
    case PROJ_LL: name = "latlon"; break;
    case PROJ_MERC: name = "merc"; break;
    case PROJ_LAMB: name = "lamb"; break;
    case PROJ_ORTHO: name = "ortho"; break;
    case PROJ_GNOM: name = "gnom"; break;
    case PROJ_MOLL: name = "moll"; break;
    case PROJ_LAMBAZ: name = "lambaz"; break;
    case PROJ_SAT: name = "sat"; break;
    case PROJ_XY: name = "xy"; break;
    case PROJ_XZ: name = "xz"; break;
    case PROJ_XLOGY: name = "xlogp"; break;
    case PROJ_HODO: name = "polar"; break;
    case PROJ_CAT: name = "cat"; break;
    case PROJ_XP: name = "xp"; break;
    case PROJ_SKEWT: name = "skewt"; break;
    case PROJ_STUVE: name = "stuve"; break;
    case PROJ_EMA: name = "ema"; break;
    case PROJ_TEPH: name = "teph"; break;
    case PROJ_RTEPH: name = "rteph"; break;
    case PROJ_ZOOM: name = "zoom"; break;
    case PROJ_SIZE: name = "size"; break;
    case PROJ_PIX: name = "pixel"; break;
    case MISSING_INT: name = "miss"; break;
    default: name = "unknown"; break;
  }
  std::string out = name;
  if (d->ext) out += ":e";
  char buf[64];
  for (float v : {d->plat, d->plon, d->p3, d->p4, d->p5}) {
    if (v == MISSING) {
      out += ":";
    } else {
      std::snprintf(buf, sizeof buf, ":%3.3f", v);
      out += buf;
    }
  }
  char tail[256];
  std::snprintf(tail, sizeof tail, ",%3.3f,%3.3f,%d,%d,%4.4f,%4.4f\n", d->clat, d->clon, d->nx, d->ny, d->dx, d->dy);
  out += tail;
  MESS_print(level, "%s", out.c_str());
}

int DOM_comp_proj(const DomainRec* a, const DomainRec* b) {
  if (!a || !b) return 0;
  const float alat = a->plat == MISSING ? a->clat : a->plat;
  const float blat = b->plat == MISSING ? b->clat : b->plat;
  const float alon = a->plon == MISSING ? a->clon : a->plon;
  const float blon = b->plon == MISSING ? b->clon : b->plon;
  return a->proj == b->proj && alat == blat && alon == blon && a->p3 == b->p3 && a->p4 == b->p4 &&
         a->p5 == b->p5 && a->p6 == b->p6 && a->p7 == b->p7 && a->ext == b->ext;
}

int DOM_comp(const DomainRec* a, const DomainRec* b) {
  if (!DOM_comp_proj(a, b)) return 0;
  return a->clat == b->clat && a->clon == b->clon && a->dx == b->dx && a->dy == b->dy && a->nx == b->nx &&
         a->ny == b->ny;
}

float DOM_aspect(const DomainRec* d) {
  if (!d || d->nx < 2 || d->ny < 2) return 1.0f;
  return static_cast<float>(d->nx - 1) / static_cast<float>(d->ny - 1);
}
