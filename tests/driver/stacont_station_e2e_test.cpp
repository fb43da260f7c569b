// The station model of the 12 UTC sample over the United States, end to end: the raw file
// the run writes holds the sample's observations (that it reads back into the same file is
// the raw reader's own test), the values are drawn in their corners round the stations (the
// texts of a metafile), no two station models overprint, and the rendered page shows them;
// station values over a fill read on their rim, on the window's page and on paper.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "config/missing.h"
#include "config/resrc.h"
#include "plot/maptran.h"
#include "plot/region.h"
#include "surface/raw_read.h"
#include "tests/support/e2e.h"

namespace {

struct Text {
  float x, y, height;
  int halign;
  std::string text;
};

// The texts of a text metafile with their height and horizontal alignment.
std::vector<Text> texts(const std::string& meta) {
  std::vector<Text> out;
  std::istringstream in(meta);
  std::string line;
  float height = 0;
  int h = 0, v = 0;
  while (std::getline(in, line)) {
    float x = 0, y = 0;
    char s[100] = "";
    if (std::sscanf(line.c_str(), "TE_HGHT %f", &height) == 1) continue;
    if (std::sscanf(line.c_str(), "TE_ALGN %d %d", &h, &v) == 2) continue;
    if (std::sscanf(line.c_str(), "TE %f,%f %99[^\n]", &x, &y, s) == 3) out.push_back({x, y, height, h, s});
  }
  return out;
}

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
    if (temp != MISSING) {
      EXPECT_NEAR(v[2].val1, temp, 0.5F) << s.id;
    } else {
      EXPECT_EQ(v[2].val1, MISSING) << s.id;
    }
    if (dewp != MISSING) {
      EXPECT_NEAR(v[3].val1, dewp, 0.5F) << s.id;
    }
    const int w = std::stoi(t[3]);
    if (w >= 0 && w < 10000) {
      EXPECT_EQ(v[1].val1, static_cast<float>(w / 100 * 10)) << s.id;
      EXPECT_EQ(v[1].val2, static_cast<float>(w % 100)) << s.id;
    }
    const int p = std::stoi(t[5]);
    char coded[8];
    std::snprintf(coded, sizeof coded, "%03d", p);
    if (p >= 0 && p < 1000) {
      EXPECT_STREQ(v[4].text, coded) << s.id;
    }
    if (t[6] != "-99") {
      EXPECT_NEAR(v[7].val1, std::stof(t[6]), std::stof(t[6]) >= 3 ? 0.5F : 0.05F) << s.id;
    }
  }

  // The texts round each station: temperature upper left and dew point lower left (both
  // ending left of the station), coded pressure upper right and the tendency to the right.
  RES_put("file_path", kData.c_str());
  DomainRec dom;
  ASSERT_EQ(DOM_get_def_region("us", &dom), 1);
  MAP_domain(&dom);
  const float vert = static_cast<float>(dom.ny - 1) * dom.dy;
  const std::vector<Text> all = texts(read_file(dir_ + "/plot.meta"));
  std::vector<Text> values;
  for (const Text& t : all)
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
    for (const Text& t : values)
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
    char text[16];
    if (v[2].val1 != MISSING) {
      std::snprintf(text, sizeof text, "%1.0f", static_cast<double>(v[2].val1));
      EXPECT_TRUE(drawn(x - 0.012F * vert, y + 0.02F * vert, 3, text)) << s.id << " temperature " << text;
    }
    if (v[3].val1 != MISSING) {
      std::snprintf(text, sizeof text, "%1.0f", static_cast<double>(v[3].val1));
      EXPECT_TRUE(drawn(x - 0.012F * vert, y - 0.02F * vert, 3, text)) << s.id << " dew point " << text;
    }
    if (v[4].text[0] != '\0') {
      EXPECT_TRUE(drawn(x + 0.012F * vert, y + 0.02F * vert, 1, v[4].text)) << s.id;
    }
    if (v[5].val1 != MISSING) {
      std::snprintf(text, sizeof text, "%+.1f", static_cast<double>(v[5].val1));
      EXPECT_TRUE(drawn(x + 0.012F * vert, y, 1, text)) << s.id << " tendency " << text;
    }
    ++placed;
  }
  EXPECT_EQ(placed, static_cast<int>(shown));

  // No text of one station model covers another's: characters are at least 0.6 of their
  // height wide.
  auto box = [](const Text& t, float b[4]) {
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

// The page as printed: black values and barbs (green does not read on paper) and brown
// weather symbols.
TEST_F(StationE2E, RenderedPage) {
  const std::string ps = dir_ + "/model.ps";
  const RunResult r = run({"-of", "none", "-pp", "pscolor", "-de", "p," + ps + ",color"});
  ASSERT_EQ(r.status, 0) << r.err;
  const RunResult g = run_program("/usr/bin/gs",
                                  {"-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r100",
                                   "-sOutputFile=" + ps + ".png", ps},
                                  "", {}, "", 120);
  ASSERT_EQ(g.status, 0) << g.err;
  const Picture p = read_png(ps + ".png");
  int green = 0, brown = 0, black = 0;
  for (std::size_t k = 0; k + 2 < p.rgb.size(); k += 3) {
    const int cr = p.rgb[k], cg = p.rgb[k + 1], cb = p.rgb[k + 2];
    green += cr < 60 && cg > 150 && cb < 60;
    brown += cr > 120 && cr < 190 && cg > 60 && cg < 120 && cb < 60;
    black += cr + cg + cb < 60;
  }
  EXPECT_EQ(green, 0);
  EXPECT_GT(brown, 50);    // the few stations with weather
  EXPECT_GT(black, 7000);  // numbers, cloud circles and barbs of some 70 stations
}

// Single-value station plots: each writes its values to the raw file and draws more than
// the map alone (sea-surface temperatures: none in the sample).
TEST_F(StationE2E, SingleValuePlots) {
  auto plot = [&](const std::string& v) {
    const RunResult r = run({"-of", "raw:@" + dir_ + "/" + v + ".raw", "-de", "m," + dir_ + "/" + v + ".meta"}, v);
    EXPECT_EQ(r.status, 0) << v << ": " << r.err;
    EXPECT_EQ(r.err, "") << v;
    return read_file(dir_ + "/" + v + ".meta").size();
  };
  const std::size_t map_alone = plot("sst_s");
  for (const char* v : {"wind", "temp_s", "vis_s", "wx_s", "cldcv_s", "city_s", "fr_s", "ptend_s"}) {
    EXPECT_GT(plot(v), map_alone + 1000) << v;
    std::istringstream in(read_file(dir_ + "/" + v + ".raw"));
    int lines = 0, values = 0;
    bool data = false;
    for (std::string line; std::getline(in, line);) {
      const std::vector<std::string> t = words(line);
      if (!data) {
        data = line == "$";
        continue;
      }
      ASSERT_EQ(t.size(), 4U) << line;
      ++lines;
      values += t[3] != "-";
    }
    EXPECT_GT(lines, 40) << v;
    EXPECT_GT(values, std::string(v) == "wx_s" ? 5 : 30) << v;
  }
}

// Station values over a colour fill are drawn on a rim of the page's colour: coloured by the
// bands of the fill they lie on (the same variable, "-in"), they would vanish in it. The rim
// shows as page-coloured pixels inside the filled map, thousands more than without them: on
// the window's black page (its frame dumped), on a black raster page and on a white one.
TEST_F(StationE2E, ValuesOverAFillReadOnTheirRim) {
  const struct {
    const char* option;
    const char* output;  // %s: the file
    int page;            // 0 black, 255 white
    int more;
  } pages[] = {{"-pp", "png:%s", 0, 2000}, {"-de", "png,%s,800x600", 0, 3000}, {"-de", "png,%s,800x600,inv", 255, 3000}};
  int n = 0;
  for (const auto& p : pages) {
    int count[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      const std::string png = dir_ + "/rim" + std::to_string(n++) + ".png";
      char output[400];
      std::snprintf(output, sizeof output, p.output, png.c_str());
      const RunResult r = run({"-in", "5", "-cb", "0", "-dr", "data", "-of", "none", p.option, output},
                              k == 0 ? "temp[F:cf]" : "temp[F:cf],temp[F:value]");
      ASSERT_EQ(r.status, 0) << r.err;
      const Picture pic = read_png(png);
      ASSERT_GT(pic.width, 0);
      // The middle of the map, away from the frame and the unfilled corners.
      count[k] = page_pixels_in_middle(pic, p.page);
    }
    EXPECT_GT(count[1], count[0] + p.more) << p.output << ": " << count[0] << " " << count[1];
  }
}

}  // namespace
