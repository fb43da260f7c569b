// Weather symbol files (WX_symb_file, then symbols drawn by name), for an odd first byte
// colour tables (CLR_read_table, then names looked up and defined on the device), and for a
// first byte of 3 modulo 4 gross-limit tables (SFC_limits_load, then applied to a report).

#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "plot/wx_symb.h"
#include "surface/sfc_check.h"
#include "surface/sfc_read.h"
#include "tests/fuzz/fuzz_support.h"

STACONT_FUZZ_TARGET(first, text) {
  fuzz::open_recorder();
  if (first % 2 == 0) {
    const std::string path = fuzz::write_file("fuzz.smb", text);
    const int count = WX_symb_file(path.c_str());
    for (int i = 0; i < count && i < 8; ++i) {
      const char* name = WX_symb_name(i);
      if (name) WX_symb(name, 0.5f, 0.5f, 0.05f);
    }
    WX_symb("rain", 0.5f, 0.5f, 0.05f);
  } else if (first % 4 == 3) {
    const std::string path = fuzz::write_file("fuzz.lim", text);
    if (SFC_limits_load(path.c_str()) > 0) {
      sfc_report report;
      SFC_initialize(&report);
      report.temp = 140.0f;
      report.dewp = 150.0f;
      report.alt = 29.92f;
      SfcLimitStats stats;
      SFC_limits_apply(&report, &stats);
      SFC_limits_summary(stats);
    }
    SFC_limits_load("none");
  } else {
    const std::string path = fuzz::write_file("fuzz.clr", text);
    CLR_clear_table();
    CLR_read_table(path.c_str());
    for (int i = 0; i < CLR_get_num() && i < 300; ++i) {
      float c[3];
      if (CLR_get_rgb(i, &c[0], &c[1], &c[2]) == 0) gset_colr_rep(1, i, c);
      CLR_get_ind(CLR_get_name(i));
    }
    CLR_get_ind("red");
    CLR_get_ind("#ff8000");
    CLR_clear_table();
    CLR_read_table(STACONT_DATA_DIR "/zav.clr");
  }
}
