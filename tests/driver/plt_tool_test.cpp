#include "driver/plt_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "driver/plt_labl.h"
#include "files/files.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_x11.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "tests/support/analysis_table.h"
#include "tests/support/capture.h"
#include "tests/support/near.h"
#include "tests/support/run.h"

namespace {

class Plt : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear(), FLAG_reset(-9999), FLAG_resetplot(1), MESS_set(0, 0xFF), PLT_set_label_type(0);
    PLT_reset_state();
    PLT_reset_label_state();
    GPH_set_view_size(1.0F, 1.0F, 0.0F, 0.0F);
  }
  void TearDown() override {
    RES_clear();
    PLT_reset_state();
    GRD_reset_state();
  }
};

std::vector<float> view_size() {
  float v[4];
  GPH_get_view_size(v);
  return {v[0], v[1], v[2], v[3]};
}

void expect_near(const std::vector<float>& got, const std::vector<float>& want, const std::string& what) {
  SCOPED_TRACE(what);
  expect_all_near(got, want, 1e-6);
}

// ---- panels ----

// Panel texts set the view size; those incomplete, not numbers or off the page keep the
// view as it is and say why.
TEST_F(Plt, PanelTextsSetTheViewSizeOrSayWhyNot) {
  std::vector<float> view;
  for (const TableRow& row : read_table("driver/panel_view", 2)) {
    SCOPED_TRACE(row[0]);
    CaptureStderr();
    EXPECT_EQ(PLT_panel_decode(row[0].c_str()), row[1] == "bad" ? 0 : 1);
    const std::string err = GetCapturedStderr();
    if (row[1] == "bad") {
      EXPECT_EQ(err.rfind("PLT_panel_decode: Invalid view size: " + row[0] + " (", 0), 0u) << err;
    } else {
      view = {table_float(row[1]), table_float(row[2]), table_float(row[3]), table_float(row[4])};
    }
    expect_near(view_size(), view, row[0]);
  }
  CaptureStderr();
  EXPECT_EQ(PLT_panel_decode(""), 0);
  EXPECT_EQ(PLT_panel_decode(nullptr), 0);
  EXPECT_EQ(GetCapturedStderr(), "");
}

// ---- plot parameters ----

// A setting the plot parameters make, read back through the module that keeps it.
std::string setting(const std::string& name) {
  std::ostringstream o;
  float lat = 0, lon = 0, ox = 0, oy = 0, lo = 0, hi = 0;
  int sx = 0, sy = 0;
  MAP_get_latlon(&lat, &lon);
  CONT_get_skip(&sx, &sy);
  CONT_get_plot_offset(&ox, &oy);
  CONT_get_bar_range(&lo, &hi);
  if (name == "view_offset") o << PLT_get_view_offset();
  if (name == "redraw") o << gget_redraw();
  if (name == "id_type") o << CTY_get_id_type();
  if (name == "tz") o << DATE_get_tz_str();
  if (name == "overlay") o << PLT_get_overlay_base() << " " << PLT_get_num_overlay();
  if (name == "latlon") o << lat << " " << lon;
  if (name == "grid_factor") o << GRD_get_grid_factor();
  if (name == "skip") o << sx << " " << sy;
  if (name == "plot_offset") o << ox << " " << oy;
  if (name == "loc_prior") o << DOM_get_loc_prior();
  if (name == "gif_mode") o << PLT_get_gif_mode();
  if (name == "inverse") o << gget_inverse();
  if (name == "colours") o << gget_local_colormap() << " " << gget_rw_colors() << " " << gget_loop_title() << " " << gget_pix_mode();
  if (name == "bar") o << CONT_get_bar() << " " << lo << " " << hi;
  if (name == "font_drop") o << gget_font_drop();
  if (name == "min_size") o << FILE_get_min_size();
  if (name == "dump") o << PLT_get_dump() << " " << PLT_get_dump_file();
  if (name == "full_lab") o << PLT_get_full_lab();
  if (name == "view") {
    const std::vector<float> v = view_size();
    o << v[0] << " " << v[1] << " " << v[2] << " " << v[3];
  }
  return o.str();
}

