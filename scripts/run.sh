#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: a batch analysis of the bundled
# sample observations (data/sample) that writes netCDF grids of temperature for seven hours.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTACONT_TESTS=OFF -DSTACONT_BENCH=OFF \
  -DSTACONT_SANITIZE=OFF -DSTACONT_WERROR=ON

out="${1:-$root/build/sample-grids}"
mkdir -p "$out"
# Resource files of this machine or user must not change the job: read none.
export zavdefault="$root/build/no-resource-files"
# 12 to 18 UTC on 14 March 2026 over the United States; -ba answers every prompt once.
./build/stacont -ba -fp "$root/data" -if sfc_sample -cu '#2026031412' -nh 6 \
  -pd us -va temp -of cdf -gp "$out"
echo
echo "Grid files in $out:"
ls -l "$out"
echo
ncdump -h "$out/2026031412_temp.nc"
