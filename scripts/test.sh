#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds and runs every
# test: once as shipped, once under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --tests
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${SONDREL_CMAKE_ARGS:-}
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSONDREL_SANITIZE=ON ${SONDREL_CMAKE_ARGS:-}
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

# Each fuzz target for a short while on top of its seeds; longer runs by hand.
bash scripts/fuzz.sh "${SONDREL_FUZZ_SECONDS:-20}"
