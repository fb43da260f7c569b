// Shared set-up of the graphics kernel tests: a clean kernel with its error stream on the
// standard error, workstations opened on the recording devices, and the calls they kept.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "tests/support/run.h"

class GksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_clear();
    FLAG_reset(-9999);
    MESS_reset();
    unsetenv("zavprint");
    // Window workstations must not find the display of whoever runs the tests.
    setenv("DISPLAY", "", 1);
    gopen_gks(nullptr, 0);
    gset_redraw(0);
    gdev_clear_calls();
  }
  void TearDown() override {
    if (gchk_graphics()) gclose_ws(1);
    gclose_gks();
    gset_display_optional(0);
    gset_redraw(0);
    CLR_clear_table();
    for (int type : {WS_META, WS_PS, WS_HPGL}) gdev_register(type, nullptr);
  }

 public:
  // Opens a workstation of type on its recording device (the window types without a
  // display), with the package colour table defined, and forgets the calls so far.
  static void open(int type, const char* device = "") {
    gset_display_optional(1);
    if (type == WS_META || type == WS_PS || type == WS_HPGL) gdev_register(type, gdev_recorder());
    testing::internal::CaptureStderr();
    ASSERT_EQ(gopen_ws(1, device, type), 0);
    testing::internal::GetCapturedStderr();
    CLR_read_table(STACONT_DATA_DIR "/zav.clr");
    for (int i = 0; i < CLR_get_num(); ++i) {
      float c[3];
      CLR_get_rgb(i, &c[0], &c[1], &c[2]);
      gset_colr_rep(1, i, c);
    }
    gdev_clear_calls();
  }
  // The kept calls with one code.
  static std::vector<GksCall> calls(int code) {
    std::vector<GksCall> out;
    for (const GksCall& c : gdev_calls())
      if (c.code == code) out.push_back(c);
    return out;
  }
};

// The file writers' tests: a folder of their own, none of the user's writer settings or
// resource files, and no messages.
class WriterTest : public GksTest {
 protected:
  void SetUp() override {
    GksTest::SetUp();
    dir_ = make_temp_dir("gks_writer");
    for (const char* v : {"zavps_param", "zavps_geometry", "PSGEOMETRY", "PSCOLOR", "zavps_print", "PSPRINT",
                          "zavhp_param", "zavhp_geometry", "zavhp_out", "zavmeta_out"})
      unsetenv(v);
    setenv("zavdefault", (dir_ + "/none").c_str(), 1);
    MESS_set(0, 0);
  }
  // Opens the writer of type on dir/name with options, runs draw, closes; the file's path.
  std::string make(int type, const std::string& name, const std::string& options, const std::function<void()>& draw) {
    const std::string path = dir_ + "/" + name;
    EXPECT_EQ(gopen_ws(1, (path + options).c_str(), type), 0);
    draw();
    EXPECT_EQ(gclose_ws(1), 0);
    return path;
  }
  std::string dir_;
};

