// The window as a forecaster drives it, under an X server of the test's own and with
// xdotool, the same tool a user's scripts use: the frames of an hour sequence against the
// same hours on PostScript, zoom boxes, Alt-z and Alt-u, value queries against the grids
// the run wrote, a resize, edits that cannot be made, the key of each plot, the fronts of
// each hour, a refreshed hour, the picture as a metafile, and a window that another client
// destroys.
#include <gtest/gtest.h>  // first: Xlib's macros clash with GoogleTest's names

#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/xvfb.h"

namespace {

namespace fs = std::filesystem;
const std::string kXdotool = "/usr/bin/xdotool";

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

double since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Pixels that differ between two pictures of the same size (all of them when the sizes differ).
long differing(const XPicture& a, const XPicture& b) {
  if (a.width != b.width || a.height != b.height) return static_cast<long>(std::max(a.rgb.size(), b.rgb.size()));
  long n = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) n += a.rgb[i] != b.rgb[i];
  return n;
}

// Pixels that are not the (black) background, in a rectangle.
int ink(const XPicture& p, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y <= y1 && y < p.height; ++y)
    for (int x = x0; x <= x1 && x < p.width; ++x) n += p.at(x, y) != 0;
  return n;
}

Picture picture_of(const XPicture& x) {
  Picture p;
  p.width = x.width, p.height = x.height;
  for (const unsigned c : x.rgb)
    p.rgb.insert(p.rgb.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                               static_cast<unsigned char>(c)});
  return p;
}

// "Grid: c, r = v" of the last query in text.
bool last_query(const std::string& text, float* c, float* r, float* v) {
  const std::size_t at = text.rfind("Grid: ");
  return at != std::string::npos && std::sscanf(text.c_str() + at, "Grid: %f,%f = %f", c, r, v) == 3;
}

class Session : public WindowProgramTest {
 protected:
  void SetUp() override {
    if (access(kXdotool.c_str(), X_OK) != 0) GTEST_SKIP() << "xdotool is not installed (scripts/install-deps.sh)";
    WindowProgramTest::SetUp();
  }
  void TearDown() override {
    run_.reset();
    WindowProgramTest::TearDown();
  }

