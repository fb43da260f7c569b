// Pieces shared by the end-to-end tests that run the program on the sample: its batch
// arguments, the package's text grid files read back, and pages compared or counted.
#pragma once
#include <string>
#include <vector>

#include "tests/graphics/gks_render.h"
#include "tests/support/program.h"
#include "tests/support/run.h"

inline const std::string kData = STACONT_DATA_DIR;

// A batch run of the sample's hour over a named domain for one variable, then extra.
std::vector<std::string> sample_args(const std::string& variable, const std::vector<std::string>& extra = {},
                                     const std::string& hour = "#2026031412", const std::string& domain = "us");
// The same run given its hour without the "#" (such as "2026031412"), with more arguments
// (the variable among them, or none for the runs that need none).
std::vector<std::string> sample_args(const std::string& hour, const std::string& domain,
                                     const std::vector<std::string>& more);

// A file of tests/data/driver.
std::string data_file(const std::string& name);
// Words apart by blanks.
std::vector<std::string> words(const std::string& text);

// A grid file of the package's text form: its size and values, the top row first.
struct TextGrid {
  int nx = 0, ny = 0;
  std::vector<float> v;
  float at(int i, int row) const { return v[static_cast<std::size_t>(row) * nx + i]; }
  // The bilinear value at grid column c and row r, as the value query computes it.
  float bilinear(float c, float r) const;
};
// Empty (nx 0) when the file is short or not a grid.
TextGrid read_text_grid(const std::string& path);

// How much of two pictures agree: a pixel of one matches when the other has its colour
// (within what two renderers round apart) within one pixel, or, with blends, when it is
// an antialiased mix of two colours that meet there.
struct Match {
  double all = 0;  // share of every pixel
  double ink = 0;  // share of the pixels that are not white in either picture
};
// Only the pixels of a inside x0..x1, y0..y1 count.
struct Area {
  int x0 = 0, y0 = 0, x1 = 1 << 20, y1 = 1 << 20;
};
// a against b moved by (dx, dy).
Match compare_pictures(const Picture& a, const Picture& b, int dx, int dy, bool blends, const Area& area = {});
// The best match over shifts of up to two pixels, chosen by plain colour matching on
// all pixels (or on the drawn ones, by_ink), then measured with or without blends.
Match best_match(const Picture& a, const Picture& b, bool blends, bool by_ink = false, const Area& area = {});
// The landscape PostScript page at 72 dpi turned upright, w by h: pixel (x, y) is the
// page's column y + 19 and row 774 - x (a quarter inch from the letter page's edges).
Picture upright(const Picture& page, int w, int h);
