// Surface plot loop: input kind, file date, variable prompt and the plot over files.
#pragma once

#include "files/date.h"
#include "plot/region.h"

// Chooses the input naming convention and the input kind (flag 14: 10 surface, 11 fronts)
// from the "input" and "in_file" resources.
int SFC_cvt_in_file();

// Sets the requested date (the first date of the file sequence) from date, or, when date
// is null, from the date of the file module's current file (FILE_get_date).
void SFC_set_date(const DateRec* date);

// Variable loop and plot (placeholders until the plot loop lands).
void SFC_set_prompt_variable(int flag);
// The next variable; 0 when there is none (end of the variable loop).
int SFC_prompt_variable();
// Plots the current variable list over the domain for every selected file.
void SFC_plot(const DomainRec* domain);
