#!/usr/bin/env bash
# Builds and runs every test: a normal build, then one with the address and
# undefined-behaviour sanitizers. The PulseAudio tests start their own
# private daemon with a null sink (see tests/pulse/pulse-daemon.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" --tests

jobs=$(nproc)

cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARLOWICK_TESTS=ON -DMARLOWICK_BENCH=ON
cmake --build "$top/build" -j "$jobs"
ctest --test-dir "$top/build" --output-on-failure -j "$jobs"
"$top/scripts/check-package.sh" "$top/build"

cmake -S "$top" -B "$top/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DMARLOWICK_SANITIZE=ON -DMARLOWICK_TESTS=ON -DMARLOWICK_BENCH=OFF -DMARLOWICK_FUZZ=ON
cmake --build "$top/build-sanitize" -j "$jobs"

# A short fuzzing run over every input a user can hand the program; the
# corpus grows from run to run in the build folder.
for fuzzer in "$top"/build-sanitize/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  corpus="$top/build-sanitize/fuzz-corpus/$(basename "$fuzzer")"
  mkdir -p "$corpus"
  "$fuzzer" -max_total_time=30 -print_final_stats=1 "$corpus" 2>&1 | tail -n 3
done

# The two-minute sound check under load has run once above; once is enough.
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build-sanitize" --output-on-failure -j "$jobs" -LE load
