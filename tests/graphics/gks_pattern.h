// A test page drawn with kernel calls, with its parts at known places, for the file
// devices: a thick line, a dashed line, fills of several patterns, markers and text.
// World coordinates of transformation 1 are NDC (0..1 across, 0..0.74 up), and the
// workstation window spans the whole surface, so a device of W units across puts NDC x at
// x·W units.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "tests/graphics/gks_render.h"

namespace pattern {

// Where things are (NDC).
constexpr float line_y = 0.65F, dash_y = 0.60F, line_x0 = 0.05F, line_x1 = 0.45F;
constexpr float solid[4] = {0.55F, 0.70F, 0.50F, 0.65F};   // xmin, xmax, ymin, ymax
constexpr float hatch[4] = {0.75F, 0.90F, 0.50F, 0.65F};   // pattern 8, horizontal bands
constexpr float vbars[4] = {0.55F, 0.70F, 0.25F, 0.40F};   // pattern 5, vertical bars
constexpr float cross[4] = {0.75F, 0.90F, 0.25F, 0.40F};   // pattern 9, cross hatch
constexpr float marks[3][2] = {{0.10F, 0.40F}, {0.20F, 0.40F}, {0.30F, 0.40F}};
constexpr float text_x = 0.05F, text_y = 0.10F, text_h = 0.06F;
constexpr const char* text = "HT";

inline void fill_rect(const float r[4]) {
  const float p[8] = {r[0], r[2], r[1], r[2], r[1], r[3], r[0], r[3]};
  gfill_area(4, p);
}

// The workstation window over the whole surface, transformation 1 and the page, with a
// border around it.
inline void draw() {
  float xvp = 1, yvp = 1;
  ginq_maxview(&xvp, &yvp);
  const float ws[4] = {0, xvp, 0, yvp};
  gset_ws_win(1, ws);
  const float page[4] = {0, 1, 0, 0.74F};
  gset_win(1, page);
  gset_vp(1, page);
  gsel_norm_tran(1);
  // A black that every device shows: the print colour black.
  gset_line_colr_ind(500);
  const float border[10] = {0, 0, 1, 0, 1, 0.74F, 0, 0.74F, 0, 0};
  gpolyline(5, border);
  gset_linewidth(4.0F);
  const float l1[4] = {line_x0, line_y, line_x1, line_y};
  gpolyline(2, l1);
  gset_linewidth(1.0F);
  gset_linetype(2);
  const float l2[4] = {line_x0, dash_y, line_x1, dash_y};
  gpolyline(2, l2);
  gset_linetype(1);
  gset_fill_colr_ind(500);
  gset_fill_int_style(1);
  fill_rect(solid);
  gset_fill_int_style(2);
  gset_fill_style_ind(8);
  fill_rect(hatch);
  gset_fill_style_ind(5);
  fill_rect(vbars);
  gset_fill_style_ind(9);
  fill_rect(cross);
  gset_fill_int_style(1);
  gset_marker_colr_ind(500);
  gset_marker_type(2);
  gset_marker_size(3.0F);
  gset_marker_width(2.0F);
  gpolymarker(2, &marks[0][0]);
  gset_marker_type(4);
  gpolymarker(1, marks[2]);
  gset_text_colr_ind(500);
  gset_text_width(2.0F);
  gset_char_ht(text_h);
  gset_text_align(1, 4);
  const float pos[2] = {text_x, text_y};
  gtext(pos, text);
  // The same string turned to run upwards, centred on its middle.
  gset_char_up_vec(-1, 0);
  gset_text_align(2, 3);
  const float pos2[2] = {0.45F, 0.30F};
  gtext(pos2, text);
  gset_char_up_vec(0, 1);
}

// Pixel (column, row) of a page point (NDC) on a rendered picture.
using Place = std::function<std::pair<int, int>(float, float)>;

// The rendered page shows each part where it was drawn. A plotter's picture (plotter) has
// gaps between its fill strokes and its dashes are not told apart at its resolution.
inline void check_page(const Picture& pic, const Place& at, const std::string& what, bool plotter = false) {
  auto dark = [&](float x, float y) {
    const auto [c, r] = at(x, y);
    return pic.count_dark(c - 1, r - 1, c + 1, r + 1) > 0;
  };
  auto fraction = [&](const float r[4]) {
    auto [c0, r0] = at(r[0] + 0.01F, r[3] - 0.01F);
    auto [c1, r1] = at(r[1] - 0.01F, r[2] + 0.01F);
    if (c0 > c1) std::swap(c0, c1);
    if (r0 > r1) std::swap(r0, r1);
    return static_cast<double>(pic.count_dark(c0, r0, c1, r1)) / ((c1 - c0 + 1) * (r1 - r0 + 1));
  };
  // The thick line, with white above it; the dashed line with gaps.
  EXPECT_TRUE(dark(0.25F, line_y)) << what;
  EXPECT_FALSE(dark(0.25F, line_y + 0.02F)) << what;
  int on = 0, n = 0;
  for (float x = 0.06F; x < 0.44F; x += 0.002F, ++n) {
    const auto [c, r] = at(x, dash_y);
    on += pic.count_dark(c, r - 1, c, r + 1) > 0 ? 1 : 0;
  }
  EXPECT_TRUE(plotter || on > n / 4) << what << ": " << on << " of " << n;
  EXPECT_TRUE(plotter || on < 9 * n / 10) << what << ": " << on << " of " << n;
  // Solid, banded, barred and cross-hatched fills, and white around them.
  EXPECT_GT(fraction(solid), plotter ? 0.2 : 0.98) << what;
  for (const float* r : {hatch, vbars, cross}) {
    EXPECT_GT(fraction(r), 0.2) << what << " " << r[0] << "," << r[2];
    EXPECT_LT(fraction(r), 0.8) << what << " " << r[0] << "," << r[2];
  }
  const float gap[4] = {0.71F, 0.74F, 0.42F, 0.48F};
  EXPECT_EQ(fraction(gap), 0.0) << what;
  // A plus marker is dark at its centre, a circle is not; the circle's ring is.
  EXPECT_TRUE(dark(marks[0][0], marks[0][1])) << what;
  EXPECT_FALSE(dark(marks[2][0], marks[2][1])) << what;
}

// "HT" at base alignment stands on its baseline and is as high as asked (upright pages).
inline void check_text(const Picture& pic, const Place& at, const std::string& what) {
  const auto [c0, r0] = at(text_x, text_y);
  const int h = r0 - at(text_x, text_y + text_h).second;
  const std::vector<int> box = pic.dark_box(c0 - 10, r0 - 4 * h / 3, c0 + 2 * h, r0 + 5);
  EXPECT_NEAR(box[0], c0, 2) << what;
  EXPECT_NEAR(box[3], r0, 2) << what;
  EXPECT_NEAR(box[3] - box[1], h, 2.5) << what;
}

}  // namespace pattern
