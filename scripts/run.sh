#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds and starts Sondrel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONDREL_BUILD_TESTS=OFF
cmake --build build/release
exec build/release/sondrel "$@"
