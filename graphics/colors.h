// The colour table (names and colours loaded from colour files) and the attribute strings
// through which users give a plot element its colour, style, width, size, pattern and font.
#pragma once

// Drawing attributes; -9999 (integers) and -9999.0 (floats) leave an attribute unchanged.
struct AttribRec {
  int color;        // colour index
  float width;      // line, marker or text line width
  float size;       // marker size or character height factor
  float expansion;  // text expansion
  int style;        // line type or marker type
  int fill;         // fill pattern (0 solid)
  int font;         // font index
};

// One colour: a name of at most 19 characters and its red, green and blue fractions.
constexpr int CLR_NAME_LEN = 19;
constexpr int CLR_MAX = 256;
struct ClrEntry {
  char name[CLR_NAME_LEN + 1];
  float red;
  float green;
  float blue;
};

// Loads the colour table from a comma-separated list of files (null: the resource
// "color_table", else "zav.clr"). Returns the number of colours.
int CLR_read_table(const char* files);
// Index of a colour name: -1 the background ("", "none", "off", "back" and unknown names),
// -2 "end", 500-508 the print colours, a table name, "#rrggbb" or "#rrrgggbbb" (added to
// the table), or a number.
int CLR_get_ind(const char* name);
// Appends a colour and defines it on the device; its index, or -1 when the table is full.
int CLR_add(const char* name, float r, float g, float b);
int CLR_get_rgb(int index, float* r, float* g, float* b);
// Name of an index; "" when there is none.
const char* CLR_get_name(int index);
int CLR_get_num();
int CLR_get_num_fill();
void CLR_clear_table();

// The background colour named by gset_background (gks_colr.h), else the resource
// "background", else black (white with inverse colours); defined as index -1.
int ginit_background();

// Every field unset.
void ATTRIB_init(AttribRec* attrib);
// Applies an attribute string ("red:wi=2:st=dsh") over record; fields that cannot be read
// are reported and leave the record unchanged. Returns the number of fields applied.
int ATTRIB_parse(const char* string, AttribRec* attrib);
// Parses the default string, then the resource's value over it; 1 when the resource is set.
int ATTRIB_get(const char* resource, const char* default_string, AttribRec* attrib);
// Copies every field of src that is set.
void ATTRIB_update(AttribRec* dest, const AttribRec* src);
void ATTRIB_print(const AttribRec* attrib);
// Fill pattern of a name ("hat", "//", "5%") or number; -1 when it is neither.
int ATTR_parse_fill_pat(const char* string);
// Marker type of a name ("plus", "o", "itri") or number; -1 when it is neither.
int ATTR_parse_marker(const char* string);

// Back to the state of a fresh start: everything the colour table holds.
void CLR_reset_state();