  // An interactive run of the sample from 12 UTC over the United States with every answer
  // given (the temperature unless extra names a variable), its window titled title; its
  // output is read line by line as it comes.
  // With answers, the variables are asked for and answered from them.
  void start(const std::string& title, std::vector<std::string> extra, const std::string& answers = "",
             const std::string& data = kData) {
    std::vector<std::string> a = {"-oL", STACONT_BINARY, "-fp", data, "-if", "sfc_sample", "-cu", "#2026031412",
                                  "-pd", "us", "-de", "x", "-ti", title, "-in", "5"};
    if (answers.empty() && std::find(extra.begin(), extra.end(), "-va") == extra.end())
      a.insert(a.end(), {"-va", "temp"});
    a.insert(a.end(), extra.begin(), extra.end());
    run_ = std::make_unique<Background>("/usr/bin/stdbuf", a, env_, dir_, answers);
    looping_ = true;
    title_ = title;
    w_ = find_window(me_, title);
    ASSERT_NE(w_, 0u) << run_->wait(5).err;
  }
  // Return at the window, and the run's end.
  RunResult finish() {
    xdo({"key", "Return"});
    const RunResult r = run_->wait(30);
    EXPECT_EQ(r.status, 0) << r.err;
    return r;
  }
  // xdotool with the test's display; its commands run in order, as a user's hands would.
  void xdo(const std::vector<std::string>& args) {
    const RunResult r = run_program(kXdotool, args, "", env_, "", 20);
    EXPECT_EQ(r.status, 0) << r.err;
  }
  // The program's window. Each plot of a session ends the workstation and the next opens a
  // new window (on a new connection), so a window that is no longer shown is looked up again
  // by its title; whether the new one gets the old identifier depends on the server's timing.
  Window window() {
    XWindowAttributes a{};
    if (XGetWindowAttributes(me_, w_, &a) == 0 || a.map_state != IsViewable) w_ = find_window(me_, title_);
    return w_;
  }
  std::string id() { return std::to_string(window()); }
  void move(int x, int y) { xdo({"mousemove", "--window", id(), std::to_string(x), std::to_string(y)}); }
  int count(const std::string& text) const { return count_of(run_->output(), text); }
  // Waits until the program has printed text n times in all.
  bool wait_for(const std::string& text, int n, double seconds = 20.0) const {
    const auto start = std::chrono::steady_clock::now();
    while (since(start) < seconds) {
      if (count(text) >= n) return true;
      sleep_ms(50);
    }
    return false;
  }
  // Keys reach the plot once its hold waits for them: Alt and key at (x, y) until done().
  template <typename Done>
  bool press_until(const std::string& key, int x, int y, Done done) {
    move(x, y);
    for (int tries = 0; tries < 60; ++tries) {
      xdo({"key", "alt+" + key});
      for (int i = 0; i < 10; ++i) {
        if (done()) return true;
        sleep_ms(50);
      }
    }
    return false;
  }
  // Alt-v at (x, y) until it is answered.
  void wait_for_hold(int x, int y) {
    const int before = count("Id: ");
    ASSERT_TRUE(press_until("v", x, y, [&] { return count("Id: ") > before; })) << run_->output();
    sleep_ms(500);  // the answers of repeated keys
  }
  // Alt-v at (x, y): the answer printed.
  std::string query(int x, int y) {
    move(x, y);
    const int before = count("Grid: ");
    xdo({"key", "alt+v"});
    if (!wait_for("Grid: ", before + 1)) return "";
    const std::string out = run_->output();
    return out.substr(out.rfind("Id: "));
  }
  // The box from (330, 120) to (520, 260) dragged with button 1, shift held from the press
  // to after the release or let go at the press.
  void drag_box(bool shift_to_release) {
    move(330, 120);
    std::vector<std::string> a = {"keydown", "shift", "mousedown", "1"};
    if (!shift_to_release) a.insert(a.end(), {"keyup", "shift"});
    a.insert(a.end(), {"mousemove", "--window", id(), "420", "190", "mousemove", "--window", id(), "520", "260",
                       "mouseup", "1"});
    if (shift_to_release) a.insert(a.end(), {"keyup", "shift"});
    xdo(a);
  }
  // A picture of the window once it stays the same for half a second.
  XPicture settled() {
    XPicture last = grab(me_, window());
    for (int i = 0; i < 60; ++i) {
      sleep_ms(500);
      XPicture now = grab(me_, window());
      if (now.rgb == last.rgb) return now;
      last = std::move(now);
    }
    return last;
  }
  bool name_changes(double seconds) {
    const std::string before = window_name(me_, w_);
    const auto start = std::chrono::steady_clock::now();
    while (since(start) < seconds)
      if (window_name(me_, w_) != before) return true;
      else sleep_ms(20);
    return false;
  }
  // Stops the loop (button 2 until the title stays) unless it was stopped since the last
  // plot, and steps to frame n (button 3).
  void show_frame(const std::string& title, int n) {
    move(320, 256);
    if (looping_) {
      looping_ = false;
      for (int tries = 0; tries < 5 && name_changes(1.5); ++tries) {
        xdo({"click", "2"});
        sleep_ms(300);
      }
      ASSERT_FALSE(name_changes(1.5)) << "the loop does not stop";
    }
    const std::string want = title + " [" + std::to_string(n) + "]";
    for (int step = 0; step < 12 && window_name(me_, w_) != want; ++step) {
      const std::string before = window_name(me_, w_);
      xdo({"click", "3"});
      for (int i = 0; i < 200 && window_name(me_, w_) == before; ++i) sleep_ms(20);
    }
    ASSERT_EQ(window_name(me_, w_), want);
  }
  // Another client destroys the window: the run ends as a lost display does, status 4 and
  // a message, instead of a hold that waits for ever.
  RunResult close_from_outside() {
    xdo({"windowclose", id()});
    const RunResult r = run_->wait(30);
    EXPECT_EQ(r.status, 4) << r.err;
    const std::string message = "X11 error: the window was destroyed by another client\n";
    EXPECT_TRUE(r.err.size() >= message.size() && r.err.compare(r.err.size() - message.size(), message.size(), message) == 0)
        << r.err;
    return r;
  }

