// X11 window dump (XWD) files: the header of 25 big-endian words, the window's name,
// the colour entries and the pixels as the server gave them.
#pragma once
#include <cstdio>

#include "graphics/img_tool.h"

constexpr int XWD_VERSION = 7;
constexpr int XWD_HEADER_WORDS = 25;

// 1, or 0 after the message of the step that failed.
int XWD_write(const char* path, const ImgRec* image);
// image->depth, when set, is the deepest picture accepted (the display's depth).
// 1, or 0 after a message.
int XWD_read(const char* path, ImgRec* image);
int XWD_read_stream(std::FILE* f, ImgRec* image);
