// Data-plot framework: the descriptor through which a data source is driven, the station
// arrays, gridding (set-up, reading, analysis, saving) and the per-variable plotting.
#pragma once

#include "files/date.h"
#include "plot/region.h"

struct GridRec;
struct StationRec;
struct VarRec;
struct RawDataRec;

struct DataDesc {
  int frame;
  int model;  // -9999 for observed data
  DateRec date;
  int (*raw_out)();
  int (*grid_out)();
  DomainRec plot_domain;
  DomainRec grid_domain;
  void* report;
  int (*get_var)(VarRec* var);
  int (*read_report)(void* report, StationRec* station);
  void (*rewind)(DataDesc* desc);
  int (*get_data)(void* report, VarRec* var, RawDataRec* value);
  int (*plot_data)(int index, DataDesc* desc);
  void (*grid_data)(DataDesc* desc);
  int (*callback)(const char* event, float x, float y);
};

// ---- data sets ----
void DATA_init(int size, int dimension);
void DATA_add_field(int index, const VarRec* var);
int DATA_chk_field(int index);
void DATA_add_loc(int station, float x, float y = 0.0F, float z = 0.0F);
void DATA_add_raw(int station, int field, const RawDataRec* value);
int DATA_get_raw(int station, int field, RawDataRec* value);
int DATA_get_num_stats();
void DATA_inc_num_stats(int n);
void DATA_print();
void DATA_free();
void DATA_new_grid();
// Capacity of the station arrays (800 after DATA_init, grown by 400).
int DATA_get_limit();
// 1 once the grids of the current file were computed.
int DATA_get_grid();
// File-name keys of variable i for grid and raw file names: 'v' name, 'l' level, 'f'
// forecast time.
void DATA_set_var_keys(int i);

// ---- gridding ----
int DATA_setup_grid(DataDesc* desc);
int DATA_get_data(DataDesc* desc);
// Analyses the station values into the grid slots, then checks each analysed grid.
int DATA_object_analyze();
// Warns once a domain when more than half of the analysed grid is missing while the
// domain's station priority left out stations_left_out reports with a value of it.
void DATA_check_sparse(const GridRec* grid, int stations_left_out);
int DATA_fit_grid(DataDesc* desc);
int DATA_save_grid(DataDesc* desc);

// Back to a fresh program: no stations, values, grids or warnings remembered.
void DATA_reset_state();
