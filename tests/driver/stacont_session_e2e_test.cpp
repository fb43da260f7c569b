// The window as a forecaster drives it, under an X server of the test's own and with
// xdotool, the same tool a user's scripts use: a zoom box dragged with shift held to the
// end, queries on the frames of a loop, the original map after a zoom, the key of each
// plot, the fronts of each hour, and a window that another client destroys.
#include <gtest/gtest.h>  // first: Xlib's macros clash with GoogleTest's names

#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/run.h"
#include "tests/support/xvfb.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = STACONT_DATA_DIR;
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

// A grid file of the package format: its size and values, top row first.
struct Grid {
  int nx = 0, ny = 0;
  std::vector<float> v;
  float at(int x, int y) const { return v[static_cast<std::size_t>(y) * nx + x]; }
  // The bilinear value at grid column c and row r, as the query computes it.
  float bilinear(float c, float r) const {
    const int i = std::clamp(static_cast<int>(c), 0, nx - 2), j = std::clamp(static_cast<int>(r), 0, ny - 2);
    const float fx = c - i, fy = r - j;
    return (1 - fy) * ((1 - fx) * at(i, j) + fx * at(i + 1, j)) + fy * ((1 - fx) * at(i, j + 1) + fx * at(i + 1, j + 1));
  }
};

