// The image record shared by the image-file formats (GIF, PNG, XWD and the package's own
// "ZAVIMG" files), the reduction of an image's colours to a palette, and the package
// format itself. The record carries the domain an image covers on the earth, so these
// modules sit above the projections (cmake/layers.cmake).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "files/date.h"
#include "plot/maptran.h"

// One colour-table entry as fractions 0.0-1.0.
struct ImgColor {
  float red;
  float green;
  float blue;
};

// Larger pictures than these are broken or hostile files: readers refuse them.
constexpr long IMG_MAX_SIDE = 32767;
constexpr unsigned long long IMG_MAX_BYTES = 1ull << 28;
// Pictures of more pixels than this are refused from their headers, before any pixel is
// read: a map overlay shows a few hundred thousand, and a small compressed file can claim
// a picture that takes minutes and gigabytes to decode and convert.
constexpr unsigned long long IMG_MAX_PIXELS = 50000000ull;

// True when a picture of width by height pixels may be read; otherwise false after a
// message naming the reader.
bool IMG_size_allowed(const char* reader, long long width, long long height);

// Source codes of ImgRec::source.
constexpr int IMG_SOURCE_CAPTURE = 0;
constexpr int IMG_SOURCE_ZAV = 50;
// Byte orders of ImgRec::byte_order (as X11's LSBFirst and MSBFirst).
constexpr int IMG_LSB_FIRST = 0;
constexpr int IMG_MSB_FIRST = 1;

struct ImgRec {
  int source;
  int type;
  int version;
  std::string date_label;
  DateRec date;
  std::string info;
  int width;
  int height;
  int depth;
  float res_x;
  float res_y;
  float off_x;
  float off_y;
  int bits_per_pixel;
  int bytes_per_line;
  int byte_order;
  int color_mapped;
  int num_colors;
  std::uint32_t red_mask;
  std::uint32_t green_mask;
  std::uint32_t blue_mask;
  std::vector<ImgColor> colors;
  // Raw pixel value of the transparent (background) colour, -1 none.
  long transparent;
  DomainRec domain;
  std::vector<unsigned char> data;
};

void IMG_init(ImgRec* image);
// Frees the pixels and the colour table (the header stays).
void IMG_free(ImgRec* image);
// True when the record has a usable domain.
bool IMG_has_domain(const ImgRec* image);

// An image of 32-bit pixels 0xAARRGGBB (alpha ignored), rows of width pixels from the
// top: the form of a TrueColor window and of an off-screen raster. 1, or 0 for a size
// that is not positive.
int IMG_from_argb(ImgRec* image, int width, int height, const std::uint32_t* argb, const char* info);

// The raw pixel value at x, y (bits per pixel and byte order of the record); 0 outside.
std::uint32_t IMG_get_pixel(const ImgRec* image, int x, int y);
// The 8-bit red, green and blue of a raw pixel value: from the colour table of a
// colour-mapped image, the masks of a direct-colour one, or a gray level for 8-bit
// images that have neither.
void IMG_pixel_rgb(const ImgRec* image, std::uint32_t pixel, unsigned char rgb[3]);

// Colour reduction: the distinct pixel values in order of first appearance as a palette
// (three bytes a colour, at most 256 colours) and every pixel as its palette index, rows
// from the top. A picture of more colours keeps those of large areas and a spread of the
// others (still in order of first appearance); the rest take the nearest palette entry.
// The number of colours.
int IMG_reduce(const ImgRec* image, std::vector<unsigned char>* palette, std::vector<unsigned char>* index);

// The package format: uncompressed, or each 10000 bytes a zlib stream of its own.
// 1, or 0 after a message.
int IMG_write(const char* path, const ImgRec* image, int compress);
// Reads a package-format file. 1, or 0 or -1 after a message (IMG_read in gks_img reads
// any format).
int IMG_read_zav(const char* path, ImgRec* image);
// The same from an open stream at the magic line (IMG_read's dispatch).
int IMG_read_zav_stream(std::FILE* f, ImgRec* image);

// Opens path and reads it with a format's stream reader; open_error is printed as it
// stands when the file cannot be opened (0 then).
using ImgStreamReader = int (*)(std::FILE* f, ImgRec* image);
int IMG_read_path(const char* path, ImgRec* image, ImgStreamReader reader, const std::string& open_error);
