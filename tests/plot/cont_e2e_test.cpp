// The sample's sea-level pressure as the main job draws it: filled bands with labelled
// isobars, the low marked at the cyclone, the colour bar's levels those of the isobars, and
// a page that Ghostscript renders in the band colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/graphics/gks_render.h"
#include "tests/plot/cont_texts.h"
#include "tests/support/run.h"

namespace {

const std::string kData = STACONT_DATA_DIR;

using Text = PsText;

bool is_number(const std::string& s) {
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return !s.empty() && end != nullptr && *end == '\0';
}

TEST(ContE2E, SamplePressureMapAtFifteenUtc) {
  const std::string dir = make_temp_dir("cont_e2e"), ps = dir + "/p.ps";
  const RunResult r = run_stacont({"-ba", "-fp", kData, "-if", "sfc_sample", "-cu", "#2026031415", "-pd", "us", "-va",
                                   "pralt", "-fm", "lcf:in=4:cb=980:lab=1.6", "-pp", "gridx2", "-of", "none", "-de",
                                   "p," + ps + ",color"},
                                  "", clean_env(dir + "/none"), dir, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<Text> t = ps_texts(ps);
  // The low: an "L" with its pressure below it, the lowest of the map. The buddy check
  // drops the pressures that mountain stations reduce from their altimeters (KBTM, KRIW,
  // KSLC, bullseyes 5 to 11 mb below their neighbours), which leaves the weak Great Basin
  // low (1013 mb) a closed minimum of its own.
  int lows = 0, deep = 0;
  for (std::size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i].s != "L") continue;
    ++lows;
    ASSERT_TRUE(is_number(t[i + 1].s)) << t[i + 1].s;
    deep += std::stof(t[i + 1].s) < 1000.0F;
    EXPECT_LT(std::stof(t[i + 1].s), 1016.0F);
    EXPECT_LT(t[i + 1].y, t[i].y);
  }
  EXPECT_EQ(deep, 1);
  EXPECT_LE(lows, 2);
  // Isobar labels are multiples of 4 mb; the bar's texts, on one line at the bottom, run
  // by 4 mb from the lowest band to the top of the highest.
  // The bar's texts are the longest run of numbers written one after another on one line.
  std::size_t best = 0, best_len = 0;
  for (std::size_t i = 0; i < t.size();) {
    std::size_t j = i;
    while (j < t.size() && is_number(t[j].s) && t[j].y == t[i].y) ++j;
    if (j - i > best_len) best = i, best_len = j - i;
    i = std::max(j, i + 1);
  }
  std::vector<float> bar, isobars;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (!is_number(t[i].s)) continue;
    (i >= best && i < best + best_len ? bar : isobars).push_back(std::stof(t[i].s));
  }
  ASSERT_GE(bar.size(), 8U);
  for (std::size_t i = 1; i < bar.size(); ++i) EXPECT_FLOAT_EQ(bar[i] - bar[i - 1], 4.0F);
  EXPECT_LE(bar.front(), 992.0F);
  EXPECT_GE(bar.back(), 1032.0F);
  std::set<float> labelled;
  for (float v : isobars)
    if (std::fmod(v, 4.0F) == 0.0F) labelled.insert(v);
  EXPECT_GE(labelled.size(), 8U);  // 996 .. 1028 at least

  // The rendered page: many band colours, not one flat fill.
  const Picture pic = render_ps(ps, false, 30);
  ASSERT_GT(pic.width, 0);
  std::set<long> colours;
  for (std::size_t p = 0; p + 2 < pic.rgb.size(); p += 3)
    colours.insert((pic.rgb[p] << 16) | (pic.rgb[p + 1] << 8) | pic.rgb[p + 2]);
  EXPECT_GE(colours.size(), 10U);
}

}  // namespace
