#include "graphics/gks_dev.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/gks_line.h"
#include "tests/graphics/gks_fixture.h"

namespace {

// A writer plugged in for PostScript: sees the device string, its own surface, and each
// polyline in world and device coordinates; hooks it leaves null are skipped.
std::string opened;
std::vector<float> world, device;
int probe_open(int, const char* s) {
  opened = s;
  gset_win_size(101, 51);
  return 0;
}
void probe_line(int n, const float* w, const float* d) {
  world.assign(w, w + 2 * n);
  device.assign(d, d + 2 * n);
}
const GksDevice probe{.name = "probe", .open = probe_open, .polyline = probe_line};

using Dev = GksTest;

TEST_F(Dev, WritersPlugInPerType) {
  EXPECT_EQ(gdev_get(2), nullptr);  // no workstation type 2
  const GksDevice* builtin = gdev_get(WS_PS);
  EXPECT_EQ(gdev_register(WS_PS, &probe), builtin);
  ASSERT_EQ(gopen_ws(1, "out.ps,eps", WS_PS), 0);
  EXPECT_EQ(opened, "out.ps,eps");
  EXPECT_EQ(gdev_cur(), &probe);
  const float l[4] = {0, 0, 1, 0.5F};
  EXPECT_EQ(gpolyline(2, l), 0);
  EXPECT_EQ(world, std::vector<float>(l, l + 4));
  EXPECT_EQ(device, (std::vector<float>{0, 0, 50, 25}));  // 100 by 50 units, unit square 50 by 50
  EXPECT_EQ(gset_linetype(3), 0);  // no state hook: the kernel keeps the value
  EXPECT_EQ(gget_line_type(), 3);
  EXPECT_TRUE(gdev_calls().empty());
  gclose_ws(1);
  gdev_register(WS_PS, nullptr);
  EXPECT_EQ(gdev_get(WS_PS), builtin);
}

}  // namespace
