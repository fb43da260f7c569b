#include "graphics/png.h"

#include <png.h>

#include <csetjmp>
#include <ctime>
#include <vector>

#include "config/fileio.h"
#include "config/mess.h"

namespace {

void png_error_fn(png_structp png, png_const_charp text) {
  MESS_print(MESS_ERROR, "PNG: %s\n", text);
  png_longjmp(png, 1);
}

void png_warning_fn(png_structp, png_const_charp text) { MESS_print(MESS_DEBUG, "PNG: %s\n", text); }

// A write keeps the library's complaint for its own message, which names the file (and a
// failed write's reason first).
void png_write_error_fn(png_structp png, png_const_charp text) {
  if (auto* why = static_cast<std::string*>(png_get_error_ptr(png))) *why = text != nullptr ? text : "";
  png_longjmp(png, 1);
}

// Everything the write touches across setjmp lives here, outside the protected frame.
struct PngWrite {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<unsigned char> palette, index;
  std::vector<png_bytep> rows;
  std::string title, created;
  std::string why;  // the library's complaint
};

bool write_png(std::FILE* f, const ImgRec* image, PngWrite* w) {
  if (setjmp(png_jmpbuf(w->png))) return false;
  png_init_io(w->png, f);
  png_set_IHDR(w->png, w->info, static_cast<png_uint_32>(image->width), static_cast<png_uint_32>(image->height), 8,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color colors[256] = {};
  for (std::size_t i = 0; i < w->palette.size() / 3; ++i)
    colors[i] = {w->palette[3 * i], w->palette[3 * i + 1], w->palette[3 * i + 2]};
  png_set_PLTE(w->png, w->info, colors, 256);
  png_text text[3] = {};
  char k_title[] = "Title", k_soft[] = "Software", k_time[] = "Creation Time";
  char soft[] = "ZAV - Isoworks v5.0";
  text[0].key = k_title;
  text[0].text = w->title.data();
  text[1].key = k_soft;
  text[1].text = soft;
  text[2].key = k_time;
  text[2].text = w->created.data();
  for (png_text& t : text) t.compression = PNG_TEXT_COMPRESSION_NONE;
  png_set_text(w->png, w->info, text, 3);
  png_write_info(w->png, w->info);
  png_write_image(w->png, w->rows.data());
  png_write_end(w->png, w->info);
  return true;
}

struct PngRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<png_bytep> rows;
};

bool read_png(std::FILE* f, ImgRec* image, PngRead* r) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_init_io(r->png, f);
  png_set_sig_bytes(r->png, 8);
  png_read_info(r->png, r->info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(r->png, r->info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
  if (!IMG_size_allowed("PNG_read", w, h)) return false;
  if (w == 0 || h == 0 || w > IMG_MAX_SIDE || h > IMG_MAX_SIDE || 4ull * w * h > IMG_MAX_BYTES)
    png_error(r->png, "image size out of range");
  const bool mapped = type == PNG_COLOR_TYPE_PALETTE;
  if (mapped) {
    if (depth < 8) png_set_packing(r->png);
    png_colorp pal = nullptr;
    int n = 0;
    if (png_get_PLTE(r->png, r->info, &pal, &n) == 0) png_error(r->png, "palette missing");
    image->colors.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      image->colors[static_cast<std::size_t>(i)] = {pal[i].red / 255.0f, pal[i].green / 255.0f, pal[i].blue / 255.0f};
    image->num_colors = n;
    image->color_mapped = 1;
    image->bits_per_pixel = 8;
    image->depth = 8;
  } else {
    // Every other kind as 0xXXRRGGBB.
    if (depth == 16) png_set_strip_16(r->png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(r->png);
    if (depth < 8) png_set_expand(r->png);
    if (type & PNG_COLOR_MASK_ALPHA)
      png_set_swap_alpha(r->png);
    else
      png_set_filler(r->png, 0xFF, PNG_FILLER_BEFORE);
    image->bits_per_pixel = 32;
    image->depth = 24;
    image->red_mask = 0xFF0000u;
    image->green_mask = 0xFF00u;
    image->blue_mask = 0xFFu;
  }
  png_set_interlace_handling(r->png);
  png_read_update_info(r->png, r->info);
  image->width = static_cast<int>(w);
  image->height = static_cast<int>(h);
  image->byte_order = IMG_MSB_FIRST;
  image->bytes_per_line = static_cast<int>(png_get_rowbytes(r->png, r->info));
  if (image->bytes_per_line < image->width * image->bits_per_pixel / 8) png_error(r->png, "unexpected row size");
  image->data.assign(static_cast<std::size_t>(image->bytes_per_line) * h, 0);
  r->rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y)
    r->rows[y] = image->data.data() + static_cast<std::size_t>(y) * image->bytes_per_line;
  png_read_image(r->png, r->rows.data());
  png_read_end(r->png, nullptr);
  return true;
}

}  // namespace

int PNG_write(const char* path, const ImgRec* image) {
  FileOutput file;
  if (!FILE_open_temp(path, &file)) {
    MESS_print(MESS_ERROR, "PNG_write: Unable to open PNG file %s: %s\n", path, FILE_output_error(&file).c_str());
    return 0;
  }
  PngWrite w;
  IMG_reduce(image, &w.palette, &w.index);
  w.rows.resize(static_cast<std::size_t>(image->height));
  for (int y = 0; y < image->height; ++y)
    w.rows[static_cast<std::size_t>(y)] = w.index.data() + static_cast<std::size_t>(y) * image->width;
  w.title = image->info;
  char created[64];
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  std::strftime(created, sizeof created, "%d %b %Y %H:%M:%S GMT", &tm);
  w.created = created;
  // The library checks the version it was built against; the interface used is that of
  // its 1.2 releases.
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.why, png_write_error_fn, png_warning_fn);
  if (w.png != nullptr) w.info = png_create_info_struct(w.png);
  const bool ok = w.info != nullptr && image->width > 0 && image->height > 0 && write_png(file.fp, image, &w);
  png_destroy_write_struct(&w.png, &w.info);
  if (!ok) {
    FILE_abandon(&file);
    MESS_print(MESS_ERROR, "PNG_write: Unable to write PNG file %s: %s\n", path,
               file.error != 0 ? FILE_output_error(&file).c_str()
               : w.why.empty() ? "the image could not be encoded"
                               : w.why.c_str());
    return 0;
  }
  if (!FILE_commit(&file)) {
    MESS_print(MESS_ERROR, "PNG_write: Unable to write PNG file %s: %s\n", path, FILE_output_error(&file).c_str());
    return 0;
  }
  return 1;
}

int PNG_read_stream(std::FILE* f, ImgRec* image) {
  unsigned char sig[8] = {};
  if (std::fread(sig, 1, 8, f) != 8 || png_sig_cmp(sig, 0, 8) != 0) {
    MESS_print(MESS_ERROR, "PNG_read: Not a PNG file\n");
    return 0;
  }
  IMG_init(image);
  PngRead r;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_error_fn, png_warning_fn);
  if (r.png != nullptr) r.info = png_create_info_struct(r.png);
  const bool ok = r.info != nullptr && read_png(f, image, &r);
  png_destroy_read_struct(&r.png, &r.info, nullptr);
  if (!ok) {
    MESS_print(MESS_ERROR, "PNG_read: Unable to read PNG image\n");
    IMG_free(image);
    return 0;
  }
  return 1;
}

int PNG_read(const char* path, ImgRec* image) {
  return IMG_read_path(path, image, PNG_read_stream, "PNG_read: Unable to open file\n");
}
