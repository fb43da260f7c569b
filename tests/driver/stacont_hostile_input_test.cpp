// Mistaken and hostile input given to the real program: every run ends within a few
// seconds with the message that names the fault and the status the README's table gives.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "graphics/gif.h"
#include "graphics/img_tool.h"
#include "graphics/png.h"
#include "tests/support/run.h"
#include "tests/support/xvfb.h"

namespace {

const std::string kData = STACONT_DATA_DIR;
// No run may take longer than this (they took minutes, or waited for ever, before); the
// sanitizers' builds run several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSeconds = 30.0;
#else
constexpr double kSeconds = 10.0;
#endif

std::string repeat(const std::string& s, int n, const std::string& sep) {
  std::string out;
  for (int i = 0; i < n; ++i) out += (i > 0 ? sep : "") + s;
  return out;
}

// A GIF whose header claims width by height pixels and whose data is one empty stream:
// a reader that trusts the header before the limit would decode and convert it all.
std::string gif_header_only(int width, int height) {
  std::string g = "GIF89a";
  const auto put16 = [&](int v) { g += static_cast<char>(v & 0xFF), g += static_cast<char>(v >> 8); };
  put16(width), put16(height);
  g += '\x80', g += '\0', g += '\0';
  g += std::string("\0\0\0\xff\xff\xff", 6);
  g += ',', put16(0), put16(0), put16(width), put16(height), g += '\0';
  g += '\x02', g += std::string("\x02\x4c\x01\x00", 4), g += ';';
  return g;
}

// A red picture of width by height pixels (two colours: black is the window's background,
// left out of the overlay).
void write_red_gif(const std::string& path, int width, int height) {
  ImgRec im;
  IMG_init(&im);
  im.width = width, im.height = height, im.depth = 8, im.bits_per_pixel = 8, im.bytes_per_line = width;
  im.color_mapped = 1, im.num_colors = 2;
  im.colors = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
  im.data.assign(static_cast<std::size_t>(width) * height, 1);
  ASSERT_EQ(GIF_write(path.c_str(), &im), 1);
}

struct Case {
  const char* what;
  std::vector<std::string> args;  // "@" stands for the test's folder at the start of a word
  int status;
  std::string message;  // a whole line of the standard error ("@" as in args)
  bool window = false;  // drawn on an X11 window (overlays are drawn there only)
  std::string input = "";
};

std::string expand(const std::string& s, const std::string& dir) {
  std::string out;
  for (char c : s) out += c == '@' ? dir : std::string(1, c);
  return out;
}

const std::string kSfc = kData + "/sample/2026031412.sfc";
const std::string kTooLong = repeat("temp", 30, ",");  // 149 characters

const Case kCases[] = {
    // Silently wrong input.
    {"raw file as input",
     {"-pd", "us", "-va", "temp", "@/in.raw"},
     10,
     "SFC_open: @/in.raw is a raw file of station values, not a surface file"},
    {"request longer than the limit",
     {"-pd", "us", "-va", kTooLong, kSfc},
     20,
     "VAR_setup: Variable request of 149 characters is longer than 96: temp,temp,temp,temp,temp,temp,temp,temp,..."},
    {"unmatched brackets", {"-pd", "us", "-va", "temp]]]]", kSfc}, 20, "Unable to determine variables"},
    {"colour table cut short",
     {"-pd", "us", "-va", "temp", "-ct", "./cut.clr", kSfc},
     0,
     "CLR_read_table: ./cut.clr line 4: the file ends in the middle of this line (cut short?): blue 0 0 0.5"},
    {"symbol file without symbols",
     {"-fp", "@", "-pd", "us", "-va", "stmod", kSfc},
     0,
     "WX_symb_file: No symbols in @/wx.smb: weather symbols are not drawn"},
    {"window too small",
     {"-pd", "us", "-va", "temp", "-ge", "15x15", kSfc},
     0,
     "Window geometry 15x15: a side of 16 to 16384 pixels is accepted: the default size 640 x 512 is used"},
    {"window too large",
     {"-pd", "us", "-va", "temp", "-ge", "20000x20000", kSfc},
     0,
     "Window geometry 20000x20000: a side of 16 to 16384 pixels is accepted: the default size 640 x 512 is used"},
    {"domain asking for its centre in batch",
     {"-pd", "var", "-va", "temp", kSfc},
     43,
     "Domain var asks for its centre at a prompt, which batch mode never shows: give a domain with its centre instead",
     false,
     "40\n-100\n"},
    // Unbounded work.
    {"latitude-longitude lines every hundredth of a degree",
     {"-pd", "us", "-va", "temp", "-pp", "lalo=0.01", kSfc},
     0,
     "MAP_lines: Lines every 0.01 by 0.01 degrees would be 54000 lines, more than 720: drawn every 10 degrees"},
    {"a thousand line items",
     {"-pd", "us", "-va", "temp", "-mf", repeat("lalo:1:1", 1000, ","), kSfc},
     0,
     "MAP_draw: More than 64 map items: 936 left out: " + repeat("lalo:1:1", 23, ",") + ",..."},
    {"a thousand map items",
     {"-pd", "us", "-va", "temp", "-mf", repeat("zav.map", 1000, ","), kSfc},
     0,
     "MAP_draw: More than 64 map items: 936 left out: " + repeat("zav.map", 26, ",") + ",..."},
    {"metafile that never ends",
     {"-pd", "us", "-va", "temp", "-mf", "mf:/dev/zero,zav.map", kSfc},
     0,
     "MAP_process: /dev/zero is not a regular file: left out"},
    // Images over a window.
    {"image offset beyond the page",
     {"-pd", "us", "-va", "temp", "-mf", "im:small.gif::0:2147483647", kSfc},
     0,
     "goverlay_image_file: Image small.gif at offset 0,2147483647 lies wholly off the picture: not drawn",
     true},
    {"image of too many pixels",
     {"-pd", "us", "-va", "temp", "-mf", "im:huge.gif", kSfc},
     0,
     "GIF_read: Image of 8000 x 8000 pixels is larger than 50000000 pixels: refused",
     true},
};

class HostileInput : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    dir_ = make_temp_dir("stacont_hostile");
    write_file(dir_ + "/in.raw",
               "ZAVRAW\n12Z 14 MAR 26\n!Surface station values\nid lat lon\ntemp:F:value\n$\n"
               "KEVV  38.04  -87.53 57\nKIND  39.72  -86.28 49\n");
    write_file(dir_ + "/cut.clr", "# fills\nwhite 1 1 1\nred 1 0 0\nblue 0 0 0.5");
    write_file(dir_ + "/wx.smb", "");
    write_file(dir_ + "/huge.gif", gif_header_only(8000, 8000));
    write_red_gif(dir_ + "/small.gif", 20, 20);
  }
  static std::string dir_;
};
std::string HostileInput::dir_;

