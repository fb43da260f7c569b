#include "graphics/img_tool.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "config/fileio.h"
#include "config/mess.h"
#include "config/missing.h"
#include "plot/region.h"

namespace {

constexpr std::size_t ZAV_PIECE = 10000;  // input bytes of one zlib stream
constexpr std::size_t ZAV_OUT = 12000;    // output buffer of one stream

unsigned char mask_byte(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const std::uint32_t bits = mask >> shift;
  const std::uint32_t v = (pixel & mask) >> shift;
  return static_cast<unsigned char>(bits == 0 ? 0 : (v * 255u + bits / 2) / bits);
}

unsigned char fraction_byte(float f) {
  return static_cast<unsigned char>(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f));
}

void put_line(std::FILE* f, const std::string& s) {
  std::fputs(s.c_str(), f);
  std::fputc('\n', f);
}

// The projection tag of the domain line ("" for projections without one).
std::string domain_tag(const DomainRec& d) {
  char buf[200] = "";
  const auto set = [](float v) { return v != MISSING; };
  switch (d.proj) {
    case PROJ_LL:
      return "LL ";
    case PROJ_MERC:
      return "ME ";
    case PROJ_PS:
      if (set(d.plon) && d.plon != d.clon)
        std::snprintf(buf, sizeof buf, "PS:%f ", d.plon);
      else
        std::snprintf(buf, sizeof buf, "PS ");
      return buf;
    case PROJ_LAMB:
      if (set(d.p3))
        std::snprintf(buf, sizeof buf, "LC:%f:%f:%f:%f:%f ", d.plat, d.plon, d.p3, d.p4, d.p5);
      else if (set(d.plon))
        std::snprintf(buf, sizeof buf, "LC:%f ", d.plon);
      else
        std::snprintf(buf, sizeof buf, "LC ");
      return buf;
    case PROJ_SAT: {
      int n = std::snprintf(buf, sizeof buf, "SAT:%f:%f", d.plat, d.plon);
      if (set(d.p3)) n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ":%f", d.p3);
      std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), " ");
      return buf;
    }
    default:
      return "";
  }
}

// Reads the numbers after a tag ("PS:-105" -> {-105}).
std::vector<float> tag_numbers(const char* p) {
  std::vector<float> out;
  while (*p == ':') {
    char* end = nullptr;
    const float v = std::strtof(p + 1, &end);
    if (end == p + 1) break;
    out.push_back(v);
    p = end;
  }
  return out;
}

// The size or domain line; false when it is neither.
bool decode_size_line(const std::string& line, ImgRec* image) {
  const char* s = line.c_str();
  int w = 0, h = 0, n = 0;
  DomainRec d;
  DOM_init(&d);
  if (std::isalpha(static_cast<unsigned char>(*s))) {
    const char* blank = std::strchr(s, ' ');
    if (blank == nullptr) return false;
    const std::string tag(s, static_cast<std::size_t>(blank - s));
    const std::string name = tag.substr(0, tag.find(':'));
    const std::vector<float> v = tag_numbers(tag.c_str() + name.size());
    if (name == "LL") {
      d.proj = PROJ_LL;
    } else if (name == "ME") {
      d.proj = PROJ_MERC;
    } else if (name == "PS") {
      d.proj = PROJ_PS;
      if (!v.empty()) d.plon = v[0];
    } else if (name == "LC") {
      d.proj = PROJ_LAMB;
      if (v.size() == 1) d.plon = v[0];
      if (v.size() >= 5) d.plat = v[0], d.plon = v[1], d.p3 = v[2], d.p4 = v[3], d.p5 = v[4];
    } else if (name == "SAT") {
      d.proj = PROJ_SAT;
      if (v.size() >= 2) d.plat = v[0], d.plon = v[1];
      if (v.size() >= 3) d.p3 = v[2];
    } else {
      return false;
    }
    s = blank + 1;
  } else if (std::sscanf(s, "%d %d %n", &w, &h, &n) == 2 && s[n] == '\0') {
    image->width = w;
    image->height = h;
    return true;
  }
  if (std::sscanf(s, "%f %f %f %f %d %d", &d.clat, &d.clon, &d.dx, &d.dy, &d.nx, &d.ny) != 6) return false;
  image->domain = d;
  image->width = d.nx;
  image->height = d.ny;
  return true;
}

