#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice:
# once as built for use and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh

bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTACONT_BENCH=ON
(cd build && ctest --output-on-failure -j"$(nproc)")

bash scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSTACONT_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-sanitize && ctest --output-on-failure -j"$(nproc)")
