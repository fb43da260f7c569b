// Fronts from coded bulletins, drawn on the recording device over the United States map:
// position groups and positions in words, sections and their dates, the pressure-centre
// thinning, the fronts' smoothing, colours and symbols on the correct side, troughs,
// tropical cyclones, options, labels, and damaged bulletins.
#include "plot/frt_plt.h"

#include <gtest/gtest.h>

#include <cmath>
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

// Position groups against tests/data/plot/position_groups.tsv.
TEST(FrtGroups, PositionGroups) {
  const std::vector<TableRow> cases = plot_table("position_groups.tsv");
  ASSERT_EQ(cases.size(), 25u);
  for (const TableRow& c : cases) {
    float lat = 0, lon = 0;
    EXPECT_EQ(decode_latlon(c[0].c_str(), &lat, &lon), std::stoi(c[1])) << c[0];
    EXPECT_EQ(std::make_pair(lat, lon), std::make_pair(std::stof(c[2]), std::stof(c[3]))) << c[0];
  }
  EXPECT_EQ(decode_latlon(nullptr, nullptr, nullptr), 0);
}

std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> w;
  std::size_t i = 0;
  while ((i = s.find_first_not_of(' ', i)) != std::string::npos) {
    const std::size_t e = s.find(' ', i);
    w.push_back(s.substr(i, e - i));
    i = e;
  }
  return w;
}

TEST(FrtGroups, PositionsInWords) {
  const struct { const char* text; int result; float lat, lon; std::size_t next; } cases[] = {
      {"TWENTY FIVE POINT FIVE NORTH SEVENTY WEST MOVING NW", 0, 25.5f, -70, 7},
      {"ONE HUNDRED TWENTY THREE WEST FIFTEEN NORTH", -1, 15, -123, 7},
      {"twenty north eighty west", -1, 20, -80, 4},
      {"TEN POINT TWO SOUTH ONE HUNDRED SIXTY EAST PSN", 0, -10.2f, 160, 8},
      {"25.5 NORTH 70.25 WEST", -1, 25.5f, -70.25f, 4},
      {"NEAR TWENTY NORTH", 0, -9999, -9999, 0}};
  for (const auto& c : cases) {
    const std::vector<std::string> w = words(c.text);
    float lat = -9999, lon = -9999;
    std::size_t next = 0;
    EXPECT_EQ(FRT_decode_locate(w, &next, &lat, &lon), c.result) << c.text;
    EXPECT_NEAR(lat, c.lat, 1e-4f) << c.text;
    EXPECT_NEAR(lon, c.lon, 1e-4f) << c.text;
    EXPECT_EQ(next, c.next) << c.text;
  }
}

// One drawn polyline or area with its colour, points in the map plane.
struct Shape {
  int code, colour;
  std::vector<std::pair<double, double>> pts;
};

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
  static std::vector<Shape> shapes() {
    std::vector<Shape> out;
    GPH_trans(2);
    int line = -1, fill = -1;
    for (const GksCall& c : gdev_calls()) {
      if (c.code == GOBJ_LCOLR) line = c.arg;
      if (c.code == GOBJ_FCOLR) fill = c.arg;
      if (c.code != GOBJ_LINE && c.code != GOBJ_FILL) continue;
      Shape s{c.code, c.code == GOBJ_LINE ? line : fill, {}};
      for (std::size_t i = 0; i + 1 < c.values.size(); i += 2) s.pts.emplace_back(xdev_W(c.values[i]), ydev_W(c.values[i + 1]));
      out.push_back(std::move(s));
    }
    return out;
  }
  static std::vector<Shape> of(int code) {
    std::vector<Shape> out;
    for (const Shape& s : shapes())
      if (s.code == code) out.push_back(s);
    return out;
  }
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