bool read_line(std::FILE* f, std::string* line) {
  line->clear();
  int c = 0;
  while ((c = std::fgetc(f)) != EOF && c != '\n') {
    if (line->size() < 4096) line->push_back(static_cast<char>(c));
  }
  return c != EOF || !line->empty();
}

// Reads concatenated zlib streams until out is full; false on a damaged stream.
bool inflate_body(std::FILE* f, std::vector<unsigned char>* out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  std::vector<unsigned char> in(ZAV_PIECE);
  std::size_t done = 0;
  bool ok = true;
  while (done < out->size() && ok) {
    if (z.avail_in == 0) {
      const std::size_t got = std::fread(in.data(), 1, in.size(), f);
      if (got == 0) {
        ok = false;
        break;
      }
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(got);
    }
    while (z.avail_in > 0 && done < out->size()) {
      const std::size_t room = std::min(ZAV_OUT, out->size() - done);
      z.next_out = out->data() + done;
      z.avail_out = static_cast<uInt>(room);
      const int r = inflate(&z, Z_NO_FLUSH);
      done += room - z.avail_out;
      if (r == Z_STREAM_END) {
        inflateReset(&z);
      } else if (r != Z_OK) {
        // Z_BUF_ERROR without progress means the input ran dry, anything else is damage.
        if (r != Z_BUF_ERROR) ok = false;
        break;
      }
    }
  }
  inflateEnd(&z);
  return ok && done == out->size();
}

}  // namespace

void IMG_init(ImgRec* image) {
  image->source = IMG_SOURCE_CAPTURE;
  image->type = 0;
  image->version = 1;
  image->date_label.clear();
  image->date =
      DateRec{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT};
  image->info.clear();
  image->width = image->height = image->depth = 0;
  image->res_x = image->res_y = image->off_x = image->off_y = 0.0f;
  image->bits_per_pixel = 8;
  image->bytes_per_line = 0;
  image->byte_order = IMG_MSB_FIRST;
  image->color_mapped = 0;
  image->num_colors = 0;
  image->red_mask = image->green_mask = image->blue_mask = 0;
  image->colors.clear();
  image->transparent = -1;
  DOM_init(&image->domain);
  image->data.clear();
}

void IMG_free(ImgRec* image) {
  std::vector<unsigned char>().swap(image->data);
  std::vector<ImgColor>().swap(image->colors);
  image->num_colors = 0;
}

bool IMG_has_domain(const ImgRec* image) {
  const DomainRec& d = image->domain;
  return d.proj != MISSING_INT && d.nx > 1 && d.ny > 1 && d.dx != MISSING && d.dy != MISSING;
}

int IMG_from_argb(ImgRec* image, int width, int height, const std::uint32_t* argb, const char* info) {
  if (width <= 0 || height <= 0 || argb == nullptr) return 0;
  IMG_init(image);
  image->info = info != nullptr && *info != '\0' ? info : "xwdump";
  image->width = width;
  image->height = height;
  image->depth = 24;
  image->bits_per_pixel = 32;
  image->bytes_per_line = width * 4;
  image->byte_order = IMG_MSB_FIRST;
  image->red_mask = 0xFF0000u;
  image->green_mask = 0xFF00u;
  image->blue_mask = 0xFFu;
  image->data.resize(static_cast<std::size_t>(width) * height * 4);
  unsigned char* p = image->data.data();
  for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i, p += 4) {
    const std::uint32_t v = argb[i];
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
  }
  return 1;
}

std::uint32_t IMG_get_pixel(const ImgRec* image, int x, int y) {
  if (x < 0 || y < 0 || x >= image->width || y >= image->height) return 0;
  const std::size_t row = static_cast<std::size_t>(y) * image->bytes_per_line;
  const bool msb = image->byte_order == IMG_MSB_FIRST;
  const int bpp = image->bits_per_pixel;
  const std::size_t bytes = static_cast<std::size_t>(bpp) / 8;
  if (bpp >= 8) {
    const std::size_t at = row + static_cast<std::size_t>(x) * bytes;
    if (at + bytes > image->data.size()) return 0;
    const unsigned char* p = image->data.data() + at;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * (msb ? bytes - 1 - i : i));
    return v;
  }
  const std::size_t bit = static_cast<std::size_t>(x) * bpp;
  const std::size_t at = row + bit / 8;
  if (at >= image->data.size()) return 0;
  const unsigned byte = image->data[at];
  if (bpp == 4) return (bit % 8 == 0) == msb ? byte >> 4 : byte & 0x0F;
  if (bpp == 1) return (byte >> (msb ? 7 - bit % 8 : bit % 8)) & 1u;
  return 0;
}

