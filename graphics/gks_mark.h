// Polymarkers and their attributes: type (the 9 shapes), size, line width and colour.
#pragma once

constexpr int GKS_NUM_MARKERS = 9;

int gpolymarker(int n, const float* points);

int gset_marker_type(int type);
int gset_marker_size(float size);
int gset_marker_width(float width);
int gset_marker_colr_ind(int index);
void greset_marker();
void ginit_marker(int mode);
int gget_marker_type();
float gget_marker_size();
float gget_marker_width();
int gget_marker_colr();

// Half the marker size in device units of the open type (integer part).
int gget_marker_half();

// Back to the state of a fresh start: everything the marker attributes holds.
void gmark_reset_state();
