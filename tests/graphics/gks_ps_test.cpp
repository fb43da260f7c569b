#include "graphics/gks_ps.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "config/mess.h"
#include "config/resrc.h"
#include "config/system.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/graphics/gks_pattern.h"
#include "tests/graphics/gks_render.h"
#include "tests/support/capture.h"
#include "tests/support/graphics_cases.h"
#include "tests/support/run.h"

namespace {

class Ps : public WriterTest {
 protected:
  std::string make(const std::string& name, const std::string& options, const std::function<void()>& draw) {
    return WriterTest::make(WS_PS, name, options, draw);
  }
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    out.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return out;
}

GraphicsCase case_named(const std::string& name) {
  for (const GraphicsCase& c : graphics_cases("ps_writer.txt"))
    if (c.name == name) return c;
  ADD_FAILURE() << "no case " << name;
  return {};
}

// The prolog of a landscape letter page, line by line, and the trailer of a blank page,
// whose box is empty.
TEST_F(Ps, PrologAndTrailerOfALandscapePage) {
  const std::string ps = read_file(make("a.ps", "", [] {}));
  const std::vector<std::string> l = lines(ps);
  const GraphicsCase want = case_named("landscape letter prolog");
  const std::vector<std::string> head = want.all("line");
  ASSERT_GT(l.size(), head.size());
  for (std::size_t i = 0; i < head.size(); ++i) {
    if (head[i].back() == '*')
      EXPECT_EQ(l[i].rfind(head[i].substr(0, head[i].size() - 1), 0), 0U) << l[i];
    else
      EXPECT_EQ(l[i], head[i]) << i;
  }
  EXPECT_EQ(ps.substr(ps.size() - want["tail"].size()), want["tail"]);
  float w = 0, h = 0;
  EXPECT_EQ(gopen_ws(1, (dir_ + "/b.ps").c_str(), WS_PS), 0);
  gget_win_size(&w, &h);
  EXPECT_EQ(w, 757.0F);  // a surface of 756 by 576 points
  EXPECT_EQ(h, 577.0F);
}

// An EPS declares the box its drawing lies in and no more: Ghostscript finds every mark
// inside the declared box and the box at most 3 points wider on any side; cropped to it,
// the picture has the box's size. A drawing in one corner of the surface gets a small box.
TEST_F(Ps, EpsBoxHugsTheDrawing) {
  const float corner[] = {0.1F, 0.1F, 0.3F, 0.1F, 0.3F, 0.25F};
  struct {
    const char* options;
    std::function<void()> draw;
    int w, h;  // the box's size, when known (0: smaller than the surface's)
  } const cases[] = {
      {",eps,port", pattern::draw, 756, 576},
      {",eps", pattern::draw, 576, 756},
      {",eps,a4,port,scale=0.5", pattern::draw, 403, 280},
      {",eps,port", [&corner] { gpolyline(3, corner); }, 0, 0},
      {",eps", [&corner] { gpolyline(3, corner); }, 0, 0},
  };
  for (const auto& c : cases) {
    const std::string path = make("p.eps", c.options, c.draw);
    const std::string ps = read_file(path);
    EXPECT_EQ(ps.rfind("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: ", 0), 0U) << c.options;
    EXPECT_EQ(ps.find("saveobj"), std::string::npos);
    const std::vector<int> box = declared_box(ps);
    ASSERT_EQ(box.size(), 4u) << c.options;
    const std::vector<std::vector<int>> ink = ink_boxes(path);
    ASSERT_EQ(ink.size(), 1u) << c.options;
    for (int k = 0; k < 2; ++k) {
      EXPECT_LE(box[k], ink[0][k] + 1) << c.options << " side " << k;
      EXPECT_GE(box[k], ink[0][k] - 3) << c.options << " side " << k;
      EXPECT_GE(box[k + 2], ink[0][k + 2] - 1) << c.options << " side " << k + 2;
      EXPECT_LE(box[k + 2], ink[0][k + 2] + 3) << c.options << " side " << k + 2 << ": " << box[k + 2] << " "
                                                << ink[0][k + 2];
    }
    const Picture pic = render_ps(path, true);
    EXPECT_EQ(pic.width, box[2] - box[0]) << c.options;
    EXPECT_EQ(pic.height, box[3] - box[1]) << c.options;
    if (c.w > 0) {
      // The test page fills the surface but for its top.
      EXPECT_LE(box[2] - box[0], c.w) << c.options;
      EXPECT_LE(box[3] - box[1], c.h) << c.options;
      EXPECT_GE(std::max(box[2] - box[0], box[3] - box[1]), std::max(c.w, c.h) - 3) << c.options;
    } else {
      // 0.2 by 0.15 of the 576-point unit square, and the line's width.
      EXPECT_NEAR(std::max(box[2] - box[0], box[3] - box[1]), 0.2 * 576, 4) << c.options;
      EXPECT_NEAR(std::min(box[2] - box[0], box[3] - box[1]), 0.15 * 576, 4) << c.options;
    }
  }
}

// Pages are marked for viewers and printers: a page count, a %%Page comment before each
// page, and each page stands alone. A file cut at the comments to its prolog, one page and
// its trailer makes Ghostscript draw that page just as in the whole file; the declared box
// holds what Ghostscript finds on every page.
TEST_F(Ps, PagesStandAloneByTheirStructureComments) {
  const std::string path = make("pages.ps", ",color", [] {
    for (int page = 0; page < 3; ++page) {
      const float y = 0.2F + 0.1F * static_cast<float>(page);
      const float pts[4] = {0.2F, y, 0.8F, y};
      gset_fill_int_style(2);
      gset_fill_style_ind(3);  // the same pattern on every page
      const float sq[8] = {0.3F, 0.6F, 0.5F, 0.6F, 0.5F, 0.8F, 0.3F, 0.8F};
      gfill_area(4, sq);
      gpolyline(2, pts);
      if (page < 2) gclear_ws(1, 1);
    }
  });
  const std::string ps = read_file(path);
  EXPECT_EQ(count_of(ps, "\n%%Page: "), 3);
  EXPECT_NE(ps.find("\n%%Trailer\n"), std::string::npos);
  EXPECT_NE(ps.find("\n%%Pages: 3\n%%EOF\n"), std::string::npos);
  const std::vector<Picture> whole = render_ps_pages(path);
  ASSERT_EQ(whole.size(), 3u);
  const std::size_t prolog_end = ps.find("%%Page: 1 1\n");
  const std::size_t trailer = ps.find("%%Trailer\n");
  ASSERT_NE(prolog_end, std::string::npos);
  ASSERT_NE(trailer, std::string::npos);
  for (int page = 1; page <= 3; ++page) {
    const std::size_t b = ps.find("%%Page: " + std::to_string(page) + " " + std::to_string(page) + "\n");
    ASSERT_NE(b, std::string::npos) << page;
    std::size_t e = ps.find("%%Page: " + std::to_string(page + 1) + " ", b);
    if (e == std::string::npos) e = trailer;
    const std::string one = dir_ + "/one" + std::to_string(page) + ".ps";
    write_file(one, ps.substr(0, prolog_end) + ps.substr(b, e - b) + ps.substr(trailer));
    const std::vector<Picture> alone = render_ps_pages(one);
    ASSERT_EQ(alone.size(), 1u) << page;
    EXPECT_EQ(alone[0].rgb, whole[page - 1].rgb) << page;
  }
  const std::vector<int> box = declared_box(ps);
  ASSERT_EQ(box.size(), 4u);
  for (const std::vector<int>& ink : ink_boxes(path)) {
    EXPECT_LE(box[0], ink[0] + 1);
    EXPECT_LE(box[1], ink[1] + 1);
    EXPECT_GE(box[2], ink[2] - 1);
    EXPECT_GE(box[3], ink[3] - 1);
  }
}

// Pixel positions of a page point (NDC) on a rendered page at 72 dpi.
using Map = std::function<std::pair<int, int>(float, float)>;

void check_pattern(const Picture& pic, const Map& at, const std::string& what) {
  auto dark = [&](float x, float y) {
    const auto [c, r] = at(x, y);
    return pic.count_dark(c - 1, r - 1, c + 1, r + 1) > 0;
  };
  auto fraction = [&](const float r[4]) {
    auto [c0, r0] = at(r[0] + 0.01F, r[3] - 0.01F);
    auto [c1, r1] = at(r[1] - 0.01F, r[2] + 0.01F);
    if (c0 > c1) std::swap(c0, c1);
    if (r0 > r1) std::swap(r0, r1);
    return static_cast<double>(pic.count_dark(c0, r0, c1, r1)) / ((c1 - c0 + 1) * (r1 - r0 + 1));
  };
  // The thick line, with white above it; the dashed line with gaps.
  EXPECT_TRUE(dark(0.25F, pattern::line_y)) << what;
  EXPECT_FALSE(dark(0.25F, pattern::line_y + 0.02F)) << what;
  int on = 0, n = 0;
  for (float x = 0.06F; x < 0.44F; x += 0.002F, ++n) {
    const auto [c, r] = at(x, pattern::dash_y);
    on += pic.count_dark(c, r - 1, c, r + 1) > 0 ? 1 : 0;
  }
  EXPECT_GT(on, n / 4) << what;
  EXPECT_LT(on, 9 * n / 10) << what;
  // Solid, banded, barred and cross-hatched fills, and white around them.
  EXPECT_GT(fraction(pattern::solid), 0.98) << what;
  for (const float* r : {pattern::hatch, pattern::vbars, pattern::cross}) {
    EXPECT_GT(fraction(r), 0.2) << what << " " << r[0] << "," << r[2];
    EXPECT_LT(fraction(r), 0.8) << what << " " << r[0] << "," << r[2];
  }
  const float gap[4] = {0.71F, 0.74F, 0.42F, 0.48F};
  EXPECT_EQ(fraction(gap), 0.0) << what;
  // A plus marker is dark at its centre, a circle is not; the circle's ring is.
  EXPECT_TRUE(dark(pattern::marks[0][0], pattern::marks[0][1])) << what;
  EXPECT_FALSE(dark(pattern::marks[2][0], pattern::marks[2][1])) << what;
}

TEST_F(Ps, TestPageRendersWhereItWasDrawn) {
  // A landscape page: turned by 90 degrees, a quarter inch from the edges.
  const std::string page = make("page.ps", "", pattern::draw);
  const Picture pic = render_ps(page, false);
  ASSERT_EQ(pic.width, 612);
  ASSERT_EQ(pic.height, 792);
  check_pattern(pic, [](float x, float y) {
    return std::pair{static_cast<int>(std::lround(594 - y * 756)), static_cast<int>(std::lround(774 - x * 756))};
  }, "landscape");
  // The same page unturned as an EPS.
  const std::string eps = make("page.eps", ",eps,port", pattern::draw);
  const Picture e = render_ps(eps, true);
  // Cropped to the declared box, which hugs the drawing.
  const std::vector<int> crop = declared_box(read_file(eps));
  ASSERT_EQ(crop.size(), 4u);
  const Map at = [&crop](float x, float y) {
    return std::pair{static_cast<int>(std::lround(x * 756)) - crop[0], crop[3] - static_cast<int>(std::lround(y * 756))};
  };
  check_pattern(e, at, "eps");
  // Text: "HT" at base alignment, 0.06 high: its capitals stand on the baseline and reach
  // the height.
  const auto [c0, r0] = at(pattern::text_x, pattern::text_y);
  const std::vector<int> box = e.dark_box(c0 - 10, r0 - 60, c0 + 80, r0 + 10);
  const int height = static_cast<int>(std::lround(pattern::text_h * 756));
  EXPECT_NEAR(box[0], c0, 2);
  EXPECT_NEAR(box[3], r0, 2);
  EXPECT_NEAR(box[3] - box[1], height, 2);
}

// The drawings of the output cases, by name.
void draw_named(const std::string& name) {
  const float l[4] = {0.1F, 0.1F, 0.2F, 0.2F};
  if (name == "types") {
    gset_linetype(2);
    gset_linetype(2);
    gpolyline(2, l);
    gpolyline(2, l);
    gset_linetype(3);
    gpolyline(2, l);
  } else if (name == "fills") {
    const float white[3] = {1, 1, 1}, red[3] = {1, 0, 0};
    gset_colr_rep(1, 40, white);
    gset_colr_rep(1, 41, red);
    const float triangle[6] = {0.1F, 0.1F, 0.2F, 0.1F, 0.2F, 0.2F};
    for (int c : {40, 41}) {
      gset_fill_colr_ind(c);
      gfill_area(3, triangle);
    }
  } else if (name == "print") {
    for (int c : {501, 502, 506, 503}) {
      gset_line_colr_ind(c);
      gset_linewidth(1.5F);
      gpolyline(2, l);
    }
  } else if (name == "image") {
    // Without a workstation window of the page's shape the unit square is 576 points.
    const float vp[4] = {0, 3.0F / 576, 0, 1.5F / 576};
    gset_vp(1, vp);
    gsel_norm_tran(1);
    const unsigned char px[2] = {1, 2};
    EXPECT_EQ(gps_image(2, 1, px, 1, 0), 0);
  }
}

TEST_F(Ps, OutputCases) {
  for (const GraphicsCase& c : graphics_cases("ps_writer.txt")) {
    if (!c.has("draw")) continue;
    SCOPED_TRACE(c.name);
    if (c.has("env")) setenv("zavps_param", c["env"].c_str(), 1);
    const std::string ps = read_file(make("o.ps", c["options"], [&c] { draw_named(c["draw"]); }));
    unsetenv("zavps_param");
    for (const std::string& text : c.all("has")) EXPECT_NE(ps.find(text), std::string::npos) << text;
    for (const std::string& text : c.all("once")) EXPECT_EQ(count_of(ps, text), 1) << text;
  }
}

TEST_F(Ps, AppendingAddsAPlotWithoutANewProlog) {
  const std::string path = make("p.ps", "", [] {});
  const std::string first = read_file(path);
  EXPECT_EQ(gopen_ws(1, ("+" + path).c_str(), WS_PS), 0);
  gclose_ws(1);
  const std::string both = read_file(path);
  ASSERT_EQ(both.rfind(first, 0), 0U);
  const std::string added = both.substr(first.size());
  EXPECT_EQ(added.rfind("0 setgray\n1 dot lw\n[] 0 setdash\n%%ZAV Plot: X11_Graph\ninitclip\n", 0), 0U) << added;
  EXPECT_EQ(added.substr(added.size() - 14), "%%End of plot\n");
  EXPECT_EQ(added.find("%!PS"), std::string::npos);
}

TEST_F(Ps, PipesToAPrintCommand) {
  const std::string out = dir_ + "/piped.ps";
  EXPECT_EQ(gopen_ws(1, ("|cat > " + out).c_str(), WS_PS), 0);
  pattern::draw();
  EXPECT_EQ(gclose_ws(1), 0);
  EXPECT_EQ(read_file(out).rfind("%!PS-Adobe-3.0\n", 0), 0U);
  render_ps(out, false);
}

// A full disk, a failing print command and a path through a file are reported; nothing
// half-written stays and no success is claimed.
TEST_F(Ps, OutputThatCannotBeWrittenIsReported) {
  write_file(dir_ + "/plain", "x");
  const std::string through = dir_ + "/plain/x.ps";
  const struct { std::string name; int open; std::string err; } t[] = {
      {"/dev/full", 0, "gps_close_file: unable to write /dev/full: No space left on device\n"},
      {"|cat > /dev/null; exit 3", 0,
       "gps_close_file: the output to the command cat > /dev/null; exit 3 was not delivered: the command ended "
       "with status 3\n"},
      {through, -1, "gps_open_file: " + through + ": Not a directory\ngopen_ws: unable to open postscript file\n"},
  };
  for (const auto& c : t) {
    MESS_reset();
    CaptureStdout();
    CaptureStderr();
    ASSERT_EQ(gopen_ws(1, c.name.c_str(), WS_PS), c.open);
    if (c.open == 0) {
      pattern::draw();
      EXPECT_EQ(gclose_ws(1), -1);
      EXPECT_EQ(ZAV_status(), ZAV_STATUS_OUTPUT);
    }
    EXPECT_EQ(GetCapturedStderr(), c.err);
    EXPECT_EQ(GetCapturedStdout().find("Created"), std::string::npos);
  }
  EXPECT_FALSE(gchk_graphics());
  // Nothing was made behind the refused name.
  struct stat st {};
  EXPECT_NE(stat(through.c_str(), &st), 0);
}

TEST_F(Ps, GeometryPlacesThePlot) {
  setenv("PSGEOMETRY", "P2x2+1+0", 1);
  EXPECT_EQ(gopen_ws(1, (dir_ + "/g.ps").c_str(), WS_PS), 0);
  float w = 0, h = 0, x = 0, y = 0;
  gget_win_size(&w, &h);
  gget_win_offset(&x, &y);
  EXPECT_EQ((std::vector<float>{w, h, x, y}), (std::vector<float>{379, 289, 378, 288}));  // upper right quarter
  gclose_ws(1);
  setenv("PSGEOMETRY", "500x400+100+50", 1);
  EXPECT_EQ(gopen_ws(1, (dir_ + "/g.ps").c_str(), WS_PS), 0);
  gget_win_size(&w, &h);
  gget_win_offset(&x, &y);
  EXPECT_EQ((std::vector<float>{w, h, x, y}), (std::vector<float>{361, 289, 72, 36}));
  gclose_ws(1);
}

TEST_F(Ps, PageSizes) {
  for (const std::string& row : case_named("page sizes").all("size")) {
    char name[32];
    float w = 0, h = 0, want_w = 0, want_h = 0;
    int ok = 0;
    ASSERT_EQ(std::sscanf(row.c_str(), "%31s %f %f %d", name, &want_w, &want_h, &ok), 4) << row;
    EXPECT_EQ(gps_page_size(name, false, &w, &h), ok) << name;
    if (ok != 0) {
      EXPECT_EQ((std::vector{w, h}), (std::vector{want_w, want_h})) << name;
    }
  }
  float w = 0, h = 0;
  EXPECT_EQ(gps_page_size("roll", true, &w, &h), 1);
}

// The fast number formatting writes what printf writes.
TEST(PsNumbers, FixedFormattingIsPrintfs) {
  const double values[] = {0,       -0.0,     0.004,    0.005,   0.015,   0.125,    1.005,     2.675,  -0.001,
                           -1.5,    99.995,   123.456,  756.1,   -0.1,    1e-9,     99999.995, 1e15,   -123456.789,
                           0.3333,  2.5,      3.5,      0.45,    1.0e6,   576.10001};
  for (double v : values)
    for (int d : {0, 1, 2, 3, 6}) {
      char a[64], b[64];
      std::snprintf(a, sizeof a, "%.*f", d, v);
      const int n = gdev_format_fixed(b, v, d);
      EXPECT_EQ(std::string(b, static_cast<std::size_t>(n)), a) << v << " " << d;
    }
  // A sweep of float coordinates as the writers see them.
  for (int i = -200000; i <= 200000; i += 7) {
    const float v = static_cast<float>(i) / 137.0F;
    char a[64], b[64];
    std::snprintf(a, sizeof a, "%.2f", v);
    const int n = gdev_format_fixed(b, v, 2);
    ASSERT_EQ(std::string(b, static_cast<std::size_t>(n)), a) << v;
  }
  // Exact ties (eighths of a point and finer) round to even, as printf's do.
  for (int i = -40000; i <= 40000; i += 3)
    for (int d : {0, 1, 2, 3}) {
      const double v = i / 256.0;
      char a[64], b[64];
      std::snprintf(a, sizeof a, "%.*f", d, v);
      const int n = gdev_format_fixed(b, v, d);
      ASSERT_EQ(std::string(b, static_cast<std::size_t>(n)), a) << v << " " << d;
    }
}

// Clearing the workstation after a drawing shows the page and begins the next one placed
// and clipped like the first; clearing a blank page adds none. Ghostscript shows each page
// with its own drawing in the same place.
TEST_F(Ps, ClearingAfterADrawingBeginsANewPage) {
  const std::string path = make("pages.ps", "", [] {
    gclear_ws(1, 1);  // nothing drawn yet: still the first page
    EXPECT_EQ(gps_get_pages(), 1);
    for (int page = 0; page < 3; ++page) {
      // Page k: a horizontal line at height 0.2 + 0.1 k, from x 0.2 to 0.8.
      const float y = 0.2F + 0.1F * static_cast<float>(page);
      const float pts[4] = {0.2F, y, 0.8F, y};
      gpolyline(2, pts);
      gclear_ws(1, 1);
    }
    EXPECT_EQ(gps_get_pages(), 4);
  });
  const std::string ps = read_file(path);
  // Three pages with a line, a fourth blank one begun by the last clear; each page is
  // placed and clipped again.
  EXPECT_EQ(count_of(ps, "\nshowpage\n"), 4);
  EXPECT_EQ(count_of(ps, "\n90 rotate\n"), 4);
  EXPECT_GE(count_of(ps, "\ninitclip\n"), 4);
  EXPECT_NE(ps.find("%%End of page\nsaveobj restore\nshowpage\n%%PageTrailer\n%%Page: 2 2\n%%BeginPageSetup\n"
                    "/saveobj save def\n90 rotate\n.25 inch -8.25 inch translate\n0 setgray\n"),
            std::string::npos);
  const std::vector<Picture> pages = render_ps_pages(path);
  ASSERT_EQ(pages.size(), 4u);
  for (int page = 0; page < 3; ++page) {
    const Picture& p = pages[page];
    // The plot lies on its side: NDC y is the column from the right, x the row from the
    // bottom; the unit square of NDC is 576 points (the page's height) on a side.
    const std::vector<int> box = p.dark_box(0, 0, p.width - 1, p.height - 1);
    const float y = 0.2F + 0.1F * static_cast<float>(page);
    EXPECT_NEAR(box[0], 594.0F - 576.0F * y, 2.0F) << page;
    EXPECT_NEAR(box[1], 774.0F - 576.0F * 0.8F, 2.0F) << page;
    EXPECT_NEAR(box[3], 774.0F - 576.0F * 0.2F, 2.0F) << page;
  }
}

// An EPS holds one page: a second plot is drawn over the first, and that is said once.
TEST_F(Ps, EpsKeepsOnePage) {
  MESS_set(0, MESS_WARN);
  CaptureStderr();
  const std::string path = make("one.eps", ",eps", [] {
    for (int k = 0; k < 3; ++k) {
      const float pts[4] = {0.2F, 0.2F, 0.8F, 0.2F};
      gpolyline(2, pts);
      gclear_ws(1, 1);
    }
    EXPECT_EQ(gps_get_pages(), 1);
  });
  EXPECT_EQ(GetCapturedStderr(), "gclear_ws: an EPS file holds one page: the next plot is drawn over this one\n");
  const std::string ps = read_file(path);
  EXPECT_EQ(ps.find("showpage"), ps.rfind("showpage"));
}

}  // namespace