void IMG_pixel_rgb(const ImgRec* image, std::uint32_t pixel, unsigned char rgb[3]) {
  if (image->color_mapped || !image->colors.empty()) {
    if (pixel < image->colors.size()) {
      const ImgColor& c = image->colors[pixel];
      rgb[0] = fraction_byte(c.red);
      rgb[1] = fraction_byte(c.green);
      rgb[2] = fraction_byte(c.blue);
    } else {
      rgb[0] = rgb[1] = rgb[2] = 0;
    }
    return;
  }
  if (image->red_mask != 0 || image->green_mask != 0 || image->blue_mask != 0) {
    rgb[0] = mask_byte(pixel, image->red_mask);
    rgb[1] = mask_byte(pixel, image->green_mask);
    rgb[2] = mask_byte(pixel, image->blue_mask);
    return;
  }
  // Gray levels: the package format's 8-bit pictures (a satellite channel).
  const int bits = std::clamp(image->bits_per_pixel, 1, 8);
  const unsigned max = (1u << bits) - 1u;
  rgb[0] = rgb[1] = rgb[2] = static_cast<unsigned char>(std::min(pixel, max) * 255u / max);
}

int IMG_reduce(const ImgRec* image, std::vector<unsigned char>* palette, std::vector<unsigned char>* index) {
  palette->clear();
  const int width = std::max(image->width, 0), height = std::max(image->height, 0);
  index->assign(static_cast<std::size_t>(width) * height, 0);
  // Distinct pixel values in order of first appearance, with how often each occurs.
  struct Seen {
    std::size_t order = 0;
    std::size_t count = 0;
    int slot = -1;
  };
  std::unordered_map<std::uint32_t, Seen> seen;
  std::vector<std::uint32_t> pixels(index->size());
  std::vector<std::uint32_t> order;
  std::size_t k = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, ++k) {
      const std::uint32_t pixel = IMG_get_pixel(image, x, y);
      pixels[k] = pixel;
      auto [it, fresh] = seen.try_emplace(pixel);
      if (fresh) it->second.order = order.size(), order.push_back(pixel);
      ++it->second.count;
    }
  // An antialiased page has thousands of edge blends: the first 256 to appear would be
  // mostly blends of the lines near the top, and the large fill areas would then fall to
  // the nearest of those. The colours that cover the most pixels get the slots instead:
  // those of large areas all, then the others by how often they occur, each kept only
  // when it differs clearly from those already kept, so that the slots spread over every
  // colour the page shows (thin map lines too); the rare blends take the nearest slot. The slots keep the order of first appearance.
  std::vector<std::uint32_t> chosen = order;
  if (chosen.size() > 256) {
    std::vector<std::uint32_t> popular = order;
    std::stable_sort(popular.begin(), popular.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return seen[a].count > seen[b].count; });
    std::vector<std::array<int, 3>> rgbs(popular.size());
    for (std::size_t i = 0; i < popular.size(); ++i) {
      unsigned char rgb[3];
      IMG_pixel_rgb(image, popular[i], rgb);
      rgbs[i] = {rgb[0], rgb[1], rgb[2]};
    }
    std::vector<bool> taken(popular.size(), false);
    std::vector<std::size_t> kept;
    // A colour on a thousandth of the picture is a fill or a line of its own: kept as it is.
    const std::size_t large = pixels.size() / 1000;
    for (std::size_t i = 0; i < popular.size() && kept.size() < 256 && seen[popular[i]].count > large; ++i)
      taken[i] = true, kept.push_back(i);
    for (const int apart : {24, 12, 6, 0}) {
      for (std::size_t i = 0; i < popular.size() && kept.size() < 256; ++i) {
        if (taken[i]) continue;
        bool clear = true;
        for (const std::size_t k : kept) {
          const int d = std::max({std::abs(rgbs[i][0] - rgbs[k][0]), std::abs(rgbs[i][1] - rgbs[k][1]),
                                  std::abs(rgbs[i][2] - rgbs[k][2])});
          if (d <= apart) {
            clear = false;
            break;
          }
        }
        if (clear) taken[i] = true, kept.push_back(i);
      }
    }
    chosen.clear();
    for (const std::size_t i : kept) chosen.push_back(popular[i]);
    std::sort(chosen.begin(), chosen.end(),
              [&](std::uint32_t a, std::uint32_t b) { return seen[a].order < seen[b].order; });
  }
  for (const std::uint32_t pixel : chosen) {
    unsigned char rgb[3];
    IMG_pixel_rgb(image, pixel, rgb);
    seen[pixel].slot = static_cast<int>(palette->size() / 3);
    palette->insert(palette->end(), rgb, rgb + 3);
  }
  const std::size_t slots = palette->size() / 3;
  for (const std::uint32_t pixel : order) {
    Seen& s = seen[pixel];
    if (s.slot >= 0) continue;
    unsigned char rgb[3];
    IMG_pixel_rgb(image, pixel, rgb);
    long best = -1;
    for (std::size_t c = 0; c < slots; ++c) {
      const long dr = (*palette)[3 * c] - rgb[0], dg = (*palette)[3 * c + 1] - rgb[1], db = (*palette)[3 * c + 2] - rgb[2];
      const long dist = dr * dr + dg * dg + db * db;
      if (best < 0 || dist < best) best = dist, s.slot = static_cast<int>(c);
    }
  }
  for (k = 0; k < pixels.size(); ++k) (*index)[k] = static_cast<unsigned char>(seen[pixels[k]].slot);
  return static_cast<int>(slots);
}

