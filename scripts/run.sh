#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on the bundled sample data.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTACONT_TESTS=OFF
# Until plotting exists the main job shows the program's syntax listing.
./build/stacont -h