// Every centre the bulletin lists is drawn; "prrad" thins: two highs within the radius keep
// the higher (equal ones both go), lows the lower, a centre without a pressure gives way
// to one with. A position without a pressure before it is a centre drawn without a value;
// a pressure is three digits from 850 or four up to 1090, and a low-resolution position at
// 10N that reads as a pressure is the position of the pressure before it unless a group
// that can only be a position follows. The letters sit on the centres with their pressure
// 0.03 map heights below.
TEST_F(Frt, PressureCentresAndTheirThinning) {
  const float u = MAP_get_vert();
  const std::string none;
  const std::string lost = "FRT_plot_file: Pressure without a position in LOWS line: ";
  const struct { bool wide; const char* data; const char* params; std::vector<std::string> texts; std::string err; } cases[] = {
      {false, "HIGHS 1030 40100 1024 42098 1020 30080\n", "", {"H", "1030", "H", "1024", "H", "1020"}, none},
      {false, "HIGHS 1030 40100 1024 42098 1020 30080\n", "prrad=5", {"H", "1030", "H", "1020"}, none},
      {false, "HIGHS 1024 40100 1024 42098\n", "prrad=5", {}, none},
      {false, "LOWS 990 40100 1000 42098 1004 30080\n", "prrad=5", {"L", "990", "L", "1004"}, none},
      {false, "HIGHS 1030 40100 1024 42098\n", "prrad=1.5", {"H", "1030", "H", "1024"}, none},
      {false, "HIGHS 1030 40100 1024 42098\n", "noprlab,prrad:1", {"H", "H"}, none},
      {false, "LOWS 44090 990 45091\n", "prrad=5", {"L", "990"}, none},
      {false, "LOWS 44090 45091\n", "prrad=5", {"L", "L"}, none},
      {false, "HIGHS 40100 1030 40100\nLOWS 1030 40100\n", "", {"H", "H", "1030", "L", "1030"}, none},
      {false, "LOWS 1015 4400823 4071080 1018 3641046\n", "", {"L", "1015", "L", "L", "1018"}, none},
      {false, "HIGHS 1030 40100\n1020 30080\n", "", {"H", "1030", "H", "1020"}, none},
      {false, "HIGHS 1056 4501200 1090 40120 850 3090\n", "", {"H", "1056", "H", "1090", "H", "850"}, none},
      {false, "HIGHS 1030 40100 1020 60040\n", "", {"H", "1030"}, none},  // 60N 40W: beyond the map
      {true, "LOWS 1009 1045 1012 2030\n", "", {"L", "1009", "L", "1012"}, none},
      {true, "LOWS 1008 1050\n", "", {"L", "1008"}, none},
      {false, "LOWS 1016 1017 4510934\n", "", {"L", "1017"}, lost + "1016\n"},
      {true, "LOWS 1091 849 0995 40100 1000\n", "", {"L", "L", "L"}, "FRT_plot_file: Bad group in LOWS line: 849\n" + lost + "1000\n"},
  };
  // A map from the tropics (10N 45W, 20N 30W) to the United States.
  const DomainRec wide = domain(PROJ_PS, 25, -70, 25, 17, 6.0f);
  for (const auto& c : cases) {
    setup(c.wide ? wide : us());
    RES_put("plot_param", c.params);
    EXPECT_EQ(plot(analysis(c.data)), c.err) << c.data;
    EXPECT_EQ(texts(), c.texts) << c.data << c.params;
  }
  // Where the groups put them: 10N 45W and 20N 30W; 1091 (10N 91W), 849 (bad: three
  // digits), 09N 95W and 40N 100W.
  const struct { const char* data; std::vector<std::pair<float, float>> at; } places[] = {
      {"LOWS 1009 1045 1012 2030\n", {{10, -45}, {20, -30}}},
      {"LOWS 1091 0995 40100\n", {{10, -91}, {9, -95}, {40, -100}}}};
  for (const auto& c : places) {
    setup(wide);
    plot(analysis(c.data), "noprlab");
    const auto placed = placed_labels();
    ASSERT_EQ(placed.size(), c.at.size()) << c.data;
    for (std::size_t i = 0; i < placed.size(); ++i) {
      const auto want = plane(c.at[i].first, c.at[i].second);
      EXPECT_NEAR(placed[i].second.first, want.first, 1e-3) << c.data << i;
      EXPECT_NEAR(placed[i].second.second, want.second, 1e-3) << c.data << i;
    }
  }
  setup(us());
  RES_put("plot_param", "");
  plot(analysis("HIGHS 1030 40100\n"));
  const auto placed = placed_labels();
  ASSERT_EQ(placed.size(), 2u);
  const auto at = plane(40, -100);
  EXPECT_NEAR(placed[0].second.first, at.first, 1e-3);
  EXPECT_NEAR(placed[0].second.second, at.second, 1e-3);
  EXPECT_NEAR(placed[1].second.second, at.second - 0.03 * u, 1e-3);
  EXPECT_EQ(FRT_get_label_up_left(), std::string("Frontal positions"));
  EXPECT_EQ(FRT_get_label_up_right(), std::string("NCEP analysis for 1200Z 14 MAR 26"));
  // Two highs 1.1 degrees apart (the real bulletin's over Colorado): the northern one's
  // value would cover the other letter and goes over its own.
  plot(analysis("HIGHS 1022 3961069 1020 3851069\n"));
  const auto pair = placed_labels();
  ASSERT_EQ(texts(), (std::vector<std::string>{"H", "1022", "H", "1020"}));
  EXPECT_NEAR(pair[1].second.second, plane(39.6f, -106.9f).second + 0.03 * u, 1e-3);
  EXPECT_NEAR(pair[3].second.second, plane(38.5f, -106.9f).second - 0.03 * u, 1e-3);
}

