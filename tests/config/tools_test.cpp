#include "config/tools.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <string>

TEST(Swap, SetupReversalAndBigEndianFiles) {
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
  swap_shorts(s, 2);
  swap_longs(l, 2);
  swap_double(&d);
  EXPECT_TRUE(s[0] == 0x0201 && s[1] == 0x0b0a && static_cast<std::uint32_t>(l[0]) == 0x04030201u);
  EXPECT_EQ(static_cast<std::uint32_t>(l[1]), __builtin_bswap32(static_cast<std::uint32_t>(-9999)));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(d), __builtin_bswap64(std::bit_cast<std::uint64_t>(-9999.0)));
  swap_setup(1);
  std::FILE* f = std::tmpfile();
  ASSERT_EQ(fwrite_long_swap(0x11223344, f), 1);
  std::fwrite("\xFF\xFE", 1, 2, f);  // -2 as a big-endian short
  std::rewind(f);
  EXPECT_EQ(std::getc(f), 0x11);  // written big-endian
  std::rewind(f);
  EXPECT_TRUE(fread_long_swap(l, f) == 1 && l[0] == 0x11223344);
  EXPECT_TRUE(fread_short_swap(s, f) == 1 && s[0] == -2);
  EXPECT_EQ(fread_long_swap(l, f), 0);
  std::fclose(f);
  swap_setup(-1);
}

TEST(LineReaders, CrLfEmptyOverLongAndEnd) {
  std::FILE* f = std::tmpfile();
  std::fputs(("first line\r\n\r\n\n" + std::string(300, 'x') + "\nlast\n42\nname of station\nbody\ntail").c_str(), f);
  std::rewind(f);
  char buffer[161];
  EXPECT_EQ(fgetline(f, buffer), 10);
  EXPECT_STREQ(buffer, "first line");
  EXPECT_EQ(fgetline(f, buffer) + fgetline(f, buffer), 0);  // CRLF only, empty
  EXPECT_EQ(fgetline(f, buffer), 160);  // cut, and the next read is the next line
  EXPECT_EQ(fgetline(f, buffer), 4);
  EXPECT_STREQ(buffer, "last");
  int value = 0;
  ASSERT_EQ(std::fscanf(f, "%d", &value), 1);
  char small[6];
  EXPECT_EQ(fgetnline(f, small, 5), 5);  // the pending newline is skipped first
  EXPECT_STREQ(small, "name ");
  EXPECT_EQ(fskipline(f), 1);  // the newline left pending by the reader
  EXPECT_EQ(fskipline(f), 1);  // "body"
  ASSERT_NE(fgetstring(f, buffer, 80), nullptr);
  EXPECT_STREQ(buffer, "tail");
  EXPECT_EQ(fgetline(f, buffer), -1);
  EXPECT_EQ(fgetstring(f, buffer, 160), nullptr);
  EXPECT_EQ(fskipline(f), 0);
  std::fclose(f);
}
