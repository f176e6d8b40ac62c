#!/usr/bin/env bash
# Checks the package that scripts/package.sh made: it holds the programs,
# the icon, the desktop entry, the AppStream entry, both man pages, the
# copyright file and the changelog; its desktop and AppStream entries are
# valid; its Depends name the decoder
# libraries; both programs tell their version; lintian finds no error.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(ls build/package/sondrel_*.deb)
list=$(dpkg-deb -c "$deb")
for f in ./usr/bin/sondrel ./usr/bin/sondrel-cli ./usr/share/applications/sondrel.desktop \
         ./usr/share/icons/hicolor/scalable/apps/sondrel.svg ./usr/share/man/man1/sondrel-cli.1.gz \
         ./usr/share/man/man1/sondrel.1.gz ./usr/share/doc/sondrel/copyright ./usr/share/doc/sondrel/changelog.gz \
         ./usr/share/metainfo/example.velkor.Sondrel.metainfo.xml; do
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
# The AppStream entry software centres show; infos and pedantic notes pass.
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/example.velkor.Sondrel.metainfo.xml"
version=$("$unpacked/usr/bin/sondrel-cli" --version)
[ "$version" = "sondrel-cli $(dpkg-deb -f "$deb" Version)" ] || { echo "unexpected version: $version"; exit 1; }
[ "$("$unpacked/usr/bin/sondrel" --version)" = "sondrel $(dpkg-deb -f "$deb" Version)" ] || { echo "sondrel --version"; exit 1; }
for page in sondrel-cli sondrel; do
  zcat "$unpacked/usr/share/man/man1/$page.1.gz" | grep -q '^.SH BESCHREIBUNG' || { echo "man page $page unreadable"; exit 1; }
done
# Errors fail the check; warnings are printed (none are expected).
if ! report=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1); then
  echo "$report"; echo "lintian found errors"; exit 1
fi
grep -v 'running with root privileges' <<< "$report" || true
echo "package ok: $deb"