// The analysis must be valid at the plot's time (14 March 26), its group read as month,
// day, hour or as day, hour, minute: exactly, by day and hour, or at the synoptic hour
// before it; a section of another time is skipped with a message.
TEST_F(Frt, SectionDates) {
  const std::string data = "HIGHS 1030 40100\n";
  const struct { int hour, minute; const char* group; bool drawn; } cases[] = {
      {12, 0, "141200Z", true},   {12, 0, "1412Z", true},     {12, 0, "141200", true},    {13, 0, "141200Z", true},
      {14, 30, "141200Z", true},  {14, 30, "141430Z", true},  {15, 0, "141200Z", false},  {12, 0, "131200Z", false},
      {12, 0, "", false},         {12, 0, "031412Z", true},   {12, 0, "031412", true},    {14, 0, "031412Z", true},
      {15, 0, "031412Z", false},  {12, 0, "041412Z", false},  {12, 0, "031312Z", false},  {12, 30, "031412Z", true},
      {12, 0, "0314Z", false}};
  for (const auto& c : cases) {
    date_.hour = c.hour, date_.minute = c.minute;
    FRT_set_date(&date_);
    const std::string err = plot(std::string("VALID ") + c.group + "\n" + data);
    EXPECT_EQ(placed_labels().empty(), !c.drawn) << c.hour << " " << c.group;
    if (c.drawn) continue;
    char want[128];
    std::snprintf(want, sizeof want, "FRT_plot_file: Invalid date in file: %s != 0314%02d or 14%02d%02d\n", c.group, c.hour,
                  c.hour, c.minute);
    EXPECT_EQ(err, std::string(want) + "FRT_plot_file: No VALID section in file: " + path("b.frt") + "\n");
    EXPECT_EQ(FRT_get_label_up_left(), std::string(""));
  }
  // A later section of the right time is found after a skipped one; the section ends at
  // the next line that names a valid time.
  date_.hour = 12, date_.minute = 0;
  FRT_set_date(&date_);
  const std::string err = plot("VALID 140900Z\nHIGHS 1010 30080\nVALID 141200Z\nLOWS 990 40100\n12HR PROG VALID 150000Z\n"
                               "HIGHS 1030 40090\n");
  EXPECT_EQ(err, "FRT_plot_file: Invalid date in file: 140900Z != 031412 or 141200\n");
  EXPECT_EQ(texts(), (std::vector<std::string>{"L", "990"}));
}

