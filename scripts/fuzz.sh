#!/usr/bin/env bash
# Builds the libFuzzer targets in the asan tree and runs each for the given number of seconds,
# starting from its committed corpus (tests/fuzz/corpus/<target>/). Fails on the first crash.
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
for fuzzer in "$bin"/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
  echo "fuzz: $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$work/" "$corpus" \
    >"$work/$name.log" 2>&1 || { tail -n 60 "$work/$name.log"; cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* build/asan/ 2>/dev/null || true; exit 1; }
done
echo "fuzz: all targets ran clean"
