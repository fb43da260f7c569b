// Fronts from coded bulletins, drawn on the recording device over the United States map
// (position groups and positions in words are calls of tests/data/plot/calls.txt): sections
// and their dates, the pressure-centre thinning, the fronts' smoothing, colours and symbols
// on the correct side, troughs, tropical cyclones, options, labels, and damaged bulletins.
#include "plot/frt_plt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "plot/wx_symb.h"
#include "tests/plot/map_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/plot_table.h"

namespace {

class Frt : public MapTest {
 protected:
  void SetUp() override {
    MapTest::SetUp();
    setup(us());
    date_ = DateRec{2026, 3, 14, 73, 6, 12, 0, 0};
    FRT_set_date(&date_);
    CaptureStderr();
    WX_symb_file(STACONT_DATA_DIR "/wx.smb");
    GetCapturedStderr();
  }
  // Draws a bulletin made of the lines; the standard error of the run.
  std::string plot(const std::string& text, const std::string& params = "") {
    write("b.frt", text);
    if (!params.empty()) RES_put("plot_param", params.c_str());
    // Colours the bulletin never uses, so that every colour it sets reaches the device.
    gset_line_colr_ind(1);
    gset_fill_colr_ind(1);
    gset_text_colr_ind(1);
    gdev_clear_calls();
    CaptureStderr();
    EXPECT_EQ(FRT_plot_file(path("b.frt").c_str()), 1);
    return GetCapturedStderr();
  }
  static std::string analysis(const std::string& data) { return "HEADER LINE\nVALID 141200Z\n" + data; }
  static std::vector<Drawn> of(int code) { return drawn(code); }
  // The texts placed, in order.
  static std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (const auto& [t, at] : placed_labels()) out.push_back(t);
    return out;
  }
  static std::pair<double, double> plane(float lat, float lon) {
    float x = 0, y = 0;
    MAP_tran(&x, &y, lat, lon);
    return {x, y};
  }
  static std::pair<float, float> geo(const std::pair<double, double>& p) {
    float lat = 0, lon = 0;
    MAP_untran(&lat, &lon, static_cast<float>(p.first), static_cast<float>(p.second));
    return {lat, lon};
  }
  DateRec date_{};
};

// The bulletins of tests/data/plot/bulletins.tsv: centres and their thinning, section
// dates, headings, forecast sections, options not understood, damaged bulletins, and where
// the letters, pressures and storm names go.
TEST_F(Frt, BulletinTable) {
  const DomainRec wide = domain(PROJ_PS, 25, -70, 25, 17, 6.0f);
  for (const TableRow& c : plot_table("bulletins.tsv")) {
    ASSERT_GE(c.size(), 9u);
    SCOPED_TRACE(c[1] + " " + c[2] + " " + c[3]);
    setup(c[0] == "wide" ? wide : us());
    DateRec d = date_;
    constexpr int M = MISSING_INT;
    if (c[1] == "none") d = DateRec{M, M, M, M, M, M, M, M};
    if (c[1] != "-" && c[1] != "none") {
      ASSERT_EQ(std::sscanf(c[1].c_str(), "%d,%d,%d,%d,%d,%d,%d,%d", &d.year, &d.month, &d.day, &d.julian, &d.wday, &d.hour,
                            &d.minute, &d.second), 8);
    }
    FRT_set_date(&d);
    RES_put("plot_param", c[2].c_str());
    std::string err = plot(table_unescape(c[3]));
    for (std::size_t at; (at = err.find(path("b.frt"))) != std::string::npos;) err.replace(at, path("b.frt").size(), "@");
    if (c[4] != "*") {
      EXPECT_EQ(err, table_unescape(c[4]));
    }
    std::string joined;
    for (const std::string& t : texts()) joined += (joined.empty() ? "" : " ") + t;
    EXPECT_EQ(joined, c[5]);
    if (c[6] != "-") {
      EXPECT_EQ(std::to_string(of(GOBJ_LINE).size()), c[6]);
    }
    if (c[7] != "-") {
      EXPECT_EQ(FRT_get_label_up_left(), c[7]);
    }
    if (c[8] != "-") {
      EXPECT_EQ(FRT_get_label_up_right(), c[8]);
    }
    if (c.size() < 10) continue;
    const auto placed = placed_labels();
    std::istringstream places(c[9]);
    std::size_t k = 0;
    for (std::string p; places >> p; ++k) {
      float lat = 0, lon = 0, dy = 0;
      ASSERT_GE(std::sscanf(p.c_str(), "%f,%f,%f", &lat, &lon, &dy), 2) << p;
      ASSERT_LT(k, placed.size());
      EXPECT_NEAR(placed[k].second.first, plane(lat, lon).first, 1e-3) << p;
      EXPECT_NEAR(placed[k].second.second, plane(lat, lon).second + dy * MAP_get_vert(), 1e-3) << p;
    }
    EXPECT_EQ(k, placed.size());
  }
  FRT_set_date(&date_);
}

