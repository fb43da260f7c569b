// Text of the kernel: the text attributes and gtext. Every setter passes only changes on
// to the device; strings go to the device's text hook (the stroke renderer draws through
// the same entry once fonts are loaded).
#pragma once

// Alignment codes: horizontal 0 normal, 1 left, 2 centre, 3 right; vertical 0 normal,
// 1 top, 2 cap, 3 half, 4 base, 5 bottom.
int gset_char_ht(float height);
int gset_expan(float expansion);
int gset_text_width(float width);
int gset_space(float space);
int gset_char_space(float space);
int gset_text_align(int horizontal, int vertical);
int gset_char_up_vec(float x, float y);
int gset_text_colr_ind(int index);
int gset_fontprec(int font, int precision);
int gset_text_path(int path);
void ginq_text_align(int* horizontal, int* vertical);
void greset_text();
void ginit_text(int mode);

float gget_char_ht();
float gget_expan();
float gget_text_width();
float gget_space();
float gget_char_space();
void gget_char_up_vec(float* x, float* y);
int gget_text_colr();
int gget_font();

// Drop shadow of text and markers on the window devices (0: none).
int gset_font_drop(int depth);
int gset_font_drop_color(int index);
int gget_font_drop();
int gget_font_drop_color();

// A font list given by the program (comma-separated "name file" entries or file names);
// used before the "font_list" resource.
void gset_font_list(const char* list);
// A name beginning with a digit is its number; otherwise the position (from 1) of the font
// of that name in the font list, case ignored; 1 when not found.
int gget_font_index(const char* name);

// Draws a string at a world position (x, y).
int gtext(const float position[2], const char* string);
