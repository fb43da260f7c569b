// Grid records and grid operations: the record every gridded field travels in, the slot
// table of 60 grids (slot = variable index), life cycle, header setting, values, scaling,
// units, point coordinates and the evaluation of derived grid variables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/date.h"
#include "plot/region.h"

struct GridRec {
  std::int32_t type;     // model grid type; 2 for analysed fields
  std::int32_t source;   // 0: slot empty; 1: analysed; else the originating centre
  std::int32_t version;  // 1 once filled; 0 after a new domain
  char label[50];        // date/time label
  char datatype[70];     // description, e.g. "Latitude (deg)"
  DateRec date;
  std::int32_t model;
  std::int32_t ltype;
  std::int32_t level;
  std::int32_t time;
  std::int32_t var;
  char units[16];
  DomainRec domain;
  float* values;  // nx*ny values, rows of nx, top row first; owned (GRD_alloc/GRD_free)
};

// The header a grid file keeps of each grid (GRD_set_info fills it from a grid).
struct GridInfo {
  char label[40];
  std::int32_t nx;
  std::int32_t ny;
  std::int32_t grid_type;  // 0 projection and domain, 1 coordinate arrays
  DateRec date;
  char name[20];  // the grid's variable: names its values in a CF grid file ("" gives "grid_values")
};

constexpr int GRD_MAX_SLOTS = 60;
// Largest grid accepted from a file: protects against absurd sizes in damaged headers.
constexpr std::int64_t GRD_MAX_FILE_POINTS = 50'000'000;

// ---- slot table and header setting ----
GridRec* GRD_get_grid(int slot);
GridRec* GRD_get_grids();
void GRD_init_grids();
void GRD_set_grid(int slot, const GridRec* grid);
void GRD_set_grid_domain(int slot, const DomainRec* domain);
void GRD_set_grid_date(int slot, const DateRec* date, const char* label);
void GRD_set_grid_info(int slot, const char* datatype);
const char* GRD_get_grid_info(int slot);
void GRD_set_var(int slot);
void GRD_make_datatype(GridRec* grid);
// Prepares the grid-file information record: its date, its size from domain, position 0.
void GRD_set_info(GridInfo* info, const DateRec* date, const DomainRec* domain);
// Collects the argument grids of a derived variable (null-terminated grids list; consts
// may be null). A negative count means all. Returns the index of the last argument when
// count arguments were found, else the index where the walk stopped (the first variable
// of a shallower depth after an argument, or the number of variables).
int GRD_find_param_grids(int start, int count, int group, GridRec** grids, float* consts);
void GRD_set_grid_factor(int factor);
int GRD_get_grid_factor();

// ---- life cycle ----
void GRD_init(GridRec* grid);
// Allocates nx*ny values (an array already held is resized, so the record must have been
// through GRD_init); 1, or 0 after "GRD_alloc: No memory for grid field\n".
int GRD_alloc(GridRec* grid);
int GRD_alloc_grid(int slot);
// Releases the values (and marks the grid empty: source 0, domain unset).
void GRD_free(GridRec* grid);
// Releases the values alone, keeping the header. Every array of values is released through
// these two, so none is freed behind the owner's back.
void GRD_free_values(GridRec* grid);
void GRD_copy(GridRec* dst, const GridRec* src);
void GRD_move(GridRec* dst, GridRec* src);
void GRD_copy_info(GridRec* dst, const GridRec* src);

