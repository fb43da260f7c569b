// Helpers of the image-file tests: pictures made in memory, and files decoded by
// ImageMagick to compare with them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/img_tool.h"
#include "tests/support/run.h"

// A 32-bit picture of width by height from colour(x, y) -> 0xRRGGBB.
template <typename F>
ImgRec argb_image(int width, int height, F colour, const char* info = "plot") {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) px[static_cast<std::size_t>(y) * width + x] = 0xFF000000u | colour(x, y);
  ImgRec image;
  IMG_from_argb(&image, width, height, px.data(), info);
  return image;
}

// An 8-bit picture without a colour table, as the package's satellite images are.
inline ImgRec gray_image(int width, int height) {
  ImgRec image;
  IMG_init(&image);
  image.width = width, image.height = height, image.depth = 8;
  image.bits_per_pixel = 8, image.bytes_per_line = width;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.data.push_back(static_cast<unsigned char>((x * 7 + y * 3) % 251));
  return image;
}

// The picture as 0xRRGGBB per pixel, rows from the top.
inline std::vector<unsigned> rgb_of(const ImgRec& image) {
  std::vector<unsigned> out;
  out.reserve(static_cast<std::size_t>(image.width) * image.height);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      unsigned char c[3];
      IMG_pixel_rgb(&image, IMG_get_pixel(&image, x, y), c);
      out.push_back(static_cast<unsigned>(c[0]) << 16 | static_cast<unsigned>(c[1]) << 8 | c[2]);
    }
  return out;
}

struct Decoded {
  int width = 0, height = 0;
  std::vector<unsigned> rgb;
};

// ImageMagick's reading of a file: its size from identify, its pixels from convert.
inline Decoded magick_decode(const std::string& path) {
  Decoded d;
  const RunResult id = run_program("/usr/bin/env", {"identify", "-format", "%w %h", path});
  if (id.status != 0 || std::sscanf(id.out.c_str(), "%d %d", &d.width, &d.height) != 2) return d;
  const RunResult px = run_program("/usr/bin/env", {"convert", path, "-depth", "8", "rgb:-"}, "", {}, "", 60);
  if (px.status != 0 || px.out.size() != static_cast<std::size_t>(d.width) * d.height * 3) return d;
  for (std::size_t i = 0; i < px.out.size(); i += 3)
    d.rgb.push_back(static_cast<unsigned>(static_cast<unsigned char>(px.out[i])) << 16 |
                    static_cast<unsigned>(static_cast<unsigned char>(px.out[i + 1])) << 8 |
                    static_cast<unsigned char>(px.out[i + 2]));
  return d;
}
