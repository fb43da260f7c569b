// The window's picture captured into image files: every GIF, PNG and XWD file decodes in
// ImageMagick to exactly the pixels of the window; the image keys write real files; and
// image files drawn over the picture leave their transparent colour out.
#include "graphics/gks_img.h"

#include "tests/graphics/gks_window.h"
// After the window set-up (GoogleTest before Xlib).
#include <X11/keysym.h>

#include "graphics/gif.h"
#include "graphics/png.h"
#include "graphics/xdump.h"

#include <string>
#include <utility>
#include "tests/graphics/img_files.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class Capture : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    dir_ = make_temp_dir("gks_img");
    gset_win_title("Cap plot");
    gset_xsize(300, 200);
    open_window();
    // A picture of a few colours and slanted lines: every pixel of it must survive.
    box(10, 10, 150, 90, 2);
    box(100, 60, 280, 180, 3);
    for (int i = 0; i < 30; ++i) line(5 + 9 * i, 195, 30 + 8 * i, 5, i % 2 ? 1 : 2);
  }
  void TearDown() override {
    GIF_reset_state();
    WindowTest::TearDown();
  }

  void expect_window(const std::string& path) {
    const XPicture window = picture();
    const Decoded d = magick_decode(path);
    EXPECT_EQ(d.width, window.width) << path;
    EXPECT_EQ(d.height, window.height) << path;
    EXPECT_TRUE(d.rgb == window.rgb) << path << ": the file's pixels differ from the window's";
  }

  std::string dir_;
};

TEST_F(Capture, FilesHoldTheWindowsPixels) {
  ImgRec image;
  ASSERT_EQ(gget_image(&image), 1);
  EXPECT_EQ(image.width, 300);
  EXPECT_EQ(image.height, 200);
  EXPECT_EQ(image.info, "Cap plot");
  EXPECT_EQ(rgb_of(image), picture().rgb);
  ASSERT_EQ(GIF_dump((dir_ + "/w.gif").c_str()), 1);
  ASSERT_EQ(PNG_dump((dir_ + "/w.png").c_str()), 1);
  ASSERT_EQ(XWD_dump((dir_ + "/w.xwd").c_str()), 1);
  GIF_set_interlace(1);
  gset_save_image_type(GKS_SAVE_GIF);
  ASSERT_EQ(gsave_image_file((dir_ + "/i.gif").c_str()), 1);
  for (const char* f : {"/w.gif", "/w.png", "/w.xwd", "/i.gif"}) expect_window(dir_ + f);
  // The package format keeps one gray byte a pixel.
  ASSERT_EQ(IMG_dump((dir_ + "/w.zav").c_str()), 1);
  ImgRec back;
  ASSERT_EQ(IMG_read((dir_ + "/w.zav").c_str(), &back, 0), 1);
  EXPECT_EQ(back.width, 300);
  EXPECT_EQ(IMG_get_pixel(&back, 50, 50), 0x55u);  // red: (255 + 0 + 0) / 3
}

TEST_F(Capture, AltGAndAltXWriteTheWindow) {
  gset_image_writer(GKS_IMAGE_GIF, GIF_dump);
  gset_image_writer(GKS_IMAGE_XWD, XWD_dump);
  RES_put("image_path", dir_.c_str());
  gset_input_mode(1);
  CaptureStdout();
  XEvent g = key_event(XK_g, Mod1Mask), x = key_event(XK_x, Mod1Mask);
  gprocess_x11_event(&g);
  gprocess_x11_event(&x);
  EXPECT_EQ(GetCapturedStdout(),
            "Created GIF file: " + dir_ + "/Cap_p.gif\nCreated XWD file: " + dir_ + "/Cap_p.xwd\n");
  gset_input_mode(0);
  expect_window(dir_ + "/Cap_p.gif");
  expect_window(dir_ + "/Cap_p.xwd");
  gset_image_writer(GKS_IMAGE_GIF, nullptr);
  gset_image_writer(GKS_IMAGE_XWD, nullptr);
}

// An image drawn at an offset from the viewport's corners; its black (the background)
// leaves the picture below it as it was.
TEST_F(Capture, OverlayLeavesTheTransparentColourOut) {
  const ImgRec logo = argb_image(20, 10, [](int x, int) { return x < 10 ? 0xFFFF00u : 0x000000u; });
  const std::string path = dir_ + "/logo.png";
  ASSERT_EQ(PNG_write(path.c_str(), &logo), 1);
  const XPicture before = picture();
  ASSERT_EQ(goverlay_image_file(path.c_str(), "", 5, 7), 1);
  ASSERT_EQ(goverlay_image_file(path.c_str(), "", -1, -1), 1);
  const XPicture after = picture();
  short vp[4];
  gget_xviewport(vp);
  int changed = 0;
  for (int y = 0; y < after.height; ++y)
    for (int x = 0; x < after.width; ++x) {
      const bool top_left = x >= vp[0] + 5 && x < vp[0] + 15 && y >= vp[1] + 7 && y < vp[1] + 17;
      const int rx = vp[0] + vp[2] - 20 - 1, ry = vp[1] + vp[3] - 10 - 1;
      const bool bottom_right = x >= rx && x < rx + 10 && y >= ry && y < ry + 10;
      if (top_left || bottom_right)
        EXPECT_EQ(after.at(x, y), 0xFFFF00u) << x << "," << y;
      else
        changed += after.at(x, y) != before.at(x, y);
    }
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(goverlay_image_file((dir_ + "/none.png").c_str(), "", 0, 0), -1);
  // Hanging over the picture's left edge by 5 columns: the part on the picture is drawn.
  ASSERT_EQ(goverlay_image_file(path.c_str(), "", -5 - vp[0] - vp[2] + 20, 30), 1);
  const XPicture left = picture();
  for (int x = 0; x < 5; ++x) EXPECT_EQ(left.at(x, vp[1] + 32), 0xFFFF00u) << x;
  EXPECT_EQ(left.at(5, vp[1] + 32), after.at(5, vp[1] + 32));
  // Wholly off the picture, even at offsets whose sums overflow: told, and nothing drawn.
  for (const auto& [x, y] : {std::pair{0, 2147483647}, std::pair{-2147483647 - 1, 0}, std::pair{2147483647, -5}}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(goverlay_image_file(path.c_str(), "", x, y), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "goverlay_image_file: Image " + path + " at offset " +
                                                          std::to_string(x) + "," + std::to_string(y) +
                                                          " lies wholly off the picture: not drawn\n");
  }
  EXPECT_TRUE(picture().rgb == left.rgb);
}

}  // namespace
