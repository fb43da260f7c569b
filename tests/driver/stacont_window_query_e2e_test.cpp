// End-to-end runs of the program on its window, under an X server of the test's own, for
// what the user asks of a finished plot: the values of a station-value plot at the
// pointer (Alt-v) and the picture as a metafile (Alt-m).
#include <gtest/gtest.h>  // first: Xlib's macros clash with GoogleTest's names

#include <X11/Xlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/run.h"
#include "tests/support/xvfb.h"

namespace {

const std::string kData = STACONT_DATA_DIR;

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class WindowQueryE2E : public WindowProgramTest {
 protected:
  // The program on its window, its answers line by line.
  std::unique_ptr<Background> start(const std::string& title, std::vector<std::string> extra) {
    std::vector<std::string> a = {"-oL", STACONT_BINARY, "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031412",
                                  "-pd", "us", "-of", "none", "-de", "x", "-ti", title};
    a.insert(a.end(), extra.begin(), extra.end());
    return std::make_unique<Background>("/usr/bin/stdbuf", a, env_, dir_);
  }
  // Presses Alt and the key over the window until done() (keys reach the plot only once
  // it holds); false when it never is.
  template <typename Done>
  bool ask(Window w, const char* key, int x, int y, Done done) {
    pointer_to(me_, w, x, y);
    for (int tries = 0; tries < 40; ++tries) {
      press_key(me_, key, true);
      for (int i = 0; i < 20; ++i) {
        if (done()) return true;
        sleep_ms(50);
      }
    }
    return false;
  }
};

// Alt-v over a station model names the nearest station and gives its values, each as
// "name=value", instead of an empty text.
TEST_F(WindowQueryE2E, ValueQueryOverStationValues) {
  auto run = start("Stations", {"-va", "temp_s,dewp_s"});
  const Window w = find_window(me_, "Stations");
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(ask(w, "v", 320, 256, [&] { return run->output().find("Id: ") != std::string::npos; }))
      << run->output();
  sleep_ms(500);
  press_key(me_, "Return");
  const RunResult r = run->wait(60);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string out = r.out;
  const std::size_t at = out.rfind("Id: ");
  ASSERT_NE(at, std::string::npos) << out;
  const std::string answer = out.substr(at, out.find('\n', out.find("dewp", at)) - at);
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
TEST_F(WindowQueryE2E, ValueQueryOverVectorsInThePlotsUnits) {
  struct Wind {
    float u = 0, v = 0, dir = -1, speed = -1;
  };
  auto wind_at = [&](const std::string& title, const std::string& request, Wind* w) {
    auto run = start(title, {"-va", request});
    const Window win = find_window(me_, title);
    ASSERT_NE(win, 0u);
    ASSERT_TRUE(ask(win, "v", 60, 256, [&] { return run->output().find("Grid: ") != std::string::npos; }))
        << run->output();
    sleep_ms(500);
    press_key(me_, "Return");
    const RunResult r = run->wait(60);
    ASSERT_EQ(r.status, 0) << r.err;
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
TEST_F(WindowQueryE2E, AltMWritesTheFrameAsAMetafile) {
  const std::string meta = dir_ + "/window.meta";
  env_["METAOUT"] = meta;
  auto run = start("Meta", {"-va", "temp", "-in", "5", "-pl", "lcf", "-nh", "1"});
  const Window w = find_window(me_, "Meta");
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(ask(w, "m", 320, 256, [&] { return read_file(meta).find("\nTE ") != std::string::npos; }))
      << run->output();
  sleep_ms(500);
  press_key(me_, "Return");
  const RunResult r = run->wait(60);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = read_file(meta);
  ASSERT_EQ(text.rfind("ZAVMETA\n", 0), 0U) << text.substr(0, 200);
  EXPECT_GT(count_of(text, "\nPL "), 100);
  EXPECT_GT(count_of(text, "\nFA "), 10);
  // One frame: the 13 UTC labels, not the 12 UTC ones.
  EXPECT_NE(text.find("13Z 14 MAR 26"), std::string::npos);
  EXPECT_EQ(text.find("12Z 14 MAR 26"), std::string::npos);
}

}  // namespace
