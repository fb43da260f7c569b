// End-to-end runs of pictures meant for a briefing page: PostScript pages that viewers can
// count and turn, station plots, vectors and overlays, checked by their pixels and by what
// Ghostscript makes of the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/graphics/gks_render.h"
#include "tests/support/driver_pictures.h"
#include "tests/support/driver_runs.h"
#include "tests/support/program.h"
#include "tests/support/run.h"
#include "tests/support/xvfb.h"

namespace {


class PublishE2E : public ProgramTest {
 protected:
  RunResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"-of", "none"});
    return run_stacont(sample_args("2026031412", "us", args), "", env_, dir_, 120);
  }
  // Renders a PostScript or PDF file on the sheet it asks for (no fixed paper), at 36 dpi.
  std::vector<Picture> render_own_sheet(const std::string& ps) {
    const std::string prefix = ps + ".sheet";
    const RunResult r = run_program("/usr/bin/gs",
                                    {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r36",
                                     "-sOutputFile=" + prefix + "%03d.png", ps},
                                    "", {}, "", 120);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    std::vector<Picture> pages;
    char name[16];
    for (int n = 1; std::snprintf(name, sizeof name, "%03d.png", n), std::filesystem::exists(prefix + name); ++n)
      pages.push_back(read_png(prefix + name));
    return pages;
  }
};

// Writes an RGB PNG of w by h pixels whose colours (0xRRGGBB) colour(x, y) gives.
template <typename Colour>
bool write_rgb_png(const std::string& path, int w, int h, Colour colour) {
  XPicture p;
  p.width = w;
  p.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.rgb.push_back(colour(x, y));
  return save_png(p, path);
}

// A clear blue or red, or the green of station values.
bool blue(const unsigned char* c) { return c[2] > 150 && c[2] > c[0] + 60 && c[2] > c[1] + 60; }
bool red(const unsigned char* c) { return c[0] > 180 && c[1] < 90 && c[2] < 90; }
bool green(const unsigned char* c) { return c[1] > 100 && c[0] < 60 && c[2] < 60; }
// Dark pixels in a part of the picture given by fractions of its width and height.
int dark_in(const Picture& p, double x0, double y0, double x1, double y1) {
  return p.count_dark(static_cast<int>(x0 * p.width), static_cast<int>(y0 * p.height),
                      static_cast<int>(x1 * p.width) - 1, static_cast<int>(y1 * p.height) - 1);
}

