#include "driver/plt_tool.h"
#include "driver/plt_labl.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "graphics/gks_tool.h"

namespace {

class Plt : public ::testing::Test {
 protected:
  void SetUp() override { RES_clear(), FLAG_reset(-9999), MESS_set(0, 0xFF), PLT_set_label_type(0), PLT_init_labels(); }
};

TEST_F(Plt, PanelTextsSetTheViewSize) {
  // view: x from, x to, y from, y to
  const struct { const char* text; int result; float view[4]; } cases[] = {
      {"2x2+1+0", 1, {0.5F, 1.0F, 0.5F, 1.0F}},  // upper-right quarter
      {"0.5x0.25+0.25+0.1", 1, {0.25F, 0.75F, 0.1F, 0.35F}},
      {"20x20+0+0", 1, {0.0F, 0.125F, 0.875F, 1.0F}},  // at most 8 columns and rows
      {"2x2", 0, {0.0F, 0.125F, 0.875F, 1.0F}},        // incomplete: view unchanged
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PLT_panel_decode(c.text), c.result) << c.text;
    float v[4];
    GPH_get_view_size(v);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(v[k], c.view[k], 1e-6F) << c.text << " " << k;
  }
}

// Labels of 69 characters are kept, longer ones dropped (not cut); six overlays.
TEST_F(Plt, LabelsKeepTheirSlotsAndLimits) {
  const std::string l69(69, 'a'), l70(70, 'b');
  PLT_label_up_left("Temperature"), PLT_label_low_right(l69.c_str()), PLT_label_up_right(l70.c_str());
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(PLT_next_overlay(), n < 6 ? n : -1);
  for (const auto& [pos, over, text] : {std::tuple{0, 0, "Temperature"}, {5, 0, l69.c_str()}, {2, 0, ""},
                                        {6, 0, ""}, {0, 1, ""}})
    EXPECT_STREQ(PLT_get_label(pos, over), text) << pos << "," << over;
  PLT_init_labels();  // or the joined label below would start with "Temperature"
  // A negative label type joins the overlays' labels into overlay 0, within 60 characters.
  PLT_set_label_type(-1);
  for (const char* label : {"Temperature (F)", "Dew point (F)"}) PLT_label_up_left(label), PLT_next_overlay();
  EXPECT_EQ(PLT_get_label_type(), -3);  // one step down per overlay
  PLT_label_up_left(std::string(40, 'x').c_str());
  EXPECT_STREQ(PLT_get_label(0, 0), "Temperature (F) Dew point (F)");
  EXPECT_STREQ(PLT_get_label(0, 1), "");
  PLT_reset(1.0F);
  EXPECT_EQ(PLT_get_label_type(), -1);
}

TEST_F(Plt, PlotParametersAndDumps) {
  RES_put("plot_param", "FULL,gridx3,min_size=-1,gif:loop_%i");
  PLT_set_view_offset(0.06F);
  PLT_param_decode();
  EXPECT_EQ(std::tuple(PLT_get_view_offset(), GRD_get_grid_factor(), PLT_get_dump()), std::tuple(0.0F, 3, 2));
  RES_put("plot_param", "gridx1"), RES_put("out_file", "cdf,png");
  PLT_param_decode();
  EXPECT_EQ(std::tuple(GRD_get_grid_factor(), PLT_get_dump()), std::tuple(1, 4));
  // Plot type "none" opens nothing. A file device needs neither a display nor an answer.
  FLAG_set(FLAG_DEVICE, WS_PS);
  for (const auto& [type, result, open] : {std::tuple{99, -1, 0}, {-9999, 0, 1}}) {
    FLAG_set(11, type);
    EXPECT_EQ((std::tuple{PLT_open(1.0F), gchk_graphics()}), std::tuple(result, open));
    EXPECT_EQ((std::tuple{PLT_close(), gchk_graphics()}), std::tuple(result, 0));
  }
}

}  // namespace
