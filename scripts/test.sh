#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds and runs every
# test: once as shipped, once under AddressSanitizer and UBSan, once under
# ThreadSanitizer; checks the Debian package; then each fuzz target for a
# short while.
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

# ThreadSanitizer (clang) over the core and the command-line tool, the
# batch on several workers among them; built without the window, which
# also shows that the core and sondrel-cli need no Qt. The memory-limit
# check of the child-process helper cannot run beside TSan's shadow memory;
# the tables of damaged files and tag layouts run on one thread and are
# left to the AddressSanitizer run.
CC=clang-14 CXX=clang++-14 cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONDREL_TSAN=ON \
  -DSONDREL_BUILD_APP=OFF ${SONDREL_CMAKE_ARGS:-}
cmake --build build/tsan -j "$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" -E '^(Isolated\.ReportsCrashesHangsAndMemory|(MalformedFiles|OtherWriters|TagLayouts|TagCarry|Id3Tag)\..*)$'

# The Debian package: built, and checked for its files, desktop entry,
# Depends and a sondrel-cli that runs.
bash scripts/package.sh
bash scripts/check-package.sh

# Each fuzz target for a short while on top of its seeds; longer runs by hand.
bash scripts/fuzz.sh "${SONDREL_FUZZ_SECONDS:-20}"