// A series of hours makes one page an hour, each marked for viewers: Ghostscript draws as
// many pages as the %%Page comments and the trailer's page count say; the declared box
// holds every page's marks. With "port" the sheet lies on its long side and the map is
// upright on it (title band at the top); the default turned page says it is landscape, and
// ps2pdf turns it upright.
TEST_F(PublishE2E, PostScriptPagesAreCountedAndUpright) {
  const std::string ps = dir_ + "/series.ps";
  RunResult r = run({"-nh", "2", "-va", "pralt", "-pl", "lcf", "-de", "p," + ps + ",color"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = read_file(ps);
  const int pages = count_of(text, "\n%%Page: ");
  EXPECT_EQ(pages, 3);
  EXPECT_NE(text.find("\n%%Pages: " + std::to_string(pages) + "\n%%EOF\n"), std::string::npos);
  EXPECT_NE(text.find("\n%%Orientation: Landscape\n"), std::string::npos);
  EXPECT_EQ(render_ps_pages(ps).size(), static_cast<std::size_t>(pages));
  const std::vector<int> box = declared_box(text);
  ASSERT_EQ(box.size(), 4u);
  const std::vector<std::vector<int>> ink = ink_boxes(ps);
  ASSERT_EQ(ink.size(), static_cast<std::size_t>(pages));
  for (const auto& b : ink) {
    EXPECT_LE(box[0], b[0] + 1);
    EXPECT_LE(box[1], b[1] + 1);
    EXPECT_GE(box[2], b[2] - 1);
    EXPECT_GE(box[3], b[3] - 1);
  }
  // Turned upright by ps2pdf: the PDF's pages are wider than tall.
  const std::string pdf = dir_ + "/series.pdf";
  r = run_program("/usr/bin/ps2pdf", {ps, pdf}, "", {}, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<Picture> turned = render_own_sheet(pdf);
  ASSERT_EQ(turned.size(), 3u);
  EXPECT_GT(turned[0].width, turned[0].height);

  const std::string up = dir_ + "/upright.ps";
  r = run({"-va", "pralt", "-pl", "lcf", "-de", "p," + up + ",color,port"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(read_file(up).find("\n%%Orientation: Portrait\n"), std::string::npos);
  const std::vector<Picture> sheet = render_own_sheet(up);
  ASSERT_EQ(sheet.size(), 1u);
  EXPECT_EQ(sheet[0].width, 396);  // 11 by 8.5 inches at 36 dpi
  EXPECT_EQ(sheet[0].height, 306);
  // The label band above the map holds the title on the left; the page's margins (a
  // quarter inch) stay white.
  const Picture& p = sheet[0];
  const std::vector<int> title = p.dark_box(0, 0, p.width / 2, static_cast<int>(0.08 * p.height));
  EXPECT_GE(title[0], 0);
  EXPECT_LT(title[0], p.width / 8);
  EXPECT_EQ(p.count_dark(0, 0, p.width - 1, 7), 0);
  EXPECT_EQ(p.count_dark(0, 0, 7, p.height - 1), 0);
}

// Vectors coloured by speed with a colour list take every colour of it (the bands cycle
// round the three colours); the strongest wind and the interval are named below the map,
// and "nolr" leaves the lower right empty.
TEST_F(PublishE2E, VectorsColouredBySpeedWithTheirLabels) {
  const std::string a = dir_ + "/v.png", b = dir_ + "/v_nolr.png";
  RunResult r = run({"-va", "wind<uwndg,vwndg>[knt:vect:in=5:cb=0]", "-cof", "red,green,blue", "-pp", "inv", "-de",
                     "png," + a});
  ASSERT_EQ(r.status, 0) << r.err;
  r = run({"-va", "wind<uwndg,vwndg>[knt:vect:in=5:cb=0:nolr]", "-cof", "red,green,blue", "-pp", "inv", "-de",
           "png," + b});
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture p = read_png(a), q = read_png(b);
  ASSERT_GT(p.width, 0);
  ASSERT_GT(q.width, 0);
  for (const auto is : {red, green, blue}) EXPECT_GT(count_where(p, is), 100);
  // "INTERVAL" at the lower left and "MAX" at the lower right, below the map.
  EXPECT_GT(dark_in(p, 0.0, 0.93, 0.3, 1.0), 50);
  EXPECT_GT(dark_in(p, 0.7, 0.93, 1.0, 1.0), 50);
  EXPECT_GT(dark_in(q, 0.0, 0.93, 0.3, 1.0), 50);
  EXPECT_EQ(dark_in(q, 0.7, 0.93, 1.0, 1.0), 0);
}

// A station-value file in the map list ("rf:file:colour") draws its stations with the
// kinds its field list names, in the colour given, each where its station lies.
TEST_F(PublishE2E, RawFileOverlayDrawsItsStations) {
  const std::string raw = dir_ + "/obs.raw";
  write_file(raw,
             "ZAVRAW\n12Z 14 MAR 26\n!Station values\nid lat lon\ntemp:F:value\nwind:knt:cbarb\n$\n"
             "KDEN  39.86 -104.67 38 270,25\nKORD  41.98  -87.90 45 180,15\nKATL  33.64  -84.43 61 90,10\n");
  const std::string a = dir_ + "/with.png", b = dir_ + "/without.png";
  RunResult r = run({"-va", "pralt", "-pl", "ln", "-pp", "inv", "-mf", "zav.map,+rf:" + raw + ":blue", "-de", "png," + a});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("not available"), std::string::npos) << r.err;
  r = run({"-va", "pralt", "-pl", "ln", "-pp", "inv", "-mf", "zav.map", "-de", "png," + b});
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture with = read_png(a), without = read_png(b);
  ASSERT_GT(with.width, 0);
  EXPECT_GT(count_where(with, blue), 3 * 25);  // three numbers and three barbs
  EXPECT_LT(count_where(without, blue), 5);
  EXPECT_GT(count_where(with, blue, 0, 0, with.width / 2 - 1), 15);  // Denver
  EXPECT_GT(count_where(with, blue, with.width / 2), 30);            // Chicago and Atlanta
}

// A station model on a light page: titled, its values black (no green left).
TEST_F(PublishE2E, StationModelsOnPaper) {
  const std::string a = dir_ + "/st.png";
  const RunResult r = run({"-va", "stmod", "-pp", "inv", "-de", "png," + a});
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture p = read_png(a);
  ASSERT_GT(p.width, 0);
  EXPECT_EQ(count_where(p, green), 0);
  // The title at the upper left, above the map.
  EXPECT_GT(dark_in(p, 0.0, 0.0, 0.3, 0.08), 50);
}

// An image overlay ("im:file:colour:x:y") is drawn on PostScript and on the raster device
// as on the window: its pixels where the offsets put them from the map's upper left
// corner, its transparent colour left clear, under the data.
TEST_F(PublishE2E, ImageOverlaysOnFileDevices) {
  // 120 by 80 pixels of black with an amber block of 100 by 60 at 10, 10.
  const std::string img = dir_ + "/block.png";
  ASSERT_TRUE(write_rgb_png(img, 120, 80, [](int x, int y) {
    return x >= 10 && x < 110 && y >= 10 && y < 70 ? 0xFAC800U : 0U;
  }));
  RunResult r;
  const auto amber = [](const unsigned char* c) { return c[0] > 220 && c[1] > 170 && c[1] < 230 && c[2] < 50; };
  const std::string item = "zav.map,-im:" + img + ":black:20:20";
  const std::string png = dir_ + "/over.png", ps = dir_ + "/over.ps";
  r = run({"-va", "temp", "-pl", "ln", "-in", "10", "-mf", item, "-de", "png," + png});
  ASSERT_EQ(r.status, 0) << r.err;
  r = run({"-va", "temp", "-pl", "ln", "-in", "10", "-mf", item, "-de", "p," + ps + ",color,port"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The raster page: the block's 6000 pixels, in the map's upper left corner (the map
  // starts at the page's left edge, below the label band).
  const Picture raster = read_png(png);
  ASSERT_GT(raster.width, 0);
  EXPECT_NEAR(count_where(raster, amber), 100 * 60, 600);
  const std::vector<int> box = box_where(raster, amber);
  EXPECT_NEAR(box[2] - box[0], 99, 2);
  EXPECT_NEAR(box[3] - box[1], 59, 2);
  EXPECT_LT(box[0], 40);
  EXPECT_LT(box[1], 100);
  // The page: the same block, a point a pixel (at 72 dpi, on the unturned sheet).
  const std::vector<Picture> pages = render_own_sheet(ps);
  ASSERT_EQ(pages.size(), 1u);
  const std::string text = read_file(ps);
  EXPECT_NE(text.find("/ImageType 4"), std::string::npos);
  const Picture& page = pages[0];
  // 36 dpi: a quarter of the points.
  EXPECT_NEAR(count_where(page, amber), 50 * 30, 300);
}

// A picture that carries a domain (the package's image format, latitude-longitude from 20
// to 60 N and 130 to 60 W, a checkerboard of two grays) is laid where it lies on the earth
// on both file devices: its grays fill the map south of 60 N, and north of it there are none.
TEST_F(PublishE2E, ImageWithADomainIsReprojectedOnFileDevices) {
  const int nx = 200, ny = 100;
  std::string img = "ZAVIMG\n12Z 14 MAR 26\nchecker\n";
  char line[120];
  std::snprintf(line, sizeof line, "LL 40.000000 -95.000000 %f %f %d %d\n", 70.0 / (nx - 1), 40.0 / (ny - 1), nx, ny);
  img += line;
  for (int r = 0; r < ny; ++r)
    for (int c = 0; c < nx; ++c) img += static_cast<char>((c / 20 + r / 20) % 2 == 0 ? 200 : 90);
  write_file(dir_ + "/checker.img", img);
  const std::string item = "zav.map,-im:" + dir_ + "/checker.img";
  const auto light = [](const unsigned char* c) { return c[0] == c[1] && c[1] == c[2] && c[0] > 190 && c[0] < 210; };
  const auto dark = [](const unsigned char* c) { return c[0] == c[1] && c[1] == c[2] && c[0] > 80 && c[0] < 100; };
  const std::string png = dir_ + "/checker.png", ps = dir_ + "/checker.ps";
  RunResult r = run({"-va", "temp", "-pl", "ln", "-in", "10", "-mf", item, "-de", "png," + png});
  ASSERT_EQ(r.status, 0) << r.err;
  r = run({"-va", "temp", "-pl", "ln", "-in", "10", "-mf", item, "-de", "p," + ps + ",color,port"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture raster = read_png(png);
  ASSERT_GT(raster.width, 0);
  EXPECT_GT(count_where(raster, light), 40000);
  EXPECT_GT(count_where(raster, dark), 40000);
  // The map's upper left corner lies north of 60 N (the parallel arcs across the map).
  EXPECT_EQ(count_where(raster, light, 0, 45, 14, 59) + count_where(raster, dark, 0, 45, 14, 59), 0);
  const std::vector<Picture> pages = render_own_sheet(ps);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_GT(count_where(pages[0], light), 5000);
  EXPECT_GT(count_where(pages[0], dark), 5000);
}

}  // namespace
