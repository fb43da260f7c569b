// The package image format written and read back, its compressed body, the XWD and PNG
// writers against ImageMagick, and damaged files of every format read without harm.
#include "graphics/img_tool.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "config/missing.h"
#include "graphics/gif.h"
#include "graphics/gks_img.h"
#include "graphics/png.h"
#include "graphics/xdump.h"
#include "tests/graphics/img_files.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// An 8-bit picture without a colour table, as the package's satellite images are.
ImgRec gray_image(int width, int height) {
  ImgRec image;
  IMG_init(&image);
  image.width = width, image.height = height, image.depth = 8;
  image.bits_per_pixel = 8, image.bytes_per_line = width;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.data.push_back(static_cast<unsigned char>((x * 7 + y * 3) % 251));
  return image;
}

struct ZavCase {
  const char* name;
  int compress;
  int proj;  // MISSING_INT: no domain
  float plat, plon, p3;
  const char* line;  // the size or domain line written
};

class Zav : public ::testing::TestWithParam<ZavCase> {};

TEST_P(Zav, RoundTrip) {
  const ZavCase& c = GetParam();
  ImgRec image = gray_image(120, 90);
  image.info = "Temperature [sample]";
  image.date_label = "12Z 14 MAR 26";
  if (c.proj != MISSING_INT) {
    DomainRec& d = image.domain;
    d.proj = c.proj, d.plat = c.plat, d.plon = c.plon, d.p3 = c.p3;
    d.clat = 40.0f, d.clon = -100.0f, d.dx = 0.5f, d.dy = 0.25f, d.nx = 120, d.ny = 90;
  }
  const std::string path = make_temp_dir("zav") + "/pic.zav";
  ASSERT_EQ(IMG_write(path.c_str(), &image, c.compress), 1);
  const std::string text = read_file(path);
  const std::string head =
      std::string(c.compress ? "ZAVIMGZ\n" : "ZAVIMG\n") + "12Z 14 MAR 26\nTemperature [sample]\n" + c.line + "\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  if (!c.compress) {
    EXPECT_EQ(text.size(), head.size() + 120u * 90u);
  }
  ImgRec back;
  ASSERT_EQ(IMG_read(path.c_str(), &back, 0), 1);
  EXPECT_EQ(back.source, IMG_SOURCE_ZAV);
  EXPECT_EQ(back.info, image.info);
  EXPECT_EQ(back.date_label, image.date_label);
  EXPECT_EQ(back.date.year, 2026);
  EXPECT_EQ(back.date.hour, 12);
  EXPECT_EQ(back.width, 120);
  EXPECT_EQ(back.height, 90);
  EXPECT_EQ(back.data, image.data);
  EXPECT_EQ(IMG_has_domain(&back), c.proj != MISSING_INT);
  if (c.proj != MISSING_INT) {
    EXPECT_EQ(back.domain.proj, c.proj);
    EXPECT_FLOAT_EQ(back.domain.clat, 40.0f);
    EXPECT_FLOAT_EQ(back.domain.dy, 0.25f);
    EXPECT_EQ(back.domain.nx, 120);
    if (c.p3 != MISSING) {
      EXPECT_FLOAT_EQ(back.domain.p3, c.p3);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Img, Zav,
    ::testing::Values(ZavCase{"plain", 0, MISSING_INT, MISSING, MISSING, MISSING, "120 90"},
                      ZavCase{"compressed", 1, MISSING_INT, MISSING, MISSING, MISSING, "120 90"},
                      ZavCase{"latlon", 0, PROJ_LL, MISSING, MISSING, MISSING,
                              "LL 40.000000 -100.000000 0.500000 0.250000 120 90"},
                      ZavCase{"lambert", 1, PROJ_LAMB, 40.0f, -100.0f, 30.0f,
                              "LC:40.000000:-100.000000:30.000000:-9999.000000:-9999.000000 40.000000 -100.000000 "
                              "0.500000 0.250000 120 90"},
                      ZavCase{"polar", 0, PROJ_PS, 90.0f, -105.0f, MISSING,
                              "PS:-105.000000 40.000000 -100.000000 0.500000 0.250000 120 90"},
                      ZavCase{"satellite", 1, PROJ_SAT, 0.0f, -75.0f, 42164.0f,
                              "SAT:0.000000:-75.000000:42164.000000 40.000000 -100.000000 0.500000 0.250000 120 90"}),
    [](const auto& info) { return std::string(info.param.name); });

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

// ---- damaged files ----

std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// An XWD header of a 4 by 2 picture, 8 bits a pixel, with two colours, changed by edit.
std::string xwd_header(int field, std::uint32_t value) {
  std::uint32_t h[25] = {105, 7, 2, 8, 4, 2, 0, 1, 32, 1, 32, 8, 4, 3, 0, 0, 0, 8, 2, 2, 4, 2, 0, 0, 0};
  if (field >= 0) h[field] = value;
  std::string s;
  for (std::uint32_t v : h) s += be32(v);
  return s + std::string("plot\0", 5);
}

struct BadFile {
  const char* name;
  std::string bytes;
  const char* message;
  bool first = false;  // said before anything else
};

std::string valid(const char* kind) {
  const ImgRec image = argb_image(64, 48, [](int x, int y) { return static_cast<unsigned>(x * 3 + y) * 0x010203u; });
  const std::string path = make_temp_dir("bad") + "/ok." + kind;
  if (std::strcmp(kind, "gif") == 0) GIF_write(path.c_str(), &image);
  if (std::strcmp(kind, "png") == 0) PNG_write(path.c_str(), &image);
  if (std::strcmp(kind, "zav") == 0) IMG_write(path.c_str(), &image, 0);
  const ImgRec gray = gray_image(64, 48);
  if (std::strcmp(kind, "zavz") == 0) IMG_write(path.c_str(), &gray, 1);
  return read_file(path);
}

std::string cut(const std::string& s, std::size_t keep) { return s.substr(0, keep); }

// A 65535 by 65535 picture that claims a two-colour table.
std::string huge_gif() {
  return std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13) + std::string(6, '\x10') +
         std::string(",\0\0\0\0\xff\xff\xff\xff\x00\x02\x01\x00\x00;", 16);
}

