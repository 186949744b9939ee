#!/usr/bin/env bash
# Builds the libFuzzer targets in the asan tree and runs them side by side for the given number of seconds
# each, starting from their committed corpora (tests/fuzz/corpus/<target>/). Fails when any target fails.
set -euo pipefail
seconds=${1:-8}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ -f tests/fuzz/CMakeLists.txt ] || { echo "fuzz: no fuzz targets yet"; exit 0; }

cmake --preset asan >/dev/null
cmake --build --preset asan --target fuzzers -j "$(nproc)"

bin=build/asan/fuzz-bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pids=()
names=()
for fuzzer in "$bin"/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  mkdir -p "$work/$name/corpus"
  [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$work/$name/corpus/"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$work/$name/" \
    "$work/$name/corpus" >"$work/$name.log" 2>&1 &
  pids+=($!)
  names+=("$name")
done

failed=0
for i in "${!pids[@]}"; do
  name=${names[$i]}
  if wait "${pids[$i]}"; then
    echo "fuzz: $name ran ${seconds}s clean"
  else
    failed=1
    echo "fuzz: $name FAILED"
    tail -n 60 "$work/$name.log"
    mkdir -p build/asan/fuzz-artifacts
    cp "$work/$name"/crash-* "$work/$name"/leak-* "$work/$name"/timeout-* build/asan/fuzz-artifacts/ 2>/dev/null || true
  fi
done
[ "$failed" -eq 0 ] && echo "fuzz: all targets ran clean"
exit "$failed"
