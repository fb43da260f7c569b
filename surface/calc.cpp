// Scalar thermodynamic and comfort formulas (see calc.h for units).
#include "surface/calc.h"

#include <algorithm>
#include <cmath>

#include "config/missing.h"

namespace {

constexpr double kRdCp = 0.286;        // R/cp of dry air
constexpr double kEps1000 = 622.0;     // 1000 x (Rd/Rv), gives g/kg
constexpr double kLvCp = 2.6518986;    // Lv/cp scaled for g/kg mixing ratios
constexpr double kSiple = 306.15;      // skin temperature of the old wind chill index (K)

bool missing(float v) { return v == MISSING; }

// Equivalent-potential-temperature factor exp(-Lv w / cp T) of a parcel at (T, p), or a negative
// value when the parcel is too warm to have a mixing ratio at p (vapour pressure above p).
double latent_factor(float t, float p) {
  const float w = mix_ratio(t, p);
  if (w < 0.0f) return -1.0;
  return std::exp(-kLvCp * w / t);
}

// Vapour pressure (mb) of a moisture argument: itself when at most 100, else the saturation
// vapour pressure of it taken as a temperature.
float vapour_of(float x) { return x <= 100.0f ? x : vapor_pr(x); }

// Equivalent potential temperature through the lifting condensation level; missing when the
// level cannot be found.
float thetae_via_lcl(float t, float td, float p) {
  const float p_lcl = lcl_pres(t, td, p);
  if (missing(p_lcl)) return MISSING;
  const float t_lcl = lcl_temp(t, p, p_lcl);
  if (missing(t_lcl) || t_lcl <= 0.0f) return MISSING;
  return thetae_on_satad(t_lcl, p_lcl);
}

}  // namespace

float pot_temp(float t, float p) {
  if (p <= 0.0f || t <= 0.0f) return MISSING;
  return static_cast<float>(t * std::pow(1000.0 / p, kRdCp));
}

float temp_on_dryad(float theta, float p) {
  if (missing(theta) || missing(p)) return MISSING;
  if (theta <= 0.0f || p <= 0.0f) return 0.0f;
  return static_cast<float>(theta * std::pow(p / 1000.0, kRdCp));
}

float lcl_temp(float t, float p, float p_lcl) {
  if (missing(t) || missing(p) || missing(p_lcl)) return MISSING;
  const float theta = pot_temp(t, p);
  if (missing(theta)) return MISSING;
  return temp_on_dryad(theta, p_lcl);
}

float lcl_pres(float t, float td, float p) {
  if (t <= 100.0f || td <= 100.0f || p <= 0.0f || p > 1100.0f) return MISSING;
  const float w = mix_ratio(td, p);
  const float theta = pot_temp(t, p);
  if (w <= 0.0f || missing(theta)) return MISSING;
  float d = temp_on_mixrat(w, p) - temp_on_dryad(theta, p);
  for (int step = 0; step < 8 && d * d > 0.0001f; ++step) {
    p = p * static_cast<float>(std::pow(2.0, 0.02 * d));
    if (!std::isfinite(p) || p <= 0.0f) return MISSING;
    d = temp_on_mixrat(w, p) - temp_on_dryad(theta, p);
  }
  return p;
}

float vapor_pr(float t) {
  if (t < 0.0f) return MISSING;
  if (t < 100.0f) return 0.0f;
  const double td = t;
  const double x = 23.832241 - 5.02808 * std::log10(td) -
                   1.3816e-7 * std::pow(10.0, 11.344 - 0.0303998 * td) +
                   0.008132801 * std::pow(10.0, 3.49149 - 1302.8844 / td) - 2949.076 / td;
  return static_cast<float>(std::pow(10.0, x));
}

float temp_vapor_pr(float e) {
  if (missing(e)) return MISSING;
  if (e <= 0.0f) return 0.0f;
  const double ed = e;
  const double r = std::pow(ed, 0.0915) - 1.2035;
  return static_cast<float>(std::pow(10.0, 0.0498646455 * std::log10(ed) + 2.4082965) - 7.08475 +
                            38.9114 * r * r);
}

float temp_on_mixrat(float w, float p) {
  if (missing(w) || missing(p)) return MISSING;
  if (w <= 0.0f || p <= 0.0f) return 0.0f;
  const double e = static_cast<double>(w) * p / (w + kEps1000);
  return temp_vapor_pr(static_cast<float>(e));
}

