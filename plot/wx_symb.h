// Weather symbols drawn by name from a symbol file, and the sky-cover circle of the
// station model. Both draw in the current transformation with the current line colour.
//
// Symbol file (default "wx.smb", found along file_path): up to 100 entries, each a name of
// up to 14 characters followed by its drawing up to the character '$'. A drawing is a
// sequence of strokes, each up to 20 points "x,y" (symbol units 0-1, origin lower left)
// followed by a word: a word beginning with 'F' fills the points as an area, any other
// word draws them as a line. A line beginning with '#' where a name is expected is a
// comment.
#pragma once

constexpr int WX_SYMB_MAX = 100;
constexpr int WX_SYMB_NAME_LEN = 14;
constexpr int WX_SYMB_POINTS = 20;

// Reads the symbol file name (found along file_path); the number of symbols read, 0 when
// the file cannot be opened ("WX_symb_file: Unable to open file: %s\n"). Damaged entries are
// reported and left out; the entries that read still draw.
int WX_symb_file(const char* name);
// Forgets the symbols read: the next use reads the file again.
void WX_reset_state();
// Draws the first symbol whose name is a prefix of code (case ignored), size plane units
// square, placed at (x, y) by the current text alignment. 1 when drawn; 0 when no symbol
// matches or the code is empty or blank. Reads "wx.smb" on first use.
int WX_symb(const char* code, float x, float y, float size);
// The symbols read (reads "wx.smb" when none was read yet) and their names in file order.
int WX_symb_count();
const char* WX_symb_name(int index);

// The sky-cover circle of radius r round (x, y) for a cover code character: "0" (also C, b,
// o, s, x) empty, "1" (F) a vertical line, "2" (S) a filled quarter, "3" one with a line
// down, "4" a filled right half, "5" one with a line to the left, "6" (B) three quarters,
// "7" all but a vertical band, "8" (O) filled, "9" (X) a cross of diagonals; anything else
// an "M" inside. 1.
int WX_cloud(char code, float x, float y, float r);
