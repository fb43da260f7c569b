// Polylines and their attributes: line type (with the dash lists), width, colour and the
// print-bold factor.
#pragma once

// n points as x, y pairs in world coordinates; at least 2.
int gpolyline(int n, const float* points);

int gset_linetype(int type);
int gset_linewidth(float width);
int gset_line_colr_ind(int index);
int gset_line_print_bold(float factor);
void greset_line();
void ginit_line(int mode);
int gget_line_colr();
int gget_line_type();
float gget_line_width();
float gget_line_print_bold();

// Dash list of a line type (on, off lengths in pixels): the number of entries, 0 for a
// solid line or an unknown type.
int gget_dash(int type, const unsigned char** dashes);

// Back to the state of a fresh start: everything the line attributes holds.
void gline_reset_state();
