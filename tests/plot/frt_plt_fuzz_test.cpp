// Hostile frontal bulletins: seeded mutations of the real bulletins (both resolutions) and
// the sample's, read and drawn over the United States map on the recording device. None may
// crash (the sanitizer build aborts), take long, or draw or read a point that is not a
// finite number.
//
// STACONT_FUZZ_COUNT sets the number of inputs (two hundred by default), STACONT_FUZZ_FIRST
// the index of the first; STACONT_FUZZ_SAVE names a file that holds each bulletin while it is
// drawn. Input i is the same on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "config/mess.h"
#include "plot/frt_plt.h"
#include "plot/wx_symb.h"
#include "tests/plot/map_fixture.h"
#include "tests/support/capture.h"
#include "tests/support/mutate.h"
#include "tests/support/run.h"

namespace {

// Groups a bulletin reader must refuse or bound.
const std::vector<std::string> kTokens = {
    "99999999999999999999", "1e999", "-0", "-1", "nan", "2147483648", "9999999", "0000000", "9009999", "99999", "9999",
    "0000", "00000", "999", "0", "1090", "849", "VALID", "VALID 000000Z", "VALID 999999Z", "VALID 009999Z",
    "VALID 0099", "VALID 143199Z", "12HR PROG VALID 999999Z", "99999999HR PROG VALID", "-12HR", "HR", "$$", "HIGHS",
    "LOWS", "COLD", "WARM", "OCFNT", "STNRY", "TROF", "WK", "MDT", "STG", "DIFFUSE", "HURRICANE", "TROPICAL STORM",
    "PSN", "HURRICANE ALEX PSN", "HURRICANE PSN NINETY NINE THOUSAND NORTH ONE MILLION WEST",
    "PSN POINT POINT POINT NORTH", "HUNDRED HUNDRED HUNDRED THOUSAND", "NORTH", "SOUTH", "EAST", "WEST",
    "POINT FIVE", "CODED SURFACE FRONTAL POSITIONS", "ASUS02 KWBC 999999", "\x01", "\x03", ""};

bool finite(float v) { return std::isfinite(v); }

class FrtFuzz : public MapTest {
 protected:
  void SetUp() override {
    MapTest::SetUp();
    setup(us());
    CaptureStderr();
    WX_symb_file(STACONT_DATA_DIR "/wx.smb");
    GetCapturedStderr();
  }
  // Draws and reads a bulletin for date with the options params; what is wrong ("" when
  // nothing is).
  std::string draw(const std::string& text, const DateRec& date, const char* params) {
    write("b.frt", text);
    FRT_set_date(&date);
    RES_put("plot_param", params);
    gdev_clear_calls();
    const auto t0 = std::chrono::steady_clock::now();
    // Messages silenced rather than captured: a captured standard error would hide a
    // sanitizer's report.
    MESS_set_out(0);
    const int drawn = FRT_plot_file(path("b.frt").c_str());
    FrtBulletin read;
    const int got = FRT_read_file(path("b.frt").c_str(), &read);
    MESS_set_out(1);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (took > 2.0) return "took " + std::to_string(took) + " s";
    if (drawn + got != 2) return "not read";
    for (const GksCall& c : gdev_calls())
      for (const float v : c.values)
        if (!finite(v)) return "drew " + std::to_string(v);
    auto place = [](float lat, float lon) { return finite(lat) && finite(lon) && std::fabs(lat) <= 90; };
    auto at = [](float lat, float lon) { return std::to_string(lat) + "," + std::to_string(lon); };
    for (const FrtFront& f : read.fronts) {
      if (f.lat.size() != f.lon.size()) return "front of unequal lists";
      for (std::size_t k = 0; k < f.lat.size(); ++k)
        if (!place(f.lat[k], f.lon[k])) return "front point " + at(f.lat[k], f.lon[k]);
    }
    for (const FrtCentre& c : read.centres)
      if (!place(c.lat, c.lon) || !finite(c.pres)) return "centre " + at(c.lat, c.lon);
    for (const FrtStorm& t : read.storms)
      if (!place(t.lat, t.lon)) return "storm " + t.name + " " + at(t.lat, t.lon);
    return "";
  }
  // Dates to draw for: the sections' own, one no section has, none at all, and nonsense.
  static constexpr DateRec kDates[] = {{2021, 6, 28, -9999, -9999, 18, 0, 0}, {2026, 3, 14, 73, 6, 12, 0, 0},
                                       {-9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999},
                                       {2026, 13, 99, 0, 0, 99, 99, 0}};
  static constexpr const char* kParams[] = {"",        "barb",    "noprlab,barb,prrad=0", "prrad=5",
                                            "hour=12", "hour=24,barb", "hour=999"};
};

TEST_F(FrtFuzz, MutatedBulletinsDrawSafely) {
  std::vector<std::string> seeds;
  for (const char* name : {"WPC_sfc_fronts_20210628_1800.txt", "WPC_sfc_fronts_lowres_20210628_1800.txt"}) {
    if (const std::string path = real_data(name); !path.empty()) seeds.push_back(read_file(path));
  }
  for (const char* name : {"2026031412.frt", "2026031400.frt"})
    seeds.push_back(read_file(STACONT_DATA_DIR "/sample/" + std::string(name)));
  seeds.push_back("CODED SURFACE FRONTAL POSITIONS\nVALID 141200Z\nHURRICANE ANDREW PSN TWENTY FIVE POINT FIVE NORTH\n"
                  "EIGHTY WEST\nTROPICAL STORM BOB PSN 30.5 NORTH ONE HUNDRED SEVENTY FIVE WEST MOVING NE\n"
                  "HIGHS 1030 40100\nOCFNT 41091 41089 40084\n12HR PROG VALID 150000Z\nLOWS 1000 4109\n$$\n");
  const long count = env_count("STACONT_FUZZ_COUNT", 200), first = env_count("STACONT_FUZZ_FIRST", 0);
  const char* save = std::getenv("STACONT_FUZZ_SAVE");
  for (long i = first; i < first + count; ++i) {
    std::mt19937_64 rng(0xf407u + static_cast<std::uint64_t>(i));
    const std::string text = mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], rng, kTokens);
    if (save) write_file(save, text), write_file(std::string(save) + ".meta", std::to_string(i) + " bulletin\n");
    const DateRec& date = kDates[rng() % std::size(kDates)];
    const std::string fault = draw(text, date, kParams[rng() % std::size(kParams)]);
    EXPECT_EQ(fault, "") << "input " << i;
  }
  std::printf("inputs: bulletin %ld\n", count);
}

}  // namespace
