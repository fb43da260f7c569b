#!/usr/bin/env bash
# Builds the Debian package: installs what the build needs, configures a release build
# that installs under /usr with its data in /usr/share/stacont, and runs CPack.
# usage: scripts/package.sh [build-dir]          (default build-package)
# The package is left in the build directory: stacont_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh package
build="${1:-build-package}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DSTACONT_INSTALL_DIR=share/stacont -DSTACONT_TESTS=OFF -DSTACONT_BENCH=OFF -DSTACONT_WERROR=ON
cmake --build "$build" -j"$(nproc)" --target stacont
(cd "$build" && cpack -G DEB)
ls "$build"/stacont_*.deb