int IMG_write(const char* path, const ImgRec* image, int compress) {
  FileOutput file;
  if (!FILE_open_temp(path, &file)) {
    MESS_print(MESS_ERROR, "IMG_write: Unable to open image file %s: %s\n", path, FILE_output_error(&file).c_str());
    return 0;
  }
  std::FILE* f = file.fp;
  std::fputs(compress ? "ZAVIMGZ\n" : "ZAVIMG\n", f);
  put_line(f, image->date_label);
  put_line(f, image->info);
  if (IMG_has_domain(image)) {
    const DomainRec& d = image->domain;
    std::fprintf(f, "%s%f %f %f %f %d %d\n", domain_tag(d).c_str(), d.clat, d.clon, d.dx, d.dy, d.nx, d.ny);
  } else {
    std::fprintf(f, "%d %d\n", image->width, image->height);
  }
  bool ok = true;
  const std::size_t w = static_cast<std::size_t>(std::max(image->width, 0));
  const std::size_t h = static_cast<std::size_t>(std::max(image->height, 0));
  if (image->bits_per_pixel == 8 && image->colors.empty()) {
    const std::size_t size = std::min(h * static_cast<std::size_t>(image->bytes_per_line), image->data.size());
    if (!compress) {
      ok = std::fwrite(image->data.data(), 1, size, f) == size;
    } else {
      std::vector<unsigned char> out(compressBound(ZAV_PIECE));
      for (std::size_t at = 0; at < size && ok; at += ZAV_PIECE) {
        uLongf len = static_cast<uLongf>(out.size());
        const std::size_t piece = std::min(ZAV_PIECE, size - at);
        ok = compress2(out.data(), &len, image->data.data() + at, static_cast<uLong>(piece), Z_DEFAULT_COMPRESSION) ==
                 Z_OK &&
             std::fwrite(out.data(), 1, len, f) == len;
      }
    }
  } else {
    // One byte a pixel: the brightness the other programs display of such images.
    const int bpp = std::max(image->bits_per_pixel, 1);
    const std::size_t per_row =
        bpp == 32 ? static_cast<std::size_t>(image->bytes_per_line) / 4
                  : static_cast<std::size_t>(image->bytes_per_line) * 8 / static_cast<std::size_t>(bpp);
    std::vector<unsigned char> row(per_row);
    for (std::size_t y = 0; y < h && ok; ++y) {
      for (std::size_t x = 0; x < per_row; ++x) {
        unsigned char v = 0;
        if (x < w) {
          const std::uint32_t p = IMG_get_pixel(image, static_cast<int>(x), static_cast<int>(y));
          if (bpp == 32) {
            unsigned char rgb[3];
            IMG_pixel_rgb(image, p, rgb);
            v = static_cast<unsigned char>((rgb[0] + rgb[1] + rgb[2]) / 3);
          } else if (bpp == 24 || bpp == 16) {
            v = static_cast<unsigned char>(p >> (bpp - 8));
          } else {
            v = static_cast<unsigned char>(p);
          }
        }
        row[x] = v;
      }
      ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
  }
  if (ok)
    ok = FILE_commit(&file) != 0;
  else
    FILE_abandon(&file);
  if (!ok) {
    MESS_print(MESS_ERROR, "IMG_write: Unable to write image file %s: %s\n", path,
               file.error != 0 ? FILE_output_error(&file).c_str() : "the image could not be compressed");
    return 0;
  }
  return 1;
}

bool IMG_size_allowed(const char* reader, long long width, long long height) {
  if (width <= 0 || height <= 0 || static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) <=
                                        IMG_MAX_PIXELS)
    return true;
  MESS_print(MESS_ERROR, "%s: Image of %lld x %lld pixels is larger than %llu pixels: refused\n", reader, width, height,
             IMG_MAX_PIXELS);
  return false;
}

