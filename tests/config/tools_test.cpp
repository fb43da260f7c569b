#include "config/tools.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <string>

TEST(Swap, SetupReversalAndRoundTrip) {
  constexpr bool little = std::endian::native == std::endian::little;
  EXPECT_EQ(swap_setup(1), little ? 1 : 0);  // big-endian data
  EXPECT_EQ(swap_setup(2), little ? 0 : 1);  // little-endian data
  EXPECT_EQ(swap_setup(-1), 0);
  std::int16_t s[2] = {0x0102, 0x0a0b};
  std::int32_t l[2] = {0x01020304, -9999};
  double d = -9999.0;
  EXPECT_EQ(swap_short(s) + swap_long(l) + swap_double(&d) + swap_shorts(s, 1) + swap_longs(l, 1), -5);
  EXPECT_EQ(s[0], 0x0102);  // off: untouched
  EXPECT_EQ(swap_setup(7), 1);
  swap_short(s);
  EXPECT_EQ(s[0], 0x0201);
  swap_shorts(s, 2);
  EXPECT_TRUE(s[0] == 0x0102 && s[1] == 0x0b0a);
  swap_long(l);
  EXPECT_EQ(static_cast<std::uint32_t>(l[0]), 0x04030201u);
  swap_longs(l, 2);
  swap_longs(l, 2);
  EXPECT_EQ(l[1], -9999);
  swap_double(&d);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(d), __builtin_bswap64(std::bit_cast<std::uint64_t>(-9999.0)));
  float a = 1.5f, b = -9999.0f;
  fswap(&a, &b);
  EXPECT_TRUE(a == -9999.0f && b == 1.5f);
  // Files hold big-endian values whatever the host.
  swap_setup(1);
  std::FILE* f = std::tmpfile();
  ASSERT_EQ(fwrite_long_swap(0x11223344, f), 1);
  std::fwrite("\xFF\xFE", 1, 2, f);  // -2 as a big-endian short
  std::rewind(f);
  EXPECT_EQ(std::getc(f), 0x11);
  std::rewind(f);
  EXPECT_TRUE(fread_long_swap(l, f) == 1 && l[0] == 0x11223344);
  EXPECT_TRUE(fread_short_swap(s, f) == 1 && s[0] == -2);
  EXPECT_EQ(fread_long_swap(l, f), 0);
  std::fclose(f);
  swap_setup(-1);
}

std::FILE* text_file(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fputs(text.c_str(), f);
  std::rewind(f);
  return f;
}

TEST(LineReaders, CrLfEmptyOverLongAndEnd) {
  std::FILE* f = text_file("first line\r\n\r\n\n" + std::string(300, 'x') + "\nlast");
  char buffer[161];
  EXPECT_EQ(fgetline(f, buffer), 10);
  EXPECT_STREQ(buffer, "first line");
  EXPECT_EQ(fgetline(f, buffer), 0);  // CRLF only
  EXPECT_EQ(fgetline(f, buffer), 0);
  EXPECT_EQ(fgetline(f, buffer), 160);  // cut, and the next read is the next line
  EXPECT_EQ(std::string(buffer), std::string(160, 'x'));
  EXPECT_EQ(fgetline(f, buffer), 4);
  EXPECT_STREQ(buffer, "last");
  EXPECT_EQ(fgetline(f, buffer), -1);
  EXPECT_EQ(fgetstring(f, buffer, 160), nullptr);
  std::fclose(f);
  f = text_file("42\nname of station\nbody\ntail");
  int value = 0;
  ASSERT_EQ(std::fscanf(f, "%d", &value), 1);
  ASSERT_NE(fgetstring(f, buffer, 80), nullptr);  // the pending newline is skipped
  EXPECT_STREQ(buffer, "name of station");
  EXPECT_EQ(fskipline(f), 1);  // the newline left pending by the reader
  EXPECT_EQ(fskipline(f), 1);  // "body"
  EXPECT_EQ(fskipline(f), 0);  // "tail" has no newline
  std::rewind(f);
  char small[6];
  EXPECT_EQ(fgetnline(f, small, 5), 2);
  EXPECT_EQ(fgetnline(f, small, 5), 5);
  EXPECT_STREQ(small, "name ");
  EXPECT_EQ(fgetnline(f, small, 5), 4);
  EXPECT_STREQ(small, "body");
  std::fclose(f);
}