// A PNG of nothing but a header claiming 8000 x 8000 pixels.
std::string huge_png() {
  const auto chunk = [](const std::string& body) {
    return be32(static_cast<std::uint32_t>(body.size() - 4)) + body +
           be32(static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
  };
  return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR" + be32(8000) + be32(8000) + std::string("\x08\x03\0\0\0", 5)) +
         chunk(std::string("PLTE\0\0\0", 7)) + chunk("IDAT") + chunk("IEND");
}

std::string damaged_zlib() {
  std::string s = valid("zavz");
  for (std::size_t i = s.size() - 40; i < s.size(); ++i) s[i] = static_cast<char>(s[i] ^ 0x5A);
  return s;
}

class Bad : public ::testing::TestWithParam<BadFile> {};

TEST_P(Bad, IsReportedAndRefused) {
  const BadFile& c = GetParam();
  const std::string path = make_temp_dir("bad") + "/" + c.name;
  write_file(path, c.bytes);
  ImgRec image;
  CaptureStderr();
  EXPECT_LE(IMG_read(path.c_str(), &image, 0), 0);
  const std::string err = GetCapturedStderr();
  EXPECT_NE(err.find(c.message), std::string::npos) << err;
  if (c.first) {
    EXPECT_EQ(err.rfind(c.message, 0), 0U);
  }
  EXPECT_TRUE(image.data.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Img, Bad,
    ::testing::Values(
        BadFile{"empty", "", "XWD header size is too small.\n"},
        BadFile{"gif_signature_only", "GIF89a", "GIF_read: No image in the GIF file\n"},
        BadFile{"gif_truncated", cut(valid("gif"), valid("gif").size() / 2), "GIF_read: Corrupt image data\n"},
        BadFile{"gif_huge", huge_gif(), "GIF_read: Image of 65535 x 65535 pixels is larger than 50000000 pixels: refused\n"},
        BadFile{"png_garbage", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, 'x'),
                "PNG_read: Unable to read PNG image\n"},
        BadFile{"png_truncated", cut(valid("png"), 120), "PNG_read: Unable to read PNG image\n"},
        BadFile{"png_huge", huge_png(), "PNG_read: Image of 8000 x 8000 pixels is larger than 50000000 pixels: refused\n",
                true},
        BadFile{"xwd_version", xwd_header(1, 6), "XWD file format version mismatch\n"},
        BadFile{"xwd_small_header", xwd_header(0, 50), "XWD header size is too small.\n"},
        BadFile{"xwd_huge", xwd_header(4, 1u << 30),
                "XWD_read: Image of 1073741824 x 2 pixels is larger than 50000000 pixels: refused\n"},
        BadFile{"xwd_no_colours", xwd_header(-1, 0), "Unable to read color map from dump file.\n"},
        BadFile{"xwd_no_pixels", xwd_header(-1, 0) + std::string(24, '\0'), "Unable to read pixmap from dump file.\n"},
        BadFile{"zav_type", "ZAVIMX\n\n\n2 2\nabcd", "IMG_read_zav: Invalid image type\n"},
        BadFile{"zav_size", "ZAVIMG\n\n\nabc\n", "IMG_read_zav: Invalid image size: abc\n"},
        BadFile{"zav_huge", "ZAVIMG\n\n\n100000 100000\n",
                "IMG_read_zav: Image of 100000 x 100000 pixels is larger than 50000000 pixels: refused\n"},
        BadFile{"zav_truncated", cut(valid("zav"), 400), "IMG_read_zav: Unable to read image data\n"},
        BadFile{"zav_zlib", damaged_zlib(), "IMG_read_zav: Unable to read image data\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The limit itself: 10000 x 5000 pixels may be read, one column more may not.
TEST(ImageLimit, AtMostFiftyMillionPixels) {
  EXPECT_TRUE(IMG_size_allowed("t", 10000, 5000));
  CaptureStderr();
  EXPECT_FALSE(IMG_size_allowed("t", 10001, 5000));
  EXPECT_EQ(GetCapturedStderr(), "t: Image of 10001 x 5000 pixels is larger than 50000000 pixels: refused\n");
}

TEST(BadPath, MissingFileIsNamed) {
  ImgRec image;
  CaptureStderr();
  EXPECT_EQ(IMG_read("/nonexistent/x.gif", &image, 0), 0);
  EXPECT_EQ(GetCapturedStderr(), "IMG_read: Unable to open image file: /nonexistent/x.gif\n");
}

}  // namespace
