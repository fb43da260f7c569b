// End-to-end runs of the program on its window, under an X server of the test's own: the
// frames of an hour sequence against the same hours on PostScript, the value query and
// the zoom as the user gives them, and a resize.
#include <gtest/gtest.h>  // first: Xlib's macros clash with GoogleTest's names

#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/graphics/gks_render.h"
#include "tests/support/run.h"
#include "tests/support/xvfb.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = STACONT_DATA_DIR;

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Whether the window is still on the screen.
bool window_alive(Display* d, Window w) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  bool found = false;
  if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n) != 0) {
    for (unsigned i = 0; i < n; ++i) found = found || children[i] == w;
    if (children != nullptr) XFree(children);
  }
  return found;
}

bool wait_gone(Display* d, Window w, double timeout_s = 20.0) {
  const auto start = std::chrono::steady_clock::now();
  while (window_alive(d, w)) {
    if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > timeout_s) return false;
    sleep_ms(50);
  }
  return true;
}

class WindowE2E : public WindowProgramTest {
 protected:
  // The sample's temperature over the United States from 12 UTC, as the other plot tests.
  std::vector<std::string> args(const std::string& device, std::vector<std::string> extra = {}) const {
    std::vector<std::string> a = {"-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us",
                                  "-va", "temp", "-de", device};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }
};

// ---- pictures ----

// Colours equal within what the two renderers round differently.
bool near(unsigned a, const unsigned char* b) {
  const int d[3] = {static_cast<int>((a >> 16) & 0xFF) - b[0], static_cast<int>((a >> 8) & 0xFF) - b[1],
                    static_cast<int>(a & 0xFF) - b[2]};
  return std::abs(d[0]) <= 40 && std::abs(d[1]) <= 40 && std::abs(d[2]) <= 40;
}

struct Match {
  double all = 0;  // share of every pixel of the window
  double ink = 0;  // share of the pixels that are not background
};

// The PostScript page lies on its side, a quarter inch from the edges: the window's
// pixel (x, y) is the page's column y + c0 and row r0 - x at 72 dpi. A window pixel
// matches when a pixel of its colour is within one pixel on the page, and the page's
// pixel matches when one of its colour is within one pixel in the window.
// Only the window's pixels in the rectangle x0..x1, y0..y1 count.
struct Area {
  int x0 = 0, y0 = 0, x1 = 1 << 20, y1 = 1 << 20;
};

Match compare(const XPicture& w, const Picture& page, int c0, int r0, Area area) {
  auto page_px = [&](int x, int y) -> const unsigned char* {
    const int c = y + c0, r = r0 - x;
    if (c < 0 || r < 0 || c >= page.width || r >= page.height) return nullptr;
    return &page.rgb[3 * (static_cast<std::size_t>(r) * page.width + c)];
  };
  long total = 0, matched = 0, ink = 0, ink_matched = 0;
  for (int y = std::max(area.y0, 0); y < w.height && y <= area.y1; ++y)
    for (int x = std::max(area.x0, 0); x < w.width && x <= area.x1; ++x) {
      const unsigned c = w.at(x, y);
      const unsigned char* own = page_px(x, y);
      if (own == nullptr) continue;
      bool there = false, back = false;
      for (int dy = -1; dy <= 1 && !(there && back); ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int xx = x + dx, yy = y + dy;
          if (xx < 0 || yy < 0 || xx >= w.width || yy >= w.height) continue;
          const unsigned char* p = page_px(xx, yy);
          if (p != nullptr && near(c, p)) there = true;
          if (near(w.at(xx, yy), own)) back = true;
        }
      const bool is_ink = c != 0xFFFFFF || !(own[0] == 255 && own[1] == 255 && own[2] == 255);
      total += 2;
      matched += there + back;
      if (is_ink) ink += 2, ink_matched += there + back;
    }
  Match m;
  m.all = total > 0 ? static_cast<double>(matched) / total : 0;
  m.ink = ink > 0 ? static_cast<double>(ink_matched) / ink : 0;
  return m;
}

// The best match over small shifts (the two devices round the page's edges apart).
Match best_match(const XPicture& w, const Picture& page, Area area = {}) {
  Match best;
  for (int dc = -2; dc <= 2; ++dc)
    for (int dr = -2; dr <= 2; ++dr) {
      const Match m = compare(w, page, 19 + dc, 774 + dr, area);
      if (m.ink > best.ink) best = m;
    }
  return best;
}

void save_rgb(const XPicture& p, const std::string& path) {
  if (!save_png(p, path)) ADD_FAILURE() << "cannot write " << path;
}

