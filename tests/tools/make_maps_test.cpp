// The map file builder, on dumps made up here: pieces cut at storage bins and at the date
// line are joined into whole rings, repeated points and doubled borders go, small lakes and
// the states of Mexico are left out, and the output is the binary map format.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/driver_runs.h"

namespace {

struct Line {
  int kind = 0;
  std::vector<std::pair<float, float>> pts;  // latitude, longitude
};

std::uint32_t be32(const std::string& s, std::size_t p) {
  return (std::uint32_t{static_cast<unsigned char>(s[p])} << 24) | (std::uint32_t{static_cast<unsigned char>(s[p + 1])} << 16) |
         (std::uint32_t{static_cast<unsigned char>(s[p + 2])} << 8) | static_cast<unsigned char>(s[p + 3]);
}
float befloat(const std::string& s, std::size_t p) {
  const std::uint32_t u = be32(s, p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

// Reads the binary map format as written down in data/README.md; false when the file does
// not follow it.
bool read_map(const std::string& bytes, std::vector<Line>* lines) {
  std::size_t p = 0;
  for (;;) {
    if (p + 22 > bytes.size()) return false;
    const auto n = static_cast<std::int16_t>((static_cast<unsigned char>(bytes[p]) << 8) | static_cast<unsigned char>(bytes[p + 1]));
    const int kind = static_cast<int>(be32(bytes, p + 18));
    p += 22;
    if (n == 0) return p == bytes.size();
    if (n < 0 || p + 8 * static_cast<std::size_t>(n) > bytes.size()) return false;
    Line cur{kind, {}};
    for (int i = 0; i < n; ++i, p += 8) {
      const float lat = befloat(bytes, p), lon = befloat(bytes, p + 4);
      if (lat == -9999.0f) {
        lines->push_back(cur);
        cur.pts.clear();
      } else {
        cur.pts.push_back({lat, lon});
      }
    }
    lines->push_back(cur);
  }
}

class MakeMaps : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir("make_maps");
    // The dumps (see tests/data/tools/make_maps/README) at both resolutions.
    const std::string data = std::string(STACONT_SOURCE_DIR) + "/tests/data/tools/make_maps/";
    for (const char* res : {"l", "c"}) {
      write_file(dir_ + "/coast_" + res + ".txt", read_file(data + "coast.txt"));
      write_file(dir_ + "/nat_" + res + ".txt", read_file(data + "nations.txt"));
    }
    write_file(dir_ + "/st_l.txt", read_file(data + "states.txt"));
    result_ = run_program(MAKE_MAPS_BINARY, {dir_, "--dump", dir_}, "", {}, "", 60);
  }
  std::vector<Line> map(const std::string& name) {
    std::vector<Line> lines;
    EXPECT_TRUE(read_map(read_file(dir_ + "/" + name), &lines)) << name;
    return lines;
  }
  std::string dir_;
  RunResult result_;
};

TEST_F(MakeMaps, JoinsSelectsAndWrites) {
  ASSERT_EQ(result_.status, 0) << result_.err;
  const std::vector<Line> coast = map("cont.map");
  ASSERT_EQ(coast.size(), 4u);
  // The island: one closed ring of seven points (six corners and bin-edge points, the first
  // again), the repeated point gone.
  EXPECT_EQ(coast[0].kind, 1);
  ASSERT_EQ(coast[0].pts.size(), 7u);
  EXPECT_EQ(coast[0].pts.front(), coast[0].pts.back());
  // The ring over the date line: one ring, closed where 180 meets -180.
  EXPECT_EQ(coast[1].kind, 1);
  ASSERT_EQ(coast[1].pts.size(), 7u);
  EXPECT_EQ(coast[1].pts.front().first, coast[1].pts.back().first);
  EXPECT_EQ(std::fabs(coast[1].pts.front().second), 180.0f);
  EXPECT_EQ(coast[2].pts.size(), 4u);
  // The large lake only (about 42,000 km^2; the small one is about 110 km^2), after the land.
  EXPECT_EQ(coast[3].kind, 2);
  EXPECT_EQ(coast[3].pts.front(), std::make_pair(40.0f, 30.0f));

  const std::vector<Line> borders = map("country.map");
  ASSERT_EQ(borders.size(), 2u);
  EXPECT_EQ(borders[0].kind, 11);
  EXPECT_EQ(borders[0].pts.size(), 3u);
  EXPECT_EQ(borders[1].pts.size(), 2u);

  const std::vector<Line> states = map("states.map");
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(states[0].kind, 12);
  EXPECT_EQ(states[0].pts.front(), std::make_pair(40.0f, -102.0f));

  // North America: the island off Florida, the border and the Kansas line; the other
  // island, the ring at the date line (at 16S) and the lakes are elsewhere.
  const std::vector<Line> na = map("zav.map");
  int kinds[13] = {};
  for (const Line& l : na) ++kinds[l.kind];
  EXPECT_EQ(kinds[1], 1);
  EXPECT_EQ(kinds[2], 0);
  EXPECT_EQ(kinds[11], 1);
  EXPECT_EQ(kinds[12], 1);
}

// The same bytes again, and the failures: the table of runs tests/data/tools/make_maps.runs.
STACONT_RUNS_TABLE(MakeMapsRuns, "../tools/make_maps.runs");

}  // namespace