// Fronts, with or without intensity words, are smooth curves through their points in their
// colours; without "barb" they are plain lines.
TEST_F(Frt, FrontLinesAndColours) {
  const struct { const char* data; const char* colour; float lat, lon; } cases[] = {  // the first place
      {"COLD MDT 45090 40090 35092\n", "blue", 45, -90},   {"WARM WK 40100 40095 39090\n", "red", 40, -100},
      {"OCFNT 45095 47090 45086\n", "magenta", 45, -95}, {"COLD 4500900 4000900 3500920\n", "blue", 45, -90},
      {"COLD STG DIFFUSE FRONTOGENESIS 4590 4090 3592\n", "blue", 45, -90}};
  for (const auto& c : cases) {
    plot(analysis(c.data));
    const std::vector<Drawn> lines = of(GOBJ_LINE);
    ASSERT_EQ(lines.size(), 1u) << c.data;
    EXPECT_TRUE(of(GOBJ_FILL).empty());
    EXPECT_EQ(lines[0].colour, CLR_get_ind(c.colour)) << c.data;
    // Pieces of 0.5 plane units from the first point to the last.
    const Drawn& l = lines[0];
    for (std::size_t i = 0; i + 2 < l.pts.size(); ++i)
      EXPECT_NEAR(std::hypot(l.pts[i + 1].first - l.pts[i].first, l.pts[i + 1].second - l.pts[i].second), 0.5, 0.1) << i;
    const auto first = plane(c.lat, c.lon);
    EXPECT_NEAR(l.pts.front().first, first.first, 1e-4);
    EXPECT_NEAR(l.pts.front().second, first.second, 1e-4);
  }
  // A group repeated and the short fronts: 80N 100W to 80N 101W is 0.18 units long, less
  // than a piece, and shows as the straight line between its ends; a front of one place
  // has nothing to show and is reported.
  setup(domain(PROJ_PS, 75, -100, 25, 17, 1.0f));
  EXPECT_EQ(plot(analysis("COLD 80100 80101\nWARM 80100 80100\nTROF 80100 80103\nSTNRY 76100 76100 76100 77100\n")),
            "FRT_plot_file: WARM line with fewer than two positions\n");
  const std::vector<Drawn> lines = of(GOBJ_LINE);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].colour, CLR_get_ind("blue"));
  ASSERT_EQ(lines[0].pts.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(lines[0].pts[i].first, plane(80, -100 - i).first, 1e-4);
    EXPECT_NEAR(lines[0].pts[i].second, plane(80, -100 - i).second, 1e-4);
  }
  EXPECT_EQ(lines[1].colour, CLR_get_ind("brown"));
  EXPECT_EQ(lines[2].colour, CLR_get_ind("blue"));
}