Grid read_grid(const std::string& path) {
  Grid g;
  std::istringstream in(read_file(path));
  std::string line, proj;
  for (int i = 0; i < 4; ++i) std::getline(in, line);
  float lat = 0, lon = 0, dx = 0, dy = 0;
  in >> proj >> lat >> lon >> dx >> dy >> g.nx >> g.ny;
  if (!in || g.nx < 2 || g.ny < 2 || g.nx * g.ny > 1000000) return Grid{};
  g.v.resize(static_cast<std::size_t>(g.nx) * g.ny);
  for (float& x : g.v) in >> x;
  if (!in) return Grid{};
  return g;
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
  void start(const std::string& title, std::vector<std::string> extra, const std::string& answers = "") {
    std::vector<std::string> a = {"-oL", STACONT_BINARY, "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412",
                                  "-pd", "us", "-de", "x", "-ti", title, "-in", "5"};
    if (answers.empty() && std::find(extra.begin(), extra.end(), "-va") == extra.end())
      a.insert(a.end(), {"-va", "temp"});
    a.insert(a.end(), extra.begin(), extra.end());
    run_ = std::make_unique<Background>("/usr/bin/stdbuf", a, env_, dir_, answers);
    looping_ = true;
    w_ = find_window(me_, title);
    ASSERT_NE(w_, 0u) << run_->wait(5).err;
  }
  // xdotool with the test's display; its commands run in order, as a user's hands would.
  void xdo(const std::vector<std::string>& args) {
    const RunResult r = run_program(kXdotool, args, "", env_, "", 20);
    EXPECT_EQ(r.status, 0) << r.err;
  }
  std::string id() const { return std::to_string(w_); }
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
  // Keys reach the plot once its hold waits for them: Alt-v at (x, y) until it is answered.
  void wait_for_hold(int x, int y) {
    move(x, y);
    const int before = count("Id: ");
    for (int tries = 0; tries < 60 && count("Id: ") == before; ++tries) {
      xdo({"key", "alt+v"});
      for (int i = 0; i < 10 && count("Id: ") == before; ++i) sleep_ms(50);
    }
    ASSERT_GT(count("Id: "), before) << run_->output();
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
  // A picture of the window once it stays the same for half a second.
  XPicture settled() {
    XPicture last = grab(me_, w_);
    for (int i = 0; i < 60; ++i) {
      sleep_ms(500);
      XPicture now = grab(me_, w_);
      if (now.rgb == last.rgb) return now;
      last = std::move(now);
    }
    return last;
  }
  // Stops the loop (button 2 until the title stays) unless it was stopped since the last
  // plot, and steps to frame n (button 3).
  void show_frame(const std::string& title, int n) {
    move(320, 256);
    if (!looping_) {
      step_to(title, n);
      return;
    }
    looping_ = false;
    auto name_changes = [&](double seconds) {
      const std::string before = window_name(me_, w_);
      const auto start = std::chrono::steady_clock::now();
      while (since(start) < seconds)
        if (window_name(me_, w_) != before) return true;
        else sleep_ms(20);
      return false;
    };
    for (int tries = 0; tries < 5 && name_changes(1.5); ++tries) {
      xdo({"click", "2"});
      sleep_ms(300);
    }
    ASSERT_FALSE(name_changes(1.5)) << "the loop does not stop";
    step_to(title, n);
  }
  void step_to(const std::string& title, int n) {
    const std::string want = title + " [" + std::to_string(n) + "]";
    for (int step = 0; step < 12 && window_name(me_, w_) != want; ++step) {
      const std::string before = window_name(me_, w_);
      xdo({"click", "3"});
      for (int i = 0; i < 200 && window_name(me_, w_) == before; ++i) sleep_ms(20);
    }
    ASSERT_EQ(window_name(me_, w_), want);
  }
  void save(const XPicture& p, const std::string& name) {
    const std::string path = dir_ + "/" + name;
    if (!save_png(p, path)) ADD_FAILURE() << "cannot write " << path;
  }

  std::unique_ptr<Background> run_;
  Window w_ = 0;
  // A sequence loops after each plot (a zoom draws the plot anew).
  bool looping_ = true;
};

// A window destroyed by another client ends the run as a lost display does: status 4 and
// a message, on a single plot and on a loop, instead of a hold that waits for ever.
TEST_F(Session, AWindowDestroyedByAnotherClientEndsTheRun) {
  for (const std::vector<std::string>& extra : {std::vector<std::string>{"-pl", "ln"},
                                                std::vector<std::string>{"-pl", "ln", "-nh", "2"}}) {
    SCOPED_TRACE(extra.size());
    start("Gone", extra);
    wait_for_hold(320, 256);
    xdo({"windowclose", id()});
    const RunResult r = run_->wait(30);
    EXPECT_EQ(r.status, 4) << r.err;
    const std::string message = "X11 error: the window was destroyed by another client\n";
    EXPECT_TRUE(r.err.size() >= message.size() && r.err.compare(r.err.size() - message.size(), message.size(), message) == 0)
        << r.err;
    run_.reset();
  }
}

// Shift held from the press to after the release: the box zooms the map (the release
// comes named "B1-R-Shft"), and the next plain click is only a click.
TEST_F(Session, ShiftHeldThroughTheReleaseZoomsToTheBox) {
  start("Box", {"-pl", "ln"});
  wait_for_hold(320, 256);
  const XPicture before = settled();
  move(330, 120);
  xdo({"keydown", "shift", "mousedown", "1", "mousemove", "--window", id(), "420", "190", "mousemove", "--window", id(),
       "520", "260", "mouseup", "1", "keyup", "shift"});
  ASSERT_TRUE(wait_for("New domain: ", 1)) << run_->output();
  const XPicture zoomed = settled();
  save(zoomed, "zoomed.png");
  EXPECT_GT(differing(before, zoomed), 20000);
  // A plain click afterwards starts no box and ends none.
  move(100, 400);
  xdo({"click", "1"});
  sleep_ms(2000);
  EXPECT_EQ(count("New domain: "), 1) << run_->output();
  EXPECT_EQ(differing(zoomed, settled()), 0);
  xdo({"key", "Return"});
  const RunResult r = run_->wait(30);
  EXPECT_EQ(r.status, 0) << r.err;
}

// Alt-u after a box zoom in a loop gives back the original map with all that was chosen
// from it: frame 0 (12 UTC) is the same picture, pixel for pixel, as before the zoom (the
// zoomed domain analyses more stations; those must not stay in).
TEST_F(Session, AltUInALoopRestoresTheOriginalMap) {
  start("Undo", {"-pl", "ln", "-nh", "2"});
  wait_for_hold(320, 256);
  show_frame("Undo", 0);
  const XPicture original = settled();
  move(330, 120);
  xdo({"keydown", "shift", "mousedown", "1", "keyup", "shift", "mousemove", "--window", id(), "420", "190",
       "mousemove", "--window", id(), "520", "260", "mouseup", "1"});
  ASSERT_TRUE(wait_for("New domain: ", 1)) << run_->output();
  looping_ = true;
  show_frame("Undo", 0);
  const XPicture zoomed = settled();
  EXPECT_GT(differing(original, zoomed), 20000);
  move(320, 256);
  xdo({"key", "alt+u"});
  ASSERT_TRUE(wait_for("Original domain: ", 1)) << run_->output();
  looping_ = true;
  show_frame("Undo", 0);
  const XPicture back = settled();
  save(original, "original.png");
  save(back, "back.png");
  EXPECT_EQ(differing(original, back), 0);
  xdo({"key", "Return"});
  const RunResult r = run_->wait(30);
  EXPECT_EQ(r.status, 0) << r.err;
}

// Alt-v on a frame of a loop reads the grid of that frame's hour: frame 0 shows 12 UTC,
// frame 5 17 UTC; each answer is the bilinear value of the grid the run wrote for its hour.
TEST_F(Session, AQueryInALoopReadsTheFrameShown) {
  start("Hours", {"-pl", "ln", "-nh", "5", "-of", "zav", "-gp", dir_ + "/grids"});
  wait_for_hold(320, 256);
  for (const int frame : {0, 5, 2}) {
    SCOPED_TRACE(frame);
    show_frame("Hours", frame);
    save(settled(), "hours" + std::to_string(frame) + ".png");
    const std::string answer = query(300, 250);
    float c = 0, r = 0, v = 0;
    ASSERT_TRUE(last_query(answer, &c, &r, &v)) << answer;
    char hour[64];
    std::snprintf(hour, sizeof hour, "/grids/20260314%02d_temp.grd", 12 + frame);
    const Grid g = read_grid(dir_ + hour);
    ASSERT_EQ((std::vector{g.nx, g.ny}), (std::vector{25, 17})) << hour;
    EXPECT_NEAR(v, g.bilinear(c, r), 0.05F) << answer;
  }
  xdo({"key", "Return"});
  const RunResult r = run_->wait(30);
  EXPECT_EQ(r.status, 0) << r.err;
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
    xdo({"key", "Return"});
    const RunResult r = run_->wait(30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    run_.reset();
    if (!every_hour) {
      save(frames[1], "front13.png");
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
  // The window stays for the next plot; each plot's hold answers a query once it is drawn.
  std::vector<XPicture> session;
  for (std::size_t k = 0; k <= later.size(); ++k) {
    SCOPED_TRACE(k);
    wait_for_hold(320, 256);
    session.push_back(settled());
    xdo({"key", "Return"});
  }
  RunResult r = run_->wait(30);
  ASSERT_EQ(r.status, 0) << r.err;
  save(session[1], "line_after_fill.png");
  for (std::size_t k = 0; k < later.size(); ++k) {
    SCOPED_TRACE(later[k]);
    start("Key", {"-va", later[k]});
    wait_for_hold(320, 256);
    const XPicture alone = settled();
    xdo({"key", "Return"});
    r = run_->wait(30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(differing(alone, session[k + 1]), 0);
    EXPECT_GT(differing(alone, session[0]), 20000);
  }
}

// A zoom, Alt-u and a resize draw the plot again with the answers it was given at the
// terminal: the contour type is asked once, and the window is redrawn at once instead of
// waiting on a question at the terminal (whose end of input would end the run).
TEST_F(Session, ARedrawKeepsThePlotsAnswers) {
  const std::string asked = "Color fill (C) or Line (L) contours: ";
  start("Again", {"-va", "temp"}, "l\n");
  wait_for_hold(320, 256);
  const XPicture original = settled();
  move(330, 120);
  xdo({"keydown", "shift", "mousedown", "1", "mousemove", "--window", id(), "420", "190", "mousemove", "--window", id(),
       "520", "260", "mouseup", "1", "keyup", "shift"});
  ASSERT_TRUE(wait_for("New domain: ", 1)) << run_->output();
  const XPicture zoomed = settled();
  save(zoomed, "zoomed_lines.png");
  EXPECT_GT(differing(original, zoomed), 20000);
  move(320, 256);
  xdo({"key", "alt+u"});
  ASSERT_TRUE(wait_for("Original domain: ", 1)) << run_->output();
  EXPECT_EQ(differing(original, settled()), 0);
  xdo({"windowsize", id(), "720", "576"});
  const XPicture resized = settled();
  save(resized, "resized_lines.png");
  EXPECT_EQ(resized.width, 720);
  EXPECT_EQ(count(asked), 1) << run_->output();
  EXPECT_EQ(count("Enter the contour interval: "), 0) << run_->output();
  xdo({"key", "Return"});
  const RunResult r = run_->wait(30);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count_of(r.out, asked), 1) << r.out;
  EXPECT_EQ(r.err.find("End of input"), std::string::npos) << r.err;
}

// Alt-e and Alt-s that cannot change anything say why: in a loop, and over the title
// above the grid (where no new value is asked for).
TEST_F(Session, EditAndSaveSayWhyNothingChanged) {
  const std::string prompt = "Enter the new grid value: ";
  start("Loop", {"-pl", "ln", "-nh", "1"});
  wait_for_hold(320, 256);
  move(320, 256);
  xdo({"key", "alt+e"});
  xdo({"key", "alt+s"});
  EXPECT_NE(query(320, 256), "");
  xdo({"key", "Return"});
  RunResult r = run_->wait(30);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Alt-e: no grid value changed: the hours of a loop are not edited (plot one hour)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Alt-s: no grid saved: the hours of a loop are not saved (plot one hour)\n"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.out.find(prompt), std::string::npos);
  run_.reset();

  // Over the grid the value is still asked for and set.
  start("Title", {"-pl", "ln", "-va", "temp"}, "42\n");
  wait_for_hold(320, 256);
  move(320, 10);
  xdo({"key", "alt+e"});
  EXPECT_NE(query(320, 256), "");
  EXPECT_EQ(run_->output().find(prompt), std::string::npos) << run_->output();
  move(320, 256);
  xdo({"key", "alt+e"});
  EXPECT_TRUE(wait_for(prompt + "Grid:  12.02,  8.02 =  41.53\n", 1)) << run_->output();
  xdo({"key", "Return"});
  r = run_->wait(30);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Alt-e: no grid value changed: the pointer is outside the grid\n"), std::string::npos) << r.err;
  EXPECT_EQ(count_of(r.out, prompt), 1) << r.out;
}

// "-pp refresh" on a fixed hour watches that hour's file: a file of the hour shown that
// changes (a late report, a correction) is drawn again within a minute, where the clock's
// current hour (which has no file) was looked for before.
TEST_F(Session, RefreshOnAFixedHourRereadsTheHourShown) {
  const std::string data = dir_ + "/data";
  fs::copy(kData, data, fs::copy_options::recursive);
  const std::vector<std::string> a = {"-oL", STACONT_BINARY, "-fp", data, "-if", "sfc_sample", "-cu", "#2026031412",
                                      "-pd", "us", "-de", "x", "-ti", "Watch", "-in", "5", "-pl", "ln", "-va", "temp",
                                      "-pp", "refresh"};
  run_ = std::make_unique<Background>("/usr/bin/stdbuf", a, env_, dir_);
  looping_ = false;
  w_ = find_window(me_, "Watch");
  ASSERT_NE(w_, 0u) << run_->wait(5).err;
  wait_for_hold(320, 256);
  const XPicture before = settled();
  const int plotted = count("plot frame");
  // The 12 UTC file now holds other observations (those of 13 UTC).
  fs::copy_file(data + "/sample/2026031413.sfc", data + "/sample/2026031412.sfc", fs::copy_options::overwrite_existing);
  fs::last_write_time(data + "/sample/2026031412.sfc", fs::file_time_type::clock::now());
  ASSERT_TRUE(wait_for("plot frame", plotted + 1, 90.0)) << run_->output();
  const XPicture after = settled();
  save(after, "refreshed.png");
  EXPECT_GT(differing(before, after), 2000);
  xdo({"key", "Return"});
  const RunResult r = run_->wait(30);
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
