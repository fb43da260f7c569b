// Device colours: the colour of every index as the device knows it (0-255, the
// background -1 in slot 256), the print colours 500-508 and the background.
// The index constants (GKS_BACKGROUND, GKS_PRINT_FIRST, ...) are in gks_dev.h.
#pragma once

#include "graphics/gks_dev.h"

// -1 to 256 and the print colours 500 to 508.
int gis_valid_colr(int index);
// Defines colour index (three fractions) on the device. 0, or -1.
int gset_colr_rep(int ws_id, int index, const float rgb[3]);
// The device pixel of an index, -1 when it has none.
int gget_color_ind(int index);
// The fractions of an index (print colours: black, white or gray); -1 for an index
// that is not valid.
int gget_color_rgb(int index, float* r, float* g, float* b);
int gget_color_rgb256(int index, int* r, int* g, int* b);
// Forgets every pixel (a new device opens).
void gclear_colors();
// The colour a colour setter stores for index: 0 with *stored set, or -1 after the
// message under routine (no workstation, an invalid index, a window colour without a
// pixel). Print colours are drawn with colour 1 on the window devices.
int gsetter_colr(const char* routine, int index, int* stored);

// The background colour's name as given to gset_background ("" when none); ginit_background
// (colors.h) resolves it through the colour table.
void gset_background(const char* name);
const char* gget_background();
void gset_inverse(int on);
int gget_inverse();

// Back to the state of a fresh start: everything the workstation colours holds.
void gcolr_reset_state();