// Today's bulletins: sequence number, WMO heading and free text before the section, lines
// of blanks, CR LF line ends, "$$" closing the section. A plot without a date takes every
// analysis section (not the forecasts) and labels itself with the first one's time.
TEST_F(Frt, HeadingsAndSectionsOfAnUndatedPlot) {
  const std::string bulletin = "\x01\r\n178 \r\nASUS02 KWBC 281800\r\nCODSUS\r\n \r\nCODED SURFACE FRONTAL POSITIONS\r\n"
                               "342 PM EDT MON JUN 28 2021\r\n \r\nVALID 062818Z\r\nHIGHS 1022 3961069 1020\r\n"
                               "3851069\r\n  \r\n$$\r\nLOWS 990 40100\r\n\x03";
  date_ = DateRec{2021, 6, 28, 179, 1, 18, 0, 0};
  FRT_set_date(&date_);
  EXPECT_EQ(plot(bulletin), "");
  EXPECT_EQ(texts(), (std::vector<std::string>{"H", "1022", "H", "1020"}));
  EXPECT_EQ(FRT_get_label_up_right(), std::string("NCEP analysis for 1800Z 28 JUN 21"));

  const std::string two = bulletin + "\nVALID 062821Z\nLOWS 995 45090\n12HR PROG VALID 062906Z\nHIGHS 1020 30080\n";
  const struct { DateRec date; std::vector<std::string> texts; const char* label; } cases[] = {
      {date_, {"H", "1022", "H", "1020"}, "NCEP analysis for 1800Z 28 JUN 21"},
      {DateRec{2021, 6, 28, 179, 1, 21, MISSING_INT, 0}, {"L", "995"}, "NCEP analysis for 21Z 28 JUN 21"},
      {DateRec{MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT, MISSING_INT},
       {"H", "1022", "H", "1020", "L", "995"},
       "NCEP analysis for 18Z 28 JUN"}};
  for (const auto& c : cases) {
    FRT_set_date(&c.date);
    const std::string err = plot(two);
    EXPECT_EQ(texts(), c.texts) << c.label;
    EXPECT_EQ(FRT_get_label_up_right(), std::string(c.label));
  }
  plot("VALID 141200Z\nHIGHS 1030 40100\n");
  EXPECT_EQ(FRT_get_label_up_right(), std::string("NCEP analysis for 141200Z"));
}

// The forecast section of the hour asked for, with its own labels.
TEST_F(Frt, ForecastSection) {
  const std::string text = "VALID 141200Z\nHIGHS 1010 30080\n12HR PROG VALID 150000Z\nLOWS 985 44085\n"
                           "24HR PROG VALID 151200Z\nHIGHS 1030 40090\n";
  for (const auto& [params, want, label] :
       {std::tuple<std::string, std::vector<std::string>, std::string>{"hour=12", {"L", "985"}, "12 hr NCEP forecast valid 0Z SUN 15 MAR 26"},
        {"hour=24", {"H", "1030"}, "24 hr NCEP forecast valid 12Z SUN 15 MAR 26"},
        {"hour=36", {}, ""}}) {
    const std::string err = plot(text, params);
    EXPECT_EQ(texts(), want) << params;
    EXPECT_EQ(FRT_get_label_up_right(), label) << params;
    if (want.empty()) {
      EXPECT_EQ(err, "FRT_plot_file: No 36HR section in file: " + path("b.frt") + "\n");
    }
  }
  CaptureStderr();
  RES_put("plot_param", "hour=x,prrad=-1");
  FRT_plot_param();
  EXPECT_EQ(GetCapturedStderr(), "FRT_plot_param: Invalid hour \"hour=x\"\nFRT_plot_param: Invalid radius \"prrad=-1\"\n");
}

