// Image files: the package format and GIF written and read back, against ImageMagick and by
// their bytes, and damaged files of every format read without harm (the scripts of
// tests/data/graphics/images.txt); the package format's compressed body, and the XWD and
// PNG writers against ImageMagick.
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

const unsigned kColours[12] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                               0x00FFFF, 0xFF00FF, 0x808080, 0x804000, 0x004080, 0x408000};

// The pictures of the "picture" step.
ImgRec picture(const std::string& name) {
  if (name == "twelve") return argb_image(640, 512, [](int x, int y) { return kColours[(x / 40 + y / 64) % 12]; });
  if (name == "rows") return argb_image(7, 10, [](int, int y) { return kColours[y]; });
  if (name == "run") return argb_image(3000, 3000, [](int x, int y) { return x == 0 && y == 0 ? 0xFF0000u : 0x0000FFu; });
  ImgRec halves = argb_image(4, 2, [](int x, int) { return x < 2 ? 0xFFFFFFu : 0x000000u; });
  halves.transparent = 0xFF000000;  // the raw pixel of black
  return name == "halves" ? halves : argb_image(64, 48, [](int x, int y) { return static_cast<unsigned>(x * 3 + y) * 0x010203u; });
}

// Walks the LZW codes of a GIF's image data from byte at as a decoder does: whether the end
// code came, the widest code, and whether the table was cleared more than once.
std::string walk_codes(const std::string& file, std::size_t at) {
  const int code_size = file.at(at++);
  std::string data;
  for (int n = static_cast<unsigned char>(file.at(at++)); n > 0; n = static_cast<unsigned char>(file.at(at++)))
    data += file.substr(at, static_cast<std::size_t>(n)), at += static_cast<std::size_t>(n);
  const int clear = 1 << code_size;
  int width = code_size + 1, next = clear + 2, widest = 0, clears = 0;
  bool first = true, ended = false;
  for (std::size_t bit = 0; !ended && bit + static_cast<std::size_t>(width) <= data.size() * 8;) {
    int code = 0;
    for (int b = 0; b < width; ++b, ++bit) code |= ((static_cast<unsigned char>(data[bit / 8]) >> (bit % 8)) & 1) << b;
    widest = std::max(widest, width);
    ended = code == clear + 1;
    if (code == clear) {
      ++clears, width = code_size + 1, next = clear + 2, first = true;
    } else if (!ended) {
      if (!first && next < 4096 && ++next == (1 << width) && width < 12) ++width;
      first = false;
    }
  }
  return std::string(ended ? "ended" : "open") + " " + num(widest) + (clears >= 2 ? " cleared" : " not cleared");
}

// The files of tests/data/graphics/images.txt.
class Files : public ::testing::TestWithParam<Script> {
  void TearDown() override { GIF_reset_state(); }
};

TEST_P(Files, ReadAsTheScriptSays) {
  const std::string dir = make_temp_dir("bad");
  const auto at = [&dir](const std::string& path) { return with_dir(path, dir); };
  ImgRec image = picture("");
  run_calls(GetParam(), {
      {"write", [&](const Args& a) { return write_file(at(a.at(0)), a.at(1)), std::string(); }},
      {"cut", [&](const Args& a) { return write_file(at(a.at(2)), read_file(at(a.at(0))).substr(0, std::stoul(a.at(1)))), std::string(); }},
      {"picture", [&](const Args& a) { return image = picture(a.at(0)), std::string(); }},
      {"gif_options", [](const Args& a) { return GIF_set_interlace(to_i(a.at(0))), GIF_set_transparent(to_i(a.at(1))), std::string(); }},
      {"made", [&](const Args& a) {  // the picture, or gray levels for "zavz"; what the writer answers
         const std::string path = at(a.at(1));
         const ImgRec gray = gray_image(64, 48);
         int r = a[0] == "gif" ? GIF_write(path.c_str(), &image) : a[0] == "png" ? PNG_write(path.c_str(), &image) : 0;
         if (a[0] == "zav" || a[0] == "zavz") r = IMG_write(path.c_str(), a[0] == "zav" ? &image : &gray, a[0] == "zavz");
         std::string bytes = read_file(path);
         for (std::size_t i = bytes.size() - (a.size() > 2 ? std::stoul(a[2]) : 0); i < bytes.size(); ++i) bytes[i] ^= 0x5A;
         return write_file(path, bytes), num(r);
       }},
      {"bytes", [&](const Args& a) {  // N bytes of a file from byte AT, in hexadecimal
         const std::string b = read_file(at(a.at(0))).substr(std::stoul(a.at(1)), std::stoul(a.at(2)));
         std::string hex;
         for (const char c : b) hex += (hex.empty() ? "" : " ") + std::string(1, "0123456789abcdef"[(c >> 4) & 15]) + "0123456789abcdef"[c & 15];
         return hex;
       }},
      {"poke", [&](const Args& a) {
         std::string b = read_file(at(a.at(0)));
         return b.at(std::stoul(a.at(1))) = static_cast<char>(to_i(a.at(2))), write_file(at(a.at(0)), b), std::string();
       }},
      {"gif_read", [&](const Args& a) {  // its answer, table size, transparent index, and whether the pixels are the picture's
         ImgRec back;
         const int r = GIF_read(at(a.at(0)).c_str(), &back);
         return num(r) + " " + num(back.num_colors) + " " + num(static_cast<long>(back.transparent)) + (rgb_of(back) == rgb_of(image) ? " same" : " other");
       }},
      {"column", [&](const Args& a) {  // the colour of each row's first pixel as read, by its place in the colours
         ImgRec back;
         std::string out = num(GIF_read(at(a.at(0)).c_str(), &back));
         for (int y = 0; y < back.height; ++y)
           out += " " + num(static_cast<long>(std::find(kColours, kColours + 12, rgb_of(back)[static_cast<std::size_t>(y) * back.width]) - kColours));
         return out;
       }},
      {"magick", [&](const Args& a) {
         const Decoded d = magick_decode(at(a.at(0)));
         return num(d.width) + "x" + num(d.height) + (d.rgb == rgb_of(image) ? " same" : " other");
       }},
      {"codes", [&](const Args& a) { return walk_codes(read_file(at(a.at(0))), std::stoul(a.at(1))); }},
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
