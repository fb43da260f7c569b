#include "config/tools.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr bool little = std::endian::native == std::endian::little;

TEST(Swap, SetupFollowsHostOrder) {
  EXPECT_EQ(swap_setup(-1), 0);
  EXPECT_EQ(swap_setup(1), little ? 1 : 0);  // big-endian data
  EXPECT_EQ(swap_setup(2), little ? 0 : 1);  // little-endian data
  EXPECT_EQ(swap_setup(0), 1);
  EXPECT_EQ(swap_setup(7), 1);
}

TEST(Swap, OffLeavesValuesAndReportsMinusOne) {
  swap_setup(-1);
  std::int16_t s = 0x0102;
  std::int32_t l = 0x01020304;
  double d = 1.5;
  EXPECT_EQ(swap_short(&s), -1);
  EXPECT_EQ(swap_long(&l), -1);
  EXPECT_EQ(swap_double(&d), -1);
  EXPECT_EQ(swap_shorts(&s, 1), -1);
  EXPECT_EQ(swap_longs(&l, 1), -1);
  EXPECT_EQ(s, 0x0102);
  EXPECT_EQ(l, 0x01020304);
  EXPECT_EQ(d, 1.5);
}

TEST(Swap, ReversesBytesAndRoundTrips) {
  swap_setup(0);
  std::int16_t s = 0x0102;
  ASSERT_NE(swap_short(&s), -1);
  EXPECT_EQ(static_cast<std::uint16_t>(s), 0x0201);
  std::int32_t l = 0x01020304;
  swap_long(&l);
  EXPECT_EQ(static_cast<std::uint32_t>(l), 0x04030201u);
  swap_long(&l);
  EXPECT_EQ(l, 0x01020304);

  double d = -9999.0;
  std::uint64_t bits;
  std::memcpy(&bits, &d, 8);
  swap_double(&d);
  std::uint64_t swapped;
  std::memcpy(&swapped, &d, 8);
  EXPECT_EQ(swapped, __builtin_bswap64(bits));
  swap_double(&d);
  EXPECT_EQ(d, -9999.0);

  std::int32_t longs[3] = {1, 2, -9999};
  swap_longs(longs, 3);
  EXPECT_EQ(static_cast<std::uint32_t>(longs[1]), 0x02000000u);
  swap_longs(longs, 3);
  EXPECT_EQ(longs[2], -9999);
  std::int16_t shorts[2] = {1, 0x0a0b};
  swap_shorts(shorts, 2);
  EXPECT_EQ(shorts[0], 0x0100);
  EXPECT_EQ(shorts[1], 0x0b0a);
}

TEST(Swap, FileValuesRoundTripWithBigEndianData) {
  swap_setup(1);
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fwrite_long_swap(0x11223344, f), 1);
  const unsigned char shorts[2] = {0xFF, 0xFE};  // -2 as big-endian
  std::fwrite(shorts, 1, 2, f);
  std::rewind(f);
  unsigned char raw[4];
  ASSERT_EQ(std::fread(raw, 1, 4, f), 4u);
  EXPECT_EQ(raw[0], 0x11);  // big-endian on disk whatever the host
  EXPECT_EQ(raw[3], 0x44);
  std::rewind(f);
  std::int32_t l = 0;
  std::int16_t s = 0;
  EXPECT_EQ(fread_long_swap(&l, f), 1);
  EXPECT_EQ(l, 0x11223344);
  EXPECT_EQ(fread_short_swap(&s, f), 1);
  EXPECT_EQ(s, -2);
  EXPECT_EQ(fread_long_swap(&l, f), 0);  // end of file
  std::fclose(f);
  swap_setup(-1);
}

TEST(Swap, Fswap) {
  float a = 1.5f, b = -9999.0f;
  fswap(&a, &b);
  EXPECT_EQ(a, -9999.0f);
  EXPECT_EQ(b, 1.5f);
}

std::FILE* text_file(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
}

TEST(LineReaders, CrLfEmptyLinesAndEnd) {
  std::FILE* f = text_file("first line\r\n\r\n\nlast");
  char buffer[161];
  EXPECT_EQ(fgetline(f, buffer), 10);
  EXPECT_STREQ(buffer, "first line");
  EXPECT_EQ(fgetline(f, buffer), 0);  // the CRLF-only line
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(fgetline(f, buffer), 0);
  EXPECT_EQ(fgetline(f, buffer), 4);
  EXPECT_STREQ(buffer, "last");
  EXPECT_EQ(fgetline(f, buffer), -1);
  EXPECT_EQ(fgetstring(f, buffer, 160), nullptr);
  std::fclose(f);
}

TEST(LineReaders, RestOfLineAfterScannedValue) {
  std::FILE* f = text_file("42\nname of station\n");
  int value = 0;
  ASSERT_EQ(std::fscanf(f, "%d", &value), 1);
  char buffer[81];
  ASSERT_NE(fgetstring(f, buffer, 80), nullptr);  // the pending newline is skipped
  EXPECT_STREQ(buffer, "name of station");
  std::fclose(f);
}

TEST(LineReaders, OverLongLinesAreCutAndStayInStep) {
  const std::string longline(300, 'x');
  std::FILE* f = text_file(longline + "\nnext\n");
  char buffer[161];
  EXPECT_EQ(fgetline(f, buffer), 160);
  EXPECT_EQ(std::string(buffer), std::string(160, 'x'));
  EXPECT_EQ(fgetline(f, buffer), 4);
  EXPECT_STREQ(buffer, "next");
  std::rewind(f);
  char small[6];
  EXPECT_EQ(fgetnline(f, small, 5), 5);
  EXPECT_STREQ(small, "xxxxx");
  EXPECT_EQ(fgetnline(f, small, 5), 4);
  EXPECT_STREQ(small, "next");
  std::fclose(f);
}

TEST(LineReaders, SkipLine) {
  std::FILE* f = text_file("header\nbody\ntail");
  EXPECT_EQ(fskipline(f), 1);
  char buffer[161];
  EXPECT_EQ(fgetline(f, buffer), 4);
  EXPECT_STREQ(buffer, "body");
  EXPECT_EQ(fskipline(f), 1);  // the newline left pending by the reader
  EXPECT_EQ(fskipline(f), 0);  // "tail" has no newline
  std::fclose(f);
}

}  // namespace