// Fronts, with or without intensity words, are smooth curves through their points in their
// colours; without "barb" they are plain lines.
TEST_F(Frt, FrontLinesAndColours) {
  const struct { const char* data; const char* colour; } cases[] = {
      {"COLD MDT 45090 40090 35092\n", "blue"}, {"WARM WK 40100 40095 39090\n", "red"},
      {"OCFNT 45095 47090 45086\n", "magenta"}, {"COLD 4500900 4000900 3500920\n", "blue"},
      {"COLD STG DIFFUSE FRONTOGENESIS 4590 4090 3592\n", "blue"}};
  for (const auto& c : cases) {
    plot(analysis(c.data));
    const std::vector<Shape> lines = of(GOBJ_LINE);
    ASSERT_EQ(lines.size(), 1u) << c.data;
    EXPECT_TRUE(of(GOBJ_FILL).empty());
    EXPECT_EQ(lines[0].colour, CLR_get_ind(c.colour)) << c.data;
    // Pieces of 0.5 plane units from the first point to the last.
    const Shape& l = lines[0];
    for (std::size_t i = 0; i + 2 < l.pts.size(); ++i)
      EXPECT_NEAR(std::hypot(l.pts[i + 1].first - l.pts[i].first, l.pts[i + 1].second - l.pts[i].second), 0.5, 0.1) << i;
    float lat = 0, lon = 0;
    const std::vector<std::string> w = words(c.data);
    std::size_t k = 1;  // past the intensity words
    while (!std::isdigit(static_cast<unsigned char>(w[k][0]))) ++k;
    ASSERT_EQ(decode_latlon(w[k].c_str(), &lat, &lon), 1);
    const auto first = plane(lat, lon);
    EXPECT_NEAR(l.pts.front().first, first.first, 1e-4);
    EXPECT_NEAR(l.pts.front().second, first.second, 1e-4);
  }
  // A group repeated and the short fronts: 80N 100W to 80N 101W is 0.18 units long, less
  // than a piece, and shows as the straight line between its ends; a front of one place
  // has nothing to show and is reported.
  setup(domain(PROJ_PS, 75, -100, 25, 17, 1.0f));
  EXPECT_EQ(plot(analysis("COLD 80100 80101\nWARM 80100 80100\nTROF 80100 80103\nSTNRY 76100 76100 76100 77100\n")),
            "FRT_plot_file: WARM line with fewer than two positions\n");
  const std::vector<Shape> lines = of(GOBJ_LINE);
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
    const std::vector<Shape> fills = of(GOBJ_FILL);
    ASSERT_EQ(of(GOBJ_LINE).size(), 1u);
    const Shape line = of(GOBJ_LINE).front();
    const int pieces = static_cast<int>(line.pts.size()) - 1;
    EXPECT_EQ(static_cast<int>(fills.size()), (pieces + 1) / 4) << c.data << " " << pieces;
    EXPECT_EQ(line.colour, fills.front().colour);
    for (const Shape& f : fills) {
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
  std::vector<Shape> fills = of(GOBJ_FILL);
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
  const std::vector<Shape> pieces = of(GOBJ_LINE);
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
  const std::vector<Shape> dashes = of(GOBJ_LINE);
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

// Hurricanes and tropical storms: their symbol centred on the position and the name
// below; the position may go on over the next line. Colours "none" leave elements out.
TEST_F(Frt, TropicalCyclonesAndColoursOff) {
  const float u = MAP_get_vert();
  plot(analysis("HURRICANE ANDREW PSN TWENTY FIVE POINT FIVE NORTH\nEIGHTY WEST\n"
                "TROPICAL STORM BOB PSN THIRTY NORTH SEVENTY FIVE WEST MOVING NE\nHURRICANE NOBODY\n"
                "TROPICAL DEPRESSION TWO PSN TEN NORTH FIFTY WEST\nHIGHS 1030 40100\n"));
  const auto placed = placed_labels();
  ASSERT_EQ(placed.size(), 4u);
  EXPECT_EQ(placed[0].first, "ANDREW");
  EXPECT_EQ(placed[1].first, "BOB");
  const auto andrew = plane(25.5f, -80), bob = plane(30, -75);
  EXPECT_NEAR(placed[0].second.second, andrew.second - 0.03 * u, 1e-3);
  EXPECT_NEAR(placed[1].second.first, bob.first, 1e-3);
  const std::vector<Shape> fills = of(GOBJ_FILL);
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
  const std::vector<Shape> lines = of(GOBJ_LINE);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].colour, CLR_get_ind("red"));
  RES_put("color_front", "green:wi=2,orange");
  plot(analysis("HIGHS 1030 40100\nLOWS 990 45090\n"));
  for (const GksCall& c : calls(GOBJ_TCOLR)) EXPECT_TRUE(c.arg == CLR_get_ind("green") || c.arg == CLR_get_ind("orange") || c.arg == CLR_get_ind("black"));
}

