#!/usr/bin/env bash
# Checks the package that scripts/package.sh made: it holds the programs,
# the icon, the desktop entry and the man page; its desktop entry is valid;
# its Depends name the decoder libraries; its sondrel-cli runs.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(ls build/package/sondrel_*.deb)
list=$(dpkg-deb -c "$deb")
for f in ./usr/bin/sondrel ./usr/bin/sondrel-cli ./usr/share/applications/sondrel.desktop \
         ./usr/share/icons/hicolor/scalable/apps/sondrel.svg ./usr/share/man/man1/sondrel-cli.1.gz; do
  grep -q " $f\$" <<< "$list" || { echo "missing from the package: $f"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libavcodec libavformat libmpg123 libmp3lame libsoxr libqt6widgets6 libqt6svg6; do
  grep -q "$lib" <<< "$depends" || { echo "Depends lacks $lib: $depends"; exit 1; }
done
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/sondrel.desktop"
version=$("$unpacked/usr/bin/sondrel-cli" --version)
[ "$version" = "sondrel-cli $(dpkg-deb -f "$deb" Version)" ] || { echo "unexpected version: $version"; exit 1; }
zcat "$unpacked/usr/share/man/man1/sondrel-cli.1.gz" | grep -q '^.SH BESCHREIBUNG' || { echo "man page unreadable"; exit 1; }
echo "package ok: $deb"
