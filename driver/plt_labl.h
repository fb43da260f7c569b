// Plot labels: the six corner and edge labels of every overlay, the label escapes, the
// label resource, and the drawing of the labels (and the border) round the view at the
// end of a frame.
//
// Positions: 0 upper left, 1 upper centre, 2 upper right, 3 lower left, 4 lower centre,
// 5 lower right. Overlays 0-5: each variable plotted in a frame labels one overlay and
// moves on to the next, so that overlaid fields get one label line each.
#pragma once

#include <string>

#include "files/date.h"

constexpr int PLT_LABEL_LEN = 69;
constexpr int PLT_LABEL_POSITIONS = 6;
constexpr int PLT_LABEL_OVERLAYS = 6;
// Labels joined into overlay 0 (negative label type) stay within this length.
constexpr int PLT_JOINED_LEN = 60;

// ---- the label table ----
// Store text at the current overlay. Texts longer than PLT_LABEL_LEN are dropped, not
// cut. With a negative label type and an overlay of 1 or more the text is appended,
// after a blank, to the overlay-0 label instead (when the result stays within
// PLT_JOINED_LEN). A negative overlay stores nothing.
void PLT_label_up_left(const char* text);
void PLT_label_up_center(const char* text);
void PLT_label_up_right(const char* text);
void PLT_label_low_left(const char* text);
void PLT_label_low_center(const char* text);
void PLT_label_low_right(const char* text);
// Stores text at position and overlay directly (the label resource's "ulN:"); 1 when
// stored, 0 when dropped.
int PLT_set_label(int position, int overlay, const char* text);
// Position 0-5, overlay 0-5; "" when unset or out of range.
const char* PLT_get_label(int position, int overlay);
// The upper-right label of the current overlay.
const char* PLT_get_label_up_right();

// The date and forecast time code the escapes use.
void PLT_label_date(const DateRec* date);
void PLT_get_label_date(DateRec* date);
void PLT_label_for_time(int time);
int PLT_get_label_for_time();

// ---- overlays ----
// Advances to the next overlay: -1 beyond overlay 5; otherwise moves a nonzero label
// type one further from 0, records the overlay-0 label lengths, raises the number of
// overlays used and returns the new overlay.
int PLT_next_overlay();
// n is clamped to 5; the number of overlays used is raised to it.
void PLT_set_overlay(int n);
int PLT_get_overlay();
// The first overlay line drawn; clamped to 5, raises the number of overlays used.
void PLT_set_overlay_base(int n);
int PLT_get_overlay_base();
// Raises the number of overlays used to n; a negative n sets it to -n.
void PLT_set_num_overlay(int n);
int PLT_get_num_overlay();
// Overlay-0 label length of position when the last overlay began.
int PLT_get_label_ind(int position);
// Label type: 0 one label per position and overlay; positive counts up with each
// overlay; negative joins later overlays' labels into overlay 0. The variable module
// keeps it (its label words set it).
void PLT_set_label_type(int type);
int PLT_get_label_type();
// Empties the table and resets the overlays, the colour bar and vector key marks.
void PLT_init_labels();

// ---- escapes and the label resource ----
// A label with its escapes replaced: '_' a blank; %D the date label of the label date;
// %V the valid time of the label forecast time; %W the same without the hour; %y %m %d
// %h %n two-digit year, month, day, hour, minute; %b the month abbreviation; %f the
// forecast-hour text; %F the same in days for a date without hour; %% a '%'. Any other
// character after '%' is dropped with it; so are fields of the date that are not set.
std::string PLT_label_format(const char* format);
// Applies the "label" resource: comma-separated items "ul:text" ... "lr:text" for overlay
// 0, "ul2:text" for overlay 2, each text through PLT_label_format. Items that cannot be
// used are reported once for each value of the resource. Returns the labels stored.
int PLT_apply_label_resource();

// ---- what shares the page with the labels ----
// Labels inside the plot area ("fullab").
void PLT_set_full_lab(int flag);
int PLT_get_full_lab();
// A border round the view (drawn with the labels when the component "bord" is on).
void PLT_border(int flag);
int PLT_get_border();
// Colour bar and vector key of the frame: a bar takes the place of the lower-left and
// lower-centre labels, a key that of the lower-right one.
void PLT_set_bar(int flag);
// 1 the first time a colour bar is defined in a frame, 0 afterwards.
int PLT_bar();
int PLT_get_bar();
void PLT_set_vect_key(int flag);
int PLT_get_vect_key();

// ---- drawing ----
// Draws the labels of the frame round the view (the viewport of transformation 2) on the
// open workstation: applies the label resource first, works on the page (transformation
// 1) and leaves transformation 2 selected. Nothing without an open workstation.
void PLT_labels();

// Where PLT_labels puts the labels of a view (NDC, page transformation): the line height
// and character height, and the baseline of line k (0 = first line) above (upper) or
// below the view. Line height 0 when no labels fit.
struct PltLabelLayout {
  float line = 0.0F;
  float chars = 0.0F;
  int lines = 0;
  float upper_base[PLT_LABEL_OVERLAYS] = {};
  float lower_base[PLT_LABEL_OVERLAYS] = {};
};
// view: xmin, xmax, ymin, ymax of the plot; area: the same of the part of the page given
// to the plot (the whole page unless a view size is set).
PltLabelLayout PLT_label_layout(const float view[4], const float area[4]);

// Back to the labels of a fresh program: empty table, border on, no bar or vector key.
void PLT_reset_label_state();
