#include "graphics/xdump.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "config/fileio.h"
#include "config/mess.h"

namespace {

void put32(std::vector<unsigned char>* out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<unsigned char>(v >> s));
}
void put16(std::vector<unsigned char>* out, unsigned v) {
  out->push_back(static_cast<unsigned char>(v >> 8));
  out->push_back(static_cast<unsigned char>(v));
}

bool write_all(std::FILE* f, const std::vector<unsigned char>& bytes, const char* message) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size()) return true;
  MESS_print(MESS_ERROR, "%s", message);
  return false;
}

std::uint32_t get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

enum Field {
  F_HEADER_SIZE,
  F_FILE_VERSION,
  F_PIXMAP_FORMAT,
  F_PIXMAP_DEPTH,
  F_PIXMAP_WIDTH,
  F_PIXMAP_HEIGHT,
  F_XOFFSET,
  F_BYTE_ORDER,
  F_BITMAP_UNIT,
  F_BITMAP_BIT_ORDER,
  F_BITMAP_PAD,
  F_BITS_PER_PIXEL,
  F_BYTES_PER_LINE,
  F_VISUAL_CLASS,
  F_RED_MASK,
  F_GREEN_MASK,
  F_BLUE_MASK,
  F_BITS_PER_RGB,
  F_COLORMAP_ENTRIES,
  F_NCOLORS,
  F_WINDOW_WIDTH,
  F_WINDOW_HEIGHT,
  F_WINDOW_X,
  F_WINDOW_Y,
  F_WINDOW_BDRWIDTH
};

constexpr std::uint32_t PSEUDO_COLOR = 3;
constexpr std::uint32_t TRUE_COLOR = 4;
constexpr std::uint32_t Z_PIXMAP = 2;

}  // namespace

int XWD_write(const char* path, const ImgRec* image) {
  FileOutput file;
  if (!FILE_open_temp(path, &file)) {
    MESS_print(MESS_ERROR, "XWD_write: Unable to open dump file %s: %s\n", path, FILE_output_error(&file).c_str());
    return 0;
  }
  std::FILE* f = file.fp;
  const std::uint32_t ncolors = static_cast<std::uint32_t>(image->colors.size());
  const std::uint32_t order = static_cast<std::uint32_t>(image->byte_order);
  const std::array<std::uint32_t, XWD_HEADER_WORDS> header = {static_cast<std::uint32_t>(100 + image->info.size() + 1),
                                                              XWD_VERSION,
                                                              Z_PIXMAP,
                                                              static_cast<std::uint32_t>(image->depth),
                                                              static_cast<std::uint32_t>(image->width),
                                                              static_cast<std::uint32_t>(image->height),
                                                              0,
                                                              order,
                                                              32,
                                                              order,
                                                              32,
                                                              static_cast<std::uint32_t>(image->bits_per_pixel),
                                                              static_cast<std::uint32_t>(image->bytes_per_line),
                                                              image->color_mapped ? PSEUDO_COLOR : TRUE_COLOR,
                                                              image->red_mask,
                                                              image->green_mask,
                                                              image->blue_mask,
                                                              8,
                                                              ncolors,
                                                              ncolors,
                                                              static_cast<std::uint32_t>(image->width),
                                                              static_cast<std::uint32_t>(image->height),
                                                              0,
                                                              0,
                                                              0};
  std::vector<unsigned char> bytes;
  for (const std::uint32_t v : header) put32(&bytes, v);
  bool ok = write_all(f, bytes, "Unable to write dump file header\n");
  if (ok) {
    bytes.assign(image->info.begin(), image->info.end());
    bytes.push_back(0);
    ok = write_all(f, bytes, "Unable to write window name to dump file.\n");
  }
  if (ok) {
    bytes.clear();
    for (std::uint32_t i = 0; i < ncolors; ++i) {
      const ImgColor& c = image->colors[i];
      put32(&bytes, i);
      put16(&bytes, static_cast<unsigned>(std::lround(c.red * 65535.0f)));
      put16(&bytes, static_cast<unsigned>(std::lround(c.green * 65535.0f)));
      put16(&bytes, static_cast<unsigned>(std::lround(c.blue * 65535.0f)));
      bytes.push_back(7);
      bytes.push_back(0);
    }
    ok = write_all(f, bytes, "Unable to write color map to dump file.\n");
  }
  if (ok) {
    const std::size_t size = static_cast<std::size_t>(image->height) * image->bytes_per_line;
    if (image->data.size() < size || std::fwrite(image->data.data(), 1, size, f) != size) {
      MESS_print(MESS_ERROR, "Unable to write to XWD file.\n");
      ok = false;
    }
  }
  if (!ok) {
    FILE_abandon(&file);
    if (file.error != 0)
      MESS_print(MESS_ERROR, "XWD_write: Unable to write dump file %s: %s\n", path, FILE_output_error(&file).c_str());
    return 0;
  }
  if (!FILE_commit(&file)) {
    MESS_print(MESS_ERROR, "XWD_write: Unable to write dump file %s: %s\n", path, FILE_output_error(&file).c_str());
    return 0;
  }
  return 1;
}