// Damaged bulletins are reported and what reads still draws.
TEST_F(Frt, DamagedBulletins) {
  std::string huge = "COLD MDT";
  for (int i = 0; i < 2000; ++i) huge += " 40100";
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
  const struct { std::string text; std::string err; int lines, texts; } cases[] = {
      {analysis("COLD MDT 40100 4O099 39098\nHIGHS 1030 40100\n"),
       "FRT_plot_file: Bad position group in COLD line: 4O099\nFRT_plot_file: COLD line with fewer than two positions\n", 0,
       2},
      {analysis("COLD MDT 40100 35098 380"), "FRT_plot_file: Bad position group in COLD line: 380\n", 1, 0},
      {analysis("HIGHS 1030 40100 1020\nLOWS X 40100\nLOWS 990 4010X\n"),
       "FRT_plot_file: Pressure without a position in HIGHS line: 1020\nFRT_plot_file: Bad group in LOWS line: X\n"
       "FRT_plot_file: Bad group in LOWS line: 4010X\nFRT_plot_file: Pressure without a position in LOWS line: 990\n",
       0, 3},
      {analysis(huge + "\nHIGHS 1030 40100\n"),
       "FRT_plot_file: Lines longer than 500 characters cut in @\nFRT_plot_file: COLD line with fewer than two positions\n", 0,
       2},
      {analysis("COLD MDT 40100\n" + std::string(600, '3') + "\nWARM 40100 40090\n"),
       "FRT_plot_file: Lines longer than 500 characters cut in @\nFRT_plot_file: COLD line with fewer than two positions\n", 1,
       0},
      {junk, "FRT_plot_file: No VALID section in file: @\n", 0, 0},
      {analysis(junk + "\nHIGHS 1030 40100\n"), "*", 0, 2},
      {"", "FRT_plot_file: No VALID section in file: @\n", 0, 0},
      {"VALID", "FRT_plot_file: Invalid date in file:  != 031412 or 141200\nFRT_plot_file: No VALID section in file: @\n", 0,
       0},
  };
  for (const auto& c : cases) {
    std::string err = plot(c.text);
    for (std::size_t at; (at = err.find(path("b.frt"))) != std::string::npos;) err.replace(at, path("b.frt").size(), "@");
    if (c.err != "*") {
      EXPECT_EQ(err, c.err) << c.text.substr(0, 80);
    }
    if (c.lines >= 0) {
      EXPECT_EQ(static_cast<int>(of(GOBJ_LINE).size()), c.lines) << c.text.substr(0, 80);
    }
    if (c.texts >= 0) {
      EXPECT_EQ(static_cast<int>(placed_labels().size()), c.texts) << c.text.substr(0, 80);
    }
  }
  CaptureStderr();
  EXPECT_EQ(FRT_plot_file(path("none.frt").c_str()), 0);
  EXPECT_EQ(GetCapturedStderr(), "FRT_plot_file: Unable to open front file: " + path("none.frt") + "\n");
  EXPECT_EQ(FRT_get_label_up_left(), std::string(""));
}

}  // namespace
