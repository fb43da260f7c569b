// The real program end to end, one suite a table of runs under tests/data/driver (see
// driver_runs.h for the keys): each table's head says where its expected values come from.
//   stacont.runs         help, banner and missing inputs; hostile command lines that must
//                        neither crash nor hang
//   input.runs           input files as a user names them: files used as given, every name
//                        form the prompt accepts, files that are no surface files, sequences
//                        with missing hours and absurd spans
//   requests.runs        variable requests as a forecaster types them and the grids a batch
//                        plot writes
//   hostile_input.runs   mistaken and hostile input: every run ends within a few seconds with
//                        the message that names the fault and the status the README gives
//   hostile_format.runs  hostile number formats and contour intervals: one message naming
//                        what was refused, the page drawn with the default
//   qc.runs              the reports' checks on reading: gross limits, duplicates and the
//                        buddy check, a rejected report crossed out on the station plot
//   obs.runs             real observations: a feed's METAR collection, naming conventions
//                        over a directory, every surface variable, the hourly archive
//   math.runs            the derived fields on the sample cyclone, where a forecaster knows
//                        their sign
//   regions.runs         the bundled regions covered by their default stations, ships and
//                        buoys, a sparse analysis saying how to keep more stations
//   publish.runs         pictures for a briefing page: pages that viewers count and turn,
//                        vectors, station values and overlays
//   vect.runs            analysed winds: barbs, vectors, the vector key, rendered by
//                        Ghostscript and checked by their pixels and strokes
//   cf.runs              the CF netCDF output read back with netCDF4 and pyproj
//   tif.runs, ogr.runs   the GeoTIFF and feature outputs read back with GDAL and PROJ (where
//                        the program has GDAL)
#include "files/gdal.h"
#include "tests/support/driver_runs.h"

namespace {

STACONT_RUNS_TABLE(Stacont, "stacont.runs");
STACONT_RUNS_TABLE(Input, "input.runs");
STACONT_RUNS_TABLE(Request, "requests.runs");
STACONT_RUNS_TABLE(HostileInput, "hostile_input.runs");
STACONT_RUNS_TABLE(HostileFormatRuns, "hostile_format.runs");
STACONT_RUNS_TABLE(Qc, "qc.runs");
STACONT_RUNS_TABLE(ObsRuns, "obs.runs");
STACONT_RUNS_TABLE(MathRuns, "math.runs");
STACONT_RUNS_TABLE(RegionRuns, "regions.runs");
STACONT_RUNS_TABLE(Publish, "publish.runs");
STACONT_RUNS_TABLE(Vect, "vect.runs");
STACONT_RUNS_TABLE(CfRuns, "cf.runs");
STACONT_RUNS_TABLE_UNLESS(TifRuns, "tif.runs", GDL_unavailable());

}  // namespace
