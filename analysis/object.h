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
void OBJ_decode_format(const char* format);
void OBJ_decode_params();
// Analyses data[k] (null: not analysed) for k < num_var into grids[k]. x and y are the
// station map positions; they are overwritten with grid coordinates. 0, or -1.
int OBJ_analyze(float* x, float* y, float** data, int num_stats, int num_var, GridRec* grids);
