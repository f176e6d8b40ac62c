#!/usr/bin/env bash
# Builds the Debian package of Sondrel into build/package/: both programs,
# the desktop entry, the icon and the man page, with Depends computed from
# the linked libraries plus the decoder libraries loaded at run time.
#
#     bash scripts/package.sh
#     sudo apt-get install ./build/package/sondrel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build/package-build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONDREL_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build/package-build -j "$(nproc)"
mkdir -p build/package
rm -f build/package/sondrel_*.deb
(cd build/package-build && cpack -G DEB -B "$PWD/../package" > /dev/null)
rm -rf build/package/_CPack_Packages
ls build/package/sondrel_*.deb
