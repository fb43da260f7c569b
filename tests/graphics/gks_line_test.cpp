#include "graphics/gks_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/graphics/gks_fixture.h"
#include "tests/support/capture.h"

namespace {

using Line = GksTest;

// Each line type: its name in attribute strings and its dash list.
TEST_F(Line, TypesNamesAndDashes) {
  const struct { int type; const char* name; std::vector<unsigned char> dashes; } t[] = {
      {1, "sol", {}}, {2, "dsh", {6, 6}}, {3, "lsdsh", {3, 6}}, {4, "llsdsh", {6, 6, 3, 6}}, {5, "dot", {2, 2}},
  };
  for (const auto& c : t) {
    AttribRec a;
    ATTRIB_init(&a);
    ATTRIB_parse((std::string("st=") + c.name).c_str(), &a);
    EXPECT_EQ(a.style, c.type) << c.name;
    const unsigned char* d = nullptr;
    const int n = gget_dash(c.type, &d);
    EXPECT_EQ(std::vector<unsigned char>(d, d + n), c.dashes) << c.name;
  }
  EXPECT_EQ(gget_dash(6, nullptr), 0);  // drawn solid
}

// Setters pass only changes on: the device (and a metafile) sees one record per change.
TEST_F(Line, SettersPassOnlyChanges) {
  for (int type : {WS_META, WS_PS}) {
    open(type);
    gset_redraw(1);
    const int red = CLR_get_ind("red");
    for (int k = 0; k < 2; ++k) gset_line_colr_ind(red), gset_linetype(2), gset_linewidth(3), gset_line_print_bold(2);
    for (int code : {GOBJ_LCOLR, GOBJ_LTYPE, GOBJ_LWIDTH, GOBJ_LBOLD}) EXPECT_EQ(calls(code).size(), 1U) << code;
    EXPECT_EQ(calls(GOBJ_LCOLR)[0].arg, red);
    EXPECT_EQ(calls(GOBJ_LWIDTH)[0].values, std::vector<float>{3});
    // A metafile keeps its own records; other devices' calls go to the object list too.
    EXPECT_EQ(gobj_list().size(), type == WS_META ? 0U : 4U) << type;
    gclose_ws(1);
    gset_redraw(0);
  }
  open(WS_PS);
  gset_linewidth(0);  // PostScript's thinnest line
  EXPECT_EQ(gget_line_width(), 1.0F);
  gset_line_print_bold(0.5F);
  EXPECT_EQ(gget_line_print_bold(), 1.0F);  // never below 1
}

TEST_F(Line, InvalidValuesAreRefusedAndKept) {
  CaptureStderr();
  EXPECT_EQ(gset_linetype(2), -1);
  EXPECT_EQ(GetCapturedStderr(), "gset_linetype: GKS not opened\n");
  open(WS_X11);
  const float pt[2] = {0.5F, 0.5F}, nan[4] = {0, 0, NAN, 1};
  CaptureStderr();
  EXPECT_EQ(gset_linetype(-1) + gset_linewidth(-2) + gset_line_colr_ind(300) + gset_line_colr_ind(200) +
                gpolyline(1, pt) + gpolyline(2, nan),
            -6);
  EXPECT_EQ(GetCapturedStderr(),
            "gset_linetype: invalid line type: -1\n"
            "gset_linewidth: invalid line width: -2.000000\n"
            "gset_line_colr_ind: invalid color index: 300\n"
            "gset_line_colr_ind: color index not initialized\n"
            "gpolyline: invalid number of points: 1\n"
            "gpolyline: invalid point coordinates\n");
  EXPECT_EQ((std::vector<float>{float(gget_line_type()), gget_line_width(), float(gget_line_colr())}),
            (std::vector<float>{1, 1, 1}));
  // A print colour is drawn with colour 1 on a window.
  gset_line_colr_ind(5);
  EXPECT_EQ(gset_line_colr_ind(503), 0);
  EXPECT_EQ(gget_line_colr(), 1);
}

TEST_F(Line, PolylinesInDeviceUnitsAndWhollyOutsideNotDrawn) {
  open(WS_X11);
  const float w[4] = {0, 100, 0, 100};
  gset_win(1, w);
  gsel_norm_tran(1);
  const float in[6] = {0, 0, 50, 50, 100, 0}, out[4] = {101, 0, 200, 50};
  EXPECT_EQ(gpolyline(3, in), 0);
  EXPECT_EQ(gpolyline(2, out), 0);
  const std::vector<GksCall> lines = calls(GOBJ_LINE);
  ASSERT_EQ(lines.size(), 1U);
  // The workstation window is still the unit square: 511 by 511 pixels at the lower left of
  // the 639 by 511 window, y counting down.
  EXPECT_EQ(lines[0].values, (std::vector<float>{0, 511, 255.5F, 255.5F, 511, 511}));
}

}  // namespace

namespace {

// A long run without a writer keeps a bounded log of what it drew and counts the rest.
TEST_F(Line, RecordedCallsAreBounded) {
  open(WS_PS);
  const float l[4] = {0, 0, 1, 1};
  for (std::size_t i = 0; i < GDEV_MAX_CALLS + 10; ++i) ASSERT_EQ(gpolyline(2, l), 0);
  EXPECT_EQ(gdev_calls().size(), GDEV_MAX_CALLS);
  EXPECT_EQ(gdev_dropped_calls(), 10);
}

}  // namespace