// With "barb": symbols on every fourth piece, filled in the front's colour; cold-front
// triangles to the east of a front lying north-south and to the south of one lying
// west-east, warm-front half-discs to the north of one lying west-east.
TEST_F(Frt, SymbolsOnTheirSide) {
  const struct { const char* data; int corners; char side; float along; } cases[] = {
      {"COLD MDT 45090 40090 35090\n", 3, 'E', -90}, {"COLD MDT 35090 40090 45090\n", 3, 'E', -90},
      {"COLD MDT 40100 40095 40090\n", 3, 'S', 40},  {"COLD MDT 40090 40095 40100\n", 3, 'S', 40},
      {"WARM WK 40100 40095 40090\n", 7, 'N', 40},   {"WARM WK 40090 40095 40100\n", 7, 'N', 40},
      {"WARM WK 45090 40090 35090\n", 7, 'E', -90}};
  for (const auto& c : cases) {
    plot(analysis(c.data), "barb");
    const std::vector<Drawn> fills = of(GOBJ_FILL);
    ASSERT_EQ(of(GOBJ_LINE).size(), 1u);
    const Drawn line = of(GOBJ_LINE).front();
    const int pieces = static_cast<int>(line.pts.size()) - 1;
    EXPECT_EQ(static_cast<int>(fills.size()), (pieces + 1) / 4) << c.data << " " << pieces;
    EXPECT_EQ(line.colour, fills.front().colour);
    for (const Drawn& f : fills) {
      ASSERT_EQ(static_cast<int>(f.pts.size()), c.corners) << c.data;
      // The symbol's tip (the point farthest from its base's middle) lies on its side.
      const auto base_mid = std::make_pair((f.pts.front().first + f.pts.back().first) / 2,
                                           (f.pts.front().second + f.pts.back().second) / 2);
      const auto tip = geo(f.pts[f.pts.size() / 2]);
      const auto mid = geo(base_mid);
      // How far the tip lies towards the side: east in longitude, north or south in latitude.
      const float towards =
          c.side == 'E' ? tip.second - mid.second : (c.side == 'N' ? 1.0f : -1.0f) * (tip.first - mid.first);
      EXPECT_GT(towards, 0.2f) << c.data;
    }
  }
}

// Occluded fronts alternate triangles and half-discs on one side; stationary fronts
// alternate cold and warm pieces with triangles and half-discs on opposite sides; troughs
// are dashed.
TEST_F(Frt, OccludedStationaryAndTroughs) {
  plot(analysis("OCFNT 50100 45100 40100 35100\n"), "barb");
  std::vector<Drawn> fills = of(GOBJ_FILL);
  ASSERT_GE(fills.size(), 4u);
  for (std::size_t i = 0; i < fills.size(); ++i) {
    EXPECT_EQ(fills[i].pts.size(), i % 2 == 0 ? 3u : 7u);
    EXPECT_EQ(fills[i].colour, CLR_get_ind("magenta"));
    EXPECT_GT(geo(fills[i].pts[fills[i].pts.size() / 2]).second, -100.0f);
  }
  plot(analysis("STNRY 40110 40100 40090 40080\n"), "barb");
  fills = of(GOBJ_FILL);
  ASSERT_GE(fills.size(), 4u);
  for (std::size_t i = 0; i < fills.size(); ++i) {
    const bool cold = i % 2 == 0;
    EXPECT_EQ(fills[i].pts.size(), cold ? 3u : 7u);
    EXPECT_EQ(fills[i].colour, CLR_get_ind(cold ? "blue" : "red"));
    const auto tip = geo(fills[i].pts[fills[i].pts.size() / 2]);
    const auto base = geo(fills[i].pts.front());
    EXPECT_EQ(tip.first < base.first, cold) << i;  // triangles south, half-discs north
  }
  // Pieces of four segments, cold and warm by turns.
  const std::vector<Drawn> pieces = of(GOBJ_LINE);
  ASSERT_GE(pieces.size(), 8u);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i].colour, CLR_get_ind(i % 2 == 0 ? "blue" : "red"));
    if (i + 1 < pieces.size()) {
      EXPECT_EQ(pieces[i].pts.size(), 5u);
    }
    if (i > 0) {
      EXPECT_EQ(pieces[i].pts.front(), pieces[i - 1].pts.back());
    }
  }

  plot(analysis("TROF WK 40110 40100 40090\n"), "barb");
  EXPECT_TRUE(of(GOBJ_FILL).empty());
  const std::vector<Drawn> dashes = of(GOBJ_LINE);
  ASSERT_GE(dashes.size(), 10u);
  for (std::size_t i = 0; i < dashes.size(); ++i) {
    EXPECT_EQ(dashes[i].colour, CLR_get_ind("brown"));
    ASSERT_EQ(dashes[i].pts.size(), 2u);
    if (i == 0) continue;
    EXPECT_NEAR(std::hypot(dashes[i].pts[0].first - dashes[i - 1].pts[1].first,
                           dashes[i].pts[0].second - dashes[i - 1].pts[1].second),
                0.5, 0.05);
  }
}

