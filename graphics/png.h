// PNG files through libpng: an image record written as an 8-bit palette picture, and PNG
// files of any kind read back into a record.
#pragma once
#include <cstdio>

#include "graphics/img_tool.h"

// 1, or 0 after "Unable to open PNG file\n" or a library error.
int PNG_write(const char* path, const ImgRec* image);
// 1, or 0 after a message. Palette pictures become 8-bit colour-mapped records, the
// others 32-bit direct colour.
int PNG_read(const char* path, ImgRec* image);
int PNG_read_stream(std::FILE* f, ImgRec* image);
