#include "graphics/gks_meta.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "config/mess.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "tests/graphics/gks_fixture.h"
#include "tests/graphics/gks_pattern.h"
#include "tests/support/capture.h"
#include "tests/support/graphics_cases.h"
#include "tests/support/run.h"

namespace {

using Meta = WriterTest;

// Everything after the creation date, which is the only line that differs between runs.
std::string after_date(const std::string& text, const std::string& date_key) {
  const std::size_t p = text.find(date_key);
  if (p == std::string::npos) return text;
  return text.substr(text.find('\n', p) + 1);
}

std::vector<GraphicsCase> meta_cases() { return graphics_cases("meta_records.txt"); }

TEST_F(Meta, TextRecords) {
  const std::string path = dir_ + "/a.meta";
  ASSERT_EQ(gopen_ws(1, path.c_str(), WS_META), 0);
  const float page[4] = {0, 1, 0, 0.5F};
  gset_win(2, page);
  gsel_norm_tran(2);
  gsel_norm_tran(2);
  const float pts[10] = {0.1F, 0.2F, 0.3F, 0.4F, 0.5F, 0.25F, 0.75F, 0.125F, 1, 0};
  gset_line_colr_ind(5);
  gset_line_colr_ind(5);
  gpolyline(5, pts);
  gpolymarker(4, pts);
  gset_fill_int_style(2);
  gset_fill_style_ind(9);
  gfill_area(3, pts);
  gset_char_up_vec(3, 4);
  gset_text_align(2, 5);
  const float pos[2] = {0.5F, 0.25F};
  gtext(pos, "Surface analysis");
  const float r[4] = {0.1F, 0.2F, 0.3F, 0.4F};
  gclear_region(r);
  gcreate_seg(7);
  gclose_seg(7);
  gmessage(0, "hello");
  gclose_ws(1);
  const std::string m = read_file(path);
  EXPECT_EQ(m.rfind("ZAVMETA\n#Title: ZAV Graphics Display: X11_Graph\n#Creator: ZAV Metafile Processor-1.0\n"
                    "#CreationDate: ",
                    0),
            0U);
  EXPECT_EQ(after_date(m, "#CreationDate"), meta_cases().front()["line"]);
}

TEST_F(Meta, BinaryCommandWords) {
  const std::string path = dir_ + "/a.cgm";
  ASSERT_EQ(gopen_ws(1, (path + ",cgm").c_str(), WS_META), 0);
  gdev_clear_calls();
  const float pts[6] = {0, 0, 0.5F, 0.5F, 1, 0};
  gpolyline(3, pts);
  gclose_ws(1);
  const std::string b = read_file(path);
  const std::string header("\x00\x20"                                  // BEGIN METAFILE
                           "\x10\x22\x00\x01"                          // METAFILE VERSION 1
                           "\x10\x4b\x0aZAVCGM-1.0\x00"                 // METAFILE DESCRIPTION
                           "\x11\x66\x00\x01\xff\xff\x00\x01"          // METAFILE ELEMENT LIST
                           "\x11\x21\xff\x00"                          // MAXIMUM COLOUR INDEX
                           "\x20\xc8\x00\x00\x00\x00\x27\x10\x1f\x40"  // VDC EXTENT
                           "\x00\x60\x00\x80"                          // BEGIN PICTURE, BODY
                           "\x30\xa8\x00\x00\x00\x00\x03\x20\x03\x20",  // CLIP RECTANGLE 0,0 800,800
                           52);
  ASSERT_EQ(b.substr(0, header.size()), header);
  // The polyline: class 4, element 1, long form, 12 bytes: three points in print units.
  const std::string line("\x40\x3f\x00\x0c\x00\x00\x00\x00\x01\x90\x01\x90\x03\x20\x00\x00", 16);
  EXPECT_NE(b.find(line), std::string::npos);
  EXPECT_EQ(b.substr(b.size() - 4), std::string("\x00\xa0\x00\x40", 4));  // END PICTURE, END METAFILE
  // Each kernel call rides along in an escape element with its text record.
  EXPECT_NE(b.find(std::string("\x60\x3f", 2)), std::string::npos);
  EXPECT_NE(b.find("ZVPL 3 0.000000,0.000000 0.500000,0.500000 1.000000,0.000000 \n"), std::string::npos);
}

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

// The binary form ends with END METAFILE; a file cut at an element boundary or inside an
// element is said to be, naming the file, and what it holds is drawn.
TEST_F(Meta, TruncatedCgmIsReported) {
  MESS_reset();
  const std::string whole = dir_ + "/whole.cgm";
  ASSERT_EQ(gopen_ws(1, (whole + ",cgm").c_str(), WS_META), 0);
  const float pts[4] = {0.1F, 0.1F, 0.9F, 0.9F};
  gpolyline(2, pts);
  gclose_ws(1);
  const std::string b = read_file(whole);
  ASSERT_EQ(b.substr(b.size() - 2), std::string("\x00\x40", 2));
  const struct {
    const char* name;
    std::size_t keep;
    const char* message;
  } cases[] = {
      {"whole", b.size(), ""},
      {"no_end", b.size() - 2, "truncated CGM (no END METAFILE)"},   // as written before: END PICTURE last
      {"inside", b.size() - 3, "truncated CGM (cut inside an element)"},  // half of END PICTURE
  };
  open(WS_PS);
  for (const auto& c : cases) {
    const std::string path = dir_ + "/" + c.name + ".cgm";
    write_file(path, b.substr(0, c.keep));
    gdev_clear_calls();
    CaptureStderr();
    EXPECT_EQ(gread_metafile(path.c_str()), 0);
    EXPECT_EQ(GetCapturedStderr(),
              *c.message != '\0' ? "gread_metafile: " + path + ": " + c.message + "\n" : std::string());
    EXPECT_EQ(calls(GOBJ_LINE).size(), 1U) << c.name;
  }
}

}  // namespace
