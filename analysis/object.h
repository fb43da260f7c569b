// Objective analysis: successive-correction (Barnes-type) analysis of scattered station
// values onto the grids of the slot table.
#pragma once

struct GridRec;

void OBJ_initialize();
void OBJ_set_filter(float filter);
void OBJ_set_rad_inf(float radius);
void OBJ_set_num_pass(int passes);
void OBJ_set_converg(float converg);
void OBJ_set_min_sta(int min_sta);
void OBJ_set_miss_val(float miss_val);
// Current parameters; any pointer may be null.
void OBJ_get_params(float* filter, float* rad_inf, int* num_pass, float* converg, float* miss_val,
                    int* min_sta, int* grid_factor);
// Items of a ':'-separated format that begin with "miss" set the missing-value substitute:
// "miss=<number>" or "miss<number>" (e.g. "miss=0", "miss-5"). A bad number is reported
// and leaves the substitute unchanged.
void OBJ_decode_format(const char* format);
// Reads "plot_param" (miss items as above, "gridx<n>" or "gridx=<n>") and
// "object_param" (filter,radius,passes,convergence,minimum stations).
void OBJ_decode_params();
// Analyses data[k] (null: not analysed) for k < num_var into grids[k]. x and y are the
// station map positions; they are overwritten with grid coordinates. 0, or -1.
// Only stations within the radius of a grid point are visited, rows are shared among
// threads; results equal those of OBJ_analyze_direct.
int OBJ_analyze(float* x, float* y, float** data, int num_stats, int num_var, GridRec* grids);
// The analysis with the stations' identifiers (may be null), so that rejected reports can be
// listed by name.
int OBJ_analyze_ids(float* x, float* y, float** data, const char* const* ids, int num_stats, int num_var,
                    GridRec* grids);
// Quality control and cross-validation. k <= 0 switches the buddy check off; min_neighbours
// is the number of neighbours a station needs to be checked at all.
void OBJ_set_buddy(float k, int min_neighbours);
void OBJ_get_buddy(float* k, int* min_neighbours);
void OBJ_set_cross_valid(int on);
void OBJ_set_auto(int on);
// 1 when the last analysis rejected station s (index in the caller's arrays) for the
// variable of slot k, else 0: the station plots mark these.
int OBJ_rejected(int slot, int station);
// Number of reports of slot k the last analysis rejected.
int OBJ_num_rejected(int slot);
// The leave-one-out value at station s after the last pass of the last analysis in which
// the check, the cross-validation or the automatic choice was on: what the other stations
// give at its position with the same weights. -9999.0 when there is none.
float OBJ_loo_value(int slot, int station);
// Leave-one-out statistics of slot k after pass p (1-based) of that analysis: error =
// report - leave-one-out value. 0 when there are none.
int OBJ_loo_stats(int slot, int pass, double* bias, double* rms, double* max_abs, int* count);
// The same analysis by the plain loop over every grid point and every station, one
// thread: the reference for OBJ_analyze.
int OBJ_analyze_direct(float* x, float* y, float** data, int num_stats, int num_var,
                       GridRec* grids);

// Back to the default parameters, with no analysis results remembered.
void OBJ_reset_state();
