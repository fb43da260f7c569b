// End-to-end runs on the raster device: the main job's pressure page as PNG against the
// same page on PostScript rendered by Ghostscript, as PDF through Ghostscript and as SVG
// through rsvg-convert; the table of raster runs besides.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/driver_runs.h"
#include "tests/support/e2e.h"

namespace {

namespace fs = std::filesystem;

// The main job's pressure map (scripts/run.sh) at 12 UTC; no device: the window of a
// batch run.
std::vector<std::string> pressure_args(const std::string& device) {
  std::vector<std::string> a = sample_args(
      "pralt", {"-fm", "lcf:in=4:cb=980:wi=2:lab=1.6:sc=1.2", "-cof",
                "#3b3fb0,#4a4fc4,#5d7fe0,#78a3ec,#98c0f0,#b7d6f4,#d3e8f6,#eaf4f4,#f7f4e6,#f8e0a8,#f5c57f,#f0a35c,"
                "#e77e47,#d85a3a,#c23b33",
                "-pp", "gridx2", "-of", "none", "-de", device});
  return a;
}

std::string identify(const std::string& file) {
  const RunResult r = run_program("/usr/bin/identify", {"-format", "%m %wx%h", file}, "", {}, "", 30);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

class RasterE2E : public ProgramTest {
 protected:
  RunResult run(const std::vector<std::string>& args) const {
    RunResult r = run_stacont(args, "", env_, dir_, 120);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r;
  }
};

// The page without Ghostscript equals the page through it: at 756 by 576 pixels the PNG
// is the PostScript surface at 72 dpi. PDF (through Ghostscript) and SVG (through
// rsvg-convert) show the PNG's picture.
TEST_F(RasterE2E, PressurePageMatchesPostScriptPdfAndSvg) {
  const std::string png = dir_ + "/pressure.png", ps = dir_ + "/pressure.ps", pdf = dir_ + "/p.pdf", svg = dir_ + "/p.svg";
  run(pressure_args("png," + png + ",756x576,inv"));
  run(pressure_args("p," + ps + ",color"));
  EXPECT_EQ(identify(png), "PNG 756x576");
  const Picture mine = read_png(png);
  ASSERT_EQ(mine.width, 756);
  const Picture page = upright(render_ps(ps, false), 756, 576);
  Match m = best_match(mine, page, true);
  EXPECT_GE(m.all, 0.97);
  EXPECT_GE(m.ink, 0.95);
  // The comparison tells pictures apart: the same map six hours later matches far less.
  std::vector<std::string> later = pressure_args("p," + dir_ + "/later.ps,color");
  later[std::find(later.begin(), later.end(), "-cu") - later.begin() + 1] = "#2026031418";
  run(later);
  const Match other = best_match(mine, upright(render_ps(dir_ + "/later.ps", false), 756, 576), true);
  EXPECT_LT(other.all, 0.97) << "the same map at 18 UTC";
  // Something is drawn: the filled map leaves little of the white page.
  long white = 0;
  for (std::size_t i = 0; i + 2 < mine.rgb.size(); i += 3) white += mine.rgb[i] == 255 && mine.rgb[i + 1] == 255 && mine.rgb[i + 2] == 255;
  EXPECT_LT(white, 756L * 576 / 2);

  run(pressure_args("pdf," + pdf + ",756x576,inv"));
  run(pressure_args("r," + svg + ",756x576,inv"));
  RunResult r = run_program("/usr/bin/gs", {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", pdf}, "", {}, "", 60);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out + r.err, "");
  r = run_program("/usr/bin/gs", {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r72",
                                  "-sOutputFile=" + pdf + ".png", pdf}, "", {}, "", 60);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const Picture from_pdf = read_png(pdf + ".png");
  ASSERT_EQ(from_pdf.width, 756);
  ASSERT_EQ(from_pdf.height, 576);
  m = best_match(mine, from_pdf, true);
  EXPECT_GE(m.all, 0.97) << "PDF";

  const std::string converter = fs::exists("/usr/bin/rsvg-convert") ? "/usr/bin/rsvg-convert" : "";
  if (converter.empty()) GTEST_SKIP() << "rsvg-convert is not installed";
  r = run_program(converter, {"-o", svg + ".png", svg}, "", {}, "", 60);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(identify(svg + ".png"), "PNG 756x576");
  m = best_match(mine, read_png(svg + ".png"), true);
  EXPECT_GE(m.all, 0.97) << "SVG";
}

// Numbered pages of an hour sequence and frames dumped without a display: the table
// tests/data/driver/raster.runs.
STACONT_RUNS_TABLE(RasterRuns, "raster.runs");

}  // namespace
