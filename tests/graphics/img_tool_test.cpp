// The package image format written and read back (a script), its compressed body, the XWD and PNG
// writers against ImageMagick, and damaged files of every format read without harm.
#include "graphics/img_tool.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>

#include "graphics/gif.h"
#include "graphics/gks_img.h"
#include "graphics/png.h"
#include "graphics/xdump.h"
#include "tests/graphics/img_files.h"
#include "tests/support/capture.h"
#include "tests/support/gwin_calls.h"

namespace {

// 25000 bytes of pixels are three zlib streams of 10000, 10000 and 5000 bytes of input.
TEST(ZavBody, CompressesInPiecesOfTenThousandBytes) {
  const ImgRec image = gray_image(250, 100);
  const std::string path = make_temp_dir("zav") + "/three.zav";
  ASSERT_EQ(IMG_write(path.c_str(), &image, 1), 1);
  const std::string file = read_file(path);
  std::size_t at = 0;
  for (int line = 0; line < 4; ++line) at = file.find('\n', at) + 1;
  std::vector<std::size_t> pieces;
  while (at < file.size()) {
    z_stream z{};
    ASSERT_EQ(inflateInit(&z), Z_OK);
    std::vector<unsigned char> out(20000);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(file.data() + at));
    z.avail_in = static_cast<uInt>(file.size() - at);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    ASSERT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    pieces.push_back(z.total_out);
    at += z.total_in;
    inflateEnd(&z);
  }
  EXPECT_EQ(pieces, (std::vector<std::size_t>{10000, 10000, 5000}));
}

// Other pictures are stored one byte a pixel: the mean of the colours for 32 bits.
TEST(ZavBody, DirectColourBecomesGrayLevels) {
  const ImgRec image = argb_image(3, 1, [](int x, int) {
    return std::array<unsigned, 3>{0xFF0000, 0x30C060, 0xFFFFFF}[x];
  });
  const std::string path = make_temp_dir("zav") + "/gray.zav";
  ASSERT_EQ(IMG_write(path.c_str(), &image, 1), 1);  // never compressed
  const std::string file = read_file(path);
  EXPECT_EQ(file.substr(file.size() - 3), std::string("\x55\x70\xFF", 3));
}

TEST(Xwd, HeaderNamesThePictureAndImageMagickReadsIt) {
  const ImgRec image = argb_image(33, 17, [](int x, int y) {
    return static_cast<unsigned>(x * 7) << 16 | static_cast<unsigned>(y * 13) << 8 | 0x40;
  });
  const std::string path = make_temp_dir("xwd") + "/plot.xwd";
  ASSERT_EQ(XWD_write(path.c_str(), &image), 1);
  const std::string b = read_file(path);
  ASSERT_EQ(b.size(), 105u + 33u * 17u * 4u);
  EXPECT_EQ(b.substr(0, 4), std::string("\0\0\0\x69", 4));  // 100 + "plot" + its zero byte
  EXPECT_EQ(b.substr(100, 5), std::string("plot\0", 5));
  const Decoded d = magick_decode(path);
  EXPECT_EQ(d.width, 33);
  EXPECT_EQ(d.height, 17);
  EXPECT_EQ(d.rgb, rgb_of(image));
  ImgRec back;
  ASSERT_EQ(IMG_read(path.c_str(), &back, 1), 1);
  EXPECT_EQ(back.info, "plot");
  EXPECT_EQ(rgb_of(back), rgb_of(image));
}

// Palette XWD files have colour entries of 12 bytes (pixel, red, green, blue, flags, pad):
// the program's own 8-bit dumps and ImageMagick's palette files read back pixel for pixel.
TEST(Xwd, PaletteFilesReadBack) {
  ImgRec image;
  IMG_init(&image);
  image.width = 37, image.height = 11, image.depth = 8, image.bits_per_pixel = 8, image.bytes_per_line = 40;
  image.color_mapped = 1;
  image.info = "plot";
  // Fractions that 16 bits hold exactly.
  image.colors = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}, {0.2F, 0.6F, 0}};
  image.num_colors = 5;
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 40; ++x) image.data.push_back(static_cast<unsigned char>(x < 37 ? (x + 2 * y) % 5 : 0));
  const std::string dir = make_temp_dir("xwd");
  const std::string own = dir + "/palette.xwd";
  ASSERT_EQ(XWD_write(own.c_str(), &image), 1);
  EXPECT_EQ(read_file(own).size(), 100u + 5u + 5u * 12u + 40u * 11u);  // "plot" and its zero byte
  const Decoded d = magick_decode(own);
  EXPECT_EQ(d.rgb, rgb_of(image));
  ImgRec back;
  ASSERT_EQ(IMG_read(own.c_str(), &back, 1), 1);
  EXPECT_EQ(back.color_mapped, 1);
  EXPECT_EQ(back.num_colors, 5);
  EXPECT_EQ(rgb_of(back), rgb_of(image));

  const std::string theirs = dir + "/magick.xwd";
  ASSERT_EQ(run_program("/usr/bin/env", {"convert", "-size", "40x30", "gradient:red-blue", "-colors", "16", "-type",
                                         "Palette", "xwd:" + theirs})
                .status,
            0);
  const Decoded m = magick_decode(theirs);
  ASSERT_EQ(m.rgb.size(), 40u * 30u);
  ImgRec read;
  ASSERT_EQ(IMG_read(theirs.c_str(), &read, 1), 1);
  EXPECT_EQ(read.color_mapped, 1);
  EXPECT_EQ(read.width, 40);
  // ImageMagick takes 8 bits of the 16-bit colours its own way (0xF2C1 is 0xF1 to it, 242
  // rounded): one step of difference a channel at most.
  const std::vector<unsigned> got = rgb_of(read);
  ASSERT_EQ(got.size(), m.rgb.size());
  int worst = 0, distinct = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    for (int shift : {0, 8, 16})
      worst = std::max(worst, std::abs(static_cast<int>((got[i] >> shift) & 0xFF) -
                                       static_cast<int>((m.rgb[i] >> shift) & 0xFF)));
    distinct += i > 0 && got[i] != got[i - 1];
  }
  EXPECT_LE(worst, 1);
  EXPECT_GT(distinct, 5);  // a gradient of several colours, not one
}

