// The GIF writer against its own reader and ImageMagick: the colour table and code size
// chosen for a picture, interlaced row order, and the LZW stream of a long single-colour
// run (a clear code once the table is full, never wider than 12 bits).
#include "graphics/gif.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/graphics/img_files.h"

namespace {

std::vector<unsigned char> bytes_of(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class Gif : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir("gif"); }
  void TearDown() override { GIF_reset_state(); }
  std::string dir_;
};

const unsigned kColours[12] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                               0x00FFFF, 0xFF00FF, 0x808080, 0x804000, 0x004080, 0x408000};

TEST_F(Gif, TwelveColoursTakeASixteenEntryTable) {
  const ImgRec image = argb_image(640, 512, [](int x, int y) { return kColours[(x / 40 + y / 64) % 12]; });
  const std::string path = dir_ + "/twelve.gif";
  ASSERT_EQ(GIF_write(path.c_str(), &image), 1);
  const std::vector<unsigned char> b = bytes_of(path);
  ASSERT_GT(b.size(), 13u + 48u + 11u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 6), "GIF89a");
  EXPECT_EQ(b[6] | b[7] << 8, 640);
  EXPECT_EQ(b[8] | b[9] << 8, 512);
  EXPECT_EQ(b[10], 0xB3);
  // Sixteen table entries, then the image descriptor and the code size.
  EXPECT_EQ(b[13 + 48], ',');
  EXPECT_EQ(b[13 + 48 + 10], 4);
  ImgRec back;
  ASSERT_EQ(GIF_read(path.c_str(), &back), 1);
  EXPECT_EQ(back.num_colors, 16);
  EXPECT_EQ(rgb_of(back), rgb_of(image));
  const Decoded d = magick_decode(path);
  EXPECT_EQ(d.width, 640);
  EXPECT_EQ(d.height, 512);
  EXPECT_EQ(d.rgb, rgb_of(image));
}

TEST_F(Gif, InterlacedRowsAreStoredInPassOrder) {
  const ImgRec image = argb_image(7, 10, [](int, int y) { return kColours[y]; });
  GIF_set_interlace(1);
  const std::string path = dir_ + "/inter.gif";
  ASSERT_EQ(GIF_write(path.c_str(), &image), 1);
  ImgRec back;
  ASSERT_EQ(GIF_read(path.c_str(), &back), 1);
  EXPECT_EQ(rgb_of(back), rgb_of(image));
  EXPECT_EQ(magick_decode(path).rgb, rgb_of(image));
  // With the interlace flag cleared the rows come out as they are stored.
  std::vector<unsigned char> b = bytes_of(path);
  const std::size_t descriptor = 13 + 16 * 3;
  ASSERT_EQ(b[descriptor], ',');
  EXPECT_EQ(b[descriptor + 9], 0x40);
  b[descriptor + 9] = 0;
  const std::string flat = dir_ + "/flat.gif";
  write_file(flat, std::string(b.begin(), b.end()));
  ASSERT_EQ(GIF_read(flat.c_str(), &back), 1);
  const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(rgb_of(back)[static_cast<std::size_t>(i) * 7], kColours[order[i]]) << i;
}

// Walks the LZW codes as a decoder does; the widths used and the clear codes met.
struct CodeWalk {
  int max_width = 0, clears = 0, codes = 0;
  bool ended = false;
};

CodeWalk walk_codes(const std::vector<unsigned char>& file, std::size_t at) {
  const int code_size = file[at++];
  std::vector<unsigned char> data;
  for (int n = file[at++]; n > 0; n = file[at++]) {
    data.insert(data.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                file.begin() + static_cast<std::ptrdiff_t>(at) + n);
    at += static_cast<std::size_t>(n);
  }
  CodeWalk w;
  const int clear = 1 << code_size;
  int width = code_size + 1, next = clear + 2;
  bool first = true;
  for (std::size_t bit = 0; bit + static_cast<std::size_t>(width) <= data.size() * 8;) {
    int code = 0;
    for (int b = 0; b < width; ++b, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << b;
    w.max_width = std::max(w.max_width, width);
    ++w.codes;
    if (code == clear) {
      ++w.clears;
      width = code_size + 1, next = clear + 2, first = true;
      continue;
    }
    if (code == clear + 1) {
      w.ended = true;
      break;
    }
    if (!first && next < 4096 && ++next == (1 << width) && width < 12) ++width;
    first = false;
  }
  return w;
}

TEST_F(Gif, LongSingleColourRunClearsTheTable) {
  // A run of n pixels makes about sqrt(2n) codes: 9 million use all 4096.
  ImgRec image = argb_image(3000, 3000, [](int x, int y) { return x == 0 && y == 0 ? 0xFF0000u : 0x0000FFu; });
  const std::string path = dir_ + "/run.gif";
  ASSERT_EQ(GIF_write(path.c_str(), &image), 1);
  const std::vector<unsigned char> b = bytes_of(path);
  const CodeWalk w = walk_codes(b, 13 + 2 * 3 + 10);
  EXPECT_TRUE(w.ended);
  EXPECT_EQ(w.max_width, 12);
  EXPECT_GE(w.clears, 2);  // the first and at least one for a full table
  ImgRec back;
  ASSERT_EQ(GIF_read(path.c_str(), &back), 1);
  EXPECT_EQ(rgb_of(back), rgb_of(image));
  EXPECT_EQ(magick_decode(path).rgb, rgb_of(image));
}

TEST_F(Gif, TransparencyNamesTheBackgroundsIndex) {
  ImgRec image = argb_image(4, 2, [](int x, int) { return x < 2 ? 0xFFFFFFu : 0x000000u; });
  image.transparent = 0xFF000000;  // the raw pixel of black
  GIF_set_transparent(1);
  const std::string path = dir_ + "/trans.gif";
  ASSERT_EQ(GIF_write(path.c_str(), &image), 1);
  const std::vector<unsigned char> b = bytes_of(path);
  const std::vector<unsigned char> gce = {'!', 0xF9, 4, 1, 10, 0, 1, 0};
  EXPECT_EQ(std::vector<unsigned char>(b.begin() + 19, b.begin() + 27), gce);
  ImgRec back;
  ASSERT_EQ(GIF_read(path.c_str(), &back), 1);
  EXPECT_EQ(back.transparent, 1);
}

}  // namespace
