// Renders PostScript with Ghostscript and HPGL with hp2xx into PNG files and reads them
// back, so that tests look at the pictures the writers make.
#pragma once
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run.h"

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;  // rows from the top
  bool dark(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    const unsigned char* p = &rgb[3 * (static_cast<std::size_t>(y) * width + x)];
    return p[0] + p[1] + p[2] < 3 * 128;
  }
  // Dark pixels in the rectangle x0..x1, y0..y1 (inclusive, rows from the top).
  int count_dark(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) n += dark(x, y) ? 1 : 0;
    return n;
  }
  // Bounding box of the dark pixels in a rectangle: x0, y0, x1, y1; all -1 when none.
  std::vector<int> dark_box(int x0, int y0, int x1, int y1) const {
    std::vector<int> b = {-1, -1, -1, -1};
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (dark(x, y)) {
          if (b[0] < 0 || x < b[0]) b[0] = x;
          if (b[1] < 0 || y < b[1]) b[1] = y;
          if (x > b[2]) b[2] = x;
          if (y > b[3]) b[3] = y;
        }
    return b;
  }
};

struct PngBytes {
  std::string data;
  std::size_t pos = 0;
};

inline void png_bytes(png_structp png, png_bytep out, png_size_t n) {
  auto* b = static_cast<PngBytes*>(png_get_io_ptr(png));
  if (b->pos + n > b->data.size()) png_error(png, "short file");
  std::memcpy(out, b->data.data() + b->pos, n);
  b->pos += n;
}

inline Picture read_png(const std::string& path) {
  Picture pic;
  PngBytes bytes{read_file(path), 0};
  if (bytes.data.size() < 8) return pic;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Picture{};
  }
  png_set_read_fn(png, &bytes, png_bytes);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  pic.width = static_cast<int>(png_get_image_width(png, info));
  pic.height = static_cast<int>(png_get_image_height(png, info));
  pic.rgb.resize(3 * static_cast<std::size_t>(pic.width) * pic.height);
  std::vector<png_bytep> rows(pic.height);
  for (int y = 0; y < pic.height; ++y) rows[y] = &pic.rgb[3 * static_cast<std::size_t>(y) * pic.width];
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return pic;
}

// Ghostscript run safely in batch on a file with the arguments given; the run must end
// without an error.
inline RunResult ghostscript(std::vector<std::string> args, const std::string& ps) {
  args.insert(args.begin(), {"-dSAFER", "-dBATCH", "-dNOPAUSE"});
  args.push_back(ps);
  const RunResult r = run_program("/usr/bin/gs", args, "", {}, "", 120);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
  return r;
}

// Renders a PostScript file on a letter page (or an EPS cropped to its bounding box) at
// dpi, with nothing on standard error.
inline Picture render_ps(const std::string& ps, bool eps, int dpi = 72) {
  std::vector<std::string> args = {"-sDEVICE=png16m", "-r" + std::to_string(dpi), "-sOutputFile=" + ps + ".png"};
  if (eps)
    args.push_back("-dEPSCrop");
  else
    args.insert(args.end(), {"-sPAPERSIZE=letter", "-dFIXEDMEDIA"});
  EXPECT_EQ(ghostscript(args, ps).err, "");
  return read_png(ps + ".png");
}

// Every page of a PostScript file rendered on letter paper at 72 dpi, in order.
inline std::vector<Picture> render_ps_pages(const std::string& ps) {
  const std::string prefix = ps + ".page";
  EXPECT_EQ(ghostscript({"-sDEVICE=png16m", "-r72", "-sPAPERSIZE=letter", "-dFIXEDMEDIA",
                         "-sOutputFile=" + prefix + "%03d.png"}, ps).err, "");
  std::vector<Picture> pages;
  char name[16];
  for (int n = 1; std::snprintf(name, sizeof name, "%03d.png", n), std::filesystem::exists(prefix + name); ++n)
    pages.push_back(read_png(prefix + name));
  return pages;
}

// The boxes of the %%BoundingBox lines with numbers in a text, in order: x0, y0, x1, y1 in
// points from the lower left of the paper.
inline std::vector<std::vector<int>> boxes_in(const std::string& text) {
  std::vector<std::vector<int>> boxes;
  for (std::size_t at = text.find("%%BoundingBox:"); at != std::string::npos; at = text.find("%%BoundingBox:", at + 1)) {
    std::vector<int> b(4);
    if (std::sscanf(text.c_str() + at, "%%%%BoundingBox: %d %d %d %d", &b[0], &b[1], &b[2], &b[3]) == 4)
      boxes.push_back(b);
  }
  return boxes;
}

// The boxes Ghostscript finds the marks of each page in (its bbox device).
inline std::vector<std::vector<int>> ink_boxes(const std::string& ps) {
  const RunResult r = ghostscript({"-q", "-sDEVICE=bbox"}, ps);
  return boxes_in(r.out + r.err);
}

// The box a PostScript file declares (the last, so that a trailer's box counts); empty
// when there is none.
inline std::vector<int> declared_box(const std::string& text) {
  const std::vector<std::vector<int>> boxes = boxes_in(text);
  return boxes.empty() ? std::vector<int>{} : boxes.back();
}

// Renders HPGL with hp2xx at its true size (40 plotter units a millimetre) at dpi.
inline Picture render_hpgl(const std::string& hpgl, int dpi = 72) {
  const std::string png = hpgl + ".png";
  const RunResult r =
      run_program("/usr/bin/hp2xx", {"-q", "-t", "-m", "png", "-d", std::to_string(dpi), "-f", png, hpgl}, "", {}, "", 60);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("rror"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("invalid"), std::string::npos) << r.err;
  return read_png(png);
}
