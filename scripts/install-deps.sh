#!/usr/bin/env bash
# Installs, from Debian and only when missing, everything the build and the tests need.
# With the argument "bench" it also installs what the benchmarks compare against, with
# "package" what making and checking the Debian package takes.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libgtest-dev googletest libbenchmark-dev
  libnetcdf-dev netcdf-bin
  python3-netcdf4 python3-pyproj
  libpng-dev zlib1g-dev libx11-dev libcairo2-dev
  # GeoTIFF grids and vector contours for GIS; the tests read them back with GDAL's own
  # tools and its Python bindings.
  libgdal-dev gdal-bin python3-gdal
  # The tests look at the PostScript, HPGL, SVG and image output through these; the build
  # needs none.
  ghostscript hp2xx librsvg2-bin imagemagick
  # The window tests run their own X server and act as the user through XTEST or xdotool.
  xvfb x11-xkb-utils xkb-data libxtst-dev xdotool
  # The fuzz targets of the readers (scripts/fuzz.sh) are built with clang's libFuzzer.
  clang
)
if [ "${1:-}" = bench ]; then
  # The end-to-end benchmarks time GrADS and NCL doing the same jobs next to ours.
  packages+=(grads ncl-ncarg)
fi
if [ "${1:-}" = package ]; then
  # scripts/package.sh: the library dependencies of the package, and its check.
  packages+=(dpkg-dev lintian)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
