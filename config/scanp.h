// Pattern scanner: a scanf-like reader of one text line whose cursor stays on the line
// between calls, so that a record can be taken apart in several steps. Beyond scanf it
// knows exact-width and at-most-width fields, missing markers in numeric fields ("%!-!f"
// takes "-" as -9999), blank-padded numbers, character classes and alternatives.
//
// Format: a blank skips one or more blanks, tabs, carriage returns or line feeds (there must
// be at least one); any other character outside a directive must match itself. A directive
// is '%' ['*' no store] ['<' width is a maximum] [width] ['!' marker '!'] conversion:
//   n  characters consumed so far (int; not a field)
//   d  '-'? digits (int)          D  the same, blank-padded inside the field (int)
//   f  '-'? digits ['.' digits] [exponent] (float)   F  the same, blank-padded (float)
//   s  up to a blank   S  anything up to the width or the end   A letters   N digits
//   c  width characters (default 1), not terminated
//   w  blanks, tabs, CR, LF       W  blanks, tabs, CR (not LF)
//   [abc] [^abc] a character class; /A any letter, /N any digit, // a '/'
//   (x|y|z) the first alternative the text begins with (stored as text)
//   %% a literal '%'
// With a width and no '<' the field must be exactly that long; without one it is
// unlimited. Text destinations receive at most SCANP_TEXT_MAX characters and a
// terminator ("c" stores no terminator), so they must hold SCANP_TEXT_MAX + 1 characters
// or the width + 1.
#pragma once

constexpr int SCANP_TEXT_MAX = 80;

struct ScanpRec {
  char* text;        // the line (writable, for scanp_replace)
  int length;        // its length
  int offset;        // the cursor: where the next scan starts
  int used;          // characters consumed by the last scan
  int assigned;      // values stored so far
  int matched;       // fields matched so far
};

// Attaches a line (null reads as empty); cursor 0.
void scanp_set(ScanpRec* record, char* text);
// Scans from the cursor without moving it; the number of fields matched, or -1 when the
// format is empty or the cursor is at or beyond the end of the line.
int scanp(ScanpRec* record, const char* format, ...);
// Advances the cursor past what the last scan consumed.
void scanp_inc(ScanpRec* record);
void scanp_off(ScanpRec* record, int offset);
void scanp_inc_off(ScanpRec* record, int n);
int scanp_get_off(const ScanpRec* record);
// The text at the cursor ("" beyond the end).
const char* scanp_str(const ScanpRec* record);
// The character i places after the cursor; '\0' outside the line.
char scanp_char(const ScanpRec* record, int i);
// Replaces that character of the line; 0 outside the line.
int scanp_replace(ScanpRec* record, int i, char c);
// Moves the cursor to the next occurrence of text; 0 (cursor unmoved) when there is none.
int scanp_search(ScanpRec* record, const char* text);
void scanp_print(const ScanpRec* record);