float rel_hum(float t, float td) {
  if (t <= 0.0f || td <= 0.0f) return MISSING;
  if (t <= 100.0f && td <= 100.0f) return 100.0f * td / t;
  const float et = vapor_pr(t);
  if (et <= 0.0f) return MISSING;
  return 100.0f * vapor_pr(td) / et;
}

float dew_temp(float t, float rh) {
  if (missing(rh) || t <= 0.0f) return MISSING;
  rh = std::clamp(rh, 2.0f, 100.0f);
  return temp_vapor_pr(vapor_pr(t) * rh / 100.0f);
}

float mix_ratio(float x, float p) {
  if (missing(x) || missing(p)) return MISSING;
  if (x <= 0.0f || p <= 0.0f) return 0.0f;
  const double e = vapour_of(x);
  if (e >= p) return MISSING;  // boiling: no mixing ratio exists
  return static_cast<float>(kEps1000 * e / (p - e));
}

float spec_hum(float x, float p) {
  if (missing(x) || missing(p)) return MISSING;
  if (x <= 0.0f || p <= 0.0f) return 0.0f;
  const double e = vapour_of(x);
  return static_cast<float>(kEps1000 * e / p);
}

float virt_temp(float t, float x, float p) {
  if (t <= 0.0f || x < 0.0f || p < 0.0f) return MISSING;
  if (x == 0.0f) return t;
  const float w = x <= 100.0f ? x : mix_ratio(x, p);
  if (w < 0.0f) return MISSING;
  return static_cast<float>(t * (1.0 + 0.609 * w / 1000.0));
}

float virt_pot_temp(float t, float x, float p) {
  if (t <= 0.0f || x < 0.0f || p < 0.0f) return MISSING;
  if (x == 0.0f) return pot_temp(t, p);
  if (p <= 0.0f) return MISSING;
  const float tv = virt_temp(t, x, p);
  if (missing(tv)) return MISSING;
  return static_cast<float>(std::pow(1000.0 / p, kRdCp) * tv);
}

float thetae_on_satad(float t, float p) {
  if (missing(t) || missing(p)) return MISSING;
  if (t <= 0.0f || p <= 0.0f) return 0.0f;
  const double f = latent_factor(t, p);
  if (f <= 0.0) return MISSING;
  return static_cast<float>(t * std::pow(1000.0 / p, kRdCp) / f);
}

float eq_pot_temp(float t, float td, float p) {
  if (t <= 0.0f || td < 0.0f || p < 0.0f) return MISSING;
  if (td == 0.0f) return pot_temp(t, p);
  return thetae_via_lcl(t, td, p);
}

float temp_on_satad(float thetae, float p) {
  if (thetae <= 0.0f || p <= 0.0f || p > 2000.0f) return MISSING;
  float t = 253.16f;
  float step = 120.0f;
  for (int round = 0; round < 12; ++round) {
    const double f = latent_factor(t, p);
    // A parcel too warm to hold a mixing ratio at p lies above every saturated adiabat.
    const float x = f <= 0.0 ? -1.0f : static_cast<float>(thetae * f - pot_temp(t, p));
    if (x * x < 2e-5f) return t;
    step /= 2.0f;
    t += x > 0.0f ? step : -step;
  }
  return t;
}

float wet_bulb(float t, float td, float p) {
  if (t <= 0.0f || td < 0.0f || p < 0.0f) return MISSING;
  if (td == 0.0f) return 0.0f;
  const float thetae = thetae_via_lcl(t, td, p);
  if (missing(thetae)) return MISSING;
  return temp_on_satad(thetae, p);
}

float wet_bulb_pot_temp(float t, float td, float p) {
  if (t <= 0.0f || td < 0.0f || p < 0.0f) return MISSING;
  if (td == 0.0f) return 0.0f;
  const float thetae = thetae_via_lcl(t, td, p);
  if (missing(thetae)) return MISSING;
  return temp_on_satad(thetae, 1000.0f);
}

float conv_temp(float w, float p, float p_sfc) {
  if (missing(w) || missing(p) || missing(p_sfc)) return MISSING;
  const float theta = pot_temp(temp_on_mixrat(w, p), p);
  if (missing(theta)) return MISSING;
  return temp_on_dryad(theta, p_sfc);
}

