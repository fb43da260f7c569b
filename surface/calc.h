// Scalar thermodynamic and comfort formulas.
//
// Temperatures in kelvin, pressures and vapour pressures in millibars, mixing ratio and
// specific humidity in g/kg, wind speed in m/s, heights in metres, angles in degrees.
// Every function returns -9999.0 (or 0.0 where noted) for inputs outside its domain and
// passes a missing input (-9999.0) through as missing.
//
// Arguments named "x" accept either a temperature or a moisture quantity: a value of at most
// 100 is a vapour pressure (mb) or mixing ratio (g/kg), a larger one a temperature (K).
#pragma once

// Potential temperature of T at p.
float pot_temp(float t, float p);
// Temperature on the dry adiabat theta at p (0 for invalid input).
float temp_on_dryad(float theta, float p);
// Temperature at the lifting condensation level p_lcl of a parcel (T, p).
float lcl_temp(float t, float p, float p_lcl);
// Pressure of the lifting condensation level.
float lcl_pres(float t, float td, float p);
// Saturation vapour pressure over water.
float vapor_pr(float t);
// Temperature whose saturation vapour pressure is e (0 for e <= 0).
float temp_vapor_pr(float e);
// Temperature on the saturation mixing-ratio line w at p (0 for invalid input).
float temp_on_mixrat(float w, float p);
// Relative humidity (%) of T and Td (or of two vapour pressures).
float rel_hum(float t, float td);
// Dew point of T at relative humidity RH (%).
float dew_temp(float t, float rh);
// Mixing ratio (g/kg) of a dew point or vapour pressure x at p.
float mix_ratio(float x, float p);
// Specific humidity (g/kg) of a dew point or vapour pressure x at p.
float spec_hum(float x, float p);
// Virtual temperature of T with dew point or mixing ratio x at p.
float virt_temp(float t, float x, float p);
// Virtual potential temperature of T with dew point or mixing ratio x at p.
float virt_pot_temp(float t, float x, float p);
// Equivalent potential temperature of a saturated parcel (0 for invalid input).
float thetae_on_satad(float t, float p);
// Equivalent potential temperature.
float eq_pot_temp(float t, float td, float p);
// Temperature on the saturated adiabat thetae at p.
float temp_on_satad(float thetae, float p);
// Wet-bulb temperature.
float wet_bulb(float t, float td, float p);
// Wet-bulb potential temperature.
float wet_bulb_pot_temp(float t, float td, float p);
// Convective temperature at p_sfc of the mixing ratio w at p.
float conv_temp(float w, float p, float p_sfc);
// Heat index (K).
float heat_index(float t, float td);
// Humiture (degrees F).
float humiture(float t, float td);
// Temperature-humidity index.
float temp_hum_index(float t, float td);
// Wind chill heat-loss index (W/m^2); T itself for calm wind or T > 306.15 K.
float wind_chill(float t, float v);
// Wind chill temperature (K).
float wind_chill_temp(float t, float v);
// Wind chill temperature, second formula (K).
float wind_chill_temp2(float t, float v);
// Pressure altitude (m) of p in the standard atmosphere.
float pres_alt(float p);
// Station pressure (mb) from the altimeter setting (mb) and the elevation (m).
float sfc_pr_alt(float alt, float z);
// Temperature at p interpolated in log p between (T1, p1) and (T2, p2).
float interp_temp(float t1, float t2, float p1, float p2, float p);
// Great-circle distance (km) between two points given in degrees.
float calc_earth_dist(float lat1, float lon1, float lat2, float lon2);
