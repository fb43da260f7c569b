#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice:
# once as built for use and once under AddressSanitizer and UndefinedBehaviorSanitizer.
# A plain Release build (the compiler's highest optimisation) must also build warning-free.
# Every reader is then fuzzed briefly (scripts/fuzz.sh): a finding fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh

# Every option is given, so a tree configured otherwise before (by run.sh) runs every test.
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTACONT_TESTS=ON -DSTACONT_BENCH=ON \
  -DSTACONT_SANITIZE=OFF -DSTACONT_WERROR=ON
(cd build && ctest --output-on-failure --no-tests=error -j"$(nproc)")

bash scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSTACONT_TESTS=ON -DSTACONT_BENCH=OFF \
  -DSTACONT_SANITIZE=ON -DSTACONT_WERROR=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-sanitize && ctest --output-on-failure --no-tests=error -j"$(nproc)")

# The optimised build a user makes by hand: the program alone, warnings as errors.
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DSTACONT_TESTS=OFF -DSTACONT_BENCH=OFF \
  -DSTACONT_SANITIZE=OFF -DSTACONT_WERROR=ON

# The readers under libFuzzer: 15 targets, 20 seconds each, two at a time (under 3 minutes).
bash scripts/fuzz.sh 20