int IMG_read_zav_stream(std::FILE* f, ImgRec* image) {
  std::string magic;
  read_line(f, &magic);
  if (magic.compare(0, 6, "ZAVIMG") != 0) {
    MESS_print(MESS_ERROR, "IMG_read_zav: Invalid image type\n");
    return -1;
  }
  IMG_init(image);
  const std::string flags = magic.substr(6);
  const bool compressed = flags.find('Z') != std::string::npos;
  image->source = IMG_SOURCE_ZAV;
  std::string line;
  read_line(f, &image->date_label);
  read_line(f, &image->info);
  if (!image->date_label.empty()) DATE_decode_label(image->date_label.c_str(), &image->date);
  bool sized = false;
  read_line(f, &line);
  if (flags.find('4') != std::string::npos) {
    DomainRec d;
    DOM_init(&d);
    if (DOM_decode(line.c_str(), &d) > 0 && d.nx > 0 && d.ny > 0) {
      image->domain = d;
      image->width = d.nx;
      image->height = d.ny;
      sized = true;
    }
  } else {
    sized = decode_size_line(line, image);
  }
  if (sized && !IMG_size_allowed("IMG_read_zav", image->width, image->height)) return -1;
  if (!sized || image->width <= 0 || image->height <= 0 || image->width > IMG_MAX_SIDE ||
      image->height > IMG_MAX_SIDE ||
      static_cast<unsigned long long>(image->width) * static_cast<unsigned long long>(image->height) > IMG_MAX_BYTES) {
    MESS_print(MESS_ERROR, "IMG_read_zav: Invalid image size: %s\n", line.c_str());
    return -1;
  }
  if (flags.find('V') != std::string::npos && std::fseek(f, 1024, SEEK_CUR) != 0) return -1;
  if (flags.find('C') != std::string::npos) {
    const int hi = std::fgetc(f), lo = std::fgetc(f);
    if (lo == EOF || std::fseek(f, hi * 256L + lo, SEEK_CUR) != 0) return -1;
  }
  image->depth = 8;
  image->bits_per_pixel = 8;
  image->bytes_per_line = image->width;
  const std::size_t size = static_cast<std::size_t>(image->width) * image->height;
  image->data.assign(size, 0);
  const bool ok = compressed ? inflate_body(f, &image->data) : std::fread(image->data.data(), 1, size, f) == size;
  if (!ok) {
    MESS_print(MESS_ERROR, "IMG_read_zav: Unable to read image data\n");
    IMG_free(image);
    return 0;
  }
  return 1;
}

int IMG_read_path(const char* path, ImgRec* image, ImgStreamReader reader, const std::string& open_error) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    MESS_print(MESS_ERROR, "%s", open_error.c_str());
    return 0;
  }
  const int r = reader(f, image);
  std::fclose(f);
  return r;
}

int IMG_read_zav(const char* path, ImgRec* image) {
  return IMG_read_path(path, image, IMG_read_zav_stream,
                       std::string("IMG_read: Unable to open image file: ") + path + "\n");
}
