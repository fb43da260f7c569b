// Map projections: the current domain, its plot limits, forward and inverse
// transforms, grid and domain-to-domain transforms, wind-direction rotation and
// station thinning. Angles are degrees; latitude precedes longitude in every call.
// Plane units are centimetres at 1:10,000,000 (degrees for latlon); R = 63.7122.
#pragma once
#include <cstdint>

// A domain: the projection with its parameters, the centre, the grid spacings in
// projection-plane units and the grid size.
struct DomainRec {
  std::int32_t proj;
  float plat;
  float plon;
  float p3;
  float p4;
  float p5;
  float p6;
  float p7;
  float clat;
  float clon;
  float dx;
  float dy;
  std::int32_t nx;
  std::int32_t ny;
  std::int32_t ext;
};

// Projection codes of DomainRec::proj.
constexpr int PROJ_PS = 1;  // polar stereographic
constexpr int PROJ_LL = 2;  // latitude-longitude
constexpr int PROJ_MERC = 3;  // Mercator
constexpr int PROJ_LAMB = 4;  // Lambert conformal
constexpr int PROJ_ORTHO = 5;  // orthographic
constexpr int PROJ_GNOM = 6;  // gnomonic
constexpr int PROJ_MOLL = 7;  // Mollweide
constexpr int PROJ_LAMBAZ = 8;  // Lambert azimuthal equal-area
constexpr int PROJ_SAT = 9;  // satellite view
constexpr int PROJ_XY = 20;  // diagrams: plain x-y
constexpr int PROJ_XZ = 21;
constexpr int PROJ_XLOGY = 22;  // x and logarithmic y (also "vert")
constexpr int PROJ_HODO = 23;  // hodograph
constexpr int PROJ_CAT = 24;
constexpr int PROJ_XP = 25;
constexpr int PROJ_SKEWT = 40;  // skew-T log-p (also "therm")
constexpr int PROJ_STUVE = 41;
constexpr int PROJ_EMA = 42;  // emagram
constexpr int PROJ_TEPH = 43;  // tephigram
constexpr int PROJ_RTEPH = 44;  // rotated tephigram
constexpr int PROJ_ZOOM = 50;  // a zoom of the current domain
constexpr int PROJ_SIZE = 51;  // a plain picture size
constexpr int PROJ_PIX = 99;  // pixels

void DOM_init(DomainRec* domain);
// "name[:e]:plat:plon:p3:p4:p5,clat,clon,nx,ny,dx,dy" at the message level.
void DOM_print(unsigned level, const DomainRec* domain);
// Same domain (unset plat/plon count as the centre); 1 or 0.
int DOM_comp(const DomainRec* a, const DomainRec* b);
// Same projection and projection parameters; 1 or 0.
int DOM_comp_proj(const DomainRec* a, const DomainRec* b);
// (nx-1)/(ny-1), 1.0 when either count is below 2.
float DOM_aspect(const DomainRec* domain);


// Earth radius in plane units (6371.22 km at 1:10,000,000).
constexpr float MAP_EARTH_RAD = 63.7122f;
// Equatorial and polar radii of the ellipsoid of the satellite view ("e"), plane units.
constexpr double MAP_EQ_RAD = 63.78137;
constexpr double MAP_POL_RAD = 63.56752;

// Projection name -> code by case-insensitive prefix (-1 unknown or null).
int MAP_proj_str(const char* name);
// Forgets the current domain, its constants and the station thinning cells.
void MAP_reset_tran_state();

// Makes a copy of domain current (null clears it: proj -9999, result -1).
// Returns 1 when a domain was set.
int MAP_domain(const DomainRec* domain);
// Copies the current domain into domain.
void MAP_get_domain(DomainRec* domain);
// Recomputes the plot limits of the current domain.
void MAP_set_limits();
// Prints the current domain at the print level.
void MAP_print_domain();

// Forward: 1 on success, 0 when the point is not visible (outputs -9999.0).
int MAP_tran(float* x, float* y, float lat, float lon);
// Inverse: 1 on success, 0 outside the projection's range (outputs -9999.0).
int MAP_untran(float* lat, float* lon, float x, float y);
// Projection of the current domain's centre.
int MAP_tran_center(float* x, float* y);
// Projection of the current domain's reference point (plat, plon).
int MAP_tran_ep(float* x, float* y);

// Grid coordinates (column, row; row 0 is the top row) <-> plane coordinates.
// A first input of -9999.0 gives -9999.0 outputs and -1.
int MAP_grid_tran(float* x, float* y, float column, float row);
int MAP_grid_untran(float* column, float* row, float x, float y);

// Inside the plot limits (always with no domain set).
int MAP_in_domain(float x, float y);
// Inside the plot limits widened by three grid spacings.
int MAP_in_grid_domain(float x, float y);

// Carries a point of from's plane into to's plane; the current domain is kept.
// Returns 1, or 0 when the point cannot be shown in to (outputs -9999.0).
int MAP_domain_tran(const DomainRec* from, const DomainRec* to, float* x_out, float* y_out, float x,
                    float y);

// The point distance_km away from (x0, y0) along bearing direction (degrees).
int MAP_offset(float* x, float* y, float x0, float y0, float direction, float distance_km);
// Map scale factor used by grid derivatives.
float MAP_factor(float lat);
// True scale of the current conformal projection at latitude lat: plane length over the
// length on the earth (both in plane units), 1 at the true latitude. Polar stereographic,
// Lambert conformal and Mercator depend on latitude alone; other projections give 1.
// -9999.0 where the scale is infinite (a pole the projection cannot show).
float MAP_point_scale(float lat);

// Accessors of the current domain.
int MAP_get_proj();
float MAP_get_clat();
float MAP_get_clon();
// limits: x minimum, x maximum, y minimum, y maximum.
void MAP_get_limits(float limits[4]);
void MAP_get_up_left(float* x_min, float* y_max);
// Overrides the plot limits (used for zoomed views).
void MAP_set_view(float x_min, float x_max, float y_min, float y_max);
// Lambert only: sets p3, p4 and the true latitudes.
void MAP_proj_coord(float tlat1, float tlat2);
// The true latitudes the current domain is projected with (pstereo: the first; lamb:
// both), as MAP_domain settled them from the domain's parameters.
void MAP_get_true_lats(float* tlat1, float* tlat2);
// Distance of the satellite of a sat domain from the earth's centre, plane units.
float MAP_get_sat_rad();
// Sets plat and plon; clears the cached projection constants.
void MAP_coord(float plat, float plon);
// Sets the projection code; clears the cached projection constants.
void MAP_proj(int code);

// Wind directions (meteorological degrees) at plane point (x, y) of the current domain.
// True -> map direction.
float MAP_dir_adj(float direction, float x, float y);
// Map -> true direction.
float MAP_undir_adj(float direction, float x, float y);
// The polar-stereographic rotation angle at (x, y) (0 for other projections); u and v
// are not used.
float MAP_uvdir_adj(float u, float v, float x, float y);
// True direction of the segment (x0, y0) -> (x1, y1).
float MAP_dir(float x0, float y0, float x1, float y1);

// Station thinning: one station per cell of a grid refined or coarsened by the limit.
void MAP_set_plot_limit(int limit);
void MAP_plot_grid_init();
int MAP_plot_grid(float x, float y);
