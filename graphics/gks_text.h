// Text of the kernel: the text attributes, the font list, stroke fonts and the stroke
// renderer. Every setter passes only changes on to the device. Strings are drawn with the
// current stroke font on every device (a text metafile keeps the string itself), so that
// labels look the same in the window, on paper and on a plotter.
//
// Stroke font file (text, whitespace-separated decimal numbers): either 255 and the vertex
// codes directly, or a header of a number and a name, the vertex codes, and after each
// glyph's closing 255 a label; 254 ends the codes; then 256 numbers, the position of each
// character's first code in the store (-1: no glyph). A glyph is byte pairs (x, y) ended
// by 255: x below 128 draws to (x, y), x from 128 to 253 moves to (x - 128, y). Font units
// put the baseline at y = 35, half height at 85, capitals at 140 and the top at 160; 105
// units (baseline to capital height) are the character height.
#pragma once
#include <cstddef>

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
int gget_font_prec();

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
// The stroke renderer: draws string at (x, y) with the loaded font on the open device.
int text(const char* string, float x, float y);

// Builds the font list (gset_font_list, else the resource "font_list", else the file
// "zav.fnl"; "fi:file" names a list file, anything else is a comma-separated list of font
// files) and loads the current font.
int gsetup_fonts();
// Loads a font file (found along file_path); 0, or -1 after a message (the store is then
// empty: strings draw nothing but still advance over blanks).
int read_font(const char* name);
// The font list: its size and the name and file of entry index (from 1; "" when none).
int gget_num_fonts();
const char* gget_font_name(int index);
const char* gget_font_file(int index);
// The loaded font: 1 stroke, 2 server font, 0 none; the width of a character in font
// units (0 without a glyph, 40 for a blank) and its first code in the store (-1: none).
int gget_font_type();
int gget_glyph_width(int code);
int gget_glyph_start(int code);
// Font units of a string as the renderer lays it out (before expansion).
int gtext_width(const char* string);

// Room for labels on the page: the boxes of the labels placed so far by every layer
// (contour labels, highs and lows, latitude-longitude labels, station values), so that no
// label is written over another. Boxes are x0, y0, x1, y1 in world coordinates of the
// current transformation; the room keeps them in NDC with the viewport they were placed
// in. Cleared at the start of each frame.
void gtext_room_clear();
// 1 when the box lies inside the current viewport and overlaps no claimed box, else 0.
int gtext_room_free(const float box[4]);
// Claims the box for a label of the named kind (a word, shown by "-me debug" with the box
// and its viewport in NDC, "Label box: %s %.4f %.4f %.4f %.4f in %.4f %.4f %.4f %.4f").
void gtext_room_claim(const float box[4], const char* kind);
// Number of claimed boxes; box i (x0, y0, x1, y1 in NDC).
int gtext_room_count();
void gtext_room_get(int i, float box[4]);

constexpr std::size_t GKS_FONT_STORE = 15000;
constexpr int GKS_MAX_FONTS = 40;

// Back to the state of a fresh start: everything the text module (attributes, fonts, label places) holds.
void gtext_reset_state();