// A batch run of six hours on the window makes six frames; each shows what the same hour
// shows on PostScript at the same size. The window is as large as the PostScript page's
// surface (756 by 576) and both are in colour on white ("pscolor").
TEST_F(WindowE2E, SixHourFramesMatchPostScript) {
  const std::vector<std::string> common = {"-ba", "-nh", "5", "-pp", "pscolor", "-of", "none"};
  const std::string ps = dir_ + "/hours.ps";
  std::vector<std::string> a = args("p," + ps, common);
  RunResult r = run_stacont(a, "", env_, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<Picture> pages = render_ps_pages(ps);
  ASSERT_EQ(pages.size(), 6u);

  a = args("x", common);
  a.insert(a.end(), {"-ge", "756x576+0+0", "-ti", "Six_hours"});
  // The run goes into the background once its frames are drawn and holds the window there.
  r = run_stacont(a, "", env_, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Window w = find_window(me_, "Six hours");
  ASSERT_NE(w, 0u);
  XWindowAttributes wa{};
  XGetWindowAttributes(me_, w, &wa);
  ASSERT_EQ((std::vector{wa.width, wa.height}), (std::vector{756, 576}));
  // The frames loop once the run holds the window: button 2 then stops the loop (the
  // title stays), and button 3 steps to the next frame.
  pointer_to(me_, w, 378, 288);
  auto name_changes = [&](double seconds) {
    const std::string before = window_name(me_, w);
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds)
      if (window_name(me_, w) != before) return true;
      else sleep_ms(20);
    return false;
  };
  ASSERT_TRUE(name_changes(10.0));
  for (int tries = 0; tries < 5 && name_changes(1.5); ++tries) {
    press_button(me_, 2);
    sleep_ms(300);
  }
  ASSERT_FALSE(name_changes(1.5)) << "the loop does not stop";
  std::map<int, XPicture> frames;
  for (int step = 0; step < 8 && frames.size() < 6; ++step) {
    const std::string before = window_name(me_, w);
    press_button(me_, 3);
    // The title tells the frame shown ("Six hours [3]") once it is on the screen.
    const auto start = std::chrono::steady_clock::now();
    while (window_name(me_, w) == before &&
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < 10)
      sleep_ms(20);
    int n = -1;
    const std::string name = window_name(me_, w);
    ASSERT_EQ(std::sscanf(name.c_str(), "Six hours [%d]", &n), 1) << name;
    frames[n] = grab(me_, w);
  }
  ASSERT_EQ(frames.size(), 6u);
  for (int f = 0; f < 6; ++f) {
    SCOPED_TRACE(f);
    ASSERT_EQ(frames[f].width, 756);
    const Match m = best_match(frames[f], pages[f]);
    std::printf("frame %d: %.2f%% of all pixels, %.2f%% of drawn pixels equal\n", f, 100 * m.all, 100 * m.ink);
    EXPECT_GE(m.all, 0.97);
    // Dashed lines begin their dashes apart on the two devices; the rest is the same.
    EXPECT_GE(m.ink, 0.93);
    // The hour's date in the upper right is that of the same page, not the next one's.
    const Area date{560, 0, 755, 30};
    const Match same = best_match(frames[f], pages[f], date), other = best_match(frames[f], pages[(f + 1) % 6], date);
    EXPECT_GE(same.ink, 0.999);
    EXPECT_LT(other.ink, same.ink);
    if (f > 0) {
      EXPECT_NE(frames[f].rgb, frames[f - 1].rgb);  // each hour its own picture
    }
  }
  save_rgb(frames[0], dir_ + "/frame0.png");

  // The release ends the program in the background.
  press_key(me_, "Return");
  EXPECT_TRUE(wait_gone(me_, w));
}

// Alt-v on the map reports the analysed value there, the grid's bilinear value at the
// grid position it names; after Alt-z at that point the same grid position lies at the
// window's centre. The interactive run ends on Return.
TEST_F(WindowE2E, ValueQueryAndZoom) {
  // Interactive: every value the program would ask for is given.
  std::vector<std::string> a = args("x", {"-ti", "Query", "-of", "zav", "-gp", dir_, "-pl", "ln", "-in", "5"});
  // Its answers are read as they come: standard output line by line.
  a.insert(a.begin(), {"-oL", STACONT_BINARY});
  Background run("/usr/bin/stdbuf", a, env_, dir_);
  const Window w = find_window(me_, "Query");
  ASSERT_NE(w, 0u);
  // Keys reach the plot once its hold waits for them: a query is repeated until the
  // program answers it.
  auto count = [&] { return count_of(run.output(), "Grid: "); };
  // Before the hold, keys are not the plot's: the first query is repeated until answered
  // (all its answers name the same place); later ones are answered once each.
  std::vector<std::string> answers;
  auto query = [&](int x, int y, bool first) {
    pointer_to(me_, w, x, y);
    const int before = count();
    for (int tries = 0; tries < (first ? 40 : 1) && count() == before; ++tries) {
      press_key(me_, "v", true);
      for (int i = 0; i < (first ? 20 : 400) && count() == before; ++i) sleep_ms(50);
    }
    ASSERT_GT(count(), before) << run.output();
    if (first) sleep_ms(1500);  // the answers of repeated keys
    const std::string out = run.output();
    answers.push_back(out.substr(out.rfind("Id: ")));
  };
  query(300, 250, true);
  query(400, 250, false);
  pointer_to(me_, w, 300, 250);
  press_key(me_, "z", true);
  query(320, 256, false);
  press_key(me_, "Return");
  const RunResult r = run.wait(60);
  ASSERT_EQ(r.status, 0) << r.err;
  // "Id: ... Var:   temp - Grid: c, r = v" for each query.
  std::vector<std::vector<float>> q;
  for (const std::string& line : answers) {
    const std::size_t at = line.find("Grid: ");
    float c = 0, rr = 0, v = 0;
    if (at != std::string::npos && std::sscanf(line.c_str() + at, "Grid: %f,%f = %f", &c, &rr, &v) == 3)
      q.push_back({c, rr, v});
  }
  ASSERT_EQ(q.size(), 3u) << r.out;
  // The grid written by the same run: its header, then the values, top row first.
  std::string grid_file;
  for (const auto& e : fs::directory_iterator(dir_))
    if (e.path().extension() != ".png" && read_file(e.path().string()).rfind("ZAVGRID", 0) == 0)
      grid_file = e.path().string();
  ASSERT_FALSE(grid_file.empty()) << r.out;
  std::istringstream g(read_file(grid_file));
  std::string line;
  for (int i = 0; i < 4; ++i) std::getline(g, line);
  std::string proj;
  float lat = 0, lon = 0, dx = 0, dy = 0;
  int nx = 0, ny = 0;
  g >> proj >> lat >> lon >> dx >> dy >> nx >> ny;
  ASSERT_EQ((std::vector{nx, ny}), (std::vector{25, 17}));
  std::vector<float> v(static_cast<std::size_t>(nx) * ny);
  for (float& x : v) g >> x;
  ASSERT_TRUE(g) << "short grid file";
  auto bilinear = [&](float c, float rr) {
    const int i = std::min(static_cast<int>(c), nx - 2), j = std::min(static_cast<int>(rr), ny - 2);
    const float fx = c - i, fy = rr - j;
    auto at = [&](int x, int y) { return v[static_cast<std::size_t>(y) * nx + x]; };
    return (1 - fy) * ((1 - fx) * at(i, j) + fx * at(i + 1, j)) + fy * ((1 - fx) * at(i, j + 1) + fx * at(i + 1, j + 1));
  };
  for (const auto& e : q) {
    SCOPED_TRACE(e[0]);
    ASSERT_GT(e[0], 0);
    ASSERT_LT(e[0], nx - 1);
    ASSERT_GT(e[1], 0);
    ASSERT_LT(e[1], ny - 1);
    // The position is printed to two decimals: the value there to a few hundredths.
    EXPECT_NEAR(e[2], bilinear(e[0], e[1]), 0.05F);
  }
  // 100 pixels to the right is further along the grid's columns.
  EXPECT_GT(q[1][0], q[0][0] + 1.0F);
  EXPECT_NEAR(q[1][1], q[0][1], 0.5F);
  // After the zoom at the first point, the window's centre shows that point.
  EXPECT_NEAR(q[2][0], q[0][0], 0.15F);
  EXPECT_NEAR(q[2][1], q[0][1], 0.15F);
}

// Ink: pixels that are not the (black) background, in a rectangle.
int ink(const XPicture& p, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y <= y1 && y < p.height; ++y)
    for (int x = x0; x <= x1 && x < p.width; ++x) n += p.at(x, y) != 0;
  return n;
}

