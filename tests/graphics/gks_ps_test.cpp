#include "graphics/gks_ps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/graphics/gks_fixture.h"
#include "tests/graphics/gks_pattern.h"
#include "tests/graphics/gks_render.h"
#include "tests/support/gwin_calls.h"
#include "tests/support/run.h"

namespace {

using Ps = WriterTest;

// The cases of tests/data/graphics/writers.txt; the values of a field of one, in order, and
// its first.
std::vector<Script> writers() { return scripts_of("graphics/writers.txt"); }
std::vector<std::string> all(const Script& c, const std::string& field) {
  std::vector<std::string> out;
  for (const auto& [n, w] : c.steps)
    if (w[0] == field) out.push_back(w.size() > 1 ? w[1] : "");
  return out;
}
std::string one(const Script& c, const std::string& field) { return all(c, field).empty() ? "" : all(c, field)[0]; }
Script case_named(const std::string& name) {
  for (const Script& c : writers())
    if (c.name == name) return c;
  ADD_FAILURE() << "no case " << name;
  return {};
}

// The drawings of the cases, by name.
void draw_named(const std::string& name) {
  const float l[4] = {0.1F, 0.1F, 0.2F, 0.2F};
  const float corner[] = {0.1F, 0.1F, 0.3F, 0.1F, 0.3F, 0.25F};
  if (name == "page") pattern::draw();
  if (name == "corner") gpolyline(3, corner);
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
    for (int c : {40, 41}) {
      gset_fill_colr_ind(c);
      gfill_area(3, corner);
    }
  } else if (name == "print") {
    for (int c : {501, 502, 506, 503}) {
      gset_line_colr_ind(c);
      gset_linewidth(1.5F);
      gpolyline(2, l);
    }
  } else if (name == "hpgl") {
    const float flat[4] = {0.1F, 0.1F, 0.2F, 0.1F};
    gset_linetype(3);
    gset_line_colr_ind(507);
    gpolyline(2, flat);
    std::vector<float> many;
    for (int i = 0; i < 12; ++i) many.push_back(0.01F * i), many.push_back(0.5F);
    gset_linetype(1);
    gset_line_colr_ind(1);
    gpolyline(12, many.data());
    const float white[3] = {1, 1, 1};
    gset_colr_rep(1, 40, white);
    gset_fill_colr_ind(40);
    const float p[6] = {0.1F, 0.1F, 0.2F, 0.1F, 0.2F, 0.2F};
    gfill_area(3, p);
  } else if (name == "image") {
    // Without a workstation window of the page's shape the unit square is 576 points.
    const float vp[4] = {0, 3.0F / 576, 0, 1.5F / 576};
    gset_vp(1, vp);
    gsel_norm_tran(1);
    const unsigned char px[2] = {1, 2};
    EXPECT_EQ(gps_image(2, 1, px, 1, 0), 0);
  }
}

// The prolog of a landscape letter page, line by line, and the trailer of a blank page,
// whose box is empty; appending adds a plot without a new prolog.
TEST_F(Ps, PrologTrailerAndAppending) {
  const std::string path = make(WS_PS, "a.ps", "", [] {});
  const std::string ps = read_file(path);
  const Script want = case_named("landscape letter prolog");
  std::size_t at = 0;
  for (const std::string& line : all(want, "line")) {
    const std::size_t nl = ps.find('\n', at);
    ASSERT_NE(nl, std::string::npos);
    if (line.back() == '*')
      EXPECT_EQ(ps.substr(at, line.size() - 1), line.substr(0, line.size() - 1));
    else
      EXPECT_EQ(ps.substr(at, nl - at), line);
    at = nl + 1;
  }
  EXPECT_EQ(ps.substr(ps.size() - one(want, "tail").size()), one(want, "tail"));
  EXPECT_EQ(gopen_ws(1, ("+" + path).c_str(), WS_PS), 0);
  gclose_ws(1);
  const std::string both = read_file(path);
  ASSERT_EQ(both.rfind(ps, 0), 0U);
  const std::string added = both.substr(ps.size());
  EXPECT_EQ(added.rfind("0 setgray\n1 dot lw\n[] 0 setdash\n%%ZAV Plot: X11_Graph\ninitclip\n", 0), 0U) << added;
  EXPECT_EQ(added.substr(added.size() - 14), "%%End of plot\n");
  EXPECT_EQ(added.find("%!PS"), std::string::npos);
}