// ---- values ----
// 0, or -1 without values; both results -9999.0 when no value is valid.
int GRD_maxmin(const GridRec* grid, float* max, float* min);
float GRD_get_value(const GridRec* grid, float x, float y);
float GRD_get_value_domain(const GridRec* grid, const DomainRec* domain, float* x, float* y);
// Sets the grid point nearest to grid coordinates (x, y); 1 when set, 0 outside the grid.
int GRD_edit_value(GridRec* grid, float x, float y, float value);
void GRD_print_value(const GridRec* grid, float x, float y);
void GRD_print_value2(const GridRec* u, const GridRec* v, float x, float y);
void GRD_scale(GridRec* grid, float factor);
void GRD_offset(GridRec* grid, float add);
// 0, or -1 without values (or when the units table cannot be read: values unchanged).
int GRD_units(GridRec* grid, const char* units);
// Largest speed (also in *max); -9999.0 when no point counts, -1 without values.
float GRD_UVmax(const GridRec* u, const GridRec* v, float* max);
// what: "lat", "lon", "projx", "projy". 0, or -1 without values or for another word.
int GRD_point_locate(GridRec* grid, const char* what);
// Fills *X and *Y (reallocated with std::malloc, freed with std::free) with the map
// coordinates in target (null: the current domain) of every grid point; 0, or -1 on
// failure (both arrays then null).
int GRD_proj_XY(const GridRec* grid, const DomainRec* target, float** X, float** Y);
int GRD_calc_var();

// Saves the current map domain and its view limits and puts both back when it goes out of
// scope (an unset domain stays unset), so a zoomed view of the caller survives a detour
// through a grid's domain.
class GRD_DomainGuard {
 public:
  GRD_DomainGuard();
  ~GRD_DomainGuard();
  GRD_DomainGuard(const GRD_DomainGuard&) = delete;
  GRD_DomainGuard& operator=(const GRD_DomainGuard&) = delete;
  const DomainRec& domain() const { return domain_; }

 private:
  DomainRec domain_{};
  float limits_[4]{};
};

// ---- grid math ----
int GRD_is_math_func(const char* name);  // class code, 0 when not a grid function
int GRD_is_plot_func(const char* name);
int GRD_is_vect_func(const char* name);
// Fills the output grid(s) (two for vector functions) from the argument grids and the
// parallel constants (up to 20, -9999.0 for none; a constant stands where its grid is
// null); non-zero on success. Temperatures come out in K.
int GRD_math(const char* name, GridRec** out, GridRec** args, const float* consts);
// Makes nout outputs ready for nargs arguments: each position needs a grid with values or
// a constant, and all grids one size; outputs take the first grid's header when they have
// none of that size, and units (with label as datatype) when units is given. 1, else 0.
int GRD_math_setup(const char* name, GridRec** out, int nout, GridRec** args, const float* consts, int nargs,
                   const char* units, const char* label);
// Argument index at a point: the grid's value, else the constant.
float GRD_get_math_val(int index, GridRec** args, const float* consts, std::size_t point);
// Arguments up to the first position with neither a grid nor a constant (at most 20).
int GRD_find_num_data(GridRec** args, const float* consts);

// Derivatives: per 100 km on the earth (map factors applied), so m/s winds give 1e-5 /s.
// Centred differences, one-sided at the edges and next to missing points; a missing
// point gives -9999.0. Outputs are allocated (with the input's header) when they have no
// values. 0, or -1 without input values or output memory.
int GRD_dx(GridRec* in, GridRec* out);
int GRD_dy(GridRec* in, GridRec* out);  // positive northward
int GRD_vorticity(GridRec* u, GridRec* v, GridRec* out);
// Convergence, times s point by point when s is given.
int GRD_converge(GridRec* u, GridRec* v, GridRec* out, GridRec* s);
int GRD_advection(GridRec* u, GridRec* v, GridRec* s, GridRec* out);
int GRD_deformation1(GridRec* u, GridRec* v, GridRec* out);  // stretching
int GRD_deformation2(GridRec* u, GridRec* v, GridRec* out);  // minus the shearing
int GRD_laplacian(GridRec* in, GridRec* out);
// Combines every value with the Coriolis parameter (1e-5 /s): "add", "sub", "sub-",
// "mul", "div", "div-". 0, or -1 without values or for another operation.
int GRD_coriolis(GridRec* grid, const char* operation);

// Frees every slot and forgets the grid factor and the map factors: a fresh program.
void GRD_reset_state();
