// Grid files: the package grid with text or binary values, the older version, plain values
// and netCDF (whose header is checked before the library reads it), every grid of a file.

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::init();
  const std::string path = fuzz::write_file("grid.zgrd", data, size);
  GRD_chktype(path.c_str());
  int type = 0;
  const int handle = GRD_open(path.c_str(), 0, &type);
  if (handle < 0) return 0;
  GridInfo info;
  GRD_getinfo(handle, &info);
  GridRec grid;
  GRD_init(&grid);
  int position = 0;
  for (int n = 0; n < 64 && GRD_read(handle, &grid, 0, &position) == 0; ++n) {
  }
  GRD_free(&grid);
  GRD_close(handle);
  return 0;
}
