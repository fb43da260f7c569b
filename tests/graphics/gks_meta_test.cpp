#include "graphics/gks_meta.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/graphics/gks_pattern.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"

namespace {

using Meta = WriterTest;

// Everything after the creation date, which is the only line that differs between runs.
std::string after_date(const std::string& text, const std::string& date_key) {
  const std::size_t p = text.find(date_key);
  if (p == std::string::npos) return text;
  return text.substr(text.find('\n', p) + 1);
}

// The text records, the binary form's command words and cut-off files are kernel scripts
// (tests/data/graphics/kernel.txt).

// The test page written to a metafile (either form) and replayed onto PostScript or HPGL
// gives what drawing it there directly gives, byte for byte after the date line.
TEST_F(Meta, ReplayGivesTheSameOutputAsDrawing) {
  struct {
    int type;
    const char* ext;
    const char* date;
  } const targets[] = {{WS_PS, "ps", "%%CreationDate"}, {WS_HPGL, "hpgl", "IN;"}};
  for (const char* form : {"", ",cgm"}) {
    const std::string meta = dir_ + "/page.meta";
    ASSERT_EQ(gopen_ws(1, (meta + form).c_str(), WS_META), 0);
    pattern::draw_page();
    gclose_ws(1);
    for (const auto& t : targets) {
      const std::string direct = dir_ + "/direct." + t.ext, replayed = dir_ + "/replayed." + t.ext;
      ASSERT_EQ(gopen_ws(1, direct.c_str(), t.type), 0);
      pattern::draw();
      // A replay leaves the transformation as it found it.
      gsel_norm_tran(0);
      gclose_ws(1);
      ASSERT_EQ(gopen_ws(1, replayed.c_str(), t.type), 0);
      pattern::setup();
      CaptureStderr();
      EXPECT_EQ(gread_metafile(meta.c_str()), 0);
      EXPECT_EQ(GetCapturedStderr(), "");
      gclose_ws(1);
      const std::string a = read_file(direct), b = read_file(replayed);
      ASSERT_GT(a.size(), 800U);
      EXPECT_TRUE(after_date(a, t.date) == after_date(b, t.date)) << form << " onto " << t.ext;
    }
  }
}

// Hostile metafiles never crash the reader (broken records are kernel scripts).
TEST_F(Meta, RandomBytesAreSurvived) {
  open(WS_PS);
  const std::string bad = dir_ + "/bad.meta";
  // Random bytes, with and without the binary header.
  std::mt19937 rng(7);
  for (int k = 0; k < 20; ++k) {
    std::string junk = k % 2 ? std::string("\x00\x20", 2) : "ZAVMETA\n";
    for (int i = 0; i < 3000; ++i) junk.push_back(static_cast<char>(rng() & 0xFF));
    write_file(bad, junk);
    CaptureStderr();
    gread_metafile(bad.c_str());
    GetCapturedStderr();
  }
  EXPECT_TRUE(gchk_graphics());
}

}  // namespace