float heat_index(float t, float td) {
  if (t < 0.0f || td < 0.0f || td > t) return MISSING;
  const double et = vapor_pr(t);
  if (et <= 0.0) return MISSING;
  const double rh = 100.0 * vapor_pr(td) / et;
  const double tf = (t - 273.15) * 9.0 / 5.0 + 32.0;
  double hi = (tf - 68.0) * 1.2 + 60.8 + 0.0936 * rh;
  if (hi >= 77.0) {
    const double t2 = tf * tf, t3 = t2 * tf, r2 = rh * rh, r3 = r2 * rh;
    hi = 16.0 + 0.185212 * tf + 5.37941 * rh - 0.100254 * tf * rh + 0.00941695 * t2 +
         0.00728898 * r2 + 0.000345372 * t2 * rh - 0.000814971 * tf * r2 + 1.02102e-5 * t2 * r2 -
         3.8646e-5 * t3 + 2.91583e-5 * r3 + 1.42721e-6 * t3 * rh + 1.97483e-7 * tf * r3 -
         2.18429e-8 * t3 * r2 + 8.43296e-10 * t2 * r3 - 4.81975e-11 * t3 * r3;
  }
  return static_cast<float>((hi - 32.0) * 5.0 / 9.0 + 273.15);
}

float humiture(float t, float td) {
  if (t < 0.0f || td < 0.0f) return MISSING;
  const double e = vapor_pr(td);
  const double tf = (t - 273.15) * 9.0 / 5.0 + 32.0;
  return static_cast<float>(e >= 21.0 ? tf + (e - 21.0) : tf);
}

float temp_hum_index(float t, float td) {
  if (t < 0.0f || td < 0.0f) return MISSING;
  return static_cast<float>(0.55 * t + 0.2 * td + 17.5);
}

float wind_chill(float t, float v) {
  if (v < 0.0f || t < 0.0f) return MISSING;
  if (v < 2.0f || t > kSiple) return t;
  const double s = std::min(v, 26.0f);
  return static_cast<float>((10.0 * std::sqrt(s) + 10.45 - s) * 1.1627 * (kSiple - t));
}

float wind_chill_temp(float t, float v) {
  if (v < 0.0f || t < 0.0f) return MISSING;
  if (v < 2.0f || t > kSiple) return t;
  const double s = std::min(v, 26.0f);
  return static_cast<float>(kSiple -
                            (0.474266 + 0.453843 * std::sqrt(s) - 0.0453843 * s) * (kSiple - t));
}

float wind_chill_temp2(float t, float v) {
  if (v < 0.0f || t < 0.0f) return MISSING;
  const double w = 0.6215 * t + 116.514 + std::pow(static_cast<double>(v), 0.16) * (0.4863 * t - 146.774);
  return static_cast<float>(std::min(w, static_cast<double>(t)));
}

float pres_alt(float p) {
  if (p <= 0.0f) return MISSING;
  if (p < 226.32f) return static_cast<float>(11000.0 + 6341.62 * std::log(226.32 / p));
  const float inner = static_cast<float>(288.15 * std::pow(p / 1013.25, 0.190263));
  return static_cast<float>((288.15 - inner) / 0.0065);
}

float sfc_pr_alt(float alt, float z) {
  if (alt <= 0.0f || missing(z)) return MISSING;
  const double base = (288.15 - 0.0065 * z) / 288.15;
  if (base <= 0.0) return MISSING;
  return static_cast<float>(alt * std::pow(base, 5.2558));
}

float interp_temp(float t1, float t2, float p1, float p2, float p) {
  if (p1 <= 0.0f || p2 <= 0.0f) return MISSING;
  if (missing(t1)) return t2;
  if (missing(t2)) return t1;
  if (p <= 0.0f) return MISSING;
  if (p1 == p2) return t1;
  return static_cast<float>(t1 - (t2 - t1) * std::log(static_cast<double>(p) / p1) /
                                     std::log(static_cast<double>(p1) / p2));
}

float calc_earth_dist(float lat1, float lon1, float lat2, float lon2) {
  if (missing(lat1) || missing(lon1) || missing(lat2) || missing(lon2)) return MISSING;
  constexpr double kRad = 0.017453292519943334;
  const double f1 = lat1 * kRad, f2 = lat2 * kRad, dl = (lon1 - lon2) * kRad;
  const float a = static_cast<float>(std::sin(f1) * std::sin(f2));
  const float b = static_cast<float>(std::cos(f1) * std::cos(f2) * std::cos(dl));
  const double c = std::clamp(static_cast<double>(a) + b, -1.0, 1.0);
  return static_cast<float>(std::acos(c) * 100.0 * 63.713);
}
