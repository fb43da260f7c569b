// Map background: coastlines, borders and other outlines from map files (optionally
// filled), latitude-longitude lines with their labels, and the overlays named in the same
// map list, drawn in normalisation transformation 2 over the current domain.
//
// Map list: comma-separated items, each
//   [-|+] [size conditions] item
// "-" draws the item under the data (MAP_draw bit 1), "+" over it (bit 2), no prefix with
// the map itself (bit 4). Size conditions, each ending in ':', test the vertical map size
// V (the height of transformation 2's window): "s+N" (V >= N), ">N" or ">N<M" (V >= N and
// V <= M), "s-N" (V <= N), "<N" or "<N>M" (V <= N and V >= M). Items:
//   [lat1,lat2,lon1,lon2,size]    a region: the items after it apply when the domain's
//                                 centre lies inside and V <= size (default 1000), up to the
//                                 next region item; only the first matching region draws
//   im:file[:colour:x:y]          image over the map (transparent colour, offset)
//   if:file[:colour:x:y]          image over the whole page
//   mf:file                       text metafile replayed
//   rf:file                       station-value file plotted
//   lalo[:dlat[:dlon]][:attr]     latitude-longitude lines (dlat 5, dlon = dlat)
//   fi:file                       further items read from a file, one per word
//   name[:attributes]             a map file (found along file_path)
//
// Map file: records of a point count, four values (not used) and an integer, then that
// many latitude-longitude points; a count of 0 ends the file, a latitude of -9999 lifts
// the pen. The integer names what the lines are (the package's files: 1 land, 2 lake,
// 3 island in a lake, 4 pond, 11 national and 12 state borders); only a filled item looks at
// it, filling lakes and ponds with the background. A file whose first record reads as text ("%hd %f %f %f %f %ld" and "%f %f" per
// point) is a text file, otherwise binary: a 16-bit count, four 4-byte values and a 4-byte
// integer, then 4-byte IEEE floats, latitude then longitude, all big-endian. Files are read
// once per run (again when they change on disk); a damaged file is reported once and
// draws the records before the damage.
#pragma once
#include <cstdio>

#include "plot/region.h"

// Every file the map list reads (map files, list files, metafiles and images over the
// map) is refused beyond this size, and must be a regular file: outline files are a few
// megabytes at most, and a mistaken or hostile file (a device that never ends) must not
// hold the run or take its memory.
constexpr long MAP_MAX_FILE_BYTES = 64L << 20;
// Items of one map list, those of its list files included: more are left out, with a
// message naming them.
constexpr int MAP_MAX_ITEMS = 64;
// Latitude-longitude lines around the globe (180 / dlat + 360 / dlon): closer spacings
// are drawn at the spacing that suits the map instead, with a message.
constexpr int MAP_MAX_GRID_LINES = 720;

// Forgets the map list, spacing, cache, registered overlays and what the run has said.
void MAP_reset_state();
// Makes domain current and sets transformation 2's window to its plot limits; selects it.
int MAP_setup(const DomainRec* domain);
// Draws the map items selected by mask: 1 "-" items, 2 "+" items, 4 unprefixed items. With
// bit 4 the latitude-longitude lines are drawn too (so they lie under the data when the
// map is drawn before it). Nothing when the plot component "map" is off.
int MAP_draw(int mask);
// One item of a map list (the mask of the current MAP_draw applies); 0 skipped, 1 drawn,
// -1 failed (a missing file).
int MAP_process(const char* item);
// Draws the map file open on stream (not cached); the number of lines drawn, -1 when it
// cannot be read.
int MAP_map(std::FILE* stream);
// Latitude-longitude lines every dlat and dlon degrees with their labels, extra labels and
// cross marks in the current attributes; -1 for a missing spacing.
int MAP_lines(float dlat, float dlon);

// The map list (null or empty: the default). The resource "map_file" comes first.
void MAP_file(const char* list);
// Attribute string overriding the default map attributes (null or empty: none).
void MAP_set_format(const char* attributes);
// Cross marks every dot degrees and extra labels every extra degrees along the lines (0:
// none); line spacings in degrees (0: no lines). Until this is called, the lines are spaced
// by the size of the map.
void MAP_latlon(int dot, int extra, float dlat, float dlon);
// The spacings the lines of the current map are drawn with.
void MAP_get_latlon(float* dlat, float* dlon);
void MAP_fill_cont(int on);
// Whether the contour fill leaves parts of the map unfilled (its lines then take a colour
// that shows on the page as well as on the fill).
void MAP_fill_partial(int on);
int MAP_get_fill_cont();

// Transformation 2's window (xmin, xmax, ymin, ymax), its height and its width.
void MAP_get_window(float rect[4]);
float MAP_get_vert();
float MAP_get_hor();

// A circle of radius r km around the plane point (x, y): 49 points at bearings 0, 7.5, ...
// 360 degrees, one polyline (broken where a point cannot be shown).
int MAP_draw_circle(float x, float y, float r);

// Overlays drawn by other modules: "im" and "if" (images over the map or the page), "rf"
// (station-value files) and "mf" (metafiles; replayed by the kernel unless a handler is
// set). A handler gets the file name as written in the item (it finds the file itself), the
// transparent colour name ("" for the background) and the offset; it returns -1 on
// failure. Without a handler such an item is reported as not available.
using MapOverlayFunc = int (*)(const char* file, const char* colour, int x, int y);
void MAP_set_overlay_func(const char* kind, MapOverlayFunc func);

// Map files read so far are forgotten (the next use reads them again).
void MAP_clear_cache();
// Lines (polylines or filled areas) drawn since the last call, and the points of map files
// projected for them; a measure of the work culling saved.
void MAP_get_counts(long* lines, long* points);