TEST(Png, PaletteFileOfThePicture) {
  const ImgRec image = argb_image(41, 23, [](int x, int y) {
    return (x + y) % 5 == 0 ? 0xFFFF00u : x < 20 ? 0x2040FFu : 0u;
  });
  const std::string path = make_temp_dir("png") + "/plot.png";
  ASSERT_EQ(PNG_write(path.c_str(), &image), 1);
  const Decoded d = magick_decode(path);
  EXPECT_EQ(d.width, 41);
  EXPECT_EQ(d.height, 23);
  EXPECT_EQ(d.rgb, rgb_of(image));
  EXPECT_NE(read_file(path).find(std::string("Software\0ZAV - Isoworks v5.0", 28)), std::string::npos);
  ImgRec back;
  ASSERT_EQ(IMG_read(path.c_str(), &back, 0), 1);
  EXPECT_EQ(back.color_mapped, 1);
  EXPECT_EQ(rgb_of(back), rgb_of(image));
}

// What a call returns, then what it said.
template <class F>
std::string said(F f) {
  CaptureStderr();
  const std::string r = f();
  const std::string err = GetCapturedStderr();
  return err.empty() ? r : r + " " + err;
}

// The files of tests/data/graphics/images.txt.
class Files : public ::testing::TestWithParam<Script> {};

TEST_P(Files, ReadAsTheScriptSays) {
  const std::string dir = make_temp_dir("bad");
  const auto at = [&dir](const std::string& path) { return with_dir(path, dir); };
  run_calls(GetParam(), {
      {"write", [&](const Args& a) { return write_file(at(a.at(0)), a.at(1)), std::string(); }},
      {"cut", [&](const Args& a) { return write_file(at(a.at(2)), read_file(at(a.at(0))).substr(0, std::stoul(a.at(1)))), std::string(); }},
      {"made", [&](const Args& a) {  // 64 by 48 pixels of many colours, or gray levels for "zavz"
         const std::string path = at(a.at(1));
         const ImgRec image = argb_image(64, 48, [](int x, int y) { return static_cast<unsigned>(x * 3 + y) * 0x010203u; });
         const ImgRec gray = gray_image(64, 48);
         if (a[0] == "gif") GIF_write(path.c_str(), &image);
         if (a[0] == "png") PNG_write(path.c_str(), &image);
         if (a[0] == "zav" || a[0] == "zavz") IMG_write(path.c_str(), a[0] == "zav" ? &image : &gray, a[0] == "zavz");
         std::string bytes = read_file(path);
         for (std::size_t i = bytes.size() - (a.size() > 2 ? std::stoul(a[2]) : 0); i < bytes.size(); ++i) bytes[i] ^= 0x5A;
         return write_file(path, bytes), std::string();
       }},
      {"read", [&](const Args& a) {
         ImgRec image;
         return said([&] { return std::to_string(IMG_read(at(a.at(0)).c_str(), &image, 0)) + " " + std::to_string(image.data.size()); });
       }},
      {"zav", [&](const Args& a) {  // the gray picture of 120 by 90 with its labels and a domain of a projection
         ImgRec image = gray_image(120, 90);
         image.info = "Temperature [sample]", image.date_label = "12Z 14 MAR 26";
         if (a.size() > 2) {
           DomainRec& d = image.domain;
           d.proj = std::stoi(a[2]), d.plat = std::stof(a.at(3)), d.plon = std::stof(a.at(4)), d.p3 = std::stof(a.at(5));
           d.clat = 40.0f, d.clon = -100.0f, d.dx = 0.5f, d.dy = 0.25f, d.nx = 120, d.ny = 90;
         }
         return num(IMG_write(at(a.at(0)).c_str(), &image, std::stoi(a.at(1))));
       }},
      {"lines", [&](const Args& a) {  // the first N lines of a file, and its size
         const std::string text = read_file(at(a.at(0)));
         std::size_t end = 0;
         for (int n = std::stoi(a.at(1)); n > 0; --n) end = text.find('\n', end) + 1;
         return text.substr(0, end) + num(static_cast<long>(text.size()));
       }},
      {"back", [&](const Args& a) {  // what reading gives: source, size, labels, time, pixels, domain
         ImgRec b;
         const int r = IMG_read(at(a.at(0)).c_str(), &b, 0);
         const DomainRec& d = b.domain;
         return num(r) + " " + num(b.source) + " " + num(b.width) + "x" + num(b.height) + " " + b.info + "|" + b.date_label + "|" +
                num(b.date.year) + " " + num(b.date.hour) + (b.data == gray_image(120, 90).data ? " same" : " other") +
                (IMG_has_domain(&b) ? " " + num(d.proj) + " " + num(d.clat) + " " + num(d.dy) + " " + num(d.nx) + " " + num(d.p3) : "");
       }},
      {"size", [](const Args& a) {
         return said([&] { return std::to_string(IMG_size_allowed(a.at(0).c_str(), std::stoll(a.at(1)), std::stoll(a.at(2)))); });
       }},
  });
}
INSTANTIATE_TEST_SUITE_P(Img, Files, ::testing::ValuesIn(scripts_of("graphics/images.txt")), script_name);

}  // namespace
