// GIF files: writing an image record through an LZW encoder of our own (colours reduced
// to a palette of at most 256), and reading GIF files back into 8-bit colour-mapped
// records.
#pragma once
#include <cstdio>

#include "graphics/img_tool.h"

// Writer options: interlaced rows, and the background colour written as transparent.
void GIF_set_interlace(int on);
int GIF_get_interlace();
void GIF_set_transparent(int on);
int GIF_get_transparent();

// 1, or 0 after "Unable to open GIF file\n" or a write error.
int GIF_write(const char* path, const ImgRec* image);
// 1, or 0 after a message; the first image of the file.
int GIF_read(const char* path, ImgRec* image);
int GIF_read_stream(std::FILE* f, ImgRec* image);

// Back to the state of a fresh start: everything the GIF writer (interlace, transparency) holds.
void GIF_reset_state();
