// Fill areas and their attributes: interior style (1 solid, 2 pattern), pattern index
// (the 20 patterns of 8 by 8 pixels), colour and the print-solid flag.
#pragma once

constexpr int GKS_NUM_PATTERNS = 20;

int gfill_area(int n, const float* points);

int gset_fill_int_style(int style);
int gset_fill_style_ind(int index);
int gset_fill_colr_ind(int index);
int gset_fill_print_solid(int flag);
void greset_fill();
void ginit_fill(int mode);
void gdel_fill_pat();
int gget_fill_colr();
int gget_fill_int_style();
int gget_fill_style_ind();
int gget_fill_print_solid();

// The eight rows of a pattern (one byte a row from the top, the lowest bit the leftmost
// pixel); null for an index outside 0..19.
const unsigned char* gget_fill_pattern(int index);
// Whether pixel (x, y) of a pattern is set.
int gfill_test(int pattern, int x, int y);

// Back to the state of a fresh start: everything the fill attributes holds.
void gfill_reset_state();