  std::unique_ptr<Background> run_;
  Window w_ = 0;
  std::string title_;
  // A sequence loops after each plot (a zoom draws the plot anew).
  bool looping_ = true;
};

// A batch run of six hours on the window makes six frames; each shows what the same hour
// shows on PostScript at the same size. The window is as large as the PostScript page's
// surface (756 by 576) and both are in colour on white ("pscolor").
TEST_F(Session, SixHourFramesMatchPostScript) {
  const std::vector<std::string> common = {"-nh", "5", "-pp", "pscolor", "-of", "none", "-de"};
  const std::string ps = dir_ + "/hours.ps";
  std::vector<std::string> a = sample_args("temp", common);
  a.push_back("p," + ps);
  RunResult r = run_stacont(a, "", env_, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<Picture> pages = render_ps_pages(ps);
  ASSERT_EQ(pages.size(), 6u);
  a.back() = "x";
  a.insert(a.end(), {"-ge", "756x576+0+0", "-ti", "Six_hours"});
  // The run goes into the background once its frames are drawn and holds the window there.
  r = run_stacont(a, "", env_, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  w_ = find_window(me_, "Six hours");
  ASSERT_NE(w_, 0u);
  XWindowAttributes wa{};
  XGetWindowAttributes(me_, w_, &wa);
  ASSERT_EQ((std::vector{wa.width, wa.height}), (std::vector{756, 576}));
  // The frames loop once the run holds the window (the title tells the frame shown).
  move(378, 288);
  ASSERT_TRUE(name_changes(10.0));
  std::vector<XPicture> frames;
  for (int f = 0; f < 6; ++f) {
    show_frame("Six hours", f);
    frames.push_back(grab(me_, w_));
  }
  for (int f = 0; f < 6; ++f) {
    SCOPED_TRACE(f);
    ASSERT_EQ(frames[f].width, 756);
    const Picture frame = picture_of(frames[f]);
    const Match m = best_match(frame, upright(pages[f], 756, 576), false, true);
    EXPECT_GE(m.all, 0.97) << m.ink;
    // Dashed lines begin their dashes apart on the two devices; the rest is the same.
    EXPECT_GE(m.ink, 0.93);
    // The hour's date in the upper right is that of the same page, not the next one's.
    const Area date{560, 0, 755, 30};
    const Match same = best_match(frame, upright(pages[f], 756, 576), false, true, date);
    const Match other = best_match(frame, upright(pages[(f + 1) % 6], 756, 576), false, true, date);
    EXPECT_GE(same.ink, 0.999);
    EXPECT_LT(other.ink, same.ink);
    if (f > 0) {
      EXPECT_NE(frames[f].rgb, frames[f - 1].rgb);  // each hour its own picture
    }
  }
  // The release ends the program in the background.
  xdo({"key", "Return"});
  auto shown = [&] { return run_program(kXdotool, {"search", "--name", "^Six hours"}, "", env_).status == 0; };
  for (int i = 0; i < 400 && shown(); ++i) sleep_ms(50);
  EXPECT_FALSE(shown());
}

// One plot at the window, with the contour type and a new grid value given at the
// terminal. A box dragged with shift held to after the release (which comes named
// "B1-R-Shft") zooms the map, and the next plain click is only a click; Alt-u gives back
// the map pixel for pixel. Alt-v reports the analysed value: the bilinear value, at the
// grid position it names, of the grid the run wrote; after Alt-z at that point the window's
// centre shows it. A resize draws the plot anew at the new size, a box with shift let go
// at the press zooms too, and Alt-u goes back to the map at that size. None of this asks the
// contour type again (whose end of input would end the run). Alt-e over the title says why
// nothing changed; over the grid it asks the new value and sets it.
TEST_F(Session, OnePlotZoomsQueriesAndRedrawsWithItsAnswers) {
  const std::string asked = "Color fill (C) or Line (L) contours: ", prompt = "Enter the new grid value: ";
  start("Again", {"-va", "temp", "-of", "zav", "-gp", dir_ + "/grids"}, "l\n42\n");
  wait_for_hold(320, 256);
  const TextGrid g = read_text_grid(dir_ + "/grids/2026031412_temp.grd");
  ASSERT_EQ((std::vector{g.nx, g.ny}), (std::vector{25, 17}));
  const XPicture original = settled();
  drag_box(true);
  ASSERT_TRUE(wait_for("New domain: ", 1)) << run_->output();
  const XPicture zoomed = settled();
  EXPECT_GT(differing(original, zoomed), 20000);
  move(100, 400);
  xdo({"click", "1"});
  sleep_ms(2000);
  EXPECT_EQ(count("New domain: "), 1) << run_->output();
  EXPECT_EQ(differing(zoomed, settled()), 0);
  move(320, 256);
  xdo({"key", "alt+u"});
  ASSERT_TRUE(wait_for("Original domain: ", 1)) << run_->output();
  EXPECT_EQ(differing(original, settled()), 0);

  std::vector<std::vector<float>> q;
  auto ask = [&](int x, int y) {
    float c = 0, r = 0, v = 0;
    const std::string answer = query(x, y);
    ASSERT_TRUE(last_query(answer, &c, &r, &v)) << answer;
    q.push_back({c, r, v});
  };
  ask(300, 250);
  ask(400, 250);
  move(300, 250);
  xdo({"key", "alt+z"});
  ask(320, 256);
  ASSERT_EQ(q.size(), 3u) << run_->output();
  for (const auto& e : q) {
    SCOPED_TRACE(e[0]);
    ASSERT_TRUE(e[0] > 0 && e[0] < g.nx - 1 && e[1] > 0 && e[1] < g.ny - 1);
    // The position is printed to two decimals: the value there to a few hundredths.
    EXPECT_NEAR(e[2], g.bilinear(e[0], e[1]), 0.05F);
  }
  // 100 pixels to the right is further along the grid's columns.
  EXPECT_GT(q[1][0], q[0][0] + 1.0F);
  EXPECT_NEAR(q[1][1], q[0][1], 0.5F);
  // After the zoom at the first point, the window's centre shows that point.
  EXPECT_NEAR(q[2][0], q[0][0], 0.15F);
  EXPECT_NEAR(q[2][1], q[0][1], 0.15F);
  // Alt-u undoes the window's own zoom without a new plot.
  xdo({"key", "alt+u"});
  EXPECT_EQ(differing(original, settled()), 0);

  xdo({"windowsize", id(), "800", "600"});
  const XPicture resized = settled();
  ASSERT_EQ((std::vector{resized.width, resized.height}), (std::vector{800, 600}));
  // The plot fills the new size: the map's frame and the date reach its right edge.
  EXPECT_GT(ink(resized, 700, 0, 799, 30), 100);
  EXPECT_GT(ink(resized, 700, 31, 799, 599), 1000);
  drag_box(false);
  ASSERT_TRUE(wait_for("New domain: ", 2)) << run_->output();
  EXPECT_NE(settled().rgb, resized.rgb);
  move(320, 256);
  xdo({"key", "alt+u"});
  ASSERT_TRUE(wait_for("Original domain: ", 2)) << run_->output();
  EXPECT_EQ(differing(resized, settled()), 0);

  move(320, 10);
  xdo({"key", "alt+e"});
  EXPECT_NE(query(320, 256), "");
  EXPECT_EQ(run_->output().find(prompt), std::string::npos) << run_->output();
  xdo({"key", "alt+e"});
  ASSERT_TRUE(wait_for(prompt + "Grid: ", 1)) << run_->output();
  float c = 0, r = 0, v = 0;
  const std::string out = run_->output();
  ASSERT_TRUE(last_query(out.substr(out.rfind(prompt)), &c, &r, &v)) << out;
  // The value given at the terminal is set at the nearest grid point; the answer is the
  // bilinear value of the grid so changed.
  TextGrid edited = g;
  edited.v[static_cast<std::size_t>(std::lround(r)) * g.nx + std::lround(c)] = 42.0F;
  // The position is printed to two decimals: the answer lies within what the corners of its
  // rounding give (the answer to two decimals too).
  std::vector<float> corners;
  for (const float dc : {-0.005F, 0.005F})
    for (const float dr : {-0.005F, 0.005F}) corners.push_back(edited.bilinear(c + dc, r + dr));
  EXPECT_GE(v, *std::min_element(corners.begin(), corners.end()) - 0.005F) << out.substr(out.rfind(prompt));
  EXPECT_LE(v, *std::max_element(corners.begin(), corners.end()) + 0.005F) << out.substr(out.rfind(prompt));
  const RunResult end = close_from_outside();
  EXPECT_NE(end.err.find("Alt-e: no grid value changed: the pointer is outside the grid\n"), std::string::npos) << end.err;
  EXPECT_EQ(count_of(end.out, prompt), 1) << end.out;
  EXPECT_EQ(count_of(end.out, asked), 1) << end.out;
  EXPECT_EQ(count_of(end.out, "Enter the contour interval: "), 0) << end.out;
  EXPECT_EQ(end.err.find("End of input"), std::string::npos) << end.err;
}

// In a loop: Alt-e and Alt-s say why they change nothing; Alt-v on a frame reads the grid
// of that frame's hour (frame 0 shows 12 UTC, frame 5 17 UTC); Alt-u after a box zoom
// gives back the original map with all that was chosen from it: frame 0 is the same
// picture, pixel for pixel, as before the zoom (the zoomed domain analyses more stations;
// those must not stay in).
TEST_F(Session, ALoopQueriesEachFrameAndUndoesItsZoom) {
  start("Hours", {"-pl", "ln", "-nh", "5", "-of", "zav", "-gp", dir_ + "/grids"});
  wait_for_hold(320, 256);
  move(320, 256);
  xdo({"key", "alt+e"});
  xdo({"key", "alt+s"});
  EXPECT_NE(query(320, 256), "");
  for (const int frame : {0, 5, 2}) {
    SCOPED_TRACE(frame);
    show_frame("Hours", frame);
    settled();  // the frame drawn before it is asked
    const std::string answer = query(300, 250);
    float c = 0, r = 0, v = 0;
    ASSERT_TRUE(last_query(answer, &c, &r, &v)) << answer;
    char hour[64];
    std::snprintf(hour, sizeof hour, "/grids/20260314%02d_temp.grd", 12 + frame);
    const TextGrid g = read_text_grid(dir_ + hour);
    ASSERT_EQ((std::vector{g.nx, g.ny}), (std::vector{25, 17})) << hour;
    EXPECT_NEAR(v, g.bilinear(c, r), 0.05F) << answer;
  }
  show_frame("Hours", 0);
  const XPicture original = settled();
  drag_box(false);
  ASSERT_TRUE(wait_for("New domain: ", 1)) << run_->output();
  looping_ = true;
  show_frame("Hours", 0);
  EXPECT_GT(differing(original, settled()), 20000);
  move(320, 256);
  xdo({"key", "alt+u"});
  ASSERT_TRUE(wait_for("Original domain: ", 1)) << run_->output();
  looping_ = true;
  show_frame("Hours", 0);
  const XPicture back = settled();
  EXPECT_EQ(differing(original, back), 0);
  const RunResult r = close_from_outside();
  EXPECT_NE(r.err.find("Alt-e: no grid value changed: the hours of a loop are not edited (plot one hour)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Alt-s: no grid saved: the hours of a loop are not saved (plot one hour)\n"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.out.find("Enter the new grid value: "), std::string::npos);
}

// In a loop each frame draws the bulletin of its own hour; a frame between two bulletins
// (they come every few hours) draws the latest analysis before it, labelled with that
// analysis's hour. Here the bulletins are those of 12 and 15 UTC: frames 0 to 2 (12 to 14
// UTC) show the same picture, frames 3 to 5 another; with every hour's bulletin each frame
// is its own.
TEST_F(Session, FrontsInALoopAreThoseOfEachFramesHour) {
  fs::create_directories(dir_ + "/fronts");
  for (const char* hour : {"12", "15"})
    fs::copy_file(kData + "/sample/20260314" + hour + ".frt", dir_ + "/fronts/20260314" + hour + ".frt");
  for (const bool every_hour : {false, true}) {
    SCOPED_TRACE(every_hour);
    start("Fronts", {"-tp", every_hour ? kData + "/sample" : dir_ + "/fronts", "-nh", "5", "-va", "front"});
    wait_for_hold(320, 256);
    std::vector<XPicture> frames;
    for (int f = 0; f < 6; ++f) {
      show_frame("Fronts", f);
      frames.push_back(settled());
    }
    const RunResult r = finish();
    EXPECT_EQ(r.err, "");
    if (!every_hour) {
      for (int f : {1, 2}) EXPECT_EQ(differing(frames[f], frames[0]), 0) << f;
      for (int f : {4, 5}) EXPECT_EQ(differing(frames[f], frames[3]), 0) << f;
      EXPECT_NE(r.out.find("Fronts: no bulletin for 13Z 14 MAR 26: the analysis for 12Z 14 MAR 26 is drawn\n"),
                std::string::npos)
          << r.out;
    }
    // The fronts move: the low of 15 UTC lies elsewhere than that of 12 UTC.
    EXPECT_GT(differing(frames[3], frames[0]), 200);
    if (every_hour) {
      for (int f = 1; f < 6; ++f) EXPECT_GT(differing(frames[f], frames[f - 1]), 200) << f;
    }
  }
}

// At the window each plot of a session shows its own key too: after a colour fill (with its
// colour bar) a line plot shows its interval and no bar, vectors and streamlines their
// key, the station model none; each the same picture as that plot made alone.
TEST_F(Session, EachPlotAtTheWindowShowsItsOwnKey) {
  const std::vector<std::string> later = {"temp[F:ln]", "wvect", "strm", "stmod"};
  std::string answers = "temp[F:cf]\n";
  for (const std::string& v : later) answers += v + "\n";
  start("Key", {}, answers + "0\n");
  // Each plot opens its own window; its hold answers a query once it is drawn.
  std::vector<XPicture> session;
  for (std::size_t k = 0; k <= later.size(); ++k) {
    SCOPED_TRACE(k);
    wait_for_hold(320, 256);
    session.push_back(settled());
    xdo({"key", "Return"});
  }
  RunResult r = run_->wait(30);
  ASSERT_EQ(r.status, 0) << r.err;
  for (std::size_t k = 0; k < later.size(); ++k) {
    SCOPED_TRACE(later[k]);
    start("Key", {"-va", later[k]});
    wait_for_hold(320, 256);
    const XPicture alone = settled();
    finish();
    EXPECT_EQ(differing(alone, session[k + 1]), 0);
    EXPECT_GT(differing(alone, session[0]), 20000);
  }
}

// "-pp refresh" on a fixed hour watches that hour's file: a file of the hour shown that
// changes (a late report, a correction) is drawn again within a minute, where the clock's
// current hour (which has no file) was looked for before.
TEST_F(Session, RefreshOnAFixedHourRereadsTheHourShown) {
  const std::string data = dir_ + "/data";
  fs::copy(kData, data, fs::copy_options::recursive);
  start("Watch", {"-pl", "ln", "-va", "temp", "-pp", "refresh"}, "", data);
  wait_for_hold(320, 256);
  const XPicture before = settled();
  const int plotted = count("plot frame");
  // The 12 UTC file now holds other observations (those of 13 UTC).
  fs::copy_file(data + "/sample/2026031413.sfc", data + "/sample/2026031412.sfc", fs::copy_options::overwrite_existing);
  fs::last_write_time(data + "/sample/2026031412.sfc", fs::file_time_type::clock::now());
  ASSERT_TRUE(wait_for("plot frame", plotted + 1, 90.0)) << run_->output();
  const XPicture after = settled();
  EXPECT_GT(differing(before, after), 2000);
  finish();
}

// Alt-v over a station model names the nearest station and gives its values, each as
// "name=value", instead of an empty text.
TEST_F(Session, ValueQueryOverStationValues) {
  start("Stations", {"-va", "temp_s,dewp_s", "-of", "none"});
  wait_for_hold(320, 256);
  const RunResult r = finish();
  const std::size_t at = r.out.rfind("Id: ");
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::string answer = r.out.substr(at, r.out.find('\n', r.out.find("dewp", at)) - at);
  // "Id: XXXX Lat: ... Var:   temp - = temp=38 dewp=21"
  EXPECT_EQ(answer.find("Id: - "), std::string::npos) << answer;
  EXPECT_NE(answer.find("= temp="), std::string::npos) << answer;
  EXPECT_NE(answer.find(" dewp="), std::string::npos) << answer;
  EXPECT_EQ(answer.find("= \n"), std::string::npos) << answer;
}

// Alt-v over wind vectors drawn in knots gives the wind as the map shows it: the
// earth-relative direction and the speed in knots, not the components along the grid in m/s.
// Far west of the central meridian the grid's axes are turned well away from north; the
// winds analysed as grid components ("wvect") and as earth components answer alike there.
TEST_F(Session, ValueQueryOverVectorsInThePlotsUnits) {
  struct Wind {
    float u = 0, v = 0, dir = -1, speed = -1;
  };
  auto wind_at = [&](const std::string& title, const std::string& request, Wind* w) {
    start(title, {"-va", request, "-of", "none"});
    wait_for_hold(60, 256);
    const RunResult r = finish();
    const std::size_t at = r.out.rfind("Grid: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string answer = r.out.substr(at, r.out.find('\n', at) - at);
    float col = 0, row = 0;
    char units[16] = "";
    ASSERT_EQ(std::sscanf(answer.c_str(), "Grid: %f,%f = %f,%f (%f deg %f %15s", &col, &row, &w->u, &w->v, &w->dir,
                          &w->speed, units),
              7)
        << answer;
    EXPECT_STREQ(units, "knt)") << answer;
    // The components are those of the direction and speed given.
    EXPECT_NEAR(std::hypot(w->u, w->v), w->speed, 0.02F) << answer;
    float from = static_cast<float>(std::atan2(-w->u, -w->v) * 180.0 / M_PI);
    if (from < 0) from += 360.0F;
    EXPECT_NEAR(from, w->dir, 0.6F) << answer;
  };
  Wind grid_rel, earth;
  wind_at("Vectors", "wvect", &grid_rel);
  wind_at("Earth", "wind<uwnd,vwnd>[knt:vect]", &earth);
  EXPECT_GT(earth.speed, 1.0F);
  EXPECT_NEAR(grid_rel.speed, earth.speed, 0.05F * earth.speed);
  float turn = std::fabs(grid_rel.dir - earth.dir);
  turn = std::min(turn, 360.0F - turn);
  EXPECT_LT(turn, 3.0F) << grid_rel.dir << " " << earth.dir;
}

// Alt-m writes the picture on the window to the metafile METAOUT names: after a series
// of two hours, the second hour's drawing (its date label), which the metafile replays.
TEST_F(Session, AltMWritesTheFrameAsAMetafile) {
  const std::string meta = dir_ + "/window.meta";
  env_["METAOUT"] = meta;
  start("Meta", {"-va", "temp", "-pl", "lcf", "-nh", "1", "-of", "none"});
  ASSERT_TRUE(press_until("m", 320, 256, [&] { return read_file(meta).find("\nTE ") != std::string::npos; }))
      << run_->output();
  sleep_ms(500);
  finish();
  const std::string text = read_file(meta);
  ASSERT_EQ(text.rfind("ZAVMETA\n", 0), 0U) << text.substr(0, 200);
  EXPECT_GT(count_of(text, "\nPL "), 100);
  EXPECT_GT(count_of(text, "\nFA "), 10);
  // One frame: the 13 UTC labels, not the 12 UTC ones.
  EXPECT_NE(text.find("13Z 14 MAR 26"), std::string::npos);
  EXPECT_EQ(text.find("12Z 14 MAR 26"), std::string::npos);
}

}  // namespace
