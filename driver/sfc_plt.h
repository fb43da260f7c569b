// Surface plot loop: input kind, file date, variable prompt and the plot over files.
#pragma once

#include "files/date.h"
#include "plot/region.h"

struct DataDesc;

// Lower modules ask higher ones through callbacks: the file module converts the hour
// resource, the variable module names models for the date labels, the grid module tells
// the variable parser its function names, and the station database places "id:" domain
// centres. Registers them all; call it before the resources are read.
void SFC_connect();

// Chooses the input naming convention and the input kind (flag 14: 10 surface, 11 fronts)
// from the "input" and "in_file" resources.
int SFC_cvt_in_file();

// Sets the requested date (the first date of the file sequence) from date, or, when date
// is null, from the date of the file module's current file (FILE_get_date).
void SFC_set_date(const DateRec* date);

void SFC_set_prompt_variable(int flag);
// The next variable; 0 when there is none (end of the variable loop).
int SFC_prompt_variable();
// Plots the current variable list over the domain for every selected file. Also the zoom
// and resize function of the plot manager: re-entered while the plot is open.
void SFC_plot(const DomainRec* domain);
// Draws one frame from the open file.
void SFC_plot_frame();
// Replots when the current file changed (the window's refresh timer).
void SFC_plot_refresh();
// Reads "refresh" from the plot_param resource.
void SFC_plot_param();
int SFC_get_refresh();

// Descriptor callbacks.
// Selects the grid-output naming convention from out_file; the grid file format code
// (2 package text, 3 package binary, 11 netCDF), also set as flag 17, or 0 for none.
int SFC_grd_out_file();
// Selects the raw-output naming convention from out_file; 1 when station values are to
// be written.
int SFC_raw_out_file();
void SFC_grid_data(DataDesc* desc);
int SFC_plot_data(int index, DataDesc* desc);
int SFC_callback(const char* event, float x, float y);

// A file time in seconds rounded down to a multiple of the late offset (truncating
// toward zero; an offset below 1 leaves the time as it is).
int SFC_round_time(int seconds, int late_off);

// Back to a fresh program: no request, date or file sequence.
void SFC_reset_plot_state();
