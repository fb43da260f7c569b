#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on the bundled sample observations
# (data/sample): a sea-level pressure map for every hour from 12 to 18 UTC, colour-filled and
# with labelled isobars every 4 mb, highs and lows and a colour bar, as one PostScript page an
# hour, and the same maps as PNG pictures drawn without Ghostscript; and the netCDF grids of
# temperature for the same seven hours.
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

# Pressure colours, one per 4 mb band from 980 mb: blue below 1012, white to 1016, then to red.
fill="#3b3fb0,#4a4fc4,#5d7fe0,#78a3ec,#98c0f0,#b7d6f4,#d3e8f6,#eaf4f4,#f7f4e6,#f8e0a8,#f5c57f,#f0a35c,#e77e47,#d85a3a,#c23b33"
# 12 to 18 UTC on 14 March 2026 over the United States; -ba answers every prompt once.
# lcf: fill with lines; in=4, cb=980: isobars every 4 mb, each band in the same colour every
# hour; lab=1.6: every isobar labelled, highs and lows over 6 points round; sc=1.2: larger
# texts; gridx2: the analysis grid twice as fine as the domain's.
./build/stacont -ba -fp "$root/data" -if sfc_sample -cu '#2026031412' -nh 6 \
  -pd us -va pralt -fm "lcf:in=4:cb=980:wi=2:lab=1.6:sc=1.2" -cof "$fill" -pp gridx2 \
  -of none -de "p,$out/pressure.ps,color"
# The same maps as PNG pictures, drawn by the raster device without Ghostscript: one file an
# hour, pressure_01.png (12 UTC) to pressure_07.png (18 UTC), 1008 by 768 pixels on white.
./build/stacont -ba -fp "$root/data" -if sfc_sample -cu '#2026031412' -nh 6 \
  -pd us -va pralt -fm "lcf:in=4:cb=980:wi=2:lab=1.6:sc=1.2" -cof "$fill" -pp gridx2 \
  -of none -de "png,$out/pressure.png,1008x768,inv"
./build/stacont -ba -fp "$root/data" -if sfc_sample -cu '#2026031412' -nh 6 \
  -pd us -va temp -of cdf -gp "$out"
echo
echo "Pressure maps, one page an hour: $out/pressure.ps"
echo "The same as PNG pictures: $out/pressure_01.png ... pressure_07.png"
echo "Grid files in $out:"
ls -l "$out"
echo
ncdump -h "$out/2026031412_temp.nc"
