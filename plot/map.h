// Map background: the map list, latitude-longitude lines and continent fill, drawn in
// normalisation transformation 2 over the current domain.
#pragma once

#include "plot/region.h"

// Makes domain current and selects transformation 2 over its plot limits.
int MAP_setup(const DomainRec* domain);
// Draws the map items selected by mask: 1 "-" items, 2 "+" items, 4 unprefixed items.
int MAP_draw(int mask);
void MAP_fill_cont(int on);
int MAP_get_fill_cont();
// Attribute string overriding the default map attributes (null or empty: none).
void MAP_set_format(const char* attributes);
// Latitude-longitude lines: cross marks every `dot` degrees, extra labels every `extra`
// degrees (0: none), lines every dlat and dlon degrees (0: no lines).
void MAP_latlon(int dot, int extra, float dlat, float dlon);
void MAP_get_latlon(float* dlat, float* dlon);
