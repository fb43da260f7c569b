#include "graphics/gks_obj.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "tests/graphics/gks_fixture.h"

namespace {

using Obj = GksTest;

// What the device was told, without the clip rectangles a replay recomputes.
std::vector<GksCall> drawn() {
  std::vector<GksCall> out;
  for (const GksCall& c : gdev_calls())
    if (c.code != GDEV_CLIP) out.push_back(c);
  return out;
}

int replayed = 0;
void count_replay(const void* data) { replayed += *static_cast<const int*>(data); }

// A replay repeats every recorded call on the device, in order, with the same values.
TEST_F(Obj, ReplayRepeatsTheCalls) {
  open(WS_PS);
  gset_redraw(1);
  const float w[4] = {0, 10, 0, 10}, tri[6] = {1, 1, 9, 1, 5, 8}, pos[2] = {2, 3};
  gset_win(2, w), gsel_norm_tran(2);
  gset_line_colr_ind(5), gset_linetype(3), gset_linewidth(2);
  gpolyline(3, tri);
  gset_fill_int_style(2), gset_fill_style_ind(9), gfill_area(3, tri);
  gset_marker_type(6), gset_marker_size(2), gpolymarker(1, pos);
  gset_char_ht(0.5F), gset_char_up_vec(1, 1), gset_text_align(2, 3), gtext(pos, "Front");
  gclear_region(w);
  gmessage(0, "done");
  const int five = 5;
  gset_redraw_func(count_replay, &five, sizeof five);
  const std::vector<GksCall> first = drawn();
  const std::size_t records = gobj_list().size();
  ASSERT_EQ(records, 19U);
  // Back to the state before the first call, as a redraw starts.
  ginit_plot(2);
  gdev_clear_calls();
  EXPECT_EQ(gobj_redraw_funcs(), 19);
  EXPECT_EQ(replayed, 5);
  EXPECT_EQ(gobj_list().size(), records);  // nothing recorded twice
  const std::vector<GksCall> again = drawn();
  ASSERT_EQ(again.size(), first.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(again[i].code, first[i].code) << i;
    EXPECT_EQ(again[i].arg, first[i].arg) << i;
    EXPECT_EQ(again[i].values, first[i].values) << i;
    EXPECT_EQ(again[i].text, first[i].text) << i;
  }
}

// Recording and segments are kernel scripts (tests/data/graphics/kernel.txt).

}  // namespace
