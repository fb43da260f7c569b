// Surface variable derivation: the value, second value and text of one variable at one
// station report, for contouring, gridding and station plots.
#pragma once

struct VarRec;
struct sfc_report;
struct RawDataRec;

// 1 when the record's name (up to the first '-', any case) is a surface variable, else 0;
// empty units in the record receive the variable's default units.
int SFC_get_var(VarRec* var);

// Fills data (val1, val2, text) for report and the variable of var, converting value 1
// into the record's units; empty units in the record receive the default units. 1 when the
// name is known, else 0 with data left at its initial values.
int SFC_get_data(const sfc_report* report, VarRec* var, RawDataRec* data);
