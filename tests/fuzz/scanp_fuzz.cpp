// The pattern scanner: a line of the input taken apart by one of a table of formats that
// together use every directive (the formats are the program's own; the text is the
// hostile part), walking the line as the readers do, then searched and edited.

#include "config/scanp.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Each format stores into at most the destinations given below, in this order:
// ints i1-i3, floats f1-f3, texts t1-t2 (SCANP_TEXT_MAX + 1 bytes, wide enough for every width).
struct Dest {
  int i[3] = {};
  float f[3] = {};
  char t[2][SCANP_TEXT_MAX + 1] = {};
};

int scan(ScanpRec* r, int which, Dest* d) {
  switch (which) {
    case 0: return scanp(r, "%d %f %s", &d->i[0], &d->f[0], d->t[0]);
    case 1: return scanp(r, "%!-!f %n%!-!f ", &d->f[0], &d->i[0], &d->f[1]);
    case 2: return scanp(r, "%5D%<8F%3c", &d->i[0], &d->f[0], d->t[0]);
    case 3: return scanp(r, "%A%N%S", d->t[0], d->t[1], d->t[0]);
    case 4: return scanp(r, "%[abc]%[^ ,]%w", d->t[0], d->t[1]);
    case 5: return scanp(r, "%(METAR|SPECI|COR)%W%4s%*d", d->t[0], d->t[1]);
    case 6: return scanp(r, "%/A%/N%//%%%<20s", d->t[0]);
    case 7: return scanp(r, "%<3!M!F/%<3!M!F", &d->f[0], &d->f[1]);
    case 8: return scanp(r, "%2d%2d%2dZ %<5s%n", &d->i[0], &d->i[1], &d->i[2], d->t[0], &d->i[0]);
    case 9: return scanp(r, "%*s %<80S", d->t[0]);
    case 10: return scanp(r, "%6c%*<2w%!///!d", d->t[0], &d->i[0]);
    default: return scanp(r, "%s ", d->t[0]);
  }
}

}  // namespace

STACONT_FUZZ_TARGET(first, line) {
  line = line.c_str();
  const int which = first % 12;
  ScanpRec record;
  scanp_set(&record, line.data());
  Dest d;
  for (int n = 0; n < 1000; ++n) {
    if (scan(&record, which, &d) <= 0 || record.used <= 0) break;
    scanp_inc(&record);
  }
  scanp_off(&record, 0);
  if (scanp_search(&record, "RMK")) scanp_replace(&record, 0, 'r');
  scanp_char(&record, 3);
  scanp_str(&record);
  scanp_inc_off(&record, 2);
  scan(&record, (which + 1) % 12, &d);
}
