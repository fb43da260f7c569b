// The station model of the 12 UTC sample over the United States, end to end: the raw file
// the run writes holds the sample's observations (that it reads back into the same file is
// the raw reader's own test), the values are drawn in their corners round the stations (the
// texts of a metafile) and no two station models overprint; the rendered page, single-value
// plots and station values over a fill are rows of a table of runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "config/missing.h"
#include "config/resrc.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/raw_read.h"
#include "tests/support/driver_meta.h"
#include "tests/support/driver_runs.h"
#include "tests/support/e2e.h"

namespace {

class StationE2E : public ProgramTest {
 protected:
  RunResult run(const std::vector<std::string>& extra, const std::string& variable = "stmod") {
    return run_stacont(sample_args(variable, extra), "", env_, dir_, 120);
  }
};

struct Station {
  std::string id;
  float lat, lon;
  std::vector<RawDataRec> values;
};

TEST_F(StationE2E, RawFileTextsAndRoom) {
  const RunResult r = run({"-of", "raw", "-rp", dir_, "-de", "m," + dir_ + "/plot.meta"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string raw = dir_ + "/2026031412_sfc.raw";

  // The file read back: the header names the eight values of the station model.
  const int h = RAW_open(raw.c_str());
  ASSERT_GE(h, 0);
  ASSERT_EQ(RAW_getinfo(h, nullptr, nullptr, 0), 11);
  const char* names[] = {"cldcv", "wind", "temp", "dewp", "pralt", "ptend", "wx", "vis"};
  for (int k = 0; k < 8; ++k) EXPECT_STREQ(RAW_get_field(h, k + 3)->name, names[k]);
  std::vector<Station> stations;
  for (int i = 0;; ++i) {
    Station s;
    s.values.resize(8);
    int got = 0;
    for (int k = 0; k < 8; ++k) got = RAW_read(h, &s.values[static_cast<std::size_t>(k)], k, i);
    if (got != 1) break;
    s.id = RAW_get_id(h), s.lat = s.values[0].x, s.lon = s.values[0].y;
    stations.push_back(s);
  }
  RAW_close(h);
  ASSERT_GT(stations.size(), 40U);

  // The values are the sample's observations: temperature and dew point (tenths of F),
  // wind (direction in tens of degrees and speed), coded sea-level pressure and visibility.
  std::map<std::string, std::vector<std::string>> sample;
  std::istringstream in(read_file(kData + "/sample/2026031412.sfc"));
  for (std::string line; std::getline(in, line);)
    if (const std::vector<std::string> t = words(line); t.size() > 7) sample[t[0]] = t;
  for (const Station& s : stations) {
    ASSERT_TRUE(sample.count(s.id)) << s.id;
    const std::vector<std::string>& t = sample[s.id];
    const auto tenths = [](const std::string& x) { return std::stoi(x) == -99 ? MISSING : std::stoi(x) / 10.0F; };
    const float temp = tenths(t[1]), dewp = tenths(t[2]);
    const RawDataRec* v = s.values.data();
    EXPECT_NEAR(v[2].val1, temp, temp == MISSING ? 0.0F : 0.5F) << s.id;
    EXPECT_TRUE(dewp == MISSING || std::fabs(v[3].val1 - dewp) <= 0.5F) << s.id << " dew point " << v[3].val1;
    const int w = std::stoi(t[3]), p = std::stoi(t[5]);
    if (w >= 0 && w < 10000) {
      EXPECT_EQ(std::pair(v[1].val1, v[1].val2), (std::pair<float, float>(w / 100 * 10, w % 100))) << s.id;
    }
    char coded[8];
    std::snprintf(coded, sizeof coded, "%03d", p);
    EXPECT_TRUE(p < 0 || p >= 1000 || std::string(v[4].text) == coded) << s.id << " pressure " << v[4].text;
    const float vis = t[6] == "-99" ? MISSING : std::stof(t[6]);
    EXPECT_TRUE(vis == MISSING || std::fabs(v[7].val1 - vis) <= (vis >= 3 ? 0.5F : 0.05F)) << s.id << " " << v[7].val1;
  }

  // The texts round each station: temperature upper left and dew point lower left (both
  // ending left of the station), coded pressure upper right and the tendency to the right.
  RES_put("file_path", kData.c_str());
  DomainRec dom;
  ASSERT_EQ(DOM_get_def_region("us", &dom), 1);
  MAP_domain(&dom);
  const float vert = static_cast<float>(dom.ny - 1) * dom.dy;
  std::vector<MetaText> values;
  for (const MetaText& t : read_metafile(dir_ + "/plot.meta").texts)
    if (std::fabs(t.height - 0.0135F * vert) < 1e-3F) values.push_back(t);
  // Stations whose model the frame would cut are in the file but not drawn.
  float limits[4];
  MAP_get_limits(limits);
  auto inside = [&](float x, float y) {
    // The model reaches 0.09 of the map's height left of the station (the visibility),
    // and a barb 0.062 round it.
    const float m = 0.07F * vert;
    return x > limits[0] + 0.1F * vert && x < limits[1] - m && y > limits[2] + m && y < limits[3] - m;
  };
  std::size_t shown = 0;
  for (const Station& s : stations) {
    float x = 0, y = 0;
    ASSERT_GE(MAP_tran(&x, &y, s.lat, s.lon), 0);
    shown += inside(x, y) ? 1 : 0;
  }
  ASSERT_GE(shown, 25U);
  ASSERT_GT(values.size(), 4 * shown);
  // A number in the way of its station's barb moves a row or two up or down.
  const float row = 1.2F * 1.5F * 0.0135F * vert / 1.4F;
  auto drawn = [&](float x, float y, int halign, const std::string& text) {
    for (const MetaText& t : values)
      for (const float k : {0.0F, 1.0F, -1.0F, 2.0F, -2.0F})
        if (std::fabs(t.x - x) < 0.05F && std::fabs(t.y - y - k * row) < 0.05F && t.halign == halign && t.text == text)
          return true;
    return false;
  };
  int placed = 0;
  for (const Station& s : stations) {
    float x = 0, y = 0;
    ASSERT_GE(MAP_tran(&x, &y, s.lat, s.lon), 0);
    if (!inside(x, y)) continue;
    const RawDataRec* v = s.values.data();
    const auto at = [&](bool shown, float dx, float dy, int halign, const std::string& text, const char* what) {
      EXPECT_TRUE(!shown || drawn(x + dx * vert, y + dy * vert, halign, text)) << s.id << " " << what << " " << text;
    };
    const auto number = [](const char* format, float value) {
      char text[16];
      std::snprintf(text, sizeof text, format, static_cast<double>(value));
      return std::string(text);
    };
    at(v[2].val1 != MISSING, -0.012F, 0.02F, 3, number("%1.0f", v[2].val1), "temperature");
    at(v[3].val1 != MISSING, -0.012F, -0.02F, 3, number("%1.0f", v[3].val1), "dew point");
    at(v[4].text[0] != '\0', 0.012F, 0.02F, 1, v[4].text, "pressure");
    at(v[5].val1 != MISSING, 0.012F, 0.0F, 1, number("%+.1f", v[5].val1), "tendency");
    ++placed;
  }
  EXPECT_EQ(placed, static_cast<int>(shown));

  // No text of one station model covers another's: characters are at least 0.6 of their
  // height wide.
  auto box = [](const MetaText& t, float b[4]) {
    const float w = 0.6F * t.height * static_cast<float>(t.text.size());
    b[0] = t.halign == 3 ? t.x - w : t.halign == 2 ? t.x - w / 2 : t.x;
    b[1] = b[0] + w;
    b[2] = t.y - 0.4F * t.height;
    b[3] = t.y + 0.4F * t.height;
  };
  for (std::size_t i = 0; i < values.size(); ++i)
    for (std::size_t j = i + 1; j < values.size(); ++j) {
      float a[4], b[4];
      box(values[i], a), box(values[j], b);
      EXPECT_FALSE(a[0] < b[1] && b[0] < a[1] && a[2] < b[3] && b[2] < a[3])
          << values[i].text << " at " << values[i].x << "," << values[i].y << " and " << values[j].text << " at "
          << values[j].x << "," << values[j].y;
    }
}

// The printed page, single-value plots and values over a fill: the table
// tests/data/driver/station.runs.
STACONT_RUNS_TABLE(StationRuns, "station.runs");

}  // namespace