int XWD_read_stream(std::FILE* f, ImgRec* image) {
  const int max_depth = image->depth;
  IMG_init(image);
  unsigned char raw[XWD_HEADER_WORDS * 4];
  if (std::fread(raw, 1, sizeof raw, f) != sizeof raw) {
    MESS_print(MESS_ERROR, "XWD header size is too small.\n");
    return 0;
  }
  std::array<std::uint32_t, XWD_HEADER_WORDS> h{};
  for (int i = 0; i < XWD_HEADER_WORDS; ++i) h[static_cast<std::size_t>(i)] = get32(raw + 4 * i);
  if (h[F_FILE_VERSION] != XWD_VERSION) {
    MESS_print(MESS_ERROR, "XWD file format version mismatch\n");
    return 0;
  }
  if (h[F_HEADER_SIZE] < sizeof raw || h[F_HEADER_SIZE] > sizeof raw + 4096) {
    MESS_print(MESS_ERROR, "XWD header size is too small.\n");
    return 0;
  }
  const std::uint32_t depth = h[F_PIXMAP_DEPTH];
  if (max_depth > 0 && depth > static_cast<std::uint32_t>(max_depth)) {
    MESS_print(MESS_ERROR, "Incorrect depth: %u > %d\n", depth, max_depth);
    return 0;
  }
  const std::uint32_t bpp = h[F_BITS_PER_PIXEL], w = h[F_PIXMAP_WIDTH], ht = h[F_PIXMAP_HEIGHT],
                      bpl = h[F_BYTES_PER_LINE];
  const bool bpp_ok = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
  if (!bpp_ok || depth == 0 || depth > 32 || w == 0 || ht == 0 || w > IMG_MAX_SIDE || ht > IMG_MAX_SIDE ||
      static_cast<std::uint64_t>(bpl) * ht > IMG_MAX_BYTES ||
      static_cast<std::uint64_t>(bpl) * 8 < static_cast<std::uint64_t>(w) * bpp || bpl > w * 4 + 64 ||
      h[F_NCOLORS] > 65536 || h[F_PIXMAP_FORMAT] != Z_PIXMAP) {
    MESS_print(MESS_ERROR, "XWD file header is not valid.\n");
    return 0;
  }
  std::vector<char> name(h[F_HEADER_SIZE] - sizeof raw);
  if (std::fread(name.data(), 1, name.size(), f) != name.size()) {
    MESS_print(MESS_ERROR, "Unable to read window name from dump file.\n");
    return 0;
  }
  image->info.assign(name.data(), strnlen(name.data(), name.size()));
  // Colour entries of 12 bytes, as XWD_write writes them: pixel (32 bits), red, green,
  // blue (16 bits each), flags, a pad byte. The pixel value says which colour of the table
  // the entry is; tables hold at most 65536 colours.
  image->colors.assign(h[F_NCOLORS], ImgColor{});
  for (std::uint32_t i = 0; i < h[F_NCOLORS]; ++i) {
    unsigned char e[12];
    if (std::fread(e, 1, sizeof e, f) != sizeof e) {
      MESS_print(MESS_ERROR, "Unable to read color map from dump file.\n");
      IMG_free(image);
      return 0;
    }
    const std::uint32_t pixel = get32(e);
    const std::size_t at = pixel < 65536 ? pixel : i;
    if (at >= image->colors.size()) image->colors.resize(at + 1, ImgColor{});
    ImgColor& c = image->colors[at];
    c.red = static_cast<float>(e[4] << 8 | e[5]) / 65535.0f;
    c.green = static_cast<float>(e[6] << 8 | e[7]) / 65535.0f;
    c.blue = static_cast<float>(e[8] << 8 | e[9]) / 65535.0f;
  }
  image->width = static_cast<int>(w);
  image->height = static_cast<int>(ht);
  image->depth = static_cast<int>(depth);
  image->bits_per_pixel = static_cast<int>(bpp);
  image->bytes_per_line = static_cast<int>(bpl);
  image->byte_order = h[F_BYTE_ORDER] != 0 ? IMG_MSB_FIRST : IMG_LSB_FIRST;
  image->color_mapped = h[F_VISUAL_CLASS] == TRUE_COLOR || h[F_VISUAL_CLASS] == 5 ? 0 : 1;
  image->num_colors = static_cast<int>(image->colors.size());
  if (!image->color_mapped) image->colors.clear();
  image->red_mask = h[F_RED_MASK];
  image->green_mask = h[F_GREEN_MASK];
  image->blue_mask = h[F_BLUE_MASK];
  image->data.resize(static_cast<std::size_t>(bpl) * ht);
  if (std::fread(image->data.data(), 1, image->data.size(), f) != image->data.size()) {
    MESS_print(MESS_ERROR, "Unable to read pixmap from dump file.\n");
    IMG_free(image);
    return 0;
  }
  return 1;
}

int XWD_read(const char* path, ImgRec* image) {
  return IMG_read_path(path, image, XWD_read_stream, "Unable to open dump file\n");
}
