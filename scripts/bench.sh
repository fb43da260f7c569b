#!/usr/bin/env bash
# Installs what is missing (GrADS and NCL included), builds, and runs the end-to-end benchmark: the
# batch job that analyses the sample hour over the "us" domain and draws colour fill, line
# contours and the map to EPS, timed next to GrADS doing the same. Extra arguments go to
# the benchmark (for example --benchmark_filter=Grads). Then the raster benchmark: the main
# job's pressure page to PNG through the raster device against PostScript plus Ghostscript.
# Last the dense network: 50,000 stations of a station table analysed onto a 400 x 300 grid
# and written to netCDF, timed next to NCL's analysis of the same stations.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh bench
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTACONT_TESTS=ON -DSTACONT_BENCH=ON \
  -DSTACONT_SANITIZE=OFF -DSTACONT_WERROR=ON
./build/bench/e2e_bench "$@"
./build/bench/raster_bench
./build/bench/large_e2e_bench
