// Weather symbols and the sky-cover circle: the symbol file (the bundled one and damaged
// ones), prefix matching, placement by the text alignment, a rendered sheet of every bundled
// symbol in its box, and the cover codes.
#include "plot/wx_symb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/graphics/gks_render.h"
#include "tests/support/capture.h"
#include "tests/support/plot_table.h"
#include "tests/support/run.h"

namespace {

const std::string kData = STACONT_DATA_DIR;

// Points of the drawn lines and areas in world coordinates of transformation 1 (NDC here).
struct Drawn {
  int lines = 0, fills = 0;
  float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
};
Drawn drawn() {
  Drawn d;
  for (const GksCall& c : gdev_calls()) {
    if (c.code != GOBJ_LINE && c.code != GOBJ_FILL) continue;
    (c.code == GOBJ_LINE ? d.lines : d.fills)++;
    for (std::size_t i = 0; i + 1 < c.values.size(); i += 2) {
      const float x = xdev_W(c.values[i]), y = ydev_W(c.values[i + 1]);
      d.x0 = std::min(d.x0, x), d.x1 = std::max(d.x1, x), d.y0 = std::min(d.y0, y), d.y1 = std::max(d.y1, y);
    }
  }
  return d;
}

class WxSymb : public GksTest {
 protected:
  void SetUp() override {
    GksTest::SetUp();
    open(WS_PS);
    const float page[4] = {0, 1, 0, 0.74f};
    gset_win(1, page);
    gset_vp(1, page);
    gsel_norm_tran(1);
    gset_text_align(0, 0);
    dir_ = make_temp_dir("wx_symb");
    CaptureStderr();
    WX_symb_file((kData + "/wx.smb").c_str());
    GetCapturedStderr();
  }
  std::string dir_;
};

// The first symbol whose name begins the code (case ignored) is drawn; blank and unknown
// codes draw nothing. Alignment moves the symbol's box.
TEST_F(WxSymb, MatchingAndAlignment) {
  const struct { const char* code; int drawn; } codes[] = {
      {"TRW+A", 1}, {"trw-", 1}, {"R-", 1}, {"L-F", 1}, {"ZR", 1}, {"S+", 1}, {"@+", 1}, {"@", 1},
      {"", 0},      {" ", 0},    {"   ", 0}, {"Q", 0},   {"-", 0}};
  for (const auto& c : codes) EXPECT_EQ(WX_symb(c.code, 0.5f, 0.5f, 0.1f), c.drawn) << c.code;
  EXPECT_EQ(WX_symb(nullptr, 0.5f, 0.5f, 0.1f), 0);
  const struct { int h, v; float dx, dy; } aligns[] = {{0, 0, 0, 0}, {1, 5, 0, 0}, {2, 3, -0.05f, -0.05f},
                                                       {3, 1, -0.1f, -0.1f}, {3, 2, -0.1f, -0.1f}, {2, 4, -0.05f, 0}};
  for (const auto& a : aligns) {
    gset_text_align(a.h, a.v);
    gdev_clear_calls();
    WX_symb("F", 0.5f, 0.5f, 0.1f);  // fog: three lines from x 0.1 to 0.9, y 0.25 to 0.75
    const Drawn d = drawn();
    EXPECT_NEAR(d.x0, 0.51f + a.dx, 1e-4f) << a.h << a.v;
    EXPECT_NEAR(d.y0, 0.525f + a.dy, 1e-4f) << a.h << a.v;
  }
}

// A damaged file is reported entry by entry; what reads still draws, and a missing file
// draws nothing. tests/data/plot/symbols/damaged.smb: a comment, a good symbol, a bad point,
// a point outside the box, a long name, 25 points in a stroke, "$" glued to the stroke,
// bytes of no text and a symbol without an end.
TEST_F(WxSymb, DamagedFilesAreReported) {
  const std::string path = STACONT_SOURCE_DIR "/tests/data/plot/symbols/damaged.smb";
  CaptureStderr();
  EXPECT_EQ(WX_symb_file(path.c_str()), 7);
  const std::string err = GetCapturedStderr();
  for (const std::string& m : {"WX_symb_file: Bad point in symbol BADPT of " + path + ": 0.5;0.5\n",
                               "WX_symb_file: Point outside the symbol box in symbol FAR of " + path + ": 5,5\n",
                               "WX_symb_file: Symbol name longer than 14 characters in " + path + ": ANAMELONGERTHAN14\n",
                               "WX_symb_file: More than 20 points in a stroke of symbol MANY in " + path + "\n",
                               "WX_symb_file: Symbol OPEN in " + path + " has no end ($)\n"})
    EXPECT_NE(err.find(m), std::string::npos) << m << "\n" << err;
  const struct { const char* code; int lines, fills; } draws[] = {
      {"GOOD", 1, 1}, {"BADPT", 1, 0}, {"FAR", 1, 0}, {"MANY", 1, 0}, {"GLUED", 1, 0}, {"JUNK", 1, 0}, {"OPEN", 1, 0}};
  for (const auto& c : draws) {
    gdev_clear_calls();
    EXPECT_EQ(WX_symb(c.code, 0.1f, 0.1f, 0.1f), 1) << c.code;
    const Drawn d = drawn();
    EXPECT_EQ(d.lines, c.lines) << c.code;
    EXPECT_EQ(d.fills, c.fills) << c.code;
  }
  EXPECT_EQ(WX_symb("ANAMELONGERTHAN14", 0.1f, 0.1f, 0.1f), 0);

  const std::string flood = STACONT_SOURCE_DIR "/tests/data/plot/symbols/flood.smb";  // 120 symbols
  CaptureStderr();
  EXPECT_EQ(WX_symb_file(flood.c_str()), WX_SYMB_MAX);
  EXPECT_EQ(GetCapturedStderr(), "WX_symb_file: More than 100 symbols in " + flood + "; the rest are left out\n");

  CaptureStderr();
  EXPECT_EQ(WX_symb_file((dir_ + "/none.smb").c_str()), 0);
  EXPECT_EQ(GetCapturedStderr(), "WX_symb_file: Unable to open file: " + dir_ + "/none.smb\n");
  gdev_clear_calls();
  EXPECT_EQ(WX_symb("R", 0.1f, 0.1f, 0.1f), 0);
  EXPECT_TRUE(gdev_calls().empty());
}

// Sky cover: the fills and lines of each code, all inside the circle.
TEST_F(WxSymb, SkyCoverCircle) {
  const float cx = 0.5f, cy = 0.4f, r = 0.1f;
  const std::vector<TableRow> cases = plot_table("sky_cover.tsv");
  ASSERT_EQ(cases.size(), 14u);
  for (const TableRow& row : cases) {
    const char code = row[0].empty() ? '\0' : row[0][0];
    SCOPED_TRACE(code);
    gdev_clear_calls();
    EXPECT_EQ(WX_cloud(code, cx, cy, r), 1);
    int lines = 0, fills = 0;
    float fx0 = 1, fx1 = 0, fy0 = 1, fy1 = 0;
    for (const GksCall& call : gdev_calls()) {
      if (call.code == GOBJ_LINE) ++lines;
      if (call.code != GOBJ_FILL) continue;
      ++fills;
      for (std::size_t i = 0; i + 1 < call.values.size(); i += 2) {
        const float x = xdev_W(call.values[i]), y = ydev_W(call.values[i + 1]);
        fx0 = std::min(fx0, x), fx1 = std::max(fx1, x), fy0 = std::min(fy0, y), fy1 = std::max(fy1, y);
      }
    }
    EXPECT_EQ(lines, std::stoi(row[1]));
    EXPECT_EQ(fills, std::stoi(row[2]));
    if (fills == 0) continue;
    const float box[4] = {fx0, fx1, fy0, fy1};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(box[i], std::stof(row[static_cast<std::size_t>(3 + i)]), 1e-4f) << i;
  }
  // "7" leaves a vertical band through the centre open.
  gdev_clear_calls();
  WX_cloud('7', cx, cy, r);
  for (const GksCall& call : calls(GOBJ_FILL)) {
    bool right = false, left = false;
    for (std::size_t i = 0; i + 1 < call.values.size(); i += 2) {
      const float x = xdev_W(call.values[i]) - cx;
      right |= x > 1e-4f, left |= x < -1e-4f;
    }
    EXPECT_NE(right, left);
  }
}

// The sheet of every bundled symbol, rendered: each cell shows its symbol, and nothing lies
// outside the symbols' boxes but their names.
using WxSheet = WriterTest;

TEST_F(WxSheet, RenderedSheetShowsEverySymbolInItsBox) {
  const std::string path = dir_ + "/wx_sheet.eps";
  ASSERT_EQ(gopen_ws(1, (path + ",eps,port").c_str(), WS_PS), 0);
  float xvp = 1, yvp = 1;
  ginq_maxview(&xvp, &yvp);
  const float ws[4] = {0, xvp, 0, yvp};
  gset_ws_win(1, ws);
  gset_win(1, ws);
  gset_vp(1, ws);
  gsel_norm_tran(1);
  gset_line_colr_ind(500);
  gset_text_colr_ind(500);
  gset_linewidth(1.0f);
  gset_text_align(0, 0);
  CaptureStderr();
  WX_symb_file((kData + "/wx.smb").c_str());
  GetCapturedStderr();
  const int n = WX_symb_count(), cols = 9;
  const int rows = (n + cols - 1) / cols;
  const float cell = std::min(xvp / cols, yvp / rows), size = 0.55f * cell;
  struct Box { float x, y; };
  std::vector<Box> boxes;
  for (int i = 0; i < n; ++i) {
    const float x = cell * (i % cols) + 0.225f * cell, y = yvp - cell * (i / cols + 1) + 0.3f * cell;
    boxes.push_back({x, y});
    WX_symb(WX_symb_name(i), x, y, size);
    gset_char_ht(0.1f * cell);
    gset_text_align(2, 0);
    const float at[2] = {x + size / 2, y - 0.2f * cell};
    gtext(at, WX_symb_name(i));
    gset_text_align(0, 0);
  }
  ASSERT_EQ(gclose_ws(1), 0);
  const int dpi = 150;
  const Picture pic = render_ps(path, true, dpi);
  ASSERT_GT(pic.width, 0);
  // The README shows this sheet; tools/gallery.sh asks for a copy here.
  if (const char* keep = std::getenv("STACONT_WX_SHEET"); keep != nullptr && *keep != '\0')
    std::filesystem::copy_file(path + ".png", keep, std::filesystem::copy_options::overwrite_existing);
  // The picture is cut to the box the EPS declares, which hugs the drawing on the surface
  // of 756 by 576 points.
  const std::vector<int> box = declared_box(read_file(path));
  ASSERT_EQ(box.size(), 4u);
  const float k = dpi / 72.0f;
  auto px = [&](float x) { return static_cast<int>(std::lround((x / xvp * 756.0f - box[0]) * k)); };
  auto py = [&](float y) { return static_cast<int>(std::lround((box[3] - y / yvp * 576.0f) * k)); };
  std::vector<char> inside(static_cast<std::size_t>(pic.width) * pic.height, 0);
  const int margin = 3;
  for (int i = 0; i < n; ++i) {
    const Box& b = boxes[static_cast<std::size_t>(i)];
    const int x0 = px(b.x) - margin, x1 = px(b.x + size) + margin, y0 = py(b.y + size) - margin, y1 = py(b.y) + margin;
    EXPECT_GT(pic.count_dark(x0, y0, x1, y1), 20) << WX_symb_name(i);
    // The name's band below the box.
    const int t0 = py(b.y - 0.05f * cell), t1 = py(b.y - 0.25f * cell);
    for (int y = std::max(0, y0); y <= std::min(pic.height - 1, t1); ++y)
      for (int x = std::max(0, x0 - 20); x <= std::min(pic.width - 1, x1 + 20); ++x)
        if ((x >= x0 && x <= x1 && y <= y1) || y >= t0) inside[static_cast<std::size_t>(y) * pic.width + x] = 1;
  }
  int stray = 0;
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x)
      if (pic.dark(x, y) && !inside[static_cast<std::size_t>(y) * pic.width + x]) ++stray;
  EXPECT_EQ(stray, 0);
}

}  // namespace