// An EPS declares the box its drawing lies in and no more: Ghostscript finds every mark
// inside the declared box and the box at most 3 points wider on any side; cropped to it,
// the picture has the box's size.
TEST_F(Ps, EpsBoxHugsTheDrawing) {
  for (const std::string& row : all(case_named("eps boxes"), "eps")) {
    char options[40], drawing[16];
    int w = 0, h = 0;
    ASSERT_EQ(std::sscanf(row.c_str(), "%39s %15s %d %d", options, drawing, &w, &h), 4) << row;
    SCOPED_TRACE(row);
    const std::string path = make(WS_PS, "p.eps", options, [&drawing] { draw_named(drawing); });
    const std::string ps = read_file(path);
    EXPECT_EQ(ps.rfind("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: ", 0), 0U);
    EXPECT_EQ(ps.find("saveobj"), std::string::npos);
    const std::vector<int> box = declared_box(ps);
    ASSERT_EQ(box.size(), 4u);
    const std::vector<std::vector<int>> ink = ink_boxes(path);
    ASSERT_EQ(ink.size(), 1u);
    for (int k = 0; k < 2; ++k) {
      EXPECT_LE(box[k], ink[0][k] + 1) << "side " << k;
      EXPECT_GE(box[k], ink[0][k] - 3) << "side " << k;
      EXPECT_GE(box[k + 2], ink[0][k + 2] - 1) << "side " << k + 2;
      EXPECT_LE(box[k + 2], ink[0][k + 2] + 3) << "side " << k + 2;
    }
    const Picture pic = render_ps(path, true);
    EXPECT_EQ(pic.width, box[2] - box[0]);
    EXPECT_EQ(pic.height, box[3] - box[1]);
    const int longer = std::max(box[2] - box[0], box[3] - box[1]), shorter = std::min(box[2] - box[0], box[3] - box[1]);
    if (w > 0) {
      EXPECT_LE(box[2] - box[0], w);
      EXPECT_LE(box[3] - box[1], h);
      EXPECT_GE(longer, std::max(w, h) - 3);
    } else {
      EXPECT_NEAR(longer, 0.2 * 576, 4);  // and the line's width
      EXPECT_NEAR(shorter, 0.15 * 576, 4);
    }
  }
}

// Clearing after a drawing shows the page and begins the next one, placed and clipped like
// the first; clearing a blank page adds none. Pages are marked for viewers and printers (a
// page count, a %%Page comment before each) and each stands alone: a file cut at the
// comments to its prolog, one page and its trailer makes Ghostscript draw that page just
// as in the whole file, each with its own drawing in the same place.
TEST_F(Ps, PagesStandAloneByTheirStructureComments) {
  const std::string path = make(WS_PS, "pages.ps", ",color", [] {
    gclear_ws(1, 1);  // nothing drawn yet: still the first page
    EXPECT_EQ(gps_get_pages(), 1);
    for (int page = 0; page < 3; ++page) {
      // Page k: a horizontal line at height 0.2 + 0.1 k from x 0.2 to 0.8, and the same
      // pattern fill on every page.
      const float y = 0.2F + 0.1F * static_cast<float>(page);
      const float pts[4] = {0.2F, y, 0.8F, y};
      gset_fill_int_style(2);
      gset_fill_style_ind(3);
      const float sq[8] = {0.3F, 0.6F, 0.5F, 0.6F, 0.5F, 0.8F, 0.3F, 0.8F};
      gfill_area(4, sq);
      gpolyline(2, pts);
      gclear_ws(1, 1);
    }
    EXPECT_EQ(gps_get_pages(), 4);
  });
  const std::string ps = read_file(path);
  EXPECT_EQ(count_of(ps, "\n%%Page: "), 4);
  EXPECT_EQ(count_of(ps, "\nshowpage\n"), 4);
  EXPECT_EQ(count_of(ps, "\n90 rotate\n"), 4);
  EXPECT_GE(count_of(ps, "\ninitclip\n"), 4);
  EXPECT_NE(ps.find("%%End of page\nsaveobj restore\nshowpage\n%%PageTrailer\n%%Page: 2 2\n%%BeginPageSetup\n"
                    "/saveobj save def\n90 rotate\n.25 inch -8.25 inch translate\n0 0 0 setrgbcolor\n"),
            std::string::npos);
  EXPECT_NE(ps.find("\n%%Trailer\n"), std::string::npos);
  EXPECT_NE(ps.find("\n%%Pages: 4\n%%EOF\n"), std::string::npos);
  const std::vector<Picture> whole = render_ps_pages(path);
  ASSERT_EQ(whole.size(), 4u);
  const std::size_t prolog_end = ps.find("%%Page: 1 1\n"), trailer = ps.find("%%Trailer\n");
  ASSERT_NE(prolog_end, std::string::npos);
  ASSERT_NE(trailer, std::string::npos);
  for (int page = 1; page <= 3; ++page) {
    const std::size_t b = ps.find("%%Page: " + std::to_string(page) + " " + std::to_string(page) + "\n");
    ASSERT_NE(b, std::string::npos) << page;
    const std::size_t e = ps.find("%%Page: " + std::to_string(page + 1) + " ", b);
    const std::string one = dir_ + "/one" + std::to_string(page) + ".ps";
    write_file(one, ps.substr(0, prolog_end) + ps.substr(b, e - b) + ps.substr(trailer));
    const std::vector<Picture> alone = render_ps_pages(one);
    ASSERT_EQ(alone.size(), 1u) << page;
    EXPECT_EQ(alone[0].rgb, whole[page - 1].rgb) << page;
    // The plot lies on its side: NDC y is the column from the right, x the row from the
    // bottom; the unit square of NDC is 576 points (the page's height) on a side. The
    // line lies right of column 300, the fill left of it.
    const Picture& p = whole[page - 1];
    const std::vector<int> box = p.dark_box(300, 0, p.width - 1, p.height - 1);
    const float y = 0.1F + 0.1F * static_cast<float>(page);
    EXPECT_NEAR(box[0], 594.0F - 576.0F * y, 2.0F) << page;
    EXPECT_NEAR(box[1], 774.0F - 576.0F * 0.8F, 2.0F) << page;
    EXPECT_NEAR(box[3], 774.0F - 576.0F * 0.2F, 2.0F) << page;
  }
  const std::vector<int> box = declared_box(ps);
  ASSERT_EQ(box.size(), 4u);
  for (const std::vector<int>& ink : ink_boxes(path)) {
    if (ink[2] <= ink[0]) continue;  // the blank last page
    EXPECT_LE(box[0], ink[0] + 1);
    EXPECT_LE(box[1], ink[1] + 1);
    EXPECT_GE(box[2], ink[2] - 1);
    EXPECT_GE(box[3], ink[3] - 1);
  }
}