TEST_P(HostileInput, EndsInTimeWithItsMessageAndStatus) {
  const Case& c = GetParam();
  std::unique_ptr<Xvfb> server;
  std::map<std::string, std::string> env = clean_env(dir_ + "/no-resource-files");
  std::vector<std::string> args = {"-ba", "-fp", kData, "-of", "none"};
  if (c.window) {
    if (xvfb_program().empty()) GTEST_SKIP() << "Xvfb is not installed";
    server = std::make_unique<Xvfb>();
    ASSERT_TRUE(server->ok()) << server->why();
    env["DISPLAY"] = server->display();
    for (const char* a : {"-de", "x", "-ge", "200x160+0+0"}) args.push_back(a);
  } else {
    args.push_back("-de");
    args.push_back("png," + dir_ + "/out.png");
  }
  for (const std::string& a : c.args) args.push_back(expand(a, dir_));
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = run_stacont(args, c.input, env, dir_, 60);
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
  EXPECT_NE(("\n" + r.err).find("\n" + expand(c.message, dir_) + "\n"), std::string::npos) << c.what << "\n" << r.err;
  EXPECT_LT(took, kSeconds) << c.what;
  // Under the sanitizers: no undefined behaviour on the way.
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << c.what << "\n" << r.err;
}

INSTANTIATE_TEST_SUITE_P(Runs, HostileInput, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name;
  for (const char* p = info.param.what; *p != '\0'; ++p)
    if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
  return name;
});

// A large picture over a small window costs what the window shows: only its visible part
// is converted and drawn, and it is drawn. Converting all 25 million pixels took 355 MB
// (and minutes under the sanitizers); the decoded picture itself is 25 MB.
TEST(HostileImage, LargeOverlayCostsOnlyTheWindow) {
  if (xvfb_program().empty()) GTEST_SKIP() << "Xvfb is not installed";
  const std::string dir = make_temp_dir("stacont_hostile_image");
  write_red_gif(dir + "/big.gif", 5000, 5000);
  Xvfb server;
  ASSERT_TRUE(server.ok()) << server.why();
  std::map<std::string, std::string> env = clean_env(dir + "/no-resource-files");
  env["DISPLAY"] = server.display();
  const auto start = std::chrono::steady_clock::now();
  const RunResult r =
      run_stacont({"-ba", "-fp", kData, "-of", "none", "-de", "x", "-ge", "200x160+0+0", "-pd", "us", "-va", "temp",
                   "-dr=-data", "-mf", "im:big.gif", "-pp", "png:shown.png", kSfc},
                  "", env, dir, 60);
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LT(took, kSeconds);
  rusage use{};
  getrusage(RUSAGE_CHILDREN, &use);
  EXPECT_LT(use.ru_maxrss, 250L * 1024) << "kilobytes at most in one process";
  // The picture covers the map panel from its top-left corner: the panel is red.
  ImgRec shown;
  ASSERT_EQ(IMG_read_path((dir + "/shown.png").c_str(), &shown, PNG_read_stream, "no dump\n"), 1);
  ASSERT_EQ(shown.width, 200);
  long red = 0;
  for (int y = 0; y < shown.height; ++y)
    for (int x = 0; x < shown.width; ++x) {
      unsigned char rgb[3];
      IMG_pixel_rgb(&shown, IMG_get_pixel(&shown, x, y), rgb);
      if (rgb[0] > 200 && rgb[1] < 60 && rgb[2] < 60) ++red;
    }
  EXPECT_GT(red, 200L * 160 / 2);
}

}  // namespace