// A resize draws the plot anew at the new size; a box dragged with shift and button 1
// zooms the map into it, Alt-u goes back to the whole domain pixel for pixel.
TEST_F(WindowE2E, ResizeAndZoomBoxDrawAnew) {
  std::vector<std::string> a = args("x", {"-ti", "Replot", "-of", "none", "-pl", "ln", "-in", "5"});
  a.insert(a.begin(), {"-oL", STACONT_BINARY});
  Background run("/usr/bin/stdbuf", a, env_, dir_);
  const Window w = find_window(me_, "Replot");
  ASSERT_NE(w, 0u);
  // Waits until the program has printed text n times in all, or gives up.
  auto wait_for = [&](const std::string& text, int n) {
    for (int i = 0; i < 200; ++i, sleep_ms(50))
      if (count_of(run.output(), text) >= n) return true;
    return false;
  };
  // The hold waits for the user once a query is answered.
  pointer_to(me_, w, 320, 256);
  for (int tries = 0; tries < 40 && !wait_for("Grid: ", 1); ++tries) press_key(me_, "v", true);
  const XPicture before = grab(me_, w);
  ASSERT_EQ(before.width, 640);
  EXPECT_GT(ink(before, 0, 0, 639, 511), 5000);

  XResizeWindow(me_, w, 800, 600);
  XSync(me_, False);
  // The plot fills the new size: the map's frame and the date reach its right edge.
  // (Exposures show the new picture while it is drawn: it is done when it stays.)
  XPicture after;
  for (int i = 0; i < 60; ++i) {
    sleep_ms(300);
    XPicture now = grab(me_, w);
    const bool done = now.width == 800 && now.rgb == after.rgb;
    after = std::move(now);
    if (done) break;
  }
  ASSERT_EQ((std::vector{after.width, after.height}), (std::vector{800, 600}));
  EXPECT_GT(ink(after, 700, 0, 799, 30), 100);
  EXPECT_GT(ink(after, 700, 31, 799, 599), 1000);

  // Shift and button 1 from (250, 200) to (450, 350), then the release.
  pointer_to(me_, w, 250, 200);
  hold_key(me_, "Shift_L", true);
  press_button(me_, 1, false);
  hold_key(me_, "Shift_L", false);
  for (int x = 270; x <= 450; x += 20) pointer_to(me_, w, x, 200 + (x - 250) * 3 / 4);
  release_button(me_, 1);
  ASSERT_TRUE(wait_for("New domain: ", 1)) << run.output();
  XPicture zoomed;
  for (int i = 0; i < 100; ++i) {
    sleep_ms(50);
    zoomed = grab(me_, w);
    if (zoomed.rgb != after.rgb) break;
  }
  EXPECT_NE(zoomed.rgb, after.rgb);
  // Alt-u: the whole domain again, as it was drawn at this size.
  press_key(me_, "u", true);
  ASSERT_TRUE(wait_for("Original domain: ", 1)) << run.output();
  XPicture back;
  for (int i = 0; i < 100; ++i) {
    sleep_ms(50);
    back = grab(me_, w);
    if (back.rgb == after.rgb) break;
  }
  EXPECT_EQ(back.rgb, after.rgb);
  press_key(me_, "Return");
  const RunResult r = run.wait(60);
  EXPECT_EQ(r.status, 0) << r.err;
}

