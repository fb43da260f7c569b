// Pixel-replicating zoom of the window, driven by Alt-z and Alt-u as the user gives them.

#include "tests/graphics/gks_window.h"  // first: GoogleTest before Xlib

#include "graphics/gks_zoom.h"
#include <X11/keysym.h>

namespace {

class Zoom : public WindowTest {
 protected:
  XPicture orig;
  // A picture in which every pixel tells where it is: stripes of four colours across and
  // a grid of lines, so that a view shifted by one pixel shows.
  void draw_pattern() {
    for (int x = 0; x < 640; x += 8) box(x, 0, x + 3, 511, 1 + (x / 8) % 3);
    for (int r = 0; r < 512; r += 10) line(0, r, 639, r, (r / 10) % 4);
    for (int x = 5; x < 640; x += 37) line(x, 0, x, 511, 0);
    orig = picture();
  }
  // The picture expected for factor f with the view's top-left corner at left, top.
  XPicture expected(int f, int left, int top) const {
    XPicture e = orig;
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 640; ++x)
        e.rgb[static_cast<std::size_t>(y) * 640 + x] = orig.at(std::min(left + x / f, 639), std::min(top + y / f, 511));
    return e;
  }
  void key(KeySym sym, int x, int y) {
    XEvent e = key_event(sym, Mod1Mask, x, y);
    gprocess_x11_event(&e);
  }
  static int differing(const XPicture& a, const XPicture& b) {
    int n = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) n += a.rgb[i] != b.rgb[i];
    return n;
  }
};

// Alt-z twice at a point gives the factor 4 zoom centred there; Alt-u restores the
// picture pixel for pixel.
TEST_F(Zoom, TwiceAtAPointAndBack) {
  open_window();
  draw_pattern();
  gset_input_mode(1);
  called().clear();
  gset_mouse_callback(record_call);
  key(XK_z, 200, 150);
  EXPECT_EQ(gget_zoom(), 2);
  // The view of 320 by 256 centred on (200, 150).
  EXPECT_EQ(differing(picture(), expected(2, 40, 22)), 0);
  // The same picture point now shows at the window's centre.
  key(XK_z, 320, 256);
  EXPECT_EQ(gget_zoom(), 4);
  int cx = 0, cy = 0;
  gget_zoom_center(&cx, &cy);
  EXPECT_EQ((std::vector{cx, cy}), (std::vector{200, 150}));
  const XPicture z4 = picture();
  EXPECT_EQ(differing(z4, expected(4, 120, 86)), 0);
  save_png(z4, ::testing::TempDir() + "zoom4.png");
  // Pointer positions of the zoomed view map to pixels of the whole picture.
  EXPECT_FLOAT_EQ(xZ_p(320), 200.0F);
  EXPECT_FLOAT_EQ(yZ_p(0), 86.0F);
  // Alt-u while zoomed restores the picture and is not passed on; the zoom keys are.
  key(XK_u, 320, 256);
  EXPECT_EQ(gget_zoom(), 1);
  EXPECT_EQ(differing(picture(), orig), 0);
  ASSERT_EQ(called().size(), 2u);
  EXPECT_EQ(called()[0].name, "z-Alt");
  EXPECT_EQ(called()[1].name, "z-Alt");
  // Alt-u without a zoom goes to the callback (the plot's own unzoom).
  key(XK_u, 320, 256);
  ASSERT_EQ(called().size(), 3u);
  EXPECT_EQ(called()[2].name, "u-Alt");
}

// Near a corner the view is kept inside the picture.
TEST_F(Zoom, ClampedToThePicture) {
  open_window();
  draw_pattern();
  gset_input_mode(1);
  key(XK_z, 630, 500);
  EXPECT_EQ(differing(picture(), expected(2, 320, 256)), 0);
  key(XK_z, 630, 500);
  EXPECT_EQ(gget_zoom(), 4);
  EXPECT_EQ(differing(picture(), expected(4, 480, 384)), 0);
  // At the view's top-left corner: the factor 8 view of 80 by 64 pixels centred there.
  key(XK_z, 0, 0);
  EXPECT_EQ(gget_zoom(), 8);
  EXPECT_EQ(differing(picture(), expected(8, 440, 352)), 0);
  gunzoom();
  EXPECT_EQ(differing(picture(), orig), 0);
}

// The factor is kept, set or multiplied; no view smaller than a pixel is made.
TEST_F(Zoom, Factors) {
  open_window();
  draw_pattern();
  EXPECT_EQ(gzoom(GKS_FRAME_CURRENT, 320, 256, 3, 0), 3);
  EXPECT_EQ(gzoom(GKS_FRAME_CURRENT, -2, -2, -1, 1), 3);
  EXPECT_EQ(gzoom(GKS_FRAME_CURRENT, -2, -2, -2, 0), 6);
  EXPECT_EQ(gzoom(GKS_FRAME_CURRENT, -2, -2, 1, 1), 0);  // factor 1 with a redisplay: nothing
  EXPECT_EQ(gget_zoom(), 6);
  EXPECT_EQ(gzoom(GKS_FRAME_CURRENT, -2, -2, 2048, 0), 0);
  EXPECT_EQ(gzoom(GKS_FRAME_CURRENT, -2, -2, 640, 0), 0);  // 512 rows cannot show one
  EXPECT_EQ(gget_zoom(), 6);
  greset_zoom();
  EXPECT_EQ(gget_zoom(), 1);
  EXPECT_FLOAT_EQ(xZ_p(17), 17.0F);
}

// With frames the zoom follows the frame shown, and the frames stay unzoomed.
TEST_F(Zoom, FramesShowZoomed) {
  open_window();
  for (int f = 0; f < 2; ++f) {
    gcreate_frame(f);
    gselect_frame(f);
    box(0, 0, 639, 511, 2 + f);
    box(100, 100, 109, 109, 1);
    gdisplay_frame(f);
  }
  const XPicture unzoomed = picture(gget_frame_drawable(1));
  EXPECT_EQ(gzoom(GKS_FRAME_CURRENT, 105, 105, 4, 0), 4);
  // The white square of 10 pixels is 40 pixels wide now.
  XPicture p = picture();
  EXPECT_EQ(p.at(320, 256), kWhite);
  EXPECT_EQ(p.at(339, 275), kWhite);
  EXPECT_EQ(p.at(320, 276), kGreen);
  EXPECT_EQ(p.at(340, 256), kGreen);
  gdisplay_frame(0);
  p = picture();
  EXPECT_EQ(p.at(320, 256), kWhite);
  EXPECT_EQ(p.at(320, 276), kRed);
  EXPECT_EQ(picture(gget_frame_drawable(1)).rgb, unzoomed.rgb);
  gunzoom();
  EXPECT_EQ(picture().at(320, 256), kRed);
}

}  // namespace