TEST_F(Plt, EveryPlotParameterWord) {
  std::string param, out_file;
  for (const TableRow& row : read_table("driver/plot_param_words", 4)) {
    if (row[0] != "=") {
      param = row[0], out_file = row[1];
      RES_put("plot_param", param.c_str());
      RES_put("out_file", out_file.c_str());
      CaptureStderr();
      PLT_param_decode();
      EXPECT_EQ(GetCapturedStderr(), "") << param;
    }
    EXPECT_EQ(setting(row[2]), row[3]) << row[2] << " after " << param << " | " << out_file;
  }
  gset_redraw(0), gset_inverse(0), gset_font_drop(0);
  DATE_set_TZ(nullptr), CTY_set_id_type(0), CONT_set_bar(0), gset_loop_title(1);
  FILE_set_min_size(0), RES_put("out_file", "");
}

// Values that cannot be used are named and change nothing; nothing asks for absurd work.
TEST_F(Plt, HostilePlotParametersAreRefused) {
  for (const TableRow& c : read_table("driver/plot_param_bad", 2)) {
    RES_put("plot_param", c[0].c_str());
    CaptureStderr();
    PLT_param_decode();
    EXPECT_EQ(GetCapturedStderr(), "PLT_param_decode: Bad plot parameter: " + c[0] + " (" + c[1] + ")\n");
  }
  EXPECT_EQ(PLT_get_num_overlay(), 0);
  EXPECT_EQ(GRD_get_grid_factor(), 1);
  EXPECT_EQ(gget_font_drop(), 0);
  EXPECT_EQ(CONT_get_bar(), 0);
  // vp_size garbage is the panel decoder's to name.
  RES_put("plot_param", "vp_size=9x9+9+9");
  CaptureStderr();
  PLT_param_decode();
  EXPECT_EQ(GetCapturedStderr(), "PLT_panel_decode: Invalid view size: 9x9+9+9 (the panel lies outside the layout)\n");
}

// ---- events ----

std::vector<DomainRec> domains_seen;
void remember(const DomainRec* d) { domains_seen.push_back(*d); }

class Events : public Plt {
 protected:
  void SetUp() override {
    Plt::SetUp();
    domains_seen.clear();
    DOM_init(&us_);
    ASSERT_GT(DOM_decode("us", &us_), 0);
    MAP_domain(&us_);
    PLT_set_zoom_func(remember);
    PLT_set_resize_func(remember);
  }
  DomainRec us_{};
};

