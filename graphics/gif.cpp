#include "graphics/gif.h"

#include <algorithm>
#include <array>
#include <vector>

#include "config/fileio.h"
#include "config/mess.h"

namespace {

// How the next GIF is written.
struct GifState {
  int interlace = 0;
  int transparent = 0;
};
GifState st;

constexpr int MAX_CODES = 4096;
constexpr int MAX_BITS = 12;

// The row order of an interlaced picture: every 8th from 0, every 8th from 4, every 4th
// from 2, every 2nd from 1.
std::vector<int> row_order(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(static_cast<std::size_t>(std::max(height, 0)));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  static constexpr std::array<std::array<int, 2>, 4> passes{{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
  for (const auto& [start, step] : passes)
    for (int y = start; y < height; y += step) rows.push_back(y);
  return rows;
}

// Codes packed least significant bit first into sub-blocks of 254 bytes.
class CodeWriter {
 public:
  explicit CodeWriter(std::vector<unsigned char>* out) : out_(out) {}
  void put(int code, int width) {
    acc_ |= static_cast<unsigned long>(code) << nbits_;
    nbits_ += width;
    while (nbits_ >= 8) {
      byte(static_cast<unsigned char>(acc_ & 0xFF));
      acc_ >>= 8;
      nbits_ -= 8;
    }
  }
  void finish() {
    if (nbits_ > 0) byte(static_cast<unsigned char>(acc_ & 0xFF));
    nbits_ = 0;
    acc_ = 0;
    if (!block_.empty()) {
      out_->push_back(static_cast<unsigned char>(block_.size()));
      out_->insert(out_->end(), block_.begin(), block_.end());
      block_.clear();
    }
    out_->push_back(0);
  }

 private:
  void byte(unsigned char b) {
    block_.push_back(b);
    if (block_.size() == 254) {
      out_->push_back(254);
      out_->insert(out_->end(), block_.begin(), block_.end());
      block_.clear();
    }
  }
  std::vector<unsigned char>* out_;
  std::vector<unsigned char> block_;
  unsigned long acc_ = 0;
  int nbits_ = 0;
};

// The string table: 4096 hash slots keyed by pixel*4096 + prefix, overflow chains drawn
// from a pool of 4096 nodes.
class StringTable {
 public:
  StringTable() { reset(); }
  void reset() {
    head_.fill(-1);
    nodes_.clear();
  }
  int find(int prefix, int pixel) const {
    const long key = static_cast<long>(pixel) * MAX_CODES + prefix;
    for (int n = head_[slot(prefix, pixel)]; n >= 0; n = nodes_[static_cast<std::size_t>(n)].next)
      if (nodes_[static_cast<std::size_t>(n)].key == key) return nodes_[static_cast<std::size_t>(n)].code;
    return -1;
  }
  void add(int prefix, int pixel, int code) {
    const int s = slot(prefix, pixel);
    nodes_.push_back({static_cast<long>(pixel) * MAX_CODES + prefix, code, head_[s]});
    head_[s] = static_cast<int>(nodes_.size()) - 1;
  }
  bool full() const { return nodes_.size() >= MAX_CODES; }

 private:
  static int slot(int prefix, int pixel) { return ((pixel << 4) ^ prefix) & (MAX_CODES - 1); }
  struct Node {
    long key;
    int code;
    int next;
  };
  std::array<int, MAX_CODES> head_{};
  std::vector<Node> nodes_;
};

void lzw_encode(const std::vector<unsigned char>& pixels, int code_size, std::vector<unsigned char>* out) {
  const int clear = 1 << code_size;
  const int end = clear + 1;
  int width = code_size + 1;
  int next = clear + 2;
  StringTable table;
  CodeWriter w(out);
  // A code is written at the width the decoder expects; the width grows once the next
  // free code no longer fits it.
  const auto emit = [&](int code) {
    w.put(code, width);
    if (next > (1 << width) - 1 && width < MAX_BITS) ++width;
  };
  w.put(clear, width);
  if (!pixels.empty()) {
    int prefix = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
      const int pixel = pixels[i];
      const int code = table.find(prefix, pixel);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      emit(prefix);
      if (next < MAX_CODES && !table.full()) {
        table.add(prefix, pixel, next++);
      } else {
        w.put(clear, width);
        table.reset();
        width = code_size + 1;
        next = clear + 2;
      }
      prefix = pixel;
    }
    emit(prefix);
  }
  w.put(end, width);
  w.finish();
}

void put16(std::vector<unsigned char>* out, int v) {
  out->push_back(static_cast<unsigned char>(v & 0xFF));
  out->push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

// ---- reading ----

struct Reader {
  std::FILE* f;
  bool eof = false;
  int byte() {
    const int c = std::fgetc(f);
    if (c == EOF) eof = true;
    return c == EOF ? 0 : c;
  }
  int word() {
    const int lo = byte();
    return lo | (byte() << 8);
  }
  // The data sub-blocks up to the terminator.
  std::vector<unsigned char> blocks() {
    std::vector<unsigned char> out;
    for (int n = byte(); n > 0 && !eof; n = byte()) {
      const std::size_t at = out.size();
      out.resize(at + static_cast<std::size_t>(n));
      if (std::fread(out.data() + at, 1, static_cast<std::size_t>(n), f) != static_cast<std::size_t>(n)) eof = true;
    }
    return out;
  }
  void table(int size, std::vector<ImgColor>* colors) {
    colors->resize(static_cast<std::size_t>(size));
    for (ImgColor& c : *colors) {
      c.red = static_cast<float>(byte()) / 255.0f;
      c.green = static_cast<float>(byte()) / 255.0f;
      c.blue = static_cast<float>(byte()) / 255.0f;
    }
  }
};

// Decodes codes of up to 12 bits into count pixels; false when the data ends first or a
// code is impossible.
bool lzw_decode(const std::vector<unsigned char>& data, int code_size, std::size_t count,
                std::vector<unsigned char>* out) {
  const int clear = 1 << code_size;
  const int end = clear + 1;
  int width = code_size + 1;
  int next = clear + 2;
  std::vector<std::uint16_t> prefix(MAX_CODES, 0);
  std::vector<unsigned char> suffix(MAX_CODES, 0), stack;
  for (int i = 0; i < clear; ++i) suffix[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  out->clear();
  out->reserve(count);
  int old = -1;
  unsigned char first = 0;
  std::size_t bitpos = 0;
  const std::size_t total_bits = data.size() * 8;
  while (out->size() < count) {
    if (bitpos + static_cast<std::size_t>(width) > total_bits) return false;
    int code = 0;
    for (int b = 0; b < width; ++b, ++bitpos) code |= ((data[bitpos / 8] >> (bitpos % 8)) & 1) << b;
    if (code == clear) {
      width = code_size + 1;
      next = clear + 2;
      old = -1;
      continue;
    }
    if (code == end) return false;
    if (old < 0) {
      if (code >= clear) return false;
      first = static_cast<unsigned char>(code);
      out->push_back(first);
      old = code;
      continue;
    }
    const int in_code = code;
    stack.clear();
    if (code >= next) {
      if (code > next) return false;
      stack.push_back(first);
      code = old;
    }
    while (code >= clear) {
      if (code == end || code > next || stack.size() > MAX_CODES) return false;
      stack.push_back(suffix[static_cast<std::size_t>(code)]);
      code = prefix[static_cast<std::size_t>(code)];
    }
    first = suffix[static_cast<std::size_t>(code)];
    stack.push_back(first);
    for (auto it = stack.rbegin(); it != stack.rend() && out->size() < count; ++it) out->push_back(*it);
    if (next < MAX_CODES) {
      prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(old);
      suffix[static_cast<std::size_t>(next)] = first;
      ++next;
      if (next == (1 << width) && width < MAX_BITS) ++width;
    }
    old = in_code;
  }
  return true;
}

}  // namespace

void GIF_set_interlace(int on) { st.interlace = on != 0; }
int GIF_get_interlace() { return st.interlace; }
void GIF_set_transparent(int on) { st.transparent = on != 0; }
int GIF_get_transparent() { return st.transparent; }

int GIF_write(const char* path, const ImgRec* image) {
  FileOutput file;
  if (!FILE_open_temp(path, &file)) {
    MESS_print(MESS_ERROR, "GIF_write: Unable to open GIF file %s: %s\n", path, FILE_output_error(&file).c_str());
    return 0;
  }
  std::vector<unsigned char> palette, index;
  const int n = IMG_reduce(image, &palette, &index);
  int bits = 1;
  while ((1 << bits) < n) ++bits;
  const int code_size = std::max(bits, 2);
  const int entries = 1 << bits;
  palette.resize(static_cast<std::size_t>(entries) * 3, 0);

  std::vector<unsigned char> out;
  out.reserve(index.size() / 2 + 1024);
  const std::string magic = "GIF89a";
  out.insert(out.end(), magic.begin(), magic.end());
  put16(&out, image->width);
  put16(&out, image->height);
  out.push_back(static_cast<unsigned char>(0x80 + (bits - 1) * 16 + (bits - 1)));
  out.push_back(0);
  out.push_back(0);
  out.insert(out.end(), palette.begin(), palette.end());
  if (st.transparent) {
    int transparent = 0;
    for (int y = 0; y < image->height && image->transparent >= 0; ++y) {
      bool found = false;
      for (int x = 0; x < image->width; ++x) {
        if (IMG_get_pixel(image, x, y) == static_cast<std::uint32_t>(image->transparent)) {
          transparent = index[static_cast<std::size_t>(y) * image->width + x];
          found = true;
          break;
        }
      }
      if (found) break;
    }
    const unsigned char gce[] = {'!', 0xF9, 4, 1, 10, 0, static_cast<unsigned char>(transparent), 0};
    out.insert(out.end(), gce, gce + sizeof gce);
  }
  out.push_back(',');
  put16(&out, 0);
  put16(&out, 0);
  put16(&out, image->width);
  put16(&out, image->height);
  out.push_back(st.interlace ? 0x40 : 0);
  out.push_back(static_cast<unsigned char>(code_size));
  std::vector<unsigned char> ordered;
  ordered.reserve(index.size());
  for (const int y : row_order(image->height, st.interlace != 0)) {
    const auto row = index.begin() + static_cast<std::ptrdiff_t>(y) * image->width;
    ordered.insert(ordered.end(), row, row + image->width);
  }
  lzw_encode(ordered, code_size, &out);
  out.push_back(0x3B);
  std::fwrite(out.data(), 1, out.size(), file.fp);
  if (!FILE_commit(&file)) {
    MESS_print(MESS_ERROR, "GIF_write: Unable to write GIF file %s: %s\n", path, FILE_output_error(&file).c_str());
    return 0;
  }
  return 1;
}

int GIF_read_stream(std::FILE* f, ImgRec* image) {
  Reader r{f};
  char sig[6] = {};
  if (std::fread(sig, 1, 6, f) != 6 || sig[0] != 'G' || sig[1] != 'I' || sig[2] != 'F') {
    MESS_print(MESS_ERROR, "GIF_read: Not a GIF file\n");
    return 0;
  }
  IMG_init(image);
  r.word();
  r.word();
  const int packed = r.byte();
  r.byte();
  r.byte();
  std::vector<ImgColor> global;
  if (packed & 0x80) r.table(2 << (packed & 7), &global);
  long transparent = -1;
  while (!r.eof) {
    const int kind = r.byte();
    if (r.eof || kind == 0x3B) break;
    if (kind == '!') {
      const int label = r.byte();
      const std::vector<unsigned char> body = r.blocks();
      if (label == 0xF9 && body.size() >= 4) {
        MESS_print(MESS_DEBUG, "GIF_read: disposal %d, user input %d, transparent %d, delay %d\n", (body[0] >> 2) & 7,
                   (body[0] >> 1) & 1, (body[0] & 1) ? body[3] : -1, body[1] | (body[2] << 8));
        if (body[0] & 1) transparent = body[3];
      } else if (label == 0xFF || label == 0xFE) {
        MESS_print(MESS_DEBUG, "GIF_read: %s extension of %zu bytes\n", label == 0xFF ? "application" : "comment",
                   body.size());
      }
      continue;
    }
    if (kind != ',') break;
    r.word();
    r.word();
    const int w = r.word();
    const int h = r.word();
    const int ipacked = r.byte();
    std::vector<ImgColor> colors = global;
    if (ipacked & 0x80) r.table(2 << (ipacked & 7), &colors);
    const int code_size = r.byte();
    if (!r.eof && !IMG_size_allowed("GIF_read", w, h)) return 0;
    if (r.eof || w <= 0 || h <= 0 ||
        static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h) > IMG_MAX_BYTES || code_size < 2 ||
        code_size > 11 || colors.empty())
      break;
    const std::vector<unsigned char> data = r.blocks();
    std::vector<unsigned char> pixels;
    const std::size_t count = static_cast<std::size_t>(w) * h;
    if (!lzw_decode(data, code_size, count, &pixels)) {
      MESS_print(MESS_ERROR, "GIF_read: Corrupt image data\n");
      return 0;
    }
    image->width = w;
    image->height = h;
    image->depth = 8;
    image->bits_per_pixel = 8;
    image->bytes_per_line = w;
    image->color_mapped = 1;
    image->num_colors = static_cast<int>(colors.size());
    image->colors = std::move(colors);
    image->transparent = transparent;
    image->data.resize(count);
    const std::vector<int> rows = row_order(h, (ipacked & 0x40) != 0);
    for (int i = 0; i < h; ++i)
      std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(i) * w, w,
                  image->data.begin() + static_cast<std::ptrdiff_t>(rows[static_cast<std::size_t>(i)]) * w);
    return 1;
  }
  MESS_print(MESS_ERROR, "GIF_read: No image in the GIF file\n");
  return 0;
}

int GIF_read(const char* path, ImgRec* image) {
  return IMG_read_path(path, image, GIF_read_stream, "GIF_read: Unable to open file\n");
}

void GIF_reset_state() { st = GifState{}; }
