// Vectors, streamlines and wind barbs: single arrows, barbs and tracks, the direction and
// speed conversions, and the vector layer of an analysed pair of u and v grids with its
// vector key.
//
// Directions are meteorological (degrees the wind blows from, clockwise from the y axis);
// u and v point where the air goes. Positions and sizes are in the current drawing
// coordinates.
#pragma once

struct GridRec;
struct DomainRec;

using VectCallback = int (*)(const char* event, float x, float y);

// ---- single symbols ----
// Arrow from (x, y) along the flow, speed × scale long; head > 0 adds a head that grows
// with the speed. -1 when nothing was drawn (no speed or direction).
int WIND_vect(float x, float y, float direction, float speed, float scale, float head);
// The same with the direction turned from true north to the map's y axis at (x, y).
int WIND_vect_map(float x, float y, float direction, float speed, float scale, float head);
// Wind barb of speed knots: half barbs 5, full barbs 10, pennants 50; the shaft runs from
// offset to size along the direction. -1 when nothing was drawn (calm or missing).
int WIND_barb(float x, float y, float direction, float speed, float size, float offset);
// Receives the strokes (kind 0, a polyline) and pennants (kind 1, a filled area) of the
// barbs drawn while it is set, instead of the device; null restores the device.
using WindSink = void (*)(int kind, int n, const float* points);
void WIND_set_sink(WindSink sink);
int WIND_barb_map(float x, float y, float direction, float speed, float size, float offset);
// A line of length along the flow with n cross-ticks of half-width 0.2 × width.
int WIND_track(int ticks, float x, float y, float direction, float length, float width);

// (u, v) -> direction and speed; -1 with both missing when u or v is missing.
int vect2wind(float u, float v, float* direction, float* speed);
// Direction and speed -> (u, v); missing in, missing out.
int wind2vect(float direction, float speed, float* u, float* v);

// ---- the vector layer ----
// Resets the per-plot settings (the type survives when it was set explicitly).
void VECT_init();
// Forgets everything, the explicit type and the barb sink too.
void VECT_reset_state();
// The vector plot type (20-23, 99 none) and the variable's format fields.
void VECT_set_format(int type, const char* format);
void VECT_set_type(int type);
int VECT_get_type();
// Format fields ("barb:sk=2:sc=1.5:mx=50"), ':'-separated.
void VECT_format_decode_type(const char* format);
// Line attributes of the format ("co=", "wi=", "st=").
void VECT_format_decode_attrib(const char* format);
// The "plot_param" resource entries that concern vectors.
void VECT_param_decode(const char* param);
// Settles an undecided type: the plot-type option, 21 in batch runs, else the prompt.
int VECT_prompt_type();
// Prepares the vectors of variable `index` from the two component grids; 0, -1 when
// there is nothing to draw.
int VECT_plot_setup(int frame, int index, GridRec* u, GridRec* v, const DomainRec* domain, VectCallback callback);
// Draws the vector layer of the grids; -1 when nothing was drawn.
int VECT_draw(const GridRec* u, const GridRec* v);
// One streamline from grid point (column, row; row 0 the top row) of at most steps
// quarter-cell steps, through the occupancy counters of the last VECT_draw; the number of
// segments drawn.
int VECT_stream(const GridRec* u, const GridRec* v, int column, int row, int steps);
// Settings that tests and the station plot set directly.
void VECT_set_scale(float scale);
void VECT_set_skip(int x, int y);
void VECT_set_cuts(float minimum, float maximum);
void VECT_set_uvgrid(int on);
// At least 1 when a vector key is defined for the plot.
// The label the last VECT_plot_setup asks for at a position below the map (3 lower left:
// "INTERVAL: ...", 5 lower right: "MAX: ..." with the units); "" for none.
const char* VECT_get_frame_label(int position);
int VECT_get_vect();
// Units of the last pair drawn (the key's units).
const char* VECT_get_units();
// Draws the vector key in page coordinates; -1 when none was drawn.
int VECT_draw_vect();