// A hurricane's symbol is centred on its position (which may go on over the next line),
// its eye filled; a tropical storm's is open. Colours "none" leave elements out.
TEST_F(Frt, TropicalCyclonesAndColoursOff) {
  plot(analysis("HURRICANE ANDREW PSN TWENTY FIVE POINT FIVE NORTH\nEIGHTY WEST\n"
                "TROPICAL STORM BOB PSN THIRTY NORTH SEVENTY FIVE WEST MOVING NE\n"));
  const auto andrew = plane(25.5f, -80);
  const std::vector<Drawn> fills = of(GOBJ_FILL);
  ASSERT_EQ(fills.size(), 1u);  // the hurricane's eye; the storm's is open
  double cx = 0, cy = 0;
  for (const auto& p : fills[0].pts) cx += p.first / fills[0].pts.size(), cy += p.second / fills[0].pts.size();
  EXPECT_NEAR(cx, andrew.first, 1e-3);
  EXPECT_NEAR(cy, andrew.second, 1e-3);
  EXPECT_EQ(fills[0].colour, CLR_get_ind("red"));

  RES_put("color_front", "none,,none,,,,none");
  const std::string err = plot(analysis("HIGHS 1030 40100\nLOWS 990 45090\nCOLD 40100 35100\nWARM 40100 40090\n"
                                        "HURRICANE ANDREW PSN TWENTY NORTH EIGHTY WEST\n"));
  EXPECT_EQ(texts(), (std::vector<std::string>{"L", "990"}));
  const std::vector<Drawn> lines = of(GOBJ_LINE);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].colour, CLR_get_ind("red"));
  RES_put("color_front", "green:wi=2,orange");
  plot(analysis("HIGHS 1030 40100\nLOWS 990 45090\n"));
  for (const GksCall& c : calls(GOBJ_TCOLR)) EXPECT_TRUE(c.arg == CLR_get_ind("green") || c.arg == CLR_get_ind("orange") || c.arg == CLR_get_ind("black"));
}

// Damaged bulletins too long for the table (over-long lines, bytes of every value) are
// reported and what reads still draws; a missing bulletin is named.
TEST_F(Frt, DamagedBulletins) {
  std::string huge = "COLD MDT", junk;
  for (int i = 0; i < 2000; ++i) huge += " 40100";
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
  const std::string cut = "FRT_plot_file: Lines longer than 500 characters cut in " + path("b.frt") +
                          "\nFRT_plot_file: COLD line with fewer than two positions\n";
  const std::vector<std::string> high = {"H", "1030"};
  EXPECT_EQ(plot(analysis(huge + "\nHIGHS 1030 40100\n")), cut);
  EXPECT_EQ(texts(), high);
  EXPECT_TRUE(of(GOBJ_LINE).empty());
  EXPECT_EQ(plot(analysis("COLD MDT 40100\n" + std::string(600, '3') + "\nWARM 40100 40090\n")), cut);
  EXPECT_EQ(of(GOBJ_LINE).size(), 1u);
  EXPECT_TRUE(texts().empty());
  EXPECT_EQ(plot(junk), "FRT_plot_file: No VALID section in file: " + path("b.frt") + "\n");
  EXPECT_TRUE(texts().empty());
  plot(analysis(junk + "\nHIGHS 1030 40100\n"));
  EXPECT_EQ(texts(), high);
  EXPECT_TRUE(of(GOBJ_LINE).empty());
  CaptureStderr();
  EXPECT_EQ(FRT_plot_file(path("none.frt").c_str()), 0);
  EXPECT_EQ(GetCapturedStderr(), "FRT_plot_file: Unable to open front file: " + path("none.frt") + "\n");
  EXPECT_EQ(FRT_get_label_up_left(), std::string(""));
}

}  // namespace
