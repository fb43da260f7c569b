// The metafile device (workstation type 3) and metafile replay.
//
// Two forms: the text metafile ("ZAVMETA", one record a kernel call) and a binary form in
// the CGM binary encoding (big-endian 16-bit command words: class in bits 15-12, element
// in bits 11-5, parameter length in bits 4-0, 31 for the long form). The binary form
// draws its polylines as CGM polylines in print units, and carries every kernel call as
// its text record inside an ESCAPE element (class 6, element 1, identifier
// GMETA_ESCAPE_ID), which viewers skip and gread_metafile replays, so that both forms
// replay to the same picture.
#pragma once

#include "graphics/gks_dev.h"

constexpr int GMETA_TEXT = 0;
constexpr int GMETA_CGM = 1;
constexpr int GMETA_ESCAPE_ID = 0x5A56;

const GksDevice* gmeta_device();

int gmeta_open_file(const char* name);
void gmeta_init_file();
int gmeta_close_file();
// Writes only to a text metafile.
int gmeta_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void gmeta_set_type(int kind);
int gmeta_get_type();
// A CGM command word (and the extra word of the long form or a nonzero extra value).
void gcgm_control(int element_class, int element, int length, int extra);
// A CGM point from world coordinates of the current transformation, or print units.
void gcgm_point(float x, float y);
void gcgm_ps_point(float x, float y);

// Replays a text or binary metafile onto the open workstation through the kernel calls
// that wrote it. 0, or -1 when the file cannot be opened or nothing is open.
int gread_metafile(const char* path);

// Back to the state of a fresh start: everything the metafile writer holds.
void gmeta_reset_state();