TEST_F(Ps, TestPageRendersWhereItWasDrawn) {
  // A landscape page: turned by 90 degrees, a quarter inch from the edges.
  const Picture pic = render_ps(make(WS_PS, "page.ps", "", pattern::draw), false);
  ASSERT_EQ(pic.width, 612);
  ASSERT_EQ(pic.height, 792);
  pattern::check_page(pic, [](float x, float y) {
    return std::pair{static_cast<int>(std::lround(594 - y * 756)), static_cast<int>(std::lround(774 - x * 756))};
  }, "landscape");
  // The same page unturned as an EPS, cropped to the declared box, which hugs the drawing.
  const std::string eps = make(WS_PS, "page.eps", ",eps,port", pattern::draw);
  const Picture e = render_ps(eps, true);
  const std::vector<int> crop = declared_box(read_file(eps));
  ASSERT_EQ(crop.size(), 4u);
  const pattern::Place at = [&crop](float x, float y) {
    return std::pair{static_cast<int>(std::lround(x * 756)) - crop[0], crop[3] - static_cast<int>(std::lround(y * 756))};
  };
  pattern::check_page(e, at, "eps");
  pattern::check_text(e, at, "eps");
}

TEST_F(Ps, OutputCases) {
  for (const Script& c : writers()) {
    if (one(c, "draw").empty()) continue;
    SCOPED_TRACE(c.name);
    if (!one(c, "env").empty()) setenv("zavps_param", one(c, "env").c_str(), 1);
    const int type = one(c, "type") == "hpgl" ? WS_HPGL : WS_PS;
    const std::string ps = read_file(make(type, "o", one(c, "options"), [&c] { draw_named(one(c, "draw")); }));
    unsetenv("zavps_param");
    for (const std::string& text : all(c, "has")) EXPECT_NE(ps.find(text), std::string::npos) << text;
    for (const std::string& text : all(c, "once")) EXPECT_EQ(count_of(ps, text), 1) << text;
    for (const std::string& text : all(c, "starts")) EXPECT_EQ(ps.rfind(text, 0), 0U) << ps;
    for (const std::string& text : all(c, "ends")) EXPECT_TRUE(ps.size() >= text.size() && ps.substr(ps.size() - text.size()) == text) << ps;
  }
}

// The fast number formatting writes what printf writes: chosen values, a sweep of float
// coordinates as the writers see them, and exact ties (eighths of a point and finer),
// which round to even as printf's do.
TEST(PsNumbers, FixedFormattingIsPrintfs) {
  const auto same = [](double v, int d) {
    char a[64], b[64];
    std::snprintf(a, sizeof a, "%.*f", d, v);
    return std::string(b, static_cast<std::size_t>(gdev_format_fixed(b, v, d))) == a;
  };
  for (double v : {0.0, -0.0, 0.004, 0.005, 0.015, 0.125, 1.005, 2.675, -0.001, -1.5, 99.995, 123.456, 756.1, -0.1,
                   1e-9, 99999.995, 1e15, -123456.789, 0.3333, 2.5, 3.5, 0.45, 1.0e6, 576.10001})
    for (int d : {0, 1, 2, 3, 6}) EXPECT_TRUE(same(v, d)) << v << " " << d;
  for (int i = -200000; i <= 200000; i += 7) ASSERT_TRUE(same(static_cast<float>(i) / 137.0F, 2)) << i;
  for (int i = -40000; i <= 40000; i += 3)
    for (int d : {0, 1, 2, 3}) ASSERT_TRUE(same(i / 256.0, d)) << i << " " << d;
  // Whole parts of one to ten digits with four to six decimals.
  for (double v = 1.0e-7; v < 9.0e9; v *= 1.37)
    for (int d : {4, 5, 6}) ASSERT_TRUE(same(v, d) && same(-v / 3.0, d)) << v << " " << d;
}

}  // namespace