TEST_F(Events, ZoomBoxKeepsTheGridAndUnzoomGoesBack) {
  MESS_set(0, 0xFFF);
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  MAP_tran(&x0, &y0, 35.0F, -105.0F);
  MAP_tran(&x1, &y1, 45.0F, -90.0F);
  // Without a box begun a release is not a zoom; "u-Alt" before a zoom does nothing.
  EXPECT_EQ(PLT_plot_zoom("B1-R", x1, y1), 0);
  EXPECT_EQ(PLT_plot_zoom("u-Alt", x1, y1), 0);
  EXPECT_TRUE(domains_seen.empty());
  EXPECT_EQ(PLT_plot_zoom("B1-P-Shft", x0, y0), 1);
  EXPECT_EQ(gget_rubber_band(), 2);
  CaptureStdout();
  EXPECT_EQ(PLT_plot_zoom("B1-R", x1, y1), 1);
  const std::string out = GetCapturedStdout();
  EXPECT_EQ(out.rfind("New domain: ", 0), 0u) << out;
  ASSERT_EQ(domains_seen.size(), 1u);
  const DomainRec& z = domains_seen[0];
  float lat = 0, lon = 0;
  MAP_untran(&lat, &lon, (x0 + x1) / 2, (y0 + y1) / 2);
  EXPECT_EQ(std::tuple(z.proj, z.nx, z.ny), std::tuple(us_.proj, us_.nx, us_.ny));
  EXPECT_FLOAT_EQ(z.clat, lat);
  EXPECT_FLOAT_EQ(z.clon, lon);
  const float spacing = std::max(std::fabs(x1 - x0) / (us_.nx - 1), std::fabs(y1 - y0) / (us_.ny - 1));
  EXPECT_FLOAT_EQ(z.dx, spacing);
  EXPECT_LT(z.dx, us_.dx);
  EXPECT_EQ(PLT_get_zoom(), 1);
  EXPECT_EQ(gget_cursor(), 0);  // the busy cursor is taken away again
  // A click without a box (the same point) is no zoom.
  PLT_plot_zoom("B1-P-Shft", x0, y0);
  EXPECT_EQ(PLT_plot_zoom("B1-R", x0, y0), 1);
  EXPECT_EQ(domains_seen.size(), 1u);
  // Back to the domain before the first zoom.
  CaptureStdout();
  EXPECT_EQ(PLT_plot_zoom("u-Alt", 0, 0), 1);
  EXPECT_EQ(GetCapturedStdout().rfind("Original domain: ", 0), 0u);
  ASSERT_EQ(domains_seen.size(), 2u);
  EXPECT_EQ(DOM_comp(&domains_seen[1], &us_), 1);
  EXPECT_EQ(PLT_get_zoom(), 0);
  // "r-Alt" redraws the current domain; other events are not the zoom's.
  EXPECT_EQ(PLT_plot_zoom("r-Alt", 0, 0), 1);
  EXPECT_EQ(domains_seen.size(), 3u);
  EXPECT_EQ(PLT_plot_zoom("B2-P", 0, 0), 0);
  EXPECT_EQ(PLT_plot_zoom(nullptr, 0, 0), 0);
}

TEST_F(Events, LocationQuery) {
  float x = 0, y = 0;
  MAP_tran(&x, &y, 40.0F, -100.0F);
  EXPECT_EQ(PLT_print_location("B1-P", x, y), 0);
  CaptureStdout();
  EXPECT_EQ(PLT_print_location("v-Alt", x, y), 1);
  char want[128];
  std::snprintf(want, sizeof want, "Lat:  40.00 Lon: -100.00 XY: %6.2f %6.2f Pixel: -9999.00 -9999.00\n", x, y);
  EXPECT_EQ(GetCapturedStdout(), want);
}

// ---- labels ----

class Labels : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear(), FLAG_reset(-9999), FLAG_resetplot(1), MESS_set(0, 0xFF), PLT_set_label_type(0);
    PLT_reset_label_state();
    const DateRec d{2026, 3, 14, 73, 6, 12, -9999, -9999};
    PLT_label_date(&d);
    PLT_label_for_time(12);
  }
  void TearDown() override { RES_clear(), FLAG_resetplot(1), PLT_set_label_type(0); }
};

// ---- escapes ----

TEST_F(Labels, EscapesOfTheLabelDateAndForecastTime) {
  for (const TableRow& c : read_table("driver/label_escapes", 3)) {
    DateRec d{2026, 3, 14, 73, 6, 12, -9999, -9999};
    if (c[0] != "12z") d.hour = c[0] == "1230" ? 12 : -9999;
    if (c[0] == "1230") d.minute = 30;
    if (c[0] == "none") DATE_init(&d);
    PLT_label_date(&d);
    EXPECT_EQ(PLT_label_format(c[1].c_str()), c[2]) << c[0] << " " << c[1];
  }
  EXPECT_EQ(PLT_label_format(nullptr), "");
}

