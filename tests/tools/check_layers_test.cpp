// The layer check: it passes on a tree whose includes go down and names every include
// of a higher layer, in the program and in its tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;

class CheckLayers : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = make_temp_dir("check_layers");
    fs::create_directories(root_ + "/cmake");
    fs::copy_file(std::string(STACONT_SOURCE_DIR) + "/cmake/layers.cmake", root_ + "/cmake/layers.cmake");
    for (const char* dir : {"config", "files", "plot", "surface", "tests/config", "tests/plot"})
      fs::create_directories(root_ + "/" + dir);
    write_file(root_ + "/config/low.h", "#pragma once\nint low();\n");
    write_file(root_ + "/config/low.cpp", "#include \"config/low.h\"\nint low() { return 1; }\n");
    write_file(root_ + "/files/mid.h", "#pragma once\n#include \"config/low.h\"\n");
    write_file(root_ + "/plot/maptran.h", "#pragma once\n#include \"files/mid.h\"\n");
    write_file(root_ + "/plot/map.cpp", "#include \"plot/maptran.h\"\n#include \"surface/top.h\"\n");
    write_file(root_ + "/surface/top.h", "#pragma once\n#include <cstdio>\n#include \"plot/maptran.h\"\n");
    write_file(root_ + "/tests/plot/maptran_test.cpp", "#include \"plot/maptran.h\"\n");
  }
  RunResult check() {
    return run_program("/usr/bin/env", {"cmake", "-DSOURCE_DIR=" + root_, "-P",
                                        std::string(STACONT_SOURCE_DIR) + "/tools/check_layers.cmake"});
  }
  std::string root_;
};

TEST_F(CheckLayers, PassesWhenIncludesGoDown) {
  const RunResult r = check();
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("every include goes down"), std::string::npos) << r.out;
}

TEST_F(CheckLayers, NamesEachIncludeOfAHigherLayer) {
  // The runtime layer may not use the file layer; geography (plot/maptran) may not use
  // surface data; a test may include no more than the module it tests.
  write_file(root_ + "/config/low.cpp", "#include \"config/low.h\"\n\n#include \"files/mid.h\"\nint low() { return 1; }\n");
  write_file(root_ + "/plot/maptran.h", "#pragma once\n#include \"files/mid.h\"\n#include \"surface/top.h\"\n");
  write_file(root_ + "/tests/config/low_test.cpp", "#include \"config/low.h\"\n#include \"plot/maptran.h\"\n");
  const RunResult r = check();
  EXPECT_NE(r.status, 0);
  const std::string all = r.out + r.err;
  for (const char* line : {"config/low.cpp:3: runtime includes files/mid.h (files)\n",
                           "plot/maptran.h:3: geography includes surface/top.h (surface)\n",
                           "tests/config/low_test.cpp:2: runtime includes plot/maptran.h (geography)\n",
                           "3 include(s) of a higher layer"})
    EXPECT_NE(all.find(line), std::string::npos) << line << "\n" << all;
  // The plot layer above them all includes what it likes below it.
  EXPECT_EQ(all.find("plot/map.cpp"), std::string::npos) << all;
}

TEST_F(CheckLayers, RefusesALayerTableThatGoesRoundInACircle) {
  write_file(root_ + "/cmake/layers.cmake",
             read_file(root_ + "/cmake/layers.cmake") + "set(STACONT_LAYER_runtime_USES driver)\n");
  const RunResult r = check();
  EXPECT_NE(r.status, 0);
  EXPECT_NE((r.out + r.err).find("layer runtime uses itself through"), std::string::npos) << r.out << r.err;
}

}  // namespace
