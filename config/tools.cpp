// Byte-order handling and line readers for the binary and text file readers.
#include "config/tools.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Whether the binary file being read has the other byte order.
struct ToolsState {
  bool swapping = false;
};
ToolsState st;

// Reverses the bytes of each of count values of size bytes when swapping is on.
int swap_each(void* values, int count, std::size_t size) {
  if (!st.swapping) return -1;
  auto* bytes = static_cast<unsigned char*>(values);
  for (int i = 0; i < count; ++i, bytes += size) std::reverse(bytes, bytes + size);
  return 1;
}

// Reads the rest of the current line into buffer (at most n characters, the excess
// of an over-long line is dropped) and leaves its newline pending, so that a
// following call sees an empty line as empty text. Trailing carriage returns of
// DOS files are removed. Returns the length, or -1 at the end of the file.
int read_rest_of_line(std::FILE* f, char* buffer, int n) {
  if (n < 0) n = 0;
  int c = std::getc(f);
  if (c == '\n') c = std::getc(f);
  if (c == EOF) {
    buffer[0] = '\0';
    return -1;
  }
  int len = 0;
  while (c != EOF && c != '\n') {
    if (len < n) buffer[len++] = static_cast<char>(c);
    c = std::getc(f);
  }
  if (c == '\n') std::ungetc(c, f);
  while (len > 0 && buffer[len - 1] == '\r') --len;
  buffer[len] = '\0';
  return len;
}

}  // namespace

int swap_setup(int order) {
  constexpr bool little = std::endian::native == std::endian::little;
  switch (order) {
    case -1: st.swapping = false; break;
    case 1: st.swapping = little; break;
    case 2: st.swapping = !little; break;
    default: st.swapping = true; break;
  }
  return st.swapping ? 1 : 0;
}

int swap_short(void* value) { return swap_each(value, 1, 2); }

int swap_shorts(void* values, int count) { return swap_each(values, count, 2); }

int swap_long(void* value) { return swap_each(value, 1, 4); }

int swap_longs(void* values, int count) { return swap_each(values, count, 4); }

int swap_double(void* value) { return swap_each(value, 1, 8); }

int fread_short_swap(std::int16_t* value, std::FILE* f) {
  const std::size_t n = std::fread(value, sizeof *value, 1, f);
  if (n == 1) swap_short(value);
  return static_cast<int>(n);
}

int fread_long_swap(std::int32_t* value, std::FILE* f) {
  const std::size_t n = std::fread(value, sizeof *value, 1, f);
  if (n == 1) swap_long(value);
  return static_cast<int>(n);
}

int fwrite_long_swap(std::int32_t value, std::FILE* f) {
  swap_long(&value);
  return static_cast<int>(std::fwrite(&value, sizeof value, 1, f));
}

void fswap(void* a, void* b) {
  unsigned char tmp[4];
  std::memcpy(tmp, a, 4);
  std::memmove(a, b, 4);
  std::memcpy(b, tmp, 4);
}

char* fgetstring(std::FILE* f, char* buffer, int n) {
  return read_rest_of_line(f, buffer, n) < 0 ? nullptr : buffer;
}

int fgetnline(std::FILE* f, char* buffer, int n) { return read_rest_of_line(f, buffer, n); }

int fgetline(std::FILE* f, char* buffer) { return read_rest_of_line(f, buffer, 160); }

int fskipline(std::FILE* f) {
  int c;
  while ((c = std::getc(f)) != EOF)
    if (c == '\n') return 1;
  return 0;
}

void swap_reset_state() { st = ToolsState{}; }