TEST_F(Labels, ResourceSetsPositionsAndOverlaysAndSaysWhatItCannotUse) {
  RES_put("label", ("ul:Surface_%D,LR2:Valid_%V,uc,zz:x,ul7:x,ul:" + std::string(70, 'x') + ",ur:").c_str());
  PLT_label_up_right("12Z 14 MAR 26");
  CaptureStderr();
  EXPECT_EQ(PLT_apply_label_resource(), 3);
  EXPECT_EQ(GetCapturedStderr(),
            "PLT_labels: Label not used: uc: a label is written as position, overlay 0-5 and ':' (ul:text, ul1:text)\n"
            "PLT_labels: Label not used: zz:x: unknown label position (ul, uc, ur, ll, lc, lr)\n"
            "PLT_labels: Label not used: ul7:x: overlays are numbered 0-5\n"
            "PLT_labels: Label not used: ul:" + std::string(70, 'x') + ": longer than 69 characters\n");
  EXPECT_STREQ(PLT_get_label(0, 0), "Surface 12Z 14 MAR 26");
  EXPECT_STREQ(PLT_get_label(5, 2), "Valid 0Z SUN 15 MAR 26");
  EXPECT_STREQ(PLT_get_label(2, 0), "");  // "ur:" empties the date label
  EXPECT_EQ(PLT_get_num_overlay(), 3);    // overlay 2 is drawn
  // Every frame applies the resource again; its mistakes were told once.
  CaptureStderr();
  EXPECT_EQ(PLT_apply_label_resource(), 3);
  EXPECT_EQ(GetCapturedStderr(), "");
}

// ---- layout ----

TEST_F(Labels, LayoutOfTheLinesAroundTheView) {
  const float area[4] = {0.0F, 1.0F, 0.0F, 0.75F}, view[4] = {0.1F, 0.9F, 0.1F, 0.6F};
  // One line: 0.03 of the page high, 0.2 of a line off the view.
  PltLabelLayout l = PLT_label_layout(view, area);
  EXPECT_EQ(l.lines, 1);
  EXPECT_FLOAT_EQ(l.line, 0.0225F);
  EXPECT_FLOAT_EQ(l.chars, 0.016875F);
  EXPECT_FLOAT_EQ(l.upper_base[0], 0.6F + 0.2F * 0.0225F);
  EXPECT_FLOAT_EQ(l.lower_base[0], 0.1F - 0.95F * 0.0225F);
  // Three overlays in a band of 0.03: lines of 0.01, the first on top.
  PLT_set_num_overlay(3);
  const float tight[4] = {0.1F, 0.9F, 0.1F, 0.72F};
  l = PLT_label_layout(tight, area);
  EXPECT_EQ(l.lines, 3);
  EXPECT_NEAR(l.line, 0.01F, 1e-6F);
  EXPECT_NEAR(l.upper_base[0], 0.72F + 2.2F * 0.01F, 1e-6F);
  EXPECT_NEAR(l.upper_base[2], 0.72F + 0.2F * 0.01F, 1e-6F);
  EXPECT_NEAR(l.lower_base[1], 0.1F - 1.95F * 0.01F, 1e-6F);
  // A negative label type draws one line whatever the overlays.
  PLT_set_label_type(-2);
  EXPECT_EQ(PLT_label_layout(tight, area).lines, 1);
  PLT_set_label_type(0);
  // Below 0.005 of band no labels fit.
  const float full[4] = {0.1F, 0.9F, 0.1F, 0.746F};
  EXPECT_EQ(PLT_label_layout(full, area).line, 0.0F);
  // Labels inside the view: a band of 0.06 of the page, lines below the top edge.
  PLT_set_full_lab(1);
  PLT_set_num_overlay(-1);
  l = PLT_label_layout(full, area);
  EXPECT_FLOAT_EQ(l.line, 0.0225F);
  EXPECT_FLOAT_EQ(l.upper_base[0], 0.746F - 0.95F * 0.0225F);
  EXPECT_FLOAT_EQ(l.lower_base[0], 0.1F + 0.2F * 0.0225F);
}

}  // namespace
