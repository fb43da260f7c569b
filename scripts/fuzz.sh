#!/usr/bin/env bash
# Builds the libFuzzer targets of the readers (build-fuzz, clang) and runs each for a time:
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]   (targets: sfc obs grid ...)
# Two targets run at a time. Inputs that found new paths are kept in build-fuzz/corpus/<target>
# (the seeds of tests/fuzz/corpus/<target> are read, never written); a crash, leak, undefined
# behaviour, timeout or memory blow-up is saved in build-fuzz/findings/<target>/. Prints the
# executions, the corpus size and the findings of every target; exits 1 on any finding.
# STACONT_FUZZ_JOBS sets the number of targets run at once.
#   build-fuzz/tests/fuzz/<target>_fuzz <file>   replays one saved input.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seconds="${1:-60}"
shift || true

export CC="${CC:-clang}" CXX="${CXX:-clang++}"
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$root"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# STACONT_FUZZ_BUILD=0 runs the targets as they were last built.
if [ "${STACONT_FUZZ_BUILD:-1}" != 0 ]; then
  cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTACONT_FUZZ=ON -DSTACONT_TESTS=OFF \
    -DSTACONT_BENCH=OFF -DSTACONT_SANITIZE=OFF -DSTACONT_WERROR=ON "${launcher[@]}" >/dev/null
  cmake --build "$root/build-fuzz" -j"$(nproc)" --target fuzz
fi

# Longest input per target: room for the seeds and more, small enough to keep runs fast.
declare -A max_len=(
  [sfc]=32768 [obs]=16384 [grid]=16384 [var]=512 [domain]=4096 [config]=8192 [font]=32768 [map]=32768
  [meta]=16384 [gif]=16384 [image]=16384 [frt]=8192 [raw]=8192 [symbol]=16384 [scanp]=512
)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # A target for each seed folder (tests/fuzz/CMakeLists.txt makes them so).
  for seeds in tests/fuzz/corpus/*/; do
    targets+=("$(basename "$seeds")")
  done
fi

run_one() {
  local t="$1" seconds="$2"
  # Full paths: a target works in a folder of its own, so that the files its inputs name
  # stay out of the tree.
  local bin="$PWD/build-fuzz/tests/fuzz/${t}_fuzz"
  local work="$PWD/build-fuzz/corpus/$t" found="$PWD/build-fuzz/findings/$t" log="$PWD/build-fuzz/logs/$t.log"
  rm -rf "$found"
  mkdir -p "$work" "$found" build-fuzz/logs
  local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="${max_len[$t]:-8192}"
              -artifact_prefix="$found/" -print_final_stats=1 -close_fd_mask=1)
  [ -f "tests/fuzz/$t.dict" ] && args+=(-dict="$PWD/tests/fuzz/$t.dict")
  local seeds=()
  [ -d "tests/fuzz/corpus/$t" ] && seeds+=("$PWD/tests/fuzz/corpus/$t")
  # libFuzzer stops at its first finding; the loop goes on for the time left, so that one
  # finding does not hide the others.
  local end=$((SECONDS + seconds))
  : >"$log"
  while :; do
    local left=$((end - SECONDS))
    [ "$left" -gt 0 ] || break
    args[0]="-max_total_time=$left"
    ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:handle_abort=1" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
      "$bin" "${args[@]}" "$work" "${seeds[@]}" >>"$log" 2>&1 && break
    # Another kind of failure than a finding (the target cannot start): stop; so also after
    # a few findings, which are likely one fault found again.
    local n
    n=$(find "$found" -type f | wc -l)
    [ "$n" -gt 0 ] && [ "$n" -lt 5 ] || break
  done
}
export -f run_one
declare -p max_len >build-fuzz/.max_len
export STACONT_FUZZ_SECONDS="$seconds"

printf '%s\n' "${targets[@]}" |
  xargs -P "${STACONT_FUZZ_JOBS:-2}" -I{} bash -c 'source build-fuzz/.max_len; run_one "$1" "$STACONT_FUZZ_SECONDS"' _ {}

status=0
printf '%-8s %12s %9s %7s %9s\n' target executions exec/s corpus findings
for t in "${targets[@]}"; do
  log="build-fuzz/logs/$t.log"
  execs=$(grep -h 'stat::number_of_executed_units' "$log" 2>/dev/null | awk '{s += $2} END {print s + 0}')
  rate=$(grep -h 'stat::average_exec_per_sec' "$log" 2>/dev/null | tail -1 | awk '{print $2 + 0}')
  corpus=$(find "build-fuzz/corpus/$t" -type f 2>/dev/null | wc -l)
  findings=$(find "build-fuzz/findings/$t" -type f 2>/dev/null | wc -l)
  printf '%-8s %12s %9s %7s %9s\n' "$t" "${execs:-0}" "${rate:-0}" "$corpus" "$findings"
  if [ "$findings" -gt 0 ]; then
    status=1
    for f in "build-fuzz/findings/$t"/*; do echo "  $f"; done
    grep -h -m3 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | sed 's/^/  /'
  fi
  if [ "$findings" -eq 0 ] && ! grep -q 'stat::number_of_executed_units' "$log" 2>/dev/null; then
    echo "  $t did not run: see $log"
    status=1
  fi
done
exit $status
