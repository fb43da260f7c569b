#include "driver/plt_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/grd_tool.h"
#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "config/system.h"
#include "driver/plt_labl.h"
#include "files/files.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/cty_tool.h"
#include "surface/var_tool.h"
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

TEST_F(Plt, EveryPlotParameterWord) {
  RES_put("plot_param",
          "FULL,noredraw,wmo,tz=EST:-5,over=1:3,lalo=10:20:2:30,gridx3,plt_skip=2,plt_off=0.5:-1,plt_grid=4,"
          "loc_pr=3,vp_size=2x2+1+0,font=triplex,gif_inter,inv,lcmap,rwclr,nolooptitle,new,bar=10:90,shadow,"
          "min_size=100,nohdr,max_bad=5,xwd:myxwd,refresh,unknown_word");
  CaptureStderr();
  PLT_param_decode();
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(PLT_get_view_offset(), 0.0F);
  EXPECT_EQ(gget_redraw(), 0);
  EXPECT_EQ(CTY_get_id_type(), 1);
  EXPECT_NE(std::string(DATE_get_tz_str()).find("EST"), std::string::npos) << DATE_get_tz_str();
  EXPECT_EQ(std::tuple(PLT_get_overlay_base(), PLT_get_num_overlay()), std::tuple(1, 3));
  float dlat = 0, dlon = 0;
  MAP_get_latlon(&dlat, &dlon);
  EXPECT_EQ(std::tuple(dlat, dlon), std::tuple(10.0F, 20.0F));
  EXPECT_EQ(GRD_get_grid_factor(), 3);
  int sx = 0, sy = 0;
  CONT_get_skip(&sx, &sy);
  EXPECT_EQ(std::tuple(sx, sy), std::tuple(2, 2));
  float ox = 0, oy = 0;
  CONT_get_plot_offset(&ox, &oy);
  EXPECT_EQ(std::tuple(ox, oy), std::tuple(0.5F, -1.0F));
  EXPECT_EQ(DOM_get_loc_prior(), 3);
  expect_near(view_size(), {0.5F, 1.0F, 0.5F, 1.0F}, "vp_size");
  EXPECT_EQ(PLT_get_gif_mode(), 1);
  EXPECT_EQ(gget_inverse(), 1);
  EXPECT_EQ(std::tuple(gget_local_colormap(), gget_rw_colors(), gget_loop_title(), gget_pix_mode()),
            std::tuple(1, 1, 0, 2));
  float lo = 0, hi = 0;
  CONT_get_bar_range(&lo, &hi);
  EXPECT_EQ(std::tuple(CONT_get_bar(), lo, hi), std::tuple(2, 10.0F, 90.0F));
  EXPECT_EQ(gget_font_drop(), 4);
  EXPECT_EQ(FILE_get_min_size(), 100);
  EXPECT_EQ(std::tuple(PLT_get_dump(), std::string(PLT_get_dump_file())), std::tuple(1, std::string("myxwd")));

  // The other settings of each pair.
  RES_put("plot_param", "fullab,cod_wmo,gif_trans,nolcmap,norwclr,kill,nobar,shadow=2,png,gridx1");
  PLT_param_decode();
  EXPECT_EQ(PLT_get_full_lab(), 1);
  EXPECT_EQ(CTY_get_id_type(), 2);
  EXPECT_EQ(PLT_get_gif_mode(), 2);
  EXPECT_EQ(std::tuple(gget_local_colormap(), gget_rw_colors(), gget_pix_mode()), std::tuple(0, 0, 9));
  EXPECT_EQ(CONT_get_bar(), -2);
  EXPECT_EQ(gget_font_drop(), 2);
  EXPECT_EQ(std::tuple(PLT_get_dump(), std::string(PLT_get_dump_file())), std::tuple(4, std::string("zav.png")));
  // Image dumps through out_file: "gif" with a convention after its first four characters.
  RES_put("plot_param", "id,clear,gif_norm");
  RES_put("out_file", "cdf,gif:loop_%i");
  PLT_param_decode();
  EXPECT_EQ(CTY_get_id_type(), 0);
  EXPECT_EQ(gget_pix_mode(), 1);
  EXPECT_EQ(PLT_get_gif_mode(), 0);
  EXPECT_EQ(std::tuple(PLT_get_dump(), std::string(PLT_get_dump_file())), std::tuple(2, std::string("loop_%i")));
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

// ---- workstation ----

TEST_F(Plt, PlotTypeNoneOrDrawingOffOpensNothing) {
  FLAG_set(FLAG_DEVICE, WS_PS);
  const std::string dir = make_temp_dir("plt_open");
  RES_put("device", ("p," + dir + "/a.ps").c_str());
  MESS_set(0, 0xF);
  for (const auto& [type, draw, result, open] :
       {std::tuple{99, 1, -1, 0}, {-9999, 0, -1, 0}, {-9999, 1, 0, 1}}) {
    FLAG_set(FLAG_PLOT_TYPE, type);
    FLAG_setplot(DRAW_ALL, draw);
    EXPECT_EQ((std::tuple{PLT_open(1.0F), gchk_graphics()}), std::tuple(result, open)) << type << " " << draw;
    EXPECT_EQ(PLT_reset(1.0F), result);
    EXPECT_EQ((std::tuple{PLT_close(), gchk_graphics()}), std::tuple(result, 0));
  }
  EXPECT_EQ(PLT_get_work_type(), WS_PS);
}

// A plot fills the page less the label margins; panels of an earlier plot do not stay.
TEST_F(Plt, OpenFitsTheViewAndForgetsEarlierPanels) {
  FLAG_set(FLAG_DEVICE, WS_META);
  const std::string dir = make_temp_dir("plt_view");
  RES_put("device", ("m," + dir + "/a.meta").c_str());
  PLT_panel_decode("3x2+2+1");
  ASSERT_EQ(PLT_open(2.0F), 0);
  float v[4];
  PLT_get_view(v);
  // A metafile page of 1000 by 800 units: 1 by 0.7998 NDC, 0.06 of it kept free below and
  // above; a 2:1 plot is as wide as the page and centred in the rest.
  const float yvp = GPH_get_vert_win_size();
  expect_near({v[0], v[1], v[3] - v[2], (v[2] + v[3]) / 2}, {0.0F, 1.0F, 0.5F, yvp / 2}, "view");
  // Panels keep the plot's aspect.
  PLT_panel_decode("2x1+1+0");
  ASSERT_EQ(PLT_panel(0.0F), 0);
  PLT_get_view(v);
  EXPECT_NEAR(v[0], 0.5F, 1e-6F);
  EXPECT_NEAR((v[1] - v[0]) / (v[3] - v[2]), 2.0F, 1e-5F);
  PLT_close();
}

// On paper each frame of a sequence is a page of its own; a blank page is not shown.
TEST_F(Plt, NewPageAfterADrawing) {
  FLAG_set(FLAG_DEVICE, WS_PS);
  const std::string dir = make_temp_dir("plt_page");
  RES_put("device", ("p," + dir + "/a.ps").c_str());
  MESS_set(0, 0xF);
  ASSERT_EQ(PLT_open(1.0F), 0);
  PLT_new_page();
  EXPECT_EQ(gps_get_pages(), 1);
  GPH_line(0, 0, 1, 1);
  PLT_new_page();
  PLT_new_page();
  EXPECT_EQ(gps_get_pages(), 2);
  PLT_close();
  const std::string ps = read_file(dir + "/a.ps");
  std::size_t pages = 0;
  for (std::size_t p = 0; (p = ps.find("showpage\n", p)) != std::string::npos; ++p) ++pages;
  EXPECT_EQ(pages, 2u);
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

TEST_F(Events, ResizeRefreshAndTheWindowCallbacks) {
  EXPECT_EQ(PLT_plot_resize("B1-P"), 0);
  EXPECT_EQ(PLT_plot_resize("size"), 1);
  ASSERT_EQ(domains_seen.size(), 1u);
  EXPECT_EQ(DOM_comp(&domains_seen[0], &us_), 1);

  static int refreshed = 0;
  refreshed = 0;
  PLT_set_refresh_func(60, [] { ++refreshed; });
  int seconds = 0;
  GksRefreshFunc timer = gget_refresh_callback(&seconds);
  ASSERT_EQ(timer, &PLT_plot_refresh);
  EXPECT_EQ(seconds, 60);
  timer();
  EXPECT_EQ(refreshed, 1);
  PLT_set_refresh_func(60, nullptr);
  EXPECT_EQ(gget_refresh_callback(&seconds), nullptr);

  static std::string last_event;
  PLT_set_callback([](const char* event, float, float) {
    last_event = event;
    return 1;
  });
  ASSERT_NE(gget_mouse_callback(), nullptr);
  EXPECT_EQ(gget_mouse_callback()(3, "B1-P", 1.0F, 2.0F), 1);
  EXPECT_EQ(last_event, "B1-P");
  PLT_set_callback(nullptr);
  EXPECT_EQ(gget_mouse_callback(), nullptr);
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

// "v-Alt" names the nearest station (none here) and the value of each grid at the
// pointer; "e-Alt" belongs to a single grid and file only.
TEST_F(Events, ValueQueryPrintsTheGridsAtThePointer) {
  ASSERT_EQ(VAR_setup(nullptr, "temp"), 1);
  GRD_set_grid_domain(0, &us_);
  ASSERT_EQ(GRD_alloc_grid(0), 1);
  GridRec* g = GRD_get_grid(0);
  for (int k = 0; k < g->domain.nx * g->domain.ny; ++k) g->values[k] = 42.0F;
  float x = 0, y = 0;
  MAP_grid_tran(&x, &y, 3.0F, 4.0F);
  EXPECT_EQ(PLT_print_values("B1-P", x, y), 0);
  CaptureStdout();
  EXPECT_EQ(PLT_print_values("v-Alt", x, y), 1);
  float lat = 0, lon = 0;
  MAP_untran(&lat, &lon, x, y);
  char want[160];
  std::snprintf(want, sizeof want, "Id: - Lat: %6.2f Lon: %7.2f Var:   temp - Grid:   3.00,  4.00 =  42.00\n", lat, lon);
  EXPECT_EQ(GetCapturedStdout(), want);
  GRD_free(g);
}

// ---- image dumps ----

TEST_F(Plt, DumpNamesFollowTheConvention) {
  const std::string dir = make_temp_dir("plt_dump");
  write_file(dir + "/name_conv", "zav.gif %I/sfc_%Y%m%d%h.gif - 0\n");
  RES_put("name_conv", (dir + "/name_conv").c_str());
  RES_put("image_path", (dir + "/img").c_str());
  // The file module's date: that of the name made last.
  const DateRec d{2026, 3, 14, 73, 6, 12, 0, 0};
  char name[FILE_NAME_MAX];
  FILE_set_name("@%Y%m%d%h.sfc");
  FILE_set_date(&d, name);
  PLT_set_dump(2, nullptr);
  EXPECT_EQ(PLT_dump_name("03"), dir + "/img/sfc_2026031412.gif");
  // A name that is no convention is a template of its own; 'i' is the frame.
  PLT_set_dump(2, "loop_%i");
  EXPECT_EQ(PLT_dump_name("07"), dir + "/img/loop_07");
  RES_put("image_path", "");
  EXPECT_EQ(PLT_dump_name("win"), "loop_win");
  PLT_set_dump(5, "x");  // no such kind: unchanged
  EXPECT_EQ(PLT_get_dump(), 2);
}

// A device without a picture to capture: the dump warns which file it could not write,
// and the plot goes on.
TEST_F(Plt, DumpsWithoutAPictureWarn) {
  FLAG_set(FLAG_DEVICE, WS_META);
  const std::string dir = make_temp_dir("plt_dump2");
  RES_put("device", ("m," + dir + "/a.meta").c_str());
  RES_put("plot_param", "gif:loop_%i");
  ASSERT_EQ(PLT_open(1.0F), 0);
  gcreate_frame(0), gcreate_frame(1);
  CaptureStderr();
  EXPECT_EQ(PLT_dump(1), 0);
  EXPECT_EQ(PLT_dump(-4), 0);
  // Frames belong to the window devices: a metafile has none, so the frame key is "win".
  EXPECT_EQ(gget_num_images(), 0);
  EXPECT_EQ(GetCapturedStderr(), "PLT_dump: Unable to write GIF file: loop_win\n"
                                 "PLT_dump: Unable to write GIF file: loop_win\n");
  PLT_close();
}

}  // namespace
