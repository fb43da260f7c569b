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
// The same analysis by the plain loop over every grid point and every station, one
// thread: the reference for OBJ_analyze.
int OBJ_analyze_direct(float* x, float* y, float** data, int num_stats, int num_var,
                       GridRec* grids);