// In the window (black page) station values over a colour fill read on a black rim: in the
// band colours of the fill itself ("-in") they would vanish. The frame's dump shows the rims
// as black pixels inside the filled map, thousands more than the fill alone has.
TEST_F(WindowE2E, StationValuesOverAFillReadOnTheirRim) {
  int black[2] = {0, 0};
  int k = 0;
  for (const char* vars : {"temp[F:cf]", "temp[F:cf],temp[F:value]"}) {
    const std::string png = dir_ + "/rim" + std::to_string(k) + ".png";
    const RunResult r = run_stacont({"-ba", "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us", "-va",
                                     vars, "-in", "5", "-cb", "0", "-dr", "data", "-of", "none", "-pp", "png:" + png},
                                    "", env_, dir_, 120);
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture pic = read_png(png);
    ASSERT_GT(pic.width, 0);
    for (int y = pic.height / 4; y < 3 * pic.height / 4; ++y)
      for (int x = pic.width / 4; x < 3 * pic.width / 4; ++x) {
        const unsigned char* c = &pic.rgb[3 * (static_cast<std::size_t>(y) * pic.width + x)];
        black[k] += c[0] < 40 && c[1] < 40 && c[2] < 40 ? 1 : 0;
      }
    ++k;
  }
  EXPECT_GT(black[1], black[0] + 2000) << black[0] << " " << black[1];
}

}  // namespace
