// Process-wide integer flags and the plot-component switches.
#pragma once
#include <cstdint>

constexpr int FLAG_NUM = 30;
constexpr int FLAG_NUM_PLOT = 13;

// The flags the program uses, and their values.
constexpr int FLAG_DEVICE = 2;  // output device: a workstation type, WS_*
constexpr int FLAG_DOMAIN = 5;  // result of the last domain text decoded
constexpr int FLAG_VAR_CHOSEN = 7;  // 1: a variable was chosen at the prompt
constexpr int FLAG_PLOT_TYPE = 11;  // the plot_type option, PLOT_*
constexpr int FLAG_INPUT_KIND = 14;  // INPUT_*
constexpr int FLAG_FILE_PARAM = 15;  // FILE_PARAM_*
constexpr int FLAG_GRID_FORMAT = 17;  // grid output format (the grid file module's codes)
constexpr int FLAG_BATCH = 19;  // 1 in batch mode
constexpr int FLAG_HELP = 20;  // 1 when help was asked for

// Plot components (FLAG_setplot): the draw option's words.
constexpr int DRAW_TEXT = 0;  // all labels; its value counts the positions 1-6 that are on
constexpr int DRAW_TEXT_UL = 1;  // 1-6: upper left, centre, right; lower left, centre, right
constexpr int DRAW_TEXT_UC = 2;
constexpr int DRAW_TEXT_UR = 3;
constexpr int DRAW_TEXT_LL = 4;
constexpr int DRAW_TEXT_LC = 5;
constexpr int DRAW_TEXT_LR = 6;
constexpr int DRAW_DATA = 7;
constexpr int DRAW_MAP = 8;
constexpr int DRAW_GRID = 9;
constexpr int DRAW_SUM = 10;
constexpr int DRAW_BORD = 11;  // the border
constexpr int DRAW_ALL = 12;  // everything; its value is the sum of 0-11

// Workstation types (the device option's letters d, m, p, h/q, w, r).
constexpr int WS_X11 = 1;  // a window of its own
constexpr int WS_META = 3;  // metafile
constexpr int WS_PS = 4;  // PostScript
constexpr int WS_HPGL = 5;  // HPGL
constexpr int WS_XDRAW = 6;  // another program's window
constexpr int WS_RASTER = 7;  // PNG, PDF or SVG pages drawn without a display
constexpr int WS_OGR = 8;  // GIS features ("ogr"): contours, bands and symbols as vector data

constexpr int INPUT_SURFACE = 10;  // surface observations
constexpr int INPUT_FRONTS = 11;  // front bulletins

constexpr int FILE_PARAM_OVER = 1;  // recompute and overwrite output files
constexpr int FILE_PARAM_APPEND = 2;
constexpr int FILE_PARAM_USE = 3;  // reuse output files that exist

// Plot and data types: the plot_type flag and the variable records share these codes.
constexpr int PLOT_RAW = 0;  // station values without analysis
constexpr int PLOT_DATA = 1;
constexpr int PLOT_VALUE = 2;
constexpr int PLOT_TEXT = 3;
constexpr int PLOT_MARK = 4;
constexpr int PLOT_INT = 5;
constexpr int PLOT_MAP = 6;
constexpr int PLOT_FRAME = 7;
constexpr int PLOT_PANEL = 8;
constexpr int PLOT_GRID = 10;  // 10-23: gridded types
constexpr int PLOT_CONT = 11;
constexpr int PLOT_LCONT = 12;  // contour lines ("ln")
constexpr int PLOT_DLN = 13;  // dashed contour lines
constexpr int PLOT_NDLN = 14;  // contour lines, negative ones dashed
constexpr int PLOT_FCONT = 15;  // colour-filled contours ("cf")
constexpr int PLOT_BCONT = 16;  // colour fill with lines ("lcf")
constexpr int PLOT_GVALUE = 17;  // grid values
constexpr int PLOT_WIND = 20;  // 20-23: vector types
constexpr int PLOT_VECT = 21;
constexpr int PLOT_BARB = 22;
constexpr int PLOT_STRM = 23;
constexpr int PLOT_PLOT = 30;  // 30-37: station plot types
constexpr int PLOT_CLOUD = 31;
constexpr int PLOT_WBARB = 32;
constexpr int PLOT_CBARB = 33;
constexpr int PLOT_DBARB = 34;
constexpr int PLOT_VBARB = 35;
constexpr int PLOT_SYMB = 36;
constexpr int PLOT_LINE = 37;
constexpr int PLOT_CONST = 40;
constexpr int PLOT_FILL = 52;  // colour fill of another program's making; drawn as PLOT_FCONT
constexpr int PLOT_AN = 54;
constexpr int PLOT_PM = 55;
constexpr int PLOT_STUVE = 61;
constexpr int PLOT_SKEWT = 62;
constexpr int PLOT_EMA = 63;
constexpr int PLOT_TEPH = 64;
constexpr int PLOT_RTEPH = 65;
constexpr int PLOT_HODO = 69;
constexpr int PLOT_NONE = 99;

int FLAG_get(int index);
std::int64_t FLAG_getl(int index);
int FLAG_set(int index, int value);
int FLAG_setl(int index, std::int64_t value);
void FLAG_reset(int value);
void FLAG_resetl(std::int64_t value);
int FLAG_batch();
void FLAG_set_batch(int value);
int FLAG_help();
int FLAG_setplot(int index, int value);
int FLAG_getplot(int index);
void FLAG_resetplot(int value);
// Every flag 0 and every plot switch on, as at start-up.
void FLAG_reset_state();
